// Memo files: the variable-length texts of memo (M), binary (B) and general (G)
// fields in fixed-size blocks. Three forms: dBase III ".DBT" (512-byte blocks, text
// ended by 0x1A 0x1A), dBase IV ".DBT" (block header and a chain of free runs) and
// FoxPro ".FPT" (big-endian block header). A field stores the number of the memo's
// first block; block 0 means no memo.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "tables/db_disk.h"

// Releases the memo lock on every path out of a change of a memo file's blocks.
class MemoLockGuard {
 public:
  explicit MemoLockGuard(DBO_DiskFile& f) : file_(f) {}
  ~MemoLockGuard() {
    if (locked_) file_.Unlock();
  }
  MemoLockGuard(const MemoLockGuard&) = delete;
  MemoLockGuard& operator=(const MemoLockGuard&) = delete;
  void SetLocked() { locked_ = true; }
  bool Locked() const { return locked_; }

 private:
  DBO_DiskFile& file_;
  bool locked_ = false;
};

class DBobjMemo : public DBO_DiskFile {
 public:
  // Opens the memo file of the table `tableName` (version byte `version`), or with
  // `ownName` the memo file of that name; error 2 with sub-code 6101 when it does not
  // exist. Errors go to the owner's error operation.
  DBobjMemo(DBO_DiskFile* owner, std::uint8_t version, std::string_view tableName, bool shared, bool readWrite,
            bool ownName = false);

  void Error(std::int32_t code, std::int32_t subCode, const AnsiString& info) override;

  virtual void AllocateBlocks(std::int64_t length);
  virtual void FreeBlocks(std::uint32_t block);
  virtual void EndMark(char* buffer);
  virtual std::int64_t ReadMemoLength();
  virtual int BlockHeaderSize() const { return 0; }
  virtual void SetLockProtocol(TdbLokProtocol protocol);
  virtual bool RenameMemo(std::string_view newTableName);

  // Text length of the memo at a block (0 for block 0).
  std::int64_t MemoSize(std::uint32_t block);
  // Reads at most `wanted` bytes of the memo at `block` into buffer; the length read.
  std::int64_t ReadMemo(void* buffer, std::uint32_t block, std::int64_t wanted);
  // The whole memo at a block.
  AnsiString ReadMemo(std::uint32_t block);
  // Writes the text as the memo that starts at `block` (0 for a new one); the start
  // block it now has, which the field then stores.
  std::uint32_t WriteMemo(const void* buffer, std::uint32_t block, std::int64_t length);
  // Frees the memo at `block`, which no record names any more, under the memo lock of a
  // shared file (the forms without a free chain free nothing).
  void FreeMemo(std::uint32_t block);

  std::uint8_t Version() const { return version_; }
  std::int64_t BlockSize() const { return blockSize_; }
  std::uint32_t CurrentBlock() const { return currentBlock_; }
  std::int64_t BlockCount() const { return blockCount_; }
  TdbLokProtocol LockProtocol() const { return protocol_; }

  // ".DBT" or ".FPT" by table version.
  static const char* ExtensionOf(std::uint8_t version);
  // The memo file name of a table: its extension replaced by the memo's.
  static AnsiString MemoFileName(std::string_view tableName, std::uint8_t version);

 protected:
  // Takes the memo lock of a shared file for a change of its blocks (nothing to take for
  // an unshared one); raises when another user keeps it.
  void LockForChange(MemoLockGuard& guard);
  // Raises 1005/6199 (bad block header, chain or length) with the file name.
  void FormatError();
  // The new table name with this memo file's own extension.
  AnsiString OwnMemoName(std::string_view newTableName) const;
  std::int64_t BlockOffset(std::int64_t block) const;
  void ReadHeader();
  void WriteHeaderBytes(std::int64_t count);
  std::int64_t FileBlocks();
  // Allocation of the dBase III and FoxPro forms (header words little- or big-endian).
  void AllocateAtEnd(std::int64_t needed, bool bigEndian);
  // Whether a next-free block of the header can be true: a damaged one would make a
  // write land on the header or far beyond the file. A next-free a little past the end
  // (left by a write that failed before its data reached the disk) is repaired by
  // extending the file up to it.
  bool NextFreeValid(std::int64_t next);
  bool ExtendToBlock(std::int64_t next);
  // A write of the memo's bookkeeping (header, free chain, block header of a freed run):
  // the old bytes are kept, so that a write whose data fails can be rolled back.
  void WriteMeta(std::int64_t offset, const void* buffer, std::int64_t count);

  DBO_DiskFile* owner_;
  std::uint8_t version_;
  std::int64_t blockSize_ = 512;
  std::uint32_t currentBlock_ = 0;
  std::int64_t blockCount_ = 0;
  std::array<std::uint8_t, 32> work_{};        // header and block-header work buffer
  std::array<std::uint8_t, 8> blockHeader_{};  // of the memo being written
  std::uint32_t countedBlock_ = 0;             // the memo whose block count is known
  bool formatError_ = false;                   // set by FormatError, for a procedure that returns
  TdbLokProtocol protocol_ = TdbLokProtocol::Default;
  TdbLockValues lockValues_ = LockValuesOf(TdbLokProtocol::Default);

 private:
  std::uint32_t DoWrite(const void* buffer, std::uint32_t block, std::int64_t length);
  std::uint32_t WriteBlocks(const void* buffer, std::int64_t length);
  void RollBack();

  struct Undo {
    std::int64_t offset;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Undo> undo_;
  std::int64_t sizeBefore_ = -1;
  bool journal_ = false;
};

class DBobjMemo4 : public DBobjMemo {
 public:
  DBobjMemo4(DBO_DiskFile* owner, std::uint8_t version, std::string_view tableName, bool shared, bool readWrite,
             bool ownName = false);
  void AllocateBlocks(std::int64_t length) override;
  void FreeBlocks(std::uint32_t block) override;
  void EndMark(char*) override {}
  std::int64_t ReadMemoLength() override;
  int BlockHeaderSize() const override { return 8; }
};

class DBobjFXMemo20 : public DBobjMemo {
 public:
  DBobjFXMemo20(DBO_DiskFile* owner, std::uint8_t version, std::string_view tableName, bool shared, bool readWrite,
                bool ownName = false);
  void AllocateBlocks(std::int64_t length) override;
  void EndMark(char*) override {}
  std::int64_t ReadMemoLength() override;
  int BlockHeaderSize() const override { return 8; }
  bool RenameMemo(std::string_view newTableName) override;
};

// The memo file object of a table of version `version` (its form follows the version), as
// the constructors above.
std::unique_ptr<DBobjMemo> MakeMemo(DBO_DiskFile* owner, std::uint8_t version, std::string_view name, bool shared,
                                    bool readWrite, bool ownName = false);

// Little- and big-endian integers in byte buffers.
std::uint32_t GetLE32(const std::uint8_t* p);
void PutLE32(std::uint8_t* p, std::uint32_t v);
std::uint16_t GetLE16(const std::uint8_t* p);
void PutLE16(std::uint8_t* p, std::uint16_t v);
std::uint32_t GetBE32(const std::uint8_t* p);
void PutBE32(std::uint8_t* p, std::uint32_t v);
std::uint16_t GetBE16(const std::uint8_t* p);
void PutBE16(std::uint8_t* p, std::uint16_t v);
