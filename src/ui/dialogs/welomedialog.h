#pragma once
// TWelomeDialog ("Welcome"): greets a new user after a start without a valid settings file;
// when it closes the main window opens the settings so that a modem is chosen.

#include <QDialog>
#include <memory>

namespace Ui {
class TWelomeDialog;
}

class TWelomeDialog : public QDialog {
    Q_OBJECT
public:
    explicit TWelomeDialog(QWidget* parent = nullptr);
    ~TWelomeDialog() override;

private:
    std::unique_ptr<Ui::TWelomeDialog> ui;
};
