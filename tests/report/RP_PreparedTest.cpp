#include <gtest/gtest.h>

#include "platform/core/AnsiText.h"
#include "report/RP_Builder.h"
#include "report/RP_Dump.h"
#include "report/RP_Prepared.h"
#include "report/RP_Utils.h"
#include "report/MessageTexts.h"
#include "FakePrinters.h"

namespace {

class Prepared : public ::testing::Test {
 protected:
  void SetUp() override {
    rpResetState();
    rpPrinter().SetPrinterIndex(rpPrinter().VirtualIndex());
  }
  void TearDown() override { rpResetState(); }
};

// A prepared page with three views: a framed memo, a line and a memo on top of it.
void MakePage(TrpEMFPages& pages, int paper = 9) {
  TrpPage tp(paper, 0, 0, -1, rpPortrait);
  tp.UseMargins = true;
  tp.LeftMargin = 30;
  pages.Add(tp);
  TStream& s = *pages.PageStream(pages.GetCount() - 1);
  TrpMemoView a;
  a.Name = "Memo1";
  a.SetBounds(100, 100, 200, 50);
  a.FrameTyp = rpftAll;
  a.PrintText.Add(Ansi("Итого") + rpLineEndMarker);
  a.WritePreparedEntry(s);
  TrpLineView l;
  l.Name = "Line1";
  l.SetBounds(100, 400, 300, 0);
  l.FrameTyp = rpftTop;
  l.WritePreparedEntry(s);
  TrpMemoView b;
  b.Name = "Memo2";
  b.SetBounds(150, 120, 50, 20);
  b.PrintText.Add(Ansi("верх") + rpLineEndMarker);
  b.WritePreparedEntry(s);
}

std::string Save(TrpEMFPages& pages) {
  TMemoryStream m;
  pages.SaveToStream(m);
  return m.Bytes();
}

}  // namespace

TEST_F(Prepared, PageGeometryOfA4AndA5) {
  struct Case {
    int paper, orientation, w, h, pw, ph;
  };
  for (const Case c : {Case{9, rpPortrait, 2100, 2970, 758, 1071}, Case{9, rpLandscape, 2970, 2100, 1071, 758},
                       Case{11, rpPortrait, 1480, 2100, 534, 758}, Case{11, rpLandscape, 2100, 1480, 758, 534},
                       Case{256, rpPortrait, 1000, 1500, 361, 541}}) {
    SCOPED_TRACE(c.paper * 10 + c.orientation);
    TrpPage page(c.paper, c.paper == 256 ? c.w : 0, c.paper == 256 ? c.h : 0, -1, c.orientation);
    EXPECT_EQ(page.PaperWidth, c.w);
    EXPECT_EQ(page.PaperHeight, c.h);
    EXPECT_EQ(page.PageInfo.PhysWidth, c.pw);
    EXPECT_EQ(page.PageInfo.PhysHeight, c.ph);
    EXPECT_EQ(page.PageInfo.OffsetX, 18);
    EXPECT_EQ(page.PageInfo.PrintWidth, c.pw - 36);
    EXPECT_EQ(page.PageInfo.PrintHeight, c.ph - 36);
    // Edges: the whole paper without margins, the printable area with zero margins.
    EXPECT_EQ(page.RightEdge(), c.pw);
    page.UseMargins = true;
    EXPECT_EQ(page.LeftEdge(), 18);
    EXPECT_EQ(page.RightEdge(), c.pw - 18);
    EXPECT_EQ(page.BottomEdge(), c.ph - 18);
    page.RightMargin = 40;
    EXPECT_EQ(page.RightEdge(), c.pw - 40);
  }
  EXPECT_EQ(rpPaperTable().size(), 67u);
  EXPECT_EQ(rpPaperTable()[8].Name, Ansi("A4 210 x 297 мм"));
  EXPECT_EQ(rpPrinter().PrinterName(), Ansi("Виртуальный принтер"));
}

