#include "tables/db_ixbase.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/core/Files.h"
#include "tables/db_eror.h"
#include "tables/db_memo.h"

namespace {

constexpr std::int32_t kIndexDamaged = 2112;

int Sign(int c) { return c < 0 ? -1 : (c > 0 ? 1 : 0); }

int CompareBytes(std::string_view a, std::string_view b, const std::uint8_t* collation = nullptr) {
  const std::size_t n = std::min(a.size(), b.size());
  if (collation) {
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint8_t x = collation[static_cast<std::uint8_t>(a[i])], y = collation[static_cast<std::uint8_t>(b[i])];
      if (x != y) return x < y ? -1 : 1;
    }
  } else if (n > 0) {
    if (const int c = std::memcmp(a.data(), b.data(), n); c != 0) return Sign(c);
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

// --- Tag -------------------------------------------------------------------------------------

DBobjIndexTagBase::DBobjIndexTagBase(DBobjIndexFileBase& file, std::string_view name)
    : file_(file), name_(AnsiUpperCase(Trim(name))) {}

DBobjIndexTagBase::~DBobjIndexTagBase() = default;

void DBobjIndexTagBase::WriteEmptyRoot(std::int64_t block) {
  DBobjIndexKey page;
  page.block = block;
  page.leaf = true;
  page.root = true;
  PageStore(page);
  root_ = block;
}

int DBobjIndexTagBase::CompareKeys(const std::string& a, const std::string& b) { return CompareBytes(a, b); }

const std::uint8_t* DBobjIndexTagBase::TableCollation() const {
  const DBO_dBHandler* table = file_.Table();
  return table && keyType_ == 'C' ? table->CollationTable() : nullptr;
}

int DBobjIndexTagBase::CompareValues(std::string_view a, std::string_view b) const {
  return CompareBytes(a, b, Collation());
}

// An entry against a sought (key, record number): record number -1 matches any, 0 sorts
// before every record of the key.
int DBobjIndexTagBase::CompareEntry(const DBobjIndexKeyData& e, const std::string& key, std::int64_t recNo,
                                    bool useRecNo) const {
  if (e.top) return 1;
  if (const int c = CompareValues(e.value, key); c != 0) return inverted_ ? -c : c;
  if (!useRecNo || recNo < 0) return 0;
  return e.recNo < recNo ? -1 : (e.recNo > recNo ? 1 : 0);
}

std::size_t DBobjIndexTagBase::SplitCount(const DBobjIndexKey& page) const {
  return page.keys.size() - page.keys.size() / 2;
}

DBobjIndexKeyData DBobjIndexTagBase::LastChildEntry(const DBobjIndexKey& page) const {
  DBobjIndexKeyData e;
  if (InteriorLastIsTop()) {
    e.top = true;
  } else {
    e.value = page.keys.back().value;
    e.recNo = page.keys.back().recNo;
  }
  e.link = page.block;
  return e;
}

void DBobjIndexTagBase::InitExpressions(std::string_view keyExpr, std::string_view forExpr) {
  keyText_ = Trim(keyExpr);
  forText_ = Trim(forExpr);
  DBO_dBHandler* table = file_.Table();
  if (!table) return;
  keyExp_ = std::make_unique<TdbExpHandler>(&table->Link(), false, keyText_);
  forExp_.reset();
  if (!forText_.empty()) forExp_ = std::make_unique<TdbExpHandler>(&table->Link(), false, forText_);
  TdbExpValue v;
  switch (keyExp_->EvaluateToBuffer(v)) {
    case ek::Text:
      keyType_ = 'C';
      keyLength_ = static_cast<std::int64_t>(v.text.size());
      break;
    case ek::Logical:
      keyType_ = 'C';
      keyLength_ = 1;
      break;
    case ek::Date:
      keyType_ = 'D';
      keyLength_ = 8;
      break;
    default:
      if (!ek::IsNumeric(v.kind)) throw EDbfError("Index expression must give a text, number, date or logical");
      keyType_ = 'N';
      keyLength_ = 8;
      keyWidth_ = v.width > 0 ? v.width : std::max(keyExp_->MaxWidth, 10);
      keyDecimals_ = keyExp_->MaxDecimals;
      break;
  }
}

std::string DBobjIndexTagBase::TextKey(const TdbExpValue& value) const {
  AnsiString t = value.kind == ek::Logical ? AnsiString(value.logical ? "T" : "F")
                 : value.kind == ek::Text  ? value.text
                                           : AnsiString(FloatToStr(value.number));
  if (static_cast<std::int64_t>(t.size()) > keyLength_) t.resize(static_cast<std::size_t>(keyLength_));
  StrTrimRight(t);
  return t;
}

double DBobjIndexTagBase::NumberKey(const TdbExpValue& value) {
  const double d = value.kind == ek::Text ? 0 : value.number;
  return value.kind == ek::Date && !(d >= 0.1) ? kEmptyExpDate : d;
}

std::string DBobjIndexTagBase::RecordKey() {
  TdbExpValue v;
  if (!keyExp_ || keyExp_->EvaluateToBuffer(v) == ek::None) return {};
  return KeyFormat(v);
}

bool DBobjIndexTagBase::ForEvaluate() {
  if (!forExp_) return true;
  TdbExpValue v;
  return forExp_->EvaluateToBuffer(v) == ek::Logical && v.logical;
}

std::string DBobjIndexTagBase::FormatText(std::string_view text) const {
  TdbExpValue v;
  if (keyType_ == 'N') {
    double d = 0;
    if (!TryStrToFloat(Trim(text), d)) d = 0;
    v.SetNumber(d);
  } else if (keyType_ == 'D') {
    std::int32_t j = 0;
    try {
      j = DBFDate().TextToJulian(Trim(text));
    } catch (const std::exception&) {
      j = 0;
    }
    v.SetNumber(j > 0 ? j : kEmptyExpDate, ek::Date);
  } else {
    v.SetText(text);
  }
  return KeyFormat(v);
}

void DBobjIndexTagBase::CheckKeyLength() const {
  if (keyLength_ < 1 || keyLength_ + 1 > TdbSort::kMaxKeyLength)
    throw EDbfError("Sort key length greater than 240 bytes");
}

void DBobjIndexTagBase::SetRoot(std::int64_t block) {
  root_ = block;
  HeaderWrite();
}

DBobjIndexKey DBobjIndexTagBase::LoadPage(std::int64_t block, int depth) {
  if (depth >= kMaxDepth) file_.Damaged();  // deeper than any index: a cycle
  const std::int64_t offset = BlockOffset(block);
  if (const DBobjIndexKey* cached = file_.CachedPage(this, offset)) return *cached;
  DBobjIndexKey page;
  page.block = block;
  PageLoad(page);
  file_.CachePage(this, offset, page);
  return page;
}

std::int64_t DBobjIndexTagBase::WalkKeyBound() const {
  const DBO_dBHandler* table = file_.Table();
  return table ? table->RecordCount() : -1;
}

void DBobjIndexTagBase::BeginWalk(bool forward) {
  // A set grown by a long walk is given up rather than cleared bucket by bucket.
  if (walk_.pages.bucket_count() > 1024)
    walk_.pages = {};
  else
    walk_.pages.clear();
  walk_.steps = 0;
  walk_.bound = WalkKeyBound();
  walk_.forward = forward;
}

void DBobjIndexTagBase::RestartWalk(bool forward) {
  const std::int64_t bound = walk_.bound;
  BeginWalk(forward);
  walk_.bound = bound;
  for (const DBobjIndexKey& p : chain_) walk_.pages.insert(p.block);
}

DBobjIndexKey DBobjIndexTagBase::EnterPage(std::int64_t block, int depth) {
  // A sound tree leads to each page once: a page met again in one walk means interior
  // pages that share a child (whose walk would multiply its keys) or lead back up.
  if (!walk_.pages.insert(block).second) file_.Damaged();
  return LoadPage(block, depth);
}

void DBobjIndexTagBase::CheckWalkBound() {
  DBO_dBHandler* table = file_.Table();
  std::int64_t bound = walk_.bound;
  if (table) {
    const std::int64_t length = std::max<std::int64_t>(table->RecordLength(), 1);
    bound = std::max(bound, (table->DBO_DiskFile::FileSize() - table->HeaderLength()) / length);
  }
  if (walk_.steps > bound) file_.Damaged();
  walk_.bound = bound;
}

bool DBobjIndexTagBase::Step(bool forward) {
  if (forward != walk_.forward) RestartWalk(forward);
  if (!StepInPages(forward)) {
    // The edge ends the walk: a next step from here enters the pages beyond it anew.
    RestartWalk(forward);
    return false;
  }
  // A walk gives at most one key per record: the first, then one per step.
  if (++walk_.steps > walk_.bound && walk_.bound >= 0) CheckWalkBound();
  return true;
}

void DBobjIndexTagBase::ReleaseChain() { chain_.clear(); }

bool DBobjIndexTagBase::Descend(const EntryTest& atOrAfter) {
  chain_.clear();
  BeginWalk(true);
  std::int64_t block = root_;
  for (int depth = 0;; ++depth) {
    chain_.push_back(EnterPage(block, depth));
    DBobjIndexKey& page = chain_.back();
    const auto n = static_cast<std::int64_t>(page.keys.size());
    std::int64_t lo = 0, hi = n;
    while (lo < hi) {
      const std::int64_t mid = (lo + hi) / 2;
      if (atOrAfter(page.keys[static_cast<std::size_t>(mid)], page.leaf))
        hi = mid;
      else
        lo = mid + 1;
    }
    if (page.leaf) {
      page.pos = lo;
      return n > 0;
    }
    if (n == 0) file_.Damaged();  // an interior page always leads somewhere
    page.pos = std::min(lo, n - 1);
    block = page.keys[static_cast<std::size_t>(page.pos)].link;
  }
}

void DBobjIndexTagBase::DescendFrom(std::size_t level, bool last) {
  chain_.resize(level + 1);
  for (;;) {
    DBobjIndexKey& page = chain_.back();
    if (page.leaf) {
      page.pos = last ? static_cast<std::int64_t>(page.keys.size()) - 1 : 0;
      return;
    }
    if (page.keys.empty()) file_.Damaged();
    page.pos = last ? static_cast<std::int64_t>(page.keys.size()) - 1 : 0;
    const std::int64_t child = page.keys[static_cast<std::size_t>(page.pos)].link;
    chain_.push_back(EnterPage(child, static_cast<int>(chain_.size())));
  }
}

bool DBobjIndexTagBase::DescendEdge(bool last) {
  chain_.clear();
  BeginWalk(!last);
  chain_.push_back(EnterPage(root_, 0));
  DescendFrom(0, last);
  if (OnKey()) return true;
  // An empty leaf at the edge (left by deletions): step on to the first real key.
  return Step(!last);
}

bool DBobjIndexTagBase::OnKey() const {
  if (chain_.empty()) return false;
  const DBobjIndexKey& leaf = chain_.back();
  return leaf.pos >= 0 && leaf.pos < static_cast<std::int64_t>(leaf.keys.size());
}

bool DBobjIndexTagBase::StepInPages(bool forward) {
  if (chain_.empty()) return false;
  {
    DBobjIndexKey& leaf = chain_.back();
    const std::int64_t next = leaf.pos + (forward ? 1 : -1);
    if (next >= 0 && next < static_cast<std::int64_t>(leaf.keys.size())) {
      leaf.pos = next;
      return true;
    }
  }
  const std::vector<DBobjIndexKey> saved = chain_;
  for (;;) {
    DBobjIndexKey& leaf = chain_.back();
    const auto n = static_cast<std::int64_t>(leaf.keys.size());
    const std::int64_t next = leaf.pos + (forward ? 1 : -1);
    if (next >= 0 && next < n) {
      leaf.pos = next;
      return true;
    }
    // Climb to the nearest page with a further entry, then down its edge.
    std::size_t level = chain_.size() - 1;
    bool found = false;
    while (level > 0) {
      --level;
      DBobjIndexKey& page = chain_[level];
      const std::int64_t p = page.pos + (forward ? 1 : -1);
      if (p >= 0 && p < static_cast<std::int64_t>(page.keys.size())) {
        page.pos = p;
        found = true;
        break;
      }
    }
    if (!found) {
      chain_ = saved;
      return false;
    }
    chain_.resize(level + 1);
    chain_.push_back(EnterPage(chain_[level].keys[static_cast<std::size_t>(chain_[level].pos)].link,
                               static_cast<int>(level + 1)));
    DescendFrom(level + 1, !forward);
    if (OnKey()) return true;
    // An empty leaf: its position is past its (no) keys; go on from there.
    chain_.back().pos = forward ? -1 : 0;
  }
}

void DBobjIndexTagBase::TakeCurrent() {
  const DBobjIndexKey& leaf = chain_.back();
  const DBobjIndexKeyData& e = leaf.keys[static_cast<std::size_t>(leaf.pos)];
  current_.value = e.value;
  current_.recNo = e.recNo;
  current_.link = e.link;
}

int DBobjIndexTagBase::ComparePrefix(const std::string& key, const std::string& bound) const {
  const int c = keyType_ == 'C' ? CompareValues(std::string_view(key).substr(0, bound.size()), bound)
                                : CompareValues(key, bound);
  return inverted_ ? -c : c;
}

bool DBobjIndexTagBase::SeekPrefix(const std::string& bound) {
  return SeekFirst([&](const DBobjIndexKeyData& e, bool) { return e.top || ComparePrefix(e.value, bound) >= 0; });
}

int DBobjIndexTagBase::RangeTest(const std::string& key) const {
  if (highSet_ && ComparePrefix(key, high_) > 0) return 1;
  if (lowSet_ && ComparePrefix(key, low_) < 0) return -1;
  return 0;
}

std::int64_t DBobjIndexTagBase::Edge(bool end) {
  // Flags in the stored order; a tag read backwards reports them swapped.
  (descending_ ? bof_ : eof_) = end || emptyRange_;
  (descending_ ? eof_ : bof_) = !end || emptyRange_;
  return 0;
}

template <class F>
auto DBobjIndexTagBase::Consistent(F&& read) -> decltype(read()) {
  if (holding_ || !file_.ReadsUnlocked()) return read();
  TdbIndexLock lock(file_);
  return read();
}

std::int64_t DBobjIndexTagBase::KeyRead(std::int64_t code) {
  return Consistent([&] { return KeyReadAsIs(code); });
}

bool DBobjIndexTagBase::SeekKey(std::string_view text) {
  return Consistent([&] { return SeekKeyAsIs(text); });
}

std::int64_t DBobjIndexTagBase::LookupKey(std::string_view text) {
  return Consistent([&] { return LookupKeyAsIs(text); });
}

std::int64_t DBobjIndexTagBase::KeyReadAsIs(std::int64_t code) {
  bof_ = eof_ = false;
  if (emptyRange_) {
    bof_ = eof_ = true;
    return 0;
  }
  if (descending_) {
    if (code == dbp::First)
      code = dbp::Last;
    else if (code == dbp::Last)
      code = dbp::First;
    else if (code == dbp::Next)
      code = dbp::Previous;
    else if (code == dbp::Previous)
      code = dbp::Next;
  }
  if (!holding_) file_.Refresh();
  if (reseek_) {
    // Another process changed the file: the current key is found again. When it is gone,
    // the key after it is the next one.
    reseek_ = false;
    const std::string key = current_.value;
    const std::int64_t rec = current_.recNo;
    if (SeekPair(key, rec) && !pastEnd_) {
      const DBobjIndexKeyData& e = chain_.back().keys[static_cast<std::size_t>(chain_.back().pos)];
      if (CompareEntry(e, key, rec, true) != 0 && code == dbp::Next) pastBegin_ = true;
    }
  }
  if (code == dbp::First || code == dbp::Last)
    syncRec_ = 0;
  else
    ResolveSync();
  switch (code) {
    case dbp::Current: {
      if (pastEnd_ || pastBegin_) return Edge(pastEnd_);  // still at the edge a step reached
      if (!OnKey()) {
        if (!DescendEdge(false)) {
          bof_ = eof_ = true;
          return 0;
        }
      }
      TakeCurrent();
      const int r = RangeTest(current_.value);
      if (r != 0) return Edge(r > 0);
      return current_.recNo;
    }
    case dbp::Last:
    case dbp::First: {
      pastEnd_ = pastBegin_ = false;
      bool any;
      if (code == dbp::Last && highSet_) {
        // The first key above the range, then one back.
        any = SeekFirst([&](const DBobjIndexKeyData& e, bool) { return e.top || ComparePrefix(e.value, high_) > 0; })
                  ? Step(false)
                  : DescendEdge(true);
      } else if (code == dbp::First && lowSet_) {
        any = SeekPrefix(low_);
      } else {
        any = DescendEdge(code == dbp::Last);
      }
      if (any) TakeCurrent();
      if (!any || RangeTest(current_.value) != 0) {
        bof_ = eof_ = true;
        return 0;
      }
      return current_.recNo;
    }
    case dbp::Next:
    case dbp::Previous: {
      const bool forward = code == dbp::Next;
      if (chain_.empty() || !OnKey()) {
        if (!DescendEdge(!forward)) {
          bof_ = eof_ = true;
          return 0;
        }
        TakeCurrent();
      } else if ((forward && pastBegin_) || (!forward && pastEnd_)) {
        pastBegin_ = pastEnd_ = false;
        TakeCurrent();
      } else {
        if (!Step(forward)) {
          (forward ? pastEnd_ : pastBegin_) = true;
          return Edge(forward);
        }
        pastBegin_ = pastEnd_ = false;
        TakeCurrent();
      }
      // A key short of the range (one the tag was put on from outside it) is stepped
      // over until the range begins; a key beyond it in the direction of the step ends
      // the walk there, as every following key is beyond it too.
      for (int r = RangeTest(current_.value); r != 0; r = RangeTest(current_.value)) {
        if ((r > 0) == forward) return Edge(forward);
        if (!Step(forward)) {
          (forward ? pastEnd_ : pastBegin_) = true;
          return Edge(forward);
        }
        TakeCurrent();
      }
      return current_.recNo;
    }
    default:
      return 0;
  }
}

bool DBobjIndexTagBase::SeekFirst(const EntryTest& atOrAfter) {
  Descend(atOrAfter);
  if (chain_.empty()) return false;
  if (!OnKey()) {
    // After every key of this leaf: the next key, if any, is the one.
    chain_.back().pos = static_cast<std::int64_t>(chain_.back().keys.size()) - 1;
    if (!Step(true)) return false;
  }
  return true;
}

bool DBobjIndexTagBase::SeekPair(const std::string& key, std::int64_t recNo) {
  const bool useRec = InteriorHasRecNo();
  if (!SeekFirst([&](const DBobjIndexKeyData& e, bool leaf) {
        return CompareEntry(e, key, recNo, useRec || (leaf && recNo <= 0)) >= 0;
      })) {
    pastEnd_ = true;
    return false;
  }
  if (!useRec && recNo > 0) {
    // Equal keys are kept in the order they came: walk them to the record.
    for (;;) {
      const DBobjIndexKeyData& e = chain_.back().keys[static_cast<std::size_t>(chain_.back().pos)];
      if (CompareEntry(e, key, -1, false) != 0 || e.recNo == recNo) break;
      if (!Step(true)) {
        pastEnd_ = true;
        return false;
      }
    }
  }
  return true;
}

bool DBobjIndexTagBase::FindPair(const std::string& key, std::int64_t recNo) {
  if (!SeekPair(key, recNo)) return false;
  const DBobjIndexKeyData& e = chain_.back().keys[static_cast<std::size_t>(chain_.back().pos)];
  return CompareEntry(e, key, recNo, true) == 0;
}

bool DBobjIndexTagBase::SeekKeyAsIs(std::string_view text) {
  if (!holding_) file_.Refresh();
  reseek_ = false;
  syncRec_ = 0;
  bof_ = eof_ = false;
  pastEnd_ = pastBegin_ = false;
  current_.recNo = 0;
  if (emptyRange_) {
    bof_ = eof_ = true;
    return false;
  }
  const std::string key = FormatText(text);
  // Without exact match a text is sought over its own length (in descending order the
  // keys it begins come before it); with it over the whole key, so that in descending
  // order the key itself is found after the longer keys it begins.
  const bool found = ExactSeek() ? SeekFirst([&](const DBobjIndexKeyData& e, bool) {
    return CompareEntry(e, key, -1, false) >= 0;
  })
                                 : SeekPrefix(key);
  // A miss reports the end, in a tag read backwards too: nothing at or after the key.
  if (!found) pastEnd_ = true;
  if (found) TakeCurrent();
  if (!found || RangeTest(current_.value) != 0) {
    eof_ = true;
    return false;
  }
  return true;
}

bool DBobjIndexTagBase::ExactSeek() const {
  const DBO_dBHandler* table = file_.Table();
  return holding_ || !table || table->ExactMatch;
}

bool DBobjIndexTagBase::KeyMatches(std::string_view text, bool exact) const {
  const std::string sought = FormatText(text);
  if (keyType_ != 'C') return current_.value == sought;
  return CompareValues(std::string_view(current_.value).substr(0, sought.size()), sought) == 0 &&
         (!exact || current_.value.size() <= sought.size());
}

std::int64_t DBobjIndexTagBase::LookupKeyAsIs(std::string_view text) {
  if (!holding_) file_.Refresh();
  const std::vector<DBobjIndexKey> chain = chain_;
  const DBobjIndexKeyData current = current_;
  const bool pe = pastEnd_, pb = pastBegin_;
  const std::int64_t sync = syncRec_;
  WalkState walk = std::move(walk_);
  std::int64_t result = 0;
  const std::string key = FormatText(text);
  // With exact match off a key that begins with the sought one answers it (in the tag's
  // order the first such key); a key outside the range answers nothing.
  const bool exact = ExactSeek();
  if (exact ? SeekPair(key, 0) : SeekPrefix(key)) {
    const DBobjIndexKeyData& e = chain_.back().keys[static_cast<std::size_t>(chain_.back().pos)];
    const bool match = exact ? CompareEntry(e, key, -1, false) == 0 : !e.top && ComparePrefix(e.value, key) == 0;
    if (match && RangeTest(e.value) == 0) result = e.recNo;
  }
  chain_ = chain;
  current_ = current;
  pastEnd_ = pe;
  pastBegin_ = pb;
  syncRec_ = sync;
  walk_ = std::move(walk);
  return result;
}

void DBobjIndexTagBase::Reload() {
  file_.ForgetPages();
  RootRead();
  reseek_ = !chain_.empty();
}

void DBobjIndexTagBase::ResetPages(int mode) {
  chain_.clear();
  reseek_ = false;
  pastEnd_ = pastBegin_ = false;
  syncRec_ = 0;
  if (mode == 0 || mode == 2) return;
  DBO_dBHandler* table = file_.Table();
  // The current record's key, found when the tag is next read; else the first key.
  if (table && table->RecNo() >= 1 && table->RecNo() <= table->RecordCount()) syncRec_ = table->RecNo();
}

void DBobjIndexTagBase::ResolveSync() {
  if (syncRec_ == 0) return;
  const std::int64_t recNo = syncRec_;
  syncRec_ = 0;
  DBO_dBHandler* table = file_.Table();
  pastEnd_ = pastBegin_ = false;
  if (table && keyExp_ && recNo == table->RecNo() && FindPair(RecordKey(), recNo)) {
    TakeCurrent();
    return;
  }
  if (DescendEdge(false)) TakeCurrent();
}

std::int64_t DBobjIndexTagBase::KeySync(std::int64_t recNo) {
  if (syncRec_ == 0 && OnKey() && current_.recNo == recNo && !pastEnd_ && !pastBegin_) return recNo;
  chain_.clear();
  pastEnd_ = pastBegin_ = false;
  syncRec_ = recNo;
  return recNo;
}

void DBobjIndexTagBase::ClearRange() {
  low_.clear();
  high_.clear();
  lowSet_ = highSet_ = false;
  emptyRange_ = false;
}

void DBobjIndexTagBase::SetKeyRange(std::string_view low, std::string_view high, bool lowSet, bool highSet) {
  ClearRange();
  if (lowSet && !low.empty()) {
    low_ = FormatText(low);
    lowSet_ = true;
  }
  if (highSet && !high.empty()) {
    high_ = FormatText(high);
    highSet_ = true;
  }
  KeyRead(dbp::First);
}

void DBobjIndexTagBase::SetEmptyKeyRange() {
  ClearRange();
  emptyRange_ = true;
  bof_ = eof_ = true;
}

bool DBobjIndexTagBase::KeyExists(const std::string& key, std::int64_t recNo) {
  const bool found = FindPair(key, recNo);
  chain_.clear();
  return found;
}

// --- Key upkeep ----------------------------------------------------------------------------------

void DBobjIndexTagBase::StoreChanged(std::vector<DBobjIndexKey*> pages) {
  for (DBobjIndexKey* p : pages) PageStore(*p);
}

void DBobjIndexTagBase::UpdateParentKeys(std::size_t level) {
  // The page at `level` got a new last key: its entry in the parent carries it.
  while (level > 0) {
    DBobjIndexKey& page = chain_[level];
    DBobjIndexKey& parent = chain_[level - 1];
    if (page.keys.empty()) return;
    DBobjIndexKeyData& entry = parent.keys[static_cast<std::size_t>(parent.pos)];
    if (entry.top) return;
    const DBobjIndexKeyData& last = page.keys.back();
    if (last.top) return;
    entry.value = last.value;
    entry.recNo = last.recNo;
    PageStore(parent);
    if (parent.pos + 1 != static_cast<std::int64_t>(parent.keys.size())) return;
    --level;
  }
}

void DBobjIndexTagBase::SplitUp(std::size_t level) {
  while (!PageFits(chain_[level])) {
    DBobjIndexKey& page = chain_[level];
    const std::size_t n = std::clamp<std::size_t>(SplitCount(page), 1, page.keys.size() - 1);
    DBobjIndexKey left;
    left.block = file_.NextBlock();
    left.leaf = page.leaf;
    left.keys.assign(page.keys.begin(), page.keys.begin() + static_cast<std::ptrdiff_t>(n));
    page.keys.erase(page.keys.begin(), page.keys.begin() + static_cast<std::ptrdiff_t>(n));
    if (page.pos >= 0) page.pos = std::max<std::int64_t>(page.pos - static_cast<std::int64_t>(n), 0);
    if (HasSiblings()) {
      left.left = page.left;
      left.right = page.block;
      if (page.left != -1) {
        DBobjIndexKey outer = LoadPage(page.left, 0);
        outer.right = left.block;
        PageStore(outer);
      }
      page.left = left.block;
    }
    DBobjIndexKeyData up;
    up.value = left.keys.back().value;
    up.recNo = left.keys.back().recNo;
    up.link = left.block;
    if (!left.leaf && InteriorLastIsTop()) left.keys.back().top = false;
    const bool wasRoot = level == 0;
    left.root = false;
    page.root = wasRoot ? false : page.root;
    if (wasRoot) {
      DBobjIndexKey root;
      root.block = file_.NextBlock();
      root.leaf = false;
      root.root = true;
      root.keys.push_back(up);
      root.keys.push_back(LastChildEntry(page));
      root.pos = 1;
      PageStore(left);
      PageStore(page);
      PageStore(root);
      chain_.insert(chain_.begin(), root);
      SetRoot(root.block);
      return;
    }
    DBobjIndexKey& parent = chain_[level - 1];
    parent.keys.insert(parent.keys.begin() + parent.pos, up);
    ++parent.pos;
    PageStore(left);
    PageStore(page);
    if (PageFits(parent)) {
      PageStore(parent);
      return;
    }
    --level;
  }
  PageStore(chain_[level]);
}

bool DBobjIndexTagBase::KeyAdd(const std::string& key, std::int64_t recNo) {
  if (static_cast<std::int64_t>(key.size()) > std::max<std::int64_t>(keyLength_, 8)) RaiseRangeError();
  if (unique_) {
    if (SeekPair(key, 0) && CompareEntry(chain_.back().keys[static_cast<std::size_t>(chain_.back().pos)], key, -1,
                                         false) == 0) {
      chain_.clear();
      return false;
    }
  }
  const bool useRec = InteriorHasRecNo();
  // Among equal keys: by record number, or when the pages cannot tell after all of them
  // (before them in a tag kept in descending order, where the record number, being part
  // of the key, descends too).
  Descend([&](const DBobjIndexKeyData& e, bool leaf) {
    (void)leaf;
    if (useRec) return CompareEntry(e, key, recNo, true) >= 0;
    const int c = CompareEntry(e, key, -1, false);
    return inverted_ ? c >= 0 : c > 0;
  });
  DBobjIndexKey& leaf = chain_.back();
  DBobjIndexKeyData entry;
  entry.value = key;
  entry.recNo = recNo;
  entry.link = recNo;
  leaf.keys.insert(leaf.keys.begin() + leaf.pos, entry);
  const bool atEnd = leaf.pos + 1 == static_cast<std::int64_t>(leaf.keys.size());
  const std::size_t level = chain_.size() - 1;
  if (atEnd) UpdateParentKeys(level);
  SplitUp(level);
  chain_.clear();
  return true;
}

void DBobjIndexTagBase::RemoveEntry(std::size_t level) {
  for (;;) {
    DBobjIndexKey& page = chain_[level];
    page.keys.erase(page.keys.begin() + page.pos);
    if (!page.keys.empty() || level == 0) {
      if (page.keys.empty()) {  // the root lost its last entry: an empty leaf
        page.leaf = true;
        page.root = true;
      } else if (page.pos == static_cast<std::int64_t>(page.keys.size())) {
        if (!page.leaf && InteriorLastIsTop()) page.keys.back().top = true;
        page.pos = static_cast<std::int64_t>(page.keys.size()) - 1;
        PageStore(page);
        UpdateParentKeys(level);
        return;
      }
      PageStore(page);
      return;
    }
    // An empty page leaves the tree: unlink it from its neighbours and its parent.
    if (HasSiblings()) {
      if (page.left != -1) {
        DBobjIndexKey l = LoadPage(page.left, 0);
        l.right = page.right;
        PageStore(l);
      }
      if (page.right != -1) {
        DBobjIndexKey r = LoadPage(page.right, 0);
        r.left = page.left;
        PageStore(r);
      }
    }
    --level;
  }
}

bool DBobjIndexTagBase::KeyDelete(const std::string& key, std::int64_t recNo) {
  if (!FindPair(key, recNo)) {
    chain_.clear();
    return false;
  }
  RemoveEntry(chain_.size() - 1);
  // A root left with a single child of an interior level stays: it still leads to every key.
  chain_.clear();
  return true;
}

bool DBobjIndexTagBase::UpdateKey(std::int64_t recNo, bool appended) {
  DBO_dBHandler* table = file_.Table();
  if (!table || !keyExp_) return false;
  holding_ = true;
  struct Release {
    DBobjIndexTagBase* t;
    ~Release() {
      t->holding_ = false;
      t->chain_.clear();
    }
  } release{this};
  const bool forOk = ForEvaluate();
  const std::string newKey = RecordKey();
  if (appended) return forOk && KeyAdd(newKey, recNo);
  std::string oldKey;
  bool oldFor = true;
  table->SwapSavedRecord();
  try {
    oldFor = ForEvaluate();
    oldKey = RecordKey();
  } catch (...) {
    table->SwapSavedRecord();
    throw;
  }
  table->SwapSavedRecord();
  const bool oldFound = oldFor && FindPair(oldKey, recNo);
  chain_.clear();
  if (oldKey == newKey && forOk) return !oldFound && KeyAdd(newKey, recNo);
  bool changed = false;
  if (oldFound) changed = KeyDelete(oldKey, recNo);
  if (forOk) changed = KeyAdd(newKey, recNo) || changed;
  return changed;
}

std::vector<std::pair<std::string, std::int64_t>> DBobjIndexTagBase::AllKeys() {
  std::vector<std::pair<std::string, std::int64_t>> out;
  if (DescendEdge(false)) {
    do {
      TakeCurrent();
      out.emplace_back(current_.value, current_.recNo);
    } while (Step(true));
  }
  chain_.clear();
  if (descending_) std::reverse(out.begin(), out.end());
  return out;
}

// --- Build ------------------------------------------------------------------------------------------

void DBobjIndexTagBase::Build() {
  file_.ForgetPages();
  DBO_dBHandler* table = file_.Table();
  const std::uint8_t* collation = Collation();
  TdbSort sort(std::max<std::int64_t>(keyLength_, 8) + 1, collation, !inverted_, unique_);
  if (table) {
    TdbIndexBuildScope scope(table);
    const std::int64_t count = table->RecordCount();
    table->StatusUpdate(-1, dbk::IndexRead, static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX)));
    for (std::int64_t n = 1; n <= count; ++n) {
      table->DBO_dBaseFld::GetRecord(n);
      if (!ForEvaluate()) continue;
      sort.AddBytes(RecordKey(), n, collation != nullptr);
      if ((n & 1023) == 0) table->StatusUpdate(dbk::IndexRead, static_cast<std::int32_t>(n), 0);
    }
    table->StatusUpdate(0, 0, 0);
    table->StatusUpdate(-1, dbk::IndexWrite, static_cast<std::int32_t>(std::min<std::int64_t>(count, INT32_MAX)));
  }
  BuildFromSort(sort);
  if (table) table->StatusUpdate(0, 0, 0);
}

