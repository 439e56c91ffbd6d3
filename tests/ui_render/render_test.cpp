// Pixel tests of the colour conversions and drawing primitives, with the
// numbers the toolkit's looks are built from.
#include <gtest/gtest.h>

#include <vector>

#include "ui/render/classic.h"
#include "ui/render/image.h"
#include "ui/render/sys_colors.h"

namespace {

struct ImageGuard {
  Image* image;
  ImageGuard(int w, int h, Pixel fill = 0) : image(NewImage(w, h)) {
    FillRect(image, 0, 0, w, h, fill);
  }
  ~ImageGuard() { FreeImage(&image); }
  Pixel At(int x, int y) const { return *PixelAddress(image, x, y); }
};

TEST(Colour, ConversionsClampAndKeepTheirAlphaRules) {
  struct Case {
    Color colour;
    int delta;
    Pixel expected;
  } cases[] = {
      {MakeColor(255, 255, 255), 30, 0x00FFFFFF},
      {MakeColor(0, 0, 0), -30, 0x00000000},
      {MakeColor(100, 150, 200), -40, 0x003C6EA0},  // 60, 110, 160
      {MakeColor(250, 5, 128), 10, 0x00FF0F8A},
  };
  for (const Case& c : cases) EXPECT_EQ(ShadeColorToPixel(c.colour, c.delta), c.expected);
  EXPECT_EQ(ColorToPixel(MakeColor(1, 2, 3)), 0x00010203u);
  EXPECT_EQ(ColorToOpaquePixel(MakeColor(1, 2, 3)), 0xFF010203u);
  EXPECT_EQ(MakePixel(1, 2, 3), 0xFF010203u);
  EXPECT_EQ(ShadeColor(0x01000000u | MakeColor(250, 100, 3), 10), 0x01000000u | MakeColor(255, 110, 13));
  EXPECT_EQ(ShadeColor(MakeColor(5, 100, 3), -10), MakeColor(0, 90, 0));
}

TEST(Fill, ClipsToTheImageAndDrawsNothingOutside) {
  ImageGuard g(10, 10);
  FillRect(g.image, -3, 8, 5, 10, 0xFF112233);
  EXPECT_EQ(g.At(0, 8), 0xFF112233u);
  EXPECT_EQ(g.At(1, 9), 0xFF112233u);
  EXPECT_EQ(g.At(2, 9), 0u);
  EXPECT_EQ(g.At(0, 7), 0u);
  // Wholly outside: untouched.
  FillRect(g.image, 10, 0, 5, 5, 0xFFFFFFFF);
  FillRect(g.image, -5, 0, 5, 5, 0xFFFFFFFF);
  FillRect(g.image, 0, -5, 5, 5, 0xFFFFFFFF);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 10; ++x) EXPECT_EQ(g.At(x, y), 0u);
  // Not 32-bit: nothing.
  g.image->bits_per_pixel = 24;
  FillRect(g.image, 0, 0, 10, 10, 0xFFFFFFFF);
  g.image->bits_per_pixel = 32;
  EXPECT_EQ(g.At(5, 5), 0u);
}

TEST(Frame, CutByTheEdgeIsClosedAlongIt) {
  ImageGuard g(10, 6);
  DrawFrame(g.image, 4, 1, 20, 3, 0xFF0000FF);
  EXPECT_EQ(g.At(9, 2), 0xFF0000FFu);  // right side on the last column
  EXPECT_EQ(g.At(4, 2), 0xFF0000FFu);
  EXPECT_EQ(g.At(6, 2), 0u);  // inside stays
  EXPECT_EQ(g.At(6, 3), 0xFF0000FFu);
  ImageGuard s(6, 6);
  DrawFrameSides(s.image, 0, 0, 6, 6, 1, false, true, false, true);
  EXPECT_EQ(s.At(0, 3), 1u);
  EXPECT_EQ(s.At(5, 3), 1u);
  EXPECT_EQ(s.At(3, 0), 0u);
  EXPECT_EQ(s.At(3, 5), 0u);
}

