// The tray icon of the program on the headless window system, with a
// headless tray host: the picture and tip by engine state, the menu's items
// by engine state and each command's effect, the clicks that do nothing, and
// CloseProcess with and without the About window. The program is built anew
// for each test (CloseProcess destroys it); the engine binds port 80, so this
// runs in a network namespace of its own.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <chrono>
#include <vector>

#include "app/about_window.h"
#include "app/app_icons.h"
#include "app/tray_icon.h"
#include "app_fixture.h"
#include "window/tray.h"
#include "support/test_os.h"
#include "window/window_test_hooks.h"

namespace {

std::vector<std::function<void()>> g_steps;
size_t g_next = 0;

// Runs the steps one by one from a timer, so that each runs after the input
// of the one before was handled, also inside the About window's loop.
LResult StepProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m != WM_TIMER) return DefaultWindowProc(w, m, wp, lp);
  KillTimer(w, 1);
  if (g_next >= g_steps.size()) return 0;
  const size_t step = g_next++;
  if (g_next < g_steps.size()) SetTimer(w, 1, 1);  // armed first: a step may run a nested loop
  g_steps[step]();
  return 0;
}

// One HTTP/1.0 request to port 80 of this namespace; the answer, or "".
std::string FetchOnce(const std::string& path) {
  return testos::FetchLocal(80, "GET " + path + " HTTP/1.0\r\n\r\n");
}

