#include "platform/telephony/sipline.h"

#include <linphone/core.h>
#include <linphone/factory.h>

#include <QHostAddress>
#include <QHostInfo>
#include <QLoggingCategory>

#include "platform/profile.h"
#include "platform/telephony/linelist.h"

Q_LOGGING_CATEGORY(lcSip, "ringvale.sip", QtInfoMsg)

int TSipLine::RingIntervalMs = 6000;
int TSipLine::ReleaseMs = 3000;

namespace {
constexpr quint32 kVoiceModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;
constexpr int kMaxStrangersLogged = 100;
constexpr int kDoubledKeyMs = 300;
constexpr int kKeyMs =
    250;  // the stack keys a string of touch tones about this fast  // a key's event follows its
          // tones within this  // a flood from many senders does not fill the log

QByteArray HeaderOf(LinphoneCall* call, const char* name) {
    const LinphoneCallParams* params = linphone_call_get_remote_params(call);
    const char* value = params ? linphone_call_params_get_custom_header(params, name) : nullptr;
    return value ? QByteArray(value) : QByteArray();
}

// "host", "host:port", "[v6]" or "[v6]:port" without the port, in lower case.
QString HostOf(const QByteArray& hostPort) {
    if (hostPort.startsWith('['))
        return QString::fromLatin1(hostPort.mid(1, hostPort.indexOf(']') - 1)).toLower();
    const qsizetype colon = hostPort.indexOf(':');
    return QString::fromLatin1(colon < 0 ? hostPort : hostPort.left(colon)).toLower();
}

// The host the request came through: the sent-by of its topmost Via.
QString ViaHost(const QByteArray& via) {
    QByteArray sentBy = via.trimmed();
    const qsizetype space = sentBy.indexOf(' ');
    if (space < 0) return QString();
    sentBy = sentBy.mid(space + 1).trimmed();
    for (const char end : {',', ';'}) {
        const qsizetype at = sentBy.indexOf(end);
        if (at >= 0) sentBy.truncate(at);
    }
    return HostOf(sentBy);
}

QByteArray FromOf(LinphoneCall* call) {
    char* text = linphone_address_as_string(linphone_call_get_remote_address(call));
    const QByteArray from(text ? text : "");
    bctbx_free(text);
    return from;
}
}  // namespace

TSipLine::TSipLine(const QString& name, const QString& uri)
    : m_name(name),
      m_audio(name),
      m_stack(m_audio, *this),
      m_secrets(SipKeyringName(name), SipPasswordFileName(name)) {
    m_valid = TSipAddress::Parse(uri, &m_address);
    connect(&m_secrets, &TSecretStore::Fetched, this, &TSipLine::Start);
    connect(&m_ringTimer, &QTimer::timeout, this, &TSipLine::Ring);
    connect(&m_audio, &TSipAudio::KeyHeard, this, &TSipLine::OnKeyHeard);
    m_release.setSingleShot(true);
    connect(&m_release, &QTimer::timeout, this, &TSipLine::StopListening);
}

TSipLine::~TSipLine() {
    Close();
    StopListening();
}

void TSipLine::Trace(const QString& text) const {
    qCInfo(lcSip).noquote() << m_name << text;
}

// The provider's information says what the line is and how it stands: "SIP account
// alice@sip.example.net: registered; codecs PCMU, PCMA, ..." or "SIP address ...: listening on
// ...", or why it is not ("registration refused: 403 Forbidden").
qint32 TSipLine::GetDevCaps(LINEDEVCAPS* caps) {
    caps->LineName = m_name.toLatin1();
    caps->dwMediaModes = kVoiceModes;
    QString state;
    if (m_ready)
        state = m_account ? QStringLiteral("registered")
                          : QStringLiteral("listening on port %1").arg(m_stack.Port());
    else
        state = m_lastProblem.isEmpty() ? QStringLiteral("not listening") : m_lastProblem;
    QString info =
        QStringLiteral("SIP %1 %2@%3: %4")
            .arg(m_account ? QStringLiteral("account") : QStringLiteral("address"),
                 QString::fromUtf8(m_address.User), QString::fromUtf8(m_address.Host), state);
    const QStringList codecs = m_stack.Codecs();
    if (!codecs.isEmpty()) info += QStringLiteral("; codecs ") + codecs.join(QStringLiteral(", "));
    caps->ProviderInfo = info.toUtf8();
    if (!m_ready) caps->Problem = m_lastProblem.toUtf8();
    return 0;
}

