#include "report/RP_Builder.h"

#include "platform/core/AnsiText.h"

TrpPage& TrpTemplateBuilder::Page(int paperSize, int orientation, int margins) {
  pages_.Pages.push_back(std::make_unique<TrpPage>(paperSize, 0, 0, -1, orientation));
  TrpPage& p = *pages_.Pages.back();
  p.Name = "Page" + IntToStr(pages_.GetCount());
  if (margins > 0) {
    p.UseMargins = true;
    p.LeftMargin = p.TopMargin = p.RightMargin = p.BottomMargin = margins;
  }
  return p;
}

TrpPage& TrpTemplateBuilder::CurrentPage() {
  if (!pages_.GetCount()) Page();
  return *pages_.Pages.back();
}

TrpView& TrpTemplateBuilder::Add(std::unique_ptr<TrpView> view) {
  TrpPage& page = CurrentPage();
  TrpView& v = *page.AddObject(std::move(view));
  if (v.Name.empty())
    for (int i = 1; i <= 10000; ++i) {
      const AnsiString name = v.BaseName + IntToStr(i);
      if (!pages_.FindObject(name)) {
        v.Name = name;
        break;
      }
    }
  return v;
}

TrpBandView& TrpTemplateBuilder::Band(int bandType, int top, int height) {
  TrpBandView& b = Place<TrpBandView>(CreateReportObject(rpotBand, ""), 0, top, CurrentPage().PageInfo.ReportWidth(),
                                      height);
  b.SetBandType(bandType);
  return b;
}

TrpMemoView& TrpTemplateBuilder::Memo(std::string_view utf8, int left, int top, int width, int height) {
  TrpMemoView& m = Place<TrpMemoView>(CreateReportObject(rpotMemo, ""), left, top, width, height);
  if (!utf8.empty()) m.Memo.SetText(Ansi(utf8));
  return m;
}

TrpLineView& TrpTemplateBuilder::Line(int left, int top, int width, int height, float frameWidth) {
  TrpLineView& l = Place<TrpLineView>(CreateReportObject(rpotLine, ""), left, top, width, height);
  l.FrameTyp = height < width ? rpftTop : rpftLeft;
  l.FrameWidth = frameWidth;
  return l;
}

TrpPictureView& TrpTemplateBuilder::Picture(int left, int top, int width, int height, const TBitmap& image) {
  TrpPictureView& p = Place<TrpPictureView>(CreateReportObject(rpotPicture, ""), left, top, width, height);
  if (!image.Empty()) p.Picture.Assign(rpikBitmap, rpEncodeBmp(image));
  return p;
}

TrpSubReportView& TrpTemplateBuilder::SubReport(int left, int top, int width, int height, int subPage) {
  TrpSubReportView& s = Place<TrpSubReportView>(CreateReportObject(rpotSubReport, ""), left, top, width, height);
  s.SubPage = subPage;
  return s;
}
