#include "report/RP_Pars.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "report/RP_Utils.h"

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

bool IsDelimiter(char c) { return IsBlank(c) || std::strchr("()*+-/<=>[", c) != nullptr; }

// Operator characters of the postfix string.
bool IsOperatorChar(char c) {
  return (c >= 1 && c <= 14 && c != 8) || (c != 0 && std::strchr("+-*/<=>", c) != nullptr);
}

bool IsPrefixOperator(char op) {
  return op == rpop::Negate || op == rpop::UnaryPlus || op == rpop::Int || op == rpop::Frac || op == rpop::Str ||
         op == rpop::Not || op == rpop::Round;
}

bool IsUnaryOperator(char op) { return IsPrefixOperator(op); }

int Rank(char op) {
  switch (op) {
    case '(': return 5;
    case ')': return 4;
    case '<':
    case '=':
    case '>':
    case rpop::GreaterEqual:
    case rpop::LessEqual:
    case rpop::NotEqual: return 3;
    case '+':
    case '-':
    case rpop::Negate:
    case rpop::UnaryPlus: return 2;
    case '*':
    case '/':
    case rpop::And:
    case rpop::Or:
    case rpop::Not:
    case rpop::Mod: return 1;
    default: return 0;
  }
}

char WordOperator(std::string_view word) {
  AnsiString w = UpperCase(word);
  if (w == "INT") return rpop::Int;
  if (w == "FRAC") return rpop::Frac;
  if (w == "ROUND") return rpop::Round;
  if (w == "OR") return rpop::Or;
  if (w == "AND") return rpop::And;
  if (w == "NOT") return rpop::Not;
  if (w == "STR") return rpop::Str;
  if (w == "MOD") return rpop::Mod;
  return 0;
}

bool StartsNumber(char c) { return (c >= '0' && c <= '9') || c == ',' || c == '.'; }

[[noreturn]] void Fail(const char* utf8) { throw EParserError(Ansi(utf8)); }

// The text of an apostrophe literal s[open, end): outer apostrophes dropped, every
// doubled apostrophe made single.
AnsiString LiteralText(std::string_view s, std::size_t open, std::size_t end) {
  AnsiString out;
  for (std::size_t i = open + 1; i + 1 < end; ++i) {
    out.push_back(s[i]);
    if (s[i] == '\'') ++i;
  }
  return out;
}

// INT and FRAC treat a value within 1e-10 of an integer as that integer.
double Snap(double v) {
  double r = std::nearbyint(v);
  return std::fabs(v - r) < 1e-10 ? r : v;
}

Variant FromBool(bool b) { return Variant(b ? 1 : 0); }

class DepthGuard {
 public:
  explicit DepthGuard(int& depth) : depth_(depth) {
    if (++depth_ > TrpParser::kMaxDepth) {
      --depth_;
      Fail("Слишком глубокая вложенность выражения");
    }
  }
  ~DepthGuard() { --depth_; }
  DepthGuard(const DepthGuard&) = delete;
  DepthGuard& operator=(const DepthGuard&) = delete;

 private:
  int& depth_;
};

}  // namespace

// ---------------------------------------------------------------------------------
// Tokens

namespace rptok {

std::size_t IdentifierEnd(std::string_view s, std::size_t& pos) {
  while (pos < s.size() && IsBlank(s[pos])) ++pos;
  std::size_t i = pos;
  bool inDouble = false;
  for (; i < s.size(); ++i) {
    if (s[i] == '"')
      inDouble = !inDouble;
    else if (!inDouble && IsDelimiter(s[i]))
      break;
  }
  return i;
}

std::size_t BracketGroupEnd(std::string_view s, std::size_t open) {
  int depth = 0;
  bool inSingle = false, inDouble = false;
  for (std::size_t i = open; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\'' && !inDouble)
      inSingle = !inSingle;
    else if (c == '"' && !inSingle)
      inDouble = !inDouble;
    else if (!inSingle && !inDouble) {
      if (c == '[') ++depth;
      if (c == ']' && --depth == 0) return i + 1;
    }
  }
  return std::string_view::npos;
}

std::size_t CallEnd(std::string_view s, std::size_t open, std::vector<AnsiString>* pieces) {
  int depth = 0;
  bool inSingle = false;
  std::size_t pieceStart = open + 1;
  for (std::size_t i = open; i < s.size(); ++i) {
    char c = s[i];
    if (c == '\'') {
      inSingle = !inSingle;
    } else if (!inSingle) {
      if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0) {
        if (pieces) pieces->emplace_back(s.substr(pieceStart, i - pieceStart));
        return i + 1;
      } else if (c == ',' && depth == 1) {
        if (pieces) pieces->emplace_back(s.substr(pieceStart, i - pieceStart));
        pieceStart = i + 1;
      }
    }
  }
  if (pieces) pieces->clear();
  return std::string_view::npos;
}

