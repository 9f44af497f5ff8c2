#include "platform/gui/StdCtrls.h"

#include <QAbstractItemView>

#include "platform/gui/Application.h"
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

template <class QtWidget>
bool TInputControl<QtWidget>::event(QEvent* e) {
  if (HandleWidgetEvent(e) || HandleClientEvent(e)) return true;
  return QtWidget::event(e);
}

template <class QtWidget>
void TInputControl<QtWidget>::DefaultKeyPress(QKeyEvent* e, bool keyKept, std::optional<char> before,
                                            std::optional<char> after) {
  PassKey(e, keyKept, before, after, [this](QKeyEvent* k) { QtWidget::keyPressEvent(k); });
}

template <class QtWidget>
void TInputControl<QtWidget>::FireChange() {
  GuardedCall(this, [this] {
    if (OnChange) OnChange(this);
  });
}

template class TInputControl<QLineEdit>;
template class TInputControl<QComboBox>;

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
