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

#include "../report/FakePrinters.h"
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

// Each printer of the list is drawn as its picture (18 x 16, its fuchsia transparent)
// with the name 24 pixels in; the copies group shows the sheets as they come out,
// collated or not, on the button face, following the check box.
TEST(PrintForm, PrinterPicturesAndTheCopiesPicture) {
  FakePrinters printers({"Лазерный"});
  TrpPrintForm form(1, "/tmp/x.pdf");
  form.show();
  QCoreApplication::processEvents();
  const QString shots = QString::fromStdString(::testing::TempDir());
  form.grab().save(shots + "print_form_uncollated.png");
  ASSERT_EQ(form.lbPrinters->count(), 2);
  const QImage list = form.lbPrinters->viewport()->grab().toImage();
  const QColor base = form.lbPrinters->palette().color(QPalette::Base);
  const QRect row = form.lbPrinters->visualItemRect(form.lbPrinters->item(1));  // not selected
  ASSERT_GE(row.height(), 16);
  const int top = row.top() + (row.height() - 16) / 2;
  // The picture at 2 from the left: its body, and its transparent corner showing the list.
  EXPECT_EQ(list.pixelColor(row.left() + 2 + 3, top + 8), QColor(160, 160, 168));
  EXPECT_EQ(list.pixelColor(row.left() + 2, top), base);
  for (int y = row.top(); y <= row.bottom(); ++y)
    for (int x = row.left(); x < row.left() + 24; ++x)
      EXPECT_NE(list.pixelColor(x, y), QColor(255, 0, 255)) << x << "," << y;
  // The name: no ink between the picture and 24, ink right of it.
  int inkBefore = 0, inkAfter = 0;
  for (int y = row.top(); y <= row.bottom(); ++y) {
    for (int x = row.left() + 20; x < row.left() + 24; ++x) inkBefore += list.pixelColor(x, y) != base;
    for (int x = row.left() + 24; x < row.left() + 60; ++x) inkAfter += qGray(list.pixel(x, y)) < 128;
  }
  EXPECT_EQ(inkBefore, 0);
  EXPECT_GT(inkAfter, 10);

  const QColor face = form.palette().color(QPalette::Button);
  struct Case {
    bool collated;
    QSize size;
  };
  for (const Case c : {Case{false, QSize(92, 40)}, Case{true, QSize(74, 53)}, Case{false, QSize(92, 40)}}) {
    if (form.cbCollate->isChecked() != c.collated) form.cbCollate->click();
    const QImage picture = form.imgCollate->pixmap().toImage();
    EXPECT_EQ(picture.size(), c.size) << c.collated;
    EXPECT_EQ(picture.pixelColor(picture.width() - 1, picture.height() - 1), face);  // beside the last stack
    EXPECT_EQ(picture.pixelColor(2, picture.height() - 3), Qt::white);                 // the front sheet
    if (c.collated) form.grab().save(shots + "print_form_collated.png");
  }
  form.reject();
}

// The properties button shows only where the printer has a dialog of its own to show,
// and shows that dialog.
TEST(PrintForm, PropertiesOnlyWhereThePrinterHasThem) {
  FakePrinters printers({"Лазерный"});
  {
    TrpPrintForm form(1, "/tmp/x.pdf");
    EXPECT_FALSE(form.btnProperties->isVisibleTo(&form));
    form.reject();
  }
  printers.PropertiesDialog = true;
  TrpPrintForm form(1, "/tmp/x.pdf");
  EXPECT_TRUE(form.btnProperties->isVisibleTo(&form));
  form.btnProperties->click();
  EXPECT_EQ(printers.PropertiesShown, 1);
  form.lbPrinters->setCurrentRow(1);  // the virtual printer has none
  EXPECT_FALSE(form.btnProperties->isVisibleTo(&form));
  form.btnProperties->click();
  EXPECT_EQ(printers.PropertiesShown, 1);
  form.reject();
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
