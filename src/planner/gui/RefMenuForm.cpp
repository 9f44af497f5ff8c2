#include "planner/gui/RefMenuForm.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <unordered_set>

#include "controls/tree/MtHeaderSections.h"
#include "controls/gui/MtTreeView.h"
#include "platform/gui/Application.h"
#include "platform/gui/QtGraphics.h"

namespace {

// A pick-list tree works as a check list: Space or a click on a row picks or unpicks that
// row alone and the arrows only move, so the rows picked before stay picked (the tree's
// own keys and clicks would start a new selection with the row reached). Shift still
// picks a range.
class TPickTree : public TMtTree {
 public:
  void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override {
    if (Button == TMouseButton::mbLeft && MultiSelect() && (Shift & ssShift) == 0) Shift |= ssCtrl;
    TMtTree::MouseDown(Button, Shift, X, Y);
  }

  void KeyDown(std::uint16_t& Key, TShiftState Shift) override {
    if (!MultiSelect() || (Shift & ssShift) != 0) {
      TMtTree::KeyDown(Key, Shift);
      return;
    }
    if (!IsMove(Key)) {
      if (Key == VK_SPACE) Shift |= ssCtrl;
      TMtTree::KeyDown(Key, Shift);
      return;
    }
    // With Ctrl the tree keeps the old picks and picks the row reached; that row then
    // gets its own pick back.
    std::unordered_set<const TMtTreeItem*> picked;
    for (TMtTreeItem* item = Items()->GetItem(0); item != nullptr; item = item->GetNext())
      if (item->GetState(isSelected)) picked.insert(item);
    const TMtTreeItem* before = ItemFocused();
    TMtTree::KeyDown(Key, Shift | ssCtrl);
    TMtTreeItem* now = ItemFocused();
    if (now != nullptr && now != before && !picked.contains(now) && now->GetState(isSelected))
      now->SetState(isSelected, false);
  }

 private:
  static bool IsMove(std::uint16_t key) {
    switch (key) {
      case VK_UP: case VK_DOWN: case VK_PRIOR: case VK_NEXT: case VK_HOME: case VK_END: case VK_LEFT: case VK_RIGHT:
        return true;
      default:
        return false;
    }
  }
};

}  // namespace

TRefMenuForm::TRefMenuForm(const AnsiString& refDir, IUserPrompt& prompt, QWidget* parent) : QDialog(parent) {
  setObjectName("RefMenuForm");
  resize(760, 520);
  for (auto& t : trees_) t = std::make_unique<TPickTree>();
  menu_ = std::make_unique<TRefMenu>(
      std::array<TCustomMtTree*, kRefPageCount>{trees_[0].get(), trees_[1].get(), trees_[2].get(), trees_[3].get()},
      refDir, prompt);
  menu_->OnShowModal = [this](TRefMenu&, int page, const AnsiString& caption) { return ShowModal(page, caption); };

  auto* layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName("PageControl1");
  PageControl1->tabBar()->hide();
  const char* names[kRefPageCount] = {"tvProd", "tvDish", "tvMeal", "tvEnergo"};
  const char* sheets[kRefPageCount] = {"Продукты", "Блюда", "Трапезы", "Виды  туризма"};
  for (int p = 0; p < kRefPageCount; ++p) {
    TMtTree* view = trees_[static_cast<std::size_t>(p)].get();
    view->setObjectName(names[p]);
    view->SetShowColumns(true);
    view->SetShowLines(false);
    view->SetShowRoot(false);
    view->RowSelect = true;
    view->FullRowSelect = true;
    view->Hint = TRefMenu::TreeHint(p);
    view->ShowHint = true;
    view->OnHeaderColumnClick = [this, p, view](TObject*, int section) {
      menu_->SortByColumn(p, section);
      view->Invalidate();
    };
    view->OnDblClick = [this](TObject*) {
      if (menu_->DoubleClick()) done(QDialog::Accepted);
    };
    view->OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState) {
      if (key == VK_RETURN && menu_->DoubleClick()) done(QDialog::Accepted);
    };
    PageControl1->addTab(view, QString::fromUtf8(sheets[p]));
  }
  layout->addWidget(PageControl1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  auto* ok = new QPushButton("OK");
  ok->setObjectName("btnOk");
  ok->setDefault(true);
  auto* cancel = new QPushButton(QString::fromUtf8("Отказ"));
  cancel->setObjectName("btnCancel");
  auto* help = new QPushButton(QString::fromUtf8("Справка"));
  help->setObjectName("btnHelp");
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  buttons->addWidget(help);
  layout->addLayout(buttons);
  connect(ok, &QPushButton::clicked, this, [this] { done(QDialog::Accepted); });
  connect(cancel, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
  connect(help, &QPushButton::clicked, this, [this] {
    if (OnHelp) OnHelp(helpContext_);
  });
}

TRefMenuForm::~TRefMenuForm() { menu_.reset(); }

void TRefMenuForm::done(int result) {
  bool close = true;
  GuardedCall(nullptr, [&] { close = menu_->CloseQuery(result == QDialog::Accepted ? mrOk : mrCancel); });
  if (close) QDialog::done(result);
}

TModalResult TRefMenuForm::ShowModal(int page, const AnsiString& caption) {
  const int treePage = menu_->CurrentPage();
  PageControl1->setCurrentIndex(treePage);
  helpContext_ = TRefMenu::HelpContext(page);
  setWindowTitle(ToQString(caption));
  trees_[static_cast<std::size_t>(treePage)]->Invalidate();
  if (OnScript) return OnScript(*this, page);
  return exec() == QDialog::Accepted ? mrOk : mrCancel;
}
