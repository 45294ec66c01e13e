#pragma once
// Answering the modal dialogs a widget test opens.

#include <QApplication>
#include <QTimer>
#include <functional>

// Answers the next modal dialog of type T once it runs (its exec() or open() is waiting for a
// user): fn gets the dialog and closes it. Polled from a timer, so it works for a dialog opened
// from inside another dialog's own event loop.
template <typename T>
void WhenShown(std::function<void(T&)> fn, int timeoutMs = 10000) {
    auto* timer = new QTimer;
    auto waited = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, fn, waited, timeoutMs] {
        T* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible()) {
            if ((*waited += 20) > timeoutMs) timer->deleteLater();
            return;
        }
        timer->stop();
        timer->deleteLater();
        fn(*dialog);
    });
    timer->start(20);
}
