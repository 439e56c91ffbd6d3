// The main window on the headless window system: where every control sits at
// the narrowest, the start-up and the widest width, the Tab order, the
// selectors' items, the defaults of a first start, when OK and Apply are
// enabled, the checks' messages in the order they run, and Apply really
// starting and stopping the engine on port 80 (this program runs in a
// network namespace of its own).
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "app/engine_state.h"
#include "app_fixture.h"
#include "main_window_support.h"
#include "http/engine.h"
#include "http/server.h"
#include "platform/text.h"
#include "support/test_os.h"
#include "ui/controls/menu_items.h"
#include "window/window_test_hooks.h"

namespace {

const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new MainWindowEnvironment);

struct Expected {
  WindowHandle MainControls::*control;  // null: the label with `id`
  int32_t id;
  LayoutRect at365, at400, at600;       // worked out from the anchors by hand
};

// Root group (0, 80, W, 368); content rectangles: Server Control (11, 114,
// W-22, 63), PHP/CGI Options (11, 214, W-22, 90), Logging Options (11, 342,
// W-22, 62); the buttons sit in the root's (0, 80, W, 368).
const Expected kRects[] = {
    {&MainControls::statusSelector, 0, {15, 118, 191, 25}, {15, 118, 226, 25}, {15, 118, 426, 25}},
    {&MainControls::scopeSelector, 1, {210, 118, 140, 25}, {245, 118, 140, 25}, {445, 118, 140, 25}},
    {nullptr, 5, {15, 147, 120, 25}, {15, 147, 120, 25}, {15, 147, 120, 25}},
    {&MainControls::servingField, 6, {135, 147, 131, 25}, {135, 147, 166, 25}, {135, 147, 366, 25}},
    {&MainControls::servingBrowse, 7, {270, 147, 80, 25}, {305, 147, 80, 25}, {505, 147, 80, 25}},
    {&MainControls::okButton, 18, {113, 419, 80, 25}, {148, 419, 80, 25}, {348, 419, 80, 25}},
    {&MainControls::cancelButton, 19, {197, 419, 80, 25}, {232, 419, 80, 25}, {432, 419, 80, 25}},
    {&MainControls::applyButton, 17, {281, 419, 80, 25}, {316, 419, 80, 25}, {516, 419, 80, 25}},
    {&MainControls::aboutButton, 21, {4, 419, 80, 25}, {4, 419, 80, 25}, {4, 419, 80, 25}},
    {&MainControls::phpSelector, 8, {15, 218, 335, 25}, {15, 218, 370, 25}, {15, 218, 570, 25}},
    {nullptr, 9, {15, 247, 100, 20}, {15, 247, 100, 20}, {15, 247, 100, 20}},
    {&MainControls::phpField, 10, {135, 247, 131, 24}, {135, 247, 166, 24}, {135, 247, 366, 24}},
    {&MainControls::phpBrowse, 11, {270, 247, 80, 24}, {305, 247, 80, 24}, {505, 247, 80, 24}},
    {&MainControls::cgiSelector, 12, {15, 275, 335, 25}, {15, 275, 370, 25}, {15, 275, 570, 25}},
    {&MainControls::loggingSelector, 13, {15, 346, 335, 25}, {15, 346, 370, 25}, {15, 346, 570, 25}},
    {nullptr, 14, {15, 375, 120, 20}, {15, 375, 120, 20}, {15, 375, 120, 20}},
    {&MainControls::loggingField, 15, {135, 375, 131, 24}, {135, 375, 166, 24}, {135, 375, 366, 24}},
    {&MainControls::loggingBrowse, 16, {270, 375, 80, 24}, {305, 375, 80, 24}, {505, 375, 80, 24}},
};

LayoutRect PlaceOf(WindowHandle control) {
  WinRect r{};
  GetWindowRect(control, &r);
  WinPoint origin{r.left, r.top};
  ScreenToClient(MainWindow->hwnd, &origin);
  return {origin.x, origin.y, r.right - r.left, r.bottom - r.top};
}