void DBobjIndexTagBase::BuildFromSort(TdbSort& sort) {
  chain_.clear();
  std::vector<DBobjIndexKey> levels;
  auto startLevel = [&](bool leaf) {
    DBobjIndexKey p;
    p.block = file_.NextBlock();
    p.leaf = leaf;
    levels.push_back(std::move(p));
  };
  // Adds an entry at a level; a page that would overflow is written first and its last
  // key goes up.
  std::function<void(std::size_t, DBobjIndexKeyData)> add = [&](std::size_t level, DBobjIndexKeyData e) {
    if (level >= static_cast<std::size_t>(kMaxDepth)) RaiseRangeError();
    if (level == levels.size()) startLevel(level == 0);
    levels[level].keys.push_back(e);
    if (PageFits(levels[level]) || levels[level].keys.size() == 1) return;
    levels[level].keys.pop_back();
    DBobjIndexKey& page = levels[level];
    const std::int64_t next = file_.NextBlock();
    page.right = HasSiblings() ? next : -1;
    DBobjIndexKeyData up;
    up.value = page.keys.back().value;
    up.recNo = page.keys.back().recNo;
    up.link = page.block;
    PageStore(page);
    const std::int64_t closed = page.block;
    DBobjIndexKey fresh;
    fresh.block = next;
    fresh.leaf = level == 0;
    fresh.left = HasSiblings() ? closed : -1;
    fresh.keys.push_back(std::move(e));
    levels[level] = std::move(fresh);
    add(level + 1, up);
  };
  std::string key;
  std::int64_t rec = 0;
  std::int64_t n = 0;
  DBO_dBHandler* table = file_.Table();
  while (sort.NextBytes(key, rec)) {
    DBobjIndexKeyData e;
    e.value = key;
    e.recNo = rec;
    e.link = rec;
    add(0, std::move(e));
    if (table && (++n & 1023) == 0) table->StatusUpdate(dbk::IndexWrite, static_cast<std::int32_t>(n), 0);
  }
  if (levels.empty()) startLevel(true);
  // Every level's last page is written; it goes up to the level above, the topmost is the root.
  for (std::size_t level = 0; level < levels.size(); ++level) {
    DBobjIndexKey& page = levels[level];
    page.right = -1;
    if (level + 1 == levels.size()) {
      page.root = true;
      PageStore(page);
      SetRoot(page.block);
      break;
    }
    const DBobjIndexKeyData up = LastChildEntry(page);
    PageStore(page);
    add(level + 1, up);
  }
}

