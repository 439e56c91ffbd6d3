// The button's window procedure: its record, its pointer and key state
// machine and its messages. Painting lives in button_paint.cpp.
#include "ui/controls/button.h"

#include "core/blocks.h"
#include "platform/message_box.h"
#include "ui/controls/control_support.h"
#include "ui/framework/gui_window.h"
#include "ui/controls/visual_styles.h"
#include "ui/render/sys_colors.h"

namespace {

FontHandle DrawingFont(const ButtonData* b) { return b->font != nullptr ? b->font : ControlFallbackFont(); }

void PaintThunk(Image* image, const void* context) {
  const ButtonData* b = static_cast<const ButtonData*>(context);
  PaintButton(image, b, DrawingFont(b));
}

// Visual styles are asked anew on creation and on WM_THEMECHANGED: a handle
// held from before is closed, and one for "BUTTON" opened while styles are on.
void RefreshTheme(WindowHandle window, ButtonData* b) {
  if (b->theme != nullptr && b->themeApi != nullptr) {
    CallCloseThemeData(b->themeApi->CloseThemeData, b->theme);
  }
  b->theme = nullptr;
  ThemeApi* api = nullptr;
  if (VisualStylesActive(&api) == 1) b->theme = CallOpenThemeData(api->OpenThemeData, window, "BUTTON");
  b->themeApi = api;
}

LResult OnCreate(WindowHandle window, LParam lParam) {
  ButtonData* b = nullptr;
  if (!AllocBlock(&b, sizeof(ButtonData), true, 0)) return -1;
  SetWindowUserData(window, b);
  const CreateStruct* cs = reinterpret_cast<const CreateStruct*>(lParam);
  if (cs != nullptr) {
    b->text = DupString(cs->name);
    b->height = cs->cy;
    b->width = cs->cx;
    b->id = cs->id & 0xFFFF;
  }
  b->state = 1;
  RefreshTheme(window, b);
  return 0;
}

void OnDestroy(WindowHandle window, ButtonData* b) {
  SetWindowUserData(window, nullptr);
  FreeAndClear(&b->text);
  if (b->theme != nullptr && b->themeApi != nullptr) {
    CallCloseThemeData(b->themeApi->CloseThemeData, b->theme);
  }
  b->theme = nullptr;
  FreeAndClear(&b);
}

// A click: the toggle flips unless locked, and the parent hears of it.
void Click(WindowHandle window, ButtonData* b) {
  if (b->toggle == 1 && b->locked == 0) b->state = b->state == 0 ? 1 : 0;
  RepaintNow(window);
  const WParam wParam = static_cast<WParam>(static_cast<uint16_t>(b->id)) |
                        (static_cast<WParam>(BN_CLICKED) << 16);
  PostWindowMessage(GetParent(window), WM_COMMAND, wParam, reinterpret_cast<LParam>(window));
}

void ReleaseIfHeld(WindowHandle window) {
  if (GetCaptureWindow() == window) ReleaseMouseCapture();
}

bool PointerOver(WindowHandle window) {
  WinPoint point{};
  return GetCursorPos(&point) && WindowFromPoint(point) == window && IsWindowVisible(window);
}

void OnMouseMove(WindowHandle window, ButtonData* b, LParam lParam) {
  if (InsideUnsigned(lParam, b->width, b->height)) {
    if (GetCaptureWindow() != window) SetCapture(window);
    if (b->hover != 1) {
      b->hover = 1;
      RepaintNow(window);
    }
  } else if (b->hover) {
    b->hover = 0;
    if (b->pressed == 0) ReleaseIfHeld(window);
    RepaintNow(window);
  }
}

void OnLeftDown(WindowHandle window, ButtonData* b, LParam lParam) {
  if (!InsideUnsigned(lParam, b->width, b->height)) return;
  if (b->panel != 1) SetFocus(window);
  SetCapture(window);
  b->pressed = 1;
  RepaintNow(window);
}

void OnLeftUp(WindowHandle window, ButtonData* b, LParam lParam) {
  if (b->pressed != 1) return;
  b->pressed = 0;
  ReleaseIfHeld(window);
  if (InsideUnsigned(lParam, b->width, b->height)) Click(window, b);
}

void OnKeyDown(WindowHandle window, ButtonData* b, WParam key) {
  if (key == VK_TAB) {
    SendWindowMessage(GetParent(window), TKM_TABNEXT, 0, 0);
  } else if (key == VK_RETURN || key == VK_SPACE) {
    Click(window, b);
  }
}

void OnKillFocus(WindowHandle window, ButtonData* b, WParam gaining) {
  ReleaseIfHeld(window);
  if (gaining == 0) SetFocus(GetParent(window));
  if (!PointerOver(window)) b->hover = 0;
  b->focused = 0;
  b->pressed = 0;
  RepaintNow(window);
}

void OnSetFont(WindowHandle window, ButtonData* b, WParam wParam, LParam lParam) {
  b->font = reinterpret_cast<FontHandle>(wParam);
  b->textHeight = FontCellHeight(b->font);
  if (lParam == 1) RepaintNow(window);
}

void OnSetText(WindowHandle window, ButtonData* b, LParam lParam) {
  if (lParam == 0) return;
  FreeAndClear(&b->text);
  b->text = DupString(reinterpret_cast<const char*>(lParam));
  RepaintNow(window);
}

// The BBM_* setters and queries; `handled` is cleared for other messages.
LResult OnButtonMessage(WindowHandle window, ButtonData* b, uint32_t message, WParam wParam,
                        LParam lParam, bool* handled) {
  switch (message) {
    case BBM_SETICON:
      if (wParam != 0 && lParam != 0) {
        b->icon = reinterpret_cast<const Icon*>(wParam);
        b->iconWidth = LoWord(static_cast<uintptr_t>(lParam));
        b->iconHeight = HiWord(static_cast<uintptr_t>(lParam));
      }
      return 1;
    case BBM_SHOWICON: b->showIcon = wParam == 1; return 1;
    case BBM_SETTOGGLE: b->toggle = wParam == 1; return 1;
    case BBM_SETPANEL: b->panel = wParam == 1; return 1;
    case BBM_SETLOCKED: b->locked = wParam == 1; return 1;
    case BBM_SETFLAT: b->flat = static_cast<int32_t>(wParam); return 0;
    case BBM_GETSTATE: return b->state;
    case BBM_SETSTATE:
      if (wParam != 0 && wParam != 1) return -1;
      b->state = static_cast<int32_t>(wParam);
      RepaintNow(window);
      return 1;
    default: *handled = false; return 0;
  }
}

// Answers for messages that arrive before the record exists.
LResult WithoutRecord(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case BBM_SETLOCKED: case BBM_GETSTATE: case WM_ENABLE: case WM_STYLECHANGED:
    case WM_CAPTURECHANGED:
      return -1;
    case BBM_SETFLAT: return 0;
    case BBM_SETICON: case BBM_SHOWICON: case BBM_SETTOGGLE: case BBM_SETPANEL: case BBM_SETSTATE:
    case TKM_ISTABSTOP:
      return 1;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

// Every message of a button that has its record.
LResult ButtonMessage(WindowHandle window, ButtonData* b, uint32_t message, WParam wParam, LParam lParam) {
  bool handled = true;
  const LResult result = OnButtonMessage(window, b, message, wParam, lParam, &handled);
  if (handled) return result;
  switch (message) {
    case WM_SIZE:
      b->width = LoWord(static_cast<uintptr_t>(lParam));
      b->height = HiWord(static_cast<uintptr_t>(lParam));
      b->textHeight = FontCellHeight(nullptr);  // a fresh context's own font, not the control's
      return 0;
    case WM_SETFONT: OnSetFont(window, b, wParam, lParam); return 0;
    case WM_SETTEXT: OnSetText(window, b, lParam); return 0;
    case WM_SETFOCUS: b->focused = 1; RepaintNow(window); return 0;
    case WM_KILLFOCUS: OnKillFocus(window, b, wParam); return 0;
    case WM_ENABLE:
      if (wParam == 0) b->focused = b->hover = 0;
      b->disabled = wParam == 0;
      RepaintNow(window);
      return 1;
    case WM_STYLECHANGED:
      if (static_cast<int32_t>(wParam) == GWL_STYLE &&
          (reinterpret_cast<const StyleStruct*>(lParam)->newStyle & WS_VISIBLE) == 0) {
        b->focused = b->hover = b->pressed = 0;
      }
      return 0;
    case WM_THEMECHANGED: RefreshTheme(window, b); RepaintNow(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETDLGCODE: return DLGC_WANTALLKEYS;
    case TKM_ISTABSTOP: return 1;
    case WM_DESTROY: OnDestroy(window, b); return 0;
    case WM_MOUSEMOVE: OnMouseMove(window, b, lParam); return 0;
    case WM_LBUTTONDOWN: OnLeftDown(window, b, lParam); return 0;
    case WM_LBUTTONUP: OnLeftUp(window, b, lParam); return 0;
    case WM_CAPTURECHANGED: b->pressed = 0; RepaintNow(window); return 0;
    case WM_KEYDOWN: OnKeyDown(window, b, wParam); return 0;
    case WM_PAINT:
      PaintOffscreen(window, b->width, b->height, PaintThunk, b);
      return 0;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

}  // namespace

LResult ButtonWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  return DispatchControlMessage<ButtonData>(window, message, wParam, lParam, OnCreate, ButtonMessage, WithoutRecord);
}

int RegisterButtonClass() {
  WindowClass windowClass{};
  windowClass.name = kButtonClassName;
  windowClass.procedure = ButtonWindowProc;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.background = GetSysColor(COLOR_BTNFACE);
  windowClass.cursor = CursorShape::kArrow;
  if (!RegisterWindowClass(windowClass)) {
    ShowMessageBox("ButtonBoy class creation failed.", "Fatal Error", MessageBoxIcon::kError);
    return -1;
  }
  return 1;
}

void SetButtonIcon(WindowHandle button, const Icon* icon, int show) {
  SendWindowMessage(button, BBM_SETICON, reinterpret_cast<WParam>(icon), MakeLParam(16, 16));
  SendWindowMessage(button, BBM_SHOWICON, static_cast<WParam>(show), 0);
}
