#include "tables/db_cdx.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "tables/db_eror.h"
#include "tables/db_memo.h"

namespace {

std::size_t CommonPrefix(const std::string& a, const std::string& b) {
  std::size_t n = 0;
  while (n < a.size() && n < b.size() && a[n] == b[n]) ++n;
  return n;
}

constexpr std::int64_t kNoSibling = 0xFFFFFFFFll;

// The GENERAL collation: each byte's primary weight (the letter, case and accent aside)
// and secondary weight (case and accent; 0 for none, 0x80 for a letter that expands).
constexpr std::array<std::uint8_t, 256> kGeneralPrimary = {
    0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x11, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
    0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20,
    0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E, 0x5F, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
    0x27, 0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x70, 0x72,
    0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x28, 0x29, 0x2A, 0x2B, 0x2C,
    0x2D, 0x60, 0x61, 0x62, 0x64, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x70, 0x72,
    0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x2E, 0x2F, 0x30, 0x31, 0x10,
    0x10, 0x10, 0x18, 0x32, 0x13, 0x33, 0x34, 0x35, 0x36, 0x37, 0x76, 0x18, 0x00, 0x10, 0x10, 0x10,
    0x10, 0x18, 0x18, 0x13, 0x13, 0x38, 0x1E, 0x1E, 0x39, 0x3A, 0x76, 0x18, 0x00, 0x10, 0x10, 0x7D,
    0x20, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x13, 0x45, 0x1E, 0x46, 0x47,
    0x48, 0x49, 0x58, 0x59, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x57, 0x4F, 0x13, 0x50, 0x51, 0x52, 0x53,
    0x60, 0x60, 0x60, 0x60, 0x60, 0x60, 0x06, 0x62, 0x66, 0x66, 0x66, 0x66, 0x6A, 0x6A, 0x6A, 0x6A,
    0x65, 0x70, 0x72, 0x72, 0x72, 0x72, 0x72, 0x54, 0x81, 0x78, 0x78, 0x78, 0x78, 0x7D, 0x12, 0x0C,
    0x60, 0x60, 0x60, 0x60, 0x60, 0x60, 0x06, 0x62, 0x66, 0x66, 0x66, 0x66, 0x6A, 0x6A, 0x6A, 0x6A,
    0x65, 0x70, 0x72, 0x72, 0x72, 0x72, 0x72, 0x55, 0x81, 0x78, 0x78, 0x78, 0x78, 0x7D, 0x12, 0x7D,
};
constexpr std::array<std::uint8_t, 256> kGeneralSecondary = {
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x20, 0x00, 0x20, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x20, 0x20,
    0x00, 0x00, 0x00, 0x20, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x20, 0x00, 0x20, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x20, 0x20,
    0x00, 0x00, 0x00, 0x20, 0x00, 0x20, 0x00, 0x00, 0x00, 0x20, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00, 0x80, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x28, 0x00, 0x80, 0x00, 0x00, 0x24,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
    0x22, 0x21, 0x23, 0x25, 0x24, 0x26, 0x80, 0x27, 0x22, 0x21, 0x23, 0x24, 0x22, 0x21, 0x23, 0x24,
    0x00, 0x25, 0x22, 0x21, 0x23, 0x25, 0x24, 0x00, 0x00, 0x22, 0x21, 0x23, 0x24, 0x21, 0x80, 0x80,
    0x22, 0x21, 0x23, 0x25, 0x24, 0x26, 0x80, 0x27, 0x22, 0x21, 0x23, 0x24, 0x22, 0x21, 0x23, 0x24,
    0x00, 0x25, 0x22, 0x21, 0x23, 0x25, 0x24, 0x00, 0x00, 0x22, 0x21, 0x23, 0x24, 0x21, 0x80, 0x24,
};

// Letters written as two: at the offset named by their primary weight, a flag (not 0 when
// the letter expands), the first weight and secondary, the second weight and secondary.
constexpr std::array<std::uint8_t, 30> kGeneralExpansion = {
    2, 0x72, 0x20, 0x66, 0x20, 0,  // OE
    2, 0x60, 0x20, 0x66, 0x20, 0,  // AE
    2, 0x76, 0x20, 0x76, 0x20, 0,  // SS
    2, 0x77, 0x00, 0x69, 0x00, 0,  // TH
    0, 0,    0,    0,    0,    0,
};

}  // namespace

