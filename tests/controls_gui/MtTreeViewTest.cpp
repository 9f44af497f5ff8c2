// The tree control on Qt's offscreen platform with fixed-width text: rows and hit
// tests, painting (recording canvas and pixels), mouse, keys, wheel, the in-place
// editor and drag and drop, each checked against an event log.
#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <memory>

#include "controls/gui/MtGuiUtils.h"
#include "controls/gui/MtTreeView.h"
#include "platform/core/DrawUtils.h"
#include "platform/gui/DragManager.h"
#include "platform/gui/Containers.h"
#include "platform/gui/ExtCtrls.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"

namespace {

using Log = std::vector<std::string>;

std::string Name(const TMtTreeItem* item) { return item ? item->Text() : "nil"; }

// A tree 300 x 200 with three sections (Name 150, Kcal 60 right-aligned, Veight 60) and
// days D1 (products P1, P2, P3) and D2 (product P4), all expanded: rows D1 P1 P2 P3 D2 P4.
class TreeTest : public testing::Test {
 protected:
  void SetUp() override {
    tree = std::make_unique<TMtTree>();
    tree->SetMetrics(&metrics);
    tree->resize(300, 200);
    int n = 0;
    for (auto [text, width] : {std::pair{"Name", 150}, {"Kcal", 60}, {"Veight", 60}}) {
      TMtHeaderSection* s = tree->Header().Sections().AddSection();
      s->SetText(text);
      s->SetWidth(width);
      if (n++ == 1) s->SetAlignment(hsaRight);
    }
    tree->SetShowColumns(true);
    {
      TMtUpdateBracket bracket(tree.get());
      d1 = Add(nullptr, "D1", "500");
      p1 = Add(d1, "P1", "100");
      p2 = Add(d1, "P2", "200");
      p3 = Add(d1, "P3", "200");
      d2 = Add(nullptr, "D2", "300");
      p4 = Add(d2, "P4", "300");
      tree->ExpandAll();
    }
    tree->OnItemFocused = [this](TObject*) { log.push_back("focused " + Name(tree->ItemFocused())); };
    tree->OnItemSelectedChange = [this](TObject*, TMtTreeItem* item) {
      log.push_back((item->GetState(isSelected) ? "sel " : "unsel ") + Name(item));
    };
    tree->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int, int) { log.push_back("mousedown"); };
    tree->OnKeyDown = [this](TObject*, std::uint16_t&, TShiftState) { log.push_back("keydown"); };
    tree->OnItemChange = [this](TObject*, TMtTreeItem* item, int mode) {
      log.push_back("change " + Name(item) + " " + std::to_string(mode));
    };
    tree->OnDblClick = [this](TObject*) { log.push_back("dblclick"); };
    tree->show();
    tree->activateWindow();
    tree->SetFocus();
    QApplication::processEvents();
  }
  void TearDown() override {
    tree.reset();
    QApplication::processEvents();
  }

  TMtTreeItem* Add(TMtTreeItem* parent, const char* text, const char* kcal) {
    TMtTreeItem* item = tree->Items()->AddChild(parent, text);
    item->ColumnText().Add(kcal);
    item->ColumnText().Add("1");
    return item;
  }
  int RowY(int row) const { return tree->HeaderHeight() + (row - tree->TopIndex()) * tree->LineHeight() + 5; }
  // x of the text of a row's item.
  int TextX(TMtTreeItem* item) {
    return tree->MainCellOf(item, RowY(tree->RowOf(item))).TextLeft + 2 - tree->LeftPosition();
  }
  void Click(TMtTreeItem* item, TShiftState shift = 0, TMouseButton b = TMouseButton::mbLeft) {
    const int x = TextX(item), y = RowY(tree->RowOf(item));
    tree->MouseDown(b, shift | (b == TMouseButton::mbLeft ? ssLeft : ssRight), x, y);
    tree->MouseUp(b, shift, x, y);
  }
  void Key(std::uint16_t key, TShiftState shift = 0) { tree->KeyDown(key, shift); }
  Log TakeLog() { return std::exchange(log, {}); }
  std::string Selection() {
    std::string s;
    std::vector<TMtTreeItem*> items;
    tree->AllSelected(items);
    for (TMtTreeItem* i : items) s += (s.empty() ? "" : ",") + i->Text();
    return s;
  }

public:
  TFakeTextMetrics metrics;
  std::unique_ptr<TMtTree> tree;
  TMtTreeItem *d1, *p1, *p2, *p3, *d2, *p4;
  Log log;
};

TEST_F(TreeTest, RowsAndInvariants) {
  EXPECT_EQ(tree->LineHeight(), 19);
  EXPECT_EQ(tree->HeaderHeight(), 19);
  EXPECT_EQ(tree->RowCount(), 6);
  EXPECT_EQ(tree->GetItemAtY(RowY(0)), d1);
  EXPECT_EQ(tree->GetItemAtY(RowY(5)), p4);
  EXPECT_EQ(tree->GetItemAtY(5), nullptr);  // the header
  EXPECT_EQ(tree->GetItemAtY(RowY(6)), nullptr);
  EXPECT_EQ(tree->GetItemRect(p1), Rect(0, 38, tree->ClientWidth(), 57));
  tree->CheckInvariants();
  d1->Collapse(false);
  EXPECT_EQ(tree->RowCount(), 3);
  EXPECT_EQ(tree->GetItemAtY(RowY(1)), d2);
  tree->CheckInvariants();
}

TEST_F(TreeTest, GetItemAtTable) {
  // P1: level 1: root column 17 + 17 = text at 34 (no images); D1: button 0..17.
  struct {
    int x, row;
    const char* item;
    int section, part;
  } cases[] = {
      {40, 1, "P1", 0, hpText},     {5, 0, "D1", 0, hpButton},    {5, 1, "P1", 0, hpElsewhere},
      {22, 0, "D1", 0, hpText},     {160, 1, "P1", 1, hpColumn},  {250, 2, "P2", 2, hpColumn},
      {295, 2, "P2", 0, hpElsewhere},  // right of the sections
      {40, 9, "nil", 0, hpElsewhere},
  };
  for (auto c : cases) {
    int section = -5, part = -5;
    TMtTreeItem* item = tree->GetItemAt(c.x, RowY(c.row), section, part);
    EXPECT_EQ(Name(item), c.item) << c.x << "," << c.row;
    EXPECT_EQ(section, c.section) << c.x << "," << c.row;
    EXPECT_EQ(part, c.part) << c.x << "," << c.row;
  }
  // Scrolled 40 pixels to the right, everything moves with the columns.
  tree->resize(200, 200);
  tree->SetLeftPosition(40);
  ASSERT_EQ(tree->LeftPosition(), 40);
  int section = -1, part = -1;
  EXPECT_EQ(tree->GetItemAt(120, RowY(1), section, part), p1);
  EXPECT_EQ(section, 1);
  EXPECT_EQ(part, hpColumn);
  tree->CheckInvariants();
}

TEST_F(TreeTest, PaintsColoursBoldCheckBoxesLinesAndSelection) {
  d1->SetParentStyle(false);
  d1->SetState(isBold, true);
  p2->SetParentColors(false);
  p2->SetColor(clRed);
  p2->SetBkColor(clYellow);
  tree->SetShowCheckboxes(true);
  p1->ShowCheckBox = true;
  p1->SetChecked(true);
  tree->SetItemFocused(p3);  // focused and selected
  TRecordingCanvas canvas(Rect(0, 0, tree->ClientWidth(), tree->ClientHeight()), &metrics);
  canvas.Font = tree->Font();
  tree->Paint(canvas);

  auto textOp = [&](const std::string& text) -> const TRecordingCanvas::TOp* {
    for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Text))
      if (op->Text == text) return op;
    return nullptr;
  };
  ASSERT_TRUE(textOp("D1"));
  EXPECT_TRUE(textOp("D1")->Font.Style & fsBold);
  EXPECT_FALSE(textOp("P1")->Font.Style & fsBold);
  EXPECT_EQ(textOp("P2")->Font.Color, clRed);
  EXPECT_EQ(textOp("P3")->Font.Color, clHighlightText);
  EXPECT_EQ(textOp("500")->Font.Color, clWindowText);
  // The yellow background of P2's cells and the highlight of P3's row.
  auto filled = [&](TColor c, int y) {
    for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::FillRect))
      if (op->Brush.Color == c && op->R.Top <= y && op->R.Bottom > y && op->R.Width() >= 60) return true;
    return false;
  };
  EXPECT_TRUE(filled(clYellow, RowY(2)));
  EXPECT_TRUE(filled(clHighlight, RowY(3)));
  EXPECT_FALSE(filled(clHighlight, RowY(1)));
  EXPECT_FALSE(canvas.OpsOf(TRecordingCanvas::TOpKind::Line).empty());       // tree lines
  EXPECT_EQ(canvas.OpsOf(TRecordingCanvas::TOpKind::FocusRect).size(), 1u);  // P3's

  // Pixels: the selected row's fill, the yellow cell, the check box's tick.
  const QImage shot = tree->RenderToImage();
  EXPECT_EQ(FromQColor(shot.pixelColor(265, RowY(3))), ColorToRGB(clHighlight));
  EXPECT_EQ(FromQColor(shot.pixelColor(265, RowY(2))), ColorToRGB(clYellow));
  const TMtMainCell cell = tree->MainCellOf(p1, tree->HeaderHeight() + tree->LineHeight());
  ASSERT_FALSE(cell.CheckBox.IsEmpty());
  bool tick = false;
  for (int x = cell.CheckBox.Left + 3; x < cell.CheckBox.Right - 3; ++x)
    for (int y = cell.CheckBox.Top + 3; y < cell.CheckBox.Bottom - 3; ++y)
      tick |= FromQColor(shot.pixelColor(x, y)) == ColorToRGB(clWindowText);
  EXPECT_TRUE(tick);
}

