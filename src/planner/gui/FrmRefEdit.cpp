#include "planner/gui/FrmRefEdit.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "planner/gui/DialogHelp.h"
#include "planner/gui/RowTreeView.h"
#include "planner/ration/RationEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

TRefEditForm::TRefEditForm(const AnsiString& RefDir, TRationLimits& Limits, IUserPrompt& Prompt,
                           IRefPicker* PickList, QWidget* parent)
    : QDialog(parent), model_(std::make_unique<TRefEditModel>(RefDir, Limits, Prompt, PickList)) {
  setObjectName("RefEditForm");
  setWindowTitle(Q("Редактирование справочников"));
  model_->Create();
  CreateActions();
  CreateControls();
  ConnectEvents();
  for (int p = 0; p < kRefEditPageCount; ++p) RefreshView(p);
  UpdateActions();
}

TRefEditForm::~TRefEditForm() {
  // No handler runs while the window comes apart; the views go before the model's trees
  // they show.
  disconnect(PageControl1, nullptr, this, nullptr);
  editor_->removeEventFilter(this);
  editedItem_ = nullptr;
  for (TRowTreeView*& view : views_) {
    delete view;
    view = nullptr;
  }
}

void TRefEditForm::NewAction(const char* name, const char* caption, const char* hint,
                             void (TRefEditModel::*command)()) {
  auto* action = new QAction(Q(caption), this);
  action->setObjectName(name);
  action->setToolTip(Q(hint));
  action->setStatusTip(Q(hint));
  connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
  actions_.push_back(action);
}

void TRefEditForm::CreateActions() {
  NewAction("FileSave", "Сохранить", "Сохранить текущий справочник", &TRefEditModel::FileSave);
  NewAction("FileSaveAll", "Сохранить все", "Сохранить все справочники, подвергшиеся корректировке",
            &TRefEditModel::FileSaveAll);
  NewAction("FileClose", "Закрыть", "Закрыть окно редактирования справочников", nullptr);
  NewAction("ItemsAddMetaFolder", "Добавить раздел", "Добавить раздел верхнего уровня",
            &TRefEditModel::ItemsAddMetaFolder);
  NewAction("ItemsAddFolder", "Добавить подраздел", "Добавить подраздел", &TRefEditModel::ItemsAddFolder);
  NewAction("ItemsAddItem", "Добавить элемент", "Добавить обычный элемент", &TRefEditModel::ItemsAddItem);
  NewAction("ItemsAddComponent", "Добавить компонент", "Добавить компонент", &TRefEditModel::ItemsAddComponent);
  NewAction("ItemsDelete", "Удалить", "Удалить текущий элемент со всеми субэлементами", &TRefEditModel::ItemsDelete);
  NewAction("ItemsDeleteAll", "Удалить все", "Удалить из справочника все элементы", &TRefEditModel::ItemsDeleteAll);
  NewAction("ItemsMoveUp", "Переместить вверх", "Переместить текущий элемент вверх", &TRefEditModel::ItemsMoveUp);
  NewAction("ItemsMoveDown", "Переместить вниз", "Переместить текущий элемент вниз", &TRefEditModel::ItemsMoveDown);
  Action("FileSave")->setShortcut(QKeySequence::Save);
  Action("ItemsDelete")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
}

QAction* TRefEditForm::Action(const char* name) const {
  for (QAction* a : actions_)
    if (a->objectName() == name) return a;
  return nullptr;
}

