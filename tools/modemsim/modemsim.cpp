#include "modemsim.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QtEndian>
#include <cerrno>
#include <cmath>

#include "platform/wave/converter.h"
#include "platform/wave/riff.h"

namespace {
constexpr char DLE = 0x10;
constexpr char ETX = 0x03;
constexpr char CAN = 0x18;
constexpr int kBytesPerSecond = 8000;  // 8-bit samples at 8000 Hz

QByteArray Bytes(std::initializer_list<char> bytes) {
    return QByteArray(bytes.begin(), qsizetype(bytes.size()));
}
}  // namespace

TModemSim::TModemSim(const TPersonality& personality, QObject* parent)
    : QObject(parent), m_p(personality) {
    m_stepTimer.setSingleShot(true);
    m_stepTimer.setTimerType(Qt::PreciseTimer);  // a script's waits are the far end's timing
    connect(&m_stepTimer, &QTimer::timeout, this, &TModemSim::Step);
    m_feedTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_feedTimer, &QTimer::timeout, this, &TModemSim::FeedHost);
    connect(&m_hostWatch, &QTimer::timeout, this, &TModemSim::WatchForHost);
}

TModemSim::~TModemSim() {
    if (!m_link.isEmpty()) QFile::remove(m_link);
    if (m_master >= 0) ::close(m_master);
}

bool TModemSim::Start(const QString& linkPath, QString* slaveName) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0) return false;
    const QString slave = QString::fromLocal8Bit(::ptsname(m_master));
    // Raw mode stops the terminal from echoing what the modem sends. The slave is not held:
    // the host closing its side is how the modem sees DTR drop.
    const int slaveFd = ::open(QFile::encodeName(slave).constData(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0) return false;
    struct termios tio;
    ::tcgetattr(slaveFd, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(slaveFd, TCSANOW, &tio);
    ::close(slaveFd);
    if (!linkPath.isEmpty()) {
        QFile::remove(linkPath);
        if (!QFile::link(slave, linkPath)) return false;
        m_link = linkPath;
    }
    m_reader = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_reader, &QSocketNotifier::activated, this, &TModemSim::ReadHost);
    *slaveName = slave;
    DtrDropped();
    return true;
}

// The host closed the port (or died): DTR drops, and a real modem hangs up, leaves voice data
// mode and goes back to its power-on state. Until the host opens the port again the master
// only reports the hang-up, so it is polled instead of watched.
void TModemSim::DtrDropped() {
    PowerOn();
    if (m_reader) m_reader->setEnabled(false);
    m_hostWatch.start(20);
}

// The state after power-on: on hook, in command mode, echoing, no voice data either way.
void TModemSim::PowerOn() {
    m_echo = true;
    m_offHook = false;
    m_transmitting = m_receiving = m_afterDle = false;
    m_transmitted.clear();
    m_input.clear();
    m_feedTimer.stop();
}

void TModemSim::WatchForHost() {
    pollfd watch{m_master, POLLIN, 0};
    if (m_master < 0 || ::poll(&watch, 1, 0) < 0 || (watch.revents & POLLHUP)) return;
    m_hostWatch.stop();
    if (m_reader) m_reader->setEnabled(true);
}

void TModemSim::Send(const QByteArray& bytes) {
    if (m_master < 0) return;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.constData() + done, bytes.size() - done);
        if (n <= 0) break;  // the host is not reading: the rest is lost, as on a real line
        done += n;
    }
}

void TModemSim::Reply(const QByteArray& text) {
    Send("\r\n" + text + "\r\n");
}

void TModemSim::Event(char code) {
    Send(Bytes({DLE, code}));
}

