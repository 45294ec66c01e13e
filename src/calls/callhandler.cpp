#include "calls/callhandler.h"

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

template <typename F, typename... Args>
void Call(const F& hook, Args&&... args) {
    if (hook) hook(std::forward<Args>(args)...);
}
}  // namespace

bool IsBlank(const QString& text) {
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 32; });
}

TCallHandler::TCallHandler(TConfig& config, TCallLog& log, TPhoneBook& phoneBook,
                           TOutgoingQueue& outgoing)
    : m_config(config), m_log(log), m_phoneBook(phoneBook), m_outgoing(outgoing) {}

TTapiEvents TCallHandler::Events() {
    TTapiEvents events;
    events.OnLineEvent = [this](int code, const QString& text) { CallEventHandler(code, text); };
    events.OnTrace = [this](int, const QString& text) {
        if (DebugVisible && DebugVisible()) Debug(text);
    };
    events.OnCallerId = [this](quint32 flags, const QString& name, const QString& number) {
        CallerIdHandler(flags, name, number);
    };
    return events;
}

void TCallHandler::Debug(const QString& line) {
    Call(DebugLine, line);
}

void TCallHandler::Changed() {
    Call(ControlsChanged);
}

void TCallHandler::CallEventHandler(int code, const QString& text) {
    if (DebugVisible && DebugVisible()) Debug(text);
    switch (code) {
        case EV_LINE_OPENED:
            return ResetCallState();
        case EV_RINGING: {
            OnRing();
            const QString ringing = QStringLiteral("Ringing ") + QString::number(RingCount);
            Controls.StatusText = ringing;
            Debug(ringing);  // kept in the log even while its window is hidden
            return Changed();
        }
        case EV_ANSWERED:
            Debug(QStringLiteral("Answered"));
            Controls.AnswerHangupCaption = QStringLiteral("Hangup");
            return Changed();
        case EV_CONNECTED:
            return OnConnected();
        case EV_DIALING:
            Controls.AnswerHangupCaption = QStringLiteral("Hangup");
            Controls.AnswerHangupHint = QStringLiteral("Hangup");
            Controls.AnswerHangupEnabled = true;
            return Changed();
        case EV_HUNG_UP:
            return EndOfCall();
        case LINECALLSTATE_DISCONNECTED:
            return OnDisconnected();
        case LINE_CLOSE:
            EndOfCall();
            return Call(StartDisconnectTimer);
        case LINE_MONITORDIGITS:
            return OnDigit(text);
        default:
            return;
    }
}

void TCallHandler::ResetCallState() {
    // What was queued for the call that ended (its hang-up, an answer it never got) must not
    // reach the next caller.
    m_outgoing.Actions.clear();
    RingCount = 0;
    CallMode = 0;
    DigitBuffer.clear();
    RemoteRetrievalActive = false;
    GreetingPath.clear();
    EndOfCall();
    CallerIdRecord = TCallerIdRecord{};
    CurrentLogRecord = nullptr;
    Controls.TakeMessageVisible = false;
    Controls.ThisCallGroupVisible = false;
    Controls.AnswerHangupCaption = QStringLiteral("Answer");
    Controls.AnswerHangupHint.clear();
    Controls.AnswerHangupVisible = true;
    Controls.AnswerHangupEnabled = false;
    Controls.SpeakerPhoneVisible = true;
    TTapi* line = CurrentLine();
    if (line && line->SetSpeakerPhone(SPK_TEST)) {
        line->SetSpeakerPhone(SPK_OFF);
        Controls.SpeakerPhoneEnabled = true;
        Controls.SpeakerPhoneHint = QStringLiteral("Turn speaker phone on or off");
    } else {
        Controls.SpeakerPhoneEnabled = false;
        Controls.SpeakerPhoneHint = QStringLiteral("Your modem does not support speaker phone");
    }
    Call(UpdateConnectionStatus);
    Changed();
}