// The listener binds on its own thread: a refused connection right after a
// start is tried again for a while.
std::string Fetch(const std::string& path, int tries = 1) {
  std::string answer;
  for (int i = 0; i < tries && (answer = FetchOnce(path)).empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return answer;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

class TrayIconTest : public testing::Test {
 protected:
  void SetUp() override {
    std::remove(OwnSettingsPath().c_str());
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    ASSERT_TRUE(StartSystemControls());
    BuildApplicationWindow();
    AddTrayIcon();
    ChooseDefaultSettings();
    ShowMainWindow(0);
    WindowClass watcher{};
    watcher.name = "AppTestBoxWatcher";
    watcher.procedure = BoxWatcherProc;
    RegisterWindowClass(watcher);
    SetTimer(CreateSystemWindow(0, watcher.name, "", WS_POPUP, 0, 0, 1, 1, nullptr, 0, nullptr), 1, 10);
    RegisterWindowClass(WindowClass{"TraySteps", StepProc});
    steps_ = CreateSystemWindow(0, "TraySteps", "", WS_POPUP, 0, 0, 1, 1, nullptr, 0, nullptr);
    ProcessPendingMessages();
    g_boxes.clear();
    g_steps.clear();
    g_next = 0;
    CloseRequested = false;
    dir_ = testos::MakeTempFolder("ambrel_trayicon");
    std::filesystem::create_directory(testos::Native(dir_ + "/site"));
    std::ofstream(testos::Native(dir_ + "/site/index.html")) << "tray page\n";
  }
  void TearDown() override {
    StopRunningServer();
    ReleaseApplication();
    StopSystemControls();
    ShutdownWindowSystem();
    std::remove(OwnSettingsPath().c_str());
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const SeenBox& b : g_boxes) texts.push_back(b.text);
    return texts;
  }
  static WindowHandle Main() { return MainWindowHandle(); }
  static StatusIconView View() {
    StatusIconView v;
    GetStatusIconView(Main(), 0, &v);
    return v;
  }
  static void Click(MouseButton b, bool down) {
    InjectStatusIconButton(Main(), 0, b, down);
    ProcessPendingMessages();
  }
  // The open popup menu (it holds the keyboard), or null.
  static WindowHandle Menu() {
    WindowHandle focus = GetFocusWindow();
    return focus != nullptr && std::string(GetWindowClassName(focus)) == kPopupClassName ? focus : nullptr;
  }
  static std::vector<std::string> MenuTexts() {
    std::vector<std::string> texts;
    const PopupData* p = static_cast<const PopupData*>(GetWindowUserData(Menu()));
    for (MenuItem* i = p != nullptr ? p->items.first : nullptr; i != nullptr; i = i->next) texts.push_back(i->text);
    return texts;
  }
  static void Keys(int downs, bool process = true) {
    for (int i = 0; i < downs; ++i) {
      InjectKey(VK_DOWN, true);
      InjectKey(VK_DOWN, false);
    }
    InjectKey(VK_RETURN, true);
    InjectKey(VK_RETURN, false);
    if (process) ProcessPendingMessages();
  }
  // Right-clicks the icon and chooses the item `downs` steps down.
  static void ChooseFromMenu(int downs) {
    Click(MouseButton::kRight, true);
    Click(MouseButton::kRight, false);
    ASSERT_NE(Menu(), nullptr);
    Keys(downs);
  }
  // The icon resource's pixels as the host shows them (premultiplied).
  static std::vector<uint32_t> PictureOf(int32_t number) {
    const Image* image = AppIcon(number)->color;
    std::vector<uint32_t> straight(size_t(image->width) * size_t(image->height));
    for (int32_t y = 0; y < image->height; ++y) {
      for (int32_t x = 0; x < image->width; ++x) straight[size_t(y * image->width + x)] = *PixelAddress(image, x, y);
    }
    return ScaleStatusIconPicture(straight, image->width, image->height, 16, 16, nullptr);
  }
  void ServeFromDir(bool logging) {
    SetWindowTextOf(Controls.servingField, testos::Native(dir_ + "/site").c_str());
    SetWindowTextOf(Controls.loggingField, testos::Native(dir_ + "/logs").c_str());
    Choose(Controls.loggingSelector, logging ? kItemLoggingEnabled : kItemLoggingDisabled);
  }
  void RunSteps(std::vector<std::function<void()>> steps) {
    g_steps = std::move(steps);
    g_next = 0;
    SetTimer(steps_, 1, 1);
    for (int i = 0; i < 1000 && g_next < g_steps.size(); ++i) {
      AdvanceHeadlessClock(1);
      ProcessPendingMessages();
    }
  }

  WindowHandle steps_ = nullptr;
  std::string dir_;
};

TEST_F(TrayIconTest, PictureAndTipFollowTheEngineThroughTheMenusCommands) {
  StatusIconView v = View();
  EXPECT_EQ(v.tip, "Ambrel HTTP Server");
  EXPECT_FALSE(v.docked);  // no host yet: nothing failed
  SetHeadlessTrayHost(true, 16);
  ASSERT_TRUE(View().docked);
  EXPECT_EQ(View().pixels, PictureOf(12));

  Click(MouseButton::kRight, true);
  Click(MouseButton::kRight, false);
  EXPECT_EQ(MenuTexts(), (std::vector<std::string>{"Show Server Window", "Start Server", "",
                                                   "About Ambrel HTTP Server...", "Close Process"}));
  std::vector<int32_t> ids;
  std::vector<const Icon*> icons;
  const PopupData* menu = static_cast<const PopupData*>(GetWindowUserData(Menu()));
  for (MenuItem* i = menu->items.first; i != nullptr; i = i->next) {
    ids.push_back(i->id);
    icons.push_back(i->icon);
  }
  EXPECT_EQ(ids, (std::vector<int32_t>{17, 15, -1, 14, 18}));
  EXPECT_EQ(icons, (std::vector<const Icon*>{AppIcon(13), AppIcon(1), nullptr, AppIcon(8), AppIcon(10)}));
  Keys(0);  // nothing highlighted: Enter closes the menu
  EXPECT_EQ(Menu(), nullptr);

  // "Start Server" with an empty serving directory: the check's message, still stopped.
  ChooseFromMenu(2);
  ASSERT_EQ(BoxTexts(), std::vector<std::string>{kServingEmptyText});
  EXPECT_EQ(RunningServer, nullptr);
  EXPECT_EQ(View().tip, "Ambrel HTTP Server - Not Running");
  EXPECT_EQ(View().pixels, PictureOf(12));

  ServeFromDir(false);
  ChooseFromMenu(2);
  ASSERT_NE(RunningServer, nullptr);
  EXPECT_EQ(View().tip, "Ambrel HTTP Server - Running");
  EXPECT_EQ(View().pixels, PictureOf(11));
  EXPECT_NE(Fetch("/index.html", 1000).find("tray page"), std::string::npos);
  EXPECT_NE(ReadAll(OwnSettingsPath()), "");  // the apply saved the settings

  Click(MouseButton::kRight, true);
  Click(MouseButton::kRight, false);
  EXPECT_EQ(MenuTexts()[1], "Shutdown Server");
  EXPECT_EQ(static_cast<const PopupData*>(GetWindowUserData(Menu()))->items.first->next->icon, AppIcon(4));
  Keys(2);
  EXPECT_EQ(RunningServer, nullptr);
  EXPECT_EQ(View().tip, "Ambrel HTTP Server - Not Running");
  EXPECT_EQ(View().pixels, PictureOf(12));
  EXPECT_EQ(Fetch("/index.html"), "");
  EXPECT_EQ(GetSelectedItemId(Controls.statusSelector), kItemNotRunning);
}

TEST_F(TrayIconTest, OnlyADoubleClickShowsTheWindowAndShowReloadsTheSettings) {
  SetHeadlessTrayHost(true, 16);
  ServeFromDir(false);
  Choose(Controls.statusSelector, kItemNotRunning);
  ASSERT_EQ(ApplySettings(), 1);
  HideMainWindow();
  SetWindowTextOf(Controls.servingField, "edited but not applied");
  Click(MouseButton::kLeft, true);
  Click(MouseButton::kLeft, false);
  AdvanceHeadlessClock(600);
  Click(MouseButton::kRight, true);  // a press alone opens nothing
  AdvanceHeadlessClock(600);
  Click(MouseButton::kMiddle, true);
  Click(MouseButton::kMiddle, false);
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_EQ(Menu(), nullptr);
  Click(MouseButton::kLeft, true);
  Click(MouseButton::kLeft, false);
  Click(MouseButton::kLeft, true);
  Click(MouseButton::kLeft, false);
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_EQ(GetWindowTextString(Controls.servingField), testos::Native(dir_ + "/site"));

  // "Show Server Window" from the menu does the same.
  HideMainWindow();
  ChooseFromMenu(1);
  EXPECT_TRUE(IsWindowVisible(Main()));
}

// Port 80 held by another program: "Start Server" shows the engine's box,
// and the icon, tip and menu stay those of a stopped server while the status
// keeps the user's "Running"; once the port is free the same command serves.
TEST_F(TrayIconTest, ABindFailureLeavesTheTrayStopped) {
  SetHeadlessTrayHost(true, 16);
  ServeFromDir(false);
  const SocketHandle holder = testos::HoldPort(80);
  ASSERT_NE(holder, kInvalidSocket);
  ChooseFromMenu(2);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Server Failed While Attempting to Bind"});
  EXPECT_EQ(RunningServer, nullptr);
  EXPECT_EQ(View().tip, "Ambrel HTTP Server - Not Running");
  EXPECT_EQ(View().pixels, PictureOf(12));
  EXPECT_EQ(GetSelectedItemId(Controls.statusSelector), kItemRunning);
  Click(MouseButton::kRight, true);
  Click(MouseButton::kRight, false);
  ASSERT_NE(Menu(), nullptr);
  EXPECT_EQ(MenuTexts()[1], "Start Server");
  Keys(0);
  testos::CloseTestSocket(holder);
  ChooseFromMenu(2);
  EXPECT_NE(RunningServer, nullptr);
  EXPECT_EQ(View().tip, "Ambrel HTTP Server - Running");
  EXPECT_NE(Fetch("/index.html", 1000).find("tray page"), std::string::npos);
}

// The close box hides the window only while the icon is in a tray; without
// one it minimises the window, so the program can still be reached.
TEST_F(TrayIconTest, CloseBoxMinimisesWhileNoTrayHoldsTheIcon) {
  SendWindowMessage(Main(), WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindowVisible(Main()));
  EXPECT_TRUE(IsIconic(Main()));
  ShowMainWindow(0);
  EXPECT_FALSE(IsIconic(Main()));
  SetHeadlessTrayHost(true, 16);
  SendWindowMessage(Main(), WM_CLOSE, 0, 0);
  EXPECT_FALSE(IsWindowVisible(Main()));
  EXPECT_TRUE(IsWindow(Main()));
}

// "Close Process": the icon goes, the engine stops first so that the access
// log holds the request, the main window goes and the message loop ends.
TEST_F(TrayIconTest, CloseProcessStopsTheEngineAndEndsTheLoop) {
  SetHeadlessTrayHost(true, 16);
  ServeFromDir(true);
  Choose(Controls.statusSelector, kItemRunning);
  ASSERT_EQ(ApplySettings(), 1);
  const std::string page = Fetch("/index.html", 1000);
  ASSERT_NE(page.find("tray page"), std::string::npos) << page << (g_boxes.empty() ? "" : g_boxes[0].text);
  WindowHandle main = Main();
  ChooseFromMenu(5);
  ASSERT_FALSE(IsWindow(main));
  EXPECT_EQ(RunningServer, nullptr);
  StatusIconView gone;
  EXPECT_FALSE(GetStatusIconView(main, 0, &gone));
  EXPECT_EQ(RunMessageLoop(), 0);  // the quit message is already queued
  std::string log;
  for (const auto& entry : std::filesystem::directory_iterator(testos::Native(dir_ + "/logs"))) {
    log += ReadAll(entry.path().string());
  }
  EXPECT_NE(log.find("\"GET /index.html HTTP/1.0\" 200"), std::string::npos) << log;
}

// "Close Process" while About is open closes About, then its owner; About
// from the menu is the same window as from the button, one at a time.
TEST_F(TrayIconTest, CloseProcessWhileAboutIsOpenEndsBoth) {
  SetHeadlessTrayHost(true, 16);
  WindowHandle main = Main();
  WindowHandle about = nullptr;
  RunSteps({[] { ChooseFromMenu(4); },  // About, whose loop runs the next steps
            [&about] {
              ASSERT_NE(AboutWindow, nullptr);
              about = AboutWindow->hwnd;
              EXPECT_TRUE(IsWindowVisible(about));
              EXPECT_FALSE(IsWindowEnabled(MainWindowHandle()));
              SendWindowMessage(Controls.aboutButton, WM_KEYDOWN, VK_RETURN, 0);  // no second one
            },
            [&about] {
              EXPECT_EQ(AboutWindow->hwnd, about);
              Click(MouseButton::kRight, true);
              Click(MouseButton::kRight, false);
              ASSERT_NE(Menu(), nullptr);
              Keys(5, false);  // the About window's own loop takes them
            },
            [] {
              // Whatever failed above, the About window's loop must end.
              if (AboutWindow != nullptr && IsWindow(AboutWindow->hwnd)) {
                ADD_FAILURE() << "About is still open";
                PostWindowMessage(AboutWindow->hwnd, TKM_ENDMODAL, 0, 0);
              }
            }});
  EXPECT_TRUE(CloseRequested);
  EXPECT_FALSE(IsWindow(about));
  EXPECT_EQ(AboutWindow, nullptr);
  ASSERT_FALSE(IsWindow(main));
  EXPECT_EQ(RunMessageLoop(), 0);
}

}  // namespace
