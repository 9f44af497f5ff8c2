// The table handler: a table with its memo file and up to 63 open index files. It
// walks the records in the order of a master tag or in record-number order, hides
// deleted records and records outside a filter, seeks keys, searches field values
// without an index, keeps the open index files and the filter up to date when
// records are written, packs the table and reports progress through StatusUpdate.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "tables/db_DBF.h"
#include "tables/db_indx.h"

// Search flags of DBO_dBHandler::SearchField.
namespace dbs {
inline constexpr std::uint16_t Caseless = 1;
inline constexpr std::uint16_t Exact = 2;
inline constexpr std::uint16_t Wildcards = 4;  // "*" at the ends, "?" for one character
inline constexpr std::uint16_t KeepState = 8;
inline constexpr std::uint16_t KeepTag = 16;
inline constexpr std::uint16_t Anchored = 32;
}  // namespace dbs

// Progress kinds of StatusUpdate (-1, kind, total), (kind, n, 0), (0, n, 0).
namespace dbk {
inline constexpr std::int32_t IndexRead = 1;
inline constexpr std::int32_t IndexWrite = 2;
inline constexpr std::int32_t Pack = 11;
inline constexpr std::int32_t Search = 21;
}  // namespace dbk

class DBO_dBHandler : public DBO_dBaseFld {
 public:
  static constexpr int kMaxIndexFiles = 63;
  static constexpr int kStateNormal = 1;
  static constexpr int kStateIndexing = 4;  // raw record order for searches and rebuilds
  static constexpr std::int64_t kReadAheadBytes = 32768;  // a system call per 32 KB of a scan

  DBO_dBHandler(std::string_view fileName, bool shared, bool readWrite);
  ~DBO_dBHandler() override;

  // Navigation codes as DBO_dBaseDBF::GetRecord; in the normal state deleted records
  // (unless ShowDeleted), records outside the filter and records that RecordAccepted
  // refuses are stepped over in the direction of the move.
  void GetRecord(std::int64_t code) override;

  virtual bool FindKey(std::string_view text);
  virtual std::int64_t FindNear(std::string_view tagName, std::string_view text);
  virtual void Skip(std::int64_t n);
  virtual bool RecordAccepted() { return true; }
  // Locks every index file in slot order; on any failure the files already locked are
  // unlocked again, and the result is false (last error 33) or the exception passes on.
  virtual bool LockIndexes();
  void UnlockIndexes();

  // The filter: evaluated once over the table into a record set, which follows every
  // later write. Raises EDbfError when the expression is not logical.
  void SetFilter(std::string_view text, bool caseless, bool partialCompare);
  void SetFilterActive(bool on);
  bool FilterRequested() const { return filterRequested_; }
  bool FilterInForce() const { return filterInForce_; }
  const TdbHugeSet* FilterSet() const { return filterSet_.get(); }
  const AnsiString& FilterText() const { return filterText_; }

  // Key ranges of the master tag (nothing without one); then the first record in range,
  // and a blank record buffer when there is none.
  void SetRange(std::string_view low, std::string_view high, bool lowSet, bool highSet);
  void SetEmptyRange();

  // Sequential search of a text in one field (1..) or every field (0), from the record
  // after `foundRecord` (or the first) to `stopRecord` (0: the end); the match code (the
  // 1-based position for texts, 1 otherwise), 0 when nothing matched.
  std::int64_t SearchField(std::string_view text, std::int64_t& fieldNumber, std::int64_t stopRecord,
                           std::int64_t& foundRecord);
  std::uint16_t SearchFlags = 0;

  // Removes the deleted records (exclusive tables only), frees their memos, cuts the
  // file after the end byte and rebuilds the indexes.
  void Pack();
  void Reindex();

  void AllowReadAhead(bool on);
  void SetReadAhead(bool on);
  bool ReadAheadActive() const { return readAheadActive_; }
  // The bytes of the read-ahead buffer (0 while it is off: the buffer is freed).
  std::int64_t ReadAheadBytes() const { return readAheadSize_; }
  // Whether no other process can write the table while it is open (exclusive or
  // read-only opens): only then may sequential reads be served from the buffer.
  bool ReadAheadSafe() const { return !IsShared() || !IsReadWrite(); }
  // Reads record n from the file itself, never from the read-ahead buffer (before an
  // edit, a lock or a delete, whose rewrite must not carry stale bytes).
  void RereadRecord(std::int64_t n);

  // The index list.
  int IndexOpen(std::string_view fileName);
  int OpenIndexList(std::string_view list, std::string_view tagName);
  void CloseIndexes();
  int SetTagTo(std::string_view tagName, bool stay);
  DBobjIndexTag* TagByNumber(std::int64_t n) const;
  int IndexSlotOf(std::string_view fileName) const;
  DBobjIndexFile* IndexFile(int slot) const;
  DBobjIndexTag* MasterTag() const { return masterTag_; }
  const AnsiString& MasterTagName() const { return masterTagName_; }
  bool Found() const { return found_; }

  // Overrides of the table's operations.
  void Append() override;
  void PutRecord(std::int64_t n) override;
  void Notify(int code, std::int64_t value) override;
  void SetLockProtocol(TdbLokProtocol protocol) override;
  bool HasIndex() const override { return slots_[0] != nullptr; }
  std::int64_t ReadAt(std::int64_t offset, void* buffer, std::int64_t count) override;
  void WriteAt(std::int64_t offset, const void* buffer, std::int64_t count) override;
  void Truncate(std::int64_t offset) override;
  bool Rename(std::string_view newName) override;

  int TableState = kStateNormal;
  bool ShowDeleted = false;
  bool ExactMatch = false;

 private:
  bool Visible();
  // Moves by a navigation code, stepping over refused records in the direction.
  void Walk(std::int64_t code, std::int64_t direction);
  // The next record of the filter set from the current one by a navigation code; 0 at an edge.
  std::int64_t FromFilterSet(std::int64_t code);
  void ClipUnlock();
  void UpdateFilterBit(std::int64_t recNo);
  // Every record in record-number order into the filter set (which starts empty).
  void EvaluateFilterSet();
  void DropMasterTag();
  void FirstInRange();

  std::array<std::unique_ptr<DBobjIndexFile>, kMaxIndexFiles> slots_;
  // Rebuilds every tag of the file from the table in raw order, then clears its stale mark.
  void RebuildIndexFile(DBobjIndexFile& file);
  // Closes the file of a slot (the master tag dropped when it is one of its tags).
  void DropIndexFile(std::unique_ptr<DBobjIndexFile>& file);
  DBobjIndexTag* masterTag_ = nullptr;
  AnsiString masterTagName_;
  bool found_ = false;

  bool readAheadAllowed_ = true;
  bool readAheadActive_ = false;
  std::unique_ptr<char[]> readAhead_;
  std::int64_t readAheadSize_ = 0;
  std::int64_t readAheadFirst_ = -1;
  std::int64_t readAheadPast_ = -1;
  std::int64_t readAheadFollows_ = -1;  // the offset after the last read past the buffer

  AnsiString filterText_;
  bool filterCaseless_ = false;
  bool filterPartial_ = false;
  bool filterCompiled_ = false;  // the stored text and options are evaluated into the set
  std::unique_ptr<TdbExpHandler> filterExp_;
  std::unique_ptr<TdbHugeSet> filterSet_;
  bool filterRequested_ = false;
  bool filterInForce_ = false;
};
