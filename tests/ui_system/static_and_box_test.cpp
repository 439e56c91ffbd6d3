// STATIC in its parent's colours, and the message box: modal over its owner
// on the user-interface thread, and raised from another thread, which waits
// until the box is closed.
#include <atomic>
#include <thread>

#include "controls_fixture.h"
#include "image_dump.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/message_box_paint.h"
#include "window/window_test_hooks.h"
#include "support/wait.h"

namespace {

using StaticWindowTest = ControlsTest;

int InkColumnsLeft(const WindowPixels& shown, uint32_t background, int* right) {
  int left = shown.width;
  *right = -1;
  for (int y = 0; y < shown.height; ++y)
    for (int x = 0; x < shown.width; ++x)
      if ((shown.At(x, y) & 0xFFFFFFu) != background) left = std::min(left, x), *right = std::max(*right, x);
  return left;
}

TEST_F(StaticWindowTest, PaintsInTheParentsColoursAndFollowsItsText) {
  g_parent_log.brush = CreateSolidBrush(MakeColor(255, 255, 225));
  g_parent_log.text_colour = MakeColor(0, 0, 128);
  WindowHandle label = MakeChild(kStaticClassName, "Serving Directory:", SS_LEFT, 0, 5, 10, 10, 120, 25);
  WindowPixels shown;
  ASSERT_TRUE(CaptureWindowPixels(label, &shown));
  EXPECT_GT(g_parent_log.colour_queries, 0);
  uint32_t background = ColorToPixel(g_parent_log.brush->colour);
  EXPECT_EQ(shown.At(119, 24) & 0xFFFFFFu, background);
  int navy = 0;
  for (uint32_t p : shown.pixels) navy += (p & 0xFFFFFFu) == ColorToPixel(g_parent_log.text_colour);
  EXPECT_GT(navy, 10);

  EXPECT_EQ(SendWindowMessage(label, WM_SETTEXT, 0, reinterpret_cast<LParam>("PHP Directory:")), 1);
  Pump();
  EXPECT_EQ(GetWindowTextString(label), "PHP Directory:");
  WindowPixels renamed;
  ASSERT_TRUE(CaptureWindowPixels(label, &renamed));
  EXPECT_NE(renamed.pixels, shown.pixels);
}

TEST_F(StaticWindowTest, WrapsCentresAndDefaultsToTheFaceColour) {
  // Without an answer from the parent the face colour fills the control.
  WindowHandle note = MakeChild(kStaticClassName, "Thank you for using Ambrel HTTP Server.", SS_CENTER, 0,
                                6, 10, 10, 120, 60);
  WindowPixels shown;
  ASSERT_TRUE(CaptureWindowPixels(note, &shown));
  uint32_t face = ColorToPixel(GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(shown.At(0, 59) & 0xFFFFFFu, face);
  TextMetrics metrics{};
  ASSERT_TRUE(GetFontMetrics(font_, &metrics));
  // Two lines of ink: the text does not fit 120 pixels.
  auto row_has_ink = [&](int y0, int y1) {
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < shown.width; ++x)
        if ((shown.At(x, y) & 0xFFFFFFu) != face) return true;
    return false;
  };
  EXPECT_TRUE(row_has_ink(0, metrics.tmHeight));
  EXPECT_TRUE(row_has_ink(metrics.tmHeight, 2 * metrics.tmHeight));
  EXPECT_FALSE(row_has_ink(3 * metrics.tmHeight, 60));
  int right = 0;
  int left = InkColumnsLeft(shown, face, &right);
  // The widest line is centred: equal margins within a few pixels (glyphs'
  // side bearings and, with GDI's smoothing, a faint column past the advance).
  EXPECT_GT(left, 0);
  EXPECT_LE(std::abs(left - (119 - right)), 3);
}

// --- message box ---

class MessageBoxTest : public ControlsTest {};

WindowHandle ActiveBox() {
  WindowHandle active = GetActiveTopLevelWindow();
  return active && std::string(GetWindowClassName(active)) == kMessageBoxClassName ? active : nullptr;
}

// What the parent's timer saw while the box was up, and how it closed it.
struct BoxProbe {
  int mode = 0;  // 0 Enter, 1 Escape, 2 Space, 3 click on OK, 4 close box
  bool owner_enabled = true;
  std::string caption;
  WinRect box_rect{};
  WinRect owner_rect{};
};
BoxProbe g_probe;

void CloseTheBox(WindowHandle owner) {
  g_probe.owner_enabled = IsWindowEnabled(owner);
  WindowHandle box = ActiveBox();
  if (!box) return;  // the test fails on the probe; the box stays until shut-down
  g_probe.caption = GetWindowTextString(box);
  GetWindowRect(box, &g_probe.box_rect);
  GetWindowRect(owner, &g_probe.owner_rect);
  const uint32_t keys[] = {VK_RETURN, VK_ESCAPE, VK_SPACE};
  if (g_probe.mode < 3) {
    InjectKey(keys[g_probe.mode], true);
    InjectKey(keys[g_probe.mode], false);
  } else if (g_probe.mode == 3) {
    MessageBoxLayout layout = LayoutMessageBox("Settings could not be saved.", GetSystemControlFont());
    WinPoint p{(layout.button.left + layout.button.right) / 2, (layout.button.top + layout.button.bottom) / 2};
    ClientToScreen(box, &p);
    InjectMouseMove(p.x, p.y);
    InjectMouseButton(MouseButton::kLeft, true);
    InjectMouseButton(MouseButton::kLeft, false);
  } else {
    PostWindowMessage(box, WM_CLOSE, 0, 0);
  }
}

TEST_F(MessageBoxTest, ModalOverItsOwnerAndClosedByEveryWayOut) {
  for (int mode = 0; mode < 5; ++mode) {
    g_probe = BoxProbe{};
    g_probe.mode = mode;
    g_parent_log.on_timer = CloseTheBox;
    SetTimer(parent_, 99, 50);
    ShowOwnedMessageBox(parent_, "Settings could not be saved.", "Error", MessageBoxIcon::kError);
    // Returned: the box is gone and the owner takes input again.
    EXPECT_FALSE(g_probe.owner_enabled) << mode;
    EXPECT_TRUE(IsWindowEnabled(parent_)) << mode;
    EXPECT_EQ(ActiveBox(), nullptr) << mode;
    EXPECT_EQ(g_probe.caption, "Error") << mode;
    // Centred on the owner.
    int box_middle = (g_probe.box_rect.left + g_probe.box_rect.right) / 2;
    int owner_middle = (g_probe.owner_rect.left + g_probe.owner_rect.right) / 2;
    EXPECT_LE(std::abs(box_middle - owner_middle), 1) << mode;
  }
}

TEST_F(MessageBoxTest, RaisedOnAnotherThreadWaitsUntilClosed) {
  std::atomic<bool> returned{false};
  std::thread engine([&] {
    ShowMessageBox("The server could not listen on port 80.", "Server Error", MessageBoxIcon::kInformation);
    returned = true;
  });
  WindowHandle box = nullptr;
  WaitUntil([&] {
    ProcessPendingMessages();
    return (box = ActiveBox()) != nullptr;
  });
  EXPECT_NE(box, nullptr);
  if (box) {
    Pump();
    EXPECT_FALSE(returned.load());
    EXPECT_EQ(GetWindowTextString(box), "Server Error");
    WindowPixels shown;
    ASSERT_TRUE(CaptureWindowPixels(box, &shown));
    Image view{shown.width, shown.height, shown.width * 4, 32,
               reinterpret_cast<uint8_t*>(shown.pixels.data())};
    DumpImage(&view, "message_box_window");
    // The information sign: a blue disc left of the text; not owned, so
    // centred on the screen's work area.
    MessageBoxLayout layout = LayoutMessageBox("The server could not listen on port 80.",
                                               GetSystemControlFont());
    uint32_t disc = shown.At(layout.icon.left + 7, layout.icon.top + 20);
    EXPECT_GT(PixelBlue(disc), PixelRed(disc) + 60);
    WinRect rect{}, area{};
    GetWindowRect(box, &rect);
    GetWorkArea(&area);
    EXPECT_LE(std::abs((rect.left + rect.right) - (area.left + area.right)), 2);
    Press(VK_RETURN);
  }
  WaitUntil([&] {
    ProcessPendingMessages();
    return returned.load();
  });
  if (!returned && box) DestroyWindow(box);  // release the thread before failing
  engine.join();
  EXPECT_TRUE(returned.load());
  EXPECT_FALSE(IsWindow(box));
}

TEST_F(MessageBoxTest, WithoutAWindowSystemTheTextGoesToStandardError) {
  StopSystemControls();
  ShutdownWindowSystem();
  testing::internal::CaptureStderr();
  ShowOwnedMessageBox(nullptr, "A file operation has locked the logging thread.", "Logging Error",
                      MessageBoxIcon::kInformation);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Logging Error"), std::string::npos);
  EXPECT_NE(err.find("locked the logging thread"), std::string::npos);
  // Back up for the fixture's tear-down.
  ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
  ASSERT_TRUE(StartSystemControls());
  parent_ = nullptr;
}

}  // namespace
