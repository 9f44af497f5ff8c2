#include "controls/misc/WindowUtils.h"

#include <algorithm>

AnsiString ShortenTextToWidth(std::string_view text, const TTextMetrics& metrics, const TFont& font, int maxWidth) {
  if (metrics.TextWidth(font, text) <= maxWidth) return AnsiString(text);
  for (std::size_t keep = text.size() >= 2 ? text.size() - 2 : 0;; --keep) {
    const AnsiString candidate = AnsiString(text.substr(0, keep)) + "...";
    if (metrics.TextWidth(font, candidate) <= maxWidth || keep == 0) return candidate;
  }
}
