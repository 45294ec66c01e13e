#pragma once
// TDebugForm ("Port data"): the status texts of the line, one per line, while it is open, and
// saving them to a text file. The ring counts and "Answered" are added even while it is hidden,
// so it keeps only the newest lines: a program that runs for months must not grow with every
// call.

#include <QWidget>
#include <memory>

namespace Ui {
class TDebugForm;
}

class TDebugForm : public QWidget {
    Q_OBJECT
public:
    static constexpr int kKeptLines = 5000;

    explicit TDebugForm(QWidget* parent = nullptr);
    ~TDebugForm() override;
    void AddLine(const QString& line);
    QStringList Lines() const;
    void SaveButtonClick();

private:
    std::unique_ptr<Ui::TDebugForm> ui;
};
