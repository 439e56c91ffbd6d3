// The popup's pointer and keyboard: highlighting, the scroll zones and their
// timers, child popups on hover, choosing, and the arrow and letter keys.
#include "ui/controls/control_support.h"
#include "ui/controls/popup_internal.h"

namespace {

bool HasChildren(const MenuItem* item) { return item != nullptr && item->children.first != nullptr; }

// Starts or stops the two scroll timers as the pointer enters or leaves
// their zones. True when the scrolling state changed.
bool UpdateScrollZones(PopupData* p, PopupZone zone) {
  const int32_t up = p->scrollingUp;
  const int32_t down = p->scrollingDown;
  const bool scrollable = p->maxScroll != 0;
  if (scrollable && zone == PopupZone::kScrollUp) {
    if (!p->scrollingUp) StartPopupTimer(p, kPopupTimerScrollUp);
  } else if (p->scrollingUp) {
    StopPopupTimer(p, kPopupTimerScrollUp);
  }
  if (scrollable && zone == PopupZone::kScrollDown) {
    if (!p->scrollingDown) StartPopupTimer(p, kPopupTimerScrollDown);
  } else if (p->scrollingDown) {
    StopPopupTimer(p, kPopupTimerScrollDown);
  }
  return up != p->scrollingUp || down != p->scrollingDown;
}

bool PointerOverPopup(WindowHandle window) {
  WinPoint point{};
  return GetCursorPos(&point) && WindowFromPoint(point) == window;
}

// The child-popup timers after a highlight change under the pointer.
void UpdateChildTimers(PopupData* p) {
  MenuItem* highlight = p->items.current;
  if (PopupChildOpen(p)) {
    if (highlight == p->childItem) {
      StopPopupTimer(p, kPopupTimerCloseChild);
    } else if (!p->closePending) {
      StartPopupTimer(p, kPopupTimerCloseChild);
    }
  }
  if (HasChildren(highlight) && highlight != p->childItem) {
    StartPopupTimer(p, kPopupTimerOpenChild);
  } else if (!HasChildren(highlight)) {
    StopPopupTimer(p, kPopupTimerOpenChild);
  }
}

void Highlight(WindowHandle window, PopupData* p, MenuItem* item) {
  p->items.current = item;
  BringPopupItemIntoView(p, item);
  RepaintNow(window);
}

}  // namespace

void OnPopupMouseMove(WindowHandle window, PopupData* p, LParam lParam) {
  const int32_t x = SignedLoWord(static_cast<uintptr_t>(lParam));
  const int32_t y = SignedHiWord(static_cast<uintptr_t>(lParam));
  PopupZone zone = PopupZone::kNone;
  MenuItem* hit = HitTestPopup(p, x, y, &zone);
  const bool scrollingChanged = UpdateScrollZones(p, zone);
  MenuItem* before = p->items.current;
  p->items.current = hit;
  const bool holdsCapture = GetCaptureWindow() == window;
  if (!holdsCapture) SendWindowMessage(p->owner, TKM_SUBMENUHOVER, 0, 0);
  if (!IsWindow(window)) return;
  if (hit != nullptr) {
    if (GetCaptureWindow() != window) SetCapture(window);
    p->items.current = hit;  // taking the capture must not cost the highlight
  } else if (!p->scrollingUp && !p->scrollingDown && GetCaptureWindow() == window) {
    ReleaseMouseCapture();
  }
  const bool changed = before != p->items.current;
  if (changed && PointerOverPopup(window)) UpdateChildTimers(p);
  if (changed || scrollingChanged) RepaintNow(window);
}

void OnPopupLeftDown(PopupData* p) {
  if (HasChildren(p->items.current)) OpenChildPopupNow(p, p->items.current);
}

bool OnPopupPressOutside(WindowHandle window, PopupData* p, LParam lParam) {
  WinPoint point{SignedLoWord(static_cast<uintptr_t>(lParam)),
                 SignedHiWord(static_cast<uintptr_t>(lParam))};
  if (point.x >= 0 && point.y >= 0 && point.x < p->width && point.y < p->height) return false;
  ClientToScreen(window, &point);
  const WindowHandle under = GetRootWindow(WindowFromPoint(point));
  for (PopupData* level = p; under != nullptr && level != nullptr && PopupChildOpen(level);
       level = static_cast<PopupData*>(GetWindowUserData(level->child))) {
    if (level->child == under) return false;
  }
  ChoosePopupItem(window, p, nullptr);
  return true;
}

void OnPopupLeftUp(WindowHandle window, PopupData* p) {
  MenuItem* item = p->items.current;
  if (item != nullptr && !HasChildren(item)) ChoosePopupItem(window, p, item);
}

LResult OnPopupKeyDown(WindowHandle window, PopupData* p, WParam key, LParam lParam) {
  if (PopupChildOpen(p)) return SendWindowMessage(p->child, WM_KEYDOWN, key, lParam);
  MenuItem* highlight = p->items.current;
  const WindowHandle owner = p->owner;
  switch (key) {
    case VK_RETURN:
      if (HasChildren(highlight)) {
        OpenChildPopupNow(p, highlight);
      } else {
        ChoosePopupItem(window, p, highlight);
      }
      break;
    case VK_ESCAPE:
      SendWindowMessage(owner, TKM_POPUPCANCELLED, static_cast<WParam>(intptr_t{-1}), 0);
      if (IsWindow(window)) DestroyWindow(window);
      break;
    case VK_LEFT:
      SendWindowMessage(owner, TKM_POPUPCLOSED, 0, 0);
      if (IsWindow(window)) SendWindowMessage(window, TKM_CLOSEPOPUP, 0, 0);
      SendWindowMessage(owner, TKM_BACKOUT, 0, 0);
      break;
    case VK_UP: Highlight(window, p, PreviousPopupItem(p)); break;
    case VK_DOWN: Highlight(window, p, NextPopupItem(p)); break;
    case VK_RIGHT:
      if (HasChildren(highlight)) {
        OpenChildPopupNow(p, highlight);
      } else if (highlight != nullptr) {
        ChoosePopupItem(window, p, nullptr);
        SendWindowMessage(owner, TKM_FORWARDOUT, 0, 0);
      } else {
        p->items.current = p->items.first;
        RepaintNow(window);
      }
      break;
    default: break;
  }
  return 0;
}

void OnPopupChar(WindowHandle window, PopupData* p, WParam character) {
  if (character == 0 || character > 0x7F) return;
  MenuItem* found = TypeAheadPopupItem(p, static_cast<char>(character));
  if (found == nullptr || found == p->items.current) return;
  Highlight(window, p, found);
}
