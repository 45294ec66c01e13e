#include "ui/main/historytab.h"

#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QLocale>
#include <QMenu>
#include <QPainter>
#include <QTreeWidget>

#include "platform/atomicfile.h"
#include "platform/clock.h"
#include "platform/prompts.h"
#include "platform/tfile.h"
#include "platform/tshell.h"
#include "store/calllog.h"
#include "store/config.h"
#include "store/message.h"
#include "store/phonebook.h"
#include "ui/dialogs/plaintext.h"
#include "ui/main/listexport.h"
#include "ui/main/tabhost.h"
#include "ui_historytab.h"

namespace {
// Where a row keeps the state its image shows, so that an unchanged row is not redrawn.
constexpr int kShownStateRole = Qt::UserRole + 1;

// The state images: no message, a new message, a message already heard.
QIcon DrawStateIcon(int state) {
    QPixmap pixmap(12, 12);
    pixmap.fill(Qt::transparent);
    if (state != NoMessage) {
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(state == NewMessage ? QColor(0, 170, 0) : QColor(160, 160, 160));
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(1, 1, 10, 10);
    }
    return QIcon(pixmap);
}

// Drawn once: a refresh of the whole history must not paint 250 images. Never freed: a
// pixmap must not outlive the application object, as a static would.
const QIcon& StateIcon(int state) {
    static const QIcon* const kIcons =
        new QIcon[3]{DrawStateIcon(0), DrawStateIcon(1), DrawStateIcon(2)};
    return kIcons[qBound(0, state, 2)];
}

void ShowState(QTreeWidgetItem* row, int state) {
    if (row->data(0, kShownStateRole) == QVariant(state)) return;
    row->setData(0, kShownStateRole, state);
    row->setIcon(0, StateIcon(state));
}
}  // namespace

THistoryTab::THistoryTab(TTabHost& host, TConfig& config, TCallLog& log, TPhoneBook& phoneBook,
                         QWidget* parent)
    : QWidget(parent),
      ui(std::make_unique<Ui::THistoryTab>()),
      m_host(host),
      m_config(config),
      m_log(log),
      m_phoneBook(phoneBook) {
    ui->setupUi(this);
    setFocusProxy(ui->historyList);
    MakeActions();
    connect(ui->historyList, &QTreeWidget::itemSelectionChanged, this,
            &THistoryTab::UpdateHistoryButtons);
    connect(ui->historyList->header(), &QHeaderView::sectionClicked, this, &THistoryTab::SortBy);
    connect(ui->historyList, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QMenu* menu = BuildPopup();
        menu->exec(ui->historyList->viewport()->mapToGlobal(at));
        menu->deleteLater();
    });
    connect(ui->DeleteCallerButton, &QToolButton::clicked, this,
            &THistoryTab::DeleteCallerButtonClick);
    connect(ui->RemoveMessagesButton, &QToolButton::clicked, this,
            &THistoryTab::RemoveMessagesButtonClick);
    connect(ui->historyList, &QTreeWidget::itemDoubleClicked, this, [this] { ListenToMessage(); });
    connect(ui->NewMessagesButton, &QToolButton::clicked, this,
            &THistoryTab::NewMessagesButtonClick);
    connect(ui->SaveWaveButton, &QToolButton::clicked, this, &THistoryTab::SaveWaveButtonClick);
    connect(ui->CallCallerButton, &QToolButton::clicked, this, &THistoryTab::CallSelected);
    for (QToolButton* edit : {ui->AddToPhoneBookButton, ui->EditCallerPhoneBookButton})
        connect(edit, &QToolButton::clicked, this, &THistoryTab::EditSelected);
}

THistoryTab::~THistoryTab() = default;

QString THistoryTab::NewMessagesHint(int count) {
    return count > 0 ? QStringLiteral("Click to listen to your new messages")
                     : QStringLiteral("You don't have any new messages");
}

