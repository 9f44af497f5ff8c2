#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"
#include "report/RP_Memo.h"

// The measuring canvas is the recording one with the fixed-width fake metrics: every
// character 6 pixels wide; a 10-point font is 13 pixels high, so a line step is 15.
namespace {

class Memo : public ::testing::Test {
 protected:
  void SetUp() override {
    rpResetState();
    rpState().DocMode = rpOutputMode;
  }
  void TearDown() override { rpResetState(); }
};

std::vector<AnsiString> Wrap(const AnsiString& text, int width, std::uint16_t flags) {
  TrpMemoView m;
  m.SetBounds(0, 0, width, 200);
  m.Flags = flags;
  m.PrintText.Add(text);
  m.WrapMemo();
  return rpWrappedLines().Lines();
}

AnsiString M(const char* utf8) { return Ansi(utf8) + rpLineEndMarker; }

}  // namespace

TEST_F(Memo, HyphenPositions) {
  struct Case {
    const char* word;
    std::vector<int> positions;
  };
  for (const Case& c : {Case{"ПРОГРАММА", {4, 7}}, Case{"программа", {4, 7}}, Case{"СЛОВ", {}},
                        Case{"ПОДЪЕЗД", {}}, Case{"ВОДА", {}}, Case{"КОНЬКИ", {4}}, Case{"МОЛОКО", {2, 4}}}) {
    EXPECT_EQ(HyphenPositions(Ansi(c.word)), c.positions) << c.word;
  }
}

TEST_F(Memo, WrapTable) {
  const std::uint16_t ww = flWordWrap, wb = flWordWrap | flWordBreak;
  struct Case {
    const char* text;
    int width;  // view width; the text gets width - 4
    std::uint16_t flags;
    std::vector<AnsiString> lines;
  };
  const Case cases[] = {
      {"fits", 100, ww, {M("fits")}},
      {"aa bb cc", 34, ww, {"aa bb", M("cc")}},
      {"ab\r\ncd", 100, ww, {M("ab"), M("cd")}},
      {"ab\r\n", 100, ww, {M("ab")}},
      {"no wrap at all here", 34, 0, {M("no wrap at all here")}},
      // A long word is cut before the character that does not fit.
      {"1234567890", 22, ww, {"123", "456", "789", M("0")}},
      // With hyphenation a word with no break position is cut the same way, not one
      // character per line.
      {"1234567890", 22, wb, {"123", "456", "789", M("0")}},
      // The same for a word whose break positions all lie too far for the width.
      {"ПРОГРАММА", 22, wb, {Ansi("ПРО"), Ansi("ГРА"), M("ММА")}},
      {"ПРОГРАММА", 28, wb, {Ansi("ПРОГ"), Ansi("РАММ"), M("А")}},
      {"ПРОГРАММА", 40, wb, {Ansi("ПРОГ-"), M("РАММА")}},
      {"ПРОГРАММА", 52, wb, {Ansi("ПРОГРАМ-"), M("МА")}},
      {"ПРОГРАММА", 52, ww, {Ansi("ПРОГРАММ"), M("А")}},
      {"да ПРОГРАММА", 52, wb, {Ansi("да ПРОГ-"), M("РАММА")}},
  };
  for (const Case& c : cases) EXPECT_EQ(Wrap(Ansi(c.text), c.width, c.flags), c.lines) << c.text;
}

TEST_F(Memo, HeightsAndLineHeight) {
  TrpMemoView m;
  m.SetBounds(0, 0, 100, 30);
  m.Memo.Add("one");
  m.Memo.Add("two");
  EXPECT_EQ(m.CalcHeight(), 1 + 2 * 15 + 1);
  EXPECT_EQ(m.LineHeight, 15);
  EXPECT_EQ(m.MinHeight(), 15);
  EXPECT_EQ(m.RemainHeight(), 30);
  m.Visible = false;
  EXPECT_EQ(m.CalcHeight(), 0);
}

