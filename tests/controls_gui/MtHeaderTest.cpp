// The header control on Qt's offscreen platform, driven through its entry points: clicks,
// drags, resizing, expand signs, the lookup box, sticky widths, heights and painting.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "controls/gui/MtHeader.h"
#include "platform/core/Resources.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

namespace {

std::string Name(const TMtHeaderSection* s) { return s ? s->Text() : "nil"; }

class MtHeaderTest : public testing::Test {
 protected:
  // A [0,100)  B [100,114)  C [114,174)  D [174,224); the header is 400 wide.
  void SetUp() override {
    header.resize(400, header.height());
    for (auto [text, width] : {std::pair{"A", 100}, {"B", 14}, {"C", 60}, {"D", 50}}) {
      TMtHeaderSection* s = header.Sections().AddSection();
      s->SetText(text);
      s->SetWidth(width);
    }
    C()->SetMinWidth(40);
    C()->SetMaxWidth(100);
    header.OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("down"); };
    header.OnMouseUp = [this](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("up"); };
    header.OnSectionClick = [this](TObject*, TMtHeaderSection* s) { log.push_back("click " + Name(s)); };
    header.OnSectionResize = [this](TObject*, TMtHeaderSection* s) { log.push_back("resize " + Name(s)); };
    header.OnSectionResizing = [this](TObject*, TMtHeaderSection* s, int state, int w) {
      log.push_back("resizing " + Name(s) + " " + std::to_string(state) + " " + std::to_string(w));
    };
    header.OnSectionMove = [this](TObject*, TMtHeaderSection* s, int from, int to) {
      log.push_back("move " + Name(s) + " " + std::to_string(from) + ">" + std::to_string(to));
    };
    header.OnSectionExpand = [this](TObject*, TMtHeaderSection* s) { log.push_back("expand " + Name(s)); };
    header.OnSectionCollapse = [this](TObject*, TMtHeaderSection* s) { log.push_back("collapse " + Name(s)); };
    header.OnSectionShowHide = [this](TObject*, TMtHeaderSection* s) { log.push_back("showhide " + Name(s)); };
    header.OnSectionAutoSize = [this](TObject*, TMtHeaderSection* s) { log.push_back("autosize " + Name(s)); };
    header.OnFilterCall = [this](TObject*, TMtHeaderSection* s) { log.push_back("filter " + Name(s)); };
    header.OnHeaderLookupDone = [this](TObject*, TMtHeaderSection* s, const AnsiString& text, bool accepted) {
      log.push_back("lookupdone " + Name(s) + " " + text + " " + (accepted ? "1" : "0"));
    };
  }

  TMtHeaderSection* Pos(int i) { return header.Sections().GetSectionByPos(i); }
  TMtHeaderSection* A() { return Pos(0); }
  TMtHeaderSection* B() { return Pos(1); }
  TMtHeaderSection* C() { return Pos(2); }
  TMtHeaderSection* D() { return Pos(3); }

  void Press(int x, int y = 8, TShiftState extra = 0) { header.MouseDown(TMouseButton::mbLeft, ssLeft | extra, x, y); }
  void Move(int x, int y = 8) { header.MouseMove(ssLeft, x, y); }
  void Release(int x, int y = 8) { header.MouseUp(TMouseButton::mbLeft, 0, x, y); }
  std::vector<std::string> TakeLog() { return std::exchange(log, {}); }

  TMtHeader header;
  std::vector<std::string> log;
};

using Log = std::vector<std::string>;

QRgb Rgb(TColor c) { return ToQColor(ColorToRGB(c)).rgb(); }

}  // namespace

TEST_F(MtHeaderTest, CreationHeightAndButtonSections) {
  EXPECT_EQ(header.height(), 19);  // |-11| + 2 x 1 + 6
  header.resize(400, 15);
  A()->SetLookupEnabled(true);
  EXPECT_EQ(header.height(), 17);

  TMtHeader locked;
  locked.SetLockHeight(true);
  locked.resize(100, 15);
  locked.Sections().AddSection()->SetFilterEnabled(true);
  EXPECT_EQ(locked.height(), 15);

  TFont big = header.Font();
  big.Height = -20;
  header.SetFont(big);
  EXPECT_EQ(header.height(), 26);
}

