#include "ui/main/mainform.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QMenu>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QWindowStateChangeEvent>
#include <cstdio>

#include "calls/labelholder.h"
#include "calls/prmessageform.h"
#include "calls/remoteplayform.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/prompts.h"
#include "platform/tfile.h"
#include "store/datafile.h"
#include "store/message.h"
#include "ui/dialogs/debugform.h"
#include "ui/dialogs/helpwindow.h"
#include "ui/dialogs/setup.h"
#include "ui/dialogs/showcalleridform.h"
#include "ui/dialogs/welcomedialog.h"
#include "ui/main/busservice.h"
#include "ui/main/ctrayicon.h"
#include "ui/main/desktopnotifier.h"
#include "ui/main/historytab.h"
#include "ui/main/outgoingtab.h"
#include "ui/main/phonebooktab.h"
#include "ui/main/windowplace.h"
#include "ui_mainform.h"

namespace {
constexpr int kTickMs = 2000;        // the one periodic timer
constexpr int kLineClosedMs = 1000;  // a line that closed is let go this much later
constexpr int kRefreshSeconds = 62;
constexpr int kWelcomeDelayMs = 500;

// A line on standard output at once, with the time of day.
void PrintLine(const QString& text) {
    std::printf("%s  %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("HH:mm:ss"))),
                qPrintable(text));
    std::fflush(stdout);
}

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
    : QMainWindow(parent), m_session(*this), ui(std::make_unique<Ui::TMainForm>()) {
    ui->setupUi(this);
    TLabelHolder::Hold(ui->StatusLabel, 2, {});  // a new status redraws the status alone
    // Blue through the palette: a style sheet would send every paint of it through the
    // style sheet engine.
    QPalette blue = ui->StatusLabel->palette();
    blue.setColor(QPalette::WindowText, Qt::blue);
    ui->StatusLabel->setPalette(blue);
    m_history = new THistoryTab(*this, m_session.Config(), m_session.CallLog(),
                                m_session.PhoneBook(), ui->pageTabs);
    m_phoneBookTab =
        new TPhoneBookTab(*this, m_session.Config(), m_session.PhoneBook(), ui->pageTabs);
    m_outgoingTab = new TOutgoingTab(*this, m_session.Config(), m_session.Outgoing(),
                                     m_session.OutgoingHistory(), ui->pageTabs);
    for (QWidget* tab : {static_cast<QWidget*>(m_history), static_cast<QWidget*>(m_phoneBookTab),
                         static_cast<QWidget*>(m_outgoingTab)})
        ui->pageTabs->addTab(tab, tab->windowTitle());
    m_popup = new TShowCallerIDForm(this);
    m_debug = new TDebugForm(this);
    m_prmessage = new TPRMessageForm(*this, this);
    m_notifier = new TDesktopNotifier(this);
    m_bus = new TBusService(m_session.CallLog(), m_session.PhoneBook(), this);
    m_connectedIcon = LineIcon(true);
    m_disconnectedIcon = LineIcon(false);
    WireWindows();
    FormCreate();
}

TMainForm::~TMainForm() {
    SaveAll();
}

void TMainForm::FormCreate() {
    StartFolder = TProfile::Folder();
    ConfigValid = m_session.Load();
    const TConfig& config = m_session.Config();
    TWindowPlace::Restore(this, config.MainWindowBounds);
    ui->UseSpeakerPhoneButton->setChecked(config.UseSpeakerPhoneButton());
    m_history->LoadRows();
    m_phoneBookTab->LoadRows();
    m_outgoingTab->Load();
    // A data file that could not be used was kept aside: said once, without holding anything up.
    if (const QStringList notices = TakeDataNotices(); !notices.isEmpty())
        QTimer::singleShot(0, this, [notices] {
            Prompts().Notice(notices.join(QStringLiteral("\r\r")), QStringLiteral("Ringvale"));
        });
    m_notifier->Enabled = DesktopNotificationsOn();
    m_bus->Register();  // quietly absent without a session bus
    m_session.Connection().StartUp();
    ShowInternetButton();
    // A first start is led to the settings, so that a modem is chosen.
    if (!ConfigValid) QTimer::singleShot(kWelcomeDelayMs, this, &TMainForm::WelcomeNewUser);

    m_tickTimer.setInterval(kTickMs);
    connect(&m_tickTimer, &QTimer::timeout, this, &TMainForm::OnTick);
    m_tickTimer.start();
    m_lineClosedTimer.setSingleShot(true);
    m_lineClosedTimer.setInterval(kLineClosedMs);
    connect(&m_lineClosedTimer, &QTimer::timeout, this, &TMainForm::OnLineClosed);
    m_refreshDue = TClock::Now() + kRefreshSeconds;
}

// What the session asks of the windows.
bool TMainForm::PortDataVisible() const {
    return m_debug->isVisible();
}

void TMainForm::PortDataLine(const QString& line) {
    m_debug->AddLine(line);
}

void TMainForm::RestoreWindow() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
}