void TModemSim::ReadHost() {
    char buffer[4096];
    const ssize_t n = ::read(m_master, buffer, sizeof buffer);
    if (n < 0 && errno == EIO) return DtrDropped();
    if (n <= 0) return;
    for (ssize_t i = 0; i < n; ++i) {
        const char b = buffer[i];
        if (m_transmitting || m_receiving) {
            // Voice data: doubled DLEs are audio, <DLE><ETX> ends the host's audio, <DLE><CAN>
            // drops it, <DLE>! stops a recording.
            if (m_afterDle) {
                m_afterDle = false;
                if (b == DLE && m_transmitting)
                    m_transmitted += b;
                else if (b == ETX && m_transmitting)
                    EndTransmit(false);
                else if (b == CAN && m_transmitting)
                    m_transmitted.clear();
                else if (b == '!' && m_receiving) {
                    m_receiving = false;
                    m_feedTimer.stop();
                    Send(Bytes({DLE, ETX}));
                    Reply("OK");
                }
            } else if (b == DLE) {
                m_afterDle = true;
            } else if (m_transmitting) {
                m_transmitted += b;
            }
            continue;
        }
        if (b == '\r') {
            const QByteArray command = m_input.trimmed();
            m_input.clear();
            if (!command.isEmpty()) Command(command);
        } else if (b != '\n' && m_input.size() < 1024) {
            m_input += b;
        }
    }
}

void TModemSim::Command(const QByteArray& command) {
    m_lastCommand = command;
    m_history << QString::fromLatin1(command);
    if (m_log) {
        m_log->write(
            QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz ")).toLatin1() +
            command + '\n');
        m_log->flush();
    }
    // A script waiting for a command goes on once this one is answered.
    if (!m_waitingFor.isEmpty()) QTimer::singleShot(0, this, &TModemSim::Step);
    if (m_p.Silent) return;
    if (m_echo) Send(command + '\r');
    const QByteArray c = command.toUpper();
    if (!c.startsWith("AT")) return Reply("ERROR");
    const QByteArray body = c.mid(2);
    if (body.isEmpty()) return Reply("OK");
    if (body == "Z" || body == "&F") {
        m_echo = true;
        m_offHook = false;
        return Reply("OK");
    }
    if (body.startsWith("E")) {  // E0V1Q0 and the like
        m_echo = !body.startsWith("E0");
        return Reply("OK");
    }
    if (body == "I3")
        return Reply(m_p.UsrFormats ? "U.S. Robotics 56K FAX USB V1.2.23"
                                    : "CX93001-EIS_V0.2013-V92"),
               Reply("OK");
    if (body == "I0") return Reply(m_p.UsrFormats ? "5601" : "56000"), Reply("OK");
    if (body == "+FCLASS=?") return Reply(m_p.Voice ? "0,1,1.0,2,8" : "0,1,2"), Reply("OK");
    if (body.startsWith("+FCLASS="))
        return Reply(body == "+FCLASS=8" && !m_p.Voice ? "ERROR" : "OK");
    if (body == "+VSM=?") {
        if (m_p.UsrFormats) {
            for (const char* line :
                 {"128,\"8-BIT LINEAR\",(7200,8000,11025)",
                  "129,\"16-BIT LINEAR\",(7200,8000,11025)", "130,\"8-BIT ALAW\",(8000)",
                  "131,\"8-BIT ULAW\",(8000)", "132,\"IMA ADPCM\",(7200,8000,11025)"})
                Reply(line);
        } else {
            for (const char* line :
                 {"0,\"SIGNED PCM\",8,0,8000,0,0", "1,\"UNSIGNED PCM\",8,0,8000,0,0",
                  "129,\"IMA ADPCM\",4,0,8000,0,0", "130,\"UNSIGNED PCM\",8,0,8000,0,0",
                  "131,\"Mu-Law\",8,0,8000,0,0", "132,\"A-Law\",8,0,8000,0,0"})
                Reply(line);
        }
        return Reply("OK");
    }
    if (body == "+VLS=?") {
        Reply("0,\"\",00000000,00000000,00000000");
        Reply("1,\"T\",0B8433C1,0FE431C1,0B8431C1");
        if (m_p.Speaker) Reply("7,\"MST\",0B8433C1,0FE431C1,0B8431C1");
        return Reply("OK");
    }
    if (body.startsWith("+VLS=")) {
        const int path = body.mid(5).toInt();
        if (path == 7 && !m_p.Speaker) return Reply("ERROR");
        m_offHook = path != 0;
        Reply("OK");
        return Step();
    }
    if (body.startsWith("+VSM=")) m_signedFormat = body.mid(5).startsWith("0,");
    if (body.startsWith("+VCID=") || body.startsWith("+VSM=") || body.startsWith("+VIT=") ||
        body.startsWith("+VGT") || body.startsWith("+VGR") || body.startsWith("+VSD") ||
        body.startsWith("-STE="))
        return Reply("OK");
    if (body == "H" || body == "H0") {
        m_offHook = false;
        Reply("OK");
        return Step();
    }
    if (body.startsWith("D")) {
        const QByteArray result = m_dialResult;
        m_dialResult = "OK";
        QTimer::singleShot(300, this, [this, result] {
            m_offHook = result == "OK";
            Reply(result);
            Step();
        });
        return;
    }
    if (body == "+VTX") {
        if (!m_offHook) return Reply("ERROR");
        m_transmitting = true;
        m_transmitted.clear();
        m_transmitStartMs = QDateTime::currentMSecsSinceEpoch();
        return Reply("CONNECT");
    }
    if (body == "+VRX") {
        if (!m_offHook) return Reply("ERROR");
        m_receiving = true;
        Reply("CONNECT");
        m_receiveClock.start();
        m_fed = 0;
        m_feedTimer.start(m_chunkMs);
        return;
    }
    Reply("ERROR");
}

