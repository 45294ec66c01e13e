#pragma once
// The outgoing side of the line: the to-call list that the two-second tick places one call at
// a time (five attempts, 30 seconds apart), the call in progress with its length and cost,
// the timed action queue (answer, hang up), and paging. The windows show what it exposes.

#include <QList>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "store/tocall.h"

class TConfig;
class TOutgoingHistory;
class TTapi;
struct PhoneBookEntry;

enum : int { ACTION_HANG_UP = 2, ACTION_ANSWER = 3 };

struct TToCallRow {
    std::unique_ptr<TOCALL> Call;
    QString Status;         // "Waiting", "Waiting for connect", "Retry %d", ...
    QString TimeRemaining;  // the "Time Remaining" column
    bool Deleted = false;   // the row of the call in progress, deleted by the user
    // "Name", "Number To Dial", "To Pager", "When", "Time Remaining", status.
    QStringList Texts() const;
};

struct TQueuedAction {
    int Kind = 0;
    qint64 Due = 0;  // seconds since 1970
    int Failures = 0;
    int Value = 0;
    QString Text;
};

// What the call panel shows for the call in progress.
struct TCallDisplay {
    QString CallTime;   // CallTimeLabel
    QString CallCost;   // CallCostLabel
    QString PerMinute;  // PerMinuteLabel
    bool ShowCost = false;
};

struct TTotals {
    QString TotalCost, TotalLength, MeanCost, MeanLength;
};

// What the queue needs from the program around it.
class TOutgoingHost {
public:
    virtual ~TOutgoingHost() = default;
    virtual TTapi* CurrentLine() = 0;  // the open line, or null
    virtual void CallStatus(const QString& text) = 0;
    virtual void PortDataLine(const QString& text) = 0;  // kept only while the window shows
    virtual void HangingUp() = 0;  // a queued hang-up also ends the greeting or recording
};

class TOutgoingQueue {
public:
    TOutgoingQueue(TConfig& config, TOutgoingHistory& history, TOutgoingHost& host);

    // Rows in list order (sorted by When).
    const std::vector<std::unique_ptr<TToCallRow>>& Rows() const { return m_rows; }
    // The row of the call in progress, or null.
    TToCallRow* CurrentOutgoing() const { return m_current; }
    // A page: the line is hung up once the pager's number has been dialled.
    bool HangUpAfterConnect() const { return m_hangUpAfterConnect; }
    const std::vector<TQueuedAction>& Actions() const { return m_actions; }
    const TCallDisplay& CallDisplay() const { return m_callDisplay; }

    TToCallRow* AddToCallList(const TOCALL& record);
    void DeleteRow(TToCallRow* row);
    // Steps 1 to 3 of the two-second tick.
    void Tick();
    bool PlaceCall(TToCallRow* row);  // true: stop the walk
    // What was queued for a call that ended (its hang-up, an answer it never got) is dropped
    // before it reaches the next caller.
    void CancelActions() { m_actions.clear(); }
    // An action with no delay runs as soon as the program is free, not at the next tick: a
    // caller who hung up frees the line for the next one at once.
    void QueueAction(int kind, int delaySeconds);
    void OnOutgoingConnected();
    // The call in progress ended; disconnectMode says why (LINEDISCONNECTMODE_*, 0 for a
    // hang-up of our own).
    void OnOutgoingEnded(quint32 disconnectMode);
    void UpdateCallCost();
    static TTotals UpdateTotals(const QList<TOCALL*>& calls);

    // Paging.
    bool PagingAllowedNow() const;
    // True when the call is to be paged (and its pages are queued).
    bool ShouldPage(const PhoneBookEntry* entry, const QString& callerNumber);
    int QueuePage(const QString& callerNumber, int delaySeconds);
    // PagerActive: hidden (false) with no pager number; the text while the line is open.
    bool PagingStatus(bool lineOpen, QString* text) const;

private:
    bool RetryLater(TToCallRow* row);
    bool RunDueAction();
    void SortRows();
    TConfig& m_config;
    TOutgoingHistory& m_history;
    TOutgoingHost& m_host;
    QTimer m_dueNow;
    std::vector<std::unique_ptr<TToCallRow>> m_rows;
    TToCallRow* m_current = nullptr;
    bool m_hangUpAfterConnect = false;
    std::vector<TQueuedAction> m_actions;
    TCallDisplay m_callDisplay;
};
