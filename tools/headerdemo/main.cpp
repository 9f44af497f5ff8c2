// The header control over a multi-column area: a ration-like list whose columns follow
// the header's sections (resize, drag and click them when shown on screen), and a
// second, flat header with the expand sign, lookup and filter buttons.
//   headerdemo                 shows the window
//   headerdemo --shot out.png  renders it to a PNG (works on the offscreen platform);
//                              the "Белки, г" section is held pressed and the pointer
//                              rests over "Углеводы, г"
//   --scale N                  enlarges the PNG N times (pixels kept sharp), to look closely
#include <QPixmap>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

#include "controls/gui/MtHeader.h"
#include "platform/core/DrawUtils.h"
#include "platform/gui/Align.h"
#include "platform/gui/Application.h"

namespace {

struct Column {
  const char* caption;
  int width;
  TMtSAlignment align;
};

const Column kColumns[] = {{"Продукт", 196, hsaLeft},      {"Ккал", 52, hsaRight},
                           {"Белки, г", 70, hsaRight},     {"Жиры, г", 64, hsaRight},
                           {"Углеводы, г", 86, hsaRight},  {"Вес, г", 58, hsaCenter}};
// Cells by section number.
const char* const kRows[][6] = {
    {"Колбаса сырокопчёная «Московская»", "406", "24,80", "41,50", "0,20", "40"},
    {"Крупа гречневая ядрица", "329", "12,60", "3,30", "62,10", "80"},
    {"Сухари ржаные", "324", "11,40", "1,50", "71,00", "60"},
    {"Сыр российский", "360", "23,20", "29,50", "0,00", "30"},
    {"Шоколад горький", "539", "6,20", "35,40", "48,20", "25"},
};
constexpr int kRowHeight = 19;

// The area under the header: one row per product, cells under the sections.
class Rows : public TCustomControl {
 public:
  Rows(QWidget* parent, TCustomMtHeader& header) : TCustomControl(parent), header_(header) { SetColor(clWindow); }

  void Paint(TCanvas& c) override {
    const auto spans = MtSectionSpans(header_.Sections());
    const int right = spans.empty() ? 0 : spans.back().Right;
    FillSolidRect(c, 0, 0, ClientWidth(), ClientHeight(), clWindow);
    for (int row = 0; row < static_cast<int>(std::size(kRows)); ++row) {
      const int y = row * kRowHeight;
      const bool selected = row == 1;
      if (selected) FillSolidRect(c, 0, y, right, kRowHeight - 1, clHighlight);
      for (const TMtSectionSpan& span : spans) {
        const TMtHeaderSection& s = *span.Section;
        TRect cell = Rect(span.Left + 4, y, span.Right - 4, y + kRowHeight - 1);
        c.Font = Font();
        c.Font.Color = selected ? clHighlightText : clWindowText;
        if (s.GetIndex() == 0 && row == 0) c.Font.Style = fsBold;
        c.Brush.Style = TBrushStyle::bsClear;
        const unsigned align = s.Alignment() == hsaRight ? DT_RIGHT : s.Alignment() == hsaCenter ? DT_CENTER : DT_LEFT;
        c.DrawText(Ansi(kRows[row][s.GetIndex()]), cell,
                   align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        c.Brush.Style = TBrushStyle::bsSolid;
        FillSolidRect(c, span.Right - 1, y, 1, kRowHeight, clBtnFace);
      }
      FillSolidRect(c, 0, y + kRowHeight - 1, right, 1, clBtnFace);
    }
    c.DrawFocusRect(Rect(0, 2 * kRowHeight, right, 3 * kRowHeight - 1));
  }

 private:
  TCustomMtHeader& header_;
};

void FillMainHeader(TMtHeader& h) {
  for (const Column& col : kColumns) {
    TMtHeaderSection* s = h.Sections().AddSection();
    s->SetText(Ansi(col.caption));
    s->SetWidth(col.width);
    s->SetAlignment(col.align);
  }
  h.Sections().GetSectionByPos(0)->SetSortMode(hsmAscend);
  h.Sections().GetSectionByPos(0)->SetHint(Ansi("Название продукта"));
}

void FillToolsHeader(TMtHeader& h) {
  h.SetFlat(true);
  const char* captions[] = {"Дата", "Раскладка", "Цена", "Поиск", "Отбор", "Вложенный"};
  const int widths[] = {90, 110, 80, 100, 90, 96};
  for (int i = 0; i < 6; ++i) {
    TMtHeaderSection* s = h.Sections().AddSection();
    s->SetText(Ansi(captions[i]));
    s->SetWidth(widths[i]);
  }
  TMtHeaderSections& list = h.Sections();
  list.GetSectionByPos(1)->SetSortMode(hsmDescend);
  list.GetSectionByPos(2)->SetExpandable(true);
  list.GetSectionByPos(3)->SetLookupEnabled(true);
  list.GetSectionByPos(4)->SetFilterEnabled(true);
  list.GetSectionByPos(4)->SetFilterIsActive(true);
  list.GetSectionByPos(5)->SetParentSection(list.GetSectionByPos(2));
  list.GetSectionByPos(2)->SetExpanded(true);
}

}  // namespace

int main(int argc, char** argv) {
  const char* shot = nullptr;
  int scale = 1;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--shot") == 0) shot = argv[i + 1];
    if (std::strcmp(argv[i], "--scale") == 0) scale = std::clamp(std::atoi(argv[i + 1]), 1, 8);
  }
  TQtApplication app(argc, argv);
  Application().Title = Ansi("Tarnwick: заголовок списка");
  Application().Initialize();

  QWidget form;
  form.setWindowTitle(QString::fromUtf8("Tarnwick: заголовок списка"));
  form.resize(600, 160);
  TMtHeader header(&form);
  header.AllowDrag = true;
  FillMainHeader(header);
  Rows rows(&form, header);
  SetAlign(&rows, TAlign::alClient);
  TMtHeader tools(&form);
  SetAlign(&tools, TAlign::alBottom);
  FillToolsHeader(tools);
  // The list follows the header: widths, order and sort marks.
  header.OnSectionResizing = [&rows](TObject*, TMtHeaderSection*, int, int) { rows.Invalidate(); };
  header.OnSectionMove = [&rows](TObject*, TMtHeaderSection*, int, int) { rows.Invalidate(); };
  header.OnSectionClick = [](TObject*, TMtHeaderSection* s) {
    s->SetSortMode(s->SortMode() == hsmAscend ? hsmDescend : hsmAscend);
  };
  form.show();
  AlignControls(&form);

  if (shot) {
    // The pointer rests over "Углеводы, г" and "Белки, г" is held down.
    const auto spans = MtSectionSpans(header.Sections());
    header.MouseMove(0, spans[4].Left + 20, 8);
    header.MouseDown(TMouseButton::mbLeft, ssLeft, spans[2].Left + 20, 8);
    QPixmap pixmap = form.grab();
    if (scale > 1) pixmap = pixmap.scaled(pixmap.size() * scale);
    if (!pixmap.save(QString::fromLocal8Bit(shot))) {
      std::fprintf(stderr, "cannot write %s\n", shot);
      return 1;
    }
    return 0;
  }
  return Application().Run();
}
