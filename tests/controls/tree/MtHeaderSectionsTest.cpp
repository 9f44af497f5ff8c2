#include <gtest/gtest.h>

#include <climits>

#include "controls/tree/MtHeaderSections.h"
#include "test_support/FuzzCases.h"

namespace {

// A header that records what the sections tell it.
struct RecordingHeader : IMtHeaderSectionsOwner {
  std::vector<std::string> log;
  bool sticky = false;
  int width = 0;
  void SectionChange(TMtHeaderSection* s, TMtSectionChange c) override {
    log.push_back("change " + std::to_string(s->GetIndex()) + " " + std::to_string(c));
  }
  void SectionShowHide(TMtHeaderSection* s) override { log.push_back("showhide " + std::to_string(s->GetIndex())); }
  void SectionCreate(TMtHeaderSection* s) override { log.push_back("create " + std::to_string(s->GetIndex())); }
  void SectionDelete(TMtHeaderSection* s) override { log.push_back("delete " + std::to_string(s->GetIndex())); }
  void SectionMove(TMtHeaderSection* s, int from, int to) override {
    log.push_back("move " + std::to_string(s->GetIndex()) + " " + std::to_string(from) + ">" + std::to_string(to));
  }
  void ButtonSectionAdded() override { log.push_back("buttons"); }
  bool StickySections() const override { return sticky; }
  int HeaderWidth() const override { return width; }
  void FitSections() override { log.push_back("fit"); }
  void UpdateStickyProportions() override { log.push_back("proportions"); }
  bool Saw(const std::string& what) const { return std::find(log.begin(), log.end(), what) != log.end(); }
};

std::string Le32(std::int32_t v) {
  std::string r(4, '\0');
  for (int i = 0; i < 4; ++i) r[i] = static_cast<char>(static_cast<std::uint32_t>(v) >> (8 * i));
  return r;
}

std::vector<int> Numbers(const TMtHeaderSections& c) {
  std::vector<int> r;
  for (int i = 0; i < c.GetCount(); ++i) r.push_back(c.GetSectionByPos(i)->GetIndex());
  return r;
}

std::string Write(const TMtHeaderSections& c) {
  TMemoryStream m;
  c.WriteData(m);
  return m.Bytes();
}

void Read(TMtHeaderSections& c, const std::string& bytes) {
  TMemoryStream m(bytes);
  c.ReadData(m);
}

// Two sections with every property set away from its default in the first one.
void FillTwo(TMtHeaderSections& c) {
  TMtHeaderSection* a = c.AddSection();
  TMtHeaderSection* b = c.AddSection();
  a->SetText("N");
  a->SetStyle(MthsOwnerDraw);
  a->SetMaxWidth(500);
  a->SetMinWidth(20);
  a->SetWidth(77);
  a->SetAllowClick(false);
  a->SetAlignment(hsaRight);
  a->SetPictureAlign(hsaCenter);
  a->SetImageIndex(3);
  a->SetEditable(true);
  a->SetPassword(true);
  a->SetResizable(false);
  a->SetClickSelect(false);
  a->SetExpandable(true);
  a->SetExpanded(true);
  a->SetPopupName("pmCols");
  a->SetFilterEnabled(true);
  a->SetColor(0x00112233);
  a->SetFontColor(static_cast<TColor>(0x8000000F));
  a->SetUseMainStyle(true);
  a->SetTextLayout(tlBottom);
  a->SetHint(Ansi("Подсказка"));
  a->SetFieldType(sftFloating);
  b->SetFieldName("CAL");
  b->SetSortMode(hsmDescend);
  b->SetParentSection(a);
  b->SetVisible(false);
  b->SetLookupEnabled(true);
}

}  // namespace

