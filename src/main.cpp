// The program's entry point: the window system (the X display, or memory
// when there is none), then the start-up inside the one error handler. An
// error ends the program with exit code 0 after its box; a normal end gives 1.
#include <cstdio>

#include "app/app_state.h"
#include "app/server_control.h"
#include "app/startup.h"
#include "core/error.h"
#include "platform/message_box.h"
#include "platform/signals.h"
#include "platform/window_system.h"
#include "ui/system/system_controls.h"

namespace {

// The session is ending (SIGTERM, SIGHUP, Ctrl+C): the message loop ends, and
// the engine is stopped below before the program goes.
void OnEndingSignal(int) { PostQuit(0); }

// Boxes raised by engine threads from now on go to standard error: the user
// interface no longer answers them.
void StopEngineForExit() {
  SetMessageBoxPresenter(nullptr);
  StopRunningServer();
}

// The display went away (logout): the engine stops so that the access log
// writes out what it holds; the window system then ends the process.
void OnDisplayLost() { StopEngineForExit(); }

bool StartWindowSystem() {
  if (InitWindowSystem(WindowSystemBackend::kX11)) {
    SetDisplayLostHandler(OnDisplayLost);
  } else {
    g_consoleMode = true;
    if (!InitWindowSystem(WindowSystemBackend::kHeadless)) return false;
  }
  StartSystemControls();
  if (g_consoleMode) SetMessageBoxPresenter(nullptr);
  return true;
}

}  // namespace

int main() {
  WatchEndingSignals(OnEndingSignal);
  if (!StartWindowSystem()) {
    std::fprintf(stderr, "%s: no window system\n", kAppTitle);
    return 0;
  }
  int exitCode = 1;
  try {
    StartApplication();
  } catch (const ErrorText& error) {
    ShowAppMessage(nullptr, error.what(), kErrorCaption, MessageBoxIcon::kError);
    exitCode = 0;
  }
  StopEngineForExit();
  ReleaseApplication();
  StopSystemControls();
  ShutdownWindowSystem();
  return exitCode;
}
