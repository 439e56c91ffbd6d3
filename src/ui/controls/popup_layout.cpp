// The popup's geometry: item layout, placement against the work area, hit
// testing, scrolling and keyboard stepping. Pure functions over PopupData.
#include <algorithm>

#include "ui/controls/popup.h"

namespace {

constexpr int32_t kMinContentWidth = 180;
constexpr int32_t kBandRoom = 38;  // both scroll bands with their gaps

bool Scrollable(const PopupData* p) { return p->maxScroll != 0; }

char FoldLetter(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

void LayoutPopupItems(PopupData* p, int32_t* contentWidth, int32_t* contentHeight) {
  TextMetrics metrics{};
  GetFontMetrics(p->font, &metrics);
  p->itemHeight = metrics.tmHeight + 8;
  int32_t widest = 0;
  for (MenuItem* item = p->items.first; item != nullptr; item = item->next) {
    int32_t w = 0;
    int32_t h = 0;
    if (item->text != nullptr && GetTextExtent(p->font, item->text, -1, &w, &h)) {
      widest = std::max(widest, w);
    }
  }
  const int32_t width = std::max(widest + 48, kMinContentWidth);
  int32_t y = 0;
  for (MenuItem* item = p->items.first; item != nullptr; item = item->next) {
    item->left = 2;
    item->right = width - 2;
    item->top = y;
    item->bottom = y + (item->id == kSeparatorId ? 3 : p->itemHeight);
    y = item->bottom;
  }
  *contentWidth = width;
  *contentHeight = y;
}

PixelRect PlacePopup(PixelRect a, int32_t w, int32_t h, PixelRect r, int mode) {
  PixelRect out{};
  if (mode == 1) {
    out.top = a.bottom > r.bottom ? r.bottom - h : a.bottom;
    out.bottom = out.top + h;
    if (out.bottom > r.bottom) {
      if (r.bottom - a.bottom < a.top - r.top) {
        out.top = a.top - h;  // more room above: open upward
        out.bottom = a.top;
      } else {
        out.top = a.bottom;
        out.bottom = r.bottom;
      }
    }
    out.left = a.left;
    out.right = out.left + w;
    if (out.right > r.right) {
      out.left = r.right - w;
      out.right = r.right;
    }
  } else {
    out.top = a.top;
    out.bottom = out.top + h;
    if (out.bottom > r.bottom) {
      if (r.bottom - a.top < a.bottom - r.top) {
        out.top = a.bottom - h;
        out.bottom = a.bottom;
      } else {
        out.bottom = r.bottom;
      }
    }
    out.left = a.right;
    out.right = out.left + w;
    if (out.right > r.right) {
      out.left = a.left - w;  // no room on the right: beside the anchor's left edge
      out.right = a.left;
      if (a.left > r.right) {
        out.left = r.right - w;
        out.right = r.right;
      }
    }
  }
  if (out.top < r.top) out.top = r.top;
  if (out.left < r.left) {
    out.left = r.left;
    out.right = r.left + w;
  }
  return out;
}

void SetPopupScrolling(PopupData* p, int32_t contentHeight, int32_t placedHeight) {
  p->scrollOffset = 0;
  p->viewHeight = 0;
  p->maxScroll = 0;
  if (placedHeight < contentHeight + 4) {
    p->viewHeight = placedHeight - kBandRoom;
    p->maxScroll = contentHeight - placedHeight + kBandRoom;
  }
}

int32_t PopupItemOrigin(const PopupData* p) { return Scrollable(p) ? 19 : 2; }

bool PopupItemInView(const PopupData* p, const MenuItem* item) {
  if (!Scrollable(p)) return true;
  return item->top - p->scrollOffset >= 0 && item->bottom - p->scrollOffset <= p->viewHeight;
}

MenuItem* HitTestPopup(const PopupData* p, int32_t x, int32_t y, PopupZone* zone) {
  *zone = PopupZone::kNone;
  if (x < 2 || x >= p->width - 2) return nullptr;
  *zone = PopupZone::kItems;
  if (Scrollable(p)) {
    if (y >= 2 && y <= 16) *zone = PopupZone::kScrollUp;
    if (y >= p->height - 17 && y < p->height - 2) *zone = PopupZone::kScrollDown;
  }
  const int32_t origin = PopupItemOrigin(p) - p->scrollOffset;
  for (MenuItem* item = p->items.first; item != nullptr; item = item->next) {
    if (!PopupItemInView(p, item) || item->disabled) continue;
    if (x < item->left || x >= item->right) continue;
    if (y < item->top + origin || y >= item->bottom + origin) continue;
    return item->id == kSeparatorId ? nullptr : item;
  }
  return nullptr;
}

void BringPopupItemIntoView(PopupData* p, const MenuItem* item) {
  if (!Scrollable(p) || item == nullptr) return;
  if (item->top - p->scrollOffset < 0) {
    p->scrollOffset = item->top;
  } else if (item->bottom - p->scrollOffset > p->viewHeight) {
    p->scrollOffset = item->bottom - p->viewHeight;
  }
}

bool ScrollPopupUp(PopupData* p) {
  if (!Scrollable(p)) return false;
  const int32_t before = p->scrollOffset;
  MenuItem* target = nullptr;
  for (MenuItem* item = p->items.first; item != nullptr; item = item->next) {
    if (item->top - p->scrollOffset < 0) target = item;
  }
  BringPopupItemIntoView(p, target);
  return p->scrollOffset != before;
}

bool ScrollPopupDown(PopupData* p) {
  if (!Scrollable(p)) return false;
  const int32_t before = p->scrollOffset;
  for (MenuItem* item = p->items.first; item != nullptr; item = item->next) {
    if (item->bottom - p->scrollOffset > p->viewHeight) {
      BringPopupItemIntoView(p, item);
      break;
    }
  }
  p->scrollOffset = std::min(p->scrollOffset, p->maxScroll);
  return p->scrollOffset != before;
}

bool ApplyPopupWheel(PopupData* p, int32_t delta) {
  const int32_t before = p->scrollOffset;
  p->wheelRest += delta;
  while (p->wheelRest >= 120) {
    ScrollPopupUp(p);
    p->wheelRest -= 120;
  }
  while (p->wheelRest <= -120) {
    ScrollPopupDown(p);
    p->wheelRest += 120;
  }
  return p->scrollOffset != before;
}

MenuItem* NextPopupItem(const PopupData* p) {
  const MenuItemList& list = p->items;
  MenuItem* item = (list.current == nullptr || list.current == list.last) ? list.first
                                                                          : list.current->next;
  bool wrapped = false;
  while (item != nullptr) {
    if (!item->disabled) return item;
    item = item->next;
    if (item == nullptr && !wrapped) {
      wrapped = true;
      item = list.first;
    }
  }
  return list.current;
}

MenuItem* PreviousPopupItem(const PopupData* p) {
  const MenuItemList& list = p->items;
  MenuItem* item = (list.current == nullptr || list.current == list.first) ? list.last
                                                                           : list.current->prev;
  bool wrapped = false;
  while (item != nullptr) {
    if (!item->disabled) return item;
    item = item->prev;
    if (item == nullptr && !wrapped) {
      wrapped = true;
      item = list.last;
    }
  }
  return list.current;
}

MenuItem* TypeAheadPopupItem(const PopupData* p, char typed) {
  const MenuItemList& list = p->items;
  MenuItem* start = list.current != nullptr ? list.current : list.first;
  if (start == nullptr) return nullptr;
  const char wanted = FoldLetter(typed);
  for (MenuItem* item = start->next != nullptr ? start->next : list.first; item != start;
       item = item->next != nullptr ? item->next : list.first) {
    if (item->text != nullptr && FoldLetter(item->text[0]) == wanted) return item;
  }
  return list.current;
}
