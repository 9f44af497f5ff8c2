#include "platform/core/Variant.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr double kCurrencyScale = 10000.0;

bool FitsInt32(std::int64_t v) {
  return v >= std::numeric_limits<std::int32_t>::min() && v <= std::numeric_limits<std::int32_t>::max();
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

double CheckFinite(double v) {
  if (!std::isfinite(v)) throw EOverflow("Floating point overflow");
  return v;
}

// Rounds half to even into 64 bits; EVariantOverflowError when that is impossible.
std::int64_t RoundChecked(double v, TVarType from, const char* to) {
  if (!std::isfinite(v) || !(v >= -9223372036854775808.0 && v < 9223372036854775808.0))
    throw EVariantOverflowError(AnsiString("Overflow while converting variant of type (") +
                                Variant::TypeName(from) + ") into type (" + to + ")");
  return Round(v);
}

// The numeric view of an operand in arithmetic and comparison (rule 4 of both tables).
struct Num {
  enum Kind { kInt, kDouble, kCurrency, kDate } kind;
  std::int64_t i = 0;  // kInt value, kCurrency units
  double d = 0;        // kDouble, kDate
  double AsDouble() const {
    switch (kind) {
      case kInt: return static_cast<double>(i);
      case kCurrency: return static_cast<double>(i) / kCurrencyScale;
      default: return d;
    }
  }
};

Num ToNum(const Variant& v) {
  switch (v.VarType()) {
    case varEmpty: return {Num::kInt, 0, 0};
    case varInteger:
    case varBoolean: return {Num::kInt, v.AsInt64(), 0};
    case varCurrency: return {Num::kCurrency, v.AsCurrencyUnits(), 0};
    case varDate: return {Num::kDate, 0, v.AsDate()};
    default: return {Num::kDouble, 0, v.AsDouble()};
  }
}

Variant FromChecked(double v) { return Variant(CheckFinite(v)); }

Variant CurrencyResult(__int128 units) {
  if (units > std::numeric_limits<std::int64_t>::max() || units < std::numeric_limits<std::int64_t>::min())
    throw EVariantOverflowError("Overflow while converting variant of type (Currency) into type (Currency)");
  return Variant::FromCurrencyUnits(static_cast<std::int64_t>(units));
}

// "dd.mm.yyyy hh:nn:ss" on the continuous date-time scale, without the time when it is
// 0:00:00 and without the date when the day is 30.12.1899 and a time is held.
AnsiString DateTimeText(TDateTime v) {
  TDateParts parts;
  double day = std::floor(v);
  if (!std::isfinite(v) || !TryDecodeDate(static_cast<std::int64_t>(std::max(-1e9, std::min(day, 1e9))), parts))
    throw EVariantOverflowError("Overflow while converting variant of type (Date) into type (String)");
  auto ms = static_cast<std::int64_t>(std::nearbyint((v - day) * 86400000.0));
  if (ms >= 86400000) {
    ms = 86399999;  // never round a time up into the next day
  }
  AnsiString date = DateToStr(static_cast<std::int64_t>(day));
  AnsiString time = Format("%.2d:%.2d:%.2d", {ms / 3600000, ms / 60000 % 60, ms / 1000 % 60});
  if (ms == 0) return date;
  if (day == 0) return time;
  return date + " " + time;
}

enum class Op { kAdd, kSub, kMul, kDiv };

Variant Arith(const Variant& a, const Variant& b, Op op) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  if (op == Op::kAdd && (a.IsString() || b.IsString()) && (a.IsString() || a.IsEmpty()) &&
      (b.IsString() || b.IsEmpty()))
    return Variant(a.AsString() + b.AsString());
  Num x = ToNum(a), y = ToNum(b);
  if (op == Op::kDiv) {
    double divisor = y.AsDouble();
    if (divisor == 0) throw EZeroDivide("Floating point division by zero");
    return FromChecked(x.AsDouble() / divisor);
  }
  if (x.kind == Num::kInt && y.kind == Num::kInt) {
    std::int64_t r = op == Op::kAdd ? x.i + y.i : op == Op::kSub ? x.i - y.i : x.i * y.i;  // |x|,|y| < 2^32
    return Variant::FromInt64(r);
  }
  bool addSub = op == Op::kAdd || op == Op::kSub;
  if (addSub && (x.kind == Num::kDate || y.kind == Num::kDate)) {
    double r = CheckFinite(op == Op::kAdd ? x.AsDouble() + y.AsDouble() : x.AsDouble() - y.AsDouble());
    if (op == Op::kSub && x.kind == Num::kDate && y.kind == Num::kDate) return Variant(r);
    return Variant::FromDate(r);
  }
  auto currencyOrInt = [](const Num& n) { return n.kind == Num::kCurrency || n.kind == Num::kInt; };
  if (addSub && currencyOrInt(x) && currencyOrInt(y)) {
    __int128 ux = x.kind == Num::kInt ? static_cast<__int128>(x.i) * 10000 : x.i;
    __int128 uy = y.kind == Num::kInt ? static_cast<__int128>(y.i) * 10000 : y.i;
    return CurrencyResult(op == Op::kAdd ? ux + uy : ux - uy);
  }
  if (op == Op::kMul && currencyOrInt(x) && currencyOrInt(y) && (x.kind == Num::kInt || y.kind == Num::kInt))
    return CurrencyResult(static_cast<__int128>(x.i) * y.i);
  double p = x.AsDouble(), q = y.AsDouble();
  return FromChecked(op == Op::kAdd ? p + q : op == Op::kSub ? p - q : p * q);
}

