// The planner's dialogs' common parts: the help button's action (the handler the program
// installs, its help window at the dialog's context, or, without one, a message that says
// no help is installed) and the OK / Отказ / Пояснить button row.
#pragma once

#include <functional>

class QBoxLayout;
class QPushButton;
class QWidget;

// The three buttons of a dialog, created on the parent and named btnOk, btnCancel and
// btnHelp; OK is the default. The row lays them out at the right.
struct TDialogButtons {
  QPushButton* Ok;
  QPushButton* Cancel;
  QPushButton* Help;
  QBoxLayout* Row;
};
TDialogButtons CreateDialogButtons(QWidget* parent);

void ShowDialogHelp(const std::function<void(int Context)>& OnHelp, int Context);
