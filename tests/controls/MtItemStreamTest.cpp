// The item stream: byte layouts, round trips, the load and save events, damaged and deep
// streams.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "TreeFixture.h"
#include "test_support/FuzzCases.h"
#include "test_support/ItemStreamFuzzHooks.h"

namespace {

using Strings = std::vector<std::string>;

// Little-endian bytes, assembled by hand.
struct Bytes {
  std::string b;
  Bytes& i32(std::int32_t v) {
    for (int i = 0; i < 4; ++i) b += static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * i));
    return *this;
  }
  Bytes& i16(std::uint16_t v) {
    b += static_cast<char>(v & 0xFF);
    b += static_cast<char>(v >> 8);
    return *this;
  }
  Bytes& u8(int v) {
    b += static_cast<char>(v);
    return *this;
  }
  Bytes& zeros(int n) {
    b.append(static_cast<std::size_t>(n), '\0');
    return *this;
  }
  Bytes& raw(const std::string& s) {
    b += s;
    return *this;
  }
  Bytes& str(const std::string& s) { return i32(static_cast<std::int32_t>(s.size())).raw(s); }
  Bytes& add(const Bytes& other) { return raw(other.b); }
};

// The fields of the fixed blocks, with the defaults of a new item.
struct Fields {
  std::uint16_t state = 0;
  std::int32_t image = -1, stateImage = -1, image2 = -1, stateImage2 = -1;
  std::int32_t forceButtons = 0;
  std::uint32_t color = 0, bkColor = 0;
  int parentColors = 1, parentStyle = 1, checkBoxEnabled = 1, checkBoxState = 0, showCheckBox = 0,
      checkBoxType = 0, enabled = 1, hidden = 0;
};

// The 44-byte block of markers -5 and -4, reserved bytes filled with `fill`.
Bytes Block44(const Fields& f, int fill = 0) {
  Bytes x;
  x.i16(f.state).u8(fill).u8(fill).i32(f.image).i32(f.stateImage).i32(f.forceButtons);
  x.i32(static_cast<std::int32_t>(f.color)).i32(static_cast<std::int32_t>(f.bkColor));
  x.u8(f.parentColors).u8(f.parentStyle).u8(f.checkBoxEnabled).u8(f.checkBoxState).u8(f.showCheckBox);
  x.u8(f.checkBoxType).u8(fill).u8(fill).i32(f.image2).i32(f.stateImage2).u8(f.enabled).u8(f.hidden);
  return x.u8(fill).u8(fill);
}

// The 32-byte block of marker -3.
Bytes Block32(const Fields& f, int fill = 0) {
  Bytes x = Block44(f, fill);
  x.b.resize(30);
  return x.u8(fill).u8(fill);
}

// The 36-byte block of the old layout.
Bytes Block36(const Fields& f, int fill = 0) {
  Bytes x;
  x.i16(f.state).u8(fill).u8(fill).i32(f.image).i32(f.stateImage).i32(f.forceButtons);
  for (int i = 0; i < 8; ++i) x.u8(fill);
  x.i32(static_cast<std::int32_t>(f.color)).i32(static_cast<std::int32_t>(f.bkColor));
  return x.u8(f.parentColors).u8(f.parentStyle).u8(fill).u8(fill);
}

struct StyleFields {
  std::uint32_t cellBk = 0, textBk = 0, text = 0, flags = kMtDefaultCellTextFlags;
  int cellType = sftText, style = MthsText, ownerProps = 1;
  std::int32_t fontSize = 8;
  int fontStyles = 0;
  std::int32_t user = 0;
  std::string fontName = "MS Sans Serif";
};

Bytes StyleBlock(const StyleFields& s, std::int32_t picture = 0, int fill = 0) {
  Bytes x;
  x.i32(static_cast<std::int32_t>(s.cellBk)).i32(static_cast<std::int32_t>(s.textBk));
  x.i32(static_cast<std::int32_t>(s.text)).i32(static_cast<std::int32_t>(s.flags)).i32(picture);
  x.u8(s.cellType).u8(s.style).u8(s.ownerProps).u8(fill).i32(s.fontSize).u8(s.fontStyles);
  x.u8(fill).u8(fill).u8(fill).i32(s.user);
  return x.str(s.fontName);
}

std::string Save(TCustomMtTree& tree) {
  TMemoryStream s;
  tree.Items()->SaveToStream(s);
  return s.Bytes();
}

void Load(TCustomMtTree& tree, const std::string& bytes) {
  TMemoryStream s(bytes);
  tree.Items()->LoadFromStream(s);
}

