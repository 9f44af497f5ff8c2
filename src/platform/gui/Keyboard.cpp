#include "platform/gui/Keyboard.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QWidget>
#include <array>
#include <map>

#include "platform/core/AnsiText.h"

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers m, Qt::MouseButtons b) {
  TShiftState s = 0;
  if (m & Qt::ShiftModifier) s |= ssShift;
  if (m & Qt::ControlModifier) s |= ssCtrl;
  if (m & Qt::AltModifier) s |= ssAlt;
  if (b & Qt::LeftButton) s |= ssLeft;
  if (b & Qt::RightButton) s |= ssRight;
  if (b & Qt::MiddleButton) s |= ssMiddle;
  return s;
}

namespace {

// The keys of the Russian layout: lower-case letter (Unicode) -> key code.
const std::map<char32_t, std::uint16_t>& RussianLayout() {
  static const std::map<char32_t, std::uint16_t> layout = [] {
    std::map<char32_t, std::uint16_t> m;
    const char32_t* letters = U"йцукенгшщзхъфывапролджэячсмитьбюё";
    const std::uint16_t keys[] = {'Q', 'W', 'E', 'R', 'T', 'Y', 'U', 'I', 'O', 'P', VK_OEM_4, VK_OEM_6,
                                  'A', 'S', 'D', 'F', 'G', 'H', 'J', 'K', 'L', VK_OEM_1, VK_OEM_7,
                                  'Z', 'X', 'C', 'V', 'B', 'N', 'M', VK_OEM_COMMA, VK_OEM_PERIOD, VK_OEM_3};
    for (int i = 0; letters[i]; ++i) m[letters[i]] = keys[i];
    return m;
  }();
  return layout;
}

// X11 (evdev) key codes of the main block -> key code of the US layout.
std::uint16_t FromX11KeyCode(quint32 code) {
  static const std::map<quint32, std::uint16_t> codes = [] {
    std::map<quint32, std::uint16_t> m;
    const char* row1 = "1234567890";
    for (int i = 0; i < 10; ++i) m[10 + i] = static_cast<std::uint16_t>(row1[i]);
    m[20] = VK_OEM_MINUS;
    m[21] = VK_OEM_PLUS;
    const char* row2 = "QWERTYUIOP";
    for (int i = 0; i < 10; ++i) m[24 + i] = static_cast<std::uint16_t>(row2[i]);
    m[34] = VK_OEM_4;
    m[35] = VK_OEM_6;
    const char* row3 = "ASDFGHJKL";
    for (int i = 0; i < 9; ++i) m[38 + i] = static_cast<std::uint16_t>(row3[i]);
    m[47] = VK_OEM_1;
    m[48] = VK_OEM_7;
    m[49] = VK_OEM_3;
    m[51] = VK_OEM_5;
    const char* row4 = "ZXCVBNM";
    for (int i = 0; i < 7; ++i) m[52 + i] = static_cast<std::uint16_t>(row4[i]);
    m[59] = VK_OEM_COMMA;
    m[60] = VK_OEM_PERIOD;
    m[61] = VK_OEM_2;
    return m;
  }();
  const auto it = codes.find(code);
  return it != codes.end() ? it->second : 0;
}

struct KeyPair {
  int qt;
  std::uint16_t vk;
};

constexpr std::array<KeyPair, 37> kNamedKeys{{
    {Qt::Key_Backspace, VK_BACK}, {Qt::Key_Tab, VK_TAB}, {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN}, {Qt::Key_Enter, VK_RETURN}, {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU}, {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL}, {Qt::Key_Escape, VK_ESCAPE}, {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR}, {Qt::Key_PageDown, VK_NEXT}, {Qt::Key_End, VK_END}, {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT}, {Qt::Key_Up, VK_UP}, {Qt::Key_Right, VK_RIGHT}, {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Print, VK_SNAPSHOT}, {Qt::Key_Insert, VK_INSERT}, {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_Help, VK_HELP}, {Qt::Key_Meta, VK_LWIN}, {Qt::Key_Menu, VK_APPS}, {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_NumLock, VK_NUMLOCK}, {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Semicolon, VK_OEM_1}, {Qt::Key_Colon, VK_OEM_1}, {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA}, {Qt::Key_Less, VK_OEM_COMMA}, {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD}, {Qt::Key_Greater, VK_OEM_PERIOD},
}};

constexpr std::array<KeyPair, 16> kMoreKeys{{
    {Qt::Key_Slash, VK_OEM_2}, {Qt::Key_Question, VK_OEM_2}, {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_AsciiTilde, VK_OEM_3}, {Qt::Key_BracketLeft, VK_OEM_4}, {Qt::Key_BraceLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5}, {Qt::Key_Bar, VK_OEM_5}, {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_BraceRight, VK_OEM_6}, {Qt::Key_Apostrophe, VK_OEM_7}, {Qt::Key_QuoteDbl, VK_OEM_7},
    {Qt::Key_Minus, VK_OEM_MINUS}, {Qt::Key_Plus, VK_OEM_PLUS}, {Qt::Key_Asterisk, '8'},
    {Qt::Key_Exclam, '1'},
}};

// Shifted digits of the US layout.
constexpr std::array<KeyPair, 8> kShiftedDigits{{
    {Qt::Key_At, '2'}, {Qt::Key_NumberSign, '3'}, {Qt::Key_Dollar, '4'}, {Qt::Key_Percent, '5'},
    {Qt::Key_AsciiCircum, '6'}, {Qt::Key_Ampersand, '7'}, {Qt::Key_ParenLeft, '9'}, {Qt::Key_ParenRight, '0'},
}};

std::uint16_t KeypadKey(int key) {
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<std::uint16_t>(VK_NUMPAD0 + (key - Qt::Key_0));
  switch (key) {
    case Qt::Key_Asterisk: return VK_MULTIPLY;
    case Qt::Key_Plus: return VK_ADD;
    case Qt::Key_Minus: return VK_SUBTRACT;
    case Qt::Key_Slash: return VK_DIVIDE;
    case Qt::Key_Period:
    case Qt::Key_Comma: return VK_DECIMAL;
    default: return 0;
  }
}

}  // namespace

