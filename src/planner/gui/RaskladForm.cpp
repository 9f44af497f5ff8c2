#include "planner/gui/RaskladForm.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMenu>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "planner/app/FrmOptionsModel.h"
#include "controls/gui/ComboEdit.h"
#include "controls/gui/PaneSplitter.h"
#include "planner/gui/FrmFind.h"
#include "planner/gui/PlannerTrees.h"
#include "planner/ration/RationClip.h"
#include "planner/ration/RationFile.h"
#include "planner/ration/RationSort.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/FlagScope.h"
#include "platform/core/Files.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"
#include "platform/gui/StdCtrls.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

constexpr TRationTab kTabs[4] = {TRationTab::Menu, TRationTab::DayList, TRationTab::TripList,
                                 TRationTab::Recommendations};

// The ration window a control belongs to (a drag's source), or nil.
TRaskladForm* FindRaskladForm(TObject* control) {
  auto* w = dynamic_cast<TWinControl*>(control);
  for (QWidget* p = w != nullptr ? w->Widget() : nullptr; p != nullptr; p = p->parentWidget())
    if (auto* f = dynamic_cast<TRaskladForm*>(p)) return f;
  return nullptr;
}

// The currency symbol of the user's locale as the window's texts can hold it: the ruble
// sign, which code page 1251 lacks, as "р."; any other symbol outside the code page as
// the currency's ISO code.
AnsiString LocaleCurrencySymbol() {
  const QLocale locale;
  const QString symbol = locale.currencySymbol(QLocale::CurrencySymbol);
  if (symbol == QString(QChar(0x20BD))) return Ansi("р.");
  if (As1251(symbol) == symbol) return FromQString(symbol);
  return FromQString(locale.currencySymbol(QLocale::CurrencyIsoCode));
}

// Puts a typed character into a freshly opened in-place editor.
void TypeInto(TMtTree& tree, char typed) {
  TEdit* edit = tree.InplaceEdit();
  if (typed == 0 || edit == nullptr || !tree.Editing()) return;
  edit->SetText(AnsiString(1, typed));
  edit->SetModified(true);
  edit->deselect();
  edit->end(false);
}

}  // namespace

