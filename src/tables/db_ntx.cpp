#include "tables/db_ntx.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "tables/db_eror.h"
#include "tables/db_memo.h"
#include "tables/db_tool.h"

namespace {

constexpr std::int64_t kHeaderKeyExpr = 22, kHeaderForExpr = 282;

}  // namespace

// --- Tag ---------------------------------------------------------------------------------------

DBobjNTXTag::DBobjNTXTag(DBobjNTXFile& file, std::string_view name) : DBobjIndexTagBase(file, name) {}

std::string DBobjNTXTag::KeyFormat(const TdbExpValue& value) const {
  if (keyType_ == 'N') {
    const double v = value.kind == ek::Text ? 0 : value.number;
    char buf[400];
    const int width = static_cast<int>(keyLength_);
    std::snprintf(buf, sizeof buf, "%0*.*f", width, std::clamp(keyDecimals_, 0, 15), std::fabs(v));
    std::string t = buf;
    if (static_cast<int>(t.size()) > width) t = std::string(static_cast<std::size_t>(width), '9');
    std::replace(t.begin(), t.end(), ' ', '0');
    if (v < 0)
      for (char& c : t)
        if (c >= '0' && c <= '9') c = static_cast<char>(92 - c);
    return t;
  }
  if (keyType_ == 'D') {
    const double j = value.kind == ek::Text ? 0 : value.number;
    if (!(j > 0) || j >= kEmptyExpDate / 2) return "00000000";
    AnsiString t = DBFDate().JulianToDBF(static_cast<std::int64_t>(j));
    return t.find(' ') != AnsiString::npos ? std::string("00000000") : t;
  }
  // Text keys are stored through the table's collation, so that their bytes sort in it.
  std::string t = TextKey(value);
  if (const std::uint8_t* collation = TableCollation())
    for (char& c : t) c = static_cast<char>(collation[static_cast<std::uint8_t>(c)]);
  return t;
}

bool DBobjNTXTag::HeaderRead() {
  std::array<std::uint8_t, kPage> h{};
  const std::int64_t size = file_.FileSize();
  if (size < kPage || !file_.ReadBlock(0, h.data(), kPage)) return false;
  const std::uint16_t sig = GetLE16(h.data());
  root_ = GetLE32(h.data() + 4);
  const std::int64_t itemSize = GetLE16(h.data() + 12);
  keyLength_ = GetLE16(h.data() + 14);
  const std::int64_t decimals = GetLE16(h.data() + 16);
  maxKeys_ = GetLE16(h.data() + 18);
  if ((sig & ~1) != 6 || keyLength_ < 1 || keyLength_ > 250 || itemSize != keyLength_ + 8 || maxKeys_ < 2 ||
      (maxKeys_ + 1) * (itemSize + 2) + 2 > kPage || decimals > 15 || root_ < kPage || root_ % kPage != 0 ||
      root_ + kPage > size)
    return false;
  const char* key = reinterpret_cast<const char*>(h.data() + kHeaderKeyExpr);
  const std::size_t keyLen = strnlen(key, 256);
  if (keyLen == 0 || keyLen >= 256) return false;
  const char* forText = reinterpret_cast<const char*>(h.data() + kHeaderForExpr);
  const std::size_t forLen = strnlen(forText, static_cast<std::size_t>(kPage - kHeaderForExpr));
  if (forLen >= static_cast<std::size_t>(kPage - kHeaderForExpr)) return false;
  unique_ = h[278] != 0;
  descendingFlag_ = h[279] != 0;
  try {
    InitExpressions(AnsiString(key, keyLen), (sig & 1) ? AnsiString(forText, forLen) : AnsiString());
  } catch (const std::exception&) {
    return false;
  }
  keyLength_ = GetLE16(h.data() + 14);
  keyDecimals_ = static_cast<std::int32_t>(decimals);
  return true;
}

