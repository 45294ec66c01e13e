#include "ui/dialogs/getpassword.h"

#include "ui_getpassword.h"

TGetPassword::TGetPassword(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint),
      ui(std::make_unique<Ui::TGetPassword>()) {
    ui->setupUi(this);
    connect(ui->OKButton, &QPushButton::clicked, this, [this] {
        m_result = ui->PasswordBox->text().left(kMaxLength);
        accept();
    });
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(this, &QDialog::rejected, this, [this] { m_result.clear(); });
}

TGetPassword::~TGetPassword() = default;

void TGetPassword::SetLabel(const QString& label) {
    ui->passwordCaption->setText(label);
}
