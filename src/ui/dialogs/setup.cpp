#include "ui/dialogs/setup.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTabBar>
#include <cmath>

#include "audio/ctwave.h"
#include "audio/soundimport.h"
#include "platform/autostart.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/prompts.h"
#include "platform/records.h"
#include "platform/telephony/linelist.h"
#include "platform/tfile.h"
#include "platform/wave/sounds.h"
#include "store/greetings.h"
#include "store/message.h"
#include "store/phonebook.h"
#include "telephony/ttapi.h"
#include "ui/dialogs/aboutdialog.h"
#include "ui/dialogs/emailpage.h"
#include "ui/dialogs/helpwindow.h"
#include "ui/dialogs/latin1text.h"
#include "ui/dialogs/modeminfoform.h"
#include "ui/dialogs/recordwaveform.h"
#include "ui/dialogs/showcalleridform.h"
#include "ui/dialogs/sipaccountform.h"
#include "ui_setup.h"

namespace {
constexpr int kModemNameWidth = 79;
const QString kDirectLine = QStringLiteral("Direct SIP calls");

TLineEntry LinesConfEntry(const QString& name) {
    for (const TLineEntry& entry : ReadLinesConf(LinesConfPath()))
        if (entry.Name == name) return entry;
    return {};
}
const QString kRemoteKeys = QStringLiteral("0123456789*");
constexpr int kSafeAccessCode = 4;  // fewer digits are found by trying

// 3.0 as "3", 0.25 as "0.25".
QString Shortest(double value) {
    return QString::number(value, 'g', 15);
}

// The leading whole number of a text ("15 s" is 15), 0 when it starts with none.
int LeadingInteger(const QString& text) {
    int end = 0;
    const QString t = text.trimmed();
    while (end < t.size() && (t[end].isDigit() || (end == 0 && t[end] == QLatin1Char('-'))))
        ++end;
    return t.left(qMin(end, 9)).toInt();
}

int KeyIndex(char key) {
    const qsizetype at = kRemoteKeys.indexOf(QLatin1Char(key));
    return at < 0 ? 0 : int(at);
}

char KeyAt(int index) {
    return index >= 0 && index < kRemoteKeys.size() ? char(kRemoteKeys[index].unicode()) : '0';
}

// A sound named relative to the data folder, or by its full path once browsed to.
QString SoundPath(const QString& name) {
    return QFileInfo(name).isAbsolute() ? name : TProfile::Path(name);
}

bool SoundExists(const QString& name) {
    return !name.isEmpty() && QFileInfo(SoundPath(name)).isFile();
}
}  // namespace

TSetup::TSetup(TMailer& mailer, QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TSetup>()), m_emailPage(new TEmailPage(mailer)) {
    ui->setupUi(this);
    ui->setupPages->addTab(m_emailPage, QStringLiteral("Email"));
    // Every tab's caption shows at once, none hidden behind scroll arrows.
    setMinimumWidth(ui->setupPages->tabBar()->sizeHint().width() + 40);
    setAcceptDrops(true);  // a dialer program dropped from the file manager
    for (int seconds = 5; seconds <= 30; ++seconds)
        ui->FlashTime->addItem(QString::number(seconds));
    Wire();
    WireGreetings();
    for (QLineEdit* field : TextFields())
        KeepLatin1(field);
}

// The fields whose text goes into the settings file as it stands.
QList<QLineEdit*> TSetup::TextFields() const {
    return {ui->SoundToPlayWhenPhoneRings,
            ui->Password1,
            ui->Password2,
            ui->InternetLink,
            ui->PagerNumber,
            ui->PostPageNumber,
            ui->LocalAreaCodes,
            ui->LongDistancePrefix};
}

TSetup::~TSetup() = default;

void TSetup::SetConfig(TConfig* live) {
    m_live = live;
    m_working = *live;
}

void TSetup::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!event->spontaneous()) ShowSettings();
}

