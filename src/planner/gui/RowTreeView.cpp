#include "planner/gui/RowTreeView.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "platform/gui/QtGraphics.h"

namespace {

constexpr int kIndent = 16;
constexpr const char* kRowsMime = "application/x-tarnwick-rows";
// The view a drag started from (in this process).
TRowTreeView* dragSource = nullptr;

}  // namespace

TRowTreeView::TRowTreeView(TCustomMtTree& model, QWidget* parent) : QAbstractScrollArea(parent), model_(model) {
  setFocusPolicy(Qt::StrongFocus);
  setAcceptDrops(true);
  viewport()->setAcceptDrops(true);
  rowHeight_ = std::max(18, fontMetrics().height() + 4);
}

void TRowTreeView::SetColumns(std::vector<TRowColumn> columns) {
  columns_ = std::move(columns);
  Refresh();
}

void TRowTreeView::SetHeaderCaption(int column, const AnsiString& caption) {
  if (column < 0 || column >= static_cast<int>(columns_.size())) return;
  columns_[static_cast<std::size_t>(column)].Caption = caption;
  viewport()->update();
}

void TRowTreeView::SetRowColor(TColor color) {
  rowColor_ = color;
  viewport()->update();
}

void TRowTreeView::Refresh() {
  UpdateScrollBars();
  viewport()->update();
}

int TRowTreeView::TotalWidth() const {
  int w = 0;
  for (const TRowColumn& c : columns_) w += c.Width;
  return w;
}

void TRowTreeView::UpdateScrollBars() {
  const int rows = static_cast<int>(model_.VisibleRows().size());
  const int page = std::max(1, (viewport()->height() - HeaderHeight()) / rowHeight_);
  verticalScrollBar()->setRange(0, std::max(0, rows - page));
  verticalScrollBar()->setPageStep(page);
  horizontalScrollBar()->setRange(0, std::max(0, TotalWidth() - viewport()->width()));
  horizontalScrollBar()->setPageStep(viewport()->width());
}

std::pair<int, int> TRowTreeView::ColumnSpan(int column) const {
  int x = -horizontalScrollBar()->value();
  for (int i = 0; i < column && i < static_cast<int>(columns_.size()); ++i) x += columns_[static_cast<std::size_t>(i)].Width;
  const int w = column >= 0 && column < static_cast<int>(columns_.size()) ? columns_[static_cast<std::size_t>(column)].Width : 0;
  return {x, w};
}

int TRowTreeView::ColumnAt(int x) const {
  for (int i = 0; i < static_cast<int>(columns_.size()); ++i) {
    const auto [left, width] = ColumnSpan(i);
    if (x >= left && x < left + width) return i;
  }
  return -1;
}

TMtTreeItem* TRowTreeView::ItemAt(const QPoint& p) const {
  if (p.y() < HeaderHeight()) return nullptr;
  const auto& rows = model_.VisibleRows();
  const int row = (p.y() - HeaderHeight()) / rowHeight_ + verticalScrollBar()->value();
  return row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)] : nullptr;
}

QRect TRowTreeView::RowRect(const TMtTreeItem* item) const {
  const auto& rows = model_.VisibleRows();
  auto it = std::find(rows.begin(), rows.end(), item);
  if (it == rows.end()) return {};
  const int row = static_cast<int>(it - rows.begin()) - verticalScrollBar()->value();
  return QRect(0, HeaderHeight() + row * rowHeight_, viewport()->width(), rowHeight_);
}

