#include "calls/remoteplayform.h"

#include <QCloseEvent>
#include <QFileInfo>

#include "platform/atomicfile.h"
#include "platform/profile.h"
#include "platform/wave/riff.h"
#include "store/calllog.h"
#include "store/phonebook.h"
#include "ui_remoteplayform.h"

int TRemotePlayForm::WaitMs = 10000;

QString TRemotePlayForm::MenuFor(char again, char previous, char next) {
    const QString shipped = QStringLiteral("System Sounds/menu.wav");
    if (again == '1' && previous == '2' && next == '3') return shipped;
    auto key = [](char c) {
        return QStringLiteral("System Sounds/key") +
               (c == '*' ? QStringLiteral("star") : QString(QLatin1Char(c))) + ".wav";
    };
    const QString press = QStringLiteral("System Sounds/menu-press.wav");
    const QStringList pieces = {
        press, key(again),    QStringLiteral("System Sounds/menu-again.wav"),
        press, key(previous), QStringLiteral("System Sounds/menu-previous.wav"),
        press, key(next),     QStringLiteral("System Sounds/menu-next.wav")};
    QByteArray samples;
    for (const QString& piece : pieces) {
        TRiffReader riff;
        qint64 formatAt = 0, dataAt = 0;
        quint32 formatSize = 0, dataSize = 0;
        if (!riff.Open(TProfile::Path(piece)) || riff.DescendRiff("WAVE") != 0 ||
            riff.FindChunk("fmt ", &formatAt, &formatSize) != 0 ||
            riff.FindChunk("data", &dataAt, &dataSize) != 0)
            return shipped;  // a piece is missing or damaged
        // The pieces must be the program's own speech: PCM, mono, 11025 Hz, 8 bits.
        const QByteArray format = riff.Read(formatAt, formatSize);
        const QByteArray expected = QByteArray::fromHex("01000100112b0000");
        if (format.size() < 16 || !format.startsWith(expected) || format.at(14) != 8)
            return shipped;
        samples += riff.Read(dataAt, dataSize);
    }
    const QString composed = QStringLiteral("System Sounds/menu-keys.wav");
    auto le = [](quint32 v, int n) {
        QByteArray b(n, '\0');
        for (int i = 0; i < n; ++i)
            b[i] = char((v >> (8 * i)) & 0xFF);
        return b;
    };
    const QByteArray wave = "RIFF" + le(quint32(36 + samples.size()), 4) + "WAVEfmt " + le(16, 4) +
                            le(1, 2) + le(1, 2) + le(11025, 4) + le(11025, 4) + le(1, 2) +
                            le(8, 2) + "data" + le(quint32(samples.size()), 4) + samples;
    return RewriteFile(TProfile::Path(composed), wave) ? composed : shipped;
}

std::vector<RemoteMessageEntry> TRemotePlayForm::NewMessages(TCallLog& log, const TPhoneBook& book,
                                                             const QString& menu) {
    std::vector<RemoteMessageEntry> entries;
    const QString sounds = QStringLiteral("System Sounds/");
    for (const CallLogRecord& record : log.Records) {
        if (TCallLog::StateOf(record) != NewMessage) continue;
        RemoteMessageEntry entry;
        book.CallerDisplayName(record.Number, record.Name, &entry.Caller);
        entry.CalledFrom = record.Number;
        entry.When = record.When;
        const QString numbered =
            sounds + QStringLiteral("msg") + QString::number(entries.size() + 1) + ".wav";
        entry.AnnounceFile = QFileInfo(TProfile::Path(numbered)).isFile()
                                 ? numbered
                                 : sounds + QStringLiteral("msg.wav");
        entry.MessageFile = QStringLiteral("Messages/") + record.MessageName();
        entry.MenuFile = menu;
        entries.push_back(entry);
    }
    RemoteMessageEntry end;
    end.Caller = QStringLiteral("No more messages");
    end.CalledFrom = end.When = QStringLiteral(" ");
    end.AnnounceFile = sounds + QStringLiteral("msg0.wav");
    end.MessageFile = entries.empty() ? QString() : menu;
    end.MenuFile = QStringLiteral("0");
    entries.push_back(end);
    return entries;
}

namespace {
constexpr int kPositionMs = 500;
}  // namespace

TRemotePlayForm::TRemotePlayForm(TRemotePlayerListener& listener, QWidget* parent)
    : QDialog(parent),
      ui(std::make_unique<Ui::TRemotePlayForm>()),
      m_listener(listener),
      m_wave(&m_callbacks) {
    ui->setupUi(this);
    setModal(false);
    m_callbacks.OnWaveOutOpen = [this] { OnWaveOutOpen(); };
    m_callbacks.OnWaveOutDone = [this] { OnWaveOutDone(); };
    m_callbacks.OnWaveOutClose = [this] {
        ui->StatusLabel->setText(QStringLiteral("Done playing"));
    };
    ui->PlayButton->setEnabled(false);
    ui->StopButton->setEnabled(false);
    ui->QuitButton->setVisible(false);
    ui->MsgList->setVisible(false);
    ui->MsgList->setColumnWidth(0, 380);  // the whole file name of what is played
    for (QLabel* label : {ui->CallerLabel, ui->CalledFromLabel, ui->WhenLabel})
        label->setText(QStringLiteral("XXX"));  // until the first entry plays
    m_positionTimer.setInterval(kPositionMs);
    connect(&m_positionTimer, &QTimer::timeout, this, &TRemotePlayForm::OnPosition);
    m_waitTimer.setSingleShot(true);
    connect(&m_waitTimer, &QTimer::timeout, this, &QWidget::close);
    connect(ui->PlayButton, &QPushButton::clicked, this, &TRemotePlayForm::PlayButtonClick);
    connect(ui->StopButton, &QPushButton::clicked, this, [this] { m_wave.Stop(); });
    connect(ui->positionBar, &QSlider::sliderPressed, this, [this] { m_wave.Stop(); });
    connect(ui->RewindButton, &QPushButton::clicked, this, [this] { RemoteCommand(RC_REWIND); });
    connect(ui->nextMessageButton, &QPushButton::clicked, this, [this] { RemoteCommand(RC_NEXT); });
    connect(ui->previousMessageButton, &QPushButton::clicked, this,
            [this] { RemoteCommand(RC_PREVIOUS); });
    connect(ui->QuitButton, &QPushButton::clicked, this, &QWidget::close);
}

