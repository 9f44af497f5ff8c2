// Sends a key press to a widget as the window system does for the focused one.
#pragma once

#include <QApplication>
#include <QKeyEvent>

inline void SendKey(QWidget* w, int key, Qt::KeyboardModifiers m = Qt::NoModifier, const char* text = "") {
  QKeyEvent e(QEvent::KeyPress, key, m, QString::fromUtf8(text));
  QApplication::sendEvent(w, &e);
}
