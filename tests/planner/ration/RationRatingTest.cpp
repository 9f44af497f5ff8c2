#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "planner/ration/RationRating.h"
#include "platform/core/SysUtils.h"

namespace {

// The sums of one day item.
struct DaySums {
  int Cal = 0;
  double AlbA = 0, AlbV = 0, FatA = 0, FatV = 0, Carb = 0;
};

// Day records as the ration tree holds them, and the pointers the rating takes.
class Ration {
 public:
  Ration() = default;
  Ration(std::initializer_list<DaySums> days) {
    for (const auto& d : days) Add(d);
  }
  // `count` equal days.
  Ration(int count, const DaySums& day) {
    for (int i = 0; i < count; ++i) Add(day);
  }
  Ration& Add(const DaySums& d, std::int32_t kind = fkDay) {
    TFoodRec r{};
    r.Code = static_cast<std::int32_t>(recs_.size()) + 1;
    r.Flags = ffGroup | ffDeletable;
    r.Kind = kind;
    r.Cal = d.Cal;
    r.AlbA = d.AlbA;
    r.AlbV = d.AlbV;
    r.FatA = d.FatA;
    r.FatV = d.FatV;
    r.Carb = d.Carb;
    recs_.push_back(r);
    return *this;
  }
  TDayRecs Days() const {
    TDayRecs days;
    for (const auto& r : recs_) days.push_back(&r);
    return days;
  }

 private:
  std::vector<TFoodRec> recs_;
};

TRationNorms Norms(double E, double Pn = 100, double Fn = 110, double Cn = 450) { return {E, Pn, Fn, Cn}; }

std::string Summary(const Ration& ration, const TRationNorms& norms, const TRationLimits& limits = {}) {
  AnsiString result = "unset";
  RateRationSummary(ration.Days(), result, norms, limits);
  return result;
}

// The recommendations as UTF-8 lines.
std::vector<std::string> Text(const Ration& ration, const TRationNorms& norms, const TRationLimits& limits = {}) {
  TStringList lines;
  lines.Add("left over from before");
  RateRation(ration.Days(), &lines, norms, limits);
  std::vector<std::string> utf8;
  for (const auto& line : lines.Lines()) utf8.push_back(cp::Ansi1251ToUtf8(line));
  return utf8;
}

TRationLimits Limits(double maxAbs, double maxRel) {
  TRationLimits l;
  l.MaxAbsEnDef = maxAbs;
  l.MaxRelEnDef = maxRel;
  return l;
}

// The paragraphs after the heading of the animal and vegetable components.
std::vector<std::string> AnimalVegetable(const std::vector<std::string>& text) {
  for (std::size_t i = 0; i < text.size(); ++i)
    if (text[i] == "СООТНОШЕНИЕ ЖИВОТНЫХ И РАСТИТЕЛЬНЫХ КОМПОНЕНТОВ")
      return {text.begin() + static_cast<std::ptrdiff_t>(i) + 1, text.end()};
  ADD_FAILURE() << "no heading of the animal and vegetable components";
  return {};
}

const std::string kT0 =
    "ОШИБКА. Вы не должны получить этот комментарий. Если это все же случилось, пожалуйста, сообщите об этом "
    "автору программы, и отправьте ему данный рацион.";
std::string T1(int t) {
  return "Вернуться из похода толстым и красивым парнишей - что может быть лучше? Однако наука полагает, что "
         "для такого похода " + std::to_string(t) + " ККал/чел в сутки вполне достаточно.";
}
std::string T2(int t) {
  return "Формально калорийность рациона в пределах нормы, однако близка к нижнему допустимому пределу. При "
         "этом непредвиденные задержки, длительные периоды плохой погоды и т.п. могут отрицательно сказаться на "
         "самочувствии и работоспособности участников. Чтобы подстраховаться на случай подобных обстоятельств, "
         "рекомендуется увеличить калорийность рациона до " + std::to_string(t) + " ККал.";
}
std::string T3(int deficit, int t) {
  return "Калорийность рациона недопустимо низка. Суммарный энергодефицит за время похода составит " +
         std::to_string(deficit) + " ККал, что может поставить под угрозу здоровье и жизнедеятельность "
         "участников. Настоятельно рекомендуется увеличить калорийность рациона до " + std::to_string(t) + " ККал.";
}
std::string T4(int t) {
  return "Калорийность рациона нежелательно низка. Использование данного рациона в группе, не подготовленной к "
         "низкокалорийному питанию, может создать проблемы. Рекомендуется увеличить калорийность рациона до " +
         std::to_string(t) + " ККал.";
}
std::string T5(int t) {
  return "Калорийность рациона нежелательно низка. Использование данного рациона в группе, не подготовленной к "
         "низкокалорийному питанию, может создать проблемы. Кроме того, велик риск того, что непредвиденные "
         "задержки, длительные периоды плохой погоды и т.п. осложнения могут отрицательно сказаться на "
         "самочувствии и работоспособности участников. Настоятельно рекомендуется увеличить калорийность рациона "
         "до " + std::to_string(t) + " ККал.";
}
std::string T6(int deficit, int t) {
  return "Калорийность рациона недопустимо низка. Суммарный энергодефицит за время похода составит " +
         std::to_string(deficit) + " ККал. В сочетании с нежелательно низкой калорийностью суточного рациона это с "
         "высокой степенью вероятности может поставить под угрозу здоровье и жизнедеятельность участников. "
         "Настоятельно рекомендуется увеличить калорийность рациона как минимум до " + std::to_string(t) + " ККал.";
}
const std::string kWithinNorm = "Калорийность рациона в пределах нормы.";
const std::string kNoRation = "Сформируйте меню или продуктовую раскладку похода.";
const std::string kTooLow =
    "кол-во белков жиров и углеводов в рационе недопустимо низко.Вычисление соотношения бессмысленно.";

}  // namespace

