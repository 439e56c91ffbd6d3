// How other threads wake the user-interface thread: posting a message or
// handing it a call raises the wake signal (platform/wake.h), and the
// backend's wait returns. The X11 backend polls the signal beside the
// display's connection; the USER32 backend waits for it together with the
// thread's own message queue.
#include "platform/wake.h"
#include "window/core/core.h"

namespace wscore {

bool OpenWake() {
  State().wake = OpenWakeSignal();
  return State().wake != kNoWakeSignal;
}

void CloseWake() {
  CloseWakeSignal(State().wake);
  State().wake = kNoWakeSignal;
}

void WakeUiThread() { RaiseWakeSignal(State().wake); }

void DrainWake() { DrainWakeSignal(State().wake); }

void WaitForWake(int32_t timeoutMs) { WaitForWakeSignal(State().wake, timeoutMs); }

}  // namespace wscore