TEST(DashedFrame, PhasesSelectTwoOnTwoOff) {
  struct Case {
    int phase;
    const char* top;  // 8 pixels of the top side
  } cases[] = {{0, "XX..XX.."}, {1, "X..XX..X"}, {2, "..XX..XX"}, {3, ".XX..XX."}, {4, "XX..XX.."}};
  for (const Case& c : cases) {
    ImageGuard g(8, 4);
    DrawDashedFrame(g.image, MakeColor(10, 20, 30), 0, 0, 8, 4, c.phase, true, false, false, false);
    for (int x = 0; x < 8; ++x) {
      Pixel expected = c.top[x] == 'X' ? 0x000A141Eu : 0u;
      EXPECT_EQ(g.At(x, 0), expected) << "phase " << c.phase << " x " << x;
    }
    EXPECT_EQ(g.At(0, 1), 0u);  // left side not asked for
  }
  // The left side counts from its own first pixel downwards.
  ImageGuard g(3, 6);
  DrawDashedFrame(g.image, 0xFFFFFF, 0, 0, 3, 6, 0, false, true, false, false);
  std::vector<bool> on;
  for (int y = 0; y < 6; ++y) on.push_back(g.At(0, y) != 0);
  EXPECT_EQ(on, (std::vector<bool>{true, true, false, false, true, true}));
}

TEST(Gradient, VerticalRowsStopShortOfTheEndColour) {
  ImageGuard g(3, 4, 0xFF000000);
  FillVerticalGradient(g.image, 0, 0, 3, 4, 0x00000000, 0x00FFFFFF);
  int expected[] = {0, 63, 127, 191};
  for (int row = 0; row < 4; ++row) {
    EXPECT_EQ(g.At(2, row), static_cast<Pixel>(expected[row] * 0x010101)) << row;
  }
  // Cut at the top: counting starts at the first drawn row.
  ImageGuard c(1, 2);
  FillVerticalGradient(c.image, 0, -2, 1, 4, 0, 0x00FFFFFF);
  EXPECT_EQ(c.At(0, 0), 0u);
  EXPECT_EQ(c.At(0, 1), 0x003F3F3Fu);
}

TEST(Gradient, HorizontalKeepsAlpha) {
  ImageGuard g(4, 2, 0x80000000);
  FillHorizontalGradient(g.image, 0, 0, 4, 2, 0x00FFFFFF, 0x00000000);
  EXPECT_EQ(g.At(0, 1), 0x80FFFFFFu);
  EXPECT_EQ(g.At(1, 0), 0x80BFBFBFu);  // 255 * 0.75 = 191.25
  EXPECT_EQ(g.At(3, 0), 0x803F3F3Fu);
}

