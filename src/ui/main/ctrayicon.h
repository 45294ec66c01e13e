#pragma once
// CTrayIcon: the program's one icon in the notification area, kept in step with the call
// status. Where the desktop has no tray, the program never creates one.

#include <QIcon>
#include <QSystemTrayIcon>

class CTrayIcon : public QObject {
    Q_OBJECT
public:
    CTrayIcon(QObject* owner, const QIcon& icon, const QString& tip);
    ~CTrayIcon() override;
    // Whether the desktop has a tray; a desktop without one can be told to assume one (the
    // tests drive the tray's paths where the platform offers none).
    static bool Available();
    static void AssumeAvailable(bool assumed) { s_assumed = assumed; }
    void Show();
    void SetIcon(const QIcon& icon);
    void SetTip(const QString& tip);
    bool Shown() const { return m_shown; }
    QSystemTrayIcon& Icon() { return m_icon; }

private:
    QSystemTrayIcon m_icon;
    QString m_tip;
    qint64 m_iconKey = 0;
    bool m_shown = false;
    static inline bool s_assumed = false;
};