void THistoryTab::StoreGeometry(TConfig& config) const {
    for (int column = 0; column < kHistoryColumns; ++column)
        config.HistoryColumnWidths[column] = ui->historyList->columnWidth(column);
}

// A row names its call by the record's id, never by its address.
CallLogRecord* THistoryTab::RecordOf(const QTreeWidgetItem* row) const {
    return row ? m_log.Find(row->data(0, Qt::UserRole).toULongLong()) : nullptr;
}

void THistoryTab::CallSelected() {
    QList<TOCALL> calls;
    for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ui->historyList->topLevelItem(i);
        if (!row->isSelected()) continue;
        TOCALL call;
        call.Name = row->text(ColName);
        call.NumberToDial = row->text(ColNumber);
        call.When = TClock::NowDays();
        calls << call;
    }
    if (!calls.isEmpty()) m_host.QueueCalls(calls);
}

QList<CallLogRecord*> THistoryTab::SelectedRecords() const {
    QList<CallLogRecord*> records;
    for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i)
        if (ui->historyList->topLevelItem(i)->isSelected())
            records << RecordOf(ui->historyList->topLevelItem(i));
    return records;
}

QTreeWidgetItem* THistoryTab::RowOf(quint64 id) const {
    for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i)
        if (ui->historyList->topLevelItem(i)->data(0, Qt::UserRole).toULongLong() == id)
            return ui->historyList->topLevelItem(i);
    return nullptr;
}

// The widths the user left are kept; the defaults, which were chosen for another system's
// small font, are widened until the column texts fit the font in use.
void THistoryTab::ApplyColumnWidths() {
    static const int kDefaults[] = {125, 110, 130, 72, 83};
    const auto& stored = m_config.HistoryColumnWidths;
    const bool userSet = std::any_of(std::begin(stored), std::end(stored),
                                     [](qint32 w) { return w != 0 && w != 100; });
    const QFontMetrics metrics(ui->historyList->font());
    const char* const samples[] = {"JONES ROBERT ALLEN", kNoNumber, "Wed Sep 30 12:00 PM",
                                   "00:00:00", "Hung up , Took message"};
    for (int column = 0; column < kHistoryColumns; ++column) {
        if (userSet && stored[column]) {
            ui->historyList->setColumnWidth(column, stored[column]);
            continue;
        }
        const int needed = metrics.horizontalAdvance(QLatin1String(samples[column])) + 24;
        ui->historyList->setColumnWidth(column, std::max(kDefaults[column], needed));
    }
}

void THistoryTab::LoadRows() {
    ApplyColumnWidths();
    ui->historyList->clear();
    for (CallLogRecord& record : m_log.Records)
        AddHistoryRow(&record);
    ApplyStoredSort();
    if (ui->historyList->topLevelItemCount() > 0) SelectOnly(ui->historyList->topLevelItem(0));
    RefreshTimeAgo();
    RefreshHistory();
}

QTreeWidgetItem* THistoryTab::AddHistoryRow(CallLogRecord* record) {
    const QStringList texts = TCallLog::RowTexts(*record, &m_phoneBook, TClock::Now());
    auto* row = new QTreeWidgetItem(
        QStringList{texts[0], texts[1], texts[2], QStringLiteral(" "), texts[4]});
    row->setData(0, Qt::UserRole, QVariant::fromValue(record->Id));
    ShowState(row, TCallLog::StateOf(*record));
    ui->historyList->insertTopLevelItem(0, row);
    return row;
}

void THistoryTab::SelectOnly(QTreeWidgetItem* row) {
    ui->historyList->clearSelection();
    ui->historyList->scrollToItem(row);
    ui->historyList->setCurrentItem(row);
    row->setSelected(true);
}

void THistoryTab::RemoveRow(QTreeWidgetItem* row) {
    CallLogRecord* record = RecordOf(row);
    delete row;
    m_log.Remove(record);
}

