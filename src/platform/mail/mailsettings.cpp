#include "platform/mail/mailsettings.h"

#include <QRegularExpression>
#include <QSettings>

namespace {

QSettings UserSettings() {
    return QSettings(QStringLiteral("Tarvex"), QStringLiteral("Ringvale"));
}

}  // namespace

bool TMailSettings::Complete() const {
    return !Server.isEmpty() && !From.isEmpty() && !To.isEmpty();
}

int TMailSettings::DefaultPort(SecurityMode security) {
    switch (security) {
        case None:
            return 25;
        case Tls:
            return 465;
        case StartTls:
            break;
    }
    return 587;
}

QString TMailSettings::SecurityName(SecurityMode security) {
    switch (security) {
        case None:
            return QStringLiteral("none");
        case Tls:
            return QStringLiteral("tls");
        case StartTls:
            break;
    }
    return QStringLiteral("starttls");
}

TMailSettings::SecurityMode TMailSettings::SecurityFromName(const QString& name) {
    const QString lower = name.trimmed().toLower();
    if (lower == QLatin1String("none")) return None;
    if (lower == QLatin1String("tls")) return Tls;
    return StartTls;
}

QStringList TMailSettings::SplitAddresses(const QString& text) {
    QStringList addresses;
    for (const QString& part : text.split(QRegularExpression(QStringLiteral("[,;]"))))
        if (const QString address = part.trimmed(); !address.isEmpty()) addresses << address;
    return addresses;
}

TMailSettings TMailSettings::Load() {
    QSettings settings = UserSettings();
    settings.beginGroup(QStringLiteral("Email"));
    TMailSettings mail;
    mail.Server = settings.value(QStringLiteral("Server")).toString().trimmed();
    mail.Security = SecurityFromName(settings.value(QStringLiteral("Security")).toString());
    bool valid = false;
    const int port = settings.value(QStringLiteral("Port")).toInt(&valid);
    mail.Port = valid && port > 0 && port < 65536 ? port : DefaultPort(mail.Security);
    mail.User = settings.value(QStringLiteral("User")).toString();
    mail.From = settings.value(QStringLiteral("From")).toString().trimmed();
    // A list written by hand may be one text with commas or a list of texts.
    const QVariant to = settings.value(QStringLiteral("To"));
    mail.To = SplitAddresses(to.typeId() == QMetaType::QStringList
                                 ? to.toStringList().join(QLatin1Char(','))
                                 : to.toString());
    mail.Attach = settings.value(QStringLiteral("Attach"), true).toBool();
    mail.AllCalls = settings.value(QStringLiteral("AllCalls"), false).toBool();
    return mail;
}

void TMailSettings::Save() const {
    QSettings settings = UserSettings();
    settings.beginGroup(QStringLiteral("Email"));
    settings.setValue(QStringLiteral("Server"), Server);
    settings.setValue(QStringLiteral("Port"), Port);
    settings.setValue(QStringLiteral("Security"), SecurityName(Security));
    settings.setValue(QStringLiteral("User"), User);
    settings.setValue(QStringLiteral("From"), From);
    settings.setValue(QStringLiteral("To"), To.join(QStringLiteral(", ")));
    settings.setValue(QStringLiteral("Attach"), Attach);
    settings.setValue(QStringLiteral("AllCalls"), AllCalls);
}
