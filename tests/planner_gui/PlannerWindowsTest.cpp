// The program's windows driven as a user drives them, headless: actions of the main
// window, keys and drops in the ration tree, a scripted pick-list, scripted file and
// message dialogs; checked against the document model and the files written.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QComboBox>
#include <QLabel>
#include <QTreeWidget>
#include <QTabWidget>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>
#include <QToolTip>
#include <QTextBrowser>
#include <QTimer>
#include <QClipboard>
#include <QScreen>
#include <QUrlQuery>
#include <algorithm>
#include <filesystem>
#include <map>
#include <QContextMenuEvent>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <optional>

#include "examples/ExampleBuild.h"
#include "planner/app/Globals.h"
#include "planner/app/ProgramVersion.h"
#include "planner/gui/FrmFind.h"
#include "planner/gui/FrmOptions.h"
#include "planner/gui/FrmRaskladProp.h"
#include "planner/gui/FrmRefEdit.h"
#include "planner/app/aboutModel.h"
#include "planner/gui/DesktopShell.h"
#include "planner/gui/HelpForm.h"
#include "planner/gui/about.h"
#include "planner/gui/MainForm.h"
#include "planner/gui/RefMenuForm.h"
#include "planner/gui/ProgramIcon.h"
#include "planner/app/HelpPages.h"
#include "platform/gui/Application.h"
#include "report/RP_Export.h"
#include "report/gui/RP_Preview.h"
#include "controls/gui/ComboEdit.h"
#include "controls/gui/MtTreeView.h"
#include "controls/gui/PaneSplitter.h"
#include "platform/gui/DragManager.h"
#include "planner/ration/RationClip.h"
#include "planner/ration/RationFile.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/Files.h"
#include "platform/core/Registry.h"
#include "platform/core/VersionResources.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/QtGraphics.h"
#include "planner/gui/PrnSelectForm.h"
#include "PrnSelectDriver.h"
#include "refdata/RefBuild.h"
#include "report/gui/RP_Preview.h"
#include "rptemplates/RationTemplates.h"
#include "test_support/FileBytes.h"
#include "test_support/TempDir.h"

namespace {



class TScriptedFiles : public IFileDialogs {
 public:
  bool OpenRation(const AnsiString& initialDir, AnsiString& fileName) override {
    openDirs.push_back(initialDir);
    return Next(fileName);
  }
  bool SaveRation(const AnsiString&, AnsiString& fileName) override {
    seeds.push_back(fileName);
    return Next(fileName);
  }
  std::deque<std::optional<AnsiString>> answers;
  std::vector<AnsiString> seeds;
  std::vector<AnsiString> openDirs;

 private:
  bool Next(AnsiString& fileName) {
    if (answers.empty()) return false;
    const std::optional<AnsiString> a = answers.front();
    answers.pop_front();
    if (!a) return false;
    fileName = *a;
    return true;
  }
};

std::string U(const AnsiString& s) { return cp::Ansi1251ToUtf8(s); }

// Messages of direct file calls in the tests: none is expected.
struct TRationFileMessagesStub : IRationFileMessages {
  void ShowError(const AnsiString& Text) override { ADD_FAILURE() << U(Text); }
  bool Confirm(const AnsiString& Text) override {
    ADD_FAILURE() << U(Text);
    return false;
  }
};

class PlannerWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir;
    const AnsiString bin = dir_->Path() + "/bin/";
    ASSERT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, bin + "Ref").empty());
    examples::BuildExamples(TARNWICK_DATA_DIR, bin + "Examples");
    ASSERT_EQ(rptemplates::WriteTemplates(bin + "Ref/"), 8);
    ForceDirectories(bin + "Travels");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    program_ = dir_->Path() + "/bin/tarnwick";
    WriteFileBytes(program_, "x");
    SetFileVersionBlock(program_, std::string(ProgramVersionBlock()));
    TGlobalsEnvironment env;
    env.Store = &store_;
    env.ProgramFile = program_;
    env.UserDataDir = work_.Path() + "/user/";
    env.IsWritable = [](std::string_view) { return true; };
    globals_ = std::make_unique<TdmGlobals>(env);
    globals_->dmGlobalsCreate();
    globals_->Settings.Defaults.DfltDays = 2;
    auto files = std::make_unique<TScriptedFiles>();
    files_ = files.get();
    form_ = std::make_unique<TMainForm>(*globals_, AnsiString(TARNWICK_DATA_DIR) + "/help/help.txt", std::move(files));
    form_->resize(1000, 700);
    form_->show();
    form_->activateWindow();
    Process();
  }
  void TearDown() override {
    for (TRaskladForm* f : form_->Children()) f->Doc().Modified = 0;
    form_.reset();
    EXPECT_EQ(dialogs_->Unexpected(), 0);
    SetFileVersionBlock(program_, {});
  }

  static void Process() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }
  QAction* Act(const char* name) {
    form_->UpdateActions();
    auto* a = form_->findChild<QAction*>(name);
    EXPECT_NE(a, nullptr) << name;
    return a;
  }
  // Triggers an action as its menu item or shortcut would; fails when it is disabled.
  void Trigger(const char* name) {
    QAction* a = Act(name);
    ASSERT_TRUE(a->isEnabled()) << name;
    a->trigger();
    Process();
  }
  // A new frame over the same settings (the old one closed), shown as the program shows it.
  void StartAgain() {
    form_ = std::make_unique<TMainForm>(*globals_, AnsiString(TARNWICK_DATA_DIR) + "/help/help.txt",
                                        std::make_unique<TScriptedFiles>());
    form_->ShowPlaced();
    Process();
  }
  AnsiString Example(const char* name) { return dir_->Path() + "/bin/Examples/" + name; }
  // Focus on the ration tree of a window, and on an item of it.
  void FocusTree(TRaskladForm* f, TMtTreeItem* item = nullptr) {
    form_->Client()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(f->parentWidget()));
    f->ShowSection(1);
    f->ShowTab(0);
    f->MenuView()->setFocus();
    Process();
    if (item != nullptr) {
      f->MenuView()->EnsureVisible(item);
      f->MenuView()->SetItemFocused(item);
    }
    ASSERT_TRUE(f->TreeFocused());
  }
  // The pick-list's answer: the rows with these texts on the page shown, then OK.
  void Picks(std::vector<const char*> texts) {
    form_->RefMenuForm().OnScript = [texts](TRefMenuForm& f, int page) {
      TCustomMtTree& tree = f.Menu().TreeOf(RefPageOfPick(page));
      for (const char* t : texts)
        for (TMtTreeItem* i = tree.Items()->GetItem(0); i != nullptr; i = i->GetNext())
          if (i->Text() == Ansi(t)) {
            if (page == ppKindsOfTrip) tree.SetItemFocused(i);
            i->SetState(isSelected, true);
          }
      return mrOk;
    };
  }
  // The rows of a tree with these texts, in that order; empty when one is missing.
  static std::vector<TMtTreeItem*> RowsNamed(TCustomMtTree& tree, const std::vector<const char*>& names) {
    std::vector<TMtTreeItem*> rows(names.size(), nullptr);
    for (TMtTreeItem* i = tree.Items()->GetItem(0); i != nullptr; i = i->GetNext())
      for (std::size_t k = 0; k < names.size(); ++k)
        if (i->Text() == Ansi(names[k])) rows[k] = i;
    if (std::find(rows.begin(), rows.end(), nullptr) != rows.end()) rows.clear();
    return rows;
  }
  static TMtTreeItem* Child(TMtTreeItem* parent, const char* text) {
    for (int i = 0; i < parent->GetChildrenCount(); ++i)
      if (parent->GetChildren(i)->Text() == Ansi(text)) return parent->GetChildren(i);
    return nullptr;
  }
  void Key(QWidget* w, int key, const QString& text = {}, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
    Process();
  }
  // Runs a command that opens a modal dialog of type D; the script acts on the dialog
  // while it runs and should close it (one it leaves open, or a dialog of another type,
  // is closed). Returns the object names of the modal dialogs met, in order.
  template <class D>
  static std::vector<std::string> WithModal(const std::function<void()>& command,
                                            const std::function<void(D&)>& script) {
    std::vector<std::string> seen;
    QTimer timer;
    timer.setInterval(0);
    QObject::connect(&timer, &QTimer::timeout, [&] {
      QWidget* w = QApplication::activeModalWidget();
      if (w == nullptr || !w->isVisible()) return;
      timer.stop();
      seen.push_back(w->objectName().toStdString());
      if (auto* d = dynamic_cast<D*>(w)) script(*d);
      if (QApplication::activeModalWidget() == w) w->close();
      timer.start();
    });
    timer.start();
    command();
    timer.stop();
    return seen;
  }
  // The products of a ration in pre-order.
  static std::vector<TMtTreeItem*> Products(TRationDocument& doc) {
    std::vector<TMtTreeItem*> items;
    for (TMtTreeItem* i = doc.Items()->GetItem(0); i != nullptr; i = i->GetNext())
      if (FoodRecOf(i) != nullptr && FoodRecOf(i)->Kind == fkProduct) items.push_back(i);
    return items;
  }
  // Drags the focused item of a ration tree with the mouse onto an item of a ration tree
  // (of the same or another window) and drops it there.
  void DragFocused(TRaskladForm* from, TRaskladForm* to, TMtTreeItem* target) {
    TMtTree* source = from->MenuView();
    TMtTree* tree = to->MenuView();
    tree->EnsureVisible(target);
    const TRect t = tree->GetItemRect(target);
    ASSERT_FALSE(t.IsEmpty());
    const QPoint origin = tree->viewport()->mapToGlobal(QPoint(0, 0));
    DragManager().SetTargetFinder([tree, origin](QPoint p) -> TWinControl* {
      return tree->viewport()->rect().contains(p - origin) ? static_cast<TWinControl*>(tree) : nullptr;
    });
    const TRect s = source->GetItemRect(source->ItemFocused());
    ASSERT_FALSE(s.IsEmpty());
    const int x = 280, y = (s.Top + s.Bottom) / 2;  // in the energy column
    source->MouseDown(TMouseButton::mbLeft, ssLeft, x, y);
    source->MouseMove(ssLeft, x, y + 6);
    ASSERT_TRUE(source->Dragging());
    const QPoint drop = origin + QPoint(x, (t.Top + t.Bottom) / 2);
    DragManager().DragTo(drop);
    DragManager().Finish(drop, true);
    DragManager().SetTargetFinder(nullptr);
    Process();
  }

  static TempDir* dir_;
  TempDir work_;
  TSettingsStore store_{work_.Path() + "/settings.ini"};
  AnsiString program_;
  TScriptedDialogsScope dialogs_;
  std::unique_ptr<TdmGlobals> globals_;
  std::unique_ptr<TMainForm> form_;
  TScriptedFiles* files_ = nullptr;
};
TempDir* PlannerWindows::dir_ = nullptr;

}  // namespace

TEST_F(PlannerWindows, CommandLineFilesOpenInOrderAfterStartUp) {
  const AnsiString names[] = {Example("weekend-hike.tw"), Example("mountain-14.tw"), Example("ski-10.tw")};
  form_->OpenParams({names[0], names[1], names[2]});
  EXPECT_TRUE(form_->Children().empty());  // not before the frame has started
  Process();
  const std::vector<TRaskladForm*> children = form_->Children();
  ASSERT_EQ(children.size(), 3u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(children[static_cast<std::size_t>(i)]->Doc().FileName, names[i]);
  // The recent files: newest first, examples shown relative to the examples directory.
  EXPECT_EQ(form_->Mru().Captions(),
            (std::vector<AnsiString>{"..\\Examples\\ski-10.tw", "..\\Examples\\mountain-14.tw",
                                     "..\\Examples\\weekend-hike.tw"}));
  QMenu* mru = form_->findChild<QMenu*>("MruRoot");
  ASSERT_EQ(mru->actions().size(), 3);
  EXPECT_TRUE(mru->isEnabled());
  // A click on the oldest opens it again and moves it to the top.
  mru->actions().back()->trigger();
  Process();
  EXPECT_EQ(form_->Children().size(), 4u);
  EXPECT_EQ(form_->Mru().Captions().front(), "..\\Examples\\weekend-hike.tw");
  // A file that cannot be read shows its message and leaves the list.
  WriteFileBytes(work_.Path() + "/bad.tw", "TWCK\x03");
  form_->Mru().AddMru(work_.Path() + "/bad.tw");
  dialogs_->Answer(mrOk);
  EXPECT_EQ(form_->OpenRation(work_.Path() + "/bad.tw"), nullptr);
  EXPECT_EQ(form_->Mru().Captions().front(), "..\\Examples\\weekend-hike.tw");
  EXPECT_EQ(dialogs_->Shown().size(), 1u);
}

TEST_F(PlannerWindows, BuildADocumentThroughTheCommands) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  ASSERT_NE(f, nullptr);
  TRationDocument& doc = f->Doc();
  EXPECT_EQ(doc.DayCounter, 2);
  EXPECT_EQ(U(doc.Caption).rfind("Раскладка ", 0), 0u);
  EXPECT_FALSE(Act("EditAddDay")->isEnabled());  // the tree does not have the focus yet
  FocusTree(f, doc.Items()->Root()->GetChildren(0));
  Trigger("EditAddDay");
  EXPECT_EQ(doc.DayCounter, 3);
  TMtTreeItem* day = doc.Tree().ItemFocused();
  ASSERT_NE(day, nullptr);
  EXPECT_EQ(day->GetIndex(), 0);

  Picks({"Завтрак"});
  Trigger("EditAddMeal");
  TMtTreeItem* meal = Child(day, "Завтрак");
  ASSERT_NE(meal, nullptr);
  FocusTree(f, meal);
  Picks({"Каша гречневая с маслом"});
  Trigger("EditAddDish");
  TMtTreeItem* dish = Child(meal, "Каша гречневая с маслом");
  ASSERT_NE(dish, nullptr);
  EXPECT_GE(dish->GetChildrenCount(), 2);  // its components
  Picks({"Сахар-песок", "Чай чёрный байховый"});
  Trigger("EditAddProd");
  TMtTreeItem* sugar = Child(meal, "Сахар-песок");
  ASSERT_NE(sugar, nullptr);
  EXPECT_NE(Child(meal, "Чай чёрный байховый"), nullptr);

  // Re-weigh by typing into the row: a digit opens the weight cell, Enter commits.
  FocusTree(f, sugar);
  Key(f->MenuView(), Qt::Key_5, "5");
  TEdit* editor = f->MenuView()->InplaceEdit();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(f->MenuView()->Editing());
  EXPECT_EQ(editor->text(), "5");
  EXPECT_EQ(f->MenuView()->EditedSection(), kRationVeightSection);
  editor->insert("5");
  Key(editor, Qt::Key_Return);
  EXPECT_FALSE(f->MenuView()->Editing());
  EXPECT_EQ(FoodRecOf(sugar)->Veight, 55);
  // A negative weight is refused with a message.
  FocusTree(f, sugar);
  Trigger("EditEditCell");
  editor = f->MenuView()->InplaceEdit();
  ASSERT_NE(editor, nullptr);
  ASSERT_TRUE(f->MenuView()->Editing());
  EXPECT_EQ(editor->text(), "55");  // the cell's weight, as the row shows it
  editor->selectAll();
  editor->insert("-3");
  dialogs_->Answer(mrOk);
  Key(editor, Qt::Key_Return);
  EXPECT_EQ(FoodRecOf(sugar)->Veight, 55);
  ASSERT_FALSE(dialogs_->Shown().empty());
  EXPECT_EQ(U(dialogs_->Shown().back().Text), "Вес не может быть отрицательным (-3 г).\rВес не изменён.");

  // The totals follow the document's sums.
  const TTripSums sums = TripSums(doc);
  TMtTreeItem* trip = f->TotalsView()->Items()->Root()->GetChildren(2);
  EXPECT_EQ(trip->ColumnText()[tcEnergy], Format("%d", {sums.Cal}));
  TMtTreeItem* perDay = f->TotalsView()->Items()->Root()->GetChildren(0);
  EXPECT_EQ(perDay->ColumnText()[tcEnergy], Format("%d", {Round(static_cast<double>(sums.Cal) / 3)}));

  // Delete the dish: the day's sums drop.
  FocusTree(f, dish);
  const std::int32_t before = FoodRecOf(day)->Cal;
  Trigger("EditEatDel");
  EXPECT_EQ(Child(meal, "Каша гречневая с маслом"), nullptr);
  EXPECT_LT(FoodRecOf(day)->Cal, before);
  EXPECT_EQ(doc.Modified, 1);
}