// The oldest calls beyond MaxItems leave the list with their message files.
// The rows go first, while their records are still there: removing a selected row makes the
// list look at the rows left, whose records must all be alive.
void THistoryTab::Trim(int maxItems) {
    for (const quint64 id : m_log.BeyondLimit(maxItems))
        delete RowOf(id);
    m_log.TrimHistory(maxItems);
}

void THistoryTab::RefreshHistory() {
    m_newMessages = m_messages = 0;
    for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = ui->historyList->topLevelItem(i);
        CallLogRecord* record = RecordOf(row);
        QString caption;
        m_phoneBook.CallerDisplayName(record->Number, record->Name, &caption);
        if (row->text(ColName) != caption) row->setText(ColName, caption);
        const int state = TCallLog::StateOf(*record);
        ShowState(row, state);
        if (state == NewMessage && row->text(ColAction) != LogActionText(record->Actions))
            row->setText(ColAction, LogActionText(record->Actions));
        if (state == NewMessage) ++m_newMessages;
        if (state != NoMessage) ++m_messages;
    }
    UpdateHistoryButtons();
    emit NewMessagesCounted(m_newMessages);
}

void THistoryTab::RefreshTimeAgo() {
    const qint64 now = TClock::Now();
    for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = ui->historyList->topLevelItem(i);
        row->setText(ColTimeAgo, FormatTimeAgo(RecordOf(row)->Time, now));
    }
}

void THistoryTab::UpdateHistoryButtons() {
    const QList<QTreeWidgetItem*> selected = ui->historyList->selectedItems();
    const bool one = selected.size() == 1;
    const bool known =
        one && m_phoneBook.FindCaller(RecordOf(selected[0])->Number, RecordOf(selected[0])->Name);
    ui->EditCallerPhoneBookButton->setEnabled(selected.size() > 1 || known);
    ui->AddToPhoneBookButton->setEnabled(one && !known);
    ui->DeleteCallerButton->setEnabled(!selected.isEmpty());
    const bool open = m_host.LineOpen();
    ui->CallCallerButton->setEnabled(open && !selected.isEmpty());
    ui->CallCallerButton->setToolTip(
        PlainTip(open && !selected.isEmpty() ? QStringLiteral("Call ") + selected[0]->text(0)
                 : open                      ? QStringLiteral("Call the selected caller")
                        : QStringLiteral("Can't call because you are not connected to a modem")));
    const bool fresh = m_newMessages > 0;
    ui->NewMessagesButton->setEnabled(fresh);
    ui->NewMessagesButton->setToolTip(NewMessagesHint(m_newMessages));
    ui->RemoveMessagesButton->setEnabled(m_messages > 0);
    ui->RemoveMessagesButton->setToolTip(
        m_messages > 0 ? QStringLiteral("Delete all messages. This will remove the message only "
                                        "i.e. it will not remove the caller from the list")
                       : QStringLiteral("There are no messages to delete"));
    QTreeWidgetItem* focused = ui->historyList->currentItem();
    const bool hasMessage = focused && TCallLog::StateOf(*RecordOf(focused)) > 0;
    ui->SaveWaveButton->setEnabled(hasMessage);
    ui->SaveWaveButton->setToolTip(PlainTip(
        !focused ? QStringLiteral("Can't save as a wave file because a caller is not selected")
        : !hasMessage
            ? QStringLiteral(
                  "Can't save as a wave file because the selected caller does not have a message")
            : QStringLiteral("Save \"") + focused->text(0) +
                  QStringLiteral("\" message as a wave file")));
    UpdateMenuActions();
}

QAction* THistoryTab::AddAction(const char* name, const QKeySequence& keys,
                                void (THistoryTab::*run)()) {
    auto* action = new QAction(ui->historyList);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ui->historyList->addAction(action);
    connect(action, &QAction::triggered, this, run);
    return action;
}

