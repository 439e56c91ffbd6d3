// Fonts, metrics and transparent text through FreeType. Cell metrics follow
// the platform's font mapper: the cell height is the OS/2 winAscent +
// winDescent scaled to the em size, so layouts measured against it keep
// their proportions on every system.
#include "platform/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "platform/image.h"
#include "platform/text/font_lookup.h"

struct GlyphBits {
  int32_t advance = 0;
  int32_t left = 0;  // from the pen to the first column
  int32_t top = 0;   // from the baseline up to the first row
  int32_t width = 0;
  int32_t rows = 0;
  std::vector<uint8_t> coverage;  // width * rows, 0-255
};

struct TextFont {
  FT_Face face = nullptr;
  FontFile file;
  TextMetrics metrics{};
  std::unordered_map<uint32_t, GlyphBits> glyphs;
};

namespace {

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib) != 0) lib = nullptr;
    return lib;
  }();
  return library;
}

int32_t Scale(FT_Long units, FT_Fixed scale) {
  return static_cast<int32_t>((FT_MulFix(units, scale) + 32) >> 6);
}

// The em size in pixels for a requested height: negative heights are the em
// size itself, positive ones the cell height (ascent + descent).
FT_UInt EmSize(FT_Face face, const TT_OS2* os2, int32_t height) {
  if (height < 0) return static_cast<FT_UInt>(-height);
  if (height == 0) return 12;
  int32_t cell = os2 ? os2->usWinAscent + os2->usWinDescent : face->ascender - face->descender;
  if (cell <= 0) return static_cast<FT_UInt>(height);
  int64_t em = (static_cast<int64_t>(face->units_per_EM) * height + cell / 2) / cell;
  return static_cast<FT_UInt>(std::max<int64_t>(em, 1));
}

void ComputeMetrics(TextFont* font, const TT_OS2* os2, FT_UInt em) {
  FT_Face face = font->face;
  FT_Fixed ys = face->size->metrics.y_scale, xs = face->size->metrics.x_scale;
  TextMetrics& m = font->metrics;
  if (os2 != nullptr && os2->usWinAscent + os2->usWinDescent > 0) {
    m.tmAscent = Scale(os2->usWinAscent, ys);
    m.tmDescent = Scale(os2->usWinDescent, ys);
    m.tmAveCharWidth = Scale(os2->xAvgCharWidth, xs);
  } else {
    m.tmAscent = static_cast<int32_t>((face->size->metrics.ascender + 63) >> 6);
    m.tmDescent = static_cast<int32_t>((-face->size->metrics.descender + 63) >> 6);
    m.tmAveCharWidth = static_cast<int32_t>(em / 2);
  }
  m.tmHeight = m.tmAscent + m.tmDescent;
  m.tmInternalLeading = m.tmHeight - static_cast<int32_t>(em);
  m.tmMaxCharWidth = Scale(face->bbox.xMax - face->bbox.xMin, xs);
}

// Copies a rendered mono or grey bitmap into coverage bytes.
void TakeBitmap(const FT_Bitmap& bitmap, GlyphBits* glyph) {
  glyph->width = static_cast<int32_t>(bitmap.width);
  glyph->rows = static_cast<int32_t>(bitmap.rows);
  glyph->coverage.assign(static_cast<size_t>(glyph->width) * glyph->rows, 0);
  int grays = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
  for (int32_t row = 0; row < glyph->rows; ++row) {
    const uint8_t* src = bitmap.buffer + static_cast<intptr_t>(row) * bitmap.pitch;
    for (int32_t col = 0; col < glyph->width; ++col) {
      uint8_t value = 0;
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        value = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
      } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        value = static_cast<uint8_t>(src[col] * 255 / grays);
      }
      glyph->coverage[static_cast<size_t>(row) * glyph->width + col] = value;
    }
  }
}

const GlyphBits& Glyph(TextFont* font, uint32_t code) {
  auto found = font->glyphs.find(code);
  if (found != font->glyphs.end()) return found->second;
  GlyphBits& glyph = font->glyphs[code];
  FT_Face face = font->face;
  if (FT_Load_Char(face, code, FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) != 0) return glyph;
  if (font->file.embolden) FT_GlyphSlot_Embolden(face->glyph);
  if (face->glyph->format != FT_GLYPH_FORMAT_BITMAP &&
      FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) {
    return glyph;
  }
  glyph.advance = static_cast<int32_t>((face->glyph->advance.x + 32) >> 6);
  glyph.left = face->glyph->bitmap_left;
  glyph.top = face->glyph->bitmap_top;
  TakeBitmap(face->glyph->bitmap, &glyph);
  return glyph;
}

