// Fonts and text through GDI: fonts by face name with CreateFontW, metrics
// from GetTextMetricsW, extents from GetTextExtentPoint32W, and text drawn
// white on black into a device-independent bitmap whose channels are then
// the coverage with which the colour is blended into the Image (grey
// anti-aliasing, ClearType's per-channel coverage and plain bitmaps alike).
#include <windows.h>

#include "platform/win32/dib.h"

#include <algorithm>
#include <string>

#include "platform/image.h"
#include "platform/text.h"

struct TextFont {
  HFONT font = nullptr;
  std::string family;
  TextMetrics metrics{};
};

namespace {

HDC MeasuringDc() {
  static HDC dc = ::CreateCompatibleDC(nullptr);
  return dc;
}

// The system's 8-bit text (the ANSI code page) as UTF-16.
std::wstring WideText(const char* text, int32_t length) {
  if (length < 0) length = static_cast<int32_t>(std::char_traits<char>::length(text));
  if (length == 0) return std::wstring();
  int n = ::MultiByteToWideChar(CP_ACP, 0, text, length, nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, text, length, out.data(), n);
  return out;
}

}  // namespace

FontHandle CreateTextFont(const char* face, int32_t height, int32_t weight) {
  if (height == 0) height = -12;
  std::wstring wideFace = WideText(face != nullptr ? face : "Tahoma", -1);
  HFONT font = ::CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY,
                             DEFAULT_PITCH | FF_SWISS, wideFace.c_str());
  if (font == nullptr) return nullptr;
  auto* result = new TextFont;
  result->font = font;
  HDC dc = MeasuringDc();
  HGDIOBJ old = ::SelectObject(dc, font);
  TEXTMETRICW tm{};
  ::GetTextMetricsW(dc, &tm);
  wchar_t name[LF_FACESIZE] = {};
  int nameLength = ::GetTextFaceW(dc, LF_FACESIZE, name);
  SIZE x{};
  ::GetTextExtentPoint32W(dc, L"x", 1, &x);
  ::SelectObject(dc, old);
  result->metrics = TextMetrics{tm.tmHeight, tm.tmAscent, tm.tmDescent, tm.tmInternalLeading,
                                x.cx, tm.tmMaxCharWidth};
  for (int i = 0; i < nameLength && name[i] != 0; ++i) {
    result->family.push_back(name[i] < 0x80 ? static_cast<char>(name[i]) : '?');
  }
  return result;
}

void DeleteTextFont(FontHandle* slot) {
  if (slot == nullptr || *slot == nullptr) return;
  ::DeleteObject((*slot)->font);
  delete *slot;
  *slot = nullptr;
}

bool GetFontMetrics(FontHandle font, TextMetrics* metrics) {
  if (font == nullptr) return false;
  *metrics = font->metrics;
  return true;
}

bool GetTextExtent(FontHandle font, const char* text, int32_t length, int32_t* width,
                   int32_t* height) {
  if (font == nullptr) return false;
  std::wstring wide = WideText(text, length);
  SIZE size{0, 0};
  if (!wide.empty()) {
    HDC dc = MeasuringDc();
    HGDIOBJ old = ::SelectObject(dc, font->font);
    ::GetTextExtentPoint32W(dc, wide.c_str(), static_cast<int>(wide.size()), &size);
    ::SelectObject(dc, old);
  }
  if (width) *width = size.cx;
  if (height) *height = font->metrics.tmHeight;
  return true;
}

bool DrawTextTransparent(Image* image, FontHandle font, int32_t x, int32_t y, const char* text,
                         int32_t length, uint32_t colour, const int32_t* clip) {
  if (font == nullptr || image == nullptr || image->bits_per_pixel != 32) return false;
  std::wstring wide = WideText(text, length);
  if (wide.empty()) return true;
  int32_t left = std::max(x, 0), top = std::max(y, 0);
  int32_t right = image->width, bottom = image->height;
  if (clip != nullptr) {
    left = std::max(left, clip[0]);
    top = std::max(top, clip[1]);
    right = std::min(right, clip[2]);
    bottom = std::min(bottom, clip[3]);
  }
  int32_t textWidth = 0, textHeight = 0;
  GetTextExtent(font, text, length, &textWidth, &textHeight);
  // Room for overhangs on the right (italic and bold strokes).
  right = std::min(right, x + textWidth + font->metrics.tmMaxCharWidth);
  bottom = std::min(bottom, y + textHeight);
  if (left >= right || top >= bottom) return true;
  int32_t w = right - left, h = bottom - top;
  BITMAPINFO info = TopDownInfo(w, h);
  void* bits = nullptr;
  HDC dc = MeasuringDc();
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return false;
  std::fill_n(static_cast<uint32_t*>(bits), size_t(w) * size_t(h), 0u);
  HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);
  HGDIOBJ oldFont = ::SelectObject(dc, font->font);
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, RGB(255, 255, 255));
  ::SetTextAlign(dc, TA_TOP | TA_LEFT);
  ::TextOutW(dc, x - left, y - top, wide.c_str(), static_cast<int>(wide.size()));
  ::GdiFlush();
  const uint32_t* coverage = static_cast<const uint32_t*>(bits);
  const uint32_t red = colour & 0xFF, green = (colour >> 8) & 0xFF, blue = (colour >> 16) & 0xFF;
  for (int32_t row = 0; row < h; ++row) {
    for (int32_t col = 0; col < w; ++col) {
      uint32_t c = coverage[size_t(row) * size_t(w) + size_t(col)];
      if ((c & 0x00FFFFFF) == 0) continue;
      Pixel* p = PixelAddress(image, left + col, top + row);
      auto mix = [](uint32_t under, uint32_t over, uint32_t amount) {
        return (under * (255 - amount) + over * amount + 127) / 255;
      };
      uint32_t r = mix((*p >> 16) & 0xFF, red, (c >> 16) & 0xFF);
      uint32_t g = mix((*p >> 8) & 0xFF, green, (c >> 8) & 0xFF);
      uint32_t b = mix(*p & 0xFF, blue, c & 0xFF);
      *p = (*p & 0xFF000000) | (r << 16) | (g << 8) | b;
    }
  }
  ::SelectObject(dc, oldFont);
  ::SelectObject(dc, oldBitmap);
  ::DeleteObject(bitmap);
  return true;
}

const char* FontFamilyName(FontHandle font) { return font != nullptr ? font->family.c_str() : ""; }

// The system font object of a font, for the system's own controls.
HFONT NativeFontOf(FontHandle font) { return font != nullptr ? font->font : nullptr; }
