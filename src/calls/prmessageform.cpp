#include "calls/prmessageform.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/records.h"
#include "platform/tfile.h"
#include "platform/wave/wave.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/message.h"
#include "store/phonebook.h"
#include "telephony/ttapi.h"
#include "ui_prmessageform.h"

namespace {
constexpr int kSetUpMs = 100;
constexpr int kFailurePauseMs = 2000;
constexpr int kFlushMs = 1000;
}  // namespace

int TPRMessageForm::TransferMarginMs = 10000;

QString TPRMessageForm::IndexFile() {
    return TProfile::Path(QStringLiteral("msg.ndx"));
}

TPRMessageForm::TPRMessageForm(TAnsweringListener& listener, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::TPRMessageForm>()),
      m_listener(&listener),
      m_wave(&m_callbacks) {
    ui->setupUi(this);
    m_setUpTimer.setSingleShot(true);
    connect(&m_setUpTimer, &QTimer::timeout, this, &TPRMessageForm::PlayCurrent);
    m_failurePause.setSingleShot(true);
    m_failurePause.setInterval(kFailurePauseMs);
    connect(&m_failurePause, &QTimer::timeout, this, &TPRMessageForm::OnWaveOutClose);
    m_flushTimer.setInterval(kFlushMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &TPRMessageForm::WriteRecorded);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &TPRMessageForm::OnDeadline);
    connect(ui->StopButton, &QPushButton::clicked, this, &TPRMessageForm::StopButtonClick);
}

// Those who hear the run may be gone already: the recording is kept on disk, nobody is told.
TPRMessageForm::~TPRMessageForm() {
    m_listener = nullptr;
    EndRun();
    m_wave.Clear();
}

QString TPRMessageForm::Status() const {
    return ui->StatusLabel->text();
}

void TPRMessageForm::SetStatus(const QString& text) {
    ui->StatusLabel->setText(text);
}

void TPRMessageForm::TellMainStatus(const QString& text) {
    if (m_listener) m_listener->MainStatus(text);
}

void TPRMessageForm::SaidSaved(const QString& name) {
    if (m_listener) m_listener->MessageSaved(name);
}

// Only a file of the data folder's own sound folders is played to a caller: a link there that
// leads elsewhere (to another caller's message, say) is not.
bool TPRMessageForm::Playable(const QString& file) {
    const QString path = TProfile::Path(file);
    return QFileInfo(path).isFile() && !LeadsOutside(path);
}

void TPRMessageForm::ResolveGreeting(QString& greetingPath) {
    // "Greetings/" alone (an empty list) names the folder, not a greeting.
    if (!Playable(greetingPath)) greetingPath = QStringLiteral("Greetings/Default Greeting 1.wav");
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
        TellMainStatus(QStringLiteral("Can't take message modem does not support sound"));
        ShowManagedMessage(MSG_NO_VOICE);
        return false;
    }
    // The call names its message once the file is there, not before.
    m_stamp = TClock::Now();
    if (config.MaximumRecordTimeComboBox != 0) {
        InDevice = in;
        RecordSeconds = config.MaximumRecordTimeComboBox * 15;
        MessageFile = QStringLiteral("Messages/msg%1.wav").arg(m_stamp);
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
    TellMainStatus(QStringLiteral("Taking Message"));
    FormShow();
    return true;
}

void TPRMessageForm::FormShow() {
    EndRun();               // what is left of the run before is not this run's
    m_failurePause.stop();  // a pause left from the run before is not this run's
    m_running = true;
    m_recording = false;
    m_callerGone = false;
    RecordPending = true;
    StopRequested = false;
    ui->StopButton->setEnabled(true);
    SetStatus(QStringLiteral("Setting up"));
    ui->NameLabel->setText(CallerName);
    ui->NumberLabel->setText(CallerNumber);
    m_greetingPlayed = CurrentFile;
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
    if (!Playable(CurrentFile) || !m_wave.Load(TProfile::Path(CurrentFile))) {
        SetStatus(QStringLiteral("Can't play beep"));
    } else if (m_wave.Play(int(OutDevice), false)) {
        WAVEFORMATEX format;
        WAVEFORMATEX::FromBlock(m_wave.Format(), &format);
        StartDeadline(format.nAvgBytesPerSec
                          ? qint64(m_wave.Data().size()) * 1000 / format.nAvgBytesPerSec
                          : 0);
        return;
    } else {
        SetStatus(QStringLiteral("Can't play greeting"));
    }
    // A pause in place of the sound, without holding up the program, then on as if it played.
    m_failurePause.start();
}

void TPRMessageForm::StartDeadline(qint64 lengthMs) {
    m_deadline.start(int(qMin<qint64>(lengthMs + TransferMarginMs, 24 * 3600 * 1000)));
}

// A sound or the recording that has not ended long after it should have: the modem has
// stopped (a reset, a glitch). What the caller said is kept, and the call ends, which sets
// the modem up again for the next caller.
void TPRMessageForm::OnDeadline() {
    if (!m_running || StopRequested) return;
    qWarning().noquote() << "The modem did not end a voice transfer in time: ending the call";
    const bool recording = m_recording;
    EndRun();
    Complete(recording && m_message.DataSize() > 0 ? 1 : 2);
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
    m_deadline.stop();
    if (StopRequested || !m_running) return;
    if (IsBeep()) {
        if (RecordPending)
            StartRecording();
        else
            Complete(1);
        return;
    }
    if (!InDevice) {
        Complete(2);
        hide();
        return;
    }
    SetStatus(QStringLiteral("Done playing greeting"));
    CurrentFile = BeepFile;
    PlayCurrent();
}

