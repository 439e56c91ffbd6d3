#include "platform/wake.h"

#include <windows.h>

namespace {

HANDLE EventOf(WakeSignal signal) { return reinterpret_cast<HANDLE>(signal); }

}  // namespace

WakeSignal OpenWakeSignal() {
  HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return event != nullptr ? reinterpret_cast<WakeSignal>(event) : kNoWakeSignal;
}

void CloseWakeSignal(WakeSignal signal) {
  if (signal != kNoWakeSignal) CloseHandle(EventOf(signal));
}

void RaiseWakeSignal(WakeSignal signal) {
  if (signal != kNoWakeSignal) SetEvent(EventOf(signal));
}

void DrainWakeSignal(WakeSignal signal) {
  if (signal != kNoWakeSignal) ResetEvent(EventOf(signal));
}

void WaitForWakeSignal(WakeSignal signal, int32_t timeoutMs) {
  if (signal == kNoWakeSignal) return;
  WaitForSingleObject(EventOf(signal), timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
}
