#include "refdata/RefCheck.h"

#include <cmath>
#include <map>
#include <set>
#include <utility>

#include "platform/core/Files.h"

namespace refdata {

namespace {

const char* const kFoodValues[] = {"ALBA", "ALBV", "FATA", "FATV", "CARB"};

// The limits of "params.ini" in the order the program writes them, with their defaults.
const std::pair<const char*, double> kLimitDefaults[] = {
    {"MaxRelEnDef", 0.3}, {"MaxAbsEnDef", 70000}, {"AlbAVmin", 0.5}, {"FatAVMin", 0.75},
    {"FatAVmax", 0.8},    {"AFCAlb", 1.0},        {"AFCFat", 1.2},   {"AFCCarb", 4.6},
};

bool IsFolder(const TRefSource& t, const TRefRow& row) { return (t.Int(row, "FLAGS") & 1) != 0; }

// "products.txt:12 (Гречка ядрица): " + what.
AnsiString RowProblem(const TRefSource& t, const TRefRow& row, const AnsiString& what) {
  AnsiString name = t.FieldIndex("NAME") >= 0 ? t.Text(row, "NAME") : AnsiString();
  return t.Where(row) + (name.empty() ? AnsiString() : " (" + name + ")") + ": " + what;
}

// Fields the program reads by name: present, numeric, integer or with decimals as it reads them.
void CheckFieldTypes(const TRefSource& t, const std::vector<const char*>& intFields,
                     const std::vector<const char*>& decimalFields, TProblems& out) {
  for (const char* name : intFields) {
    int i = t.FieldIndex(name);
    if (i < 0) out.push_back(Format(Ansi("%s: нет поля %s"), {t.Name(), name}));
    else if (t.Fields()[static_cast<std::size_t>(i)].Type != 'N' || t.Fields()[static_cast<std::size_t>(i)].Decimals)
      out.push_back(Format(Ansi("%s: поле %s должно быть целым числом (N без знаков после точки)"), {t.Name(), name}));
    else if (t.Fields()[static_cast<std::size_t>(i)].Width < 5)
      // Narrower integer fields read as 16-bit values.
      out.push_back(Format(Ansi("%s: поле %s уже 5 знаков"), {t.Name(), name}));
  }
  for (const char* name : decimalFields) {
    int i = t.FieldIndex(name);
    if (i < 0) out.push_back(Format(Ansi("%s: нет поля %s"), {t.Name(), name}));
    else if (t.Fields()[static_cast<std::size_t>(i)].Type != 'N' || !t.Fields()[static_cast<std::size_t>(i)].Decimals)
      out.push_back(Format(Ansi("%s: поле %s должно быть числом со знаками после точки"), {t.Name(), name}));
  }
}

// Every row of a table whose fields passed CheckFieldTypes, or nothing when they did not.
bool FieldsPresent(const TRefSource& t, const std::vector<const char*>& fields) {
  for (const char* f : fields)
    if (t.FieldIndex(f) < 0) return false;
  return true;
}

const TRefRow* FindByCode(const TRefSource& t, std::int32_t code) {
  for (const TRefRow& row : t.Rows())
    if (t.Int(row, "CODE") == code) return &row;
  return nullptr;
}

AnsiString F2(double v) { return Format("%.2f", {v}); }

// Values of a non-folder row: none negative.
void CheckNotNegative(const TRefSource& t, const TRefRow& row, const std::vector<const char*>& fields,
                      TProblems& out) {
  for (const char* f : fields)
    if (t.Float(row, f) < 0) out.push_back(RowProblem(t, row, Format(Ansi("%s меньше нуля"), {f})));
}

void CheckEnergy(const TRefSource& t, const TRefRow& row, double protein, double fat, double carb,
                 TProblems& out) {
  std::int32_t cal = t.Int(row, "CAL");
  if (!EnergyAgrees(cal, protein, fat, carb))
    out.push_back(RowProblem(
        t, row,
        Format(Ansi("энергия %d ККал не сходится с нутриентами (4*белки + 9*жиры + 4*углеводы = %.0f ККал) "
                    "в пределах 15%%"),
               {cal, NutrientEnergy(protein, fat, carb)})));
}

}  // namespace

double NutrientEnergy(double protein, double fat, double carb) { return 4 * (protein + carb) + 9 * fat; }

bool EnergyAgrees(std::int32_t cal, double protein, double fat, double carb) {
  return std::fabs(cal - NutrientEnergy(protein, fat, carb)) <= 0.15 * cal + 1e-9;
}

void TPortionSums::Add(std::int32_t cal, double albA, double albV, double fatA, double fatV, double carb,
                       std::int32_t veight) {
  Veight += veight;
  // The product Cal * Veight in integers, the division and rounding in floating point.
  Cal += RoundInt32(static_cast<double>(static_cast<std::int64_t>(cal) * veight) / 100);
  AlbA += veight * albA / 100;
  AlbV += veight * albV / 100;
  FatA += veight * fatA / 100;
  FatV += veight * fatV / 100;
  Carb += veight * carb / 100;
}

TRefData LoadRefData(const AnsiString& dir) {
  AnsiString d = IncludeTrailingPathDelimiter(dir);
  auto load = [&](const char* table) { return TRefSource::LoadFromFile(d + table + kSourceExt); };
  TRefData data{load("products"), load("dish"), load("meal"), load("energo"), load("dishcomp"), {}};
  data.Limits = ParseIniSection(ReadWholeFile(d + kLimitsFile), "Limits", kLimitsFile);
  return data;
}

TProblems CheckFolderTable(const TRefSource& t, const std::vector<const char*>& intFields,
                           const std::vector<const char*>& decimalFields, bool valuesRequired) {
  TProblems out;
  std::vector<const char*> keys = {"CODE", "OWNER", "FLAGS"};
  CheckFieldTypes(t, keys, {}, out);
  CheckFieldTypes(t, intFields, decimalFields, out);
  if (t.FieldIndex("NAME") < 0 || t.Field("NAME").Type != 'C')
    out.push_back(Format(Ansi("%s: нет текстового поля NAME"), {t.Name()}));
  if (!out.empty()) return out;

  std::vector<const char*> values = intFields;
  values.insert(values.end(), decimalFields.begin(), decimalFields.end());
  std::map<std::int32_t, const TRefRow*> seen;  // codes of the rows read so far
  std::map<std::int32_t, int> children;         // folder code -> rows inside it
  std::map<std::pair<std::int32_t, AnsiString>, int> names;  // (OWNER, upper-case NAME) -> line
  for (const TRefRow& row : t.Rows()) {
    std::int32_t code = t.Int(row, "CODE"), owner = t.Int(row, "OWNER"), flags = t.Int(row, "FLAGS");
    if (t.IsBlank(row, "CODE") || code <= 0) out.push_back(RowProblem(t, row, Ansi("CODE должен быть больше нуля")));
    else if (seen.count(code))
      out.push_back(RowProblem(t, row, Format(Ansi("CODE %d уже есть в строке %d"), {code, seen[code]->Line})));
    if (owner != 0) {
      auto parent = seen.find(owner);
      if (parent == seen.end())
        out.push_back(RowProblem(t, row, Format(Ansi("OWNER %d не код раздела выше этой строки"), {owner})));
      else if (!IsFolder(t, *parent->second))
        out.push_back(RowProblem(t, row, Format(Ansi("OWNER %d - не раздел (строка %d)"),
                                                {owner, parent->second->Line})));
      else
        ++children[owner];
    }
    if (flags != 0 && flags != 1)
      out.push_back(RowProblem(t, row, Format(Ansi("FLAGS %d: ожидается 1 (раздел) или 0"), {flags})));
    if (t.IsBlank(row, "NAME")) {
      out.push_back(RowProblem(t, row, Ansi("пустое наименование")));
    } else {
      auto [it, added] = names.insert({{owner, AnsiUpperCase(t.Text(row, "NAME"))}, row.Line});
      if (!added)
        out.push_back(RowProblem(t, row, Format(Ansi("то же наименование в том же разделе, что в строке %d"),
                                                {it->second})));
    }
    for (const char* f : values) {
      if (flags & 1) {
        if (!t.IsBlank(row, f)) out.push_back(RowProblem(t, row, Format(Ansi("у раздела заполнено поле %s"), {f})));
      } else if (valuesRequired && t.IsBlank(row, f)) {
        out.push_back(RowProblem(t, row, Format(Ansi("не заполнено поле %s"), {f})));
      }
    }
    if (!seen.count(code)) seen[code] = &row;
  }
  for (const TRefRow& row : t.Rows())
    if (IsFolder(t, row) && children[t.Int(row, "CODE")] == 0) out.push_back(RowProblem(t, row, Ansi("пустой раздел")));
  return out;
}

TProblems CheckProducts(const TRefSource& p) {
  TProblems out = CheckFolderTable(p, {"CAL", "VEIGHT"}, {"ALBA", "ALBV", "FATA", "FATV", "CARB"}, true);
  if (!out.empty()) return out;
  for (const TRefRow& row : p.Rows()) {
    if (IsFolder(p, row)) continue;
    CheckNotNegative(p, row, {"CAL", "ALBA", "ALBV", "FATA", "FATV", "CARB"}, out);
    if (p.Int(row, "VEIGHT") <= 0) out.push_back(RowProblem(p, row, Ansi("обычная порция VEIGHT должна быть больше 0")));
    double protein = p.Float(row, "ALBA") + p.Float(row, "ALBV");
    double fat = p.Float(row, "FATA") + p.Float(row, "FATV");
    double carb = p.Float(row, "CARB");
    if (protein + fat + carb > 100)
      out.push_back(RowProblem(p, row, Format(Ansi("белков, жиров и углеводов %s г на 100 г продукта"),
                                              {F2(protein + fat + carb)})));
    CheckEnergy(p, row, protein, fat, carb, out);
  }
  return out;
}

TProblems CheckMeals(const TRefSource& m) {
  TProblems out = CheckFolderTable(m, {"CAL", "VEIGHT"}, {"ALBA", "ALBV", "FATA", "FATV", "CARB"}, false);
  if (!out.empty()) return out;
  for (const char* meal : {"Завтрак", "Обед", "Ужин", "Перекус"}) {
    bool found = false;
    for (const TRefRow& row : m.Rows()) found = found || m.Text(row, "NAME") == Ansi(meal);
    if (!found) out.push_back(Format(Ansi("%s: нет трапезы \"%s\""), {m.Name(), Ansi(meal)}));
  }
  return out;
}

TProblems CheckEnergo(const TRefSource& e) {
  TProblems out = CheckFolderTable(e, {"CAL"}, {"ALB", "FAT", "CARB"}, true);
  if (!out.empty()) return out;
  bool haveDefault = false;
  for (const TRefRow& row : e.Rows()) {
    if (IsFolder(e, row)) continue;
    for (const char* f : {"CAL", "ALB", "FAT", "CARB"})
      if (e.Float(row, f) <= 0) out.push_back(RowProblem(e, row, Format(Ansi("%s должно быть больше 0"), {f})));
    CheckEnergy(e, row, e.Float(row, "ALB"), e.Float(row, "FAT"), e.Float(row, "CARB"), out);
    const TRefRow* kind = FindByCode(e, e.Int(row, "OWNER"));
    if (kind && e.Text(*kind, "NAME") == Ansi(kDefaultTourKind) && e.Text(row, "NAME") == Ansi(kDefaultTourCategory)) {
      haveDefault = true;
      if (e.Int(row, "CAL") != kDefaultTourCal)
        out.push_back(RowProblem(e, row, Format(Ansi("вид туризма по умолчанию: энергозатраты %d, а не %d ККал"),
                                                {e.Int(row, "CAL"), kDefaultTourCal})));
    }
  }
  if (!haveDefault)
    out.push_back(Format(Ansi("%s: нет вида туризма по умолчанию \"%s; %s\" (раздел и строка в нем)"),
                         {e.Name(), Ansi(kDefaultTourKind), Ansi(kDefaultTourCategory)}));
  return out;
}

TProblems CheckDishes(const TRefSource& dish, const TRefSource& comp, const TRefSource& products) {
  TProblems out = CheckFolderTable(dish, {"CAL", "VEIGHT"}, {"ALBA", "ALBV", "FATA", "FATV", "CARB"}, true);
  CheckFieldTypes(comp, {"DISHCODE", "PRODCODE", "VEIGHT"}, {}, out);
  if (!out.empty() || !FieldsPresent(products, {"CODE", "FLAGS", "CAL", "ALBA", "ALBV", "FATA", "FATV", "CARB"}))
    return out;

  std::map<std::int32_t, TPortionSums> sums;
  std::set<std::pair<std::int32_t, std::int32_t>> pairs;
  for (const TRefRow& row : comp.Rows()) {
    std::int32_t dishCode = comp.Int(row, "DISHCODE"), prodCode = comp.Int(row, "PRODCODE");
    std::int32_t veight = comp.Int(row, "VEIGHT");
    const TRefRow* d = FindByCode(dish, dishCode);
    const TRefRow* p = FindByCode(products, prodCode);
    if (!d || IsFolder(dish, *d))
      out.push_back(comp.Where(row) + Format(Ansi(": DISHCODE %d - нет такого блюда"), {dishCode}));
    if (!p || IsFolder(products, *p))
      out.push_back(comp.Where(row) + Format(Ansi(": PRODCODE %d - нет такого продукта"), {prodCode}));
    if (veight <= 0) out.push_back(comp.Where(row) + Ansi(": VEIGHT должен быть больше 0"));
    if (!pairs.insert({dishCode, prodCode}).second)
      out.push_back(comp.Where(row) + Format(Ansi(": продукт %d уже есть в составе блюда %d"), {prodCode, dishCode}));
    if (d && p && !IsFolder(dish, *d) && !IsFolder(products, *p))
      sums[dishCode].Add(products.Int(*p, "CAL"), products.Float(*p, "ALBA"), products.Float(*p, "ALBV"),
                         products.Float(*p, "FATA"), products.Float(*p, "FATV"), products.Float(*p, "CARB"), veight);
  }

  for (const TRefRow& row : dish.Rows()) {
    if (IsFolder(dish, row)) continue;
    auto it = sums.find(dish.Int(row, "CODE"));
    if (it == sums.end()) {
      out.push_back(RowProblem(dish, row, Ansi("нет состава в dishcomp")));
      continue;
    }
    const TPortionSums& s = it->second;
    const double expected[] = {s.AlbA, s.AlbV, s.FatA, s.FatV, s.Carb};
    bool same = dish.Int(row, "CAL") == s.Cal && dish.Int(row, "VEIGHT") == s.Veight;
    for (std::size_t i = 0; i < std::size(kFoodValues); ++i)
      // The table keeps two decimals: the stored value is the sum as the program writes
      // it into the table (its "%3.2f" text, so a half hundredth rounds away from zero).
      same = same && F2(dish.Float(row, kFoodValues[i])) == F2(expected[i]);
    if (!same)
      out.push_back(RowProblem(
          dish, row,
          Format(Ansi("значения порции не равны суммам по составу: должно быть CAL %d, ALBA %s, ALBV %s, "
                      "FATA %s, FATV %s, CARB %s, VEIGHT %d"),
                 {s.Cal, F2(s.AlbA), F2(s.AlbV), F2(s.FatA), F2(s.FatV), F2(s.Carb), s.Veight})));
  }
  return out;
}

TProblems CheckLimits(const std::vector<TIniEntry>& limits) {
  TProblems out;
  std::size_t i = 0;
  for (; i < std::size(kLimitDefaults); ++i) {
    auto [key, value] = kLimitDefaults[i];
    if (i >= limits.size()) {
      out.push_back(Format(Ansi("%s: нет ключа %s в секции Limits"), {kLimitsFile, key}));
      continue;
    }
    const TIniEntry& e = limits[i];
    double v = 0;
    if (!SameText(e.Key, key))
      out.push_back(Format(Ansi("%s:%d: ожидается ключ %s, а не %s"), {kLimitsFile, e.Line, key, e.Key}));
    else if (!TryStrToFloat(e.Value, v) || std::fabs(v - value) > 1e-9 * std::fabs(value))
      out.push_back(Format(Ansi("%s:%d: %s = %s, по умолчанию %s"), {kLimitsFile, e.Line, key, e.Value, FloatToStr(value)}));
  }
  for (; i < limits.size(); ++i)
    out.push_back(Format(Ansi("%s:%d: лишний ключ %s"), {kLimitsFile, limits[i].Line, limits[i].Key}));
  return out;
}

TProblems CheckRefData(const TRefData& d) {
  TProblems out;
  for (TProblems part : {CheckProducts(d.Products), CheckDishes(d.Dish, d.DishComp, d.Products), CheckMeals(d.Meal),
                         CheckEnergo(d.Energo), CheckLimits(d.Limits)})
    out.insert(out.end(), part.begin(), part.end());
  return out;
}

}  // namespace refdata
