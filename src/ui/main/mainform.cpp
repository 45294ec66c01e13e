#include "ui/main/mainform.h"

#include "ui_mainform.h"

TMainForm::TMainForm(QWidget* parent) : QMainWindow(parent), ui(std::make_unique<Ui::TMainForm>()) {
    ui->setupUi(this);
}

TMainForm::~TMainForm() = default;
