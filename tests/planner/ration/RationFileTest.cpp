#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <limits>
#include <string>
#include <vector>

#include "planner/ration/RationFile.h"
#include "planner/ration/TestFood.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"
#include "test_support/FileBytes.h"
#include "test_support/FuzzCases.h"
#include "test_support/SaveChain.h"
#include "test_support/TempDir.h"

namespace {

// ---------------------------------------------------------------------------------
// Helpers

class RecordedMessages : public IRationFileMessages {
 public:
  void ShowError(const AnsiString& Text) override { Texts.push_back(Text); }
  bool Confirm(const AnsiString& Text) override {
    Questions.push_back(Text);
    return Answer;
  }
  std::vector<AnsiString> Texts;
  std::vector<AnsiString> Questions;
  bool Answer = false;
};

TMtTreeItem* AddProduct(TRationDocument& doc, TMtTreeItem* parent, const AnsiString& name, const TFoodRec& food,
                        std::int32_t code) {
  return doc.AddItem(parent, name, &food, fkProduct, code);
}

// A double field of a packed record, read into an aligned value for the comparisons.
double Value(double v) { return v; }

std::string RecBytes(const TFoodRec& r) { return std::string(reinterpret_cast<const char*>(&r), sizeof r); }

void PutString(TStream& s, std::string_view text) {
  s.WriteInt32(static_cast<std::int32_t>(text.size()));
  s.WriteString(text);
}

// Fields 1 to 18 of versions 2 and 3.
struct Header {
  std::int32_t version = 3;
  std::string title = Ansi("Поход по Саянам");
  std::string author = Ansi("Иванов");
  std::string tour = Ansi("Горный; 2 к.с.");
  std::int32_t days = 9;
  std::int32_t mans = 6;
  std::string description = Ansi("Первая строка\r\nВторая");
  std::int32_t energy = 4200;
  double needs[3] = {160.5, 170.25, 700};
  double limits[5] = {65000, 0.25, 0.45, 0.7, 0.85};
  std::uint8_t type = 1;
};

void PutHeader(TStream& s, const Header& h) {
  s.WriteString("TWCK");
  s.WriteInt32(h.version);
  PutString(s, h.title);
  PutString(s, h.author);
  PutString(s, h.tour);
  s.WriteInt32(h.days);
  s.WriteInt32(h.mans);
  PutString(s, h.description);
  s.WriteInt32(h.energy);
  for (double v : h.needs) s.WriteDouble(v);
  for (double v : h.limits) s.WriteDouble(v);
  s.WriteByte(h.type);
}

struct V3Item {
  std::int32_t level;
  TFoodRec rec;
  std::string text;
  std::string comment;
};

TFoodRec Rec(std::int32_t kind, std::int32_t code, const TFoodRec& values = TFoodRec{}) {
  TFoodRec r = values;
  r.Kind = kind;
  r.Code = code;
  return r;
}

std::string V3File(const std::vector<V3Item>& items, const Header& h = {}) {
  TMemoryStream s;
  PutHeader(s, h);
  s.WriteInt32(static_cast<std::int32_t>(items.size()));
  for (const V3Item& item : items) {
    s.WriteInt32(item.level);
    s.WriteString(RecBytes(item.rec));
    PutString(s, item.text);
    PutString(s, item.comment);
  }
  return s.Bytes();
}

TRationLoadResult Read(TRationDocument& doc, std::string_view bytes, const TRationLimits& current = {}) {
  TMemoryStream s(bytes);
  return ReadRation(doc, s, current);
}

std::string Written(const TRationDocument& doc) {
  TMemoryStream s;
  WriteRation(doc, s);
  return s.Bytes();
}

// (tree level, text, has record, Kind) of every item in pre-order.
struct Shape {
  int level;
  std::string text;
  int kind;  // -100: no record
  bool operator==(const Shape&) const = default;
};
constexpr int kNoRecord = -100;

std::vector<Shape> Shapes(const TRationDocument& doc) {
  std::vector<Shape> shapes;
  for (int i = 0; i < doc.Items()->Count(); ++i) {
    const TMtTreeItem* item = doc.Items()->GetItem(i);
    const TFoodRec* rec = FoodRecOf(item);
    shapes.push_back({item->GetLevel(), item->Text(), rec != nullptr ? rec->Kind : kNoRecord});
  }
  return shapes;
}

void PrintTo(const Shape& s, std::ostream* os) { *os << "{" << s.level << ", " << s.text << ", " << s.kind << "}"; }

// Every field of the header, the limits included.
void ExpectHeader(const TRationHeader& got, const TRationHeader& want) {
  EXPECT_EQ(got.Title, want.Title);
  EXPECT_EQ(got.Author, want.Author);
  EXPECT_EQ(got.TourName, want.TourName);
  EXPECT_EQ(got.Description, want.Description);
  EXPECT_EQ(got.RefCal, want.RefCal);
  EXPECT_EQ(got.RefAlb, want.RefAlb);
  EXPECT_EQ(got.RefFat, want.RefFat);
  EXPECT_EQ(got.RefCarb, want.RefCarb);
  const TRationLimits& a = got.Limits;
  const TRationLimits& b = want.Limits;
  EXPECT_EQ(std::vector<double>({a.MaxAbsEnDef, a.MaxRelEnDef, a.AlbAVmin, a.FatAVMin, a.FatAVmax, a.AFCAlb,
                                 a.AFCFat, a.AFCCarb}),
            std::vector<double>({b.MaxAbsEnDef, b.MaxRelEnDef, b.AlbAVmin, b.FatAVMin, b.FatAVmax, b.AFCAlb,
                                 b.AFCFat, b.AFCCarb}));
}

// A document that failed to load keeps nothing of it.
void ExpectEmptyAfterFailure(const TRationDocument& doc) {
  EXPECT_EQ(doc.Items()->Count(), 0);
  EXPECT_EQ(doc.RecordCount(), 0);
  EXPECT_EQ(doc.DayCounter, 0);
}

// ---------------------------------------------------------------------------------
// 10-byte extended reals

// The extended real of sign, biased exponent and 64-bit significand.
std::string Ext(bool negative, unsigned exponent, std::uint64_t m) {
  std::string b(10, '\0');
  for (int i = 0; i < 8; ++i) b[i] = static_cast<char>(m >> (8 * i));
  const unsigned se = (negative ? 0x8000u : 0u) | exponent;
  b[8] = static_cast<char>(se & 0xFF);
  b[9] = static_cast<char>(se >> 8);
  return b;
}

// Every double is exactly an extended real.
std::string ExtOf(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, 8);
  const bool negative = bits >> 63 != 0;
  const unsigned e = static_cast<unsigned>(bits >> 52) & 0x7FF;
  const std::uint64_t frac = bits & ((std::uint64_t{1} << 52) - 1);
  if (e == 0 && frac == 0) return Ext(negative, 0, 0);
  if (e == 0x7FF) return Ext(negative, 0x7FFF, std::uint64_t{1} << 63 | frac << 11);
  if (e == 0) {
    const int shift = std::countl_zero(frac);
    return Ext(negative, static_cast<unsigned>(-1074 - shift + 16383 + 63), frac << shift);
  }
  return Ext(negative, e - 1023 + 16383, std::uint64_t{1} << 63 | frac << 11);
}

double Decode(const std::string& ext) { return ExtendedToDouble(reinterpret_cast<const unsigned char*>(ext.data())); }

TEST(ExtendedRealTest, EveryDoubleComesBackExactly) {
  const double values[] = {0.0,
                           1.0,
                           -2.5,
                           1.0 / 3,
                           150,
                           0.1,
                           123456.789,
                           std::numeric_limits<double>::max(),
                           -std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::min(),
                           std::numeric_limits<double>::denorm_min(),
                           3 * std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::min() / 3,
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity()};
  for (double v : values) {
    SCOPED_TRACE(v);
    const double back = Decode(ExtOf(v));
    EXPECT_EQ(back, v);
    EXPECT_EQ(std::signbit(back), std::signbit(v));
  }
  EXPECT_TRUE(std::signbit(Decode(ExtOf(-0.0))));
  EXPECT_EQ(Decode(ExtOf(-0.0)), 0.0);
}