int Reachable(TCustomMtTree& tree) {
  std::vector<TMtTreeItem*> all;
  PreOrder(tree.Items()->Root(), all, false, false);
  return static_cast<int>(all.size());
}

std::string DescribeStyle(const TMtCellStyle& s) {
  return std::to_string(s.UserValue) + "/" + std::to_string(s.CellBkColor) + "/" + std::to_string(s.CellTextBkColor) +
         "/" + std::to_string(s.CellTextColor) + "/" + std::to_string(s.TextFlags) + "/" +
         std::to_string(s.CellType) + "/" + std::to_string(s.Style) + "/" + std::to_string(s.OwnerProps) + "/" +
         std::to_string(s.FontSize) + "/" + std::to_string(s.FontStyles) + "/" + s.FontName;
}

// Every field the stream carries.
std::string Describe(const TMtTreeItem* item) {
  std::string d = item->Text() + " state=" + std::to_string(item->State()) + " img=" +
                  std::to_string(item->ImageIndex) + "," + std::to_string(item->StateImageIndex) + "," +
                  std::to_string(item->ImageIndex2) + "," + std::to_string(item->StateImageIndex2) +
                  " force=" + std::to_string(item->ForceButtons) + " colors=" + std::to_string(item->Color()) + "," +
                  std::to_string(item->BkColor()) + "," + std::to_string(item->ParentColors()) + "," +
                  std::to_string(item->ParentStyle()) + " cb=" + std::to_string(item->CheckBoxEnabled) + "," +
                  std::to_string(item->CheckBoxState) + "," + std::to_string(item->ShowCheckBox) + "," +
                  std::to_string(item->CheckBoxType) + " en=" + std::to_string(item->Enabled) +
                  " hid=" + std::to_string(item->Hidden()) + " cols=[";
  for (int i = 0; i < item->ColumnText().Count(); ++i) d += item->ColumnText()[i] + "|";
  d += "] styles=" + std::to_string(item->UseStyles) + " main=" + DescribeStyle(*item->MainStyle());
  for (int i = 0; i < item->StyleCount(); ++i) d += " s" + std::to_string(i) + "=" + DescribeStyle(*item->Styles(i));
  return d + " children=" + std::to_string(item->GetChildrenCount());
}

Strings DescribeAll(TCustomMtTree& tree) {
  Strings out{Describe(tree.Items()->Root())};
  std::vector<TMtTreeItem*> all;
  PreOrder(tree.Items()->Root(), all, false, false);
  for (TMtTreeItem* item : all) out.push_back(Describe(item));
  return out;
}

// A tree with a value other than the default in every field of some item.
void BuildRich(LogTree& tree) {
  BuildItems(tree, nullptr, "A(A1(A11),A2),B,C");
  TMtTreeItem* a = Find(tree, "A");
  a->Expand(false);
  a->SetState(isBold, true);
  a->SetState(isStrikeOut, true);
  a->ColumnText().Add("100");
  a->ColumnText().Add(Ansi("Гречка"));
  a->ColumnText().Add("");
  a->ImageIndex = 3;
  a->StateImageIndex = 4;
  a->ImageIndex2 = 5;
  a->StateImageIndex2 = 6;
  a->ForceButtons = true;
  a->SetColor(0x00112233);
  a->SetBkColor(0x80000005);
  a->SetParentColors(false);
  a->SetParentStyle(false);
  TMtTreeItem* a1 = Find(tree, "A1");
  a1->CheckBoxEnabled = false;
  a1->CheckBoxState = cbsGrayed;
  a1->ShowCheckBox = true;
  a1->CheckBoxType = cbtThreeState;
  a1->Enabled = false;
  a1->SetHidden(true);
  a1->SetState(isCut, true);
  TMtTreeItem* b = Find(tree, "B");
  b->UseStyles = true;
  b->MainStyle()->UserValue = -7;
  b->MainStyle()->CellBkColor = 0xFF;
  b->MainStyle()->FontName = "Arial";
  TMtCellStyle* s = b->AddStyle();
  s->CellType = sftDate;
  s->Style = MthsOwnerDraw;
  s->OwnerProps = false;
  s->FontSize = 12;
  s->FontStyles = 1 | 8;
  s->TextFlags = 0x25;
  s->CellTextColor = 0x0000FF00;
  s->CellTextBkColor = 0x00FF0000;
  s->FontName = "";
  Find(tree, "C")->SetText(Ansi("Сухари \"ржаные\""));
}

// ---------------------------------------------------------------------------------
// The bytes written

