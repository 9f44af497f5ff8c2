// The header's geometry without a window: spans, resize zones, hit parts, drag targets,
// the places inside a section, heights and sticky widths.
#include <gtest/gtest.h>

#include <cmath>

#include "controls/tree/MtHeaderLayout.h"

namespace {

// Sections of the given widths; a negative width makes a hidden section of that size.
void Fill(TMtHeaderSections& c, std::initializer_list<int> widths) {
  for (int w : widths) {
    TMtHeaderSection* s = c.AddSection();
    s->SetWidth(std::abs(w));
    if (w < 0) s->SetVisible(false);
  }
}

TMtHeaderSection* At(const TMtHeaderSections& c, int pos) { return c.GetSectionByPos(pos); }

}  // namespace

TEST(MtHeaderLayout, SpansSkipHiddenSectionsAndCollapsedChildren) {
  TMtHeaderSections c;
  Fill(c, {100, -30, 50, 40});
  At(c, 0)->SetExpandable(true);
  At(c, 3)->SetParentSection(At(c, 0));  // collapsed parent: not shown
  auto spans = MtSectionSpans(c);
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[1].Section, At(c, 2));
  EXPECT_EQ(spans[1].Left, 100);
  EXPECT_EQ(spans[1].Right, 150);
  EXPECT_EQ(MtSectionsWidth(c), 150);
  At(c, 0)->SetExpanded(true);
  EXPECT_EQ(MtSectionsWidth(c), 190);
  EXPECT_EQ(MtSectionsWidth(TMtHeaderSections{}), 0);
}

TEST(MtHeaderLayout, ResizeZones) {
  // A [0,100)  B [100,114) 14 wide  C [114,164)  D hidden  E [164,204)
  TMtHeaderSections c;
  Fill(c, {100, 14, 50, -30, 40});
  TMtHeaderSection *A = At(c, 0), *B = At(c, 1), *C = At(c, 2), *E = At(c, 4);
  struct Case {
    int x;
    bool zone;
    TMtHeaderSection* section;
  } cases[] = {
      {0, false, A},     {4, false, A},   // the first section has none before it
      {50, false, A},    {94, false, A},  {95, true, A},  {99, true, A},
      {100, false, B},   {113, false, B},  // 14 pixels: no zone, not even for A
      {114, true, B},    {118, true, B},  {119, false, C},  // first 5 pixels resize the one before
      {158, false, C},   {159, true, C},
      {164, true, C},    {168, true, C},  // the hidden section is skipped
      {199, true, E},    {204, true, E},  {208, true, E},  // right of all: 5 pixels
      {209, false, nullptr}, {-1, false, nullptr},
  };
  for (const Case& k : cases) {
    TMtHeaderSection* s = reinterpret_cast<TMtHeaderSection*>(1);
    EXPECT_EQ(MtSectionAtX(c, k.x, s), k.zone) << "x " << k.x;
    EXPECT_EQ(s, k.section) << "x " << k.x;
  }
  // A 15-pixel section has zones of its own.
  B->SetWidth(15);
  TMtHeaderSection* s = nullptr;
  EXPECT_TRUE(MtSectionAtX(c, 100, s));
  EXPECT_EQ(s, A);
  EXPECT_TRUE(MtSectionAtX(c, 110, s));
  EXPECT_EQ(s, B);
  TMtHeaderSections empty;
  EXPECT_FALSE(MtSectionAtX(empty, 0, s));
  EXPECT_EQ(s, nullptr);
}

