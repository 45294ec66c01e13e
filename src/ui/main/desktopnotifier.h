#pragma once
// Desktop notifications (the freedesktop notification service on the session bus): each
// caller and each new message also appears there, and the notification's default action
// brings the main window back. Without a session bus or a notification service nothing is
// sent and nothing waits: every call is asynchronous.

#include <QObject>
#include <QSet>

class TDesktopNotifier : public QObject {
    Q_OBJECT
public:
    explicit TDesktopNotifier(QObject* parent = nullptr);

    bool Enabled = true;
    // Sends one notification; returns at once.
    void Notify(const QString& summary, const QString& body);

signals:
    // The user chose a notification of ours.
    void Activated();

private slots:
    void OnActionInvoked(uint id, const QString& action);

private:
    QSet<uint> m_sent;
    bool m_listening = false;
};
