// The dataset over dBase tables: TDbfDataSet maps the dataset framework's record-buffer
// protocol onto the table handler (DBFObject). THCBlobStream reads and writes one memo
// field of the current record. The table-directory aliases come from "dbtables.cfg"
// (section Alias) in the configuration directory.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/DB.h"
#include "tables/db_dbsy.h"

class TDbfDataSet;

using TdbStatusReport =
    std::function<void(TObject* sender, std::int32_t stat1, std::int32_t stat2, std::int32_t stat3)>;
using TdbFormulaMake = std::function<void(TObject* sender, const char* who, const char* st, const char* rsl,
                                          char& typ, bool& chg, bool& tf)>;

// The table handler of one open dataset: progress, record acceptance and formulas go to
// the dataset.
class DBFObject : public DBO_dBHandler {
 public:
  DBFObject(TDbfDataSet& owner, std::string_view fileName, bool shared, bool readWrite);

  void StatusUpdate(std::int32_t stat1, std::int32_t stat2, std::int32_t stat3) override;
  bool RecordAccepted() override;
  int Formula() override;

  // The record image of a dataset buffer into the handler's record buffer and back
  // (nothing to copy for the handler's own record).
  void LoadRecord(const std::vector<char>& image);
  void StoreRecord(std::vector<char>& image) const;
  std::vector<char>& OwnRecord() { return record_; }
  // After the last record (a new one being filled in): the end flag set, the begin flag cleared.
  void MarkAtEnd() { SetEdges(false, true); }

 private:
  TDbfDataSet& owner_;
};

// The aliases of table directories: "Default Directory" first, then the entries of
// section Alias of "dbtables.cfg" in the configuration directory, as name=value lines.
// Read on first use; ReloadDbfAliases reads the file again (for tests and after a change).
TStringList& DbfAliases();
void ReloadDbfAliases();

// One buffered record: the record image as stored, the record number and bookmark.
struct TDbfRecordBuffer : TRecordBuffer {
  std::vector<char> image;
  std::int32_t recNo = 0;
  TBookmarkFlag flag = TBookmarkFlag::bfCurrent;
  std::array<char, 11> bookmark{};  // the record number right-aligned in 10 characters, then 0
  // A bookmark not yet written out: the text is that of this record number.
  bool bookmarkPending = false;
  std::int64_t bookmarkRecNo = 0;
  void CopyFrom(const TRecordBuffer& other) override { *this = static_cast<const TDbfRecordBuffer&>(other); }
};

class TDbfDataSet : public TDataSet {
 public:
  static constexpr int kBookmarkSize = 11;

  TDbfDataSet() = default;
  ~TDbfDataSet() override;

  static const char* About() { return "Table Engine Version 06.04.01"; }

  const AnsiString& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(std::string_view value);
  const AnsiString& TableName() const { return tableName_; }
  void SetTableName(std::string_view value);
  // The directory of the table, ending with "/" (empty: the current directory).
  AnsiString TableDirectory() const;

