#include "platform/gui/Containers.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <algorithm>

#include "platform/core/DrawUtils.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

TPanel::TPanel(QWidget* parent) : TCustomControl(parent) {
  SetColor(clBtnFace);
  resize(185, 41);
}

void TPanel::Paint(TCanvas& canvas) {
  TRect r = ClientRect();
  canvas.Brush.Color = Color();
  canvas.FillRect(r);
  auto bevel = [&](TPanelBevel b) {
    if (b == TPanelBevel::bvNone) return;
    Draw3DRect(canvas, r, b == TPanelBevel::bvRaised ? clBtnHighlight : clBtnShadow,
               b == TPanelBevel::bvRaised ? clBtnShadow : clBtnHighlight);
    r = InflateRect(r, -1, -1);
  };
  bevel(BevelOuter);
  bevel(BevelInner);
  if (!Caption.empty()) {
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.Font = Font();
    canvas.DrawText(Caption, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
}

// ---------------------------------------------------------------------------------

TGroupBox::TGroupBox(QWidget* parent, const AnsiString& caption) : QGroupBox(parent) {
  setFont(ToQFont(TFont{}));
  SetCaption(caption);
}

AnsiString TGroupBox::Caption() const { return FromQString(title()); }
void TGroupBox::SetCaption(const AnsiString& caption) { setTitle(ToQString(caption)); }

// ---------------------------------------------------------------------------------

TRadioGroup::TRadioGroup(QWidget* parent, const AnsiString& caption)
    : TGroupBox(parent, caption), group_(new QButtonGroup(this)) {
  group_->setExclusive(true);
  QObject::connect(group_, &QButtonGroup::idClicked, this, [this](int id) { SetItemIndex(id); });
}

void TRadioGroup::SetItems(const std::vector<AnsiString>& items) {
  for (QRadioButton* b : buttons_) delete b;
  buttons_.clear();
  items_ = items;
  for (std::size_t i = 0; i < items_.size(); ++i) {
    auto* b = new QRadioButton(ToQString(items_[i]), this);
    b->setObjectName(objectName() + QString::number(i));
    group_->addButton(b, static_cast<int>(i));
    buttons_.push_back(b);
    b->show();
  }
  itemIndex_ = -1;
  Arrange();
}

QRadioButton* TRadioGroup::Button(int index) const {
  return index >= 0 && index < static_cast<int>(buttons_.size()) ? buttons_[static_cast<std::size_t>(index)]
                                                                 : nullptr;
}

void TRadioGroup::SetItemIndex(int index) {
  if (index < -1 || index >= static_cast<int>(buttons_.size())) index = -1;
  const bool changed = index != itemIndex_;
  itemIndex_ = index;
  if (index >= 0) {
    buttons_[static_cast<std::size_t>(index)]->setChecked(true);
  } else if (QAbstractButton* b = group_->checkedButton()) {
    group_->setExclusive(false);
    b->setChecked(false);
    group_->setExclusive(true);
  }
  if (changed) GuardedCall(this, [this] {
      if (OnClick) OnClick(this);
    });
}

void TRadioGroup::SetColumns(int columns) {
  columns_ = std::max(columns, 1);
  Arrange();
}

void TRadioGroup::resizeEvent(QResizeEvent* e) {
  TGroupBox::resizeEvent(e);
  Arrange();
}

void TRadioGroup::Arrange() {
  // The class library's layout: the items fill the columns top down, the rows share
  // the height under the caption evenly.
  const int n = static_cast<int>(buttons_.size());
  if (n == 0) return;
  const int rows = (n + columns_ - 1) / columns_;
  const QRect area = contentsRect().adjusted(8, 2, -4, -2);
  const int colWidth = area.width() / columns_;
  const int rowHeight = std::max(area.height() / rows, 1);
  for (int i = 0; i < n; ++i) {
    const int col = i / rows, row = i % rows;
    const int h = std::min(rowHeight, buttons_[static_cast<std::size_t>(i)]->sizeHint().height());
    buttons_[static_cast<std::size_t>(i)]->setGeometry(area.left() + col * colWidth,
                                                       area.top() + row * rowHeight + (rowHeight - h) / 2, colWidth,
                                                       h);
  }
}

// ---------------------------------------------------------------------------------

TNotebook::TNotebook(QWidget* parent) : QStackedWidget(parent) {
  QObject::connect(this, &QStackedWidget::currentChanged, this, [this] {
    GuardedCall(this, [this] {
      if (OnPageChanged) OnPageChanged(this);
    });
  });
}

QWidget* TNotebook::AddPage(const AnsiString& name) {
  auto* page = new QWidget;
  page->setObjectName(ToQString(name));
  names_.push_back(name);
  addWidget(page);
  return page;
}

void TNotebook::SetPageIndex(int index) {
  if (index >= 0 && index < count()) setCurrentIndex(index);
}

AnsiString TNotebook::ActivePage() const {
  const int i = currentIndex();
  return i >= 0 && i < static_cast<int>(names_.size()) ? names_[static_cast<std::size_t>(i)] : AnsiString();
}

void TNotebook::SetActivePage(const AnsiString& name) {
  for (std::size_t i = 0; i < names_.size(); ++i)
    if (names_[i] == name) setCurrentIndex(static_cast<int>(i));
}
