#include <gtest/gtest.h>

#include "report/RP_Intrp.h"

namespace {

TStringList Source(std::initializer_list<const char*> lines) {
  TStringList l;
  for (const char* s : lines) l.Add(s);
  return l;
}

// A coded line with jump targets as "->n" and operator codes as "#n".
std::string Readable(const std::string& line) {
  auto codes = [](std::string_view s) {
    std::string out;
    for (char c : s) out += c > 0 && c < 32 ? "#" + std::to_string(static_cast<int>(c)) : std::string(1, c);
    return out;
  };
  if (line.empty()) return "";
  auto target = [&] {
    return std::to_string(static_cast<unsigned char>(line[1]) | static_cast<unsigned char>(line[2]) << 8);
  };
  switch (line[0]) {
    case 1: return "#1 ->" + target() + " " + codes(line.substr(3));
    case 2: return "#2 ->" + target();
    case 3: return "#3 " + codes(line.substr(1));
    default: return codes(line);
  }
}

std::vector<std::string> Listing(const TStringList& compiled) {
  std::vector<std::string> out;
  for (const auto& l : compiled.Lines()) out.push_back(Readable(l));
  return out;
}

std::string Show(const Variant& v) {
  if (v.IsNull()) return "Null";
  return std::string(Variant::TypeName(v.VarType())) + ":" + v.AsString();
}

// Keeps variables in a table; arrays as "name[index]"; LOG(x) appends x to a log.
class Script : public TrpInterpretator {
 public:
  TrpVariables vars;
  std::vector<std::string> log;

  void ReadVariable(const AnsiString& name, Variant& value) override {
    if (vars.IndexOfName(name) >= 0) value = vars.GetValueByName(name);
  }
  void WriteVariable(const AnsiString& name, const Variant& value) override { vars.SetValueByName(name, value); }
  void CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                    Variant& value) override {
    auto element = [&] { return Trim(p1.AsString()) + "[" + Parser().Evaluate(p2.AsString()).AsString() + "]"; };
    if (name == "SETARRAY") vars.SetValueByName(element(), Parser().Evaluate(p3.AsString()));
    if (name == "GETARRAY") value = vars.GetValueByName(element());
    if (name == "LOG") log.push_back(Parser().Evaluate(p1.AsString()).AsString());
  }

  // Compiles (expecting success) and runs.
  void Run(const TStringList& source) {
    TStringList compiled, errors;
    ASSERT_TRUE(CompileScript(source, compiled, errors)) << (errors.Count() ? errors[0] : "");
    RunScript(compiled);
  }
};

}  // namespace

TEST(RpInterpreter, CompileListings) {
  struct Case {
    TStringList source;
    std::vector<std::string> listing;
  };
  const Case cases[] = {
      {Source({"begin a := 1; b := a + 2 end"}), {"a 1 ", "b a 2 +"}},
      {Source({"if x > 1 then y := 1 else y := 2"}), {"#1 ->3 x 1 >", "y 1 ", "#2 ->4", "y 2 "}},
      {Source({"if a then b := 1"}), {"#1 ->2 a ", "b 1 "}},
      {Source({"begin i := 1; while i < 3 do i := i + 1 end"}), {"i 1 ", "#1 ->4 i 3 <", "i i 1 +", "#2 ->1"}},
      {Source({"for i := 1 to 0 do x := 1"}), {"i 1 ", "#1 ->5 i 0 #2", "x 1 ", "i i 1 +", "#2 ->1"}},
      {Source({"repeat i := i + 1 until i >= 3"}), {"i i 1 +", "#1 ->0 i 3 #1"}},
      {Source({"begin exit; x := 1 end"}), {"#3 exit(0)", "x 1 "}},
      {Source({"begin 10: a := 1; goto 10 end"}), {"a 1 ", "#2 ->0"}},
      {Source({"begin goto 7; 7: end"}), {"#2 ->1"}},
      {Source({"a[i + 1] := 5"}), {"#3 SETARRAY(a, i + 1, 5)"}},
      {Source({"ShowBand(Band1, 'x')"}), {"#3 ShowBand(Band1, 'x')"}},
      {Source({"Total := [Products.\"Cal\"] * 2"}), {"Total [Products.\"Cal\"] 2 *"}},
      {Source({"begin", "\t{a comment", "  spanning} x := 'a{b}//c' // rest", "end"}), {"x 'a{b}//c' "}},
      {Source({"x := not a"}), {"x a #12"}},
      {Source({"x := Now()"}), {"x Now()"}},
      {Source({"begin ;; a := -1; end"}), {"a 1 #9"}},
      {Source({"begin a := 1; b := 2 end; c := 3"}), {"a 1 ", "b 2 "}},  // one statement only
      {Source({"begin end"}), {}},
      {Source({}), {}},
      {Source({"  { only a comment }"}), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source.Text());
    TrpInterpretator interpreter;
    TStringList compiled, errors;
    compiled.Add("stale");
    EXPECT_TRUE(interpreter.CompileScript(c.source, compiled, errors));
    EXPECT_EQ(errors.Count(), 0) << (errors.Count() ? errors[0] : "");
    EXPECT_EQ(Listing(compiled), c.listing);
  }
}

