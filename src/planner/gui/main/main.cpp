// The program: the application object, the data module (settings, directories), the main
// window, and the files named on the command line, opened in order once the window is up.
#include <QMdiArea>
#include <QTimer>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "planner/app/Globals.h"
#include "planner/app/HelpPages.h"
#include "planner/gui/DesktopShell.h"
#include "planner/gui/MainForm.h"
#include "planner/gui/ProgramIcon.h"
#include "planner/gui/RaskladForm.h"
#include "platform/core/Files.h"
#include "platform/core/SysDirs.h"
#include "platform/gui/Application.h"
#include "report/gui/RP_DialogForm.h"
#include "report/gui/RP_ExportForms.h"

int main(int argc, char** argv) {
  TQtApplication app(argc, argv);
  Application().Initialize();
  TApplication::InstallStandardDialogTexts();  // the standard dialogs in Russian
  SetShell(std::make_unique<TDesktopShell>());
  rpInstallDialogPageForms();  // reports with dialog pages show them as windows
  rpInstallExportOptionsDialogs();  // each export of the preview asks for its options
  QApplication::setWindowIcon(ProgramIcon());
  TdmGlobals globals;
  globals.dmGlobalsCreate();
  Application().Title = globals.ProgTitle;
  Application().ShowHint = globals.Settings.General.ShowHint;
  // For review: "--shot out.png [--section n] [--tab n]" renders the window with the
  // files open on that page and tab, and quits.
  std::vector<AnsiString> files;
  QString shot;
  int section = 1, tab = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--shot" && i + 1 < argc) shot = QString::fromLocal8Bit(argv[++i]);
    else if (a == "--section" && i + 1 < argc) section = std::atoi(argv[++i]);
    else if (a == "--tab" && i + 1 < argc) tab = std::atoi(argv[++i]);
    else files.push_back(AnsiPath(a));
  }
  TMainForm form(globals, IncludeTrailingPathDelimiter(ProgramDirectory()) + kHelpDirName + "/" + kHelpFileName);
  // A review leaves the user's recent files and window placements as they were.
  form.SetReviewMode(!shot.isEmpty());
  form.ShowPlaced();
  form.OpenParams(files);
  if (!shot.isEmpty()) {
    form.showNormal();
    form.resize(1280, 900);
    QTimer::singleShot(300, &form, [&] {
      if (TRaskladForm* child = form.ActiveChild()) {
        child->ShowSection(section);
        // The first day opened, as a user would to look at its menu.
        if (TMtTreeItem* day = child->Doc().Items()->GetItem(0)) day->Expand(true);
        if (section == 1) child->ShowTab(tab);
      }
      QTimer::singleShot(200, &form, [&] {
        form.grab().save(shot);
        form.Client()->closeAllSubWindows();
        app.quit();
      });
    });
  }
  return app.exec();
}
