#include "ServerPointer.h"

#include <QCursor>
#include <QTest>

// After Qt: Xlib's macros (Bool, Status) clash with Qt's headers.
#include <X11/Xlib.h>
#include <dlfcn.h>

namespace {
using FakeButton = int (*)(Display*, unsigned, Bool, unsigned long);
}

ServerPointer::ServerPointer() {
  display_ = XOpenDisplay(nullptr);
  lib_ = dlopen("libXtst.so.6", RTLD_NOW);
  if (lib_) fake_ = dlsym(lib_, "XTestFakeButtonEvent");
}

ServerPointer::~ServerPointer() {
  if (display_) XCloseDisplay(static_cast<Display*>(display_));
  if (lib_) dlclose(lib_);
}

bool ServerPointer::Usable() const { return display_ && fake_; }

void ServerPointer::Button(bool press, unsigned button) {
  reinterpret_cast<FakeButton>(fake_)(static_cast<Display*>(display_), button, press ? True : False, 0);
  XFlush(static_cast<Display*>(display_));
  QTest::qWait(150);
}

void ServerPointer::MoveTo(QPoint screen) {
  QCursor::setPos(screen);
  QTest::qWait(250);
}
