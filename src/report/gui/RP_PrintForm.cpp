#include "report/gui/RP_PrintForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QBitmap>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>
#include <sys/stat.h>

#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Prntr.h"
#include "report/RP_Utils.h"
#include "report/gui/RP_Toolbar.h"
#include "report/gui/RP_ToolbarGlyphs.h"

namespace {

QString Local(int id) { return ToQString(rpLocalString(id)); }

}  // namespace

TrpPrinterListDelegate::TrpPrinterListDelegate(QObject* parent) : QStyledItemDelegate(parent) {
  const QImage img = rpPrinterListImage();
  image_ = QPixmap::fromImage(img);
  image_.setMask(QBitmap::fromImage(img.createMaskFromColor(rpTransparentColor.rgb(), Qt::MaskInColor)));
}

void TrpPrinterListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
  const bool selected = option.state & QStyle::State_Selected;
  const QRect r = option.rect;
  painter->save();
  painter->fillRect(r, selected ? option.palette.highlight() : option.palette.base());
  painter->drawPixmap(r.left() + 2, r.top() + (r.height() - image_.height()) / 2, image_);
  painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
  painter->setFont(option.font);
  painter->drawText(r.adjusted(24, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
  painter->restore();
}

QSize TrpPrinterListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
  const int text = option.fontMetrics.horizontalAdvance(index.data().toString());
  return QSize(24 + text + 4, std::max(image_.height() + 2, option.fontMetrics.height() + 2));
}

TrpPrintForm::TrpPrintForm(int currentPage, const QString& pdfFile, QWidget* parent)
    : QDialog(parent), startPrinter_(rpPrinter().PrinterIndex), currentPage_(currentPage) {
  setWindowTitle(Local(53040));
  auto* layout = new QVBoxLayout(this);

  auto* printerBox = new QGroupBox(Local(53041));
  auto* pl = new QGridLayout(printerBox);
  lbPrinters = new QListWidget;
  lbPrinters->setItemDelegate(new TrpPrinterListDelegate(lbPrinters));
  for (int i = 0; i < rpPrinter().Printers.Count(); ++i) lbPrinters->addItem(ToQString(rpPrinter().Printers[i]));
  lbPrinters->setCurrentRow(rpPrinter().PrinterIndex);
  btnProperties = new QPushButton(Local(53042));
  edPdfFile = new QLineEdit(pdfFile);
  btnBrowse = new TrpSpeedButton;
  btnBrowse->SetCaption("...");
  btnBrowse->setFixedSize(22, 22);
  pl->addWidget(new QLabel(Local(53049)), 0, 0);
  pl->addWidget(lbPrinters, 0, 1, 1, 2);
  pl->addWidget(btnProperties, 0, 3);
  pl->addWidget(new QLabel("PDF:"), 1, 0);
  pl->addWidget(edPdfFile, 1, 1, 1, 2);
  pl->addWidget(btnBrowse, 1, 3);
  layout->addWidget(printerBox);

  auto* row = new QHBoxLayout;
  auto* copiesBox = new QGroupBox(Local(53043));
  auto* cl = new QGridLayout(copiesBox);
  edCopies = new QLineEdit("1");
  edCopies->setMaximumWidth(60);
  btnCopiesUp = new TrpSpeedButton;
  btnCopiesUp->SetGlyph(rpArrowGlyph(true));
  btnCopiesDown = new TrpSpeedButton;
  btnCopiesDown->SetGlyph(rpArrowGlyph(false));
  for (TrpSpeedButton* b : {btnCopiesUp, btnCopiesDown}) b->setFixedSize(16, 11);
  cbCollate = new QCheckBox(Local(53051));
  imgCollate = new QLabel;
  imgCollate->setFixedSize(92, 53);
  imgCollate->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
  auto* upDown = new QVBoxLayout;  // the up and down buttons one above the other, beside the edit
  upDown->setSpacing(0);
  upDown->addWidget(btnCopiesUp);
  upDown->addWidget(btnCopiesDown);
  auto* copiesRow = new QHBoxLayout;
  copiesRow->setSpacing(0);
  copiesRow->addWidget(edCopies);
  copiesRow->addLayout(upDown);
  cl->addWidget(new QLabel(Local(53050)), 0, 0);
  cl->addLayout(copiesRow, 0, 1);
  cl->addWidget(imgCollate, 1, 0);
  cl->addWidget(cbCollate, 1, 1, Qt::AlignBottom);
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
  btnBrowse->OnClick = [this](TObject*) {
    TSaveDialog d;
    const AnsiString now = AnsiPath(edPdfFile->text().toStdString());
    d.InitialDir = ExtractFilePath(now);
    d.FileName = ExtractFileName(now);
    d.Filter = "PDF (*.pdf)|*.pdf";
    d.DefaultExt = "pdf";
    d.OverwritePrompt = true;  // the user agrees there to replacing a file chosen
    if (!d.Execute()) return;
    edPdfFile->setText(QString::fromStdString(SysPath(d.FileName)));
    confirmedPdf_ = edPdfFile->text();
  };
  connect(cbCollate, &QCheckBox::toggled, this, [this] { ShowCollation(); });
  connect(btnProperties, &QPushButton::clicked, this, [] { rpPrinter().ShowPropertiesDialog(); });
  ShowCollation();
  PrinterChosen(lbPrinters->currentRow());
}

void TrpPrintForm::ShowCollation() {
  imgCollate->setPixmap(QPixmap::fromImage(rpCollateImage(cbCollate->isChecked(), palette().color(QPalette::Button))));
}

void TrpPrintForm::PrinterChosen(int r) {
  if (r < 0) return;
  rpPrinter().SetPrinterIndex(r);
  const bool virtualPrinter = rpPrinter().IsVirtual();
  edPdfFile->setEnabled(virtualPrinter);
  // Shown where the system has a dialog of the printer's own to show.
  btnProperties->setVisible(rpPrinter().HasPropertiesDialog());
}

bool TrpPrintForm::PdfFileMayBeWritten() {
  const AnsiString name = PdfFile();
  if (name.empty() || edPdfFile->text() == confirmedPdf_) return true;
  struct stat st {};
  if (::lstat(SysPath(name).c_str(), &st) != 0) return true;
  const QString shown = QFileInfo(QString::fromStdString(SysPath(name))).absoluteFilePath();
  const AnsiString question =
      Format(Ansi("Файл \"%s\" уже существует.\rЗаменить его?"), {FromQString(shown)});
  if (MessageDlg(question, TMsgDlgType::mtConfirmation, mbYes | mbNo) == mrYes) return true;
  edPdfFile->setFocus();
  return false;
}

void TrpPrintForm::done(int result) {
  if (result == QDialog::Accepted && !PdfFileMayBeWritten()) return;
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