TEST_F(PlannerWindows, CopyAndPasteBetweenWindowsAndDragAProduct) {
  TRaskladForm* a = form_->OpenRation(Example("weekend-hike.tw"));
  TRaskladForm* b = form_->OpenRation(AnsiString());
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  TMtTreeItem* aDay = a->Doc().Items()->Root()->GetChildren(0);
  TMtTreeItem* lunch = Child(aDay, "Обед");
  ASSERT_NE(lunch, nullptr);
  FocusTree(a, lunch);
  Trigger("EditCopy1");
  const AnsiString clip = FromQString(QApplication::clipboard()->text());
  EXPECT_EQ(clip.substr(0, 14), "TRWKItems\t1\t2\t");

  TMtTreeItem* bDay = b->Doc().Items()->Root()->GetChildren(1);
  FocusTree(b, bDay);
  Trigger("EditPaste1");
  TMtTreeItem* copy = Child(bDay, "Обед");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->GetDescendantCount(), lunch->GetDescendantCount());
  EXPECT_EQ(FoodRecOf(bDay)->Cal, FoodRecOf(lunch)->Cal);
  // A product cannot take a fragment: paste is disabled there.
  TMtTreeItem* product = copy->GetChildren(copy->GetChildrenCount() - 2);
  FocusTree(b, product);
  EXPECT_FALSE(Act("EditPaste1")->isEnabled());

  // Drag a product of the copied lunch to the first day's supper in the same window, with
  // Shift: it moves.
  TMtTreeItem* bDay0 = b->Doc().Items()->Root()->GetChildren(0);
  Picks({"Ужин"});
  FocusTree(b, bDay0);
  Trigger("EditAddMeal");
  TMtTreeItem* supper = Child(bDay0, "Ужин");
  ASSERT_NE(supper, nullptr);
  FocusTree(b, product);
  const AnsiString name = product->Text();
  const int lunchCount = copy->GetChildrenCount();
  bDay0->SetExpanded(true);
  Key(b->MenuView(), Qt::Key_Shift, {}, Qt::ShiftModifier);
  EXPECT_EQ(b->DragMode(), 2);
  DragFocused(b, b, supper);
  EXPECT_EQ(copy->GetChildrenCount(), lunchCount - 1);
  ASSERT_EQ(supper->GetChildrenCount(), 1);
  EXPECT_EQ(supper->GetChildren(0)->Text(), name);
  EXPECT_EQ(b->DragMode(), 1);  // the end of a drag copies again
  EXPECT_EQ(b->Doc().DragSource, nullptr);
  // Onto its own parent: refused.
  FocusTree(b, supper->GetChildren(0));
  DragFocused(b, b, supper);
  EXPECT_EQ(supper->GetChildrenCount(), 1);
  // Without Shift, to another window's lunch: a copy, the source keeps its product.
  const int aLunch = lunch->GetChildrenCount();
  FocusTree(b, supper->GetChildren(0));
  lunch->SetExpanded(true);
  DragFocused(b, a, lunch);
  ASSERT_EQ(lunch->GetChildrenCount(), aLunch + 1);
  EXPECT_EQ(lunch->GetChildren(aLunch)->Text(), name);
  EXPECT_EQ(supper->GetChildrenCount(), 1);
}

TEST_F(PlannerWindows, EveryTabShowsTheDocument) {
  TRaskladForm* f = form_->OpenRation(Example("mountain-14.tw"));
  ASSERT_NE(f, nullptr);
  const TRationDocument& doc = f->Doc();
  const TTripSums sums = TripSums(doc);
  // Totals grid: per day, whole trip, group.
  const TMtTreeItem* root = f->TotalsView()->Items()->Root();
  ASSERT_EQ(root->GetChildrenCount(), kTotalsRowCount);
  EXPECT_EQ(root->GetChildren(0)->ColumnText()[tcEnergy], Format("%d", {Round(static_cast<double>(sums.Cal) / 14)}));
  EXPECT_EQ(root->GetChildren(2)->ColumnText()[tcEnergy], Format("%d", {sums.Cal}));
  EXPECT_EQ(root->GetChildren(4)->ColumnText()[tcVeight], Format("%3.3f", {6 * sums.Veight / 1000}));
  EXPECT_EQ(U(f->TotalsView()->HeaderSections()->FindByNumber(0)->Text()).rfind("ИТОГО [", 0), 0u);

  f->ShowTab(1);
  const TMtTreeItem* days = f->DayListView()->Items()->Root();
  ASSERT_EQ(days->GetChildrenCount(), 14);
  EXPECT_TRUE(days->GetChildren(0)->GetState(isBold));
  EXPECT_EQ(days->GetChildren(0)->ColumnText()[1], Format("%d", {FoodRecOf(doc.Items()->Root()->GetChildren(0))->Veight}));
  f->ShowTab(2);
  const TMtTreeItem* trip = f->TripListView()->Items()->Root();
  ASSERT_GT(trip->GetChildrenCount(), 20);
  std::int64_t grams = 0;
  for (int i = 0; i < trip->GetChildrenCount(); ++i) {
    double kg = 0;
    ASSERT_TRUE(TryStrToFloat(trip->GetChildren(i)->ColumnText()[6], kg));
    grams += Round(kg * 1000);
  }
  EXPECT_EQ(grams, Round(sums.Veight));  // the list's weights add up to the trip's
  // A cost typed into the list reaches the totals.
  // Typing a digit on a row opens its cost cell; Enter stores the cost.
  f->TripListView()->setFocus();
  f->TripListView()->SetItemFocused(trip->GetChildren(0));
  Key(f->TripListView(), Qt::Key_1, "1");
  ASSERT_TRUE(f->TripListView()->Editing());
  EXPECT_EQ(f->TripListView()->EditedSection(), kTripCostColumn + 1);
  f->TripListView()->InplaceEdit()->insert("40,5");
  Key(f->TripListView()->InplaceEdit(), Qt::Key_Return);
  EXPECT_FALSE(f->TripListView()->Editing());
  EXPECT_EQ(trip->GetChildren(0)->ColumnText()[kTripCostColumn], "    140.50");
  EXPECT_EQ(root->GetChildren(4)->ColumnText()[tcCost], "    140.50");
  f->ShowTab(3);
  const std::string text = f->Recommendations()->toPlainText().toStdString();
  EXPECT_NE(text.find("ОЦЕНКА СРЕДНЕСУТОЧНОГО РАЦИОНА"), std::string::npos) << text;
  EXPECT_NE(text.find("КАЛОРИЙНОСТЬ"), std::string::npos);
}

TEST_F(PlannerWindows, SaveAndReopenGivesTheSameBytes) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  const AnsiString saved = work_.Path() + "/copy.tw";
  files_->answers.push_back(saved);
  Trigger("FileSaveAs1");
  EXPECT_EQ(ReadFileBytes(saved), ReadFileBytes(Example("weekend-hike.tw")));
  EXPECT_EQ(form_->Mru().Captions().front(), saved);
  TRaskladForm* g = form_->OpenRation(saved);
  ASSERT_NE(g, nullptr);
  Trigger("FileSave1");
  EXPECT_EQ(ReadFileBytes(saved), ReadFileBytes(Example("weekend-hike.tw")));
  EXPECT_EQ(g->Doc().Modified, 0);
}

TEST_F(PlannerWindows, PrintPreviewShowsTheBuiltPagesInThePreviewWindow) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  dialogs_->AnswerForm("PrnSelectForm", [](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    for (const char* key : {"Gen", "Eat"}) prnselect::ClickCheckBox(d, key);
    d.btnOk->click();
  });
  int pages = 0;
  dialogs_->AnswerForm("TrpPreviewForm", [&pages](TForm& d) {
    auto& preview = static_cast<TrpPreviewForm&>(d);
    pages = preview.PageCount();
    EXPECT_EQ(preview.PageNo(), 1);
    preview.SetModalResult(mrOk);
  });
  Trigger("FilePrintPreview");
  EXPECT_GT(pages, 1);
}

// Another copy of the program saved the file meanwhile: "Сохранить" asks before writing
// over it, and Нет leaves that file and the window's edits as they are.
TEST_F(PlannerWindows, SavingOverAFileAnotherProgramChangedAsksFirst) {
  const AnsiString name = work_.Path() + "/shared.tw";
  ASSERT_TRUE(CopyFile(Example("weekend-hike.tw"), name));
  TRaskladForm* f = form_->OpenRation(name);
  ASSERT_NE(f, nullptr);
  {
    TRationDocument other;
    TRationFileMessagesStub quiet;
    ASSERT_EQ(LoadRationFromFile(other, name, {}, quiet), rlOk);
    other.Header.Title = Ansi("Правка другого пользователя");
    ASSERT_TRUE(SaveRationToFile(other, "", false, quiet));
  }
  const std::string theirs = ReadFileBytes(name);
  f->Doc().Header.Title = Ansi("Своя правка");
  f->Doc().Modified = 1;
  dialogs_->Answer(mrNo);
  Trigger("FileSave1");
  ASSERT_FALSE(dialogs_->Shown().empty());
  EXPECT_NE(U(dialogs_->Shown().back().Text).find("был изменен другой программой"), std::string::npos);
  EXPECT_EQ(dialogs_->Shown().back().Buttons, (std::vector<int>{mrYes, mrNo}));
  EXPECT_EQ(ReadFileBytes(name), theirs);
  EXPECT_EQ(f->Doc().Modified, 1);
  dialogs_->Answer(mrYes);
  Trigger("FileSave1");
  EXPECT_EQ(f->Doc().Modified, 0);
  TRationDocument back;
  TRationFileMessagesStub quiet;
  ASSERT_EQ(LoadRationFromFile(back, name, {}, quiet), rlOk);
  EXPECT_EQ(U(back.Header.Title), "Своя правка");
}

TEST_F(PlannerWindows, CloseQuestionYesNoCancel) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  f->Doc().Modified = 1;
  // Cancel: stays.
  dialogs_->Answer(mrCancel);
  Trigger("FileClose1");
  ASSERT_EQ(form_->Children().size(), 1u);
  EXPECT_NE(U(dialogs_->Shown().back().Text).find("была изменена.\rСохранить изменения?"), std::string::npos);
  // Yes on an untitled document, the save dialog cancelled: stays.
  dialogs_->Answer(mrYes);
  files_->answers.push_back(std::nullopt);
  Trigger("FileClose1");
  ASSERT_EQ(form_->Children().size(), 1u);
  EXPECT_EQ(files_->seeds.back(), f->Doc().Caption);  // seeded with the caption
  // Yes, saved under a name: closes, the file exists.
  const AnsiString name = work_.Path() + "/new.tw";
  dialogs_->Answer(mrYes);
  files_->answers.push_back(name);
  Trigger("FileClose1");
  EXPECT_TRUE(form_->Children().empty());
  EXPECT_TRUE(FileExists(name));
  // No: closes without saving.
  Trigger("FileNew1");
  form_->ActiveChild()->Doc().Modified = 1;
  dialogs_->Answer(mrNo);
  Trigger("FileClose1");
  EXPECT_TRUE(form_->Children().empty());
}

TEST_F(PlannerWindows, CopyInTheTitleFieldCopiesText) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  f->ShowSection(0);
  auto* title = f->findChild<QLineEdit*>("edTitle");
  title->setText("Ока");
  title->setFocus();
  title->selectAll();
  Process();
  ASSERT_FALSE(f->TreeFocused());
  Trigger("EditCopy1");
  EXPECT_EQ(QApplication::clipboard()->text(), QString("Ока"));
}

// Ctrl+F in a ration window reaches the frame's find command through the window
// system's shortcut handling; the dialog's condition finds the product, F3 the next one.
TEST_F(PlannerWindows, CtrlFOpensTheFindDialogAndF3FindsTheNextMatch) {
  TRaskladForm* f = form_->OpenRation(Example("mountain-14.tw"));
  ASSERT_NE(f, nullptr);
  TRationDocument& doc = f->Doc();
  // A product that is in the ration more than once.
  const std::vector<TMtTreeItem*> products = Products(doc);
  std::vector<TMtTreeItem*> matches;
  for (TMtTreeItem* p : products) {
    matches.clear();
    for (TMtTreeItem* q : products)
      if (q->Text() == p->Text()) matches.push_back(q);
    if (matches.size() >= 3) break;
  }
  ASSERT_GE(matches.size(), 3u);
  const AnsiString name = matches[0]->Text();
  FocusTree(f, doc.Items()->Root()->GetFirstChild());
  QApplication::setActiveWindow(form_.get());
  form_->UpdateActions();  // as the frame's idle update does
  int runs = 0;
  const std::vector<std::string> seen = WithModal<TFindDlg>(
      [&] { QTest::keyClick(f->MenuView(), Qt::Key_F, Qt::ControlModifier); },
      [&](TFindDlg& dlg) {
        ++runs;
        EXPECT_EQ(U(FromQString(dlg.windowTitle())), "Поиск");
        dlg.cbItemType->setCurrentIndex(0);
        dlg.cbItemTypeChange();
        dlg.edCondValue->setText(ToQString(name));
        dlg.rbForward->setChecked(true);
        dlg.Button1->click();
      });
  EXPECT_EQ(seen, std::vector<std::string>{"FindDlg"});
  ASSERT_EQ(runs, 1);
  EXPECT_EQ(doc.Tree().ItemFocused(), matches[0]);
  // F3: the next match, and the one after it.
  // (The offscreen platform gives the activation back to the frame only when asked.)
  QApplication::setActiveWindow(form_.get());
  for (std::size_t i = 1; i < 3; ++i) {
    f->MenuView()->setFocus();
    Process();
    form_->UpdateActions();
    ASSERT_TRUE(Act("EditFindNext")->isEnabled());
    QTest::keyClick(f->MenuView(), Qt::Key_F3);
    Process();
    EXPECT_EQ(doc.Tree().ItemFocused(), matches[i]);
  }
  EXPECT_EQ(doc.Modified, 0);  // finding changes nothing
  EXPECT_TRUE(dialogs_->Shown().empty());
}

// Replace through the dialog: the replacement picked in the pick-list, its weight kept,
// "Yes to all" at the first question; every match is replaced and counted.
TEST_F(PlannerWindows, ReplaceThroughTheFindDialogReplacesEveryMatch) {
  TRaskladForm* f = form_->OpenRation(Example("mountain-14.tw"));
  ASSERT_NE(f, nullptr);
  TRationDocument& doc = f->Doc();
  const std::vector<TMtTreeItem*> products = Products(doc);
  ASSERT_FALSE(products.empty());
  const AnsiString name = products[0]->Text();
  std::vector<std::int32_t> weights;
  for (TMtTreeItem* p : products)
    if (p->Text() == name) weights.push_back(FoodRecOf(p)->Veight);
  const char* replacement = name == Ansi("Сахар-песок") ? "Чай чёрный байховый" : "Сахар-песок";
  // The weights of the rows of a product, sorted.
  auto weightsOf = [&](const AnsiString& product) {
    std::vector<std::int32_t> w;
    for (TMtTreeItem* p : Products(doc))
      if (p->Text() == product) w.push_back(FoodRecOf(p)->Veight);
    std::sort(w.begin(), w.end());
    return w;
  };
  std::vector<std::int32_t> expected = weightsOf(Ansi(replacement));
  expected.insert(expected.end(), weights.begin() + 1, weights.end());
  std::sort(expected.begin(), expected.end());
  FocusTree(f, doc.Items()->Root()->GetFirstChild());

  Picks({replacement});
  dialogs_->Answer(mrNo);        // the first match stays
  dialogs_->Answer(mrYesToAll);  // the others are replaced
  dialogs_->Answer(mrOk);        // the count
  const std::vector<std::string> seen = WithModal<TFindDlg>([&] { Trigger("EditFind"); }, [&](TFindDlg& dlg) {
    dlg.cbxReplace->click();
    EXPECT_EQ(U(FromQString(dlg.windowTitle())), "Поиск и замена");
    dlg.edCondValue->setText(ToQString(name));
    dlg.cbRepItem->DoClick();  // the pick-list
    EXPECT_EQ(U(dlg.cbRepItem->Text()), replacement);
    dlg.edRepValue->setText("*");
    dlg.Button1->click();
  });
  EXPECT_EQ(seen, std::vector<std::string>{"FindDlg"});
  ASSERT_EQ(dialogs_->Shown().size(), 3u);
  EXPECT_EQ(U(dialogs_->Shown()[0].Text).rfind("Найдено: " + U(name), 0), 0u);
  EXPECT_EQ(U(dialogs_->Shown()[2].Text), "Выполнено замен: " + std::to_string(weights.size() - 1) + " ");
  // The first stays; the others became the replacement with their old weights.
  EXPECT_EQ(weightsOf(name), std::vector<std::int32_t>{weights[0]});
  EXPECT_EQ(weightsOf(Ansi(replacement)), expected);
  EXPECT_EQ(doc.Modified, 1);
}

