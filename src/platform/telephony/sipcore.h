#pragma once
// One SIP stack (liblinphone) on the program's thread: it listens on one address and port,
// hands calls and touch tones to its listener, and carries a call's voice through a TSipAudio
// instead of a sound card. Its database is kept in memory (a stack that cannot open one never
// starts and turns every call away) and its other files in a folder of the program's.

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include "platform/telephony/sipaddress.h"

struct _LinphoneCore;
struct _LinphoneCall;
class TSipAudio;

class TSipCallListener {
public:
    virtual ~TSipCallListener() = default;
    // A call's new state (a LinphoneCallState), called from inside the stack's turn.
    virtual void OnCallState(_LinphoneCall* call, int state) = 0;
    virtual void OnDigit(_LinphoneCall* call, char digit) = 0;
    // The account registered (or registered again), or was refused with the registrar's reason
    // ("403 Forbidden").
    virtual void OnRegistration(bool registered, const QString& reason) = 0;
};

class TSipCore : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString Folder;   // for the stack's files
        QByteArray Host;  // a numeric address is listened on alone; a name means everywhere
        int Port = 5060;  // -1: any free port
        TSipTransport Transport = TSipTransport::Udp;
        // With a password the stack registers USER@Host (at Host:Port) instead of listening
        // there, on a port of its own, through the outbound proxy when one is named.
        QByteArray User;
        QString Password;
        QByteArray Outbound;
        QString DisplayName;  // what callers see of the calls placed
        bool Srtp = false;    // the voice is encrypted, and calls that cannot be are refused
    };

    TSipCore(TSipAudio& audio, TSipCallListener& listener);
    ~TSipCore() override;

    // False with *error when the stack cannot run or cannot listen where asked.
    bool Start(const Options& options, QString* error);
    void Stop();
    bool Running() const { return m_core != nullptr; }
    _LinphoneCore* Core() const { return m_core; }
    // The port it listens on.
    int Port() const { return m_port; }
    // The voice codecs it offers, in its order of preference.
    QStringList Codecs() const;
    // In a call the stack is given its turn often; idle, rarely.
    void SetInCall(bool inCall);
    // The listener refused a call: more may be queued behind it.
    void Refused();
    // The listener, for the stack's callbacks; counts them.
    TSipCallListener* Heard();

private:
    void Iterate();
    void Configure(const Options& options);
    bool Register(const Options& options);

    TSipAudio& m_audio;
    TSipCallListener& m_listener;
    _LinphoneCore* m_core = nullptr;
    int m_port = 0;
    bool m_inCall = false;
    quint64 m_heard = 0;  // callbacks so far
    QElapsedTimer m_sinceRefusal;
    QTimer m_iterate;
};