void ExpectPlaces(LayoutRect Expected::*column, int32_t width) {
  WinRect client{};
  GetClientRect(MainWindow->hwnd, &client);
  ASSERT_EQ(client.right, width);
  ASSERT_EQ(client.bottom, kMainHeight);
  for (const Expected& e : kRects) {
    WindowHandle control = FindChildById(MainWindow->hwnd, e.id);
    if (e.control != nullptr) {
      EXPECT_EQ(Controls.*e.control, control) << e.id;
    }
    LayoutRect got = PlaceOf(control), want = e.*column;
    EXPECT_EQ(got.x, want.x) << "control " << e.id << " at width " << width;
    EXPECT_EQ(got.y, want.y) << "control " << e.id << " at width " << width;
    EXPECT_EQ(got.width, want.width) << "control " << e.id << " at width " << width;
    EXPECT_EQ(got.height, want.height) << "control " << e.id << " at width " << width;
  }
}

void ResizeTo(int32_t width, int32_t height) {
  WinRect r{};
  GetWindowRect(MainWindow->hwnd, &r);
  MoveWindow(MainWindow->hwnd, r.left, r.top, width, height, true);
  ProcessPendingMessages();
}

TEST_F(MainWindowTest, ControlsSitByTheirAnchorsFromNarrowestToWidest) {
  ExpectPlaces(&Expected::at400, kMainStartWidth);
  // Asking for less or more than the limits gives the limits; the height stays.
  ResizeTo(200, 300);
  ExpectPlaces(&Expected::at365, 365);
  ResizeTo(900, 600);
  ExpectPlaces(&Expected::at600, 600);
  ResizeTo(400, 448);
  ExpectPlaces(&Expected::at400, 400);
}

TEST_F(MainWindowTest, TabVisitsTheControlsInTheGroupWalkOrder) {
  const MainControls& c = Controls;
  const WindowHandle order[] = {c.okButton,      c.cancelButton, c.applyButton,    c.aboutButton,
                                c.statusSelector, c.scopeSelector, c.servingField,  c.servingBrowse,
                                c.phpSelector,   c.phpField,      c.phpBrowse,      c.cgiSelector,
                                c.loggingSelector, c.loggingField, c.loggingBrowse, c.okButton};
  auto press_tab = [] {
    InjectKey(VK_TAB, true);
    InjectKey(VK_TAB, false);
    ProcessPendingMessages();
  };
  // A disabled Apply is passed over.
  SetFocus(c.cancelButton);
  press_tab();
  EXPECT_EQ(GetFocusWindow(), c.aboutButton);
  SetWindowTextOf(c.servingField, "/srv");  // an edit enables Apply
  ASSERT_TRUE(IsWindowEnabled(c.applyButton));
  SetFocus(c.okButton);
  for (size_t i = 1; i < std::size(order); ++i) {
    press_tab();
    EXPECT_EQ(GetFocusWindow(), order[i]) << "step " << i;
  }
  EXPECT_EQ(Text(c.servingField), "/srv");  // Tab never typed into a field
  // Shift+Tab walks the same order back, wrapping from OK to the last Browse.
  InjectKey(VK_SHIFT, true);
  for (size_t i = std::size(order) - 1; i > 0; --i) {
    press_tab();
    EXPECT_EQ(GetFocusWindow(), order[i - 1]) << "back from step " << i;
  }
  InjectKey(VK_SHIFT, false);
  press_tab();
  EXPECT_EQ(GetFocusWindow(), c.cancelButton);  // forward again once Shift is up
}