void TPRMessageForm::StartRecording() {
    if (RecordSeconds <= 0) RecordSeconds = 5;
    m_recording = m_wave.Record(int(InDevice), RecordSeconds);
    if (!m_recording) {
        SetStatus(QStringLiteral("Can't open device for recording"));
        Complete(2);
        return;
    }
    OpenMessageFile();
    m_flushTimer.start();
    StartDeadline(qint64(RecordSeconds) * 1000);
}

// The message is made in "Messages" (made again when it is missing); the call names it with
// the first second of audio, so that it never names a file that a start-up after a kill would
// find empty and remove. Where that cannot be, the caller's words are kept in the data folder
// and the user is told; the call then claims none.
void TPRMessageForm::OpenMessageFile() {
    m_written = 0;
    const QByteArray format = CtWave::RecordingFormat();
    QString problem;
    m_messageInMessages = TCallLog::PrepareMessagesFolder(&problem) &&
                          m_message.Create(TCallLog::MessagesFolder(), m_stamp, format);
    if (m_messageInMessages) {
        MessageFile = QStringLiteral("Messages/") + m_message.Name();
        return;
    }
    if (problem.isEmpty()) problem = m_message.ErrorText();
    const bool kept = m_message.Create(TProfile::Folder(), m_stamp, format);
    const QString status = QStringLiteral("Can't save message in Messages (") + problem +
                           QLatin1Char(')') +
                           (kept ? QStringLiteral(", kept as ") + m_message.Path()
                                 : QStringLiteral(": ") + m_message.ErrorText());
    qWarning().noquote() << status;
    SetStatus(status);
    TellMainStatus(status);
    SaidSaved(QString());
}

// What the modem has delivered since the last look goes to the disk. A disk that fills up is
// said once; what fit is kept.
void TPRMessageForm::WriteRecorded() {
    if (!m_message.IsOpen()) return;
    const qint64 recorded = m_recording ? m_wave.RecordingPosition() : m_wave.RecordedSize();
    if (recorded <= m_written) return;
    const bool first = m_message.DataSize() == 0, failedBefore = m_message.Failed();
    m_message.Append(m_wave.Data().mid(m_written, recorded - m_written));
    m_written = recorded;
    if (first && m_recording && m_message.DataSize() > 0 && m_messageInMessages)
        SaidSaved(m_message.Name());
    if (failedBefore || !m_message.Failed()) return;
    const QString status = QStringLiteral("Can't save all of the message (") +
                           m_message.ErrorText() +
                           QStringLiteral("): the first %1 seconds are kept")
                               .arg(m_message.DataSize() / CtWave::kRecordRate);
    qWarning().noquote() << status;
    TellMainStatus(status);
}

void TPRMessageForm::FinishMessage() {
    m_flushTimer.stop();
    m_deadline.stop();
    if (!m_message.IsOpen()) return;
    WriteRecorded();
    if (!m_message.Finish()) {
        SetStatus(QStringLiteral("No message"));  // nothing was said: no file, no claim
        return;
    }
    if (!m_messageInMessages) return;
    AppendIndex();
    SaidSaved(m_message.Name());
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
    if (StopRequested || !m_running) return;
    SetStatus(QStringLiteral("Done Recording Message"));
    FinishMessage();
    RecordPending = false;
    // The closing beep is for a caller still on the line; one who hung up leaves the line
    // free for the next caller at once.
    if (m_callerGone) return Complete(1);
    CurrentFile = BeepFile;
    PlayCurrent();
}

void TPRMessageForm::AppendIndex() {
    QByteArray line(kIndexRecordSize, '\0');
    TRecordWriter w(line);
    w.Text(0, 32, CallerName);
    w.Text(32, 64, CallerNumber);
    w.Text(96, 260, m_greetingPlayed);
    w.Text(356, 272, MessageFile);
    IndexRecord = line;
    TFile file;
    if (file.Open(IndexFile(), TFile::ModeWrite) < 0 || file.SeekEnd() < 0) return;
    file.Write(IndexRecord.constData(), IndexRecord.size());
}

void TPRMessageForm::Complete(int outcome) {
    m_running = false;
    if (m_listener) m_listener->Completed(outcome);
}

void TPRMessageForm::CallerGone() {
    if (!isVisible() || StopRequested) return;
    if (m_recording) {
        m_callerGone = true;  // the message ends with the recording, and the call with it
        hide();
        return;
    }
    StopButtonClick();
}

void TPRMessageForm::EndRun() {
    m_setUpTimer.stop();
    m_failurePause.stop();
    m_deadline.stop();
    if (m_running) {
        StopRequested = true;
        ui->StopButton->setEnabled(false);
        m_wave.Stop();  // a recording keeps what came so far
        m_recording = false;
        FinishMessage();
        m_running = false;
    }
    hide();
}

void TPRMessageForm::StopButtonClick() {
    StopRequested = true;
    m_setUpTimer.stop();
    m_failurePause.stop();
    m_flushTimer.stop();
    m_deadline.stop();
    ui->StopButton->setEnabled(false);
    m_wave.Stop();
    m_recording = false;
    if (m_message.IsOpen()) {
        const bool tied = m_messageInMessages;
        m_message.Discard();
        if (tied) SaidSaved(QString());
    }
    hide();
    if (m_running) Complete(2);
}