TEST_F(TreeTest, SelectColumnFillsOnlyItsCell) {
  tree->RowSelect = false;
  tree->SetItemFocused(p1);
  // Name 0..150, Kcal 150..210, Veight 210..270; numbers outside -1..2 are ignored.
  struct {
    int assigned, kept;
    int filledX;  // the one cell of the three that shows the selection
  } steps[] = {
      {2, 2, 240}, {3, 2, 240}, {-2, 2, 240}, {100, 2, 240}, {1, 1, 180}, {-1, -1, 120}, {0, 0, 120},
  };
  for (auto step : steps) {
    SCOPED_TRACE(step.assigned);
    tree->SelectColumn = step.assigned;
    EXPECT_EQ(tree->SelectColumn, step.kept);
    const QImage shot = tree->RenderToImage();
    for (int x : {120, 180, 240})
      EXPECT_EQ(FromQColor(shot.pixelColor(x, RowY(1))), ColorToRGB(x == step.filledX ? clHighlight : clWindow)) << x;
  }
}

TEST_F(TreeTest, ClickTable) {
  struct Step {
    const char* what;
    TMtTreeItem* TreeTest::*item;
    TShiftState shift;
    TMouseButton button;
    Log log;
    const char* selection;
  };
  tree->AlwaysKeepSelection = false;
  const Step steps[] = {
      {"plain on P1", &TreeTest::p1, 0, TMouseButton::mbLeft, {"mousedown", "sel P1", "focused P1"}, "P1"},
      {"plain on P2", &TreeTest::p2, 0, TMouseButton::mbLeft,
       {"mousedown", "unsel P1", "sel P2", "focused P2"}, "P2"},
      {"ctrl on P3", &TreeTest::p3, ssCtrl, TMouseButton::mbLeft, {"mousedown", "sel P3", "focused P3"}, "P2,P3"},
      {"shift on D2 from the anchor P2", &TreeTest::d2, ssShift, TMouseButton::mbLeft,
       {"mousedown", "unsel P2", "unsel P3", "sel P2", "sel P3", "sel D2", "focused D2"}, "P2,P3,D2"},
      {"right keeps two or more", &TreeTest::p4, 0, TMouseButton::mbRight, {"mousedown"}, "P2,P3,D2"},
      {"ctrl on P3 deselects it", &TreeTest::p3, ssCtrl, TMouseButton::mbLeft,
       {"mousedown", "unsel P3", "focused P3"}, "P2,D2"},
      {"plain on P1", &TreeTest::p1, 0, TMouseButton::mbLeft,
       {"mousedown", "unsel P2", "unsel D2", "sel P1", "focused P1"}, "P1"},
      {"plain on the focused, selected item", &TreeTest::p1, 0, TMouseButton::mbLeft, {"mousedown", "unsel P1"},
       ""},
  };
  for (const Step& s : steps) {
    Click(this->*s.item, s.shift, s.button);
    EXPECT_EQ(TakeLog(), s.log) << s.what;
    EXPECT_EQ(Selection(), s.selection) << s.what;
    tree->CheckInvariants();
  }
  tree->AlwaysKeepSelection = true;
  Click(p1);
  EXPECT_EQ(Selection(), "P1");
}

TEST_F(TreeTest, ButtonAndCheckBoxClicks) {
  tree->SetShowCheckboxes(true);
  p1->ShowCheckBox = true;
  p1->CheckBoxType = cbtThreeState;
  TakeLog();
  // The expand button: OnMouseDown first, then the toggle; focus and selection stay.
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, 5, RowY(0));
  EXPECT_FALSE(d1->GetExpanded());
  EXPECT_EQ(TakeLog(), Log{"mousedown"});
  EXPECT_EQ(tree->ItemFocused(), nullptr);
  tree->MouseUp(TMouseButton::mbLeft, 0, 5, RowY(0));
  // A double click on the button acts once: the second press does not toggle again.
  tree->DblClick();
  tree->MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 5, RowY(0));
  EXPECT_FALSE(d1->GetExpanded());
  EXPECT_EQ(TakeLog(), Log{"mousedown"});  // no OnDblClick on a button
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, 5, RowY(0));
  ASSERT_TRUE(d1->GetExpanded());
  TakeLog();

  const TMtMainCell cell = tree->MainCellOf(p1, tree->HeaderHeight() + tree->LineHeight());
  const int x = cell.CheckBox.Left + 5;
  std::vector<int> states;
  for (int i = 0; i < 3; ++i) {
    tree->MouseDown(TMouseButton::mbLeft, ssLeft, x, RowY(1));
    tree->MouseUp(TMouseButton::mbLeft, 0, x, RowY(1));
    states.push_back(p1->CheckBoxState);
  }
  EXPECT_EQ(states, (std::vector<int>{cbsGrayed, cbsChecked, cbsUnchecked}));
  EXPECT_EQ(TakeLog(), (Log{"mousedown", "change P1 2", "mousedown", "change P1 2", "mousedown", "change P1 2"}));
  p1->Enabled = false;
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, x, RowY(1));
  EXPECT_EQ(p1->CheckBoxState, cbsUnchecked);
  EXPECT_EQ(TakeLog(), Log{"mousedown"});
}

TEST_F(TreeTest, KeyboardTable) {
  struct Step {
    std::uint16_t key;
    TShiftState shift;
    const char* focused;
    const char* selection;
    Log log;
  };
  const Step steps[] = {
      {VK_DOWN, 0, "D1", "D1", {"sel D1", "focused D1", "keydown"}},  // nothing focused: the first row
      {VK_UP, 0, "D1", "D1", {"unsel D1", "sel D1", "keydown"}},      // the first row stays
      {VK_DOWN, 0, "P1", "P1", {"unsel D1", "sel P1", "focused P1", "keydown"}},
      {VK_DOWN, ssShift, "P2", "P1,P2", {"unsel P1", "sel P2", "focused P2", "sel P1", "keydown"}},
      {VK_DOWN, ssCtrl, "P3", "P1,P2,P3", {"sel P3", "focused P3", "keydown"}},
      {VK_UP, ssCtrl, "P2", "P1,P2,P3", {"unsel P2", "focused P2", "sel P2", "keydown"}},  // stays selected
      {VK_DOWN, ssCtrl, "P3", "P1,P2,P3", {"unsel P3", "focused P3", "sel P3", "keydown"}},
      {VK_LEFT, 0, "D1", "D1", {"unsel P1", "unsel P2", "unsel P3", "sel D1", "focused D1", "keydown"}},
      {VK_LEFT, 0, "D1", "D1", {"keydown"}},  // collapses
      {VK_RIGHT, 0, "D1", "D1", {"keydown"}}, // expands
      {VK_RIGHT, 0, "P1", "P1", {"unsel D1", "sel P1", "focused P1", "keydown"}},
      {VK_END, 0, "P4", "P4", {"unsel P1", "sel P4", "focused P4", "keydown"}},
      {VK_HOME, 0, "D1", "D1", {"unsel P4", "sel D1", "focused D1", "keydown"}},
      {VK_SUBTRACT, 0, "D1", "D1", {"keydown"}},
      {VK_ADD, 0, "D1", "D1", {"keydown"}},
      {VK_SPACE, 0, "D1", "D1", {"unsel D1", "sel D1", "keydown"}},
  };
  TakeLog();
  bool collapsedAfterLeft = false;
  for (const Step& s : steps) {
    std::uint16_t key = s.key;
    Key(key, s.shift);
    EXPECT_EQ(Name(tree->ItemFocused()), s.focused) << s.key;
    EXPECT_EQ(Selection(), s.selection) << s.key;
    EXPECT_EQ(TakeLog(), s.log) << s.key;
    if (s.key == VK_LEFT && !d1->GetExpanded()) collapsedAfterLeft = true;
    tree->CheckInvariants();
  }
  EXPECT_TRUE(collapsedAfterLeft);
  EXPECT_TRUE(d1->GetExpanded());
}

TEST_F(TreeTest, KeysScrollTheFocusedRowIntoView) {
  tree->resize(300, 19 + 19 * 3 + 5);  // three whole rows and a partial one
  for (int i = 0; i < 20; ++i) Add(d2, "X", "1");
  std::uint16_t end = VK_END;
  Key(end);
  EXPECT_EQ(tree->ItemFocused(), tree->VisibleRows().back());
  EXPECT_TRUE(tree->IsInView(tree->ItemFocused()));
  EXPECT_EQ(tree->TopIndex(), tree->RowCount() - 3);
  std::uint16_t home = VK_HOME;
  Key(home);
  EXPECT_EQ(tree->TopIndex(), 0);
  std::uint16_t page = VK_NEXT;
  Key(page);
  EXPECT_EQ(tree->RowOf(tree->ItemFocused()), 4);  // a page counts the partial row
  EXPECT_TRUE(tree->IsInView(tree->ItemFocused()));
  tree->CheckInvariants();
  // An empty tree takes every key.
  tree->Items()->Clear();
  for (std::uint16_t k : {VK_DOWN, VK_UP, VK_END, VK_LEFT, VK_RIGHT, VK_SPACE, VK_ADD}) Key(k);
  EXPECT_EQ(tree->ItemFocused(), nullptr);
}

