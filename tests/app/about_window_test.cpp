// The About window on the headless window system, driven from inside its
// own modal loop: each step runs from a timer, which the loop only takes
// once the input of the step before has been handled.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/about_window.h"
#include "platform/text.h"
#include "platform/window_system.h"
#include "ui/controls/button.h"
#include "ui/controls/link.h"
#include "ui/framework/gui_window.h"
#include "ui/system/system_controls.h"

// Rectangles as (left, top, width x height) in these tests.
bool operator==(const WinRect& a, const WinRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
std::ostream& operator<<(std::ostream& os, const WinRect& r) {
  return os << "(" << r.left << ", " << r.top << ", " << r.right << " x " << r.bottom << ")";
}

namespace {

std::vector<std::function<void()>> g_steps;
size_t g_next = 0;

LResult StepProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
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

Icon* MakeIcon(uint32_t colour) {
  Image* image = NewImage(16, 16);
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 16; ++x) *PixelAddress(image, x, y) = 0xFF000000 | colour;
  }
  Icon* icon = CreateIconFromImages(image, nullptr);
  FreeImage(&image);
  return icon;
}

WinRect RectIn(WindowHandle window, WindowHandle top) {
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
    char pattern[] = "/tmp/ambrel_about_XXXXXX";
    dir_ = mkdtemp(pattern);
    std::ofstream(dir_ + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << dir_
                                      << "/opened'\n";
    chmod((dir_ + "/xdg-open").c_str(), 0755);
    oldPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    CloseAboutWindow();
    for (Icon*& icon : icons_) DestroyIcon(&icon);
    StopSystemControls();
    ReleaseGuiToolkit();
    ShutdownWindowSystem();
    std::remove((dir_ + "/xdg-open").c_str());
    std::remove((dir_ + "/opened").c_str());
    rmdir(dir_.c_str());
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
  std::string Opened() {
    std::ifstream in(dir_ + "/opened");
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }

  WindowHandle steps_ = nullptr, owner_ = nullptr;
  Icon* icons_[4] = {};
  std::string dir_, oldPath_;
};

// The rectangles follow from the anchors in a 350 x 470 client area: the
// upper group at 74 (120 high), the lower from 194 to 29 above the bottom,
// each with its content 11 pixels inside its frame.
TEST_F(AboutWindowTest, ControlsSitWhereTheAnchorsPutThemWithTheirTexts) {
  Run({[this] {
    ASSERT_NE(About(), nullptr);
    EXPECT_EQ(GetWindowTextString(About()), "About Ambrel HTTP Server ...");
    EXPECT_FALSE(IsWindowEnabled(owner_));
    EXPECT_EQ(GetWindowOwner(About()), owner_);
    WinRect client{};
    GetClientRect(About(), &client);
    EXPECT_EQ(client.right, 350);
    EXPECT_EQ(client.bottom, 470);
    EXPECT_EQ(RectIn(Child(1), About()), (WinRect{266, 441, 80, 25}));
    EXPECT_EQ(RectIn(Child(6), About()), (WinRect{19, 213, 312, 209}));
    EXPECT_EQ(RectIn(Child(2), About()), (WinRect{19, 93, 159, 86}));
    EXPECT_EQ(RectIn(Child(5), About()), (WinRect{200, 89, 135, 20}));
    EXPECT_EQ(RectIn(Child(4), About()), (WinRect{200, 109, 135, 20}));
    EXPECT_EQ(RectIn(Child(3), About()), (WinRect{200, 133, 135, 20}));
    EXPECT_STREQ(GetWindowClassName(Child(5)), kLinkClassName);
    EXPECT_EQ(GetWindowTextString(Child(1)), "OK");
    EXPECT_EQ(GetWindowTextString(Child(2)),
              "Ambrel HTTP Server\r\nVersion 1.03\r\nRelease Date: 1/22/2007\r\n\r\n\r\n"
              "Ambrel HTTP Server project");
    // Every line of the version text fits the control's width, so none wraps
    // below the six visible lines.
    FontHandle font = CreateTextFont("Tahoma", -12, 400);
    std::istringstream lines(GetWindowTextString(Child(2)));
    for (std::string line; std::getline(lines, line);) {
      int32_t width = 0, height = 0;
      ASSERT_TRUE(GetTextExtent(font, line.c_str(), -1, &width, &height));
      EXPECT_LE(width, 159) << line;
    }
    DeleteTextFont(&font);
    EXPECT_EQ(GetWindowTextString(Child(6)).rfind("Thank you for using Ambrel HTTP Server. We hope", 0), 0u);
    EXPECT_NE(GetWindowTextString(Child(6)).find("theres nothing against running this to help you test your work!"),
              std::string::npos);
    const LinkData* donate = static_cast<const LinkData*>(GetWindowUserData(Child(5)));
    EXPECT_STREQ(donate->target, "https://example.org/ambrel/donate");
    EXPECT_STREQ(donate->text, "Donate to this Project");
    EXPECT_EQ(donate->ownBackground, 1);
    const ButtonData* ok = static_cast<const ButtonData*>(GetWindowUserData(Child(1)));
    EXPECT_EQ(ok->icon, icons_[0]);
    EXPECT_EQ(ok->showIcon, 1);
    // The three link icons sit in the upper group at their offsets.
    const LayoutGroup* upper = AboutWindow->groups.first->children.first;
    const GroupIcon* icon = upper->icons.first;
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->icon, icons_[1]);
    EXPECT_EQ(icon->x, 170);
    EXPECT_EQ(icon->y, 5);
    EXPECT_EQ(icon->next->icon, icons_[2]);
    EXPECT_EQ(icon->next->y, 27);
    EXPECT_EQ(icon->next->next->icon, icons_[3]);
    EXPECT_EQ(icon->next->next->x, 171);
    EXPECT_EQ(icon->next->next->y, 49);
    SendWindowMessage(About(), WM_CLOSE, 0, 0);  // the close box
  }});
  EXPECT_EQ(AboutWindow->hwnd, nullptr);
  EXPECT_TRUE(IsWindowEnabled(owner_));
  EXPECT_TRUE(IsWindow(owner_));
  CloseAboutWindow();
  EXPECT_EQ(AboutWindow, nullptr);
}

