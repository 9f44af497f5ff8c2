#include "tables/db_sql.h"

#include <algorithm>
#include <cmath>

#include "tables/db_DBF.h"
#include "tables/db_eror.h"

namespace {

// Nesting of parentheses and calls, and the depth of the bound tree: far beyond any
// real expression, and low enough that no walk of the tree exhausts the stack.
constexpr int kMaxNesting = 64;
constexpr int kMaxTreeDepth = 400;

[[noreturn]] void Fail(const AnsiString& message) { throw EDbfExpression(message); }
[[noreturn]] void FailCannotEvaluate() { Fail("Expression cannot be evaluated"); }
[[noreturn]] void FailTargetMissing(std::uint8_t code) {
  Fail(Format("Target value missing for %s operation", {TdbExpOperator::OperatorText(code)}));
}

void CapText(AnsiString& text) {
  if (text.size() > kMaxExpText) text.resize(kMaxExpText);
}

int Ordinal(std::string_view a, std::string_view b) {
  const int c = a.compare(b);  // char_traits<char> compares as unsigned bytes
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// --- Tokens ----------------------------------------------------------------------------------

enum class Tk : std::uint8_t { Char, Blank, Open, Close, Comma, Op, TextLit, DateLit };

struct Token {
  explicit Token(Tk t, char c = 0) : type(t), ch(c) {}
  Tk type;
  char ch = 0;
  std::uint8_t code = 0;
  int level = 0;
  AnsiString text;  // literals
};

struct OperatorSpelling {
  std::string_view text;
  std::uint8_t code;
  int level;
};

// Two-character spellings first.
constexpr OperatorSpelling kOperators[] = {
    {"==", eop::ExactlyEqual, 5}, {"<>", eop::NotEqual, 5},     {"!=", eop::NotEqual, 5},
    {">=", eop::GreaterEqual, 5}, {"=>", eop::GreaterEqual, 5}, {"<=", eop::LessEqual, 5},
    {"=<", eop::LessEqual, 5},    {"**", eop::Power, 2},        {"=", eop::Equal, 5},
    {"#", eop::NotEqual, 5},      {">", eop::Greater, 5},       {"<", eop::Less, 5},
    {"+", eop::Plus, 4},          {"-", eop::Minus, 4},         {"*", eop::Multiply, 3},
    {"/", eop::Divide, 3},        {"^", eop::Power, 2},         {"!", eop::Not, 6},
};

// Any byte may stand in a literal; outside literals tab, CR, LF (and the other control
// bytes) are blanks.
std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '"' || c == '\'' || c == '[' || c == '{') {
      const char close = c == '[' ? ']' : (c == '{' ? '}' : c);
      const std::size_t end = s.find(close, i + 1);
      const std::size_t stop = end == std::string_view::npos ? s.size() : end;
      Token t(c == '{' ? Tk::DateLit : Tk::TextLit);
      t.text.assign(s.substr(i + 1, stop - i - 1));
      out.push_back(std::move(t));
      i = end == std::string_view::npos ? s.size() : end + 1;
      continue;
    }
    if (c == '-' && i + 1 < s.size() && s[i + 1] == '>') {  // ALIAS->FIELD reads as ALIAS.FIELD
      out.emplace_back(Tk::Char, '.');
      i += 2;
      continue;
    }
    const OperatorSpelling* op = nullptr;
    for (const auto& o : kOperators)
      if (s.substr(i, o.text.size()) == o.text) {
        op = &o;
        break;
      }
    if (op) {
      Token t(Tk::Op);
      t.code = op->code;
      t.level = op->level;
      out.push_back(std::move(t));
      i += op->text.size();
      continue;
    }
    if (c == '(')
      out.emplace_back(Tk::Open);
    else if (c == ')')
      out.emplace_back(Tk::Close);
    else if (c == ',')
      out.emplace_back(Tk::Comma);
    else if (static_cast<unsigned char>(c) <= ' ')
      out.emplace_back(Tk::Blank);
    else
      out.emplace_back(Tk::Char, c);
    ++i;
  }
  return out;
}

struct Keyword {
  std::string_view word;
  std::uint8_t code;  // 0: a logical literal
  int level;
  bool value;
};

