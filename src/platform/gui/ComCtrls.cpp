#include "platform/gui/ComCtrls.h"

#include <QHeaderView>
#include <QShowEvent>
#include <QTabBar>
#include <QToolButton>
#include <algorithm>

#include "platform/core/DrawUtils.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Align.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

// ---------------------------------------------------------------------------------
// Page control

TTabSheet::TTabSheet(TPageControl* control, const AnsiString& name, const AnsiString& caption)
    : control_(control), caption_(caption) {
  setObjectName(ToQString(name));
}

void TTabSheet::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  control_->RebuildTabs();
}

void TTabSheet::SetTabVisible(bool visible) {
  tabVisible_ = visible;
  control_->RebuildTabs();
}

int TTabSheet::PageIndex() const {
  const auto& s = control_->sheets_;
  return static_cast<int>(std::find(s.begin(), s.end(), this) - s.begin());
}

void TTabSheet::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  if (!e->spontaneous()) GuardedCall(this, [this] {
      if (OnShow) OnShow(this);
    });
}

void TTabSheet::hideEvent(QHideEvent* e) {
  QWidget::hideEvent(e);
  if (!e->spontaneous()) GuardedCall(this, [this] {
      if (OnHide) OnHide(this);
    });
}

TPageControl::TPageControl(QWidget* parent)
    : QWidget(parent), tabBar_(new QTabBar(this)), stack_(new QStackedWidget(this)) {
  tabBar_->setObjectName("tabs");
  tabBar_->setDrawBase(true);
  tabBar_->setExpanding(false);
  // The tab the user clicks: OnChanging may refuse it.
  QObject::connect(tabBar_, &QTabBar::tabBarClicked, this, [this](int tab) {
    GuardedCall(this, [&] { ClickTab(SheetOfTab(tab)); });
  });
  QObject::connect(tabBar_, &QTabBar::currentChanged, this, [this](int tab) {
    // Keys on the bar (arrows) also change the tab.
    if (rebuilding_) return;
    TTabSheet* sheet = SheetOfTab(tab);
    if (sheet && sheet != ActivePage()) GuardedCall(this, [&] { ClickTab(sheet); });
  });
}

TTabSheet* TPageControl::AddSheet(const AnsiString& name, const AnsiString& caption) {
  auto* sheet = new TTabSheet(this, name, caption);
  sheets_.push_back(sheet);
  stack_->addWidget(sheet);
  RebuildTabs();
  return sheet;
}

TTabSheet* TPageControl::ActivePage() const { return dynamic_cast<TTabSheet*>(stack_->currentWidget()); }

int TPageControl::ActivePageIndex() const {
  TTabSheet* p = ActivePage();
  return p ? p->PageIndex() : -1;
}

void TPageControl::SetActivePageIndex(int index) {
  if (index >= 0 && index < PageCount()) SetActivePage(Pages(index));
}

void TPageControl::SetActivePage(TTabSheet* sheet) {
  if (!sheet || sheet->control_ != this) return;
  stack_->setCurrentWidget(sheet);
  RebuildTabs();
}

TTabSheet* TPageControl::SheetOfTab(int tab) const {
  if (tab < 0 || tab >= tabBar_->count()) return nullptr;
  const int index = tabBar_->tabData(tab).toInt();
  return index >= 0 && index < PageCount() ? Pages(index) : nullptr;
}

void TPageControl::ClickTab(TTabSheet* sheet) {
  if (!sheet || sheet == ActivePage()) return;
  bool allow = true;
  if (OnChanging) OnChanging(this, allow);
  if (allow) {
    SetActivePage(sheet);
    if (OnChange) OnChange(this);
  } else {
    RebuildTabs();  // the bar goes back to the active page's tab
  }
}

void TPageControl::RebuildTabs() {
  rebuilding_ = true;
  while (tabBar_->count() > 0) tabBar_->removeTab(0);
  TTabSheet* active = ActivePage();
  int current = -1;
  for (std::size_t i = 0; i < sheets_.size(); ++i) {
    if (!sheets_[i]->tabVisible_) continue;
    const int tab = tabBar_->addTab(ToQString(sheets_[i]->caption_));
    tabBar_->setTabData(tab, static_cast<int>(i));
    if (sheets_[i] == active) current = tab;
  }
  if (current >= 0) tabBar_->setCurrentIndex(current);
  tabBar_->setVisible(tabBar_->count() > 0);
  rebuilding_ = false;
  Layout();
}

