#pragma once
// The mail account's password: in the desktop's keyring where one runs, otherwise in the file
// "email-password" in the data folder, readable by the user only. Never in the settings files.
// The keyring answers later, so both directions end in a signal.

#include <QObject>
#include <QString>

class TSecretStore : public QObject {
    Q_OBJECT
public:
    explicit TSecretStore(QObject* parent = nullptr);

    // Reads the password; Fetched follows, with an empty one when none is kept.
    void Fetch();
    // Keeps the password (empty: forgets it); Stored follows, saying where it went.
    void Store(const QString& password);

    static QString FallbackPath();
    static QString ReadFallback();

signals:
    void Fetched(const QString& password);
    void Stored(bool inKeyring, const QString& error);

private:
    QString Key() const;
    void StoreInFile(const QString& password);
};
