// The reader of the data sources and the checks, on small sources with one fault each:
// every fault is found and reported with the offending row.
#include <gtest/gtest.h>

#include "refdata/RefCheck.h"

using namespace refdata;

namespace {

const char* const kFoodHeader =
    "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C60 | CAL:N6 | ALBA:N8.2 | ALBV:N8.2 | FATA:N8.2 | FATV:N8.2 | "
    "CARB:N8.2 | VEIGHT:N6\n";

TRefSource Products(const std::string& rows) {
  return TRefSource::Parse(std::string("# продукты\n") + kFoodHeader + rows, "products.txt");
}

// Problems as UTF-8 text, one per line, for matching and for the failure message.
std::string Joined(const TProblems& problems) {
  std::string s;
  for (const AnsiString& p : problems) s += cp::Ansi1251ToUtf8(p) + "\n";
  return s;
}

// Empty `expected`: no problem at all; else exactly one problem containing it.
void ExpectProblem(const TProblems& problems, const std::string& expected, const std::string& what) {
  if (expected.empty()) {
    EXPECT_TRUE(problems.empty()) << what << ":\n" << Joined(problems);
  } else {
    EXPECT_EQ(problems.size(), 1u) << what << ":\n" << Joined(problems);
    EXPECT_NE(Joined(problems).find(expected), std::string::npos) << what << ":\n" << Joined(problems);
  }
}

const char* const kGroup = "1 | 0 | 1 | Крупы | | | | | | |\n";
const char* const kBuckwheat = "2 | 1 | 0 | Гречка | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n";

}  // namespace

TEST(RefSource, ReadsFieldsRowsAndValues) {
  TRefSource t = Products(std::string("\n") + kGroup + "# comment\r\n" + kBuckwheat);
  ASSERT_EQ(t.Fields().size(), 11u);
  EXPECT_EQ(t.Fields()[3].Name, "NAME");
  EXPECT_EQ(t.Fields()[3].Type, 'C');
  EXPECT_EQ(t.Fields()[3].Width, 60);
  EXPECT_EQ(t.Fields()[5].Type, 'N');
  EXPECT_EQ(t.Fields()[5].Width, 8);
  EXPECT_EQ(t.Fields()[5].Decimals, 2);
  ASSERT_EQ(t.Rows().size(), 2u);
  const TRefRow& row = t.Rows()[1];
  EXPECT_EQ(row.Line, 6);
  EXPECT_EQ(t.Where(row), "products.txt:6");
  EXPECT_EQ(t.Text(row, "NAME"), Ansi("Гречка"));
  EXPECT_EQ(t.Int(row, "CAL"), 308);
  EXPECT_DOUBLE_EQ(t.Float(row, "ALBV"), 12.6);
  EXPECT_TRUE(t.IsBlank(t.Rows()[0], "CAL"));
  EXPECT_EQ(t.Int(t.Rows()[0], "CAL"), 0);
  EXPECT_EQ(t.FieldIndex("veight"), 10);
  EXPECT_EQ(t.FieldIndex("PRICE"), -1);
  EXPECT_THROW(t.Text(row, "PRICE"), ERefSourceError);
  EXPECT_THROW(t.Int(row, "ALBV"), ERefSourceError);  // 12.6 is not an integer
}

