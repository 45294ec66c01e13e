#include "calls/prmessageform.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/records.h"
#include "platform/tfile.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/message.h"
#include "store/phonebook.h"
#include "telephony/ttapi.h"
#include "ui_prmessageform.h"

namespace {
constexpr int kSetUpMs = 100;
constexpr int kFailurePauseMs = 2000;
}  // namespace

QString TPRMessageForm::IndexFile() {
    return TProfile::Path(QStringLiteral("msg.ndx"));
}

TPRMessageForm::TPRMessageForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TPRMessageForm>()), m_wave(&m_callbacks) {
    ui->setupUi(this);
    m_setUpTimer.setSingleShot(true);
    connect(&m_setUpTimer, &QTimer::timeout, this, &TPRMessageForm::PlayCurrent);
    m_failurePause.setSingleShot(true);
    m_failurePause.setInterval(kFailurePauseMs);
    connect(&m_failurePause, &QTimer::timeout, this, &TPRMessageForm::OnWaveOutClose);
    connect(ui->StopButton, &QPushButton::clicked, this, &TPRMessageForm::StopButtonClick);
}

TPRMessageForm::~TPRMessageForm() {
    m_wave.Clear();
}

QString TPRMessageForm::Status() const {
    return ui->StatusLabel->text();
}

void TPRMessageForm::SetStatus(const QString& text) {
    ui->StatusLabel->setText(text);
}

void TPRMessageForm::ResolveGreeting(QString& greetingPath) {
    // "Greetings/" alone (an empty list) names the folder, not a greeting.
    if (!QFileInfo(TProfile::Path(greetingPath)).isFile())
        greetingPath = QStringLiteral("Greetings/Default Greeting 1.wav");
}

void TPRMessageForm::PlayGreeting(TTapi& line, QString& greetingPath) {
    line.GetWaveId(QStringLiteral("wave/out"));
    if (line.WaveId == 0 || greetingPath.isEmpty()) return;  // silence until the caller hangs up
    OutDevice = line.WaveId;
    InDevice = 0;
    ResolveGreeting(greetingPath);
    CurrentFile = greetingPath;
    MessageFile = QStringLiteral("0");
    RecordSeconds = 0;
    FormShow();
}

bool TPRMessageForm::TakeMessage(TTapi& line, QString& greetingPath, CallLogRecord* record,
                                 TPhoneBook& phoneBook, const TConfig& config) {
    line.GetWaveId(QStringLiteral("wave/out"));
    const quint32 out = line.WaveId;
    line.GetWaveId(QStringLiteral("wave/in"));
    const quint32 in = line.WaveId;
    if (out == 0 || in == 0) {
        if (SetMainStatus)
            SetMainStatus(QStringLiteral("Can't take message modem does not support sound"));
        ShowManagedMessage(207);
        return false;
    }
    const QString name =
        QStringLiteral("msg") + QString::number(TClock::Now()) + QStringLiteral(".wav");
    if (record) record->MessageFile = name;
    if (config.MaximumRecordTimeComboBox != 0) {
        InDevice = in;
        RecordSeconds = config.MaximumRecordTimeComboBox * 15;
        MessageFile = QStringLiteral("Messages/") + name;
    } else {
        InDevice = 0;
        RecordSeconds = 0;
        MessageFile = QStringLiteral("0");
    }
    OutDevice = out;
    ResolveGreeting(greetingPath);
    CurrentFile = greetingPath;
    BeepFile = QStringLiteral("System Sounds/beep.wav");
    CallerName = record ? record->Name : QString();
    CallerNumber = record ? record->Number : QString();
    if (record) phoneBook.CallerDisplayName(record->Number, record->Name, &CallerName);
    if (SetMainStatus) SetMainStatus(QStringLiteral("Taking Message"));
    FormShow();
    return true;
}

void TPRMessageForm::FormShow() {
    m_failurePause.stop();  // a pause left from the run before is not this run's
    m_recording = false;
    RecordPending = true;
    StopRequested = false;
    ui->StopButton->setEnabled(true);
    SetStatus(QStringLiteral("Setting up"));
    ui->NameLabel->setText(CallerName);
    ui->NumberLabel->setText(CallerNumber);
    IndexRecord = QByteArray(kIndexRecordSize, '\0');
    TRecordWriter w(IndexRecord);
    w.Text(0, 32, CallerName);
    w.Text(32, 64, CallerNumber);
    w.Text(96, 260, CurrentFile);
    w.Text(356, 272, MessageFile);
    show();
    m_setUpTimer.start(kSetUpMs);
}

