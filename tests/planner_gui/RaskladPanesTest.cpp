// The ration window's panes, driven with the mouse as a user drives them: the three
// pane splitters, their collapse buttons, drags, low windows, and the sizes kept in the
// settings store for the next window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <array>
#include <cstdlib>
#include <memory>
#include <string>

#include "controls/gui/MtTreeView.h"
#include "controls/gui/PaneSplitter.h"
#include "planner/gui/PlannerPrompt.h"
#include "planner/gui/RaskladForm.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/Registry.h"
#include "refdata/RefBuild.h"
#include "test_support/TempDir.h"

namespace {

constexpr const char* kKey = "Software\\Tarnwick\\RaskladForm";

class RaskladPanes : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    refs_ = new TempDir;
    ASSERT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, refs_->Path() + "/").empty());
  }
  static void TearDownTestSuite() {
    delete refs_;
    refs_ = nullptr;
  }
  void SetUp() override {
    std::array<TCustomMtTree*, kRefPageCount> trees{};
    for (std::size_t i = 0; i < trees.size(); ++i) {
      trees_[i] = std::make_unique<TCustomMtTree>();
      trees[i] = trees_[i].get();
    }
    menu_ = std::make_unique<TRefMenu>(trees, refs_->Path() + "/", prompt_);
    services_.RefMenu = menu_.get();
    services_.Prompt = &prompt_;
    services_.Messages = &prompt_;
    services_.Defaults.Days = 2;
    form_ = NewForm();
  }
  void TearDown() override {
    if (form_) form_->Doc().Modified = 0;
  }

  // A window with a new document on the page "Питание", shown 1000 x 700, its first day
  // focused (so that the comment memo is enabled).
  std::unique_ptr<TRaskladForm> NewForm() {
    auto f = std::make_unique<TRaskladForm>(services_);
    EXPECT_EQ(f->Open(""), 0);
    f->resize(1000, 700);
    f->show();
    f->ShowSection(1);
    f->ShowTab(0);
    f->MenuView()->SetItemFocused(f->Doc().Items()->Root()->GetChildren(0));
    Process();
    EXPECT_TRUE(f->findChild<QWidget*>("memCmt")->isEnabled());
    return f;
  }
  static void Process() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  TPaneSplitter* Bar(const char* name, TRaskladForm* f = nullptr) {
    auto* bar = dynamic_cast<TPaneSplitter*>((f ? f : form_.get())->findChild<QWidget*>(name));
    EXPECT_NE(bar, nullptr) << name;
    return bar;
  }
  template <class W>
  W* Child(const char* name, TRaskladForm* f = nullptr) {
    auto* w = (f ? f : form_.get())->findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  static QPoint ButtonCentre(TPaneSplitter* bar) {
    const TRect b = bar->ButtonRect();
    return {(b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2};
  }
  static void ClickButton(TPaneSplitter* bar) {
    QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, ButtonCentre(bar));
    Process();
  }
  // Drags the bar by `delta` pixels across it (down or right when positive), holding it
  // away from its button.
  static void Drag(TPaneSplitter* bar, int delta) {
    const bool horizontal = bar->height() < bar->width();
    const QPoint p = horizontal ? QPoint(3, bar->height() / 2) : QPoint(bar->width() / 2, 3);
    QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, p);
    QTest::mouseMove(bar, horizontal ? p + QPoint(0, delta) : p + QPoint(delta, 0));
    // The bar followed the pointer: the pointer is at p on it again.
    QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, p);
    Process();
  }
  // Saves a picture of the widget (of a part of it, enlarged) when TARNWICK_SHOTS names
  // a directory.
  static void Shoot(QWidget* w, const char* name, QRect part = {}, int scale = 1) {
    if (const char* dir = std::getenv("TARNWICK_SHOTS")) {
      QImage image = w->grab(part.isNull() ? QRect(QPoint(0, 0), w->size()) : part).toImage();
      image = image.scaled(image.size() * scale);
      image.save(QString::fromLocal8Bit(dir) + "/" + name);
    }
  }

  static TempDir* refs_;
  TempDir work_;
  TPlannerPrompt prompt_;
  std::array<std::unique_ptr<TCustomMtTree>, kRefPageCount> trees_;
  std::unique_ptr<TRefMenu> menu_;
  TPlannerServices services_;
  std::unique_ptr<TRaskladForm> form_;
};

TempDir* RaskladPanes::refs_ = nullptr;

