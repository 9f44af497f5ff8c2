#include "platform/core/FormatMask.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/core/AnsiText.h"

namespace {

// The sections of a number mask, split at ";" outside quotes.
std::vector<std::string_view> Sections(std::string_view mask) {
  std::vector<std::string_view> out;
  char quote = 0;
  std::size_t start = 0;
  for (std::size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == ';') {
      out.push_back(mask.substr(start, i - start));
      start = i + 1;
    }
  }
  out.push_back(mask.substr(start));
  return out;
}

struct NumberMask {
  AnsiString prefix, suffix;
  int minInt = 0;       // "0"s before the point
  int minDecimals = 0;  // "0"s after it
  int maxDecimals = 0;  // "0"s and "#"s after it
  bool thousands = false;
  bool anyDigit = false;
};

NumberMask ParseSection(std::string_view s) {
  NumberMask m;
  bool afterPoint = false;
  bool seenDigit = false;
  char quote = 0;
  for (char c : s) {
    AnsiString& literal = seenDigit ? m.suffix : m.prefix;
    if (quote) {
      if (c == quote)
        quote = 0;
      else
        literal.push_back(c);
      continue;
    }
    switch (c) {
      case '"':
      case '\'': quote = c; break;
      case '0':
      case '#':
        seenDigit = true;
        m.anyDigit = true;
        if (afterPoint) {
          ++m.maxDecimals;
          if (c == '0') m.minDecimals = m.maxDecimals;
        } else if (c == '0' || m.minInt > 0) {
          ++m.minInt;
        }
        break;
      case '.':
        if (!afterPoint && !m.suffix.size()) {
          afterPoint = true;
          seenDigit = true;
        } else {
          literal.push_back(c);
        }
        break;
      case ',':
        if (!afterPoint) m.thousands = true;
        else literal.push_back(c);
        break;
      default: literal.push_back(c);
    }
  }
  return m;
}

// The decimal digits of absValue rounded half away from zero at `decimals` places,
// from its 15 significant digits (as the class library reads a double): the whole part
// and the fraction.
void DecimalDigits(double absValue, int decimals, AnsiString& whole, AnsiString& frac) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", absValue);
  AnsiString mantissa;
  for (const char* p = buf; *p && *p != 'e'; ++p)
    if (*p != '.') mantissa.push_back(*p);
  int exponent = std::atoi(std::strchr(buf, 'e') + 1);
  // digits = mantissa * 10^(exponent - 14); the point sits after (exponent + 1) digits.
  int pointAt = exponent + 1;
  if (pointAt <= 0) {
    mantissa.insert(0, static_cast<std::size_t>(1 - pointAt), '0');
    pointAt = 1;
  }
  if (static_cast<int>(mantissa.size()) < pointAt + decimals + 1)
    mantissa.append(static_cast<std::size_t>(pointAt + decimals + 1 - static_cast<int>(mantissa.size())), '0');
  bool up = mantissa[static_cast<std::size_t>(pointAt + decimals)] >= '5';
  mantissa.resize(static_cast<std::size_t>(pointAt + decimals));
  for (int i = static_cast<int>(mantissa.size()) - 1; up && i >= 0; --i) {
    char& d = mantissa[static_cast<std::size_t>(i)];
    if (d == '9') {
      d = '0';
    } else {
      ++d;
      up = false;
    }
  }
  if (up) {
    mantissa.insert(0, 1, '1');
    ++pointAt;
  }
  whole = mantissa.substr(0, static_cast<std::size_t>(pointAt));
  frac = mantissa.substr(static_cast<std::size_t>(pointAt));
}

AnsiString FormatAbs(double absValue, const NumberMask& m, char dec, char thou) {
  AnsiString whole, frac;
  DecimalDigits(absValue, m.maxDecimals, whole, frac);
  while (static_cast<int>(frac.size()) > m.minDecimals && !frac.empty() && frac.back() == '0') frac.pop_back();
  std::size_t lead = 0;
  while (lead + 1 < whole.size() && whole[lead] == '0') ++lead;
  whole.erase(0, lead);
  if (whole == "0" && m.minInt == 0) whole.clear();
  if (static_cast<int>(whole.size()) < m.minInt)
    whole.insert(0, static_cast<std::size_t>(m.minInt - static_cast<int>(whole.size())), '0');
  if (m.thousands && whole.size() > 3) {
    AnsiString grouped;
    int n = static_cast<int>(whole.size());
    for (int i = 0; i < n; ++i) {
      if (i > 0 && (n - i) % 3 == 0) grouped.push_back(thou);
      grouped.push_back(whole[static_cast<std::size_t>(i)]);
    }
    whole = grouped;
  }
  AnsiString out = whole;
  if (!frac.empty()) {
    out.push_back(dec);
    out += frac;
  }
  return out;
}

bool RoundsToZero(double absValue, const NumberMask& m) {
  AnsiString whole, frac;
  DecimalDigits(absValue, m.maxDecimals, whole, frac);
  return (whole + frac).find_first_not_of('0') == AnsiString::npos;
}

}  // namespace

AnsiString FormatFloatMask(std::string_view mask, double value, char dec, char thou) {
  if (mask.empty()) return FloatToStr(value);
  if (!std::isfinite(value)) return FloatToStr(value);
  std::vector<std::string_view> sections = Sections(mask);
  NumberMask first = ParseSection(sections[0]);
  double absValue = std::fabs(value);
  NumberMask m = first;
  bool sign = false;
  if (sections.size() >= 3 && !sections[2].empty() && RoundsToZero(absValue, first)) {
    m = ParseSection(sections[2]);
  } else if (value < 0 && sections.size() >= 2 && !sections[1].empty()) {
    m = ParseSection(sections[1]);
  } else {
    sign = value < 0 && !RoundsToZero(absValue, first);
  }
  if (!m.anyDigit) return m.prefix + m.suffix;
  return (sign ? "-" : "") + m.prefix + FormatAbs(absValue, m, dec, thou) + m.suffix;
}

