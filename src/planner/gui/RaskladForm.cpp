#include "planner/gui/RaskladForm.h"

#include <QAction>
#include <QClipboard>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "planner/gui/FrmFind.h"
#include "planner/gui/RowTreeView.h"
#include "planner/ration/RationClip.h"
#include "planner/ration/RationFile.h"
#include "planner/reference/RefMenu.h"
#include "platform/core/Files.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

std::vector<TRowColumn> MenuColumns() {
  std::vector<TRowColumn> cols;
  const int widths[kRationSectionCount] = {260, 60, 60, 60, 60, 60, 120, 90, 200};
  for (int i = 0; i < kRationSectionCount; ++i) {
    const int s = kRationSectionOrder[i];
    cols.push_back({RationSectionCaption(s), kRationSections[s].ColumnText, widths[i], s > 0 && s < 7});
  }
  return cols;
}

std::vector<TRowColumn> Columns(std::initializer_list<std::tuple<const char*, int, int, bool>> defs) {
  std::vector<TRowColumn> cols;
  for (const auto& [caption, index, width, right] : defs) cols.push_back({Ansi(caption), index, width, right});
  return cols;
}

constexpr TRationTab kTabs[4] = {TRationTab::Menu, TRationTab::DayList, TRationTab::TripList,
                                 TRationTab::Recommendations};

// The commit of a cell edit runs once, whether by Enter or by leaving the editor.
class TCellEditor : public QLineEdit {
 public:
  std::function<bool(const QString&)> OnCommit;  // true: the edit ends
  std::function<void()> OnEnd;
  using QLineEdit::QLineEdit;

 protected:
  void keyPressEvent(QKeyEvent* e) override {
    if (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) {
      if (OnCommit && OnCommit(text())) End();
      return;
    }
    if (e->key() == Qt::Key_Escape) {
      End();
      return;
    }
    QLineEdit::keyPressEvent(e);
  }
  void focusOutEvent(QFocusEvent* e) override {
    QLineEdit::focusOutEvent(e);
    if (!ended_ && OnCommit) OnCommit(text());
    End();
  }

 private:
  void End() {
    if (ended_) return;
    ended_ = true;
    if (OnEnd) OnEnd();
    hide();
    deleteLater();
  }
  bool ended_ = false;
};

}  // namespace

TRaskladForm::TRaskladForm(TPlannerServices& services, QWidget* parent)
    : QWidget(parent),
      services_(services),
      menuTree_(std::make_unique<TCustomMtTree>()),
      dayListTree_(std::make_unique<TCustomMtTree>()),
      tripListTree_(std::make_unique<TCustomMtTree>()),
      totalsTree_(std::make_unique<TCustomMtTree>()),
      doc_(*menuTree_),
      views_(doc_) {
  setObjectName("RaskladForm");
  setAttribute(Qt::WA_DeleteOnClose);
  menuTree_->SetMultiSelect(false);
  editor_ = std::make_unique<TRationEditor>(doc_, views_, *services_.RefMenu, *services_.RefMenu, *services_.Prompt);
  // The finder keeps the last found item: it hears of every deletion.
  doc_.OnItemDeletion = [this](TObject*, TMtTreeItem* item) { finder_.ItemDeleted(item); };
  finder_.AddDishComponents = [this](TMtTreeItem* dish) { editor_->AddDishComponents(dish); };
  CreateActions();
  CreateControls();
  ConnectEvents();
}

TRaskladForm::~TRaskladForm() {
  // The document goes first (its items are freed with their records); the views do not
  // outlive it.
  doc_.DocumentReady = 0;
  doc_.OnItemDeletion = nullptr;  // the finder goes before the document's items
}

void TRaskladForm::CreateActions() {
  struct Def {
    const char* name;
    const char* caption;
    QKeySequence key;
    void (TRaskladForm::*run)();
  };
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
      {"RaskladToggleCmt", "Показать/скрыть комментарии", QKeySequence(), &TRaskladForm::RaskladToggleCmtExecute},
  };
  for (const Def& d : defs) {
    auto* a = new QAction(Q(d.caption), this);
    a->setObjectName(d.name);
    a->setShortcut(d.key);
    a->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    const auto run = d.run;
    connect(a, &QAction::triggered, this, [this, run] { GuardedCall(nullptr, [this, run] { (this->*run)(); }); });
    addAction(a);
  }
}

