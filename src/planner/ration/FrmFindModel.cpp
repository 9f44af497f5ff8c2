#include "planner/ration/FrmFindModel.h"

#include <cmath>

#include "planner/app/AppStrings.h"
#include "planner/app/Globals.h"
#include "platform/core/SysUtils.h"

namespace {

constexpr double kFloatEqualTolerance = 0.0001;

std::vector<AnsiString> AnsiList(std::initializer_list<const char*> utf8) {
  std::vector<AnsiString> list;
  for (const char* s : utf8) list.push_back(Ansi(s));
  return list;
}

double FieldValue(const TFoodRec& rec, int field) {
  switch (field) {
    case fdAlb:
      return rec.AlbA + rec.AlbV;
    case fdFat:
      return rec.FatA + rec.FatV;
    default:
      return rec.Carb;
  }
}

// The last item of the tree in pre-order.
TMtTreeItem* LastItem(TMtTreeItems* items) {
  TMtTreeItem* item = items->Root()->GetLastChild();
  if (item == nullptr) return nullptr;
  while (TMtTreeItem* last = item->GetLastChild()) item = last;
  return item;
}

// The item after `item`'s subtree in pre-order; nil at the end.
TMtTreeItem* NextAfterSubtree(TMtTreeItem* item) {
  for (TMtTreeItem* i = item; i != nullptr; i = i->GetParent())
    if (TMtTreeItem* next = i->GetNextSibling()) return next;
  return nullptr;
}

}  // namespace

bool CompareInt(int Cond, std::int32_t Value, std::int32_t Target) {
  switch (Cond) {
    case fcEqual: return Value == Target;
    case fcNotEqual: return Value != Target;
    case fcGreater: return Value > Target;
    case fcLess: return Value < Target;
    case fcGreaterEq: return Value >= Target;
    case fcLessEq: return Value <= Target;
    default: return false;
  }
}

bool CompareFloat(int Cond, double Value, double Target) {
  switch (Cond) {
    case fcEqual: return std::fabs(Value - Target) <= kFloatEqualTolerance;
    case fcNotEqual: return !(std::fabs(Value - Target) <= kFloatEqualTolerance);
    case fcGreater: return Value > Target;
    case fcLess: return Value < Target;
    case fcGreaterEq: return Value >= Target;
    case fcLessEq: return Value <= Target;
    default: return false;
  }
}

bool MatchItem(const TFindCondition& Condition, const TMtTreeItem* Item) {
  const TFoodRec* rec = FoodRecOf(Item);
  if (rec == nullptr || rec->Kind != Condition.Kind) return false;
  switch (Condition.Field) {
    case fdName: {
      const bool match = Condition.CaseSens ? StrMatchesMask(Item->Text(), Condition.Text, '?', '*')
                                            : TextMatchesMask(Item->Text(), Condition.Text, '?', '*');
      return Condition.Cond == fcNotEqual ? !match : match;
    }
    case fdVeight:
      return CompareInt(Condition.Cond, rec->Veight, Condition.IntValue);
    case fdCal:
      return CompareInt(Condition.Cond, rec->Cal, Condition.IntValue);
    default:
      return CompareFloat(Condition.Cond, FieldValue(*rec, Condition.Field), Condition.FloatValue);
  }
}

// ---------------------------------------------------------------------------------
// TFindDlgModel

std::vector<AnsiString> TFindDlgModel::ItemTypeItems() { return AnsiList({"продукт", "блюдо"}); }

std::vector<AnsiString> TFindDlgModel::FieldItems() {
  return AnsiList({"наименованием", "весом", "калорийностью", "содерж-ем белков", "содерж-ем жиров",
                   "содерж-ем углеводов"});
}

std::vector<AnsiString> TFindDlgModel::CondItems() const {
  if (field_ == fdName) return AnsiList({"=", "<>"});
  return AnsiList({"=", "<>", ">", "<", ">=", "<="});
}

std::vector<AnsiString> TFindDlgModel::RegionItems() {
  return AnsiList({"вперед (начиная с текущего элемента и до конца раскладки)",
                   "назад (начиная с текущего элемента и до начала раскладки)"});
}

AnsiString TFindDlgModel::Caption() const { return Ansi(replace_ ? "Поиск и замена" : "Поиск"); }
AnsiString TFindDlgModel::RegionCaption() const { return Ansi(replace_ ? "Искать и заменять" : "Искать"); }
AnsiString TFindDlgModel::RepPickCaption() { return Ansi("Заменить на"); }

