// Qt keys as virtual-key codes and 1251 characters, and the order in which a control
// sees them.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>

#include "platform/gui/Controls.h"
#include "platform/gui/Keyboard.h"

TEST(KeyTranslation, VirtualKeyCodes) {
  struct Case {
    int key;
    Qt::KeyboardModifiers mods;
    std::uint16_t vk;
  };
  const Qt::KeyboardModifiers pad = Qt::KeypadModifier, none = Qt::NoModifier;
  const Case cases[] = {
      // Numeric keypad with Num Lock on, and its operators.
      {Qt::Key_0, pad, VK_NUMPAD0}, {Qt::Key_7, pad, VK_NUMPAD7}, {Qt::Key_Asterisk, pad, VK_MULTIPLY},
      {Qt::Key_Plus, pad, VK_ADD}, {Qt::Key_Minus, pad, VK_SUBTRACT}, {Qt::Key_Slash, pad, VK_DIVIDE},
      {Qt::Key_Period, pad, VK_DECIMAL}, {Qt::Key_Comma, pad, VK_DECIMAL}, {Qt::Key_Enter, pad, VK_RETURN},
      // Num Lock off: the keypad moves the cursor.
      {Qt::Key_Home, pad, VK_HOME}, {Qt::Key_Down, pad, VK_DOWN},
      // The same characters on the main block.
      {Qt::Key_Minus, none, VK_OEM_MINUS}, {Qt::Key_Plus, Qt::ShiftModifier, VK_OEM_PLUS},
      {Qt::Key_Asterisk, Qt::ShiftModifier, '8'}, {Qt::Key_7, none, '7'},
      {Qt::Key_A, none, 'A'}, {Qt::Key_Z, Qt::ControlModifier, 'Z'}, {Qt::Key_F5, none, VK_F5},
      {Qt::Key_Escape, none, VK_ESCAPE}, {Qt::Key_Return, none, VK_RETURN}, {Qt::Key_PageDown, none, VK_NEXT},
      {Qt::Key_PageUp, none, VK_PRIOR}, {Qt::Key_Insert, none, VK_INSERT}, {Qt::Key_Delete, none, VK_DELETE},
      {Qt::Key_Space, none, VK_SPACE}, {Qt::Key_Backspace, none, VK_BACK},
      // Russian layout: the key that carries the letter.
      {0x0424 /* Ф */, none, 'A'}, {0x0430 /* а */, none, 'F'}, {0x0419 /* Й */, none, 'Q'},
      {0x042F /* Я */, none, 'Z'}, {0x0425 /* Х */, none, VK_OEM_4}, {0x042E /* Ю */, none, VK_OEM_PERIOD},
      {0x0401 /* Ё */, none, VK_OEM_3}, {0x0416 /* Ж */, none, VK_OEM_1},
      {Qt::Key_unknown, none, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyFromQt(c.key, c.mods), c.vk) << std::hex << c.key;
  // Posting maps back.
  for (std::uint16_t vk : std::initializer_list<std::uint16_t>{VK_DOWN, VK_RETURN, VK_ESCAPE, VK_F2, 0x51, VK_MULTIPLY, VK_ADD})
    EXPECT_EQ(VirtualKeyFromQt(QtKeyFromVirtualKey(vk), vk >= VK_NUMPAD0 && vk <= VK_DIVIDE ? pad : none), vk) << vk;
}

TEST(KeyTranslation, CharactersIn1251) {
  struct Case {
    int key;
    const char* utf8;
    AnsiString expected;
  };
  const Case cases[] = {
      {0x0424, "ф", Ansi("ф")}, {0x042F, "Я", Ansi("Я")}, {0x0401, "ё", Ansi("ё")},
      {Qt::Key_A, "a", "a"}, {Qt::Key_Return, "\r", "\r"}, {Qt::Key_Escape, "\x1b", "\x1b"},
      {Qt::Key_Backspace, "\b", "\b"}, {Qt::Key_unknown, "€", "\x88"}, {Qt::Key_unknown, "№", "\xB9"},
      {Qt::Key_unknown, "中", "?"},
  };
  for (const Case& c : cases) {
    const QKeyEvent e(QEvent::KeyPress, c.key, Qt::NoModifier, QString::fromUtf8(c.utf8));
    const TKeyInfo info = TranslateKeyEvent(e);
    ASSERT_TRUE(info.Char.has_value()) << c.utf8;
    EXPECT_EQ(AnsiString(1, *info.Char), c.expected) << c.utf8;
  }
  // Alt alone makes a menu key that types nothing; Ctrl+Alt (AltGr) types.
  const QKeyEvent alt(QEvent::KeyPress, Qt::Key_F, Qt::AltModifier, "f");
  EXPECT_FALSE(TranslateKeyEvent(alt).Char.has_value());
  EXPECT_EQ(TranslateKeyEvent(alt).Key, 'F');
  EXPECT_EQ(TranslateKeyEvent(alt).Shift, TShiftState(ssAlt));
  const QKeyEvent altGr(QEvent::KeyPress, Qt::Key_E, Qt::AltModifier | Qt::ControlModifier, "€");
  EXPECT_EQ(TranslateKeyEvent(altGr).Char, std::optional<char>('\x88'));
  const QKeyEvent arrow(QEvent::KeyPress, Qt::Key_Down, Qt::ShiftModifier | Qt::ControlModifier);
  const TKeyInfo info = TranslateKeyEvent(arrow);
  EXPECT_FALSE(info.Char.has_value());
  EXPECT_EQ(info.Key, VK_DOWN);
  EXPECT_EQ(info.Shift, TShiftState(ssShift | ssCtrl));
}

namespace {

class KeyLog : public TCustomControl {
 public:
  std::vector<std::string> log;
  bool zeroKey = false;
  void KeyDown(std::uint16_t& Key, TShiftState Shift) override {
    log.push_back("down " + std::to_string(Key) + (Shift & ssShift ? " shift" : ""));
    if (zeroKey) Key = 0;
    TCustomControl::KeyDown(Key, Shift);
  }
  void KeyPress(char& Key) override {
    log.push_back("press " + std::to_string(static_cast<unsigned char>(Key)));
    TCustomControl::KeyPress(Key);
  }
  void KeyUp(std::uint16_t& Key, TShiftState Shift) override {
    log.push_back("up " + std::to_string(Key));
    TCustomControl::KeyUp(Key, Shift);
  }
};

void Send(QWidget* w, QEvent::Type type, int key, const char* text = "", bool autoRepeat = false,
          Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent e(type, key, mods, QString::fromUtf8(text), autoRepeat);
  QApplication::sendEvent(w, &e);
}

}  // namespace

TEST(ControlKeys, KeyDownThenKeyPressThenKeyUp) {
  KeyLog c;
  std::vector<std::string> events;
  c.OnKeyDown = [&](TObject* s, std::uint16_t& k, TShiftState) {
    EXPECT_EQ(s, &c);
    events.push_back("OnKeyDown " + std::to_string(k));
  };
  c.OnKeyPress = [&](TObject*, char& k) { events.push_back("OnKeyPress " + std::to_string(static_cast<unsigned char>(k))); };

  Send(&c, QEvent::KeyPress, 0x0416, "Ж", false, Qt::ShiftModifier);
  Send(&c, QEvent::KeyRelease, 0x0416, "Ж", true);   // auto-repeat release: dropped
  Send(&c, QEvent::KeyRelease, 0x0416, "Ж");
  Send(&c, QEvent::KeyPress, Qt::Key_Down);
  Send(&c, QEvent::KeyPress, Qt::Key_Asterisk, "*", false, Qt::KeypadModifier);
  const std::vector<std::string> expected = {"down 186 shift", "press 198", "up 186", "down 40", "down 106",
                                             "press 42"};
  EXPECT_EQ(c.log, expected);
  const std::vector<std::string> fired = {"OnKeyDown 186", "OnKeyPress 198", "OnKeyDown 40", "OnKeyDown 106",
                                          "OnKeyPress 42"};
  EXPECT_EQ(events, fired);

  // Zeroing the key in KeyDown does not stop the character (as with the system's
  // translated character messages).
  c.log.clear();
  c.zeroKey = true;
  Send(&c, QEvent::KeyPress, Qt::Key_A, "a");
  EXPECT_EQ(c.log, (std::vector<std::string>{"down 65", "press 97"}));
}

TEST(ControlKeys, TabMovesTheFocusUnlessTheControlWantsIt) {
  KeyLog c;
  Send(&c, QEvent::KeyPress, Qt::Key_Tab, "\t");
  EXPECT_TRUE(c.log.empty());
  c.WantTabs = true;
  Send(&c, QEvent::KeyPress, Qt::Key_Tab, "\t");
  EXPECT_EQ(c.log, (std::vector<std::string>{"down 9", "press 9"}));
}

TEST(PostedKeys, ArriveWithTheNextEventsAsKeyDownOrCharacterAlone) {
  KeyLog c;
  PostKeyDown(&c, VK_DOWN);
  PostKeyPress(&c, Ansi("ж")[0]);
  PostKeyDown(&c, VK_SUBTRACT);
  EXPECT_TRUE(c.log.empty());
  QApplication::processEvents();
  EXPECT_EQ(c.log, (std::vector<std::string>{"down 40", "press 230", "down 109"}));

  // Characters posted to an edit box land in its text.
  QLineEdit edit;
  for (char ch : Ansi("Рис 5")) PostKeyPress(&edit, ch);
  QApplication::processEvents();
  EXPECT_EQ(edit.text(), QString::fromUtf8("Рис 5"));
}