TEST_F(MtHeaderTest, ClickNeedsPressAndReleaseInOneSection) {
  Press(50);
  EXPECT_EQ(header.PressedSection(), A());
  Release(60);
  EXPECT_EQ(TakeLog(), (Log{"down", "click A", "up"}));
  EXPECT_EQ(header.PressedSection(), nullptr);

  Press(50);
  Release(150);  // on C
  Press(150);
  Release(150, 25);  // below the header
  EXPECT_EQ(TakeLog(), (Log{"down", "up", "down", "up"}));

  A()->SetAllowClick(false);
  Press(50);
  Release(50);
  EXPECT_EQ(TakeLog(), (Log{"down", "up"}));
}

TEST_F(MtHeaderTest, FourPixelsAreAClickFiveStartADrag) {
  Press(50, 8);
  Move(54, 8);
  EXPECT_EQ(header.DraggedSection(), nullptr);
  Release(54, 8);
  EXPECT_EQ(TakeLog(), (Log{"down", "click A", "up"}));

  Press(50, 8);
  Move(53, 12);  // 5 pixels straight
  EXPECT_EQ(header.DraggedSection(), A());
  Move(200, 8);
  Release(200, 8);  // dropped on D
  EXPECT_EQ(TakeLog(), (Log{"down", "move A 0>3", "up"}));
  EXPECT_EQ(Pos(3)->Text(), "A");
  EXPECT_EQ(header.DraggedSection(), nullptr);

  // Dropped on itself (A is now [124,224)): nothing moves.
  Press(150, 8);
  Move(162, 8);
  Release(162, 8);
  EXPECT_EQ(TakeLog(), (Log{"down", "up"}));

  // Without AllowDrag a long move is still a click in the same section.
  header.AllowDrag = false;
  Press(30, 8);  // C is now [14,74)
  Move(60, 8);
  Release(60, 8);
  EXPECT_EQ(TakeLog(), (Log{"down", "click C", "up"}));
}

TEST_F(MtHeaderTest, MoveOnDragMovesOnTheWay) {
  header.MoveOnDrag = true;
  Press(50);
  Move(60);   // dragging, still over itself
  Move(120);  // far enough into C for A to land under the pointer
  EXPECT_EQ(TakeLog(), (Log{"down", "move A 0>2"}));
  EXPECT_EQ(Pos(2)->Text(), "A");
  Release(120);
  EXPECT_EQ(TakeLog(), (Log{"up"}));
}

TEST_F(MtHeaderTest, ResizeWithTheLineStaysWithinTheLimits) {
  Press(172);  // last pixels of C
  EXPECT_EQ(header.ResizingSection(), C());
  EXPECT_EQ(header.ResizeLineX(), 174);
  EXPECT_EQ(header.cursor().shape(), CursorFor(crHSplit).shape());
  Move(182);  // 70
  EXPECT_EQ(C()->Width(), 60);  // the line moves, the width waits
  EXPECT_EQ(header.ResizeLineX(), 184);
  Move(100);  // below MinWidth: the last allowed width stays
  Move(157);  // 45
  Move(140);  // 28: below MinWidth
  Release(140);
  EXPECT_EQ(C()->Width(), 45);
  EXPECT_EQ(TakeLog(), (Log{"resizing C 0 60", "down", "resizing C 1 70", "resizing C 1 70", "resizing C 1 45",
                            "resizing C 1 45", "resizing C 2 45", "resize C", "up"}));
  EXPECT_EQ(header.ResizingSection(), nullptr);
  EXPECT_EQ(header.cursor().shape(), Qt::ArrowCursor);

  // Above MaxWidth (100) likewise.
  Press(158);  // C's right edge is now 159
  Move(300);
  Release(300);
  EXPECT_EQ(C()->Width(), 45);
}

