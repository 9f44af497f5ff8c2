// Edit and combo boxes: the class library's key steps before the widget's own
// handling, keys kept from the parent, OnExit inside the window.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "platform/gui/Keyboard.h"
#include "platform/gui/StdCtrls.h"

namespace {

void Key(QWidget* w, int key, const char* text = "", Qt::KeyboardModifiers m = Qt::NoModifier) {
  QKeyEvent e(QEvent::KeyPress, key, m, QString::fromUtf8(text));
  QApplication::sendEvent(w, &e);
}

// A parent control (as a tree holding its in-place editor) that logs the keys it gets.
class Host : public TCustomControl {
 public:
  std::vector<std::uint16_t> keys;
  void KeyDown(std::uint16_t& k, TShiftState) override { keys.push_back(k); }
};

}  // namespace

TEST(EditBox, TypedKeysPassTheEntryPointsFirst) {
  Host host;
  TEdit edit(&host);
  std::vector<std::string> log;
  edit.OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) {
    log.push_back("down " + std::to_string(k));
    if (k == VK_RETURN) k = 0;  // Enter ends the edit; the box must not act on it
  };
  edit.OnKeyPress = [&](TObject*, char& c) {
    log.push_back("press " + std::to_string(static_cast<unsigned char>(c)));
    if (c == 'x') c = 0;    // eaten
    if (c == 'a') c = 'b';  // replaced
  };
  edit.SetText(Ansi("Сыр"));
  EXPECT_FALSE(edit.Modified());
  EXPECT_EQ(edit.Text(), Ansi("Сыр"));
  edit.end(false);
  Key(&edit, 0x0416, "ж");
  Key(&edit, Qt::Key_X, "x");
  Key(&edit, Qt::Key_A, "a");
  Key(&edit, Qt::Key_Return, "\r");
  Key(&edit, Qt::Key_Down);
  EXPECT_EQ(edit.Text(), Ansi("Сыржb"));
  EXPECT_TRUE(edit.Modified());
  const std::vector<std::string> expected = {"down 186", "press 230", "down 88", "press 120", "down 65",
                                             "press 97", "down 13", "press 13", "down 40"};
  EXPECT_EQ(log, expected);
  // Not even the keys the box ignores (Down) reach the host.
  EXPECT_TRUE(host.keys.empty());
  // Editing keys still work: Backspace removes the last letter.
  Key(&edit, Qt::Key_Backspace, "\b");
  EXPECT_EQ(edit.Text(), Ansi("Сырж"));
  // A character posted to the box is typed into it.
  PostKeyPress(&edit, Ansi("ё")[0]);
  QApplication::processEvents();
  EXPECT_EQ(edit.Text(), Ansi("Сыржё"));
}

TEST(EditBox, ExitWhenTheFocusMovesOnAndMouseStillReachesTheBox) {
  QWidget window;
  TEdit edit(&window), other(&window);
  edit.setGeometry(0, 0, 100, 20);
  other.setGeometry(0, 30, 100, 20);
  int exits = 0, downs = 0;
  edit.OnExit = [&](TObject*) { ++exits; };
  edit.OnMouseDown = [&](TObject*, TMouseButton, TShiftState, int, int) { ++downs; };
  window.show();
  QApplication::setActiveWindow(&window);
  other.SetFocus();  // the box had the focus first: this exit is counted
  EXPECT_EQ(exits, 1);
  exits = 0;
  edit.SetText(Ansi("Сыр плавленый"));
  const QPoint at(3, 5), global = edit.mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, at, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&edit, &press);
  QApplication::sendEvent(&edit, &release);
  QApplication::sendEvent(&edit, &dbl);
  EXPECT_EQ(downs, 2);  // the press and the double click's press step
  // The box itself got the double click too: it selected the word.
  EXPECT_EQ(edit.selectedText(), QString::fromUtf8("Сыр"));
  edit.SetFocus();
  EXPECT_EQ(exits, 0);
  other.SetFocus();
  EXPECT_EQ(exits, 1);
}

TEST(ComboBox, ListItemsIndexAndChangeByKey) {
  TComboBox combo(nullptr, TComboBoxStyle::csDropDownList);
  combo.SetItems({Ansi("Завтрак"), Ansi("Обед"), Ansi("Ужин")});
  combo.SetItemIndex(0);
  int changes = 0;
  std::vector<std::uint16_t> keys;
  combo.OnChange = [&](TObject*) { ++changes; };
  combo.OnKeyDown = [&](TObject*, std::uint16_t& k, TShiftState) { keys.push_back(k); };
  Key(&combo, Qt::Key_Down);
  EXPECT_EQ(combo.ItemIndex(), 1);
  EXPECT_EQ(combo.Text(), Ansi("Обед"));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(keys, std::vector<std::uint16_t>{VK_DOWN});
  EXPECT_EQ(combo.Items().size(), 3u);
  EXPECT_EQ(combo.Style(), TComboBoxStyle::csDropDownList);
  combo.SetText(Ansi("Ужин"));
  EXPECT_EQ(combo.ItemIndex(), 2);
}

TEST(ComboBox, TypingFiresOneChangeWhateverTheStyleWasSetTo) {
  TComboBox combo(nullptr, TComboBoxStyle::csDropDown);
  combo.SetStyle(TComboBoxStyle::csDropDownList);
  combo.SetStyle(TComboBoxStyle::csDropDown);
  combo.SetStyle(TComboBoxStyle::csDropDown);  // the same style again
  int changes = 0;
  combo.OnChange = [&](TObject*) { ++changes; };
  QKeyEvent key(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a");
  QApplication::sendEvent(&combo, &key);
  EXPECT_EQ(combo.Text(), "a");
  EXPECT_EQ(changes, 1);
}
