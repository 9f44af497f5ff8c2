#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"
#include "report/RP_Lookup.h"

namespace {

std::string Show(const Variant& v) {
  if (v.IsNull()) return "Null";
  if (v.IsEmpty()) return "Empty";
  return std::string(Variant::TypeName(v.VarType())) + ":" + v.AsString();
}

// A lookup wired to a parser, as a report wires it.
struct Chain {
  TrpParser parser;
  TrpValueLookup lookup;
  TrpDataDictionary dictionary;
  std::map<std::string, Variant> application;
  int page = 2;

  Chain() {
    parser.OnGetValue = [this](const AnsiString& name, Variant& value) { lookup.GetVariableValue(name, value); };
    lookup.Evaluate = [this](const AnsiString& e) { return parser.Evaluate(e); };
    lookup.OnGetValue = [this](const AnsiString& name, Variant& value) {
      auto it = application.find(name);
      if (it == application.end()) return false;
      value = it->second;
      return true;
    };
    lookup.BuildValue = [this](const AnsiString& name, Variant& value) {
      if (name == "PAGE#") value = Variant(page + 1);
      else if (name == "TOTALPAGES") value = Variant(0);
      else return false;
      return true;
    };
    lookup.PageValue = [](const AnsiString& name, Variant& value) {
      if (name != "MEMO1.LEFT") return false;
      value = Variant(40);
      return true;
    };
    lookup.Dictionary = &dictionary;
  }
  std::string Value(const char* name) {
    Variant v;
    lookup.GetVariableValue(Ansi(name), v);
    return Show(v);
  }
};

}  // namespace

TEST(RpLookup, OrderOfAnswers) {
  Chain c;
  c.application["X"] = Variant::Null();
  c.application["PAGE#"] = Variant(77);  // the application answers first
  c.dictionary.Variables.SetValueByName("Twice", "Half * 2");
  c.dictionary.Variables.SetValueByName("Half", "21");
  rpGlobalVariables().SetValueByName("GlobalOne", 5);
  EXPECT_EQ(c.Value("X"), "Null");  // Null is an answer
  EXPECT_EQ(c.Value("PAGE#"), "Integer:77");
  c.application.clear();
  EXPECT_EQ(c.Value("PAGE#"), "Integer:3");
  EXPECT_EQ(c.Value("TOTALPAGES"), "Integer:0");
  EXPECT_EQ(c.Value("Twice"), "Double:42");
  EXPECT_EQ(c.Value("GlobalOne"), "Integer:5");
  EXPECT_EQ(c.Value("MEMO1.LEFT"), "Integer:40");
  EXPECT_EQ(c.Value("clRed"), "Integer:255");
  EXPECT_EQ(c.Value("clBtnFace"), "Integer:-2147483633");
  EXPECT_EQ(c.Value("mrYes"), "Integer:6");
  EXPECT_EQ(c.Value("CRLF"), "String:\r\n");
  EXPECT_EQ(c.Value("Null"), "Null");
  EXPECT_EQ(c.Value("2 + 3"), "Double:5");  // a name read as an expression
  c.lookup.ValueSlot = Variant("last");
  EXPECT_EQ(c.Value("VALUE"), "String:last");
  rpGlobalVariables().DeleteAt(rpGlobalVariables().IndexOfName("GlobalOne"));
}

TEST(RpLookup, UnknownAndCircularNamesRaiseInsteadOfOverflowing) {
  Chain c;
  try {
    c.Value("nothing");
    FAIL() << "no error";
  } catch (const EParserError& e) {
    EXPECT_EQ(std::string(e.what()), Ansi("Переменная не определена: \"NOTHING\""));
  }
  c.dictionary.Variables.SetValueByName("A", "B + 1");
  c.dictionary.Variables.SetValueByName("B", "A + 1");
  EXPECT_THROW(c.Value("A"), EParserError);
  c.lookup.CollectingAggregates = true;  // while aggregates are collected an unknown name is 0
  EXPECT_EQ(c.Value("nothing"), "Integer:0");
}

