// dBase tables (".DBF") of versions 0x03, 0x30, 0x83, 0x8B and 0xF5: the header and
// field descriptors, one record buffer, positioning, append and rewrite, the header
// stamp, the refresh of shared tables and the byte-range locks of the lock protocols
// (DBO_dBaseDBF); typed access to the fields of the record buffer (DBO_dBaseFld).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tables/db_memo.h"
#include "tables/db_sql.h"
#include "tables/db_text.h"

// A field descriptor as read from the file, with its place in the record.
struct TdbFieldDesc {
  std::array<std::uint8_t, 32> raw{};  // the descriptor as stored
  AnsiString name;                     // up to the first zero byte, at most 11 characters
  char type = 0;
  std::int64_t offset = 0;  // within the record (the deletion flag is offset 0)
  std::int32_t length = 0;  // C: byte 16 + 256 * byte 17
  std::int32_t decimals = 0;
  std::int32_t number = 0;  // 1-based
  bool rawNumber = false;   // stored as a raw number (version 0x30: B G I M T Y)
};

// Notification codes of DBO_dBaseDBF::Notify.
namespace dbn {
inline constexpr int Blanked = 0;
inline constexpr int FieldStored = 1;
inline constexpr int Opened = 2;
inline constexpr int BeforeRead = 4;
inline constexpr int BeforeWrite = 5;
inline constexpr int AfterRead = 6;
inline constexpr int AfterWrite = 7;
inline constexpr int AfterFlush = 8;
}  // namespace dbn

// Positioning codes of GetRecord besides record numbers.
namespace dbp {
inline constexpr std::int64_t Current = -5;
inline constexpr std::int64_t Last = -4;
inline constexpr std::int64_t First = -3;
inline constexpr std::int64_t Previous = -2;
inline constexpr std::int64_t Next = -1;
}  // namespace dbp

class DBO_dBaseDBF : public DBO_DiskFile {
 public:
  static constexpr std::int64_t kMaxFields = 4096;

  // Opens the table (".DBF" added to a name without extension); raises EDbfError for a
  // missing file or an invalid header.
  DBO_dBaseDBF(std::string_view fileName, bool shared, bool readWrite);
  ~DBO_dBaseDBF() override;

  virtual void Append();
  virtual void SetCollation(std::int32_t a, const std::uint8_t* table, std::int32_t b);
  virtual void Notify(int code, std::int64_t value);
  virtual void GetRecord(std::int64_t code);
  virtual bool LockAppend();
  virtual bool LockTable();
  virtual bool LockAll();
  virtual bool UnlockTable();
  virtual bool LockRecord();
  virtual void PutRecord(std::int64_t n);
  virtual void SetLockProtocol(TdbLokProtocol protocol);
  virtual bool HasIndex() const { return false; }

  bool Close() override;
  void Flush() override;
  bool Rename(std::string_view newName) override;
  void StatusUpdate(std::int32_t, std::int32_t, std::int32_t) override {}

  void RefreshHeader();
  void WriteHeader();
  bool IsDeleted() const { return !record_.empty() && record_[0] == '*'; }
  void SetUserID(std::uint32_t id) { userId_ = id; }
  // The memo file, opened on first use; none for tables without one.
  DBobjMemo* OpenMemo();

  std::uint8_t Version() const { return header_[0]; }
  bool HasMemoFile() const;
  std::int64_t HeaderLength() const { return headerLength_; }
  std::int64_t RecordLength() const { return recordLength_; }
  std::int64_t RecordCount() const { return recordCount_; }
  std::int64_t RecNo() const { return current_; }
  bool Eof() const { return eof_; }
  bool Bof() const { return bof_; }
  bool ChangedByOther() const { return changedByOther_; }
  bool HeaderDirty() const { return headerDirty_; }
  bool RecordChanged() const { return recordChanged_; }
  bool RecordWritten() const { return recordWritten_; }
  bool TableLockHeld() const { return tableLockHeld_; }
  TdbLokProtocol LockProtocol() const { return protocol_; }
  const TdbLockValues& LockValues() const { return lockValues_; }
  const std::array<std::uint8_t, 32>& Header() const { return header_; }
  std::int64_t FieldCount() const { return std::ssize(fields_); }
  // The record buffer (record length bytes, then 0x1A) and the record as last read or written.
  char* RecordBuffer() { return record_.data(); }
  const char* RecordBuffer() const { return record_.data(); }
  const char* SavedRecord() const { return saved_.data(); }
  // Exchanges the record buffer with the record as last read or written (twice restores):
  // index upkeep evaluates the old keys of a rewritten record this way.
  void SwapSavedRecord() { record_.swap(saved_); }
  // Marks the table as having a production index (header byte 28, bit 0) and writes the header.
  void MarkProductionIndex() {
    if (header_[28] & 0x01) return;
    header_[28] |= 0x01;
    headerDirty_ = true;
    WriteHeader();
  }
  // Change bytes: 0 for the deletion flag, then one per field.
  std::vector<std::uint8_t>& Changes() { return changes_; }
  std::int32_t CollationA() const { return collationA_; }
  const std::uint8_t* CollationTable() const { return collationTable_; }
  std::int32_t CollationB() const { return collationB_; }