void DBobjNTXTag::HeaderWrite() {
  std::array<std::uint8_t, kPage> h{};
  PutLE16(h.data(), forText_.empty() ? 6 : 7);
  PutLE16(h.data() + 2, static_cast<std::uint16_t>(file_.Stamp()));
  PutLE32(h.data() + 4, static_cast<std::uint32_t>(root_));
  PutLE16(h.data() + 12, static_cast<std::uint16_t>(ItemSize()));
  PutLE16(h.data() + 14, static_cast<std::uint16_t>(keyLength_));
  PutLE16(h.data() + 16, static_cast<std::uint16_t>(keyType_ == 'N' ? keyDecimals_ : 0));
  PutLE16(h.data() + 18, static_cast<std::uint16_t>(maxKeys_));
  PutLE16(h.data() + 20, static_cast<std::uint16_t>(maxKeys_ / 2));
  std::memcpy(h.data() + kHeaderKeyExpr, keyText_.data(), keyText_.size());
  h[278] = unique_ ? 1 : 0;
  h[279] = descendingFlag_ ? 1 : 0;
  std::memcpy(h.data() + kHeaderForExpr, forText_.data(), forText_.size());
  file_.WriteBlock(0, h.data(), kPage);
}

void DBobjNTXTag::RootRead() {
  std::array<std::uint8_t, 4> r{};
  const std::int64_t size = file_.FileSize();
  if (!file_.ReadBlock(4, r.data(), 4)) file_.Damaged();
  const std::int64_t root = GetLE32(r.data());
  if (root < kPage || root % kPage != 0 || root + kPage > size) file_.Damaged();
  root_ = root;
}

void DBobjNTXTag::TagInit(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending) {
  if (Trim(keyExpr).size() > 255 || Trim(forExpr).size() >= static_cast<std::size_t>(kPage - kHeaderForExpr))
    throw EDbfError("Index expression is too long");
  unique_ = unique;
  descendingFlag_ = descending;  // NTX tags are kept ascending
  InitExpressions(keyExpr, forExpr);
  if (keyType_ == 'N') keyLength_ = std::clamp(keyWidth_, 1, 30);
  CheckKeyLength();
  maxKeys_ = MaxKeysFor(keyLength_);
  if (maxKeys_ < 2) throw EDbfError("Sort key length greater than 240 bytes");
  HeaderWrite();
  Build();
}

void DBobjNTXTag::WriteEmptyRootAndHeader(std::int64_t block) {
  WriteEmptyRoot(block);
  HeaderWrite();
}

void DBobjNTXTag::PageLoad(DBobjIndexKey& page) {
  std::array<std::uint8_t, kPage> b{};
  const std::int64_t size = file_.PageFileSize();
  if (page.block < kPage || page.block % kPage != 0 || page.block + kPage > size ||
      !file_.ReadBlock(page.block, b.data(), kPage))
    file_.Damaged();
  const std::int64_t count = GetLE16(b.data());
  if (count > maxKeys_) file_.Damaged();
  const std::int64_t itemSize = ItemSize(), tableEnd = 2 + 2 * (maxKeys_ + 1);
  auto item = [&](std::int64_t i) {
    const std::int64_t off = GetLE16(b.data() + 2 + 2 * i);
    if (off < tableEnd || off + itemSize > kPage) file_.Damaged();
    return b.data() + off;
  };
  auto child = [&](const std::uint8_t* it) {
    const std::int64_t c = GetLE32(it);
    if (c < kPage || c % kPage != 0 || c + kPage > size || c == page.block) file_.Damaged();
    return c;
  };
  page.leaf = GetLE32(item(0)) == 0;
  page.keys.clear();
  page.pos = -1;
  for (std::int64_t i = 0; i < count; ++i) {
    const std::uint8_t* it = item(i);
    DBobjIndexKeyData k;
    std::string key(reinterpret_cast<const char*>(it + 8), static_cast<std::size_t>(keyLength_));
    StrTrimRight(key);
    k.value = std::move(key);
    k.recNo = GetLE32(it + 4);
    k.link = page.leaf ? 0 : child(it);
    page.keys.push_back(std::move(k));
  }
  if (!page.leaf) {
    DBobjIndexKeyData top;
    top.top = true;
    top.link = child(item(count));
    page.keys.push_back(top);
  }
}

