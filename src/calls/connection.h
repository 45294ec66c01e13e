#pragma once
// The connection to the chosen modem: connected means a TTapi exists with its line open.
// Connecting (at start-up, by the button, or by the reconnect check after the modem was given
// to another program), disconnecting, the status the main window shows, and closing.

#include <QString>
#include <memory>

#include "calls/sessionview.h"
#include "telephony/ttapi.h"

class TConfig;
class TCallHandler;

// How the main window shows the connection.
struct TConnectionStatus {
    bool Connected = false;
    QString ConnectCaption = QStringLiteral("Connect");
    bool ConnectEnabled = false;
    QString ConnectHint;
    QString StatusText = QStringLiteral("Not connected");
    QString StatusHint;
    QString TrayTip;
    bool ShowHints = true;
    bool OutgoingTabVisible = true;
};

class TConnection {
public:
    TConnection(TConfig& config, TCallHandler& calls, TSessionView& view);
    ~TConnection();

    // The open line, or null.
    TTapi* Line() const { return m_line.get(); }
    // When the reconnect check tries again (seconds since 1970), 0 when it does not.
    qint64 ReconnectDue() const { return m_reconnectDue; }
    const TConnectionStatus& Status() const { return m_status; }

    // True when connected (already, or now); a failed connect leaves no TTapi.
    bool Connect(bool showErrors);
    void Disconnect();
    void UpdateConnectionStatus();
    // Start-up: connect on the first tick when a modem is chosen and asked for.
    void StartUp();
    // Connects at the next tick, silently, when a modem is chosen (after the first settings).
    void ConnectSoon();
    void ConnectButtonClick();
    // Each two-second tick, after the action queue.
    void ReconnectCheck();
    // One second after LINE_CLOSE.
    void OnLineClosed();
    // The Internet button: the configured program gets the modem; false with *error text.
    bool GiveModemAway(QString* error);
    // Closing the main window: false when the password guard refuses.
    bool FormClose();

private:
    // Message 311 after an interactive connect, once the modem has said it has no voice.
    void ReportDataOnlyModem();
    void LineReady();
    void ShowLineProblem(TConnectionStatus* s) const;

    TConfig& m_config;
    TCallHandler& m_calls;
    TSessionView& m_view;
    TTapiEvents m_events;
    bool m_reportDataOnly = false;
    QString m_lastFailure;  // why the last automatic connect failed
    QString m_lineProblem;  // why the open line closed itself, until it listens again
    int m_retryDelay = 0;   // seconds before asking that line again; grows each time
    std::unique_ptr<TTapi> m_line;
    qint64 m_reconnectDue = 0;
    int m_reconnectInterval = 0;
    TConnectionStatus m_status;
};
