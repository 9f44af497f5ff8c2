#include "planner/reference/RefMenu.h"

#include <algorithm>
#include <limits>

#include "controls/tree/MtHeaderSections.h"
#include "planner/app/Globals.h"
#include "planner/app/UserPrompt.h"
#include "planner/ration/RationSort.h"
#include "planner/reference/RefItems.h"
#include "platform/core/DB.h"
#include "tables/DbfDB.h"
#include "platform/core/AnsiText.h"
#include "platform/core/IniFiles.h"
#include "platform/core/SysUtils.h"

namespace {

struct TSectionDef {
  const char* Caption;
  const char* FieldName;
  TFieldTypes Type;
  int Width;
  const char* Hint;
};

const std::vector<TSectionDef>& SectionsOf(int page) {
  static const std::vector<TSectionDef> prod = {{"Наименование", "", sftText, 270, ""},
                                                {"ККал.", "", sftNumber, 60, ""},
                                                {"Белки,г.", "", sftFloating, 60, ""},
                                                {"Жиры,г.", "", sftFloating, 60, ""},
                                                {"Углев,г.", "", sftFloating, 60, ""}};
  static const std::vector<TSectionDef> dish = {
      {"Наименование", "Name", sftText, 270, "Название блюда"},
      {"Вес,г.", "Veight", sftNumber, 60, "Вес одной порции, г"},
      {"ККал.", "Cal", sftNumber, 60, "Калорийность одной порции"},
      {"ККал/100г", "", sftNumber, 70, "Удельная калорийность (на 100 г)"},
      {"Белки,г.", "", sftFloating, 60, "Содержание белков в одной порции"},
      {"Жиры,г.", "", sftFloating, 60, "Содержание жиров в одной порции"},
      {"Углев,г.", "", sftFloating, 60, "Содержание углеводов в одной порции"}};
  static const std::vector<TSectionDef> meal = {{"Наименование", "Name", sftText, 270, ""},
                                                {"ККал.", "Cal", sftNumber, 60, ""},
                                                {"Белки,г.", "", sftFloating, 60, ""},
                                                {"Жиры,г.", "", sftFloating, 60, ""},
                                                {"Углев.,г.", "", sftFloating, 60, ""}};
  static const std::vector<TSectionDef> energo = {
      {"Наименование", "NAME", sftText, 230, ""},
      {"ККал", "CAL", sftNumber, 70, "Суточные энергозатраты, ККал"},
      {"Белки,г", "ALB", sftFloating, 70, "Суточная  потребность в  белках, г"},
      {"Жиры,г", "FAT", sftFloating, 70, "Суточная  потребность в жирах,г"},
      {"Углев,г", "CARB", sftFloating, 70, "Суточная потребность в  углеводах, г"}};
  switch (page) {
    case 0: return prod;
    case 1: return dish;
    case 2: return meal;
    default: return energo;
  }
}

const char* const kTables[kRefPageCount] = {kRefProductsTable, kRefDishTable, kRefMealTable, kRefEnergoTable};

}  // namespace

namespace {

struct TLimitKey {
  const char* Key;
  double TRationLimits::*Field;
  double Max;
};
constexpr TLimitKey kLimitKeys[] = {
    {"MaxRelEnDef", &TRationLimits::MaxRelEnDef, 1}, {"MaxAbsEnDef", &TRationLimits::MaxAbsEnDef, kMaxAbsEnDefLimit},
    {"AlbAVmin", &TRationLimits::AlbAVmin, 1},       {"FatAVMin", &TRationLimits::FatAVMin, 1},
    {"FatAVmax", &TRationLimits::FatAVmax, 1},       {"AFCAlb", &TRationLimits::AFCAlb, kMaxRatioPart},
    {"AFCFat", &TRationLimits::AFCFat, kMaxRatioPart}, {"AFCCarb", &TRationLimits::AFCCarb, kMaxRatioPart}};

}  // namespace

