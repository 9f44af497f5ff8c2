// The class library's standard controls on Qt's widgets: edit, memo, combo and spin
// boxes, buttons, check boxes and labels, with the class-library entry points and
// events of every control (keys with virtual-key codes and 1251 characters, OnExit
// when the focus moves on inside the window). Their keys never reach the parent
// control. No context menu pops up.
//
// Change events (OnChange) come from the user's edits, not from the program's SetText
// or SetValue. A check box's OnClick fires on every change of its state, also one the
// program makes (as the class library's does); a button's Click sets its form's
// ModalResult to the button's before OnClick.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <vector>

#include "platform/core/MsgDlg.h"

#include "platform/gui/Controls.h"

// An edit whose widget carries this property (true) takes no typing: the edit actions
// neither cut from it nor paste into it (the combo edit without DirectInput).
inline constexpr const char* kNoTypingProperty = "twNoTyping";

// The part common to the input controls: the Qt widget handles the mouse and the keys
// after the class-library steps ran. A key zeroed in KeyDown is not acted on (a
// character it types still arrives, as the system's character message does); a
// character zeroed in KeyPress is not typed; a changed character is typed instead.
template <class QtWidget>
class TInputControl : public QtWidget, public TWinControl {
 public:
  explicit TInputControl(QWidget* parent);
  // Fired when the user changes the text or picks an item.
  TNotifyEvent OnChange;
  void FontChanged() override;
  void ColorChanged() override;

 protected:
  bool event(QEvent* e) override;
  bool WidgetHandlesInput() const override { return true; }
  void DefaultKeyPress(QKeyEvent* e, bool keyKept, std::optional<char> before, std::optional<char> after) override;
  void FireChange();

 private:
  // The widget itself left the last key to its parent (Enter or Esc in a line edit).
  bool keyLeftToParent_ = false;
};

class TEdit : public TInputControl<QLineEdit> {
 public:
  explicit TEdit(QWidget* parent = nullptr);

  AnsiString Text() const;
  void SetText(const AnsiString& text);
  bool Modified() const { return isModified(); }
  void SetModified(bool v) { setModified(v); }
  void SelectAll() { selectAll(); }
  bool ReadOnly() const { return isReadOnly(); }
  void SetReadOnly(bool v) { setReadOnly(v); }
};

enum class TComboBoxStyle { csDropDown, csDropDownList };

class TComboBox : public TInputControl<QComboBox> {
 public:
  explicit TComboBox(QWidget* parent = nullptr, TComboBoxStyle style = TComboBoxStyle::csDropDown);

  TComboBoxStyle Style() const { return isEditable() ? TComboBoxStyle::csDropDown : TComboBoxStyle::csDropDownList; }
  void SetStyle(TComboBoxStyle style);
  // The list.
  std::vector<AnsiString> Items() const;
  void SetItems(const std::vector<AnsiString>& items);
  void AddItem(const AnsiString& item);
  int ItemIndex() const { return currentIndex(); }
  void SetItemIndex(int i) { setCurrentIndex(i); }
  AnsiString Text() const;
  void SetText(const AnsiString& text);
  int DropDownCount() const { return maxVisibleItems(); }
  void SetDropDownCount(int n) { setMaxVisibleItems(n); }
};

// A memo: several lines of text; Text() joins them with CR LF. Enter makes a new line
// (WantReturns; with it off Enter is the form's dialog key).
class TMemo : public TInputControl<QPlainTextEdit> {
 public:
  explicit TMemo(QWidget* parent = nullptr);
  AnsiString Text() const;
  void SetText(const AnsiString& text);
  bool WordWrap() const { return lineWrapMode() != QPlainTextEdit::NoWrap; }
  void SetWordWrap(bool wrap);
  bool ReadOnly() const { return isReadOnly(); }
  void SetReadOnly(bool v) { setReadOnly(v); }
  bool WantReturns() const { return wantReturns_; }
  void SetWantReturns(bool v);
  bool Modified() const { return document()->isModified(); }
  void SetModified(bool v) { document()->setModified(v); }

 private:
  bool wantReturns_ = true;
  bool setting_ = false;
};

// A spin edit of int32 values. MinValue = MaxValue (the default 0, 0) means no limit
// but the int32 range. A text that is not a number is read as MinValue when the focus
// leaves (after the correction, OnExit fires).
class TSpinEdit : public TInputControl<QSpinBox> {
 public:
  explicit TSpinEdit(QWidget* parent = nullptr);
  int Value() const { return value(); }
  void SetValue(int v);
  int MinValue() const { return minValue_; }
  int MaxValue() const { return maxValue_; }
  void SetRange(int minValue, int maxValue);
  int Increment() const { return singleStep(); }
  void SetIncrement(int step) { setSingleStep(step); }
  void DoExit() override;

 private:
  int minValue_ = 0, maxValue_ = 0;
  bool setting_ = false;
};

class TButton : public TInputControl<QPushButton> {
 public:
  explicit TButton(QWidget* parent = nullptr, const AnsiString& caption = {});
  AnsiString Caption() const { return FromButtonText(text()); }
  void SetCaption(const AnsiString& caption);
  TModalResult ModalResult = mrNone;
  // Enter clicks the default button of the form, Esc the cancel button.
  bool Default() const { return isDefault(); }
  void SetDefault(bool v) { setDefault(v); }
  bool Cancel() const;
  void SetCancel(bool v);
  void Click() override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;

 private:
  static AnsiString FromButtonText(const QString& s);
};

enum class TCheckBoxState { cbUnchecked, cbChecked, cbGrayed };

class TCheckBox : public TInputControl<QCheckBox> {
 public:
  explicit TCheckBox(QWidget* parent = nullptr, const AnsiString& caption = {});
  AnsiString Caption() const;
  void SetCaption(const AnsiString& caption);
  bool Checked() const { return isChecked(); }
  void SetChecked(bool v) { setChecked(v); }
  TCheckBoxState State() const;
  void SetState(TCheckBoxState state);
  bool AllowGrayed() const { return isTristate(); }
  void SetAllowGrayed(bool v) { setTristate(v); }
  void Click() override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
};

// A label: its caption ("&x" marks no accelerator here; "&&" is "&"), clicks with
// OnClick, any cursor (the about box's links take the hand).
class TLabel : public QLabel, public TWinControl {
 public:
  explicit TLabel(QWidget* parent = nullptr, const AnsiString& caption = {});
  AnsiString Caption() const { return caption_; }
  void SetCaption(const AnsiString& caption);
  bool WordWrap() const { return wordWrap(); }
  void SetWordWrap(bool v) { setWordWrap(v); }
  // Sizes the label to its text (the class library's AutoSize).
  void AdjustSize();
  void FontChanged() override;

 protected:
  bool event(QEvent* e) override;

 private:
  AnsiString caption_;
};

// Text without the "&" accelerator marks ("&&" gives "&").
AnsiString StripHotkey(const AnsiString& caption);
// Whether `c` is the caption's accelerator, the character after a single "&" (1251,
// without regard to case).
bool IsAccelerator(char c, const AnsiString& caption);

// A field shows what a 1251 text will keep of what was typed (As1251): what the code
// page cannot hold is replaced where it stands, the cursor staying in place. For the
// handlers of user edits.
void KeepAs1251(QLineEdit* edit);
void KeepAs1251(QPlainTextEdit* edit);