std::size_t StringLiteralEnd(std::string_view s, std::size_t open) {
  for (std::size_t i = open + 1; i < s.size(); ++i) {
    if (s[i] != '\'') continue;
    if (i + 1 < s.size() && s[i + 1] == '\'') {
      ++i;
      continue;
    }
    return i + 1;
  }
  return std::string_view::npos;
}

}  // namespace rptok

// ---------------------------------------------------------------------------------
// Infix -> postfix

AnsiString TrpParser::ToPostfix(std::string_view s) const {
  AnsiString out;
  std::string stack;  // operators; the back is the top
  bool operandRead = false;
  auto pushOperator = [&](char op) {
    // Prefix operators (signs, INT, NOT, ...) wait for their operand: they never move
    // a pending operator to the output before it has its right operand.
    if (!IsPrefixOperator(op)) {
      // A sign belongs to the operand just read, whatever operator follows it:
      // 8 / -2 * 2 is (8 / (-2)) * 2.
      while (!stack.empty() && (stack.back() == rpop::Negate || stack.back() == rpop::UnaryPlus)) {
        out.push_back(stack.back());
        stack.pop_back();
      }
      while (!stack.empty() && Rank(op) >= Rank(stack.back())) {
        out.push_back(stack.back());
        stack.pop_back();
      }
    }
    stack.push_back(op);
    operandRead = false;
  };

  std::size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (c == ';') break;
    if (c == '(') {
      stack.push_back('(');
      operandRead = false;
      ++i;
      continue;
    }
    if (c == ')') {
      while (!stack.empty() && stack.back() != '(') {
        out.push_back(stack.back());
        stack.pop_back();
      }
      if (stack.empty()) Fail("Лишняя закрывающая скобка в выражении");
      stack.pop_back();
      operandRead = true;
      ++i;
      continue;
    }
    char next = i + 1 < s.size() ? s[i + 1] : '\0';
    if (c == '<' && next == '>') {
      pushOperator(rpop::NotEqual);
      i += 2;
      continue;
    }
    if (c == '>' && next == '=') {
      pushOperator(rpop::GreaterEqual);
      i += 2;
      continue;
    }
    if (c == '<' && next == '=') {
      pushOperator(rpop::LessEqual);
      i += 2;
      continue;
    }
    if (std::strchr("+-*/<=>", c) != nullptr) {
      char op = c;
      if ((c == '+' || c == '-') && !operandRead) op = c == '-' ? rpop::Negate : rpop::UnaryPlus;
      pushOperator(op);
      ++i;
      continue;
    }

    // An operand.
    std::size_t start = i;
    bool prefixed = false;
    if (c == '%') {
      i = std::min(i + 2, s.size());
      prefixed = true;
    }
    if (i < s.size() && s[i] == '\'') {
      std::size_t end = rptok::StringLiteralEnd(s, i);
      if (end == std::string_view::npos) Fail("Не закрыта кавычка в выражении");
      i = end;
    } else if (i < s.size() && s[i] == '[') {
      std::size_t end = rptok::BracketGroupEnd(s, i);
      if (end == std::string_view::npos) Fail("Не закрыта квадратная скобка в выражении");
      i = end;
    } else {
      std::size_t nameStart = i;
      i = rptok::IdentifierEnd(s, nameStart);
      std::string_view name = s.substr(nameStart, i - nameStart);
      bool grouped = i < s.size() && s[i] == '[';
      if (grouped) {
        std::size_t end = rptok::BracketGroupEnd(s, i);
        if (end == std::string_view::npos) Fail("Не закрыта квадратная скобка в выражении");
        i = end;
      }
      std::string_view operand = s.substr(start, i - start);
      if (!grouped && !StartsNumber(operand[0])) {
        if (char op = prefixed ? 0 : WordOperator(name)) {
          pushOperator(op);
          continue;
        }
        if (i < s.size() && s[i] == '(') {
          std::size_t end = rptok::CallEnd(s, i);
          if (end == std::string_view::npos) Fail("Не закрыта скобка в вызове функции");
          out.append(s.substr(start, end - start));
          i = end;
          operandRead = true;
          continue;
        }
      }
    }
    out.append(s.substr(start, i - start));
    out.push_back(' ');
    operandRead = true;
  }
  while (!stack.empty()) {
    if (stack.back() == '(') Fail("Не закрыта скобка в выражении");
    out.push_back(stack.back());
    stack.pop_back();
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Evaluation

Variant TrpParser::Evaluate(std::string_view infix) {
  DepthGuard guard(depth_);
  return EvalPostfix(ToPostfix(infix));
}

Variant TrpParser::EvalPostfix(std::string_view s) {
  DepthGuard guard(depth_);
  std::vector<Variant> stack;
  auto push = [&]() -> Variant& { return stack.emplace_back(0); };
  auto need = [&](std::size_t n) {
    if (stack.size() < n) Fail("Не хватает операнда в выражении");
  };

  std::size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (IsOperatorChar(c)) {
      ++i;
      if (c == rpop::UnaryPlus) continue;
      if (IsUnaryOperator(c)) {
        need(1);
        Variant& v = stack.back();
        switch (c) {
          case rpop::Negate: v = -v; break;
          case rpop::Int:
            if (!v.IsNull()) v = Variant(std::trunc(Snap(v.AsDouble())));
            break;
          case rpop::Frac:
            if (!v.IsNull()) {
              double x = Snap(v.AsDouble());
              v = Variant(x - std::trunc(x));
            }
            break;
          case rpop::Round:
            if (!v.IsNull()) v = Variant::FromInt64(Round(v.AsDouble()));
            break;
          case rpop::Str: v = Variant(VarToStr(v)); break;
          case rpop::Not: v = FromBool(v == Variant(0)); break;
        }
        continue;
      }
      need(2);
      Variant b = std::move(stack.back());
      stack.pop_back();
      Variant& a = stack.back();
      switch (c) {
        case '+':
        case rpop::Or:
          if (a.StringLength() + b.StringLength() > TrpParser::kMaxStringLength)
            Fail("Слишком длинная строка в выражении");
          a = a + b;
          break;
        case '-': a = a - b; break;
        case '*':
        case rpop::And: a = a * b; break;
        case '/':
          if (a.IsNull() || b.IsNull())
            a = Variant::Null();
          else
            a = b == Variant(0) ? Variant(0) : a / b;
          break;
        case rpop::Mod: a = Variant::Mod(a, b); break;  // by zero: EZeroDivide
        case '<': a = FromBool(Variant::Compare(a, b) == TVariantRelationship::vrLessThan); break;
        case '=': a = FromBool(Variant::Compare(a, b) == TVariantRelationship::vrEqual); break;
        case '>': a = FromBool(Variant::Compare(a, b) == TVariantRelationship::vrGreaterThan); break;
        case rpop::GreaterEqual: a = FromBool(a >= b); break;
        case rpop::LessEqual: a = FromBool(a <= b); break;
        case rpop::NotEqual: a = FromBool(a != b); break;
      }
      continue;
    }
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (c == '\'') {
      std::size_t end = rptok::StringLiteralEnd(s, i);
      if (end == std::string_view::npos) Fail("Не закрыта кавычка в выражении");
      push() = Variant(LiteralText(s, i, end));
      i = end;
      continue;
    }
    if (c == '[') {
      std::size_t end = rptok::BracketGroupEnd(s, i);
      if (end == std::string_view::npos) Fail("Не закрыта квадратная скобка в выражении");
      Variant& slot = push();
      if (OnGetValue) OnGetValue(AnsiString(s.substr(i + 1, end - i - 2)), slot);
      i = end;
      continue;
    }
    std::size_t start = i;
    i = rptok::IdentifierEnd(s, start);
    std::string_view name = s.substr(start, i - start);
    char after = i < s.size() ? s[i] : '\0';
    if (name.empty() && after != '(') Fail("Неожиданный символ в выражении");
    if (!name.empty() && StartsNumber(name[0])) {
      push() = Variant(rpStrToFloatAnySep(name));  // an operand that starts with a digit, "," or "."
    } else if (after == '[') {
      std::size_t end = rptok::BracketGroupEnd(s, i);
      if (end == std::string_view::npos) Fail("Не закрыта квадратная скобка в выражении");
      AnsiString call = "GETARRAY(" + AnsiString(name) + ", " + AnsiString(s.substr(i + 1, end - i - 2)) + ")";
      i = end;
      Variant v = Evaluate(call);
      push() = std::move(v);
    } else if (after == '(') {
      std::vector<AnsiString> args;
      std::size_t end = rptok::CallEnd(s, i, &args);
      if (end == std::string_view::npos) Fail("Не закрыта скобка в вызове функции");
      i = end;
      Variant v = CallFunction(AnsiUpperCase(name), args);
      push() = std::move(v);
    } else if (SameText(name, "TRUE") || SameText(name, "FALSE")) {
      push() = Variant(SameText(name, "TRUE"));
    } else {
      Variant& slot = push();
      if (OnGetValue) OnGetValue(AnsiUpperCase(name), slot);
    }
  }
  return stack.empty() ? Variant(0) : stack.front();
}

