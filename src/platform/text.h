// Fonts and text: fonts found by face name, measured the way the toolkit's
// layouts expect (character-cell heights from the font's own win metrics),
// and text drawn transparently into a 32-bit Image (platform/image.h).
// Text is the system's 8-bit text (see TextCharacterLength); a byte that
// starts no character counts as one character of its own value.
#pragma once

#include <cstdint>

struct Image;
struct TextFont;  // opaque; owned by whoever created it
using FontHandle = TextFont*;

// Character-cell metrics of a font, in pixels.
struct TextMetrics {
  int32_t tmHeight;           // ascent + descent
  int32_t tmAscent;           // baseline below the cell's top
  int32_t tmDescent;          // cell below the baseline
  int32_t tmInternalLeading;  // tmHeight - em size
  int32_t tmAveCharWidth;     // advance of 'x'
  int32_t tmMaxCharWidth;
};

// A font of `face` (fontconfig name; "Tahoma" falls back to Liberation Sans,
// then DejaVu Sans), `height` pixels and `weight` (400 normal, 700 bold).
// A negative height is the em size; a positive one the cell height (ascent +
// descent); 0 means 12-pixel em. Null when no font file can be opened.
FontHandle CreateTextFont(const char* face, int32_t height, int32_t weight);

// The program's interface font: "Tahoma", 12-pixel em, `weight` 400
// (normal) or 700 (bold). Made on its first use and held for the life of the
// process, one per weight, and shared by every window and control that
// draws with it; never released. Null when no font file can be opened.
FontHandle SharedInterfaceFont(int32_t weight);

// Releases the font; the slot is set to null.
void DeleteTextFont(FontHandle* slot);

// The font's metrics. False for a null font.
bool GetFontMetrics(FontHandle font, TextMetrics* metrics);

// Width (sum of advances) and height (tmHeight) of the first `length` bytes
// of `text` (length < 0: up to the terminating zero). False for a null font.
bool GetTextExtent(FontHandle font, const char* text, int32_t length, int32_t* width,
                   int32_t* height);

// Draws the first `length` bytes of `text` (length < 0: all) with the top of
// its character cell at (x, y), in `colour` (0x00BBGGRR), blending each glyph
// over the pixels by its coverage; untouched pixels keep their values and the
// alpha bytes of drawn pixels are kept. Clipped to the image and, when
// `clip` is not null, to the rectangle clip[0..3] = left, top, right, bottom.
// False for a null font or an image that is not 32-bit.
bool DrawTextTransparent(Image* image, FontHandle font, int32_t x, int32_t y, const char* text,
                         int32_t length, uint32_t colour, const int32_t* clip);

// Decodes one UTF-8 character at text[*index] (of `length` bytes), advances
// *index past it and returns its code point. A malformed sequence yields its
// first byte's value and advances by one.
uint32_t DecodeUtf8(const char* text, int32_t length, int32_t* index);

// The system's 8-bit text, in which file names, settings and every window
// text are kept: UTF-8 here, the ANSI code page on Windows (the one its file
// and process calls take).
// Bytes of the character that starts at text[index] (of `length` bytes): the
// whole sequence, or 1 for a byte that starts none.
int32_t TextCharacterLength(const char* text, int32_t length, int32_t index);
// The start of the character that holds text[index] (of `length` bytes):
// `index` itself when a character starts there; `length` for an index at or
// past the end, 0 for one before the start.
int32_t TextCharacterStart(const char* text, int32_t length, int32_t index);
// Writes the system's bytes for code point `code` into out[0..3] and returns
// how many; 0 when the system's text has no such character.
int32_t EncodeTextCharacter(uint32_t code, char out[4]);

// The face the font actually uses (for diagnostics and tests).
const char* FontFamilyName(FontHandle font);
