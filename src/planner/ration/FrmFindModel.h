// Find and replace over a ration document, without windows. TFindDlgModel is the state of
// the find dialog (searched kind, field, condition, value, replacement, direction) and
// decides everything the dialog shows and whether OK may close it; TFindCondition is the
// checked condition it hands over; TRationFinder walks the ration tree in pre-order from
// an item, selects matches and, in replace mode, replaces them one by one after asking
// through IReplaceConfirm.
//
// Invariants of the walk:
// - a replacement is never visited by the walk that made it (it may match the condition
//   itself), so a replace always ends;
// - the walk goes from its start to the end (or the start) of the ration, as the
//   direction's caption promises, and never goes round;
// - LastFound is nil or an item of the tree: the window passes every deletion on to
//   ItemDeleted.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "planner/ration/FoodRec.h"
#include "planner/ration/RationDoc.h"
#include "platform/core/AnsiText.h"

// Fields a condition looks at: 0 the item text, 1 Veight, 2 Cal, 3 AlbA + AlbV,
// 4 FatA + FatV, 5 Carb.
enum TFindField : int { fdName = 0, fdVeight, fdCal, fdAlb, fdFat, fdCarb };
inline constexpr int kFindFieldCount = 6;
// Conditions by index: "=", "<>", ">", "<", ">=", "<=" (names take the first two only).
enum TFindCond : int { fcEqual = 0, fcNotEqual, fcGreater, fcLess, fcGreaterEq, fcLessEq };

// The checked condition and replacement.
struct TFindCondition {
  std::int32_t Kind = fkProduct;  // fkProduct or fkDish
  int Field = fdName;
  int Cond = fcEqual;
  AnsiString Text;            // field 0: the mask ("?" one character, "*" any run)
  std::int32_t IntValue = 0;  // fields 1, 2
  double FloatValue = 0;      // fields 3..5
  bool CaseSens = false;
  bool Replace = false;
  // The replacement (replace mode): its record, its name and, for a product, the weight:
  // KeepVeight ("*") keeps each found item's weight, else RepVeight.
  TFoodRec RepRec{};
  AnsiString RepName;
  bool KeepVeight = false;
  std::int32_t RepVeight = 0;
  int Direction = 0;  // 0 forward, 1 backward
};

// Item OP Target for the condition index (see TFindCond); false for another index.
bool CompareInt(int Cond, std::int32_t Value, std::int32_t Target);
// The same on floating values, "=" meaning |Value - Target| <= 0.0001.
bool CompareFloat(int Cond, double Value, double Target);
// Whether the item matches: false without a record or for another kind.
bool MatchItem(const TFindCondition& Condition, const TMtTreeItem* Item);

// ---------------------------------------------------------------------------------
// The find dialog's state

// Which control OK focuses when it refuses.
enum class TFindFocus { None, CondValue, RepItem, RepValue };

struct TFindCheck {
  bool Ok = true;
  AnsiString Message;  // 1251; empty when Ok
  TFindFocus Focus = TFindFocus::None;
};

class TFindDlgModel {
 public:
  TFindDlgModel() = default;

  // --- what the controls hold
  int ItemType() const { return itemType_; }  // 0 product, 1 dish
  int Field() const { return field_; }
  int Cond() const { return cond_; }
  const AnsiString& CondValue() const { return condValue_; }
  bool CaseSens() const { return caseSens_; }
  bool Replace() const { return replace_; }
  const AnsiString& RepName() const { return repName_; }
  const AnsiString& RepValue() const { return repValue_; }
  const TFoodRec& RepRec() const { return repRec_; }
  int Region() const { return region_; }

  // --- what the dialog shows (texts in 1251)
  static std::vector<AnsiString> ItemTypeItems();
  static std::vector<AnsiString> FieldItems();
  std::vector<AnsiString> CondItems() const;  // two for the name, six for a number
  static std::vector<AnsiString> RegionItems();
  AnsiString Caption() const;        // "Поиск" / "Поиск и замена"
  AnsiString RegionCaption() const;  // "Искать" / "Искать и заменять"
  bool CaseSensVisible() const { return field_ == fdName; }
  bool RepValueVisible() const { return itemType_ == 0; }  // the weight and its label
  bool RepEnabled() const { return replace_; }
  // The colour of the replacement controls: window or button face (system colours).
  TColor RepColor() const { return replace_ ? 0x80000005 : 0x8000000F; }
  // The pick-list page that chooses the replacement: 0 products, 1 dishes.
  int RepPickPage() const { return itemType_; }
  static AnsiString RepPickCaption();  // "Заменить на"
  // Find Next may run: a condition value that is not blank.
  bool HasCondition() const;

