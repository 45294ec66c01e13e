#include "platform/mail/mailmessage.h"

#include <QSysInfo>
#include <QUuid>

namespace {

constexpr int kLineLength = 76;

QByteArray Base64Lines(const QByteArray& data) {
    const QByteArray encoded = data.toBase64();
    QByteArray lines;
    lines.reserve(encoded.size() + encoded.size() / kLineLength * 2 + 2);
    for (qsizetype at = 0; at < encoded.size(); at += kLineLength)
        lines += encoded.mid(at, kLineLength) + "\r\n";
    return lines;
}

// A file name inside a quoted header parameter: no quotes, backslashes or line breaks.
QByteArray ParameterText(const QString& text) {
    QByteArray safe;
    for (const QChar c : text)
        safe += c.unicode() > 0x20 && c.unicode() < 0x7f && c != QLatin1Char('"') &&
                        c != QLatin1Char('\\')
                    ? char(c.unicode())
                    : '_';
    return safe;
}

// An address alone: whatever could end the header is dropped.
QByteArray AddressText(const QString& address) {
    QByteArray safe;
    for (const QChar c : address.trimmed())
        if (c.unicode() >= 0x20 && c.unicode() != 0x7f) safe += QString(c).toUtf8();
    return safe;
}

}  // namespace

QByteArray HeaderText(const QString& text) {
    bool plain = true;
    for (const QChar c : text)
        plain = plain && c.unicode() >= 0x20 && c.unicode() < 0x7f;
    if (plain && !text.contains(QLatin1String("=?"))) return text.toLatin1();
    // Control characters (a line break above all) are shown as blanks, never sent as they are.
    QString shown = text;
    for (QChar& c : shown)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f) c = QLatin1Char(' ');
    // One encoded word per piece, so that no header line grows past what servers take.
    QByteArray header;
    for (qsizetype at = 0; at < shown.size(); at += 30) {
        qsizetype count = 30;
        if (at + count < shown.size() && shown.at(at + count - 1).isHighSurrogate()) ++count;
        if (!header.isEmpty()) header += "\r\n ";
        header += "=?UTF-8?B?" + shown.mid(at, count).toUtf8().toBase64() + "?=";
        at += count - 30;
    }
    return header;
}

QByteArray ComposeMail(const QString& subject, const QString& text, const QDateTime& date,
                       const TMailAttachment* attachment) {
    const QByteArray boundary = "=_ringvale_" + QUuid::createUuid().toByteArray(QUuid::Id128);
    QByteArray host = ParameterText(QSysInfo::machineHostName()).replace('@', '_');
    if (host.isEmpty()) host = "localhost";
    QByteArray mail;
    mail += "Date: " + date.toString(Qt::RFC2822Date).toLatin1() + "\r\n";
    mail += "Subject: " + HeaderText(subject) + "\r\n";
    mail += "Message-ID: <" + QUuid::createUuid().toByteArray(QUuid::Id128) + "@" + host + ">\r\n";
    mail += "MIME-Version: 1.0\r\n";
    mail += "Content-Type: multipart/mixed; boundary=\"" + boundary + "\"\r\n\r\n";
    mail += "--" + boundary + "\r\n";
    mail += "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    mail += Base64Lines(text.toUtf8());
    if (attachment) {
        const QByteArray name = ParameterText(attachment->Name);
        mail += "--" + boundary + "\r\n";
        mail += "Content-Type: " + attachment->Type + "; name=\"" + name + "\"\r\n";
        mail += "Content-Disposition: attachment; filename=\"" + name + "\"\r\n";
        mail += "Content-Transfer-Encoding: base64\r\n\r\n";
        mail += Base64Lines(attachment->Data);
    }
    mail += "--" + boundary + "--\r\n";
    return mail;
}

QByteArray AddressMail(const QByteArray& mail, const QString& from, const QStringList& to) {
    QByteArrayList recipients;
    for (const QString& address : to)
        recipients << AddressText(address);
    return "From: " + AddressText(from) + "\r\nTo: " + recipients.join(", ") + "\r\n" + mail;
}
