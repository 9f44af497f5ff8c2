#include "planner/reference/FrmRefEditModel.h"

#include <map>
#include <set>

#include "planner/app/Globals.h"
#include "planner/app/UserPrompt.h"
#include "planner/ration/RationEdit.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/Files.h"
#include "platform/core/IniFiles.h"
#include "platform/core/SysUtils.h"

namespace {

constexpr const char* kParamsFileName = "params.ini";
constexpr const char* kParamsSection = "Limits";

struct TParamDef {
  const char* Key;
  const char* Caption;
  const char* Hint;
  double Default;
};

constexpr TParamDef kParams[kParamCount] = {
    {"MaxRelEnDef", "Макс. суточный энергодефицит ",
     "Максимально допустимое относительное значение суточного энергодефицита (доля от суточных энергозатрат)", 0.3},
    {"MaxAbsEnDef", "Макс. суммарный энергодефицит, ККал",
     "Максимально допустимое значение суммарного за весь поход энергодефицита, ККал", 70000},
    {"AlbAVmin", "Мин. доля животных белков ", "Минимально допустимая доля животных белков в общем количестве белков",
     0.5},
    {"FatAVMin", "Мин. доля животных жиров ", "Минимально допустимая доля животных жиров в общем количестве жиров",
     0.75},
    {"FatAVmax", "Макс. доля животных жиров ", "Максимально допустимая доля животных жиров в общем количестве жиров",
     0.8},
    {"AFCAlb", "Доля белков в соотношении Б/Ж/У", "Доля белков в соотношении белки/жиры/углеводы (как правило = 1)",
     1.0},
    {"AFCFat", "Доля жиров в соотношении Б/Ж/У", "Доля жиров в соотношении белки/жиры/углеводы (1,2)", 1.2},
    {"AFCCarb", "Доля углеводов в соотношении Б/Ж/У", "Доля углеводов в соотношении белки/жиры/углеводы (4,6)", 4.6},
};

double* LimitField(TRationLimits& l, int i) {
  switch (i) {
    case 0: return &l.MaxRelEnDef;
    case 1: return &l.MaxAbsEnDef;
    case 2: return &l.AlbAVmin;
    case 3: return &l.FatAVMin;
    case 4: return &l.FatAVmax;
    case 5: return &l.AFCAlb;
    case 6: return &l.AFCFat;
    case 7: return &l.AFCCarb;
    default: return nullptr;
  }
}

// A header section of an editor tree: caption, field name, type, editable, hint.
struct TSectionDef {
  const char* Caption;
  const char* Field;
  TFieldTypes Type;
  bool Editable;
  const char* Hint;
  int Width;
};

const std::vector<TSectionDef>& SectionDefs(int page) {
  static const std::vector<TSectionDef> prod = {
      {"Наименование", "NAME", sftText, true, "Наименование продукта (раздела)", 320},
      {"ККал", "CAL", sftNumber, true, "Калорийность 100г продукта, ККал", 50},
      {"Белки жив,г", "ALBA", sftFloating, true, "Количество животного белка в 100г продукта,  г", 88},
      {"Белки раст,г", "ALBV", sftFloating, true, "Количество растительного белка в 100г продукта,  г", 88},
      {"Жиры жив,г", "FATA", sftFloating, true, "Количество животных жиров в 100г продукта,  г", 88},
      {"Жиры раст,г", "FATV", sftFloating, true, "Количество растительных жиров в 100г продукта,  г", 88},
      {"Углев,г", "CARB", sftFloating, true, "Количество углеводов в 100г продукта,  г", 60},
      {"Вес, г", "VEIGHT", sftNumber, true, "Вес продукта,  г, в суточном рационе (по умолчанию)", 50},
  };
  static const std::vector<TSectionDef> dish = {
      {"Наименование", "NAME", sftText, true, "", 320},
      {"ККал", "CAL", sftNumber, false, "", 50},
      {"Вес, г", "VEIGHT", sftNumber, true, "", 50},
      {"Белки жив,г", "ALBA", sftFloating, false, "", 88},
      {"Белки раст,г", "ALBV", sftFloating, false, "", 88},
      {"Жиры жив,г", "FATA", sftFloating, false, "", 88},
      {"Жиры раст,г", "FATV", sftFloating, false, "", 88},
      {"Углев,г", "CARB", sftFloating, false, "", 60},
  };
  static const std::vector<TSectionDef> meal = {{"Наименование", "NAME", sftText, true, "", 300}};
  static const std::vector<TSectionDef> energo = {
      {"Наименование", "NAME", sftText, true, "", 320},
      {"ККал", "CAL", sftNumber, true, "Энергозатраты, ККал/день", 60},
      {"Белки,г.", "ALB", sftFloating, true, "Суточная потребность организма в белках, г.", 70},
      {"Жиры,г.", "FAT", sftFloating, true, "Суточная потребность организма в жирах, г.", 70},
      {"Углев.,г.", "CARB", sftFloating, true, "Суточная потребность организма в углеводах, г.", 70},
  };
  // The value column takes numbers only: a limit that is not a number cannot be saved.
  static const std::vector<TSectionDef> param = {
      {"Параметр", "", sftText, false, "", 280},
      {"Значение", "", sftFloating, true, "", 90},
      {"Name", "", sftText, false, "", 80},
  };
  switch (page) {
    case rpProd: return prod;
    case rpDish: return dish;
    case rpMeal: return meal;
    case rpEnergo: return energo;
    default: return param;
  }
}

constexpr const char* kTables[] = {kRefProductsTable, kRefDishTable, kRefMealTable, kRefEnergoTable, "params.ini"};

// Whole text is digits (what the number cells take: no sign).
bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool UnsignedFloat(std::string_view s, double& v) {
  if (s.empty() || s.find_first_of("+-") != std::string_view::npos) return false;
  return TextToFloat(s, v);
}

// A text as the tables (code page 866) can hold it: typographic quotes, dashes, the
// ellipsis and the no-break blank, which 866 lacks, become their plain forms. The
// characters that remain without a place in 866 go to `lacking`, each once.
AnsiString TableText(const AnsiString& text, AnsiString& lacking) {
  AnsiString out;
  for (const char c : text) {
    const char32_t u = cp::Ansi1251ToUnicode(static_cast<unsigned char>(c));
    if (cp::UnicodeTo866(u, 0) != 0) {
      out += c;
      continue;
    }
    switch (u) {
      case U'\u00AB': case U'\u00BB': case U'\u201C': case U'\u201D': case U'\u201E':
        out += '"';
        break;
      case U'\u2018': case U'\u2019': case U'\u201A':
        out += '\'';
        break;
      case U'\u2013': case U'\u2014':
        out += '-';
        break;
      case U'\u2026':
        out += "...";
        break;
      case U'\u00A0':
        out += ' ';
        break;
      default:
        if (lacking.find(c) == AnsiString::npos) lacking += (lacking.empty() ? "" : " ") + AnsiString(1, c);
        out += c;
        break;
    }
  }
  return out;
}

void SetCell(const TCustomMtTree& tree, TMtTreeItem* item, int section, const AnsiString& text) {
  const int main = tree.MainTreeColumn;
  if (section == main) {
    item->SetText(text);
    return;
  }
  const int index = section > main ? section - 1 : section;
  TStringList& columns = item->ColumnText();
  while (columns.Count() <= index) columns.Add(AnsiString());
  columns.SetString(index, text);
}

// Names in guillemets joined by ", ": the first few, then how many more there are.
AnsiString NameList(const std::vector<AnsiString>& names) {
  constexpr std::size_t kShown = 3;
  AnsiString out;
  for (std::size_t i = 0; i < names.size() && i < kShown; ++i)
    out += (i > 0 ? AnsiString(", ") : AnsiString()) + Ansi("«") + names[i] + Ansi("»");
  if (names.size() > kShown) out += Format(Ansi(" и ещё %d"), {static_cast<int>(names.size() - kShown)});
  return out;
}

}  // namespace

