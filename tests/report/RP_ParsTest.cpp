#include <gtest/gtest.h>

#include <map>

#include "report/RP_Pars.h"

namespace {

// Postfix with its operator codes shown as "#n".
std::string Readable(const std::string& postfix) {
  std::string out;
  for (char c : postfix) {
    if (c > 0 && c < 32)
      out += "#" + std::to_string(static_cast<int>(c));
    else
      out += c;
  }
  return out;
}

std::string Show(const Variant& v) {
  if (v.IsNull()) return "Null";
  if (v.IsEmpty()) return "Empty";
  return std::string(Variant::TypeName(v.VarType())) + ":" + v.AsString();
}

struct Call {
  std::string name, p1, p2, p3;
  bool operator==(const Call&) const = default;
};

// A parser whose handlers answer a few names and record what reaches them.
struct Fixture {
  TrpParser parser;
  std::map<std::string, Variant> values{{"A", 1}, {"B", 2}, {"X", 5}, {"S", "txt"}, {"Some field", 7.5}};
  std::vector<std::string> asked;
  std::vector<Call> calls;

  Fixture() {
    parser.OnGetValue = [this](const AnsiString& name, Variant& value) {
      asked.push_back(name);
      if (auto it = values.find(name); it != values.end()) value = it->second;
    };
    parser.OnFunction = [this](const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                               Variant& value) {
      calls.push_back({name, p1.AsString(), p2.AsString(), p3.AsString()});
      value = Variant("fn:" + name);
    };
  }
};

}  // namespace

TEST(RpParser, InfixToPostfixToValue) {
  struct Case {
    const char* infix;
    const char* postfix;
    const char* value;
  };
  const Case cases[] = {
      {"2+3*4", "2 3 4 *+", "Double:14"},
      {"(2+3)*4", "2 3 +4 *", "Double:20"},
      {"a = 1 and b = 2", "a 1 b #5=2 =", "Integer:0"},  // (a = (1 and b)) = 2
      {"10/0", "10 0 /", "Integer:0"},
      {"-5", "5 #9", "Double:-5"},
      {"NOT 0", "0 #12", "Integer:1"},
      {"not 3", "3 #12", "Integer:0"},
      {"INT(2.9999999999999)", "2.9999999999999 #6", "Double:3"},
      {"INT(-2.7)", "2.7 #9#6", "Double:-2"},
      {"FRAC(1.25)", "1.25 #7", "Double:0.25"},
      {"FRAC(3.00000000001)", "3.00000000001 #7", "Double:0"},
      {"ROUND(2.5)", "2.5 #14", "Integer:2"},
      {"ROUND(3.5)", "3.5 #14", "Integer:4"},
      {"IF(0.9, 'a', 'b')", "IF(0.9, 'a', 'b')", "String:b"},
      {"IF(1, 'a', 'b')", "IF(1, 'a', 'b')", "String:a"},
      {"IF(TRUE, 'a', 'b')", "IF(TRUE, 'a', 'b')", "String:a"},
      {"IF(x > 3, 'big', 'small')", "IF(x > 3, 'big', 'small')", "String:big"},
      {"COPY('abcdef', 2, 3)", "COPY('abcdef', 2, 3)", "String:bcd"},
      {"copy('abc', 0, 9)", "copy('abc', 0, 9)", "String:abc"},
      {"COPY('abc', 4, 1)", "COPY('abc', 4, 1)", "String:"},
      {"1,5 + 1.5", "1,5 1.5 +", "Double:3"},
      {".5*2", ".5 2 *", "Double:1"},
      {"'It''s'", "'It''s' ", "String:It's"},
      {"'a''''b'", "'a''''b' ", "String:a''b"},
      {"", "", "Integer:0"},
      {"   ", "", "Integer:0"},
      {"2*-3", "2 3 #9*", "Double:-6"},
      {"1+-2", "1 2 #9+", "Double:-1"},
      {"-2*3", "2 #93 *", "Double:-6"},
      {"8 / -2 * 2", "8 2 #9/2 *", "Double:-8"},  // a sign binds to the operand after it only
      {"12 / -2 * 3", "12 2 #9/3 *", "Double:-18"},
      {"12 MOD -5 * 2", "12 5 #9#132 *", "Double:4"},
      {"2 * -3 + 10", "2 3 #9*10 +", "Double:4"},
      {"-(2 + 3) * 2", "2 3 +#92 *", "Double:-10"},
      {"-2+3", "2 #93 +", "Double:1"},
      {"2 * NOT 0", "2 0 #12*", "Double:2"},
      {"a AND -1", "a 1 #9#5", "Double:-1"},
      {"7 MOD 2", "7 2 #13", "Integer:1"},
      {"-7 mod 2", "7 #92 #13", "Integer:-1"},
      {"7 - 2 - 1", "7 2 -1 -", "Double:4"},
      {"3 >= 3", "3 3 #1", "Integer:1"},
      {"2 <= 1", "2 1 #2", "Integer:0"},
      {"2 <> 2", "2 2 #3", "Integer:0"},
      {"1 < 2 OR 2 < 1", "1 2 2 #4<1 <", "Integer:0"},  // OR binds tighter than "<"
      {"'a' + 'b'", "'a' 'b' +", "String:ab"},
      {"'10' > 9", "'10' 9 >", "Integer:1"},
      {"s + 1", "s 1 +", "error"},
      {"STR(1.5) + 'x'", "1.5 #11'x' +", "String:1.5x"},
      {"TRUE", "TRUE ", "Boolean:True"},
      {"true AND false", "true false #5", "Integer:0"},
      {"STRTODATE('01.02.2003')", "STRTODATE('01.02.2003')", "Date:01.02.2003"},
      {"STRTOTIME('10:30')", "STRTOTIME('10:30')", "Date:10:30:00"},
      {"a ;b", "a ", "Integer:1"},
      {"1+(2) ;garbage(", "1 2 +", "Double:3"},
      {"1 2", "1 2 ", "Double:1"},
      {"+4", "4 #10", "Double:4"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.infix);
    Fixture f;
    AnsiString postfix = f.parser.ToPostfix(c.infix);
    EXPECT_EQ(Readable(postfix), c.postfix);
    if (std::string(c.value) == "error") {
      EXPECT_THROW(f.parser.EvalPostfix(postfix), EVariantError);
      continue;
    }
    EXPECT_EQ(Show(f.parser.EvalPostfix(postfix)), c.value);
    EXPECT_EQ(Show(f.parser.Evaluate(c.infix)), c.value);
  }
}