 protected:
  // The file offset of record n, range-checked to 32 bits.
  std::int64_t RecordOffset(std::int64_t n) const;
  void RaiseHeaderError(std::int32_t code = 0);
  // For a table handler that positions by itself and compacts the file.
  void SetEdges(bool bof, bool eof) {
    bof_ = bof;
    eof_ = eof;
  }
  void SetCurrent(std::int64_t n) { current_ = n; }
  void SetRecordCount(std::int64_t n) { recordCount_ = n; }
  // Passes a notification to Notify. The one of the open cannot reach an override from
  // the constructor: it is held back and passed first, before the object's first other
  // notification (the first read, write, blank or field stored).
  void Announce(int code, std::int64_t value);
  void MarkHeaderChanged() { headerDirty_ = true; }
  // After the file was replaced under its name (built beside it and renamed over): the new
  // file opened in place of the old, its header read, no record current.
  void ReopenReplaced();

  std::vector<TdbFieldDesc> fields_;
  std::vector<char> record_;
  std::vector<char> saved_;
  std::vector<std::uint8_t> changes_;
  std::int64_t current_ = 0;

 private:
  bool openToAnnounce_ = false;
  std::uint64_t countedWrites_ = 0;  // the writes of others when the records were last counted
  void ReadAndCheckHeader();
  std::int64_t CountFromSize();

  // What a record write replaces, so that a write which fails, or after which the upkeep
  // of the indexes fails, leaves the table as it was: the file's bytes the record goes
  // over, and for an append the header and the size of the file.
  struct WriteUndo {
    std::int64_t offset = 0;
    std::string bytes;
    bool append = false;
    std::int64_t size = 0;
    std::string diskHeader;
    std::array<std::uint8_t, 32> header{};
    std::int64_t count = 0, current = 0;
    std::uint32_t stamp = 0;
    bool headerDirty = false, eof = false, bof = false, written = false;
  };
  WriteUndo KeepForUndo(std::int64_t offset, std::int64_t length, bool append);
  void TakeBack(const WriteUndo& u);

  std::array<std::uint8_t, 32> header_{};
  std::int64_t headerLength_ = 0;
  std::int64_t recordLength_ = 0;
  std::int64_t recordCount_ = 0;
  std::uint32_t stamp_ = 0;
  bool eof_ = false;
  bool bof_ = true;
  bool headerDirty_ = false;
  bool changedByOther_ = false;
  bool recordWritten_ = false;
  bool recordChanged_ = false;
  bool tableLockHeld_ = false;
  // Whether no other user can append now (the append lock or the table lock is held):
  // only then does a header write of a shared table carry the record count.
  bool countGuarded_ = false;
  TdbLokProtocol protocol_ = TdbLokProtocol::Default;
  TdbLockValues lockValues_ = LockValuesOf(TdbLokProtocol::Default);
  std::int32_t collationA_ = 0;
  const std::uint8_t* collationTable_ = nullptr;
  std::int32_t collationB_ = 0;
  std::uint32_t userId_ = 0;
  std::unique_ptr<DBobjMemo> memo_;
};

class DBO_dBaseFld : public DBO_dBaseDBF {
 public:
  DBO_dBaseFld(std::string_view fileName, bool shared, bool readWrite);