void TRaskladForm::CreateControls() {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* split = new QSplitter(Qt::Horizontal, this);
  layout->addWidget(split);

  ListView1 = new QListWidget(split);
  ListView1->setObjectName("ListView1");
  ListView1->addItem(Q("Общая информация"));
  ListView1->addItem(Q("Питание"));
  ListView1->setMaximumWidth(150);
  Notebook1 = new QStackedWidget(split);
  Notebook1->setObjectName("Notebook1");
  split->setStretchFactor(1, 1);
  split->setSizes({130, 1000});

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
  ceTour = new QLineEdit;
  ceTour->setObjectName("ceTour");
  ceTour->setReadOnly(true);
  ceTourButton = new QToolButton;
  ceTourButton->setObjectName("ceTourButton");
  ceTourButton->setText("...");
  tr->addWidget(ceTour);
  tr->addWidget(ceTourButton);
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

  // Page "Eat".
  auto* eat = new QSplitter(Qt::Vertical);
  eat->setObjectName("Eat");
  pcEat = new QTabWidget(eat);
  pcEat->setObjectName("pcEat");
  auto* menuPage = new QSplitter(Qt::Vertical);
  tvEatMenu = new TRowTreeView(*menuTree_, menuPage);
  tvEatMenu->setObjectName("tvEatMenu");
  tvEatMenu->SetColumns(MenuColumns());
  memCmt = new QPlainTextEdit(menuPage);
  memCmt->setObjectName("memCmt");
  memCmt->setMaximumHeight(80);
  pcEat->addTab(menuPage, Q("Меню по дням"));
  tabPages_[0] = menuPage;
  tvDaysProdList = new TRowTreeView(*dayListTree_);
  tvDaysProdList->setObjectName("tvDaysProdList");
  tvDaysProdList->SetColumns(Columns({{"", 6, 80, false}, {"Наименование", -1, 260, false}, {"ККал.", 0, 60, true},
                                      {"Вес,г.", 1, 60, true}, {"Белки,г.", 2, 60, true}, {"Жиры,г.", 3, 60, true},
                                      {"Углев,г.", 4, 60, true}, {"Вес на гр,кг.", 5, 90, true}}));
  tabPages_[1] = tvDaysProdList;
  pcEat->addTab(tvDaysProdList, Q("Раскладка по дням"));
  tvTotProdList = new TRowTreeView(*tripListTree_);
  tvTotProdList->setObjectName("tvTotProdList");
  tvTotProdList->SetColumns(Columns({{"", 0, 40, true}, {"Наименование", -1, 260, false}, {"ККал.", 1, 60, true},
                                     {"Вес,г.", 2, 60, true}, {"Белки,г.", 3, 60, true}, {"Жиры,г.", 4, 60, true},
                                     {"Углев.,г.", 5, 60, true}, {"На чел.,кг.", 6, 80, true},
                                     {"На группу,кг.", 7, 90, true}, {"Ск-ко раз", 8, 70, true},
                                     {"Сумма", 9, 80, true}}));
  pcEat->addTab(tvTotProdList, Q("Раскладка по продуктам"));
  tabPages_[2] = tvTotProdList;
  memEatCmt = new QPlainTextEdit;
  memEatCmt->setObjectName("memEatCmt");
  memEatCmt->setReadOnly(true);
  memEatCmt->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  pcEat->addTab(memEatCmt, Q("Рекомендации"));
  tabPages_[3] = memEatCmt;
  tvEatTotals = new TRowTreeView(*totalsTree_, eat);
  tvEatTotals->setObjectName("tvEatTotals");
  tvEatTotals->SetColumns(Columns({{"ИТОГО", -1, 260, false}, {"ККал.", tcEnergy, 60, true},
                                   {"Дефицит,ККал.", tcDeficit, 100, true}, {"Вес, кг.", tcVeight, 70, true},
                                   {"Белки,г.", tcProtein, 60, true}, {"Жиры,г.", tcFat, 60, true},
                                   {"Углев,г.", tcCarb, 60, true}, {"Б/Ж/У", tcRatio, 110, false},
                                   {"Сумма", tcCost, 90, true}}));
  tvEatTotals->SetHeaderCaption(8, Format(Ansi("Сумма, %s"), {Ansi("руб.")}));
  eat->setStretchFactor(0, 1);
  tvEatTotals->setMinimumHeight(tvEatTotals->HeaderHeight() + 5 * tvEatTotals->RowHeight() + 6 +
                                 tvEatTotals->horizontalScrollBar()->sizeHint().height());
  eat->setSizes({400, tvEatTotals->minimumHeight()});
  for (const char* text : kTotalsRowTexts) totalsTree_->Items()->AddChild(nullptr, Ansi(text));
  Notebook1->addWidget(eat);
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
  connect(edTitle, &QLineEdit::textEdited, this, edited([this] { doc_.Header.Title = FromQString(edTitle->text()); }));
  connect(edAuthor, &QLineEdit::textEdited, this, edited([this] { doc_.Header.Author = FromQString(edAuthor->text()); }));
  connect(Memo1, &QPlainTextEdit::textChanged, this, edited([this] {
            doc_.Header.Description = FromQString(Memo1->toPlainText().replace("\n", "\r\n"));
          }));
  connect(seDays, &QSpinBox::editingFinished, this, [this] { GuardedCall(nullptr, [this] { seDaysExit(); }); });
  connect(seMans, &QSpinBox::editingFinished, this, [this] { GuardedCall(nullptr, [this] { seMansExit(); }); });
  connect(ceTourButton, &QToolButton::clicked, this, [this] { GuardedCall(nullptr, [this] { ceTourButtonClick(); }); });
  connect(memCmt, &QPlainTextEdit::textChanged, this, [this] {
    TMtTreeItem* f = doc_.Tree().ItemFocused();
    if (applying_ || f == nullptr) return;
    f->ColumnText().SetString(rcComment, FromQString(memCmt->toPlainText().replace("\n", "\r\n")));
    doc_.Modified = 1;
    tvEatMenu->Refresh();
  });
  tvEatMenu->OnFocusChange = [this] {
    editor_->ItemFocused();
    doc_.DragSource = doc_.Tree().ItemFocused();  // what a drag from here carries
    ApplyComment();
  };
  tvEatMenu->OnActivate = [this](TMtTreeItem* item) {
    if (item->GetHasChildren()) {
      item->SetExpanded(!item->GetExpanded());
      tvEatMenu->Refresh();
    } else {
      StartVeightEdit(QString());
    }
  };
  tvEatMenu->OnKey = [this](QKeyEvent* e) { return MenuKey(e); };
  tvEatMenu->OnCanDrop = [](TRowTreeView* source, TMtTreeItem* target) {
    // Only the ration tree of a ration window is a drag source.
    for (QWidget* w = source; w != nullptr; w = w->parentWidget())
      if (auto* f = dynamic_cast<TRaskladForm*>(w)) return f->MenuView() == source && CanDropOn(f->Doc().DragSource, target);
    return false;
  };
  tvEatMenu->OnDrop = [this](TRowTreeView* source, TMtTreeItem* target, bool move) {
    for (QWidget* w = source; w != nullptr; w = w->parentWidget())
      if (auto* f = dynamic_cast<TRaskladForm*>(w)) {
        TRationEditor::Drop(f->Editor(), move ? 2 : 1, *editor_, target);
        f->ApplyDocumentState();
        ApplyDocumentState();
        return;
      }
  };
  tvTotProdList->OnActivate = [this](TMtTreeItem*) { StartCostEdit(QString()); };
  tvTotProdList->OnKey = [this](QKeyEvent* e) {
    if (!e->text().isEmpty() && e->text()[0].isDigit()) {
      StartCostEdit(e->text());
      return true;
    }
    return false;
  };
}

