#include "planner/gui/MainForm.h"

#include <algorithm>

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <string_view>

#include "report/gui/RP_Preview.h"
#include "planner/app/AppRegIni.h"
#include "planner/app/aboutModel.h"
#include "planner/app/Globals.h"
#include "planner/app/HelpPages.h"
#include "planner/gui/FrmFind.h"
#include "planner/gui/FrmOptions.h"
#include "planner/gui/FrmRaskladProp.h"
#include "planner/gui/FrmRefEdit.h"
#include "planner/gui/HelpForm.h"
#include "planner/gui/about.h"
#include "planner/gui/PlannerPrompt.h"
#include "planner/gui/ProgramIcon.h"
#include "planner/gui/RefMenuForm.h"
#include "controls/gui/MtTreeView.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/AnsiText.h"
#include "platform/core/Files.h"
#include "platform/gui/Dialogs.h"
#include "platform/core/Registry.h"
#include "platform/core/SysDirs.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Application.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

// The file dialogs of the rations: a name typed without extension is given ".tw", in the
// open dialog as well, which takes only a file that exists.
QString RunRationDialog(QFileDialog::AcceptMode mode, const char* title, const QString& where) {
  QFileDialog d(nullptr, Q(title), where, Q("Файлы раскладок (*.tw);;Все файлы (*)"));
  d.setObjectName(mode == QFileDialog::AcceptOpen ? "OpenDialog" : "SaveDialog");
  d.setAcceptMode(mode);
  d.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
  d.setDefaultSuffix("tw");
  if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return {};
  return d.selectedFiles().front();
}

class TQtFileDialogs : public IFileDialogs {
 public:
  bool OpenRation(const AnsiString& initialDir, AnsiString& fileName) override {
    const QString name = RunRationDialog(QFileDialog::AcceptOpen, "Открыть раскладку", ToQString(initialDir));
    if (name.isEmpty()) return false;
    fileName = AnsiPath(name.toStdString());
    return true;
  }
  bool SaveRation(const AnsiString& initialDir, AnsiString& fileName) override {
    const QString seed = ToQString(IncludeTrailingPathDelimiter(initialDir) + ExtractFileName(fileName));
    const QString name = RunRationDialog(QFileDialog::AcceptSave, "Сохранить под именем", seed);
    if (name.isEmpty()) return false;
    fileName = AnsiPath(name.toStdString());
    if (ExtractFileExt(fileName).empty()) fileName += ".tw";  // a desktop's own dialog may not add it
    return true;
  }
};

// The hints switch of the settings over every window of the program (the frame, the
// ration windows, the dialogs and the reference editor): while it is off no hint shows.
class THintSwitch : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject*, QEvent* e) override { return e->type() == QEvent::ToolTip && !Application().ShowHint; }
};

// Where the windows keep their placement: subkeys of the program's settings key. A
// ration window opens where the last one was closed.
constexpr const char* kMainFormPlacement = "MainForm";
constexpr const char* kRaskladFormPlacement = "RaskladForm";

// The help topics of the help menu: caption and context.
struct THelpTopic {
  const char* name;
  const char* caption;
  int context;
};
const THelpTopic kHelpTopics[] = {
    {"HelpContents", "Содержание", 0},
    {"HelpIndex", "Индекс", kHelpIndex},
    {"HelpHowToUse", "Как пользоваться справочной системой", kHelpHowToUse},
    {"HelpBasicsRation", "Основы составления рационов", 2020},
    {"HelpRationStructure", "Как устроена раскладка", 2140},
    {"HelpDayMenu", "Составление меню на каждый день", 2150},
    {"HelpAverageRation", "Составление среднесуточного рациона", 2160},
    {"HelpFaq", "Ответы на вопросы", 2260},
};

}  // namespace

