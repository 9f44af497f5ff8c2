#include "platform/gui/Clipbrd.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

std::string ClipboardTextFromAnsi(const AnsiString& text) {
  AnsiString lf;
  lf.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lf += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lf += text[i];
    }
  }
  return cp::Ansi1251ToUtf8(lf);
}

AnsiString ClipboardTextToAnsi(std::string_view utf8) {
  const AnsiString ansi = cp::Utf8To1251(utf8);
  AnsiString out;
  out.reserve(ansi.size() + ansi.size() / 16);
  for (std::size_t i = 0; i < ansi.size(); ++i) {
    if (ansi[i] == '\r') {
      out += "\r\n";
      if (i + 1 < ansi.size() && ansi[i + 1] == '\n') ++i;
    } else if (ansi[i] == '\n') {
      out += "\r\n";
    } else {
      out += ansi[i];
    }
  }
  return out;
}

AnsiString TClipboard::AsText() const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  if (!data || !data->hasText()) return {};
  return ClipboardTextToAnsi(data->text().toStdString());
}

void TClipboard::SetAsText(const AnsiString& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(ClipboardTextFromAnsi(text)));
}

bool TClipboard::HasText() const {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  return data && data->hasText();
}

void TClipboard::Clear() { QGuiApplication::clipboard()->clear(); }

TClipboard& Clipboard() {
  static TClipboard clipboard;
  return clipboard;
}
