#pragma once
// The UUCP lock of a serial port, shared with every other program on the machine: the file
// LCK..<device> in the lock folder, holding the owner's PID as ten characters and a newline.
// The name comes from the resolved device, never a /dev/serial/by-id link, so that every
// program agrees on it.

#include <QString>

class TPortLock {
public:
    explicit TPortLock(const QString& devicePath);
    ~TPortLock();
    TPortLock(const TPortLock&) = delete;
    TPortLock& operator=(const TPortLock&) = delete;

    enum Result { Locked, Busy, Failed };
    // Takes the lock; a lock of a process that no longer runs is taken over.
    Result Acquire();
    void Release();
    bool Held() const { return m_held; }
    // False once another program has taken or removed the lock.
    bool StillOurs() const;
    QString Path() const { return m_path; }
    QString ErrorText;

    // The PID in a lock file (HDB text, or the first line of other programs' locks); 0 if none,
    // kForeign when something that is no lock file stands there.
    static constexpr qint64 kForeign = -1;
    static qint64 OwnerOf(const QString& lockPath);
    static bool IsRunning(qint64 pid);
    // Where locks live: the first writable of /var/lock and /run/lock; tests set their own.
    static QString Folder();
    static void SetFolder(const QString& folder);

private:
    QString m_path;
    bool m_held = false;
};
