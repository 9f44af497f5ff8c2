#include "controls/gui/MtGuiUtils.h"

#include <QGuiApplication>
#include <QWidget>

#include "controls/tree/MtUtils.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Keyboard.h"

TShiftState GetShiftState() {
  return ShiftStateFromQt(QGuiApplication::queryKeyboardModifiers(), QGuiApplication::mouseButtons());
}

TForm* GetOwnerForm(const QWidget* component) {
  for (QWidget* owner = component ? component->parentWidget() : nullptr; owner; owner = owner->parentWidget())
    if (auto* form = dynamic_cast<TForm*>(owner)) return form;
  return nullptr;
}

int MtWheelLines() { return MtHasWheelScrollLines() ? WheelScrollLines() : 3; }
