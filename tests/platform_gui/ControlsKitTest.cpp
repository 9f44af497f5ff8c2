// The kit's standard controls and containers as the forms use them: page controls with
// hidden tabs and show events, notebooks, list views, radio groups, check boxes, spin
// edits, labels and the status bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRadioButton>
#include <QStatusTipEvent>
#include <QTabBar>

#include "platform/gui/ComCtrls.h"
#include "platform/gui/Containers.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"

TEST(PageControl, HiddenTabsShowEventsAndRefusedChanges) {
  TForm form;
  auto* pages = new TPageControl(&form);
  pages->setGeometry(0, 0, 300, 200);
  std::vector<std::string> log;
  TTabSheet* menu = pages->AddSheet("TabSheet6", Ansi("Меню по дням"));
  TTabSheet* days = pages->AddSheet("TabSheet7", Ansi("Раскладка по дням"));
  TTabSheet* prods = pages->AddSheet("TabSheet21", Ansi("Раскладка по продуктам"));
  for (TTabSheet* s : {menu, days, prods})
    s->OnShow = [&log](TObject* o) { log.push_back("show " + static_cast<TTabSheet*>(o)->objectName().toStdString()); };
  // The ration type 0 hides the day tab.
  days->SetTabVisible(false);
  ASSERT_EQ(pages->TabBar()->count(), 2);
  EXPECT_EQ(pages->SheetOfTab(1), prods);
  form.Show();
  EXPECT_EQ(log, (std::vector<std::string>{"show TabSheet6"}));
  // A click on a tab: OnChanging may refuse it, else the sheet shows and OnChange fires.
  bool allow = false;
  pages->OnChanging = [&](TObject*, bool& a) { a = allow; };
  pages->OnChange = [&](TObject*) { log.push_back("change"); };
  pages->ClickTab(prods);
  EXPECT_EQ(pages->ActivePage(), menu);
  EXPECT_EQ(pages->TabBar()->currentIndex(), 0);
  allow = true;
  emit pages->TabBar()->tabBarClicked(1);
  EXPECT_EQ(pages->ActivePage(), prods);
  // In code: no change events, and a sheet with a hidden tab can be the active page.
  pages->SetActivePage(days);
  EXPECT_EQ(pages->ActivePage(), days);
  EXPECT_EQ(log, (std::vector<std::string>{"show TabSheet6", "show TabSheet21", "change", "show TabSheet7"}));
  // Every tab hidden (the pick-list): no tab bar, the page still shows.
  for (TTabSheet* s : {menu, prods}) s->SetTabVisible(false);
  EXPECT_FALSE(pages->TabBar()->isVisible());
  EXPECT_TRUE(days->isVisible());
  // The control shown again shows its active sheet again.
  log.clear();
  pages->hide();
  pages->show();
  EXPECT_EQ(log, (std::vector<std::string>{"show TabSheet7"}));
  form.Hide();
}

TEST(Notebook, PagesByIndexAndName) {
  TNotebook book;
  book.AddPage("Gen");
  book.AddPage("Eat");
  int changes = 0;
  book.OnPageChanged = [&](TObject*) { ++changes; };
  book.SetActivePage("Eat");
  EXPECT_EQ(book.PageIndex(), 1);
  book.SetPageIndex(7);
  EXPECT_EQ(book.ActivePage(), "Eat");
  book.SetPageIndex(0);
  EXPECT_EQ(book.Page(0)->objectName(), "Gen");
  EXPECT_EQ(changes, 2);
}

TEST(ListView, ListAndReportModes) {
  TListView list(nullptr, TViewStyle::vsList);
  list.AddColumn("", 100);
  list.AddItem(Ansi("Общая информация"));
  list.AddItem(Ansi("Питание"));
  EXPECT_TRUE(list.isHeaderHidden());
  std::vector<std::string> log;
  list.OnSelectItem = [&](TObject*, int item, bool selected) {
    log.push_back(std::to_string(item) + (selected ? "+" : "-"));
  };
  list.SetItemIndex(0);
  list.SetItemIndex(1);
  EXPECT_EQ(list.ItemIndex(), 1);
  EXPECT_EQ(log, (std::vector<std::string>{"0+", "0-", "1+"}));

  TListView report(nullptr, TViewStyle::vsReport);
  report.AddColumn("#", 0);
  report.AddColumn(Ansi("Параметр"), 120);
  report.AddColumn(Ansi("Значение"), 80, TAlignment::taRightJustify);
  int data = 5;
  report.AddItem("1", {Ansi("Память"), "512"}, &data);
  EXPECT_TRUE(report.isColumnHidden(0));
  EXPECT_EQ(report.SubItem(0, 1), "512");
  EXPECT_EQ(report.Data(0), &data);
  EXPECT_EQ(report.topLevelItem(0)->textAlignment(2) & Qt::AlignRight, Qt::AlignRight);
  report.SetSubItem(0, 1, "1024");
  EXPECT_EQ(report.SubItem(0, 1), "1024");
  EXPECT_EQ(report.Data(3), nullptr);
}

