// The class library's edit box and combo box on Qt's input widgets, with the
// class-library entry points and events of every control (keys with virtual-key
// codes and 1251 characters, OnExit when the focus moves on inside the window).
// Their keys never reach the parent control. No context menu pops up.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <vector>

#include "platform/gui/Controls.h"

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
