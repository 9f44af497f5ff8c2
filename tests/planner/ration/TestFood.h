// Food records for the ration tests.
#pragma once

#include <cstdint>

#include "planner/ration/FoodRec.h"

// Values per 100 g and the weight of a product, as a reference row gives them.
inline TFoodRec Food(std::int32_t cal, std::int32_t veight, double albA = 0, double albV = 0, double fatA = 0,
                     double fatV = 0, double carb = 0) {
  TFoodRec r{};
  r.Cal = cal;
  r.Veight = veight;
  r.AlbA = albA;
  r.AlbV = albV;
  r.FatA = fatA;
  r.FatV = fatV;
  r.Carb = carb;
  return r;
}
