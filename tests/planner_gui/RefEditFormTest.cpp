// The reference editor's window on a copy of the shipped tables, driven as a user does:
// actions by name, keys into the trees and the in-place editor. A product is added and
// given values, used in a dish, saved; a new window (and the pick-list's model, as after
// restarting the program) finds both. The close question and a refused cell are checked
// through the scripted prompt.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QToolBar>
#include <QToolButton>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "planner/app/Globals.h"
#include "planner/gui/FrmRefEdit.h"
#include "planner/ration/RationEdit.h"
#include "planner/reference/RefMenu.h"
#include "planner/reference/RefTestSupport.h"
#include "platform/gui/QtGraphics.h"
#include "refdata/RefBuild.h"
#include "test_support/ReadOnlyDir.h"
#include "test_support/TempDir.h"

namespace {

using ref_test::TScriptedPrompt;
using ref_test::Utf8;

// Picks one given row of the products tree.
class TOneProduct : public IRefPicker {
 public:
  TModalResult Execute(int Page, const AnsiString&) override {
    pages.push_back(Page);
    return item != nullptr ? mrOk : mrCancel;
  }
  int PickCount() const override { return item != nullptr ? 1 : 0; }
  AnsiString GetItemText(int Index) const override { return Index == 0 && item ? item->Text() : AnsiString(); }
  AnsiString GetItemPath(int Index, const AnsiString&) const override { return GetItemText(Index); }
  const TFoodRec* GetItemData(int Index) override {
    if (Index != 0 || item == nullptr) return nullptr;
    // As the pick-list gives a product: its values per 100 g from the row's texts.
    rec = TFoodRec{};
    rec.Code = RefRecOf(item)->Code;
    // (The record is packed: its fields are read into locals first.)
    std::int32_t cal = 0, veight = 0;
    double fat = 0;
    TextToInt(item->ColumnText()[0], cal);
    TextToFloat(item->ColumnText()[3], fat);
    TextToInt(item->ColumnText()[6], veight);
    rec.Cal = cal;
    rec.FatA = fat;
    rec.Veight = veight;
    return &rec;
  }
  TMtTreeItem* item = nullptr;
  TFoodRec rec{};
  std::vector<int> pages;
};

void Key(QWidget* w, int key, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(w, &press);
}

void Type(QWidget* w, const char* utf8) {
  for (QChar c : QString::fromUtf8(utf8)) Key(w, 0, QString(c));
}

// The first row of a tree, in pre-order, that the predicate takes.
TMtTreeItem* FirstRow(TCustomMtTree& tree, const std::function<bool(TMtTreeItem*)>& take) {
  for (TMtTreeItem* i = tree.Items()->GetItem(0); i != nullptr; i = i->GetNext())
    if (take(i)) return i;
  return nullptr;
}

bool IsDish(TMtTreeItem* i) { return !IsRefFolder(i) && RefRecOf(i)->Kind == fkDish && i->GetHasChildren(); }

// The client point in the middle of a cell of a row on screen.
QPoint CellCenter(TMtTree& tree, TMtTreeItem* item, int section) {
  tree.EnsureVisible(item);
  const TRect row = tree.GetItemRect(item);
  const TMtHeaderSection* s = tree.HeaderSections()->FindByNumber(section);
  return {(s->GetLeft() + s->GetRight()) / 2 - tree.LeftPosition(), (row.Top + row.Bottom) / 2};
}

void Click(TMtTree& tree, QPoint p) {
  tree.MouseDown(TMouseButton::mbLeft, ssLeft, p.x(), p.y());
  tree.MouseUp(TMouseButton::mbLeft, 0, p.x(), p.y());
}

// A double click as the window system delivers it: press, release, the double click
// with its second press, release.
void DoubleClick(TMtTree& tree, QPoint p) {
  Click(tree, p);
  tree.DblClick();
  tree.MouseDown(TMouseButton::mbLeft, ssLeft | ssDouble, p.x(), p.y());
  tree.MouseUp(TMouseButton::mbLeft, 0, p.x(), p.y());
}

class RefEditFormTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, Dir()).empty());
    limits_ = LoadLimits(Dir());
  }
  AnsiString Dir() const { return tmp_.Path() + "/"; }
  std::unique_ptr<TRefEditForm> Open() {
    auto form = std::make_unique<TRefEditForm>(Dir(), limits_, prompt_, &pick_);
    form->Model().OnRefSaved = [this](int page) { saved_.push_back(page); };
    form->show();
    QApplication::processEvents();
    return form;
  }
  void Trigger(TRefEditForm& form, const char* name) {
    QAction* a = form.Action(name);
    ASSERT_NE(a, nullptr) << name;
    ASSERT_TRUE(a->isEnabled()) << name;
    a->trigger();
  }
  // Selects the column (by Right from the first) and types a value into the focused row.
  void TypeCell(TRefEditForm& form, int page, int section, const char* utf8) {
    TMtTree* view = form.View(page);
    while (form.Model().SelectColumn(page) > 0) Key(view, Qt::Key_Left);
    for (int i = 0; i < section; ++i) Key(view, Qt::Key_Right);
    ASSERT_EQ(form.Model().SelectColumn(page), section);
    EXPECT_EQ(view->SelectColumn, section);
    Key(view, Qt::Key_Return);
    ASSERT_NE(form.Editor(), nullptr);
    ASSERT_TRUE(form.Editor()->isVisible());
    form.Editor()->clear();
    Type(form.Editor(), utf8);
    Key(form.Editor(), Qt::Key_Return);
    EXPECT_EQ(form.Editor(), nullptr);
  }

  static void Process() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  static TMtTree* ShowPage(TRefEditForm& form, int page) {
    form.PageControl1->setCurrentIndex(page);
    Process();
    return form.View(page);
  }

  TempDir tmp_;
  TRationLimits limits_;
  TScriptedPrompt prompt_;
  TOneProduct pick_;
  std::vector<int> saved_;
};

