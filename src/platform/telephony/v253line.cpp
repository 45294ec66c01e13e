#include "platform/telephony/v253line.h"

#include <QFile>
#include <QLoggingCategory>
#include <QtEndian>

#include "platform/telephony/linelist.h"

Q_LOGGING_CATEGORY(lcModem, "ringvale.modem", QtInfoMsg)

int TV253Line::RingTimeoutMs = 8000;
int TV253Line::CommandTimeoutMs = 2000;
int TV253Line::DialTimeoutMs = 90000;
int TV253Line::CallerIdQuietMs = 1000;
int TV253Line::CallerIdExpiryMs = 6000;

namespace {
constexpr quint32 kVoiceModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_INTERACTIVEVOICE |
                                LINEMEDIAMODE_AUTOMATEDVOICE | LINEMEDIAMODE_DATAMODEM;

// The numbers in a list such as "0,1,1.0,2,8" or "(0-5,8),(0,1)".
QList<int> Numbers(const QByteArray& text) {
    QList<int> numbers;
    QByteArray digits;
    for (const char c : text + ',') {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == '.' && !digits.isEmpty()) {
            digits += c;
        } else {
            if (!digits.isEmpty() && !digits.contains('.')) numbers << digits.toInt();
            if (c == '-' && !digits.isEmpty() && !numbers.isEmpty()) numbers << -1;  // a range mark
            digits.clear();
        }
    }
    // Expand ranges a-b.
    QList<int> expanded;
    for (qsizetype i = 0; i < numbers.size(); ++i) {
        if (numbers[i] == -1 && i > 0 && i + 1 < numbers.size())
            for (int n = expanded.last() + 1; n < numbers[i + 1]; ++n)
                expanded << n;
        else
            expanded << numbers[i];
    }
    return expanded;
}

// "0,1,1.0,2,8" or "(0-2,8)", with or without a "+FCLASS:" in front.
bool IsClassList(const QByteArray& line) {
    const QByteArray list = line.startsWith("+FCLASS:") ? line.mid(8).trimmed() : line.trimmed();
    return !list.isEmpty() && std::all_of(list.begin(), list.end(), [](char c) {
        return (c >= '0' && c <= '9') || QByteArray(",.()- ").contains(c);
    });
}

// Only what a dial string may hold reaches the modem: no command can ride along.
QByteArray DialDigits(const QByteArray& number) {
    QByteArray out;
    for (const char c : number)
        if ((c >= '0' && c <= '9') || QByteArray("*#,WwTtPp!@ABCDabcd").contains(c)) out += c;
    return out;
}
}  // namespace

TV253Line::TV253Line(const QString& name, const QString& path) : m_name(name), m_path(path) {
    m_ringTimer.setSingleShot(true);
    m_callerIdTimer.setSingleShot(true);
    connect(&m_ringTimer, &QTimer::timeout, this, [this] {
        if (m_mode == Mode::Offering) FarEndGone(LINEDISCONNECTMODE_NOANSWER);
    });
    connect(&m_callerIdTimer, &QTimer::timeout, this, &TV253Line::FinishCallerId);
    // Line noise, or a modem's late block after a missed call, must not be pinned on the
    // next real caller.
    m_earlyTimer.setSingleShot(true);
    connect(&m_earlyTimer, &QTimer::timeout, this, [this] {
        if (!m_haveEarly) return;
        m_haveEarly = false;
        Trace(QStringLiteral("caller ID with no ring after it: dropped"));
    });
    m_release.setSingleShot(true);
    connect(&m_release, &QTimer::timeout, this, &TV253Line::ReleasePort);
    connect(&m_channel, &TModemChannel::Line, this, &TV253Line::OnLine);
    connect(&m_channel, &TModemChannel::Event, this, &TV253Line::OnEvent);
    connect(&m_channel, &TModemChannel::Failed, this, &TV253Line::OnPortFailed);
    connect(&m_lockWatch, &QFileSystemWatcher::fileChanged, this, &TV253Line::OnLockChanged);
    connect(&m_lockWatch, &QFileSystemWatcher::directoryChanged, this, &TV253Line::OnLockChanged);
}