TRaskladForm::TRaskladForm(TPlannerServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      menuTree_(std::make_unique<TMtTree>()),
      dayListTree_(std::make_unique<TMtTree>()),
      tripListTree_(std::make_unique<TMtTree>()),
      totalsTree_(std::make_unique<TMtTree>()),
      doc_(*menuTree_),
      views_(doc_) {
  setObjectName("RaskladForm");
  setAttribute(Qt::WA_DeleteOnClose);
  menuTree_->SetMultiSelect(false);
  editor_ = std::make_unique<TRationEditor>(doc_, views_, *services_.RefMenu, *services_.RefMenu, *services_.Prompt);
  // The finder keeps the last found item: it hears of every deletion.
  doc_.OnItemDeletion = [this](TObject*, TMtTreeItem* item) { finder_.ItemDeleted(item); };
  finder_.AddDishComponents = [this](TMtTreeItem* dish) { editor_->AddDishComponents(dish); };
  finder_.OnTotalsChanged = [this](TObject*) { editor_->UpdateTotals(); };
  CreateActions();
  CreateControls();
  ConnectEvents();
}

TRaskladForm::~TRaskladForm() {
  // The document goes first (its items are freed with their records); the views do not
  // outlive it.
  doc_.DocumentReady = 0;
  doc_.OnItemDeletion = nullptr;  // the finder goes before the document's items
  // The trees go before the tab control: no tab change reaches the views on the way; nor
  // does a focus or clipboard change reach the commands' states.
  disconnect(pcEat, nullptr, this, nullptr);
  disconnect(qApp, nullptr, this, nullptr);
  disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
  tvEatMenu->removeEventFilter(this);
  // The document frees its items with the editor gone: the ration tree's handlers stop here.
  tvEatMenu->OnItemFocused = nullptr;
  tvEatMenu->OnStartDrag = nullptr;
  tvEatMenu->OnEndDrag = nullptr;
  tvEatMenu->OnDragOver = nullptr;
  tvEatMenu->OnDragDrop = nullptr;
}

void TRaskladForm::CreateActions() {
  struct Def {
    const char* name;
    const char* caption;
    QKeySequence key;
    void (TRaskladForm::*run)();
  };
  // In the order of the ration tree's pop-up menu. Cut, copy, paste and find have the
  // frame's shortcuts (Ctrl+X, Ctrl+C, Ctrl+V, Ctrl+F, F3), which reach this window.
  const Def defs[] = {
      {"ItemAddProd", "Добавить продукт", QKeySequence("Ctrl+P"), &TRaskladForm::ItemAddProdExecute},
      {"ItemAddDish", "Добавить блюдо", QKeySequence("Ctrl+I"), &TRaskladForm::ItemAddDishExecute},
      {"ItemAddMeal", "Добавить трапезу", QKeySequence("Ctrl+M"), &TRaskladForm::ItemAddMealExecute},
      {"ItemAddDay", "Добавить день", QKeySequence("Ctrl+D"), &TRaskladForm::ItemAddDayExecute},
      {"ItemDel", "Удалить", QKeySequence(Qt::Key_Delete), &TRaskladForm::ItemDelExecute},
      {"ItemDelAll", "Удалить все", QKeySequence("Shift+Del"), &TRaskladForm::ItemDelAllExecute},
      {"ItemMoveUp", "Переместить вверх", QKeySequence(), &TRaskladForm::ItemMoveUpExecute},
      {"ItemMoveDown", "Переместить вниз", QKeySequence(), &TRaskladForm::ItemMoveDownExecute},
      {"ItemsEditCell", "Редактировать значение", QKeySequence(), &TRaskladForm::ItemsEditCellExecute},
      {"ItemCut", "Вырезать", QKeySequence(), &TRaskladForm::ItemCutExecute},
      {"ItemCopy", "Скопировать", QKeySequence(), &TRaskladForm::ItemCopyExecute},
      {"ItemPaste", "Вставить", QKeySequence(), &TRaskladForm::PasteItems},
      {"ItemFind", "Поиск / замена", QKeySequence(), &TRaskladForm::ItemFindExecute},
      {"ItemFindNext", "Найти следующий", QKeySequence(), &TRaskladForm::ItemFindNextExecute},
      {"RaskladToggleCmt", "Показать/скрыть комментарии", QKeySequence(), &TRaskladForm::RaskladToggleCmtExecute},
      {"RaskladProp", "Свойства раскладки", QKeySequence(), &TRaskladForm::RaskladPropExecute},
  };
  pmEatMenu = new QMenu(this);
  pmEatMenu->setObjectName("pmEatMenu");
  for (const Def& d : defs) {
    auto* a = new QAction(Q(d.caption), this);
    a->setObjectName(d.name);
    a->setShortcut(d.key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    const auto run = d.run;
    // A shortcut runs a command only when the pop-up menu would offer it now.
    connect(a, &QAction::triggered, this, [this, a, run] {
      UpdateActions();
      if (!a->isEnabled()) return;
      GuardedCall(nullptr, [this, run] { (this->*run)(); });
      UpdateActions();
    });
    addAction(a);
    pmEatMenu->addAction(a);
    if (run == &TRaskladForm::ItemsEditCellExecute || run == &TRaskladForm::PasteItems ||
        run == &TRaskladForm::ItemFindNextExecute)
      pmEatMenu->addSeparator();
  }
}

void TRaskladForm::UpdateActions() {
  const TRationCommands c = Commands();
  const std::pair<const char*, bool> enabled[] = {
      {"ItemAddProd", c.AddProd}, {"ItemAddDish", c.AddDish},   {"ItemAddMeal", c.AddMeal},
      {"ItemAddDay", c.AddDay},   {"ItemDel", c.Del},           {"ItemDelAll", c.DelAll},
      {"ItemMoveUp", c.MoveUp},   {"ItemMoveDown", c.MoveDown}, {"ItemsEditCell", c.EditCell},
      {"ItemCut", c.Cut},         {"ItemCopy", c.Copy},         {"ItemPaste", c.Paste},
      {"ItemFind", c.Find},       {"ItemFindNext", c.FindNext}, {"RaskladToggleCmt", true},
      {"RaskladProp", true}};
  for (const auto& [name, on] : enabled)
    if (auto* a = findChild<QAction*>(name, Qt::FindDirectChildrenOnly)) a->setEnabled(on);
}

void TRaskladForm::CreateControls() {
  // The section list beside the pages; LayOutPanes arranges them.
  ListView1 = new QListWidget(this);
  ListView1->setObjectName("ListView1");
  ListView1->addItem(Q("Общая информация"));
  ListView1->addItem(Q("Питание"));
  Notebook1 = new QStackedWidget(this);
  Notebook1->setObjectName("Notebook1");

  // Page "Gen".
  auto* gen = new QWidget;
  gen->setObjectName("Gen");
  auto* g = new QVBoxLayout(gen);
  auto labelled = [&](const char* label, QWidget* w) {
    g->addWidget(new QLabel(Q(label)));
    g->addWidget(w);
  };
  edTitle = new QLineEdit;
  edTitle->setObjectName("edTitle");
  edAuthor = new QLineEdit;
  edAuthor->setObjectName("edAuthor");
  auto* tourRow = new QWidget;
  auto* tr = new QHBoxLayout(tourRow);
  tr->setContentsMargins(0, 0, 0, 0);
  ceTour = new TComboEdit;
  ceTour->setObjectName("ceTour");
  ceTour->SetDirectInput(false);  // chosen in the kinds-of-trip pick-list only
  ceTour->SetGlyphKind(TGlyphKind::gkEllipsis);
  tr->addWidget(ceTour);
  auto* numbers = new QWidget;
  auto* nr = new QHBoxLayout(numbers);
  nr->setContentsMargins(0, 0, 0, 0);
  seMans = new QSpinBox;
  seMans->setObjectName("seMans");
  seMans->setRange(1, kRationMaxMans);
  seDays = new QSpinBox;
  seDays->setObjectName("seDays");
  seDays->setRange(0, kRationMaxDaysShown);
  nr->addWidget(new QLabel(Q("Участников:")));
  nr->addWidget(seMans);
  nr->addSpacing(20);
  nr->addWidget(new QLabel(Q("Дней:")));
  nr->addWidget(seDays);
  nr->addStretch(1);
  Memo1 = new QPlainTextEdit;
  Memo1->setObjectName("Memo1");
  labelled("Название похода", edTitle);
  labelled("Автор", edAuthor);
  labelled("Вид туризма", tourRow);
  g->addWidget(numbers);
  labelled("Описание", Memo1);
  Notebook1->addWidget(gen);

  // Page "Eat": the tabs above the totals grid; the menu tab holds the ration tree above
  // the comment memo.
  auto* eat = new QWidget;
  eat->setObjectName("Eat");
  pcEat = new QTabWidget(eat);
  pcEat->setObjectName("pcEat");
  auto* menuPage = new QWidget;
  tvEatMenu = menuTree_.get();
  tvEatMenu->setParent(menuPage);
  tvEatMenu->setObjectName("tvEatMenu");
  AddRationSections(*tvEatMenu);
  tvEatMenu->SetShowColumns(true);
  memCmt = new QPlainTextEdit(menuPage);
  memCmt->setObjectName("memCmt");
  pcEat->addTab(menuPage, Q("Меню по дням"));
  tabPages_[0] = menuPage;
  // The per-day list: the name is section 0, the number (column text 6) is shown first.
  tvDaysProdList = dayListTree_.get();
  tvDaysProdList->setObjectName("tvDaysProdList");
  AddTreeSections(*tvDaysProdList,
                  {{"Наименование", 260, false}, {"ККал.", 60}, {"Вес,г.", 60}, {"Белки,г.", 60}, {"Жиры,г.", 60},
                   {"Углев,г.", 60}, {"Вес на гр,кг.", 90}, {"", 80, false}},
                  {7, 0, 1, 2, 3, 4, 5, 6});
  tabPages_[1] = tvDaysProdList;
  pcEat->addTab(tvDaysProdList, Q("Раскладка по дням"));
  // The whole-trip list: the name is section 1; section 0 shows column text 0.
  tvTotProdList = tripListTree_.get();
  tvTotProdList->setObjectName("tvTotProdList");
  tvTotProdList->MainTreeColumn = 1;
  AddTreeSections(*tvTotProdList, {{"", 40}, {"Наименование", 260, false}, {"ККал.", 60}, {"Вес,г.", 60},
                                   {"Белки,г.", 60}, {"Жиры,г.", 60}, {"Углев.,г.", 60}, {"На чел.,кг.", 80},
                                   {"На группу,кг.", 90}, {"Ск-ко раз", 70}, {"Сумма", 80}});
  tvTotProdList->HeaderSections()->FindByNumber(kTripCostColumn + 1)->SetEditable(true);
  tvTotProdList->HeaderSections()->FindByNumber(kTripCostColumn + 1)->SetText(CostCaption(LocaleCurrencySymbol()));
  pcEat->addTab(tvTotProdList, Q("Раскладка по продуктам"));
  tabPages_[2] = tvTotProdList;
  memEatCmt = new QPlainTextEdit;
  memEatCmt->setObjectName("memEatCmt");
  memEatCmt->setReadOnly(true);
  memEatCmt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  pcEat->addTab(memEatCmt, Q("Рекомендации"));
  tabPages_[3] = memEatCmt;
  // The totals grid: section k shows column text k - 1; the ratio (column text 7) comes
  // before the cost (column text 6).
  static_assert(tcCost == 6 && tcRatio == 7);
  tvEatTotals = totalsTree_.get();
  tvEatTotals->setParent(eat);
  tvEatTotals->setObjectName("tvEatTotals");
  AddTreeSections(*tvEatTotals,
                  {{"ИТОГО", 260, false}, {"ККал.", 60}, {"Дефицит,ККал.", 100}, {"Вес, кг.", 70}, {"Белки,г.", 60},
                   {"Жиры,г.", 60}, {"Углев,г.", 60}, {"Сумма", 90}, {"Б/Ж/У", 110, false}},
                  {0, 1, 2, 3, 4, 5, 6, 8, 7});
  tvEatTotals->HeaderSections()->FindByNumber(tcCost + 1)->SetText(CostCaption(LocaleCurrencySymbol()));
  tvEatTotals->SetShowButtons(false);
  tvEatTotals->SetShowLines(false);
  for (const char* text : kTotalsRowTexts) totalsTree_->Items()->AddChild(nullptr, Ansi(text));
  Notebook1->addWidget(eat);
  LayOutPanes();
}

void TRaskladForm::ConnectEvents() {
  connect(ListView1, &QListWidget::currentRowChanged, this, [this](int row) { ShowSection(row); });
  connect(pcEat, &QTabWidget::currentChanged, this, [this] { ApplyTab(CurrentTab()); });
  auto edited = [this](auto apply) {
    return [this, apply] {
      if (applying_) return;
      apply();
      doc_.Modified = 1;
    };
  };
  connect(edTitle, &QLineEdit::textEdited, this, edited([this] {
            KeepAs1251(edTitle);
            doc_.Header.Title = FromQString(edTitle->text());
          }));
  connect(edAuthor, &QLineEdit::textEdited, this, edited([this] {
            KeepAs1251(edAuthor);
            doc_.Header.Author = FromQString(edAuthor->text());
          }));
  connect(Memo1, &QPlainTextEdit::textChanged, this, edited([this] {
            KeepAs1251(Memo1);
            doc_.Header.Description = FromQString(Memo1->toPlainText().replace("\n", "\r\n"));
          }));
  connect(seDays, &QSpinBox::editingFinished, this, [this] { GuardedCall(nullptr, [this] { seDaysExit(); }); });
  connect(seMans, &QSpinBox::editingFinished, this, [this] { GuardedCall(nullptr, [this] { seMansExit(); }); });
  // A number typed is a change at once; the document takes it when the field is left.
  for (QSpinBox* spin : {seMans, seDays})
    connect(spin, &QSpinBox::valueChanged, this, [this, spin] {
      if (applying_) return;
      (spin == seMans ? mansTyped_ : daysTyped_) = true;
      doc_.Modified = 1;
    });
  ceTour->OnButtonClick = [this](TObject*) { ceTourButtonClick(); };
  ceTour->OnKeyPress = [this](TObject*, char& key) { ceTourKeyPress(key); };
  connect(memCmt, &QPlainTextEdit::textChanged, this, [this] {
    TMtTreeItem* f = doc_.Tree().ItemFocused();
    if (applying_ || f == nullptr) return;
    KeepAs1251(memCmt);
    f->ColumnText().SetString(rcComment, FromQString(memCmt->toPlainText().replace("\n", "\r\n")));
    doc_.Modified = 1;
    tvEatMenu->Invalidate();
  });
  ConnectMenuTree();
  ConnectTripList();
  tvDaysProdList->OnHeaderColumnClick = [this](TObject*, int section) {
    if (SortDayListByColumn(*tvDaysProdList, section)) tvDaysProdList->Invalidate();
  };
}

void TRaskladForm::ConnectMenuTree() {
  TMtTree& tree = *tvEatMenu;
  tree.AutoLookup = false;  // typed characters go to the weight or the comment
  tree.OnItemFocused = [this](TObject*) {
    editor_->ItemFocused();
    ApplyComment();
    UpdateActions();
  };
  // The commands' states follow the focus and the clipboard, and are brought up to date
  // once more right before a key of the tree is matched against the shortcuts.
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget* from, QWidget* to) {
    if ((from != nullptr && isAncestorOf(from)) || (to != nullptr && isAncestorOf(to))) UpdateActions();
  });
  connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this] { UpdateActions(); });
  tree.installEventFilter(this);
  tree.OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState shift) {
    if (key == VK_SHIFT || (shift & ssShift)) dragMode_ = 2;  // Shift itself may come without its state
    TMtTreeItem* focused = doc_.Tree().ItemFocused();
    switch (key) {
      case VK_RETURN:
        if (focused == nullptr) break;
        if (focused->GetHasChildren()) focused->SetExpanded(!focused->GetExpanded());
        else StartVeightEdit();
        break;
      case VK_RIGHT: tvEatMenu->SelectColumn = std::min(tvEatMenu->SelectColumn + 1, 6); tvEatMenu->Invalidate(); break;
      case VK_LEFT: tvEatMenu->SelectColumn = std::max(tvEatMenu->SelectColumn - 1, 0); tvEatMenu->Invalidate(); break;
      case VK_F5: GuardedCall(nullptr, [this] { CopyItems(false); }); break;
      case VK_F6: GuardedCall(nullptr, [this] { PasteItems(); }); break;
      default: break;
    }
  };
  tree.OnKeyUp = [this](TObject*, std::uint16_t&, TShiftState) { dragMode_ = 1; };
  tree.OnKeyPress = [this](TObject*, char& key) {
    const auto code = static_cast<unsigned char>(key);
    TMtTreeItem* focused = doc_.Tree().ItemFocused();
    if (key >= '0' && key <= '9') {
      if (focused != nullptr) StartVeightEdit(key);
      key = 0;
    } else if ((key == ' ' || code > 191) && focused != nullptr && !memCmt->isHidden()) {
      memCmt->setFocus();
      memCmt->insertPlainText(ToQString(AnsiString(1, key)));
      key = 0;
    }
  };
  tree.OnTryEdit = [](TObject*, TMtTreeItem* item, TMtHeaderSection* section, TFieldTypes&, bool& canEdit) {
    canEdit = section != nullptr && section->GetIndex() == kRationVeightSection && TRationEditor::CanEditVeight(item);
  };
  tree.OnTuneUpInplaceEdit = [this](TObject*, TMtTreeItem*, int, TEdit* editor) {
    CommitEditOnArrows(*tvEatMenu, editor);
  };
  tree.setContextMenuPolicy(Qt::CustomContextMenu);
  connect(&tree, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
    UpdateActions();
    pmEatMenu->popup(tvEatMenu->mapToGlobal(at));
  });
  tree.OnValidateInplaceEdit = [this](TObject*, TMtTreeItem* item, TMtHeaderSection*, AnsiString& text,
                                      bool& accept) {
    if (!accept) return;
    GuardedCall(nullptr, [&] {
      editor_->ValidateVeight(item, text);
      AfterCommand();
    });
  };
  tree.OnHeaderColumnClick = [this](TObject*, int section) {
    if (SortRationTreeByColumn(doc_, section)) AfterCommand();
  };
  // Dragging: a ration tree's item onto another ration tree's item (of this window or of
  // another one), carried out by the document logic.
  tree.DragAllowed = true;
  tree.OnStartDrag = [this](TObject*) { doc_.DragSource = doc_.Tree().ItemFocused(); };
  tree.OnEndDrag = [this](TObject*, TObject*, int, int) {
    doc_.DragSource = nullptr;
    dragMode_ = 1;
  };
  tree.OnDragOver = [this](TObject*, TObject* source, int, int y, TDragState, bool& accept) {
    TRaskladForm* from = FindRaskladForm(source);
    accept = from != nullptr && dynamic_cast<TWinControl*>(from->tvEatMenu) == source &&
             CanDropOn(from->doc_.DragSource, tvEatMenu->GetItemAtY(y));
  };
  tree.OnDragDrop = [this](TObject*, TObject* source, int, int) {
    TRaskladForm* from = FindRaskladForm(source);
    TMtTreeItem* target = tvEatMenu->DropTarget();
    if (from == nullptr || !CanDropOn(from->doc_.DragSource, target)) return;
    GuardedCall(nullptr, [&] {
      TRationEditor::Drop(*from->editor_, from->dragMode_, *editor_, target);
      if (from != this) from->ApplyDocumentState();
      ApplyDocumentState();
    });
  };
}

