#include "calls/accessguard.h"

bool TAccessGuard::WrongCode(qint64 now) {
    if (Locked(now)) return false;
    m_wrong.removeIf([now](qint64 at) { return at <= now - kWindowSeconds; });
    m_wrong << now;
    if (m_wrong.size() < kMaxWrongCodes) return false;
    m_wrong.clear();
    m_lockedUntil = now + kLockSeconds;
    m_lockShown = true;
    return true;
}

bool TAccessGuard::LockEnded(qint64 now) {
    if (!m_lockShown || Locked(now)) return false;
    m_lockShown = false;
    return true;
}
