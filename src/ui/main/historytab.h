#pragma once
// The "Call History" tab: one row per logged call, newest at the top, with its message state,
// the toolbar's states and hints, the popup menu's captions and the commands that work on the
// list (delete callers, remove messages, make new, copy, sort).

#include <QObject>
#include <functional>

class QTreeWidgetItem;
class QMenu;
class TConfig;
class TCallLog;
class TPhoneBook;
struct CallLogRecord;

namespace Ui {
class TMainForm;
}

class THistoryTab : public QObject {
    Q_OBJECT
public:
    THistoryTab(Ui::TMainForm* ui, TConfig& config, TCallLog& log, TPhoneBook& phoneBook);

    std::function<bool()> LineOpen;
    std::function<bool()> CallInProgress;
    std::function<bool()> DeleteAllowed;  // the password guard for deleting from the history
    std::function<void(CallLogRecord*)> Removing;  // a logged call is about to be released

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
    QString CopyText() const;
    void CopyToClipboard();
    void SortBy(int column);
    // The popup menu as it would open now (captions and states).
    QMenu* BuildPopup();
    int NewMessages() const { return m_newMessages; }
    static CallLogRecord* RecordOf(const QTreeWidgetItem* row);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RemoveRow(QTreeWidgetItem* row);
    int StateImage(CallLogRecord* record);
    Ui::TMainForm* ui;
    TConfig& m_config;
    TCallLog& m_log;
    TPhoneBook& m_phoneBook;
    int m_newMessages = 0;
    int m_messages = 0;
};