TMainForm::TMainForm(TdmGlobals& globals, AnsiString helpFile, std::unique_ptr<IFileDialogs> dialogs)
    : globals_(globals),
      helpFile_(std::move(helpFile)),
      dialogs_(dialogs ? std::move(dialogs) : std::make_unique<TQtFileDialogs>()),
      prompt_(std::make_unique<TPlannerPrompt>()),
      mru_(globals.Settings.General.DataDir, globals.Settings.General.ExampleDir) {
  setObjectName("MainForm");
  setWindowTitle(ToQString(globals_.ProgTitle));
  setWindowIcon(ProgramIcon());
  resize(1100, 760);
  const TAppSettings& s = globals_.Settings;
  openDir_ = saveDir_ = s.General.DataDir;
  refMenuForm_ = std::make_unique<TRefMenuForm>(s.General.RefDir, *prompt_, this);
  refMenuForm_->OnHelp = [this](int context) { HelpForm().ShowContext(context); };
  services_.RefMenu = &refMenuForm_->Menu();
  services_.Prompt = prompt_.get();
  services_.Messages = prompt_.get();
  findDlg_ = std::make_unique<TFindDlg>(findModel_, &refMenuForm_->Menu(), this);
  findDlg_->OnHelp = [this](int context) { HelpForm().ShowContext(context); };
  services_.FindDlg = findDlg_.get();
  SettingsToServices();
  services_.Defaults.Limits = refMenuForm_->Menu().Limits;
  services_.Program = {globals_.ProgTitle, globals_.ProgVersion, globals_.ProgCopyright};
  services_.Preview = [this](TrpCompositeReport& report) { PreviewReport(report); };
  services_.Help = [this](int context) { HelpForm().ShowContext(context); };
  rpPreviewHelp() = [this] { HelpForm().ShowContext(kPreviewHelpContext); };
  services_.RaskladProp = [this](TRaskladForm& form) { RaskladProp(form); };
  services_.AskPdfFile = [](AnsiString& pdfFile) {
    TSaveDialog d;
    d.Title = Ansi("Печатать в файл PDF");
    d.Filter = Ansi("Документы PDF (*.pdf)|*.pdf");
    d.DefaultExt = "pdf";
    d.OverwritePrompt = true;
    d.InitialDir = ExtractFilePath(pdfFile);
    d.FileName = ExtractFileName(pdfFile);
    if (!d.Execute()) return false;
    pdfFile = d.FileName;
    return true;
  };

  qApp->installEventFilter(new THintSwitch(this));
  CreateActions();
  CreateMenus();
  CreateClient();
  ConnectEvents();
  RestorePlacement();
  TAppRegIniFile reg(globals_.Store(), globals_.RegKeyPath);
  mru_.LoadMru(reg);
  RebuildMruMenu();
  UpdateActions();
}

TMainForm::~TMainForm() {
  rpPreviewHelp() = nullptr;
  // Nothing reaches a frame that is going.
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(mdi_, nullptr, this, nullptr);
  // The windows go before the pick-list they use.
  for (TRaskladForm* f : Children()) {
    f->Doc().Modified = 0;
    delete f;
  }
}

QAction* TMainForm::NewAction(const char* name, const char* caption, const QKeySequence& key,
                              void (TMainForm::*run)()) {
  auto* a = new QAction(Q(caption), this);
  a->setObjectName(name);
  if (!key.isEmpty()) a->setShortcut(key);
  // Each command ends with the command states brought up to date (a dialog it showed may
  // have moved the focus and back).
  if (run != nullptr)
    connect(a, &QAction::triggered, this, [this, run] {
      GuardedCall(nullptr, [this, run] { (this->*run)(); });
      UpdateActions();
    });
  return a;
}

QAction* TMainForm::Action(const char* name) const { return findChild<QAction*>(name); }