std::uint16_t VirtualKeyFromQt(int key, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode) {
  if (modifiers & Qt::KeypadModifier) {
    if (const std::uint16_t vk = KeypadKey(key)) return vk;
  }
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return static_cast<std::uint16_t>(key);
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return static_cast<std::uint16_t>(key);
  if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return static_cast<std::uint16_t>(VK_F1 + (key - Qt::Key_F1));
  for (const KeyPair& k : kNamedKeys)
    if (k.qt == key) return k.vk;
  // Characters of another layout: the physical key decides when the platform says
  // which one it is; Cyrillic letters otherwise through the Russian layout.
  if (nativeScanCode != 0 && QGuiApplication::platformName() == QLatin1String("xcb")) {
    if (const std::uint16_t vk = FromX11KeyCode(nativeScanCode)) return vk;
  }
  if (key >= 0x400 && key <= 0x4FF) {
    const char32_t lower = cp::Ansi1251ToUnicode(cp::AnsiLower(cp::UnicodeTo1251(static_cast<char32_t>(key))));
    const auto it = RussianLayout().find(lower);
    if (it != RussianLayout().end()) return it->second;
  }
  for (const KeyPair& k : kMoreKeys)
    if (k.qt == key) return k.vk;
  for (const KeyPair& k : kShiftedDigits)
    if (k.qt == key) return k.vk;
  return 0;
}

int QtKeyFromVirtualKey(std::uint16_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return vk;
  if (vk >= VK_F1 && vk <= VK_F12) return Qt::Key_F1 + (vk - VK_F1);
  if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) return Qt::Key_0 + (vk - VK_NUMPAD0);
  switch (vk) {
    case VK_MULTIPLY: return Qt::Key_Asterisk;
    case VK_ADD: return Qt::Key_Plus;
    case VK_SUBTRACT: return Qt::Key_Minus;
    case VK_DIVIDE: return Qt::Key_Slash;
    case VK_DECIMAL: return Qt::Key_Period;
    default: break;
  }
  for (const KeyPair& k : kNamedKeys)
    if (k.vk == vk) return k.qt;
  for (const KeyPair& k : kMoreKeys)
    if (k.vk == vk) return k.qt;
  return Qt::Key_unknown;
}

TKeyInfo TranslateKeyEvent(const QKeyEvent& e) {
  TKeyInfo info;
  info.Key = VirtualKeyFromQt(e.key(), e.modifiers(), e.nativeScanCode());
  info.Shift = ShiftStateFromQt(e.modifiers());
  // With Alt alone a key types nothing (the system makes it a menu key); Ctrl+Alt is
  // AltGr and types.
  const bool menuKey = (e.modifiers() & Qt::AltModifier) && !(e.modifiers() & Qt::ControlModifier);
  const QString text = menuKey ? QString() : e.text();
  if (text.size() == 1 || (text.size() == 2 && text.at(0).isHighSurrogate())) {
    const char32_t u = text.size() == 1 ? text.at(0).unicode() : QChar::surrogateToUcs4(text.at(0), text.at(1));
    if (u != 0x7F) info.Char = static_cast<char>(cp::UnicodeTo1251(u, '?'));
  }
  return info;
}

namespace {

Qt::KeyboardModifiers ModifiersOf(TShiftState shift) {
  Qt::KeyboardModifiers m;
  if (shift & ssShift) m |= Qt::ShiftModifier;
  if (shift & ssCtrl) m |= Qt::ControlModifier;
  if (shift & ssAlt) m |= Qt::AltModifier;
  return m;
}

}  // namespace

void PostKeyDown(QWidget* target, std::uint16_t vk, TShiftState shift) {
  if (!target) return;
  Qt::KeyboardModifiers m = ModifiersOf(shift);
  if ((vk >= VK_NUMPAD0 && vk <= VK_DIVIDE)) m |= Qt::KeypadModifier;
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, QtKeyFromVirtualKey(vk), m));
}

void PostKeyPress(QWidget* target, char ch1251) {
  if (!target) return;
  const char32_t u = cp::Ansi1251ToUnicode(static_cast<unsigned char>(ch1251));
  QString text = QString::fromUcs4(&u, 1);
  // Qt::Key_unknown with a text: the receiving window sees the character alone.
  QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text));
}
