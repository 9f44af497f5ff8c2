// The tree control with a 21-day ration built from the shipped reference tables: the
// ration window's nine sections, bold days with check boxes, meals and products with
// their values, the weight column in its own colours, a selection and an open editor.
//   treedemo [--ref DIR]                 shows the window: drag a product onto another meal
//                                        (or day) to move it there; F2 or a second click on
//                                        a weight edits it
//   treedemo --shot out.png [--ref DIR]  renders the window to a PNG (offscreen platform)
//   treedemo --watch out.png             shows the window and writes it to the PNG twice a
//                                        second (to look at a session on a virtual display)
// DIR is the reference directory (default: the build's bin/Ref).
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "controls/gui/MtTreeView.h"
#include "planner/ration/RationDoc.h"
#include "planner/reference/Ref.h"
#include "planner/reference/RefItems.h"
#include "platform/core/AnsiText.h"
#include "platform/gui/Align.h"
#include "platform/gui/Application.h"

namespace {

constexpr int kDays = 21;

// Products of one meal, by the codes' order in the reference table: a few per meal,
// varied by day so that the days differ.
std::vector<const TMtTreeItem*> PickProducts(const std::vector<const TMtTreeItem*>& products, int day, int meal) {
  std::vector<const TMtTreeItem*> picked;
  if (products.empty()) return picked;
  const int n = static_cast<int>(products.size());
  const int count = 2 + (day + meal) % 3;
  for (int i = 0; i < count; ++i) picked.push_back(products[(day * 7 + meal * 13 + i * 5) % n]);
  return picked;
}

class TRationDemo {
 public:
  explicit TRationDemo(const AnsiString& refDir) {
    window_.setObjectName("RationDemo");
    window_.setWindowTitle(QString::fromUtf8("Раскладка: 21 день"));
    window_.resize(900, 560);
    tree_ = new TMtTree(&window_);
    tree_->setObjectName("tvEatMenu");
    ::SetAlign(tree_, TAlign::alClient);
    BuildSections();
    LoadReference(refDir);
    BuildRation();
    ConnectEvents();
  }

  QWidget& Window() { return window_; }
  TMtTree& Tree() { return *tree_; }

  // The state the picture shows: a product focused with two more selected, and the
  // weight of the focused one open in the editor.
  void ShowSelectionAndEditor() {
    TMtTreeItem* day1 = tree_->Items()->Root()->GetChildren(0);
    TMtTreeItem* lunch = day1 ? day1->GetChildren(2) : nullptr;
    if (!lunch || lunch->GetChildrenCount() < 2) return;
    tree_->SetItemFocused(lunch->GetChildren(0));
    tree_->SetSelectionAnchor(lunch->GetChildren(0));
    lunch->GetChildren(1)->SetState(isSelected, true);
    tree_->EditItem(lunch->GetChildren(1), kRationVeightSection);
  }

 private:
  void BuildSections() {
    AddRationSections(*tree_);
    tree_->SetShowColumns(true);
    tree_->SetShowCheckboxes(true);
    tree_->BkColor = RationBkColor(rtDayMenu);
  }

  void LoadReference(const AnsiString& refDir) {
    products_ = std::make_unique<TRef>(productTree_, refDir + "products");
    products_->OnItemLoad = LoadProdMealItem;
    products_->Load();
    meals_ = std::make_unique<TRef>(mealTree_, refDir + "meal");
    meals_->OnItemLoad = LoadProdMealItem;
    meals_->Load();
    for (TMtTreeItem* item : products_->ItemList())
      if (!IsRefFolder(item) && FoodRecOf(item) && FoodRecOf(item)->Veight > 0) productList_.push_back(item);
  }

  void BuildRation() {
    doc_ = std::make_unique<TRationDocument>(*tree_);
    doc_->SetRationType(rtDayMenu);
    tree_->BkColor = doc_->Color;
    TMtUpdateBracket bracket(tree_);
    const auto& meals = meals_->ItemList();
    for (int d = 0; d < kDays; ++d) {
      TMtTreeItem* day = doc_->AddItem(nullptr, "", nullptr, fkDay, 0);
      day->ShowCheckBox = true;
      day->SetCheckBoxState(d < 5 ? cbsChecked : d == 5 ? cbsGrayed : cbsUnchecked);
      day->CheckBoxType = cbtThreeState;
      for (int m = 0; m < static_cast<int>(meals.size()) && m < 4; ++m) {
        const TFoodRec* mealRec = FoodRecOf(meals[m]);
        TMtTreeItem* meal = doc_->AddItem(day, meals[m]->Text(), nullptr, fkMeal, mealRec ? mealRec->Code : m + 1);
        for (const TMtTreeItem* p : PickProducts(productList_, d, m)) {
          TMtTreeItem* product = doc_->AddItem(meal, p->Text(), FoodRecOf(p), fkProduct, FoodRecOf(p)->Code);
          doc_->UpdateItemRow(product);
          product->ShowCheckBox = true;
          product->SetChecked((d + m) % 4 == 0);
        }
      }
      doc_->SumGroup(day, false);
    }
    doc_->DocumentReady = 1;
    // The first days open, the rest closed, as a user leaves them.
    for (int d = 0; d < 3; ++d) tree_->Items()->Root()->GetChildren(d)->Expand(true);
  }