  void GetRecord(std::int64_t code) override;
  virtual const TdbFieldDesc* FieldDesc(std::string_view name);
  virtual void BlankRecord();
  virtual std::int32_t DateGetByName(std::string_view name);
  virtual std::int32_t DateGet(std::int64_t n);
  virtual void DatePutByName(std::string_view name, std::int32_t julian);
  virtual bool DatePut(std::int64_t n, std::int32_t julian);
  virtual void Delete();
  virtual AnsiString FieldGetByName(std::string_view name);
  virtual AnsiString FieldGet(std::int64_t n) const;
  virtual bool FieldPutByName(std::string_view name, std::string_view text);
  virtual bool FieldPut(std::int64_t n, std::string_view text);
  virtual std::int32_t FieldDecimals(std::int64_t n) const;
  virtual std::int32_t FieldLen(std::int64_t n) const;
  virtual std::int64_t FieldOffset(std::int64_t n) const;
  virtual AnsiString FieldName(std::int64_t n) const;
  virtual char FieldType(std::int64_t n) const;
  virtual int Formula() { return -1; }
  virtual bool LogicGetByName(std::string_view name);
  virtual bool LogicGet(std::int64_t n) const;
  virtual void LogicPutByName(std::string_view name, bool value);
  virtual bool LogicPut(std::int64_t n, bool value);
  virtual double NumberGetByName(std::string_view name);
  virtual double NumberGet(std::int64_t n);
  virtual void NumberPutByName(std::string_view name, double value);
  virtual bool NumberPut(std::int64_t n, double value);
  virtual AnsiString DisplayTextByName(std::string_view name);
  virtual AnsiString DisplayText(std::int64_t n);
  // DisplayText into a string the caller reuses (a scan allocates nothing per field).
  void DisplayTextTo(std::int64_t n, AnsiString& out) { DisplayTextIn(record_.data(), n, out); }
  // The raw text as a view of the record buffer, valid until the buffer changes.
  std::string_view FieldView(std::int64_t n) const;
  // Reads of a field in another image of a record of this table (a dataset's buffer),
  // as FieldView, NumberGet, LogicGet and DisplayTextTo read the record buffer.
  std::string_view FieldViewIn(const char* record, std::int64_t n) const;
  double NumberGetIn(const char* record, std::int64_t n);
  bool LogicGetIn(const char* record, std::int64_t n) const;
  // Text and number fields inline (they are most of a scan), the other types out of line.
  void DisplayTextIn(const char* record, std::int64_t n, AnsiString& out) {
    if (static_cast<std::uint64_t>(n - 1) < fields_.size()) {
      const TdbFieldDesc& d = Desc(n);
      if (d.type == 'C') return (void)out.assign(dbtext::TrimmedText(record + d.offset, static_cast<std::size_t>(d.length)));
      if ((d.type == 'N' || d.type == 'F') && !d.rawNumber) {
        const std::string_view t =
            dbtext::TrimLeftView(dbtext::TrimmedText(record + d.offset, static_cast<std::size_t>(d.length)));
        if (!t.empty()) return (void)out.assign(t);
      }
    }
    DisplayTextRest(record, n, out);
  }
  virtual void TextPutByName(std::string_view name, std::string_view text);
  virtual void TextPut(std::int64_t n, std::string_view text);
  virtual void Undelete();

  // 1-based number of a field, 0 when none.
  std::int64_t FieldNumber(std::string_view name) const;
  std::int64_t MemoSize(std::int64_t n);
  AnsiString MemoRead(std::int64_t n);
  bool MemoWrite(std::int64_t n, const void* buffer, std::int64_t length);

  TdbExpUserLink& Link() { return link_; }
  // Whether a field's type is stored as a raw number (version 0x30: B G I M T Y).
  bool IsRawNumber(std::int64_t n) const;

 private:
  bool InRange(std::int64_t n) const { return n >= 1 && n <= FieldCount(); }
  const TdbFieldDesc& Desc(std::int64_t n) const { return fields_[static_cast<std::size_t>(n - 1)]; }
  void StoreText(std::int64_t n, std::string_view text);
  AnsiString DisplayTextOther(std::int64_t n, const AnsiString& text);
  [[gnu::noinline]] void DisplayTextRest(const char* record, std::int64_t n, AnsiString& out);
  void CheckTypeByName(const TdbFieldDesc* d, std::string_view allowed);
  AnsiString TableStem() const;
  std::uint32_t MemoBlock(std::int64_t n);
  void BuildLink();

  TdbExpUserLink link_;
};