void TSipLine::StopListening() {
    m_release.stop();
    m_ready = false;
    if (m_waiting) {
        linphone_call_decline(m_waiting, LinphoneReasonBusy);
        linphone_call_unref(std::exchange(m_waiting, nullptr));
    }
    ForgetCall();
    m_stack.Stop();
}

// The line is open at once; it reports itself listening once the stack runs (and, for an
// account, once it has registered). Starting waits for the account's password from the keyring.
qint32 TSipLine::Open(TLineEventSink* sink, quint32) {
    if (m_sink) return LINEERR_ALLOCATED;
    if (!m_valid) {
        Trace(QStringLiteral("not a SIP address: use sip:USER@HOST:PORT"));
        return LINEERR_RESOURCEUNAVAIL;
    }
    m_release.stop();  // reopened after a call: still listening
    if (!m_devicesRegistered) {
        m_devicesRegistered = true;
        m_audio.Register(VoiceWaveOutId(DeviceId), VoiceWaveInId(DeviceId));
    }
    m_sink = sink;
    if (m_stack.Running()) {
        if (m_ready) Listening();
    } else if (!m_fetching) {
        m_fetching = true;
        m_secrets.Fetch();
    }
    return 0;
}

void TSipLine::Start(const QString& password) {
    m_fetching = false;
    if (!m_sink || m_stack.Running()) return;
    TSipCore::Options options;
    options.Folder = TProfile::Path(QStringLiteral("sip"));
    options.Host = m_address.Host;
    options.Port = m_address.Port;
    options.Transport = m_address.Transport;
    options.Outbound = m_address.Outbound;
    options.Srtp = m_address.Srtp;
    options.DisplayName = m_address.DisplayName;
    options.User = m_address.User;
    options.Password = password;
    QString error;
    if (!m_stack.Start(options, &error)) return Refused(error);
    m_account = !password.isEmpty();
    if (m_account) {
        KnowServers();
        Trace(QStringLiteral("registering as %1@%2")
                  .arg(QString::fromUtf8(m_address.User), QString::fromUtf8(m_address.Host)));
        return;  // listening once registered
    }
    Trace(QStringLiteral("listening on %1 port %2")
              .arg(QString::fromUtf8(m_address.Host))
              .arg(m_stack.Port()));
    m_ready = true;
    Listening();
}

// The addresses of the registrar and of the outbound proxy, as Via headers name them.
void TSipLine::KnowServers() {
    m_servers.clear();
    m_strangers.clear();
    for (const QByteArray& peer : {m_address.Host, m_address.Outbound}) {
        if (peer.isEmpty()) continue;
        const QString host = HostOf(peer);
        m_servers.insert(host);
        if (!QHostAddress(host).isNull()) continue;
        QHostInfo::lookupHost(host, this, [this](const QHostInfo& info) {
            for (const QHostAddress& address : info.addresses())
                m_servers.insert(address.toString().toLower());
        });
    }
}

void TSipLine::Listening() {
    m_lastProblem.clear();
    m_sink->DevState(LINEDEVSTATE_CONNECTED);
    if (m_waiting) {  // a caller rang while the line was reopening
        LinphoneCall* call = std::exchange(m_waiting, nullptr);
        if (linphone_call_get_state(call) == LinphoneCallStateIncomingReceived) Offer(call);
        linphone_call_unref(call);
    }
}

