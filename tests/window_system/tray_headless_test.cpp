// Status icons on the headless window system: docking as hosts come and go,
// the scaled picture, the owner's callbacks with double clicks, the tooltip's
// delay, and the refusals of NotifyStatusIcon.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "window/tray.h"
#include "window/window_test_hooks.h"

namespace {

constexpr uint32_t kCallback = WM_USER + 1;
std::vector<LParam> g_mouse;

LResult OwnerProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m == kCallback && wp == 3) g_mouse.push_back(lp);
  return DefaultWindowProc(w, m, wp, lp);
}

class TrayHeadlessTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    RegisterWindowClass(WindowClass{"Owner", OwnerProc});
    owner_ = CreateSystemWindow(0, "Owner", "owner", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, 0, nullptr);
    g_mouse.clear();
    // A picture with one opaque green pixel at (0, 0), half-transparent red
    // at (15, 15), the rest transparent.
    picture_.assign(256, 0);
    picture_[0] = 0xFF00FF00;
    picture_[255] = 0x80FF0000;
  }
  void TearDown() override { ShutdownWindowSystem(); }

  NotifyIconRecord Record(const char* tip) {
    NotifyIconRecord r{};
    r.window = owner_;
    r.id = 3;
    r.flags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    r.callbackMessage = kCallback;
    r.icon = StatusIconPicture{16, 16, picture_.data()};
    snprintf(r.tip, sizeof r.tip, "%s", tip);
    return r;
  }
  StatusIconView View() {
    StatusIconView v;
    EXPECT_TRUE(GetStatusIconView(owner_, 3, &v));
    return v;
  }
  void Button(MouseButton b, bool down) {
    InjectStatusIconButton(owner_, 3, b, down);
    ProcessPendingMessages();
  }
  std::vector<LParam> Taken() {
    std::vector<LParam> taken = g_mouse;
    g_mouse.clear();
    return taken;
  }

  WindowHandle owner_ = nullptr;
  std::vector<uint32_t> picture_;
};

TEST_F(TrayHeadlessTest, DocksOnlyWhileAHostIsThereAndScalesByWholeSteps) {
  NotifyIconRecord r = Record("Plain tip");
  ASSERT_TRUE(NotifyStatusIcon(NIM_ADD, &r));
  EXPECT_FALSE(NotifyStatusIcon(NIM_ADD, &r));  // one icon per owner and id
  EXPECT_FALSE(IsStatusIconDocked(owner_, 3));
  InjectStatusIconButton(owner_, 3, MouseButton::kRight, false);  // nowhere to click
  ProcessPendingMessages();
  EXPECT_TRUE(g_mouse.empty());

  SetHeadlessTrayHost(true, 36);  // two whole steps fit, centred with 2 to spare
  ASSERT_TRUE(IsStatusIconDocked(owner_, 3));
  StatusIconView v = View();
  EXPECT_EQ(v.tip, "Plain tip");
  ASSERT_EQ(v.width, 36);
  ASSERT_EQ(v.pixels.size(), 36u * 36u);
  EXPECT_EQ(v.pixels[2 * 36 + 2], 0xFF00FF00u);
  EXPECT_EQ(v.pixels[3 * 36 + 3], 0xFF00FF00u);
  EXPECT_EQ(v.pixels[4 * 36 + 4], 0u);
  EXPECT_EQ(v.pixels[1 * 36 + 1], 0u);
  EXPECT_EQ(v.pixels[33 * 36 + 33], 0x80800000u);  // premultiplied
  EXPECT_EQ(v.pixels[34 * 36 + 34], 0u);
  EXPECT_EQ(v.rect.right - v.rect.left, 36);

  picture_[0] = 0xFF0000FF;
  r = Record("Changed tip");
  r.window = owner_;
  ASSERT_TRUE(NotifyStatusIcon(NIM_MODIFY, &r));
  EXPECT_EQ(View().tip, "Changed tip");
  EXPECT_EQ(View().pixels[2 * 36 + 2], 0xFF0000FFu);

  SetHeadlessTrayHost(false, 0);
  EXPECT_FALSE(IsStatusIconDocked(owner_, 3));
  SetHeadlessTrayHost(true, 16);
  EXPECT_TRUE(IsStatusIconDocked(owner_, 3));
  EXPECT_TRUE(NotifyStatusIcon(NIM_DELETE, &r));
  EXPECT_FALSE(NotifyStatusIcon(NIM_DELETE, &r));
  EXPECT_FALSE(NotifyStatusIcon(NIM_MODIFY, &r));
  NotifyIconRecord orphan = Record("x");
  orphan.window = nullptr;
  EXPECT_FALSE(NotifyStatusIcon(NIM_ADD, &orphan));
}

