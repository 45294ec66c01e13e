#include "ui/main/outgoingtab.h"

#include <QHash>
#include <QKeyEvent>
#include <QMenu>
#include <QTreeWidget>

#include "outgoing/outgoingqueue.h"
#include "platform/clock.h"
#include "store/config.h"
#include "store/outgoinghistory.h"
#include "ui/main/tabhost.h"
#include "ui_outgoingtab.h"

namespace {
constexpr int kMinPanelHeight = 30;
constexpr int kQueueWidths[] = {100, 110, 110, 110, 100, 60};
constexpr int kPlacedWidths[] = {120, 110, 120, 110, 70, 60};

template <typename T>
QVariant Pointer(T* pointer) {
    return QVariant::fromValue(reinterpret_cast<quintptr>(pointer));
}
template <typename T>
T* PointerOf(const QTreeWidgetItem* item) {
    return item ? reinterpret_cast<T*>(item->data(0, Qt::UserRole).value<quintptr>()) : nullptr;
}
}  // namespace

TOutgoingTab::TOutgoingTab(TTabHost& host, TConfig& config, TOutgoingQueue& queue,
                           TOutgoingHistory& history, QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::TOutgoingTab>()),
      m_host(host),
      m_config(config),
      m_queue(queue),
      m_history(history) {
    ui->setupUi(this);
    setFocusProxy(ui->ToCallListView);
    for (int c = 0; c < 6; ++c) {
        ui->ToCallListView->setColumnWidth(c, kQueueWidths[c] + 16);
        ui->PlaceCallHistoryList->setColumnWidth(c, kPlacedWidths[c] + 16);
    }
    connect(ui->OutgoingCallButton, &QToolButton::clicked, this,
            &TOutgoingTab::OutgoingCallButtonClick);
    connect(ui->DeleteToCallButton, &QToolButton::clicked, this,
            &TOutgoingTab::DeleteToCallButtonClick);
    connect(ui->CallOutgoingButton, &QToolButton::clicked, this,
            &TOutgoingTab::CallOutgoingButtonClick);
    connect(ui->ShowOutgoingCallsButton, &QCheckBox::clicked, this, [this](bool on) {
        m_config.SetShowOutgoingCallsButton(on);
        UpdateOutgoingPanel();
    });
    connect(ui->ToCallListView, &QTreeWidget::itemSelectionChanged, this,
            &TOutgoingTab::UpdateOutgoingPanel);
    connect(ui->outgoingSplitter, &QSplitter::splitterMoved, this,
            &TOutgoingTab::UpdateOutgoingPanel);
    connect(ui->placedCallTree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* item) { ShowNode(item); });
    connect(ui->PlaceCallHistoryList->header(), &QHeaderView::sectionClicked, this,
            &TOutgoingTab::SortPlacedCalls);
    for (QTreeWidget* list : {ui->placedCallTree, ui->PlaceCallHistoryList})
        connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
            QMenu* menu = BuildPlacedCallMenu();
            menu->exec(list->viewport()->mapToGlobal(at));
            menu->deleteLater();
        });
    ui->placedCallTree->installEventFilter(this);
}

void TOutgoingTab::Load() {
    ui->ShowOutgoingCallsButton->setChecked(m_config.ShowOutgoingCallsButton());
    if (m_config.TreeView1Width > 0)
        ui->placedCallSplitter->setSizes({m_config.TreeView1Width, 4 * m_config.TreeView1Width});
    if (m_config.OCPanelHeight > 0)
        ui->outgoingSplitter->setSizes({m_config.OCPanelHeight, 3 * m_config.OCPanelHeight});
    UpdateOutgoingPanel();
    RefreshPlacedCalls();
    RefreshQueue();
}

TOutgoingTab::~TOutgoingTab() = default;

void TOutgoingTab::TabShown() {
    UpdateOutgoingPanel();
    RefreshQueue();
}

void TOutgoingTab::StoreGeometry(TConfig& config) const {
    const QList<int> tree = ui->placedCallSplitter->sizes();
    if (!tree.isEmpty() && tree[0] > 0) config.TreeView1Width = tree[0];
    if (ui->OCPanel->isVisible()) config.OCPanelHeight = ui->OCPanel->height();
}

void TOutgoingTab::UpdateOutgoingPanel() {
    const bool on = m_config.ShowOutgoingCallsButton();
    ui->OCPanel->setVisible(on);
    if (on && ui->OCPanel->height() < kMinPanelHeight && isVisible()) {
        QList<int> sizes = ui->outgoingSplitter->sizes();
        if (sizes.size() == 2) ui->outgoingSplitter->setSizes({kMinPanelHeight * 3, sizes[1]});
    }
    const bool selected = !ui->ToCallListView->selectedItems().isEmpty();
    ui->OutgoingCallButton->setEnabled(on);
    ui->DeleteToCallButton->setEnabled(on && selected);
    ui->CallOutgoingButton->setEnabled(on && (selected || !SelectedPlacedCalls().isEmpty()));
}