void DBobjNTXTag::PageStore(DBobjIndexKey& page) {
  std::array<std::uint8_t, kPage> b{};
  const std::int64_t n = Keys(page);
  if (n > maxKeys_ || n < 0) RaiseRangeError();
  PutLE16(b.data(), static_cast<std::uint16_t>(n));
  const std::int64_t itemSize = ItemSize(), first = 2 * maxKeys_ + 4;
  for (std::int64_t i = 0; i <= maxKeys_; ++i)
    PutLE16(b.data() + 2 + 2 * i, static_cast<std::uint16_t>(first + i * itemSize));
  for (std::size_t i = 0; i < page.keys.size(); ++i) {
    std::uint8_t* it = b.data() + first + static_cast<std::int64_t>(i) * itemSize;
    const DBobjIndexKeyData& k = page.keys[i];
    PutLE32(it, page.leaf ? 0 : static_cast<std::uint32_t>(k.link));
    if (k.top) continue;
    PutLE32(it + 4, static_cast<std::uint32_t>(k.recNo));
    std::memset(it + 8, ' ', static_cast<std::size_t>(keyLength_));
    std::memcpy(it + 8, k.value.data(), std::min<std::size_t>(k.value.size(), static_cast<std::size_t>(keyLength_)));
  }
  if (!file_.WriteBlock(page.block, b.data(), kPage)) file_.Damaged();
}

bool DBobjNTXTag::PageFits(const DBobjIndexKey& page) const { return Keys(page) <= maxKeys_; }

bool DBobjNTXTag::OnKey() const {
  if (chain_.empty()) return false;
  const DBobjIndexKey& p = chain_.back();
  return p.pos >= 0 && p.pos < Keys(p);
}

void DBobjNTXTag::DownTo(bool last) {
  for (;;) {
    DBobjIndexKey& p = chain_.back();
    if (p.leaf) {
      p.pos = last ? static_cast<std::int64_t>(p.keys.size()) - 1 : (p.keys.empty() ? -1 : 0);
      return;
    }
    p.pos = last ? Keys(p) : 0;
    const std::int64_t c = p.keys[static_cast<std::size_t>(p.pos)].link;
    chain_.push_back(EnterPage(c, static_cast<int>(chain_.size())));
  }
}

bool DBobjNTXTag::Climb(bool forward) {
  std::vector<DBobjIndexKey> saved = chain_;
  chain_.pop_back();
  while (!chain_.empty()) {
    DBobjIndexKey& q = chain_.back();
    if (forward && q.pos < Keys(q)) return true;  // the key after the child we left
    if (!forward && q.pos > 0) {
      --q.pos;
      return true;
    }
    chain_.pop_back();
  }
  chain_ = std::move(saved);
  return false;
}

bool DBobjNTXTag::DescendEdge(bool last) {
  chain_.clear();
  BeginWalk(!last);
  chain_.push_back(EnterPage(root_, 0));
  DownTo(last);
  if (OnKey()) return true;
  return Climb(!last);
}

bool DBobjNTXTag::StepInPages(bool forward) {
  if (chain_.empty()) return false;
  DBobjIndexKey& p = chain_.back();
  if (!p.leaf) {
    if (p.pos < 0 || p.pos >= Keys(p)) return false;
    const std::vector<DBobjIndexKey> saved = chain_;
    if (forward) ++p.pos;
    const std::int64_t c = p.keys[static_cast<std::size_t>(p.pos)].link;
    chain_.push_back(EnterPage(c, static_cast<int>(chain_.size())));
    DownTo(!forward);
    if (OnKey() || Climb(forward)) return true;
    chain_ = saved;
    return false;
  }
  const std::int64_t next = p.pos + (forward ? 1 : -1);
  if (next >= 0 && next < static_cast<std::int64_t>(p.keys.size())) {
    p.pos = next;
    return true;
  }
  return Climb(forward);
}

