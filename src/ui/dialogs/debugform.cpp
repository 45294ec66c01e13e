#include "ui/dialogs/debugform.h"

#include "platform/prompts.h"
#include "platform/tfile.h"
#include "ui_debugform.h"

TDebugForm::TDebugForm(QWidget* parent)
    : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::TDebugForm>()) {
    ui->setupUi(this);
    ui->ShowData->setMaximumBlockCount(kKeptLines);
    ui->ShowData->setPlainText(QStringLiteral("\n "));  // an empty line and one with a blank
    connect(ui->SaveButton, &QPushButton::clicked, this, &TDebugForm::SaveButtonClick);
}

TDebugForm::~TDebugForm() = default;

void TDebugForm::AddLine(const QString& line) {
    // Texts may hold "\r" breaks; each line of the log is one text.
    const QString text = QString(line).replace(QLatin1Char('\r'), QLatin1Char(' '));
    if (isVisible()) return ui->ShowData->appendPlainText(text);
    m_hidden.append(text);
    if (m_hidden.size() > kKeptLines) m_hidden.removeFirst();
}

QStringList TDebugForm::Lines() const {
    QStringList lines = ui->ShowData->toPlainText().split(QLatin1Char('\n')) + m_hidden;
    return lines.mid(qMax<qsizetype>(0, lines.size() - kKeptLines));
}

void TDebugForm::showEvent(QShowEvent* event) {
    if (!m_hidden.isEmpty()) ui->ShowData->appendPlainText(m_hidden.join(QLatin1Char('\n')));
    m_hidden.clear();
    QWidget::showEvent(event);
}

void TDebugForm::SaveButtonClick() {
    TFileDialogRequest request;
    request.Title = QStringLiteral("Save Port Data");
    request.Filter = QStringLiteral("Text file (*.txt)|*.txt");
    request.FileName = QStringLiteral("Quarry Port Data.txt");
    const QString name = Prompts().SaveFileName(request);
    if (name.isEmpty()) return;
    TFile file;
    if (file.Open(name, TFile::ModeRewrite) < 0) {
        Prompts().MessageBox(
            QStringLiteral("Can't open \"") + name + QStringLiteral("\"\rfor writing"), QString(),
            prompt::MB_OK);
        return;
    }
    qint64 written = 0;
    for (const QString& line : Lines()) {
        const QByteArray bytes = line.toLatin1() + "\r\n";
        if (file.Write(bytes.constData(), bytes.size()) != bytes.size())
            break;  // a shorter file, quietly
        written += bytes.size();
    }
    file.Close();
    if (written > 0)
        Prompts().MessageBox(name + QStringLiteral("\rhas been saved"), QString(), prompt::MB_OK);
}
