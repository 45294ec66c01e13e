#pragma once
// What the program does with the line's events, from the first ring of an incoming call to
// the logged, answered or dropped call: ring counting, the caller ID (or "Unknown" at the
// third ring), the log record, the caller's phone book rule, answering to take a message,
// hanging up on marked callers, paging, the call buttons and touch-tone digits. The connection
// installs Events() in its TTapi; the main window renders Controls and does, through
// TSessionView, what only a window can.

#include <QString>
#include <QTimer>

#include "calls/accessguard.h"
#include "calls/outcome.h"
#include "calls/sessionview.h"

#include "telephony/ttapi.h"

class TConfig;
class TCallLog;
class TPhoneBook;
class TOutgoingQueue;
struct CallLogRecord;
struct PhoneBookEntry;

enum : quint32 { CM_TAKE_MESSAGE = 1, CM_LISTEN_IN = 2, CM_GREETING_ONLY = 4 };

struct TCallerIdRecord {
    QString CallerNumber;  // at most 31 characters
    QString CallerName;    // at most 63 characters
};

// The call controls of the main window as they should look.
struct TCallControls {
    QString StatusText;
    QString AnswerHangupCaption = QStringLiteral("Answer");
    QString AnswerHangupHint;
    bool AnswerHangupVisible = true;
    bool AnswerHangupEnabled = false;
    bool TakeMessageVisible = false;
    bool ThisCallGroupVisible = false;
    bool SpeakerPhoneVisible = true;
    bool SpeakerPhoneEnabled = false;
    QString SpeakerPhoneHint;
};

// Where the handler finds the open line, and whom it tells that the line (re)opened.
class TLineSource {
public:
    virtual ~TLineSource() = default;
    virtual TTapi* CurrentLine() = 0;
    virtual void LineOpened() = 0;
};

class TCallHandler : public TRemotePlayerListener {
public:
    TCallHandler(TConfig& config, TCallLog& log, TPhoneBook& phoneBook, TOutgoingQueue& outgoing,
                 TLineSource& lines, TSessionView& view);

    quint32 RingCount() const { return m_ringCount; }
    // A call is up (answered or dialled).
    bool OffHook() const { return m_connected; }
    quint32 CallMode() const { return m_callMode; }
    // The record of the call under way, or null (none, or the user deleted it).
    CallLogRecord* CurrentLogRecord() const;
    // What the answering run plays first: the greeting, or the press-a-key prompt for a
    // caller being screened.
    QString GreetingPath() const;
    static constexpr int kScreenKeyMs = 6000;  // for a key after the prompt
    QString DigitBuffer() const { return m_digits; }
    bool RemoteRetrievalActive() const { return m_remoteRetrieval; }
    const TCallControls& Controls() const { return m_controls; }
    // The connection's status has replaced the call's text in the status label.
    void CallStatusReplaced() { m_controls.StatusText.clear(); }

    // The notification table for TTapi.
    TTapiEvents Events();
    void CallEventHandler(int code, const QString& text);
    void CallerIdHandler(quint32 flags, const QString& name, const QString& number);
    void TakeMessageButtonClick();
    void AnswerHangupButtonClick();
    void UseSpeakerPhoneButtonClick(bool checked);
    // The play/record window has finished: OUTCOME_MESSAGE or OUTCOME_NO_MESSAGE. A run of a
    // call that has ended is not heard: its hang-up would drop the next caller.
    void Completion(int outcome);
    // The recording is on disk as "Messages/" + name (empty: the call has no message after
    // all): its call's record says so on disk at once, even when the caller has hung up.
    void MessageSaved(const QString& name);
    // The remote player was closed: the call it served ends, unless it has ended already.
    void RemotePlayerClosed() override;
    // Remote access is locked after too many wrong access codes (0: it is not).
    qint64 RemoteAccessLockedUntil() const;
    // True once, when a lock has run out (the status line drops its notice).
    bool RemoteAccessLockEnded();

private:
    void ResetCallState();
    void TestSpeakerPhone();
    void OnRing();
    void NewIncomingCall();
    void ChooseCallAction(CallLogRecord* record);
    void MarkPickedUp();
    // Callers the phone book does not know (or knows only by a pattern that takes a message)
    // press a key after a prompt, or are hung up on.
    bool ShouldScreen(const PhoneBookEntry* entry) const;
    void ScreenKey();
    void ScreenPromptDone();
    void ScreenTimeUp();
    void OnConnected();
    void OnDisconnected();
    void EndOfCall();
    void HangUpOnce();
    void OnDigit(const QString& text);
    void HandleRemoteDigit(char digit);
    void WrongAccessCode();
    void CallOver();
    void Debug(const QString& line);
    void Changed();

    TConfig& m_config;
    TCallLog& m_log;
    TPhoneBook& m_phoneBook;
    TOutgoingQueue& m_outgoing;
    TLineSource& m_lines;
    TSessionView& m_view;

    quint32 m_ringCount = 0;
    quint32 m_callMode = 0;
    TCallerIdRecord m_callerId;
    quint64 m_currentRecord = 0;  // records are named by id: a deleted one is simply not found
    QString m_greetingPath;
    QString m_digits;
    bool m_remoteRetrieval = false;
    bool m_answering = false;      // the answering window runs for this call
    bool m_hungUp = false;         // this call's hang-up is on its way
    quint32 m_disconnectMode = 0;  // why the line said the call ended, for a placed call
    TAccessGuard m_access;
    bool m_connected = false;  // a call is up: the answer button hangs up
    TCallControls m_controls;
    quint64 m_recordingFor = 0;  // the call whose message is being recorded
    bool m_messageSaved = false;
    enum class Screen { Off, Prompting, Waiting, Passed } m_screen = Screen::Off;
    bool m_screenKeyed = false;  // a key came while the prompt played
    QTimer m_screenTimer;        // the wait for a key, or (at 0) the start of the message
};

// No character above the space character.
bool IsBlank(const QString& text);
