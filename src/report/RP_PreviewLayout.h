// What the preview window computes without a screen: where the pages stand at a zoom,
// which page is current for a scroll position, and the search in the page texts.
#pragma once

#include <vector>

#include "platform/core/Canvas.h"
#include "report/RP_Prepared.h"

enum TrpZoomMode { rpzmFactor = 0, rpzmPageWidth = 1, rpzmWholePage = 2, rpzmTwoPages = 3 };
// The first zoom a report asks of its preview: pzDefault opens it as the previous one
// was left (a fixed factor cannot be asked for), the others choose that mode.
using TrpPreviewZoom = TrpZoomMode;
constexpr TrpPreviewZoom pzDefault = rpzmFactor, pzPageWidth = rpzmPageWidth, pzWholePage = rpzmWholePage,
                         pzTwoPages = rpzmTwoPages;

struct TrpPreviewLayout {
  double Factor = 1.0;
  int PagesPerRow = 1;
  std::vector<TRect> Pages;  // in panel pixels, before scrolling
  int HRange = 0, VRange = 0;
};

// Page sizes in report pixels; `current` is 0-based.
TrpPreviewLayout rpLayoutPreview(const std::vector<TPoint>& pageSizes, int current, int panelWidth, int panelHeight,
                                 int mode, double factor);
// The page (0-based) whose rectangle crosses the line 11 pixels below the top at this
// vertical scroll position; `fallback` when none does.
int rpPageAtScroll(const TrpPreviewLayout& layout, int scrollY, int fallback);
// The scaled page sizes of prepared pages.
std::vector<TPoint> rpPreviewPageSizes(const TrpEMFPages& pages);

// The preview's search: the text records that a page leaves on a recording canvas.
struct TrpPreviewSearch {
  AnsiString Text;  // upper-cased unless CaseSensitive
  bool CaseSensitive = false;
  int Page = 0;     // 0-based page where the search goes on
  int Record = -1;  // the text record of that page after which it goes on
  TRect Found;      // the last match, in report pixels of its page
  bool Active() const { return !Text.empty(); }
  // Starts a new search (from page `from`).
  void Start(const AnsiString& text, bool caseSensitive, int from);
  // The next match from the search position on; false (and no change) without one.
  bool FindNext(TrpEMFPages& pages);
};
