// Small building blocks of the table engine: checked arithmetic, julian dates,
// typed values, owning collections, record-number bit sets, string and name helpers.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/core/DateTime.h"
#include "platform/core/SysUtils.h"

// --- Checked arithmetic: overflow or an index out of range raises ERangeError ---------

[[noreturn]] void RaiseRangeError();
inline std::int64_t CheckedAdd(std::int64_t a, std::int64_t b) {
  std::int64_t r;
  if (__builtin_add_overflow(a, b, &r)) RaiseRangeError();
  return r;
}
inline std::int64_t CheckedMul(std::int64_t a, std::int64_t b) {
  std::int64_t r;
  if (__builtin_mul_overflow(a, b, &r)) RaiseRangeError();
  return r;
}
// A file offset of the 32-bit formats: 0..0xFFFFFFFF.
inline std::uint32_t CheckOffset32(std::int64_t offset) {
  if (offset < 0 || offset > 0xFFFFFFFFLL) RaiseRangeError();
  return static_cast<std::uint32_t>(offset);
}
// i must lie in [0, size).
inline void CheckIndex(std::int64_t i, std::int64_t size) {
  if (i < 0 || i >= size) RaiseRangeError();
}

// --- Dates: julian day numbers ------------------------------------------------------

class TdbDBFDate {
 public:
  // Julian day of day 0 of the date-time scale (30 December 1899).
  static constexpr std::int32_t kOffset = 2415019;

  TdbDBFDate();
  bool CenturyDisplay() const { return centuryDisplay_; }
  void SetCenturyDisplay(bool on) { centuryDisplay_ = on; }

  // False (and zeros) for a day outside the years 1..9999.
  bool DecodeJulian(std::int64_t julian, int& month, int& day, int& year) const;
  std::int32_t TodayJulian() const;
  // "yyyymmdd"; 8 blanks for 0 or less (and for a day outside the calendar).
  AnsiString JulianToDBF(std::int64_t julian) const;
  // The short date format with four-digit years; '' for 0 or less.
  AnsiString JulianToDisplay(std::int64_t julian) const;
  // Blank or "00000000": 0; eight digits: yyyymmdd (an impossible date is day 0 of the
  // date-time scale); anything else goes to the date parser, whose EConvertError passes on.
  std::int32_t TextToJulian(std::string_view text) const;
  // The display form of a stored "yyyymmdd" of a real day, straight from its digits into
  // `out` (the same text as JulianToDisplay of TextToJulian); false for any other text
  // or display format, which then go the long way.
  bool StoredToDisplay(std::string_view stored, AnsiString& out) const {
    if (!centuryDisplay_ || !dayMonthYear_ || stored.size() != 8) return false;
    int v[8];
    for (int i = 0; i < 8; ++i) {
      if (stored[i] < '0' || stored[i] > '9') return false;
      v[i] = stored[i] - '0';
    }
    const int y = v[0] * 1000 + v[1] * 100 + v[2] * 10 + v[3], m = v[4] * 10 + v[5], d = v[6] * 10 + v[7];
    if (y < 1000 || !IsValidDate(y, m, d)) return false;
    const char text[10] = {stored[6], stored[7], '.', stored[4], stored[5], '.',
                           stored[0], stored[1], stored[2], stored[3]};
    out.assign(text, 10);
    return true;
  }

 private:
  bool centuryDisplay_ = true;
  bool dayMonthYear_;  // the short date format is day.month.year: stored digits map straight
};
// The process-wide converter.
TdbDBFDate& DBFDate();

// --- Typed values --------------------------------------------------------------------

enum TdbVariantKind : std::uint8_t { vkEmpty = 0, vkText = 1, vkNumber = 2, vkDate = 3, vkLogical = 4, vkBinary = 5 };

// The letters read as true and false.
inline constexpr std::string_view kTrueLetters = "TtYyJj";
inline constexpr std::string_view kFalseLetters = "FfNn";
// Text that occurs in a letter set (so one of its letters, for one-letter texts).
bool OccursIn(std::string_view text, std::string_view letters);

class TdbVariant {
 public:
  explicit TdbVariant(std::int64_t size = 0);

