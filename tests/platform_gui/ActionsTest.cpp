// Actions, menus and tool bars: the update on idle, shortcuts through the forms, the
// standard edit and window actions, dynamic menu items; the clipboard's text; the
// file dialogs' script and filters.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>

#include "platform/gui/ActnList.h"
#include "platform/gui/Application.h"
#include "platform/gui/Clipbrd.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"
#include "platform_gui/SendInput.h"

namespace {

// A window with one edit and an action list whose state follows a model flag.
struct Window {
  TForm form;
  TActionList actions{&form};
  TEdit* edit;
  TAction* save;
  bool modified = false;
  std::vector<std::string> log;
  explicit Window(QWidget* owner = nullptr, TFormStyle style = TFormStyle::fsNormal) : form(owner, style) {
    edit = new TEdit(&form);
    edit->SetBounds(4, 4, 100, 21);
    save = actions.Add("FileSave1", Ansi("Сохранить"), ShortCut('S', ssCtrl), Ansi("Сохранить|Сохранить раскладку"));
    save->OnUpdate = [this](TObject*) { save->SetEnabled(modified); };
    save->OnExecute = [this](TObject*) { log.push_back("save"); };
  }
};

}  // namespace

TEST(Actions, EnablingFollowsTheModelOnIdle) {
  Window w;
  w.form.Show();
  QCoreApplication::processEvents();
  EXPECT_FALSE(w.save->Enabled());
  EXPECT_FALSE(w.save->QtAction()->isEnabled());
  w.modified = true;
  // Nothing changes until the program is idle after some input.
  EXPECT_FALSE(w.save->Enabled());
  RequestIdleUpdate();
  QCoreApplication::processEvents();
  EXPECT_TRUE(w.save->Enabled());
  EXPECT_TRUE(w.save->QtAction()->isEnabled());
  // A list of a hidden form is left alone.
  w.form.Hide();
  w.modified = false;
  UpdateAllActions();
  EXPECT_TRUE(w.save->Enabled());

  // The list's OnUpdate comes first and may handle every action itself.
  w.actions.OnUpdate = [](TAction* a, bool& handled) {
    a->SetChecked(true);
    handled = true;
  };
  w.save->Update();
  EXPECT_TRUE(w.save->Checked());
  EXPECT_TRUE(w.save->Enabled());  // its own OnUpdate did not run
}

TEST(Actions, ExecuteUpdatesFirstAndRunsOnlyWhenEnabled) {
  Window w;
  EXPECT_FALSE(w.save->Execute());
  w.modified = true;  // not yet seen by an idle step
  EXPECT_TRUE(w.save->Execute());
  EXPECT_EQ(w.log, (std::vector<std::string>{"save"}));
  // TriggerAction works as the user's click and refuses a disabled action.
  w.form.Show();
  EXPECT_TRUE(TriggerAction(&w.form, "FileSave1"));
  w.modified = false;
  EXPECT_FALSE(TriggerAction(&w.form, "FileSave1"));
  EXPECT_FALSE(TriggerAction(&w.form, "NoSuchAction"));
  EXPECT_EQ(w.log.size(), 2u);
  w.form.Hide();
}

