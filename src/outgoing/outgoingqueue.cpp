#include "outgoing/outgoingqueue.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

#include "outgoing/dialable.h"
#include "platform/clock.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "store/phonebook.h"
#include "telephony/ttapi.h"

namespace {
constexpr int kMaxAttempts = 5;
constexpr int kRetrySeconds = 30;
constexpr int kPageHangUpSeconds = 3;
constexpr double kSecondsPerDay = 86400.0;
}  // namespace

QStringList TToCallRow::Texts() const {
    return {Call->Name, Call->NumberToDial, Call->ToPager, DayCountText(Call->When), TimeRemaining,
            Status};
}

TToCallRow* TOutgoingQueue::AddToCallList(const TOCALL& record) {
    auto row = std::make_unique<TToCallRow>();
    row->Call = std::make_unique<TOCALL>(record);
    row->Call->RetryCount = 0;
    row->Call->CallState = 0;
    row->Status = QStringLiteral("Waiting");
    TToCallRow* added = row.get();
    m_rows.push_back(std::move(row));
    SortRows();
    return added;
}

// By When, in the direction the user last chose for that column (ascending at first).
void TOutgoingQueue::SortRows() {
    const bool descending = m_config.OutgoingSortDirections[3] != 0;
    std::stable_sort(m_rows.begin(), m_rows.end(), [descending](const auto& a, const auto& b) {
        return descending ? b->Call->When < a->Call->When : a->Call->When < b->Call->When;
    });
}

void TOutgoingQueue::DeleteRow(TToCallRow* row) {
    // The row of the call in progress stays alive, hidden, until the call ends and its record
    // has gone to the history.
    if (row == m_current) {
        row->Deleted = true;
    } else {
        std::erase_if(m_rows, [row](const auto& owned) { return owned.get() == row; });
    }
}

TOutgoingQueue::TOutgoingQueue(TConfig& config, TOutgoingHistory& history, TOutgoingHost& host)
    : m_config(config), m_history(history), m_host(host) {
    m_dueNow.setSingleShot(true);
    // One action at a time, as at a tick; the next one due now follows at the next turn.
    QObject::connect(&m_dueNow, &QTimer::timeout, [this] {
        const qint64 now = TClock::Now();
        if (RunDueAction() && std::any_of(m_actions.begin(), m_actions.end(),
                                          [now](const auto& action) { return action.Due < now; }))
            m_dueNow.start(0);
    });
}

void TOutgoingQueue::QueueAction(int kind, int delaySeconds) {
    // One hang-up per call: a second one would be left to drop the next caller.
    if (kind == ACTION_HANG_UP &&
        std::any_of(m_actions.begin(), m_actions.end(),
                    [](const TQueuedAction& queued) { return queued.Kind == ACTION_HANG_UP; }))
        return;
    TQueuedAction action;
    action.Kind = kind;
    // Due is in whole seconds and an action runs once past it: one due now is a second back.
    action.Due = TClock::Now() + (delaySeconds > 0 ? delaySeconds : -1);
    m_actions.push_back(action);
    if (delaySeconds <= 0) m_dueNow.start(0);
    m_host.PortDataLine((kind == ACTION_HANG_UP ? QStringLiteral("Qued to hangup in ")
                                                : QStringLiteral("Qued to answer in ")) +
                        QString::number(delaySeconds) + QStringLiteral(" seconds"));
}

bool TOutgoingQueue::RunDueAction() {
    TTapi* line = m_host.CurrentLine();
    if (!line) return false;
    const qint64 now = TClock::Now();
    for (auto it = m_actions.begin(); it != m_actions.end(); ++it) {
        if (it->Due >= now) continue;
        const int kind = it->Kind;
        m_actions.erase(it);
        if (kind == ACTION_HANG_UP) {
            line->Hangup();
            m_host.HangingUp();
        } else if (kind == ACTION_ANSWER) {
            line->Answer();
        }
        return true;
    }
    return false;
}

void TOutgoingQueue::Tick() {
    if (RunDueAction()) return;
    if (m_current) UpdateCallCost();
    const double now = TClock::NowDays();
    for (auto it = m_rows.rbegin(); it != m_rows.rend(); ++it) {
        TToCallRow* row = it->get();
        if (row->Deleted) continue;
        if (row->Call->When >= now) {
            row->TimeRemaining = ElapsedText(row->Call->When - now);
            continue;
        }
        if (PlaceCall(row)) break;
        row->TimeRemaining = QStringLiteral("00:00:00");
    }
}

bool TOutgoingQueue::PlaceCall(TToCallRow* row) {
    TOCALL& call = *row->Call;
    if (call.CallState == 1) return false;
    TTapi* line = m_host.CurrentLine();
    if (!line) {
        row->Status = QStringLiteral("Waiting for connect");
        return false;
    }
    call.CallState = 1;
    bool isLocal = false;
    const QString dial = DialableNumber(call.NumberToDial, m_config, &isLocal);
    call.CallFlags = quint8((call.CallFlags & ~1) | (isLocal ? 1 : 0));
    QString dialString, status;
    const bool page = !call.ToPager.isEmpty();
    if (page) {
        dialString = dial + QStringLiteral(",,,,,") + call.ToPager;
        status = QStringLiteral("Paging with ") + call.ToPager;
    } else {
        dialString = dial;
        status = call.Name.isEmpty()
                     ? QStringLiteral("Calling ") + dial
                     : QStringLiteral("Calling ") + call.Name + QStringLiteral(" @ ") + dial;
    }
    if (line->MakeCall(dialString) > 0) {
        if (page) m_hangUpAfterConnect = true;
        call.StartTime = call.EndTime = 0;
        call.CostFirst = call.CostMore = 0;
        m_current = row;
        row->Status = status;
        if (m_config.UseSpeakerPhoneButton()) line->SetSpeakerPhone(SPK_ON);
        m_host.CallStatus(status);
        return true;
    }
    return !RetryLater(row);  // given up: stays placed, never retried
}

