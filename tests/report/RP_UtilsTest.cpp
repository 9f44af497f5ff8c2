#include <gtest/gtest.h>

#include "report/RP_Utils.h"

namespace {

TStringList Lines(std::initializer_list<const char*> items) {
  TStringList l;
  for (const char* s : items) l.Add(s);
  return l;
}

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s.push_back(static_cast<char>(c));
  return s;
}

}  // namespace

TEST(RpStreams, StringBytesAndRoundTrip) {
  struct Case {
    std::string text, bytes;
  };
  const Case cases[] = {
      {"", Bytes({0, 0, 0})},
      {"ab", Bytes({2, 0, 'a', 'b', 0})},
      {std::string(300, 'x'), Bytes({0x2C, 1}) + std::string(300, 'x') + Bytes({0})},
      {Ansi("Итог"), Bytes({4, 0}) + Ansi("Итог") + Bytes({0})},
  };
  for (const auto& c : cases) {
    TMemoryStream m;
    rpStreamWriteString(m, c.text);
    EXPECT_EQ(m.Bytes(), c.bytes);
    m.SetPosition(0);
    EXPECT_EQ(rpStreamReadString(m), c.text);
    EXPECT_EQ(m.BytesLeft(), 0);
  }
  TMemoryStream tail(Bytes({1, 0, 'z', 7, 'n'}));  // the byte after the text is taken whatever it is
  EXPECT_EQ(rpStreamReadString(tail), "z");
  EXPECT_EQ(tail.Position(), 4);
}

TEST(RpStreams, LineListBytesAndRoundTrip) {
  struct Case {
    TStringList lines;
    std::string bytes;
  };
  const Case cases[] = {
      {Lines({}), Bytes({0, 0, 0})},
      {Lines({"a", "bc"}), Bytes({2, 0, 1, 0, 'a', 13, 2, 0, 'b', 'c', 0})},
      {Lines({""}), Bytes({1, 0, 0, 0, 0})},
      {Lines({"", "", "x"}), Bytes({3, 0, 0, 0, 13, 0, 0, 13, 1, 0, 'x', 0})},
  };
  for (const auto& c : cases) {
    TMemoryStream m;
    rpStreamWriteLines(m, c.lines);
    EXPECT_EQ(m.Bytes(), c.bytes);
    m.SetPosition(0);
    TStringList back = Lines({"stale"});
    rpStreamReadLines(m, back);
    EXPECT_EQ(back.Lines(), c.lines.Lines());
    EXPECT_EQ(m.BytesLeft(), 0);
  }
  // The reader follows the separators, not the count.
  TMemoryStream m(Bytes({1, 0, 1, 0, 'a', 13, 1, 0, 'b', 0}));
  TStringList l;
  rpStreamReadLines(m, l);
  EXPECT_EQ(l.Lines(), Lines({"a", "b"}).Lines());
}

TEST(RpStreams, DamagedStreamsRaise) {
  const std::string damaged[] = {
      "", Bytes({5, 0, 'a'}), Bytes({1, 0, 'a'}), Bytes({0xFF, 0xFF}),
  };
  for (const auto& bytes : damaged) {
    TMemoryStream s(bytes);
    EXPECT_THROW(rpStreamReadString(s), EReadError);
  }
  const std::string damagedLists[] = {
      "", Bytes({0, 0}), Bytes({2, 0, 1, 0, 'a', 13}), Bytes({2, 0, 1, 0, 'a', 13, 9, 0, 'b'}),
      Bytes({1, 0, 1, 0, 'a'}),
  };
  for (const auto& bytes : damagedLists) {
    TMemoryStream s(bytes);
    TStringList l;
    EXPECT_THROW(rpStreamReadLines(s, l), EReadError);
  }
  TMemoryStream old(Bytes({'a', 'b'}));
  EXPECT_THROW(rpStreamReadStringOld(old), EReadError);
}

TEST(RpStreams, OversizeIsRefusedNotTruncated) {
  TMemoryStream m;
  EXPECT_THROW(rpStreamWriteString(m, std::string(65536, 'x')), EWriteError);
  TStringList many;
  for (int i = 0; i < 65536; ++i) many.Add("");
  EXPECT_THROW(rpStreamWriteLines(m, many), EWriteError);
  TStringList longLine = Lines({"a"});
  longLine.Add(std::string(70000, 'y'));
  EXPECT_THROW(rpStreamWriteLines(m, longLine), EWriteError);
  EXPECT_EQ(m.Size(), 0);  // nothing half-written
  rpStreamWriteString(m, std::string(65535, 'x'));
  EXPECT_EQ(m.Size(), 65535 + 3);
}

TEST(RpStreams, OldForms) {
  struct Case {
    std::string bytes;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {Bytes({'a', 13, 13, 'b', 0}), {"a", "", "b"}},
      {Bytes({'a', 13, 0}), {"a"}},
      {Bytes({0}), {}},
      {Bytes({13, 0}), {""}},
  };
  for (const auto& c : cases) {
    TMemoryStream m(c.bytes + "rest");
    TStringList l;
    rpStreamReadLinesOld(m, l);
    EXPECT_EQ(l.Lines(), c.lines);
    EXPECT_EQ(m.BytesLeft(), 4);
  }
  TMemoryStream s(Bytes({'h', 'i', 0, 'x'}));
  EXPECT_EQ(rpStreamReadStringOld(s), "hi");
}

