#include "platform/gui/StdCtrls.h"

#include <QAbstractItemView>
#include <QDialog>
#include <QSignalBlocker>
#include <QTextBlock>
#include <QTextCursor>
#include <QTreeWidget>
#include <algorithm>
#include <climits>

#include "platform/gui/Application.h"
#include "platform/gui/Forms.h"
#include "platform/gui/QtGraphics.h"

namespace {

// Gives an input widget the key after the entry points ran: the original event while
// nothing changed, else the (changed) character alone, or nothing.
template <typename Handle>
void PassKey(QKeyEvent* e, bool keyKept, std::optional<char> before, std::optional<char> after, Handle handle) {
  if (keyKept && before == after) {
    handle(e);
  } else if (after && *after != 0) {
    const char32_t u = cp::Ansi1251ToUnicode(static_cast<unsigned char>(*after));
    QKeyEvent typed(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromUcs4(&u, 1));
    handle(&typed);
  }
}

void ApplyLook(QWidget& w, const TFont& font, TColor color) {
  w.setFont(ToQFont(font));
  QPalette pal = w.palette();
  pal.setColor(QPalette::Text, ToQColor(font.Color));
  pal.setColor(QPalette::Base, ToQColor(color));
  w.setPalette(pal);
}

}  // namespace

template <class QtWidget>
TInputControl<QtWidget>::TInputControl(QWidget* parent) : QtWidget(parent), TWinControl(*this, *this) {
  this->setFocusPolicy(Qt::StrongFocus);
  this->setAttribute(Qt::WA_OpaquePaintEvent, false);
  SetColor(clWindow);
  ApplyLook(*this, Font(), Color());
}

template <class QtWidget>
void TInputControl<QtWidget>::FontChanged() {
  ApplyLook(*this, Font(), Color());
}

template <class QtWidget>
void TInputControl<QtWidget>::ColorChanged() {
  ApplyLook(*this, Font(), Color());
}

namespace {

// Enter and Esc that an input control leaves alone go on to a Qt dialog, which presses its
// default or cancel button with them. The kit's forms take their dialog keys before any
// control sees them.
bool IsDialogKey(const QKeyEvent* e) {
  const int key = e->key();
  return (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) &&
         (e->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
}

}  // namespace

template <class QtWidget>
bool TInputControl<QtWidget>::event(QEvent* e) {
  keyLeftToParent_ = false;
  if (HandleWidgetEvent(e) || HandleClientEvent(e)) {
    if (e->type() == QEvent::KeyPress && keyLeftToParent_ && IsDialogKey(static_cast<QKeyEvent*>(e))) {
      QWidget* window = this->window();
      if (qobject_cast<QDialog*>(window) != nullptr && dynamic_cast<TForm*>(window) == nullptr) e->ignore();
    }
    return true;
  }
  return QtWidget::event(e);
}

template <class QtWidget>
void TInputControl<QtWidget>::DefaultKeyPress(QKeyEvent* e, bool keyKept, std::optional<char> before,
                                            std::optional<char> after) {
  PassKey(e, keyKept, before, after, [this, e](QKeyEvent* k) {
    k->accept();
    QtWidget::keyPressEvent(k);
    if (k == e) keyLeftToParent_ = !k->isAccepted();
  });
}

template <class QtWidget>
void TInputControl<QtWidget>::FireChange() {
  GuardedCall(this, [this] {
    if (OnChange) OnChange(this);
  });
}

template class TInputControl<QLineEdit>;
template class TInputControl<QComboBox>;
template class TInputControl<QPlainTextEdit>;
template class TInputControl<QSpinBox>;
template class TInputControl<QPushButton>;
template class TInputControl<QCheckBox>;
template class TInputControl<QTreeWidget>;

// ---------------------------------------------------------------------------------

TEdit::TEdit(QWidget* parent) : TInputControl<QLineEdit>(parent) {
  QObject::connect(this, &QLineEdit::textEdited, this, [this] { FireChange(); });
}

AnsiString TEdit::Text() const { return FromQString(text()); }
void TEdit::SetText(const AnsiString& t) { setText(ToQString(t)); }

// ---------------------------------------------------------------------------------

TComboBox::TComboBox(QWidget* parent, TComboBoxStyle style) : TInputControl<QComboBox>(parent) {
  setInsertPolicy(QComboBox::NoInsert);
  SetStyle(style);
  QObject::connect(this, &QComboBox::activated, this, [this] { FireChange(); });
}

void TComboBox::SetStyle(TComboBoxStyle style) {
  const bool editable = style == TComboBoxStyle::csDropDown;
  // The same style again keeps the line edit and its connection.
  if (editable == isEditable()) return;
  setEditable(editable);
  if (QLineEdit* edit = lineEdit()) {
    edit->setContextMenuPolicy(Qt::PreventContextMenu);
    QObject::connect(edit, &QLineEdit::textEdited, this, [this] { FireChange(); });
  }
}

std::vector<AnsiString> TComboBox::Items() const {
  std::vector<AnsiString> out;
  for (int i = 0; i < count(); ++i) out.push_back(FromQString(itemText(i)));
  return out;
}

void TComboBox::SetItems(const std::vector<AnsiString>& items) {
  clear();
  for (const AnsiString& s : items) addItem(ToQString(s));
}

void TComboBox::AddItem(const AnsiString& item) { addItem(ToQString(item)); }
AnsiString TComboBox::Text() const { return FromQString(currentText()); }

void TComboBox::SetText(const AnsiString& text) {
  if (isEditable()) setEditText(ToQString(text));
  else setCurrentIndex(findText(ToQString(text)));
}

// ---------------------------------------------------------------------------------

AnsiString StripHotkey(const AnsiString& caption) {
  AnsiString out;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == '&') {
      if (i + 1 < caption.size() && caption[i + 1] == '&') out += '&', ++i;
      continue;
    }
    out += caption[i];
  }
  return out;
}