TEST_F(Prepared, PrinterSettingsAndRejectedPapers) {
  TrpPrinter& pr = rpPrinter();
  pr.SetPageSettings(9, 0, 0, rpPortrait, 3, true);
  const int applied = pr.ApplyCount;
  pr.SetPageSettings(9, 0, 0, rpPortrait, 3, false);
  pr.SetPageSettings(9, 0, 0, rpPortrait, -1, false);  // the default bin matches any
  pr.SetPageSettings(9, 0, 0, rpPortrait, 0xFFFF, false);  // and so does its 16-bit form
  EXPECT_EQ(pr.ApplyCount, applied);
  EXPECT_TRUE(pr.SettingsEqual(9, 1, 1, rpPortrait, -1));
  EXPECT_FALSE(pr.SettingsEqual(9, 0, 0, rpLandscape, -1));
  pr.SetPageSettings(256, 1000, 1500, rpPortrait, -1, false);
  EXPECT_TRUE(pr.SettingsEqual(256, 1001, 1499, rpPortrait, 5));
  EXPECT_FALSE(pr.SettingsEqual(256, 1002, 1500, rpPortrait, -1));
  // A paper the virtual printer does not know keeps its id and the size it was given.
  TrpPage page(4711, 1234, 2345, 0xFFFF, rpPortrait);
  EXPECT_EQ(page.PaperSize, 4711);
  EXPECT_EQ(page.PaperWidth, 1234);
  EXPECT_EQ(page.PaperHeight, 2345);
  EXPECT_EQ(page.PageInfo.PhysWidth, rpTenthsMmToReport(1234));
  EXPECT_EQ(page.Bin, 0xFFFF);
}

// A paper the printer refuses becomes a custom paper of the same size and orientation.
TEST_F(Prepared, RefusedPaperFallsBackToACustomPaperOfTheSameSize) {
  FakePrinters printers({"Принтер"});
  printers.RefusedPaper = 11;  // A5
  rpPrinter().SetPrinterIndex(0);
  TrpPage page(11, 2100, 1480, 0xFFFF, rpLandscape);
  EXPECT_EQ(page.PaperSize, rpCustomPaper);
  EXPECT_EQ(page.PaperWidth, 2100);
  EXPECT_EQ(page.PaperHeight, 1480);
  EXPECT_EQ(page.Orientation, rpLandscape);
  EXPECT_EQ(page.Bin, 0xFFFF);
  EXPECT_EQ(page.PageInfo, rpPrinter().FillPageInfo());
  TrpPage a4(9, 0, 0, -1, rpPortrait);  // a paper it takes stays as asked
  EXPECT_EQ(a4.PaperSize, 9);
  EXPECT_EQ(a4.PaperWidth, 2100);
}

// A new template page takes the paper the printer had when the printers were attached,
// whatever paper was asked for since.
TEST_F(Prepared, ANewPageTakesThePaperThePrinterHadAtTheStart) {
  {
    FakePrinters printers({"Принтер"}, "", 1);  // Letter, 215.9 x 279.4 mm
    EXPECT_EQ(rpPrinter().InitialPaperSize, 1);
    rpPrinter().SetPageSettings(8, 0, 0, rpLandscape, -1, true);  // A3 since
    TrpPages pages;
    const TrpPage* page = pages.Add();
    EXPECT_EQ(page->PaperSize, 1);
    EXPECT_EQ(page->PaperWidth, 2159);
    EXPECT_EQ(page->PaperHeight, 2794);
    EXPECT_EQ(page->Orientation, rpPortrait);
  }
  // Without system printers: the virtual printer's A4.
  TrpPages pages;
  EXPECT_EQ(pages.Add()->PaperSize, 9);
}

