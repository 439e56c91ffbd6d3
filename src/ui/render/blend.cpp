// Copying images over images: the four icon effects, icons drawn through
// their mask or their own alpha, and alpha compositing of loaded bitmaps.
#include <algorithm>
#include <vector>

#include "ui/render/image.h"

namespace {

struct Channels {
  int red, green, blue, alpha;
};

Channels Split(Pixel p) { return {PixelRed(p), PixelGreen(p), PixelBlue(p), PixelAlpha(p)}; }

Pixel Join(int red, int green, int blue, int alpha) {
  return (static_cast<Pixel>(alpha & 0xFF) << 24) | (static_cast<Pixel>(red & 0xFF) << 16) |
         (static_cast<Pixel>(green & 0xFF) << 8) | static_cast<Pixel>(blue & 0xFF);
}

int Gray(const Channels& s) {
  return static_cast<int>(0.34f * s.red + 0.44f * s.green + 0.22f * s.blue) & 0xFF;
}

// d * (1 - b) + s * b, truncated.
int Over(int d, int s, float b) { return static_cast<int>(d * (1.0f - b) + s * b); }

Pixel ApplyEffect(Pixel dst, Pixel src, int effect) {
  Channels d = Split(dst);
  Channels s = Split(src);
  float a = static_cast<float>(s.alpha) / 255.0f;
  switch (effect) {
    case kEffectNormal:
      return Join(Over(d.red, s.red, a), Over(d.green, s.green, a), Over(d.blue, s.blue, a), d.alpha);
    case kEffectGray: {
      // Blended like the normal effect, so a transparent source pixel leaves
      // the destination as it is.
      int g = Gray(s);
      return Join(Over(d.red, g, a), Over(d.green, g, a), Over(d.blue, g, a), s.alpha);
    }
    case kEffectDisabled: {
      float b = a * 0.5f;
      int g = Gray(s);
      return Join(Over(d.red, g, b), Over(d.green, g, b), Over(d.blue, g, b), 255);
    }
    case kEffectFaded: {
      float b = a * 0.7f;
      return Join(Over(d.red, s.red, b), Over(d.green, s.green, b), Over(d.blue, s.blue, b), d.alpha);
    }
    default:
      return dst;
  }
}

bool Is32(const Image* image) {
  return image != nullptr && image->bits_per_pixel == 32 && image->pixels != nullptr;
}

// Nearest-neighbour copy of `src` stretched over the w x h top-left of `work`.
void StretchInto(Image* work, const Image* src, int32_t w, int32_t h) {
  for (int32_t row = 0; row < h; ++row) {
    int32_t sy = static_cast<int32_t>(static_cast<int64_t>(row) * src->height / h);
    for (int32_t col = 0; col < w; ++col) {
      int32_t sx = static_cast<int32_t>(static_cast<int64_t>(col) * src->width / w);
      *PixelAddress(work, col, row) = *PixelAddress(src, sx, sy);
    }
  }
}

// Gives the w x h work pixels opacity from the icon's mask where the icon
// brings none: walking column by column, pixels with alpha 0 take the mask's
// opacity until the first pixel that carries its own alpha.
void ApplyMaskOpacity(Image* work, const Icon* icon, int32_t w, int32_t h) {
  std::vector<uint8_t> table(static_cast<size_t>(w) * h);
  StretchInto(work, icon->mask, w, h);
  size_t n = 0;
  for (int32_t i = 0; i < w; ++i) {
    for (int32_t j = 0; j < h; ++j) table[n++] = static_cast<uint8_t>(255 - PixelRed(*PixelAddress(work, i, j)));
  }
  StretchInto(work, icon->color, w, h);
  n = 0;
  for (int32_t i = 0; i < w; ++i) {
    for (int32_t j = 0; j < h; ++j, ++n) {
      Pixel* p = PixelAddress(work, i, j);
      if (PixelAlpha(*p) != 0) return;
      *p = (*p & 0x00FFFFFFu) | (static_cast<Pixel>(table[n]) << 24);
    }
  }
}

}  // namespace

