#include "calls/prmessageform.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "calls/labelholder.h"
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
    // The caption beside the file reads "Greeting:", then "Recording:": its column keeps the
    // wider one's width, so that the labels beside it are not moved and drawn again mid-call.
    ui->FileStatus->setMinimumWidth(
        ui->FileStatus->fontMetrics().horizontalAdvance(QStringLiteral("Recording:")));
    // The status changes half a dozen times a call; a long one (a disk problem) wraps.
    ui->StatusLabel->setWordWrap(true);
    m_statusHolder =
        TLabelHolder::Hold(ui->StatusLabel, 2, QStringLiteral("Done playing greeting only"));
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
    m_statusHolder->Fit();
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
    m_outDevice = line.WaveId;
    m_inDevice = 0;
    ResolveGreeting(greetingPath);
    m_currentFile = greetingPath;
    m_messageFile = QStringLiteral("0");
    m_recordSeconds = 0;
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
        m_inDevice = in;
        m_recordSeconds = config.MaximumRecordTimeComboBox * 15;
        m_messageFile = QStringLiteral("Messages/msg%1.wav").arg(m_stamp);
    } else {
        m_inDevice = 0;
        m_recordSeconds = 0;
        m_messageFile = QStringLiteral("0");
    }
    m_outDevice = out;
    ResolveGreeting(greetingPath);
    m_currentFile = greetingPath;
    m_beepFile = QStringLiteral("System Sounds/beep.wav");
    m_callerName = record ? record->Name : QString();
    m_callerNumber = record ? record->Number : QString();
    if (record) phoneBook.CallerDisplayName(record->Number, record->Name, &m_callerName);
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
    m_recordPending = true;
    m_stopRequested = false;
    ui->StopButton->setEnabled(true);
    SetStatus(QStringLiteral("Setting up"));
    ui->NameLabel->setText(m_callerName);
    ui->NumberLabel->setText(m_callerNumber);
    m_greetingPlayed = m_currentFile;
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
    if (!Playable(m_currentFile) || !m_wave.Load(TProfile::Path(m_currentFile))) {
        SetStatus(QStringLiteral("Can't play beep"));
    } else if (m_wave.Play(int(m_outDevice), false)) {
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
    if (!m_running || m_stopRequested) return;
    qWarning().noquote() << "The modem did not end a voice transfer in time: ending the call";
    const bool recording = m_recording;
    EndRun();
    Complete(recording && m_message.DataSize() > 0 ? OUTCOME_MESSAGE : OUTCOME_NO_MESSAGE);
}

void TPRMessageForm::OnWaveOutOpen() {
    if (IsBeep()) return;
    if (m_inDevice) {
        ui->FileStatus->setText(QStringLiteral("Greeting:"));
        ui->WaveFileLabel->setText(m_currentFile);
        SetStatus(QStringLiteral("Playing Greeting"));
    } else {
        SetStatus(QStringLiteral("Being an ass"));
    }
}

void TPRMessageForm::OnWaveOutDone() {
    if (!m_inDevice)
        SetStatus(QStringLiteral("Done playing greeting only"));
    else if (!IsBeep())
        SetStatus(QStringLiteral("Done Playing Greeting"));
}

void TPRMessageForm::OnWaveOutClose() {
    m_deadline.stop();
    if (m_stopRequested || !m_running) return;
    if (IsBeep()) {
        if (m_recordPending)
            StartRecording();
        else
            Complete(OUTCOME_MESSAGE);
        return;
    }
    if (!m_inDevice) {
        Complete(OUTCOME_NO_MESSAGE);
        hide();
        return;
    }
    SetStatus(QStringLiteral("Done playing greeting"));
    m_currentFile = m_beepFile;
    PlayCurrent();
}

void TPRMessageForm::StartRecording() {
    if (m_recordSeconds <= 0) m_recordSeconds = 5;
    m_recording = m_wave.Record(int(m_inDevice), m_recordSeconds);
    if (!m_recording) {
        SetStatus(QStringLiteral("Can't open device for recording"));
        Complete(OUTCOME_NO_MESSAGE);
        return;
    }
    OpenMessageFile();
    m_flushTimer.start();
    StartDeadline(qint64(m_recordSeconds) * 1000);
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
        m_messageFile = QStringLiteral("Messages/") + m_message.Name();
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
    ui->WaveFileLabel->setText(m_messageFile);
    SetStatus(QStringLiteral("Recording Message"));
}

void TPRMessageForm::OnWaveInData() {
    SetStatus(QStringLiteral("Recording"));
}

void TPRMessageForm::OnWaveInClose() {
    m_recording = false;
    if (m_stopRequested || !m_running) return;
    SetStatus(QStringLiteral("Done Recording Message"));
    FinishMessage();
    m_recordPending = false;
    // The closing beep is for a caller still on the line; one who hung up leaves the line
    // free for the next caller at once.
    if (m_callerGone) return Complete(OUTCOME_MESSAGE);
    m_currentFile = m_beepFile;
    PlayCurrent();
}

void TPRMessageForm::AppendIndex() {
    QByteArray line(kIndexRecordSize, '\0');
    TRecordWriter w(line);
    w.Text(0, 32, m_callerName);
    w.Text(32, 64, m_callerNumber);
    w.Text(96, 260, m_greetingPlayed);
    w.Text(356, 272, m_messageFile);
    m_indexRecord = line;
    TFile file;
    if (file.Open(IndexFile(), TFile::ModeWrite) < 0 || file.SeekEnd() < 0) return;
    file.Write(m_indexRecord.constData(), m_indexRecord.size());
}

void TPRMessageForm::Complete(int outcome) {
    m_running = false;
    if (m_listener) m_listener->Completed(outcome);
}

void TPRMessageForm::CallerGone() {
    if (!isVisible() || m_stopRequested) return;
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
        m_stopRequested = true;
        ui->StopButton->setEnabled(false);
        m_wave.Stop();  // a recording keeps what came so far
        m_recording = false;
        FinishMessage();
        m_running = false;
    }
    hide();
}

void TPRMessageForm::StopButtonClick() {
    m_stopRequested = true;
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
    if (m_running) Complete(OUTCOME_NO_MESSAGE);
}