void TMainForm::CreateActions() {
  NewAction("FileNew1", "&Новый", QKeySequence::New, &TMainForm::FileNew1Execute);
  NewAction("FileOpen1", "Открыть", QKeySequence::Open, &TMainForm::FileOpen1Execute);
  NewAction("FileClose1", "Закрыть", {}, &TMainForm::FileClose1Execute);
  NewAction("FileSave1", "Сохранить", QKeySequence::Save, &TMainForm::FileSave1Execute);
  NewAction("FileSaveAs1", "Сохранить как...", {}, &TMainForm::FileSaveAs1Execute);
  NewAction("FilePrint", "Печатать", {}, &TMainForm::FilePrintExecute);
  NewAction("FilePrintPreview", "Печатать с просмотром", {}, &TMainForm::FilePrintPreviewExecute);
  NewAction("FileExit1", "Выход", {}, &TMainForm::FileExit1Execute);
  NewAction("EditCut1", "Вырезать", QKeySequence::Cut, &TMainForm::EditCut1Execute);
  NewAction("EditCopy1", "Копировать", QKeySequence::Copy, &TMainForm::EditCopy1Execute);
  NewAction("EditPaste1", "Вставить", QKeySequence::Paste, &TMainForm::EditPaste1Execute);
  struct Fwd {
    const char* name;
    const char* caption;
    void (TRaskladForm::*command)();
  };
  const Fwd forwards[] = {
      {"EditAddDay", "Добавить день", &TRaskladForm::ItemAddDayExecute},
      {"EditAddMeal", "Добавить трапезу", &TRaskladForm::ItemAddMealExecute},
      {"EditAddDish", "Добавить блюдо", &TRaskladForm::ItemAddDishExecute},
      {"EditAddProd", "Добавить продукт", &TRaskladForm::ItemAddProdExecute},
      {"EditEatDel", "Удалить из меню строку", &TRaskladForm::ItemDelExecute},
      {"EditEatDelAll", "Удалить из меню все строки", &TRaskladForm::ItemDelAllExecute},
      {"EditEatMoveUp", "Переместить строку вверх", &TRaskladForm::ItemMoveUpExecute},
      {"EditEatMoveDown", "Переместить строку вниз", &TRaskladForm::ItemMoveDownExecute},
      {"EditEditCell", "Редактировать значение", &TRaskladForm::ItemsEditCellExecute},
  };
  for (const Fwd& f : forwards) {
    QAction* a = NewAction(f.name, f.caption, {}, nullptr);
    const auto command = f.command;
    connect(a, &QAction::triggered, this, [this, command] { GuardedCall(nullptr, [this, command] { Forward(command); }); });
  }
  NewAction("EditRaskladProp", "Свойства раскладки", {}, &TMainForm::EditRaskladPropExecute);
  NewAction("EditFind", "Поиск / замена", QKeySequence::Find, &TMainForm::EditFindExecute);
  NewAction("EditFindNext", "Найти следующий", QKeySequence(Qt::Key_F3), &TMainForm::EditFindNextExecute);
  // "Выстроить по вертикали" lines the windows up one under another: the class library's
  // horizontal tiling; "по горизонтали" puts them side by side.
  NewAction("WindowCascade1", "Лесенка", {}, nullptr);
  NewAction("WindowTileHorizontal1", "Выстроить по вертикали", {}, nullptr);
  NewAction("WindowTileVertical1", "Выстроить  по горизонтали", {}, nullptr);
  NewAction("WindowMinimizeAll1", "Свернуть все", {}, nullptr);
  NewAction("WindowArrange1", "Выравнять свернутые", {}, nullptr);
  // The next and previous window, wherever the focus is in the frame.
  for (const char* name : {"WindowNext", "WindowPrevious"}) {
    QAction* a = NewAction(name, name[6] == 'N' ? "Следующее окно" : "Предыдущее окно", {}, nullptr);
    a->setShortcuts(name[6] == 'N' ? QList<QKeySequence>{QKeySequence("Ctrl+Tab"), QKeySequence("Ctrl+F6")}
                                   : QList<QKeySequence>{QKeySequence("Ctrl+Shift+Tab"), QKeySequence("Ctrl+Shift+F6")});
    a->setShortcutContext(Qt::WindowShortcut);
    addAction(a);
  }
  NewAction("ToolsEditRef", "Справочники", {}, &TMainForm::ToolsEditRefExecute);
  NewAction("ToolsOptions", "Параметры программы", {}, &TMainForm::ToolsOptionsExecute);
  for (const THelpTopic& t : kHelpTopics) {
    QAction* a = NewAction(t.name, t.caption, QKeySequence(), nullptr);
    const int context = t.context;
    connect(a, &QAction::triggered, this, [this, context] { HelpForm().ShowContext(context); });
  }
  // F1: the help page of the window the user works in (a ration window or the frame).
  QAction* f1 = NewAction("HelpContext", "Справка", QKeySequence(Qt::Key_F1), nullptr);
  f1->setShortcutContext(Qt::WindowShortcut);
  addAction(f1);
  connect(f1, &QAction::triggered, this, [this] { HelpForm().ShowContext(ActiveChild() ? kRaskladHelpContext : kMainHelpContext); });
  NewAction("HelpWebSite", "Web-сайт программы", {}, &TMainForm::HelpWebSiteExecute);
  NewAction("HelpMailAuthor", "Письмо автору", {}, &TMainForm::HelpMailAuthorExecute);
  NewAction("HelpAbout1", "О программе", {}, &TMainForm::HelpAbout1Execute);
}