  // --- input
  // Another kind empties the replacement.
  void SetItemType(int Value);
  // Between the name and a number the condition list changes and "=" is chosen.
  void SetField(int Value);
  void SetCond(int Value);
  void SetCondValue(const AnsiString& Value) { condValue_ = Value; }
  void SetCaseSens(bool Value) { caseSens_ = Value; }
  void SetReplace(bool Value) { replace_ = Value; }
  void SetRepValue(const AnsiString& Value) { repValue_ = Value; }
  void SetRegion(int Value) { region_ = Value == 1 ? 1 : 0; }
  // A row picked in the pick-list: its record and text.
  void SetReplacement(const TFoodRec& Rec, const AnsiString& Name);
  // Backspace in the replacement field: record zeroed, name and weight emptied.
  void ClearReplacement();

  // --- OK
  // Checks the input in the dialog's order; on success Condition() holds it.
  TFindCheck Check();
  const TFindCondition& Condition() const { return condition_; }
  // A condition has passed the check (Find Next may use it).
  bool HasCheckedCondition() const { return checked_; }

 private:
  int itemType_ = 0;
  int field_ = fdName;
  int cond_ = fcEqual;
  AnsiString condValue_;
  bool caseSens_ = false;
  bool replace_ = false;
  AnsiString repName_;
  AnsiString repValue_;
  TFoodRec repRec_{};
  int region_ = 0;
  TFindCondition condition_;
  bool checked_ = false;
};

// ---------------------------------------------------------------------------------
// The walk

enum class TReplaceAnswer { Yes, No, Cancel, YesToAll };

// The question before each replacement (confirmation with Yes, No, Cancel, Yes to all).
class IReplaceConfirm {
 public:
  virtual ~IReplaceConfirm() = default;
  virtual TReplaceAnswer ConfirmReplace(const AnsiString& Msg) = 0;
};

class TRationFinder {
 public:
  // The document (and its tree) must outlive the finder.
  explicit TRationFinder(TRationDocument& Doc) : doc_(Doc) {}

  TFindCondition Condition;
  // Ask before each replacement; set by every search from the dialog, cleared by the
  // answer "Yes to all", kept by Find Next.
  bool Confirm = true;
  TMtTreeItem* LastFound() const { return lastFound_; }

  // --- what the window supplies
  // Adds the components of a dish that replaced another (from the dish tables).
  std::function<void(TMtTreeItem* Dish)> AddDishComponents;
  // A match became the focused item: the window scrolls it to the top.
  std::function<void(TMtTreeItem* Item)> OnFound;
  // The sums changed by a replacement: the window recomputes the totals.
  TNotifyEvent OnTotalsChanged;

  // Where a search from the dialog starts: the focused item, else the first (forward) or
  // last (backward) item; nil for an empty tree.
  TMtTreeItem* FindStart() const;
  // Where Find Next starts: after (before) the last found item when it is the focused
  // one (nil past the end); else the focused item; else the first (last) item.
  TMtTreeItem* FindNextStart() const;
  // Walks from Start (inclusive) and returns the number of matches handled: in find mode
  // the first match is selected and focused (1), in replace mode the matches are replaced
  // as the answers say.
  int FindItems(TMtTreeItem* Start, IReplaceConfirm& Confirmer);
  // The question before a replacement.
  AnsiString ConfirmText(const TMtTreeItem* Found) const;
  // The information message after a search (empty when there is none to show):
  // "Выполнено замен: %d " after a search in replace mode (after Find Next only when it
  // replaced something), else "Не найдено." for a search without a match.
  AnsiString ResultMessage(int Count, bool FindNext = false) const;

  // The window's item-deletion handler passes every deleted item on.
  void ItemDeleted(const TMtTreeItem* Item);

 private:
  // The item after `item` in the walk's direction, nil at the end.
  TMtTreeItem* Step(TMtTreeItem* item, bool skipSubtree) const;
  TMtTreeItem* FirstInDirection() const;
  void Select(TMtTreeItem* item);
  TMtTreeItem* ReplaceItem(TMtTreeItem* found);

  TRationDocument& doc_;
  TMtTreeItem* lastFound_ = nullptr;
};
