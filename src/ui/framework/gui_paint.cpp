// The picture of a toolkit window, painted from its description: the
// background gradient, the banner band with its image, and every group's
// frame, caption bar, caption and icons.
#include "platform/text.h"
#include "ui/framework/gui_window.h"
#include "ui/render/sys_colors.h"

namespace {

Pixel Shade(int index, int delta) { return ShadeColorToPixel(GetSysColor(index), delta); }

void PaintBackground(Image* image, const GuiWindow* window, int32_t width, int32_t height) {
  Pixel c1 = Shade(COLOR_BTNFACE, 40), c2 = Shade(COLOR_BTNFACE, -10);
  if (window->banner == nullptr) {
    FillVerticalGradient(image, 0, 0, width, height, c1, c2);
    return;
  }
  FillVerticalGradient(image, 0, 74, width, height - 74, c1, c2);
  FillVerticalGradient(image, 0, 0, width, 70, Shade(COLOR_HIGHLIGHT, -10), Shade(COLOR_HIGHLIGHT, 20));
  // The line under the band brightens towards the middle; the right half
  // takes the odd pixel.
  int32_t half = width / 2;
  FillHorizontalGradient(image, 0, 69, half, 5, Shade(COLOR_HIGHLIGHT, 20), Shade(COLOR_HIGHLIGHT, 60));
  FillHorizontalGradient(image, half, 69, half + width % 2, 5, Shade(COLOR_HIGHLIGHT, 60),
                         Shade(COLOR_HIGHLIGHT, 20));
  CompositeImage(image, window->banner, 4, 10, window->banner->width, window->banner->height, 0, 0);
}

void PaintCaptionBar(Image* image, const LayoutGroup* group, int32_t inset) {
  const LayoutRect& r = group->rect;
  int32_t bar_x = r.x + inset, bar_y = r.y + inset;
  FillVerticalGradient(image, bar_x, bar_y, r.width - 2 * inset + 1, 23, Shade(COLOR_HIGHLIGHT, 40),
                       Shade(COLOR_HIGHLIGHT, 0));
  int32_t text_x = bar_x + 8;
  if (group->icon != nullptr) {
    DrawIconEffect(image, nullptr, kEffectNormal, bar_x + 4, bar_y + 4, 16, 16, group->icon);
    text_x += 20;
  }
  DrawTextTransparent(image, GuiToolkit.normalFont, text_x, bar_y + 4, group->caption, -1,
                      GetSysColor(COLOR_HIGHLIGHTTEXT), nullptr);
}

void PaintGroup(Image* image, const LayoutGroup* group) {
  const LayoutRect& r = group->rect;
  bool framed = group->caption != nullptr;
  bool captioned = framed && group->caption[0] != '\0';
  int32_t inset = framed ? 11 : 0;
  if (framed) {
    const LayoutRect& c = group->contentRect;
    FillRect(image, c.x, c.y, c.width, c.height, Shade(COLOR_WINDOW, 0));
    DrawBevel(image, r.x + 10, r.y + 10, r.width - 19, r.height - 19);
  }
  if (captioned) PaintCaptionBar(image, group, inset);
  int32_t below = captioned ? 23 : 0;
  for (const GroupIcon* e = group->icons.first; e != nullptr; e = e->next) {
    DrawIconEffect(image, nullptr, kEffectNormal, r.x + inset + e->x, r.y + inset + e->y + below,
                   e->size, e->size, e->icon);
  }
}

void PaintGroups(Image* image, const LayoutGroup* group) {
  for (; group != nullptr; group = group->next) {
    PaintGroup(image, group);
    PaintGroups(image, group->children.first);
  }
}

}  // namespace

void PaintGuiWindow(Image* image, const GuiWindow* window, int32_t width, int32_t height) {
  if (image == nullptr || window == nullptr) return;
  PaintBackground(image, window, width, height);
  PaintGroups(image, window->groups.first);
}
