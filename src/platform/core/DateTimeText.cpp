#include "platform/core/DateTimeText.h"

#include <cmath>
#include <cstdint>

namespace {

// Days since 1.3.0000 of the proleptic Gregorian calendar (civil-date arithmetic).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2));
}

const std::int64_t kEpoch = DaysFromCivil(1899, 12, 30);
constexpr double kMinDate = -693593.0;  // 1.1.0001
constexpr double kMaxDate = 2958466.0;  // 1.1.10000, exclusive

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

void CheckRange(TDateTime v) {
  if (!(v > kMinDate - 1 && v < kMaxDate)) throw EConvertError("Invalid date-time value");
}

// Milliseconds of the day held in the fraction.
int MillisecondsOfDay(TDateTime v) {
  double frac = std::fabs(v - std::trunc(v));
  auto ms = static_cast<std::int64_t>(std::nearbyint(frac * 86400000.0));
  return static_cast<int>(ms >= 86400000 ? 86399999 : ms);
}

AnsiString Two(int v) {
  char buf[3] = {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10), 0};
  return buf;
}

// Reads an unsigned decimal of at most maxDigits digits at s[i]; false when none.
bool ReadNumber(std::string_view s, std::size_t& i, int maxDigits, int& out) {
  int n = 0, v = 0;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9' && n < maxDigits) {
    v = v * 10 + (s[i] - '0');
    ++i;
    ++n;
  }
  if (n == 0) return false;
  out = v;
  return true;
}

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ') s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.remove_suffix(1);
  return s;
}

bool ParseDate(std::string_view s, TDateTime& out) {
  std::size_t i = 0;
  int d = 0, m = 0, y = 0;
  auto sep = [&](std::size_t& k) {
    if (k < s.size() && (s[k] == '.' || s[k] == '/' || s[k] == '-')) {
      ++k;
      return true;
    }
    return false;
  };
  if (!ReadNumber(s, i, 2, d) || !sep(i) || !ReadNumber(s, i, 2, m) || !sep(i)) return false;
  std::size_t start = i;
  if (!ReadNumber(s, i, 4, y) || i != s.size()) return false;
  if (i - start <= 2) y += y < 50 ? 2000 : 1900;
  return TryEncodeDate(y, m, d, out);
}

bool ParseTime(std::string_view s, TDateTime& out) {
  std::size_t i = 0;
  int h = 0, n = 0, sec = 0;
  if (!ReadNumber(s, i, 2, h) || i >= s.size() || s[i] != ':') return false;
  ++i;
  if (!ReadNumber(s, i, 2, n)) return false;
  if (i < s.size() && s[i] == ':') {
    ++i;
    if (!ReadNumber(s, i, 2, sec)) return false;
  }
  if (i != s.size()) return false;
  return TryEncodeTime(h, n, sec, 0, out);
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kEpoch);
  return true;
}

bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || msec < 0 || msec > 999)
    return false;
  out = (((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + msec) / 86400000.0;
  return true;
}

TDateTime EncodeDate(int year, int month, int day) {
  TDateTime v;
  if (!TryEncodeDate(year, month, day, v)) throw EConvertError("Invalid argument to date encode");
  return v;
}

TDateTime EncodeTime(int hour, int minute, int second, int msec) {
  TDateTime v;
  if (!TryEncodeTime(hour, minute, second, msec, v)) throw EConvertError("Invalid argument to time encode");
  return v;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day) {
  CheckRange(value);
  CivilFromDays(static_cast<std::int64_t>(std::trunc(value)) + kEpoch, year, month, day);
}

void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec) {
  CheckRange(value);
  int ms = MillisecondsOfDay(value);
  hour = ms / 3600000;
  minute = ms / 60000 % 60;
  second = ms / 1000 % 60;
  msec = ms % 1000;
}

namespace {
AnsiString DateText(TDateTime value) {
  int y, m, d;
  DecodeDate(value, y, m, d);
  return Two(d) + "." + Two(m) + "." + Two(y / 100) + Two(y % 100);
}
}  // namespace

AnsiString TimeToStr(TDateTime value) {
  int h, n, s, ms;
  DecodeTime(value, h, n, s, ms);
  return Two(h) + ":" + Two(n) + ":" + Two(s);
}

AnsiString DateTimeToStr(TDateTime value) {
  CheckRange(value);
  bool hasTime = MillisecondsOfDay(value) != 0;
  bool hasDate = std::trunc(value) != 0;
  if (!hasTime) return DateText(value);
  if (!hasDate) return TimeToStr(value);
  return DateText(value) + " " + TimeToStr(value);
}

bool TryStrToDate(std::string_view s, TDateTime& out) { return ParseDate(TrimBlanks(s), out); }
bool TryStrToTime(std::string_view s, TDateTime& out) { return ParseTime(TrimBlanks(s), out); }

bool TryStrToDateTime(std::string_view s, TDateTime& out) {
  s = TrimBlanks(s);
  std::size_t blank = s.find(' ');
  if (blank == std::string_view::npos) return ParseDate(s, out) || ParseTime(s, out);
  TDateTime d, t;
  if (!ParseDate(s.substr(0, blank), d) || !ParseTime(TrimBlanks(s.substr(blank)), t)) return false;
  out = d >= 0 ? d + t : d - t;
  return true;
}

TDateTime StrToTime(std::string_view s) {
  TDateTime v;
  if (!TryStrToTime(s, v)) throw EConvertError("'" + AnsiString(s) + "' is not a valid time");
  return v;
}

TDateTime StrToDateTime(std::string_view s) {
  TDateTime v;
  if (!TryStrToDateTime(s, v)) throw EConvertError("'" + AnsiString(s) + "' is not a valid date and time");
  return v;
}