// The stack could not start or the account was refused: the line closes, and the program
// opens it again later as it does a modem that is not there.
void TSipLine::Refused(const QString& reason) {
    if (reason != m_lastProblem) Trace(reason);  // tried again at every connect
    m_lastProblem = reason;
    if (m_sink) m_sink->Closed();
    // Not from inside the stack's own turn, which may be what reports the refusal.
    QTimer::singleShot(0, this, [this] {
        if (m_mode == Mode::Idle) StopListening();
    });
}

void TSipLine::OnRegistration(bool registered, const QString& reason) {
    if (!registered) {
        m_ready = false;
        if (m_mode != Mode::Idle) return;  // the call goes on; the stack keeps trying
        return Refused(QStringLiteral("registration refused: ") + reason);
    }
    if (m_ready) return;  // a refresh
    Trace(QStringLiteral("registered"));
    m_ready = true;
    if (m_sink) Listening();
}

// The program closes and reopens the line after every call: the stack keeps listening for a
// moment, so that a caller who rings again at once is not turned away.
void TSipLine::Close() {
    if (!m_sink) return;
    m_audio.End(false);
    if (m_sipCall && m_mode != Mode::Idle) {
        m_mode = Mode::Dropping;
        linphone_call_terminate(m_sipCall);
    }
    ForgetCall();
    m_sink = nullptr;
    m_mode = Mode::Idle;
    m_ringTimer.stop();
    if (m_stack.Running()) m_release.start(ReleaseMs);
}

void TSipLine::OnCallState(LinphoneCall* call, int state) {
    if (state == LinphoneCallStateIncomingReceived) return Offer(call);
    if (call == m_waiting && (state == LinphoneCallStateEnd || state == LinphoneCallStateError))
        linphone_call_unref(std::exchange(m_waiting, nullptr));
    if (call != m_sipCall) return;
    switch (state) {
        case LinphoneCallStateStreamsRunning:
            if (m_mode == Mode::Dialing) return m_afterAnswer.isEmpty() ? Connected() : KeyPage();
            if (m_mode != Mode::Answering) return;
            m_sink->Reply(std::exchange(m_answerRequest, 0), 0);
            return Connected();
        case LinphoneCallStateEnd:
        case LinphoneCallStateError:
            if (m_mode == Mode::Dropping || m_mode == Mode::Idle) return ForgetCall();
            if (m_mode == Mode::Dialing || m_mode == Mode::Keying) {
                NotReached(linphone_call_get_reason(call));
                return ForgetCall();
            }
            if (m_mode == Mode::Answering && m_answerRequest)
                m_sink->Reply(std::exchange(m_answerRequest, 0), LINEERR_OPERATIONFAILED);
            // Whatever the caller said until the BYE is kept: the recording ends with it.
            m_audio.End(true);
            FarEndGone(m_mode == Mode::Offering ? LINEDISCONNECTMODE_NOANSWER
                                                : LINEDISCONNECTMODE_NORMAL);
            ForgetCall();
            return;
        default:
            return;
    }
}

void TSipLine::Connected() {
    m_mode = Mode::Connected;
    m_callState = LINECALLSTATE_CONNECTED;
    m_sink->CallState(m_call, LINECALLSTATE_CONNECTED, 0, LINECALLPRIVILEGE_OWNER);
}

// A page, answered: its digits go as touch tones after the pauses the dial string asks for
// (two seconds a comma, as a modem pauses). As on a modem, whose dialing ends only once the
// whole string is keyed, the call counts as connected when the last digit has gone: the
// program hangs a page up a few seconds after that.
void TSipLine::KeyPage() {
    m_mode = Mode::Keying;
    const QByteArray digits = std::exchange(m_afterAnswer, QByteArray());
    QTimer::singleShot(m_pauseMs, this, [this, call = m_call, digits] {
        if (m_call != call || m_mode != Mode::Keying || !m_sipCall) return;
        linphone_call_send_dtmfs(m_sipCall, digits.constData());
        QTimer::singleShot(int(digits.size()) * kKeyMs, this, [this, call] {
            if (m_call == call && m_mode == Mode::Keying) Connected();
        });
    });
}

