#include "tables/db_sort.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "tables/db_eror.h"

namespace {

[[noreturn]] void TooLong() { throw EDbfError("Sort key length greater than 240 bytes"); }

}  // namespace

std::string SortFormOfDouble(double v) {
  if (v == 0) v = 0;  // -0 sorts as 0
  std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
  bits = (bits >> 63) ? ~bits : (bits | (std::uint64_t{1} << 63));
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (56 - 8 * i));
  while (!out.empty() && out.back() == '\0') out.pop_back();
  return out;
}

double DoubleOfSortForm(std::string_view form) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < 8; ++i)
    bits = (bits << 8) | (i < form.size() ? static_cast<std::uint8_t>(form[i]) : 0u);
  bits = (bits >> 63) ? (bits & ~(std::uint64_t{1} << 63)) : ~bits;
  return std::bit_cast<double>(bits);
}

TdbSort::TdbSort(std::int64_t keyLength, const std::uint8_t* collation, bool ascending, bool unique)
    : keyLength_(keyLength), collation_(collation), ascending_(ascending), unique_(unique) {
  if (keyLength > kMaxKeyLength) TooLong();
}

void TdbSort::AddKey(const TdbVariant& key, std::int64_t recNo) {
  if (retrieving_) throw EDbfError("Cannot add sort keys after beginning retrieval");
  switch (key.Kind()) {
    case vkText: {
      AnsiString t = key.GetString();
      StrTrimRight(t);
      return Insert(kText, t, recNo);
    }
    case vkNumber:
      return Insert(kNumber, SortFormOfDouble(key.GetFloat()), recNo);
    case vkDate: {
      const auto d = static_cast<std::uint32_t>(key.GetDate());
      const char form[4] = {static_cast<char>(d >> 24), static_cast<char>(d >> 16), static_cast<char>(d >> 8),
                            static_cast<char>(d)};
      return Insert(kDate, std::string_view(form, 4), recNo);
    }
    case vkBinary:
      return Insert(kBytes, std::string_view(key.Data(), static_cast<std::size_t>(key.Length())), recNo);
    default:
      throw EDbfError("Variant type cannot be sorted");
  }
}

void TdbSort::AddBytes(std::string_view key, std::int64_t recNo, bool text) {
  if (retrieving_) throw EDbfError("Cannot add sort keys after beginning retrieval");
  if (text)
    while (!key.empty() && key.back() == ' ') key.remove_suffix(1);
  Insert(text ? kText : kBytes, key, recNo);
}

void TdbSort::Insert(std::uint8_t kind, std::string_view form, std::int64_t recNo) {
  if (static_cast<std::int64_t>(form.size()) > keyLength_ || form.size() > 255) TooLong();
  if (recNo < 0 || recNo > 0xFFFFFFFFll) RaiseRangeError();
  offsets_.push_back(arena_.size());
  arena_ += static_cast<char>(kind);
  arena_ += static_cast<char>(form.size());
  arena_ += form;
  const auto r = static_cast<std::uint32_t>(recNo);
  const char tail[4] = {static_cast<char>(r >> 24), static_cast<char>(r >> 16), static_cast<char>(r >> 8),
                        static_cast<char>(r)};
  arena_.append(tail, 4);
}

TdbSort::Entry TdbSort::At(std::uint64_t offset) const {
  const char* p = arena_.data() + offset;
  const auto n = static_cast<std::uint8_t>(p[1]);
  const auto* r = reinterpret_cast<const std::uint8_t*>(p + 2 + n);
  return {static_cast<std::uint8_t>(p[0]), std::string_view(p + 2, n),
          (std::uint32_t{r[0]} << 24) | (std::uint32_t{r[1]} << 16) | (std::uint32_t{r[2]} << 8) | r[3]};
}

int TdbSort::CompareForms(const Entry& a, const Entry& b) const {
  if (a.kind != b.kind) return a.kind < b.kind ? -1 : 1;
  const std::size_t n = std::min(a.form.size(), b.form.size());
  const bool collate = a.kind == kText && collation_;
  for (std::size_t i = 0; i < n; ++i) {
    auto x = static_cast<std::uint8_t>(a.form[i]), y = static_cast<std::uint8_t>(b.form[i]);
    if (collate) {
      x = collation_[x];
      y = collation_[y];
    }
    if (x != y) return x < y ? -1 : 1;
  }
  return a.form.size() == b.form.size() ? 0 : (a.form.size() < b.form.size() ? -1 : 1);
}

void TdbSort::BeginRetrieval() {
  retrieving_ = true;
  std::sort(offsets_.begin(), offsets_.end(), [this](std::uint64_t x, std::uint64_t y) {
    const Entry a = At(x), b = At(y);
    const int c = CompareForms(a, b);
    // The record number is part of the key: a descending sort gives equal keys by
    // descending record number.
    if (c != 0) return ascending_ ? c < 0 : c > 0;
    return ascending_ ? a.recNo < b.recNo : a.recNo > b.recNo;
  });
}

bool TdbSort::NextBytes(std::string& key, std::int64_t& recNo) {
  if (!retrieving_) BeginRetrieval();
  while (next_ < offsets_.size()) {
    const std::uint64_t off = offsets_[next_++];
    const Entry e = At(off);
    if (unique_ && haveLast_ && CompareForms(At(last_), e) == 0) continue;
    haveLast_ = true;
    last_ = off;
    key.assign(e.form);
    recNo = e.recNo;
    return true;
  }
  return false;
}

bool TdbSort::NextKey(TdbVariant& key, std::int64_t& recNo) {
  std::string form;
  if (!NextBytes(form, recNo)) return false;
  switch (At(last_).kind) {
    case kText:
      key.PutString(form);
      break;
    case kNumber:
      key.PutFloat(DoubleOfSortForm(form));
      break;
    case kDate: {
      std::uint32_t d = 0;
      for (char c : form) d = (d << 8) | static_cast<std::uint8_t>(c);
      key.PutDate(static_cast<std::int32_t>(d));
      break;
    }
    default:
      key.PutBinary(form.data(), static_cast<std::int64_t>(form.size()));
  }
  return true;
}
