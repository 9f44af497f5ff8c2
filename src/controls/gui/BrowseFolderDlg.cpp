#include "controls/gui/BrowseFolderDlg.h"

#include "controls/misc/FileUtil.h"
#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"

bool TBrowseFolderDlg::Execute() {
  AnsiString folder = DirExists(FolderName) ? FolderName : AnsiString("/");
  if (OnInitialized) OnInitialized(this);
  if (!Dialogs().SelectDirectory(DialogText, folder)) return false;
  // Only an existing directory is a choice (the dialog's OK follows the same rule).
  if (!FolderOkEnabled(folder)) return false;
  FolderName = RemoveBackSlash(folder);
  SelectedName = FolderName;
  DisplayName = FolderName == "/" ? FolderName : ExtractFileName(FolderName);
  if (OnSelChanged) OnSelChanged(this);
  return true;
}

bool BrowseDirectory(AnsiString& name, const AnsiString& dialogText, int helpContext) {
  TBrowseFolderDlg dialog;
  dialog.DialogText = dialogText;
  dialog.FolderName = name;
  dialog.HelpContext = helpContext;
  if (!dialog.Execute()) return false;
  name = dialog.FolderName;
  return true;
}