TEST_F(MtHeaderTest, ResizeOnDragFollowsAtOnce) {
  header.ResizeOnDrag = true;
  Press(172);
  Move(177);
  EXPECT_EQ(C()->Width(), 65);
  EXPECT_EQ(D()->GetLeft(), 179);
  Release(177);
  EXPECT_EQ(C()->Width(), 65);
}

TEST_F(MtHeaderTest, ZonesOfNeighboursAndTheLastSection) {
  Press(115);  // first pixels of C resize B (14 pixels, no zone of its own)
  EXPECT_EQ(header.ResizingSection(), B());
  Release(115);
  Press(227);  // 3 pixels right of the last section
  EXPECT_EQ(header.ResizingSection(), D());
  Release(227);
  Press(229);  // 5 pixels: nothing
  EXPECT_EQ(header.ResizingSection(), nullptr);
  Release(229);

  // A section that is not Resizable is pressed instead, and clicked.
  TakeLog();
  D()->SetResizable(false);
  Press(222);
  EXPECT_EQ(header.ResizingSection(), nullptr);
  Release(222);
  EXPECT_EQ(TakeLog(), (Log{"down", "click D", "up"}));
}

TEST_F(MtHeaderTest, DoublePressInAZoneAsksForAutoSize) {
  Press(172, 8, ssDouble);
  EXPECT_EQ(header.ResizingSection(), nullptr);
  Release(172);
  EXPECT_EQ(TakeLog(), (Log{"autosize C", "down", "up"}));
}

TEST_F(MtHeaderTest, QtDoubleClickOnAnEdgeResizesOnceThenAsksForAutoSize) {
  auto send = [this](QEvent::Type type, int x) {
    const QPoint p(x, 8);
    QMouseEvent e(type, QPointF(p), QPointF(header.mapToGlobal(p)), Qt::LeftButton,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&header, &e);
  };
  send(QEvent::MouseButtonPress, 172);
  send(QEvent::MouseButtonRelease, 172);
  send(QEvent::MouseButtonDblClick, 172);
  send(QEvent::MouseButtonRelease, 172);
  EXPECT_EQ(TakeLog(), (Log{"resizing C 0 60", "down", "resizing C 2 60", "resize C", "up", "autosize C", "down",
                            "up"}));
  EXPECT_EQ(header.ResizingSection(), nullptr);
}

TEST_F(MtHeaderTest, AssignedSectionsAreCopies) {
  TMtHeader other;
  other.SetSections(header.Sections());
  ASSERT_EQ(other.Sections().GetCount(), 4);
  EXPECT_NE(other.Sections().GetSectionByPos(2), C());
  EXPECT_EQ(other.Sections().GetSectionByPos(2)->Width(), 60);
  EXPECT_EQ(other.SectionsWidth(), 224);
}

TEST_F(MtHeaderTest, ADoubleClickActsOnce) {
  A()->SetExpandable(true);
  header.Sections().AddSection()->SetParentSection(A());
  TakeLog();
  // On the expand sign: the first press expands, the second press of the double click
  // does not collapse again.
  Press(92, 5);
  Release(92, 5);
  Press(92, 5, ssDouble);
  Release(92, 5);
  EXPECT_TRUE(A()->Expanded());
  // On a caption: one click, not two.
  TakeLog();
  Press(40);
  Release(40);
  Press(40, 8, ssDouble);
  Release(40);
  EXPECT_EQ(TakeLog(), (Log{"down", "click A", "up", "down", "up"}));
}

TEST_F(MtHeaderTest, ExpandSignTogglesWithoutAClick) {
  A()->SetExpandable(true);
  TMtHeaderSection* child = header.Sections().AddSection();
  child->SetText("E");
  child->SetParentSection(A());
  TakeLog();
  Press(92, 5);  // the sign: x 89..96, y 2..9
  Release(92, 5);
  EXPECT_TRUE(A()->Expanded());
  EXPECT_TRUE(child->Visible());
  EXPECT_EQ(TakeLog(), (Log{"showhide E", "expand A", "down", "up"}));
  Press(92, 5);
  Release(92, 5);
  EXPECT_FALSE(A()->Expanded());
  EXPECT_EQ(TakeLog(), (Log{"showhide E", "collapse A", "down", "up"}));
  Press(92, 14);  // below the sign: the body
  Release(92, 14);
  EXPECT_EQ(TakeLog(), (Log{"down", "click A", "up"}));
}

