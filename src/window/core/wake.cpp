// How other threads wake the user-interface thread: posting a message or
// handing it a call sets the wake, and the backend's wait returns. An
// eventfd on POSIX systems (the X11 backend polls it beside the display's
// connection); an auto-reset event on Windows (waited for together with the
// thread's own message queue).
#include "window/core/core.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#endif

namespace wscore {

#ifdef _WIN32

bool OpenWake() {
  State().wakeEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  return State().wakeEvent != nullptr;
}

void CloseWake() {
  if (State().wakeEvent != nullptr) CloseHandle(static_cast<HANDLE>(State().wakeEvent));
  State().wakeEvent = nullptr;
}

void WakeUiThread() {
  if (State().wakeEvent != nullptr) SetEvent(static_cast<HANDLE>(State().wakeEvent));
}

void DrainWake() {
  if (State().wakeEvent != nullptr) ResetEvent(static_cast<HANDLE>(State().wakeEvent));
}

void WaitForWake(int32_t timeoutMs) {
  if (State().wakeEvent == nullptr) return;
  WaitForSingleObject(static_cast<HANDLE>(State().wakeEvent),
                      timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
}

#else

bool OpenWake() {
  State().wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return State().wakeFd >= 0;
}

void CloseWake() {
  if (State().wakeFd >= 0) close(State().wakeFd);
  State().wakeFd = -1;
}

void WakeUiThread() {
  int fd = State().wakeFd;
  if (fd < 0) return;
  uint64_t one = 1;
  ssize_t written = write(fd, &one, sizeof one);
  (void)written;  // a full counter already means "wake up"
}

void DrainWake() {
  int fd = State().wakeFd;
  if (fd < 0) return;
  uint64_t count = 0;
  ssize_t got = read(fd, &count, sizeof count);
  (void)got;  // non-blocking: nothing to read is fine
}

void WaitForWake(int32_t timeoutMs) {
  pollfd fd{State().wakeFd, POLLIN, 0};
  poll(&fd, 1, timeoutMs);
}

#endif

}  // namespace wscore
