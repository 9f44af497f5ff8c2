// The link between table expressions and a table: value kinds, the value that an
// expression node yields, user-defined functions and variables, and the registries
// that a table fills with its functions (RECNO, DELETED, ...) and field variables.
#pragma once

#include <cstdint>
#include <memory>

#include "tables/db_tool.h"

// Kinds of expression values (numbered apart from typed-value kinds).
namespace ek {
inline constexpr std::uint8_t None = 0;
inline constexpr std::uint8_t Missing = 1;  // argument missing
inline constexpr std::uint8_t Any = 2;      // only as a requirement
inline constexpr std::uint8_t Text = 3;
inline constexpr std::uint8_t Number = 4;   // 4 to 7: the numeric family
inline constexpr std::uint8_t Date = 6;     // julian day as a number; the empty date is 1e100
inline constexpr std::uint8_t Logical = 8;
inline constexpr std::uint8_t Reference = 9;  // a field of another type: table and field number
inline bool IsNumeric(std::uint8_t kind) { return kind >= 4 && kind <= 7; }
}  // namespace ek

inline constexpr double kEmptyExpDate = 1e100;
inline constexpr std::size_t kMaxExpText = 511;

class DBO_dBaseFld;

// One value of an expression node.
struct TdbExpValue {
  std::uint8_t kind = ek::None;
  AnsiString text;      // Text: at most kMaxExpText bytes
  double number = 0;    // numeric family
  bool logical = false;
  std::int32_t width = 0;  // a field variable's width after a number (read by STR)
  DBO_dBaseFld* table = nullptr;  // Reference
  std::int32_t field = 0;         // Reference: 1-based field number

  void SetText(std::string_view t) {
    kind = ek::Text;
    text.assign(t.substr(0, std::min(t.size(), kMaxExpText)));
  }
  void SetNumber(double v, std::uint8_t k = ek::Number) {
    kind = k;
    number = v;
  }
  void SetLogical(bool v) {
    kind = ek::Logical;
    logical = v;
  }
};

// The arguments of a function call, as the expression evaluator gives them.
class TdbExpArguments {
 public:
  virtual ~TdbExpArguments() = default;
  virtual int ArgumentCount() const = 0;
  // Evaluates argument `index` (from 0); kind Missing when there is none.
  virtual void GetArgument(int index, TdbExpValue& value, std::uint8_t requiredKind) = 0;
};

class TdbUserDefFunction {
 public:
  virtual ~TdbUserDefFunction() = default;
  virtual AnsiString Name() const = 0;
  // True when a value was produced (else the result is kind Missing).
  virtual bool Evaluate(TdbExpArguments& args, TdbExpValue& result) = 0;
};

class TdbUserDefFieldVar {
 public:
  static constexpr int kKind = 16;
  virtual ~TdbUserDefFieldVar() = default;
  virtual AnsiString Name() const = 0;  // upper-cased
  virtual int Kind() const { return kKind; }
  virtual void Value(TdbExpValue& value) = 0;
};

class TdbFunctionReg : public TdbCollection<TdbUserDefFunction> {
 public:
  TdbUserDefFunction* Find(std::string_view upperName) const;
};

class TdbFieldVarReg : public TdbCollection<TdbUserDefFieldVar> {
 public:
  TdbUserDefFieldVar* Find(std::string_view upperName) const;
};

// The names that one table gives to expressions.
class TdbExpUserLink {
 public:
  virtual ~TdbExpUserLink() = default;
  virtual TdbUserDefFunction* FindFunction(std::string_view upperName) const { return functions_.Find(upperName); }
  virtual TdbUserDefFieldVar* FindFieldVar(std::string_view upperName) const { return fieldVars_.Find(upperName); }
  TdbUserDefFunction* AddFunction(std::unique_ptr<TdbUserDefFunction> f) { return functions_.Add(std::move(f)); }
  TdbUserDefFieldVar* AddFieldVar(std::unique_ptr<TdbUserDefFieldVar> v) { return fieldVars_.Add(std::move(v)); }
  const TdbFunctionReg& Functions() const { return functions_; }
  const TdbFieldVarReg& FieldVars() const { return fieldVars_; }

  std::int32_t DefaultNumberWidth = 10;  // for STR

 private:
  TdbFunctionReg functions_;
  TdbFieldVarReg fieldVars_;
};

// A field of a table as an expression variable.
class TdblDBFFieldVars : public TdbUserDefFieldVar {
 public:
  static constexpr int kKind = 17;
  TdblDBFFieldVars(DBO_dBaseFld* table, std::int32_t number);
  AnsiString Name() const override { return name_; }
  int Kind() const override { return kKind; }
  void Value(TdbExpValue& value) override;
  std::int32_t Number() const { return number_; }
  std::int32_t Width() const { return width_; }

 private:
  DBO_dBaseFld* table_;
  AnsiString name_;
  std::int32_t number_;
  std::int32_t width_;
};
