#pragma once
// The "Phone Book" tab: one row per phone book entry, in the order callers are looked up,
// with the toolbar's states and hints, the popup menu, the letter and digit keys that jump to
// a row, sorting by a column and dragging rows (both change the look-up order), and the
// commands: new, edit, delete, backup, restore, copy and export. Adding, editing and blocking
// callers from the call history come here too. Every change is saved at once.

#include <QWidget>
#include <functional>
#include <memory>

#include "ui/dialogs/getnewname.h"
#include "ui/dialogs/gettextfileform.h"

class QAction;
class QMenu;
class QTreeWidgetItem;
class TTabHost;
class TConfig;
class TPhoneBook;
#include "store/calllog.h"
#include "store/tocall.h"
struct PhoneBookEntry;

namespace Ui {
class TPhoneBookTab;
}

class TPhoneBookTab : public QWidget {
    Q_OBJECT
public:
    static constexpr int kColumns = 7;

    TPhoneBookTab(TTabHost& host, TConfig& config, TPhoneBook& phoneBook,
                  QWidget* parent = nullptr);
    ~TPhoneBookTab() override;
    // The tab was brought to the front: the stored order is applied again (unless rows were
    // dragged into one of the user's own) and the backup date brought up to date.
    void TabShown();
    void StoreGeometry(TConfig& config) const;

    // Shows the entry dialog and gives its result; tests answer in its place.
    std::function<int(TGetNewName&)> RunEntryDialog = [](TGetNewName& dialog) {
        return dialog.exec();
    };
    std::function<int(TGetTextFileForm&)> RunTextFileForm = [](TGetTextFileForm& form) {
        return form.exec();
    };

    void LoadRows();
    PhoneBookEntry* EntryOf(const QTreeWidgetItem* row) const;
    QTreeWidgetItem* RowOf(const PhoneBookEntry* entry) const;

    void AddNewPhoneBookButtonClick();
    void EditSelected();
    void DeleteSelected();
    void BackupPhoneBookButtonClick();
    void RestorePhoneBookButtonClick();
    void ImportBlockList();
    void ExportToText();
    void CopyToClipboard();
    void CallSelected();
    // From the call history: each caller's entry, or a new one made from the call; stops at
    // the first Cancel.
    void EditCallers(const QList<CallLogRecord*>& calls);
    // A new entry that hangs up on the caller of this call.
    void BlockCaller(const CallLogRecord& call);

    // A click on a column's header: its direction flips, the rows are sorted by it and the
    // phone book takes that order.
    void SortBy(int column);
    // The rows sorted again by the column the user last chose, if any (when the tab shows).
    void ApplyStoredSort();
    // The rows' order, after a drag, becomes the look-up order.
    void TakeRowOrder();
    void UpdatePhoneBookButtons();
    void UpdateLastBackupLabel();
    // The popup menu as it would open now; its commands are the list's own actions, whose
    // shortcuts work whether or not the menu is open.
    QMenu* BuildPopup();
    void UpdateMenuActions();
    // The letter or digit key jump: true when the key was taken.
    bool SearchKey(int key);

signals:
    // Names in the call history may have changed.
    void PhoneBookChanged();
    // Entries that need the user's eye are selected: the tab is to be brought to the front.
    void ShowRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTreeWidgetItem* ShowPhoneBookRow(PhoneBookEntry* entry);
    static QTreeWidgetItem* NewRow(PhoneBookEntry* entry);
    static void FillRow(QTreeWidgetItem* row, const PhoneBookEntry& entry);
    bool EditEntryDialog(PhoneBookEntry& entry, bool editing);
    void EntriesChanged();
    int CheckDuplicateEntries();
    void ApplyColumnWidths();
    void SortRows(int column);
    QAction* AddAction(const char* name, const QKeySequence& keys, void (TPhoneBookTab::*run)());
    void MakeActions();

    std::unique_ptr<Ui::TPhoneBookTab> ui;
    TTabHost& m_host;
    TConfig& m_config;
    TPhoneBook& m_phoneBook;
    bool m_arranging = false;  // rows are moved by the program, not dragged
    // The popup menu's commands.
    QAction* m_call = nullptr;
    QAction* m_edit = nullptr;
    QAction* m_new = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_export = nullptr;
};