TRemotePlayForm::~TRemotePlayForm() {
    m_wave.Stop();
    m_wave.Clear();
}

QString TRemotePlayForm::Status() const {
    return ui->StatusLabel->text();
}

void TRemotePlayForm::AddRemoteMessage(const RemoteMessageEntry& entry) {
    m_entries.push_back(entry);
    m_entries.back().Stage = 0;
    m_index = 1;
    ui->PlayButton->setEnabled(true);
    ui->QuitButton->setVisible(true);
    ui->MsgList->setVisible(true);
    ui->MsgList->addTopLevelItem(
        new QTreeWidgetItem(QStringList{entry.MessageFile, QStringLiteral("0")}));
}

void TRemotePlayForm::RemoteCommand(int code) {
    switch (code) {
        case RC_CONTINUE:
        case RC_PLAY:
            return Play();
        case RC_REWIND:
        case RC_NEXT:
        case RC_PREVIOUS: {
            const int playing = m_index;
            if (code == RC_NEXT && m_index < Rows()) ++m_index;
            if (code == RC_PREVIOUS && m_index > 1) --m_index;
            if (playing >= 1 && playing <= Rows()) {
                m_entries[size_t(playing - 1)].Stage = 0;
                ui->MsgList->topLevelItem(playing - 1)->setText(1, QStringLiteral("0"));
            }
            // A sound under way is stopped; its end notice then plays the chosen entry.
            if (ui->StopButton->isEnabled()) {
                m_mode = code;
                m_wave.Stop();
            } else {
                Play();
            }
            return;
        }
        case RC_QUIT:
            m_wave.Clear();
            close();
            return;
        default:
            return;
    }
}

void TRemotePlayForm::Play() {
    m_mode = RC_PLAY;
    m_waitTimer.stop();
    if (m_index < 1 || m_index > Rows()) {
        m_wave.Clear();
        close();
        return;
    }
    ui->positionBar->setValue(0);
    ui->MsgList->clearSelection();
    QTreeWidgetItem* row = ui->MsgList->topLevelItem(m_index - 1);
    row->setSelected(true);
    ui->MsgList->setCurrentItem(row);
    RemoteMessageEntry& entry = m_entries[size_t(m_index - 1)];
    ui->CallerLabel->setText(entry.Caller);
    ui->CalledFromLabel->setText(entry.CalledFrom);
    ui->WhenLabel->setText(entry.When);
    if (entry.Stage >= 3) return Wait();
    const QString file = entry.Stage == 0   ? entry.AnnounceFile
                         : entry.Stage == 1 ? entry.MessageFile
                                            : entry.MenuFile;
    row->setText(1, QString::number(entry.Stage));
    ++entry.Stage;
    SetCurrentFile(file);
    if (file.isEmpty() || !m_wave.Load(TProfile::Path(file)) || !m_wave.PlayFrom(int(Device), 0))
        Wait();  // a missing or unplayable sound: the entry waits for a key
}

// Nothing more to play for this entry: a key within the wait moves on, or the window closes.
void TRemotePlayForm::Wait() {
    m_waitTimer.start(WaitMs);
    m_wave.Clear();
}

void TRemotePlayForm::SetCurrentFile(const QString& file) {
    m_file = file;
    ui->WaveFile->setText(file);
    ui->StopButton->setEnabled(false);
    const QFileInfo info(TProfile::Path(file));
    m_fileSize = !file.isEmpty() && info.isFile() ? info.size() : 0;
    ui->PlayButton->setEnabled(m_fileSize > 0);
}

void TRemotePlayForm::OnWaveOutOpen() {
    ui->StatusLabel->setText(QStringLiteral("Playing"));
    ui->StopButton->setEnabled(true);
    m_positionTimer.start();
}

void TRemotePlayForm::OnWaveOutDone() {
    ui->StatusLabel->setText(QStringLiteral("Done Playing"));
    ui->StopButton->setEnabled(false);
    m_positionTimer.stop();
    ui->positionBar->setValue(0);
    if (m_mode != 0) RemoteCommand(RC_CONTINUE);
}

void TRemotePlayForm::OnPosition() {
    const int position = m_wave.GetPosition();
    if (position != 0)
        ui->positionBar->setValue(m_fileSize ? int(100 * qint64(position) / m_fileSize) : 0);
}

void TRemotePlayForm::PlayButtonClick() {
    if (ui->StopButton->isEnabled()) {
        m_mode = 0;  // stopped here: the play below picks the stage again
        m_wave.Stop();
        ui->positionBar->setValue(0);
    }
    Play();
}

void TRemotePlayForm::closeEvent(QCloseEvent* event) {
    m_waitTimer.stop();
    m_positionTimer.stop();
    m_mode = 0;
    m_wave.Stop();
    m_wave.Clear();
    event->accept();
    if (!std::exchange(m_closed, true)) m_listener.RemotePlayerClosed();
}