// The frame's dialog commands each open their dialog over the program's state.
TEST_F(PlannerWindows, DialogCommandsOpenTheirDialogs) {
  TRaskladForm* f = form_->OpenRation(Example("mountain-14.tw"));
  ASSERT_NE(f, nullptr);
  std::vector<std::string> titles;
  auto title = [&](QWidget& w) { titles.push_back(U(FromQString(w.windowTitle()))); };

  EXPECT_EQ(WithModal<TRaskladPropForm>([&] { Trigger("EditRaskladProp"); },
                                        [&](TRaskladPropForm& d) {
                                          title(d);
                                          EXPECT_EQ(d.lvParams->topLevelItem(0)->text(1).toInt(),
                                                    f->Doc().Header.RefCal);
                                          d.btnCancel->click();
                                        }),
            std::vector<std::string>{"RaskladPropForm"});
  EXPECT_EQ(WithModal<TRefEditForm>([&] { Trigger("ToolsEditRef"); },
                                    [&](TRefEditForm& d) {
                                      title(d);
                                      EXPECT_EQ(d.PageControl1->count(), kRefEditPageCount);
                                      for (int p = 0; p < kRefEditPageCount; ++p)
                                        EXPECT_GT(d.View(p)->RowCount(), 0) << p;
                                      d.Action("FileClose")->trigger();
                                    }),
            std::vector<std::string>{"RefEditForm"});
  EXPECT_EQ(WithModal<TOptionsForm>([&] { Trigger("ToolsOptions"); },
                                    [&](TOptionsForm& d) {
                                      title(d);
                                      EXPECT_EQ(d.DirectoryEdit[0]->Text(), globals_->Settings.General.RefDir);
                                      d.btnCancel->click();
                                    }),
            std::vector<std::string>{"OptionsForm"});
  EXPECT_EQ(WithModal<TAboutDlg>([&] { Trigger("HelpAbout1"); },
                                 [&](TAboutDlg& d) {
                                   title(d);
                                   EXPECT_EQ(U(FromQString(d.lblProgVer->text())),
                                             "версия " + U(globals_->ProgVersion));
                                   d.btnOk->click();
                                 }),
            std::vector<std::string>{"AboutDlg"});
  EXPECT_EQ(titles, (std::vector<std::string>{"Свойства раскладки", "Редактирование справочников", "Параметры",
                                              "Информация"}));
  EXPECT_EQ(f->Doc().Modified, 0);
}

// An average daily ration has no per-day list: its tabs still show what they are named for.
TEST_F(PlannerWindows, AverageRationTabsWithoutTheDayList) {
  TRaskladForm* f = form_->OpenRation(Example("ski-10.tw"));
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->Tabs()->count(), 3);
  f->ShowTab(3);
  EXPECT_EQ(f->CurrentTab(), 3);
  EXPECT_NE(f->Recommendations()->toPlainText().toStdString().find("КАЛОРИЙНОСТЬ"), std::string::npos);
  f->ShowTab(2);
  EXPECT_EQ(f->CurrentTab(), 2);
  EXPECT_EQ(f->TripListView()->Items()->Root()->GetChildrenCount(), 26);
  EXPECT_EQ(f->DayListView()->Items()->Count(), 0);  // never built
  f->ShowTab(1);
  EXPECT_EQ(f->CurrentTab(), 2);  // a hidden tab is not shown
}

// A day menu made an average ration while its day list is the page shown: the menu is
// shown in its place, whether the type is changed in the properties dialog or otherwise.
TEST_F(PlannerWindows, HidingTheDayListWhileShownShowsTheMenu) {
  struct Case {
    const char* what;
    std::function<void(TRaskladForm*)> toAverage;
  };
  const Case cases[] = {
      {"the properties dialog",
       [this](TRaskladForm*) {
         WithModal<TRaskladPropForm>([&] { Trigger("EditRaskladProp"); },
                                     [](TRaskladPropForm& d) {
                                       d.rbAverage->click();
                                       d.btnOk->click();
                                     });
       }},
      {"the document",
       [](TRaskladForm* f) {
         f->Doc().SetRationType(rtAverage);
         f->ApplyDocumentState();
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRaskladForm* f = form_->OpenRation(Example("mountain-14.tw"));
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->Tabs()->count(), 4);
    f->ShowTab(1);
    ASSERT_EQ(f->CurrentTab(), 1);
    c.toAverage(f);
    Process();
    EXPECT_EQ(f->Doc().RationType(), rtAverage);
    EXPECT_EQ(f->Tabs()->count(), 3);
    EXPECT_EQ(f->CurrentTab(), 0);
    EXPECT_EQ(f->Tabs()->tabText(f->Tabs()->currentIndex()).toStdString(), "Меню по дням");
    f->Doc().Modified = 0;
    f->parentWidget()->close();
    Process();
  }
}

// The report preview's help button opens the program's help at the preview's page.
TEST_F(PlannerWindows, PreviewHelpOpensItsPage) {
  {
    TrpPreviewForm preview(form_.get());
    preview.HelpBtn->Click();
  }
  THelpForm& help = form_->HelpForm();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.Context(), kPreviewHelpContext);
  EXPECT_NE(help.Browser()->toPlainText().toStdString().find("Просмотр отчета"), std::string::npos);
  EXPECT_EQ(dialogs_->Unexpected(), 0);
  help.close();
}

namespace {

// Counts the presses the window system's path lets through to a window (Qt drops those
// of a window that a modal window blocks).
struct PressCounter : QObject {
  int presses = 0;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::MouseButtonPress) ++presses;
    return false;
  }
};

}  // namespace

// Help asked for from the modal preview takes input while the preview is open, and stays
// open, the main window's again, when the preview closes.
TEST_F(PlannerWindows, PreviewHelpTakesInputWhileThePreviewIsModal) {
  TrpPreviewForm preview(form_.get());
  preview.SetWindowState(TWindowState::wsNormal);
  preview.resize(600, 400);
  PressCounter counter;
  int pressesWhileModal = -1;
  bool helpShown = false;
  bool helpPlacedByProgram = true;
  dialogs_->AnswerForm("TrpPreviewForm", [&](TForm& f) {
    ASSERT_EQ(QApplication::activeModalWidget(), &f);
    static_cast<TrpPreviewForm&>(f).HelpBtn->Click();
    THelpForm& help = form_->HelpForm();
    helpShown = help.isVisible();
    // Never placed before, it is left to the window system to place: a position given
    // here would put its client area at the screen's corner and its title bar above it.
    helpPlacedByProgram = help.testAttribute(Qt::WA_Moved);
    QCoreApplication::processEvents();
    ASSERT_NE(help.windowHandle(), nullptr);
    help.windowHandle()->installEventFilter(&counter);
    QTest::mousePress(help.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    QTest::mouseRelease(help.windowHandle(), Qt::LeftButton, Qt::NoModifier, QPoint(20, 20));
    pressesWhileModal = counter.presses;
    help.windowHandle()->removeEventFilter(&counter);
    static_cast<TrpPreviewForm&>(f).Exit();
  });
  EXPECT_EQ(preview.ShowModal(), mrOk);
  EXPECT_TRUE(helpShown);
  EXPECT_FALSE(helpPlacedByProgram);
  EXPECT_EQ(pressesWhileModal, 1);
  THelpForm& help = form_->HelpForm();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.parentWidget(), form_.get());
  EXPECT_EQ(help.Context(), kPreviewHelpContext);
  EXPECT_EQ(dialogs_->Unexpected(), 0);
  help.close();
}

TEST_F(PlannerWindows, PrintSectionDialogHelpOpensItsPage) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  dialogs_->AnswerForm("PrnSelectForm", [](TForm& d) {
    static_cast<TPrnSelectForm&>(d).btnHelp->click();
    static_cast<TPrnSelectForm&>(d).btnCancel->click();
  });
  Trigger("FilePrint");
  THelpForm& help = form_->HelpForm();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.Context(), kPrnSelectHelpContext);
  EXPECT_NE(help.Browser()->toPlainText().toStdString().find("Печать раскладки"), std::string::npos);
  EXPECT_EQ(dialogs_->Unexpected(), 0);
  help.close();
}

TEST_F(PlannerWindows, HelpTopicsOpenTheirPages) {
  Trigger("HelpDayMenu");
  THelpForm& help = form_->HelpForm();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(help.Context(), 2150);
  EXPECT_NE(help.Browser()->toPlainText().toStdString().find("Составление меню на каждый день"), std::string::npos);
  Trigger("HelpContents");
  EXPECT_EQ(help.Context(), 0);
  EXPECT_NE(help.Browser()->toHtml().toStdString().find("help:2160"), std::string::npos);
  // The index and the help on help have pages of their own.
  Trigger("HelpIndex");
  EXPECT_EQ(help.Context(), kHelpIndex);
  EXPECT_EQ(help.Browser()->toPlainText().toStdString().rfind("Индекс", 0), 0u);
  EXPECT_NE(help.Browser()->toHtml().toStdString().find("help:2160"), std::string::npos);
  Trigger("HelpHowToUse");
  EXPECT_EQ(help.Context(), kHelpHowToUse);
  EXPECT_EQ(help.Browser()->toPlainText().toStdString().rfind("Как пользоваться справочной системой", 0), 0u);
  help.close();
}

// Space in a pick-list toggles the pick of the focused row and keeps the other picks.
TEST_F(PlannerWindows, SpaceTogglesOnePickInThePickList) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  ASSERT_NE(f, nullptr);
  FocusTree(f, f->Doc().Items()->Root()->GetChildren(0));
  const std::vector<const char*> names = {"Сахар-песок", "Чай чёрный байховый", "Соль поваренная"};
  std::vector<std::vector<bool>> seen;
  form_->RefMenuForm().OnScript = [&](TRefMenuForm& menu, int page) {
    TMtTree* view = menu.View(RefPageOfPick(page));
    const std::vector<TMtTreeItem*> rows = RowsNamed(*view, names);
    if (rows.empty()) return mrCancel;
    rows[0]->SetState(isSelected, true);
    rows[1]->SetState(isSelected, true);
    view->setFocus();
    view->SetItemFocused(rows[2]);  // focusing picks it
    auto picks = [&] {
      return std::vector<bool>{rows[0]->GetState(isSelected), rows[1]->GetState(isSelected),
                               rows[2]->GetState(isSelected)};
    };
    seen.push_back(picks());
    Key(view, Qt::Key_Space, " ");
    seen.push_back(picks());
    Key(view, Qt::Key_Space, " ");
    seen.push_back(picks());
    return mrOk;
  };
  Trigger("EditAddProd");
  const std::vector<std::vector<bool>> expected = {{true, true, true}, {true, true, false}, {true, true, true}};
  EXPECT_EQ(seen, expected);
  TMtTreeItem* day = f->Doc().Items()->Root()->GetChildren(0);
  for (const char* n : names) EXPECT_NE(Child(day, n), nullptr) << n;
}

namespace {

// Clicks a section of a tree's header with the mouse.
void ClickHeader(TMtTree* tree, int section) {
  const TMtHeaderSection* s = tree->HeaderSections()->FindByNumber(section);
  ASSERT_NE(s, nullptr);
  const int x = s->GetLeft() - tree->LeftPosition() + 8, y = tree->HeaderHeight() / 2;
  tree->Header().MouseDown(TMouseButton::mbLeft, ssLeft, x, y);
  tree->Header().MouseUp(TMouseButton::mbLeft, ssLeft, x, y);
  QApplication::processEvents();
}

std::vector<std::int32_t> Veights(const TMtTreeItem* parent) {
  std::vector<std::int32_t> v;
  for (int i = 0; i < parent->GetChildrenCount(); ++i) v.push_back(FoodRecOf(parent->GetChildren(i))->Veight);
  return v;
}

}  // namespace

// "Вес,г." clicked twice sorts each day's rows by weight ascending, then descending; the
// days keep their order and the document is modified.
TEST_F(PlannerWindows, HeaderClickSortsTheRowsOfEachDay) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  f->ShowTab(0);
  TRationDocument& doc = f->Doc();
  const TMtTreeItem* root = doc.Items()->Root();
  ASSERT_EQ(root->GetChildrenCount(), 3);
  std::vector<AnsiString> dayTexts;
  for (int d = 0; d < 3; ++d) dayTexts.push_back(root->GetChildren(d)->Text());
  EXPECT_EQ(doc.Modified, 0);

  ClickHeader(f->MenuView(), kRationVeightSection);
  const TMtHeaderSection* s = f->MenuView()->HeaderSections()->FindByNumber(kRationVeightSection);
  EXPECT_EQ(s->SortMode(), hsmAscend);
  for (int d = 0; d < 3; ++d) {
    const TMtTreeItem* day = root->GetChildren(d);
    EXPECT_EQ(day->Text(), dayTexts[static_cast<std::size_t>(d)]);
    std::vector<std::int32_t> v = Veights(day);
    ASSERT_GT(v.size(), 1u);
    EXPECT_TRUE(std::is_sorted(v.begin(), v.end())) << d;
  }
  EXPECT_EQ(doc.Modified, 1);

  ClickHeader(f->MenuView(), kRationVeightSection);
  EXPECT_EQ(s->SortMode(), hsmDescend);
  for (int d = 0; d < 3; ++d) {
    std::vector<std::int32_t> v = Veights(root->GetChildren(d));
    EXPECT_TRUE(std::is_sorted(v.rbegin(), v.rend())) << d;
  }
  // Sections right of the nutrients do not sort.
  ClickHeader(f->MenuView(), 7);
  EXPECT_EQ(s->SortMode(), hsmDescend);
}

// The whole-trip list sorts its rows by a header click and numbers them again; a cost
// typed before stays with its product.
TEST_F(PlannerWindows, HeaderClickSortsTheTripListAndRenumbers) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  f->ShowTab(2);
  TMtTree* list = f->TripListView();
  const TMtTreeItem* root = list->Items()->Root();
  ASSERT_GT(root->GetChildrenCount(), 3);
  const AnsiString costed = root->GetChildren(0)->Text();
  ASSERT_TRUE(f->CommitCost(0, "12,5"));
  ClickHeader(list, 3);  // "Вес,г." (column text 2)
  auto grams = [&] {
    std::vector<std::int32_t> v;
    for (int i = 0; i < root->GetChildrenCount(); ++i) v.push_back(StrToInt(root->GetChildren(i)->ColumnText()[2]));
    return v;
  };
  std::vector<std::int32_t> v = grams();
  EXPECT_TRUE(std::is_sorted(v.begin(), v.end()));
  ClickHeader(list, 3);
  v = grams();
  EXPECT_TRUE(std::is_sorted(v.rbegin(), v.rend()));
  int costedRow = -1;
  for (int i = 0; i < root->GetChildrenCount(); ++i) {
    EXPECT_EQ(root->GetChildren(i)->ColumnText()[0], Format("%d.", {i + 1}));
    EXPECT_EQ(f->Views().TripList[static_cast<std::size_t>(i)].Text, root->GetChildren(i)->Text());
    if (root->GetChildren(i)->Text() == costed) costedRow = i;
  }
  ASSERT_GE(costedRow, 0);
  EXPECT_EQ(root->GetChildren(costedRow)->ColumnText()[kTripCostColumn], "     12.50");
  // A cost typed after the sort lands on the row the user sees.
  ASSERT_TRUE(f->CommitCost(1, "1"));
  EXPECT_EQ(root->GetChildren(1)->ColumnText()[kTripCostColumn], "      1.00");
  EXPECT_EQ(f->Views().TripList[1].Columns[kTripCostColumn], "      1.00");
}

