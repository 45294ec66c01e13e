#pragma once
// TMainForm: the program's main window. It renders the session under it (the settings, the
// lists, the call handler and the connection) and forwards the user's actions to it; the
// history tab is its own class.

#include <QMainWindow>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <memory>

#include "calls/prmessageform.h"
#include "calls/remoteplayform.h"
#include "calls/session.h"
#include "calls/sessionview.h"
#include "ui/main/tabhost.h"

namespace Ui {
class TMainForm;
}
class QMenu;
class TPRMessageForm;
class TRemotePlayForm;
class TBusService;
class THistoryTab;
class TPhoneBookTab;
class TOutgoingTab;
class TShowCallerIDForm;
class TDebugForm;
class TSetup;
class CTrayIcon;
class TDesktopNotifier;

class TMainForm : public QMainWindow,
                  private TSessionView,
                  private TTabHost,
                  private TAnsweringListener {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    TSession& Session() { return m_session; }
    // Shown, restored and in front (another start on the same folder asked for it).
    void BringToFront() { ShowWindow(); }
    QString StartFolder;
    bool ConfigValid = false;
    // Each call, and each message left, also printed on standard output (the headless demo).
    bool PrintCalls = false;

    void OnTick();
    void OnLineClosed();
    void ConnectButtonClick();
    // Opens the settings; true when they were changed. The first settings of a new user ask
    // for an access code when none is chosen.
    bool SetupButtonClick(bool firstRun = false);
    TSetup* SetupDialog() const { return m_setup; }
    // Disconnects and saves everything (the window's FormDestroy), once.
    void SaveAll();
    // Saves the settings and lists and stays connected (the session manager asks for it
    // before a logout that may still be cancelled).
    void SaveData();
    // The end of the session or a kill: save, log what could not be saved, and quit, with no
    // password and no box; any open dialog is left.
    void Shutdown();
    // "Exit" in the tray menu: closes the window (subject to the password that guards it),
    // saves once and ends the program, also while the window is in the tray.
    void ExitProgram();
    // The password guard: passes with no password or when the action is not protected.
    bool PasswordGuard(bool protectedAction);
    void RenderCallControls();
    void RenderConnection();
    THistoryTab* History() const { return m_history; }
    TPhoneBookTab* PhoneBook() const { return m_phoneBookTab; }
    TOutgoingTab* OutgoingCalls() const { return m_outgoingTab; }
    TShowCallerIDForm* CallerPopup() const { return m_popup; }
    TDebugForm* DebugWindow() const { return m_debug; }
    TPRMessageForm* MessageWindow() const { return m_prmessage; }
    TDesktopNotifier* Notifier() const { return m_notifier; }
    TBusService* Bus() const { return m_bus; }
    TRemotePlayForm* RemotePlayer() const { return m_remote; }
    CTrayIcon* Tray() const { return m_tray; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // TSessionView
    bool PortDataVisible() const override;
    void PortDataLine(const QString& line) override;
    void RestoreWindow() override;
    void ShowWindow() override;
    void ShowCallerPopup(const QString& text) override;
    void HistoryRowAdded(CallLogRecord* record) override;
    void CallControlsChanged() override;
    void ConnectionChanged() override;
    void PagingStatusChanged() override;
    void CallStatus(const QString& text) override;
    void StartLineClosedTimer() override;
    void StoreGeometry(TConfig& config) override;
    void PlayGreeting() override;
    void TakeMessage() override;
    void CallerGone() override;
    void HangingUp() override;
    void CallEnded() override;
    void HistoryChanged() override;
    void RemoteAccessChanged() override;
    void StartRemoteRetrieval() override;
    void RemoteCommand(int code) override;
    bool StopListeningAllowed() override;

    // TAnsweringListener
    void Completed(int outcome) override;
    void MessageSaved(const QString& name) override;
    void MainStatus(const QString& text) override;

    // TTabHost
    bool LineOpen() override;
    bool ListenAllowed() override;
    bool DeleteAllowed() override;
    bool DialAllowed() override;
    bool QueueCalls(const QList<TOCALL>& calls) override;

    void FormCreate();
    QList<QObject*> Counters() const;
    void ShowNewMessageCount(int count);
    void ShowInternetButton();
    // What the bus says the line is doing.
    QString LineState();
    void SettingsChanged(int oldHistoryLength);
    void WelcomeNewUser();
    void WireWindows();
    void RefreshGeometry(TConfig& config);
    void UpdatePagingStatus();
    void ShowFromTray();
    void TrayActivated(QSystemTrayIcon::ActivationReason why);
    QMenu* TrayMenu();

    TSession m_session;
    std::unique_ptr<Ui::TMainForm> ui;
    THistoryTab* m_history = nullptr;
    TPhoneBookTab* m_phoneBookTab = nullptr;
    TOutgoingTab* m_outgoingTab = nullptr;
    TShowCallerIDForm* m_popup = nullptr;
    TDebugForm* m_debug = nullptr;
    TPRMessageForm* m_prmessage = nullptr;
    TSetup* m_setup = nullptr;
    TDesktopNotifier* m_notifier = nullptr;
    TBusService* m_bus = nullptr;
    QPointer<TRemotePlayForm> m_remote;  // frees itself when it closes
    CTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    QTimer m_tickTimer;
    QTimer m_lineClosedTimer;
    QString m_pendingPopup;
    qint64 m_refreshDue = 0;
    bool m_shuttingDown = false;
    bool m_placed = false;  // shown at least once: its place is the user's
    QIcon m_connectedIcon;
    QIcon m_disconnectedIcon;
};
