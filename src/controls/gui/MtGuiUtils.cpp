#include "controls/gui/MtGuiUtils.h"

#include <QGuiApplication>
#include <QWidget>

#include "controls/tree/MtUtils.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Keyboard.h"

TShiftState GetShiftState() {
  return ShiftStateFromQt(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons());
}

QWidget* GetOwnerForm(const QWidget* component) { return component ? component->window() : nullptr; }

int MtWheelLines() { return MtHasWheelScrollLines() ? WheelScrollLines() : 3; }
