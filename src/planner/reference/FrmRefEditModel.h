// The reference editor without windows: five pages (products, dishes, meals, kinds of
// trip, and the limits of "params.ini"), each a tree with its TRef; the commands with
// their enabling, the check of every edited cell, dish compositions with their sums, the
// limits page, saving one or every changed table, and the question on closing.
//
// What must hold:
// - every row of the first four trees carries a block made by TRef or by this model's
//   new-row handlers; the dish tree's components (Kind 0) sit directly under their dish,
//   and a dish's values are always RecalcDish of its components after a change;
// - a page's TRef is Modified exactly when the page holds changes that are not written;
//   a save that fails leaves it Modified (the change is offered again);
// - the limits page never goes through TRef Load/Save: its rows are the eight limits
//   and SaveParams writes them to "params.ini".
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "controls/tree/MtTree.h"
#include "planner/ration/RationRating.h"
#include "planner/reference/Ref.h"
#include "planner/reference/RefItems.h"

class IUserPrompt;
class IRefPicker;

// Pages in their order.
enum TRefEditPage : int { rpProd = 0, rpDish, rpMeal, rpEnergo, rpParam };
inline constexpr int kRefEditPageCount = 5;

// The eight limits of "params.ini", section "Limits", in the file's key order.
inline constexpr int kParamCount = 8;
// ParamKeys[i], ParamCaptions[i] (1251; four end with a blank), ParamHints[i].
AnsiString ParamKey(int i);
AnsiString ParamCaption(int i);
AnsiString ParamHint(int i);
double LimitValue(const TRationLimits& Limits, int i);
void SetLimitValue(TRationLimits& Limits, int i, double Value);
// The value text of a limit: "%3.2f", MaxAbsEnDef "%d" of its rounded value.
AnsiString LimitText(const TRationLimits& Limits, int i);
// Writes the eight limits to the section "Limits" of FileName as floats (an atomic
// save); raises when the file cannot be written.
void WriteLimitsFile(const AnsiString& FileName, const TRationLimits& Limits);

// Enabled state of the editor's actions.
struct TRefEditActions {
  bool FileSave = false, FileSaveAll = false;
  bool ItemsAddMetaFolder = false, ItemsAddFolder = false, ItemsAddItem = false, ItemsAddComponent = false;
  bool ItemsDelete = false, ItemsDeleteAll = false, ItemsMoveUp = false, ItemsMoveDown = false;
};

class TRefEditModel {
 public:
  // RefDir is the reference directory (with its separator). Trees: the window's tree
  // controls by page (each must outlive the model), or nil for trees of the model's own.
  // Limits are the program's current limits: the limits page shows them and SaveParams
  // sets them. Prompt and PickList must outlive the model; PickList may be nil (no
  // components can then be added).
  TRefEditModel(const AnsiString& RefDir, TRationLimits& Limits, IUserPrompt& Prompt, IRefPicker* PickList,
                const std::array<TCustomMtTree*, kRefEditPageCount>& Trees = {});
  ~TRefEditModel();
  TRefEditModel(const TRefEditModel&) = delete;
  TRefEditModel& operator=(const TRefEditModel&) = delete;

  // Fired after a table was saved, with the pick-list's page of it (0 products, 1
  // dishes, 2 meals, 4 kinds of trip): the pick-list reloads it.
  std::function<void(int Page)> OnRefSaved;
  // A new row lies where the window should show it (scroll it to the top when it lies
  // below the visible page).
  std::function<void(TCustomMtTree& Tree, TMtTreeItem* Item)> OnNewRow;

  // The window's create step: header sections of every tree, the four tables loaded in
  // order (a table that cannot be read is reported and left empty), the limits page.
  // Pages whose files cannot be written here are shown read-only, with one message.
  void Create();
  // The page cannot be saved here (its folder or file is read-only): nothing on it can
  // be edited.
  bool ReadOnly(int Page) const;
  // Reads the page's table again; what was changed in the window is dropped.
  void ReloadPage(int Page);

