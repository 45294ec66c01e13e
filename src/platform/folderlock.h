#pragma once
// One program per data folder: a lock file in the folder, held while the program runs and
// released when it ends. A lock left by a program that is gone (a crash, a kill) is stale and
// is taken over; one held by a live program refuses the second start.

#include <QLockFile>
#include <QString>
#include <memory>

class TFolderLock {
public:
    static constexpr const char* kFileName = "ringvale.lock";
    explicit TFolderLock(const QString& folder);
    // False only when another live program holds the folder. A folder where no lock can be
    // made (read-only) is used unlocked: nothing can be written there by anyone.
    bool Acquire();
    QString ErrorText;

private:
    std::unique_ptr<QLockFile> m_lock;
    qint64 m_owner = 0;
};