void TModemSim::AddScript(const QString& line) {
    m_script.enqueue(line);
    if (!m_stepTimer.isActive() && m_waitingFor.isEmpty() && m_ringsLeft == 0) Step();
}

// The far end starts afresh: the rest of the script, rings still to come, a wait for a
// command and the commands seen so far are dropped.
void TModemSim::Abandon() {
    m_script.clear();
    m_waitingFor.clear();
    m_history.clear();
    m_ringsLeft = 0;
    m_stepTimer.stop();
    m_voice.clear();
}

// Runs script lines until one has to wait.
void TModemSim::Step() {
    if (!m_waitingFor.isEmpty()) {
        const bool seen = std::any_of(m_history.begin(), m_history.end(), [this](const QString& c) {
            return c.contains(m_waitingFor, Qt::CaseInsensitive);
        });
        if (!seen) return;
        m_waitingFor.clear();
        m_history.clear();
    }
    if (m_ringsLeft > 0) {
        if (m_offHook) {
            m_ringsLeft = 0;  // answered: stop ringing
        } else {
            if (m_stepTimer.isActive()) return;
            Reply("RING");
            --m_ringsLeft;
            m_stepTimer.start(m_ringIntervalMs);
            return;
        }
    }
    if (m_stepTimer.isActive()) return;
    while (!m_script.isEmpty()) {
        const QString line = m_script.dequeue().trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        if (!Run(line.split(QLatin1Char(' '), Qt::SkipEmptyParts))) return;
    }
    if (m_scriptEnded && m_script.isEmpty()) emit Finished();
}

