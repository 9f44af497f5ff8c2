#include "planner/reference/RefItems.h"

#include <limits>
#include <memory>
#include <unordered_map>
#include <vector>

#include "planner/app/UserPrompt.h"
#include "planner/ration/RationDoc.h"
#include "tables/DbfDB.h"

namespace {

// An integer value of a numeric field (a blank one is 0); values outside 32 bits are an
// error of the table.
std::int32_t FieldInt(const TField& field) {
  const std::int64_t v = Round(field.AsFloat());
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max())
    throw ERefError(Format(Ansi("Значение поля %s вне допустимого диапазона"), {field.FieldName()}));
  return static_cast<std::int32_t>(v);
}

std::int32_t IntOf(TDataSet& ds, const char* name) {
  const TField* f = ds.FindField(name);
  return f != nullptr ? FieldInt(*f) : 0;
}

double FloatOf(TDataSet& ds, const char* name) {
  const TField* f = ds.FindField(name);
  return f != nullptr ? f->AsFloat() : 0;
}

AnsiString Fixed2(double v) { return Format("%3.2f", {v}); }
AnsiString Int(std::int64_t v) { return Format("%d", {v}); }

// Sets the item's column texts to `texts` (the existing ones replaced).
void SetColumns(TMtTreeItem* item, std::initializer_list<AnsiString> texts) {
  TStringList& columns = item->ColumnText();
  columns.Clear();
  for (const AnsiString& t : texts) columns.Add(t);
}

void SetEmptyColumns(TMtTreeItem* item, int n) {
  TStringList& columns = item->ColumnText();
  columns.Clear();
  for (int i = 0; i < n; ++i) columns.Add("");
}

const AnsiString& MissingProductText() {
  static const AnsiString text = Ansi("ошибка: в справочнике не найден продукт с указанным кодом");
  return text;
}

}  // namespace

AnsiString RefFieldText(TDataSet& DataSet, const char* Name) {
  const TField* f = DataSet.FindField(Name);
  return f != nullptr ? f->AsString() : AnsiString();
}

TFoodRec* NewFoodRecFromTable(TDataSet& DataSet, const TRefItemRec& Rec) {
  TFoodRec values{};
  values.Cal = IntOf(DataSet, "CAL");
  values.AlbA = FloatOf(DataSet, "ALBA");
  values.AlbV = FloatOf(DataSet, "ALBV");
  values.FatA = FloatOf(DataSet, "FATA");
  values.FatV = FloatOf(DataSet, "FATV");
  values.Carb = FloatOf(DataSet, "CARB");
  values.Veight = IntOf(DataSet, "VEIGHT");
  TFoodRec* rec = NewRefFoodRec(Rec);
  *rec = values;
  rec->Code = Rec.Code;
  rec->Owner = Rec.Owner;
  rec->Flags = Rec.Flags;
  rec->Kind = Rec.Kind;
  return rec;
}

void SetRefFolderStyle(const TRef& Ref, TMtTreeItem* Item) {
  if (!Ref.FolderStyle) return;
  Item->SetParentStyle(false);
  Item->SetState(isBold, true);
}

namespace {

// The block and the text of a pick-list row; a folder gets `folderColumns` empty column
// texts and nil back, a row its record.
const TFoodRec* LoadPickListRow(const TRef& ref, TDataSet& ds, const TRefItemRec& rec, TMtTreeItem* item,
                                int folderColumns) {
  TFoodRec* food = NewFoodRecFromTable(ds, rec);
  item->Data = food;
  item->SetText(RefFieldText(ds, "NAME"));
  if ((rec.Flags & ffGroup) == 0) return food;
  SetRefFolderStyle(ref, item);
  SetEmptyColumns(item, folderColumns);
  return nullptr;
}

}  // namespace

void LoadProdMealItem(TRef* Sender, TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item) {
  const TFoodRec* rec = LoadPickListRow(*Sender, DataSet, Rec, Item, 4);
  if (rec == nullptr) return;
  SetColumns(Item, {Int(rec->Cal), Fixed2(rec->AlbA + rec->AlbV), Fixed2(rec->FatA + rec->FatV), Fixed2(rec->Carb)});
}

