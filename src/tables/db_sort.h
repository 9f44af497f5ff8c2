// Ordering of (key, record number) pairs for index builds. Keys are texts (trailing
// blanks do not count), numbers, dates or byte strings of at most the key length; each
// is kept in an order-preserving byte form followed by its record number, so equal keys
// come back by record number. Everything stays in memory, in one byte arena and one
// offset per key; retrieval sorts once (O(n log n)) and then hands the keys out in order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tables/db_tool.h"

class TdbSort {
 public:
  static constexpr std::int64_t kMaxKeyLength = 240;
  // Kind codes kept with each key.
  static constexpr std::uint8_t kBytes = 16, kText = 32, kNumber = 48, kDate = 64;

  // Raises EDbfError "Sort key length greater than 240 bytes" for a longer key length.
  // `collation` (256 bytes, may be null) orders text bytes; it must outlive the sort.
  TdbSort(std::int64_t keyLength, const std::uint8_t* collation, bool ascending, bool unique);
  virtual ~TdbSort() = default;

  void AddKey(const TdbVariant& key, std::int64_t recNo);
  // A key already in its stored byte form, compared byte by byte (text rules when `text`).
  void AddBytes(std::string_view key, std::int64_t recNo, bool text = false);
  // The next key in order; false when none is left.
  bool NextKey(TdbVariant& key, std::int64_t& recNo);
  bool NextBytes(std::string& key, std::int64_t& recNo);
  std::int64_t Count() const { return static_cast<std::int64_t>(offsets_.size()); }

 private:
  void Insert(std::uint8_t kind, std::string_view form, std::int64_t recNo);
  void BeginRetrieval();
  // The entry at an arena offset: kind, form and record number.
  struct Entry {
    std::uint8_t kind;
    std::string_view form;
    std::uint32_t recNo;
  };
  Entry At(std::uint64_t offset) const;
  int CompareForms(const Entry& a, const Entry& b) const;

  std::int64_t keyLength_;
  const std::uint8_t* collation_;
  bool ascending_;
  bool unique_;
  bool retrieving_ = false;
  std::string arena_;  // per key: kind, form length, form, record number (4 bytes big-endian)
  std::vector<std::uint64_t> offsets_;
  std::size_t next_ = 0;
  bool haveLast_ = false;
  std::uint64_t last_ = 0;
};

// The order-preserving byte form of a double: big-endian, sign bit set for a positive
// value, every bit inverted for a negative one; trailing zero bytes dropped (never the
// 0xFF bytes of a negative value, whose dropping would misorder it).
std::string SortFormOfDouble(double v);
double DoubleOfSortForm(std::string_view form);
