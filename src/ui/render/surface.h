// Surfaces that reach the screen: created for a window's client area and
// copied to it in one step. The pixels themselves are memory (image.h).
#pragma once

#include "window/window_system.h"
#include "ui/render/image.h"

// Allocates a width x height surface for painting `window` (null: any
// window). Only 32 bits per pixel are made. False, surface empty, when a
// size is <= 0, `bits` is not 32 or memory runs out; the pixels start zeroed.
bool CreateSurface(Surface* surface, WindowHandle window, int32_t width, int32_t height,
                   int32_t bits);

// Copies the top `lines` rows, `width` pixels wide, of the surface to the
// target window's client area at (x, y) in one operation.
bool BlitSurface(WindowHandle target, int32_t x, int32_t y, int32_t width, int32_t lines,
                 const Surface* surface);