TEST(RefSource, RefusesBadSourcesNamingTheLine) {
  struct Case {
    const char* what;
    std::string text;
    const char* expected;
  } cases[] = {
      {"no header", "# only a comment\n\n", "products.txt:2: "},
      {"field without type", "CODE | NAME:C10\n", "products.txt:1: "},
      {"unknown type", "CODE:X5\n", "CODE"},
      {"name too long for dBase", "PRODUCTNAME:C10\n", "PRODUCTNAME"},
      {"lower-case field name", "code:N5\n", "code"},
      {"decimals leave no room", "CAL:N3.2\n", "CAL"},
      {"field twice", "CODE:N5 | CODE:N5\n", "CODE"},
      {"too few values", "CODE:N5 | NAME:C10\n1\n", "products.txt:2: 1 "},
      {"too many values", "CODE:N5 | NAME:C10\n1 | a | b\n", "products.txt:2: 3 "},
      {"comma as decimal separator", "X:N8.2\n1,5\n", "products.txt:2: "},
      {"letters in a number", "X:N5\n12a\n", "12a"},
      {"dangling point", "X:N8.2\n1.\n", "products.txt:2: "},
      {"more decimals than the field", "X:N8.2\n1.234\n", "1.234"},
      {"number wider than the field", "X:N6.2\n1234.5\n", "1234.5"},
      {"text longer than the field", "X:C5\nГречка\n", "products.txt:2: "},
      {"dash that code page 866 lacks", "X:C20\nЧай — чёрный\n", "U+2014"},
      {"guillemets that code page 866 lacks", "X:C20\n«Геркулес»\n", "U+00AB"},
      {"broken UTF-8", "X:C20\nab\xD0\n", "products.txt:2: "},
  };
  for (const Case& c : cases) {
    try {
      TRefSource::Parse(c.text, "products.txt");
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const ERefSourceError& e) {
      std::string msg = cp::Ansi1251ToUtf8(e.Message());
      EXPECT_NE(msg.find(c.expected), std::string::npos) << c.what << ": " << msg;
    }
  }
  // What code page 866 has is accepted: "ё", "№".
  TRefSource ok = TRefSource::Parse("X:C20\nЧай №1 ёж\n", "t");
  EXPECT_EQ(ok.Text(ok.Rows()[0], "X"), Ansi("Чай №1 ёж"));
}

