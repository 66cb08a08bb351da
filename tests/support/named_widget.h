#pragma once

#include <QtCore/QObject>
#include <QtCore/QString>

// Dialogs keep their widgets private; tests find them by object name. A
// missing name ends the test program at once, with the name.
template <class T> T* Named(QObject* dialog, const char* name) {
    T* w = dialog->findChild<T*>(QLatin1String(name));
    if (!w) qFatal("no widget named %s", name);
    return w;
}
