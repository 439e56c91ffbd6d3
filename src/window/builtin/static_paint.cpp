#include "window/builtin/static_paint.h"

#include "ui/render/sys_colors.h"
#include "window/builtin/text_wrap.h"

namespace {

// The width of a piece of text in `font` (0 when it cannot be measured).
int MeasureWith(FontHandle font, std::string_view piece) {
  int32_t width = 0;
  int32_t height = 0;
  GetTextExtent(font, piece.data(), static_cast<int32_t>(piece.size()), &width, &height);
  return width;
}

int LineLeft(const StaticLook& look, int width, int line_width) {
  switch (look.align) {
    case StaticAlign::kCenter: return (width - line_width) / 2;
    case StaticAlign::kRight: return width - line_width;
    default: return 0;
  }
}

}  // namespace

void PaintStatic(Image* image, const std::string& text, const StaticLook& look) {
  if (!image || image->bits_per_pixel != 32) return;
  if (look.fill_background) {
    FillRect(image, 0, 0, image->width, image->height, ColorToOpaquePixel(look.background_colour));
  }
  TextMetrics metrics{};
  if (!GetFontMetrics(look.font, &metrics)) return;
  Color colour = look.enabled ? look.text_colour : GetSysColor(COLOR_GRAYTEXT);
  auto measure = [&](std::string_view piece) { return MeasureWith(look.font, piece); };
  int y = 0;
  for (const WrappedLine& line : WrapText(text, image->width, measure)) {
    if (y >= image->height) break;
    DrawTextTransparent(image, look.font, LineLeft(look, image->width, line.width), y,
                        text.data() + line.start, line.length, colour, nullptr);
    y += metrics.tmHeight;
  }
}
