// rpbuild: builds a report template with rows from a CSV file and writes the prepared
// pages as text or prints them to PDF through the virtual printer.
//
//   rpbuild (--template FILE.rpf | --sample | --cross-sample) --csv ROWS.csv [--dataset NAME]
//           [--text | --pdf OUT.pdf] [--rpp OUT.rpp] [--save-sample OUT.rpf]
//
// The CSV file is UTF-8 with a header line; "," or ";" separate the fields, double
// quotes enclose fields with separators or quotes (doubled). Its rows feed a user
// dataset named NAME (default "Rows"); a bracketed column name in a memo gives the
// field of the current row (numbers as numbers). The sample template groups rows by
// DAY and lists MEAL, PRODUCT and WEIGHT with sums, page numbers of two passes.
// The cross-tab sample shows the same rows as a table of products (rows, dataset
// "Products") by days (columns, dataset "Days"): each cell the product's WEIGHT on
// that day (CELL), row totals, day totals; columns that do not fit go on on the page
// to the right under the repeated product column. File names are taken as the system
// has them: any name works, whether or not code page 1251 holds it.
#include <QApplication>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "platform/core/Files.h"
#include "platform/core/AnsiText.h"
#include "report/RP_Builder.h"
#include "report/RP_Class.h"
#include "report/RP_Template.h"
#include "report/gui/RP_QtPrint.h"

namespace {

struct Table {
  std::vector<AnsiString> columns;  // upper-cased
  std::vector<std::vector<Variant>> rows;
};

std::vector<std::string> SplitCsvLine(const std::string& line, char sep) {
  std::vector<std::string> out;
  std::string field;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
        field += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == sep) {
      out.push_back(field);
      field.clear();
    } else if (c != '\r') {
      field += c;
    }
  }
  out.push_back(field);
  return out;
}

Table ReadCsv(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Exception(Ansi("Не удаётся открыть файл ") + cp::Utf8To1251(file));
  Table t;
  std::string line;
  if (!std::getline(in, line)) throw Exception(Ansi("Пустой файл ") + cp::Utf8To1251(file));
  if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
  const char sep = line.find(',') == std::string::npos && line.find(';') != std::string::npos ? ';' : ',';
  for (const auto& c : SplitCsvLine(line, sep)) t.columns.push_back(AnsiUpperCase(Trim(cp::Utf8To1251(c))));
  while (std::getline(in, line)) {
    if (line.empty() || line == "\r") continue;
    std::vector<Variant> row;
    for (const auto& f : SplitCsvLine(line, sep)) {
      AnsiString text = cp::Utf8To1251(f);
      double number = 0;
      row.push_back(!Trim(text).empty() && TryStrToFloat(Trim(text), number) ? Variant(number) : Variant(text));
    }
    row.resize(t.columns.size(), Variant(""));
    t.rows.push_back(std::move(row));
  }
  return t;
}

void BuildSample(TrpPages& pages) {
  TrpTemplateBuilder b(pages);
  b.Page(9, rpPortrait, 40);
  pages.DoublePass = true;
  b.Band(btReportTitle, 0, 40);
  b.Memo("Раскладка продуктов", 40, 4, 600, 30).Font = TrpFont{"Arial", 16, 1, clBlack, 204};
  b.Band(btPageHeader, 50, 24);
  for (auto [caption, left, width] : {std::tuple{"Приём пищи", 50, 160}, {"Продукт", 210, 330}, {"Вес, кг", 540, 120}}) {
    TrpMemoView& h = b.Memo(caption, left, 52, width, 20);
    h.Font.Style = 1;
    h.FrameTyp = rpftBottom;
    if (left == 540) h.Alignment = rpalRight;
  }
  b.Band(btGroupHeader, 80, 24).FormatStr = "[DAY]";
  b.Memo("День [DAY]", 40, 82, 300, 20).Font.Style = 1;
  b.Band(btMasterData, 110, 28).FormatStr = "Rows";
  b.Memo("[MEAL]", 50, 114, 160, 18);
  b.Memo("[PRODUCT]", 210, 114, 330, 18);
  TrpMemoView& w = b.Memo("[WEIGHT #N2.3]", 540, 114, 120, 18);
  w.Alignment = rpalRight;
  b.Band(btGroupFooter, 140, 24);
  TrpMemoView& s = b.Memo("Итого за день [DAY]: [SUM([WEIGHT]) #N2.3]", 340, 142, 320, 20);
  s.Alignment = rpalRight;
  s.Font.Style = 1;
  b.Band(btReportSummary, 170, 40);
  b.Memo("Всего строк: [COUNT(Band4)], общий вес [SUM([WEIGHT]) #N2.3] кг, наибольший [MAX([WEIGHT]) #N2.3] кг", 40,
         176, 620, 20);
  b.Band(btPageFooter, 220, 24);
  TrpMemoView& f = b.Memo("Стр. [PAGE#] из [TOTALPAGES]", 440, 222, 220, 20);
  f.Alignment = rpalRight;
  f.FrameTyp = rpftTop;
}

