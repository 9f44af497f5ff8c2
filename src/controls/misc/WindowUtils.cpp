#include "controls/misc/WindowUtils.h"

#include <algorithm>

AnsiString ShortenTextToWidth(std::string_view text, const TTextMetrics& metrics, const TFont& font, int maxWidth) {
  if (metrics.TextWidth(font, text) <= maxWidth) return AnsiString(text);
  for (std::size_t keep = text.size() >= 2 ? text.size() - 2 : 0;; --keep) {
    const AnsiString candidate = AnsiString(text.substr(0, keep)) + "...";
    if (metrics.TextWidth(font, candidate) <= maxWidth || keep == 0) return candidate;
  }
}

TRect CenterWindowRect(const TRect& window, const TRect& screen) {
  const int w = window.Width(), h = window.Height();
  int left = screen.Left + (screen.Width() - w) / 2;
  int top = screen.Top + (screen.Height() - h) / 2;
  // Into the screen: the right and bottom edges first, so that the left and top win.
  left = std::max(std::min(left, screen.Right - w), screen.Left);
  top = std::max(std::min(top, screen.Bottom - h), screen.Top);
  return Bounds(left, top, w, h);
}
