// The class library's Variant as the report engine and the dataset framework use it:
// Empty, Null, Integer, Double, Currency, Date, Boolean and String (1251). The rules for
// conversion, arithmetic and comparison are written down in docs/VARIANT.md.
#pragma once

#include <cstdint>
#include <string_view>

#include "platform/core/DateTime.h"
#include "platform/core/SysUtils.h"

TW_DECLARE_EXCEPTION(EVariantError, Exception)
TW_DECLARE_EXCEPTION(EVariantTypeCastError, EVariantError)
TW_DECLARE_EXCEPTION(EVariantOverflowError, EVariantError)

// Kind codes as the class library numbers them.
enum TVarType : std::uint16_t {
  varEmpty = 0,
  varNull = 1,
  varInteger = 3,
  varDouble = 5,
  varCurrency = 6,
  varDate = 7,
  varBoolean = 11,
  varString = 256,
};

enum class TVariantRelationship { vrEqual, vrLessThan, vrGreaterThan, vrNotEqual };

class Variant {
 public:
  Variant() = default;  // Empty
  Variant(std::int32_t v) : type_(varInteger), i_(v) {}
  Variant(double v) : type_(varDouble), d_(v) {}
  Variant(bool v) : type_(varBoolean), i_(v ? 1 : 0) {}
  Variant(const char* v) : type_(varString), s_(v) {}
  Variant(std::string_view v) : type_(varString), s_(v) {}
  Variant(const AnsiString& v) : type_(varString), s_(v) {}
  Variant(AnsiString&& v) : type_(varString), s_(std::move(v)) {}

  static Variant Null();
  static Variant FromDate(TDateTime v);
  // Currency from units of 1/10000 (exact) or from a floating value (rounded).
  static Variant FromCurrencyUnits(std::int64_t units);
  static Variant FromCurrency(double v);
  // An Integer when the value fits in 32 bits, else a Double.
  static Variant FromInt64(std::int64_t v);

  TVarType VarType() const { return type_; }
  bool IsEmpty() const { return type_ == varEmpty; }
  bool IsNull() const { return type_ == varNull; }
  bool IsString() const { return type_ == varString; }
  // The length of a String's text without copying it; 0 for the other kinds.
  std::size_t StringLength() const { return type_ == varString ? s_.size() : 0; }
  bool IsNumeric() const { return type_ == varInteger || type_ == varDouble || type_ == varCurrency; }
  // The kind's name as conversion errors quote it ("Integer", "String", ...).
  static const char* TypeName(TVarType t);

  double AsDouble() const;
  std::int32_t AsInteger() const;
  std::int64_t AsInt64() const;
  bool AsBoolean() const;
  AnsiString AsString() const;
  TDateTime AsDate() const;
  std::int64_t AsCurrencyUnits() const;

  friend Variant operator+(const Variant& a, const Variant& b);
  friend Variant operator-(const Variant& a, const Variant& b);
  friend Variant operator*(const Variant& a, const Variant& b);
  friend Variant operator/(const Variant& a, const Variant& b);
  Variant operator-() const;
  static Variant IntDiv(const Variant& a, const Variant& b);
  static Variant Mod(const Variant& a, const Variant& b);

  static TVariantRelationship Compare(const Variant& a, const Variant& b);
  friend bool operator==(const Variant& a, const Variant& b) {
    return Compare(a, b) == TVariantRelationship::vrEqual;
  }
  friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }
  friend bool operator<(const Variant& a, const Variant& b) {
    return Compare(a, b) == TVariantRelationship::vrLessThan;
  }
  friend bool operator>(const Variant& a, const Variant& b) {
    return Compare(a, b) == TVariantRelationship::vrGreaterThan;
  }
  friend bool operator<=(const Variant& a, const Variant& b) {
    auto r = Compare(a, b);
    return r == TVariantRelationship::vrLessThan || r == TVariantRelationship::vrEqual;
  }
  friend bool operator>=(const Variant& a, const Variant& b) {
    auto r = Compare(a, b);
    return r == TVariantRelationship::vrGreaterThan || r == TVariantRelationship::vrEqual;
  }

  // Same kind and same content (Null equals Null, Empty equals Empty); for tests and
  // caches, never raises.
  bool Identical(const Variant& other) const;

 private:
  [[noreturn]] void CastError(TVarType to) const;

  TVarType type_ = varEmpty;
  std::int64_t i_ = 0;  // Integer, Boolean, Currency units
  double d_ = 0;        // Double, Date
  AnsiString s_;        // String
};

// The text of a value, the empty text for Null.
AnsiString VarToStr(const Variant& v);