bool LimitInRange(std::string_view Key, double Value) {
  for (const TLimitKey& k : kLimitKeys)
    if (AnsiSameText(Key, k.Key)) return Value >= 0 && Value <= k.Max;
  return true;
}

TRationLimits LoadLimits(const AnsiString& RefDir, std::vector<AnsiString>* Faulty) {
  const TRationLimits defaults;
  TRationLimits l;
  TIniFile ini(RefDir + kLimitsFileName);
  for (const TLimitKey& k : kLimitKeys) {
    l.*k.Field = defaults.*k.Field;
    if (!ini.ValueExists(kLimitsSection, k.Key)) continue;
    const double v = ini.ReadFloat(kLimitsSection, k.Key, std::numeric_limits<double>::quiet_NaN());
    if (LimitInRange(k.Key, v))
      l.*k.Field = v;
    else if (Faulty != nullptr)
      Faulty->push_back(k.Key);
  }
  return l;
}

AnsiString LimitsWarning(const AnsiString& RefDir, const std::vector<AnsiString>& Faulty) {
  if (Faulty.empty()) return {};
  AnsiString keys;
  for (const AnsiString& k : Faulty) keys += (keys.empty() ? "" : ", ") + k;
  return Format(Ansi("В файле %s неверные значения параметров (не числа или вне допустимых пределов): %s.\r"
                     "Вместо них взяты значения по умолчанию."),
                {RefDir + kLimitsFileName, keys});
}

int RefPageOfPick(int Page) {
  switch (Page) {
    case ppProducts: return 0;
    case ppDishes: return 1;
    case ppMeals: return 2;
    case ppKindsOfTrip: return 3;
    default: return -1;
  }
}

AnsiString TRefMenu::PageCaption(int Page) {
  return Ansi(Page == ppKindsOfTrip ? "Вид туризма и категория сложности" : "Добавить в раскладку");
}

AnsiString TRefMenu::TreeHint(int RefPage) {
  static const char* const kHints[kRefPageCount] = {
      "Выберите продукты для добавления в раскладку", "Выберите блюда для добавления в раскладку",
      "Выберите трапезы для добавления в раскладку",
      "Выберите категорию сложности похода\r\nв соответствующем виде туризма"};
  return RefPage >= 0 && RefPage < kRefPageCount ? Ansi(kHints[RefPage]) : AnsiString();
}

TRefMenu::TRefMenu(const std::array<TCustomMtTree*, kRefPageCount>& Trees, const AnsiString& RefDir,
                   IUserPrompt& Prompt)
    : trees_(Trees), prompt_(Prompt), refDir_(RefDir) {
  for (int p = 0; p < kRefPageCount; ++p) {
    TCustomMtTree& tree = *trees_[static_cast<std::size_t>(p)];
    tree.SetShowCheckboxes(true);
    tree.SetMultiSelect(p != 3);
    if (tree.HeaderSections()->GetCount() == 0) {
      for (const TSectionDef& d : SectionsOf(p)) {
        TMtHeaderSection* s = tree.HeaderSections()->AddSection();
        s->SetText(Ansi(d.Caption));
        s->SetFieldName(d.FieldName);
        s->SetFieldType(d.Type);
        s->SetWidth(d.Width);
        if (d.Type != sftText) s->SetAlignment(hsaRight);  // numbers stand right, as in every tree
        s->SetHint(Ansi(d.Hint));
      }
    }
    auto ref = std::make_unique<TRef>(tree, RefDir + kTables[p]);
    if (p == 0 || p == 2) ref->OnItemLoad = LoadProdMealItem;
    if (p == 1) ref->OnItemLoad = LoadDishItem;
    ref->OnItemDeletion = [this](TObject*, TMtTreeItem* item) { Forget(item); };
    tree.OnItemSelectedChange = [this](TObject*, TMtTreeItem* item) { ItemSelectedChange(item); };
    tree.OnItemChange = [this](TObject*, TMtTreeItem* item, int mode) {
      if (mode == 2) ItemCheckClick(item);
    };
    refs_[static_cast<std::size_t>(p)] = std::move(ref);
  }
  for (int p = 0; p < kRefPageCount; ++p) Load(p);
  ReadLimits(RefDir);
}