TEST(MtHeaderLayout, PartsAtTheRightEnd) {
  TMtHeaderSections c;
  Fill(c, {100, 100, 100, 14});
  At(c, 0)->SetExpandable(true);
  At(c, 1)->SetLookupEnabled(true);
  At(c, 2)->SetFilterEnabled(true);
  At(c, 3)->SetExpandable(true);
  const auto spans = MtSectionSpans(c);
  using P = TMtHeaderPart;
  struct Case {
    int span, x, y;
    P part;
  } cases[] = {
      // expand sign: x right-11..right-4, y 2..9 (right = 100)
      {0, 89, 2, P::hpExpandSign}, {0, 96, 9, P::hpExpandSign}, {0, 88, 5, P::hpBody}, {0, 97, 5, P::hpBody},
      {0, 92, 1, P::hpBody},       {0, 92, 10, P::hpBody},      {0, 92, 14, P::hpBody},
      // lookup button: x right-11..right-4, y 12..16 (right = 200)
      {1, 189, 12, P::hpLookupButton}, {1, 196, 16, P::hpLookupButton}, {1, 196, 17, P::hpBody},
      {1, 192, 5, P::hpBody},
      // filter button: x right-10..right-4 (right = 300)
      {2, 290, 12, P::hpFilterButton}, {2, 296, 16, P::hpFilterButton}, {2, 289, 14, P::hpBody},
      // an expandable section of 14 pixels has no sign
      {3, 305, 5, P::hpBody},
      // outside the span or the header's height
      {0, 100, 5, P::hpNone}, {0, 50, 19, P::hpNone}, {0, 50, -1, P::hpNone},
  };
  for (const Case& k : cases)
    EXPECT_EQ(MtSectionPartAt(spans[k.span], 19, k.x, k.y), k.part) << k.span << ": " << k.x << "," << k.y;
}

TEST(MtHeaderLayout, DragThresholdIsFivePixelsStraight) {
  EXPECT_FALSE(MtPassedDragThreshold({10, 10}, {14, 10}));
  EXPECT_TRUE(MtPassedDragThreshold({10, 10}, {15, 10}));
  EXPECT_TRUE(MtPassedDragThreshold({10, 10}, {5, 10}));
  EXPECT_FALSE(MtPassedDragThreshold({10, 10}, {13, 13}));  // 4.24
  EXPECT_TRUE(MtPassedDragThreshold({10, 10}, {13, 14}));   // 5
}

TEST(MtHeaderLayout, DragMovesOnlyWhenTheMovedSectionWouldHoldThePointer) {
  // A [0,100)  B [100,140)  C [140,200)
  TMtHeaderSections c;
  Fill(c, {100, 40, 60});
  TMtHeaderSection *A = At(c, 0), *B = At(c, 1), *C = At(c, 2);
  struct Case {
    TMtHeaderSection* dragged;
    int x, position;
  } cases[] = {
      {A, 50, 0},   {A, 100, 1},  {A, 139, 1}, {A, 150, 2},  // the wide one passes narrow ones at once
      {B, 150, 1},  {B, 159, 1},  {B, 160, 2},               // into C far enough: C.Right - 40
      {C, 130, 1},  {C, 70, 2},   {C, 59, 0},                // leftwards: before A.Left + 60
      {B, 250, 1},  {B, -10, 1},                             // over nothing: stays
  };
  for (const Case& k : cases) {
    const int to = MtDragMovePosition(c, k.dragged, k.x);
    EXPECT_EQ(to, k.position) << k.dragged->Text() << " at " << k.x;
    // Whenever it moves, the moved section lies under the pointer afterwards.
    if (to != k.dragged->GetPosition()) {
      TMtHeaderSections copy;
      Fill(copy, {100, 40, 60});
      TMtHeaderSection* moved = At(copy, k.dragged->GetPosition());
      copy.MoveSection(moved, to);
      const auto spans = MtSectionSpans(copy);
      ASSERT_NE(MtSpanAtX(spans, k.x), nullptr);
      EXPECT_EQ(MtSpanAtX(spans, k.x)->Section, moved) << "x " << k.x;
    }
  }
}

TEST(MtHeaderLayout, DropPositionAndPointerEdge) {
  TMtHeaderSections c;
  Fill(c, {100, 40, 60, -20});
  EXPECT_EQ(MtDropPosition(c, 120), 1);
  EXPECT_EQ(MtDropPosition(c, 500), 3);  // right of all: the last position
  EXPECT_EQ(MtDropPosition(c, -5), 3);  // left of all: the last position too
  EXPECT_EQ(MtDropPosition(TMtHeaderSections{}, 5), -1);
  // The pointer stands at the edge the section would land against.
  EXPECT_EQ(MtDropEdgeX(c, At(c, 0), 150), 200);  // moving right: after C
  EXPECT_EQ(MtDropEdgeX(c, At(c, 2), 50), 0);     // moving left: before A
  EXPECT_EQ(MtDropEdgeX(c, At(c, 2), -5), 200);   // left of all: it lands last
  EXPECT_EQ(MtDropEdgeX(c, At(c, 0), 500), 200);
}