// A failed attempt: the call waits for the next, unless this was the last one.
bool TOutgoingQueue::RetryLater(TToCallRow* row) {
    TOCALL& call = *row->Call;
    if (++call.RetryCount >= kMaxAttempts) return false;
    call.CallState = 0;
    row->Status = QStringLiteral("Retry ") + QString::number(call.RetryCount);
    call.When = TClock::NowDays() + kRetrySeconds / kSecondsPerDay;
    return true;
}

void TOutgoingQueue::OnOutgoingConnected() {
    if (!m_current) return;
    m_current->Call->StartTime = TClock::NowDays();
    m_callDisplay = TCallDisplay{};
    m_callDisplay.ShowCost = !m_current->Call->IsLocal();
    if (m_hangUpAfterConnect) QueueAction(ACTION_HANG_UP, kPageHangUpSeconds);
}

void TOutgoingQueue::OnOutgoingEnded(quint32 disconnectMode) {
    m_hangUpAfterConnect = false;
    if (!m_current) return;
    TToCallRow* row = std::exchange(m_current, nullptr);
    // A busy number or a dead line never got through: tried again as a failed attempt is.
    const bool unreached =
        row->Call->StartTime == 0 &&
        (disconnectMode & (LINEDISCONNECTMODE_BUSY | LINEDISCONNECTMODE_NODIALTONE));
    if (unreached && RetryLater(row)) return;
    row->Call->EndTime = TClock::NowDays();
    m_history.AddPlacedCall(*row->Call);
    m_hangUpAfterConnect = false;
    std::erase_if(m_rows, [row](const auto& owned) { return owned.get() == row; });
}

void TOutgoingQueue::UpdateCallCost() {
    if (!m_current) return;
    TOCALL& call = *m_current->Call;
    const double now = TClock::NowDays();
    qint64 seconds = 0;
    QString text;
    if (call.StartTime != 0 && now != 0) text = ElapsedText(now - call.StartTime, &seconds);
    if (!call.IsLocal()) {
        const qint64 first = qint64(m_config.FirstMinutesEdit) * 60;
        double rate;
        if (seconds > first) {
            rate = m_config.Cost2Edit;
            call.CostMore = double(seconds - first) * rate / 60;
        } else {
            rate = m_config.Cost1Edit;
            call.CostFirst = double(seconds) * rate / 60;
        }
        m_callDisplay.CallCost = DollarText(call.CostFirst + call.CostMore);
        m_callDisplay.PerMinute = DollarText(rate);
    }
    m_callDisplay.CallTime = text;
}

TTotals TOutgoingQueue::UpdateTotals(const QList<TOCALL*>& calls) {
    double cost = 0, length = 0;
    for (const TOCALL* call : calls) {
        cost += call->CostFirst + call->CostMore;
        if (std::floor(call->StartTime) != 0 && std::floor(call->EndTime) != 0)
            length += call->EndTime - call->StartTime;
    }
    const qsizetype count = calls.size();
    const double meanCost = count ? cost / double(count) : 0;
    const double meanLength = count ? length / double(count) : 0;
    return {DollarText(cost), ElapsedText(length), DollarText(meanCost), ElapsedText(meanLength)};
}

bool TOutgoingQueue::PagingAllowedNow() const {
    if (m_config.PagerNumber.isEmpty()) return false;
    if (m_config.PageMode() == TConfig::PageAlways) return true;
    if (m_config.PageMode() != TConfig::PageNormal) return false;
    const QDateTime now = QDateTime::fromSecsSinceEpoch(TClock::Now()).toLocalTime();
    const int weekday = now.date().dayOfWeek() % 7;  // 0 = Sunday
    return m_config.PagingHours[weekday * 24 + now.time().hour()] != 0;
}

bool TOutgoingQueue::ShouldPage(const PhoneBookEntry* entry, const QString& callerNumber) {
    const int mode = m_config.PageMode();
    const bool page =
        mode == TConfig::PageAlways || (mode == TConfig::PageNormal && entry &&
                                        (entry->ActionFlags & ActionPageMe) && PagingAllowedNow());
    if (!page || m_config.PagerNumber.isEmpty()) return false;
    QueuePage(callerNumber, int(m_config.PageWait * 60));
    return true;
}

int TOutgoingQueue::QueuePage(const QString& callerNumber, int delaySeconds) {
    if (m_config.PagerNumber.isEmpty()) return 0;
    const int delay = qMax(delaySeconds, 0);
    const double when = TClock::DaysFromTime(TClock::Now() + delay);
    for (const QString& pager : m_config.PagerNumber.split(QLatin1Char(';'))) {
        TOCALL page;
        page.Name = QStringLiteral("To Pager");
        page.NumberToDial = pager;
        page.ToPager = callerNumber + QLatin1Char('-') + m_config.PostPageNumber;
        page.When = when;
        AddToCallList(page);
    }
    return delay;
}

bool TOutgoingQueue::PagingStatus(bool lineOpen, QString* text) const {
    if (m_config.PagerNumber.isEmpty()) return false;
    if (!lineOpen) return true;  // the text stays as it was
    switch (m_config.PageMode()) {
        case TConfig::PageAlways:
            *text = QStringLiteral("All calls will be sent to your pager");
            break;
        case TConfig::PageNormal:
            *text = PagingAllowedNow() ? QStringLiteral("Selected calls will be sent to your pager")
                                       : QStringLiteral("Paging is not active this hour");
            break;
        default:
            *text = QStringLiteral("No calls will be sent to your pager");
    }
    return true;
}