void LoadDishItem(TRef* Sender, TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item) {
  const TFoodRec* rec = LoadPickListRow(*Sender, DataSet, Rec, Item, 6);
  if (rec == nullptr) return;
  const AnsiString protein = Fixed2(rec->AlbA + rec->AlbV), fat = Fixed2(rec->FatA + rec->FatV),
                   carb = Fixed2(rec->Carb);
  if (rec->Veight > 0) {
    // Energy per 100 g; a portion heavier than its energy in kcal stays far inside 64 bits.
    const double per100 = static_cast<double>(rec->Cal) * 100 / rec->Veight;
    SetColumns(Item, {Int(rec->Veight), Int(rec->Cal), Int(Round(per100)), protein, fat, carb});
  } else {
    SetColumns(Item, {"", "", "", protein, fat, carb});
  }
}

// ---------------------------------------------------------------------------------
// The editor's dish table

void UpdateDishColumns(TMtTreeItem* Item) {
  const TFoodRec* rec = RefFoodRecOf(Item);
  if (rec == nullptr || (rec->Flags & ffGroup) != 0) return;
  if (rec->Kind == fkProduct) {
    const double w = rec->Veight;
    SetColumns(Item, {Int(RoundedEnergy(rec->Cal, rec->Veight)), Int(rec->Veight), Fixed2(rec->AlbA * w / 100),
                      Fixed2(rec->AlbV * w / 100), Fixed2(rec->FatA * w / 100), Fixed2(rec->FatV * w / 100),
                      Fixed2(rec->Carb * w / 100)});
  } else {
    SetColumns(Item, {Int(rec->Cal), Int(rec->Veight), Fixed2(rec->AlbA), Fixed2(rec->AlbV), Fixed2(rec->FatA),
                      Fixed2(rec->FatV), Fixed2(rec->Carb)});
  }
}

void RecalcDish(TMtTreeItem* Dish) {
  TFoodRec* rec = RefFoodRecOf(Dish);
  if (rec == nullptr) return;
  TProductSums sums;
  for (int i = 0; i < Dish->GetChildrenCount(); ++i) {
    const TFoodRec* c = RefFoodRecOf(Dish->GetChildren(i));
    if (c != nullptr && c->Kind == fkProduct) sums.AddProduct(*c);
  }
  sums.StoreTo(*rec);
}

TRefDishTable::TRefDishTable(TRef& Ref, IUserPrompt& Prompt) : ref_(Ref), prompt_(Prompt) {
  ref_.OnItemLoad = [this](TRef* s, TDataSet& ds, const TRefItemRec& rec, TMtTreeItem* item) {
    refDishItemLoad(s, ds, rec, item);
  };
  ref_.OnAfterLoad = [this](TRef* s) { refDishAfterLoad(s); };
  ref_.OnBeforeItemSave = [this](TRef* s, TMtTreeItem* item, bool& accept) { refDishBeforeItemSave(s, item, accept); };
  ref_.OnAfterSave = [this](TRef* s) { refDishAfterSave(s); };
  ref_.OnSaveCompanion = [this](TRef* s) { return CompositionSave(s); };
  ref_.OnCompanionSaved = [this](TRef*, const TRefTableStamp& written) { compStamp_ = written; };
  ref_.OnBeforeSave = [this](TRef*) { CheckRefTableUnchanged(CompFileName(), compStamp_); };
  ref_.OnNewItem = [this](TRef* s, TMtTreeItem* item, const TRefItemRec& rec) { NewDish(s, item, rec); };
}

TRefDishTable::~TRefDishTable() {
  ref_.OnItemLoad = nullptr;
  ref_.OnAfterLoad = nullptr;
  ref_.OnBeforeItemSave = nullptr;
  ref_.OnAfterSave = nullptr;
  ref_.OnSaveCompanion = nullptr;
  ref_.OnCompanionSaved = nullptr;
  ref_.OnBeforeSave = nullptr;
  ref_.OnNewItem = nullptr;
}

void TRefDishTable::NewDish(TRef*, TMtTreeItem* Item, const TRefItemRec& Rec) {
  Item->Data = NewRefFoodRec({Rec.Code, Rec.Owner, Rec.Flags, fkDish});
  Item->SetText(Ansi("Новое блюдо"));
}

AnsiString TRefDishTable::CompFileName() const { return ref_.TableDir() + kRefDishCompTable; }
AnsiString TRefDishTable::ProductsFileName() const { return ref_.TableDir() + kRefProductsTable; }

void TRefDishTable::refDishItemLoad(TRef* Sender, TDataSet& DataSet, const TRefItemRec& Rec, TMtTreeItem* Item) {
  Item->Data = NewRefFoodRec({Rec.Code, Rec.Owner, Rec.Flags, fkDish});
  Item->SetText(RefFieldText(DataSet, "NAME"));
  if ((Rec.Flags & ffGroup) != 0) SetRefFolderStyle(*Sender, Item);
}

