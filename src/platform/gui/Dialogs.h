// Message dialogs with Russian buttons, the file, folder, print and page-setup dialogs,
// the help stand-in window and the modal run of forms. Every dialog goes through the
// current TDialogService: on screen Qt's dialogs (TQtDialogService); in tests a
// TScriptedDialogs that records what was asked and answers from a script, counting the
// dialogs nobody expected.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/MsgDlg.h"
#include "platform/core/SysUtils.h"

// One dialog as asked: texts in 1251, the buttons as their results in screen order.
struct TDialogRequest {
  TMsgDlgType Type = TMsgDlgType::mtInformation;
  AnsiString Caption;
  AnsiString Text;
  std::vector<int> Buttons;
  int DefaultButton = mrOk;  // Enter
  int EscapeButton = mrOk;   // Esc or closing the window
};

class TForm;

// A file dialog as asked and answered. Filter is the class library's
// "description|patterns|description|patterns" list (patterns separated by ";");
// FilterIndex counts from 1. The service sets FileName (1251 path) and FilterIndex
// when the user accepts.
enum class TFileDialogKind { fdOpen, fdSave };
struct TFileDialogRequest {
  TFileDialogKind Kind = TFileDialogKind::fdOpen;
  AnsiString Title;
  AnsiString Filter;
  int FilterIndex = 1;
  AnsiString InitialDir;
  AnsiString FileName;
  AnsiString DefaultExt;  // without the dot
  bool FileMustExist = false;
  bool OverwritePrompt = false;
};

// The page set-up and print dialogs work on these plain values; the report printer maps
// them onto its device.
enum class TPrinterOrientation { poPortrait, poLandscape };
struct TPageSetupRequest {
  int PaperWidth = 2100;   // tenths of a millimetre
  int PaperHeight = 2970;
  TPrinterOrientation Orientation = TPrinterOrientation::poPortrait;
  int MarginLeft = 0, MarginTop = 0, MarginRight = 0, MarginBottom = 0;  // hundredths of a millimetre
};
struct TPrintRequest {
  AnsiString PrinterName;
  int Copies = 1;
  bool Collate = true;
  int MinPage = 1, MaxPage = 1;
  int FromPage = 0, ToPage = 0;  // 0, 0: every page
  AnsiString OutputFile;         // the PDF written when no real printer is chosen
};

// The folder browser as asked: it reports to the caller while it runs.
struct TFolderBrowseRequest {
  AnsiString Title;         // the dialog's text, shown above the folders
  AnsiString StartFolder;   // selected at the start when it is an existing directory
  bool DesktopRoot = true;  // places start at the desktop and home; else the file system's root only
  bool CenterOnScreen = true;
  bool HelpButton = false;
  std::function<void()> OnInitialized;                         // once the dialog exists
  std::function<bool(const AnsiString& folder)> OnSelChanged;  // each selection; true: OK enabled
  std::function<void()> OnHelp;                                // the help button
  AnsiString Folder;                                           // the folder chosen
};

// A folder dialog in which a folder may also be typed. OnChoose is asked about the folder
// (1251 path, which may not exist yet) before the dialog closes: false keeps the dialog
// open (it has said why). With AllowNew the OK button stays enabled for a typed folder
// that does not exist.
struct TDirectoryRequest {
  AnsiString Caption;
  AnsiString Folder;  // where it starts; the folder chosen
  bool AllowNew = false;
  std::function<bool(const AnsiString& folder)> OnChoose;
};

class TDialogService {
 public:
  virtual ~TDialogService() = default;
  // Shows the dialog; returns the result of the button chosen.
  virtual int Execute(const TDialogRequest& request) = 0;
  // The folder dialog: starts at dir (1251 path), sets dir to the folder chosen;
  // false when cancelled.
  virtual bool SelectDirectory(const AnsiString& caption, AnsiString& dir) = 0;
  // The folder dialog of a request; false when cancelled. By default SelectDirectory,
  // whose answer OnChoose must accept (else it counts as cancelled).
  virtual bool SelectDirectoryEx(TDirectoryRequest& request);
  // The folder browser; false when cancelled. By default a folder dialog whose answer
  // counts as the one selection change (and is refused when OK would be disabled).
  virtual bool BrowseFolder(TFolderBrowseRequest& request);
  // Open and save dialogs; false when cancelled.
  virtual bool ExecuteFileDialog(TFileDialogRequest& request) = 0;
  virtual bool ExecutePageSetup(TPageSetupRequest& request) = 0;
  virtual bool ExecutePrint(TPrintRequest& request) = 0;
  // Runs a form modally until its ModalResult is set and CloseModal lets it close;
  // returns the ModalResult. The form is already shown when this is called.
  virtual TModalResult RunModal(TForm& form) = 0;
  // The help stand-in window with a topic's title and text.
  virtual void ShowHelp(int context, const AnsiString& title, const AnsiString& text) = 0;
};