// Beside the section list, above the totals grid, above the comment memo: the kit's pane
// splitters with MinSize 1 and otherwise their defaults; no Qt splitter is left.
TEST_F(RaskladPanes, TheThreeBarsAreTheKitsPaneSplitters) {
  struct Case {
    const char* bar;
    TAlign align;
    const char* pane;
  };
  const Case cases[] = {{"PaneSplitter1", TAlign::alLeft, "ListView1"},
                        {"PaneSplitter2", TAlign::alBottom, "tvEatTotals"},
                        {"PaneSplitter3", TAlign::alBottom, "memCmt"}};
  for (const Case& c : cases) {
    TPaneSplitter* bar = Bar(c.bar);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->MinSize, 1) << c.bar;
    EXPECT_EQ(bar->Align(), c.align) << c.bar;
    EXPECT_EQ(bar->FindControl(), Child<QWidget>(c.pane)) << c.bar;
    EXPECT_EQ(bar->ButtonStyle(), TSplitterButtonStyle::bsNetscape) << c.bar;
    EXPECT_FALSE(bar->Beveled) << c.bar;
    EXPECT_TRUE(bar->AllowDrag) << c.bar;
    EXPECT_EQ(bar->ButtonWidth(), 100) << c.bar;
    EXPECT_EQ(std::min(bar->width(), bar->height()), 10) << c.bar;
    EXPECT_FALSE(bar->Maximized()) << c.bar;
    // The button the bar draws is inset by the bar's own bevel: 3 pixels at each side.
    const TRect flat = bar->ButtonRect();
    bar->Beveled = true;
    const TRect beveled = bar->ButtonRect();
    bar->Beveled = false;
    if (c.align == TAlign::alLeft) EXPECT_EQ(beveled.Width(), flat.Width() - 6) << c.bar;
    else EXPECT_EQ(beveled.Height(), flat.Height() - 6) << c.bar;
  }
  EXPECT_TRUE(form_->findChildren<QSplitter*>().isEmpty());
  // The panes are where the window shows them: the list on the left, the tabs above the
  // grid, the tree above the memo, each bar between.
  const QWidget* list = Child<QWidget>("ListView1");
  const QWidget* pages = Child<QWidget>("Notebook1");
  EXPECT_EQ(list->geometry(), QRect(0, 0, 130, 700));
  EXPECT_EQ(Bar("PaneSplitter1")->geometry(), QRect(130, 0, 10, 700));
  EXPECT_EQ(pages->geometry(), QRect(140, 0, 860, 700));
  const QWidget* tabs = Child<QWidget>("pcEat");
  const QWidget* totals = form_->TotalsView();
  EXPECT_EQ(tabs->y(), 0);
  EXPECT_EQ(Bar("PaneSplitter2")->y(), tabs->height());
  EXPECT_EQ(totals->y(), tabs->height() + 10);
  EXPECT_EQ(totals->y() + totals->height(), 700);
  const QWidget* memo = Child<QWidget>("memCmt");
  EXPECT_EQ(memo->height(), 80);
  EXPECT_EQ(Bar("PaneSplitter3")->y() + 10, memo->y());
  EXPECT_EQ(form_->MenuView()->height(), memo->y() - 10);
  Shoot(form_.get(), "panes-window.png");
  const TRect button = Bar("PaneSplitter2")->ButtonRect();
  Shoot(Bar("PaneSplitter2"), "panes-bottom-bar-x6.png", QRect(button.Left - 10, 0, button.Width() + 20, 10), 6);
}

