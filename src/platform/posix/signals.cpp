#include "platform/signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

namespace {

// The signal handler only writes the signal's number into a pipe; the
// watcher thread reads it and calls the program's handler outside the
// signal context.
int SignalPipe[2] = {-1, -1};

void OnSignal(int signal) {
  const int saved = errno;
  const unsigned char number = static_cast<unsigned char>(signal);
  [[maybe_unused]] ssize_t n = write(SignalPipe[1], &number, 1);
  errno = saved;
}

void Watch(void (*handler)(int)) {
  for (;;) {
    unsigned char number = 0;
    const ssize_t n = read(SignalPipe[0], &number, 1);
    if (n == 1) handler(number);
    else if (n < 0 && errno == EINTR) continue;
    else return;
  }
}

}  // namespace

bool WatchEndingSignals(void (*handler)(int signal)) {
  if (handler == nullptr || SignalPipe[0] >= 0 || pipe2(SignalPipe, O_CLOEXEC) != 0) return false;
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) sigaction(signal, &action, nullptr);
  std::thread(Watch, handler).detach();
  return true;
}