void TSetup::ShowSettings() {
    const TConfig& c = m_working;
    m_emailPage->ShowSettings();
    ui->SoundToPlayWhenPhoneRings->setText(c.SoundToPlayWhenPhoneRings);
    UpdateRingSoundHint();
    ui->Password1->setText(c.Password1);
    ui->Password2->setText(c.Password1);
    ui->DeleteFromHistory->setChecked(c.DeleteFromHistory());
    ui->ConnectToInternet->setChecked(c.ConnectToInternet());
    ui->DialNumber->setChecked(c.DialNumber());
    ui->StopListening->setChecked(c.StopListening());
    ui->ListenToMessages->setChecked(c.ListenToMessages());
    ui->ShowHints->setChecked(c.ShowHints());
    ui->ShowToCallTab->setChecked(c.ShowToCallTab());
    ui->MinimizeToSysTray->setChecked(c.MinimizeToSysTray());
    ui->desktopNotifications->setChecked(DesktopNotificationsOn());
    ui->startAtLogin->setChecked(TAutostart::IsEnabled());
    ui->TenDigitDialing->setChecked(c.TenDigitDialing());
    ui->AllowRemotePage->setChecked(c.AllowRemotePage());
    ui->ScreenUnknownCallers->setChecked(c.ScreenUnknownCallers());
    ui->PageWait->setEditText(Shortest(c.PageWait));
    ui->InternetLink->setText(c.InternetLink);

    FillModemList();
    ShowChosenModem(c.SelectPortBox);
    ShowDirectLine();

    (c.PageMode() == TConfig::PageNever    ? ui->PageNever
     : c.PageMode() == TConfig::PageAlways ? ui->PageAlways
                                           : ui->PageNormal)
        ->setChecked(true);
    ui->ConnectAtStartupButton->setChecked(c.ConnectAtStartupButton());
    ui->FlashCaller->setChecked(c.FlashCaller());
    ui->FlashTimeLabel->setEnabled(c.FlashCaller());
    ui->FlashTime->setEnabled(c.FlashCaller());
    ui->FlashTime->setEditText(QString::number(c.FlashTime));
    ui->MaxItems->setText(QString::number(c.MaxItems));
    ui->PagerNumber->setText(c.PagerNumber);
    ui->PostPageNumber->setText(c.PostPageNumber);
    ui->LocalAreaCodes->setText(c.LocalAreaCodes);
    ui->LongDistancePrefix->setText(c.LongDistancePrefix);

    std::copy(std::begin(c.PagingHours), std::end(c.PagingHours), m_hours);
    const int today = QDate::currentDate().dayOfWeek() % 7;  // Sunday is 0
    {
        const QSignalBlocker quiet(ui->DayOfWeek);  // the boxes still show an earlier day
        ui->DayOfWeek->setCurrentRow(today);
    }
    ShowDay(today);
    ui->setupPages->setCurrentIndex(qBound(0, int(c.SetupPageIndex), ui->setupPages->count() - 1));

    ui->GreetingList->clear();
    for (const QString& name : LoadGreetingList())
        if (QFileInfo(GreetingsFolder() + QLatin1Char('/') + name).isFile())
            ui->GreetingList->addItem(name);  // a name without its file would never play
    UpdateGreetingButtons();
    ui->RingsToAnswer->setCurrentIndex(c.RingsToAnswer == 0 ? 0
                                                            : qBound(0, c.RingsToAnswer - 1, 9));
    ui->MaximumRecordTimeComboBox->setCurrentIndex(qBound(0, c.MaximumRecordTimeComboBox, 4));
    ui->MessagePasswordEdit->setText(c.MessagePasswordEdit);
    ui->NextMessageComboBox->setCurrentIndex(KeyIndex(c.NextMessageComboBox));
    ui->PreviousMessageComboBox->setCurrentIndex(KeyIndex(c.PreviousMessageComboBox));
    ui->CurrentMessageComboBox->setCurrentIndex(KeyIndex(c.CurrentMessageComboBox));
    ui->FirstMinutesEdit->setText(QString::number(c.FirstMinutesEdit));
    ui->Cost1Edit->setText(Shortest(c.Cost1Edit));
    ui->Cost2Edit->setText(Shortest(c.Cost2Edit));
}