void BuildCrossSample(TrpPages& pages) {
  TrpTemplateBuilder b(pages);
  b.Page(9, rpPortrait, 40);
  auto strip = [&](int type, int left, int width) -> TrpBandView& {
    TrpBandView& band = b.Band(type, 0, 1000);
    band.Left = left;
    band.Width = width;
    return band;
  };
  strip(btCrossHeader, 40, 180).Flags |= flRepeatHeader;
  strip(btCrossData, 220, 90).FormatStr = "Days";
  strip(btCrossFooter, 310, 100);
  b.Band(btReportTitle, 0, 40);
  b.Memo("Раскладка: продукты по дням, кг", 40, 4, 640, 30).Font = TrpFont{"Arial", 16, 1, clBlack, 204};
  auto cell = [&](const char* text, int left, int top, int width, bool bold, bool right) {
    TrpMemoView& m = b.Memo(text, left, top, width, 22);
    m.FrameTyp = rpftAll;
    m.GapX = 4;
    if (bold) m.Font.Style = 1;
    if (right) m.Alignment = rpalRight;
  };
  b.Band(btMasterHeader, 50, 22).Flags |= flRepeatHeader;
  cell("Продукт", 40, 50, 180, true, false);
  cell("День [DAY]", 220, 50, 90, true, true);
  cell("Всего", 310, 50, 100, true, true);
  b.Band(btMasterData, 80, 22).FormatStr = "Products";
  cell("[PRODUCT]", 40, 80, 180, false, false);
  cell("[CELL #N2.3]", 220, 80, 90, false, true);
  cell("[SUM([CELL]) #N2.3]", 310, 80, 100, true, true);
  b.Band(btMasterFooter, 110, 22);
  cell("Итого за день", 40, 110, 180, true, false);
  cell("[SUM([CELL]) #N2.3]", 220, 110, 90, true, true);
  b.Band(btReportSummary, 140, 30);
  b.Memo("Общий вес: [SUM([TOTAL]) #N2.3] кг", 40, 146, 400, 20).Font.Style = 1;
  b.Band(btPageFooter, 180, 24);
  TrpMemoView& f = b.Memo("Стр. [PAGE#]", 440, 182, 220, 20);
  f.Alignment = rpalRight;
  f.FrameTyp = rpftTop;
}

// The rows pivoted for the cross-tab sample: products and days in the order met, the
// weights summed per product and day.
struct Pivot {
  std::vector<Variant> products, days;
  std::map<std::pair<std::size_t, std::size_t>, double> weights;
  std::vector<double> totals;

