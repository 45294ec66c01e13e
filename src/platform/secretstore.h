#pragma once
// An account's password (the mail account's, a SIP account's): in the desktop's keyring where
// one runs, otherwise in a file of its own in the data folder ("email-password" for mail),
// readable by the user only. Never in the settings files. The keyring answers later, so both
// directions end in a signal.

#include <QObject>
#include <QString>

class TSecretStore : public QObject {
    Q_OBJECT
public:
    // The mail account's password.
    explicit TSecretStore(QObject* parent = nullptr);
    // Another account's: its name in the keyring, and the file in the data folder without one.
    TSecretStore(const QString& account, const QString& fileName, QObject* parent = nullptr);

    // Reads the password; Fetched follows, with an empty one when none is kept.
    void Fetch();
    // Keeps the password (empty: forgets it); Stored follows, saying where it went.
    void Store(const QString& password);

    QString FallbackPath() const;
    QString ReadFallback() const;

signals:
    void Fetched(const QString& password);
    void Stored(bool inKeyring, const QString& error);

private:
    QString Key() const;
    QString m_account;
    QString m_fileName;
    void StoreInFile(const QString& password);
};
