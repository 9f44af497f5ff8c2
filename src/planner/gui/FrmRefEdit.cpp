#include "planner/gui/FrmRefEdit.h"

#include "platform/gui/StdCtrls.h"

#include <QAction>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "controls/tree/MtHeaderSections.h"
#include "planner/gui/DialogHelp.h"
#include "planner/gui/FlowToolBar.h"
#include "planner/gui/PlannerTrees.h"
#include "planner/ration/RationEdit.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

namespace {

QString Q(const char* utf8) { return QString::fromUtf8(utf8); }

bool NoModifiers(TShiftState shift) { return (shift & (ssShift | ssCtrl | ssAlt)) == 0; }

}  // namespace

void TRefEditTree::KeyDown(std::uint16_t& Key, TShiftState Shift) {
  if (OnPreviewKeyDown) OnPreviewKeyDown(static_cast<TWinControl*>(this), Key, Shift);
  if (Key == 0) return;
  TMtTree::KeyDown(Key, Shift);
}

TRefEditForm::TRefEditForm(const AnsiString& RefDir, TRationLimits& Limits, IUserPrompt& Prompt,
                           IRefPicker* PickList, QWidget* parent)
    : QDialog(parent) {
  setObjectName("RefEditForm");
  setWindowTitle(Q("Редактирование справочников"));
  std::array<TCustomMtTree*, kRefEditPageCount> trees{};
  for (std::size_t p = 0; p < trees_.size(); ++p) {
    trees_[p] = std::make_unique<TRefEditTree>();
    trees[p] = trees_[p].get();
  }
  model_ = std::make_unique<TRefEditModel>(RefDir, Limits, Prompt, PickList, trees);
  CreateActions();
  CreateControls();
  model_->Create();
  for (int p = 0; p < kRefEditPageCount; ++p) {
    ConnectTree(p);
    ShowSelectColumn(p);
  }
  connect(Action("FileClose"), &QAction::triggered, this, [this] { close(); });
  connect(PageControl1, &QTabWidget::currentChanged, this,
          [this](int page) { GuardedCall(nullptr, [this, page] { PageChanged(page); }); });
  model_->OnNewRow = [this](TCustomMtTree&, TMtTreeItem* item) { ShowNewRow(model_->ActivePage(), item); };
  UpdateActions();
}

TRefEditForm::~TRefEditForm() {
  // No handler runs while the window comes apart; the model's rows go before the trees.
  disconnect(PageControl1, nullptr, this, nullptr);
  for (auto& tree : trees_) {
    tree->OnItemFocused = nullptr;
    tree->EndEdit(true);
    tree->OnValidateInplaceEdit = nullptr;
  }
  model_.reset();
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
  // F1 opens the help at the window's context wherever the focus is.
  auto* help = new QAction(this);
  help->setObjectName("HelpContext");
  help->setShortcut(QKeySequence(Qt::Key_F1));
  connect(help, &QAction::triggered, this,
          [this] { GuardedCall(nullptr, [this] { ShowDialogHelp(OnHelp, kRefEditHelpContext); }); });
  addAction(help);
  Action("ItemsDelete")->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Delete));
}

QAction* TRefEditForm::Action(const char* name) const {
  for (QAction* a : actions_)
    if (a->objectName() == name) return a;
  return nullptr;
}