// Tab goes to OK and stays there, also from a link that a click focused; a
// link opens its page and leaves the window open; Enter on OK closes it.
// A second request while it is open only brings it forward.
TEST_F(AboutWindowTest, TabReachesOkOnlyALinkOpensItsPageAndOkCloses) {
  WindowHandle first = nullptr;
  Run({[] { Key(VK_TAB); },
       [] {
         EXPECT_EQ(GetFocusWindow(), Child(1));
         Key(VK_TAB);
       },
       [] {
         EXPECT_EQ(GetFocusWindow(), Child(1));
         ClickOn(Child(4));
       },
       [this, &first] {
         EXPECT_EQ(GetFocusWindow(), Child(4));
         first = About();
         EXPECT_EQ(OpenAboutWindow(owner_, icons_[0], icons_[1], icons_[2], icons_[3]), 1);
         CloseAboutWindow();
         EXPECT_EQ(About(), first);
         EXPECT_TRUE(IsWindow(first));
         Key(VK_TAB);
       },
       [this] {
         EXPECT_EQ(GetFocusWindow(), Child(1));
         // The opener runs in the background; give it a moment to write.
         for (int i = 0; i < 200 && Opened().empty(); ++i) {
           std::this_thread::sleep_for(std::chrono::milliseconds(10));
         }
         EXPECT_EQ(Opened(), "https://example.org/ambrel/comments\n");
         EXPECT_TRUE(IsWindowVisible(About()));
         Key(VK_RETURN);
       }});
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

// "Close Process" while the window is open: the loop ends and the About
// window takes its owner with it.
TEST_F(AboutWindowTest, CloseRequestedEndsTheOwnerToo) {
  Run({[] {
    CloseRequested = true;
    PostWindowMessage(About(), TKM_ENDMODAL, 0, 0);
  }});
  EXPECT_FALSE(IsWindow(owner_));
}

}  // namespace
