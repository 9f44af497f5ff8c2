// What the table handler asks of an open index file and of its tags. The index
// formats (CDX, MDX, NDX, NTX) implement these classes and register a factory for
// their extension; until a format is registered, opening an index file of that
// extension fails like a file the engine cannot read.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "tables/db_disk.h"

class DBO_dBHandler;

class DBobjIndexTag {
 public:
  virtual ~DBobjIndexTag() = default;
  virtual AnsiString TagName() const = 0;
  // Reads a key by a navigation code (dbp::First, Last, Next, Previous, Current); the
  // record number of the key reached, 0 at an edge, which Bof or Eof then reports.
  virtual std::int64_t KeyRead(std::int64_t code) = 0;
  virtual bool Bof() const = 0;
  virtual bool Eof() const = 0;
  // Goes to the first key at or after `key`; false when there is none.
  virtual bool SeekKey(std::string_view key) = 0;
  virtual AnsiString CurrentKey() const = 0;
  // The record number of an exact match of `key`, read without moving the tag; 0 when none.
  virtual std::int64_t FindExact(std::string_view key) = 0;
  // Mode 1: the page chain rebuilt at the current record's key; mode 0: pages released.
  virtual void ResetPages(int mode) = 0;
  virtual void ClearRange() = 0;
  // Limits the keys to those from `low` to `high`; a flag off leaves that end open.
  virtual void SetKeyRange(std::string_view low, std::string_view high, bool lowSet, bool highSet) = 0;
  // Limits the keys to none.
  virtual void SetEmptyKeyRange() = 0;

  // The texts of the key and FOR expressions ('' when none).
  virtual AnsiString KeyExprText() const { return {}; }
  virtual AnsiString ForExprText() const { return {}; }
  virtual bool HasFor() const { return !ForExprText().empty(); }
  // After the table was positioned on record `recNo` by number: the tag moves to that
  // record's key when its current key belongs to another record. The record number of
  // the current key afterwards.
  virtual std::int64_t KeySync(std::int64_t recNo) { return recNo; }
  // As FindExact: the record number of an exact match, the tag's position untouched.
  virtual std::int64_t LookupKey(std::string_view key) { return FindExact(key); }
  // Key upkeep after record `recNo` was appended or rewritten (the table still holds the
  // record as it was read, see DBO_dBaseDBF::SwapSavedRecord); whether the tag changed.
  virtual bool UpdateKey(std::int64_t /*recNo*/, bool /*appended*/) { return false; }
  // Whether the current key answers a sought text: equal over the text's length, and with
  // `exact` no longer than it (trailing blanks aside).
  virtual bool KeyMatches(std::string_view text, bool exact) const;
  // Whether keys are stored as collation weights rather than as the text (letters equal
  // regardless of case): a search that must match the text exactly cannot rely on them.
  virtual bool CollatedKeys() const { return false; }
};

class DBobjIndexFile {
 public:
  virtual ~DBobjIndexFile() = default;
  virtual AnsiString IndexFileName() const = 0;
  virtual bool HeaderValid() const = 0;
  // Raises EDbfError "Error %s in Lock of %s" when the lock stays refused; false for a
  // failure it reports without raising.
  virtual bool LockIndex() = 0;
  virtual bool UnlockIndex() = 0;
  // The keys of a record after it was appended or rewritten.
  virtual void Updated(bool append, std::int64_t recNo) = 0;
  virtual void Reindex() = 0;
  virtual void FlushIndex() = 0;
  virtual void SetLockProtocol(TdbLokProtocol protocol) = 0;
  virtual bool RenameIndex(std::string_view newName) = 0;
  virtual std::int64_t TagCount() const = 0;
  virtual DBobjIndexTag* Tag(std::int64_t i) = 0;  // from 0

  // Whether the name part of `path` (after the last "/", "\" or ":") is this file's.
  virtual bool NameMatches(std::string_view path) const;
  // The first tag of that name (caseless); null when none.
  DBobjIndexTag* TagByName(std::string_view name);
  // Whether another process changed the file since it was last read.
  virtual bool ChangedByOther() { return false; }
  // Key upkeep that can be taken back: from BeginUpdate the file keeps what its writes
  // replace, until EndUpdate; RollbackUpdate puts file and tags back as they were at
  // BeginUpdate (after a write failed, so that a record and its keys go together).
  virtual void BeginUpdate() {}
  virtual void EndUpdate() {}
  virtual void RollbackUpdate() {}
};

// Opens the index file `fileName` (upper-cased, with directory and extension) of a table.
using TdbIndexFactory =
    std::function<std::unique_ptr<DBobjIndexFile>(DBO_dBHandler& table, const AnsiString& fileName)>;

// Registers the format of an extension (".NDX", ...); an empty factory removes it.
void RegisterIndexFormat(std::string_view extension, TdbIndexFactory factory);
const TdbIndexFactory* FindIndexFormat(std::string_view extension);
