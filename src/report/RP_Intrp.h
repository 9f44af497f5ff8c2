// The report script language: BEGIN/END, IF, REPEAT, WHILE, FOR, GOTO, assignments and
// procedure calls, compiled once into coded lines whose expressions are postfix
// strings, then run any number of times.
//
// Coded lines (line numbers are 0-based indexes, two bytes, low byte first):
//   #1 lo hi postfix   when the condition equals 0, continue at line lo + 256 * hi
//   #2 lo hi           continue at the line
//   #3 postfix         evaluate and drop the value; "EXIT(0)" stops the script
//   name blank postfix assign the value through WriteVariable
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "report/RP_Pars.h"

class TrpInterpretator {
 public:
  TrpInterpretator();
  virtual ~TrpInterpretator();
  TrpInterpretator(const TrpInterpretator&) = delete;
  TrpInterpretator& operator=(const TrpInterpretator&) = delete;

  // The parser's value and function handlers; they do nothing here.
  virtual void ReadVariable(const AnsiString& name, Variant& value);
  virtual void WriteVariable(const AnsiString& name, const Variant& value);
  virtual void CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                            Variant& value);
  // Clears compiled and errors and compiles the script (one statement; several go in a
  // BEGIN ... END block). On the first error errors receives one line
  // "Line <line>/<column>: <message>" (positions as written, comments included),
  // compiled keeps the lines compiled before the error (not to be run: they jump
  // nowhere sound), and the result is false.
  virtual bool CompileScript(const TStringList& source, TStringList& compiled, TStringList& errors);
  // Runs coded lines. Evaluation errors propagate; EParserError for a damaged line or
  // when StepLimit lines have run.
  virtual void RunScript(const TStringList& compiled);

  // Lists the calls of the functions in match found in the expressions of compiled.
  void SplitExpressions(const TStringList& compiled, const TStringList& match, const TrpVariables* variables,
                        TStringList& splitTo);

  TrpParser& Parser() { return *parser_; }

  // Lines one RunScript may run (0: no limit), for callers that must not hang on a
  // script that loops forever.
  std::int64_t StepLimit = 0;
  // Asked every kCancelPollLines lines of a run (and before the first); true stops the
  // run with EParserError. The build hangs its stop mark here.
  std::function<bool()> CancelRequested;
  static constexpr std::int64_t kCancelPollLines = 1024;

 private:
  std::unique_ptr<TrpParser> parser_;
};