// The weight section of the ration tree has its colours in the header only: its cells
// are painted like the rest of their row.
TEST_F(PlannerWindows, WeightColourOnlyOnTheHeaderSection) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  f->ShowTab(0);
  TMtTree* tree = f->MenuView();
  TMtTreeItem* day = f->Doc().Items()->Root()->GetChildren(0);
  day->Expand(true);
  Process();
  TMtTreeItem* product = nullptr;
  for (TMtTreeItem* i = day; i != nullptr && product == nullptr; i = i->GetNext())
    if (FoodRecOf(i) != nullptr && FoodRecOf(i)->Kind == fkProduct) product = i;
  ASSERT_NE(product, nullptr);
  tree->EnsureVisible(product);
  Process();
  const QImage image = tree->viewport()->grab().toImage();
  if (const char* dir = std::getenv("TARNWICK_SHOTS")) image.save(QString::fromLocal8Bit(dir) + "/weight-colour.png");
  const TRect row = tree->GetItemRect(product);
  ASSERT_FALSE(row.IsEmpty());
  // The share of pixels of a colour in a rectangle of the picture (text is smoothed: a
  // bluish pixel counts as blue).
  auto share = [&](int left, int right, int top, int bottom, QColor colour) {
    const bool blueish = colour == QColor(Qt::blue);
    int n = 0, hits = 0;
    for (int y = top; y < bottom; ++y)
      for (int x = left; x < right; ++x, ++n) {
        const QColor p = image.pixelColor(x, y);
        if (blueish ? p.blue() > 160 && p.red() < 110 && p.green() < 110 : p.rgb() == colour.rgb()) ++hits;
      }
    return n == 0 ? 0.0 : static_cast<double>(hits) / n;
  };
  auto span = [&](int section) {
    const TMtHeaderSection* s = tree->HeaderSections()->FindByNumber(section);
    return std::pair<int, int>(s->GetLeft() - tree->LeftPosition() + 2, s->GetRight() - tree->LeftPosition() - 2);
  };
  const QColor face = ToQColor(clBtnFace), blue = ToQColor(kRationVeightSectionFontColor);
  ASSERT_EQ(blue, QColor(Qt::blue));
  const auto [wl, wr] = span(kRationVeightSection);
  const auto [el, er] = span(1);
  const int hh = tree->HeaderHeight();
  // The header: the weight caption in blue, the energy caption not.
  EXPECT_GT(share(wl, wr, 2, hh - 2, blue), 0.01);
  EXPECT_EQ(share(el, er, 2, hh - 2, blue), 0.0);
  // The row: no button face in the weight cell; its background is the energy cell's.
  const int top = row.Top + 1, bottom = row.Bottom - 1;
  EXPECT_EQ(share(wl, wr, top, bottom, face), 0.0);
  const QColor rowBk = image.pixelColor(el + 1, top + 1);
  EXPECT_GT(share(wl, wr, top, bottom, rowBk), 0.5);
  EXPECT_GT(share(el, er, top, bottom, rowBk), 0.5);
}

// "Web-сайт программы" and "Письмо автору" hand their addresses to the desktop; here to a
// recording opener instead of a browser or mail program.
TEST_F(PlannerWindows, WebAndMailCommandsOpenTheirAddresses) {
  std::vector<QUrl> opened;
  bool answer = true;
  SetShell(std::make_unique<TDesktopShell>([&](const QUrl& url) {
    opened.push_back(url);
    return answer;
  }));
  Trigger("HelpWebSite");
  Trigger("HelpMailAuthor");
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_EQ(opened[0].toString().toStdString(), kProgramUrl);
  EXPECT_EQ(opened[1].scheme(), "mailto");
  EXPECT_EQ(opened[1].path().toStdString(), kProgramEMail);
  const QString subject = QUrlQuery(opened[1]).queryItemValue("subject", QUrl::FullyDecoded);
  EXPECT_EQ(subject.toStdString(), U(globals_->ProgTitle + " " + globals_->ProgVersion));
  EXPECT_EQ(QUrlQuery(opened[1]).queryItemValue("body", QUrl::FullyDecoded), QString("..."));
  // A desktop without a handler: the user is told, nothing else happens.
  answer = false;
  dialogs_->Answer(mrOk);
  Trigger("HelpWebSite");
  ASSERT_FALSE(dialogs_->Shown().empty());
  EXPECT_NE(U(dialogs_->Shown().back().Text).find(kProgramUrl), std::string::npos);
  SetShell(nullptr);
}

TEST(DesktopShell, NamesBecomeAddresses) {
  struct Case {
    const char* name;
    const char* url;
  };
  const Case cases[] = {
      {"https://tarnwick.example.org/", "https://tarnwick.example.org/"},
      {"mailto:a@b.org?subject=x%20y&body=", "mailto:a@b.org?subject=x%20y&body="},
      {"/tmp/a b.tw", "file:///tmp/a b.tw"},
  };
  for (const Case& c : cases) {
    const QUrl url = TDesktopShell::UrlOf(c.name);
    EXPECT_EQ(url.toString(QUrl::FullyEncoded).toStdString(), QUrl(c.url).toString(QUrl::FullyEncoded).toStdString())
        << c.name;
  }
  // A file that does not exist never reaches the opener.
  int calls = 0;
  TDesktopShell shell([&](const QUrl&) { return ++calls > 0; });
  EXPECT_EQ(shell.Open("/nonexistent/dir/file.tw"), 2);
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(shell.Open("https://tarnwick.example.org/"), 0);
  EXPECT_EQ(calls, 1);
}

// The two tilings are different commands: horizontal stacks the windows one under
// another, vertical puts them side by side, each across the whole client area.
TEST_F(PlannerWindows, TileHorizontallyAndVertically) {
  ASSERT_NE(form_->OpenRation(Example("weekend-hike.tw")), nullptr);
  ASSERT_NE(form_->OpenRation(Example("ski-10.tw")), nullptr);
  ASSERT_NE(form_->OpenRation(Example("mountain-14.tw")), nullptr);
  const QList<QMdiSubWindow*> windows = form_->Client()->subWindowList(QMdiArea::CreationOrder);
  ASSERT_EQ(windows.size(), 3);
  Trigger("WindowTileHorizontal1");
  const QRect area = form_->Client()->viewport()->rect();
  for (int i = 0; i < 3; ++i) {
    const QRect r = windows[i]->geometry();
    EXPECT_FALSE(windows[i]->isMaximized());
    EXPECT_EQ(r, QRect(0, area.height() * i / 3, area.width(), area.height() * (i + 1) / 3 - area.height() * i / 3));
  }
  Trigger("WindowTileVertical1");
  for (int i = 0; i < 3; ++i) {
    const QRect r = windows[i]->geometry();
    EXPECT_EQ(r, QRect(area.width() * i / 3, 0, area.width() * (i + 1) / 3 - area.width() * i / 3, area.height()));
  }
  // Minimised windows line up along the bottom.
  Trigger("WindowMinimizeAll1");
  Trigger("WindowArrange1");
  int x = 0;
  for (QMdiSubWindow* w : windows) {
    EXPECT_TRUE(w->isMinimized());
    EXPECT_EQ(w->geometry().topLeft(), QPoint(x, area.height() - w->height()));
    x += w->width();
  }
}

// In a third-height tiled window the menu tree keeps a few rows to work in; the totals
// grid gives way first (it scrolls).
TEST_F(PlannerWindows, AThirdHeightWindowKeepsRowsOfTheMenu) {
  form_->resize(1280, 900);
  TRaskladForm* a = form_->OpenRation(Example("weekend-hike.tw"));
  TRaskladForm* b = form_->OpenRation(Example("mountain-14.tw"));
  TRaskladForm* c = form_->OpenRation(Example("ski-10.tw"));
  ASSERT_TRUE(a && b && c);
  Trigger("WindowTileHorizontal1");
  for (TRaskladForm* f : {a, b, c}) {
    f->ShowSection(1);
    f->ShowTab(0);
  }
  QCoreApplication::processEvents();
  for (TRaskladForm* f : {a, b, c}) {
    ASSERT_LT(f->parentWidget()->height(), 320);
    const TMtTree* menu = f->MenuView();
    const TMtTree* totals = f->TotalsView();
    EXPECT_GE(menu->height(), menu->HeaderHeight() + 4 * menu->LineHeight()) << f->parentWidget()->height();
    EXPECT_GE(totals->height(), totals->HeaderHeight() + totals->LineHeight());
  }
  if (const char* dir = std::getenv("TARNWICK_SHOTS")) form_->grab().save(QString::fromLocal8Bit(dir) + "/third-height.png");
}

// The panes of a closed ration window come back in the next one: the section list as
// wide as it was dragged, the totals grid collapsed by its button, and a click on that
// button gives the grid back its height from before.
TEST_F(PlannerWindows, PanesOfAClosedRationWindowComeBack) {
  const std::string key = globals_->RegKeyPath + "\\RaskladForm\\PaneSplitter2";
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  f->ShowSection(1);
  Process();
  auto bar = [](TRaskladForm* w, const char* name) {
    return dynamic_cast<TPaneSplitter*>(w->findChild<QWidget*>(name));
  };
  QWidget* list = f->findChild<QWidget*>("ListView1");
  const int totals = f->TotalsView()->height();
  TPaneSplitter* listBar = bar(f, "PaneSplitter1");
  TPaneSplitter* totalsBar = bar(f, "PaneSplitter2");
  ASSERT_TRUE(listBar && totalsBar);
  QTest::mousePress(listBar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 3));
  QTest::mouseMove(listBar, QPoint(5 + 25, 3));
  QTest::mouseRelease(listBar, Qt::LeftButton, Qt::NoModifier, QPoint(5, 3));
  ASSERT_EQ(list->width(), 155);
  const TRect b = totalsBar->ButtonRect();
  QTest::mouseClick(totalsBar, Qt::LeftButton, Qt::NoModifier, QPoint((b.Left + b.Right) / 2, (b.Top + b.Bottom) / 2));
  ASSERT_TRUE(totalsBar->Maximized());
  Trigger("FileClose1");
  AnsiString v;
  EXPECT_TRUE(store_.ReadValue(key, "Maximized", v) && v == "1");
  EXPECT_TRUE(store_.ReadValue(key, "RestorePos", v) && v == std::to_string(totals));

  f = form_->OpenRation(Example("ski-10.tw"));
  ASSERT_NE(f, nullptr);
  f->ShowSection(1);
  Process();
  EXPECT_EQ(f->findChild<QWidget*>("ListView1")->width(), 155);
  totalsBar = bar(f, "PaneSplitter2");
  EXPECT_TRUE(totalsBar->Maximized());
  EXPECT_EQ(f->TotalsView()->height(), 1);
  const TRect b2 = totalsBar->ButtonRect();
  QTest::mouseClick(totalsBar, Qt::LeftButton, Qt::NoModifier, QPoint((b2.Left + b2.Right) / 2, (b2.Top + b2.Bottom) / 2));
  EXPECT_FALSE(totalsBar->Maximized());
  EXPECT_EQ(f->TotalsView()->height(), totals);
}

// The frame and the ration windows open where they were closed: normal bounds and the
// maximised state come back from the settings store.
TEST_F(PlannerWindows, PlacementOfTheFrameAndTheRationWindowsIsKept) {
  const std::string mainKey = globals_->RegKeyPath + "\\MainForm";
  const std::string rationKey = globals_->RegKeyPath + "\\RaskladForm";
  auto value = [&](const std::string& key, const char* name) {
    AnsiString v;
    return store_.ReadValue(key, name, v) ? v : AnsiString("-");
  };
  // A ration window: maximised the first time, then as it was left.
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  auto* sub = qobject_cast<QMdiSubWindow*>(f->parentWidget());
  ASSERT_NE(sub, nullptr);
  EXPECT_TRUE(sub->isMaximized());
  sub->showNormal();
  const QRect bounds(20, 10, 640, 420);  // above every ration window's least size
  sub->setGeometry(bounds);
  Process();
  Trigger("FileClose1");
  EXPECT_EQ(value(rationKey, "Left"), "20");
  EXPECT_EQ(value(rationKey, "Width"), "640");
  EXPECT_EQ(value(rationKey, "State"), "0");
  f = form_->OpenRation(Example("ski-10.tw"));
  ASSERT_NE(f, nullptr);
  sub = qobject_cast<QMdiSubWindow*>(f->parentWidget());
  // A new window is maximised; back to normal, it takes the bounds the last one left.
  EXPECT_TRUE(sub->isMaximized());
  sub->showNormal();
  Process();
  EXPECT_EQ(sub->geometry(), bounds);
  // Maximised and closed: the next one opens maximised and goes back to the same bounds.
  sub->showMaximized();
  Process();
  Trigger("FileClose1");
  EXPECT_EQ(value(rationKey, "State"), "2");
  EXPECT_EQ(value(rationKey, "Top"), "10");
  f = form_->OpenRation(Example("mountain-14.tw"));
  ASSERT_NE(f, nullptr);
  sub = qobject_cast<QMdiSubWindow*>(f->parentWidget());
  EXPECT_TRUE(sub->isMaximized());
  sub->showNormal();
  Process();
  EXPECT_EQ(sub->geometry(), bounds);

  // The frame: its normal bounds and state, read by the next frame before it shows.
  form_->showNormal();
  const QRect frame(30, 20, 700, 500);
  form_->setGeometry(frame);
  Process();
  ASSERT_TRUE(form_->close());
  EXPECT_EQ(value(mainKey, "Left"), "30");
  EXPECT_EQ(value(mainKey, "Height"), "500");
  EXPECT_EQ(value(mainKey, "State"), "0");
  StartAgain();
  EXPECT_FALSE(form_->isMaximized());
  EXPECT_EQ(form_->geometry(), frame);
  form_->showMaximized();
  Process();
  ASSERT_TRUE(form_->close());
  EXPECT_EQ(value(mainKey, "State"), "2");
  EXPECT_EQ(value(mainKey, "Width"), "700");
  StartAgain();
  EXPECT_TRUE(form_->isMaximized());
}

// Bounds left on a screen that is gone come back inside the available screen.
TEST_F(PlannerWindows, PlacementOutsideTheScreenIsClamped) {
  const std::string key = globals_->RegKeyPath + "\\MainForm";
  for (const auto& [name, v] : {std::pair<const char*, const char*>{"Left", "5000"}, {"Top", "-3000"},
                                {"Width", "600"}, {"Height", "400"}, {"State", "0"}})
    store_.WriteValue(key, name, v);
  StartAgain();
  const QRect screen = form_->screen()->availableGeometry();
  EXPECT_EQ(form_->size(), QSize(600, 400));
  EXPECT_TRUE(screen.contains(form_->geometry())) << form_->geometry().x() << "," << form_->geometry().y();
}

// The pick-list works as a check list: its rows show check boxes, the arrows move
// without touching the picks, Space and a click on a row's box pick or unpick that row.
TEST_F(PlannerWindows, PickListIsACheckList) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  ASSERT_NE(f, nullptr);
  FocusTree(f, f->Doc().Items()->Root()->GetChildren(0));
  const std::vector<const char*> names = {"Гречка ядрица", "Гречка продел", "Хлопья гречневые быстрого приготовления"};
  std::vector<std::string> log;
  form_->RefMenuForm().OnScript = [&](TRefMenuForm& menu, int page) {
    TMtTree* view = menu.View(RefPageOfPick(page));
    const std::vector<TMtTreeItem*> rows = RowsNamed(*view, names);
    if (rows.empty()) return mrCancel;
    auto state = [&](const char* step) {
      std::string s = step;
      for (TMtTreeItem* r : rows)
        s += std::string(" ") + (r->GetState(isSelected) ? "P" : "-") + (r->GetChecked() ? "v" : "-");
      log.push_back(s);
    };
    // A part of a row (its box, its text), found as a user finds it: where the tree says
    // that part is.
    auto click = [&](TMtTreeItem* item, int wanted) {
      view->EnsureVisible(item);
      const TRect r = view->GetItemRect(item);
      const int y = (r.Top + r.Bottom) / 2;
      for (int x = 0; x < 200; ++x) {
        int section = -1, part = -1;
        if (view->GetItemAt(x, y, section, part) == item && part == wanted) {
          view->MouseDown(TMouseButton::mbLeft, ssLeft, x, y);
          view->MouseUp(TMouseButton::mbLeft, ssLeft, x, y);
          return true;
        }
      }
      return false;
    };
    EXPECT_TRUE(rows[0]->ShowCheckBox);
    EXPECT_FALSE(rows[0]->GetParent()->ShowCheckBox);  // a group is never picked
    rows[0]->GetParent()->Expand(false);
    view->setFocus();
    view->SetItemFocused(rows[0]);
    state("focus");
    Key(view, Qt::Key_Down);
    state("down");
    Key(view, Qt::Key_Space, " ");
    state("space");
    Key(view, Qt::Key_Down);
    state("down");
    EXPECT_TRUE(click(rows[2], hpCheckBox));
    state("box3");
    EXPECT_TRUE(click(rows[0], hpCheckBox));
    state("box1");
    // A click on a row's name picks or unpicks that row too; the others stay.
    EXPECT_TRUE(click(rows[0], hpText));
    state("name1");
    EXPECT_TRUE(click(rows[1], hpText));
    state("name2");
    return mrOk;
  };
  Trigger("EditAddProd");
  const std::vector<std::string> expected = {"focus Pv -- --", "down Pv -- --", "space Pv Pv --", "down Pv Pv --",
                                             "box3 Pv Pv Pv", "box1 -- Pv Pv",  "name1 Pv Pv Pv",
                                             "name2 Pv -- Pv"};
  EXPECT_EQ(log, expected);
  TMtTreeItem* day = f->Doc().Items()->Root()->GetChildren(0);
  EXPECT_NE(Child(day, names[0]), nullptr);
  EXPECT_EQ(Child(day, names[1]), nullptr);
  EXPECT_NE(Child(day, names[2]), nullptr);
}

