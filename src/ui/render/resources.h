// Images compiled into the program. A program (or a test) owns one
// ResourceModule: a table of entries whose data was generated from the source
// art by scripts/gen_resources.py. A bitmap entry's data is a bitmap
// information header (40 bytes, little-endian) followed by the rows.
#pragma once

#include <cstdint>

#include "ui/render/image.h"

constexpr int32_t kResourceBitmap = 2;  // a bitmap (header + rows)
constexpr int32_t kResourceIcon = 3;    // an icon: a 32-bit top-down bitmap with alpha

struct ResourceEntry {
  int32_t type;
  int32_t id;
  const uint8_t* data;
  int32_t size;
};

struct ResourceModule {
  const ResourceEntry* entries;
  int32_t count;
};

// The bitmap resource `id` of `instance` as a new Image (rows in stored order,
// so a top-down resource appears upright), or null when it is missing, its
// header does not fit its data, or memory runs out. Release with FreeImage.
Image* LoadImageResource(const ResourceModule* instance, int32_t id);

// The icon resource `id` as a new Icon (colour with alpha, mask from alpha),
// or null. Release with DestroyIcon.
Icon* LoadIconResource(const ResourceModule* instance, int32_t id);