// --- Index file --------------------------------------------------------------------------------

DBobjIndexFileBase::DBobjIndexFileBase(DBO_dBHandler* table, std::string_view name, bool create, bool overwrite,
                                       bool shared, bool readWrite, std::string_view defaultExt)
    : table_(table) {
  AnsiString n = NormalizeSeparators(Trim(name));
  const std::size_t slash = n.find_last_of('/');
  AnsiString dir = slash == AnsiString::npos ? AnsiString() : n.substr(0, slash + 1);
  AnsiString part = AnsiUpperCase(slash == AnsiString::npos ? n : n.substr(slash + 1));
  part = AddDefaultExt(part, defaultExt);
  if (dir.empty() && table) dir = ExtractFilePath(table->FileName());
  path_ = dir + part;
  stem_ = AnsiUpperCase(ExtractNameNoExt(part));
  if (create && (overwrite || !FileExists(path_))) {
    disk_ = std::make_unique<DBO_DiskFile>(path_, false, true);
    disk_->CreateNew();
    created_ = true;
  } else if (FileExists(path_)) {
    disk_ = std::make_unique<DBO_DiskFile>(path_, shared, readWrite);
    disk_->Open();
  }
  if (disk_ && disk_->ErrorCode() != 0) disk_.reset();
}

DBobjIndexFileBase::~DBobjIndexFileBase() {
  tags_.clear();
  if (disk_) {
    try {
      disk_->Close();
    } catch (...) {
    }
  }
}

