// The built-in functions of table expressions: text, number and date conversions in
// the dBase manner, registered once for the whole process.
#include <algorithm>
#include <cmath>

#include "tables/db_eror.h"
#include "tables/db_sql.h"

namespace {

constexpr double kDescendDateBase = 5231808;
constexpr std::int32_t kDefaultStrWidth = 10;

[[noreturn]] void Needed(const char* what, int index, const TdbUserDefFunction& f) {
  throw EDbfExpression(Format("%s needed for Argument %d of %s", {AnsiString(what), index + 1, f.Name()}));
}

[[noreturn]] void Invalid(const char* what) {
  throw EDbfExpression(Format("A %s value is required but invalid", {AnsiString(what)}));
}

// Trunc of a number argument, kept within +-1e9 (a NaN counts as 0).
std::int64_t Whole(double v) {
  if (!(v == v)) return 0;
  return static_cast<std::int64_t>(std::trunc(std::clamp(v, -1e9, 1e9)));
}

bool OemOf(const TdbExpArguments& args) { return args.UserLink() ? args.UserLink()->OemText : false; }

// A julian day that the date routines can take, 0 for the empty date and for none.
std::int64_t JulianOf(double v) { return v >= 1 && v < 1e8 ? static_cast<std::int64_t>(v) : 0; }

// A built-in with its name; the helpers fetch arguments of the kind the function needs.
class TdbUDFBuiltin : public TdbUserDefFunction {
 public:
  explicit TdbUDFBuiltin(const char* name) : name_(name) {}
  AnsiString Name() const override { return name_; }

 protected:
  void Text(TdbExpArguments& args, int i, TdbExpValue& v) const {
    args.GetArgument(i, v, ek::Text);
    if (v.kind != ek::Text) Needed("Text", i, *this);
  }
  double Number(TdbExpArguments& args, int i, TdbExpValue& v) const {
    args.GetArgument(i, v, ek::Number);
    if (!ek::IsNumeric(v.kind)) Needed("Number", i, *this);
    return v.number;
  }
  // An optional number argument: `absent` when it is missing.
  double Optional(TdbExpArguments& args, int i, TdbExpValue& v, double absent) const {
    args.GetArgument(i, v, ek::Number);
    if (v.kind == ek::Missing) return absent;
    if (!ek::IsNumeric(v.kind)) Needed("Number", i, *this);
    return v.number;
  }

 private:
  const char* name_;
};

// Functions of one text argument that change the text.
class TdbUDFTextMap : public TdbUDFBuiltin {
 public:
  using TdbUDFBuiltin::TdbUDFBuiltin;
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    Text(args, 0, r);
    Map(args, r.text);
    return true;
  }

 protected:
  virtual void Map(TdbExpArguments& args, AnsiString& t) = 0;
};

class TdbUDFAllTrim : public TdbUDFTextMap {
 public:
  TdbUDFAllTrim() : TdbUDFTextMap("ALLTRIM") {}
  void Map(TdbExpArguments&, AnsiString& t) override { t = Trim(t); }
};

class TdbUDFLTrim : public TdbUDFTextMap {
 public:
  TdbUDFLTrim() : TdbUDFTextMap("LTRIM") {}
  void Map(TdbExpArguments&, AnsiString& t) override {
    t.erase(0, std::min(t.find_first_not_of(' '), t.size()));
  }
};

class TdbUDFTrim : public TdbUDFTextMap {
 public:
  TdbUDFTrim() : TdbUDFTextMap("TRIM") {}
  void Map(TdbExpArguments&, AnsiString& t) override { StrTrimRight(t); }

 protected:
  explicit TdbUDFTrim(const char* name) : TdbUDFTextMap(name) {}
};

class TdbUDFRTrim : public TdbUDFTrim {
 public:
  TdbUDFRTrim() : TdbUDFTrim("RTRIM") {}
};

class TdbUDFUpper : public TdbUDFTextMap {
 public:
  TdbUDFUpper() : TdbUDFTextMap("UPPER") {}
  void Map(TdbExpArguments& a, AnsiString& t) override { ExpUpper(t, OemOf(a)); }
};

class TdbUDFLower : public TdbUDFTextMap {
 public:
  TdbUDFLower() : TdbUDFTextMap("LOWER") {}
  void Map(TdbExpArguments& a, AnsiString& t) override { ExpLower(t, OemOf(a)); }
};

class TdbUDFSoundex : public TdbUDFTextMap {
 public:
  TdbUDFSoundex() : TdbUDFTextMap("SOUNDEX") {}
  void Map(TdbExpArguments& a, AnsiString& t) override {
    ExpUpper(t, OemOf(a));
    AnsiString out;
    for (std::size_t i = 0; i < t.size() && out.size() < 4; ++i) {
      if (i == 0) {
        out += t[0];
        continue;
      }
      const char d = Digit(t[i]);
      // A digit stays when it differs from the last character that stayed (the first letter included).
      if (d != 0 && d != out.back()) out += d;
    }
    out.resize(4, '0');
    t = out;
  }