constexpr Keyword kKeywords[] = {
    {"T", 0, 0, true},
    {"TRUE", 0, 0, true},
    {"F", 0, 0, false},
    {"FALSE", 0, 0, false},
    {"EQ", eop::Equal, 5, false},
    {"LE", eop::LessEqual, 5, false},
    {"LT", eop::Less, 5, false},
    {"GE", eop::GreaterEqual, 5, false},
    {"GT", eop::Greater, 5, false},
    {"AND", eop::And, 7, false},
    {"OR", eop::Or, 8, false},
    {"NOT", eop::Not, 6, false},
    {"LIKE", eop::Like, 5, false},
    {"POS", eop::Pos, 5, false},
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
// A word that reads as a number literal: a digit first, or "." and a digit.
bool IsNumberWord(std::string_view w) {
  return !w.empty() && (IsDigit(w[0]) || (w[0] == '.' && w.size() > 1 && IsDigit(w[1])));
}

bool IsUnboundOperator(const TdbExpBaseObject* n) { return n->NodeKind == enk::Operator; }

int DepthOf(const TdbExpBaseObject* n) { return n ? n->Depth : 0; }

void SetDepth(TdbExpBaseObject& n, int depth) {
  if (depth > kMaxTreeDepth) FailCannotEvaluate();
  n.Depth = depth;
}

}  // namespace

// --- The parser -----------------------------------------------------------------------------------

class TdbExpParser {
 public:
  TdbExpParser(TdbExpHandler& h, std::vector<Token> tokens) : h_(h), t_(std::move(tokens)) {}

  std::unique_ptr<TdbExpBaseObject> Parse() { return ParseRange(0, t_.size(), 0); }

 private:
  using NodePtr = std::unique_ptr<TdbExpBaseObject>;

  // The index of the ")" that closes the "(" at `open`; "Missing closing parentheses" when none.
  std::size_t MatchingClose(std::size_t open, std::size_t end) const {
    int depth = 0;
    for (std::size_t i = open; i < end; ++i) {
      if (t_[i].type == Tk::Open) ++depth;
      if (t_[i].type == Tk::Close && --depth == 0) return i;
    }
    Fail("Missing closing parentheses");
  }

  NodePtr ParseRange(std::size_t begin, std::size_t end, int nesting) {
    if (nesting > kMaxNesting) FailCannotEvaluate();
    std::vector<NodePtr> list;
    int sign = 0;  // a pending sign before the next operand: +1 or -1
    std::uint8_t signCode = 0;
    auto push = [&](NodePtr node) {
      if (sign != 0) node = ApplySign(std::move(node), sign);
      sign = 0;
      list.push_back(std::move(node));
    };
    std::size_t i = begin;
    while (i < end) {
      const Token& tk = t_[i];
      switch (tk.type) {
        case Tk::Blank:
          ++i;
          break;
        case Tk::Op: {
          const bool operandExpected = list.empty() || IsUnboundOperator(list.back().get());
          if ((tk.code == eop::Plus || tk.code == eop::Minus) && operandExpected) {
            sign = (sign == 0 ? 1 : sign) * (tk.code == eop::Minus ? -1 : 1);
            signCode = tk.code;
          } else {
            if (sign != 0) FailTargetMissing(signCode);
            list.push_back(std::make_unique<TdbExpOperator>(&h_, tk.code, tk.level));
          }
          ++i;
          break;
        }
        case Tk::Open: {
          const std::size_t close = MatchingClose(i, end);
          NodePtr inner = ParseRange(i + 1, close, nesting + 1);
          if (!inner) FailCannotEvaluate();
          push(std::make_unique<TdbExpContainer>(std::move(inner)));
          i = close + 1;
          break;
        }
        case Tk::Close:
        case Tk::Comma:
          FailCannotEvaluate();
        case Tk::TextLit:
          ++h_.OperandCount;
          push(std::make_unique<TdbExpTextLit>(tk.text));
          ++i;
          break;
        case Tk::DateLit:
          ++h_.OperandCount;
          push(std::make_unique<TdbExpDateLit>(tk.text));
          ++i;
          break;
        case Tk::Char: {
          AnsiString word;
          while (i < end && t_[i].type == Tk::Char) {
            // A number ends before ".AND." and the like: CODE=1.AND.OK.
            if (!word.empty() && IsDigit(word.front()) && t_[i].ch == '.' && i + 1 < end &&
                t_[i + 1].type == Tk::Char && IsLetter(t_[i + 1].ch))
              break;
            word += t_[i].ch;
            ++i;
            if (word.size() > 1 && word.front() == '.' && word.back() == '.') break;  // ".AND."
          }
          h_.FoldCase(word);
          if (i < end && t_[i].type == Tk::Open) {
            const std::size_t close = MatchingClose(i, end);
            push(Call(word, i + 1, close, nesting));
            i = close + 1;
            break;
          }
          if (sign != 0 && IsNumberWord(word)) {
            // The sign joins the number that follows, which keeps every digit of its text.
            if (sign < 0) word.insert(0, 1, '-');
            sign = 0;
          }
          if (NodePtr node = Word(word)) {
            if (IsUnboundOperator(node.get())) {
              if (sign != 0) FailTargetMissing(signCode);
              list.push_back(std::move(node));
            } else {
              push(std::move(node));
            }
          }
          break;
        }
      }
    }
    if (sign != 0) FailTargetMissing(signCode);
    if (list.empty()) return nullptr;
    Bind(list);
    return std::move(list.front());
  }