std::string DBobjCDXTag::GeneralKey(std::string_view text) {
  std::string primary, secondary;
  primary.reserve(text.size() + 2);
  auto addSecondary = [&secondary](std::uint8_t s) {
    if (s != 0) secondary.push_back(static_cast<char>(s | 0xF0));
  };
  for (const char ch : text) {
    const auto c = static_cast<std::uint8_t>(ch);
    std::uint8_t p = kGeneralPrimary[c];
    const std::uint8_t s = kGeneralSecondary[c];
    const std::uint8_t* e = p % 6 == 0 && p <= 24 ? kGeneralExpansion.data() + p : nullptr;
    if (e && e[0] != 0) {
      primary.push_back(static_cast<char>(e[1]));
      p = e[3];
    }
    primary.push_back(static_cast<char>(p));
    if (s == 0x80) {
      if (e) {
        addSecondary(e[2]);
        addSecondary(e[4]);
      }
    } else {
      addSecondary(s);
    }
  }
  while (!secondary.empty() && static_cast<std::uint8_t>(secondary.back()) == 0xF0) secondary.pop_back();
  return primary + secondary;
}

std::string DBobjCDXTag::NodeForm(std::string key) const {
  if (!Collated()) return key;
  for (auto it = key.rbegin(); it != key.rend() && static_cast<std::uint8_t>(*it) >= 0xF0; ++it)
    *it = static_cast<char>(*it & 0x0F);
  return key;
}

std::string DBobjCDXTag::KeyOfNode(std::string key) const {
  key = Strip(std::move(key));
  if (!Collated()) return key;
  for (auto it = key.rbegin(); it != key.rend() && static_cast<std::uint8_t>(*it) <= 0x0F; ++it)
    *it = static_cast<char>(*it | 0xF0);
  return key;
}

// --- Tag -------------------------------------------------------------------------------------

DBobjCDXTag::DBobjCDXTag(DBobjCDXFile& file, std::string_view name, std::int64_t headerOffset)
    : DBobjIndexTagBase(file, name), headerOffset_(headerOffset) {}

DBobjCDXTag::LeafLayout DBobjCDXTag::LayoutFor(std::int64_t keyLength, std::int64_t maxRecNo, bool live) {
  LeafLayout l;
  int k = 0;
  while (keyLength >= (std::int64_t{1} << k)) ++k;
  l.dupBits = l.trailBits = k;
  l.dupMask = l.trailMask = static_cast<std::uint8_t>((1u << k) - 1);
  l.bytes = 3;
  l.recBits = 24 - 2 * k;
  auto mask = [](int bits) { return bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1; };
  while (mask(l.recBits) < static_cast<std::uint64_t>(std::max<std::int64_t>(maxRecNo, 0))) {
    if (l.recBits >= 31) break;
    ++l.bytes;
    l.recBits += 8;
    if (live && l.recBits > 31) l.recBits = 31;
  }
  if (l.recBits > 31) l.recBits = 31;
  l.recMask = mask(l.recBits);
  return l;
}

std::string DBobjCDXTag::KeyFormat(const TdbExpValue& value) const {
  if (keyType_ == 'C' || IsDirectory()) {
    const std::string t = TextKey(value);
    if (IsDirectory()) return AnsiUpperCase(t);
    if (!general_) return t;
    // Weights cut to the key length; a last weight equal to the blank is lost in the
    // nodes, so it is dropped here too.
    std::string key = GeneralKey(t);
    if (static_cast<std::int64_t>(key.size()) > keyLength_) key.resize(static_cast<std::size_t>(keyLength_));
    return Strip(std::move(key));
  }
  double d = value.kind == ek::Text ? 0 : value.number;
  if (keyType_ == 'D' && d >= kEmptyExpDate / 2) d = 0;  // the empty date: day 0, first
  return SortFormOfDouble(d);
}

std::string DBobjCDXTag::Strip(std::string key) const {
  const char pad = Pad();
  while (!key.empty() && key.back() == pad) key.pop_back();
  return key;
}