TEST(RefCheck, ProductRules) {
  struct Case {
    const char* what;
    std::string rows;
    const char* expected;  // empty: sound
  } cases[] = {
      {"sound", std::string(kGroup) + kBuckwheat, ""},
      // 4 * (12.6 + 57.1) + 9 * 3.3 = 308.5: 362 is within 15 %, 363 is not.
      {"energy at the edge", std::string(kGroup) + "2 | 1 | 0 | Гречка | 362 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n", ""},
      {"energy too high", std::string(kGroup) + "2 | 1 | 0 | Гречка | 363 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n",
       "products.txt:4 (Гречка): энергия 363"},
      {"energy too low", std::string(kGroup) + "2 | 1 | 0 | Гречка | 260 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n",
       "products.txt:4 (Гречка): энергия 260"},
      {"energy without nutrients", std::string(kGroup) + "2 | 1 | 0 | Вода | 10 | 0 | 0 | 0 | 0 | 0 | 80\n",
       "products.txt:4 (Вода)"},
      {"no energy and no nutrients", std::string(kGroup) + "2 | 1 | 0 | Соль | 0 | 0 | 0 | 0 | 0 | 0 | 10\n", ""},
      {"animal fat counts too", std::string(kGroup) + "2 | 1 | 0 | Сало | 816 | 1.4 | 0 | 92.8 | 0 | 0 | 30\n", ""},
      {"more than 100 g of nutrients", std::string(kGroup) + "2 | 1 | 0 | Масло | 904 | 0 | 0 | 0 | 100.5 | 0 | 15\n",
       "products.txt:4 (Масло): "},
      {"negative value", std::string(kGroup) + "2 | 1 | 0 | Гречка | 308 | -1 | 13.6 | 0 | 3.3 | 57.1 | 80\n",
       "ALBA"},
      {"no portion", std::string(kGroup) + "2 | 1 | 0 | Гречка | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 | 0\n", "VEIGHT"},
      {"value missing", std::string(kGroup) + "2 | 1 | 0 | Гречка | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 |\n",
       "products.txt:4 (Гречка): не заполнено поле VEIGHT"},
      {"duplicate code", std::string(kGroup) + kBuckwheat + "2 | 1 | 0 | Пшено | 348 | 0 | 11.5 | 0 | 3.3 | 66.5 | 70\n",
       "products.txt:5 (Пшено): CODE 2 уже есть в строке 4"},
      {"same name in the same folder", std::string(kGroup) + kBuckwheat +
       "3 | 1 | 0 | ГРЕЧКА | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n", "products.txt:5 (ГРЕЧКА): "},
      {"same name in another folder", std::string(kGroup) + kBuckwheat + "5 | 0 | 1 | Другие | | | | | | |\n" +
       "3 | 5 | 0 | Гречка | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n", ""},
      {"code zero", std::string(kGroup) + "0 | 1 | 0 | Гречка | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n", "CODE"},
      {"owner is a product", std::string(kGroup) + kBuckwheat + "3 | 2 | 0 | Пшено | 348 | 0 | 11.5 | 0 | 3.3 | 66.5 | 70\n",
       "products.txt:5 (Пшено): OWNER 2"},
      {"owner below its child", std::string(kBuckwheat) + kGroup + "3 | 1 | 0 | Пшено | 348 | 0 | 11.5 | 0 | 3.3 | 66.5 | 70\n",
       "products.txt:3 (Гречка): OWNER 1"},
      {"owner missing", std::string(kGroup) + kBuckwheat + "3 | 7 | 0 | Пшено | 348 | 0 | 11.5 | 0 | 3.3 | 66.5 | 70\n",
       "OWNER 7"},
      {"folder with values", "1 | 0 | 1 | Крупы | 100 | | | | | |\n" + std::string(kBuckwheat),
       "products.txt:3 (Крупы): "},
      {"empty folder", std::string(kGroup) + kBuckwheat + "5 | 0 | 1 | Пусто | | | | | | |\n",
       "products.txt:5 (Пусто): "},
      {"other flags", std::string(kGroup) + "2 | 1 | 4 | Гречка | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n", "FLAGS 4"},
      {"no name", std::string(kGroup) + "2 | 1 | 0 |  | 308 | 0 | 12.6 | 0 | 3.3 | 57.1 | 80\n", "products.txt:4: "},
  };
  for (const Case& c : cases) ExpectProblem(CheckProducts(Products(c.rows)), c.expected, c.what);

  // A table without the fields the program reads.
  TProblems p = CheckProducts(TRefSource::Parse("CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C60 | CAL:N6.1\n", "p"));
  EXPECT_NE(Joined(p).find("CAL"), std::string::npos) << Joined(p);
  EXPECT_NE(Joined(p).find("VEIGHT"), std::string::npos) << Joined(p);
  EXPECT_FALSE(CheckProducts(TRefSource::Parse("CODE:N4 | OWNER:N10 | FLAGS:N5 | NAME:C60\n", "p")).empty());
}

TEST(RefCheck, PortionSumsRoundEachComponentHalfToEven) {
  TPortionSums s;
  s.Add(101, 0, 0, 0, 0, 0, 50);  // 50.5 -> 50
  EXPECT_EQ(s.Cal, 50);
  s.Add(101, 0, 0, 0, 0, 0, 150);  // 151.5 -> 152
  EXPECT_EQ(s.Cal, 202);
  TPortionSums t;
  t.Add(21, 1, 2, 3, 4, 5, 50);  // 10.5 -> 10, twice: 20, not 21
  t.Add(21, 1, 2, 3, 4, 5, 50);
  EXPECT_EQ(t.Cal, 20);
  EXPECT_EQ(t.Veight, 100);
  EXPECT_DOUBLE_EQ(t.AlbA, 1);
  EXPECT_DOUBLE_EQ(t.Carb, 5);
}

