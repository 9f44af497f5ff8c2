#include "report/gui/RP_ExportProgress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include "platform/core/AnsiText.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Utils.h"
#include "report/gui/RP_PrintForm.h"

int TrpExportProgressWindow::ShowAfterMs = 400;

namespace {

QString Local(int id) { return ToQString(rpLocalString(id)); }

bool RunUnderWindow(const TrpExportWork& work) {
  TrpProgressForm form(QApplication::activeWindow());
  form.setObjectName("TrpExportProgressForm");
  form.setWindowTitle(Local(55203));
  form.setWindowModality(Qt::ApplicationModal);
  form.SetLabel(Local(55205) + "  1");
  bool cancelled = false;
  form.OnCancel = [&] { cancelled = true; };
  QElapsedTimer clock;
  const bool done = work([&](int page, int total) {
    if (page == 0) clock.start();  // the options dialog is behind us: the export begins
    else
      form.SetLabel(Local(55205) + "  " + QString::number(page) + " " + ToQString(Ansi("из")) + " " +
                    QString::number(total));
    if (!form.isVisible() && !cancelled && clock.isValid() && clock.elapsed() >= TrpExportProgressWindow::ShowAfterMs)
      form.show();
    if (form.isVisible()) QCoreApplication::processEvents();
    return !cancelled;
  });
  form.hide();
  return done && !cancelled;
}

}  // namespace

void rpInstallExportProgressWindow() { rpSetExportProgressHost(RunUnderWindow); }