void TPageControl::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  Layout();
}

void TPageControl::Layout() {
  const int barHeight = tabBar_->count() > 0 ? tabBar_->sizeHint().height() : 0;
  tabBar_->setGeometry(0, 0, width(), barHeight);
  stack_->setGeometry(0, barHeight, width(), std::max(height() - barHeight, 0));
}

// ---------------------------------------------------------------------------------
// List view

TListView::TListView(QWidget* parent, TViewStyle style) : TInputControl<QTreeWidget>(parent), style_(style) {
  setRootIsDecorated(false);
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setAllColumnsShowFocus(true);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  ApplyStyle();
  QObject::connect(this, &QTreeWidget::itemSelectionChanged, this, [this] {
    GuardedCall(this, [this] {
      const int now = ItemIndex();
      if (now == lastSelected_) return;
      const int old = lastSelected_;
      lastSelected_ = now;
      if (!OnSelectItem) return;
      if (old >= 0) OnSelectItem(this, old, false);
      if (now >= 0) OnSelectItem(this, now, true);
    });
  });
  QObject::connect(this, &QTreeWidget::itemClicked, this, [this] { GuardedCall(this, [this] { Click(); }); });
  QObject::connect(this, &QTreeWidget::itemDoubleClicked, this,
                   [this] { GuardedCall(this, [this] { DblClick(); }); });
}

void TListView::SetViewStyle(TViewStyle style) {
  style_ = style;
  ApplyStyle();
}

void TListView::ApplyStyle() {
  setHeaderHidden(style_ == TViewStyle::vsList);
  if (style_ == TViewStyle::vsList) {
    for (int c = 1; c < columnCount(); ++c) setColumnHidden(c, true);
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  } else {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    for (int c = 0; c < columnCount(); ++c) setColumnHidden(c, header()->sectionSize(c) == 0);
  }
}

void TListView::AddColumn(const AnsiString& caption, int width, TAlignment alignment) {
  const int c = static_cast<int>(alignments_.size());
  alignments_.push_back(alignment);
  setColumnCount(c + 1);
  QTreeWidgetItem* h = headerItem();
  h->setText(c, ToQString(caption));
  const Qt::Alignment a = alignment == TAlignment::taRightJustify ? Qt::AlignRight
                          : alignment == TAlignment::taCenter    ? Qt::AlignHCenter
                                                                 : Qt::AlignLeft;
  h->setTextAlignment(c, a | Qt::AlignVCenter);
  SetColumnWidth(c, width);
}

void TListView::SetColumnWidth(int column, int width) {
  if (style_ == TViewStyle::vsList && column == 0) {
    // The one column of the list mode is as wide as the view.
    header()->setSectionResizeMode(0, QHeaderView::Stretch);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return;
  }
  header()->setSectionResizeMode(column, QHeaderView::Interactive);
  if (width > 0) setColumnWidth(column, width);
  setColumnHidden(column, width == 0 || (style_ == TViewStyle::vsList && column > 0));
}

int TListView::AddItem(const AnsiString& caption, const std::vector<AnsiString>& subItems, void* data) {
  auto* item = new QTreeWidgetItem(this);
  item->setText(0, ToQString(caption));
  for (std::size_t i = 0; i < subItems.size(); ++i) {
    const int c = static_cast<int>(i) + 1;
    item->setText(c, ToQString(subItems[i]));
    if (i + 1 < alignments_.size() && alignments_[i + 1] == TAlignment::taRightJustify)
      item->setTextAlignment(c, Qt::AlignRight | Qt::AlignVCenter);
  }
  data_.push_back(data);
  return Count() - 1;
}

void TListView::Clear() {
  clear();
  data_.clear();
  lastSelected_ = -1;
}

AnsiString TListView::Caption(int item) const {
  const QTreeWidgetItem* i = topLevelItem(item);
  return i ? FromQString(i->text(0)) : AnsiString();
}