TEST_F(Prepared, PageScriptProperties) {
  TrpPage page(9, 0, 0, -1, rpPortrait);
  page.SetPropValue("width", 720);
  EXPECT_EQ(page.PaperWidth, 2000);
  EXPECT_EQ(page.GetPropValue("WIDTH").AsInteger(), 720);
  page.SetPropValue("STRETCHTOPRINTABLE", true);
  EXPECT_FALSE(page.UseMargins);
  EXPECT_TRUE(page.GetPropValue("NOSUCH").IsNull());
  page.PageType = ptDialog;
  page.SetPropValue("WIDTH", 500);
  EXPECT_EQ(page.FormWidth, 500);
  page.Columns = -3;
  EXPECT_EQ(page.ColumnCount(), 1);
}

TEST_F(Prepared, FileRoundTrip) {
  TrpEMFPages pages;
  MakePage(pages);
  MakePage(pages, 11);
  const std::string bytes = Save(pages);
  EXPECT_EQ(bytes.substr(0, 2), std::string("\x18\x00", 2));
  EXPECT_EQ(bytes.substr(2, 2 + 19), std::string("\x13\x00", 2) + Ansi("Виртуальный принтер"));
  TrpEMFPages back;
  TMemoryStream m(bytes);
  back.LoadFromStream(m);
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.GetPages(1)->PaperSize, 11);
  EXPECT_EQ(back.GetPages(1)->PageInfo.PhysWidth, 534);
  EXPECT_EQ(back.GetPages(0)->LeftMargin, 30);
  EXPECT_EQ(Save(back), bytes);
  EXPECT_EQ(rpDumpPrepared(back), rpDumpPrepared(pages));
  const std::string dump = rpDumpPrepared(back);
  EXPECT_NE(dump.find("Memo Memo1 @100,100 200x50"), std::string::npos) << dump;
  EXPECT_NE(dump.find("\"Итого\\1\""), std::string::npos) << dump;
}

TEST_F(Prepared, DamagedFilesAreRefusedAndThePagesKept) {
  TrpEMFPages pages;
  MakePage(pages);
  const std::string good = Save(pages);
  const std::size_t countAt = 2 + 2 + 19 + 1;
  struct Case {
    const char* what;
    std::string bytes;
    const char* message = nullptr;  // UTF-8, when the message is checked as a whole
  };
  auto with = [&](std::size_t at, std::int32_t v) {
    std::string b = good;
    for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
    return b;
  };
  std::string old = good;
  old[1] = 7;
  const Case cases[] = {
      {"huge page count", with(countAt, 1 << 28)},
      {"negative page count", with(countAt, -1)},
      {"end offset backwards", with(countAt + 4, 10)},
      {"end offset past the end", with(countAt + 4, 1 << 30)},
      {"truncated", good.substr(0, good.size() / 2)},
      {"cut after the version", good.substr(0, 1), "Файл отчета поврежден: он обрывается раньше конца"},
      {"cut in the printer's name", good.substr(0, 16), "Файл отчета поврежден: он обрывается раньше конца"},
      {"old metafile layout", old},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TrpEMFPages target;
    MakePage(target);
    TMemoryStream m(c.bytes);
    try {
      target.LoadFromStream(m);
      ADD_FAILURE() << "loaded";
    } catch (const ErpPreparedError& e) {
      ExpectRussianIn1251(e.Message());
      if (c.message) {
        EXPECT_EQ(cp::Ansi1251ToUtf8(e.Message()), c.message);
      }
    }
    EXPECT_EQ(target.GetCount(), 1);
  }
  // Page streams that make no views (an object type that is none, a view record cut
  // short): the file is refused when it is read, naming the page, and never met later
  // while the page is drawn.
  std::string badType = good;
  badType[countAt + 4 + 36 + 1] = 7;
  // The last view cut by three bytes, the page's end offset moved with it.
  std::string cutView = with(countAt + 4, static_cast<std::int32_t>(good.size() - 3));
  cutView.resize(good.size() - 3);
  for (const auto& [bytes, message] :
       {std::pair<std::string, std::string>{badType, "Файл отчета поврежден: страница 1: Неверный тип объекта на странице отчета: 7"},
        {cutView, "Файл отчета поврежден: страница 1: он обрывается раньше конца"}}) {
    TrpEMFPages target;
    MakePage(target);
    TMemoryStream m(bytes);
    try {
      target.LoadFromStream(m);
      ADD_FAILURE() << "loaded";
    } catch (const ErpPreparedError& e) {
      EXPECT_EQ(cp::Ansi1251ToUtf8(e.Message()), message);
    }
    EXPECT_EQ(target.GetCount(), 1);
    EXPECT_EQ(rpState().CurrentPage, nullptr);
  }
}

