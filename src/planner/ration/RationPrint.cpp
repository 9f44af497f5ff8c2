#include "planner/ration/RationPrint.h"

#include <cmath>

#include "planner/app/AppStrings.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"
#include "report/RP_Template.h"

const std::array<TPrnSectionItem, kPrnSectionCount> kPrnSectionItems = {{
    {"Общая информация", "Gen", 0, -1},
    {"Питание", "Eat", 0, -1},
    {"Меню похода по дням", "Menu", 1, 1},
    {"Компоненты блюд", "DishComp", 2, 2},
    {"Комментарии", "MenuCmt", 2, 2},
    {"Список продуктов по  дням", "DayProd", 1, 1},
    {"Общий список продуктов", "TotProd", 1, 1},
    {"Итоговые значения КБЖУ", "Tot", 1, 1},
    {"Рекомендации", "TotCmt", 1, 1},
}};

const std::array<TRationPartInfo, rpartCount> kRationParts = {{
    {nullptr, "r-header.rpf", "rpRptHeader", nullptr},
    {"Gen", "rgen.rpf", "rpGen", "fdsGen"},
    {"Menu", "rmenu.rpf", "rpMenu", "fdsMenu"},
    {"DayProd", "rdayprod.rpf", "rpDayProds", "fdsDayProds"},
    {"TotProd", "rtotprod.rpf", "rpTotProds", "fdsTotProds"},
    {"Tot", "rtotals.rpf", "rpTotals", "fdsTotals"},
    {"TotCmt", "rtotcmt.rpf", "rpTotCmt", "fdsTotCmt"},
    {nullptr, "r-footer.rpf", "rpRptFooter", nullptr},
}};

// ---------------------------------------------------------------------------------
// TPrnSections

namespace {

bool IsDescendant(int item, int ancestor) {
  for (int p = kPrnSectionItems[static_cast<std::size_t>(item)].Parent; p >= 0;
       p = kPrnSectionItems[static_cast<std::size_t>(p)].Parent)
    if (p == ancestor) return true;
  return false;
}

bool HasChildren(int index) {
  for (const auto& it : kPrnSectionItems)
    if (it.Parent == index) return true;
  return false;
}

}  // namespace

TPrnSections::TPrnSections() { states_.fill(TPrnCheck::Unchecked); }

int TPrnSections::FindByKey(std::string_view key) const {
  for (int i = 0; i < kPrnSectionCount; ++i)
    if (key == kPrnSectionItems[static_cast<std::size_t>(i)].Key) return i;
  return -1;
}

bool TPrnSections::IsChecked(std::string_view key) const {
  const int i = FindByKey(key);
  return i >= 0 && State(i) == TPrnCheck::Checked;
}

int TPrnSections::CountChecked() const {
  int n = 0;
  for (TPrnCheck s : states_) n += s == TPrnCheck::Checked;
  return n;
}

void TPrnSections::SetState(int index, TPrnCheck state) {
  if (index < 0 || index >= kPrnSectionCount) return;
  states_[static_cast<std::size_t>(index)] = state == TPrnCheck::Grayed ? TPrnCheck::Checked : state;
  Propagate(index);
}

void TPrnSections::Toggle(int index) {
  if (index < 0 || index >= kPrnSectionCount) return;
  SetState(index, State(index) == TPrnCheck::Checked ? TPrnCheck::Unchecked : TPrnCheck::Checked);
}

void TPrnSections::Propagate(int index) {
  const TPrnCheck state = State(index);
  for (int i = 0; i < kPrnSectionCount; ++i)
    if (IsDescendant(i, index)) states_[static_cast<std::size_t>(i)] = state;
  const std::string_view key = kPrnSectionItems[static_cast<std::size_t>(index)].Key;
  if (key == "DishComp" || key == "MenuCmt") {
    if (state == TPrnCheck::Checked) states_[static_cast<std::size_t>(FindByKey("Menu"))] = TPrnCheck::Checked;
    return;
  }
  for (int a = kPrnSectionItems[static_cast<std::size_t>(index)].Parent; a >= 0;
       a = kPrnSectionItems[static_cast<std::size_t>(a)].Parent) {
    if (!HasChildren(a)) continue;
    bool anyChecked = false, anyUnchecked = false;
    for (int i = 0; i < kPrnSectionCount; ++i) {
      if (!IsDescendant(i, a)) continue;
      anyChecked |= State(i) == TPrnCheck::Checked;
      anyUnchecked |= State(i) == TPrnCheck::Unchecked;
    }
    states_[static_cast<std::size_t>(a)] = !anyChecked     ? TPrnCheck::Unchecked
                                           : !anyUnchecked ? TPrnCheck::Checked
                                                           : TPrnCheck::Grayed;
  }
}

