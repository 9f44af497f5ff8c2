#include "report/RP_Dump.h"

#include <cstdio>

#include "platform/core/AnsiText.h"
#include "report/RP_BandView.h"
#include "report/RP_Memo.h"

namespace {

std::string U(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

std::string Hex(std::uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%08X", v);
  return b;
}

std::string Quoted(const AnsiString& s) {
  std::string out = "\"";
  for (char c : U(s)) {
    if (c == rpLineEndMarker) out += "\\1";
    else if (c == '"') out += "\\\"";
    else out += c;
  }
  return out + "\"";
}

const char* TypeName(int t) {
  switch (t) {
    case rpotMemo: return "Memo";
    case rpotPicture: return "Picture";
    case rpotBand: return "Band";
    case rpotSubReport: return "SubReport";
    case rpotLine: return "Line";
    default: return "View";
  }
}

std::string PaperLine(int size, int w, int h, int orient, int bin) {
  return "paper " + std::to_string(size) + " " + std::to_string(w) + "x" + std::to_string(h) +
         (orient ? " landscape" : " portrait") + " bin " + std::to_string(bin);
}

}  // namespace

std::string rpDumpView(TrpView& v) {
  std::string s = std::string(TypeName(v.ObjectType)) + " " + U(v.Name) + " @" + std::to_string(v.Left) + "," +
                  std::to_string(v.Top) + " " + std::to_string(v.Width) + "x" + std::to_string(v.Height) +
                  " flags " + std::to_string(v.Flags);
  if (auto* b = dynamic_cast<TrpBandView*>(&v)) {
    s += " type " + std::to_string(b->BandType()) + " (" + U(rpBandTypeName(b->BandType())) + ")";
    if (!b->FormatStr.empty()) s += " source " + Quoted(b->FormatStr);
    if (b->Columns != 1) s += " columns " + std::to_string(b->Columns);
    if (!b->ChildBand.empty()) s += " child " + U(b->ChildBand);
  } else {
    s += " frame " + std::to_string(v.FrameTyp) + "/" + std::to_string(v.FrameWidth).substr(0, 4) + "/" +
         std::to_string(v.FrameStyle) + " #" + Hex(v.FrameColor);
    if (v.FillColor != rpNoColor) s += " fill #" + Hex(v.FillColor);
  }
  if (auto* m = dynamic_cast<TrpMemoView*>(&v)) {
    s += " font " + U(m->Font.Name) + " " + std::to_string(m->Font.Size) + " style " +
         std::to_string(m->Font.Style) + " align " + std::to_string(m->Alignment);
    if (!m->HighlightCondition.empty()) s += " highlight " + Quoted(m->HighlightCondition);
  }
  if (auto* p = dynamic_cast<TrpPictureView*>(&v))
    s += " image kind " + std::to_string(p->Picture.Kind) + " " + std::to_string(p->Picture.Bytes.size()) +
         " bytes " + std::to_string(p->Picture.ImageWidth()) + "x" + std::to_string(p->Picture.ImageHeight());
  if (auto* r = dynamic_cast<TrpSubReportView*>(&v)) s += " page " + std::to_string(r->SubPage);
  if (!v.Visible) s += " hidden";
  s += "\n";
  for (int i = 0; i < v.Memo.Count(); ++i) s += "    " + Quoted(v.Memo[i]) + "\n";
  if (v.Script.Count()) {
    s += "    script:\n";
    for (int i = 0; i < v.Script.Count(); ++i) s += "      " + U(v.Script[i]) + "\n";
  }
  return s;
}

std::string rpDumpTemplate(const TrpPages& pages) {
  std::string s = "template: " + std::to_string(pages.GetCount()) + " page(s)" +
                  (pages.PrintToDefault ? ", default printer" : "") + (pages.DoublePass ? ", two passes" : "") +
                  ", printer " + Quoted(pages.PrinterName) + "\n";
  for (int i = 0; i < pages.GetCount(); ++i) {
    TrpPage& p = *pages.GetPages(i);
    s += "page " + std::to_string(i + 1) + " " + U(p.Name) + (p.PageType == ptDialog ? " dialog " : " ") +
         PaperLine(p.PaperSize, p.PaperWidth, p.PaperHeight, p.Orientation, p.Bin) + " margins " +
         std::to_string(p.LeftMargin) + "," + std::to_string(p.TopMargin) + "," + std::to_string(p.RightMargin) +
         "," + std::to_string(p.BottomMargin) + (p.UseMargins ? " used" : " stretched") + "\n";
    for (const auto& v : p.Objects) s += "  " + rpDumpView(*v);
  }
  const TrpDictionaryRecord& d = pages.Dictionary;
  for (int i = 0; i < d.Variables.Count(); ++i)
    s += "variable " + Quoted(d.Variables.GetNameAt(i)) + " = " + Quoted(VarToStr(d.Variables.GetValueAt(i))) + "\n";
  return s;
}

std::string rpDumpPrepared(TrpEMFPages& pages) {
  std::string s = "prepared report: " + std::to_string(pages.GetCount()) + " page(s)\n";
  for (int i = 0; i < pages.GetCount(); ++i) {
    TrpPreparedPage& p = *pages.GetPages(i);
    s += "page " + std::to_string(i + 1) + " " + PaperLine(p.PaperSize, p.Width, p.Height, p.Orientation, p.Bin) +
         " " + std::to_string(p.PageInfo.PhysWidth) + "x" + std::to_string(p.PageInfo.PhysHeight) + " px\n";
    try {
      pages.ObjectsToPage(i);
      for (const auto& v : p.Page->Objects) s += "  " + rpDumpView(*v);
    } catch (const Exception& e) {
      s += "  damaged page: " + U(e.Message()) + "\n";
    }
    p.Page.reset();
  }
  return s;
}