TEST_F(MainWindowTest, SelectorsHoldTheirItemsWithIdentifiersAndIcons) {
  struct Item {
    int32_t id;
    const char* text;
    int32_t icon;
  };
  const std::vector<std::pair<WindowHandle, std::vector<Item>>> selectors = {
      {Controls.statusSelector, {{1, "Running", 3}, {2, "Not Running", 4}}},
      {Controls.scopeSelector, {{3, "Local Server", 16}, {4, "LAN Server", 15}, {5, "Internet Server", 14}}},
      {Controls.phpSelector, {{6, "PHP Enabled", 3}, {7, "PHP Disabled", 4}}},
      {Controls.cgiSelector, {{8, "CGI Enabled", 3}, {9, "CGI Disabled", 4}}},
      {Controls.loggingSelector, {{10, "Logging Enabled", 3}, {11, "Logging Disabled", 4}}},
  };
  for (const auto& [selector, items] : selectors) {
    const SelectorData* data = static_cast<SelectorData*>(GetWindowUserData(selector));
    ASSERT_NE(data, nullptr);
    const MenuItem* item = data->items.first;
    for (const Item& want : items) {
      ASSERT_NE(item, nullptr) << want.text;
      EXPECT_EQ(item->id, want.id);
      EXPECT_STREQ(item->text, want.text);
      EXPECT_EQ(item->icon, AppIcon(want.icon)) << want.text;
      item = item->next;
    }
    EXPECT_EQ(item, nullptr);
  }
  // Every icon was loaded, and the window carries icon 1.
  for (int32_t n = 1; n <= kAppIconCount; ++n) {
    ASSERT_NE(AppIcon(n), nullptr) << n;
    EXPECT_EQ(AppIcon(n)->width, 16);
  }
}

TEST_F(MainWindowTest, AFirstStartShowsTheDefaultsAndWritesNothing) {
  EXPECT_EQ(GetSelectedItemId(Controls.statusSelector), kItemNotRunning);
  EXPECT_EQ(GetSelectedItemId(Controls.scopeSelector), kItemLocalServer);
  EXPECT_EQ(GetSelectedItemId(Controls.phpSelector), kItemPhpDisabled);
  EXPECT_EQ(GetSelectedItemId(Controls.cgiSelector), kItemCgiDisabled);
  EXPECT_EQ(GetSelectedItemId(Controls.loggingSelector), kItemLoggingDisabled);
  for (WindowHandle f : {Controls.servingField, Controls.phpField, Controls.loggingField}) {
    EXPECT_EQ(Text(f), "");
    EXPECT_EQ(SendWindowMessage(f, EM_GETLIMITTEXT, 0, 0), 259);
  }
  EXPECT_TRUE(IsWindowEnabled(Controls.okButton));
  EXPECT_FALSE(IsWindowEnabled(Controls.applyButton));
  EXPECT_TRUE(IsWindowVisible(MainWindow->hwnd));
  EXPECT_EQ(RunningServer, nullptr);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_FALSE(testos::PathExists(OwnSettingsPath()));
}

