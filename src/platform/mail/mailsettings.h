#pragma once
// How new messages are mailed: the server, its security, the account, the sender and the
// recipients, and what is mailed. Kept in the per-user settings file in the group "Email"
// (so that an administrator can preset them), read at start; the password is never kept here.

#include <QString>
#include <QStringList>

struct TMailSettings {
    enum SecurityMode { None, StartTls, Tls };

    QString Server;
    int Port = 587;
    SecurityMode Security = StartTls;
    QString User;
    QString From;
    QStringList To;
    bool Attach = true;
    bool AllCalls = false;

    // A server, a sender and a recipient: mail can be sent.
    bool Complete() const;
    // The port a security normally uses: 25 (none), 587 (STARTTLS), 465 (TLS).
    static int DefaultPort(SecurityMode security);
    static QString SecurityName(SecurityMode security);
    // "none", "starttls" or "tls", any case; STARTTLS for anything else.
    static SecurityMode SecurityFromName(const QString& name);
    // Addresses separated by commas or semicolons, blanks dropped.
    static QStringList SplitAddresses(const QString& text);

    static TMailSettings Load();
    void Save() const;

    bool operator==(const TMailSettings&) const = default;
};
