#include "platform/folderlock.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

TFolderLock::TFolderLock(const QString& folder)
    : m_lock(std::make_unique<QLockFile>(QDir(folder).filePath(QLatin1String(kFileName)))) {
    m_lock->setStaleLockTime(0);  // only a dead owner makes a lock stale, never its age
}

bool TFolderLock::Acquire() {
    if (m_lock->tryLock(0)) return true;
    if (m_lock->error() != QLockFile::LockFailedError) {
        qWarning().noquote() << "No lock in" << QFileInfo(m_lock->fileName()).absolutePath()
                             << "(the folder cannot be written): running without one";
        return true;
    }
    QString host, application;
    m_lock->getLockInfo(&m_owner, &host, &application);
    ErrorText =
        QStringLiteral("Ringvale is already running in this folder (process %1).").arg(m_owner);
    return false;
}