TEST_F(TreeTest, WheelScrollsRowsAndSmallDeltasAddUp) {
  tree->resize(300, 19 + 19 * 3);
  for (int i = 0; i < 20; ++i) Add(d2, "X", "1");
  const int lines = WheelScrollLines();
  ASSERT_GT(lines, 0);
  tree->DoMouseWheel(0, -120, {0, 0});
  EXPECT_EQ(tree->TopIndex(), std::min(lines, 120));
  tree->DoMouseWheel(0, 120, {0, 0});
  EXPECT_EQ(tree->TopIndex(), 0);
  // A touch pad: eight deltas of 15 are one notch.
  for (int i = 0; i < 8; ++i) tree->DoMouseWheel(0, -15, {0, 0});
  EXPECT_EQ(tree->TopIndex(), std::min(lines, 120));
  // A real wheel event with a horizontal delta moves the columns.
  tree->resize(150, 19 + 19 * 3);
  QWheelEvent e(QPointF(10, 30), QPointF(10, 30), QPoint(0, 0), QPoint(-120, 0), Qt::NoButton, Qt::NoModifier,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(tree->viewport(), &e);
  EXPECT_GT(tree->LeftPosition(), 0);
  tree->CheckInvariants();
}

TEST_F(TreeTest, ScrollBarActionsAndTheirEvent) {
  tree->resize(300, 19 + 19 * 3);
  for (int i = 0; i < 20; ++i) Add(d2, "X", "1");
  Log scrolls;
  tree->OnScroll = [&](TObject*, TScrollBarKind k, TScrollCode c) {
    scrolls.push_back(std::to_string(k == TScrollBarKind::sbVertical) + std::to_string(static_cast<int>(c)));
  };
  int pos = 0;
  tree->Scroll(TScrollBarKind::sbVertical, TScrollCode::scLineDown, pos);
  EXPECT_EQ(tree->TopIndex(), 1);
  tree->Scroll(TScrollBarKind::sbVertical, TScrollCode::scPageDown, pos);
  EXPECT_EQ(tree->TopIndex(), 3);  // rows per page - 1
  tree->Scroll(TScrollBarKind::sbVertical, TScrollCode::scBottom, pos);
  EXPECT_EQ(tree->TopIndex(), tree->RowCount() - tree->RowsPerPage() + 1);
  EXPECT_EQ(pos, tree->TopIndex());
  EXPECT_EQ(scrolls, (Log{"11", "13", "17"}));
  tree->CheckInvariants();
}

// --- in-place editing

class EditTest : public TreeTest {
 protected:
  void SetUp() override {
    TreeTest::SetUp();
    for (int i = 0; i < 3; ++i) {
      tree->Header().Sections().GetSectionByPos(i)->SetEditable(true);
      tree->Header().Sections().GetSectionByPos(i)->SetFieldType(i == 0 ? sftText : sftNumber);
    }
    tree->OnValidateInplaceEdit = [this](TObject*, TMtTreeItem* item, TMtHeaderSection* s, AnsiString& text,
                                         bool& accept) {
      log.push_back("validate " + Name(item) + " " + std::to_string(s ? s->GetIndex() : -1) + " '" + text + "' " +
                    (accept ? "1" : "0"));
      if (validate) validate(item, text, accept);
    };
  }
  void Type(const char* text) {
    tree->InplaceEdit()->SetText(text);
    tree->InplaceEdit()->SetModified(true);
  }
  void EditorKey(std::uint16_t key) {
    std::uint16_t k = key;
    tree->InplaceEdit()->KeyDown(k, 0);
    if (k != 0 && tree->InplaceEdit()->OnKeyDown) tree->InplaceEdit()->OnKeyDown(tree->InplaceEdit(), k, 0);
  }
  std::function<void(TMtTreeItem*, AnsiString&, bool&)> validate;
};

TEST_F(EditTest, ValidationTable) {
  struct Case {
    const char* what;
    int section;
    const char* typed;  // nullptr: nothing typed
    std::uint16_t key;
    std::function<void(TMtTreeItem*, AnsiString&, bool&)> handler;
    const char* logged;
    const char* stored;
  };
  const Case cases[] = {
      {"escape", 2, "77", VK_ESCAPE, nullptr, "validate P1 2 '' 0", "1"},
      {"enter without typing", 2, nullptr, VK_RETURN, nullptr, "validate P1 2 '' 0", "1"},
      {"typed", 2, "77", VK_RETURN, nullptr, "validate P1 2 '77' 1", "77"},
      {"refused", 2, "88", VK_RETURN, [](TMtTreeItem*, AnsiString&, bool& a) { a = false; },
       "validate P1 2 '88' 1", "1"},
      {"changed", 2, "88", VK_RETURN, [](TMtTreeItem*, AnsiString& t, bool&) { t = "90"; },
       "validate P1 2 '88' 1", "90"},
      {"main column", 0, "Bread", VK_RETURN, nullptr, "validate P1 0 'Bread' 1", "Bread"},
  };
  for (const Case& c : cases) {
    p1->SetText("P1");
    p1->ColumnText().SetString(1, "1");
    validate = c.handler;
    tree->EditItem(p1, c.section);
    ASSERT_TRUE(tree->InplaceEdit()) << c.what;
    EXPECT_TRUE(tree->InplaceEdit()->isVisible()) << c.what;
    EXPECT_TRUE(tree->Editing());
    if (c.typed) Type(c.typed);
    TakeLog();
    EditorKey(c.key);
    const Log got = TakeLog();
    ASSERT_FALSE(got.empty()) << c.what;
    EXPECT_EQ(got.front(), c.logged) << c.what;
    EXPECT_EQ(c.section == 0 ? p1->Text() : p1->ColumnText()[1], c.stored) << c.what;
    EXPECT_FALSE(tree->InplaceEdit()->isVisible()) << c.what;
    EXPECT_FALSE(tree->Editing()) << c.what;
  }
}

TEST_F(EditTest, ColumnTextsArePaddedAndTheHandlerMayDeleteTheItem) {
  TMtHeaderSection* s = tree->Header().Sections().AddSection();
  s->SetWidth(40);
  s->SetEditable(true);
  ASSERT_EQ(s->GetIndex(), 3);
  TMtHeaderSection* s4 = tree->Header().Sections().AddSection();
  s4->SetWidth(40);
  s4->SetEditable(true);
  s4->SetFieldType(sftText);
  p2->ColumnText().Clear();
  p2->ColumnText().Add("5");
  tree->EditItem(p2, 4);
  Type("x");
  EditorKey(VK_RETURN);
  ASSERT_EQ(p2->ColumnText().Count(), 4);
  EXPECT_EQ(p2->ColumnText()[1], "");
  EXPECT_EQ(p2->ColumnText()[3], "x");

  // The validation handler deletes the edited item: nothing is stored, nothing breaks.
  validate = [this](TMtTreeItem* item, AnsiString&, bool&) { tree->Items()->Delete(item); };
  tree->EditItem(p3, 2);
  Type("5");
  EditorKey(VK_RETURN);
  EXPECT_EQ(tree->RowCount(), 5);
  EXPECT_FALSE(tree->Editing());
  EXPECT_EQ(tree->EditedItem(), nullptr);

  // Deleting the item while its editor is open ends the edit, cancelled, without validation.
  validate = nullptr;
  tree->EditItem(p1, 2);
  TakeLog();
  tree->Items()->Delete(p1);
  EXPECT_FALSE(tree->Editing());
  EXPECT_FALSE(tree->InplaceEdit() && tree->InplaceEdit()->isVisible());
  EXPECT_EQ(TakeLog(), Log{});
  tree->CheckInvariants();
}

TEST_F(EditTest, AValidationHandlerThatEndsOrStartsEditsDoesNotReenter) {
  // A handler that shows a message box takes the focus from the editor (its exit
  // handler ends the edit) or edits again: the running end of the edit stays the only one.
  int calls = 0;
  validate = [&](TMtTreeItem*, AnsiString&, bool&) {
    ++calls;
    tree->EndEdit(false);
    tree->EditItem(p2, 2);
    if (tree->InplaceEdit() && tree->InplaceEdit()->OnExit) tree->InplaceEdit()->OnExit(tree->InplaceEdit());
  };
  tree->EditItem(p1, 2);
  Type("42");
  EditorKey(VK_RETURN);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(p1->ColumnText()[1], "42");
  EXPECT_FALSE(tree->Editing());
  EXPECT_EQ(tree->EditedItem(), nullptr);
}

TEST_F(EditTest, TheTreeGoesWithItsEditorOpen) {
  Log deleted;
  tree->OnItemDeletion = [&](TObject*, TMtTreeItem* item) { deleted.push_back(Name(item)); };
  tree->EditItem(p3, 2);
  Type("5");
  ASSERT_TRUE(tree->Editing());
  tree.reset();
  QApplication::processEvents();
  EXPECT_EQ(deleted.size(), 6u);
  // The edit ends cancelled, before any item goes.
  EXPECT_EQ(TakeLog(), Log{"validate P3 2 '' 0"});
}

TEST_F(EditTest, TryEditCustomTypesComboAndGuards) {
  Log requests;
  tree->OnTryEdit = [&](TObject*, TMtTreeItem* item, TMtHeaderSection*, TFieldTypes& type, bool& can) {
    if (item == p1) type = sftCustom;
    if (item == p2) type = sftEnum;
    if (item == p3) can = false;
  };
  tree->OnEditRequest = [&](TObject*, TMtTreeItem* item, TMtHeaderSection*) { requests.push_back(Name(item)); };
  tree->OnComboEditShow = [&](TObject*, TMtTreeItem*, TMtHeaderSection*, TComboBox* combo) {
    combo->SetItems({"a", "b"});
  };
  bool comboAccept = false;
  tree->OnValidateCombo = [&](TObject*, TMtTreeItem*, TMtHeaderSection*, TComboBox*, bool& a) { comboAccept = a; };
  tree->EditItem(p1, 1);
  EXPECT_EQ(requests, Log{"P1"});
  EXPECT_EQ(tree->InplaceEditor(), nullptr);
  tree->EditItem(p3, 1);
  EXPECT_EQ(tree->InplaceEditor(), nullptr);
  tree->EditItem(p2, 1);
  ASSERT_TRUE(tree->InplaceCombo());
  EXPECT_GE(tree->InplaceCombo()->height(), tree->LineHeight());
  tree->EndEdit(false);
  EXPECT_TRUE(comboAccept);
  EXPECT_EQ(p2->ColumnText()[0], "200");  // the tree stores nothing for a combo box

  tree->SetDoInplaceEdit(false);
  tree->EditItem(p4, 1);
  EXPECT_FALSE(tree->Editing());
  EXPECT_THROW(tree->DoEditItem(nullptr, 0), EMtTreeError);
}

TEST_F(EditTest, SecondClickOnTheTextEditsDoubleClickDoesNot) {
  Click(p1);  // focuses and arms
  EXPECT_FALSE(tree->Editing());
  Click(p1);  // the second single click edits the main column
  EXPECT_TRUE(tree->Editing());
  EXPECT_EQ(tree->EditedItem(), p1);
  tree->EndEdit(true);

  // A double click on P2: the first release arms, the double click disarms.
  const int x = TextX(p2), y = RowY(2);
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, x, y);
  tree->MouseUp(TMouseButton::mbLeft, 0, x, y);
  tree->DblClick();
  tree->MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, x, y);
  tree->MouseUp(TMouseButton::mbLeft, 0, x, y);
  EXPECT_FALSE(tree->Editing());
  EXPECT_EQ(tree->ArmedItem(), nullptr);
  // A double click on another column edits that cell.
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, 250, y);
  tree->MouseUp(TMouseButton::mbLeft, 0, 250, y);
  tree->DblClick();
  EXPECT_TRUE(tree->Editing());
  EXPECT_EQ(tree->EditedSection(), 2);
  // A scroll-bar action accepts the running edit.
  Type("9");
  int pos = 0;
  tree->Scroll(TScrollBarKind::sbVertical, TScrollCode::scLineDown, pos);
  EXPECT_FALSE(tree->Editing());
  EXPECT_EQ(p2->ColumnText()[1], "9");
  // A press on the header cancels it.
  tree->EditItem(p2, 2);
  Type("7");
  tree->Header().MouseDown(TMouseButton::mbLeft, ssLeft, 70, 5);
  tree->Header().MouseUp(TMouseButton::mbLeft, 0, 70, 5);
  EXPECT_FALSE(tree->Editing());
  EXPECT_EQ(p2->ColumnText()[1], "9");
}