  bool Exclusive = false;
  bool ExactCount = false;
  bool TranslateASCII = true;
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool on);
  bool UseDeleted() const { return useDeleted_; }
  void SetUseDeleted(bool on);
  TdbLokProtocol LockProtocol() const { return lockProtocol_; }
  void SetLockProtocol(TdbLokProtocol protocol);
  std::uint32_t UserID() const { return userId_; }
  void SetUserID(std::uint32_t id);

  TdbStatusReport OnStatus;
  TdbFormulaMake OnFormula;

  // Removes the deleted records (the table must be open exclusively).
  void Pack();
  // Takes back the deletion of the current record.
  virtual void RecallRecord();
  // A search through the handler (DBO_dBHandler::SearchField with its SearchFlags);
  // on success the dataset stands on the record found.
  std::int64_t SearchRecord(std::string_view text, std::int64_t& fieldNumber, std::int64_t stopRecord,
                            std::int64_t& foundRecord);
  DBFObject* Handler() const { return dbf_.get(); }
  // Asked by the handler for every record it would stop on.
  bool RecordAccepted();

  // Index files opened with the table (an entry without extension gets ".NDX", one
  // without directory the table's) and the master tag ('' for record-number order).
  TStringList& IndexFiles();
  const AnsiString& IndexName() const { return indexName_; }
  void SetIndexName(std::string_view name);
  // Key range of the master tag (texts in the program's code page, translated like keys).
  void SetRange(std::string_view low, std::string_view high);
  void SetEmptyRange();
  // Master-detail: the detail shows the records whose master-tag key equals the text of
  // the master's field MasterFields. The master is a TDbfDataSet.
  TDataSource* MasterSource() const { return masterSource_; }
  void SetMasterSource(TDataSource* source);
  AnsiString MasterFields;
  // The tags of the open index files, counted from 1.
  std::int64_t TagCount() const;
  AnsiString TagName(std::int64_t n) const;
  AnsiString TagKeyExpr(std::int64_t n) const;
  AnsiString TagForExpr(std::int64_t n) const;
  AnsiString MasterTagName() const { return dbf_ ? dbf_->MasterTagName() : AnsiString(); }

  void CheckActive() const override;
  bool Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) override;
  Variant Lookup(std::string_view keyFields, const Variant& keyValues,
                 std::string_view resultFields) override;
  std::unique_ptr<TStream> CreateBlobStream(TField& field, TBlobStreamMode mode) override;
  // Final: the text path of GetFieldText converts string fields by the same rule.
  AnsiString Translate(std::string_view src, bool toOem) const final;
  bool GetFieldData(const TField& field, Variant& value) override;
  bool GetFieldText(const TField& field, AnsiString& text) override;
  void SetFieldData(TField& field, const Variant& value) override;
  int CompareBookmarks(const TBookmark& a, const TBookmark& b) const override;
  // Copies the cursor's record into the buffer; false on an empty dataset or when the
  // active record is not a current one.
  bool GetCurrentRecord(TDbfRecordBuffer& buffer);

 protected:
  std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override;
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) override;
  void InternalOpen() override;
  void InternalClose() override;
  bool IsCursorOpen() const override { return dbf_ != nullptr; }
  void InternalInitFieldDefs() override;
  void InternalFirst() override;
  void InternalLast() override;
  void InternalInitRecord(TRecordBuffer& buffer) override;
  void InternalEdit() override;
  void InternalPost() override;
  void InternalCancel() override;
  void InternalDelete() override;
  void InternalRefresh() override;
  void InternalGotoBookmark(const TBookmark& bookmark) override;
  void InternalSetToRecord(TRecordBuffer& buffer) override;
  TBookmark GetBookmarkData(const TRecordBuffer& buffer) const override;
  void SetBookmarkData(TRecordBuffer& buffer, const TBookmark& bookmark) override;
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& buffer) const override;
  void SetBookmarkFlag(TRecordBuffer& buffer, TBookmarkFlag flag) override;
  std::int64_t GetRecordCount() override;
  std::int64_t GetRecNo() override;
  void SetRecNoValue(std::int64_t n) override;
  bool GetCanModify() const override;
  bool IsSequenced() const override { return !Filtered() && !(dbf_ && dbf_->MasterTag()); }
  void SetFiltered(bool on) override;
  void SetFilterText(std::string_view text) override;
  void SetFilterOptions(TFilterOptions options) override;
  void DoAfterInsert() override;
  void DoAfterScroll() override;

 private:
  // Open steps 6 and 7: the index files, the master tag and the master's range.
  void OpenIndexFiles(bool openRaises);
  void OpenIndexFiles(DBFObject& table, bool openRaises);
  void SelectMasterTag(bool stay);
  void ApplyMasterRange();
  void MasterChanged();
  void IndexFilesChanged();
  // The first tag without FOR condition whose key expression is the field's name and
  // whose keys are the text itself (not collation weights).
  DBobjIndexTag* TagOfField(std::string_view field) const;
  // Locate and Lookup through such a tag; false when there is none to use.
  bool LocateByTag(std::string_view field, const AnsiString& text, TLocateOptions options, bool& found);
  bool LookupByTag(std::string_view field, const AnsiString& text, std::string_view resultFields,
                   Variant& result);
  // FindKey in the tag as master tag (the master tag and exact setting restored afterwards);
  // `onFound` runs on the record found while the tag is still master.
  bool FindThroughTag(DBobjIndexTag* tag, const AnsiString& text, bool exact, const std::function<void()>& onFound);

  // Locks record `recNo` for this user and reads it as it stands in the file under the
  // lock; raises "Record is locked by another user" when another user holds it.
  void LockAndReread(std::int64_t recNo);
  // Deletes or recalls the record under its record lock, as an edit would change it: a
  // user editing the record would otherwise write its old flag back with the post.
  void SetDeletionFlag(std::int64_t recNo, bool deleted);

  friend class DBFObject;
  friend class THCBlobStream;
  // The record image that fields are read from and written to in the current state;
  // null when there is none. In filter state it is the handler's own record.
  std::vector<char>* ActiveImage();
  // The record image a data field is read from; null when there is none.
  const char* FieldRecord(const TField& field);
  void ApplyFilter();
  // Applies a changed filter text or option to an open filtered dataset; on failure the
  // old value is restored before the error passes on.
  void ReapplyFilter(const std::function<void()>& restore);
  AnsiString ToTable(std::string_view text) const {
    return TranslateASCII ? cp::AnsiToOem(text) : AnsiString(text);
  }
  AnsiString FromTable(std::string_view text) const {
    return TranslateASCII ? cp::OemToAnsi(text) : AnsiString(text);
  }
  void FillBookmark(TDbfRecordBuffer& b, std::int64_t recNo) const;
  std::int64_t BookmarkRecNo(const TBookmark& bookmark) const;
  AnsiString TableFileName() const;

  std::unique_ptr<DBFObject> dbf_;
  // Where each field lies in the record and how it is stored, by field number.
  struct TFieldPlace {
    std::int64_t offset = 0;
    std::size_t length = 0;
    char type = 0;
    bool rawNumber = false;
  };
  std::vector<TFieldPlace> places_;
  AnsiString databaseName_;
  AnsiString tableName_;
  bool readOnly_ = false;
  bool useDeleted_ = false;
  TdbLokProtocol lockProtocol_ = TdbLokProtocol::Default;
  std::uint32_t userId_ = 0;
  bool firstPending_ = false;
  bool lastPending_ = false;
  bool editing_ = false;
  // Memos written in the current edit or insert: a memo field's text goes to blocks of its
  // own, and the memo the record had stays untouched until the post, so that a cancel (or
  // a post that fails and is cancelled) leaves the record's memo as it was.
  struct TEditMemo {
    std::int64_t field;
    std::uint32_t original;  // the block the record named when the edit began
    std::uint32_t written;   // the block of the text written since
  };
  std::vector<TEditMemo> editMemos_;
  // Writes a memo field's text in the edit (the record's fields in the handler's record).
  void WriteEditMemo(std::int64_t field, const AnsiString& bytes);
  // The memos no record names any more once the edit is posted (the originals replaced)
  // or cancelled (the texts written in it); false for either.
  void EndEditMemos(bool posted);
  std::unique_ptr<TStringList> indexFiles_;
  AnsiString indexName_;
  TDataSource* masterSource_ = nullptr;
  TDbfDataSet* master_ = nullptr;  // the dataset of the master source, which lists this one
  std::vector<TDbfDataSet*> details_;
};

// A stream over one memo or blob field of the current record. The content is read when
// the stream is made and written back when it is destroyed after a change, in edit or
// insert state. Positions are kept within 0 .. size + any gap a write leaves, which
// reads as zero bytes.
class THCBlobStream : public TStream {
 public:
  THCBlobStream(TField& field, TBlobStreamMode mode);
  ~THCBlobStream() override;

  std::int64_t Read(void* buffer, std::int64_t count) override;
  std::int64_t Write(const void* buffer, std::int64_t count) override;
  std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
  void SetSize(std::int64_t size) override;
  std::int64_t Size() override { return static_cast<std::int64_t>(content_.size()); }

 private:
  TField& field_;
  TDbfDataSet& dataSet_;
  std::int64_t fieldNo_;
  bool modified_ = false;
  AnsiString content_;
  std::int64_t position_ = 0;
};
