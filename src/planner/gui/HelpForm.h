// The help window: the program's own help pages (THelpPages) in a browser that follows
// their links. One window for the whole program; ShowContext brings it up at a page.
#pragma once

#include <QWidget>

#include "planner/app/HelpPages.h"

class QTextBrowser;

class THelpForm : public QWidget {
 public:
  explicit THelpForm(QWidget* parent = nullptr);
  // Reads the pages from the file; without it every page says that the help is missing.
  void Load(const AnsiString& fileName);
  void ShowContext(int context);
  int Context() const { return context_; }
  QTextBrowser* Browser() const { return browser_; }

 private:
  THelpPages pages_;
  QTextBrowser* browser_;
  int context_ = kHelpContents;
};