// --- drag and drop

class DragTreeTest : public TreeTest {
 protected:
  void SetUp() override {
    TreeTest::SetUp();
    tree->DragAllowed = true;
    origin = tree->viewport()->mapToGlobal(QPoint(0, 0));
    DragManager().SetTargetFinder([this](QPoint p) -> TWinControl* {
      const QPoint local = p - origin;
      return tree->viewport()->rect().contains(local) ? static_cast<TWinControl*>(tree.get()) : nullptr;
    });
    tree->OnStartDrag = [this](TObject*) { log.push_back("startdrag"); };
    tree->OnDragOver = [this](TObject*, TObject*, int, int, TDragState st, bool& accept) {
      log.push_back(std::string("over ") + (st == TDragState::dsDragLeave ? "leave" : "") + " target " +
                    Name(tree->DropTarget()));
      accept = true;
    };
    tree->OnDragDrop = [this](TObject*, TObject*, int, int) { log.push_back("drop on " + Name(tree->DropTarget())); };
    tree->OnEndDrag = [this](TObject*, TObject*, int, int) { log.push_back("enddrag " + Name(tree->DropTarget())); };
  }
  void TearDown() override {
    DragManager().SetTargetFinder(nullptr);
    TreeTest::TearDown();
  }
  QPoint Global(int x, int y) const { return origin + QPoint(x, y); }
  QPoint origin;
};

TEST_F(DragTreeTest, ThresholdAndEventOrder) {
  ASSERT_TRUE(tree->Focused());
  const int x = TextX(p1), y = RowY(1);
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, x, y);
  TakeLog();
  tree->MouseMove(ssLeft, x + 3, y + 3);  // 4.2 pixels: no drag yet
  EXPECT_FALSE(tree->Dragging());
  tree->MouseMove(ssLeft, x + 3, y + 4);  // 5 pixels
  ASSERT_TRUE(tree->Dragging());
  // Over P4: OnDragOver runs before the tree marks its drop target.
  DragManager().DragTo(Global(x, RowY(5)));
  EXPECT_EQ(tree->DropTarget(), p4);
  DragManager().DragTo(Global(x, RowY(3)));
  EXPECT_EQ(tree->DropTarget(), p3);
  const QImage shot = tree->RenderToImage();
  EXPECT_EQ(FromQColor(shot.pixelColor(265, RowY(3))), ColorToRGB(clHighlight));
  DragManager().Finish(Global(x, RowY(3)), true);
  EXPECT_FALSE(tree->Dragging());
  EXPECT_EQ(tree->DropTarget(), nullptr);
  // Entering at the start, then each move: OnDragOver sees the target of the move before.
  EXPECT_EQ(TakeLog(), (Log{"startdrag", "over  target nil", "over  target nil", "over  target P4", "drop on P3",
                           "enddrag nil"}));
}

TEST_F(DragTreeTest, DragImageFollowsThePointer) {
  struct Case {
    TDragImgMode mode;
    int rows;  // rows in the picture
  } cases[] = {{TDragImgMode::dimNever, 0}, {TDragImgMode::dimOne, 1}, {TDragImgMode::dimAll, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(int(c.mode));
    tree->DragImageMode = c.mode;
    Click(p3);
    Click(p1, ssCtrl);
    const int x = TextX(p1), y = RowY(1);
    tree->MouseDown(TMouseButton::mbLeft, ssLeft | ssCtrl, x, y);
    tree->MouseMove(ssLeft, x, y + 8);
    ASSERT_TRUE(DragManager().IsDragging());
    const TDragImageWindow* image = DragManager().DragImage();
    if (c.rows == 0) {
      EXPECT_TRUE(image == nullptr || !image->Visible());
    } else {
      ASSERT_TRUE(image != nullptr && image->Visible());
      EXPECT_EQ(image->Widget()->height(), c.rows * tree->LineHeight());
      // The pressed point of the picture stays under the pointer.
      DragManager().DragTo(Global(100, RowY(4)));
      const QPoint hot = Global(100, RowY(4)) - image->Widget()->pos();
      EXPECT_EQ(hot.x(), x);
      EXPECT_EQ(hot.y(), y - (tree->HeaderHeight() + tree->LineHeight()));
      if (c.mode == TDragImgMode::dimAll) {
        // The tree with its picture over it, where the user sees it.
        QImage shot = tree->grab().toImage();
        QPainter painter(&shot);
        painter.setOpacity(0.7);
        painter.drawPixmap(image->Widget()->pos() - tree->viewport()->mapToGlobal(QPoint(0, 0)) +
                               tree->viewport()->pos(),
                           image->Widget()->grab());
        painter.end();
        const QString path = QString::fromLocal8Bit(qgetenv("TARNWICK_PNG_DIR"));
        if (!path.isEmpty()) shot.save(path + "/tree-drag.png");
      }
    }
    DragManager().Finish(Global(100, RowY(4)), false);
    EXPECT_TRUE(image == nullptr || !image->Visible());
    tree->MouseUp(TMouseButton::mbLeft, 0, 100, RowY(4));
  }
}

TEST_F(DragTreeTest, DraggingNearTheEdgesScrolls) {
  tree->resize(300, 19 + 19 * 3);
  for (int i = 0; i < 10; ++i) Add(d2, "X", "1");
  tree->SetItemFocused(p1);
  tree->SetSelectionAnchor(p1);
  tree->BeginDrag(true);
  const int bottom = tree->ClientHeight() - 2;
  DragManager().DragTo(Global(40, bottom));
  DragManager().DragTo(Global(41, bottom));
  EXPECT_EQ(tree->TopIndex(), 2);
  DragManager().DragTo(Global(40, tree->HeaderHeight() + 2));
  EXPECT_EQ(tree->TopIndex(), 1);
  DragManager().Finish(Global(40, 30), false);
  EXPECT_EQ(tree->DropTarget(), nullptr);
  tree->CheckInvariants();
}

TEST_F(DragTreeTest, RestingOnAClosedBranchLeavesItClosed) {
  // The drop target is marked; nothing expands during a drag (no expansion handler runs).
  d2->Collapse(false);
  int expansions = 0;
  tree->OnItemExpanding = [&](TObject*, TMtTreeItem*, bool&) { ++expansions; };
  tree->SetItemFocused(p1);
  tree->SetSelectionAnchor(p1);
  tree->BeginDrag(true);
  DragManager().DragTo(Global(40, RowY(4)));
  ASSERT_EQ(tree->DropTarget(), d2);
  {  // longer than any pause a drag might wait for before opening a branch
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
  }
  DragManager().DragTo(Global(41, RowY(4)));
  EXPECT_FALSE(d2->GetExpanded());
  EXPECT_EQ(expansions, 0);
  DragManager().Finish(Global(40, RowY(4)), false);
}

TEST_F(TreeTest, LineHintForTextsThatDoNotFit) {
  p2->SetText(AnsiString(40, 'W'));  // 240 pixels in a 150-pixel column
  tree->LineHintMode = THintModes::shmLong;
  EXPECT_EQ(tree->LineHintText(RowY(2)), p2->Text());
  EXPECT_EQ(tree->LineHintText(RowY(1)), "");
  tree->LineHintMode = THintModes::shmAll;
  EXPECT_EQ(tree->LineHintText(RowY(1)), "P1");
  tree->LineHintMode = THintModes::shmLong;
  tree->MouseMove(0, 60, RowY(2));
  EXPECT_TRUE(tree->LineHintTimer().Enabled());
  tree->LineHintTimer().Timer();
  EXPECT_TRUE(tree->LineHintWindow().Visible());
  EXPECT_EQ(tree->LineHintWindow().Caption(), p2->Text());
  tree->MouseMove(0, 60, RowY(1));
  EXPECT_FALSE(tree->LineHintWindow().Visible());
  // The program may change the text or refuse the hint.
  tree->OnShowLineHint = [](TObject*, TMtTreeItem*, AnsiString& text, THintWindow*, TPoint, bool& show) {
    show = text.size() < 50;
    text = "short";
  };
  tree->MouseMove(0, 60, RowY(2));
  tree->LineHintTimer().Timer();
  EXPECT_EQ(tree->LineHintWindow().Caption(), "short");
}

// --- header reactions

TEST_F(TreeTest, HeaderClickSortsOnceAndResizeLineCrossesTheRows) {
  tree->SortMode = smClick;
  Log clicks;
  tree->OnHeaderColumnClick = [&](TObject*, int section) { clicks.push_back(std::to_string(section)); };
  TMtTreeHeader& h = tree->Header();
  h.MouseDown(TMouseButton::mbLeft, ssLeft, 180, 5);
  h.MouseUp(TMouseButton::mbLeft, 0, 180, 5);
  // A double click: the second press makes no second click.
  h.MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 180, 5);
  h.MouseUp(TMouseButton::mbLeft, 0, 180, 5);
  EXPECT_EQ(clicks, Log{"1"});

  // Resizing the first section: the line goes from the header's top to the rows' bottom.
  h.MouseDown(TMouseButton::mbLeft, ssLeft, 148, 5);
  h.MouseMove(ssLeft, 170, 5);
  const auto lines = tree->viewport()->findChildren<QWidget*>();
  bool crosses = false;
  for (QWidget* w : lines)
    if (w->isVisible() && w->width() == 1 && w->height() >= tree->ClientHeight() - 1) crosses = true;
  EXPECT_TRUE(crosses);
  h.MouseUp(TMouseButton::mbLeft, 0, 170, 5);
  EXPECT_EQ(tree->Header().Sections().GetSectionByPos(0)->Width(), 172);
  for (QWidget* w : tree->viewport()->findChildren<QWidget*>())
    if (w->width() == 1) {
      EXPECT_FALSE(w->isVisible());
    }
  tree->CheckInvariants();
}