  std::uint8_t Kind() const { return kind_; }
  std::int64_t Length() const { return length_; }
  std::int64_t Capacity() const { return static_cast<std::int64_t>(buffer_.size()); }
  bool IsEmpty() const { return length_ == 0 || buffer_.empty(); }
  const char* Data() const { return buffer_.data(); }

  void Clear();
  bool Assign(const TdbVariant* source);
  void Resize(std::int64_t n);

  void PutString(std::string_view text);
  void PutPChar(const char* text);
  void PutFloat(double v);
  void PutDate(std::int32_t julian);
  void PutBoolean(bool v);
  void PutBinary(const void* buffer, std::int64_t count);
  void AppendBinary(const void* buffer, std::int64_t count);

  std::int64_t GetBytes(void* buffer, std::int64_t count) const;
  double GetFloat() const;
  std::int32_t GetDate() const;
  bool GetBoolean() const;
  AnsiString GetString() const;
  AnsiString GetPChar() const { return GetString(); }

  // Text values only: through a 256-entry table, or upper-cased without one.
  void TranslateText(const std::uint8_t* table);
  void PadText(std::int64_t n);
  void TrimTrailingBlanks();

  // -1, 0 or 1 against another value; position: where a text comparison stopped.
  // Raises EDbfError "Variant types mismatch for compare" for kinds that do not agree.
  int Compare(const TdbVariant* other, std::int64_t& position, const std::uint8_t* collation,
              int prefixResult) const;

 private:
  double StoredDouble() const;
  std::int32_t StoredInt32() const;

  std::string buffer_;
  std::int64_t length_ = 0;
  std::uint8_t kind_ = vkEmpty;
};

// --- Owning collection -----------------------------------------------------------------

template <class T>
class TdbCollection {
 public:
  virtual ~TdbCollection() { FreeAll(); }

  std::int64_t Count() const { return static_cast<std::int64_t>(items_.size()); }
  T* Items(std::int64_t i) const {
    CheckIndex(i, Count());
    return items_[static_cast<std::size_t>(i)].get();
  }
  T* Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return items_.back().get();
  }
  // Removes the item and frees it; false when it is not in the list.
  bool FreeOne(T* item) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (it->get() != item) continue;
      std::unique_ptr<T> owned = std::move(*it);
      items_.erase(it);
      FreeItem(std::move(owned));
      return true;
    }
    return false;
  }
  void FreeAll() {
    while (!items_.empty()) {
      std::unique_ptr<T> owned = std::move(items_.back());
      items_.pop_back();
      FreeItem(std::move(owned));
    }
  }

 protected:
  // Frees one item (its destructor); derived lists may do more.
  virtual void FreeItem(std::unique_ptr<T> item) { item.reset(); }

 private:
  std::vector<std::unique_ptr<T>> items_;
};

// --- Record-number bit set -------------------------------------------------------------

class TdbHugeSet {
 public:
  static constexpr std::int64_t kPageBytes = 16384;
  static constexpr std::int64_t kPageBits = kPageBytes * 8;

  // mode 0 clears, 1 sets, 2 toggles; a negative number or one beyond 32 bits raises ERangeError.
  void ChangeBit(std::int64_t n, int mode);
  bool TestBit(std::int64_t n) const;
  void ClearAll();
  std::int64_t Highest() const { return highest_; }
  std::int64_t PageCount() const { return static_cast<std::int64_t>(pages_.size()); }

 private:
  std::vector<std::unique_ptr<std::array<std::uint8_t, kPageBytes>>> pages_;
  std::int64_t highest_ = -1;
};

// --- Strings and names -----------------------------------------------------------------

AnsiString AddDefaultExt(std::string_view name, std::string_view ext);  // ext with the dot
AnsiString ExtractNameNoExt(std::string_view path);
AnsiString StrPadRight(std::string_view text, char fill, std::size_t n);
void StrTrimRight(AnsiString& text);  // drops trailing blanks in place
void UpperBuffer(char* buffer, std::size_t count);
int ComparePChar(const char* a, const char* b);
int ComparePCharNoCase(const char* a, const char* b);