TEST_F(MainWindowTest, ApplyIsEnabledByEditsAndDisabledByShowAndApply) {
  const MainControls& c = Controls;
  // A typed character is an edit.
  SetFocus(c.loggingField);
  InjectText("x");
  ProcessPendingMessages();
  EXPECT_TRUE(IsWindowEnabled(c.applyButton));
  // Applying "Not Running" succeeds and saves; Apply goes off.
  EXPECT_EQ(ApplySettings(), 1);
  EXPECT_FALSE(IsWindowEnabled(c.applyButton));
  EXPECT_TRUE(testos::PathExists(OwnSettingsPath()));
  // A choice, even of the item already chosen, is an edit.
  Choose(c.scopeSelector, kItemLocalServer);
  EXPECT_TRUE(IsWindowEnabled(c.applyButton));
  // Showing from the tray reloads the file and discards the edit.
  SetWindowTextOf(c.loggingField, "edited");
  ShowMainWindow(1);
  EXPECT_EQ(Text(c.loggingField), "x");
  EXPECT_FALSE(IsWindowEnabled(c.applyButton));
  EXPECT_TRUE(IsWindowEnabled(c.okButton));
  // Text set while settings load is no edit.
  SettingsLoading = true;
  SetWindowTextOf(c.phpField, "/opt/php");
  SettingsLoading = false;
  EXPECT_FALSE(IsWindowEnabled(c.applyButton));
  // OK without edits only hides; the close box and Cancel hide too.
  SendWindowMessage(MainWindow->hwnd, WM_COMMAND, BN_CLICKED, reinterpret_cast<LParam>(c.okButton));
  EXPECT_FALSE(IsWindowVisible(MainWindow->hwnd));
  ShowMainWindow(0);
  SendWindowMessage(MainWindow->hwnd, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(MainWindow->hwnd));
  EXPECT_FALSE(IsWindowVisible(MainWindow->hwnd));
  ShowMainWindow(0);
  SendWindowMessage(MainWindow->hwnd, WM_COMMAND, BN_CLICKED, reinterpret_cast<LParam>(c.cancelButton));
  EXPECT_FALSE(IsWindowVisible(MainWindow->hwnd));
  ShowMainWindow(0);
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(MainWindowTest, ChecksReportInTheirOrderAndAFailedApplySavesNothing) {
  const MainControls& c = Controls;
  Scratch scratch;
  Choose(c.statusSelector, kItemRunning);
  Choose(c.phpSelector, kItemPhpEnabled);
  Choose(c.loggingSelector, kItemLoggingEnabled);
  // Each step mends the field that failed; the next check's message follows.
  struct Step {
    WindowHandle field;
    std::string text;
    const char* message;
  };
  const Step steps[] = {
      {c.servingField, "", kServingEmptyText},
      {c.servingField, "   ", kServingEmptyText},
      {c.servingField, scratch.Path("/missing"), kServingMissingText},
      {c.servingField, scratch.File(), kServingFileText},
      {c.servingField, scratch.root, kPhpEmptyText},
      {c.phpField, scratch.Path("/no-php"), kPhpMissingText},
      {c.phpField, scratch.File(), kPhpFileText},
      {c.phpField, scratch.Path("/php"), kLoggingEmptyText},
      {c.loggingField, scratch.File(), kLoggingFileText},
  };
  for (const Step& step : steps) {
    SetWindowTextOf(step.field, step.text.c_str());
    g_boxes.clear();
    EXPECT_EQ(ApplySettings(), 0) << step.message;
    ASSERT_EQ(g_boxes.size(), 1u) << step.message;
    EXPECT_EQ(g_boxes[0].text, step.message);
    EXPECT_EQ(g_boxes[0].caption, "Error");
    EXPECT_EQ(g_boxes[0].owner, MainWindow->hwnd);
    EXPECT_TRUE(IsWindowEnabled(c.applyButton));
    EXPECT_EQ(RunningServer, nullptr);
    EXPECT_FALSE(testos::PathExists(OwnSettingsPath())) << "saved after a failed check";
  }
  EXPECT_EQ(std::string(kPhpEmptyText).find("goto www.php.net and download the full zip package"),
            std::string(kPhpEmptyText).size() - 50);
  // PHP off skips its check even with a file named; a logging folder that
  // does not exist yet is accepted. "Not Running" needs no serving folder.
  Choose(c.phpSelector, kItemPhpDisabled);
  SetWindowTextOf(c.phpField, scratch.File().c_str());
  SetWindowTextOf(c.loggingField, scratch.Path("/logs/new").c_str());
  Choose(c.statusSelector, kItemNotRunning);
  SetWindowTextOf(c.servingField, "");
  g_boxes.clear();
  EXPECT_EQ(ApplySettings(), 1);
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_FALSE(IsWindowEnabled(c.applyButton));
}

// The body the engine on port 80 answers for `path`, or "" when nobody
// accepted the connection. The listener binds on its own thread: a refused
// connection right after a start is tried again for a while.
std::string Fetch(const char* path, int tries = 1) {
  std::string answer;
  for (int i = 0; i < tries; ++i) {
    answer = testos::FetchLocal(80, std::string("GET ") + path + " HTTP/1.0\r\n\r\n");
    if (!answer.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const size_t body = answer.find("\r\n\r\n");
  return body == std::string::npos ? std::string() : answer.substr(body + 4);
}

// Every notice of the engine's state, in order, as an observer sees it.
std::vector<EngineState> g_notices;
const bool kRecordsNotices =
    (ObserveEngineState([](EngineState state) { g_notices.push_back(state); }), true);

TEST_F(MainWindowTest, ApplyStartsRestartsAndStopsTheEngineOnPort80) {
  const MainControls& c = Controls;
  Scratch scratch;
  ASSERT_TRUE(kRecordsNotices);
  g_notices.clear();
  Choose(c.statusSelector, kItemRunning);
  SetWindowTextOf(c.servingField, scratch.root.c_str());
  ASSERT_EQ(ApplySettings(), 1);
  ASSERT_NE(RunningServer, nullptr);
  // Typed without the separator, the folder reaches the engine with one.
  EXPECT_EQ(std::string(ServerSettings.serving_directory), scratch.Path("/"));
  EXPECT_EQ(ServerSettings.scope, 0);
  EXPECT_EQ(ServerSettings.php_enabled, 0);
  EXPECT_EQ(ServerSettings.php_directory, nullptr);
  EXPECT_EQ(Fetch("/", 1000), "<p>served by the main window</p>\n");
  // Applying again restarts it, also with a separator typed and PHP and the
  // local network chosen; the settings are saved each time.
  SetWindowTextOf(c.servingField, scratch.Path("/").c_str());
  Choose(c.phpSelector, kItemPhpEnabled);
  SetWindowTextOf(c.phpField, scratch.Path("/php").c_str());
  Choose(c.scopeSelector, kItemLanServer);
  Choose(c.cgiSelector, kItemCgiEnabled);
  ASSERT_EQ(ApplySettings(), 1);
  ASSERT_NE(RunningServer, nullptr);
  EXPECT_EQ(std::string(ServerSettings.serving_directory), scratch.Path("/"));
  EXPECT_EQ(std::string(ServerSettings.php_directory), scratch.Path("/php/"));
  EXPECT_EQ(ServerSettings.scope, 1);
  EXPECT_EQ(ServerSettings.cgi_enabled, 1);
  EXPECT_EQ(Fetch("/", 1000), "<p>served by the main window</p>\n");
  EXPECT_TRUE(testos::PathExists(OwnSettingsPath()));
  // A failed check stops the running engine; the status still says Running.
  SetWindowTextOf(c.phpField, "");
  g_boxes.clear();
  EXPECT_EQ(ApplySettings(), 0);
  EXPECT_EQ(RunningServer, nullptr);
  EXPECT_EQ(Fetch("/"), "");
  EXPECT_EQ(GetSelectedItemId(c.statusSelector), kItemRunning);
  ASSERT_EQ(g_boxes.size(), 1u);
  // Start from the tray's command, then shut down from it.
  SetWindowTextOf(c.phpField, scratch.Path("/php").c_str());
  Choose(c.statusSelector, kItemNotRunning);
  StartServerCommand();
  EXPECT_EQ(GetSelectedItemId(c.statusSelector), kItemRunning);
  EXPECT_NE(RunningServer, nullptr);
  EXPECT_EQ(Fetch("/", 1000), "<p>served by the main window</p>\n");
  ShutdownServerCommand();
  EXPECT_EQ(GetSelectedItemId(c.statusSelector), kItemNotRunning);
  EXPECT_EQ(RunningServer, nullptr);
  EXPECT_EQ(Fetch("/"), "");
  // Each apply told its outcome once: two starts, the failed check, the
  // tray's start and its shutdown.
  const std::vector<EngineState> told = {EngineState::kStarted, EngineState::kStarted,
                                         EngineState::kFailed, EngineState::kStarted,
                                         EngineState::kStopped};
  EXPECT_EQ(g_notices, told);
  // The saved file starts the engine at the next start-up when it says Running.
  Choose(c.statusSelector, kItemRunning);
  ASSERT_EQ(ApplySettings(), 1);
  StopRunningServer();
  Choose(c.statusSelector, kItemNotRunning);
  LoadStartupSettings();
  EXPECT_NE(RunningServer, nullptr);
  EXPECT_EQ(GetSelectedItemId(c.statusSelector), kItemRunning);
  EXPECT_EQ(Fetch("/", 1000), "<p>served by the main window</p>\n");
}

// A serving folder named outside ASCII ("Café"): typed into the field it is
// the system's 8-bit text (UTF-8 on Linux, the ANSI code page on Windows),
// which the folder check, the engine's file calls and settings.dat all take
// as it is: the check accepts the folder, the engine serves from it, and the
// settings file holds the name byte for byte and brings it back.
TEST_F(MainWindowTest, AFolderNamedOutsideAsciiIsCheckedServedSavedAndLoaded) {
  const MainControls& c = Controls;
  Scratch scratch;
  char e_acute[4];
  const std::string e(e_acute, static_cast<size_t>(EncodeTextCharacter(0xE9, e_acute)));
  ASSERT_FALSE(e.empty());
  const std::string folder = scratch.Path("/Caf") + e;
  ASSERT_TRUE(testos::MakeFolder(folder));
  std::ofstream(testos::Native(folder + "/index.html"), std::ios::binary)
      << "<p>served from a folder named in the code page</p>\n";
  SetFocus(c.servingField);
  InjectText((scratch.Path("/Caf") + "\xC3\xA9").c_str());  // what the keyboard sends: "é"
  ProcessPendingMessages();
  ASSERT_EQ(Text(c.servingField), folder);
  Choose(c.statusSelector, kItemRunning);
  ASSERT_EQ(ApplySettings(), 1) << (g_boxes.empty() ? "" : g_boxes[0].text);
  EXPECT_TRUE(g_boxes.empty());
  ASSERT_NE(RunningServer, nullptr);
  EXPECT_EQ(std::string(ServerSettings.serving_directory), testos::Native(folder + "/"));
  EXPECT_EQ(Fetch("/", 1000), "<p>served from a folder named in the code page</p>\n");
  // settings.dat: the name's length, then its bytes as the system has them.
  std::string bytes;
  {
    std::ifstream saved(OwnSettingsPath(), std::ios::binary);  // closed before the next save
    bytes.assign(std::istreambuf_iterator<char>(saved), std::istreambuf_iterator<char>());
  }
  ASSERT_GE(bytes.size(), 4 + folder.size());
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), folder.size());
  EXPECT_EQ(bytes.substr(4, folder.size()), folder);
  // Loaded at the next start-up, the same name starts the engine again.
  StopRunningServer();
  SetWindowTextOf(c.servingField, "");
  LoadStartupSettings();
  EXPECT_EQ(Text(c.servingField), folder);
  EXPECT_NE(RunningServer, nullptr);
  EXPECT_EQ(Fetch("/", 1000), "<p>served from a folder named in the code page</p>\n");
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{});
}

