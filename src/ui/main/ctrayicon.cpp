#include "ui/main/ctrayicon.h"

#include "ui/dialogs/plaintext.h"

namespace {
constexpr int kMaxTip = 63;
}

CTrayIcon::CTrayIcon(QObject* owner, const QIcon& icon, const QString& tip)
    : QObject(owner), m_tip(tip.left(kMaxTip)) {
    m_icon.setIcon(icon);
    m_iconKey = icon.cacheKey();
    m_icon.setToolTip(PlainTip(m_tip));
}

bool CTrayIcon::Available() {
    return s_assumed || QSystemTrayIcon::isSystemTrayAvailable();
}

CTrayIcon::~CTrayIcon() {
    if (m_shown) m_icon.hide();
}

void CTrayIcon::Show() {
    if (m_shown) return;
    m_icon.show();
    m_shown = true;
}

void CTrayIcon::SetIcon(const QIcon& icon) {
    if (!m_shown || icon.cacheKey() == m_iconKey) return;
    m_iconKey = icon.cacheKey();
    m_icon.setIcon(icon);
}

void CTrayIcon::SetTip(const QString& tip) {
    if (!m_shown) return;
    m_tip = tip.left(kMaxTip);
    m_icon.setToolTip(PlainTip(m_tip));
}
