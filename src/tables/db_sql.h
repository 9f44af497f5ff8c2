// The link between table expressions and a table: value kinds, the value that an
// expression node yields, user-defined functions and variables, and the registries
// that a table fills with its functions (RECNO, DELETED, ...) and field variables.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

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
class TdbExpUserLink;

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
  // The link of the expression being evaluated, none for an expression without a table.
  virtual const TdbExpUserLink* UserLink() const { return nullptr; }
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
  // The table's texts are code page 866: UPPER, LOWER and caseless comparison fold by its
  // case table (else by 1251's).
  bool OemText = true;

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
  DBO_dBaseFld* Table() const { return table_; }

 private:
  DBO_dBaseFld* table_;
  AnsiString name_;
  std::int32_t number_;
  std::int32_t width_;
};

// --- The expression compiler --------------------------------------------------------------
//
// TdbExpHandler compiles a dBase-style expression (UPPER(NAME), CODE = 12 .AND. .NOT.
// DELETED(), DTOS(BORN)+STR(N,5) ...) once into a tree of nodes and evaluates the tree
// against the current record. Names resolve first against the process-wide registry of
// built-in functions, then against the handler's link (a table's functions and fields).
// Operators bind by level, left to right within a level, from the tightest: 2 power;
// 3 multiply, divide; 4 add, subtract; 5 comparisons; 6 NOT; 7 AND; 8 OR.

class TdbExpHandler;

// Operator codes.
namespace eop {
inline constexpr std::uint8_t Equal = 129;
inline constexpr std::uint8_t NotEqual = 130;
inline constexpr std::uint8_t Greater = 131;
inline constexpr std::uint8_t Less = 132;
inline constexpr std::uint8_t GreaterEqual = 133;
inline constexpr std::uint8_t LessEqual = 134;
inline constexpr std::uint8_t InString = 135;
inline constexpr std::uint8_t ExactlyEqual = 136;
inline constexpr std::uint8_t Plus = 137;
inline constexpr std::uint8_t Minus = 138;
inline constexpr std::uint8_t Multiply = 139;
inline constexpr std::uint8_t Divide = 140;
inline constexpr std::uint8_t Power = 141;
inline constexpr std::uint8_t Like = 142;
inline constexpr std::uint8_t Pos = 143;
inline constexpr std::uint8_t And = 144;
inline constexpr std::uint8_t Or = 145;
inline constexpr std::uint8_t Not = 146;
}  // namespace eop

// Node kinds.
namespace enk {
inline constexpr int Container = 0;
inline constexpr int BoundOperator = 2;
inline constexpr int Operator = 3;
inline constexpr int Function = 4;
inline constexpr int FieldVar = 5;
inline constexpr int TextLit = 6;
inline constexpr int NumLit = 7;
inline constexpr int DateLit = 8;
inline constexpr int BlnLit = 9;
}  // namespace enk

class TdbExpBaseObject {
 public:
  explicit TdbExpBaseObject(int nodeKind) : NodeKind(nodeKind) {}
  virtual ~TdbExpBaseObject() = default;
  TdbExpBaseObject(const TdbExpBaseObject&) = delete;
  TdbExpBaseObject& operator=(const TdbExpBaseObject&) = delete;

  virtual AnsiString NodeName() const { return ""; }
  virtual int NameKind() const { return -1; }
  virtual AnsiString ExpressionText() const;
  // The names of the nodes of the subtree whose name kind is `kind`, each after a ";".
  virtual AnsiString ListNames(int kind) const;
  // Writes the node's value; the base gives kind None.
  virtual void Evaluate(TdbExpValue& value);

  std::unique_ptr<TdbExpBaseObject> Left;
  std::unique_ptr<TdbExpBaseObject> Right;
  int NodeKind;
  std::uint8_t ValueKind = ek::None;
  std::int32_t Width = 0;
  std::int32_t Decimals = 0;
  int Depth = 1;  // of the subtree

  // Appends the names of ListNames to out.
  virtual void AddNames(int kind, AnsiString& out) const;
};

class TdbExpContainer : public TdbExpBaseObject {
 public:
  explicit TdbExpContainer(std::unique_ptr<TdbExpBaseObject> inner);
  AnsiString ExpressionText() const override;
  void Evaluate(TdbExpValue& value) override;
};

class TdbExpOperator : public TdbExpBaseObject {
 public:
  TdbExpOperator(TdbExpHandler* handler, std::uint8_t code, int level, bool unary = false);
  AnsiString NodeName() const override { return OperatorText(code_); }
  AnsiString ExpressionText() const override;
  void Evaluate(TdbExpValue& value) override;

  static AnsiString OperatorText(std::uint8_t code);
  std::uint8_t Code() const { return code_; }
  int Level() const { return level_; }
  bool Unary() const { return unary_; }
  void Bind() { NodeKind = enk::BoundOperator; }
  bool Bound() const { return NodeKind == enk::BoundOperator; }
  // The comparison of two texts (both lose their trailing blanks): <0, 0, >0.
  int CompareText(AnsiString& left, AnsiString& right);

 private:
  [[noreturn]] void Invalid(const char* what) const;

  TdbExpHandler* handler_;
  std::uint8_t code_;
  int level_;
  bool unary_;  // a sign before an operand: the operand negated
  TdbExpValue left_, right_;
  AnsiString foldLeft_, foldRight_;
};

