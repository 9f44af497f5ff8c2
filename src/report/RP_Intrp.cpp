#include "report/RP_Intrp.h"

#include <algorithm>
#include <map>
#include <optional>

namespace {

constexpr std::size_t kMaxLines = 65535;  // the last addressable line is the end of the script
constexpr int kMaxNesting = 200;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || cp::IsAnsiLetter(static_cast<unsigned char>(c));
}
bool IsNameChar(char c) { return IsLetter(c) || IsDigit(c) || c == '.'; }

AnsiString Target(std::size_t line) {
  return AnsiString{static_cast<char>(line & 0xFF), static_cast<char>((line >> 8) & 0xFF)};
}

std::size_t TargetOf(const AnsiString& line) {
  if (line.size() < 3) throw EParserError(Ansi("Повреждена строка сценария"));
  return static_cast<unsigned char>(line[1]) | static_cast<std::size_t>(static_cast<unsigned char>(line[2])) << 8;
}

struct CompileError {
  std::size_t pos;
  AnsiString message;
};

enum class Kind { kAssign, kJumpIfZero, kJump, kEval };

struct Line {
  Kind kind;
  AnsiString text;   // expression (or "name expression")
  AnsiString label;  // a jump to a label: "10:"
  std::size_t target = 0;
  std::size_t pos = 0;  // where the statement stands in the script
};

struct Token {
  std::size_t start, end;
  AnsiString up;  // upper-cased; a single blank when there is none
};

// Position-based recursive descent over the script text with its comments removed.
class ScriptCompiler {
 public:
  explicit ScriptCompiler(const TStringList& source) {
    for (const auto& line : source.Lines()) {
      for (char c : line) raw_.push_back(c == '\t' ? ' ' : c);
      raw_.push_back('\r');
    }
    RemoveComments();
  }

  // Compiles; returns the coded lines, or the error line and the lines compiled before
  // the error (up to the first that cannot be coded).
  bool Compile(const TrpParser& parser, std::vector<AnsiString>& out, AnsiString& error) {
    std::optional<CompileError> failure;
    try {
      Statement(0);
      if (lines_.size() > kMaxLines) Fail(lines_[kMaxLines].pos, "Сценарий слишком длинный");
    } catch (const CompileError& e) {
      failure = e;
    }
    for (std::size_t i = 0; i < std::min(lines_.size(), kMaxLines); ++i) {
      try {
        out.push_back(Encode(parser, lines_[i]));
      } catch (const CompileError& e) {
        if (!failure) failure = e;
        break;
      }
    }
    if (!failure) return true;
    error = "Line " + Where(failure->pos) + ": " + failure->message;
    return false;
  }

 private:
  [[noreturn]] void Fail(std::size_t pos, const char* utf8) { throw CompileError{pos, Ansi(utf8)}; }

  // Comments in braces run to the next "}", comments after "//" to the end of the
  // line; neither starts inside an apostrophe string. They are cut out, and their
  // places kept so that errors point into the text as written.
  void RemoveComments() {
    bool inQuote = false;
    for (std::size_t i = 0; i < raw_.size();) {
      char c = raw_[i];
      if (c == '\r') inQuote = false;
      if (!inQuote && (c == '{' || (c == '/' && i + 1 < raw_.size() && raw_[i + 1] == '/'))) {
        std::size_t end = c == '{' ? raw_.find('}', i) : raw_.find('\r', i);
        end = end == std::string::npos ? raw_.size() : end + (c == '{' ? 1 : 0);
        comments_.push_back({buf_.size(), end - i});
        i = end;
        continue;
      }
      if (c == '\'') inQuote = !inQuote;
      buf_.push_back(c);
      ++i;
    }
  }

  AnsiString Where(std::size_t pos) const {
    std::size_t removed = 0;
    for (const auto& [at, length] : comments_)
      if (at <= pos) removed += length;
    pos += removed;
    if (pos >= raw_.size()) pos = raw_.empty() ? 0 : raw_.size() - 1;
    std::size_t line = 1, lineStart = 0;
    for (std::size_t i = 0; i < pos; ++i) {
      if (raw_[i] == '\r') {
        ++line;
        lineStart = i + 1;
      }
    }
    return IntToStr(static_cast<std::int64_t>(line)) + "/" + IntToStr(static_cast<std::int64_t>(pos - lineStart + 1));
  }

