// The selector's window procedure: its record, choosing items, opening and
// closing its popup list, pointer and keys. Painting lives in
// selector_paint.cpp.
#include "ui/controls/selector.h"

#include "core/blocks.h"
#include "ui/controls/control_support.h"
#include "ui/framework/gui_window.h"
#include "ui/controls/popup.h"

namespace {

FontHandle DefaultSelectorFont = nullptr;

SelectorData* Record(WindowHandle window) {
  return static_cast<SelectorData*>(GetWindowUserData(window));
}

void PaintThunk(Image* image, const void* context) {
  PaintSelector(image, static_cast<const SelectorData*>(context));
}

// Tells the parent first, then makes the item current when it is new.
void ChooseItem(SelectorData* s, MenuItem* item) {
  const WindowHandle window = s->window;
  SendWindowMessage(s->parent, TKM_ITEMCHOSEN, static_cast<WParam>(static_cast<intptr_t>(item->id)),
                    item->data);
  if (Record(window) != s) return;  // the parent destroyed us meanwhile
  if (item != s->items.current) {
    s->items.current = item;
    RepaintNow(window);
  }
}

LResult OnCreate(WindowHandle window, LParam lParam) {
  SelectorData* s = nullptr;
  if (!AllocBlock(&s, sizeof(SelectorData), true, 0)) return -1;
  SetWindowUserData(window, s);
  s->window = window;
  s->parent = GetParent(window);
  s->font = DefaultSelectorFont;
  const CreateStruct* cs = reinterpret_cast<const CreateStruct*>(lParam);
  if (cs != nullptr) {
    s->width = cs->cx;
    s->height = cs->cy;
  }
  return 1;
}

void OnDestroy(WindowHandle window, SelectorData* s) {
  if (s->popup != nullptr && IsWindow(s->popup)) DestroyWindow(s->popup);
  SetWindowUserData(window, nullptr);
  FreeMenuItems(&s->items);
  FreeAndClear(&s);
}

LResult OnItemChosen(WindowHandle window, SelectorData* s, WParam wParam) {
  const int32_t id = static_cast<int32_t>(static_cast<intptr_t>(wParam));
  if (id != -1) {
    MenuItem* item = FindMenuItem(&s->items, id);
    if (item != nullptr) {
      ChooseItem(s, item);
      if (Record(window) != s) return 1;
      MarkMenuItem(&s->items, item);
    }
  }
  if (s->popup != nullptr) {
    s->popup = nullptr;
    SetFocus(window);
  }
  RepaintNow(window);
  return 1;
}

// A click or Enter: closes the open list, or opens it under the box.
void ToggleList(WindowHandle window, SelectorData* s) {
  if (s->popup != nullptr) {
    const WindowHandle popup = s->popup;
    s->popup = nullptr;
    if (IsWindow(popup)) DestroyWindow(popup);
    SetFocus(window);
  } else {
    WinRect anchor{};
    GetWindowRect(window, &anchor);
    s->popup = OpenPopup(&s->items, window, s->font, anchor, 1);
    if (s->popup == nullptr) SetFocus(window);
  }
  RepaintNow(window);
}

void OnMouseMove(WindowHandle window, SelectorData* s, LParam lParam) {
  const int32_t x = SignedLoWord(static_cast<uintptr_t>(lParam));
  const int32_t y = SignedHiWord(static_cast<uintptr_t>(lParam));
  if (x >= 0 && y >= 0 && x < s->width && y < s->height) {
    s->hover = 1;
    if (GetCaptureWindow() != window) {
      SetCapture(window);
      RepaintNow(window);
    }
  } else {
    s->hover = 0;
    if (GetCaptureWindow() == window) ReleaseMouseCapture();  // the capture change repaints
  }
}

// Arrow keys step through the top-level list without wrapping.
void OnKeyDown(WindowHandle window, SelectorData* s, WParam key) {
  MenuItem* current = s->items.current;
  switch (key) {
    case VK_TAB: SendWindowMessage(s->parent, TKM_TABNEXT, 0, 0); break;
    case VK_RETURN: ToggleList(window, s); break;
    case VK_LEFT:
    case VK_UP:
      if (current != nullptr && current->prev != nullptr) ChooseItem(s, current->prev);
      break;
    case VK_RIGHT:
    case VK_DOWN:
      if (current != nullptr && current->next != nullptr) ChooseItem(s, current->next);
      break;
    default: break;
  }
}

LResult OnToolkitMessage(WindowHandle window, SelectorData* s, uint32_t message, WParam wParam,
                         LParam lParam, bool* handled) {
  switch (message) {
    case TKM_ITEMCHOSEN: return OnItemChosen(window, s, wParam);
    case TKM_POPUPCLOSED: s->popup = nullptr; return 1;
    case TKM_POPUPCANCELLED:
      s->popup = nullptr;
      RepaintNow(window);
      return DefaultWindowProc(window, message, wParam, lParam);
    case TKM_ISTABSTOP: return 1;
    default: *handled = false; return 0;
  }
}

// Every message of a selector that has its record.
LResult SelectorMessage(WindowHandle window, SelectorData* s, uint32_t message, WParam wParam, LParam lParam) {
  bool handled = true;
  const LResult result = OnToolkitMessage(window, s, message, wParam, lParam, &handled);
  if (handled) return result;
  switch (message) {
    case WM_SIZE:
      s->width = LoWord(static_cast<uintptr_t>(lParam));
      s->height = HiWord(static_cast<uintptr_t>(lParam));
      return 1;
    case WM_SETFONT:
      s->font = wParam != 0 ? reinterpret_cast<FontHandle>(wParam) : DefaultSelectorFont;
      RepaintNow(window);
      return 1;
    case WM_SETFOCUS: s->focused = 1; RepaintNow(window); return 1;
    case WM_KILLFOCUS: s->focused = 0; RepaintNow(window); return 1;
    case WM_ENABLE:
      if (wParam == 0 && s->popup != nullptr) {
        const WindowHandle popup = s->popup;
        s->popup = nullptr;
        if (IsWindow(popup)) DestroyWindow(popup);
      }
      RepaintNow(window);
      return 0;
    case WM_MOUSEMOVE: OnMouseMove(window, s, lParam); return 1;
    case WM_CAPTURECHANGED: s->hover = 0; RepaintNow(window); return 0;
    case WM_LBUTTONDOWN: ToggleList(window, s); return 1;
    case WM_KEYDOWN: OnKeyDown(window, s, wParam); return 0;
    case WM_PAINT: return PaintOffscreen(window, s->width, s->height, PaintThunk, s) ? 1 : 0;
    case WM_DESTROY: OnDestroy(window, s); return 1;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace

LResult SelectorWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  return DispatchControlMessage<SelectorData>(window, message, wParam, lParam, OnCreate, SelectorMessage);
}

int RegisterSelectorClass(FontHandle font) {
  WindowClass windowClass{};
  windowClass.name = kSelectorClassName;
  windowClass.procedure = SelectorWindowProc;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.background = kNoBackground;
  windowClass.cursor = CursorShape::kArrow;
  if (!RegisterWindowClass(windowClass)) return 0;
  DefaultSelectorFont = font != nullptr ? font : SharedInterfaceFont(400);
  return 1;
}

int SetSelectorItems(WindowHandle selector, const MenuItemList* list) {
  SelectorData* s = Record(selector);
  if (s == nullptr) return 0;
  FreeMenuItems(&s->items);
  CopyMenuItems(&s->items, list);
  RepaintNow(selector);
  return 1;
}

int32_t GetSelectedItemId(WindowHandle selector) {
  const SelectorData* s = Record(selector);
  if (s == nullptr) return 0;
  return s->items.current != nullptr ? s->items.current->id : -1;
}