TV253Line::~TV253Line() {
    Close();
    ReleasePort();
}

void TV253Line::Trace(const QString& text) {
    qCInfo(lcModem).noquote() << m_name << text;
}

void TV253Line::TraceOnce(const QString& text) {
    if (text == m_lastProblem) return;
    m_lastProblem = text;
    Trace(text);
}

qint32 TV253Line::GetDevCaps(LINEDEVCAPS* caps) {
    caps->LineName = m_name.toLatin1();
    caps->ProviderInfo = m_identity;
    // Until the modem has been asked, it is taken for a voice modem.
    caps->dwMediaModes = m_voice ? kVoiceModes : LINEMEDIAMODE_DATAMODEM;
    return 0;
}

// The port is opened and locked at once; the modem is then set up by a chain of commands
// that never waits inside a call. A modem that does not answer closes the line again, which
// the program handles as any closed line: it reconnects when the modem is back.
qint32 TV253Line::Open(TLineEventSink* sink, quint32) {
    if (m_sink) return LINEERR_ALLOCATED;
    if (m_release.isActive() && m_channel.IsOpen()) {
        m_release.stop();  // reopened at once: the port and its lock are still ours
        return Listen(sink);
    }
    m_lock = std::make_unique<TPortLock>(m_path);
    const TPortLock::Result locked = m_lock->Acquire();
    if (locked == TPortLock::Busy) {
        TraceOnce(m_lock->ErrorText);
        m_lock.reset();
        return LINEERR_RESOURCEUNAVAIL;
    }
    if (locked == TPortLock::Failed) Trace(QStringLiteral("no lock file: ") + m_lock->ErrorText);
    if (!m_channel.Open(m_path)) {
        TraceOnce(QStringLiteral("cannot open ") + m_path + QStringLiteral(": ") +
                  m_channel.ErrorText());
        m_lock.reset();
        return QFile::exists(m_path) ? LINEERR_RESOURCEUNAVAIL : LINEERR_NODEVICE;
    }
    return Listen(sink);
}

// The modem is set up again from its reset, for this sink.
qint32 TV253Line::Listen(TLineEventSink* sink) {
    if (m_lock->Held()) {  // another program may take the modem from here on
        m_lockWatch.addPath(m_lock->Path());
        m_lockWatch.addPath(TPortLock::Folder());
    }
    m_sink = sink;
    ++m_generation;
    Send(Step::Reset);
    return 0;
}

void TV253Line::Send(Step step) {
    static const QByteArray kCommands[] = {
        "ATZ",         "ATE0V1Q0", "ATI3",     "AT+FCLASS=?", "AT+FCLASS=8", "AT+VSM=?", "AT+VLS=?",
        "AT+FCLASS=8", "AT+VSM=",  "AT+VIT=0", "AT-STE=2",    "AT+VCID=1",   "AT#CID=1"};
    if (step == Step::Ready) return Ready();
    QByteArray command = kCommands[int(step)];
    if (step == Step::VoiceFormat) command += m_vsm;
    const quint64 generation = m_generation;
    m_channel.Command(
        command,
        [this, step, generation](const QByteArray& result, const QList<QByteArray>& lines) {
            if (generation == m_generation && m_sink) Answered(step, result, lines);
        },
        CommandTimeoutMs);
}