// The whole-trip list names its products in the products' colour on the ration's
// background, and the recommendations stand on that background too.
TEST_F(PlannerWindows, TripListAndRecommendationsInTheRationColours) {
  for (const char* example : {"mountain-14.tw", "ski-10.tw"}) {
    TRaskladForm* f = form_->OpenRation(Example(example));
    ASSERT_NE(f, nullptr);
    f->ShowTab(2);
    const TMtTreeItem* root = f->TripListView()->Items()->Root();
    ASSERT_GT(root->GetChildrenCount(), 0);
    for (int i = 0; i < root->GetChildrenCount(); ++i) {
      const TMtTreeItem* row = root->GetChildren(i);
      EXPECT_FALSE(row->ParentColors());
      EXPECT_EQ(row->Color(), kProductTextColor);
      EXPECT_EQ(row->BkColor(), f->Doc().Color) << example;
    }
    f->ShowTab(3);
    EXPECT_EQ(f->Recommendations()->palette().color(QPalette::Base), ToQColor(f->Doc().Color)) << example;
  }
}

// The ration's preview saves its pages as RTF, CSV and HTML besides the report file, each
// file in its own format (RTF scaled 1.3 by 1.0, CSV fields separated by ";").
TEST_F(PlannerWindows, PreviewExportsTheRationToRtfCsvAndHtml) {
  ASSERT_NE(form_->OpenRation(Example("weekend-hike.tw")), nullptr);
  dialogs_->AnswerForm("PrnSelectForm", [](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    for (const char* key : {"Gen", "Eat"}) prnselect::ClickCheckBox(d, key);
    d.btnOk->click();
  });
  std::map<std::string, std::string> files;  // extension -> contents
  double rtfScaleX = 0, rtfScaleY = 0;
  char csvDelimiter = 0;
  bool htmlKillsEmptyLines = true;
  dialogs_->AnswerForm("TrpPreviewForm", [&](TForm& d) {
    auto& preview = static_cast<TrpPreviewForm&>(d);
    const auto& filters = rpExportFilters();
    for (std::size_t i = 0; i < filters.size(); ++i) {
      const std::string ext = filters[i].Extension.substr(2);  // "*.rtf" -> "rtf"
      if (auto* rtf = dynamic_cast<TrpRTFExport*>(filters[i].Filter)) {
        rtfScaleX = rtf->ScaleX;
        rtfScaleY = rtf->ScaleY;
      }
      if (auto* csv = dynamic_cast<TrpCSVExport*>(filters[i].Filter)) csvDelimiter = csv->Delimiter;
      if (auto* htm = dynamic_cast<TrpHTMExport*>(filters[i].Filter)) htmlKillsEmptyLines = htm->KillEmptyLines;
      const AnsiString name = work_.Path() + "/ration." + ext;
      ASSERT_TRUE(preview.SaveAs(name, static_cast<int>(i) + 2)) << ext;  // 1 is the report file
      files[ext] = ReadFileBytes(name);
    }
    preview.SetModalResult(mrOk);
  });
  Trigger("FilePrintPreview");
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(files["rtf"].rfind("{\\rtf", 0), 0u);
  EXPECT_NE(files["rtf"].find(TrpRTFExport::Escape(Ansi("Меню похода по дням"))), std::string::npos);
  EXPECT_NE(files["csv"].find(Ansi("Меню похода по дням")), std::string::npos);
  EXPECT_NE(files["csv"].find(';'), std::string::npos);
  const std::string html = QString::fromLatin1(files["htm"]).toLower().toStdString();
  EXPECT_NE(html.find("<html"), std::string::npos);
  EXPECT_NE(html.find("</html>"), std::string::npos);
  EXPECT_EQ(rtfScaleX, 1.3);
  EXPECT_EQ(rtfScaleY, 1.0);
  EXPECT_EQ(csvDelimiter, ';');
  EXPECT_FALSE(htmlKillsEmptyLines);
  // Outside the preview the engine offers none of the window's exports.
  EXPECT_TRUE(rpExportFilters().empty());
}

// The ration's preview's save dialog opens in the ration's folder with its name, and
// offers the report file, RTF, CSV and HTML.
TEST_F(PlannerWindows, PreviewSaveDialogOpensInTheRationsFolderWithTheThreeExports) {
  ASSERT_NE(form_->OpenRation(Example("weekend-hike.tw")), nullptr);
  dialogs_->AnswerForm("PrnSelectForm", [](TForm& f) {
    auto& d = static_cast<TPrnSelectForm&>(f);
    prnselect::ClickCheckBox(d, "Gen");
    d.btnOk->click();
  });
  TFileDialogRequest request;
  bool saved = false;
  dialogs_->AnswerForm("TrpPreviewForm", [&](TForm& d) {
    auto& preview = static_cast<TrpPreviewForm&>(d);
    dialogs_->AnswerFile(work_.Path() + "/ration.rtf", 2);  // report file, RTF, CSV, HTML
    preview.SaveDialog();
    request = dialogs_->FileDialogs().back();
    saved = FileExists(work_.Path() + "/ration.rtf");
    preview.SetModalResult(mrOk);
  });
  Trigger("FilePrintPreview");
  EXPECT_EQ(request.InitialDir, ExtractFilePath(Example("weekend-hike.tw")));
  EXPECT_EQ(request.FileName, ChangeFileExt(Example("weekend-hike.tw"), ""));
  EXPECT_EQ(request.Filter, Ansi("Файл отчета (*.rpp)|*.rpp|Файл Rich Text (*.rtf)|*.rtf|Файл CSV (*.csv)|*.csv|"
                                 "Файл HTML (*.htm)|*.htm"));
  EXPECT_TRUE(saved);
}

// Up or Down while a weight or a cost is being typed stores it and moves to the row
// above or below.
TEST_F(PlannerWindows, UpAndDownCommitTheEditedCellAndMove) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  std::vector<TMtTreeItem*> products = Products(f->Doc());
  ASSERT_GE(products.size(), 3u);
  TMtTreeItem* item = products[1];
  TMtTreeItem* above = item->GetPrevSibling();
  ASSERT_NE(above, nullptr);
  FocusTree(f, item);
  Key(f->MenuView(), Qt::Key_7, "7");
  ASSERT_TRUE(f->MenuView()->Editing());
  f->MenuView()->InplaceEdit()->insert("7");
  Key(f->MenuView()->InplaceEdit(), Qt::Key_Up);
  Process();
  EXPECT_FALSE(f->MenuView()->Editing());
  EXPECT_EQ(FoodRecOf(item)->Veight, 77);
  EXPECT_EQ(f->MenuView()->ItemFocused(), above);
  EXPECT_EQ(f->Doc().Modified, 1);

  f->ShowTab(2);
  TMtTreeItem* rows = f->TripListView()->Items()->Root();
  ASSERT_GE(rows->GetChildrenCount(), 3);
  f->TripListView()->setFocus();
  f->TripListView()->SetItemFocused(rows->GetChildren(0));
  Key(f->TripListView(), Qt::Key_1, "1");
  ASSERT_TRUE(f->TripListView()->Editing());
  f->TripListView()->InplaceEdit()->insert("2,5");
  Key(f->TripListView()->InplaceEdit(), Qt::Key_Down);
  Process();
  EXPECT_FALSE(f->TripListView()->Editing());
  EXPECT_EQ(rows->GetChildren(0)->ColumnText()[kTripCostColumn], "     12.50");
  EXPECT_EQ(f->TripListView()->ItemFocused(), rows->GetChildren(1));
}

// The kind-of-trip field takes no typing: a digit or a letter, Latin or Cyrillic, opens
// the kinds-of-trip pick-list; other keys do nothing.
TEST_F(PlannerWindows, TypingInTheKindOfTripOpensThePickList) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  auto* ceTour = f->findChild<TComboEdit*>("ceTour");
  ASSERT_NE(ceTour, nullptr);
  const QString before = ceTour->text();
  std::vector<int> pages;
  form_->RefMenuForm().OnScript = [&pages](TRefMenuForm&, int page) {
    pages.push_back(page);
    return mrCancel;
  };
  const struct {
    int key;
    const char* text;
    bool opens;
  } cases[] = {{Qt::Key_5, "5", true},         {Qt::Key_A, "a", true},          {Qt::Key_Z, "Z", true},
               {0, "п", true},                 {0, "Я", true},                  {Qt::Key_Exclam, "!", false},
               {Qt::Key_Space, " ", false}};
  for (const auto& c : cases) {
    pages.clear();
    Key(ceTour, c.key, QString::fromUtf8(c.text));
    EXPECT_EQ(pages, c.opens ? std::vector<int>{ppKindsOfTrip} : std::vector<int>{}) << c.text;
    EXPECT_EQ(ceTour->text(), before) << c.text;
  }
  EXPECT_EQ(f->Doc().Modified, 0);
}

// OK in the kinds-of-trip pick-list with nothing ticked picks nothing, though a row kept
// the focus from the document before.
TEST_F(PlannerWindows, KindsOfTripOkWithNothingTickedPicksNothing) {
  Trigger("FileNew1");
  TRaskladForm* first = form_->ActiveChild();
  Picks({"3 к.с."});
  first->ceTourButtonClick();
  const AnsiString picked = first->Doc().Header.TourName;
  EXPECT_NE(picked, Ansi("Пешеходный; 1 к.с."));
  EXPECT_NE(picked.find(Ansi("3 к.с.")), AnsiString::npos);
  Trigger("FileNew1");
  TRaskladForm* second = form_->ActiveChild();
  ASSERT_NE(second, first);
  const AnsiString tour = second->Doc().Header.TourName;
  const std::int32_t cal = second->Doc().Header.RefCal;
  form_->RefMenuForm().OnScript = [](TRefMenuForm& menu, int) {
    EXPECT_NE(menu.View(3)->ItemFocused(), nullptr);  // the focus stayed where the first pick was
    return mrOk;
  };
  second->ceTourButtonClick();
  EXPECT_EQ(form_->RefMenuForm().Menu().PickCount(), 0);
  EXPECT_EQ(second->Doc().Header.TourName, tour);
  EXPECT_EQ(second->Doc().Header.RefCal, cal);
  EXPECT_EQ(second->Doc().Modified, 0);
}

// The ration tree's pop-up menu holds the window's commands; "Показать/скрыть
// комментарии" is reached through it.
TEST_F(PlannerWindows, RationTreePopUpMenuHoldsTheWindowsCommands) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  TMtTreeItem* product = Products(f->Doc()).front();
  FocusTree(f, product);
  const TRect r = f->MenuView()->GetItemRect(product);
  const QRect cell(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
  QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(), f->MenuView()->viewport()->mapToGlobal(cell.center()));
  QApplication::sendEvent(f->MenuView()->viewport(), &event);
  Process();
  QMenu* menu = f->PopupMenu();
  ASSERT_TRUE(menu->isVisible());
  std::vector<std::string> names;
  for (QAction* a : menu->actions())
    if (!a->isSeparator()) names.push_back(a->objectName().toStdString() + (a->isEnabled() ? "+" : "-"));
  // A product focused: no add command but the day's; cut, copy, find allowed.
  EXPECT_EQ(names, (std::vector<std::string>{"ItemAddProd-", "ItemAddDish-", "ItemAddMeal-", "ItemAddDay+", "ItemDel+",
                                             "ItemDelAll+", "ItemMoveUp-", "ItemMoveDown+", "ItemsEditCell+",
                                             "ItemCut+", "ItemCopy+", "ItemPaste-", "ItemFind+", "ItemFindNext-",
                                             "RaskladToggleCmt+", "RaskladProp+"}));
  menu->close();
  auto run = [&](const char* name) {
    for (QAction* a : menu->actions())
      if (a->objectName() == name) a->trigger();
    Process();
  };
  QPlainTextEdit* memo = f->findChild<QPlainTextEdit*>("memCmt");
  ASSERT_FALSE(memo->isHidden());
  run("RaskladToggleCmt");
  EXPECT_TRUE(memo->isHidden());
  run("RaskladToggleCmt");
  EXPECT_FALSE(memo->isHidden());
  QGuiApplication::clipboard()->clear();
  run("ItemCopy");
  EXPECT_EQ(QGuiApplication::clipboard()->text().left(9), "TRWKItems");
  const std::vector<std::string> seen =
      WithModal<QDialog>([&] { run("RaskladProp"); }, [](QDialog& d) { d.reject(); });
  EXPECT_EQ(seen, std::vector<std::string>{"RaskladPropForm"});
}

// The ration window's shortcuts follow what its pop-up menu would offer now, not what it
// offered when it was last opened: after the menu on a meal (no meal can be added there),
// Ctrl+M on a day adds a meal; in the title field Ctrl+D adds no day.
TEST_F(PlannerWindows, RationShortcutsFollowTheCurrentCommandStates) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  ASSERT_NE(f, nullptr);
  TRationDocument& doc = f->Doc();
  ASSERT_EQ(doc.RationType(), rtDayMenu);
  TMtTreeItem* day1 = doc.Items()->Root()->GetChildren(0);
  TMtTreeItem* day2 = doc.Items()->Root()->GetChildren(1);
  FocusTree(f, day1);
  Picks({"Завтрак"});
  Trigger("EditAddMeal");
  TMtTreeItem* meal = Child(day1, "Завтрак");
  ASSERT_NE(meal, nullptr);
  FocusTree(f, meal);
  const TRect r = f->MenuView()->GetItemRect(meal);
  const QPoint at((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2);
  QContextMenuEvent event(QContextMenuEvent::Mouse, at, f->MenuView()->viewport()->mapToGlobal(at));
  QApplication::sendEvent(f->MenuView()->viewport(), &event);
  Process();
  QMenu* menu = f->PopupMenu();
  ASSERT_TRUE(menu->isVisible());
  auto action = [&](const char* name) {
    for (QAction* a : menu->actions())
      if (a->objectName() == name) return a;
    return static_cast<QAction*>(nullptr);
  };
  ASSERT_FALSE(action("ItemAddMeal")->isEnabled());
  menu->close();
  Process();

  FocusTree(f, day2);
  Picks({"Завтрак"});
  QTest::keyClick(f->MenuView(), Qt::Key_M, Qt::ControlModifier);
  Process();
  EXPECT_NE(Child(day2, "Завтрак"), nullptr);

  f->ShowSection(0);
  Process();
  const std::int32_t days = doc.DayCounter;
  QTest::keyClick(f->findChild<QLineEdit*>("edTitle"), Qt::Key_D, Qt::ControlModifier);
  Process();
  EXPECT_EQ(doc.DayCounter, days);
  EXPECT_FALSE(action("ItemAddDay")->isEnabled());
  // Back in the tree, Ctrl+D adds a day.
  FocusTree(f, day2);
  QTest::keyClick(f->MenuView(), Qt::Key_D, Qt::ControlModifier);
  Process();
  EXPECT_EQ(doc.DayCounter, days + 1);
}