// The modems the line layer knows, asked through a telephony object of the dialog's own.
void TSetup::FillModemList() {
    ui->SelectPortBox->clear();
    TTapi tapi(0);
    if (tapi.InitLine() < 0) {
        Prompts().MessageBox(QStringLiteral("Can't Intialize line.\rReason: ") + tapi.LastError,
                             QString(), prompt::MB_OK);
        return;
    }
    for (quint32 device = 0; device < tapi.NumLineDevices; ++device) {
        QString name;
        if (tapi.GetLineName(device, &name) >= 0 && !name.isEmpty())
            ui->SelectPortBox->addItem(name.left(kModemNameWidth));
    }
    const bool any = tapi.NumLineDevices > 0;
    if (!any) {
        ShowManagedMessage(MSG_NO_MODEMS);
        ui->SelectPortBox->addItem(QStringLiteral("No modems installed"));
    }
    for (QWidget* control :
         {static_cast<QWidget*>(ui->SelectPortBox), static_cast<QWidget*>(ui->ModemInfoButton),
          static_cast<QWidget*>(ui->ConnectAtStartupButton)})
        control->setEnabled(any);
}

// A chosen modem that is unplugged stays chosen (the program connects to it by itself once it
// is plugged in again): it is listed as such, and OK keeps it unless another is chosen.
void TSetup::ShowChosenModem(const QString& chosen) {
    int modem = ui->SelectPortBox->findText(chosen, Qt::MatchExactly);
    if (modem < 0 && !chosen.isEmpty()) {
        ui->SelectPortBox->addItem(chosen + QStringLiteral(" (not plugged in)"), chosen);
        ui->SelectPortBox->setEnabled(true);
        modem = ui->SelectPortBox->count() - 1;
    }
    ui->SelectPortBox->setCurrentIndex(modem >= 0 ? modem : 0);
}

QString TSetup::ChosenModem() const {
    const QVariant unplugged = ui->SelectPortBox->currentData();
    if (unplugged.isValid()) return unplugged.toString();
    return ui->ModemInfoButton->isEnabled() ? ui->SelectPortBox->currentText().left(kModemNameWidth)
                                            : QString();
}

QCheckBox* TSetup::HourBox(int hour) const {
    return findChild<QCheckBox*>(QStringLiteral("hourBox%1").arg(hour));
}

void TSetup::ShowDay(int day) {
    m_shownDay = qBound(0, day, 6);
    for (int hour = 0; hour < 24; ++hour)
        HourBox(hour)->setChecked(m_hours[m_shownDay * 24 + hour] != 0);
}

void TSetup::StoreShownDay() {
    for (int hour = 0; hour < 24; ++hour)
        m_hours[m_shownDay * 24 + hour] = HourBox(hour)->isChecked() ? 1 : 0;
}

void TSetup::Wire() {
    connect(ui->OKBtn, &QPushButton::clicked, this, &TSetup::OKBtnClick);
    connect(ui->CancelBtn, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->FlashCaller, &QCheckBox::toggled, this, [this](bool on) {
        ui->FlashTimeLabel->setEnabled(on);
        ui->FlashTime->setEnabled(on);
    });
    connect(ui->DayOfWeek, &QListWidget::currentRowChanged, this, [this](int row) {
        StoreShownDay();
        ShowDay(row < 0 ? 0 : row);  // no selection counts as Sunday
    });
    auto setAll = [this](quint8 value) {
        if (ui->DayOfWeek->currentRow() < 0) return;
        std::fill_n(m_hours + m_shownDay * 24, 24, value);
        ShowDay(m_shownDay);
    };
    connect(ui->SelectAll, &QPushButton::clicked, this, [setAll] { setAll(1); });
    connect(ui->UnselectAll, &QPushButton::clicked, this, [setAll] { setAll(0); });
    connect(ui->PageTip, &QPushButton::clicked, this,
            [] { ShowPlainMessage(MSG_PAGER_NUMBER_TIP); });
    connect(ui->HelpPageDelimit, &QPushButton::clicked, this,
            [] { ShowPlainMessage(MSG_AFTER_NUMBER_TIP); });
    connect(ui->AreaCodeHelp, &QPushButton::clicked, this,
            [] { ShowPlainMessage(MSG_AREA_CODE_TIP); });
    connect(ui->previewFlashButton, &QPushButton::clicked, this, &TSetup::PreviewFlashWindow);
    connect(ui->resetMessagesButton, &QPushButton::clicked, this, &TSetup::ResetMessages);
    connect(ui->ModemInfoButton, &QPushButton::clicked, this, &TSetup::ShowModemInfo);
    WireSipLines();
    connect(ui->BrowseSoundButton, &QPushButton::clicked, this, &TSetup::BrowseRingSound);
    connect(ui->browseDialerButton, &QPushButton::clicked, this, &TSetup::BrowseDialer);
    connect(ui->HelpButton, &QPushButton::clicked, this,
            [this] { THelpWindow::ShowTopic(HelpTopic()); });
    connect(ui->AboutButton, &QPushButton::clicked, this, [this] {
        TAboutDialog about(this);
        RunDialog(about);
    });
    connect(ui->SoundToPlayWhenPhoneRings, &QLineEdit::textChanged, this,
            &TSetup::UpdateRingSoundHint);
    connect(ui->MaxItems, &QLineEdit::editingFinished, this, &TSetup::CheckMaxItems);
    connect(ui->setupPages, &QTabWidget::currentChanged, this, [this](int page) {
        if (page == Security) ui->Password1->setFocus();
        if (page == Greetings) UpdateGreetingButtons();
    });
    ui->SoundToPlayWhenPhoneRings->installEventFilter(this);
}

