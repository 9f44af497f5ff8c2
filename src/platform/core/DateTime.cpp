#include "platform/core/DateTime.h"

#include <charconv>
#include <ctime>

#include "platform/core/SysUtils.h"

namespace {

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

// Days from 1.1.1970 in the proleptic Gregorian calendar.
long DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const long yoe = y - era * 400;
  const long doy = (153L * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// 30.12.1899 counted from 1.1.1970.
constexpr long kDelphiEpoch = -25569;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Reads 1..maxDigits decimal digits at s[pos]; advances pos.
bool ReadNumber(std::string_view s, std::size_t& pos, int maxDigits, int& value, int* digits = nullptr) {
  std::size_t end = pos;
  while (end < s.size() && end - pos < static_cast<std::size_t>(maxDigits) && s[end] >= '0' && s[end] <= '9') ++end;
  if (end == pos || (end < s.size() && s[end] >= '0' && s[end] <= '9')) return false;
  std::from_chars(s.data() + pos, s.data() + end, value);
  if (digits != nullptr) *digits = static_cast<int>(end - pos);
  pos = end;
  return true;
}

bool Expect(std::string_view s, std::size_t& pos, char c) {
  if (pos >= s.size() || s[pos] != c) return false;
  ++pos;
  return true;
}

}  // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  out = static_cast<double>(DaysFromCivil(year, month, day) - kDelphiEpoch);
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999) return false;
  out = ((hour * 3600 + min * 60 + sec) * 1000.0 + msec) / 86400000.0;
  return true;
}

bool TryStrToDate(std::string_view s, TDateTime& out) {
  s = TrimBlanks(s);
  const char sep = FormatSettings().DateSeparator;
  std::size_t pos = 0;
  int d = 0, m = 0, y = 0, yearDigits = 0;
  if (!ReadNumber(s, pos, 2, d) || !Expect(s, pos, sep) || !ReadNumber(s, pos, 2, m) || !Expect(s, pos, sep) ||
      !ReadNumber(s, pos, 4, y, &yearDigits) || pos != s.size())
    return false;
  if (yearDigits <= 2) y += y < 50 ? 2000 : 1900;
  return TryEncodeDate(y, m, d, out);
}

bool TryStrToTime(std::string_view s, TDateTime& out) {
  s = TrimBlanks(s);
  const char sep = FormatSettings().TimeSeparator;
  std::size_t pos = 0;
  int h = 0, n = 0, sec = 0, ms = 0;
  if (!ReadNumber(s, pos, 2, h) || !Expect(s, pos, sep) || !ReadNumber(s, pos, 2, n)) return false;
  if (pos < s.size()) {
    if (!Expect(s, pos, sep) || !ReadNumber(s, pos, 2, sec)) return false;
    if (pos < s.size()) {
      int digits = 0;
      if (!Expect(s, pos, '.') || !ReadNumber(s, pos, 3, ms, &digits) || pos != s.size()) return false;
      for (; digits < 3; ++digits) ms *= 10;
    }
  }
  return TryEncodeTime(h, n, sec, ms, out);
}

bool TryStrToDateTime(std::string_view s, TDateTime& out) {
  s = TrimBlanks(s);
  const std::size_t blank = s.find_first_of(" \t");
  if (blank == std::string_view::npos) return TryStrToDate(s, out) || TryStrToTime(s, out);
  TDateTime date = 0, time = 0;
  if (!TryStrToDate(s.substr(0, blank), date) || !TryStrToTime(s.substr(blank), time)) return false;
  out = date + time;
  return true;
}

TDateTime Now() {
  std::timespec ts{};
  std::timespec_get(&ts, TIME_UTC);
  std::tm local{};
  localtime_r(&ts.tv_sec, &local);
  TDateTime date = 0, time = 0;
  TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
  // A leap second reads as the last second of the minute.
  TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                static_cast<int>(ts.tv_nsec / 1000000), time);
  return date + time;
}
