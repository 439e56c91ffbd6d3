#include "app/app_state.h"

#include <cstdio>

#include "window/builtin/system_controls.h"

Icon* AppIcons[kAppIconCount] = {};
FontHandle MainFont = nullptr;
GuiWindow* MainWindow = nullptr;
Image* MainBanner = nullptr;
EngineToken* RunningServer = nullptr;
bool SettingsLoading = false;
MainControls Controls = {};
bool ConsoleMode = false;
GuiWindow* AboutWindow = nullptr;
bool CloseRequested = false;

const Icon* AppIcon(int32_t number) {
  return number >= 1 && number <= kAppIconCount ? AppIcons[number - 1] : nullptr;
}

WindowHandle MainWindowHandle() { return MainWindow != nullptr ? MainWindow->hwnd : nullptr; }

void ShowAppMessage(WindowHandle owner, const char* text, const char* caption,
                    MessageBoxIcon icon) {
  if (ConsoleMode) {
    std::fprintf(stderr, "%s: %s\n", caption, text);
    return;
  }
  ShowOwnedMessageBox(owner, text, caption, icon);
}