void DBobjNTXTag::DescendToLeaf(const EntryTest& atOrAfter) {
  chain_.clear();
  BeginWalk(true);
  chain_.push_back(EnterPage(root_, 0));
  for (;;) {
    DBobjIndexKey& p = chain_.back();
    std::int64_t lo = 0, hi = Keys(p);
    while (lo < hi) {
      const std::int64_t mid = (lo + hi) / 2;
      if (atOrAfter(p.keys[static_cast<std::size_t>(mid)], p.leaf))
        hi = mid;
      else
        lo = mid + 1;
    }
    p.pos = lo;
    if (p.leaf) return;
    const std::int64_t c = p.keys[static_cast<std::size_t>(lo)].link;
    chain_.push_back(EnterPage(c, static_cast<int>(chain_.size())));
  }
}

bool DBobjNTXTag::SeekFirst(const EntryTest& atOrAfter) {
  DescendToLeaf(atOrAfter);
  DBobjIndexKey& leaf = chain_.back();
  if (leaf.pos < Keys(leaf)) return true;
  // Nothing in the leaf: the key after it, up the chain, is the first.
  leaf.pos = Keys(leaf) - 1;
  return Climb(true);
}

void DBobjNTXTag::SplitUp(std::size_t level) {
  while (Keys(chain_[level]) > maxKeys_) {
    DBobjIndexKey& page = chain_[level];
    const std::int64_t n = Keys(page);
    const std::int64_t l = n - n / 2;  // the first keys (with the middle one) leave
    DBobjIndexKey left;
    left.block = file_.NextBlock();
    left.leaf = page.leaf;
    left.keys.assign(page.keys.begin(), page.keys.begin() + l - 1);
    DBobjIndexKeyData middle = page.keys[static_cast<std::size_t>(l - 1)];
    if (!page.leaf) {
      DBobjIndexKeyData top;
      top.top = true;
      top.link = middle.link;
      left.keys.push_back(top);
    }
    page.keys.erase(page.keys.begin(), page.keys.begin() + l);
    middle.link = left.block;
    middle.top = false;
    PageStore(left);
    PageStore(page);
    if (level == 0) {
      DBobjIndexKey root;
      root.block = file_.NextBlock();
      root.leaf = false;
      DBobjIndexKeyData top;
      top.top = true;
      top.link = page.block;
      root.keys = {middle, top};
      PageStore(root);
      SetRoot(root.block);
      return;
    }
    DBobjIndexKey& parent = chain_[level - 1];
    parent.keys.insert(parent.keys.begin() + parent.pos, middle);
    ++parent.pos;
    --level;
  }
  PageStore(chain_[level]);
}

bool DBobjNTXTag::KeyAdd(const std::string& key, std::int64_t recNo) {
  if (static_cast<std::int64_t>(key.size()) > keyLength_) RaiseRangeError();
  if (unique_ && SeekPair(key, 0) &&
      CompareEntry(chain_.back().keys[static_cast<std::size_t>(chain_.back().pos)], key, -1, false) == 0) {
    chain_.clear();
    return false;
  }
  DescendToLeaf(
      [&](const DBobjIndexKeyData& e, bool) { return CompareEntry(e, key, recNo, true) >= 0; });
  DBobjIndexKey& leaf = chain_.back();
  DBobjIndexKeyData e;
  e.value = key;
  e.recNo = recNo;
  leaf.keys.insert(leaf.keys.begin() + leaf.pos, e);
  SplitUp(chain_.size() - 1);
  chain_.clear();
  return true;
}

