// The folder dialog as a component, on the kit's folder dialog (a file dialog in
// directory mode whose OK button is enabled only for existing directories). It starts
// at FolderName when that is an existing directory, else at the root; on OK
// FolderName (without its trailing separator) and SelectedName hold the folder and
// DisplayName its last part.
#pragma once

#include "platform/core/Classes.h"

class TBrowseFolderDlg : public TObject {
 public:
  AnsiString DialogText;
  AnsiString FolderName;
  AnsiString DisplayName;
  AnsiString SelectedName;
  int HelpContext = 0;
  TNotifyEvent OnInitialized, OnSelChanged;
  bool Execute();
};

// The one-call form: Name is the start folder and, on OK, the folder chosen.
bool BrowseDirectory(AnsiString& name, const AnsiString& dialogText, int helpContext);