DBobjIndexTag* DBobjIndexFileBase::Tag(std::int64_t i) { return TagBase(i); }

DBobjIndexTagBase* DBobjIndexFileBase::TagBase(std::int64_t i) const {
  return i >= 0 && i < TagCount() ? tags_[static_cast<std::size_t>(i)].get() : nullptr;
}

bool DBobjIndexFileBase::ReadBlock(std::int64_t offset, void* buffer, std::int64_t length) {
  if (!disk_ || offset < 0) return false;
  return disk_->ReadAt(offset, buffer, length) == length;
}

bool DBobjIndexFileBase::WriteBlock(std::int64_t offset, const void* buffer, std::int64_t length) {
  if (!disk_) return false;
  if (undoActive_ && offset < undoSize_ &&
      std::none_of(undo_.begin(), undo_.end(), [&](const UndoBlock& u) { return u.offset == offset && u.length == length; })) {
    // The bytes this write replaces, as far as the file had them.
    UndoBlock u{offset, std::string(static_cast<std::size_t>(std::min(length, undoSize_ - offset)), '\0'), length};
    u.bytes.resize(static_cast<std::size_t>(std::max<std::int64_t>(disk_->ReadAt(offset, u.bytes.data(), std::ssize(u.bytes)), 0)));
    undo_.push_back(std::move(u));
  }
  written_ = true;
  if (knownSize_ >= 0) knownSize_ = std::max(knownSize_, offset + length);
  if (!cache_.empty())
    cache_.erase(cache_.upper_bound(offset - kLargestBlock), cache_.lower_bound(offset + std::max<std::int64_t>(length, 1)));
  disk_->WriteAt(offset, buffer, length);
  return disk_->ErrorCode() == 0;
}