TEST(ExtendedRealTest, RoundsToNearestHalvesToEven) {
  const std::uint64_t one = std::uint64_t{1} << 63;
  const double ulp = std::ldexp(1.0, -52);
  struct Case {
    const char* what;
    std::string ext;
    double expected;
  };
  const Case cases[] = {
      {"1/3 with 64 bits", Ext(false, 16381, 0xAAAAAAAAAAAAAAABull), 1.0 / 3},
      {"2/3 with 64 bits", Ext(false, 16382, 0xAAAAAAAAAAAAAAABull), 2.0 / 3},
      {"just below the tie rounds down", Ext(false, 16383, one | 0x3FF), 1.0},
      {"tie with an even neighbour below", Ext(false, 16383, one | 0x400), 1.0},
      {"just above the tie rounds up", Ext(false, 16383, one | 0x401), 1.0 + ulp},
      {"tie with an odd neighbour below", Ext(false, 16383, one | 0x800 | 0x400), 1.0 + 2 * ulp},
      {"carry into the next power of two", Ext(false, 16383, ~std::uint64_t{0}), 2.0},
      {"negative values round the same way", Ext(true, 16383, one | 0x401), -(1.0 + ulp)},
      {"above the largest double", Ext(false, 16383 + 1024, one), std::numeric_limits<double>::infinity()},
      {"rounds up past the largest double", Ext(false, 16383 + 1023, ~std::uint64_t{0}),
       std::numeric_limits<double>::infinity()},
      {"the smallest denormal", Ext(false, 16383 - 1074, one), std::numeric_limits<double>::denorm_min()},
      {"half the smallest denormal ties to 0", Ext(false, 16383 - 1075, one), 0.0},
      {"above half the smallest denormal", Ext(false, 16383 - 1075, one | 1), std::numeric_limits<double>::denorm_min()},
      {"1.5 denormals tie to 2", Ext(false, 16383 - 1074, one | one >> 1), 2 * std::numeric_limits<double>::denorm_min()},
      {"far below every double", Ext(false, 1, one), 0.0},
      {"an extended denormal", Ext(false, 0, 12345), 0.0},
      {"an unnormal keeps its value", Ext(false, 16383, one >> 1), 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Decode(c.ext), c.expected);
  }
  EXPECT_TRUE(std::isnan(Decode(Ext(false, 0x7FFF, one | 1))));
  EXPECT_TRUE(std::isnan(Decode(Ext(true, 0x7FFF, one >> 1))));
}

// ---------------------------------------------------------------------------------
// Version 3 round trip

// Two days of a menu: meals, a dish, products with comments, a custom day text and an
// item without record.
void BuildSample(TRationDocument& doc) {
  doc.Header = {Ansi("Алтай, июль"),
                Ansi("Петрова А."),
                Ansi("Пешеходный; 3 к.с."),
                Ansi("Строка 1\r\nСтрока 2\r\n"),
                3900,
                155.5,
                181.25,
                702.125,
                {51000, 0.35, 0.55, 0.65, 0.9}};
  doc.Mans = 5;
  doc.SetRationType(rtDayMenu);

  TMtUpdateBracket bracket(&doc.Tree());
  TMtTreeItem* day1 = doc.AddItem(nullptr, "", nullptr, fkDay, 0);
  TMtTreeItem* meal = doc.AddItem(day1, Ansi("Завтрак"), nullptr, fkMeal, 11);
  TMtTreeItem* dish = doc.AddItem(meal, Ansi("Каша"), nullptr, fkDish, 21);
  TMtTreeItem* oats = AddProduct(doc, dish, Ansi("Овсянка"), Food(352, 80, 0, 11.9, 0, 7.2, 69.3), 101);
  oats->ColumnText().SetString(rcComment, Ansi("на воде\r\nбез соли"));
  AddProduct(doc, dish, Ansi("Масло"), Food(748, 15, 0.5, 0, 82.5, 0, 0.8), 102);
  AddProduct(doc, meal, Ansi("Чай"), Food(0, 2), 103);
  TMtTreeItem* bare = doc.Items()->AddItem(meal);
  bare->SetText(Ansi("без записи"));
  while (bare->ColumnText().Count() < kRationColumnCount) bare->ColumnText().Add("");
  bare->ColumnText().SetString(rcComment, "note");
  TMtTreeItem* day2 = doc.AddItem(nullptr, "", nullptr, fkDay, 0);
  day2->SetText(Ansi("Днёвка"));
  day2->ColumnText().SetString(rcComment, Ansi("отдых"));
  AddProduct(doc, day2, Ansi("Сухари"), Food(331, 100, 0, 11.2, 0, 1.4, 72.4), 104);
  doc.SumGroup(day1, true);
  doc.SumGroup(day2, true);
  doc.Days = doc.DayCounter;
}

TEST(RationFileV3Test, RoundTripKeepsEveryFieldAndRecord) {
  TRationDocument source;
  BuildSample(source);
  const std::string bytes = Written(source);

  TRationDocument doc;
  ASSERT_EQ(Read(doc, bytes), rlOk);
  ExpectHeader(doc.Header, source.Header);
  EXPECT_EQ(doc.Mans, 5);
  EXPECT_EQ(doc.Days, 2);
  EXPECT_EQ(doc.DayCounter, 2);
  EXPECT_EQ(doc.RationType(), rtDayMenu);
  EXPECT_EQ(doc.Color, kDayMenuRationColor);

  ASSERT_EQ(doc.Items()->Count(), source.Items()->Count());
  EXPECT_EQ(Shapes(doc), Shapes(source));
  for (int i = 0; i < doc.Items()->Count(); ++i) {
    const TMtTreeItem* a = source.Items()->GetItem(i);
    const TMtTreeItem* b = doc.Items()->GetItem(i);
    SCOPED_TRACE(a->Text());
    const TFoodRec* ra = FoodRecOf(a);
    const TFoodRec* rb = FoodRecOf(b);
    ASSERT_EQ(ra == nullptr, rb == nullptr);
    if (ra != nullptr) {
      EXPECT_EQ(RecBytes(*rb), RecBytes(*ra));  // every byte, sums included
    }
    EXPECT_EQ(b->ColumnText().Lines(), a->ColumnText().Lines());
    EXPECT_EQ(b->Color(), a->Color());
    EXPECT_EQ(b->BkColor(), a->BkColor());
  }
  EXPECT_EQ(doc.RecordCount(), source.RecordCount());
  // What was read writes the same bytes again.
  EXPECT_EQ(Written(doc), bytes);
}

TEST(RationFileV3Test, WritesTheLayoutByteForByte) {
  TRationDocument doc;
  doc.Header.Title = "T";
  doc.Header.RefCal = 3100;
  doc.Mans = 4;
  doc.SetRationType(rtDayMenu);
  TMtTreeItem* day = doc.AddItem(nullptr, "", nullptr, fkDay, 0);
  AddProduct(doc, day, "p", Food(100, 50), 7);
  TMtTreeItem* bare = doc.Items()->AddItem(day);
  bare->SetText("x");
  doc.Days = 21;

  TMemoryStream expected;
  expected.WriteString("TWCK");
  expected.WriteInt32(3);
  PutString(expected, "T");
  PutString(expected, "");
  PutString(expected, "");
  expected.WriteInt32(21);
  expected.WriteInt32(4);
  PutString(expected, "");
  expected.WriteInt32(3100);
  for (double v : {0.0, 0.0, 0.0, 70000.0, 0.3, 0.5, 0.75, 0.8}) expected.WriteDouble(v);
  expected.WriteByte(1);
  expected.WriteInt32(3);
  expected.WriteInt32(0);
  expected.WriteString(RecBytes(*FoodRecOf(day)));
  PutString(expected, Ansi("День 1"));
  PutString(expected, "");
  expected.WriteInt32(1);
  expected.WriteString(RecBytes(*FoodRecOf(day->GetChildren(0))));
  PutString(expected, "p");
  PutString(expected, "");
  expected.WriteInt32(1);
  TFoodRec none{};
  none.Code = none.Owner = none.Kind = -1;
  none.Flags = -2;
  expected.WriteString(RecBytes(none));
  PutString(expected, "x");
  PutString(expected, "");
  EXPECT_EQ(Written(doc), expected.Bytes());
}

// ---------------------------------------------------------------------------------
// Version 3 structure

