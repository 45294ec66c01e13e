#pragma once
// The program already running on a data folder answers a second start there by bringing its
// window to the front; the second start asks and then exits.

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <functional>

class TFirstInstance : public QObject {
    Q_OBJECT
public:
    // Listens for later starts on the folder; raise is called for each.
    TFirstInstance(const QString& folder, std::function<void()> raise);
    // A later start: asks the running program to show its window; false when none answered.
    static bool AskToShow(const QString& folder);

private:
    static QString ServerName(const QString& folder);
    QLocalServer m_server;
    std::function<void()> m_raise;
};