// The queue's row an item shows, or null when that row has left the queue since.
TToCallRow* TOutgoingTab::RowOf(const QTreeWidgetItem* item) const {
    const TToCallRow* shown = PointerOf<TToCallRow>(item);
    for (const auto& row : m_queue.Rows())
        if (row.get() == shown && !row->Deleted) return row.get();
    return nullptr;
}

// The list follows the queue: rows are made or dropped only when the queue changed, and the
// texts that tick (time remaining, status) are set where they differ.
void TOutgoingTab::RefreshQueue() {
    std::vector<TToCallRow*> rows;
    for (const auto& row : m_queue.Rows())
        if (!row->Deleted) rows.push_back(row.get());
    QTreeWidget* list = ui->ToCallListView;
    bool same = list->topLevelItemCount() == int(rows.size());
    for (int i = 0; same && i < list->topLevelItemCount(); ++i)
        same = PointerOf<TToCallRow>(list->topLevelItem(i)) == rows[size_t(i)];
    if (!same) {
        QList<TToCallRow*> selected;
        for (QTreeWidgetItem* item : list->selectedItems())
            selected << PointerOf<TToCallRow>(item);
        list->clear();
        for (TToCallRow* row : rows) {
            auto* item = new QTreeWidgetItem(list);
            item->setData(0, Qt::UserRole, Pointer(row));
            item->setSelected(selected.contains(row));
        }
    }
    if (!isVisible() && same) return;  // texts are set when the tab shows
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        const TToCallRow* row = rows[size_t(i)];
        // The name, number and time are written again only when the call's time moved (a
        // retry, "call now"); the remaining time and the status tick.
        if (item->data(3, Qt::UserRole).toDouble() != row->Call->When || item->text(0).isNull()) {
            const QStringList texts = row->Texts();
            for (int c = 0; c < texts.size(); ++c)
                item->setText(c, texts[c]);
            item->setData(3, Qt::UserRole, row->Call->When);
            continue;
        }
        if (item->text(4) != row->TimeRemaining) item->setText(4, row->TimeRemaining);
        if (item->text(5) != row->Status) item->setText(5, row->Status);
    }
    UpdateOutgoingPanel();
}

// A call that ended has left the queue: its row goes at once, shown or not; the ticking texts
// are only set while somebody can see them.
void TOutgoingTab::OnTick() {
    if (m_history.Revision() != m_shownRevision) RefreshPlacedCalls();
    RefreshQueue();
}

void TOutgoingTab::Queue(const TOCALL& record) {
    m_queue.AddToCallList(record);
    RefreshQueue();
}

void TOutgoingTab::OutgoingCallButtonClick() {
    TOCALL record;
    record.When = TClock::NowDays();
    TGetQuickDialForm dialog(window());
    dialog.SetRecord(&record);
    if (RunQuickDial(dialog) == QDialog::Accepted) m_host.QueueCalls({record});
}

void TOutgoingTab::DeleteToCallButtonClick() {
    for (QTreeWidgetItem* item : ui->ToCallListView->selectedItems())
        if (TToCallRow* row = RowOf(item)) m_queue.DeleteRow(row);  // a call under way stays
    RefreshQueue();
}

void TOutgoingTab::CallOutgoingButtonClick() {
    if (!SelectedPlacedCalls().isEmpty()) {
        QList<TOCALL> calls;
        for (const TOCALL* placed : SelectedPlacedCalls()) {
            TOCALL record;
            record.Name = placed->Name;
            record.NumberToDial = placed->NumberToDial;
            record.ToPager = placed->ToPager;
            record.When = TClock::NowDays();
            calls << record;
        }
        m_host.QueueCalls(calls);
        return;
    }
    if (ui->ToCallListView->selectedItems().isEmpty() || !m_host.DialAllowed()) return;
    for (QTreeWidgetItem* item : ui->ToCallListView->selectedItems())
        if (TToCallRow* row = RowOf(item); row && row->Call->CallState == 0)
            row->Call->When = TClock::NowDays();  // at the next tick
    RefreshQueue();
}

void TOutgoingTab::CallPlacedCalls() {
    QList<TOCALL> calls;
    for (const TOCALL* placed : SelectedPlacedCalls()) {
        TOCALL record = *placed;
        record.When = TClock::NowDays();
        record.StartTime = record.EndTime = record.CostFirst = record.CostMore = 0;
        calls << record;
    }
    if (!calls.isEmpty()) m_host.QueueCalls(calls);
}