bool DBobjCDXTag::HeaderRead() {
  std::array<std::uint8_t, 1024> h{};
  const std::int64_t size = file_.FileSize();
  if (headerOffset_ < 0 || headerOffset_ % kBlock != 0 || headerOffset_ + 1024 > size ||
      !file_.ReadBlock(headerOffset_, h.data(), 1024))
    return false;
  root_ = GetLE32(h.data());
  counter_ = GetLE32(h.data() + 8);
  const std::int64_t keyLength = GetLE16(h.data() + 12);
  keyLength_ = keyLength;
  options_ = h[14];
  if (root_ <= 0 || root_ % kBlock != 0 || root_ + kBlock > size || keyLength_ <= 0 || keyLength_ > 240) return false;
  const char* collation = reinterpret_cast<const char*>(h.data() + 494);
  general_ = AnsiSameText(std::string_view(collation, strnlen(collation, 8)), "GENERAL");
  descending_ = GetLE16(h.data() + 502) != 0;
  unique_ = (options_ & kOptUnique) != 0;
  if (IsDirectory()) {
    keyType_ = 'C';
    return true;
  }
  // The expressions: zero-terminated texts in the second block.
  const char* text = reinterpret_cast<const char*>(h.data() + 512);
  const std::size_t keyLen = strnlen(text, 512);
  if (keyLen == 0 || keyLen >= 512) return false;
  AnsiString keyExpr(text, keyLen);
  AnsiString forExpr;
  if (options_ & kOptFor) {
    const std::size_t forLen = strnlen(text + keyLen + 1, 512 - keyLen - 1);
    if (keyLen + 1 + forLen >= 512) return false;
    forExpr.assign(text + keyLen + 1, forLen);
  }
  try {
    InitExpressions(keyExpr, forExpr);
  } catch (const std::exception&) {
    return false;  // an expression this table cannot evaluate
  }
  // The key just evaluated is the current record's: the header's length holds for every
  // record.
  if (keyType_ != 'C' && keyLength != 8) return false;
  keyLength_ = keyLength;
  return true;
}

void DBobjCDXTag::HeaderWrite() {
  std::array<std::uint8_t, 1024> h{};
  PutLE32(h.data(), static_cast<std::uint32_t>(root_));
  PutLE32(h.data() + 8, IsDirectory() ? file_.Stamp() : counter_);
  PutLE16(h.data() + 12, static_cast<std::uint16_t>(keyLength_));
  std::uint8_t opt = options_;
  opt = static_cast<std::uint8_t>(unique_ ? (opt | kOptUnique) : (opt & ~kOptUnique));
  opt = static_cast<std::uint8_t>(!forText_.empty() ? (opt | kOptFor) : (opt & ~kOptFor));
  h[14] = opt;
  h[15] = general_ ? 2 : 1;
  if (general_) std::memcpy(h.data() + 494, "GENERAL", 7);
  PutLE16(h.data() + 502, descending_ ? 1 : 0);
  PutLE16(h.data() + 504, static_cast<std::uint16_t>(keyText_.size() + 1));
  PutLE16(h.data() + 506, static_cast<std::uint16_t>(forText_.empty() ? 1 : forText_.size() + 1));
  PutLE16(h.data() + 510, static_cast<std::uint16_t>(keyText_.size() + 1));
  std::memcpy(h.data() + 512, keyText_.data(), keyText_.size());
  if (!forText_.empty()) std::memcpy(h.data() + 512 + keyText_.size() + 1, forText_.data(), forText_.size());
  file_.WriteBlock(headerOffset_, h.data(), 1024);
}

void DBobjCDXTag::RootRead() {
  std::array<std::uint8_t, 4> r{};
  const std::int64_t size = file_.FileSize();
  if (headerOffset_ < 0 || headerOffset_ + 1024 > size || !file_.ReadBlock(headerOffset_, r.data(), 4)) file_.Damaged();
  const std::int64_t root = GetLE32(r.data());
  if (root <= 0 || root % kBlock != 0 || root + kBlock > size) file_.Damaged();
  root_ = root;
}

void DBobjCDXTag::TagInit(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending,
                          bool directory) {
  unique_ = unique;
  descending_ = descending;
  options_ = directory ? 0xE0 : 0x60;
  if (directory) {
    keyType_ = 'C';
    keyLength_ = 10;
    WriteEmptyRoot(file_.NextBlock());
    HeaderWrite();
    return;
  }
  if (Trim(keyExpr).size() + Trim(forExpr).size() + 2 > 512) throw EDbfError("Index expression is too long");
  InitExpressions(keyExpr, forExpr);
  if (keyLength_ > 240 || keyLength_ < 1) throw EDbfError("Sort key length greater than 240 bytes");
  HeaderWrite();
  Build();
}