TEST_F(TreeTest, DeletingTheLastSectionHidesTheHeader) {
  TMtHeaderSections& sections = tree->Header().Sections();
  sections.DeleteSection(sections.GetSectionByPos(2));
  EXPECT_TRUE(tree->ShowColumns());
  sections.DeleteSection(sections.GetSectionByPos(1));
  EXPECT_TRUE(tree->ShowColumns());
  sections.DeleteSection(sections.GetSectionByPos(0));
  EXPECT_FALSE(tree->ShowColumns());
  EXPECT_EQ(tree->HeaderHeight(), 0);
  EXPECT_EQ(tree->GetItemAtY(5), d1);  // the rows start at the top now
  tree->CheckInvariants();
}

TEST_F(TreeTest, EnsureVisibleWriteOutlineAndBulkSelection) {
  d1->Collapse(false);
  tree->EnsureVisible(p3);
  EXPECT_TRUE(d1->GetExpanded());
  EXPECT_TRUE(tree->IsInView(p3));
  EXPECT_THROW(tree->SetTopItem(nullptr), EMtTreeError);

  TMemoryStream out;
  tree->WriteOutline(out);
  const std::string text(static_cast<const char*>(out.Memory()), static_cast<size_t>(out.Size()));
  EXPECT_EQ(text, "D1\r\nP1\r\nP2\r\nP3\r\nD2\r\nP4\r\n");  // levels 0 and 1: no spaces

  tree->SelectAll();
  EXPECT_EQ(tree->SelectedCount(), 6);
  tree->InvertSelectionEx(false);
  EXPECT_EQ(tree->SelectedCount(), 0);
  tree->SelectRange(d1, d2);
  EXPECT_EQ(Selection(), "P1,P2,P3");
  EXPECT_EQ(tree->GetNextSelected(nullptr), p1);
  EXPECT_EQ(tree->GetNextSelected(p3), nullptr);
  tree->DeselectAll();
  EXPECT_EQ(tree->SelectedCount(), 0);
}

// --- faults mended

// What the window system does with a pointer at a screen point: the topmost window there
// that takes input gets it; the tree's viewport sees the pointer leave when that is
// another window. Tool-tip windows are above the others.
void PointerRestsAt(TMtTree& tree, QPoint global) {
  QWidget* target = tree.window();
  for (QWidget* w : QApplication::topLevelWidgets()) {
    const bool transparent = w->windowFlags().testFlag(Qt::WindowTransparentForInput);
    if (w != tree.window() && w->isVisible() && !transparent && w->windowType() == Qt::ToolTip &&
        w->geometry().contains(global))
      target = w;
  }
  if (target != tree.window()) {
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(tree.viewport(), &leave);
  }
  const QPoint local = tree.viewport()->mapFromGlobal(global);
  if (target == tree.window()) tree.MouseMove(0, local.x(), local.y());
}

TEST_F(TreeTest, LineHintStaysWhileThePointerRestsOnTheItem) {
  p2->SetText(AnsiString(40, 'W'));  // 240 pixels in a 150-pixel column
  const int x = TextX(p2) + 10, y = RowY(2);
  tree->MouseMove(0, x, y);
  tree->LineHintTimer().Timer();
  ASSERT_TRUE(tree->LineHintWindow().Visible());
  const QPoint global = tree->viewport()->mapToGlobal(QPoint(x, y));
  // The hint covers the text under the pointer.
  ASSERT_TRUE(tree->LineHintWindow().Widget()->geometry().contains(global));
  PointerRestsAt(*tree, global);
  QApplication::processEvents();
  EXPECT_TRUE(tree->LineHintWindow().Visible());
  // Leaving the tree hides it at once.
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(tree->viewport(), &leave);
  EXPECT_FALSE(tree->LineHintWindow().Visible());
}

TEST(TreeDepthTest, TheLastPageOfAHundredThousandLevelsPaintsWithItsLines) {
  // Each row costs the lines it shows, not its depth: the last page of a chain of 100,000
  // levels, scrolled to the deepest columns.
  TFakeTextMetrics metrics;
  TMtTree tree;
  tree.SetMetrics(&metrics);
  tree.resize(300, 200);
  TMtTreeItem* item = nullptr;
  {
    TMtUpdateBracket bracket(&tree);
    for (int i = 0; i < 100000; ++i) item = tree.Items()->AddChild(item, "Deep");
    tree.ExpandAll();
  }
  ASSERT_EQ(tree.RowCount(), 100000);
  tree.SetTopIndex(tree.RowCount());
  tree.SetLeftPosition(tree.ColumnsWidth());
  ASSERT_TRUE(tree.IsInView(item));
  tree.CheckInvariants();
  const QImage shot = tree.RenderToImage();
  // The deepest item's own line: down from the row's top in the middle of its slot (the
  // root column first, then 17 pixels a level).
  const int top = tree.GetItemRect(item).Top;
  const int x = kMtTreeSlot / 2 + kMtTreeSlot * item->GetLevel() - tree.LeftPosition();
  ASSERT_GE(x, 0);
  EXPECT_EQ(FromQColor(shot.pixelColor(x, top + 2)), ColorToRGB(clBtnFace));  // the lines' default colour
}

TEST_F(TreeTest, FullRowSelectDoubleClickOnTheButtonTogglesAgain) {
  // With ExpandOnDblClick and FullRowSelect a double click on any part but the check
  // box toggles: the press on the button closed D1, the double click opens it again.
  tree->ExpandOnDblClick = true;
  ASSERT_TRUE(tree->FullRowSelect);
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, 5, RowY(0));
  tree->MouseUp(TMouseButton::mbLeft, 0, 5, RowY(0));
  EXPECT_FALSE(d1->GetExpanded());
  TakeLog();
  tree->DblClick();
  tree->MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, 5, RowY(0));
  EXPECT_TRUE(d1->GetExpanded());
  EXPECT_EQ(TakeLog(), Log{"mousedown"});  // still no OnDblClick on a button
  // Without FullRowSelect only the text toggles.
  tree->FullRowSelect = false;
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, 5, RowY(0));
  tree->MouseUp(TMouseButton::mbLeft, 0, 5, RowY(0));
  tree->DblClick();
  EXPECT_FALSE(d1->GetExpanded());
}

TEST_F(TreeTest, CheckedRadioButtonHasARoundDot) {
  tree->SetShowCheckboxes(true);
  p1->ShowCheckBox = true;
  p1->CheckBoxType = cbtRadioButton;
  p1->SetChecked(true);
  const QImage shot = tree->RenderToImage();
  const TMtMainCell cell = tree->MainCellOf(p1, tree->HeaderHeight() + tree->LineHeight());
  ASSERT_FALSE(cell.CheckBox.IsEmpty());
  auto dark = [&](int dx, int dy) {
    return FromQColor(shot.pixelColor(cell.CheckBox.Left + dx, cell.CheckBox.Top + dy)) == ColorToRGB(clWindowText);
  };
  // The dot's middle and the middles of its sides are drawn, its corners are not.
  EXPECT_TRUE(dark(7, 7));
  EXPECT_TRUE(dark(4, 7));
  EXPECT_TRUE(dark(7, 4));
  EXPECT_TRUE(dark(10, 7));
  EXPECT_FALSE(dark(4, 4));
  EXPECT_FALSE(dark(10, 4));
  EXPECT_FALSE(dark(4, 10));
  EXPECT_FALSE(dark(10, 10));
}

