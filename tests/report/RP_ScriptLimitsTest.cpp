// What a template's scripts may take: the memory their stored values hold together,
// and the object an over-long script is reported against.
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
