#pragma once
// What the parts of a build share inside the engine: the run-time bands (RP_Band), page
// forming (RP_PageForm), the aggregates (RP_Aggregates) and the report component (RP_Class).
// Their scope guard is the platform's TRestore.

#include "platform/core/AnsiText.h"
#include "platform/core/FlagScope.h"
#include "platform/core/SysUtils.h"

namespace rp_build {

// A band name as a script or a template wrote it: blanks and one pair of quotes removed.
inline AnsiString Unquoted(const AnsiString& text) {
  AnsiString t = Trim(text);
  if (t.size() >= 2 && (t.front() == '\'' || t.front() == '"') && t.back() == t.front()) t = t.substr(1, t.size() - 2);
  return Trim(t);
}

// The prepared page whose page footer is printed already while a later report of a
// composite goes on on it (PrintToPrevPage); -1 for none.
extern int footerDonePage;

}  // namespace rp_build