void TSetup::WireGreetings() {
    connect(ui->GreetingList, &QListWidget::itemSelectionChanged, this,
            &TSetup::UpdateGreetingButtons);
    connect(ui->AddGreetingButton, &QPushButton::clicked, this, &TSetup::AddGreeting);
    connect(ui->NewGreetingButton, &QPushButton::clicked, this, &TSetup::NewGreeting);
    connect(ui->EditGreetingButton, &QPushButton::clicked, this, &TSetup::EditGreetings);
    connect(ui->DeleteGreetingButton, &QPushButton::clicked, this, &TSetup::DeleteGreetings);
    ui->GreetingList->installEventFilter(this);
}

// A history length outside 5..200 is brought into it as soon as the field is left.
// A number outside 5..200 is brought inside; what is no number at all is left for OK to
// refuse, never taken for 5 (which would trim the history to five calls).
void TSetup::CheckMaxItems() {
    bool ok = false;
    const int value = ui->MaxItems->text().trimmed().toInt(&ok);
    if (ok && value < 5)
        ui->MaxItems->setText(QStringLiteral("5"));
    else if (ok && value > 200)
        ui->MaxItems->setText(QStringLiteral("200"));
}

void TSetup::OKBtnClick() {
    if (ui->LocalAreaCodes->text().isEmpty() &&
        ShowManagedMessage(MSG_NO_AREA_CODE, QString(), MSG_OK_CANCEL) == prompt::IDOK) {
        ui->setupPages->setCurrentIndex(Dialing);
        ui->LocalAreaCodes->setFocus();
        return;
    }
    if (ui->Password1->text() != ui->Password2->text()) {
        Prompts().MessageBox(QStringLiteral("Enter the same password in both password fields"),
                             QStringLiteral(" "), prompt::MB_OK);
        ui->setupPages->setCurrentIndex(Security);
        return;
    }
    // Every number is checked before anything is kept: a refused field keeps the dialog open
    // with nothing stored, the greetings list included.
    for (QLineEdit* field : TextFields())
        if (const QString refused = CharactersOutsideLatin1(field->text()); !refused.isEmpty())
            return void(Refuse(field, PageOf(field),
                               QStringLiteral("These characters cannot be used: ") + refused));
    TConfig config = m_working;
    if (!ReadNumbers(config) || !CheckAccessCode()) return;
    if (const QString problem = m_emailPage->Problem(); !problem.isEmpty()) {
        Prompts().MessageBox(problem, QStringLiteral("Ringvale"), prompt::MB_OK);
        ui->setupPages->setCurrentIndex(Email);
        return;
    }
    StoreFields(config);
    StoreShownDay();
    std::copy(std::begin(m_hours), std::end(m_hours), config.PagingHours);
    config.SetupPageIndex = ui->setupPages->currentIndex();
    QStringList greetings;
    for (int row = 0; row < ui->GreetingList->count(); ++row)
        greetings << ui->GreetingList->item(row)->text();
    SaveGreetingList(greetings);
    StoreAnsweringMachine(config);
    StoreDesktopSettings();
    m_emailPage->Store();
    m_working = config;
    if (m_live) *m_live = m_working;
    accept();
}

