#include "report/gui/RP_Preview.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QGroupBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardPaths>
#include <QStyle>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <cmath>

#include "platform/core/Files.h"
#include "platform/core/SysUtils.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "report/RP_Class.h"
#include "report/RP_Export.h"
#include "report/RP_PageSetup.h"
#include "report/RP_Utils.h"
#include "report/RP_Prntr.h"
#include "report/gui/RP_PrintForm.h"
#include "report/gui/RP_QtPrint.h"
#include "report/gui/RP_ToolbarGlyphs.h"
#include "report/gui/RP_Toolbar.h"

int TrpPreviewForm::LastMode = rpzmWholePage;
double TrpPreviewForm::LastFactor = 1.0;

namespace {

QString Local(int id) { return ToQString(rpLocalString(id)); }

const TPlacementNames kPlacement{"XPosition", "YPosition", "Width", "Height", "Maximized", true};
constexpr const char* kPlacementKey = "Software\\ReportEngine\\Form\\TrpPreviewForm";

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
  viewport()->setMouseTracking(true);  // the report may want its own cursor over an object
  // Previous and next page, below the vertical bar.
  auto* steps = new QWidget;
  const int side = verticalScrollBar()->sizeHint().width();
  steps->setFixedSize(side, 2 * side);
  auto* column = new QVBoxLayout(steps);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  for (int dir : {-1, 1}) {
    auto* b = new TrpSpeedButton(steps);
    b->setObjectName(dir < 0 ? "PrevPageBtn" : "NextPageBtn");
    b->SetGlyph(rpArrowGlyph(dir < 0));
    b->SetFlat(true);
    b->SetGrayedInactive(false);
    b->Hint = Ansi(dir < 0 ? "Предыдущая страница" : "Следующая страница");
    b->ShowHint = true;
    b->setFixedSize(side, side);
    b->OnClick = [this, dir](TObject*) { form_.GoToPage(form_.PageNo() + dir); };
    column->addWidget(b);
  }
  addScrollBarWidget(steps, Qt::AlignBottom);
  steps->show();  // shown with the bar
}

