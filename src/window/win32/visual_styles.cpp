// uxtheme.dll bound at run time (it is absent before version 5 of the
// platform), and the calls through its entry points. Themed parts are drawn
// into a device-independent bitmap that holds the image's pixels first, and
// the result is copied back: the toolkit paints into memory, not into a
// window's drawing context.
#include "window/win32/win32_internal.h"

#include <uxtheme.h>

#include "platform/win32/dib.h"

#include "platform/image.h"
#include "window/visual_styles.h"

int32_t PlatformMajorVersion() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof version;  // 156 bytes
  if (!::GetVersionExA(&version)) return 0;
  return static_cast<int32_t>(version.dwMajorVersion);
}

void* LoadVisualStyleLibrary() {
  if (PlatformMajorVersion() < 5) return nullptr;
  return ::LoadLibraryA("uxtheme.dll");
}

ThemeEntry FindVisualStyleEntry(void* library, const char* name) {
  if (library == nullptr || name == nullptr) return nullptr;
  return reinterpret_cast<ThemeEntry>(::GetProcAddress(static_cast<HMODULE>(library), name));
}

bool CallIsThemeActive(ThemeEntry isThemeActive) {
  if (isThemeActive == nullptr) return false;
  return reinterpret_cast<BOOL(WINAPI*)()>(isThemeActive)() != FALSE;
}

void* CallOpenThemeData(ThemeEntry openThemeData, WindowHandle window, const char* classList) {
  if (openThemeData == nullptr || classList == nullptr) return nullptr;
  wscore::WindowRecord* r = wscore::Find(window);
  HWND hwnd = r != nullptr ? wscore::win32::NativeOf(r) : nullptr;
  std::wstring classes = wscore::win32::Widen(classList);
  return reinterpret_cast<HTHEME(WINAPI*)(HWND, LPCWSTR)>(openThemeData)(hwnd, classes.c_str());
}

void CallCloseThemeData(ThemeEntry closeThemeData, void* theme) {
  if (closeThemeData == nullptr || theme == nullptr) return;
  reinterpret_cast<HRESULT(WINAPI*)(HTHEME)>(closeThemeData)(static_cast<HTHEME>(theme));
}

bool DrawThemedPart(ThemeEntry drawThemeBackground, ThemeEntry drawThemeText, void* theme,
                    Image* image, int32_t part, int32_t state, const char* text,
                    int32_t textState, const int32_t* textRect) {
  if ((drawThemeBackground == nullptr && drawThemeText == nullptr) || theme == nullptr ||
      image == nullptr ||
      image->bits_per_pixel != 32 || image->width <= 0 || image->height <= 0) {
    return false;
  }
  const int32_t w = image->width, h = image->height;
  BITMAPINFO info = TopDownInfo(w, h);
  void* bits = nullptr;
  HDC dc = ::CreateCompatibleDC(nullptr);
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) {
    ::DeleteDC(dc);
    return false;
  }
  auto* dib = static_cast<uint32_t*>(bits);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) dib[size_t(y) * size_t(w) + size_t(x)] = *PixelAddress(image, x, y);
  }
  HGDIOBJ old = ::SelectObject(dc, bitmap);
  RECT all{0, 0, w, h};
  HRESULT drawn = S_OK;
  if (drawThemeBackground != nullptr) {
    drawn = reinterpret_cast<HRESULT(WINAPI*)(HTHEME, HDC, int, int, const RECT*, const RECT*)>(
        drawThemeBackground)(static_cast<HTHEME>(theme), dc, part, state, &all, nullptr);
  }
  if (SUCCEEDED(drawn) && text != nullptr && drawThemeText != nullptr && textRect != nullptr) {
    std::wstring wide = wscore::win32::Widen(text);
    RECT where{textRect[0], textRect[1], textRect[2], textRect[3]};
    reinterpret_cast<HRESULT(WINAPI*)(HTHEME, HDC, int, int, LPCWSTR, int, DWORD, DWORD,
                                      const RECT*)>(drawThemeText)(
        static_cast<HTHEME>(theme), dc, part, textState, wide.c_str(),
        static_cast<int>(wide.size()), DT_VCENTER, 0, &where);
  }
  ::GdiFlush();
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      Pixel* p = PixelAddress(image, x, y);
      *p = (*p & 0xFF000000) | (dib[size_t(y) * size_t(w) + size_t(x)] & 0x00FFFFFF);
    }
  }
  ::SelectObject(dc, old);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  return SUCCEEDED(drawn);
}
