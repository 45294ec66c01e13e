#include "ui/dialogs/welcomedialog.h"

#include "ui_welcomedialog.h"

TWelcomeDialog::TWelcomeDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TWelcomeDialog>()) {
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TWelcomeDialog::~TWelcomeDialog() = default;