  NodePtr ApplySign(NodePtr node, int sign) {
    if (sign > 0) return node;
    auto op = std::make_unique<TdbExpOperator>(&h_, eop::Minus, 4, true);
    SetDepth(*op, node->Depth + 1);
    op->Right = std::move(node);
    return op;
  }

  NodePtr Call(const AnsiString& name, std::size_t begin, std::size_t close, int nesting) {
    TdbUserDefFunction* f = BuiltinFunctions().Find(name);
    if (!f && h_.Link()) f = h_.Link()->FindFunction(name);
    if (!f) Fail(Format("There is no function for %s", {name}));
    std::vector<NodePtr> args;
    int depth = 0;
    if (begin < close) {
      int level = 0;
      std::size_t start = begin;
      for (std::size_t k = begin; k <= close; ++k) {
        if (k < close && t_[k].type == Tk::Open) ++level;
        if (k < close && t_[k].type == Tk::Close) --level;
        if (k == close || (level == 0 && t_[k].type == Tk::Comma)) {
          args.push_back(ParseRange(start, k, nesting + 1));
          depth = std::max(depth, DepthOf(args.back().get()));
          start = k + 1;
        }
      }
      // "F( )" has no argument rather than one empty one.
      if (args.size() == 1 && !args.front()) args.clear();
    }
    ++h_.OperandCount;
    auto node = std::make_unique<TdbExpFunction>(&h_, f, std::move(args));
    SetDepth(*node, depth + 1);
    return node;
  }

  // A word that is not a call: a keyword, a variable or a number; none for a word to skip.
  NodePtr Word(const AnsiString& word) {
    if (word.size() >= 2) {
      const std::size_t b = word.find_first_not_of('.');
      const std::size_t e = word.find_last_not_of('.');
      const std::string_view bare =
          b == AnsiString::npos ? std::string_view() : std::string_view(word).substr(b, e - b + 1);
      for (const auto& k : kKeywords) {
        if (k.word != bare) continue;
        if (k.code == 0) {
          ++h_.OperandCount;
          return std::make_unique<TdbExpBlnLit>(k.value);
        }
        return std::make_unique<TdbExpOperator>(&h_, k.code, k.level);
      }
    }
    const unsigned char first = static_cast<unsigned char>(word[0]);
    if (IsNumberWord(first == '-' ? std::string_view(word).substr(1) : std::string_view(word))) {
      ++h_.OperandCount;
      auto lit = std::make_unique<TdbExpNumLit>(word);
      h_.MaxWidth = std::max(h_.MaxWidth, lit->Width);
      h_.MaxDecimals = std::max(h_.MaxDecimals, lit->Decimals);
      return lit;
    }
    if ((first >= 'A' && first <= 'Z') || (first >= 'a' && first <= 'z') || first == '_' || first == '.' ||
        first >= 0x80) {
      if (!h_.Link()) Fail(Format("Field/variable %s is unknown", {word}));
      TdbUserDefFieldVar* v = h_.Link()->FindFieldVar(word);
      if (!v) Fail(Format("There is no function for %s", {word}));
      ++h_.OperandCount;
      auto node = std::make_unique<TdbExpFieldvar>(v);
      if (auto* field = dynamic_cast<TdblDBFFieldVars*>(v)) {
        h_.MaxWidth = std::max(h_.MaxWidth, field->Width());
        h_.MaxDecimals = std::max(h_.MaxDecimals, field->Table()->FieldDecimals(field->Number()));
      }
      return node;
    }
    return nullptr;
  }

