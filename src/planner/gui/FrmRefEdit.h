// TRefEditForm ("Редактирование справочников", help context 2240): the reference
// editor's window over TRefEditModel. Five pages, each a tree view of the model's tree;
// the actions (object names as the form has them) run one model command each and take
// their enabled state from the model; a cell is edited in place by a line edit over it,
// started by Enter or a typed character the model allows, and committed through the
// model's check (Enter, Up, Down or leaving it) or dropped (Esc). Closing asks the
// model's close question.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "planner/reference/FrmRefEditModel.h"

class QAction;
class QLineEdit;
class QTabWidget;
class QToolBar;
class TRowTreeView;
class IRefPicker;

inline constexpr int kRefEditHelpContext = 2240;

class TRefEditForm : public QDialog {
 public:
  // The limits, prompt and pick-list (nil: no components can be added) must outlive the
  // window. The tables are read at once.
  TRefEditForm(const AnsiString& RefDir, TRationLimits& Limits, IUserPrompt& Prompt, IRefPicker* PickList,
               QWidget* parent = nullptr);
  ~TRefEditForm() override;

  TRefEditModel& Model() const { return *model_; }
  TRowTreeView* View(int Page) const { return views_[static_cast<std::size_t>(Page)]; }
  QAction* Action(const char* name) const;
  // Enables the actions from the model's state (the only place that does).
  void UpdateActions();
  std::function<void(int Context)> OnHelp;

  // --- in-place editing
  // Starts editing the focused row's cell in the selected column, with Text typed into
  // it; false when the cell may not be edited.
  bool StartEdit(const QString& Text = {});
  // Ends the running edit: committed through the model's check, or dropped; true when no
  // edit stays open (a refused text keeps the editor open with the cell's old text).
  bool EndEdit(bool Commit);
  QLineEdit* Editor() const { return editor_; }

  QTabWidget* PageControl1;
  QToolBar* ToolBar1;

 protected:
  void reject() override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateActions();
  void CreateControls();
  void ConnectEvents();
  void NewAction(const char* name, const char* caption, const char* hint, void (TRefEditModel::*command)());
  void RunCommand(void (TRefEditModel::*command)());
  void PageChanged(int page);
  bool TreeKey(int page, QKeyEvent* e);
  void RefreshView(int page);
  void ShowSelectColumn(int page);
  // The view column of a section and back (hidden sections have none).
  int ColumnOfSection(int page, int section) const;
  int SectionOfColumn(int page, int column) const;

  std::unique_ptr<TRefEditModel> model_;
  std::array<TRowTreeView*, kRefEditPageCount> views_{};
  std::array<std::vector<int>, kRefEditPageCount> columnSections_;
  std::vector<QAction*> actions_;
  QLineEdit* editor_ = nullptr;
  TMtTreeItem* editedItem_ = nullptr;
  int editedSection_ = -1;
  bool ending_ = false;
};
