// The find dialog TFindDlg ("Поиск", help context 2300): a thin window over
// TFindDlgModel. Every control change goes to the model, ApplyModelState copies the
// model back into the controls, and OK closes the dialog only when the model's check
// passes (its message is shown and the named control focused otherwise). The ration
// window's find actions, ItemFindExecute and ItemFindNextExecute, run the dialog and the
// walk of TRationFinder, asking before each replacement through TReplaceConfirmDlg.
#pragma once

#include <QDialog>
#include <functional>

#include "planner/ration/FrmFindModel.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class IRefPicker;

inline constexpr int kFindHelpContext = 2300;

class TFindDlg : public QDialog {
 public:
  // The model, and the pick-list that chooses the replacement (nil: none can be
  // chosen), must outlive the dialog.
  explicit TFindDlg(TFindDlgModel& Model, IRefPicker* PickList = nullptr, QWidget* parent = nullptr);

  TFindDlgModel& Model() const { return model_; }
  // Shows the dialog modally: mrOk or mrCancel.
  int Execute();
  // Model -> controls: items, texts, visibility, enabled state and colours.
  void ApplyModelState();
  // Opens the help at the dialog's context (the program sets it; by default a message).
  std::function<void(int Context)> OnHelp;

  // --- handlers (component names as the form has them)
  void FormShow();
  void cbItemTypeChange();
  void cbFieldChange();
  void cbCondChange();
  void cbxReplaceClick();
  void cbRepItemButtonClick();
  void cbRepItemKeyDown(int Key);
  void Button1Click();  // OK
  void Button2Click();  // "Отказ"
  void btnHelpClick();

  QComboBox* cbItemType;
  QComboBox* cbField;
  QComboBox* cbCond;
  QLineEdit* edCondValue;
  QCheckBox* cbCaseSens;
  QCheckBox* cbxReplace;
  QLineEdit* cbRepItem;
  QToolButton* cbRepItemButton;
  QLabel* lblRepValue;
  QLineEdit* edRepValue;
  QGroupBox* rgRegion;
  QRadioButton* rbForward;
  QRadioButton* rbBackward;
  QPushButton* Button1;
  QPushButton* Button2;
  QPushButton* btnHelp;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void CreateControls();
  void ConnectEvents();
  // Controls -> model for the texts the user types.
  void ReadTexts();

  TFindDlgModel& model_;
  IRefPicker* pickList_;
  bool applying_ = false;
};

// The question before a replacement, as a message dialog with Yes, No, Cancel and Yes to
// all.
class TReplaceConfirmDlg : public IReplaceConfirm {
 public:
  TReplaceAnswer ConfirmReplace(const AnsiString& Msg) override;
};

// The ration window's "Поиск / замена": the dialog, then the walk from the focused item
// (or the first or last); the number of replacements, or "Не найдено.", as information.
// Returns the number of matches handled; -1 when the dialog was cancelled.
int ItemFindExecute(TFindDlg& Dialog, TRationFinder& Finder, IReplaceConfirm& Confirm);
// "Найти следующий": the walk from after the last found item with the last condition.
int ItemFindNextExecute(TRationFinder& Finder, IReplaceConfirm& Confirm);