TEST(MtHeaderSections, StreamBytesAreExact) {
  TMtHeaderSections c;
  FillTwo(c);
  const std::string bytes = Write(c);
  std::string expected = Le32(-8) + Le32(2);
  std::string a(64, '\0');
  a.replace(8, 4, Le32(-1));
  a[12] = 1, a[13] = 1, a[14] = 1, a[15] = 0, a[16] = 0, a[17] = 1;
  a.replace(20, 4, Le32(77)), a.replace(24, 4, Le32(20)), a.replace(28, 4, Le32(500));
  a[32] = 0, a[33] = 0, a[34] = 2;
  a.replace(36, 4, Le32(0));
  a[40] = 3, a[41] = 1;
  a.replace(44, 4, Le32(3));
  a[48] = 1, a[49] = 1, a[50] = 0;
  a.replace(52, 4, Le32(0x00112233)), a.replace(56, 4, Le32(static_cast<std::int32_t>(0x8000000F)));
  a[60] = 1, a[61] = 2, a[62] = 1;
  expected += a + Le32(2) + std::string("N\0", 2) + Le32(1) + std::string(1, '\0') + Le32(6) + "pmCols" + Le32(9) +
              Ansi("Подсказка");
  std::string b(64, '\0');
  b[4] = 1;
  b.replace(8, 4, Le32(0));
  b[12] = 0, b[13] = 0, b[14] = 0, b[15] = 1, b[16] = 1, b[17] = 0;
  b.replace(20, 4, Le32(120)), b.replace(24, 4, Le32(0)), b.replace(28, 4, Le32(10000));
  b[32] = 2, b[33] = 1, b[34] = 0;
  b.replace(36, 4, Le32(1));
  b[50] = 1, b[61] = 1;
  expected += b + Le32(1) + std::string(1, '\0') + Le32(4) + std::string("CAL\0", 4) + Le32(0) + Le32(0);
  EXPECT_EQ(bytes, expected);
}

TEST(MtHeaderSections, StreamRoundTripKeepsEveryField) {
  TMtHeaderSections c;
  FillTwo(c);
  c.MoveSection(c.FindByNumber(1), 0);  // display order differs from the numbers
  const std::string bytes = Write(c);
  TMtHeaderSections d;
  Read(d, bytes);
  EXPECT_EQ(Write(d), bytes);
  ASSERT_EQ(Numbers(d), (std::vector<int>{1, 0}));
  const TMtHeaderSection* a = d.FindByNumber(0);
  const TMtHeaderSection* b = d.FindByNumber(1);
  EXPECT_EQ(a->Text(), "N");
  EXPECT_EQ(a->Style(), MthsOwnerDraw);
  EXPECT_EQ(a->Width(), 77);
  EXPECT_EQ(a->MinWidth(), 20);
  EXPECT_EQ(a->MaxWidth(), 500);
  EXPECT_FALSE(a->AllowClick());
  EXPECT_EQ(a->Alignment(), hsaRight);
  EXPECT_EQ(a->PictureAlign(), hsaCenter);
  EXPECT_EQ(a->ImageIndex(), 3);
  EXPECT_TRUE(a->Editable());
  EXPECT_TRUE(a->Password());
  EXPECT_FALSE(a->Resizable());
  EXPECT_FALSE(a->ClickSelect());
  EXPECT_TRUE(a->Expandable());
  EXPECT_TRUE(a->Expanded());
  EXPECT_EQ(a->PopupName(), "pmCols");
  EXPECT_TRUE(a->FilterEnabled());
  EXPECT_FALSE(a->ParentColor());
  EXPECT_EQ(a->Color(), 0x00112233);
  EXPECT_EQ(a->FontColor(), static_cast<TColor>(0x8000000F));
  EXPECT_TRUE(a->UseMainStyle());
  EXPECT_EQ(a->TextLayout(), tlBottom);
  EXPECT_EQ(a->Hint(), Ansi("Подсказка"));
  EXPECT_EQ(a->FieldType(), sftFloating);
  EXPECT_EQ(b->FieldName(), "CAL");
  EXPECT_EQ(b->SortMode(), hsmDescend);
  EXPECT_EQ(b->ParentSection(), a);
  EXPECT_FALSE(b->OwnVisible());
  EXPECT_TRUE(b->LookupEnabled());
  EXPECT_EQ(d.GetSectionByPos(0), b);
}

