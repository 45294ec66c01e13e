#pragma once
// Wrong access codes are counted across calls, not per call: a caller who rings again and
// again may not try codes for ever. Ten wrong codes within an hour lock remote access for an
// hour; while it is locked no keyed code is checked, the right one included.

#include <QList>
#include <QtGlobal>

class TAccessGuard {
public:
    static constexpr int kMaxWrongCodes = 10;
    static constexpr qint64 kWindowSeconds = 3600;
    static constexpr qint64 kLockSeconds = 3600;

    bool Locked(qint64 now) const { return now < m_lockedUntil; }
    qint64 LockedUntil() const { return m_lockedUntil; }
    // A wrong code keyed at now; true when it is the one that locks remote access.
    bool WrongCode(qint64 now);
    // True once, at the first look after a lock has run out.
    bool LockEnded(qint64 now);

private:
    QList<qint64> m_wrong;  // when each wrong code of the last hour was keyed
    qint64 m_lockedUntil = 0;
    bool m_lockShown = false;
};