void TRowTreeView::paintEvent(QPaintEvent*) {
  QPainter p(viewport());
  const QPalette pal = palette();
  p.fillRect(viewport()->rect(), ToQColor(rowColor_));
  // Header.
  const QRect header(0, 0, viewport()->width(), HeaderHeight());
  p.fillRect(header, pal.button());
  QFont bold = font();
  bold.setBold(true);
  for (int c = 0; c < static_cast<int>(columns_.size()); ++c) {
    const auto [x, w] = ColumnSpan(c);
    const QRect cell(x, 0, w, HeaderHeight());
    p.setPen(pal.color(QPalette::Mid));
    p.drawRect(cell.adjusted(0, 0, -1, -1));
    p.setPen(pal.color(QPalette::ButtonText));
    p.drawText(cell.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
               ToQString(columns_[static_cast<std::size_t>(c)].Caption));
  }
  // Rows.
  const auto& rows = model_.VisibleRows();
  const int first = verticalScrollBar()->value();
  for (int r = first; r < static_cast<int>(rows.size()); ++r) {
    const int y = HeaderHeight() + (r - first) * rowHeight_;
    if (y > viewport()->height()) break;
    const TMtTreeItem* item = rows[static_cast<std::size_t>(r)];
    const bool focused = item == model_.ItemFocused();
    const QRect row(0, y, viewport()->width(), rowHeight_);
    if (!item->ParentColors() && item->BkColor() != rowColor_) p.fillRect(row, ToQColor(item->BkColor()));
    if (focused || item->GetState(isSelected))
      p.fillRect(row, hasFocus() || !focused ? pal.highlight() : pal.mid());
    QColor text = focused || item->GetState(isSelected) ? pal.color(QPalette::HighlightedText)
                  : item->ParentColors()               ? pal.color(QPalette::Text)
                                                       : ToQColor(item->Color());
    p.setFont(item->GetState(isBold) ? bold : font());
    for (int c = 0; c < static_cast<int>(columns_.size()); ++c) {
      const TRowColumn& col = columns_[static_cast<std::size_t>(c)];
      auto [x, w] = ColumnSpan(c);
      if (c == 0) {
        const int indent = item->GetLevel() * kIndent;
        if (item->GetHasChildren()) {
          const QRect sign(x + indent + 3, y + (rowHeight_ - 9) / 2, 9, 9);
          p.setPen(pal.color(QPalette::Mid));
          p.drawRect(sign);
          p.setPen(text);
          p.drawLine(sign.left() + 2, sign.center().y(), sign.right() - 2, sign.center().y());
          if (!item->GetExpanded()) p.drawLine(sign.center().x(), sign.top() + 2, sign.center().x(), sign.bottom() - 2);
        }
        x += indent + kIndent;
        w -= indent + kIndent;
      }
      const TStringList& texts = item->ColumnText();
      const AnsiString s = col.TextIndex < 0 ? item->Text()
                           : col.TextIndex < texts.Count() ? texts[col.TextIndex] : AnsiString();
      p.setPen(text);
      p.drawText(QRect(x + 3, y, std::max(0, w - 6), rowHeight_),
                 Qt::AlignVCenter | Qt::TextSingleLine | (col.RightAligned ? Qt::AlignRight : Qt::AlignLeft),
                 ToQString(s));
    }
    p.setPen(pal.color(QPalette::Midlight));
    p.drawLine(0, y + rowHeight_ - 1, viewport()->width(), y + rowHeight_ - 1);
  }
}

void TRowTreeView::resizeEvent(QResizeEvent* e) {
  QAbstractScrollArea::resizeEvent(e);
  UpdateScrollBars();
}

void TRowTreeView::scrollContentsBy(int, int) { viewport()->update(); }

void TRowTreeView::Focus(TMtTreeItem* item) {
  if (item == nullptr || item == model_.ItemFocused()) return;
  model_.SetItemFocused(item);
  EnsureVisible(item);
  viewport()->update();
  if (OnFocusChange) OnFocusChange();
}

void TRowTreeView::EnsureVisible(TMtTreeItem* item) {
  const auto& rows = model_.VisibleRows();
  auto it = std::find(rows.begin(), rows.end(), item);
  if (it == rows.end()) return;
  const int row = static_cast<int>(it - rows.begin());
  QScrollBar* sb = verticalScrollBar();
  if (row < sb->value()) sb->setValue(row);
  if (row >= sb->value() + sb->pageStep()) sb->setValue(row - sb->pageStep() + 1);
}

