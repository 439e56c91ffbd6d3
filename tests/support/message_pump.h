// Keeping a test's own windows alive on a real display: the message loop run
// until a condition holds, and a client program (xdotool) run to its end
// while the loop goes on.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support/wait.h"
#include "window/window_system.h"

// Runs the message loop until `done` holds; false when `limit` passes first.
// The default is generous: a loaded display server may take seconds.
template <typename Done>
bool PumpUntil(Done&& done, std::chrono::milliseconds limit = std::chrono::seconds(30)) {
  return WaitUntil([&] {
    ProcessPendingMessages();
    return done();
  }, limit);
}

// Runs a program (argv[0] a full path) to its end while pumping messages;
// its exit status, or -1 when it could not run or took over 30 seconds.
inline int RunClient(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = fork();
  if (pid == 0) {
    execv(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0) return -1;
  int status = 0;
  bool ended =
      PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, std::chrono::seconds(30));
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
