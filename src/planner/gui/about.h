// The about box TAboutDlg ("Информация", help context 2280): the program's title with its
// shadow, version, legal notice and the maker's links on page "О программе", and what the
// program knows of the computer on page "О системе" (Linux: the distribution, the kernel,
// the memory, the Qt version and the screens). A thin window over aboutModel.h.
#pragma once

#include <QDialog>
#include <functional>

#include "planner/app/aboutModel.h"

class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QWidget;

inline constexpr int kAboutHelpContext = 2280;

class TAboutDlg : public QDialog {
 public:
  explicit TAboutDlg(QWidget* parent = nullptr);

  // Show: the labels from the version strings, centred, and the system rows.
  void Prepare(const AnsiString& ProgTitle, const AnsiString& ProgVersion, const AnsiString& ProgCopyright,
               const TSystemVersion& Version, const TMemoryStatus& Memory);
  // The dialog modally with the data module's version strings and the running system.
  int Execute(const AnsiString& ProgTitle, const AnsiString& ProgVersion, const AnsiString& ProgCopyright);

  void lblURLClick();
  void lblEMailClick();
  // The help window at a context (F1 in the box opens kAboutHelpContext).
  std::function<void(int Context)> OnHelp;

  QTabWidget* PageControl1;
  QWidget* Panel1;
  QWidget* Panel2;
  QLabel* lblProgTitle1;
  QLabel* lblProgTitle2;
  QLabel* Label1;
  QLabel* lblProgVer;
  QLabel* lblCopyright;
  QLabel* lblURL;
  QLabel* lblEMail;
  QTreeWidget* lvSysInfo;
  QPushButton* btnOk;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void Centre(QLabel* label, int top);

  AnsiString mailLink_;
};
