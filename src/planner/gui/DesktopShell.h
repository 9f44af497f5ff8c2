// TDesktopShell, the windowed program's shell: documents, web addresses and "mailto:"
// links open through the desktop's handlers (QDesktopServices), and a failure is shown
// in a message box. Names with a scheme ("https:", "mailto:") are addresses, everything
// else a file (1251, "/" or "\" separators). Tests give it an opener of their own so no
// browser or mail program starts.
#pragma once

#include <QUrl>
#include <functional>

#include "planner/app/Globals.h"

class TDesktopShell : public IShell {
 public:
  using TOpener = std::function<bool(const QUrl& url)>;
  // Without an opener QDesktopServices::openUrl opens the address.
  explicit TDesktopShell(TOpener opener = nullptr);

  // The address a name stands for: a URL of its own or a file URL.
  static QUrl UrlOf(const AnsiString& Name);

  int Open(const AnsiString& Name) override;
  bool OpenWith(const AnsiString&) override { return false; }  // the desktop offers its own choice
  void ShowError(const AnsiString& Text) override;

 private:
  TOpener opener_;
};
