// The format-independent half of the index files: a page of keys in memory, the chain
// of pages from the root to the current leaf, and a tag that seeks, walks (within an
// optional key range), adds and deletes keys and keeps itself up to date after every
// record write; an index file with its disk file, tags and lock. The formats supply the
// page layout (PageLoad/PageStore/PageFits), key formatting and block management.
//
// Keys are held in their stored byte form and compared byte by byte, a shorter key
// below a longer one that begins with it (texts lose their trailing blanks); equal keys
// are ordered by record number. Every page read is checked by its format; the descent
// is bounded to kMaxDepth levels, and a walk in one direction enters every page at most
// once and gives at most as many keys as the table holds records, so a damaged file
// (pages that lead to the same child twice, or back up the tree) raises instead of
// looping or multiplying its keys.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "tables/db_dbsy.h"
#include "tables/db_indx.h"
#include "tables/db_sort.h"

// One entry of a page: a key with its record number and link (the record number in a
// leaf, the child block in an interior page). `top` marks an interior entry without a
// key that stands above every key (the last entry of some formats' interior pages).
struct DBobjIndexKeyData {
  std::string value;
  std::int64_t recNo = 0;
  std::int64_t link = 0;
  bool top = false;
};

// One node page in memory.
struct DBobjIndexKey {
  std::int64_t block = 0;
  std::int64_t left = -1;
  std::int64_t right = -1;
  bool leaf = true;
  bool root = false;
  std::vector<DBobjIndexKeyData> keys;
  std::int64_t pos = -1;  // current entry
};

class DBobjIndexFileBase;

class DBobjIndexTagBase : public DBobjIndexTag {
 public:
  static constexpr int kMaxDepth = 32;

  DBobjIndexTagBase(DBobjIndexFileBase& file, std::string_view name);
  ~DBobjIndexTagBase() override;

  // What the handler asks.
  AnsiString TagName() const override { return name_; }
  std::int64_t KeyRead(std::int64_t code) override;
  bool Bof() const override { return bof_; }
  bool Eof() const override { return eof_; }
  bool SeekKey(std::string_view key) override;
  AnsiString CurrentKey() const override { return current_.value; }
  std::int64_t FindExact(std::string_view key) override { return LookupKey(key); }
  std::int64_t LookupKey(std::string_view key) override;
  void ResetPages(int mode) override;
  void ClearRange() override;
  void SetKeyRange(std::string_view low, std::string_view high, bool lowSet, bool highSet) override;
  void SetEmptyKeyRange() override;
  AnsiString KeyExprText() const override { return keyText_; }
  AnsiString ForExprText() const override { return forText_; }
  bool HasFor() const override { return !forText_.empty(); }
  std::int64_t KeySync(std::int64_t recNo) override;
  bool UpdateKey(std::int64_t recNo, bool appended) override;
  bool KeyMatches(std::string_view text, bool exact) const override;

  // Keys in their stored form.
  virtual bool KeyAdd(const std::string& key, std::int64_t recNo);
  virtual bool KeyDelete(const std::string& key, std::int64_t recNo);
  bool KeyExists(const std::string& key, std::int64_t recNo);
  // The stored key of a sought text: a number or date text is read as its value first.
  std::string FormatText(std::string_view text) const;
  // The key of the table's current record, and whether the FOR condition takes it.
  std::string RecordKey();
  bool ForEvaluate();
  // Every (key, record number) in key order, read from the pages (for checks and tests).
  std::vector<std::pair<std::string, std::int64_t>> AllKeys();

  char KeyType() const { return keyType_; }
  std::int64_t KeyLength() const { return keyLength_; }
  bool Unique() const { return unique_; }
  bool Descending() const { return descending_; }
  // Keys stored in descending order: every comparison of keys turned round.
  bool Inverted() const { return inverted_; }
  std::int64_t RootBlock() const { return root_; }
  DBobjIndexFileBase& File() const { return file_; }
  // After another process changed the file: the root (and what else of the header changes
  // with the keys) read again, pages kept in memory forgotten; the current key is sought
  // again before the next relative read.
  void Reload();
  // -1, 0, 1: keys byte by byte, then record numbers (a `top` entry above all).
  static int CompareKeys(const std::string& a, const std::string& b);
  // Two stored keys, byte by byte through the tag's collation: -1, 0, 1.
  int CompareValues(std::string_view a, std::string_view b) const;

