// Toolkit windows on the headless window system: creation, layout on show
// and resize, Tab order, the edit hook, colours, size limits, painting and
// the modal loop.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/blocks.h"
#include "framework_test_resources.h"
#include "ui/framework/gui_window.h"
#include "ui/render/resources.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/control_colors.h"
#include "window/builtin/system_controls.h"
#include "window/window_test_hooks.h"

namespace {

constexpr char kStopClass[] = "TestTabStop";
constexpr char kPlainClass[] = "TestPlain";
constexpr char kOtherCaseEdit[] = "Edit";

// A focusable control like the toolkit's buttons: a Tab stop that reports
// Tab to its parent.
LResult StopProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam) {
  if (message == TKM_ISTABSTOP) return 1;
  if (message == WM_KEYDOWN && wParam == VK_TAB) {
    SendWindowMessage(GetParent(hwnd), TKM_TABNEXT, 0, 0);
    return 0;
  }
  return DefaultWindowProc(hwnd, message, wParam, lParam);
}

std::vector<uint32_t> app_messages;
LResult AppProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam) {
  app_messages.push_back(message);
  return DefaultWindowProc(hwnd, message, wParam, lParam);
}

class GuiWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    ASSERT_TRUE(StartSystemControls());
    for (const char* name : {kStopClass, kOtherCaseEdit}) {
      WindowClass c;
      c.name = name;
      c.procedure = StopProc;
      ASSERT_TRUE(RegisterWindowClass(c));
    }
    WindowClass plain;
    plain.name = kPlainClass;
    plain.procedure = DefaultWindowProc;
    ASSERT_TRUE(RegisterWindowClass(plain));
    InitGuiToolkit(nullptr);
    app_messages.clear();
  }
  void TearDown() override {
    for (GuiWindow* w : windows_) {
      if (IsWindow(w->hwnd)) DestroyWindow(w->hwnd);
      FreeLayoutGroup(w->groups.first);
      FreeAndClear(&w);
    }
    EXPECT_EQ(GuiToolkit.subclasses.first, nullptr);  // edit hooks leave with their windows
    ReleaseGuiToolkit();
    StopSystemControls();
    ShutdownWindowSystem();
  }
  GuiWindow* NewWindow(int w, int h, int maxW = 0, int maxH = 0) {
    GuiWindow* window = NewGuiWindow(w, h, maxW, maxH, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME, AppProc);
    windows_.push_back(window);
    return window;
  }
  static WinRect ChildRect(WindowHandle child) {
    WinRect r{};
    GetWindowRect(child, &r);
    WinPoint origin{r.left, r.top};
    ScreenToClient(GetParent(child), &origin);
    return WinRect{origin.x, origin.y, origin.x + r.right - r.left, origin.y + r.bottom - r.top};
  }
  static void PressTab() {
    InjectKey(VK_TAB, true);
    InjectKey(VK_TAB, false);
    ProcessPendingMessages();
  }
  std::vector<GuiWindow*> windows_;
};

TEST_F(GuiWindowTest, CreatedHiddenCentredAndLaidOutOnShowAndResize) {
  GuiWindow* w = NewWindow(350, 300);
  LayoutGroup* group = AddLayoutGroup(w, nullptr, "Server Control", 1, 1, 0, 1, 0, 2, 0, 1, 120);
  LayoutControl* right = AddLayoutControl(group, "OK", kStopClass, 0, 0, 10, 2, 84, 1, 0, 2, 4, 1, 20);
  LayoutControl* wide = AddLayoutControl(group, "", "EDIT", WS_EX_CLIENTEDGE, 0, 11, 1, 0, 1, 30, 2, 90, 1, 20);
  ASSERT_EQ(CreateGuiWindow(w, nullptr, "Layout", 350, 300), 1);
  EXPECT_FALSE(IsWindowVisible(w->hwnd));
  EXPECT_EQ(GetWindowUserData(w->hwnd), w);
  EXPECT_EQ(GetWindowId(right->hwnd), 10);
  EXPECT_EQ(GetWindowExStyle(w->hwnd) & WS_EX_CONTROLPARENT, WS_EX_CONTROLPARENT);
  EXPECT_NE(GetWindowStyle(right->hwnd) & WS_CHILD, 0u);
  WinRect outer{};
  GetWindowRect(w->hwnd, &outer);
  int32_t sw = 0, sh = 0;
  GetScreenSize(&sw, &sh);
  EXPECT_EQ(outer.left, sw / 2 - 350 / 2);
  EXPECT_EQ(outer.top, sh / 2 - 300 / 2);
  EXPECT_EQ(ChildRect(right->hwnd).right - ChildRect(right->hwnd).left, 0);  // not laid out yet

  ShowWindow(w->hwnd, SW_SHOW);
  ProcessPendingMessages();
  WinRect r = ChildRect(right->hwnd);
  EXPECT_EQ(r.left, 11 + 328 - 84);
  EXPECT_EQ(r.right - r.left, 80);
  EXPECT_EQ(r.top, 34);
  EXPECT_EQ(ChildRect(wide->hwnd).right, 11 + 328 - 90);

  // One resize re-anchors every control.
  MoveWindow(w->hwnd, outer.left, outer.top, 450, 300, true);
  ProcessPendingMessages();
  r = ChildRect(right->hwnd);
  EXPECT_EQ(r.left, 11 + 428 - 84);
  EXPECT_EQ(r.right - r.left, 80);
  EXPECT_EQ(ChildRect(wide->hwnd).right, 11 + 428 - 90);
  EXPECT_EQ(w->clientRect.width, 450);
}

