// Version information of a program file: the standard version block (a tree of nodes, each
// a 16-bit length, a 16-bit value length, a 16-bit type, a UTF-16 key, then its value and
// its children, all on 4-byte boundaries) with the fixed file information at the root,
// "StringFileInfo\<translation>\<key>" strings and the "VarFileInfo\Translation" table.
// Every node is checked against the bytes of its parent before it is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/core/AnsiText.h"

// The fixed file information (root value of the block).
struct TVSFixedFileInfo {
  static constexpr std::uint32_t kSignature = 0xFEEF04BD;
  std::uint32_t dwSignature = kSignature;
  std::uint32_t dwStrucVersion = 0x00010000;
  std::uint32_t dwFileVersionMS = 0;
  std::uint32_t dwFileVersionLS = 0;
  std::uint32_t dwProductVersionMS = 0;
  std::uint32_t dwProductVersionLS = 0;
  std::uint32_t dwFileFlagsMask = 0x3F;
  std::uint32_t dwFileFlags = 0;
  std::uint32_t dwFileOS = 0x00040004;  // 32-bit Windows NT
  std::uint32_t dwFileType = 1;         // application
  std::uint32_t dwFileSubtype = 0;
  std::uint32_t dwFileDateMS = 0;
  std::uint32_t dwFileDateLS = 0;
};
constexpr std::size_t kFixedFileInfoSize = 13 * 4;

// A 64-bit version: the most and the least significant 32-bit words.
struct TLongVersion {
  std::uint32_t MS = 0;
  std::uint32_t LS = 0;
};

// "%d.%d.%d.%d" of the high and low words of MS, then of LS.
AnsiString LongVersionToString(const TLongVersion& version);

// The value at `subBlock` ("\" for the fixed information, "\VarFileInfo\Translation",
// "\StringFileInfo\041904E3\CompanyName"), names compared without regard to case. For a
// text value, `text` is true and the bytes are its UTF-16 code units up to the value's end.
// False when a node on the way is missing or damaged.
bool VerQueryValue(std::string_view block, std::string_view subBlock, std::string_view& value, bool& text);

class TVersionInfo {
 public:
  explicit TVersionInfo(AnsiString FileName);

  const AnsiString& FileName() const { return fileName_; }
  bool Valid() const { return valid_; }

  // The first entry of the translation table: language in the low word, code page in the
  // high word. None when not valid or when the block has no table.
  std::optional<std::uint32_t> GetTranslation() const;
  // That entry as 8 upper-case hex digits, language first ("041904E3"); empty without one.
  AnsiString GetTranslationString() const;
  // The fixed file information; nullptr when not valid or when it is missing or damaged.
  const TVSFixedFileInfo* GetFixedFileInfo() const;
  // The file version of the fixed information (zeros without one).
  TLongVersion GetFileLongVersion() const;
  // "\StringFileInfo\" + translation + "\" + Key as 1251 text; empty when not valid,
  // without a translation, or when the value is missing.
  AnsiString GetVerValue(std::string_view Key) const;

  AnsiString GetCompanyName() const { return GetVerValue("CompanyName"); }
  // FileVersion, or the fixed file version when that string is empty.
  AnsiString GetFileVersion() const;
  AnsiString GetLegalCopyright() const { return GetVerValue("LegalCopyright"); }
  AnsiString GetProductName() const { return GetVerValue("ProductName"); }

 protected:
  void ReadVersionInfo();

 private:
  AnsiString fileName_;
  std::string buffer_;
  std::uint32_t handle_ = 0;
  bool valid_ = false;
  std::optional<TVSFixedFileInfo> fixed_;
};

// What a generated version block holds. Strings are 1251 text, written as UTF-16 under the
// translation Language/CodePage, in the given order.
struct TVersionBlockSpec {
  std::optional<TVSFixedFileInfo> FixedInfo = TVSFixedFileInfo{};
  bool WithTranslation = true;
  std::uint16_t Language = 0x0419;  // Russian
  std::uint16_t CodePage = 1251;
  std::vector<std::pair<AnsiString, AnsiString>> Strings;
};

// The version block bytes for `spec`, in the layout VerQueryValue walks.
std::string BuildVersionBlock(const TVersionBlockSpec& spec);
