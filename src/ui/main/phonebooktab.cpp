#include "ui/main/phonebooktab.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QTimer>
#include <QTreeWidget>

#include "platform/clock.h"
#include "platform/prompts.h"
#include "store/blocklist.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/message.h"
#include "store/phonebook.h"
#include "ui/dialogs/plaintext.h"
#include "ui/main/listexport.h"
#include "ui/main/tabhost.h"
#include "ui_phonebooktab.h"

namespace {
enum Column { OriginalName, DisplayName, Number, Greeting, ActionToTake, Called, NotifySound };
constexpr int kDefaultWidths[TPhoneBookTab::kColumns] = {100, 110, 90, 100, 90, 42, 75};
constexpr int kCountRole = Qt::UserRole + 1;

// Rows are moved only between rows, never into one another.
constexpr Qt::ItemFlags kRowFlags =
    Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsDragEnabled;

// A new entry for the caller of a logged call: known by the number, named as caller ID said.
PhoneBookEntry EntryFromCall(const CallLogRecord& call) {
    PhoneBookEntry entry;
    entry.RealName = entry.DisplayName = call.Name;
    entry.Number = call.Number;
    return entry;
}

QString Quoted(const QString& text) {
    return QLatin1Char('"') + text + QLatin1Char('"');
}
}  // namespace

TPhoneBookTab::TPhoneBookTab(TTabHost& host, TConfig& config, TPhoneBook& phoneBook,
                             QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::TPhoneBookTab>()),
      m_host(host),
      m_config(config),
      m_phoneBook(phoneBook) {
    ui->setupUi(this);
    setFocusProxy(ui->PhoneBookList);
    QTreeWidget* list = ui->PhoneBookList;
    MakeActions();
    list->installEventFilter(this);
    list->invisibleRootItem()->setFlags(Qt::ItemIsDropEnabled | Qt::ItemIsEnabled);
    connect(list, &QTreeWidget::itemSelectionChanged, this, &TPhoneBookTab::UpdatePhoneBookButtons);
    connect(list->header(), &QHeaderView::sectionClicked, this, &TPhoneBookTab::SortBy);
    connect(list, &QTreeWidget::itemDoubleClicked, this, [this] {
        if (ui->EditPhoneBookItem->isEnabled()) EditSelected();
    });
    connect(list, &QWidget::customContextMenuRequested, this, [this, list](const QPoint& at) {
        QMenu* menu = BuildPopup();
        menu->exec(list->viewport()->mapToGlobal(at));
        menu->deleteLater();
    });
    // A drop moves rows; their new order is taken once the move is complete.
    // Rows dragged into an order of the user's own are not sorted again when the tab shows.
    connect(list->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (m_arranging) return;
        m_config.PhoneBookSortColumn = 0;
        std::fill(std::begin(m_config.PhoneBookSortDirections),
                  std::end(m_config.PhoneBookSortDirections), 0);
        QTimer::singleShot(0, this, &TPhoneBookTab::TakeRowOrder);
    });
    connect(ui->AddNewPhoneBookButton, &QToolButton::clicked, this,
            &TPhoneBookTab::AddNewPhoneBookButtonClick);
    connect(ui->EditPhoneBookItem, &QToolButton::clicked, this, &TPhoneBookTab::EditSelected);
    connect(ui->DeletePhoneBookEntryButton, &QToolButton::clicked, this,
            &TPhoneBookTab::DeleteSelected);
    connect(ui->BackupPhoneBookButton, &QToolButton::clicked, this,
            &TPhoneBookTab::BackupPhoneBookButtonClick);
    connect(ui->RestorePhoneBookButton, &QToolButton::clicked, this,
            &TPhoneBookTab::RestorePhoneBookButtonClick);
    connect(ui->ImportButton, &QToolButton::clicked, this, &TPhoneBookTab::ImportBlockList);
    connect(ui->CallPhoneBookEntryButton, &QToolButton::clicked, this,
            &TPhoneBookTab::CallSelected);
}

