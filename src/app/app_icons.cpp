#include "app/app_icons.h"

#include <vector>

#include "ambrel_app_resources.h"
#include "app/app_state.h"

const ResourceModule* AppResources() { return &kAppResources; }

bool LoadAppIcons() {
  bool all = true;
  for (int32_t i = 0; i < kAppIconCount; ++i) {
    AppIcons[i] = LoadIconResource(&kAppResources, i + 1);
    all = all && AppIcons[i] != nullptr;
  }
  return all;
}

void ReleaseAppIcons() {
  for (Icon*& icon : AppIcons) DestroyIcon(&icon);
}

bool SetWindowSmallIcon(WindowHandle window, const Icon* icon) {
  if (icon == nullptr || icon->color == nullptr) return false;
  const Image* image = icon->color;
  // The colour image's pixels are 0xAARRGGBB words, the window icon's format.
  std::vector<uint32_t> pixels(static_cast<size_t>(image->width) * static_cast<size_t>(image->height));
  for (int32_t y = 0; y < image->height; ++y)
    for (int32_t x = 0; x < image->width; ++x)
      pixels[static_cast<size_t>(y * image->width + x)] = *PixelAddress(image, x, y);
  return SetWindowIconPixels(window, image->width, image->height, pixels.data());
}