TEST(RationFileV3Test, StructuralCases) {
  const TFoodRec bread = Food(250, 100);
  struct Case {
    const char* what;
    std::vector<V3Item> items;
    std::vector<Shape> shapes;
  };
  const std::string day1 = Ansi("День 1"), day2 = Ansi("День 2");
  const Case cases[] = {
      {"no items: no days", {}, {}},
      {"level 2 after level 0 goes to the top level",
       {{0, Rec(fkDay, 1), day1, ""}, {2, Rec(fkProduct, 5, bread), "p", ""}},
       {{0, day1, fkDay}, {0, "p", fkProduct}}},
      {"a stored day text replaces the generated one",
       {{0, Rec(fkDay, 1), Ansi("Переезд"), ""}},
       {{0, Ansi("Переезд"), fkDay}}},
      {"children find their parent among the previous item's ancestors",
       {{0, Rec(fkDay, 1), day1, ""},
        {1, Rec(fkMeal, 2), "m", ""},
        {2, Rec(fkDish, 3), "d", ""},
        {3, Rec(fkProduct, 4, bread), "p1", ""},
        {2, Rec(fkProduct, 5, bread), "p2", ""},
        {1, Rec(fkProduct, 6, bread), "p3", ""},
        {0, Rec(fkDay, 2), day2, ""},
        {1, Rec(fkProduct, 7, bread), "p4", ""}},
       {{0, day1, fkDay},
        {1, "m", fkMeal},
        {2, "d", fkDish},
        {3, "p1", fkProduct},
        {2, "p2", fkProduct},
        {1, "p3", fkProduct},
        {0, day2, fkDay},
        {1, "p4", fkProduct}}},
      {"a negative level goes to the top level",
       {{0, Rec(fkDay, 1), day1, ""}, {-3, Rec(fkProduct, 5, bread), "p", ""}},
       {{0, day1, fkDay}, {0, "p", fkProduct}}},
      {"a day below another item goes to the top level, appended",
       {{0, Rec(fkDay, 1), day1, ""}, {1, Rec(fkMeal, 2), "m", ""}, {2, Rec(fkDay, 9), day2, ""},
        {1, Rec(fkProduct, 5, bread), "p", ""}},
       {{0, day1, fkDay}, {1, "m", fkMeal}, {0, day2, fkDay}, {1, "p", fkProduct}}},
      {"kinds outside 0..3 load without record, with children",
       {{0, Rec(fkDay, 1), day1, ""},
        {1, Rec(-1, -1), "none", ""},
        {2, Rec(fkProduct, 5, bread), "p", ""},
        {1, Rec(7, 1), "seven", ""},
        {1, Rec(std::numeric_limits<std::int32_t>::min(), 1), "min", ""}},
       {{0, day1, fkDay},
        {1, "none", kNoRecord},
        {2, "p", fkProduct},
        {1, "seven", kNoRecord},
        {1, "min", kNoRecord}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRationDocument doc;
    ASSERT_EQ(Read(doc, V3File(c.items)), rlOk);
    EXPECT_EQ(Shapes(doc), c.shapes);
    int days = 0;
    for (const Shape& s : c.shapes) days += s.kind == fkDay;
    EXPECT_EQ(doc.DayCounter, days);
    EXPECT_EQ(doc.Days, days);  // the stored days (9) are ignored
  }
}

TEST(RationFileV3Test, RecordsTakeTheStoredValuesAndTheTreesIdentity) {
  TFoodRec stored = Food(101, 150, 1, 2, 3, 4, 5);
  stored.Owner = 777;
  stored.Flags = 1234;
  TRationDocument doc;
  ASSERT_EQ(Read(doc, V3File({{0, Rec(fkDay, 55), "d", ""},
                              {1, Rec(fkMeal, 12, Food(9999, 9999)), "m", ""},
                              {2, Rec(fkProduct, 33, stored), "p", "c"}})),
            rlOk);
  const TFoodRec* day = FoodRecOf(doc.Items()->GetItem(0));
  const TFoodRec* meal = FoodRecOf(doc.Items()->GetItem(1));
  const TFoodRec* product = FoodRecOf(doc.Items()->GetItem(2));
  // The day's number comes from the day counter, not from the file.
  EXPECT_EQ(day->Code, 1);
  EXPECT_EQ(meal->Code, 12);
  EXPECT_EQ(meal->Owner, 1);
  EXPECT_EQ(product->Code, 33);
  EXPECT_EQ(product->Owner, 12);
  EXPECT_EQ(product->Flags, ffVeightEdit | ffDeletable);
  EXPECT_EQ(product->Cal, 101);
  EXPECT_EQ(Value(product->AlbA), 1);
  EXPECT_EQ(Value(product->Carb), 5);
  EXPECT_EQ(product->Veight, 150);
  // Groups are summed again: the stored sums of the meal do not count.
  EXPECT_EQ(meal->Cal, 152);
  EXPECT_EQ(meal->Veight, 150);
  EXPECT_EQ(day->Cal, 152);
  EXPECT_EQ(doc.Items()->GetItem(2)->ColumnText()[rcComment], "c");
  EXPECT_EQ(doc.Items()->GetItem(0)->ColumnText()[rcEnergy], "152");
}

TEST(RationFileV3Test, HeaderValuesAndDocumentState) {
  Header h;
  h.type = 0;
  TRationDocument doc;
  doc.Header.Limits.AFCFat = 2.5;  // the limits file's share stays
  doc.Modified = 1;
  ASSERT_EQ(Read(doc, V3File({{0, Rec(fkDay, 1), "d", ""}}, h)), rlOk);
  const TRationHeader want{h.title, h.author, h.tour, h.description, 4200, 160.5, 170.25, 700,
                           {65000, 0.25, 0.45, 0.7, 0.85, 1.0, 2.5, 4.6}};
  ExpectHeader(doc.Header, want);
  EXPECT_EQ(doc.Mans, 6);
  EXPECT_EQ(doc.RationType(), rtAverage);
  EXPECT_EQ(doc.Caption, h.title);
  EXPECT_EQ(doc.Modified, 0);
  EXPECT_EQ(doc.DocumentReady, 1);
  EXPECT_EQ(doc.RecalcMenu + doc.RecalcDayList + doc.RecalcTotalList + doc.RecalcComments, 4);
}

TEST(RationFileV3Test, NestingLimit) {
  std::vector<V3Item> items{{0, Rec(fkDay, 1), "d", ""}};
  for (int level = 1; level < kRationMaxLevels; ++level) items.push_back({level, Rec(-1, -1), "x", ""});
  {
    TRationDocument doc;
    ASSERT_EQ(Read(doc, V3File(items)), rlOk);
    EXPECT_EQ(doc.Items()->GetItem(kRationMaxLevels - 1)->GetLevel(), kRationMaxLevels - 1);
  }
  items.push_back({kRationMaxLevels, Rec(fkProduct, 1), "too deep", ""});
  TRationDocument doc;
  EXPECT_EQ(Read(doc, V3File(items)), rlReadError);
  ExpectEmptyAfterFailure(doc);
}

// ---------------------------------------------------------------------------------
// Damaged and foreign files

TEST(RationFileReadTest, UnknownSignatureOrVersion) {
  const std::string good = V3File({{0, Rec(fkDay, 1), "d", ""}});
  struct Case {
    const char* what;
    std::string bytes;
  };
  auto withVersion = [&](std::int32_t v) {
    std::string b = good;
    std::memcpy(b.data() + 4, &v, 4);
    return b;
  };
  const Case cases[] = {
      {"signature", "TWCX" + good.substr(4)},
      {"lower case", "twck" + good.substr(4)},
      {"version 0", withVersion(0)},
      {"version 4", withVersion(4)},
      {"version -1", withVersion(-1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRationDocument doc;
    EXPECT_EQ(Read(doc, c.bytes), rlUnknownFormat);
    ExpectEmptyAfterFailure(doc);
  }
}

TEST(RationFileReadTest, LengthsAndCountsBeyondTheDataAreReadErrors) {
  Header h;
  TMemoryStream head;
  PutHeader(head, h);
  const std::string header = head.Bytes();
  auto int32 = [](std::int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"a title longer than the file", "TWCK" + int32(3) + int32(1000) + "abc"},
      {"a negative title length", "TWCK" + int32(3) + int32(-1) + "abc"},
      {"a huge item count", header + int32(std::numeric_limits<std::int32_t>::max())},
      {"a negative item count", header + int32(-1)},
      {"an item count above the bytes of its items", header + int32(2) + std::string(76, '\0')},
      {"an item text longer than the file",
       header + int32(1) + int32(0) + RecBytes(Rec(fkDay, 1)) + int32(0x7FFFFFF0) + std::string(8, 'x')},
      {"only a signature", "TWCK"},
      {"empty", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRationDocument doc;
    EXPECT_EQ(Read(doc, c.bytes), rlReadError);
    ExpectEmptyAfterFailure(doc);
  }
}

// Every version, cut short anywhere, is a read error that leaves nothing behind.
void ExpectEveryPrefixFails(const std::string& bytes) {
  TRationDocument full;
  ASSERT_EQ(Read(full, bytes), rlOk);
  for (std::size_t n = 0; n < bytes.size(); ++n) {
    TRationDocument doc;
    doc.Header.Title = "before";
    doc.Mans = 3;
    const TRationLoadResult r = Read(doc, bytes.substr(0, n));
    ASSERT_EQ(r, rlReadError) << "prefix of " << n << " bytes";
    ExpectEmptyAfterFailure(doc);
    EXPECT_EQ(doc.Header.Title, "before");
    EXPECT_EQ(doc.Mans, 3);
    EXPECT_EQ(doc.DocumentReady, 0);
  }
}

TEST(RationFileReadTest, TruncatedVersion3) {
  TRationDocument source;
  BuildSample(source);
  ExpectEveryPrefixFails(Written(source));
}

TEST(RationFileReadTest, FailureLeavesTheDocumentAsItWasButForTheTree) {
  TRationDocument doc;
  ASSERT_EQ(Read(doc, V3File({{0, Rec(fkDay, 1), "d", ""}}, Header{.type = 0})), rlOk);
  doc.SetRationType(rtDayMenu);
  doc.Modified = 1;
  const std::string good = V3File({{0, Rec(fkDay, 1), "d", ""}, {1, Rec(fkProduct, 1), "p", ""}}, Header{.type = 0});
  EXPECT_EQ(Read(doc, good.substr(0, good.size() - 1)), rlReadError);
  ExpectEmptyAfterFailure(doc);
  EXPECT_EQ(doc.RationType(), rtDayMenu);
  EXPECT_EQ(doc.Modified, 1);
  EXPECT_EQ(doc.DocumentReady, 1);
  EXPECT_EQ(doc.Days, 1);  // deleting the read days touched nothing
}

// ---------------------------------------------------------------------------------
// Version 2

// A version-2 document: the header, then the item stream of the source's tree with the
// ration record of every item.
std::string V2File(TRationDocument& source, const Header& h) {
  TMemoryStream s;
  Header v2 = h;
  v2.version = 2;
  PutHeader(s, v2);
  source.Tree().OnItemSave = [](TObject*, TStream& stream, TMtTreeItem* item) { tvEatMenuItemSave(stream, item); };
  source.Items()->SaveToStream(s);
  source.Tree().OnItemSave = nullptr;
  return s.Bytes();
}

TEST(RationFileV2Test, StoredDaysAndRecordsAreKept) {
  TRationDocument source;
  TMtTreeItem* day = source.AddItem(nullptr, "", nullptr, fkDay, 0);
  TMtTreeItem* meal = source.AddItem(day, "m", nullptr, fkMeal, 4);
  AddProduct(source, meal, "p", Food(101, 150, 1, 2, 3, 4, 5), 8);
  meal->ColumnText().SetString(rcComment, "comment");
  TMtTreeItem* bare = source.Items()->AddItem(day);
  bare->SetText("bare");
  source.Items()->AddItem(bare)->SetText("under bare");
  day->SetExpanded(true);
  // Stored sums stay as they are: nothing is summed while reading.
  FoodRecOf(day)->Cal = 999;

  Header h;
  h.days = 5;  // more than the tree holds
  h.type = 0;
  TRationDocument doc;
  ASSERT_EQ(Read(doc, V2File(source, h)), rlOk);
  EXPECT_EQ(doc.DayCounter, 5);
  EXPECT_EQ(doc.Days, 5);
  EXPECT_EQ(doc.Mans, 6);
  EXPECT_EQ(doc.Header.Title, h.title);
  EXPECT_EQ(doc.Header.Description, h.description);
  EXPECT_EQ(doc.Header.Limits.FatAVmax, 0.85);
  EXPECT_EQ(doc.RationType(), rtAverage);
  EXPECT_EQ(Shapes(doc), (std::vector<Shape>{{0, Ansi("День 1"), fkDay},
                                             {1, "m", fkMeal},
                                             {2, "p", fkProduct},
                                             {1, "bare", kNoRecord},
                                             {2, "under bare", kNoRecord}}));
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(RecBytes(*FoodRecOf(doc.Items()->GetItem(i))), RecBytes(*FoodRecOf(source.Items()->GetItem(i))));
  }
  EXPECT_EQ(FoodRecOf(doc.Items()->GetItem(0))->Cal, 999);
  EXPECT_EQ(doc.Items()->GetItem(1)->ColumnText()[rcComment], "comment");
  EXPECT_TRUE(doc.Items()->GetItem(0)->GetExpanded());
  // The hidden root gets no record.
  EXPECT_EQ(doc.RecordCount(), 3);
  EXPECT_EQ(doc.Items()->Root()->Data, nullptr);
  EXPECT_EQ(doc.Modified, 0);
  EXPECT_EQ(doc.DocumentReady, 1);
  // The load handler is the reader's only for the time of the reading.
  EXPECT_FALSE(doc.Tree().OnItemLoad);
}

TEST(RationFileV2Test, KindsOutsideZeroToThreeLoadWithoutRecord) {
  TRationDocument source;
  TMtTreeItem* day = source.AddItem(nullptr, "", nullptr, fkDay, 0);
  const std::int32_t kinds[] = {-1, 4, -7, std::numeric_limits<std::int32_t>::min(), 0, 1, 2, 3};
  for (std::int32_t k : kinds) source.AddItem(day, std::to_string(k), nullptr, fkProduct, 0);
  for (int i = 0; i < day->GetChildrenCount(); ++i) FoodRecOf(day->GetChildren(i))->Kind = kinds[i];
  TRationDocument doc;
  ASSERT_EQ(Read(doc, V2File(source, {})), rlOk);
  const TMtTreeItem* loaded = doc.Items()->GetItem(0);
  for (int i = 0; i < loaded->GetChildrenCount(); ++i) {
    SCOPED_TRACE(kinds[i]);
    const TFoodRec* rec = FoodRecOf(loaded->GetChildren(i));
    if (kinds[i] >= 0 && kinds[i] <= 3) {
      ASSERT_NE(rec, nullptr);
      EXPECT_EQ(rec->Kind, kinds[i]);
    } else {
      EXPECT_EQ(rec, nullptr);
    }
  }
  EXPECT_EQ(doc.RecordCount(), 5);
}

// A version-2 document put together byte by byte: an empty root in the current layout
// and one day in the oldest layout (the marker is the text length, a 36-byte block, no
// styles byte), each followed by its 64-byte record.
TEST(RationFileV2Test, HandMadeItemStream) {
  TMemoryStream s;
  Header h;
  h.version = 2;
  h.days = 1;
  PutHeader(s, h);
  // The root: marker -5, empty text, the 44-byte block with isExpanded.
  s.WriteInt32(-5);
  s.WriteInt32(0);
  std::string block(44, '\0');
  block[0] = static_cast<char>(1 << isExpanded);
  s.WriteString(block);
  s.WriteInt32(0);  // column texts
  s.WriteByte(0);   // no styles
  TFoodRec none{};
  none.Kind = -1;
  s.WriteString(RecBytes(none));
  s.WriteInt32(1);  // one child
  // The day: old layout.
  const std::string text = Ansi("День 1");
  s.WriteInt32(static_cast<std::int32_t>(text.size()));
  s.WriteString(text);
  s.WriteString(std::string(36, '\0'));
  s.WriteInt32(2);  // two column texts
  PutString(s, "310");
  PutString(s, "90");
  TFoodRec day = Food(310, 90, 1, 2, 3, 4, 5);
  day.Kind = fkDay;
  day.Code = 1;
  day.Flags = 5;
  s.WriteString(RecBytes(day));
  s.WriteInt32(0);

  TRationDocument doc;
  ASSERT_EQ(Read(doc, s.Bytes()), rlOk);
  ASSERT_EQ(doc.Items()->Count(), 1);
  const TMtTreeItem* item = doc.Items()->GetItem(0);
  EXPECT_EQ(item->Text(), text);
  // Rows with fewer column texts than a ration row has are padded with empty ones, so the
  // comment and the ratio have their places.
  EXPECT_EQ(item->ColumnText().Lines(), (std::vector<AnsiString>{"310", "90", "", "", "", "", "", ""}));
  ASSERT_NE(FoodRecOf(item), nullptr);
  EXPECT_EQ(RecBytes(*FoodRecOf(item)), RecBytes(day));
  EXPECT_EQ(doc.DayCounter, 1);
  ExpectEveryPrefixFails(s.Bytes());
}

TEST(RationFileV2Test, TruncatedAndTooDeep) {
  TRationDocument source;
  BuildSample(source);
  ExpectEveryPrefixFails(V2File(source, {}));

  TRationDocument deep;
  TMtTreeItem* item = deep.AddItem(nullptr, "", nullptr, fkDay, 0);
  for (int level = 1; level < kRationMaxLevels; ++level) item = deep.Items()->AddItem(item);
  {
    TRationDocument doc;
    EXPECT_EQ(Read(doc, V2File(deep, {})), rlOk);
    EXPECT_EQ(doc.Items()->Count(), kRationMaxLevels);
  }
  deep.Items()->AddItem(item);
  TRationDocument doc;
  EXPECT_EQ(Read(doc, V2File(deep, {})), rlReadError);
  ExpectEmptyAfterFailure(doc);
  EXPECT_FALSE(doc.Tree().OnItemLoad);
}

// ---------------------------------------------------------------------------------
// Version 1

struct V1Product {
  std::int32_t code;
  std::string name;
  bool deleted;
  double albV, albA, fatV, fatA, carb;
  std::int32_t cal, veight;
};

struct V1Doc {
  std::string title = Ansi("Старый поход");
  std::string author = Ansi("Сидоров");
  std::string kind = Ansi("Лыжный");
  std::string category = Ansi("2 к.с.");
  std::int32_t energy = 4500;
  double needs[3] = {165, 190.5, 720.25};
  std::int32_t days = 3;
  std::int32_t mans = 8;
  std::vector<std::string> lines = {Ansi("строка один"), "", "three"};
  std::vector<V1Product> products;
  std::int32_t productCount = -1;  // -1: the number of products
};

void PutAt(std::string& b, int at, std::string_view bytes) { b.replace(at, bytes.size(), bytes); }
std::string Int32Bytes(std::int32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); }
std::string Short(std::string_view s, std::size_t storedLength) {
  return std::string(1, static_cast<char>(storedLength)) + std::string(s);
}

std::string V1File(const V1Doc& d) {
  std::string f = "TWCK" + Int32Bytes(1);
  f += Short(d.title, d.title.size());
  f += Short(d.author, d.author.size());
  std::string a(87, '\x55'), b(87, '\x55');  // unread bytes hold anything
  PutAt(a, 12, Short(d.kind, d.kind.size()));
  PutAt(b, 12, Short(d.category, d.category.size()));
  PutAt(b, 53, Int32Bytes(d.energy));
  PutAt(b, 57, ExtOf(d.needs[0]));
  PutAt(b, 67, ExtOf(d.needs[1]));
  PutAt(b, 77, ExtOf(d.needs[2]));
  f += a + b + Int32Bytes(d.days) + Int32Bytes(d.mans) + Int32Bytes(static_cast<std::int32_t>(d.lines.size()));
  for (const std::string& line : d.lines) f += Short(line, line.size());
  std::string header(20, '\x33');
  PutAt(header, 16,
        Int32Bytes(d.productCount >= 0 ? d.productCount : static_cast<std::int32_t>(d.products.size())));
  f += header;
  for (const V1Product& p : d.products) {
    std::string r(111, '\x77');
    PutAt(r, 0, Int32Bytes(p.code));
    r[8] = p.deleted ? '\x01' : '\x06';
    PutAt(r, 12, Short(p.name, p.name.size()));
    PutAt(r, 53, ExtOf(p.albV));
    PutAt(r, 63, ExtOf(p.albA));
    PutAt(r, 73, ExtOf(p.fatV));
    PutAt(r, 83, ExtOf(p.fatA));
    PutAt(r, 93, ExtOf(p.carb));
    PutAt(r, 103, Int32Bytes(p.cal));
    PutAt(r, 107, Int32Bytes(p.veight));
    f += r;
  }
  return f;
}

V1Doc SampleV1() {
  V1Doc d;
  d.products = {
      {101, Ansi("Гречка"), false, 12.6, 0.5, 3.3, 0.1, 62.1, 313, 100},
      {102, Ansi("Удалённый"), true, 1, 1, 1, 1, 1, 100, 100},
      {103, Ansi("Сало"), false, 0, 2.4, 0, 89, 0, 797, 30},
  };
  return d;
}

TEST(RationFileV1Test, ProductsGoIntoEveryDay) {
  TRationLimits current;
  current.MaxAbsEnDef = 12345;
  current.FatAVmax = 0.95;
  current.AFCCarb = 5;
  TRationDocument doc;
  doc.SetRationType(rtDayMenu);
  ASSERT_EQ(Read(doc, V1File(SampleV1()), current), rlOk);
  // The limits are the limits file's: the document has none.
  const TRationHeader want{Ansi("Старый поход"), Ansi("Сидоров"), Ansi("Лыжный; 2 к.с."),
                           Ansi("строка один\r\n\r\nthree"), 4500, 165, 190.5, 720.25, current};
  ExpectHeader(doc.Header, want);
  EXPECT_EQ(doc.Mans, 8);
  EXPECT_EQ(doc.Days, 3);
  EXPECT_EQ(doc.DayCounter, 3);
  EXPECT_EQ(doc.RationType(), rtAverage);

  std::vector<Shape> expected;
  for (int d = 1; d <= 3; ++d) {
    expected.push_back({0, Ansi("День " + std::to_string(d)), fkDay});
    expected.push_back({1, Ansi("Гречка"), fkProduct});
    expected.push_back({1, Ansi("Сало"), fkProduct});
  }
  EXPECT_EQ(Shapes(doc), expected);
  const TFoodRec* buckwheat = FoodRecOf(doc.Items()->GetItem(1));
  EXPECT_EQ(buckwheat->Code, 101);
  EXPECT_EQ(Value(buckwheat->AlbV), 12.6);  // vegetable first in the file
  EXPECT_EQ(Value(buckwheat->AlbA), 0.5);
  EXPECT_EQ(Value(buckwheat->FatV), 3.3);
  EXPECT_EQ(Value(buckwheat->FatA), 0.1);
  EXPECT_EQ(Value(buckwheat->Carb), 62.1);
  EXPECT_EQ(buckwheat->Cal, 313);
  EXPECT_EQ(buckwheat->Veight, 100);
  EXPECT_EQ(buckwheat->Owner, 1);
  EXPECT_EQ(doc.Items()->GetItem(1)->BkColor(), kAverageRationColor);
  // Days are summed: 313 + Round(797 * 30 / 100 = 239.1).
  const TFoodRec* day3 = FoodRecOf(doc.Items()->GetItem(6));
  EXPECT_EQ(day3->Cal, 313 + 239);
  EXPECT_EQ(day3->Veight, 130);
  EXPECT_EQ(doc.Modified, 0);
  EXPECT_EQ(doc.DocumentReady, 1);
}

TEST(RationFileV1Test, EdgeCases) {
  struct Case {
    const char* what;
    V1Doc doc;
    TRationLoadResult result;
    int items;
  };
  V1Doc noDays = SampleV1();
  noDays.days = 0;
  V1Doc negativeDays = SampleV1();
  negativeDays.days = -1;
  V1Doc manyDays = SampleV1();
  manyDays.days = kRationMaxDays;
  V1Doc tooManyDays = SampleV1();
  tooManyDays.days = kRationMaxDays + 1;
  // More items than allowed in few days: kRationMaxItems / 10 products, 10 days.
  V1Doc tooMany = SampleV1();
  tooMany.days = 10;
  tooMany.products.assign(kRationMaxItems / 10, tooMany.products[0]);
  V1Doc hugeDays = SampleV1();
  hugeDays.products.clear();
  hugeDays.days = std::numeric_limits<std::int32_t>::max();
  V1Doc hugeCount = SampleV1();
  hugeCount.productCount = 0x7FFFFFFF;
  V1Doc oneMissing = SampleV1();
  oneMissing.productCount = 4;
  V1Doc noProducts = SampleV1();
  noProducts.products.clear();
  const Case cases[] = {
      {"no days: the products go nowhere", noDays, rlOk, 0},
      {"negative days", negativeDays, rlReadError, 0},
      {"as many days as allowed", manyDays, rlOk, 3 * kRationMaxDays},
      {"more days than allowed", tooManyDays, rlReadError, 0},
      {"more items than allowed", tooMany, rlReadError, 0},
      {"billions of empty days", hugeDays, rlReadError, 0},
      {"a product count beyond the file", hugeCount, rlReadError, 0},
      {"one product short", oneMissing, rlReadError, 0},
      {"no products: empty days", noProducts, rlOk, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRationDocument doc;
    EXPECT_EQ(Read(doc, V1File(c.doc)), c.result);
    EXPECT_EQ(doc.Items()->Count(), c.items);
    if (c.result != rlOk) ExpectEmptyAfterFailure(doc);
  }
}

TEST(RationFileV1Test, NamesLongerThanTheirFieldAreCut) {
  V1Doc d = SampleV1();
  const std::string forty(40, 'n');
  std::string f = V1File(d);
  // The kind of trip's name claims 200 bytes: only the 40 of the field are taken.
  const std::size_t a = 8 + 1 + d.title.size() + 1 + d.author.size();
  f[a + 12] = static_cast<char>(200);
  f.replace(a + 13, 40, forty);
  TRationDocument doc;
  ASSERT_EQ(Read(doc, f), rlOk);
  EXPECT_EQ(doc.Header.TourName, forty + "; " + d.category);
}

TEST(RationFileV1Test, Truncated) { ExpectEveryPrefixFails(V1File(SampleV1())); }

// ---------------------------------------------------------------------------------
// Files: loading with messages, saving with backups

TEST(RationFileLoadTest, MessagesAndResults) {
  TempDir dir;
  const AnsiString good = dir.Path() + "/good.tw";
  const AnsiString foreign = dir.Path() + Ansi("/чужой.tw");
  const AnsiString cut = dir.Path() + "/cut.tw";
  const AnsiString missing = dir.Path() + "/missing.tw";
  const std::string bytes = V3File({{0, Rec(fkDay, 1), "d", ""}});
  WriteFileBytes(good, bytes);
  WriteFileBytes(foreign, "PK\3\4 not a ration at all");
  WriteFileBytes(cut, bytes.substr(0, bytes.size() - 3));
  const AnsiString head = dir.Path() + "/head.tw";  // cut short inside the version
  WriteFileBytes(head, bytes.substr(0, 6));
  struct Case {
    AnsiString name;
    TRationLoadResult result;
    AnsiString message;
  };
  const Case cases[] = {
      {good, rlOk, ""},
      {foreign, rlUnknownFormat, Ansi("Неизвестный или неверный формат файла\r") + foreign},
      {cut, rlReadError, Ansi("Невозможно прочитать файл\r") + cut},
      {head, rlReadError, Ansi("Невозможно прочитать файл\r") + head},
      {missing, rlReadError, Ansi("Невозможно прочитать файл\r") + missing},
      {dir.Path(), rlReadError, Ansi("Невозможно прочитать файл\r") + dir.Path()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TRationDocument doc;
    RecordedMessages messages;
    EXPECT_EQ(LoadRationFromFile(doc, c.name, {}, messages), c.result);
    EXPECT_EQ(doc.FileName, c.name);
    if (c.result == rlOk) {
      EXPECT_TRUE(messages.Texts.empty());
      EXPECT_EQ(doc.Caption, Header{}.title);
    } else {
      EXPECT_EQ(messages.Texts, std::vector<AnsiString>{c.message});
      ExpectEmptyAfterFailure(doc);
    }
  }
}

TEST(RationFileSaveTest, SavesAndReadsBack) {
  TempDir dir;
  const AnsiString name = dir.Path() + Ansi("/раскладка.tw");
  TRationDocument doc;
  BuildSample(doc);
  RecordedMessages messages;
  ASSERT_TRUE(SaveRationToFile(doc, name, true, messages));
  EXPECT_TRUE(messages.Texts.empty());
  EXPECT_EQ(doc.Modified, 0);
  EXPECT_EQ(doc.FileName, name);
  EXPECT_EQ(doc.Caption, name);
  EXPECT_EQ(ReadFileBytes(name), Written(doc));
  // No earlier file, no backup.
  EXPECT_FALSE(FileExists(ChangeFileExt(name, ".~TW")));

  TRationDocument back;
  ASSERT_EQ(LoadRationFromFile(back, name, {}, messages), rlOk);
  EXPECT_EQ(Written(back), Written(doc));
  // Saving again under its own name.
  back.Header.Title = "new";
  back.Modified = 1;
  ASSERT_TRUE(SaveRationToFile(back, "", false, messages));
  EXPECT_EQ(back.FileName, name);
  EXPECT_EQ(back.Modified, 0);
  EXPECT_EQ(ReadFileBytes(name), Written(back));
}

TEST(RationFileSaveTest, BackupOnlyWithCreateBakFiles) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/trip.tw";
  const AnsiString backup = dir.Path() + "/trip.~TW";
  RecordedMessages messages;
  TRationDocument doc;
  BuildSample(doc);

  ASSERT_TRUE(SaveRationToFile(doc, name, false, messages));
  const std::string first = ReadFileBytes(name);
  doc.Header.Title = "second";
  ASSERT_TRUE(SaveRationToFile(doc, "", false, messages));
  EXPECT_FALSE(FileExists(backup));

  doc.Header.Title = "third";
  ASSERT_TRUE(SaveRationToFile(doc, "", true, messages));
  const std::string third = ReadFileBytes(name);
  EXPECT_EQ(third, Written(doc));
  EXPECT_NE(ReadFileBytes(backup), first);
  TRationDocument old;
  ASSERT_EQ(Read(old, ReadFileBytes(backup)), rlOk);
  EXPECT_EQ(old.Header.Title, "second");

  // The next save replaces the old backup.
  doc.Header.Title = "fourth";
  ASSERT_TRUE(SaveRationToFile(doc, "", true, messages));
  EXPECT_EQ(ReadFileBytes(backup), third);
  EXPECT_TRUE(messages.Texts.empty());
  // Nothing else is left in the directory (no temporary files).
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.SysPath())) ++files;
  EXPECT_EQ(files, 2);
}

// Two users (or two copies of the program) open one file; the second one to save is
// asked before the first one's work is written over.
TEST(RationFileSaveTest, AFileChangedByAnotherProgramIsNotWrittenOverUnasked) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/trip.tw";
  {
    TRationDocument sample;
    BuildSample(sample);
    WriteFileBytes(name, Written(sample));
  }
  RecordedMessages messages;
  TRationDocument first, second;
  ASSERT_EQ(LoadRationFromFile(first, name, {}, messages), rlOk);
  ASSERT_EQ(LoadRationFromFile(second, name, {}, messages), rlOk);
  first.Header.Title = "first";
  ASSERT_TRUE(SaveRationToFile(first, "", false, messages));
  EXPECT_TRUE(messages.Questions.empty());
  const std::string theirs = ReadFileBytes(name);

  second.Header.Title = "second";
  second.Modified = 1;
  messages.Answer = false;
  EXPECT_FALSE(SaveRationToFile(second, "", true, messages));
  ASSERT_EQ(messages.Questions.size(), 1u);
  EXPECT_EQ(messages.Questions[0], Ansi("Файл\r") + ExpandFileName(name) +
                                       Ansi("\rбыл изменен другой программой или другим пользователем после того, "
                                            "как он был открыт здесь.\r"
                                            "Записать раскладку поверх него? Изменения, сделанные в нем, будут потеряны."));
  EXPECT_TRUE(messages.Texts.empty());
  EXPECT_EQ(ReadFileBytes(name), theirs);
  EXPECT_EQ(second.Modified, 1);
  EXPECT_FALSE(FileExists(dir.Path() + "/trip.~TW"));  // nothing was done

  // The same name spelt another way is the same file.
  messages.Questions.clear();
  EXPECT_FALSE(SaveRationToFile(second, dir.Path() + "/./trip.tw", false, messages));
  EXPECT_EQ(messages.Questions.size(), 1u);

  // Да writes over it; the next save asks nothing, until the file changes again.
  messages.Questions.clear();
  messages.Answer = true;
  ASSERT_TRUE(SaveRationToFile(second, "", false, messages));
  EXPECT_EQ(messages.Questions.size(), 1u);
  EXPECT_EQ(ReadFileBytes(name), Written(second));
  messages.Questions.clear();
  ASSERT_TRUE(SaveRationToFile(second, "", false, messages));
  EXPECT_TRUE(messages.Questions.empty());

  // A file removed meanwhile, or another name, is simply written.
  ASSERT_TRUE(DeleteFile(name));
  first.Header.Title = "again";
  ASSERT_TRUE(SaveRationToFile(first, "", false, messages));
  ASSERT_TRUE(SaveRationToFile(second, dir.Path() + "/copy.tw", false, messages));
  ASSERT_TRUE(SaveRationToFile(second, "", false, messages));
  EXPECT_TRUE(messages.Questions.empty());
  EXPECT_TRUE(messages.Texts.empty());
}

