// The class library's system utilities as the rest of the program uses them:
// exceptions, Format with the class library's rules, the fixed format settings,
// rounding and checked conversions.
#pragma once

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

#include "platform/core/AnsiText.h"

// Root of every exception the program raises. The message is 1251 text.
class Exception : public std::exception {
 public:
  explicit Exception(AnsiString msg) : message_(std::move(msg)) {}
  const char* what() const noexcept override { return message_.c_str(); }
  const AnsiString& Message() const { return message_; }

 private:
  AnsiString message_;
};

#define TW_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  };

// Silent exception: the application object shows nothing for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};
TW_DECLARE_EXCEPTION(EConvertError, Exception)
TW_DECLARE_EXCEPTION(EListError, Exception)
// Errors of streams and files. ErrorCode is the system's error number (errno) when the
// system refused the operation, 0 otherwise.
class EStreamError : public Exception {
 public:
  explicit EStreamError(AnsiString msg, int errorCode = 0) : Exception(std::move(msg)), ErrorCode(errorCode) {}
  int ErrorCode = 0;
};
TW_DECLARE_EXCEPTION(EReadError, EStreamError)
TW_DECLARE_EXCEPTION(EWriteError, EStreamError)
TW_DECLARE_EXCEPTION(EFOpenError, EStreamError)
TW_DECLARE_EXCEPTION(EFCreateError, EStreamError)
TW_DECLARE_EXCEPTION(EInOutError, Exception)
TW_DECLARE_EXCEPTION(EMathError, Exception)
TW_DECLARE_EXCEPTION(EInvalidOp, EMathError)
TW_DECLARE_EXCEPTION(EZeroDivide, EMathError)
TW_DECLARE_EXCEPTION(EOverflow, EMathError)
TW_DECLARE_EXCEPTION(EIntError, Exception)
TW_DECLARE_EXCEPTION(ERangeError, EIntError)
TW_DECLARE_EXCEPTION(EIntOverflow, EIntError)
TW_DECLARE_EXCEPTION(EInvalidArgument, Exception)

// Fixed format settings: never read from the process locale.
struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ' ';
  char DateSeparator = '.';
  char TimeSeparator = ':';
  AnsiString ShortDateFormat = "dd.mm.yyyy";
  AnsiString LongDateFormat = "d mmmm yyyy";
  AnsiString ShortTimeFormat = "hh:nn";
  AnsiString LongTimeFormat = "hh:nn:ss";
  AnsiString CurrencyString;        // "р." in 1251
  std::uint8_t CurrencyFormat = 3;  // "1 р."
  std::uint8_t NegCurrFormat = 8;   // "-1 р."
  std::uint8_t CurrencyDecimals = 2;
};
const TFormatSettings& FormatSettings();

// One argument of Format: an integer, a floating value or a string.
class TVarRec {
 public:
  TVarRec(int v) : v_(static_cast<std::int64_t>(v)) {}
  TVarRec(long v) : v_(static_cast<std::int64_t>(v)) {}
  TVarRec(long long v) : v_(static_cast<std::int64_t>(v)) {}
  TVarRec(unsigned v) : v_(static_cast<std::int64_t>(v)) {}
  TVarRec(unsigned long v) : v_(static_cast<std::int64_t>(v)) {}
  TVarRec(unsigned long long v) : v_(static_cast<std::int64_t>(v)) {}
  TVarRec(double v) : v_(v) {}
  TVarRec(const char* v) : v_(AnsiString(v)) {}
  TVarRec(std::string_view v) : v_(AnsiString(v)) {}
  TVarRec(const AnsiString& v) : v_(v) {}
  TVarRec(char c) : v_(AnsiString(1, c)) {}

  bool IsInt() const { return std::holds_alternative<std::int64_t>(v_); }
  bool IsFloat() const { return std::holds_alternative<double>(v_); }
  bool IsString() const { return std::holds_alternative<AnsiString>(v_); }
  std::int64_t Int() const { return std::get<std::int64_t>(v_); }
  double Float() const { return std::get<double>(v_); }
  const AnsiString& Str() const { return std::get<AnsiString>(v_); }

 private:
  std::variant<std::int64_t, double, AnsiString> v_;
};

// Format with the class library's rules: "%" [index ":"] ["-"] [width] ["." prec] type,
// types d u e f g n m p s x; "*" takes a width or precision from the arguments.
// "%f" has 2 decimals by default; "%d" with a precision pads with zeros ("%2.2d" -> "05");
// floating values are rounded on their decimal digits, halves away from zero.
// Raises EConvertError for a bad format or an argument of the wrong kind.
AnsiString Format(std::string_view fmt, std::initializer_list<TVarRec> args);

// Floating formats of the class library (FloatToStrF).
enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
AnsiString FloatToStrF(double value, TFloatFormat format, int precision, int digits);
AnsiString FloatToStr(double value);  // general, 15 significant digits

AnsiString IntToStr(std::int64_t v);
AnsiString IntToHex(std::int64_t v, int digits);
// Decimal (optionally signed, "$" hex) integer in 32 bits; EConvertError otherwise.
std::int32_t StrToInt(std::string_view s);
std::int32_t StrToIntDef(std::string_view s, std::int32_t def);
bool TryStrToInt(std::string_view s, std::int32_t& out);
// A finite decimal number with "." or "," as the separator; EConvertError otherwise.
double StrToFloat(std::string_view s);
bool TryStrToFloat(std::string_view s, double& out);

// Round half to even. Raises EInvalidOp for NaN, infinities and values outside
// the target range: nothing converts them silently.
std::int64_t Round(double v);
std::int32_t RoundInt32(double v);
std::int64_t Trunc(double v);
bool IsRoundable32(double v);  // finite and within int32 after rounding

AnsiString Trim(std::string_view s);
AnsiString TrimLeft(std::string_view s);
AnsiString TrimRight(std::string_view s);
AnsiString UpperCase(std::string_view s);  // ASCII letters only
AnsiString LowerCase(std::string_view s);
bool SameText(std::string_view a, std::string_view b);  // ASCII caseless
int CompareText(std::string_view a, std::string_view b);
AnsiString StringOfChar(char c, int count);
AnsiString QuotedStr(std::string_view s);
