// The popup menu's window: class registration, opening and placing, the
// record's life, choosing and cancelling, child popups, keys and timers.
// Geometry lives in popup_layout.cpp, painting in popup_paint.cpp and the
// pointer and keys in popup_input.cpp.
#include "ui/controls/popup.h"

#include "core/blocks.h"
#include "ui/controls/control_support.h"
#include "ui/controls/popup_internal.h"

namespace {

// Process-wide state set at class registration.
FontHandle DefaultPopupFont = nullptr;
PopupMarkIcons PopupMarks{};
// The record being created: WM_CREATE takes it over.
PopupData* PopupBeingCreated = nullptr;

void PaintThunk(Image* image, const void* context) {
  PaintPopup(image, static_cast<const PopupData*>(context), &PopupMarks);
}

LResult OnCreate(WindowHandle window, LParam lParam) {
  const CreateStruct* cs = reinterpret_cast<const CreateStruct*>(lParam);
  PopupData* p = cs != nullptr ? static_cast<PopupData*>(cs->createParams) : nullptr;
  if (p == nullptr) return -1;
  if (p == PopupBeingCreated) PopupBeingCreated = nullptr;
  SetWindowUserData(window, p);
  p->window = window;
  p->items.current = nullptr;
  return 1;
}

void OnDestroy(WindowHandle window, PopupData* p) {
  SetWindowUserData(window, nullptr);
  for (uintptr_t id = kPopupTimerScrollUp; id <= kPopupTimerOpenChild; ++id) KillTimer(window, id);
  if (p->child != nullptr && IsWindow(p->child)) DestroyWindow(p->child);
  FreeMenuItems(&p->items);
  FreeAndClear(&p);
}

// Messages from a child popup and from the parent popup or own timer.
LResult OnChildChose(WindowHandle window, PopupData* p, WParam wParam, LParam lParam) {
  SendWindowMessage(p->owner, TKM_ITEMCHOSEN, wParam, lParam);  // may destroy us
  if (IsWindow(window)) DestroyWindow(window);
  return 0;
}

LResult OnSubmenuHover(WindowHandle window, PopupData* p) {
  if (!PopupChildOpen(p)) return 0;
  StopPopupTimer(p, kPopupTimerCloseChild);
  StopPopupTimer(p, kPopupTimerOpenChild);
  p->items.current = p->childItem;
  RepaintNow(window);
  SendWindowMessage(p->owner, TKM_SUBMENUHOVER, 0, 0);
  return 0;
}

LResult OnTimer(WindowHandle window, PopupData* p, WParam id) {
  const int32_t before = p->scrollOffset;
  switch (id) {
    case kPopupTimerScrollUp:
      ScrollPopupUp(p);
      if (p->scrollOffset <= 0) StopPopupTimer(p, kPopupTimerScrollUp);
      break;
    case kPopupTimerScrollDown: ScrollPopupDown(p); break;
    case kPopupTimerCloseChild:
      CloseChildPopup(p);
      StopPopupTimer(p, kPopupTimerCloseChild);
      break;
    case kPopupTimerOpenChild:
      StopPopupTimer(p, kPopupTimerOpenChild);
      if (p->items.current != nullptr) ShowChildPopup(p, p->items.current);
      break;
    default: break;
  }
  if (p->scrollOffset != before) RepaintNow(window);
  return 0;
}

// The cancel that focus loss asks for, carried out from the queue so that a
// popup being chosen from or destroyed meanwhile is left alone.
LResult OnCancelPending(WindowHandle window, PopupData* p) {
  if (GetFocusWindow() == window) return 0;
  ChoosePopupItem(window, p, nullptr);
  return 0;
}

LResult OnToolkitMessage(WindowHandle window, PopupData* p, uint32_t message, WParam wParam,
                         LParam lParam, bool* handled) {
  switch (message) {
    case TKM_ITEMCHOSEN: return OnChildChose(window, p, wParam, lParam);
    case TKM_SUBMENUHOVER: return OnSubmenuHover(window, p);
    case TKM_CLOSEPOPUP:
      if (p->child != nullptr) SendWindowMessage(p->child, TKM_CLOSEPOPUP, 0, 0);
      DestroyWindow(window);
      return 1;
    case TKM_POPUPCLOSED:
      p->child = nullptr;
      p->childItem = nullptr;
      RepaintNow(window);
      return 1;
    case kPopupCancelPending: return OnCancelPending(window, p);
    default: *handled = false; return 0;
  }
}

}  // namespace