TEST_F(RefEditFormTest, AProductIsAddedGivenValuesUsedInADishAndFoundAfterReopening) {
  std::unique_ptr<TRefEditForm> form = Open();
  TRefEditModel& m = form->Model();
  EXPECT_EQ(form->PageControl1->count(), 5);
  EXPECT_FALSE(form->Action("FileSave")->isEnabled());

  // The keys go to the page's tree from the start.
  QApplication::setActiveWindow(form.get());
  Process();
  EXPECT_EQ(QApplication::focusWidget(), form->View(rpProd));
  // A new folder, a product in it, its name and values typed in.
  Trigger(*form, "ItemsAddMetaFolder");
  Trigger(*form, "ItemsAddItem");
  EXPECT_EQ(QApplication::focusWidget(), form->View(rpProd));
  TMtTreeItem* product = m.Tree(rpProd).ItemFocused();
  ASSERT_NE(product, nullptr);
  const std::int32_t code = RefRecOf(product)->Code;
  TypeCell(*form, rpProd, 0, "Сыр горный");
  TypeCell(*form, rpProd, 1, "380");
  TypeCell(*form, rpProd, 4, "30,5");
  TypeCell(*form, rpProd, 7, "50");
  EXPECT_EQ(Utf8(product->Text()), "Сыр горный");
  EXPECT_EQ(product->ColumnText()[0], "380");
  EXPECT_TRUE(form->Action("FileSave")->isEnabled());

  // A minus sign starts no edit; a letter in a number column neither.
  Key(form->View(rpProd), Qt::Key_Minus, "-");
  EXPECT_EQ(form->Editor(), nullptr);
  // A refused value: the message, the old text stays.
  prompt_.answers = {mrOk};
  TypeCell(*form, rpProd, 1, "12,5");
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Здесь можно вводить только целое число без знаков\r");
  EXPECT_EQ(product->ColumnText()[0], "380");
  Trigger(*form, "FileSave");
  EXPECT_EQ(saved_, std::vector<int>{0});
  EXPECT_FALSE(form->Action("FileSave")->isEnabled());

  // The product goes into the first dish.
  form->PageControl1->setCurrentIndex(rpDish);
  EXPECT_EQ(QApplication::focusWidget(), form->View(rpDish));
  TMtTreeItem* dish = FirstRow(m.Tree(rpDish), [](TMtTreeItem* i) { return IsDish(i); });
  ASSERT_NE(dish, nullptr);
  const std::int32_t dishCode = RefRecOf(dish)->Code;
  const int components = dish->GetChildrenCount();
  const std::int32_t cal = RefFoodRecOf(dish)->Cal;
  m.Tree(rpDish).SetItemFocused(dish);
  form->UpdateActions();
  pick_.item = product;
  Trigger(*form, "ItemsAddComponent");
  EXPECT_EQ(pick_.pages, std::vector<int>{0});
  ASSERT_EQ(dish->GetChildrenCount(), components + 1);
  EXPECT_EQ(RefFoodRecOf(dish)->Cal, cal + 190);  // 380 kcal per 100 g, 50 g
  // Its weight edited in place: 100 g.
  m.Tree(rpDish).SetItemFocused(dish->GetLastChild());
  TypeCell(*form, rpDish, 2, "100");
  EXPECT_EQ(RefFoodRecOf(dish)->Cal, cal + 380);
  const QImage shot = form->grab().toImage();
  if (const char* dir = std::getenv("TARNWICK_SHOTS")) shot.save(QString("%1/refedit.png").arg(dir));

  // Closing asks about the changed dishes; Yes saves them.
  prompt_.shown.clear();
  prompt_.answers = {mrYes};
  form->close();
  EXPECT_FALSE(form->isVisible());
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Справочник по блюдам был изменен.\rЗаписать изменения?");
  form.reset();

  // Reopened: the product with its values, the dish with it at 100 g.
  form = Open();
  TMtTreeItem* again = form->Model().Ref(rpProd).FindByCode(code);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Utf8(again->Text()), "Сыр горный");
  TMtTreeItem* dishAgain = form->Model().Ref(rpDish).FindByCode(dishCode);
  ASSERT_NE(dishAgain, nullptr);
  const TFoodRec part = *RefFoodRecOf(dishAgain->GetLastChild());
  EXPECT_EQ(part.Code, code);
  EXPECT_EQ(part.Veight, 100);
  form.reset();

  // The pick-list of a restarted program lists the product with its values.
  std::array<std::unique_ptr<TCustomMtTree>, kRefPageCount> trees;
  std::array<TCustomMtTree*, kRefPageCount> treePtrs{};
  for (std::size_t i = 0; i < trees.size(); ++i) {
    trees[i] = std::make_unique<TCustomMtTree>();
    treePtrs[i] = trees[i].get();
  }
  TRefMenu menu(treePtrs, Dir(), prompt_);
  TMtTreeItem* listed = menu.Ref(0).FindByCode(code);
  ASSERT_NE(listed, nullptr);
  EXPECT_EQ(Utf8(listed->Text()), "Сыр горный");
  EXPECT_EQ(RefFoodRecOf(listed)->Cal, 380);
  const double fat = RefFoodRecOf(listed)->FatA;
  EXPECT_DOUBLE_EQ(fat, 30.5);
}

