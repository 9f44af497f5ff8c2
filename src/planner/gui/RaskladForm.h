// TRaskladForm, the ration window: one document in an MDI child. A section list on the
// left picks the page "Общая информация" (title, author, kind of trip, participants, days,
// description) or "Питание" (the ration tree with its comment memo, the per-day and
// whole-trip product lists, the recommendations, and the totals grid under them). The
// window only shows the document and passes the user's input to TRationEditor and
// TRationViews, which decide everything; ApplyDocumentState copies the model into the
// widgets after each command.
#pragma once

#include <QWidget>
#include <functional>
#include <memory>

#include "planner/ration/FrmFindModel.h"
#include "planner/ration/RationEdit.h"
#include "planner/ration/RationTabs.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QToolButton;
class QAction;
class TRefMenu;
class TRowTreeView;
class IRationFileMessages;
class TFindDlg;

// What every ration window shares: the pick-list (with the dish tables), the dialogs, and
// what a new document starts with.
struct TPlannerServices {
  TRefMenu* RefMenu = nullptr;
  IUserPrompt* Prompt = nullptr;
  IRationFileMessages* Messages = nullptr;
  TNewRationDefaults Defaults;
  bool CreateBakFiles = true;
  // The one find dialog of the program (its last checked condition serves Find Next).
  TFindDlg* FindDlg = nullptr;
};

inline constexpr int kRaskladTag = 17;

class TRaskladForm : public QWidget {
 public:
  TRaskladForm(TPlannerServices& services, QWidget* parent = nullptr);
  ~TRaskladForm() override;

  // An empty name: a new untitled document; else the file is read. 0 when the window
  // holds the document; otherwise its message was shown and the caller closes it.
  int Open(const AnsiString& FileName);
  // Saves under FileName (the document's own when empty); false when it failed.
  bool Save(const AnsiString& FileName);
  // Asks for a file name when saving a document that has none (the frame's save dialog).
  std::function<bool(TRaskladForm* form, AnsiString& fileName)> OnAskSaveName;
  // Tells the frame that a file was saved under a name (its recent-files list).
  std::function<void(const AnsiString& fileName)> OnSaved;

  TRationDocument& Doc() { return doc_; }
  TRationViews& Views() { return views_; }
  TRationEditor& Editor() { return *editor_; }
  TRowTreeView* MenuView() const { return tvEatMenu; }
  TRowTreeView* DayListView() const { return tvDaysProdList; }
  TRowTreeView* TripListView() const { return tvTotProdList; }
  TRowTreeView* TotalsView() const { return tvEatTotals; }
  QPlainTextEdit* Recommendations() const { return memEatCmt; }
  QTabWidget* Tabs() const { return pcEat; }

  // The ration tree has the keyboard focus (its commands are then enabled).
  bool TreeFocused() const;
  TRationCommands Commands() const;

  // --- commands (the frame forwards to them)
  void ItemAddDayExecute();
  void ItemAddMealExecute();
  void ItemAddDishExecute();
  void ItemAddProdExecute();
  void ItemDelExecute();
  void ItemDelAllExecute();
  void ItemMoveUpExecute();
  void ItemMoveDownExecute();
  void ItemsEditCellExecute();
  void CopyItems(bool Cut);
  void PasteItems();
  void RaskladToggleCmtExecute();
  // Find and replace through the program's find dialog, and Find Next with its last
  // condition.
  void ItemFindExecute();
  void ItemFindNextExecute();
  TRationFinder& Finder() { return finder_; }
  // Sets the weight of the focused item as typed in the cell (the in-place edit's commit).
  bool CommitVeight(const AnsiString& typed);
  // The cost of a row of the whole-trip list (the cost cell's commit).
  bool CommitCost(int row, const AnsiString& typed);
  // The general page's fields after the user left them.
  void seDaysExit();
  void seMansExit();
  void ceTourButtonClick();

  // Pages and tabs: the section list's choice, and a tab of "Питание" (0 menu, 1 per-day
  // list, 2 whole-trip list, 3 recommendations; a hidden tab is not shown).
  void ShowSection(int index);
  void ShowTab(int tab);
  int CurrentTab() const;
  // The close question; true when the window may close.
  bool CloseQuery();
  // Model to widgets.
  void ApplyDocumentState();

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  void CreateActions();
  void CreateControls();
  void ConnectEvents();
  void ApplyTree();
  void ApplyTotals();
  void ApplyTab(int tab);
  void ApplyComment();
  void FillList(TRowTreeView* view, const TProductListRows& rows);
  void StartVeightEdit(const QString& typed);
  void StartCostEdit(const QString& typed);
  void AfterCommand();
  bool MenuKey(QKeyEvent* e);

  TPlannerServices& services_;
  std::unique_ptr<TCustomMtTree> menuTree_, dayListTree_, tripListTree_, totalsTree_;
  TRationDocument doc_;
  TRationViews views_;
  std::unique_ptr<TRationEditor> editor_;
  TRationFinder finder_{doc_};
  bool applying_ = false;  // widgets are being filled from the model: their changes are not input

  QListWidget* ListView1 = nullptr;
  QStackedWidget* Notebook1 = nullptr;
  QLineEdit* edTitle = nullptr;
  QLineEdit* edAuthor = nullptr;
  QLineEdit* ceTour = nullptr;
  QToolButton* ceTourButton = nullptr;
  QSpinBox* seMans = nullptr;
  QSpinBox* seDays = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QTabWidget* pcEat = nullptr;
  TRowTreeView* tvEatMenu = nullptr;
  QPlainTextEdit* memCmt = nullptr;
  TRowTreeView* tvDaysProdList = nullptr;
  TRowTreeView* tvTotProdList = nullptr;
  QPlainTextEdit* memEatCmt = nullptr;
  TRowTreeView* tvEatTotals = nullptr;
  QLineEdit* cellEditor_ = nullptr;
  QWidget* tabPages_[4] = {};
};