TEST(MtHeaderLayout, SectionPiecesDoNotOverlap) {
  TMtHeaderSections c;
  Fill(c, {120});
  TMtHeaderSection& s = *At(c, 0);
  const TMtSize mark{9, 6}, image{16, 16};
  const TRect r = Rect(0, 0, 120, 19);

  TMtSectionGeometry g = MtLayoutSection(s, r, false, {}, mark);
  EXPECT_EQ(g.Content, Rect(2, 2, 118, 17));
  EXPECT_TRUE(g.SortMark.IsEmpty());  // no mark set
  EXPECT_TRUE(g.Button.IsEmpty());
  EXPECT_EQ(g.Text.Left, 6);
  EXPECT_EQ(g.Text.Right, 116);

  s.SetSortMode(hsmAscend);
  s.SetExpandable(true);
  g = MtLayoutSection(s, r, false, image, mark);
  EXPECT_EQ(g.Button, MtExpandSignRect(0, 120));
  EXPECT_EQ(g.SortMark.Width(), 9);
  EXPECT_LT(g.SortMark.Right, g.Button.Left);        // the mark before the sign
  EXPECT_LE(g.Text.Right, g.SortMark.Left - 4);      // the caption before the mark
  EXPECT_GE(g.Text.Left, g.Image.Right);             // and after the picture
  EXPECT_EQ(g.Image.Left, 4);
  EXPECT_EQ(g.SortMark.Top + g.SortMark.Height() / 2, (2 + 17) / 2);  // centred

  // Pressed: everything inside moves one pixel right and down.
  const TMtSectionGeometry p = MtLayoutSection(s, r, true, image, mark);
  EXPECT_EQ(p.Content, OffsetRect(g.Content, 1, 1));
  EXPECT_EQ(p.SortMark, OffsetRect(g.SortMark, 1, 1));
  EXPECT_EQ(p.Text, OffsetRect(g.Text, 1, 1));

  // The picture at the right end; a picture-only section has no caption.
  s.SetPictureAlign(hsaRight);
  g = MtLayoutSection(s, r, false, image, mark);
  EXPECT_EQ(g.Image.Right, g.SortMark.Left - 4);
  EXPECT_LE(g.Text.Right, g.Image.Left);
  s.SetStyle(MthsPictureOnly);
  s.SetPictureAlign(hsaCenter);
  g = MtLayoutSection(s, r, false, image, mark);
  EXPECT_TRUE(g.Text.IsEmpty());
  EXPECT_FALSE(g.Image.IsEmpty());

  // Too narrow for the mark, the button or anything at all.
  s.SetStyle(MthsText);
  g = MtLayoutSection(s, Rect(0, 0, 14, 19), false, {}, mark);
  EXPECT_TRUE(g.SortMark.IsEmpty());
  g = MtLayoutSection(s, Rect(0, 0, 12, 19), false, {}, mark);
  EXPECT_TRUE(g.Button.IsEmpty());
  g = MtLayoutSection(s, Rect(0, 0, 3, 19), false, image, mark);
  EXPECT_TRUE(g.Text.IsEmpty() && g.Image.IsEmpty() && g.SortMark.IsEmpty());
}

TEST(MtHeaderLayout, Heights) {
  EXPECT_EQ(MtHeaderCreationHeight(-11, 1), 19);
  EXPECT_EQ(MtHeaderCreationHeight(16, 1), 24);
  TMtHeaderSections c;
  Fill(c, {50});
  EXPECT_EQ(MtHeaderMinHeight(c, -11, 0), 17);
  EXPECT_EQ(MtHeaderMinHeight(c, -11, 20), 20);
  EXPECT_EQ(MtHeaderMinHeight(c, -8, 0), 14);
  At(c, 0)->SetFilterEnabled(true);
  EXPECT_EQ(MtHeaderMinHeight(c, -8, 0), 17);
}