  // The tag's place in its file (root, and the format's header and allocation fields):
  // kept before a change that may fail, put back when it did.
  virtual std::vector<std::int64_t> Place() const { return {root_}; }
  virtual void SetPlace(const std::vector<std::int64_t>& place) { root_ = place.at(0); }
  // Writes an empty root leaf at `block` and makes it the root (the header is the caller's).
  void WriteEmptyRoot(std::int64_t block);

 protected:
  // Reads the page at `page.block` (its keys, kind and siblings); raises for a damaged page.
  virtual void PageLoad(DBobjIndexKey& page) = 0;
  // Writes the page at its block.
  virtual void PageStore(DBobjIndexKey& page) = 0;
  // Whether the page's keys fit one page of the file.
  virtual bool PageFits(const DBobjIndexKey& page) const = 0;
  // How many of an overfull page's first entries move to the new page on its left.
  virtual std::size_t SplitCount(const DBobjIndexKey& page) const;
  virtual void HeaderWrite() = 0;
  // Reads the parts of the header that change as keys come and go (the root at least).
  virtual void RootRead() = 0;
  // The 256-byte table text keys are compared through (null: byte values), also in
  // builds. None here: a format whose stored keys are compared through the table's
  // collation answers TableCollation().
  virtual const std::uint8_t* Collation() const { return nullptr; }
  // The collation table of the table, for a text key (null when none is set).
  const std::uint8_t* TableCollation() const;
  // The file offset of a block.
  virtual std::int64_t BlockOffset(std::int64_t block) const { return block; }
  // The stored form of an evaluated key.
  virtual std::string KeyFormat(const TdbExpValue& value) const = 0;
  // A text key: a logical as T or F, a number as its text; cut to the key length, without
  // trailing blanks.
  std::string TextKey(const TdbExpValue& value) const;
  // The number of a numeric or date key; an empty date as 1e100 (after every date).
  static double NumberKey(const TdbExpValue& value);
  // Whether interior entries keep the record number of their child's last key.
  virtual bool InteriorHasRecNo() const { return true; }
  // Whether the last entry of an interior page is keyless (above all keys).
  virtual bool InteriorLastIsTop() const { return false; }
  // Whether leaves are linked to their neighbours.
  virtual bool HasSiblings() const { return false; }
  // The entry a parent keeps for `page` as its last child: keyless where the format's last
  // interior entry is, else the page's last key.
  DBobjIndexKeyData LastChildEntry(const DBobjIndexKey& page) const;

  // Sets name, expressions and options, compiles both expressions and evaluates the key
  // on the current record for its type and length ('C' texts and logicals, 'N', 'D').
  void InitExpressions(std::string_view keyExpr, std::string_view forExpr);
  void SetRoot(std::int64_t block);
  // Raises "Sort key length greater than 240 bytes" unless the key length suits the sorter
  // the tag is built with (one byte more than the key).
  void CheckKeyLength() const;
  // Builds the tag from the table: every record's key (FOR permitting) sorted, then the
  // pages written bottom-up from the first free block; the root set.
  void Build();
  // Writes sorted keys bottom-up into pages; the root set.
  virtual void BuildFromSort(TdbSort& sort);
  void ReleaseChain();

  // The cursor over the page chain. A format whose interior pages hold keys of their own
  // (a B-tree) supplies its own walk and changes.
  using EntryTest = std::function<bool(const DBobjIndexKeyData&, bool leaf)>;
  // The chain opened at the first (last) key; false for an empty tag.
  virtual bool DescendEdge(bool last);
  // One step in key order; false at an edge (the chain stays where it was). Raises for a
  // damaged file: a page entered twice in a walk, or more keys than the table holds.
  bool Step(bool forward);
  // The step itself, in the format's page structure.
  virtual bool StepInPages(bool forward);
  // Positions on the first key for which `atOrAfter` holds (a test that, in key order,
  // is false and then true); false when there is none.
  virtual bool SeekFirst(const EntryTest& atOrAfter);
  // Whether the chain ends on a key.
  virtual bool OnKey() const;
  // Positions on the first key at or after (key, record number); false when none follows.
  bool SeekPair(const std::string& key, std::int64_t recNo);
  DBobjIndexKey LoadPage(std::int64_t block, int depth);
  // A walk starts from the root (a descent to an edge or to a sought key); the pages it
  // enters are loaded with EnterPage, which raises for a page this walk entered before.
  void BeginWalk(bool forward);
  // A walk turned round: it goes on from the pages of the chain.
  void RestartWalk(bool forward);
  DBobjIndexKey EnterPage(std::int64_t block, int depth);
  // How many keys a walk may give: the records of the table (none for a tag whose keys are
  // not records). Negative: no bound.
  virtual std::int64_t WalkKeyBound() const;
  // An entry against a sought (key, record number), in the tag's order.
  int CompareEntry(const DBobjIndexKeyData& e, const std::string& key, std::int64_t recNo, bool useRecNo) const;
  // Positions on the first key that is not below `bound` over the bound's length (text
  // keys) in the tag's order; false when none follows.
  bool SeekPrefix(const std::string& bound);