TEST(MtItemStream, EmptyTreeWritesOneRootRecord) {
  LogTree tree;
  Fields root;
  root.state = 1 << isExpanded;
  const Bytes expected = Bytes().i32(-5).str("").add(Block44(root)).i32(0).u8(0).i32(0);
  ASSERT_EQ(expected.b.size(), 61u);
  EXPECT_EQ(Save(tree), expected.b);
  EXPECT_FALSE(tree.Items()->DataStored());
}

TEST(MtItemStream, WritesEveryFieldAtItsPlace) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1),B");
  TMtTreeItem* a = Find(tree, "A");
  a->Expand(false);
  a->SetState(isBold, true);
  a->ColumnText().Add("x");
  a->ColumnText().Add(Ansi("юг"));
  a->ImageIndex = 1;
  a->StateImageIndex = 2;
  a->ImageIndex2 = 3;
  a->StateImageIndex2 = 4;
  a->ForceButtons = true;
  a->SetColor(0x01020304);
  a->SetBkColor(0x80000005);
  a->SetParentColors(false);
  a->SetParentStyle(false);
  TMtTreeItem* a1 = Find(tree, "A1");
  a1->CheckBoxEnabled = false;
  a1->CheckBoxState = cbsChecked;
  a1->ShowCheckBox = true;
  a1->CheckBoxType = cbtRadioButton;
  a1->Enabled = false;
  a1->SetHidden(true);
  TMtTreeItem* b = Find(tree, "B");
  b->UseStyles = true;
  b->MainStyle()->UserValue = 0x01020304;
  b->MainStyle()->Picture = &tree;  // never written
  TMtCellStyle* s = b->AddStyle();
  s->CellBkColor = 1;
  s->CellTextBkColor = 2;
  s->CellTextColor = 3;
  s->TextFlags = 4;
  s->CellType = sftTime;
  s->Style = MthsPictureOnly;
  s->OwnerProps = false;
  s->FontSize = -11;
  s->FontStyles = 2;
  s->FontName = "Arial";

  Fields root, fa, fa1, fb;
  root.state = 1 << isExpanded;
  fa.state = (1 << isExpanded) | (1 << isBold);
  fa.image = 1, fa.stateImage = 2, fa.image2 = 3, fa.stateImage2 = 4, fa.forceButtons = -1;
  fa.color = 0x01020304, fa.bkColor = 0x80000005, fa.parentColors = 0, fa.parentStyle = 0;
  fa1.checkBoxEnabled = 0, fa1.checkBoxState = 1, fa1.showCheckBox = 1, fa1.checkBoxType = 2;
  fa1.enabled = 0, fa1.hidden = 1;
  StyleFields main, further;
  main.user = 0x01020304;
  further.cellBk = 1, further.textBk = 2, further.text = 3, further.flags = 4, further.cellType = sftTime;
  further.style = MthsPictureOnly, further.ownerProps = 0, further.fontSize = -11, further.fontStyles = 2;
  further.fontName = "Arial";
  further.user = 0x01020304;  // taken from the main style by AddStyle
  Bytes expected;
  expected.i32(-5).str("").add(Block44(root)).i32(0).u8(0).i32(2);
  expected.i32(-5).str("A").add(Block44(fa)).i32(2).str("x").str(Ansi("юг")).u8(0).i32(1);
  expected.i32(-5).str("A1").add(Block44(fa1)).i32(0).u8(0).i32(0);
  expected.i32(-5).str("B").add(Block44(fb)).i32(0).u8(1).u8(0).add(StyleBlock(main)).i32(1);
  expected.add(StyleBlock(further)).i32(0);
  EXPECT_EQ(Save(tree), expected.b);
  EXPECT_TRUE(tree.Items()->DataStored());
}

// ---------------------------------------------------------------------------------
// Every layout the reader accepts

