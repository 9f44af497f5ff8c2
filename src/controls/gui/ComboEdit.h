// The combo edit: a one-line edit with a small button at its right edge, and the
// directory edit, whose button opens the folder dialog and which takes folders dropped
// from the desktop.
//
//   DirectInput off     typing, deleting, cutting, pasting (also the middle button's
//                       paste of the selection) and dropping text change
//                       nothing (the caret still shows), and tabbing into the edit does
//                       not select its text; the button and ClickKey still work
//   disabled            the text is drawn grey (the system's grey text colour), unless
//                       the background already is that grey
//   entering            (not with the mouse) selects the text where typing is allowed;
//                       the caret is 1 pixel wide, 2 with a bold font
//   ReadOnly            the text as without DirectInput, and no button action unless
//                       AlwaysEnable
//   ClickKey            (Alt+Down) acts as a click on the button while it is wider than 0;
//                       OnKeyDown sees the key first; the key goes no further
//   Enter, Esc          the form's dialog keys (default and cancel buttons)
//   press on the button the edit takes the focus when it can, then the button's own
//                       handling; its click runs EditButtonClick
//   height              never below the smaller of the system font's and the control's
//                       text heights + 4 x the border + 1
//
// A popup (a drop-down window a subclass attaches; none in this program's edits): the
// button, or ClickKey, opens it under the edit with the text as its value (above the
// edit when there is no room below) unless the edit is read-only, and closes it again
// taking its value; Enter closes it taking the value, Esc closes it without. A value
// taken goes into the text when CanAcceptPopup allows it. Without a popup every popup
// operation does nothing, GetPopupValue gives "" and CanAcceptPopup true.
//
// TFileDirEdit is the layer of the edits that name files or folders: the shared default
// picture ("FEDITBMP"), files dropped from the desktop (ClearBeforeDrop, then each name
// taken by AcceptDroppedPath: the first only, or all when the edit takes several, then
// OnDropFiles) and the dialog events.
//
// The directory edit's button: OnButtonClick; OnBeforeDialog (may cancel); the start
// folder (the text, else InitialDir, else the root; a folder that does not exist gives
// the root); the folder dialog (the folder browser with DialogText for dkWin32, the
// class library's folder dialog with DialogOptions for dkLibrary); the focus back to the edit; OnAfterDialog; when chosen,
// the selection is removed and the folder replaces the text (or follows it after ";"
// with MultipleDirs) and becomes InitialDir. A drop takes the first name (every name
// with MultipleDirs) whole, a file giving its folder, then OnDropFiles.
#pragma once

#include <functional>

#include "controls/gui/BrowseFolderDlg.h"
#include "controls/gui/FlatSpeedButton.h"
#include "controls/misc/ComboEditLayout.h"
#include "platform/gui/StdCtrls.h"

// The button of a combo edit: a speed button with the edit's left edge drawn on it.
class TEditButton : public TFlatSpeedButton {
 public:
  explicit TEditButton(QWidget* parent) : TFlatSpeedButton(parent) {}
  void Paint(TCanvas& canvas) override;
};

// A drop-down window of a combo edit (not owned by it).
class TComboPopup {
 public:
  virtual ~TComboPopup() = default;
  // Shows it with its top-left at `at` (screen coordinates).
  virtual void Show(TPoint at) = 0;
  virtual void Hide() = 0;
  virtual int Height() const = 0;
  virtual AnsiString Value() const = 0;
  virtual void SetValue(const AnsiString& value) = 0;
};

class TCustomComboEdit : public TEdit {
 public:
  explicit TCustomComboEdit(QWidget* parent = nullptr);

  TShortCut ClickKey = ShortCut(VK_DOWN, ssAlt);  // 0x8028
  bool DirectInput() const { return directInput_; }
  void SetDirectInput(bool v);
  bool ReadOnly() const { return GetReadOnly(); }
  void SetReadOnly(bool v);
  bool AlwaysEnable = false;
  int ButtonWidth() const { return buttonWidth_; }
  void SetButtonWidth(int w);
  AnsiString ButtonHint() const { return button_->Hint; }
  void SetButtonHint(const AnsiString& hint) { button_->Hint = hint; }
  TGlyphKind GlyphKind() const { return glyphKind_; }
  void SetGlyphKind(TGlyphKind kind);
  void SetGlyph(const TBitmap& glyph);
  int NumGlyphs() const { return button_->NumGlyphs(); }
  void SetNumGlyphs(int n) { button_->SetNumGlyphs(n); }
  int HelpContext = 0;
  TEditButton* Button() const { return button_; }
  // Typing may change the text (DirectInput on, ReadOnly off).
  bool TypingAllowed() const { return directInput_ && !readOnly_; }
  int MinHeight() const;

