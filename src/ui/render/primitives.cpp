// Fills, frames, gradients, the bevel, the two-tone face, the panel and the
// arrow glyphs. Every primitive cuts its rectangle to the image first; the
// frames then put their bottom and right sides on the last row and column of
// the cut rectangle, so a frame running past an edge is closed along it.
#include <algorithm>

#include "ui/render/image.h"
#include "ui/render/sys_colors.h"

namespace {

struct Cut {
  int32_t left, top, right, bottom;
};

bool Drawable(const Image* image) {
  return image != nullptr && image->bits_per_pixel == 32 && image->pixels != nullptr;
}

// Cuts (x, y, w, h) to the image; false when nothing of it is left.
bool CutRect(const Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Cut* cut) {
  if (!Drawable(image) || w <= 0 || h <= 0) return false;
  int64_t right = static_cast<int64_t>(x) + w;
  int64_t bottom = static_cast<int64_t>(y) + h;
  if (x >= image->width || right <= 0 || y >= image->height || bottom <= 0) return false;
  cut->left = std::max(x, 0);
  cut->top = std::max(y, 0);
  cut->right = static_cast<int32_t>(std::min<int64_t>(right, image->width));
  cut->bottom = static_cast<int32_t>(std::min<int64_t>(bottom, image->height));
  return true;
}

void FillRow(const Image* image, int32_t row, int32_t left, int32_t right, Pixel pixel) {
  Pixel* p = PixelAddress(image, left, row);
  std::fill(p, p + (right - left), pixel);
}

void FillColumn(const Image* image, int32_t column, int32_t top, int32_t bottom, Pixel pixel) {
  for (int32_t row = top; row < bottom; ++row) *PixelAddress(image, column, row) = pixel;
}

// from * (1 - t) + to * t for one channel, truncated.
int Mix(int from, int to, float t) { return static_cast<int>(from * (1.0f - t) + to * t); }

Pixel MixRgb(Pixel from, Pixel to, float t) {
  return (static_cast<Pixel>(Mix(PixelRed(from), PixelRed(to), t)) << 16) |
         (static_cast<Pixel>(Mix(PixelGreen(from), PixelGreen(to), t)) << 8) |
         static_cast<Pixel>(Mix(PixelBlue(from), PixelBlue(to), t));
}

// Sets the pixels of columns [from, to] on `row`, skipping those off the image.
void GlyphSpan(Image* image, int32_t row, int32_t from, int32_t to, Pixel pixel) {
  if (row < 0 || row >= image->height) return;
  for (int32_t col = std::max(from, 0); col <= to && col < image->width; ++col) {
    *PixelAddress(image, col, row) = pixel;
  }
}

}  // namespace

void FillRect(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel pixel) {
  Cut c;
  if (!CutRect(image, x, y, w, h, &c)) return;
  for (int32_t row = c.top; row < c.bottom; ++row) FillRow(image, row, c.left, c.right, pixel);
}

void DrawFrameSides(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel pixel,
                    bool top, bool left, bool bottom, bool right) {
  Cut c;
  if (!CutRect(image, x, y, w, h, &c)) return;
  if (top) FillRow(image, c.top, c.left, c.right, pixel);
  if (bottom) FillRow(image, c.bottom - 1, c.left, c.right, pixel);
  if (left) FillColumn(image, c.left, c.top, c.bottom, pixel);
  if (right) FillColumn(image, c.right - 1, c.top, c.bottom, pixel);
}

void DrawFrame(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel pixel) {
  DrawFrameSides(image, x, y, w, h, pixel, true, true, true, true);
}

void DrawDashedFrame(Image* image, Color colour, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t phase, bool top, bool left, bool bottom, bool right) {
  Cut c;
  if (!CutRect(image, x, y, w, h, &c)) return;
  Pixel pixel = ShadeColorToPixel(colour, 0);
  // The counter starts at `phase` on each side's first pixel; on while mod 4 is 0 or 1.
  auto on = [phase](int32_t step) { return ((static_cast<uint32_t>(phase) + step) & 3u) < 2u; };
  for (int32_t col = c.left; col < c.right; ++col) {
    if (top && on(col - c.left)) *PixelAddress(image, col, c.top) = pixel;
    if (bottom && on(col - c.left)) *PixelAddress(image, col, c.bottom - 1) = pixel;
  }
  for (int32_t row = c.top; row < c.bottom; ++row) {
    if (left && on(row - c.top)) *PixelAddress(image, c.left, row) = pixel;
    if (right && on(row - c.top)) *PixelAddress(image, c.right - 1, row) = pixel;
  }
}

