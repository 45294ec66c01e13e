#include "ui/dialogs/recordwaveform.h"

#include <QFile>
#include <cstdio>

#include "platform/prompts.h"
#include "ui_recordwaveform.h"

namespace {
constexpr int kProgressMs = 200;

QString Minutes(int seconds) {
    return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}
}  // namespace

TRecordWaveForm::TRecordWaveForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TRecordWaveForm>()), m_wave(&m_callbacks) {
    ui->setupUi(this);
    m_callbacks.OnWaveOutOpen = [this] { OnWaveOutOpen(); };
    m_callbacks.OnWaveOutDone = [this] { OnWaveOutDone(); };
    m_callbacks.OnWaveInOpen = [this] { OnWaveInOpen(); };
    m_callbacks.OnWaveInData = [this] { ui->StatusLabel->setText(QStringLiteral("Recording")); };
    m_callbacks.OnWaveInClose = [this] { OnWaveInClose(); };
    m_wave.m_owner = this;  // device errors are shown in a box
    ui->StatusLabel->setText(QStringLiteral("Click the Record button to begin"));
    m_progress.setInterval(kProgressMs);
    connect(&m_progress, &QTimer::timeout, this, &TRecordWaveForm::ShowProgress);
    connect(ui->RecordButton, &QPushButton::clicked, this, &TRecordWaveForm::RecordButtonClick);
    connect(ui->StopButton, &QPushButton::clicked, this, &TRecordWaveForm::StopButtonClick);
    connect(ui->PlayButton, &QPushButton::clicked, this, &TRecordWaveForm::PlayButtonClick);
    connect(ui->CloseButton, &QPushButton::clicked, this, &QDialog::accept);
}

TRecordWaveForm::~TRecordWaveForm() {
    m_closing = true;
    m_wave.Clear();
}

void TRecordWaveForm::SetRecordFile(const QString& fileName) {
    m_file = fileName;
    ui->StopButton->setEnabled(false);
    ui->PlayButton->setEnabled(QFile::exists(fileName));
    ui->WaveFile->setText(fileName);
}

QString TRecordWaveForm::Status() const {
    return ui->StatusLabel->text();
}

void TRecordWaveForm::RecordButtonClick() {
    if (!m_wave.Record(InputDevice, kMaxSeconds)) {
        ui->StatusLabel->setText(QStringLiteral("Can't record"));
        // A refused device was shown by the engine; no device at all is said here.
        if (m_wave.ErrorText().isEmpty())
            Prompts().MessageBox(
                QStringLiteral("Can't record\rReason: no sound input can record 11025 Hz 8-bit "
                               "mono sound. Check that a microphone is connected and not muted."),
                QStringLiteral(" "), prompt::MB_OK);
        return;
    }
    ui->StatusLabel->setText(QStringLiteral("Recording"));
    ui->StopButton->setEnabled(true);
    ui->StopButton->setFocus();
    m_progress.start();
}

void TRecordWaveForm::StopButtonClick() {
    m_wave.Stop();  // a stopped recording is saved when its device reports it closed
}

void TRecordWaveForm::PlayButtonClick() {
    if (m_wave.Load(m_file)) m_wave.Play(OutputDevice, false);
}

void TRecordWaveForm::SetButtons(bool record, bool stop, bool play, bool ok) {
    ui->RecordButton->setEnabled(record);
    ui->StopButton->setEnabled(stop);
    ui->PlayButton->setEnabled(play);
    ui->CloseButton->setEnabled(ok);
}

void TRecordWaveForm::OnWaveOutOpen() {
    ui->StatusLabel->setText(QStringLiteral("Playing"));
    SetButtons(false, true, false, false);
    m_progress.start();
}

void TRecordWaveForm::OnWaveOutDone() {
    ui->StatusLabel->setText(QStringLiteral("Done Playing"));
    SetButtons(true, false, true, true);
    m_progress.stop();
    ui->levelBar->setValue(0);
}

void TRecordWaveForm::OnWaveInOpen() {
    ui->StatusLabel->setText(QStringLiteral("Recording Message"));
    SetButtons(false, true, false, false);
}

void TRecordWaveForm::OnWaveInClose() {
    m_progress.stop();
    ui->levelBar->setValue(0);
    if (m_closing) return;  // closed while recording: thrown away
    ShowProgress();
    const bool saved = SaveRecording();
    ui->StatusLabel->setText(saved ? QStringLiteral("Done Recording Message")
                                   : QStringLiteral("Nothing was recorded"));
    SetButtons(true, false, QFile::exists(m_file), true);
}

// The new recording replaces the file only once it is wholly on disk: a failed write leaves
// the earlier greeting as it was, and an empty recording never replaces it.
bool TRecordWaveForm::SaveRecording() {
    if (m_wave.RecordedSize() == 0) return false;
    const QString part = m_file + QStringLiteral(".part");
    if (!m_wave.Save(part) || std::rename(QFile::encodeName(part).constData(),
                                          QFile::encodeName(m_file).constData()) != 0) {
        QFile::remove(part);
        return false;
    }
    return true;
}

// The time recorded (or played) and the loudness of the latest tenth of a second.
void TRecordWaveForm::ShowProgress() {
    const bool recording = m_wave.IsRecording();
    const int bytes = recording            ? int(m_wave.RecordingPosition())
                      : m_wave.IsPlaying() ? m_wave.GetPosition()
                                           : int(m_wave.RecordedSize());
    ui->timeLabel->setText(Minutes(bytes / CtWave::kRecordRate));
    if (!recording) return;
    const QByteArray& samples = m_wave.Data();
    int peak = 0;
    for (int i = qMax(0, bytes - CtWave::kRecordRate / 10); i < bytes && i < samples.size(); ++i)
        peak = qMax(peak, qAbs(int(quint8(samples[i])) - 128));
    ui->levelBar->setValue(peak * 100 / 128);
}

// OK and the close box: anything still recording or playing is stopped, never saved.
void TRecordWaveForm::done(int result) {
    m_closing = true;
    m_progress.stop();
    m_wave.Clear();
    QDialog::done(result);
    m_closing = false;
}