TEST(RationFileSaveTest, FailedSavesKeepTheFileAndTheModifiedFlag) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/trip.tw";
  RecordedMessages messages;
  TRationDocument doc;
  BuildSample(doc);
  ASSERT_TRUE(SaveRationToFile(doc, name, false, messages));
  const std::string before = ReadFileBytes(name);

  // No such directory.
  const AnsiString nowhere = dir.Path() + "/no/such/dir.tw";
  doc.Modified = 1;
  EXPECT_FALSE(SaveRationToFile(doc, nowhere, true, messages));
  EXPECT_EQ(messages.Texts, std::vector<AnsiString>{Ansi("Невозможно записать файл\r") + nowhere});
  EXPECT_EQ(doc.Modified, 1);
  EXPECT_EQ(doc.FileName, nowhere);  // the document took the name first

  // The disk refuses the data half way: the old file stays whole.
  messages.Texts.clear();
  doc.Header.Description = std::string(100000, 'x');
  {
    struct rlimit old;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveRationToFile(doc, name, false, messages);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
  }
  EXPECT_EQ(messages.Texts, std::vector<AnsiString>{Ansi("Невозможно записать файл\r") + name});
  EXPECT_EQ(doc.Modified, 1);
  EXPECT_EQ(ReadFileBytes(name), before);

  // A backup that cannot be made (a directory stands in its place): nothing is saved.
  messages.Texts.clear();
  ASSERT_TRUE(ForceDirectories(dir.Path() + "/trip.~TW"));
  EXPECT_FALSE(SaveRationToFile(doc, name, true, messages));
  ASSERT_EQ(messages.Texts.size(), 1u);
  EXPECT_EQ(messages.Texts[0], Ansi("Невозможно создать резервную копию файла\r") + dir.Path() +
                                   Ansi("/trip.~TW\rРаскладка не сохранена."));
  EXPECT_EQ(doc.Modified, 1);
  EXPECT_EQ(ReadFileBytes(name), before);
  // Without backups the same save goes through.
  EXPECT_TRUE(SaveRationToFile(doc, name, false, messages));
  EXPECT_EQ(doc.Modified, 0);

  // A document without a name cannot be saved.
  TRationDocument untitled;
  messages.Texts.clear();
  EXPECT_FALSE(SaveRationToFile(untitled, "", false, messages));
  EXPECT_EQ(messages.Texts, std::vector<AnsiString>{Ansi("Невозможно записать файл\r")});
}