bool TrpPBox::PageAt(QPoint pos, int& index, TPoint& point) const {
  const QPoint at = pos + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
  const auto& rects = form_.layout_.Pages;
  const double f = form_.layout_.Factor > 0 ? form_.layout_.Factor : 1.0;
  for (std::size_t i = 0; i < rects.size(); ++i)
    if (rects[i].Left <= at.x() && at.x() < rects[i].Right && rects[i].Top <= at.y() && at.y() < rects[i].Bottom) {
      index = static_cast<int>(i);
      point = Point(static_cast<int>((at.x() - rects[i].Left) / f), static_cast<int>((at.y() - rects[i].Top) / f));
      return true;
    }
  return false;
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
    TrpPreparedPage* rec = pages->GetPages(static_cast<int>(i));
    // A page counts as visible whenever it meets the window; one that does not gives its
    // live views up (drawn with the visible flag clear).
    if (!q.intersects(view)) {
      if (rec->Page) {
        rec->Visible = false;
        TRecordingCanvas none(Rect(0, 0, 1, 1));
        pages->Draw(static_cast<int>(i), none, Rect(0, 0, 1, 1));
      }
      continue;
    }
    painter.fillRect(q, Qt::white);
    painter.setPen(Qt::black);
    painter.drawRect(q.adjusted(0, 0, -1, -1));
    painter.drawLine(q.right() + 1, q.top() + 1, q.right() + 1, q.bottom() + 1);
    painter.drawLine(q.left() + 1, q.bottom() + 1, q.right() + 1, q.bottom() + 1);
    painter.save();
    painter.setClipRect(q.intersected(view));
    {
      TQtCanvas canvas(painter, Rect(view.left(), view.top(), view.right() + 1, view.bottom() + 1));
      rec->Visible = true;
      pages->Draw(static_cast<int>(i), canvas, Rect(q.left(), q.top(), q.right() + 1, q.bottom() + 1));
    }
    // The last match found is framed, so that the eye finds it on the page.
    const TrpPreviewSearch& search = form_.search_;
    if (search.Active() && search.Page == static_cast<int>(i) && search.Found.Right > search.Found.Left) {
      const double f = form_.layout_.Factor;
      const TRect& m = search.Found;
      const QRect hit(q.left() + static_cast<int>(m.Left * f) - 2, q.top() + static_cast<int>(m.Top * f) - 2,
                      static_cast<int>(m.Width() * f) + 4, static_cast<int>(m.Height() * f) + 4);
      painter.setPen(QPen(QColor(0, 0, 192), 2));
      painter.setBrush(Qt::NoBrush);
      painter.drawRect(hit);
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
  int index = 0, cursor = crDefault;
  TPoint at;
  if (e->button() == Qt::LeftButton && form_.pages_ && PageAt(e->pos(), index, at) &&
      form_.pages_->HitTest(index, at, cursor, true)) {
    // The report took the click on one of its objects.
  } else if (e->button() == Qt::LeftButton) {
    dragging_ = true;
    dragFrom_ = e->pos();
    viewport()->setCursor(Qt::ClosedHandCursor);
  } else if (e->button() == Qt::RightButton) {
    form_.ContextMenu()->popup(e->globalPosition().toPoint());
  }
  if (form_.host_) form_.host_->setFocus(Qt::MouseFocusReason);  // the panel takes the keys
}

void TrpPBox::mouseMoveEvent(QMouseEvent* e) {
  if (!dragging_) {
    if (!form_.pages_ || !form_.pages_->OnMouseOverObject) return;
    int index = 0, cursor = crDefault;
    TPoint at;
    if (PageAt(e->pos(), index, at)) form_.pages_->HitTest(index, at, cursor, false);
    if (cursor == crDefault) viewport()->unsetCursor();
    else viewport()->setCursor(CursorFor(cursor));
    return;
  }
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
  int index = 0;
  TPoint at;
  if (!PageAt(e->pos(), index, at)) return;
  form_.page_ = index;
  form_.UpdateStatus();
  form_.EditPage();  // when page editing is offered
}

void TrpPBox::wheelEvent(QWheelEvent* e) {
  // A notch (120) scrolls the small step times the wheel factor; the parts of a notch that
  // finer wheels and touchpads send add up, what is left of a pixel waiting for the next.
  wheelTurn_ += static_cast<long long>(e->angleDelta().y()) * verticalScrollBar()->singleStep() * form_.WheelFactor;
  const long long pixels = wheelTurn_ / 120;
  wheelTurn_ -= pixels * 120;
  if (pixels) verticalScrollBar()->setValue(verticalScrollBar()->value() - static_cast<int>(pixels));
}

// ---------------------------------------------------------------------------------------

TrpPreviewForm::TrpPreviewForm(QWidget* parent, TFormStyle formStyle) : TForm(parent, formStyle) {
  setObjectName("TrpPreviewForm");
  SetCaption(Ansi("Предварительный просмотр"));
  resize(800, 600);
  SetWindowState(TWindowState::wsMaximized);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  CreateToolBar();
  column->addWidget(ToolBar);

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
  pageEditSeparator_ = ZoomMenu->addSeparator();
  EditPageItem = ZoomMenu->addAction(Local(53029));
  AddPageItem = ZoomMenu->addAction(Local(53030));
  DeletePageItem = ZoomMenu->addAction(Local(53031));
  EditPageItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_E));
  EditPageItem->setShortcutContext(Qt::WidgetShortcut);  // the window's key table runs it
  QObject::connect(EditPageItem, &QAction::triggered, this, [this] { EditPage(); });
  QObject::connect(AddPageItem, &QAction::triggered, this, [this] { AddPage(); });
  QObject::connect(DeletePageItem, &QAction::triggered, this, [this] { DeletePage(); });
  QObject::connect(ZoomMenu, &QMenu::triggered, this, [this](QAction* a) {
    if (const int tag = a->data().toInt(); tag > 0) SetZoom(tag);
  });
  ZoomBtn->OnClick = [this](TObject*) { ZoomMenu->popup(ZoomBtn->mapToGlobal(QPoint(0, ZoomBtn->height()))); };
  LoadBtn->OnClick = [this](TObject*) { LoadDialog(); };
  SaveBtn->OnClick = [this](TObject*) { SaveDialog(); };
  PrintBtn->OnClick = [this](TObject*) { PrintDialog(); };
  PageSetupBtn->OnClick = [this](TObject*) { PageSetupDialog(); };
  FindBtn->OnClick = [this](TObject*) { FindDialog(); };
  HelpBtn->OnClick = [this](TObject*) { HelpClick(); };
  ExitBtn->OnClick = [this](TObject*) { Exit(); };

  PagePanel = new QWidget(this);
  PagePanel->setObjectName("PagePanel");
  auto* pageColumn = new QVBoxLayout(PagePanel);
  pageColumn->setContentsMargins(0, 0, 0, 0);
  pageColumn->setSpacing(0);
  PBox = new TrpPBox(*this);
  pageColumn->addWidget(PBox, 1);
  StatusLabel = new QLabel(PagePanel);
  StatusLabel->setObjectName("StatusLabel");
  StatusLabel->setWhatsThis(ToQString(Ansi("Номер текущей страницы и число страниц.")));
  StatusLabel->setContentsMargins(4, 0, 8, 0);
  StatusLabel->setFixedWidth(StatusLabel->fontMetrics().horizontalAdvance(ToQString(Ansi("Стр. 9999/9999"))) + 12);
  ShowBars(true, true);
  column->addWidget(PagePanel, 1);

  KeyPreview = true;
  OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState shift) {
    if (HandleKey(key, shift)) key = 0;
  };
  OnClose = [this](TObject*, TCloseAction&) {
    if (FormStyle() != TFormStyle::fsMDIChild) SavePlacement(*this, kPlacementKey, kPlacement);
  };
  mode_ = LastMode;
  layout_.Factor = LastFactor;
}

