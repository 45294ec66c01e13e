#include "calls/callhandler.h"

#include <QFileInfo>

#include "outgoing/outgoingqueue.h"
#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/wave/sounds.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/greetings.h"
#include "store/phonebook.h"

namespace {
constexpr int kMaxDigits = 80;
constexpr int kRemotePageDelay = 30;
constexpr int kMaxPagedDigits = 23;

}  // namespace

bool IsBlank(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 32; });
}

TCallHandler::TCallHandler(TConfig& config, TCallLog& log, TPhoneBook& phoneBook,
                           TOutgoingQueue& outgoing, TLineSource& lines, TSessionView& view)
    : m_config(config),
      m_log(log),
      m_phoneBook(phoneBook),
      m_outgoing(outgoing),
      m_lines(lines),
      m_view(view) {
    m_screenTimer.setSingleShot(true);
    QObject::connect(&m_screenTimer, &QTimer::timeout, [this] { ScreenTimeUp(); });
}

TTapiEvents TCallHandler::Events() {
    TTapiEvents events;
    events.OnLineEvent = [this](int code, const QString& text) { CallEventHandler(code, text); };
    events.OnTrace = [this](int, const QString& text) {
        if (m_view.PortDataVisible()) Debug(text);
    };
    events.OnCallerId = [this](quint32 flags, const QString& name, const QString& number) {
        CallerIdHandler(flags, name, number);
    };
    return events;
}

void TCallHandler::Debug(const QString& line) {
    m_view.PortDataLine(line);
}

void TCallHandler::Changed() {
    m_view.CallControlsChanged();
}

void TCallHandler::CallEventHandler(int code, const QString& text) {
    // Keys are never written down: they may be the access code.
    if (m_view.PortDataVisible())
        Debug(code == LINE_MONITORDIGITS ? QStringLiteral("Touch tone") : text);
    switch (code) {
        case EV_LINE_OPENED:
            return ResetCallState();
        case EV_CAPS_KNOWN:
            TestSpeakerPhone();
            return Changed();
        case EV_RINGING: {
            OnRing();
            const QString ringing = QStringLiteral("Ringing ") + QString::number(m_ringCount);
            m_controls.StatusText = ringing;
            Debug(ringing);  // kept in the log even while its window is hidden
            return Changed();
        }
        case EV_ANSWERED:
            m_connected = true;
            Debug(QStringLiteral("Answered"));
            m_controls.AnswerHangupCaption = QStringLiteral("Hangup");
            return Changed();
        case EV_CONNECTED:
            return OnConnected();
        case EV_DIALING:
            m_connected = true;
            m_controls.AnswerHangupCaption = QStringLiteral("Hangup");
            m_controls.AnswerHangupHint = QStringLiteral("Hangup");
            m_controls.AnswerHangupEnabled = true;
            return Changed();
        case EV_HUNG_UP:
            CallOver();
            return EndOfCall();
        case LINECALLSTATE_DISCONNECTED:
            return OnDisconnected();
        case LINE_CLOSE:
            CallOver();
            EndOfCall();
            return m_view.StartLineClosedTimer();
        case LINE_MONITORDIGITS:
            return OnDigit(text);
        default:
            return;
    }
}

void TCallHandler::ResetCallState() {
    m_outgoing.CancelActions();
    m_hungUp = false;
    CallOver();
    m_ringCount = 0;
    m_callMode = 0;
    m_connected = false;
    m_digits.clear();
    m_greetingPath.clear();
    m_screen = Screen::Off;
    m_screenKeyed = false;
    m_screenTimer.stop();
    EndOfCall();
    m_callerId = TCallerIdRecord{};
    m_currentRecord = 0;
    m_controls.TakeMessageVisible = false;
    m_controls.ThisCallGroupVisible = false;
    m_controls.AnswerHangupCaption = QStringLiteral("Answer");
    m_controls.AnswerHangupHint.clear();
    m_controls.AnswerHangupVisible = true;
    m_controls.AnswerHangupEnabled = false;
    m_controls.SpeakerPhoneVisible = true;
    TestSpeakerPhone();
    m_lines.LineOpened();
    Changed();
}

