// A look at the windows kit and the small controls: an MDI frame with its menu, tool
// bar and status bar, two children holding every kind of control, and a modal dialog
// with the combo and directory edits, speed buttons and a pane splitter.
//   kitdemo                   shows the frame ("Сервис > Параметры..." opens the dialog)
//   kitdemo --shot <dir>      renders frame.png, frame-tiled.png and dialog.png into <dir>
//                             (works on the offscreen platform)
//   kitdemo --screen <file>   on a real display (Xvfb): shows the frame with its window
//                             menu open, runs the dialog modally, and saves the whole
//                             screen once both are up
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <cstdio>
#include <cstring>
#include <memory>

#include "controls/gui/ComboEdit.h"
#include "controls/gui/FlatSpeedButton.h"
#include "controls/gui/PaneSplitter.h"
#include "controls/misc/ComboEditLayout.h"
#include "platform/core/ImageList.h"
#include "platform/gui/ActnList.h"
#include "platform/gui/Align.h"
#include "platform/gui/Application.h"
#include "platform/gui/ComCtrls.h"
#include "platform/gui/Containers.h"
#include "platform/gui/Dialogs.h"
#include "platform/gui/Forms.h"
#include "platform/gui/Menus.h"
#include "platform/gui/StdCtrls.h"

namespace {

// Tool bar pictures, 16 x 16 on fuchsia (transparent).
TBitmap Picture(int kind) {
  constexpr TColor kBack = clFuchsia;
  TBitmap b(16, 16, kBack);
  switch (kind) {
    case 0:  // new: a sheet with a folded corner
      b.Fill(Rect(3, 1, 13, 15), clBlack);
      b.Fill(Rect(4, 2, 12, 14), clWhite);
      b.Fill(Rect(9, 1, 13, 5), kBack);
      b.Fill(Rect(9, 2, 10, 5), clBlack);
      b.Fill(Rect(9, 4, 13, 5), clBlack);
      break;
    case 1: {  // open: the directory edit's folder
      const TBitmap folder = DirectoryEditGlyph();
      for (int y = 0; y < folder.Height(); ++y)
        for (int x = 0; x < folder.Width(); ++x)
          if (folder.Pixel(x, y) != folder.EffectiveTransparentColor()) b.SetPixel(x, y + 2, folder.Pixel(x, y));
      break;
    }
    case 2:  // save: a diskette
      b.Fill(Rect(1, 1, 15, 15), clNavy);
      b.Fill(Rect(4, 2, 12, 7), clWhite);
      b.Fill(Rect(5, 10, 11, 15), clSilver);
      break;
    case 3:  // find: a lens
      b.Fill(Rect(3, 2, 9, 8), clBlack);
      b.Fill(Rect(4, 3, 8, 7), clAqua);
      for (int i = 0; i < 6; ++i) b.Fill(Rect(8 + i, 8 + i, 10 + i, 10 + i), clMaroon);
      break;
    default:  // options: a gear-like square
      b.Fill(Rect(3, 3, 13, 13), clGray);
      b.Fill(Rect(6, 1, 10, 15), clGray);
      b.Fill(Rect(1, 6, 15, 10), clGray);
      b.Fill(Rect(6, 6, 10, 10), clWhite);
      break;
  }
  b.Transparent = true;
  b.TransparentColor = kBack;
  return b;
}

TLabel* Label(QWidget* parent, const char* text, int x, int y) {
  auto* l = new TLabel(parent, Ansi(text));
  l->move(x, y);
  l->AdjustSize();
  return l;
}

// The options dialog: the small controls.
class TOptionsDemo : public TForm {
 public:
  TOptionsDemo() {
    setObjectName("TOptionsForm");
    SetCaption(Ansi("Параметры"));
    SetBorderStyle(TFormBorderStyle::bsDialog);
    Position = TPosition::poScreenCenter;
    resize(420, 330);
    auto* top = new TPanel(this);
    top->BevelOuter = TPanelBevel::bvNone;
    SetAlign(top, TAlign::alClient);
    Label(top, "Каталог справочников:", 10, 10);
    auto* dir1 = new TDirectoryEdit(top);
    dir1->setObjectName("DirectoryEdit1");
    dir1->SetBounds(10, 27, 390, 21);
    dir1->SetText("/usr/share/tarnwick/Ref");
    dir1->SetDirectInput(false);
    Label(top, "Каталог раскладок:", 10, 55);
    auto* dir2 = new TDirectoryEdit(top);
    dir2->setObjectName("DirectoryEdit2");
    dir2->SetBounds(10, 72, 390, 21);
    dir2->SetText(QDir::homePath().toStdString() + "/Travels");
    Label(top, "Вид похода по умолчанию:", 10, 100);
    auto* tour = new TComboEdit(top);
    tour->setObjectName("ComboEdit1");
    tour->SetBounds(10, 117, 250, 21);
    tour->SetGlyphKind(TGlyphKind::gkEllipsis);
    tour->SetDirectInput(false);
    tour->SetText(Ansi("Пеший, 2 к.с."));
    auto* kind = new TComboEdit(top);
    kind->SetBounds(270, 117, 130, 21);
    kind->SetGlyphKind(TGlyphKind::gkDropDown);
    kind->SetText(Ansi("Лето"));
    Label(top, "Единицы:", 10, 150);
    const char* units[] = {"г", "кг", "ккал"};
    for (int i = 0; i < 3; ++i) {
      auto* b = new TFlatSpeedButton(top);
      b->SetCaption(Ansi(units[i]));
      b->SetBounds(70 + i * 40, 145, 38, 24);
      b->SetGroupIndex(1);
      if (i == 1) b->SetDown(true);
    }
    auto* flat = new TFlatSpeedButton(top);
    flat->SetGlyph(Picture(3));
    flat->SetFlat(true);
    flat->SetBounds(200, 145, 25, 24);
    auto* disabled = new TFlatSpeedButton(top);
    disabled->SetGlyph(Picture(2));
    disabled->SetBounds(230, 145, 25, 24);
    disabled->setEnabled(false);
    auto* notes = new TMemo(top);
    notes->SetWordWrap(true);
    notes->SetText(Ansi("Раскладка пересчитывается при выходе из поля «Участников».\r\n"
                        "Перетащите полосу ниже, чтобы изменить высоту панели."));
    notes->SetBounds(10, 178, 390, 50);
    auto* bottom = new TPanel(this);
    bottom->resize(420, 52);
    SetAlign(bottom, TAlign::alBottom);
    auto* bar = new TPaneSplitter(this, TAlign::alBottom);
    bar->MinSize = 1;
    bar->resize(420, 10);
    bar->move(0, 260);
    bottom->move(0, 270);
    auto* ok = new TButton(bottom, "OK");
    ok->setObjectName("btnOk");
    ok->SetBounds(170, 14, 75, 25);
    ok->ModalResult = mrOk;
    ok->SetDefault(true);
    auto* cancel = new TButton(bottom, Ansi("Отказ"));
    cancel->setObjectName("btnCancel");
    cancel->SetBounds(250, 14, 75, 25);
    cancel->ModalResult = mrCancel;
    cancel->SetCancel(true);
    auto* help = new TButton(bottom, Ansi("Пояснить"));
    help->SetBounds(330, 14, 75, 25);
    help->OnClick = [this](TObject*) { ShowHelp(); };
    HelpContext = 2250;
    AlignControls(this);
  }
};

// Child 1: the ration window's controls.
TForm* RationChild(TForm* frame) {
  auto* f = new TForm(frame, TFormStyle::fsMDIChild);
  f->setObjectName("TRaskladForm");
  f->SetCaption(Ansi("Раскладка 01"));
  f->resize(520, 380);
  auto* sections = new TListView(f, TViewStyle::vsList);
  sections->AddColumn("", 130);
  sections->AddItem(Ansi("Общая информация"));
  sections->AddItem(Ansi("Питание"));
  sections->SetItemIndex(0);
  sections->resize(130, 100);
  SetAlign(sections, TAlign::alLeft);
  auto* list = new TListView(f, TViewStyle::vsReport);
  list->AddColumn(Ansi("Продукт"), 180);
  list->AddColumn(Ansi("Вес, г"), 60, TAlignment::taRightJustify);
  list->AddColumn(Ansi("Ккал"), 60, TAlignment::taRightJustify);
  list->AddItem(Ansi("Крупа гречневая"), {"80", "263"});
  list->AddItem(Ansi("Сыр российский"), {"30", "108"});
  list->AddItem(Ansi("Сухари ржаные"), {"60", "194"});
  list->resize(400, 90);
  SetAlign(list, TAlign::alBottom);
  auto* bar = new TPaneSplitter(f, TAlign::alBottom);
  bar->MinSize = 1;
  bar->resize(400, 10);
  list->move(0, 300);
  bar->move(0, 280);
  auto* book = new TNotebook(f);
  SetAlign(book, TAlign::alClient);
  QWidget* gen = book->AddPage("Gen");
  Label(gen, "Название:", 8, 10);
  auto* title = new TEdit(gen);
  title->SetBounds(90, 6, 260, 21);
  title->SetText(Ansi("Поход по Алтаю"));
  Label(gen, "Вид похода:", 8, 38);
  auto* tour = new TComboEdit(gen);
  tour->SetBounds(90, 34, 260, 21);
  tour->SetGlyphKind(TGlyphKind::gkEllipsis);
  tour->SetDirectInput(false);
  tour->SetText(Ansi("Горный, 3 к.с."));
  Label(gen, "Участников:", 8, 66);
  auto* mans = new TSpinEdit(gen);
  mans->SetRange(1, 2147483647);
  mans->SetBounds(90, 62, 70, 21);
  mans->SetValue(6);
  Label(gen, "Дней:", 180, 66);
  auto* days = new TSpinEdit(gen);
  days->SetRange(1, 2147483647);
  days->SetBounds(220, 62, 70, 21);
  days->SetValue(12);
  auto* memo = new TMemo(gen);
  memo->SetWordWrap(true);
  memo->SetBounds(8, 92, 342, 60);
  memo->SetText(Ansi("Маршрут: Кучерла — Аккем — Кара-Тюрек. Заброска продуктов на 7-й день."));
  auto* link = Label(gen, "www.tarnwick.example", 8, 160);
  TFont lf = link->Font();
  lf.Color = clBlue;
  lf.Style = fsUnderline;
  link->SetFont(lf);
  link->SetCursor(crHandPoint);
  book->AddPage("Eat");
  AlignControls(f);
  return f;
}

// Child 2: pages, groups, radio group, check boxes, combo box, buttons.
TForm* PropsChild(TForm* frame) {
  auto* f = new TForm(frame, TFormStyle::fsMDIChild);
  f->setObjectName("TRaskladPropForm");
  f->SetCaption(Ansi("Свойства раскладки"));
  f->resize(460, 330);
  auto* pages = new TPageControl(f);
  SetAlign(pages, TAlign::alClient);
  TTabSheet* general = pages->AddSheet("tsGeneral", Ansi("Общие"));
  TTabSheet* limits = pages->AddSheet("tsLimits", Ansi("Справочные значения"));
  TTabSheet* hidden = pages->AddSheet("tsHidden", Ansi("Скрытая"));
  hidden->SetTabVisible(false);
  (void)limits;
  auto* radio = new TRadioGroup(general, Ansi("Тип раскладки"));
  radio->SetItems({Ansi("Среднесуточный рацион"), Ansi("Меню по дням")});
  radio->SetItemIndex(1);
  radio->setGeometry(10, 10, 200, 80);
  auto* group = new TGroupBox(general, Ansi("Печать"));
  group->setGeometry(220, 10, 220, 110);
  auto* c1 = new TCheckBox(group, Ansi("Титульный лист"));
  c1->setGeometry(10, 22, 200, 20);
  c1->SetChecked(true);
  auto* c2 = new TCheckBox(group, Ansi("Раскладка по дням"));
  c2->setGeometry(10, 46, 200, 20);
  auto* c3 = new TCheckBox(group, Ansi("Рекомендации"));
  c3->setGeometry(10, 70, 200, 20);
  c3->SetState(TCheckBoxState::cbGrayed);
  Label(general, "Сезон:", 10, 104);
  auto* season = new TComboBox(general, TComboBoxStyle::csDropDownList);
  season->SetItems({Ansi("Лето"), Ansi("Осень"), Ansi("Зима"), Ansi("Весна")});
  season->SetItemIndex(0);
  season->setGeometry(60, 100, 150, 22);
  auto* apply = new TButton(general, Ansi("Применить"));
  apply->SetBounds(10, 140, 90, 25);
  auto* panel = new TPanel(general);
  panel->Caption = Ansi("Панель с рамкой");
  panel->BevelInner = TPanelBevel::bvLowered;
  panel->setGeometry(220, 140, 220, 60);
  pages->SetActivePage(general);
  return f;
}

class TFrameDemo : public TForm {
 public:
  TFrameDemo() : TForm(nullptr, TFormStyle::fsMDIForm) {
    setObjectName("TMainForm");
    SetCaption("Tarnwick");
    resize(900, 620);
    CreateActions();
    CreateMenus();
    CreateBars();
  }
  TActionList actions{this};
  TImageList images;
  TMainMenu menu;
  QMenu* windowMenu = nullptr;
  TStatusBar* status = nullptr;

