// The main window on the USER32 window system: its folder fields and labels
// are the system's own EDIT and STATIC controls, with the toolkit's font and
// the field's length limit; a key typed through the system's input reaches
// the field, whose EN_CHANGE enables Apply, and Tab moves the toolkit's
// focus on without typing into the field.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "core/blocks.h"
#include "core/paths.h"
#include "ui/system/system_controls.h"

// After the program's headers: the system's define many of their names as macros.
#include <windows.h>

namespace {

std::string ClassOf(HWND hwnd) {
  char name[64] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

void Press(WORD key) {
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_KEYBOARD;
  input[0].ki.wVk = input[1].ki.wVk = key;
  input[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, input, sizeof(INPUT));
}

// Runs the message loop until `done` holds or five seconds pass.
template <typename Done>
bool PumpUntil(Done done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    ProcessPendingMessages();
    Sleep(10);
  }
  return done();
}

TEST(SystemEditOnWindows, FieldsAreSystemControlsThatTypingAndTabReach) {
  char* settings = nullptr;
  ASSERT_TRUE(GetProgramFilePath(&settings, kSettingsFileName));
  std::remove(settings);
  ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kWin32));
  ASSERT_TRUE(StartSystemControls());
  BuildApplicationWindow();
  ASSERT_NE(MainWindow, nullptr);
  ShowMainWindow(1);
  ProcessPendingMessages();
  const MainControls& c = Controls;
  ASSERT_FALSE(IsWindowEnabled(c.applyButton));

  // Focus given by the toolkit is the system's focus on the field.
  SetFocus(c.servingField);
  ProcessPendingMessages();
  HWND field = GetFocus();
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(_stricmp(ClassOf(field).c_str(), "EDIT"), 0) << ClassOf(field);
  EXPECT_EQ(GetDlgCtrlID(field), kServingFieldId);
  EXPECT_TRUE(GetWindowLongA(field, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
  EXPECT_TRUE(GetWindowLongA(field, GWL_STYLE) & ES_AUTOHSCROLL);
  EXPECT_EQ(SendMessageA(field, EM_GETLIMITTEXT, 0, 0), 259);
  HFONT font = reinterpret_cast<HFONT>(SendMessageA(field, WM_GETFONT, 0, 0));
  LOGFONTA face{};
  ASSERT_NE(font, nullptr);
  ASSERT_NE(GetObjectA(font, sizeof face, &face), 0);
  EXPECT_STREQ(face.lfFaceName, "Tahoma");

  HWND label = GetDlgItem(GetParent(field), kServingLabelId);
  ASSERT_NE(label, nullptr);
  EXPECT_EQ(_stricmp(ClassOf(label).c_str(), "STATIC"), 0) << ClassOf(label);
  char text[64] = {};
  GetWindowTextA(label, text, sizeof text);
  EXPECT_STREQ(text, "Serving Directory:");
  // The label takes the window's colours from its parent, not the button face
  // a STATIC paints on its own.
  RedrawWindow(label, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
  RECT labelRect{};
  GetClientRect(label, &labelRect);
  HDC dc = GetDC(label);
  COLORREF corner = GetPixel(dc, labelRect.right - 2, labelRect.bottom - 2);
  ReleaseDC(label, dc);
  EXPECT_EQ(corner, GetSysColor(COLOR_WINDOW));
  EXPECT_NE(GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_BTNFACE));

  // Text set by the program is the control's text, and back.
  SettingsLoading = true;
  SetWindowTextOf(c.servingField, "C:\\site");
  SettingsLoading = false;
  GetWindowTextA(field, text, sizeof text);
  EXPECT_STREQ(text, "C:\\site");
  EXPECT_FALSE(IsWindowEnabled(c.applyButton));

  // A typed key lands in the field and its change enables Apply.
  SendMessageA(field, EM_SETSEL, 7, 7);
  Press('Q');
  EXPECT_TRUE(PumpUntil([&] { return GetWindowTextString(c.servingField) == "C:\\siteq"; }))
      << GetWindowTextString(c.servingField);
  EXPECT_TRUE(IsWindowEnabled(c.applyButton));

  // Tab moves on to Browse, and no Tab character is typed.
  Press(VK_TAB);
  EXPECT_TRUE(PumpUntil([&] { return GetFocusWindow() == c.servingBrowse; }));
  EXPECT_NE(GetFocus(), field);
  EXPECT_EQ(GetWindowTextString(c.servingField), "C:\\siteq");

  ReleaseApplication();
  StopSystemControls();
  ShutdownWindowSystem();
  std::remove(settings);
  FreeAndClear(&settings);
}

}  // namespace
