// The options dialog's model: directories stored with their separator, the kind-of-trip
// pick, the ranges, and Cancel (no Apply) leaving the settings alone.
#include <gtest/gtest.h>

#include <string>

#include "planner/app/FrmOptionsModel.h"
#include "planner/app/UserPrompt.h"
#include "planner/ration/RationEdit.h"
#include "platform/core/AnsiText.h"

namespace {

std::string Utf8(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

class TOnePick : public IRefPicker {
 public:
  int Execute(int Page, const AnsiString&) override {
    pages.push_back(Page);
    return result;
  }
  int PickCount() const override { return count; }
  AnsiString GetItemPath(int Index, const AnsiString& Separator) const override {
    return Index == 0 && count > 0 ? Ansi("Горный") + Separator + Ansi("3 к.с.") : AnsiString();
  }
  AnsiString GetItemText(int Index) const override { return Index == 0 ? Ansi("3 к.с.") : AnsiString(); }
  const TFoodRec* GetItemData(int Index) override {
    if (Index != 0 || count == 0) return nullptr;
    rec = TFoodRec{};
    rec.Cal = 4200;
    rec.AlbA = 140;
    rec.FatA = 160;
    rec.Carb = 600;
    return &rec;
  }
  TFoodRec rec{};
  std::vector<int> pages;
  int result = mrOk;
  int count = 1;
};

TAppSettings Settings() {
  TAppSettings s;
  s.General.RefDir = "/opt/tw/Ref/";
  s.General.DataDir = "/home/u/Travels/";
  s.General.ExampleDir = "/opt/tw/Examples/";
  return s;
}

TEST(OptionsModel, DirectoriesAreStoredWithTheirSeparator) {
  struct Case {
    const char* text;
    const char* previous;
    const char* stored;
  };
  const Case cases[] = {
      {"/data/Ref", "/old/", "/data/Ref/"},
      {"/data/Ref/", "/old/", "/data/Ref/"},
      {"C:\\Ref\\", "/old/", "C:\\Ref\\"},  // a backslash counts as the separator
      {"", "/old/", "/old/"},               // an empty text keeps the setting, not the root
      {"/", "/old/", "/"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TOptionsModel::DirectorySetting(c.text, c.previous), c.stored) << c.text;

  TAppSettings s = Settings();
  TOptionsModel m;
  m.Load(s);
  m.RefDir = "/mnt/ref";
  m.DataDir = "";
  m.Apply(s);
  EXPECT_EQ(s.General.RefDir, "/mnt/ref/");
  EXPECT_EQ(s.General.DataDir, "/home/u/Travels/");
}

TEST(OptionsModel, OkCopiesEveryFieldCancelLeavesTheSettings) {
  const TAppSettings before = Settings();
  TAppSettings s = before;
  TOptionsModel m;
  m.Load(s);
  EXPECT_EQ(m.RationTypeIndex, 0);
  EXPECT_EQ(m.Days, 21);
  EXPECT_EQ(Utf8(m.TourName), "Пешеходный; 1 к.с.");
  m.ShowHint = false;
  m.CreateBakFiles = false;
  m.PackRef = false;
  m.RationTypeIndex = 1;
  m.Mans = 2147483647;  // participants and days range over every positive 32-bit number
  m.Days = 5000;
  m.Author = Ansi("Иванов");
  TOnePick pick;
  EXPECT_TRUE(m.PickTour(pick));
  EXPECT_EQ(pick.pages, std::vector<int>{4});
  EXPECT_EQ(Utf8(m.TourName), "Горный; 3 к.с.");
  EXPECT_EQ(m.RefCal, 4200);

  // Cancel: the model is dropped, the settings are as they were.
  EXPECT_EQ(s.Defaults.DfltTourName, before.Defaults.DfltTourName);
  EXPECT_EQ(s.Defaults.DfltRefCal, before.Defaults.DfltRefCal);

  m.Apply(s);
  EXPECT_FALSE(s.General.ShowHint);
  EXPECT_FALSE(s.General.CreateBakFiles);
  EXPECT_FALSE(s.General.PackRef);
  EXPECT_FALSE(s.General.DayMenuMode);
  EXPECT_EQ(s.Defaults.DfltMans, 2147483647);
  EXPECT_EQ(s.Defaults.DfltDays, 5000);
  EXPECT_EQ(Utf8(s.Defaults.DfltAuthor), "Иванов");
  EXPECT_EQ(Utf8(s.Defaults.DfltTourName), "Горный; 3 к.с.");
  EXPECT_EQ(s.Defaults.DfltRefCal, 4200);
  EXPECT_DOUBLE_EQ(s.Defaults.DfltRefAlb, 140);
  EXPECT_DOUBLE_EQ(s.Defaults.DfltRefFat, 160);
  EXPECT_DOUBLE_EQ(s.Defaults.DfltRefCarb, 600);
}

TEST(OptionsModel, ACancelledOrEmptyPickChangesNothing) {
  TAppSettings s = Settings();
  TOptionsModel m;
  m.Load(s);
  TOnePick pick;
  pick.result = mrCancel;
  EXPECT_FALSE(m.PickTour(pick));
  pick.result = mrOk;
  pick.count = 0;
  EXPECT_FALSE(m.PickTour(pick));
  EXPECT_EQ(m.TourName, s.Defaults.DfltTourName);
  EXPECT_EQ(m.RefCal, s.Defaults.DfltRefCal);
  EXPECT_TRUE(TOptionsModel::TourKeyOpensPick('7'));
  EXPECT_TRUE(TOptionsModel::TourKeyOpensPick('q'));
  EXPECT_TRUE(TOptionsModel::TourKeyOpensPick(0xC0));  // Cyrillic А
  EXPECT_FALSE(TOptionsModel::TourKeyOpensPick(' '));
  EXPECT_FALSE(TOptionsModel::TourKeyOpensPick('-'));
  EXPECT_EQ(Utf8(TOptionsModel::Text("CheckBox2.Caption")), "Создавать резервные копии");
  EXPECT_EQ(TOptionsModel::Text("nothing"), "");
}

}  // namespace
