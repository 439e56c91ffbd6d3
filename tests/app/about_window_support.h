// The About window on the headless window system, driven from inside its
// own modal loop: each step runs from a timer, which the loop only takes
// once the input of the step before has been handled.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "app/about_window.h"
#include "window/window_test_hooks.h"
#include "ui/controls/button.h"
#include "ui/controls/link.h"
#include "ui/framework/gui_window.h"
#include "window/builtin/system_controls.h"

// Rectangles as (left, top, width x height) in these tests.
inline bool operator==(const WinRect& a, const WinRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline std::ostream& operator<<(std::ostream& os, const WinRect& r) {
  return os << "(" << r.left << ", " << r.top << ", " << r.right << " x " << r.bottom << ")";
}

inline std::vector<std::function<void()>> g_steps;
inline size_t g_next = 0;

inline LResult StepProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m == WM_TIMER) {
    KillTimer(w, 1);
    if (g_next < g_steps.size()) {
      g_steps[g_next++]();
      if (g_next < g_steps.size()) SetTimer(w, 1, 1);
    }
    return 0;
  }
  return DefaultWindowProc(w, m, wp, lp);
}

inline Icon* MakeIcon(uint32_t colour) {
  Image* image = NewImage(16, 16);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) *PixelAddress(image, x, y) = 0xFF000000 | colour;
  }
  Icon* icon = CreateIconFromImages(image, nullptr);
  FreeImage(&image);
  return icon;
}

inline WinRect RectIn(WindowHandle window, WindowHandle top) {
  WinRect r{}, t{};
  GetWindowRect(window, &r);
  GetWindowRect(top, &t);
  return WinRect{r.left - t.left, r.top - t.top, r.right - r.left, r.bottom - r.top};
}

class AboutWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    ASSERT_TRUE(StartSystemControls());
    InitGuiToolkit(nullptr);
    RegisterLinkClass();
    RegisterButtonClass();
    RegisterWindowClass(WindowClass{"Steps", StepProc});
    steps_ = CreateSystemWindow(0, "Steps", "", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, 0, nullptr);
    owner_ = CreateSystemWindow(0, "Steps", "Owner", WS_OVERLAPPED | WS_VISIBLE, 10, 10, 300, 200,
                                nullptr, 0, nullptr);
    for (int i = 0; i < 4; ++i) icons_[i] = MakeIcon(0x102030u * uint32_t(i + 1));
    g_steps.clear();
    g_next = 0;
    CloseRequested = false;
  }
  void TearDown() override {
    CloseAboutWindow();
    for (Icon*& icon : icons_) DestroyIcon(&icon);
    StopSystemControls();
    ReleaseGuiToolkit();
    ShutdownWindowSystem();
  }

  // Opens the window with `steps` run inside its loop; returns when it closed.
  void Run(std::vector<std::function<void()>> steps) {
    g_steps = std::move(steps);
    g_next = 0;
    SetTimer(steps_, 1, 1);
    EXPECT_EQ(OpenAboutWindow(owner_, icons_[0], icons_[1], icons_[2], icons_[3]), 1);
    EXPECT_EQ(g_next, g_steps.size()) << "the window closed before every step ran";
  }
  static WindowHandle About() { return AboutWindow != nullptr ? AboutWindow->hwnd : nullptr; }
  static WindowHandle Child(int32_t id) { return FindChildById(About(), id); }
  static void Key(uint32_t key) {
    InjectKey(key, true);
    InjectKey(key, false);
  }
  static void ClickOn(WindowHandle window) {
    WinRect r{};
    GetWindowRect(window, &r);
    InjectMouseMove(r.left + 5, r.top + 5);
    InjectMouseButton(MouseButton::kLeft, true);
    InjectMouseButton(MouseButton::kLeft, false);
  }
  WindowHandle steps_ = nullptr, owner_ = nullptr;
  Icon* icons_[4] = {};
};
