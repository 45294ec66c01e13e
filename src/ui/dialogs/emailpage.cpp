#include "ui/dialogs/emailpage.h"

#include "calls/mailer.h"
#include "ui_emailpage.h"

namespace {
// The security list's rows, in its order.
const TMailSettings::SecurityMode kSecurityRows[] = {TMailSettings::StartTls, TMailSettings::Tls,
                                                     TMailSettings::None};

int RowOf(TMailSettings::SecurityMode security) {
    for (int row = 0; row < 3; ++row)
        if (kSecurityRows[row] == security) return row;
    return 0;
}
}  // namespace

TEmailPage::TEmailPage(TMailer& mailer, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::TEmailPage>()), m_mailer(mailer) {
    ui->setupUi(this);
    connect(ui->emailSecurity, &QComboBox::activated, this, &TEmailPage::SecurityChosen);
    connect(ui->sendTestButton, &QPushButton::clicked, this, &TEmailPage::SendTest);
    connect(&m_mailer, &TMailer::TestFinished, this, [this](bool, const QString& text) {
        ui->testResult->setText(text);
        ui->sendTestButton->setEnabled(true);
    });
}

TEmailPage::~TEmailPage() = default;

void TEmailPage::ShowSettings() {
    const TMailSettings& settings = m_mailer.Settings();
    ui->emailServer->setText(settings.Server);
    ui->emailSecurity->setCurrentIndex(RowOf(settings.Security));
    ui->emailPort->setValue(settings.Port);
    ui->emailUser->setText(settings.User);
    ui->emailPassword->setText(m_mailer.Password());
    ui->emailFrom->setText(settings.From);
    ui->emailTo->setText(settings.To.join(QStringLiteral(", ")));
    ui->emailAttach->setChecked(settings.Attach);
    ui->emailAllCalls->setChecked(settings.AllCalls);
    ui->testResult->clear();
}

TMailSettings TEmailPage::ShownSettings() const {
    TMailSettings settings;
    settings.Server = ui->emailServer->text().trimmed();
    settings.Security = kSecurityRows[qBound(0, ui->emailSecurity->currentIndex(), 2)];
    settings.Port = ui->emailPort->value();
    settings.User = ui->emailUser->text().trimmed();
    settings.From = ui->emailFrom->text().trimmed();
    settings.To = TMailSettings::SplitAddresses(ui->emailTo->text());
    settings.Attach = ui->emailAttach->isChecked();
    settings.AllCalls = ui->emailAllCalls->isChecked();
    return settings;
}

QString TEmailPage::Problem() const {
    const TMailSettings settings = ShownSettings();
    if (settings.Server.isEmpty() || settings.Complete()) return QString();
    return QStringLiteral("To mail your messages, enter the sender and at least one recipient.");
}

void TEmailPage::Store() {
    const TMailSettings settings = ShownSettings();
    const QString password = ui->emailPassword->text();
    if (settings == m_mailer.Settings() && password == m_mailer.Password()) return;
    m_mailer.Apply(settings, password);
}

// The port follows the security while it is the usual port of the one chosen before.
void TEmailPage::SecurityChosen(int index) {
    const int port = ui->emailPort->value();
    for (const TMailSettings::SecurityMode security : kSecurityRows)
        if (port == TMailSettings::DefaultPort(security))
            return ui->emailPort->setValue(TMailSettings::DefaultPort(kSecurityRows[index]));
}

void TEmailPage::SendTest() {
    const QString problem = Problem();
    if (!problem.isEmpty() || ShownSettings().Server.isEmpty()) {
        ui->testResult->setText(problem.isEmpty() ? QStringLiteral("Enter a mail server first.")
                                                  : problem);
        return;
    }
    ui->testResult->setText(QStringLiteral("Sending..."));
    ui->sendTestButton->setEnabled(false);
    m_mailer.SendTest(ShownSettings(), ui->emailPassword->text());
}