  std::vector<DBobjIndexKey> chain_;

  DBobjIndexFileBase& file_;
  AnsiString name_;
  AnsiString keyText_;
  AnsiString forText_;
  std::unique_ptr<TdbExpHandler> keyExp_;
  std::unique_ptr<TdbExpHandler> forExp_;
  char keyType_ = 'C';
  std::int64_t keyLength_ = 0;
  std::int32_t keyWidth_ = 0;     // width and decimals of a numeric key
  std::int32_t keyDecimals_ = 0;
  bool unique_ = false;
  bool descending_ = false;  // read backwards: keys stored ascending
  bool inverted_ = false;    // keys stored descending: comparisons turned round
  std::int64_t root_ = 0;

 private:
  // Opens the chain from the root, at each level on the first entry for which
  // `atOrAfter` holds (the last one when none does); false for an empty tag.
  bool Descend(const EntryTest& atOrAfter);
  void DescendFrom(std::size_t level, bool last);
  void TakeCurrent();
  // Runs a read of the tag. A shared file is read under its lock, which waits for a
  // write of another process to end: pages read half-way through such a write would give
  // a damaged index or miss keys.
  template <class F>
  auto Consistent(F&& read) -> decltype(read());
  std::int64_t KeyReadAsIs(std::int64_t code);
  bool SeekKeyAsIs(std::string_view text);
  std::int64_t LookupKeyAsIs(std::string_view text);
  int RangeTest(const std::string& key) const;  // -1 below the range, 1 above it, 0 in it
  std::int64_t Edge(bool end);
  // Positions on the entry (key, recNo); false when there is none.
  bool FindPair(const std::string& key, std::int64_t recNo);
  void StoreChanged(std::vector<DBobjIndexKey*> pages);
  void SplitUp(std::size_t level);
  void UpdateParentKeys(std::size_t level);
  void RemoveEntry(std::size_t level);
  int ComparePrefix(const std::string& key, const std::string& bound) const;
  // Whether seeks compare whole keys (the table's exact-match setting; always while pages
  // are held for a write, and without a table); else over the sought key's length.
  bool ExactSeek() const;

  // The walk in progress (one direction): the pages it entered, the steps it made and the
  // bound on them. Turning round starts a new one from the chain's pages.
  struct WalkState {
    std::unordered_set<std::int64_t> pages;
    std::int64_t steps = 0;
    std::int64_t bound = -1;
    bool forward = true;
  };
  WalkState walk_;
  // Past the bound: the table's records counted again from its file (another user may have
  // appended); still past it, the file is damaged.
  void CheckWalkBound();

  DBobjIndexKeyData current_;
  bool bof_ = false;
  bool eof_ = false;
  bool pastEnd_ = false;
  bool pastBegin_ = false;
  std::string low_, high_;
  bool lowSet_ = false, highSet_ = false;
  bool emptyRange_ = false;
  bool holding_ = false;  // pages held during a write
  bool reseek_ = false;   // the chain predates a change by another process
  // A record whose key is to become current before the next relative read (set when the
  // table was positioned by record number; found lazily, so a tag switched to and away
  // again costs no search).
  std::int64_t syncRec_ = 0;
  void ResolveSync();
};

class DBobjIndexFileBase : public DBobjIndexFile {
 public:
  // Opens (or with `create` makes) the file `name` of `table` (which may be null): the name
  // is trimmed and upper-cased, given `defaultExt` when it has none and the table's
  // directory when it names none. A missing file that is not to be created leaves the
  // file closed (HeaderValid false).
  DBobjIndexFileBase(DBO_dBHandler* table, std::string_view name, bool create, bool overwrite, bool shared,
                     bool readWrite, std::string_view defaultExt);
  ~DBobjIndexFileBase() override;