TEST_F(RefEditFormTest, TypedKeysStartTheEditorOnlyWhereTheColumnTakesThem) {
  std::unique_ptr<TRefEditForm> form = Open();
  TRefEditModel& m = form->Model();
  TMtTree* tree = form->View(rpProd);
  TMtTreeItem* product =
      FirstRow(m.Tree(rpProd), [](TMtTreeItem* i) { return !IsRefFolder(i) && i->GetNextSibling() != nullptr; });
  ASSERT_NE(product, nullptr);
  tree->EnsureVisible(product);
  tree->SetItemFocused(product);
  const AnsiString cal = product->ColumnText()[0];

  // Left at the first column and Right at the last one stay.
  Key(tree, Qt::Key_Left);
  EXPECT_EQ(m.SelectColumn(rpProd), 0);
  for (int i = 0; i < 10; ++i) Key(tree, Qt::Key_Right);
  EXPECT_EQ(m.SelectColumn(rpProd), 7);
  while (m.SelectColumn(rpProd) > 1) Key(tree, Qt::Key_Left);
  EXPECT_EQ(tree->SelectColumn, 1);
  // Left and Right belong to the cell cursor: the focus stays on the row.
  EXPECT_EQ(tree->ItemFocused(), product);

  // Keys a number column refuses: nothing opens, nothing is shown.
  struct TCase {
    const char* typed;
    int section;
    bool opens;
  };
  const TCase cases[] = {
      {"-", 1, false}, {"+", 1, false}, {"a", 1, false},  {",", 1, false}, {"7", 1, true},
      {",", 2, true},  {".", 2, true},  {"x", 2, false},  {"-", 0, false}, {"С", 0, true},
  };
  for (const TCase& c : cases) {
    m.SetSelectColumn(rpProd, c.section);
    Key(tree, 0, QString::fromUtf8(c.typed));
    ASSERT_EQ(form->Editor() != nullptr, c.opens) << c.typed << " in " << c.section;
    if (!c.opens) continue;
    // The typed character stands in the editor in place of the old text.
    EXPECT_EQ(form->Editor()->text(), QString::fromUtf8(c.typed));
    Key(form->Editor(), Qt::Key_Escape);
    EXPECT_EQ(form->Editor(), nullptr);
    EXPECT_TRUE(form->isVisible());  // Esc ended the edit, not the window
  }
  EXPECT_EQ(product->ColumnText()[0], cal);
  EXPECT_FALSE(m.CurrentRef().Modified);
  EXPECT_TRUE(prompt_.shown.empty());

  // A number typed with blanks round it is stored without them.
  m.SetSelectColumn(rpProd, 1);
  Key(tree, 0, "1");
  Type(form->Editor(), "2 ");
  form->Editor()->home(false);
  Type(form->Editor(), " ");
  EXPECT_EQ(form->Editor()->text(), " 12 ");
  EXPECT_TRUE(form->Editor()->alignment() & Qt::AlignRight);
  Process();
  // The expanded folder's rows do not fit: the vertical scroll bar is there.
  ASSERT_GT(tree->RowCount(), tree->RowsPerPage());
  EXPECT_TRUE(tree->verticalScrollBar()->isVisible());
  if (const char* dir = std::getenv("TARNWICK_SHOTS"))
    form->grab().toImage().save(QString("%1/refedit-editing.png").arg(dir));
  Key(form->Editor(), Qt::Key_Return);
  EXPECT_EQ(product->ColumnText()[0], "12");
  EXPECT_TRUE(m.CurrentRef().Modified);
  EXPECT_TRUE(form->Action("FileSave")->isEnabled());

  // Down in the editor accepts the edit and moves to the next row.
  TMtTreeItem* next = product->GetNextSibling();
  Key(tree, Qt::Key_Return);
  ASSERT_NE(form->Editor(), nullptr);
  form->Editor()->clear();
  Type(form->Editor(), "345");
  Key(form->Editor(), Qt::Key_Down);
  EXPECT_EQ(form->Editor(), nullptr);
  EXPECT_EQ(product->ColumnText()[0], "345");
  Process();
  EXPECT_EQ(tree->ItemFocused(), next);
  // Up likewise.
  Key(tree, Qt::Key_Return);
  ASSERT_NE(form->Editor(), nullptr);
  Key(form->Editor(), Qt::Key_Up);
  Process();
  EXPECT_EQ(tree->ItemFocused(), product);
  EXPECT_EQ(product->ColumnText()[0], "345");
  // A new top-level folder lands below the page: the tree scrolls to it.
  tree->SetTopIndex(0);
  Trigger(*form, "ItemsAddMetaFolder");
  TMtTreeItem* folder = tree->ItemFocused();
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->GetParent(), nullptr);
  EXPECT_GT(tree->TopIndex(), 0);
  EXPECT_TRUE(tree->IsInView(folder));
  tree->CheckInvariants();
  m.CurrentRef().Modified = false;
}

