// Forms: modal results and the close query, dialog keys and key preview, the MDI
// frame's children and captions, placement in the settings store, help.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTimer>
#include <memory>

#include "platform/core/Registry.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Application.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/StdCtrls.h"
#include "platform_gui/PlacementCases.h"
#include "platform_gui/SendInput.h"
#include "test_support/TempDir.h"

namespace {

// A dialog as the program builds one: an edit, OK (default) and Cancel (cancel).
struct Dialog {
  TForm form;
  TEdit* edit;
  TButton* ok;
  TButton* cancel;
  std::vector<std::string> log;
  Dialog() {
    form.setObjectName("TTestDlg");
    form.resize(300, 120);
    edit = new TEdit(&form);
    edit->setObjectName("edValue");
    edit->SetBounds(8, 8, 200, 21);
    ok = new TButton(&form, "OK");
    ok->setObjectName("btnOk");
    ok->SetBounds(8, 60, 75, 25);
    ok->ModalResult = mrOk;
    ok->SetDefault(true);
    cancel = new TButton(&form, Ansi("Отказ"));
    cancel->setObjectName("btnCancel");
    cancel->SetBounds(90, 60, 75, 25);
    cancel->ModalResult = mrCancel;
    cancel->SetCancel(true);
    // The close query refuses OK while the edit is empty, as the find dialog does.
    form.OnCloseQuery = [this](TObject*, bool& canClose) {
      log.push_back("query");
      if (form.ModalResult() == mrOk && edit->Text().empty()) canClose = false;
    };
    form.OnClose = [this](TObject*, TCloseAction&) { log.push_back("close"); };
    form.OnShow = [this](TObject*) { log.push_back("show"); };
    form.OnHide = [this](TObject*) { log.push_back("hide"); };
  }
};

class FormsTest : public testing::Test {
 protected:
  void SetUp() override { SetSettingsStoreFile(dir_.Path() + "/settings.ini"); }
  void TearDown() override { EXPECT_EQ(dialogs_->Unexpected(), 0); }
  TempDir dir_;
  TScriptedDialogsScope dialogs_;
};

}  // namespace

TEST_F(FormsTest, ModalResultGoesThroughTheCloseQuery) {
  Dialog d;
  dialogs_->AnswerForm("TTestDlg", [&](TForm& f) {
    EXPECT_TRUE(f.Visible());
    EXPECT_TRUE(f.Modal());
    d.ok->click();  // empty edit: the query refuses, the form stays
    EXPECT_EQ(f.ModalResult(), mrOk);
    EXPECT_FALSE(f.CloseModal());
    EXPECT_EQ(f.ModalResult(), mrNone);
    d.edit->SetText("x");
    d.ok->click();
  });
  EXPECT_EQ(d.form.ShowModal(), mrOk);
  EXPECT_FALSE(d.form.Visible());
  EXPECT_FALSE(d.form.Modal());
  EXPECT_EQ(d.log, (std::vector<std::string>{"show", "query", "query", "close", "hide"}));

  // Cancel: the query allows it; OnClose may still keep the form (caNone).
  d.log.clear();
  int closes = 0;
  d.form.OnClose = [&](TObject*, TCloseAction& a) {
    if (++closes == 1) a = TCloseAction::caNone;
  };
  dialogs_->AnswerForm("TTestDlg", [&](TForm& f) {
    d.cancel->click();
    EXPECT_FALSE(f.CloseModal());
    d.cancel->click();
  });
  EXPECT_EQ(d.form.ShowModal(), mrCancel);
  EXPECT_EQ(closes, 2);  // the refused try, then the kit's close after the script
}