AnsiString ParamKey(int i) { return i >= 0 && i < kParamCount ? AnsiString(kParams[i].Key) : AnsiString(); }
AnsiString ParamCaption(int i) { return i >= 0 && i < kParamCount ? Ansi(kParams[i].Caption) : AnsiString(); }
AnsiString ParamHint(int i) { return i >= 0 && i < kParamCount ? Ansi(kParams[i].Hint) : AnsiString(); }

double LimitValue(const TRationLimits& Limits, int i) {
  const double* f = LimitField(const_cast<TRationLimits&>(Limits), i);
  return f != nullptr ? *f : 0;
}

void SetLimitValue(TRationLimits& Limits, int i, double Value) {
  if (double* f = LimitField(Limits, i)) *f = Value;
}

AnsiString LimitText(const TRationLimits& Limits, int i) {
  const double v = LimitValue(Limits, i);
  if (i == 1) return IsRoundable32(v) ? Format("%d", {Round(v)}) : Format("%3.2f", {v});
  return Format("%3.2f", {v});
}

namespace {
bool SameLimits(const TRationLimits& a, const TRationLimits& b) {
  for (int i = 0; i < kParamCount; ++i)
    if (LimitValue(a, i) != LimitValue(b, i)) return false;
  return true;
}

void PutLimits(TIniFile& ini, const TRationLimits& Limits) {
  for (int i = 0; i < kParamCount; ++i) ini.WriteFloat(kParamsSection, kParams[i].Key, LimitValue(Limits, i));
}
}  // namespace

