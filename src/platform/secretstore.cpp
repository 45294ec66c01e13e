#include "platform/secretstore.h"

#include <qt6keychain/keychain.h>

#include <QDir>
#include <QFile>

#include "platform/atomicfile.h"
#include "platform/profile.h"

namespace {
const QString kService = QStringLiteral("Ringvale");
}

TSecretStore::TSecretStore(QObject* parent)
    : TSecretStore(QStringLiteral("Email"), QStringLiteral("email-password"), parent) {}

TSecretStore::TSecretStore(const QString& account, const QString& fileName, QObject* parent)
    : QObject(parent), m_account(account), m_fileName(fileName) {}

QString TSecretStore::FallbackPath() const {
    return TProfile::Path(m_fileName);
}

QString TSecretStore::ReadFallback() const {
    QFile file(FallbackPath());
    if (!file.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(file.readAll()).trimmed();
}

// One password per data folder, so that two folders of one user keep their own accounts.
QString TSecretStore::Key() const {
    return m_account + QLatin1Char(' ') + QDir(TProfile::Folder()).absolutePath();
}

void TSecretStore::Fetch() {
    auto* job = new QKeychain::ReadPasswordJob(kService, this);
    job->setKey(Key());
    connect(job, &QKeychain::Job::finished, this, [this, job] {
        // No keyring, a locked one or no entry in it: the file, if any, holds the password.
        emit Fetched(job->error() == QKeychain::NoError ? job->textData() : ReadFallback());
    });
    job->start();
}

void TSecretStore::Store(const QString& password) {
    QKeychain::Job* job = nullptr;
    if (password.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(kService, this);
    } else {
        auto* write = new QKeychain::WritePasswordJob(kService, this);
        write->setTextData(password);
        job = write;
    }
    job->setKey(Key());
    connect(job, &QKeychain::Job::finished, this, [this, job, password] {
        const bool kept = job->error() == QKeychain::NoError ||
                          (password.isEmpty() && job->error() == QKeychain::EntryNotFound);
        if (!kept) return StoreInFile(password);
        QFile::remove(FallbackPath());  // the keyring holds it now; no copy stays on disk
        emit Stored(true, QString());
    });
    job->start();
}

void TSecretStore::StoreInFile(const QString& password) {
    QString error;
    if (password.isEmpty()) {
        if (QFile::exists(FallbackPath()) && !QFile::remove(FallbackPath()))
            error = QStringLiteral("The file %1 could not be removed").arg(m_fileName);
    } else {
        RewriteFile(FallbackPath(), password.toUtf8(), &error);  // readable by the user only
    }
    emit Stored(false, error);
}
