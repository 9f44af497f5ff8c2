// Helpers of the tree and header controls that need the toolkit: the keyboard state
// now, the form a control sits on, and the lines a wheel notch scrolls.
#pragma once

#include "platform/core/Keys.h"

class QWidget;
class TForm;

// Shift, Alt and Ctrl as they are held now (and the mouse buttons), as a shift state.
TShiftState GetShiftState();
// The first form up the chain of the widget's owners (its parent widgets); nil when
// there is none (and for nil).
TForm* GetOwnerForm(const QWidget* component);
// Lines per wheel notch: the desktop's setting where the system provides one, else 3.
int MtWheelLines();
