// Painting of the selector: a function of its record, into an image of the
// selector's client size.
#include "ui/controls/selector.h"

#include <vector>

#include "platform/text.h"
#include "ui/render/image.h"
#include "ui/render/sys_colors.h"

namespace {

struct SelectorColors {
  Color face;
  Color arrow;
  Color text;
  Color shadow;
  bool hasShadow;
  int iconEffect;
};

SelectorColors ChooseColors(const SelectorData* s) {
  if (s->popup != nullptr) {
    return {GetSysColor(COLOR_HIGHLIGHT), GetSysColor(COLOR_BTNHIGHLIGHT),
            GetSysColor(COLOR_HIGHLIGHTTEXT), 0, false, kEffectNormal};
  }
  if (s->hover) {
    return {GetSysColor(COLOR_BTNHIGHLIGHT), ShadeColor(GetSysColor(COLOR_BTNSHADOW), 20),
            GetSysColor(COLOR_BTNTEXT), GetSysColor(COLOR_BTNHIGHLIGHT), true, kEffectNormal};
  }
  return {GetSysColor(COLOR_BTNFACE), GetSysColor(COLOR_BTNSHADOW), GetSysColor(COLOR_BTNTEXT),
          GetSysColor(COLOR_BTNHIGHLIGHT), true, kEffectFaded};
}

int32_t Extent(FontHandle font, const char* text, int32_t length) {
  int32_t w = 0;
  int32_t h = 0;
  GetTextExtent(font, text, length, &w, &h);
  return w;
}

// Where the text may be cut: a cut inside a multi-byte character would draw
// a broken glyph. Found from the start, as the system's text is read.
std::vector<bool> CharacterStarts(const char* text, int32_t length) {
  std::vector<bool> starts(static_cast<size_t>(length) + 1, false);
  for (int32_t i = 0; i < length; i += TextCharacterLength(text, length, i)) starts[static_cast<size_t>(i)] = true;
  starts[static_cast<size_t>(length)] = true;
  return starts;
}

}  // namespace

std::string FitTextToWidth(FontHandle font, const char* text, int32_t width) {
  if (text == nullptr) return std::string();
  const int32_t length = static_cast<int32_t>(std::char_traits<char>::length(text));
  if (Extent(font, text, length) <= width) return std::string(text);
  const int32_t dots = Extent(font, "...", 3);
  const std::vector<bool> starts = CharacterStarts(text, length);
  for (int32_t n = length - 1; n >= 1; --n) {
    if (!starts[static_cast<size_t>(n)]) continue;
    if (Extent(font, text, n) + dots <= width) return std::string(text, n) + "...";
  }
  return std::string();
}

void PaintSelector(Image* image, const SelectorData* s) {
  if (image == nullptr || s == nullptr) return;
  const int32_t w = s->width;
  const int32_t h = s->height;
  if (h / 2 <= 2) return;
  const MenuItem* chosen = s->items.current;
  const char* caption = (chosen != nullptr && chosen->text != nullptr) ? chosen->text : "";
  const Icon* icon = chosen != nullptr ? chosen->icon : nullptr;
  const bool open = s->popup != nullptr;
  const int32_t arrowX = w - 19;
  const int32_t arrowY = h / 2 - 3;
  const SelectorColors c = ChooseColors(s);

  DrawTwoToneFace(image, c.face, 0, 0, w, h, true, false);
  DrawDownGlyph(image, arrowX, arrowY, 11, 7, c.arrow);
  if (s->font == nullptr) return;  // nothing more can be drawn without a font
  TextMetrics metrics{};
  GetFontMetrics(s->font, &metrics);
  const int32_t textX = icon != nullptr ? 28 : 6;
  const std::string fitted = FitTextToWidth(s->font, caption, arrowX - textX);
  const int32_t y = h / 2 - metrics.tmHeight / 2;
  if (!open && c.hasShadow) {
    DrawTextTransparent(image, s->font, textX, y, fitted.c_str(), -1, c.shadow, nullptr);
  }
  DrawTextTransparent(image, s->font, textX - 1, y - 1, fitted.c_str(), -1, c.text, nullptr);
  if (icon != nullptr) DrawIconEffect(image, nullptr, c.iconEffect, 4, 4, 16, 16, icon);
  if (s->focused) {
    DrawDashedFrame(image, c.text, 2, 2, w - 4, h - 4, 0, true, true, true, true);
  }
}