TPhoneBookTab::~TPhoneBookTab() = default;

void TPhoneBookTab::TabShown() {
    ApplyStoredSort();
    UpdateLastBackupLabel();
}

// The first four columns' widths are kept; the others are sized to their content.
void TPhoneBookTab::StoreGeometry(TConfig& config) const {
    for (int column = 0; column < 4; ++column)
        config.PhoneBookColumnWidths[column] = ui->PhoneBookList->columnWidth(column);
}

PhoneBookEntry* TPhoneBookTab::EntryOf(const QTreeWidgetItem* row) const {
    return row ? reinterpret_cast<PhoneBookEntry*>(row->data(0, Qt::UserRole).value<quintptr>())
               : nullptr;
}

QTreeWidgetItem* TPhoneBookTab::RowOf(const PhoneBookEntry* entry) const {
    for (int i = 0; i < ui->PhoneBookList->topLevelItemCount(); ++i)
        if (EntryOf(ui->PhoneBookList->topLevelItem(i)) == entry)
            return ui->PhoneBookList->topLevelItem(i);
    return nullptr;
}

void TPhoneBookTab::ApplyColumnWidths() {
    for (int column = 0; column < kColumns; ++column) {
        const int stored = column < 4 ? m_config.PhoneBookColumnWidths[column] : 0;
        ui->PhoneBookList->setColumnWidth(
            column, stored > 0 && stored != 100 ? stored : kDefaultWidths[column] + 20);
    }
}

void TPhoneBookTab::LoadRows() {
    m_arranging = true;
    ApplyColumnWidths();
    ui->PhoneBookList->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(m_phoneBook.Entries.size()));
    for (const auto& entry : m_phoneBook.Entries)
        rows << NewRow(entry.get());
    ui->PhoneBookList->addTopLevelItems(rows);
    m_arranging = false;
    UpdateLastBackupLabel();
    UpdatePhoneBookButtons();
}

// The entry's row refreshed in place, or a new row at the end.
QTreeWidgetItem* TPhoneBookTab::ShowPhoneBookRow(PhoneBookEntry* entry) {
    QTreeWidgetItem* row = RowOf(entry);
    if (!row) {
        m_arranging = true;
        ui->PhoneBookList->addTopLevelItem(row = NewRow(entry));
        m_arranging = false;
    }
    FillRow(row, *entry);
    return row;
}

QTreeWidgetItem* TPhoneBookTab::NewRow(PhoneBookEntry* entry) {
    auto* row = new QTreeWidgetItem;
    row->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry)));
    row->setFlags(kRowFlags);
    FillRow(row, *entry);
    return row;
}

void TPhoneBookTab::FillRow(QTreeWidgetItem* row, const PhoneBookEntry& entry) {
    const QStringList texts = TPhoneBook::RowTexts(entry);
    for (int column = 0; column < kColumns; ++column)
        row->setText(column, texts[column]);
    row->setData(Called, kCountRole, entry.TimesCalled);
}

void TPhoneBookTab::UpdatePhoneBookButtons() {
    const QList<QTreeWidgetItem*> selected = ui->PhoneBookList->selectedItems();
    const QString name =
        selected.size() == 1 ? Quoted(EntryOf(selected[0])->DisplayName) : QString();
    ui->EditPhoneBookItem->setEnabled(!selected.isEmpty());
    ui->EditPhoneBookItem->setToolTip(PlainTip(
        selected.isEmpty() ? QStringLiteral("Can't edit because nothing is selected in the list")
        : selected.size() == 1 ? QStringLiteral("Edit ") + name
                               : QStringLiteral("Edit all the selected phonebook entries")));
    const bool open = m_host.LineOpen();
    ui->CallPhoneBookEntryButton->setEnabled(open && !selected.isEmpty());
    ui->CallPhoneBookEntryButton->setToolTip(
        PlainTip(open && !selected.isEmpty()
                     ? QStringLiteral("Call ") + Quoted(EntryOf(selected[0])->DisplayName)
                     : QStringLiteral("Can't call because you are not connected to a modem")));
    ui->DeletePhoneBookEntryButton->setEnabled(!selected.isEmpty());
    ui->DeletePhoneBookEntryButton->setToolTip(PlainTip(
        selected.isEmpty()
            ? QStringLiteral("Can't delete anything because nothing is selected in the list")
        : selected.size() == 1
            ? QStringLiteral("Delete ") + name + QStringLiteral(" from the phone book")
            : QStringLiteral("Delete all the selected phonebook entries")));
    UpdateMenuActions();
}