// Busy, no answer, or anything else: the results the outgoing queue tells apart.
void TSipLine::NotReached(int reason) {
    quint32 mode = LINEDISCONNECTMODE_UNAVAIL;
    if (reason == LinphoneReasonBusy) {
        mode = LINEDISCONNECTMODE_BUSY;
        m_sink->CallState(m_call, LINECALLSTATE_BUSY);
    } else if (reason == LinphoneReasonNotAnswered ||
               reason == LinphoneReasonTemporarilyUnavailable) {
        mode = LINEDISCONNECTMODE_NOANSWER;
    }
    Trace(QStringLiteral("the call was not answered: %1")
              .arg(QString::fromUtf8(linphone_reason_to_string(LinphoneReason(reason)))));
    m_mode = Mode::Dropping;
    m_callState = LINECALLSTATE_DISCONNECTED;
    m_sink->CallState(m_call, LINECALLSTATE_DISCONNECTED, mode);
}

// A key pressed at the far end arrives as an event (RFC 2833 or SIP INFO) or as its tones in the
// voice. A far end that sends events is taken at its word from then on; one that sends both at
// once is heard once, whichever comes first.
void TSipLine::OnDigit(LinphoneCall* call, char digit) {
    if (call != m_sipCall) return;
    m_keyEvents = true;
    if (digit == m_lastToneKey && m_sinceToneKey.isValid() &&
        m_sinceToneKey.elapsed() < kDoubledKeyMs)
        return;
    Key(digit);
}

void TSipLine::OnKeyHeard(char key) {
    if (m_keyEvents || !m_sipCall) return;
    m_lastToneKey = key;
    m_sinceToneKey.start();
    Key(key);
}

void TSipLine::Key(char key) {
    if (m_mode != Mode::Connected || !m_monitorDigits) return;
    m_sink->Digit(m_call, key);
}

// An account takes calls only through its provider's server: anything else on the open
// internet (scanners send INVITEs to every port they find) is refused without a ring, and
// logged once per sender.
bool TSipLine::FromServer(LinphoneCall* call) {
    const QString host = ViaHost(HeaderOf(call, "Via"));
    if (!host.isEmpty() && m_servers.contains(host)) return true;
    if (m_strangers.size() < kMaxStrangersLogged && !m_strangers.contains(host)) {
        m_strangers.insert(host);
        Trace(QStringLiteral("a call from %1, not the account's server: refused")
                  .arg(host.isEmpty() ? QStringLiteral("an unknown sender") : host));
    }
    return false;
}

// A caller while the line is busy with another call hears busy, and the program never sees
// the call. One who rings while the program reopens the line after a call (people who reach an
// answering machine often call again at once) rings on and is offered once it is open.
void TSipLine::Offer(LinphoneCall* call) {
    if (m_account && !FromServer(call)) {
        m_stack.Refused();
        linphone_call_decline(call, LinphoneReasonForbidden);
        return;
    }
    if (m_mode != Mode::Idle || (!m_sink && m_waiting)) {
        if (m_busyRefusals++ == 0)  // once per call: a flood would fill the log
            Trace(QStringLiteral("a call while the line is busy: refused"));
        m_stack.Refused();
        linphone_call_decline(call, LinphoneReasonBusy);
        return;
    }
    if (!m_sink) {
        Trace(QStringLiteral("a call while the line reopens: it rings on"));
        m_waiting = linphone_call_ref(call);
        return;
    }
    m_sipCall = linphone_call_ref(call);
    m_mode = Mode::Offering;
    m_callState = LINECALLSTATE_OFFERING;
    m_call = m_sink->NewCall();
    m_stack.SetInCall(true);
    m_callerId =
        SipCallerId(HeaderOf(call, "P-Asserted-Identity"), HeaderOf(call, "Remote-Party-ID"),
                    FromOf(call), HeaderOf(call, "Privacy"));
    m_haveCallerId = !m_callerId.IsEmpty();
    Trace(QStringLiteral("call from %1").arg(QString::fromUtf8(FromOf(call))));
    m_sink->CallState(m_call, LINECALLSTATE_OFFERING, 0, LINECALLPRIVILEGE_OWNER);
    if (m_haveCallerId) m_sink->CallInfo(m_call, LINECALLINFOSTATE_CALLERID);
    Ring();
    m_ringTimer.start(RingIntervalMs);
}