  // Binds the operators level by level, left to right within a level (NOT, a prefix,
  // from the right so that .NOT. .NOT. A works); the list must end as one node.
  void Bind(std::vector<NodePtr>& list) {
    for (int level = 2; level <= 8; ++level) {
      for (;;) {
        std::size_t at = list.size();
        for (std::size_t k = 0; k < list.size(); ++k) {
          auto* op = IsUnboundOperator(list[k].get()) ? static_cast<TdbExpOperator*>(list[k].get()) : nullptr;
          if (op && op->Level() == level) {
            at = k;
            if (level != 6) break;
          }
        }
        if (at == list.size()) break;
        auto* op = static_cast<TdbExpOperator*>(list[at].get());
        const bool prefix = level == 6;
        if (at + 1 >= list.size() || IsUnboundOperator(list[at + 1].get())) FailTargetMissing(op->Code());
        if (!prefix && (at == 0 || IsUnboundOperator(list[at - 1].get()))) FailTargetMissing(op->Code());
        op->Right = std::move(list[at + 1]);
        list.erase(list.begin() + static_cast<std::ptrdiff_t>(at) + 1);
        if (!prefix) {
          op->Left = std::move(list[at - 1]);
          list.erase(list.begin() + static_cast<std::ptrdiff_t>(at) - 1);
        }
        op->Bind();
        SetDepth(*op, std::max(DepthOf(op->Left.get()), DepthOf(op->Right.get())) + 1);
      }
    }
    if (list.size() != 1) FailCannotEvaluate();
  }

  TdbExpHandler& h_;
  std::vector<Token> t_;
};

// --- Nodes ---------------------------------------------------------------------------------------

AnsiString TdbExpBaseObject::ExpressionText() const {
  AnsiString s;
  if (Left) s += Left->ExpressionText();
  s += NodeName();
  if (Right) s += Right->ExpressionText();
  return s;
}

void TdbExpBaseObject::AddNames(int kind, AnsiString& out) const {
  if (Left) Left->AddNames(kind, out);
  if (NameKind() == kind) out += ";" + NodeName();
  if (Right) Right->AddNames(kind, out);
}

AnsiString TdbExpBaseObject::ListNames(int kind) const {
  AnsiString out;
  AddNames(kind, out);
  return out;
}

void TdbExpBaseObject::Evaluate(TdbExpValue& value) { value.kind = ek::None; }

TdbExpContainer::TdbExpContainer(std::unique_ptr<TdbExpBaseObject> inner) : TdbExpBaseObject(enk::Container) {
  SetDepth(*this, inner->Depth + 1);
  Right = std::move(inner);
}

AnsiString TdbExpContainer::ExpressionText() const {
  return "(" + (Right ? Right->ExpressionText() : "") + ")";
}

void TdbExpContainer::Evaluate(TdbExpValue& value) {
  if (Right)
    Right->Evaluate(value);
  else
    value.kind = ek::None;
}

TdbExpOperator::TdbExpOperator(TdbExpHandler* handler, std::uint8_t code, int level, bool unary)
    : TdbExpBaseObject(unary ? enk::BoundOperator : enk::Operator),
      handler_(handler),
      code_(code),
      level_(level),
      unary_(unary) {}