// ---------------------------------------------------------------------------------
// Sound and damaged bodies of every version

TEST(RationFileReadTest, ABodyMustHoldExactlyItsStatedContent) {
  TRationDocument v2Source;
  BuildSample(v2Source);
  TRationDocument v3Source;
  BuildSample(v3Source);
  const std::string v3 = Written(v3Source);
  const std::string v2 = V2File(v2Source, Header{});
  const std::string v1 = V1File(SampleV1());
  auto head = [](std::int32_t version) { return "TWCK" + Int32Bytes(version); };
  auto withType = [&](std::uint8_t type) {
    Header h;
    h.type = type;
    return V3File({{0, Rec(fkDay, 1), "d", ""}}, h);
  };
  const std::string garbage = std::string(1 << 20, '\xA5');
  struct Case {
    const char* what;
    std::string bytes;
    TRationLoadResult result;
  };
  const Case cases[] = {
      {"version 3", v3, rlOk},
      {"version 2", v2, rlOk},
      {"version 1", v1, rlOk},
      {"version 3 without items", V3File({}), rlOk},
      {"version 3, zero bytes after the version", head(3) + std::string(100, '\0'), rlReadError},
      {"version 2, zero bytes after the version", head(2) + std::string(100, '\0'), rlReadError},
      {"version 1, zero bytes after the version", head(1) + std::string(1000, '\0'), rlReadError},
      {"version 3 and one byte more", v3 + "x", rlReadError},
      {"version 3 and a megabyte of garbage", v3 + garbage, rlReadError},
      {"version 2 and garbage", v2 + garbage.substr(0, 77), rlReadError},
      {"version 1 and garbage", v1 + garbage.substr(0, 110), rlReadError},
      {"ration type 2", withType(2), rlReadError},
      {"ration type 255", withType(255), rlReadError},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRationDocument doc;
    EXPECT_EQ(Read(doc, c.bytes), c.result);
    if (c.result != rlOk) ExpectEmptyAfterFailure(doc);
  }
}