TEST(RadioGroup, ItemIndexAndClicks) {
  TRadioGroup group(nullptr, Ansi("Тип раскладки"));
  group.setObjectName("RadioGroup1");
  group.resize(200, 80);
  group.SetItems({Ansi("Среднесуточный рацион"), Ansi("Меню по дням")});
  EXPECT_EQ(group.ItemIndex(), -1);
  int clicks = 0;
  group.OnClick = [&](TObject*) { ++clicks; };
  group.SetItemIndex(1);
  EXPECT_TRUE(group.Button(1)->isChecked());
  group.Button(0)->click();  // the user's choice
  EXPECT_EQ(group.ItemIndex(), 0);
  group.SetItemIndex(0);  // no change, no click
  EXPECT_EQ(clicks, 2);
  group.SetItemIndex(-1);
  EXPECT_FALSE(group.Button(0)->isChecked());
  EXPECT_EQ(group.Button(1)->objectName(), "RadioGroup11");
  EXPECT_LT(group.Button(0)->geometry().bottom(), group.Button(1)->geometry().top());
}

TEST(CheckBoxAndButton, ClicksOnceEachWay) {
  TForm form;
  auto* box = new TCheckBox(&form, Ansi("Показывать подсказки"));
  int clicks = 0;
  box->OnClick = [&](TObject*) { ++clicks; };
  box->SetChecked(true);  // the program's change clicks too, as the class library's
  EXPECT_EQ(clicks, 1);
  // A real mouse click toggles it once.
  box->resize(200, 20);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 10), QPointF(5, 10), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 10), QPointF(5, 10), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(box, &press);
  QApplication::sendEvent(box, &release);
  EXPECT_FALSE(box->Checked());
  EXPECT_EQ(clicks, 2);
  box->SetState(TCheckBoxState::cbGrayed);
  EXPECT_EQ(box->State(), TCheckBoxState::cbGrayed);

  auto* button = new TButton(&form, "OK");
  button->ModalResult = mrOk;
  int pressed = 0;
  button->OnClick = [&](TObject*) { ++pressed; };
  button->resize(75, 25);
  QApplication::sendEvent(button, &press);
  QApplication::sendEvent(button, &release);
  EXPECT_EQ(pressed, 1);
  EXPECT_EQ(form.ModalResult(), mrOk);
}

TEST(SpinEdit, Int32RangeAndTheValueOnExit) {
  TForm form;
  auto* spin = new TSpinEdit(&form);
  auto* other = new TEdit(&form);
  other->move(0, 40);
  spin->SetRange(1, 2147483647);
  spin->SetValue(2147483647);
  EXPECT_EQ(spin->Value(), 2147483647);
  spin->SetValue(0);
  EXPECT_EQ(spin->Value(), 1);
  std::vector<int> exits;
  spin->OnExit = [&](TObject*) { exits.push_back(spin->Value()); };
  form.Show();
  QApplication::setActiveWindow(&form);
  spin->setFocus();
  // Nothing sensible typed: MinValue when the focus leaves, before OnExit.
  spin->findChild<QLineEdit*>()->setText("");
  other->setFocus();
  EXPECT_EQ(exits, (std::vector<int>{1}));
  // Unbounded (0, 0): the whole int32 range.
  spin->SetRange(0, 0);
  spin->SetValue(-2147483647 - 1);
  EXPECT_EQ(spin->Value(), -2147483647 - 1);
  form.Hide();
}

TEST(Labels, ClickAndCursor) {
  TLabel link(nullptr, Ansi("&Письмо автору"));
  EXPECT_EQ(link.text(), QString::fromUtf8("Письмо автору"));
  link.SetCursor(crHandPoint);
  EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
  int clicks = 0;
  link.OnClick = [&](TObject*) { ++clicks; };
  link.resize(100, 16);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&link, &press);
  QApplication::sendEvent(&link, &release);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(StripHotkey("a&&b&c"), "a&bc");
}

TEST(StatusBar, PanelsAndLongHints) {
  TForm form;
  auto* bar = new TStatusBar(&form);
  bar->Panels = {{"a", 50}, {"b", 70}, {"c", 10}};
  form.HintBar = bar;
  form.resize(300, 100);
  bar->resize(300, 19);
  const std::vector<TRect> rects = bar->PanelRects();
  ASSERT_EQ(rects.size(), 3u);
  EXPECT_EQ(rects[0], Rect(0, 2, 50, 19));
  EXPECT_EQ(rects[1], Rect(52, 2, 122, 19));
  EXPECT_EQ(rects[2].Right, 300);  // the last panel takes the rest
  // A menu item's status tip reaches the form: the bar shows it across.
  QStatusTipEvent tip(QString::fromUtf8("Создать новую раскладку"));
  QApplication::sendEvent(&form, &tip);
  EXPECT_EQ(bar->HintText(), Ansi("Создать новую раскладку"));
  EXPECT_EQ(bar->PanelRects().size(), 1u);
  QStatusTipEvent none{QString()};
  QApplication::sendEvent(&form, &none);
  EXPECT_EQ(bar->PanelRects().size(), 3u);
  TRecordingCanvas canvas;
  bar->Paint(canvas);
  EXPECT_EQ(canvas.Texts(), (std::vector<AnsiString>{"a", "b", "c"}));
}
