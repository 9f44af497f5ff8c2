// Window placement as the user meets it: a form restored from its section, shown and given
// its events, and what its next close stores. Shared by the offscreen tests and those
// on a real X server, where the window system has its own say in the window's state.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

#include "platform/core/Registry.h"
#include "platform/gui/Forms.h"

namespace placement_cases {

inline const TPlacementNames kReportNames{"XPosition", "YPosition", "Width", "Height", "Maximized", true};

// Lets the window system's answers come in (state changes and moves of a real server).
inline void Settle() {
  for (int i = 0; i < 20; ++i) QApplication::processEvents(QEventLoop::AllEvents, 20);
}

inline AnsiString Stored(const char* key, const char* name) {
  AnsiString v;
  return SettingsStore().ReadValue(key, name, v) ? v : AnsiString("(none)");
}

// A form that maximises itself when made, as the report preview does.
struct SelfMaximizing : TForm {
  SelfMaximizing() {
    resize(500, 400);
    SetWindowState(TWindowState::wsMaximized);
  }
};

// A section saved in the normal state reopens normal at its bounds, and the next close
// stores the normal state and the same bounds.
inline void NormalSectionReopensNormal(const char* key) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  const QRect saved(area.left() + 60, area.top() + 70, 420, 310);
  SettingsStore().WriteValue(key, "XPosition", std::to_string(saved.left()));
  SettingsStore().WriteValue(key, "YPosition", std::to_string(saved.top()));
  SettingsStore().WriteValue(key, "Width", "420");
  SettingsStore().WriteValue(key, "Height", "310");
  SettingsStore().WriteValue(key, "Maximized", "0");
  {
    SelfMaximizing form;
    EXPECT_TRUE(RestorePlacement(form, key, kReportNames));
    form.Show();
    Settle();
    EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
    EXPECT_FALSE(form.isMaximized());
    EXPECT_EQ(form.size(), saved.size());
    SavePlacement(form, key, kReportNames);
    form.Hide();
  }
  EXPECT_EQ(Stored(key, "Maximized"), "0");
  EXPECT_EQ(Stored(key, "Width"), "420");
  EXPECT_EQ(Stored(key, "Height"), "310");
}

// A section never saved leaves the form's own state (maximised); a section that says
// maximised maximises a form that is made normal.
inline void MaximizedStatesAreKept(const char* key) {
  {
    SelfMaximizing form;
    EXPECT_FALSE(RestorePlacement(form, key, kReportNames));
    form.Show();
    Settle();
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    SavePlacement(form, key, kReportNames);
    form.Hide();
  }
  EXPECT_EQ(Stored(key, "Maximized"), "1");
  {
    TForm form;
    form.resize(300, 200);
    EXPECT_TRUE(RestorePlacement(form, key, kReportNames));
    form.Show();
    Settle();
    EXPECT_EQ(form.WindowState(), TWindowState::wsMaximized);
    form.Hide();
  }
}

// Each bound is read on its own, with the window's current value as its default: a
// section holding only the size keeps the window where it stands.
inline void PartialSectionTakesWhatItHolds(const char* key) {
  SettingsStore().WriteValue(key, "Width", "333");
  SettingsStore().WriteValue(key, "Height", "222");
  SettingsStore().WriteValue(key, "Maximized", "0");
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  TForm form;
  form.setGeometry(area.left() + 30, area.top() + 40, 500, 400);
  EXPECT_TRUE(RestorePlacement(form, key, kReportNames));
  EXPECT_EQ(form.geometry(), QRect(area.left() + 30, area.top() + 40, 333, 222));
  form.Show();
  Settle();
  EXPECT_EQ(form.WindowState(), TWindowState::wsNormal);
  EXPECT_EQ(form.size(), QSize(333, 222));
  form.Hide();
}

}  // namespace placement_cases
