// The combo edit: a one-line edit with a small button at its right edge, and the
// directory edit, whose button opens the folder dialog and which takes folders dropped
// from the desktop.
//
//   DirectInput off     typing, deleting, cutting and pasting change nothing (the caret
//                       still shows); the button and ClickKey still work
//   ReadOnly            no typing and no button action unless AlwaysEnable
//   ClickKey            (Alt+Down) acts as a click on the button while it is wider than 0;
//                       OnKeyDown sees the key first; the key goes no further
//   Enter, Esc          the form's dialog keys (default and cancel buttons)
//   press on the button the edit takes the focus when it can, then the button's own
//                       handling; its click runs EditButtonClick
//   height              never below the smaller of the system font's and the control's
//                       text heights + 4 x the border + 1
//
// The directory edit's button: OnButtonClick; OnBeforeDialog (may cancel); the start
// folder (the text, else InitialDir, else the root; a folder that does not exist gives
// the root); the folder dialog; the focus back to the edit; OnAfterDialog; when chosen,
// the selection is removed and the folder replaces the text (or follows it after ";"
// with MultipleDirs) and becomes InitialDir. A drop takes the first name (every name
// with MultipleDirs) whole, a file giving its folder, then OnDropFiles.
#pragma once

#include <functional>

#include "controls/gui/FlatSpeedButton.h"
#include "controls/misc/ComboEditLayout.h"
#include "platform/gui/StdCtrls.h"

// The button of a combo edit: a speed button with the edit's left edge drawn on it.
class TEditButton : public TFlatSpeedButton {
 public:
  explicit TEditButton(QWidget* parent) : TFlatSpeedButton(parent) {}
  void Paint(TCanvas& canvas) override;
};

class TCustomComboEdit : public TEdit {
 public:
  explicit TCustomComboEdit(QWidget* parent = nullptr);

  TShortCut ClickKey = ShortCut(VK_DOWN, ssAlt);  // 0x8028
  bool DirectInput() const { return directInput_; }
  void SetDirectInput(bool v);
  bool ReadOnly() const { return readOnly_; }
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

  void KeyDown(std::uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void FontChanged() override;

 protected:
  // The picture of the default glyph kind (none here).
  virtual TBitmap GetButtonBitmap() const { return {}; }
  void resizeEvent(QResizeEvent* e) override;
  void ApplyGlyph();

 private:
  void Layout();
  TEditButton* button_;
  QWidget* container_;
  bool directInput_ = true, readOnly_ = false;
  int buttonWidth_ = 21;
  TGlyphKind glyphKind_ = TGlyphKind::gkCustom;
  TBitmap customGlyph_;
};

enum class TTextAlignment { taLeftJustify, taRightJustify, taCenter };

class TComboEdit : public TCustomComboEdit {
 public:
  explicit TComboEdit(QWidget* parent = nullptr) : TCustomComboEdit(parent) {}
  TTextAlignment Alignment() const { return alignment_; }
  void SetAlignment(TTextAlignment a);

 private:
  TTextAlignment alignment_ = TTextAlignment::taLeftJustify;
};

using TExecOpenDialogEvent = std::function<void(TObject* Sender, AnsiString& Name, bool& Action)>;

class TDirectoryEdit : public TCustomComboEdit {
 public:
  explicit TDirectoryEdit(QWidget* parent = nullptr);
  AnsiString DialogText;
  AnsiString InitialDir;
  bool MultipleDirs = false;
  TExecOpenDialogEvent OnBeforeDialog, OnAfterDialog;
  TNotifyEvent OnDropFiles;
  // The text with each folder in its long (or short) form.
  AnsiString GetLongName() const;
  AnsiString GetShortName() const;
  void ButtonClick() override;
  void DropFiles(const std::vector<AnsiString>& names) override;

 protected:
  TBitmap GetButtonBitmap() const override;
  virtual void ClearBeforeDrop() {}
};