bool TFindDlgModel::HasCondition() const { return !Trim(condValue_).empty(); }

void TFindDlgModel::SetItemType(int Value) {
  const int type = Value == 1 ? 1 : 0;
  if (type == itemType_) return;
  itemType_ = type;
  ClearReplacement();
}

void TFindDlgModel::SetField(int Value) {
  if (Value < 0 || Value >= kFindFieldCount) return;
  const bool wasName = field_ == fdName, isName = Value == fdName;
  field_ = Value;
  if (wasName != isName) cond_ = fcEqual;
}

void TFindDlgModel::SetCond(int Value) {
  if (Value >= 0 && Value < static_cast<int>(CondItems().size())) cond_ = Value;
}

void TFindDlgModel::SetReplacement(const TFoodRec& Rec, const AnsiString& Name) {
  repRec_ = Rec;
  repName_ = Name;
}

void TFindDlgModel::ClearReplacement() {
  repRec_ = TFoodRec{};
  repName_.clear();
  repValue_.clear();
}

TFindCheck TFindDlgModel::Check() {
  auto refuse = [](const char* utf8, TFindFocus focus) { return TFindCheck{false, Ansi(utf8), focus}; };
  TFindCondition c;
  c.Kind = itemType_ == 1 ? fkDish : fkProduct;
  c.Field = field_;
  c.Cond = cond_;
  c.CaseSens = caseSens_;
  c.Direction = region_;
  switch (field_) {
    case fdName:
      if (condValue_.empty()) return refuse("Наименование для поиска должно быть непустым.", TFindFocus::CondValue);
      c.Text = condValue_;
      break;
    case fdVeight:
    case fdCal:
      if (!TextToInt(Trim(condValue_), c.IntValue))
        return refuse(field_ == fdVeight ? "Значение для поля \"вес\" должно быть целым числом."
                                         : "Значение для поля \"калорийность\" должно быть целым числом.",
                      TFindFocus::CondValue);
      break;
    default: {
      static const char* const kNames[] = {"содержание белков", "содержание жиров", "содержание углеводов"};
      if (!TextToFloat(Trim(condValue_), c.FloatValue))
        return TFindCheck{false,
                          Ansi("Значение для поля \"") + Ansi(kNames[field_ - fdAlb]) +
                              Ansi("\" должно быть вещественным числом."),
                          TFindFocus::CondValue};
      break;
    }
  }
  if (replace_) {
    // Without a replacement every match would become a nameless empty row.
    if (repName_.empty())
      return refuse(itemType_ == 1 ? "Не выбрано блюдо, на которое заменять найденные."
                                   : "Не выбран продукт, на который заменять найденные.",
                    TFindFocus::RepItem);
    c.Replace = true;
    c.RepRec = repRec_;
    c.RepName = repName_;
    c.RepVeight = repRec_.Veight;
    if (itemType_ == 0) {
      repValue_ = Trim(repValue_);
      if (repValue_ == "*") {
        c.KeepVeight = true;
      } else {
        if (!TextToInt(repValue_, c.RepVeight))
          return refuse("Значение для поля \"вес\" должно быть целым числом.", TFindFocus::RepValue);
        if (c.RepVeight < 0)
          return refuse("Значение для поля \"вес\" не может быть отрицательным.", TFindFocus::RepValue);
      }
    }
  }
  condition_ = c;
  checked_ = true;
  return {};
}

// ---------------------------------------------------------------------------------
// TRationFinder

TMtTreeItem* TRationFinder::FirstInDirection() const {
  TMtTreeItems* items = doc_.Items();
  return Condition.Direction == 0 ? items->Root()->GetFirstChild() : LastItem(items);
}

TMtTreeItem* TRationFinder::FindStart() const {
  if (doc_.Items()->Count() == 0) return nullptr;
  TMtTreeItem* focused = doc_.Tree().ItemFocused();
  return focused != nullptr ? focused : FirstInDirection();
}

TMtTreeItem* TRationFinder::FindNextStart() const {
  if (doc_.Items()->Count() == 0) return nullptr;
  TMtTreeItem* focused = doc_.Tree().ItemFocused();
  // After the last match the walk goes on past it; past the end (or the start) there is
  // nothing more to find.
  if (lastFound_ != nullptr && lastFound_ == focused) return Step(lastFound_, false);
  return focused != nullptr ? focused : FirstInDirection();
}

