// Calendar dates of the class library's date-time scale (day 0 = 30 December 1899),
// and their short text form by the fixed format settings ("dd.mm.yyyy").
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/core/AnsiText.h"

struct TDateParts {
  int Year = 0, Month = 0, Day = 0;
};
struct TTimeParts {
  int Hour = 0, Minute = 0, Second = 0, MSec = 0;
};

// Whether a calendar date exists (Gregorian, years 1..9999): what TryEncodeDate accepts.
inline bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= kDays[month - 1] + (month == 2 && leap ? 1 : 0);
}
// Day number of a calendar date; false for an impossible date or a year outside 1..9999.
bool TryEncodeDate(int year, int month, int day, std::int32_t& dayNumber);
// Calendar date of a day number; false when it lies outside the years 1..9999.
bool TryDecodeDate(std::int64_t dayNumber, TDateParts& parts);

std::int32_t TodayDayNumber();  // local date
// Local time of day with milliseconds.
TTimeParts NowTimeParts();

// Formats a date by a pattern of d, dd, m, mm, yy, yyyy and literal characters
// (letters compare without regard to case); "" for a day outside 1..9999.
AnsiString FormatDayNumber(std::string_view pattern, std::int64_t dayNumber);
AnsiString DateToStr(std::int64_t dayNumber);  // by the short date format
// Reads a date in the order of the short date format (day, month, year) with any of
// ". / -" between the parts; a one- or two-digit year lies within the 50 years before
// this one or after them.
// A missing year is the current one. False for anything else.
bool TryStrToDate(std::string_view text, std::int32_t& dayNumber);
// As above; raises EConvertError "'text' is not a valid date".
std::int32_t StrToDate(std::string_view text);

// ---------------------------------------------------------------------------------
// Moments as the class library's TDateTime: days since 30.12.1899 with the time of day
// as the fraction. Here the value is continuous (a date before 1899 plus a time is the
// day number plus the fraction), so that comparing two values compares the moments.

using TDateTime = double;

// False for a day that does not exist (years 1..9999).
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
// False outside 0..23 hours, 0..59 minutes and seconds, 0..999 milliseconds.
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out);
// A date as TryStrToDate above reads it.
bool TryStrToDate(std::string_view s, TDateTime& out);
// "h:nn", "h:nn:ss" or "h:nn:ss.zzz" (24 hours); blanks around the text are ignored.
bool TryStrToTime(std::string_view s, TDateTime& out);
// A date, a time, or a date and a time separated by blanks.
bool TryStrToDateTime(std::string_view s, TDateTime& out);
// The local date and time now.
TDateTime Now();
