// The class library's mask formatters: numbers by a "#,##0.00"-style mask and moments
// by a "dd.mm.yyyy hh:nn"-style pattern, with Russian month and day names (1251).
#pragma once

#include <string_view>

#include "platform/core/DateTime.h"
#include "platform/core/SysUtils.h"

// Up to three sections separated by ";" (positive; negative; zero; an empty or missing
// section falls back to the first, and a value formatted by the negative section gets
// no sign of its own). In a section: "0" a digit always shown, "#" a digit shown when
// significant, the first "." the decimal point, any "," before it groups thousands,
// text in quotes and any other character shown as written (text before the first
// digit placeholder comes before the number, the rest after it). Halves round away
// from zero. An empty mask gives the general format (FloatToStr).
AnsiString FormatFloatMask(std::string_view mask, double value, char decimalSeparator = '.',
                           char thousandSeparator = ' ');

// Pattern letters (case ignored): d dd (day), ddd dddd (day name), ddddd (short date),
// dddddd (long date), m mm (month, or minutes right after an hour), mmm mmmm (month
// name; genitive after a day, as Russian dates are written), yy yyyy, h hh, n nn, s ss,
// z zzz, c (short date and long time), "/" and ":" the separators; quoted text as it
// stands. An empty pattern is "c". A moment outside years 1..9999 raises EConvertError.
AnsiString FormatDateTimeMask(std::string_view pattern, TDateTime value);
