#include "rptemplates/RationTemplates.h"

#include <vector>

#include "platform/core/Files.h"
#include "report/RP_BandView.h"
#include "report/RP_Builder.h"
#include "report/RP_Memo.h"
#include "report/RP_Template.h"

namespace rptemplates {
namespace {

// Page layout in report pixels (about 3.66 per mm): an A4 page is 769 wide; the text
// takes 690 of it, from kLeft.
constexpr int kMargins = 38;
constexpr int kLeft = 40;
constexpr int kWidth = 690;
constexpr int kRow = 16;
constexpr std::uint8_t kBold = 1, kItalic = 2;  // font style bits

struct TColumn {
  const char* Caption;   // UTF-8
  const char* Value;     // bracketed expression
  int Width;
  std::int32_t Align;
};

// Bands stacked from the top of the page, each memo inside its band's strip.
class TDesign {
 public:
  explicit TDesign(TrpPages& pages) : b_(pages) {
    pages.Clear();
    pages.PrintToDefault = true;
    b_.Page(9, rpPortrait, kMargins);
  }
  TrpPage& Page() { return b_.CurrentPage(); }

  TrpBandView& Band(int type, int height) {
    TrpBandView& band = b_.Band(type, y_, height);
    top_ = y_;
    y_ += height + 8;
    return band;
  }
  // A memo at (left, dy) inside the last band.
  TrpMemoView& Text(const char* utf8, int left, int dy, int width, int height, int size = 9, std::uint8_t style = 0,
                    std::int32_t align = rpalLeft) {
    TrpMemoView& m = b_.Memo(utf8, kLeft + left, top_ + dy, width, height);
    m.Font.Size = size;
    m.Font.Style = style;
    m.Alignment = align;
    return m;
  }

  // The page header with the part's title and the trip's title, and the page footer
  // with the page number.
  void Headers(bool partTitle) {
    Band(btPageHeader, partTitle ? 26 : 18);
    if (partTitle) Text("[PARTTITLE]", 0, 0, kWidth / 2, 22, 13, kBold);
    Text("[TITLE]", kWidth / 2, partTitle ? 6 : 0, kWidth / 2, 16, 8, kItalic, rpalRight).Flags |= flWordWrap;
  }
  void Footer() {
    Band(btPageFooter, 18);
    Text("[PROGTITLE]", 0, 2, kWidth / 2, 14, 7, kItalic);
    Text("Стр. [PAGE#]", kWidth / 2, 2, kWidth / 2, 14, 8, 0, rpalRight);
  }

  // A column header repeated on every page and a data band over dataSet; levelBold
  // prints the rows of level 0 in bold.
  TrpBandView& Table(const std::vector<TColumn>& columns, const char* dataSet, bool levelBold) {
    TrpBandView& head = Band(btMasterHeader, 30);
    head.Flags |= flRepeatHeader;
    int x = 0;
    for (const TColumn& c : columns) {
      TrpMemoView& m = Text(c.Caption, x, 0, c.Width, 28, 8, kBold, rpalCenter | rpalMiddle);
      m.Flags |= flWordWrap;
      m.FrameTyp = rpftAll;
      m.FillColor = static_cast<TColor>(0xE0E0E0);
      x += c.Width;
    }
    TrpBandView& data = Band(btMasterData, kRow);
    data.FormatStr = dataSet;
    data.Flags |= flStretched;
    x = 0;
    for (const TColumn& c : columns) {
      TrpMemoView& m = Text(c.Value, x, 0, c.Width, kRow, 9, 0, c.Align);
      m.FrameTyp = rpftAll;
      m.Flags |= flStretched | flWordWrap;
      if (levelBold) m.HighlightCondition = "[ITEMLEVEL] = 0";  // the default highlight is bold
      x += c.Width;
    }
    return data;
  }