int32_t TextLength(const char* text, int32_t length) {
  if (text == nullptr) return 0;
  if (length >= 0) return length;
  int32_t n = 0;
  while (text[n] != '\0') ++n;
  return n;
}

uint8_t Blend(uint8_t d, int s, int coverage) {
  return static_cast<uint8_t>((d * (255 - coverage) + s * coverage + 127) / 255);
}

}  // namespace

FontHandle CreateTextFont(const char* face, int32_t height, int32_t weight) {
  FT_Library library = Library();
  FontFile file;
  if (library == nullptr || !FindFontFile(face, weight, &file)) return nullptr;
  TextFont* font = new TextFont;
  font->file = file;
  if (FT_New_Face(library, file.path.c_str(), file.index, &font->face) != 0) {
    delete font;
    return nullptr;
  }
  const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(font->face, FT_SFNT_OS2));
  FT_UInt em = EmSize(font->face, os2, height);
  if (FT_Set_Pixel_Sizes(font->face, 0, em) != 0) {
    FT_Done_Face(font->face);
    delete font;
    return nullptr;
  }
  ComputeMetrics(font, os2, em);
  return font;
}

void DeleteTextFont(FontHandle* slot) {
  if (slot == nullptr || *slot == nullptr) return;
  FT_Done_Face((*slot)->face);
  delete *slot;
  *slot = nullptr;
}

bool GetFontMetrics(FontHandle font, TextMetrics* metrics) {
  if (font == nullptr || metrics == nullptr) return false;
  *metrics = font->metrics;
  return true;
}

bool GetTextExtent(FontHandle font, const char* text, int32_t length, int32_t* width,
                   int32_t* height) {
  if (font == nullptr) return false;
  int32_t n = TextLength(text, length), index = 0, total = 0;
  while (index < n) total += Glyph(font, DecodeUtf8(text, n, &index)).advance;
  if (width != nullptr) *width = total;
  if (height != nullptr) *height = font->metrics.tmHeight;
  return true;
}

bool DrawTextTransparent(Image* image, FontHandle font, int32_t x, int32_t y, const char* text,
                         int32_t length, uint32_t colour, const int32_t* clip) {
  if (font == nullptr || image == nullptr || image->bits_per_pixel != 32 || image->pixels == nullptr) {
    return false;
  }
  int32_t left = 0, top = 0, right = image->width, bottom = image->height;
  if (clip != nullptr) {
    left = std::max(left, clip[0]);
    top = std::max(top, clip[1]);
    right = std::min(right, clip[2]);
    bottom = std::min(bottom, clip[3]);
  }
  // The colour is 0x00BBGGRR.
  int red = static_cast<int>(colour & 0xFF), green = static_cast<int>((colour >> 8) & 0xFF),
      blue = static_cast<int>((colour >> 16) & 0xFF);
  int32_t n = TextLength(text, length), index = 0, pen = x, baseline = y + font->metrics.tmAscent;
  while (index < n && pen < right) {
    const GlyphBits& g = Glyph(font, DecodeUtf8(text, n, &index));
    int32_t gx = pen + g.left, gy = baseline - g.top;
    for (int32_t row = std::max(0, top - gy); row < g.rows && gy + row < bottom; ++row) {
      for (int32_t col = std::max(0, left - gx); col < g.width && gx + col < right; ++col) {
        int coverage = g.coverage[static_cast<size_t>(row) * g.width + col];
        if (coverage == 0) continue;
        uint8_t* p = reinterpret_cast<uint8_t*>(PixelAddress(image, gx + col, gy + row));
        p[0] = Blend(p[0], blue, coverage);
        p[1] = Blend(p[1], green, coverage);
        p[2] = Blend(p[2], red, coverage);
      }
    }
    pen += g.advance;
  }
  return true;
}

const char* FontFamilyName(FontHandle font) {
  return font != nullptr ? font->file.family.c_str() : "";
}