void TPhoneBookTab::UpdateLastBackupLabel() {
    const bool any = !m_phoneBook.Entries.empty();
    ui->LastBackupLabel->setVisible(any);
    ui->BackupPhoneBookButton->setEnabled(any);
    if (any) ui->LastBackupLabel->setText(TPhoneBook::LastBackupText(m_config.LastBackupTime));
}

QAction* TPhoneBookTab::AddAction(const char* name, const QKeySequence& keys,
                                  void (TPhoneBookTab::*run)()) {
    auto* action = new QAction(ui->PhoneBookList);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ui->PhoneBookList->addAction(action);
    connect(action, &QAction::triggered, this, run);
    return action;
}

// Made once: the shortcuts work on the list at any time, not only while the menu is open.
void TPhoneBookTab::MakeActions() {
    m_call = AddAction("PhoneBookMenuCall", QKeySequence(Qt::CTRL | Qt::Key_D),
                       &TPhoneBookTab::CallSelected);
    m_edit = AddAction("PhoneBookMenuEdit", QKeySequence(Qt::CTRL | Qt::Key_E),
                       &TPhoneBookTab::EditSelected);
    m_new = AddAction("PhoneBookMenuNew", {}, &TPhoneBookTab::AddNewPhoneBookButtonClick);
    m_new->setText(QStringLiteral("New"));
    m_copy = AddAction("PhoneBookMenuCopy", QKeySequence(Qt::CTRL | Qt::Key_C),
                       &TPhoneBookTab::CopyToClipboard);
    m_delete = AddAction("PhoneBookMenuDelete", QKeySequence(Qt::Key_Delete),
                         &TPhoneBookTab::DeleteSelected);
    m_export = AddAction("Exportlisttotextfile1", {}, &TPhoneBookTab::ExportToText);
    m_export->setText(QStringLiteral("Export list to text file..."));
}

void TPhoneBookTab::UpdateMenuActions() {
    const QList<QTreeWidgetItem*> selected = ui->PhoneBookList->selectedItems();
    const QString name =
        selected.size() == 1 ? Quoted(EntryOf(selected[0])->DisplayName) : QString();
    auto caption = [&](const QString& verb, const QString& many, const QString& suffix) {
        return selected.size() > 1    ? many
               : selected.size() == 1 ? verb + QLatin1Char(' ') + name + suffix
                                      : verb + suffix;
    };
    const PhoneBookEntry* focused = EntryOf(ui->PhoneBookList->currentItem());
    const bool callable = m_host.LineOpen() && focused;
    m_call->setText(callable ? QStringLiteral("Call ") + Quoted(focused->DisplayName) +
                                   QStringLiteral("...")
                             : QStringLiteral("Call"));
    m_call->setEnabled(callable);
    m_edit->setText(caption(QStringLiteral("Edit"),
                            QStringLiteral("Edit Selected Phone Book Entries..."),
                            QStringLiteral("...")));
    m_edit->setEnabled(!selected.isEmpty());
    m_copy->setText(caption(QStringLiteral("Copy"),
                            QStringLiteral("Copy Selected Phone Book Entries"), QString()));
    m_copy->setEnabled(!selected.isEmpty());
    m_delete->setText(caption(QStringLiteral("Delete"),
                              QStringLiteral("Delete Selected Phone Book Entries"), QString()));
    m_delete->setEnabled(!selected.isEmpty());
}