namespace {

// One section of an older layout: the block, Text "T", FieldName "F".
std::string Legacy(int blockSize, const std::vector<std::pair<int, std::string>>& fields) {
  std::string b(static_cast<std::size_t>(blockSize), '\0');
  for (const auto& [at, bytes] : fields) b.replace(static_cast<std::size_t>(at), bytes.size(), bytes);
  return b + Le32(2) + std::string("T\0", 2) + Le32(2) + std::string("F\0", 2);
}

}  // namespace

TEST(MtHeaderSections, OlderLayoutsReadIntoTheirFields) {
  // -4: visible, ClickSelect, Resizable, Style, widths, sort, click, alignment, number,
  // field type, editable, image, picture alignment, password.
  std::string s4 = Le32(-4) + Le32(1) +
                   Legacy(36, {{0, "\x01"}, {1, std::string(1, '\0')}, {2, std::string(1, '\0')}, {3, "\x02"},
                               {4, Le32(90)}, {8, Le32(10)}, {12, Le32(300)}, {16, "\x01"}, {17, std::string(1, '\0')},
                               {18, "\x01"}, {20, Le32(0)}, {24, "\x02"}, {25, "\x01"}, {28, Le32(5)}, {32, "\x02"},
                               {33, "\x01"}});
  TMtHeaderSections c;
  Read(c, s4);
  ASSERT_EQ(c.GetCount(), 1);
  const TMtHeaderSection* s = c.GetSectionByPos(0);
  EXPECT_TRUE(s->OwnVisible());
  EXPECT_FALSE(s->ClickSelect());
  EXPECT_FALSE(s->Resizable());
  EXPECT_EQ(s->Style(), MthsPictureOnly);
  EXPECT_EQ(s->Width(), 90);
  EXPECT_EQ(s->MinWidth(), 10);
  EXPECT_EQ(s->MaxWidth(), 300);
  EXPECT_EQ(s->SortMode(), hsmAscend);
  EXPECT_FALSE(s->AllowClick());
  EXPECT_EQ(s->Alignment(), hsaCenter);
  EXPECT_EQ(s->FieldType(), sftNumber);
  EXPECT_TRUE(s->Editable());
  EXPECT_EQ(s->ImageIndex(), 5);
  EXPECT_EQ(s->PictureAlign(), hsaRight);
  EXPECT_TRUE(s->Password());
  EXPECT_EQ(s->Text(), "T");
  EXPECT_EQ(s->FieldName(), "F");
  EXPECT_EQ(s->Hint(), "");
  EXPECT_TRUE(s->ParentColor());  // not in the layout: the default
  EXPECT_EQ(s->TextLayout(), tlCenter);

  // -3: offset 1 is the style; offsets 2 and 3 are ignored.
  std::string s3 = Le32(-3) + Le32(1) + Legacy(36, {{1, "\x01"}, {2, std::string(1, '\0')}, {3, std::string(1, '\0')},
                                                      {4, Le32(40)}, {12, Le32(10000)}, {20, Le32(0)}});
  Read(c, s3);
  ASSERT_EQ(c.GetCount(), 1);
  s = c.GetSectionByPos(0);
  EXPECT_FALSE(s->OwnVisible());
  EXPECT_EQ(s->Style(), MthsOwnerDraw);
  EXPECT_TRUE(s->ClickSelect());
  EXPECT_TRUE(s->Resizable());
  EXPECT_EQ(s->Width(), 40);

  // -6 and -5: 52-byte blocks, parents by number; -6 has PopupName, -5 not.
  auto block52 = [](int number, int parent, bool expandable) {
    std::string b(52, '\0');
    b.replace(8, 4, Le32(parent));
    b[12] = expandable, b[13] = expandable, b[14] = 1;
    b.replace(20, 4, Le32(50)), b.replace(28, 4, Le32(10000)), b.replace(36, 4, Le32(number));
    b[50] = 0;  // ParentColor is not in these layouts
    return b;
  };
  auto strings = [] { return Le32(2) + std::string("T\0", 2) + Le32(1) + std::string(1, '\0'); };
  std::string s6 = Le32(-6) + Le32(2) + block52(1, 0, false) + strings() + Le32(3) + "pop" + block52(0, -1, true) +
                   strings() + Le32(0);
  Read(c, s6);
  ASSERT_EQ(Numbers(c), (std::vector<int>{1, 0}));
  EXPECT_EQ(c.FindByNumber(1)->ParentSection(), c.FindByNumber(0));
  EXPECT_EQ(c.FindByNumber(1)->PopupName(), "pop");
  EXPECT_TRUE(c.FindByNumber(1)->Visible());
  EXPECT_TRUE(c.FindByNumber(1)->ParentColor());
  std::string s5 = Le32(-5) + Le32(2) + block52(0, -1, true) + strings() + block52(1, 0, false) + strings();
  Read(c, s5);
  ASSERT_EQ(c.GetCount(), 2);
  EXPECT_EQ(c.FindByNumber(1)->ParentSection(), c.FindByNumber(0));
  EXPECT_EQ(c.FindByNumber(1)->PopupName(), "");

  // Any other marker: nothing more is read, and the collection is empty.
  Read(c, Le32(-7) + Le32(1));
  EXPECT_EQ(c.GetCount(), 0);
}

