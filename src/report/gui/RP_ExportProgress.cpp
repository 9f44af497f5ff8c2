#include "report/gui/RP_ExportProgress.h"

#include "report/RP_Utils.h"
#include "report/gui/RP_ReportWindows.h"

int TrpExportProgressWindow::ShowAfterMs = 400;

namespace {

bool RunUnderWindow(const AnsiString& caption, const TrpExportWork& work) {
  TrpProgressWindow window(caption, rpLocalString(55205) + "  1", "TrpExportProgressForm",
                           TrpExportProgressWindow::ShowAfterMs);
  const bool done = work([&](int page, int total) {
    if (page == 0) window.Restart();  // the options dialog is behind us: the export begins
    else
      window.SetLabel(rpLocalString(55205) + "  " + IntToStr(page) + " " + rpLocalString(55199) + " " +
                      IntToStr(total));
    return window.ProcessMessages();
  });
  return done && !window.Cancelled();
}

}  // namespace

void rpInstallExportProgressWindow() { rpSetExportProgressHost(RunUnderWindow); }
