#include "tables/db_ndx.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "tables/db_eror.h"
#include "tables/db_memo.h"
#include "tables/db_tool.h"

namespace {

std::string DoubleToDisk(const std::string& form) {
  const std::uint64_t bits = std::bit_cast<std::uint64_t>(DoubleOfSortForm(form));
  std::string out(8, '\0');
  for (int i = 0; i < 8; ++i) out[static_cast<std::size_t>(i)] = static_cast<char>(bits >> (8 * i));
  return out;
}

std::string DiskToForm(const std::uint8_t* p) {
  std::uint64_t bits = 0;
  for (int i = 7; i >= 0; --i) bits = (bits << 8) | p[i];
  return SortFormOfDouble(std::bit_cast<double>(bits));
}

}  // namespace

DBobjNDXTag::DBobjNDXTag(DBobjNDXFile& file, std::string_view name) : DBobjIndexTagBase(file, name) {}

std::string DBobjNDXTag::KeyFormat(const TdbExpValue& value) const {
  if (keyType_ == 'C') {
    return TextKey(value);
  }
  double d = NumberKey(value);  // the empty date sorts last
  return SortFormOfDouble(d);
}

bool DBobjNDXTag::HeaderRead() {
  std::array<std::uint8_t, kPage> h{};
  const std::int64_t size = file_.FileSize();
  if (size < kPage || !file_.ReadBlock(0, h.data(), kPage)) return false;
  root_ = GetLE32(h.data());
  const std::int64_t keyLength = GetLE16(h.data() + 12);
  const std::int64_t maxKeys = GetLE16(h.data() + 14), itemSize = GetLE16(h.data() + 18);
  const bool numeric = GetLE16(h.data() + 16) != 0;
  unique_ = h[23] != 0;
  if (keyLength < 1 || itemSize < keyLength + 8 || itemSize * 2 > 504 || maxKeys < 2 ||
      maxKeys * itemSize > 504 || root_ < 1 || (root_ + 1) * kPage > size || (numeric && keyLength != 8))
    return false;
  const char* expr = reinterpret_cast<const char*>(h.data() + 24);
  const std::size_t exprLen = strnlen(expr, kPage - 24);
  if (exprLen == 0 || exprLen >= static_cast<std::size_t>(kPage - 24)) return false;
  try {
    InitExpressions(AnsiString(expr, exprLen), "");
  } catch (const std::exception&) {
    return false;
  }
  if ((keyType_ != 'C') != numeric) return false;
  keyLength_ = keyLength;
  itemSize_ = 0;
  if (ItemSize() == itemSize && MaxKeys() == maxKeys) return true;
  // Date keys in the items of number keys, as this engine once wrote them: read and kept
  // up as they are.
  if (keyType_ != 'D' || itemSize != 20 || maxKeys != 504 / 20) return false;
  itemSize_ = itemSize;
  return true;
}

void DBobjNDXTag::HeaderWrite() {
  std::array<std::uint8_t, kPage> h{};
  PutLE32(h.data(), static_cast<std::uint32_t>(root_));
  std::int64_t next = file_.PendingBlock();
  if (next < 1) next = std::max<std::int64_t>((file_.FileSize() + kPage - 1) / kPage, 1);
  PutLE32(h.data() + 4, static_cast<std::uint32_t>(next));
  PutLE32(h.data() + 8, file_.Stamp());
  PutLE16(h.data() + 12, static_cast<std::uint16_t>(DiskKeyLength()));
  PutLE16(h.data() + 14, static_cast<std::uint16_t>(MaxKeys()));
  PutLE16(h.data() + 16, keyType_ == 'C' ? 0 : 1);
  PutLE16(h.data() + 18, static_cast<std::uint16_t>(ItemSize()));
  h[23] = unique_ ? 1 : 0;
  std::memcpy(h.data() + 24, keyText_.data(), std::min<std::size_t>(keyText_.size(), kPage - 25));
  file_.WriteBlock(0, h.data(), kPage);
}

void DBobjNDXTag::RootRead() {
  std::array<std::uint8_t, 4> r{};
  const std::int64_t size = file_.FileSize();
  if (!file_.ReadBlock(0, r.data(), 4)) file_.Damaged();
  const std::int64_t root = GetLE32(r.data());
  if (root < 1 || (root + 1) * kPage > size) file_.Damaged();
  root_ = root;
}

void DBobjNDXTag::TagInit(std::string_view keyExpr, bool unique) {
  if (Trim(keyExpr).size() > 487) throw EDbfError("Index expression is too long");
  unique_ = unique;
  InitExpressions(keyExpr, "");
  if (keyType_ != 'C') keyLength_ = 8;
  itemSize_ = 0;
  CheckKeyLength();
  HeaderWrite();
  Build();
}

