#include "platform/core/SysUtils.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

const TFormatSettings& FormatSettings() {
  static const TFormatSettings s = [] {
    TFormatSettings r;
    r.CurrencyString = Ansi("р.");
    return r;
  }();
  return s;
}

// ---------------------------------------------------------------------------------
// Decimal digits of a double: value = 0.d1 d2 d3 ... * 10^Exp, rounded on the digits
// with halves away from zero (the class library's FloatToText).
namespace {

struct Decimal {
  bool negative = false;
  std::string digits;  // no trailing zeros; empty for zero
  int exp = 0;         // number of digits before the decimal point
};

Decimal ToDecimal(double v) {
  Decimal d;
  d.negative = std::signbit(v);
  v = std::fabs(v);
  if (v == 0) return d;
  // 31 significant digits: more than enough to see whether a value lies exactly on a
  // half, so that rounding below works on the value's exact expansion.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 30);
  std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
  auto e = s.find('e');
  for (std::size_t i = 0; i < e; ++i)
    if (s[i] != '.') d.digits += s[i];
  int e10 = 0;
  std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), e10);
  d.exp = e10 + 1;
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return d;
}

// Keeps n significant digits, rounding the rest half away from zero.
void RoundDecimal(Decimal& d, int n) {
  if (static_cast<int>(d.digits.size()) <= n) return;
  if (n < 0) {
    d.digits.clear();
  } else {
    bool up = d.digits[static_cast<std::size_t>(n)] >= '5';
    d.digits.resize(static_cast<std::size_t>(n));
    if (up) {
      int i = n - 1;
      while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') d.digits[static_cast<std::size_t>(i--)] = '0';
      if (i >= 0) {
        ++d.digits[static_cast<std::size_t>(i)];
      } else {
        d.digits.insert(d.digits.begin(), '1');
        ++d.exp;
      }
    }
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  if (d.digits.empty()) d.exp = 0;
}

char DigitAt(const Decimal& d, int i) {
  return i >= 0 && i < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(i)] : '0';
}

std::string FixedBody(const Decimal& d, int decimals, bool thousands) {
  std::string intPart;
  if (d.exp <= 0) {
    intPart = "0";
  } else {
    for (int i = 0; i < d.exp; ++i) intPart += DigitAt(d, i);
  }
  if (thousands) {
    std::string grouped;
    int n = static_cast<int>(intPart.size());
    for (int i = 0; i < n; ++i) {
      if (i > 0 && (n - i) % 3 == 0) grouped += FormatSettings().ThousandSeparator;
      grouped += intPart[static_cast<std::size_t>(i)];
    }
    intPart = grouped;
  }
  if (decimals > 0) {
    intPart += FormatSettings().DecimalSeparator;
    for (int i = 0; i < decimals; ++i) intPart += DigitAt(d, d.exp + i);
  }
  return intPart;
}

std::string ExponentBody(const Decimal& d, int precision, int expDigits) {
  std::string r(1, DigitAt(d, 0));
  if (precision > 1) {
    r += FormatSettings().DecimalSeparator;
    for (int i = 1; i < precision; ++i) r += DigitAt(d, i);
  }
  int e = d.digits.empty() ? 0 : d.exp - 1;
  r += 'E';
  r += e < 0 ? '-' : '+';
  std::string ed = std::to_string(e < 0 ? -e : e);
  while (static_cast<int>(ed.size()) < expDigits) ed.insert(ed.begin(), '0');
  return r + ed;
}

std::string GeneralBody(const Decimal& d, int precision, int expDigits) {
  if (d.digits.empty()) return "0";
  if (d.exp > precision || d.exp < -4) {
    // Shortest mantissa: no trailing zeros, no point without fraction.
    std::string r(1, d.digits[0]);
    if (d.digits.size() > 1) {
      r += FormatSettings().DecimalSeparator;
      r += d.digits.substr(1);
    }
    int e = d.exp - 1;
    r += 'E';
    if (e < 0 || expDigits > 0) r += e < 0 ? '-' : '+';
    std::string ed = std::to_string(e < 0 ? -e : e);
    while (static_cast<int>(ed.size()) < expDigits) ed.insert(ed.begin(), '0');
    return r + ed;
  }
  int decimals = static_cast<int>(d.digits.size()) - d.exp;
  return FixedBody(d, decimals > 0 ? decimals : 0, false);
}