TEST(MtHeaderLayout, StickySharesFollowTheHeaderWidth) {
  TMtHeaderSections c;
  Fill(c, {100, 100, 200});
  At(c, 0)->SetResizable(false);  // fixed: the others share 400 - 100
  TMtStickyProportions sticky;
  sticky.Record(c, 400);
  EXPECT_DOUBLE_EQ(sticky.ShareOf(At(c, 1)), 1.0 / 3);
  EXPECT_EQ(sticky.ShareOf(At(c, 0)), -1);
  sticky.Apply(c, 700);
  EXPECT_EQ(At(c, 0)->Width(), 100);
  EXPECT_EQ(At(c, 1)->Width(), 200);
  EXPECT_EQ(At(c, 2)->Width(), 400);
  // Rounded to the nearest, halves to even: 301 x 1/3 = 100.33, 301 x 2/3 = 200.67, 5 x 1/2 = 2.5.
  sticky.Apply(c, 401);
  EXPECT_EQ(At(c, 1)->Width(), 100);
  EXPECT_EQ(At(c, 2)->Width(), 201);
  TMtHeaderSections halves;
  Fill(halves, {10, 10});
  TMtStickyProportions h;
  h.Record(halves, 20);
  h.Apply(halves, 5);
  EXPECT_EQ(At(halves, 0)->Width(), 2);
  // The width limits hold.
  At(c, 2)->SetMaxWidth(250);
  sticky.Apply(c, 1000);
  EXPECT_EQ(At(c, 2)->Width(), 250);
}

TEST(MtHeaderLayout, StickySharesWithoutRoomDoNotDivideByZero) {
  // Not laid out yet (width 0): the resizable sections' own proportions.
  TMtHeaderSections c;
  Fill(c, {50, 150});
  TMtStickyProportions sticky;
  sticky.Record(c, 0);
  EXPECT_DOUBLE_EQ(sticky.ShareOf(At(c, 0)), 0.25);
  sticky.Apply(c, 400);
  EXPECT_EQ(At(c, 0)->Width(), 100);
  EXPECT_EQ(At(c, 1)->Width(), 300);
  // A fixed section fills the header and the others have no width: equal shares.
  TMtHeaderSections z;
  Fill(z, {300, 0, 0});
  At(z, 0)->SetResizable(false);
  sticky.Record(z, 300);
  EXPECT_DOUBLE_EQ(sticky.ShareOf(At(z, 1)), 0.5);
  sticky.Apply(z, 200);  // less than the fixed section: nothing left
  EXPECT_EQ(At(z, 1)->Width(), 0);
  sticky.Apply(z, 310);
  EXPECT_EQ(At(z, 1)->Width(), 5);
  // A deleted section is forgotten.
  sticky.Forget(At(z, 1));
  EXPECT_EQ(sticky.ShareOf(At(z, 1)), -1);
}

TEST(MtHeaderLayout, FitNarrowsFromTheRightDownToMinWidth) {
  TMtHeaderSections c;
  Fill(c, {100, 100, 100});
  At(c, 0)->SetMinWidth(80);
  At(c, 1)->SetResizable(false);
  At(c, 2)->SetMinWidth(30);
  MtFitSections(c, 250);
  EXPECT_EQ(At(c, 2)->Width(), 50);  // the last one gives first
  EXPECT_EQ(At(c, 0)->Width(), 100);
  MtFitSections(c, 150);
  EXPECT_EQ(At(c, 2)->Width(), 30);  // stops at MinWidth
  EXPECT_EQ(At(c, 0)->Width(), 80);
  EXPECT_EQ(At(c, 1)->Width(), 100);  // fixed
  MtFitSections(c, 1000);             // fits: nothing changes
  EXPECT_EQ(MtSectionsWidth(c), 210);
}