TEST(Face, TwoToneHalvesBevelAndOutline) {
  Color face = MakeColor(100, 100, 100);
  ImageGuard g(10, 9);
  DrawTwoToneFace(g.image, face, 0, 0, 10, 9, false, false);
  EXPECT_EQ(g.At(5, 0), ShadeColorToPixel(face, 30));   // top of upper half (f = 4)
  EXPECT_EQ(g.At(5, 4), ShadeColorToPixel(face, -30));  // top of lower half
  ImageGuard b(10, 9);
  DrawTwoToneFace(b.image, face, 0, 0, 10, 9, true, true);
  EXPECT_EQ(b.At(0, 0), ShadeColorToPixel(face, -40));
  EXPECT_EQ(b.At(1, 1), SysPixel(COLOR_BTNHIGHLIGHT));
  ImageGuard v(6, 6);
  DrawBevel(v.image, 0, 0, 6, 6);
  EXPECT_EQ(v.At(5, 5), SysPixel(COLOR_BTNSHADOW));
  EXPECT_EQ(v.At(4, 4), SysPixel(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(v.At(2, 2), 0u);
}

TEST(Panel, FramesGradientAndShadow) {
  ImageGuard g(20, 20);
  DrawPanel(g.image, PixelRect{0, 0, 20, 20}, 1);
  EXPECT_EQ(g.At(0, 0), SysPixel(COLOR_3DDKSHADOW));
  EXPECT_EQ(g.At(18, 18), SysPixel(COLOR_3DDKSHADOW));
  EXPECT_EQ(g.At(1, 1), SysPixel(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(g.At(2, 2), SysPixel(COLOR_WINDOW));
  EXPECT_EQ(g.At(19, 5), SysPixel(COLOR_BTNSHADOW));
  EXPECT_EQ(g.At(5, 19), SysPixel(COLOR_BTNSHADOW));
}

TEST(Glyphs, TrianglesHaveTheirRows) {
  ImageGuard g(12, 12);
  DrawDownGlyph(g.image, 0, 0, 11, 7, MakeColor(255, 0, 0));
  for (int r = 0; r < 6; ++r) {
    int count = 0;
    for (int x = 0; x < 12; ++x) count += g.At(x, r) == 0xFFFF0000u;
    EXPECT_EQ(count, 11 - 2 * r) << r;
    EXPECT_EQ(g.At(r, r), 0xFFFF0000u);
  }
  EXPECT_EQ(g.At(5, 6), 0u);
  ImageGuard u(12, 12);
  DrawUpGlyph(u.image, 0, 0, 11, 7, 0xFFFFFF);
  EXPECT_EQ(u.At(0, 6), 0xFFFFFFFFu);
  EXPECT_EQ(u.At(10, 6), 0xFFFFFFFFu);
  EXPECT_EQ(u.At(5, 1), 0xFFFFFFFFu);
  EXPECT_EQ(u.At(4, 1), 0u);
  EXPECT_EQ(u.At(5, 0), 0u);
  ImageGuard r(12, 12);
  DrawRightGlyph(r.image, 0, 0, 11, 7, 0xFFFFFF);
  EXPECT_EQ(r.At(0, 10), 0xFFFFFFFFu);
  EXPECT_EQ(r.At(5, 5), 0xFFFFFFFFu);
  EXPECT_EQ(r.At(6, 5), 0u);
  // Off the image: skipped, no crash.
  DrawDownGlyph(r.image, -5, 8, 11, 7, 0xFFFFFF);
}

TEST(Blend, EffectsGiveTheirChannels) {
  ImageGuard src(1, 1, 0xFFFF0000);  // opaque pure red
  struct Case {
    int effect;
    Pixel dst;
    Pixel expected;
  } cases[] = {
      {kEffectNormal, 0x10FFFFFF, 0x10FF0000},
      {kEffectGray, 0x10FFFFFF, 0xFF565656},      // gray = 86
      {kEffectDisabled, 0x00FFFFFF, 0xFFAAAAAA},  // 170.5 -> 170
      {kEffectFaded, 0x20FFFFFF, 0x20FF4C4C},     // 255 * 0.3 = 76.5 -> 76
  };
  for (const Case& c : cases) {
    ImageGuard d(1, 1, c.dst);
    BlendImage(d.image, 0, 0, 1, 1, src.image, 0, 0, c.effect);
    EXPECT_EQ(d.At(0, 0), c.expected) << "effect " << c.effect;
  }
}

// The gray effect (a disabled item's icon) blends like the normal one: a
// transparent source pixel leaves the destination's colour, an opaque one
// gives exactly its gray, a half-transparent one lies in between.
TEST(Blend, GrayBlendsByTheSourceAlpha) {
  ImageGuard src(3, 1);
  *PixelAddress(src.image, 0, 0) = 0x00FF0000;  // transparent
  *PixelAddress(src.image, 1, 0) = 0xFF204080;  // gray 0.34 * 32 + 0.44 * 64 + 0.22 * 128 = 67.2
  *PixelAddress(src.image, 2, 0) = 0x80204080;  // alpha 128/255
  ImageGuard d(3, 1, 0xFFC0A080);
  BlendImage(d.image, 0, 0, 3, 1, src.image, 0, 0, kEffectGray);
  EXPECT_EQ(d.At(0, 0) & 0xFFFFFF, 0xC0A080u);
  EXPECT_EQ(d.At(1, 0) & 0xFFFFFF, 0x434343u);
  EXPECT_EQ(d.At(2, 0) & 0xFFFFFF, 0x817161u);  // 129.25, 113.32, 97.38
}

TEST(Blend, NegativeDestinationMovesTheSourceAndNeverReadsOutside) {
  ImageGuard src(4, 1);
  for (int x = 0; x < 4; ++x) *PixelAddress(src.image, x, 0) = 0xFF000000u | static_cast<Pixel>(x + 1);
  ImageGuard d(4, 1);
  BlendImage(d.image, -2, 0, 4, 1, src.image, 0, 0, kEffectNormal);
  EXPECT_EQ(d.At(0, 0) & 0xFF, 3u);
  EXPECT_EQ(d.At(1, 0) & 0xFF, 4u);
  EXPECT_EQ(d.At(2, 0), 0u);
  ImageGuard wide(8, 1);
  BlendImage(wide.image, 0, 0, 8, 1, src.image, 2, 0, kEffectNormal);  // only 2 source columns left
  EXPECT_EQ(wide.At(1, 0) & 0xFF, 4u);
  EXPECT_EQ(wide.At(2, 0), 0u);
}

TEST(Composite, NegativeXDrawsTheRightHandPart) {
  ImageGuard src(4, 2);
  for (int x = 0; x < 4; ++x)
    for (int y = 0; y < 2; ++y) *PixelAddress(src.image, x, y) = MakePixel(x * 10, 0, 0);
  *PixelAddress(src.image, 3, 1) = 0x80FF0000;  // half transparent
  ImageGuard d(3, 2, 0x11000000);
  CompositeImage(d.image, src.image, -1, 0, 4, 2, 0, 0);
  EXPECT_EQ(d.At(0, 0), 0x110A0000u);  // source column 1
  EXPECT_EQ(d.At(2, 0), 0x111E0000u);  // source column 3
  EXPECT_EQ(d.At(2, 1), 0x11800000u);  // 255 * 128/255 = 128 (truncated from 127.99..)
  // Wholly outside: nothing.
  ImageGuard e(3, 2);
  CompositeImage(e.image, src.image, -4, 0, 4, 2, 0, 0);
  CompositeImage(e.image, src.image, 3, 0, 4, 2, 0, 0);
  EXPECT_EQ(e.At(0, 0), 0u);
  EXPECT_EQ(e.At(2, 1), 0u);
}

TEST(Icon, OwnAlphaIsKeptMaskGivesOpacityOtherwise) {
  // With alpha: a half-transparent white pixel over black gives 127.
  ImageGuard color(2, 2);
  *PixelAddress(color.image, 0, 0) = 0x80FFFFFF;
  *PixelAddress(color.image, 1, 1) = 0xFFFFFFFF;
  Icon* alpha_icon = CreateIconFromImages(color.image, nullptr);
  ASSERT_NE(alpha_icon, nullptr);
  ImageGuard d(2, 2, 0x00000000);
  EXPECT_TRUE(DrawIconEffect(d.image, nullptr, kEffectNormal, 0, 0, 2, 2, alpha_icon));
  EXPECT_EQ(d.At(0, 0), 0x00808080u);
  EXPECT_EQ(d.At(1, 0), 0u);
  EXPECT_EQ(d.At(1, 1), 0x00FFFFFFu);
  DestroyIcon(&alpha_icon);
  EXPECT_EQ(alpha_icon, nullptr);

  // Without alpha: the mask's black is opaque, its white transparent.
  ImageGuard plain(2, 2, 0x0000FF00);
  ImageGuard mask(2, 2, 0x00FFFFFF);
  *PixelAddress(mask.image, 1, 0) = 0;
  Icon* masked = CreateIconFromImages(plain.image, mask.image);
  ImageGuard m(4, 4, 0x00FF0000);
  Surface work;
  ASSERT_TRUE(CreateMemorySurface(&work, 4, 4));
  EXPECT_TRUE(DrawIconEffect(m.image, &work, kEffectNormal, 2, 2, 2, 2, masked));
  EXPECT_EQ(m.At(3, 2), 0x0000FF00u);
  EXPECT_EQ(m.At(2, 2), 0x00FF0000u);
  EXPECT_EQ(m.At(2, 3), 0x00FF0000u);
  // Drawn at twice its size, each icon pixel covers 2 x 2.
  ImageGuard big(4, 4, 0x00FF0000);
  EXPECT_TRUE(DrawIconEffect(big.image, &work, kEffectNormal, 0, 0, 4, 4, masked));
  EXPECT_EQ(big.At(3, 1), 0x0000FF00u);
  EXPECT_EQ(big.At(1, 1), 0x00FF0000u);
  ReleaseSurface(&work);
  DestroyIcon(&masked);
  EXPECT_FALSE(DrawIconEffect(m.image, nullptr, 0, 0, 0, 2, 2, nullptr));
}

// A disabled item's icon: the face around the icon's shape stays as it was.
TEST(Icon, GrayIconKeepsTheBackgroundAroundItsShape) {
  ImageGuard plain(2, 2, 0x0000FF00);  // no alpha of its own
  ImageGuard mask(2, 2, 0x00FFFFFF);   // transparent but for one pixel
  *PixelAddress(mask.image, 1, 0) = 0;
  Icon* masked = CreateIconFromImages(plain.image, mask.image);
  ASSERT_NE(masked, nullptr);
  ImageGuard d(2, 2, 0xFFC0C0C0);
  EXPECT_TRUE(DrawIconEffect(d.image, nullptr, kEffectGray, 0, 0, 2, 2, masked));
  EXPECT_EQ(d.At(1, 0) & 0xFFFFFF, 0x707070u);  // 0.44 * 255 = 112.2
  EXPECT_EQ(d.At(0, 0) & 0xFFFFFF, 0xC0C0C0u);
  EXPECT_EQ(d.At(0, 1) & 0xFFFFFF, 0xC0C0C0u);
  EXPECT_EQ(d.At(1, 1) & 0xFFFFFF, 0xC0C0C0u);
  DestroyIcon(&masked);
}

TEST(Classic, RaisedAndSunkenButtonsAndFocusRect) {
  ImageGuard g(8, 8);
  EXPECT_TRUE(DrawFrameControl(g.image, PixelRect{0, 0, 8, 8}, DFC_BUTTON, DFCS_BUTTONPUSH));
  EXPECT_EQ(g.At(0, 0), SysPixel(COLOR_3DLIGHT));
  EXPECT_EQ(g.At(7, 7), SysPixel(COLOR_3DDKSHADOW));
  EXPECT_EQ(g.At(1, 1), SysPixel(COLOR_BTNHIGHLIGHT));
  EXPECT_EQ(g.At(6, 6), SysPixel(COLOR_BTNSHADOW));
  EXPECT_EQ(g.At(3, 3), SysPixel(COLOR_BTNFACE));
  EXPECT_TRUE(DrawFrameControl(g.image, PixelRect{0, 0, 8, 8}, DFC_BUTTON, DFCS_BUTTONPUSH | DFCS_PUSHED));
  EXPECT_EQ(g.At(0, 0), SysPixel(COLOR_BTNSHADOW));
  EXPECT_EQ(g.At(7, 7), SysPixel(COLOR_BTNHIGHLIGHT));
  EXPECT_TRUE(DrawFrameControl(g.image, PixelRect{0, 0, 8, 8}, DFC_BUTTON,
                               DFCS_BUTTONPUSH | DFCS_PUSHED | DFCS_FLAT));
  EXPECT_EQ(g.At(7, 7), SysPixel(COLOR_BTNSHADOW));
  EXPECT_EQ(g.At(1, 1), SysPixel(COLOR_BTNFACE));
  EXPECT_FALSE(DrawFrameControl(g.image, PixelRect{0, 0, 8, 8}, 1, 0));

  PixelRect r{0, 0, 8, 8};
  DrawEdge(g.image, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.bottom, 6);

  ImageGuard f(6, 6, 0x00FFFFFF);
  DrawFocusRect(f.image, PixelRect{0, 0, 6, 6});
  EXPECT_EQ(f.At(0, 0), 0u);
  EXPECT_EQ(f.At(1, 0), 0x00FFFFFFu);
  EXPECT_EQ(f.At(5, 5), 0u);
  EXPECT_EQ(f.At(2, 2), 0x00FFFFFFu);
  DrawFocusRect(f.image, PixelRect{0, 0, 6, 6});  // twice restores
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x) EXPECT_EQ(f.At(x, y), 0x00FFFFFFu);
}

}  // namespace
