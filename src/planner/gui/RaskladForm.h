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
#include <string>

#include "planner/ration/FrmFindModel.h"
#include "planner/ration/RationEdit.h"
#include "planner/ration/RationPrint.h"
#include "planner/ration/RationTabs.h"

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QSpinBox;
class QStackedWidget;
class QTabWidget;
class QMenu;
class TComboEdit;
class QAction;
class TRefMenu;
class TMtTree;
class IRationFileMessages;
class TFindDlg;
class TRaskladForm;
class TPaneSplitter;
class TPaneFit;
class TSettingsStore;

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
  // Printing: the templates' directory and the program's texts in the reports; the
  // section dialog (nil: TPrnSelectForm), the PDF file the virtual printer writes (nil or
  // false: nothing is printed) and the preview window (nil: the preview prints too).
  AnsiString RefDir;
  TRationPrintProgram Program;
  std::function<int(QWidget* parent, TPrnSections& sections)> SelectSections;
  std::function<bool(AnsiString& pdfFile)> AskPdfFile;
  std::function<void(TrpCompositeReport& report)> Preview;
  // The properties dialog over a window's document (the window's "Свойства раскладки").
  std::function<void(TRaskladForm& form)> RaskladProp;
  // The help window at a context (the section dialog's help button; nil: a message that
  // no help is installed).
  std::function<void(int Context)> Help;
};

inline constexpr int kRaskladTag = 17;

class TRaskladForm : public QWidget {
 public:
  TRaskladForm(TPlannerServices& services, QWidget* parent = nullptr);
  ~TRaskladForm() override;

  // An empty name: a new untitled document; else the file is read. 0 when the window
  // holds the document; otherwise its message was shown and the caller closes it.
  int Open(const AnsiString& FileName);
  // Saves under FileName (the document's own when empty; when it has none, the name is
  // asked for, offered as Seed when that is given); false when it failed.
  bool Save(const AnsiString& FileName, const AnsiString& Seed = AnsiString());
  // Asks for a file name when saving a document that has none (the frame's save dialog),
  // offered as fileName when that is not empty.
  std::function<bool(TRaskladForm* form, AnsiString& fileName)> OnAskSaveName;
  // Tells the frame that a file was saved under a name (its recent-files list).
  std::function<void(const AnsiString& fileName)> OnSaved;
  // The window is closing (its close question was answered): the frame keeps its placement.
  std::function<void()> OnClosing;

  TRationDocument& Doc() { return doc_; }
  TRationViews& Views() { return views_; }
  TRationEditor& Editor() { return *editor_; }
  TMtTree* MenuView() const { return tvEatMenu; }
  TMtTree* DayListView() const { return tvDaysProdList; }
  TMtTree* TripListView() const { return tvTotProdList; }
  TMtTree* TotalsView() const { return tvEatTotals; }
  // How a drag from the ration tree carries its item: 1 copies, 2 moves (Shift was down
  // at the last key press in the tree).
  int DragMode() const { return dragMode_; }
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
  void ItemCutExecute();
  void ItemCopyExecute();
  void CopyItems(bool Cut);
  void PasteItems();
  void RaskladToggleCmtExecute();
  void RaskladPropExecute();
  // Enables the window's actions (its pop-up menu and their shortcuts) by the rules of its
  // editor; runs whenever the focus, the focused item, the clipboard or the document
  // changes, before a key of the tree meets the shortcuts, and when an action is triggered.
  void UpdateActions();
  // The ration tree's pop-up menu.
  QMenu* PopupMenu() const { return pmEatMenu; }
  // Find and replace through the program's find dialog, and Find Next with its last
  // condition.
  void ItemFindExecute();
  void ItemFindNextExecute();
  // Prints the chosen sections of the ration (RaskladPrint.cpp); true when pages were
  // printed or previewed.
  bool PrintRation(bool Preview);
  TPrnSections& PrintSections() { return prnSections_; }
  TRationPrint& Printing() { return *print_; }
  TRationFinder& Finder() { return finder_; }
  // Sets the weight of the focused item as typed in the cell (the in-place edit's commit).
  bool CommitVeight(const AnsiString& typed);
  // The cost of a row of the whole-trip list (the cost cell's commit).
  bool CommitCost(int row, const AnsiString& typed);
  // The general page's fields after the user left them.
  void seDaysExit();
  void seMansExit();
  // The numbers typed into the general page and not yet left go to the document.
  void CommitGeneralPage();
  void ceTourButtonClick();
  void ceTourKeyPress(char& key);

