// A wake-up signal: any thread raises it, one thread waits for it. The
// window system's loop waits on it beside the display so that a message
// posted from another thread ends the wait. An eventfd on POSIX systems
// (a descriptor that poll() can watch with others), an auto-reset event on
// Windows (a handle that MsgWaitForMultipleObjects can wait for).
#pragma once

#include <cstdint>

// The native descriptor or handle, or kNoWakeSignal.
using WakeSignal = intptr_t;
inline constexpr WakeSignal kNoWakeSignal = -1;

// A new signal, not raised; kNoWakeSignal when the system has none to give.
WakeSignal OpenWakeSignal();
// Releases the signal; kNoWakeSignal is ignored.
void CloseWakeSignal(WakeSignal signal);

// Raises the signal. Any thread; raising a raised signal changes nothing.
void RaiseWakeSignal(WakeSignal signal);
// Lowers a raised signal without waiting.
void DrainWakeSignal(WakeSignal signal);
// Waits until the signal is raised or `timeoutMs` passed (-1: no limit).
// Without a signal it returns at once on Windows and sleeps the time here.
void WaitForWakeSignal(WakeSignal signal, int32_t timeoutMs);