QMenu* TPhoneBookTab::BuildPopup() {
    UpdateMenuActions();
    auto* menu = new QMenu(ui->PhoneBookList);
    menu->addAction(m_call);
    menu->addSeparator();
    menu->addActions({m_edit, m_new});
    menu->addSeparator();
    menu->addActions({m_copy, m_delete});
    menu->addSeparator();
    menu->addAction(m_export);
    return menu;
}

// The entry goes to the dialog as a copy and comes back only after OK.
bool TPhoneBookTab::EditEntryDialog(PhoneBookEntry& entry, bool editing) {
    TGetNewName dialog(ui->PhoneBookList->window());
    dialog.SetEntry(entry, editing);
    if (RunEntryDialog(dialog) != QDialog::Accepted) return false;
    entry = dialog.Entry();
    return true;
}

// Saved at once; the history shows the new names; duplicates are pointed out.
void TPhoneBookTab::EntriesChanged() {
    m_phoneBook.SavePhoneBook();
    emit PhoneBookChanged();
    CheckDuplicateEntries();
    UpdateLastBackupLabel();
    UpdatePhoneBookButtons();
}

void TPhoneBookTab::AddNewPhoneBookButtonClick() {
    PhoneBookEntry entry;
    entry.DisplayName = QStringLiteral("Test Caller");
    entry.Number = QStringLiteral("111-111-1111");
    if (!EditEntryDialog(entry, false)) return;
    ShowPhoneBookRow(m_phoneBook.Add(entry));
    EntriesChanged();
}

void TPhoneBookTab::EditSelected() {
    bool confirmed = false;
    for (QTreeWidgetItem* row : ui->PhoneBookList->selectedItems()) {
        PhoneBookEntry* entry = EntryOf(row);
        if (!EditEntryDialog(*entry, true)) break;  // Cancel ends the walk
        ShowPhoneBookRow(entry);
        confirmed = true;
    }
    if (confirmed) EntriesChanged();
    UpdatePhoneBookButtons();
}

void TPhoneBookTab::DeleteSelected() {
    const QList<QTreeWidgetItem*> selected = ui->PhoneBookList->selectedItems();
    if (selected.isEmpty()) return;
    const QString question =
        selected.size() == 1
            ? FormatText(StringTableText(MSG_DELETE_ENTRY), {EntryOf(selected[0])->DisplayName})
            : QStringLiteral("Delete all selected phone book entries?");
    if (ShowManagedMessage(MSG_DELETE_ENTRY, question, MSG_OK_CANCEL) != prompt::IDOK) return;
    for (QTreeWidgetItem* row : selected) {
        const PhoneBookEntry* entry = EntryOf(row);
        delete row;
        m_phoneBook.Remove(entry);
    }
    m_phoneBook.SavePhoneBook();
    emit PhoneBookChanged();
    UpdateLastBackupLabel();
    UpdatePhoneBookButtons();
}

void TPhoneBookTab::EditCallers(const QList<CallLogRecord*>& calls) {
    bool confirmed = false;
    for (const CallLogRecord* call : calls) {
        if (PhoneBookEntry* found = m_phoneBook.FindCaller(call->Number, call->Name)) {
            if (!EditEntryDialog(*found, true)) break;
            ShowPhoneBookRow(found);
        } else {
            PhoneBookEntry entry = EntryFromCall(*call);
            if (!EditEntryDialog(entry, false)) break;
            ShowPhoneBookRow(m_phoneBook.Add(entry));
        }
        confirmed = true;
    }
    if (confirmed) EntriesChanged();
}

