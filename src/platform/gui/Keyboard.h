// Qt key and mouse events as the class library reports them: virtual-key codes, the
// shift state and the 1251 character a key types; posting keys to a window.
#pragma once

#include <QKeyEvent>
#include <optional>

#include "platform/core/Keys.h"

class QWidget;

// The shift state of keyboard modifiers and held mouse buttons.
TShiftState ShiftStateFromQt(Qt::KeyboardModifiers modifiers, Qt::MouseButtons buttons = Qt::NoButton);

// The virtual-key code of a Qt key. Keypad keys (KeypadModifier) give the VK_NUMPAD
// codes and VK_MULTIPLY, VK_ADD, VK_SUBTRACT, VK_DIVIDE, VK_DECIMAL; letters of the
// Russian layout give the code of the key that carries them (Ф -> 'A', as the
// system's keyboard does); `nativeScanCode` (an X11 key code) decides when present.
// 0 when the key has no code.
std::uint16_t VirtualKeyFromQt(int qtKey, Qt::KeyboardModifiers modifiers, quint32 nativeScanCode = 0);
// The Qt key for a virtual-key code (for posting keys); Qt::Key_unknown when none.
int QtKeyFromVirtualKey(std::uint16_t vk);

struct TKeyInfo {
  std::uint16_t Key = 0;           // virtual-key code, 0 for a character alone
  TShiftState Shift = 0;
  std::optional<char> Char;        // the 1251 character the key types ('?' outside 1251;
                                   // none with Alt held alone)
};
TKeyInfo TranslateKeyEvent(const QKeyEvent& e);

// Queue a key for a window, as posting a key-down or a character message does: the
// window gets it when the event loop next runs.
void PostKeyDown(QWidget* target, std::uint16_t vk, TShiftState shift = 0);
void PostKeyPress(QWidget* target, char ch1251);
