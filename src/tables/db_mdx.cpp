#include "tables/db_mdx.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/core/DateTime.h"
#include "platform/core/Files.h"
#include "tables/db_eror.h"
#include "tables/db_memo.h"
#include "tables/db_tool.h"

namespace {

constexpr std::int64_t kUnit = 512;
// Key format byte of a tag header: the tag keeps its keys in descending order.
constexpr std::uint8_t kOptDescending = 0x08;

}  // namespace

// --- Tag ---------------------------------------------------------------------------------------

DBobjMDXTag::DBobjMDXTag(DBobjMDXFile& file, std::string_view name, std::int64_t headerUnit)
    : DBobjIndexTagBase(file, name), headerUnit_(headerUnit) {}

std::int64_t DBobjMDXTag::BlockBytes() const { return static_cast<DBobjMDXFile&>(file_).BlockBytes(); }

std::int64_t DBobjMDXTag::MaxKeys() const { return (BlockBytes() - 8) / ItemSize() - 1; }

std::string DBobjMDXTag::PackNumber(double v) {
  std::string out(12, '\0');
  if (!std::isfinite(v)) v = 0;
  if (v == 0) {
    out[0] = 52;
    out[1] = 1;
    return out;
  }
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.14e", std::fabs(v));  // d.dddddddddddddde+XX: 15 digits
  std::string digits;
  for (const char* p = buf; *p && *p != 'e'; ++p)
    if (*p >= '0' && *p <= '9') digits += *p;
  const int exponent = std::atoi(std::strchr(buf, 'e') + 1) + 1;  // 0.digits x 10^exponent
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  out[0] = static_cast<char>(exponent + 52);
  out[1] = static_cast<char>((4 * digits.size() + 1) | (v < 0 ? 0x80 : 0));
  for (std::size_t i = 0; i < digits.size(); ++i) {
    const int d = digits[i] - '0';
    out[2 + i / 2] = static_cast<char>(out[2 + i / 2] | (i % 2 == 0 ? d << 4 : d));
  }
  return out;
}

double DBobjMDXTag::UnpackNumber(const std::uint8_t* p) {
  const int count = std::min((p[1] & 0x7F) / 4, 20);
  std::string text = "0.";
  for (int i = 0; i < count; ++i) {
    const int d = (i % 2 == 0 ? p[2 + i / 2] >> 4 : p[2 + i / 2]) & 0x0F;
    text += static_cast<char>('0' + std::min(d, 9));
  }
  if (count == 0) return 0;
  text += "e" + std::to_string(static_cast<int>(p[0]) - 52);
  const double v = std::strtod(text.c_str(), nullptr);
  return (p[1] & 0x80) ? -v : v;
}

std::string DBobjMDXTag::KeyFormat(const TdbExpValue& value) const {
  if (keyType_ == 'C') {
    return TextKey(value);
  }
  double d = NumberKey(value);  // the empty date sorts last
  if (keyType_ == 'N') {
    // As the packed decimal keeps it: 15 significant digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", d);
    d = std::strtod(buf, nullptr);
  }
  return SortFormOfDouble(d);
}