TEST(RefCheck, DishRules) {
  TRefSource products = Products(std::string(kGroup) + kBuckwheat +
                                 "3 | 1 | 0 | Масло | 748 | 0.6 | 0 | 82.5 | 0 | 0.8 | 20\n"
                                 "4 | 1 | 0 | Сорок две | 21 | 0 | 5.25 | 0 | 0 | 0 | 10\n");
  // Buckwheat 80 g: 246.4 -> 246 kcal; butter 15 g: 112.2 -> 112 kcal.
  const std::string dishHead = std::string("# блюда\n") + kFoodHeader + "10 | 0 | 1 | Каши | | | | | | |\n";
  const std::string comp = "DISHCODE:N10 | PRODCODE:N10 | VEIGHT:N6\n11 | 2 | 80\n11 | 3 | 15\n";
  const std::string sound = "11 | 10 | 0 | Каша | 358 | 0.09 | 10.08 | 12.38 | 2.64 | 45.80 | 95\n";
  struct Case {
    const char* what;
    std::string dishRows, compRows;
    const char* expected;
  } cases[] = {
      {"sound", sound, comp, ""},
      {"energy not the sum", "11 | 10 | 0 | Каша | 359 | 0.09 | 10.08 | 12.38 | 2.64 | 45.80 | 95\n", comp,
       "dish.txt:4 (Каша): значения порции не равны суммам по составу: должно быть CAL 358"},
      {"weight not the sum", "11 | 10 | 0 | Каша | 358 | 0.09 | 10.08 | 12.38 | 2.64 | 45.80 | 96\n", comp,
       "VEIGHT 95"},
      {"nutrient off by a hundredth", "11 | 10 | 0 | Каша | 358 | 0.09 | 10.08 | 12.38 | 2.64 | 45.81 | 95\n", comp,
       "CARB 45.80"},
      {"missing product", sound, comp + "11 | 9 | 10\n", "dishcomp.txt:4: PRODCODE 9"},
      {"product folder as component", sound, comp + "11 | 1 | 10\n", "dishcomp.txt:4: PRODCODE 1"},
      {"missing dish", sound, comp + "12 | 2 | 10\n", "dishcomp.txt:4: DISHCODE 12"},
      {"dish folder with components", sound, comp + "10 | 2 | 10\n", "dishcomp.txt:4: DISHCODE 10"},
      {"component twice", "11 | 10 | 0 | Каша | 389 | 0.09 | 11.34 | 12.38 | 2.97 | 51.51 | 105\n", comp + "11 | 2 | 10\n",
       "dishcomp.txt:4: "},
      {"component without weight", sound, comp + "11 | 4 | 0\n", "dishcomp.txt:4: VEIGHT"},
      {"dish without composition", sound + "12 | 10 | 0 | Суп | 0 | 0 | 0 | 0 | 0 | 0 | 0\n", comp,
       "dish.txt:5 (Суп): нет состава"},
      // 21 kcal * 50 g = 10.5 kcal: the sum rounds to 10, not 11; half a gram of protein.
      {"components rounded half to even", sound + "12 | 10 | 0 | Суп | 10 | 0 | 2.63 | 0 | 0 | 0 | 50\n",
       comp + "12 | 4 | 50\n", ""},
      {"rounded sum refused", sound + "12 | 10 | 0 | Суп | 11 | 0 | 2.63 | 0 | 0 | 0 | 50\n", comp + "12 | 4 | 50\n",
       "dish.txt:5 (Суп): "},
      // 2.625 g is shown and written as 2.63 by the program: the other neighbour is refused.
      {"nutrient rounded otherwise than the program writes it",
       sound + "12 | 10 | 0 | Суп | 10 | 0 | 2.62 | 0 | 0 | 0 | 50\n", comp + "12 | 4 | 50\n",
       "dish.txt:5 (Суп): значения порции не равны суммам по составу: должно быть CAL 10, ALBA 0.00, "
       "ALBV 2.63"},
  };
  for (const Case& c : cases) {
    TRefSource dish = TRefSource::Parse(dishHead + c.dishRows, "dish.txt");
    TRefSource dishComp = TRefSource::Parse(c.compRows, "dishcomp.txt");
    ExpectProblem(CheckDishes(dish, dishComp, products), c.expected, c.what);
  }
}