void WriteLimitsFile(const AnsiString& FileName, const TRationLimits& Limits) {
  TIniFile ini(FileName);
  PutLimits(ini, Limits);
  ini.UpdateFile();
}


// ---------------------------------------------------------------------------------

TRefEditModel::TRefEditModel(const AnsiString& RefDir, TRationLimits& Limits, IUserPrompt& Prompt,
                             IRefPicker* PickList, const std::array<TCustomMtTree*, kRefEditPageCount>& Trees)
    : refDir_(IncludeTrailingPathDelimiter(RefDir)), limits_(Limits), prompt_(Prompt), pickList_(PickList) {
  for (int p = 0; p < kRefEditPageCount; ++p) {
    const auto i = static_cast<std::size_t>(p);
    if (Trees[i] != nullptr) {
      trees_[i] = Trees[i];
    } else {
      ownTrees_[i] = std::make_unique<TCustomMtTree>();
      trees_[i] = ownTrees_[i].get();
    }
    trees_[i]->SetMultiSelect(false);
    refs_[i] = std::make_unique<TRef>(*trees_[i], refDir_ + kTables[p]);
  }
  Ref(rpProd).OnAfterSave = [this](TRef* s) { RefSaved(s); };
  Ref(rpProd).OnNewItem = [this](TRef* s, TMtTreeItem* item, const TRefItemRec& rec) { NewProduct(s, item, rec); };
  Ref(rpMeal).OnAfterSave = [this](TRef* s) { RefSaved(s); };
  Ref(rpMeal).OnNewItem = [this](TRef* s, TMtTreeItem* item, const TRefItemRec& rec) { NewMeal(s, item, rec); };
  Ref(rpEnergo).OnAfterSave = [this](TRef* s) { RefSaved(s); };
  dishTable_ = std::make_unique<TRefDishTable>(Ref(rpDish), prompt_);
  dishTable_->OnSaved = [this](TRef* s) { RefSaved(s); };
}

TRefEditModel::~TRefEditModel() {
  // The rows go before the handlers that made their blocks.
  dishTable_.reset();
  for (auto& ref : refs_) ref.reset();
}

AnsiString TRefEditModel::PageCaption(int Page) {
  static const char* const kCaptions[] = {"Продукты", "Блюда", "Трапезы", "Энергозатраты", "Оценочные параметры "};
  return Page >= 0 && Page < kRefEditPageCount ? Ansi(kCaptions[Page]) : AnsiString();
}

AnsiString TRefEditModel::TreeHint(int Page) {
  static const char* const kHints[] = {"Справочник по продуктам", "Справочник по блюдам", "Справочник по трапезам",
                                       "Справочник по энергозатратам", ""};
  return Page >= 0 && Page < kRefEditPageCount ? Ansi(kHints[Page]) : AnsiString();
}

AnsiString TRefEditModel::PageDative(int Page) {
  static const char* const kNames[] = {"продуктам", "блюдам", "трапезам", "энергозатратам", "оценочным параметрам"};
  return Page >= 0 && Page < kRefEditPageCount ? Ansi(kNames[Page]) : AnsiString();
}

void TRefEditModel::SetupSections(int page) {
  TCustomMtTree& tree = Tree(page);
  TMtHeaderSections* sections = tree.HeaderSections();
  if (sections->GetCount() > 0) return;  // the window has set them up itself
  for (const TSectionDef& d : SectionDefs(page)) {
    TMtHeaderSection* s = sections->AddSection();
    s->SetText(Ansi(d.Caption));
    s->SetFieldName(d.Field);
    s->SetFieldType(d.Type);
    s->SetEditable(d.Editable);
    s->SetWidth(d.Width);
    if (d.Type != sftText) s->SetAlignment(hsaRight);
    s->SetHint(Ansi(d.Hint));
  }
  if (page == rpParam) sections->GetSection(2)->SetVisible(false);
}

void TRefEditModel::Create() {
  for (int p = 0; p < kRefEditPageCount; ++p) SetupSections(p);
  for (int p = rpProd; p <= rpEnergo; ++p) Ref(p).TryLoad(prompt_);
  LoadParams();
  SetActivePage(activePage_);
  TellReadOnly();
}

bool TRefEditModel::ReadOnly(int Page) const {
  if (Page < 0 || Page >= kRefEditPageCount) return true;
  return Ref(Page).ReadOnly;
}

