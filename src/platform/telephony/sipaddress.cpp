#include "platform/telephony/sipaddress.h"

#include <QStringList>
#include <QUrl>

int TSipAddress::DefaultPort(TSipTransport transport) {
    return transport == TSipTransport::Tls ? 5061 : 5060;
}

QByteArray TSipAddress::TransportParameter(TSipTransport transport) {
    if (transport == TSipTransport::Tcp) return ";transport=tcp";
    if (transport == TSipTransport::Tls) return ";transport=tls";
    return QByteArray();
}

bool TSipAddress::Parse(const QString& text, TSipAddress* address) {
    const QString trimmed = text.trimmed();
    if (!trimmed.startsWith(QLatin1String("sip:"), Qt::CaseInsensitive)) return false;
    const QStringList params = trimmed.mid(4).split(QLatin1Char(';'));
    TSipAddress parsed;
    for (const QString& param : params.mid(1)) {
        const QString name = param.section(QLatin1Char('='), 0, 0).trimmed().toLower();
        const QString value = param.section(QLatin1Char('='), 1).trimmed();
        if (name == QLatin1String("transport") &&
            value.compare(QLatin1String("tcp"), Qt::CaseInsensitive) == 0)
            parsed.Transport = TSipTransport::Tcp;
        else if (name == QLatin1String("transport") &&
                 value.compare(QLatin1String("tls"), Qt::CaseInsensitive) == 0)
            parsed.Transport = TSipTransport::Tls;
        else if (name == QLatin1String("outbound"))
            parsed.Outbound = value.toUtf8();
        else if (name == QLatin1String("srtp"))
            parsed.Srtp = true;
        else if (name == QLatin1String("display"))
            parsed.DisplayName = QUrl::fromPercentEncoding(value.toUtf8());
    }
    const QString userHost = params.first();
    const qsizetype at = userHost.indexOf(QLatin1Char('@'));
    if (at <= 0) return false;
    parsed.User = userHost.left(at).toUtf8();
    QString host = userHost.mid(at + 1);
    parsed.Port = DefaultPort(parsed.Transport);
    const qsizetype colon = host.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && !host.endsWith(QLatin1Char(']'))) {
        bool ok = false;
        parsed.Port = host.mid(colon + 1).toInt(&ok);
        if (!ok || parsed.Port <= 0 || parsed.Port > 65535) return false;
        host.truncate(colon);
    }
    if (host.isEmpty()) return false;
    parsed.Host = host.toUtf8();
    *address = parsed;
    return true;
}

QString TSipAddress::Text() const {
    QString text = QStringLiteral("sip:") + QString::fromUtf8(User) + QLatin1Char('@') +
                   QString::fromUtf8(Host);
    if (Port != DefaultPort(Transport)) text += QLatin1Char(':') + QString::number(Port);
    text += QString::fromLatin1(TransportParameter(Transport));
    if (!Outbound.isEmpty()) text += QStringLiteral(";outbound=") + QString::fromUtf8(Outbound);
    if (Srtp) text += QStringLiteral(";srtp");
    if (!DisplayName.isEmpty())
        text += QStringLiteral(";display=") +
                QString::fromLatin1(QUrl::toPercentEncoding(DisplayName, " "));
    return text;
}

QString SipKeyringName(const QString& lineName) {
    return QStringLiteral("SIP ") + lineName;
}

QString SipPasswordFileName(const QString& lineName) {
    QString safe;
    for (const QChar c : lineName)
        safe += c.isLetterOrNumber() ? c : QLatin1Char('_');
    return QStringLiteral("sip-password-") + safe;
}
