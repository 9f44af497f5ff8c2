// What the planner's windows make of reference rows: the item-load handlers of the
// pick-list (64-byte food records with the values of a product, meal or dish) and the
// dish table as the reference editor edits it (dishes with their components from
// "dishcomp", per-portion sums, and the composition written back on save). No windows
// here: the windows install these handlers on their TRef objects.
#pragma once

#include <cstdint>
#include <functional>

#include "planner/reference/Ref.h"

class IUserPrompt;

// The food record of an item on a tree whose handlers attach 64-byte blocks; nil for
// nil or an item without one.
inline TFoodRec* RefFoodRecOf(const TMtTreeItem* Item) {
  return Item != nullptr ? static_cast<TFoodRec*>(Item->Data) : nullptr;
}

// A 64-byte block from the record's values: Code, Owner, Flags and Kind from Rec, Cal and
// Veight from the integer fields "CAL" and "VEIGHT", the nutrients from "ALBA", "ALBV",
// "FATA", "FATV", "CARB"; a field the table lacks reads as 0.
TFoodRec* NewFoodRecFromTable(TDataSet& DataSet, const TRefItemRec& Rec);
// Text of the field, empty when the table lacks it.
AnsiString RefFieldText(TDataSet& DataSet, const char* Name);

// Draws a folder bold when the TRef's FolderStyle is on.
void SetRefFolderStyle(const TRef& Ref, TMtTreeItem* Item);

// Pick-list, products and meals: the block, the text "NAME", and four column texts:
// energy "%d", protein (AlbA + AlbV), fat (FatA + FatV), carbohydrates "%3.2f"; a
// folder gets four empty ones.
void LoadProdMealItem(TRef* Sender, TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item);
// Pick-list, dishes (values of one portion): weight, energy and energy per 100 g "%d"
// (three empty texts for a weight of 0 or less), then protein, fat, carbohydrates
// "%3.2f"; a folder gets six empty ones.
void LoadDishItem(TRef* Sender, TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item);

// The column texts of the editor's dish tree: a dish shows its stored sums, a component
// the values of its weight (energy and weight "%d", the five nutrients "%3.2f"). Nothing
// for a folder or an item without block.
void UpdateDishColumns(TMtTreeItem* Item);
// The dish's weight, energy and nutrients as the sums over its direct components
// (Kind 0); each component's energy rounded by itself, halves to even.
void RecalcDish(TMtTreeItem* Dish);

// The editor's dish table: installs its handlers on the TRef of "dish", whose tree shows
// the sections NAME, CAL, VEIGHT, ALBA, ALBV, FATA, FATV, CARB. Loading reads every
// dish's components from "dishcomp" and "products" in the same directory; saving writes
// the dishes to "dish" and the components to "dishcomp", as one save of both.
class TRefDishTable {
 public:
  // Prompt shows the missing-product errors; both must outlive the object.
  TRefDishTable(TRef& Ref, IUserPrompt& Prompt);
  // Takes its handlers off the TRef, which then loads and saves with its defaults.
  ~TRefDishTable();
  TRefDishTable(const TRefDishTable&) = delete;
  TRefDishTable& operator=(const TRefDishTable&) = delete;

  // Fired after both tables are saved (the editor refreshes the pick-list).
  TRefNotifyEvent OnSaved;

  // A dish or folder row: a 64-byte block of Kind 1 with no values, the text "NAME",
  // folders bold; no column texts yet.
  void refDishItemLoad(TRef* Sender, TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item);
  // Adds each dish's components in "dishcomp" order, as last children of the dish and to
  // the loaded items, with the product's values and name; a product code that "products"
  // lacks gives the error box and is left out. Then the dish's sums and columns.
  void refDishAfterLoad(TRef* Sender);
  // A row made by TRef::AddItem: a 64-byte block of Kind 1, the text "Новое блюдо".
  void NewDish(TRef* Sender, TMtTreeItem* Item, const TRefItemRec& Rec);
  // Only dishes and dish folders (Kind 1) go into "dish".
  void refDishBeforeItemSave(TRef* Sender, TMtTreeItem* Item, bool& Accept);
  // "dishcomp" saved as one with "dish" (TRef::OnSaveCompanion; backup and safe rewrite as
  // for every table): one record per component in tree order. When the save fails,
  // neither table is written, the TRef stays modified and the error passes on.
  TRefCompanionSave CompositionSave(TRef* Sender);
  // After both tables are saved: OnSaved.
  void refDishAfterSave(TRef* Sender);

  AnsiString CompFileName() const;      // the directory of "dish" + "dishcomp"
  AnsiString ProductsFileName() const;  // the directory of "dish" + "products"

 private:
  TRef& ref_;
  IUserPrompt& prompt_;
  TRefTableStamp compStamp_;  // "dishcomp" as the last load read it or save wrote it
};