const DBobjIndexKey* DBobjIndexFileBase::CachedPage(const DBobjIndexTagBase* tag, std::int64_t offset) const {
  const auto it = cache_.find(offset);
  return it != cache_.end() && it->second.tag == tag ? &it->second.page : nullptr;
}

std::int64_t DBobjIndexFileBase::PageFileSize() {
  if (knownSize_ < 0) knownSize_ = FileSize();
  return knownSize_;
}

void DBobjIndexFileBase::CachePage(const DBobjIndexTagBase* tag, std::int64_t offset, const DBobjIndexKey& page) {
  if (cache_.size() >= kCachedPages) {
    // Full: the leaves go, the few interior pages that every seek passes stay.
    std::erase_if(cache_, [](const auto& e) { return e.second.page.leaf; });
    if (cache_.size() >= kCachedPages / 2) cache_.clear();
  }
  cache_.insert_or_assign(offset, CachedPageEntry{tag, page});
}

std::int64_t DBobjIndexFileBase::FileSize() const { return disk_ ? disk_->FileSize() : 0; }

void DBobjIndexFileBase::Damaged() const { StandardDbfError(kIndexDamaged, dbe::SubRead, IndexFileName()); }

bool DBobjIndexFileBase::LockIndex() {
  if (!disk_) return true;
  if (!disk_->IsShared()) {
    if (ChangedByOther()) Reload();
    return true;
  }
  if (lockDepth_ > 0) {
    ++lockDepth_;
    return true;
  }
  std::uint32_t offset = 0x7FFFFFFD, length = 1;
  if (protocol_ == TdbLokProtocol::DB4Lock) {
    offset = 0xEFFFFFFE;
    length = 2;
  } else if (protocol_ == TdbLokProtocol::ClipLock) {
    offset = 1000000000;
  }
  if (!disk_->LockRegionRetrying(offset, length))
    throw EDbfError(Format("Error %s in Lock of %s", {IntToStr(DbfLastError()), disk_->FileName()}));
  lockDepth_ = 1;
  // Whatever another process wrote is read before this one reads or writes a key.
  try {
    if (ChangedByOther()) Reload();
  } catch (...) {
    ForgetWatched();
    lockDepth_ = 0;
    disk_->Unlock();
    throw;
  }
  return true;
}