// One script line; false when the script must wait before the next.
bool TModemSim::Run(const QStringList& words) {
    const QString verb = words.first().toLower();
    if (verb == QLatin1String("wait")) {
        m_stepTimer.start(int(words.value(1).toDouble() * 1000));
        return false;
    }
    if (verb == QLatin1String("ring")) {
        Reply("RING");
        return true;
    }
    if (verb == QLatin1String("rings")) {
        m_ringsLeft = words.value(1, QStringLiteral("1")).toInt();
        m_ringIntervalMs = int(words.value(2, QStringLiteral("1")).toDouble() * 1000);
        m_stepTimer.start(m_ringIntervalMs);
        return false;
    }
    if (verb == QLatin1String("cid")) {
        CallerId(words.mid(1));
        return true;
    }
    if (verb == QLatin1String("waitfor")) {
        m_waitingFor = words.value(1);
        const bool seen = std::any_of(m_history.begin(), m_history.end(), [this](const QString& c) {
            return c.contains(m_waitingFor, Qt::CaseInsensitive);
        });
        if (!seen) return false;
        m_waitingFor.clear();
        m_history.clear();
        return true;
    }
    if (verb == QLatin1String("keys")) {
        Keys(words.value(1));
        return true;
    }
    if (verb == QLatin1String("extension")) {  // extension up|down: a phone in the house
        Event(words.value(1) == QLatin1String("down") ? 'p' : 'P');
        return true;
    }
    if (verb == QLatin1String("hangup")) {
        Event(words.value(1, QStringLiteral("b")).at(0).toLatin1());
        return true;
    }
    if (verb == QLatin1String("dialresult")) {
        const QString how = words.value(1).toLower();
        m_dialResult = how == QLatin1String("busy")         ? "BUSY"
                       : how == QLatin1String("noanswer")   ? "NO ANSWER"
                       : how == QLatin1String("nodialtone") ? "NO DIALTONE"
                                                            : "OK";
        return true;
    }
    if (verb == QLatin1String("send")) {  // raw text from the modem, for garbage tests
        Send(words.mid(1)
                 .join(QLatin1Char(' '))
                 .toLatin1()
                 .replace("\\r", "\r")
                 .replace("\\n", "\n")
                 .replace("\\0", QByteArray(1, '\0')));
        return true;
    }
    if (verb == QLatin1String("speak")) {  // the caller's voice for the next recording
        if (!LoadVoice(words.mid(1).join(QLatin1Char(' '))))
            qWarning("modemsim: cannot read %s", qPrintable(words.mid(1).join(QLatin1Char(' '))));
        return true;
    }
    if (verb == QLatin1String("tone")) {  // tone HZ SECONDS
        const double hz = words.value(1).toDouble(),
                     seconds = words.value(2, QStringLiteral("1")).toDouble();
        m_voice.clear();
        for (int i = 0; i < int(seconds * kBytesPerSecond); ++i)
            m_voice +=
                char(uchar(std::lround(100 * std::sin(2 * M_PI * hz * i / kBytesPerSecond)) + 128));
        return true;
    }
    if (verb == QLatin1String("chunk")) {  // chunk MS: voice to the host in pieces this long
        SetChunkMs(words.value(1).toInt());
        return true;
    }
    if (verb == QLatin1String("reset")) {  // a power or USB glitch: back to power-on, silently
        PowerOn();
        return true;
    }
    if (verb == QLatin1String("close")) {
        Unplug();
        return true;
    }
    if (verb == QLatin1String("replug")) {  // the modem back, on a new device the link names
        QString slave;
        if (m_master < 0 && !Start(m_link, &slave)) qWarning("modemsim: cannot replug");
        return true;
    }
    if (verb == QLatin1String("flood")) {  // flood COUNT: rings all at once
        QByteArray rings;
        for (int i = 0; i < words.value(1).toInt(); ++i)
            rings += "\r\nRING\r\n";
        Send(rings);
        return true;
    }
    if (verb == QLatin1String("garbage")) {  // garbage COUNT: bytes with no line end
        QByteArray noise(words.value(1).toInt(), '\0');
        quint32 seed = 2026;
        for (char& b : noise) {
            seed = seed * 1103515245 + 12345;
            b = char(seed >> 16);
            if (b == '\r' || b == '\n' || b == DLE) b = 'x';
        }
        Send(noise);
        return true;
    }
    if (verb == QLatin1String("mute") || verb == QLatin1String("unmute")) {  // a firmware hiccup
        m_p.Silent = verb == QLatin1String("mute");
        return true;
    }
    if (verb == QLatin1String("quit")) {
        emit Finished();
        return false;
    }
    qWarning("modemsim: unknown script line: %s", qPrintable(words.join(QLatin1Char(' '))));
    return true;
}

