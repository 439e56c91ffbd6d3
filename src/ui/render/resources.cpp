// Bitmaps and icons compiled into the program.
#include "ui/render/resources.h"

#include <cstdlib>
#include <cstring>

#include "core/blocks.h"

namespace {

int32_t ReadLe32(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
                              (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24));
}

int32_t ReadLe16(const uint8_t* p) { return p[0] | (p[1] << 8); }

const ResourceEntry* FindResource(const ResourceModule* module, int32_t type, int32_t id) {
  if (module == nullptr || module->entries == nullptr) return nullptr;
  for (int32_t i = 0; i < module->count; ++i) {
    const ResourceEntry& entry = module->entries[i];
    if (entry.type == type && entry.id == id) return &entry;
  }
  return nullptr;
}

// Builds the Image of a bitmap entry: the header's size, bit count and rows
// in stored order. Null when the header or the rows overrun the data.
Image* ImageFromBitmapData(const ResourceEntry* entry) {
  if (entry == nullptr || entry->data == nullptr || entry->size < 40) return nullptr;
  const uint8_t* data = entry->data;
  int32_t header = ReadLe32(data);
  int32_t width = ReadLe32(data + 4);
  int64_t height = std::llabs(static_cast<int64_t>(ReadLe32(data + 8)));
  int32_t bits = ReadLe16(data + 14);
  if (header < 40 || width <= 0 || height <= 0 || height > 0x4000 || width > 0x4000) return nullptr;
  if (bits < 8 || bits % 8 != 0 || bits > 32) return nullptr;
  int64_t stride = static_cast<int64_t>(bits / 8) * width;
  int64_t bytes = stride * height;
  if (static_cast<int64_t>(header) + bytes > entry->size) return nullptr;
  Image* image = nullptr;
  if (!AllocBlock(&image, static_cast<int32_t>(sizeof(Image)), true)) return nullptr;
  if (!AllocBlock(&image->pixels, static_cast<int32_t>(bytes), false)) {
    FreeAndClear(&image);
    return nullptr;
  }
  std::memcpy(image->pixels, data + header, static_cast<size_t>(bytes));
  image->width = width;
  image->height = static_cast<int32_t>(height);
  image->bits_per_pixel = bits;
  image->stride = static_cast<int32_t>(stride);
  return image;
}

}  // namespace

Image* LoadImageResource(const ResourceModule* instance, int32_t id) {
  return ImageFromBitmapData(FindResource(instance, kResourceBitmap, id));
}

Icon* LoadIconResource(const ResourceModule* instance, int32_t id) {
  Image* color = ImageFromBitmapData(FindResource(instance, kResourceIcon, id));
  if (color == nullptr) return nullptr;
  Icon* icon = CreateIconFromImages(color, nullptr);
  FreeImage(&color);
  return icon;
}