void TRefEditModel::TellReadOnly() {
  AnsiString names;
  int count = 0;
  for (int p = 0; p < kRefEditPageCount; ++p) {
    if (!ReadOnly(p)) continue;
    names += (count++ > 0 ? ", " : "") + PageDative(p);
  }
  if (count == 0) return;
  if (!CanWriteRefFolder(refDir_))
    prompt_.MessageDlg(Format(Ansi("Папка справочников недоступна для записи:\r%s\r"
                                   "Справочники открыты только для просмотра, изменения в них сохранить нельзя."),
                              {refDir_}),
                       TMsgDlgType::mtWarning, mbOK);
  else
    prompt_.MessageDlg(Format(Ansi("Справочники по %s недоступны для записи в папке\r%s\r"
                                   "Они открыты только для просмотра, изменения в них сохранить нельзя."),
                              {names, refDir_}),
                       TMsgDlgType::mtWarning, mbOK);
}

void TRefEditModel::SetActivePage(int Page) {
  if (Page >= 0 && Page < kRefEditPageCount) activePage_ = Page;
}

void TRefEditModel::NewProduct(TRef*, TMtTreeItem* Item, const TRefItemRec& Rec) {
  Item->Data = NewRefFoodRec({Rec.Code, Rec.Owner, Rec.Flags, fkProduct});
  Item->SetText(Ansi("- Новый продукт -"));
}

void TRefEditModel::NewMeal(TRef*, TMtTreeItem* Item, const TRefItemRec& Rec) {
  Item->Data = NewRefFoodRec({Rec.Code, Rec.Owner, Rec.Flags, fkMeal});
  Item->SetText(Ansi("Новая трапеза"));
}

void TRefEditModel::RefSaved(TRef* Sender) {
  static constexpr int kPickPages[] = {0, 1, 2, 4};
  for (int p = rpProd; p <= rpEnergo; ++p)
    if (&Ref(p) == Sender && OnRefSaved) OnRefSaved(kPickPages[p]);
}

// ---------------------------------------------------------------------------------
// Actions

TRefEditActions TRefEditModel::Actions() const {
  TRefEditActions a;
  a.FileSave = CurrentRef().Modified && !ReadOnly(activePage_);
  for (int p = 0; p < kRefEditPageCount; ++p) a.FileSaveAll = a.FileSaveAll || (Ref(p).Modified && !ReadOnly(p));
  if (activePage_ == rpParam || ReadOnly(activePage_)) return a;
  const TMtTreeItem* focused = Tree(activePage_).ItemFocused();
  const bool folder = IsRefFolder(focused);
  a.ItemsAddMetaFolder = true;
  a.ItemsAddFolder = folder;
  a.ItemsAddItem = activePage_ == rpMeal || folder;
  const TRefItemRec* rec = RefRecOf(focused);
  a.ItemsAddComponent =
      activePage_ == rpDish && focused != nullptr && !folder && rec != nullptr && rec->Kind == fkDish && pickList_;
  a.ItemsDelete = focused != nullptr;
  a.ItemsDeleteAll = focused != nullptr && !CurrentRef().ItemList().empty();
  a.ItemsMoveUp = focused != nullptr && focused->GetPrevSibling() != nullptr;
  a.ItemsMoveDown = focused != nullptr && focused->GetNextSibling() != nullptr;
  return a;
}

void TRefEditModel::FocusNew(int page, TMtTreeItem* item) {
  if (item == nullptr) return;
  Tree(page).SetItemFocused(item);
  if (OnNewRow) OnNewRow(Tree(page), item);
}

TMtTreeItem* TRefEditModel::NewFolder(TMtTreeItem* parent) {
  TMtTreeItem* item = CurrentRef().AddItem(parent);
  if (TRefItemRec* rec = RefRecOf(item)) rec->Flags |= ffGroup;
  item->SetText(Ansi("- Новый фолдер -"));
  item->SetParentStyle(false);
  item->SetState(isBold, true);
  return item;
}

void TRefEditModel::ItemsAddMetaFolder() {
  if (!Actions().ItemsAddMetaFolder) return;
  TMtTreeItem* item;
  {
    TMtUpdateBracket bracket(&Tree(activePage_));
    item = NewFolder(nullptr);
  }
  FocusNew(activePage_, item);
}

void TRefEditModel::ItemsAddFolder() {
  if (!Actions().ItemsAddFolder) return;
  TMtTreeItem* parent = Tree(activePage_).ItemFocused();
  TMtTreeItem* item;
  {
    TMtUpdateBracket bracket(&Tree(activePage_));
    item = NewFolder(parent);
    parent->Expand(false);
  }
  FocusNew(activePage_, item);
}

