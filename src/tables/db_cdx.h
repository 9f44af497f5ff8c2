// Compound index files (".CDX"): 512-byte blocks, any number of tags listed by name in
// a directory tag at offset 0; each tag a B-tree whose leaves store only the bytes in
// which a key differs from the one before it, without its trailing blanks.
#pragma once

#include "tables/db_ixbase.h"

class DBobjCDXFile;

class DBobjCDXTag : public DBobjIndexTagBase {
 public:
  static constexpr std::int64_t kBlock = 512;
  static constexpr std::int64_t kLeafArea = 488;
  static constexpr std::uint8_t kOptUnique = 0x01, kOptFor = 0x08, kOptDirectory = 0x80;

  // A tag whose header is at `headerOffset`.
  DBobjCDXTag(DBobjCDXFile& file, std::string_view name, std::int64_t headerOffset);

  // Reads the header; false when it is not valid.
  bool HeaderRead();
  void HeaderWrite() override;
  void RootRead() override;
  // Sets up a new tag (directory tag when `directory`) and builds it.
  void TagInit(std::string_view keyExpr, std::string_view forExpr, bool unique, bool descending, bool directory);
  void Build() { DBobjIndexTagBase::Build(); }
  void SetRootBlock(std::int64_t block) { root_ = block; }

  std::int64_t HeaderOffset() const { return headerOffset_; }
  void SetHeaderOffset(std::int64_t offset) { headerOffset_ = offset; }
  bool IsDirectory() const { return (options_ & kOptDirectory) != 0; }
  std::vector<std::int64_t> Place() const override { return {root_, headerOffset_, counter_}; }
  void SetPlace(const std::vector<std::int64_t>& p) override {
    root_ = p.at(0);
    headerOffset_ = p.at(1);
    counter_ = static_cast<std::uint32_t>(p.at(2));
  }

  // The leaf layout for keys of `keyLength` bytes and record numbers up to `maxRecNo`.
  struct LeafLayout {
    int bytes = 3;
    int recBits = 0, dupBits = 0, trailBits = 0;
    std::uint32_t recMask = 0;
    std::uint8_t dupMask = 0, trailMask = 0;
  };
  static LeafLayout LayoutFor(std::int64_t keyLength, std::int64_t maxRecNo, bool live);

  // The key of a text in the GENERAL collation: the primary weights of its bytes (letters
  // that are written as two give two), then their secondary weights (each OR 0xF0, the
  // two of an expanding letter, none for 0), without trailing 0xF0 bytes.
  static std::string GeneralKey(std::string_view text);
  // Whether the tag's keys are GENERAL weights rather than the text.
  bool General() const { return general_; }
  bool CollatedKeys() const override { return Collated(); }
  // The directory's keys are tag names, not records.
  std::int64_t WalkKeyBound() const override { return IsDirectory() ? -1 : DBobjIndexTagBase::WalkKeyBound(); }

 protected:
  void PageLoad(DBobjIndexKey& page) override;
  void PageStore(DBobjIndexKey& page) override;
  bool PageFits(const DBobjIndexKey& page) const override;
  std::size_t SplitCount(const DBobjIndexKey& page) const override;
  std::string KeyFormat(const TdbExpValue& value) const override;
  bool HasSiblings() const override { return true; }

 private:
  char Pad() const { return keyType_ == 'C' ? ' ' : '\0'; }
  std::string Strip(std::string key) const;
  bool Collated() const { return general_ && keyType_ == 'C' && !IsDirectory(); }
  // A key as nodes hold it: in a GENERAL tag its trailing bytes of 0xF0 and above as their
  // low four bits. KeyOfNode reads it back (and drops the trailing blanks).
  std::string NodeForm(std::string key) const;
  std::string KeyOfNode(std::string key) const;
  LeafLayout PageLayout(const DBobjIndexKey& page) const;
  // Bytes the leaf's keys take with a layout (entries and tails).
  std::int64_t LeafBytes(const DBobjIndexKey& page, const LeafLayout& l, std::size_t count) const;
  std::int64_t MaxInterior() const { return 500 / (keyLength_ + 8); }

  std::int64_t headerOffset_;
  std::uint8_t options_ = 0x60;
  std::uint32_t counter_ = 0;
  bool general_ = false;
};

class DBobjCDXFile : public DBobjIndexFileBase {
 public:
  // Opens the file `name` (".CDX" added) of `table`, or makes a new one with an empty
  // directory when `create` asks for it.
  DBobjCDXFile(DBO_dBHandler* table, std::string_view name, bool create = false, bool overwrite = false,
               bool shared = false, bool readWrite = true);
  ~DBobjCDXFile() override;

  // Adds (or replaces) a tag and builds it; raises for a name over 10 characters, a key
  // over 240 bytes or expressions longer than the header holds.
  DBobjCDXTag* AddTag(std::string_view name, std::string_view keyExpr, std::string_view forExpr, bool unique,
                      bool descending);
  bool DeleteTag(std::string_view name);
  void Reindex() override;
  std::int64_t NextBlock() override;
  void ResetBlock() override;
  DBobjCDXTag* Directory() const { return directory_.get(); }

 protected:
  // The directory's update counter, raised at every change of any tag.
  StampPlace StampAt() const override { return {8, 4, 8, 4}; }
  void Reload() override;
  std::vector<std::int64_t> SavePlaces() const override;
  void RestorePlaces(const std::vector<std::int64_t>& places) override;

 private:
  void AddToDirectory(DBobjCDXTag& tag);
  std::unique_ptr<DBobjCDXTag> directory_;
};

// Registers ".CDX" with the handler's index formats.
void RegisterCdxFormat(const std::function<void(std::string_view, TdbIndexFactory)>& add);
