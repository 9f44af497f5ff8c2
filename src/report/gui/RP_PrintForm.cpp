#include "report/gui/RP_PrintForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/core/Files.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Prntr.h"
#include "report/RP_Utils.h"
#include "report/gui/RP_Toolbar.h"
#include "report/gui/RP_ToolbarGlyphs.h"

namespace {

QString Local(int id) { return ToQString(rpLocalString(id)); }

}  // namespace

TrpPrintForm::TrpPrintForm(int currentPage, const QString& pdfFile, QWidget* parent)
    : QDialog(parent), startPrinter_(rpPrinter().PrinterIndex), currentPage_(currentPage) {
  setWindowTitle(Local(53040));
  auto* layout = new QVBoxLayout(this);

  auto* printerBox = new QGroupBox(Local(53041));
  auto* pl = new QGridLayout(printerBox);
  lbPrinters = new QListWidget;
  for (int i = 0; i < rpPrinter().Printers.Count(); ++i) lbPrinters->addItem(ToQString(rpPrinter().Printers[i]));
  lbPrinters->setCurrentRow(rpPrinter().PrinterIndex);
  btnProperties = new QPushButton(Local(53042));
  edPdfFile = new QLineEdit(pdfFile);
  auto* browse = new TrpSpeedButton;
  browse->SetCaption("...");
  browse->setFixedSize(22, 22);
  pl->addWidget(new QLabel(Local(53049)), 0, 0);
  pl->addWidget(lbPrinters, 0, 1, 1, 2);
  pl->addWidget(btnProperties, 0, 3);
  pl->addWidget(new QLabel("PDF:"), 1, 0);
  pl->addWidget(edPdfFile, 1, 1, 1, 2);
  pl->addWidget(browse, 1, 3);
  layout->addWidget(printerBox);

  auto* row = new QHBoxLayout;
  auto* copiesBox = new QGroupBox(Local(53043));
  auto* cl = new QGridLayout(copiesBox);
  edCopies = new QLineEdit("1");
  btnCopiesUp = new TrpSpeedButton;
  btnCopiesUp->SetGlyph(rpArrowGlyph(true));
  btnCopiesDown = new TrpSpeedButton;
  btnCopiesDown->SetGlyph(rpArrowGlyph(false));
  for (TrpSpeedButton* b : {btnCopiesUp, btnCopiesDown}) b->setFixedSize(16, 11);
  cbCollate = new QCheckBox(Local(53051));
  cl->addWidget(new QLabel(Local(53050)), 0, 0);
  cl->addWidget(edCopies, 0, 1);
  cl->addWidget(btnCopiesUp, 0, 2);
  cl->addWidget(btnCopiesDown, 0, 3);
  cl->addWidget(cbCollate, 1, 0, 1, 4);
  row->addWidget(copiesBox);

  auto* pagesBox = new QGroupBox(Local(53044));
  auto* gl = new QGridLayout(pagesBox);
  rbAll = new QRadioButton(Local(53045));
  rbCurrent = new QRadioButton(Local(53046));
  rbNumbers = new QRadioButton(Local(53047));
  edNumbers = new QLineEdit;
  edNumbers->setToolTip(Local(53048));
  rbAll->setChecked(true);
  gl->addWidget(rbAll, 0, 0);
  gl->addWidget(rbCurrent, 1, 0);
  gl->addWidget(rbNumbers, 2, 0);
  gl->addWidget(edNumbers, 2, 1);
  row->addWidget(pagesBox);
  layout->addLayout(row);

  auto* printRow = new QHBoxLayout;
  cbPrint = new QComboBox;
  cbPrint->addItems({Local(53053), Local(53054), Local(53055)});
  printRow->addWidget(new QLabel(Local(53052)));
  printRow->addWidget(cbPrint, 1);
  layout->addLayout(printRow);

  auto* buttons = new QDialogButtonBox;
  btnOk = buttons->addButton(Local(55000), QDialogButtonBox::AcceptRole);
  buttons->addButton(Local(55001), QDialogButtonBox::RejectRole);
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(lbPrinters, &QListWidget::currentRowChanged, this, [this](int r) { PrinterChosen(r); });
  btnCopiesUp->OnClick = [this](TObject*) { edCopies->setText(QString::number(Copies() + 1)); };
  btnCopiesDown->OnClick = [this](TObject*) { edCopies->setText(QString::number(std::max(1, Copies() - 1))); };
  connect(edNumbers, &QLineEdit::textEdited, this, [this] { rbNumbers->setChecked(true); });
  connect(rbNumbers, &QRadioButton::clicked, this, [this] { edNumbers->setFocus(); });
  browse->OnClick = [this](TObject*) {
    const QString f = QFileDialog::getSaveFileName(this, QString(), edPdfFile->text(), "PDF (*.pdf)");
    if (!f.isEmpty()) edPdfFile->setText(f);
  };
  PrinterChosen(lbPrinters->currentRow());
}

void TrpPrintForm::PrinterChosen(int r) {
  if (r < 0) return;
  rpPrinter().SetPrinterIndex(r);
  const bool virtualPrinter = rpPrinter().IsVirtual();
  edPdfFile->setEnabled(virtualPrinter);
  btnProperties->setEnabled(!virtualPrinter);
}

void TrpPrintForm::done(int result) {
  if (result != QDialog::Accepted) rpPrinter().SetPrinterIndex(startPrinter_);
  QDialog::done(result);
}

AnsiString TrpPrintForm::PageNumbers() const {
  if (rbCurrent->isChecked()) return IntToStr(currentPage_);
  if (rbNumbers->isChecked()) return FromQString(edNumbers->text());
  return "";
}

int TrpPrintForm::Copies() const {
  bool ok = false;
  const int n = edCopies->text().trimmed().toInt(&ok);
  return ok && n >= 1 ? n : 1;
}

bool TrpPrintForm::Collate() const { return cbCollate->isChecked(); }
int TrpPrintForm::OddEven() const { return cbPrint->currentIndex() < 0 ? 0 : cbPrint->currentIndex(); }
AnsiString TrpPrintForm::PdfFile() const {
  return rpPrinter().IsVirtual() ? AnsiPath(edPdfFile->text().toStdString()) : AnsiString();
}

// ---------------------------------------------------------------------------------

TrpProgressForm::TrpProgressForm(QWidget* parent) : QDialog(parent) {
  auto* layout = new QVBoxLayout(this);
  Label1 = new QLabel;
  Label2 = new QLabel;
  btnCancel = new QPushButton(Local(55001));
  layout->addWidget(Label1);
  layout->addWidget(Label2);
  layout->addWidget(btnCancel, 0, Qt::AlignHCenter);
  setMinimumWidth(300);
  connect(btnCancel, &QPushButton::clicked, this, [this] {
    if (OnCancel) OnCancel();
    reject();
  });
}

bool TrpProgressForm::Run(const std::function<void()>& work) {
  btnCancel->setText(Local(55001));
  Label2->clear();
  QTimer::singleShot(0, this, [this, work] {
    work();
    if (isVisible()) accept();
  });
  return exec() == QDialog::Accepted;
}

void TrpProgressForm::SetLabel(const QString& text) { Label1->setText(text); }
void TrpProgressForm::SetLabel2(const QString& text) { Label2->setText(text); }
void TrpProgressForm::Finish(bool ok) { done(ok ? QDialog::Accepted : QDialog::Rejected); }

void rpProcessMessages() { QCoreApplication::processEvents(); }