TEST(MtItemStream, ReadsEveryLayout) {
  Fields f;
  f.state = (1 << isBold) | (1 << isFocused) | (1 << isSelected) | (1 << isExpanded);
  f.image = 10, f.stateImage = 11, f.forceButtons = 1, f.color = 0x123456, f.bkColor = 0x654321;
  f.parentColors = 0, f.parentStyle = 0, f.checkBoxEnabled = 0, f.checkBoxState = 2, f.showCheckBox = 1;
  f.checkBoxType = 1, f.image2 = 12, f.stateImage2 = 13, f.enabled = 0, f.hidden = 1;
  StyleFields style;
  style.user = 99, style.cellBk = 5, style.fontName = "Courier";
  const std::uint16_t readState = (1 << isBold) | (1 << isExpanded);

  // Each layout's record of one top-level item "Item" with column text "c", as the
  // stream of the root.
  struct Case {
    const char* name;
    Bytes record;
    // The item's expected description.
    std::string expected;
  };
  const std::string columns = " cols=[c|]";
  auto describe = [](const std::string& blockPart, const std::string& cols, const std::string& styles) {
    return "Item " + blockPart + cols + styles + " children=0";
  };
  const std::string defaultMain = " main=0/0/0/0/" + std::to_string(kMtDefaultCellTextFlags) + "/1/0/1/8/0/MS Sans Serif";
  const std::string readMain = " main=99/5/0/0/" + std::to_string(kMtDefaultCellTextFlags) + "/1/0/1/8/0/Courier";
  const std::string full = "state=" + std::to_string(readState) +
                           " img=10,11,12,13 force=1 colors=1193046,6636321,0,0 cb=0,2,1,1 en=0";
  const std::string shortBlock = "state=" + std::to_string(readState) +
                                 " img=10,11,-1,-1 force=1 colors=1193046,6636321,0,0 cb=0,2,1,1 en=1";
  const std::string oldBlock = "state=" + std::to_string(readState) +
                               " img=10,11,-1,-1 force=1 colors=1193046,6636321,0,0 cb=1,0,0,0 en=1";
  // The old block carries the colours at 24 and 28; what -5 has there must not be read.
  const std::vector<Case> cases = {
      {"-5", Bytes().i32(-5).str("Item").add(Block44(f, 0xAA)).i32(1).str("c").u8(0).i32(0),
       describe(full + " hid=1", columns, " styles=0" + defaultMain)},
      {"-5 styles", Bytes().i32(-5).str("Item").add(Block44(f)).i32(1).str("c").u8(1).u8(0).add(StyleBlock(style, 1234, 0x55)).i32(0).i32(0),
       describe(full + " hid=1", columns, " styles=1" + readMain)},
      {"-4", Bytes().i32(-4).str("Item").add(Block44(f)).i32(1).str("c").u8(0).i32(0),
       describe(full + " hid=0", columns, " styles=0" + defaultMain)},
      {"-3", Bytes().i32(-3).str("Item").add(Block32(f, 0x77)).i32(1).str("c").u8(1).u8(0).add(StyleBlock(style)).i32(0).i32(0),
       describe(shortBlock + " hid=0", columns, " styles=1" + readMain)},
      {"old", Bytes().i32(4).raw("Item").add(Block36(f, 0x33)).i32(1).str("c").i32(0),
       describe(oldBlock + " hid=0", columns, " styles=0" + defaultMain)},
      {"-1", Bytes().i32(-1).str("Item").add(Block36(f)).i32(1).str("c").u8(1).add(StyleBlock(style)).i32(0).i32(0),
       describe(oldBlock + " hid=0", columns, " styles=1" + readMain)},
      {"-2", Bytes().i32(-2).str("Item").add(Block36(f)).i32(1).str("c").u8(1).u8(0).add(StyleBlock(style)).i32(0).i32(0),
       describe(oldBlock + " hid=0", columns, " styles=1" + readMain)},
      {"-6", Bytes().i32(-6).str("Item").add(Block36(f)).i32(1).str("c").u8(0).i32(0),
       describe(oldBlock + " hid=0", columns, " styles=0" + defaultMain)},
      {"-2147483648", Bytes().i32(INT32_MIN).str("Item").add(Block36(f)).i32(1).str("c").u8(0).i32(0),
       describe(oldBlock + " hid=0", columns, " styles=0" + defaultMain)},
  };
  Fields root;
  root.state = 1 << isExpanded;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LogTree tree;
    const std::string bytes = Bytes().i32(-5).str("").add(Block44(root)).i32(0).u8(0).i32(1).add(c.record).b;
    Load(tree, bytes);
    ASSERT_EQ(tree.Items()->Count(), 1);
    TMtTreeItem* item = tree.Items()->GetItem(0);
    // Describe() prints the item's colours as unsigned numbers.
    std::string got = Describe(item);
    EXPECT_EQ(got, c.expected);
    EXPECT_EQ(tree.ItemFocused(), nullptr);
    EXPECT_EQ(tree.SelectedCount(), 0);
    EXPECT_EQ(tree.HiddenCount(), item->Hidden() ? 1 : 0);
  }
}