AnsiString TListView::SubItem(int item, int index) const {
  const QTreeWidgetItem* i = topLevelItem(item);
  return i ? FromQString(i->text(index + 1)) : AnsiString();
}

void TListView::SetSubItem(int item, int index, const AnsiString& text) {
  if (QTreeWidgetItem* i = topLevelItem(item)) i->setText(index + 1, ToQString(text));
}

void* TListView::Data(int item) const {
  return item >= 0 && item < static_cast<int>(data_.size()) ? data_[static_cast<std::size_t>(item)] : nullptr;
}

int TListView::ItemIndex() const {
  const QList<QTreeWidgetItem*> selected = selectedItems();
  return selected.isEmpty() ? -1 : indexOfTopLevelItem(selected.front());
}

void TListView::SetItemIndex(int item) {
  if (QTreeWidgetItem* i = topLevelItem(item)) {
    setCurrentItem(i);
    i->setSelected(true);
  } else {
    clearSelection();
  }
}

// ---------------------------------------------------------------------------------
// Status bar

TStatusBar::TStatusBar(QWidget* parent) : TCustomControl(parent) {
  SetColor(clBtnFace);
  resize(200, 19);
  SetAlign(this, TAlign::alBottom);
}

void TStatusBar::SetPanelText(int index, const AnsiString& text) {
  if (index < 0 || index >= static_cast<int>(Panels.size())) return;
  Panels[static_cast<std::size_t>(index)].Text = text;
  Invalidate();
}

void TStatusBar::ShowHintText(const AnsiString& hint) {
  if (!AutoHint || hint == hint_) return;
  hint_ = hint;
  Invalidate();
}

std::vector<TRect> TStatusBar::PanelRects() const {
  std::vector<TRect> out;
  const TRect client = ClientRect();
  if (SimplePanel || !hint_.empty() || Panels.empty()) {
    out.push_back(Rect(client.Left, client.Top + 2, client.Right, client.Bottom));
    return out;
  }
  int x = 0;
  for (std::size_t i = 0; i < Panels.size(); ++i) {
    const bool last = i + 1 == Panels.size();
    const int right = last ? client.Right : std::min(x + Panels[i].Width, client.Right);
    out.push_back(Rect(x, client.Top + 2, right, client.Bottom));
    x = right + 2;
  }
  return out;
}

void TStatusBar::Paint(TCanvas& canvas) {
  canvas.Brush.Color = Color();
  canvas.FillRect(ClientRect());
  canvas.Font = Font();
  const std::vector<TRect> rects = PanelRects();
  for (std::size_t i = 0; i < rects.size(); ++i) {
    TRect r = rects[i];
    DrawEdge(canvas, r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    AnsiString text;
    unsigned align = DT_LEFT;
    if (!hint_.empty()) text = hint_;
    else if (SimplePanel || Panels.empty()) text = SimpleText;
    else {
      text = Panels[i].Text;
      align = Panels[i].Alignment == TAlignment::taRightJustify ? DT_RIGHT
              : Panels[i].Alignment == TAlignment::taCenter   ? DT_CENTER
                                                              : DT_LEFT;
    }
    r = InflateRect(r, -2, 0);
    canvas.Brush.Style = TBrushStyle::bsClear;
    canvas.DrawText(text, r, align | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    canvas.Brush.Style = TBrushStyle::bsSolid;
  }
}

// ---------------------------------------------------------------------------------
// Tool bar

TToolBar::TToolBar(QWidget* parent, const AnsiString& name) : QToolBar(parent) {
  setObjectName(ToQString(name));
  setMovable(false);
  setFloatable(false);
  setIconSize(QSize(16, 16));
  setToolButtonStyle(Qt::ToolButtonIconOnly);
  setFont(ToQFont(TFont{}));
  resize(200, 26);
  SetAlign(this, TAlign::alTop);
}

void TToolBar::AddAction(TAction* action) { addAction(action->QtAction()); }

void TToolBar::AddSeparator() { addSeparator(); }

QWidget* TToolBar::ButtonOf(const TAction* action) const { return widgetForAction(action->QtAction()); }
