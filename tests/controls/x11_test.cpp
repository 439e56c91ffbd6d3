// The controls on a real X display (a private Xvfb), driven by real input
// through xdotool: a popup near the bottom edge opens upward, pointer and
// keyboard choices reach the owner, a click elsewhere closes the popup, and
// a link opens its target through the desktop opener.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "window/window_system.h"
#include "support/message_pump.h"
#include "support/private_display.h"
#include "ui/controls/link.h"
#include "ui/controls/popup.h"
#include "ui/framework/gui_window.h"
#include "ui/render/sys_colors.h"

namespace {

const auto* const kDisplay = testing::AddGlobalTestEnvironment(new PrivateDisplayEnvironment);

struct Note {
  uint32_t message;
  WParam wParam;
};
std::vector<Note> g_notes;

LResult OwnerProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (message >= TKM_ITEMCHOSEN && message <= TKM_POPUPCANCELLED) g_notes.push_back({message, wParam});
  return DefaultWindowProc(window, message, wParam, lParam);
}

void Xdotool(const std::string& arguments) {
  ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
}

// One connection to the display for the whole program, opened after the
// display itself has started.
class X11Session : public testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kX11));
    WindowClass owner{};
    owner.name = "ControlsX11Owner";
    owner.procedure = OwnerProc;
    owner.background = 0xFFFFFF;
    ASSERT_TRUE(RegisterWindowClass(owner));
    ASSERT_EQ(RegisterPopupClass(nullptr, nullptr, nullptr, nullptr, nullptr), 1);
    ASSERT_EQ(RegisterLinkClass(), 1);
  }
  void TearDown() override { ShutdownWindowSystem(); }
};
const auto* const kSession = testing::AddGlobalTestEnvironment(new X11Session);

class X11Controls : public testing::Test {
 protected:
  void SetUp() override {
    g_notes.clear();
    owner_ = CreateSystemWindow(0, "ControlsX11Owner", "owner", WS_OVERLAPPED, 50, 50, 400, 300,
                                nullptr, 0, nullptr);
    ASSERT_NE(owner_, nullptr);
    ShowWindow(owner_, SW_SHOW);
    SetForegroundWindow(owner_);
    ASSERT_TRUE(PumpUntil([this] { return GetActiveTopLevelWindow() == owner_; }));
    Settle();
  }
  // Lets late events of the display (focus, exposure) arrive before a popup opens.
  static void Settle() {
    for (int i = 0; i < 20; ++i) {
      ProcessPendingMessages();
      usleep(10000);
    }
  }
  void TearDown() override {
    DestroyWindow(owner_);
    Settle();
  }

  WindowHandle OpenAt(int32_t x, int32_t y) {
    MenuItemList list{};
    AddMenuItem(&list, 0, 1, "One", nullptr, 0);
    AddMenuItem(&list, 0, 2, "Two", nullptr, 0);
    AddMenuItem(&list, 0, 3, "Three", nullptr, 0);
    WindowHandle popup = OpenPopupAtPoint(&list, owner_, nullptr, x, y);
    FreeMenuItems(&list);
    SetForegroundWindow(popup);
    PumpUntil([popup] { return GetFocusWindow() == popup; });
    Settle();
    return IsWindow(popup) ? popup : nullptr;
  }
  // Screen centre of the item at `index` of an open popup.
  static WinPoint ItemCentre(WindowHandle popup, int index) {
    const PopupData* p = static_cast<PopupData*>(GetWindowUserData(popup));
    const MenuItem* item = p->items.first;
    while (index-- > 0) item = item->next;
    WinRect r{};
    GetWindowRect(popup, &r);
    return WinPoint{r.left + 60, r.top + 2 + (item->top + item->bottom) / 2};
  }
  size_t Count(uint32_t message) const {
    size_t n = 0;
    for (const Note& note : g_notes) n += note.message == message;
    return n;
  }
  WindowHandle owner_ = nullptr;
};

TEST_F(X11Controls, APopupNearTheBottomEdgeOpensUpwardOnTheScreen) {
  WinRect work{};
  GetWorkArea(&work);
  const int32_t y = work.bottom - 10;
  WindowHandle popup = OpenAt(600, y);
  ASSERT_NE(popup, nullptr);
  WinRect r{};
  GetWindowRect(popup, &r);
  EXPECT_EQ(r.bottom, y);
  EXPECT_LT(r.top, y - 50);
  WindowPixels shown;
  ASSERT_TRUE(PumpUntil([&] {
    return CaptureWindowPixels(popup, &shown) && shown.width == 180 &&
           (shown.At(0, 0) & 0xFFFFFF) == (SysPixel(COLOR_3DDKSHADOW) & 0xFFFFFF);
  }));
}

