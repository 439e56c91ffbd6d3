// The console's ending events (Ctrl+C, Ctrl+Break, the console closing, the
// session ending) reach the handler on the thread the system makes for them.
#include <windows.h>

#include "platform/signals.h"

namespace {

void (*EndingHandler)(int) = nullptr;

BOOL WINAPI OnConsoleEvent(DWORD event) {
  if (EndingHandler == nullptr) return FALSE;
  EndingHandler(static_cast<int>(event));
  return TRUE;
}

}  // namespace

bool WatchEndingSignals(void (*handler)(int signal)) {
  EndingHandler = handler;
  return SetConsoleCtrlHandler(OnConsoleEvent, TRUE) != FALSE;
}
