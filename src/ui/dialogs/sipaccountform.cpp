#include "ui/dialogs/sipaccountform.h"

#include <QPushButton>
#include <QRegularExpression>

#include "platform/secretstore.h"
#include "platform/telephony/linelist.h"
#include "ui_sipaccountform.h"

namespace {
// A host or an address, with a port or not: no spaces, no SIP parameters, no user part.
bool IsHostPort(const QString& text) {
    static const QRegularExpression hostPort(QStringLiteral("^[^\\s;@,=]+$"));
    return hostPort.match(text).hasMatch();
}
}  // namespace

TSipAccountForm::TSipAccountForm(QWidget* parent)
    : QDialog(parent), ui(std::make_unique<Ui::TSipAccountForm>()) {
    ui->setupUi(this);
    connect(ui->buttons, &QDialogButtonBox::accepted, this, &TSipAccountForm::OKButtonClick);
    connect(ui->buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

TSipAccountForm::~TSipAccountForm() = default;

void TSipAccountForm::SetAccount(const QString& lineName, const TSipAddress& address) {
    m_editedName = lineName;
    ui->lineName->setText(lineName);
    QString server = QString::fromUtf8(address.Host);
    if (address.Port != TSipAddress::DefaultPort(address.Transport))
        server += QLatin1Char(':') + QString::number(address.Port);
    ui->server->setText(server);
    ui->user->setText(QString::fromUtf8(address.User));
    ui->password->setPlaceholderText(QStringLiteral("unchanged"));
    ui->displayName->setText(address.DisplayName);
    ui->transport->setCurrentIndex(int(address.Transport));
    ui->outboundProxy->setText(QString::fromUtf8(address.Outbound));
    ui->encryptVoice->setChecked(address.Srtp);
}

QString TSipAccountForm::LineName() const {
    return ui->lineName->text().trimmed();
}

// Why the shown account cannot be saved, or empty with *address filled.
QString TSipAccountForm::Check(TSipAddress* address) const {
    const QString name = LineName();
    if (name.isEmpty() || name.contains(QLatin1Char('=')) || name.startsWith(QLatin1Char('#')))
        return QStringLiteral("Enter a name for the line, without \"=\".");
    if (name != m_editedName)
        for (const TLineEntry& entry : ReadLinesConf(LinesConfPath()))
            if (entry.Name == name)
                return QStringLiteral("There is a line named \"%1\" already.").arg(name);
    const QString server = ui->server->text().trimmed();
    if (!IsHostPort(server))
        return QStringLiteral(
            "Enter the domain or server, as sip.example.net or "
            "sip.example.net:5070.");
    const QString user = ui->user->text().trimmed();
    if (user.isEmpty() || !IsHostPort(user) || user.contains(QLatin1Char(':')))
        return QStringLiteral("Enter the account's user name.");
    const auto transport = TSipTransport(qBound(0, ui->transport->currentIndex(), 2));
    if (!TSipAddress::Parse(QStringLiteral("sip:%1@%2").arg(user, server) +
                                QString::fromLatin1(TSipAddress::TransportParameter(transport)),
                            address))
        return QStringLiteral(
            "Enter the domain or server, as sip.example.net or "
            "sip.example.net:5070.");
    const QString outbound = ui->outboundProxy->text().trimmed();
    if (!outbound.isEmpty() && !IsHostPort(outbound))
        return QStringLiteral(
            "Enter the outbound proxy as a host name or address, with its port "
            "if it is not the usual one, or leave it empty.");
    address->Outbound = outbound.toUtf8();
    address->DisplayName = ui->displayName->text().trimmed();
    address->Srtp = ui->encryptVoice->isChecked();
    // A new line, or one under a new name, has no password kept yet.
    if (ui->password->text().isEmpty() && name != m_editedName)
        return QStringLiteral("Enter the account's password.");
    return QString();
}

void TSipAccountForm::Refuse(const QString& problem) {
    ui->problem->setText(problem);
    ui->buttons->setEnabled(true);
}

void TSipAccountForm::OKButtonClick() {
    TSipAddress address;
    const QString problem = Check(&address);
    if (!problem.isEmpty()) return Refuse(problem);
    QString error;
    if (!WriteLinesConfEntry(LinesConfPath(), m_editedName, {LineName(), address.Text()}, &error))
        return Refuse(QStringLiteral("Can't save the line in %1: %2").arg(LinesConfPath(), error));
    const QString name = LineName();
    if (!m_editedName.isEmpty() && m_editedName != name)
        m_oldPassword = std::make_unique<TSecretStore>(SipKeyringName(m_editedName),
                                                       SipPasswordFileName(m_editedName));
    m_editedName = name;  // saved: a second OK edits it
    if (ui->password->text().isEmpty()) return Finish();
    ui->buttons->setEnabled(false);  // until the keyring has answered
    ui->problem->setText(QStringLiteral("Saving the password..."));
    m_password = std::make_unique<TSecretStore>(SipKeyringName(name), SipPasswordFileName(name));
    connect(m_password.get(), &TSecretStore::Stored, this, &TSipAccountForm::PasswordStored);
    m_password->Store(ui->password->text());
}

void TSipAccountForm::PasswordStored(bool inKeyring, const QString& error) {
    if (!inKeyring && !error.isEmpty())
        return Refuse(QStringLiteral("Can't keep the password: ") + error);
    ui->password->clear();
    ui->password->setPlaceholderText(QStringLiteral("unchanged"));
    ui->problem->clear();
    Finish();
}

// A renamed line's old password is forgotten before the dialog closes.
void TSipAccountForm::Finish() {
    if (!m_oldPassword) return accept();
    ui->buttons->setEnabled(false);
    connect(m_oldPassword.get(), &TSecretStore::Stored, this, [this] { accept(); });
    m_oldPassword->Store(QString());
}
