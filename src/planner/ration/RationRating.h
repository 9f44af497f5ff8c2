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
  // Shares of protein, fat and carbohydrates in the reference ratio, as the limits
  // file holds them. The rating itself judges against the fixed ratio 1 : 1.2 : 4.6.
  double AFCAlb = 1.0;
  double AFCFat = 1.2;
  double AFCCarb = 4.6;
};

// Days: the records of the ration tree's day items (Kind 3), with their sums.
using TDayRecs = std::vector<const TFoodRec*>;

// Protein, fat and carbohydrates (any common unit) against the reference ratio
// 1 : 1.2 : 4.6: Result is Fmt over the three shares, empty when A + F + C < 1;
// Score is 100 less the deviation, rounded, not clamped (0 for an empty Result).
void RatioString(std::string_view Fmt, int& Score, AnsiString& Result, double A, double F, double C);
// "energy:0:protein" scores of the average day, or "---" when there is no day, the
// average is below 1 kcal, or the energy score has no value (MaxAbsEnDef = 0,
// MaxRelEnDef = 0, or no positive E). With AlbAVmin = 1 the protein score is 100
// without vegetable protein and 0 with any.
void RateRationSummary(const TDayRecs& Days, AnsiString& Result, const TRationNorms& Norms,
                       const TRationLimits& Limits);
// Replaces Lines by the recommendations text. Figures without a value are left out:
// the energy verdict without a positive E, the recommended shares when Pn = 0.
void RateRation(const TDayRecs& Days, TStringList* Lines, const TRationNorms& Norms,
                const TRationLimits& Limits);
// Appends a line when Lines is not nil.
void AddLine(TStringList* Lines, const AnsiString& Text);