bool DBobjMDXTag::HeaderRead() {
  const std::int64_t bytes = BlockBytes();
  std::vector<std::uint8_t> h(static_cast<std::size_t>(bytes));
  const std::int64_t size = file_.FileSize();
  if (headerUnit_ < 1 || headerUnit_ * kUnit + bytes > size || !file_.ReadBlock(headerUnit_ * kUnit, h.data(), bytes))
    return false;
  root_ = GetLE32(h.data());
  const std::uint8_t options = h[8];
  keyType_ = static_cast<char>(h[9]);
  keyLength_ = GetLE16(h.data() + 12);
  const std::int64_t maxKeys = GetLE16(h.data() + 14), itemSize = GetLE16(h.data() + 18);
  unique_ = (options & 0x40) != 0;
  inverted_ = (options & kOptDescending) != 0;
  firstUnit_ = GetLE32(h.data() + 248);
  lastUnit_ = GetLE32(h.data() + 252);
  if ((keyType_ != 'C' && keyType_ != 'N' && keyType_ != 'D') || keyLength_ < 1 ||
      (keyType_ == 'N' && keyLength_ != 12) || (keyType_ == 'D' && keyLength_ != 8) || root_ < 1 ||
      root_ * kUnit + bytes > size || itemSize != ItemSize() || maxKeys != MaxKeys() || maxKeys < 2)
    return false;
  const char* expr = reinterpret_cast<const char*>(h.data() + 24);
  const std::size_t exprLen = strnlen(expr, 220);
  if (exprLen == 0 || exprLen >= 220 || bytes < 763) return false;
  AnsiString forExpr;
  if (h[245] == 1) {
    const char* f = reinterpret_cast<const char*>(h.data() + 762);
    const std::size_t n = strnlen(f, static_cast<std::size_t>(bytes - 762));
    if (n >= static_cast<std::size_t>(bytes - 762)) return false;
    forExpr.assign(f, n);
  }
  const char type = keyType_;
  const std::int64_t length = keyLength_;
  try {
    InitExpressions(AnsiString(expr, exprLen), forExpr);
  } catch (const std::exception&) {
    return false;
  }
  if (type != keyType_) return false;
  keyLength_ = type == 'C' ? length : 8;
  return true;
}

void DBobjMDXTag::HeaderWrite() {
  std::vector<std::uint8_t> h(static_cast<std::size_t>(BlockBytes()), 0);
  PutLE32(h.data(), static_cast<std::uint32_t>(root_));
  h[8] = static_cast<std::uint8_t>(0x10 | (unique_ ? 0x40 : 0) | (inverted_ ? kOptDescending : 0));
  h[9] = static_cast<std::uint8_t>(keyType_);
  PutLE16(h.data() + 12, static_cast<std::uint16_t>(DiskKeyLength()));
  PutLE16(h.data() + 14, static_cast<std::uint16_t>(MaxKeys()));
  PutLE16(h.data() + 18, static_cast<std::uint16_t>(ItemSize()));
  h[23] = unique_ ? 0x40 : 0;
  std::memcpy(h.data() + 24, keyText_.data(), std::min<std::size_t>(keyText_.size(), 219));
  h[245] = forText_.empty() ? 0 : 1;
  h[246] = 1;
  PutLE32(h.data() + 248, static_cast<std::uint32_t>(firstUnit_));
  PutLE32(h.data() + 252, static_cast<std::uint32_t>(lastUnit_));
  std::memcpy(h.data() + 762, forText_.data(),
              std::min<std::size_t>(forText_.size(), static_cast<std::size_t>(BlockBytes() - 763)));
  file_.WriteBlock(headerUnit_ * kUnit, h.data(), BlockBytes());
}

void DBobjMDXTag::RootRead() {
  std::array<std::uint8_t, 256> h{};
  const std::int64_t size = file_.FileSize();
  if (headerUnit_ < 1 || headerUnit_ * kUnit + BlockBytes() > size ||
      !file_.ReadBlock(headerUnit_ * kUnit, h.data(), static_cast<std::int64_t>(h.size())))
    file_.Damaged();
  const std::int64_t root = GetLE32(h.data());
  if (root < 1 || root * kUnit + BlockBytes() > size) file_.Damaged();
  root_ = root;
  firstUnit_ = GetLE32(h.data() + 248);
  lastUnit_ = GetLE32(h.data() + 252);
}

void DBobjMDXTag::TagInit(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending) {
  if (Trim(keyExpr).size() > 219 || Trim(forExpr).size() > static_cast<std::size_t>(BlockBytes() - 763))
    throw EDbfError("Index expression is too long");
  unique_ = unique;
  inverted_ = descending;
  InitExpressions(keyExpr, forExpr);
  if (keyType_ != 'C') keyLength_ = 8;
  CheckKeyLength();
  firstUnit_ = lastUnit_ = 0;
  HeaderWrite();
  Build();
}