TEST(MtHeaderSections, DamagedStreamsRaiseTheReadError) {
  TMtHeaderSections c;
  FillTwo(c);
  const std::string good = Write(c);
  // Every cut of a good stream: either the read error or (cut after a whole section) fewer
  // sections; never more.
  for (std::size_t n = 0; n < good.size(); ++n) {
    TMtHeaderSections d;
    EXPECT_THROW(Read(d, good.substr(0, n)), EReadError) << n;
    EXPECT_LE(d.GetCount(), 2);
  }
  auto patched = [&](std::size_t at, std::int32_t v) {
    std::string b = good;
    b.replace(at, 4, Le32(v));
    return b;
  };
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"negative count", patched(4, -1)},
      {"count beyond the bytes", patched(4, 0x7FFFFFFF)},
      {"negative text length", patched(72, -2)},
      {"text length beyond the bytes", patched(72, 0x7FFFFFFF)},
      {"negative hint length", patched(good.size() - 4, INT_MIN)},
  };
  for (const auto& k : cases) {
    TMtHeaderSections d;
    EXPECT_THROW(Read(d, k.bytes), EReadError) << k.what;
  }
  // A stream that ends early keeps the sections read before.
  const std::size_t firstSectionEnd = good.size() - (64 + 4 + 1 + 4 + 4 + 4 + 4);
  TMtHeaderSections d;
  EXPECT_THROW(Read(d, good.substr(0, firstSectionEnd + 70)), EReadError);
  ASSERT_GE(d.GetCount(), 1);
  EXPECT_EQ(d.GetSectionByPos(0)->Text(), "N");
}

