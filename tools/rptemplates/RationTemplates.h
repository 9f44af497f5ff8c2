// The ration's report templates, designed in code: the title block, the description,
// the daily menu, the product lists, the totals, the recommendations and the closing
// line. Each template is an A4 portrait page in "Arial" (Liberation Sans on Linux),
// prints to the default printer (loading it never changes the chosen printer) and
// numbers its pages in the page footer.
#pragma once

#include <string_view>

#include "platform/core/SysUtils.h"
#include "report/RP_Page.h"

namespace rptemplates {

// The file names, in print order.
inline constexpr std::string_view kNames[] = {"r-header", "rgen",    "rmenu",   "rdayprod",
                                              "rtotprod", "rtotals", "rtotcmt", "r-footer"};

// Makes the template of that name into pages (emptied first); false for an unknown name.
bool MakeTemplate(std::string_view name, TrpPages& pages);
// Writes all eight ".rpf" files into dir (each atomically); the number written.
int WriteTemplates(const AnsiString& dir);

}  // namespace rptemplates
