// The clipboard as the program sees it: text in code page 1251 with CR LF line ends.
// At the edge it is the system's Unicode text with the desktop's LF line ends: CR LF
// and lone CR become LF on the way out, and every LF becomes CR LF on the way in, so
// that text the program puts there comes back byte for byte. Characters outside 1251
// arrive as "?".
#pragma once

#include "platform/core/AnsiText.h"

class TClipboard {
 public:
  AnsiString AsText() const;
  void SetAsText(const AnsiString& text);
  bool HasText() const;
  void Clear();
};

TClipboard& Clipboard();

// The conversions themselves (no Qt types, for tests of the rule).
std::string ClipboardTextFromAnsi(const AnsiString& text);  // UTF-8, LF
AnsiString ClipboardTextToAnsi(std::string_view utf8);       // 1251, CR LF