// Made once: the shortcuts work on the list at any time, not only while the menu is open.
void THistoryTab::MakeActions() {
    m_listen = AddAction("ListenToMessageMenu", {}, &THistoryTab::ListenToMessage);
    m_restore = AddAction("RestoreToNew", {}, &THistoryTab::MakeNew);
    m_call = AddAction("CallMenu", QKeySequence(Qt::CTRL | Qt::Key_D), &THistoryTab::CallSelected);
    m_edit = AddAction("EditMenu", QKeySequence(Qt::CTRL | Qt::Key_E), &THistoryTab::EditSelected);
    m_block = AddAction("BlockCaller", {}, &THistoryTab::BlockFocused);
    m_copy = AddAction("CopyToClipboard", QKeySequence(Qt::CTRL | Qt::Key_C),
                       &THistoryTab::CopyToClipboard);
    m_delete = AddAction("DeleteMenu", QKeySequence(Qt::Key_Delete),
                         &THistoryTab::DeleteCallerButtonClick);
    m_save = AddAction("HistorySaveMenu", QKeySequence(Qt::CTRL | Qt::Key_S),
                       &THistoryTab::SaveWaveButtonClick);
    m_export = AddAction("ExportToText", {}, &THistoryTab::ExportToText);
    m_export->setText(QStringLiteral("Export list to a text file..."));
}

// The commands' captions and states, from the focused row and the selection.
void THistoryTab::UpdateMenuActions() {
    QTreeWidgetItem* focused = ui->historyList->currentItem();
    CallLogRecord* record = RecordOf(focused);
    if (!record) {
        const QList<std::pair<QAction*, const char*>> plain = {{m_restore, "Make \"New\""},
                                                               {m_listen, "Listen..."},
                                                               {m_save, "Save..."},
                                                               {m_call, "Call"},
                                                               {m_edit, "Edit..."},
                                                               {m_block, "Block..."},
                                                               {m_copy, "Copy"},
                                                               {m_delete, "Delete"}};
        for (const auto& [action, caption] : plain) {
            action->setText(QLatin1String(caption));
            action->setEnabled(false);
            action->setVisible(true);
        }
        return;
    }
    const int selected = int(ui->historyList->selectedItems().size());
    const QString name = focused->text(0);
    const int state = TCallLog::StateOf(*record);
    const bool known = m_phoneBook.FindCaller(record->Number, record->Name);
    m_listen->setText(state != NoMessage ? QStringLiteral("Listen to \"") + name +
                                               QStringLiteral("'s\" Message...")
                                         : QStringLiteral("Listen..."));
    m_listen->setEnabled(state != NoMessage);
    m_restore->setText(state == HeardMessage ? QStringLiteral("Make \"") + name +
                                                   QStringLiteral("'s\" Message \"New\"")
                                             : QStringLiteral("Make \"New\""));
    m_restore->setEnabled(state == HeardMessage);
    // The queue waits for the line, so a call can be asked for while disconnected.
    m_call->setText(QStringLiteral("Call \"") + name + QLatin1Char('"'));
    m_call->setEnabled(true);
    m_edit->setText(selected > 1 ? QStringLiteral("Edit Selected Callers")
                    : known
                        ? QStringLiteral("Edit \"") + name + QStringLiteral("\"...")
                        : QStringLiteral("Add \"") + name + QStringLiteral("\" To Phone Book..."));
    m_edit->setEnabled(true);
    m_block->setText(QStringLiteral("Block \"") + name +
                     QStringLiteral("\" From Calling Again..."));
    m_block->setEnabled(true);
    m_block->setVisible(!known);
    m_copy->setText(selected > 1 ? QStringLiteral("Copy Selected Callers")
                                 : QStringLiteral("Copy \"") + name + QLatin1Char('"'));
    m_copy->setEnabled(true);
    m_delete->setText(selected > 1 ? QStringLiteral("Delete Selected Callers")
                                   : QStringLiteral("Delete \"") + name + QLatin1Char('"'));
    m_delete->setEnabled(true);
    m_save->setText(state != NoMessage ? QStringLiteral("Save \"") + name +
                                             QStringLiteral("'s\" Message As Wave File...")
                                       : QStringLiteral("Save..."));
    m_save->setEnabled(state != NoMessage);
}

