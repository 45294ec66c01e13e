#include "ui/main/windowplace.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace {
// Enough of the title bar to take hold of the window with the mouse.
constexpr int kGrip = 100;
}  // namespace

QPoint TWindowPlace::Choose(const QRect& saved, const QSize& size, const QList<QRect>& screens,
                            const QRect& primary) {
    if (!saved.isEmpty()) {
        const QPoint grip = saved.topLeft() + QPoint(qMin(kGrip, saved.width() / 2), 0);
        for (const QRect& screen : screens)
            if (screen.contains(grip)) return saved.topLeft();
    }
    return primary.center() - QPoint(size.width() / 2, size.height() / 2);
}

void TWindowPlace::Restore(QWidget* window, const qint32 bounds[4]) {
    if (bounds[2] > 0 && bounds[3] > 0) window->resize(bounds[2], bounds[3]);
    QList<QRect> screens;
    for (const QScreen* screen : QGuiApplication::screens())
        screens << screen->availableGeometry();
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return;
    const QRect saved = bounds[2] > 0 && bounds[3] > 0
                            ? QRect(bounds[0], bounds[1], bounds[2], bounds[3])
                            : QRect();
    window->move(Choose(saved, window->size(), screens, primary->availableGeometry()));
}

void TWindowPlace::Store(const QWidget* window, qint32 bounds[4]) {
    bounds[0] = window->pos().x();
    bounds[1] = window->pos().y();
    bounds[2] = window->width();
    bounds[3] = window->height();
}