namespace {
AnsiString SameDirName(const AnsiString& Dir) { return IncludeTrailingPathDelimiter(NormalizeSeparators(Dir)); }
}  // namespace

void TRefMenu::ReadLimits(const AnsiString& RefDir) {
  std::vector<AnsiString> faulty;
  Limits = LoadLimits(RefDir, &faulty);
  limitsDir_ = SameDirName(RefDir);
  if (!faulty.empty()) prompt_.MessageDlg(LimitsWarning(RefDir, faulty), TMsgDlgType::mtWarning, mbOK);
}

void TRefMenu::UseLimitsOf(const AnsiString& RefDir) {
  if (SameDirName(RefDir) != limitsDir_) ReadLimits(RefDir);
}

void TRefMenu::Load(int TreePage) {
  refs_[static_cast<std::size_t>(TreePage)]->TryLoad(prompt_);
  // Every row that may be picked shows its box; groups show none.
  TCustomMtTree& tree = *trees_[static_cast<std::size_t>(TreePage)];
  for (TMtTreeItem* item = tree.Items()->GetItem(0); item != nullptr; item = item->GetNext())
    item->ShowCheckBox = Pickable(TreePage, item);
}

bool TRefMenu::Pickable(int TreePage, const TMtTreeItem* Item) {
  if (TreePage == 3) return !Item->GetHasChildren();
  const TRefItemRec* rec = RefRecOf(Item);
  const std::int32_t flags = rec != nullptr ? rec->Flags : ffGroup;
  return TreePage == 0 ? (flags & ffGroup) == 0 : flags == 0;
}

int TRefMenu::PageOfTree(const TCustomMtTree* Tree) const {
  for (int p = 0; p < kRefPageCount; ++p)
    if (trees_[static_cast<std::size_t>(p)] == Tree) return p;
  return -1;
}

void TRefMenu::ItemCheckClick(TMtTreeItem* Item) {
  // The box is the pick: a click on it picks or unpicks that row alone.
  TCustomMtTree& tree = *Item->Tree();
  if (!tree.MultiSelect()) {
    if (Item->GetChecked()) tree.SetItemFocused(Item);
    Item->SetChecked(tree.ItemFocused() == Item);
    return;
  }
  if (Item->GetState(isSelected) != Item->GetChecked()) Item->SetState(isSelected, Item->GetChecked());
}

TRefMenu::~TRefMenu() {
  for (std::size_t p = 0; p < refs_.size(); ++p) {
    trees_[p]->OnItemSelectedChange = nullptr;
    trees_[p]->OnItemChange = nullptr;
    refs_[p]->OnItemDeletion = nullptr;
  }
  picked_.clear();
}

void TRefMenu::Forget(TMtTreeItem* item) { std::erase(picked_, item); }

void TRefMenu::BeginExecute(int Page) {
  // A number of no page (3) shows the page shown last (the first, the first time).
  const int page = RefPageOfPick(Page);
  if (page >= 0) current_ = page;
  else if (current_ < 0) current_ = 0;
  pickCount_ = 0;
  picked_.clear();
  CheckAll(current_, -1);
}

void TRefMenu::ItemSelectedChange(TMtTreeItem* Item) {
  if (Item == nullptr) return;
  if (!Item->GetState(isSelected)) {
    Item->SetChecked(false);
    return;
  }
  const int page = PageOfTree(Item->Tree());
  if (page < 3 && !Pickable(page, Item)) {
    Item->SetState(isSelected, false);
    Item->SetChecked(false);
    return;
  }
  Item->SetChecked(true);
  ++pickCount_;
}