void TRaskladForm::ConnectTripList() {
  TMtTree& tree = *tvTotProdList;
  static constexpr int costSection = kTripCostColumn + 1;
  tree.AutoLookup = false;
  // The selected column: the cost's at first, so that Enter edits it; Left and Right move
  // it, a click selects any other column (the cost is edited through Enter or a digit).
  tree.SelectColumn = costSection;
  tree.OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState) {
    switch (key) {
      case VK_RETURN:
        if (tvTotProdList->SelectColumn == costSection) StartCostEdit();
        break;
      case VK_LEFT: case VK_RIGHT: SelectTripColumn(key == VK_RIGHT ? +1 : -1); break;
      default: break;
    }
  };
  tree.OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) {
    int section = -1, part = 0;
    tvTotProdList->GetItemAt(x, y, section, part);
    if (section >= 0 && section < costSection) {
      tvTotProdList->SelectColumn = section;
      tvTotProdList->Invalidate();
    }
  };
  tree.OnKeyPress = [this](TObject*, char& key) {
    if (key < '0' || key > '9') return;
    StartCostEdit(key);
    key = 0;
  };
  tree.OnHeaderColumnClick = [this](TObject*, int section) {
    if (SortTripListByColumn(*tvTotProdList, views_.TripList, section)) tvTotProdList->Invalidate();
  };
  tree.OnTryEdit = [](TObject*, TMtTreeItem*, TMtHeaderSection* section, TFieldTypes&, bool& canEdit) {
    canEdit = section != nullptr && section->GetIndex() == costSection;
  };
  tree.OnTuneUpInplaceEdit = [this](TObject*, TMtTreeItem*, int, TEdit* editor) {
    CommitEditOnArrows(*tvTotProdList, editor);
  };
  tree.OnValidateInplaceEdit = [this](TObject*, TMtTreeItem* item, TMtHeaderSection*, AnsiString& text,
                                      bool& accept) {
    if (!accept) return;
    const int row = item->GetIndex();
    accept = CommitCost(row, text);
    if (accept) text = views_.TripList[static_cast<std::size_t>(row)].Columns[kTripCostColumn];
  };
}

