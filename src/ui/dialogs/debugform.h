#pragma once
// TDebugForm ("Port data"): the status texts of the line, one per line, while it is open, and
// saving them to a text file.

#include <QWidget>
#include <memory>

namespace Ui {
class TDebugForm;
}

class TDebugForm : public QWidget {
    Q_OBJECT
public:
    explicit TDebugForm(QWidget* parent = nullptr);
    ~TDebugForm() override;
    void AddLine(const QString& line);
    QStringList Lines() const;
    void SaveButtonClick();

private:
    std::unique_ptr<Ui::TDebugForm> ui;
};