// "Окна" lists the open windows and switches to the one chosen; Ctrl+Tab and Ctrl+F6
// switch windows while the ration tree has the focus. "Выстроить по вертикали" lines the
// windows up one under another (the class library's horizontal tiling).
TEST_F(PlannerWindows, WindowMenuListsTheWindowsAndKeysSwitchThem) {
  for (const char* n : {"EditCut1", "EditCopy1", "EditPaste1"}) EXPECT_FALSE(Act(n)->isEnabled()) << n;
  TRaskladForm* a = form_->OpenRation(Example("weekend-hike.tw"));
  TRaskladForm* b = form_->OpenRation(Example("ski-10.tw"));
  ASSERT_TRUE(a != nullptr && b != nullptr);
  auto* menu = form_->findChild<QMenu*>("WindowMenu");
  ASSERT_NE(menu, nullptr);
  emit menu->aboutToShow();
  std::vector<std::string> items;
  for (QAction* act : menu->actions())
    if (!act->isSeparator()) items.push_back(act->text().toStdString() + (act->isChecked() ? " *" : ""));
  EXPECT_EQ(items, (std::vector<std::string>{"Лесенка", "Выстроить по вертикали", "Выстроить  по горизонтали",
                                             "Свернуть все", "Выравнять свернутые",
                                             "&1 " + U(a->Doc().Caption), "&2 " + U(b->Doc().Caption) + " *"}));
  EXPECT_EQ(Act("WindowTileHorizontal1")->text(), "Выстроить по вертикали");
  form_->findChild<QAction*>("WindowItem1")->trigger();
  Process();
  EXPECT_EQ(form_->ActiveChild(), a);
  FocusTree(a, a->Doc().Items()->GetItem(0));
  QTest::keyClick(a->MenuView(), Qt::Key_Tab, Qt::ControlModifier);
  Process();
  EXPECT_EQ(form_->ActiveChild(), b);
  FocusTree(b, b->Doc().Items()->GetItem(0));
  QTest::keyClick(b->MenuView(), Qt::Key_F6, Qt::ControlModifier);
  Process();
  EXPECT_EQ(form_->ActiveChild(), a);
}

// Выход with two modified documents: Отмена on the first question stops the exit, and the
// second question is not asked. Да on an untitled document offers its caption as name.
TEST_F(PlannerWindows, ExitStopsAtTheFirstCancelAndOffersTheCaption) {
  Trigger("FileNew1");
  Trigger("FileNew1");
  const std::vector<TRaskladForm*> children = form_->Children();
  ASSERT_EQ(children.size(), 2u);
  for (TRaskladForm* f : children) {
    f->ShowSection(0);
    Key(f->findChild<QLineEdit*>("edTitle"), 0, QString::fromUtf8("Поход"));
    ASSERT_EQ(f->Doc().Modified, 1);
  }
  const std::size_t asked = dialogs_->Shown().size();
  dialogs_->Answer(mrCancel);
  Trigger("FileExit1");
  EXPECT_EQ(dialogs_->Shown().size(), asked + 1);
  EXPECT_EQ(form_->Children().size(), 2u);
  EXPECT_TRUE(form_->isVisible());
  // Yes, then the save dialog cancelled: it was offered the caption, not the title.
  dialogs_->Answer(mrYes);
  files_->answers.push_back(std::nullopt);
  Trigger("FileExit1");
  ASSERT_FALSE(files_->seeds.empty());
  EXPECT_EQ(files_->seeds.back(), children[0]->Doc().Caption);
  EXPECT_EQ(form_->Children().size(), 2u);
  for (TRaskladForm* f : form_->Children()) f->Doc().Modified = 0;
}

// A ration named on the command line relative to the working directory is kept by its
// whole name: the recent files open it again from anywhere.
TEST_F(PlannerWindows, ARelativeCommandLinePathIsKeptWhole) {
  const AnsiString dir = work_.Path() + "/trips";
  ASSERT_TRUE(ForceDirectories(dir));
  ASSERT_TRUE(CopyFile(Example("weekend-hike.tw"), dir + "/mine.tw"));
  const std::filesystem::path cwd = std::filesystem::current_path();
  std::filesystem::current_path(SysPath(dir));
  form_->OpenParams({"mine.tw", "./../trips/mine.tw"});
  Process();
  std::filesystem::current_path(cwd);
  const std::vector<TRaskladForm*> children = form_->Children();
  ASSERT_EQ(children.size(), 2u);
  for (TRaskladForm* f : children) EXPECT_EQ(f->Doc().FileName, dir + "/mine.tw");
  EXPECT_EQ(form_->Mru().Captions(), std::vector<AnsiString>{dir + "/mine.tw"});
  for (TRaskladForm* f : children) f->parentWidget()->close();
  Process();
  form_->findChild<QMenu*>("MruRoot")->actions().front()->trigger();
  Process();
  ASSERT_EQ(form_->Children().size(), 1u);
  EXPECT_EQ(form_->Children()[0]->Doc().FileName, dir + "/mine.tw");
}

// The frame and the ration windows show the program's own icon.
TEST_F(PlannerWindows, WindowsShowTheProgramsIcon) {
  ASSERT_NE(form_->OpenRation(Example("weekend-hike.tw")), nullptr);
  const QImage own = ProgramIcon().pixmap(16).toImage();
  ASSERT_FALSE(own.isNull());
  EXPECT_EQ(form_->windowIcon().pixmap(16).toImage(), own);
  for (QMdiSubWindow* w : form_->Client()->subWindowList()) EXPECT_EQ(w->windowIcon().pixmap(16).toImage(), own);
}

// The standard open dialog speaks Russian once the program has loaded the toolkit's own
// Russian texts (as it does at start-up).
TEST_F(PlannerWindows, StandardOpenDialogSpeaksRussian) {
  ASSERT_TRUE(TApplication::InstallStandardDialogTexts());
  form_ = std::make_unique<TMainForm>(*globals_, AnsiString(TARNWICK_DATA_DIR) + "/help/help.txt", nullptr);
  form_->show();
  Process();
  std::map<std::string, std::string> texts;
  WithModal<QFileDialog>([&] { Trigger("FileOpen1"); },
                         [&](QFileDialog& d) {
                           for (const char* name : {"lookInLabel", "fileNameLabel", "fileTypeLabel"})
                             if (auto* l = d.findChild<QLabel*>(name)) texts[name] = l->text().toStdString();
                           if (auto* box = d.findChild<QDialogButtonBox*>("buttonBox"))
                             texts["cancel"] = box->button(QDialogButtonBox::Cancel)->text().toStdString();
                           d.reject();
                         });
  ASSERT_EQ(texts.size(), 4u);
  EXPECT_EQ(texts["lookInLabel"], "Перейти к:");
  EXPECT_EQ(texts["fileNameLabel"], "&Имя файла:");
  EXPECT_EQ(texts["fileTypeLabel"], "Типы файлов:");
  EXPECT_EQ(texts["cancel"], "Отмена");
}

// Both cost columns carry the currency.
// The cost sections carry the currency symbol of the user's locale.
TEST_F(PlannerWindows, CostCaptionsCarryTheCurrency) {
  const QLocale saved;
  const std::pair<QLocale, const char*> cases[] = {
      {QLocale(QLocale::Russian, QLocale::Russia), "Сумма, р."},
      {QLocale(QLocale::German, QLocale::Germany), "Сумма, €"},
      {QLocale(QLocale::English, QLocale::UnitedStates), "Сумма, $"},
      {QLocale(QLocale::Japanese, QLocale::Japan), "Сумма, JPY"},  // "￥" is outside code page 1251
      {QLocale::c(), "Сумма"},
  };
  for (const auto& [locale, caption] : cases) {
    QLocale::setDefault(locale);
    TRaskladForm* f = form_->OpenRation(AnsiString());
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(U(f->TripListView()->HeaderSections()->FindByNumber(kTripCostColumn + 1)->Text()), caption);
    EXPECT_EQ(U(f->TotalsView()->HeaderSections()->FindByNumber(tcCost + 1)->Text()), caption);
  }
  QLocale::setDefault(saved);
}

// The whole-trip list keeps a selected column: Enter edits the cost only while the cost's
// column is selected; Left and Right move the selection, a click selects another column.
TEST_F(PlannerWindows, TripListSelectedColumnDecidesWhatEnterEdits) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  f->ShowTab(2);
  TMtTree* list = f->TripListView();
  TMtTreeItem* row = list->Items()->Root()->GetChildren(1);
  ASSERT_NE(row, nullptr);
  list->setFocus();
  list->SetItemFocused(row);
  const int cost = kTripCostColumn + 1;
  EXPECT_EQ(list->SelectColumn, cost);
  // A click in the energy column selects it; Enter then opens nothing.
  const TRect r = list->GetItemRect(row);
  int x = 0;
  for (int n = 0; n < 2; ++n) x += list->HeaderSections()->FindByNumber(n)->Width();
  list->MouseDown(TMouseButton::mbLeft, TShiftState(ssLeft), x + 10, (r.Top + r.Bottom) / 2);
  list->MouseUp(TMouseButton::mbLeft, TShiftState(), x + 10, (r.Top + r.Bottom) / 2);
  Process();
  EXPECT_EQ(list->SelectColumn, 2);
  Key(list, Qt::Key_Return);
  EXPECT_FALSE(list->Editing());
  // Right up to the cost (and no further), Left back one.
  for (int i = 0; i < 10; ++i) Key(list, Qt::Key_Right);
  EXPECT_EQ(list->SelectColumn, cost);
  Key(list, Qt::Key_Left);
  EXPECT_EQ(list->SelectColumn, cost - 1);
  Key(list, Qt::Key_Right);
  Key(list, Qt::Key_Return);
  EXPECT_TRUE(list->Editing());
  EXPECT_EQ(list->EditedSection(), cost);
  list->EndEdit(true);
}

