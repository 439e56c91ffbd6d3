#include "window/builtin/message_icons.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int kSize = 32;
constexpr int kSamples = 4;  // per axis, per pixel: 16 samples of coverage

struct Rgb {
  float r, g, b;
};

// A shape is a test on a point (in pixel units, y downwards).
using ShapeTest = bool (*)(float x, float y);

constexpr float kCentre = 15.5f;
constexpr float kRadius = 14.6f;

float Dist(float x, float y, float cx, float cy) { return std::hypot(x - cx, y - cy); }

// Distance from (x, y) to the segment (ax, ay)-(bx, by).
float SegmentDistance(float x, float y, float ax, float ay, float bx, float by) {
  float dx = bx - ax, dy = by - ay;
  float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
  return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

bool InShadow(float x, float y) {
  float dx = (x - kCentre - 0.6f) / (kRadius + 0.6f), dy = (y - kCentre - 1.4f) / (kRadius + 0.4f);
  return dx * dx + dy * dy <= 1.0f;
}
bool InDisc(float x, float y) { return Dist(x, y, kCentre, kCentre) <= kRadius; }
bool InInnerDisc(float x, float y) { return Dist(x, y, kCentre, kCentre) <= kRadius - 1.1f; }
bool InGloss(float x, float y) {
  float dx = (x - kCentre) / (kRadius - 3.0f), dy = (y - 9.0f) / 7.5f;
  return dx * dx + dy * dy <= 1.0f;
}
bool InLetterI(float x, float y) {
  if (Dist(x, y, kCentre, 8.6f) <= 2.4f) return true;
  // The stem: a rounded bar from y 13 to 24.
  return SegmentDistance(x, y, kCentre, 14.2f, kCentre, 23.4f) <= 2.0f;
}
bool InCross(float x, float y) {
  return SegmentDistance(x, y, 10.3f, 10.3f, 20.7f, 20.7f) <= 1.9f ||
         SegmentDistance(x, y, 20.7f, 10.3f, 10.3f, 20.7f) <= 1.9f;
}

// Fraction of the pixel (px, py) covered by the shape.
float Coverage(ShapeTest inside, int px, int py) {
  int hits = 0;
  for (int sy = 0; sy < kSamples; ++sy) {
    for (int sx = 0; sx < kSamples; ++sx) {
      hits += inside(px + (sx + 0.5f) / kSamples, py + (sy + 0.5f) / kSamples);
    }
  }
  return static_cast<float>(hits) / (kSamples * kSamples);
}

// Lays a colour with `alpha` over the pixel, straight (non-premultiplied) alpha.
void Over(Pixel* pixel, Rgb colour, float alpha) {
  if (alpha <= 0.0f) return;
  float da = PixelAlpha(*pixel) / 255.0f;
  float out = alpha + da * (1.0f - alpha);
  auto mix = [&](float s, int d) {
    return static_cast<int>(std::lround((s * alpha + d * da * (1.0f - alpha)) / out));
  };
  int r = mix(colour.r, PixelRed(*pixel));
  int g = mix(colour.g, PixelGreen(*pixel));
  int b = mix(colour.b, PixelBlue(*pixel));
  *pixel = MakePixel(r, g, b) & 0x00FFFFFFu;
  *pixel |= static_cast<Pixel>(std::lround(out * 255.0f)) << 24;
}

Rgb Lerp(Rgb a, Rgb b, float t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

struct Palette {
  Rgb top, bottom, rim;
};

Palette PaletteFor(MessageBoxIcon kind) {
  if (kind == MessageBoxIcon::kError) {
    return {{246, 112, 98}, {196, 28, 22}, {140, 16, 12}};
  }
  return {{104, 168, 240}, {22, 86, 190}, {16, 60, 140}};
}

}  // namespace

Image* NewMessageIcon(MessageBoxIcon kind) {
  Image* icon = NewImage(kSize, kSize);
  if (!icon) return nullptr;
  Palette palette = PaletteFor(kind);
  ShapeTest glyph = kind == MessageBoxIcon::kError ? InCross : InLetterI;
  for (int y = 0; y < kSize; ++y) {
    float t = std::clamp((y - 1.0f) / (kSize - 3.0f), 0.0f, 1.0f);
    for (int x = 0; x < kSize; ++x) {
      Pixel* pixel = PixelAddress(icon, x, y);
      Over(pixel, {0, 0, 0}, 0.28f * Coverage(InShadow, x, y));
      Over(pixel, palette.rim, Coverage(InDisc, x, y));
      Over(pixel, Lerp(palette.top, palette.bottom, t), Coverage(InInnerDisc, x, y));
      Over(pixel, {255, 255, 255}, 0.30f * (1.0f - t) * Coverage(InGloss, x, y));
      Over(pixel, {255, 255, 255}, Coverage(glyph, x, y));
    }
  }
  return icon;
}