TEST_F(GuiWindowTest, TabWalksEnabledVisibleStopsAndWraps) {
  GuiWindow* w = NewWindow(300, 300);
  LayoutGroup* top = AddLayoutGroup(w, nullptr, "", 1, 1, 0, 1, 0, 2, 0, 1, 150);
  LayoutGroup* low = AddLayoutGroup(w, nullptr, "Options", 2, 1, 0, 1, 150, 2, 0, 2, 0);
  LayoutControl* a = AddLayoutControl(top, "A", kStopClass, 0, 0, 1, 1, 0, 1, 0, 1, 50, 1, 20);
  LayoutControl* b = AddLayoutControl(top, "B", kStopClass, 0, WS_DISABLED, 2, 1, 60, 1, 0, 1, 50, 1, 20);
  LayoutControl* c = AddLayoutControl(low, "", "EDIT", 0, 0, 3, 1, 0, 1, 0, 1, 100, 1, 20);
  LayoutControl* d = AddLayoutControl(low, "link", kPlainClass, 0, 0, 4, 1, 0, 1, 30, 1, 50, 1, 20);
  LayoutControl* e = AddLayoutControl(low, "E", kStopClass, 0, 0, 5, 1, 60, 1, 30, 1, 50, 1, 20);
  LayoutControl* f = AddLayoutControl(low, "F", kStopClass, 0, 0, 6, 1, 120, 1, 30, 1, 50, 1, 20);
  ASSERT_EQ(CreateGuiWindow(w, nullptr, "Tabs", 300, 300), 1);
  ShowWindow(w->hwnd, SW_SHOW);
  ShowWindow(e->hwnd, SW_HIDE);
  ProcessPendingMessages();
  (void)d;

  SetFocus(a->hwnd);
  PressTab();  // B is disabled
  EXPECT_EQ(GetFocusWindow(), c->hwnd);
  InjectText("ab");
  ProcessPendingMessages();
  PressTab();  // the edit hook hands Tab to the window; the link and hidden E are skipped
  EXPECT_EQ(GetFocusWindow(), f->hwnd);
  EXPECT_EQ(GetWindowTextString(c->hwnd), "ab");
  PressTab();  // wraps
  EXPECT_EQ(GetFocusWindow(), a->hwnd);
  EnableWindow(b->hwnd, true);
  PressTab();
  EXPECT_EQ(GetFocusWindow(), b->hwnd);
  // Focus on something outside the Tab order: the first stop.
  SetFocus(d->hwnd);
  FocusNextControl(w->hwnd);
  EXPECT_EQ(GetFocusWindow(), a->hwnd);
  // A Tab character sent straight to the edit never reaches its text.
  SendWindowMessage(c->hwnd, WM_CHAR, '\t', 0);
  EXPECT_EQ(GetWindowTextString(c->hwnd), "ab");
  EXPECT_EQ(SendWindowMessage(c->hwnd, TKM_ISTABSTOP, 0, 0), 1);
}

TEST_F(GuiWindowTest, OnlyExactlyEditIsHooked) {
  GuiWindow* w = NewWindow(200, 100);
  LayoutGroup* g = AddLayoutGroup(w, nullptr, nullptr, 1, 1, 0, 1, 0, 2, 0, 2, 0);
  LayoutControl* upper = AddLayoutControl(g, "", "EDIT", 0, 0, 1, 1, 0, 1, 0, 1, 50, 1, 20);
  LayoutControl* other = AddLayoutControl(g, "", kOtherCaseEdit, 0, 0, 2, 1, 0, 1, 30, 1, 50, 1, 20);
  ASSERT_EQ(CreateGuiWindow(w, nullptr, "Hooks", 200, 100), 1);
  EXPECT_NE(GetWindowProcedure(upper->hwnd), EditWindowProc);
  EXPECT_EQ(GetWindowProcedure(other->hwnd), StopProc);
  ASSERT_NE(GuiToolkit.subclasses.first, nullptr);
  EXPECT_EQ(GuiToolkit.subclasses.first, GuiToolkit.subclasses.last);
  EXPECT_EQ(GuiToolkit.subclasses.first->control, upper);
}