// A show/hide handler that deletes the section whose sign was pressed: no expand event
// names the freed section.
TEST_F(MtHeaderTest, ExpandSignWhoseShowHideHandlerDeletesTheSection) {
  A()->SetExpandable(true);
  TMtHeaderSection* child = header.Sections().AddSection();
  child->SetText("E");
  child->SetParentSection(A());
  TMtHeaderSection* parent = A();
  header.OnSectionShowHide = [this, parent](TObject*, TMtHeaderSection* s) {
    log.push_back("showhide " + Name(s));
    if (header.Sections().IndexOf(parent) >= 0) header.Sections().DeleteSection(parent);
  };
  TakeLog();
  Press(92, 5);
  Release(92, 5);
  EXPECT_EQ(TakeLog(), (Log{"showhide E", "showhide E", "down", "up"}));
  EXPECT_EQ(header.Sections().GetCount(), 4);
}

TEST_F(MtHeaderTest, FilterButtonCallsWithoutAClick) {
  A()->SetFilterEnabled(true);
  Press(94, 14);
  Release(94, 14);
  EXPECT_EQ(TakeLog(), (Log{"filter A", "down", "up"}));
}

TEST_F(MtHeaderTest, LookupBoxEnterEscapeAndAPressOnTheHeader) {
  header.show();
  A()->SetLookupEnabled(true);
  A()->LookupHistory().Add(Ansi("молоко"));
  A()->LookupHistory().Add(Ansi("сыр"));
  Press(92, 14);  // the lookup button: x 89..96, y 12..16
  Release(92, 14);
  ASSERT_TRUE(header.LookupOpen());
  TComboBox* box = header.LookupBox();
  EXPECT_TRUE(box->isVisible());
  EXPECT_EQ(box->Items(), (std::vector<AnsiString>{Ansi("молоко"), Ansi("сыр")}));
  // Readable and inside the header: the header's font, the section's rectangle.
  EXPECT_EQ(box->Font().Height, header.Font().Height);
  EXPECT_EQ(box->geometry(), QRect(0, 0, 100, header.height()));
  box->SetText(Ansi("сыр"));
  std::uint16_t key = VK_RETURN;
  box->KeyDown(key, 0);
  EXPECT_EQ(key, 0);
  EXPECT_FALSE(header.LookupOpen());
  EXPECT_FALSE(box->isVisible());
  // The accepted text goes to the top, an older equal entry goes.
  EXPECT_EQ(A()->LookupHistory().Lines(), (std::vector<AnsiString>{Ansi("сыр"), Ansi("молоко")}));

  // Typing asks OnHeaderLookup, which may change the text.
  header.OnHeaderLookup = [this](TObject*, TMtHeaderSection* s, AnsiString& text) {
    log.push_back("lookup " + Name(s) + " " + text);
    if (text == "ab") text = "abc";
  };
  Press(92, 14);
  EXPECT_EQ(box->Text(), "");
  TakeLog();
  for (const char* typed : {"a", "b"}) {
    QKeyEvent e(QEvent::KeyPress, Qt::Key_A + (typed[0] - 'a'), Qt::NoModifier, QString::fromLatin1(typed));
    QApplication::sendEvent(box, &e);
  }
  EXPECT_EQ(TakeLog(), (Log{"lookup A a", "lookup A ab"}));
  EXPECT_EQ(box->Text(), "abc");
  key = VK_ESCAPE;
  box->KeyDown(key, 0);
  EXPECT_FALSE(header.LookupOpen());
  EXPECT_EQ(A()->LookupHistory().Count(), 2);

  // A press while the box is open only closes it.
  Press(92, 14);
  TakeLog();
  Press(150);
  Release(150);
  EXPECT_FALSE(header.LookupOpen());
  EXPECT_EQ(TakeLog(), (Log{"lookupdone A  0", "up"}));
  EXPECT_EQ(TakeLog(), Log{});
}