// Reset, echo off, verbose results, voice mode, caller ID on. The modem's abilities are read
// the first time only. Caller ID is lost across a reset on some modems: it is sent every time.
void TV253Line::Answered(Step step, const QByteArray& result, const QList<QByteArray>& lines) {
    if (result == "TIMEOUT" || result == "CLOSED") return OpenFailed(result);
    const bool ok = result == "OK";
    switch (step) {
        case Step::Reset:
            return Send(Step::Echo);
        case Step::Echo:
            if (!ok) return OpenFailed(result);
            return Send(!m_probed ? Step::Identity : m_voice ? Step::Voice : Step::CallerId);
        case Step::Identity:
            if (ok && !lines.isEmpty()) m_identity = lines.first().left(64);
            return Send(Step::Classes);
        case Step::Classes:
            // A result the modem still owed a program before (one killed as it sent its last
            // command) shifts every answer by one: the class list is then some other text, and
            // the modem would be taken for one without voice. The set-up starts again instead.
            if (ok && !lines.isEmpty() && !std::any_of(lines.begin(), lines.end(), IsClassList))
                return OpenFailed("an answer that is no class list");
            m_voice = ok && !lines.isEmpty() && Numbers(lines.join(',')).contains(8);
            if (m_voice) return Send(Step::ProbeVoice);
            ProbeDone();
            return Send(Step::CallerId);
        case Step::ProbeVoice:
            return Send(Step::Formats);
        case Step::Formats:
            if (ok) m_vsm = ChooseVoiceFormat(lines, &m_voiceKind);
            return Send(Step::Paths);
        case Step::Paths:
            // Speaker phone: the mic-and-speaker-on-line path (7) among the analog paths.
            m_speaker = ok && std::any_of(lines.begin(), lines.end(), [](const QByteArray& l) {
                            const QList<int> n =
                                Numbers(l.left(l.indexOf(',') < 0 ? l.size() : l.indexOf(',')));
                            return !n.isEmpty() && n.first() == 7;
                        });
            ProbeDone();
            return Send(Step::Voice);
        case Step::Voice:
            return Send(m_vsm.isEmpty() ? Step::Silence : Step::VoiceFormat);
        case Step::VoiceFormat:
            return Send(Step::Silence);
        case Step::Silence:
            return Send(Step::Extension);
        case Step::Extension:  // reports of a phone in the house lifted, where the modem has them
            return Send(Step::CallerId);
        case Step::CallerId:
            return Send(ok ? Step::Ready : Step::CallerIdAlt);
        case Step::CallerIdAlt:
            if (!ok) Trace(QStringLiteral("no caller ID"));
            return Send(Step::Ready);
        case Step::Ready:
            return;
    }
}

void TV253Line::ProbeDone() {
    m_probed = true;
    m_capsNew = true;
    Trace(QStringLiteral("identity \"%1\" voice %2 speaker phone %3 format %4")
              .arg(QString::fromLatin1(m_identity),
                   m_voice ? QStringLiteral("yes") : QStringLiteral("no"),
                   m_speaker ? QStringLiteral("yes") : QStringLiteral("no"),
                   QString::fromLatin1(m_vsm)));
}

void TV253Line::Ready() {
    if (m_voice && !m_vsm.isEmpty()) {
        m_voiceChannel = std::make_unique<TVoiceChannel>(m_channel, m_name);
        m_voiceChannel->SetFormat(m_voiceKind);
        m_voiceChannel->Register(WaveOutId(DeviceId), WaveInId(DeviceId));
    }
    m_lastProblem.clear();
    m_sink->DevState(LINEDEVSTATE_CONNECTED);  // set up and listening
    if (std::exchange(m_capsNew, false)) m_sink->DevState(LINEDEVSTATE_CAPSCHANGE);
}

// The modem stopped answering while it was being set up: the port is let go and the line
// reports itself closed, so the program reconnects once the modem is back.
void TV253Line::OpenFailed(const QByteArray& result) {
    TraceOnce(QStringLiteral("the modem did not answer its set-up (") +
              QString::fromLatin1(result) + QStringLiteral(")"));
    ++m_generation;
    m_channel.Close();
    m_lock.reset();
    m_mode = Mode::Idle;
    if (m_sink) m_sink->Closed();
}