AnsiString TdbExpOperator::OperatorText(std::uint8_t code) {
  switch (code) {
    case eop::Equal:
      return "=";
    case eop::NotEqual:
      return "#";
    case eop::Greater:
      return ">";
    case eop::Less:
      return "<";
    case eop::GreaterEqual:
      return ">=";
    case eop::LessEqual:
      return "<=";
    case eop::InString:
      return "in string";
    case eop::ExactlyEqual:
      return "exactly equal";
    case eop::Plus:
      return "+";
    case eop::Minus:
      return "-";
    case eop::Multiply:
      return "*";
    case eop::Divide:
      return "/";
    case eop::Power:
      return "^";
    case eop::Like:
      return ".LIKE.";
    case eop::Pos:
      return ".POS.";
    case eop::And:
      return ".AND.";
    case eop::Or:
      return ".OR.";
    case eop::Not:
      return ".NOT.";
    default:
      return "";
  }
}

AnsiString TdbExpOperator::ExpressionText() const {
  // Word operators stand between blanks so that the text compiles again as it reads.
  AnsiString own = code_ == eop::ExactlyEqual ? AnsiString("==") : OperatorText(code_);
  if (own.front() == '.') own = (Left ? " " : "") + own + " ";
  return (Left ? Left->ExpressionText() : "") + own + (Right ? Right->ExpressionText() : "");
}

void TdbExpOperator::Invalid(const char* what) const {
  Fail(Format("A %s value is required but invalid", {AnsiString(what)}));
}

void TdbExpOperator::Evaluate(TdbExpValue& value) {
  if (!Right || (!Left && code_ != eop::Not && !unary_)) FailTargetMissing(code_);
  Right->Evaluate(right_);
  if (unary_) {
    if (!ek::IsNumeric(right_.kind)) Invalid("number");
    value.SetNumber(-right_.number, right_.kind);
    return;
  }
  if (Left)
    Left->Evaluate(left_);
  else
    left_.kind = ek::Missing;
  const std::uint8_t kind = right_.kind;
  if (left_.kind != kind && !(ek::IsNumeric(left_.kind) && ek::IsNumeric(kind))) {
    if (code_ != eop::Not) Fail("The two sides of an operation do not match");
    if (kind != ek::Logical) Invalid("boolean");
  }
  const bool comparison = code_ >= eop::Equal && code_ <= eop::LessEqual;
  auto compared = [&](int c) {
    switch (code_) {
      case eop::Equal:
        return c == 0;
      case eop::NotEqual:
        return c != 0;
      case eop::Greater:
        return c > 0;
      case eop::Less:
        return c < 0;
      case eop::GreaterEqual:
        return c >= 0;
      default:
        return c <= 0;
    }
  };
  if (kind == ek::Logical) {
    switch (code_) {
      case eop::Equal:
        return value.SetLogical(left_.logical == right_.logical);
      case eop::NotEqual:
        return value.SetLogical(left_.logical != right_.logical);
      case eop::And:
        return value.SetLogical(left_.logical && right_.logical);
      case eop::Or:
        return value.SetLogical(left_.logical || right_.logical);
      case eop::Not:
        return value.SetLogical(!right_.logical);
      case eop::Plus:
      case eop::Minus:
      case eop::Multiply:
      case eop::Divide:
      case eop::Power:
        Invalid("number");
      default:
        Invalid("assigned");
    }
  }
  if (ek::IsNumeric(kind)) {
    const double l = left_.number, r = right_.number;
    if (comparison) {
      // No number (0/0) is unordered: equal to nothing, unequal to everything.
      if (std::isnan(l) || std::isnan(r)) return value.SetLogical(code_ == eop::NotEqual);
      return value.SetLogical(compared(l < r ? -1 : (l > r ? 1 : 0)));
    }
    switch (code_) {
      case eop::Plus:
        return value.SetNumber(l + r, kind);
      case eop::Minus:
        return value.SetNumber(l - r, kind);
      case eop::Multiply:
        return value.SetNumber(l * r, kind);
      case eop::Divide:
        return value.SetNumber(l / r, kind);
      case eop::Power:
        return value.SetNumber(std::pow(l, r), kind);
      default:
        Invalid("assigned");
    }
  }
  if (kind == ek::Text) {
    if (comparison) return value.SetLogical(compared(CompareText(left_.text, right_.text)));
    if (code_ == eop::Plus || code_ == eop::Minus) {
      value.kind = ek::Text;
      value.text = left_.text;
      if (code_ == eop::Minus) {
        // The left side's trailing blanks move to the end of the result.
        const std::size_t kept = value.text.find_last_not_of(' ') + 1;
        const std::size_t blanks = value.text.size() - kept;
        value.text.resize(kept);
        value.text += right_.text;
        value.text.append(blanks, ' ');
      } else {
        value.text += right_.text;
      }
      CapText(value.text);
      return;
    }
  }
  Invalid("assigned");
}

