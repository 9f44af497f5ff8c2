// A look at the GUI kit: canvas primitives, resource glyphs and a header row over a
// multi-column area, all painted through TCanvas.
//   guidemo                 shows the window
//   guidemo --shot out.png  renders it to a PNG (works on the offscreen platform)
//   --classic               keeps the classic system colours instead of the palette's
#include <QImage>
#include <cstdio>
#include <cstring>

#include "platform/core/DrawUtils.h"
#include "platform/core/ImageList.h"
#include "platform/core/Resources.h"
#include "platform/gui/Application.h"
#include "platform/gui/Controls.h"

namespace {

struct Column {
  const char* caption;
  int width;
  unsigned align;
};

const Column kColumns[] = {{"Продукт", 150, DT_LEFT}, {"Ккал", 50, DT_RIGHT}, {"Белки, г", 64, DT_RIGHT},
                           {"Жиры, г", 60, DT_RIGHT},  {"Углеводы, г", 70, DT_RIGHT}, {"Вес, г", 54, DT_CENTER}};
const char* const kRows[][6] = {
    {"Крупа гречневая ядрица", "329", "12,60", "3,30", "62,10", "80"},
    {"Сыр российский", "360", "23,20", "29,50", "0,00", "30"},
    {"Колбаса сырокопчёная «Московская»", "406", "24,80", "41,50", "0,20", "40"},
    {"Сухари ржаные", "324", "11,40", "1,50", "71,00", "60"},
};

class DemoSurface : public TCustomControl {
 public:
  DemoSurface() {
    SetColor(clBtnFace);
    resize(470, 215);
  }
  int pressed = 2;  // "Белки" is held down
  int hot = 4;      // the pointer is over "Углеводы"

  void Paint(TCanvas& c) override {
    PaintHeader(c, 10, 10);
    PaintPrimitives(c, 10, 130);
  }