void TSipLine::Ring() {
    if (m_mode != Mode::Offering) return m_ringTimer.stop();
    m_sink->DevState(LINEDEVSTATE_RINGING);
}

void TSipLine::FarEndGone(quint32 mode) {
    m_ringTimer.stop();
    const bool offered = m_mode == Mode::Offering;
    m_mode = Mode::Dropping;
    m_callState = LINECALLSTATE_DISCONNECTED;
    m_sink->CallState(m_call, LINECALLSTATE_DISCONNECTED, mode);
    // A caller who gave up before the answer leaves nothing to drop.
    if (offered) Idle();
}

void TSipLine::Idle() {
    m_mode = Mode::Idle;
    m_busyRefusals = 0;
    m_callState = LINECALLSTATE_IDLE;
    if (m_sink && m_call) m_sink->CallState(m_call, LINECALLSTATE_IDLE);
    m_haveCallerId = false;
    m_monitorDigits = false;
}

void TSipLine::ForgetCall() {
    if (m_sipCall) linphone_call_unref(std::exchange(m_sipCall, nullptr));
    m_keyEvents = false;
    m_lastToneKey = 0;
    m_stack.SetInCall(false);
}

qint32 TSipLine::GetCallInfo(HCALL call, LINECALLINFO* info) {
    if (call != m_call) return LINEERR_INVALCALLHANDLE;
    FillCallInfo(info, m_haveCallerId ? &m_callerId : nullptr);
    return 0;
}

qint32 TSipLine::GetCallStatus(HCALL call, LINECALLSTATUS* status) {
    if (call != m_call) return LINEERR_INVALCALLHANDLE;
    status->dwCallState = m_callState;
    status->dwCallPrivilege = LINECALLPRIVILEGE_OWNER;
    status->dwCallFeatures = LINECALLFEATURE_DROP;
    if (m_mode == Mode::Offering)
        status->dwCallFeatures |= LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER;
    if (m_mode == Mode::Connected) status->dwCallFeatures |= LINECALLFEATURE_MONITORDIGITS;
    return 0;
}

qint32 TSipLine::Accept(HCALL call, qint32 requestId) {
    if (call != m_call || m_mode != Mode::Offering) return LINEERR_INVALCALLSTATE;
    m_callState = LINECALLSTATE_ACCEPTED;
    m_sink->Reply(requestId, 0);
    m_sink->CallState(m_call, LINECALLSTATE_ACCEPTED);
    return 0;
}

// The answer is done when the media flows both ways; the reply waits for it.
qint32 TSipLine::Answer(HCALL call, qint32 requestId) {
    if (call != m_call || m_mode != Mode::Offering) return LINEERR_INVALCALLSTATE;
    m_ringTimer.stop();
    m_mode = Mode::Answering;
    m_answerRequest = requestId;
    if (linphone_call_accept(m_sipCall) != 0) {
        QTimer::singleShot(0, this, [this, requestId] {
            if (!m_sink || m_mode != Mode::Answering) return;
            m_answerRequest = 0;
            m_sink->Reply(requestId, LINEERR_OPERATIONFAILED);
            FarEndGone(LINEDISCONNECTMODE_UNAVAIL);
        });
    }
    return 0;
}

qint32 TSipLine::MonitorDigits(HCALL call, quint32 digitModes) {
    if (call != m_call) return LINEERR_INVALCALLHANDLE;
    m_monitorDigits = digitModes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND);
    return 0;
}

