// Pictures from files and from table fields: LOADFROMFILE takes regular files of at
// most 32 MB holding a bitmap, an icon or a metafile (judged by their content) and
// refuses others with the reason; a picture whose DataField names a blob field shows
// the field of each record.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "BuildFixture.h"
#include "PictureFiles.h"
#include "report/RP_DBSet.h"
#include "tables/DataSetFixtures.h"
#include "tables/DbfDB.h"
#include "test_support/TempDir.h"

using namespace rpbuildtest;

namespace {

void Write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace

TEST(RpPicture, LoadFromFileTakesOnlyPictureFilesOfASaneSize) {
  TempDir dir;
  struct Case {
    const char* file;
    std::string bytes;  // written unless empty
    std::uint8_t kind;  // rpikNone: refused
    const char* reason;
  };
  std::string png = "\x89PNG\r\n\x1a\n";
  png.append(40, '\0');
  const Case cases[] = {
      {"a.bmp", picture_files::Bmp1(), rpikBitmap, ""},
      {"a.ico", picture_files::Ico(), rpikIcon, ""},
      {"a.wmf", picture_files::PlaceableWmf(), rpikMetafile, ""},
      {"a.png", png, rpikNone, "в нём нет рисунка BMP, ICO, WMF или EMF."},
      {"notes.txt", "Крупа 500 г\nСахар 200 г\n", rpikNone, "в нём нет рисунка BMP, ICO, WMF или EMF."},
      {"big.bmp", "", rpikNone, "файл больше 32 МБ."},
      {"sub", "", rpikNone, "файл не открывается (его нет, или это не обычный файл)."},
      {"missing.bmp", "", rpikNone, "файл не открывается (его нет, или это не обычный файл)."},
      {"pipe.bmp", "", rpikNone, "файл не открывается (его нет, или это не обычный файл)."},
      {"zero.bmp", "", rpikNone, "файл не открывается (его нет, или это не обычный файл)."},
      {"link.bmp", "", rpikNone, "файл больше 32 МБ."},
  };
  // A pipe (nobody writes to it), a link to the endless zero device, one to the big file.
  ASSERT_EQ(::mkfifo((dir.SysPath() + "/pipe.bmp").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/zero", dir.SysPath() + "/zero.bmp");
  std::filesystem::create_symlink("big.bmp", dir.SysPath() + "/link.bmp");
  // A sparse file of 40 MB that begins as a bitmap, and a directory.
  Write(dir.SysPath() + "/big.bmp", picture_files::Bmp1());
  ASSERT_EQ(::truncate((dir.SysPath() + "/big.bmp").c_str(), 40 << 20), 0);
  std::filesystem::create_directory(dir.SysPath() + "/sub");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    if (!c.bytes.empty()) Write(dir.SysPath() + "/" + c.file, c.bytes);
    TrpPictureView view;
    view.Picture.Assign(rpikBitmap, picture_files::Bmp1());
    const AnsiString name = dir.Path() + "/" + c.file;
    if (c.kind != rpikNone) {
      view.LoadFromFile(name);
      EXPECT_EQ(view.Picture.Kind, c.kind);
      EXPECT_EQ(view.Picture.Bytes, c.bytes);
      continue;
    }
    try {
      view.LoadFromFile(name);
      ADD_FAILURE() << "taken";
    } catch (const ErpViewError& e) {
      EXPECT_EQ(cp::Ansi1251ToUtf8(e.what()),
                "Рисунок не загружен из файла \"" + cp::Ansi1251ToUtf8(name) + "\": " + c.reason);
    }
    EXPECT_EQ(view.Picture.Bytes, picture_files::Bmp1());  // unchanged
  }
}

TEST(RpPicture, AScriptLoadingATextFileStopsTheBuildWithTheReason) {
  TempDir dir;
  Write(dir.SysPath() + "/notes.txt", "Крупа 500 г\n");
  Write(dir.SysPath() + "/a.bmp", picture_files::Bmp1());
  for (const char* file : {"a.bmp", "notes.txt"}) {
    SCOPED_TRACE(file);
    Fixture f;
    f.ListRows(1);
    TrpPictureView& pic = f.b.Picture(200, 0, 50, 18, TBitmap());
    pic.Name = "Pic";
    pic.Script.SetText("begin Pic.LoadFromFile('" + dir.Path() + "/" + file + "') end");
    const bool built = f.report.PrepareReport();
    EXPECT_EQ(built, std::string(file) == "a.bmp");
    if (!built) {
      EXPECT_NE(cp::Ansi1251ToUtf8(f.report.ErrorText).find("Рисунок не загружен из файла"), std::string::npos)
          << cp::Ansi1251ToUtf8(f.report.ErrorText);
      continue;
    }
    f.report.EMFPages.ObjectsToPage(0);
    bool found = false;
    for (const auto& v : f.report.EMFPages.GetPages(0)->Page->Objects)
      if (auto* p = dynamic_cast<TrpPictureView*>(v.get())) found = p->Picture.Bytes == picture_files::Bmp1();
    EXPECT_TRUE(found);
  }
}

TEST(RpPicture, APictureShowsTheBitmapOfEachRecordsMemoField) {
  // A dBase III table whose memo PIC holds a bitmap in record 1 and nothing in record 2:
  // the picture with DataField "[PIC]" shows that bitmap as stored (the table's text
  // translation to 866 left out), then nothing.
  TempDir dir;
  dataset_test::MakeTable(dir.Path() + "/pics.dbf", {{"N", 'N', 5}, {"PIC", 'M'}}, {{{1}}, {{2}}}, 0x83);
  TDbfDataSet table;
  table.SetDatabaseName(dir.Path());
  table.SetTableName("pics");
  table.Open();
  table.Edit();
  table.FieldByName("PIC").Transliterate = false;  // stored as it is
  {
    auto blob = table.CreateBlobStream(table.FieldByName("PIC"), TBlobStreamMode::bmWrite);
    const std::string bmp = picture_files::Bmp1();
    blob->Write(bmp.data(), static_cast<std::int64_t>(bmp.size()));
  }
  table.Post();
  table.Close();
  TrpDBDataSet rows;
  rows.Name = "Rows";
  rows.SetDataSet(&table);
  Fixture f;
  f.report.AddDataset(rows);
  f.b.Page(9, rpPortrait, 20);
  f.b.Band(btMasterData, 0, 40).FormatStr = "Rows";
  f.b.Memo("[N]", 20, 0, 100, 18);
  f.b.Picture(200, 0, 40, 40, TBitmap()).Memo.SetText("[PIC]");
  f.Build();
  f.report.EMFPages.ObjectsToPage(0);
  std::vector<std::string> shown;
  for (const auto& v : f.report.EMFPages.GetPages(0)->Page->Objects)
    if (auto* p = dynamic_cast<TrpPictureView*>(v.get())) shown.push_back(p->Picture.Empty() ? "" : p->Picture.Bytes);
  EXPECT_EQ(shown, (std::vector<std::string>{picture_files::Bmp1(), ""}));
}

TEST(RpPicture, APictureShownAgainAndAgainStopsTheBuildAtTheLimitOfItsPages) {
  // A 3 MB bitmap loaded once, then its band shown by the title's script: 40 times is
  // 120 MB of pages against a limit of 16 MB; 4 times is within it.
  TempDir dir;
  Write(dir.SysPath() + "/big.bmp", picture_files::Bmp(1024, 1024, 24, 0, "", std::string(std::size_t{1024} * 3 * 1024, '\x7f')));
  for (const int times : {4, 40}) {
    SCOPED_TRACE(times);
    Fixture f;
    f.report.EMFPages.MaxBuiltBytes = 16 << 20;
    f.b.Page(9, rpPortrait, 20);
    TrpBandView& title = f.b.Band(btReportTitle, 0, 20);
    title.Name = "Title";
    title.Script.SetText("begin Pic.LoadFromFile('" + dir.Path() + "/big.bmp'); i := 0; while i < " +
                         std::to_string(times) + " do begin ShowBand('B'); i := i + 1 end end");
    f.b.Memo("t", 0, 0, 50, 18);
    f.b.Band(btChild, 40, 20).Name = "B";
    f.b.Picture(0, 40, 50, 18, TBitmap()).Name = "Pic";
    const bool built = f.report.PrepareReport();
    const std::string error = cp::Ansi1251ToUtf8(f.report.ErrorText);
    EXPECT_EQ(built, times == 4) << error;
    if (!built) {
      EXPECT_NE(error.find("Подготовленные страницы отчета занимают больше 16 МБ: отчет остановлен"), std::string::npos)
          << error;
    }
  }
}
