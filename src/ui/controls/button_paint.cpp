// Painting of the button: a function of the record alone, into an image of the
// button's size. The window procedure makes the surface and copies it out.
#include "ui/controls/button.h"
#include "ui/render/classic.h"
#include "ui/render/image.h"
#include "ui/render/sys_colors.h"
#include "ui/controls/visual_styles.h"

namespace {

struct FlatColors {
  int text;
  int shadow;
  int face;
  int iconEffect;
};

// Colours of the flat look by state, first match wins.
FlatColors ChooseFlatColors(const ButtonData* b) {
  if (b->disabled) return {COLOR_GRAYTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNFACE, kEffectDisabled};
  if (!b->hover) return {COLOR_BTNTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNFACE, kEffectFaded};
  if (b->pressed) return {COLOR_HIGHLIGHTTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHT, kEffectNormal};
  return {COLOR_BTNTEXT, COLOR_BTNHIGHLIGHT, COLOR_BTNHIGHLIGHT, kEffectNormal};
}

int32_t TextWidth(FontHandle font, const char* text) {
  int32_t width = 0;
  int32_t height = 0;
  if (!GetTextExtent(font, text, -1, &width, &height)) return 0;
  return width;
}

bool IconShown(const ButtonData* b) { return b->showIcon == 1 && b->icon != nullptr; }
bool PressedUnderPointer(const ButtonData* b) { return b->pressed == 1 && b->hover == 1; }

void PaintFlat(Image* image, const ButtonData* b, FontHandle font) {
  const int32_t w = b->width;
  const int32_t h = b->height;
  if (w == 0 || h == 0) return;
  FillRect(image, 0, 0, w, h, SysPixel(COLOR_WINDOW));
  const FlatColors c = ChooseFlatColors(b);
  DrawTwoToneFace(image, GetSysColor(c.face), 0, 0, w, h, true, b->disabled == 1);

  const int32_t down = PressedUnderPointer(b) ? 1 : 0;
  int32_t x = 0;
  int32_t y = 0;
  if (b->text != nullptr) {
    x = w / 2 - TextWidth(font, b->text) / 2 - 1;
    y = h / 2 - b->textHeight / 2 - 1;
  } else if (IconShown(b)) {
    x = w / 2 + 1;
    y = h / 2 - 1;
  }
  x += down;
  y += down;
  if (IconShown(b)) {
    const int32_t top = h / 2 + h % 2 - b->iconWidth / 2 - 1 + down;
    DrawIconEffect(image, nullptr, c.iconEffect, x - b->iconWidth / 2 - 3, top, b->iconWidth,
                   b->iconHeight, b->icon);
    x += b->iconWidth / 2 + 2;
  }
  if (b->text != nullptr) {
    DrawTextTransparent(image, font, x + 1, y + 1, b->text, -1, GetSysColor(c.shadow), nullptr);
    DrawTextTransparent(image, font, x, y, b->text, -1, GetSysColor(c.text), nullptr);
  }
  if (b->focused) DrawDashedFrame(image, GetSysColor(COLOR_BTNTEXT), 2, 2, w - 4, h - 4, 0, true,
                                  true, true, true);
}

// The pushed-in condition of the classic and visual-style looks.
bool Pushed(const ButtonData* b) {
  return PressedUnderPointer(b) || (b->toggle == 1 && b->state == 0);
}

void PaintPanelFrame(Image* image, const ButtonData* b) {
  PixelRect edge{-1, -1, b->width + 1, b->height + 1};
  DrawEdge(image, &edge, EDGE_RAISED, BF_RECT);
  FillRect(image, 1, 1, b->width - 2, b->height - 2, SysPixel(COLOR_BTNFACE));
}

void PaintClassicFrame(Image* image, const ButtonData* b) {
  PixelRect rect{0, 0, b->width, b->height};
  if (b->focused) {
    DrawFrame(image, 0, 0, b->width, b->height, SysPixel(COLOR_3DDKSHADOW));
    rect = PixelRect{1, 1, b->width - 1, b->height - 1};
  }
  uint32_t state = DFCS_BUTTONPUSH;
  if (Pushed(b)) state |= DFCS_PUSHED;
  if (Pushed(b) && b->focused) state |= DFCS_FLAT;
  DrawFrameControl(image, rect, DFC_BUTTON, state);
}

// The visual-style look: the parent's face under the themed push button
// (part 1) in its state, the icon beside the caption, the caption drawn by
// the theme. False when the theme cannot draw; the classic look stands in.
int32_t ThemeState(const ButtonData* b) {
  if (Pushed(b)) return 3;
  if (b->hover) return 2;
  if (b->disabled) return 4;
  if (b->focused) return 5;
  return 1;
}

bool PaintThemed(Image* image, const ButtonData* b, FontHandle font) {
  const ThemeApi* api = b->themeApi;
  FillRect(image, 0, 0, b->width, b->height, SysPixel(COLOR_BTNFACE));
  if (!DrawThemedPart(api->DrawThemeBackground, nullptr, b->theme, image, 1, ThemeState(b),
                      nullptr, 0, nullptr)) {
    return false;
  }
  const int32_t textWidth = b->text != nullptr ? TextWidth(font, b->text) : 0;
  int32_t x = b->width / 2 - textWidth / 2;
  if (IconShown(b)) {
    const int effect = b->disabled ? kEffectDisabled : kEffectNormal;
    const int32_t iconX = b->text != nullptr ? x - b->iconWidth / 2 - 2 : b->width / 2 - b->iconWidth / 2;
    DrawIconEffect(image, nullptr, effect, iconX, b->height / 2 - b->iconHeight / 2, b->iconWidth,
                   b->iconHeight, b->icon);
    x += b->iconWidth / 2 + 2;
  }
  if (b->text != nullptr) {
    const int32_t rect[4] = {x, 0, x + textWidth + 8, b->height};
    DrawThemedPart(nullptr, api->DrawThemeText, b->theme, image, 1,
                   b->disabled ? 4 : 1, b->text, b->disabled ? 4 : 1, rect);
  }
  if (b->focused) DrawFocusRect(image, PixelRect{4, 4, b->width - 4, b->height - 4});
  return true;
}

// Icon, caption and focus of the panel, visual-style and classic looks.
void PaintFramedContents(Image* image, const ButtonData* b, FontHandle font) {
  const int32_t w = b->width;
  const int32_t h = b->height;
  const int32_t down = PressedUnderPointer(b) ? 1 : 0;
  const int32_t textWidth = b->text != nullptr ? TextWidth(font, b->text) : 0;
  int32_t x = 0;
  int32_t y = 0;
  if (b->text != nullptr) {
    x = w / 2 - textWidth / 2;
    y = h / 2 - b->textHeight / 2;
  } else if (IconShown(b)) {
    x = w / 2 + 2;
    y = h / 2;
  }
  x += down;
  y += down;
  if (IconShown(b)) {
    const int effect = b->disabled ? kEffectDisabled : kEffectNormal;
    DrawIconEffect(image, nullptr, effect, x - b->iconWidth / 2 - 2, h / 2 - b->iconWidth / 2 + down,
                   b->iconWidth, b->iconHeight, b->icon);
    x += b->iconWidth / 2 + 2;
  }
  if (b->text != nullptr) {
    if (!b->disabled) {
      // opaque text: the character cells take the face colour first
      FillRect(image, x, y, textWidth, b->textHeight, SysPixel(COLOR_BTNFACE));
      DrawTextTransparent(image, font, x, y, b->text, -1, GetSysColor(COLOR_BTNTEXT), nullptr);
    } else {
      DrawTextTransparent(image, font, x + 1, y + 1, b->text, -1, GetSysColor(COLOR_BTNHIGHLIGHT),
                          nullptr);
      DrawTextTransparent(image, font, x, y, b->text, -1, GetSysColor(COLOR_BTNSHADOW), nullptr);
    }
  }
  if (b->focused) DrawFocusRect(image, PixelRect{4, 4, w - 4, h - 4});
}

}  // namespace

void PaintButton(Image* image, const ButtonData* b, FontHandle font) {
  if (image == nullptr || b == nullptr) return;
  if (b->flat == 1) {
    PaintFlat(image, b, font);
    return;
  }
  if (b->panel == 1) {
    PaintPanelFrame(image, b);
  } else if (b->theme != nullptr && b->themeApi != nullptr) {
    if (PaintThemed(image, b, font)) return;
    PaintClassicFrame(image, b);
  } else {
    PaintClassicFrame(image, b);
  }
  PaintFramedContents(image, b, font);
}