TEST(RefCheck, EnergoRulesAndTheDefaultKindOfTrip) {
  const std::string head = "CODE:N10 | OWNER:N10 | FLAGS:N5 | NAME:C60 | CAL:N6 | ALB:N8.2 | FAT:N8.2 | CARB:N8.2\n";
  const std::string walking = "10 | 0 | 1 | Пешеходный | | | |\n";
  struct Case {
    const char* what;
    std::string rows;
    const char* expected;
  } cases[] = {
      {"sound", walking + "12 | 10 | 0 | 1 к.с. | 3100 | 93 | 112 | 430\n", ""},
      {"no default kind", walking + "12 | 10 | 0 | 2 к.с. | 3400 | 102 | 123 | 471\n", "Пешеходный; 1 к.с."},
      {"default category in another kind", "10 | 0 | 1 | Водный | | | |\n12 | 10 | 0 | 1 к.с. | 3100 | 93 | 112 | 430\n",
       "Пешеходный; 1 к.с."},
      {"default with other energy", walking + "12 | 10 | 0 | 1 к.с. | 3000 | 90 | 108 | 416\n",
       "energo.txt:3 (1 к.с.): "},
      {"needs disagree with energy", walking + "12 | 10 | 0 | 1 к.с. | 3100 | 150 | 180 | 690\n",
       "energo.txt:3 (1 к.с.): энергия 3100"},
      {"need missing", walking + "12 | 10 | 0 | 1 к.с. | 3100 | 93 | 112 |\n", "CARB"},
  };
  for (const Case& c : cases)
    ExpectProblem(CheckEnergo(TRefSource::Parse(head + c.rows, "energo.txt")), c.expected, c.what);
}

TEST(RefCheck, MealRules) {
  const std::string rows = "1 | 0 | 0 | Завтрак | | | | | | |\n2 | 0 | 0 | Обед | | | | | | |\n"
                           "3 | 0 | 0 | Ужин | | | | | | |\n";
  auto meals = [&](const std::string& more) { return TRefSource::Parse(kFoodHeader + rows + more, "meal.txt"); };
  ExpectProblem(CheckMeals(meals("4 | 0 | 0 | Перекус | | | | | | |\n")), "", "sound");
  ExpectProblem(CheckMeals(meals("")), "Перекус", "no snack");
  ExpectProblem(CheckMeals(meals("4 | 0 | 0 | Перекус | | | | | | |\n4 | 0 | 0 | Полдник | | | | | | |\n")),
                "meal.txt:6 (Полдник): CODE 4", "duplicate code");
}

TEST(RefCheck, LimitRules) {
  const std::string sound =
      "[Limits]\nMaxRelEnDef=0.3\nMaxAbsEnDef=70000\nAlbAVmin=0.5\nFatAVMin=0.75\nFatAVmax=0.8\nAFCAlb=1\n"
      "AFCFat=1.2\nAFCCarb=4.6\n";
  auto limits = [](const std::string& text) { return ParseIniSection(text, "limits", "params.ini"); };
  ExpectProblem(CheckLimits(limits("; limits\n[Other]\nA=1\n" + sound)), "", "sound");
  ExpectProblem(CheckLimits(limits(sound + "Extra=1\n")), "params.ini:10: ", "extra key");
  std::string wrong = sound;
  wrong.replace(wrong.find("4.6"), 3, "4.5");
  ExpectProblem(CheckLimits(limits(wrong)), "params.ini:9: AFCCarb", "wrong value");
  std::string swapped = sound;
  swapped.replace(swapped.find("AFCFat"), 6, "AFCXxx");
  ExpectProblem(CheckLimits(limits(swapped)), "params.ini:8: ", "wrong key");
  EXPECT_EQ(CheckLimits(limits("[Limits]\n")).size(), 8u);
  EXPECT_THROW(limits("[Limits]\nno equals sign\n"), ERefSourceError);
}