  // Pages and tabs: the section list's choice, and a tab of "Питание" (0 menu, 1 per-day
  // list, 2 whole-trip list, 3 recommendations; a hidden tab is not shown).
  void ShowSection(int index);
  void ShowTab(int tab);
  int CurrentTab() const;
  // The close question; true when the window may close.
  bool CloseQuery();
  // The panes' sizes and their bars' collapsed states, written under a key of the
  // settings store (the caller saves the store) for the next window to take back.
  void SavePanes(TSettingsStore& store, const std::string& key) const;
  void RestorePanes(const TSettingsStore& store, const std::string& key);
  // Model to widgets.
  void ApplyDocumentState();

 protected:
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  // The window is laid out without a Qt layout, so it says its sizes itself: the size it
  // has when it first leaves the maximised state, and the least size it can be dragged to.
  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 private:
  // The section dialog (or the services' replacement) over the window's choice.
  int SelectPrintSections();
  void CreateActions();
  void CreateControls();
  // The kit's alignment and the three pane splitters (RaskladPanes.cpp).
  void LayOutPanes();
  void FitPanes();
  void ConnectEvents();
  void ApplyTree();
  void ApplyTotals();
  void ApplyTab(int tab);
  // Copies a tab's view into its control, whether or not it was rebuilt.
  void FillTab(int tab);
  void ApplyComment();
  void ConnectMenuTree();
  void ConnectTripList();
  void FillList(TMtTree* view, const TProductListRows& rows);
  // In-place edits of the weight (ration tree) and of the cost (whole-trip list); a typed
  // character, when given, replaces the cell's text.
  void StartVeightEdit(char typed = 0);
  void StartCostEdit(char typed = 0);
  // Left (-1) or Right (+1) in the whole-trip list: the previous or next visible column.
  void SelectTripColumn(int direction);
  void AfterCommand();

  TPlannerServices& services_;
  // The trees are the window's controls; the document works on the ration tree, which
  // outlives it.
  std::unique_ptr<TMtTree> menuTree_, dayListTree_, tripListTree_, totalsTree_;
  TRationDocument doc_;
  TRationViews views_;
  std::unique_ptr<TRationEditor> editor_;
  TRationFinder finder_{doc_};
  TPrnSections prnSections_;
  std::unique_ptr<TRationPrint> print_ = std::make_unique<TRationPrint>(doc_, views_);
  bool applying_ = false;  // widgets are being filled from the model: their changes are not input
  int dragMode_ = 1;       // 2 (move) while Shift is held at key-down, else 1 (copy)
  // A number was typed into seMans / seDays that the document has not taken yet.
  bool mansTyped_ = false, daysTyped_ = false;
  // A number of the general page is being handed to the document: the question it may ask
  // takes the focus from the field, and the field's own "left" must not hand it over again.
  bool committingNumber_ = false;

  QListWidget* ListView1 = nullptr;
  QStackedWidget* Notebook1 = nullptr;
  QLineEdit* edTitle = nullptr;
  QLineEdit* edAuthor = nullptr;
  TComboEdit* ceTour = nullptr;
  QSpinBox* seMans = nullptr;
  QSpinBox* seDays = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QTabWidget* pcEat = nullptr;
  TMtTree* tvEatMenu = nullptr;
  QPlainTextEdit* memCmt = nullptr;
  TMtTree* tvDaysProdList = nullptr;
  TMtTree* tvTotProdList = nullptr;
  QPlainTextEdit* memEatCmt = nullptr;
  TMtTree* tvEatTotals = nullptr;
  QWidget* tabPages_[4] = {};
  // Beside the section list, above the totals grid, above the comment memo; each with
  // the rule that fits its pane into the window.
  TPaneSplitter* PaneSplitter1 = nullptr;
  TPaneSplitter* PaneSplitter2 = nullptr;
  TPaneSplitter* PaneSplitter3 = nullptr;
  TPaneFit* paneFits_[3] = {};
  QMenu* pmEatMenu = nullptr;
};
