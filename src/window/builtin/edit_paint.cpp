#include "window/builtin/edit_paint.h"

#include <algorithm>

#include "ui/render/classic.h"
#include "ui/render/image.h"
#include "ui/render/sys_colors.h"

namespace {

// Blank pixels kept between the edge and the text on the left and right.
constexpr int kTextMargin = 2;

int LineHeight(FontHandle font) {
  TextMetrics metrics{};
  return GetFontMetrics(font, &metrics) ? metrics.tmHeight : 13;
}

// The caret is drawn by inverting a one-pixel column, as the platform's
// caret does, so it shows on the field colour and on a selection alike.
void InvertColumn(Image* image, int x, int top, int bottom, const EditTextArea& area) {
  if (x < area.left || x >= area.right) return;
  top = std::max(top, area.top);
  bottom = std::min(bottom, area.bottom);
  for (int y = top; y < bottom; ++y) {
    Pixel* pixel = PixelAddress(image, x, y);
    *pixel ^= 0x00FFFFFFu;
  }
}

// Background and edge; the text area inside them is GetEditTextArea's.
void PaintFrame(Image* image, const EditLook& look) {
  int background = look.enabled && !look.read_only ? COLOR_WINDOW : COLOR_BTNFACE;
  FillRect(image, 0, 0, image->width, image->height, ColorToOpaquePixel(GetSysColor(background)));
  if (look.client_edge) {
    PixelRect rect{0, 0, image->width, image->height};
    DrawEdge(image, &rect, EDGE_SUNKEN, BF_RECT);
  }
}

// The selection: a highlight band with the selected text drawn over it again.
void PaintSelection(Image* image, const EditModel& model, const EditLook& look,
                    const EditTextArea& area, int origin, const int32_t* clip) {
  std::vector<int> boundaries = CodePointBoundaries(model.text);
  std::vector<int> columns = MeasureBoundaryColumns(look.font, model.text);
  auto column_of = [&](int pos) {
    auto it = std::lower_bound(boundaries.begin(), boundaries.end(), pos);
    return columns[static_cast<size_t>(it - boundaries.begin())];
  };
  int start = EditSelectionStart(model);
  int end = EditSelectionEnd(model);
  int x0 = std::max(origin + column_of(start), area.left);
  int x1 = std::min(origin + column_of(end), area.right);
  if (x1 <= x0) return;
  FillRect(image, x0, area.text_top, x1 - x0, area.line_height,
           ColorToOpaquePixel(GetSysColor(COLOR_HIGHLIGHT)));
  DrawTextTransparent(image, look.font, origin + column_of(start), area.text_top,
                      model.text.data() + start, end - start, GetSysColor(COLOR_HIGHLIGHTTEXT),
                      clip);
}

}  // namespace

EditTextArea GetEditTextArea(const EditLook& look, int width, int height) {
  int edge = look.client_edge ? 2 : 0;
  EditTextArea area;
  area.left = edge + kTextMargin;
  area.right = std::max(area.left, width - edge - kTextMargin);
  area.top = edge;
  area.bottom = std::max(area.top, height - edge);
  area.line_height = LineHeight(look.font);
  // One line, centred in the field (a field lower than a line starts at its top).
  area.text_top = area.top + std::max(0, (area.bottom - area.top - area.line_height) / 2);
  return area;
}

std::vector<int> MeasureBoundaryColumns(FontHandle font, const std::string& text) {
  std::vector<int> columns{0};
  int x = 0;
  for (int pos = 0; pos < static_cast<int>(text.size());) {
    int next = NextCodePoint(text, pos);
    int32_t width = 0;
    int32_t height = 0;
    if (GetTextExtent(font, text.data() + pos, next - pos, &width, &height)) x += width;
    columns.push_back(x);
    pos = next;
  }
  return columns;
}

void PaintEdit(Image* image, const EditModel& model, const EditLook& look) {
  if (!image || image->bits_per_pixel != 32) return;
  PaintFrame(image, look);
  EditTextArea area = GetEditTextArea(look, image->width, image->height);
  if (area.right <= area.left) return;
  int32_t clip[4] = {area.left, area.top, area.right, area.bottom};
  int origin = area.left - model.scroll;
  Color text_colour = GetSysColor(look.enabled ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT);
  DrawTextTransparent(image, look.font, origin, area.text_top, model.text.data(),
                      static_cast<int32_t>(model.text.size()), text_colour, clip);
  if (look.focused && look.enabled && EditHasSelection(model)) {
    PaintSelection(image, model, look, area, origin, clip);
  }
  if (look.focused && look.caret_on) {
    int32_t width = 0;
    int32_t height = 0;
    GetTextExtent(look.font, model.text.data(), model.caret, &width, &height);
    // The caret sits just left of the character it precedes, but never
    // outside the text area (a caret at column 0 shows on the margin's edge).
    int x = std::clamp(origin + width, area.left, area.right - 1);
    InvertColumn(image, x, area.text_top, area.text_top + area.line_height, area);
  }
}