void TMainForm::ShowWindow() {
    ShowFromTray();
    raise();
    activateWindow();
}

void TMainForm::ShowCallerPopup(const QString& text) {
    m_pendingPopup = text;  // opens at the next tick
}

void TMainForm::HistoryRowAdded(CallLogRecord* record) {
    QString name;
    m_session.PhoneBook().CallerDisplayName(record->Number, record->Name, &name);
    m_notifier->Notify(QStringLiteral("Call from ") + TrimBlanks(name),
                       FormatNumber(record->Number));
    m_bus->ReportCall(*record);
    m_session.Mailer().CallLogged(*record);
    if (PrintCalls) {
        const QString done = TrimBlanks(LogActionText(record->Actions));
        PrintLine(QStringLiteral("%1  %2  %3")
                      .arg(TrimBlanks(name), FormatNumber(record->Number),
                           done.isEmpty() ? QStringLiteral("logged") : done));
    }
    QTreeWidgetItem* row = m_history->AddHistoryRow(record);
    m_history->Trim(m_session.Config().MaxItems);
    if (row) m_history->SelectOnly(row);
    m_history->RefreshTimeAgo();
    m_history->RefreshHistory();
}

void TMainForm::CallControlsChanged() {
    RenderCallControls();
    m_outgoingTab->OnTick();  // a placed call that ended leaves the queue for the history
}

void TMainForm::ConnectionChanged() {
    RenderConnection();
}

void TMainForm::PagingStatusChanged() {
    UpdatePagingStatus();
}

void TMainForm::CallStatus(const QString& text) {
    ui->StatusLabel->setText(text);
}

void TMainForm::StartLineClosedTimer() {
    m_lineClosedTimer.start();
}

void TMainForm::StoreGeometry(TConfig& config) {
    RefreshGeometry(config);
}

void TMainForm::PlayGreeting() {
    QString greeting = m_session.Calls().GreetingPath();
    if (TTapi* line = m_session.Line()) m_prmessage->PlayGreeting(*line, greeting);
}

void TMainForm::TakeMessage() {
    QString greeting = m_session.Calls().GreetingPath();
    if (TTapi* line = m_session.Line())
        m_prmessage->TakeMessage(*line, greeting, m_session.Calls().CurrentLogRecord(),
                                 m_session.PhoneBook(), m_session.Config());
}

void TMainForm::CallerGone() {
    m_prmessage->CallerGone();
}

void TMainForm::HangingUp() {
    m_prmessage->EndRun();  // no greeting or recording may hold the hang-up back
}

void TMainForm::CallEnded() {
    m_prmessage->EndRun();
    if (m_remote) m_remote->close();  // the call is over: its closing hangs nothing up
    m_history->RefreshHistory();
}

void TMainForm::HistoryChanged() {
    m_history->RefreshHistory();
}

void TMainForm::RemoteAccessChanged() {
    m_session.Connection().UpdateConnectionStatus();
}