void TPRMessageForm::PlayCurrent() {
    m_callbacks.OnWaveOutOpen = [this] { OnWaveOutOpen(); };
    m_callbacks.OnWaveOutDone = [this] { OnWaveOutDone(); };
    m_callbacks.OnWaveOutClose = [this] { OnWaveOutClose(); };
    m_callbacks.OnWaveInOpen = [this] { OnWaveInOpen(); };
    m_callbacks.OnWaveInData = [this] { OnWaveInData(); };
    m_callbacks.OnWaveInClose = [this] { OnWaveInClose(); };
    if (!m_wave.Load(TProfile::Path(CurrentFile))) {
        SetStatus(QStringLiteral("Can't play beep"));
    } else if (m_wave.Play(int(OutDevice), false)) {
        return;
    } else {
        SetStatus(QStringLiteral("Can't play greeting"));
    }
    // A pause in place of the sound, without holding up the program, then on as if it played.
    m_failurePause.start();
}

void TPRMessageForm::OnWaveOutOpen() {
    if (IsBeep()) return;
    if (InDevice) {
        ui->FileStatus->setText(QStringLiteral("Greeting:"));
        ui->WaveFileLabel->setText(CurrentFile);
        SetStatus(QStringLiteral("Playing Greeting"));
    } else {
        SetStatus(QStringLiteral("Being an ass"));
    }
}

void TPRMessageForm::OnWaveOutDone() {
    if (!InDevice)
        SetStatus(QStringLiteral("Done playing greeting only"));
    else if (!IsBeep())
        SetStatus(QStringLiteral("Done Playing Greeting"));
}

void TPRMessageForm::OnWaveOutClose() {
    if (StopRequested) return;
    if (IsBeep()) {
        if (RecordPending) {
            if (RecordSeconds <= 0) RecordSeconds = 5;
            m_recording = m_wave.Record(int(InDevice), RecordSeconds);
            if (!m_recording) {
                SetStatus(QStringLiteral("Can't open device for recording"));
                if (Completion) Completion(2);
            }
        } else if (Completion) {
            Completion(1);
        }
        return;
    }
    if (!InDevice) {
        if (Completion) Completion(2);
        hide();
        return;
    }
    SetStatus(QStringLiteral("Done playing greeting"));
    CurrentFile = BeepFile;
    PlayCurrent();
}

void TPRMessageForm::OnWaveInOpen() {
    ui->FileStatus->setText(QStringLiteral("Recording:"));
    ui->WaveFileLabel->setText(MessageFile);
    SetStatus(QStringLiteral("Recording Message"));
}

void TPRMessageForm::OnWaveInData() {
    SetStatus(QStringLiteral("Recording"));
}

void TPRMessageForm::OnWaveInClose() {
    m_recording = false;
    if (StopRequested) return;
    AppendIndex();
    SetStatus(QStringLiteral("Done Recording Message"));
    const QString saved = SaveMessage();
    if (MessageSaved) MessageSaved(saved);
    RecordPending = false;
    CurrentFile = BeepFile;
    PlayCurrent();
}

// The message goes to "Messages"; when it cannot be written there (the folder is a file, the
// disk is full) the caller's words are kept in the data folder and the call claims none.
QString TPRMessageForm::SaveMessage() {
    if (m_wave.Save(TProfile::Path(MessageFile))) return FileNamePart(MessageFile);
    const QString fallback = TProfile::Path(FileNamePart(MessageFile));
    const bool kept = m_wave.Save(fallback);
    const QString status = QStringLiteral("Can't save message in Messages") +
                           (kept ? QStringLiteral(", kept as ") + fallback : QString());
    qWarning().noquote() << status;
    SetStatus(status);
    if (SetMainStatus) SetMainStatus(status);
    return {};
}

void TPRMessageForm::AppendIndex() {
    TFile file;
    if (file.Open(IndexFile(), TFile::ModeWrite) < 0 || file.SeekEnd() < 0) return;
    file.Write(IndexRecord.constData(), IndexRecord.size());
}

void TPRMessageForm::CallerGone() {
    if (!isVisible() || StopRequested) return;
    if (m_recording) {
        hide();
        return;
    }
    StopButtonClick();
}

void TPRMessageForm::StopButtonClick() {
    StopRequested = true;
    m_failurePause.stop();
    ui->StopButton->setEnabled(false);
    m_wave.Stop();
    if (Completion) Completion(2);
    hide();
}
