#include "window/builtin/message_box_paint.h"

#include <algorithm>

#include "ui/render/classic.h"
#include "ui/render/sys_colors.h"

namespace {

constexpr int kPadding = 22;      // around the sign and text
constexpr int kSignSize = 32;
constexpr int kSignGap = 14;      // between the sign and the text
constexpr int kStripHeight = 43;  // the button strip
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 25;
constexpr int kMinWidth = 260;
constexpr const char kButtonText[] = "OK";

int Measure(FontHandle font, std::string_view piece) {
  int32_t width = 0;
  int32_t height = 0;
  GetTextExtent(font, piece.data(), static_cast<int32_t>(piece.size()), &width, &height);
  return width;
}

void PaintButton(Image* image, const MessageBoxLayout& layout, const MessageBoxLook& look) {
  // The default button: a dark outline around the push-button face.
  PixelRect outer = layout.button;
  DrawFrame(image, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
            ColorToOpaquePixel(GetSysColor(COLOR_3DDKSHADOW)));
  PixelRect face{outer.left + 1, outer.top + 1, outer.right - 1, outer.bottom - 1};
  if (look.button_pressed) {
    // Pressed default button: flat face with a shadow outline.
    FillRect(image, face.left, face.top, face.right - face.left, face.bottom - face.top,
             ColorToOpaquePixel(GetSysColor(COLOR_BTNFACE)));
    DrawFrame(image, face.left, face.top, face.right - face.left, face.bottom - face.top,
              ColorToOpaquePixel(GetSysColor(COLOR_BTNSHADOW)));
  } else {
    DrawFrameControl(image, face, DFC_BUTTON, DFCS_BUTTONPUSH);
  }
  int32_t width = 0;
  int32_t height = 0;
  GetTextExtent(look.font, kButtonText, -1, &width, &height);
  int shift = look.button_pressed ? 1 : 0;
  int x = face.left + (face.right - face.left - width) / 2 + shift;
  int y = face.top + (face.bottom - face.top - height) / 2 + shift;
  DrawTextTransparent(image, look.font, x, y, kButtonText, -1, GetSysColor(COLOR_BTNTEXT), nullptr);
  if (look.focused) {
    DrawFocusRect(image, {face.left + 3, face.top + 3, face.right - 3, face.bottom - 3});
  }
}

}  // namespace

MessageBoxLayout LayoutMessageBox(const std::string& text, FontHandle font) {
  MessageBoxLayout layout;
  TextMetrics metrics{};
  layout.line_height = GetFontMetrics(font, &metrics) ? metrics.tmHeight : 13;
  auto measure = [&](std::string_view piece) { return Measure(font, piece); };
  layout.lines = WrapText(text, kMessageTextMaxWidth, measure);
  int text_height = static_cast<int>(layout.lines.size()) * layout.line_height;
  int content = std::max(kSignSize, text_height);
  layout.icon = {kPadding, kPadding, kPadding + kSignSize, kPadding + kSignSize};
  layout.text_left = kPadding + kSignSize + kSignGap;
  // Short texts sit level with the middle of the sign.
  layout.text_top = kPadding + (content - text_height) / 2;
  layout.width = std::max(kMinWidth, layout.text_left + WidestLine(layout.lines) + kPadding + 8);
  layout.strip_top = kPadding + content + kPadding;
  layout.height = layout.strip_top + kStripHeight;
  int button_left = layout.width - 12 - kButtonWidth;
  int button_top = layout.strip_top + (kStripHeight - kButtonHeight) / 2;
  layout.button = {button_left, button_top, button_left + kButtonWidth, button_top + kButtonHeight};
  return layout;
}

void PaintMessageBox(Image* image, const MessageBoxLayout& layout, const std::string& text,
                     const MessageBoxLook& look, const Image* sign) {
  if (!image || image->bits_per_pixel != 32) return;
  FillRect(image, 0, 0, image->width, layout.strip_top, ColorToOpaquePixel(GetSysColor(COLOR_WINDOW)));
  FillRect(image, 0, layout.strip_top, image->width, image->height - layout.strip_top,
           ColorToOpaquePixel(GetSysColor(COLOR_BTNFACE)));
  FillRect(image, 0, layout.strip_top, image->width, 1,
           ColorToOpaquePixel(ShadeColor(GetSysColor(COLOR_BTNFACE), -25)));
  if (sign) {
    CompositeImage(image, sign, layout.icon.left, layout.icon.top, sign->width, sign->height, 0, 0);
  }
  int y = layout.text_top;
  for (const WrappedLine& line : layout.lines) {
    DrawTextTransparent(image, look.font, layout.text_left, y, text.data() + line.start, line.length,
                        GetSysColor(COLOR_WINDOWTEXT), nullptr);
    y += layout.line_height;
  }
  PaintButton(image, layout, look);
}

bool MessageBoxButtonHit(const MessageBoxLayout& layout, int x, int y) {
  return x >= layout.button.left && x < layout.button.right && y >= layout.button.top &&
         y < layout.button.bottom;
}
