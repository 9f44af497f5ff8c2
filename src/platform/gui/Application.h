// The application object: title, the hint switch, and the handler that shows an
// exception no one caught in a message box (an EAbort silently). No exception may
// unwind through Qt's frames: the controls, timers, scroll bars and the drag manager
// catch what their handlers raise and pass it here (GuardedCall does the same for
// other callbacks); TQtApplication::notify is the last guard for anything else.
#pragma once

#include <QApplication>
#include <exception>
#include <functional>

#include "platform/core/Classes.h"

class TForm;

class TApplication : public TObject {
 public:
  AnsiString Title;
  // The program's main window: closing it ends the program (Terminate).
  TForm* MainForm = nullptr;
  // The form-wide hint switch: no control shows a hint while it is off.
  bool ShowHint = true;
  // Replaces the message box for unhandled exceptions (never called for EAbort).
  std::function<void(TObject* Sender, const std::exception& E)> OnException;

  // Sets up the look: the interface font (Liberation Sans, height -11) and the system
  // colours from the toolkit's palette. Needs the QApplication.
  void Initialize();
  // To be called inside a catch block: EAbort is silent; anything else goes to
  // OnException or ShowException.
  void HandleException(TObject* Sender);
  // The message box of an exception: its message (a full stop added unless the last
  // character is one of ". ! ?" or below), the title as caption, an error icon, "ОК".
  void ShowException(const std::exception& E);
  // The text ShowException shows.
  static AnsiString ExceptionText(const std::exception& E);
  // Loads the toolkit's own Russian texts (the standard file, folder and font dialogs,
  // their labels and buttons) from the translations the system installs; false when they
  // are not installed (the dialogs then speak English). Needs the QApplication.
  static bool InstallStandardDialogTexts();
  // Runs the pending events.
  void ProcessMessages();
  int Run();
  void Terminate();
};

TApplication& Application();

// Runs fn; an exception it raises goes to Application().HandleException.
void GuardedCall(TObject* sender, const std::function<void()>& fn);

class TQtApplication : public QApplication {
 public:
  TQtApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* e) override;
};