// A day added below the last visible line of the menu becomes its first visible line; one
// added where it is seen leaves the list where it is.
TEST_F(PlannerWindows, ADayAddedBelowTheVisibleLinesBecomesTheFirstVisibleLine) {
  struct Case {
    const char* what;
    int focusedDay;   // the new day goes before it
    bool scrolls;
  };
  const Case cases[] = {{"below the last visible line", 6, true}, {"on a visible line", 0, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TRaskladForm* f = form_->OpenRation(Example("mountain-14.tw"));
    ASSERT_NE(f, nullptr);
    FocusTree(f);
    TMtTree* tree = f->MenuView();
    tree->ExpandAll();
    TMtTreeItem* target = f->Doc().Items()->Root()->GetChildren(c.focusedDay);
    tree->SetItemFocused(target);
    tree->SetTopIndex(0);
    Process();
    const int pageRows = tree->RowsPerPage();
    ASSERT_GT(pageRows, 5);
    ASSERT_EQ(tree->RowOf(target) >= pageRows, c.scrolls) << tree->RowOf(target) << " of " << pageRows;
    Trigger("EditAddDay");
    TMtTreeItem* day = f->Doc().Items()->Root()->GetChildren(c.focusedDay);
    ASSERT_NE(day, target);
    EXPECT_EQ(tree->ItemFocused(), day);
    EXPECT_EQ(tree->TopIndex(), c.scrolls ? tree->RowOf(day) : 0);
    if (c.scrolls) {
      EXPECT_EQ(tree->GetTopItem(), day);
    }
    f->Doc().Modified = 0;
    f->parentWidget()->close();
    Process();
  }
}

// A new ration window is maximised, also after the windows were tiled and one of them
// closed in its tiled bounds.
TEST_F(PlannerWindows, ANewRationWindowIsMaximisedWhateverTheOthersAre) {
  auto sub = [](TRaskladForm* f) { return qobject_cast<QMdiSubWindow*>(f->parentWidget()); };
  TRaskladForm* a = form_->OpenRation(Example("weekend-hike.tw"));
  TRaskladForm* b = form_->OpenRation(Example("ski-10.tw"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  Trigger("WindowTileVertical1");
  ASSERT_FALSE(sub(a)->isMaximized());
  sub(a)->close();
  Process();
  for (const char* name : {"mountain-14.tw", "weekend-hike.tw"}) {
    TRaskladForm* f = form_->OpenRation(Example(name));
    ASSERT_NE(f, nullptr);
    Process();
    EXPECT_TRUE(sub(f)->isMaximized()) << name;
    EXPECT_EQ(sub(f)->geometry(), form_->Client()->viewport()->rect()) << name;
  }
}

// The reference editor takes the frame's client area (inside its border, below its menu
// bar), at 0, 18 of the screen: its window with its border and title, as the bounds of a
// window are given, so that it lies on the screen like the main window.
TEST_F(PlannerWindows, TheReferenceEditorTakesTheFramesClientArea) {
  const QRect screen = form_->screen()->geometry();
  const QSize client = form_->rect().adjusted(0, form_->menuBar()->geometry().bottom() + 1, 0, 0).size();
  ASSERT_LT(client.height(), form_->height());
  QRect shown;
  WithModal<TRefEditForm>([&] { Trigger("ToolsEditRef"); },
                          [&](TRefEditForm& d) {
                            shown = d.frameGeometry();
                            d.Action("FileClose")->trigger();
                          });
  EXPECT_EQ(shown, QRect(screen.topLeft() + QPoint(0, 18), client));
}

// A ration reopened from the recent files while others are open comes back maximised like
// them, inside the client area.
TEST_F(PlannerWindows, ARationReopenedAmongMaximisedOnesIsMaximised) {
  TRaskladForm* a = form_->OpenRation(Example("weekend-hike.tw"));
  TRaskladForm* b = form_->OpenRation(Example("ski-10.tw"));
  ASSERT_NE(a, nullptr);
  ASSERT_NE(b, nullptr);
  auto sub = [](TRaskladForm* f) { return qobject_cast<QMdiSubWindow*>(f->parentWidget()); };
  EXPECT_TRUE(sub(b)->isMaximized());
  EXPECT_EQ(sub(b)->geometry(), form_->Client()->viewport()->rect()) << "first";
  for (int round = 0; round < 2; ++round) {
    // Close the one behind (not the active one), then reopen it from the menu.
    form_->Client()->setActiveSubWindow(sub(b));
    Process();
    sub(a)->close();
    Process();
    QAction* entry = nullptr;
    for (QAction* act : form_->findChild<QMenu*>("MruRoot")->actions())
      if (act->text().contains("weekend-hike")) entry = act;
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    Process();
    a = form_->ActiveChild();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->Doc().FileName, Example("weekend-hike.tw"));
    EXPECT_TRUE(sub(a)->isMaximized()) << round;
    EXPECT_GE(sub(a)->geometry().top(), 0) << round;
    EXPECT_EQ(sub(a)->geometry(), form_->Client()->viewport()->rect()) << round;
  }
}

// After a dialog closes, the commands of the ration tree are enabled at once by the row
// that is still focused in it (no click on the row needed).
TEST_F(PlannerWindows, CommandStatesFollowTheTreeAfterADialog) {
  TRaskladForm* f = form_->OpenRation(Example("mountain-14.tw"));
  ASSERT_NE(f, nullptr);
  TMtTreeItem* day = f->Doc().Items()->GetItem(0);
  FocusTree(f, day);
  ASSERT_TRUE(Act("EditEatDel")->isEnabled());
  auto* del = form_->findChild<QAction*>("EditEatDel");
  auto* addProd = form_->findChild<QAction*>("EditAddProd");
  WithModal<TRaskladPropForm>([&] { Trigger("EditRaskladProp"); },
                              [&](TRaskladPropForm& d) { d.btnCancel->click(); });
  // The states as the frame left them when the dialog closed, before any idle update.
  EXPECT_TRUE(del->isEnabled());
  EXPECT_TRUE(addProd->isEnabled());
  WithModal<TAboutDlg>([&] { Trigger("HelpAbout1"); }, [&](TAboutDlg& d) { d.btnOk->click(); });
  EXPECT_TRUE(del->isEnabled());
  EXPECT_TRUE(f->TreeFocused());
  // The title field takes the focus: the tree's commands go off.
  f->ShowSection(0);
  Process();
  EXPECT_FALSE(Act("EditEatDel")->isEnabled());
}

// New directories in the options take effect on OK: the open dialog starts in the new
// data directory, a file there shows its bare name among the recent files, and every
// recent file still opens the file it named (a bare name of the old data directory, or an
// example, is shown by its full name from then on).
TEST_F(PlannerWindows, DirectoriesChangedInTheOptionsTakeEffectAtOnce) {
  const AnsiString oldData = work_.Path() + "/old/", newData = work_.Path() + "/new/",
                   newExamples = work_.Path() + "/examples/";
  for (const AnsiString& d : {oldData, newData, newExamples}) ASSERT_TRUE(ForceDirectories(d));
  ASSERT_TRUE(CopyFile(Example("weekend-hike.tw"), oldData + "trip.tw"));
  ASSERT_TRUE(CopyFile(Example("mountain-14.tw"), newData + "trip.tw"));
  auto setDirs = [&](const AnsiString& data, const AnsiString& examples) {
    WithModal<TOptionsForm>([&] { Trigger("ToolsOptions"); },
                            [&](TOptionsForm& d) {
                              d.DirectoryEdit[1]->SetText(data);
                              d.DirectoryEdit[2]->SetText(examples);
                              d.btnOk->click();
                            });
  };
  auto openThroughTheDialog = [&](const AnsiString& name) {
    files_->answers.push_back(name);
    Trigger("FileOpen1");
    return files_->openDirs.back();
  };
  auto mruEntry = [&](const AnsiString& caption) -> QAction* {
    for (QAction* a : form_->findChild<QMenu*>("MruRoot")->actions())
      if (a->text() == ToQString(TMruList::MenuText(caption))) return a;
    return nullptr;
  };
  const AnsiString examples = globals_->Settings.General.ExampleDir;
  ASSERT_NE(form_->OpenRation(Example("weekend-hike.tw")), nullptr);
  setDirs(oldData, examples);
  EXPECT_EQ(openThroughTheDialog(oldData + "trip.tw"), oldData);
  EXPECT_EQ(form_->Mru().Captions().front(), "trip.tw");

  setDirs(newData, newExamples);
  EXPECT_EQ(openThroughTheDialog(newData + "trip.tw"), newData);
  EXPECT_EQ(form_->Mru().Captions(),
            (std::vector<AnsiString>{"trip.tw", oldData + "trip.tw", Example("weekend-hike.tw")}));
  form_->Client()->closeAllSubWindows();
  Process();
  for (const AnsiString& file : {oldData + "trip.tw", Example("weekend-hike.tw"), newData + "trip.tw"}) {
    SCOPED_TRACE(U(file));
    QAction* entry = mruEntry(form_->Mru().MruDisplayName(file));
    ASSERT_NE(entry, nullptr);
    entry->trigger();
    Process();
    ASSERT_NE(form_->ActiveChild(), nullptr);
    EXPECT_EQ(form_->ActiveChild()->Doc().FileName, file);
  }
}

// The review mode of the program ("--shot") reads the settings and writes none: no recent
// file, no window placement.
TEST_F(PlannerWindows, ReviewModeLeavesTheSettingsAlone) {
  store_.WriteValue(globals_->RegKeyPath + "\\General", "ShowHint", "1");
  store_.Save();
  const std::string before = ReadFileBytes(store_.FileName());
  form_->SetReviewMode(true);
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(form_->Mru().Captions().size(), 0u);
  form_->Client()->closeAllSubWindows();
  Process();
  ASSERT_TRUE(form_->close());
  EXPECT_FALSE(store_.Modified());
  EXPECT_EQ(ReadFileBytes(store_.FileName()), before);
  EXPECT_FALSE(store_.KeyExists(globals_->RegKeyPath + "\\MRUFiles"));
  EXPECT_FALSE(store_.KeyExists(globals_->RegKeyPath + "\\RaskladForm"));
}

// "Всплывающие подсказки" takes effect on OK, in every window: a hint asked for by the
// mouse shows only while the switch is on.
TEST_F(PlannerWindows, HintsSwitchTakesEffectOnOk) {
  const bool saved = Application().ShowHint;
  Application().ShowHint = true;
  QWidget* button = form_->findChild<QToolBar*>("FileToolBar")->widgetForAction(Act("FileNew1"));
  ASSERT_NE(button, nullptr);
  auto hintShown = [&] {
    QToolTip::hideText();
    QHelpEvent e(QEvent::ToolTip, QPoint(4, 4), button->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(button, &e);
    Process();
    return QToolTip::isVisible();
  };
  auto setHints = [&](bool on) {
    WithModal<TOptionsForm>([&] { Trigger("ToolsOptions"); },
                            [&](TOptionsForm& d) {
                              d.CheckBox1->setChecked(on);
                              d.btnOk->click();
                            });
  };
  EXPECT_TRUE(hintShown());
  setHints(false);
  EXPECT_FALSE(globals_->Settings.General.ShowHint);
  EXPECT_FALSE(hintShown());
  setHints(true);
  EXPECT_TRUE(hintShown());
  QToolTip::hideText();
  Application().ShowHint = saved;
}

// The pick-list's trees carry their hints.
TEST_F(PlannerWindows, PickListTreesCarryTheirHints) {
  const std::pair<const char*, const char*> hints[] = {
      {"tvProd", "Выберите продукты для добавления в раскладку"},
      {"tvDish", "Выберите блюда для добавления в раскладку"},
      {"tvMeal", "Выберите трапезы для добавления в раскладку"},
      {"tvEnergo", "Выберите категорию сложности похода\r\nв соответствующем виде туризма"}};
  for (const auto& [name, hint] : hints) {
    auto* tree = form_->RefMenuForm().findChild<TMtTree*>(name);
    ASSERT_NE(tree, nullptr) << name;
    EXPECT_EQ(U(tree->Hint), hint) << name;
    EXPECT_TRUE(tree->EffectiveShowHint()) << name;
  }
}

// Participants range over every positive 32-bit number in the ration window.
TEST_F(PlannerWindows, ParticipantsBeyondNineHundredNinetyNine) {
  TRaskladForm* f = form_->OpenRation(AnsiString());
  ASSERT_NE(f, nullptr);
  auto* mans = f->findChild<QSpinBox*>("seMans");
  ASSERT_NE(mans, nullptr);
  EXPECT_EQ(mans->minimum(), 1);
  EXPECT_EQ(mans->maximum(), 2147483647);
  mans->setValue(2147483647);
  f->seMansExit();
  EXPECT_EQ(f->Doc().Mans, 2147483647);
  EXPECT_EQ(mans->value(), 2147483647);
}

// A version-2 document keeps the days it stores, whatever the tree holds: the days field
// shows them, and leaving it as it was changes nothing (neither the days nor the tree);
// saving writes them back.
TEST_F(PlannerWindows, LeavingTheDaysFieldUnchangedKeepsTheStoredDays) {
  constexpr std::int32_t kStoredDays = 1500;
  TRationDocument source;
  TMtTreeItem* day = source.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0);
  source.AddItem(day, Ansi("Завтрак"), nullptr, fkMeal, 3);
  source.AddItem(nullptr, AnsiString(), nullptr, fkDay, 0);
  TMemoryStream v2;
  auto string = [&](const char* utf8) {
    const AnsiString text = Ansi(utf8);
    v2.WriteInt32(static_cast<std::int32_t>(text.size()));
    v2.WriteString(text);
  };
  v2.WriteString("TWCK");
  v2.WriteInt32(2);
  string("Долгий поход");
  string("");
  string("Пешеходный; 1 к.с.");
  v2.WriteInt32(kStoredDays);
  v2.WriteInt32(4);
  string("");
  v2.WriteInt32(3100);
  for (double v : {150.0, 180.0, 690.0, 65000.0, 0.25, 0.45, 0.7, 0.85}) v2.WriteDouble(v);
  v2.WriteByte(rtDayMenu);
  source.Tree().OnItemSave = [](TObject*, TStream& stream, TMtTreeItem* item) { tvEatMenuItemSave(stream, item); };
  source.Items()->SaveToStream(v2);
  const AnsiString name = work_.Path() + "/long.tw";
  WriteFileBytes(name, v2.Bytes());

  TRaskladForm* f = form_->OpenRation(name);
  ASSERT_NE(f, nullptr);
  auto* days = f->findChild<QSpinBox*>("seDays");
  auto* mans = f->findChild<QSpinBox*>("seMans");
  EXPECT_EQ(days->minimum(), 0);
  EXPECT_EQ(days->maximum(), 2147483647);
  EXPECT_EQ(days->value(), kStoredDays);
  f->ShowSection(0);
  if (const char* dir = std::getenv("TARNWICK_SHOTS")) f->grab().save(QString("%1/rasklad-general.png").arg(dir));
  days->setFocus();
  Process();
  mans->setFocus();  // the days field is left as it was
  Process();
  EXPECT_EQ(f->Doc().Days, kStoredDays);
  EXPECT_EQ(days->value(), kStoredDays);
  EXPECT_EQ(f->Doc().Items()->Root()->GetChildrenCount(), 2);
  EXPECT_EQ(f->Doc().Items()->Count(), 3);
  EXPECT_EQ(f->Doc().Modified, 0);
  ASSERT_TRUE(f->Save(AnsiString()));
  TRationDocument back;
  TRationFileMessagesStub quiet;
  ASSERT_EQ(LoadRationFromFile(back, name, {}, quiet), rlOk);
  EXPECT_EQ(back.Items()->Count(), 3);
  // Version 3 takes the days from its tree; the stored field holds what the window showed.
  const std::string saved = ReadFileBytes(name);
  const std::size_t at = 8 + (4 + Ansi("Долгий поход").size()) + 4 + (4 + Ansi("Пешеходный; 1 к.с.").size());
  std::int32_t stored = 0;
  ASSERT_GE(saved.size(), at + 4);
  std::memcpy(&stored, saved.data() + at, 4);
  EXPECT_EQ(stored, kStoredDays);
}

// F1 opens the help page of the window the user works in: the frame 2180, a ration window
// 2190, the about box 2280. The reference editor opens over the frame's client area.
TEST_F(PlannerWindows, F1OpensTheContextOfTheWindow) {
  auto f1Page = [&](QWidget* w) {
    w->window()->activateWindow();  // F1 goes to the window in front
    Process();
    QTest::keyClick(w, Qt::Key_F1);
    Process();
    return form_->HelpForm().Context();
  };
  EXPECT_EQ(f1Page(form_.get()), 2180);
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  FocusTree(f);
  EXPECT_EQ(f1Page(f->MenuView()), 2190);
  int aboutContext = -1;
  WithModal<TAboutDlg>([&] { Trigger("HelpAbout1"); },
                       [&](TAboutDlg& d) {
                         aboutContext = f1Page(&d);
                         d.btnOk->click();
                       });
  EXPECT_EQ(aboutContext, 2280);

  WithModal<TRefEditForm>([&] { Trigger("ToolsEditRef"); },
                          [&](TRefEditForm& d) {
                            // Esc in a tree leaves the window open.
                            QTest::keyClick(d.View(0), Qt::Key_Escape);
                            Process();
                            EXPECT_TRUE(d.isVisible());
                            d.Action("FileClose")->trigger();
                          });
}

// A number typed into the general page is a change of the document before the field is
// left: Ctrl+S in the field writes it, and closing the window asks about it.
TEST_F(PlannerWindows, NumbersTypedOnTheGeneralPageAreChangesAtOnce) {
  const AnsiString name = work_.Path() + "/typed.tw";
  ASSERT_TRUE(CopyFile(Example("weekend-hike.tw"), name));
  TRaskladForm* f = form_->OpenRation(name);
  ASSERT_NE(f, nullptr);
  f->ShowSection(0);
  auto* mans = f->findChild<QSpinBox*>("seMans");
  ASSERT_NE(mans, nullptr);
  const int typed = mans->value() + 3;
  mans->setFocus();
  Process();
  mans->selectAll();
  QTest::keyClicks(mans, QString::number(typed));
  Process();
  ASSERT_EQ(mans->value(), typed);
  EXPECT_EQ(f->Doc().Modified, 1);
  QTest::keyClick(mans, Qt::Key_S, Qt::ControlModifier);
  Process();
  ASSERT_TRUE(mans->hasFocus());
  EXPECT_EQ(f->Doc().Modified, 0);
  TRationDocument back;
  TRationFileMessagesStub quiet;
  ASSERT_EQ(LoadRationFromFile(back, name, {}, quiet), rlOk);
  EXPECT_EQ(back.Mans, typed);

  auto* days = f->findChild<QSpinBox*>("seDays");
  days->setFocus();
  Process();
  days->selectAll();
  QTest::keyClicks(days, QString::number(days->value() + 1));
  Process();
  EXPECT_EQ(f->Doc().Modified, 1);
  dialogs_->Answer(mrCancel);
  Trigger("FileClose1");
  ASSERT_FALSE(dialogs_->Shown().empty());
  EXPECT_NE(U(dialogs_->Shown().back().Text).find("была изменена"), std::string::npos);
  EXPECT_EQ(form_->Children().size(), 1u);
}

// Printing rebuilds the product lists and the recommendations: the tabs show afterwards
// what was printed, not what they showed before the change.
TEST_F(PlannerWindows, TabsShowThePrintedListsAfterPrinting) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  for (int tab : {1, 2, 3}) f->ShowTab(tab);
  f->ShowTab(0);
  auto* mans = f->findChild<QSpinBox*>("seMans");
  mans->setValue(mans->value() + 5);
  f->seMansExit();
  dialogs_->AnswerForm("PrnSelectForm", [](TForm& d) {
    prnselect::ClickCheckBox(static_cast<TPrnSelectForm&>(d), "Eat");
    static_cast<TPrnSelectForm&>(d).btnOk->click();
  });
  dialogs_->AnswerForm("TrpPreviewForm", [](TForm& d) { d.SetModalResult(mrOk); });
  Trigger("FilePrintPreview");
  using TRows = std::vector<std::vector<AnsiString>>;
  auto shown = [](TMtTree* tree) {
    TRows rows;
    for (TMtTreeItem* i = tree->Items()->GetItem(0); i != nullptr; i = i->GetNext()) {
      rows.push_back({i->Text()});
      for (int c = 0; c < i->ColumnText().Count(); ++c) rows.back().push_back(i->ColumnText()[c]);
    }
    return rows;
  };
  auto built = [](const TProductListRows& list) {
    TRows rows;
    for (const TProductListRow& r : list) {
      rows.push_back({r.Text});
      rows.back().insert(rows.back().end(), r.Columns.begin(), r.Columns.end());
    }
    return rows;
  };
  ASSERT_FALSE(f->Views().TripList.empty());
  f->ShowTab(1);
  EXPECT_EQ(shown(f->DayListView()), built(f->Views().DayList));
  f->ShowTab(2);
  EXPECT_EQ(shown(f->TripListView()), built(f->Views().TripList));
  f->ShowTab(3);
  QString lines;
  for (const AnsiString& line : f->Views().Recommendations.Lines()) lines += ToQString(line) + "\n";
  EXPECT_EQ(f->Recommendations()->toPlainText(), lines);
  EXPECT_EQ(f->Recommendations()->textCursor().position(), 0);
}

// Outside the ration tree the edit commands are those of the focused text field: cut
// needs a selection in a field that can be changed, copy a selection, paste such a
// field and text on the clipboard. Lists and grids have none of them.
TEST_F(PlannerWindows, EditCommandsFollowTheFocusedTextField) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  auto* title = f->findChild<QLineEdit*>("edTitle");
  auto* mans = f->findChild<QSpinBox*>("seMans");
  struct TCase {
    const char* what;
    std::function<void()> focus;
    bool clipboard, cut, copy, paste;
  };
  const TCase cases[] = {
      {"title, nothing selected", [&] { f->ShowSection(0); title->setFocus(); title->deselect(); }, true, false, false,
       true},
      {"title, nothing selected, clipboard empty", [&] { f->ShowSection(0); title->setFocus(); title->deselect(); },
       false, false, false, false},
      {"title selected", [&] { f->ShowSection(0); title->setFocus(); title->selectAll(); }, true, true, true, true},
      {"participants selected", [&] { f->ShowSection(0); mans->setFocus(); mans->selectAll(); }, true, true, true,
       true},
      {"recommendations selected",
       [&] { f->ShowTab(3); f->Recommendations()->setFocus(); f->Recommendations()->selectAll(); }, true, false, true,
       false},
      {"whole-trip list", [&] { f->ShowTab(2); f->TripListView()->setFocus(); }, true, false, false, false},
      {"totals grid", [&] { f->ShowTab(0); f->TotalsView()->setFocus(); }, true, false, false, false},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.clipboard) QApplication::clipboard()->setText("x");
    else QApplication::clipboard()->clear();
    c.focus();
    Process();
    EXPECT_EQ(Act("EditCut1")->isEnabled(), c.cut);
    EXPECT_EQ(Act("EditCopy1")->isEnabled(), c.copy);
    EXPECT_EQ(Act("EditPaste1")->isEnabled(), c.paste);
  }
  // The participants field is a text field too: the commands act on its text.
  f->ShowSection(0);
  mans->setFocus();
  mans->selectAll();
  Process();
  Trigger("EditCopy1");
  EXPECT_EQ(QApplication::clipboard()->text(), QString::number(mans->value()));
}

