#pragma once
// The "Call History" tab: one row per logged call, newest at the top, with its message state,
// the toolbar's states and hints, the popup menu's captions and the commands that work on the
// list (delete callers, remove messages, make new, copy, sort).

#include <QWidget>
#include <functional>
#include <memory>

#include "ui/dialogs/gettextfileform.h"
#include "ui/dialogs/playwaveform.h"

class QAction;
class QTreeWidgetItem;
class QMenu;
class TTabHost;
class TConfig;
class TCallLog;
class TPhoneBook;
#include "store/calllog.h"
#include "store/tocall.h"

namespace Ui {
class THistoryTab;
}

class THistoryTab : public QWidget {
    Q_OBJECT
public:
    THistoryTab(TTabHost& host, TConfig& config, TCallLog& log, TPhoneBook& phoneBook,
                QWidget* parent = nullptr);
    ~THistoryTab() override;
    // Shows the message player and gives its result; tests answer in its place.
    std::function<int(TPlayWaveForm&)> RunPlayer = [](TPlayWaveForm& player) {
        return player.exec();
    };
    std::function<int(TGetTextFileForm&)> RunTextFileForm = [](TGetTextFileForm& form) {
        return form.exec();
    };

    void LoadRows();
    QTreeWidgetItem* AddHistoryRow(CallLogRecord* record);
    void SelectOnly(QTreeWidgetItem* row);
    void Trim(int maxItems);
    void RefreshHistory();
    void RefreshTimeAgo();
    void UpdateHistoryButtons();
    void DeleteCallerButtonClick();
    void RemoveMessagesButtonClick();
    void MakeNew();
    // The focused row's message in the player; afterwards it counts as heard, and is deleted
    // when the player says erase.
    void ListenToMessage();
    // Every new message, oldest first, until the player says quit.
    void NewMessagesButtonClick();
    // The focused row's message copied to a wave file the user chooses.
    void SaveWaveButtonClick();
    // The list, with the columns and the delimiter the user chooses, to a text file.
    void ExportToText();
    QString CopyText() const;
    void CopyToClipboard();
    // A click on a column's header: its direction flips and the list is sorted by it.
    void SortBy(int column);
    // The list in the stored order (newest at the top until a header was first clicked).
    void ApplySort();
    void ApplyStoredSort();
    // The popup menu as it would open now (captions and states); its commands are the
    // list's own actions, whose shortcuts work whether or not the menu is open.
    QMenu* BuildPopup();
    void UpdateMenuActions();
    int NewMessages() const { return m_newMessages; }
    // The hint of everything that plays the new messages.
    static QString NewMessagesHint(int count);
    void StoreGeometry(TConfig& config) const;
    CallLogRecord* RecordOf(const QTreeWidgetItem* row) const;
    QList<CallLogRecord*> SelectedRecords() const;
    void CallSelected();

signals:
    // How many messages are new, after each refresh of the list.
    void NewMessagesCounted(int count);
    // Add or edit the selected callers in the phone book; block the focused one.
    void EditCallersRequested(const QList<CallLogRecord*>& calls);
    void BlockCallerRequested(CallLogRecord* call);

private:
    void RemoveRow(QTreeWidgetItem* row);
    QTreeWidgetItem* RowOf(quint64 id) const;
    void ApplyColumnWidths();
    int Listen(quint64 id, bool walking);
    QAction* AddAction(const char* name, const QKeySequence& keys, void (THistoryTab::*run)());
    void MakeActions();
    void BlockFocused();
    void EditSelected();

    std::unique_ptr<Ui::THistoryTab> ui;
    TTabHost& m_host;
    TConfig& m_config;
    TCallLog& m_log;
    TPhoneBook& m_phoneBook;
    int m_newMessages = 0;
    int m_messages = 0;
    // The popup menu's commands, in its order.
    QAction* m_listen = nullptr;
    QAction* m_restore = nullptr;
    QAction* m_call = nullptr;
    QAction* m_edit = nullptr;
    QAction* m_block = nullptr;
    QAction* m_copy = nullptr;
    QAction* m_delete = nullptr;
    QAction* m_save = nullptr;
    QAction* m_export = nullptr;
};