void TRefEditForm::CreateControls() {
  ToolBar1 = new QToolBar(this);
  ToolBar1->setObjectName("ToolBar1");
  ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
  for (QAction* a : actions_) {
    ToolBar1->addAction(a);
    if (a->objectName() == "FileClose" || a->objectName() == "ItemsAddComponent") ToolBar1->addSeparator();
  }
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setContextMenuPolicy(Qt::ActionsContextMenu);
  for (QAction* a : actions_) PageControl1->addAction(a);
  static const char* const kSheets[] = {"tsProd", "tsDish", "tsMeal", "tsEnergo", "tsParam"};
  static const char* const kTrees[] = {"tvProds", "tvDish", "tvMeal", "tvEnergo", "tvParams"};
  for (int p = 0; p < kRefEditPageCount; ++p) {
    auto* view = new TRowTreeView(model_->Tree(p), PageControl1);
    view->setObjectName(kTrees[p]);
    view->setProperty("sheet", kSheets[p]);
    view->setToolTip(ToQString(TRefEditModel::TreeHint(p)));
    TMtHeaderSections* sections = model_->Tree(p).HeaderSections();
    std::vector<TRowColumn> columns;
    for (int s = 0; s < sections->GetCount(); ++s) {
      const TMtHeaderSection* section = sections->GetSection(s);
      if (!section->Visible()) continue;
      columns.push_back({section->Text(), s == 0 ? -1 : s - 1, section->Width(), section->Alignment() == hsaRight});
      columnSections_[static_cast<std::size_t>(p)].push_back(s);
    }
    view->SetColumns(columns);
    views_[static_cast<std::size_t>(p)] = view;
    PageControl1->addTab(view, ToQString(TRefEditModel::PageCaption(p)));
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(ToolBar1);
  layout->addWidget(PageControl1);
  resize(1040, 600);

  editor_ = new QLineEdit(this);
  editor_->setObjectName("InplaceEditor");
  editor_->hide();
  editor_->installEventFilter(this);
}

void TRefEditForm::ConnectEvents() {
  connect(Action("FileClose"), &QAction::triggered, this, [this] { close(); });
  connect(PageControl1, &QTabWidget::currentChanged, this,
          [this](int page) { GuardedCall(nullptr, [this, page] { PageChanged(page); }); });
  for (int p = 0; p < kRefEditPageCount; ++p) {
    TRowTreeView* view = View(p);
    view->OnKey = [this, p](QKeyEvent* e) { return TreeKey(p, e); };
    view->OnActivate = [this](TMtTreeItem*) { GuardedCall(nullptr, [this] { StartEdit(); }); };
    view->OnFocusChange = [this, p] {
      if (p == rpParam) {
        const AnsiString hint = model_->ParamRowHint(model_->Tree(p).ItemFocused());
        if (!hint.empty()) View(p)->setToolTip(ToQString(hint));
      }
      UpdateActions();
    };
    view->viewport()->installEventFilter(this);
  }
  model_->OnNewRow = [this](TCustomMtTree&, TMtTreeItem*) { RefreshView(model_->ActivePage()); };
}

void TRefEditForm::RefreshView(int page) {
  ShowSelectColumn(page);
  View(page)->Refresh();
}

int TRefEditForm::ColumnOfSection(int page, int section) const {
  const std::vector<int>& sections = columnSections_[static_cast<std::size_t>(page)];
  for (std::size_t c = 0; c < sections.size(); ++c)
    if (sections[c] == section) return static_cast<int>(c);
  return -1;
}

int TRefEditForm::SectionOfColumn(int page, int column) const {
  const std::vector<int>& sections = columnSections_[static_cast<std::size_t>(page)];
  return column >= 0 && column < static_cast<int>(sections.size()) ? sections[static_cast<std::size_t>(column)] : -1;
}

void TRefEditForm::ShowSelectColumn(int page) {
  // The selected column's caption is marked, as the cell cursor of the tree would show it.
  TMtHeaderSections* sections = model_->Tree(page).HeaderSections();
  const int selected = model_->SelectColumn(page);
  for (int s : columnSections_[static_cast<std::size_t>(page)]) {
    const AnsiString caption = sections->GetSection(s)->Text();
    View(page)->SetHeaderCaption(ColumnOfSection(page, s), s == selected ? "[" + caption + "]" : caption);
  }
}

void TRefEditForm::UpdateActions() {
  const TRefEditActions a = model_->Actions();
  const std::pair<const char*, bool> states[] = {
      {"FileSave", a.FileSave},
      {"FileSaveAll", a.FileSaveAll},
      {"ItemsAddMetaFolder", a.ItemsAddMetaFolder},
      {"ItemsAddFolder", a.ItemsAddFolder},
      {"ItemsAddItem", a.ItemsAddItem},
      {"ItemsAddComponent", a.ItemsAddComponent},
      {"ItemsDelete", a.ItemsDelete},
      {"ItemsDeleteAll", a.ItemsDeleteAll},
      {"ItemsMoveUp", a.ItemsMoveUp},
      {"ItemsMoveDown", a.ItemsMoveDown},
  };
  for (const auto& [name, enabled] : states) Action(name)->setEnabled(enabled);
}

void TRefEditForm::RunCommand(void (TRefEditModel::*command)()) {
  if (command == nullptr) return;
  GuardedCall(nullptr, [this, command] {
    EndEdit(true);
    ((*model_).*command)();
    RefreshView(model_->ActivePage());
    UpdateActions();
  });
}

void TRefEditForm::PageChanged(int page) {
  EndEdit(true);
  model_->SetActivePage(page);
  RefreshView(page);
  UpdateActions();
}

bool TRefEditForm::TreeKey(int page, QKeyEvent* e) {
  bool handled = false;
  GuardedCall(nullptr, [&] {
    switch (e->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        handled = model_->Tree(page).ItemFocused() != nullptr;
        if (handled) StartEdit();
        return;
      case Qt::Key_Left:
      case Qt::Key_Right:
        handled = true;
        if (model_->MoveSelectColumn(page, e->key() == Qt::Key_Right ? 1 : -1)) ShowSelectColumn(page);
        return;
      default:
        break;
    }
    const QString text = e->text();
    if (text.isEmpty() || model_->Tree(page).ItemFocused() == nullptr) return;
    const AnsiString typed = FromQString(text.left(1));
    const int section = model_->SelectColumn(page);
    const TFieldTypes type = model_->Tree(page).HeaderSections()->GetSection(section)->FieldType();
    if (typed.empty() || static_cast<unsigned char>(typed[0]) < 32) return;
    handled = true;
    if (TRefEditModel::KeyStartsEdit(type, static_cast<unsigned char>(typed[0]))) StartEdit(text.left(1));
  });
  return handled;
}

bool TRefEditForm::StartEdit(const QString& Text) {
  EndEdit(true);
  const int page = model_->ActivePage();
  TMtTreeItem* item = model_->Tree(page).ItemFocused();
  const int section = model_->SelectColumn(page);
  const int column = ColumnOfSection(page, section);
  if (item == nullptr || column < 0 || !model_->CanEdit(page, item, section)) return false;
  TRowTreeView* view = View(page);
  if (!model_->Tree(page).IsRowItem(item)) {
    item->MakeFullyVisible(true);
    view->Refresh();
  }
  // The row is scrolled into the page (the view scrolls by rows).
  const std::vector<TMtTreeItem*>& rows = model_->Tree(page).VisibleRows();
  const int rowIndex = static_cast<int>(std::find(rows.begin(), rows.end(), item) - rows.begin());
  QScrollBar* bar = view->verticalScrollBar();
  if (rowIndex < bar->value() || rowIndex >= bar->value() + bar->pageStep()) bar->setValue(rowIndex);
  const QRect row = view->RowRect(item);
  if (row.isEmpty()) return false;
  const auto [left, width] = view->ColumnSpan(column);
  const QPoint topLeft = view->viewport()->mapTo(this, QPoint(left, row.top()));
  editor_->setGeometry(QRect(topLeft, QSize(std::max(width, 40), row.height() + 2)));
  editor_->setText(Text.isEmpty() ? ToQString(TRefEditModel::CellText(model_->Tree(page), item, section)) : Text);
  editedItem_ = item;
  editedSection_ = section;
  editor_->show();
  editor_->raise();
  editor_->setFocus();
  if (Text.isEmpty()) editor_->selectAll();
  else editor_->end(false);
  return true;
}

bool TRefEditForm::EndEdit(bool Commit) {
  if (editedItem_ == nullptr || ending_) return editedItem_ == nullptr;
  ending_ = true;
  const int page = model_->ActivePage();
  TMtTreeItem* item = editedItem_;
  const int section = editedSection_;
  editedItem_ = nullptr;
  editor_->hide();
  bool accepted = false;
  if (Commit) accepted = model_->EditCell(page, item, section, FromQString(editor_->text()));
  ending_ = false;
  View(page)->setFocus();
  RefreshView(page);
  UpdateActions();
  return accepted;
}

bool TRefEditForm::eventFilter(QObject* watched, QEvent* event) {
  if (watched == editor_) {
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
          GuardedCall(nullptr, [this] { EndEdit(true); });
          return true;
        case Qt::Key_Escape:
          GuardedCall(nullptr, [this] { EndEdit(false); });
          return true;
        case Qt::Key_Up:
        case Qt::Key_Down: {
          // The edit is accepted and the key moves the focus in the tree.
          const int k = key->key();
          GuardedCall(nullptr, [this] { EndEdit(true); });
          QCoreApplication::postEvent(View(model_->ActivePage()), new QKeyEvent(QEvent::KeyPress, k, Qt::NoModifier));
          return true;
        }
        default:
          break;
      }
    } else if (event->type() == QEvent::FocusOut && editedItem_ != nullptr && !ending_) {
      GuardedCall(nullptr, [this] { EndEdit(true); });
    }
    return QDialog::eventFilter(watched, event);
  }
  if (event->type() == QEvent::MouseButtonPress) {
    for (int p = 0; p < kRefEditPageCount; ++p) {
      if (watched != View(p)->viewport()) continue;
      EndEdit(true);
      const int section = SectionOfColumn(p, View(p)->ColumnAt(static_cast<QMouseEvent*>(event)->pos().x()));
      if (section >= 0) {
        model_->SetSelectColumn(p, section);
        ShowSelectColumn(p);
      }
    }
  }
  return QDialog::eventFilter(watched, event);
}

void TRefEditForm::reject() {
  // Esc, the close button and close() all come here (QDialog's close event rejects): the
  // close question decides.
  if (editedItem_ != nullptr) {
    EndEdit(false);
    return;
  }
  bool close = true;
  GuardedCall(nullptr, [this, &close] { close = model_->CloseQuery(); });
  if (close) QDialog::reject();
}
