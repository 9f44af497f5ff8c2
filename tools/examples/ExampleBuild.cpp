#include "examples/ExampleBuild.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <vector>

#include "planner/app/Globals.h"
#include "planner/ration/RationFile.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "refdata/RefSource.h"

namespace examples {

namespace {

using refdata::TRefSource;

struct TNode {
  std::int32_t Kind = fkProduct;
  AnsiString Name;
  bool HasVeight = false;
  std::int32_t Veight = 0;
  std::vector<TNode> Children;
};

struct TTables {
  TRefSource products, dish, dishcomp, meal, energo;
};

const refdata::TRefRow* RowByName(const TRefSource& t, const AnsiString& name) {
  for (const refdata::TRefRow& r : t.Rows())
    if (t.Int(r, "FLAGS") == 0 && t.Text(r, "NAME") == name) return &r;
  return nullptr;
}

const refdata::TRefRow* RowByCode(const TRefSource& t, std::int32_t code) {
  for (const refdata::TRefRow& r : t.Rows())
    if (t.Int(r, "CODE") == code) return &r;
  return nullptr;
}

TFoodRec FoodOf(const TRefSource& t, const refdata::TRefRow& r) {
  TFoodRec rec{};
  rec.Code = t.Int(r, "CODE");
  rec.Cal = t.Int(r, "CAL");
  rec.AlbA = t.Float(r, "ALBA");
  rec.AlbV = t.Float(r, "ALBV");
  rec.FatA = t.Float(r, "FATA");
  rec.FatV = t.Float(r, "FATV");
  rec.Carb = t.Float(r, "CARB");
  rec.Veight = t.Int(r, "VEIGHT");
  return rec;
}

class TBuilder {
 public:
  TBuilder(TRationDocument& doc, const AnsiString& source, const AnsiString& dataDir)
      : doc_(doc), source_(source), dir_(IncludeTrailingPathDelimiter(dataDir)) {
    for (auto [table, name] : {std::pair{&t_.products, "products"}, {&t_.dish, "dish"}, {&t_.dishcomp, "dishcomp"},
                               {&t_.meal, "meal"}, {&t_.energo, "energo"}})
      *table = TRefSource::LoadFromFile(dir_ + name + ".txt");
  }

  void Parse(std::string_view utf8) {
    std::size_t start = 0;
    while (start < utf8.size()) {
      std::size_t end = utf8.find('\n', start);
      if (end == std::string_view::npos) end = utf8.size();
      ++line_;
      Line(Trim(Ansi(utf8.substr(start, end - start))));
      start = end + 1;
    }
    Finish();
  }

 private:
  [[noreturn]] void Fail(const AnsiString& what) const { FailAt(line_, what); }
  [[noreturn]] void FailAt(int line, const AnsiString& what) const {
    throw EExampleError(source_ + ":" + IntToStr(line) + ": " + what);
  }

  void Line(const AnsiString& line) {
    if (line.empty() || line[0] == '#') return;
    const std::size_t sp = line.find(' ');
    const AnsiString word = line.substr(0, sp);
    AnsiString rest = sp == AnsiString::npos ? AnsiString() : Trim(line.substr(sp + 1));
    if (!rest.empty() && rest[0] == '=') {
      Setting(word, Trim(rest.substr(1)));
      return;
    }
    if (word == "menu") {
      if (rest.empty()) Fail("menu without a name");
      menus_[rest] = {};
      menu_ = &menus_[rest];
      meal_ = nullptr;
    } else if (word == "meal") {
      if (menu_ == nullptr) Fail("meal outside a menu");
      const refdata::TRefRow* r = RowByName(t_.meal, rest);
      if (r == nullptr) Fail("no meal " + rest);
      menu_->push_back(TNode{fkMeal, rest, false, 0, {}});
      meal_ = &menu_->back();
    } else if (word == "dish") {
      if (meal_ == nullptr) Fail("dish outside a meal");
      if (RowByName(t_.dish, rest) == nullptr) Fail("no dish " + rest);
      meal_->Children.push_back(TNode{fkDish, rest, false, 0, {}});
    } else if (word == "product") {
      TNode node{fkProduct, AnsiString(), false, 0, {}};
      const std::size_t eq = rest.rfind(" = ");
      node.Name = Trim(rest.substr(0, eq));
      if (eq != AnsiString::npos) {
        node.HasVeight = true;
        if (!TextToInt(Trim(rest.substr(eq + 3)), node.Veight) || node.Veight < 0) Fail("bad weight");
      }
      if (RowByName(t_.products, node.Name) == nullptr) Fail("no product " + node.Name);
      if (meal_ != nullptr) meal_->Children.push_back(node);
      else if (menu_ != nullptr) menu_->push_back(node);
      else average_.push_back(node);
    } else {
      Fail("unknown line " + line);
    }
  }