void TPhoneBookTab::BlockCaller(const CallLogRecord& call) {
    PhoneBookEntry entry = EntryFromCall(call);
    entry.ActionFlags = ActionHangUp;
    if (!EditEntryDialog(entry, false)) return;
    ShowPhoneBookRow(m_phoneBook.Add(entry));
    EntriesChanged();
}

int TPhoneBookTab::CheckDuplicateEntries() {
    const QList<TPhoneBook::DuplicatePair> pairs = m_phoneBook.CheckDuplicateEntries();
    if (pairs.isEmpty()) return 0;
    emit ShowRequested();
    ui->PhoneBookList->clearSelection();
    for (const TPhoneBook::DuplicatePair& pair : pairs) {
        QTreeWidgetItem* first = ui->PhoneBookList->topLevelItem(pair.First);
        QTreeWidgetItem* second = ui->PhoneBookList->topLevelItem(pair.Second);
        if (first) first->setSelected(true);
        if (second) second->setSelected(true);
        if (first) ui->PhoneBookList->scrollToItem(first);
        Prompts().MessageBox(pair.Text, QStringLiteral(" "), prompt::MB_OK);
    }
    return int(pairs.size());
}

void TPhoneBookTab::BackupPhoneBookButtonClick() {
    m_phoneBook.BackupPhoneBook(m_config,
                                QLocale().toString(QDate::currentDate(), QLocale::ShortFormat));
    UpdateLastBackupLabel();
}

void TPhoneBookTab::RestorePhoneBookButtonClick() {
    if (m_phoneBook.RestorePhoneBook()) {
        LoadRows();
        emit PhoneBookChanged();
    }
    UpdateLastBackupLabel();
}

// A list of numbers to hang up on, from a file: added, saved and shown in one go.
void TPhoneBookTab::ImportBlockList() {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Import Numbers to Hang Up On");
    request.Filter = QStringLiteral("Lists of numbers (*.txt *.csv)|*.txt;*.csv|All files|*");
    request.FileMustExist = true;
    const QString path = Prompts().OpenFileName(request);
    if (path.isEmpty()) return;
    const TBlockList::TResult result = TBlockList::Import(m_phoneBook, path);
    if (!result.Error.isEmpty()) {
        Prompts().MessageBox(result.Error, QStringLiteral("Ringvale"), prompt::MB_OK);
        return;
    }
    if (result.Added > 0) {
        m_phoneBook.SavePhoneBook();
        LoadRows();
        emit PhoneBookChanged();
        UpdateLastBackupLabel();
    }
    Prompts().MessageBox(TBlockList::ResultText(result), QStringLiteral("Ringvale"), prompt::MB_OK);
}

void TPhoneBookTab::ExportToText() {
    const QString today =
        QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).replace('/', '-');
    ExportListToText(ui->PhoneBookList,
                     QStringLiteral("Phone Book ") + today + QStringLiteral(".txt"),
                     RunTextFileForm);
}

void TPhoneBookTab::CallSelected() {
    QList<TOCALL> calls;
    for (QTreeWidgetItem* row : ui->PhoneBookList->selectedItems()) {
        if (IsNumberPattern(EntryOf(row)->Number)) continue;  // many numbers, none to dial
        TOCALL call;
        call.Name = EntryOf(row)->DisplayName;
        call.NumberToDial = EntryOf(row)->Number;
        call.When = TClock::NowDays();
        calls << call;
    }
    if (!calls.isEmpty()) m_host.QueueCalls(calls);
}

void TPhoneBookTab::CopyToClipboard() {
    QApplication::clipboard()->setText(SelectedRowsText(ui->PhoneBookList));
}

void TPhoneBookTab::SortBy(int column) {
    if (column < 0 || column >= kColumns) return;
    m_config.PhoneBookSortDirections[column] ^= 1;
    m_config.PhoneBookSortColumn = column;
    SortRows(column);
}

