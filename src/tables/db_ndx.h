// Single-order index files (".NDX"): one tag per file, 512-byte pages addressed by page
// number; interior pages carry the last key of each child and a last item with only a
// child pointer; numbers and dates are 8-byte floating-point keys.
#pragma once

#include "tables/db_ixbase.h"

class DBobjNDXFile;

class DBobjNDXTag : public DBobjIndexTagBase {
 public:
  static constexpr std::int64_t kPage = 512;

  DBobjNDXTag(DBobjNDXFile& file, std::string_view name);

  bool HeaderRead();
  void HeaderWrite() override;
  void RootRead() override;
  std::int64_t BlockOffset(std::int64_t block) const override { return block * kPage; }
  void TagInit(std::string_view keyExpr, bool unique);
  void Build() { DBobjIndexTagBase::Build(); }
  void SetRootBlock(std::int64_t page) { root_ = page; }
  // Key length as laid out in the page (12 for numbers, 8 for dates), item size, keys per
  // page. A date file this engine wrote with number-sized items (20 bytes, 25 keys) keeps
  // its layout until it is rebuilt.
  std::int64_t ItemSize() const { return itemSize_ > 0 ? itemSize_ : (MemoryKeyLength() + 8 + 3) / 4 * 4; }
  std::int64_t MaxKeys() const { return 504 / ItemSize(); }
  std::int64_t MemoryKeyLength() const { return keyType_ == 'C' ? keyLength_ : keyType_ == 'D' ? 8 : 12; }
  // Back to the layout of the key type (for a rebuild).
  void UseStandardLayout() { itemSize_ = 0; }

 protected:
  void PageLoad(DBobjIndexKey& page) override;
  void PageStore(DBobjIndexKey& page) override;
  bool PageFits(const DBobjIndexKey& page) const override;
  std::string KeyFormat(const TdbExpValue& value) const override;
  bool InteriorHasRecNo() const override { return false; }
  bool InteriorLastIsTop() const override { return true; }
  // Text keys are stored as they are and ordered through the table's collation.
  const std::uint8_t* Collation() const override { return TableCollation(); }

 private:
  std::int64_t DiskKeyLength() const { return keyType_ == 'C' ? keyLength_ : 8; }
  std::int64_t itemSize_ = 0;  // the item size read from the file, 0 for the standard one
};

class DBobjNDXFile : public DBobjIndexFileBase {
 public:
  DBobjNDXFile(DBO_dBHandler* table, std::string_view name, bool create = false, bool overwrite = false,
               bool shared = false, bool readWrite = true);
  ~DBobjNDXFile() override;

  DBobjNDXTag* AddTag(std::string_view keyExpr, bool unique);
  void Reindex() override;
  std::int64_t NextBlock() override;
  void ResetBlock() override;
  // The file cut to the header and one empty root page.
  void CreateEmpty();

 protected:
  // A change counter of this engine in reserved header bytes 8 to 11, watched with the
  // root and the next free page before it (which other programs change as well).
  StampPlace StampAt() const override { return {8, 4, 0, 12}; }
};

void RegisterNdxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add);
