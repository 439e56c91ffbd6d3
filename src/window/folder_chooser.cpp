// The desktop's folder chooser, run as a child process while the
// user-interface thread goes on dispatching messages. It lives beside the X11
// backend because the wait needs the window system's loop.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/shell.h"

extern char** environ;

namespace {

// The full name of `program` found on PATH, or empty.
std::string FindOnPath(const char* program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path != nullptr ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty entry means the current folder.
    std::string candidate = end > start ? dirs.substr(start, end - start) : std::string(".");
    candidate += '/';
    candidate += program;
    if (access(candidate.c_str(), X_OK) == 0) return candidate;
    start = end + 1;
  }
  return {};
}

// The chooser's command line, or empty when none is installed.
std::vector<std::string> ChooserCommand(const char* title) {
  std::string zenity = FindOnPath("zenity");
  if (!zenity.empty()) {
    return {zenity, "--file-selection", "--directory", std::string("--title=") + title};
  }
  std::string kdialog = FindOnPath("kdialog");
  if (!kdialog.empty()) return {kdialog, "--title", title, "--getexistingdirectory"};
  return {};
}

// Starts the chooser with its standard output on a pipe; its pid, or -1.
pid_t StartChooser(const std::vector<std::string>& command, int* output) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  std::vector<char*> argv;
  for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  // Toolkit chatter of the chooser ("mapped without a transient parent").
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  sigset_t defaults, empty;
  sigfillset(&defaults);
  sigemptyset(&empty);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &empty);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ) != 0) pid = -1;
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (pid < 0) {
    close(fds[0]);
    return -1;
  }
  *output = fds[0];
  return pid;
}

std::string ReadAll(int fd) {
  std::string text;
  char buffer[512];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n > 0) text.append(buffer, static_cast<size_t>(n));
    else if (n < 0 && errno == EINTR) continue;
    else break;
  }
  return text;
}

// Dispatches messages until the chooser has ended; true when a quit message
// arrived meanwhile (its code in *quitCode).
bool WaitForChooser(pid_t pid, int* status, int32_t* quitCode) {
  std::atomic<bool> ended{false};
  // A helper thread reaps the child and wakes the loop with an empty message.
  std::thread reaper([&] {
    while (waitpid(pid, status, 0) < 0 && errno == EINTR) {
    }
    ended = true;
    PostWindowMessage(nullptr, WM_NULL, 0, 0);
  });
  bool quit = false;
  while (!ended) {
    WindowMessage message{};
    if (!GetNextMessage(&message)) {
      quit = true;
      *quitCode = static_cast<int32_t>(message.wParam);
      kill(pid, SIGTERM);
      continue;
    }
    DispatchWindowMessage(&message);
  }
  reaper.join();
  return quit;
}

}  // namespace

FolderChoice ChooseFolder(WindowHandle owner, const char* title, char* out, int32_t capacity) {
  if (out == nullptr || capacity <= 0) return FolderChoice::kCancelled;
  out[0] = '\0';
  std::vector<std::string> command = ChooserCommand(title != nullptr ? title : "");
  if (command.empty()) return FolderChoice::kNoChooser;
  int output = -1;
  pid_t pid = StartChooser(command, &output);
  if (pid < 0) return FolderChoice::kNoChooser;
  const bool disabled = owner != nullptr && IsWindowEnabled(owner);
  if (disabled) EnableWindow(owner, false);
  int status = 0;
  int32_t quitCode = 0;
  const bool quit = WaitForChooser(pid, &status, &quitCode);
  std::string chosen = ReadAll(output);
  close(output);
  if (disabled && IsWindow(owner)) {
    EnableWindow(owner, true);
    if (IsWindowVisible(owner)) SetForegroundWindow(owner);
  }
  if (quit) {
    PostQuit(quitCode);
    return FolderChoice::kCancelled;
  }
  while (!chosen.empty() && (chosen.back() == '\n' || chosen.back() == '\r')) chosen.pop_back();
  const bool ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !chosen.empty() &&
                  chosen[0] == '/' && chosen.size() < static_cast<size_t>(capacity);
  if (!ok) return FolderChoice::kCancelled;
  std::memcpy(out, chosen.c_str(), chosen.size() + 1);
  return FolderChoice::kChosen;
}