void TrpPreviewForm::ShowBars(bool vertical, bool horizontal) {
  // Both bars stay shown; one with nothing to scroll is disabled (Relayout).
  PBox->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  PBox->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
  // The status stands beside the horizontal bar, or below the pages without it.
  const bool besideBar = StatusLabel->parentWidget() != PagePanel;
  if (horizontal && !besideBar) PBox->addScrollBarWidget(StatusLabel, Qt::AlignLeft);
  else if (!horizontal && besideBar) static_cast<QVBoxLayout*>(PagePanel->layout())->addWidget(StatusLabel);
  StatusLabel->show();
}

void TrpPreviewForm::CreateToolBar() {
  ToolBar = new TPanel(this);
  ToolBar->setObjectName("ToolBar");
  ToolBar->setContentsMargins(2, 2, 2, 2);
  ToolBar->setFixedHeight(26);
  const auto button = [&](const char* name, int hint, const QImage& glyph, int help) {
    auto* b = new TrpTBButton(ToolBar);
    b->setObjectName(name);
    b->Hint = rpLocalString(hint);
    b->ShowHint = true;
    if (!glyph.isNull()) b->SetGlyph(FromQImage(glyph, clFuchsia));
    b->setWhatsThis(Local(hint));
    b->setProperty("HelpContext", help);
    toolOrder_.push_back(b);
    return b;
  };
  const auto separator = [&] {
    auto* s = new TrpTBSeparator(ToolBar);
    toolOrder_.push_back(s);
    return s;
  };
  const auto standard = [&](QStyle::StandardPixmap icon) {
    return style()->standardIcon(icon).pixmap(16, 16).toImage();
  };
  ZoomBtn = button("ZoomBtn", 53024, QImage(), 200);
  ZoomBtn->resize(56, ZoomBtn->height());
  zoomSeparator_ = separator();
  LoadBtn = button("LoadBtn", 53025, standard(QStyle::SP_DialogOpenButton), 201);
  SaveBtn = button("SaveBtn", 53026, standard(QStyle::SP_DialogSaveButton), 202);
  PrintBtn = button("PrintBtn", 53027, rpPrinterGlyph(), 203);
  PageSetupBtn = button("PageSetupBtn", 53027, rpPageSetupGlyph(), 203);
  PageSetupBtn->Hint = Ansi("Параметры страницы");
  FindBtn = button("FindBtn", 53028, standard(QStyle::SP_FileDialogContentsView), 204);
  exitSeparator_ = separator();
  HelpBtn = button("HelpBtn", 53032, standard(QStyle::SP_DialogHelpButton), 0);
  ExitBtn = button("ExitBtn", 53023, standard(QStyle::SP_DialogCloseButton), 205);
  SetGrayedButtons(grayedButtons_);
  ArrangeToolBar();
}