TEST_F(GuiWindowTest, StaticColoursSizeLimitsAndPassingOn) {
  GuiWindow* w = NewWindow(365, 448, 600, 0);
  ASSERT_EQ(CreateGuiWindow(w, nullptr, "Limits", 365, 448), 1);
  ControlColors colors{0x123456, 0x654321};
  auto* brush = reinterpret_cast<SolidBrush*>(
      SendWindowMessage(w->hwnd, WM_CTLCOLORSTATIC, reinterpret_cast<WParam>(&colors), 0));
  ASSERT_NE(brush, nullptr);
  EXPECT_EQ(colors.text, GetSysColor(COLOR_WINDOWTEXT));
  EXPECT_EQ(colors.background, GetSysColor(COLOR_WINDOW));
  EXPECT_EQ(brush->colour, GetSysColor(COLOR_WINDOW));
  SendWindowMessage(w->hwnd, WM_SYSCOLORCHANGE, 0, 0);
  EXPECT_EQ(GuiToolkit.staticBrush->colour, GetSysColor(COLOR_WINDOW));

  MinMaxInfo info{};
  info.minTrackSize = {7, 8};
  info.maxTrackSize = {5000, 4000};
  app_messages.clear();
  EXPECT_EQ(SendWindowMessage(w->hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info)), 0);
  EXPECT_EQ(info.minTrackSize.x, 365);
  EXPECT_EQ(info.minTrackSize.y, 448);
  EXPECT_EQ(info.maxTrackSize.x, 600);
  EXPECT_EQ(info.maxTrackSize.y, 4000);  // 0: the system's value stays
  EXPECT_EQ(SendWindowMessage(w->hwnd, WM_ERASEBKGND, 0, 0), 0);
  EXPECT_TRUE(app_messages.empty());  // neither reaches the application
  SendWindowMessage(w->hwnd, WM_COMMAND, 5, 0);
  EXPECT_EQ(app_messages, std::vector<uint32_t>{WM_COMMAND});
}

TEST_F(GuiWindowTest, ScreenShowsThePaintedPicture) {
  Image* banner = LoadImageResource(&kFrameworkTestResources, 1000);
  GuiWindow* w = NewWindow(365, 300);
  SetWindowBanner(w, banner);
  LayoutGroup* g = AddLayoutGroup(w, nullptr, "Server Control", 1, 1, 0, 1, 74, 2, 0, 1, 120);
  AddLayoutControl(g, "Serving directory", "STATIC", 0, 0, 1, 1, 0, 1, 0, 2, 0, 1, 16);
  ASSERT_EQ(CreateGuiWindow(w, nullptr, "Picture", 365, 300), 1);
  ShowWindow(w->hwnd, SW_SHOW);
  ProcessPendingMessages();
  WindowPixels shown;
  ASSERT_TRUE(CaptureWindowPixels(w->hwnd, &shown));
  ASSERT_EQ(shown.width, 365);
  Image* expected = NewImage(365, 300);
  PaintGuiWindow(expected, w, 365, 300);
  int differing = 0;
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 365; ++x) {
      if (y >= 108 && y < 124 && x >= 11 && x < 354) continue;  // the STATIC control
      differing += shown.At(x, y) != (*PixelAddress(expected, x, y) & 0xFFFFFF);
    }
  }
  EXPECT_EQ(differing, 0);
  // The STATIC paints its text on the window colour the procedure hands it.
  EXPECT_EQ(shown.At(352, 110), ColorToPixel(GetSysColor(COLOR_WINDOW)));
  FreeImage(&expected);
  DestroyWindow(w->hwnd);
  FreeImage(&banner);
}

TEST_F(GuiWindowTest, ModalLoopEndsOnItsMessageAndPassesQuitOn) {
  GuiWindow* owner = NewWindow(300, 200);
  GuiWindow* dialog = NewWindow(200, 100);
  ASSERT_EQ(CreateGuiWindow(owner, nullptr, "Owner", 300, 200), 1);
  ASSERT_EQ(CreateGuiWindow(dialog, owner->hwnd, "Dialog", 200, 100), 1);
  ShowWindow(owner->hwnd, SW_SHOW);
  ShowWindow(dialog->hwnd, SW_SHOW);
  PostWindowMessage(owner->hwnd, TKM_ENDMODAL, 3, 0);  // not for the dialog: dispatched
  PostWindowMessage(dialog->hwnd, TKM_ENDMODAL, 7, 0);
  EXPECT_EQ(RunModalLoop(owner->hwnd, dialog->hwnd), 7);
  EXPECT_FALSE(IsWindow(dialog->hwnd));
  EXPECT_EQ(GetActiveTopLevelWindow(), owner->hwnd);

  GuiWindow* second = NewWindow(200, 100);
  ASSERT_EQ(CreateGuiWindow(second, owner->hwnd, "Second", 200, 100), 1);
  PostQuit(4);
  EXPECT_EQ(RunModalLoop(owner->hwnd, second->hwnd), 0);
  EXPECT_EQ(RunMessageLoop(), 4);  // the outer loop still ends
}

}  // namespace