std::vector<TRationPart> RationPartsFor(const TPrnSections& sections) {
  std::vector<TRationPart> parts;
  for (int p = 0; p < rpartCount; ++p) {
    const char* key = kRationParts[static_cast<std::size_t>(p)].Key;
    if (!key || sections.IsChecked(key)) parts.push_back(static_cast<TRationPart>(p));
  }
  return parts;
}

// ---------------------------------------------------------------------------------
// TRationPrint

namespace {

AnsiString Column(const TProductListRow& row, int column) {
  return column >= 0 && column < static_cast<int>(row.Columns.size()) ? row.Columns[static_cast<std::size_t>(column)]
                                                                       : AnsiString();
}

AnsiString Indent(int level) { return AnsiString(static_cast<std::size_t>(2 * std::max(level, 0)), ' '); }

bool In(const AnsiString& name, std::initializer_list<const char*> names, int& index) {
  index = 0;
  for (const char* n : names) {
    if (name == n) return true;
    ++index;
  }
  return false;
}

}  // namespace

TRationPrint::TRationPrint(TRationDocument& doc, TRationViews& views) : doc_(doc), views_(views) {
  Today = [] { return std::floor(Now()); };
  const std::array<TrpUserDataset*, 6> sets = {&fdsGen, &fdsMenu, &fdsDayProds, &fdsTotProds, &fdsTotals, &fdsTotCmt};
  for (int p = 0; p < rpartCount; ++p) {
    auto report = std::make_unique<TrpReport>();
    report->Name = kRationParts[static_cast<std::size_t>(p)].Component;
    for (TrpUserDataset* s : sets) report->AddDataset(*s);
    const auto part = static_cast<TRationPart>(p);
    report->OnGetValue = [this, part](const AnsiString& name, Variant& value) { PartValue(part, name, value); };
    parts_[static_cast<std::size_t>(p)] = std::move(report);
  }
  rpCompRpt.Name = "rpCompRpt";
  WireDatasets();
}

TStringList TRationPrint::DescriptionLines() const {
  TStringList lines;
  lines.SetText(doc_.Header.Description);
  return lines;
}

int TRationPrint::MenuCount() const { return doc_.Items()->Count(); }

const TMtTreeItem* TRationPrint::MenuItem(int row) const {
  if (row != menuRow_) {
    menuItem_ = menuItem_ && row == menuRow_ + 1 ? menuItem_->GetNext() : doc_.Items()->GetItem(row);
    menuRow_ = row;
  }
  return menuItem_;
}

int TRationPrint::MenuLevel(int row) const {
  const TMtTreeItem* item = MenuItem(row);
  return item ? item->GetLevel() : -1;
}

AnsiString TRationPrint::MenuColumn(int row, int column) const {
  const TMtTreeItem* item = MenuItem(row);
  if (!item || column < 0 || column >= item->ColumnText().Count()) return {};
  return item->ColumnText()[column];
}

void TRationPrint::UpdateMenuNumbers() {
  switch (MenuLevel(Cursor)) {
    case 0:
      ++Day;
      Meal = Dish = Product = 0;
      break;
    case 1:
      ++Meal;
      Dish = Product = 0;
      break;
    case 2:
      ++Dish;
      Product = 0;
      break;
    case 3:
      ++Product;
      break;
    default:
      break;
  }
}

