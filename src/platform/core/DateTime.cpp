#include "platform/core/DateTime.h"

#include <chrono>
#include <ctime>

#include "platform/core/SysUtils.h"

namespace {
using namespace std::chrono;

// sys_days of 30 December 1899.
constexpr int kEpochOffset = -25569;

}  // namespace

bool TryEncodeDate(int y, int m, int d, std::int32_t& dayNumber) {
  if (!IsValidDate(y, m, d)) return false;
  sys_days sd = year_month_day(year(y), month(static_cast<unsigned>(m)), day(static_cast<unsigned>(d)));
  dayNumber = static_cast<std::int32_t>(sd.time_since_epoch().count() - kEpochOffset);
  return true;
}

bool TryDecodeDate(std::int64_t dayNumber, TDateParts& parts) {
  // 1 January 0001 and 31 December 9999 on this scale.
  if (dayNumber < -693593 || dayNumber > 2958465) return false;
  year_month_day ymd{sys_days(days(dayNumber + kEpochOffset))};
  parts.Year = static_cast<int>(ymd.year());
  parts.Month = static_cast<int>(static_cast<unsigned>(ymd.month()));
  parts.Day = static_cast<int>(static_cast<unsigned>(ymd.day()));
  return true;
}

namespace {
std::tm LocalNow(int& msec) {
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  msec = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  std::tm tm{};
  ::localtime_r(&t, &tm);
  return tm;
}
}  // namespace

std::int32_t TodayDayNumber() {
  int ms;
  std::tm tm = LocalNow(ms);
  std::int32_t d = 0;
  TryEncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, d);
  return d;
}

TTimeParts NowTimeParts() {
  TTimeParts p;
  std::tm tm = LocalNow(p.MSec);
  p.Hour = tm.tm_hour;
  p.Minute = tm.tm_min;
  p.Second = tm.tm_sec;
  return p;
}

namespace {
// A non-negative number with at least `width` digits (zeros in front), as "%.*d" writes it.
void AppendDigits(AnsiString& out, int v, int width) {
  char buf[12];
  int n = 0;
  do {
    buf[n++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v > 0);
  while (n < width) buf[n++] = '0';
  while (n > 0) out += buf[--n];
}
}  // namespace

AnsiString FormatDayNumber(std::string_view pattern, std::int64_t dayNumber) {
  TDateParts p;
  if (!TryDecodeDate(dayNumber, p)) return "";
  AnsiString out;
  std::size_t i = 0;
  auto run = [&](char c) {
    std::size_t n = 0;
    while (i + n < pattern.size() && (pattern[i + n] | 0x20) == c) ++n;
    return n;
  };
  while (i < pattern.size()) {
    char c = static_cast<char>(pattern[i] | 0x20);
    if (c == 'd' || c == 'm' || c == 'y') {
      std::size_t n = run(c);
      i += n;
      if (c == 'y') {
        n >= 3 ? AppendDigits(out, p.Year, 4) : AppendDigits(out, p.Year % 100, 2);
      } else {
        AppendDigits(out, c == 'd' ? p.Day : p.Month, n >= 2 ? 2 : 1);
      }
    } else {
      out += pattern[i++] == '/' ? FormatSettings().DateSeparator : pattern[i - 1];
    }
  }
  return out;
}

AnsiString DateToStr(std::int64_t dayNumber) { return FormatDayNumber(FormatSettings().ShortDateFormat, dayNumber); }

bool TryStrToDate(std::string_view text, std::int32_t& dayNumber) {
  int parts[3] = {0, 0, 0};
  int digits[3] = {0, 0, 0};
  int count = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  while (i < text.size() && count < 3) {
    if (text[i] < '0' || text[i] > '9') return false;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (digits[count] >= 4) return false;
      parts[count] = parts[count] * 10 + (text[i] - '0');
      ++digits[count];
      ++i;
    }
    ++count;
    if (i < text.size() && (text[i] == '.' || text[i] == '/' || text[i] == '-' ||
                            text[i] == FormatSettings().DateSeparator))
      ++i;
    else
      break;
  }
  while (i < text.size() && text[i] == ' ') ++i;
  if (i != text.size() || count < 2) return false;
  int ms;
  std::tm now = LocalNow(ms);
  int y = now.tm_year + 1900;
  if (count == 3) {
    y = parts[2];
    if (digits[2] <= 2) {
      // The class library's century window: a two-digit year lies within the 50 years
      // before this one, or later.
      int threshold = now.tm_year + 1900 - 50;
      y += threshold / 100 * 100;
      if (y < threshold) y += 100;
    }
  }
  return TryEncodeDate(y, parts[1], parts[0], dayNumber);
}

std::int32_t StrToDate(std::string_view text) {
  std::int32_t d;
  if (!TryStrToDate(text, d)) throw EConvertError("'" + AnsiString(text) + "' is not a valid date");
  return d;
}

// ---------------------------------------------------------------------------------
// TDateTime

namespace {

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// Reads 1..maxDigits decimal digits at s[pos] (no more digits may follow); advances pos.
bool ReadNumber(std::string_view s, std::size_t& pos, int maxDigits, int& value, int* digits = nullptr) {
  std::size_t end = pos;
  value = 0;
  while (end < s.size() && end - pos < static_cast<std::size_t>(maxDigits) && s[end] >= '0' && s[end] <= '9')
    value = value * 10 + (s[end++] - '0');
  if (end == pos || (end < s.size() && s[end] >= '0' && s[end] <= '9')) return false;
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
  std::int32_t d;
  if (!TryEncodeDate(year, month, day, d)) return false;
  out = d;
  return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out) {
  if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999) return false;
  out = ((hour * 3600 + min * 60 + sec) * 1000.0 + msec) / 86400000.0;
  return true;
}

bool TryStrToDate(std::string_view s, TDateTime& out) {
  std::int32_t d;
  if (!TryStrToDate(s, d)) return false;
  out = d;
  return true;
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
  TTimeParts t = NowTimeParts();
  TDateTime time = 0;
  // A leap second reads as the last second of the minute.
  TryEncodeTime(t.Hour, t.Minute, t.Second > 59 ? 59 : t.Second, t.MSec, time);
  return TodayDayNumber() + time;
}
