// The ration properties dialog TRaskladPropForm ("Свойства раскладки", help context
// 2200): the ration type on page "Общие" and the document's reference values on page
// "Справочные значения", a thin window over TRaskladPropModel. Execute applies the chosen
// type to the document only on OK.
#pragma once

#include <QDialog>
#include <functional>

#include "planner/ration/FrmRaskladPropModel.h"

class QPushButton;
class QRadioButton;
class QTabWidget;
class QTreeWidget;

inline constexpr int kRaskladPropHelpContext = 2200;

class TRaskladPropForm : public QDialog {
 public:
  explicit TRaskladPropForm(QWidget* parent = nullptr);

  // Loads the document into the dialog (radio choice and rows).
  void Prepare(const TRationDocument& Doc);
  // Shows the dialog modally for the document; on OK the chosen type goes to it. The
  // modal result; Changed tells whether the type changed.
  int Execute(TRationDocument& Doc, bool* Changed = nullptr);
  // After the dialog closed with OK: the chosen type into the document.
  bool ApplyTo(TRationDocument& Doc);
  const TRaskladPropModel& Model() const { return model_; }

  std::function<void(int Context)> OnHelp;

  QTabWidget* PageControl1;
  QRadioButton* rbDayMenu;
  QRadioButton* rbAverage;
  QTreeWidget* lvParams;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* btnHelp;

 private:
  void CreateControls();
  void ApplyModelState();

  TRaskladPropModel model_;
};
