#include "platform/telephony/modemchannel.h"

namespace {
constexpr int kMaxLine = 512;
}  // namespace

TModemChannel::TModemChannel(QObject* parent) : QObject(parent) {
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] { Finish("TIMEOUT"); });
    connect(&m_port, &TSerialPort::Received, this,
            [this](const QByteArray& bytes) { m_decoder.Feed(bytes); });
    connect(&m_port, &TSerialPort::Failed, this, [this](const QString& reason) {
        AbandonAll();
        emit Failed(reason);
    });
    m_decoder.OnText = [this](char byte) { Text(byte); };
    m_decoder.OnEvent = [this](char code) { emit Event(code); };
}

bool TModemChannel::Open(const QString& path) {
    m_decoder.Reset();
    m_decoder.SetReceiving(false);
    m_line.clear();
    return m_port.Open(path);
}

void TModemChannel::Close() {
    m_port.Close();
    AbandonAll();
}

void TModemChannel::AbandonCommands() {
    m_held = false;
    AbandonAll();
}

// Every waiting command learns that the port is gone, so no caller waits for ever.
void TModemChannel::AbandonAll() {
    m_timeout.stop();
    QList<Pending> waiting;
    if (m_current) waiting << *std::exchange(m_current, std::nullopt);
    while (!m_queue.isEmpty())
        waiting << m_queue.dequeue();
    for (const Pending& pending : waiting)
        if (pending.Finished) pending.Finished("CLOSED", {});
}

bool TModemChannel::IsFinal(const QByteArray& line) {
    static const QList<QByteArray> kFinal = {
        "OK",         "ERROR",       "CONNECT",      "VCON",      "BUSY",
        "NO CARRIER", "NO DIALTONE", "NO DIAL TONE", "NO ANSWER", "LINE-IN-USE"};
    for (const QByteArray& final : kFinal)
        if (line == final || (final == "CONNECT" && line.startsWith("CONNECT "))) return true;
    return false;
}

bool TModemChannel::IsUnsolicited(const QByteArray& line) {
    if (line == "RING" || line.startsWith("RING ")) return true;
    static const QList<QByteArray> kLabels = {"DATE", "TIME",     "NMBR", "NAME",
                                              "MESG", "DDN_NMBR", "NBR"};
    const qsizetype eq = line.indexOf('=');
    return eq > 0 && kLabels.contains(line.left(eq).trimmed().toUpper());
}

void TModemChannel::Text(char byte) {
    if (byte == '\r' || byte == '\n') {
        if (!m_line.isEmpty()) Complete(m_line);
        m_line.clear();
        return;
    }
    if (byte == '\0') return;
    if (m_line.size() < kMaxLine) m_line += byte;
}

void TModemChannel::Complete(const QByteArray& raw) {
    const QByteArray line = raw.trimmed();
    if (line.isEmpty()) return;
    if (m_current && line.startsWith("AT") && line.mid(2) == m_current->Text.mid(2))
        return;  // echo
    if (IsUnsolicited(line) || !m_current) {
        emit Line(line);
        return;
    }
    if (IsFinal(line)) return Finish(line);
    m_lines << line;
}

void TModemChannel::Command(const QByteArray& command, Done done, int timeoutMs) {
    if (!m_port.IsOpen()) {
        if (done) done("CLOSED", {});
        return;
    }
    m_queue.enqueue({command, std::move(done), timeoutMs, false});
    StartNext();
}

void TModemChannel::Raw(const QByteArray& bytes, Done done, int timeoutMs) {
    if (!m_port.IsOpen()) {
        if (done) done("CLOSED", {});
        return;
    }
    m_queue.prepend({bytes, std::move(done), timeoutMs, true});
    StartNext();
}

void TModemChannel::Hold(bool held) {
    m_held = held;
    if (!m_held) StartNext();
}

// Exactly one command is in flight: a completion may queue, hold or release commands, and
// whichever of them asks first starts the next; the others find it running.
void TModemChannel::StartNext() {
    if (m_current || m_queue.isEmpty() || !m_port.IsOpen()) return;
    if (m_held && !m_queue.head().IsRaw) return;
    m_current = m_queue.dequeue();
    m_lines.clear();
    m_timeout.start(m_current->TimeoutMs);
    m_port.Write(m_current->IsRaw ? m_current->Text : m_current->Text + '\r');
}

void TModemChannel::Finish(const QByteArray& result) {
    if (!m_current) return;
    m_timeout.stop();
    const Pending done = *std::exchange(m_current, std::nullopt);
    const QList<QByteArray> lines = std::exchange(m_lines, {});
    if (done.Finished) done.Finished(result, lines);
    StartNext();
}