QMenu* THistoryTab::BuildPopup() {
    UpdateMenuActions();
    auto* menu = new QMenu(ui->historyList);
    menu->addActions({m_listen, m_restore, m_call});
    menu->addSeparator();
    menu->addActions({m_edit, m_block});
    menu->addSeparator();
    menu->addActions({m_copy, m_delete});
    menu->addSeparator();
    menu->addAction(m_save);
    menu->addSeparator();
    menu->addAction(m_export);
    return menu;
}

void THistoryTab::EditSelected() {
    if (!ui->historyList->selectedItems().isEmpty()) emit EditCallersRequested(SelectedRecords());
}

void THistoryTab::BlockFocused() {
    if (CallLogRecord* call = RecordOf(ui->historyList->currentItem()))
        emit BlockCallerRequested(call);
}

void THistoryTab::DeleteCallerButtonClick() {
    if (ui->historyList->selectedItems().isEmpty()) return;
    if (!m_host.DeleteAllowed()) return;
    if (ShowManagedMessage(MSG_DELETE_CALLERS, QString(), MSG_OK_CANCEL) != prompt::IDOK) return;
    for (QTreeWidgetItem* row : ui->historyList->selectedItems()) {
        m_log.DeleteMessageFile(RecordOf(row));
        RemoveRow(row);
    }
    UpdateHistoryButtons();
    RefreshHistory();
}

void THistoryTab::RemoveMessagesButtonClick() {
    if (m_messages == 0 || !m_host.DeleteAllowed()) return;
    if (ShowManagedMessage(MSG_REMOVE_MESSAGES, QString(), MSG_OK_CANCEL) != prompt::IDOK) return;
    for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i)
        m_log.DeleteMessageFile(RecordOf(ui->historyList->topLevelItem(i)));
    RefreshHistory();
}

int THistoryTab::Listen(quint64 id, bool walking) {
    CallLogRecord* record = m_log.Find(id);
    QTreeWidgetItem* row = RowOf(id);
    if (!record || !row || TCallLog::StateOf(*record) == NoMessage) return PLAYER_CLOSED;
    TPlayWaveForm player(ui->historyList->window());
    player.SetCaller(row->text(0), record->Number, record->When);
    player.ShowQuit(walking);
    player.Device = 0;
    player.SetCurrentFile(TCallLog::MessagesFolder() + QLatin1Char('/') + record->MessageName());
    const int result = RunPlayer(player);
    // A call may have come in meanwhile and trimmed the list: the record is looked up again.
    // A message that could not be played (no sound card) stays new.
    if ((record = m_log.Find(id))) {
        if (player.Played()) record->Heard = 1;
        if (result == PLAYER_ERASE && m_log.DeleteMessageFile(record)) return result;
        m_log.UpdateRecord(*record);
    }
    return result;
}

void THistoryTab::ListenToMessage() {
    // A call without a message has nothing to listen to: no password is asked for it.
    QTreeWidgetItem* focused = ui->historyList->currentItem();
    const CallLogRecord* record = RecordOf(focused);
    if (!record || TCallLog::StateOf(*record) == NoMessage || !m_host.ListenAllowed()) return;
    Listen(focused->data(0, Qt::UserRole).toULongLong(), false);
    RefreshHistory();
}

