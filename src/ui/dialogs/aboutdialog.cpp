#include "ui/dialogs/aboutdialog.h"

#include <QFile>
#include <QRegularExpression>

#include "platform/prompts.h"
#include "platform/tshell.h"
#include "ui_aboutdialog.h"

namespace {
// What a link label shows, without its markup.
QString LinkText(const QLabel* label) {
    static const QRegularExpression markup(QStringLiteral("<[^>]*>"));
    return label->text().remove(markup);
}
}  // namespace

TAboutDialog::TAboutDialog(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TAboutDialog>()) {
    ui->setupUi(this);
    ui->productPicture->setPixmap(windowIcon().pixmap(64, 64));
    ui->VersionLabel->setText(QStringLiteral(RINGVALE_VERSION));
    ui->AboutMemory->setText(QStringLiteral("Available Memory: ") +
                             GroupedNumber(AvailableMemory()));
    ui->CompileDate->setText(QStringLiteral("Compiled: %1 @ %2")
                                 .arg(QStringLiteral(__DATE__), QStringLiteral(__TIME__)));
    connect(ui->ConnectTarvex, &QLabel::linkActivated, this, &TAboutDialog::OpenWebPage);
    connect(ui->MailToLabel, &QLabel::linkActivated, this, &TAboutDialog::SendMail);
    connect(ui->OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

TAboutDialog::~TAboutDialog() = default;

QString TAboutDialog::GroupedNumber(quint64 value) {
    QString digits = QString::number(value);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3)
        digits.insert(at, QLatin1Char(','));
    return digits;
}

quint64 TAboutDialog::AvailableMemory(const QString& meminfo) {
    QFile file(meminfo);
    if (!file.open(QIODevice::ReadOnly)) return 0;
    quint64 total = 0;
    static const QRegularExpression line(QStringLiteral("^(MemAvailable|SwapFree):\\s+(\\d+) kB"),
                                         QRegularExpression::MultilineOption);
    for (auto it = line.globalMatch(QString::fromLatin1(file.read(64 * 1024))); it.hasNext();)
        total += it.next().captured(2).toULongLong() * 1024;
    return total;
}

void TAboutDialog::OpenWebPage() {
    TShell shell;
    if (!shell.OpenWebPage(LinkText(ui->ConnectTarvex)))
        Prompts().MessageBox(QStringLiteral("Can't run web browser\rReason: ") + shell.ErrorText,
                             QStringLiteral(" "), prompt::MB_OK);
}

void TAboutDialog::SendMail() {
    TShell shell;
    if (!shell.SendMail(LinkText(ui->MailToLabel), QStringLiteral("Bug Report")))
        Prompts().MessageBox(QStringLiteral("Can't send mail\rReason: ") + shell.ErrorText,
                             QStringLiteral(" "), prompt::MB_OK);
}
