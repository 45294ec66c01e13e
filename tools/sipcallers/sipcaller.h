#pragma once
// A caller on SIP, on the loopback address, on the same SIP stack as the program (the tests'
// callers, the demo's): it calls with a name and a number, speaks a tone (or given samples)
// once answered, keys digits, keeps what it hears and hangs up. It also takes calls on its own
// port (answering them, or busy), keeping the digits keyed to it.

#include <QBuffer>
#include <QList>
#include <QPair>

#include "platform/telephony/sipaudio.h"
#include "platform/telephony/sipcore.h"

// An endless sine, 16-bit at 8000 Hz.
class TToneSource : public QIODevice {
public:
    explicit TToneSource(double hz) : m_hz(hz) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 1 << 20; }

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    double m_hz;
    qint64 m_sample = 0;
};

class TSipCaller : public QObject, private TSipCallListener {
    Q_OBJECT
public:
    using Headers = QList<QPair<QByteArray, QByteArray>>;
    enum class Taking { Answer, Busy };
    enum class Voice { Plain, Encrypted };  // SRTP, and calls without it refused
    explicit TSipCaller(const QString& folder, double toneHz = 440, Voice voice = Voice::Plain);
    ~TSipCaller() override;
    bool Started() const { return m_stack.Running(); }
    QString Error() const { return m_error; }

    // Calls uri ("sip:line@127.0.0.1:5090") as from ("\"Ann Smith\" <sip:5551234@127.0.0.1>").
    bool Call(const QByteArray& uri, const QByteArray& from, const Headers& headers = {});
    // What it says once answered instead of the tone: 16-bit samples at 8000 Hz.
    void SetVoice(const QByteArray& samples);
    void Keys(const QByteArray& digits);
    // Calls to 127.0.0.1:Port() are answered, or refused busy.
    void TakeCalls(Taking how) { m_taking = how; }
    int Port() const { return m_stack.Port(); }
    QByteArray DigitsReceived() const { return m_digits; }
    // The number the call it took was placed to.
    QByteArray Called() const { return m_called; }
    void HangUp();
    bool Answered() const { return m_answered; }
    bool Ended() const { return m_ended; }
    // The call's voice is encrypted (SRTP).
    bool Encrypted() const;
    // What it heard since the answer, 16-bit at 8000 Hz.
    QByteArray Heard() const { return m_heard.data(); }

    // The main frequency of 16-bit samples, from their zero crossings.
    static double ToneHz(const QByteArray& samples);

private:
    void OnCallState(_LinphoneCall* call, int state) override;
    void OnDigit(_LinphoneCall*, char digit) override { m_digits += digit; }
    void OnRegistration(bool, const QString&) override {}

    TSipAudio m_audio;
    TSipCore m_stack;
    QString m_error;
    TToneSource m_tone;
    QBuffer m_voice;
    QBuffer m_heard;
    _LinphoneCall* m_call = nullptr;
    bool m_answered = false;
    bool m_ended = false;
    Taking m_taking = Taking::Answer;
    QByteArray m_digits;
    QByteArray m_called;
};