 private:
  void CreateActions() {
    for (int i = 0; i < 5; ++i) images.Add(Picture(i));
    actions.Images = &images;
    auto add = [this](const char* name, const char* caption, TShortCut sc, const char* hint, int image) {
      TAction* a = actions.Add(name, Ansi(caption), sc, Ansi(hint));
      a->SetImageIndex(image);
      return a;
    };
    TAction* newFile = add("FileNew1", "&Новый", ShortCut('N', ssCtrl), "Новая|Создать новую раскладку", 0);
    newFile->OnExecute = [this](TObject*) { RationChild(this)->Show(); };
    add("FileOpen1", "Открыть...", ShortCut('O', ssCtrl), "Открыть|Открыть раскладку", 1);
    TAction* save = add("FileSave1", "Сохранить", ShortCut('S', ssCtrl), "Сохранить|Сохранить раскладку", 2);
    save->OnUpdate = [this, save](TObject*) { save->SetEnabled(ActiveMDIChild() != nullptr); };
    add("EditFind", "Поиск / замена", ShortCut('F', ssCtrl), "Поиск|Найти продукт", 3);
    TAction* options = add("ToolsOptions", "Параметры программы", 0, "Параметры|Параметры программы", 4);
    options->OnExecute = [](TObject*) {
      TOptionsDemo dialog;
      dialog.ShowModal();
    };
    actions.AddAction<TWindowAction>("WindowCascade1", TWindowActionKind::waCascade, this)->SetCaption(Ansi("Лесенка"));
    actions.AddAction<TWindowAction>("WindowTileHorizontal1", TWindowActionKind::waTileHorizontal, this)
        ->SetCaption(Ansi("Выстроить по вертикали"));
    actions.AddAction<TWindowAction>("WindowTileVertical1", TWindowActionKind::waTileVertical, this)
        ->SetCaption(Ansi("Выстроить по горизонтали"));
  }