qint32 TSipLine::Drop(HCALL call, qint32 requestId) {
    if (call != m_call || m_mode == Mode::Idle) return LINEERR_INVALCALLSTATE;
    m_ringTimer.stop();
    m_audio.End(false);
    const bool live = m_sipCall && m_mode != Mode::Dropping;
    m_mode = Mode::Dropping;
    if (live) linphone_call_terminate(m_sipCall);
    ForgetCall();
    m_sink->Reply(requestId, 0);
    Idle();
    return 0;
}

// The number goes to the account's server, or to the outbound peer of a direct address (a
// PBX); what follows the first pause is sent as touch tones once the call is answered.
qint32 TSipLine::MakeCall(qint32 requestId, const QByteArray& number, const LINECALLPARAMS&,
                          HCALL* call) {
    if (m_mode != Mode::Idle || !m_ready) return LINEERR_CALLUNAVAIL;
    const QByteArray peer = m_address.Outbound.isEmpty() && m_account
                                ? m_address.Host + ':' + QByteArray::number(m_address.Port)
                                : m_address.Outbound;
    if (peer.isEmpty()) return LINEERR_OPERATIONUNAVAIL;  // nobody to send calls to
    // The number as a modem dials it: spaces, dashes and brackets are only its formatting, and
    // what follows the first pause is keyed once the call is answered.
    const qsizetype pause = number.indexOf(',');
    QByteArray digits;
    for (const char c : number.left(pause < 0 ? number.size() : pause))
        if (QByteArray("0123456789*#+").contains(c)) digits += c;
    if (digits.isEmpty()) return LINEERR_INVALADDRESS;
    m_pauseMs = 0;
    m_afterAnswer.clear();
    for (const char c : number.mid(pause < 0 ? number.size() : pause)) {
        if (c == ',') m_pauseMs += 2000;
        if ((c >= '0' && c <= '9') || c == '*' || c == '#' || (c >= 'A' && c <= 'D'))
            m_afterAnswer += c;
    }
    const QByteArray uri =
        "sip:" + digits + '@' + peer + TSipAddress::TransportParameter(m_address.Transport);
    Trace(QStringLiteral("calling ") + QString::fromUtf8(uri));
    LinphoneCall* placed = linphone_core_invite(m_stack.Core(), uri.constData());
    if (!placed) return LINEERR_OPERATIONFAILED;
    m_sipCall = linphone_call_ref(placed);
    m_mode = Mode::Dialing;
    m_call = *call = m_sink->NewCall();
    m_callState = LINECALLSTATE_DIALING;
    m_stack.SetInCall(true);
    m_sink->Reply(requestId, 0);
    m_sink->CallState(m_call, LINECALLSTATE_DIALING, 0, LINECALLPRIVILEGE_OWNER);
    return 0;
}

qint32 TSipLine::GetID(HCALL, quint32, const QByteArray& deviceClass, VARSTRING* id) {
    if (deviceClass != "wave/out" && deviceClass != "wave/in") return LINEERR_INVALDEVICECLASS;
    const quint32 size = id->dwTotalSize;
    *id = BinaryId(
        quint32(deviceClass == "wave/in" ? VoiceWaveInId(DeviceId) : VoiceWaveOutId(DeviceId)));
    id->dwTotalSize = size;
    return 0;
}

TSipProvider::TSipProvider() {
    RegisterLineProvider(this);
}

TSipProvider::~TSipProvider() {
    UnregisterLineProvider(this);
}

QList<TLineDevice*> TSipProvider::Devices() {
    QList<TLineDevice*> devices;
    for (const TLineEntry& entry : ReadLinesConf(LinesConfPath())) {
        if (!IsSipLine(entry)) continue;
        auto& line = m_lines[{entry.Name, entry.Path}];
        if (!line) line = std::make_unique<TSipLine>(entry.Name, entry.Path);
        devices << line.get();
    }
    return devices;
}
