#include "platform/wake.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

WakeSignal OpenWakeSignal() {
  int fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return fd >= 0 ? fd : kNoWakeSignal;
}

void CloseWakeSignal(WakeSignal signal) {
  if (signal >= 0) close(static_cast<int>(signal));
}

void RaiseWakeSignal(WakeSignal signal) {
  if (signal < 0) return;
  uint64_t one = 1;
  ssize_t written = write(static_cast<int>(signal), &one, sizeof one);
  (void)written;  // a full counter already means "wake up"
}

void DrainWakeSignal(WakeSignal signal) {
  if (signal < 0) return;
  uint64_t count = 0;
  ssize_t got = read(static_cast<int>(signal), &count, sizeof count);
  (void)got;  // non-blocking: nothing to read is fine
}

void WaitForWakeSignal(WakeSignal signal, int32_t timeoutMs) {
  pollfd fd{static_cast<int>(signal), POLLIN, 0};
  poll(&fd, 1, timeoutMs);
}
