// The about box's texts and its system rows on Linux, from fixed os-release and meminfo
// texts, and the running system's values.
#include <gtest/gtest.h>

#include <string>

#include "planner/app/aboutModel.h"
#include "platform/core/AnsiText.h"

namespace {

std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

TEST(AboutModel, LabelsAndMailLink) {
  const TAboutTexts t = AboutTexts("Tarnwick", "1.0.0.0", "(C) 2026");
  EXPECT_EQ(Utf8(t.Caption), "Информация");
  EXPECT_EQ(t.Title, "Tarnwick ");
  EXPECT_EQ(Utf8(t.Version), "версия 1.0.0.0");
  EXPECT_EQ(t.Url, std::string("WWW : ") + kProgramUrl);
  EXPECT_EQ(t.EMail, std::string("E-Mail : ") + kProgramEMail);
  EXPECT_EQ(AboutMailLink("Tarnwick", "1.0"),
            std::string("mailto:") + kProgramEMail + "?subject=Tarnwick%201.0&body=...");
  EXPECT_EQ(CenteredLeft(300, 101), 100);  // 99.5 -> 100 (halves to even)
  EXPECT_EQ(CenteredLeft(300, 103), 98);   // 98.5 -> 98
  EXPECT_EQ(CenteredLeft(100, 140), -20);
}

TEST(AboutModel, OsReleaseAndMeminfoAreRead) {
  EXPECT_EQ(ParseOsRelease("NAME=\"Debian GNU/Linux\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n"),
            "Debian GNU/Linux 12 (bookworm)");
  EXPECT_EQ(ParseOsRelease("# comment\nNAME=Alpine\nVERSION_ID=3.19.1\n"), "Alpine 3.19.1");
  EXPECT_EQ(ParseOsRelease("PRETTY_NAME='It\\'s'\n"), "It's");
  EXPECT_EQ(ParseOsRelease(""), "");
  EXPECT_EQ(ParseKernelBuild("#12 SMP PREEMPT_DYNAMIC Debian 6.1.76-1"), 12);
  EXPECT_EQ(ParseKernelBuild("SMP"), 0);
  EXPECT_EQ(ParseKernelBuild("#"), 0);
  EXPECT_EQ(ParseKernelBuild("#99999999999"), 0);
  EXPECT_EQ(ParseOsRelease("garbage without equals\n="), "");

  const TMemoryStatus m = ParseMemInfo(
      "MemTotal:       65536 kB\nMemFree:         1000 kB\nMemAvailable:   16384 kB\n"
      "SwapTotal:       2048 kB\nSwapFree:        1024 kB\n");
  EXPECT_EQ(m.TotalPhys, 65536);
  EXPECT_EQ(m.AvailPhys, 16384);
  EXPECT_EQ(m.TotalVirtual, 2048);
  EXPECT_EQ(m.AvailVirtual, 1024);
  EXPECT_EQ(MemoryText(m), "65536 K; 16384 K free (25%)");
  EXPECT_EQ(ParseMemInfo("MemTotal: 100 kB\nMemFree: 40 kB\n").AvailPhys, 40);  // an old kernel
  EXPECT_EQ(MemoryText(ParseMemInfo("junk\nMemTotal: -5 kB\n")), "0 K; 0 K free (0%)");
}

TEST(AboutModel, SystemRows) {
  TSystemVersion v;
  v.Name = "Debian GNU/Linux 12 (bookworm)";
  v.Version = "6.1.0-18-amd64";
  v.Build = 1;
  v.Machine = "x86_64";
  TMemoryStatus m;
  m.TotalPhys = 65536;
  m.AvailPhys = 16384;
  // The three rows, nothing else.
  std::vector<std::string> rows;
  for (const TSysInfoRow& r : SysInfoRows(v, m)) rows.push_back(r.Name + "|" + r.Value);
  EXPECT_EQ(rows, (std::vector<std::string>{"OS name :|Debian GNU/Linux 12 (bookworm)",
                                            "OS version :|6.1.0-18-amd64 build 1, x86_64",
                                            "Physical memory :|65536 K; 16384 K free (25%)"}));

  // The running system answers with something sensible.
  const TSystemVersion here = GetSystemVersion();
  EXPECT_FALSE(here.Name.empty());
  EXPECT_NE(here.Version, "?");
  const TMemoryStatus mem = GetMemoryStatus();
  EXPECT_GT(mem.TotalPhys, 0);
  EXPECT_LE(mem.AvailPhys, mem.TotalPhys);
}

}  // namespace