void TRefEditModel::ItemsAddItem() {
  if (!Actions().ItemsAddItem) return;
  TMtTreeItem* focused = Tree(activePage_).ItemFocused();
  TMtTreeItem* item = nullptr;
  {
    TMtUpdateBracket bracket(&Tree(activePage_));
    if (IsRefFolder(focused)) {
      item = CurrentRef().AddItem(focused);
      focused->Expand(false);
    } else if (activePage_ == rpMeal) {
      // Meals need no folder; with no row focused the meal goes to the top level too.
      item = CurrentRef().AddItem(nullptr);
    }
  }
  FocusNew(activePage_, item);
}

void TRefEditModel::ItemsAddComponent() {
  if (!Actions().ItemsAddComponent) return;
  TMtTreeItem* dish = Tree(rpDish).ItemFocused();
  if (pickList_->Execute(0, Ansi("Добавить компоненты блюда")) != mrOk || pickList_->PickCount() <= 0) return;
  TRef& ref = Ref(rpDish);
  const std::int32_t dishCode = RefRecOf(dish)->Code;
  int added = 0;
  {
    TMtUpdateBracket bracket(&Tree(rpDish));
    for (int i = 0; i < pickList_->PickCount(); ++i) {
      const TFoodRec* data = pickList_->GetItemData(i);
      if (data == nullptr) continue;
      const TFoodRec picked = *data;
      if (ref.FindChild(dish, picked.Code, fkProduct) != nullptr) continue;  // already a component
      TFoodRec* rec = NewRefFoodRec({picked.Code, dishCode, 0, fkProduct});
      *rec = picked;
      rec->Owner = dishCode;
      rec->Flags = 0;
      rec->Kind = fkProduct;
      TMtTreeItem* item = Tree(rpDish).Items()->AddItem(dish);
      item->Data = rec;
      item->SetText(pickList_->GetItemText(i));
      ref.AddLoadedItem(item);
      UpdateDishColumns(item);
      ++added;
    }
    if (added > 0) {
      RecalcDish(dish);
      UpdateDishColumns(dish);
      dish->Expand(false);
    }
  }
  if (added > 0) ref.Modified = true;
}

AnsiString TRefEditModel::UsedProductsQuestion(const TMtTreeItem* Root, const char* Tail,
                                                const char* TailMany) const {
  // Components carry their product's code: a product deleted under them would leave them
  // pointing at nothing, and the next load of the dishes drops them.
  std::map<std::int32_t, const TMtTreeItem*> going;
  const TMtTreeItem* first = Root != nullptr ? Root : Tree(rpProd).Items()->Root()->GetFirstChild();
  for (const TMtTreeItem* item = first; item != nullptr && (Root == nullptr || item->IsUnder(Root));
       item = item->GetNext())
    if (const TRefItemRec* rec = RefRecOf(item); rec != nullptr && !IsRefFolder(item)) going.emplace(rec->Code, item);
  std::set<const TMtTreeItem*> used;
  std::vector<AnsiString> dishes;
  const TMtTreeItem* lastDish = nullptr;
  for (const TMtTreeItem* item = Tree(rpDish).Items()->Root()->GetFirstChild(); item != nullptr;
       item = item->GetNext()) {
    const TRefItemRec* rec = RefRecOf(item);
    if (rec == nullptr || rec->Kind != fkProduct || item->GetParent() == nullptr) continue;
    const auto product = going.find(rec->Code);
    if (product == going.end()) continue;
    used.insert(product->second);
    if (item->GetParent() != lastDish) dishes.push_back(item->GetParent()->Text());
    lastDish = item->GetParent();
  }
  if (used.empty()) return {};
  std::vector<AnsiString> products;
  for (const TMtTreeItem* item = first; item != nullptr && (Root == nullptr || item->IsUnder(Root));
       item = item->GetNext())
    if (used.count(item) > 0) products.push_back(item->Text());
  const bool one = products.size() == 1;
  return Format(Ansi(one ? "Продукт %s входит в состав блюд: %s.\r" : "Продукты %s входят в состав блюд: %s.\r"),
                {NameList(products), NameList(dishes)}) +
         Ansi(one ? Tail : TailMany);
}

