// A way to run a client (xdotool) against the private display while the
// caller keeps its own messages flowing.
#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/window_system.h"
#include "support/private_display.h"

// Pumps messages until `done` holds; false after about six seconds.
template <typename Done>
bool PumpUntil(Done done) {
  for (int i = 0; i < 3000; ++i) {
    ProcessPendingMessages();
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return false;
}

// Runs a program (argv[0] a full path) to its end while pumping messages;
// its exit status, or -1 when it could not run or took over ten seconds.
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
  bool ended = PumpUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; });
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
