// Input as the window system delivers it: a key press to the focused widget, a left
// button's press and release at points of a widget.
#pragma once

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

inline void SendKey(QWidget* w, int key, Qt::KeyboardModifiers m = Qt::NoModifier, const char* text = "") {
  QKeyEvent e(QEvent::KeyPress, key, m, QString::fromUtf8(text));
  QApplication::sendEvent(w, &e);
}

// The left button pressed at `down` and released at `up`.
inline void SendClick(QWidget* w, QPointF down, QPointF up) {
  QMouseEvent press(QEvent::MouseButtonPress, down, w->mapToGlobal(down), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, up, w->mapToGlobal(up), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QApplication::sendEvent(w, &release);
}
inline void SendClick(QWidget* w, QPointF at) { SendClick(w, at, at); }
