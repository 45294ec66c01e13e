#include "ui/main/mainform.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QWindowStateChangeEvent>

#include "calls/prmessageform.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/prompts.h"
#include "platform/tfile.h"
#include "store/datafile.h"
#include "ui/main/ctrayicon.h"
#include "ui/dialogs/debugform.h"
#include "ui/dialogs/showcalleridform.h"
#include "ui/main/historytab.h"
#include "ui_mainform.h"

namespace {
constexpr int kTimer1Ms = 2000;
constexpr int kTimer2Ms = 1000;
constexpr int kRefreshSeconds = 62;

// The window and tray icons: a handset, green when listening.
QIcon LineIcon(bool connected) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(connected ? QColor(0, 150, 0) : QColor(140, 140, 140));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(4, 10, 24, 12, 5, 5);
    painter.drawEllipse(2, 6, 10, 10);
    painter.drawEllipse(20, 6, 10, 10);
    return QIcon(pixmap);
}
}  // namespace

TMainForm::TMainForm(QWidget* parent)
    : QMainWindow(parent),
      Outgoing(Config, OutgoingHistory),
      Calls(Config, CallLog, PhoneBook, Outgoing),
      Connection(Config, Calls),
      ui(std::make_unique<Ui::TMainForm>()) {
    ui->setupUi(this);
    m_history = new THistoryTab(ui.get(), Config, CallLog, PhoneBook);
    m_popup = new TShowCallerIDForm(this);
    m_debug = new TDebugForm(this);
    m_prmessage = new TPRMessageForm(this);
    m_connectedIcon = LineIcon(true);
    m_disconnectedIcon = LineIcon(false);
    WireCalls();
    FormCreate();
}

TMainForm::~TMainForm() {
    SaveAll();
}

void TMainForm::FormCreate() {
    StartFolder = TProfile::Folder();
    ConfigFile.RefreshGeometry = [this](TConfig& config) { RefreshGeometry(config); };
    ConfigValid = ConfigFile.LoadConfig(Config);
    if (Config.MainWindowBounds[2] && Config.MainWindowBounds[3])
        setGeometry(Config.MainWindowBounds[0], Config.MainWindowBounds[1],
                    Config.MainWindowBounds[2], Config.MainWindowBounds[3]);
    Config.MaxItems = Config.ClampedMaxItems();
    TFile folders;
    for (const char* folder : {"Messages", "Greetings", "Personal Sounds", "System Sounds"})
        folders.MakeDirectory(TProfile::Path(QLatin1String(folder)));
    ui->UseSpeakerPhoneButton->setChecked(Config.UseSpeakerPhoneButton());

    CallLog.LoadCallLog(Config.MaxItems);
    OutgoingHistory.LoadOutgoingHistory();
    PhoneBook.LoadPhoneBook();
    m_history->LoadRows();
    // A data file that could not be used was kept aside: said once, without holding anything up.
    if (const QStringList notices = TakeDataNotices(); !notices.isEmpty())
        QTimer::singleShot(0, this, [notices] {
            Prompts().Notice(notices.join(QStringLiteral("\r\r")), QStringLiteral("Ringvale"));
        });
    Connection.StartUp();
    ui->ConnectToInternetButton->setVisible(!Config.InternetLink.trimmed().isEmpty());

    m_tickTimer.setInterval(kTimer1Ms);
    connect(&m_tickTimer, &QTimer::timeout, this, &TMainForm::OnTick);
    m_tickTimer.start();
    m_lineClosedTimer.setSingleShot(true);
    m_lineClosedTimer.setInterval(kTimer2Ms);
    connect(&m_lineClosedTimer, &QTimer::timeout, this, &TMainForm::OnLineClosed);
    m_refreshDue = TClock::Now() + kRefreshSeconds;
}

