// Containers of the forms: panels with bevels, group boxes, radio groups and the
// notebook (stacked pages, one visible at a time). Children are placed by SetBounds /
// setGeometry or by alignment (Align.h).
#pragma once

#include <QGroupBox>
#include <QStackedWidget>
#include <vector>

#include "platform/gui/Controls.h"

class QButtonGroup;
class QRadioButton;

enum class TPanelBevel { bvNone, bvLowered, bvRaised };

// A panel of its own drawing: button face, the outer and inner bevels, and the
// caption centred (empty by default).
class TPanel : public TCustomControl {
 public:
  explicit TPanel(QWidget* parent = nullptr);
  AnsiString Caption;
  TPanelBevel BevelOuter = TPanelBevel::bvRaised;
  TPanelBevel BevelInner = TPanelBevel::bvNone;
  void Paint(TCanvas& canvas) override;
};

class TGroupBox : public QGroupBox, public TObject {
 public:
  explicit TGroupBox(QWidget* parent = nullptr, const AnsiString& caption = {});
  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
};

// A group of radio buttons in Columns columns; ItemIndex -1 when none is chosen.
// OnClick fires when the user (or the program, through SetItemIndex) changes the
// choice.
class TRadioGroup : public TGroupBox {
 public:
  explicit TRadioGroup(QWidget* parent = nullptr, const AnsiString& caption = {});
  const std::vector<AnsiString>& Items() const { return items_; }
  void SetItems(const std::vector<AnsiString>& items);
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  int Columns() const { return columns_; }
  void SetColumns(int columns);
  // The radio button of an item (its object name is the group's name + the index).
  QRadioButton* Button(int index) const;
  TNotifyEvent OnClick;

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Arrange();
  std::vector<AnsiString> items_;
  std::vector<QRadioButton*> buttons_;
  QButtonGroup* group_;
  int itemIndex_ = -1;
  int columns_ = 1;
};

// Stacked pages: one page widget per name, the current one shown.
class TNotebook : public QStackedWidget, public TObject {
 public:
  explicit TNotebook(QWidget* parent = nullptr);
  // Adds a page (a plain widget, owned by the notebook) and returns it.
  QWidget* AddPage(const AnsiString& name);
  const std::vector<AnsiString>& Pages() const { return names_; }
  int PageIndex() const { return currentIndex(); }
  void SetPageIndex(int index);
  AnsiString ActivePage() const;
  void SetActivePage(const AnsiString& name);
  QWidget* Page(int index) const { return widget(index); }
  TNotifyEvent OnPageChanged;

 private:
  std::vector<AnsiString> names_;
};