void DBobjCDXTag::PageLoad(DBobjIndexKey& page) {
  std::array<std::uint8_t, kBlock> b{};
  const std::int64_t size = file_.PageFileSize();
  if (page.block < kBlock || page.block % kBlock != 0 || page.block + kBlock > size ||
      !file_.ReadBlock(page.block, b.data(), kBlock))
    file_.Damaged();
  const std::uint16_t attr = GetLE16(b.data());
  const std::int64_t count = GetLE16(b.data() + 2);
  const std::int64_t leftLink = GetLE32(b.data() + 4), rightLink = GetLE32(b.data() + 8);
  page.left = leftLink == kNoSibling ? -1 : leftLink;
  page.right = rightLink == kNoSibling ? -1 : rightLink;
  page.leaf = (attr & 2) != 0;
  page.root = (attr & 1) != 0;
  page.keys.clear();
  page.pos = -1;
  if (attr > 3) file_.Damaged();
  if (!page.leaf) {
    if (count > MaxInterior()) file_.Damaged();
    page.keys.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
      const std::uint8_t* e = b.data() + 12 + i * (keyLength_ + 8);
      DBobjIndexKeyData k;
      k.value = KeyOfNode(std::string(reinterpret_cast<const char*>(e), static_cast<std::size_t>(keyLength_)));
      k.recNo = GetBE32(e + keyLength_);
      k.link = GetBE32(e + keyLength_ + 4);
      if (k.link < kBlock || k.link % kBlock != 0 || k.link + kBlock > size || k.link == page.block) file_.Damaged();
      page.keys.push_back(std::move(k));
    }
    return;
  }
  const std::uint32_t recMask = GetLE32(b.data() + 14);
  const std::uint8_t dupMask = b[18], trailMask = b[19];
  const int dupBits = b[21], trailBits = b[22], bytes = b[23];
  // Both counts sit in the entry's last two bytes, each at least one bit wide.
  if (bytes < 2 || bytes > 8 || dupBits < 1 || trailBits < 1 || dupBits + trailBits > 16 ||
      count * bytes > kLeafArea)
    file_.Damaged();
  const int shiftTrail = 8 * bytes - trailBits, shiftDup = 8 * bytes - trailBits - dupBits;
  std::string prev(static_cast<std::size_t>(keyLength_), Pad());
  std::int64_t tailEnd = kBlock;  // tails run from the end of the node towards the entries
  const std::int64_t entriesEnd = 24 + count * bytes;
  page.keys.reserve(static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    std::uint64_t v = 0;
    for (int j = bytes - 1; j >= 0; --j) v = (v << 8) | b[static_cast<std::size_t>(24 + i * bytes + j)];
    const std::int64_t recNo = static_cast<std::int64_t>(v & recMask);
    const std::int64_t dup = static_cast<std::int64_t>((v >> shiftDup) & dupMask);
    const std::int64_t trail = static_cast<std::int64_t>((v >> shiftTrail) & trailMask);
    const std::int64_t tail = keyLength_ - dup - trail;
    if (tail < 0 || (i == 0 && dup != 0) || tailEnd - tail < entriesEnd) file_.Damaged();
    tailEnd -= tail;
    std::string full = prev.substr(0, static_cast<std::size_t>(dup));
    full.append(reinterpret_cast<const char*>(b.data() + tailEnd), static_cast<std::size_t>(tail));
    full.append(static_cast<std::size_t>(trail), Pad());
    DBobjIndexKeyData k;
    k.value = KeyOfNode(full);
    k.recNo = recNo;
    k.link = recNo;
    page.keys.push_back(std::move(k));
    prev = std::move(full);
  }
}

DBobjCDXTag::LeafLayout DBobjCDXTag::PageLayout(const DBobjIndexKey& page) const {
  std::int64_t maxRec = 0;
  for (const auto& k : page.keys) maxRec = std::max(maxRec, k.recNo);
  const std::int64_t count = file_.Table() ? file_.Table()->RecordCount() : 0;
  return LayoutFor(keyLength_, std::max(maxRec, count), true);
}