void DBobjNTXTag::RemoveEmptyLeaf(DBobjIndexKeyData& moved, bool& haveMoved) {
  haveMoved = false;
  std::size_t d = chain_.size() - 1;
  for (;;) {
    if (d == 0) {  // the whole tree is empty: the root becomes an empty leaf
      DBobjIndexKey& root = chain_[0];
      root.leaf = true;
      root.keys.clear();
      PageStore(root);
      return;
    }
    DBobjIndexKey& q = chain_[d - 1];
    const std::int64_t j = q.pos;
    if (j < Keys(q)) {
      moved = q.keys[static_cast<std::size_t>(j)];
      q.keys.erase(q.keys.begin() + j);
      break;
    }
    if (Keys(q) > 0) {
      moved = q.keys[static_cast<std::size_t>(j - 1)];
      q.keys[static_cast<std::size_t>(j)].link = moved.link;
      q.keys.erase(q.keys.begin() + j - 1);
      break;
    }
    --d;  // the parent held only the empty page: it goes as well
  }
  haveMoved = true;
  moved.link = 0;
  moved.top = false;
  DBobjIndexKey& q = chain_[d - 1];
  if (Keys(q) > 0) {
    PageStore(q);
  } else if (d - 1 == 0) {
    SetRoot(q.keys[0].link);  // a root with one child gives way to it
  } else {
    DBobjIndexKey& g = chain_[d - 2];
    g.keys[static_cast<std::size_t>(g.pos)].link = q.keys[0].link;
    PageStore(g);
  }
}

bool DBobjNTXTag::KeyDelete(const std::string& key, std::int64_t recNo) {
  if (!SeekPair(key, recNo) ||
      CompareEntry(chain_.back().keys[static_cast<std::size_t>(chain_.back().pos)], key, recNo, true) != 0) {
    chain_.clear();
    return false;
  }
  if (!chain_.back().leaf) {
    // A key of an interior page gives way to the greatest key below it on its left.
    const std::size_t at = chain_.size() - 1;
    DBobjIndexKey& p = chain_[at];
    RestartWalk(false);  // back into the subtree left of the key
    chain_.push_back(EnterPage(p.keys[static_cast<std::size_t>(p.pos)].link, static_cast<int>(chain_.size())));
    DownTo(true);
    if (chain_.back().keys.empty()) {
      // An empty leaf on the way: take it out and start again.
      DBobjIndexKeyData moved;
      bool haveMoved = false;
      RemoveEmptyLeaf(moved, haveMoved);
      chain_.clear();
      if (haveMoved) KeyAdd(moved.value, moved.recNo);
      return KeyDelete(key, recNo);
    }
    DBobjIndexKey& leaf = chain_.back();
    DBobjIndexKeyData& target = chain_[at].keys[static_cast<std::size_t>(chain_[at].pos)];
    target.value = leaf.keys.back().value;
    target.recNo = leaf.keys.back().recNo;
    PageStore(chain_[at]);
    leaf.pos = static_cast<std::int64_t>(leaf.keys.size()) - 1;
  }
  DBobjIndexKey& leaf = chain_.back();
  leaf.keys.erase(leaf.keys.begin() + leaf.pos);
  if (!leaf.keys.empty() || chain_.size() == 1) {
    PageStore(leaf);
    chain_.clear();
    return true;
  }
  DBobjIndexKeyData moved;
  bool haveMoved = false;
  RemoveEmptyLeaf(moved, haveMoved);
  chain_.clear();
  if (haveMoved) KeyAdd(moved.value, moved.recNo);
  return true;
}