  void CreateMenus() {
    TMenuItem* file = menu.Items().Add("File1", Ansi("&Файл"));
    file->AddAction(actions.Find("FileNew1"));
    file->AddAction(actions.Find("FileOpen1"));
    file->AddAction(actions.Find("FileSave1"));
    TMenuItem* mru = file->Add("MruRoot", Ansi("Открыть заново"));
    for (const char* name : {"Алтай.tw", "..\\Examples\\Хибины.tw"}) mru->Add(AnsiString(), Ansi(name));
    TMenuItem* edit = menu.Items().Add("Edit1", Ansi("&Правка"));
    edit->AddAction(actions.Find("EditFind"));
    TMenuItem* view = menu.Items().Add("View1", Ansi("&Вид"));
    TMenuItem* statusItem = view->Add("ViewStatusBar", Ansi("Строка состояния"));
    statusItem->SetChecked(true);
    statusItem->OnClick = [this, statusItem](TObject*) {
      statusItem->SetChecked(!statusItem->Checked());
      status->setVisible(statusItem->Checked());
    };
    TMenuItem* windows = menu.Items().Add("Window1", Ansi("&Окна"));
    windows->AddAction(actions.Find("WindowCascade1"));
    windows->AddAction(actions.Find("WindowTileHorizontal1"));
    windows->AddAction(actions.Find("WindowTileVertical1"));
    windowMenu = windows->SubMenu();
    SetWindowMenu(windowMenu);
    TMenuItem* tools = menu.Items().Add("Tools1", Ansi("&Сервис"));
    tools->AddAction(actions.Find("ToolsOptions"));
    SetMenu(&menu);
  }

