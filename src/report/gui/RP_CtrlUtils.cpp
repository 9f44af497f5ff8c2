#include "report/gui/RP_CtrlUtils.h"

#include <QLabel>
#include <QWidget>

void rpSetControlsEnabled(const std::vector<TWinControl*>& controls, bool enabled) {
  for (TWinControl* control : controls) {
    if (!control) continue;
    control->Widget()->setEnabled(enabled);
    if (qobject_cast<QLabel*>(control->Widget())) {
      TFont font = control->Font();
      font.Color = enabled ? clWindowText : clGrayText;
      control->SetFont(font);
    } else {
      control->SetColor(enabled ? clWindow : clBtnFace);
    }
  }
}

namespace {

// The controls whose widgets are direct children of the widget, in creation order.
std::vector<TWinControl*> ChildControls(QWidget* widget) {
  std::vector<TWinControl*> out;
  for (QObject* child : widget->children()) {
    auto* w = qobject_cast<QWidget*>(child);
    if (!w || w->isWindow()) continue;
    TWinControl* control = TWinControl::FromWidget(w);
    if (control && control->Widget() == w) out.push_back(control);
  }
  return out;
}

}  // namespace

TWinControl* rpControlAtPoint(const TWinControl& parent, TPoint point) {
  QWidget* parentWidget = parent.Widget();
  const std::vector<TWinControl*> children = ChildControls(parentWidget);
  for (auto it = children.rbegin(); it != children.rend(); ++it) {
    QWidget* w = (*it)->Widget();
    if (!w->isVisibleTo(parentWidget) || !w->geometry().contains(point.X, point.Y)) continue;
    if (ChildControls(w).empty()) return *it;
    if (TWinControl* inner = rpControlAtPoint(**it, TPoint{point.X - w->x(), point.Y - w->y()})) return inner;
  }
  return nullptr;
}