// A modem opened for the first time says what it can do only a moment after its line opened:
// the speaker phone is tested again then.
void TCallHandler::TestSpeakerPhone() {
    TTapi* line = m_lines.CurrentLine();
    if (line && line->SetSpeakerPhone(SPK_TEST)) {
        line->SetSpeakerPhone(SPK_OFF);
        m_controls.SpeakerPhoneEnabled = true;
        m_controls.SpeakerPhoneHint = QStringLiteral("Turn speaker phone on or off");
    } else {
        m_controls.SpeakerPhoneEnabled = false;
        m_controls.SpeakerPhoneHint = QStringLiteral("Your modem does not support speaker phone");
    }
}

void TCallHandler::OnRing() {
    if (!IsBlank(m_config.SoundToPlayWhenPhoneRings)) {
        const QString sound = m_config.SoundToPlayWhenPhoneRings;
        PlaySoundNoStop(sound.startsWith(QLatin1Char('/')) ? sound : TProfile::Path(sound));
    }
    m_view.RestoreWindow();
    if (m_controls.AnswerHangupVisible) {
        m_connected = false;
        m_controls.AnswerHangupCaption = QStringLiteral("Answer");
        m_controls.AnswerHangupHint = QStringLiteral("Answer this incoming call");
        m_controls.AnswerHangupEnabled = true;
    }
    ++m_ringCount;
    if (m_config.RingsToAnswer != 0) {
        m_controls.TakeMessageVisible = true;
        if (m_ringCount == quint32(m_config.RingsToAnswer)) TakeMessageButtonClick();
    }
    if (m_ringCount == 3 && IsBlank(m_callerId.CallerName) && IsBlank(m_callerId.CallerNumber))
        CallerIdHandler(0, QStringLiteral("Unknown"), QLatin1String(kNoNumber));
}

void TCallHandler::CallerIdHandler(quint32, const QString& name, const QString& number) {
    m_callerId.CallerName = name.left(63);
    m_callerId.CallerNumber = number.left(31);
    // Caller ID again during the call: a new caller, who gets a record of its own and the
    // message still to come.
    const bool recordingForThisCall = m_recordingFor && m_recordingFor == m_currentRecord;
    NewIncomingCall();
    if (recordingForThisCall && !m_messageSaved) m_recordingFor = m_currentRecord;
}

void TCallHandler::NewIncomingCall() {
    CallLogRecord* record = m_log.NewLogRecord();
    if (!record) return;
    m_currentRecord = record->Id;
    if (m_config.FlashCaller()) m_view.ShowWindow();
    record->Time = qint32(TClock::Now());
    TCallLog::FillLogRecord(record, m_callerId.CallerName, m_callerId.CallerNumber);
    ChooseCallAction(record);
    m_log.AppendCallLog(*record);
    m_view.HistoryRowAdded(record);
}

void TCallHandler::ChooseCallAction(CallLogRecord* record) {
    if (m_config.FlashCaller()) {
        m_view.ShowWindow();
        m_view.PagingStatusChanged();
    }
    PhoneBookEntry* entry = m_phoneBook.FindCaller(record->Number, record->Name);
    m_greetingPath.clear();
    if (entry) {
        // Names from the phone book file stay inside their folders.
        if (!IsBlank(entry->PersonalGreeting))
            m_greetingPath = QStringLiteral("Greetings/") + FileNamePart(entry->PersonalGreeting);
        if (!IsBlank(entry->SoundFile))
            PlaySoundAsync(TProfile::Path(QStringLiteral("Personal Sounds/") +
                                          FileNamePart(entry->SoundFile)));
        if (entry->ActionFlags & ActionHangUp) {
            // Automatic diallers drop a number that answers with these tones.
            if (entry->ActionFlags & ActionDisconnectedTone)
                m_greetingPath = QStringLiteral("System Sounds/disconnected.wav");
            m_callMode |= CM_GREETING_ONLY;
            m_outgoing.QueueAction(ACTION_ANSWER, 0);
            record->Actions |= LOG_HUNG_UP;
        }
        ++entry->TimesCalled;
    }
    if (ShouldScreen(entry)) {  // answered at once, to hear the prompt
        m_screen = Screen::Prompting;
        m_callMode |= CM_GREETING_ONLY;
        m_outgoing.QueueAction(ACTION_ANSWER, 0);
    }
    if (m_config.FlashCaller())
        m_view.ShowCallerPopup((entry ? entry->DisplayName : record->Name) + QLatin1Char('\r') +
                               record->Number);
    if (m_outgoing.ShouldPage(entry, record->Number)) record->Actions |= LOG_PAGED;
    if (m_greetingPath.isEmpty())
        m_greetingPath = QStringLiteral("Greetings/") + PickRandomGreeting();
}