// 8-bit linear unsigned PCM first, then signed 8-bit, mu-law and A-law, all at 8000 Hz.
QByteArray TV253Line::ChooseVoiceFormat(const QList<QByteArray>& vsmLines,
                                        TVoiceChannel::Kind* kind) {
    int best = -1, bestRank = 100;
    for (const QByteArray& raw : vsmLines) {
        const QByteArray line = raw.startsWith("+VSM:") ? raw.mid(5).trimmed() : raw.trimmed();
        const qsizetype comma = line.indexOf(',');
        if (comma <= 0) continue;
        bool ok = false;
        const int cml = line.left(comma).trimmed().toInt(&ok);
        if (!ok) continue;
        const QByteArray name = line.mid(comma + 1).toUpper();
        const bool bits8 = name.contains(",8,") || name.contains("8-BIT") || name.contains("8 BIT");
        int rank = 100;
        if (name.contains("UNSIGNED PCM") && bits8)
            rank = 0;
        else if (name.contains("8-BIT LINEAR"))
            rank = 0;
        else if (name.contains("SIGNED PCM") && bits8)
            rank = 1;
        else if (name.contains("ULAW") || name.contains("MU-LAW"))
            rank = 2;
        else if (name.contains("ALAW") || name.contains("A-LAW"))
            rank = 3;
        if (rank < bestRank) {
            best = cml;
            bestRank = rank;
        }
    }
    if (kind) {
        static const TVoiceChannel::Kind kKinds[] = {TVoiceChannel::Unsigned8,
                                                     TVoiceChannel::Signed8, TVoiceChannel::MuLaw,
                                                     TVoiceChannel::ALaw};
        *kind = bestRank < 4 ? kKinds[bestRank] : TVoiceChannel::Unsigned8;
    }
    return best < 0 ? QByteArray() : QByteArray::number(best) + ",8000";
}

void TV253Line::Close() {
    m_ringTimer.stop();
    m_callerIdTimer.stop();
    if (!m_lockWatch.files().isEmpty()) m_lockWatch.removePaths(m_lockWatch.files());
    if (!m_lockWatch.directories().isEmpty()) m_lockWatch.removePaths(m_lockWatch.directories());
    // A transfer still running is ended on the modem (its owner hears so), then the call is
    // hung up, before the port closes.
    if (m_voiceChannel && m_voiceChannel->Active()) m_voiceChannel->End(true);
    // A call only ringing has not taken the line off hook: there is nothing to hang up.
    if (m_channel.IsOpen() && m_mode != Mode::Idle && m_mode != Mode::Offering)
        m_channel.WriteRaw("ATH0\r");
    // Commands still waiting learn that the port closed; none of them reports any more. They
    // hear it while the voice channel some of them belong to still exists.
    ++m_generation;
    m_sink = nullptr;
    m_channel.AbandonCommands();
    m_voiceChannel.reset();
    m_phoneSink = nullptr;
    // A caller who rang as the call before was hung up rings again on the reopened line, and
    // the caller ID already sent waits for that ring; so does a block waiting for its ring
    // (it expires by itself). The reopening of the line between two calls must not lose them.
    if (m_mode == Mode::Offering && m_haveCallerId) HoldForNextRing(m_callerId);
    if (m_assembler.HasData()) {
        const TCallerId id = m_assembler.Finish();
        if (!id.IsEmpty()) HoldForNextRing(id);
    }
    m_mode = Mode::Idle;
    m_call = 0;
    m_callState = 0;
    m_monitorDigits = false;
    m_haveCallerId = false;
    m_assembler.Clear();
    if (!m_channel.IsOpen()) return;
    m_release.start(0);
}

void TV253Line::ReleasePort() {
    m_release.stop();
    if (m_sink) return;
    m_channel.Close();
    m_lock.reset();
}

void TV253Line::OnPortFailed() {
    Trace(QStringLiteral("port lost"));
    if (m_voiceChannel) m_voiceChannel->Lost();
    m_ringTimer.stop();
    m_lock.reset();
    if (m_sink) m_sink->Closed();
}

