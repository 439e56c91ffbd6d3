// Fonts, metrics and transparent text on the machine's real fonts.
#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <set>

#include "platform/text.h"
#include "ui/render/image.h"

namespace {

struct FontGuard {
  FontHandle font;
  FontGuard(const char* face, int height, int weight = 400) : font(CreateTextFont(face, height, weight)) {}
  ~FontGuard() { DeleteTextFont(&font); }
};

struct Canvas {
  Image* image;
  Canvas(int w, int h, Pixel fill) : image(NewImage(w, h)) { FillRect(image, 0, 0, w, h, fill); }
  ~Canvas() { FreeImage(&image); }
  Pixel At(int x, int y) const { return *PixelAddress(image, x, y); }
};

// tmHeight the way the platform's font mapper computes it, from the file.
int WinMetricsHeight(const char* path, int em) {
  FT_Library lib;
  FT_Face face;
  if (FT_Init_FreeType(&lib) != 0) return -1;
  if (FT_New_Face(lib, path, 0, &face) != 0) return -1;
  auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  int units = face->units_per_EM;
  int ascent = (os2->usWinAscent * em * 64 / units + 32) / 64;
  int descent = (os2->usWinDescent * em * 64 / units + 32) / 64;
  FT_Done_Face(face);
  FT_Done_FreeType(lib);
  return ascent + descent;
}

TEST(Fonts, TahomaComesFromTheWineFolderOthersFallBack) {
  FontGuard tahoma("Tahoma", -12);
  ASSERT_NE(tahoma.font, nullptr);
  EXPECT_STREQ(FontFamilyName(tahoma.font), "Tahoma");
  FontGuard unknown("No Such Face At All", -12);
  ASSERT_NE(unknown.font, nullptr);
  EXPECT_STREQ(FontFamilyName(unknown.font), "Liberation Sans");
  FontGuard bold("Tahoma", -12, 700);
  int32_t normal_width = 0, bold_width = 0;
  GetTextExtent(tahoma.font, "Server Control", -1, &normal_width, nullptr);
  GetTextExtent(bold.font, "Server Control", -1, &bold_width, nullptr);
  EXPECT_GT(bold_width, normal_width);
}

TEST(Fonts, CellHeightComesFromTheWinMetrics) {
  FontGuard tahoma("Tahoma", -12);
  TextMetrics m{};
  ASSERT_TRUE(GetFontMetrics(tahoma.font, &m));
  EXPECT_EQ(m.tmHeight, WinMetricsHeight("/usr/share/wine/fonts/tahoma.ttf", 12));
  EXPECT_EQ(m.tmHeight, m.tmAscent + m.tmDescent);
  EXPECT_EQ(m.tmInternalLeading, m.tmHeight - 12);
  // A positive height asks for the cell height itself.
  for (int cell : {12, 14, 20}) {
    FontGuard f("Tahoma", cell);
    GetFontMetrics(f.font, &m);
    EXPECT_NEAR(m.tmHeight, cell, 1) << cell;
  }
  EXPECT_FALSE(GetFontMetrics(nullptr, &m));
}

TEST(Text, ExtentsAddUp) {
  FontGuard f("Tahoma", -12);
  int32_t a = 0, b = 0, ab = 0, h = 0, empty = -1;
  GetTextExtent(f.font, "Apply", -1, &a, &h);
  GetTextExtent(f.font, " OK", -1, &b, nullptr);
  GetTextExtent(f.font, "Apply OK", -1, &ab, nullptr);
  GetTextExtent(f.font, "Apply OK", 0, &empty, nullptr);
  EXPECT_GT(a, 20);
  EXPECT_EQ(ab, a + b);
  EXPECT_EQ(empty, 0);
  TextMetrics m{};
  GetFontMetrics(f.font, &m);
  EXPECT_EQ(h, m.tmHeight);
  int32_t part = 0;
  GetTextExtent(f.font, "Apply OK", 5, &part, nullptr);
  EXPECT_EQ(part, a);
}

// Draws "Hello" and returns the set of distinct red values drawn.
std::set<int> DrawAndCollect(FontHandle font, Canvas* c, int* top, int* bottom) {
  EXPECT_TRUE(DrawTextTransparent(c->image, font, 2, 3, "Hello", -1, 0x000000FF, nullptr));
  std::set<int> reds;
  *top = 1000;
  *bottom = -1;
  for (int y = 0; y < c->image->height; ++y) {
    for (int x = 0; x < c->image->width; ++x) {
      Pixel p = c->At(x, y);
      EXPECT_EQ(p >> 24, 0x40u);  // alpha kept
      if ((p & 0xFFFFFF) == 0xFFFFFF) continue;
      EXPECT_EQ(PixelRed(p), 255);  // red text over white: only green/blue fall
      EXPECT_EQ(PixelGreen(p), PixelBlue(p));
      reds.insert(PixelGreen(p));
      *top = std::min(*top, y);
      *bottom = std::max(*bottom, y);
    }
  }
  return reds;
}

TEST(Text, MonochromeAndGreyGlyphsBothDrawInsideTheCell) {
  struct Case {
    const char* face;
    bool mono;
  } cases[] = {{"Tahoma", true}, {"Liberation Sans", false}};
  for (const Case& k : cases) {
    FontGuard f(k.face, -12);
    TextMetrics m{};
    GetFontMetrics(f.font, &m);
    Canvas c(60, 24, 0x40FFFFFF);
    int top = 0, bottom = 0;
    std::set<int> levels = DrawAndCollect(f.font, &c, &top, &bottom);
    ASSERT_FALSE(levels.empty()) << k.face;
    EXPECT_GE(top, 3) << k.face;
    EXPECT_LT(bottom, 3 + m.tmHeight) << k.face;
    if (k.mono) {
      EXPECT_EQ(levels, std::set<int>{0}) << "Tahoma's 12-pixel bitmaps are all-or-nothing";
    } else {
      EXPECT_GT(levels.size(), 3u) << k.face;
    }
  }
}

TEST(Text, ClipRectangleAndImageEdgesHold) {
  FontGuard f("Tahoma", -12);
  Canvas c(40, 20, 0x00FFFFFF);
  int32_t clip[4] = {0, 0, 8, 20};
  DrawTextTransparent(c.image, f.font, -3, -4, "WWWW", -1, 0, clip);
  for (int y = 0; y < 20; ++y)
    for (int x = 8; x < 40; ++x) EXPECT_EQ(c.At(x, y), 0x00FFFFFFu);
  Image* not32 = NewImage(4, 4);
  not32->bits_per_pixel = 24;
  EXPECT_FALSE(DrawTextTransparent(not32, f.font, 0, 0, "a", -1, 0, nullptr));
  FreeImage(&not32);
}

TEST(Utf8, DecodesAndKeepsMalformedBytes) {
  struct Case {
    const char* text;
    std::vector<uint32_t> codes;
  } cases[] = {
      {"A\xC3\xA9", {0x41, 0xE9}},
      {"\xE2\x82\xAC", {0x20AC}},
      {"\xF0\x9F\x98\x80", {0x1F600}},
      {"\xC3", {0xC3}},              // cut short
      {"\xC0\xAF", {0xC0, 0xAF}},    // overlong
      {"\xED\xA0\x80", {0xED, 0xA0, 0x80}},  // surrogate
      {"\xE2\x28\xA1", {0xE2, 0x28, 0xA1}},
  };
  for (const Case& c : cases) {
    std::vector<uint32_t> got;
    int32_t n = static_cast<int32_t>(strlen(c.text)), i = 0;
    while (i < n) got.push_back(DecodeUtf8(c.text, n, &i));
    EXPECT_EQ(got, c.codes) << c.text;
  }
}

}  // namespace
