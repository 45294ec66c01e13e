#pragma once
// The outgoing side of the line: the to-call list that the two-second tick places one call at
// a time (five attempts, 30 seconds apart), the call in progress with its length and cost,
// the timed action queue (answer, hang up), and paging. The windows show what it exposes.

#include <QList>
#include <QString>
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

class TOutgoingQueue {
public:
    TOutgoingQueue(TConfig& config, TOutgoingHistory& history)
        : m_config(config), m_history(history) {}

    // Filled by the call handling and the main window.
    std::function<TTapi*()> Line;                   // the open line, or null
    std::function<void()> CloseMessageWindow;       // a hang-up also ends greeting or recording
    std::function<void(const QString&)> SetStatus;  // StatusLabel
    std::function<void(const QString&)> DebugLog;   // the port data window

    // Rows in list order (sorted by When).
    std::vector<std::unique_ptr<TToCallRow>> Rows;
    TToCallRow* CurrentOutgoing = nullptr;
    bool HangUpAfterConnect = false;
    std::vector<TQueuedAction> Actions;
    TCallDisplay CallDisplay;

    TToCallRow* AddToCallList(const TOCALL& record);
    void DeleteRow(TToCallRow* row);
    // Steps 1 to 3 of the two-second tick.
    void Tick();
    bool PlaceCall(TToCallRow* row);  // true: stop the walk
    void QueueAction(int kind, int delaySeconds);
    void OnOutgoingConnected();
    void OnOutgoingEnded();
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
    bool RunDueAction();
    void SortRows();
    TConfig& m_config;
    TOutgoingHistory& m_history;
};
