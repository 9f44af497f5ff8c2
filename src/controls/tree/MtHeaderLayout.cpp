#include "controls/tree/MtHeaderLayout.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>

namespace {

int ClampToInt(long long v) { return static_cast<int>(std::clamp<long long>(v, INT_MIN, INT_MAX)); }

}  // namespace

std::vector<TMtSectionSpan> MtSectionSpans(const TMtHeaderSections& sections) {
  std::vector<TMtSectionSpan> spans;
  long long x = 0;
  for (int i = 0; i < sections.GetCount(); ++i) {
    TMtHeaderSection* s = sections.GetSectionByPos(i);
    if (!s->Visible()) continue;
    // A negative width (from a damaged stream) takes no room.
    const long long right = x + std::max(s->Width(), 0);
    spans.push_back({s, ClampToInt(x), ClampToInt(right)});
    x = right;
  }
  return spans;
}

int MtSectionsWidth(const TMtHeaderSections& sections) {
  const auto spans = MtSectionSpans(sections);
  return spans.empty() ? 0 : spans.back().Right;
}

const TMtSectionSpan* MtSpanAtX(const std::vector<TMtSectionSpan>& spans, int x) {
  for (const auto& s : spans)
    if (x >= s.Left && x < s.Right) return &s;
  return nullptr;
}

const TMtSectionSpan* MtSpanOf(const std::vector<TMtSectionSpan>& spans, const TMtHeaderSection* section) {
  for (const auto& s : spans)
    if (s.Section == section) return &s;
  return nullptr;
}

bool MtSectionAtX(const TMtHeaderSections& sections, int x, TMtHeaderSection*& Section) {
  const auto spans = MtSectionSpans(sections);
  Section = nullptr;
  if (const TMtSectionSpan* span = MtSpanAtX(spans, x)) {
    Section = span->Section;
    if (span->Width() < kMtMinZonedWidth) return false;
    if (x >= span->Left + kMtResizeZone) return x >= span->Right - kMtResizeZone;
    if (span == &spans.front()) return false;
    Section = (span - 1)->Section;
    return true;
  }
  if (spans.empty()) return false;
  const TMtSectionSpan& last = spans.back();
  if (x >= last.Right && x - last.Right < kMtResizeZone) {
    Section = last.Section;
    return true;
  }
  return false;
}

TRect MtExpandSignRect(int /*left*/, int right) { return Rect(right - 11, 2, right - 3, 10); }
TRect MtLookupButtonRect(int /*left*/, int right) { return Rect(right - 11, 12, right - 3, 17); }
TRect MtFilterButtonRect(int /*left*/, int right) { return Rect(right - 10, 12, right - 3, 17); }

TMtHeaderPart MtSectionPartAt(const TMtSectionSpan& span, int headerHeight, int x, int y) {
  if (!span.Section || x < span.Left || x >= span.Right || y < 0 || y >= headerHeight) return TMtHeaderPart::hpNone;
  const TMtHeaderSection& s = *span.Section;
  const TPoint p{x, y};
  if (s.Expandable() && span.Width() >= kMtMinZonedWidth && MtExpandSignRect(span.Left, span.Right).Contains(p))
    return TMtHeaderPart::hpExpandSign;
  if (s.LookupEnabled() && MtLookupButtonRect(span.Left, span.Right).Contains(p)) return TMtHeaderPart::hpLookupButton;
  if (s.FilterEnabled() && MtFilterButtonRect(span.Left, span.Right).Contains(p)) return TMtHeaderPart::hpFilterButton;
  return TMtHeaderPart::hpBody;
}

bool MtPassedDragThreshold(TPoint press, TPoint now) {
  const long long dx = static_cast<long long>(now.X) - press.X, dy = static_cast<long long>(now.Y) - press.Y;
  return dx * dx + dy * dy >= static_cast<long long>(kMtDragThreshold) * kMtDragThreshold;
}

int MtDragMovePosition(const TMtHeaderSections& sections, const TMtHeaderSection* dragged, int x) {
  const int own = dragged ? dragged->GetPosition() : -1;
  const auto spans = MtSectionSpans(sections);
  const TMtSectionSpan* target = MtSpanAtX(spans, x);
  const TMtSectionSpan* self = MtSpanOf(spans, dragged);
  if (!target || !self || target == self) return own;
  const int targetPos = target->Section->GetPosition();
  const int width = self->Width();
  // After the move the dragged section must lie under the pointer.
  const bool farEnough = targetPos > own ? x >= target->Right - width : x < target->Left + width;
  return farEnough ? targetPos : own;
}

int MtDropPosition(const TMtHeaderSections& sections, int x) {
  const auto spans = MtSectionSpans(sections);
  if (const TMtSectionSpan* span = MtSpanAtX(spans, x)) return span->Section->GetPosition();
  if (sections.GetCount() == 0) return -1;
  // Outside every section, on either side, the section goes last.
  return sections.GetCount() - 1;
}

int MtDropEdgeX(const TMtHeaderSections& sections, const TMtHeaderSection* dragged, int x) {
  const auto spans = MtSectionSpans(sections);
  if (spans.empty()) return 0;
  const TMtSectionSpan* span = MtSpanAtX(spans, x);
  if (!span) return spans.back().Right;
  const int own = dragged ? dragged->GetPosition() : -1;
  return span->Section->GetPosition() > own ? span->Right : span->Left;
}

