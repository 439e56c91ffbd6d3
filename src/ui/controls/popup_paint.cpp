// Painting of the popup menu: a function of its record, into an image of the
// popup's client size.
#include "ui/controls/popup.h"
#include "ui/render/sys_colors.h"

namespace {

Pixel WindowShade(int delta) { return ShadeColorToPixel(GetSysColor(COLOR_WINDOW), delta); }

struct BandColors {
  int band;
  int triangle;
};

BandColors BottomBandColors(const PopupData* p) {
  if (p->scrollOffset == p->maxScroll) return {COLOR_BTNHIGHLIGHT, COLOR_GRAYTEXT};
  if (p->scrollingDown) return {COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT};
  return {COLOR_BTNHIGHLIGHT, COLOR_BTNTEXT};
}

BandColors TopBandColors(const PopupData* p) {
  if (p->scrollOffset == 0 && p->scrollOffset != p->maxScroll) {
    return {COLOR_BTNHIGHLIGHT, COLOR_GRAYTEXT};
  }
  if (p->scrollingUp) return {COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT};
  return {COLOR_BTNHIGHLIGHT, COLOR_BTNTEXT};
}

void PaintScrollBands(Image* image, const PopupData* p) {
  const int32_t w = p->width;
  const int32_t h = p->height;
  const BandColors top = TopBandColors(p);
  DrawTwoToneFace(image, GetSysColor(top.band), 2, 2, w - 4, 15, false, false);
  DrawUpGlyph(image, w / 2 - 5, 4, 11, 7, GetSysColor(top.triangle));
  const BandColors bottom = BottomBandColors(p);
  DrawTwoToneFace(image, GetSysColor(bottom.band), 2, h - 17, w - 4, 15, false, false);
  DrawDownGlyph(image, w / 2 - 5, h - 13, 11, 7, GetSysColor(bottom.triangle));
}

const Icon* ItemIcon(const MenuItem* item, const PopupMarkIcons* marks) {
  if (item->kind == kItemCheck) return item->checked ? marks->checkOn : marks->checkOff;
  if (item->kind == kItemRadio) return item->checked ? marks->radioOn : marks->radioOff;
  return item->icon;
}

void PaintItem(Image* image, const PopupData* p, const MenuItem* item, int32_t y,
               const PopupMarkIcons* marks) {
  const int32_t width = item->right - item->left;
  int text = COLOR_MENUTEXT;
  int effect = kEffectFaded;
  if (item->disabled) {
    text = COLOR_GRAYTEXT;
    effect = kEffectGray;
  } else if (item->id == kSeparatorId) {
    FillRect(image, item->left, y + 1, width, 1, SysPixel(COLOR_BTNSHADOW));
    return;
  } else if (item == p->items.current) {
    DrawTwoToneFace(image, GetSysColor(COLOR_HIGHLIGHT), item->left, y, width,
                    item->bottom - item->top, false, true);
    text = COLOR_HIGHLIGHTTEXT;
    effect = kEffectNormal;
  }
  const Icon* icon = ItemIcon(item, marks);
  if (icon != nullptr) DrawIconEffect(image, nullptr, effect, item->left + 4, y + 4, 16, 16, icon);
  if (item->text != nullptr) {
    DrawTextTransparent(image, p->font, item->left + 28, y + 4, item->text, -1, GetSysColor(text),
                        nullptr);
  }
  if (item->children.first != nullptr) {
    DrawRightGlyph(image, item->right - 11, y + 4, 11, 7, GetSysColor(text));
  }
}

}  // namespace

void PaintPopup(Image* image, const PopupData* p, const PopupMarkIcons* marks) {
  if (image == nullptr || p == nullptr) return;
  const PopupMarkIcons none{};
  if (marks == nullptr) marks = &none;
  const int32_t w = p->width;
  const int32_t h = p->height;
  DrawPanel(image, PixelRect{0, 0, w, h}, 0);
  FillVerticalGradient(image, 2, 2, 24, h - 4, WindowShade(-20), WindowShade(-50));
  if (p->maxScroll != 0) PaintScrollBands(image, p);
  const int32_t origin = PopupItemOrigin(p) - p->scrollOffset;
  for (const MenuItem* item = p->items.first; item != nullptr; item = item->next) {
    if (!PopupItemInView(p, item)) continue;
    PaintItem(image, p, item, item->top + origin, marks);
  }
}