void TrpPreviewForm::ArrangeToolBar() {
  // Aligned items keep the order of their places: put them in toolbar order first, so
  // that one shown again goes back where it was.
  int x = 0;
  for (QWidget* w : toolOrder_) w->move(x += 1000, w->y());
  AlignControls(ToolBar);
}

int TrpPreviewForm::PageCount() const { return pages_ ? pages_->GetCount() : 0; }

void TrpPreviewForm::ShowReport(TrpReport& report) { ShowReport(report, report.ModalPreview); }

void TrpPreviewForm::ShowReport(TrpReport& report, bool modal) {
  report_ = &report;
  report.SetPreview(this);
  SetPages(&report.EMFPages);
  ApplyReportOptions();
  if (FormStyle() != TFormStyle::fsMDIChild) RestorePlacement(*this, kPlacementKey, kPlacement);
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
  UpdateButtons();
}

void TrpPreviewForm::ApplyReportOptions() {
  const unsigned shown = report_ ? report_->PreviewButtons : 0xFFu;
  const auto show = [&](QWidget* w, unsigned bit, bool allowed = true) { w->setVisible(allowed && (shown & bit)); };
  show(ZoomBtn, rppbZoom);
  show(zoomSeparator_, rppbZoom);
  show(LoadBtn, rppbLoad);
  show(SaveBtn, rppbSave);
  show(PrintBtn, rppbPrint);
  show(PageSetupBtn, rppbPageSetup);
  show(FindBtn, rppbFind);
  show(HelpBtn, rppbHelp, !host_);
  show(ExitBtn, rppbExit, !host_);
  exitSeparator_->setVisible(FindBtn->isVisibleTo(ToolBar) || HelpBtn->isVisibleTo(ToolBar));
  ArrangeToolBar();
  if (report_ && report_->InitialZoom >= rpzmPageWidth && report_->InitialZoom <= rpzmTwoPages) {
    mode_ = report_->InitialZoom;
    Relayout();
  }
  SetGrayedButtons(report_ && report_->GrayedButtons);
  const bool editing = PageEditing();
  for (QAction* a : {pageEditSeparator_, EditPageItem, AddPageItem, DeletePageItem}) a->setVisible(editing);
}

void TrpPreviewForm::Exit() {
  if (Modal()) SetModalResult(mrOk);
  else Close();
}

void TrpPreviewForm::HelpClick() {
  if (const TrpPreviewHelp help = rpPreviewHelp()) help();  // a copy: the hook may be replaced meanwhile
  else QWhatsThis::enterWhatsThisMode();
}

bool TrpPreviewForm::PageEditing() const {
  return report_ && report_->ModifyPrepared && rpPreparedPageEditor() && pages_;
}

bool TrpPreviewForm::EditPage() {
  if (!PageEditing() || !PageCount()) return false;
  const TrpPreparedPageEditor editor = rpPreparedPageEditor();  // the editor may be replaced meanwhile
  if (!editor(*pages_, page_)) return false;
  PBox->viewport()->update();
  return true;
}

bool TrpPreviewForm::AddPage() {
  if (!PageEditing() || !PageCount()) return false;
  const TrpPreparedPage& now = *pages_->GetPages(page_);
  TrpPage paper(now.PageInfo, now.PaperSize, now.Width, now.Height, now.Bin, now.Orientation);
  paper.UseMargins = now.UseMargins;
  paper.LeftMargin = now.LeftMargin;
  paper.TopMargin = now.TopMargin;
  paper.RightMargin = now.RightMargin;
  paper.BottomMargin = now.BottomMargin;
  pages_->Insert(page_ + 1, paper);
  Relayout();
  GoToPage(page_ + 2);
  UpdateButtons();
  return true;
}