void DBobjMDXTag::PageLoad(DBobjIndexKey& page) {
  const std::int64_t bytes = BlockBytes();
  std::vector<std::uint8_t> b(static_cast<std::size_t>(bytes));
  const std::int64_t size = file_.PageFileSize();
  if (page.block < 1 || page.block * kUnit + bytes > size || !file_.ReadBlock(page.block * kUnit, b.data(), bytes))
    file_.Damaged();
  const std::int64_t count = GetLE32(b.data());
  const std::int64_t itemSize = ItemSize();
  if (count > MaxKeys() || 8 + (count + 1) * itemSize > bytes) file_.Damaged();
  page.left = GetLE32(b.data() + 4);  // the tag's previous allocation (kept as it was)
  page.keys.clear();
  page.pos = -1;
  page.leaf = GetLE32(b.data() + 8 + count * itemSize) == 0;
  auto child = [&](const std::uint8_t* it) {
    const std::int64_t c = GetLE32(it);
    if (c < 1 || c * kUnit + bytes > size || c == page.block) file_.Damaged();
    return c;
  };
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* it = b.data() + 8 + i * itemSize;
    DBobjIndexKeyData k;
    if (keyType_ == 'C') {
      std::string key(reinterpret_cast<const char*>(it + 4), static_cast<std::size_t>(keyLength_));
      StrTrimRight(key);
      k.value = std::move(key);
    } else if (keyType_ == 'N') {
      k.value = SortFormOfDouble(UnpackNumber(it + 4));
    } else {
      std::uint64_t bits = 0;
      for (int j = 7; j >= 0; --j) bits = (bits << 8) | it[4 + j];
      k.value = SortFormOfDouble(std::bit_cast<double>(bits));
    }
    k.link = page.leaf ? GetLE32(it) : child(it);
    k.recNo = page.leaf ? k.link : 0;
    page.keys.push_back(std::move(k));
  }
  if (!page.leaf) {
    DBobjIndexKeyData top;
    top.top = true;
    top.link = child(b.data() + 8 + count * itemSize);
    page.keys.push_back(top);
  }
}

void DBobjMDXTag::PageStore(DBobjIndexKey& page) {
  const std::int64_t bytes = BlockBytes();
  std::vector<std::uint8_t> b(static_cast<std::size_t>(bytes), 0);
  const std::int64_t itemSize = ItemSize();
  const std::int64_t n = page.leaf ? static_cast<std::int64_t>(page.keys.size())
                                   : static_cast<std::int64_t>(page.keys.size()) - 1;
  if (n > MaxKeys() || n < 0) RaiseRangeError();
  if (page.block > lastUnit_) {
    // A block new to the tag joins its chain of allocations; the tag header names it at
    // once, so that the next block (of this process or another) links to it.
    page.left = lastUnit_;
    lastUnit_ = page.block;
    if (firstUnit_ == 0) firstUnit_ = page.block;
    std::array<std::uint8_t, 8> units{};
    PutLE32(units.data(), static_cast<std::uint32_t>(firstUnit_));
    PutLE32(units.data() + 4, static_cast<std::uint32_t>(lastUnit_));
    if (!file_.WriteBlock(headerUnit_ * kUnit + 248, units.data(), 8)) file_.Damaged();
  }
  PutLE32(b.data(), static_cast<std::uint32_t>(n));
  PutLE32(b.data() + 4, static_cast<std::uint32_t>(std::max<std::int64_t>(page.left, 0)));
  for (std::size_t i = 0; i < page.keys.size(); ++i) {
    std::uint8_t* it = b.data() + 8 + static_cast<std::int64_t>(i) * itemSize;
    const DBobjIndexKeyData& k = page.keys[i];
    PutLE32(it, static_cast<std::uint32_t>(page.leaf ? k.recNo : k.link));
    if (!page.leaf && static_cast<std::int64_t>(i) == n) break;  // the pointer-only item
    if (keyType_ == 'C') {
      std::memset(it + 4, ' ', static_cast<std::size_t>(keyLength_));
      std::memcpy(it + 4, k.value.data(), std::min<std::size_t>(k.value.size(), static_cast<std::size_t>(keyLength_)));
    } else if (keyType_ == 'N') {
      const std::string packed = PackNumber(DoubleOfSortForm(k.value));
      std::memcpy(it + 4, packed.data(), 12);
    } else {
      const std::uint64_t bits = std::bit_cast<std::uint64_t>(DoubleOfSortForm(k.value));
      for (int j = 0; j < 8; ++j) it[4 + j] = static_cast<std::uint8_t>(bits >> (8 * j));
    }
  }
  if (!file_.WriteBlock(page.block * kUnit, b.data(), bytes)) file_.Damaged();
}

