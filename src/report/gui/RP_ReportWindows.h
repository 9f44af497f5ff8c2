// The windows the report component opens by itself: the progress window under which it
// builds, prints and exports (with Cancel), the preview window of ShowPreparedReport (an
// MDI child of the program's frame when the report asks for one), and its message boxes.
#pragma once

#include <QElapsedTimer>
#include <memory>

#include "report/RP_Class.h"

class TrpProgressForm;

// The progress window as the engine sees it. It shows only once the work has run for
// ShowAfterMs, so short work does not flash a window; from then on every message pump
// lets window messages through, and Cancel is noticed there.
class TrpProgressWindow : public TrpProgress {
 public:
  // objectName names the form (tests find it by that).
  TrpProgressWindow(const AnsiString& caption, const AnsiString& label, const char* objectName, int showAfterMs);
  ~TrpProgressWindow() override;
  TrpProgressWindow(const TrpProgressWindow&) = delete;
  TrpProgressWindow& operator=(const TrpProgressWindow&) = delete;

  void SetLabel(const AnsiString& text) override;
  void SetLabel2(const AnsiString& text) override;
  bool ProcessMessages() override;
  void SetHidden(bool hidden) override;
  // The time to showing counts from now.
  void Restart() { clock_.start(); }
  bool Cancelled() const { return cancelled_; }
  TrpProgressForm& Form() { return *form_; }

  // How long a build or print runs before its window shows (milliseconds).
  static int ShowAfterMs;

 private:
  std::unique_ptr<TrpProgressForm> form_;
  QElapsedTimer clock_;
  int showAfterMs_;
  bool cancelled_ = false;
  bool hidden_ = false;
};

// The input box of the report's INPUT function: the prompt above an edit holding the
// value, OK and Cancel; false when cancelled (the value stays).
bool rpInputBox(const AnsiString& caption, const AnsiString& prompt, AnsiString& value);

// Installs the progress window, the preview window, the message boxes and the input box
// as the report component's (rpSetProgressRunner, rpSetPreviewShower, the MessageBox and
// InputQuery services).
void rpInstallReportWindows();
