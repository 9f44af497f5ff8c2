#include "report/gui/RP_Preview.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <cmath>

#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Class.h"
#include "report/RP_Export.h"
#include "report/RP_Utils.h"
#include "report/gui/RP_QtPrint.h"

int TrpPreviewForm::LastMode = rpzmWholePage;
double TrpPreviewForm::LastFactor = 1.0;

namespace {

QString Local(int id) { return ToQString(rpLocalString(id)); }

const TPlacementNames kPlacement{"XPosition", "YPosition", "Width", "Height", "Maximized", true};
constexpr const char* kPlacementKey = "Software\\ReportEngine\\Form\\TrpPreviewForm";

// A copy of the listed pages (for printing a selection, copies and collation).
void CopyPages(TrpEMFPages& from, const std::vector<int>& order, TrpEMFPages& to) {
  for (int i : order) {
    const TrpPreparedPage* src = from.GetPages(i);
    if (!src) continue;
    auto p = std::make_unique<TrpPreparedPage>();
    p->PreviewRect = src->PreviewRect;
    p->PaperSize = src->PaperSize;
    p->Width = src->Width;
    p->Height = src->Height;
    p->Orientation = src->Orientation;
    p->Bin = src->Bin;
    p->UseMargins = src->UseMargins;
    p->LeftMargin = src->LeftMargin;
    p->TopMargin = src->TopMargin;
    p->RightMargin = src->RightMargin;
    p->BottomMargin = src->BottomMargin;
    p->PageInfo = src->PageInfo;
    p->Stream = std::make_unique<TMemoryStream>(src->Stream ? src->Stream->Bytes() : std::string());
    to.Pages.push_back(std::move(p));
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------

TrpPBox::TrpPBox(TrpPreviewForm& form) : QAbstractScrollArea(&form), form_(form) {
  setObjectName("PBox");
  setFocusPolicy(Qt::NoFocus);
  for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
    bar->setSingleStep(10);
    bar->setPageStep(200);
  }
  setWhatsThis(ToQString(Ansi("Страницы отчета: перетаскивайте мышью, колесо прокручивает.")));
}

void TrpPBox::paintEvent(QPaintEvent*) {
  QPainter painter(viewport());
  const QRect view = viewport()->rect();
  painter.fillRect(view, QColor(128, 128, 128));
  TrpEMFPages* pages = form_.pages_;
  if (!pages) return;
  const int sx = horizontalScrollBar()->value(), sy = verticalScrollBar()->value();
  const auto& rects = form_.layout_.Pages;
  for (std::size_t i = 0; i < rects.size(); ++i) {
    const TRect& r = rects[i];
    const QRect q(r.Left - sx, r.Top - sy, r.Width(), r.Height());
    // A page counts as visible whenever it meets the window.
    if (!q.intersects(view)) continue;
    painter.fillRect(q, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(q.adjusted(0, 0, -1, -1));
    painter.drawLine(q.right() + 1, q.top() + 1, q.right() + 1, q.bottom() + 1);
    painter.drawLine(q.left() + 1, q.bottom() + 1, q.right() + 1, q.bottom() + 1);
    painter.save();
    painter.setClipRect(q.intersected(view));
    {
      TQtCanvas canvas(painter, Rect(view.left(), view.top(), view.right() + 1, view.bottom() + 1));
      TrpPreparedPage* rec = pages->GetPages(static_cast<int>(i));
      rec->Visible = true;
      pages->Draw(static_cast<int>(i), canvas, Rect(q.left(), q.top(), q.right() + 1, q.bottom() + 1));
    }
    painter.restore();
  }
}

void TrpPBox::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  form_.Relayout();
}

void TrpPBox::scrollContentsBy(int, int) {
  form_.PageFromScroll();
  viewport()->update();
}

void TrpPBox::mousePressEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    dragging_ = true;
    dragFrom_ = e->pos();
    viewport()->setCursor(Qt::ClosedHandCursor);
  } else if (e->button() == Qt::RightButton) {
    form_.ZoomMenu->popup(e->globalPosition().toPoint());
  }
}

void TrpPBox::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_) return;
  const QPoint d = e->pos() - dragFrom_;
  dragFrom_ = e->pos();
  horizontalScrollBar()->setValue(horizontalScrollBar()->value() - d.x());
  verticalScrollBar()->setValue(verticalScrollBar()->value() - d.y());
}