void TCallHandler::TakeMessageButtonClick() {
    if (IsBlank(m_callerId.CallerName) && IsBlank(m_callerId.CallerNumber))
        CallerIdHandler(0, QStringLiteral("Unknown"), QLatin1String(kNoNumber));
    m_callMode |= CM_TAKE_MESSAGE | CM_LISTEN_IN;
    if (TTapi* line = m_lines.CurrentLine()) line->Answer();
}

void TCallHandler::MessageSaved(const QString& name) {
    m_messageSaved = !name.isEmpty();
    CallLogRecord* record = m_log.Find(m_recordingFor ? m_recordingFor : m_currentRecord);
    if (!record) return;
    record->MessageFile = name;
    if (m_messageSaved) {
        record->Actions |= LOG_TOOK_MESSAGE;
        record->Heard = 0;
    } else {
        record->Actions &= ~quint32(LOG_TOOK_MESSAGE);
    }
    if (record->Offset < 0)
        m_log.AppendCallLog(*record);  // its first append failed: one more try
    else
        m_log.UpdateRecord(*record);
}

CallLogRecord* TCallHandler::CurrentLogRecord() const {
    return m_currentRecord ? m_log.Find(m_currentRecord) : nullptr;
}

void TCallHandler::AnswerHangupButtonClick() {
    TTapi* line = m_lines.CurrentLine();
    if (!line) return;
    if (m_connected) {
        line->Hangup();
        return;
    }
    m_callMode |= CM_LISTEN_IN;
    line->Answer();
}

void TCallHandler::UseSpeakerPhoneButtonClick(bool checked) {
    m_config.SetUseSpeakerPhoneButton(checked);
    if (TTapi* line = m_lines.CurrentLine()) line->SetSpeakerPhone(checked ? SPK_ON : SPK_OFF);
}

void TCallHandler::OnConnected() {
    m_controls.TakeMessageVisible = false;
    Changed();
    TTapi* line = m_lines.CurrentLine();
    if (!line || !line->IsCallOwner()) return;
    if (line->Incoming) {
        m_messageSaved = false;
        if (m_callMode & CM_GREETING_ONLY) {
            m_answering = true;
            m_view.PlayGreeting();
        } else if (m_callMode & CM_TAKE_MESSAGE) {
            m_recordingFor = m_currentRecord;
            m_answering = true;
            m_view.TakeMessage();
        }
    } else if (m_outgoing.CurrentOutgoing()) {
        m_outgoing.OnOutgoingConnected();
        m_controls.ThisCallGroupVisible = true;
        Changed();
    }
    if ((m_callMode & CM_LISTEN_IN) && m_config.UseSpeakerPhoneButton())
        line->SetSpeakerPhone(SPK_ON);
}

// The caller gone, the message taken, the remote player closed: whichever comes first hangs
// up, at once. A second hang-up for the same call would reach the modem as the next caller
// rings, and drop that caller.
void TCallHandler::HangUpOnce() {
    if (std::exchange(m_hungUp, true)) return;
    m_outgoing.QueueAction(ACTION_HANG_UP, 0);
}

