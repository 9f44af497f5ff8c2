// The folder dialog as a component, on the kit's folder browser (a directory dialog
// whose OK button is enabled only for existing directories). It starts at FolderName
// when that is an existing directory, else at the root with nothing selected. While it
// runs, FolderName follows the selection and OnSelChanged fires for every change;
// OnInitialized fires once the dialog exists; with a HelpContext a Help button opens
// that help topic. On OK FolderName (without its trailing separator) and SelectedName
// hold the folder, DisplayName its last part and ImageIndex its picture
// (FolderImageIndex).
//
// BrowseKind bfComputers (the network's computers) has nothing to browse here: Execute
// returns false at once.
#pragma once

#include "platform/core/Classes.h"
#include "platform/gui/Forms.h"

enum class TBrowseKind { bfFolders, bfComputers };

class TBrowseFolderDlg : public TObject {
 public:
  AnsiString DialogText;
  AnsiString FolderName;
  AnsiString DisplayName;
  AnsiString SelectedName;
  int ImageIndex = -1;
  TBrowseKind BrowseKind = TBrowseKind::bfFolders;
  // The places start at the desktop and the home folder; off: the file system's root only.
  bool DesktopRoot = true;
  // poScreenCenter and poDesktopCenter centre the dialog on the screen.
  TPosition Position = TPosition::poScreenCenter;
  int HelpContext = 0;
  TNotifyEvent OnInitialized, OnSelChanged;
  bool Execute();
};

// The one-call form: Name is the start folder and, on OK, the folder chosen.
bool BrowseDirectory(AnsiString& name, const AnsiString& dialogText, int helpContext);

// The class library's folder dialog and its options, in which a folder may be typed: with
// sdAllowCreate a folder that does not exist yet may be chosen; sdPerformCreate then
// creates it (after asking, with sdPrompt); a refused question or a failure to create
// (said in a message) keeps the dialog open. Without sdAllowCreate such a folder is
// refused with a message.
enum TSelectDirOpt : unsigned { sdAllowCreate = 1, sdPerformCreate = 2, sdPrompt = 4 };
using TSelectDirOpts = unsigned;
bool SelectDirectory(AnsiString& dir, TSelectDirOpts options, int helpContext);
