#include <windows.h>

#include <cstdio>

#include "platform/message_box.h"

// Without a presenter of the user interface: a program with a console (the
// tools and tests) writes the box to standard error; one without a console
// shows a real message box with no owner window.
void PresentWithoutUserInterface(const char* text, const char* caption, MessageBoxIcon icon) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error != nullptr && error != INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "%s: %s\n", caption ? caption : "", text ? text : "");
    std::fflush(stderr);
    return;
  }
  UINT style = MB_OK | (icon == MessageBoxIcon::kError ? MB_ICONERROR : MB_ICONINFORMATION);
  MessageBoxA(nullptr, text ? text : "", caption ? caption : "", style);
}
