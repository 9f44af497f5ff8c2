// Aligned children and the splitter bar between them.
#include <gtest/gtest.h>

#include "platform/gui/ExtCtrls.h"

TEST(Align, EdgesFirstThenTheClientControl) {
  QWidget parent;
  parent.resize(300, 200);
  QWidget top(&parent), bottom(&parent), left(&parent), right(&parent), client(&parent), free(&parent);
  top.resize(10, 20);
  bottom.resize(10, 30);
  left.resize(40, 10);
  right.resize(50, 10);
  free.setGeometry(5, 5, 7, 7);
  SetAlign(&client, TAlign::alClient);
  SetAlign(&right, TAlign::alRight);
  SetAlign(&left, TAlign::alLeft);
  SetAlign(&bottom, TAlign::alBottom);
  SetAlign(&top, TAlign::alTop);
  EXPECT_EQ(top.geometry(), QRect(0, 0, 300, 20));
  EXPECT_EQ(bottom.geometry(), QRect(0, 170, 300, 30));
  EXPECT_EQ(left.geometry(), QRect(0, 20, 40, 150));
  EXPECT_EQ(right.geometry(), QRect(250, 20, 50, 150));
  EXPECT_EQ(client.geometry(), QRect(40, 20, 210, 150));
  EXPECT_EQ(free.geometry(), QRect(5, 5, 7, 7));
  // The parent's resize re-aligns (a hidden widget gets its resize events only when shown).
  parent.show();
  parent.resize(400, 300);
  EXPECT_EQ(client.geometry(), QRect(40, 20, 310, 250));
  // A second top control goes below the first (by their current order).
  QWidget top2(&parent);
  top2.setGeometry(0, 100, 10, 15);
  top2.show();
  SetAlign(&top2, TAlign::alTop);
  EXPECT_EQ(top2.geometry(), QRect(0, 20, 400, 15));
  EXPECT_EQ(client.geometry(), QRect(40, 35, 310, 235));
}

TEST(Splitter, DraggingResizesTheNeighbourWithinMinSize) {
  QWidget parent;
  parent.resize(300, 200);
  QWidget panel(&parent), client(&parent);
  panel.resize(100, 10);
  SetAlign(&panel, TAlign::alLeft);
  TSplitter bar(&parent, TAlign::alLeft);
  bar.resize(5, 10);
  bar.move(100, 0);
  SetAlign(&client, TAlign::alClient);
  AlignControls(&parent);
  ASSERT_EQ(bar.geometry(), QRect(100, 0, 5, 200));
  EXPECT_EQ(bar.FindControl(), &panel);
  int moved = 0;
  bar.OnMoved = [&](TObject*) { ++moved; };

  bar.MouseDown(TMouseButton::mbLeft, 0, 2, 50);
  bar.MouseMove(ssLeft, 32, 50);  // 30 pixels right
  EXPECT_EQ(panel.width(), 130);
  EXPECT_EQ(bar.x(), 130);
  EXPECT_EQ(client.geometry(), QRect(135, 0, 165, 200));
  EXPECT_EQ(moved, 0);
  bar.MouseMove(ssLeft, 500, 50);  // the client keeps MinSize
  EXPECT_EQ(client.width(), 30);
  bar.MouseUp(TMouseButton::mbLeft, 0, -500, 50);  // the panel keeps MinSize
  EXPECT_EQ(panel.width(), 30);
  EXPECT_EQ(moved, 1);
  EXPECT_FALSE(bar.Sizing());
}

TEST(Splitter, BottomBarsGrowUpwardAndLoneBarsDoNothing) {
  QWidget parent;
  parent.resize(200, 300);
  QWidget client(&parent), pane(&parent);
  pane.resize(10, 50);
  SetAlign(&pane, TAlign::alBottom);
  TSplitter bar(&parent, TAlign::alBottom);
  bar.move(0, 240);
  SetAlign(&client, TAlign::alClient);
  AlignControls(&parent);
  ASSERT_EQ(bar.geometry(), QRect(0, 247, 200, 3));
  bar.MouseDown(TMouseButton::mbLeft, 0, 10, 1);
  bar.MouseUp(TMouseButton::mbLeft, 0, 10, -19);
  EXPECT_EQ(pane.geometry(), QRect(0, 230, 200, 70));
  EXPECT_EQ(bar.geometry(), QRect(0, 227, 200, 3));

  QWidget alone;
  alone.resize(100, 100);
  TSplitter lone(&alone, TAlign::alTop);
  EXPECT_EQ(lone.FindControl(), nullptr);
  lone.MouseDown(TMouseButton::mbLeft, 0, 1, 1);
  EXPECT_FALSE(lone.Sizing());
}
