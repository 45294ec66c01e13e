#pragma once
// Commands as a user gives them: a popup menu's item by its object name (the menus show the
// lists' own actions, which are not the menu's children), and a key pressed in a widget of the
// active window, where the window's shortcuts apply.

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QStackedWidget>
#include <QtTest>

inline QAction* MenuAction(const QMenu& menu, const QString& name) {
    for (QAction* action : menu.actions())
        if (action->objectName() == name) return action;
    qFatal("The menu has no action %s", qPrintable(name));
}

inline void PressKey(QWidget* widget, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* window = widget->window();
    window->show();
    QApplication::setActiveWindow(window);
    QCoreApplication::processEvents();
    // The page that holds the widget is brought up, as the user would click its tab.
    for (QWidget* page = widget; page && page != window; page = page->parentWidget())
        if (auto* pages = qobject_cast<QStackedWidget*>(page->parentWidget()))
            pages->setCurrentWidget(page);
    widget->setFocus();
    QTest::keyClick(widget, key, modifiers);
}
