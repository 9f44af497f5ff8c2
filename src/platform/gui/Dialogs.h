// Message dialogs with Russian buttons, and the folder dialog. Every dialog goes
// through the current
// TDialogService: on screen a QMessageBox or QFileDialog (TQtDialogService); in tests a
// TScriptedDialogs that records what was asked and answers from a script.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <vector>

#include "platform/core/SysUtils.h"

enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };

using TMsgDlgButtons = std::uint16_t;
enum : TMsgDlgButtons {
  mbYes = 0x1, mbNo = 0x2, mbOK = 0x4, mbCancel = 0x8, mbAbort = 0x10, mbRetry = 0x20, mbIgnore = 0x40,
  mbAll = 0x80, mbNoToAll = 0x100, mbYesToAll = 0x200, mbHelp = 0x400,
  mbYesNoCancel = mbYes | mbNo | mbCancel,
  mbYesAllNoAllCancel = mbYes | mbYesToAll | mbNo | mbNoToAll | mbCancel,
  mbOKCancel = mbOK | mbCancel,
  mbAbortRetryIgnore = mbAbort | mbRetry | mbIgnore,
};

// Modal results; the message box results IDOK..IDNO have the same values.
enum : int {
  mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7, mrAll = 8,
  mrNoToAll = 9, mrYesToAll = 10, mrHelp = 11,
  IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7,
};

// Message box styles.
enum : unsigned {
  MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5, MB_ICONERROR = 0x10, MB_ICONSTOP = 0x10, MB_ICONHAND = 0x10, MB_ICONQUESTION = 0x20,
  MB_ICONWARNING = 0x30, MB_ICONEXCLAMATION = 0x30, MB_ICONINFORMATION = 0x40, MB_ICONASTERISK = 0x40,
  MB_DEFBUTTON1 = 0x0, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200,
};

// One dialog as asked: texts in 1251, the buttons as their results in screen order.
struct TDialogRequest {
  TMsgDlgType Type = TMsgDlgType::mtInformation;
  AnsiString Caption;
  AnsiString Text;
  std::vector<int> Buttons;
  int DefaultButton = mrOk;  // Enter
  int EscapeButton = mrOk;   // Esc or closing the window
};

class TDialogService {
 public:
  virtual ~TDialogService() = default;
  // Shows the dialog; returns the result of the button chosen.
  virtual int Execute(const TDialogRequest& request) = 0;
  // The folder dialog: starts at dir (1251 path), sets dir to the folder chosen;
  // false when cancelled.
  virtual bool SelectDirectory(const AnsiString& caption, AnsiString& dir) = 0;
};

class TQtDialogService : public TDialogService {
 public:
  int Execute(const TDialogRequest& request) override;
  bool SelectDirectory(const AnsiString& caption, AnsiString& dir) override;
};

// For tests: answers come from Answer() in order. A dialog with no answer left (or
// whose scripted answer is not one of its buttons) counts in Unexpected and gets
// its Esc result.
// Folder dialogs take their answers from AnswerDirectory (nullopt: cancelled) and
// are recorded as (caption, start folder).
class TScriptedDialogs : public TDialogService {
 public:
  void Answer(int result) { answers_.push_back(result); }
  void AnswerDirectory(std::optional<AnsiString> dir) { directories_.push_back(std::move(dir)); }
  int Execute(const TDialogRequest& request) override;
  bool SelectDirectory(const AnsiString& caption, AnsiString& dir) override;
  const std::vector<TDialogRequest>& Shown() const { return shown_; }
  const std::vector<std::pair<AnsiString, AnsiString>>& DirectoryDialogs() const { return directoryDialogs_; }
  int Unexpected() const { return unexpected_; }
  std::size_t AnswersLeft() const { return answers_.size() + directories_.size(); }

 private:
  std::deque<int> answers_;
  std::deque<std::optional<AnsiString>> directories_;
  std::vector<TDialogRequest> shown_;
  std::vector<std::pair<AnsiString, AnsiString>> directoryDialogs_;
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