// --- mirrored layout, glyph strips, pictures, the header's properties

// A strip of `frames` frames of 13 x 13, frame i filled with colours[i].
TBitmap Strip(const std::vector<TColor>& colours) {
  TBitmap b(13 * static_cast<int>(colours.size()), 13);
  for (std::size_t i = 0; i < colours.size(); ++i) b.Fill(Rect(13 * int(i), 0, 13 * int(i) + 13, 13), colours[i]);
  return b;
}

TEST(MtTreeLayoutMirror, MirroredCellHasThePiecesRightToLeft) {
  TMtTreeLook look;
  look.ShowCheckboxes = true;
  look.ImageWidth = look.ImageHeight = 16;
  look.ImageCount = 1;
  TMtTree model;
  TMtTreeItem* parent = model.Items()->AddChild(nullptr, "P");
  TMtTreeItem* item = model.Items()->AddChild(parent, "C");
  item->ShowCheckBox = true;
  model.Items()->AddChild(item, "G");
  parent->Expand(true);
  const TMtMainCell plain = MtLayoutMainCell(look, *item, 0, 200, 0, 19, 30, 0, -1);
  look.RightAligned = true;
  const TMtMainCell mirrored = MtLayoutMainCell(look, *item, 0, 200, 0, 19, 30, 0, -1);
  // Every piece at the mirrored place: [l, r) goes to [200 - r, 200 - l).
  auto mirror = [](const TRect& r) { return Rect(200 - r.Right, r.Top, 200 - r.Left, r.Bottom); };
  EXPECT_EQ(mirrored.Button, mirror(plain.Button));
  EXPECT_EQ(mirrored.CheckBox, mirror(plain.CheckBox));
  EXPECT_EQ(mirrored.Image, mirror(plain.Image));
  EXPECT_EQ(mirrored.TextLeft, 200 - plain.TextRight);
  EXPECT_EQ(mirrored.TextRight, 200 - plain.TextLeft);
  EXPECT_EQ(mirrored.Button.Right, 200 - 17);  // the root column is at the right edge
  // The hit parts follow: a point and its mirror hit the same part.
  for (int x = 0; x < 200; ++x) EXPECT_EQ(MtMainCellPartAt(mirrored, 199 - x), MtMainCellPartAt(plain, x)) << x;
  // The lines too, pixel for pixel.
  look.RightAligned = false;
  const auto a = MtTreeLines(look, *item, 0, 200, 0, 19);
  look.RightAligned = true;
  const auto b = MtTreeLines(look, *item, 0, 200, 0, 19);
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) {
    EXPECT_EQ(b[i].X1, 199 - a[i].X1);
    EXPECT_EQ(b[i].X2, 199 - a[i].X2);
  }
  // Glyph frames.
  EXPECT_EQ(MtCheckGlyphFrame(false, cbsGrayed, true), 2);
  EXPECT_EQ(MtCheckGlyphFrame(false, cbsChecked, false), 4);
  EXPECT_EQ(MtCheckGlyphFrame(true, cbsChecked, true), 1);
  EXPECT_EQ(MtCheckGlyphFrame(true, cbsUnchecked, false), 2);
  EXPECT_EQ(MtCheckGlyphFrame(true, cbsGrayed, true), 1);  // a radio button has no grayed frame
}

TEST_F(TreeTest, APasswordMainColumnIsMaskedToo) {
  tree->Header().Sections().GetSectionByPos(0)->SetPassword(true);
  TRecordingCanvas canvas(Rect(0, 0, tree->ClientWidth(), tree->ClientHeight()), &metrics);
  canvas.Font = tree->Font();
  tree->Paint(canvas);
  std::vector<std::string> texts;
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Text)) texts.push_back(op->Text);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "******"), 6);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "P1"), 0);
  tree->LineHintMode = THintModes::shmAll;
  EXPECT_EQ(tree->LineHintText(RowY(1)), "******");
}

TEST_F(TreeTest, CellStylesGiveFontTextFlagsAndTextBackground) {
  // P1's main style and its Kcal style keep their own look (OwnerProps off).
  p1->UseStyles = true;
  TMtCellStyle* main = p1->MainStyle();
  TMtCellStyle* kcal = p1->AddStyle();
  for (TMtCellStyle* style : {main, kcal}) {
    style->OwnerProps = false;
    style->CellBkColor = clWindow;
    style->CellTextColor = clBlack;
    style->CellTextBkColor = clYellow;
    style->FontStyles = fsBold | fsItalic;
    style->FontName = "Liberation Serif";
  }
  main->TextFlags = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
  kcal->TextFlags = DT_SINGLELINE | DT_BOTTOM | DT_LEFT;
  TRecordingCanvas canvas(Rect(0, 0, tree->ClientWidth(), tree->ClientHeight()), &metrics);
  canvas.Font = tree->Font();
  tree->Paint(canvas);
  const TRecordingCanvas::TOp* name = nullptr;
  const TRecordingCanvas::TOp* value = nullptr;
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Text)) {
    if (op->Text == "P1") name = op;
    if (op->Text == "100") value = op;
  }
  ASSERT_NE(name, nullptr);
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(name->Flags, unsigned(DT_SINGLELINE | DT_VCENTER | DT_CENTER));
  EXPECT_EQ(value->Flags, unsigned(DT_SINGLELINE | DT_BOTTOM | DT_LEFT));  // not the section's right
  for (const auto* op : {name, value}) {
    EXPECT_EQ(op->Font.Style & (fsBold | fsItalic), fsBold | fsItalic);
    EXPECT_EQ(op->Font.Name, "Liberation Serif");
  }
  // The text background: a yellow fill behind each text of the row (Veight, without a style
  // of its own, takes the main style).
  int fills = 0;
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::FillRect))
    if (op->Brush.Color == clYellow && op->R.Top >= name->R.Top && op->R.Bottom <= name->R.Bottom) ++fills;
  EXPECT_EQ(fills, 3);
}

TEST_F(TreeTest, MirroredTreeEditorCoversTheTextCellFromTheRight) {
  for (int i = 0; i < 3; ++i) tree->Header().Sections().GetSectionByPos(i)->SetFieldType(sftText);
  tree->SetRightAlignedTree(true);
  tree->SetShowCheckboxes(true);
  p1->ShowCheckBox = true;
  // The main column (120..270): the editor covers the text cell as painted, from the
  // column's left edge to where the text starts next to the check box, and reads from
  // the right; not the check box and the tree lines.
  tree->EditItem(p1, 0);
  ASSERT_NE(tree->InplaceEdit(), nullptr);
  const int top = RowY(1) - 5;
  const TMtMainCell cell = tree->MainCellOf(p1, top);
  int left = 0, right = 0;
  tree->MainColumnSpan(left, right);
  const QRect r = tree->InplaceEdit()->geometry();
  EXPECT_EQ(r.left(), left - tree->LeftPosition());
  EXPECT_EQ(r.left() + r.width(), cell.TextRight - tree->LeftPosition());
  EXPECT_LE(r.left() + r.width(), cell.CheckBox.Left - tree->LeftPosition());
  EXPECT_EQ(r.top(), top);
  EXPECT_TRUE(tree->InplaceEdit()->alignment() & Qt::AlignRight);
  tree->EndEdit(true);
  // Another column keeps its cell and its section's alignment (Kcal: right, 60..120).
  tree->EditItem(p1, 1);
  ASSERT_NE(tree->InplaceEdit(), nullptr);
  EXPECT_EQ(tree->InplaceEdit()->geometry().left(), 60);
  EXPECT_EQ(tree->InplaceEdit()->geometry().width(), 60);
  EXPECT_TRUE(tree->InplaceEdit()->alignment() & Qt::AlignRight);
  tree->EndEdit(true);
  tree->EditItem(p1, 2);  // Veight: left, 0..60
  EXPECT_EQ(tree->InplaceEdit()->geometry().left(), 0);
  EXPECT_TRUE(tree->InplaceEdit()->alignment() & Qt::AlignLeft);
  tree->EndEdit(true);
}

TEST_F(TreeTest, MirroredTreeHitsPaintsAndSwapsLeftRight) {
  tree->SetRightAlignedTree(true);
  EXPECT_TRUE(tree->Header().RightAlignedOrder());
  // The columns in reverse order: Veight 0..60, Kcal 60..120, Name 120..270.
  int left = 0, right = 0;
  tree->MainColumnSpan(left, right);
  EXPECT_EQ(left, 120);
  EXPECT_EQ(right, 270);
  int section = -1, part = -1;
  // D1's button in the root column at the right edge of the main column.
  EXPECT_EQ(tree->GetItemAt(265, RowY(0), section, part), d1);
  EXPECT_EQ(part, hpButton);
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, 265, RowY(0));
  EXPECT_FALSE(d1->GetExpanded());
  tree->MouseDown(TMouseButton::mbLeft, ssLeft, 265, RowY(0));
  ASSERT_TRUE(d1->GetExpanded());
  // P1's text ends 34 pixels left of the right edge.
  EXPECT_EQ(tree->GetItemAt(270 - 36, RowY(1), section, part), p1);
  EXPECT_EQ(part, hpText);
  EXPECT_EQ(tree->GetItemAt(30, RowY(1), section, part), p1);
  EXPECT_EQ(part, hpColumn);
  EXPECT_EQ(section, 2);
  // The text is painted where it is hit.
  TRecordingCanvas canvas(Rect(0, 0, tree->ClientWidth(), tree->ClientHeight()), &metrics);
  canvas.Font = tree->Font();
  tree->Paint(canvas);
  bool painted = false;
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Text))
    if (op->Text == "P1") painted = op->R.Left < 270 - 34 && op->R.Right <= 270 - 34 + 1;
  EXPECT_TRUE(painted);
  // Left and Right swap: Right closes an open item, Left opens it.
  tree->SetItemFocused(d1);
  Key(VK_RIGHT);
  EXPECT_FALSE(d1->GetExpanded());
  Key(VK_LEFT);
  EXPECT_TRUE(d1->GetExpanded());
  Key(VK_LEFT);
  EXPECT_EQ(tree->ItemFocused(), p1);
  tree->SetRightAlignedTree(false);
  EXPECT_FALSE(tree->Header().RightAlignedOrder());
  tree->CheckInvariants();
}