bool TRefMenu::DoubleClick() {
  if (current_ < 0) return false;
  TMtTreeItem* item = trees_[static_cast<std::size_t>(current_)]->ItemFocused();
  if (item == nullptr || IsRefFolder(item)) return false;
  if (!item->GetState(isSelected)) item->SetState(isSelected, true);  // counted by the selection rule
  else ++pickCount_;
  if (item->GetState(isSelected)) item->SetChecked(true);  // the focused kind of trip shows its tick
  return item->GetState(isSelected);
}

bool TRefMenu::CloseQuery(TModalResult Result) {
  if (current_ != 3 || Result != mrOk) return true;
  const TMtTreeItem* item = trees_[3]->ItemFocused();
  if (item == nullptr || !item->GetHasChildren()) return true;
  prompt_.MessageDlg(Ansi("Нельзя выбирать раздел целиком"), TMsgDlgType::mtWarning, mbOK);
  pickCount_ = 0;
  return false;
}

TModalResult TRefMenu::EndExecute(TModalResult Result) {
  picked_.clear();
  if (Result != mrOk || current_ < 0) {
    pickCount_ = 0;
    return Result;
  }
  // Only ticked rows are picks: a kind of trip that merely kept the focus from an
  // earlier showing is not chosen (OK with nothing ticked picks nothing).
  for (TMtTreeItem* item : refs_[static_cast<std::size_t>(current_)]->ItemList()) {
    const bool picked = current_ == 3 ? item->GetChecked() && !item->GetHasChildren()
                                      : item->GetState(isSelected) && !IsRefFolder(item);
    if (picked) picked_.push_back(item);
  }
  pickCount_ = static_cast<int>(picked_.size());
  return Result;
}

TModalResult TRefMenu::Execute(int Page, const AnsiString& Caption) {
  BeginExecute(Page);
  const TModalResult r = OnShowModal ? OnShowModal(*this, Page, Caption.empty() ? PageCaption(Page) : Caption)
                                     : mrCancel;
  return EndExecute(r);
}

void TRefMenu::SortByColumn(int TreePage, int Section) {
  if (TreePage < 0 || TreePage >= 3) return;  // the kinds of trip are not sorted
  const int last = TreePage == 1 ? 6 : 4;
  if (Section < 0 || Section > last) return;
  TCustomMtTree& tree = *trees_[static_cast<std::size_t>(TreePage)];
  const int lastNumber = TreePage == 1 ? 3 : 1;
  if (!SetClickSort(tree, Section, Section == 0 ? sftText : Section <= lastNumber ? sftNumber : sftFloating)) return;
  TMtUpdateBracket bracket(&tree);
  if (Section == 0) {
    tree.SortAll(true);
  } else {
    const TMtTreeItem* root = tree.Items()->Root();
    for (int i = 0; i < root->GetChildrenCount(); ++i) tree.SortItemChildren(root->GetChildren(i), true);
  }
}

void TRefMenu::CheckAll(int TreePage, int Mode) {
  if (TreePage < 0 || TreePage >= kRefPageCount) return;
  TCustomMtTree& tree = *trees_[static_cast<std::size_t>(TreePage)];
  TMtUpdateBracket bracket(&tree);
  const int saved = pickCount_;
  for (TMtTreeItem* item = tree.Items()->GetItem(0); item != nullptr; item = item->GetNext()) {
    const bool on = Mode > 0 ? true : Mode < 0 ? false : !item->GetState(isSelected);
    if (item->GetState(isSelected) != on) item->SetState(isSelected, on);
    // A single-select tree keeps its focused row selected: its box shows the pick, and
    // clearing leaves every box empty.
    item->SetChecked(item->GetState(isSelected) && (tree.MultiSelect() || on));
  }
  if (Mode < 0) pickCount_ = saved;
}

void TRefMenu::ReloadRef(int Page) {
  const int p = RefPageOfPick(Page);
  if (p < 0) return;
  refs_[static_cast<std::size_t>(p)]->Clear();
  Load(p);
}

