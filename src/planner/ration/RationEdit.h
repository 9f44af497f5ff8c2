// The editing commands of a ration document, without any windowing: adding days, meals,
// dishes (with their components from the dish tables) and products picked from the
// reference tables, deleting, moving, re-weighing, the days and participants of the
// general page, the kind of trip, a new document, and the rules that enable each command.
// TRationEditor makes every decision; the ration window passes the user's input in and
// applies the document state afterwards. The pick-list, the dish tables and the message
// dialogs sit behind interfaces that tests script.
//
// Both ration types are handled here: in a menu by days (type 1) days hold meals and
// products, meals hold dishes and products, dishes hold products; in an average daily
// ration (type 0) days hold only products, and adding, deleting or re-weighing a product
// applies to the product with the same Code in every day.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "planner/app/UserPrompt.h"
#include "planner/ration/RationDoc.h"
#include "planner/ration/RationTabs.h"

// Pages of the pick-list.
enum : int { ppProducts = 0, ppDishes = 1, ppMeals = 2, ppKindsOfTrip = 4 };

// The pick-list as the editor uses it.
class IRefPicker {
 public:
  virtual ~IRefPicker() = default;
  // Shows the page modally; the modal result (mrOk or mrCancel).
  virtual TModalResult Execute(int Page, const AnsiString& Caption) = 0;
  // After Execute: the number of picked rows, their texts, paths and records (a record
  // stays valid until the next call).
  virtual int PickCount() const = 0;
  virtual AnsiString GetItemText(int Index) const = 0;
  virtual AnsiString GetItemPath(int Index, const AnsiString& Separator) const = 0;
  virtual const TFoodRec* GetItemData(int Index) = 0;
};

// A dish's composition in the dish tables.
struct TDishComponent {
  std::int32_t ProdCode = 0;
  std::int32_t Veight = 0;  // g per portion
};
class IDishComposition {
 public:
  virtual ~IDishComposition() = default;
  // The components of the dish in table order, all of them.
  virtual std::vector<TDishComponent> Components(std::int32_t DishCode) = 0;
  // The product row with this CODE: its name and values per 100 g; false when none.
  virtual bool FindProduct(std::int32_t Code, AnsiString& Name, TFoodRec& Rec) = 0;
};

// Which commands of the ration tree may run now.
struct TRationCommands {
  bool AddDay = false, AddMeal = false, AddDish = false, AddProd = false;
  bool Del = false, DelAll = false, MoveUp = false, MoveDown = false;
  bool Cut = false, Copy = false, Paste = false, Find = false, FindNext = false;
  bool EditCell = false, Prop = false;
};

// Range of the participants (1 .. 2147483647) and of the days the general page shows
// (0 .. 2147483647: a version-2 file holds any day counter), and the most days the page adds to a
// document (each day is a row of the tree: a typo of billions would exhaust memory). A
// document that has more days keeps them; the page can only lower them.
inline constexpr std::int32_t kRationMaxMans = std::numeric_limits<std::int32_t>::max();
inline constexpr std::int32_t kRationMaxDaysShown = std::numeric_limits<std::int32_t>::max();
inline constexpr std::int32_t kRationMaxDaysAdded = 999;

// What a new document starts with (the settings' defaults and the limits file).
struct TNewRationDefaults {
  bool DayMenuMode = true;
  AnsiString Author;
  AnsiString TourName;
  std::int32_t Mans = 4;
  std::int32_t Days = 21;
  std::int32_t RefCal = 3100;
  double RefAlb = 150, RefFat = 180, RefCarb = 690;
  TRationLimits Limits;
};

class TRationEditor {
 public:
  TRationEditor(TRationDocument& doc, TRationViews& views, IRefPicker& picker, IDishComposition& dishes,
                IUserPrompt& prompt)
      : doc_(doc), views_(views), picker_(picker), dishes_(dishes), prompt_(prompt) {}

  TRationDocument& Doc() const { return doc_; }