TEST(RatioString, BaseScoreAndFormat) {
  struct Case {
    const char* fmt;
    double a, f, c;
    const char* result;
    int score;
  };
  const Case cases[] = {
      {"%4.2f / %4.2f /%4.2f", 60, 72, 276, "1.00 / 1.20 /4.60", 100},
      {"%3.1f/%3.1f/%3.1f", 60, 72, 276, "1.0/1.2/4.6", 100},
      {"%4.2f / %4.2f /%4.2f", 0, 12, 46, "0.00 / 1.20 /4.60", 99},   // fat is the base
      {"%4.2f / %4.2f /%4.2f", 0, 0, 4.6, "0.00 / 0.00 /4.60", 98},   // carbohydrates: 100 - 2.2
      {"%4.2f / %4.2f /%4.2f", 10, 12, 61, "1.00 / 1.20 /6.10", 98},  // 98.5: half to even
      {"%4.2f / %4.2f /%4.2f", 1, 100, 0, "1.00 / 100.00 /0.00", -3}, // not clamped at 0
      {"%4.2f / %4.2f /%4.2f", 0.004, 1.2, 0, "0.00 / 1.20 /0.00", 94},  // protein below 0.01: fat is the base
      {"%4.2f / %4.2f /%4.2f", 0, 0, 0.5, "", 0},                      // the sum is below 1
      {"%4.2f / %4.2f /%4.2f", 0, 0, 0, "", 0},
      {"%4.2f / %4.2f /%4.2f", 0.3, 0.3, 0.39, "", 0},
      {"%4.2f / %4.2f /%4.2f", 1e308, 1e308, 1e308, "1.00 / 1.00 /1.00", 96},
      {"%4.2f / %4.2f /%4.2f", 0.01, 1e308, 0, "", 0},  // the ratio overflows a double
      {"%4.2f / %4.2f /%4.2f", NAN, 1, 1, "", 0},
  };
  for (const auto& c : cases) {
    int score = 12345;
    AnsiString result = "unset";
    RatioString(c.fmt, score, result, c.a, c.f, c.c);
    EXPECT_EQ(result, c.result) << c.a << " " << c.f << " " << c.c;
    EXPECT_EQ(score, c.score) << c.a << " " << c.f << " " << c.c;
  }
}