void TRefEditForm::CreateControls() {
  ToolBar1 = new TFlowToolBar(this);
  ToolBar1->setObjectName("ToolBar1");
  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  for (QAction* a : actions_) {
    ToolBar1->addAction(a);
    PopupMenu1->addAction(a);
    if (a->objectName() == "FileClose" || a->objectName() == "ItemsAddComponent") {
      ToolBar1->addSeparator();
      PopupMenu1->addSeparator();
    }
  }
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->setContextMenuPolicy(Qt::ActionsContextMenu);
  // The keyboard works in the trees; the page tabs are chosen with the mouse or Ctrl+Tab.
  PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
  for (QAction* a : actions_) PageControl1->addAction(a);
  static const char* const kSheets[] = {"tsProd", "tsDish", "tsMeal", "tsEnergo", "tsParam"};
  static const char* const kTrees[] = {"tvProds", "tvDish", "tvMeal", "tvEnergo", "tvParams"};
  for (int p = 0; p < kRefEditPageCount; ++p) {
    TRefEditTree& tree = *trees_[static_cast<std::size_t>(p)];
    tree.setObjectName(kTrees[p]);
    tree.setProperty("sheet", kSheets[p]);
    tree.SetShowColumns(true);
    // The selected cell is the cell cursor: typed keys edit it.
    tree.RowSelect = false;
    tree.AutoLookup = false;
    tree.Hint = TRefEditModel::TreeHint(p);
    tree.ShowHint = true;
    tree.PopupMenu = PopupMenu1;
    PageControl1->addTab(&tree, ToQString(TRefEditModel::PageCaption(p)));
  }
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(2, 2, 2, 2);
  layout->addWidget(ToolBar1);
  layout->addWidget(PageControl1);
  // The size of a 1000-pixel frame (the frame gives the window its own size).
  resize(1000, 600);
}

void TRefEditForm::ConnectTree(int p) {
  TRefEditTree& tree = *trees_[static_cast<std::size_t>(p)];
  tree.OnPreviewKeyDown = [this, p](TObject*, std::uint16_t& key, TShiftState shift) { TreeKeyDown(p, key, shift); };
  tree.OnKeyPress = [this, p](TObject*, char& key) { TreeKeyPress(p, key); };
  tree.OnMouseDown = [this, p](TObject*, TMouseButton, TShiftState, int x, int y) { TreeMouseDown(p, x, y); };
  tree.OnItemFocused = [this, p](TObject*) { ItemFocused(p); };
  tree.OnTryEdit = [this, p](TObject*, TMtTreeItem* item, TMtHeaderSection* section, TFieldTypes&, bool& canEdit) {
    canEdit = section != nullptr && model_->CanEdit(p, item, section->GetIndex());
  };
  tree.OnTuneUpInplaceEdit = [this, p, &tree](TObject*, TMtTreeItem*, int section, TEdit* editor) {
    // Numbers are typed where they stand: at the right of their column.
    const TMtHeaderSection* s = tree.HeaderSections()->FindByNumber(section);
    if (s != nullptr && s->Alignment() == hsaRight) editor->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // Up and Down are the window's before the editor's own keys.
    CommitEditOnArrows(tree, editor);
    // The tables keep 1251 text (866 in the files): the cell shows what will be kept.
    QObject::connect(editor, &QLineEdit::textEdited, editor, [editor] { KeepAs1251(editor); });
  };
  tree.OnValidateInplaceEdit = [this, p](TObject*, TMtTreeItem* item, TMtHeaderSection* section, AnsiString& text,
                                         bool& accept) {
    if (!accept || section == nullptr) return;
    const int s = section->GetIndex();
    bool stored = false;  // a failing check stores nothing
    GuardedCall(nullptr, [&] { stored = model_->EditCell(p, item, s, text); });
    accept = stored;
    // The model stores the text as it keeps it (numbers trimmed); the tree stores the same.
    if (accept) text = TRefEditModel::CellText(model_->Tree(p), item, s);
    UpdateActions();
  };
}

void TRefEditForm::ShowSelectColumn(int page) {
  TMtTree* tree = View(page);
  tree->SelectColumn = model_->SelectColumn(page);
  tree->Invalidate();
}

void TRefEditForm::ShowNewRow(int page, TMtTreeItem* item) {
  TMtTree* tree = View(page);
  const int row = tree->RowOf(item);
  // A new row below the visible page becomes the top line.
  if (row > tree->TopIndex() + tree->RowsPerPage()) tree->SetTopIndex(row);
  else tree->EnsureVisible(item);
}