Variant TrpParser::CallFunction(const AnsiString& name, const std::vector<AnsiString>& args) {
  if (args.size() > 3) throw EParserError(Ansi("Слишком много аргументов функции ") + name);
  auto arg = [&](std::size_t k) -> std::string_view { return k < args.size() ? std::string_view(args[k]) : ""; };
  if (name == "COPY") {
    AnsiString text = Evaluate(arg(0)).AsString();
    std::int64_t from = Evaluate(arg(1)).AsInteger();
    std::int64_t count = Evaluate(arg(2)).AsInteger();
    if (from < 1) from = 1;
    if (count <= 0 || from > static_cast<std::int64_t>(text.size())) return Variant("");
    return Variant(text.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count)));
  }
  if (name == "IF") {
    double cond = Evaluate(arg(0)).AsDouble();  // a Boolean counts as 1 or 0
    return Evaluate(std::trunc(cond) > 0 ? arg(1) : arg(2));
  }
  if (name == "STRTODATE") {
    AnsiString text = Evaluate(arg(0)).AsString();
    TDateTime date;
    if (!TryStrToDate(text, date)) throw EConvertError("'" + text + "' is not a valid date");
    return Variant::FromDate(date);
  }
  if (name == "STRTOTIME") {
    AnsiString text = Evaluate(arg(0)).AsString();
    TDateTime time;
    if (!TryStrToTime(text, time)) throw EConvertError("'" + text + "' is not a valid time");
    return Variant::FromDate(time);
  }
  Variant value(0);
  if (OnFunction) OnFunction(name, Variant(arg(0)), Variant(arg(1)), Variant(arg(2)), value);
  return value;
}