TEST(MtHeaderSections, StoredNumbersStayUniqueAndOddValuesReadAsDefaults) {
  std::string block(64, '\0');
  block[14] = 1, block[17] = 9, block[32] = 7, block[34] = 5, block[40] = 11, block[61] = 3;
  block.replace(8, 4, Le32(0));  // its own parent
  const std::string strings = Le32(1) + std::string(1, '\0') + Le32(1) + std::string(1, '\0') + Le32(0) + Le32(0);
  std::string s = Le32(-8) + Le32(3);
  for (int number : {0, 0, -4}) {
    std::string b = block;
    b.replace(36, 4, Le32(number));
    s += b + strings;
  }
  TMtHeaderSections c;
  Read(c, s);
  EXPECT_EQ(Numbers(c), (std::vector<int>{0, 1, 2}));
  const TMtHeaderSection* x = c.GetSectionByPos(0);
  EXPECT_EQ(x->Style(), MthsText);
  EXPECT_EQ(x->SortMode(), hsmNone);
  EXPECT_EQ(x->Alignment(), hsaLeft);
  EXPECT_EQ(x->FieldType(), sftCustom);
  EXPECT_EQ(x->TextLayout(), tlCenter);
  EXPECT_EQ(x->ParentSection(), nullptr);  // a cycle is refused
  EXPECT_EQ(c.GetSectionByPos(1)->ParentSection(), x);
}

TEST(MtHeaderSections, NumbersAreLowestFreeAndRenumberedOnDelete) {
  RecordingHeader h;
  TMtHeaderSections c(&h);
  c.AddSection();
  c.AddSection();
  c.AddSection();
  EXPECT_EQ(Numbers(c), (std::vector<int>{0, 1, 2}));
  c.DeleteSection(c.FindByNumber(1));
  EXPECT_EQ(Numbers(c), (std::vector<int>{0, 1}));
  EXPECT_EQ(c.AddSection()->GetIndex(), 2);
  EXPECT_TRUE(h.Saw("delete 1"));

  // Numbers 0 and 2 (read from a stream): the next one is 1.
  std::string block(64, '\0');
  const std::string strings = Le32(1) + std::string(1, '\0') + Le32(1) + std::string(1, '\0') + Le32(0) + Le32(0);
  std::string s = Le32(-8) + Le32(2);
  for (int number : {0, 2}) {
    std::string b = block;
    b.replace(8, 4, Le32(-1));
    b.replace(36, 4, Le32(number));
    s += b + strings;
  }
  TMtHeaderSections d;
  Read(d, s);
  EXPECT_EQ(Numbers(d), (std::vector<int>{0, 2}));
  EXPECT_EQ(d.InsertSection(0)->GetIndex(), 1);
  EXPECT_EQ(Numbers(d), (std::vector<int>{1, 0, 2}));

  EXPECT_THROW(c.DeleteSection(nullptr), EMtError);
  try {
    c.DeleteSection(d.GetSectionByPos(0));
    FAIL();
  } catch (const EMtError& e) {
    EXPECT_STREQ(e.what(), "Invalid section");
  }
  EXPECT_THROW(c.InsertSection(4), EListError);
  EXPECT_THROW(c.MoveSection(c.GetSectionByPos(0), 3), EListError);
  EXPECT_EQ(c.GetSectionByPos(3), nullptr);
  EXPECT_EQ(c.FindByNumber(7), nullptr);
}

TEST(MtHeaderSections, MoveChangesPositionsNotNumbers) {
  RecordingHeader h;
  TMtHeaderSections c(&h);
  for (int i = 0; i < 3; ++i) c.AddSection()->SetWidth(10 * (i + 1));
  c.MoveSection(c.FindByNumber(2), 0);
  EXPECT_EQ(Numbers(c), (std::vector<int>{2, 0, 1}));
  EXPECT_TRUE(h.Saw("move 2 2>0"));
  EXPECT_EQ(c.FindByNumber(0)->GetPosition(), 1);
  EXPECT_EQ(c.FindByNumber(0)->GetLeft(), 30);
  EXPECT_EQ(c.FindByNumber(1)->GetRight(), 60);
}