class TQtDialogService : public TDialogService {
 public:
  int Execute(const TDialogRequest& request) override;
  bool SelectDirectory(const AnsiString& caption, AnsiString& dir) override;
  bool SelectDirectoryEx(TDirectoryRequest& request) override;
  bool BrowseFolder(TFolderBrowseRequest& request) override;
  bool ExecuteFileDialog(TFileDialogRequest& request) override;
  bool ExecutePageSetup(TPageSetupRequest& request) override;
  bool ExecutePrint(TPrintRequest& request) override;
  TModalResult RunModal(TForm& form) override;
  void ShowHelp(int context, const AnsiString& title, const AnsiString& text) override;
};

class QFileDialog;
// The on-screen folder browser of TQtDialogService::BrowseFolder: a directory dialog set
// up from the request (places, help button, centring) and wired to its events.
// OnInitialized fires from Execute once the dialog is shown.
void SetUpFolderBrowser(QFileDialog& dialog, TFolderBrowseRequest& request);

// For tests: answers come from Answer() in order. A dialog with no answer left (or
// whose scripted answer is not one of its buttons) counts in Unexpected and gets
// its Esc result.
// Folder dialogs take their answers from AnswerDirectory (nullopt: cancelled) and
// are recorded as (caption, start folder).
//
// File dialogs answer from AnswerFile (nullopt: cancelled; a filter index of 0 keeps the
// request's). Page set-up and print dialogs answer from AnswerPageSetup / AnswerPrint
// (a function that edits the request and returns whether it was accepted).
//
// A modal form runs the script given to AnswerForm for the form's object name: the
// script acts on the form as a user would (clicks buttons, fills edits) and the form
// then closes as its ModalResult says (CloseModal runs after the script; a script may
// call CloseModal itself to check a refused close). A form with no script, or one still
// open after its script, counts in Unexpected and returns mrCancel.
//
// Help calls are recorded (never unexpected).
class TScriptedDialogs : public TDialogService {
 public:
  using TFormScript = std::function<void(TForm& form)>;
  using TPageSetupScript = std::function<bool(TPageSetupRequest& request)>;
  using TPrintScript = std::function<bool(TPrintRequest& request)>;

  void Answer(int result) { answers_.push_back(result); }
  void AnswerDirectory(std::optional<AnsiString> dir) { directories_.push_back(std::move(dir)); }
  void AnswerFile(std::optional<AnsiString> fileName, int filterIndex = 0) {
    files_.push_back({std::move(fileName), filterIndex});
  }
  void AnswerForm(const AnsiString& formName, TFormScript script) {
    forms_.push_back({formName, std::move(script)});
  }
  void AnswerPageSetup(TPageSetupScript script) { pageSetups_.push_back(std::move(script)); }
  void AnswerPrint(TPrintScript script) { prints_.push_back(std::move(script)); }

  int Execute(const TDialogRequest& request) override;
  bool SelectDirectory(const AnsiString& caption, AnsiString& dir) override;
  bool ExecuteFileDialog(TFileDialogRequest& request) override;
  bool ExecutePageSetup(TPageSetupRequest& request) override;
  bool ExecutePrint(TPrintRequest& request) override;
  TModalResult RunModal(TForm& form) override;
  void ShowHelp(int context, const AnsiString& title, const AnsiString& text) override;

  const std::vector<TDialogRequest>& Shown() const { return shown_; }
  const std::vector<std::pair<AnsiString, AnsiString>>& DirectoryDialogs() const { return directoryDialogs_; }
  const std::vector<TFileDialogRequest>& FileDialogs() const { return fileDialogs_; }
  // The object names of the forms run modally, in order.
  const std::vector<AnsiString>& ModalForms() const { return modalForms_; }
  const std::vector<int>& HelpContexts() const { return helpContexts_; }
  int Unexpected() const { return unexpected_; }
  std::size_t AnswersLeft() const {
    return answers_.size() + directories_.size() + files_.size() + forms_.size() + pageSetups_.size() +
           prints_.size();
  }