std::int64_t DBobjCDXTag::LeafBytes(const DBobjIndexKey& page, const LeafLayout& l, std::size_t count) const {
  // As PageStore packs them: shared leading bytes and trailing blanks of the padded keys cut.
  std::int64_t total = 0;
  const char pad = Pad();
  const std::string* prev = nullptr;
  std::array<std::string, 2> stored;  // node forms of this key and the one before
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& key = Collated() ? (stored[i % 2] = NodeForm(page.keys[i].value)) : page.keys[i].value;
    const auto len = std::min<std::int64_t>(static_cast<std::int64_t>(key.size()), keyLength_);
    std::int64_t used = len;  // the key without its trailing pad bytes
    while (used > 0 && key[static_cast<std::size_t>(used - 1)] == pad) --used;
    std::int64_t dup = 0;
    if (prev) {
      const auto plen = std::min<std::int64_t>(static_cast<std::int64_t>(prev->size()), keyLength_);
      auto at = [&](const std::string& s, std::int64_t n, std::int64_t j) {
        return j < n ? s[static_cast<std::size_t>(j)] : pad;
      };
      while (dup < used && at(*prev, plen, dup) == at(key, len, dup)) ++dup;
    }
    total += l.bytes + (used - dup);
    prev = &key;
  }
  return total;
}

bool DBobjCDXTag::PageFits(const DBobjIndexKey& page) const {
  if (!page.leaf) return static_cast<std::int64_t>(page.keys.size()) <= MaxInterior();
  return LeafBytes(page, PageLayout(page), page.keys.size()) <= kLeafArea;
}

std::size_t DBobjCDXTag::SplitCount(const DBobjIndexKey& page) const {
  if (!page.leaf) return page.keys.size() - page.keys.size() / 2;
  const LeafLayout l = PageLayout(page);
  std::size_t n = 1;
  while (n < page.keys.size() && LeafBytes(page, l, n + 1) < 250) ++n;
  return n;
}

void DBobjCDXTag::PageStore(DBobjIndexKey& page) {
  std::array<std::uint8_t, kBlock> b{};
  PutLE16(b.data(), static_cast<std::uint16_t>((page.leaf ? 2u : 0u) | (page.root ? 1u : 0u)));
  PutLE16(b.data() + 2, static_cast<std::uint16_t>(page.keys.size()));
  PutLE32(b.data() + 4, page.left < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(page.left));
  PutLE32(b.data() + 8, page.right < 0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(page.right));
  if (!page.leaf) {
    if (static_cast<std::int64_t>(page.keys.size()) > MaxInterior()) RaiseRangeError();
    std::memset(b.data() + 12, Pad(), 500);
    for (std::size_t i = 0; i < page.keys.size(); ++i) {
      std::uint8_t* e = b.data() + 12 + static_cast<std::int64_t>(i) * (keyLength_ + 8);
      const std::string key = NodeForm(page.keys[i].value);
      std::memcpy(e, key.data(), std::min<std::size_t>(key.size(), static_cast<std::size_t>(keyLength_)));
      PutBE32(e + keyLength_, static_cast<std::uint32_t>(page.keys[i].recNo));
      PutBE32(e + keyLength_ + 4, static_cast<std::uint32_t>(page.keys[i].link));
    }
    if (!file_.WriteBlock(page.block, b.data(), kBlock)) file_.Damaged();
    return;
  }
  LeafLayout l = PageLayout(page);
  if (LeafBytes(page, l, page.keys.size()) > kLeafArea) {
    std::int64_t maxRec = 0;
    for (const auto& k : page.keys) maxRec = std::max(maxRec, k.recNo);
    l = LayoutFor(keyLength_, maxRec, true);
    if (LeafBytes(page, l, page.keys.size()) > kLeafArea) RaiseRangeError();
  }
  PutLE32(b.data() + 14, l.recMask);
  b[18] = l.dupMask;
  b[19] = l.trailMask;
  b[20] = static_cast<std::uint8_t>(l.recBits);
  b[21] = static_cast<std::uint8_t>(l.dupBits);
  b[22] = static_cast<std::uint8_t>(l.trailBits);
  b[23] = static_cast<std::uint8_t>(l.bytes);
  const int shiftTrail = 8 * l.bytes - l.trailBits, shiftDup = 8 * l.bytes - l.trailBits - l.dupBits;
  std::string prev;
  std::int64_t tailEnd = kBlock;
  for (std::size_t i = 0; i < page.keys.size(); ++i) {
    std::string full = NodeForm(page.keys[i].value);
    full.resize(static_cast<std::size_t>(keyLength_), Pad());
    std::int64_t trail = 0;
    while (trail < keyLength_ && full[static_cast<std::size_t>(keyLength_ - 1 - trail)] == Pad()) ++trail;
    std::int64_t dup = i == 0 ? 0 : static_cast<std::int64_t>(CommonPrefix(prev, full));
    dup = std::min(dup, keyLength_ - trail);
    const std::int64_t tail = keyLength_ - dup - trail;
    tailEnd -= tail;
    std::memcpy(b.data() + tailEnd, full.data() + dup, static_cast<std::size_t>(tail));
    const std::uint64_t v = (static_cast<std::uint64_t>(page.keys[i].recNo) & l.recMask) |
                            (static_cast<std::uint64_t>(dup) << shiftDup) |
                            (static_cast<std::uint64_t>(trail) << shiftTrail);
    for (int j = 0; j < l.bytes; ++j)
      b[static_cast<std::size_t>(24 + static_cast<std::int64_t>(i) * l.bytes + j)] = static_cast<std::uint8_t>(v >> (8 * j));
    prev = std::move(full);
  }
  const std::int64_t used = 24 + static_cast<std::int64_t>(page.keys.size()) * l.bytes;
  if (tailEnd < used) RaiseRangeError();
  PutLE16(b.data() + 12, static_cast<std::uint16_t>(tailEnd - used));
  if (!file_.WriteBlock(page.block, b.data(), kBlock)) file_.Damaged();
}