  char At(std::size_t p) const { return p < buf_.size() ? buf_[p] : '\0'; }
  std::size_t Skip(std::size_t p) const {
    while (p < buf_.size() && IsBlank(buf_[p])) ++p;
    return p;
  }
  // The token at p. Only keywords and the leading characters of a token are ever
  // compared, so a long token is read no further than kTokenPeek characters (and marked
  // so that it equals no keyword): scanning long runs without blanks again and again
  // would make compiling quadratic.
  Token Tok(std::size_t p) const {
    constexpr std::size_t kTokenPeek = 16;
    std::size_t s = Skip(p), e = s;
    while (e < buf_.size() && !IsBlank(buf_[e]) && e - s < kTokenPeek) ++e;
    AnsiString up = AnsiUpperCase(std::string_view(buf_).substr(s, e - s));
    if (e < buf_.size() && !IsBlank(buf_[e])) up.push_back('\x01');
    return {s, e, up.empty() ? AnsiString(" ") : up};
  }
  static bool StartsWith(const AnsiString& s, std::string_view prefix) { return s.compare(0, prefix.size(), prefix) == 0; }
  AnsiString Text(std::size_t from, std::size_t to) const { return Trim(std::string_view(buf_).substr(from, to - from)); }

  std::size_t Emit(Kind kind, AnsiString text, std::size_t pos) {
    lines_.push_back({kind, std::move(text), {}, 0, pos});
    return lines_.size() - 1;
  }

  class Nesting {
   public:
    Nesting(ScriptCompiler& c, std::size_t pos) : c_(c) {
      if (c_.nesting_ >= kMaxNesting) c_.Fail(pos, "Слишком глубокая вложенность в сценарии");
      ++c_.nesting_;
    }
    ~Nesting() { --c_.nesting_; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

   private:
    ScriptCompiler& c_;
  };

  // --- statements -------------------------------------------------------------