void TrpPBox::mouseReleaseEvent(QMouseEvent*) {
  dragging_ = false;
  viewport()->unsetCursor();
}

void TrpPBox::mouseDoubleClickEvent(QMouseEvent* e) {
  const QPoint at = e->pos() + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const auto& rects = form_.layout_.Pages;
  for (std::size_t i = 0; i < rects.size(); ++i)
    if (rects[i].Left <= at.x() && at.x() < rects[i].Right && rects[i].Top <= at.y() && at.y() < rects[i].Bottom) {
      form_.page_ = static_cast<int>(i);
      form_.UpdateStatus();
    }
}

void TrpPBox::wheelEvent(QWheelEvent* e) {
  const int steps = e->angleDelta().y() / 120;
  verticalScrollBar()->setValue(verticalScrollBar()->value() - steps * verticalScrollBar()->singleStep());
}

// ---------------------------------------------------------------------------------------

TrpPreviewForm::TrpPreviewForm(QWidget* parent) : TForm(parent) {
  setObjectName("TrpPreviewForm");
  SetCaption(Ansi("Предварительный просмотр"));
  resize(800, 600);
  SetWindowState(TWindowState::wsMaximized);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  auto* bar = new QHBoxLayout;
  bar->setContentsMargins(2, 2, 2, 2);
  bar->setSpacing(0);
  column->addLayout(bar);
  auto button = [&](const char* name, int hint, QStyle::StandardPixmap icon, int help) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setAutoRaise(true);
    b->setToolTip(Local(hint));
    if (icon != QStyle::SP_CustomBase) b->setIcon(style()->standardIcon(icon));
    b->setWhatsThis(Local(hint));
    b->setProperty("HelpContext", help);
    b->setFocusPolicy(Qt::NoFocus);
    bar->addWidget(b);
    return b;
  };
  auto separator = [&] {
    auto* s = new QFrame(this);
    s->setFrameShape(QFrame::VLine);
    s->setFrameShadow(QFrame::Sunken);
    s->setFixedWidth(8);
    bar->addWidget(s);
  };
  ZoomBtn = button("ZoomBtn", 53024, QStyle::SP_CustomBase, 200);
  ZoomBtn->setToolButtonStyle(Qt::ToolButtonTextOnly);
  ZoomBtn->setMinimumWidth(56);
  separator();
  LoadBtn = button("LoadBtn", 53025, QStyle::SP_DialogOpenButton, 201);
  SaveBtn = button("SaveBtn", 53026, QStyle::SP_DialogSaveButton, 202);
  PrintBtn = button("PrintBtn", 53027, QStyle::SP_FileDialogDetailedView, 203);
  PageSetupBtn = button("PageSetupBtn", 53027, QStyle::SP_FileDialogInfoView, 203);
  PageSetupBtn->setToolTip(ToQString(Ansi("Параметры страницы")));
  FindBtn = button("FindBtn", 53028, QStyle::SP_FileDialogContentsView, 204);
  separator();
  HelpBtn = button("HelpBtn", 53032, QStyle::SP_DialogHelpButton, 0);
  ExitBtn = button("ExitBtn", 53023, QStyle::SP_DialogCloseButton, 205);
  bar->addStretch(1);

  ZoomMenu = new QMenu(this);
  for (int tag : {200, 150, 100, 75, 50, 25, 10}) {
    QAction* a = ZoomMenu->addAction(QString::number(tag) + "%");
    a->setData(tag);
    a->setCheckable(true);
  }
  ZoomMenu->addSeparator();
  for (int tag : {1, 2, 3}) {
    QAction* a = ZoomMenu->addAction(Local(53019 + tag));
    a->setData(tag);
    a->setCheckable(true);
  }
  QObject::connect(ZoomMenu, &QMenu::triggered, this, [this](QAction* a) { SetZoom(a->data().toInt()); });
  QObject::connect(ZoomBtn, &QToolButton::clicked, this,
                   [this] { ZoomMenu->popup(ZoomBtn->mapToGlobal(QPoint(0, ZoomBtn->height()))); });
  QObject::connect(LoadBtn, &QToolButton::clicked, this, [this] { LoadDialog(); });
  QObject::connect(SaveBtn, &QToolButton::clicked, this, [this] { SaveDialog(); });
  QObject::connect(PrintBtn, &QToolButton::clicked, this, [this] { PrintDialog(); });
  QObject::connect(PageSetupBtn, &QToolButton::clicked, this, [this] { PageSetupDialog(); });
  QObject::connect(FindBtn, &QToolButton::clicked, this, [this] { FindDialog(); });
  QObject::connect(HelpBtn, &QToolButton::clicked, this, [] { QWhatsThis::enterWhatsThisMode(); });
  QObject::connect(ExitBtn, &QToolButton::clicked, this, [this] { Close(); });

  PBox = new TrpPBox(*this);
  column->addWidget(PBox, 1);
  StatusLabel = new QLabel(this);
  StatusLabel->setObjectName("StatusLabel");
  StatusLabel->setWhatsThis(ToQString(Ansi("Номер текущей страницы и число страниц.")));
  column->addWidget(StatusLabel);

  KeyPreview = true;
  OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState shift) {
    if (HandleKey(key, shift)) key = 0;
  };
  OnClose = [this](TObject*, TCloseAction&) { SavePlacement(*this, kPlacementKey, kPlacement); };
  mode_ = LastMode;
  layout_.Factor = LastFactor;
}

