// Product values for the ration benchmarks, varied by a running number.
#pragma once

#include "planner/ration/FoodRec.h"

inline TFoodRec BenchProduct(int i) {
  TFoodRec r{};
  r.Cal = 100 + i % 300;
  r.AlbA = 1.5 + i % 7;
  r.AlbV = 2.5;
  r.FatA = 0.5 * (i % 5);
  r.FatV = 3;
  r.Carb = 10 + i % 60;
  r.Veight = 20 + i % 80;
  return r;
}