TEST_F(MtHeaderTest, HotSectionAndCursor) {
  header.MouseMove(0, 150, 8);
  EXPECT_EQ(header.HotSection(), C());
  EXPECT_EQ(header.cursor().shape(), Qt::ArrowCursor);
  header.MouseMove(0, 172, 8);
  EXPECT_EQ(header.cursor().shape(), CursorFor(crHSplit).shape());
  header.MouseMove(0, 150, 8);
  EXPECT_EQ(header.cursor().shape(), Qt::ArrowCursor);
  header.MouseLeave();
  EXPECT_EQ(header.HotSection(), nullptr);
  header.MouseMove(0, 50, 8);
  EXPECT_EQ(header.HotSection(), A());
  header.SetTracking(false);
  EXPECT_EQ(header.HotSection(), nullptr);
  header.MouseMove(0, 150, 8);
  EXPECT_EQ(header.HotSection(), nullptr);
}

TEST_F(MtHeaderTest, SectionsDeletedDuringAGestureAreForgotten) {
  header.OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) {
    header.Sections().DeleteSection(A());
  };
  Press(50);
  EXPECT_EQ(header.PressedSection(), nullptr);
  Move(70);
  Release(70);
  EXPECT_EQ(TakeLog(), (Log{"up"}));

  header.OnMouseDown = nullptr;
  header.OnSectionResizing = [this](TObject*, TMtHeaderSection* s, int state, int) {
    if (state == 0) header.Sections().DeleteSection(s);
  };
  Press(header.Sections().FindByNumber(1)->GetRight() - 1);  // C, numbered 1 now
  EXPECT_EQ(header.Sections().GetCount(), 2);
  EXPECT_EQ(header.ResizingSection(), nullptr);
  Move(300);
  Release(300);
  EXPECT_EQ(TakeLog(), (Log{"up"}));  // no resizing events after the deletion

  // Sections replaced from a stream while one is pressed and hot.
  header.MouseMove(0, 10, 8);
  Press(10);
  Move(30);
  TMemoryStream empty;
  empty.WriteInt32(-8);
  empty.WriteInt32(0);
  empty.SetPosition(0);
  header.Sections().ReadData(empty);
  EXPECT_EQ(header.HotSection(), nullptr);
  EXPECT_EQ(header.DraggedSection(), nullptr);
  Release(30);
  EXPECT_EQ(header.Sections().GetCount(), 0);
}

// Clear frees the sections without events: the header forgets them all the same.
TEST_F(MtHeaderTest, SectionsClearedDuringAGestureAreForgotten) {
  header.MouseMove(0, 10, 8);
  Press(C()->GetRight() - 1);  // resizing C
  ASSERT_NE(header.ResizingSection(), nullptr);
  TakeLog();
  header.Sections().Clear();
  EXPECT_EQ(header.ResizingSection(), nullptr);
  EXPECT_EQ(header.HotSection(), nullptr);
  EXPECT_FALSE(header.MouseCapture());
  Move(300);
  Release(300);
  EXPECT_EQ(TakeLog(), (Log{"up"}));

  header.Sections().AddSection()->SetWidth(80);
  Press(40);
  Move(60);
  header.Sections().Clear();
  EXPECT_EQ(header.PressedSection(), nullptr);
  EXPECT_EQ(header.DraggedSection(), nullptr);
  Release(60);
  EXPECT_EQ(TakeLog(), (Log{"down", "up"}));  // no click, no move

  // A stream that fails before its first section also takes the old ones away.
  header.Sections().AddSection()->SetWidth(80);
  Press(79);
  ASSERT_NE(header.ResizingSection(), nullptr);
  TMemoryStream broken;
  broken.WriteInt32(-8);
  broken.SetPosition(0);
  EXPECT_THROW(header.Sections().ReadData(broken), EReadError);
  EXPECT_EQ(header.ResizingSection(), nullptr);
  Move(120);
  Release(120);
  header.RenderToImage();
}

