#pragma once
// Lets queued notifications (line messages, wave notices) arrive in a test without waiting
// for time to pass.

#include <QCoreApplication>

inline void Pump() {
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}
