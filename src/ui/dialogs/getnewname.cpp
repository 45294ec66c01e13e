#include "ui/dialogs/getnewname.h"

#include <QCompleter>
#include <QFileInfo>
#include <QKeyEvent>

#include "audio/soundimport.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/prompts.h"
#include "platform/tfile.h"
#include "platform/wave/sounds.h"
#include "store/message.h"
#include "ui/dialogs/helpwindow.h"
#include "ui/dialogs/latin1text.h"
#include "ui/dialogs/recordwaveform.h"
#include "ui/dialogs/showcalleridform.h"
#include "ui_getnewname.h"

namespace {
const QString kSoundsFolder = QStringLiteral("Personal Sounds");
const QString kGreetingsFolder = QStringLiteral("Greetings");
constexpr int kFlashTestSeconds = 10;

// What caller ID shows in a number, and the wildcards of a pattern ("800*", "404555????").
bool NumberCharacter(QChar c) {
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('(') ||
           c == QLatin1Char(')') || c == QLatin1Char('-') || c == QLatin1Char('*') ||
           c == QLatin1Char('?');
}

bool Blank(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() > 32) return false;
    return true;
}

// The file name's text after its last '.' becomes "wav"; a name with no '.' gets ".wav". The
// folders above it keep their dots ("~/.local/share/Ringvale").
QString ForceWavExtension(const QString& path) {
    const qsizetype name = path.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return dot <= name ? path + QStringLiteral(".wav") : path.left(dot + 1) + QStringLiteral("wav");
}

}  // namespace

TGetNewName::TGetNewName(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TGetNewName>()) {
    ui->setupUi(this);
    for (QLineEdit* field : {ui->Name, ui->RealName, ui->SoundFile, ui->PersonalGreeting})
        KeepLatin1(field);
    connect(ui->KeyNumber, &QRadioButton::toggled, this, &TGetNewName::KeyChanged);
    connect(ui->Number, &QLineEdit::textEdited, this, &TGetNewName::NumberEdited);
    ui->Number->setCompleter(new QCompleter(CallerCategories(), ui->Number));
    ui->Number->completer()->setCaseSensitivity(Qt::CaseInsensitive);
    connect(ui->Number, &QLineEdit::textChanged, this,
            [this](const QString& number) { ui->numberMeaning->setText(NumberMeaning(number)); });
    connect(ui->SoundFile, &QLineEdit::textChanged, this, &TGetNewName::RefreshEntryButtons);
    connect(ui->PersonalGreeting, &QLineEdit::textChanged, this, &TGetNewName::RefreshEntryButtons);
    connect(ui->NewButton, &QPushButton::clicked, this,
            [this] { RecordInto(ui->SoundFile, kSoundsFolder); });
    connect(ui->EditPersonalGreeting, &QPushButton::clicked, this,
            [this] { RecordInto(ui->PersonalGreeting, kGreetingsFolder); });
    connect(ui->BrowseButton, &QPushButton::clicked, this,
            [this] { Browse(ui->SoundFile, kSoundsFolder, QStringLiteral("Notify sound")); });
    connect(ui->BrowsePersonalGreetings, &QPushButton::clicked, this, [this] {
        Browse(ui->PersonalGreeting, kGreetingsFolder, QStringLiteral("Personal greeting"));
    });
    connect(ui->RestTimesCalled, &QPushButton::clicked, this,
            [this] { ui->TimesCalled->setText(QStringLiteral("0")); });
    connect(ui->FlashTestButton, &QPushButton::clicked, this, &TGetNewName::FlashTest);
    connect(ui->OKButton, &QPushButton::clicked, this, &TGetNewName::OKButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->HelpButton, &QPushButton::clicked, this,
            [] { THelpWindow::ShowTopic(QStringLiteral("Phone_book_entry")); });
    ui->SoundFile->installEventFilter(this);
    ui->PersonalGreeting->installEventFilter(this);
}

TGetNewName::~TGetNewName() = default;

