// Drawing and window utilities shared by the combo edit and the folder dialog, without
// any toolkit: shortening a text to a width, centring a window on the screen, and the
// sizes of a rectangle.
#pragma once

#include <string_view>

#include "platform/core/Graphics.h"

// The text when it fits in maxWidth; else its first Length - 2, Length - 3, ... bytes
// followed by "..." until that fits or nothing is left.
AnsiString ShortenTextToWidth(std::string_view text, const TTextMetrics& metrics, const TFont& font, int maxWidth);
// Centring a window on the screen: CenterWindowRect (platform/core/Graphics.h) and
// CenterWindow (platform/gui/Forms.h).
inline int RectWidth(const TRect& r) { return r.Right - r.Left; }
inline int RectHeight(const TRect& r) { return r.Bottom - r.Top; }
