// The two small windows of the report printer: the print dialog (printer, copies,
// collation, pages, odd or even pages; for the virtual printer the PDF file it writes)
// and the progress window under which the engine builds, prints and exports.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <functional>

#include "platform/core/SysUtils.h"
#include "report/gui/RP_Toolbar.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

// The print dialog's printer list draws each printer as its own picture (an 18 x 16
// printer image, fuchsia transparent) with the name 24 pixels from the row's left.
class TrpPrinterListDelegate : public QStyledItemDelegate {
 public:
  explicit TrpPrinterListDelegate(QObject* parent = nullptr);
  void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  QPixmap image_;
};

class TrpPrintForm : public QDialog {
 public:
  // `currentPage` (1-based) is what "current page" prints; `pdfFile` the proposed file
  // of the virtual printer. Closing with OK over an existing PDF file asks first whether
  // to replace it (through the dialog service); "no" keeps the dialog open.
  TrpPrintForm(int currentPage, const QString& pdfFile, QWidget* parent = nullptr);

  // The request: page list text ("" for all, "1,3,5-12" form), copies (at least 1),
  // collation, 0 all / 1 odd / 2 even pages, the PDF file (virtual printer only; a name
  // of the program, see SysPath).
  AnsiString PageNumbers() const;
  int Copies() const;
  bool Collate() const;
  int OddEven() const;
  AnsiString PdfFile() const;

  QListWidget* lbPrinters;
  QPushButton* btnProperties;
  QLineEdit* edCopies;
  TrpSpeedButton* btnCopiesUp;
  TrpSpeedButton* btnCopiesDown;
  QCheckBox* cbCollate;
  // The picture of the copies as they come out, collated or not (follows cbCollate).
  QLabel* imgCollate;
  QRadioButton* rbAll;
  QRadioButton* rbCurrent;
  QRadioButton* rbNumbers;
  QLineEdit* edNumbers;
  QComboBox* cbPrint;
  QLineEdit* edPdfFile;
  TrpSpeedButton* btnBrowse;  // a save dialog for the PDF file
  QPushButton* btnOk;

 protected:
  void done(int result) override;

 private:
  void PrinterChosen(int row);
  void ShowCollation();
  // Whether the PDF file may be written: a new file, or one the user agreed to replace.
  bool PdfFileMayBeWritten();
  int startPrinter_;
  int currentPage_;
  QString confirmedPdf_;  // the file the browse dialog agreed to replace
};

class TrpProgressForm : public QDialog {
 public:
  explicit TrpProgressForm(QWidget* parent = nullptr);
  // Shows the window modally and calls `work` from its loop; the work updates the
  // labels and ends with Finish (a work that returns without it ends with OK). True
  // when the window ended with OK; Cancel calls OnCancel (the report's stop mark).
  bool Run(const std::function<void()>& work);
  void SetLabel(const QString& text);
  void SetLabel2(const QString& text);
  void Finish(bool ok);
  std::function<void()> OnCancel;

  QLabel* Label1;
  QLabel* Label2;
  QPushButton* btnCancel;
};

// Lets pending window messages through (where Cancel is noticed).
void rpProcessMessages();
