#include "platform/shell.h"

#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>

extern char** environ;

bool OpenTarget(const char* target) {
  if (target == nullptr || target[0] == '\0') return false;
  // A short-lived shell starts the opener in the background and exits, so
  // the opener is re-parented away from us and this call never waits on it
  // (xdg-open itself blocks until the browser exits). The target travels as
  // a positional argument and is never parsed by the shell.
  static const char kScript[] =
      "command -v xdg-open >/dev/null 2>&1 || exit 127\n"
      "xdg-open \"$1\" </dev/null >/dev/null 2>&1 &";
  char* const argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"),
                        const_cast<char*>(kScript), const_cast<char*>("sh"),
                        const_cast<char*>(target), nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, argv, environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