TEST(MtHeaderSections, SortMarkIsExclusiveAndWidthsStayWithinLimits) {
  TMtHeaderSections c;
  TMtHeaderSection* a = c.AddSection();
  TMtHeaderSection* b = c.AddSection();
  b->SetSortMode(hsmDescend);
  a->SetSortMode(hsmAscend);
  EXPECT_EQ(b->SortMode(), hsmNone);
  EXPECT_EQ(a->SortMode(), hsmAscend);

  a->SetMinWidth(10);
  a->SetWidth(5);
  EXPECT_EQ(a->Width(), 120);
  a->SetWidth(10001);
  EXPECT_EQ(a->Width(), 120);
  a->SetMinWidth(150);  // widens
  EXPECT_EQ(a->Width(), 150);
  a->SetMaxWidth(100);  // narrows
  EXPECT_EQ(a->Width(), 100);
}

TEST(MtHeaderSections, ChildOfACollapsedParentIsHidden) {
  RecordingHeader h;
  TMtHeaderSections c(&h);
  TMtHeaderSection* p = c.AddSection();
  TMtHeaderSection* x = c.AddSection();
  x->SetParentSection(p);
  EXPECT_TRUE(h.Saw("showhide 1"));
  EXPECT_FALSE(x->Visible());
  EXPECT_TRUE(x->OwnVisible());
  EXPECT_EQ(x->GetRight(), x->GetLeft());
  EXPECT_EQ(x->GetLeft(), 120);
  p->SetExpanded(true);  // not expandable: refused
  EXPECT_FALSE(p->Expanded());
  p->SetExpandable(true);
  p->SetExpanded(true);
  EXPECT_TRUE(x->Visible());
  EXPECT_EQ(x->GetRight(), 240);
  p->SetVisible(false);
  EXPECT_FALSE(x->Visible());
  EXPECT_EQ(c.LastVisibleSection(), nullptr);
  p->SetVisible(true);
  EXPECT_EQ(c.LastVisibleSection(), x);
  EXPECT_EQ(c.PrevVisibleSection(x), p);
  EXPECT_EQ(c.PrevVisibleSection(p), nullptr);

  // A cycle is refused; a parent of another collection too.
  p->SetParentSection(x);
  EXPECT_EQ(p->ParentSection(), nullptr);
  TMtHeaderSections other;
  x->SetParentSection(other.AddSection());
  EXPECT_EQ(x->ParentSection(), p);

  // Not expandable any more, or deleted: the children are free.
  p->SetExpandable(false);
  EXPECT_EQ(x->ParentSection(), nullptr);
  p->SetExpandable(true);
  x->SetParentSection(p);
  c.DeleteSection(p);
  EXPECT_EQ(x->ParentSection(), nullptr);
  EXPECT_TRUE(x->Visible());
}

TEST(MtHeaderSections, ChangesAreReportedWithTheirCodes) {
  RecordingHeader h;
  TMtHeaderSections c(&h);
  TMtHeaderSection* s = c.AddSection();
  EXPECT_TRUE(h.Saw("create 0"));
  h.log.clear();
  s->SetText("A");
  s->SetFieldName("NAME");
  s->SetFieldType(sftText);
  s->SetAlignment(hsaCenter);
  s->SetStyle(MthsPictureOnly);
  s->SetEditable(true);
  s->SetPassword(true);
  s->SetText("A");  // no change, no report
  std::vector<std::string> changes;
  for (const auto& l : h.log)
    if (l.rfind("change", 0) == 0) changes.push_back(l);
  EXPECT_EQ(changes, (std::vector<std::string>{"change 0 0", "change 0 1", "change 0 2", "change 0 3", "change 0 4",
                                               "change 0 5", "change 0 6"}));
  s->SetLookupEnabled(true);
  EXPECT_TRUE(h.Saw("buttons"));
  s->SetFilterEnabled(true);
  EXPECT_FALSE(s->LookupEnabled());
  s->SetLookupEnabled(true);
  EXPECT_FALSE(s->FilterEnabled());
  s->SetParentColor(true);
  s->SetFontColor(0xFF0000);
  EXPECT_FALSE(s->ParentColor());
  h.log.clear();
  s->SetVisible(false);
  EXPECT_TRUE(h.Saw("showhide 0"));
}