TEST(MtItemStream, OldLayoutHasNoStyleByte) {
  // First int32 7: seven text bytes, the 36-byte block, column texts, then the load
  // event's data and the child count with no UseStyles byte between.
  LogTree tree;
  Strings loaded;
  tree.OnItemLoad = [&](TObject*, TStream& s, TMtTreeItem* item) {
    loaded.push_back(item->Text() + ":" + std::to_string(s.ReadByte()));
  };
  Fields f;
  const std::string bytes =
      Bytes().i32(7).raw("OldRoot").add(Block36(f)).i32(0).u8(0x41).i32(1)
          .i32(5).raw("Child").add(Block36(f)).i32(0).u8(0x42).i32(0).b;
  Load(tree, bytes);
  EXPECT_EQ(Dump(tree), "Child");
  EXPECT_EQ(loaded, (Strings{"OldRoot:65", "Child:66"}));
  // The root stays expanded whatever its stored state says.
  EXPECT_TRUE(tree.Items()->Root()->GetExpanded());
}

TEST(MtItemStream, ValuesOutsideTheirRangeReadAsDefaults) {
  Fields f;
  f.forceButtons = 5, f.parentColors = 2, f.checkBoxState = 7, f.checkBoxType = 9, f.enabled = 0x80;
  StyleFields s;
  s.cellType = 200, s.style = 3, s.ownerProps = 9, s.fontStyles = 0xFF;
  Fields root;
  root.state = 1 << isExpanded;
  const std::string bytes = Bytes().i32(-5).str("").add(Block44(root)).i32(0).u8(0).i32(1)
                                .i32(-5).str("X").add(Block44(f)).i32(0).u8(3).u8(0).add(StyleBlock(s)).i32(0).i32(0).b;
  LogTree tree;
  Load(tree, bytes);
  TMtTreeItem* x = tree.Items()->GetItem(0);
  EXPECT_TRUE(x->ForceButtons);
  EXPECT_TRUE(x->ParentColors());
  EXPECT_EQ(x->CheckBoxState, cbsUnchecked);
  EXPECT_EQ(x->CheckBoxType, cbtCheckBox);
  EXPECT_TRUE(x->Enabled);
  EXPECT_TRUE(x->UseStyles);
  EXPECT_EQ(x->MainStyle()->CellType, sftText);
  EXPECT_EQ(x->MainStyle()->Style, MthsText);
  EXPECT_TRUE(x->MainStyle()->OwnerProps);
  EXPECT_EQ(x->MainStyle()->FontStyles, 0x0F);
}

TEST(MtItemStream, NegativeCountsReadNothing) {
  Fields f, root;
  root.state = 1 << isExpanded;
  LogTree tree;
  Load(tree, Bytes().i32(-5).str("").add(Block44(root)).i32(0).u8(0).i32(1)
                 .i32(-5).str("X").add(Block44(f)).i32(-1).u8(1).u8(0).add(StyleBlock({})).i32(-4).i32(-3).b);
  EXPECT_EQ(Dump(tree), "X");
  EXPECT_EQ(tree.Items()->GetItem(0)->ColumnText().Count(), 0);
  EXPECT_EQ(tree.Items()->GetItem(0)->StyleCount(), 0);
}

TEST(MtItemStream, DamagedFontNameKeepsTheNameAndReadingGoesOn) {
  // A negative font-name length is skipped with its four bytes.
  Fields f, root;
  root.state = 1 << isExpanded;
  Bytes style = StyleBlock({});
  style.b.resize(style.b.size() - 4 - 13);
  style.i32(-1);
  LogTree tree;
  Load(tree, Bytes().i32(-5).str("").add(Block44(root)).i32(0).u8(0).i32(1)
                 .i32(-5).str("X").add(Block44(f)).i32(0).u8(1).u8(0).add(style).i32(0).i32(0).b);
  EXPECT_EQ(tree.Items()->GetItem(0)->MainStyle()->FontName, "MS Sans Serif");
}

// ---------------------------------------------------------------------------------
// Round trips

TEST(MtItemStream, RoundTripKeepsEveryField) {
  LogTree tree;
  BuildRich(tree);
  const Strings before = DescribeAll(tree);
  const std::string bytes = Save(tree);
  LogTree again;
  Load(again, bytes);
  EXPECT_EQ(DescribeAll(again), before);
  EXPECT_EQ(again.Items()->Count(), tree.Items()->Count());
  EXPECT_EQ(again.HiddenCount(), 1);
  EXPECT_EQ(Save(again), bytes);
}

TEST(MtItemStream, FocusedAndSelectedItemsComeBackNeither) {
  for (bool multi : {true, false}) {
    SCOPED_TRACE(multi);
    LogTree tree;
    tree.SetMultiSelect(multi);
    BuildItems(tree, nullptr, "A,B,C");
    if (multi) Find(tree, "C")->SetState(isSelected, true);
    tree.SetItemFocused(Find(tree, "B"));
    LogTree again;
    Load(again, Save(tree));
    EXPECT_EQ(Dump(again), "A,B,C");
    for (int i = 0; i < 3; ++i) {
      EXPECT_FALSE(again.Items()->GetItem(i)->GetState(isFocused));
      EXPECT_FALSE(again.Items()->GetItem(i)->GetState(isSelected));
    }
    EXPECT_EQ(again.SelectedCount(), 0);
    EXPECT_EQ(again.ItemFocused(), nullptr);
  }
}

