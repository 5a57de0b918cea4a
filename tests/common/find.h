#pragma once

// The controls of a window, found as a user finds them: by their names. A window keeps its
// widgets to itself; a test that looks for a name the window does not have fails there.
#include <gtest/gtest.h>

#include <QAction>
#include <QObject>
#include <QString>

template <typename T = QObject>
T* child(const QObject& window, const char* name) {
  T* found = window.findChild<T*>(QString::fromLatin1(name));
  if (!found) ADD_FAILURE() << window.objectName().toStdString() << " has no " << name;
  return found;
}

inline QAction* action(const QObject& window, const char* name) {
  return child<QAction>(window, name);
}