  void CreateBars() {
    auto* bar = new TToolBar(this, "ToolBarFile");
    for (const char* name : {"FileNew1", "FileOpen1", "FileSave1"}) bar->AddAction(actions.Find(name));
    bar->AddSeparator();
    bar->AddAction(actions.Find("EditFind"));
    bar->AddAction(actions.Find("ToolsOptions"));
    status = new TStatusBar(this);
    status->Panels = {{Ansi("Дней: 12"), 90}, {Ansi("Участников: 6"), 120}, {Ansi("Вес на человека: 8,4 кг"), 200}};
    HintBar = status;
    AlignControls(this);
  }
};

bool Save(QWidget* w, const QString& file, const QRect& part = {}, int zoom = 1) {
  QImage img = w->grab().toImage();
  if (!part.isNull()) img = img.copy(part).scaled(part.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  if (!img.save(file)) {
    std::fprintf(stderr, "cannot write %s\n", file.toLocal8Bit().constData());
    return false;
  }
  std::printf("%s %dx%d\n", file.toLocal8Bit().constData(), img.width(), img.height());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* shotDir = nullptr;
  const char* screenFile = nullptr;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--shot") == 0) shotDir = argv[i + 1];
    if (std::strcmp(argv[i], "--screen") == 0) screenFile = argv[i + 1];
  }
  TQtApplication qapp(argc, argv);
  Application().Initialize();
  Application().Title = "Tarnwick";
  RegisterHelpTopic(2250, Ansi("Параметры программы"),
                    Ansi("Каталоги справочников и раскладок, вид похода по умолчанию и единицы измерения."));

  auto frame = std::make_unique<TFrameDemo>();
  Application().MainForm = frame.get();
  frame->Show();
  TForm* ration = RationChild(frame.get());
  ration->Show();
  TForm* props = PropsChild(frame.get());
  props->Show();
  qobject_cast<QMdiSubWindow*>(ration->parentWidget())->setGeometry(10, 10, 540, 400);
  qobject_cast<QMdiSubWindow*>(props->parentWidget())->setGeometry(300, 150, 480, 340);
  UpdateAllActions();
  if (screenFile) {
    // The dialog runs modally over the frame, as a user opens it; the screen is saved
    // from inside its modal loop, then the dialog is cancelled and the program ends.
    const QString file = QString::fromLocal8Bit(screenFile);
    QTimer::singleShot(300, [&] {
      QTimer::singleShot(700, [&, file] {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        std::printf("%s %s\n", file.toLocal8Bit().constData(), shot.save(file) ? "saved" : "NOT saved");
        if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
        QTimer::singleShot(100, [] { Application().Terminate(); });
      });
      TriggerAction(frame.get(), "ToolsOptions");
    });
    return Application().Run();
  }
  if (!shotDir) return Application().Run();

  const QString dir = QString::fromLocal8Bit(shotDir);
  QDir().mkpath(dir);
  Application().ProcessMessages();
  bool ok = Save(frame.get(), dir + "/frame.png");
  frame->Tile(TTileMode::tbVertical);
  Application().ProcessMessages();
  ok = Save(frame.get(), dir + "/frame-tiled.png") && ok;
  ration->SetWindowState(TWindowState::wsMaximized);
  Application().ProcessMessages();
  ok = Save(frame.get(), dir + "/frame-maximized.png") && ok;
  std::printf("caption: %s\n", frame->windowTitle().toUtf8().constData());
  TOptionsDemo dialog;
  dialog.Show();
  Application().ProcessMessages();
  ok = Save(&dialog, dir + "/dialog.png") && ok;
  // Close-ups of the pane splitter's button and of the speed buttons.
  ok = Save(&dialog, dir + "/dialog-splitter-x6.png", QRect(140, 265, 140, 16), 6) && ok;
  ok = Save(&dialog, dir + "/dialog-buttons-x4.png", QRect(60, 140, 200, 34), 4) && ok;
  dialog.Hide();
  // The help stand-in of the dialog's "Пояснить".
  dialog.ShowHelp();
  Application().ProcessMessages();
  if (QWidget* help = frame->findChild<QWidget*>("HelpWindow")) {
    help->resize(420, 180);
    ok = Save(help, dir + "/help.png") && ok;
    help->close();
  }
  return ok ? 0 : 1;
}