TSetup::Page TSetup::PageOf(const QWidget* field) const {
    for (int page = 0; page < ui->setupPages->count(); ++page)
        if (ui->setupPages->widget(page)->isAncestorOf(field)) return Page(page);
    return General;
}

bool TSetup::Refuse(QLineEdit* field, Page page, const QString& text) {
    Prompts().MessageBox(text, QStringLiteral("Ringvale"), prompt::MB_OK | prompt::MB_ICONHAND);
    ui->setupPages->setCurrentIndex(page);
    field->setFocus();
    field->selectAll();
    return false;
}

// The access code guards every message from any phone: only keys a phone has, and a short one
// is easy to guess, so the user is told. With none, remote access stays off.
bool TSetup::CheckAccessCode() {
    QLineEdit* field = ui->MessagePasswordEdit;
    const QString code = field->text().trimmed();
    field->setText(code);
    if (!std::all_of(code.begin(), code.end(), [](QChar key) { return kRemoteKeys.contains(key); }))
        return Refuse(field, Security,
                      QStringLiteral("The access code can only hold the digits 0 to 9 and *."));
    if (code.isEmpty() && FirstRun) {
        FirstRun = false;  // asked once
        const int answer = Prompts().MessageBox(
            QStringLiteral("Without an access code your messages cannot be heard from another "
                           "phone.\rDo you want to choose an access code now?"),
            QStringLiteral("Ringvale"), prompt::MB_YESNO | prompt::MB_ICONQUESTION);
        if (answer == prompt::IDYES) {
            ui->setupPages->setCurrentIndex(Security);
            field->setFocus();
            return false;
        }
    }
    if (!code.isEmpty() && code.size() < kSafeAccessCode && code != m_working.MessagePasswordEdit)
        Prompts().MessageBox(
            QStringLiteral("An access code of fewer than %1 digits is easy to guess. Anyone who "
                           "guesses it hears your messages.")
                .arg(kSafeAccessCode),
            QStringLiteral("Ringvale"), prompt::MB_OK | prompt::MB_ICONEXCLAMATION);
    return true;
}

// The numeric fields, each strictly a number and within the range the program can use.
bool TSetup::ReadNumbers(TConfig& config) {
    CheckMaxItems();
    bool ok = false;
    config.MaxItems = ui->MaxItems->text().trimmed().toInt(&ok);
    if (!ok)
        return Refuse(ui->MaxItems, General,
                      QStringLiteral("Keep from 5 to 200 callers in the history list."));
    const QString first = ui->FirstMinutesEdit->text().trimmed();
    config.FirstMinutesEdit = first.toInt(&ok);
    if (!ok)
        return Refuse(ui->FirstMinutesEdit, Dialing,
                      QStringLiteral("'%1' is not a valid integer value").arg(first));
    if (config.FirstMinutesEdit < 0 || config.FirstMinutesEdit > 100000)
        return Refuse(ui->FirstMinutesEdit, Dialing,
                      QStringLiteral("The first minutes must be a number from 0 to 100000."));
    for (auto [field, value] : {std::pair{ui->Cost1Edit, &config.Cost1Edit},
                                std::pair{ui->Cost2Edit, &config.Cost2Edit}}) {
        const QString text = field->text().trimmed();
        *value = text.toDouble(&ok);
        if (!ok || !std::isfinite(*value))
            return Refuse(field, Dialing,
                          QStringLiteral("'%1' is not a valid floating point value").arg(text));
        if (*value < 0 || *value > 1e6)
            return Refuse(field, Dialing,
                          QStringLiteral("A cost per minute must be from 0 to 1000000."));
    }
    const double pageWait = ui->PageWait->currentText().trimmed().toDouble(&ok);
    config.PageWait = ok && std::isfinite(pageWait) ? pageWait : 0;  // no number waits 0
    if (config.PageWait < 0 || config.PageWait > 10080)
        return Refuse(ui->PageWait->lineEdit(), Paging,
                      QStringLiteral("Wait from 0 to 10080 minutes (a week) before paging."));
    config.FlashTime = LeadingInteger(ui->FlashTime->currentText());
    if (config.FlashCaller() && (config.FlashTime < 1 || config.FlashTime > 3600))
        return Refuse(ui->FlashTime->lineEdit(), General,
                      QStringLiteral("Show the flash window from 1 to 3600 seconds."));
    if (config.FlashTime < 1 || config.FlashTime > 3600) config.FlashTime = m_working.FlashTime;
    return true;
}

