// A private X display for one test program: Xvfb started with -displayfd
// (so it picks a free display number itself), DISPLAY pointed at it, and the
// server ended by its process id when the program ends (or by the kernel
// when the program dies first).
#pragma once

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

class XvfbDisplay : public testing::Environment {
 public:
  void SetUp() override {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const std::string fd = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
                          "-nolisten", "tcp", nullptr};
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      // the server goes with the test program, even when that one crashes
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      close(fds[0]);
      execvp("Xvfb", const_cast<char**>(argv));
      _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;  // Xvfb writes it when ready
    close(fds[0]);
    ASSERT_FALSE(number.empty()) << "Xvfb did not start";
    setenv("DISPLAY", (":" + number).c_str(), 1);
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }

 private:
  pid_t pid_ = 0;
};