int TrpPreviewForm::PageCount() const { return pages_ ? pages_->GetCount() : 0; }

void TrpPreviewForm::ShowReport(TrpReport& report, bool modal) {
  report_ = &report;
  report.SetPreview(this);
  SetPages(&report.EMFPages);
  RestorePlacement(*this, kPlacementKey, kPlacement);
  if (modal) ShowModal();
  else Show();
}

void TrpPreviewForm::SetPages(TrpEMFPages* pages) {
  pages_ = pages;
  page_ = 0;
  search_ = TrpPreviewSearch{};
  mode_ = LastMode;
  layout_.Factor = LastFactor;
  Relayout();
  PBox->horizontalScrollBar()->setValue(0);
  PBox->verticalScrollBar()->setValue(0);
  UpdateStatus();
}

void TrpPreviewForm::Relayout() {
  const QSize panel = PBox->viewport()->size();
  layout_ = rpLayoutPreview(pages_ ? rpPreviewPageSizes(*pages_) : std::vector<TPoint>{}, page_, panel.width(),
                            panel.height(), mode_, layout_.Factor);
  PBox->horizontalScrollBar()->setRange(0, layout_.HRange);
  PBox->verticalScrollBar()->setRange(0, layout_.VRange);
  PBox->horizontalScrollBar()->setEnabled(layout_.HRange > 0);
  PBox->verticalScrollBar()->setEnabled(layout_.VRange > 0);
  const int percent = static_cast<int>(std::lround(layout_.Factor * 100));
  ZoomBtn->setText(QString::number(percent) + "%");
  for (QAction* a : ZoomMenu->actions())
    a->setChecked(mode_ == rpzmFactor ? a->data().toInt() == percent : a->data().toInt() == mode_);
  PBox->viewport()->update();
}

void TrpPreviewForm::SetZoom(int tag) {
  if (tag >= 1 && tag <= 3) mode_ = tag;
  else if (tag > 0) {
    mode_ = rpzmFactor;
    layout_.Factor = tag / 100.0;
  }
  Relayout();
  PBox->horizontalScrollBar()->setValue(0);
  LastMode = mode_;
  LastFactor = layout_.Factor;
  GoToPage(PageNo());
}

void TrpPreviewForm::GoToPage(int pageNo) {
  if (!PageCount()) return;
  page_ = std::clamp(pageNo, 1, PageCount()) - 1;
  PBox->verticalScrollBar()->setValue(layout_.Pages[static_cast<std::size_t>(page_)].Top - 10);
  page_ = std::clamp(pageNo, 1, PageCount()) - 1;
  UpdateStatus();
}

void TrpPreviewForm::PageFromScroll() {
  page_ = rpPageAtScroll(layout_, PBox->verticalScrollBar()->value(), page_);
  UpdateStatus();
}

AnsiString TrpPreviewForm::StatusText() const {
  return rpLocalString(55004) + " " + IntToStr(PageCount() ? PageNo() : 0) + "/" + IntToStr(PageCount());
}

void TrpPreviewForm::UpdateStatus() { StatusLabel->setText(ToQString(StatusText())); }