bool TRaskladForm::MenuKey(QKeyEvent* e) {
  if (e->key() == Qt::Key_F5) {
    CopyItems(false);
    return true;
  }
  if (e->key() == Qt::Key_F6) {
    PasteItems();
    return true;
  }
  const QString t = e->text();
  if (!t.isEmpty() && t[0].isDigit() && e->modifiers() == Qt::NoModifier) {
    if (TRationEditor::CanEditVeight(doc_.Tree().ItemFocused())) StartVeightEdit(t);
    return true;
  }
  if (!t.isEmpty() && (t[0] == ' ' || t[0].unicode() >= 0x0400) && !memCmt->isHidden() &&
      doc_.Tree().ItemFocused() != nullptr) {
    memCmt->setFocus();
    memCmt->insertPlainText(t);
    return true;
  }
  return false;
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

bool TRaskladForm::Save(const AnsiString& FileName) {
  AnsiString name = FileName.empty() ? doc_.FileName : FileName;
  if (name.empty()) {
    if (!OnAskSaveName || !OnAskSaveName(this, name) || name.empty()) return false;
  }
  const bool ok = SaveRationToFile(doc_, name, services_.CreateBakFiles, *services_.Messages);
  if (OnSaved) OnSaved(name);
  setWindowTitle(ToQString(doc_.Caption));
  return ok;
}

bool TRaskladForm::CloseQuery() {
  return QueryCloseRation(doc_, *services_.Prompt, [this] { return Save(AnsiString()); });
}

void TRaskladForm::closeEvent(QCloseEvent* e) {
  bool close = true;
  GuardedCall(nullptr, [&] { close = CloseQuery(); });
  if (!close) {
    e->ignore();
    return;
  }
  doc_.DocumentReady = 0;
  e->accept();
}

bool TRaskladForm::TreeFocused() const { return tvEatMenu->hasFocus(); }

TRationCommands TRaskladForm::Commands() const {
  const AnsiString clip = FromQString(QGuiApplication::clipboard()->text());
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

void TRaskladForm::AfterCommand() { ApplyDocumentState(); }

void TRaskladForm::ItemAddDayExecute() {
  editor_->ItemAddDay();
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
void TRaskladForm::ItemsEditCellExecute() { StartVeightEdit(QString()); }

void TRaskladForm::CopyItems(bool Cut) {
  const AnsiString text = editor_->CopyItems(Cut);
  if (!text.empty()) QGuiApplication::clipboard()->setText(ToQString(text));
  if (Cut) AfterCommand();
}

void TRaskladForm::PasteItems() {
  editor_->PasteItems(FromQString(QGuiApplication::clipboard()->text()));
  AfterCommand();
}

void TRaskladForm::RaskladToggleCmtExecute() { memCmt->setVisible(memCmt->isHidden()); }

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
  tvTotProdList->Refresh();
  ApplyTotals();
  return true;
}

void TRaskladForm::seDaysExit() {
  if (applying_) return;
  editor_->SetDays(seDays->value());
  AfterCommand();
}

void TRaskladForm::seMansExit() {
  if (applying_) return;
  editor_->SetMans(seMans->value());
  AfterCommand();
}

void TRaskladForm::ceTourButtonClick() {
  editor_->PickTourName();
  AfterCommand();
}

void TRaskladForm::StartVeightEdit(const QString& typed) {
  TMtTreeItem* item = doc_.Tree().ItemFocused();
  if (!TRationEditor::CanEditVeight(item)) return;
  const QRect row = tvEatMenu->RowRect(item);
  if (row.isEmpty()) return;
  const auto [x, w] = tvEatMenu->ColumnSpan(2);
  auto* ed = new TCellEditor(tvEatMenu->viewport());
  ed->setObjectName("VeightEditor");
  ed->setGeometry(x, row.top(), w, row.height());
  ed->setText(typed.isEmpty() ? ToQString(item->ColumnText()[rcVeight]) : typed);
  ed->OnCommit = [this](const QString& text) {
    GuardedCall(nullptr, [&] { CommitVeight(FromQString(text)); });
    return true;
  };
  ed->OnEnd = [this] {
    cellEditor_ = nullptr;
    tvEatMenu->setFocus();
  };
  cellEditor_ = ed;
  ed->show();
  ed->setFocus();
}

void TRaskladForm::StartCostEdit(const QString& typed) {
  TMtTreeItem* item = tripListTree_->ItemFocused();
  if (item == nullptr) return;
  const int row = item->GetIndex();
  const QRect r = tvTotProdList->RowRect(item);
  const auto [x, w] = tvTotProdList->ColumnSpan(10);
  auto* ed = new TCellEditor(tvTotProdList->viewport());
  ed->setObjectName("CostEditor");
  ed->setGeometry(x, r.top(), w, r.height());
  ed->setText(typed.isEmpty() ? ToQString(Trim(item->ColumnText()[kTripCostColumn])) : typed);
  ed->OnCommit = [this, row](const QString& text) { return CommitCost(row, FromQString(text)); };
  ed->OnEnd = [this] { cellEditor_ = nullptr; };
  cellEditor_ = ed;
  ed->show();
  ed->setFocus();
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
  if (!views_.ShowTab(kTabs[tab])) return;
  switch (kTabs[tab]) {
    case TRationTab::Menu: tvEatMenu->Refresh(); break;
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

void TRaskladForm::FillList(TRowTreeView* view, const TProductListRows& rows) {
  TCustomMtTree& tree = view->Model();
  {
    TMtUpdateBracket bracket(&tree);
    tree.Items()->Clear();
    TMtTreeItem* top = nullptr;
    for (const TProductListRow& row : rows) {
      TMtTreeItem* item = tree.Items()->AddChild(row.Level == 0 ? nullptr : top, row.Text);
      for (const AnsiString& c : row.Columns) item->ColumnText().Add(c);
      if (row.Bold) item->SetState(isBold, true);
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
  view->Refresh();
}

void TRaskladForm::ApplyTotals() {
  TMtTreeItem* root = totalsTree_->Items()->Root();
  for (int r = 0; r < kTotalsRowCount && r < root->GetChildrenCount(); ++r) {
    TStringList& texts = root->GetChildren(r)->ColumnText();
    texts.Clear();
    for (const AnsiString& c : views_.Totals.Cells[static_cast<std::size_t>(r)]) texts.Add(c);
  }
  tvEatTotals->SetHeaderCaption(0, views_.Totals.Caption);
  tvEatTotals->Refresh();
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
  tvEatMenu->SetRowColor(doc_.Color);
  tvDaysProdList->SetRowColor(doc_.Color);
  tvTotProdList->SetRowColor(doc_.Color);
  const bool showDayList = doc_.DayListPageVisible();
  const int dayIndex = pcEat->indexOf(tabPages_[1]);
  if (showDayList && dayIndex < 0) pcEat->insertTab(1, tabPages_[1], Q("Раскладка по дням"));
  if (!showDayList && dayIndex >= 0) pcEat->removeTab(dayIndex);
  tvEatMenu->Refresh();
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
}
