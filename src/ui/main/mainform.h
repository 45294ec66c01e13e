#pragma once
// TMainForm: the program's main window. It owns the settings, the lists and the line, and
// renders the call handler's and the connection's state; the history tab is its own class.

#include <QMainWindow>
#include <QTimer>
#include <memory>

#include "calls/callhandler.h"
#include "calls/connection.h"
#include "outgoing/outgoingqueue.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"

namespace Ui {
class TMainForm;
}
class QMenu;
class TPRMessageForm;
class THistoryTab;
class TShowCallerIDForm;
class TDebugForm;
class CTrayIcon;

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

    TConfig Config;
    TConfigFile ConfigFile;
    TCallLog CallLog;
    TPhoneBook PhoneBook;
    TOutgoingHistory OutgoingHistory;
    TOutgoingQueue Outgoing;
    TCallHandler Calls;
    TConnection Connection;
    QString StartFolder;
    bool ConfigValid = false;


    void OnTick();
    void OnLineClosed();
    void ConnectButtonClick();
    // Disconnects and saves everything (the window's FormDestroy), once.
    void SaveAll();
    // Saves the settings and lists and stays connected (the session manager asks for it
    // before a logout that may still be cancelled).
    void SaveData();
    // The end of the session or a kill: save, log what could not be saved, and quit, with no
    // password and no box; any open dialog is left.
    void Shutdown();
    // The password guard: passes with no password or when the action is not protected.
    bool PasswordGuard(bool protectedAction);
    void RenderCallControls();
    void RenderConnection();
    THistoryTab* History() const { return m_history; }
    TShowCallerIDForm* CallerPopup() const { return m_popup; }
    TDebugForm* DebugWindow() const { return m_debug; }
    TPRMessageForm* MessageWindow() const { return m_prmessage; }
    Ui::TMainForm* Form() const { return ui.get(); }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void WireCalls();
    void RefreshGeometry(TConfig& config);
    void UpdatePagingStatus();
    void ShowFromTray();
    QMenu* TrayMenu();

    std::unique_ptr<Ui::TMainForm> ui;
    THistoryTab* m_history = nullptr;
    TShowCallerIDForm* m_popup = nullptr;
    TDebugForm* m_debug = nullptr;
    TPRMessageForm* m_prmessage = nullptr;
    CTrayIcon* m_tray = nullptr;
    QMenu* m_trayMenu = nullptr;
    QTimer m_tickTimer;
    QTimer m_lineClosedTimer;
    QString m_pendingPopup;
    qint64 m_refreshDue = 0;
    bool m_saved = false;
    bool m_shuttingDown = false;
    QIcon m_connectedIcon;
    QIcon m_disconnectedIcon;
};