// ---------------------------------------------------------------------------------
// TrpVariables

TrpVariables& TrpVariables::operator=(const TrpVariables& other) {
  if (this == &other) return *this;
  Clear();
  items_.reserve(other.items_.size());
  for (const Item* item : other.items_) items_.push_back(new Item(*item));
  sorted_ = other.sorted_;
  return *this;
}

void TrpVariables::Clear() {
  for (Item* item : items_) delete item;
  items_.clear();
}

int TrpVariables::IndexOfName(std::string_view name) const {
  if (sorted_) {  // the order is by AnsiCompareText, whose equality is AnsiSameText
    auto at = std::lower_bound(items_.begin(), items_.end(), name, [](const Item* item, std::string_view n) {
      return AnsiCompareText(item->name, n) < 0;
    });
    return at != items_.end() && AnsiSameText((*at)->name, name) ? static_cast<int>(at - items_.begin()) : -1;
  }
  for (int i = 0; i < Count(); ++i)
    if (AnsiSameText(items_[static_cast<std::size_t>(i)]->name, name)) return i;
  return -1;
}

void TrpVariables::SetValueByName(std::string_view name, const Variant& value) {
  int i = IndexOfName(name);
  if (i >= 0) {
    items_[static_cast<std::size_t>(i)]->value = value;
    return;
  }
  auto* item = new Item{AnsiString(name), value};
  if (!sorted_) {
    items_.push_back(item);
    return;
  }
  auto at = std::upper_bound(items_.begin(), items_.end(), item,
                             [](const Item* a, const Item* b) {
                               return AnsiCompareText(a->name, b->name) < 0;
                             });
  items_.insert(at, item);
}

Variant TrpVariables::GetValueByName(std::string_view name) const {
  int i = IndexOfName(name);
  return i >= 0 ? items_[static_cast<std::size_t>(i)]->value : Variant::Null();
}

void TrpVariables::SetValueAt(int index, const Variant& value) {
  if (InRange(index)) items_[static_cast<std::size_t>(index)]->value = value;
}

void TrpVariables::SetNameAt(int index, std::string_view name) {
  if (!InRange(index)) return;
  items_[static_cast<std::size_t>(index)]->name = AnsiString(name);
  if (sorted_) Sort();
}

Variant TrpVariables::GetValueAt(int index) const {
  return InRange(index) ? items_[static_cast<std::size_t>(index)]->value : Variant(0);
}