void BlendImage(Image* dst, int32_t x, int32_t y, int32_t w, int32_t h, const Image* src,
                int32_t sx, int32_t sy, int effect) {
  if (!Is32(dst) || !Is32(src) || w <= 0 || h <= 0) return;
  if (sx >= src->width || sy >= src->height || sx < 0 || sy < 0) return;
  if (x >= dst->width || y >= dst->height || static_cast<int64_t>(x) + w <= 0 ||
      static_cast<int64_t>(y) + h <= 0) {
    return;
  }
  // The cut moves the source with it, and the source rectangle is cut to the
  // source image, so no pixel outside either image is ever read or written.
  int32_t left = std::max(x, 0), top = std::max(y, 0);
  int32_t right = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(x) + w, dst->width));
  int32_t bottom = static_cast<int32_t>(std::min<int64_t>(static_cast<int64_t>(y) + h, dst->height));
  int32_t ox = sx - x, oy = sy - y;  // source column = col + ox
  right = static_cast<int32_t>(std::min<int64_t>(right, static_cast<int64_t>(src->width) - ox));
  bottom = static_cast<int32_t>(std::min<int64_t>(bottom, static_cast<int64_t>(src->height) - oy));
  for (int32_t row = top; row < bottom; ++row) {
    for (int32_t col = left; col < right; ++col) {
      Pixel* d = PixelAddress(dst, col, row);
      *d = ApplyEffect(*d, *PixelAddress(src, col + ox, row + oy), effect);
    }
  }
}

bool DrawIconEffect(Image* dst, Surface* work, int effect, int32_t x, int32_t y, int32_t w,
                    int32_t h, const Icon* icon) {
  if (icon == nullptr || w <= 0 || h <= 0) return false;
  Surface own = {0, 0, nullptr};
  Surface* surface = work;
  if (surface == nullptr || !Is32(surface->image) || surface->image->width < w ||
      surface->image->height < h) {
    if (!CreateMemorySurface(&own, w, h)) return false;
    surface = &own;
  }
  Image* image = surface->image;
  for (int32_t row = 0; row < image->height; ++row) {
    std::fill(PixelAddress(image, 0, row), PixelAddress(image, 0, row) + image->width, 0u);
  }
  // An icon without a usable colour image draws nothing (but is not a failure).
  if (Is32(icon->color) && Is32(icon->mask) && icon->color->width > 0 && icon->color->height > 0) {
    ApplyMaskOpacity(image, icon, w, h);
    BlendImage(dst, x, y, w, h, image, 0, 0, effect);
  }
  ReleaseSurface(&own);
  return true;
}

void CompositeImage(Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                    int32_t sx, int32_t sy) {
  if (dst == nullptr || src == nullptr || dst->pixels == nullptr || src->pixels == nullptr) return;
  if (dst->bits_per_pixel < 24 || src->bits_per_pixel < 24) return;
  if (y >= dst->height || x >= dst->width || y <= -h || x <= -w) return;
  // Cut to the destination, moving the source origin by what is cut away.
  if (x < 0) { sx -= x; w += x; x = 0; }
  if (y < 0) { sy -= y; h += y; y = 0; }
  w = std::min(w, dst->width - x);
  h = std::min(h, dst->height - y);
  // Never read outside the source.
  if (sx < 0 || sy < 0 || sx >= src->width || sy >= src->height) return;
  w = std::min(w, src->width - sx);
  h = std::min(h, src->height - sy);
  int dstep = dst->bits_per_pixel / 8, sstep = src->bits_per_pixel / 8;
  for (int32_t row = 0; row < h; ++row) {
    uint8_t* d = dst->pixels + static_cast<intptr_t>(y + row) * dst->stride + static_cast<intptr_t>(x) * dstep;
    const uint8_t* s = src->pixels + static_cast<intptr_t>(sy + row) * src->stride + static_cast<intptr_t>(sx) * sstep;
    for (int32_t col = 0; col < w; ++col, d += dstep, s += sstep) {
      // A source without an alpha byte is opaque.
      float a = sstep == 4 ? static_cast<float>(s[3]) / 255.0f : 1.0f;
      for (int k = 0; k < 3; ++k) d[k] = static_cast<uint8_t>(Over(d[k], s[k], a));
    }
  }
}
