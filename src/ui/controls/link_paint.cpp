// Painting of the link: a function of its record, into an image of the
// link's client size.
#include "ui/controls/link.h"
#include "ui/render/classic.h"
#include "ui/render/sys_colors.h"

void PaintLink(Image* image, const LinkData* l, FontHandle font) {
  if (image == nullptr || l == nullptr) return;
  // no visual-style library here, so the parent's themed background never applies
  const Pixel back = l->ownBackground == 1 ? ColorToPixel(l->backColour) : SysPixel(COLOR_BTNFACE);
  FillRect(image, 0, 0, l->width, l->height, back);
  if (l->text != nullptr) {
    DrawTextTransparent(image, font, 3, 3, l->text, -1, MakeColor(255, 255, 255), nullptr);
    const Color colour = l->hover == 1 ? l->hoverColour : l->normalColour;
    DrawTextTransparent(image, font, 2, 2, l->text, -1, colour, nullptr);
  }
  if (l->focused) DrawFocusRect(image, PixelRect{0, 0, l->width, l->height});
}
