#pragma once
// The program's main window.

#include <QMainWindow>
#include <memory>

namespace Ui {
class TMainForm;
}

class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(QWidget* parent = nullptr);
    ~TMainForm() override;

private:
    std::unique_ptr<Ui::TMainForm> ui;
};