bool DBobjIndexFileBase::UnlockIndex() {
  if (!disk_ || !disk_->IsShared() || lockDepth_ == 0) return true;
  if (--lockDepth_ > 0) return true;
  // What this process wrote under the lock is announced before others may read it.
  try {
    if (written_) StampChange();
  } catch (...) {
    disk_->Unlock();
    throw;
  }
  return disk_->Unlock();
}

void DBobjIndexFileBase::Updated(bool append, std::int64_t recNo) {
  nextBlock_ = -1;
  for (auto& tag : tags_) tag->UpdateKey(recNo, append);
  StampChange();
}

void DBobjIndexFileBase::RememberState() {
  if (!disk_) return;
  const StampPlace at = StampAt();
  std::string bytes(static_cast<std::size_t>(at.watchSize), '\0');
  if (!ReadBlock(at.watchOffset, bytes.data(), at.watchSize)) bytes.clear();
  watched_ = std::move(bytes);
  std::uint8_t c[4] = {};
  // The counter, from the watched bytes when it lies among them (one read per check).
  const std::int64_t within = at.offset - at.watchOffset;
  if (within >= 0 && within + at.size <= std::ssize(watched_))
    std::memcpy(c, watched_.data() + within, static_cast<std::size_t>(at.size));
  else if (!ReadBlock(at.offset, c, at.size))
    return;
  stamp_ = at.size == 2 ? GetLE16(c) : GetLE32(c);
}

