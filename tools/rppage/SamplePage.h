// A sample prepared page: Cyrillic memos (wrapped, justified, centred, turned), frames
// of each style, lines and a picture, printed into a prepared page the way the build
// prints views. Shared by tools/rppage and the printing tests.
#pragma once

#include "platform/core/AnsiText.h"
#include "report/RP_BandView.h"
#include "report/RP_Memo.h"
#include "report/RP_Builder.h"
#include "report/RP_Prepared.h"

inline TBitmap SampleBitmap() {
  TBitmap b(64, 48, clWhite);
  for (int y = 0; y < 48; ++y)
    for (int x = 0; x < 64; ++x)
      b.SetPixel(x, y, (x / 8 + y / 8) % 2 ? RGBColor(30, 120, 200) : RGBColor(250, 200, 40));
  b.Fill(Rect(24, 16, 40, 32), clRed);
  return b;
}

// Adds one A4 portrait page (or A5 landscape when `a5Landscape`) to `pages`.
inline void AddSamplePage(TrpEMFPages& pages, bool a5Landscape = false) {
  TrpPage page(a5Landscape ? 11 : 9, 0, 0, -1, a5Landscape ? rpLandscape : rpPortrait);
  page.UseMargins = true;
  pages.Add(page);
  TStream& out = *pages.PageStream(pages.GetCount() - 1);
  rpState().CurrentPage = &page;
  int memos = 0;
  auto memo = [&](const char* utf8, int l, int t, int w, int h, auto&& setup) {
    TrpMemoView m;
    m.Name = "Memo" + IntToStr(++memos);
    m.SetBounds(l, t, w, h);
    m.Memo.SetText(Ansi(utf8));
    m.Font.Name = "Arial";
    setup(m);
    m.Print(out);
  };
  memo("Раскладка продуктов: поход по Хибинам", 40, 40, 678, 30, [](TrpMemoView& m) {
    m.Font.Size = 16;
    m.Font.Style = fsBold;
    m.Alignment = rpalCenter | rpalMiddle;
    m.FrameTyp = rpftAll;
    m.FrameWidth = 2;
    m.FillColor = RGBColor(230, 240, 255);
  });
  const char* text =
      "Гречневая крупа, сушёное мясо и сухое молоко составляют основу завтраков; перекусы на маршруте "
      "состоят из орехов, сухофруктов, шоколада и галет. Вечером готовится суп с картофельным пюре.";
  memo(text, 40, 90, 330, 150, [](TrpMemoView& m) {
    m.Alignment = rpalJustify;
    m.FrameTyp = rpftAll;
  });
  memo(text, 388, 90, 330, 150, [](TrpMemoView& m) {
    m.Flags |= flWordBreak;
    m.Alignment = rpalRight;
    m.FrameTyp = rpftAll;
    m.FrameStyle = rpfsDash;
    m.FrameColor = clBlue;
  });
  memo("День  Завтрак  Обед  Ужин", 40, 260, 678, 22, [](TrpMemoView& m) {
    m.FrameTyp = rpftTop | rpftBottom;
    m.FrameStyle = rpfsDouble;
    m.FrameWidth = 1;
    m.Font.Style = fsItalic;
  });
  memo("Итого: [2500 + 340] ккал в день", 40, 300, 400, 20, [](TrpMemoView& m) { m.Font.Color = clMaroon; });
  memo("Поворот", 680, 300, 30, 120, [](TrpMemoView& m) { m.Alignment = rpalRotated; m.FrameTyp = rpftAll; });
  for (int i = 0; i < 3; ++i) {
    TrpLineView line;
    line.Name = "Line" + IntToStr(i + 1);
    line.SetBounds(40, 340 + i * 12, 600, 0);
    line.FrameTyp = rpftTop;
    line.FrameWidth = static_cast<float>(i + 1);
    line.FrameStyle = static_cast<std::uint16_t>(i);
    line.Print(out);
  }
  TrpLineView vertical;
  vertical.Name = "Line4";
  vertical.SetBounds(660, 330, 0, 100);
  vertical.FrameTyp = rpftLeft;
  vertical.FrameColor = clGreen;
  vertical.FrameWidth = 3;
  vertical.Print(out);
  TrpPictureView pic;
  pic.Name = "Picture1";
  pic.SetBounds(40, 390, 128, 96);
  pic.Flags = flStretched | flKeepAspect | flCenter;
  pic.FrameTyp = rpftAll;
  pic.Picture.Assign(rpikBitmap, rpEncodeBmp(SampleBitmap()));
  pic.Print(out);
  TrpPictureView metafile;
  metafile.Name = "Picture2";
  metafile.SetBounds(190, 390, 96, 96);
  metafile.Picture.Assign(rpikMetafile, std::string("\xD7\xCD\xC6\x9A", 4));
  metafile.Print(out);
  rpState().CurrentPage = nullptr;
}

// Two pages (a report page with every view type, a dialog page) and a dictionary.
inline void BuildSampleTemplate(TrpPages& pages) {
  TrpTemplateBuilder b(pages);
  TrpPage& p = b.Page(9, rpPortrait, 40);
  p.Script.Add("begin end");
  b.Band(btPageHeader, 40, 40);
  TrpMemoView& title = b.Memo("Раскладка продуктов\r\n[TITLE]", 40, 44, 600, 32);
  title.Font = {"Arial", 14, fsBold, clNavy, 204};
  title.Alignment = rpalCenter;
  title.FrameTyp = rpftAll;
  title.FrameWidth = 1.5f;
  TrpBandView& data = b.Band(btMasterData, 90, 20);
  data.FormatStr = "fdsMenu";
  data.Columns = 2;
  b.Memo("[NAME2]", 40, 92, 300, 16).HighlightCondition = "[LEVEL] = 0";
  b.Line(40, 110, 600, 1, 2);
  b.Picture(660, 40, 60, 40, TBitmap(4, 3, clGreen));
  b.SubReport(40, 120, 200, 30, 1);
  TrpPage& dialog = b.Page(11, rpLandscape);
  dialog.PageType = ptDialog;
  dialog.Caption = Ansi("Параметры");
  pages.Dictionary.Variables.SetValueByName(" Ration", "");
  pages.Dictionary.Variables.SetValueByName("TITLE", "'x'");
  pages.PrintToDefault = true;
}

