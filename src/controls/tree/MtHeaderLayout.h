// The header control's geometry without a window: where the visible sections lie, which
// part of the header a point hits (a section's body, the resize zone of an edge, the
// expand sign, the lookup and filter buttons), the drag threshold and the target of a
// dragged section, the places of the sort mark, image, button and caption inside a
// section, and the widths kept in proportion to the header's width (sticky sections).
// The control (MtHeader) draws and reacts with these; tests use them with fake metrics.
#pragma once

#include <vector>

#include "controls/tree/MtHeaderSections.h"

// Fixed sizes of the header's zones, in pixels.
inline constexpr int kMtResizeZone = 5;         // each side of a section edge
inline constexpr int kMtMinZonedWidth = 15;     // narrower sections have no resize zone
inline constexpr int kMtDragThreshold = 5;      // straight-line distance that starts a drag
inline constexpr int kMtButtonSectionHeight = 17;  // lowest header with a lookup or filter button

// A visible section and its span [Left, Right) along the header.
struct TMtSectionSpan {
  TMtHeaderSection* Section = nullptr;
  int Left = 0;
  int Right = 0;
  int Width() const { return Right - Left; }
};

// The visible sections in display order with their spans, starting at 0.
std::vector<TMtSectionSpan> MtSectionSpans(const TMtHeaderSections& sections);
// The right edge of the last visible section; 0 when none is visible.
int MtSectionsWidth(const TMtHeaderSections& sections);
// The span holding x; nullptr when x lies left or right of every visible section.
const TMtSectionSpan* MtSpanAtX(const std::vector<TMtSectionSpan>& spans, int x);
const TMtSectionSpan* MtSpanOf(const std::vector<TMtSectionSpan>& spans, const TMtHeaderSection* section);

// True when x lies in a resize zone; Section is the section whose right edge the zone
// belongs to, or without a zone the section under x (nullptr when none):
//  - inside a section wider than 14 pixels: its last 5 pixels resize it, its first 5
//    pixels resize the visible section before it (none for the first one);
//  - inside a section of 14 pixels or less: no zone;
//  - right of every section: less than 5 pixels past the last one's right edge resize it.
bool MtSectionAtX(const TMtHeaderSections& sections, int x, TMtHeaderSection*& Section);

// The parts of a section a press can hit.
enum class TMtHeaderPart { hpNone, hpBody, hpExpandSign, hpLookupButton, hpFilterButton };

// Rectangles (right and bottom exclusive) of the right-end parts of a section spanning
// [left, right): the expand sign x right-11..right-4, y 2..9; the lookup button x
// right-11..right-4, y 12..16; the filter button x right-10..right-4, y 12..16.
TRect MtExpandSignRect(int left, int right);
TRect MtLookupButtonRect(int left, int right);
TRect MtFilterButtonRect(int left, int right);
// The part of the span's section under (x, y); hpNone outside the span or the header
// height. The expand sign counts for an Expandable section wider than 14 pixels.
TMtHeaderPart MtSectionPartAt(const TMtSectionSpan& span, int headerHeight, int x, int y);

// A pressed section becomes dragged once the pointer is 5 pixels from the press point.
bool MtPassedDragThreshold(TPoint press, TPoint now);
// The display position a section dragged with MoveOnDrag takes with the pointer at x:
// the position of the section under the pointer once the pointer is far enough into it
// that the moved section would hold the pointer (no back-and-forth); else its own.
int MtDragMovePosition(const TMtHeaderSections& sections, const TMtHeaderSection* dragged, int x);
// The display position a dragged section is dropped at: that of the section under x;
// outside every section (left or right of them) the last.
int MtDropPosition(const TMtHeaderSections& sections, int x);
// The x of the edge where a dragged section would land (for the drop pointer).
int MtDropEdgeX(const TMtHeaderSections& sections, const TMtHeaderSection* dragged, int x);

// Where the pieces of a section go. Bounds is the section's rectangle in the header;
// Content lies inside its edge and moves one pixel right and down while pressed.
struct TMtSectionGeometry {
  TRect Bounds;
  TRect Content;
  TRect Button;    // expand sign, lookup or filter button; empty when none
  TRect Image;     // empty when no image is drawn
  TRect SortMark;  // empty without a mark (or without room for it)
  TRect Text;      // the caption; empty for a picture-only section
};
struct TMtSize {
  int Width = 0, Height = 0;
};
// The layout of a section: the button at the right end when the content is wider than 8
// pixels; the sort mark (markSize) right-aligned before it, vertically centred; the
// image (imageSize, 0 x 0 for none) as PictureAlign (a centred picture of a text
// section stands before the caption, as a left one); the caption in what is left, 4
// pixels off the sides, the picture and the mark.
TMtSectionGeometry MtLayoutSection(const TMtHeaderSection& section, const TRect& bounds, bool pressed,
                                   TMtSize imageSize, TMtSize markSize);

// The header's height: at creation |font height| + 2 borders + 6; the least client
// height that LockHeight off enforces: |font height| + 6, the images' height, and 17
// with a lookup or filter section.
int MtHeaderCreationHeight(int fontHeight, int borderHeight);
int MtHeaderMinHeight(const TMtHeaderSections& sections, int fontHeight, int imageHeight);

// Sticky sections: each visible resizable section keeps its share of the width left
// for resizable sections (the header width less the visible fixed sections).
class TMtStickyProportions {
 public:
  // Records the shares. With no width left (a header not laid out yet, or fixed sections
  // filling it) the shares are those of the resizable sections among themselves, and
  // equal ones when they all have width 0: no division by zero.
  void Record(const TMtHeaderSections& sections, int headerWidth);
  // Gives each recorded section that is still visible and resizable the width
  // round(available x share), kept within its MinWidth..MaxWidth.
  void Apply(TMtHeaderSections& sections, int headerWidth) const;
  void Forget(const TMtHeaderSection* section);
  void Clear() { shares_.clear(); }
  bool Empty() const { return shares_.empty(); }
  // The share of a section; -1 when it has none.
  double ShareOf(const TMtHeaderSection* section) const;

 private:
  struct Share {
    const TMtHeaderSection* Section;
    double Fraction;
  };
  std::vector<Share> shares_;
};

// The width left for resizable sections: headerWidth less the visible fixed sections.
int MtStickyAvailableWidth(const TMtHeaderSections& sections, int headerWidth);
// When the visible sections are wider than the header, narrows the resizable ones from
// the right end (one pass, none below its MinWidth or 0) until they fit or none can give.
void MtFitSections(TMtHeaderSections& sections, int headerWidth);