TEST_F(FormsTest, ModalRunOnTheRealLoopEndsWhenTheResultIsSet) {
  std::unique_ptr<TDialogService> scripted = SetDialogService(std::make_unique<TQtDialogService>());
  Dialog d;
  d.edit->SetText("x");
  // The window's own close button (Qt's close event) is Cancel on a modal form.
  QTimer::singleShot(0, [&] { d.form.close(); });
  EXPECT_EQ(d.form.ShowModal(), mrCancel);
  QTimer::singleShot(0, [&] { d.ok->click(); });
  EXPECT_EQ(d.form.ShowModal(), mrOk);
  // Enter in the edit presses the default button: a dialog key.
  QTimer::singleShot(0, [&] {
    d.edit->setFocus();
    SendKey(d.edit, Qt::Key_Return, Qt::NoModifier, "\r");
  });
  EXPECT_EQ(d.form.ShowModal(), mrOk);
  SetDialogService(std::move(scripted));
}

TEST_F(FormsTest, ShowModalOfAVisibleFormRaises) {
  Dialog d;
  d.form.Show();
  EXPECT_THROW(d.form.ShowModal(), Exception);
  d.form.Hide();
}

TEST(FormsModal, AFormWithoutScriptIsUnexpectedAndCancelled) {
  TScriptedDialogsScope dialogs;
  Dialog d;
  EXPECT_EQ(d.form.ShowModal(), mrCancel);
  EXPECT_EQ(dialogs->Unexpected(), 1);
  EXPECT_EQ(dialogs->ModalForms(), (std::vector<AnsiString>{"TTestDlg"}));
}

TEST_F(FormsTest, DialogKeysAndKeyPreview) {
  Dialog d;
  auto* memo = new TMemo(&d.form);
  memo->SetBounds(8, 30, 200, 25);
  std::vector<std::string> clicks;
  d.ok->OnClick = [&](TObject*) { clicks.push_back("ok"); };
  d.cancel->OnClick = [&](TObject*) { clicks.push_back("cancel"); };
  d.form.Show();
  QApplication::setActiveWindow(&d.form);

  // Enter in an edit clicks the default button, Esc the cancel button.
  d.edit->setFocus();
  SendKey(d.edit, Qt::Key_Return, Qt::NoModifier, "\r");
  SendKey(d.edit, Qt::Key_Escape, Qt::NoModifier, "\x1b");
  // Enter on a focused button clicks that button, not the default one.
  d.cancel->setFocus();
  SendKey(d.cancel, Qt::Key_Return, Qt::NoModifier, "\r");
  // A memo keeps Enter for its new line.
  memo->setFocus();
  SendKey(memo, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(clicks, (std::vector<std::string>{"ok", "cancel", "cancel"}));
  EXPECT_EQ(memo->Text(), "\r\n");
  // A disabled default button takes no key.
  d.ok->setEnabled(false);
  d.edit->setFocus();
  SendKey(d.edit, Qt::Key_Return, Qt::NoModifier, "\r");
  EXPECT_EQ(clicks.size(), 3u);
  d.ok->setEnabled(true);

  // Key preview: the form sees the key first and may eat it.
  std::vector<std::string> keys;
  d.form.KeyPreview = true;
  d.form.OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) {
    keys.push_back("form " + std::to_string(k));
    if (k == VK_DOWN) k = 0;
  };
  d.edit->OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) { keys.push_back("edit " + std::to_string(k)); };
  SendKey(d.edit, Qt::Key_Down);
  SendKey(d.edit, Qt::Key_Up);
  EXPECT_EQ(keys, (std::vector<std::string>{"form 40", "form 38", "edit 38"}));
  d.form.Hide();
}

TEST_F(FormsTest, F1ShowsTheHelpTopicOfTheForm) {
  RegisterHelpTopic(2300, Ansi("Поиск и замена"), Ansi("Как искать продукты."));
  Dialog d;
  d.form.HelpContext = 2300;
  d.form.Show();
  QApplication::setActiveWindow(&d.form);
  d.edit->setFocus();
  SendKey(d.edit, Qt::Key_F1);
  EXPECT_EQ(dialogs_->HelpContexts(), (std::vector<int>{2300}));
  d.form.Hide();
}