TEST(RpParser, ErrorsRaiseInsteadOfReadingOutside) {
  enum Kind { kParser, kConvert, kDivide };
  struct Case {
    const char* infix;
    Kind kind;
  };
  const Case cases[] = {
      {"(1+2", kParser},     {"1+2)", kParser},     {"f(1", kParser},         {"'abc", kParser},
      {"[abc", kParser},     {"a[1", kParser},      {"2*", kParser},          {"*", kParser},
      {"NOT", kParser},      {"5 MOD 0", kDivide},  {"5 mod 0.4", kDivide},   {"f(1, 2, 3, 4)", kParser},
      {"1.2.3", kConvert},   {"1e", kConvert},      {"STRTODATE('x')", kConvert},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.infix);
    Fixture f;
    if (c.kind == kParser)
      EXPECT_THROW(f.parser.Evaluate(c.infix), EParserError);
    else if (c.kind == kDivide)
      EXPECT_THROW(f.parser.Evaluate(c.infix), EZeroDivide);
    else
      EXPECT_THROW(f.parser.Evaluate(c.infix), EConvertError);
  }
  // A long chain of operands grows the stack as needed.
  std::string many;
  for (int i = 0; i < 200; ++i) many += "(1+";
  many += "1" + std::string(200, ')');
  Fixture f;
  EXPECT_EQ(Show(f.parser.Evaluate(many)), "Double:201");
  std::string pending;
  for (int i = 0; i < 50; ++i) pending += "1 < (2 - (3 * ";
  pending += "4" + std::string(100, ')');
  EXPECT_NO_THROW(f.parser.Evaluate(pending));
  // Nesting of calls is bounded.
  std::string nested;
  for (int i = 0; i < 300; ++i) nested += "IF(1, ";
  nested += "2" + std::string(300, ')');
  EXPECT_THROW(f.parser.Evaluate(nested), EParserError);
}