// Another program has taken the modem: let it go.
void TV253Line::OnLockChanged() {
    if (!m_lock || !m_lock->Held() || m_lock->StillOurs()) return;
    Trace(QStringLiteral("another program took the modem"));
    ++m_generation;  // a set-up still under way ends here, with this one report
    m_lock.reset();  // removes nothing: the lock is theirs now
    if (m_voiceChannel) m_voiceChannel->Lost();
    m_channel.Close();
    m_ringTimer.stop();
    if (m_sink) m_sink->Closed();
}

void TV253Line::OnLine(const QByteArray& line) {
    if (line == "RING" || line.startsWith("RING ")) return OnRing();
    if (m_assembler.Take(line)) {
        if (m_assembler.Complete())
            FinishCallerId();
        else
            m_callerIdTimer.start(CallerIdQuietMs);
        return;
    }
    Trace(QStringLiteral("ignored: ") + QString::fromLatin1(line.left(80)));
}

void TV253Line::OnRing() {
    if (!m_sink) return;
    if (m_assembler.HasData()) FinishCallerId();  // a ring ends the block
    if (m_mode == Mode::Idle) {
        // A line that rings is free: a phone reported lifted earlier has been put down since.
        m_extensionOffHook = false;
        m_mode = Mode::Offering;
        m_callState = LINECALLSTATE_OFFERING;
        m_call = m_sink->NewCall();
        m_sink->CallState(m_call, LINECALLSTATE_OFFERING, 0, LINECALLPRIVILEGE_OWNER);
        if (m_haveEarly) {  // caller ID sent before the first ring
            m_earlyTimer.stop();
            m_callerId = m_early;
            m_haveEarly = false;
            m_haveCallerId = true;
            m_sink->CallInfo(m_call, LINECALLINFOSTATE_CALLERID);
        }
    }
    if (m_mode != Mode::Offering) return;
    m_sink->DevState(LINEDEVSTATE_RINGING);
    m_ringTimer.start(RingTimeoutMs);
}

void TV253Line::FinishCallerId() {
    m_callerIdTimer.stop();
    if (!m_assembler.HasData()) return;
    const TCallerId id = m_assembler.Finish();
    if (!m_sink || id.IsEmpty()) return;
    if (m_mode == Mode::Idle) return HoldForNextRing(id);  // a newer block replaces an older one
    // Another caller's block during a call is the next caller's: the one before gave up after
    // a ring, sooner than the ring timeout could tell, and the ring counted for it was the new
    // caller's. Still ringing, that call ends and the block waits for the new caller's next
    // ring; already being answered, the call is the new caller's and gets its caller ID. A
    // block repeated by the modem is the same caller's and changes nothing.
    const bool another =
        m_haveCallerId && (id.Number != m_callerId.Number || id.Name != m_callerId.Name ||
                           id.Flags != m_callerId.Flags);
    if (another && m_mode == Mode::Offering) {
        Trace(QStringLiteral("caller ID of a new caller (%1 %2, was %3 %4): the call before "
                             "has ended")
                  .arg(QString::fromLatin1(id.Number), QString::fromLatin1(id.Name),
                       QString::fromLatin1(m_callerId.Number),
                       QString::fromLatin1(m_callerId.Name)));
        HoldForNextRing(id);
        return FarEndGone(LINEDISCONNECTMODE_NOANSWER);
    }
    if (another && (m_mode == Mode::Answering || m_mode == Mode::Connected)) {
        Trace(QStringLiteral("caller ID of a new caller on the answered line"));
        m_callerId = id;
        return m_sink->CallInfo(m_call, LINECALLINFOSTATE_CALLERID);
    }
    if (m_mode != Mode::Offering || m_haveCallerId) return;
    m_callerId = id;
    m_haveCallerId = true;
    m_sink->CallInfo(m_call, LINECALLINFOSTATE_CALLERID);
}

void TV253Line::HoldForNextRing(const TCallerId& id) {
    m_early = id;
    m_haveEarly = true;
    m_earlyTimer.start(CallerIdExpiryMs);
}