// One row per cell (r, c) of the verdict table. Rows: 1 the average day is above E,
// 2 between the lowest acceptable daily energy and E, 3 at or below that lowest
// energy. Columns: 1 no total deficit, 2 below half of MaxAbsEnDef, 3 below
// MaxAbsEnDef, 4 at or above it. With a whole E (as documents hold it) row 1 forces
// column 1; cells (1,2) to (1,4) need a fractional E, and (3,1) a lowest energy that
// rounds to E itself (here MaxRelEnDef = 0).
TEST(RateRation, EveryVerdictCell) {
  struct Case {
    int r, c;
    Ration ration;
    double E;
    TRationLimits limits;
    std::string line;
  };
  const Case cases[] = {
      {1, 1, Ration(10, {3200}), 3100, {}, T1(3100)},                    // deficit -1000
      {1, 2, Ration{{3001}}, 3000.9, {}, T1(3001)},                      // deficit Round(-0.1) = 0
      {1, 3, Ration{{3001}, {3002}}, 3001.9, Limits(2, 0.3), kT0},       // average 3002, deficit 1 + 0
      {1, 4, Ration{{3001}}, 3000.9, Limits(0, 0.3), kT0},
      {2, 1, Ration{{3100}, {3101}}, 3100, {}, T1(3100)},                // average 3100.5 -> 3100, deficit -1
      {2, 2, Ration(10, {3000}), 3100, {}, kWithinNorm},                 // deficit 1000
      {2, 3, Ration(40, {2200}), 3100, {}, T2(3100)},                    // deficit 36000
      {2, 4, Ration(80, {2200}), 3100, {}, T3(72000, 3101)},             // 72000 / 80 + 2200 + 1
      {3, 1, Ration{{3100}, {3101}}, 3100, Limits(70000, 0), kT0},
      {3, 2, Ration(20, {1500}), 3100, {}, T4(2171)},                    // lowest 2170, deficit 32000
      {3, 3, Ration(30, {1500}), 3100, {}, T5(2171)},                    // deficit 48000
      {3, 4, Ration(50, {1500}), 3100, {}, T6(80000, 3101)},             // 80000 / 50 + 1500 + 1
      // Boundaries of the rows and columns.
      {2, 2, Ration(10, {3100}), 3100, {}, kWithinNorm},                 // exactly E, no deficit
      {2, 2, Ration(10, {2171}), 3100, {}, kWithinNorm},                 // just above the lowest energy
      {3, 2, Ration(10, {2170}), 3100, {}, T4(2171)},                    // exactly the lowest energy
      {3, 3, Ration(35, {2100}), 3100, {}, T5(2171)},                    // deficit exactly 35000
      {3, 4, Ration(70, {2100}), 3100, {}, T6(70000, 3101)},             // deficit exactly 70000
  };
  for (const auto& c : cases) {
    const auto text = Text(c.ration, Norms(c.E), c.limits);
    ASSERT_GT(text.size(), 4u) << c.r << "," << c.c;
    EXPECT_EQ(text[4], c.line) << "cell " << c.r << "," << c.c;
  }
}

