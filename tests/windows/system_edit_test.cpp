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
#include "platform/text.h"
#include "support/wait.h"
#include "window/builtin/system_controls.h"

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

// Runs the message loop until `done` holds or 30 seconds pass (Wine on a
// loaded machine may take seconds).
template <typename Done>
bool PumpUntil(Done done) {
  return WaitUntil([&] {
    ProcessPendingMessages();
    return done();
  });
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

  // The program's text is the ANSI code page: a name in it shows as its
  // characters in the control, and what is typed comes back in it.
  SettingsLoading = true;
  SetWindowTextOf(c.servingField, "C:\\Caf\xE9 \x80");
  SettingsLoading = false;
  wchar_t wide[64] = {};
  GetWindowTextW(field, wide, 64);
  EXPECT_EQ(std::wstring(wide), L"C:\\Caf\u00E9 \u20AC");
  SendMessageA(field, EM_SETSEL, 6, 6);
  INPUT typed[2] = {};
  typed[0].type = typed[1].type = INPUT_KEYBOARD;
  typed[0].ki.wScan = typed[1].ki.wScan = 0xE9;
  typed[0].ki.dwFlags = KEYEVENTF_UNICODE;
  typed[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
  SendInput(2, typed, sizeof(INPUT));
  EXPECT_TRUE(PumpUntil([&] { return GetWindowTextString(c.servingField) == "C:\\Caf\xE9\xE9 \x80"; }))
      << GetWindowTextString(c.servingField);
  // Enter and Escape in a field type nothing and leave it as it was; the
  // caret stays after the typed "é".
  Press(VK_RETURN);
  Press(VK_ESCAPE);
  Press('Z');
  EXPECT_TRUE(PumpUntil([&] { return GetWindowTextString(c.servingField) == "C:\\Caf\xE9z\xE9 \x80"; }))
      << GetWindowTextString(c.servingField);
  SettingsLoading = true;
  SetWindowTextOf(c.servingField, "C:\\siteq");
  SettingsLoading = false;

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

// Text drawn and measured by GDI is the ANSI code page too: 0x80 is the
// euro sign of 1252 (not a control character), and "\xC3\xA9" is two
// characters, not UTF-8's "é".
TEST(SystemEditOnWindows, DrawnTextIsReadInTheAnsiCodePage) {
  ASSERT_EQ(GetACP(), 1252u) << "the expected widths below are those of code page 1252";
  FontHandle font = CreateTextFont("Tahoma", -12, 400);
  ASSERT_NE(font, nullptr);
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT native = CreateFontW(-12, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Tahoma");
  HGDIOBJ old = SelectObject(dc, native);
  auto wide_width = [&](const wchar_t* text) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    return static_cast<int32_t>(size.cx);
  };
  auto width = [&](const char* text) {
    int32_t w = 0, h = 0;
    EXPECT_TRUE(GetTextExtent(font, text, -1, &w, &h));
    return w;
  };
  EXPECT_EQ(width("\x80"), wide_width(L"\u20AC"));
  EXPECT_EQ(width("Caf\xC3\xA9"), wide_width(L"Caf\u00C3\u00A9"));
  EXPECT_NE(width("Caf\xC3\xA9"), wide_width(L"Caf\u00E9"));
  SelectObject(dc, old);
  DeleteObject(native);
  DeleteDC(dc);
  DeleteTextFont(&font);
}

}  // namespace