TEST_F(Memo, AlignmentAndJustificationOnTheCanvas) {
  struct Case {
    std::int32_t alignment;
    const char* text;
    std::vector<TPoint> at;
    std::vector<int> justify;  // extra pixels per line, 0 when not justified
  };
  const Case cases[] = {
      {rpalLeft, "ab", {{2, 1}}, {0}},
      {rpalRight, "ab", {{86, 1}}, {0}},
      {rpalCenter, "ab", {{44, 1}}, {0}},
      {rpalJustify, "aa bb", {{2, 1}}, {0}},  // the last line of a paragraph stays as it is
      {rpalJustify, "aaa bbb ccc ddd eee", {{2, 1}, {2, 16}}, {7, 0}},
      {rpalLeft | rpalMiddle, "ab", {{2, 18}}, {0}},
      {rpalLeft | rpalBottom, "ab", {{2, 34}}, {0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.alignment);
    TrpMemoView m;
    m.SetBounds(0, 0, 100, 50);
    m.Alignment = c.alignment;
    m.Memo.Add(c.text);
    TRecordingCanvas canvas;
    m.Draw(canvas);
    const auto texts = canvas.OpsOf(TRecordingCanvas::TOpKind::Text);
    ASSERT_EQ(texts.size(), c.at.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
      EXPECT_EQ(texts[i]->R.Left, c.at[i].X);
      EXPECT_EQ(texts[i]->R.Top, c.at[i].Y);
      EXPECT_EQ(texts[i]->JustifyExtra, c.justify[i]);
      EXPECT_EQ(texts[i]->JustifyBreaks, c.justify[i] ? 3 : 0);
      EXPECT_EQ(texts[i]->Clip, Rect(1, 0, 99, 50));
      EXPECT_EQ(texts[i]->Font.Height, -13);
    }
  }
}

TEST_F(Memo, TurnedTextAndScaledOutput) {
  TrpMemoView m;
  m.SetBounds(10, 10, 40, 100);
  m.Alignment = rpalRotated;
  m.Memo.Add("abc");
  TRecordingCanvas canvas;
  m.Draw(canvas);
  auto texts = canvas.OpsOf(TRecordingCanvas::TOpKind::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->Font.Orientation, 900);
  EXPECT_EQ(texts[0]->R.Left, 12);
  EXPECT_EQ(texts[0]->R.Top, 111 - 1);  // FrameRect bottom - GapY

  canvas.Clear();
  TrpMemoView s;
  s.SetBounds(10, 10, 100, 30);
  s.Memo.Add("ab");
  s.ScaleX = s.ScaleY = 2;
  s.OffsetX = 5;
  s.Draw(canvas);
  texts = canvas.OpsOf(TRecordingCanvas::TOpKind::Text);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->R.Left, 25 + 5);  // Left 25, GapX = 1 + 4
  EXPECT_EQ(texts[0]->Font.Height, -26);
}

TEST_F(Memo, SplitPrintKeepsTheRemainder) {
  TrpMemoView m;
  m.SetBounds(0, 0, 100, 70);
  for (int i = 1; i <= 10; ++i) m.PrintText.Add("line" + IntToStr(i) + rpLineEndMarker);
  m.DrawMode = 2;
  TMemoryStream out;
  m.Print(out);
  EXPECT_EQ(m.LinesShown, 4);
  ASSERT_EQ(m.PrintText.Count(), 6);
  EXPECT_EQ(m.PrintText[0], "line5" + AnsiString(1, rpLineEndMarker));
  EXPECT_EQ(m.DrawMode, 0);
  out.SetPosition(0);
  EXPECT_EQ(out.ReadByte(), rpotMemo);
  TrpMemoView back;
  back.InPreparedPage = true;
  back.LoadFromStream(out);
  ASSERT_EQ(back.Memo.Count(), 4);
  EXPECT_EQ(back.Memo[3], "line4" + AnsiString(1, rpLineEndMarker));
}

