#include "report/RP_Class.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <type_traits>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "report/RP_PageSetup.h"
#include "report/RP_Prntr.h"
#include "report/RP_Template.h"
#include "report/RP_Utils.h"
#include "report/RP_Build.h"

using namespace rp_build;

// ---------------------------------------------------------------------------------
// TrpBand

TrpBand::TrpBand(int type, TrpBandView* view, TrpPageForm& form) : BandType(type), View(view), Form(form) {
  if (view) {
    Name = view->Name;
    Top = Y = PlaceY = view->Top;
    Height = view->Height;
    X = view->Left;
    Width = view->Width;
    Visible = view->Visible;
  }
}

void TrpBand::SetDataSource(const AnsiString& text) {
  if (BandType == btGroupHeader) {
    GroupCondition = text;
    return;
  }
  // A dataset whose records are running is closed by its own loop.
  if (DataSet && !Running) DataSet->Deactivate();
  if (OwnedDataSet) RetiredDataSets.push_back(std::move(OwnedDataSet));
  // ("band=source;" pairs name the columns of rows: no dataset of the band's own)
  DataSet = text.find(';') == AnsiString::npos ? rpOpenDataSource(Form.Report, text, OwnedDataSet, Name) : nullptr;
  if (!DataSet && BandType == btMasterData && Form.Report.ReportType == rtSimple) DataSet = Form.Report.Dataset();
}

bool TrpBand::Flag(std::uint16_t bit) const {
  if (!View || !(View->Flags & bit)) return false;
  // A page printed inside another's band neither starts pages nor splits bands.
  if (Form.Parent && (bit == flFormNewPage || bit == flBreaked)) return false;
  const int t = BandType;
  switch (bit) {
    case flFormNewPage:
      return t == btReportTitle || t == btReportSummary || (t >= btMasterData && t <= btSubDetailFooter && t != btDetailHeader &&
                                                            t != btSubDetailHeader) ||
             t == btGroupHeader;
    case flPrintIfSubsetEmpty:
      return t == btMasterData || t == btDetailData;
    case flBreaked:
      return t == btReportTitle || t == btReportSummary || (t >= btMasterHeader && t <= btSubDetailFooter) ||
             t == btGroupHeader || t == btGroupFooter || t == btChild;
    case flOnFirstPage:
      return t == btPageHeader || t == btPageFooter;
    case flOnLastPage:
      return t == btPageFooter;
    case flRepeatHeader:
      return t == btMasterHeader || t == btDetailHeader || t == btSubDetailHeader || t == btGroupHeader ||
             t == btCrossHeader;
    case flPrintChildIfInvisible:
      return t != btPageFooter;
    default:
      return true;
  }
}

int TrpBand::CalcHeight() {
  int h = Height;
  if (!Stretched()) return h;
  for (TrpView* v : Objects) {
    auto* s = dynamic_cast<TrpStretcheable*>(v);
    // Invisible views too: a memo's script may show it.
    if (!s || Form.IsCrossCell(v)) continue;
    rpState().CurrentView = v;
    h = std::max(h, s->CalcHeight() + (v->Top - Top));
  }
  return std::max(h, Form.CrossHeight(*this));
}
