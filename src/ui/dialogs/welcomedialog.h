#pragma once
// TWelcomeDialog ("Welcome"): greets a new user after a start without a valid settings file;
// when it closes the main window opens the settings so that a modem is chosen.

#include <QDialog>
#include <memory>

namespace Ui {
class TWelcomeDialog;
}

class TWelcomeDialog : public QDialog {
    Q_OBJECT
public:
    explicit TWelcomeDialog(QWidget* parent = nullptr);
    ~TWelcomeDialog() override;

private:
    std::unique_ptr<Ui::TWelcomeDialog> ui;
};
