#include <cstdio>

#include "platform/message_box.h"

// Without a presenter of the user interface the box goes to standard error.
void PresentWithoutUserInterface(const char* text, const char* caption, MessageBoxIcon) {
  std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
}
