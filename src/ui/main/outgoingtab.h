#pragma once
// The "Outgoing Calls" tab: the queue of calls still to be placed, with their time remaining
// and status ticking, above the history of placed calls (a tree of names and calls, the calls
// of the chosen node and their totals). Calls enter the queue here (by hand, or again from a
// placed call) and from the other tabs.

#include <QWidget>
#include <functional>
#include <memory>

#include "store/tocall.h"
#include "ui/dialogs/getquickdialform.h"

class QMenu;
class QTreeWidgetItem;
class TConfig;
class TOutgoingHistory;
class TOutgoingQueue;
class TTabHost;
struct TOutgoingNode;
struct TToCallRow;

namespace Ui {
class TOutgoingTab;
}

class TOutgoingTab : public QWidget {
    Q_OBJECT
public:
    TOutgoingTab(TTabHost& host, TConfig& config, TOutgoingQueue& queue, TOutgoingHistory& history,
                 QWidget* parent = nullptr);
    ~TOutgoingTab() override;
    // The tab was brought to the front: its queue and panel are brought up to date.
    void TabShown();

    // Shows the quick dial dialog and gives its result; tests answer in its place.
    std::function<int(TGetQuickDialForm&)> RunQuickDial = [](TGetQuickDialForm& dialog) {
        return dialog.exec();
    };

    // A call due now (or when the record says) enters the queue and shows at once.
    void Queue(const TOCALL& record);
    void Load();
    // The two-second tick: the queue's rows and, when it changed, the placed-call tree.
    void OnTick();
    void RefreshQueue();
    void RefreshPlacedCalls();
    void UpdateOutgoingPanel();
    void StoreGeometry(TConfig& config) const;

    void OutgoingCallButtonClick();
    void DeleteToCallButtonClick();
    void CallOutgoingButtonClick();
    // Every selected placed call, queued again due now.
    void CallPlacedCalls();
    QMenu* BuildPlacedCallMenu();
    void SortPlacedCalls(int column);
    void ShowNode(QTreeWidgetItem* item);

private:
    TToCallRow* RowOf(const QTreeWidgetItem* item) const;
    TOCALL* PlacedCallOf(const QTreeWidgetItem* item) const;
    QList<TOCALL*> SelectedPlacedCalls() const;
    void AddTreeNode(QTreeWidgetItem* parent, TOutgoingNode* node);
    void DeleteNode();
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::unique_ptr<Ui::TOutgoingTab> ui;
    TTabHost& m_host;
    TConfig& m_config;
    TOutgoingQueue& m_queue;
    TOutgoingHistory& m_history;
    quint64 m_shownRevision = ~0ull;
    QList<TOCALL*> m_shownCalls;
};
