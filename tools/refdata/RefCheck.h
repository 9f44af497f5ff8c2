// The rules that the shipped reference data keeps, checked row by row. Each check
// returns its problems as 1251 messages that begin with the offending row
// ("dish.txt:14 (Каша гречневая с тушёнкой): ..."); an empty list means the data is
// sound. The tests run them on data/, and the table builder refuses data that fails.
#pragma once

#include <cstdint>
#include <vector>

#include "refdata/RefSource.h"

namespace refdata {

using TProblems = std::vector<AnsiString>;

// The sources of data/ by their file names.
struct TRefData {
  TRefSource Products, Dish, Meal, Energo, DishComp;
  std::vector<TIniEntry> Limits;  // section "Limits" of "params.ini"
};
TRefData LoadRefData(const AnsiString& dir);

// The file names in data/ and the table each one becomes.
inline constexpr const char* kRefTables[] = {"products", "dish", "meal", "energo", "dishcomp"};
inline constexpr const char* kSourceExt = ".txt";
inline constexpr const char* kLimitsFile = "params.ini";

// Energy of the nutrients: 4 kcal per gram of protein or carbohydrate, 9 per gram of fat.
double NutrientEnergy(double protein, double fat, double carb);
// The stated energy agrees with the nutrients within 15 % of the stated energy.
bool EnergyAgrees(std::int32_t cal, double protein, double fat, double carb);

// Sums of one dish portion, as the ration model computes them from the components:
// each component adds Round(Cal * Veight / 100) (halves to even) to the energy and
// Veight * value / 100 to every nutrient.
struct TPortionSums {
  std::int32_t Cal = 0;
  std::int32_t Veight = 0;
  double AlbA = 0, AlbV = 0, FatA = 0, FatV = 0, Carb = 0;
  void Add(std::int32_t cal, double albA, double albV, double fatA, double fatV, double carb,
           std::int32_t veight);
};

// Structure of a folder table ("products", "dish", "meal", "energo"): the fields the
// program reads, with integer or decimal types as it reads them; CODE positive and
// unique; OWNER 0 or the CODE of an earlier folder; FLAGS 1 for a folder, 0 for a row;
// a name in every row; folders without values and not empty; with `valuesRequired`,
// every value of a row filled in.
TProblems CheckFolderTable(const TRefSource& table, const std::vector<const char*>& intFields,
                           const std::vector<const char*>& decimalFields, bool valuesRequired);
TProblems CheckProducts(const TRefSource& products);  // structure, values per 100 g, energy
TProblems CheckMeals(const TRefSource& meal);
TProblems CheckEnergo(const TRefSource& energo);      // structure, daily needs, the default kind of trip
// "dishcomp" refers to existing dishes and products; every dish holds the sums of its
// composition.
TProblems CheckDishes(const TRefSource& dish, const TRefSource& dishComp, const TRefSource& products);
TProblems CheckLimits(const std::vector<TIniEntry>& limits);

TProblems CheckRefData(const TRefData& data);  // all of the above

// The kind of trip of a new document and its daily energy, as the settings give them.
inline constexpr const char* kDefaultTourKind = "Пешеходный";
inline constexpr const char* kDefaultTourCategory = "1 к.с.";
inline constexpr std::int32_t kDefaultTourCal = 3100;

}  // namespace refdata