void TV253Line::OnEvent(char code) {
    if (!m_sink) return;
    if (code == 'R') return OnRing();
    if (code == 'P' || code == 'H' || code == 'p' || code == 'h') return OnExtension(code);
    if (m_mode != Mode::Connected) return;
    if ((code >= '0' && code <= '9') || code == '*' || code == '#' ||
        (code >= 'A' && code <= 'D')) {
        if (m_monitorDigits) m_sink->Digit(m_call, code);
        return;
    }
    // Some modems report a dial tone falsely while voice data flows: only believed between.
    const bool transfer = m_voiceChannel && m_voiceChannel->Active();
    quint32 mode = 0;
    switch (code) {
        case 'b':
            mode = LINEDISCONNECTMODE_BUSY;
            break;
        case 'd':
            mode = transfer ? 0u : quint32(LINEDISCONNECTMODE_NODIALTONE);
            break;
        case 'l':
        case 's':
            mode = LINEDISCONNECTMODE_NORMAL;
            break;
        default:
            Trace(QStringLiteral("event ") + QLatin1Char(code));
    }
    if (!mode) return;
    if (transfer) m_voiceChannel->End(true);  // the caller has gone: the transfer ends now
    FarEndGone(mode);
}

// An extension ('P') or the modem's handset ('H') lifted: a person takes the call, so the modem
// lets go of it at once; lifted while it rings, the call is not answered. The lowercase codes
// put them down.
void TV253Line::OnExtension(char code) {
    m_extensionOffHook = code == 'P' || code == 'H';
    Trace(m_extensionOffHook ? QStringLiteral("a phone in the house is off hook")
                             : QStringLiteral("a phone in the house is on hook"));
    if (!m_extensionOffHook) return;
    if (m_mode == Mode::Offering) {
        // Answered there. The caller ID so far still counts: the program takes it (its message
        // is queued first) before it hears that the call has gone.
        if (m_assembler.HasData()) FinishCallerId();
        QTimer::singleShot(0, this, [this, call = m_call] {
            if (m_mode == Mode::Offering && m_call == call && m_extensionOffHook)
                FarEndGone(LINEDISCONNECTMODE_PICKUP);
        });
        return;
    }
    if (m_mode != Mode::Connected) return;  // still answering: the answer's end sees the flag
    if (m_voiceChannel && m_voiceChannel->Active()) m_voiceChannel->End(true);
    FarEndGone(LINEDISCONNECTMODE_PICKUP);
}

void TV253Line::FarEndGone(quint32 mode) {
    m_ringTimer.stop();
    const bool offered = m_mode == Mode::Offering;
    m_mode = Mode::Dropping;
    m_callState = LINECALLSTATE_DISCONNECTED;
    m_sink->CallState(m_call, LINECALLSTATE_DISCONNECTED, mode);
    // A caller who gave up before the answer leaves nothing to drop.
    if (offered) Idle();
}

void TV253Line::Idle() {
    m_mode = Mode::Idle;
    m_callState = LINECALLSTATE_IDLE;
    if (m_sink && m_call) m_sink->CallState(m_call, LINECALLSTATE_IDLE);
    m_haveCallerId = false;
    m_monitorDigits = false;
}

qint32 TV253Line::GetCallInfo(HCALL call, LINECALLINFO* info) {
    if (call != m_call) return LINEERR_INVALCALLHANDLE;
    FillCallInfo(info, m_haveCallerId ? &m_callerId : nullptr);
    return 0;
}

qint32 TV253Line::GetCallStatus(HCALL call, LINECALLSTATUS* status) {
    if (call != m_call) return LINEERR_INVALCALLHANDLE;
    status->dwCallState = m_callState;
    status->dwCallPrivilege = LINECALLPRIVILEGE_OWNER;
    status->dwCallFeatures = LINECALLFEATURE_DROP;
    if (m_mode == Mode::Offering)
        status->dwCallFeatures |=
            LINECALLFEATURE_ACCEPT | (m_voice ? quint32(LINECALLFEATURE_ANSWER) : 0u);
    if (m_mode == Mode::Connected) status->dwCallFeatures |= LINECALLFEATURE_MONITORDIGITS;
    return 0;
}