TEST(RpLookup, ArraysAndGlobals) {
  EXPECT_EQ(rpArrayElementName("Days", Variant(2.0)), "Arr_Days_2");
  EXPECT_EQ(rpArrayElementName("Days", Variant("x")), "Arr_Days_x");
  EXPECT_EQ(rpGlobalVariables().IndexOfName("Arr_Never_1"), -1);
  EXPECT_TRUE(rpGlobalVariables().Sorted());
  EXPECT_TRUE(rpNamedConstants().Sorted());
  // (the four kinds of picture images come with the first picture view)
  const int pictureKinds = rpNamedConstants().IndexOfName("btBMP") >= 0 ? 4 : 0;
  EXPECT_EQ(rpNamedConstants().Count(), 57 + 25 + 2 + pictureKinds);
}

TEST(RpLookup, FormatsAndInlineFormats) {
  const std::int32_t text = rpFormatWord(rpfkText, 0, 0, '.');
  struct Case {
    const char* bracket;
    Variant value;
    const char* shown;
    std::int32_t format;
    const char* formatStr;
  };
  TDateTime d = 0;
  ASSERT_TRUE(TryEncodeDate(2003, 2, 1, d));
  const Case cases[] = {
      {"x #N2,2", 1234.5, "1234,50", text, ""},
      {"x #N#,##0.00", 1234.5, "1 234.50", text, ""},
      {"x #N2.1", 2.25, "2.3", text, ""},
      {"x #2.0", 7.5, "8", text, ""},
      {"x #Ddd.mm.yyyy", Variant::FromDate(d), "01.02.2003", text, ""},
      {"x #Bнет;да", true, "да", text, ""},
      {"x #Bнет;да", false, "нет", text, ""},
      {"x #Bесть", false, "", text, ""},
      {"x #Bесть", true, "есть", text, ""},
      {"x #Qxyz", 2.5, "2.5", text, ""},  // an unknown letter keeps the view's format
      {"x", 1234.5, "1234,5", rpFormatWord(rpfkNumber, 0, 2, ','), ""},
      {"x", 1234.5, "1 234,5", rpFormatWord(rpfkNumber, 2, 2, ','), ""},
      {"x", 1234.5, "1234.50", rpFormatWord(rpfkNumber, 1, 2, 0), ""},  // separator 0 is "."
      {"x", 1234.567, "1 234.57", rpFormatWord(rpfkNumber, 3, 2, '.'), ""},
      {"x", 3.0, "003", rpFormatWord(rpfkNumber, rpfsOwn, 0, '.'), "000"},
      {"x", Variant::FromDate(d), "1 фев 2003", rpFormatWord(rpfkDate, 2, 0, '.'), ""},
      {"x", Variant::FromDate(d), "1 февраля 2003", rpFormatWord(rpfkDate, 3, 0, '.'), ""},
      {"x", Variant::FromDate(d + 0.5), "12:00", rpFormatWord(rpfkTime, 2, 0, '.'), ""},
      {"x", 1, "Да", rpFormatWord(rpfkBoolean, 1, 0, '.'), ""},
      {"x", Variant("abc"), "abc", rpFormatWord(rpfkNumber, 0, 2, '.'), ""},  // cannot format: as it is
      {"x", Variant("  "), "", text, ""},
      {"x", Variant::Null(), "", text, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bracket);
    Chain chain;
    chain.application["X"] = c.value;
    chain.application["x"] = c.value;
    EXPECT_EQ(chain.lookup.GetValueText(Ansi(c.bracket), c.format, Ansi(c.formatStr), false), Ansi(c.shown));
  }
}