void FillVerticalGradient(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel from,
                          Pixel to) {
  Cut c;
  if (!CutRect(image, x, y, w, h, &c)) return;
  // One pixel per row, stored across the row; alpha 0.
  for (int32_t row = c.top; row < c.bottom; ++row) {
    float t = static_cast<float>(row - c.top) / static_cast<float>(h);
    FillRow(image, row, c.left, c.right, MixRgb(from, to, t));
  }
}

void FillHorizontalGradient(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel from,
                            Pixel to) {
  Cut c;
  if (!CutRect(image, x, y, w, h, &c)) return;
  for (int32_t col = c.left; col < c.right; ++col) {
    float t = static_cast<float>(col - c.left) / static_cast<float>(w);
    Pixel rgb = MixRgb(from, to, t);
    for (int32_t row = c.top; row < c.bottom; ++row) {
      Pixel* p = PixelAddress(image, col, row);
      *p = (*p & 0xFF000000u) | rgb;
    }
  }
}

void DrawBevel(Image* image, int32_t x, int32_t y, int32_t w, int32_t h) {
  DrawFrame(image, x, y, w, h, SysPixel(COLOR_BTNSHADOW));
  DrawFrame(image, x + 1, y + 1, w - 2, h - 2, SysPixel(COLOR_BTNHIGHLIGHT));
}

void DrawTwoToneFace(Image* image, Color colour, int32_t x, int32_t y, int32_t w, int32_t h,
                     bool bevel, bool outline) {
  int32_t f = h / 2;
  FillVerticalGradient(image, x, y, w, f, ShadeColorToPixel(colour, 30), ShadeColorToPixel(colour, 0));
  FillVerticalGradient(image, x, y + f, w, h - f, ShadeColorToPixel(colour, -30),
                       ShadeColorToPixel(colour, 0));
  if (bevel) DrawBevel(image, x, y, w, h);
  if (outline) DrawFrame(image, x, y, w, h, ShadeColorToPixel(colour, -40));
}

void DrawPanel(Image* image, PixelRect r, int32_t inset) {
  int32_t w = r.right - r.left;
  int32_t h = r.bottom - r.top;
  DrawFrame(image, r.left, r.top, w - inset, h - inset, SysPixel(COLOR_3DDKSHADOW));
  DrawFrame(image, r.left + 1, r.top + 1, w - inset - 2, h - inset - 2, SysPixel(COLOR_BTNHIGHLIGHT));
  Color window = GetSysColor(COLOR_WINDOW);
  FillVerticalGradient(image, r.left + 2, r.top + 2, w - inset - 4, h - inset - 4,
                       ShadeColorToPixel(window, 0), ShadeColorToPixel(window, -20));
  if (inset != 0) {
    DrawFrameSides(image, r.left, r.top, w, h, SysPixel(COLOR_BTNSHADOW), false, false, true, true);
  }
}

void DrawDownGlyph(Image* image, int32_t x, int32_t y, int32_t a, int32_t b, Color colour) {
  if (!Drawable(image)) return;
  Pixel pixel = ColorToOpaquePixel(colour);
  for (int32_t r = 0; r <= b - 2; ++r) GlyphSpan(image, y + r, x + r, x + a - 1 - r, pixel);
}

void DrawUpGlyph(Image* image, int32_t x, int32_t y, int32_t a, int32_t b, Color colour) {
  if (!Drawable(image)) return;
  Pixel pixel = ColorToOpaquePixel(colour);
  // Bottom row full width, each row above one pixel narrower on both sides.
  for (int32_t k = 0; k < b; ++k) GlyphSpan(image, y + b - 1 - k, x + k, x + a - 1 - k, pixel);
}

void DrawRightGlyph(Image* image, int32_t x, int32_t y, int32_t a, int32_t b, Color colour) {
  if (!Drawable(image)) return;
  Pixel pixel = ColorToOpaquePixel(colour);
  for (int32_t c = 0; c <= b - 2; ++c) {
    int32_t col = x + c;
    if (col < 0 || col >= image->width) continue;
    for (int32_t row = std::max(y + c, 0); row <= y + a - 1 - c && row < image->height; ++row) {
      *PixelAddress(image, col, row) = pixel;
    }
  }
}