void TRationPrint::WireDatasets() {
  auto simple = [this](TrpUserDataset& set, const char* name, std::function<int()> rows) {
    set.Name = name;
    set.OnFirst = [this](TObject*) { Cursor = 0; };
    set.OnNext = [this](TObject*) { ++Cursor; };
    set.OnCheckEOF = [this, rows](TObject*, bool& eof) { eof = Cursor > rows() - 1; };
  };
  fdsGen.Name = "fdsGen";
  fdsGen.OnFirst = [this](TObject*) { Cursor = -1; };
  fdsGen.OnNext = [this](TObject*) { ++Cursor; };
  fdsGen.OnCheckEOF = [this](TObject*, bool& eof) { eof = Cursor > DescriptionLines().Count() - 1; };

  fdsMenu.Name = "fdsMenu";
  fdsMenu.OnFirst = [this](TObject*) {
    menuRow_ = -1;
    menuItem_ = nullptr;
    Cursor = 0;
    Day = 1;
    Meal = Dish = Product = 0;
  };
  fdsMenu.OnNext = [this](TObject*) {
    ++Cursor;
    if (!DishComp)
      while (Cursor < MenuCount() && MenuLevel(Cursor) == 3) ++Cursor;
    if (Cursor < MenuCount()) UpdateMenuNumbers();
  };
  fdsMenu.OnCheckEOF = [this](TObject*, bool& eof) { eof = Cursor > MenuCount() - 1; };

  simple(fdsDayProds, "fdsDayProds", [this] { return static_cast<int>(views_.DayList.size()); });
  simple(fdsTotProds, "fdsTotProds", [this] { return static_cast<int>(views_.TripList.size()); });
  simple(fdsTotals, "fdsTotals", [] { return kTotalsRowCount; });
  simple(fdsTotCmt, "fdsTotCmt", [this] { return views_.Recommendations.Count(); });
}

void TRationPrint::RefreshViews() {
  views_.ShowTab(TRationTab::Menu);
  views_.ShowTab(TRationTab::DayList);
  views_.ShowTab(TRationTab::TripList);
  views_.ShowTab(TRationTab::Recommendations);
  views_.UpdateTotals();
  UpdateCostTotals(doc_, views_.TripList, views_.Totals);
}

void TRationPrint::Load(TRationPart part, const AnsiString& refDir, std::vector<AnsiString>& missing) {
  TrpReport& report = Part(part);
  const AnsiString file = IncludeTrailingPathDelimiter(refDir) + kRationParts[static_cast<std::size_t>(part)].Template;
  report.Clear();
  // A file that is there but cannot be read leaves its part empty too; the report has
  // said why, and the part is listed.
  TrpTemplateLoad r;
  if (!report.LoadFromFile(file, &r)) {
    if (r.Ok()) missing.push_back(file);
    else Unreadable.push_back(file);
    return;
  }
  if (r.Result == 1 || r.Result == 2) {
    report.Clear();
    Unreadable.push_back(file);
  }
}

AnsiString UnreadableTemplatesText(const std::vector<AnsiString>& files) {
  AnsiString list;
  for (const AnsiString& f : files) list += "\r" + f;
  return Format(Ansi("Не удалось прочитать шаблоны отчета:%s\rЭти разделы не будут напечатаны."), {list});
}

std::vector<AnsiString> TRationPrint::Assemble(const AnsiString& refDir, const TPrnSections& sections) {
  return Assemble(refDir, RationPartsFor(sections), sections.IsChecked("DishComp"), sections.IsChecked("MenuCmt"));
}

std::vector<AnsiString> TRationPrint::Assemble(const AnsiString& refDir, const std::vector<TRationPart>& parts,
                                               bool dishComp, bool menuCmt) {
  Clear();
  Unreadable.clear();
  std::vector<AnsiString> missing;
  for (TRationPart p : parts) {
    Load(p, refDir, missing);
    rpCompRpt.Reports.push_back(&Part(p));
  }
  DishComp = dishComp;
  MenuCmt = menuCmt;
  Cursor = 0;
  return missing;
}

bool TRationPrint::Prepare() {
  menuRow_ = -1;
  menuItem_ = nullptr;
  return rpCompRpt.PrepareReport();
}

void TRationPrint::Clear() {
  rpCompRpt.Reports.clear();
  rpCompRpt.EMFPages.Clear();
}

void TRationPrint::CommonReportValue(const AnsiString& name, Variant& value) const {
  int i = 0;
  if (!In(name, {"DATE", "PROGTITLE", "PROGVER", "PROGCOPYRIGHT", "TITLE", "AUTHOR", "TOURNAME", "MANS", "DAYS",
                 "EMPTY"},
          i))
    return;
  switch (i) {
    case 0: value = Variant::FromDate(Today()); break;
    case 1: value = Program.Title; break;
    case 2: value = Program.Version; break;
    case 3: value = Program.Copyright; break;
    case 4: value = doc_.Header.Title; break;
    case 5: value = doc_.Header.Author; break;
    case 6: value = doc_.Header.TourName; break;
    case 7: value = doc_.Mans; break;
    case 8: value = doc_.Days; break;
    default: value = " "; break;
  }
}