void TGetNewName::SetEntry(const PhoneBookEntry& entry, bool editing) {
    m_entry = entry;
    (entry.KeyType == KeyName ? ui->KeyName : ui->KeyNumber)->setChecked(true);
    KeyChanged();
    ui->Name->setText(entry.DisplayName.left(kNameLength));
    ui->Number->setText(entry.Number.left(kNameLength));
    ui->PersonalGreeting->setText(FileNamePart(entry.PersonalGreeting).left(kFileLength));
    ui->SoundFile->setText(FileNamePart(entry.SoundFile).left(kFileLength));
    ui->RealName->setText(entry.RealName.left(kNameLength));
    ui->PagemeButton->setChecked(entry.ActionFlags & ActionPageMe);
    const bool hangUp = entry.ActionFlags & ActionHangUp;
    (!hangUp                                      ? ui->TakeMessageButton
     : entry.ActionFlags & ActionDisconnectedTone ? ui->DisconnectedToneButton
                                                  : ui->HangupButton)
        ->setChecked(true);
    ui->TimesCalled->setText(QString::number(entry.TimesCalled));
    RefreshEntryButtons();
    if (editing) {
        setWindowTitle(QStringLiteral("Editing ") + entry.DisplayName);
        ui->Name->setFocus();
    } else {
        setWindowTitle(QStringLiteral("Adding %1 to the phonebook").arg(entry.DisplayName));
        (entry.KeyType == KeyName ? ui->RealName : ui->Number)->setFocus();
    }
}

void TGetNewName::RefreshEntryButtons() {
    const bool sound = !ui->SoundFile->text().isEmpty();
    ui->SoundFile->setToolTip(sound ? QStringLiteral("Double click to play") : QString());
    ui->NewButton->setText(sound ? QStringLiteral("Edit") : QStringLiteral("Create"));
    ui->NewButton->setToolTip(sound ? QStringLiteral("Edit or play this sound.")
                                    : QStringLiteral("Create sound."));
    const bool greeting = !ui->PersonalGreeting->text().isEmpty();
    ui->PersonalGreeting->setToolTip(greeting ? QStringLiteral("Double click to play") : QString());
    ui->EditPersonalGreeting->setText(greeting ? QStringLiteral("Edit") : QStringLiteral("Create"));
    ui->EditPersonalGreeting->setToolTip(greeting ? QStringLiteral("Edit or play this greeting.")
                                                  : QStringLiteral("Create a personal greeting."));
    ui->HangupButton->setText(greeting ? QStringLiteral("Play greeting then hang up.")
                                       : QStringLiteral("Hang up."));
}

void TGetNewName::KeyChanged() {
    const bool byNumber = ui->KeyNumber->isChecked();
    ui->Number->setEnabled(byNumber);
    ui->RealName->setEnabled(!byNumber);
}

// Only what caller ID shows in a number, wildcards, or a kind of caller ("Private") may be
// typed: the text is cut at anything else.
void TGetNewName::NumberEdited(const QString& text) {
    for (const QString& category : CallerCategories())  // "Private", typed or being typed
        if (!text.isEmpty() && category.startsWith(text, Qt::CaseInsensitive)) return;
    qsizetype at = 0;
    while (at < text.size() && NumberCharacter(text[at]))
        ++at;
    if (at == text.size()) return;
    ui->Number->setText(text.left(at));
    ui->Number->setCursorPosition(int(at));
    Prompts().Beep();
}

// Records the field's sound (or a new one named after the caller) in its folder.
void TGetNewName::RecordInto(QLineEdit* field, const QString& folder) {
    QString path;
    if (!field->text().isEmpty()) {
        path = TProfile::Path(folder + QLatin1Char('/') + FileNamePart(field->text()));
    } else {
        const QString base =
            ui->Name->text().isEmpty() ? QStringLiteral("Sound") : FileNamePart(ui->Name->text());
        TFile files;
        if (!files.MakeUniqueName(base, QStringLiteral("wav"), TProfile::Path(folder), &path))
            return;  // no folder to record into
    }
    path = ForceWavExtension(path);
    TRecordWaveForm recorder(this);
    recorder.SetRecordFile(path);
    // Nothing recorded (no microphone) names no sound.
    if (RunDialog(recorder) == QDialog::Accepted && QFileInfo(path).isFile())
        field->setText(FileNamePart(path));
}

