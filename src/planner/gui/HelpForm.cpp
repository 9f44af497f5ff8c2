#include "planner/gui/HelpForm.h"

#include <QTextBrowser>
#include <QVBoxLayout>

#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"

THelpForm::THelpForm(QWidget* parent) : QWidget(parent, Qt::Window) {
  setObjectName("HelpForm");
  setWindowTitle(QString::fromUtf8("Справка"));
  resize(640, 560);
  auto* layout = new QVBoxLayout(this);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("HelpBrowser");
  browser_->setOpenLinks(false);
  layout->addWidget(browser_);
  connect(browser_, &QTextBrowser::anchorClicked, this, [this](const QUrl& url) {
    const int context = THelpPages::LinkContext(url.toString().toStdString());
    if (context >= 0) ShowContext(context);
  });
}

void THelpForm::Load(const AnsiString& fileName) { pages_.LoadFromFile(fileName); }

void THelpForm::ShowContext(int context) {
  context_ = context;
  if (pages_.Pages().empty())
    browser_->setHtml(QString::fromUtf8("<p>Файл справки не найден. Справка лежит в папке Help рядом с программой.</p>"));
  else
    browser_->setHtml(ToQString(pages_.Html(context)));
  ShowOverModal(this);  // usable also when asked for from a modal window
}
