#include "ui/dialogs/welomedialog.h"

#include "ui_welomedialog.h"

TWelomeDialog::TWelomeDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TWelomeDialog>()) {
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TWelomeDialog::~TWelomeDialog() = default;