TEST_F(RefEditFormTest, TheMouseSelectsCellsAndEditsWhereTheModelAllows) {
  std::unique_ptr<TRefEditForm> form = Open();
  TRefEditModel& m = form->Model();
  TMtTree* tree = ShowPage(*form, rpDish);
  TMtTreeItem* dish = FirstRow(m.Tree(rpDish), [](TMtTreeItem* i) { return IsDish(i); });
  ASSERT_NE(dish, nullptr);
  tree->EnsureVisible(dish);
  dish->Expand(false);
  TMtTreeItem* part = dish->GetFirstChild();
  ASSERT_NE(part, nullptr);
  const std::int32_t dishVeight = RefFoodRecOf(dish)->Veight;
  const std::int32_t partVeight = RefFoodRecOf(part)->Veight;

  // A press in a cell focuses its row and selects its column.
  Click(*tree, CellCenter(*tree, dish, 3));
  EXPECT_EQ(tree->ItemFocused(), dish);
  EXPECT_EQ(m.SelectColumn(rpDish), 3);
  EXPECT_EQ(tree->SelectColumn, 3);
  // Values of a dish are sums: a double click on its energy or weight opens nothing.
  DoubleClick(*tree, CellCenter(*tree, dish, 1));
  EXPECT_EQ(form->Editor(), nullptr);
  DoubleClick(*tree, CellCenter(*tree, dish, 2));
  EXPECT_EQ(form->Editor(), nullptr);
  // A component's weight is edited in place; the dish follows.
  DoubleClick(*tree, CellCenter(*tree, part, 2));
  ASSERT_NE(form->Editor(), nullptr);
  EXPECT_EQ(form->Editor()->text(), QString::number(partVeight));
  form->Editor()->clear();
  Type(form->Editor(), QString::number(partVeight + 10).toUtf8().constData());
  Key(form->Editor(), Qt::Key_Return);
  EXPECT_EQ(form->Editor(), nullptr);
  EXPECT_EQ(RefFoodRecOf(part)->Veight, partVeight + 10);
  EXPECT_EQ(RefFoodRecOf(dish)->Veight, dishVeight + 10);
  EXPECT_EQ(dish->ColumnText()[1], std::to_string(dishVeight + 10));
  // A component's name is the product's: Enter in the name column opens nothing.
  Click(*tree, CellCenter(*tree, part, 0));
  EXPECT_EQ(m.SelectColumn(rpDish), 0);
  Key(tree, Qt::Key_Return);
  EXPECT_EQ(form->Editor(), nullptr);
  // A second click on a dish's name edits it.
  const QPoint name = CellCenter(*tree, dish, 0);
  const TMtMainCell cell = tree->MainCellOf(dish, tree->GetItemRect(dish).Top);
  const QPoint text(cell.TextLeft + 4, name.y());
  Click(*tree, text);
  Click(*tree, text);
  ASSERT_NE(form->Editor(), nullptr);
  EXPECT_EQ(form->Editor()->text(), ToQString(dish->Text()));
  // An empty name is refused with the message; the old one stays.
  form->Editor()->clear();
  Type(form->Editor(), " ");
  prompt_.answers = {mrOk};
  const AnsiString before = dish->Text();
  Key(form->Editor(), Qt::Key_Return);
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Здесь можно вводить только непустой текст\r");
  EXPECT_EQ(dish->Text(), before);
  tree->CheckInvariants();
  m.Ref(rpDish).Modified = false;
}

