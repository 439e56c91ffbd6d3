// The program's main window on the headless window system, built once per
// test program exactly as start-up builds it, and a watcher that reads and
// closes every message box the program raises (through the box's own copy
// command, as a user would copy it), so tests see the texts in order.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/server_control.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "app/tray_icon.h"
#include "window/tray.h"
#include "core/blocks.h"
#include "core/paths.h"
#include "ui/controls/popup.h"
#include "ui/controls/selector.h"
#include "window/builtin/system_controls.h"

struct SeenBox {
  std::string caption;
  std::string text;
  WindowHandle owner;
};

inline std::vector<SeenBox> g_boxes;

inline void ReadAndCloseBox(WindowHandle box) {
  SendWindowMessage(box, WM_CHAR, 3, 0);  // the box copies "caption\n\ntext\n"
  std::string copied;
  GetSelectionText(ClipboardSelection::kClipboard, &copied);
  const size_t split = copied.find("\n\n");
  SeenBox seen{copied.substr(0, split), split == std::string::npos ? "" : copied.substr(split + 2),
               GetWindowOwner(box)};
  if (!seen.text.empty() && seen.text.back() == '\n') seen.text.pop_back();
  g_boxes.push_back(seen);
  SendWindowMessage(box, WM_KEYDOWN, VK_RETURN, 0);
}

inline LResult BoxWatcherProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_TIMER) {
    WindowHandle active = GetActiveTopLevelWindow();
    if (active != nullptr && std::string(GetWindowClassName(active)) == kMessageBoxClassName) {
      ReadAndCloseBox(active);
    }
    return 0;
  }
  return DefaultWindowProc(window, message, wParam, lParam);
}

// The settings file of this test program: beside its executable.
inline std::string OwnSettingsPath() {
  char* path = nullptr;
  if (!GetProgramFilePath(&path, kSettingsFileName)) return {};
  std::string result = path;
  FreeAndClear(&path);
  return result;
}

class MainWindowEnvironment : public testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
    ASSERT_TRUE(StartSystemControls());
    BuildApplicationWindow();
    ASSERT_NE(MainWindow, nullptr);
    // A desktop with a tray, as start-up meets it: every apply refreshes the
    // icon, and the close box hides the window.
    SetHeadlessTrayHost(true, 16);
    AddTrayIcon();
    WindowClass watcher{};
    watcher.name = "AppTestBoxWatcher";
    watcher.procedure = BoxWatcherProc;
    ASSERT_TRUE(RegisterWindowClass(watcher));
    WindowHandle w = CreateSystemWindow(0, watcher.name, "", WS_POPUP, 0, 0, 1, 1, nullptr, 0, nullptr);
    ASSERT_NE(w, nullptr);
    SetTimer(w, 1, 10);
  }
  void TearDown() override {
    StopRunningServer();
    ReleaseApplication();
    StopSystemControls();
    ShutdownWindowSystem();
    std::remove(OwnSettingsPath().c_str());
  }
};

inline void Choose(WindowHandle selector, int32_t id) {
  SendWindowMessage(selector, TKM_ITEMCHOSEN, static_cast<WParam>(id), 0);
}

inline std::string Text(WindowHandle field) { return GetWindowTextString(field); }

// Each test starts from a first start without settings: no settings file,
// the engine stopped, the defaults chosen, the window shown.
class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    StopRunningServer();
    std::remove(OwnSettingsPath().c_str());
    for (WindowHandle f : {Controls.servingField, Controls.phpField, Controls.loggingField}) {
      SetWindowTextOf(f, "");
    }
    Choose(Controls.scopeSelector, kItemLocalServer);
    LoadStartupSettings();
    ShowMainWindow(0);
    ProcessPendingMessages();
    g_boxes.clear();
  }
  void TearDown() override { StopRunningServer(); }

  static std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const SeenBox& b : g_boxes) texts.push_back(b.text);
    return texts;
  }
};