// ---------------------------------------------------------------------------------

int TRaskladForm::Open(const AnsiString& FileName) {
  if (FileName.empty()) {
    doc_.Caption = NextUntitledCaption();
    editor_->NewRation(services_.Defaults);
  } else {
    doc_.DocumentReady = 0;
    const TRationLoadResult r = LoadRationFromFile(doc_, FileName, services_.Defaults.Limits, *services_.Messages);
    if (r != rlOk) return r;
    doc_.SetRecalcFlags();
    editor_->UpdateTotals();
  }
  setWindowTitle(ToQString(doc_.Caption));
  ListView1->setCurrentRow(0);
  ApplyDocumentState();
  edTitle->setFocus();
  return 0;
}

void TRaskladForm::CommitGeneralPage() {
  if (mansTyped_) seMansExit();
  if (daysTyped_) seDaysExit();
}

bool TRaskladForm::Save(const AnsiString& FileName, const AnsiString& Seed) {
  // A save from a number field that was not left (Ctrl+S there) writes what it shows.
  CommitGeneralPage();
  AnsiString name = FileName.empty() ? doc_.FileName : FileName;
  if (name.empty()) {
    name = Seed;
    if (!OnAskSaveName || !OnAskSaveName(this, name) || name.empty()) return false;
  }
  const bool ok = SaveRationToFile(doc_, name, services_.CreateBakFiles, *services_.Messages);
  if (OnSaved) OnSaved(name);
  setWindowTitle(ToQString(doc_.Caption));
  return ok;
}