  AnsiString IndexFileName() const override { return disk_ ? disk_->FileName() : path_; }
  bool HeaderValid() const override { return disk_ != nullptr && !invalid_; }
  bool LockIndex() override;
  bool UnlockIndex() override;
  void Updated(bool append, std::int64_t recNo) override;
  void BeginUpdate() override;
  void EndUpdate() override;
  void RollbackUpdate() override;
  void FlushIndex() override;
  void SetLockProtocol(TdbLokProtocol protocol) override { protocol_ = protocol; }
  // Whether another process changed a shared file since this one last read or wrote it:
  // the bytes of the header that every change touches (the format's change counter and
  // whatever else of it moves) differ from those kept. For an unshared file, whether
  // another object of the process wrote to it (DBO_DiskFile::TakeWritesOfOthers).
  bool ChangedByOther() override;
  // For a shared file this process does not hold locked: when another process changed
  // it, every tag reads its header again (Reload); true then. Under the file's lock the
  // check was made when the lock was taken.
  bool Refresh();
  // Whether the file is shared and this process does not hold its lock (reads then see
  // other processes' writes as they happen).
  bool ReadsUnlocked() const { return disk_ && disk_->IsShared() && lockDepth_ == 0; }
  // Makes the next check take the file as changed by another process (its headers are
  // then read again).
  void ForgetWatched() { watched_.clear(); }
  // The change counter as kept in memory.
  std::uint32_t Stamp() const { return stamp_; }
  bool RenameIndex(std::string_view newName) override;
  std::int64_t TagCount() const override { return static_cast<std::int64_t>(tags_.size()); }
  DBobjIndexTag* Tag(std::int64_t i) override;
  DBobjIndexTagBase* TagBase(std::int64_t i) const;

  virtual std::int64_t NextBlock() = 0;
  virtual void ResetBlock() = 0;
  // The block NextBlock would give, without taking it (-1 until known).
  std::int64_t PendingBlock() const { return nextBlock_; }
  // True when the whole length was read.
  bool ReadBlock(std::int64_t offset, void* buffer, std::int64_t length);
  bool WriteBlock(std::int64_t offset, const void* buffer, std::int64_t length);
  std::int64_t FileSize() const;
  // The file size for the checks of pages read: kept between reads (this process's writes
  // extend it; taken anew when another process changed the file or a tag is built).
  std::int64_t PageFileSize();
  // Raises the engine's error for a damaged index (2112 with the file name).
  [[noreturn]] void Damaged() const;

  // Pages read lately, as their tag decoded them, by file offset: a seek reads them from
  // memory. A page is forgotten when anything is written over it, and all of them when
  // another process changed the file or a tag is built.
  const DBobjIndexKey* CachedPage(const DBobjIndexTagBase* tag, std::int64_t offset) const;
  void CachePage(const DBobjIndexTagBase* tag, std::int64_t offset, const DBobjIndexKey& page);
  void ForgetPages() {
    cache_.clear();
    knownSize_ = -1;
  }

  DBO_dBHandler* Table() const { return table_; }
  DBO_DiskFile* Disk() const { return disk_.get(); }
  TdbLokProtocol LockProtocol() const { return protocol_; }

 protected:
  // The one tag of a single-tag file, named after the file, reads its header; false for a
  // new file (its tag comes with AddTag) or an invalid header.
  template <class Tag, class File>
  bool OpenSingleTag(File& self) {
    if (!disk_) return false;
    if (created_) {
      nextBlock_ = 0;
      return false;
    }
    auto tag = std::make_unique<Tag>(self, stem_);
    if (!tag->HeaderRead()) {
      invalid_ = true;
      return false;
    }
    tags_.push_back(std::move(tag));
    RememberState();
    return true;
  }

  // Where the file keeps its change counter (offset and 2 or 4 bytes) and the header bytes
  // whose change tells that another process wrote (they include the counter).
  struct StampPlace {
    std::int64_t offset = 0;
    int size = 4;
    std::int64_t watchOffset = 0;
    int watchSize = 4;
  };
  virtual StampPlace StampAt() const = 0;
  // The counter after `c` (formats with a 16-bit counter wrap on their own rule).
  virtual std::uint32_t NextStamp(std::uint32_t c) const { return c + 1; }
  // Takes the watched header bytes (and the counter) as they are on disk now.
  void RememberState();
  // Raises the change counter on disk after this process wrote.
  void StampChange();
  // After another process changed the file: headers read again, blocks taken anew.
  virtual void Reload();

  // The places of every tag (and of the format's own fields) for a change that may fail.
  virtual std::vector<std::int64_t> SavePlaces() const;
  virtual void RestorePlaces(const std::vector<std::int64_t>& places);