TEST_F(MtHeaderTest, RightAlignedOrderReversesSilently) {
  header.SetRightAlignedOrder(true);
  EXPECT_EQ(Pos(0)->Text() + Pos(1)->Text() + Pos(2)->Text() + Pos(3)->Text(), "DCBA");
  header.SetRightAlignedOrder(false);
  EXPECT_EQ(Pos(0)->Text() + Pos(3)->Text(), "AD");
  EXPECT_EQ(TakeLog(), Log{});
}

TEST_F(MtHeaderTest, RepaintFromChecksTheNumberAndHintsBySection) {
  EXPECT_NO_THROW(header.RepaintFrom(3));
  try {
    header.RepaintFrom(4);
    FAIL() << "no error";
  } catch (const EMtError& e) {
    EXPECT_EQ(e.Message(), "Index out of bounds");
  }
  A()->SetHint(Ansi("Название продукта"));
  header.Hint = "header";
  EXPECT_EQ(header.HintAt({50, 5}), Ansi("Название продукта"));
  EXPECT_EQ(header.HintAt({150, 5}), "header");
  EXPECT_EQ(header.HintAt({350, 5}), "header");
}

// Numbers read from a stream may leave gaps (0 and 2 for two sections): the section
// numbered 2 exists, so changing it repaints instead of failing.
TEST_F(MtHeaderTest, SectionsWithGappedNumbersRepaint) {
  TMtHeaderSections source;
  source.AddSection()->SetText("X");
  source.AddSection()->SetText("Y");
  TMemoryStream m;
  source.WriteData(m);
  std::string bytes = m.Bytes();
  // The second block starts after the first block (64) and its strings ("X" 6, then 5 + 4 + 4).
  ASSERT_EQ(bytes[8 + 64 + 19 + 36], 1);
  bytes[8 + 64 + 19 + 36] = 2;
  TMemoryStream gapped(bytes);
  header.Sections().ReadData(gapped);
  TMtHeaderSection* y = header.Sections().FindByNumber(2);
  ASSERT_NE(y, nullptr);
  EXPECT_EQ(y->Text(), "Y");
  EXPECT_NO_THROW(y->SetWidth(77));
  EXPECT_EQ(y->Width(), 77);
  EXPECT_NO_THROW(header.RepaintFrom(2));
  EXPECT_THROW(header.RepaintFrom(1), EMtError);
}

TEST_F(MtHeaderTest, StickySectionsKeepTheirSharesWithoutDividingByZero) {
  header.show();
  C()->SetMinWidth(0);
  C()->SetMaxWidth(1000);
  B()->SetWidth(0);
  D()->SetResizable(false);
  // 100 + 0 + 60 resizable, D fixed at 50 in a 400-pixel header: 350 to share.
  header.SetStickySections(true);
  header.resize(750, header.height());  // 700 to share: everything doubles
  EXPECT_EQ(A()->Width(), 200);
  EXPECT_EQ(C()->Width(), 120);
  EXPECT_EQ(D()->Width(), 50);
  EXPECT_EQ(header.SectionsWidth(), 370);

  // Sections wider than the header are narrowed from the right as soon as sticky
  // sections are switched on: 600 + 0 + 600 + 50 in 750, C gives up the 500 too many.
  // The shares are then 600 and 100 of 700; 450 to share gives 385.7 and 64.3.
  header.SetStickySections(false);
  A()->SetWidth(600);
  C()->SetWidth(600);
  header.SetStickySections(true);
  EXPECT_EQ(A()->Width(), 600);
  EXPECT_EQ(C()->Width(), 100);
  EXPECT_EQ(header.SectionsWidth(), 750);
  header.resize(500, header.height());
  EXPECT_EQ(A()->Width(), 386);
  EXPECT_EQ(C()->Width(), 64);
  EXPECT_EQ(header.SectionsWidth(), 500);

  // A section that fills the rest of the header exactly: its new width is stored, the
  // others stay (no division by zero).
  TMtHeader h;
  h.resize(300, h.height());
  h.show();
  TMtHeaderSection* full = h.Sections().AddSection();
  TMtHeaderSection* rest = h.Sections().AddSection();
  full->SetWidth(300);
  rest->SetWidth(0);
  h.SetStickySections(true);
  full->SetWidth(250);
  EXPECT_EQ(full->Width(), 250);
  EXPECT_EQ(rest->Width(), 0);
  // A header of no width keeps the widths and the shares.
  h.resize(0, h.height());
  EXPECT_EQ(full->Width(), 250);
  h.Sections().AddSection();  // 120 wide: its share is taken at 250 + 0 + 120
  EXPECT_EQ(full->Width(), 250);
  h.resize(600, h.height());
  EXPECT_EQ(full->Width(), 405);
  EXPECT_EQ(h.SectionsWidth(), 600);
}

