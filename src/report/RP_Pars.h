// The report expression language: infix text -> coded postfix string -> Variant.
//
// Postfix string: every operand ends with one blank (a function call, kept as its
// source text, has none); every operator is one character with no blank after it:
// "+ - * / < = >" and the codes below. Names, bracketed references and calls that the
// parser does not settle itself go to the two handlers of its owner.
#pragma once

#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Variant.h"

// Raised for expressions that cannot be converted or evaluated (unbalanced brackets,
// a missing operand, MOD by zero, ...). Conversion errors of the Variant pass through
// as they are.
TW_DECLARE_EXCEPTION(EParserError, Exception)

namespace rpop {
constexpr char GreaterEqual = 1;
constexpr char LessEqual = 2;
constexpr char NotEqual = 3;
constexpr char Or = 4;   // evaluated as add
constexpr char And = 5;  // evaluated as multiply
constexpr char Int = 6;
constexpr char Frac = 7;
constexpr char Negate = 9;
constexpr char UnaryPlus = 10;
constexpr char Str = 11;
constexpr char Not = 12;
constexpr char Mod = 13;
constexpr char Round = 14;
}  // namespace rpop

// Asked for the value of a plain name (upper-cased) or of the text inside a bracket
// pair (as written); the value arrives as the integer 0.
using TrpGetValueEvent = std::function<void(const AnsiString& name, Variant& value)>;
// Asked for a call the parser does not know: the name upper-cased, the argument texts
// unevaluated as strings (an absent one empty); the value arrives as the integer 0.
using TrpFunctionEvent = std::function<void(const AnsiString& name, const Variant& p1, const Variant& p2,
                                            const Variant& p3, Variant& value)>;

class TrpParser {
 public:
  TrpGetValueEvent OnGetValue;
  TrpFunctionEvent OnFunction;

  AnsiString ToPostfix(std::string_view infix) const;
  Variant EvalPostfix(std::string_view postfix);
  Variant Evaluate(std::string_view infix);

  // Nesting of evaluations (calls, array references, handlers that evaluate again)
  // beyond which EParserError is raised instead of exhausting the machine stack.
  static constexpr int kMaxDepth = 128;
  // Length of a string an expression may make (16 MiB), beyond which EParserError is
  // raised: a script that doubles a text in a loop stops before it eats the memory.
  static constexpr std::size_t kMaxStringLength = std::size_t{1} << 24;

 private:
  Variant CallFunction(const AnsiString& name, const std::vector<AnsiString>& args);

  int depth_ = 0;
};

// Tokens shared by the parser, the function splitter and the script compiler.
namespace rptok {
// The end of an identifier that starts after the characters up to code 32 at pos;
// pos receives its start. Delimiters (outside double quotes): control characters,
// blank, "(", ")", "*", "+", "-", "/", "<", "=", ">", "[".
std::size_t IdentifierEnd(std::string_view s, std::size_t& pos);
// s[open] is "[": the index after its matching "]" (nested brackets counted, brackets
// in single- or double-quoted stretches ignored), npos when it is not closed.
std::size_t BracketGroupEnd(std::string_view s, std::size_t open);
// s[open] is "(": the index after the matching ")" (outside single quotes), npos when
// missing. pieces (when given) receives the texts split at commas of depth 1.
std::size_t CallEnd(std::string_view s, std::size_t open, std::vector<AnsiString>* pieces = nullptr);
// s[open] is "'": the index after the closing apostrophe (doubled ones are part of the
// text), npos when missing.
std::size_t StringLiteralEnd(std::string_view s, std::size_t open);
}  // namespace rptok

// Names with one Variant each; a name is held once (the comparison ignores case).
// The bytes a value kept in a table or list takes (a string: its length and its
// bookkeeping).
std::int64_t rpValueBytes(const Variant& value);
std::int64_t rpTextBytes(std::string_view text);

class TrpVariables {
 public:
  TrpVariables() = default;
  ~TrpVariables() { Clear(); }
  TrpVariables(const TrpVariables& other) { *this = other; }
  TrpVariables& operator=(const TrpVariables& other);

  void Clear();
  // Adds the name when missing, else overwrites its value.
  void SetValueByName(std::string_view name, const Variant& value);
  Variant GetValueByName(std::string_view name) const;  // Null when missing
  void SetValueAt(int index, const Variant& value);     // ignored out of range
  void SetNameAt(int index, std::string_view name);     // ignored out of range
  Variant GetValueAt(int index) const;                  // integer 0 out of range
  // The bytes the names and values hold (as rpValueBytes counts a value).
  std::int64_t HeldBytes() const;
  AnsiString GetNameAt(int index) const;                // empty out of range
  int IndexOfName(std::string_view name) const;         // -1 when missing
  int Count() const { return static_cast<int>(items_.size()); }
  void DeleteAt(int index);  // ignored out of range
  // A sorted table keeps its names in order (new names are inserted in place).
  void SetSorted(bool sorted);
  bool Sorted() const { return sorted_; }

 private:
  struct Item {
    AnsiString name;
    Variant value;
  };
  bool InRange(int index) const { return index >= 0 && index < Count(); }
  void Sort();

  // Owned plain pointers, so that inserting into a large sorted table is one block move.
  std::vector<Item*> items_;
  bool sorted_ = false;
};

// Lists the calls of chosen functions (the aggregates) inside an expression, inner
// calls before the calls around them; names of the variables table are expanded.
class TrpFunctionSplitter {
 public:
  TrpFunctionSplitter(const TStringList& matchFunctions, TStringList& splitTo, const TrpVariables* variables);
  void Split(std::string_view expression);

 private:
  void Split(std::string_view expression, int depth);
  // The content of a bracket group: a variable's value when it names one, else itself.
  void SplitGroup(std::string_view content, int depth);
  int VariableIndex(std::string_view name) const;

  const TStringList& match_;
  TStringList& splitTo_;
  const TrpVariables* variables_;
  // Characters still to be walked by this Split: variables that name others several times
  // would otherwise multiply the work with every level.
  std::size_t budget_ = 0;
};
