#include "report/gui/RP_Toolbar.h"

#include <QEvent>

#include "platform/core/DrawUtils.h"
#include "platform/gui/Containers.h"

TrpSpeedButton::TrpSpeedButton(QWidget* parent) : TCustomSpeedButton(parent, TSpeedButtonKind::sbkReport) {
  resize(22, 22);
}

TAlign rpToolbarAlign(const QWidget* parent) {
  if (!dynamic_cast<const TPanel*>(parent)) return TAlign::alNone;
  const QWidget* host = parent->parentWidget();
  const TAlign a = host ? GetAlign(host) : TAlign::alNone;
  return a == TAlign::alLeft || a == TAlign::alRight ? TAlign::alTop : TAlign::alLeft;
}

namespace {

// Applies the toolbar's alignment to an item that has just been put on a parent.
void AlignOnParent(QWidget* item) {
  if (const TAlign a = rpToolbarAlign(item->parentWidget()); a != TAlign::alNone) SetAlign(item, a);
}

}  // namespace

TrpTBButton::TrpTBButton(QWidget* parent) : TrpSpeedButton(parent) {
  SetFlat(true);
  AlignOnParent(this);
}

bool TrpTBButton::event(QEvent* e) {
  if (e->type() == QEvent::ParentChange) AlignOnParent(this);
  return TrpSpeedButton::event(e);
}

TrpTBSeparator::TrpTBSeparator(QWidget* parent) : TGraphicControl(parent) {
  resize(8, 8);
  SetColor(clBtnFace);
  AlignOnParent(this);
}

bool TrpTBSeparator::event(QEvent* e) {
  if (e->type() == QEvent::ParentChange) AlignOnParent(this);
  return TGraphicControl::event(e);
}

void TrpTBSeparator::SetDrawBevel(bool v) {
  drawBevel_ = v;
  Invalidate();
}

void TrpTBSeparator::Paint(TCanvas& canvas) {
  const TRect r = ClientRect();
  FillSolidRect(canvas, r.Left, r.Top, r.Width(), r.Height(), clBtnFace);
  if (drawBevel_) {
    TCanvasState keep(canvas);
    const TAlign a = GetAlign(this);
    const bool across = a == TAlign::alTop || a == TAlign::alBottom;  // a horizontal groove
    const int mid = (across ? r.Height() : r.Width()) / 2 - 1;
    for (const auto& [color, offset] : {std::pair{clBtnShadow, 0}, std::pair{clBtnHighlight, 1}}) {
      canvas.Pen.Color = color;
      if (across) {
        canvas.MoveTo(r.Left + 2, mid + offset);
        canvas.LineTo(r.Right - 2, mid + offset);
      } else {
        canvas.MoveTo(mid + offset, r.Top + 2);
        canvas.LineTo(mid + offset, r.Bottom - 2);
      }
    }
  }
  if (DesignMode) canvas.DrawFocusRect(r);
}
