// The shipped example rations: each builds from its readable source over the shipped
// reference sources, has the shape its description promises, rates sensibly against its
// kind of trip, and survives a write and read unchanged.
#include <gtest/gtest.h>

#include "examples/ExampleBuild.h"
#include "planner/ration/RationFile.h"
#include "planner/ration/RationTabs.h"
#include "planner/reference/RefTestSupport.h"
#include "refdata/RefSource.h"

namespace {

struct TExampleCase {
  const char* file;
  std::uint8_t type;
  int days;
  int mans;
  const char* tour;
};

const TExampleCase kExamples[] = {
    {"weekend-hike.txt", rtDayMenu, 3, 2, "Пешеходный; 1 к.с."},
    {"mountain-14.txt", rtDayMenu, 14, 6, "Горный; 3 к.с."},
    {"ski-10.txt", rtAverage, 10, 5, "Лыжный; 2 к.с."},
};

void Build(TRationDocument& doc, const char* file) {
  const AnsiString dir = TARNWICK_DATA_DIR;
  examples::BuildExample(doc, refdata::ReadWholeFile(dir + "/examples/" + file), file, dir);
}

std::string Recommendations(const TRationDocument& doc) {
  TStringList lines;
  RateRation(doc.DayRecords(), &lines, doc.Header.Norms(), doc.Header.Limits);
  std::string out;
  for (const AnsiString& l : lines.Lines()) out += ref_test::Utf8(l) + "\n";
  return out;
}

}  // namespace

TEST(Examples, ShapeAndRating) {
  for (const TExampleCase& c : kExamples) {
    SCOPED_TRACE(c.file);
    TRationDocument doc;
    ASSERT_NO_THROW(Build(doc, c.file));
    EXPECT_EQ(doc.RationType(), c.type);
    EXPECT_EQ(doc.DayCounter, c.days);
    EXPECT_EQ(doc.Days, c.days);
    EXPECT_EQ(doc.Mans, c.mans);
    EXPECT_EQ(ref_test::Utf8(doc.Header.TourName), c.tour);
    EXPECT_FALSE(doc.Header.Title.empty());
    EXPECT_EQ(doc.Modified, 0);

    // The average day covers the kind of trip's energy within a tenth.
    const TTripSums sums = TripSums(doc);
    const double perDay = static_cast<double>(sums.Cal) / c.days;
    EXPECT_GT(perDay, 0.9 * doc.Header.RefCal) << Recommendations(doc);
    EXPECT_LT(perDay, 1.1 * doc.Header.RefCal) << Recommendations(doc);
    // The summary's energy and protein scores are good, and so is the ratio.
    AnsiString summary;
    RateRationSummary(doc.DayRecords(), summary, doc.Header.Norms(), doc.Header.Limits);
    int energy = 0, zero = 0, protein = 0;
    ASSERT_EQ(std::sscanf(summary.c_str(), "%d:%d:%d", &energy, &zero, &protein), 3) << summary;
    EXPECT_GE(energy, 80) << summary << "\n" << Recommendations(doc);
    EXPECT_GE(protein, 80) << summary << "\n" << Recommendations(doc);
    int ratioScore = 0;
    AnsiString ratio;
    RatioString("%3.1f/%3.1f/%3.1f", ratioScore, ratio, sums.AlbA + sums.AlbV, sums.FatA + sums.FatV, sums.Carb);
    EXPECT_GE(ratioScore, 75) << ratio << "\n" << Recommendations(doc);

    // Written and read back: the same document, the same bytes.
    TMemoryStream first;
    WriteRation(doc, first);
    TRationDocument back;
    first.SetPosition(0);
    ASSERT_EQ(ReadRation(back, first, doc.Header.Limits), rlOk);
    TMemoryStream second;
    WriteRation(back, second);
    EXPECT_EQ(first.Bytes(), second.Bytes());
  }
}

TEST(Examples, ErrorsNameTheLine) {
  TRationDocument doc;
  const AnsiString dir = TARNWICK_DATA_DIR;
  const std::pair<const char*, const char*> bad[] = {
      {"tour = Пешеходный; 1 к.с.\nmenu A\n  meal Завтрак\n    dish Нет такого\ndays = A\n", ":4:"},
      {"tour = Нет; 1 к.с.\nmenu A\ndays = A\n", ":1:"},
      {"tour = Пешеходный; 1 к.с.\nmenu A\ndays = A B\n", ":3:"},
      {"tour = Пешеходный; 1 к.с.\ntype = average\ndays = 0\n", ":3:"},
      {"tour = Пешеходный; 1 к.с.\nmenu A\n", ":2:"},
      {"tour = Пешеходный; 1 к.с.\nproduct Сахар-песок = -4\n", ":2:"},
      {"colour = red\n", ":1:"},
  };
  for (const auto& [text, where] : bad) {
    TRationDocument d;
    try {
      examples::BuildExample(d, text, "x.txt", dir);
      ADD_FAILURE() << text;
    } catch (const examples::EExampleError& e) {
      EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
    }
  }
}