// The caller keyed the access code: the answering machine stops and the new messages are
// played over the line in a window that shows what is played.
void TMainForm::StartRemoteRetrieval() {
    TTapi* line = m_session.Line();
    if (!line || m_remote) return;
    // Closing the player hangs up, while its call lasts.
    m_remote = new TRemotePlayForm(m_session.Calls(), this);
    m_remote->setAttribute(Qt::WA_DeleteOnClose);
    line->GetWaveId(QStringLiteral("wave/out"));
    m_remote->Device = line->WaveId;
    if (m_prmessage->isVisible()) m_prmessage->StopButtonClick();
    const TConfig& config = m_session.Config();
    const QString menu = TRemotePlayForm::MenuFor(
        config.CurrentMessageComboBox, config.PreviousMessageComboBox, config.NextMessageComboBox);
    for (const RemoteMessageEntry& entry :
         TRemotePlayForm::NewMessages(m_session.CallLog(), m_session.PhoneBook(), menu))
        m_remote->AddRemoteMessage(entry);
    m_remote->show();
}

void TMainForm::RemoteCommand(int code) {
    if (m_remote) m_remote->RemoteCommand(code);
}

bool TMainForm::StopListeningAllowed() {
    return PasswordGuard(m_session.Config().StopListening());
}

void TMainForm::MessageSaved(const QString& name) {
    m_session.Calls().MessageSaved(name);
    m_history->RefreshHistory();
    if (name.isEmpty() || m_prmessage->Recording()) return;  // told once, when complete
    if (PrintCalls) PrintLine(QStringLiteral("    took a message: Messages/") + name);
    m_bus->ReportMessage(name);
    m_session.Mailer().MessageRecorded(name);
    m_notifier->Notify(QStringLiteral("New message"),
                       QStringLiteral("%1 new message(s) waiting").arg(m_history->NewMessages()));
}

void TMainForm::Completed(int outcome) {
    m_session.Calls().Completion(outcome);
    m_history->RefreshHistory();
}

void TMainForm::MainStatus(const QString& text) {
    ui->StatusLabel->setText(text);
}

void TMainForm::WireWindows() {
    TCallHandler& calls = m_session.Calls();
    connect(m_notifier, &TDesktopNotifier::Activated, this, &TMainForm::ShowWindow);
    connect(m_bus, &TBusService::MessagesChanged, this, [this] { m_history->RefreshHistory(); });
    connect(&m_session.Mailer(), &TMailer::Status, this, &TMainForm::MainStatus);
    // Names may have changed, and with them the order of a list sorted by name.
    connect(m_phoneBookTab, &TPhoneBookTab::PhoneBookChanged, this, [this] {
        m_history->RefreshHistory();
        m_history->ApplyStoredSort();
    });
    connect(m_history, &THistoryTab::NewMessagesCounted, this, &TMainForm::ShowNewMessageCount);
    connect(m_phoneBookTab, &TPhoneBookTab::ShowRequested, this,
            [this] { ui->pageTabs->setCurrentWidget(m_phoneBookTab); });
    connect(ui->pageTabs, &QTabWidget::currentChanged, this, [this] {
        if (ui->pageTabs->currentWidget() == m_phoneBookTab) m_phoneBookTab->TabShown();
        if (ui->pageTabs->currentWidget() == m_outgoingTab) m_outgoingTab->TabShown();
    });
    connect(m_history, &THistoryTab::EditCallersRequested, m_phoneBookTab,
            &TPhoneBookTab::EditCallers);
    connect(m_history, &THistoryTab::BlockCallerRequested, m_phoneBookTab,
            [this](CallLogRecord* call) { m_phoneBookTab->BlockCaller(*call); });

    connect(ui->ConnectButton, &QPushButton::clicked, this, &TMainForm::ConnectButtonClick);
    connect(ui->AnswerHangupButton, &QPushButton::clicked, this,
            [&calls] { calls.AnswerHangupButtonClick(); });
    connect(ui->TakeMessageButton, &QPushButton::clicked, this,
            [&calls] { calls.TakeMessageButtonClick(); });
    connect(ui->UseSpeakerPhoneButton, &QCheckBox::clicked, this,
            [&calls](bool on) { calls.UseSpeakerPhoneButtonClick(on); });
    connect(ui->SetupButton, &QPushButton::clicked, this, [this] { SetupButtonClick(); });
    connect(ui->HelpButton, &QPushButton::clicked, this,
            [] { THelpWindow::ShowTopic(QStringLiteral("Contents")); });
    connect(ui->PortDataButton, &QPushButton::clicked, this, [this] { m_debug->show(); });
    connect(ui->ConnectToInternetButton, &QPushButton::clicked, this, [this] {
        if (!PasswordGuard(m_session.Config().ConnectToInternet())) return;
        QString error;
        if (!m_session.Connection().GiveModemAway(&error)) {
            Prompts().MessageBox(error, QStringLiteral(" "), prompt::MB_OK);
            return;
        }
        showMinimized();
    });
    ui->statusGroup->installEventFilter(this);
    // The counters of the status panel are buttons for the new messages too.
    for (QObject* counter : Counters())
        counter->installEventFilter(this);
    installEventFilter(this);
}