void TRefEditModel::ItemsDelete() {
  if (!Actions().ItemsDelete) return;
  TCustomMtTree& tree = Tree(activePage_);
  TMtTreeItem* item = tree.ItemFocused();
  if (activePage_ == rpProd) {
    const AnsiString question = UsedProductsQuestion(item, "Удалить его?", "Удалить их?");
    if (!question.empty() && prompt_.MessageDlg(question, TMsgDlgType::mtWarning, mbYes | mbNo) != mrYes) return;
  }
  TMtTreeItem* next = item->GetNextSibling();
  if (next == nullptr) next = item->GetPrevSibling();
  if (next == nullptr) next = item->GetParent();
  const TRefItemRec* rec = RefRecOf(item);
  TMtTreeItem* dish = activePage_ == rpDish && rec != nullptr && rec->Kind == fkProduct ? item->GetParent() : nullptr;
  {
    TMtUpdateBracket bracket(&tree);
    CurrentRef().DeleteItem(item);
    if (dish != nullptr) {
      RecalcDish(dish);
      UpdateDishColumns(dish);
    }
  }
  if (next != nullptr) tree.SetItemFocused(next);
}

void TRefEditModel::ItemsDeleteAll() {
  if (!Actions().ItemsDeleteAll) return;
  if (Tree(activePage_).Items()->Count() > 0) {
    const char* question = "Вы действительно хотите удалить ВСЕ строки\rиз текущего справочника?";
    const AnsiString used = activePage_ == rpProd ? UsedProductsQuestion(nullptr, question, question) : AnsiString();
    if (prompt_.MessageDlg(used.empty() ? Ansi(question) : used,
                           used.empty() ? TMsgDlgType::mtConfirmation : TMsgDlgType::mtWarning,
                           mbYes | mbNo) != mrYes)
      return;
  }
  CurrentRef().Clear();
}

void TRefEditModel::ItemsMoveUp() {
  if (!Actions().ItemsMoveUp) return;
  TMtTreeItem* item = Tree(activePage_).ItemFocused();
  TMtTreeItem* parent = item->GetParent() != nullptr ? item->GetParent() : Tree(activePage_).Items()->Root();
  const int i = item->GetIndex();
  parent->ExchangeChildren(i, i - 1);
  CurrentRef().Modified = true;
}

void TRefEditModel::ItemsMoveDown() {
  if (!Actions().ItemsMoveDown) return;
  TMtTreeItem* item = Tree(activePage_).ItemFocused();
  TMtTreeItem* parent = item->GetParent() != nullptr ? item->GetParent() : Tree(activePage_).Items()->Root();
  const int i = item->GetIndex();
  parent->ExchangeChildren(i, i + 1);
  CurrentRef().Modified = true;
}

bool TRefEditModel::SavePage(int page) {
  TRef& ref = Ref(page);
  if (ReadOnly(page)) return false;
  if (ref.MissingRecords() > 0) {
    // Writing a table that was cut short makes the loss of its missing rows final.
    if (prompt_.MessageDlg(Format(Ansi("Справочник по %s был загружен из поврежденного файла:\r"
                                       "в нем не хватает записей (%d), они не были прочитаны.\r"
                                       "При записи эти записи будут потеряны окончательно.\r"
                                       "Все равно записать справочник?"),
                                  {PageDative(page), ref.MissingRecords()}),
                           TMsgDlgType::mtWarning, mbYes | mbNo) != mrYes)
      return false;
    ref.AcceptMissingRecords();
  }
  try {
    if (page == rpParam)
      SaveParams();
    else
      ref.Save();
    return true;
  } catch (const ERefChangedError&) {
    // Somebody else's changes stay; the user's stay in the window until a reload.
    if (prompt_.MessageDlg(Format(Ansi("Справочник по %s был изменен другим пользователем\r"
                                       "после того, как он был открыт здесь.\r"
                                       "Ваши изменения не записаны, чтобы не затереть чужие.\r"
                                       "Загрузить справочник заново? Несохраненные изменения в окне будут потеряны."),
                                  {PageDative(page)}),
                           TMsgDlgType::mtWarning, mbYes | mbNo) == mrYes)
      ReloadPage(page);
    return false;
  } catch (const std::exception& e) {
    const AnsiString file = page == rpParam ? refDir_ + kParamsFileName : Ref(page).FileName;
    prompt_.MessageDlg(Format(Ansi("Не удается записать справочник по %s\r(%s):\r%s\rИзменения не сохранены."),
                              {PageDative(page), file, AnsiString(e.what())}),
                       TMsgDlgType::mtError, mbOK);
    return false;
  }
}

void TRefEditModel::ReloadPage(int Page) {
  if (Page == rpParam) {
    std::vector<AnsiString> faulty;
    LoadParams(&faulty);
    if (!faulty.empty()) prompt_.MessageDlg(LimitsWarning(refDir_, faulty), TMsgDlgType::mtWarning, mbOK);
    return;
  }
  if (Page < rpProd || Page > rpEnergo) return;
  Ref(Page).TryLoad(prompt_);
  Tree(Page).SetItemFocused(nullptr);
}

