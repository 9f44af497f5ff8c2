#include "tables/db_tool.h"

#include <cstring>
#include <limits>

#include "platform/core/DateTime.h"
#include "platform/core/Files.h"
#include "tables/db_eror.h"

// --- Checked arithmetic ----------------------------------------------------------------

void RaiseRangeError() { throw ERangeError("Range check error"); }


// --- Dates -------------------------------------------------------------------------------

TdbDBFDate::TdbDBFDate()
    : dayMonthYear_(UpperCase(FormatSettings().ShortDateFormat) == "DD.MM.YYYY" ||
                    UpperCase(FormatSettings().ShortDateFormat) == "DD.MM.YY") {}

TdbDBFDate& DBFDate() {
  static TdbDBFDate date;
  return date;
}

bool TdbDBFDate::DecodeJulian(std::int64_t julian, int& month, int& day, int& year) const {
  TDateParts p;
  if (!TryDecodeDate(julian - kOffset, p)) {
    month = day = year = 0;
    return false;
  }
  month = p.Month;
  day = p.Day;
  year = p.Year;
  return true;
}

std::int32_t TdbDBFDate::TodayJulian() const { return TodayDayNumber() + kOffset; }

AnsiString TdbDBFDate::JulianToDBF(std::int64_t julian) const {
  int m, d, y;
  if (julian <= 0 || !DecodeJulian(julian, m, d, y)) return AnsiString(8, ' ');
  return Format("%.4d%.2d%.2d", {y, m, d});
}

AnsiString TdbDBFDate::JulianToDisplay(std::int64_t julian) const {
  if (julian <= 0) return "";
  if (!centuryDisplay_) return DateToStr(julian - kOffset);
  AnsiString fmt = UpperCase(FormatSettings().ShortDateFormat);
  std::size_t y = fmt.find('Y');
  if (y != AnsiString::npos)
    while (fmt.find("YYYY") == AnsiString::npos) fmt.insert(y, "Y");
  return FormatDayNumber(fmt, julian - kOffset);
}

std::int32_t TdbDBFDate::TextToJulian(std::string_view text) const {
  AnsiString t = TrimRight(text);
  if (t.find_first_not_of(' ') == AnsiString::npos || t == "00000000") return 0;
  // Blanks ending in "0": how some dBase programs store an empty date.
  if (t.size() == 8 && t.back() == '0' && t.find_first_not_of(' ') == 7) return 0;
  if (t.size() == 8 && t.find_first_not_of("0123456789") == AnsiString::npos) {
    int y = std::stoi(t.substr(0, 4)), m = std::stoi(t.substr(4, 2)), d = std::stoi(t.substr(6, 2));
    std::int32_t day = 0;
    if (!TryEncodeDate(y, m, d, day)) day = 0;
    return day + kOffset;
  }
  return StrToDate(t) + kOffset;
}

// --- Typed values --------------------------------------------------------------------------

bool OccursIn(std::string_view text, std::string_view letters) {
  return !text.empty() && letters.find(text) != std::string_view::npos;
}

TdbVariant::TdbVariant(std::int64_t size) {
  if (size > 0) buffer_.assign(static_cast<std::size_t>(size), '\0');
}

void TdbVariant::Clear() {
  buffer_.clear();
  buffer_.shrink_to_fit();
  length_ = 0;
  kind_ = vkEmpty;
}

bool TdbVariant::Assign(const TdbVariant* source) {
  Clear();
  if (!source) return false;
  buffer_ = source->buffer_;
  length_ = source->length_;
  kind_ = source->kind_;
  return true;
}

void TdbVariant::Resize(std::int64_t n) {
  if (n < 0) RaiseRangeError();
  if (n > Capacity()) buffer_.resize(static_cast<std::size_t>(n), '\0');
  length_ = n;
}

void TdbVariant::PutString(std::string_view text) {
  Resize(static_cast<std::int64_t>(text.size()));
  if (!text.empty()) std::memcpy(buffer_.data(), text.data(), text.size());
  kind_ = vkText;
}

void TdbVariant::PutPChar(const char* text) { PutString(text ? std::string_view(text) : std::string_view()); }

void TdbVariant::PutFloat(double v) {
  Resize(8);
  std::memcpy(buffer_.data(), &v, 8);
  kind_ = vkNumber;
}

void TdbVariant::PutDate(std::int32_t julian) {
  Resize(4);
  std::memcpy(buffer_.data(), &julian, 4);
  kind_ = vkDate;
}