class TdbExpFunction : public TdbExpBaseObject, public TdbExpArguments {
 public:
  TdbExpFunction(TdbExpHandler* handler, TdbUserDefFunction* function,
                 std::vector<std::unique_ptr<TdbExpBaseObject>> args);
  AnsiString NodeName() const override { return function_->Name(); }
  AnsiString ExpressionText() const override;
  void Evaluate(TdbExpValue& value) override;

  int ArgumentCount() const override { return static_cast<int>(args_.size()); }
  // Raises "%s needed for Argument %d of %s" for a number where a text or a logical is required.
  void GetArgument(int index, TdbExpValue& value, std::uint8_t requiredKind) override;
  const TdbExpUserLink* UserLink() const override;
  void AddNames(int kind, AnsiString& out) const override;

 private:
  TdbExpHandler* handler_;
  TdbUserDefFunction* function_;
  std::vector<std::unique_ptr<TdbExpBaseObject>> args_;  // a null entry: an empty argument
};

class TdbExpFieldvar : public TdbExpBaseObject {
 public:
  explicit TdbExpFieldvar(TdbUserDefFieldVar* provider);
  AnsiString NodeName() const override { return provider_->Name(); }
  int NameKind() const override { return provider_->Kind(); }
  void Evaluate(TdbExpValue& value) override { provider_->Value(value); }

 private:
  TdbUserDefFieldVar* provider_;
};

class TdbExpTextLit : public TdbExpBaseObject {
 public:
  explicit TdbExpTextLit(std::string_view text);
  AnsiString NodeName() const override;
  void Evaluate(TdbExpValue& value) override { value.SetText(text_); }

 private:
  AnsiString text_;
};

class TdbExpNumLit : public TdbExpBaseObject {
 public:
  explicit TdbExpNumLit(std::string_view text);
  AnsiString NodeName() const override;
  void Evaluate(TdbExpValue& value) override { value.SetNumber(value_); }
  double Value() const { return value_; }

 private:
  double value_ = 0;
};

class TdbExpDateLit : public TdbExpBaseObject {
 public:
  explicit TdbExpDateLit(std::string_view text);
  AnsiString NodeName() const override;
  void Evaluate(TdbExpValue& value) override { value.SetNumber(julian_, ek::Date); }

 private:
  double julian_;
};

class TdbExpBlnLit : public TdbExpBaseObject {
 public:
  explicit TdbExpBlnLit(bool value) : TdbExpBaseObject(enk::BlnLit), value_(value) {
    ValueKind = ek::Logical;
  }
  AnsiString NodeName() const override { return value_ ? ".T." : ".F."; }
  void Evaluate(TdbExpValue& value) override { value.SetLogical(value_); }

 private:
  bool value_;
};

class TdbExpHandler {
 public:
  // Compiles the text when one is given (an empty text gives no tree).
  explicit TdbExpHandler(TdbExpUserLink* link = nullptr, bool sqlWildcards = false,
                         std::string_view text = {});
  virtual ~TdbExpHandler();
  TdbExpHandler(const TdbExpHandler&) = delete;
  TdbExpHandler& operator=(const TdbExpHandler&) = delete;

  // Frees the old tree, resets the counts and the result kind, compiles the new text. A
  // failure raises EDbfExpression and leaves no tree.
  void SetExpression(std::string_view text);

  // The compiled expression as text; '' without a tree.
  virtual AnsiString ExpressionText() const;
  // The value of the expression for the current record; its kind (None without a tree).
  virtual std::uint8_t EvaluateToBuffer(TdbExpValue& value);
  // Text, number, date (its julian day) or logical; any other kind gives an empty value.
  virtual void Evaluate(TdbVariant& value);

  std::uint8_t ResultType() const { return resultType_; }
  AnsiString ListNames(int kind) const { return root_ ? root_->ListNames(kind) : AnsiString(); }
  bool HasTree() const { return root_ != nullptr; }
  TdbExpUserLink* Link() const { return link_; }
  // Upper-cases a text by the case table of the link's texts.
  void FoldCase(AnsiString& text) const;

  std::int32_t OperandCount = 0;  // literals, functions and variables parsed
  std::int32_t MaxWidth = 0;      // largest width of number literals and variables
  std::int32_t MaxDecimals = 0;   // largest decimals among them
  bool CaseFold = false;          // caseless text comparison
  bool Wildcards = true;          // "*" at an end of the right text of a comparison
  char WildAny = '*';             // "%" with SQL wildcards
  char WildOne = '?';             // "_" with SQL wildcards

 private:
  friend class TdbExpParser;
  TdbExpUserLink* link_;
  std::unique_ptr<TdbExpBaseObject> root_;
  std::uint8_t resultType_ = ek::None;
  TdbExpValue result_;
};

// Upper- and lower-casing of expression texts: code page 866 or 1251.
void ExpUpper(AnsiString& text, bool oem);
void ExpLower(AnsiString& text, bool oem);

// The process-wide registry of the built-in functions (filled on first use).
TdbFunctionReg& BuiltinFunctions();
// Registers one object of every built-in function class into the registry.
void RegisterBuiltinFunctions(TdbFunctionReg& registry);