// Every way a call ends (the far end, our hang-up, the line closing under it, the line
// reopening) comes here: a placed call reaches the history and leaves no mark behind.
void TCallHandler::EndOfCall() {
    m_outgoing.OnOutgoingEnded(std::exchange(m_disconnectMode, 0u));
}

// The call is over for good (hung up, the line closed or reopened): whatever still serves it
// stops now, keeping what the caller said, and nothing it reports later reaches the next call.
void TCallHandler::CallOver() {
    const bool serving = m_answering || m_remoteRetrieval;
    m_answering = false;
    m_remoteRetrieval = false;
    if (serving) m_view.CallEnded();
}

void TCallHandler::RemotePlayerClosed() {
    if (!m_remoteRetrieval) return;  // the call it served has ended already
    HangUpOnce();
}

bool TCallHandler::RemoteAccessLockEnded() {
    return m_access.LockEnded(TClock::Now());
}

qint64 TCallHandler::RemoteAccessLockedUntil() const {
    return m_access.Locked(TClock::Now()) ? m_access.LockedUntil() : 0;
}

void TCallHandler::OnDisconnected() {
    if (TTapi* line = m_lines.CurrentLine()) m_disconnectMode = line->DisconnectMode;
    if (m_disconnectMode == LINEDISCONNECTMODE_PICKUP) MarkPickedUp();
    EndOfCall();
    m_controls.TakeMessageVisible = false;
    Changed();
    m_view.CallerGone();
    if (m_remoteRetrieval) m_view.RemoteCommand(RC_QUIT);
    HangUpOnce();
}

QString TCallHandler::GreetingPath() const {
    if (m_screen != Screen::Prompting) return m_greetingPath;
    // A prompt of the user's own, recorded or put among the greetings, replaces the shipped one.
    const QString own = QStringLiteral("Greetings/Press a key.wav");
    return QFileInfo(TProfile::Path(own)).isFile()
               ? own
               : QStringLiteral("System Sounds/press-a-key.wav");
}

bool TCallHandler::ShouldScreen(const PhoneBookEntry* entry) const {
    if (!m_config.ScreenUnknownCallers() || m_config.RingsToAnswer == 0 ||
        m_config.MaximumRecordTimeComboBox == 0 || (m_callMode & CM_GREETING_ONLY))
        return false;
    return !entry || (IsNumberPattern(entry->Number) && !(entry->ActionFlags & ActionHangUp));
}

void TCallHandler::ScreenKey() {
    if (m_screen == Screen::Prompting) m_screenKeyed = true;
    if (m_screen != Screen::Waiting) return;
    m_screen = Screen::Passed;
    m_screenTimer.start(0);
}

// The prompt has played: a key already pressed lets the caller on; otherwise the wait starts.
// The message run starts from the event loop, not from inside the run that just ended.
void TCallHandler::ScreenPromptDone() {
    m_screen = m_screenKeyed ? Screen::Passed : Screen::Waiting;
    m_screenTimer.start(m_screenKeyed ? 0 : kScreenKeyMs);
}

void TCallHandler::ScreenTimeUp() {
    const Screen stage = std::exchange(m_screen, Screen::Off);
    if (m_hungUp || !m_connected || m_remoteRetrieval) return;
    if (stage == Screen::Waiting) {  // no key: a machine, most likely
        if (CallLogRecord* record = CurrentLogRecord()) {
            record->Actions |= LOG_SCREENED_OUT;
            if (record->Offset >= 0) m_log.UpdateRecord(*record);
        }
        m_view.CallStatus(QStringLiteral("Screened out"));
        return HangUpOnce();
    }
    if (stage != Screen::Passed) return;
    m_callMode = (m_callMode & ~quint32(CM_GREETING_ONLY)) | CM_TAKE_MESSAGE;
    m_messageSaved = false;
    m_recordingFor = m_currentRecord;
    m_answering = true;
    m_view.TakeMessage();
}