// A port held by another program: the engine's own box, then the engine
// counts as stopped while the status still shows the user's choice; the
// settings are kept (the next start tries again) and Apply stays enabled.
// Once the port is free the same apply serves.
TEST_F(MainWindowTest, ABindFailureIsTheEnginesOwnBoxAndLeavesTheEngineStopped) {
  const MainControls& c = Controls;
  Scratch scratch;
  const SocketHandle holder = testos::HoldPort(80);
  ASSERT_NE(holder, kInvalidSocket);
  Choose(c.statusSelector, kItemRunning);
  SetWindowTextOf(c.servingField, scratch.root.c_str());
  EXPECT_EQ(ApplySettings(), 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, "Server Failed While Attempting to Bind");
  EXPECT_EQ(g_boxes[0].caption, "Server Error");
  EXPECT_EQ(g_boxes[0].owner, nullptr);
  EXPECT_EQ(RunningServer, nullptr);
  EXPECT_EQ(ListenerRunning.load(), 0);
  EXPECT_EQ(ServerSettings.serving_directory, nullptr);
  EXPECT_EQ(GetSelectedItemId(c.statusSelector), kItemRunning);
  EXPECT_TRUE(IsWindowEnabled(c.applyButton));
  EXPECT_TRUE(testos::PathExists(OwnSettingsPath()));
  testos::CloseTestSocket(holder);
  EXPECT_EQ(ApplySettings(), 1);
  EXPECT_NE(RunningServer, nullptr);
  EXPECT_EQ(Fetch("/", 1000), "<p>served by the main window</p>\n");
  StopRunningServer();
}

}  // namespace