void TGetNewName::Browse(QLineEdit* field, const QString& folder, const QString& title) {
    TFileDialogRequest request;
    request.Title = title;
    request.Filter = QStringLiteral("Sound files (*.wav)|*.wav;*.WAV");
    request.InitialFolder = TProfile::Path(folder);
    const QString chosen = Prompts().OpenFileName(request);
    QString name;
    if (!chosen.isEmpty() && TSoundImport::ImportOrSay(chosen, TProfile::Path(folder), &name))
        field->setText(name.left(kFileLength));
    RefreshEntryButtons();
}

void TGetNewName::FlashTest() {
    TShowCallerIDForm flash(this);
    flash.SetText(ui->Name->text() + QLatin1Char('\r') + ui->Number->text());
    flash.CloseTime = TClock::Now() + kFlashTestSeconds;
    flash.ShowCaller();
    RunDialog(flash);
}

// A sound is played from its own folder, where the caller's treatment will look for it.
void TGetNewName::Play(const QLineEdit* field, const QString& folder) {
    if (field->text().isEmpty()) return;
    if (!PlaySoundAsync(TProfile::Path(folder + QLatin1Char('/') + field->text())))
        Prompts().MessageBox(QStringLiteral("Can't play \"%1\"").arg(field->text()),
                             QStringLiteral(" "), prompt::MB_OK);
}

bool TGetNewName::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick) {
        if (watched == ui->SoundFile) Play(ui->SoundFile, kSoundsFolder);
        if (watched == ui->PersonalGreeting) Play(ui->PersonalGreeting, kGreetingsFolder);
    }
    return QDialog::eventFilter(watched, event);
}

void TGetNewName::OKButtonClick() {
    bool counted = false;
    const qint32 timesCalled = ui->TimesCalled->text().trimmed().toInt(&counted);
    if (!counted) {
        Prompts().MessageBox(
            QStringLiteral("'%1' is not a valid integer value").arg(ui->TimesCalled->text()),
            QStringLiteral("Ringvale"), prompt::MB_OK | prompt::MB_ICONHAND);
        ui->TimesCalled->setFocus();
        return;
    }
    PhoneBookEntry entry = m_entry;
    entry.DisplayName = ui->Name->text();
    entry.Number = ui->Number->text();
    entry.SoundFile = ui->SoundFile->text();
    entry.PersonalGreeting = ui->PersonalGreeting->text();
    entry.RealName = ui->RealName->text();
    if (ui->KeyNumber->isChecked()) {
        if (Blank(entry.Number)) {
            Prompts().MessageBox(QStringLiteral("You must enter a NUMBER to identify this caller"),
                                 QStringLiteral(" "), prompt::MB_OK);
            ui->Number->setFocus();
            return;
        }
        entry.KeyType = KeyNumber;
    } else {
        if (Blank(entry.RealName)) {
            Prompts().MessageBox(QStringLiteral("You must enter the NAME to identify this caller"),
                                 QStringLiteral(" "), prompt::MB_OK);
            ui->RealName->setFocus();
            return;
        }
        entry.KeyType = KeyName;
        ShowManagedMessage(MSG_KEYED_BY_NAME);
    }
    entry.ActionFlags =
        (ui->HangupButton->isChecked() ? ActionHangUp : 0u) |
        (ui->DisconnectedToneButton->isChecked() ? quint32(ActionHangUp | ActionDisconnectedTone)
                                                 : 0u) |
        (ui->PagemeButton->isChecked() ? ActionPageMe : 0u);
    entry.TimesCalled = timesCalled;
    m_entry = entry;
    accept();
}
