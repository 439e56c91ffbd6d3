#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/thread.h"

namespace {

// A child that is gone must turn a write into an error, not end the server.
void IgnoreBrokenPipes() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, nullptr);
  });
}

// The NUL-separated block as the array of entries that spawning wants.
std::vector<char*> EnvironmentArray(const char* block) {
  std::vector<char*> entries;
  for (const char* p = block; p != nullptr && *p != '\0'; p += std::strlen(p) + 1) {
    entries.push_back(const_cast<char*>(p));
  }
  entries.push_back(nullptr);
  return entries;
}

void ClosePair(int pair[2]) {
  for (int i = 0; i < 2; ++i) {
    if (pair[i] >= 0) close(pair[i]);
    pair[i] = -1;
  }
}

// The child's ends of its three pipes.
struct ChildEnds {
  int input_read;
  int output_write;
  int errors_write;
};

// Spawns with the child's ends on 0, 1 and 2. Every pipe end is
// close-on-exec and everything above 2 is closed in the child, so the child
// keeps only what it was given, and a child started at the same moment by
// another session inherits none of them. 0 or the system's error number.
int Spawn(const char* program, const char* argument, char* const* environment,
          const char* directory, const ChildEnds& ends, pid_t* pid) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_adddup2(&actions, ends.input_read, 0);
  posix_spawn_file_actions_adddup2(&actions, ends.output_write, 1);
  posix_spawn_file_actions_adddup2(&actions, ends.errors_write, 2);
  // Descriptors the server itself inherited without close-on-exec stay too.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
  if (directory != nullptr && *directory != '\0') {
    posix_spawn_file_actions_addchdir_np(&actions, directory);
  }
  // The server ignores SIGPIPE; its children get the ordinary behaviour back.
  sigset_t defaults, empty;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  sigemptyset(&empty);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setsigmask(&attributes, &empty);
  // A process group of its own, so that a stop ends what the script started
  // too (a "sleep" holding the output pipe open, say).
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);
  bool has_argument = argument != nullptr && *argument != '\0';
  char* argv[] = {const_cast<char*>(program), has_argument ? const_cast<char*>(argument) : nullptr,
                  nullptr};
  int rc = posix_spawn(pid, program, &actions, &attributes, argv, environment);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return rc;
}

thread_local char StartFailure[256];

void NoteStartFailure(int error) {
  StartFailure[0] = '\0';
  if (error == 0) return;
  // The GNU strerror_r, which may return a text of its own instead of
  // filling the buffer.
  const char* text = strerror_r(error, StartFailure, sizeof StartFailure);
  if (text != StartFailure) std::snprintf(StartFailure, sizeof StartFailure, "%s", text);
}

// Children started and not yet reaped, so that a stop can end them. A number
// stays in the list until just before its exit status is collected: while it
// is listed it cannot belong to another process, and ending it is safe.
std::mutex ChildListLock;
std::vector<pid_t> RunningChildren;
bool EndingChildren = false;

// The child and everything it started in its own process group.
void EndChild(pid_t pid) {
  kill(-pid, SIGKILL);
  kill(pid, SIGKILL);
}

void AddRunningChild(pid_t pid) {
  std::lock_guard<std::mutex> guard(ChildListLock);
  RunningChildren.push_back(pid);
  // A stop is under way: a script started now would hold its session.
  if (EndingChildren) EndChild(pid);
}

// Waits (when `block`) until the child has ended without collecting it;
// true when it has ended.
bool HasEnded(pid_t pid, bool block) {
  siginfo_t info{};
  int options = WEXITED | WNOWAIT | (block ? 0 : WNOHANG);
  for (;;) {
    if (waitid(P_PID, static_cast<id_t>(pid), &info, options) == 0) {
      return block || info.si_pid == pid;
    }
    // Not ours to wait for any more (cannot happen while it is listed):
    // treat as ended so that it leaves the list.
    if (errno != EINTR) return true;
  }
}