// Someone in the house took the call: the log says so at once; what the caller said so far is
// kept by the recording's own end.
void TCallHandler::MarkPickedUp() {
    CallLogRecord* record = CurrentLogRecord();
    if (!record) return;
    record->Actions |= LOG_PICKED_UP;
    if (record->Offset >= 0) m_log.UpdateRecord(*record);
    m_view.CallStatus(QStringLiteral("Picked up"));
}

void TCallHandler::OnDigit(const QString& text) {
    if (text.isEmpty()) return;
    ScreenKey();
    const QChar digit = text.at(0);
    if (digit == QLatin1Char('#')) {
        m_digits.clear();
        return;
    }
    if (m_digits.size() >= kMaxDigits) return;
    m_digits += digit;
    HandleRemoteDigit(digit.toLatin1());
}

// The access code, keyed after "#" (or as the call's first keys), starts remote retrieval;
// while it runs, the three chosen keys replay, go forward or go back.
void TCallHandler::HandleRemoteDigit(char digit) {
    const QString code = m_config.MessagePasswordEdit;
    // No code chosen: remote access is off. Locked: no code is even looked at.
    if (IsBlank(code) || (!m_remoteRetrieval && m_access.Locked(TClock::Now()))) return;
    if (m_digits == code) {
        if (m_remoteRetrieval) return;  // keyed again while it runs: one player only
        m_remoteRetrieval = true;
        Debug(QStringLiteral("Remote retrieval"));
        m_view.StartRemoteRetrieval();
        m_view.RemoteCommand(RC_PLAY);
        return;
    }
    if (!m_remoteRetrieval) {
        if (m_digits.size() == code.size()) WrongAccessCode();
        return;
    }
    const char next = m_config.NextMessageComboBox, previous = m_config.PreviousMessageComboBox,
               current = m_config.CurrentMessageComboBox;
    if (digit == next)
        m_view.RemoteCommand(RC_NEXT);
    else if (digit == previous)
        m_view.RemoteCommand(RC_PREVIOUS);
    else if (digit == current)
        m_view.RemoteCommand(RC_REWIND);
}

// A whole code, and not the right one: the call is marked, and the tenth within an hour locks
// remote access for an hour and ends the call at once.
void TCallHandler::WrongAccessCode() {
    if (CallLogRecord* record = CurrentLogRecord(); record && !(record->Actions & LOG_WRONG_CODE)) {
        record->Actions |= LOG_WRONG_CODE;
        m_log.UpdateRecord(*record);
        m_view.HistoryChanged();
    }
    if (!m_access.WrongCode(TClock::Now())) return;
    Debug(QStringLiteral("Too many wrong access codes: hanging up"));
    m_view.RemoteAccessChanged();
    if (TTapi* line = m_lines.CurrentLine()) line->Hangup();
}

void TCallHandler::Completion(int outcome) {
    if (!std::exchange(m_answering, false)) return;  // a run of a call that has ended
    if (m_screen == Screen::Prompting && !m_hungUp && m_connected && !m_remoteRetrieval)
        return ScreenPromptDone();
    if (outcome == OUTCOME_MESSAGE) {
        CallLogRecord* record = CurrentLogRecord();
        if (record && !record->MessageFile.isEmpty()) {
            record->Actions |= LOG_TOOK_MESSAGE;
            record->Heard = 0;
        }
        HangUpOnce();
        if (!m_digits.isEmpty() && !m_remoteRetrieval && m_config.AllowRemotePage()) {
            const QString digits =
                m_digits.size() >= 32 ? m_digits.left(kMaxPagedDigits) : m_digits;
            m_outgoing.QueuePage(digits, kRemotePageDelay);
        }
        return;
    }
    // A message already saved stays tied to its call, whatever ends the run after it.
    CallLogRecord* record = CurrentLogRecord();
    if (record && !m_messageSaved) record->MessageFile.clear();
    if (m_remoteRetrieval) return;  // the remote player owns the call now
    HangUpOnce();
}