void TRationPrint::PartValue(TRationPart part, const AnsiString& name, Variant& value) const {
  int i = 0;
  switch (part) {
    case rpartHeader:
      if (name == "PARTTITLE") return void(value = "");
      break;
    case rpartGen:
      if (name == "PARTTITLE") return void(value = ExtractFileName(doc_.FileName));
      if (name == "CMT") {
        const TStringList lines = DescriptionLines();
        return void(value = Cursor >= 0 && Cursor < lines.Count() ? lines[Cursor] : AnsiString(" "));
      }
      break;
    case rpartMenu: {
      if (name == "PARTTITLE") return void(value = Ansi("Меню похода по дням"));
      const int level = MenuLevel(Cursor);
      if (name == "NO2") {
        switch (level) {
          case 0: return void(value = Format("%d.", {Day}));
          case 1: return void(value = Format("  %d.%d", {Day, Meal}));
          case 2: return void(value = Format("  %d.%d.%d", {Day, Meal, Dish}));
          case 3: return void(value = Format("  %d.%d.%d.%d", {Day, Meal, Dish, Product}));
          default: return void(value = "???");
        }
      }
      if (name == "NAME2") {
        const TMtTreeItem* item = MenuItem(Cursor);
        return void(value = Indent(level) + (item ? item->Text() : AnsiString()));
      }
      if (In(name, {"CAL2", "VEIGHT2", "ALB2", "FAT2", "CARB2", "GVEIGHT2"}, i)) return void(value = MenuColumn(Cursor, i));
      if (name == "ITEMLEVEL") return void(value = level);
      if (name == "CMT2") return void(value = MenuCmt ? MenuColumn(Cursor, 6) : AnsiString());
      if (name == "CMT2LINES")
        return void(value = MenuCmt ? CountWords(MenuColumn(Cursor, 6), TCharSet("\r\n")) : 0);
      break;
    }
    case rpartDayProd: {
      if (name == "PARTTITLE") return void(value = Ansi("Список продуктов по дням"));
      const bool at = Cursor >= 0 && Cursor < static_cast<int>(views_.DayList.size());
      const TProductListRow row = at ? views_.DayList[static_cast<std::size_t>(Cursor)] : TProductListRow{};
      if (name == "NO5") return void(value = (row.Level > 0 ? AnsiString("  ") : AnsiString()) + Column(row, 6));
      if (name == "NAME5") return void(value = Indent(row.Level) + row.Text);
      if (In(name, {"CAL5", "VEIGHT5", "ALB5", "FAT5", "CARB5", "GVEIGHT5"}, i)) return void(value = Column(row, i));
      if (name == "ITEMLEVEL") return void(value = row.Level);
      break;
    }
    case rpartTotProd: {
      if (name == "PARTTITLE") return void(value = Ansi("Общий список продуктов"));
      const bool at = Cursor >= 0 && Cursor < static_cast<int>(views_.TripList.size());
      const TProductListRow row = at ? views_.TripList[static_cast<std::size_t>(Cursor)] : TProductListRow{};
      if (name == "NO6") return void(value = Column(row, 0));
      if (name == "NAME6") return void(value = row.Text);
      if (In(name, {"CAL6", "VEIGHT6", "ALB6", "FAT6", "CARB6", "MVEIGHT6", "GVEIGHT6"}, i))
        return void(value = Column(row, i + 1));
      if (name == "SUM6" || name == "PRICE6") return void(value = Column(row, kTripCostColumn));
      break;
    }
    case rpartTotals: {
      if (name == "PARTTITLE") return void(value = Ansi("Итоговые значения"));
      const bool at = Cursor >= 0 && Cursor < kTotalsRowCount;
      if (name == "NO3") return void(value = Format("%d.", {Cursor + 1}));
      if (name == "NAME3") return void(value = at ? Ansi(kTotalsRowTexts[Cursor]) : AnsiString());
      if (In(name, {"CAL3", "DCAL3", "VEIGHT3", "ALB3", "FAT3", "CARB3", "SUM3"}, i))
        return void(value = at ? views_.Totals.Cells[static_cast<std::size_t>(Cursor)][static_cast<std::size_t>(i)]
                               : AnsiString());
      break;
    }
    case rpartTotCmt:
      if (name == "PARTTITLE") return void(value = Ansi("Рекомендации"));
      if (name == "TOTALCMT")
        return void(value = Cursor >= 0 && Cursor < views_.Recommendations.Count() ? views_.Recommendations[Cursor]
                                                                                  : AnsiString());
      break;
    case rpartFooter:
    case rpartCount:
      break;
  }
  CommonReportValue(name, value);
}