TEST(RpLookup, HideZerosHidesNumericZerosOnly) {
  Chain c;
  const std::int32_t text = rpFormatWord(rpfkText, 0, 0, '.');
  for (const auto& [value, shown] : std::vector<std::pair<Variant, std::string>>{
           {Variant(0), ""}, {Variant(0.0), ""}, {Variant("0"), "0"}, {Variant(5), "5"}, {Variant(false), "False"}}) {
    c.application["Z"] = value;
    EXPECT_EQ(c.lookup.GetValueText("Z", text, "", true), shown) << Show(value);
    EXPECT_EQ(c.lookup.GetValueText("Z", text, "", false), VarToStr(value));
  }
  c.lookup.CollectingAggregates = true;
  EXPECT_EQ(c.lookup.GetValueText("Z", text, "", false), "");
}

TEST(RpLookup, ScriptsAssignCallAndUseArrays) {
  TrpValueLookup lookup;
  TInterpretator script(lookup);
  std::vector<std::string> actions;
  lookup.BuildAction = [&](const AnsiString& name, const AnsiString& p1) {
    actions.push_back(name + ":" + p1);
    return true;
  };
  lookup.ObjectMethod = [&](const AnsiString& object, const AnsiString& method, const Variant& p1,
                            const Variant& p2, const Variant&, Variant& result) {
    if (!SameText(object, "Memo1")) return false;
    actions.push_back(object + "." + method + "(" + p1.AsString() + "," + p2.AsString() + ")");
    result = Variant("m");
    return true;
  };
  std::map<std::string, Variant> build;
  lookup.WriteBuildValue = [&](const AnsiString& name, const Variant& value) {
    if (!SameText(name, "CURY")) return false;
    build["CURY"] = value;
    return true;
  };
  std::vector<std::string> userCalls;
  lookup.OnUserFunction = [&](const AnsiString& name, const Variant&, const Variant&, const Variant&, Variant& value) {
    userCalls.push_back(name);
    if (name == "MINE") value = Variant(7);
  };
  TStringList source, compiled, errors;
  source.Add("begin n := 1; inc(n); inc(n); dec(n); a[n] := 'two'; b := a[2]; c := a[5]; k := Length('abc');");
  source.Add("u := Mine(1); CurY := 30; NewPage; ShowBand(Footer1); Memo1.Lines[3] := 'x'; w := Memo1.Go(1, 2);");
  source.Add("StopReport end");
  ASSERT_TRUE(script.CompileScript(source, compiled, errors)) << (errors.Count() ? errors[0] : "");
  script.RunScript(compiled);
  TrpVariables& g = rpGlobalVariables();
  EXPECT_EQ(Show(g.GetValueByName("n")), "Double:2");
  EXPECT_EQ(Show(g.GetValueByName("Arr_a_2")), "String:two");
  EXPECT_EQ(Show(g.GetValueByName("b")), "String:two");
  EXPECT_EQ(Show(g.GetValueByName("c")), "Null");  // an element never set
  EXPECT_EQ(Show(g.GetValueByName("k")), "Integer:3");
  EXPECT_EQ(Show(g.GetValueByName("u")), "Integer:7");
  EXPECT_EQ(Show(g.GetValueByName("w")), "String:m");
  EXPECT_EQ(g.IndexOfName("CurY"), -1);
  EXPECT_EQ(Show(build["CURY"]), "Double:30");
  EXPECT_EQ(actions, (std::vector<std::string>{"NEWPAGE:0", "SHOWBAND:Footer1", "Memo1.SETINDEXPROPERTY(LINES,3)",
                                               "MEMO1.GO(1, 2)", "STOPREPORT:0"}));
  // The user's handler hears every call that no library took, built-in or not.
  EXPECT_EQ(userCalls, (std::vector<std::string>{"INC", "INC", "DEC", "SETARRAY", "GETARRAY", "GETARRAY", "MINE",
                                                 "NEWPAGE", "SHOWBAND", "SETARRAY", "MEMO1.GO", "STOPREPORT"}));
  for (const char* n : {"n", "Arr_a_2", "b", "c", "k", "u", "w"})
    if (g.IndexOfName(n) >= 0) g.DeleteAt(g.IndexOfName(n));
}