void DBobjNTXTag::BuildFromSort(TdbSort& sort) {
  chain_.clear();
  std::vector<DBobjIndexKey> levels;
  auto write = [&](DBobjIndexKey& p) {
    p.block = file_.NextBlock();
    PageStore(p);
  };
  std::function<void(std::size_t, DBobjIndexKeyData)> add = [&](std::size_t level, DBobjIndexKeyData e) {
    if (level >= static_cast<std::size_t>(kMaxDepth)) RaiseRangeError();
    if (level == levels.size()) {
      DBobjIndexKey p;
      p.leaf = level == 0;
      levels.push_back(std::move(p));
    }
    if (static_cast<std::int64_t>(levels[level].keys.size()) < maxKeys_) {
      levels[level].keys.push_back(std::move(e));
      return;
    }
    DBobjIndexKey& page = levels[level];
    if (level == 0) {
      // A full leaf is written; the arriving key goes up with it as its child.
      write(page);
      e.link = page.block;
      levels[0] = DBobjIndexKey{};
      add(1, std::move(e));
      return;
    }
    // A full interior page gives up its last key, which keeps only its child.
    DBobjIndexKeyData up = page.keys.back();
    page.keys.back().top = true;
    page.keys.back().value.clear();
    write(page);
    up.link = page.block;
    DBobjIndexKey fresh;
    fresh.leaf = false;
    fresh.keys.push_back(std::move(e));
    levels[level] = std::move(fresh);
    add(level + 1, std::move(up));
  };
  std::string key;
  std::int64_t rec = 0;
  while (sort.NextBytes(key, rec)) {
    DBobjIndexKeyData e;
    e.value = key;
    e.recNo = rec;
    add(0, std::move(e));
  }
  if (levels.empty()) levels.emplace_back();
  for (std::size_t level = 0; level < levels.size(); ++level) {
    write(levels[level]);
    if (level + 1 == levels.size()) {
      SetRoot(levels[level].block);
      break;
    }
    DBobjIndexKeyData top;
    top.top = true;
    top.link = levels[level].block;
    levels[level + 1].keys.push_back(top);
  }
}

// --- File ----------------------------------------------------------------------------------------

DBobjNTXFile::DBobjNTXFile(DBO_dBHandler* table, std::string_view name, bool create, bool overwrite, bool shared,
                           bool readWrite)
    : DBobjIndexFileBase(table, name, create, overwrite, shared, readWrite, ".NTX") {
  stamp_ = 1;
  if (OpenSingleTag<DBobjNTXTag>(*this)) ResetBlock();
}

DBobjNTXFile::~DBobjNTXFile() { tags_.clear(); }

std::int64_t DBobjNTXFile::NextBlock() {
  if (nextBlock_ < 0) ResetBlock();
  const std::int64_t b = nextBlock_;
  nextBlock_ += DBobjNTXTag::kPage;
  return b;
}

void DBobjNTXFile::ResetBlock() {
  const std::int64_t size = FileSize();
  nextBlock_ = (size + DBobjNTXTag::kPage - 1) / DBobjNTXTag::kPage * DBobjNTXTag::kPage;
}

DBobjNTXTag* DBobjNTXFile::AddTag(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending) {
  if (!disk_) return nullptr;
  tags_.clear();
  nextBlock_ = 0;
  NextBlock();  // the header
  auto tag = std::make_unique<DBobjNTXTag>(*this, stem_);
  tag->TagInit(keyExpr, forExpr, unique, descending);
  tags_.push_back(std::move(tag));
  return static_cast<DBobjNTXTag*>(tags_.back().get());
}

void DBobjNTXFile::CreateEmpty() {
  if (!disk_ || tags_.empty()) return;
  TdbIndexLock lock(*this);
  tags_[0]->ResetPages(0);
  disk_->Truncate(DBobjNTXTag::kPage);
  nextBlock_ = DBobjNTXTag::kPage;
  stamp_ = 1;
  static_cast<DBobjNTXTag*>(tags_[0].get())->WriteEmptyRootAndHeader(NextBlock());
}

void DBobjNTXFile::Reindex() {
  if (!disk_ || tags_.empty()) return;
  RebuildBeside(0, [this] {
    CreateEmpty();
    nextBlock_ = DBobjNTXTag::kPage;
    static_cast<DBobjNTXTag*>(tags_[0].get())->Build();
  });
}

void RegisterNtxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add) {
  add(".NTX", [](DBO_dBHandler& table, const AnsiString& name) -> std::unique_ptr<DBobjIndexFile> {
    return std::make_unique<DBobjNTXFile>(&table, name, false, false, table.IsShared(), table.IsReadWrite());
  });
}