// A click on a bar's button collapses the pane beside it to one pixel (the rest takes
// the room) and keeps it so while the window changes size; another click gives the pane
// back its size.
TEST_F(RaskladPanes, TheButtonCollapsesAPaneAndGivesBackItsSize) {
  struct Case {
    const char* bar;
    const char* pane;
    const char* rest;
  };
  const Case cases[] = {{"PaneSplitter1", "ListView1", "Notebook1"},
                        {"PaneSplitter2", "tvEatTotals", "pcEat"},
                        {"PaneSplitter3", "memCmt", "tvEatMenu"}};
  for (const Case& c : cases) {
    TPaneSplitter* bar = Bar(c.bar);
    QWidget* pane = Child<QWidget>(c.pane);
    QWidget* rest = Child<QWidget>(c.rest);
    const bool across = bar->Align() == TAlign::alLeft;
    auto size = [&](const QWidget* w) { return across ? w->width() : w->height(); };
    const int before = size(pane), restBefore = size(rest);
    std::vector<std::string> log;
    bar->OnMaximize = [&](TObject*) { log.push_back("max"); };  // the events are free for the window
    ClickButton(bar);
    EXPECT_TRUE(bar->Maximized()) << c.bar;
    EXPECT_EQ(size(pane), 1) << c.bar;
    EXPECT_EQ(size(rest), restBefore + before - 1) << c.bar;
    if (c.pane == std::string("memCmt")) Shoot(form_.get(), "panes-memo-collapsed.png");
    form_->resize(700, 400);
    Process();
    form_->resize(1000, 700);
    Process();
    EXPECT_EQ(size(pane), 1) << c.bar;
    ClickButton(bar);
    EXPECT_FALSE(bar->Maximized()) << c.bar;
    EXPECT_EQ(size(pane), before) << c.bar;
    EXPECT_EQ(size(rest), restBefore) << c.bar;
    EXPECT_EQ(log, std::vector<std::string>{"max"}) << c.bar;
  }
}

// A drag gives the pane a new size, which it keeps when the window changes size; in a
// low window the totals grid and the memo give way so that the menu keeps four rows,
// and they come back when the window is high again.
TEST_F(RaskladPanes, DraggedSizesStayAndALowWindowKeepsRowsOfTheMenu) {
  TPaneSplitter* list = Bar("PaneSplitter1");
  TPaneSplitter* totalsBar = Bar("PaneSplitter2");
  QWidget* listView = Child<QWidget>("ListView1");
  TMtTree* totals = form_->TotalsView();
  TMtTree* menu = form_->MenuView();
  QWidget* memo = Child<QWidget>("memCmt");
  Drag(list, 40);
  EXPECT_EQ(listView->width(), 170);
  const int totalsBefore = totals->height();
  Drag(totalsBar, -50);  // up: the grid grows
  EXPECT_EQ(totals->height(), totalsBefore + 50);
  EXPECT_FALSE(totalsBar->Maximized());

  form_->resize(1000, 250);
  Process();
  const int need = menu->HeaderHeight() + 4 * menu->LineHeight();
  EXPECT_GE(menu->height(), need);
  EXPECT_LT(totals->height(), totalsBefore + 50);
  EXPECT_GE(totals->height(), totals->HeaderHeight() + totals->LineHeight());
  EXPECT_LT(memo->height(), 80);
  EXPECT_GT(memo->height(), 0);
  Shoot(form_.get(), "panes-low-window.png");

  form_->resize(1000, 700);
  Process();
  EXPECT_EQ(totals->height(), totalsBefore + 50);
  EXPECT_EQ(memo->height(), 80);
  EXPECT_EQ(listView->width(), 170);

  // Dragged down to the bottom: the grid is collapsed, as by the button.
  Drag(totalsBar, 2000);
  EXPECT_TRUE(totalsBar->Maximized());
  EXPECT_EQ(totals->height(), 1);

  // Given back in a low window, the grid fits in as on a resize, and takes its size again
  // when the window grows.
  form_->resize(1000, 250);
  Process();
  ClickButton(totalsBar);
  Process();
  EXPECT_FALSE(totalsBar->Maximized());
  EXPECT_GE(menu->height(), need);
  EXPECT_GE(totals->height(), totals->HeaderHeight() + totals->LineHeight());
  form_->resize(1000, 700);
  Process();
  EXPECT_EQ(totals->height(), totalsBefore + 50);
}

// The comment memo and its bar are hidden and shown together; shown again, the bar is
// right above the memo whatever happened to the window meanwhile.
TEST_F(RaskladPanes, TheCommentToggleTakesTheBarAlong) {
  TPaneSplitter* bar = Bar("PaneSplitter3");
  QWidget* memo = Child<QWidget>("memCmt");
  TMtTree* menu = form_->MenuView();
  form_->RaskladToggleCmtExecute();
  Process();
  EXPECT_TRUE(memo->isHidden());
  EXPECT_TRUE(bar->isHidden());
  EXPECT_EQ(menu->height(), menu->parentWidget()->height());
  form_->resize(1000, 450);
  Process();
  form_->RaskladToggleCmtExecute();
  Process();
  EXPECT_FALSE(memo->isHidden());
  EXPECT_FALSE(bar->isHidden());
  EXPECT_EQ(bar->y() + bar->height(), memo->y());
  EXPECT_EQ(memo->y() + memo->height(), memo->parentWidget()->height());
  EXPECT_EQ(menu->height(), bar->y());
  EXPECT_EQ(bar->FindControl(), memo);
  // Without a focused item the memo is disabled, and the bar (which resizes only an
  // enabled control) has nothing to collapse.
  form_->MenuView()->SetItemFocused(nullptr);
  Process();
  ASSERT_FALSE(memo->isEnabled());
  EXPECT_EQ(bar->FindControl(), nullptr);
  ClickButton(bar);
  EXPECT_FALSE(bar->Maximized());
  EXPECT_EQ(memo->height(), 80);
}