bool DBobjMDXTag::PageFits(const DBobjIndexKey& page) const {
  const auto n = static_cast<std::int64_t>(page.keys.size());
  return page.leaf ? n <= MaxKeys() : n - 1 <= MaxKeys();
}

// --- File ----------------------------------------------------------------------------------------

DBobjMDXFile::DBobjMDXFile(DBO_dBHandler* table, std::string_view name, bool create, bool overwrite, bool shared,
                           bool readWrite)
    : DBobjIndexFileBase(table, name, create, overwrite, shared, readWrite, ".MDX") {
  if (!disk_) return;
  if (created_) {
    std::vector<std::uint8_t> h(static_cast<std::size_t>(headerBytes_), 0);
    h[0] = 2;
    TDateParts d;
    TryDecodeDate(TodayDayNumber(), d);
    h[1] = h[44] = static_cast<std::uint8_t>((d.Year - 1900) % 100);
    h[2] = h[45] = static_cast<std::uint8_t>(d.Month);
    h[3] = h[46] = static_cast<std::uint8_t>(d.Day);
    const AnsiString stem = table ? AnsiUpperCase(ExtractNameNoExt(table->FileName())).substr(0, 8) : stem_.substr(0, 8);
    std::memcpy(h.data() + 4, stem.data(), stem.size());
    PutLE16(h.data() + 20, 2);
    PutLE16(h.data() + 22, 1024);
    h[24] = 1;
    h[25] = 48;
    h[26] = 32;
    PutLE32(h.data() + 32, static_cast<std::uint32_t>(headerBytes_ / kUnit));
    WriteBlock(0, h.data(), headerBytes_);
    nextBlock_ = headerBytes_ / kUnit;
  } else {
    std::array<std::uint8_t, 32> first{};
    if (!ReadBlock(0, first.data(), 32)) {
      invalid_ = true;
      return;
    }
    const std::int64_t units = GetLE16(first.data() + 20), bytes = GetLE16(first.data() + 22);
    if (units < 2 || units > 64 || bytes != units * kUnit) {
      invalid_ = true;
      return;
    }
    blockBytes_ = bytes;
    headerBytes_ = std::max<std::int64_t>(bytes * units, 2048);
    std::vector<std::uint8_t> h(static_cast<std::size_t>(headerBytes_));
    const std::int64_t count = first[28] | (first[29] << 8);
    if (!ReadBlock(0, h.data(), headerBytes_) || count > kMaxTags) {
      invalid_ = true;
      return;
    }
    for (std::int64_t n = 1; n <= count; ++n) {
      const std::uint8_t* e = h.data() + 512 + 32 * n;
      const char* tagName = reinterpret_cast<const char*>(e + 4);
      auto tag = std::make_unique<DBobjMDXTag>(*this, std::string(tagName, strnlen(tagName, 11)), GetLE32(e));
      if (!tag->HeaderRead()) {
        invalid_ = true;
        tags_.clear();
        return;
      }
      tags_.push_back(std::move(tag));
    }
    ResetBlock();
  }
  RememberState();
  if (table && AnsiSameText(stem_, ExtractNameNoExt(table->FileName()))) {
    try {
      table->MarkProductionIndex();
    } catch (const EDbfError&) {
    }
  }
}

DBobjMDXFile::~DBobjMDXFile() { tags_.clear(); }

std::int64_t DBobjMDXFile::NextBlock() {
  if (nextBlock_ < 0) ResetBlock();
  const std::int64_t b = nextBlock_;
  nextBlock_ += blockBytes_ / kUnit;
  // The header's next free unit follows the end of the file: other programs trust it.
  std::array<std::uint8_t, 4> next{};
  PutLE32(next.data(), static_cast<std::uint32_t>(nextBlock_));
  WriteBlock(32, next.data(), 4);
  return b;
}

void DBobjMDXFile::ResetBlock() { nextBlock_ = std::max((FileSize() + kUnit - 1) / kUnit, headerBytes_ / kUnit); }