bool TRaskladForm::CloseQuery() {
  // An untitled document is offered under its caption.
  return QueryCloseRation(doc_, *services_.Prompt, [this] { return Save(AnsiString(), doc_.Caption); });
}

bool TRaskladForm::eventFilter(QObject* watched, QEvent* e) {
  if (watched == tvEatMenu && e->type() == QEvent::ShortcutOverride) UpdateActions();
  return QWidget::eventFilter(watched, e);
}

void TRaskladForm::closeEvent(QCloseEvent* e) {
  bool close = true;
  GuardedCall(nullptr, [&] { close = CloseQuery(); });
  if (!close) {
    e->ignore();
    return;
  }
  doc_.DocumentReady = 0;
  if (OnClosing) GuardedCall(nullptr, [this] { OnClosing(); });
  e->accept();
}

// The tree has the focus, or is the control that gets it back when its window is active
// again (a dialog of the program or another program's window is in front).
bool TRaskladForm::TreeFocused() const {
  return tvEatMenu->Focused() || tvEatMenu->Editing() || tvEatMenu->window()->focusWidget() == tvEatMenu;
}

namespace {

// The clipboard's text as a ration fragment: names and comments go into the document,
// which keeps code page 1251, so what it lacks is taken as the fields show it (As1251).
AnsiString ClipboardFragment() { return FromQString(As1251(QGuiApplication::clipboard()->text())); }

}  // namespace