Variant IntegerOp(const Variant& a, const Variant& b, bool remainder) {
  if (a.IsNull() || b.IsNull()) return Variant::Null();
  std::int64_t x = a.AsInt64(), y = b.AsInt64();
  if (y == 0) throw EZeroDivide("Division by zero");
  if (y == -1) return remainder ? Variant(0) : Variant::FromInt64(x == std::numeric_limits<std::int64_t>::min() ? x : -x);
  return Variant::FromInt64(remainder ? x % y : x / y);
}

TVariantRelationship Order(int c) {
  return c < 0 ? TVariantRelationship::vrLessThan
               : c > 0 ? TVariantRelationship::vrGreaterThan : TVariantRelationship::vrEqual;
}

}  // namespace

Variant Variant::Null() {
  Variant v;
  v.type_ = varNull;
  return v;
}

Variant Variant::FromDate(TDateTime value) {
  Variant v;
  v.type_ = varDate;
  v.d_ = value;
  return v;
}

Variant Variant::FromCurrencyUnits(std::int64_t units) {
  Variant v;
  v.type_ = varCurrency;
  v.i_ = units;
  return v;
}

Variant Variant::FromCurrency(double value) {
  return FromCurrencyUnits(RoundChecked(value * kCurrencyScale, varDouble, "Currency"));
}

Variant Variant::FromInt64(std::int64_t value) {
  return FitsInt32(value) ? Variant(static_cast<std::int32_t>(value)) : Variant(static_cast<double>(value));
}

const char* Variant::TypeName(TVarType t) {
  switch (t) {
    case varEmpty: return "Empty";
    case varNull: return "Null";
    case varInteger: return "Integer";
    case varDouble: return "Double";
    case varCurrency: return "Currency";
    case varDate: return "Date";
    case varBoolean: return "Boolean";
    case varString: return "String";
  }
  return "Unknown";
}

void Variant::CastError(TVarType to) const {
  throw EVariantTypeCastError(AnsiString("Could not convert variant of type (") + TypeName(type_) +
                              ") into type (" + TypeName(to) + ")");
}

double Variant::AsDouble() const {
  switch (type_) {
    case varEmpty: return 0;
    case varNull: CastError(varDouble);
    case varInteger:
    case varBoolean: return static_cast<double>(i_);
    case varCurrency: return static_cast<double>(i_) / kCurrencyScale;
    case varDouble:
    case varDate: return d_;
    case varString: {
      double v;
      if (!TryStrToFloat(s_, v)) CastError(varDouble);
      return v;
    }
  }
  CastError(varDouble);
}

std::int64_t Variant::AsInt64() const {
  switch (type_) {
    case varInteger:
    case varBoolean: return i_;
    case varString: {
      const AnsiString t = Trim(s_);
      std::int32_t v;
      if (TryStrToInt(t, v)) return v;
      // Decimal integer texts beyond 32 bits exactly; a double has only 53 bits.
      const std::size_t sign = !t.empty() && (t[0] == '+' || t[0] == '-') ? 1 : 0;
      if (sign < t.size() && std::all_of(t.begin() + static_cast<std::ptrdiff_t>(sign), t.end(), IsDigit)) {
        std::int64_t w;
        const char* first = t.data() + (t[0] == '+' ? 1 : 0);
        if (std::from_chars(first, t.data() + t.size(), w).ec == std::errc()) return w;
        throw EVariantOverflowError("Overflow while converting variant of type (String) into type (Integer)");
      }
      return RoundChecked(AsDouble(), type_, "Integer");
    }
    default: return RoundChecked(AsDouble(), type_, "Integer");
  }
}

std::int32_t Variant::AsInteger() const {
  std::int64_t v = AsInt64();
  if (!FitsInt32(v))
    throw EVariantOverflowError(AnsiString("Overflow while converting variant of type (") + TypeName(type_) +
                                ") into type (Integer)");
  return static_cast<std::int32_t>(v);
}