void TCallHandler::OnRing() {
    if (!IsBlank(m_config.SoundToPlayWhenPhoneRings)) {
        const QString sound = m_config.SoundToPlayWhenPhoneRings;
        PlaySoundNoStop(sound.startsWith(QLatin1Char('/')) ? sound : TProfile::Path(sound));
    }
    Call(RestoreWindow);
    if (Controls.AnswerHangupVisible) {
        Controls.AnswerHangupCaption = QStringLiteral("Answer");
        Controls.AnswerHangupHint = QStringLiteral("Answer this incoming call");
        Controls.AnswerHangupEnabled = true;
    }
    ++RingCount;
    if (m_config.RingsToAnswer != 0) {
        Controls.TakeMessageVisible = true;
        if (RingCount == quint32(m_config.RingsToAnswer)) TakeMessageButtonClick();
    }
    if (RingCount == 3 && IsBlank(CallerIdRecord.CallerName) &&
        IsBlank(CallerIdRecord.CallerNumber))
        CallerIdHandler(0, QStringLiteral("Unknown"), QStringLiteral("000-000-0000"));
}

void TCallHandler::CallerIdHandler(quint32, const QString& name, const QString& number) {
    CallerIdRecord.CallerName = name.left(63);
    CallerIdRecord.CallerNumber = number.left(31);
    NewIncomingCall();
}

void TCallHandler::NewIncomingCall() {
    CallLogRecord* record = m_log.NewLogRecord();
    if (!record) return;
    CurrentLogRecord = record;
    if (m_config.FlashCaller()) Call(ShowWindow);
    record->Time = qint32(TClock::Now());
    TCallLog::FillLogRecord(record, CallerIdRecord.CallerName, CallerIdRecord.CallerNumber);
    ChooseCallAction(record);
    m_log.AppendCallLog(*record);
    Call(HistoryRowAdded, record);
}

void TCallHandler::ChooseCallAction(CallLogRecord* record) {
    if (m_config.FlashCaller()) {
        Call(ShowWindow);
        Call(UpdatePagingStatus);
    }
    PhoneBookEntry* entry = m_phoneBook.FindCaller(record->Number, record->Name);
    GreetingPath.clear();
    if (entry) {
        // Names from the phone book file stay inside their folders.
        if (!IsBlank(entry->PersonalGreeting))
            GreetingPath = QStringLiteral("Greetings/") + FileNamePart(entry->PersonalGreeting);
        if (!IsBlank(entry->SoundFile))
            PlaySoundAsync(TProfile::Path(QStringLiteral("Personal Sounds/") +
                                          FileNamePart(entry->SoundFile)));
        if (entry->ActionFlags & ActionHangUp) {
            CallMode |= CM_GREETING_ONLY;
            m_outgoing.QueueAction(ACTION_ANSWER, 0);
            record->Actions |= LOG_HUNG_UP;
        }
        ++entry->TimesCalled;
    }
    if (m_config.FlashCaller())
        Call(ShowCallerPopup,
             (entry ? entry->DisplayName : record->Name) + QLatin1Char('\r') + record->Number);
    if (m_outgoing.ShouldPage(entry, record->Number)) record->Actions |= LOG_PAGED;
    if (GreetingPath.isEmpty()) GreetingPath = QStringLiteral("Greetings/") + PickRandomGreeting();
}

void TCallHandler::TakeMessageButtonClick() {
    if (IsBlank(CallerIdRecord.CallerName) && IsBlank(CallerIdRecord.CallerNumber))
        CallerIdHandler(0, QStringLiteral("Unknown"), QStringLiteral("000-000-0000"));
    CallMode |= CM_TAKE_MESSAGE | CM_LISTEN_IN;
    if (TTapi* line = CurrentLine()) line->Answer();
}

void TCallHandler::MessageSaved(const QString& name) {
    m_messageSaved = !name.isEmpty();
    CallLogRecord* record = m_recordingFor ? m_recordingFor : CurrentLogRecord;
    if (!record) return;
    record->MessageFile = name;
    if (m_messageSaved) {
        record->Actions |= LOG_TOOK_MESSAGE;
        record->Heard = 0;
    }
    if (record->Offset < 0)
        m_log.AppendCallLog(*record);  // its first append failed: one more try
    else
        TCallLog::UpdateRecord(*record);
}