// The window commands arrange child windows: without one they are off.
TEST_F(PlannerWindows, WindowCommandsNeedAWindow) {
  const char* const commands[] = {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1",
                                  "WindowMinimizeAll1", "WindowArrange1"};
  for (const char* c : commands) EXPECT_FALSE(Act(c)->isEnabled()) << c;
  Trigger("FileNew1");
  for (const char* c : commands) EXPECT_TRUE(Act(c)->isEnabled()) << c;
}

// The about box opens in the middle of the desktop, not over the main window.
TEST_F(PlannerWindows, AboutBoxOpensInTheMiddleOfTheDesktop) {
  form_->showNormal();
  form_->setGeometry(QRect(QPoint(0, 0), form_->screen()->availableGeometry().size() / 2));
  Process();
  QRect placed, desktop;
  WithModal<TAboutDlg>([&] { Trigger("HelpAbout1"); },
                       [&](TAboutDlg& d) {
                         placed = d.frameGeometry();
                         desktop = d.screen()->availableGeometry();
                         d.btnOk->click();
                       });
  // Within the width of the window frame, which is not known before the box is shown.
  EXPECT_LE((placed.center() - desktop.center()).manhattanLength(), 8);
}

// The open dialog starts in the rations' folder and takes a name typed without its
// extension: "weekend-hike" opens "weekend-hike.tw".
TEST_F(PlannerWindows, OpenDialogAddsTheExtensionOfRations) {
  form_ = std::make_unique<TMainForm>(*globals_, AnsiString(TARNWICK_DATA_DIR) + "/help/help.txt", nullptr);
  form_->show();
  Process();
  QString title, start;
  WithModal<QFileDialog>([&] { Trigger("FileOpen1"); },
                         [&](QFileDialog& d) {
                           title = d.windowTitle();
                           start = d.directory().absolutePath();
                           d.setDirectory(ToQString(dir_->Path() + "/bin/Examples"));
                           d.selectFile("weekend-hike");
                           QMetaObject::invokeMethod(&d, "accept");
                         });
  EXPECT_EQ(title, QString::fromUtf8("Открыть раскладку"));
  EXPECT_EQ(start + "/", ToQString(globals_->Settings.General.DataDir));
  ASSERT_EQ(form_->Children().size(), 1u);
  EXPECT_EQ(form_->Children().front()->Doc().FileName, Example("weekend-hike.tw"));
}

// Alt puts the focus into the menu bar: the menus offer the commands of the control the
// user works in, the ration tree's and the text field's.
TEST_F(PlannerWindows, KeyboardMenuOffersTheCommandsOfTheControlLeft) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  auto* title = f->findChild<QLineEdit*>("edTitle");
  f->ShowSection(0);
  title->setFocus();
  title->selectAll();
  Process();
  ASSERT_TRUE(Act("EditCopy1")->isEnabled());
  QTest::keyClick(form_.get(), Qt::Key_Alt);
  Process();
  ASSERT_NE(qobject_cast<QMenuBar*>(QApplication::focusWidget()), nullptr);
  EXPECT_TRUE(Act("EditCopy1")->isEnabled());
  EXPECT_TRUE(Act("EditCut1")->isEnabled());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  Process();

  FocusTree(f, f->Doc().Items()->GetItem(0));
  ASSERT_TRUE(Act("EditAddProd")->isEnabled());
  QTest::keyClick(form_.get(), Qt::Key_Alt);
  Process();
  ASSERT_NE(qobject_cast<QMenuBar*>(QApplication::focusWidget()), nullptr);
  EXPECT_TRUE(Act("EditAddProd")->isEnabled());
  EXPECT_TRUE(Act("EditEatDel")->isEnabled());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  Process();
  EXPECT_TRUE(f->TreeFocused());
}

// Fewer days typed while the last days hold products, handed over by Ctrl+S or by Enter with
// the focus still in the field: the real question about a non-empty day takes the focus from
// the field, which must not hand the number over a second time (it asked twice, and the first
// hand-over then deleted a day already gone).
TEST_F(PlannerWindows, FewerDaysTypedAskOnceForEachNonEmptyDay) {
  for (const bool bySave : {true, false}) {
    SCOPED_TRACE(bySave ? "Ctrl+S" : "Enter");
    const AnsiString name = work_.Path() + (bySave ? "/save.tw" : "/enter.tw");
    ASSERT_TRUE(CopyFile(Example("mountain-14.tw"), name));
    TRaskladForm* f = form_->OpenRation(name);
    ASSERT_NE(f, nullptr);
    f->ShowSection(0);
    auto* days = f->findChild<QSpinBox*>("seDays");
    const int before = days->value();
    ASSERT_GE(before, 3);
    days->setFocus();
    Process();
    days->selectAll();
    QTest::keyClicks(days, QString::number(before - 2));
    Process();
    auto scripted = SetDialogService(nullptr);  // the system's own message boxes
    int asked = 0, mostOpen = 0;
    QTimer answer;
    answer.setInterval(20);
    QObject::connect(&answer, &QTimer::timeout, [&] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      int open = 0;
      for (QWidget* w : QApplication::topLevelWidgets()) open += qobject_cast<QMessageBox*>(w) && w->isVisible();
      mostOpen = std::max(mostOpen, open);
      ++asked;
      for (QAbstractButton* b : box->buttons())
        if (b->text().remove('&') == QString::fromUtf8("Да")) return b->click();
      ADD_FAILURE() << "no Yes button";
      box->reject();
    });
    answer.start();
    if (bySave)
      QTest::keyClick(days, Qt::Key_S, Qt::ControlModifier);
    else
      QTest::keyClick(days, Qt::Key_Return);
    Process();
    answer.stop();
    SetDialogService(std::move(scripted));
    EXPECT_EQ(mostOpen, 1);
    EXPECT_EQ(asked, 2);  // the two last days of the example hold products
    EXPECT_EQ(f->Doc().Days, before - 2);
    EXPECT_EQ(f->Doc().Items()->Root()->GetChildrenCount(), before - 2);
    if (bySave) {
      EXPECT_EQ(f->Doc().Modified, 0);
      TRaskladForm* again = nullptr;
      f->close();
      Process();
      again = form_->OpenRation(name);
      ASSERT_NE(again, nullptr);
      EXPECT_EQ(again->Doc().Days, before - 2);
      again->close();
    } else {
      EXPECT_EQ(f->Doc().Modified, 1);
      f->Doc().Modified = 0;
      f->close();
    }
    Process();
    EXPECT_EQ(dialogs_->Unexpected(), 0);
  }
}

// A ration saved under a name that code page 1251 cannot hold (Latin with diacritics,
// CJK, quotes and blanks) shows that very name in its window's title and in the recent
// files, and is opened again from there.
TEST_F(PlannerWindows, NamesOutsideTheCodePageAreShownAsTheyAre) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  ASSERT_NE(f, nullptr);
  const QString shown = QString::fromUtf8("Поход «Ёлки» 'Zürich' \"x\" 日本.tw");
  const std::string sysDir = SysPath(work_.Path() + "/");
  const AnsiString name = AnsiPath(sysDir + shown.toStdString());
  files_->answers.push_back(name);
  Trigger("FileSave1");
  ASSERT_TRUE(std::filesystem::exists(std::filesystem::u8path(sysDir + shown.toStdString())));
  EXPECT_EQ(f->windowTitle(), QString::fromUtf8(sysDir.c_str()) + shown);
  QMenu* mru = form_->findChild<QMenu*>("MruRoot");
  ASSERT_FALSE(mru->actions().isEmpty());
  EXPECT_TRUE(mru->actions().front()->text().endsWith(shown)) << mru->actions().front()->text().toStdString();
  Trigger("FileClose1");
  ASSERT_TRUE(form_->Children().empty());
  mru->actions().front()->trigger();
  Process();
  ASSERT_EQ(form_->Children().size(), 1u);
  EXPECT_EQ(form_->Children().front()->windowTitle(), QString::fromUtf8(sysDir.c_str()) + shown);
}

// Rows deleted in the reference editor and saved leave the pick-list at once: a product
// (its table saved alone) and a dish (saved with its composition).
TEST_F(PlannerWindows, TablesSavedInTheReferenceEditorAreWhatThePickListOffers) {
  const AnsiString ref = work_.Path() + "/Ref/";
  ASSERT_TRUE(refdata::BuildRefDir(TARNWICK_DATA_DIR, ref).empty());
  globals_->Settings.General.RefDir = ref;
  StartAgain();
  struct Case {
    int page;      // of the editor
    int pickPage;  // of the pick-list
    const char* row;
  };
  for (const Case c : {Case{rpProd, ppProducts, "Фасоль"}, Case{rpDish, ppDishes, "Каша гречневая с маслом"}}) {
    TCustomMtTree& pick = form_->RefMenuForm().Menu().TreeOf(RefPageOfPick(c.pickPage));
    ASSERT_EQ(RowsNamed(pick, {c.row}).size(), 1u) << c.row;
    WithModal<TRefEditForm>([&] { Trigger("ToolsEditRef"); }, [&](TRefEditForm& d) {
      d.PageControl1->setCurrentIndex(c.page);
      Process();
      TMtTree* tree = d.View(c.page);
      const std::vector<TMtTreeItem*> rows = RowsNamed(*tree, {c.row});
      ASSERT_EQ(rows.size(), 1u);
      tree->setFocus();
      tree->SetItemFocused(rows[0]);
      Process();
      d.Action("ItemsDelete")->trigger();
      ASSERT_TRUE(RowsNamed(*tree, {c.row}).empty());
      d.Action("FileSave")->trigger();
      d.Action("FileClose")->trigger();
    });
    EXPECT_TRUE(RowsNamed(pick, {c.row}).empty()) << c.row;
  }
}

// Characters typed as the window system delivers them, one key event each.
static void TypeText(QWidget* w, const QString& t) {
  for (QChar c : t) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
    QApplication::sendEvent(w, &release);
  }
}

// The document keeps its texts in code page 1251. A character typed into a text field
// that the code page lacks is shown at once as the document keeps it: without its
// accent when the plain letter exists, else "?". So what the field shows is what is saved
// and read back.
TEST_F(PlannerWindows, TextFieldsShowWhatTheDocumentKeeps) {
  TRaskladForm* f = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(f, nullptr);
  TMtTreeItem* day = f->Doc().Items()->Root()->GetChildren(0);
  FocusTree(f, day);
  f->RaskladToggleCmtExecute();
  f->ShowSection(0);
  Process();
  auto* title = f->findChild<QLineEdit*>("edTitle");
  auto* author = f->findChild<QLineEdit*>("edAuthor");
  auto* description = f->findChild<QPlainTextEdit*>("Memo1");
  auto* comment = f->findChild<QPlainTextEdit*>("memCmt");
  const QString typed = QString::fromUtf8("Zürich — Łódź «Ёж» 日本");
  const QString kept = QString::fromUtf8("Zurich — ?odz «Ёж» ??");
  for (QWidget* w : std::initializer_list<QWidget*>{title, author, description}) {
    if (auto* e = qobject_cast<QLineEdit*>(w)) e->clear();
    if (auto* e = qobject_cast<QPlainTextEdit*>(w)) e->clear();
    w->setFocus();
    TypeText(w, typed);
  }
  f->ShowSection(1);
  Process();
  comment->clear();
  comment->setFocus();
  TypeText(comment, typed);
  EXPECT_EQ(title->text(), kept);
  EXPECT_EQ(author->text(), kept);
  EXPECT_EQ(description->toPlainText(), kept);
  EXPECT_EQ(comment->toPlainText(), kept);
  EXPECT_EQ(U(f->Doc().Header.Title), kept.toStdString());
  EXPECT_EQ(U(day->ColumnText()[rcComment]), kept.toStdString());

  const AnsiString name = work_.Path() + "/kept.tw";
  files_->answers.push_back(name);
  Trigger("FileSaveAs1");
  TRationDocument back;
  TRationFileMessagesStub quiet;
  ASSERT_EQ(LoadRationFromFile(back, name, {}, quiet), rlOk);
  EXPECT_EQ(U(back.Header.Title), kept.toStdString());
  EXPECT_EQ(U(back.Header.Author), kept.toStdString());
  EXPECT_EQ(U(back.Header.Description), kept.toStdString());
  EXPECT_EQ(U(back.Items()->Root()->GetChildren(0)->ColumnText()[rcComment]), kept.toStdString());
}

// Directories whose names code page 1251 cannot hold are shown in the options as the
// system names them, and OK keeps them as they were; so does a name that is no UTF-8.
TEST_F(PlannerWindows, OptionsKeepDirectoriesOutsideTheCodePage) {
  const std::string sysDir = SysPath(work_.Path()) + "/Поход Zürich 日本/";
  const std::string latin1Dir = SysPath(work_.Path()) + "/Z\xFCrich/";
  const AnsiString dir = AnsiPath(sysDir), latin1 = AnsiPath(latin1Dir);
  ASSERT_TRUE(ForceDirectories(dir));
  ASSERT_TRUE(ForceDirectories(latin1));
  ASSERT_TRUE(std::filesystem::is_directory(latin1Dir));
  globals_->Settings.General.DataDir = dir;
  globals_->Settings.General.ExampleDir = latin1;
  WithModal<TOptionsForm>([&] { Trigger("ToolsOptions"); }, [&](TOptionsForm& d) {
    EXPECT_EQ(d.DirectoryEdit[1]->text(), QString::fromUtf8(sysDir.c_str()));
    d.btnOk->click();
  });
  EXPECT_EQ(globals_->Settings.General.DataDir, dir);
  EXPECT_EQ(globals_->Settings.General.ExampleDir, latin1);
}

// Saving a new ration offers its title as the file name; separators in the title would
// make a folder path of it (and the dialog would keep only the part after the last one).
TEST_F(PlannerWindows, TheTitleOfferedAsAFileNameKeepsItsSeparatorsAsDashes) {
  Trigger("FileNew1");
  TRaskladForm* f = form_->ActiveChild();
  ASSERT_NE(f, nullptr);
  f->Doc().Header.Title = Ansi("Кавказ 2026/07 \\ 2");
  files_->answers.push_back(std::nullopt);
  Trigger("FileSave1");
  ASSERT_FALSE(files_->seeds.empty());
  EXPECT_EQ(U(files_->seeds.back()), "Кавказ 2026-07 - 2");
}

// The default author typed in the options goes into every new ration, which keeps code
// page 1251: the field shows at once what will be kept.
TEST_F(PlannerWindows, TheDefaultAuthorShowsWhatRationsKeep) {
  WithModal<TOptionsForm>([&] { Trigger("ToolsOptions"); }, [&](TOptionsForm& d) {
    d.Edit1->clear();
    d.Edit1->setFocus();
    TypeText(d.Edit1, QString::fromUtf8("Jürgen 日"));
    EXPECT_EQ(d.Edit1->text(), QString::fromUtf8("Jurgen ?"));
    d.btnOk->click();
  });
  EXPECT_EQ(U(globals_->Settings.Defaults.DfltAuthor), "Jurgen ?");
}

// A fragment pasted from another program's text with characters the documents' code page
// lacks: they come in as the fields show such text ("?" or the plain letter), never as the
// escapes of file names, which the exports and the 64-character cut would garble.
TEST_F(PlannerWindows, AFragmentWithForeignCharactersIsPastedAsTheDocumentKeepsIt) {
  TRaskladForm* a = form_->OpenRation(Example("weekend-hike.tw"));
  ASSERT_NE(a, nullptr);
  TMtTreeItem* aDay = a->Doc().Items()->Root()->GetChildren(0);
  TMtTreeItem* lunch = Child(aDay, "Обед");
  ASSERT_NE(lunch, nullptr);
  FocusTree(a, lunch);
  Trigger("EditCopy1");
  QString text = QApplication::clipboard()->text();
  const qsizetype at = text.indexOf(QString::fromUtf8("Обед"));
  ASSERT_GE(at, 0);
  text.insert(at + 4, QString::fromUtf8(" Gruyère 日本"));
  QApplication::clipboard()->setText(text);
  TMtTreeItem* day2 = a->Doc().Items()->Root()->GetChildren(1);
  FocusTree(a, day2);
  Trigger("EditPaste1");
  TMtTreeItem* pasted = Child(day2, "Обед Gruyere ??");
  ASSERT_NE(pasted, nullptr);
  EXPECT_EQ(pasted->Text().find(kRawPathByte), AnsiString::npos);
  a->Doc().Modified = 0;
}
