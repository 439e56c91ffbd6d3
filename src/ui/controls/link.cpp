// The link's window procedure: its record, hover and press handling, the
// hand cursor, and activation through the desktop shell. Painting lives in
// link_paint.cpp.
#include "ui/controls/link.h"

#include "core/blocks.h"
#include "platform/shell.h"
#include "ui/controls/control_support.h"
#include "ui/controls/visual_styles.h"

namespace {

void PaintThunk(Image* image, const void* context) {
  const LinkData* l = static_cast<const LinkData*>(context);
  PaintLink(image, l, l->font != nullptr ? l->font : ControlFallbackFont());
}

// As for the button: a "BUTTON" theme handle while visual styles are on.
void RefreshTheme(WindowHandle window, LinkData* l) {
  if (l->theme != nullptr && l->themeApi != nullptr) {
    CallCloseThemeData(l->themeApi->CloseThemeData, l->theme);
  }
  l->theme = nullptr;
  ThemeApi* api = nullptr;
  if (VisualStylesActive(&api) == 1) l->theme = CallOpenThemeData(api->OpenThemeData, window, "BUTTON");
  l->themeApi = api;
}

LResult OnCreate(WindowHandle window, LParam lParam) {
  LinkData* l = nullptr;
  if (!AllocBlock(&l, sizeof(LinkData), true, 0)) return -1;
  SetWindowUserData(window, l);
  const CreateStruct* cs = reinterpret_cast<const CreateStruct*>(lParam);
  if (cs != nullptr) {
    l->text = DupString(cs->name);
    l->height = cs->cy;
    l->width = cs->cx;
  }
  l->normalColour = kLinkNormalColour;
  l->hoverColour = kLinkHoverColour;
  RefreshTheme(window, l);
  return 0;
}

void OnDestroy(WindowHandle window, LinkData* l) {
  SetWindowUserData(window, nullptr);
  FreeAndClear(&l->text);
  FreeAndClear(&l->target);
  if (l->theme != nullptr && l->themeApi != nullptr) {
    CallCloseThemeData(l->themeApi->CloseThemeData, l->theme);
  }
  l->theme = nullptr;
  FreeAndClear(&l);
}

void ShowHand() {
  if (GetCursorShape() != CursorShape::kHand) SetCursorShape(CursorShape::kHand);
}

void ReleaseIfHeld(WindowHandle window) {
  if (GetCaptureWindow() == window) ReleaseMouseCapture();
}

// Activation drops the hover and focus looks (the keyboard focus stays) and
// hands the target to the shell, which starts the opener without waiting.
void Activate(WindowHandle window, LinkData* l) {
  l->hover = 0;
  l->focused = 0;
  RepaintNow(window);
  if (l->target != nullptr) OpenTarget(l->target);
}

void OnMouseMove(WindowHandle window, LinkData* l, LParam lParam) {
  const int16_t x = SignedLoWord(static_cast<uintptr_t>(lParam));
  const int16_t y = SignedHiWord(static_cast<uintptr_t>(lParam));
  if (x == l->lastX && y == l->lastY) return;
  ShowHand();
  if (InsideUnsigned(lParam, l->width, l->height)) {
    if (GetCaptureWindow() != window) SetCapture(window);
    l->hover = 1;
    RepaintNow(window);
  } else if (l->hover) {
    l->hover = 0;
    RepaintNow(window);
    if (l->pressed == 0) ReleaseIfHeld(window);
  }
  l->lastX = x;
  l->lastY = y;
}

void OnLeftDown(WindowHandle window, LinkData* l, LParam lParam) {
  if (!InsideUnsigned(lParam, l->width, l->height)) return;
  ShowHand();
  SetFocus(window);
  SetCapture(window);
  l->pressed = 1;
  RepaintNow(window);
}

void OnLeftUp(WindowHandle window, LinkData* l, LParam lParam) {
  if (l->pressed != 1) return;
  l->pressed = 0;
  ReleaseIfHeld(window);
  if (InsideUnsigned(lParam, l->width, l->height)) Activate(window, l);
}

void OnKillFocus(WindowHandle window, LinkData* l) {
  ReleaseIfHeld(window);
  WinPoint point{};
  if (!(GetCursorPos(&point) && WindowFromPoint(point) == window)) l->hover = 0;
  l->focused = 0;
  l->pressed = 0;
  RepaintNow(window);
}

// Replaces the caption and/or target by copies of those given.
void OnSetLink(WindowHandle window, LinkData* l, WParam wParam, LParam lParam) {
  if (wParam != 0) {
    FreeAndClear(&l->text);
    l->text = DupString(reinterpret_cast<const char*>(wParam));
  }
  if (lParam != 0) {
    FreeAndClear(&l->target);
    l->target = DupString(reinterpret_cast<const char*>(lParam));
  }
  RepaintNow(window);
}

LResult OnLinkMessage(WindowHandle window, LinkData* l, uint32_t message, WParam wParam,
                      LParam lParam, bool* handled) {
  switch (message) {
    case LKM_SETCOLORS:
      l->normalColour = static_cast<Color>(wParam);
      l->hoverColour = static_cast<Color>(lParam);
      RepaintNow(window);
      return 0;
    case LKM_SETLINK: OnSetLink(window, l, wParam, lParam); return 0;
    case LKM_SETBACKGROUND:
      l->ownBackground = wParam != 0;
      l->backColour = static_cast<Color>(lParam);
      return 0;
    default: *handled = false; return 0;
  }
}

// Every message of a link that has its record.
LResult LinkMessage(WindowHandle window, LinkData* l, uint32_t message, WParam wParam, LParam lParam) {
  bool handled = true;
  const LResult result = OnLinkMessage(window, l, message, wParam, lParam, &handled);
  if (handled) return result;
  switch (message) {
    case WM_SIZE:
      l->width = LoWord(static_cast<uintptr_t>(lParam));
      l->height = HiWord(static_cast<uintptr_t>(lParam));
      return 0;
    case WM_SETFONT:
      l->font = reinterpret_cast<FontHandle>(wParam);
      l->textHeight = FontCellHeight(l->font);
      if (lParam == 1) RepaintNow(window);
      return 0;
    case WM_SETTEXT:
      if (lParam != 0) OnSetLink(window, l, static_cast<WParam>(lParam), 0);
      return 0;
    case WM_SETFOCUS: l->focused = 1; RepaintNow(window); return 0;
    case WM_KILLFOCUS: OnKillFocus(window, l); return 0;
    case WM_ENABLE:
      if (wParam == 0) l->focused = l->hover = 0;
      RepaintNow(window);
      return 0;
    case WM_STYLECHANGED:
      if (static_cast<int32_t>(wParam) == GWL_STYLE &&
          (reinterpret_cast<const StyleStruct*>(lParam)->newStyle & WS_VISIBLE) == 0) {
        l->focused = l->hover = l->pressed = 0;
      }
      return 0;
    case WM_THEMECHANGED: RefreshTheme(window, l); RepaintNow(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case WM_MOUSEMOVE: OnMouseMove(window, l, lParam); return 0;
    case WM_LBUTTONDOWN: OnLeftDown(window, l, lParam); return 0;
    case WM_LBUTTONUP: OnLeftUp(window, l, lParam); return 0;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_SPACE) {
        ReleaseIfHeld(window);
        Activate(window, l);
      }
      return 0;
    case WM_CAPTURECHANGED: l->pressed = 0; RepaintNow(window); return 0;
    case WM_PAINT: PaintOffscreen(window, l->width, l->height, PaintThunk, l); return 0;
    case WM_DESTROY: OnDestroy(window, l); return 0;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace

LResult LinkWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  return DispatchControlMessage<LinkData>(window, message, wParam, lParam, OnCreate, LinkMessage);
}

int RegisterLinkClass() {
  WindowClass windowClass{};
  windowClass.name = kLinkClassName;
  windowClass.procedure = LinkWindowProc;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.background = kNoBackground;
  windowClass.cursor = CursorShape::kArrow;
  return RegisterWindowClass(windowClass) ? 1 : 0;
}
