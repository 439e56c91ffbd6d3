#include "window/builtin/control_window.h"

#include <algorithm>
#include <cstring>

LResult CopyWindowText(const std::string& text, WParam size, LParam buffer) {
  if (size == 0 || buffer == 0) return 0;
  size_t count = std::min(static_cast<size_t>(size) - 1, text.size());
  char* out = reinterpret_cast<char*>(buffer);
  std::memcpy(out, text.data(), count);
  out[count] = '\0';
  return static_cast<LResult>(count);
}
