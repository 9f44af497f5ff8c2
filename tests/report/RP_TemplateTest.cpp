#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"
#include "SamplePage.h"
#include "report/RP_Builder.h"
#include "report/RP_Dump.h"
#include "report/RP_Template.h"
#include "report/RP_Utils.h"

namespace {

class Templates : public ::testing::Test {
 protected:
  void SetUp() override { rpResetState(); }
  void TearDown() override { rpResetState(); }
};

std::string Save(TrpPages& pages) {
  TMemoryStream m;
  rpSaveTemplate(pages, m);
  return m.Bytes();
}

TrpTemplateLoad Load(TrpPages& pages, const std::string& bytes) {
  TMemoryStream m(bytes);
  return rpLoadTemplate(pages, m);
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s.push_back(static_cast<char>(c));
  return s;
}

std::string I32(std::int32_t v) { return Bytes({v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF}); }

// Where the first object record starts: after the page records.
std::size_t FirstObjectAt(TrpPages& pages) {
  std::vector<std::vector<std::unique_ptr<TrpView>>> kept;
  for (auto& p : pages.Pages) kept.push_back(std::move(p->Objects));
  const std::size_t withoutObjects = Save(pages).size();
  for (std::size_t i = 0; i < kept.size(); ++i) pages.Pages[i]->Objects = std::move(kept[i]);
  TMemoryStream dict;
  pages.Dictionary.SaveToStream(dict);
  return withoutObjects - 1 - static_cast<std::size_t>(dict.Size());
}

}  // namespace

TEST_F(Templates, BuilderTemplateRoundTripsByteForByte) {
  TrpPages pages;
  BuildSampleTemplate(pages);
  const std::string bytes = Save(pages);
  EXPECT_EQ(bytes[0], 24);
  TrpPages back;
  ASSERT_TRUE(Load(back, bytes).Ok());
  EXPECT_EQ(Save(back), bytes);
  EXPECT_EQ(rpDumpTemplate(back), rpDumpTemplate(pages));
  ASSERT_EQ(back.GetCount(), 2);
  ASSERT_EQ(back.GetPages(0)->Objects.size(), 7u);
  EXPECT_EQ(back.GetPages(0)->Objects[1]->Name, "Memo1");
  EXPECT_EQ(back.GetPages(0)->Objects[1]->Memo[0], Ansi("Раскладка продуктов"));
  EXPECT_EQ(back.GetPages(1)->PageType, ptDialog);
  EXPECT_EQ(back.GetPages(1)->Orientation, rpLandscape);
  EXPECT_EQ(back.GetPages(1)->PaperWidth, 2100);
  EXPECT_TRUE(back.PrintToDefault);
  EXPECT_EQ(VarToStr(back.Dictionary.Variables.GetValueByName("TITLE")), "'x'");
  const std::string dump = rpDumpTemplate(back);
  EXPECT_NE(dump.find("Band Band2 @0,90 758x20 flags 48 type 5 (Master data) source \"fdsMenu\" columns 2"),
            std::string::npos)
      << dump;
  EXPECT_NE(dump.find("Picture Picture1 @660,40 60x40 flags 5 frame 0/1.00/0 #00000000 image kind 1 "),
            std::string::npos)
      << dump;
}

TEST_F(Templates, FileSaveAndLoad) {
  TrpPages pages;
  BuildSampleTemplate(pages);
  const AnsiString file = ::testing::TempDir() + "sample.rpf";
  rpSaveTemplateFile(pages, file);
  TrpPages back;
  ASSERT_TRUE(rpLoadTemplateFile(back, file).Ok());
  EXPECT_EQ(Save(back), Save(pages));
}