TEST(MtItemStream, SavingLeavesFocusAndSelectionAlone) {
  struct Case {
    bool multi;
    // The state words written for B (focused) and C.
    std::uint16_t writtenB, writtenC;
  };
  constexpr std::uint16_t sel = 1 << isSelected;
  // Multi-select: the focused item keeps its selection bit in the stream; single-select:
  // the selected (focused) item is written without it.
  for (const Case& c : {Case{true, sel, sel}, Case{false, 0, 0}}) {
    SCOPED_TRACE(c.multi);
    LogTree tree;
    tree.SetMultiSelect(c.multi);
    BuildItems(tree, nullptr, "A,B,C");
    if (c.multi) Find(tree, "C")->SetState(isSelected, true);
    tree.SetItemFocused(Find(tree, "B"));
    const std::uint16_t stateB = Find(tree, "B")->State();
    const std::uint16_t stateC = Find(tree, "C")->State();
    const int selected = tree.SelectedCount();
    tree.Take();
    const std::string bytes = Save(tree);
    EXPECT_EQ(tree.Take(), Strings{});
    EXPECT_EQ(tree.ItemFocused(), Find(tree, "B"));
    EXPECT_EQ(Find(tree, "B")->State(), stateB);
    EXPECT_EQ(Find(tree, "C")->State(), stateC);
    EXPECT_EQ(tree.SelectedCount(), selected);
    // Root 61 bytes, then records of 62 bytes each (one-letter texts): B at 61 + 62.
    auto stateAt = [&bytes](std::size_t record) {
      const std::size_t at = 61 + 62 * record + 9;
      return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                        static_cast<unsigned char>(bytes[at + 1]) << 8);
    };
    EXPECT_EQ(stateAt(1), c.writtenB);
    EXPECT_EQ(stateAt(2), c.writtenC);
  }
}

TEST(MtItemStream, StylesByEventRoundTrip) {
  auto hook = [](TCustomMtTree& tree, Strings& log) {
    tree.OnCellStyleSave = [&log](TObject* sender, TStream& s, TMtCellStyle* style) {
      log.push_back("save " + static_cast<TMtTreeItem*>(sender)->Text());
      s.WriteInt32(style->UserValue);
    };
    tree.OnCellStyleLoad = [&log](TObject* sender, TStream& s, TMtCellStyle* style) {
      log.push_back("load " + static_cast<TMtTreeItem*>(sender)->Text());
      style->UserValue = s.ReadInt32();
    };
  };
  LogTree tree;
  Strings log;
  hook(tree, log);
  BuildItems(tree, nullptr, "A,B");
  TMtTreeItem* a = Find(tree, "A");
  a->UseStyles = true;
  a->MainStyle()->UserValue = 11;
  a->AddStyle()->UserValue = 12;
  a->AddStyle()->UserValue = 13;
  const std::string bytes = Save(tree);
  // The by-event flag, the main style, the count and the further styles, each as the
  // handler wrote it.
  EXPECT_NE(bytes.find(Bytes().u8(1).u8(1).i32(11).i32(2).i32(12).i32(13).b), std::string::npos);
  LogTree again;
  hook(again, log);
  Load(again, bytes);
  EXPECT_EQ(log, (Strings{"save A", "save A", "save A", "load A", "load A", "load A"}));
  TMtTreeItem* copy = Find(again, "A");
  ASSERT_EQ(copy->StyleCount(), 2);
  EXPECT_EQ(copy->MainStyle()->UserValue, 11);
  EXPECT_EQ(copy->Styles(1)->UserValue, 13);

  // Without the load event the styles cannot be read.
  LogTree plain;
  EXPECT_THROW(Load(plain, bytes), EReadError);
  EXPECT_EQ(plain.Items()->Count(), Reachable(plain));
}

// ---------------------------------------------------------------------------------
// The load and save events

