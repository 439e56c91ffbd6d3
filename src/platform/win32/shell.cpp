#include "platform/shell.h"

#include <windows.h>
#include <shellapi.h>

bool OpenTarget(const char* target) {
  if (target == nullptr || target[0] == '\0') return false;
  // Values above 32 mean success.
  auto rc = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", target, nullptr, nullptr, SW_SHOWNORMAL));
  return rc > 32;
}
