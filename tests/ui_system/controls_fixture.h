// A headless window system with the built-in controls registered and one
// top-level parent window that records what its children tell it and answers
// WM_CTLCOLORSTATIC with a brush of its own colour.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text.h"
#include "window/window_test_hooks.h"
#include "window/builtin/control_colors.h"
#include "window/builtin/system_controls.h"

struct ParentLog {
  std::vector<std::pair<int, int>> commands;  // (control id, notification code)
  int colour_queries = 0;
  SolidBrush* brush = nullptr;
  Color text_colour = 0;
  void (*on_timer)(WindowHandle parent) = nullptr;  // WM_TIMER of the parent
  int Count(int code) const {
    int n = 0;
    for (const auto& c : commands) n += c.second == code;
    return n;
  }
};

inline ParentLog g_parent_log;

inline LResult TestParentProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_COMMAND) {
    g_parent_log.commands.push_back({LoWord(wParam), HiWord(wParam)});
    return 0;
  }
  if (message == WM_TIMER && g_parent_log.on_timer) {
    KillTimer(window, wParam);
    g_parent_log.on_timer(window);
    return 0;
  }
  if (message == WM_CTLCOLORSTATIC && g_parent_log.brush) {
    ++g_parent_log.colour_queries;
    SetControlTextColor(reinterpret_cast<ControlColors*>(wParam), g_parent_log.text_colour);
    return reinterpret_cast<LResult>(g_parent_log.brush);
  }
  return DefaultWindowProc(window, message, wParam, lParam);
}

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    ASSERT_TRUE(StartSystemControls());
    g_parent_log = ParentLog{};
    WindowClass parent_class{"TestParent", TestParentProc};
    parent_class.background = 0xFFFFFF;
    ASSERT_TRUE(RegisterWindowClass(parent_class));
    parent_ = CreateSystemWindow(0, "TestParent", "Parent", WS_CAPTION | WS_SYSMENU, 100, 100, 420,
                                 200, nullptr, 0, nullptr);
    ASSERT_NE(parent_, nullptr);
    font_ = CreateTextFont("Tahoma", -12, 400);
    ASSERT_NE(font_, nullptr);
    ShowWindow(parent_, SW_SHOW);
    Pump();
  }
  void TearDown() override {
    DestroyWindow(parent_);
    StopSystemControls();
    ShutdownWindowSystem();
    DeleteTextFont(&font_);
    DeleteSolidBrush(&g_parent_log.brush);
  }

  WindowHandle MakeChild(const char* cls, const char* text, uint32_t style, uint32_t ex_style, int id,
                         int x, int y, int w, int h) {
    WindowHandle child = CreateSystemWindow(ex_style, cls, text, WS_CHILD | WS_VISIBLE | style, x, y,
                                            w, h, parent_, id, nullptr);
    EXPECT_NE(child, nullptr);
    SendWindowMessage(child, WM_SETFONT, reinterpret_cast<WParam>(font_), 0);
    Pump();
    return child;
  }

  static void Pump() {
    for (int i = 0; i < 50 && ProcessPendingMessages() > 0; ++i) {
    }
  }
  static void Chord(uint32_t modifier, uint32_t key) {
    InjectKey(modifier, true);
    InjectKey(key, true);
    InjectKey(key, false);
    InjectKey(modifier, false);
    Pump();
  }
  static void Press(uint32_t key) {
    InjectKey(key, true);
    InjectKey(key, false);
    Pump();
  }
  // Moves the pointer to client point (x, y) of `window`.
  static void PointAt(WindowHandle window, int x, int y) {
    WinPoint p{x, y};
    ClientToScreen(window, &p);
    InjectMouseMove(p.x, p.y);
  }
  static void Click(MouseButton button) {
    InjectMouseButton(button, true);
    InjectMouseButton(button, false);
    Pump();
  }

  WindowHandle parent_ = nullptr;
  FontHandle font_ = nullptr;
};
