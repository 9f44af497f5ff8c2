// TMainForm, the program's frame: the MDI area that holds the ration windows, every file,
// edit, window and help command with its shortcut, the recent-files menu, and the files
// named on the command line (opened in order once the frame is up). The frame reaches
// documents only through ActiveChild(); which commands are enabled comes from the active
// window's editor (UpdateActions, the only place that enables actions).
#pragma once

#include <QPointer>

#include <QMainWindow>
#include <memory>

#include "planner/app/MruList.h"
#include "planner/gui/RaskladForm.h"

class QMdiArea;
class QMenu;
class TdmGlobals;
class THelpForm;
class TPlannerPrompt;
class TRefMenuForm;
class TFindDlg;
class TWindowPlacement;

// The file dialogs of the frame; tests script them.
class IFileDialogs {
 public:
  virtual ~IFileDialogs() = default;
  // "Открыть раскладку": an existing file; false when cancelled.
  virtual bool OpenRation(const AnsiString& initialDir, AnsiString& fileName) = 0;
  // "Сохранить под именем", seeded with fileName; ".tw" added when no extension is given.
  virtual bool SaveRation(const AnsiString& initialDir, AnsiString& fileName) = 0;
};

// Help contexts of the frame and of the ration windows (F1).
inline constexpr int kMainHelpContext = 2180;
inline constexpr int kRaskladHelpContext = 2190;

class TMainForm : public QMainWindow {
 public:
  // helpFile: the help pages (Help/help.txt beside the program).
  TMainForm(TdmGlobals& globals, AnsiString helpFile, std::unique_ptr<IFileDialogs> dialogs = nullptr);
  ~TMainForm() override;

  // Creates a ration window for the file (a new document for an empty name; a relative
  // name is taken from the working directory); the file goes to the top of the recent
  // files, or leaves them when it could not be read.
  TRaskladForm* OpenRation(const AnsiString& Name);
  // Opens each file in order after the frame has started (the command line).
  void OpenParams(const std::vector<AnsiString>& fileNames);
  TRaskladForm* ActiveChild() const;
  std::vector<TRaskladForm*> Children() const;
  QMdiArea* Client() const { return mdi_; }
  TMruList& Mru() { return mru_; }
  TRefMenuForm& RefMenuForm() { return *refMenuForm_; }
  THelpForm& HelpForm();
  // Shows the frame as it was left: in its last normal bounds, or maximised (also the
  // first time).
  void ShowPlaced();
  // Enables and checks every action from the active window's state.
  void UpdateActions();
  // Review mode (the program's "--shot"): the recent files and the windows' placements
  // are read but never written, so that the user's settings stay as they were.
  void SetReviewMode(bool Value) { reviewMode_ = Value; }
  bool ReviewMode() const { return reviewMode_; }
  void RebuildMruMenu();
  // "Окна": the window commands, then every open window (the active one checked).
  void RebuildWindowMenu();
  // The size of the frame's client area: inside its border, below its menu bar (the
  // reference editor takes it).
  QSize ClientAreaSize() const;

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void CreateActions();
  void CreateMenus();
  void CreateClient();
  void ConnectEvents();
  void RestorePlacement();
  // The settings key of a window's placement.
  std::string PlacementKey(const char* window) const;
  QAction* NewAction(const char* name, const char* caption, const QKeySequence& key, void (TMainForm::*run)());
  QAction* Action(const char* name) const;

  void FileNew1Execute();
  void FileOpen1Execute();
  void FileClose1Execute();
  void FileSave1Execute();
  void FileSaveAs1Execute();
  void PreviewReport(TrpCompositeReport& report);
  void FilePrintExecute();
  void FilePrintPreviewExecute();
  void FileExit1Execute();
  void EditCut1Execute();
  void EditCopy1Execute();
  void EditPaste1Execute();
  void Forward(void (TRaskladForm::*command)());
  void HelpContentsExecute();
  void HelpBasicsRationExecute();
  void HelpAbout1Execute();
  void HelpWebSiteExecute();
  void HelpMailAuthorExecute();
  void EditRaskladPropExecute();
  // The properties dialog over a window's document.
  void RaskladProp(TRaskladForm& child);
  void EditFindExecute();
  void EditFindNextExecute();
  void ToolsEditRefExecute();
  void ToolsOptionsExecute();
  // What new documents start with and how files are saved, from the settings.
  void SettingsToServices();
  bool AskSaveName(TRaskladForm* form, AnsiString& fileName);
  void MruClick(const AnsiString& caption);

  TdmGlobals& globals_;
  AnsiString helpFile_;
  std::unique_ptr<IFileDialogs> dialogs_;
  std::unique_ptr<TPlannerPrompt> prompt_;
  std::unique_ptr<TRefMenuForm> refMenuForm_;
  TFindDlgModel findModel_;  // the find dialog's state, kept for the whole run
  std::unique_ptr<TFindDlg> findDlg_;
  QPointer<THelpForm> helpForm_;  // made on first use
  TPlannerServices services_;
  TMruList mru_;
  AnsiString openDir_, saveDir_;
  QMdiArea* mdi_ = nullptr;
  QMenu* MruRoot = nullptr;
  QMenu* WindowMenu = nullptr;
  TWindowPlacement* placement_ = nullptr;
  bool showNormal_ = false;  // a normal placement was restored
  bool reviewMode_ = false;  // the settings are not written
};
