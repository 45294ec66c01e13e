#pragma once
// Lets queued notifications (line messages, wave notices) arrive in a test without waiting
// for time to pass, and checks that something does not happen for a while.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

inline void Pump() {
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

// Runs the program's events for ms milliseconds; true when `happened` stayed false all along.
// For what must not happen: a second notice, a late completion, a file that must not appear.
template <class Condition>
bool NothingWithin(int ms, Condition happened) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (happened()) return false;
        QTest::qWait(10);
    }
    return !happened();
}