int TdbExpOperator::CompareText(AnsiString& left, AnsiString& right) {
  StrTrimRight(left);
  StrTrimRight(right);
  const bool fold = handler_->CaseFold;
  const char w = handler_->WildAny;
  if (handler_->Wildcards && !right.empty() && (right.front() == w || right.back() == w)) {
    const std::size_t b = right.find_first_not_of(w);
    if (b == AnsiString::npos) return 0;  // the wildcard alone matches everything
    const std::size_t e = right.find_last_not_of(w);
    const bool anywhere = b > 0, followed = e + 1 < right.size();
    foldLeft_ = left;
    foldRight_.assign(right, b, e - b + 1);
    if (fold) {
      handler_->FoldCase(foldLeft_);
      handler_->FoldCase(foldRight_);
    }
    const std::string_view l = foldLeft_, p = foldRight_;
    bool match;
    if (anywhere && followed)
      match = l.find(p) != std::string_view::npos;
    else if (anywhere)
      match = l.size() >= p.size() && l.substr(l.size() - p.size()) == p;
    else
      match = l.substr(0, p.size()) == p;
    return match ? 0 : Ordinal(l, p);
  }
  if (!fold) return Ordinal(left, right);
  foldLeft_ = left;
  foldRight_ = right;
  handler_->FoldCase(foldLeft_);
  handler_->FoldCase(foldRight_);
  return Ordinal(foldLeft_, foldRight_);
}

TdbExpFunction::TdbExpFunction(TdbExpHandler* handler, TdbUserDefFunction* function,
                               std::vector<std::unique_ptr<TdbExpBaseObject>> args)
    : TdbExpBaseObject(enk::Function), handler_(handler), function_(function), args_(std::move(args)) {}

AnsiString TdbExpFunction::ExpressionText() const {
  AnsiString s = function_->Name() + "(";
  for (std::size_t i = 0; i < args_.size(); ++i) {
    if (i > 0) s += ",";
    if (args_[i]) s += args_[i]->ExpressionText();
  }
  return s + ")";
}

void TdbExpFunction::AddNames(int kind, AnsiString& out) const {
  TdbExpBaseObject::AddNames(kind, out);
  for (const auto& a : args_)
    if (a) a->AddNames(kind, out);
}

void TdbExpFunction::Evaluate(TdbExpValue& value) {
  value.width = 0;
  if (!function_->Evaluate(*this, value)) value.kind = ek::Missing;
}

void TdbExpFunction::GetArgument(int index, TdbExpValue& value, std::uint8_t requiredKind) {
  if (index < 0 || index >= ArgumentCount() || !args_[static_cast<std::size_t>(index)]) {
    value.kind = ek::Missing;
    return;
  }
  value.width = 0;
  args_[static_cast<std::size_t>(index)]->Evaluate(value);
  if (requiredKind != ek::Any && ek::IsNumeric(value.kind) &&
      (requiredKind == ek::Text || requiredKind == ek::Logical))
    Fail(Format("%s needed for Argument %d of %s",
                {AnsiString(requiredKind == ek::Text ? "Text" : "Boolean"), index + 1, function_->Name()}));
}

const TdbExpUserLink* TdbExpFunction::UserLink() const { return handler_->Link(); }

TdbExpFieldvar::TdbExpFieldvar(TdbUserDefFieldVar* provider)
    : TdbExpBaseObject(enk::FieldVar), provider_(provider) {
  if (auto* field = dynamic_cast<TdblDBFFieldVars*>(provider)) Width = field->Width();
}

TdbExpTextLit::TdbExpTextLit(std::string_view text) : TdbExpBaseObject(enk::TextLit), text_(text) {
  CapText(text_);
  ValueKind = ek::Text;
  Width = static_cast<std::int32_t>(text_.size());
}