TEST_F(RefEditFormTest, TheLimitsPageTakesNumbersAndShowsTheRowsDescription) {
  std::unique_ptr<TRefEditForm> form = Open();
  TRefEditModel& m = form->Model();
  TMtTree* tree = ShowPage(*form, rpParam);
  // Every item command is off on this page.
  for (const char* name : {"ItemsAddMetaFolder", "ItemsAddItem", "ItemsDelete", "ItemsMoveDown"})
    EXPECT_FALSE(form->Action(name)->isEnabled()) << name;
  TMtTreeItem* row = tree->Items()->GetItem(1);
  Click(*tree, CellCenter(*tree, row, 1));
  EXPECT_EQ(tree->ItemFocused(), row);
  EXPECT_EQ(tree->Hint, ParamHint(1));
  // A letter opens nothing; a figure does, and the new limit is saved.
  Key(tree, 0, "x");
  EXPECT_EQ(form->Editor(), nullptr);
  Key(tree, 0, "6");
  ASSERT_NE(form->Editor(), nullptr);
  Type(form->Editor(), "5000");
  Key(form->Editor(), Qt::Key_Return);
  EXPECT_EQ(row->ColumnText()[0], "65000");
  ASSERT_TRUE(form->Action("FileSave")->isEnabled());
  form->Action("FileSave")->trigger();
  EXPECT_DOUBLE_EQ(limits_.MaxAbsEnDef, 65000);
  EXPECT_DOUBLE_EQ(LoadLimits(Dir()).MaxAbsEnDef, 65000);
  EXPECT_FALSE(m.Ref(rpParam).Modified);

  // F1 opens the help at the editor's context.
  std::vector<int> help;
  form->OnHelp = [&](int context) { help.push_back(context); };
  QApplication::setActiveWindow(form.get());
  tree->setFocus();
  QTest::keyClick(tree, Qt::Key_F1);
  EXPECT_EQ(help, std::vector<int>{kRefEditHelpContext});
}