TEST(RpParser, HandlerContract) {
  Fixture f;
  EXPECT_EQ(Show(f.parser.Evaluate("x + a")), "Integer:6");
  EXPECT_EQ(f.asked, (std::vector<std::string>{"X", "A"}));  // plain names upper-cased

  f.asked.clear();
  EXPECT_EQ(Show(f.parser.Evaluate("[Some field] * 2")), "Double:15");
  EXPECT_EQ(f.asked, std::vector<std::string>{"Some field"});  // bracket content as written

  f.asked.clear();
  f.parser.Evaluate("%ab + \"two words\"");
  EXPECT_EQ(f.asked, (std::vector<std::string>{"%AB", "\"TWO WORDS\""}));

  EXPECT_EQ(Show(f.parser.Evaluate("arr[2]")), "String:fn:GETARRAY");
  EXPECT_EQ(Show(f.parser.Evaluate("Sum(x + 1, 'a,b', (2,3))")), "String:fn:SUM");
  EXPECT_EQ(Show(f.parser.Evaluate("now()")), "String:fn:NOW");
  EXPECT_EQ(f.calls, (std::vector<Call>{{"GETARRAY", "arr", " 2", ""},
                                        {"SUM", "x + 1", " 'a,b'", " (2,3)"},
                                        {"NOW", "", "", ""}}));

  // Without handlers an unknown name or call is the integer 0, never a stale value.
  TrpParser bare;
  EXPECT_EQ(Show(bare.Evaluate("'stale'")), "String:stale");
  EXPECT_EQ(Show(bare.Evaluate("unknown")), "Integer:0");
  EXPECT_EQ(Show(bare.Evaluate("f(1) + 1")), "Double:1");
  EXPECT_EQ(Show(bare.Evaluate("[x] = 0")), "Integer:1");
}

TEST(RpVariables, TableAccessors) {
  TrpVariables v;
  v.SetValueByName("Beta", 2);
  v.SetValueByName("alpha", "a");
  v.SetValueByName("BETA", 3);  // same name: overwritten, not added
  ASSERT_EQ(v.Count(), 2);
  EXPECT_EQ(v.IndexOfName("beta"), 0);
  EXPECT_EQ(v.IndexOfName(Ansi("нет")), -1);
  EXPECT_EQ(Show(v.GetValueByName("Beta")), "Integer:3");
  EXPECT_TRUE(v.GetValueByName("missing").IsNull());
  EXPECT_EQ(Show(v.GetValueAt(5)), "Integer:0");
  EXPECT_EQ(Show(v.GetValueAt(-1)), "Integer:0");
  EXPECT_EQ(v.GetNameAt(2), "");
  v.SetValueAt(9, 1);
  v.SetNameAt(-1, "x");
  v.DeleteAt(7);
  EXPECT_EQ(v.Count(), 2);

  v.SetSorted(true);
  EXPECT_EQ(v.GetNameAt(0), "alpha");
  v.SetValueByName("Gamma", 1);
  v.SetValueByName("aaa", 1);
  EXPECT_EQ(v.GetNameAt(0), "aaa");
  EXPECT_EQ(v.GetNameAt(3), "Gamma");
  v.SetNameAt(0, "zzz");
  EXPECT_EQ(v.GetNameAt(3), "zzz");
  v.SetValueByName(Ansi("Итог"), 5);
  EXPECT_EQ(v.IndexOfName(Ansi("ИТОГ")), 4);  // Cyrillic names ignore case too
  v.DeleteAt(0);
  EXPECT_EQ(v.Count(), 4);
  v.Clear();
  EXPECT_EQ(v.Count(), 0);
}

