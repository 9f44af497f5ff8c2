#include "planner/ration/RationEdit.h"

#include <algorithm>
#include <limits>

#include "planner/app/Globals.h"
#include "planner/ration/RationClip.h"
#include "platform/core/Files.h"
#include "platform/core/AnsiText.h"
#include "platform/core/SysUtils.h"

namespace {

std::int32_t KindOf(const TMtTreeItem* item) {
  const TFoodRec* rec = FoodRecOf(item);
  return rec != nullptr ? rec->Kind : fkRefRow;
}

bool HasFlag(const TMtTreeItem* item, std::int32_t flag) {
  const TFoodRec* rec = FoodRecOf(item);
  return rec != nullptr && (rec->Flags & flag) != 0;
}

std::vector<TMtTreeItem*> TopLevelDays(const TRationDocument& doc) {
  std::vector<TMtTreeItem*> days;
  const TMtTreeItem* root = doc.Items()->Root();
  for (int i = 0; i < root->GetChildrenCount(); ++i)
    if (KindOf(root->GetChildren(i)) == fkDay) days.push_back(root->GetChildren(i));
  return days;
}

// The direct child product of group with this Code; nil when none.
TMtTreeItem* ChildProduct(TMtTreeItem* group, std::int32_t code) {
  for (int i = 0; i < group->GetChildrenCount(); ++i) {
    TMtTreeItem* c = group->GetChildren(i);
    const TFoodRec* rec = FoodRecOf(c);
    if (rec != nullptr && rec->Kind == fkProduct && rec->Code == code) return c;
  }
  return nullptr;
}

}  // namespace

bool QueryCloseRation(const TRationDocument& Doc, IUserPrompt& Prompt, const std::function<bool()>& Save) {
  if (Doc.Modified == 0) return true;
  const AnsiString name = Doc.FileName.empty() ? Doc.Caption : ExtractFileName(Doc.FileName);
  const TModalResult r =
      Prompt.MessageDlg(Ansi("Раскладка \"") + name + Ansi("\" была изменена.\rСохранить изменения?"),
                        TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel);
  if (r == mrNo) return true;
  if (r != mrYes) return false;
  // A failed or cancelled save keeps the window, and the edits, open.
  return Save() && Doc.Modified == 0;
}

AnsiString NextUntitledCaption() {
  static std::int32_t counter = 0;
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
  return Format(Ansi("Раскладка %2.2d"), {counter});
}

// ---------------------------------------------------------------------------------

TRationCommands TRationEditor::Commands(bool TreeFocused, const AnsiString& PasteText,
                                        const AnsiString& FindValue) const {
  TRationCommands c;
  c.Prop = true;
  if (!TreeFocused) return c;
  c.AddDay = true;
  c.DelAll = doc_.Items()->Count() > 0;
  c.Cut = true;
  c.Copy = true;
  // Without a focused item (an empty ration, say) days can still be pasted: they go last.
  TMtTreeItem* focused = doc_.Tree().ItemFocused();
  c.Paste = focused == nullptr || CanPaste(PasteText, focused);
  if (focused == nullptr) return c;
  c.Del = true;
  c.Find = true;
  c.FindNext = !Trim(FindValue).empty();
  c.MoveUp = focused->GetPrevSibling() != nullptr;
  c.MoveDown = focused->GetNextSibling() != nullptr;
  c.EditCell = CanEditVeight(focused);
  const bool dayMenu = doc_.RationType() == rtDayMenu;
  switch (KindOf(focused)) {
    case fkDay:
      c.AddProd = true;
      c.AddMeal = dayMenu;
      break;
    case fkMeal:
      c.AddDish = dayMenu;
      c.AddProd = dayMenu;
      break;
    case fkDish:
      c.AddProd = dayMenu;
      break;
    default:
      break;
  }
  return c;
}

void TRationEditor::ItemFocused() {
  if (TMtTreeItem* f = doc_.Tree().ItemFocused()) doc_.LastFocused = f;
}

TMtTreeItem* TRationEditor::Target() const {
  TMtTreeItem* f = doc_.Tree().ItemFocused();
  return f != nullptr ? f : doc_.LastFocused;
}

void TRationEditor::Changed() {
  doc_.SetRecalcFlags();
  doc_.Modified = 1;
  UpdateTotals();
}

// ---------------------------------------------------------------------------------