// The sizes the user gave and a collapsed state go into the settings store; the next
// window opens with them, and its collapsed pane comes back to the size it had before
// it was collapsed. Values that are missing or out of range leave the window as it opens.
TEST_F(RaskladPanes, SizesAndCollapsedStatesCarryOverToTheNextWindow) {
  TSettingsStore store(work_.Path() + "/settings.ini");
  Drag(Bar("PaneSplitter1"), -30);
  Drag(Bar("PaneSplitter3"), -40);  // the memo grows to 120
  const int memo = Child<QWidget>("memCmt")->height();
  ASSERT_EQ(memo, 120);
  const int totals = form_->TotalsView()->height();
  ClickButton(Bar("PaneSplitter2"));
  ASSERT_TRUE(Bar("PaneSplitter2")->Maximized());
  form_->SavePanes(store, kKey);
  store.Save();
  form_.reset();

  TSettingsStore reread(work_.Path() + "/settings.ini");
  AnsiString v;
  EXPECT_TRUE(reread.ReadValue(std::string(kKey) + "\\PaneSplitter2", "RestorePos", v));
  EXPECT_EQ(v, std::to_string(totals));
  EXPECT_FALSE(reread.ValueExists(std::string(kKey) + "\\PaneSplitter1", "RestorePos"));
  form_ = NewForm();
  form_->RestorePanes(reread, kKey);
  Process();
  EXPECT_EQ(Child<QWidget>("ListView1")->width(), 100);
  EXPECT_EQ(Child<QWidget>("memCmt")->height(), memo);
  EXPECT_TRUE(Bar("PaneSplitter2")->Maximized());
  EXPECT_EQ(form_->TotalsView()->height(), 1);
  EXPECT_FALSE(Bar("PaneSplitter1")->Maximized());
  ClickButton(Bar("PaneSplitter2"));
  EXPECT_FALSE(Bar("PaneSplitter2")->Maximized());
  EXPECT_EQ(form_->TotalsView()->height(), totals);

  // Settings written before the window had bars, or spoilt ones.
  const int listWidth = 130, memoHeight = 80, totalsHeight = totals;
  struct Case {
    const char* size;
    const char* maximized;
    const char* restorePos;
  };
  const Case cases[] = {{nullptr, nullptr, nullptr}, {"abc", "2", "x"},  {"-5", "", nullptr},
                        {"0", "0", "40"},            {"99999", "yes", nullptr}, {"12 ", "1 ", "50"}};
  for (const Case& c : cases) {
    TSettingsStore spoilt(work_.Path() + "/spoilt.ini");
    spoilt.DeleteKey(kKey);
    for (const char* bar : {"PaneSplitter1", "PaneSplitter2", "PaneSplitter3"}) {
      const std::string key = std::string(kKey) + "\\" + bar;
      if (c.size) spoilt.WriteValue(key, "Size", c.size);
      if (c.maximized) spoilt.WriteValue(key, "Maximized", c.maximized);
      if (c.restorePos) spoilt.WriteValue(key, "RestorePos", c.restorePos);
    }
    form_ = NewForm();
    form_->RestorePanes(spoilt, kKey);
    Process();
    const std::string what = std::string(c.size ? c.size : "-") + "/" + (c.maximized ? c.maximized : "-");
    EXPECT_EQ(Child<QWidget>("ListView1")->width(), listWidth) << what;
    EXPECT_EQ(Child<QWidget>("memCmt")->height(), memoHeight) << what;
    EXPECT_EQ(form_->TotalsView()->height(), totalsHeight) << what;
    for (const char* bar : {"PaneSplitter1", "PaneSplitter2", "PaneSplitter3"})
      EXPECT_FALSE(Bar(bar)->Maximized()) << what << " " << bar;
  }
}

}  // namespace