AnsiString TdbExpTextLit::NodeName() const {
  // In double quotes, or in the first other quotes that the text does not hold.
  for (const char* q : {"\"\"", "''", "[]"})
    if (text_.find(q[1]) == AnsiString::npos) return q[0] + text_ + q[1];
  return "\"" + text_ + "\"";
}

TdbExpNumLit::TdbExpNumLit(std::string_view text) : TdbExpBaseObject(enk::NumLit) {
  ValueKind = ek::Number;
  Width = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), 255));
  const std::size_t dot = text.find('.');
  if (dot != std::string_view::npos) {
    std::size_t n = 0;
    while (dot + 1 + n < text.size() && text[dot + 1 + n] >= '0' && text[dot + 1 + n] <= '9') ++n;
    Decimals = static_cast<std::int32_t>(std::min<std::size_t>(n, 15));
  }
  double v = 0;
  if (TryStrToFloat(text, v) && std::isfinite(v)) value_ = v;
}

AnsiString TdbExpNumLit::NodeName() const { return TrimLeft(Format("%20.*f", {Decimals, value_})); }

TdbExpDateLit::TdbExpDateLit(std::string_view text) : TdbExpBaseObject(enk::DateLit) {
  ValueKind = ek::Date;
  std::int32_t julian = 0;
  try {
    julian = DBFDate().TextToJulian(text);
  } catch (const EConvertError&) {
    FailCannotEvaluate();  // a date literal that is no date
  }
  julian_ = julian == 0 ? kEmptyExpDate : julian;
}

AnsiString TdbExpDateLit::NodeName() const {
  return "{" +
         (julian_ == kEmptyExpDate ? AnsiString()
                                   : DBFDate().JulianToDisplay(static_cast<std::int64_t>(julian_))) +
         "}";
}

// --- The handler ----------------------------------------------------------------------------------

TdbExpHandler::TdbExpHandler(TdbExpUserLink* link, bool sqlWildcards, std::string_view text) : link_(link) {
  if (sqlWildcards) {
    WildAny = '%';
    WildOne = '_';
  }
  if (!text.empty()) SetExpression(text);
}

TdbExpHandler::~TdbExpHandler() = default;

void TdbExpHandler::SetExpression(std::string_view text) {
  root_.reset();
  resultType_ = ek::None;
  OperandCount = 0;
  MaxWidth = 0;
  MaxDecimals = 0;
  TdbExpParser parser(*this, Tokenize(text));
  root_ = parser.Parse();
}

AnsiString TdbExpHandler::ExpressionText() const { return root_ ? root_->ExpressionText() : AnsiString(); }

std::uint8_t TdbExpHandler::EvaluateToBuffer(TdbExpValue& value) {
  resultType_ = ek::None;
  if (!root_) {
    value.kind = ek::None;
    return ek::None;
  }
  value.width = 0;
  root_->Evaluate(value);
  resultType_ = value.kind;
  return resultType_;
}

void TdbExpHandler::Evaluate(TdbVariant& value) {
  EvaluateToBuffer(result_);
  switch (ek::IsNumeric(result_.kind) && result_.kind != ek::Date ? ek::Number : result_.kind) {
    case ek::Text:
      value.PutString(result_.text);
      break;
    case ek::Number:
      value.PutFloat(result_.number);
      break;
    case ek::Date: {
      const double j = result_.number;
      value.PutDate(j >= 0 && j < 2147483648.0 ? static_cast<std::int32_t>(j) : 0);
      break;
    }
    case ek::Logical:
      value.PutBoolean(result_.logical);
      break;
    default:
      value.Clear();
      resultType_ = ek::None;
      break;
  }
}

void TdbExpHandler::FoldCase(AnsiString& text) const { ExpUpper(text, link_ ? link_->OemText : false); }

void ExpUpper(AnsiString& text, bool oem) {
  for (char& c : text)
    c = static_cast<char>(oem ? cp::OemUpper(static_cast<unsigned char>(c))
                              : cp::AnsiUpper(static_cast<unsigned char>(c)));
}

void ExpLower(AnsiString& text, bool oem) {
  for (char& c : text)
    c = static_cast<char>(oem ? cp::OemLower(static_cast<unsigned char>(c))
                              : cp::AnsiLower(static_cast<unsigned char>(c)));
}