TEST_F(Prepared, ObjectsOfUnregisteredClassesRaiseWhenTheirPageIsDrawnOrExported) {
  // Page 1 is sound; page 2 holds a memo, an object of the class "TrpGone" that nobody
  // registered, and another memo.
  struct TrpGone : TrpMemoView {
    AnsiString ClassName() const override { return "TrpGone"; }
  };
  TrpEMFPages written;
  MakePage(written);
  TrpPage second(9, 0, 0, -1, rpPortrait);
  second.UseMargins = true;
  written.Add(second);
  TStream& s = *written.PageStream(1);
  TrpMemoView before;
  before.Name = "Before";
  before.SetBounds(100, 300, 200, 20);
  before.PrintText.Add(Ansi("до") + rpLineEndMarker);
  before.WritePreparedEntry(s);
  TrpGone gone;
  gone.ObjectType = rpotAddIn;
  gone.SetBounds(100, 100, 200, 20);
  gone.WritePreparedEntry(s);
  before.Name = "After";
  before.WritePreparedEntry(s);

  TrpEMFPages pages;
  TMemoryStream m(Save(written));
  ASSERT_NO_THROW(pages.LoadFromStream(m));  // the sound page can be seen
  ASSERT_EQ(pages.GetCount(), 2);
  EXPECT_NO_THROW(pages.ObjectsToPage(0));
  EXPECT_THROW(pages.ObjectsToPage(1), EClassNotFound);
  rpState().ErrorText = "earlier\r";
  try {
    pages.ExportData(1);
    ADD_FAILURE() << "exported";
  } catch (const EClassNotFound& e) {
    EXPECT_EQ(cp::Ansi1251ToUtf8(e.Message()), "На странице есть объекты незарегистрированных классов: TrpGone");
  }
  EXPECT_EQ(rpState().ErrorText, "earlier\r");
  EXPECT_FALSE(rpState().ErrorFlag);  // drawing is no build
  // On the printer it raises; on the screen the views before it show, with the error.
  TrpPreparedPage& rec = *pages.GetPages(1);
  rec.Visible = true;
  TRecordingCanvas printer(Rect(0, 0, 758, 1071));
  rpState().PrinterCanvas = &printer;
  EXPECT_THROW(pages.Draw(1, printer, Rect(0, 0, 758, 1071)), EClassNotFound);
  rpState().PrinterCanvas = nullptr;
  TRecordingCanvas screen(Rect(0, 0, 758, 1071));
  ASSERT_NO_THROW(pages.Draw(1, screen, Rect(0, 0, 758, 1071)));
  std::vector<std::string> texts;
  for (const auto* op : screen.OpsOf(TRecordingCanvas::TOpKind::Text)) texts.push_back(cp::Ansi1251ToUtf8(op->Text));
  EXPECT_EQ(texts, (std::vector<std::string>{"до", "На странице есть объекты незарегистрированных классов: TrpGone"}));
  EXPECT_EQ(pages.ViewAt(1, Point(150, 310)), rec.Page->Objects.front().get());
}