void TSetup::StoreFields(TConfig& config) {
    config.SoundToPlayWhenPhoneRings = ui->SoundToPlayWhenPhoneRings->text();
    config.Password1 = ui->Password1->text();
    config.InternetLink = ui->InternetLink->text();
    config.SelectPortBox = ChosenModem();
    config.SetPageMode(ui->PageAlways->isChecked()  ? TConfig::PageAlways
                       : ui->PageNever->isChecked() ? TConfig::PageNever
                                                    : TConfig::PageNormal);
    config.PagerNumber = ui->PagerNumber->text();
    config.SetFlashCaller(ui->FlashCaller->isChecked());
    config.SetConnectAtStartupButton(ui->ConnectAtStartupButton->isChecked());
    config.PostPageNumber = ui->PostPageNumber->text();
    config.SetMinimizeToSysTray(ui->MinimizeToSysTray->isChecked());
    config.SetTenDigitDialing(ui->TenDigitDialing->isChecked());
    config.LocalAreaCodes = ui->LocalAreaCodes->text();
    config.LongDistancePrefix = ui->LongDistancePrefix->text();
    config.SetDeleteFromHistory(ui->DeleteFromHistory->isChecked());
    config.SetConnectToInternet(ui->ConnectToInternet->isChecked());
    config.SetDialNumber(ui->DialNumber->isChecked());
    config.SetStopListening(ui->StopListening->isChecked());
    config.SetListenToMessages(ui->ListenToMessages->isChecked());
    config.SetShowHints(ui->ShowHints->isChecked());
    config.SetShowToCallTab(ui->ShowToCallTab->isChecked());
}

void TSetup::StoreAnsweringMachine(TConfig& config) {
    const int rings = ui->RingsToAnswer->currentIndex();
    config.RingsToAnswer = rings <= 0 ? 0 : rings + 1;
    config.MaximumRecordTimeComboBox = qMax(0, ui->MaximumRecordTimeComboBox->currentIndex());
    config.MessagePasswordEdit = ui->MessagePasswordEdit->text();
    config.NextMessageComboBox = KeyAt(ui->NextMessageComboBox->currentIndex());
    config.PreviousMessageComboBox = KeyAt(ui->PreviousMessageComboBox->currentIndex());
    config.CurrentMessageComboBox = KeyAt(ui->CurrentMessageComboBox->currentIndex());
    config.SetAllowRemotePage(ui->AllowRemotePage->isChecked());
    config.SetScreenUnknownCallers(ui->ScreenUnknownCallers->isChecked());
}

// Kept for this user on this desktop, not in the settings file.
void TSetup::StoreDesktopSettings() {
    SetDesktopNotifications(ui->desktopNotifications->isChecked());
    const bool atLogin = ui->startAtLogin->isChecked();
    QString error;
    if (atLogin != TAutostart::IsEnabled() &&
        !TAutostart::SetEnabled(atLogin, QCoreApplication::applicationFilePath(),
                                TProfile::Folder(), &error))
        Prompts().MessageBox(QStringLiteral("Can't change starting at login\rReason: ") + error,
                             QStringLiteral(" "), prompt::MB_OK);
}

void TSetup::UpdateRingSoundHint() {
    const bool exists = SoundExists(ui->SoundToPlayWhenPhoneRings->text());
    ui->SoundToPlayWhenPhoneRings->setToolTip(exists ? QStringLiteral("Double click to play")
                                                     : QString());
}

