// A 32-bit top-down pixel image as a plain record: the toolkit paints into
// it and the platform's text drawing writes glyphs into it, so it lives
// below both.
//
// Pixel: 0xAARRGGBB as a little-endian word, i.e. the bytes blue, green, red,
// alpha in memory. Rows run from the top of the picture downwards.
#pragma once

#include <cstdint>

using Pixel = uint32_t;

// A block of pixels. 32-bit images have stride width * 4.
struct Image {
  int32_t width;
  int32_t height;
  int32_t stride;
  int32_t bits_per_pixel;
  uint8_t* pixels;
};

// Address of pixel (x, y) of a 32-bit image; no bounds check.
inline Pixel* PixelAddress(const Image* image, int32_t x, int32_t y) {
  return reinterpret_cast<Pixel*>(image->pixels + static_cast<intptr_t>(y) * image->width * 4 +
                                  static_cast<intptr_t>(x) * 4);
}