bool IsAccelerator(char c, const AnsiString& caption) {
  for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] != '&')
      return cp::AnsiUpper(static_cast<unsigned char>(caption[i + 1])) == cp::AnsiUpper(static_cast<unsigned char>(c));
    ++i;  // "&&" is a plain "&"
  }
  return false;
}

// ---------------------------------------------------------------------------------

TMemo::TMemo(QWidget* parent) : TInputControl<QPlainTextEdit>(parent) {
  setProperty(kWantsDialogKeysProperty, true);
  setContextMenuPolicy(Qt::PreventContextMenu);
  QObject::connect(this, &QPlainTextEdit::textChanged, this, [this] {
    if (!setting_) FireChange();
  });
}

AnsiString TMemo::Text() const {
  AnsiString out;
  for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
    if (b != document()->begin()) out += "\r\n";
    out += FromQString(b.text());
  }
  return out;
}

void TMemo::SetText(const AnsiString& text) {
  AnsiString plain;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      plain += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      plain += text[i];
    }
  }
  setting_ = true;
  setPlainText(ToQString(plain));
  setting_ = false;
}

void TMemo::SetWordWrap(bool wrap) { setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap); }

void TMemo::SetWantReturns(bool v) {
  wantReturns_ = v;
  setProperty(kWantsDialogKeysProperty, v);
}

// ---------------------------------------------------------------------------------

TSpinEdit::TSpinEdit(QWidget* parent) : TInputControl<QSpinBox>(parent) {
  setRange(INT_MIN, INT_MAX);
  setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
  setKeyboardTracking(true);
  QObject::connect(this, &QSpinBox::valueChanged, this, [this] {
    if (!setting_) FireChange();
  });
}

void TSpinEdit::SetValue(int v) {
  setting_ = true;
  setValue(v);
  setting_ = false;
}

void TSpinEdit::SetRange(int minValue, int maxValue) {
  minValue_ = minValue;
  maxValue_ = maxValue;
  setting_ = true;
  if (minValue == maxValue) setRange(INT_MIN, INT_MAX);
  else setRange(std::min(minValue, maxValue), std::max(minValue, maxValue));
  setting_ = false;
}