bool TrpPreviewForm::HandleKey(std::uint16_t key, TShiftState shift) {
  QScrollBar* v = PBox->verticalScrollBar();
  QScrollBar* h = PBox->horizontalScrollBar();
  const bool ctrl = shift & ssCtrl;
  switch (key) {
    case VK_UP: v->setValue(v->value() - v->singleStep()); return true;
    case VK_DOWN: v->setValue(v->value() + v->singleStep()); return true;
    case VK_LEFT: h->setValue(h->value() - h->singleStep()); return true;
    case VK_RIGHT: h->setValue(h->value() + h->singleStep()); return true;
    case VK_PRIOR:
      if (ctrl) GoToPage(PageNo() - 1);
      else v->setValue(v->value() - v->pageStep());
      return true;
    case VK_NEXT:
      if (ctrl) GoToPage(PageNo() + 1);
      else v->setValue(v->value() + v->pageStep());
      return true;
    case VK_HOME:
      if (!ctrl) return false;
      v->setValue(0);
      return true;
    case VK_END:
      if (!ctrl) return false;
      GoToPage(PageCount());
      return true;
    case VK_SPACE: ZoomMenu->popup(ZoomBtn->mapToGlobal(QPoint(0, ZoomBtn->height()))); return true;
    case VK_ESCAPE:
      if (Modal()) SetModalResult(mrOk);
      else Close();
      return true;
    case VK_F3:
      if (search_.Active()) FindNext();
      return true;
    default: break;
  }
  if (!ctrl) return false;
  switch (key) {
    case 'O': LoadDialog(); return true;
    case 'S': SaveDialog(); return true;
    case 'P': PrintDialog(); return true;
    case 'F': FindDialog(); return true;
    default: return false;
  }
}

bool TrpPreviewForm::Find(const AnsiString& text, bool caseSensitive, bool fromBeginning) {
  const bool continues = !fromBeginning && search_.Active() && search_.Page == page_;
  const TrpPreviewSearch old = search_;
  search_.Start(text, caseSensitive, fromBeginning ? 0 : page_);
  if (continues) {
    search_.Page = old.Page;
    search_.Record = old.Record;
  }
  return FindNext();
}

bool TrpPreviewForm::FindNext() {
  if (!pages_ || !search_.FindNext(*pages_)) return false;
  page_ = search_.Page;
  const TRect& page = layout_.Pages[static_cast<std::size_t>(page_)];
  const double f = layout_.Factor;
  PBox->horizontalScrollBar()->setValue(page.Left + static_cast<int>(search_.Found.Left * f) - 10);
  PBox->verticalScrollBar()->setValue(page.Top + static_cast<int>(search_.Found.Top * f) - 10);
  page_ = search_.Page;
  UpdateStatus();
  return true;
}

void TrpPreviewForm::FindDialog() {
  TForm dlg(this);
  dlg.setObjectName("TrpPreviewSearchForm");
  dlg.SetCaption(rpLocalString(53000));
  auto* layout = new QVBoxLayout(&dlg);
  auto* label = new QLabel(Local(53001), &dlg);
  auto* edit = new QLineEdit(&dlg);
  edit->setObjectName("edText");
  edit->setText(ToQString(search_.Text));
  edit->selectAll();
  auto* caseBox = new QCheckBox(Local(53003), &dlg);
  caseBox->setObjectName("cbCase");
  auto* fromStart = new QRadioButton(Local(53005), &dlg);
  fromStart->setObjectName("rbFromStart");
  auto* goOn = new QRadioButton(Local(53006), &dlg);
  goOn->setObjectName("rbContinue");
  goOn->setChecked(true);
  auto* ok = new QPushButton(Local(55000), &dlg);
  ok->setObjectName("btnOk");
  auto* cancel = new QPushButton(Local(55001), &dlg);
  cancel->setObjectName("btnCancel");
  for (QWidget* w : std::initializer_list<QWidget*>{label, edit, caseBox, fromStart, goOn, ok, cancel})
    layout->addWidget(w);
  QObject::connect(ok, &QPushButton::clicked, &dlg, [&] { dlg.SetModalResult(mrOk); });
  QObject::connect(cancel, &QPushButton::clicked, &dlg, [&] { dlg.SetModalResult(mrCancel); });
  edit->setFocus();
  if (dlg.ShowModal() != mrOk || edit->text().isEmpty()) return;
  Find(FromQString(edit->text()), caseBox->isChecked(), fromStart->isChecked());
}

void TrpPreviewForm::Error(const AnsiString& text) { MessageDlg(text, TMsgDlgType::mtError, mbOK); }