bool TrpPreviewForm::DeletePage() {
  if (!PageEditing() || !PageCount()) return false;
  pages_->Delete(page_);
  search_ = TrpPreviewSearch{};  // its page and record may be gone
  Relayout();
  if (PageCount()) GoToPage(std::min(page_ + 1, PageCount()));
  else page_ = 0;
  UpdateStatus();
  UpdateButtons();
  return true;
}

void TrpPreviewForm::UpdateButtons() {
  const bool pages = PageCount() > 0;
  SaveBtn->setEnabled(pages);
  PrintBtn->setEnabled(pages);
  FindBtn->setEnabled(pages);
  PageSetupBtn->setEnabled(report_ && report_->CanRebuild);  // a page setup builds the report again
}

void TrpPreviewForm::SetGrayedButtons(bool grayed) {
  grayedButtons_ = grayed;
  for (TrpTBButton* b : {ZoomBtn, LoadBtn, SaveBtn, PrintBtn, PageSetupBtn, FindBtn, HelpBtn, ExitBtn})
    b->SetGrayedInactive(grayed);
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
  ZoomBtn->SetCaption(IntToStr(percent) + "%");
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

void TrpPreviewForm::UpdateStatus() {
  StatusLabel->setText(ToQString(StatusText()));
  const int now = PageCount() ? PageNo() : 0;
  if (now == reportedPage_) return;
  reportedPage_ = now;
  if (OnPageChanged) OnPageChanged(now);
}

QMenu* TrpPreviewForm::ContextMenu() const {
  if (host_ && host_->PopupMenu) return host_->PopupMenu;
  return ZoomMenu;
}

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
    case VK_SPACE:
      // Below the zoom button; without it (a hidden button stands far off) over the pages.
      if (ZoomBtn->isVisible()) ZoomMenu->popup(ZoomBtn->mapToGlobal(QPoint(0, ZoomBtn->height())));
      else ZoomMenu->popup(PBox->viewport()->mapToGlobal(QPoint(0, 0)));
      return true;
    case VK_ESCAPE:
      if (host_) return false;  // a panel is closed with its form
      Exit();
      return true;
    case VK_F3:
      if (search_.Active()) FindNext();
      return true;
    default: break;
  }
  if (!ctrl) return false;
  // The commands of the buttons, when these may run.
  const auto run = [](TrpTBButton* b, const std::function<void()>& command) {
    if (b->isEnabled()) command();
    return true;
  };
  switch (key) {
    case 'O': return run(LoadBtn, [this] { LoadDialog(); });
    case 'S': return run(SaveBtn, [this] { SaveDialog(); });
    case 'P': return run(PrintBtn, [this] { PrintDialog(); });
    case 'F': return run(FindBtn, [this] { FindDialog(); });
    case 'E':
      if (!PageEditing()) return false;
      EditPage();
      return true;
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
  PBox->viewport()->update();
  return true;
}

