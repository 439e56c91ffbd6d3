// What the built-in windows (EDIT, STATIC and the message box) share in
// answering the window system: painting through a memory surface, and
// handing out their text.
#pragma once

#include <string>

#include "window/window_system.h"
#include "ui/render/image.h"
#include "ui/render/surface.h"

// Answers WM_PAINT of `window`: `paint(image)` draws the whole client area
// into a memory surface of the client's size, which then reaches the window
// in one copy. Nothing is drawn when memory runs out.
template <typename Paint>
void PaintThroughSurface(WindowHandle window, Paint&& paint) {
  PaintInfo info{};
  if (!BeginPaint(window, &info)) return;
  WinRect client{};
  GetClientRect(window, &client);
  Surface surface{};
  if (CreateMemorySurface(&surface, client.right, client.bottom)) {
    paint(surface.image);
    BlitSurface(window, 0, 0, surface.width, surface.height, &surface);
    ReleaseSurface(&surface);
  }
  EndPaint(window, &info);
}

// Answers WM_GETTEXT from `text`: at most size - 1 bytes and a terminating
// zero go to the buffer in lParam; returns the number of bytes copied.
LResult CopyWindowText(const std::string& text, WParam size, LParam buffer);