// --- File ----------------------------------------------------------------------------------------

DBobjCDXFile::DBobjCDXFile(DBO_dBHandler* table, std::string_view name, bool create, bool overwrite, bool shared,
                           bool readWrite)
    : DBobjIndexFileBase(table, name, create, overwrite, shared, readWrite, ".CDX") {
  if (!disk_) return;
  if (FileSize() > DBobjCDXTag::kBlock) {
    directory_ = std::make_unique<DBobjCDXTag>(*this, stem_, 0);
    if (!directory_->HeaderRead() || !directory_->IsDirectory()) {
      invalid_ = true;
      return;
    }
    try {
      std::vector<std::int64_t> seen;
      for (const auto& [tagName, offset] : directory_->AllKeys()) {
        if (std::find(seen.begin(), seen.end(), offset) != seen.end() || offset == 0) {
          invalid_ = true;
          return;
        }
        seen.push_back(offset);
        auto tag = std::make_unique<DBobjCDXTag>(*this, tagName, offset);
        if (!tag->HeaderRead() || tag->IsDirectory()) {
          invalid_ = true;
          return;
        }
        tags_.push_back(std::move(tag));
      }
    } catch (const EDbfError&) {
      invalid_ = true;
      return;
    }
  } else {
    if (!disk_->IsReadWrite()) {
      invalid_ = true;
      return;
    }
    nextBlock_ = 0;
    directory_ = std::make_unique<DBobjCDXTag>(*this, stem_, NextBlock());
    NextBlock();
    directory_->TagInit("", "", false, false, true);
  }
  RememberState();
  if (table && AnsiSameText(stem_, ExtractNameNoExt(table->FileName()))) {
    try {
      table->MarkProductionIndex();
    } catch (const EDbfError&) {
    }
  }
}

DBobjCDXFile::~DBobjCDXFile() {
  tags_.clear();
  directory_.reset();
}

std::int64_t DBobjCDXFile::NextBlock() {
  if (nextBlock_ < 0) ResetBlock();
  const std::int64_t b = nextBlock_;
  nextBlock_ += DBobjCDXTag::kBlock;
  return b;
}

void DBobjCDXFile::ResetBlock() {
  const std::int64_t size = FileSize();
  nextBlock_ = (size + DBobjCDXTag::kBlock - 1) / DBobjCDXTag::kBlock * DBobjCDXTag::kBlock;
}

void DBobjCDXFile::AddToDirectory(DBobjCDXTag& tag) {
  directory_->KeyAdd(AnsiUpperCase(tag.TagName()), tag.HeaderOffset());
}