void TrpPreviewForm::FindDialog() {
  TForm dlg(this);
  dlg.setObjectName("TrpPreviewSearchForm");
  dlg.SetCaption(rpLocalString(53000));
  dlg.SetBorderStyle(TFormBorderStyle::bsDialog);
  auto* layout = new QVBoxLayout(&dlg);
  auto* label = new QLabel(Local(53001), &dlg);
  auto* edit = new QLineEdit(&dlg);
  edit->setObjectName("edText");
  edit->setMinimumWidth(260);
  label->setBuddy(edit);
  edit->setText(ToQString(search_.Text));
  edit->selectAll();
  auto* options = new QGroupBox(Local(53002), &dlg);
  options->setObjectName("gbOptions");
  auto* caseBox = new QCheckBox(Local(53003), options);
  caseBox->setObjectName("cbCase");
  (new QVBoxLayout(options))->addWidget(caseBox);
  auto* origin = new QGroupBox(Local(53004), &dlg);
  origin->setObjectName("gbOrigin");
  auto* fromStart = new QRadioButton(Local(53005), origin);
  fromStart->setObjectName("rbFromStart");
  auto* goOn = new QRadioButton(Local(53006), origin);
  goOn->setObjectName("rbContinue");
  goOn->setChecked(true);
  auto* originColumn = new QVBoxLayout(origin);
  originColumn->addWidget(fromStart);
  originColumn->addWidget(goOn);
  auto* groups = new QHBoxLayout;
  groups->addWidget(options, 1);
  groups->addWidget(origin, 1);
  auto* ok = new QPushButton(Local(55000), &dlg);
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  auto* cancel = new QPushButton(Local(55001), &dlg);
  cancel->setObjectName("btnCancel");
  cancel->setProperty(kCancelButtonProperty, true);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  layout->addWidget(label);
  layout->addWidget(edit);
  layout->addLayout(groups);
  layout->addLayout(buttons);
  QObject::connect(ok, &QPushButton::clicked, &dlg, [&] { dlg.SetModalResult(mrOk); });
  QObject::connect(cancel, &QPushButton::clicked, &dlg, [&] { dlg.SetModalResult(mrCancel); });
  edit->setFocus();
  if (dlg.ShowModal() != mrOk || edit->text().isEmpty()) return;
  // The pages hold 1251 text: the sought text is taken as 1251 keeps it.
  Find(FromQString(As1251(edit->text())), caseBox->isChecked(), fromStart->isChecked());
}

void TrpPreviewForm::Error(const AnsiString& text) { MessageDlg(text, TMsgDlgType::mtError, mbOK); }

bool TrpPreviewForm::SaveAs(const AnsiString& fileName, int filterIndex) {
  if (!pages_) return false;
  // The file written: the name with the extension of the format chosen.
  AnsiString name = ChangeFileExt(fileName, ".rpp");
  try {
    if (filterIndex <= 1) {
      pages_->SaveToFile(name);
      return true;
    }
    auto& filters = rpExportFilters();
    if (filterIndex - 2 >= static_cast<int>(filters.size())) return false;
    auto* filter = dynamic_cast<TrpExportFilter*>(filters[static_cast<std::size_t>(filterIndex - 2)].Filter);
    if (!filter) return false;
    AnsiString ext = filters[static_cast<std::size_t>(filterIndex - 2)].Extension;
    if (!ext.empty() && ext[0] == '*') ext.erase(0, 1);
    name = ChangeFileExt(fileName, ext);
    if (report_ && pages_ == &report_->EMFPages) return report_->ExportTo(*filter, name);
    return rpRunExportWithProgress(
        [&](const TrpExportProgress& progress) { return rpExportPages(*pages_, *filter, name, progress); },
        report_ ? report_->ProgressCaption() : AnsiString());
  } catch (const std::exception& e) {
    Error(Ansi("Не удалось записать файл ") + name + ":\r" + rpFileErrorReason(e));
  }
  return false;
}

bool TrpPreviewForm::LoadFrom(const AnsiString& fileName) {
  TrpEMFPages* target = pages_ ? pages_ : &ownPages_;
  try {
    target->LoadFromFile(fileName);
  } catch (const std::exception& e) {
    Error(Ansi("Не удалось открыть отчет ") + fileName + ":\r" + rpFileErrorReason(e));
    return false;
  }
  if (report_ && target == &report_->EMFPages) report_->CanRebuild = false;  // no template made these
  SetPages(target);
  return true;
}

void TrpPreviewForm::LoadDialog() {
  TOpenDialog d;
  d.Filter = rpLocalString(55211) + " (*.rpp)|*.rpp";
  d.FileMustExist = true;
  if (d.Execute()) LoadFrom(d.FileName);
}

AnsiString TrpPreviewForm::SaveDialogDir() const {
  const AnsiString dir = ExtractFilePath(SourceDocument);
  if (!dir.empty() && DirectoryExists(dir)) return dir;
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!documents.isEmpty() && QDir(documents).exists())
    return IncludeTrailingPathDelimiter(AnsiPath(QFile::encodeName(documents).toStdString()));
  return IncludeTrailingPathDelimiter(AnsiPath(QFile::encodeName(QDir::homePath()).toStdString()));
}