void TMainForm::CreateMenus() {
  QMenu* file = menuBar()->addMenu(Q("Файл"));
  file->addAction(Action("FileNew1"));
  file->addAction(Action("FileOpen1"));
  MruRoot = file->addMenu(Q("Открыть заново"));
  MruRoot->setObjectName("MruRoot");
  file->addAction(Action("FileClose1"));
  file->addSeparator();
  file->addAction(Action("FileSave1"));
  file->addAction(Action("FileSaveAs1"));
  file->addSeparator();
  file->addAction(Action("FilePrint"));
  file->addAction(Action("FilePrintPreview"));
  file->addSeparator();
  file->addAction(Action("FileExit1"));
  QMenu* edit = menuBar()->addMenu(Q("Правка"));
  for (const char* n : {"EditCut1", "EditCopy1", "EditPaste1", "", "EditAddDay", "EditAddMeal", "EditAddDish",
                        "EditAddProd", "", "EditEatDel", "EditEatDelAll", "EditEatMoveUp", "EditEatMoveDown",
                        "EditEditCell", "", "EditFind", "EditFindNext", "", "EditRaskladProp"}) {
    if (*n == '\0') edit->addSeparator();
    else edit->addAction(Action(n));
  }
  QMenu* view = menuBar()->addMenu(Q("Вид"));
  QToolBar* fileBar = addToolBar(Q("Файл"));
  fileBar->setObjectName("FileToolBar");
  for (const char* n : {"FileNew1", "FileOpen1", "FileSave1"}) fileBar->addAction(Action(n));
  QToolBar* editBar = addToolBar(Q("Редактирование"));
  editBar->setObjectName("EditToolBar");
  for (const char* n : {"EditAddDay", "EditAddMeal", "EditAddDish", "EditAddProd", "EditEatDel"})
    editBar->addAction(Action(n));
  QToolBar* windowBar = addToolBar(Q("Окна"));
  windowBar->setObjectName("WindowToolBar");
  windowBar->addAction(Action("WindowCascade1"));
  windowBar->addAction(Action("WindowTileHorizontal1"));
  statusBar()->setObjectName("StatusBar");
  view->addAction(fileBar->toggleViewAction());
  view->addAction(editBar->toggleViewAction());
  view->addAction(windowBar->toggleViewAction());
  QAction* status = view->addAction(Q("Строка состояния"));
  status->setCheckable(true);
  status->setChecked(true);
  connect(status, &QAction::toggled, statusBar(), &QWidget::setVisible);
  WindowMenu = menuBar()->addMenu(Q("Окна"));
  WindowMenu->setObjectName("WindowMenu");
  RebuildWindowMenu();
  QMenu* tools = menuBar()->addMenu(Q("Сервис"));
  tools->addAction(Action("ToolsEditRef"));
  tools->addAction(Action("ToolsOptions"));
  QMenu* help = menuBar()->addMenu(Q("Справка"));
  for (const THelpTopic& t : kHelpTopics) help->addAction(Action(t.name));
  help->addSeparator();
  help->addAction(Action("HelpWebSite"));
  help->addAction(Action("HelpMailAuthor"));
  help->addSeparator();
  help->addAction(Action("HelpAbout1"));
}

void TMainForm::CreateClient() {
  mdi_ = new QMdiArea(this);
  mdi_->setObjectName("ClientArea");
  setCentralWidget(mdi_);
}