// Takes the ended child off the list, then collects its exit status.
void Collect(pid_t pid) {
  {
    std::lock_guard<std::mutex> guard(ChildListLock);
    auto found = std::find(RunningChildren.begin(), RunningChildren.end(), pid);
    if (found != RunningChildren.end()) RunningChildren.erase(found);
  }
  waitpid(pid, nullptr, 0);
}

// Collects the child's exit status once it ends, so that no zombie stays.
void ReapWhenDone(pid_t pid) {
  if (HasEnded(pid, false)) {
    Collect(pid);
    return;
  }
  // A plain thread, left running: it may still be on its way out while the
  // process ends, and has nothing of its own to tear down then. With no
  // thread to spare the child stays listed, and a zombie once it ends,
  // until the server ends.
  ThreadHandle reaper = StartThread(
      [](void* parameter) {
        const pid_t child = static_cast<pid_t>(reinterpret_cast<intptr_t>(parameter));
        HasEnded(child, true);
        Collect(child);
      },
      reinterpret_cast<void*>(static_cast<intptr_t>(pid)), 0, nullptr);
  if (reaper != kInvalidThread) CloseThreadHandle(reaper);
}

}  // namespace

bool StartChildProcess(const char* program, const char* argument, const char* environment,
                       const char* working_directory, ChildProcess* child) {
  if (program == nullptr || child == nullptr) return false;
  *child = ChildProcess{kNoProcess, kInvalidFile, kInvalidFile, kInvalidFile};
  IgnoreBrokenPipes();
  int input[2] = {-1, -1};
  int output[2] = {-1, -1};
  int errors[2] = {-1, -1};
  if (pipe2(input, O_CLOEXEC) != 0 || pipe2(output, O_CLOEXEC) != 0 ||
      pipe2(errors, O_CLOEXEC) != 0) {
    NoteStartFailure(errno);
    ClosePair(input);
    ClosePair(output);
    ClosePair(errors);
    return false;
  }
  std::vector<char*> entries = EnvironmentArray(environment);
  pid_t pid = -1;
  int error = Spawn(program, argument, entries.data(), working_directory,
                    ChildEnds{input[0], output[1], errors[1]}, &pid);
  NoteStartFailure(error);
  // The child's ends belong to the child alone now.
  close(input[0]);
  close(output[1]);
  close(errors[1]);
  if (error != 0) {
    close(input[1]);
    close(output[0]);
    close(errors[0]);
    return false;
  }
  AddRunningChild(pid);
  *child = ChildProcess{pid, input[1], output[0], errors[0]};
  return true;
}

const char* ChildStartFailure() { return StartFailure; }

void CloseChildPipe(FileHandle* end) {
  if (end == nullptr || *end == kInvalidFile) return;
  close(static_cast<int>(*end));
  *end = kInvalidFile;
}

void ReleaseChildProcess(ChildProcess* child) {
  if (child == nullptr) return;
  CloseChildPipe(&child->input);
  CloseChildPipe(&child->output);
  CloseChildPipe(&child->errors);
  if (child->id != kNoProcess) ReapWhenDone(static_cast<pid_t>(child->id));
  child->id = kNoProcess;
}

void EndChildProcesses() {
  std::lock_guard<std::mutex> guard(ChildListLock);
  EndingChildren = true;
  for (pid_t pid : RunningChildren) EndChild(pid);
}

void AllowChildProcesses() {
  std::lock_guard<std::mutex> guard(ChildListLock);
  EndingChildren = false;
}

bool GetOwnEnvironmentVariable(const char* name, char* out, int32_t capacity) {
  const char* value = name != nullptr ? std::getenv(name) : nullptr;
  if (value == nullptr || out == nullptr || capacity <= 0) return false;
  size_t length = std::strlen(value);
  if (length >= static_cast<size_t>(capacity)) return false;
  std::memcpy(out, value, length + 1);
  return true;
}
