#pragma once
// A real analog voice modem on a serial port, driven with the V.253 voice command set, as a
// line device: rings and caller ID become an offered call, answering takes the line off hook
// in voice mode, touch tones and the far end hanging up are reported, calls are dialled and
// dropped, and the speaker phone path is switched. The port is shared with other programs
// through its UUCP lock.

#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/telephony/callerid.h"
#include "platform/telephony/linedevice.h"
#include "platform/telephony/modemchannel.h"
#include "platform/telephony/portlock.h"
#include "platform/telephony/voicechannel.h"

class TV253Line : public QObject, public TLineDevice {
    Q_OBJECT
public:
    // Times that tests shorten.
    static int RingTimeoutMs;     // no ring for this long: the caller gave up
    static int CommandTimeoutMs;  // an ordinary command
    static int DialTimeoutMs;     // dialling until the call is answered or refused
    static int CallerIdQuietMs;   // a caller ID block with no line for this long is complete
    static int CallerIdExpiryMs;  // a block that no ring follows within this long is noise

    TV253Line(const QString& name, const QString& path);
    ~TV253Line() override;
    QString Path() const { return m_path; }

    QString Name() const override { return m_name; }
    qint32 GetDevCaps(LINEDEVCAPS* caps) override;
    qint32 Open(TLineEventSink* sink, quint32 mediaModes) override;
    void Close() override;
    qint32 GetCallInfo(HCALL call, LINECALLINFO* info) override;
    qint32 GetCallStatus(HCALL call, LINECALLSTATUS* status) override;
    qint32 Accept(HCALL call, qint32 requestId) override;
    qint32 Answer(HCALL call, qint32 requestId) override;
    qint32 MonitorDigits(HCALL call, quint32 digitModes) override;
    qint32 Drop(HCALL call, qint32 requestId) override;
    qint32 MakeCall(qint32 requestId, const QByteArray& number, const LINECALLPARAMS& params,
                    HCALL* call) override;
    qint32 GetID(HCALL call, quint32 select, const QByteArray& deviceClass, VARSTRING* id) override;
    qint32 GetPhoneCaps(PHONECAPS* caps) override;
    qint32 OpenPhone(TPhoneEventSink* sink) override;
    void ClosePhone() override;
    qint32 SetHookSwitch(qint32 requestId, quint32 devices, quint32 mode) override;

    // The voice format chosen from what the modem lists, e.g. "130,8000" ("" before the first
    // open or on a modem without voice).
    QByteArray VoiceFormat() const { return m_vsm; }
    static QByteArray ChooseVoiceFormat(const QList<QByteArray>& vsmLines,
                                        TVoiceChannel::Kind* kind = nullptr);
    // The voice channel's wave device IDs of a line device.
    static int WaveOutId(quint32 deviceId) { return VoiceWaveOutId(deviceId); }
    static int WaveInId(quint32 deviceId) { return VoiceWaveInId(deviceId); }

private:
    enum class Mode { Idle, Offering, Answering, Connected, Dialing, Dropping };
    // Setting the modem up after the port opened, one command after the other.
    enum class Step {
        Reset,
        Echo,
        Identity,
        Classes,
        ProbeVoice,
        Formats,
        Paths,
        Voice,
        VoiceFormat,
        Silence,
        Extension,
        CallerId,
        CallerIdAlt,
        Ready
    };

    void Send(Step step);
    void Answered(Step step, const QByteArray& result, const QList<QByteArray>& lines);
    void ProbeDone();
    void Ready();
    void OpenFailed(const QByteArray& result);
    void Trace(const QString& text);
    // A problem that repeats at every attempt (a missing or busy port) is logged once.
    void TraceOnce(const QString& text);
    void OnLine(const QByteArray& line);
    void OnEvent(char code);
    void OnRing();
    void OnPortFailed();
    void ReleasePort();
    qint32 Listen(TLineEventSink* sink);
    void OnLockChanged();
    void FinishCallerId();
    // A block with no call to go to yet: the next ring's, unless it expires first.
    void HoldForNextRing(const TCallerId& id);
    void OnExtension(char code);
    void FarEndGone(quint32 mode);
    void Idle();

    QString m_name;
    QString m_path;
    TModemChannel m_channel;
    std::unique_ptr<TPortLock> m_lock;
    QFileSystemWatcher m_lockWatch;
    TLineEventSink* m_sink = nullptr;
    TPhoneEventSink* m_phoneSink = nullptr;

    quint64 m_generation = 0;  // each opening's answers are its own
    bool m_capsNew = false;    // the abilities were just read: the program is told
    QString m_lastProblem;

    // Read from the modem once and kept.
    bool m_probed = false;
    bool m_voice = true;  // until the modem says otherwise
    bool m_speaker = false;
    bool m_extensionOffHook = false;  // a phone in the house is lifted
    QByteArray m_identity;
    QByteArray m_vsm;
    TVoiceChannel::Kind m_voiceKind = TVoiceChannel::Unsigned8;
    std::unique_ptr<TVoiceChannel> m_voiceChannel;

    Mode m_mode = Mode::Idle;
    HCALL m_call = 0;
    quint32 m_callState = 0;
    bool m_monitorDigits = false;
    TCallerIdAssembler m_assembler;
    TCallerId m_callerId;
    bool m_haveCallerId = false;
    TCallerId m_early;  // a block that came before the first ring
    bool m_haveEarly = false;
    QTimer m_ringTimer;
    QTimer m_callerIdTimer;
    QTimer m_earlyTimer;
    // A closed line lets its port go at the next turn of the event loop: the reopening after
    // every call keeps it, and with it whatever the modem sent in between.
    QTimer m_release;
};

// Every modem of lines.conf and /dev/serial/by-id as a line device.
class TV253Provider : public TLineProvider {
public:
    TV253Provider();
    ~TV253Provider() override;
    QList<TLineDevice*> Devices() override;
    QString ByIdFolder = QStringLiteral("/dev/serial/by-id");

private:
    std::map<std::pair<QString, QString>, std::unique_ptr<TV253Line>> m_lines;
};