void TMainForm::WireCalls() {
    Outgoing.Line = [this] { return Connection.Line.get(); };
    Outgoing.SetStatus = [this](const QString& text) { ui->StatusLabel->setText(text); };
    Outgoing.DebugLog = [this](const QString& text) {
        if (m_debug->isVisible()) m_debug->AddLine(text);
    };
    Calls.DebugLine = [this](const QString& line) { m_debug->AddLine(line); };
    Calls.DebugVisible = [this] { return m_debug->isVisible(); };
    Calls.RestoreWindow = [this] { setWindowState(windowState() & ~Qt::WindowMinimized); };
    Calls.ShowWindow = [this] {
        ShowFromTray();
        raise();
        activateWindow();
    };
    Calls.ShowCallerPopup = [this](const QString& text) { m_pendingPopup = text; };
    Calls.HistoryRowAdded = [this](CallLogRecord* record) {
        QTreeWidgetItem* row = m_history->AddHistoryRow(record);
        m_history->Trim(Config.MaxItems);
        if (row) m_history->SelectOnly(row);
        m_history->RefreshTimeAgo();
        m_history->RefreshHistory();
    };
    Calls.ControlsChanged = [this] { RenderCallControls(); };
    Calls.UpdateConnectionStatus = [this] { Connection.UpdateConnectionStatus(); };
    Calls.UpdatePagingStatus = [this] { UpdatePagingStatus(); };
    Calls.StartDisconnectTimer = [this] { m_lineClosedTimer.start(); };
    Calls.PlayGreeting = [this] {
        if (Connection.Line) m_prmessage->PlayGreeting(*Connection.Line, Calls.GreetingPath);
    };
    Calls.TakeMessage = [this] {
        if (Connection.Line)
            m_prmessage->TakeMessage(*Connection.Line, Calls.GreetingPath, Calls.CurrentLogRecord,
                                     PhoneBook, Config);
    };
    auto hideMessageWindow = [this] {
        if (m_prmessage->isVisible()) m_prmessage->hide();  // the run goes on to its end
    };
    Calls.ClosePlayRecordWindow = [this] { m_prmessage->CallerGone(); };
    Outgoing.CloseMessageWindow = hideMessageWindow;
    m_prmessage->MessageSaved = [this](const QString& name) {
        Calls.MessageSaved(name);
        m_history->RefreshHistory();
    };
    m_prmessage->Completion = [this](int outcome) {
        Calls.Completion(outcome);
        m_history->RefreshHistory();
    };
    m_prmessage->SetMainStatus = [this](const QString& text) { ui->StatusLabel->setText(text); };
    Connection.StatusChanged = [this] { RenderConnection(); };
    Connection.UpdatePagingStatus = [this] { UpdatePagingStatus(); };
    Connection.Trace = [this](int, const QString& text) {
        if (m_debug->isVisible()) m_debug->AddLine(text);
    };
    Connection.StopListeningAllowed = [this] { return PasswordGuard(Config.StopListening()); };
    m_history->LineOpen = [this] { return Connection.Line != nullptr; };
    m_history->CallInProgress = [this] { return Connection.Line && Connection.Line->hCall != 0; };
    m_history->DeleteAllowed = [this] { return PasswordGuard(Config.DeleteFromHistory()); };
    // The call in progress must not keep a record the user deleted.
    m_history->Removing = [this](CallLogRecord* record) { Calls.ForgetRecord(record); };

    connect(ui->ConnectButton, &QPushButton::clicked, this, &TMainForm::ConnectButtonClick);
    connect(ui->AnswerHangupButton, &QPushButton::clicked, this,
            [this] { Calls.AnswerHangupButtonClick(); });
    connect(ui->TakeMessageButton, &QPushButton::clicked, this,
            [this] { Calls.TakeMessageButtonClick(); });
    connect(ui->UseSpeakerPhoneButton, &QCheckBox::clicked, this,
            [this](bool on) { Calls.UseSpeakerPhoneButtonClick(on); });
    connect(ui->PortDataButton, &QPushButton::clicked, this, [this] { m_debug->show(); });
    connect(ui->ConnectToInternetButton, &QPushButton::clicked, this, [this] {
        if (!PasswordGuard(Config.ConnectToInternet())) return;
        QString error;
        if (!Connection.GiveModemAway(&error)) {
            Prompts().MessageBox(error, QStringLiteral(" "), prompt::MB_OK);
            return;
        }
        showMinimized();
    });
    ui->statusGroup->installEventFilter(this);
    installEventFilter(this);
}

