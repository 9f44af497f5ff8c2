// The program's own icon, drawn in code: a mountain under a sun above a cooking pot. The
// frame, the ration windows and the dialogs show it instead of the toolkit's logo.
#pragma once

#include <QIcon>

// The same picture on every call (16 to 64 pixels).
QIcon ProgramIcon();
