#include "report/RP_PageSetup.h"

#include <algorithm>
#include <cstdlib>

#include "report/RP_Class.h"

TrpPageSetup rpPageSetupOf(const TrpEMFPages& pages) {
  TrpPageSetup s;
  const TrpPreparedPage* first = pages.GetPages(0);
  if (!first) return s;
  if (first->Width > 0 && first->Height > 0) {
    s.PaperWidth = std::min(first->Width, first->Height);
    s.PaperHeight = std::max(first->Width, first->Height);
  }
  s.Orientation = first->Orientation == rpLandscape ? rpLandscape : rpPortrait;
  s.LeftMargin = first->LeftMargin;
  s.TopMargin = first->TopMargin;
  s.RightMargin = first->RightMargin;
  s.BottomMargin = first->BottomMargin;
  return s;
}

std::vector<TrpPage*> rpPageSetupTargets(TrpReport& report) {
  std::vector<TrpReport*> reports{&report};
  if (auto* composite = dynamic_cast<TrpCompositeReport*>(&report)) reports = composite->Reports;
  std::vector<TrpPage*> pages;
  for (TrpReport* r : reports) {
    if (!r) continue;
    for (auto& page : r->Pages.Pages)
      if (page && page->PageType != ptDialog) pages.push_back(page.get());
  }
  return pages;
}

int rpApplyPageSetup(TrpReport& report, const TrpPageSetup& setup) {
  const int w = std::min(setup.PaperWidth, setup.PaperHeight);
  const int h = std::max(setup.PaperWidth, setup.PaperHeight);
  const bool landscape = setup.Orientation == rpLandscape;
  int paper = rpCustomPaper;
  for (const TrpPaper& p : rpPaperTable())
    if (p.Id != rpCustomPaper && std::abs(std::min(p.Width, p.Height) - w) <= 2 &&
        std::abs(std::max(p.Width, p.Height) - h) <= 2) {
      paper = p.Id;
      break;
    }
  const std::vector<TrpPage*> pages = rpPageSetupTargets(report);
  for (TrpPage* page : pages) {
    page->ChangePaper(paper, landscape ? h : w, landscape ? w : h, page->Bin, landscape ? rpLandscape : rpPortrait);
    page->LeftMargin = setup.LeftMargin;
    page->TopMargin = setup.TopMargin;
    page->RightMargin = setup.RightMargin;
    page->BottomMargin = setup.BottomMargin;
  }
  return static_cast<int>(pages.size());
}

// Rounded both ways, so that a dialog closed with OK gives the margins back unchanged.
int rpMarginToHundredthsMm(int reportPixels) { return (std::max(reportPixels, 0) * 500 + 9) / 18; }
int rpHundredthsMmToMargin(int hundredths) { return (std::max(hundredths, 0) * 18 + 250) / 500; }
