// The pick-list's model, without any windowing: the four reference tables ("products",
// "dish", "meal", "energo") bound to their trees, the active page, the selection rules
// (folders are never picked), the count of picks, the picked rows in table order with
// their paths and food records, the header sort, and the limits file "params.ini". The
// pick-list window shows the trees and passes clicks and its modal result in; tests drive
// the same calls without a window.
//
// A table that cannot be loaded is reported (the message names the table) and leaves its
// page empty: the program still starts, so that the reference directory can be fixed in
// the options.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "planner/ration/RationEdit.h"
#include "planner/ration/RationRating.h"
#include "planner/reference/Ref.h"

class IUserPrompt;

// The limits file: "params.ini" in the reference directory, section "Limits". A missing
// file or key gives the default. So does a value that is no number or lies outside what
// a limit can be (the shares MaxRelEnDef, AlbAVmin, FatAVMin and FatAVmax 0..1,
// MaxAbsEnDef 0..kMaxAbsEnDefLimit kcal, the ratio parts 0..kMaxRatioPart): its key then
// goes to Faulty, for the warning LimitsWarning words.
inline constexpr const char* kLimitsFileName = "params.ini";
inline constexpr const char* kLimitsSection = "Limits";
inline constexpr double kMaxAbsEnDefLimit = 10'000'000;
inline constexpr double kMaxRatioPart = 1000;
TRationLimits LoadLimits(const AnsiString& RefDir, std::vector<AnsiString>* Faulty = nullptr);
// Whether Value can be the limit of the key Key (caseless) as above; any value for other keys.
bool LimitInRange(std::string_view Key, double Value);
// "В файле <file> неверные значения параметров: <keys>. Вместо них взяты значения по
// умолчанию."; empty without faulty keys.
AnsiString LimitsWarning(const AnsiString& RefDir, const std::vector<AnsiString>& Faulty);

inline constexpr int kRefPageCount = 4;  // pages 0 products, 1 dishes, 2 meals, 3 kinds of trip
// The tree page of a pick-list page number (0, 1, 2, 4); -1 for other numbers.
int RefPageOfPick(int Page);

class TRefMenu : public IRefPicker, public IDishComposition {
 public:
  // Binds the four trees (products, dishes, meals, kinds of trip), which must outlive the
  // object, gives them their header sections and loads the tables of RefDir; the limits
  // are read. Failures of a table go to Prompt.
  TRefMenu(const std::array<TCustomMtTree*, kRefPageCount>& Trees, const AnsiString& RefDir, IUserPrompt& Prompt);
  ~TRefMenu() override;

  TRationLimits Limits;

  TRef& Ref(int TreePage) const { return *refs_[static_cast<std::size_t>(TreePage)]; }
  TCustomMtTree& TreeOf(int TreePage) const { return *trees_[static_cast<std::size_t>(TreePage)]; }
  // The tree page shown by the last BeginExecute; -1 before the first.
  int CurrentPage() const { return current_; }
  // The window's caption for a pick-list page with no caption of its own.
  static AnsiString PageCaption(int Page);
  // The hint of the tree of a page of the reference tables (0 products .. 3 kinds of trip).
  static AnsiString TreeHint(int RefPage);
  // Help context of a page: 2220 for the kinds of trip, 2230 otherwise.
  static int HelpContext(int Page) { return Page == ppKindsOfTrip ? 2220 : 2230; }

  // --- the modal run, step by step (the window shows itself between them)
  // The show handler: activates the page, clears its selection and the counters.
  void BeginExecute(int Page);
  // The tree's selection changed for Item; a row that may not be picked is deselected
  // at once, a pick is counted; the row's box follows its pick.
  void ItemSelectedChange(TMtTreeItem* Item);
  // A click on a row's check box: in the lists of many picks the box is the row's pick;
  // in the kinds of trip a checked box focuses its row.
  void ItemCheckClick(TMtTreeItem* Item);
  // Whether a row of a tree page may be picked (and shows a check box): products that
  // are not groups, dishes and meals without flags, kinds of trip without sub-rows.
  static bool Pickable(int TreePage, const TMtTreeItem* Item);
  // A double click: a focused row that is not a folder is selected and counted; true when
  // the window is to close with OK.
  bool DoubleClick();
  // The close request with the modal result: false (the window stays open, with the
  // warning "Нельзя выбирать раздел целиком") when a folder of kinds of trip is chosen.
  bool CloseQuery(TModalResult Result);
  // After the window closed: with OK the picked rows are collected.
  TModalResult EndExecute(TModalResult Result);
  // Header click on a section of the active tree: text, number or floating comparison,
  // the mark toggles; section 0 sorts the whole tree, others within each top-level group.
  void SortByColumn(int TreePage, int Section);
  // Selects (Mode > 0), deselects (< 0) or toggles (0) every item; check boxes follow.
  void CheckAll(int TreePage, int Mode);
  // Reloads the table of a pick-list page after the reference editor saved it.
  void ReloadRef(int Page);
  // The limits of the reference directory RefDir, before they are opened there (the
  // reference editor): when Limits were read from another directory (the options changed
  // it), they are read from RefDir's limits file, faulty values named in a warning. The
  // tables stay those loaded at start-up.
  void UseLimitsOf(const AnsiString& RefDir);

  // --- IRefPicker: a scripted window runs BeginExecute, then the scripted picks.
  // The window sets this to run its modal loop; without it Execute answers Cancel.
  std::function<TModalResult(TRefMenu& Menu, int Page, const AnsiString& Caption)> OnShowModal;
  TModalResult Execute(int Page, const AnsiString& Caption) override;
  int PickCount() const override { return pickCount_; }
  AnsiString GetItemText(int Index) const override;
  AnsiString GetItemPath(int Index, const AnsiString& Separator) const override;
  const TFoodRec* GetItemData(int Index) override;
  const std::vector<TMtTreeItem*>& Picked() const { return picked_; }

  // --- IDishComposition over "dishcomp" (read when asked; a table that cannot be read
  // gives no components) and the loaded products.
  std::vector<TDishComponent> Components(std::int32_t DishCode) override;
  bool FindProduct(std::int32_t Code, AnsiString& Name, TFoodRec& Rec) override;

 private:
  void Forget(TMtTreeItem* item);
  // Limits from the limits file of RefDir; faulty values are named in a warning.
  void ReadLimits(const AnsiString& RefDir);
  // Loads a tree page's table (a failure is reported) and shows the boxes of the rows.
  void Load(int TreePage);
  int PageOfTree(const TCustomMtTree* Tree) const;

  std::array<TCustomMtTree*, kRefPageCount> trees_;
  std::array<std::unique_ptr<TRef>, kRefPageCount> refs_;
  IUserPrompt& prompt_;
  int current_ = -1;
  int pickCount_ = 0;
  std::vector<TMtTreeItem*> picked_;
  TFoodRec itemData_{};
  AnsiString refDir_;
  AnsiString limitsDir_;  // the directory whose limits file Limits were read from
};
