// Off-screen 32-bit images, colours and the drawing primitives that every
// toolkit window paints with. Everything here works on memory only; the copy
// of a finished surface to a window lives in ui/render/surface.h.
//
// Pixel: 0xAARRGGBB as a little-endian word, i.e. the bytes blue, green, red,
// alpha in memory. Rows run from the top of the picture downwards.
// Colour: the platform's colour value 0x00BBGGRR (a COLORREF).
#pragma once

#include <cstdint>

#include "platform/image.h"

using Color = uint32_t;

constexpr Color MakeColor(int red, int green, int blue) {
  return static_cast<Color>((red & 0xFF) | ((green & 0xFF) << 8) | ((blue & 0xFF) << 16));
}
constexpr int ColorRed(Color c) { return static_cast<int>(c & 0xFF); }
constexpr int ColorGreen(Color c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int ColorBlue(Color c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr int PixelRed(Pixel p) { return static_cast<int>((p >> 16) & 0xFF); }
constexpr int PixelGreen(Pixel p) { return static_cast<int>((p >> 8) & 0xFF); }
constexpr int PixelBlue(Pixel p) { return static_cast<int>(p & 0xFF); }
constexpr int PixelAlpha(Pixel p) { return static_cast<int>(p >> 24); }

// Pixel with the colour's red, green and blue, alpha 0.
Pixel ColorToPixel(Color colour);
// Pixel with `delta` added to each of red, green, blue (clamped 0-255), alpha 0.
Pixel ShadeColorToPixel(Color colour, int delta);
// Colour with `delta` added to each of red, green, blue (clamped); top byte kept.
Color ShadeColor(Color colour, int delta);
// Pixel with the colour's red, green and blue, alpha 255.
Pixel ColorToOpaquePixel(Color colour);
// Pixel with alpha 255.
Pixel MakePixel(int red, int green, int blue);
// The colour value of a pixel (alpha dropped).
Color PixelToColor(Pixel pixel);

// A new zero-filled 32-bit image, or null when memory runs out or a size is <= 0.
Image* NewImage(int32_t width, int32_t height);
// Releases the image's pixel block and the image, and sets the slot to null.
void FreeImage(Image** slot);

// One off-screen bitmap, owned by the control that paints. On this platform
// the pixels are memory that BlitSurface (surface.h) hands to the window
// system in one copy.
struct Surface {
  int32_t width;
  int32_t height;
  Image* image;
};

// Allocates a zero-filled 32-bit surface of width x height. False when a size
// is <= 0 or memory runs out (the surface is then empty).
bool CreateMemorySurface(Surface* surface, int32_t width, int32_t height);
// Releases the surface's image; the surface is left empty.
void ReleaseSurface(Surface* surface);

// A rectangle given by its edges (right and bottom exclusive).
struct PixelRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// An icon: a 32-bit colour image (alpha all zero when the icon carries none)
// and a mask of the same size (white = transparent, black = opaque; may be
// null, meaning all opaque).
struct Icon {
  int32_t width;
  int32_t height;
  Image* color;
  Image* mask;
};

// An icon made from copies of `color` (32-bit) and `mask` (32-bit, or null:
// opaque where the colour's alpha is not 0, or everywhere when no alpha).
Icon* CreateIconFromImages(const Image* color, const Image* mask);
// Releases the icon and its images; the slot is set to null.
void DestroyIcon(Icon** slot);

// --- Drawing primitives. All draw on 32-bit images only, cut to the image. ---

void FillRect(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel pixel);
void DrawFrame(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel pixel);
void DrawFrameSides(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel pixel,
                    bool top, bool left, bool bottom, bool right);
// Two pixels on, two off along each side, the counter starting at `phase`.
void DrawDashedFrame(Image* image, Color colour, int32_t x, int32_t y, int32_t w, int32_t h,
                     int32_t phase, bool top, bool left, bool bottom, bool right);
// Rows from `from` (top) to `to` (bottom); writes whole pixels, alpha 0 unless given.
void FillVerticalGradient(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel from,
                          Pixel to);
// Columns from `from` (left) to `to` (right); keeps each pixel's alpha.
void FillHorizontalGradient(Image* image, int32_t x, int32_t y, int32_t w, int32_t h, Pixel from,
                            Pixel to);
// Frame in COLOR_BTNSHADOW, and one in COLOR_BTNHIGHLIGHT one pixel inside it.
void DrawBevel(Image* image, int32_t x, int32_t y, int32_t w, int32_t h);
// The face of buttons and selectors: lighter upper half, darker lower half.
void DrawTwoToneFace(Image* image, Color colour, int32_t x, int32_t y, int32_t w, int32_t h,
                     bool bevel, bool outline);
// Sunken panel with a light gradient; a non-zero inset leaves room for a shadow.
void DrawPanel(Image* image, PixelRect rectangle, int32_t inset);
// Solid triangles of width a and height b in ColorToOpaquePixel(colour).
void DrawUpGlyph(Image* image, int32_t x, int32_t y, int32_t a, int32_t b, Color colour);
void DrawRightGlyph(Image* image, int32_t x, int32_t y, int32_t a, int32_t b, Color colour);
void DrawDownGlyph(Image* image, int32_t x, int32_t y, int32_t a, int32_t b, Color colour);

// Icon and blend effects.
constexpr int kEffectNormal = 0;
constexpr int kEffectGray = 2;
constexpr int kEffectDisabled = 4;
constexpr int kEffectFaded = 6;

// Blends the source rectangle at (sx, sy) onto dst's (x, y, w, h) by the
// source's alpha, with an effect: the source's colours (normal), its gray
// (gray), its gray at half strength (disabled) or its colours at 70 % (faded).
void BlendImage(Image* dst, int32_t x, int32_t y, int32_t w, int32_t h, const Image* src,
                int32_t sx, int32_t sy, int effect);
// Draws `icon` at w x h with an effect; `work` is a w x h surface to reuse, or
// null. False when the icon cannot be drawn.
bool DrawIconEffect(Image* dst, Surface* work, int effect, int32_t x, int32_t y, int32_t w,
                    int32_t h, const Icon* icon);
// Blends src over dst by src's alpha; dst's alpha is kept.
void CompositeImage(Image* dst, const Image* src, int32_t x, int32_t y, int32_t w, int32_t h,
                    int32_t sx, int32_t sy);