void TdbVariant::PutBoolean(bool v) {
  Resize(1);
  buffer_[0] = v ? 1 : 0;
  kind_ = vkLogical;
}

void TdbVariant::PutBinary(const void* buffer, std::int64_t count) {
  if (count < 0) RaiseRangeError();
  Resize(count);
  if (count > 0 && buffer) std::memcpy(buffer_.data(), buffer, static_cast<std::size_t>(count));
  kind_ = vkBinary;
}

void TdbVariant::AppendBinary(const void* buffer, std::int64_t count) {
  if (!buffer || count <= 0) return;
  std::int64_t old = IsEmpty() ? 0 : length_;
  Resize(CheckedAdd(old, count));
  std::memcpy(buffer_.data() + old, buffer, static_cast<std::size_t>(count));
  kind_ = vkBinary;
}

std::int64_t TdbVariant::GetBytes(void* buffer, std::int64_t count) const {
  if (IsEmpty() || count <= 0) return 0;
  std::int64_t n = std::min(count, length_);
  std::memcpy(buffer, buffer_.data(), static_cast<std::size_t>(n));
  return n;
}

double TdbVariant::StoredDouble() const {
  double v = 0;
  std::memcpy(&v, buffer_.data(), static_cast<std::size_t>(std::min<std::int64_t>(8, length_)));
  return v;
}

std::int32_t TdbVariant::StoredInt32() const {
  std::int32_t v = 0;
  std::memcpy(&v, buffer_.data(), static_cast<std::size_t>(std::min<std::int64_t>(4, length_)));
  return v;
}

double TdbVariant::GetFloat() const {
  if (IsEmpty()) return 0;
  switch (kind_) {
    case vkText:
      return StrToFloat(GetString());
    case vkNumber:
    case vkBinary:
      return StoredDouble();
    case vkDate:
      return StoredInt32();
    case vkLogical:
      return buffer_[0] ? 1 : 0;
    default:
      return 0;
  }
}

std::int32_t TdbVariant::GetDate() const {
  if (IsEmpty()) return 0;
  switch (kind_) {
    case vkText:
      return DBFDate().TextToJulian(GetString());
    case vkNumber: {
      double v = StoredDouble();
      if (!(v > 0 && v < 2147483648.0)) return 0;
      return DBFDate().TextToJulian(DBFDate().JulianToDBF(static_cast<std::int64_t>(v)));
    }
    case vkDate:
    case vkBinary:
      return StoredInt32();
    default:
      return 0;
  }
}

bool TdbVariant::GetBoolean() const {
  if (IsEmpty()) return false;
  switch (kind_) {
    case vkText:
      return kTrueLetters.find(buffer_[0]) != std::string_view::npos;
    case vkNumber: {
      double v = StoredDouble();
      return v >= 1.0 || v <= -1.0;
    }
    case vkLogical:
    case vkBinary:
      return buffer_[0] != 0;
    default:
      return false;
  }
}

AnsiString TdbVariant::GetString() const {
  if (IsEmpty()) return "";
  switch (kind_) {
    case vkText:
    case vkBinary:
      return AnsiString(buffer_.data(), static_cast<std::size_t>(length_));
    case vkNumber:
      return FloatToStr(StoredDouble());
    case vkDate:
      return DBFDate().JulianToDisplay(StoredInt32());
    case vkLogical:
      return AnsiString(1, buffer_[0] ? kTrueLetters[0] : kFalseLetters[0]);
    default:
      return "";
  }
}

void TdbVariant::TranslateText(const std::uint8_t* table) {
  if (kind_ != vkText || IsEmpty()) return;
  for (std::int64_t i = 0; i < length_; ++i) {
    auto c = static_cast<unsigned char>(buffer_[static_cast<std::size_t>(i)]);
    buffer_[static_cast<std::size_t>(i)] = static_cast<char>(table ? table[c] : cp::AnsiUpper(c));
  }
}

void TdbVariant::PadText(std::int64_t n) {
  if (kind_ != vkText || length_ >= n) return;
  std::int64_t old = length_;
  Resize(n);
  std::memset(buffer_.data() + old, ' ', static_cast<std::size_t>(n - old));
}

void TdbVariant::TrimTrailingBlanks() {
  if (kind_ != vkText) return;
  while (length_ > 0 && buffer_[static_cast<std::size_t>(length_ - 1)] == ' ') --length_;
}