TMtTreeItem* TRationEditor::ItemAddDay() {
  TCustomMtTree& tree = doc_.Tree();
  TMtTreeItem* day;
  {
    TMtUpdateBracket bracket(&tree);
    if (TMtTreeItem* f = tree.ItemFocused()) f->SetState(isSelected, false);
    day = doc_.AddItem(Target(), AnsiString(), nullptr, fkDay, 0);
    doc_.Days = doc_.DayCounter;
    tree.SetItemFocused(day);
    if (!day->GetState(isSelected)) tree.SetSelected(day);
    doc_.RenumberDays();
  }
  doc_.LastFocused = day;
  UpdateTotals();
  return day;
}

std::vector<std::pair<AnsiString, TFoodRec>> TRationEditor::Picks() {
  std::vector<std::pair<AnsiString, TFoodRec>> picks;
  for (int i = 0; i < picker_.PickCount(); ++i)
    if (const TFoodRec* rec = picker_.GetItemData(i)) picks.emplace_back(picker_.GetItemText(i), *rec);
  return picks;
}

bool TRationEditor::AddGroups(int page, std::int32_t kind) {
  TMtTreeItem* target = Target();
  if (target == nullptr) return false;
  if (picker_.Execute(page, AnsiString()) != mrOk || picker_.PickCount() <= 0) return false;
  const auto picks = Picks();
  TMtTreeItem* last = nullptr;
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    for (const auto& [text, rec] : picks) {
      if (doc_.FindChildByCode(target, kind, false, rec.Code) != nullptr) continue;
      last = doc_.AddItem(target, text, &rec, kind, rec.Code);
      target->SetExpanded(true);
      if (kind == fkDish) AddDishComponents(last);
    }
    if (last != nullptr) doc_.SumGroup(DayOfItem(last), false);
  }
  if (last == nullptr) return false;
  Changed();
  return true;
}

void TRationEditor::AddDishComponents(TMtTreeItem* Dish) {
  const TFoodRec* dish = FoodRecOf(Dish);
  if (dish == nullptr) return;
  std::vector<TDishComponent> parts = dishes_.Components(dish->Code);
  for (const TDishComponent& part : parts) {
    AnsiString name;
    TFoodRec rec{};
    if (!dishes_.FindProduct(part.ProdCode, name, rec)) {
      prompt_.MessageDlg(Ansi("ошибка: в справочнике не найден продукт с указанным кодом"), TMsgDlgType::mtError,
                         mbOK);
      continue;
    }
    rec.Veight = part.Veight;
    doc_.AddItem(Dish, name, &rec, fkProduct, part.ProdCode);
  }
}

int TRationEditor::AddProductsTo(TMtTreeItem* group, const std::vector<std::pair<AnsiString, TFoodRec>>& picks) {
  int added = 0;
  for (const auto& [text, rec] : picks) {
    if (ChildProduct(group, rec.Code) != nullptr) continue;
    doc_.AddItem(group, text, &rec, fkProduct, rec.Code);
    ++added;
  }
  if (added > 0) doc_.SumGroup(group, false);
  return added;
}

bool TRationEditor::ItemAddProd() {
  TMtTreeItem* target = Target();
  if (target == nullptr) return false;
  if (picker_.Execute(ppProducts, AnsiString()) != mrOk || picker_.PickCount() <= 0) return false;
  const auto picks = Picks();
  int added = 0;
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    if (doc_.RationType() == rtDayMenu) {
      added = AddProductsTo(target, picks);
      if (added > 0) doc_.SumGroup(DayOfItem(target), false);
    } else {
      // An average daily ration: every day gets the products.
      for (TMtTreeItem* day : TopLevelDays(doc_)) added += AddProductsTo(day, picks);
    }
    if (added > 0) target->SetExpanded(true);
  }
  if (added == 0) return false;
  Changed();
  return true;
}

bool TRationEditor::ItemDel() {
  TMtTreeItem* item = doc_.Tree().ItemFocused();
  if (item == nullptr || !HasFlag(item, ffDeletable)) return false;
  const TFoodRec rec = *FoodRecOf(item);
  TMtTreeItem* next = item->GetNextSibling();
  if (next == nullptr) next = item->GetPrevSibling();
  if (next == nullptr) next = item->GetParent();
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    // In an average ration a product of a day goes from every day; one inside a meal or a
    // dish (a document that was a menu by days) goes alone, as in a menu by days.
    const bool everyDay = rec.Kind == fkProduct && doc_.RationType() != rtDayMenu &&
                          item->GetParent() != nullptr && KindOf(item->GetParent()) == fkDay;
    if (!everyDay) {
      TMtTreeItem* day = rec.Kind == fkDay ? nullptr : DayOfItem(item);
      doc_.Items()->DeleteItem(item);
      if (rec.Kind == fkDay) {
        if (doc_.Items()->Count() == 0) {
          next = doc_.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0);
          doc_.DayCounter = 1;
        }
        doc_.Days = doc_.DayCounter;
        doc_.RenumberDays();
      } else {
        doc_.SumGroup(day, false);
      }
    } else {
      for (TMtTreeItem* day : TopLevelDays(doc_)) {
        if (TMtTreeItem* p = ChildProduct(day, rec.Code)) {
          if (p == next) next = day;
          doc_.Items()->DeleteItem(p);
          doc_.SumGroup(day, false);
        }
      }
    }
    doc_.Tree().SetItemFocused(next);
  }
  doc_.LastFocused = next;
  Changed();
  return true;
}