TEST_F(X11Controls, PointerAndKeyboardChoicesReachTheOwner) {
  WindowHandle popup = OpenAt(300, 200);
  ASSERT_NE(popup, nullptr);
  const WinPoint second = ItemCentre(popup, 1);
  Xdotool("mousemove " + std::to_string(second.x) + " " + std::to_string(second.y));
  ASSERT_TRUE(PumpUntil([popup] {
    const PopupData* p = static_cast<PopupData*>(GetWindowUserData(popup));
    return p != nullptr && p->items.current != nullptr && p->items.current->id == 2;
  }));
  Xdotool("click 1");
  ASSERT_TRUE(PumpUntil([this] { return Count(TKM_ITEMCHOSEN) == 1; }));
  EXPECT_EQ(g_notes.back().wParam, 2u);
  EXPECT_FALSE(IsWindow(popup));

  Xdotool("mousemove 10 700");
  popup = OpenAt(300, 200);
  ASSERT_NE(popup, nullptr);
  Xdotool("key Down Down Down Return");
  ASSERT_TRUE(PumpUntil([this] { return Count(TKM_ITEMCHOSEN) == 2; }));
  EXPECT_EQ(g_notes.back().wParam, 3u);
  EXPECT_EQ(Count(TKM_POPUPCANCELLED), 0u);
}

TEST_F(X11Controls, AClickElsewhereClosesThePopup) {
  WindowHandle popup = OpenAt(300, 200);
  ASSERT_NE(popup, nullptr);
  Xdotool("mousemove 80 80 click 1");  // on the owner window, away from the popup
  ASSERT_TRUE(PumpUntil([popup] { return !IsWindow(popup); }));
  ASSERT_EQ(Count(TKM_POPUPCANCELLED), 1u);
  EXPECT_EQ(g_notes.back().wParam, 0u);
  EXPECT_EQ(Count(TKM_ITEMCHOSEN), 0u);
}

TEST_F(X11Controls, ALinkOpensItsTargetInTheBrowser) {
  char pattern[] = "/tmp/ambrel-x11link-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::ofstream(dir + "/browser") << "#!/bin/sh\nprintf '%s' \"$1\" > '" << dir << "/url.tmp'\n"
                                  << "mv '" << dir << "/url.tmp' '" << dir << "/url'\n";
  chmod((dir + "/browser").c_str(), 0755);
  // On a display the desktop opener asks the desktop's default handler for
  // web addresses before BROWSER, so both point at the stub browser.
  setenv("BROWSER", (dir + "/browser").c_str(), 1);
  std::system(("mkdir -p '" + dir + "/data/applications' '" + dir + "/config'").c_str());
  std::ofstream(dir + "/data/applications/stub-browser.desktop")
      << "[Desktop Entry]\nType=Application\nName=Stub\nExec=" << dir << "/browser %u\n"
      << "MimeType=x-scheme-handler/http;\n";
  std::ofstream(dir + "/config/mimeapps.list")
      << "[Default Applications]\nx-scheme-handler/http=stub-browser.desktop\n";
  setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
  setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
  WindowHandle link = CreateSystemWindow(0, kLinkClassName, "Report Bug", WS_CHILD | WS_VISIBLE,
                                         20, 20, 120, 20, owner_, 7, nullptr);
  ASSERT_NE(link, nullptr);
  SendWindowMessage(link, LKM_SETLINK, 0, reinterpret_cast<LParam>("http://127.0.0.1/report"));
  ASSERT_TRUE(PumpUntil([link] { return IsWindowVisible(link); }));
  WinPoint centre{60, 10};
  ClientToScreen(link, &centre);
  Xdotool("mousemove " + std::to_string(centre.x) + " " + std::to_string(centre.y));
  ASSERT_TRUE(PumpUntil([link] {
    return static_cast<LinkData*>(GetWindowUserData(link))->hover == 1;
  }));
  EXPECT_EQ(GetCursorShape(), CursorShape::kHand);
  Xdotool("click 1");
  ASSERT_TRUE(PumpUntil([&] { return access((dir + "/url").c_str(), F_OK) == 0; }));
  std::ifstream in(dir + "/url");
  std::string url;
  std::getline(in, url);
  EXPECT_EQ(url, "http://127.0.0.1/report");
  unsetenv("BROWSER");
  unsetenv("XDG_DATA_HOME");
  unsetenv("XDG_CONFIG_HOME");
  std::system(("rm -rf '" + dir + "'").c_str());
}

}  // namespace

namespace {

// The demonstration window (every control in each state) comes up on the
// display, runs its loop and ends cleanly in each of its scenes.
TEST(X11Demo, EverySceneComesUpAndEndsCleanly) {
  for (const char* scene : {"window", "menu", "scroll"}) {
    const std::string command =
        std::string(AMBREL_BINARY_DIR) + "/tests/controls/controls_demo " + scene + " 700";
    EXPECT_EQ(std::system(command.c_str()), 0) << scene;
  }
}

}  // namespace
