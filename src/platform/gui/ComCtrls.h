// The common controls the forms use: page controls with sheets, list views in list and
// report modes, the status bar and tool bars.
//
// Page control: the sheets stack in one area; the tab bar shows the tabs of the sheets
// whose TabVisible is on (no bar when none is), and a sheet with a hidden tab can still
// be the active page. A sheet's OnShow fires whenever it becomes visible: when it
// becomes the active page of a shown control, and when its control is shown with it
// active. A click on a tab asks OnChanging (AllowChange) first and fires OnChange after;
// setting ActivePage in code fires neither.
#pragma once

#include <QStackedWidget>
#include <QToolBar>
#include <QTreeWidget>
#include <functional>
#include <memory>
#include <vector>

#include "platform/core/ImageList.h"
#include "platform/gui/Controls.h"
#include "platform/gui/StdCtrls.h"

class QTabBar;
class TAction;
class TPageControl;

class TTabSheet : public QWidget, public TObject {
 public:
  AnsiString Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  bool TabVisible() const { return tabVisible_; }
  void SetTabVisible(bool visible);
  int PageIndex() const;
  TPageControl* PageControl() const { return control_; }
  TNotifyEvent OnShow, OnHide;

 protected:
  void showEvent(QShowEvent* e) override;
  void hideEvent(QHideEvent* e) override;

 private:
  friend class TPageControl;
  TTabSheet(TPageControl* control, const AnsiString& name, const AnsiString& caption);
  TPageControl* control_;
  AnsiString caption_;
  bool tabVisible_ = true;
};

using TTabChangingEvent = std::function<void(TObject* Sender, bool& AllowChange)>;

class TPageControl : public QWidget, public TObject {
 public:
  explicit TPageControl(QWidget* parent = nullptr);
  // Adds a sheet (owned by the control); its object name is `name`.
  TTabSheet* AddSheet(const AnsiString& name, const AnsiString& caption);
  int PageCount() const { return static_cast<int>(sheets_.size()); }
  TTabSheet* Pages(int index) const { return sheets_.at(static_cast<std::size_t>(index)); }
  TTabSheet* ActivePage() const;
  void SetActivePage(TTabSheet* sheet);
  int ActivePageIndex() const;
  void SetActivePageIndex(int index);
  // The tab bar (for tests: a click on tab i is tabBar->tabBarClicked(i)).
  QTabBar* TabBar() const { return tabBar_; }
  // The sheet behind a tab of the bar; nil when none.
  TTabSheet* SheetOfTab(int tab) const;
  // What a click on the tab of `sheet` does.
  void ClickTab(TTabSheet* sheet);

  TTabChangingEvent OnChanging;
  TNotifyEvent OnChange;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  friend class TTabSheet;
  void RebuildTabs();
  void Layout();
  QTabBar* tabBar_;
  QStackedWidget* stack_;
  std::vector<TTabSheet*> sheets_;
  bool rebuilding_ = false;
};

// A list view: vsList shows the item captions in one column without a header; vsReport
// shows columns (caption, width, alignment; a width of 0 hides one) with the captions
// in the first and the sub-items in the others.
enum class TViewStyle { vsList, vsReport };
enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

class TListView : public TInputControl<QTreeWidget> {
 public:
  explicit TListView(QWidget* parent = nullptr, TViewStyle style = TViewStyle::vsReport);
  TViewStyle ViewStyle() const { return style_; }
  void SetViewStyle(TViewStyle style);
  void AddColumn(const AnsiString& caption, int width, TAlignment alignment = TAlignment::taLeftJustify);
  int ColumnCount() const { return columnCount(); }
  void SetColumnWidth(int column, int width);

  // Items.
  int Count() const { return topLevelItemCount(); }
  int AddItem(const AnsiString& caption, const std::vector<AnsiString>& subItems = {}, void* data = nullptr);
  void Clear();
  AnsiString Caption(int item) const;
  AnsiString SubItem(int item, int index) const;
  void SetSubItem(int item, int index, const AnsiString& text);
  void* Data(int item) const;
  int ItemIndex() const;
  void SetItemIndex(int item);

  // Fired when the selected item changes (item -1: none).
  std::function<void(TObject* Sender, int Item, bool Selected)> OnSelectItem;

 private:
  void ApplyStyle();
  TViewStyle style_;
  std::vector<TAlignment> alignments_;
  std::vector<void*> data_;
  int lastSelected_ = -1;
};

// The status bar: panels of fixed widths (the last one takes the rest) or, with
// SimplePanel, one text across the bar. With AutoHint the long hints of the menu items
// and buttons under the pointer show across the bar while they last.
struct TStatusPanel {
  AnsiString Text;
  int Width = 50;
  TAlignment Alignment = TAlignment::taLeftJustify;
};

class TStatusBar : public TCustomControl {
 public:
  explicit TStatusBar(QWidget* parent = nullptr);
  std::vector<TStatusPanel> Panels;
  bool SimplePanel = false;
  AnsiString SimpleText;
  bool AutoHint = true;
  void SetPanelText(int index, const AnsiString& text);
  // The hint being shown (empty when none).
  const AnsiString& HintText() const { return hint_; }
  void ShowHintText(const AnsiString& hint);
  void Paint(TCanvas& canvas) override;
  // The rectangles of the panels as drawn.
  std::vector<TRect> PanelRects() const;

 private:
  AnsiString hint_;
};

// A tool bar of flat buttons, one per action (its image, hint and enabled state); it is
// aligned to the top of its form by default.
class TToolBar : public QToolBar, public TObject {
 public:
  explicit TToolBar(QWidget* parent = nullptr, const AnsiString& name = {});
  void AddAction(TAction* action);
  void AddSeparator();
  // The button that shows an action (nil when none).
  QWidget* ButtonOf(const TAction* action) const;
};
