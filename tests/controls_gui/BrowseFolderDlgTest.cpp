// The folder dialog: its events while it runs, the help button, the image index and
// the on-screen browser's set-up (places, help button, selection, centring).
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLabel>
#include <QVBoxLayout>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>

#include "controls/gui/BrowseFolderDlg.h"
#include "controls/misc/FileUtil.h"
#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "test_support/TempDir.h"

namespace {

TEST(BrowseFolderDlgEvents, InitializedBeforeTheChoiceAndSelChangedOnEachChange) {
  TempDir dir;
  TScriptedDialogsScope dialogs;
  TBrowseFolderDlg d;
  std::vector<std::string> log;
  d.OnInitialized = [&](TObject* sender) {
    EXPECT_EQ(sender, &d);
    log.push_back("init");
  };
  d.OnSelChanged = [&](TObject*) { log.push_back("sel " + d.FolderName); };
  d.FolderName = dir.Path();
  dialogs->AnswerDirectory(dir.Path() + "/");
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(log, (std::vector<std::string>{"init", "sel " + dir.Path() + "/"}));
  EXPECT_EQ(d.FolderName, dir.Path());
  EXPECT_EQ(d.ImageIndex, 0);
  // The root's picture; a cancelled dialog fires OnInitialized only.
  log.clear();
  dialogs->AnswerDirectory("/");
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.ImageIndex, 2);
  log.clear();
  dialogs->AnswerDirectory(std::nullopt);
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(log, std::vector<std::string>{"init"});
  // Computers cannot be browsed here.
  d.BrowseKind = TBrowseKind::bfComputers;
  log.clear();
  EXPECT_FALSE(d.Execute());
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(dialogs->Unexpected(), 0);
  EXPECT_EQ(FolderImageIndex(dir.Path() + "/none"), -1);
}

// The on-screen browser, set up as BrowseFolder does, driven without its event loop.
TEST(BrowseFolderDlgScreen, HelpButtonSelectionAndCentring) {
  TempDir dir;
  TScriptedDialogsScope dialogs;  // the help topic shows through the dialog service
  int selections = 0, helps = 0;
  std::vector<AnsiString> seen;
  TFolderBrowseRequest request;
  request.Title = Ansi("Папка");
  request.StartFolder = dir.Path();
  request.HelpButton = true;
  request.OnSelChanged = [&](const AnsiString& folder) {
    ++selections;
    seen.push_back(folder);
    return FolderOkEnabled(folder);
  };
  request.OnHelp = [&] { ++helps; };
  QFileDialog dialog;
  SetUpFolderBrowser(dialog, request);
  EXPECT_EQ(dialog.directory().absolutePath(), QString::fromStdString(SysPath(dir.Path())));
  // The dialog's text stands right above the folders.
  auto* text = dialog.findChild<QLabel*>("DialogText");
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(text->text(), QString::fromUtf8("Папка"));
  auto* views = dialog.findChild<QSplitter*>("splitter");
  ASSERT_NE(views, nullptr);
  ASSERT_EQ(text->parentWidget(), views->parentWidget());
  auto* stack = qobject_cast<QVBoxLayout*>(text->parentWidget()->layout());
  ASSERT_NE(stack, nullptr);
  EXPECT_EQ(stack->indexOf(text), 0);
  EXPECT_EQ(stack->indexOf(views), 1);
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Обзор папок"));
  if (const char* out = std::getenv("TARNWICK_FOLDER_BROWSER_PNG")) {
    QFileDialog look;
    SetUpFolderBrowser(look, request);
    look.resize(640, 420);
    look.show();
    QApplication::processEvents();
    look.grab().save(out);
  }
  auto* box = dialog.findChild<QDialogButtonBox*>();
  ASSERT_NE(box, nullptr);
  auto* help = dialog.findChild<QPushButton*>("HelpButton");
  ASSERT_NE(help, nullptr);
  EXPECT_EQ(help->text(), "&Help");
  help->click();
  EXPECT_EQ(helps, 1);
  // Every selection change reports, and OK follows the answer.
  const QString sub = QString::fromStdString(SysPath(dir.Path())) + "/sub";
  QDir().mkpath(sub);
  emit dialog.currentChanged(sub);
  EXPECT_TRUE(box->button(QDialogButtonBox::Open)->isEnabled());
  emit dialog.currentChanged(sub + "/gone");
  EXPECT_FALSE(box->button(QDialogButtonBox::Open)->isEnabled());
  emit dialog.directoryEntered(QString::fromStdString(SysPath(dir.Path())));
  EXPECT_EQ(selections, 3);
  EXPECT_EQ(seen.back(), dir.Path());
  EXPECT_TRUE(box->button(QDialogButtonBox::Open)->isEnabled());
  // Centred on the screen; the places start at the home folder (DesktopRoot).
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_LE(std::abs(dialog.geometry().center().x() - area.center().x()), 1);
  ASSERT_FALSE(dialog.sidebarUrls().isEmpty());
  EXPECT_EQ(dialog.sidebarUrls().back(), QUrl::fromLocalFile(QDir::rootPath()));
  EXPECT_GE(dialog.sidebarUrls().size(), 2);
  // Without DesktopRoot only the root; without HelpContext no help button.
  QFileDialog plain;
  TFolderBrowseRequest bare;
  bare.DesktopRoot = false;
  SetUpFolderBrowser(plain, bare);
  EXPECT_EQ(plain.sidebarUrls(), QList<QUrl>{QUrl::fromLocalFile(QDir::rootPath())});
  EXPECT_EQ(plain.findChild<QPushButton*>("HelpButton"), nullptr);
  EXPECT_EQ(plain.findChild<QLabel*>("DialogText"), nullptr);
  EXPECT_EQ(plain.directory().absolutePath(), QDir::rootPath());
}

TEST(BrowseFolderDlgScreen, HelpContextOpensTheHelpTopic) {
  // The component's help button opens its help topic through the help stand-in.
  TScriptedDialogsScope dialogs;
  TBrowseFolderDlg d;
  d.HelpContext = 4711;
  // A dialog service that presses Help while the browser runs.
  struct HelpPressingService : TScriptedDialogs {
    bool BrowseFolder(TFolderBrowseRequest& request) override {
      helpButton = request.HelpButton;
      if (request.OnHelp) request.OnHelp();
      return false;
    }
    bool helpButton = false;
  };
  auto service = std::make_unique<HelpPressingService>();
  HelpPressingService* s = service.get();
  auto previous = SetDialogService(std::move(service));
  EXPECT_FALSE(d.Execute());
  EXPECT_TRUE(s->helpButton);
  EXPECT_EQ(s->HelpContexts(), std::vector<int>{4711});
  SetDialogService(std::move(previous));
}

}  // namespace
