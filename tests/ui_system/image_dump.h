// Test helper: writes an Image as a binary PPM when AMBREL_DUMP_DIR is set,
// so a developer can convert and look at what a test painted.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ui/render/image.h"

inline void DumpImage(const Image* image, const std::string& name) {
  const char* dir = std::getenv("AMBREL_DUMP_DIR");
  if (!dir || !image) return;
  std::string path = std::string(dir) + "/" + name + ".ppm";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return;
  std::fprintf(file, "P6\n%d %d\n255\n", image->width, image->height);
  for (int y = 0; y < image->height; ++y) {
    for (int x = 0; x < image->width; ++x) {
      Pixel p = *PixelAddress(image, x, y);
      unsigned char rgb[3] = {static_cast<unsigned char>(PixelRed(p)),
                              static_cast<unsigned char>(PixelGreen(p)),
                              static_cast<unsigned char>(PixelBlue(p))};
      std::fwrite(rgb, 1, 3, file);
    }
  }
  std::fclose(file);
}
