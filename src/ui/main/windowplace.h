#pragma once
// Where the main window opens: where the user left it, when that place is still on a screen
// (a monitor may have gone since), else in the middle of the screen. Its place is kept as the
// frame's, title bar included, so that a window restored at the top of the screen keeps its
// title bar on it.

#include <QList>
#include <QPoint>
#include <QRect>

class QWidget;

class TWindowPlace {
public:
    // The top-left of the frame of a window of this size: the saved one (an empty rectangle is
    // none) when its title bar would start on one of the screens, else centred on the primary
    // screen.
    static QPoint Choose(const QRect& saved, const QSize& size, const QList<QRect>& screens,
                         const QRect& primary);
    // The window sized and placed from bounds (left, top, width, height; zeros: none kept).
    static void Restore(QWidget* window, const qint32 bounds[4]);
    // Its frame's place and its size into bounds.
    static void Store(const QWidget* window, qint32 bounds[4]);
};