bool Variant::AsBoolean() const {
  switch (type_) {
    case varEmpty: return false;
    case varNull: CastError(varBoolean);
    case varInteger:
    case varBoolean:
    case varCurrency: return i_ != 0;
    case varDouble:
    case varDate: return d_ != 0;
    case varString: {
      AnsiString t = Trim(s_);
      if (SameText(t, "TRUE")) return true;
      if (SameText(t, "FALSE")) return false;
      double v;
      if (!TryStrToFloat(t, v)) CastError(varBoolean);
      return v != 0;
    }
  }
  CastError(varBoolean);
}

AnsiString Variant::AsString() const {
  switch (type_) {
    case varEmpty: return AnsiString();
    case varNull: CastError(varString);
    case varInteger: return IntToStr(i_);
    case varBoolean: return i_ ? "True" : "False";
    case varCurrency: return FloatToStr(static_cast<double>(i_) / kCurrencyScale);
    case varDouble: return FloatToStr(d_);
    case varDate: return DateTimeText(d_);
    case varString: return s_;
  }
  CastError(varString);
}

TDateTime Variant::AsDate() const {
  if (type_ == varString) {
    TDateTime v;
    if (!TryStrToDateTime(s_, v)) CastError(varDate);
    return v;
  }
  if (type_ == varNull) CastError(varDate);
  return AsDouble();
}

std::int64_t Variant::AsCurrencyUnits() const {
  if (type_ == varCurrency) return i_;
  return RoundChecked(AsDouble() * kCurrencyScale, type_, "Currency");
}

Variant operator+(const Variant& a, const Variant& b) { return Arith(a, b, Op::kAdd); }
Variant operator-(const Variant& a, const Variant& b) { return Arith(a, b, Op::kSub); }
Variant operator*(const Variant& a, const Variant& b) { return Arith(a, b, Op::kMul); }
Variant operator/(const Variant& a, const Variant& b) { return Arith(a, b, Op::kDiv); }
Variant Variant::IntDiv(const Variant& a, const Variant& b) { return IntegerOp(a, b, false); }
Variant Variant::Mod(const Variant& a, const Variant& b) { return IntegerOp(a, b, true); }

Variant Variant::operator-() const {
  switch (type_) {
    case varNull: return *this;
    case varEmpty: return Variant(0);
    case varInteger:
    case varBoolean: return FromInt64(-i_);
    case varCurrency:
      if (i_ == std::numeric_limits<std::int64_t>::min())
        throw EVariantOverflowError("Overflow while converting variant of type (Currency) into type (Currency)");
      return FromCurrencyUnits(-i_);
    case varDate: return FromDate(-d_);
    default: return Variant(-AsDouble());
  }
}

TVariantRelationship Variant::Compare(const Variant& a, const Variant& b) {
  if (a.IsNull() || b.IsNull())
    return a.IsNull() && b.IsNull() ? TVariantRelationship::vrEqual : TVariantRelationship::vrNotEqual;
  if (a.IsEmpty() && b.IsEmpty()) return TVariantRelationship::vrEqual;
  if ((a.IsString() || a.IsEmpty()) && (b.IsString() || b.IsEmpty())) {
    int c = a.s_.compare(b.s_) ;  // std::string compares bytes as unsigned char
    return Order(c);
  }
  if (a.type_ == varBoolean && b.type_ == varBoolean) return Order(static_cast<int>(a.i_ - b.i_));
  if ((a.type_ == varDate && b.IsString()) || (a.IsString() && b.type_ == varDate)) {
    // A date meets date text: the text is read as a date (raises when it is none).
    double p = a.AsDate(), q = b.AsDate();
    return p < q ? TVariantRelationship::vrLessThan
                 : p > q ? TVariantRelationship::vrGreaterThan : TVariantRelationship::vrEqual;
  }
  Num x = ToNum(a), y = ToNum(b);
  if (x.kind == Num::kInt && y.kind == Num::kInt) return Order(x.i < y.i ? -1 : x.i > y.i ? 1 : 0);
  double p = x.AsDouble(), q = y.AsDouble();
  if (p < q) return TVariantRelationship::vrLessThan;
  if (p > q) return TVariantRelationship::vrGreaterThan;
  if (p == q) return TVariantRelationship::vrEqual;
  return TVariantRelationship::vrNotEqual;
}

bool Variant::Identical(const Variant& other) const {
  if (type_ != other.type_) return false;
  switch (type_) {
    case varEmpty:
    case varNull: return true;
    case varInteger:
    case varBoolean:
    case varCurrency: return i_ == other.i_;
    case varDouble:
    case varDate: return d_ == other.d_ || (std::isnan(d_) && std::isnan(other.d_));
    case varString: return s_ == other.s_;
  }
  return false;
}

AnsiString VarToStr(const Variant& v) { return v.IsNull() ? AnsiString() : v.AsString(); }