TEST(RpStreams, WordsIntegersAndFontStyles) {
  TMemoryStream m;
  rpStreamWriteWord(m, -2);
  rpStreamWriteInt(m, 0x01020304);
  EXPECT_EQ(m.Bytes(), Bytes({0xFE, 0xFF, 4, 3, 2, 1}));
  m.SetPosition(0);
  EXPECT_EQ(rpStreamReadWord(m), -2);
  // stored bit 0 italic, bit 1 bold; in memory bit 0 bold, bit 1 italic
  const std::pair<int, int> styles[] = {{0, 0}, {1, 2}, {2, 1}, {3, 3}, {4, 4}, {8, 8}, {13, 14}};
  for (auto [stored, memory] : styles) {
    EXPECT_EQ(rpFontStyleFromBits(static_cast<std::uint8_t>(stored)), memory) << stored;
    EXPECT_EQ(rpFontStyleToBits(static_cast<std::uint8_t>(memory)), stored) << memory;
  }
}

TEST(RpStrings, LocalStringsAndHandler) {
  EXPECT_EQ(rpLocalString(55206), Ansi("Ошибка"));
  EXPECT_EQ(rpLocalString(55439), Ansi("Переменная не определена:"));
  EXPECT_EQ(rpLocalString(55087), "Subdetail header");
  EXPECT_EQ(rpLocalString(55099), Ansi("Нет"));
  for (int absent : {53420, 55008, 55074, 55435, 0, -1, 99999}) EXPECT_EQ(rpLocalString(absent), "") << absent;
  rpSetLocalizeHandler([](int id) { return id == 55206 ? AnsiString("Error") : AnsiString(); });
  EXPECT_EQ(rpLocalString(55206), "Error");
  EXPECT_EQ(rpLocalString(55200), Ansi("Возникла ошибка при обработке выражения"));  // empty answer falls back
  rpSetLocalizeHandler(nullptr);
  EXPECT_EQ(rpLocalString(55206), Ansi("Ошибка"));
}

TEST(RpStrings, TheLocaleObjectWithAResourceModule) {
  TrpLocale& locale = rpLocale();
  EXPECT_EQ(&locale, &rpLocale());  // one object
  // A translation replaces the whole built-in table: an id it lacks reads empty.
  const AnsiString longText(3000, 'x');
  locale.ResourceModule = [&](int id, AnsiString& text) {
    if (id == 55206) text = "Error";
    else if (id == 55200) text = longText;
    else return false;
    return true;
  };
  EXPECT_EQ(locale.LoadString(55206), "Error");
  EXPECT_EQ(rpLocalString(55206), "Error");  // every engine text goes through it
  EXPECT_EQ(locale.LoadString(55439), "");
  EXPECT_EQ(locale.LoadString(55200), AnsiString(1023, 'x'));  // what the 1024-character buffer holds
  // The handler comes first; its empty answer falls back to the module.
  locale.OnLocalize = [](int id) { return id == 55206 ? AnsiString("Fehler") : AnsiString(); };
  EXPECT_EQ(locale.LoadString(55206), "Fehler");
  EXPECT_EQ(locale.LoadString(55439), "");
  locale.OnLocalize = nullptr;
  locale.ResourceModule = nullptr;
  EXPECT_EQ(rpLocalString(55206), Ansi("Ошибка"));
  EXPECT_EQ(rpLocalString(55439), Ansi("Переменная не определена:"));
}

TEST(RpStrings, SmallHelpers) {
  EXPECT_EQ(rpStrToFloatAnySep(" 1,5 "), 1.5);
  EXPECT_EQ(rpStrToFloatAnySep("1.5"), 1.5);
  EXPECT_THROW(rpStrToFloatAnySep("1,5,5"), EConvertError);
  EXPECT_THROW(rpStrToFloatAnySep(""), EConvertError);

  const std::pair<const char*, const char*> unquote[] = {
      {"\"ab\"", "ab"}, {"\"\"", "\"\""}, {"\"a", "\"a"}, {"a\"", "a\""}, {"\"x\"", "x"}, {"", ""}};
  for (auto [in, out] : unquote) EXPECT_EQ(rpUnquoteDouble(in), out) << in;

  std::size_t pos = 0;
  EXPECT_EQ(rpNextSemicolonItem("a;;bc", pos), "a");
  EXPECT_EQ(rpNextSemicolonItem("a;;bc", pos), "");
  EXPECT_EQ(rpNextSemicolonItem("a;;bc", pos), "bc");
  EXPECT_EQ(pos, 5u);
  EXPECT_EQ(rpNextSemicolonItem("a;;bc", pos), "");

  const std::pair<const char*, std::vector<std::string>> split[] = {
      {"x;y;", {"x", "y"}}, {"x;y", {"x", "y"}}, {";", {""}}, {"", {}}, {"a;;b", {"a", "", "b"}}};
  for (const auto& [in, out] : split) {
    TStringList l = Lines({"old"});
    rpSplitSemicolonList(in, l);
    EXPECT_EQ(l.Lines(), out) << in;
  }
}