// A mirrored tree reads from the right: narrower than its columns, it shows their right
// end, where the main column has its buttons and its texts begin.
TEST_F(TreeTest, MirroredTreeNarrowerThanItsColumnsShowsTheirRightEnd) {
  tree->SetRightAlignedTree(true);
  tree->resize(200, 200);  // the columns: Veight 0..60, Kcal 60..120, Name 120..270
  QApplication::processEvents();
  const int most = 270 - tree->ClientWidth();
  ASSERT_GT(most, 0);
  EXPECT_EQ(tree->LeftPosition(), most);
  // D1's button at the right edge of the main column is on screen, and hit there.
  const TMtMainCell cell = tree->MainCellOf(d1, RowY(0) - 5);
  const int buttonX = cell.Button.Left + 8 - tree->LeftPosition();
  ASSERT_TRUE(buttonX >= 0 && buttonX < tree->ClientWidth());
  int section = -1, part = -1;
  EXPECT_EQ(tree->GetItemAt(buttonX, RowY(0), section, part), d1);
  EXPECT_EQ(part, hpButton);
  const QString path = QString::fromLocal8Bit(qgetenv("TARNWICK_PNG_DIR"));
  if (!path.isEmpty()) tree->grab().toImage().save(path + "/tree-mirrored-narrow.png");
  // The header moves with the rows.
  EXPECT_EQ(tree->Header().x(), -most);
  // Scrolled 10 pixels away from the end, the view keeps that distance when the tree widens.
  tree->SetLeftPosition(most - 10);
  tree->resize(220, 200);
  QApplication::processEvents();
  EXPECT_EQ(tree->LeftPosition(), 270 - tree->ClientWidth() - 10);
  tree->CheckInvariants();

  // Without a header the single column is as wide as the widest item.
  tree->SetShowColumns(false);
  p4->SetText(AnsiString(60, 'W'));  // 360 pixels of text
  QApplication::processEvents();
  ASSERT_GT(tree->ColumnsWidth(), tree->ClientWidth());
  tree->SetRightAlignedTree(false);
  tree->SetRightAlignedTree(true);
  QApplication::processEvents();
  EXPECT_EQ(tree->LeftPosition(), tree->ColumnsWidth() - tree->ClientWidth());
  // P4's text starts next to the right edge: its first pixels are painted on screen.
  const TMtMainCell p4cell = tree->MainCellOf(p4, RowY(5) - 5);
  const int textStart = p4cell.TextRight - 1 - tree->LeftPosition();
  EXPECT_TRUE(textStart >= 0 && textStart < tree->ClientWidth()) << textStart;
  EXPECT_EQ(tree->GetItemAt(textStart - 2, RowY(5), section, part), p4);
  EXPECT_EQ(part, hpText);
  if (!path.isEmpty()) tree->grab().toImage().save(path + "/tree-mirrored-narrow-noheader.png");
  tree->CheckInvariants();
}

TEST_F(TreeTest, CustomGlyphsAndPlusMinusPictures) {
  tree->SetShowCheckboxes(true);
  p1->ShowCheckBox = true;
  p1->SetChecked(true);
  p2->ShowCheckBox = true;
  p2->CheckBoxType = cbtRadioButton;
  p2->SetChecked(true);
  tree->SetCheckBoxGlyph(Strip({clWhite, clRed, clGray, clSilver, clMaroon, clSilver}));
  tree->SetRadioButtonGlyph(Strip({clWhite, clBlue, clSilver, clNavy}));
  tree->SetCustomCheckboxes(true);
  tree->CustomPlusMinus = true;
  tree->PlusPicture = TBitmap(9, 9, clLime);
  tree->MinusPicture = TBitmap(9, 9, clFuchsia);
  d2->Collapse(false);
  const QImage shot = tree->RenderToImage();
  auto at = [&](TMtTreeItem* item, int dx) {
    const TMtMainCell cell = tree->MainCellOf(item, RowY(tree->RowOf(item)) - 5);
    return FromQColor(shot.pixelColor(cell.CheckBox.Left + dx, cell.CheckBox.Top + 6));
  };
  // The frame of the state, 13 pixels wide: the text starts 15 pixels after the box's slot.
  const TMtMainCell cell = tree->MainCellOf(p1, RowY(1) - 5);
  EXPECT_EQ(cell.CheckBox.Width(), 13);
  EXPECT_EQ(cell.TextLeft, 34 + 15);
  EXPECT_EQ(at(p1, 6), ColorToRGB(clRed));
  EXPECT_EQ(at(p2, 6), ColorToRGB(clBlue));
  p1->Enabled = false;
  const QImage off = tree->RenderToImage();
  EXPECT_EQ(FromQColor(off.pixelColor(cell.CheckBox.Left + 6, cell.CheckBox.Top + 6)), ColorToRGB(clMaroon));
  // A hit on the glyph frame is a check-box hit.
  int section = -1, part = -1;
  tree->GetItemAt(cell.CheckBox.Left + 1, RowY(2), section, part);
  EXPECT_EQ(part, hpCheckBox);
  // The pictures: minus on the open D1, plus on the closed D2.
  EXPECT_EQ(FromQColor(shot.pixelColor(8, RowY(0))), ColorToRGB(clFuchsia));
  EXPECT_EQ(FromQColor(shot.pixelColor(8, RowY(4))), ColorToRGB(clLime));
  tree->CustomPlusMinus = false;
  EXPECT_NE(FromQColor(tree->RenderToImage().pixelColor(8, RowY(4))), ColorToRGB(clLime));
}

TEST_F(TreeTest, MirroredTreeWithGlyphsRendersToPng) {
  tree->SetShowCheckboxes(true);
  for (TMtTreeItem* i : {p1, p2, p3, p4}) i->ShowCheckBox = true;
  p1->SetChecked(true);
  p3->CheckBoxType = cbtThreeState;
  p3->SetCheckBoxState(cbsGrayed);
  p4->CheckBoxType = cbtRadioButton;
  p4->SetChecked(true);
  p2->SetText("Buckwheat groats");
  tree->SetCheckBoxGlyph(Strip({clWhite, clGreen, clGray, clSilver, clOlive, clSilver}));
  tree->SetRadioButtonGlyph(Strip({clWhite, clBlue, clSilver, clNavy}));
  tree->SetCustomCheckboxes(true);
  tree->CustomPlusMinus = true;
  TBitmap plus(11, 11, clWhite), minus(11, 11, clWhite);
  for (int i = 2; i < 9; ++i) {
    plus.SetPixel(i, 5, clRed), plus.SetPixel(5, i, clRed), minus.SetPixel(i, 5, clBlue);
  }
  tree->PlusPicture = plus;
  tree->MinusPicture = minus;
  d2->Collapse(false);
  tree->SetRightAlignedTree(true);
  tree->SetRightAlignedText(true);
  tree->SetItemFocused(p2);
  const QImage shot = tree->grab().toImage();
  ASSERT_FALSE(shot.isNull());
  const QString path = QString::fromLocal8Bit(qgetenv("TARNWICK_PNG_DIR"));
  if (!path.isEmpty()) shot.save(path + "/tree-mirrored.png");
  // The glyphs sit at the right end of the main column (Name, last after the reversal).
  const TMtMainCell cell = tree->MainCellOf(p1, RowY(1) - 5);
  EXPECT_GT(cell.CheckBox.Left, 200);
  EXPECT_EQ(FromQColor(tree->RenderToImage().pixelColor(cell.CheckBox.Left + 6, RowY(1))), ColorToRGB(clGreen));
}

TEST_F(TreeTest, HeaderPropertiesAreTheTreesToo) {
  TImageList images(16, 16);
  tree->SetHeaderFlat(true);
  tree->SetHeaderHotTrack(false);
  tree->SetLockHeaderHeight(true);
  tree->SetStickyHeaderSections(true);
  tree->SetHeaderFilterColor(clRed);
  tree->SetHeaderActiveFilterColor(clGreen);
  tree->SetHeaderImages(&images);
  tree->SetDraggableSections(true);
  tree->SetMoveColumnOnDrag(true);
  tree->SetHeaderHeight(30);
  TMtTreeHeader& h = tree->Header();
  EXPECT_TRUE(h.Flat() && tree->HeaderFlat());
  EXPECT_FALSE(h.Tracking() || tree->HeaderHotTrack());
  EXPECT_TRUE(h.LockHeight() && tree->LockHeaderHeight());
  EXPECT_TRUE(h.StickySections() && tree->StickyHeaderSections());
  EXPECT_EQ(h.FilterColor, clRed);
  EXPECT_EQ(h.ActiveFilterColor, clGreen);
  EXPECT_EQ(h.Images(), &images);
  EXPECT_TRUE(h.AllowDrag && h.MoveOnDrag && tree->DraggableSections() && tree->MoveColumnOnDrag());
  QApplication::processEvents();
  EXPECT_EQ(tree->HeaderHeight(), 30);
  EXPECT_EQ(tree->GetItemAtY(31), d1);  // the rows start below the taller header
  tree->SetHeaderImages(nullptr);
  tree->CheckInvariants();
}

