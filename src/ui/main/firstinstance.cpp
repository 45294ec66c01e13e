#include "ui/main/firstinstance.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QLocalSocket>

namespace {
constexpr int kWaitMs = 1000;
}  // namespace

QString TFirstInstance::ServerName(const QString& folder) {
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex().left(16);
    return QStringLiteral("ringvale-") + QString::fromLatin1(hash);
}

TFirstInstance::TFirstInstance(const QString& folder, std::function<void()> raise)
    : m_raise(std::move(raise)) {
    const QString name = ServerName(folder);
    QLocalServer::removeServer(name);  // one left by a program that was killed
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(name))
        qWarning().noquote() << "No window raising:" << m_server.errorString();
    connect(&m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server.nextPendingConnection()) {
            socket->deleteLater();
            qInfo().noquote() << "Another start on this folder: showing the window";
            m_raise();
        }
    });
}

bool TFirstInstance::AskToShow(const QString& folder) {
    QLocalSocket socket;
    socket.connectToServer(ServerName(folder));
    return socket.waitForConnected(kWaitMs);
}