  void ConnectEvents() {
    tree_->DragAllowed = true;
    tree_->OnDragOver = [this](TObject*, TObject* source, int, int y, TDragState, bool& accept) {
      accept = DropParent(source, tree_->GetItemAtY(y)) != nullptr;
    };
    tree_->OnDragDrop = [this](TObject*, TObject* source, int, int) { MoveFocusedTo(source, tree_->DropTarget()); };
    tree_->OnKeyDown = [this](TObject*, std::uint16_t& key, TShiftState shift) {
      if (key == VK_F2 && shift == 0 && tree_->ItemFocused()) tree_->EditItem(tree_->ItemFocused(), kRationVeightSection);
    };
    tree_->OnTryEdit = [](TObject*, TMtTreeItem* item, TMtHeaderSection*, TFieldTypes&, bool& canEdit) {
      canEdit = FoodRecOf(item) && FoodRecOf(item)->Kind == fkProduct;
    };
    tree_->OnValidateInplaceEdit = [this](TObject*, TMtTreeItem* item, TMtHeaderSection*, AnsiString& text,
                                          bool& accept) {
      if (!accept) return;
      TFoodRec* rec = FoodRecOf(item);
      int grams = 0;
      if (!TryStrToInt(text, grams) || grams < 0) {
        accept = false;
        return;
      }
      rec->Veight = grams;
      doc_->UpdateItemRow(item);
      doc_->SumGroup(DayOfItem(item), false);
      accept = false;  // the row is written by the document
    };
  }

  // The meal (or day) a dragged product goes to: a meal, or the first meal of a day.
  TMtTreeItem* DropParent(TObject* source, TMtTreeItem* target) const {
    if (source != static_cast<TWinControl*>(tree_) || target == nullptr) return nullptr;
    const TFoodRec* rec = FoodRecOf(target);
    const TFoodRec* dragged = FoodRecOf(tree_->ItemFocused());
    if (!rec || !dragged || dragged->Kind != fkProduct) return nullptr;
    if (rec->Kind == fkMeal) return target;
    if (rec->Kind == fkDay) return target->GetFirstChild();
    return nullptr;
  }

  void MoveFocusedTo(TObject* source, TMtTreeItem* target) {
    TMtTreeItem* parent = DropParent(source, target);
    TMtTreeItem* item = tree_->ItemFocused();
    if (!parent || !item || item->GetParent() == parent) return;
    TMtTreeItem* oldDay = DayOfItem(item);
    TMtUpdateBracket bracket(tree_);
    item->MoveTo(parent);
    doc_->SumGroup(oldDay, false);
    doc_->SumGroup(DayOfItem(parent), false);
    parent->Expand(false);
  }

  QWidget window_;
  TMtTree* tree_ = nullptr;
  TCustomMtTree productTree_, mealTree_;
  std::unique_ptr<TRef> products_, meals_;
  std::vector<const TMtTreeItem*> productList_;
  std::unique_ptr<TRationDocument> doc_;
};

}  // namespace

int main(int argc, char** argv) {
  const char* shot = nullptr;
  const char* watch = nullptr;
  std::string refDir = TARNWICK_DEMO_REF_DIR;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--shot") == 0 && i + 1 < argc) shot = argv[++i];
    else if (std::strcmp(argv[i], "--watch") == 0 && i + 1 < argc) watch = argv[++i];
    else if (std::strcmp(argv[i], "--ref") == 0 && i + 1 < argc) refDir = argv[++i];
  }
  if (!refDir.empty() && refDir.back() != '/') refDir += '/';
  if (shot && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  TQtApplication app(argc, argv);
  Application().Initialize();
  try {
    TRationDemo demo(refDir);
    demo.Window().show();
    QTimer watcher;
    if (watch) {
      QObject::connect(&watcher, &QTimer::timeout, [&demo, watch] { demo.Window().grab().toImage().save(watch); });
      watcher.start(500);
    }
    if (!shot) return QApplication::exec();
    demo.ShowSelectionAndEditor();
    QApplication::processEvents();
    const QImage image = demo.Window().grab().toImage();
    if (!image.save(shot)) {
      std::fprintf(stderr, "cannot write %s\n", shot);
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "treedemo: %s\n", e.what());
    return 1;
  }
}