void TSetup::BrowseRingSound() {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Ring sound");
    request.Filter = QStringLiteral("Sound Files (*.wav)|*.wav");
    request.DefaultExt = QStringLiteral("wav");
    request.InitialFolder = TProfile::Path(QStringLiteral("Personal Sounds"));
    const QString current = ui->SoundToPlayWhenPhoneRings->text();
    request.FileName = current.isEmpty() ? QStringLiteral("ring.wav") : FileNamePart(current);
    const QString chosen = Prompts().OpenFileName(request);
    const QString folder = QStringLiteral("Personal Sounds");
    QString name;
    if (!chosen.isEmpty() && TSoundImport::ImportOrSay(chosen, TProfile::Path(folder), &name))
        ui->SoundToPlayWhenPhoneRings->setText(folder + QLatin1Char('/') + name);
}

void TSetup::BrowseDialer() {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Get Internet Connection");
    request.Filter = QStringLiteral("Programs (*)|*|Desktop entries (*.desktop)|*.desktop");
    request.FileMustExist = true;
    const QString chosen = Prompts().OpenFileName(request);
    if (!chosen.isEmpty() && StorableText(chosen, QStringLiteral("The program's path")))
        ui->InternetLink->setText(chosen);
}

void TSetup::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TSetup::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!urls.isEmpty() && urls.first().isLocalFile() &&
        StorableText(urls.first().toLocalFile(), QStringLiteral("The program's path")))
        ui->InternetLink->setText(urls.first().toLocalFile());
}

void TSetup::PreviewFlashWindow() {
    TShowCallerIDForm flash(this);
    flash.SetText(QStringLiteral("Ringvale\r404-555-0123"));
    flash.CloseTime = TClock::Now() + LeadingInteger(ui->FlashTime->currentText());
    flash.ShowCaller();
    RunDialog(flash);
}

void TSetup::ResetMessages() {
    if (ShowManagedMessage(MSG_ABOUT_MESSAGES, QString(), MSG_OK_CANCEL) == prompt::IDOK)
        TMessageStore::Reset();
}

void TSetup::ShowModemInfo() {
    TModemInfoForm info(this);
    info.SetModem(ChosenModem());
    RunDialog(info);
}

void TSetup::WireSipLines() {
    connect(ui->addSipAccountButton, &QPushButton::clicked, this,
            [this] { EditSipAccount(QString()); });
    connect(ui->editSipAccountButton, &QPushButton::clicked, this,
            [this] { EditSipAccount(ChosenModem()); });
    connect(ui->SelectPortBox, &QComboBox::currentIndexChanged, this, &TSetup::UpdateSipButtons);
    connect(ui->listenDirectBox, &QCheckBox::clicked, this, &TSetup::ListenDirectly);
    connect(ui->directPort, &QSpinBox::editingFinished, this, [this] {
        if (ui->listenDirectBox->isChecked()) ListenDirectly(true);
    });
}

// Adds a SIP account (lineName empty) or edits the one lines.conf names so; the line saved is
// listed and chosen.
void TSetup::EditSipAccount(const QString& lineName) {
    TSipAccountForm form(this);
    TSipAddress address;
    if (!lineName.isEmpty() && TSipAddress::Parse(LinesConfEntry(lineName).Path, &address))
        form.SetAccount(lineName, address);
    if (RunDialog(form) != QDialog::Accepted) return;
    FillModemList();
    ShowChosenModem(form.LineName());
}

void TSetup::ShowDirectLine() {
    TSipAddress address;
    const bool listening = TSipAddress::Parse(LinesConfEntry(kDirectLine).Path, &address);
    ui->listenDirectBox->setChecked(listening);
    if (listening) ui->directPort->setValue(address.Port);
    UpdateSipButtons();
}

// An adapter or a PBX that sends its calls straight to this computer: the line listening for
// them on every address of the computer is written into lines.conf (or taken out) at once, and
// chosen.
void TSetup::ListenDirectly(bool listen) {
    TSipAddress address;
    address.User = "ringvale";
    address.Host = "0.0.0.0";
    address.Port = ui->directPort->value();
    QString error;
    if (!WriteLinesConfEntry(LinesConfPath(), QString(),
                             {kDirectLine, listen ? address.Text() : QString()}, &error)) {
        Prompts().MessageBox(QStringLiteral("Can't save the line in ") + LinesConfPath() +
                                 QStringLiteral("\rReason: ") + error,
                             QString(), prompt::MB_OK);
        return ShowDirectLine();
    }
    const QString chosen = ChosenModem();
    FillModemList();
    ShowChosenModem(listen ? kDirectLine : chosen == kDirectLine ? QString() : chosen);
    UpdateSipButtons();
}