TMtSectionGeometry MtLayoutSection(const TMtHeaderSection& section, const TRect& bounds, bool pressed,
                                   TMtSize imageSize, TMtSize markSize) {
  TMtSectionGeometry g;
  g.Bounds = bounds;
  g.Content = InflateRect(bounds, -2, -2);
  if (pressed) g.Content = OffsetRect(g.Content, 1, 1);
  if (g.Content.IsEmpty()) return g;

  int right = g.Content.Right;
  if (g.Content.Width() > 8) {
    if (section.Expandable()) g.Button = MtExpandSignRect(bounds.Left, bounds.Right);
    else if (section.LookupEnabled()) g.Button = MtLookupButtonRect(bounds.Left, bounds.Right);
    else if (section.FilterEnabled()) g.Button = MtFilterButtonRect(bounds.Left, bounds.Right);
    if (!g.Button.IsEmpty()) {
      if (pressed) g.Button = OffsetRect(g.Button, 1, 1);
      right = g.Button.Left - 1;
    }
  }
  right -= 2;
  int left = g.Content.Left + 2;
  const int midY = (g.Content.Top + g.Content.Bottom) / 2;

  if (section.SortMode() != hsmNone && markSize.Width > 0 && right - markSize.Width >= left) {
    g.SortMark = Bounds(right - markSize.Width, midY - markSize.Height / 2, markSize.Width, markSize.Height);
    right = g.SortMark.Left - 4;
  }
  const bool pictureOnly = section.Style() == MthsPictureOnly;
  if (imageSize.Width > 0 && imageSize.Height > 0 && right - left >= imageSize.Width) {
    int x = left;
    if (section.PictureAlign() == hsaRight) x = right - imageSize.Width;
    else if (section.PictureAlign() == hsaCenter && pictureOnly) x = (left + right - imageSize.Width) / 2;
    g.Image = Bounds(x, midY - imageSize.Height / 2, imageSize.Width, imageSize.Height);
    if (section.PictureAlign() == hsaRight) right = g.Image.Left - 4;
    else left = g.Image.Right + 2;
  }
  if (!pictureOnly && right > left) g.Text = Rect(left + 2, g.Content.Top, right, g.Content.Bottom);
  return g;
}

int MtHeaderCreationHeight(int fontHeight, int borderHeight) { return std::abs(fontHeight) + 2 * borderHeight + 6; }

int MtHeaderMinHeight(const TMtHeaderSections& sections, int fontHeight, int imageHeight) {
  int h = std::max(std::abs(fontHeight) + 6, imageHeight);
  for (int i = 0; i < sections.GetCount(); ++i) {
    const TMtHeaderSection* s = sections.GetSectionByPos(i);
    if (s->LookupEnabled() || s->FilterEnabled()) h = std::max(h, kMtButtonSectionHeight);
  }
  return h;
}

// ---------------------------------------------------------------------------------
// Sticky sections

int MtStickyAvailableWidth(const TMtHeaderSections& sections, int headerWidth) {
  long long available = headerWidth;
  for (const auto& span : MtSectionSpans(sections))
    if (!span.Section->Resizable()) available -= span.Width();
  return ClampToInt(available);
}

void TMtStickyProportions::Record(const TMtHeaderSections& sections, int headerWidth) {
  shares_.clear();
  std::vector<const TMtHeaderSection*> resizable;
  long long total = 0;
  for (const auto& span : MtSectionSpans(sections)) {
    if (!span.Section->Resizable()) continue;
    resizable.push_back(span.Section);
    total += span.Width();
  }
  if (resizable.empty()) return;
  const long long available = MtStickyAvailableWidth(sections, headerWidth);
  // No room to measure against: the sections' own proportions, or equal shares.
  const long long base = available > 0 ? available : total;
  for (const TMtHeaderSection* s : resizable) {
    const double fraction = base > 0 ? static_cast<double>(std::max(s->Width(), 0)) / static_cast<double>(base)
                                     : 1.0 / static_cast<double>(resizable.size());
    shares_.push_back({s, fraction});
  }
}

void TMtStickyProportions::Apply(TMtHeaderSections& sections, int headerWidth) const {
  const double available = std::max(MtStickyAvailableWidth(sections, headerWidth), 0);
  for (const Share& share : shares_) {
    auto* s = const_cast<TMtHeaderSection*>(share.Section);
    if (sections.IndexOf(s) < 0 || !s->Visible() || !s->Resizable()) continue;
    const double wanted = std::clamp(available * share.Fraction, 0.0, static_cast<double>(INT_MAX));
    const int width = std::clamp(static_cast<int>(Round(wanted)), std::max(s->MinWidth(), 0),
                                 std::max(s->MaxWidth(), std::max(s->MinWidth(), 0)));
    s->SetWidth(width);
  }
}

void TMtStickyProportions::Forget(const TMtHeaderSection* section) {
  std::erase_if(shares_, [section](const Share& s) { return s.Section == section; });
}

double TMtStickyProportions::ShareOf(const TMtHeaderSection* section) const {
  for (const Share& s : shares_)
    if (s.Section == section) return s.Fraction;
  return -1;
}

void MtFitSections(TMtHeaderSections& sections, int headerWidth) {
  const auto spans = MtSectionSpans(sections);
  long long excess = (spans.empty() ? 0LL : spans.back().Right) - static_cast<long long>(headerWidth);
  for (auto it = spans.rbegin(); it != spans.rend() && excess > 0; ++it) {
    TMtHeaderSection* s = it->Section;
    if (!s->Resizable()) continue;
    const int floor = std::max(s->MinWidth(), 0);
    const long long give = std::min<long long>(excess, std::max(s->Width() - floor, 0));
    if (give <= 0) continue;
    s->SetWidth(s->Width() - static_cast<int>(give));
    excess -= give;
  }
}