void DBobjIndexFileBase::StampChange() {
  if (!disk_ || !disk_->IsReadWrite()) return;
  const StampPlace at = StampAt();
  stamp_ = NextStamp(stamp_);
  std::uint8_t c[4] = {};
  if (at.size == 2)
    PutLE16(c, static_cast<std::uint16_t>(stamp_));
  else
    PutLE32(c, stamp_);
  WriteBlock(at.offset, c, at.size);
  written_ = false;
  if (disk_->IsShared()) RememberState();
}

bool DBobjIndexFileBase::ChangedByOther() {
  if (!disk_) return false;
  // Nobody outside the process writes an unshared file, but another object of the
  // process on it may (they share its descriptor).
  if (!disk_->IsShared()) return disk_->TakeWritesOfOthers();
  const std::string before = watched_;
  RememberState();
  return watched_ != before;
}

bool DBobjIndexFileBase::Refresh() {
  if (lockDepth_ > 0 || !ChangedByOther()) return false;
  try {
    Reload();
  } catch (...) {
    ForgetWatched();  // read again next time
    throw;
  }
  return true;
}

void DBobjIndexFileBase::Reload() {
  nextBlock_ = -1;
  for (auto& tag : tags_) tag->Reload();
}

void DBobjIndexFileBase::BeginUpdate() {
  undo_.clear();
  undoActive_ = disk_ != nullptr;
  if (!undoActive_) return;
  undoSize_ = FileSize();
  undoPlaces_ = SavePlaces();
}

void DBobjIndexFileBase::EndUpdate() {
  undoActive_ = false;
  undo_.clear();
}

void DBobjIndexFileBase::RollbackUpdate() {
  if (!undoActive_) return;
  undoActive_ = false;
  // Latest first, so that overlapping writes end with the oldest bytes. A write that
  // fails again is passed over: what it would restore was most likely never changed.
  for (auto it = undo_.rbegin(); it != undo_.rend(); ++it) {
    try {
      disk_->WriteAt(it->offset, it->bytes.data(), std::ssize(it->bytes));
    } catch (const EDbfError&) {
    }
  }
  undo_.clear();
  try {
    if (disk_->FileSize() > undoSize_) disk_->ShrinkTo(undoSize_);
  } catch (const EDbfError&) {
  }
  RestorePlaces(undoPlaces_);
  nextBlock_ = -1;
  ForgetPages();  // the bytes were put back past the page memory
  // The counter went back with the bytes: taken as it is, raised again when the lock goes
  // (others must not take the old value for theirs).
  RememberState();
  written_ = true;
}

