// TRefEditForm ("Редактирование справочников", help context 2240): the reference
// editor's window over TRefEditModel. Five pages, each a tree control (TMtTree) that the
// model works on directly; the actions (object names as the form has them) run one model
// command each and take their enabled state from the model. Cells are edited in place
// by the tree's editor: the model decides which cell may be edited (OnTryEdit) and checks
// and stores the typed text (OnValidateInplaceEdit). The window sees the trees' keys
// before they do: Enter edits the selected column, Left and Right move it, a typed
// character that the column takes starts an edit with it, and Up and Down in the editor
// accept the edit and move to the next row. Closing asks the model's close question.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "controls/gui/MtTreeView.h"
#include "planner/reference/FrmRefEditModel.h"

class QAction;
class QMenu;
class QTabWidget;
class TFlowToolBar;
class IRefPicker;

inline constexpr int kRefEditHelpContext = 2240;

// An editor page's tree: its key-down handler hears every key before the tree acts on
// it and may take it (Key = 0).
class TRefEditTree : public TMtTree {
 public:
  using TMtTree::TMtTree;
  TKeyEvent OnPreviewKeyDown;
  void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
};

class TRefEditForm : public QDialog {
 public:
  // The limits, prompt and pick-list (nil: no components can be added) must outlive the
  // window. The tables are read at once.
  TRefEditForm(const AnsiString& RefDir, TRationLimits& Limits, IUserPrompt& Prompt, IRefPicker* PickList,
               QWidget* parent = nullptr);
  ~TRefEditForm() override;

  TRefEditModel& Model() const { return *model_; }
  TMtTree* View(int Page) const { return trees_[static_cast<std::size_t>(Page)].get(); }
  QAction* Action(const char* name) const;
  // Enables the actions from the model's state (the only place that does).
  void UpdateActions();
  std::function<void(int Context)> OnHelp;

  // --- in-place editing
  // Starts editing the focused row's cell in the selected column, with Text typed into
  // it; false when the cell may not be edited.
  bool StartEdit(const QString& Text = {});
  // The active page's in-place editor while an edit runs, else nil.
  TEdit* Editor() const;

  QTabWidget* PageControl1;
  // Wraps onto a further line in a narrow window: every command stays in sight.
  TFlowToolBar* ToolBar1;
  QMenu* PopupMenu1;

 protected:
  void reject() override;

 private:
  void CreateActions();
  void CreateControls();
  void ConnectTree(int page);
  void NewAction(const char* name, const char* caption, const char* hint, void (TRefEditModel::*command)());
  void RunCommand(void (TRefEditModel::*command)());
  void PageChanged(int page);
  void TreeKeyDown(int page, std::uint16_t& key, TShiftState shift);
  void TreeKeyPress(int page, char& key);
  void TreeMouseDown(int page, int x, int y);
  // The tree shows the model's selected column as its cell cursor.
  void ShowSelectColumn(int page);
  void ShowNewRow(int page, TMtTreeItem* item);
  void ItemFocused(int page);

  // The trees are the controls; the model works on them and goes first.
  std::array<std::unique_ptr<TRefEditTree>, kRefEditPageCount> trees_;
  std::unique_ptr<TRefEditModel> model_;
  std::vector<QAction*> actions_;
};
