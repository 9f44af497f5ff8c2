#include "planner/gui/FlowToolBar.h"

#include <QLayout>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QToolButton>
#include <algorithm>
#include <vector>

namespace {

// The bar between two groups, drawn as the style draws a tool bar's separator.
class TFlowSeparator : public QWidget {
 public:
  explicit TFlowSeparator(QWidget* parent) : QWidget(parent) {}
  QSize sizeHint() const override {
    const int extent = style()->pixelMetric(QStyle::PM_ToolBarSeparatorExtent, nullptr, this);
    return {std::max(extent, 4), 8};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    QStyleOption option;
    option.initFrom(this);
    option.state |= QStyle::State_Horizontal;
    style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &option, &p, this);
  }
};

// Lays the items out left to right in lines as wide as the bar; the height follows the
// width. A separator that would end or start a line is not shown.
class TFlowLayout : public QLayout {
 public:
  explicit TFlowLayout(QWidget* parent) : QLayout(parent) {
    setContentsMargins(2, 1, 2, 1);
    setSpacing(1);
  }
  ~TFlowLayout() override {
    while (QLayoutItem* item = takeAt(0)) delete item;
  }
  void addItem(QLayoutItem* item) override { items_.push_back(item); }
  int count() const override { return static_cast<int>(items_.size()); }
  QLayoutItem* itemAt(int index) const override {
    return index >= 0 && index < count() ? items_[static_cast<std::size_t>(index)] : nullptr;
  }
  QLayoutItem* takeAt(int index) override {
    if (index < 0 || index >= count()) return nullptr;
    QLayoutItem* item = items_[static_cast<std::size_t>(index)];
    items_.erase(items_.begin() + index);
    return item;
  }
  Qt::Orientations expandingDirections() const override { return {}; }
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override { return Arrange(QRect(0, 0, width, 0), false); }
  // One line with every item; the least width is that of the widest item.
  QSize sizeHint() const override {
    int width = 0, height = 0;
    for (QLayoutItem* item : items_) {
      width += item->sizeHint().width() + spacing();
      height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
  }
  QSize minimumSize() const override {
    int width = 0;
    for (QLayoutItem* item : items_) width = std::max(width, item->sizeHint().width());
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), heightForWidth(width + m.left() + m.right())};
  }
  void setGeometry(const QRect& rect) override {
    QLayout::setGeometry(rect);
    Arrange(rect, true);
  }

 private:
  static bool IsSeparator(const QLayoutItem* item) {
    return dynamic_cast<TFlowSeparator*>(item->widget()) != nullptr;
  }
  // Places the items (when apply) and returns the height they take.
  int Arrange(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = spacing();
    int x = area.x(), y = area.y(), lineHeight = 0;
    for (std::size_t i = 0; i < items_.size(); ++i) {
      QLayoutItem* item = items_[i];
      if (IsSeparator(item)) {
        // The group after it: its width decides whether it starts a new line.
        int group = 0;
        for (std::size_t k = i + 1; k < items_.size() && !IsSeparator(items_[k]); ++k)
          group += items_[k]->sizeHint().width() + (group > 0 ? gap : 0);
        const int w = item->sizeHint().width();
        const bool fits = x + w + gap + group <= area.right() + 1;
        if (x > area.x() && fits) {
          if (apply) item->setGeometry(QRect(x, y, w, lineHeight > 0 ? lineHeight : item->sizeHint().height()));
          x += w + gap;
        } else {
          if (apply) item->setGeometry(QRect(x, y, 0, 0));
          if (x > area.x()) {
            x = area.x();
            y += lineHeight + gap;
            lineHeight = 0;
          }
        }
        continue;
      }
      const QSize size = item->sizeHint();
      if (x > area.x() && x + size.width() > area.right() + 1) {
        x = area.x();
        y += lineHeight + gap;
        lineHeight = 0;
      }
      if (apply) item->setGeometry(QRect(QPoint(x, y), size));
      x += size.width() + gap;
      lineHeight = std::max(lineHeight, size.height());
    }
    const QMargins m = contentsMargins();
    return y + lineHeight - rect.y() + m.bottom();
  }

  std::vector<QLayoutItem*> items_;
};

}  // namespace

TFlowToolBar::TFlowToolBar(QWidget* parent) : QWidget(parent) {
  new TFlowLayout(this);
}

QToolButton* TFlowToolBar::addAction(QAction* action) {
  auto* button = new QToolButton(this);
  button->setDefaultAction(action);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus);
  layout()->addWidget(button);
  return button;
}

void TFlowToolBar::addSeparator() { layout()->addWidget(new TFlowSeparator(this)); }
