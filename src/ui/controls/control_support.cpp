#include "ui/controls/control_support.h"

#include "ui/framework/gui_window.h"
#include "ui/render/surface.h"

FontHandle ControlFallbackFont() {
  if (GuiToolkit.normalFont != nullptr) return GuiToolkit.normalFont;
  return SharedInterfaceFont(400);
}

int32_t FontCellHeight(FontHandle font) {
  TextMetrics metrics{};
  if (!GetFontMetrics(font != nullptr ? font : ControlFallbackFont(), &metrics)) return 0;
  return metrics.tmHeight;
}

bool InsideUnsigned(LParam lParam, int32_t width, int32_t height) {
  const uint16_t x = LoWord(static_cast<uintptr_t>(lParam));
  const uint16_t y = HiWord(static_cast<uintptr_t>(lParam));
  return static_cast<int32_t>(x) < width && static_cast<int32_t>(y) < height;
}

void RepaintNow(WindowHandle window) {
  InvalidateRect(window, nullptr, false);
  UpdateWindow(window);
}

bool PaintOffscreen(WindowHandle window, int32_t width, int32_t height,
                    void (*paint)(Image* image, const void* context), const void* context) {
  PaintInfo info{};
  BeginPaint(window, &info);
  Surface surface{};
  if (!CreateSurface(&surface, window, width, height, 32)) {
    EndPaint(window, &info);
    return false;
  }
  paint(surface.image, context);
  BlitSurface(window, 0, 0, width, height, &surface);
  ReleaseSurface(&surface);
  EndPaint(window, &info);
  return true;
}