  void Setting(const AnsiString& key, const AnsiString& value) {
    TRationHeader& h = doc_.Header;
    if (key == "title") h.Title = value;
    else if (key == "author") h.Author = value;
    else if (key == "description") h.Description += (h.Description.empty() ? "" : "\r\n") + value;
    else if (key == "tour") {
      tour_ = value;
      tourLine_ = line_;
    }
    else if (key == "mans") {
      if (!TextToInt(value, doc_.Mans) || doc_.Mans < 1) Fail("bad mans");
    } else if (key == "type") {
      if (value != "menu" && value != "average") Fail("type is menu or average");
      type_ = value == "menu" ? rtDayMenu : rtAverage;
    } else if (key == "days") {
      days_ = value;
      daysLine_ = line_;
    } else {
      Fail("unknown setting " + key);
    }
  }

  TMtTreeItem* AddProduct(TMtTreeItem* parent, const TNode& node) {
    TFoodRec rec = FoodOf(t_.products, *RowByName(t_.products, node.Name));
    if (node.HasVeight) rec.Veight = node.Veight;
    return doc_.AddItem(parent, node.Name, &rec, fkProduct, rec.Code);
  }

  void AddDish(TMtTreeItem* meal, const TNode& node) {
    const refdata::TRefRow& r = *RowByName(t_.dish, node.Name);
    const TFoodRec drec = FoodOf(t_.dish, r);
    TMtTreeItem* dish = doc_.AddItem(meal, node.Name, &drec, fkDish, drec.Code);
    for (const refdata::TRefRow& c : t_.dishcomp.Rows()) {
      if (t_.dishcomp.Int(c, "DISHCODE") != drec.Code) continue;
      const refdata::TRefRow* p = RowByCode(t_.products, t_.dishcomp.Int(c, "PRODCODE"));
      if (p == nullptr) Fail("dish " + node.Name + " has a component missing from products");
      TFoodRec rec = FoodOf(t_.products, *p);
      rec.Veight = t_.dishcomp.Int(c, "VEIGHT");
      doc_.AddItem(dish, t_.products.Text(*p, "NAME"), &rec, fkProduct, rec.Code);
    }
  }

  void AddMenu(TMtTreeItem* day, const std::vector<TNode>& menu) {
    for (const TNode& n : menu) {
      if (n.Kind == fkProduct) {
        AddProduct(day, n);
        continue;
      }
      const TFoodRec* none = nullptr;
      TMtTreeItem* meal = doc_.AddItem(day, n.Name, none, fkMeal, t_.meal.Int(*RowByName(t_.meal, n.Name), "CODE"));
      for (const TNode& c : n.Children) {
        if (c.Kind == fkDish) AddDish(meal, c);
        else AddProduct(meal, c);
      }
    }
  }

