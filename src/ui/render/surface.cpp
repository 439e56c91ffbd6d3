// Surfaces on top of the window system's pixel copy.
#include "ui/render/surface.h"

#include <algorithm>

bool CreateSurface(Surface* surface, WindowHandle window, int32_t width, int32_t height,
                   int32_t bits) {
  (void)window;  // every window takes the same 32-bit pixels
  if (surface == nullptr) return false;
  if (bits != 32) {
    *surface = Surface{0, 0, nullptr};
    return false;
  }
  return CreateMemorySurface(surface, width, height);
}

bool BlitSurface(WindowHandle target, int32_t x, int32_t y, int32_t width, int32_t lines,
                 const Surface* surface) {
  if (surface == nullptr || surface->image == nullptr) return false;
  // Never read past the surface's own pixels.
  width = std::min(width, surface->width);
  lines = std::min(lines, surface->height);
  if (width <= 0 || lines <= 0) return false;
  return BlitPixels(target, x, y, width, lines,
                    reinterpret_cast<const uint32_t*>(surface->image->pixels), surface->width);
}