bool TrpPreviewForm::SaveAs(const AnsiString& fileName, int filterIndex) {
  if (!pages_) return false;
  try {
    if (filterIndex <= 1) {
      pages_->SaveToFile(ChangeFileExt(fileName, ".rpp"));
      return true;
    }
    auto& filters = rpExportFilters();
    if (filterIndex - 2 >= static_cast<int>(filters.size())) return false;
    auto* filter = dynamic_cast<TrpExportFilter*>(filters[static_cast<std::size_t>(filterIndex - 2)].Filter);
    if (!filter) return false;
    AnsiString ext = filters[static_cast<std::size_t>(filterIndex - 2)].Extension;
    if (!ext.empty() && ext[0] == '*') ext.erase(0, 1);
    const AnsiString name = ChangeFileExt(fileName, ext);
    return report_ ? rpExportReport(*report_, *filter, name) : rpExportPages(*pages_, *filter, name);
  } catch (const Exception& e) {
    Error(Ansi("Не удалось записать файл ") + fileName + ":\r" + e.Message());
  } catch (const std::exception& e) {
    Error(Ansi("Не удалось записать файл ") + fileName + ":\r" + e.what());
  }
  return false;
}

bool TrpPreviewForm::LoadFrom(const AnsiString& fileName) {
  TrpEMFPages* target = pages_ ? pages_ : &ownPages_;
  try {
    target->LoadFromFile(fileName);
  } catch (const Exception& e) {
    Error(Ansi("Не удалось открыть отчет ") + fileName + ":\r" + e.Message());
    return false;
  } catch (const std::exception& e) {
    Error(Ansi("Не удалось открыть отчет ") + fileName + ":\r" + e.what());
    return false;
  }
  SetPages(target);
  return true;
}

void TrpPreviewForm::LoadDialog() {
  TOpenDialog d;
  d.Filter = rpLocalString(55211) + " (*.rpp)|*.rpp";
  d.FileMustExist = true;
  if (d.Execute()) LoadFrom(d.FileName);
}

void TrpPreviewForm::SaveDialog() {
  TSaveDialog d;
  d.Filter = rpLocalString(55211) + " (*.rpp)|*.rpp";
  for (const auto& f : rpExportFilters()) d.Filter += "|" + f.Description + "|" + f.Extension;
  d.OverwritePrompt = true;
  if (d.Execute()) SaveAs(d.FileName, d.FilterIndex);
}

void TrpPreviewForm::PrintDialog() {
  if (!PageCount()) return;
  TPrintRequest r;
  r.MinPage = 1;
  r.MaxPage = PageCount();
  r.OutputFile = "report.pdf";
  if (!Dialogs().ExecutePrint(r)) return;
  const int from = r.FromPage > 0 ? std::clamp(r.FromPage, 1, PageCount()) : 1;
  const int to = r.ToPage > 0 ? std::clamp(r.ToPage, from, PageCount()) : PageCount();
  std::vector<int> order;
  const int copies = std::max(1, r.Copies);
  if (r.Collate)
    for (int c = 0; c < copies; ++c)
      for (int p = from; p <= to; ++p) order.push_back(p - 1);
  else
    for (int p = from; p <= to; ++p)
      for (int c = 0; c < copies; ++c) order.push_back(p - 1);
  TrpEMFPages job;
  CopyPages(*pages_, order, job);
  TrpPrintJob pj;
  pj.PdfFile = ToQString(r.OutputFile);
  QString error;
  if (!rpPrintPreparedPages(job, pj, &error)) Error(FromQString(error));
}

void TrpPreviewForm::PageSetupDialog() {
  const TrpPreparedPage* first = pages_ ? pages_->GetPages(0) : nullptr;
  TPageSetupRequest r;
  if (first) {
    r.PaperWidth = first->Width;
    r.PaperHeight = first->Height;
    r.MarginLeft = first->LeftMargin * 500 / 18;
    r.MarginTop = first->TopMargin * 500 / 18;
    r.MarginRight = first->RightMargin * 500 / 18;
    r.MarginBottom = first->BottomMargin * 500 / 18;
  }
  if (!Dialogs().ExecutePageSetup(r) || !report_) return;
  for (auto& page : report_->Pages.Pages) {
    TrpPage& p = *page;
    p.LeftMargin = r.MarginLeft * 18 / 500;
    p.TopMargin = r.MarginTop * 18 / 500;
    p.RightMargin = r.MarginRight * 18 / 500;
    p.BottomMargin = r.MarginBottom * 18 / 500;
  }
  report_->PrepareReport();
  SetPages(&report_->EMFPages);
}