  std::size_t Statement(std::size_t p) {
    Nesting guard(*this, p);
    // Labels: digits and a colon directly after them.
    for (;;) {
      std::size_t q = Skip(p), r = q;
      while (IsDigit(At(r))) ++r;
      if (r == q || At(r) != ':' || At(r + 1) == '=') break;
      labels_.emplace(buf_.substr(q, r + 1 - q), lines_.size());  // the first definition wins
      p = r + 1;
    }
    Token t = Tok(p);
    if (t.up == "BEGIN") {
      Token u = StatementList(t.end);
      if (u.up != "END" && u.up != "END;") Fail(u.start, "Need \";\" or \"end\" here");
      return u.start + 3;
    }
    if (t.up == "IF") {
      std::size_t e = Expression(t.end);
      Token u = Tok(e);
      if (u.up != "THEN") Fail(u.start, "Need \"then\" here");
      std::size_t jump = Emit(Kind::kJumpIfZero, Text(t.end, e), t.start);
      p = Statement(u.end);
      Token v = Tok(p);
      if (v.up != "ELSE") {
        lines_[jump].target = lines_.size();
        return p;
      }
      std::size_t skip = Emit(Kind::kJump, {}, v.start);
      lines_[jump].target = lines_.size();
      p = Statement(v.end);
      lines_[skip].target = lines_.size();
      return p;
    }
    if (t.up == "REPEAT") {
      std::size_t first = lines_.size();
      Token u = StatementList(t.end);
      if (u.up != "UNTIL") Fail(u.start, "Need \";\" or \"until\" here");
      std::size_t e = Expression(u.end);
      lines_[Emit(Kind::kJumpIfZero, Text(u.end, e), u.start)].target = first;
      return e;
    }
    if (t.up == "WHILE") {
      std::size_t e = Expression(t.end);
      Token u = Tok(e);
      if (u.up != "DO") Fail(u.start, "Need \"do\" here");
      std::size_t test = Emit(Kind::kJumpIfZero, Text(t.end, e), t.start);
      p = Statement(u.end);
      lines_[Emit(Kind::kJump, {}, t.start)].target = test;
      lines_[test].target = lines_.size();
      return p;
    }
    if (t.up == "FOR") {
      std::size_t nameStart = Skip(t.end), indexOpen = std::string::npos;
      std::size_t d = Designator(nameStart, &indexOpen);
      std::size_t a = Assignment(t.end);
      AnsiString variable = Text(nameStart, d);
      Token u = Tok(a);
      if (u.up != "TO") Fail(u.start, "Need \"to\" here");
      std::size_t e = Expression(u.end);
      Token w = Tok(e);
      if (w.up != "DO") Fail(w.start, "Need \"do\" here");
      std::size_t test = Emit(Kind::kJumpIfZero, variable + "<=" + Text(u.end, e), t.start);
      p = Statement(w.end);
      if (indexOpen != std::string::npos && d != std::string::npos)  // an array element counts in place
        Emit(Kind::kEval,
             "SETARRAY(" + buf_.substr(nameStart, indexOpen - nameStart) + ", " + Text(indexOpen + 1, d - 1) + ", " +
                 variable + "+1)",
             t.start);
      else
        Emit(Kind::kAssign, variable + " " + variable + "+1", t.start);
      lines_[Emit(Kind::kJump, {}, t.start)].target = test;
      lines_[test].target = lines_.size();
      return p;
    }
    if (t.up == "GOTO") {
      std::size_t q = Skip(t.end), r = q;
      while (IsDigit(At(r))) ++r;
      if (r == q) Fail(q, "\"goto\" label must be a number");
      lines_[Emit(Kind::kJump, {}, q)].label = buf_.substr(q, r - q) + ":";
      return r;
    }
    // Empty statements: before END, ";", ELSE, UNTIL and at the end of the script.
    if (t.up == "END" || t.up == "END;" || t.up[0] == ';' || t.up == " " || t.up == "ELSE" || t.up == "UNTIL")
      return p;
    std::size_t q = Skip(p);
    if (std::size_t d = Designator(q); d != std::string::npos && At(Skip(d)) != '(') return Assignment(q);
    std::size_t e = Expression(q);
    Emit(Kind::kEval, Text(q, e), q);
    return e;
  }

  // Statements separated by ";" (only the ";" of a token is taken); the token that
  // ends the list.
  Token StatementList(std::size_t p) {
    for (;;) {
      Token u = Tok(Statement(p));
      if (u.up[0] != ';') return u;
      p = u.start + 1;
    }
  }

  // A name (letter, then letters, digits, "." and "_") with an optional "[" index "]";
  // the end, or npos when no name starts at q.
  std::size_t Designator(std::size_t q, std::size_t* indexOpen = nullptr) {
    if (!IsLetter(At(q))) return std::string::npos;
    std::size_t r = q + 1;
    while (IsNameChar(At(r))) ++r;
    if (At(r) == '[') {
      if (indexOpen) *indexOpen = r;
      std::size_t e = Skip(Expression(r + 1));
      if (At(e) != ']') Fail(e, "Need \"]\" here");
      r = e + 1;
    }
    return r;
  }

  std::size_t Assignment(std::size_t p) {
    std::size_t q = Skip(p), indexOpen = std::string::npos;
    std::size_t d = Designator(q, &indexOpen);
    if (d == std::string::npos) Fail(q, "Ожидается имя переменной");
    Token u = Tok(d);
    if (u.up[0] == ';' || u.up == " " || u.up == "END" || u.up == "END;" || u.up == "ELSE" || u.up == "UNTIL") {
      Emit(Kind::kEval, buf_.substr(q, d - q) + "(0)", q);  // a procedure without arguments
      return d;
    }
    if (!StartsWith(u.up, ":=")) Fail(u.start, "Need \":=\" here");
    std::size_t e = Expression(u.start + 2);
    AnsiString value = Text(u.start + 2, e);
    if (indexOpen != std::string::npos) {
      AnsiString index = Text(indexOpen + 1, d - 1);
      Emit(Kind::kEval, "SETARRAY(" + buf_.substr(q, indexOpen - q) + ", " + index + ", " + value + ")", q);
    } else {
      Emit(Kind::kAssign, buf_.substr(q, d - q) + " " + value, q);
    }
    return e;
  }