TEST(MtItemStream, ItemEventsRunForEveryItemWithTheRootInPreOrder) {
  LogTree tree;
  BuildItems(tree, nullptr, "A(A1,A2(X)),B");
  Strings saved;
  tree.OnItemSave = [&](TObject* sender, TStream& s, TMtTreeItem* item) {
    EXPECT_EQ(sender, &tree);
    saved.push_back(item->IsRoot() ? "<root>" : item->Text());
    // A 64-byte record, as the planner writes.
    std::string block(64, static_cast<char>('a' + saved.size()));
    s.WriteString(block);
  };
  const std::string bytes = Save(tree);
  EXPECT_EQ(saved, (Strings{"<root>", "A", "A1", "A2", "X", "B"}));
  // N items, N + 1 blocks, each at its record's end, before the child count.
  EXPECT_EQ(bytes.size(), 61u + 6 * 64 + 62 * 3 + 63 * 2);
  EXPECT_EQ(bytes.substr(61 - 4, 64), std::string(64, 'b'));

  LogTree again;
  BuildItems(again, nullptr, "Old");
  again.Take();
  again.OnItemLoad = [&](TObject* sender, TStream& s, TMtTreeItem* item) {
    EXPECT_EQ(sender, &again);
    const AnsiString block = s.ReadString(64);
    // The item's own fields and column texts are read, its children not yet.
    again.Log("load " + (item->IsRoot() ? std::string("<root>") : item->Text()) + " " + block.substr(0, 1) + " " +
              std::to_string(item->GetChildrenCount()));
  };
  Load(again, bytes);
  EXPECT_EQ(again.Take(), (Strings{"delete Old", "load <root> b 0", "load A c 0", "load A1 d 0", "load A2 e 0",
                                   "load X f 0", "load B g 0"}));
  EXPECT_EQ(Dump(again), "A(A1,A2(X)),B");
}

TEST(MtItemStream, ReadingReplacesTheTreeInOneBracket) {
  LogTree tree;
  BuildRich(tree);
  const std::string bytes = Save(tree);
  LogTree again;
  BuildItems(again, nullptr, "P(Q),R");
  again.SetItemFocused(Find(again, "Q"));
  const int rowRuns = again.rowRuns;
  const int lineHeightRuns = again.lineHeightRuns;
  Load(again, bytes);
  EXPECT_EQ(again.rowRuns, rowRuns + 1);
  EXPECT_EQ(again.lineHeightRuns, lineHeightRuns + 1);
  EXPECT_EQ(again.UpdateCount(), 0);
  EXPECT_EQ(again.ItemFocused(), nullptr);
  EXPECT_EQ(Dump(again), Dump(tree));
  EXPECT_EQ(again.Items()->Count(), 6);
  // Expanded A shows its children; hidden A1 is counted.
  EXPECT_EQ(again.VisibleRows().size(), 5u);
  EXPECT_EQ(again.HiddenCount(), 1);
}

TEST(MtItemStream, ReadDataKeepsTheItemsFocus) {
  LogTree tree;
  BuildItems(tree, nullptr, "A,B");
  TMtTreeItem* a = Find(tree, "A");
  tree.SetMultiSelect(false);
  tree.SetItemFocused(a);
  Fields f;
  f.state = 1 << isBold;
  TMemoryStream s(Bytes().i32(-5).str("N").add(Block44(f)).i32(0).u8(0).i32(1).i32(-5).str("K").add(Block44({})).i32(0).u8(0).i32(0).b);
  a->ReadData(s);
  EXPECT_EQ(a->Text(), "N");
  EXPECT_TRUE(a->GetState(isFocused));
  EXPECT_TRUE(a->GetState(isSelected));
  EXPECT_TRUE(a->GetState(isBold));
  EXPECT_EQ(tree.Selected(), a);
  EXPECT_EQ(Dump(tree), "N(K),B");
  EXPECT_EQ(tree.Items()->Count(), 3);
}

// ---------------------------------------------------------------------------------
// Damaged streams

TEST(MtItemStream, EveryTruncationIsAReadErrorWithAConsistentStore) {
  LogTree tree;
  BuildRich(tree);
  tree.OnItemSave = [](TObject*, TStream& s, TMtTreeItem* item) { s.WriteInt32(item->GetLevel()); };
  const std::string bytes = Save(tree);
  for (std::size_t n = 0; n <= bytes.size(); ++n) {
    SCOPED_TRACE(n);
    LogTree again;
    again.OnItemLoad = [](TObject*, TStream& s, TMtTreeItem*) { s.ReadInt32(); };
    BuildItems(again, nullptr, "Old(Older)");
    if (n < bytes.size()) {
      EXPECT_THROW(Load(again, bytes.substr(0, n)), EReadError);
    } else {
      Load(again, bytes);
      EXPECT_EQ(DescribeAll(again), DescribeAll(tree));
    }
    EXPECT_EQ(again.Items()->Count(), Reachable(again));
    EXPECT_EQ(again.UpdateCount(), 0);
    EXPECT_EQ(Find(again, "Old"), nullptr);
    EXPECT_EQ(again.VisibleRows().size(), [&] {
      std::vector<TMtTreeItem*> rows;
      PreOrder(again.Items()->Root(), rows, true, false);
      return rows.size();
    }());
  }
}

