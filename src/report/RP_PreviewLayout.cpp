#include "report/RP_PreviewLayout.h"

#include "report/RP_State.h"

#include <algorithm>
#include <cmath>

#include "platform/core/AnsiText.h"

TrpPreviewLayout rpLayoutPreview(const std::vector<TPoint>& sizes, int current, int panelWidth, int panelHeight,
                                 int mode, double factor) {
  TrpPreviewLayout l;
  l.Factor = factor > 0 && std::isfinite(factor) ? factor : 1.0;
  if (sizes.empty()) return l;
  current = std::clamp(current, 0, static_cast<int>(sizes.size()) - 1);
  const TPoint cur = sizes[static_cast<std::size_t>(current)];
  const int w = std::max(1, static_cast<int>(cur.X)), h = std::max(1, static_cast<int>(cur.Y));
  switch (mode) {
    case rpzmPageWidth: l.Factor = (panelWidth - 20.0) / w; break;
    case rpzmWholePage: l.Factor = (panelHeight - 20.0) / h; break;
    case rpzmTwoPages: l.Factor = (panelWidth - 30.0) / (2.0 * w); break;
    default: break;
  }
  l.Factor = std::clamp(l.Factor, 0.01, 20.0);
  auto sw = [&](const TPoint& p) { return static_cast<int>(p.X * l.Factor); };
  auto sh = [&](const TPoint& p) { return static_cast<int>(p.Y * l.Factor); };
  if (mode == rpzmWholePage) l.PagesPerRow = 1;
  else if (mode == rpzmTwoPages) l.PagesPerRow = 2;
  else {
    int best = 1, inRow = 0, x = 10;
    for (const TPoint& p : sizes) {
      if (inRow > 0 && x + sw(p) > panelWidth) {
        inRow = 0;
        x = 10;
      }
      x += sw(p) + 10;
      best = std::max(best, ++inRow);
    }
    l.PagesPerRow = best;
  }
  int y = 10, right = 0, bottom = 0;
  for (std::size_t i = 0; i < sizes.size(); i += static_cast<std::size_t>(l.PagesPerRow)) {
    int x = 10, rowH = 0;
    for (std::size_t k = i; k < std::min(sizes.size(), i + static_cast<std::size_t>(l.PagesPerRow)); ++k) {
      const int pw = sw(sizes[k]), ph = sh(sizes[k]);
      int px = x;
      if (l.PagesPerRow == 1 && pw < panelWidth) px = (panelWidth - pw) / 2;
      l.Pages.push_back(Rect(px, y, px + pw, y + ph));
      right = std::max(right, px + pw);
      rowH = std::max(rowH, ph);
      x += pw + 10;
    }
    y += rowH + 10;
    bottom = y - 10;
  }
  l.HRange = std::max(0, right - panelWidth + 10);
  l.VRange = std::max(0, bottom - panelHeight + 10);
  return l;
}

int rpPageAtScroll(const TrpPreviewLayout& layout, int scrollY, int fallback) {
  const int line = scrollY + 11;
  for (std::size_t i = 0; i < layout.Pages.size(); ++i)
    if (layout.Pages[i].Top <= line && layout.Pages[i].Bottom > line) return static_cast<int>(i);
  return fallback;
}

std::vector<TPoint> rpPreviewPageSizes(const TrpEMFPages& pages) {
  std::vector<TPoint> s;
  for (int i = 0; i < pages.GetCount(); ++i) {
    const TrpPreparedPage* p = pages.GetPages(i);
    s.push_back(Point(p->PageInfo.PhysWidth, p->PageInfo.PhysHeight));
  }
  return s;
}

void TrpPreviewSearch::Start(const AnsiString& text, bool caseSensitive, int from) {
  CaseSensitive = caseSensitive;
  Text = caseSensitive ? text : AnsiUpperCase(text);
  Page = std::max(0, from);
  Record = -1;
  Found = TRect{};
}

bool TrpPreviewSearch::FindNext(TrpEMFPages& pages) {
  if (!Active()) return false;
  for (int p = Page; p < pages.GetCount(); ++p) {
    TrpPreparedPage* rec = pages.GetPages(p);
    const TRect whole = Rect(0, 0, std::max(1, rec->PageInfo.PhysWidth), std::max(1, rec->PageInfo.PhysHeight));
    // Measured as the pages were laid out, so that right-aligned and justified text
    // stands where the preview draws it.
    TRecordingCanvas canvas(whole, &rpMeasureCanvas().Metrics());
    const bool wasVisible = rec->Visible;
    rec->Visible = true;
    pages.Draw(p, canvas, whole);
    rec->Visible = wasVisible;
    if (!wasVisible) pages.Draw(p, canvas, whole);  // releases the rebuilt page
    int index = -1;
    for (const auto& op : canvas.Ops()) {
      if (op.Kind != TRecordingCanvas::TOpKind::Text) continue;
      ++index;
      if (p == Page && index <= Record) continue;
      const AnsiString t = CaseSensitive ? op.Text : AnsiUpperCase(op.Text);
      if (t.find(Text) == AnsiString::npos) continue;
      Page = p;
      Record = index;
      Found = op.R;
      return true;
    }
  }
  return false;
}