 private:
  struct FileAnswer {
    std::optional<AnsiString> name;
    int filterIndex;
  };
  // Takes the next answer of a queue; none, counted as unexpected, once the script has run out.
  template <class T>
  std::optional<T> Next(std::deque<T>& queue) {
    if (queue.empty()) {
      ++unexpected_;
      return std::nullopt;
    }
    std::optional<T> next(std::move(queue.front()));
    queue.pop_front();
    return next;
  }
  std::deque<int> answers_;
  std::deque<std::optional<AnsiString>> directories_;
  std::deque<FileAnswer> files_;
  std::deque<std::pair<AnsiString, TFormScript>> forms_;
  std::deque<TPageSetupScript> pageSetups_;
  std::deque<TPrintScript> prints_;
  std::vector<TDialogRequest> shown_;
  std::vector<std::pair<AnsiString, AnsiString>> directoryDialogs_;
  std::vector<TFileDialogRequest> fileDialogs_;
  std::vector<AnsiString> modalForms_;
  std::vector<int> helpContexts_;
  int unexpected_ = 0;
};

TDialogService& Dialogs();
// Installs a service; returns the previous one (nil when it was the built-in one).
std::unique_ptr<TDialogService> SetDialogService(std::unique_ptr<TDialogService> service);

// Installs a TScriptedDialogs for the lifetime of the object.
class TScriptedDialogsScope {
 public:
  TScriptedDialogsScope();
  ~TScriptedDialogsScope();
  TScriptedDialogsScope(const TScriptedDialogsScope&) = delete;
  TScriptedDialogsScope& operator=(const TScriptedDialogsScope&) = delete;
  TScriptedDialogs& operator*() { return *dialogs_; }
  TScriptedDialogs* operator->() { return dialogs_; }

 private:
  TScriptedDialogs* dialogs_;
  std::unique_ptr<TDialogService> previous_;
};

// Russian texts (1251): button captions by result ("Да", "Нет", "ОК", "Отмена"...)
// and dialog captions by type ("Предупреждение", "Ошибка", "Информация",
// "Подтверждение"; the application title for mtCustom).
AnsiString ButtonCaption(int result);
AnsiString DialogCaption(TMsgDlgType type);

// The class library's MessageDlg: the buttons in their fixed order (Yes, No, OK,
// Cancel, Abort, Retry, Ignore, All, No to all, Yes to all, Help); Enter is OK or Yes
// (else the first button), Esc Cancel, No or OK (else the last button).
int MessageDlg(const AnsiString& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx = 0);
void ShowMessage(const AnsiString& msg);
// The system's message box: MB_ button set, icon and default button; returns IDOK...
int MessageBox(const AnsiString& text, const AnsiString& caption, unsigned flags);
// The folder dialog of the current service.
bool SelectDirectory(const AnsiString& caption, AnsiString& dir);
// True for an existing directory; otherwise says in a message box that the folder was not
// found (the check of a folder dialog without new folders).
bool ExistingDirectoryOrSay(const AnsiString& folder);

// Qt's name filters for a class-library filter list: "Файлы раскладок (*.tw)|*.tw|Все
// файлы (*.*)|*.*" gives "Файлы раскладок (*.tw)" and "Все файлы (*)" (a description
// without its patterns in parentheses gets them appended; "*.*" is every file).
std::vector<AnsiString> FileDialogNameFilters(const AnsiString& filter);
// The name a save dialog returns: the default extension added when the name has none.
AnsiString WithDefaultExt(const AnsiString& fileName, const AnsiString& defaultExt);

// The class library's open and save dialog components.
class TOpenDialog : public TObject {
 public:
  explicit TOpenDialog(TFileDialogKind kind = TFileDialogKind::fdOpen) : kind_(kind) {}
  AnsiString Title, Filter, InitialDir, FileName, DefaultExt;
  int FilterIndex = 1;
  bool FileMustExist = false;    // ofFileMustExist / ofPathMustExist
  bool OverwritePrompt = false;  // ofOverwritePrompt
  // Shows the dialog; on OK FileName (with DefaultExt added when it has no extension)
  // and FilterIndex take the answer.
  bool Execute();

 private:
  TFileDialogKind kind_;
};

class TSaveDialog : public TOpenDialog {
 public:
  TSaveDialog() : TOpenDialog(TFileDialogKind::fdSave) {}
};
