// Rating of the average daily ration against the norm and the limits: the summary
// triple of the totals grid, the protein/fat/carbohydrate ratio text, and the
// recommendations text.
#pragma once

#include <string_view>
#include <vector>

#include "planner/ration/FoodRec.h"
#include "platform/core/Classes.h"

// Energy expenditure (kcal per day) and the protein, fat and carbohydrate needs
// (g per day) of the document's kind of trip.
struct TRationNorms {
  double E = 0;
  double Pn = 0;
  double Fn = 0;
  double Cn = 0;
};

// The limits of the limits file, with their defaults.
struct TRationLimits {
  double MaxAbsEnDef = 70000;
  double MaxRelEnDef = 0.3;
  double AlbAVmin = 0.5;
  double FatAVMin = 0.75;
  double FatAVmax = 0.8;
};

// Days: the records of the ration tree's day items (Kind 3), with their sums.
using TDayRecs = std::vector<const TFoodRec*>;

void RatioString(std::string_view Fmt, int& Score, AnsiString& Result, double A, double F, double C);
void RateRationSummary(const TDayRecs& Days, AnsiString& Result, const TRationNorms& Norms,
                       const TRationLimits& Limits);
void RateRation(const TDayRecs& Days, TStringList* Lines, const TRationNorms& Norms,
                const TRationLimits& Limits);
void AddLine(TStringList* Lines, const AnsiString& Text);
