// Date-time values of the class library: a double of days since 30.12.1899, the time
// of day in the fraction. Texts follow the fixed format settings ("dd.mm.yyyy",
// "hh:nn:ss"); nothing is read from the process locale or the clock.
#pragma once

#include <string_view>

#include "platform/core/SysUtils.h"

using TDateTime = double;

// EConvertError for a date outside 1..9999 or a time outside the day.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int minute, int second, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
bool TryEncodeTime(int hour, int minute, int second, int msec, TDateTime& out);
// Splits a value in range (years 1..9999); EConvertError otherwise. For a value below
// zero the date is its truncation and the time the fraction's magnitude, as the class
// library counts them.
void DecodeDate(TDateTime value, int& year, int& month, int& day);
void DecodeTime(TDateTime value, int& hour, int& minute, int& second, int& msec);

// "dd.mm.yyyy hh:nn:ss", leaving out a zero time, and the date when only a time is held
// (date part 0 and a time part); TimeToStr gives "hh:nn:ss".
AnsiString TimeToStr(TDateTime value);
AnsiString DateTimeToStr(TDateTime value);

// Dates: day, month, year separated by ".", "/" or "-"; a two-digit year below 50 lies
// in 2000..2049, else in 1950..1999. Times: hours and minutes, optionally seconds,
// separated by ":". StrToDateTime takes a date, a time, or a date, blanks and a time.
// Surrounding blanks are ignored. EConvertError "'x' is not a valid time" (date and
// time) otherwise.
TDateTime StrToTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s);
bool TryStrToDate(std::string_view s, TDateTime& out);
bool TryStrToTime(std::string_view s, TDateTime& out);
bool TryStrToDateTime(std::string_view s, TDateTime& out);