 private:
  void PaintHeader(TCanvas& c, int left, int top) {
    const int height = -Font().Height + 2 * 1 + 6;  // |font height| + 2 borders + 6
    const int areaWidth = 450;
    // The multi-column area below the header, framed as a sunken box.
    TRect area = Rect(left - 2, top - 2, left + areaWidth + 2, top + height + 4 * 19 + 2);
    DrawEdge(c, area, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
    FillSolidRect(c, area.Left, area.Top, area.Width(), area.Height(), clWindow);

    int x = left;
    for (int i = 0; i < 6; ++i) {
      TRect r = Rect(x, top, x + kColumns[i].width, top + height);
      PaintSection(c, r, i);
      x = r.Right;
    }
    // Right of the last section: the header colour with a raised edge.
    TRect rest = Rect(x, top, left + areaWidth, top + height);
    FillSolidRect(c, rest.Left, rest.Top, rest.Width(), rest.Height(), clBtnFace);
    DrawEdge(c, rest, BDR_RAISEDINNER, BF_RECT);

    // Rows with grid lines; the second row selected, the third focused.
    c.Font = Font();
    for (int row = 0; row < 4; ++row) {
      const int y = top + height + row * 19;
      int cx = left;
      const bool selected = row == 1;
      if (selected) FillSolidRect(c, left, y, x - left, 19, clHighlight);
      for (int col = 0; col < 6; ++col) {
        TRect cell = Rect(cx + 2, y, cx + kColumns[col].width - 3, y + 18);
        c.Brush.Style = TBrushStyle::bsClear;
        c.Font.Color = selected ? clHighlightText : clWindowText;
        c.DrawText(Ansi(kRows[row][col]), cell,
                   kColumns[col].align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        c.Brush.Style = TBrushStyle::bsSolid;
        cx += kColumns[col].width;
        FillSolidRect(c, cx - 1, y, 1, 19, clBtnFace);
      }
      FillSolidRect(c, left, y + 18, x - left, 1, clBtnFace);
      if (row == 2) c.DrawFocusRect(Rect(left, y, x, y + 18));
    }
  }

  void PaintSection(TCanvas& c, TRect r, int i) {
    FillSolidRect(c, r.Left, r.Top, r.Width(), r.Height(), clBtnFace);
    const bool down = i == pressed;
    TRect edge = r;
    DrawEdge(c, edge, down ? BDR_SUNKENOUTER : EDGE_RAISED, BF_RECT);
    TRect text = InflateRect(r, -4, 0);
    if (down) text = OffsetRect(text, 1, 1);
    if (i == 0) {  // sorted ascending: the mark at the right end
      const TBitmap& mark = ResourceBitmap("MTHEADERASCBMP");
      text.Right -= mark.Width() + 4;
      c.Draw(r.Right - mark.Width() - 6, r.Top + (r.Height() - mark.Height()) / 2 + 1, mark);
    }
    c.Font = Font();
    if (i == hot) {
      c.Font.Color = clHighlight;
      c.Font.Style = fsUnderline;
    } else {
      c.Font.Color = clBtnText;
    }
    c.Brush.Style = TBrushStyle::bsClear;
    c.DrawText(Ansi(kColumns[i].caption), text,
               kColumns[i].align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    c.Brush.Style = TBrushStyle::bsSolid;
  }

  void PaintPrimitives(TCanvas& c, int left, int top) {
    // Exclusive edges: a 20 x 12 fill inside a 22 x 14 frame.
    c.Brush.Color = clNavy;
    c.FrameRect(Bounds(left, top, 22, 14));
    c.Brush.Color = clYellow;
    c.FillRect(Bounds(left + 1, top + 1, 20, 12));
    // Raised and sunken 3-D frames, the flat frame.
    Draw3DFrame(c, Bounds(left + 30, top, 40, 24), true);
    Draw3DFrame(c, Bounds(left + 78, top, 40, 24), false);
    DrawFlatFrame(c, Bounds(left + 126, top, 40, 24), clWindow, true);
    // Pens: solid, dotted, and a red rectangle with a dither brush.
    c.Pen = TPen{};
    c.MoveTo(left + 176, top);
    c.LineTo(left + 236, top + 24);
    c.Pen.Style = TPenStyle::psDot;
    c.MoveTo(left + 176, top + 24);
    c.LineTo(left + 236, top);
    c.Pen = TPen{};
    c.Pen.Color = clRed;
    c.Brush = DitherBrush(clBtnShadow, clBtnHighlight);
    c.Rectangle(Bounds(left + 244, top, 40, 24));
    c.Brush = TBrush{};
    c.Pen = TPen{};
    // Resource glyphs, transparent, and an image list in its three styles.
    int gx = left + 292;
    for (const char* name : {"PlusBmp", "MinusBmp", "MTHEADERASCBMP", "MTHEADERDESCBMP", "MTHEADERLEFTBMP",
                             "MTHEADERRIGHTBMP", "MTHEADERPOINTBMP", "COMBOARROW"}) {
      const TBitmap& b = ResourceBitmap(name);
      c.Draw(gx, top + (12 - b.Height() / 2), b);
      gx += b.Width() + 4;
    }
    TImageList images(16, 14);
    images.Add(ResourceBitmap("FEDITBMP"));
    images.Draw(c, left, top + 40, 0);
    images.Draw(c, left + 20, top + 40, 0, TDrawingStyle::dsSelected);
    images.Draw(c, left + 40, top + 40, 0, TDrawingStyle::dsNormal, false);
    // Text: clipped to a box, shortened with an ellipsis, wrapped, with an accelerator.
    TRect box = Bounds(left + 70, top + 36, 110, 18);
    Draw3DRect(c, InflateRect(box, 1, 1), clBtnShadow, clBtnHighlight);
    c.Brush.Color = clInfoBk;
    c.FillRect(box);
    c.Font = Font();
    c.Font.Color = clInfoText;
    c.Brush.Style = TBrushStyle::bsClear;
    c.DrawText(Ansi("Раскладка на 14 дней похода"), box, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS);
    TRect wrap = Bounds(left + 190, top + 34, 150, 40);
    c.Font.Color = clWindowText;
    c.DrawText(Ansi("&Файл раскладки: длинная строка переносится по словам"), wrap, DT_WORDBREAK);
    TFont big;
    big.Name = "Times New Roman";
    big.Height = -18;
    big.Style = fsBold | fsItalic;
    c.Font = big;
    c.TextOut(left + 350, top + 36, "Tarnwick");
  }
};

}  // namespace

int main(int argc, char** argv) {
  const char* shot = nullptr;
  bool classic = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) shot = argv[i + 1];
    if (std::strcmp(argv[i], "--classic") == 0) classic = true;
  }
  TQtApplication app(argc, argv);
  Application().Title = Ansi("Tarnwick: набор элементов");
  Application().Initialize();
  if (classic) SetSysColors(ClassicSysColors());
  DemoSurface surface;
  surface.setWindowTitle(QString::fromUtf8("Tarnwick: набор элементов"));
  if (shot) {
    surface.show();
    const QImage image = surface.RenderToImage();
    if (!image.save(QString::fromLocal8Bit(shot))) {
      std::fprintf(stderr, "cannot write %s\n", shot);
      return 1;
    }
    return 0;
  }
  surface.show();
  return Application().Run();
}