bool TRationEditor::ItemDelAll() {
  if (prompt_.MessageDlg(Ansi("Удалить из раскладки все строки?"), TMsgDlgType::mtConfirmation, mbYes | mbNo) !=
      mrYes)
    return false;
  views_.DayList.clear();
  views_.TripList.clear();
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    doc_.Items()->Clear();
    doc_.DayCounter = 0;
    TMtTreeItem* day = doc_.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0);
    doc_.Tree().SetItemFocused(day);
    doc_.LastFocused = day;
  }
  doc_.DayCounter = 1;
  doc_.Days = 1;
  Changed();
  return true;
}

bool TRationEditor::Move(int direction) {
  TMtTreeItem* item = doc_.Tree().ItemFocused();
  if (item == nullptr) return false;
  TMtTreeItem* other = direction < 0 ? item->GetPrevSibling() : item->GetNextSibling();
  if (other == nullptr) return false;
  TMtTreeItem* parent = item->GetParent();
  TMtTreeItem* owner = parent != nullptr ? parent : doc_.Items()->Root();
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    owner->ExchangeChildren(item->GetIndex(), other->GetIndex());
    if (KindOf(item) == fkDay) doc_.RenumberDays();
  }
  // The order is part of the document: offer it for saving, and renumber the lists.
  doc_.Modified = 1;
  doc_.RecalcDayList = 1;
  doc_.RecalcTotalList = 1;
  return true;
}

// ---------------------------------------------------------------------------------

bool TRationEditor::CanEditVeight(const TMtTreeItem* Item) { return HasFlag(Item, ffVeightEdit); }

void TRationEditor::SetVeight(TMtTreeItem* item, std::int32_t veight) {
  FoodRecOf(item)->Veight = veight;
  doc_.UpdateItemRow(item);
  doc_.SumGroup(DayOfItem(item), false);
}

bool TRationEditor::ValidateVeight(TMtTreeItem* Item, AnsiString& Text) {
  TFoodRec* rec = FoodRecOf(Item);
  if (rec == nullptr) return false;
  std::int32_t v = 0;
  const bool parsed = TextToInt(Trim(Text), v);
  if (parsed && v < 0) {
    prompt_.MessageDlg(Format(Ansi("Вес не может быть отрицательным (%d г).\rВес не изменён."), {v}),
                       TMsgDlgType::mtError, mbOK);
  }
  if (!parsed || v < 0 || v == rec->Veight) {
    Text = Format("%d", {rec->Veight});
    return false;
  }
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    if (rec->Kind != fkProduct || doc_.RationType() == rtDayMenu) {
      SetVeight(Item, v);
    } else {
      for (TMtTreeItem* day : TopLevelDays(doc_))
        if (TMtTreeItem* p = ChildProduct(day, rec->Code)) SetVeight(p, v);
      if (FoodRecOf(Item)->Veight != v) SetVeight(Item, v);  // a product outside the days' first level
    }
  }
  Text = Format("%d", {v});
  Changed();
  return true;
}

// ---------------------------------------------------------------------------------

