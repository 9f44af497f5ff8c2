// The progress window of exports: "Подготовка отчета" with the page being written and
// Cancel. It appears only when an export runs longer than ShowAfterMs, so short exports
// do not flash a window; Cancel stops the export and no file is written.
#pragma once

#include "report/RP_Export.h"

struct TrpExportProgressWindow {
  // How long an export runs before the window shows (milliseconds).
  static int ShowAfterMs;
};

// Installs the window as the engine's export progress host (rpSetExportProgressHost).
void rpInstallExportProgressWindow();