TEST_F(Prepared, VersionZeroLayout) {
  // First byte 0 (compressed flag), no version: no bin and no margins.
  std::string s = std::string("\x00\x01\x00X\x00", 5) + std::string("\x01\x00\x00\x00", 4);
  const std::string page = std::string("\x18", 1);
  const std::int32_t end = static_cast<std::int32_t>(s.size() + 4 + 2 + 4 + 4 + 1 + 1 + page.size());
  for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((end >> (8 * i)) & 0xFF));
  s += std::string("\x0B\x00", 2) + std::string(8, '\0') + std::string("\x01\x01", 2) + page;
  TrpEMFPages pages;
  TMemoryStream m(s);
  pages.LoadFromStream(m);
  ASSERT_EQ(pages.GetCount(), 1);
  EXPECT_EQ(pages.GetPages(0)->PaperSize, 11);
  EXPECT_EQ(pages.GetPages(0)->Orientation, 1);
  EXPECT_EQ(pages.GetPages(0)->Bin, -1);
  EXPECT_TRUE(pages.GetPages(0)->UseMargins);
}

TEST_F(Prepared, DrawScalesAndSkipsWhatLiesOutsideTheClip) {
  TrpEMFPages pages;
  MakePage(pages);
  TrpPreparedPage& rec = *pages.GetPages(0);
  TRecordingCanvas canvas(Rect(0, 0, 600, 400));
  // Not visible: the rebuilt page is freed and nothing is drawn.
  pages.ObjectsToPage(0);
  pages.Draw(0, canvas, Rect(10, 20, 10 + 758 * 2, 20 + 1071 * 2));
  EXPECT_EQ(rec.Page, nullptr);
  EXPECT_TRUE(canvas.Ops().empty());
  rec.Visible = true;
  pages.Draw(0, canvas, Rect(10, 20, 10 + 758 * 2, 20 + 1071 * 2));
  // The line at y 400 (800 on the canvas) lies below the canvas and is skipped.
  EXPECT_TRUE(canvas.OpsOf(TRecordingCanvas::TOpKind::Line).size() >= 4u);
  for (const auto* op : canvas.OpsOf(TRecordingCanvas::TOpKind::Line)) EXPECT_LT(op->R.Top, 400);
  const auto texts = canvas.OpsOf(TRecordingCanvas::TOpKind::Text);
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0]->Text, Ansi("Итого"));
  EXPECT_EQ(texts[0]->R.Left, 10 + 200 + 5);  // Left 200 + GapX (1 + 4), offset 10
  EXPECT_EQ(texts[0]->Font.Height, -26);
  EXPECT_EQ(texts[1]->Clip.Left, 10 + 300 + 1);
  EXPECT_EQ(rpState().DocMode, rpDesignMode);  // put back after drawing
}

TEST_F(Prepared, HitTestFindsTheTopmostView) {
  TrpEMFPages pages;
  MakePage(pages);
  int cursor = 0;
  std::vector<AnsiString> clicked;
  EXPECT_FALSE(pages.HitTest(0, Point(160, 125), cursor, true));  // no event assigned
  pages.OnObjectClick = [&](TrpView& v) { clicked.push_back(v.Name); };
  pages.OnMouseOverObject = [&](TrpView&, int& c) { c = 7; };
  EXPECT_TRUE(pages.HitTest(0, Point(160, 125), cursor, true));
  EXPECT_TRUE(pages.HitTest(0, Point(110, 110), cursor, true));
  EXPECT_TRUE(pages.HitTest(0, Point(110, 110), cursor, false));
  EXPECT_EQ(cursor, 7);
  EXPECT_FALSE(pages.HitTest(0, Point(5, 5), cursor, true));
  EXPECT_EQ(clicked, (std::vector<AnsiString>{"Memo2", "Memo1"}));
  // A page stretched to the printable area whose margins eat it: no division by zero.
  TrpPreparedPage& rec = *pages.GetPages(0);
  rec.UseMargins = false;
  rec.LeftMargin = 2000;
  EXPECT_EQ(pages.ViewAt(0, Point(-10000, -10000)), nullptr);
}
