#include <gtest/gtest.h>

#include <QLabel>

#include "report/gui/RP_CtrlUtils.h"

namespace {

class TTestLabel : public QLabel, public TWinControl {
 public:
  explicit TTestLabel(QWidget* parent) : QLabel(parent), TWinControl(*this, *this) {}
};

TCustomControl* Child(TWinControl& parent, int left, int top, int width, int height) {
  auto* c = new TCustomControl(parent.Widget());
  c->SetBounds(left, top, width, height);
  return c;
}

}  // namespace

TEST(RpControls, EnablingSetsLabelFontAndControlBackground) {
  TCustomControl form;
  auto* label = new TTestLabel(form.Widget());
  TCustomControl* box = Child(form, 0, 0, 10, 10);
  rpSetControlsEnabled({label, box, nullptr}, false);
  EXPECT_FALSE(label->Enabled());
  EXPECT_FALSE(box->Widget()->isEnabled());
  EXPECT_EQ(label->Font().Color, clGrayText);
  EXPECT_EQ(box->Color(), clBtnFace);
  const TColor labelBack = label->Color();
  rpSetControlsEnabled({label, box}, true);
  EXPECT_TRUE(box->Widget()->isEnabled());
  EXPECT_EQ(label->Font().Color, clWindowText);
  EXPECT_EQ(label->Color(), labelBack);  // a label keeps its background
  EXPECT_EQ(box->Color(), clWindow);
}

TEST(RpControls, ControlAtPointPrefersTheLastCreatedAndDescends) {
  TCustomControl form;
  form.SetBounds(0, 0, 300, 200);
  TCustomControl* under = Child(form, 0, 0, 100, 100);
  TCustomControl* over = Child(form, 50, 50, 100, 100);  // created later: on top
  TCustomControl* panel = Child(form, 200, 0, 100, 100);
  TCustomControl* inner = Child(*panel, 10, 10, 20, 20);
  TCustomControl* hidden = Child(form, 0, 150, 50, 50);
  hidden->Widget()->hide();
  struct Case {
    TPoint p;
    TWinControl* hit;
  };
  const Case cases[] = {
      {{10, 10}, under},  {{60, 60}, over},   {{149, 149}, over}, {{150, 150}, nullptr},
      {{215, 15}, inner}, {{210, 10}, inner}, {{209, 9}, nullptr},  // a panel's empty area is no hit
      {{10, 160}, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.p.X) + "," + std::to_string(c.p.Y));
    EXPECT_EQ(rpControlAtPoint(form, c.p), c.hit);
  }
  // A panel whose children miss lets the earlier siblings answer.
  TCustomControl* back = Child(form, 0, 0, 300, 200);
  (void)back;
  TCustomControl* front = Child(form, 0, 0, 50, 50);
  TCustomControl* frontInner = Child(*front, 40, 40, 5, 5);
  EXPECT_EQ(rpControlAtPoint(form, {42, 42}), frontInner);
  EXPECT_EQ(rpControlAtPoint(form, {10, 10}), back);
}