void TMainForm::ConnectEvents() {
  connect(mdi_, &QMdiArea::subWindowActivated, this, [this] { UpdateActions(); });
  connect(qApp, &QApplication::focusChanged, this, [this] { UpdateActions(); });
  auto* idle = new QTimer(this);
  idle->setObjectName("ActionUpdateTimer");
  connect(idle, &QTimer::timeout, this, [this] { UpdateActions(); });
  idle->start(250);
  connect(Action("WindowCascade1"), &QAction::triggered, mdi_, &QMdiArea::cascadeSubWindows);
  connect(Action("WindowTileVertical1"), &QAction::triggered, this,
          [this] { TileMdiWindows(mdi_, TTileMode::tbVertical); });
  connect(Action("WindowTileHorizontal1"), &QAction::triggered, this,
          [this] { TileMdiWindows(mdi_, TTileMode::tbHorizontal); });
  connect(Action("WindowMinimizeAll1"), &QAction::triggered, this, [this] {
    for (QMdiSubWindow* w : mdi_->subWindowList()) w->showMinimized();
  });
  connect(Action("WindowArrange1"), &QAction::triggered, this, [this] { ArrangeMdiIcons(mdi_); });
  connect(Action("WindowNext"), &QAction::triggered, mdi_, &QMdiArea::activateNextSubWindow);
  connect(Action("WindowPrevious"), &QAction::triggered, mdi_, &QMdiArea::activatePreviousSubWindow);
  connect(WindowMenu, &QMenu::aboutToShow, this, [this] { RebuildWindowMenu(); });
}

std::string TMainForm::PlacementKey(const char* window) const { return globals_.RegKeyPath + "\\" + window; }

void TMainForm::RestorePlacement() {
  placement_ = new TWindowPlacement(this, globals_.Store(), PlacementKey(kMainFormPlacement));
  TWindowState state = TWindowState::wsNormal;
  showNormal_ = placement_->Restore(state) && state != TWindowState::wsMaximized;
}

void TMainForm::ShowPlaced() {
  if (showNormal_) show();
  else showMaximized();
}

// ---------------------------------------------------------------------------------

TRaskladForm* TMainForm::ActiveChild() const {
  QMdiSubWindow* w = mdi_->currentSubWindow();
  return w != nullptr ? dynamic_cast<TRaskladForm*>(w->widget()) : nullptr;
}

std::vector<TRaskladForm*> TMainForm::Children() const {
  std::vector<TRaskladForm*> out;
  for (QMdiSubWindow* w : mdi_->subWindowList())
    if (auto* f = dynamic_cast<TRaskladForm*>(w->widget())) out.push_back(f);
  return out;
}

void TMainForm::RebuildWindowMenu() {
  WindowMenu->clear();
  for (const char* n : {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1", "WindowMinimizeAll1",
                        "WindowArrange1"})
    WindowMenu->addAction(Action(n));
  if (mdi_ == nullptr) return;  // the client area comes after the menus
  const QList<QMdiSubWindow*> windows = mdi_->subWindowList(QMdiArea::CreationOrder);
  if (windows.isEmpty()) return;
  WindowMenu->addSeparator();
  int number = 0;
  for (QMdiSubWindow* w : windows) {
    ++number;
    QString caption = w->windowTitle();
    caption.replace("&", "&&");
    QAction* a = WindowMenu->addAction(number <= 9 ? QString("&%1 %2").arg(number).arg(caption) : caption);
    a->setObjectName(QString("WindowItem%1").arg(number));
    a->setCheckable(true);
    a->setChecked(w == mdi_->activeSubWindow());
    connect(a, &QAction::triggered, this, [this, w] {
      if (mdi_->subWindowList().contains(w)) mdi_->setActiveSubWindow(w);
    });
  }
}

