// The program's entry point: the window system (the X display, or memory
// when there is none), then the start-up inside the one error handler. A
// normal end gives exit code 0; an end on a start-up error gives 1 after its
// box, so a script can tell the two apart.
#include <atomic>
#include <cstdio>
#include <thread>

#include "app/app_state.h"
#include "app/server_control.h"
#include "app/startup.h"
#include "core/error.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "platform/signals.h"
#include "window/window_system.h"
#include "window/builtin/system_controls.h"

namespace {

// The session is ending (SIGTERM, SIGHUP, Ctrl+C): the message loop ends, and
// the engine is stopped below before the program goes.
void OnEndingSignal(int) { PostQuit(0); }

// The display went away (logout): the engine stops so that the access log
// writes out what it holds; the window system then ends the process. Boxes
// of engine threads go to standard error from now on. A listener already
// waiting for the user interface to show its box would wait for ever, so the
// stop is given a bounded time.
std::atomic<bool> StoppedAfterDisplayLoss{false};

void OnDisplayLost() {
  SetMessageBoxPresenter(nullptr);
  std::thread stopper([] {
    StopRunningServer();
    StoppedAfterDisplayLoss = true;
  });
  for (int i = 0; i < 100 && !StoppedAfterDisplayLoss; ++i) SleepMilliseconds(50);
  if (StoppedAfterDisplayLoss) stopper.join();
  else stopper.detach();
}

bool StartWindowSystem() {
  if (InitWindowSystem(DesktopWindowBackend())) {
    SetDisplayLostHandler(OnDisplayLost);
  } else {
    ConsoleMode = true;
    if (!InitWindowSystem(WindowSystemBackend::kHeadless)) return false;
  }
  StartSystemControls();
  if (ConsoleMode) SetMessageBoxPresenter(nullptr);
  return true;
}

}  // namespace

int main() {
  WatchEndingSignals(OnEndingSignal);
  if (!StartWindowSystem()) {
    std::fprintf(stderr, "%s: no window system\n", kAppTitle);
    return 1;
  }
  int exitCode = 0;
  try {
    StartApplication();
  } catch (const ErrorText& error) {
    ShowAppMessage(nullptr, error.what(), kErrorCaption, MessageBoxIcon::kError);
    exitCode = 1;
  }
  // The window system goes first: a listener that waits to show a box is
  // released (its text goes to standard error), so the stop cannot wait on
  // the user interface.
  SetMessageBoxPresenter(nullptr);
  ReleaseApplication();
  StopSystemControls();
  ShutdownWindowSystem();
  StopRunningServer();
  return exitCode;
}
