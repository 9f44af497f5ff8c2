// Feeds one arbitrary text to the report expression parser and the script compiler,
// and runs what compiles against a small set of variables. Shared by the libFuzzer
// target and by the regression test that replays what the fuzzer found. Every failure
// must be an exception of the program's own hierarchy; anything else (a crash, a
// sanitizer report, a hang) is a fault.
#pragma once

#include <string_view>

#include "report/RP_Intrp.h"

namespace report_fuzz {

// Variables A, B, S, D, N (Null); arrays as "name[index]"; F(x) evaluates x again.
class Script : public TrpInterpretator {
 public:
  Script() {
    vars_.SetValueByName("A", 1);
    vars_.SetValueByName("B", 2.5);
    vars_.SetValueByName("S", "text");
    vars_.SetValueByName("D", Variant::FromDate(36526.5));
    vars_.SetValueByName("N", Variant::Null());
    StepLimit = 2000;
  }

  void ReadVariable(const AnsiString& name, Variant& value) override {
    if (vars_.IndexOfName(name) >= 0) value = vars_.GetValueByName(name);
  }
  void WriteVariable(const AnsiString& name, const Variant& value) override {
    // Keep the fuzzer's memory bounded: a loop may double a text on every round.
    if (value.IsString() && value.AsString().size() > 100000) throw Exception("text too long");
    if (vars_.IndexOfName(name) < 0 && vars_.Count() >= 200) return;
    vars_.SetValueByName(name, value);
  }
  void CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                    Variant& value) override {
    if (name == "GETARRAY" || name == "SETARRAY") {
      AnsiString element = p1.AsString() + "[" + VarToStr(Parser().Evaluate(p2.AsString())) + "]";
      if (name == "SETARRAY")
        WriteVariable(element, Parser().Evaluate(p3.AsString()));
      else
        ReadVariable(element, value);
    } else if (name == "F") {
      value = Parser().Evaluate(p1.AsString());
    }
  }

  const TrpVariables& Variables() const { return vars_; }

 private:
  TrpVariables vars_;
};

inline void RunOne(std::string_view text) {
  auto guarded = [](auto&& f) {
    try {
      f();
    } catch (const Exception&) {
    }
  };
  Script script;
  TrpParser& parser = script.Parser();
  // The text as an expression, and as a postfix string of its own.
  guarded([&] { parser.EvalPostfix(parser.ToPostfix(text)); });
  guarded([&] { parser.EvalPostfix(text); });

  TStringList match;
  match.Add("SUM");
  match.Add("F");
  guarded([&] {
    TStringList found;
    TrpFunctionSplitter splitter(match, found, &script.Variables());
    splitter.Split(text);
  });

  // The text as a script of lines; what compiles runs.
  TStringList source;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n') {
      source.Add(AnsiString(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  TStringList compiled, errors;
  if (script.CompileScript(source, compiled, errors)) {
    guarded([&] { script.RunScript(compiled); });
    guarded([&] {
      TStringList found;
      script.SplitExpressions(compiled, match, &script.Variables(), found);
    });
  }
  // The lines taken as coded lines as they stand.
  guarded([&] { script.RunScript(source); });
}

}  // namespace report_fuzz