TRaskladForm* TMainForm::OpenRation(const AnsiString& Name) {
  // A name from the command line may be relative to the working directory: the window
  // and the recent files keep it whole, so that it names the same file later.
  const AnsiString FileName = ExpandFileName(Name);
  auto* form = new TRaskladForm(services_);
  form->OnAskSaveName = [this](TRaskladForm* f, AnsiString& name) { return AskSaveName(f, name); };
  form->OnSaved = [this](const AnsiString& name) {
    if (reviewMode_) return;
    mru_.AddMru(name);
    RebuildMruMenu();
  };
  const int r = form->Open(FileName);
  if (r != 0) {
    delete form;
    if (!reviewMode_) {
      mru_.RemoveMru(FileName);
      RebuildMruMenu();
    }
    return nullptr;
  }
  QMdiSubWindow* sub = mdi_->addSubWindow(form);
  sub->setObjectName("RaskladWindow");
  sub->setWindowIcon(windowIcon());
  auto* placement = new TWindowPlacement(sub, globals_.Store(), PlacementKey(kRaskladFormPlacement));
  form->OnClosing = [this, placement, form] {
    if (reviewMode_) return;
    form->SavePanes(globals_.Store(), PlacementKey(kRaskladFormPlacement));
    placement->Save();
  };
  // A new window is maximised. It is shown in the bounds the last closed one left first,
  // so that leaving the maximised state returns to them.
  TWindowState state = TWindowState::wsNormal;
  placement->Restore(state);
  sub->show();
  // Activating a window while another is maximised gives it the maximised state in its
  // normal bounds: it is then maximised again, to fill the client area.
  mdi_->setActiveSubWindow(sub);
  if (sub->isMaximized() && sub->geometry() != mdi_->viewport()->rect()) sub->showNormal();
  sub->showMaximized();
  form->RestorePanes(globals_.Store(), PlacementKey(kRaskladFormPlacement));
  form->ShowSection(0);  // the general page, the title field focused
  if (!FileName.empty() && !reviewMode_) {
    mru_.AddMru(FileName);
    RebuildMruMenu();
  }
  UpdateActions();
  return form;
}

void TMainForm::OpenParams(const std::vector<AnsiString>& fileNames) {
  QTimer::singleShot(0, this, [this, fileNames] {
    for (const AnsiString& name : fileNames) GuardedCall(nullptr, [&] { OpenRation(name); });
  });
}

void TMainForm::RebuildMruMenu() {
  MruRoot->clear();
  for (const AnsiString& caption : mru_.Captions()) {
    QAction* a = MruRoot->addAction(ToQString(TMruList::MenuText(caption)));
    connect(a, &QAction::triggered, this, [this, caption] { GuardedCall(nullptr, [&] { MruClick(caption); }); });
  }
  MruRoot->setEnabled(!mru_.Empty());
}

void TMainForm::MruClick(const AnsiString& caption) { OpenRation(mru_.FileOfCaption(caption)); }

void TMainForm::UpdateActions() {
  // The menu bar takes the focus while it is worked with the keyboard: the commands stay
  // those of the control the user works in, which gets the focus back after the menu.
  if (qobject_cast<QMenuBar*>(QApplication::focusWidget()) != nullptr) return;
  TRaskladForm* child = ActiveChild();
  const bool has = child != nullptr;
  for (const char* n : {"FileSave1", "FileSaveAs1", "FileClose1", "FilePrint", "FilePrintPreview"})
    Action(n)->setEnabled(!mdi_->subWindowList().isEmpty());
  const TRationCommands c = has ? child->Commands() : TRationCommands{};
  const bool treeFocused = has && child->TreeFocused();
  Action("EditAddDay")->setEnabled(c.AddDay);
  Action("EditAddMeal")->setEnabled(c.AddMeal);
  Action("EditAddDish")->setEnabled(c.AddDish);
  Action("EditAddProd")->setEnabled(c.AddProd);
  Action("EditEatDel")->setEnabled(c.Del);
  Action("EditEatDelAll")->setEnabled(c.DelAll);
  Action("EditEatMoveUp")->setEnabled(c.MoveUp);
  Action("EditEatMoveDown")->setEnabled(c.MoveDown);
  Action("EditEditCell")->setEnabled(c.EditCell);
  // Outside the ration tree the edit actions are those of the focused text field.
  Action("EditCut1")->setEnabled(treeFocused ? c.Cut : EditCommandEnabled(TEditActionKind::eaCut));
  Action("EditCopy1")->setEnabled(treeFocused ? c.Copy : EditCommandEnabled(TEditActionKind::eaCopy));
  Action("EditPaste1")->setEnabled(treeFocused ? c.Paste : EditCommandEnabled(TEditActionKind::eaPaste));
  // The window commands arrange the ration windows: there must be one.
  for (const char* n : {"WindowCascade1", "WindowTileHorizontal1", "WindowTileVertical1", "WindowMinimizeAll1",
                        "WindowArrange1"})
    Action(n)->setEnabled(!mdi_->subWindowList().isEmpty());
  Action("EditRaskladProp")->setEnabled(has);
  Action("WindowNext")->setEnabled(has);
  Action("WindowPrevious")->setEnabled(has);
  Action("EditFind")->setEnabled(c.Find);
  Action("EditFindNext")->setEnabled(c.FindNext);
  Action("ToolsEditRef")->setEnabled(true);
  Action("ToolsOptions")->setEnabled(true);
}

