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

namespace {

// The program's icon at 16 pixels is icon 1; the larger sizes follow.
constexpr int32_t kProgramIconResources[] = {1, 101, 102, 103, 104};

// The colour image's pixels as 0xAARRGGBB words, the window icon's format.
std::vector<uint32_t> IconWords(const Image* image) {
  std::vector<uint32_t> pixels(static_cast<size_t>(image->width) * static_cast<size_t>(image->height));
  for (int32_t y = 0; y < image->height; ++y)
    for (int32_t x = 0; x < image->width; ++x)
      pixels[static_cast<size_t>(y * image->width + x)] = *PixelAddress(image, x, y);
  return pixels;
}

}  // namespace

bool SetWindowSmallIcon(WindowHandle window, const Icon* icon) {
  if (icon == nullptr || icon->color == nullptr) return false;
  const std::vector<uint32_t> pixels = IconWords(icon->color);
  return SetWindowIconPixels(window, icon->color->width, icon->color->height, pixels.data());
}

bool SetProgramWindowIcon(WindowHandle window) {
  std::vector<std::vector<uint32_t>> words;
  std::vector<IconPixels> images;
  for (int32_t id : kProgramIconResources) {
    Icon* icon = LoadIconResource(&kAppResources, id);
    if (icon != nullptr && icon->color != nullptr) {
      words.push_back(IconWords(icon->color));
      images.push_back(IconPixels{icon->color->width, icon->color->height, nullptr});
    }
    DestroyIcon(&icon);
  }
  for (size_t i = 0; i < images.size(); ++i) images[i].pixels = words[i].data();
  return SetWindowIconImages(window, images.data(), static_cast<int32_t>(images.size()));
}
