// The desktop's folder chooser as a child process: zenity, else kdialog,
// with its answer on a pipe. The modal wait around it is the window
// system's (window/folder_chooser.cpp).
#include "platform/shell.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

struct FolderChooserRun {
  pid_t pid;
  int output;  // read end of the chooser's standard output
  int status;
};

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

bool IsFolder(const char* path) {
  struct stat info {};
  return path != nullptr && path[0] == '/' && stat(path, &info) == 0 && S_ISDIR(info.st_mode);
}

// The chooser's command line, or empty when none is installed. zenity opens
// on the folder its file name ends in, hence the trailing separator.
std::vector<std::string> ChooserCommand(const char* title, const char* startFolder) {
  std::string start = IsFolder(startFolder) ? startFolder : "";
  std::string zenity = FindOnPath("zenity");
  if (!zenity.empty()) {
    std::vector<std::string> command{zenity, "--file-selection", "--directory",
                                     std::string("--title=") + title};
    if (!start.empty()) command.push_back("--filename=" + start + (start.back() == '/' ? "" : "/"));
    return command;
  }
  std::string kdialog = FindOnPath("kdialog");
  if (!kdialog.empty()) {
    std::vector<std::string> command{kdialog, "--title", title, "--getexistingdirectory"};
    if (!start.empty()) command.push_back(start);
    return command;
  }
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

}  // namespace

FolderChooserRun* StartFolderChooser(const char* title, const char* startFolder) {
  std::vector<std::string> command = ChooserCommand(title != nullptr ? title : "", startFolder);
  if (command.empty()) return nullptr;
  int output = -1;
  pid_t pid = StartChooser(command, &output);
  if (pid < 0) return nullptr;
  return new FolderChooserRun{pid, output, 0};
}

void WaitForFolderChooserEnd(FolderChooserRun* run) {
  while (waitpid(run->pid, &run->status, 0) < 0 && errno == EINTR) {
  }
}

void StopFolderChooser(FolderChooserRun* run) { kill(run->pid, SIGTERM); }

bool FinishFolderChooser(FolderChooserRun* run, std::string* chosen) {
  *chosen = ReadAll(run->output);
  close(run->output);
  const int status = run->status;
  delete run;
  while (!chosen->empty() && (chosen->back() == '\n' || chosen->back() == '\r')) chosen->pop_back();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !chosen->empty() && (*chosen)[0] == '/';
}
