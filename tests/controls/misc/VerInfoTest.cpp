#include <gtest/gtest.h>

#include "controls/misc/VerInfo.h"
#include "platform/core/VersionResources.h"
#include "test_support/FuzzCases.h"

namespace {

// Registers `block` as the version block of a made-up file and reads it.
struct Registered {
  explicit Registered(std::string block, AnsiString name = "/made/up/program") : name_(std::move(name)) {
    SetFileVersionBlock(name_, std::move(block));
  }
  ~Registered() { SetFileVersionBlock(name_, {}); }
  const AnsiString& Name() const { return name_; }
  AnsiString name_;
};

TVersionBlockSpec Standard() {
  TVersionBlockSpec spec;
  spec.FixedInfo->dwFileVersionMS = 0x00010002;
  spec.FixedInfo->dwFileVersionLS = 0x0000000F;
  spec.Strings = {{"CompanyName", "Tarnwick Project"},
                  {"FileVersion", "1.2.0.15 beta"},
                  {"LegalCopyright", Ansi("© 2026 Тарнвик")},
                  {"ProductName", "Tarnwick"}};
  return spec;
}

std::uint16_t U16At(const std::string& b, std::size_t at) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | static_cast<unsigned char>(b[at + 1]) << 8);
}

void SetU16(std::string& b, std::size_t at, std::uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

// Offset of the UTF-16 text `key` in the block.
std::size_t FindKey(const std::string& b, std::string_view key) {
  std::string u;
  for (char c : key) {
    u += c;
    u += '\0';
  }
  return b.find(u);
}

}  // namespace

TEST(VersionInfo, ReadsTheStringsUnderTheTranslation) {
  Registered file(BuildVersionBlock(Standard()));
  TVersionInfo info(file.Name());
  ASSERT_TRUE(info.Valid());
  EXPECT_EQ(info.GetTranslation(), 0x04E30419u);
  EXPECT_EQ(info.GetTranslationString(), "041904E3");
  EXPECT_EQ(info.GetCompanyName(), "Tarnwick Project");
  EXPECT_EQ(info.GetProductName(), "Tarnwick");
  EXPECT_EQ(info.GetFileVersion(), "1.2.0.15 beta");
  EXPECT_EQ(info.GetLegalCopyright(), Ansi("© 2026 Тарнвик"));
  EXPECT_EQ(info.GetVerValue("companyname"), "Tarnwick Project");  // names without regard to case
  EXPECT_EQ(info.GetVerValue("Comments"), "");
  ASSERT_NE(info.GetFixedFileInfo(), nullptr);
  EXPECT_EQ(info.GetFileLongVersion().MS, 0x00010002u);
  EXPECT_EQ(LongVersionToString(info.GetFileLongVersion()), "1.2.0.15");
}

TEST(VersionInfo, MissingFileVersionComesFromTheFixedVersion) {
  TVersionBlockSpec spec = Standard();
  spec.Strings.erase(spec.Strings.begin() + 1);
  Registered file(BuildVersionBlock(spec));
  TVersionInfo info(file.Name());
  EXPECT_EQ(info.GetFileVersion(), "1.2.0.15");
  EXPECT_EQ(LongVersionToString({0xFFFF0000u, 0x0001FFFFu}), "65535.0.1.65535");
}

TEST(VersionInfo, NoTranslationTableGivesEmptyStrings) {
  TVersionBlockSpec spec = Standard();
  spec.WithTranslation = false;
  Registered file(BuildVersionBlock(spec));
  TVersionInfo info(file.Name());
  EXPECT_TRUE(info.Valid());
  EXPECT_FALSE(info.GetTranslation().has_value());
  EXPECT_EQ(info.GetTranslationString(), "");
  EXPECT_EQ(info.GetCompanyName(), "");
  EXPECT_EQ(info.GetFileVersion(), "1.2.0.15");  // the fixed version is still there
}