TEST(RpInterpreter, CompileErrors) {
  struct Case {
    TStringList source;
    std::string error;
  };
  const Case cases[] = {
      {Source({"begin a := 1 b := 2 end"}), "Line 1/14: Need \";\" or \"end\" here"},
      {Source({"begin a := 1"}), "Line 1/13: Need \";\" or \"end\" here"},
      {Source({"if x y := 1"}), "Line 1/6: Need \"then\" here"},
      {Source({"repeat x := 1"}), "Line 1/14: Need \";\" or \"until\" here"},
      {Source({"while x y := 1"}), "Line 1/9: Need \"do\" here"},
      {Source({"for i := 1 do x := 1"}), "Line 1/12: Need \"to\" here"},
      {Source({"for i := 1 to 3 x := 1"}), "Line 1/17: Need \"do\" here"},
      {Source({"goto x"}), "Line 1/6: \"goto\" label must be a number"},
      {Source({"x = 1"}), "Line 1/3: Need \":=\" here"},
      {Source({"x := (1 + 2"}), "Line 1/12: Need \")\" here"},
      {Source({"x := a[1"}), "Line 1/9: Need \"]\" here"},
      {Source({"x := f(1 2)"}), "Line 1/10: Need \",\" or \")\" here"},
      {Source({"begin", "  a := 1;", "  goto 20", "end"}), "Line 3/8: " + Ansi("Метка \"20\" не определена")},
      {Source({"x := "}), "Line 1/6: " + Ansi("Ожидается выражение")},
      {Source({"x := )"}), "Line 1/6: " + Ansi("Ожидается выражение")},
      {Source({"x := 'abc"}), "Line 1/6: " + Ansi("Не закрыта кавычка")},
      {Source({"for 1 := 2 to 3 do x := 1"}), "Line 1/5: " + Ansi("Ожидается имя переменной")},
      // comments before the error do not shift its place
      {Source({"begin { a comment", "  spanning } a := 1;", "  b := 2 c := 3 end"}),
       "Line 3/10: Need \";\" or \"end\" here"},
      {Source({"begin x := 1 // note ;", "y := 2 z end"}), "Line 2/1: Need \";\" or \"end\" here"},
      {Source({"begin {1}{22}x{333}:=1 y end"}), "Line 1/24: Need \";\" or \"end\" here"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source.Text());
    TrpInterpretator interpreter;
    TStringList compiled, errors;
    EXPECT_FALSE(interpreter.CompileScript(c.source, compiled, errors));
    ASSERT_EQ(errors.Count(), 1);
    EXPECT_EQ(errors[0], c.error);
  }
}