TEST_F(TrayHeadlessTest, OwnerHearsEveryButtonWithDoubleClicksInPlaceOfTheSecondPress) {
  NotifyIconRecord r = Record("Tip");
  ASSERT_TRUE(NotifyStatusIcon(NIM_ADD, &r));
  SetHeadlessTrayHost(true, 22);
  Button(MouseButton::kLeft, true);
  Button(MouseButton::kLeft, false);
  AdvanceHeadlessClock(300);
  Button(MouseButton::kLeft, true);
  Button(MouseButton::kLeft, false);
  EXPECT_EQ(Taken(), (std::vector<LParam>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
  // A third press soon after starts over; a slow second press is no double click.
  Button(MouseButton::kLeft, true);
  AdvanceHeadlessClock(501);
  Button(MouseButton::kLeft, true);
  Button(MouseButton::kRight, true);
  Button(MouseButton::kRight, false);
  Button(MouseButton::kRight, true);
  EXPECT_EQ(Taken(), (std::vector<LParam>{WM_LBUTTONDOWN, WM_LBUTTONDOWN, WM_RBUTTONDOWN,
                                          WM_RBUTTONUP, WM_RBUTTONDBLCLK}));
}

TEST_F(TrayHeadlessTest, TooltipShowsAfterThePointerRestsAndGoesWhenItLeaves) {
  NotifyIconRecord r = Record("Resting tip");
  ASSERT_TRUE(NotifyStatusIcon(NIM_ADD, &r));
  SetHeadlessTrayHost(true, 22);
  InjectMouseMove(1000, 760);
  ProcessPendingMessages();
  InjectStatusIconHover(owner_, 3, true);
  ProcessPendingMessages();
  EXPECT_EQ(Taken(), std::vector<LParam>{WM_MOUSEMOVE});
  AdvanceHeadlessClock(499);
  ProcessPendingMessages();
  EXPECT_FALSE(View().tipShown);
  AdvanceHeadlessClock(1);
  ProcessPendingMessages();
  ASSERT_TRUE(View().tipShown);
  // The tip stays on the screen although the pointer sits in its corner.
  WindowHandle tip = WindowFromPoint(WinPoint{1000, 740});
  ASSERT_NE(tip, nullptr);
  WinRect rect{};
  GetWindowRect(tip, &rect);
  EXPECT_LE(rect.right, 1024);
  EXPECT_LE(rect.bottom, 760);
  EXPECT_GT(rect.right - rect.left, 40);
  WindowPixels shot;
  ASSERT_TRUE(CaptureWindowPixels(tip, &shot));
  EXPECT_EQ(shot.At(0, 0), 0x000000u);   // frame
  EXPECT_EQ(shot.At(1, 1), 0xFFFFE1u);   // background
  bool text = false;
  for (int32_t y = 1; y + 1 < shot.height; ++y) {
    for (int32_t x = 1; x + 1 < shot.width; ++x) text = text || shot.At(x, y) != 0xFFFFE1u;
  }
  EXPECT_TRUE(text);

  InjectStatusIconHover(owner_, 3, false);
  ProcessPendingMessages();
  EXPECT_FALSE(View().tipShown);
  InjectStatusIconHover(owner_, 3, true);
  InjectStatusIconButton(owner_, 3, MouseButton::kLeft, true);  // a press drops a pending tip
  AdvanceHeadlessClock(600);
  ProcessPendingMessages();
  EXPECT_FALSE(View().tipShown);
}

TEST(StatusIconPicture, BlendsOverTheHostsBackgroundWhenItHasNoAlphaVisual) {
  std::vector<uint32_t> picture{0x80FF0000, 0x00000000, 0xFF00FF00, 0x40000000};
  std::vector<uint32_t> background(9, 0x0000FF);
  std::vector<uint32_t> out = ScaleStatusIconPicture(picture, 2, 2, 3, 3, background.data());
  // One whole step fits: the picture sits at (0, 0); the rest is background.
  EXPECT_EQ(out[0], 0xFF80007Fu);
  EXPECT_EQ(out[1], 0xFF0000FFu);
  EXPECT_EQ(out[3], 0xFF00FF00u);
  EXPECT_EQ(out[4], 0xFF0000BFu);
  EXPECT_EQ(out[8], 0xFF0000FFu);
}

}  // namespace
