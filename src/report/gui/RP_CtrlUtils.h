// Small helpers of the report engine's windows over the platform's controls.
#pragma once

#include <vector>

#include "platform/gui/Controls.h"

// Sets each control's enabled state. A label (a control on a QLabel) also gets its font
// colour: grey text when disabled, window text when enabled; any other control its
// background: button face when disabled, window when enabled.
void rpSetControlsEnabled(const std::vector<TWinControl*>& controls, bool enabled);

// The last-created visible child control of parent whose rectangle holds point (parent's
// client coordinates). A hit child that has child controls of its own is searched with
// the point made relative to it; when none of those is hit, the earlier siblings are
// tried. Null when nothing is hit.
TWinControl* rpControlAtPoint(const TWinControl& parent, TPoint point);