void TMainForm::ConnectButtonClick() {
    if (!Connection.Line) ui->StatusLabel->setText(QStringLiteral("Connecting"));
    Connection.ConnectButtonClick();
    m_history->UpdateHistoryButtons();
}

void TMainForm::OnTick() {
    Outgoing.Tick();
    if (Outgoing.CurrentOutgoing) {
        ui->CallTimeLabel->setText(Outgoing.CallDisplay.CallTime);
        ui->CallCostLabel->setText(Outgoing.CallDisplay.CallCost);
        ui->PerMinuteLabel->setText(Outgoing.CallDisplay.PerMinute);
        for (QWidget* cost :
             {static_cast<QWidget*>(ui->callCostCaption), static_cast<QWidget*>(ui->CallCostLabel),
              static_cast<QWidget*>(ui->perMinuteCaption), static_cast<QWidget*>(ui->PerMinuteLabel)})
            cost->setVisible(Outgoing.CallDisplay.ShowCost);
    }
    Connection.ReconnectCheck();
    if (!m_pendingPopup.isEmpty()) {
        m_popup->SetText(std::exchange(m_pendingPopup, QString()));
        m_popup->CloseTime = TClock::Now() + Config.FlashTime;
        setWindowState(windowState() & ~Qt::WindowMinimized);
        m_popup->ShowCaller();
    }
    const qint64 now = TClock::Now();
    const bool midnightHour = QDateTime::fromSecsSinceEpoch(now).toLocalTime().time().hour() == 0;
    if (now >= m_refreshDue || midnightHour) {
        m_refreshDue = now + kRefreshSeconds;
        if (isVisible()) {
            m_history->RefreshTimeAgo();
            UpdatePagingStatus();
        }
        m_history->RefreshHistory();
    }
}

void TMainForm::OnLineClosed() {
    m_lineClosedTimer.stop();
    Connection.OnLineClosed();
    m_history->UpdateHistoryButtons();
}

void TMainForm::RenderCallControls() {
    const TCallControls& c = Calls.Controls;
    if (!c.StatusText.isEmpty()) ui->StatusLabel->setText(c.StatusText);
    ui->AnswerHangupButton->setText(c.AnswerHangupCaption);
    ui->AnswerHangupButton->setToolTip(c.AnswerHangupHint);
    ui->AnswerHangupButton->setVisible(c.AnswerHangupVisible);
    ui->AnswerHangupButton->setEnabled(c.AnswerHangupEnabled);
    ui->TakeMessageButton->setVisible(c.TakeMessageVisible);
    ui->ThisCallGroup->setVisible(c.ThisCallGroupVisible);
    ui->UseSpeakerPhoneButton->setVisible(c.SpeakerPhoneVisible);
    ui->UseSpeakerPhoneButton->setEnabled(c.SpeakerPhoneEnabled);
    ui->UseSpeakerPhoneButton->setToolTip(c.SpeakerPhoneHint);
}

void TMainForm::RenderConnection() {
    const TConnectionStatus& s = Connection.Status;
    Calls.Controls.StatusText.clear();  // the status replaces the call texts until the next call
    ui->ConnectButton->setText(s.ConnectCaption);
    ui->ConnectButton->setEnabled(s.ConnectEnabled);
    ui->ConnectButton->setToolTip(s.ConnectHint);
    ui->StatusLabel->setText(s.StatusText);
    ui->StatusLabel->setToolTip(s.StatusHint);
    const QIcon& icon = s.Connected ? m_connectedIcon : m_disconnectedIcon;
    if (windowIcon().cacheKey() != icon.cacheKey()) setWindowIcon(icon);
    if (m_tray) {
        m_tray->SetTip(s.TrayTip);
        m_tray->SetIcon(icon);
    }
    ui->pageTabs->setTabVisible(2, s.OutgoingTabVisible);
}

void TMainForm::UpdatePagingStatus() {
    QString text = ui->PagerActive->text();
    const bool visible = Outgoing.PagingStatus(Connection.Line != nullptr, &text);
    ui->PagingLabel->setVisible(visible);
    ui->PagerActive->setVisible(visible);
    ui->PagerActive->setText(text);
}

