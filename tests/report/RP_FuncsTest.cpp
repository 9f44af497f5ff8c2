#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"
#include "report/RP_Funcs.h"
#include "report/RP_Intrp.h"

namespace {

// Standard functions evaluated through a parser whose unknown calls go to the libraries.
class Functions : public ::testing::Test {
 protected:
  void SetUp() override {
    parser.OnFunction = [this](const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                               Variant& value) {
      value = Variant("0");
      rpCallLibraryFunction(name, p1, p2, p3, value);
    };
    parser.OnGetValue = [](const AnsiString& name, Variant& value) {
      if (name == "D") value = Variant::FromDate(37653.75);  // 01.02.2003 18:00
      if (name == "N") value = Variant(-2.5);
    };
    services.Evaluate = [this](const AnsiString& e) { return parser.Evaluate(e); };
    services.MessageBox = [this](const AnsiString& text, const AnsiString& caption, int flags) {
      shown = text + "|" + caption + "|" + std::to_string(flags);
      return 6;
    };
    services.InputQuery = [](const AnsiString&, const AnsiString& prompt, AnsiString& value) {
      value = prompt + ":" + value;
      return true;
    };
    services.Aggregate = [this](int code, const AnsiString& expression, const AnsiString& band,
                                const AnsiString& flag, Variant& value) {
      aggregates.push_back(std::to_string(code) + "|" + expression + "|" + band + "|" + flag);
      value = Variant(99);
    };
    saved = rpFunctionServices();
    rpFunctionServices() = services;
  }
  void TearDown() override { rpFunctionServices() = saved; }

  std::string Show(const char* expression) {
    Variant v = parser.Evaluate(Ansi(expression));
    return std::string(Variant::TypeName(v.VarType())) + ":" + v.AsString();
  }

  TrpParser parser;
  TrpFunctionServices services, saved;
  std::string shown;
  std::vector<std::string> aggregates;
};

}  // namespace