// "cid NUMBER [NAME...]": P and O stand for a private and an out-of-area caller.
void TModemSim::CallerId(const QStringList& words) {
    const QByteArray eq = m_p.SpacedCallerId ? " = " : "=";
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray block = "\r\nDATE" + eq + now.toString(QStringLiteral("MMdd")).toLatin1() + "\r\n";
    block += "TIME" + eq + now.toString(QStringLiteral("HHmm")).toLatin1() + "\r\n";
    block += "NMBR" + eq + words.value(0).toLatin1() + "\r\n";
    if (words.size() > 1)
        block += "NAME" + eq + words.mid(1).join(QLatin1Char(' ')).toLatin1() + "\r\n";
    Send(block + "\r\n");
}

void TModemSim::Keys(const QString& digits) {
    for (const QChar digit : digits) {
        const char d = digit.toLatin1();
        if (m_p.BracketDtmf)
            Send(Bytes({DLE, '/', DLE, d, DLE, d, DLE, m_p.DtmfEnd}));
        else
            Event(d);
    }
}

// The modem answers OK when it has played what it was given, at 8000 samples a second, and
// keeps the audio as a wave file.
void TModemSim::EndTransmit(bool aborted) {
    m_transmitting = false;
    QByteArray samples = m_transmitted;
    if (m_signedFormat)
        for (char& c : samples)
            c = char(uchar(c) ^ 0x80);
    if (!m_recordFolder.isEmpty() && !aborted) {
        QFile file(QDir(m_recordFolder).filePath(QStringLiteral("vtx-%1.wav").arg(++m_recordings)));
        if (file.open(QIODevice::WriteOnly)) {
            auto le = [](quint32 v, int n) {
                QByteArray b(n, '\0');
                for (int i = 0; i < n; ++i)
                    b[i] = char((v >> (8 * i)) & 0xFF);
                return b;
            };
            file.write("RIFF" + le(quint32(36 + samples.size()), 4) + "WAVEfmt " + le(16, 4) +
                       le(1, 2) + le(1, 2) + le(8000, 4) + le(8000, 4) + le(1, 2) + le(8, 2) +
                       "data" + le(quint32(samples.size()), 4) + samples);
        }
    }
    const qint64 due = m_transmitStartMs + qint64(m_transmitted.size()) * 1000 / kBytesPerSecond;
    const qint64 wait = qMax<qint64>(0, due - QDateTime::currentMSecsSinceEpoch());
    QTimer::singleShot(int(wait), this, [this] { Reply("OK"); });
}

void TModemSim::SetChunkMs(int ms) {
    m_chunkMs = qBound(1, ms, 1000);
    if (m_feedTimer.isActive()) m_feedTimer.start(m_chunkMs);
}

// The caller's voice (or silence) into the recording, DLEs doubled, in pieces of m_chunkMs
// at real-time pace: what is due by the clock, however late the timer fires.
void TModemSim::FeedHost() {
    if (!m_receiving) return;
    const qint64 due = m_receiveClock.elapsed() * kBytesPerSecond / 1000;
    const int n = int(due - m_fed);
    if (n <= 0) return;
    m_fed += n;
    QByteArray chunk = m_voice.left(n);
    m_voice.remove(0, chunk.size());
    chunk += QByteArray(n - chunk.size(), char(0x80));
    if (m_signedFormat)
        for (char& c : chunk)
            c = char(uchar(c) ^ 0x80);
    QByteArray shielded;
    for (const char c : chunk) {
        shielded += c;
        if (c == DLE) shielded += DLE;
    }
    Send(shielded);
}

bool TModemSim::LoadVoice(const QString& file) {
    WAVEFORMATEX format;
    QByteArray samples;
    if (!ReadWaveFile(file, &format, &samples)) return false;
    TWaveConverter converter(format, WAVEFORMATEX::Pcm(8000, 8, 1));
    if (!converter.Valid()) return false;
    m_voice = converter.Convert(samples, true);
    return true;
}

// As a USB modem's device name disappears when it is unplugged, the link goes too: left in
// place it would name a freed terminal that another program may take next.
void TModemSim::Unplug() {
    delete m_reader;
    m_reader = nullptr;
    m_hostWatch.stop();
    if (m_master >= 0) ::close(m_master);
    m_master = -1;
    if (!m_link.isEmpty()) QFile::remove(m_link);
}