  // --- expressions (checked only: the text itself is compiled to postfix) ------

  std::size_t Expression(std::size_t p) {
    std::size_t e = SimpleExpression(p);
    std::size_t q = Skip(e);
    char c = At(q), n = At(q + 1);
    if ((c == '>' && n == '=') || (c == '<' && (n == '=' || n == '>'))) return SimpleExpression(q + 2);
    if (c == '<' || c == '=' || c == '>') return SimpleExpression(q + 1);
    return e;
  }

  std::size_t SimpleExpression(std::size_t p) {
    for (;;) {
      std::size_t e = Term(p);
      std::size_t q = Skip(e);
      if (At(q) == '+' || At(q) == '-') {
        p = q + 1;
      } else if (StartsWith(Tok(q).up, "OR")) {
        p = q + 2;
      } else {
        return e;
      }
    }
  }

  std::size_t Term(std::size_t p) {
    for (;;) {
      std::size_t e = Factor(p);
      std::size_t q = Skip(e);
      AnsiString up = Tok(q).up;
      if (At(q) == '*' || At(q) == '/') {
        p = q + 1;
      } else if (StartsWith(up, "AND") || StartsWith(up, "MOD")) {
        p = q + 3;
      } else {
        return e;
      }
    }
  }

  std::size_t Factor(std::size_t p) {
    Nesting guard(*this, p);
    std::size_t q = Skip(p);
    char c = At(q);
    if (c == '(') {
      std::size_t e = Skip(Expression(q + 1));
      if (At(e) != ')') Fail(e, "Need \")\" here");
      return e + 1;
    }
    if (c == '[') {
      std::size_t end = rptok::BracketGroupEnd(buf_, q);
      if (end == std::string::npos) Fail(buf_.size(), "Need \"]\" here");
      return end;
    }
    if (c == '+' || c == '-') return Expression(q + 1);
    if (StartsWith(Tok(q).up, "NOT") && !IsNameChar(At(q + 3))) return Expression(q + 3);
    if (c == '\'') {
      std::size_t end = rptok::StringLiteralEnd(buf_, q);
      if (end == std::string::npos) Fail(q, "Не закрыта кавычка");
      return end;
    }
    if (IsDigit(c)) {
      std::size_t r = q;
      while (IsDigit(At(r))) ++r;
      if (At(r) == '.' && IsDigit(At(r + 1))) {
        ++r;
        while (IsDigit(At(r))) ++r;
      }
      return r;
    }
    std::size_t d = Designator(q);
    if (d == std::string::npos) Fail(q, "Ожидается выражение");
    std::size_t open = Skip(d);
    if (At(open) != '(') return d;
    if (At(Skip(open + 1)) == ')') return Skip(open + 1) + 1;  // no arguments
    for (std::size_t r = open;;) {
      std::size_t e = Skip(Expression(r + 1));
      if (At(e) == ')') return e + 1;
      if (At(e) != ',') Fail(e, "Need \",\" or \")\" here");
      r = e;
    }
  }

  // --- coded lines --------------------------------------------------------------

  AnsiString Encode(const TrpParser& parser, const Line& l) {
    try {
      switch (l.kind) {
        case Kind::kJumpIfZero: return "\x01" + Target(l.target) + parser.ToPostfix(l.text);
        case Kind::kJump: {
          if (l.label.empty()) return "\x02" + Target(l.target);
          auto it = labels_.find(l.label);
          if (it == labels_.end())
            throw CompileError{l.pos, Ansi("Метка \"") + l.label.substr(0, l.label.size() - 1) + Ansi("\" не определена")};
          return "\x02" + Target(it->second);
        }
        case Kind::kEval: return "\x03" + parser.ToPostfix(l.text);
        case Kind::kAssign: {
          std::size_t blank = l.text.find(' ');
          return l.text.substr(0, blank + 1) + parser.ToPostfix(std::string_view(l.text).substr(blank + 1));
        }
      }
    } catch (const EParserError& e) {
      throw CompileError{l.pos, e.Message()};
    }
    return {};
  }

