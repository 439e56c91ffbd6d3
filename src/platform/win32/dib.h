// The header of a 32-bit top-down device-independent bitmap: the layout of
// the toolkit's images, so their rows go to and from GDI as they are.
#pragma once

#include <windows.h>

#include <cstdint>

inline BITMAPINFO TopDownInfo(int32_t width, int32_t height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}
