// Authoring templates in code: a small builder over the template objects. Texts are
// given in UTF-8 and stored in 1251; names are generated as the designer would
// ("Memo1", "Band1", ...). The result is written by the engine's own template writer.
//
//   TrpPages pages;
//   TrpTemplateBuilder b(pages);
//   b.Page();                                             // A4 portrait, margins
//   b.Band(btPageHeader, 30, 40);
//   b.Memo("Раскладка [TITLE]", 20, 34, 600, 20).Font.Style = fsBold;
//   b.Band(btMasterData, 80, 20).FormatStr = "fdsMenu";
//   rpSaveTemplateFile(pages, "Ref/rmenu.rpf");
#pragma once

#include "report/RP_BandView.h"
#include "report/RP_Memo.h"
#include "report/RP_Page.h"

class TrpTemplateBuilder {
 public:
  explicit TrpTemplateBuilder(TrpPages& pages) : pages_(pages) {}

  // A new report page; margins in report pixels (used when UseMargins).
  TrpPage& Page(int paperSize = 9, int orientation = rpPortrait, int margins = 0);
  // On the last page (a page is made when there is none).
  TrpBandView& Band(int bandType, int top, int height);
  TrpMemoView& Memo(std::string_view utf8, int left, int top, int width, int height);
  TrpLineView& Line(int left, int top, int width, int height, float frameWidth = 1);
  TrpPictureView& Picture(int left, int top, int width, int height, const TBitmap& image);
  TrpSubReportView& SubReport(int left, int top, int width, int height, int subPage);
  // Any view made by the caller (an add-in class, for instance).
  TrpView& Add(std::unique_ptr<TrpView> view);

  TrpPage& CurrentPage();

 private:
  template <class T>
  T& Place(std::unique_ptr<TrpView> view, int left, int top, int width, int height) {
    T& v = static_cast<T&>(Add(std::move(view)));
    v.SetBounds(left, top, width, height);
    return v;
  }
  TrpPages& pages_;
};
