// Drives the print-section dialog as a user does: mouse clicks on a row's check box and
// Space on a row, sent as Qt events to the tree control; reads back the check boxes as
// the tree holds them and as they are drawn.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <string>

#include "controls/gui/MtTreeView.h"
#include "planner/gui/PrnSelectForm.h"
#include "platform/gui/QtGraphics.h"

namespace prnselect {

// The dialog as the user sees it: shown, laid out.
inline void Show(TPrnSelectForm& d) {
  if (!d.isVisible()) d.show();
  QApplication::processEvents();
}

inline TMtTreeItem* Row(TPrnSelectForm& d, const char* key) {
  TMtTreeItem* item = d.FindByKey(key);
  EXPECT_NE(item, nullptr) << key;
  return item;
}

// The row's main cell in viewport coordinates.
inline TMtMainCell CellOf(TPrnSelectForm& d, TMtTreeItem* item) {
  d.MtTree1->EnsureVisible(item);
  TMtMainCell cell = d.MtTree1->MainCellOf(item, d.MtTree1->GetItemRect(item).Top);
  cell.CheckBox = OffsetRect(cell.CheckBox, -d.MtTree1->LeftPosition(), 0);
  cell.TextLeft -= d.MtTree1->LeftPosition();
  return cell;
}

inline void ClickAt(TPrnSelectForm& d, QPoint p) {
  QWidget* viewport = d.MtTree1->viewport();
  QMouseEvent press(QEvent::MouseButtonPress, p, viewport->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(viewport, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, p, viewport->mapToGlobal(p), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(viewport, &release);
}

// A click in the middle of the row's check box.
inline void ClickCheckBox(TPrnSelectForm& d, const char* key) {
  Show(d);
  TMtTreeItem* item = Row(d, key);
  if (item == nullptr) return;
  const TRect box = CellOf(d, item).CheckBox;
  ASSERT_FALSE(box.IsEmpty()) << key;
  ClickAt(d, QPoint((box.Left + box.Right) / 2, (box.Top + box.Bottom) / 2));
}

// A click on the row's text (focuses it), then Space.
inline void PressSpaceOn(TPrnSelectForm& d, const char* key) {
  Show(d);
  TMtTreeItem* item = Row(d, key);
  if (item == nullptr) return;
  const TRect row = d.MtTree1->GetItemRect(item);
  ClickAt(d, QPoint(CellOf(d, item).TextLeft + 3, (row.Top + row.Bottom) / 2));
  EXPECT_EQ(d.MtTree1->ItemFocused(), item) << key;
  QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
  QApplication::sendEvent(d.MtTree1, &space);
  QKeyEvent up(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, " ");
  QApplication::sendEvent(d.MtTree1, &up);
}

// One character per state: 'x' checked, '-' unchecked, '?' grayed.
inline char StateChar(std::uint8_t state) { return state == cbsChecked ? 'x' : state == cbsGrayed ? '?' : '-'; }

// The check boxes of the nine rows in tree order, as the items hold them.
inline std::string Boxes(TPrnSelectForm& d) {
  std::string s;
  for (const TPrnSectionItem& section : kPrnSectionItems)
    if (TMtTreeItem* item = Row(d, section.Key)) s += StateChar(item->CheckBoxState);
  return s;
}

// The state a drawn box shows: its fill (window or button face) and the colour of the
// tick inside it, if any.
inline char DrawnState(const QImage& shot, const TRect& box) {
  bool dark = false, grey = false;
  for (int x = box.Left + 3; x < box.Right - 3; ++x)
    for (int y = box.Top + 3; y < box.Bottom - 3; ++y) {
      const TColor c = FromQColor(shot.pixelColor(x, y));
      dark |= c == ColorToRGB(clWindowText);
      grey |= c == ColorToRGB(clGrayText);
    }
  const TColor fill = FromQColor(shot.pixelColor(box.Left + 3, box.Bottom - 4));
  if (dark && fill == ColorToRGB(clWindow)) return 'x';
  if (grey && !dark && fill == ColorToRGB(clBtnFace)) return '?';
  if (!dark && !grey && fill == ColorToRGB(clWindow)) return '-';
  return '!';
}

// The check boxes of the nine rows as the tree draws them.
inline std::string DrawnBoxes(TPrnSelectForm& d) {
  Show(d);
  const QImage shot = d.MtTree1->RenderToImage();
  std::string s;
  for (const TPrnSectionItem& section : kPrnSectionItems)
    if (TMtTreeItem* item = Row(d, section.Key)) s += DrawnState(shot, CellOf(d, item).CheckBox);
  return s;
}

}  // namespace prnselect