TEST_F(Functions, StandardLibraryTable) {
  struct Case {
    const char* expression;
    const char* result;
  };
  const Case cases[] = {
      {"NAMECASE('aBC dEF')", "String:Abc def"},
      {"NAMECASE('иВАН')", "String:Иван"},
      {"NAMECASE('')", "String:"},
      {"POS('b', 'abc')", "Integer:2"},
      {"POS('x', 'abc')", "Integer:0"},
      {"POS('', 'abc')", "Integer:0"},
      {"LENGTH('абв')", "Integer:3"},
      {"UPPERCASE('щи и каша')", "String:ЩИ И КАША"},
      {"LOWERCASE('БОРЩ')", "String:борщ"},
      {"TRIM('  x y  ')", "String:x y"},
      {"MAXNUM('10', 9)", "String:10"},
      {"MAXNUM(3, 9)", "Double:9"},
      {"MINNUM(n, 0)", "Double:-2.5"},
      {"DAYOF(d)", "Integer:1"},
      {"MONTHOF(d)", "Integer:2"},
      {"YEAROF(d)", "Integer:2003"},
      {"DAYOF('15.03.2004')", "Integer:15"},
      {"FORMATDATETIME('dd.mm.yyyy hh:nn', d)", "String:01.02.2003 18:00"},
      {"FORMATFLOAT('#,##0.00', 1234.5)", "String:1 234.50"},
      {"FORMATTEXT('000-00', '12345')", "String:123-45"},
      {"FORMATTEXT('>ll', 'ab')", "String:AB"},
      {"MESSAGEBOX('Текст', 'Заголовок', 4 + 32)", "Integer:6"},
      {"INPUT('Сколько', 'три')", "String:Сколько:три"},
      {"UNKNOWNFN(1)", "String:0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expression);
    EXPECT_EQ(Show(c.expression), Ansi(c.result));
  }
  EXPECT_EQ(shown, Ansi("Текст|Заголовок|36"));
  EXPECT_THROW(parser.Evaluate("DAYOF('нет')"), Exception);
}

TEST_F(Functions, AggregatesGoToTheReportUnevaluated) {
  EXPECT_EQ(Show("SUM([Qty] * 2, 'MasterData1', 1)"), "Integer:99");
  parser.Evaluate("COUNT(MasterData1, 1)");
  parser.Evaluate("AVG(x)");
  parser.Evaluate("MIN(x, b)");
  parser.Evaluate("MAX(x)");
  EXPECT_EQ(aggregates, (std::vector<std::string>{"11|[Qty] * 2| 'MasterData1'| 1", "15||MasterData1| 1",
                                                  "14|x||", "12|x| b|", "13|x||"}));
}

TEST(RpFunctionLibraries, RegisteredOnceAndAskedInOrder) {
  struct Extra : TrpFunctionLibrary {
    Extra() { AddName("LENGTH"); }
    void DoFunction(int, const Variant&, const Variant&, const Variant&, Variant& value) override {
      value = Variant("extra");
    }
  };
  const std::size_t before = rpFunctionLibraries().size();
  rpRegisterFunctionLibrary<TrpStdFunctionLibrary>();  // already there
  EXPECT_EQ(rpFunctionLibraries().size(), before);
  rpRegisterFunctionLibrary<Extra>();
  rpRegisterFunctionLibrary<Extra>();
  EXPECT_EQ(rpFunctionLibraries().size(), before + 1);
  Variant v;
  EXPECT_TRUE(rpCallLibraryFunction("LENGTH", Variant("'ab'"), Variant(""), Variant(""), v));
  EXPECT_NE(v.AsString(), "extra");  // the standard library answers first
  EXPECT_FALSE(rpCallLibraryFunction("length", Variant(""), Variant(""), Variant(""), v));
}

TEST(RpAggregates, SoundResultsOverEmptyNegativeAndHiddenRecords) {
  TrpAggregateValues values;
  const AnsiString sum = rpAggregateKey("Footer", rpAggSum, "[x]", "");
  const AnsiString min = rpAggregateKey("Footer", rpAggMin, "[x]", "");
  const AnsiString max = rpAggregateKey("Footer", rpAggMax, "[x]", "");
  const AnsiString avg = rpAggregateKey("Footer", rpAggAvg, "[x]", "");
  const AnsiString count = rpAggregateKey("Footer", rpAggCount, "", "");
  const AnsiString hiddenToo = rpAggregateKey("Footer", rpAggAvg, "[x]", "1");
  const AnsiString other = rpAggregateKey("Other", rpAggSum, "[x]", "");
  for (const auto& k : {sum, min, max, avg, count, hiddenToo, other}) values.Register(k);
  values.Register(sum);
  EXPECT_EQ(values.Count(), 7);
  EXPECT_EQ(sum, AnsiString("Footer\x01\x0B\x01[x]\x01\x01", 14));

  // Nothing added: every result is 0 (no 1e300, no division by zero).
  for (const auto& k : {sum, min, max, avg, count, hiddenToo}) EXPECT_EQ(values.Get(k).AsDouble(), 0) << k;
  EXPECT_TRUE(values.Get("missing").IsNull());

  int evaluations = 0;
  double current = 0;
  auto evaluate = [&](const AnsiString&) {
    ++evaluations;
    return Variant(current);
  };
  for (double x : {-5.0, -1.0, -3.0}) {
    current = x;
    values.Accumulate(evaluate, true);
  }
  current = 9;
  values.Accumulate(evaluate, false);  // an invisible record: only COUNT and the "1" flag take it
  EXPECT_EQ(values.Get(sum).AsDouble(), -9);
  EXPECT_EQ(values.Get(min).AsDouble(), -5);
  EXPECT_EQ(values.Get(max).AsDouble(), -1);  // not the start value 0
  EXPECT_EQ(values.Get(avg).AsDouble(), -3);  // (-5 - 1 - 3) / 3: the values it added
  EXPECT_EQ(values.Get(count).AsInteger(), 4);
  EXPECT_EQ(values.Get(hiddenToo).AsDouble(), 0);  // (-9 + 9) / 4
  EXPECT_EQ(evaluations, 3 + 1);  // one evaluation per record for equal expressions in a row

  values.ResetForBand("footer");
  EXPECT_EQ(values.Get(sum).AsDouble(), 0);
  EXPECT_EQ(values.Get(count).AsInteger(), 0);
  EXPECT_EQ(values.Get(other).AsDouble(), -9);  // another band's values stay

  current = 1;
  values.Accumulate(evaluate, true);
  current = 2;
  values.Accumulate(evaluate, true);
  current = 6;
  values.Accumulate(evaluate, true);
  EXPECT_EQ(values.Get(avg).AsDouble(), 3);
}

TEST(RpAggregates, CrossTabColumns) {
  TrpAggregateValues values;
  const AnsiString every = "0\x01" + rpAggregateKey("Cross", rpAggSum, "v", "");
  const AnsiString rows = rpAggregateKey("Footer", rpAggCount, "", "");
  values.Register(rows);
  values.Register(every);
  values.AddColumnCopies(1);
  values.AddColumnCopies(2);
  values.AddColumnCopies(2);
  EXPECT_EQ(values.Count(), 4);
  const AnsiString first = "1\x01" + rpAggregateKey("Cross", rpAggSum, "v", "");
  const AnsiString second = "2\x01" + rpAggregateKey("Cross", rpAggSum, "v", "");
  values.Accumulate([](const AnsiString&) { return Variant(5); }, true, 1);
  values.Accumulate([](const AnsiString&) { return Variant(7); }, true, 2);
  values.Accumulate([](const AnsiString&) { return Variant(1); }, true, 2);
  // Outside the columns (the row's own record) only the keys without a column count.
  values.Accumulate(
      [](const AnsiString&) {
        ADD_FAILURE() << "evaluated outside a column";
        return Variant(0);
      },
      true, 0);
  EXPECT_EQ(values.Get(rows).AsInteger(), 1);
  EXPECT_EQ(values.Get(first).AsDouble(), 5);
  EXPECT_EQ(values.Get(second).AsDouble(), 8);
}

TEST(RpAggregates, SplitterFindsCallsInMemosAndScripts) {
  TrpVariables dictionary;
  dictionary.SetValueByName("Total", "SUM([Qty])");
  TStringList found;
  TAggregateFunctionsSplitter splitter(found, &dictionary);
  TStringList memo;
  memo.Add(Ansi("Итого: [SUM([Qty]) #N2.2] кг, [COUNT(Data1)] строк"));
  memo.Add("[[Qty] * 2 + MAX([Qty])] [2 * [Total]] [Total] (SUM( in text");
  splitter.SplitMemo(memo);
  EXPECT_EQ(found.Lines(), (std::vector<AnsiString>{"SUM([Qty])", "COUNT(Data1)", "MAX([Qty])", "SUM([Qty])",
                                                     "SUM([Qty])"}));
  found.Clear();
  TrpInterpretator compiler;
  TStringList compiled, errors;
  TStringList script;
  script.Add("begin x := [Qty] * 2 + AVG([Qty]); if Total > 1 then y := MIN([Qty], Data1) end");
  ASSERT_TRUE(compiler.CompileScript(script, compiled, errors));
  splitter.SplitScript(compiled);
  EXPECT_EQ(found.Lines(), (std::vector<AnsiString>{"AVG([Qty])", "SUM([Qty])", "MIN([Qty], Data1)"}));
}

TEST(InstalledFunctions, AnApplicationDescribesTheFunctionsOfItsLibrary) {
  TrpInstalledFunctions& list = rpInstalledFunctions();
  EXPECT_EQ(&list, &rpInstalledFunctions());
  EXPECT_EQ(list.Count(), 0);  // the standard library describes none of its own
  EXPECT_EQ(list.Find("SUM"), nullptr);
  list.Add({"DAYSBETWEEN", "Dates", "DAYSBETWEEN(<date>, <date>)"});
  list.Add({"KCAL", "Ration", "KCAL(<grams>)"});
  list.Add({"kcal", "Ration", "KCAL(<grams>, <product>)"});  // the same name: replaced
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list[0].Name, "DAYSBETWEEN");
  ASSERT_NE(list.Find("Kcal"), nullptr);
  EXPECT_EQ(list.Find("KCAL")->Description, "KCAL(<grams>, <product>)");
  EXPECT_EQ(list.Find("KCA"), nullptr);
  EXPECT_THROW(list[2], std::out_of_range);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}