// The digits of a normal value rounded to 15 significant digits, without the exact
// expansion of ToDecimal where it cannot matter: the shortest digits that read back as
// the value are, when there are at most 15, the value rounded to 15 digits (the value
// lies within half a unit of the 17th digit of them). With 16 or 17 the value is
// rounded from its 17 correctly rounded digits, unless these end in "50" (a tie, or a
// value just below one): false, and the caller takes the exact way.
bool ShortDecimal15(double v, Decimal& d) {
  d.negative = std::signbit(v);
  v = std::fabs(v);
  d.digits.clear();
  d.exp = 0;
  if (v == 0) return true;
  char buf[40];
  auto parse = [&](const char* end) {
    const std::string_view s(buf, static_cast<std::size_t>(end - buf));
    const std::size_t e = s.find('e');
    d.digits.clear();
    for (std::size_t i = 0; i < e; ++i)
      if (s[i] != '.') d.digits += s[i];
    int e10 = 0;
    std::from_chars(s.data() + e + (s[e + 1] == '+' ? 2 : 1), s.data() + s.size(), e10);
    d.exp = e10 + 1;
  };
  auto res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
  parse(res.ptr);
  if (d.digits.size() > 15) {
    res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific, 16);
    parse(res.ptr);
    if (d.digits[15] == '5' && d.digits[16] == '0') return false;
    RoundDecimal(d, 15);
    return true;
  }
  while (!d.digits.empty() && d.digits.back() == '0') d.digits.pop_back();
  return true;
}

}  // namespace

AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
  if (std::isnan(value)) return "NAN";
  if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
  if (precision < 1) precision = 1;
  if (precision > 18) precision = 18;
  Decimal d = ToDecimal(value);
  std::string body;
  switch (format) {
    case TFloatFormat::ffGeneral:
      RoundDecimal(d, precision);
      body = GeneralBody(d, precision, digits);
      break;
    case TFloatFormat::ffExponent:
      RoundDecimal(d, precision);
      body = ExponentBody(d, precision, digits);
      break;
    case TFloatFormat::ffFixed:
    case TFloatFormat::ffNumber:
    case TFloatFormat::ffCurrency: {
      if (digits < 0) digits = 0;
      if (digits > 18) digits = 18;
      if (d.exp > precision) {  // too large for fixed notation
        RoundDecimal(d, precision);
        body = ExponentBody(d, precision, 3);
        break;
      }
      int keep = d.exp + digits;
      RoundDecimal(d, keep < precision ? keep : precision);
      body = FixedBody(d, digits, format != TFloatFormat::ffFixed);
      break;
    }
  }
  bool neg = d.negative && !d.digits.empty();
  if (format == TFloatFormat::ffCurrency) {
    const auto& fs = FormatSettings();
    AnsiString r = body + " " + fs.CurrencyString;
    return neg ? "-" + r : r;
  }
  return neg ? "-" + body : body;
}

AnsiString FloatToStr(double value) {
  Decimal d;
  // Subnormal values have fewer digits than 15 can tell apart: the exact way for them.
  if (!std::isnormal(value) || !ShortDecimal15(value, d)) return FloatToStrF(value, TFloatFormat::ffGeneral, 15, 0);
  std::string body = GeneralBody(d, 15, 0);
  return d.negative && !d.digits.empty() ? "-" + body : body;
}

AnsiString IntToStr(std::int64_t v) { return std::to_string(v); }

AnsiString IntToHex(std::int64_t v, int digits) {
  char buf[32];
  auto res = std::to_chars(buf, buf + sizeof buf, static_cast<std::uint64_t>(v), 16);
  std::string s(buf, res.ptr);
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  while (static_cast<int>(s.size()) < digits) s.insert(s.begin(), '0');
  return s;
}

// ---------------------------------------------------------------------------------
// Format

namespace {

[[noreturn]] void BadFormat(std::string_view fmt) {
  throw EConvertError("Format '" + AnsiString(fmt) + "' invalid or incompatible with argument");
}

}  // namespace

AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> argList) {
  const TVarRec* args = argList.begin();
  const std::size_t argc = argList.size();
  std::size_t next = 0;
  AnsiString out;
  out.reserve(fmt.size() + 16);

  auto takeInt = [&]() -> int {
    if (next >= argc || !args[next].IsInt()) BadFormat(fmt);
    return static_cast<int>(args[next++].Int());
  };

  for (std::size_t i = 0; i < fmt.size();) {
    char c = fmt[i++];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i >= fmt.size()) BadFormat(fmt);
    if (fmt[i] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // [index ":"] ["-"] [width] ["." prec] type
    auto readNumber = [&](int& value) -> bool {
      if (i < fmt.size() && fmt[i] == '*') {
        ++i;
        value = takeInt();
        return true;
      }
      if (i >= fmt.size() || fmt[i] < '0' || fmt[i] > '9') return false;
      value = 0;
      while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
        value = value * 10 + (fmt[i++] - '0');
        if (value > 100000) BadFormat(fmt);
      }
      return true;
    };
    int num = -1;
    bool haveNum = readNumber(num);
    if (haveNum && i < fmt.size() && fmt[i] == ':') {
      ++i;
      next = static_cast<std::size_t>(num);
      haveNum = false;
      num = -1;
    }
    bool left = false;
    if (!haveNum && i < fmt.size() && fmt[i] == '-') {
      left = true;
      ++i;
    }
    int width = -1, prec = -1;
    if (haveNum) width = num;
    else readNumber(width);
    if (i < fmt.size() && fmt[i] == '.') {
      ++i;
      if (!readNumber(prec)) prec = 0;
    }
    if (i >= fmt.size()) BadFormat(fmt);
    char type = static_cast<char>(std::toupper(static_cast<unsigned char>(fmt[i++])));
    if (next >= argc) BadFormat(fmt);
    const TVarRec& a = args[next++];

    AnsiString s;
    switch (type) {
      case 'D':
      case 'U': {
        if (!a.IsInt()) BadFormat(fmt);
        std::int64_t v = a.Int();
        if (type == 'U') v = static_cast<std::uint32_t>(v);
        std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        std::string digits = std::to_string(magnitude);
        while (prec > 0 && static_cast<int>(digits.size()) < prec) digits.insert(digits.begin(), '0');
        s = (v < 0 ? "-" : "") + digits;
        break;
      }
      case 'X': {
        if (!a.IsInt()) BadFormat(fmt);
        s = IntToHex(a.Int() < 0 && a.Int() >= INT32_MIN ? static_cast<std::uint32_t>(a.Int()) : a.Int(), prec > 0 ? prec : 0);
        break;
      }
      case 'S': {
        if (!a.IsString()) BadFormat(fmt);
        s = a.Str();
        if (prec >= 0 && static_cast<int>(s.size()) > prec) s.resize(static_cast<std::size_t>(prec));
        break;
      }
      case 'E':
      case 'F':
      case 'G':
      case 'N':
      case 'M': {
        if (!a.IsFloat()) BadFormat(fmt);
        double v = a.Float();
        switch (type) {
          case 'E': s = FloatToStrF(v, TFloatFormat::ffExponent, prec < 0 ? 15 : prec, 3); break;
          case 'F': s = FloatToStrF(v, TFloatFormat::ffFixed, 18, prec < 0 ? 2 : prec); break;
          case 'G': s = FloatToStrF(v, TFloatFormat::ffGeneral, prec < 0 ? 15 : prec, 3); break;
          case 'N': s = FloatToStrF(v, TFloatFormat::ffNumber, 18, prec < 0 ? 2 : prec); break;
          default:
            s = FloatToStrF(v, TFloatFormat::ffCurrency, 18, prec < 0 ? FormatSettings().CurrencyDecimals : prec);
        }
        break;
      }
      default:
        BadFormat(fmt);
    }
    if (width > static_cast<int>(s.size())) {
      std::string pad(static_cast<std::size_t>(width) - s.size(), ' ');
      s = left ? s + pad : pad + s;
    }
    out += s;
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Conversions

bool TryStrToInt(std::string_view s, std::int32_t& out) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool neg = false;
  if (i < s.size() && (s[i] == '-' || s[i] == '+')) neg = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  std::uint64_t v = 0;
  auto res = std::from_chars(s.data() + i, s.data() + s.size(), v, base);
  if (res.ec != std::errc() || res.ptr != s.data() + s.size()) return false;
  if (base == 16 && !neg && v <= 0xFFFFFFFFull) {  // hex literals may carry the sign bit
    out = static_cast<std::int32_t>(static_cast<std::uint32_t>(v));
    return true;
  }
  if (neg ? v > 2147483648ull : v > 2147483647ull) return false;
  out = neg ? static_cast<std::int32_t>(-static_cast<std::int64_t>(v)) : static_cast<std::int32_t>(v);
  return true;
}

