// The options dialog TOptionsForm ("Параметры", help context 2250): a thin window over
// TOptionsModel. Show fills the controls from the settings; OK copies them into the
// settings and writes the settings store; Cancel drops the copy. The directory edits take
// no typing: a key or the button opens the folder dialog. The kind of trip is chosen in
// the pick-list.
#pragma once

#include <QDialog>
#include <functional>

#include "planner/app/FrmOptionsModel.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class IRefPicker;

inline constexpr int kOptionsHelpContext = 2250;

class TOptionsForm : public QDialog {
 public:
  // The pick-list (nil: no kind of trip can be chosen) must outlive the dialog.
  explicit TOptionsForm(IRefPicker* PickList = nullptr, QWidget* parent = nullptr);

  // Show: the working copy from the settings into the controls.
  void Prepare(const TAppSettings& Settings);
  // The dialog modally over the data module's settings; on OK they are changed and
  // saved. The modal result.
  int Execute(TdmGlobals& Globals);
  // OK: the controls into the settings; then the settings store is written (a failure is
  // shown; the settings stay changed for this run).
  void btnOkClick(TdmGlobals& Globals);
  // The controls into the working copy.
  void ReadControls();
  const TOptionsModel& Model() const { return model_; }

  std::function<void(int Context)> OnHelp;

  // --- handlers
  void DirectoryEditButtonClick(int Index);  // 0..2
  void ComboEdit1ButtonClick();
  void ComboEdit1KeyPress(unsigned char Key);

  QTabWidget* PageControl1;
  QLineEdit* DirectoryEdit[3];
  QToolButton* DirectoryButton[3];
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QCheckBox* CheckBox3;
  QRadioButton* RadioGroup1[2];
  QLineEdit* ComboEdit1;
  QToolButton* ComboEdit1Button;
  QSpinBox* SpinEdit1;
  QSpinBox* SpinEdit2;
  QLineEdit* Edit1;
  QPushButton* btnOk;
  QPushButton* btnCancel;
  QPushButton* Button3;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void ApplyModelState();

  TOptionsModel model_;
  IRefPicker* pickList_;
};