bool TMainForm::PasswordGuard(bool protectedAction) {
    if (Config.Password1.isEmpty() || !protectedAction) return true;
    QString typed;
    if (!Prompts().Password(QStringLiteral("Password"), QStringLiteral("Enter your password"),
                            &typed))
        return false;
    return typed.compare(Config.Password1, Qt::CaseInsensitive) == 0;
}

void TMainForm::RefreshGeometry(TConfig& config) {
    if (!isMinimized() && !isMaximized()) {
        config.MainWindowBounds[0] = geometry().x();
        config.MainWindowBounds[1] = geometry().y();
        config.MainWindowBounds[2] = geometry().width();
        config.MainWindowBounds[3] = geometry().height();
    }
    for (int column = 0; column < 5; ++column)
        config.HistoryColumnWidths[column] = ui->historyList->columnWidth(column);
    for (int column = 0; column < 4; ++column)
        config.PhoneBookColumnWidths[column] = ui->PhoneBookList->columnWidth(column);
    config.Panel1Height = ui->topPanel->height();
}

void TMainForm::SaveAll() {
    if (m_saved) return;
    m_saved = true;
    Connection.Disconnect();
    SaveData();
}

void TMainForm::SaveData() {
    ConfigFile.SaveConfig(Config);
    CallLog.SaveCallLog();
    PhoneBook.SavePhoneBook();
    OutgoingHistory.SaveOutgoingHistory();
}

void TMainForm::Shutdown() {
    if (m_shuttingDown) return;
    m_shuttingDown = true;
    static TLogPrompts unattended;  // nobody is there to answer: every question is logged
    SetPrompts(&unattended);
    SaveAll();
    QCoreApplication::exit(0);  // leaves every event loop, a modal dialog's too
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (!m_shuttingDown && !Connection.FormClose()) {
        event->ignore();
        return;
    }
    m_popup->hide();
    m_debug->hide();
    SaveAll();
    event->accept();
}

void TMainForm::ShowFromTray() {
    delete std::exchange(m_tray, nullptr);
    show();
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    // Minimised to the tray only where there is one; otherwise the window stays on the task bar.
    if (!Config.MinimizeToSysTray() || !QSystemTrayIcon::isSystemTrayAvailable()) return;
    QTimer::singleShot(0, this, [this] {
        hide();
        delete m_tray;
        m_tray = new CTrayIcon(this, windowIcon(), QStringLiteral(" "));
        if (!m_trayMenu) m_trayMenu = TrayMenu();
        m_tray->Icon().setContextMenu(m_trayMenu);
        m_tray->Show();
        connect(&m_tray->Icon(), &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason why) {
                    if (why == QSystemTrayIcon::DoubleClick) ShowFromTray();
                });
        RenderConnection();
    });
}

// The tray's menu: the first item switches the line, then "Restore" and "Exit".
QMenu* TMainForm::TrayMenu() {
    auto* menu = new QMenu(this);
    QAction* toggle = menu->addAction(QString());
    toggle->setObjectName(QStringLiteral("EnableDisable"));
    connect(menu, &QMenu::aboutToShow, this, [this, toggle] {
        toggle->setText(Connection.Line ? QStringLiteral("Disable") : QStringLiteral("Enable"));
    });
    connect(toggle, &QAction::triggered, this, [this] { ui->ConnectButton->click(); });
    QAction* restore = menu->addAction(QStringLiteral("Restore"));
    restore->setObjectName(QStringLiteral("Show"));
    connect(restore, &QAction::triggered, this, [this] {
        ShowFromTray();
        raise();
        activateWindow();
    });
    QAction* exit = menu->addAction(QStringLiteral("Exit"));
    exit->setObjectName(QStringLiteral("Exit"));
    connect(exit, &QAction::triggered, this, &QWidget::close);
    return menu;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::WindowActivate) {
        ui->pageTabs->setCurrentIndex(0);  // the call history, focused
        ui->historyList->setFocus();
    }
    if (watched == ui->statusGroup && event->type() == QEvent::MouseButtonDblClick)
        ui->PortDataButton->setVisible(!ui->PortDataButton->isVisible());
    if (!Config.ShowHints() && event->type() == QEvent::ToolTip) return true;  // hints off
    return QMainWindow::eventFilter(watched, event);
}