void TPhoneBookTab::ApplyStoredSort() {
    const auto& directions = m_config.PhoneBookSortDirections;
    if (m_config.PhoneBookSortColumn == 0 &&
        std::none_of(std::begin(directions), std::end(directions), [](quint8 d) { return d; }))
        return;  // the order the user arranged by hand
    SortRows(qBound(0, int(m_config.PhoneBookSortColumn), kColumns - 1));
}

void TPhoneBookTab::SortRows(int column) {
    // The first click on a column sorts it ascending, the next descending.
    const bool descending = m_config.PhoneBookSortDirections[column] == 0;
    QList<QTreeWidgetItem*> rows;
    for (int i = 0; i < ui->PhoneBookList->topLevelItemCount(); ++i)
        rows << ui->PhoneBookList->topLevelItem(i);
    std::stable_sort(rows.begin(), rows.end(), [&](QTreeWidgetItem* a, QTreeWidgetItem* b) {
        const int order =
            column == Called
                ? a->data(Called, kCountRole).toInt() - b->data(Called, kCountRole).toInt()
                : QString::localeAwareCompare(a->text(column), b->text(column));
        return descending ? order > 0 : order < 0;
    });
    m_arranging = true;
    const QList<QTreeWidgetItem*> selected = ui->PhoneBookList->selectedItems();
    while (ui->PhoneBookList->topLevelItemCount() > 0)
        ui->PhoneBookList->takeTopLevelItem(0);
    ui->PhoneBookList->addTopLevelItems(rows);
    for (QTreeWidgetItem* row : selected)
        row->setSelected(true);
    m_arranging = false;
    TakeRowOrder();
}

void TPhoneBookTab::TakeRowOrder() {
    std::vector<const PhoneBookEntry*> order;
    order.reserve(size_t(ui->PhoneBookList->topLevelItemCount()));
    for (int i = 0; i < ui->PhoneBookList->topLevelItemCount(); ++i)
        order.push_back(EntryOf(ui->PhoneBookList->topLevelItem(i)));
    bool same = order.size() == m_phoneBook.Entries.size();
    for (size_t i = 0; same && i < order.size(); ++i)
        same = order[i] == m_phoneBook.Entries[i].get();
    if (same || !m_phoneBook.Reorder(order)) return;
    m_phoneBook.SavePhoneBook();
    emit PhoneBookChanged();  // another entry may now be found first for a caller
}

// A letter jumps to the next display name, a digit to the next number, starting with that
// character (letters as capitals), after the focused row and then from the top.
bool TPhoneBookTab::SearchKey(int key) {
    int column;
    if (key >= 65 && key <= 122)
        column = DisplayName;
    else if (key >= 48 && key <= 57)
        column = Number;
    else
        return false;
    QTreeWidget* list = ui->PhoneBookList;
    const int count = list->topLevelItemCount();
    const int focused = list->currentItem() ? list->indexOfTopLevelItem(list->currentItem()) : -1;
    list->clearSelection();
    const QChar wanted(key);
    for (int step = 1; step <= count; ++step) {
        QTreeWidgetItem* row = list->topLevelItem((focused + step + count) % count);
        if (!row->text(column).startsWith(wanted, Qt::CaseSensitive)) continue;
        list->scrollToItem(row);
        list->setCurrentItem(row);
        row->setSelected(true);
        break;
    }
    UpdatePhoneBookButtons();
    return true;
}

// The event's kind is looked at first: while the window is being torn down the list still
// receives events after the form's pointers have gone.
bool TPhoneBookTab::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) &&
        watched == ui->PhoneBookList) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) return false;
        const bool searchable = (key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9) ||
                                (key->key() >= Qt::Key_A && key->key() <= Qt::Key_Z);
        if (!searchable) return false;
        if (event->type() == QEvent::KeyPress) SearchKey(key->key());
        return true;  // the list's own search must not act as well
    }
    return QObject::eventFilter(watched, event);
}
