// What a template's scripts may take: the memory their stored values hold together,
// the values they may give pages and views, and the object an over-long script is
// reported against.
#include "BuildFixture.h"
#include "report/RP_Lookup.h"

using namespace rpbuildtest;

namespace {

// A title band "Title" with one memo "Memo1"; the band's script builds a 64 KB string
// s (2^16 characters), runs `loop` and gives the memo a short text again.
void TitleScript(Fixture& f, const std::string& loop) {
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
  title.Name = "Title";
  f.b.Memo("x", 20, 0, 100, 18).Name = "Memo1";
  title.Script.SetText(
      "begin s := 'x'; i := 0; while i < 16 do begin s := s + s; i := i + 1 end; i := 0; " + loop +
      "; Memo1.Memo := 'x' end");
}

}  // namespace

TEST(RpScriptLimits, StoredValuesAreBoundedAndTheBandIsNamed) {
  struct Case {
    const char* what;
    const char* loop;
    bool stops;
  };
  // The limit is 1 MB; each stored string is 64 KB.
  const Case cases[] = {
      {"array of 100 strings", "while i < 100 do begin SetArray(A, i, s); i := i + 1 end", true},
      {"memo lines added in a loop", "while i < 100 do begin Memo1.Memo.Add(s); i := i + 1 end", true},
      {"a variable doubled past the limit", "while i < 6 do begin s := s + s; i := i + 1 end", true},
      {"two strings and 100 numbers", "while i < 100 do begin SetArray(A, i, 1); V1 := s; V2 := s; i := i + 1 end",
       false},
      {"array of 10 strings", "while i < 10 do begin SetArray(A, i, s); i := i + 1 end", false},
      {"one variable assigned 1000 times", "while i < 1000 do begin t := s + ''; i := i + 1 end", false},
      {"one memo line replaced 1000 times", "while i < 1000 do begin Memo1.Memo := s; i := i + 1 end", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rpGlobalVariables().Clear();
    Fixture f;
    f.report.ScriptMemoryLimit = 1 << 20;
    TitleScript(f, c.loop);
    const bool built = f.report.PrepareReport();
    EXPECT_EQ(built, !c.stops) << cp::Ansi1251ToUtf8(f.report.ErrorText);
    if (c.stops) {
      EXPECT_NE(f.report.ErrorText.find(Ansi("Сценарии отчета хранят больше 1 МБ данных в полосе \"Title\"")),
                AnsiString::npos)
          << cp::Ansi1251ToUtf8(f.report.ErrorText);
      EXPECT_EQ(f.report.EMFPages.GetCount(), 0);
    }
  }
  rpGlobalVariables().Clear();
  // The default is 256 MB.
  EXPECT_EQ(TrpReport().ScriptMemoryLimit, std::int64_t{256} << 20);
}

TEST(RpScriptLimits, AnOverLongScriptNamesItsOwnObject) {
  // The title band shows another band again and again: the script that runs too long
  // is the title band's, not the shown band's.
  Fixture f;
  f.report.ScriptStepLimit = 200;
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
  title.Name = "Title";
  title.Script.SetText("while 1 do ShowBand('Other')");
  f.b.Memo("title", 20, 0, 100, 18);
  TrpBandView& other = f.b.Band(btChild, 40, 20);
  other.Name = "Other";
  other.Script.SetText("y := 1");
  f.b.Memo("other", 20, 40, 100, 18).Name = "OtherMemo";
  EXPECT_FALSE(f.report.PrepareReport());
  const std::string text = cp::Ansi1251ToUtf8(f.report.ErrorText);
  EXPECT_NE(text.find("Объект: Title\r"), std::string::npos) << text;
  EXPECT_NE(text.find("Сценарий выполняется слишком долго"), std::string::npos) << text;
}

TEST(RpScriptLimits, TextsStoredInObjectsCountToo) {
  // Forty memos M0..M39 (or forty child bands B0..B39), each given the 64 KB string s
  // by the title band's script: 2.5 MB against a limit of 1 MB. A text of line breaks
  // only holds a line for each.
  struct Case {
    const char* what;
    std::string each;  // the statement for each object, "#" standing for its name
    bool stops;
    bool bands = false;  // the objects are child bands, not memos
  };
  const Case cases[] = {
      {"tags", "#.Tag := s", true},
      {"names", "#.Name := s + '#'", true},
      {"memo texts", "#.Memo := s", true},
      {"texts of line breaks", "#.Memo := n", true},
      {"short tags", "#.Tag := 'x'", false},
      {"child band links", "#.ChildBand := s", true, true},
      {"master links", "#.Master := s", true, true},
      {"short links", "#.Master := 'x'", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    rpGlobalVariables().Clear();
    Fixture f;
    f.report.ScriptMemoryLimit = 1 << 20;
    f.b.Page(9, rpPortrait, 20);
    TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
    title.Name = "Title";
    std::string statements;
    if (c.bands) f.b.Memo("x", 20, 0, 100, 18);
    for (int k = 0; k < 40; ++k) {
      const std::string m = (c.bands ? "B" : "M") + std::to_string(k);
      if (c.bands) f.b.Band(btChild, 40 + 20 * k, 20).Name = m.c_str();
      else f.b.Memo("x", 20, 0, 100, 18).Name = m.c_str();
      std::string one = c.each;
      for (std::size_t at = one.find('#'); at != std::string::npos; at = one.find('#', at + m.size()))
        one.replace(at, 1, m);
      statements += one + "; ";
    }
    // s: 64 KB of "x"; n: 1 KB of line breaks.
    f.values["NL"] = Variant(AnsiString(1024, '\n'));
    title.Script.SetText("begin s := 'x'; n := [NL]; i := 0; while i < 16 do begin s := s + s; i := i + 1 end; " +
                         statements + " end");
    const bool built = f.report.PrepareReport();
    EXPECT_EQ(built, !c.stops) << cp::Ansi1251ToUtf8(f.report.ErrorText);
    if (c.stops) {
      EXPECT_NE(f.report.ErrorText.find(Ansi("Сценарии отчета хранят больше 1 МБ данных в полосе \"Title\"")),
                AnsiString::npos)
          << cp::Ansi1251ToUtf8(f.report.ErrorText);
    }
  }
  rpGlobalVariables().Clear();
}

TEST(RpScriptLimits, AFontNameIsKeptNoLongerThanAnyFontHas) {
  Fixture f;
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
  f.b.Memo("x", 20, 0, 100, 18).Name = "M0";
  title.Script.SetText("begin s := 'Arial'; i := 0; while i < 16 do begin s := s + s; i := i + 1 end; M0.Font.Name := s end");
  ASSERT_TRUE(f.report.PrepareReport()) << cp::Ansi1251ToUtf8(f.report.ErrorText);
  f.report.EMFPages.ObjectsToPage(0);
  int memos = 0;
  for (const auto& v : f.report.EMFPages.GetPages(0)->Page->Objects)
    if (auto* m = dynamic_cast<TrpMemoView*>(v.get())) {
      ++memos;
      EXPECT_EQ(m->Font.Name.size(), 255u);
    }
  EXPECT_EQ(memos, 1);
}

TEST(RpScriptLimits, ValuesAScriptSetsStayWithinWhatAPageHolds) {
  // Each statement runs in the page's, the title's and every data row's script; the
  // report is built without an integer overflow and every page it made can be drawn.
  const char* const statements[] = {
      "Page1.TopMargin := 2147483647",    "Page1.BottomMargin := 2147483647", "Page1.LeftMargin := -2147483647",
      "Page1.Height := 1e12",             "Page1.Width := -1e12",             "Page1.Columns := 2147483647",
      "Page1.ColumnGap := 2147483647",    "CurY := 2147483600",               "Data.Height := 2147483647",
      "M1.Top := 2147483647",             "M1.Font.Size := 2147483647",       "M1.Font.Size := -2147483647",
      "M1.LineSpacing := 2147483647",     "M1.CharSpacing := -2147483647",
  };
  for (const char* statement : statements) {
    SCOPED_TRACE(statement);
    Fixture f;
    f.Rows("Rows", Numbered(5));
    TrpPage& page = f.b.Page(9, rpPortrait, 20);
    page.Name = "Page1";
    page.Script.SetText(statement);
    TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
    title.Script.SetText(statement);
    f.b.Memo("x", 20, 0, 100, 18);
    TrpBandView& data = f.b.Band(btMasterData, 60, 20);
    data.FormatStr = "Rows";
    data.Name = "Data";
    data.Script.SetText(statement);
    f.b.Memo("[N]", 20, 60, 100, 18).Name = "M1";
    f.b.Band(btPageFooter, 100, 20);
    f.b.Memo("f", 20, 100, 100, 18);
    ASSERT_TRUE(f.report.PrepareReport()) << cp::Ansi1251ToUtf8(f.report.ErrorText);
    for (int i = 0; i < f.report.EMFPages.GetCount(); ++i) {
      TRecordingCanvas canvas(Rect(0, 0, 800, 1100));
      EXPECT_NO_THROW(f.report.EMFPages.Draw(i, canvas, Rect(0, 0, 800, 1100))) << "page " << i;
    }
  }
}

TEST(RpScriptLimits, AnErrorQuotesAsMuchOfTheObjectsTextAsAMessageCanShow) {
  // The memo's text is 20 lines of 70 KB set by the title's script; printing it fails
  // (a line of a prepared page holds at most 64 KB).
  Fixture f;
  f.b.Page(9, rpPortrait, 20);
  TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
  TrpMemoView& memo = f.b.Memo("x", 20, 0, 100, 18);
  memo.Name = "M0";
  memo.Flags &= static_cast<std::uint16_t>(~flWordWrap);
  std::string text;
  for (int i = 0; i < 20; ++i) text += std::string(70000, 'x') + "\r\n";
  f.values["TEXT"] = Variant(AnsiString(text));
  title.Script.SetText("M0.Memo := [TEXT]");
  EXPECT_FALSE(f.report.PrepareReport());
  const std::string error = cp::Ansi1251ToUtf8(f.report.ErrorText);
  EXPECT_LT(error.size(), 4000u) << error.substr(0, 4000);
  EXPECT_NE(error.find("xxx...\r"), std::string::npos) << error.substr(0, 4000);
  EXPECT_NE(error.find("Объект: M0\r"), std::string::npos) << error.substr(0, 4000);
}

TEST(RpScriptLimits, AnOverLongPageScriptNamesThePage) {
  Fixture f;
  f.report.ScriptStepLimit = 200;
  TrpPage& page = f.b.Page(9, rpPortrait, 20);
  page.Name = "Page1";
  page.Script.SetText("while 1 do x := 1");
  f.b.Band(btReportTitle, 0, 20).Name = "Title";
  f.b.Memo("title", 20, 0, 100, 18);
  EXPECT_FALSE(f.report.PrepareReport());
  const std::string text = cp::Ansi1251ToUtf8(f.report.ErrorText);
  EXPECT_NE(text.find("Объект: Page1\r"), std::string::npos) << text;
  EXPECT_NE(text.find("Сценарий выполняется слишком долго"), std::string::npos) << text;
}