TRationCommands TRaskladForm::Commands() const {
  const AnsiString clip = ClipboardFragment();
  const TFindDlg* find = services_.FindDlg;
  const AnsiString findValue =
      find != nullptr && find->Model().HasCheckedCondition() ? find->Model().CondValue() : AnsiString();
  return editor_->Commands(TreeFocused(), clip, findValue);
}

void TRaskladForm::ItemFindExecute() {
  if (services_.FindDlg == nullptr) return;
  TReplaceConfirmDlg confirm;
  ::ItemFindExecute(*services_.FindDlg, finder_, confirm);
  AfterCommand();
}

void TRaskladForm::ItemFindNextExecute() {
  if (services_.FindDlg == nullptr || !services_.FindDlg->Model().HasCheckedCondition()) return;
  TReplaceConfirmDlg confirm;
  finder_.Condition = services_.FindDlg->Model().Condition();
  ::ItemFindNextExecute(finder_, confirm);
  AfterCommand();
}

// Every command ends here: the totals are recomputed whatever the command changed (they
// are cheap), so that no view outlives the document state it shows.
void TRaskladForm::AfterCommand() {
  editor_->UpdateTotals();
  ApplyDocumentState();
}

void TRaskladForm::ItemAddDayExecute() {
  TMtTreeItem* day = editor_->ItemAddDay();
  // A new day below the last visible line becomes the first visible line.
  if (day != nullptr && tvEatMenu->RowOf(day) >= tvEatMenu->TopIndex() + tvEatMenu->RowsPerPage())
    tvEatMenu->SetTopItem(day);
  AfterCommand();
}
void TRaskladForm::ItemAddMealExecute() {
  editor_->ItemAddMeal();
  AfterCommand();
}
void TRaskladForm::ItemAddDishExecute() {
  editor_->ItemAddDish();
  AfterCommand();
}
void TRaskladForm::ItemAddProdExecute() {
  editor_->ItemAddProd();
  AfterCommand();
}
void TRaskladForm::ItemDelExecute() {
  editor_->ItemDel();
  AfterCommand();
}
void TRaskladForm::ItemDelAllExecute() {
  editor_->ItemDelAll();
  AfterCommand();
}
void TRaskladForm::ItemMoveUpExecute() {
  editor_->ItemMoveUp();
  AfterCommand();
}
void TRaskladForm::ItemMoveDownExecute() {
  editor_->ItemMoveDown();
  AfterCommand();
}
void TRaskladForm::ItemsEditCellExecute() {
  if (tvEatMenu->Editing()) tvEatMenu->EndEdit(false);
  else StartVeightEdit();
}