void TrpPreviewForm::SaveDialog() {
  TSaveDialog d;
  d.InitialDir = SaveDialogDir();
  if (!SourceDocument.empty()) d.FileName = d.InitialDir + ChangeFileExt(ExtractFileName(SourceDocument), "");
  d.Filter = rpLocalString(55211) + " (*.rpp)|*.rpp";
  for (const auto& f : rpExportFilters()) d.Filter += "|" + f.Description + "|" + f.Extension;
  d.OverwritePrompt = true;
  if (d.Execute()) SaveAs(d.FileName, d.FilterIndex);
}

void TrpPreviewForm::PrintDialog() {
  if (!PageCount()) return;
  const int printerBefore = rpPrinter().PrinterIndex;
  // The virtual printer's file: beside the document (else in the documents folder), named
  // after it; never silently in whatever folder the program was started from.
  const AnsiString base = SourceDocument.empty() ? AnsiString("report") : ChangeFileExt(ExtractFileName(SourceDocument), "");
  TrpPrintForm form(PageNo(), QString::fromStdString(SysPath(SaveDialogDir() + base + ".pdf")), this);
  TrpReport* report = report_ && pages_ == &report_->EMFPages ? report_ : nullptr;
  if (report) {
    form.edCopies->setText(QString::number(std::max(1, report->DefaultCopies)));
    form.cbCollate->setChecked(report->DefaultCollate);
  }
  if (form.exec() != QDialog::Accepted) return;
  if (!report) {
    TrpPrintJob pj;
    pj.Order = rpPrintOrder(PageCount(), form.PageNumbers(), form.Copies(), form.Collate(), form.OddEven());
    pj.PdfFile = form.PdfFile();
    pj.Title = report_ && !report_->Title.empty() ? report_->Title : rpLocalString(55209);
    QString error;
    if (!pj.Order.empty() && !rpPrintPreparedPages(*pages_, pj, &error)) Error(FromQString(error));
    return;
  }
  // Pages laid out for another printer are built again for this one.
  const int printerNow = rpPrinter().PrinterIndex;
  if (printerNow != printerBefore && report->CanRebuild) {
    if (!report->ChangePrinter(printerBefore, printerNow)) return;
    SetPages(nullptr);  // nothing is drawn while the pages are built
    const bool built = report->PrepareReport();
    SetPages(&report->EMFPages);
    if (!built) {
      if (!report->ErrorText.empty()) Error(report->ErrorText);
      return;
    }
  }
  // The program installs the printer at start; a preview used without that prints all the same.
  if (!rpPagePrinter()) rpSetPagePrinter(rpQtPrintPages);
  try {
    report->PrintPreparedReport(form.PageNumbers(), form.Copies(), form.Collate(), form.OddEven(),
                                form.PdfFile());
  } catch (const std::exception& e) {
    Error(e.what());
  }
  Relayout();
}

void TrpPreviewForm::PageSetupDialog() {
  if (!report_ || !report_->CanRebuild) return;  // loaded pages would be replaced by another build
  const TrpPageSetup now = pages_ ? rpPageSetupOf(*pages_) : TrpPageSetup{};
  TPageSetupRequest r;
  r.PaperWidth = now.PaperWidth;
  r.PaperHeight = now.PaperHeight;
  r.Orientation = now.Orientation == rpLandscape ? TPrinterOrientation::poLandscape : TPrinterOrientation::poPortrait;
  r.MarginLeft = rpMarginToHundredthsMm(now.LeftMargin);
  r.MarginTop = rpMarginToHundredthsMm(now.TopMargin);
  r.MarginRight = rpMarginToHundredthsMm(now.RightMargin);
  r.MarginBottom = rpMarginToHundredthsMm(now.BottomMargin);
  if (!Dialogs().ExecutePageSetup(r)) return;
  TrpPageSetup chosen;
  chosen.PaperWidth = r.PaperWidth;
  chosen.PaperHeight = r.PaperHeight;
  chosen.Orientation = r.Orientation == TPrinterOrientation::poLandscape ? rpLandscape : rpPortrait;
  chosen.LeftMargin = rpHundredthsMmToMargin(r.MarginLeft);
  chosen.TopMargin = rpHundredthsMmToMargin(r.MarginTop);
  chosen.RightMargin = rpHundredthsMmToMargin(r.MarginRight);
  chosen.BottomMargin = rpHundredthsMmToMargin(r.MarginBottom);
  try {
    rpApplyPageSetup(*report_, chosen);
  } catch (const Exception& e) {
    Error(e.Message());
    return;
  }
  SetPages(nullptr);  // nothing is drawn while the pages are built
  if (!report_->PrepareReport() && !report_->ErrorText.empty()) Error(report_->ErrorText);
  SetPages(&report_->EMFPages);
}

