#pragma once
// A SIP address as a line device, on liblinphone: an INVITE becomes an offered call with its
// caller ID and a ring at once and every 6 seconds while it rings; answering accepts it, the
// call's voice is a pair of wave devices (no sound card is opened), touch tones come as RFC 2833
// events, SIP INFO or in-band tones, and a BYE or CANCEL is the caller hanging up.
//
// lines.conf names the address "NAME = sip:USER@HOST:PORT" (";transport=tcp" for TCP). With no
// password kept for the line, it listens there for calls sent straight to it (an analogue
// adapter, a PBX). With one (in the keyring, or the file SipPasswordFileName in the data folder),
// it is an account: it registers USER with the registrar at HOST:PORT and takes the calls the
// provider sends it. Calls placed go to the account's server, or for a direct address to the
// peer named by ";outbound=HOST:PORT" (a PBX).

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/secretstore.h"
#include "platform/telephony/callerid.h"
#include "platform/telephony/linedevice.h"
#include "platform/telephony/sipaddress.h"
#include "platform/telephony/sipaudio.h"
#include "platform/telephony/sipcore.h"

class TSipLine : public QObject, public TLineDevice, private TSipCallListener {
    Q_OBJECT
public:
    static int RingIntervalMs;  // how often a ringing call rings
    static int ReleaseMs;       // a closed line stops listening after this long

    TSipLine(const QString& name, const QString& uri);
    ~TSipLine() override;
    // The port the line listens on (an account's is any free one); 0 while it does not.
    int Port() const { return m_stack.Port(); }

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

private:
    enum class Mode { Idle, Offering, Answering, Dialing, Keying, Connected, Dropping };

    void OnCallState(_LinphoneCall* call, int state) override;
    void OnDigit(_LinphoneCall* call, char digit) override;
    void OnKeyHeard(char key);
    void Key(char key);
    void OnRegistration(bool registered, const QString& reason) override;
    void Start(const QString& password);
    void Listening();
    void Refused(const QString& reason);
    void KnowServers();
    bool FromServer(_LinphoneCall* call);
    void Connected();
    void KeyPage();
    void NotReached(int reason);
    void StopListening();
    void Trace(const QString& text) const;
    void Offer(_LinphoneCall* call);
    void Ring();
    void FarEndGone(quint32 mode);
    void Idle();
    void ForgetCall();

    QString m_name;
    TSipAddress m_address;
    bool m_valid = false;
    TLineEventSink* m_sink = nullptr;
    TSipAudio m_audio;
    TSipCore m_stack;
    TSecretStore m_secrets;
    bool m_fetching = false;    // the password
    bool m_ready = false;       // listening, or registered
    bool m_account = false;     // registered with a password
    QSet<QString> m_servers;    // addresses an account's calls may come through
    QSet<QString> m_strangers;  // others that sent calls, logged once
    int m_busyRefusals = 0;     // calls refused during this one
    QString m_lastProblem;
    bool m_devicesRegistered = false;

    Mode m_mode = Mode::Idle;
    HCALL m_call = 0;
    _LinphoneCall* m_sipCall = nullptr;  // referenced while it is ours
    _LinphoneCall* m_waiting = nullptr;  // came while the line was closed between two calls
    quint32 m_callState = 0;
    qint32 m_answerRequest = 0;
    bool m_monitorDigits = false;
    bool m_keyEvents = false;  // the far end sends its keys as events: tones are not listened for
    char m_lastToneKey = 0;    // and when it was heard, so that an event for it is not doubled
    QElapsedTimer m_sinceToneKey;
    QByteArray m_afterAnswer;  // a page's digits
    int m_pauseMs = 0;
    TCallerId m_callerId;
    bool m_haveCallerId = false;

    QTimer m_ringTimer;
    QTimer m_release;
};

// Every SIP address of lines.conf as a line device.
class TSipProvider : public TLineProvider {
public:
    TSipProvider();
    ~TSipProvider() override;
    QList<TLineDevice*> Devices() override;

private:
    std::map<std::pair<QString, QString>, std::unique_ptr<TSipLine>> m_lines;
};
