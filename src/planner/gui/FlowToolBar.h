// TFlowToolBar: a tool bar of text buttons that goes on on a further line when the window
// is too narrow for one, so that every command stays in sight (a QToolBar hides the ones
// that do not fit behind its extension button). Separators split the buttons into
// groups; a group that does not fit on the rest of a line starts the next one whole.
#pragma once

#include <QWidget>

class QAction;
class QToolButton;

class TFlowToolBar : public QWidget {
 public:
  explicit TFlowToolBar(QWidget* parent = nullptr);
  // A text button for the action (its caption, tool tip and enabled state).
  QToolButton* addAction(QAction* action);
  void addSeparator();
};
