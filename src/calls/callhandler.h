#pragma once
// What the program does with the line's events, from the first ring of an incoming call to
// the logged, answered or dropped call: ring counting, the caller ID (or "Unknown" at the
// third ring), the log record, the caller's phone book rule, answering to take a message,
// hanging up on marked callers, paging, the call buttons and touch-tone digits. The main
// window installs Events() in its TTapi and renders Controls; other windows fill the hooks.

#include <QString>
#include <functional>

#include "telephony/ttapi.h"

class TConfig;
class TCallLog;
class TPhoneBook;
class TOutgoingQueue;
struct CallLogRecord;

enum : quint32 { CM_TAKE_MESSAGE = 1, CM_LISTEN_IN = 2, CM_GREETING_ONLY = 4 };
enum : int { OUTCOME_MESSAGE = 1, OUTCOME_NO_MESSAGE = 2 };

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

class TCallHandler {
public:
    TCallHandler(TConfig& config, TCallLog& log, TPhoneBook& phoneBook, TOutgoingQueue& outgoing);

    // Filled by the windows. Unset hooks do nothing.
    std::function<TTapi*()> Line;
    std::function<void(const QString&)> DebugLine;  // a line of the port data window's log
    std::function<bool()> DebugVisible;
    std::function<void()> RestoreWindow;  // the main window's state becomes normal
    std::function<void()> ShowWindow;     // shown, restored and brought to the front
    std::function<void(const QString&)> ShowCallerPopup;
    std::function<void(CallLogRecord*)> HistoryRowAdded;  // row at the top, trimmed, selected
    std::function<void()> ControlsChanged;
    std::function<void()> UpdateConnectionStatus;
    std::function<void()> UpdatePagingStatus;
    std::function<void()> StartDisconnectTimer;  // disconnects one second later
    std::function<void()> PlayGreeting;          // the play/record window
    std::function<void()> TakeMessage;
    std::function<void()> ClosePlayRecordWindow;
    std::function<void(char)> HandleRemoteDigit;  // remote message retrieval
    std::function<void()> RemoteQuit;

    quint32 RingCount = 0;
    quint32 CallMode = 0;
    TCallerIdRecord CallerIdRecord;
    CallLogRecord* CurrentLogRecord = nullptr;
    QString GreetingPath;
    QString DigitBuffer;
    bool RemoteRetrievalActive = false;
    TCallControls Controls;

    // The notification table for TTapi.
    TTapiEvents Events();
    void CallEventHandler(int code, const QString& text);
    void CallerIdHandler(quint32 flags, const QString& name, const QString& number);
    void TakeMessageButtonClick();
    void AnswerHangupButtonClick();
    void UseSpeakerPhoneButtonClick(bool checked);
    // The play/record window has finished: OUTCOME_MESSAGE or OUTCOME_NO_MESSAGE.
    void Completion(int outcome);
    // The recording is on disk as "Messages/" + name (empty: it could not be saved there):
    // its call's record says so on disk at once, even when the caller has hung up already.
    void MessageSaved(const QString& name);
    // A record leaves the list: no call may keep it.
    void ForgetRecord(const CallLogRecord* record);

private:
    void ResetCallState();
    void OnRing();
    void NewIncomingCall();
    void ChooseCallAction(CallLogRecord* record);
    void OnConnected();
    void OnDisconnected();
    void EndOfCall();
    void OnDigit(const QString& text);
    void Debug(const QString& line);
    void Changed();
    TTapi* CurrentLine() const { return Line ? Line() : nullptr; }

    TConfig& m_config;
    TCallLog& m_log;
    TPhoneBook& m_phoneBook;
    TOutgoingQueue& m_outgoing;
    CallLogRecord* m_recordingFor = nullptr;  // the call whose message is being recorded
    bool m_messageSaved = false;
};

// No character above the space character.
bool IsBlank(const QString& text);
