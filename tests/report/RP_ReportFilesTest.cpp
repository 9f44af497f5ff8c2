// Prepared-report files with the compressed flag and their printer, templates whose
// objects fail to read or lie beyond the 256th page, and the progress of an export.
#include "../test_support/TempDir.h"
#include "BuildFixture.h"
#include "report/RP_Export.h"
#include "report/RP_Prntr.h"
#include "report/RP_Template.h"

using namespace rpbuildtest;

namespace {

std::string Bytes(std::initializer_list<int> b) {
  std::string s;
  for (int c : b) s.push_back(static_cast<char>(c));
  return s;
}

std::string I32(std::int32_t v) { return Bytes({v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, (v >> 24) & 0xFF}); }

}  // namespace

TEST(RpReportFiles, ACompressedPreparedFileLoadsWithEmptyPagesAndChoosesItsPrinterByName) {
  Fixture f;
  f.ListRows(2);
  ASSERT_TRUE(f.report.PrepareReport());
  TMemoryStream saved;
  f.report.EMFPages.SaveToStream(saved);
  std::string bytes = saved.Bytes();
  ASSERT_EQ(bytes[1], 0);
  bytes[1] = 1;  // written by a program whose compressor packed the pages
  TrpReport report;
  report.Pages.PrinterName = "другой";
  TMemoryStream in(bytes);
  report.EMFPages.LoadFromStream(in);
  ASSERT_EQ(report.EMFPages.GetCount(), 1);
  report.EMFPages.ObjectsToPage(0);
  EXPECT_TRUE(report.EMFPages.GetPages(0)->Page->Objects.empty());  // nothing to draw
  // The report keeps the name of the file's printer, as it does a template's.
  EXPECT_EQ(report.Pages.PrinterName, rpPrinter().PrinterName());
  // Through the report's file commands: pages read from a file are not built again.
  TempDir dir;
  const AnsiString file = dir.Path() + "/r.rpp";
  f.report.SavePreparedReport(file);
  report.CanRebuild = true;
  report.LoadPreparedReport(file);
  EXPECT_EQ(report.EMFPages.GetCount(), 1);
  EXPECT_FALSE(report.CanRebuild);
}

TEST(RpReportFiles, AFailingObjectOfAnOldTemplateLeavesTheRestLoaded) {
  // Version 21 (no version byte): a page, an object of a class no one registered, then
  // a memo. The memo is read where the unknown object's reading stopped.
  std::string s = Bytes({0, 0, 1, 0}) + "Printer" + Bytes({0});
  s += Bytes({255}) + I32(11) + I32(0) + I32(0) + I32(10) + I32(10) + I32(10) + I32(10) + Bytes({1}) +
       std::string(6, 'x') + Bytes({0, 0, 1, 0}) + I32(2) + I32(5);
  s += Bytes({rpotAddIn}) + "TrpGone" + Bytes({0, 0});
  s += Bytes({rpotMemo, 0});
  for (int v : {1, 2, 30, 40}) s += I32(v);
  s += Bytes({0x43, 0, 0, 0}) + I32(1) + I32(0) + Bytes({0, 0}) + I32(static_cast<std::int32_t>(rpNoColor)) + I32(0);
  s += Bytes({0});
  s += "a" + Bytes({13}) + "b" + Bytes({0});
  s += "Arial" + Bytes({0}) + I32(8) + Bytes({0, 0}) + I32(0) + I32(0) + Bytes({0, 0});
  s += Bytes({2, 0}) + I32(0) + I32(0xFFFFFF) + Bytes({0});
  TrpPages pages;
  TMemoryStream m(s);
  const TrpTemplateLoad r = rpLoadTemplate(pages, m);
  EXPECT_EQ(r.Result, 3) << r.Message;  // the missing class is named
  EXPECT_NE(r.Message.find("TrpGone"), AnsiString::npos);
  ASSERT_EQ(pages.GetCount(), 1);
  ASSERT_EQ(pages.GetPages(0)->Objects.size(), 1u);
  EXPECT_EQ(pages.GetPages(0)->Objects[0]->Memo.Lines(), (std::vector<AnsiString>{"a", "b"}));
  // A record cut short by the end of the stream is a damaged template, as before.
  TrpPages cut;
  TMemoryStream shortStream(s.substr(0, s.size() - 10));
  EXPECT_EQ(rpLoadTemplate(cut, shortStream).Result, 2);
}

TEST(RpReportFiles, TemplatesOfMoreThan256PagesAreWritten) {
  TrpPages pages;
  TrpTemplateBuilder b(pages);
  b.Page();
  b.Memo("на первой", 0, 0, 100, 18);
  for (int i = 1; i < 300; ++i) b.Page();
  TMemoryStream m;
  rpSaveTemplate(pages, m);
  m.SetPosition(0);
  TrpPages back;
  ASSERT_TRUE(rpLoadTemplate(back, m).Ok());
  EXPECT_EQ(back.GetCount(), 300);
  EXPECT_EQ(back.GetPages(0)->Objects.size(), 1u);
  // An object beyond the 256th page cannot be named in the format: refused, not moved.
  b.Memo("на последней", 0, 0, 100, 18);
  TMemoryStream refused;
  EXPECT_THROW(rpSaveTemplate(pages, refused), EWriteError);
}

namespace {

struct LabelLog : TrpProgress {
  std::vector<std::string> Log;
  void SetLabel(const AnsiString& text) override { Log.push_back(cp::Ansi1251ToUtf8(text)); }
  void SetLabel2(const AnsiString&) override {}
  bool ProcessMessages() override { return true; }
  void SetHidden(bool) override {}
};

}  // namespace

TEST(RpReportFiles, AnExportCountsItsPagesOutOfTheTotal) {
  Fixture f;
  f.ListRows(90);  // two pages
  ASSERT_TRUE(f.report.PrepareReport());
  ASSERT_EQ(f.report.EMFPages.GetCount(), 2);
  TempDir dir;
  LabelLog log;
  std::string caption;
  rpSetProgressRunner([&](const AnsiString& c, const AnsiString& label, const TrpProgressWork& work) {
    caption = cp::Ansi1251ToUtf8(c);
    log.Log.push_back(cp::Ansi1251ToUtf8(label));
    work(log);
    return true;
  });
  f.report.Title = Ansi("Меню");
  TrpCSVExport csv;
  const bool exported = f.report.ExportTo(csv, dir.Path() + "/r.csv");
  rpSetProgressRunner(nullptr);
  EXPECT_TRUE(exported);
  EXPECT_EQ(caption, "Меню - Подготовка отчета");
  EXPECT_EQ(log.Log, (std::vector<std::string>{"Формируется страница:  1", "Формируется страница:  1 из 2",
                                               "Формируется страница:  2 из 2"}));
  // OnProgress takes the page numbers instead.
  std::vector<int> pages;
  f.report.OnProgress = [&](int n) { pages.push_back(n); };
  EXPECT_TRUE(f.report.ExportTo(csv, dir.Path() + "/r2.csv"));
  EXPECT_EQ(pages, (std::vector<int>{1, 2}));
}
