// The food record that every ration and reference item carries. Its bytes are
// written to ration files and the clipboard as they are: the layout is a file
// format and must not change.
#pragma once

#include <cstddef>
#include <cstdint>

// Item kinds.
enum : std::int32_t {
  fkRefRow = -1,  // reference-table row, or an item without record in files
  fkProduct = 0,  // product or dish component
  fkDish = 1,
  fkMeal = 2,
  fkDay = 3,
};

// Flags bits.
enum : std::int32_t {
  ffGroup = 1,      // drawn as a folder in reference trees
  ffVeightEdit = 2, // the weight may be edited
  ffDeletable = 4,  // the item may be deleted
};

#pragma pack(push, 1)
struct TRefItemRec {
  std::int32_t Code;
  std::int32_t Owner;
  std::int32_t Flags;
  std::int32_t Kind;
};

struct TFoodRec {
  std::int32_t Code;    // code in its reference table; a day's number when created
  std::int32_t Owner;   // Code of the parent's record when created, else 0
  std::int32_t Flags;
  std::int32_t Kind;
  std::int32_t Cal;     // kcal per 100 g, or a group's sum
  double AlbA;          // animal protein, g per 100 g, or a sum
  double AlbV;          // vegetable protein
  double FatA;          // animal fat
  double FatV;          // vegetable fat
  double Carb;          // carbohydrates
  std::int32_t Veight;  // grams per person, or a group's sum
};
#pragma pack(pop)

static_assert(sizeof(TRefItemRec) == 16);
static_assert(sizeof(TFoodRec) == 64);
static_assert(offsetof(TFoodRec, Cal) == 16);
static_assert(offsetof(TFoodRec, AlbA) == 20);
static_assert(offsetof(TFoodRec, AlbV) == 28);
static_assert(offsetof(TFoodRec, FatA) == 36);
static_assert(offsetof(TFoodRec, FatV) == 44);
static_assert(offsetof(TFoodRec, Carb) == 52);
static_assert(offsetof(TFoodRec, Veight) == 60);
