#include "planner/gui/DesktopShell.h"

#include <QDesktopServices>

#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"

namespace {

// "scheme:" of two or more letters (a drive letter "C:" is no scheme).
bool HasScheme(const AnsiString& name) {
  const std::size_t colon = name.find(':');
  if (colon == AnsiString::npos || colon < 2) return false;
  for (std::size_t i = 0; i < colon; ++i) {
    const char c = name[i];
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (i > 0 && ((c >= '0' && c <= '9') || c == '+' ||
                                                                                    c == '-' || c == '.'));
    if (!ok) return false;
  }
  return true;
}

}  // namespace

TDesktopShell::TDesktopShell(TOpener opener)
    : opener_(opener ? std::move(opener) : TOpener([](const QUrl& url) { return QDesktopServices::openUrl(url); })) {}

QUrl TDesktopShell::UrlOf(const AnsiString& Name) {
  if (HasScheme(Name)) return QUrl(QString::fromStdString(cp::Ansi1251ToUtf8(Name)), QUrl::StrictMode);
  return QUrl::fromLocalFile(QString::fromStdString(SysPath(Name)));
}

int TDesktopShell::Open(const AnsiString& Name) {
  const QUrl url = UrlOf(Name);
  if (!url.isValid() || url.isEmpty()) return 2;
  if (url.isLocalFile() && !FileExists(Name) && !DirectoryExists(Name)) return 2;
  return opener_(url) ? 0 : 31;
}

void TDesktopShell::ShowError(const AnsiString& Text) { MessageDlg(Text, TMsgDlgType::mtError, mbOK); }
