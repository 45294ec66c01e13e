#pragma once
// What the windows do for the session: show what it reports and answer what only a person can.
// The main window implements it; tests use a recording fake. Every method is needed, so a
// window that leaves one out does not compile.

#include <QString>

struct CallLogRecord;
class TConfig;

// The remote player's commands: what the caller's keys (and the player's buttons) ask for.
enum RemoteCommandCode : int {
    RC_CONTINUE = 0,
    RC_PLAY = 100,
    RC_REWIND = 101,
    RC_NEXT = 105,
    RC_PREVIOUS = 106,
    RC_QUIT = 107,
};

// Told when the player closes: closing it ends the call (the call handler hangs up).
class TRemotePlayerListener {
public:
    virtual void RemotePlayerClosed() = 0;

protected:
    ~TRemotePlayerListener() = default;
};

class TSessionView {
public:
    virtual ~TSessionView() = default;

    // The port data window: lines are kept only while it shows.
    virtual bool PortDataVisible() const = 0;
    virtual void PortDataLine(const QString& line) = 0;

    // The main window.
    virtual void RestoreWindow() = 0;  // from minimised
    virtual void ShowWindow() = 0;     // shown, restored and brought to the front
    virtual void ShowCallerPopup(const QString& text) = 0;
    virtual void HistoryRowAdded(CallLogRecord* record) = 0;  // row at the top, selected
    virtual void CallControlsChanged() = 0;
    virtual void ConnectionChanged() = 0;
    virtual void PagingStatusChanged() = 0;
    virtual void CallStatus(const QString& text) = 0;
    virtual void StartLineClosedTimer() = 0;          // disconnects one second later
    virtual void StoreGeometry(TConfig& config) = 0;  // before the settings are saved

    // The answering window.
    virtual void PlayGreeting() = 0;
    virtual void TakeMessage() = 0;
    virtual void CallerGone() = 0;
    virtual void HangingUp() = 0;  // the queued hang-up of a call ends its greeting or recording
    // The call is over: the answering window and the remote player stop now, keeping what the
    // caller said, and report nothing more.
    virtual void CallEnded() = 0;
    // A call's record changed (its row shows it).
    virtual void HistoryChanged() = 0;
    // Remote access was locked after too many wrong codes: the status line says so.
    virtual void RemoteAccessChanged() = 0;

    // Remote retrieval: the caller keyed the access code; then the caller's keys and hang-up.
    virtual void StartRemoteRetrieval() = 0;
    virtual void RemoteCommand(int code) = 0;

    // The password guard for stopping to listen; true when it passes.
    virtual bool StopListeningAllowed() = 0;
};
