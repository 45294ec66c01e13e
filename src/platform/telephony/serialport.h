#pragma once
// A serial port in raw 8N1 at 115200, read and written without ever blocking: reads arrive
// through a socket notifier, writes queue until the port takes them. A read or write error
// (the modem unplugged, the far side of a pseudo-terminal gone) closes the port at once.
// While a steady stream comes in (voice data, every 10 ms from a USB modem) the port can be
// read on a timer instead: one wake-up gathers many pieces, which the driver's buffer holds.

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class QSocketNotifier;

class TSerialPort : public QObject {
    Q_OBJECT
public:
    explicit TSerialPort(QObject* parent = nullptr);
    ~TSerialPort() override;

    bool Open(const QString& path);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }
    void Write(const QByteArray& bytes);
    // Drops what is queued but not yet written (and what the driver still holds).
    void DiscardOutput();
    qint64 Pending() const { return m_out.size(); }
    // Reads every intervalMs instead of at each arrival; 0 goes back to reading at arrival.
    void SetReadInterval(int intervalMs);
    QString ErrorText;

signals:
    void Received(const QByteArray& bytes);
    void Failed(const QString& reason);  // the port has been closed

private:
    void ReadReady();
    void WriteReady();
    void Fail(int error);

    int m_fd = -1;
    QSocketNotifier* m_reader = nullptr;
    QSocketNotifier* m_writer = nullptr;
    QByteArray m_out;
    QTimer m_readTimer;
};
