#pragma once
// A window's controls found by their object names, as the user finds them by their captions.
// A name the window does not have, or one that names another kind of control, stops the test
// at once with the name in the message.

#include <QObject>
#include <QString>
#include <QtGlobal>

template <class Control>
Control* ControlOf(const QObject& window, const char* name) {
    auto* found = window.findChild<Control*>(QString::fromLatin1(name));
    if (!found)
        qFatal("%s has no %s named %s", window.metaObject()->className(),
               Control::staticMetaObject.className(), name);
    return found;
}