  TCustomMtTree& Tree(int Page) const { return *trees_[static_cast<std::size_t>(Page)]; }
  TRef& Ref(int Page) const { return *refs_[static_cast<std::size_t>(Page)]; }
  int ActivePage() const { return activePage_; }
  void SetActivePage(int Page);
  TRef& CurrentRef() const { return Ref(activePage_); }
  static AnsiString PageCaption(int Page);
  static AnsiString TreeHint(int Page);
  // "Справочник по %s" forms: "продуктам", "блюдам", ...
  static AnsiString PageDative(int Page);

  // --- actions
  TRefEditActions Actions() const;
  void FileSave();
  void FileSaveAll();
  void ItemsAddMetaFolder();
  void ItemsAddFolder();
  void ItemsAddItem();
  void ItemsAddComponent();
  void ItemsDelete();
  void ItemsDeleteAll();
  void ItemsMoveUp();
  void ItemsMoveDown();
  // The close question; true when the window may close.
  bool CloseQuery();

  // --- cells
  // The column a key starts editing in, per page (the tree's selected column).
  int SelectColumn(int Page) const { return selectColumn_[static_cast<std::size_t>(Page)]; }
  void SetSelectColumn(int Page, int Section);
  // Left / Right: the nearest visible section that way; false when there is none.
  bool MoveSelectColumn(int Page, int Delta);
  // Whether typing Key in a section of this type starts in-place editing.
  static bool KeyStartsEdit(TFieldTypes Type, unsigned char Key);
  // May the cell be edited (dishes: a dish's name and a component's weight only).
  bool CanEdit(int Page, const TMtTreeItem* Item, int Section) const;
  // The typed text of a cell: checked (a refusal shows its message and changes nothing),
  // then stored (numbers trimmed) and the table marked changed; a component's new weight
  // recomputes its dish. True when accepted.
  bool EditCell(int Page, TMtTreeItem* Item, int Section, const AnsiString& Text);
  // The text a cell shows: the item text for the main column, else its column text.
  static AnsiString CellText(const TCustomMtTree& Tree, const TMtTreeItem* Item, int Section);

  // --- limits page
  // Fills the page with the program's limits; with Faulty, they are read from the limits
  // file first (the keys of faulty values go to Faulty). Limits that the file no longer
  // holds are saved only after the question about another user's changes.
  void LoadParams(std::vector<AnsiString>* Faulty = nullptr);
  // Raises when "params.ini" cannot be written.
  void SaveParams();
  // The limits page's hint for a focused row (the first five rows); empty otherwise.
  AnsiString ParamRowHint(const TMtTreeItem* Item) const;

  AnsiString RefDir() const { return refDir_; }

 private:
  void SetupSections(int page);
  TMtTreeItem* NewFolder(TMtTreeItem* parent);
  // Saves one page; a failure is reported and false comes back (the page stays changed).
  // A table cut short is written only when the user confirms; one that another user
  // changed since it was read is not written, and the user may reload it.
  bool SavePage(int page);
  void TellReadOnly();
  void RefSaved(TRef* sender);
  void NewProduct(TRef* sender, TMtTreeItem* item, const TRefItemRec& rec);
  void NewMeal(TRef* sender, TMtTreeItem* item, const TRefItemRec& rec);
  void FocusNew(int page, TMtTreeItem* item);
  // The products under Root (Root itself included; nil: the whole products page) that
  // dish compositions of the dish page use, named with those dishes ("Продукт «...»
  // входит в состав блюд: ...." and the question Tail, or TailMany for several products);
  // empty when no dish uses any of them.
  AnsiString UsedProductsQuestion(const TMtTreeItem* Root, const char* Tail, const char* TailMany) const;

  AnsiString refDir_;
  TRationLimits& limits_;
  TFileStamp paramsStamp_;  // the limits file as the limits page last read or wrote it
  IUserPrompt& prompt_;
  IRefPicker* pickList_;
  std::array<std::unique_ptr<TCustomMtTree>, kRefEditPageCount> ownTrees_;
  std::array<TCustomMtTree*, kRefEditPageCount> trees_{};
  std::array<std::unique_ptr<TRef>, kRefEditPageCount> refs_;
  std::unique_ptr<TRefDishTable> dishTable_;
  std::array<int, kRefEditPageCount> selectColumn_{};
  int activePage_ = rpProd;
};