void DBobjMDXFile::WriteTagTable() {
  std::vector<std::uint8_t> t(static_cast<std::size_t>(2048 - 512), 0);
  const auto count = static_cast<std::int64_t>(tags_.size());
  for (std::int64_t n = 1; n <= count; ++n) {
    auto* tag = static_cast<DBobjMDXTag*>(tags_[static_cast<std::size_t>(n - 1)].get());
    std::uint8_t* e = t.data() + 32 * n;
    PutLE32(e, static_cast<std::uint32_t>(tag->HeaderUnit()));
    const AnsiString name = tag->TagName().substr(0, 10);
    std::memcpy(e + 4, name.data(), name.size());
    e[17] = static_cast<std::uint8_t>(n < count ? n + 1 : 0);
    e[19] = 2;
    e[20] = static_cast<std::uint8_t>(tag->KeyType());
  }
  WriteBlock(512, t.data(), static_cast<std::int64_t>(t.size()));
  std::array<std::uint8_t, 2> c{};
  PutLE16(c.data(), static_cast<std::uint16_t>(count));
  WriteBlock(28, c.data(), 2);
}

DBobjMDXTag* DBobjMDXFile::AddTag(std::string_view name, std::string_view keyExpr, std::string_view forExpr,
                                  bool unique, bool descending) {
  if (!disk_ || invalid_) return nullptr;
  const AnsiString tagName = AnsiUpperCase(Trim(name));
  if (tagName.empty() || tagName.size() > 10) throw EDbfError(Format("Invalid tag name %s", {tagName}));
  TdbTagListChange alone(*disk_);
  if (!alone.Held()) return nullptr;
  TdbIndexLock lock(*this);
  std::erase_if(tags_, [&](const auto& t) { return AnsiSameText(t->TagName(), tagName); });
  if (static_cast<std::int64_t>(tags_.size()) >= kMaxTags) throw EDbfError("Too many tags in the index file");
  ResetBlock();
  auto tag = std::make_unique<DBobjMDXTag>(*this, tagName, NextBlock());
  tag->TagInit(keyExpr, forExpr, unique, descending);
  DBobjMDXTag* added = tag.get();
  const auto at = std::find_if(tags_.begin(), tags_.end(), [&](const auto& t) { return t->TagName() > tagName; });
  tags_.insert(at, std::move(tag));
  WriteTagTable();
  return added;
}

bool DBobjMDXFile::DeleteTag(std::string_view name) {
  if (!disk_) return false;
  if (std::none_of(tags_.begin(), tags_.end(), [&](const auto& t) { return AnsiSameText(t->TagName(), Trim(name)); }))
    return false;
  TdbTagListChange alone(*disk_);
  if (!alone.Held()) return false;
  std::erase_if(tags_, [&](const auto& t) { return AnsiSameText(t->TagName(), Trim(name)); });
  WriteTagTable();
  alone.End();
  if (tags_.empty()) Reindex();
  return true;
}

void DBobjMDXFile::Reindex() {
  if (!disk_ || invalid_) return;
  // The new file starts with the old file's header (its dates and table name).
  RebuildBeside(headerBytes_, [this] {
    for (auto& t : tags_) t->ResetPages(0);
    disk_->Truncate(headerBytes_);
    nextBlock_ = headerBytes_ / kUnit;
    for (auto& t : tags_) {
      auto* tag = static_cast<DBobjMDXTag*>(t.get());
      tag->SetHeaderUnit(NextBlock());
      tag->ForgetUnits();
      tag->HeaderWrite();
      tag->Build();
    }
    WriteTagTable();
  });
}

bool DBobjMDXFile::RenameIndex(std::string_view newName) {
  if (!DBobjIndexFileBase::RenameIndex(newName)) return false;
  std::array<std::uint8_t, 9> name{};
  const AnsiString stem = AnsiUpperCase(ExtractNameNoExt(NormalizeSeparators(Trim(newName)))).substr(0, 8);
  std::memcpy(name.data(), stem.data(), stem.size());
  return WriteBlock(4, name.data(), static_cast<std::int64_t>(name.size()));
}

void RegisterMdxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add) {
  add(".MDX", [](DBO_dBHandler& table, const AnsiString& name) -> std::unique_ptr<DBobjIndexFile> {
    return std::make_unique<DBobjMDXFile>(&table, name, false, false, table.IsShared(), table.IsReadWrite());
  });
}
