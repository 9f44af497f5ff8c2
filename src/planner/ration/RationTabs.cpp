#include "planner/ration/RationTabs.h"

#include <algorithm>
#include <cmath>

#include "planner/app/Globals.h"
#include "planner/ration/RationRating.h"
#include "platform/core/AnsiText.h"
#include "platform/core/SysUtils.h"

namespace {

constexpr std::size_t kEntryNameMax = 64;

// Round of a finite quotient; callers never divide by zero.
std::int64_t RoundQ(double v) { return std::isfinite(v) ? Round(v) : 0; }

AnsiString F32(double v) { return Format("%3.2f", {v}); }
AnsiString F33(double v) { return Format("%3.3f", {v}); }

TProductEntry& EntryFor(TProductEntries& entries, const TMtTreeItem* item, const TFoodRec& rec) {
  for (TProductEntry& e : entries)
    if (e.Code == rec.Code) return e;
  TProductEntry e;
  e.Code = rec.Code;
  e.Name = item->Text().substr(0, kEntryNameMax);
  e.Cal = rec.Cal;
  e.AlbA = rec.AlbA;
  e.AlbV = rec.AlbV;
  e.FatA = rec.FatA;
  e.FatV = rec.FatV;
  e.Carb = rec.Carb;
  entries.push_back(e);
  return entries.back();
}

void AddToProductList(TProductEntries& entries, const TMtTreeItem* item, const TFoodRec& rec) {
  TProductEntry& e = EntryFor(entries, item, rec);
  e.Veight += rec.Veight;
  ++e.Count;
  auto same = [&rec](const TProductValueSet& s) {
    return s.Cal == rec.Cal && s.AlbA == rec.AlbA && s.AlbV == rec.AlbV && s.FatA == rec.FatA &&
           s.FatV == rec.FatV && s.Carb == rec.Carb;
  };
  auto set = std::find_if(e.Sets.begin(), e.Sets.end(), same);
  if (set == e.Sets.end()) set = e.Sets.insert(e.Sets.end(), {rec.Cal, rec.AlbA, rec.AlbV, rec.FatA, rec.FatV, rec.Carb, 0});
  set->Veight += rec.Veight;
}

// Energy and nutrients of an entry for `days` days' share of its weight (1: the whole
// weight): each value set times its own weight.
struct TEntrySums {
  double Energy = 0, Protein = 0, Fat = 0, Carb = 0;
};
TEntrySums SumsOf(const TProductEntry& e, std::int64_t days) {
  TEntrySums s;
  for (const TProductValueSet& v : e.Sets) {
    const double w = days > 0 ? static_cast<double>(v.Veight) / static_cast<double>(days) : 0.0;
    s.Energy += w * v.Cal / 100;
    s.Protein += (v.AlbA + v.AlbV) * w / 100;
    s.Fat += (v.FatA + v.FatV) * w / 100;
    s.Carb += w * v.Carb / 100;
  }
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------------

TTripSums TripSums(const TRationDocument& Doc) {
  TTripSums s;
  for (const TFoodRec* day : Doc.DayRecords()) {
    s.Cal += day->Cal;
    s.Veight += day->Veight;
    s.AlbA += day->AlbA;
    s.AlbV += day->AlbV;
    s.FatA += day->FatA;
    s.FatV += day->FatV;
    s.Carb += day->Carb;
  }
  return s;
}

void UpdateTotals(const TRationDocument& Doc, TTotalsGrid& Grid) {
  const TTripSums s = TripSums(Doc);
  Grid.Sums = s;
  const TRationHeader& h = Doc.Header;
  const TRationLimits& lim = h.Limits;
  AnsiString summary;
  RateRationSummary(Doc.DayRecords(), summary, h.Norms(), lim);
  Grid.Caption = Ansi("ИТОГО [") + summary + "]";

  const std::int64_t D = Doc.DayCounter;
  const std::int64_t P = Doc.Mans;
  const std::int64_t E = h.RefCal;
  const double protein = s.AlbA + s.AlbV;
  const double fat = s.FatA + s.FatV;
  auto& c = Grid.Cells;

  // Row 0: per person per day (zeros while there are no days).
  auto perDay = [D](double v) { return D > 0 ? v / static_cast<double>(D) : 0.0; };
  const std::int64_t dayCal = RoundQ(perDay(static_cast<double>(s.Cal)));
  c[0][tcEnergy] = Format("%d", {dayCal});
  c[0][tcDeficit] = Format("%d", {E - dayCal});
  c[0][tcVeight] = F33(perDay(s.Veight) / 1000);
  c[0][tcProtein] = F32(perDay(protein));
  c[0][tcFat] = F32(perDay(fat));
  c[0][tcCarb] = F32(perDay(s.Carb));
  // Row 1: recommended per day.
  c[1][tcEnergy] = Format("%d", {E});
  c[1][tcDeficit] = Format(Ansi("не более %d"), {RoundQ(static_cast<double>(E) * lim.MaxRelEnDef)});
  c[1][tcProtein] = F32(h.RefAlb);
  c[1][tcFat] = F32(h.RefFat);
  c[1][tcCarb] = F32(h.RefCarb);
  // Row 2: per person, whole trip.
  c[2][tcEnergy] = Format("%d", {s.Cal});
  c[2][tcDeficit] = Format("%d", {E * D - s.Cal});
  c[2][tcVeight] = F33(s.Veight / 1000);
  c[2][tcRatio] = FormatRatio(protein, fat, s.Carb);
  // Row 3: recommended, whole trip.
  c[3][tcDeficit] = Format(Ansi("не более %d"), {RoundQ(lim.MaxAbsEnDef)});
  c[3][tcRatio] = FormatRatio(h.RefAlb, h.RefFat, h.RefCarb);
  // Row 4: the group, whole trip.
  c[4][tcVeight] = F33(static_cast<double>(P) * s.Veight / 1000);
}

// ---------------------------------------------------------------------------------

void CollectProducts(const TMtTreeItem* Item, TProductEntries& Entries) {
  const TFoodRec* rec = FoodRecOf(Item);
  if (rec == nullptr) return;
  if (rec->Kind == fkProduct) {
    AddToProductList(Entries, Item, *rec);
    return;
  }
  for (int i = 0; i < Item->GetChildrenCount(); ++i) CollectProducts(Item->GetChildren(i), Entries);
}

namespace {

std::vector<AnsiString> ProductRowColumns(std::int64_t energy, std::int64_t veight, const AnsiString& number,
                                          double protein, double fat, double carb, std::int64_t mans) {
  return {Format("%d", {energy}), Format("%d", {veight}), F32(protein), F32(fat), F32(carb),
          F33(static_cast<double>(veight) * mans / 1000), number};
}

}  // namespace

TProductListRows BuildDayProductList(const TRationDocument& Doc) {
  TProductListRows rows;
  const TMtTreeItem* root = Doc.Items()->Root();
  for (int n = 1; n <= root->GetChildrenCount(); ++n) {
    const TMtTreeItem* day = root->GetChildren(n - 1);
    TProductEntries entries;
    CollectProducts(day, entries);
    TProductListRow dayRow;
    dayRow.Text = day->Text();
    dayRow.Bold = true;
    dayRow.Expanded = day->GetExpanded();
    const std::size_t dayIndex = rows.size();
    rows.push_back(dayRow);
    std::int64_t energySum = 0, veightSum = 0;
    double proteinSum = 0, fatSum = 0, carbSum = 0;
    int k = 0;
    for (const TProductEntry& e : entries) {
      const TEntrySums sums = SumsOf(e, 1);
      const std::int64_t energy = RoundQ(sums.Energy);
      const double protein = sums.Protein;
      const double fat = sums.Fat;
      const double carb = sums.Carb;
      TProductListRow row;
      row.Level = 1;
      row.Text = e.Name;
      row.Columns = ProductRowColumns(energy, e.Veight, Format("%d.%2d", {n, ++k}), protein, fat, carb, Doc.Mans);
      rows.push_back(row);
      energySum += energy;
      veightSum += e.Veight;
      proteinSum += protein;
      fatSum += fat;
      carbSum += carb;
    }
    rows[dayIndex].Columns =
        ProductRowColumns(energySum, veightSum, Format("%d.", {n}), proteinSum, fatSum, carbSum, Doc.Mans);
  }
  return rows;
}

TProductListRows BuildTripProductList(const TRationDocument& Doc) {
  TProductEntries entries;
  const TMtTreeItem* root = Doc.Items()->Root();
  for (int n = 0; n < root->GetChildrenCount(); ++n) CollectProducts(root->GetChildren(n), entries);
  const std::int64_t D = Doc.DayCounter;
  TProductListRows rows;
  int i = 0;
  for (const TProductEntry& e : entries) {
    TProductListRow row;
    row.Text = e.Name;
    row.TextColor = kProductTextColor;
    const double w = static_cast<double>(e.Veight);
    const double perDay = D > 0 ? w / D : 0;
    const TEntrySums sums = SumsOf(e, D);
    row.Columns = {Format("%d.", {++i}),
                   Format("%d", {RoundQ(sums.Energy)}),
                   Format("%d", {RoundQ(perDay)}),
                   F32(sums.Protein),
                   F32(sums.Fat),
                   F32(sums.Carb),
                   F33(w / 1000),
                   F33(static_cast<double>(Doc.Mans) * w / 1000),
                   Format("%d", {e.Count}),
                   AnsiString()};
    rows.push_back(std::move(row));
  }
  return rows;
}

AnsiString CostCaption(const AnsiString& CurrencySymbol) {
  if (Trim(CurrencySymbol).empty()) return Ansi("Сумма");
  return Format(Ansi("Сумма, %s"), {CurrencySymbol});
}

bool ParseCost(const AnsiString& Typed, AnsiString& Text) {
  double v = 0;
  if (!TextToFloat(Trim(Typed), v) || v < 0 || v > 1e12) return false;
  Text = Format("%10.2f", {v});
  return true;
}

void UpdateCostTotals(const TRationDocument& Doc, const TProductListRows& TripRows, TTotalsGrid& Grid) {
  double sum = 0;
  for (const TProductListRow& row : TripRows) {
    double v = 0;
    if (static_cast<int>(row.Columns.size()) > kTripCostColumn && TextToFloat(Trim(row.Columns[kTripCostColumn]), v))
      sum += v;
  }
  const double P = Doc.Mans, D = Doc.DayCounter;
  Grid.Cells[0][tcCost] = Format("%10.2f", {P > 0 && D > 0 ? sum / (P * D) : 0.0});
  Grid.Cells[2][tcCost] = Format("%10.2f", {P > 0 ? sum / P : 0.0});
  Grid.Cells[4][tcCost] = Format("%10.2f", {sum});
}

// ---------------------------------------------------------------------------------

bool TRationViews::ShowTab(TRationTab tab) {
  switch (tab) {
    case TRationTab::Menu: {
      if (doc_.RecalcMenu == 0) return false;
      TMtUpdateBracket bracket(&doc_.Tree());
      const TMtTreeItem* root = doc_.Items()->Root();
      for (int i = 0; i < root->GetChildrenCount(); ++i) doc_.SumGroup(root->GetChildren(i), true);
      doc_.RecalcMenu = 0;
      return true;
    }
    case TRationTab::DayList:
      if (doc_.RecalcDayList == 0) return false;
      DayList = BuildDayProductList(doc_);
      doc_.RecalcDayList = 0;
      return true;
    case TRationTab::TripList:
      if (doc_.RecalcTotalList == 0) return false;
      TripList = BuildTripProductList(doc_);
      doc_.RecalcTotalList = 0;
      return true;
    case TRationTab::Recommendations:
      if (doc_.RecalcComments == 0) return false;
      RateRation(doc_.DayRecords(), &Recommendations, doc_.Header.Norms(), doc_.Header.Limits);
      doc_.RecalcComments = 0;
      return true;
  }
  return false;
}

bool TRationViews::SetCost(int row, const AnsiString& typed) {
  AnsiString text;
  if (row < 0 || row >= static_cast<int>(TripList.size()) || !ParseCost(typed, text)) return false;
  TProductListRow& r = TripList[static_cast<std::size_t>(row)];
  while (static_cast<int>(r.Columns.size()) <= kTripCostColumn) r.Columns.emplace_back();
  r.Columns[kTripCostColumn] = text;
  doc_.Modified = 1;
  UpdateCostTotals(doc_, TripList, Totals);
  return true;
}
