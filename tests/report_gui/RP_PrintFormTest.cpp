#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QToolButton>

#include "platform/core/AnsiText.h"
#include "report/RP_Prntr.h"
#include "report/gui/RP_PrintForm.h"

namespace {

void Type(QWidget* w, const QString& text) {
  for (const QChar c : text) {
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
    QCoreApplication::sendEvent(w, &press);
  }
}

}  // namespace

TEST(PrintForm, CopiesPagesAndPrinterChoice) {
  TrpPrintForm form(4, "/tmp/x.pdf");
  EXPECT_EQ(form.windowTitle(), QString::fromUtf8("Печать"));
  EXPECT_EQ(form.lbPrinters->count(), rpPrinter().Printers.Count());
  EXPECT_EQ(form.lbPrinters->item(form.lbPrinters->count() - 1)->text(), QString::fromUtf8("Виртуальный принтер"));
  form.btnCopiesDown->Click();
  EXPECT_EQ(form.Copies(), 1);  // never below 1
  form.btnCopiesUp->Click();
  form.btnCopiesUp->Click();
  EXPECT_EQ(form.Copies(), 3);
  form.edCopies->setText("abc");
  EXPECT_EQ(form.Copies(), 1);
  EXPECT_EQ(form.PageNumbers(), "");
  form.rbCurrent->setChecked(true);
  EXPECT_EQ(form.PageNumbers(), "4");
  Type(form.edNumbers, "1,3-5");
  EXPECT_TRUE(form.rbNumbers->isChecked());
  EXPECT_EQ(form.PageNumbers(), "1,3-5");
  form.cbPrint->setCurrentIndex(2);
  EXPECT_EQ(form.OddEven(), 2);
  if (rpPrinter().IsVirtual()) {
    EXPECT_TRUE(form.edPdfFile->isEnabled());
    EXPECT_EQ(form.PdfFile(), "/tmp/x.pdf");
  }
  form.reject();
  EXPECT_EQ(form.result(), QDialog::Rejected);
}

TEST(ProgressForm, RunsTheWorkInItsLoopAndCancels) {
  TrpProgressForm form;
  QString seen;
  EXPECT_TRUE(form.Run([&] {
    form.SetLabel(QString::fromUtf8("Формируется страница:  1"));
    seen = form.Label1->text();
  }));
  EXPECT_EQ(seen, QString::fromUtf8("Формируется страница:  1"));
  EXPECT_EQ(form.btnCancel->text(), QString::fromUtf8("Отмена"));

  bool terminated = false;
  form.OnCancel = [&] { terminated = true; };
  int pages = 0;
  EXPECT_FALSE(form.Run([&] {
    while (!terminated && pages < 1000) {
      ++pages;
      if (pages == 3) form.btnCancel->click();
      rpProcessMessages();
    }
  }));
  EXPECT_TRUE(terminated);
  EXPECT_EQ(pages, 3);
}
