// Classic three-dimensional frames drawn with the system colours: each edge
// is two one-pixel layers (outer, inner) whose top-left and bottom-right
// colours make the area look raised or sunken.
#include "ui/render/classic.h"

#include "ui/render/sys_colors.h"

namespace {

constexpr uint32_t BF_FLAT = 0x4000;

struct Layer {
  int top_left;
  int bottom_right;
};

// The colours of one layer, or false when `edge` has no bit for it.
bool OuterLayer(uint32_t edge, uint32_t flags, Layer* layer) {
  if (flags & BF_FLAT) {
    if ((edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER)) == 0) return false;
    *layer = {COLOR_BTNSHADOW, COLOR_BTNSHADOW};
  } else if (edge & BDR_RAISEDOUTER) {
    *layer = {COLOR_3DLIGHT, COLOR_3DDKSHADOW};
  } else if (edge & BDR_SUNKENOUTER) {
    *layer = {COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT};
  } else {
    return false;
  }
  return true;
}

bool InnerLayer(uint32_t edge, uint32_t flags, Layer* layer) {
  if (flags & BF_FLAT) {
    if ((edge & (BDR_RAISEDINNER | BDR_SUNKENINNER)) == 0) return false;
    *layer = {COLOR_BTNFACE, COLOR_BTNFACE};
  } else if (edge & BDR_RAISEDINNER) {
    *layer = {COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW};
  } else if (edge & BDR_SUNKENINNER) {
    *layer = {COLOR_3DDKSHADOW, COLOR_3DLIGHT};
  } else {
    return false;
  }
  return true;
}

// Draws one layer on the sides in `flags` and moves those sides inwards.
void DrawLayer(Image* image, PixelRect* r, Layer layer, uint32_t flags) {
  int32_t w = r->right - r->left, h = r->bottom - r->top;
  if (w <= 0 || h <= 0) return;
  Pixel light = SysPixel(layer.top_left), dark = SysPixel(layer.bottom_right);
  if (flags & BF_TOP) FillRect(image, r->left, r->top, w, 1, light);
  if (flags & BF_LEFT) FillRect(image, r->left, r->top, 1, h, light);
  if (flags & BF_BOTTOM) FillRect(image, r->left, r->bottom - 1, w, 1, dark);
  if (flags & BF_RIGHT) FillRect(image, r->right - 1, r->top, 1, h, dark);
  if (flags & BF_TOP) ++r->top;
  if (flags & BF_LEFT) ++r->left;
  if (flags & BF_BOTTOM) --r->bottom;
  if (flags & BF_RIGHT) --r->right;
}

}  // namespace

bool DrawEdge(Image* image, PixelRect* rect, uint32_t edge, uint32_t flags) {
  if (image == nullptr || rect == nullptr) return false;
  PixelRect inside = *rect;
  Layer layer;
  if (OuterLayer(edge, flags, &layer)) DrawLayer(image, &inside, layer, flags);
  if (InnerLayer(edge, flags, &layer)) DrawLayer(image, &inside, layer, flags);
  if ((flags & BF_MIDDLE) && inside.right > inside.left && inside.bottom > inside.top) {
    FillRect(image, inside.left, inside.top, inside.right - inside.left, inside.bottom - inside.top,
             SysPixel(COLOR_BTNFACE));
  }
  if (flags & BF_ADJUST) *rect = inside;
  return true;
}

bool DrawFrameControl(Image* image, PixelRect rect, uint32_t type, uint32_t state) {
  if (image == nullptr || type != DFC_BUTTON || (state & 0x1F) != DFCS_BUTTONPUSH) return false;
  // Pushed (or checked) buttons sink in; a flat pushed button shows only a
  // one-pixel shadow line inside the focus frame.
  bool sunk = (state & (DFCS_PUSHED | DFCS_CHECKED | DFCS_FLAT)) != 0;
  uint32_t flags = BF_RECT | BF_MIDDLE | ((state & DFCS_FLAT) ? BF_FLAT : 0);
  return DrawEdge(image, &rect, sunk ? EDGE_SUNKEN : EDGE_RAISED, flags);
}

void DrawFocusRect(Image* image, PixelRect r) {
  if (image == nullptr || image->bits_per_pixel != 32 || r.right <= r.left || r.bottom <= r.top) return;
  auto invert = [image](int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= image->width || y >= image->height || ((x + y) & 1) != 0) return;
    Pixel* p = PixelAddress(image, x, y);
    *p ^= 0x00FFFFFFu;
  };
  // Every frame pixel once, so corners are not inverted twice.
  for (int32_t x = r.left; x < r.right; ++x) {
    invert(x, r.top);
    if (r.bottom - 1 > r.top) invert(x, r.bottom - 1);
  }
  for (int32_t y = r.top + 1; y < r.bottom - 1; ++y) {
    invert(r.left, y);
    if (r.right - 1 > r.left) invert(r.right - 1, y);
  }
}
