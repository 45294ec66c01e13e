#pragma once
// TDebugForm ("Port data"): the status texts of the line, one per line, while it is open, and
// saving them to a text file. The ring counts and "Answered" are added even while it is hidden,
// so it keeps only the newest lines: a program that runs for months must not grow with every
// call. Lines that come while it is hidden wait as plain strings (a tenth of the memory of a
// laid-out line) and go into the view when it is shown.

#include <QStringList>
#include <QWidget>
#include <memory>

namespace Ui {
class TDebugForm;
}

class TDebugForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kKeptLines = 1000;

    explicit TDebugForm(QWidget* parent = nullptr);
    ~TDebugForm() override;
    void AddLine(const QString& line);
    QStringList Lines() const;
    void SaveButtonClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::TDebugForm> ui;
    QStringList m_hidden;  // lines added while hidden, the newest kKeptLines
};