AnsiString TRefMenu::GetItemText(int Index) const {
  if (Index < 0 || Index >= static_cast<int>(picked_.size())) return {};
  return picked_[static_cast<std::size_t>(Index)]->Text();
}

AnsiString TRefMenu::GetItemPath(int Index, const AnsiString& Separator) const {
  if (Index < 0 || Index >= static_cast<int>(picked_.size())) return {};
  AnsiString path;
  for (const TMtTreeItem* p = picked_[static_cast<std::size_t>(Index)]; p != nullptr; p = p->GetParent())
    path = path.empty() ? p->Text() : p->Text() + Separator + path;
  return path;
}

const TFoodRec* TRefMenu::GetItemData(int Index) {
  if (Index < 0 || Index >= static_cast<int>(picked_.size())) return nullptr;
  const TMtTreeItem* item = picked_[static_cast<std::size_t>(Index)];
  if (current_ != 3) {
    const TFoodRec* rec = RefFoodRecOf(item);
    if (rec == nullptr) return nullptr;
    itemData_ = *rec;
    return &itemData_;
  }
  itemData_ = TFoodRec{};
  const TCustomMtTree& tree = *trees_[3];
  const int main = tree.MainTreeColumn;
  const TStringList& texts = item->ColumnText();
  for (int i = 0; i < tree.HeaderSections()->GetCount(); ++i) {
    const int col = i < main ? i : i - 1;
    const AnsiString text = i == main ? item->Text() : col < texts.Count() ? texts[col] : AnsiString();
    const AnsiString name = UpperCase(tree.HeaderSections()->GetSection(i)->FieldName());
    std::int32_t iv = 0;
    double fv = 0;
    const bool isInt = TextToInt(Trim(text), iv);
    const bool isFloat = TextToFloat(Trim(text), fv);
    if (name == "CODE" && isInt) itemData_.Code = iv;
    else if (name == "OWNER" && isInt) itemData_.Owner = iv;
    else if (name == "FLAGS" && isInt) itemData_.Flags = iv;
    else if (name == "CAL" && isInt) itemData_.Cal = iv;
    else if (name == "VEIGHT" && isInt) itemData_.Veight = iv;
    else if ((name == "ALBA" || name == "ALB") && isFloat) itemData_.AlbA = fv;
    else if (name == "ALBV" && isFloat) itemData_.AlbV = fv;
    else if ((name == "FATA" || name == "FAT") && isFloat) itemData_.FatA = fv;
    else if (name == "FATV" && isFloat) itemData_.FatV = fv;
    else if (name == "CARB" && isFloat) itemData_.Carb = fv;
  }
  return &itemData_;
}

std::vector<TDishComponent> TRefMenu::Components(std::int32_t DishCode) {
  std::vector<TDishComponent> parts;
  try {
    const TRefFolderLock folder(refDir_, true);  // a save of the dishes cut short is finished first
    TDbfDataSet comp;
    OpenRefTableForReading(comp, refDir_ + kRefDishCompTable);
    TField& dish = comp.FieldByName("DISHCODE");
    TField& prod = comp.FieldByName("PRODCODE");
    TField& veight = comp.FieldByName("VEIGHT");
    for (comp.First(); !comp.Eof(); comp.Next())
      if (dish.AsInteger() == DishCode) parts.push_back({prod.AsInteger(), veight.AsInteger()});
  } catch (const std::exception& e) {
    prompt_.MessageDlg(Format(Ansi("Не удается прочитать состав блюд %s:\r%s"),
                              {refDir_ + kRefDishCompTable, AnsiString(e.what())}),
                       TMsgDlgType::mtError, mbOK);
  }
  return parts;
}

bool TRefMenu::FindProduct(std::int32_t Code, AnsiString& Name, TFoodRec& Rec) {
  const TMtTreeItem* item = refs_[0]->FindByCode(Code);
  const TFoodRec* rec = RefFoodRecOf(item);
  if (rec == nullptr || IsRefFolder(item)) return false;
  Name = item->Text();
  Rec = *rec;
  return true;
}
