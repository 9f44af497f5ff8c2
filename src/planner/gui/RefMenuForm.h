// TRefMenuForm, the pick-list window: the four reference trees on hidden-tab pages with
// OK, "Отказ" and "Справка". The model (TRefMenu) decides what may be picked and collects
// the picks; the window runs the modal loop for it. Tests replace the modal loop with a
// script (OnScript) that clicks in the trees as a user would.
#pragma once

#include <QDialog>
#include <array>
#include <functional>
#include <memory>

#include "planner/reference/RefMenu.h"

class QTabWidget;
class TRowTreeView;

class TRefMenuForm : public QDialog {
 public:
  TRefMenuForm(const AnsiString& refDir, IUserPrompt& prompt, QWidget* parent = nullptr);
  ~TRefMenuForm() override;

  TRefMenu& Menu() { return *menu_; }
  TRowTreeView* View(int treePage) const { return views_[static_cast<std::size_t>(treePage)]; }
  // Runs instead of the modal loop when set: the script's answer is the modal result.
  std::function<TModalResult(TRefMenuForm& form, int page)> OnScript;
  // Opens help at a context (the frame's help window).
  std::function<void(int context)> OnHelp;

  void done(int result) override;

 private:
  TModalResult ShowModal(int page, const AnsiString& caption);

  std::array<std::unique_ptr<TCustomMtTree>, kRefPageCount> trees_;
  std::array<TRowTreeView*, kRefPageCount> views_{};
  std::unique_ptr<TRefMenu> menu_;
  QTabWidget* PageControl1 = nullptr;
  int helpContext_ = 2230;
};