void TMainForm::Forward(void (TRaskladForm::*command)()) {
  if (TRaskladForm* child = ActiveChild()) (child->*command)();
  UpdateActions();
}

// The preview window shows the built pages modally, so the report outlives it.
void TMainForm::PreviewReport(TrpCompositeReport& report) {
  TrpPreviewForm preview(this);
  if (TRaskladForm* child = ActiveChild()) preview.SourceDocument = child->Doc().FileName;
  preview.ShowReport(report, true);
}

void TMainForm::FilePrintExecute() {
  if (TRaskladForm* child = ActiveChild()) child->PrintRation(false);
}

void TMainForm::FilePrintPreviewExecute() {
  if (TRaskladForm* child = ActiveChild()) child->PrintRation(true);
}

void TMainForm::FileNew1Execute() { OpenRation(AnsiString()); }

void TMainForm::FileOpen1Execute() {
  AnsiString name;
  if (!dialogs_->OpenRation(openDir_, name)) return;
  openDir_ = ExtractFilePath(name);
  OpenRation(name);
}

void TMainForm::FileClose1Execute() {
  if (QMdiSubWindow* w = mdi_->currentSubWindow()) w->close();
}

bool TMainForm::AskSaveName(TRaskladForm* form, AnsiString& fileName) {
  const TRationDocument& doc = form->Doc();
  if (fileName.empty()) {
    // The title offered as one file name: its separators would make a folder path of it.
    fileName = !doc.Header.Title.empty() ? doc.Header.Title : doc.Caption;
    std::replace_if(fileName.begin(), fileName.end(), [](char c) { return c == '/' || c == '\\'; }, '-');
  }
  if (!dialogs_->SaveRation(saveDir_, fileName)) return false;
  saveDir_ = ExtractFilePath(fileName);
  return true;
}

void TMainForm::FileSave1Execute() {
  if (TRaskladForm* child = ActiveChild()) child->Save(AnsiString());
}

void TMainForm::FileSaveAs1Execute() {
  TRaskladForm* child = ActiveChild();
  if (child == nullptr) return;
  AnsiString name = child->Doc().FileName.empty() ? child->Doc().Caption : child->Doc().FileName;
  if (!dialogs_->SaveRation(saveDir_, name)) return;
  saveDir_ = ExtractFilePath(name);
  child->Save(name);
}

void TMainForm::FileExit1Execute() { close(); }

void TMainForm::EditCut1Execute() {
  TRaskladForm* child = ActiveChild();
  if (child != nullptr && child->TreeFocused()) child->CopyItems(true);
  else RunEditCommand(TEditActionKind::eaCut);
}

void TMainForm::EditCopy1Execute() {
  TRaskladForm* child = ActiveChild();
  if (child != nullptr && child->TreeFocused()) child->CopyItems(false);
  else RunEditCommand(TEditActionKind::eaCopy);
}

void TMainForm::EditPaste1Execute() {
  TRaskladForm* child = ActiveChild();
  if (child != nullptr && child->TreeFocused()) child->PasteItems();
  else RunEditCommand(TEditActionKind::eaPaste);
}

THelpForm& TMainForm::HelpForm() {
  if (helpForm_ == nullptr) {
    helpForm_ = new THelpForm(this);
    helpForm_->Load(helpFile_);
  }
  return *helpForm_;
}

void TMainForm::HelpAbout1Execute() {
  TAboutDlg dlg(this);
  dlg.OnHelp = [this](int context) { HelpForm().ShowContext(context); };
  dlg.Execute(globals_.ProgTitle, globals_.ProgVersion, globals_.ProgCopyright);
}

void TMainForm::HelpWebSiteExecute() { ShellOpen(kProgramUrl); }

void TMainForm::HelpMailAuthorExecute() { ShellOpen(AboutMailLink(globals_.ProgTitle, globals_.ProgVersion)); }

void TMainForm::EditFindExecute() { Forward(&TRaskladForm::ItemFindExecute); }
void TMainForm::EditFindNextExecute() { Forward(&TRaskladForm::ItemFindNextExecute); }