 private:
  TrpTemplateBuilder b_;
  int y_ = 0;
  int top_ = 0;
};

constexpr std::int32_t L = rpalLeft, R = rpalRight;

void Header(TDesign& d) {
  d.Band(btReportTitle, 200);
  d.Text("Раскладка продуктов", 0, 0, kWidth, 20, 11, kItalic, rpalCenter);
  d.Text("[TITLE]", 0, 24, kWidth, 30, 18, kBold, rpalCenter).Flags |= flWordWrap | flStretched;
  const char* rows[][2] = {{"Вид похода:", "[TOURNAME]"},
                           {"Автор:", "[AUTHOR]"},
                           {"Участников:", "[MANS]"},
                           {"Дней:", "[DAYS]"},
                           {"Дата печати:", "[DATE #Ddd.mm.yyyy]"}};
  int y = 70;
  for (auto& r : rows) {
    d.Text(r[0], 150, y, 140, 20, 11, kBold);
    d.Text(r[1], 290, y, 400, 20, 11);
    y += 24;
  }
  d.Footer();
}

void Gen(TDesign& d) {
  d.Page().PrintToPrevPage = true;
  d.Band(btMasterHeader, 24);
  d.Text("Описание похода", 0, 0, kWidth / 2, 20, 12, kBold);
  d.Text("[PARTTITLE]", kWidth / 2, 4, kWidth / 2, 16, 8, kItalic, rpalRight);
  TrpBandView& data = d.Band(btMasterData, kRow);
  data.FormatStr = "fdsGen";
  data.Flags |= flStretched;
  d.Text("[CMT]", 0, 0, kWidth, kRow, 10).Flags |= flStretched | flWordWrap;
  d.Footer();
}

void Menu(TDesign& d) {
  d.Headers(true);
  TrpBandView& data = d.Table({{"№", "[NO2]", 66, L},
                               {"Наименование", "[NAME2]", 264, L},
                               {"Ккал", "[CAL2]", 56, R},
                               {"Вес на чел., г", "[VEIGHT2]", 60, R},
                               {"Белки, г", "[ALB2]", 56, R},
                               {"Жиры, г", "[FAT2]", 56, R},
                               {"Углев., г", "[CARB2]", 56, R},
                               {"Вес на группу, кг", "[GVEIGHT2]", 76, R}},
                              "fdsMenu", true);
  // The comment of a row, printed below it as the data band's child; a row without one
  // (or a print without comments) prints nothing there.
  TrpBandView& cmt = d.Band(btChild, 14);
  cmt.Flags |= flStretched;
  data.ChildBand = cmt.Name;
  cmt.Script.SetText(cmt.Name + ".Visible := [CMT2] <> ''");
  d.Text("[CMT2]", 66, 0, 624, 14, 8, kItalic).Flags |= flStretched | flWordWrap;
  d.Footer();
}

void DayProd(TDesign& d) {
  d.Headers(true);
  d.Table({{"№", "[NO5]", 66, L},
           {"Продукт", "[NAME5]", 264, L},
           {"Ккал", "[CAL5]", 56, R},
           {"Вес на чел., г", "[VEIGHT5]", 60, R},
           {"Белки, г", "[ALB5]", 56, R},
           {"Жиры, г", "[FAT5]", 56, R},
           {"Углев., г", "[CARB5]", 56, R},
           {"Вес на группу, кг", "[GVEIGHT5]", 76, R}},
          "fdsDayProds", true);
  d.Footer();
}

void TotProd(TDesign& d) {
  d.Headers(true);
  d.Table({{"№", "[NO6]", 34, L},
           {"Продукт", "[NAME6]", 206, L},
           {"Ккал в день", "[CAL6]", 50, R},
           {"Г в день", "[VEIGHT6]", 50, R},
           {"Белки, г/день", "[ALB6]", 50, R},
           {"Жиры, г/день", "[FAT6]", 50, R},
           {"Углев., г/день", "[CARB6]", 50, R},
           {"На чел., кг", "[MVEIGHT6]", 60, R},
           {"На группу, кг", "[GVEIGHT6]", 66, R},
           {"Стоимость", "[SUM6]", 74, R}},
          "fdsTotProds", false);
  d.Footer();
}

void Totals(TDesign& d) {
  d.Headers(true);
  d.Table({{"№", "[NO3]", 30, L},
           {"", "[NAME3]", 180, L},
           {"Ккал", "[CAL3]", 64, R},
           {"Дефицит, ккал", "[DCAL3]", 64, R},
           {"Вес, кг", "[VEIGHT3]", 64, R},
           {"Белки, г", "[ALB3]", 64, R},
           {"Жиры, г", "[FAT3]", 64, R},
           {"Углев., г", "[CARB3]", 64, R},
           {"Стоимость", "[SUM3]", 86, R}},
          "fdsTotals", false);
  d.Footer();
}

void TotCmt(TDesign& d) {
  d.Page().PrintToPrevPage = true;
  d.Band(btMasterHeader, 30);
  d.Text("[PARTTITLE]", 0, 8, kWidth, 20, 13, kBold);
  TrpBandView& data = d.Band(btMasterData, kRow);
  data.FormatStr = "fdsTotCmt";
  data.Flags |= flStretched;
  d.Text("[TOTALCMT]", 0, 0, kWidth, kRow, 10).Flags |= flStretched | flWordWrap;
  d.Footer();
}

void Footer(TDesign& d) {
  d.Page().PrintToPrevPage = true;
  d.Band(btReportTitle, 40);
  d.Text("Составлено в программе [PROGTITLE] [PROGVER] [DATE #Ddd.mm.yyyy]", 0, 16, kWidth, 16, 8, kItalic,
         rpalRight);
  d.Footer();
}

}  // namespace

bool MakeTemplate(std::string_view name, TrpPages& pages) {
  using Maker = void (*)(TDesign&);
  static const std::pair<std::string_view, Maker> makers[] = {
      {"r-header", Header}, {"rgen", Gen},       {"rmenu", Menu},     {"rdayprod", DayProd},
      {"rtotprod", TotProd}, {"rtotals", Totals}, {"rtotcmt", TotCmt}, {"r-footer", Footer}};
  for (const auto& [n, make] : makers)
    if (n == name) {
      TDesign d(pages);
      make(d);
      return true;
    }
  return false;
}

int WriteTemplates(const AnsiString& dir) {
  int n = 0;
  for (std::string_view name : kNames) {
    TrpPages pages;
    MakeTemplate(name, pages);
    rpSaveTemplateFile(pages, IncludeTrailingPathDelimiter(dir) + AnsiString(name) + ".rpf");
    ++n;
  }
  return n;
}

}  // namespace rptemplates