DBobjCDXTag* DBobjCDXFile::AddTag(std::string_view name, std::string_view keyExpr, std::string_view forExpr,
                                  bool unique, bool descending) {
  if (!disk_ || !directory_) return nullptr;
  const AnsiString tagName = AnsiUpperCase(Trim(name));
  if (tagName.empty() || tagName.size() > 10) throw EDbfError(Format("Invalid tag name %s", {tagName}));
  TdbTagListChange alone(*disk_);
  if (!alone.Held()) return nullptr;
  TdbIndexLock lock(*this);
  ResetBlock();
  // A tag of the same (whole) name is replaced.
  for (auto it = tags_.begin(); it != tags_.end(); ++it) {
    if (!AnsiSameText((*it)->TagName(), tagName)) continue;
    directory_->KeyDelete(tagName, static_cast<DBobjCDXTag*>(it->get())->HeaderOffset());
    tags_.erase(it);
    break;
  }
  const std::int64_t header = NextBlock();
  NextBlock();
  auto tag = std::make_unique<DBobjCDXTag>(*this, tagName, header);
  tag->TagInit(keyExpr, forExpr, unique, descending, false);
  AddToDirectory(*tag);
  tags_.push_back(std::move(tag));
  return static_cast<DBobjCDXTag*>(tags_.back().get());
}

bool DBobjCDXFile::DeleteTag(std::string_view name) {
  if (tags_.empty() || !directory_) return false;
  for (auto it = tags_.begin(); it != tags_.end(); ++it) {
    if (!AnsiSameText((*it)->TagName(), Trim(name))) continue;
    TdbTagListChange alone(*disk_);
    if (!alone.Held()) return false;
    TdbIndexLock lock(*this);
    directory_->KeyDelete(AnsiUpperCase((*it)->TagName()), static_cast<DBobjCDXTag*>(it->get())->HeaderOffset());
    tags_.erase(it);
    alone.End();
    if (tags_.empty()) Reindex();
    return true;
  }
  return false;
}

void DBobjCDXFile::Reindex() {
  if (!disk_ || !directory_) return;
  RebuildBeside(0, [this] {
    for (auto& t : tags_) t->ResetPages(0);
    directory_->ResetPages(0);
    disk_->Truncate(1024);
    nextBlock_ = 1024;
    directory_->WriteEmptyRoot(NextBlock());
    directory_->HeaderWrite();
    for (auto& t : tags_) {
      auto* tag = static_cast<DBobjCDXTag*>(t.get());
      tag->SetHeaderOffset(NextBlock());
      NextBlock();
      tag->HeaderWrite();
      tag->Build();
      AddToDirectory(*tag);
    }
  });
}

std::vector<std::int64_t> DBobjCDXFile::SavePlaces() const {
  std::vector<std::int64_t> out = DBobjIndexFileBase::SavePlaces();
  if (directory_) {
    const std::vector<std::int64_t> d = directory_->Place();
    out.insert(out.end(), d.begin(), d.end());
    out.push_back(std::ssize(d));
  }
  return out;
}

void DBobjCDXFile::RestorePlaces(const std::vector<std::int64_t>& places) {
  DBobjIndexFileBase::RestorePlaces(places);
  if (!directory_ || places.empty()) return;
  const auto n = static_cast<std::size_t>(places.back());
  if (n + 1 > places.size()) return;
  directory_->SetPlace(std::vector<std::int64_t>(places.end() - 1 - static_cast<std::ptrdiff_t>(n), places.end() - 1));
  directory_->ResetPages(0);
}

void DBobjCDXFile::Reload() {
  nextBlock_ = -1;
  if (directory_) {
    directory_->Reload();
    // A tag rebuilt by another process may have a new header: its offset as listed.
    for (const auto& [tagName, offset] : directory_->AllKeys())
      for (auto& t : tags_)
        if (AnsiSameText(t->TagName(), tagName)) static_cast<DBobjCDXTag*>(t.get())->SetHeaderOffset(offset);
  }
  DBobjIndexFileBase::Reload();
}

void RegisterCdxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add) {
  add(".CDX", [](DBO_dBHandler& table, const AnsiString& name) -> std::unique_ptr<DBobjIndexFile> {
    return std::make_unique<DBobjCDXFile>(&table, name, false, false, table.IsShared(), table.IsReadWrite());
  });
}