void TRefEditForm::ItemFocused(int page) {
  if (page == rpParam) {
    const AnsiString hint = model_->ParamRowHint(model_->Tree(page).ItemFocused());
    if (!hint.empty()) View(page)->Hint = hint;
  }
  UpdateActions();
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
    // A running edit is accepted first: the command works on what the user sees.
    View(model_->ActivePage())->EndEdit(false);
    ((*model_).*command)();
    View(model_->ActivePage())->Invalidate();
    UpdateActions();
    // The keys go on to the page's rows: a new row is named by typing at once.
    View(model_->ActivePage())->SetFocus();
  });
}

void TRefEditForm::PageChanged(int page) {
  View(model_->ActivePage())->EndEdit(false);
  model_->SetActivePage(page);
  ShowSelectColumn(page);
  UpdateActions();
  View(page)->SetFocus();
}

TEdit* TRefEditForm::Editor() const {
  TMtTree* tree = View(model_->ActivePage());
  return tree->Editing() ? tree->InplaceEdit() : nullptr;
}

bool TRefEditForm::StartEdit(const QString& Text) {
  const int page = model_->ActivePage();
  TMtTree* tree = View(page);
  TMtTreeItem* item = model_->Tree(page).ItemFocused();
  const int section = model_->SelectColumn(page);
  if (item == nullptr || !model_->CanEdit(page, item, section)) return false;
  tree->EditItem(item, section);
  TEdit* editor = Editor();
  if (editor == nullptr) return false;
  if (!Text.isEmpty()) {
    // The typed character replaces the selected old text, as if typed into the editor.
    QKeyEvent typed(QEvent::KeyPress, 0, Qt::NoModifier, Text);
    QCoreApplication::sendEvent(editor, &typed);
  }
  return true;
}

void TRefEditForm::TreeKeyDown(int page, std::uint16_t& key, TShiftState shift) {
  if (!NoModifiers(shift)) return;
  switch (key) {
    case VK_RETURN:
      if (model_->Tree(page).ItemFocused() == nullptr) return;
      key = 0;
      GuardedCall(nullptr, [this] { StartEdit(); });
      return;
    case VK_LEFT:
    case VK_RIGHT:
      if (model_->MoveSelectColumn(page, key == VK_RIGHT ? 1 : -1)) ShowSelectColumn(page);
      key = 0;
      return;
    case VK_ESCAPE:
      // Esc has no role in the trees: it does not reach the window (which would close).
      key = 0;
      return;
    default:
      return;
  }
}

void TRefEditForm::TreeKeyPress(int page, char& key) {
  const auto code = static_cast<unsigned char>(key);
  if (code < 32 || model_->Tree(page).ItemFocused() == nullptr) return;
  const TMtHeaderSection* section = model_->Tree(page).HeaderSections()->FindByNumber(model_->SelectColumn(page));
  const TFieldTypes type = section != nullptr ? section->FieldType() : sftText;
  const char typed = key;
  key = 0;
  if (TRefEditModel::KeyStartsEdit(type, code))
    GuardedCall(nullptr, [this, typed] { StartEdit(ToQString(AnsiString(1, typed))); });
}

void TRefEditForm::TreeMouseDown(int page, int x, int y) {
  // The column under the pointer becomes the selected one; the tree focuses the row.
  int section = -1, part = hpElsewhere;
  View(page)->GetItemAt(x, y, section, part);
  if (section >= 0 && section < model_->Tree(page).HeaderSections()->GetCount()) {
    model_->SetSelectColumn(page, section);
    ShowSelectColumn(page);
  }
}


void TRefEditForm::reject() {
  // Esc, the close button and close() all come here (QDialog's close event rejects): the
  // close question decides.
  TMtTree* tree = View(model_->ActivePage());
  if (tree->Editing()) {
    tree->EndEdit(true);
    return;
  }
  bool close = true;
  GuardedCall(nullptr, [this, &close] { close = model_->CloseQuery(); });
  if (close) QDialog::reject();
}