// Only an account is edited in the account dialog; the direct line has its port here.
void TSetup::UpdateSipButtons() {
    const QString chosen = ChosenModem();
    ui->editSipAccountButton->setEnabled(chosen != kDirectLine &&
                                         IsSipLine(LinesConfEntry(chosen)));
    ui->directPort->setEnabled(ui->listenDirectBox->isChecked());
}

QString TSetup::HelpTopic() const {
    static const char* const topics[] = {"General_Setup",  "Paging_Setup", "Dialing_Setup",
                                         "Security_Setup", "AOL_Users",    "Greeting_Setup",
                                         "Email_Setup"};
    const int page = ui->setupPages->currentIndex();
    return page >= 0 && page < 7 ? QLatin1String(topics[page]) : QStringLiteral("Contents");
}

void TSetup::UpdateGreetingButtons() {
    const bool selected = !ui->GreetingList->selectedItems().isEmpty();
    ui->DeleteGreetingButton->setEnabled(selected);
    ui->EditGreetingButton->setEnabled(selected);
}

void TSetup::AddGreeting() {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Greetings");
    request.Filter = QStringLiteral("Sound Files (*.wav)|*.wav");
    request.InitialFolder = GreetingsFolder();
    request.FileName = QStringLiteral("New Greeting");
    const QString chosen = Prompts().OpenFileName(request);
    QString name;
    if (chosen.isEmpty() || !TSoundImport::ImportOrSay(chosen, GreetingsFolder(), &name)) return;
    if (ui->GreetingList->findItems(name, Qt::MatchExactly).isEmpty())
        ui->GreetingList->addItem(name);
}

// A new greeting gets the first free name "Default Greeting.wav", "Default Greeting1.wav"...
void TSetup::NewGreeting() {
    QString proposed;
    TFile files;
    if (!files.MakeUniqueName(QStringLiteral("Default Greeting"), QStringLiteral("wav"),
                              GreetingsFolder(), &proposed))
        return;
    TFileDialogRequest request;
    request.Title = QStringLiteral("Greetings");
    request.Filter = QStringLiteral("Sound Files (*.wav)|*.wav");
    request.InitialFolder = GreetingsFolder();
    request.FileName = proposed;
    const QString chosen = Prompts().SaveFileName(request);
    if (chosen.isEmpty()) return;
    // A greeting is always kept in the greetings folder, whatever folder was browsed to.
    const QString name = FileNamePart(chosen);
    TRecordWaveForm recorder(this);
    recorder.SetRecordFile(GreetingsFolder() + QLatin1Char('/') + name);
    if (RunDialog(recorder) != QDialog::Accepted) return;
    if (QFileInfo(GreetingsFolder() + QLatin1Char('/') + name).isFile())
        ui->GreetingList->addItem(name);
    else
        Prompts().MessageBox(QStringLiteral("Nothing was recorded, so no greeting was added."),
                             QStringLiteral("Ringvale"), prompt::MB_OK);
}

void TSetup::EditGreetings() {
    for (int row = 0; row < ui->GreetingList->count(); ++row) {
        if (!ui->GreetingList->item(row)->isSelected()) continue;
        TRecordWaveForm recorder(this);
        recorder.SetRecordFile(GreetingsFolder() + QLatin1Char('/') +
                               FileNamePart(ui->GreetingList->item(row)->text()));
        RunDialog(recorder);
    }
}

void TSetup::DeleteGreetings() {
    qDeleteAll(ui->GreetingList->selectedItems());  // the wave files stay on disk
    UpdateGreetingButtons();
}

bool TSetup::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->GreetingList && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        DeleteGreetings();
        return true;
    }
    if (watched == ui->SoundToPlayWhenPhoneRings && event->type() == QEvent::MouseButtonDblClick &&
        SoundExists(ui->SoundToPlayWhenPhoneRings->text())) {
        PlaySoundAsync(SoundPath(ui->SoundToPlayWhenPhoneRings->text()));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