  AnsiString raw_;  // the script as written, a carriage return after every line
  AnsiString buf_;  // the same without comments
  std::vector<std::pair<std::size_t, std::size_t>> comments_;  // place in buf_, length
  std::vector<Line> lines_;
  std::map<AnsiString, std::size_t> labels_;
  int nesting_ = 0;
};

}  // namespace

TrpInterpretator::TrpInterpretator() : parser_(std::make_unique<TrpParser>()) {
  parser_->OnGetValue = [this](const AnsiString& name, Variant& value) { ReadVariable(name, value); };
  parser_->OnFunction = [this](const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                               Variant& value) { CallFunction(name, p1, p2, p3, value); };
}

TrpInterpretator::~TrpInterpretator() = default;

void TrpInterpretator::ReadVariable(const AnsiString&, Variant&) {}
void TrpInterpretator::WriteVariable(const AnsiString&, const Variant&) {}
void TrpInterpretator::CallFunction(const AnsiString&, const Variant&, const Variant&, const Variant&, Variant&) {}

bool TrpInterpretator::CompileScript(const TStringList& source, TStringList& compiled, TStringList& errors) {
  compiled.Clear();
  errors.Clear();
  std::vector<AnsiString> out;
  AnsiString error;
  ScriptCompiler compiler(source);
  const bool ok = compiler.Compile(*parser_, out, error);
  for (auto& line : out) compiled.Add(line);
  if (!ok) {
    errors.Add(error);
    return false;
  }
  return true;
}

void TrpInterpretator::RunScript(const TStringList& compiled) {
  std::int64_t steps = 0;
  std::size_t i = 0;
  const std::size_t count = static_cast<std::size_t>(compiled.Count());
  while (i < count) {
    if (StepLimit > 0 && steps >= StepLimit) throw EParserError(Ansi("Сценарий выполняется слишком долго"));
    if (CancelRequested && steps % kCancelPollLines == 0 && CancelRequested())
      throw EParserError(Ansi("Выполнение сценария прервано"));
    ++steps;
    const AnsiString& line = compiled[static_cast<int>(i)];
    if (line.empty()) {
      ++i;
      continue;
    }
    switch (line[0]) {
      case '\x01': {
        std::size_t target = TargetOf(line);
        if (parser_->EvalPostfix(std::string_view(line).substr(3)) == Variant(0)) {
          i = target;
          continue;
        }
        break;
      }
      case '\x02': i = TargetOf(line); continue;
      case '\x03': {
        std::string_view expr = std::string_view(line).substr(1);
        if (AnsiUpperCase(expr) == "EXIT(0)") return;
        parser_->EvalPostfix(expr);
        break;
      }
      default: {
        std::size_t start = 0;
        while (start < line.size() && IsBlank(line[start])) ++start;
        std::size_t end = start;
        while (end < line.size() && !IsBlank(line[end])) ++end;
        Variant value = parser_->EvalPostfix(std::string_view(line).substr(std::min(end + 1, line.size())));
        WriteVariable(line.substr(start, end - start), value);
        break;
      }
    }
    ++i;
  }
}

void TrpInterpretator::SplitExpressions(const TStringList& compiled, const TStringList& match,
                                        const TrpVariables* variables, TStringList& splitTo) {
  TrpFunctionSplitter splitter(match, splitTo, variables);
  for (const auto& line : compiled.Lines()) {
    if (line.empty() || line[0] == '\x02') continue;
    if (line[0] == '\x01') {
      if (line.size() > 3) splitter.Split(std::string_view(line).substr(3));
    } else if (line[0] == '\x03') {
      splitter.Split(std::string_view(line).substr(1));
    } else {
      std::size_t blank = line.find(' ');
      if (blank != std::string::npos) splitter.Split(std::string_view(line).substr(blank + 1));
    }
  }
}