void StopPopupTimer(PopupData* p, uintptr_t id) {
  KillTimer(p->window, id);
  if (id == kPopupTimerScrollUp) p->scrollingUp = 0;
  if (id == kPopupTimerScrollDown) p->scrollingDown = 0;
  if (id == kPopupTimerCloseChild) p->closePending = 0;
  if (id == kPopupTimerOpenChild) p->openPending = 0;
}

void StartPopupTimer(PopupData* p, uintptr_t id) {
  const uint32_t delay = id <= kPopupTimerScrollDown ? kPopupScrollInterval : GetMenuShowDelay();
  SetTimer(p->window, id, delay);
  if (id == kPopupTimerScrollUp) p->scrollingUp = 1;
  if (id == kPopupTimerScrollDown) p->scrollingDown = 1;
  if (id == kPopupTimerCloseChild) p->closePending = 1;
  if (id == kPopupTimerOpenChild) p->openPending = 1;
}

bool PopupChildOpen(PopupData* p) {
  if (p->child != nullptr && !IsWindow(p->child)) {
    p->child = nullptr;  // it closed itself (Escape, a cancel) without telling us
    p->childItem = nullptr;
  }
  return p->child != nullptr;
}

void CloseChildPopup(PopupData* p) {
  if (PopupChildOpen(p)) SendWindowMessage(p->child, TKM_CLOSEPOPUP, 0, 0);
  p->child = nullptr;
  p->childItem = nullptr;
}

void ShowChildPopup(PopupData* p, MenuItem* item) {
  WinRect frame{};
  GetWindowRect(p->window, &frame);
  const int32_t dy = frame.top + (p->maxScroll != 0 ? 17 - p->scrollOffset : 0);
  const WinRect anchor{item->left + frame.left, item->top + dy, item->right + frame.left,
                       item->bottom + dy};
  p->child = OpenPopup(&item->children, p->window, p->font, anchor, 0);
  p->childItem = p->child != nullptr ? item : nullptr;
  StopPopupTimer(p, kPopupTimerOpenChild);
}

void OpenChildPopupNow(PopupData* p, MenuItem* item) {
  if (PopupChildOpen(p) && p->childItem == item) return;
  StopPopupTimer(p, kPopupTimerCloseChild);
  CloseChildPopup(p);
  ShowChildPopup(p, item);
}

void ChoosePopupItem(WindowHandle window, PopupData* p, MenuItem* item) {
  const WindowHandle owner = p->owner;
  if (item != nullptr) {
    MarkMenuItem(&p->items, item);
    SendWindowMessage(owner, TKM_ITEMCHOSEN, static_cast<WParam>(static_cast<intptr_t>(item->id)), 0);
  } else {
    SendWindowMessage(owner, TKM_POPUPCANCELLED, 0, 0);
  }
  if (IsWindow(window)) DestroyWindow(window);  // the owner may have done it already
}

