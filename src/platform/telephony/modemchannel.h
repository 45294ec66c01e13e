#pragma once
// The conversation with a modem: AT commands one at a time, each with its own time-out,
// answered by a final result; unsolicited lines (rings, caller ID) and <DLE> events go to
// their own signals. Garbage, NUL bytes and over-long lines are dropped.

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QQueue>
#include <QTimer>
#include <functional>
#include <optional>

#include "platform/telephony/dlecodec.h"
#include "platform/telephony/serialport.h"

class TModemChannel : public QObject {
    Q_OBJECT
public:
    // Final result of a command: "OK", "ERROR", "CONNECT", "BUSY", ... or "TIMEOUT" and
    // "CLOSED" when the modem did not answer or the port went away.
    using Done = std::function<void(const QByteArray& result, const QList<QByteArray>& lines)>;

    explicit TModemChannel(QObject* parent = nullptr);
    bool Open(const QString& path);
    void Close();
    // Every waiting command ends as if the port had closed, and the port stays open: what the
    // modem sends goes on arriving.
    void AbandonCommands();
    bool IsOpen() const { return m_port.IsOpen(); }
    QString ErrorText() const { return m_port.ErrorText; }

    void Command(const QByteArray& command, Done done, int timeoutMs);
    // Bytes sent as they are (no CR), ahead of queued commands and even while held; the
    // answer is awaited like a command's. Ends voice data: <DLE><ETX>, <DLE>!, ...
    void Raw(const QByteArray& bytes, Done done, int timeoutMs);
    // While held (voice data flowing) queued commands wait.
    void Hold(bool held);
    void WriteRaw(const QByteArray& bytes) { m_port.Write(bytes); }
    bool Busy() const { return m_current.has_value(); }
    TDleDecoder& Decoder() { return m_decoder; }
    TSerialPort& Port() { return m_port; }

    static bool IsFinal(const QByteArray& line);
    static bool IsUnsolicited(const QByteArray& line);

signals:
    void Line(const QByteArray& line);
    void Event(char code);
    void Failed(const QString& reason);

private:
    struct Pending {
        QByteArray Text;
        Done Finished;
        int TimeoutMs;
        bool IsRaw = false;
    };
    void Text(char byte);
    void Complete(const QByteArray& line);
    void Finish(const QByteArray& result);
    void StartNext();
    void AbandonAll();

    TSerialPort m_port;
    TDleDecoder m_decoder;
    QByteArray m_line;
    QQueue<Pending> m_queue;
    std::optional<Pending> m_current;
    QList<QByteArray> m_lines;
    QTimer m_timeout;
    bool m_held = false;
};
