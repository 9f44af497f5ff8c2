#include "controls/gui/BrowseFolderDlg.h"

#include "controls/misc/FileUtil.h"
#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"

bool TBrowseFolderDlg::Execute() {
  if (BrowseKind == TBrowseKind::bfComputers) return false;
  TFolderBrowseRequest request;
  request.Title = DialogText;
  request.StartFolder = DirExists(FolderName) ? FolderName : AnsiString("/");
  request.DesktopRoot = DesktopRoot;
  request.CenterOnScreen = Position == TPosition::poScreenCenter || Position == TPosition::poDesktopCenter;
  request.HelpButton = HelpContext != 0;
  request.OnInitialized = [this] {
    if (OnInitialized) OnInitialized(this);
  };
  request.OnSelChanged = [this](const AnsiString& folder) {
    // FolderName follows the selection; OK only for an existing directory.
    FolderName = folder;
    const bool ok = FolderOkEnabled(folder);
    if (OnSelChanged) OnSelChanged(this);
    return ok;
  };
  request.OnHelp = [this] { ShowHelpContext(HelpContext); };
  if (!Dialogs().BrowseFolder(request)) return false;
  // Only an existing directory is a choice (the dialog's OK follows the same rule).
  if (!FolderOkEnabled(request.Folder)) return false;
  FolderName = RemoveBackSlash(request.Folder);
  SelectedName = FolderName;
  DisplayName = FolderName == "/" ? FolderName : ExtractFileName(FolderName);
  ImageIndex = FolderImageIndex(FolderName);
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

bool SelectDirectory(AnsiString& dir, TSelectDirOpts options, int helpContext) {
  (void)helpContext;  // the kit's folder dialog has no help button of its own
  TDirectoryRequest request;
  request.Caption = Ansi("Выбор папки");
  request.Folder = dir;
  request.AllowNew = (options & sdAllowCreate) != 0;
  // Asked before the dialog closes: a refused folder keeps it open.
  request.OnChoose = [options](const AnsiString& chosen) {
    if (DirExists(chosen)) return true;
    if (!(options & sdAllowCreate)) return ExistingDirectoryOrSay(chosen);
    if (!(options & sdPerformCreate)) return true;  // taken as it is, not made
    if ((options & sdPrompt) &&
        MessageDlg(Format(Ansi("Папка \"%s\" не существует. Создать её?"), {chosen}), TMsgDlgType::mtConfirmation,
                   mbYes | mbNo) != mrYes)
      return false;
    if (!ForceDirectories(chosen)) {
      MessageDlg(Format(Ansi("Не удалось создать папку \"%s\"."), {chosen}), TMsgDlgType::mtError, mbOK);
      return false;
    }
    return true;
  };
  if (!Dialogs().SelectDirectoryEx(request)) return false;
  dir = request.Folder;
  return true;
}
