// A plain view of a tree model (TCustomMtTree) for the planner's windows while the
// multi-column tree control is not part of the program: it paints the model's visible
// rows in columns under a header line, moves the model's focus with the mouse and the
// keys, toggles expansion, and reports activation, typed text, header clicks and drops
// to its window. It keeps no state of its own beyond the scroll position; every decision
// stays with the model and the window's document logic.
//
// Columns: each shows the item text (TextIndex -1) or a column text; the first column is
// indented by the item's level and carries the expand sign.
#pragma once

#include <QAbstractScrollArea>
#include <functional>
#include <vector>

#include "controls/tree/MtTree.h"

struct TRowColumn {
  AnsiString Caption;  // 1251
  int TextIndex = -1;
  int Width = 80;
  bool RightAligned = false;
};

class TRowTreeView : public QAbstractScrollArea {
 public:
  TRowTreeView(TCustomMtTree& model, QWidget* parent = nullptr);

  TCustomMtTree& Model() const { return model_; }
  void SetColumns(std::vector<TRowColumn> columns);
  const std::vector<TRowColumn>& Columns() const { return columns_; }
  void SetHeaderCaption(int column, const AnsiString& caption);
  // Background of the rows (0x00BBGGRR or a system colour).
  void SetRowColor(TColor color);
  // The model changed: lay out and repaint.
  void Refresh();

  int RowHeight() const { return rowHeight_; }
  int HeaderHeight() const { return rowHeight_ + 4; }
  // The item on a viewport point; nil outside the rows.
  TMtTreeItem* ItemAt(const QPoint& p) const;
  // The viewport rectangle of an item's row (empty when not on a row).
  QRect RowRect(const TMtTreeItem* item) const;
  // The column under an x of the viewport; -1 outside.
  int ColumnAt(int x) const;
  // The left edge (viewport x) and width of a column's cell.
  std::pair<int, int> ColumnSpan(int column) const;

  // --- events for the window
  std::function<void(TMtTreeItem* item)> OnActivate;      // Enter or a double click
  std::function<bool(QKeyEvent* e)> OnKey;                // first look at every key; true: handled
  std::function<void(int column)> OnHeaderClick;
  std::function<void()> OnFocusChange;                    // the model's focused item moved
  // Dragging rows: the window says whether a drag from source may drop on target and
  // carries it out; Shift held at the drop moves.
  std::function<bool(TRowTreeView* source, TMtTreeItem* target)> OnCanDrop;
  std::function<void(TRowTreeView* source, TMtTreeItem* target, bool move)> OnDrop;
  // What a drop at p from source does (the path of a real drop, without the system's
  // drag loop); false when refused.
  bool DropFrom(TRowTreeView* source, const QPoint& p, bool move);

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseDoubleClickEvent(QMouseEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  void UpdateScrollBars();
  void Focus(TMtTreeItem* item);
  void EnsureVisible(TMtTreeItem* item);
  int TotalWidth() const;

  TCustomMtTree& model_;
  std::vector<TRowColumn> columns_;
  TColor rowColor_ = 0x80000005;  // window
  int rowHeight_ = 18;
  QPoint pressPos_;
  bool pressed_ = false;
};
