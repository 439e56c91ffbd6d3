// A private X display for one test program: Xvfb picks a free display number
// itself (-displayfd), goes with the test program when that one dies (the
// parent-death signal) and is otherwise ended by its process id. Every wait
// is bounded. Start it from the main thread: the parent-death signal follows
// the thread that started the server.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "support/wait.h"

namespace private_display_detail {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Reads one line from `fd` into `line` (without the newline); false when the
// writer went away or `limit` passed first. Xvfb writes the number and the
// newline separately and dies ("Cannot write display number") when the pipe
// closes in between, so the reader waits for the newline itself.
inline bool ReadLine(int fd, std::string* line, milliseconds limit) {
  const Clock::time_point deadline = Clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd ready{fd, POLLIN, 0};
    const int n = poll(&ready, 1, static_cast<int>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    char c = 0;
    const ssize_t got = read(fd, &c, 1);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    if (c == '\n') return true;
    line->push_back(c);
  }
}

// Reaps `pid` within `limit`; true when it has ended (or is not our child).
inline bool WaitForExit(pid_t pid, milliseconds limit) {
  return WaitUntil([pid] {
    const pid_t done = waitpid(pid, nullptr, WNOHANG);
    return done == pid || (done < 0 && errno != EINTR);
  }, limit);
}

// In the forked child: becomes Xvfb writing its display number to `fd`.
// Only async-signal-safe calls here; `fd_text` was made before the fork.
[[noreturn]] inline void ExecXvfb(int fd, const char* fd_text, pid_t parent) {
  prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (getppid() != parent) _exit(1);  // the test program died before the line above
  fcntl(fd, F_SETFD, 0);              // the write end stays open in Xvfb
  execlp("Xvfb", "Xvfb", "-displayfd", fd_text, "-screen", "0", "1024x768x24", "-nolisten", "tcp",
         "-noreset", static_cast<char*>(nullptr));
  _exit(127);
}

}  // namespace private_display_detail

class PrivateDisplay {
 public:
  PrivateDisplay() = default;
  PrivateDisplay(const PrivateDisplay&) = delete;
  PrivateDisplay& operator=(const PrivateDisplay&) = delete;
  ~PrivateDisplay() { Stop(); }

  // Starts Xvfb and waits up to ten seconds for its display number; false
  // when it could not be started or did not come up.
  bool Start() {
    using namespace private_display_detail;
    if (pid_ > 0) return true;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    const std::string fd_text = std::to_string(fds[1]);
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ == 0) ExecXvfb(fds[1], fd_text.c_str(), parent);
    close(fds[1]);
    std::string number;
    const bool named = pid_ > 0 && ReadLine(fds[0], &number, milliseconds(10000));
    close(fds[0]);
    if (!named || number.empty()) {
      Stop();
      return false;
    }
    name_ = ":" + number;
    return true;
  }

  // Start, then DISPLAY names the private display for this process and the
  // programs it starts.
  bool StartAndExport() {
    if (!Start()) return false;
    setenv("DISPLAY", name_.c_str(), 1);
    return true;
  }

  // Ends the server: SIGTERM, and SIGKILL when it is still there after five
  // seconds.
  void Stop() {
    using namespace private_display_detail;
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      if (!WaitForExit(pid_, milliseconds(5000))) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
      }
    }
    pid_ = -1;
    name_.clear();
  }

  // ":N" while the server runs, else empty.
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// The private display for a whole test program, exported as DISPLAY before
// the first test and ended after the last.
class PrivateDisplayEnvironment : public testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(display_.StartAndExport()) << "Xvfb did not start"; }
  void TearDown() override { display_.Stop(); }

 private:
  PrivateDisplay display_;
};
