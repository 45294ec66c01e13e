#include "ui/dialogs/playwaveform.h"

#include "platform/tfile.h"
#include "ui_playwaveform.h"

namespace {
constexpr int kStartMs = 1000;
constexpr int kPlayingMs = 500;
constexpr int kDefaultDevice = -1;
}  // namespace

TPlayWaveForm::TPlayWaveForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TPlayWaveForm>()), m_wave(&m_callbacks) {
    ui->setupUi(this);
    m_callbacks.OnWaveOutOpen = [this] { OnWaveOutOpen(); };
    m_callbacks.OnWaveOutDone = [this] { OnWaveOutDone(); };
    m_callbacks.OnWaveOutClose = [this] {
        ui->StatusLabel->setText(QStringLiteral("Done playing"));
        ui->PlayButton->setEnabled(true);
    };
    ui->PlayButton->setEnabled(false);
    ui->StopButton->setEnabled(false);
    ui->QuitButton->setVisible(false);
    m_timer.setInterval(kStartMs);
    connect(&m_timer, &QTimer::timeout, this, &TPlayWaveForm::OnTimer);
    m_timer.start();
    connect(ui->PlayButton, &QPushButton::clicked, this, &TPlayWaveForm::PlayButtonClick);
    connect(ui->StopButton, &QPushButton::clicked, this, &TPlayWaveForm::StopButtonClick);
    // Grabbing the bar stops playback; Play then starts where the bar was left.
    connect(ui->positionBar, &QSlider::sliderPressed, this, &TPlayWaveForm::StopButtonClick);
    connect(ui->VolumeControl, &QSlider::valueChanged, this, [this](int percent) {
        if (ui->VolumeControl->isEnabled()) m_wave.SetVolume(2, percent);
    });
    connect(ui->keepButton, &QPushButton::clicked, this, [this] { done(PLAYER_KEEP); });
    connect(ui->eraseButton, &QPushButton::clicked, this, [this] { done(PLAYER_ERASE); });
    connect(ui->QuitButton, &QPushButton::clicked, this, [this] { done(PLAYER_QUIT); });
}

TPlayWaveForm::~TPlayWaveForm() {
    m_wave.Stop();
    m_wave.Clear();
}

void TPlayWaveForm::SetCaller(const QString& caller, const QString& number, const QString& when) {
    ui->CallerLabel->setText(caller);
    ui->CalledFromLabel->setText(number);
    ui->WhenLabel->setText(when);
}

void TPlayWaveForm::ShowQuit(bool shown) {
    ui->QuitButton->setVisible(shown);
}

QString TPlayWaveForm::Status() const {
    return ui->StatusLabel->text();
}

bool TPlayWaveForm::Playing() const {
    return ui->StopButton->isEnabled();
}

void TPlayWaveForm::SetPosition(int percent) {
    ui->positionBar->setValue(percent);
}

void TPlayWaveForm::SetCurrentFile(const QString& path) {
    m_file = path;
    ui->StopButton->setEnabled(false);
    TFile file;
    m_fileSize = file.Open(path, TFile::ModeRead) >= 0 ? file.GetSize() : 0;
    ui->PlayButton->setEnabled(file.IsOpen());
    ui->WaveFile->setText(path.section(QLatin1Char('/'), -2));
}

void TPlayWaveForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    m_autoStart = true;
    RefreshVolume();
}

void TPlayWaveForm::RefreshVolume() {
    const int volume = m_wave.GetVolume(Device);
    const bool usable = volume >= 0;
    ui->VolumeControl->setEnabled(usable);
    ui->VolumeControl->setVisible(usable);
    ui->VolumeControl->setToolTip(
        usable ? QStringLiteral("Set your speaker volume.")
               : QStringLiteral("Your sound card does not support setting volume"));
    if (usable) ui->VolumeControl->setValue(volume);
}

void TPlayWaveForm::OnTimer() {
    if (std::exchange(m_autoStart, false)) PlayButtonClick();  // whether enabled or not
    const int position = m_wave.GetPosition();
    if (position != 0 && !ui->positionBar->isSliderDown())
        ui->positionBar->setValue(m_fileSize ? int(100 * qint64(position) / m_fileSize) : 0);
}

void TPlayWaveForm::PlayButtonClick() {
    if (Playing()) {
        StopButtonClick();
        ui->positionBar->setValue(0);
    }
    SetCurrentFile(m_file);
    m_wave.m_owner = this;  // the engine says in a box what went wrong
    if (!m_wave.Load(m_file)) {
        ui->StatusLabel->setText(QStringLiteral("Can't play this message"));
        return;
    }
    // The bar gives a share of the whole file; a share past the sound starts it over.
    qint64 offset = ui->positionBar->value() == 0
                        ? 0
                        : qint64(double(m_fileSize) * ui->positionBar->value() * 0.01);
    if (offset >= m_wave.Data().size()) offset = 0;
    // The first sound card, else the system's default output. With neither (a machine
    // without sound) the player says so in its status line instead of a box per try.
    m_wave.m_owner = nullptr;
    if (m_wave.PlayFrom(Device, int(offset))) return;
    if (Device != kDefaultDevice && m_wave.PlayFrom(kDefaultDevice, int(offset))) return;
    ui->StatusLabel->setText(QStringLiteral("No sound card to play the message on"));
}

void TPlayWaveForm::StopButtonClick() {
    m_wave.Stop();
}

void TPlayWaveForm::OnWaveOutOpen() {
    m_played = true;
    ui->StatusLabel->setText(QStringLiteral("Playing"));
    ui->StopButton->setEnabled(true);
    m_timer.setInterval(kPlayingMs);
    m_timer.start();
}

void TPlayWaveForm::OnWaveOutDone() {
    ui->StatusLabel->setText(QStringLiteral("Done Playing"));
    ui->StopButton->setEnabled(false);
    m_timer.stop();
    if (!ui->positionBar->hasFocus()) ui->positionBar->setValue(0);
}
