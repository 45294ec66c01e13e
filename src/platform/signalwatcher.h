#pragma once
// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so that the program
// quits (and saves) the normal way when the session ends, the user presses Ctrl+C or the
// terminal it was started from goes away. The handler
// only writes the signal number into a socket pair; everything else happens in the loop.

#include <QObject>

class QSocketNotifier;

class TSignalWatcher : public QObject {
    Q_OBJECT
public:
    explicit TSignalWatcher(QObject* parent = nullptr);
    ~TSignalWatcher() override;
    bool IsActive() const { return m_notifier != nullptr; }

signals:
    void Signalled(int signalNumber);

private:
    void ReadSignal();
    QSocketNotifier* m_notifier = nullptr;
};