std::int64_t rpTextBytes(std::string_view text) {
  constexpr std::int64_t kBookkeeping = 32;
  return kBookkeeping + static_cast<std::int64_t>(text.size());
}

std::int64_t rpValueBytes(const Variant& value) {
  return rpTextBytes("") + static_cast<std::int64_t>(value.StringLength());
}

std::int64_t TrpVariables::HeldBytes() const {
  std::int64_t n = 0;
  for (const Item* item : items_) n += static_cast<std::int64_t>(item->name.size()) + rpValueBytes(item->value);
  return n;
}

AnsiString TrpVariables::GetNameAt(int index) const {
  return InRange(index) ? items_[static_cast<std::size_t>(index)]->name : AnsiString();
}

void TrpVariables::DeleteAt(int index) {
  if (!InRange(index)) return;
  delete items_[static_cast<std::size_t>(index)];
  items_.erase(items_.begin() + index);
}

void TrpVariables::SetSorted(bool sorted) {
  sorted_ = sorted;
  if (sorted_) Sort();
}

void TrpVariables::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [](const Item* a, const Item* b) {
    return AnsiCompareText(a->name, b->name) < 0;
  });
}

// ---------------------------------------------------------------------------------
// TrpFunctionSplitter

namespace {
// The text one Split may walk, variables expanded: far beyond any real expression.
constexpr std::size_t kSplitBudget = std::size_t{1} << 20;
}  // namespace

TrpFunctionSplitter::TrpFunctionSplitter(const TStringList& matchFunctions, TStringList& splitTo,
                                         const TrpVariables* variables)
    : match_(matchFunctions), splitTo_(splitTo), variables_(variables) {}

void TrpFunctionSplitter::Split(std::string_view expression) {
  budget_ = kSplitBudget;
  Split(expression, 0);
}

int TrpFunctionSplitter::VariableIndex(std::string_view name) const {
  return variables_ && !name.empty() ? variables_->IndexOfName(name) : -1;
}

void TrpFunctionSplitter::SplitGroup(std::string_view content, int depth) {
  int v = VariableIndex(content);
  Split(v >= 0 ? VarToStr(variables_->GetValueAt(v)) : AnsiString(content), depth + 1);
}

void TrpFunctionSplitter::Split(std::string_view expression, int depth) {
  // Variables may name each other; a cycle ends here instead of in a stack overflow.
  if (depth > TrpParser::kMaxDepth) Fail("Слишком глубокая вложенность переменных");
  if (expression.size() >= budget_) Fail("Слишком длинное выражение после подстановки переменных");
  budget_ -= expression.size() + 1;
  AnsiString text = Trim(expression);
  std::string_view s = text;
  // Text that starts with a bracket group is read as memo text: its groups are
  // expressions, and between them only calls of the matched functions count (plain
  // words are not variables, apostrophes and parentheses are plain characters). An
  // expression such as [Qty] * 2 + SUM([Qty]) starts with a group as well.
  const bool memo = !s.empty() && s[0] == '[';
  std::size_t i = 0;
  while (i < s.size()) {
    char c = s[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (c == '[') {
      std::size_t end = rptok::BracketGroupEnd(s, i);
      if (end == std::string_view::npos) break;
      SplitGroup(s.substr(i + 1, end - i - 2), depth);
      i = end;
      continue;
    }
    if (c == '\'' && !memo) {  // a text literal holds no calls
      std::size_t end = rptok::StringLiteralEnd(s, i);
      i = end == std::string_view::npos ? s.size() : end;
      continue;
    }
    if (IsDelimiter(c)) {  // operators and parentheses between operands
      ++i;
      continue;
    }
    std::size_t start = i;
    i = rptok::IdentifierEnd(s, start);
    if (i == start) {  // a lone double quote or the like in memo text
      ++i;
      continue;
    }
    std::string_view name = s.substr(start, i - start);
    const bool matched = match_.IndexOf(name) >= 0;
    if (i < s.size() && s[i] == '(' && (matched || !memo)) {
      std::vector<AnsiString> args;
      std::size_t end = rptok::CallEnd(s, i, &args);
      if (end == std::string_view::npos) {
        if (memo) continue;  // an open parenthesis of plain text
        Fail("Не закрыта скобка в вызове функции");
      }
      for (const auto& a : args) Split(a, depth + 1);
      if (matched) splitTo_.Add(AnsiString(s.substr(start, end - start)));
      i = end;
    } else if (int v = memo ? -1 : VariableIndex(name); v >= 0) {
      Split(VarToStr(variables_->GetValueAt(v)), depth + 1);
    }
  }
}