TEST(RationFileLoadTest, ADamagedFileIsRefusedAndLeftAsItWas) {
  TempDir dir;
  const AnsiString name = dir.Path() + "/plan.tw";
  TRationDocument source;
  BuildSample(source);
  const std::string bytes = Written(source) + std::string(4096, '\x5A');
  WriteFileBytes(name, bytes);
  TRationDocument doc;
  RecordedMessages messages;
  EXPECT_EQ(LoadRationFromFile(doc, name, {}, messages), rlReadError);
  EXPECT_EQ(messages.Texts, std::vector<AnsiString>{Ansi("Невозможно прочитать файл\r") + name});
  ExpectEmptyAfterFailure(doc);
  EXPECT_EQ(ReadFileBytes(name), bytes);
}

TEST(RationFileLoadTest, AHugeFileIsRefusedWithoutBeingRead) {
  // Sparse files of a gigabyte: one of another kind, one that starts as a document.
  TempDir dir;
  struct Case {
    const char* what;
    std::string head;
    TRationLoadResult result;
  };
  const std::string v3 = std::string("TWCK") + std::string("\3\0\0\0", 4);
  const Case cases[] = {
      {"another kind", "PK\3\4 not a ration", rlUnknownFormat},
      {"the signature of a document", v3, rlReadError},
  };
  constexpr std::int64_t kHuge = std::int64_t{1} << 30;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const AnsiString name = dir.Path() + "/huge.tw";
    WriteFileBytes(name, c.head);
    std::filesystem::resize_file(SysPath(name), kHuge);
    // Loaded in a child, whose peak memory tells how much of the file was read.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      rusage before{}, after{};
      ::getrusage(RUSAGE_SELF, &before);
      TRationDocument doc;
      RecordedMessages messages;
      const TRationLoadResult r = LoadRationFromFile(doc, name, {}, messages);
      ::getrusage(RUSAGE_SELF, &after);
      const bool small = after.ru_maxrss - before.ru_maxrss < 64 * 1024;  // kilobytes
      const AnsiString expected =
          Format(c.result == rlUnknownFormat ? Ansi("Неизвестный или неверный формат файла\r%s")
                                             : Ansi("Невозможно прочитать файл\r%s"),
                 {name});
      ::_exit(r != c.result ? 1 : !small ? 2 : messages.Texts != std::vector<AnsiString>{expected} ? 3 : 0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: wrong result, 2: the file was read, 3: wrong message";
  }
}

