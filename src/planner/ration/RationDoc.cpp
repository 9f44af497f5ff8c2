#include "planner/ration/RationDoc.h"

#include <cstddef>
#include <cstring>
#include <limits>

#include "controls/tree/MtHeaderSections.h"
#include "platform/core/AnsiText.h"
#include "platform/core/SysUtils.h"

namespace {

constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kInt32Min = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();

// A sum kept in an int32 field: the nearest value it can hold.
std::int32_t Saturate32(std::int64_t v) {
  if (v > kInt32Max) return static_cast<std::int32_t>(kInt32Max);
  if (v < kInt32Min) return static_cast<std::int32_t>(kInt32Min);
  return static_cast<std::int32_t>(v);
}

// a + b, stopping at the ends of the 64-bit range instead of wrapping.
std::int64_t AddSaturated(std::int64_t a, std::int64_t b) {
  std::int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? kInt64Max : kInt64Min;
  return r;
}

const AnsiString& DayTextFormat() {
  static const AnsiString fmt = Ansi("День %d");
  return fmt;
}

// Flags of a new item by kind: groups may be deleted; products may also be re-weighed.
std::int32_t FlagsOfKind(std::int32_t kind) {
  switch (kind) {
    case fkDay:
    case fkMeal:
    case fkDish:
      return ffGroup | ffDeletable;
    case fkProduct:
      return ffVeightEdit | ffDeletable;
    default:
      return 0;
  }
}

TMtTreeItem* TopLevelOf(TMtTreeItem* item) {
  while (TMtTreeItem* parent = item->GetParent()) item = parent;
  return item;
}

TMtTreeItem* FindBelow(const TMtTreeItem* parent, std::int32_t kind, bool recursive, std::int32_t code) {
  const int n = parent->GetChildrenCount();
  for (int i = 0; i < n; ++i) {
    TMtTreeItem* child = parent->GetChildren(i);
    const TFoodRec* rec = FoodRecOf(child);
    if (rec == nullptr) continue;
    if (rec->Kind == kind && rec->Code == code) return child;
    if (recursive && child->GetHasChildren()) {
      if (TMtTreeItem* found = FindBelow(child, kind, true, code)) return found;
    }
  }
  return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------------

AnsiString RationSectionCaption(int section) {
  if (section < 0 || section >= kRationSectionCount) return {};
  return Ansi(kRationSections[section].Caption);
}

void AddRationSections(TCustomMtTree& tree) {
  const int widths[kRationSectionCount] = {260, 60, 60, 60, 60, 60, 90, 200, 120};
  TMtHeaderSections& sections = *tree.HeaderSections();
  for (int number = 0; number < kRationSectionCount; ++number) {
    TMtHeaderSection* s = sections.AddSection();
    s->SetText(RationSectionCaption(number));
    s->SetWidth(widths[number]);
    const bool numeric = number > 0 && number < 7;
    s->SetAlignment(numeric ? hsaRight : hsaLeft);
    s->SetFieldType(numeric ? sftFloating : sftText);
    s->SetEditable(number == kRationVeightSection);
  }
  for (int pos = 0; pos < kRationSectionCount; ++pos)
    sections.MoveSection(sections.FindByNumber(kRationSectionOrder[pos]), pos);
  TMtHeaderSection* veight = sections.FindByNumber(kRationVeightSection);
  veight->SetColor(kRationVeightSectionColor);
  veight->SetFontColor(kRationVeightSectionFontColor);
}

TColor RationBkColor(std::uint8_t rationType) {
  return rationType == rtDayMenu ? kDayMenuRationColor : kAverageRationColor;
}

std::int64_t RoundedEnergy(std::int32_t Cal, std::int32_t Veight) {
  const std::int64_t p = static_cast<std::int64_t>(Cal) * Veight;  // at most 2^62 in magnitude
  std::int64_t q = p / 100;
  const std::int64_t r = p % 100;  // the sign of p
  const bool odd = q % 2 != 0;
  if (r > 50 || (r == 50 && odd)) ++q;
  if (r < -50 || (r == -50 && odd)) --q;
  return q;
}

AnsiString FormatRatio(double A, double F, double C) {
  int score = 0;
  AnsiString result;
  RatioString("%3.1f/%3.1f/%3.1f", score, result, A, F, C);
  return result.empty() ? AnsiString("0/0/0") : result;
}

TMtTreeItem* DayOfItem(TMtTreeItem* Item) {
  for (TMtTreeItem* p = Item; p != nullptr; p = p->GetParent()) {
    const TFoodRec* rec = FoodRecOf(p);
    if (rec != nullptr && rec->Kind == fkDay) return p;
  }
  return nullptr;
}

// ---------------------------------------------------------------------------------

TRationDocument::TRationDocument() : ownTree_(std::make_unique<TCustomMtTree>()), tree_(ownTree_.get()) {
  Hook();
}

TRationDocument::TRationDocument(TCustomMtTree& tree) : tree_(&tree) { Hook(); }

TRationDocument::~TRationDocument() {
  // The window is going away: it hears of nothing more, and no day lowers Days.
  OnItemDeletion = nullptr;
  OnDaysChange = nullptr;
  DocumentReady = 0;
  tree_->Items()->Clear();
  tree_->SetItemDataOwner(nullptr);
}

void TRationDocument::Hook() {
  Color = RationBkColor(rationType_);
  tree_->SetItemDataOwner([this](TObject* sender, TMtTreeItem* item) { tvEatMenuItemDeletion(sender, item); });
}

void TRationDocument::SetRecalcFlags() {
  RecalcMenu = 1;
  RecalcDayList = 1;
  RecalcTotalList = 1;
  RecalcComments = 1;
}

void TRationDocument::SetRationType(std::uint8_t Value) {
  rationType_ = Value;
  Color = RationBkColor(Value);
  if (OnRationTypeChange) OnRationTypeChange(nullptr);
}

std::unique_ptr<TFoodRec> TRationDocument::NewRecord() { return std::make_unique<TFoodRec>(); }

TMtTreeItem* TRationDocument::AddItem(TMtTreeItem* Parent, const AnsiString& Text, const TFoodRec* Source,
                                      std::int32_t Kind, std::int32_t Code) {
  std::unique_ptr<TFoodRec> rec = NewRecord();
  rec->Kind = Kind;
  rec->Code = Code;
  rec->Flags = FlagsOfKind(Kind);
  if (Source != nullptr) std::memcpy(&rec->Cal, &Source->Cal, sizeof(TFoodRec) - offsetof(TFoodRec, Cal));

  TMtTreeItems* items = tree_->Items();
  TMtTreeItem* item;
  AnsiString text;
  if (Kind == fkDay) {
    // A day goes to the top level, before the day that Parent lies in; a Parent in no
    // day (or none) appends it.
    const std::int32_t number = Saturate32(static_cast<std::int64_t>(DayCounter) + 1);
    rec->Code = number;
    rec->Owner = 0;
    text = Format(DayTextFormat(), {number});
    TMtTreeItem* day = DayOfItem(Parent);
    item = day != nullptr ? items->InsertItem(TopLevelOf(day)->GetIndex(), nullptr) : items->AddItem(nullptr);
    DayCounter = number;
  } else {
    const TFoodRec* parentRec = FoodRecOf(Parent);
    rec->Owner = parentRec != nullptr ? parentRec->Code : 0;
    text = Text;
    item = items->AddItem(Parent);
  }
  // The record is in place before the first change event of the item.
  TFoodRec* own = rec.release();
  item->Data = own;
  ++recordCount_;
  item->SetText(text);

  switch (Kind) {
    case fkDay:
      item->SetParentStyle(false);
      item->SetState(isBold, true);
      break;
    case fkDish:
    case fkProduct:
      item->SetParentColors(false);
      item->SetColor(Kind == fkDish ? kDishTextColor : kProductTextColor);
      item->SetBkColor(Color);
      break;
    default:
      break;
  }
  // Every new row starts in the product form; the next SumGroup corrects a group's.
  WriteRow(item, *own, true);
  SetRecalcFlags();
  Modified = 1;
  return item;
}

void TRationDocument::WriteRow(TMtTreeItem* item, const TFoodRec& rec, bool product) {
  std::int64_t energy;
  double protein, fat, carb;
  if (product) {
    energy = RoundedEnergy(rec.Cal, rec.Veight);
    protein = (rec.AlbA + rec.AlbV) * rec.Veight / 100;
    fat = (rec.FatA + rec.FatV) * rec.Veight / 100;
    carb = rec.Carb * rec.Veight / 100;
  } else {
    energy = rec.Cal;
    protein = rec.AlbA + rec.AlbV;
    fat = rec.FatA + rec.FatV;
    carb = rec.Carb;
  }
  const double groupKg = static_cast<double>(static_cast<std::int64_t>(Mans) * rec.Veight) / 1000;

  TStringList& texts = item->ColumnText();
  texts.BeginUpdate();
  while (texts.Count() < kRationColumnCount) texts.Add(AnsiString());
  texts.SetString(rcEnergy, Format("%d", {energy}));
  texts.SetString(rcVeight, Format("%d", {rec.Veight}));
  texts.SetString(rcProtein, Format("%3.2f", {protein}));
  texts.SetString(rcFat, Format("%3.2f", {fat}));
  texts.SetString(rcCarb, Format("%3.2f", {carb}));
  texts.SetString(rcGroupVeight, Format("%3.3f", {groupKg}));
  texts.SetString(rcRatio, FormatRatio(protein, fat, carb));
  texts.EndUpdate();
}

void TRationDocument::UpdateItemRow(TMtTreeItem* Item) {
  if (const TFoodRec* rec = FoodRecOf(Item)) WriteRow(Item, *rec, true);
}

void TProductSums::AddProduct(const TFoodRec& Product) {
  Veight += Product.Veight;  // int32 terms, fewer than 2^31 of them: no overflow
  Cal = AddSaturated(Cal, RoundedEnergy(Product.Cal, Product.Veight));
  AlbA += Product.Veight * Product.AlbA / 100;
  AlbV += Product.Veight * Product.AlbV / 100;
  FatA += Product.Veight * Product.FatA / 100;
  FatV += Product.Veight * Product.FatV / 100;
  Carb += Product.Veight * Product.Carb / 100;
}

void TProductSums::StoreTo(TFoodRec& Rec) const {
  Rec.Cal = Saturate32(Cal);
  Rec.Veight = Saturate32(Veight);
  Rec.AlbA = AlbA;
  Rec.AlbV = AlbV;
  Rec.FatA = FatA;
  Rec.FatV = FatV;
  Rec.Carb = Carb;
}

void TRationDocument::SumGroup(TMtTreeItem* Item, bool RedrawProducts) {
  TFoodRec* rec = FoodRecOf(Item);
  if (rec == nullptr || rec->Kind == fkProduct) return;  // a product keeps its values per 100 g
  TProductSums sums;
  const int n = Item->GetChildrenCount();
  for (int i = 0; i < n; ++i) {
    TMtTreeItem* child = Item->GetChildren(i);
    const TFoodRec* c = FoodRecOf(child);
    if (c == nullptr) continue;
    if (c->Kind != fkProduct) {
      SumGroup(child, false);  // its sums first
      sums.Veight += c->Veight;
      sums.Cal = AddSaturated(sums.Cal, c->Cal);
      sums.AlbA += c->AlbA;
      sums.AlbV += c->AlbV;
      sums.FatA += c->FatA;
      sums.FatV += c->FatV;
      sums.Carb += c->Carb;
    } else {
      sums.AddProduct(*c);
      if (RedrawProducts) UpdateItemRow(child);
    }
  }
  sums.StoreTo(*rec);
  WriteRow(Item, *rec, false);
}

void TRationDocument::RenumberDays() {
  TMtUpdateBracket bracket(tree_);
  const TMtTreeItem* root = tree_->Items()->Root();
  const int n = root->GetChildrenCount();
  int number = 0;
  for (int i = 0; i < n; ++i) {
    TMtTreeItem* item = root->GetChildren(i);
    const TFoodRec* rec = FoodRecOf(item);
    if (rec != nullptr && rec->Kind == fkDay) item->SetText(Format(DayTextFormat(), {++number}));
  }
}

TMtTreeItem* TRationDocument::FindChildByCode(TMtTreeItem* Parent, std::int32_t Kind, bool Recursive,
                                              std::int32_t Code) const {
  return FindBelow(Parent != nullptr ? Parent : tree_->Items()->Root(), Kind, Recursive, Code);
}

TDayRecs TRationDocument::DayRecords() const {
  TDayRecs days;
  const TMtTreeItem* root = tree_->Items()->Root();
  const int n = root->GetChildrenCount();
  for (int i = 0; i < n; ++i) {
    const TFoodRec* rec = FoodRecOf(root->GetChildren(i));
    if (rec != nullptr && rec->Kind == fkDay) days.push_back(rec);
  }
  return days;
}

void TRationDocument::AttachRecord(TMtTreeItem* Item, const TFoodRec& Rec) {
  if (Item == nullptr) return;
  auto fresh = std::make_unique<TFoodRec>(Rec);
  std::unique_ptr<TFoodRec> old(FoodRecOf(Item));
  if (old) --recordCount_;
  Item->Data = fresh.release();
  ++recordCount_;
}

void TRationDocument::tvEatMenuItemDeletion(TObject* Sender, TMtTreeItem* Item) {
  if (LastFocused == Item) LastFocused = nullptr;
  if (DragSource == Item) DragSource = nullptr;
  if (OnItemDeletion) OnItemDeletion(Sender, Item);
  std::unique_ptr<TFoodRec> rec(FoodRecOf(Item));
  if (!rec) return;
  Item->Data = nullptr;
  --recordCount_;
  if (rec->Kind == fkDay) {
    if (DayCounter > 0) --DayCounter;
    if (DocumentReady != 0 && Days > 0) {
      --Days;
      if (OnDaysChange) OnDaysChange(nullptr);
    }
  }
}