void THistoryTab::NewMessagesButtonClick() {
    if (m_newMessages == 0 || !m_host.ListenAllowed()) return;
    ui->historyList->clearSelection();
    QList<quint64> fresh;
    for (int i = ui->historyList->topLevelItemCount() - 1; i >= 0; --i) {
        const QTreeWidgetItem* row = ui->historyList->topLevelItem(i);
        const CallLogRecord* record = RecordOf(row);
        if (record && TCallLog::StateOf(*record) == NewMessage) fresh << record->Id;
    }
    for (const quint64 id : fresh) {
        QTreeWidgetItem* row = RowOf(id);
        if (!row) continue;
        ui->historyList->setCurrentItem(row);
        row->setSelected(true);
        if (Listen(id, true) == PLAYER_QUIT) break;
    }
    RefreshHistory();
}

void THistoryTab::SaveWaveButtonClick() {
    QTreeWidgetItem* focused = ui->historyList->currentItem();
    const CallLogRecord* record = RecordOf(focused);
    if (!record || TCallLog::StateOf(*record) == NoMessage) return;
    TFileDialogRequest request;
    request.Title = QStringLiteral("Save Message");
    request.FileName = QStringLiteral("Message From ") + focused->text(0) + QStringLiteral(".wav");
    request.InitialFolder = RegistrySetting(QStringLiteral("LastWaveDir"), QString(), false);
    request.Filter = QStringLiteral("Wave Files (*.wav)|*.wav");
    request.DefaultExt = QStringLiteral("wav");
    request.ConfirmOverwrite = true;
    const QString target = Prompts().SaveFileName(request);
    if (target.isEmpty()) return;
    TFile file;
    if (file.Copy(TCallLog::MessagesFolder() + QLatin1Char('/') + record->MessageName(), target))
        RegistrySetting(QStringLiteral("LastWaveDir"), QFileInfo(target).absolutePath(), true);
}

void THistoryTab::ExportToText() {
    const QString today =
        QLocale().toString(QDate::currentDate(), QLocale::ShortFormat).replace('/', '-');
    ExportListToText(ui->historyList,
                     QStringLiteral("History List ") + today + QStringLiteral(".txt"),
                     RunTextFileForm);
}

void THistoryTab::MakeNew() {
    if (QTreeWidgetItem* focused = ui->historyList->currentItem()) {
        RecordOf(focused)->Heard = 0;
        m_log.UpdateRecord(*RecordOf(focused));
    }
    RefreshHistory();
}

QString THistoryTab::CopyText() const {
    return SelectedRowsText(ui->historyList);
}

void THistoryTab::CopyToClipboard() {
    QApplication::clipboard()->setText(CopyText());
}

void THistoryTab::SortBy(int column) {
    if (column < 0 || column >= 5) return;
    m_config.HistorySortDirections[column] ^= 1;
    m_config.HistorySortColumn = column;
    ApplySort();
}

// The order the user last chose; until a header was first clicked, newest at the top.
void THistoryTab::ApplyStoredSort() {
    const auto& directions = m_config.HistorySortDirections;
    if (m_config.HistorySortColumn != 0 ||
        std::any_of(std::begin(directions), std::end(directions), [](quint8 d) { return d; }))
        ApplySort();
}

void THistoryTab::ApplySort() {
    const int column = qBound(0, m_config.HistorySortColumn, kHistoryColumns - 1);
    QList<THistoryRow> order;
    for (int i = 0; i < ui->historyList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = ui->historyList->topLevelItem(i);
        THistoryRow sorted{row->data(0, Qt::UserRole).toULongLong(), {}};
        for (int c = 0; c < kHistoryColumns; ++c)
            sorted.Texts << row->text(c);
        order << sorted;
    }
    m_log.SortHistory(order, column, m_config.HistorySortDirections[column] != 0);
    QList<QTreeWidgetItem*> rows;
    for (const THistoryRow& sorted : order)
        rows << RowOf(sorted.Id);
    for (QTreeWidgetItem* row : rows)
        ui->historyList->takeTopLevelItem(ui->historyList->indexOfTopLevelItem(row));
    ui->historyList->addTopLevelItems(rows);
}