// Every command of the tool bar has its button in sight, whole, at the size the editor
// takes in a 1000-pixel frame and in narrower ones; the tree keeps most of the window.
TEST_F(RefEditFormTest, EveryToolButtonIsInSightInANarrowWindow) {
  std::unique_ptr<TRefEditForm> form = Open();
  for (int width : {1000, 640}) {
    SCOPED_TRACE(width);
    form->resize(width, 700);
    Process();
    if (const char* dir = std::getenv("TARNWICK_SHOTS"))
      form->grab().toImage().save(QString("%1/refedit-toolbar-%2.png").arg(dir).arg(width));
    const QList<QToolButton*> buttons = form->findChildren<QToolButton*>();
    int commands = 0;
    for (QAction* a : form->PopupMenu1->actions()) {
      if (a->isSeparator()) continue;
      ++commands;
      SCOPED_TRACE(a->objectName().toStdString());
      const auto b = std::find_if(buttons.begin(), buttons.end(),
                                  [&](QToolButton* t) { return t->defaultAction() == a && t->isVisible(); });
      ASSERT_NE(b, buttons.end());
      const QRect at((*b)->mapTo(form.get(), QPoint(0, 0)), (*b)->size());
      EXPECT_TRUE(form->rect().contains(at)) << at.x() << "," << at.y() << " " << at.width();
      EXPECT_GE((*b)->width(), (*b)->sizeHint().width());
    }
    EXPECT_EQ(commands, 11);
    EXPECT_GT(form->PageControl1->height(), form->height() / 2);
  }
}

TEST_F(RefEditFormTest, EveryPageIsDrawnByTheTreeWithTheSelectedCell) {
  std::unique_ptr<TRefEditForm> form = Open();
  TRefEditModel& m = form->Model();
  for (int p = 0; p < kRefEditPageCount; ++p) {
    form->PageControl1->setCurrentIndex(p);
    TMtTree* tree = form->View(p);
    TMtTreeItem* row = FirstRow(m.Tree(p), [](TMtTreeItem* i) { return i->GetParent() == nullptr; });
    ASSERT_NE(row, nullptr) << p;
    if (p == rpDish) row = FirstRow(m.Tree(p), [](TMtTreeItem* i) { return IsDish(i); });
    tree->EnsureVisible(row);
    tree->SetItemFocused(row);
    const int section = p == rpMeal ? 0 : 1;
    m.SetSelectColumn(p, section);
    Key(tree, Qt::Key_Left);
    Key(tree, Qt::Key_Right);
    Process();
    const QImage shot = form->grab().toImage();
    if (const char* dir = std::getenv("TARNWICK_SHOTS"))
      shot.save(QString("%1/refedit-page%2.png").arg(dir).arg(p));
    // The tree's own picture: the selected cell filled, the next column not.
    const QImage own = tree->RenderToImage();
    const QPoint cell = CellCenter(*tree, row, section);
    const TRect r = tree->GetItemRect(row);
    const TMtHeaderSection* s = tree->HeaderSections()->FindByNumber(section);
    EXPECT_EQ(FromQColor(own.pixelColor(s->GetLeft() + 2, r.Top + 2)), ColorToRGB(clHighlight)) << p;
    if (p != rpMeal) {
      EXPECT_NE(FromQColor(own.pixelColor(s->GetRight() + 2, cell.y())), ColorToRGB(clHighlight)) << p;
    }
    // The page's hint, the section hints in the header, the commands on the right button.
    EXPECT_EQ(tree->Hint, p == rpParam ? ParamHint(0) : TRefEditModel::TreeHint(p));  // the focused limit's
    EXPECT_TRUE(tree->EffectiveShowHint());
    const TMtHeaderSection* second = tree->HeaderSections()->FindByNumber(std::min(1, tree->SectionCount() - 1));
    const AnsiString sectionHint =
        tree->Header().HintAt({(second->GetLeft() + second->GetRight()) / 2, tree->HeaderHeight() / 2});
    EXPECT_EQ(sectionHint, second->Hint().empty() ? tree->Header().Hint : second->Hint());
    if (p == rpProd) {
      EXPECT_EQ(Utf8(sectionHint), "Калорийность 100г продукта, ККал");
    }
    EXPECT_EQ(tree->PopupMenu.data(), form->PopupMenu1);
    // No horizontal scroll bar while the columns fit.
    if (tree->ColumnsWidth() <= tree->ClientWidth()) {
      EXPECT_FALSE(tree->horizontalScrollBar()->isVisible())
          << p << " " << tree->horizontalScrollBar()->maximum() << " " << tree->ColumnsWidth() << " "
          << tree->ClientWidth();
    }
    tree->CheckInvariants();
  }
}

