// Writes a first settings.dat for `make run` through the program's own save
// code: the main window is built on the in-memory window system, its fields
// and selectors are set as a user would set them, and the settings are saved.
//   ambrel_first_settings SETTINGS_FILE SERVING_DIR PHP_DIR LOG_DIR
// The server is "Running", scope "Local Server", PHP, CGI and logging on.
#include <cstdio>

#include "app/app_state.h"
#include "app/main_window.h"
#include "app/settings_file.h"
#include "app/startup.h"
#include "window/window_system.h"
#include "ui/controls/popup.h"
#include "window/builtin/system_controls.h"

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s SETTINGS_FILE SERVING_DIR PHP_DIR LOG_DIR\n", argv[0]);
    return 2;
  }
  ConsoleMode = true;
  if (!InitWindowSystem(WindowSystemBackend::kHeadless)) return 1;
  StartSystemControls();
  int result = 1;
  try {
    BuildApplicationWindow();
    SetWindowTextOf(Controls.servingField, argv[2]);
    SetWindowTextOf(Controls.phpField, argv[3]);
    SetWindowTextOf(Controls.loggingField, argv[4]);
    const int32_t choices[][2] = {{0, kItemRunning}, {1, kItemLocalServer}, {2, kItemPhpEnabled},
                                  {3, kItemCgiEnabled}, {4, kItemLoggingEnabled}};
    WindowHandle selectors[] = {Controls.statusSelector, Controls.scopeSelector, Controls.phpSelector,
                                Controls.cgiSelector, Controls.loggingSelector};
    for (const auto& choice : choices) SendWindowMessage(selectors[choice[0]], TKM_ITEMCHOSEN, choice[1], 0);
    result = SaveSettingsTo(argv[1]) == 1 ? 0 : 1;
  } catch (...) {
    result = 1;
  }
  ReleaseApplication();
  StopSystemControls();
  ShutdownWindowSystem();
  if (result == 0) std::printf("wrote %s\n", argv[1]);
  return result;
}