TEST(RpInterpreter, LinesCompiledBeforeASyntaxErrorStay) {
  struct Case {
    TStringList source;
    std::vector<std::string> listing;
  };
  const Case cases[] = {
      {Source({"begin a := 1 b := 2 end"}), {"a 1 "}},
      {Source({"begin a := 1; b := a + 2; c = 3 end"}), {"a 1 ", "b a 2 +"}},
      {Source({"begin", "  a := 1;", "  goto 20", "end"}), {"a 1 "}},  // the jump to nowhere is not coded
      {Source({"x = 1"}), {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source.Text());
    TrpInterpretator interpreter;
    TStringList compiled, errors;
    compiled.Add("stale");
    EXPECT_FALSE(interpreter.CompileScript(c.source, compiled, errors));
    EXPECT_EQ(errors.Count(), 1);
    EXPECT_EQ(Listing(compiled), c.listing);
  }
}

TEST(RpInterpreter, NoFixedLimits) {
  TrpInterpretator interpreter;
  TStringList compiled, errors;
  // 300 labels, long labels, and a script far beyond 32,000 bytes.
  TStringList many = Source({"begin"});
  for (int i = 0; i < 300; ++i) many.Add(std::to_string(1000000000 + i) + "0000000000: x" + std::to_string(i) + " := " +
                                          std::string(200, '1') + ";");
  many.Add("goto 10000000990000000000");
  many.Add("end");
  ASSERT_TRUE(interpreter.CompileScript(many, compiled, errors)) << errors.Text();
  EXPECT_EQ(compiled.Count(), 301);
  EXPECT_EQ(Readable(compiled[300]), "#2 ->99");

  // Deep nesting is refused with a message, not a crash.
  std::string deep;
  for (int i = 0; i < 1000; ++i) deep += "begin ";
  EXPECT_FALSE(interpreter.CompileScript(Source({deep.c_str()}), compiled, errors));
  EXPECT_NE(errors[0].find(Ansi("вложенность")), std::string::npos);
  std::string parens = "x := " + std::string(1000, '(') + "1" + std::string(1000, ')');
  EXPECT_FALSE(interpreter.CompileScript(Source({parens.c_str()}), compiled, errors));

  // More coded lines than two bytes can address.
  TStringList huge = Source({"begin"});
  for (int i = 0; i < 66000; ++i) huge.Add("x := 1;");
  huge.Add("end");
  EXPECT_FALSE(interpreter.CompileScript(huge, compiled, errors));
  EXPECT_EQ(errors[0], "Line 65537/1: " + Ansi("Сценарий слишком длинный"));
}

TEST(RpInterpreter, RunResults) {
  struct Case {
    TStringList source;
    std::vector<std::pair<std::string, std::string>> vars;  // expected; "-" means unset
    std::vector<std::string> log = {};
  };
  const Case cases[] = {
      {Source({"begin i := 1; while i < 3 do i := i + 1 end"}), {{"i", "Double:3"}}},
      {Source({"begin x := 0; for i := 1 to 0 do x := 1 end"}), {{"x", "Double:0"}, {"i", "Double:1"}}},
      {Source({"begin n := 0; for i := 1 to 5 do n := n + i end"}), {{"n", "Double:15"}, {"i", "Double:6"}}},
      {Source({"begin exit; x := 1 end"}), {{"x", "-"}}},
      {Source({"begin x := 1; if x > 0 then exit; x := 2 end"}), {{"x", "Double:1"}}},
      {Source({"begin s := ''; i := 0; repeat i := i + 1; s := s + STR(i) until i >= 3 end"}),
       {{"s", "String:123"}}},
      {Source({"begin i := 0;", "10: i := i + 1;", "if i < 5 then goto 10", "end"}), {{"i", "Double:5"}}},
      {Source({"if TRUE then y := 'yes' else y := 'no'"}), {{"y", "String:yes"}}},
      {Source({"if 0 then y := 'yes' else y := 'no'"}), {{"y", "String:no"}}},
      {Source({"begin a[2] := 7; b := a[1 + 1] * 2 end"}), {{"a[2]", "Double:7"}, {"b", "Double:14"}}},
      {Source({"begin for i := 1 to 3 do log(i * 10); log('done') end"}), {}, {"10", "20", "30", "done"}},
      {Source({"begin Total := 0; Total := Total + 2.5 end"}), {{"TOTAL", "Double:2.5"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.source.Text());
    Script s;
    s.Run(c.source);
    for (const auto& [name, value] : c.vars) {
      if (value == "-")
        EXPECT_EQ(s.vars.IndexOfName(name), -1) << name;
      else
        EXPECT_EQ(Show(s.vars.GetValueByName(name)), value) << name;
    }
    EXPECT_EQ(s.log, c.log);
  }
}

TEST(RpInterpreter, RunErrors) {
  Script s;
  EXPECT_THROW(s.Run(Source({"x := 1 mod 0"})), EZeroDivide);
  EXPECT_THROW(s.Run(Source({"x := 'a' * 2"})), EVariantTypeCastError);
  EXPECT_THROW(s.Run(Source({"if 'abc' then x := 1"})), EVariantTypeCastError);

  s.StepLimit = 1000;
  EXPECT_THROW(s.Run(Source({"while 1 do begin end"})), EParserError);
  EXPECT_THROW(s.Run(Source({"10: goto 10"})), EParserError);

  // A text doubled without end stops at the length limit, with a message.
  try {
    s.Run(Source({"begin t := 'abcdefgh'; for i := 1 to 40 do t := t + t end"}));
    ADD_FAILURE() << "ran";
  } catch (const EParserError& e) {
    EXPECT_EQ(e.Message(), Ansi("Слишком длинная строка в выражении"));
  }

  // Damaged coded lines are refused, never read past their end.
  TStringList damaged;
  damaged.Add(std::string("\x01\x05", 2));
  EXPECT_THROW(s.RunScript(damaged), EParserError);
  damaged.Clear();
  damaged.Add(std::string("\x02", 1));
  EXPECT_THROW(s.RunScript(damaged), EParserError);
  damaged.Clear();
  damaged.Add(std::string("\x02\xFF\xFF", 3));  // a jump beyond the end ends the run
  damaged.Add("x 1 ");
  s.RunScript(damaged);
  EXPECT_EQ(s.vars.IndexOfName("x"), -1);
}

TEST(RpInterpreter, SplitExpressions) {
  TrpInterpretator interpreter;
  TStringList compiled, errors, match, found;
  match.Add("SUM");
  match.Add("COUNT");
  ASSERT_TRUE(interpreter.CompileScript(
      Source({"begin if SUM(a) > 1 then x := COUNT(b); goto 5; 5: ShowBand(SUM(c)) end"}), compiled, errors));
  TrpVariables vars;
  interpreter.SplitExpressions(compiled, match, &vars, found);
  EXPECT_EQ(found.Lines(), (std::vector<std::string>{"SUM(a)", "COUNT(b)", "SUM(c)"}));
}

TEST(RpInterpreter, LongRunsWithoutBlanksCompile) {
  // Tokens are never rescanned to their end, so long texts without blanks stay linear.
  std::string sum = "x:=0";
  for (int i = 0; i < 20000; ++i) sum += "+a";
  std::string statements = "begin";
  for (int i = 0; i < 20000; ++i) statements += " a:=1;b:=a+1;";
  statements += "end";
  TrpInterpretator interpreter;
  TStringList compiled, errors;
  ASSERT_TRUE(interpreter.CompileScript(Source({sum.c_str()}), compiled, errors)) << errors.Text();
  EXPECT_EQ(compiled.Count(), 1);
  ASSERT_TRUE(interpreter.CompileScript(Source({statements.c_str()}), compiled, errors)) << errors.Text();
  EXPECT_EQ(compiled.Count(), 40000);
}

TEST(RpInterpreter, ForOverAnArrayElementCountsTheElement) {
  Script s;
  s.StepLimit = 10000;  // a loop that never ends raises instead of hanging the test
  s.Run(Source({"for a[1] := 1 to 3 do LOG(a[1])"}));
  EXPECT_EQ(s.log, (std::vector<std::string>{"1", "2", "3"}));
  EXPECT_EQ(Show(s.vars.GetValueByName("a[1]")), "Double:4");
  EXPECT_EQ(s.vars.IndexOfName("a[1]+1"), -1);
  s.log.clear();
  s.vars.SetValueByName("k", 2);
  s.Run(Source({"for a[k + 1] := 5 to 6 do LOG(a[3])"}));  // an index with blanks
  EXPECT_EQ(s.log, (std::vector<std::string>{"5", "6"}));
}

TEST(RpInterpreter, CancelHookStopsAnEndlessScript) {
  Script s;
  int polls = 0;
  s.CancelRequested = [&] { return ++polls > 3; };
  TStringList compiled, errors;
  ASSERT_TRUE(s.CompileScript(Source({"while 1 do x := 1"}), compiled, errors));
  EXPECT_THROW(s.RunScript(compiled), EParserError);
  EXPECT_EQ(polls, 4);
  // A script that ends is not stopped by a hook that never asks to.
  s.CancelRequested = [] { return false; };
  s.Run(Source({"begin i := 0; while i < 5000 do i := i + 1 end"}));
  EXPECT_EQ(Show(s.vars.GetValueByName("i")), "Double:5000");
}