// ---------------------------------------------------------------------------------
// Inputs found by the fuzz target

TEST(RationFileFuzzCasesTest, ReplayWithoutHarm) {
  const auto cases = FuzzCases("ration_file");
  ASSERT_FALSE(cases.empty());
  for (const auto& [name, bytes] : cases) {
    SCOPED_TRACE(name);
    TRationDocument doc;
    const TRationLoadResult r = Read(doc, bytes);
    // The seeds are sound documents of every version.
    if (name.rfind("seed-", 0) == 0) {
      EXPECT_EQ(r, rlOk);
    }
    if (r != rlOk) {
      ExpectEmptyAfterFailure(doc);
      continue;
    }
    // What was read writes and reads back; after one such turn nothing changes.
    TRationDocument again;
    ASSERT_EQ(Read(again, Written(doc)), rlOk);
    const std::string twice = Written(again);
    TRationDocument third;
    ASSERT_EQ(Read(third, twice), rlOk);
    EXPECT_EQ(Written(third), twice);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------
// Values no plan holds, names of every kind, links, pipes, two users

namespace {

TEST(RationFileReadTest, ImpossibleValuesAndParticipantsAreDamage) {
  const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
  const auto withRecordValue = [](double v) {
    TFoodRec r = Rec(fkProduct, 7);
    r.FatA = v;
    return V3File({{0, Rec(fkDay, 1), "d", ""}, {1, r, "p", ""}});
  };
  const auto withHeader = [](auto change) {
    Header h;
    change(h);
    return V3File({{0, Rec(fkDay, 1), "d", ""}}, h);
  };
  struct Case {
    const char* what;
    std::string file;
    TRationLoadResult result;
  };
  const Case cases[] = {
      {"NaN in a record", withRecordValue(nan), rlReadError},
      {"infinity in a record", withRecordValue(-inf), rlReadError},
      {"NaN in a need", withHeader([&](Header& h) { h.needs[1] = nan; }), rlReadError},
      {"infinity in a limit", withHeader([&](Header& h) { h.limits[0] = inf; }), rlReadError},
      {"no participants", withHeader([](Header& h) { h.mans = 0; }), rlReadError},
      {"fewer than none", withHeader([](Header& h) { h.mans = -3; }), rlReadError},
      {"one participant", withHeader([](Header& h) { h.mans = 1; }), rlOk},
      {"as many as the page takes", withHeader([](Header& h) { h.mans = std::numeric_limits<std::int32_t>::max(); }),
       rlOk},
      {"the largest finite value", withRecordValue(std::numeric_limits<double>::max()), rlOk},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRationDocument doc;
    EXPECT_EQ(Read(doc, c.file), c.result);
    if (c.result != rlOk) ExpectEmptyAfterFailure(doc);
  }
  // Version 1 keeps its values as extended reals, which hold infinities and NaNs too.
  V1Doc infiniteNeed = SampleV1(), nanProduct = SampleV1(), noOne = SampleV1();
  infiniteNeed.needs[2] = inf;
  nanProduct.products[2].fatA = nan;
  noOne.mans = 0;
  for (const V1Doc& d : {infiniteNeed, nanProduct, noOne}) {
    TRationDocument doc;
    EXPECT_EQ(Read(doc, V1File(d)), rlReadError);
    ExpectEmptyAfterFailure(doc);
  }
}

}  // namespace

namespace {

// Runs `body` in a child process that is killed when it takes longer than 20 s (a
// read that waits for ever); true when it exits with 0.
template <typename F>
bool InChildWithin20s(F body) {
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::alarm(20);
    ::_exit(body() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(RationFileNamesTest, EveryNameTheSystemHoldsIsItsOwnFile) {
  TempDir dir;
  // Names code page 1251 cannot hold: other scripts, and bytes that are no UTF-8.
  const std::string names[] = {"日本.tw", "中国.tw", "日本の旅.tw", "\xff\xfe.tw", "caf\xe9.tw", "поход №1.tw"};
  for (const std::string& n : names) {
    TRationDocument doc;
    BuildSample(doc);
    doc.Header.Title = AnsiPath(n);
    RecordedMessages messages;
    ASSERT_TRUE(SaveRationToFile(doc, dir.Path() + "/" + AnsiPath(n), false, messages)) << n;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir.SysPath() + "/" + n)) << n;
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.SysPath()), {}), std::size(names));
  for (const std::string& n : names) {
    TRationDocument back;
    RecordedMessages messages;
    ASSERT_EQ(LoadRationFromFile(back, dir.Path() + "/" + AnsiPath(n), {}, messages), rlOk) << n;
    EXPECT_EQ(back.Header.Title, AnsiPath(n)) << n;
  }
}

TEST(RationFileNamesTest, ASaveThroughALinkReplacesItsTargetBesideIt) {
  TempDir dir;
  ASSERT_TRUE(ForceDirectories(dir.Path() + "/shared"));
  const AnsiString target = dir.Path() + "/shared/trip.tw", link = dir.Path() + "/mine.tw";
  TRationDocument doc;
  BuildSample(doc);
  WriteFileBytes(target, Written(doc));
  const std::string before = ReadFileBytes(target);
  // A link to a link, the first one relative.
  std::filesystem::create_symlink("shared/trip.tw", dir.SysPath() + "/middle.tw");
  std::filesystem::create_symlink(dir.SysPath() + "/middle.tw", SysPath(link));
  RecordedMessages messages;
  TRationDocument mine;
  ASSERT_EQ(LoadRationFromFile(mine, link, {}, messages), rlOk);
  mine.Header.Title = "changed";
  ASSERT_TRUE(SaveRationToFile(mine, "", true, messages));
  EXPECT_TRUE(messages.Texts.empty());
  EXPECT_TRUE(std::filesystem::is_symlink(SysPath(link)));
  EXPECT_TRUE(std::filesystem::is_symlink(dir.SysPath() + "/middle.tw"));
  EXPECT_EQ(ReadFileBytes(target), Written(mine));
  EXPECT_EQ(ReadFileBytes(dir.Path() + "/shared/trip.~TW"), before);  // the backup beside the file
  // The file changed through another way to it is asked about as always.
  TRationDocument other;
  ASSERT_EQ(LoadRationFromFile(other, target, {}, messages), rlOk);
  other.Header.Title = "other";
  ASSERT_TRUE(SaveRationToFile(other, "", false, messages));
  EXPECT_FALSE(SaveRationToFile(mine, "", false, messages));
  EXPECT_EQ(messages.Questions.size(), 1u);
}

TEST(RationFileNamesTest, APipeOrDirectoryIsRefusedAsUnreadableWithoutWaiting) {
  TempDir dir;
  const AnsiString fifo = dir.Path() + "/pipe.tw";
  ASSERT_EQ(::mkfifo(SysPath(fifo).c_str(), 0600), 0);
  ASSERT_TRUE(ForceDirectories(dir.Path() + "/folder.tw"));
  for (const AnsiString& name : {fifo, dir.Path() + "/folder.tw", AnsiString("/dev/zero")}) {
    EXPECT_TRUE(InChildWithin20s([&] {
      TRationDocument doc;
      RecordedMessages messages;
      return LoadRationFromFile(doc, name, {}, messages) == rlReadError && messages.Texts.size() == 1 &&
             messages.Texts[0] == Ansi("Невозможно прочитать файл\r") + name;
    })) << name;
  }
}

TEST(RationFileSaveTest, TwoCopiesSavingOneFileInALoopLoseNoSaveUnasked) {
  // Two processes save one file as fast as they can, each answering Нет to the question
  // and then opening the file anew, as a user would. Every save reported done must be
  // the one the next save started from: the saves form one chain from the first file to
  // the last, and no two start from the same file.
  TempDir dir;
  const AnsiString name = dir.Path() + "/trip.tw";
  TRationDocument sample;
  BuildSample(sample);
  WriteFileBytes(name, Written(sample));
  const auto key = [](const TFileStamp& s) { return std::to_string(s.Size) + ":" + std::to_string(s.Hash); };
  const std::string first = key(StampOfFiles({name}));
  constexpr int kRounds = 150;
  const TSaveChain r = RunSavers(2, first, dir.SysPath(), [&](int k) {
    std::string log;
    RecordedMessages messages;  // answers Нет
    TRationDocument doc;
    if (LoadRationFromFile(doc, name, {}, messages) != rlOk) ::_exit(2);
    for (int i = 0; i < kRounds; ++i) {
      doc.Header.Title = std::to_string(k) + "-" + std::to_string(i);
      doc.Modified = 1;
      const std::string base = key(doc.FileStamp);
      if (SaveRationToFile(doc, "", false, messages)) {
        log += base + " " + key(doc.FileStamp) + "\n";
      } else if (!messages.Texts.empty() || LoadRationFromFile(doc, name, {}, messages) != rlOk) {
        ::_exit(3);
      }
      if (i % 3 == k) ::usleep(static_cast<useconds_t>(i % 7) * 100);
    }
    return log;
  });
  ASSERT_TRUE(r.ChildrenOk);
  EXPECT_EQ(r.SameStart, 0) << "saves lost without a question, of " << r.Saves;
  EXPECT_EQ(r.Chain, r.Saves);
  EXPECT_EQ(r.Last, key(StampOfFiles({name})));
  EXPECT_GT(r.Saves, 1);
}

}  // namespace