// With sticky sections a section resized by hand scales the resizable ones after it; what
// still does not fit into the header is taken from the resizable sections at the right end.
TEST(MtHeaderStickyTest, AHandResizeLeavesTheSectionsInsideTheHeader) {
  struct Case {
    const char* what;
    std::vector<int> widths;  // sections X, Y, Z in a 400-pixel header
    bool lastResizable;
    int dragTo;  // X's right edge is dragged from its width to here
    std::vector<int> expected;
  } cases[] = {
      // Y and Z scale by (400 - 150) / (400 - 100): 50 and 208, 8 too many: Z gives them.
      {"wider than the header", {100, 60, 250}, true, 150, {150, 50, 200}},
      // Fitting already: the scaled widths stay (83.3 rounds to 83).
      {"inside the header", {100, 100, 100}, true, 150, {150, 83, 83}},
      // Z cannot be resized: Y gives what it can (to 0), then X itself.
      {"a fixed last section", {100, 60, 250}, false, 180, {150, 0, 250}},
      // Past the header's end: the others go to 0, and X stops at the header's width.
      {"past the header's end", {100, 60, 250}, true, 420, {400, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMtHeader header;
    header.resize(400, header.height());
    header.show();
    std::vector<TMtHeaderSection*> s;
    for (int w : c.widths) {
      s.push_back(header.Sections().AddSection());
      s.back()->SetWidth(w);
    }
    s[2]->SetResizable(c.lastResizable);
    header.SetStickySections(true);
    const int edge = c.widths[0] - 2;
    header.MouseDown(TMouseButton::mbLeft, ssLeft, edge, 8);
    header.MouseMove(ssLeft, c.dragTo - 2, 8);
    header.MouseUp(TMouseButton::mbLeft, 0, c.dragTo - 2, 8);
    EXPECT_EQ((std::vector<int>{s[0]->Width(), s[1]->Width(), s[2]->Width()}), c.expected);
    EXPECT_LE(header.SectionsWidth(), 400);
  }
}

TEST_F(MtHeaderTest, PaintingLooksOfSections) {
  C()->SetSortMode(hsmDescend);
  C()->SetAlignment(hsaRight);
  header.MouseMove(0, 50, 8);  // A hot
  Press(200);                  // D pressed
  TRecordingCanvas canvas(Rect(0, 0, 400, 19));
  canvas.Font = header.Font();
  header.Paint(canvas);
  const TRecordingCanvas::TOp *textA = nullptr, *textC = nullptr, *textD = nullptr, *mark = nullptr;
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Text)) {
    if (op->Text == "A") textA = op;
    if (op->Text == "C") textC = op;
    if (op->Text == "D") textD = op;
  }
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Bitmap))
    if (op->Bitmap == ResourceBitmap("MTHEADERDESCBMP")) mark = op;
  ASSERT_TRUE(textA && textC && textD && mark);
  const unsigned base = DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX | DT_VCENTER;
  EXPECT_EQ(textA->Flags & (base | DT_RIGHT | DT_CENTER), base);
  EXPECT_EQ(textA->Font.Color, clHighlight);  // hot: highlighted and underlined
  EXPECT_TRUE(textA->Font.Style & fsUnderline);
  EXPECT_EQ(textC->Flags & DT_RIGHT, unsigned{DT_RIGHT});
  EXPECT_EQ(textC->Font.Color, header.Font().Color);
  // The mark stands at C's right end, right of its caption; each piece inside its section.
  EXPECT_GE(mark->R.Left, 114);
  EXPECT_LE(mark->R.Left + mark->Bitmap.Width(), 174 - 2);
  EXPECT_LE(textC->R.Left + textC->R.Width(), mark->R.Left);
  EXPECT_EQ(mark->Clip, Rect(114, 0, 174, 19));
  // Pressed content moves one pixel.
  const int pressedLeft = textD->R.Left;
  Release(200);
  canvas.Clear();
  header.Paint(canvas);
  int shifted = 0;
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Text)) {
    if (op->Text != "D") continue;
    EXPECT_EQ(op->R.Left + 1, pressedLeft);
    ++shifted;
  }
  EXPECT_EQ(shifted, 1);
}