void TCallHandler::ForgetRecord(const CallLogRecord* record) {
    if (CurrentLogRecord == record) CurrentLogRecord = nullptr;
    if (m_recordingFor == record) m_recordingFor = nullptr;
}

void TCallHandler::AnswerHangupButtonClick() {
    TTapi* line = CurrentLine();
    if (!line) return;
    if (Controls.AnswerHangupCaption == QLatin1String("Hangup")) {
        line->Hangup();
        return;
    }
    CallMode |= CM_LISTEN_IN;
    line->Answer();
}

void TCallHandler::UseSpeakerPhoneButtonClick(bool checked) {
    m_config.SetUseSpeakerPhoneButton(checked);
    if (TTapi* line = CurrentLine()) line->SetSpeakerPhone(checked ? SPK_ON : SPK_OFF);
}

void TCallHandler::OnConnected() {
    Controls.TakeMessageVisible = false;
    Changed();
    TTapi* line = CurrentLine();
    if (!line || !line->IsCallOwner()) return;
    if (line->Incoming) {
        m_messageSaved = false;
        if (CallMode & CM_GREETING_ONLY) {
            Call(PlayGreeting);
        } else if (CallMode & CM_TAKE_MESSAGE) {
            m_recordingFor = CurrentLogRecord;
            Call(TakeMessage);
        }
    } else if (m_outgoing.CurrentOutgoing) {
        m_outgoing.OnOutgoingConnected();
        Controls.ThisCallGroupVisible = true;
        Changed();
    }
    if ((CallMode & CM_LISTEN_IN) && m_config.UseSpeakerPhoneButton())
        line->SetSpeakerPhone(SPK_ON);
}

// Every way a call ends (the far end, our hang-up, the line closing under it, the line
// reopening) comes here: a placed call reaches the history and leaves no mark behind.
void TCallHandler::EndOfCall() {
    m_outgoing.OnOutgoingEnded();
}

void TCallHandler::OnDisconnected() {
    EndOfCall();
    Controls.TakeMessageVisible = false;
    Changed();
    Call(ClosePlayRecordWindow);
    if (RemoteRetrievalActive) Call(RemoteQuit);
    m_outgoing.QueueAction(ACTION_HANG_UP, 0);
}

void TCallHandler::OnDigit(const QString& text) {
    if (text.isEmpty()) return;
    const QChar digit = text.at(0);
    if (digit == QLatin1Char('#')) {
        DigitBuffer.clear();
        return;
    }
    if (DigitBuffer.size() >= kMaxDigits) return;
    DigitBuffer += digit;
    Call(HandleRemoteDigit, digit.toLatin1());
}

void TCallHandler::Completion(int outcome) {
    if (outcome == OUTCOME_MESSAGE) {
        if (CurrentLogRecord && !CurrentLogRecord->MessageFile.isEmpty()) {
            CurrentLogRecord->Actions |= LOG_TOOK_MESSAGE;
            CurrentLogRecord->Heard = 0;
        }
        m_outgoing.QueueAction(ACTION_HANG_UP, 0);
        if (!DigitBuffer.isEmpty() && !RemoteRetrievalActive && m_config.AllowRemotePage()) {
            const QString digits =
                DigitBuffer.size() >= 32 ? DigitBuffer.left(kMaxPagedDigits) : DigitBuffer;
            m_outgoing.QueuePage(digits, kRemotePageDelay);
        }
        return;
    }
    if (RemoteRetrievalActive) return;
    // A message already saved stays tied to its call, whatever ends the run after it.
    if (CurrentLogRecord && !m_messageSaved) CurrentLogRecord->MessageFile.clear();
    m_outgoing.QueueAction(ACTION_HANG_UP, 0);
}
