// The derived views of a ration document, without any windowing: the totals grid (five
// fixed rows under the tabs), the per-day and whole-trip product lists with their cost
// column, and the recommendations text. TRationViews rebuilds each view lazily: a view is
// rebuilt when its tab is shown and the document's recalculation flag for it is set, and
// the flag is then cleared; the totals are recomputed at once after every change. The
// ration window only copies these rows into its trees and memo.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "planner/ration/RationDoc.h"
#include "platform/core/Classes.h"
#include "platform/core/Graphics.h"

// ---------------------------------------------------------------------------------
// Totals grid

inline constexpr int kTotalsRowCount = 5;
inline constexpr int kTotalsColumnCount = 8;
// Column texts of a totals row.
enum TTotalsColumn : int {
  tcEnergy = 0,   // kcal
  tcDeficit = 1,  // kcal
  tcVeight = 2,   // kg
  tcProtein = 3,  // g
  tcFat = 4,
  tcCarb = 5,
  tcCost = 6,     // written only by the cost column of the whole-trip list
  tcRatio = 7,
};
// Row texts, UTF-8 source texts (with their trailing blanks).
inline constexpr const char* kTotalsRowTexts[kTotalsRowCount] = {
    "На человека в день ", "- рекомендуемые знач-я", "На человека за все дни ", "- рекомендуемые знач-я",
    "На группу за все дни "};

// Sums over the top-level days (g and kcal per person for the whole trip).
struct TTripSums {
  std::int64_t Cal = 0;
  double Veight = 0;
  double AlbA = 0, AlbV = 0, FatA = 0, FatV = 0, Carb = 0;
};
TTripSums TripSums(const TRationDocument& Doc);

struct TTotalsGrid {
  AnsiString Caption;  // "ИТОГО [" + the rating's summary + "]"
  std::array<std::array<AnsiString, kTotalsColumnCount>, kTotalsRowCount> Cells;
  TTripSums Sums;
};

// Recomputes every cell the totals name (the cost cells are left as they are). Without
// days the per-day cells show "0": no division by a zero day count runs.
void UpdateTotals(const TRationDocument& Doc, TTotalsGrid& Grid);

// ---------------------------------------------------------------------------------
// Product lists

// One set of values per 100 g of a product with the grams per person summed over the
// occurrences that carry it.
struct TProductValueSet {
  std::int32_t Cal = 0;
  double AlbA = 0, AlbV = 0, FatA = 0, FatV = 0, Carb = 0;
  std::int64_t Veight = 0;
};

// One distinct product (by Code) of a list, in the order of its first occurrence; the
// name and the values per 100 g are those of the first occurrence. A product whose
// reference values changed while the document held it carries different values in its
// rows: the entry keeps each value set with its own weight, and the lists sum energy and
// nutrients over the sets, so that they give the same sums as the ration tree (with one
// value set, the sums are the first occurrence's values times the weight, as before).
struct TProductEntry {
  std::int32_t Code = 0;
  AnsiString Name;          // at most 64 characters
  std::int64_t Veight = 0;  // g per person, summed
  std::int32_t Cal = 0;     // kcal per 100 g
  std::int32_t Count = 0;   // occurrences
  double AlbA = 0, AlbV = 0, FatA = 0, FatV = 0, Carb = 0;
  std::vector<TProductValueSet> Sets;  // in the order met
};
using TProductEntries = std::vector<TProductEntry>;

// The products of an item's subtree added to Entries (groups without a record are not
// descended into).
void CollectProducts(const TMtTreeItem* Item, TProductEntries& Entries);

// A row of a product list: level 0 a top-level row, 1 a product under a day.
struct TProductListRow {
  int Level = 0;
  AnsiString Text;
  std::vector<AnsiString> Columns;  // column texts from 0
  bool Bold = false;
  bool Expanded = false;
  // A text colour of the row's own (on the list's background), clNone for the list's.
  TColor TextColor = clNone;
};
using TProductListRows = std::vector<TProductListRow>;

// Per-day list: a bold row per day (energy, weight, nutrients summed, number "n.") with
// a row per distinct product of the day below it (number "n.%2d"); column texts 0
// energy, 1 weight, 2..4 nutrients, 5 kg for the group, 6 the number.
TProductListRows BuildDayProductList(const TRationDocument& Doc);
// Whole-trip list: one row per distinct product of the trip. Column texts 0 number "i.",
// 1..5 per person per day (energy, weight, nutrients), 6 kg per person, 7 kg for the
// group, 8 occurrences, 9 cost (empty). Without days the per-day columns show "0". The
// names are in the products' colour.
TProductListRows BuildTripProductList(const TRationDocument& Doc);
inline constexpr int kTripCostColumn = 9;
// The caption of the cost sections of the whole-trip list and the totals grid:
// "Сумма, " + the currency symbol of the user's locale; "Сумма" when the locale has none.
AnsiString CostCaption(const AnsiString& CurrencySymbol);

// Cost column of the whole-trip list. A cost typed by the user ("," or ".") is accepted
// when it is a finite number not below 0; Text then is Format("%10.2f").
bool ParseCost(const AnsiString& Typed, AnsiString& Text);
// The grid's cost cells from the costs of every row (unparsable cells skipped): row 0
// S / (P * D), row 2 S / P, row 4 S. Per-day and per-person cells are "0.00" (right-aligned)
// when there are no days or participants.
void UpdateCostTotals(const TRationDocument& Doc, const TProductListRows& TripRows, TTotalsGrid& Grid);

// ---------------------------------------------------------------------------------
// Lazy rebuild

enum class TRationTab { Menu, DayList, TripList, Recommendations };

class TRationViews {
 public:
  explicit TRationViews(TRationDocument& doc) : doc_(doc) {}

  TTotalsGrid Totals;
  TProductListRows DayList;
  TProductListRows TripList;
  TStringList Recommendations;

  // After every change.
  void UpdateTotals() { ::UpdateTotals(doc_, Totals); }
  // The tab's show handler: rebuilds the view when its recalculation flag is set and
  // clears the flag; true when it rebuilt.
  bool ShowTab(TRationTab tab);
  // Sets the cost of a whole-trip row from typed text; false (nothing changes) when the
  // text is no cost or the row does not exist. Sets the modified flag.
  bool SetCost(int row, const AnsiString& typed);

 private:
  TRationDocument& doc_;
};
