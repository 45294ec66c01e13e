#pragma once
// A mail as the outbox keeps it and a server receives it: MIME text with a plain-text part and,
// when wanted, one attachment, both in base64 so that no line is too long for any server. The
// sender and recipients are put in front only when the mail is sent, so that a mail written
// before the settings were fixed goes out with the fixed ones.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

struct TMailAttachment {
    QString Name;     // the file name the recipient sees
    QByteArray Type;  // "audio/wav"
    QByteArray Data;
};

// Subject and text may hold anything a caller ID gives (other scripts, control characters):
// they never break out of their header or part.
QByteArray ComposeMail(const QString& subject, const QString& text, const QDateTime& date,
                       const TMailAttachment* attachment = nullptr);
// The mail with its "From" and "To" headers.
QByteArray AddressMail(const QByteArray& mail, const QString& from, const QStringList& to);
// A header value: printable ASCII as it is, anything else as an encoded word.
QByteArray HeaderText(const QString& text);