std::int32_t StrToInt(std::string_view s) {
  std::int32_t v;
  if (!TryStrToInt(s, v)) throw EConvertError("'" + AnsiString(s) + "' is not a valid integer value");
  return v;
}

std::int32_t StrToIntDef(std::string_view s, std::int32_t def) {
  std::int32_t v;
  return TryStrToInt(s, v) ? v : def;
}

bool TryStrToFloat(std::string_view s, double& out) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  std::string t(s.substr(b, e - b));
  if (t.empty()) return false;
  if (t[0] == '+') {
    t.erase(0, 1);
    if (!t.empty() && t[0] == '-') return false;  // one sign only
  }
  for (auto& c : t) {
    if (c == ',') c = '.';
    // Only plain decimal notation: no "inf", "nan" or hexadecimal forms.
    if (!((c >= '0' && c <= '9') || c == '.' || c == '-' || c == '+' || c == 'e' || c == 'E')) return false;
  }
  double v = 0;
  auto res = std::from_chars(t.data(), t.data() + t.size(), v, std::chars_format::general);
  if (res.ec != std::errc() || res.ptr != t.data() + t.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

double StrToFloat(std::string_view s) {
  double v;
  if (!TryStrToFloat(s, v)) throw EConvertError("'" + AnsiString(s) + "' is not a valid floating point value");
  return v;
}

namespace {
// -2^63 and 2^63 are exact doubles: every double in [-2^63, 2^63) converts.
bool InInt64Range(double v) { return v >= -9223372036854775808.0 && v < 9223372036854775808.0; }
}  // namespace

std::int64_t Round(double v) {
  if (!InInt64Range(v)) throw EInvalidOp("Invalid floating point operation");
  const double r = std::nearbyint(v);  // current rounding mode: to nearest, halves to even
  if (!InInt64Range(r)) throw EInvalidOp("Invalid floating point operation");
  return static_cast<std::int64_t>(r);
}

bool IsRoundable32(double v) {
  if (!std::isfinite(v)) return false;
  double r = std::nearbyint(v);
  return r >= -2147483648.0 && r <= 2147483647.0;
}

std::int32_t RoundInt32(double v) {
  if (!IsRoundable32(v)) throw EInvalidOp("Invalid floating point operation");
  return static_cast<std::int32_t>(std::nearbyint(v));
}

std::int64_t Trunc(double v) {
  if (!InInt64Range(v)) throw EInvalidOp("Invalid floating point operation");
  return static_cast<std::int64_t>(v);
}

// ---------------------------------------------------------------------------------
// Strings

namespace {
bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
}  // namespace

AnsiString Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }
AnsiString TrimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && IsBlank(s[i])) ++i;
  return AnsiString(s.substr(i));
}
AnsiString TrimRight(std::string_view s) {
  std::size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return AnsiString(s.substr(0, e));
}
AnsiString UpperCase(std::string_view s) {
  AnsiString r(s);
  for (auto& c : r) c = AsciiUpper(c);
  return r;
}
AnsiString LowerCase(std::string_view s) {
  AnsiString r(s);
  for (auto& c : r) c = AsciiLower(c);
  return r;
}
int CompareText(std::string_view a, std::string_view b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(AsciiUpper(a[i])), y = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }
AnsiString StringOfChar(char c, int count) { return count > 0 ? AnsiString(static_cast<std::size_t>(count), c) : AnsiString(); }
AnsiString QuotedStr(std::string_view s) {
  AnsiString r = "'";
  for (char c : s) {
    r += c;
    if (c == '\'') r += '\'';
  }
  return r + "'";
}
