// A private Xvfb for one test, on a display number it picks itself, ended
// by its own process id; and a way to run a client (xdotool) against it
// while the caller keeps its own messages flowing.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/window_system.h"

class PrivateXServer {
 public:
  bool Start() {
    if (access("/usr/bin/Xvfb", X_OK) != 0) return false;
    int fds[2];
    if (pipe(fds) != 0) return false;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      int null = open("/dev/null", O_WRONLY);
      dup2(null, 2);
      std::string fd = std::to_string(fds[1]);
      execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten",
            "tcp", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    // Xvfb writes the number and the newline separately and dies if the
    // pipe is gone before the newline, so read up to the newline.
    std::string number;
    char c = 0;
    while (pid_ > 0 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) return false;
    display_ = ":" + number;
    return true;
  }
  ~PrivateXServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& display() const { return display_; }

 private:
  pid_t pid_ = -1;
  std::string display_;
};

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
