// Images compiled into the program: the generator's output read back through
// LoadImageResource and LoadIconResource.
#include <gtest/gtest.h>

#include <cstring>

#include "render_test_resources.h"
#include "ui/render/image.h"
#include "ui/render/resources.h"

namespace {

TEST(Resources, BitmapComesBackTopDownWithItsAlpha) {
  Image* image = LoadImageResource(&kRenderTestResources, 1000);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width, 3);
  EXPECT_EQ(image->height, 2);
  EXPECT_EQ(image->bits_per_pixel, 32);
  EXPECT_EQ(image->stride, 12);
  EXPECT_EQ(*PixelAddress(image, 0, 0), 0xFFFF0000u);
  EXPECT_EQ(*PixelAddress(image, 1, 0), 0x8000FF00u);
  EXPECT_EQ(*PixelAddress(image, 2, 0), 0x000000FFu);
  EXPECT_EQ(*PixelAddress(image, 2, 1), 0x40404040u);
  // Composited over white at its own size: opaque red, half green, clear blue.
  Image* canvas = NewImage(3, 2);
  FillRect(canvas, 0, 0, 3, 2, 0x00FFFFFF);
  CompositeImage(canvas, image, 0, 0, image->width, image->height, 0, 0);
  EXPECT_EQ(*PixelAddress(canvas, 0, 0), 0x00FF0000u);
  EXPECT_EQ(*PixelAddress(canvas, 1, 0), 0x007EFF7Eu);  // 255 * (1 - 128/255) = 126.99.. truncated
  EXPECT_EQ(*PixelAddress(canvas, 2, 0), 0x00FFFFFFu);
  FreeImage(&canvas);
  FreeImage(&image);
  EXPECT_EQ(image, nullptr);
  FreeImage(&image);  // an empty slot is fine
}

TEST(Resources, RgbArtBecomesOpaqueAndMissingIdsGiveNull) {
  Image* image = LoadImageResource(&kRenderTestResources, 7);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(*PixelAddress(image, 1, 0), 0xFF28323Cu);
  FreeImage(&image);
  EXPECT_EQ(LoadImageResource(&kRenderTestResources, 1001), nullptr);
  EXPECT_EQ(LoadImageResource(&kRenderTestResources, 3), nullptr);  // an icon, not a bitmap
  EXPECT_EQ(LoadImageResource(nullptr, 1000), nullptr);
}

TEST(Resources, TruncatedOrBrokenHeadersAreRefused) {
  const ResourceEntry* good = nullptr;
  for (int i = 0; i < kRenderTestResources.count; ++i) {
    if (kRenderTestResources.entries[i].id == 1000) good = &kRenderTestResources.entries[i];
  }
  ASSERT_NE(good, nullptr);
  ResourceEntry cut = *good;
  cut.size -= 1;  // one byte short of the rows
  ResourceModule cut_module = {&cut, 1};
  EXPECT_EQ(LoadImageResource(&cut_module, 1000), nullptr);
  uint8_t bad[64];
  std::memcpy(bad, good->data, 64);
  bad[0] = 200;  // header claims to be larger than the data
  ResourceEntry broken = {kResourceBitmap, 1, bad, 64};
  ResourceModule broken_module = {&broken, 1};
  EXPECT_EQ(LoadImageResource(&broken_module, 1), nullptr);
}

TEST(Resources, IconsTakeTheirMaskFromAlpha) {
  Icon* icon = LoadIconResource(&kRenderTestResources, 3);
  ASSERT_NE(icon, nullptr);
  Image* canvas = NewImage(3, 2);
  FillRect(canvas, 0, 0, 3, 2, 0x00FFFFFF);
  EXPECT_TRUE(DrawIconEffect(canvas, nullptr, kEffectNormal, 0, 0, 3, 2, icon));
  EXPECT_EQ(*PixelAddress(canvas, 0, 0), 0x00FF0000u);
  EXPECT_EQ(*PixelAddress(canvas, 2, 0), 0x00FFFFFFu);
  FreeImage(&canvas);
  DestroyIcon(&icon);
  EXPECT_EQ(LoadIconResource(&kRenderTestResources, 1000), nullptr);
}

}  // namespace