void TRaskladForm::ItemCutExecute() { CopyItems(true); }
void TRaskladForm::ItemCopyExecute() { CopyItems(false); }

void TRaskladForm::RaskladPropExecute() {
  if (services_.RaskladProp) services_.RaskladProp(*this);
}

void TRaskladForm::CopyItems(bool Cut) {
  const AnsiString text = editor_->CopyItems(Cut);
  if (!text.empty()) QGuiApplication::clipboard()->setText(ToQString(text));
  if (Cut) AfterCommand();
}

void TRaskladForm::PasteItems() {
  editor_->PasteItems(ClipboardFragment());
  AfterCommand();
}

void TRaskladForm::RaskladToggleCmtExecute() {
  const bool show = memCmt->isHidden();
  memCmt->setVisible(show);
  // The memo's bar goes with it and comes back right above it.
  if (show) PaneSplitter3->move(PaneSplitter3->x(), memCmt->y() - PaneSplitter3->height());
  PaneSplitter3->setVisible(show);
  FitPanes();
}

bool TRaskladForm::CommitVeight(const AnsiString& typed) {
  TMtTreeItem* item = doc_.Tree().ItemFocused();
  if (item == nullptr) return false;
  AnsiString text = typed;
  const bool changed = editor_->ValidateVeight(item, text);
  AfterCommand();
  return changed;
}

bool TRaskladForm::CommitCost(int row, const AnsiString& typed) {
  if (!views_.SetCost(row, typed)) return false;
  TMtTreeItem* item = tripListTree_->Items()->Root()->GetChildren(row);
  if (item != nullptr) item->ColumnText().SetString(kTripCostColumn, views_.TripList[static_cast<std::size_t>(row)].Columns[kTripCostColumn]);
  tvTotProdList->Invalidate();
  ApplyTotals();
  return true;
}

void TRaskladForm::seDaysExit() {
  if (applying_ || committingNumber_) return;
  const TFlagScope committing(committingNumber_);
  daysTyped_ = false;
  editor_->SetDays(seDays->value());
  AfterCommand();
}

void TRaskladForm::seMansExit() {
  if (applying_ || committingNumber_) return;
  const TFlagScope committing(committingNumber_);
  mansTyped_ = false;
  editor_->SetMans(seMans->value());
  AfterCommand();
}

void TRaskladForm::ceTourKeyPress(char& key) {
  // The field takes no typing: a digit or a letter opens the pick-list.
  const bool opens = TOptionsModel::TourKeyOpensPick(static_cast<unsigned char>(key));
  key = 0;
  if (opens) GuardedCall(nullptr, [this] { ceTourButtonClick(); });
}

void TRaskladForm::ceTourButtonClick() {
  editor_->PickTourName();
  AfterCommand();
}

void TRaskladForm::StartVeightEdit(char typed) {
  TMtTreeItem* item = doc_.Tree().ItemFocused();
  if (!TRationEditor::CanEditVeight(item)) return;
  tvEatMenu->EditItem(item, kRationVeightSection);
  TypeInto(*tvEatMenu, typed);
}

void TRaskladForm::SelectTripColumn(int direction) {
  TMtHeaderSections* sections = tvTotProdList->HeaderSections();
  for (int n = tvTotProdList->SelectColumn + direction; n >= 0 && n <= kTripCostColumn + 1; n += direction) {
    const TMtHeaderSection* s = sections->FindByNumber(n);
    if (s != nullptr && s->Visible()) {
      tvTotProdList->SelectColumn = n;
      tvTotProdList->Invalidate();
      return;
    }
  }
}

void TRaskladForm::StartCostEdit(char typed) {
  TMtTreeItem* item = tripListTree_->ItemFocused();
  if (item == nullptr) return;
  tvTotProdList->EditItem(item, kTripCostColumn + 1);
  TypeInto(*tvTotProdList, typed);
}

// ---------------------------------------------------------------------------------

void TRaskladForm::ShowSection(int index) {
  if (index < 0 || index > 1) return;
  if (ListView1->currentRow() != index) ListView1->setCurrentRow(index);
  Notebook1->setCurrentIndex(index);
  if (index == 0) edTitle->setFocus();
  if (index == 1) ApplyTab(CurrentTab());
}

int TRaskladForm::CurrentTab() const {
  for (int t = 0; t < 4; ++t)
    if (pcEat->currentWidget() == tabPages_[t]) return t;
  return -1;
}

void TRaskladForm::ShowTab(int tab) {
  ShowSection(1);
  if (tab < 0 || tab > 3 || pcEat->indexOf(tabPages_[tab]) < 0) return;
  pcEat->setCurrentWidget(tabPages_[tab]);
  ApplyTab(tab);
}

void TRaskladForm::ApplyTab(int tab) {
  if (tab < 0 || tab > 3) return;
  if (views_.ShowTab(kTabs[tab])) FillTab(tab);
}