  TNotifyEvent OnButtonClick;
  // Same as a click on the button.
  void DoClick() { EditButtonClick(); }
  void EditButtonClick();
  virtual void ButtonClick();

  bool PopupVisible() const { return popupVisible_; }
  // Closes the popup; with `accept` its value goes into the edit (AcceptPopupValue)
  // when CanAcceptPopup allows it.
  void PopupCloseUp(bool accept);

  void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void FontChanged() override;

 protected:
  // The picture of the default glyph kind (none here).
  virtual TBitmap GetButtonBitmap() const { return {}; }
  // The popup operations; a subclass with a drop-down window sets it with SetPopup.
  void SetPopup(TComboPopup* popup) { popup_ = popup; }
  TComboPopup* Popup() const { return popup_; }
  virtual void DropDownPopup();
  virtual void ShowPopupAt(TPoint at);
  virtual void HidePopup();
  virtual bool CanAcceptPopup(const AnsiString& value) const;
  // Takes a value of the popup: the text becomes it, then PopupValueChanged.
  virtual void AcceptPopupValue(const AnsiString& value);
  virtual void SetPopupValue(const AnsiString& value);
  virtual AnsiString GetPopupValue() const;
  // The text has taken a value of the popup.
  virtual void PopupValueChanged() {}
  virtual bool GetReadOnly() const { return readOnly_; }
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void DoEnter() override;
  void dragEnterEvent(QDragEnterEvent* e) override;
  void dragMoveEvent(QDragMoveEvent* e) override;
  void dropEvent(QDropEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void ApplyGlyph();

 private:
  void Layout();
  TEditButton* button_;
  QWidget* container_;
  bool directInput_ = true, readOnly_ = false;
  int buttonWidth_ = 21;
  TGlyphKind glyphKind_ = TGlyphKind::gkCustom;
  TBitmap customGlyph_;
  TComboPopup* popup_ = nullptr;
  bool popupVisible_ = false;
  bool entering_ = false;  // the focus arriving enters the edit
};

class TComboEdit : public TCustomComboEdit {
 public:
  explicit TComboEdit(QWidget* parent = nullptr) : TCustomComboEdit(parent) {}
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment a);

 private:
  TAlignment alignment_ = TAlignment::taLeftJustify;
};

using TExecOpenDialogEvent = std::function<void(TObject* Sender, AnsiString& Name, bool& Action)>;

class TFileDirEdit : public TCustomComboEdit {
 public:
  explicit TFileDirEdit(QWidget* parent = nullptr);
  TExecOpenDialogEvent OnBeforeDialog, OnAfterDialog;
  TNotifyEvent OnDropFiles;
  // The text with each name in its long (or short) form.
  virtual AnsiString GetLongName() const = 0;
  virtual AnsiString GetShortName() const = 0;
  void DropFiles(const std::vector<AnsiString>& names) override;

 protected:
  // "FEDITBMP", made once and shared by every such edit.
  TBitmap GetButtonBitmap() const override;
  virtual void ClearBeforeDrop() {}
  // Takes one dropped name into the text.
  virtual void AcceptDroppedPath(const AnsiString& path) = 0;
  // Whether a drop takes every name (else the first only).
  virtual bool TakesSeveralDrops() const { return false; }
};

// dkWin32: the folder browser; dkLibrary: the class library's folder dialog.
enum class TDirDialogKind { dkLibrary, dkWin32 };

class TDirectoryEdit : public TFileDirEdit {
 public:
  explicit TDirectoryEdit(QWidget* parent = nullptr) : TFileDirEdit(parent) {}
  TDirDialogKind DialogKind = TDirDialogKind::dkWin32;
  TSelectDirOpts DialogOptions = 0;
  AnsiString DialogText;
  AnsiString InitialDir;
  bool MultipleDirs = false;
  AnsiString GetLongName() const override;
  AnsiString GetShortName() const override;
  void ButtonClick() override;

 protected:
  void AcceptDroppedPath(const AnsiString& path) override;
  bool TakesSeveralDrops() const override { return MultipleDirs; }
};