 private:
  static char Digit(char c) {
    switch (c) {
      case 'B':
      case 'F':
      case 'P':
      case 'V':
        return '1';
      case 'C':
      case 'G':
      case 'J':
      case 'K':
      case 'Q':
      case 'S':
      case 'X':
      case 'Z':
        return '2';
      case 'D':
      case 'T':
        return '3';
      case 'L':
        return '4';
      case 'M':
      case 'N':
        return '5';
      case 'R':
        return '6';
      default:
        return 0;
    }
  }
};

class TdbUDFAsc : public TdbUDFBuiltin {
 public:
  TdbUDFAsc() : TdbUDFBuiltin("ASC") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    Text(args, 0, r);
    r.SetNumber(r.text.empty() ? 0 : static_cast<unsigned char>(r.text[0]));
    return true;
  }
};

// Functions of one number argument.
class TdbUDFNumberMap : public TdbUDFBuiltin {
 public:
  TdbUDFNumberMap(const char* name, double (*f)(double)) : TdbUDFBuiltin(name), f_(f) {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    r.SetNumber(f_(Number(args, 0, r)));
    return true;
  }

 private:
  double (*f_)(double);
};

class TdbUDFCeiling : public TdbUDFNumberMap {
 public:
  TdbUDFCeiling() : TdbUDFNumberMap("CEILING", [](double v) { return std::ceil(v); }) {}
};
class TdbUDFFloor : public TdbUDFNumberMap {
 public:
  TdbUDFFloor() : TdbUDFNumberMap("FLOOR", [](double v) { return std::floor(v); }) {}
};
class TdbUDFInt : public TdbUDFNumberMap {
 public:
  TdbUDFInt() : TdbUDFNumberMap("INT", [](double v) { return std::trunc(v); }) {}
};

class TdbUDFChr : public TdbUDFBuiltin {
 public:
  TdbUDFChr() : TdbUDFBuiltin("CHR") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    const double v = Number(args, 0, r);
    if (!std::isfinite(v)) Invalid("Byte");  // no number is no character code
    const std::int64_t n = Whole(v);
    if (n < 0 || n > 255) Invalid("Byte");
    // Texts end at a zero byte: CHR(0) is the empty text.
    r.SetText(n == 0 ? AnsiString() : AnsiString(1, static_cast<char>(n)));
    return true;
  }
};

class TdbUDFCtod : public TdbUDFBuiltin {
 public:
  TdbUDFCtod() : TdbUDFBuiltin("CTOD") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    Text(args, 0, r);
    // A blank text is the empty date; a text that is no date raises the date parser's error.
    const std::int32_t julian = DBFDate().TextToJulian(r.text);
    r.SetNumber(julian == 0 ? kEmptyExpDate : julian, ek::Date);
    return true;
  }
};

class TdbUDFDate : public TdbUDFBuiltin {
 public:
  TdbUDFDate() : TdbUDFBuiltin("DATE") {}
  bool Evaluate(TdbExpArguments&, TdbExpValue& r) override {
    r.SetNumber(DBFDate().TodayJulian(), ek::Date);
    return true;
  }
};

class TdbUDFDescend : public TdbUDFBuiltin {
 public:
  TdbUDFDescend() : TdbUDFBuiltin("DESCEND") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    args.GetArgument(0, r, ek::Any);
    if (r.kind == ek::Date) {
      if (r.number != kEmptyExpDate) r.number = kDescendDateBase - r.number;
    } else if (ek::IsNumeric(r.kind)) {
      if (r.number != 0) r.number = -r.number;
    } else if (r.kind == ek::Text) {
      for (char& c : r.text) c = static_cast<char>(256 - static_cast<unsigned char>(c));
    } else if (r.kind == ek::Logical) {
      r.logical = !r.logical;
    } else {
      // Any other kind keeps its kind with its first byte 0: a reference to no field.
      r.text.clear();
      r.number = 0;
      r.table = nullptr;
      r.field = 0;
    }
    return true;
  }
};

// DTOC and DTOS: the text of a date argument. The empty date gives eight blanks in DTOS,
// as a blank date field stores it (keys such as DTOS(D)+NAME keep their length), and ''
// in DTOC.
class TdbUDFDateText : public TdbUDFBuiltin {
 public:
  TdbUDFDateText(const char* name, bool always) : TdbUDFBuiltin(name), always_(always) {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    TdbExpValue work;  // further arguments
    const std::int64_t julian = JulianOf(Number(args, 0, r));
    const bool dbf = always_ || Whole(Optional(args, 1, work, 0)) == 1;
    r.SetText(julian == 0 ? AnsiString(always_ ? 8 : 0, ' ')
                          : (dbf ? DBFDate().JulianToDBF(julian) : DBFDate().JulianToDisplay(julian)));
    return true;
  }