TEST_F(RefEditFormTest, CancelAtTheCloseQuestionKeepsTheWindowOpen) {
  std::unique_ptr<TRefEditForm> form = Open();
  form->PageControl1->setCurrentIndex(rpMeal);
  Trigger(*form, "ItemsAddItem");
  EXPECT_TRUE(form->Action("FileSaveAll")->isEnabled());
  prompt_.answers = {mrCancel};
  form->close();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(prompt_.shown.back().Text, "Справочник по трапезам был изменен.\rЗаписать изменения?");
  // Esc in the tree has no role: the window stays, nothing is asked.
  Key(form->View(rpMeal), Qt::Key_Escape);
  EXPECT_EQ(prompt_.shown.size(), 1u);
  EXPECT_TRUE(form->isVisible());
  // Closing asks again; No closes without saving.
  prompt_.answers = {mrNo};
  form->close();
  EXPECT_EQ(prompt_.shown.size(), 2u);
  EXPECT_FALSE(form->isVisible());
  EXPECT_TRUE(saved_.empty());
}

TEST_F(RefEditFormTest, AReadOnlyFolderShowsTheTablesWithoutEditing) {
  test_support::TReadOnlyDir readOnly(tmp_.SysPath());
  ref_test::TInjectedNoWrites injected(!readOnly.Available());
  std::unique_ptr<TRefEditForm> form = Open();
  ASSERT_EQ(prompt_.shown.size(), 1u);
  EXPECT_EQ(prompt_.shown[0].Text, "Папка справочников недоступна для записи:\r" + Utf8(Dir()) +
                                       "\rСправочники открыты только для просмотра, изменения в них сохранить нельзя.");
  for (int page = rpProd; page <= rpParam; ++page) {
    SCOPED_TRACE(page);
    TMtTree* view = ShowPage(*form, page);
    EXPECT_GT(view->Items()->Count(), 0);
    view->SetItemFocused(view->Items()->GetItem(1));
    Process();
    for (const char* name : {"FileSave", "FileSaveAll", "ItemsAddMetaFolder", "ItemsAddFolder", "ItemsAddItem",
                             "ItemsAddComponent", "ItemsDelete", "ItemsDeleteAll", "ItemsMoveUp", "ItemsMoveDown"})
      EXPECT_FALSE(form->Action(name)->isEnabled()) << name;
    EXPECT_TRUE(form->Action("FileClose")->isEnabled());
    Key(view, Qt::Key_Return);
    Key(view, 0, "7");
    EXPECT_EQ(form->Editor(), nullptr);
  }
  if (const char* dir = std::getenv("TARNWICK_SHOTS")) {
    ShowPage(*form, rpProd);
    form->grab().toImage().save(QString("%1/refedit-readonly.png").arg(dir));
  }
  form->close();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(prompt_.shown.size(), 1u);
}

}  // namespace

// A name typed with characters that the tables' code page lacks shows in the cell editor
// as it will be written (an accented letter without its accent, others as "?"); typographic
// quotes and dashes are written in their plain forms. What is saved is what was shown.
TEST_F(RefEditFormTest, ANameIsWrittenAsTheCellShowedIt) {
  std::unique_ptr<TRefEditForm> form = Open();
  TRefEditModel& m = form->Model();
  QApplication::setActiveWindow(form.get());
  Process();
  Trigger(*form, "ItemsAddMetaFolder");
  Trigger(*form, "ItemsAddItem");
  TMtTreeItem* product = m.Tree(rpProd).ItemFocused();
  ASSERT_NE(product, nullptr);
  const std::int32_t code = RefRecOf(product)->Code;
  TMtTree* view = form->View(rpProd);
  while (m.SelectColumn(rpProd) > 0) Key(view, Qt::Key_Left);
  Key(view, Qt::Key_Return);
  ASSERT_NE(form->Editor(), nullptr);
  form->Editor()->clear();
  Type(form->Editor(), "Сыр «Зюрих» — Zürich 日");
  EXPECT_EQ(form->Editor()->text(), QString::fromUtf8("Сыр «Зюрих» — Zurich ?"));
  Key(form->Editor(), Qt::Key_Return);
  EXPECT_EQ(Utf8(product->Text()), "Сыр \"Зюрих\" - Zurich ?");
  Trigger(*form, "FileSave");
  form.reset();
  form = Open();
  TMtTreeItem* again = form->Model().Ref(rpProd).FindByCode(code);
  ASSERT_NE(again, nullptr);
  EXPECT_EQ(Utf8(again->Text()), "Сыр \"Зюрих\" - Zurich ?");
}
