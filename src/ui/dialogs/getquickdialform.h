#pragma once
// TGetQuickDialForm ("Dial"): a call typed by hand: a name, a number, the digits to send when
// the number is a pager, and when to dial: now (the date and time follow the clock) or a
// chosen date and time. OK fills the record, which the owner then queues.

#include <QDialog>
#include <QTimer>
#include <memory>

#include "store/tocall.h"

namespace Ui {
class TGetQuickDialForm;
}

class TGetQuickDialForm : public QDialog {
    Q_OBJECT
public:
    explicit TGetQuickDialForm(QWidget* parent = nullptr);
    ~TGetQuickDialForm() override;

    // The record to fill; its When decides whether "Now" starts ticked.
    void SetRecord(TOCALL* record);

    void OKButtonClick();
    // The pickers follow the clock while "Now" is ticked.
    void OnClockTick();

private:
    void ShowNow();

    std::unique_ptr<Ui::TGetQuickDialForm> ui;
    QTimer m_clockTimer;
    TOCALL* m_record = nullptr;
    double m_lastTick = 0;
};