TEST_F(Templates, SkipsUnknownAndDamagedObjectsThroughTheirOffsets) {
  TrpPages pages;
  BuildSampleTemplate(pages);
  std::string bytes = Save(pages);
  const std::size_t at = FirstObjectAt(pages);
  ASSERT_EQ(bytes.substr(at, 2), Bytes({rpotBand, 0}));

  struct Case {
    const char* what;
    std::function<std::string(std::string)> damage;
    int result;
    std::size_t objectsLeft;
  };
  const Case cases[] = {
      {"type without object", [&](std::string b) { b[at] = 7; return b; }, 0, 6},
      {"page index past the pages", [&](std::string b) { b[at + 1] = 9; return b; }, 0, 6},
      // The band's Left (after type, page, offset, "Band1", version pair) beyond any page.
      // (kept, with its name and the defaults of its class)
      {"absurd position", [&](std::string b) { b.replace(at + 16, 4, I32(1 << 30)); return b; }, 0, 7},
      {"record type 100", [&](std::string b) { b[at] = 100; return b; }, 2, 0},
      {"offset pointing backwards", [&](std::string b) { b.replace(at + 2, 4, I32(3)); return b; }, 2, 0},
      {"offset past the end", [&](std::string b) { b.replace(at + 2, 4, I32(1 << 30)); return b; }, 2, 0},
      {"truncated", [&](std::string b) { b.resize(at + 30); return b; }, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TrpPages back;
    const TrpTemplateLoad r = Load(back, c.damage(bytes));
    EXPECT_EQ(r.Result, c.result) << r.Message;
    if (c.result == 2) {
      EXPECT_EQ(r.Message, Ansi("Неверный RPF формат"));
      ASSERT_EQ(back.GetCount(), 1);
      EXPECT_TRUE(back.GetPages(0)->Objects.empty());
    } else if (c.result == 0) {
      ASSERT_EQ(back.GetPages(0)->Objects.size(), c.objectsLeft);
      if (c.objectsLeft == 7) {
        const TrpView& kept = *back.GetPages(0)->Objects[0];
        EXPECT_EQ(kept.Name, "Band1");
        EXPECT_EQ(kept.Left, 0);
        EXPECT_NE(dynamic_cast<const TrpBandView*>(&kept), nullptr);
      }
    }
  }
}

TEST_F(Templates, MissingClassIsListedAndTheRestLoads) {
  TrpPages pages;
  TrpTemplateBuilder b(pages);
  b.Page();
  b.Memo("first", 0, 0, 10, 10);
  b.Memo("second", 0, 20, 10, 10);
  std::string bytes = Save(pages);
  // Re-type the first memo as an add-in of an unregistered class: the name goes in
  // front of its page index and the offsets behind it move.
  const std::size_t at = FirstObjectAt(pages);
  ASSERT_EQ(bytes.substr(at, 2), Bytes({rpotMemo, 0}));
  const std::string cls = Bytes({7, 0}) + "TrpGone" + Bytes({0});
  std::string edited = bytes.substr(0, at) + Bytes({rpotAddIn}) + cls + bytes.substr(at + 1);
  auto patch = [&](std::size_t offsetAt) {
    TMemoryStream m(edited);
    m.SetPosition(static_cast<std::int64_t>(offsetAt));
    const std::int32_t old = m.ReadInt32();
    edited.replace(offsetAt, 4, I32(old + static_cast<std::int32_t>(cls.size())));
  };
  patch(at + 1 + cls.size() + 1);
  TMemoryStream m(edited);
  m.SetPosition(static_cast<std::int64_t>(at + 1 + cls.size() + 1));
  const std::size_t second = static_cast<std::size_t>(m.ReadInt32());
  ASSERT_EQ(edited.substr(second, 2), Bytes({rpotMemo, 0}));
  patch(second + 2);
  TrpPages back;
  const TrpTemplateLoad r = Load(back, edited);
  EXPECT_EQ(r.Result, 3);
  EXPECT_EQ(r.Message,
            "Opened report contains the following non-plugged components:\rTrpGone\r"
            "Use appropriate component from the component palette");
  ASSERT_EQ(back.GetPages(0)->Objects.size(), 1u);
  EXPECT_EQ(back.GetPages(0)->Objects[0]->Memo[0], "second");
}

TEST_F(Templates, VersionsAndEmptyStreams) {
  TrpPages pages;
  BuildSampleTemplate(pages);
  std::string bytes = Save(pages);
  bytes[0] = 25;
  TrpPages back;
  back.Add();
  EXPECT_EQ(Load(back, bytes).Result, 1);
  EXPECT_EQ(back.GetCount(), 1);  // left as it was
  EXPECT_EQ(Load(back, "").Result, 0);
  EXPECT_EQ(back.GetCount(), 1);
}

TEST_F(Templates, Version21WithoutVersionByteAndOldRecords) {
  // No version byte (the first byte is PrintToDefault's low byte, below 21).
  std::string s = Bytes({0, 0, 1, 0}) + "Printer" + Bytes({0});
  // Old page record: the paper size in place of the marker, 6 skipped bytes.
  s += Bytes({255}) + I32(11) + I32(0) + I32(0) + I32(10) + I32(10) + I32(10) + I32(10) + Bytes({1}) +
       std::string(6, 'x') + Bytes({0, 0, 1, 0}) + I32(2) + I32(5);
  // A memo on page 0: base record of version 21 and the memo part.
  s += Bytes({rpotMemo, 0});
  for (int v : {1, 2, 30, 40}) s += I32(v);
  s += Bytes({0x43, 0, 0, 0}) + I32(1) + I32(0) + Bytes({0, 0}) + I32(static_cast<std::int32_t>(rpNoColor)) + I32(0);
  s += Bytes({0});               // FormatStr, old form
  s += "a" + Bytes({13}) + "b" + Bytes({0});  // Memo, old form
  s += "Arial" + Bytes({0}) + I32(8) + Bytes({0, 0}) + I32(0) + I32(0) + Bytes({0, 0});
  s += Bytes({2, 0}) + I32(0) + I32(0xFFFFFF) + Bytes({0});
  TrpPages pages;
  const TrpTemplateLoad r = Load(pages, s);
  ASSERT_TRUE(r.Ok()) << r.Message;
  ASSERT_EQ(pages.GetCount(), 1);
  const TrpPage& p = *pages.GetPages(0);
  EXPECT_EQ(p.Name, "Page1");
  EXPECT_EQ(p.PaperSize, 11);
  EXPECT_EQ(p.Orientation, rpLandscape);
  EXPECT_EQ(p.PaperWidth, 2100);
  EXPECT_TRUE(p.UseMargins);
  EXPECT_EQ(p.Columns, 2);
  ASSERT_EQ(p.Objects.size(), 1u);
  auto& memo = dynamic_cast<TrpMemoView&>(*p.Objects[0]);
  EXPECT_EQ(memo.Name, "Memo1");
  EXPECT_EQ(memo.Memo.Lines(), (std::vector<AnsiString>{"a", "b"}));
  EXPECT_TRUE(memo.Flags & flWordWrap);
  EXPECT_EQ(memo.Font.Size, 8);
}

TEST_F(Templates, DialogPageCodesReadAsTheirNames) {
  TrpPages pages;
  TrpTemplateBuilder b(pages);
  TrpPage& d = b.Page();
  d.PageType = ptDialog;
  d.BorderStyle = 0;
  d.Position = 1;
  const std::string bytes = Save(pages);
  TrpPages back;
  ASSERT_TRUE(Load(back, bytes).Ok());
  EXPECT_EQ(back.GetPages(0)->BorderStyle, bsDialog);
  EXPECT_EQ(back.GetPages(0)->Position, poScreenCenter);
}

namespace {

class TrpTestControl : public TrpControl {
 public:
  AnsiString ClassName() const override { return "TrpTestControl"; }
};

}  // namespace

TEST_F(Templates, AddInClassesAndTheFramedMemoLegacyName) {
  rpRegisterObjectClass("TrpTestControl", [] { return std::make_unique<TrpTestControl>(); });
  TrpPages pages;
  TrpTemplateBuilder b(pages);
  b.Page();
  TrpView& c = b.Add(std::make_unique<TrpTestControl>());
  c.SetBounds(5, 6, 70, 20);
  TMemoryStream memo;  // a memo record to reuse under the legacy class name
  b.Memo("framed", 1, 2, 30, 10).SaveToStream(memo);
  const std::string bytes = Save(pages);
  TrpPages back;
  ASSERT_TRUE(Load(back, bytes).Ok());
  ASSERT_EQ(back.GetPages(0)->Objects.size(), 2u);
  EXPECT_EQ(back.GetPages(0)->Objects[0]->ClassName(), "TrpTestControl");
  EXPECT_EQ(back.GetPages(0)->Objects[0]->ObjectType, rpotAddIn);
  EXPECT_EQ(Save(back), bytes);
  rpUnregisterObjectClass("TrpTestControl");

  // "TRPFRAMEDMEMOVIEW" in any case makes a memo whose record is followed by 8 bytes.
  const std::size_t at = FirstObjectAt(pages);
  std::string legacy = bytes.substr(0, at);
  const std::string cls = Bytes({17, 0}) + "TrpFramedMemoView" + Bytes({0});
  const std::size_t recordStart = legacy.size();
  const std::size_t end = recordStart + 1 + cls.size() + 1 + 4 + static_cast<std::size_t>(memo.Size()) + 8;
  legacy += Bytes({rpotAddIn}) + cls + Bytes({0}) + I32(static_cast<std::int32_t>(end)) + memo.Bytes() +
            std::string(8, 'L');
  TMemoryStream dict;
  pages.Dictionary.SaveToStream(dict);
  legacy += Bytes({254}) + dict.Bytes();
  TrpPages old;
  const TrpTemplateLoad r = Load(old, legacy);
  ASSERT_TRUE(r.Ok()) << r.Message;
  ASSERT_EQ(old.GetPages(0)->Objects.size(), 1u);
  EXPECT_EQ(old.GetPages(0)->Objects[0]->ObjectType, rpotMemo);
  EXPECT_EQ(old.GetPages(0)->Objects[0]->Memo[0], "framed");
}