 private:
  bool always_;
};

class TdbUDFDtoc : public TdbUDFDateText {
 public:
  TdbUDFDtoc() : TdbUDFDateText("DTOC", false) {}
};
class TdbUDFDtos : public TdbUDFDateText {
 public:
  TdbUDFDtos() : TdbUDFDateText("DTOS", true) {}
};

class TdbUDFEmpty : public TdbUDFBuiltin {
 public:
  TdbUDFEmpty() : TdbUDFBuiltin("EMPTY") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    args.GetArgument(0, r, ek::Any);
    bool empty = false;
    if (r.kind == ek::Date)
      empty = r.number == kEmptyExpDate;  // blank date fields, CTOD('') and {} give it
    else if (ek::IsNumeric(r.kind))
      empty = r.number == 0;
    else if (r.kind == ek::Text)
      empty = r.text.empty();
    else if (r.kind == ek::Logical)
      empty = !r.logical;
    r.SetLogical(empty);
    return true;
  }
};

class TdbUDFIif : public TdbUDFBuiltin {
 public:
  TdbUDFIif() : TdbUDFBuiltin("IIF") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    args.GetArgument(0, r, ek::Logical);
    if (r.kind != ek::Logical) Needed("Boolean", 0, *this);
    args.GetArgument(r.logical ? 1 : 2, r, ek::Any);
    return r.kind != ek::Missing;
  }
};

class TdbUDFLeft : public TdbUDFBuiltin {
 public:
  TdbUDFLeft() : TdbUDFBuiltin("LEFT") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    TdbExpValue work;  // further arguments
    Text(args, 0, r);
    const double n = Number(args, 1, work);
    r.text.resize(n <= 0.01 ? 0 : std::min<std::size_t>(r.text.size(), static_cast<std::size_t>(Whole(n))));
    return true;
  }
};

class TdbUDFRight : public TdbUDFBuiltin {
 public:
  TdbUDFRight() : TdbUDFBuiltin("RIGHT") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    TdbExpValue work;  // further arguments
    Text(args, 0, r);
    const std::int64_t n = Whole(Number(args, 1, work));
    if (n <= 0)
      r.text.clear();
    else if (static_cast<std::size_t>(n) < r.text.size())
      r.text.erase(0, r.text.size() - static_cast<std::size_t>(n));
    return true;
  }
};

class TdbUDFSubStr : public TdbUDFBuiltin {
 public:
  TdbUDFSubStr() : TdbUDFBuiltin("SUBSTR") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    TdbExpValue work;  // further arguments
    Text(args, 0, r);
    const std::int64_t start = Whole(Number(args, 1, work));
    const std::int64_t count = Whole(Optional(args, 2, work, 1e9));
    const std::int64_t length = static_cast<std::int64_t>(r.text.size());
    if (start < 1 || start > length || count <= 0)
      r.text.clear();
    else
      r.text = r.text.substr(static_cast<std::size_t>(start - 1),
                             static_cast<std::size_t>(std::min(count, length)));
    return true;
  }
};

// PADC, PADL and PADR: a text filled to n characters (at most a text's 511).
class TdbUDFPadMain : public TdbUDFBuiltin {
 public:
  enum class Side { Centre, Left, Right };
  TdbUDFPadMain(const char* name, Side side) : TdbUDFBuiltin(name), side_(side) {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    TdbExpValue work;  // further arguments
    Text(args, 0, r);
    const std::int64_t n = std::min<std::int64_t>(Whole(Number(args, 1, work)), kMaxExpText);
    char fill = ' ';
    args.GetArgument(2, work, ek::Text);
    if (work.kind != ek::Missing) {
      if (work.kind != ek::Text || work.text.size() != 1) Invalid("Char");
      fill = work.text[0];
    }
    if (n <= 0) {
      r.text.clear();
      return true;
    }
    const std::size_t width = static_cast<std::size_t>(n);
    if (r.text.size() >= width) {
      r.text.resize(width);
      return true;
    }
    const std::size_t missing = width - r.text.size();
    const std::size_t before = side_ == Side::Left ? missing : (side_ == Side::Centre ? missing / 2 : 0);
    r.text.insert(0, before, fill);
    r.text.append(missing - before, fill);
    return true;
  }

 private:
  Side side_;
};