void TSpinEdit::DoExit() {
  // What was typed counts before the program hears of the exit; nothing sensible
  // typed gives MinValue.
  bool ok = false;
  const QString typed = cleanText().trimmed();
  const int v = typed.toInt(&ok);
  if (!ok) SetValue(minValue_);
  else if (v != value()) setValue(std::clamp(v, minimum(), maximum()));
  TInputControl<QSpinBox>::DoExit();
}

// ---------------------------------------------------------------------------------

TButton::TButton(QWidget* parent, const AnsiString& caption) : TInputControl<QPushButton>(parent) {
  setAutoDefault(false);
  SetColor(clBtnFace);
  SetCaption(caption);
  QObject::connect(this, &QPushButton::clicked, this, [this] { GuardedCall(this, [this] { Click(); }); });
}

AnsiString TButton::FromButtonText(const QString& s) { return FromQString(s); }

void TButton::SetCaption(const AnsiString& caption) { setText(ToQString(caption)); }

bool TButton::Cancel() const { return property(kCancelButtonProperty).toBool(); }
void TButton::SetCancel(bool v) { setProperty(kCancelButtonProperty, v); }

void TButton::Click() {
  if (TForm* form = TForm::ParentForm(this)) form->SetModalResult(ModalResult);
  TInputControl<QPushButton>::Click();
}

// The press and the release are Qt's: its clicked signal runs Click once.
void TButton::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

// ---------------------------------------------------------------------------------

TCheckBox::TCheckBox(QWidget* parent, const AnsiString& caption) : TInputControl<QCheckBox>(parent) {
  SetColor(clBtnFace);
  SetCaption(caption);
  QObject::connect(this, &QCheckBox::stateChanged, this, [this] {
    GuardedCall(this, [this] { TInputControl<QCheckBox>::Click(); });
  });
}

AnsiString TCheckBox::Caption() const { return FromQString(text()); }
void TCheckBox::SetCaption(const AnsiString& caption) { setText(ToQString(caption)); }

TCheckBoxState TCheckBox::State() const {
  switch (checkState()) {
    case Qt::Checked: return TCheckBoxState::cbChecked;
    case Qt::PartiallyChecked: return TCheckBoxState::cbGrayed;
    default: return TCheckBoxState::cbUnchecked;
  }
}

void TCheckBox::SetState(TCheckBoxState state) {
  if (state == TCheckBoxState::cbGrayed && !isTristate()) setTristate(true);
  setCheckState(state == TCheckBoxState::cbChecked   ? Qt::Checked
                : state == TCheckBoxState::cbGrayed ? Qt::PartiallyChecked
                                                    : Qt::Unchecked);
}

// A click toggles the box; the change of state fires OnClick.
void TCheckBox::Click() { toggle(); }

void TCheckBox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
  if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

// ---------------------------------------------------------------------------------

TLabel::TLabel(QWidget* parent, const AnsiString& caption) : QLabel(parent), TWinControl(*this, *this) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  SetColor(clBtnFace);
  FontChanged();
  SetCaption(caption);
}

void TLabel::SetCaption(const AnsiString& caption) {
  caption_ = caption;
  setText(ToQString(StripHotkey(caption)));
}

void TLabel::AdjustSize() { adjustSize(); }

void TLabel::FontChanged() {
  setFont(ToQFont(Font()));
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, ToQColor(Font().Color));
  setPalette(pal);
}

bool TLabel::event(QEvent* e) {
  if (HandleClientEvent(e)) return true;
  return QLabel::event(e);
}

void KeepAs1251(QLineEdit* edit) {
  const QString kept = As1251(edit->text());
  if (kept == edit->text()) return;
  const int pos = edit->cursorPosition();
  edit->setText(kept);
  edit->setModified(true);  // still the user's edit
  edit->setCursorPosition(std::min(pos, static_cast<int>(kept.size())));
}

void KeepAs1251(QPlainTextEdit* edit) {
  const QString kept = As1251(edit->toPlainText());
  if (kept == edit->toPlainText()) return;
  const QSignalBlocker quiet(edit);
  const int pos = edit->textCursor().position();
  edit->setPlainText(kept);
  QTextCursor cursor = edit->textCursor();
  cursor.setPosition(std::min(pos, static_cast<int>(kept.size())));
  edit->setTextCursor(cursor);
}
