// Colour conversions, image and surface blocks, icons.
#include "ui/render/image.h"

#include <cstring>

#include "core/blocks.h"

namespace {

int ClampChannel(int value) { return value < 0 ? 0 : (value > 255 ? 255 : value); }

Pixel PackPixel(int red, int green, int blue, int alpha) {
  return (static_cast<Pixel>(alpha & 0xFF) << 24) | (static_cast<Pixel>(red & 0xFF) << 16) |
         (static_cast<Pixel>(green & 0xFF) << 8) | static_cast<Pixel>(blue & 0xFF);
}

// A zero-filled copy of a 32-bit image, or null.
Image* CopyImage32(const Image* source) {
  if (source == nullptr || source->bits_per_pixel != 32 || source->pixels == nullptr) return nullptr;
  Image* copy = NewImage(source->width, source->height);
  if (copy == nullptr) return nullptr;
  for (int32_t row = 0; row < source->height; ++row) {
    std::memcpy(copy->pixels + static_cast<intptr_t>(row) * copy->stride,
                source->pixels + static_cast<intptr_t>(row) * source->stride,
                static_cast<size_t>(copy->width) * 4);
  }
  return copy;
}

bool HasAlpha(const Image* image) {
  for (int32_t y = 0; y < image->height; ++y) {
    for (int32_t x = 0; x < image->width; ++x) {
      if (PixelAlpha(*PixelAddress(image, x, y)) != 0) return true;
    }
  }
  return false;
}

// Mask from the colour's alpha: white (transparent) where alpha is 0.
Image* MaskFromAlpha(const Image* color) {
  Image* mask = NewImage(color->width, color->height);
  if (mask == nullptr) return nullptr;
  bool alpha = HasAlpha(color);
  for (int32_t y = 0; y < color->height; ++y) {
    for (int32_t x = 0; x < color->width; ++x) {
      bool clear = alpha && PixelAlpha(*PixelAddress(color, x, y)) == 0;
      *PixelAddress(mask, x, y) = clear ? 0x00FFFFFFu : 0u;
    }
  }
  return mask;
}

}  // namespace

Pixel ColorToPixel(Color colour) {
  return PackPixel(ColorRed(colour), ColorGreen(colour), ColorBlue(colour), 0);
}

Pixel ShadeColorToPixel(Color colour, int delta) {
  return PackPixel(ClampChannel(ColorRed(colour) + delta), ClampChannel(ColorGreen(colour) + delta),
                   ClampChannel(ColorBlue(colour) + delta), 0);
}

Color ShadeColor(Color colour, int delta) {
  return (colour & 0xFF000000u) |
         MakeColor(ClampChannel(ColorRed(colour) + delta), ClampChannel(ColorGreen(colour) + delta),
                   ClampChannel(ColorBlue(colour) + delta));
}

Pixel ColorToOpaquePixel(Color colour) {
  return PackPixel(ColorRed(colour), ColorGreen(colour), ColorBlue(colour), 255);
}

Pixel MakePixel(int red, int green, int blue) { return PackPixel(red, green, blue, 255); }

Color PixelToColor(Pixel pixel) {
  return MakeColor(PixelRed(pixel), PixelGreen(pixel), PixelBlue(pixel));
}

Image* NewImage(int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || width > 0x4000 || height > 0x4000) return nullptr;
  Image* image = nullptr;
  if (!AllocBlock(&image, static_cast<int32_t>(sizeof(Image)), true)) return nullptr;
  if (!AllocBlock(&image->pixels, width * height * 4, true)) {
    FreeAndClear(&image);
    return nullptr;
  }
  image->width = width;
  image->height = height;
  image->stride = width * 4;
  image->bits_per_pixel = 32;
  return image;
}

void FreeImage(Image** slot) {
  if (slot == nullptr || *slot == nullptr) return;
  FreeAndClear(&(*slot)->pixels);
  FreeAndClear(slot);
}

bool CreateMemorySurface(Surface* surface, int32_t width, int32_t height) {
  if (surface == nullptr) return false;
  surface->width = 0;
  surface->height = 0;
  surface->image = NewImage(width, height);
  if (surface->image == nullptr) return false;
  surface->width = width;
  surface->height = height;
  return true;
}

void ReleaseSurface(Surface* surface) {
  if (surface == nullptr) return;
  FreeImage(&surface->image);
  surface->width = 0;
  surface->height = 0;
}

Icon* CreateIconFromImages(const Image* color, const Image* mask) {
  if (color == nullptr || color->bits_per_pixel != 32) return nullptr;
  if (mask != nullptr && (mask->bits_per_pixel != 32 || mask->width != color->width ||
                          mask->height != color->height)) {
    return nullptr;
  }
  Icon* icon = nullptr;
  if (!AllocBlock(&icon, static_cast<int32_t>(sizeof(Icon)), true)) return nullptr;
  icon->width = color->width;
  icon->height = color->height;
  icon->color = CopyImage32(color);
  icon->mask = mask != nullptr ? CopyImage32(mask) : (icon->color ? MaskFromAlpha(icon->color) : nullptr);
  if (icon->color == nullptr || icon->mask == nullptr) DestroyIcon(&icon);
  return icon;
}

void DestroyIcon(Icon** slot) {
  if (slot == nullptr || *slot == nullptr) return;
  FreeImage(&(*slot)->color);
  FreeImage(&(*slot)->mask);
  FreeAndClear(slot);
}
