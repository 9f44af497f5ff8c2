// Multiple-index files (".MDX"): several tags listed in a tag table in the file header,
// each a B-tree of 1024-byte blocks addressed in 512-byte units; interior blocks carry
// each child's last key and a pointer-only last item; numbers are packed decimals on disk.
#pragma once

#include "tables/db_ixbase.h"

class DBobjMDXFile;

class DBobjMDXTag : public DBobjIndexTagBase {
 public:
  DBobjMDXTag(DBobjMDXFile& file, std::string_view name, std::int64_t headerUnit);

  bool HeaderRead();
  void HeaderWrite() override;
  void RootRead() override;
  std::int64_t BlockOffset(std::int64_t block) const override { return block * 512; }
  // A descending tag keeps its keys in descending order.
  void TagInit(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending);
  void Build() { DBobjIndexTagBase::Build(); }
  std::int64_t HeaderUnit() const { return headerUnit_; }
  void SetHeaderUnit(std::int64_t unit) { headerUnit_ = unit; }
  void ForgetUnits() { firstUnit_ = lastUnit_ = 0; }
  std::vector<std::int64_t> Place() const override { return {root_, headerUnit_, firstUnit_, lastUnit_}; }
  void SetPlace(const std::vector<std::int64_t>& p) override {
    root_ = p.at(0);
    headerUnit_ = p.at(1);
    firstUnit_ = p.at(2);
    lastUnit_ = p.at(3);
  }
  std::int64_t ItemSize() const { return (DiskKeyLength() + 4 + 3) / 4 * 4; }
  std::int64_t MaxKeys() const;
  std::int64_t DiskKeyLength() const { return keyType_ == 'C' ? keyLength_ : keyType_ == 'N' ? 12 : 8; }

  // The 12-byte packed decimal of a number and back.
  static std::string PackNumber(double v);
  static double UnpackNumber(const std::uint8_t* p);

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
  std::int64_t BlockBytes() const;
  std::int64_t headerUnit_;
  std::int64_t firstUnit_ = 0, lastUnit_ = 0;
};

class DBobjMDXFile : public DBobjIndexFileBase {
 public:
  static constexpr std::int64_t kMaxTags = 47;  // the tag table's room in a 2048-byte header

  DBobjMDXFile(DBO_dBHandler* table, std::string_view name, bool create = false, bool overwrite = false,
               bool shared = false, bool readWrite = true);
  ~DBobjMDXFile() override;

  // Adds (or replaces) a tag and builds it.
  DBobjMDXTag* AddTag(std::string_view name, std::string_view keyExpr, std::string_view forExpr, bool unique,
                      bool descending = false);
  bool DeleteTag(std::string_view name);
  void Reindex() override;
  // Renames the file (its extension kept by the caller) and writes the new name, as the
  // table's name, into the header.
  bool RenameIndex(std::string_view newName) override;
  std::int64_t NextBlock() override;
  void ResetBlock() override;
  std::int64_t BlockBytes() const { return blockBytes_; }

 protected:
  // A change counter of this engine in reserved header bytes 48 to 51, watched with the
  // next free unit and the bytes up to it.
  StampPlace StampAt() const override { return {48, 4, 32, 20}; }

 private:
  void WriteTagTable();
  std::int64_t blockBytes_ = 1024;
  std::int64_t headerBytes_ = 2048;
};

void RegisterMdxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add);