void TRefEditModel::FileSave() {
  if (CurrentRef().Modified) SavePage(activePage_);
}

void TRefEditModel::FileSaveAll() {
  for (int page : {rpEnergo, rpProd, rpDish, rpParam, rpMeal})
    if (Ref(page).Modified) SavePage(page);
}

bool TRefEditModel::CloseQuery() {
  for (int page : {rpProd, rpDish, rpMeal, rpEnergo, rpParam}) {
    if (!Ref(page).Modified) continue;
    const TModalResult r =
        prompt_.MessageDlg(Format(Ansi("Справочник по %s был изменен.\rЗаписать изменения?"), {PageDative(page)}),
                           TMsgDlgType::mtConfirmation, mbYes | mbNo | mbCancel);
    if (r == mrCancel) return false;
    // A table that could not be written keeps the window open: closing would lose it.
    if (r == mrYes && !SavePage(page)) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Cells

void TRefEditModel::SetSelectColumn(int Page, int Section) {
  if (Page < 0 || Page >= kRefEditPageCount) return;
  if (Section >= 0 && Section < Tree(Page).HeaderSections()->GetCount())
    selectColumn_[static_cast<std::size_t>(Page)] = Section;
}

bool TRefEditModel::MoveSelectColumn(int Page, int Delta) {
  TMtHeaderSections* sections = Tree(Page).HeaderSections();
  const int n = sections->GetCount();
  for (int s = SelectColumn(Page) + Delta; s >= 0 && s < n; s += Delta) {
    if (sections->GetSection(s)->Visible()) {
      selectColumn_[static_cast<std::size_t>(Page)] = s;
      return true;
    }
  }
  return false;
}

bool TRefEditModel::KeyStartsEdit(TFieldTypes Type, unsigned char Key) {
  if (Type == sftNumber) return Key >= '0' && Key <= '9';
  if (Type == sftFloating) return (Key >= '0' && Key <= '9') || Key == ',' || Key == '.';
  return Key >= 32 && Key != '+' && Key != '-' && Key != 127;
}

bool TRefEditModel::CanEdit(int Page, const TMtTreeItem* Item, int Section) const {
  if (ReadOnly(Page)) return false;
  if (Item == nullptr || Section < 0 || Section >= Tree(Page).HeaderSections()->GetCount()) return false;
  if (!Tree(Page).HeaderSections()->GetSection(Section)->Editable()) return false;
  if (Page != rpDish) return true;
  const TRefItemRec* rec = RefRecOf(Item);
  if (rec == nullptr) return false;
  const AnsiString& field = Tree(Page).HeaderSections()->GetSection(Section)->FieldName();
  return (rec->Kind == fkDish && field == "NAME") || (rec->Kind == fkProduct && field == "VEIGHT");
}

AnsiString TRefEditModel::CellText(const TCustomMtTree& Tree, const TMtTreeItem* Item, int Section) {
  if (Item == nullptr) return {};
  const int main = Tree.MainTreeColumn;
  if (Section == main) return Item->Text();
  const int index = Section > main ? Section - 1 : Section;
  const TStringList& columns = Item->ColumnText();
  return index >= 0 && index < columns.Count() ? columns.Strings(index) : AnsiString();
}

bool TRefEditModel::EditCell(int Page, TMtTreeItem* Item, int Section, const AnsiString& Text) {
  if (!CanEdit(Page, Item, Section) || Text.empty()) return false;
  const TFieldTypes type = Tree(Page).HeaderSections()->GetSection(Section)->FieldType();
  AnsiString stored = Text;
  const char* refusal = nullptr;
  if (type == sftNumber) {
    stored = Trim(Text);
    std::int32_t v;
    if (!AllDigits(stored) || !TextToInt(stored, v)) refusal = "Здесь можно вводить только целое число без знаков";
  } else if (type == sftFloating) {
    stored = Trim(Text);
    double v;
    if (!UnsignedFloat(stored, v))
      refusal =
          "Здесь можно вводить только вещественное число без знаков\r(десятичный разделитель - точка или запятая)";
    else if (Page == rpParam && Item->ColumnText().Count() > 1 && !LimitInRange(Item->ColumnText().Strings(1), v))
      refusal = "Значение вне допустимых пределов этого параметра";
  } else if (Trim(Text).empty()) {
    refusal = "Здесь можно вводить только непустой текст";
  } else if (Page != rpParam) {
    AnsiString lacking;
    stored = TableText(Text, lacking);
    if (!lacking.empty()) {
      prompt_.MessageDlg(Ansi("Эти символы нельзя записать в справочник: ") + lacking + "\r", TMsgDlgType::mtWarning,
                         mbOK);
      return false;
    }
    const std::map<AnsiString, int>& widths = Ref(Page).TextWidths;
    const auto width = widths.find(AnsiUpperCase(Tree(Page).HeaderSections()->GetSection(Section)->FieldName()));
    if (width != widths.end() && static_cast<int>(stored.size()) > width->second) {
      prompt_.MessageDlg(Format(Ansi("Здесь можно вводить не более %d символов\r"), {width->second}),
                         TMsgDlgType::mtWarning, mbOK);
      return false;
    }
  }
  if (refusal != nullptr) {
    prompt_.MessageDlg(Ansi(refusal) + "\r", TMsgDlgType::mtWarning, mbOK);
    return false;
  }
  TCustomMtTree& tree = Tree(Page);
  TMtUpdateBracket bracket(&tree);
  SetCell(tree, Item, Section, stored);
  Ref(Page).Modified = true;
  TFoodRec* rec = RefFoodRecOf(Item);
  if (Page == rpDish && rec != nullptr && rec->Kind == fkProduct) {
    TextToInt(stored, rec->Veight);
    UpdateDishColumns(Item);
    RecalcDish(Item->GetParent());
    UpdateDishColumns(Item->GetParent());
  }
  return true;
}

// ---------------------------------------------------------------------------------
// Limits page

void TRefEditModel::LoadParams(std::vector<AnsiString>* Faulty) {
  // The values shown and the stamp the next save compares with are of one state of the
  // file: both are read under its save lock. Limits the program holds but the file no
  // longer does (another user saved since they were read) take no stamp: a save of them
  // would write over the other user's, so it asks first.
  const AnsiString file = refDir_ + kParamsFileName;
  {
    const TFileSaveLock lock(file, true);
    paramsStamp_ = StampOfFiles({file});
    if (Faulty != nullptr)
      limits_ = LoadLimits(refDir_, Faulty);
    else if (!SameLimits(LoadLimits(refDir_), limits_))
      paramsStamp_ = {};
  }
  TCustomMtTree& tree = Tree(rpParam);
  TMtUpdateBracket bracket(&tree);
  tree.Items()->Clear();
  for (int i = 0; i < kParamCount; ++i) {
    TMtTreeItem* item = tree.Items()->AddItem(nullptr);
    item->SetText(ParamCaption(i));
    item->ColumnText().Add(LimitText(limits_, i));
    item->ColumnText().Add(ParamKey(i));
  }
  Ref(rpParam).Modified = false;
  Ref(rpParam).ReadOnly = !CanWriteRefFile(refDir_ + kParamsFileName);
}

void TRefEditModel::SaveParams() {
  TRationLimits limits = limits_;
  TCustomMtTree& tree = Tree(rpParam);
  for (int r = 0; r < tree.Items()->Root()->GetChildrenCount(); ++r) {
    const TMtTreeItem* item = tree.Items()->Root()->GetChildren(r);
    const TStringList& columns = item->ColumnText();
    if (columns.Count() < 2) continue;
    double v;
    if (!TextToFloat(Trim(columns.Strings(0)), v)) continue;  // the cell check lets none through
    for (int i = 0; i < kParamCount; ++i)
      if (AnsiSameText(ParamKey(i), columns.Strings(1))) SetLimitValue(limits, i, v);
  }
  // Another user's limits saved since the page was read are not written over: the
  // comparison and the replacement are made under the file's save lock, and what is
  // written is the new stamp (a later look at the file could see another user's).
  const AnsiString file = refDir_ + kParamsFileName;
  const TFileSaveLock lock(file);
  if (StampOfFiles({lock.Target()}) != paramsStamp_)
    throw ERefChangedError(Format(Ansi("Файл %s был изменен другим пользователем"), {file}));
  TIniFile ini(lock.Target());
  PutLimits(ini, limits);
  // The program goes on with the limits as the file holds them (a value typed with more
  // digits than the file keeps is read back shorter).
  for (int i = 0; i < kParamCount; ++i)
    SetLimitValue(limits, i, ini.ReadFloat(kParamsSection, kParams[i].Key, LimitValue(limits, i)));
  const AnsiString text = ini.Text();
  ini.UpdateFile(lock);
  paramsStamp_ = StampOfBytes(text.data(), static_cast<std::int64_t>(text.size()));
  limits_ = limits;
  Ref(rpParam).Modified = false;
}

AnsiString TRefEditModel::ParamRowHint(const TMtTreeItem* Item) const {
  if (Item == nullptr || Item->GetParent() != nullptr) return {};
  const int i = Item->GetIndex();
  return i >= 0 && i < 5 ? ParamHint(i) : AnsiString();
}
