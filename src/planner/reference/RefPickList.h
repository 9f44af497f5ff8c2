// The pick-list as the dialogs see it: choose rows of a reference table on a page
// (0 products, 1 dishes, 2 meals, 4 kinds of trip) and read what was picked. The
// program's pick-list window answers it; tests script it.
#pragma once

#include "planner/ration/FoodRec.h"
#include "platform/core/AnsiText.h"

class IRefPickList {
 public:
  virtual ~IRefPickList() = default;
  // Shows the page modally (Caption empty: the page's own caption); the modal result,
  // mrOk or mrCancel (an int, so that windows and models share the interface).
  virtual int Execute(int Page, const AnsiString& Caption) = 0;
  // After Execute: the number of picked rows.
  virtual int PickCount() const = 0;
  // The texts of the picked row Index and its ancestors, top-level first, joined by
  // Separator; empty outside 0 .. PickCount - 1.
  virtual AnsiString GetItemPath(int Index, const AnsiString& Separator) const = 0;
  // The picked row's text; empty outside the range.
  virtual AnsiString GetItemText(int Index) const = 0;
  // The picked row's 64-byte record (a kind of trip: Cal the energy, AlbA, FatA, Carb the
  // needs), valid until the next call; nil outside the range.
  virtual const TFoodRec* GetItemData(int Index) = 0;
};