void TRefDishTable::refDishAfterLoad(TRef* Sender) {
  // Both tables read once, in table order: the components of each dish, and the first
  // record of each product code (what a search by CODE finds).
  std::unordered_map<std::int32_t, std::vector<std::pair<std::int32_t, std::int32_t>>> parts;
  compStamp_ = {};
  {
    const TRefTableStamp stamp = RefTableStamp(CompFileName());
    TDbfDataSet comp;
    OpenRefTableForReading(comp, CompFileName());
    compStamp_ = stamp;
    // The compositions are saved with the dishes: a cut-short table counts as the dish table's.
    if (const std::int64_t missing = MissingRefRecords(comp); missing > 0)
      Sender->CutShort.push_back({CompFileName(), missing});
    TField& dish = comp.FieldByName("DISHCODE");
    TField& prod = comp.FieldByName("PRODCODE");
    TField& veight = comp.FieldByName("VEIGHT");
    for (comp.First(); !comp.Eof(); comp.Next())
      parts[FieldInt(dish)].emplace_back(FieldInt(prod), FieldInt(veight));
  }
  struct Product {
    AnsiString name;
    TFoodRec values;
  };
  std::unordered_map<std::int32_t, Product> products;
  {
    TDbfDataSet ds;
    OpenRefTableForReading(ds, ProductsFileName());
    TField& code = ds.FieldByName("CODE");
    for (ds.First(); !ds.Eof(); ds.Next()) {
      const std::int32_t c = code.AsInteger();
      if (products.contains(c)) continue;
      TFoodRec* rec = NewFoodRecFromTable(ds, {c, 0, 0, fkProduct});
      products.emplace(c, Product{RefFieldText(ds, "NAME"), *rec});
      FreeRefBlock(rec);
    }
  }

  TMtUpdateBracket bracket(&Sender->Tree());
  const std::vector<TMtTreeItem*> dishes = Sender->ItemList();  // the components join it
  for (TMtTreeItem* dish : dishes) {
    const TFoodRec* d = RefFoodRecOf(dish);
    if (d == nullptr || (d->Flags & ffGroup) != 0) continue;
    auto it = parts.find(d->Code);
    if (it != parts.end()) {
      for (const auto& [prodCode, veight] : it->second) {
        auto p = products.find(prodCode);
        if (p == products.end()) {
          prompt_.MessageDlg(MissingProductText(), TMsgDlgType::mtError, mbOK);
          continue;
        }
        TMtTreeItem* item = Sender->Tree().Items()->AddItem(dish);
        TFoodRec* rec = NewRefFoodRec({prodCode, d->Code, 0, fkProduct});
        *rec = p->second.values;
        rec->Code = prodCode;
        rec->Owner = d->Code;
        rec->Flags = 0;
        rec->Kind = fkProduct;
        rec->Veight = veight;
        item->Data = rec;
        item->SetText(p->second.name);
        Sender->AddLoadedItem(item);
        UpdateDishColumns(item);
      }
    }
    RecalcDish(dish);
    UpdateDishColumns(dish);
  }
}

void TRefDishTable::refDishBeforeItemSave(TRef*, TMtTreeItem* Item, bool& Accept) {
  const TRefItemRec* rec = RefRecOf(Item);
  if (rec == nullptr || rec->Kind != fkDish) Accept = false;
}

TRefCompanionSave TRefDishTable::CompositionSave(TRef* Sender) {
  auto items = std::make_shared<std::vector<TMtTreeItem*>>();
  Sender->Tree().Items()->Iterate(
      false, [&](TMtTreeItem* item, int, bool&, void*, TCustomMtTree*) { items->push_back(item); }, nullptr);
  const auto fill = [items](TDbfDataSet& ds) {
    TField& dish = ds.FieldByName("DISHCODE");
    TField& prod = ds.FieldByName("PRODCODE");
    TField& veight = ds.FieldByName("VEIGHT");
    for (TMtTreeItem* item : *items) {
      const TRefItemRec* head = RefRecOf(item);
      if (head == nullptr || head->Kind != fkProduct) continue;
      const TRefItemRec* owner = RefRecOf(item->GetParent());
      ds.Append();
      dish.SetAsInteger(owner != nullptr ? owner->Code : 0);
      prod.SetAsInteger(head->Code);
      veight.SetAsInteger(RefFoodRecOf(item)->Veight);
    }
  };
  return {CompFileName(), fill, compStamp_};
}

void TRefDishTable::refDishAfterSave(TRef* Sender) {
  if (OnSaved) OnSaved(Sender);
}