class TdbUDFPadC : public TdbUDFPadMain {
 public:
  TdbUDFPadC() : TdbUDFPadMain("PADC", Side::Centre) {}
};
class TdbUDFPadL : public TdbUDFPadMain {
 public:
  TdbUDFPadL() : TdbUDFPadMain("PADL", Side::Left) {}
};
class TdbUDFPadR : public TdbUDFPadMain {
 public:
  TdbUDFPadR() : TdbUDFPadMain("PADR", Side::Right) {}
};

class TdbUDFStr : public TdbUDFBuiltin {
 public:
  TdbUDFStr() : TdbUDFBuiltin("STR") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    TdbExpValue work;  // further arguments
    const double v = Number(args, 0, r);
    const std::int32_t fieldWidth = r.width;
    std::int32_t defaultWidth = args.UserLink() ? args.UserLink()->DefaultNumberWidth : kDefaultStrWidth;
    if (defaultWidth == -1) defaultWidth = fieldWidth > 0 ? fieldWidth : kDefaultStrWidth;
    const std::int64_t width =
        std::min<std::int64_t>(Whole(Optional(args, 1, work, defaultWidth)), kMaxExpText);
    const std::int64_t decimals = std::clamp<std::int64_t>(Whole(Optional(args, 2, work, 0)), 0, kMaxExpText);
    if (width <= 0) {
      r.SetText("");
      return true;
    }
    AnsiString text = std::isfinite(v) && std::fabs(v) < 1e300
                          ? Format("%*.*f", {static_cast<int>(width), static_cast<int>(decimals), v})
                          : AnsiString();
    if (text.empty() || static_cast<std::int64_t>(text.size()) > width)
      text.assign(static_cast<std::size_t>(width), '*');
    Finish(text);
    r.SetText(text);
    return true;
  }

 protected:
  explicit TdbUDFStr(const char* name) : TdbUDFBuiltin(name) {}
  virtual void Finish(AnsiString&) {}
};

class TdbUDFStrZero : public TdbUDFStr {
 public:
  TdbUDFStrZero() : TdbUDFStr("STRZERO") {}

 protected:
  void Finish(AnsiString& text) override {
    for (char& c : text) {
      if (c != ' ') break;
      c = '0';
    }
  }
};

class TdbUDFVal : public TdbUDFBuiltin {
 public:
  TdbUDFVal() : TdbUDFBuiltin("VAL") {}
  bool Evaluate(TdbExpArguments& args, TdbExpValue& r) override {
    Text(args, 0, r);
    double v = 0;
    if (!TryStrToFloat(Trim(r.text), v) || !std::isfinite(v)) v = 0;
    r.SetNumber(v);
    return true;
  }
};

}  // namespace

void RegisterBuiltinFunctions(TdbFunctionReg& registry) {
  registry.Add(std::make_unique<TdbUDFAllTrim>());
  registry.Add(std::make_unique<TdbUDFAsc>());
  registry.Add(std::make_unique<TdbUDFCeiling>());
  registry.Add(std::make_unique<TdbUDFChr>());
  registry.Add(std::make_unique<TdbUDFCtod>());
  registry.Add(std::make_unique<TdbUDFDate>());
  registry.Add(std::make_unique<TdbUDFDescend>());
  registry.Add(std::make_unique<TdbUDFDtoc>());
  registry.Add(std::make_unique<TdbUDFDtos>());
  registry.Add(std::make_unique<TdbUDFEmpty>());
  registry.Add(std::make_unique<TdbUDFFloor>());
  registry.Add(std::make_unique<TdbUDFIif>());
  registry.Add(std::make_unique<TdbUDFInt>());
  registry.Add(std::make_unique<TdbUDFLeft>());
  registry.Add(std::make_unique<TdbUDFLower>());
  registry.Add(std::make_unique<TdbUDFLTrim>());
  registry.Add(std::make_unique<TdbUDFPadC>());
  registry.Add(std::make_unique<TdbUDFPadL>());
  registry.Add(std::make_unique<TdbUDFPadR>());
  registry.Add(std::make_unique<TdbUDFRight>());
  registry.Add(std::make_unique<TdbUDFRTrim>());
  registry.Add(std::make_unique<TdbUDFSoundex>());
  registry.Add(std::make_unique<TdbUDFStr>());
  registry.Add(std::make_unique<TdbUDFStrZero>());
  registry.Add(std::make_unique<TdbUDFSubStr>());
  registry.Add(std::make_unique<TdbUDFTrim>());
  registry.Add(std::make_unique<TdbUDFUpper>());
  registry.Add(std::make_unique<TdbUDFVal>());
}

TdbFunctionReg& BuiltinFunctions() {
  static TdbFunctionReg registry;
  static const bool filled = (RegisterBuiltinFunctions(registry), true);
  (void)filled;
  return registry;
}