TEST(RateRationSummary, EnergyAndProteinScores) {
  TRationLimits strictProtein;
  strictProtein.AlbAVmin = 1;
  TRationLimits anyProtein;
  anyProtein.AlbAVmin = 0;
  struct Case {
    const char* what;
    Ration ration;
    TRationLimits limits;
    std::string summary;
  };
  const Case cases[] = {
      // min(100 - 100 * 1000 / 70000, 100 * (3000 - 2170) / 930) = min(98.57, 89.25).
      {"within the norm", Ration(10, {3000}), {}, "89:0:0"},
      {"above E, not clamped", Ration(10, {3200}), {}, "101:0:0"},        // min(101.43, 110.75)
      {"S1 the smaller, negative", Ration(80, {2200}), {}, "-3:0:0"},      // min(-2.86, 3.23)
      {"animal protein enough", Ration(10, {3000, 40, 40}), {}, "89:0:100"},
      {"animal protein above the limit", Ration(10, {3000, 70, 10}), {}, "89:0:100"},
      {"half of the animal protein needed", Ration(10, {3000, 30, 60}), {}, "89:0:50"},
      {"12.5 rounds to even", Ration(10, {3000, 1, 8}), {}, "89:0:12"},
      // The averages are whole grams first: 9.5 -> 10 of 20 needed, not 47.5.
      {"averages rounded", Ration{{3000, 9, 20}, {3000, 10, 20}}, {}, "89:0:50"},
      {"no animal protein", Ration(10, {3000, 0, 50}), {}, "89:0:0"},
      {"only animal protein", Ration(10, {3000, 50, 0}), {}, "89:0:100"},
      {"AlbAVmin 0", Ration(10, {3000, 5, 50}), anyProtein, "89:0:100"},
      // AlbAVmin = 1: every gram must be animal protein.
      {"AlbAVmin 1, some vegetable protein", Ration(10, {3000, 50, 1}), strictProtein, "89:0:0"},
      {"AlbAVmin 1, only animal protein", Ration(10, {3000, 50, 0}), strictProtein, "89:0:100"},
      {"average below 1 kcal", Ration{{1}, {0}}, {}, "---"},               // 0.5 rounds to 0
      {"average 1 kcal", Ration{{1}, {1}}, {}, "-233:0:0"},
      {"no days", Ration(), {}, "---"},
      {"only records of other kinds", Ration().Add({3000}, fkMeal).Add({3000}, fkProduct), {}, "---"},
  };
  for (const auto& c : cases) EXPECT_EQ(Summary(c.ration, Norms(3100), c.limits), c.summary) << c.what;
}

TEST(RateRationSummary, IgnoresEntriesThatAreNoDays) {
  Ration ration(10, {3000});
  ration.Add({99999}, fkMeal);
  TDayRecs days = ration.Days();
  days.push_back(nullptr);
  AnsiString result;
  RateRationSummary(days, result, Norms(3100), {});
  EXPECT_EQ(result, "89:0:0");
}

TEST(RateRationSummary, LargeValuesDoNotOverflow) {
  // Three days at the largest energy: the sums need 64 bits.
  const Ration ration(3, {INT_MAX, 1e9, 1e9, 1e9, 1e9, 1e9});
  // Deficit 3 * (3100 - 2147483647) = -6442441641; S1 = 100 + 100 * 6442441641 / 70000.
  EXPECT_EQ(Summary(ration, Norms(3100)), "9203588:0:100");
  const auto text = Text(ration, Norms(3100));
  EXPECT_EQ(text[4], T1(3100));
  EXPECT_EQ(text[9], "  Для данного рациона : 2000000000.00 / 2000000000.00 /1000000000.00");
}

// The whole text of one ration, line by line.
TEST(RateRation, WholeText) {
  const Ration ration(10, {3000, 50, 40, 60, 30, 400});
  const std::vector<std::string> expected = {
      "ОЦЕНКА СРЕДНЕСУТОЧНОГО РАЦИОНА",
      "",
      "КАЛОРИЙНОСТЬ",
      "",
      "Калорийность рациона в пределах нормы.",
      "",
      "СООТНОШЕНИЕ БЕЛКИ/ЖИРЫ/УГЛЕВОДЫ",
      "",
      "По абсолютным значениям:",
      "  Для данного рациона : 90.00 / 90.00 /400.00",
      "        Рекомендуемое : 100.00 / 110.00 /450.00",
      "",
      "По соотношению весовых долей:",
      "  Для данного рациона :1.00 / 1.00 /4.44",
      "        Рекомендуемое : 1.00 / 1.10 /4.50",
      "",
      "СООТНОШЕНИЕ ЖИВОТНЫХ И РАСТИТЕЛЬНЫХ КОМПОНЕНТОВ",
      "",
      "Соотношение животных белков к растительным: 50.00 / 40.00. Доля животных белков в общем количестве "
      "белков ~ 0.56.",
      "",
      "Соотношение животных жиров к растительным: 60.00 / 30.00. Доля животных жиров в общем количестве жиров "
      "~ 0.67. Рекомендуется изменить соотношение раст.и животных жиров, так чтобы доля животных жиров была не "
      "ниже 0.75 от общего количества жиров.",
  };
  EXPECT_EQ(Text(ration, Norms(3100)), expected);
}