TEST_F(FormsTest, CloseStepsOfAWindow) {
  Dialog d;
  d.edit->SetText("x");
  d.form.Show();
  // caNone from the close query keeps the form.
  d.form.OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
  d.form.Close();
  EXPECT_TRUE(d.form.Visible());
  d.form.OnCloseQuery = nullptr;
  d.form.Close();
  EXPECT_FALSE(d.form.Visible());

  // caFree: the form goes once the event is done.
  auto* owned = new TForm;
  QPointer<TForm> guard(owned);
  owned->OnClose = [](TObject*, TCloseAction& a) { a = TCloseAction::caFree; };
  owned->Show();
  owned->Close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(guard.isNull());
}

TEST_F(FormsTest, MdiChildrenInActivationOrderWithMergedCaption) {
  TForm frame(nullptr, TFormStyle::fsMDIForm);
  frame.SetCaption("Tarnwick");
  frame.resize(800, 600);
  QMenu windowMenu;
  frame.SetWindowMenu(&windowMenu);
  frame.Show();
  QApplication::setActiveWindow(&frame);
  std::vector<std::string> log;
  auto child = [&](const char* caption) {
    auto* c = new TForm(&frame, TFormStyle::fsMDIChild);
    c->SetCaption(caption);
    c->OnActivate = [&log, caption](TObject*) { log.push_back(std::string("activate ") + caption); };
    c->OnDeactivate = [&log, caption](TObject*) { log.push_back(std::string("deactivate ") + caption); };
    c->Show();
    return c;
  };
  TForm* a = child("A");
  TForm* b = child("B");
  TForm* c = child("C");
  ASSERT_EQ(frame.MDIChildCount(), 3);
  EXPECT_EQ(frame.ActiveMDIChild(), c);
  EXPECT_EQ(frame.MDIChildren(0), c);
  EXPECT_EQ(frame.MDIChildren(1), b);
  EXPECT_EQ(frame.MDIChildren(2), a);
  frame.ClientArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(a->parentWidget()));
  EXPECT_EQ(frame.ActiveMDIChild(), a);
  EXPECT_EQ(frame.MDIChildren(0), a);
  EXPECT_EQ(frame.MDIChildren(1), c);
  EXPECT_EQ(log, (std::vector<std::string>{"activate A", "deactivate A", "activate B", "deactivate B", "activate C",
                                           "deactivate C", "activate A"}));

  // A maximised active child shows in the frame's caption.
  EXPECT_EQ(frame.windowTitle(), "Tarnwick");
  a->SetWindowState(TWindowState::wsMaximized);
  EXPECT_EQ(frame.windowTitle(), "Tarnwick - [A]");
  a->SetCaption("A2");
  EXPECT_EQ(frame.windowTitle(), "Tarnwick - [A2]");

  // The window menu lists the children, the active one checked.
  QStringList entries;
  for (QAction* act : windowMenu.actions())
    if (!act->isSeparator()) entries << act->text() + (act->isChecked() ? "*" : "");
  EXPECT_EQ(entries, (QStringList{"&1 A2*", "&2 B", "&3 C"}));

  // Tiling lays the children out side by side without overlap.
  frame.Tile(TTileMode::tbVertical);
  EXPECT_EQ(a->WindowState(), TWindowState::wsNormal);
  const QRect ra = a->parentWidget()->geometry(), rb = b->parentWidget()->geometry();
  EXPECT_FALSE(ra.intersects(rb));
  EXPECT_EQ(ra.top(), rb.top());

  // An MDI child's close minimises by default; caFree frees it and the next child
  // becomes active.
  b->Close();
  EXPECT_EQ(b->WindowState(), TWindowState::wsMinimized);
  a->OnClose = [](TObject*, TCloseAction& act) { act = TCloseAction::caFree; };
  a->Close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents();
  EXPECT_EQ(frame.MDIChildCount(), 2);

  // The frame's close asks every child first.
  c->OnCloseQuery = [](TObject*, bool& canClose) { canClose = false; };
  EXPECT_FALSE(frame.CloseQuery());
  c->OnCloseQuery = nullptr;
  EXPECT_TRUE(frame.CloseQuery());
}

