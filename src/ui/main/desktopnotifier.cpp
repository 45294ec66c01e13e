#include "ui/main/desktopnotifier.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include "ui/dialogs/plaintext.h"

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kShownMs = 15000;
}  // namespace

TDesktopNotifier::TDesktopNotifier(QObject* parent) : QObject(parent) {}

void TDesktopNotifier::Notify(const QString& summary, const QString& body) {
    if (!Enabled) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    if (!m_listening)
        m_listening = bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"),
                                  this, SLOT(OnActionInvoked(uint, QString)));
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << QStringLiteral("Ringvale") << uint(0) << QStringLiteral("org.ringvale.Ringvale")
         << summary << EscapedMarkup(body)
         << QStringList{QStringLiteral("default"), QStringLiteral("Show Ringvale")}
         << QVariantMap{{QStringLiteral("desktop-entry"), QStringLiteral("org.ringvale.Ringvale")},
                        {QStringLiteral("category"), QStringLiteral("im.received")}}
         << kShownMs;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher* done) {
                const QDBusPendingReply<uint> reply = *done;
                if (reply.isValid()) m_sent.insert(reply.value());
                done->deleteLater();
            });
}

void TDesktopNotifier::OnActionInvoked(uint id, const QString& action) {
    if (m_sent.contains(id) && action == QLatin1String("default")) emit Activated();
}