void TRowTreeView::mousePressEvent(QMouseEvent* e) {
  setFocus(Qt::MouseFocusReason);
  const QPoint pos = e->position().toPoint();
  if (pos.y() < HeaderHeight()) {
    const int c = ColumnAt(pos.x());
    if (c >= 0 && OnHeaderClick) OnHeaderClick(c);
    return;
  }
  TMtTreeItem* item = ItemAt(pos);
  if (item == nullptr) return;
  const int signLeft = ColumnSpan(0).first + item->GetLevel() * kIndent;
  if (item->GetHasChildren() && pos.x() >= signLeft && pos.x() < signLeft + kIndent) {
    item->SetExpanded(!item->GetExpanded());
    Refresh();
  }
  Focus(item);
  pressPos_ = pos;
  pressed_ = e->button() == Qt::LeftButton;
}

void TRowTreeView::mouseMoveEvent(QMouseEvent* e) {
  if (!pressed_ || !(e->buttons() & Qt::LeftButton)) return;
  if ((e->position().toPoint() - pressPos_).manhattanLength() < QApplication::startDragDistance()) return;
  pressed_ = false;
  if (model_.ItemFocused() == nullptr || !OnCanDrop) return;
  auto* drag = new QDrag(this);
  auto* mime = new QMimeData;
  mime->setData(kRowsMime, QByteArray());
  drag->setMimeData(mime);
  dragSource = this;
  drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::CopyAction);
  dragSource = nullptr;
}

void TRowTreeView::mouseDoubleClickEvent(QMouseEvent* e) {
  TMtTreeItem* item = ItemAt(e->position().toPoint());
  if (item == nullptr) return;
  Focus(item);
  if (OnActivate) OnActivate(item);
}

void TRowTreeView::keyPressEvent(QKeyEvent* e) {
  if (OnKey && OnKey(e)) return;
  const auto& rows = model_.VisibleRows();
  TMtTreeItem* f = model_.ItemFocused();
  auto it = std::find(rows.begin(), rows.end(), f);
  const int row = it == rows.end() ? -1 : static_cast<int>(it - rows.begin());
  const int n = static_cast<int>(rows.size());
  auto at = [&](int r) { return n == 0 ? nullptr : rows[static_cast<std::size_t>(std::clamp(r, 0, n - 1))]; };
  switch (e->key()) {
    case Qt::Key_Down: Focus(at(row + 1)); break;
    case Qt::Key_Up: Focus(at(row < 0 ? 0 : row - 1)); break;
    case Qt::Key_PageDown: Focus(at(row + verticalScrollBar()->pageStep())); break;
    case Qt::Key_PageUp: Focus(at(row - verticalScrollBar()->pageStep())); break;
    case Qt::Key_Home: Focus(at(0)); break;
    case Qt::Key_End: Focus(at(n - 1)); break;
    case Qt::Key_Right:
      if (f != nullptr && f->GetHasChildren() && !f->GetExpanded()) f->SetExpanded(true);
      Refresh();
      break;
    case Qt::Key_Left:
      if (f != nullptr && f->GetExpanded()) f->SetExpanded(false);
      else if (f != nullptr && f->GetParent() != nullptr) Focus(f->GetParent());
      Refresh();
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (f != nullptr && OnActivate) OnActivate(f);
      break;
    default: QAbstractScrollArea::keyPressEvent(e); return;
  }
  e->accept();
}

bool TRowTreeView::DropFrom(TRowTreeView* source, const QPoint& p, bool move) {
  TMtTreeItem* target = ItemAt(p);
  if (source == nullptr || !OnCanDrop || !OnCanDrop(source, target)) return false;
  if (OnDrop) OnDrop(source, target, move);
  return true;
}

void TRowTreeView::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasFormat(kRowsMime) && dragSource != nullptr) e->acceptProposedAction();
}

void TRowTreeView::dragMoveEvent(QDragMoveEvent* e) {
  TMtTreeItem* target = ItemAt(e->position().toPoint());
  if (dragSource != nullptr && OnCanDrop && OnCanDrop(dragSource, target)) e->acceptProposedAction();
  else e->ignore();
}

void TRowTreeView::dropEvent(QDropEvent* e) {
  const bool move = (e->modifiers() & Qt::ShiftModifier) != 0;
  if (DropFrom(dragSource, e->position().toPoint(), move)) e->acceptProposedAction();
}
