// Single-order index files (".NTX"): one tag per file, a B-tree of 1024-byte pages whose
// interior pages hold keys of their own between their children; keys are stored as text
// (numbers and dates in an order-preserving text form).
#pragma once

#include "tables/db_ixbase.h"

class DBobjNTXFile;

class DBobjNTXTag : public DBobjIndexTagBase {
 public:
  static constexpr std::int64_t kPage = 1024;

  DBobjNTXTag(DBobjNTXFile& file, std::string_view name);

  // Reads the header at offset 0; false when it is not valid.
  bool HeaderRead();
  void HeaderWrite() override;
  void RootRead() override;
  // Sets up the tag and builds it from the table.
  void TagInit(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending);
  void Build() { DBobjIndexTagBase::Build(); }
  std::int64_t MaxKeys() const { return maxKeys_; }
  // Writes an empty leaf at `block`, makes it the root and writes the header.
  void WriteEmptyRootAndHeader(std::int64_t block);
  std::int64_t ItemSize() const { return keyLength_ + 8; }
  static std::int64_t MaxKeysFor(std::int64_t keyLength) { return 2 * ((1020 / (keyLength + 10) - 1) / 2); }

  bool KeyAdd(const std::string& key, std::int64_t recNo) override;
  bool KeyDelete(const std::string& key, std::int64_t recNo) override;

 protected:
  void PageLoad(DBobjIndexKey& page) override;
  void PageStore(DBobjIndexKey& page) override;
  bool PageFits(const DBobjIndexKey& page) const override;
  std::string KeyFormat(const TdbExpValue& value) const override;
  void BuildFromSort(TdbSort& sort) override;
  bool DescendEdge(bool last) override;
  bool StepInPages(bool forward) override;
  bool SeekFirst(const EntryTest& atOrAfter) override;
  bool OnKey() const override;

 private:
  // Number of keys of a page (an interior page's last entry holds only a child).
  static std::int64_t Keys(const DBobjIndexKey& p) {
    return p.leaf ? static_cast<std::int64_t>(p.keys.size()) : static_cast<std::int64_t>(p.keys.size()) - 1;
  }
  // Opens the chain from the root down to a leaf, at each page on the first key for which
  // `atOrAfter` holds (the child before it; the last child when none does).
  void DescendToLeaf(const EntryTest& atOrAfter);
  // Down from the chain's last page (on the child at its position) to a leaf's edge.
  void DownTo(bool last);
  // Climbs from an exhausted leaf to the next key in the direction; false at an edge.
  bool Climb(bool forward);
  // Splits overfull pages from chain level `level` upwards.
  void SplitUp(std::size_t level);
  // Takes an empty leaf at the chain's end out of the tree; the separator key that went
  // with it comes back (`moved` false when none).
  void RemoveEmptyLeaf(DBobjIndexKeyData& moved, bool& haveMoved);
  void Store(DBobjIndexKey& page) { PageStore(page); }

  std::int64_t maxKeys_ = 0;
  bool descendingFlag_ = false;  // as created; kept only in the header
};

class DBobjNTXFile : public DBobjIndexFileBase {
 public:
  // Opens the file `name` (".NTX" added) of `table`; with `create` a new file, whose tag
  // is made by AddTag.
  DBobjNTXFile(DBO_dBHandler* table, std::string_view name, bool create = false, bool overwrite = false,
               bool shared = false, bool readWrite = true);
  ~DBobjNTXFile() override;

  DBobjNTXTag* AddTag(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending);
  void Reindex() override;
  std::int64_t NextBlock() override;
  void ResetBlock() override;
  // The file cut to the header and one empty root page.
  void CreateEmpty();

 protected:
  // The 16-bit update counter at offset 2 (watched with the root after it).
  StampPlace StampAt() const override { return {2, 2, 2, 6}; }
  std::uint32_t NextStamp(std::uint32_t c) const override { return c >= 0x7FFF ? 1 : c + 1; }
};

void RegisterNtxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add);