TEST(VersionInfo, FileWithoutBlockIsNotValid) {
  TVersionInfo info("/no/such/program");
  EXPECT_FALSE(info.Valid());
  EXPECT_FALSE(info.GetTranslation().has_value());
  EXPECT_EQ(info.GetFixedFileInfo(), nullptr);
  EXPECT_EQ(info.GetFileVersion(), "");
  EXPECT_EQ(info.GetProductName(), "");
  EXPECT_EQ(LongVersionToString(info.GetFileLongVersion()), "0.0.0.0");
}

TEST(VersionInfo, BlockWithoutFixedInfoHasNoFileVersion) {
  TVersionBlockSpec spec = Standard();
  spec.FixedInfo.reset();
  spec.Strings.erase(spec.Strings.begin() + 1);
  Registered file(BuildVersionBlock(spec));
  TVersionInfo info(file.Name());
  EXPECT_TRUE(info.Valid());
  EXPECT_EQ(info.GetFixedFileInfo(), nullptr);
  EXPECT_EQ(info.GetFileVersion(), "");
  EXPECT_EQ(info.GetProductName(), "Tarnwick");
}

// Damaged blocks: nothing is read outside the block (the test runs under
// AddressSanitizer), and what cannot be found reads as empty.
TEST(VersionInfo, DamagedBlocksAreReadWithinTheirBounds) {
  const std::string good = BuildVersionBlock(Standard());
  struct Case {
    const char* what;
    std::function<void(std::string&)> damage;
    bool valid;
    bool product;  // ProductName still found
  };
  const std::size_t translationValue = good.size() - 4;  // the last node's value
  const Case cases[] = {
      {"root longer than the block", [](std::string& b) { SetU16(b, 0, 0xFFFF); }, false, false},
      {"root shorter than a header", [](std::string& b) { SetU16(b, 0, 4); }, false, false},
      {"block cut in the header", [](std::string& b) { b.resize(4); }, false, false},
      {"block cut in the strings", [](std::string& b) { b.resize(b.size() / 2); }, false, false},
      {"root key without its end", [](std::string& b) { b.resize(20); SetU16(b, 0, 20); }, false, false},
      {"string node past its table",
       [](std::string& b) { SetU16(b, FindKey(b, "ProductName") - 6, 0x7FFF); }, true, false},
      {"zero-length child",
       [](std::string& b) { SetU16(b, FindKey(b, "StringFileInfo") - 6, 0); }, true, false},
      {"translation value cut short",
       [&](std::string& b) { SetU16(b, FindKey(b, "Translation") - 4, 2); }, true, false},
      {"string value length beyond the node",
       [](std::string& b) { SetU16(b, FindKey(b, "ProductName") - 4, 0xFFFF); }, true, true},
      {"fixed info with a wrong signature", [](std::string& b) { b[40] = 0; }, true, true},
      {"other translation", [&](std::string& b) { SetU16(b, translationValue, 0x0409); }, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string damaged = good;
    c.damage(damaged);
    Registered file(damaged);
    TVersionInfo info(file.Name());
    EXPECT_EQ(info.Valid(), c.valid);
    EXPECT_EQ(info.GetProductName(), c.product ? "Tarnwick" : "");
    if (!c.valid) {
      EXPECT_EQ(info.GetFileVersion(), "");
      EXPECT_EQ(info.GetFixedFileInfo(), nullptr);
    }
  }
  // The value query on its own, on every prefix of a good block.
  for (std::size_t n = 0; n < good.size(); ++n) {
    std::string_view v;
    bool text;
    std::string prefix = good.substr(0, n);  // its own allocation: reads past it are caught
    VerQueryValue(prefix, "\\StringFileInfo\\041904E3\\ProductName", v, text);
    VerQueryValue(prefix, "\\VarFileInfo\\Translation", v, text);
  }
  EXPECT_EQ(U16At(good, 0), good.size());
}

TEST(VersionInfo, FuzzFoundInputsReadSafely) {
  const auto cases = FuzzCases("version_block");
  EXPECT_FALSE(cases.empty());
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    Registered file(bytes);
    TVersionInfo info(file.Name());
    (void)info.GetCompanyName();
    (void)info.GetFileVersion();
    (void)info.GetTranslationString();
    if (name == "seed-program.hex") {
      EXPECT_EQ(info.GetProductName(), "Tarnwick");
    }
  }
}