qint32 TV253Line::Accept(HCALL call, qint32 requestId) {
    if (call != m_call || m_mode != Mode::Offering) return LINEERR_INVALCALLSTATE;
    m_callState = LINECALLSTATE_ACCEPTED;
    m_sink->Reply(requestId, 0);
    m_sink->CallState(m_call, LINECALLSTATE_ACCEPTED);
    return 0;
}

qint32 TV253Line::Answer(HCALL call, qint32 requestId) {
    if (call != m_call || m_mode != Mode::Offering) return LINEERR_INVALCALLSTATE;
    if (!m_voice) return LINEERR_INVALMEDIAMODE;
    m_ringTimer.stop();
    m_mode = Mode::Answering;
    if (m_extensionOffHook) {  // someone in the house took the call before the answer
        QTimer::singleShot(0, this, [this, requestId] {
            if (!m_sink || m_mode != Mode::Answering) return;
            m_sink->Reply(requestId, LINEERR_OPERATIONFAILED);
            FarEndGone(LINEDISCONNECTMODE_PICKUP);
        });
        return 0;
    }
    m_channel.Command(
        "AT+VLS=1",
        [this, requestId](const QByteArray& result, const QList<QByteArray>&) {
            if (!m_sink || m_mode != Mode::Answering) return;
            if (result != "OK" && result != "VCON") {
                m_sink->Reply(requestId, LINEERR_OPERATIONFAILED);
                return FarEndGone(LINEDISCONNECTMODE_UNAVAIL);
            }
            m_mode = Mode::Connected;
            m_callState = LINECALLSTATE_CONNECTED;
            m_sink->Reply(requestId, 0);
            m_sink->CallState(m_call, LINECALLSTATE_CONNECTED, 0, LINECALLPRIVILEGE_OWNER);
            if (m_extensionOffHook) FarEndGone(LINEDISCONNECTMODE_PICKUP);  // lifted meanwhile
        },
        CommandTimeoutMs);
    return 0;
}

qint32 TV253Line::MonitorDigits(HCALL call, quint32 digitModes) {
    if (call != m_call) return LINEERR_INVALCALLHANDLE;
    m_monitorDigits = digitModes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND);
    return 0;
}

qint32 TV253Line::Drop(HCALL call, qint32 requestId) {
    if (call != m_call || m_mode == Mode::Idle) return LINEERR_INVALCALLSTATE;
    m_ringTimer.stop();
    m_mode = Mode::Dropping;
    m_channel.Command(
        "ATH0",
        [this, requestId](const QByteArray& result, const QList<QByteArray>&) {
            if (!m_sink) return;
            m_sink->Reply(requestId, result == "OK" ? 0 : LINEERR_OPERATIONFAILED);
            Idle();  // a modem that did not answer is reset when the line reopens
        },
        CommandTimeoutMs);
    return 0;
}

qint32 TV253Line::MakeCall(qint32 requestId, const QByteArray& number, const LINECALLPARAMS&,
                           HCALL* call) {
    if (m_mode != Mode::Idle) return LINEERR_CALLUNAVAIL;
    const QByteArray digits = DialDigits(number);
    if (digits.isEmpty()) return LINEERR_INVALADDRESS;
    m_mode = Mode::Dialing;
    m_call = *call = m_sink->NewCall();
    m_callState = LINECALLSTATE_DIALING;
    m_sink->Reply(requestId, 0);
    m_sink->CallState(m_call, LINECALLSTATE_DIALING, 0, LINECALLPRIVILEGE_OWNER);
    m_channel.Command(
        "ATD" + digits,
        [this](const QByteArray& result, const QList<QByteArray>&) {
            if (!m_sink || m_mode != Mode::Dialing) return;
            if (result == "OK" || result == "VCON" || result.startsWith("CONNECT")) {
                m_mode = Mode::Connected;
                m_callState = LINECALLSTATE_CONNECTED;
                return m_sink->CallState(m_call, LINECALLSTATE_CONNECTED, 0,
                                         LINECALLPRIVILEGE_OWNER);
            }
            if (result == "BUSY") {
                m_callState = LINECALLSTATE_BUSY;
                m_sink->CallState(m_call, LINECALLSTATE_BUSY);
            }
            const quint32 mode = result == "BUSY"               ? LINEDISCONNECTMODE_BUSY
                                 : result.startsWith("NO DIAL") ? LINEDISCONNECTMODE_NODIALTONE
                                 : result == "NO ANSWER"        ? LINEDISCONNECTMODE_NOANSWER
                                                                : LINEDISCONNECTMODE_UNAVAIL;
            m_mode = Mode::Dropping;
            m_callState = LINECALLSTATE_DISCONNECTED;
            m_sink->CallState(m_call, LINECALLSTATE_DISCONNECTED, mode);
        },
        DialTimeoutMs);
    return 0;
}