TEST(MtItemStream, LengthsAndCountsBeyondTheStreamFailBeforeAllocating) {
  Fields f, root;
  root.state = 1 << isExpanded;
  const Bytes head = Bytes().i32(-5).str("").add(Block44(root)).i32(0).u8(0);
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"text length", Bytes().i32(-5).i32(INT32_MAX).b},
      {"old text length", Bytes().i32(INT32_MAX - 1).b},
      {"negative text length", Bytes().i32(-5).i32(-1).add(Block44(f)).i32(0).u8(0).i32(0).b},
      {"child count", Bytes(head).i32(INT32_MAX).b},
      {"children that cannot fit", Bytes(head).i32(3).add(Bytes().i32(-5).str("").add(Block44(f)).i32(0).u8(0).i32(0)).b},
      {"column count", Bytes().i32(-5).str("").add(Block44(f)).i32(0x40000000).i32(0).b},
      {"column length", Bytes().i32(-5).str("").add(Block44(f)).i32(1).i32(1000).raw("abc").b},
      {"negative column length", Bytes().i32(-5).str("").add(Block44(f)).i32(1).i32(-2).raw("abcdef").b},
      {"style count", Bytes().i32(-5).str("").add(Block44(f)).i32(0).u8(1).u8(0).add(StyleBlock({})).i32(INT32_MAX).b},
  };
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    LogTree tree;
    EXPECT_THROW(Load(tree, bytes), EReadError);
    EXPECT_EQ(tree.Items()->Count(), Reachable(tree));
    EXPECT_LE(tree.Items()->Count(), 1);
  }
}

// ---------------------------------------------------------------------------------
// Deep nesting

// A chain of `depth` items, each the only child of the one before.
std::string Chain(int depth) {
  Fields f, root;
  root.state = 1 << isExpanded;
  Bytes b;
  b.i32(-5).str("").add(Block44(root)).i32(0).u8(0).i32(1);
  for (int i = 0; i < depth; ++i) b.i32(-5).str("x").add(Block44(f)).i32(0).u8(0).i32(i + 1 < depth ? 1 : 0);
  return b.b;
}

TEST(MtItemStream, WhatATreeOfAnyDepthWritesReadsBack) {
  // Built through the API: 10,000 levels under the hidden root.
  LogTree built;
  TMtTreeItem* item = nullptr;
  {
    TMtUpdateBracket bracket(&built);
    for (int i = 0; i < 10000; ++i) item = built.Items()->AddChild(item, "x");
  }
  ASSERT_EQ(item->GetLevel(), 9999);
  const std::string bytes = Save(built);
  LogTree read;
  Load(read, bytes);
  EXPECT_EQ(read.Items()->Count(), 10000);
  EXPECT_EQ(read.Items()->GetItem(9999)->GetLevel(), 9999);
  EXPECT_EQ(Save(read), bytes);
  // Deeper still, from bytes: read, written again alike, and freed with the tree.
  const std::string deep = Chain(100000);
  LogTree deepTree;
  Load(deepTree, deep);
  EXPECT_EQ(deepTree.Items()->Count(), 100000);
  EXPECT_EQ(Save(deepTree), deep);
}

TEST(MtItemStream, ADeepChainCutShortKeepsWhatWasRead) {
  LogTree tree;
  const std::string bytes = Chain(500);
  EXPECT_THROW(Load(tree, bytes.substr(0, bytes.size() - 10)), EReadError);
  EXPECT_EQ(tree.Items()->Count(), 500);
  EXPECT_EQ(tree.Items()->Count(), Reachable(tree));
}

// ---------------------------------------------------------------------------------
// Inputs found by the fuzz target

TEST(MtItemStream, FuzzFoundInputsReadSafely) {
  const auto cases = FuzzCases("item_stream");
  EXPECT_FALSE(cases.empty());
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    LogTree tree;
    ItemStreamFuzzHooks(tree);
    try {
      Load(tree, bytes);
    } catch (const EReadError&) {
    }
    EXPECT_EQ(tree.Items()->Count(), Reachable(tree));
    EXPECT_EQ(tree.UpdateCount(), 0);
    EXPECT_EQ(tree.SelectedCount(), 0);
    const std::string written = Save(tree);
    LogTree again;
    ItemStreamFuzzHooks(again);
    Load(again, written);
    EXPECT_EQ(DescribeAll(again), DescribeAll(tree));
    EXPECT_EQ(Save(again), written);
  }
}

}  // namespace