int TdbVariant::Compare(const TdbVariant* other, std::int64_t& position, const std::uint8_t* collation,
                        int prefixResult) const {
  position = 0;
  if (!other) return 1;
  // The kinds must agree (a byte string agrees with any); then empty values sort first.
  std::uint8_t kind = kind_;
  if (kind == vkBinary) kind = other->kind_;
  if (kind != other->kind_ && other->kind_ != vkBinary) throw EDbfError("Variant types mismatch for compare");
  bool thisEmpty = IsEmpty(), otherEmpty = other->IsEmpty();
  if (thisEmpty || otherEmpty) return thisEmpty && otherEmpty ? 0 : (thisEmpty ? -1 : 1);
  auto sign = [](auto a, auto b) { return a < b ? -1 : (a > b ? 1 : 0); };
  switch (kind) {
    case vkNumber:
      return sign(StoredDouble(), other->StoredDouble());
    case vkDate:
      return sign(StoredInt32(), other->StoredInt32());
    case vkLogical: {
      bool a = buffer_[0] != 0, b = other->buffer_[0] != 0;
      return a == b ? 0 : (a ? 1 : -1);
    }
    default:
      break;
  }
  bool text = kind == vkText;
  std::int64_t common = std::min(length_, other->length_);
  for (std::int64_t i = 0; i < common; ++i) {
    position = i;
    auto a = static_cast<unsigned char>(buffer_[static_cast<std::size_t>(i)]);
    auto b = static_cast<unsigned char>(other->buffer_[static_cast<std::size_t>(i)]);
    if (text && collation) {
      a = collation[a];
      b = collation[b];
    }
    if (a != b) return a < b ? -1 : 1;
  }
  position = common;
  if (length_ == other->length_) return 0;
  if (length_ < other->length_) return text ? prefixResult : -1;
  return 1;
}

// --- Record-number bit set -------------------------------------------------------------

void TdbHugeSet::ChangeBit(std::int64_t n, int mode) {
  if (n < 0 || n > 0xFFFFFFFFLL) RaiseRangeError();
  std::int64_t page = n / kPageBits;
  while (PageCount() <= page) {
    auto p = std::make_unique<std::array<std::uint8_t, kPageBytes>>();
    p->fill(0);
    pages_.push_back(std::move(p));
  }
  auto& byte = (*pages_[static_cast<std::size_t>(page)])[static_cast<std::size_t>((n / 8) % kPageBytes)];
  auto bit = static_cast<std::uint8_t>(1u << (n % 8));
  if (mode == 0)
    byte = static_cast<std::uint8_t>(byte & ~bit);
  else if (mode == 1)
    byte = static_cast<std::uint8_t>(byte | bit);
  else
    byte = static_cast<std::uint8_t>(byte ^ bit);
  if (n > highest_) highest_ = n;
}

bool TdbHugeSet::TestBit(std::int64_t n) const {
  if (n < 0 || n > highest_) return false;
  const auto& page = *pages_[static_cast<std::size_t>(n / kPageBits)];
  return (page[static_cast<std::size_t>((n / 8) % kPageBytes)] >> (n % 8)) & 1;
}

void TdbHugeSet::ClearAll() {
  for (auto& p : pages_) p->fill(0);
  highest_ = -1;
}

// --- Strings and names ----------------------------------------------------------------------

AnsiString AddDefaultExt(std::string_view name, std::string_view ext) {
  if (!ExtractFileExt(name).empty()) return AnsiString(name);
  return AnsiString(name) + AnsiString(ext);
}

AnsiString ExtractNameNoExt(std::string_view path) {
  AnsiString n = ExtractFileName(NormalizeSeparators(path));
  return n.substr(0, n.size() - ExtractFileExt(n).size());
}

AnsiString StrPadRight(std::string_view text, char fill, std::size_t n) {
  AnsiString r(text);
  if (r.size() < n) r.append(n - r.size(), fill);
  return r;
}

void StrTrimRight(AnsiString& text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
}

void UpperBuffer(char* buffer, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i)
    buffer[i] = static_cast<char>(cp::AnsiUpper(static_cast<unsigned char>(buffer[i])));
}

int ComparePChar(const char* a, const char* b) {
  int r = std::strcmp(a, b);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int ComparePCharNoCase(const char* a, const char* b) {
  for (;; ++a, ++b) {
    auto x = cp::AnsiUpper(static_cast<unsigned char>(*a)), y = cp::AnsiUpper(static_cast<unsigned char>(*b));
    if (x != y) return x < y ? -1 : 1;
    if (!x) return 0;
  }
}