// ---------------------------------------------------------------------------------------

TrpPreview::TrpPreview(QWidget* parent) : TPanel(parent), form_(std::make_unique<TrpPreviewForm>()) {
  setObjectName("TrpPreview");
  BevelOuter = TPanelBevel::bvLowered;
  SetTabStop(true);
  form_->host_ = this;
  form_->WheelFactor = 3;
  form_->ApplyReportOptions();  // help and exit belong to the window of its own
  form_->OnPageChanged = [this](int pageNo) {
    if (OnPageChanged) OnPageChanged(pageNo);
  };
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(1, 1, 1, 1);  // inside the bevel
  column->setSpacing(0);
  Attach();
}

TrpPreview::~TrpPreview() {
  if (wheelSource_) wheelSource_->removeEventFilter(this);
  // The toolbar and the pages go back to the window, which frees them with itself.
  form_->ToolBar->setParent(form_.get());
  form_->PagePanel->setParent(form_.get());
  form_->host_ = nullptr;
}

void TrpPreview::Attach() {
  auto* column = static_cast<QVBoxLayout*>(layout());
  form_->ToolBar->setParent(this);
  form_->PagePanel->setParent(this);
  column->addWidget(form_->ToolBar);
  column->addWidget(form_->PagePanel, 1);
  form_->ToolBar->setVisible(showToolbar_);
  form_->PagePanel->setVisible(true);
}

void TrpPreview::ConnectReport(TrpReport& report) {
  form_->report_ = &report;
  report.SetPreview(form_.get());  // forgotten when the panel (and its window) goes
  form_->SetPages(&report.EMFPages);
  form_->ApplyReportOptions();
  // The host form's wheel comes here when nothing under the pointer takes it.
  QWidget* top = window();
  if (top != wheelSource_) {
    if (wheelSource_) wheelSource_->removeEventFilter(this);
    wheelSource_ = top != this ? top : nullptr;
    if (wheelSource_) wheelSource_->installEventFilter(this);
  }
}

void TrpPreview::ConnectPages(TrpEMFPages& pages) {
  form_->report_ = nullptr;
  form_->SetPages(&pages);
  form_->ApplyReportOptions();
}

int TrpPreview::GetPageNo() const { return form_->PageNo(); }

void TrpPreview::SetShowToolbar(bool show) {
  showToolbar_ = show;
  form_->ToolBar->setVisible(show);
}

void TrpPreview::SetScrollBars(TrpScrollBars bars) {
  scrollBars_ = bars;
  const bool v = bars == TrpScrollBars::ssBoth || bars == TrpScrollBars::ssVertical;
  const bool h = bars == TrpScrollBars::ssBoth || bars == TrpScrollBars::ssHorizontal;
  form_->ShowBars(v, h);
}

void TrpPreview::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  TPanel::KeyDown(Key, Shift);
  if (Key && form_->HandleKey(Key, Shift)) Key = 0;
}

bool TrpPreview::eventFilter(QObject* watched, QEvent* e) {
  if (watched == wheelSource_ && e->type() == QEvent::Wheel && isVisible()) {
    auto* we = static_cast<QWheelEvent*>(e);
    QWheelEvent copy(form_->PBox->viewport()->mapFromGlobal(we->globalPosition()), we->globalPosition(),
                     we->pixelDelta(), we->angleDelta(), we->buttons(), we->modifiers(), we->phase(), we->inverted());
    QCoreApplication::sendEvent(form_->PBox->viewport(), &copy);
    return true;
  }
  return TPanel::eventFilter(watched, e);
}