// ---------------------------------------------------------------------------------
// Dates

namespace {

const char* const kMonthNominative[12] = {"Январь", "Февраль", "Март",     "Апрель",  "Май",    "Июнь",
                                          "Июль",   "Август",  "Сентябрь", "Октябрь", "Ноябрь", "Декабрь"};
const char* const kMonthGenitive[12] = {"января", "февраля", "марта",    "апреля",  "мая",    "июня",
                                        "июля",   "августа", "сентября", "октября", "ноября", "декабря"};
const char* const kMonthShort[12] = {"янв", "фев", "мар", "апр", "май", "июн",
                                     "июл", "авг", "сен", "окт", "ноя", "дек"};
const char* const kDayLong[7] = {"воскресенье", "понедельник", "вторник", "среда", "четверг", "пятница", "суббота"};
const char* const kDayShort[7] = {"Вс", "Пн", "Вт", "Ср", "Чт", "Пт", "Сб"};

AnsiString Pad(int v, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, v);
  return buf;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t Run(std::string_view p, std::size_t i) {
  std::size_t j = i;
  while (j < p.size() && Lower(p[j]) == Lower(p[i])) ++j;
  return j - i;
}

void FormatInto(AnsiString& out, std::string_view p, const TDateParts& date, const TTimeParts& time, int weekday,
                int depth) {
  bool afterHour = false;
  bool afterDay = false;
  for (std::size_t i = 0; i < p.size();) {
    char c = p[i];
    char l = Lower(c);
    if (c == '"' || c == '\'') {
      std::size_t end = p.find(c, i + 1);
      if (end == std::string_view::npos) end = p.size();
      out.append(p.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    std::size_t n = Run(p, i);
    switch (l) {
      case 'd':
        if (n == 1 || n == 2) {
          out += Pad(date.Day, static_cast<int>(n));
          afterDay = true;
        } else if (n == 3) {
          out += Ansi(kDayShort[weekday]);
        } else if (n == 4) {
          out += Ansi(kDayLong[weekday]);
        } else if (depth == 0) {
          FormatInto(out, n == 5 ? FormatSettings().ShortDateFormat : FormatSettings().LongDateFormat, date, time,
                     weekday, 1);
        }
        i += n;
        continue;
      case 'm':
        if (afterHour && n <= 2) {
          out += Pad(time.Minute, static_cast<int>(n));
        } else if (n <= 2) {
          out += Pad(date.Month, static_cast<int>(n));
        } else if (n == 3) {
          out += Ansi(kMonthShort[date.Month - 1]);
        } else {
          out += Ansi(afterDay ? kMonthGenitive[date.Month - 1] : kMonthNominative[date.Month - 1]);
        }
        afterHour = false;
        i += n;
        continue;
      case 'y':
        out += n <= 2 ? Pad(date.Year % 100, 2) : Pad(date.Year, 4);
        i += n;
        continue;
      case 'h':
        out += Pad(time.Hour, n >= 2 ? 2 : 1);
        afterHour = true;
        i += n;
        continue;
      case 'n':
        out += Pad(time.Minute, n >= 2 ? 2 : 1);
        afterHour = false;
        i += n;
        continue;
      case 's':
        out += Pad(time.Second, n >= 2 ? 2 : 1);
        i += n;
        continue;
      case 'z':
        out += Pad(time.MSec, n >= 3 ? 3 : 1);
        i += n;
        continue;
      case 'c':
        if (depth == 0) {
          FormatInto(out, FormatSettings().ShortDateFormat, date, time, weekday, 1);
          if (time.Hour || time.Minute || time.Second) {
            out.push_back(' ');
            FormatInto(out, FormatSettings().LongTimeFormat, date, time, weekday, 1);
          }
        }
        ++i;
        continue;
      case '/': out.push_back(FormatSettings().DateSeparator); ++i; continue;
      case ':': out.push_back(FormatSettings().TimeSeparator); ++i; continue;
      default:
        out.push_back(c);
        ++i;
    }
  }
}

}  // namespace

AnsiString FormatDateTimeMask(std::string_view pattern, TDateTime value) {
  if (!std::isfinite(value)) throw EConvertError("Invalid date-time value");
  double day = std::floor(value);
  TDateParts date;
  if (day < -1e9 || day > 1e9 || !TryDecodeDate(static_cast<std::int64_t>(day), date))
    throw EConvertError("Invalid date-time value");
  auto ms = static_cast<std::int64_t>(std::nearbyint((value - day) * 86400000.0));
  if (ms >= 86400000) ms = 86399999;
  TTimeParts time;
  time.Hour = static_cast<int>(ms / 3600000);
  time.Minute = static_cast<int>(ms / 60000 % 60);
  time.Second = static_cast<int>(ms / 1000 % 60);
  time.MSec = static_cast<int>(ms % 1000);
  // 30.12.1899 (day 0) was a Saturday.
  int weekday = static_cast<int>(((static_cast<std::int64_t>(day) % 7) + 7 + 6) % 7);
  AnsiString out;
  FormatInto(out, pattern.empty() ? std::string_view("c") : pattern, date, time, weekday, 0);
  return out;
}