  void Finish() {
    TRationHeader& h = doc_.Header;
    SetTour();
    h.Limits = LoadLimits(dir_);
    doc_.SetRationType(type_);
    TMtUpdateBracket bracket(&doc_.Tree());
    if (type_ == rtDayMenu) {
      std::size_t start = 0;
      const AnsiString days = days_ + " ";
      while (start < days.size()) {
        const std::size_t sp = days.find(' ', start);
        const AnsiString id = days.substr(start, sp - start);
        start = sp + 1;
        if (id.empty()) continue;
        auto m = menus_.find(id);
        if (m == menus_.end()) FailAt(daysLine_, "no menu " + id);
        AddMenu(doc_.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0), m->second);
      }
    } else {
      std::int32_t n = 0;
      if (!TextToInt(days_, n) || n < 1 || n > kMaxRationDays) FailAt(daysLine_, "days of an average ration: 1 .. 999");
      for (std::int32_t d = 0; d < n; ++d) {
        TMtTreeItem* day = doc_.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0);
        for (const TNode& p : average_) AddProduct(day, p);
      }
    }
    if (doc_.DayCounter == 0) FailAt(daysLine_ > 0 ? daysLine_ : line_, "no days");
    const TMtTreeItem* root = doc_.Items()->Root();
    for (int i = 0; i < root->GetChildrenCount(); ++i) doc_.SumGroup(root->GetChildren(i), true);
    doc_.Days = doc_.DayCounter;
    doc_.DocumentReady = 1;
    doc_.Modified = 0;
  }

  void SetTour() {
    TRationHeader& h = doc_.Header;
    const std::size_t sep = tour_.find("; ");
    if (sep == AnsiString::npos) FailAt(tourLine_, "tour = <kind>; <category>");
    const AnsiString group = tour_.substr(0, sep), row = tour_.substr(sep + 2);
    std::int32_t groupCode = -1;
    for (const refdata::TRefRow& r : t_.energo.Rows()) {
      if (t_.energo.Int(r, "FLAGS") & ffGroup) {
        groupCode = t_.energo.Text(r, "NAME") == group ? t_.energo.Int(r, "CODE") : -1;
        continue;
      }
      if (groupCode < 0 || t_.energo.Int(r, "OWNER") != groupCode || t_.energo.Text(r, "NAME") != row) continue;
      h.TourName = tour_;
      h.RefCal = t_.energo.Int(r, "CAL");
      h.RefAlb = t_.energo.Float(r, "ALB");
      h.RefFat = t_.energo.Float(r, "FAT");
      h.RefCarb = t_.energo.Float(r, "CARB");
      return;
    }
    FailAt(tourLine_, "no kind of trip " + tour_);
  }

  TRationDocument& doc_;
  AnsiString source_;
  AnsiString dir_;
  TTables t_;
  int line_ = 0;
  int tourLine_ = 0, daysLine_ = 0;
  std::map<AnsiString, std::vector<TNode>> menus_;
  std::vector<TNode>* menu_ = nullptr;
  TNode* meal_ = nullptr;
  std::vector<TNode> average_;
  AnsiString tour_, days_;
  std::uint8_t type_ = rtDayMenu;
};

}  // namespace

void BuildExample(TRationDocument& Doc, std::string_view utf8, const AnsiString& sourceName,
                  const AnsiString& dataDir) {
  TBuilder builder(Doc, sourceName, dataDir);
  builder.Parse(utf8);
}

int BuildExamples(const AnsiString& dataDir, const AnsiString& outDir) {
  namespace fs = std::filesystem;
  std::vector<fs::path> sources;
  for (const auto& e : fs::directory_iterator(fs::path(SysPath(IncludeTrailingPathDelimiter(dataDir) + "examples"))))
    if (e.path().extension() == ".txt") sources.push_back(e.path());
  std::sort(sources.begin(), sources.end());
  std::vector<std::pair<AnsiString, std::unique_ptr<TRationDocument>>> docs;
  for (const fs::path& p : sources) {
    auto doc = std::make_unique<TRationDocument>();
    const AnsiString name = AnsiPath(p.filename().string());
    BuildExample(*doc, refdata::ReadWholeFile(AnsiPath(p.string())), name, dataDir);
    docs.emplace_back(ChangeFileExt(name, kRationFileExt), std::move(doc));
  }
  ForceDirectories(outDir);
  for (auto& [name, doc] : docs)
    SaveFileAtomically(IncludeTrailingPathDelimiter(outDir) + name,
                       [&doc = *doc](TStream& s) { WriteRation(doc, s); });
  return static_cast<int>(docs.size());
}

}  // namespace examples