  explicit Pivot(const Table& t) {
    auto column = [&](const char* name) {
      for (std::size_t c = 0; c < t.columns.size(); ++c)
        if (t.columns[c] == name) return c;
      throw Exception(AnsiString("Нет столбца ") + name);
    };
    const std::size_t day = column("DAY"), product = column("PRODUCT"), weight = column("WEIGHT");
    auto indexOf = [](std::vector<Variant>& list, const Variant& v) {
      for (std::size_t i = 0; i < list.size(); ++i)
        if (list[i].AsString() == v.AsString()) return i;
      list.push_back(v);
      return list.size() - 1;
    };
    for (const auto& row : t.rows) {
      const std::size_t p = indexOf(products, row[product]), d = indexOf(days, row[day]);
      const double w = row[weight].IsNumeric() ? row[weight].AsDouble() : 0;
      weights[{p, d}] += w;
      totals.resize(products.size());
      totals[p] += w;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  std::string templ, csv, pdf, rpp, saveSample, dataset = "Rows";
  bool sample = false, crossSample = false, text = false;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
    if (a == "--template") templ = next();
    else if (a == "--sample") sample = true;
    else if (a == "--cross-sample") crossSample = true;
    else if (a == "--csv") csv = next();
    else if (a == "--dataset") dataset = next();
    else if (a == "--pdf") pdf = next();
    else if (a == "--rpp") rpp = next();
    else if (a == "--text") text = true;
    else if (a == "--save-sample") saveSample = next();
    else {
      std::fprintf(stderr, "unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  if (!templ.empty() + sample + crossSample != 1 || csv.empty()) {
    std::fprintf(stderr,
                 "usage: rpbuild (--template FILE.rpf | --sample | --cross-sample) --csv ROWS.csv [--dataset NAME] "
                 "[--text | --pdf OUT.pdf] [--rpp OUT.rpp] [--save-sample OUT.rpf]\n");
    return 2;
  }
  try {
    // A PDF is laid out with the real font metrics (text alone keeps the fixed ones).
    if (!pdf.empty() || !rpp.empty()) rpInitQtPrinting();
    TrpReport report;
    if (sample || crossSample) {
      (sample ? BuildSample : BuildCrossSample)(report.Pages);
      if (!saveSample.empty()) rpSaveTemplateFile(report.Pages, AnsiPath(saveSample));
    } else {
      TrpTemplateLoad load = rpLoadTemplateFile(report.Pages, AnsiPath(templ));
      if (!load.Ok()) throw Exception(load.Message);
    }
    Table table = ReadCsv(csv);
    std::size_t at = 0;
    TrpUserDataset rows;
    rows.Name = cp::Utf8To1251(dataset);
    rows.OnFirst = [&](TObject*) { at = 0; };
    rows.OnNext = [&](TObject*) { ++at; };
    rows.OnPrior = [&](TObject*) { at = at > 0 ? at - 1 : 0; };
    rows.OnCheckEOF = [&](TObject*, bool& eof) { eof = at >= table.rows.size(); };
    report.AddDataset(rows);
    std::unique_ptr<Pivot> pivot;
    std::size_t product = 0, day = 0;
    TrpUserDataset products, days;
    if (crossSample) {
      pivot = std::make_unique<Pivot>(table);
      products.Name = "Products";
      products.OnFirst = [&](TObject*) { product = 0; };
      products.OnNext = [&](TObject*) { ++product; };
      products.OnCheckEOF = [&](TObject*, bool& eof) { eof = product >= pivot->products.size(); };
      days.Name = "Days";
      days.OnFirst = [&](TObject*) { day = 0; };
      days.OnNext = [&](TObject*) { ++day; };
      days.OnCheckEOF = [&](TObject*, bool& eof) { eof = day >= pivot->days.size(); };
      report.AddDataset(products);
      report.AddDataset(days);
    }
    report.OnGetValue = [&](const AnsiString& name, Variant& value) {
      if (pivot) {
        const bool onProduct = product < pivot->products.size(), onDay = day < pivot->days.size();
        if (name == "PRODUCT" && onProduct) value = pivot->products[product];
        else if (name == "DAY" && onDay) value = pivot->days[day];
        else if (name == "TOTAL") value = Variant(onProduct ? pivot->totals[product] : 0.0);
        else if (name == "CELL") {
          auto it = pivot->weights.find({product, day});
          value = Variant(it != pivot->weights.end() ? it->second : 0.0);
        }
        return;
      }
      if (at >= table.rows.size()) return;
      for (std::size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c] == AnsiUpperCase(name)) value = table.rows[at][c];
    };
    if (!report.PrepareReport()) throw Exception(report.ErrorText);
    std::printf("prepared pages: %d\n", report.EMFPages.GetCount());
    if (text) std::fputs(rpPreparedText(report.EMFPages).c_str(), stdout);
    if (!rpp.empty()) report.EMFPages.SaveToFile(AnsiPath(rpp));
    if (!pdf.empty()) {
      TrpPrintJob job;
      job.Title = "rpbuild";
      job.PdfFile = AnsiPath(pdf);
      job.Resolution = 300;
      QString error;
      if (!rpPrintPreparedPages(report.EMFPages, job, &error)) throw Exception(cp::Utf8To1251(error.toStdString()));
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", cp::Ansi1251ToUtf8(e.what()).c_str());
    return 1;
  }
}
