// Page setup from a preview: the paper and margins the dialog starts from (the first
// prepared page's) and the template pages its answer changes before the report is built
// again. A composite report has no report pages of its own: the pages of every report
// it lists change; dialog pages never do.
#pragma once

#include <vector>

#include "report/RP_Page.h"
#include "report/RP_Prepared.h"

class TrpReport;

struct TrpPageSetup {
  int PaperWidth = 2100, PaperHeight = 2970;  // tenths of a millimetre, portrait
  int Orientation = rpPortrait;
  int LeftMargin = 0, TopMargin = 0, RightMargin = 0, BottomMargin = 0;  // report pixels
};

// The first prepared page's paper and margins (A4 portrait without margins when there
// is no page).
TrpPageSetup rpPageSetupOf(const TrpEMFPages& pages);
// The report pages a page setup changes.
std::vector<TrpPage*> rpPageSetupTargets(TrpReport& report);
// Gives those pages the paper (a paper of the table when one has its size, else a custom
// one) and the margins; answers how many pages changed.
int rpApplyPageSetup(TrpReport& report, const TrpPageSetup& setup);
// Margins in report pixels and in hundredths of a millimetre (x 500 / 18), rounded.
int rpMarginToHundredthsMm(int reportPixels);
int rpHundredthsMmToMargin(int hundredths);