TEST(RateRation, NoRation) {
  EXPECT_EQ(Text(Ration(), Norms(3100)), std::vector<std::string>{kNoRation});
  EXPECT_EQ(Text(Ration(3, {0, 50, 50, 50, 50, 50}), Norms(3100)), std::vector<std::string>{kNoRation});
  RateRation(Ration(10, {3000}).Days(), nullptr, Norms(3100), {});  // no list: nothing to do
  AddLine(nullptr, "x");
}

TEST(RateRation, RatioBlock) {
  struct Case {
    const char* what;
    Ration ration;
    std::string absolute, byShares;
  };
  const Case cases[] = {
      {"the reference ratio", Ration(2, {3000, 30, 30, 40, 32, 276}),
       "  Для данного рациона : 60.00 / 72.00 /276.00", "  Для данного рациона :1.00 / 1.20 /4.60"},
      // Daily averages are whole grams: 0.5 g of carbohydrates rounds to 0.
      {"too little to compare", Ration(2, {3000, 0, 0, 0, 0, 0.5}),
       "  Для данного рациона : 0.00 / 0.00 /0.00", "  Для данного рациона :" + kTooLow},
      {"only carbohydrates", Ration(2, {3000, 0, 0, 0, 0, 46}),
       "  Для данного рациона : 0.00 / 0.00 /46.00", "  Для данного рациона :0.00 / 0.00 /4.60"},
  };
  for (const auto& c : cases) {
    const auto text = Text(c.ration, Norms(3100));
    ASSERT_GT(text.size(), 16u) << c.what;
    EXPECT_EQ(text[8], "По абсолютным значениям:") << c.what;
    EXPECT_EQ(text[9], c.absolute) << c.what;
    EXPECT_EQ(text[12], "По соотношению весовых долей:") << c.what;
    EXPECT_EQ(text[13], c.byShares) << c.what;
    EXPECT_EQ(text[14], "        Рекомендуемое : 1.00 / 1.10 /4.50") << c.what;
  }
}