TEST(Actions, ShortcutsRunTheActionBeforeTheControlSeesTheKey) {
  Window w;
  std::vector<std::uint16_t> editKeys;
  w.edit->OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) { editKeys.push_back(k); };
  w.form.Show();
  QApplication::setActiveWindow(&w.form);
  w.edit->setFocus();
  w.modified = true;
  SendKey(w.edit, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(w.log, (std::vector<std::string>{"save"}));
  EXPECT_TRUE(editKeys.empty());
  // A disabled action leaves the key to the control.
  w.modified = false;
  SendKey(w.edit, Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(w.log.size(), 1u);
  EXPECT_EQ(editKeys, (std::vector<std::uint16_t>{'S'}));
  // The menus show the shortcut's text.
  EXPECT_EQ(w.save->QtAction()->shortcut().toString(), "Ctrl+S");
  EXPECT_EQ(w.save->QtAction()->toolTip(), QString::fromUtf8("Сохранить"));
  EXPECT_EQ(w.save->QtAction()->statusTip(), QString::fromUtf8("Сохранить раскладку"));
  w.form.Hide();
}

TEST(Actions, TheActiveChildsShortcutComesBeforeTheFrames) {
  TForm frame(nullptr, TFormStyle::fsMDIForm);
  frame.resize(600, 400);
  TActionList frameActions(&frame);
  std::vector<std::string> log;
  TAction* find = frameActions.Add("EditFind", Ansi("Поиск"), ShortCut('F', ssCtrl));
  find->OnExecute = [&](TObject*) { log.push_back("frame find"); };
  TAction* newFile = frameActions.Add("FileNew1", Ansi("Новый"), ShortCut('N', ssCtrl));
  newFile->OnExecute = [&](TObject*) { log.push_back("frame new"); };
  frame.Show();
  QApplication::setActiveWindow(&frame);

  auto* child = new TForm(&frame, TFormStyle::fsMDIChild);
  TActionList childActions(child);
  TAction* itemFind = childActions.Add("ItemFind", Ansi("Поиск"), ShortCut('F', ssCtrl));
  itemFind->OnExecute = [&](TObject*) { log.push_back("child find"); };
  auto* edit = new TEdit(child);
  child->Show();
  edit->setFocus();
  SendKey(edit, Qt::Key_F, Qt::ControlModifier);
  SendKey(edit, Qt::Key_N, Qt::ControlModifier);
  // The child's disabled action gives the key to the frame.
  itemFind->OnUpdate = [&](TObject*) { itemFind->SetEnabled(false); };
  SendKey(edit, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(log, (std::vector<std::string>{"child find", "frame new", "frame find"}));
  // TriggerAction on the frame also finds the active child's actions.
  itemFind->OnUpdate = nullptr;
  itemFind->SetEnabled(true);
  EXPECT_TRUE(TriggerAction(&frame, "ItemFind"));
  EXPECT_EQ(log.back(), "child find");
  frame.Hide();
}

TEST(Actions, EditActionsWorkOnTheFocusedEditUnlessTakenOver) {
  TForm form;
  TActionList list(&form);
  auto* cut = list.AddAction<TEditAction>("EditCut1", TEditActionKind::eaCut);
  auto* paste = list.AddAction<TEditAction>("EditPaste1", TEditActionKind::eaPaste);
  auto* edit = new TEdit(&form);
  auto* memo = new TMemo(&form);
  memo->move(0, 30);
  form.Show();
  QApplication::setActiveWindow(&form);
  edit->setFocus();
  edit->SetText(Ansi("Гречка"));
  edit->setSelection(0, 3);
  cut->Update();
  EXPECT_TRUE(cut->Enabled());
  EXPECT_TRUE(cut->Execute());
  EXPECT_EQ(edit->Text(), Ansi("чка"));
  EXPECT_EQ(Clipboard().AsText(), Ansi("Гре"));
  memo->setFocus();
  paste->Update();
  EXPECT_TRUE(paste->Enabled());
  EXPECT_TRUE(paste->Execute());
  EXPECT_EQ(memo->Text(), Ansi("Гре"));
  cut->Update();
  EXPECT_FALSE(cut->Enabled());  // no selection
  // Taken over by the program (the ration tree's copy): its handler runs instead.
  int custom = 0;
  cut->OnExecute = [&](TObject*) { ++custom; };
  cut->OnUpdate = [&](TObject*) { cut->SetEnabled(true); };
  EXPECT_TRUE(cut->Execute());
  EXPECT_EQ(custom, 1);
  EXPECT_EQ(memo->Text(), Ansi("Гре"));
  form.Hide();
}

TEST(Actions, WindowActionsNeedAChild) {
  TForm frame(nullptr, TFormStyle::fsMDIForm);
  frame.resize(600, 400);
  TActionList list(&frame);
  auto* tile = list.AddAction<TWindowAction>("WindowTileVertical1", TWindowActionKind::waTileVertical, &frame);
  auto* close = list.AddAction<TWindowAction>("FileClose1", TWindowActionKind::waClose, &frame);
  frame.Show();
  tile->Update();
  EXPECT_FALSE(tile->Enabled());
  auto* child = new TForm(&frame, TFormStyle::fsMDIChild);
  bool closed = false;
  child->OnClose = [&](TObject*, TCloseAction& a) {
    closed = true;
    a = TCloseAction::caFree;
  };
  child->Show();
  tile->Update();
  EXPECT_TRUE(tile->Enabled());
  EXPECT_TRUE(close->Execute());
  EXPECT_TRUE(closed);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(frame.MDIChildCount(), 0);
  frame.Hide();
}

TEST(Menus, DynamicItemsAndActionItems) {
  TForm form;
  TActionList list(&form);
  TAction* save = list.Add("FileSave1", Ansi("Сохранить"), ShortCut('S', ssCtrl));
  TMainMenu menu;
  TMenuItem* file = menu.Items().Add("File1", Ansi("&Файл"));
  file->AddAction(save);
  TMenuItem* mru = file->Add("MruRoot", Ansi("Открыть заново"));
  mru->SetEnabled(false);
  form.SetMenu(&menu);
  ASSERT_EQ(menu.MenuBar()->actions().size(), 1);
  EXPECT_EQ(menu.MenuBar()->actions()[0]->text(), QString::fromUtf8("&Файл"));
  ASSERT_EQ(file->SubMenu()->actions().size(), 2);
  EXPECT_EQ(file->SubMenu()->actions()[0], save->QtAction());

  // Recent files: entries come and go at any place.
  std::vector<std::string> clicked;
  for (const char* name : {"a.tw", "b.tw", "c.tw"}) {
    auto item = std::make_unique<TMenuItem>(AnsiString(), name);
    item->OnClick = [&clicked](TObject* s) { clicked.push_back(static_cast<TMenuItem*>(s)->Caption()); };
    mru->Insert(0, std::move(item));
  }
  mru->SetEnabled(true);
  ASSERT_EQ(mru->Count(), 3);
  EXPECT_EQ(mru->Items(0)->Caption(), "c.tw");
  mru->Delete(2);
  ASSERT_EQ(mru->SubMenu()->actions().size(), 2);
  mru->SubMenu()->actions()[1]->trigger();
  EXPECT_EQ(clicked, (std::vector<std::string>{"b.tw"}));
  EXPECT_EQ(menu.Items().Find("MruRoot"), mru);

  // An item of its own with a shortcut runs through the form's keys.
  int toggles = 0;
  TMenuItem* bar = file->Add("ViewStatusBar", Ansi("Строка состояния"), ShortCut(VK_F9, 0));
  bar->SetChecked(true);
  bar->OnClick = [&](TObject*) {
    ++toggles;
    bar->SetChecked(!bar->Checked());
  };
  auto* edit = new TEdit(&form);
  form.Show();
  QApplication::setActiveWindow(&form);
  edit->setFocus();
  SendKey(edit, Qt::Key_F9);
  EXPECT_EQ(toggles, 1);
  EXPECT_FALSE(bar->Checked());
  // The menu bar sits above the aligned controls.
  auto* status = new TStatusBar(&form);
  status->Panels = {{"1", 60}, {"2", 60}};
  status->show();  // created after the form was shown
  form.resize(400, 300);
  QCoreApplication::processEvents();
  EXPECT_EQ(menu.MenuBar()->geometry().top(), 0);
  EXPECT_EQ(status->geometry().bottom(), form.height() - 1);
  form.Hide();
}

TEST(Actions, ToolBarButtonsFollowTheirActionsAndHintsObeyTheSwitch) {
  TForm form;
  TActionList list(&form);
  TAction* open = list.Add("FileOpen1", Ansi("Открыть"), ShortCut('O', ssCtrl), Ansi("Открыть|Открыть раскладку"));
  auto* bar = new TToolBar(&form, "ToolBarFile");
  bar->AddAction(open);
  form.resize(300, 200);
  form.Show();
  QWidget* button = bar->ButtonOf(open);
  ASSERT_NE(button, nullptr);
  open->SetEnabled(false);
  EXPECT_FALSE(button->isEnabled());
  open->SetEnabled(true);
  EXPECT_TRUE(button->isEnabled());
  // The hint switches: a tool tip event is eaten while hints are off.
  QHelpEvent tip(QEvent::ToolTip, QPoint(2, 2), button->mapToGlobal(QPoint(2, 2)));
  form.ShowHint = false;
  EXPECT_TRUE(QApplication::sendEvent(button, &tip));
  form.ShowHint = true;
  Application().ShowHint = false;
  EXPECT_TRUE(QApplication::sendEvent(button, &tip));
  Application().ShowHint = true;
  form.Hide();
}

TEST(Clipboard, CyrillicTextRoundTripsWithCrLf) {
  const AnsiString text = Ansi("TRWKItems\t1\t3\t0\r\nДень 1\tЗавтрак\r\nСыр «Российский»\r\n");
  Clipboard().SetAsText(text);
  // The desktop sees Unicode with LF line ends.
  EXPECT_EQ(QGuiApplication::clipboard()->text(),
            QString::fromUtf8("TRWKItems\t1\t3\t0\nДень 1\tЗавтрак\nСыр «Российский»\n"));
  EXPECT_EQ(Clipboard().AsText(), text);
  // Text put there by another program: LF or CR alone become CR LF; what 1251 lacks
  // becomes "?".
  QGuiApplication::clipboard()->setText(QString::fromUtf8("a\nб\rв\r\n✓"));
  EXPECT_EQ(Clipboard().AsText(), Ansi("a\r\nб\r\nв\r\n?"));
  Clipboard().Clear();
  EXPECT_EQ(Clipboard().AsText(), "");
}

TEST(FileDialogs, FiltersAndTheScript) {
  EXPECT_EQ(FileDialogNameFilters(Ansi("Файлы раскладок (*.tw)|*.tw|Все файлы (*.*)|*.*")),
            (std::vector<AnsiString>{Ansi("Файлы раскладок (*.tw)"), Ansi("Все файлы (*)")}));
  EXPECT_EQ(FileDialogNameFilters("Pictures|*.bmp;*.png|Odd|"),
            (std::vector<AnsiString>{"Pictures (*.bmp *.png)", "Odd ()"}));
  EXPECT_TRUE(FileDialogNameFilters("").empty());
  EXPECT_EQ(WithDefaultExt("/d/a", "tw"), "/d/a.tw");
  EXPECT_EQ(WithDefaultExt("/d/a.txt", "tw"), "/d/a.txt");

  TScriptedDialogsScope dialogs;
  TSaveDialog save;
  save.Title = Ansi("Сохранить под именем");
  save.Filter = Ansi("Файлы раскладок (*.tw)|*.tw|Все файлы (*.*)|*.*");
  save.DefaultExt = ".tw";
  save.InitialDir = "/data/Travels/";
  save.FileName = Ansi("Поход");
  dialogs->AnswerFile(Ansi("/data/Travels/Алтай"));
  dialogs->AnswerFile(std::nullopt);
  ASSERT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName, Ansi("/data/Travels/Алтай.tw"));
  EXPECT_FALSE(save.Execute());
  ASSERT_EQ(dialogs->FileDialogs().size(), 2u);
  const TFileDialogRequest& r = dialogs->FileDialogs()[0];
  EXPECT_EQ(r.Kind, TFileDialogKind::fdSave);
  EXPECT_EQ(r.Title, Ansi("Сохранить под именем"));
  EXPECT_EQ(r.FileName, Ansi("Поход"));
  EXPECT_EQ(r.DefaultExt, "tw");
  EXPECT_EQ(dialogs->Unexpected(), 0);
  TOpenDialog open;
  EXPECT_FALSE(open.Execute());
  EXPECT_EQ(dialogs->Unexpected(), 1);
}