TEST_F(Memo, SuppressPrintsEqualValuesOnce) {
  TrpMemoView m;
  m.SetBounds(0, 0, 100, 20);
  m.Flags |= flSuppress;
  m.Memo.Add("[1+1]");
  TMemoryStream out;
  m.Print(out);
  const auto first = out.Size();
  EXPECT_GT(first, 0);
  m.Print(out);
  EXPECT_EQ(out.Size(), first);
  m.Memo.Clear();
  m.Memo.Add("[2+1]");
  m.Print(out);
  EXPECT_GT(out.Size(), first);
  out.SetPosition(1);
  TrpMemoView back;
  back.InPreparedPage = true;
  back.LoadFromStream(out);
  EXPECT_EQ(back.Memo[0], "2");
}

TEST_F(Memo, ExpandsBracketsIntoSeveralLines) {
  TrpMemoView m;
  m.Memo.Add("a [1+2] b");
  m.Memo.Add("");
  m.Memo.Add("[1");
  m.ExpandVariables();
  EXPECT_EQ(m.PrintText.Lines(), (std::vector<AnsiString>{"a 3 b", "", "[1"}));
  m.Flags |= flTextOnly;
  m.ExpandVariables();
  EXPECT_EQ(m.PrintText[0], "a [1+2] b");
}

TEST_F(Memo, InlineFormats) {
  struct Case {
    const char* text;
    const char* expr;
    std::int32_t format;
    const char* formatStr;
  };
  const std::int32_t view = rpFormatWord(rpfkText, 0, 2, '.');
  const Case cases[] = {
      {"A #N2.1", "A", rpFormatWord(rpfkNumber, 1, 1, '.'), ""},
      {"x #2,2", "x", rpFormatWord(rpfkNumber, 1, 2, ','), ""},
      {"x #N#,##0.00", "x", rpFormatWord(rpfkNumber, 4, 2, '.'), "#,##0.00"},
      {"d #Ddd.mm.yyyy", "d", rpFormatWord(rpfkDate, 4, 2, '.'), "dd.mm.yyyy"},
      {"b #BНет;Да", "b", rpFormatWord(rpfkBoolean, 4, 2, '.'), "Нет;Да"},
      {"s #Qxx", "s", view, "keep"},
      {"plain", "plain", view, "keep"},
  };
  for (const Case& c : cases) {
    std::int32_t format = view;
    AnsiString formatStr = "keep";
    EXPECT_EQ(rpInlineFormat(Ansi(c.text), format, formatStr), c.expr) << c.text;
    EXPECT_EQ(format, c.format) << c.text;
    if (std::string_view(c.formatStr) != "") {
      EXPECT_EQ(formatStr, Ansi(c.formatStr)) << c.text;
    }
  }
}

TEST_F(Memo, HideZerosAndExport) {
  TrpMemoView m;
  m.Memo.Add("[0]");
  m.ExpandVariables();
  EXPECT_EQ(m.PrintText[0], "");
  m.Flags &= ~flHideZeros;
  m.ExpandVariables();
  EXPECT_EQ(m.PrintText[0], "0");

  // Export: each line with its frame sides (all for one line; no bottom, none, no top).
  struct Recorder : TrpEngineHooks {
    std::vector<std::pair<AnsiString, int>> lines;
    int objects = 0;
    void AddExportText(const TRect&, int, int, const AnsiString& text, int sides, TrpView&) override {
      lines.emplace_back(text, sides);
    }
    void AddExportObject(TrpView&, int, int) override { ++objects; }
  } rec;
  rpSetHooks(&rec);
  TrpMemoView e;
  e.SetBounds(0, 0, 100, 100);
  e.FrameTyp = rpftAll;
  e.Memo.SetText("a\r\nb\r\nc");
  e.ExportData();
  const std::vector<std::pair<AnsiString, int>> expected = {
      {"a", rpftAll & ~rpftBottom}, {"b", rpftLeft | rpftRight}, {"c", rpftAll & ~rpftTop}};
  EXPECT_EQ(rec.lines, expected);
  EXPECT_EQ(rec.objects, 1);
  rpSetHooks(nullptr);
}
