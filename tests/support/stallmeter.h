#pragma once
// The longest time the GUI thread went without running its event loop: a 5 ms timer notes
// the gaps between its beats.

#include <QElapsedTimer>
#include <QTimer>

class TStallMeter {
public:
    TStallMeter() {
        m_beat.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_beat, &QTimer::timeout,
                         [this] { m_longest = qMax(m_longest, m_since.restart()); });
        m_since.start();
        m_beat.start(5);
    }
    // Milliseconds, less the beat itself.
    qint64 LongestMs() const { return qMax<qint64>(0, m_longest - 5); }
    void Reset() {
        m_longest = 0;
        m_since.restart();
    }

private:
    QTimer m_beat;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};
