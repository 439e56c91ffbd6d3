// A headless window system with the controls' classes registered and a
// top-level parent window that records what reaches it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "window/window_test_hooks.h"
#include "ui/controls/button.h"
#include "ui/controls/link.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"
#include "ui/framework/gui_window.h"

struct Received {
  uint32_t message;
  WParam wParam;
  LParam lParam;
};

// Messages worth recording: commands and the toolkit's notifications.
inline bool Recorded(uint32_t message) {
  return message == WM_COMMAND || (message >= TKM_ITEMCHOSEN && message <= TKM_POPUPCANCELLED) ||
         message == TKM_TABNEXT;
}

class ControlHarness : public testing::Test {
 protected:
  static std::vector<Received>* log;

  static LResult RecordingProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
    if (Recorded(message) && log != nullptr) log->push_back({message, wParam, lParam});
    return DefaultWindowProc(window, message, wParam, lParam);
  }

  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    log = &received_;
    WindowClass parentClass{};
    parentClass.name = "ControlsTestParent";
    parentClass.procedure = RecordingProc;
    parentClass.background = 0xFFFFFF;
    ASSERT_TRUE(RegisterWindowClass(parentClass));
    ASSERT_EQ(RegisterButtonClass(), 1);
    ASSERT_EQ(RegisterSelectorClass(nullptr), 1);
    ASSERT_EQ(RegisterPopupClass(nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(RegisterLinkClass(), 1);
    parent_ = CreateSystemWindow(0, "ControlsTestParent", "parent", WS_OVERLAPPED, 100, 100, 400,
                                 300, nullptr, 0, nullptr);
    ASSERT_NE(parent_, nullptr);
    ShowWindow(parent_, SW_SHOW);
    Pump();
  }

  void TearDown() override {
    ShutdownWindowSystem();
    log = nullptr;
  }

  WindowHandle Child(const char* className, const char* text, int32_t id, int32_t x, int32_t y,
                     int32_t w, int32_t h) {
    WindowHandle child = CreateSystemWindow(0, className, text, WS_CHILD | WS_VISIBLE, x, y, w, h,
                                            parent_, id, nullptr);
    Pump();
    return child;
  }

  static void Pump() {
    for (int i = 0; i < 50 && ProcessPendingMessages() > 0; ++i) {
    }
  }

  // Pointer actions at client point (x, y) of `window`.
  static void MoveTo(WindowHandle window, int32_t x, int32_t y) {
    WinPoint point{x, y};
    ClientToScreen(window, &point);
    InjectMouseMove(point.x, point.y);
    Pump();
  }
  static void Press(bool down) {
    InjectMouseButton(MouseButton::kLeft, down);
    Pump();
  }
  static void ClickAt(WindowHandle window, int32_t x, int32_t y) {
    MoveTo(window, x, y);
    Press(true);
    Press(false);
  }
  static void Key(uint32_t key) {
    InjectKey(key, true);
    InjectKey(key, false);
    Pump();
  }

  std::vector<Received> Taken(uint32_t message) const {
    std::vector<Received> out;
    for (const Received& r : received_)
      if (r.message == message) out.push_back(r);
    return out;
  }

  std::vector<Received> received_;
  WindowHandle parent_ = nullptr;
};