  // Rebuilds the file beside itself: `build` writes the whole new file through this
  // object, whose disk file is for the call a new file in the same directory that starts
  // with the first `keepBytes` bytes of the old one; the new file is then flushed and
  // renamed over the old, so that a crash leaves one of them whole. The file must be in
  // no one else's use (refused with 32 otherwise). A failure leaves the old file and the
  // tags' places as they were, and passes on.
  void RebuildBeside(std::int64_t keepBytes, const std::function<void()>& build);

  DBO_dBHandler* table_;
  AnsiString path_;
  AnsiString stem_;  // the name without directory and extension, upper-cased
  std::unique_ptr<DBO_DiskFile> disk_;
  std::vector<std::unique_ptr<DBobjIndexTagBase>> tags_;
  bool invalid_ = false;
  bool created_ = false;
  std::int64_t nextBlock_ = -1;
  TdbLokProtocol protocol_ = TdbLokProtocol::Default;
  int lockDepth_ = 0;
  std::uint32_t stamp_ = 0;
  std::string watched_;   // the watched header bytes as last seen
  bool written_ = false;  // blocks written since the counter was last raised

 private:
  static constexpr std::size_t kCachedPages = 4096;
  static constexpr std::int64_t kLargestBlock = 32768;
  struct CachedPageEntry {
    const DBobjIndexTagBase* tag;
    DBobjIndexKey page;
  };
  std::map<std::int64_t, CachedPageEntry> cache_;
  std::int64_t knownSize_ = -1;

  // What the writes of an update replaced (first write of a range), in order.
  struct UndoBlock {
    std::int64_t offset;
    std::string bytes;
    std::int64_t length;
  };
  bool undoActive_ = false;
  std::int64_t undoSize_ = 0;
  std::vector<UndoBlock> undo_;
  std::vector<std::int64_t> undoPlaces_;
};

// Holds an index file's lock for a scope (released also when an exception leaves it).
class TdbIndexLock {
 public:
  explicit TdbIndexLock(DBobjIndexFile& file) : file_(file) { file_.LockIndex(); }
  ~TdbIndexLock() {
    try {
      file_.UnlockIndex();
    } catch (...) {
    }
  }
  TdbIndexLock(const TdbIndexLock&) = delete;
  TdbIndexLock& operator=(const TdbIndexLock&) = delete;

 private:
  DBobjIndexFile& file_;
};

// Keeps other processes out of an index file while its list of tags changes: a process
// that has the file open keeps the tags it read and would not maintain one added here.
// A sharing violation goes to the error procedure when the file is open elsewhere;
// Held() then says false and the change must not be made.
class TdbTagListChange {
 public:
  explicit TdbTagListChange(DBO_DiskFile& disk);
  ~TdbTagListChange() { End(); }
  bool Held() const { return held_; }
  // Ends it early: before a rebuild, which replaces the file object.
  void End() {
    if (held_) disk_.EndExclusiveUse();
    held_ = false;
  }
  TdbTagListChange(const TdbTagListChange&) = delete;
  TdbTagListChange& operator=(const TdbTagListChange&) = delete;

 private:
  DBO_DiskFile& disk_;
  bool held_ = false;
};

// Sets up the table for a walk over its records in raw order (restored when it goes).
class TdbIndexBuildScope {
 public:
  explicit TdbIndexBuildScope(DBO_dBHandler* table);
  ~TdbIndexBuildScope();
  TdbIndexBuildScope(const TdbIndexBuildScope&) = delete;
  TdbIndexBuildScope& operator=(const TdbIndexBuildScope&) = delete;

 private:
  DBO_dBHandler* table_;
  int state_ = 0;
  std::int64_t recNo_ = 0;
  bool readAhead_ = false;
};

// An index file whose keys may no longer tell the truth about its table: a pack replaces
// the table and then rebuilds the index, and a crash between the two leaves the old keys
// with new record numbers. A marker file beside the index ("<name>.stale") is written and
// flushed before the table changes and removed once the index is rebuilt; an open finds
// it and rebuilds the index first. MarkIndexStale raises when the marker cannot be made.
void MarkIndexStale(const AnsiString& indexName);
bool IndexMarkedStale(const AnsiString& indexName);
void ClearIndexStale(const AnsiString& indexName);

// The formats built in: ".CDX" and ".NTX".
void RegisterBuiltinIndexFormats(const std::function<void(std::string_view, TdbIndexFactory)>& add);