QList<QObject*> TMainForm::Counters() const {
    return {ui->NumMessages, ui->CallTimeLabel, ui->CallCostLabel, ui->PerMinuteLabel};
}

// The new-message counter: green and a button while there are new messages.
void TMainForm::ShowNewMessageCount(int count) {
    const bool fresh = count > 0;
    ui->NumMessages->setText(QString::number(count));
    ui->NumMessages->setToolTip(THistoryTab::NewMessagesHint(count));
    // A style sheet is set only when it changes: setting it restyles the widget.
    const QString sheet = fresh ? QStringLiteral("background: rgb(0,255,0);") : QString();
    if (ui->NumMessages->styleSheet() != sheet) ui->NumMessages->setStyleSheet(sheet);
    ui->NumMessages->setCursor(fresh ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void TMainForm::ShowInternetButton() {
    ui->ConnectToInternetButton->setVisible(!m_session.Config().InternetLink.trimmed().isEmpty());
}

bool TMainForm::LineOpen() {
    return m_session.Line() != nullptr;
}

bool TMainForm::ListenAllowed() {
    return PasswordGuard(m_session.Config().ListenToMessages());
}

bool TMainForm::DeleteAllowed() {
    return PasswordGuard(m_session.Config().DeleteFromHistory());
}

bool TMainForm::DialAllowed() {
    return PasswordGuard(m_session.Config().DialNumber());
}

// Calls asked for from any tab join the queue (after the password that guards dialling) and
// show in the outgoing calls tab at once.
bool TMainForm::QueueCalls(const QList<TOCALL>& calls) {
    if (!DialAllowed()) return false;
    for (const TOCALL& call : calls)
        m_outgoingTab->Queue(call);
    return true;
}

// The settings: asked for the password when one is set, edited in the dialog, and on OK saved
// and applied at once.
bool TMainForm::SetupButtonClick(bool firstRun) {
    if (!PasswordGuard(true)) return false;
    if (!m_setup)
        m_setup = new TSetup(m_session.Mailer(), this);  // one dialog, reused at every opening
    m_setup->FirstRun = firstRun;
    m_setup->SetConfig(&m_session.Config());
    const int historyLength = m_session.Config().MaxItems;
    const bool accepted = m_setup->exec() == QDialog::Accepted;
    if (accepted && !m_shuttingDown) SettingsChanged(historyLength);
    m_session.Connection().UpdateConnectionStatus();
    return accepted;
}

void TMainForm::SettingsChanged(int oldHistoryLength) {
    TConfig& config = m_session.Config();
    // A shorter history never takes new messages without asking.
    config.MaxItems = config.ClampedMaxItems();
    if (const int fresh = m_session.CallLog().NewMessagesBeyond(config.MaxItems);
        fresh > 0 && config.MaxItems < oldHistoryLength &&
        Prompts().MessageBox(
            QStringLiteral("Keeping only the newest %1 callers deletes %2 new message(s) that you "
                           "have not heard yet.\rDelete them?")
                .arg(config.MaxItems)
                .arg(fresh),
            QStringLiteral("Ringvale"),
            prompt::MB_YESNO | prompt::MB_ICONQUESTION) != prompt::IDYES)
        config.MaxItems = oldHistoryLength;
    m_history->Trim(config.MaxItems);
    const bool switched = m_session.ApplySettings();
    m_notifier->Enabled = DesktopNotificationsOn();
    ShowInternetButton();
    UpdatePagingStatus();
    if (switched) ShowManagedMessage(MSG_SWITCHED_MODEMS);
}

// After a start without settings: the welcome, then the settings; a modem chosen there is
// connected to at once. The welcome holds nothing up: calls are taken while it shows.
void TMainForm::WelcomeNewUser() {
    if (m_shuttingDown) return;
    auto* welcome = new TWelcomeDialog(this);
    welcome->setAttribute(Qt::WA_DeleteOnClose);
    connect(welcome, &QDialog::finished, this, [this] {
        if (!m_shuttingDown && SetupButtonClick(true)) m_session.Connection().ConnectSoon();
    });
    welcome->open();
}

void TMainForm::ConnectButtonClick() {
    if (!m_session.Line()) ui->StatusLabel->setText(QStringLiteral("Connecting"));
    m_session.Connection().ConnectButtonClick();
    m_history->UpdateHistoryButtons();
}

void TMainForm::OnTick() {
    m_session.Tick();
    m_outgoingTab->OnTick();
    const TOutgoingQueue& outgoing = m_session.Outgoing();
    if (outgoing.CurrentOutgoing()) {
        ui->CallTimeLabel->setText(outgoing.CallDisplay().CallTime);
        ui->CallCostLabel->setText(outgoing.CallDisplay().CallCost);
        ui->PerMinuteLabel->setText(outgoing.CallDisplay().PerMinute);
        for (QWidget* cost :
             {static_cast<QWidget*>(ui->callCostCaption), static_cast<QWidget*>(ui->CallCostLabel),
              static_cast<QWidget*>(ui->perMinuteCaption),
              static_cast<QWidget*>(ui->PerMinuteLabel)})
            cost->setVisible(outgoing.CallDisplay().ShowCost);
    }
    if (!m_pendingPopup.isEmpty()) {
        m_popup->SetText(std::exchange(m_pendingPopup, QString()));
        m_popup->CloseTime = TClock::Now() + m_session.Config().FlashTime;
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
    m_session.Connection().OnLineClosed();
    m_history->UpdateHistoryButtons();
}

void TMainForm::RenderCallControls() {
    const TCallControls& c = m_session.Calls().Controls();
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
    m_bus->ReportLineState(LineState());
}

QString TMainForm::LineState() {
    if (!m_session.Line()) return QStringLiteral("closed");
    if (m_session.Calls().OffHook()) return QStringLiteral("in call");
    return m_session.Calls().RingCount() > 0 ? QStringLiteral("ringing")
                                             : QStringLiteral("listening");
}

void TMainForm::RenderConnection() {
    const TConnectionStatus& s = m_session.Connection().Status();
    m_session.Calls().CallStatusReplaced();
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
    // Set only when it changes: setting it redraws the whole tab area, and the line reopens
    // after every call.
    const int outgoing = ui->pageTabs->indexOf(m_outgoingTab);
    if (ui->pageTabs->isTabVisible(outgoing) != s.OutgoingTabVisible)
        ui->pageTabs->setTabVisible(outgoing, s.OutgoingTabVisible);
    // The Call buttons follow the line, whether it opened or closed by itself or by a click.
    m_history->UpdateHistoryButtons();
    m_phoneBookTab->UpdatePhoneBookButtons();
    m_bus->ReportLineState(LineState());
}

void TMainForm::UpdatePagingStatus() {
    QString text = ui->PagerActive->text();
    const bool visible = m_session.Outgoing().PagingStatus(m_session.Line() != nullptr, &text);
    ui->PagingLabel->setVisible(visible);
    ui->PagerActive->setVisible(visible);
    ui->PagerActive->setText(text);
}

bool TMainForm::PasswordGuard(bool protectedAction) {
    if (m_session.Config().Password1.isEmpty() || !protectedAction) return true;
    QString typed;
    if (!Prompts().Password(QString(), QStringLiteral("Password"), &typed)) return false;
    return typed.compare(m_session.Config().Password1, Qt::CaseInsensitive) == 0;
}

void TMainForm::RefreshGeometry(TConfig& config) {
    // A window never shown (the headless demo) has no place of its own to keep.
    if (m_placed && !isMinimized() && !isMaximized())
        TWindowPlace::Store(this, config.MainWindowBounds);
    m_history->StoreGeometry(config);
    m_phoneBookTab->StoreGeometry(config);
    config.Panel1Height = ui->topPanel->height();
    m_outgoingTab->StoreGeometry(config);
}

// The end of the program is the end of a call still under way, as if the caller had hung
// up: what was said is kept and tied to its call, then the line is hung up and all is saved.
void TMainForm::SaveAll() {
    m_prmessage->EndRun();
    if (m_remote) m_remote->close();
    m_session.SaveAll();
}

void TMainForm::SaveData() {
    m_session.SaveData();
}

// Closing a window that is in the tray ends nothing by itself (no visible window closes), so
// Exit quits too once the window has closed.
void TMainForm::ExitProgram() {
    if (close()) QCoreApplication::exit(0);  // leaves every event loop, as Shutdown does
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
    if (!m_shuttingDown && !m_session.Connection().FormClose()) {
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

void TMainForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    m_placed = true;
}

void TMainForm::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange || !isMinimized()) return;
    // Minimised to the tray only where there is one; otherwise the window stays on the task bar.
    if (!m_session.Config().MinimizeToSysTray() || !CTrayIcon::Available()) return;
    QTimer::singleShot(0, this, [this] {
        hide();
        delete m_tray;
        m_tray = new CTrayIcon(this, windowIcon(), QStringLiteral(" "));
        if (!m_trayMenu) m_trayMenu = TrayMenu();
        m_tray->Icon().setContextMenu(m_trayMenu);
        m_tray->Show();
        connect(&m_tray->Icon(), &QSystemTrayIcon::activated, this, &TMainForm::TrayActivated);
        RenderConnection();
    });
}

// Most Linux trays send a single click only, others a double click: either shows the window
// (in front). The menu comes with the right button.
void TMainForm::TrayActivated(QSystemTrayIcon::ActivationReason why) {
    if (why != QSystemTrayIcon::Trigger && why != QSystemTrayIcon::DoubleClick) return;
    ShowFromTray();
    raise();
    activateWindow();
}

// The tray's menu: the first item switches the line, then "Restore" and "Exit".
QMenu* TMainForm::TrayMenu() {
    auto* menu = new QMenu(this);
    QAction* toggle = menu->addAction(QString());
    toggle->setObjectName(QStringLiteral("EnableDisable"));
    connect(menu, &QMenu::aboutToShow, this, [this, toggle] {
        toggle->setText(m_session.Line() ? QStringLiteral("Disable") : QStringLiteral("Enable"));
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
    connect(exit, &QAction::triggered, this, &TMainForm::ExitProgram);
    return menu;
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == this && event->type() == QEvent::WindowActivate) {
        ui->pageTabs->setCurrentWidget(m_history);  // the call history, focused
        m_history->setFocus();
    }
    if (event->type() == QEvent::MouseButtonRelease && Counters().contains(watched)) {
        m_history->NewMessagesButtonClick();
        return true;
    }
    if (watched == ui->statusGroup && event->type() == QEvent::MouseButtonDblClick)
        ui->PortDataButton->setVisible(!ui->PortDataButton->isVisible());
    if (!m_session.Config().ShowHints() && event->type() == QEvent::ToolTip)
        return true;  // hints off
    return QMainWindow::eventFilter(watched, event);
}