namespace {

// Every message of a popup that has its record.
LResult PopupMessage(WindowHandle window, PopupData* p, uint32_t message, WParam wParam, LParam lParam) {
  bool handled = true;
  const LResult result = OnToolkitMessage(window, p, message, wParam, lParam, &handled);
  if (handled) return result;
  switch (message) {
    case WM_SIZE:
      p->width = LoWord(static_cast<uintptr_t>(lParam));
      p->height = HiWord(static_cast<uintptr_t>(lParam));
      return 1;
    case WM_SETFOCUS: RepaintNow(window); return 1;
    case WM_KILLFOCUS: PostWindowMessage(window, kPopupCancelPending, 0, 0); return 1;
    case WM_ENABLE: RepaintNow(window); return 0;
    case WM_SETFONT:
      p->font = wParam != 0 ? reinterpret_cast<FontHandle>(wParam) : DefaultPopupFont;
      return 1;
    case WM_WINDOWPOSCHANGING: return 0;
    case WM_CAPTURECHANGED:
      p->items.current = nullptr;
      RepaintNow(window);
      return 0;
    case WM_PAINT: PaintOffscreen(window, p->width, p->height, PaintThunk, p); return 0;
    case WM_MOUSEMOVE: OnPopupMouseMove(window, p, lParam); return 0;
    case WM_LBUTTONDOWN:
      if (!OnPopupPressOutside(window, p, lParam)) OnPopupLeftDown(p);
      return 0;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: OnPopupPressOutside(window, p, lParam); return 0;
    case WM_LBUTTONUP: OnPopupLeftUp(window, p); return 0;
    case WM_MOUSEWHEEL:
      ApplyPopupWheel(p, SignedHiWord(wParam));
      RepaintNow(window);
      return 0;
    case WM_KEYDOWN: return OnPopupKeyDown(window, p, wParam, lParam);
    case WM_CHAR: OnPopupChar(window, p, wParam); return 0;
    case WM_TIMER: return OnTimer(window, p, wParam);
    case WM_DESTROY: OnDestroy(window, p); return 1;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace

LResult PopupWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  return DispatchControlMessage<PopupData>(window, message, wParam, lParam, OnCreate, PopupMessage);
}

int RegisterPopupClass(FontHandle font, const Icon* checkOnIcon, const Icon* checkOffIcon,
                       const Icon* radioOnIcon, const Icon* radioOffIcon) {
  WindowClass windowClass{};
  windowClass.name = kPopupClassName;
  windowClass.procedure = PopupWindowProc;
  windowClass.style = CS_HREDRAW | CS_VREDRAW | (DropShadowsEnabled() ? CS_DROPSHADOW : 0);
  windowClass.background = kNoBackground;
  windowClass.cursor = CursorShape::kArrow;
  if (!RegisterWindowClass(windowClass)) return 0;
  PopupMarks = PopupMarkIcons{checkOnIcon, checkOffIcon, radioOnIcon, radioOffIcon};
  DefaultPopupFont = font != nullptr ? font : SharedInterfaceFont(700);
  return 1;
}

namespace {

// Lays the copy out, places it against the anchor in the work area and
// decides whether it scrolls. Returns the placed rectangle.
PixelRect LayOutAndPlace(PopupData* p, WinRect anchor, int mode) {
  int32_t contentWidth = 0;
  int32_t contentHeight = 0;
  LayoutPopupItems(p, &contentWidth, &contentHeight);
  WinRect work{};
  GetWorkArea(&work);
  const PixelRect placed =
      PlacePopup(PixelRect{anchor.left, anchor.top, anchor.right, anchor.bottom}, contentWidth,
                 contentHeight + 4, PixelRect{work.left, work.top, work.right, work.bottom}, mode);
  SetPopupScrolling(p, contentHeight, placed.bottom - placed.top);
  p->width = placed.right - placed.left;
  p->height = placed.bottom - placed.top;
  return placed;
}

}  // namespace

WindowHandle OpenPopup(const MenuItemList* list, WindowHandle owner, FontHandle font,
                       WinRect anchor, int mode) {
  if (list == nullptr || list->first == nullptr) return nullptr;
  PopupData* p = nullptr;
  if (!AllocBlock(&p, sizeof(PopupData), true, 0)) return nullptr;
  p->owner = owner;
  p->font = font != nullptr ? font : DefaultPopupFont;
  CopyMenuItems(&p->items, list);
  PopupBeingCreated = p;
  WindowHandle window = CreateSystemWindow(0, kPopupClassName, "", WS_POPUP, 0, 0, 32, 32, owner,
                                           0, p);
  if (window == nullptr) {
    if (PopupBeingCreated == p) {  // never reached WM_CREATE: the record is still ours
      FreeMenuItems(&p->items);
      FreeAndClear(&p);
    }
    PopupBeingCreated = nullptr;
    return nullptr;
  }
  const PixelRect placed = LayOutAndPlace(p, anchor, mode);
  MoveWindow(window, placed.left, placed.top, placed.right - placed.left,
             placed.bottom - placed.top, true);
  // A child popup leaves the keyboard with its parent, which hands it the
  // keys; taking the focus would cancel the parent.
  const uint32_t activate = mode == 0 ? SWP_NOACTIVATE : 0;
  SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | activate);
  // A menu of its own holds the pointer, so a press anywhere else, the
  // desktop included, closes it.
  if (mode != 0 && IsWindow(window)) SetPopupGrab(window);
  return window;
}

WindowHandle OpenPopupAtPoint(const MenuItemList* list, WindowHandle owner, FontHandle font,
                              int32_t x, int32_t y) {
  return OpenPopup(list, owner, font, WinRect{x, y, x, y}, 1);
}
