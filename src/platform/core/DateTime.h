// Dates and times as the class library's TDateTime: days since 30.12.1899, the time of
// day as the fraction. Here the value is continuous (a date before 1899 plus a time is
// the day number plus the fraction), so that comparing two values compares the moments.
// Texts follow the fixed format settings: dates "dd.mm.yyyy", times "hh:nn[:ss]".
#pragma once

#include <string_view>

using TDateTime = double;

// False for a day that does not exist (years 1..9999).
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
// False outside 0..23 hours, 0..59 minutes and seconds, 0..999 milliseconds.
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& out);

// "d.m.yyyy": day and month of one or two digits, a year of up to four digits (a year
// of one or two digits lies in 1950..2049); blanks around the text are ignored.
bool TryStrToDate(std::string_view s, TDateTime& out);
// "h:nn", "h:nn:ss" or "h:nn:ss.zzz" (24 hours); blanks around the text are ignored.
bool TryStrToTime(std::string_view s, TDateTime& out);
// A date, a time, or a date and a time separated by blanks.
bool TryStrToDateTime(std::string_view s, TDateTime& out);

// The local date and time now.
TDateTime Now();