void TRaskladForm::FillTab(int tab) {
  if (tab < 0 || tab > 3) return;
  switch (kTabs[tab]) {
    case TRationTab::Menu: tvEatMenu->Invalidate(); break;
    case TRationTab::DayList: FillList(tvDaysProdList, views_.DayList); break;
    case TRationTab::TripList:
      FillList(tvTotProdList, views_.TripList);
      UpdateCostTotals(doc_, views_.TripList, views_.Totals);
      ApplyTotals();
      break;
    case TRationTab::Recommendations: {
      QString text;
      for (const AnsiString& line : views_.Recommendations.Lines()) text += ToQString(line) + "\n";
      memEatCmt->setPlainText(text);
      break;
    }
  }
}

void TRaskladForm::FillList(TMtTree* view, const TProductListRows& rows) {
  TCustomMtTree& tree = *view;
  {
    TMtUpdateBracket bracket(&tree);
    tree.Items()->Clear();
    TMtTreeItem* top = nullptr;
    for (const TProductListRow& row : rows) {
      TMtTreeItem* item = tree.Items()->AddChild(row.Level == 0 ? nullptr : top, row.Text);
      for (const AnsiString& c : row.Columns) item->ColumnText().Add(c);
      if (row.Bold) item->SetState(isBold, true);
      if (row.TextColor != clNone) {
        item->SetParentColors(false);
        item->SetColor(row.TextColor);
        item->SetBkColor(view->BkColor);
      }
      if (row.Level == 0) top = item;
    }
    TMtTreeItem* r = tree.Items()->Root();
    std::size_t k = 0;
    for (int i = 0; i < r->GetChildrenCount(); ++i) {
      while (k < rows.size() && rows[k].Level != 0) ++k;
      if (k < rows.size() && rows[k].Expanded) r->GetChildren(i)->SetExpanded(true);
      ++k;
    }
  }
  view->Invalidate();
}

void TRaskladForm::ApplyTotals() {
  TMtTreeItem* root = totalsTree_->Items()->Root();
  for (int r = 0; r < kTotalsRowCount && r < root->GetChildrenCount(); ++r) {
    TStringList& texts = root->GetChildren(r)->ColumnText();
    texts.Clear();
    for (const AnsiString& c : views_.Totals.Cells[static_cast<std::size_t>(r)]) texts.Add(c);
  }
  tvEatTotals->HeaderSections()->FindByNumber(0)->SetText(views_.Totals.Caption);
  tvEatTotals->Invalidate();
}

void TRaskladForm::ApplyComment() {
  applying_ = true;
  TMtTreeItem* f = doc_.Tree().ItemFocused();
  memCmt->setEnabled(f != nullptr);
  memCmt->setPlainText(f != nullptr && f->ColumnText().Count() > rcComment
                           ? ToQString(f->ColumnText()[rcComment]).replace("\r\n", "\n")
                           : QString());
  applying_ = false;
}

void TRaskladForm::ApplyTree() {
  for (TMtTree* tree : {tvEatMenu, tvDaysProdList, tvTotProdList})
    if (tree->BkColor != doc_.Color) {
      tree->BkColor = doc_.Color;
      // Rows in colours of their own keep the list's background.
      TMtTreeItems* items = tree == tvTotProdList ? tree->Items() : nullptr;
      for (TMtTreeItem* i = items ? items->GetItem(0) : nullptr; i != nullptr; i = i->GetNext())
        if (!i->ParentColors()) i->SetBkColor(doc_.Color);
      tree->Invalidate();
    }
  QPalette memo = memEatCmt->palette();
  memo.setColor(QPalette::Base, ToQColor(doc_.Color));
  memEatCmt->setPalette(memo);
  const bool showDayList = doc_.DayListPageVisible();
  const int dayIndex = pcEat->indexOf(tabPages_[1]);
  if (showDayList && dayIndex < 0) pcEat->insertTab(1, tabPages_[1], Q("Раскладка по дням"));
  if (!showDayList && dayIndex >= 0) {
    // Hidden while shown: the menu takes its place, not the page that follows it.
    if (pcEat->currentIndex() == dayIndex) pcEat->setCurrentWidget(tabPages_[0]);
    pcEat->removeTab(dayIndex);
  }
  tvEatMenu->Invalidate();
}

void TRaskladForm::ApplyDocumentState() {
  applying_ = true;
  const TRationHeader& h = doc_.Header;
  if (FromQString(edTitle->text()) != h.Title) edTitle->setText(ToQString(h.Title));
  if (FromQString(edAuthor->text()) != h.Author) edAuthor->setText(ToQString(h.Author));
  ceTour->setText(ToQString(h.TourName));
  seMans->setValue(doc_.Mans);
  seDays->setValue(doc_.Days);
  const QString description = ToQString(h.Description).replace("\r\n", "\n");
  if (Memo1->toPlainText() != description) Memo1->setPlainText(description);
  setWindowTitle(ToQString(doc_.Caption));
  applying_ = false;
  ApplyTree();
  ApplyTotals();
  ApplyComment();
  if (Notebook1->currentIndex() == 1) ApplyTab(CurrentTab());
  UpdateActions();
}