std::vector<std::int64_t> DBobjIndexFileBase::SavePlaces() const {
  std::vector<std::int64_t> out;
  for (const auto& t : tags_) {
    const std::vector<std::int64_t> p = t->Place();
    out.push_back(std::ssize(p));
    out.insert(out.end(), p.begin(), p.end());
  }
  return out;
}

void DBobjIndexFileBase::RestorePlaces(const std::vector<std::int64_t>& places) {
  std::size_t at = 0;
  for (auto& t : tags_) {
    if (at >= places.size()) break;
    const auto n = static_cast<std::size_t>(places[at]);
    t->SetPlace(std::vector<std::int64_t>(places.begin() + static_cast<std::ptrdiff_t>(at + 1),
                                          places.begin() + static_cast<std::ptrdiff_t>(at + 1 + n)));
    at += 1 + n;
  }
}

TdbTagListChange::TdbTagListChange(DBO_DiskFile& disk) : disk_(disk) {
  held_ = disk_.TakeExclusiveUse();
  if (!held_) DbfError(dbe::SharingViolation, dbe::SubWrite, disk_.FileName());
}

void DBobjIndexFileBase::RebuildBeside(std::int64_t keepBytes, const std::function<void()>& build) {
  if (!disk_) return;
  const AnsiString name = disk_->FileName();
  if (!disk_->IsReadWrite()) return DbfError(dbe::AccessDenied, dbe::SubWrite, name);
  // Renamed over, the file would stay open elsewhere as it was, and keys written there be lost.
  if (!disk_->TakeExclusiveUse()) return DbfError(dbe::SharingViolation, dbe::SubWrite, name);
  // Through a link the file it leads to is rebuilt (as a save would follow it), and the
  // new file takes the old one's permissions, owner and group.
  const std::string sysTarget = SysPath(SaveTargetOf(name));
  const std::size_t slash = sysTarget.find_last_of('/');
  // New files that rebuilds killed before their end left behind go first.
  RemoveStaleWorkFiles(slash == std::string::npos ? std::string() : sysTarget.substr(0, slash),
                       (slash == std::string::npos ? sysTarget : sysTarget.substr(slash + 1)) + ".tmp", false);
  std::string sysNew = sysTarget + ".tmpXXXXXX";
  const int fd = ::mkstemp(sysNew.data());
  if (fd < 0) {
    const std::int32_t code = ErrnoToDbfError(errno);
    disk_->EndExclusiveUse();
    return DbfError(code, dbe::SubCreate, name);
  }
  ::close(fd);
  const std::vector<std::int64_t> places = SavePlaces();
  const std::int64_t nextBlock = nextBlock_;
  std::unique_ptr<DBO_DiskFile> other = std::make_unique<TdbReplacementFile>(AnsiPath(sysNew), name);
  bool swapped = false;
  auto giveUp = [&] {
    if (swapped) std::swap(disk_, other);
    swapped = false;
    try {
      other->Close();
    } catch (...) {
    }
    ::unlink(sysNew.c_str());
    ForgetPages();  // pages read from the new file
    RestorePlaces(places);
    nextBlock_ = nextBlock;
    disk_->EndExclusiveUse();
  };
  try {
    other->Open();
    if (keepBytes > 0) {
      std::string head(static_cast<std::size_t>(keepBytes), '\0');
      const std::int64_t n = disk_->ReadAt(0, head.data(), keepBytes);
      if (n > 0) other->WriteAt(0, head.data(), n);
    }
    std::swap(disk_, other);
    swapped = true;
    build();
    disk_->Flush();
    std::swap(disk_, other);
    swapped = false;
    other->Close();
    TakeTargetFileMode(sysNew, sysTarget);
    if (::rename(sysNew.c_str(), sysTarget.c_str()) != 0) {
      const std::int32_t code = ErrnoToDbfError(errno);
      giveUp();
      return DbfError(code, dbe::SubRename, name);
    }
  } catch (...) {
    giveUp();
    throw;
  }
  SyncDirectoryOf(sysTarget);
  // From here on the new file; a lock held on the old one is taken on it again.
  const int depth = lockDepth_;
  disk_->Close();
  disk_->Open();
  ForgetPages();
  lockDepth_ = 0;
  if (depth > 0) {
    LockIndex();
    lockDepth_ = depth;
  }
}

void DBobjIndexFileBase::FlushIndex() {
  if (disk_) disk_->Flush();
}

bool DBobjIndexFileBase::RenameIndex(std::string_view newName) { return disk_ && disk_->Rename(newName); }

// --- Stale marks -----------------------------------------------------------------------------

namespace {
std::string StaleMarkerOf(const AnsiString& indexName) { return SysPath(indexName) + ".stale"; }
}  // namespace

void MarkIndexStale(const AnsiString& indexName) {
  const std::string marker = StaleMarkerOf(indexName);
  const int fd = ::open(marker.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 || ::fsync(fd) != 0) {
    const std::int32_t code = ErrnoToDbfError(errno);
    if (fd >= 0) ::close(fd);
    return DbfError(code, dbe::SubCreate, indexName);
  }
  ::close(fd);
  SyncDirectoryOf(marker);
}

bool IndexMarkedStale(const AnsiString& indexName) { return ::access(StaleMarkerOf(indexName).c_str(), F_OK) == 0; }

void ClearIndexStale(const AnsiString& indexName) {
  const std::string marker = StaleMarkerOf(indexName);
  if (::unlink(marker.c_str()) == 0) SyncDirectoryOf(marker);
}

// --- Build scope -----------------------------------------------------------------------------

TdbIndexBuildScope::TdbIndexBuildScope(DBO_dBHandler* table) : table_(table) {
  state_ = table->TableState;
  recNo_ = table->RecNo();
  readAhead_ = table->ReadAheadActive();
  table->TableState = DBO_dBHandler::kStateIndexing;
  table->SetReadAhead(true);
}

TdbIndexBuildScope::~TdbIndexBuildScope() {
  try {
    table_->SetReadAhead(readAhead_);
    table_->TableState = state_;
    if (recNo_ >= 1 && recNo_ <= table_->RecordCount()) table_->DBO_dBaseFld::GetRecord(recNo_);
  } catch (...) {
  }
}