TEST(RateRation, AnimalAndVegetableAdvice) {
  TRationLimits crossed;  // a smallest animal share above the largest one: both advices
  crossed.FatAVMin = 0.9;
  crossed.FatAVmax = 0.1;
  const std::string protein = "Соотношение животных белков к растительным: ";
  const std::string proteinAdvice =
      " Рекомендуется изменить соотношение раст.и животных белков, так чтобы доля животных белков была не ниже "
      "0.50 от общего количества белков.";
  const std::string fat = "Соотношение животных жиров к растительным: ";
  const std::string fatShare = ". Доля животных жиров в общем количестве жиров ~ ";
  const std::string fatAdviceMin =
      " Рекомендуется изменить соотношение раст.и животных жиров, так чтобы доля животных жиров была не ниже ";
  const std::string fatAdviceMax =
      " Рекомендуется изменить соотношение раст.и животных жиров, так чтобы доля животных жиров не превышала ";
  const std::string ofFat = " от общего количества жиров.";
  struct Case {
    const char* what;
    DaySums day;
    TRationLimits limits;
    std::vector<std::string> paragraphs;
  };
  const Case cases[] = {
      {"little animal protein", {3000, 20, 60}, {},
       {"", protein + "20.00 / 60.00. Доля животных белков в общем количестве белков ~ 0.25." + proteinAdvice}},
      {"animal protein exactly at the limit", {3000, 40, 40}, {},
       {"", protein + "40.00 / 40.00. Доля животных белков в общем количестве белков ~ 0.50."}},
      {"no protein, animal fat within the limits", {3000, 0, 0, 78, 22}, {},
       {"", fat + "78.00 / 22.00" + fatShare + "0.78."}},
      {"little animal fat", {3000, 0, 0, 50, 50}, {},
       {"", fat + "50.00 / 50.00" + fatShare + "0.50." + fatAdviceMin + "0.75" + ofFat}},
      {"too much animal fat", {3000, 0, 0, 90, 10}, {},
       {"", fat + "90.00 / 10.00" + fatShare + "0.90." + fatAdviceMax + "0.80" + ofFat}},
      {"only vegetable fat", {3000, 0, 0, 0, 40}, {},
       {"", fat + "0.00 / 40.00" + fatShare + "0.00." + fatAdviceMin + "0.75" + ofFat}},
      {"crossed fat limits", {3000, 0, 0, 50, 50}, crossed,
       {"", fat + "50.00 / 50.00" + fatShare + "0.50." + fatAdviceMin + "0.90" + ofFat + fatAdviceMax + "0.10" +
                ofFat}},
      {"neither protein nor fat", {3000, 0, 0, 0, 0, 400}, {}, {}},
      {"both", {3000, 60, 20, 76, 24}, {},
       {"", protein + "60.00 / 20.00. Доля животных белков в общем количестве белков ~ 0.75.", "",
        fat + "76.00 / 24.00" + fatShare + "0.76."}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(AnimalVegetable(Text(Ration(3, c.day), Norms(3100), c.limits)), c.paragraphs) << c.what;
}

// Limits and needs that leave a divisor zero, or E no usable number: no exception,
// no "NAN" or "INF" in any text, "---" for an energy score that has no value.
TEST(RateRation, ZeroDivisors) {
  const Ration ration(10, {3000, 30, 60, 60, 30, 400});
  struct Case {
    const char* what;
    TRationNorms norms;
    TRationLimits limits;
    std::string summary;
    std::string verdict;  // line 4, empty when the verdict is left out
  };
  TRationLimits albAll;
  albAll.AlbAVmin = 1;
  const Case cases[] = {
      {"MaxAbsEnDef 0", Norms(3100), Limits(0, 0.3), "---", T3(1000, 3101)},
      {"MaxRelEnDef 0", Norms(3100), Limits(70000, 0), "---", T4(3101)},
      {"both limits 0", Norms(3100), Limits(0, 0), "---", T6(1000, 3101)},
      {"E 0", Norms(0), {}, "---", ""},
      {"E negative", Norms(-100), {}, "---", ""},
      {"E not a number", Norms(NAN), {}, "---", ""},
      {"E infinite", Norms(INFINITY), {}, "---", ""},
      {"AlbAVmin 1", Norms(3100), albAll, "89:0:0", kWithinNorm},
      {"Pn 0", Norms(3100, 0), {}, "89:0:50", kWithinNorm},
      {"all needs 0", Norms(3100, 0, 0, 0), {}, "89:0:50", kWithinNorm},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Summary(ration, c.norms, c.limits), c.summary) << c.what;
    const auto text = Text(ration, c.norms, c.limits);
    for (const auto& line : text) {
      EXPECT_EQ(line.find("NAN"), std::string::npos) << c.what << ": " << line;
      EXPECT_EQ(line.find("INF"), std::string::npos) << c.what << ": " << line;
    }
    ASSERT_GT(text.size(), 6u) << c.what;
    if (c.verdict.empty()) {
      EXPECT_EQ(text[4], "") << c.what;
      EXPECT_EQ(text[5], "СООТНОШЕНИЕ БЕЛКИ/ЖИРЫ/УГЛЕВОДЫ") << c.what;
    } else {
      EXPECT_EQ(text[4], c.verdict) << c.what;
    }
  }

  // AlbAVmin 1: the advice asks for animal protein only.
  EXPECT_EQ(AnimalVegetable(Text(ration, Norms(3100), albAll))[1],
            "Соотношение животных белков к растительным: 30.00 / 60.00. Доля животных белков в общем количестве "
            "белков ~ 0.33. Рекомендуется изменить соотношение раст.и животных белков, так чтобы доля животных "
            "белков была не ниже 1.00 от общего количества белков.");

  // Pn 0: the recommended shares have no value and their line is left out; the
  // absolute needs are still shown.
  const auto text = Text(ration, Norms(3100, 0));
  EXPECT_EQ(text[10], "        Рекомендуемое : 0.00 / 110.00 /450.00");
  EXPECT_EQ(text[13], "  Для данного рациона :1.00 / 1.00 /4.44");
  EXPECT_EQ(text[14], "");
  EXPECT_EQ(text[15], "СООТНОШЕНИЕ ЖИВОТНЫХ И РАСТИТЕЛЬНЫХ КОМПОНЕНТОВ");
}