  // The enabling rules. TreeFocused: the ration tree has the keyboard focus; PasteText:
  // the clipboard's text; FindValue: the find dialog's value.
  TRationCommands Commands(bool TreeFocused, const AnsiString& PasteText, const AnsiString& FindValue) const;

  // The focus moved (the tree's focused-item event): remembered as the last focused item.
  void ItemFocused();
  // The target of the add commands: the focused item, else the last focused one.
  TMtTreeItem* Target() const;

  // --- commands (each returns whether the document changed)
  TMtTreeItem* ItemAddDay();
  bool ItemAddMeal() { return AddGroups(ppMeals, fkMeal); }
  bool ItemAddDish() { return AddGroups(ppDishes, fkDish); }
  bool ItemAddProd();
  bool ItemDel();
  // Asks "Удалить из раскладки все строки?" first.
  bool ItemDelAll();
  bool ItemMoveUp() { return Move(-1); }
  bool ItemMoveDown() { return Move(+1); }
  // Copy (and, with Cut, delete as ItemDel does) the focused item with its subtree: the
  // fragment text for the clipboard, empty without a focused item.
  AnsiString CopyItems(bool Cut);
  // Pastes a fragment onto the focused item; false when refused.
  bool PasteItems(std::string_view Text);
  // A drop of Source's drag source onto TargetItem of Target (the same editor or another
  // window's): with DragMode 2 (Shift held) the source item is deleted first, then the
  // fragment is pasted. False when the drop is refused.
  static bool Drop(TRationEditor& Source, int DragMode, TRationEditor& Target, TMtTreeItem* TargetItem);

  // The dish's components from the dish tables, however many there are; a missing
  // product is reported and left out.
  void AddDishComponents(TMtTreeItem* Dish);

  // Weight editing: only the weight of an item whose Flags has bit 1.
  static bool CanEditVeight(const TMtTreeItem* Item);
  // The in-place edit's validation: Text is replaced by the weight the item then has.
  // Not an integer, or the same weight: refused silently. Below 0: refused with a message.
  // Otherwise the weight is set (in type 0, for the product in every day).
  bool ValidateVeight(TMtTreeItem* Item, AnsiString& Text);

  // The general page. The value the document has changes nothing (a field left as it
  // was). Otherwise days below 1 become 1; days are added up to kRationMaxDaysAdded (or
  // the days the document has, when more) or, asking about non-empty ones, deleted from
  // the end; Days ends equal to the day counter.
  bool SetDays(std::int32_t Value);
  // Participants, kept within 1 .. kRationMaxMans; the rows' group weights follow.
  bool SetMans(std::int32_t Value);
  // The kind of trip from the pick-list.
  bool PickTourName();

  // A new document: the defaults, Days empty days, ready and totalled.
  void NewRation(const TNewRationDefaults& Defaults);

  // Recomputes the totals grid (after every change).
  void UpdateTotals() { views_.UpdateTotals(); }

 private:
  bool AddGroups(int page, std::int32_t kind);
  int AddProductsTo(TMtTreeItem* group, const std::vector<std::pair<AnsiString, TFoodRec>>& picks);
  bool Move(int direction);
  void SetVeight(TMtTreeItem* item, std::int32_t veight);
  void Changed();  // recalculation flags, modified flag, totals
  std::vector<std::pair<AnsiString, TFoodRec>> Picks();

  TRationDocument& doc_;
  TRationViews& views_;
  IRefPicker& picker_;
  IDishComposition& dishes_;
  IUserPrompt& prompt_;
};

// The close question of a modified document: "Раскладка "<name>" была изменена.\r
// Сохранить изменения?" (Yes, No, Cancel), name = the file name without directory or the
// caption. Yes runs Save (which saves under the file name or asks for one) and lets the
// window close only when the document was saved; No closes; Cancel keeps it open. An
// unmodified document closes without a question.
bool QueryCloseRation(const TRationDocument& Doc, IUserPrompt& Prompt, const std::function<bool()>& Save);

// The untitled-document caption: "Раскладка %2.2d" with the process-wide counter, which
// each call advances.
AnsiString NextUntitledCaption();