QMenu* TOutgoingTab::BuildPlacedCallMenu() {
    auto* menu = new QMenu(ui->PlaceCallHistoryList);
    QAction* call = menu->addAction(QStringLiteral("Call"));
    call->setObjectName(QStringLiteral("OCHCallMenu"));
    const QList<TOCALL*> selected = SelectedPlacedCalls();
    call->setEnabled(!selected.isEmpty());
    if (!selected.isEmpty()) {
        const TOCALL* first = selected.first();
        call->setText(QStringLiteral("Call \"%1\"")
                          .arg(first->Name.isEmpty() ? first->NumberToDial : first->Name));
    }
    connect(call, &QAction::triggered, this, &TOutgoingTab::CallPlacedCalls);
    return menu;
}

TOCALL* TOutgoingTab::PlacedCallOf(const QTreeWidgetItem* item) const {
    return PointerOf<TOCALL>(item);
}

QList<TOCALL*> TOutgoingTab::SelectedPlacedCalls() const {
    QList<TOCALL*> calls;
    for (QTreeWidgetItem* item : ui->PlaceCallHistoryList->selectedItems())
        if (TOCALL* call = PlacedCallOf(item)) calls << call;
    return calls;
}

void TOutgoingTab::AddTreeNode(QTreeWidgetItem* parent, TOutgoingNode* node) {
    auto* item = new QTreeWidgetItem(parent, {node->Text});
    item->setData(0, Qt::UserRole, Pointer(node));
    for (const auto& child : node->Children)
        AddTreeNode(item, child.get());
}

// The tree is built anew from the history; the node shown before stays chosen when it is
// still there, else the root.
void TOutgoingTab::RefreshPlacedCalls() {
    m_shownRevision = m_history.Revision();
    QTreeWidget* tree = ui->placedCallTree;
    const QString chosen = tree->currentItem() ? tree->currentItem()->text(0) : QString();
    const QSignalBlocker quiet(tree);
    tree->clear();
    auto* root = new QTreeWidgetItem(tree, {m_history.Root()->Text});
    root->setData(0, Qt::UserRole, Pointer(m_history.Root()));
    for (const auto& child : m_history.Root()->Children)
        AddTreeNode(root, child.get());
    root->setExpanded(true);
    const QList<QTreeWidgetItem*> found =
        chosen.isEmpty() ? QList<QTreeWidgetItem*>()
                         : tree->findItems(chosen, Qt::MatchExactly | Qt::MatchRecursive);
    QTreeWidgetItem* current = found.isEmpty() ? root : found.first();
    tree->setCurrentItem(current);
    ShowNode(current);
}

void TOutgoingTab::ShowNode(QTreeWidgetItem* item) {
    auto* node = PointerOf<TOutgoingNode>(item);
    m_shownCalls = node ? TOutgoingHistory::CallsUnder(node) : QList<TOCALL*>();
    QTreeWidget* list = ui->PlaceCallHistoryList;
    list->clear();
    QList<QTreeWidgetItem*> rows;
    for (TOCALL* call : m_shownCalls) {
        auto* row = new QTreeWidgetItem(TOutgoingHistory::RowTexts(*call));
        row->setData(0, Qt::UserRole, Pointer(call));
        rows << row;
    }
    list->addTopLevelItems(rows);
    const TTotals totals = TOutgoingQueue::UpdateTotals(m_shownCalls);
    ui->TotalCostLabel->setText(totals.TotalCost);
    ui->TotalLengthLabel->setText(totals.TotalLength);
    ui->MeanCostLabel->setText(totals.MeanCost);
    ui->MeanLengthLabel->setText(totals.MeanLength);
}

void TOutgoingTab::SortPlacedCalls(int column) {
    if (column < 0 || column >= 6) return;
    m_config.OutgoingSortDirections[column] ^= 1;
    QList<TOCALL*> calls = m_shownCalls;
    TOutgoingHistory::Sort(calls, column, m_config.OutgoingSortDirections[column] != 0);
    QTreeWidget* list = ui->PlaceCallHistoryList;
    QList<QTreeWidgetItem*> rows;
    while (list->topLevelItemCount() > 0)
        rows << list->takeTopLevelItem(0);
    QHash<const TOCALL*, qsizetype> rank;
    for (qsizetype i = 0; i < calls.size(); ++i)
        rank.insert(calls[i], i);
    std::stable_sort(rows.begin(), rows.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        return rank.value(PlacedCallOf(a)) < rank.value(PlacedCallOf(b));
    });
    list->addTopLevelItems(rows);
}

void TOutgoingTab::DeleteNode() {
    auto* node = PointerOf<TOutgoingNode>(ui->placedCallTree->currentItem());
    if (!node) return;
    m_history.Delete(node);
    m_history.SaveOutgoingHistory();
    RefreshPlacedCalls();
}

// The event's kind is looked at first: while the window is being torn down the tree still
// receives events after the form's pointers have gone.
bool TOutgoingTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == ui->placedCallTree &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        DeleteNode();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