void DBobjNDXTag::PageLoad(DBobjIndexKey& page) {
  std::array<std::uint8_t, kPage> b{};
  const std::int64_t size = file_.PageFileSize();
  if (page.block < 1 || (page.block + 1) * kPage > size || !file_.ReadBlock(page.block * kPage, b.data(), kPage))
    file_.Damaged();
  const std::int64_t count = GetLE32(b.data());
  const std::int64_t itemSize = ItemSize();
  page.keys.clear();
  page.pos = -1;
  page.leaf = GetLE32(b.data() + 4) == 0;
  if (count > MaxKeys() || 4 + (count + (page.leaf ? 0 : 1)) * itemSize > kPage) file_.Damaged();
  auto child = [&](const std::uint8_t* it) {
    const std::int64_t c = GetLE32(it);
    if (c < 1 || (c + 1) * kPage > size || c == page.block) file_.Damaged();
    return c;
  };
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* it = b.data() + 4 + i * itemSize;
    DBobjIndexKeyData k;
    if (keyType_ == 'C') {
      std::string key(reinterpret_cast<const char*>(it + 8), static_cast<std::size_t>(keyLength_));
      StrTrimRight(key);
      k.value = std::move(key);
    } else {
      k.value = DiskToForm(it + 8);
    }
    k.recNo = GetLE32(it + 4);
    k.link = page.leaf ? k.recNo : child(it);
    page.keys.push_back(std::move(k));
  }
  if (!page.leaf) {
    DBobjIndexKeyData top;
    top.top = true;
    top.link = child(b.data() + 4 + count * itemSize);
    page.keys.push_back(top);
  }
}

void DBobjNDXTag::PageStore(DBobjIndexKey& page) {
  std::array<std::uint8_t, kPage> b{};
  const std::int64_t itemSize = ItemSize();
  const std::int64_t n = page.leaf ? static_cast<std::int64_t>(page.keys.size())
                                   : static_cast<std::int64_t>(page.keys.size()) - 1;
  if (static_cast<std::int64_t>(page.keys.size()) > MaxKeys() || n < 0) RaiseRangeError();
  PutLE32(b.data(), static_cast<std::uint32_t>(n));
  for (std::size_t i = 0; i < page.keys.size(); ++i) {
    std::uint8_t* it = b.data() + 4 + static_cast<std::int64_t>(i) * itemSize;
    const DBobjIndexKeyData& k = page.keys[i];
    PutLE32(it, page.leaf ? 0 : static_cast<std::uint32_t>(k.link));
    if (!page.leaf && static_cast<std::int64_t>(i) == n) break;  // the pointer-only item
    PutLE32(it + 4, page.leaf ? static_cast<std::uint32_t>(k.recNo) : 0);
    if (keyType_ == 'C') {
      std::memset(it + 8, ' ', static_cast<std::size_t>(keyLength_));
      std::memcpy(it + 8, k.value.data(), std::min<std::size_t>(k.value.size(), static_cast<std::size_t>(keyLength_)));
    } else {
      const std::string d = DoubleToDisk(k.value);
      std::memcpy(it + 8, d.data(), 8);
    }
  }
  if (!file_.WriteBlock(page.block * kPage, b.data(), kPage)) file_.Damaged();
}

bool DBobjNDXTag::PageFits(const DBobjIndexKey& page) const {
  const auto n = static_cast<std::int64_t>(page.keys.size());
  // An interior page's pointer-only item takes an item place of its own.
  return n <= MaxKeys();
}

// --- File ----------------------------------------------------------------------------------------

DBobjNDXFile::DBobjNDXFile(DBO_dBHandler* table, std::string_view name, bool create, bool overwrite, bool shared,
                           bool readWrite)
    : DBobjIndexFileBase(table, name, create, overwrite, shared, readWrite, ".NDX") {
  OpenSingleTag<DBobjNDXTag>(*this);
}

DBobjNDXFile::~DBobjNDXFile() { tags_.clear(); }

std::int64_t DBobjNDXFile::NextBlock() {
  if (nextBlock_ < 0) ResetBlock();
  const std::int64_t page = nextBlock_++;
  // The header's next free page stays true: other programs allocate from it.
  std::array<std::uint8_t, 4> next{};
  PutLE32(next.data(), static_cast<std::uint32_t>(nextBlock_));
  WriteBlock(4, next.data(), 4);
  return page;
}

void DBobjNDXFile::ResetBlock() {
  nextBlock_ = (FileSize() + DBobjNDXTag::kPage - 1) / DBobjNDXTag::kPage;
}

DBobjNDXTag* DBobjNDXFile::AddTag(std::string_view keyExpr, bool unique) {
  if (!disk_) return nullptr;
  tags_.clear();
  nextBlock_ = 0;
  NextBlock();  // the header
  auto tag = std::make_unique<DBobjNDXTag>(*this, stem_);
  tag->TagInit(keyExpr, unique);
  tags_.push_back(std::move(tag));
  return static_cast<DBobjNDXTag*>(tags_.back().get());
}

void DBobjNDXFile::CreateEmpty() {
  if (!disk_ || tags_.empty()) return;
  TdbIndexLock lock(*this);
  tags_[0]->ResetPages(0);
  disk_->Truncate(DBobjNDXTag::kPage);
  nextBlock_ = 1;
  std::array<std::uint8_t, DBobjNDXTag::kPage> empty{};
  WriteBlock(NextBlock() * DBobjNDXTag::kPage, empty.data(), DBobjNDXTag::kPage);
  auto* tag = static_cast<DBobjNDXTag*>(tags_[0].get());
  tag->SetRootBlock(1);
  tag->HeaderWrite();
}

void DBobjNDXFile::Reindex() {
  if (!disk_ || tags_.empty()) return;
  RebuildBeside(0, [this] {
    static_cast<DBobjNDXTag*>(tags_[0].get())->UseStandardLayout();
    CreateEmpty();
    nextBlock_ = 1;
    static_cast<DBobjNDXTag*>(tags_[0].get())->Build();
  });
}

void RegisterNdxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add) {
  add(".NDX", [](DBO_dBHandler& table, const AnsiString& name) -> std::unique_ptr<DBobjIndexFile> {
    return std::make_unique<DBobjNDXFile>(&table, name, false, false, table.IsShared(), table.IsReadWrite());
  });
}