qint32 TV253Line::GetID(HCALL, quint32, const QByteArray& deviceClass, VARSTRING* id) {
    const quint32 size = id->dwTotalSize;
    if (deviceClass == "tapi/phone") {
        *id = BinaryId(DeviceId);
    } else if (m_voiceChannel && (deviceClass == "wave/out" || deviceClass == "wave/in")) {
        *id =
            BinaryId(quint32(deviceClass == "wave/in" ? WaveInId(DeviceId) : WaveOutId(DeviceId)));
    } else {
        return LINEERR_INVALDEVICECLASS;
    }
    id->dwTotalSize = size;
    return 0;
}

qint32 TV253Line::GetPhoneCaps(PHONECAPS* caps) {
    caps->PhoneName = m_name.toLatin1();
    caps->dwSpeakerHookSwitchModes =
        PHONEHOOKSWITCHMODE_ONHOOK | (m_speaker ? quint32(PHONEHOOKSWITCHMODE_MICSPEAKER) : 0u);
    return 0;
}

qint32 TV253Line::OpenPhone(TPhoneEventSink* sink) {
    if (m_phoneSink) return PHONEERR_ALLOCATED;
    if (!m_sink) return PHONEERR_RESOURCEUNAVAIL;  // the modem's port is not open
    m_phoneSink = sink;
    return 0;
}

void TV253Line::ClosePhone() {
    m_phoneSink = nullptr;
}

qint32 TV253Line::SetHookSwitch(qint32 requestId, quint32 devices, quint32 mode) {
    if (!m_phoneSink) return PHONEERR_INVALPHONEHANDLE;
    if (!(devices & PHONEHOOKSWITCHDEV_SPEAKER)) return PHONEERR_INVALHOOKSWITCHDEV;
    QByteArray command;
    if (mode == PHONEHOOKSWITCHMODE_MICSPEAKER && m_speaker)
        command = "AT+VLS=7";
    else if (mode == PHONEHOOKSWITCHMODE_ONHOOK)
        command = m_mode == Mode::Connected ? "AT+VLS=1" : "AT+VLS=0";
    else
        return PHONEERR_INVALHOOKSWITCHMODE;
    m_channel.Command(
        command,
        [this, requestId](const QByteArray& result, const QList<QByteArray>&) {
            if (m_phoneSink)
                m_phoneSink->Reply(requestId, result == "OK" ? 0 : PHONEERR_OPERATIONFAILED);
        },
        CommandTimeoutMs);
    return 0;
}

TV253Provider::TV253Provider() {
    RegisterLineProvider(this);
}

TV253Provider::~TV253Provider() {
    UnregisterLineProvider(this);
}

QList<TLineDevice*> TV253Provider::Devices() {
    QList<TLineDevice*> devices;
    for (const TLineEntry& entry : ListLines(LinesConfPath(), ByIdFolder)) {
        if (IsSipLine(entry)) continue;
        auto& line = m_lines[{entry.Name, entry.Path}];
        if (!line) line = std::make_unique<TV253Line>(entry.Name, entry.Path);
        devices << line.get();
    }
    return devices;
}
