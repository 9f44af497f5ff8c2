#include "platform/gui/Application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QThreadPool>

#include "platform/core/SysUtils.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"

TApplication& Application() {
  static TApplication app;
  return app;
}

void TApplication::Initialize() {
  // Qt hands large fills and image conversions to its thread pool in pieces. For window-
  // sized drawing the hand-over between threads costs more than the pieces save (several
  // times more on a busy machine), so one worker does them.
  QThreadPool::globalInstance()->setMaxThreadCount(1);
  QApplication::setFont(ToQFont(TFont{}));
  SetSysColors(SysColorsFromPalette(QApplication::palette()));
}

AnsiString TApplication::ExceptionText(const std::exception& E) {
  AnsiString msg;
  if (const auto* ours = dynamic_cast<const Exception*>(&E)) msg = ours->Message();
  else msg = cp::Utf8To1251(E.what());
  if (!msg.empty() && static_cast<unsigned char>(msg.back()) > '.' && msg.back() != '!' && msg.back() != '?')
    msg += '.';
  return msg;
}

void TApplication::ShowException(const std::exception& E) {
  MessageBox(ExceptionText(E), Title, MB_OK | MB_ICONSTOP);
}

void TApplication::HandleException(TObject* Sender) {
  auto report = [&](const std::exception& e) {
    try {
      if (OnException) OnException(Sender, e);
      else ShowException(e);
    } catch (...) {
      // The handler itself failed: nothing more can be shown safely.
    }
  };
  try {
    throw;
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    report(e);
  } catch (...) {
    report(Exception(Ansi("Неизвестная ошибка")));
  }
}

void TApplication::ProcessMessages() { QCoreApplication::processEvents(); }
int TApplication::Run() { return QCoreApplication::exec(); }
void TApplication::Terminate() { QCoreApplication::quit(); }

void GuardedCall(TObject* sender, const std::function<void()>& fn) {
  try {
    fn();
  } catch (...) {
    Application().HandleException(sender);
  }
}

TQtApplication::TQtApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::InstallStandardDialogTexts() {
  // One translator for the run, owned by the application object.
  static QTranslator* translator = nullptr;
  if (translator != nullptr) return true;
  auto* t = new QTranslator(qApp);
  if (!t->load(QLocale(QLocale::Russian, QLocale::Russia), "qtbase", "_",
               QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete t;
    return false;
  }
  QCoreApplication::installTranslator(t);
  translator = t;
  return true;
}

bool TQtApplication::notify(QObject* receiver, QEvent* e) {
  try {
    return QApplication::notify(receiver, e);
  } catch (...) {
    Application().HandleException(nullptr);
    return false;
  }
}