void TMainForm::EditRaskladPropExecute() {
  if (TRaskladForm* child = ActiveChild()) RaskladProp(*child);
}

void TMainForm::RaskladProp(TRaskladForm& child) {
  TRaskladPropForm form(this);
  form.OnHelp = [this](int context) { HelpForm().ShowContext(context); };
  bool changed = false;
  form.Execute(child.Doc(), &changed);
  if (changed) child.ApplyDocumentState();
  UpdateActions();
}

QSize TMainForm::ClientAreaSize() const {
  const int menu = menuBar()->isVisible() ? menuBar()->height() : 0;
  return QSize(width(), std::max(0, height() - menu));
}

void TMainForm::ToolsEditRefExecute() {
  TRefMenu& menu = refMenuForm_->Menu();
  // A reference directory changed in the options: its limits are the ones edited and used.
  menu.UseLimitsOf(globals_.Settings.General.RefDir);
  TRefEditForm form(globals_.Settings.General.RefDir, menu.Limits, *prompt_, &menu, this);
  // A saved table is read again by the pick-list at once.
  form.Model().OnRefSaved = [&menu](int page) { menu.ReloadRef(page); };
  form.OnHelp = [this](int context) { HelpForm().ShowContext(context); };
  // The size of the frame's client area (below its menu bar), at 0, 18 of the screen.
  const QRect screen = this->screen() != nullptr ? this->screen()->geometry() : QRect();
  // These are the bounds of its window with border and title; the main window's frame
  // stands for the editor's, which the window system makes only once it is shown.
  const QRect outer = frameGeometry(), inner = geometry();
  const QMargins frame(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                       outer.bottom() - inner.bottom());
  form.move(screen.topLeft() + QPoint(0, 18));  // the frame's corner
  form.resize(ClientAreaSize().shrunkBy(frame));
  form.exec();
  services_.Defaults.Limits = menu.Limits;
}

void TMainForm::ToolsOptionsExecute() {
  TOptionsForm form(&refMenuForm_->Menu(), this);
  form.OnHelp = [this](int context) { HelpForm().ShowContext(context); };
  const AnsiString dataDir = globals_.Settings.General.DataDir;
  if (form.Execute(globals_) != mrOk) return;
  // The file dialogs start in a new data directory (one left as it was keeps the folder
  // last used); the recent files keep naming their files under the new directories.
  const TGeneralSettings& g = globals_.Settings.General;
  if (g.DataDir != dataDir) openDir_ = saveDir_ = g.DataDir;
  mru_.ChangeDirectories(g.DataDir, g.ExampleDir);
  RebuildMruMenu();
  // The hints switch takes effect at once in every window of the program (the reference
  // editor's trees included): every hint passes the application's switch.
  Application().ShowHint = globals_.Settings.General.ShowHint;
  SettingsToServices();
}

void TMainForm::SettingsToServices() {
  const TAppSettings& s = globals_.Settings;
  services_.CreateBakFiles = s.General.CreateBakFiles;
  services_.RefDir = s.General.RefDir;
  TNewRationDefaults& d = services_.Defaults;
  d.DayMenuMode = s.General.DayMenuMode;
  d.Author = s.Defaults.DfltAuthor;
  d.TourName = s.Defaults.DfltTourName;
  d.Mans = s.Defaults.DfltMans;
  d.Days = s.Defaults.DfltDays;
  d.RefCal = s.Defaults.DfltRefCal;
  d.RefAlb = s.Defaults.DfltRefAlb;
  d.RefFat = s.Defaults.DfltRefFat;
  d.RefCarb = s.Defaults.DfltRefCarb;
}

void TMainForm::closeEvent(QCloseEvent* e) {
  // Each window's close question in turn; Cancel on one keeps it and every window after it.
  for (QMdiSubWindow* w : mdi_->subWindowList(QMdiArea::CreationOrder))
    if (!w->close()) {
      e->ignore();
      return;
    }
  if (!reviewMode_) GuardedCall(nullptr, [this] {
    placement_->Save();
    TAppRegIniFile reg(globals_.Store(), globals_.RegKeyPath);
    mru_.SaveMru(reg);
    reg.UpdateFile();
  });
  e->accept();
}
