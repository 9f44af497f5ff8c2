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
class TMtTree;

class TRefMenuForm : public QDialog {
 public:
  TRefMenuForm(const AnsiString& refDir, IUserPrompt& prompt, QWidget* parent = nullptr);
  ~TRefMenuForm() override;

  TRefMenu& Menu() { return *menu_; }
  TMtTree* View(int treePage) const { return trees_[static_cast<std::size_t>(treePage)].get(); }
  // Runs instead of the modal loop when set: the script's answer is the modal result.
  std::function<TModalResult(TRefMenuForm& form, int page)> OnScript;
  // Opens help at a context (the frame's help window).
  std::function<void(int context)> OnHelp;

  void done(int result) override;

 private:
  TModalResult ShowModal(int page, const AnsiString& caption);

  // The trees are the controls; the pick-list model works on them and goes first.
  std::array<std::unique_ptr<TMtTree>, kRefPageCount> trees_;
  std::unique_ptr<TRefMenu> menu_;
  QTabWidget* PageControl1 = nullptr;
  int helpContext_ = 2230;
};