TEST_F(MtHeaderTest, PaintingPixels) {
  Press(200);  // D pressed
  QImage img = header.RenderToImage();
  ASSERT_EQ(img.height(), 19);
  EXPECT_EQ(img.pixel(0, 0), Rgb(cl3DLight));         // raised: light top-left
  EXPECT_EQ(img.pixel(99, 18), Rgb(cl3DDkShadow));    // dark bottom-right
  EXPECT_EQ(img.pixel(1, 1), Rgb(clBtnHighlight));
  EXPECT_EQ(img.pixel(174, 0), Rgb(clBtnShadow));     // D sunken in a shadow frame
  EXPECT_EQ(img.pixel(223, 18), Rgb(clBtnShadow));
  EXPECT_EQ(img.pixel(175, 1), Rgb(clBtnFace));
  EXPECT_EQ(img.pixel(300, 0), Rgb(cl3DLight));       // the rest, raised as well
  EXPECT_EQ(img.pixel(300, 10), Rgb(clBtnFace));
  Release(200);

  // The line of a resize, and the flat look.
  header.SetFlat(true);
  Press(172);
  Move(190);
  img = header.RenderToImage();
  EXPECT_EQ(img.pixel(header.ResizeLineX(), 10), Rgb(clBtnText));
  EXPECT_EQ(img.pixel(0, 0), Rgb(clBtnHighlight));  // flat: one thin raised border
  Release(190);

  // A section of its own colour.
  B()->SetColor(clYellow);
  img = header.RenderToImage();
  EXPECT_EQ(img.pixel(105, 10), Rgb(clYellow));
}

TEST_F(MtHeaderTest, OwnerDrawnSectionsAndDerivedFirers) {
  C()->SetStyle(MthsOwnerDraw);
  std::string drawn;
  header.OnSectionDraw = [&](TObject*, TMtHeaderSection* s, const TRect& r, bool pressed) {
    ASSERT_NE(header.Canvas(), nullptr);
    header.Canvas()->Brush.Color = clRed;
    header.Canvas()->FillRect(InflateRect(r, -2, -2));
    drawn = Name(s) + " " + std::to_string(r.Left) + ".." + std::to_string(r.Right) + (pressed ? " pressed" : "");
  };
  Press(150);
  const QImage img = header.RenderToImage();
  EXPECT_EQ(drawn, "C 114..174 pressed");
  EXPECT_EQ(img.pixel(140, 10), Rgb(clRed));
  EXPECT_EQ(header.Canvas(), nullptr);
  Release(150);

  struct Intercepting : TMtHeader {
    TMtHeaderSection* clicked = nullptr;
    void DoSectionClick(TMtHeaderSection* s) override { clicked = s; }
  } derived;
  derived.resize(200, derived.height());
  derived.Sections().AddSection()->SetText("X");
  bool fired = false;
  derived.OnSectionClick = [&](TObject*, TMtHeaderSection*) { fired = true; };
  derived.MouseDown(TMouseButton::mbLeft, ssLeft, 10, 5);
  derived.MouseUp(TMouseButton::mbLeft, 0, 10, 5);
  EXPECT_EQ(Name(derived.clicked), "X");
  EXPECT_FALSE(fired);
}
