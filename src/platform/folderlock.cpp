#include "platform/folderlock.h"

#include <QDir>

TFolderLock::TFolderLock(const QString& folder)
    : m_lock(std::make_unique<QLockFile>(QDir(folder).filePath(QLatin1String(kFileName)))) {
    m_lock->setStaleLockTime(0);  // only a dead owner makes a lock stale, never its age
}

bool TFolderLock::Acquire() {
    if (m_lock->tryLock(0)) return true;
    QString host, application;
    m_lock->getLockInfo(&m_owner, &host, &application);
    switch (m_lock->error()) {
        case QLockFile::LockFailedError:
            ErrorText = QStringLiteral("Ringvale is already running in this folder (process %1).")
                            .arg(m_owner);
            break;
        case QLockFile::PermissionError:
            ErrorText = QStringLiteral("The folder cannot be written.");
            break;
        default:
            ErrorText = QStringLiteral("The folder cannot be locked.");
    }
    return false;
}