TMtTreeItem* TRationFinder::Step(TMtTreeItem* item, bool skipSubtree) const {
  if (Condition.Direction != 0) return item->GetPrev();
  return skipSubtree ? NextAfterSubtree(item) : item->GetNext();
}

void TRationFinder::Select(TMtTreeItem* item) {
  lastFound_ = item;
  TCustomMtTree& tree = doc_.Tree();
  {
    TMtUpdateBracket bracket(&tree);
    if (!tree.IsRowItem(item)) item->MakeFullyVisible(true);
    // Clear the selection, then select and focus the match.
    doc_.Items()->Iterate(
        false, [](TMtTreeItem* i, int, bool&, void*, TCustomMtTree*) { i->SetState(isSelected, false); }, nullptr);
    tree.SetItemFocused(item);
    if (!item->GetState(isSelected)) item->SetState(isSelected, true);
  }
  if (OnFound) OnFound(item);
}

AnsiString TRationFinder::ConfirmText(const TMtTreeItem* Found) const {
  const TFoodRec* rec = FoodRecOf(Found);
  const std::int32_t found = rec != nullptr ? rec->Veight : 0;
  // A product keeping its weight shows the weight it keeps; a dish its portion's.
  const std::int32_t rep = Condition.Kind == fkProduct && Condition.KeepVeight ? found : Condition.RepVeight;
  return Format(Ansi("Найдено: %s (%d г);\rЗаменить на : %s (%d г) ?"),
                {Found->Text(), found, Condition.RepName, rep});
}

TMtTreeItem* TRationFinder::ReplaceItem(TMtTreeItem* found) {
  TCustomMtTree& tree = doc_.Tree();
  TMtUpdateBracket bracket(&tree);
  TMtTreeItem* parent = found->GetParent();
  TMtTreeItem* item =
      doc_.AddItem(parent, Condition.RepName, &Condition.RepRec, Condition.Kind, Condition.RepRec.Code);
  TFoodRec* rec = FoodRecOf(item);
  if (Condition.Kind == fkProduct) {
    rec->Veight = Condition.KeepVeight ? FoodRecOf(found)->Veight : Condition.RepVeight;
    doc_.UpdateItemRow(item);
  } else {
    if (AddDishComponents) AddDishComponents(item);
    doc_.SumGroup(item, true);
    doc_.RecalcDayList = 1;
  }
  // The new item takes the found one's place.
  item->MoveToIns(parent, found->GetIndex());
  const bool wasFocused = tree.ItemFocused() == found;
  doc_.Items()->Delete(found);
  if (wasFocused || tree.ItemFocused() == nullptr) tree.SetItemFocused(item);
  lastFound_ = item;
  doc_.SumGroup(DayOfItem(item), false);
  doc_.SetRecalcFlags();
  doc_.Modified = 1;
  return item;
}

int TRationFinder::FindItems(TMtTreeItem* Start, IReplaceConfirm& Confirmer) {
  int count = 0;
  if (doc_.Items()->Count() == 0 || Start == nullptr) return 0;
  // The walk ends at the end (or the start) of the ration: it never wraps round.
  TMtTreeItem* item = Start;
  bool changed = false;
  while (item != nullptr) {
    TMtTreeItem* next = nullptr;
    if (MatchItem(Condition, item)) {
      Select(item);
      if (!Condition.Replace) {
        ++count;
        break;
      }
      TReplaceAnswer answer = TReplaceAnswer::Yes;
      if (Confirm) answer = Confirmer.ConfirmReplace(ConfirmText(item));
      if (answer == TReplaceAnswer::Cancel) break;
      if (answer == TReplaceAnswer::No) {
        next = Step(item, false);
      } else {
        if (answer == TReplaceAnswer::YesToAll) Confirm = false;
        TMtTreeItem* replaced = ReplaceItem(item);
        changed = true;
        ++count;
        // Go on past the replacement: it may match the condition itself.
        next = Step(replaced, true);
      }
    } else {
      next = Step(item, false);
    }
    item = next;
  }
  if (changed && OnTotalsChanged) OnTotalsChanged(nullptr);
  return count;
}

AnsiString TRationFinder::ResultMessage(int Count, bool FindNext) const {
  if (Condition.Replace && (!FindNext || Count > 0)) return Format(Ansi("Выполнено замен: %d "), {Count});
  return Count == 0 ? Ansi("Не найдено.") : AnsiString();
}

void TRationFinder::ItemDeleted(const TMtTreeItem* Item) {
  if (Item == lastFound_) lastFound_ = nullptr;
}