TEST(MtHeaderSections, StickyWidthsScaleTheFollowingSections) {
  RecordingHeader h;
  h.sticky = true;
  h.width = 300;
  TMtHeaderSections c(&h);
  TMtHeaderSection* a = c.AddSection();
  TMtHeaderSection* b = c.AddSection();
  TMtHeaderSection* d = c.AddSection();
  h.sticky = false;
  a->SetWidth(100);
  b->SetWidth(100);
  d->SetWidth(100);
  h.sticky = true;
  // (300 - 0 - 150) / (300 - 0 - 100) = 0.75: 100 -> 75 each.
  a->SetWidth(150);
  EXPECT_EQ(a->Width(), 150);
  EXPECT_EQ(b->Width(), 75);
  EXPECT_EQ(d->Width(), 75);
  EXPECT_TRUE(h.Saw("proportions"));
  // (300 - 150 - 74) / (300 - 150 - 75) = 76/75: 75 -> 76 (rounded).
  b->SetWidth(74);
  EXPECT_EQ(d->Width(), 76);
  // The last visible section scales nothing.
  d->SetWidth(50);
  EXPECT_EQ(b->Width(), 74);
  // A section that exactly fills the rest of the header: nothing to scale by, no crash.
  h.sticky = false;
  a->SetWidth(100);
  b->SetWidth(200);
  h.sticky = true;
  h.width = 300;  // 300 - 100 - 200 = 0
  b->SetWidth(150);
  EXPECT_EQ(b->Width(), 150);
  EXPECT_EQ(d->Width(), 50);

  // Hiding a section lets the following ones take its room: (300-0-0)/(300-0-100) = 1.5.
  h.sticky = false;
  a->SetWidth(100);
  b->SetWidth(100);
  d->SetWidth(100);
  h.sticky = true;
  h.log.clear();
  a->SetVisible(false);
  EXPECT_EQ(b->Width(), 150);
  EXPECT_EQ(d->Width(), 150);
  EXPECT_TRUE(h.Saw("fit"));
}

TEST(MtHeaderSections, AssignCopiesAllButTheColumnBinding) {
  TMtHeaderSections c;
  FillTwo(c);
  TMtHeaderSections d;
  d.Assign(&c);
  ASSERT_EQ(d.GetCount(), 2);
  const TMtHeaderSection* a = d.FindByNumber(0);
  const TMtHeaderSection* b = d.FindByNumber(1);
  EXPECT_EQ(a->Text(), "N");
  EXPECT_EQ(a->Width(), 77);
  EXPECT_EQ(a->Style(), MthsOwnerDraw);
  EXPECT_EQ(a->Hint(), Ansi("Подсказка"));
  EXPECT_EQ(a->TextLayout(), tlBottom);
  EXPECT_EQ(b->ParentSection(), a);
  EXPECT_EQ(b->SortMode(), hsmDescend);
  // Not copied, by design of the copy: the column binding and a few looks.
  EXPECT_EQ(a->FieldType(), sftCustom);
  EXPECT_EQ(b->FieldName(), "");
  EXPECT_FALSE(a->Editable());
  EXPECT_FALSE(a->Password());
  EXPECT_TRUE(a->Resizable());
  EXPECT_TRUE(a->ClickSelect());
  EXPECT_EQ(a->ImageIndex(), 0);
  EXPECT_EQ(a->PictureAlign(), hsaLeft);
  EXPECT_EQ(a->PopupName(), "");
  EXPECT_THROW(d.Assign(nullptr), EConvertError);
}

TEST(MtHeaderSections, FuzzFoundInputsReadSafely) {
  const auto cases = FuzzCases("header_sections");
  EXPECT_FALSE(cases.empty());
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    TMtHeaderSections c;
    try {
      Read(c, bytes);
    } catch (const EReadError&) {
    }
    const std::string written = Write(c);
    TMtHeaderSections again;
    Read(again, written);
    EXPECT_EQ(Write(again), written);
  }
}