// A form that maximises itself when made reopens as its section says, once shown.
TEST_F(FormsTest, PlacementStateHoldsAfterShow) {
  placement_cases::NormalSectionReopensNormal("Software\\ReportEngine\\Form\\TNormal");
  placement_cases::MaximizedStatesAreKept("Software\\ReportEngine\\Form\\TMaximized");
  placement_cases::PartialSectionTakesWhatItHolds("Software\\ReportEngine\\Form\\TPartial");
}

TEST_F(FormsTest, PlacementIsKeptAsReadableIntegersAndClamped) {
  {
    TForm form;
    form.setGeometry(40, 50, 300, 200);
    form.Show();
    form.SetWindowState(TWindowState::wsMaximized);
    SavePlacement(form, "Software\\Tarnwick\\Form\\TTestDlg");
    form.Hide();
  }
  AnsiString v;
  ASSERT_TRUE(SettingsStore().ReadValue("Software\\Tarnwick\\Form\\TTestDlg", "Width", v));
  EXPECT_EQ(v, "300");
  ASSERT_TRUE(SettingsStore().ReadValue("Software\\Tarnwick\\Form\\TTestDlg", "State", v));
  EXPECT_EQ(v, "2");
  // The file was written: another store reads the same.
  TSettingsStore again(SettingsStore().FileName());
  ASSERT_TRUE(again.ReadValue("Software\\Tarnwick\\Form\\TTestDlg", "Left", v));
  EXPECT_EQ(v, "40");

  TForm restored;
  EXPECT_TRUE(RestorePlacement(restored, "Software\\Tarnwick\\Form\\TTestDlg"));
  EXPECT_EQ(restored.geometry(), QRect(40, 50, 300, 200));
  EXPECT_EQ(restored.WindowState(), TWindowState::wsMaximized);

  // Bounds from another screen are brought back into this one.
  SettingsStore().WriteValue("K", "Left", "90000");
  SettingsStore().WriteValue("K", "Top", "-500");
  SettingsStore().WriteValue("K", "Width", "400");
  SettingsStore().WriteValue("K", "Height", "300");
  TForm far;
  EXPECT_TRUE(RestorePlacement(far, "K"));
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_TRUE(screen.contains(far.geometry())) << far.geometry().x() << "," << far.geometry().y();
  // A value that is not a number keeps the form's own; the others still apply.
  SettingsStore().WriteValue("K", "Width", "abc");
  TForm partly;
  partly.setGeometry(1, 2, 30, 40);
  EXPECT_TRUE(RestorePlacement(partly, "K"));
  EXPECT_EQ(partly.size(), QSize(30, 300));
  // A section with nothing in it leaves the form as it is.
  TForm untouched;
  untouched.setGeometry(1, 2, 30, 40);
  EXPECT_FALSE(RestorePlacement(untouched, "Nothing"));
  EXPECT_EQ(untouched.geometry(), QRect(1, 2, 30, 40));

  // The report windows' names, with the Maximized flag.
  TPlacementNames names;
  names.Left = "XPosition";
  names.Top = "YPosition";
  names.State = "Maximized";
  names.StateIsMaximizedFlag = true;
  TForm preview;
  preview.setGeometry(10, 20, 200, 100);
  preview.Show();
  SavePlacement(preview, "Software\\ReportEngine\\Form\\TrpPreviewForm", names);
  preview.Hide();
  ASSERT_TRUE(SettingsStore().ReadValue("Software\\ReportEngine\\Form\\TrpPreviewForm", "Maximized", v));
  EXPECT_EQ(v, "0");
  ASSERT_TRUE(SettingsStore().ReadValue("Software\\ReportEngine\\Form\\TrpPreviewForm", "XPosition", v));
  EXPECT_EQ(v, "10");
}
