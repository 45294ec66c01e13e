#include "ui/dialogs/gettextfileform.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/prompts.h"
#include "ui_gettextfileform.h"

TGetTextFileForm::TGetTextFileForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TGetTextFileForm>()) {
    ui->setupUi(this);
    connect(ui->BrowseButton, &QPushButton::clicked, this, &TGetTextFileForm::BrowseButtonClick);
    connect(ui->OKButton, &QPushButton::clicked, this, &TGetTextFileForm::OKButtonClick);
    connect(ui->CancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

TGetTextFileForm::~TGetTextFileForm() = default;

// The user's documents folder, or home where there is none: never the program's working
// folder, which the user does not know.
QString TGetTextFileForm::DefaultFolder() {
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void TGetTextFileForm::Offer(const QStringList& columns, const QString& fileName) {
    ui->ExportFileName->setText(QDir(DefaultFolder()).filePath(fileName));
    for (int i = 0; i < kMaxColumns; ++i) {
        auto* box = findChild<QCheckBox*>(QStringLiteral("Column%1").arg(i + 1));
        const bool offered = i < columns.size();
        box->setVisible(offered);
        box->setChecked(offered);
        if (offered) box->setText(columns[i]);
    }
}

void TGetTextFileForm::BrowseButtonClick() {
    TFileDialogRequest request;
    request.Title = windowTitle();
    request.Filter = QStringLiteral("Text File (*.txt)|*.txt");
    request.DefaultExt = QStringLiteral("txt");
    request.FileName = ui->ExportFileName->text();
    request.ConfirmOverwrite = true;
    const QString chosen = Prompts().SaveFileName(request);
    if (!chosen.isEmpty()) ui->ExportFileName->setText(chosen);
}

void TGetTextFileForm::OKButtonClick() {
    // A bare name is written where the proposed one would be, and said with its full path.
    m_fileName = QDir(DefaultFolder()).absoluteFilePath(ui->ExportFileName->text().trimmed());
    m_delimiter = ui->CommaDelimitOption->isChecked() ? ','
                  : ui->TabDelimitOption->isChecked() ? '\t'
                                                      : ' ';
    m_included.clear();
    for (int i = 0; i < kMaxColumns; ++i) {
        const auto* box = findChild<QCheckBox*>(QStringLiteral("Column%1").arg(i + 1));
        if (!box->isHidden()) m_included << box->isChecked();
    }
    accept();
}