TEST(FlatScrollBar, PartsFromPageRangeAndPosition) {
  struct Case {
    TRect r;
    bool vertical;
    int max, page, pos;
    TRect low, high, thumb;
  } cases[] = {
      // 100 long, 16 thick: arrows 16, track 68; page 10 of 0..29 + 10 = 40: thumb 17.
      {Rect(0, 0, 16, 100), true, 30, 10, 0, Rect(0, 0, 16, 16), Rect(0, 84, 16, 100), Rect(0, 16, 16, 33)},
      {Rect(0, 0, 16, 100), true, 30, 10, 30, Rect(0, 0, 16, 16), Rect(0, 84, 16, 100), Rect(0, 67, 16, 84)},
      // A tiny page: the thumb keeps its least length (8).
      {Rect(0, 0, 100, 16), false, 10000, 1, 0, Rect(0, 0, 16, 16), Rect(84, 0, 100, 16), Rect(16, 0, 24, 16)},
      // Nothing to scroll: no thumb; a bar shorter than two boxes halves them.
      {Rect(0, 0, 16, 100), true, 0, 10, 0, Rect(0, 0, 16, 16), Rect(0, 84, 16, 100), TRect{}},
      {Rect(0, 0, 16, 20), true, 5, 1, 2, Rect(0, 0, 16, 10), Rect(0, 10, 16, 20), TRect{}},
  };
  for (const Case& c : cases) {
    const TFlatScrollBarParts p = FlatScrollBarParts(c.r, c.vertical, c.max, c.page, c.pos, 8);
    EXPECT_EQ(p.ArrowLow, c.low);
    EXPECT_EQ(p.ArrowHigh, c.high);
    EXPECT_EQ(p.Thumb.IsEmpty(), c.thumb.IsEmpty());
    if (!c.thumb.IsEmpty()) {
      EXPECT_EQ(p.Thumb, c.thumb);
    }
  }
}

TEST(MtGuiUtilsTest, GetOwnerFormFindsTheFormAboveOrNil) {
  TForm form;
  auto* panel = new TPanel(&form);
  auto* onForm = new TMtTree(panel);
  QWidget plain;  // a window that is no form
  auto* onPlain = new TMtTree(&plain);
  TMtTree alone;
  EXPECT_EQ(GetOwnerForm(onForm), &form);
  EXPECT_EQ(GetOwnerForm(panel), &form);
  EXPECT_EQ(GetOwnerForm(onPlain), nullptr);
  EXPECT_EQ(GetOwnerForm(&alone), nullptr);
  EXPECT_EQ(GetOwnerForm(nullptr), nullptr);
}

// Flat: the frame is the flat frame in the tree's background colour: a sunken edge
// (button shadow at the top and left, highlight at the bottom and right) and, while the
// tree has the focus, an inner edge in button text and 3-D light; else the inner ring
// keeps the background colour.
TEST_F(TreeTest, FlatTreeDrawsTheFlatFrameByFocus) {
  tree->BkColor = clYellow;
  tree->SetFlat(true);
  QApplication::processEvents();
  struct Case {
    bool focused;
    TColor outerTopLeft, outerBottomRight, innerTopLeft, innerBottomRight;
  } cases[] = {
      {true, clBtnShadow, clBtnHighlight, clBtnText, cl3DLight},
      {false, clBtnShadow, clBtnHighlight, clYellow, clYellow},
  };
  TEdit other(tree.get());  // takes the focus away, clear of the frame
  other.setGeometry(150, 80, 30, 20);
  other.show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.focused);
    if (c.focused) tree->SetFocus();
    else other.setFocus();
    QApplication::processEvents();
    ASSERT_EQ(tree->Focused(), c.focused);
    const QImage shot = tree->grab().toImage();
    const QString path = QString::fromLocal8Bit(qgetenv("TARNWICK_PNG_DIR"));
    if (!path.isEmpty()) shot.save(path + (c.focused ? "/tree-flat-focused.png" : "/tree-flat-unfocused.png"));
    const int w = shot.width(), h = shot.height(), mid = 60;
    auto at = [&](int x, int y) { return FromQColor(shot.pixelColor(x, y)); };
    EXPECT_EQ(at(mid, 0), ColorToRGB(c.outerTopLeft));
    EXPECT_EQ(at(0, mid), ColorToRGB(c.outerTopLeft));
    EXPECT_EQ(at(mid, h - 1), ColorToRGB(c.outerBottomRight));
    EXPECT_EQ(at(w - 1, mid), ColorToRGB(c.outerBottomRight));
    EXPECT_EQ(at(mid, 1), ColorToRGB(c.innerTopLeft));
    EXPECT_EQ(at(1, mid), ColorToRGB(c.innerTopLeft));
    EXPECT_EQ(at(mid, h - 2), ColorToRGB(c.innerBottomRight));
    EXPECT_EQ(at(w - 2, mid), ColorToRGB(c.innerBottomRight));
  }
}

TEST_F(TreeTest, FlatScrollBarsAreDrawnAndHitAsDrawn) {
  for (int i = 0; i < 20; ++i) Add(nullptr, "X", "1");
  tree->resize(300, 120);
  QApplication::processEvents();
  auto* bar = dynamic_cast<TFlatScrollBar*>(tree->verticalScrollBar());
  ASSERT_NE(bar, nullptr);
  ASSERT_TRUE(bar->isVisible());
  EXPECT_FALSE(bar->Flat());
  tree->SetFlat(true);
  ASSERT_TRUE(tree->Focused());
  EXPECT_TRUE(bar->Flat());  // FlatFocusedScrollbars: flat also while focused
  tree->SetFlatFocusedScrollbars(false);
  EXPECT_FALSE(bar->Flat());
  tree->SetFlatFocusedScrollbars(true);
  const QImage shot = bar->grab().toImage();
  const QString path = QString::fromLocal8Bit(qgetenv("TARNWICK_PNG_DIR"));
  if (!path.isEmpty()) tree->grab().toImage().save(path + "/tree-flat.png");
  // The arrow box's frame, the track and the thumb as DrawFlatScrollbar lays them out.
  const TFlatScrollBarParts parts = FlatScrollBarParts(Rect(0, 0, bar->width(), bar->height()), true,
                                                       bar->maximum(), bar->pageStep(), bar->value(),
                                                       std::max(bar->width() / 2, 8));
  ASSERT_FALSE(parts.Thumb.IsEmpty());
  EXPECT_EQ(FromQColor(shot.pixelColor(0, 0)), ColorToRGB(clBtnText));  // focused frame
  EXPECT_EQ(FromQColor(shot.pixelColor(bar->width() / 2, parts.Thumb.Bottom + 3)), ColorToRGB(clBtnFace));
  EXPECT_EQ(FromQColor(shot.pixelColor(bar->width() / 2, parts.Thumb.Top + 3)), ColorToRGB(clBtnHighlight));
  // A click on the lower arrow box scrolls a row down; one on the track below the thumb a page.
  std::vector<TScrollCode> codes;
  tree->OnScroll = [&](TObject*, TScrollBarKind, TScrollCode code) { codes.push_back(code); };
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(bar->width() / 2, parts.ArrowHigh.Top + 2),
                    bar->mapToGlobal(QPointF(bar->width() / 2, parts.ArrowHigh.Top + 2)), Qt::LeftButton,
                    Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(bar, &press);
  EXPECT_EQ(tree->TopIndex(), 1);
  QMouseEvent page(QEvent::MouseButtonPress, QPointF(bar->width() / 2, parts.ArrowHigh.Top - 2),
                   bar->mapToGlobal(QPointF(bar->width() / 2, parts.ArrowHigh.Top - 2)), Qt::LeftButton,
                   Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(bar, &page);
  EXPECT_EQ(codes, (std::vector<TScrollCode>{TScrollCode::scLineDown, TScrollCode::scPageDown}));
  EXPECT_GT(tree->TopIndex(), 1);
  tree->CheckInvariants();
}

TEST_F(TreeTest, HeaderEventsReachTheTreesEventsThroughItsFirers) {
  TMtHeaderSection* kcal = tree->Header().Sections().FindByNumber(1);
  tree->OnHeaderColumnResize = [&](TObject* sender, int index) {
    EXPECT_EQ(dynamic_cast<TMtTree*>(sender), tree.get());
    log.push_back("resize " + std::to_string(index));
  };
  tree->OnHeaderColumnMove = [&](TObject*, TMtHeaderSection* s, int from, int to) {
    log.push_back("move " + std::to_string(s->GetIndex()) + " " + std::to_string(from) + ">" + std::to_string(to));
  };
  tree->OnHeaderSectionExpand = [&](TObject*, TMtHeaderSection* s) { log.push_back("expand " + std::to_string(s->GetIndex())); };
  tree->OnHeaderSectionCollapse = [&](TObject*, TMtHeaderSection* s) {
    log.push_back("collapse " + std::to_string(s->GetIndex()));
  };
  tree->OnHeaderColumnDraw = [&](TObject*, TMtHeaderSection* s, const TRect&, bool pressed) {
    log.push_back("draw " + std::to_string(s->GetIndex()) + (pressed ? " pressed" : ""));
  };
  TakeLog();
  tree->Header().DoSectionResize(kcal);
  tree->Header().DoSectionMove(kcal, 1, 2);
  tree->Header().DoSectionExpand(kcal);
  tree->Header().DoSectionCollapse(kcal);
  tree->Header().DoSectionDraw(kcal, Rect(0, 0, 10, 10), true);
  EXPECT_EQ(TakeLog(), (Log{"resize 1", "move 1 1>2", "expand 1", "collapse 1", "draw 1 pressed"}));
  tree->CheckInvariants();
}

}  // namespace