bool TRationEditor::SetDays(std::int32_t Value) {
  if (Value == doc_.Days) return false;
  const std::int32_t wanted = std::clamp<std::int32_t>(Value, 1, std::max(kRationMaxDaysAdded, doc_.DayCounter));
  bool changed = false;
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    while (doc_.DayCounter < wanted) {
      doc_.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0);
      changed = true;
    }
    const std::uint8_t ready = doc_.DocumentReady;
    doc_.DocumentReady = 0;
    bool all = false;
    while (doc_.DayCounter > wanted) {
      const std::vector<TMtTreeItem*> days = TopLevelDays(doc_);
      if (days.empty()) break;
      TMtTreeItem* last = days.back();
      if (last->GetHasChildren() && !all) {
        const TModalResult r = prompt_.MessageDlg(Ansi("Удалить из раскладки непустой ") + last->Text() + "\r",
                                                  TMsgDlgType::mtWarning, mbYes | mbNo | mbCancel | mbAll);
        if (r == mrAll) all = true;
        // No keeps this day and stops, as Cancel does: the same question would follow.
        if (r != mrYes && r != mrAll) break;
        // While the question was open the days may have changed: the answer is for the
        // day asked about, and only while it is still the last one.
        const std::vector<TMtTreeItem*> now = TopLevelDays(doc_);
        if (now.empty() || now.back() != last) continue;
      }
      doc_.Items()->DeleteItem(last);
      changed = true;
    }
    doc_.DocumentReady = ready;
    if (changed) doc_.RenumberDays();
  }
  doc_.Days = doc_.DayCounter;
  if (changed) Changed();
  return changed;
}

bool TRationEditor::SetMans(std::int32_t Value) {
  const std::int32_t mans = std::clamp<std::int32_t>(Value, 1, kRationMaxMans);
  const bool changed = mans != doc_.Mans;
  doc_.Mans = mans;
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    for (TMtTreeItem* day : TopLevelDays(doc_)) doc_.SumGroup(day, true);
  }
  doc_.SetRecalcFlags();
  if (changed) doc_.Modified = 1;
  UpdateTotals();
  return changed;
}

bool TRationEditor::PickTourName() {
  if (picker_.Execute(ppKindsOfTrip, AnsiString()) != mrOk || picker_.PickCount() <= 0) return false;
  const TFoodRec* rec = picker_.GetItemData(0);
  if (rec == nullptr) return false;
  TRationHeader& h = doc_.Header;
  h.TourName = picker_.GetItemPath(0, "; ");
  h.RefCal = rec->Cal;
  h.RefAlb = rec->AlbA + rec->AlbV;
  h.RefFat = rec->FatA + rec->FatV;
  h.RefCarb = rec->Carb;
  Changed();
  return true;
}

void TRationEditor::NewRation(const TNewRationDefaults& Defaults) {
  doc_.DocumentReady = 0;
  doc_.SetRationType(Defaults.DayMenuMode ? rtDayMenu : rtAverage);
  TRationHeader& h = doc_.Header;
  h.Title.clear();
  h.Author = Defaults.Author;
  h.TourName = Defaults.TourName;
  h.Description.clear();
  h.RefCal = Defaults.RefCal;
  h.RefAlb = Defaults.RefAlb;
  h.RefFat = Defaults.RefFat;
  h.RefCarb = Defaults.RefCarb;
  h.Limits = Defaults.Limits;
  doc_.Mans = std::clamp<std::int32_t>(Defaults.Mans, 1, kRationMaxMans);
  {
    TMtUpdateBracket bracket(&doc_.Tree());
    doc_.Items()->Clear();
    doc_.DayCounter = 0;
    const std::int32_t days = std::clamp<std::int32_t>(Defaults.Days, 1, kRationMaxDaysAdded);
    for (std::int32_t i = 0; i < days; ++i) doc_.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0);
  }
  doc_.LastFocused = nullptr;
  doc_.Days = doc_.DayCounter;
  doc_.DocumentReady = 1;
  doc_.SetRecalcFlags();
  // Nothing the user made yet: closing it asks nothing.
  doc_.Modified = 0;
  UpdateTotals();
}

// ---------------------------------------------------------------------------------

AnsiString TRationEditor::CopyItems(bool Cut) {
  TMtTreeItem* item = doc_.Tree().ItemFocused();
  if (item == nullptr) return {};
  const AnsiString text = FragmentText(item);
  if (Cut) ItemDel();
  return text;
}

bool TRationEditor::PasteItems(std::string_view Text) {
  if (PasteText(doc_, Text, doc_.Tree().ItemFocused()) == nullptr) return false;
  UpdateTotals();
  return true;
}

bool TRationEditor::Drop(TRationEditor& Source, int DragMode, TRationEditor& Target, TMtTreeItem* TargetItem) {
  TMtTreeItem* source = Source.doc_.DragSource;
  if (!CanDropOn(source, TargetItem)) return false;
  const AnsiString text = FragmentText(source);
  if (DragMode == 2) {
    Source.doc_.Tree().SetItemFocused(source);
    Source.ItemDel();
  }
  Source.doc_.DragSource = nullptr;
  if (PasteText(Target.doc_, text, TargetItem) == nullptr) return false;
  Target.UpdateTotals();
  return true;
}