TEST(RpFunctionSplitter, ListsCallsInnerFirst) {
  TStringList match;
  for (const char* f : {"SUM", "MAX", "COUNT"}) match.Add(f);
  TrpVariables vars;
  vars.SetValueByName("v", "count(y)");
  vars.SetValueByName("total", "[v]");
  vars.SetValueByName("sums", "SUM(x)");
  struct Case {
    const char* expr;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"SUM(MAX(x), 1)", {"MAX(x)", "SUM(MAX(x), 1)"}},
      {"v + Sum(z)", {"count(y)", "Sum(z)"}},
      {"1 + SUM(a) / COUNT(b)", {"SUM(a)", "COUNT(b)"}},
      {"[v] [SUM(q)] [other]", {"count(y)", "SUM(q)"}},
      {"[total]", {"count(y)"}},
      {"'SUM(x)' + LENGTH(SUM(w))", {"SUM(w)"}},
      {"nothing here", {}},
      {"[Qty] * 2 + SUM([Qty])", {"SUM([Qty])"}},  // an expression that starts with a group
      {"[Qty] 2 *SUM([Qty])+", {"SUM([Qty])"}},     // the same as a script holds it
      {"2 * [sums]", {"SUM(x)"}},                   // a group naming a variable
      {"2 * sums", {"SUM(x)"}},
      {"[v] it's (open) [SUM(q)] v", {"count(y)", "SUM(q)"}},  // memo text between groups stays text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.expr);
    TStringList out;
    TrpFunctionSplitter splitter(match, out, &vars);
    splitter.Split(c.expr);
    EXPECT_EQ(out.Lines(), c.calls);
  }
  vars.SetValueByName("p", "q + 1");
  vars.SetValueByName("q", "p");
  TStringList out;
  TrpFunctionSplitter splitter(match, out, &vars);
  EXPECT_THROW(splitter.Split("p"), EParserError);  // variables naming each other
}

TEST(RpFunctionSplitter, VariablesUsedManyTimesDoNotMultiplyTheWork) {
  // Each variable names the next one twice: expanding them all would take 2^60 steps.
  TStringList match;
  match.Add("SUM");
  TrpVariables vars;
  for (int i = 0; i < 60; ++i) {
    const std::string next = std::to_string(i + 1);
    vars.SetValueByName("V" + std::to_string(i), "V" + next + " + V" + next);
    vars.SetValueByName("B" + std::to_string(i), "[B" + next + "] [B" + next + "]");
  }
  vars.SetValueByName("V60", "SUM(x)");
  vars.SetValueByName("B60", "SUM(y)");
  TStringList out;
  TrpFunctionSplitter splitter(match, out, &vars);
  EXPECT_THROW(splitter.Split("V0"), EParserError);
  EXPECT_THROW(splitter.Split("[B0]"), EParserError);

  // A shallow sharing of variables is expanded as often as it is named.
  out.Clear();
  splitter.Split("V57 * [B58]");
  std::vector<std::string> expected(8, "SUM(x)");
  expected.insert(expected.end(), 4, "SUM(y)");
  EXPECT_EQ(out.Lines(), expected);
  out.Clear();
  splitter.Split("[B57]");
  EXPECT_EQ(out.Lines(), (std::vector<std::string>(8, "SUM(y)")));
}

TEST(RpVariables, SortedTableFindsEveryNameAmongMany) {
  // Globals and array elements live in sorted tables of many thousands of names.
  TrpVariables v;
  v.SetSorted(true);
  constexpr int kCount = 40000;
  for (int i = kCount - 1; i >= 0; --i) v.SetValueByName("name" + std::to_string(i * 7919 % kCount), i);
  ASSERT_EQ(v.Count(), kCount);
  for (int i = 1; i < kCount; ++i) ASSERT_LT(AnsiCompareText(v.GetNameAt(i - 1), v.GetNameAt(i)), 0);
  for (int i = 0; i < kCount; ++i) {
    const std::string name = "NAME" + std::to_string(i * 7919 % kCount);
    ASSERT_EQ(v.GetValueByName(name).AsInteger(), i) << name;
  }
  EXPECT_EQ(v.IndexOfName("name"), -1);
  EXPECT_EQ(v.IndexOfName("name40000"), -1);
  EXPECT_EQ(v.IndexOfName("zzz"), -1);
  EXPECT_EQ(v.IndexOfName(""), -1);
}

TEST(RpParser, DatesCompareWithDateText) {
  Fixture f;
  f.values["D"] = Variant::FromDate(37653);  // 01.02.2003
  struct Case {
    const char* infix;
    int value;
  };
  const Case cases[] = {
      {"d = '01.02.2003'", 1}, {"'01.02.2003' = d", 1}, {"d > '31.01.2003'", 1}, {"d < '31.01.2003'", 0},
      {"d <> '02.02.2003'", 1}, {"d >= '01.02.2003 00:00:00'", 1}, {"IF(d = '01.02.2003', 1, 0)", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.infix);
    EXPECT_EQ(f.parser.Evaluate(c.infix).AsInteger(), c.value);
  }
  EXPECT_THROW(f.parser.Evaluate("d = 'no date'"), EVariantError);
}
