// The options dialogs of the export filters (TXT, CSV, RTF, HTML): check boxes, the
// scale fields and the CSV delimiter, filled from the filter and taken back after the
// dialog closes.
#pragma once

class TrpExportFilter;

// Installs the dialogs as the filters' options dialog (see rpSetExportOptionsDialog).
void rpInstallExportOptionsDialogs();
// Shows the options dialog of the filter; the modal result (1 = OK).
int rpShowExportOptions(TrpExportFilter& filter);
