// The "STATIC" window class: wrapped text in the colours its parent gives
// through WM_CTLCOLORSTATIC.
#include <new>
#include <string>

#include "ui/render/image.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/control_colors.h"
#include "window/builtin/control_window.h"
#include "window/builtin/static_paint.h"
#include "window/builtin/system_controls.h"

namespace {

struct StaticWindow {
  std::string text;
  FontHandle font = nullptr;
};

StaticWindow* StateOf(WindowHandle window) {
  return static_cast<StaticWindow*>(GetWindowUserData(window));
}

StaticAlign AlignOf(WindowHandle window) {
  switch (GetWindowStyle(window) & SS_TYPEMASK) {
    case SS_CENTER: return StaticAlign::kCenter;
    case SS_RIGHT: return StaticAlign::kRight;
    default: return StaticAlign::kLeft;
  }
}

// Asks the parent for the colours each time the control paints, so a parent
// that changes its colours is followed at the next repaint.
StaticLook LookOf(WindowHandle window, const StaticWindow* state) {
  StaticLook look;
  look.font = state->font ? state->font : GetSystemControlFont();
  look.align = AlignOf(window);
  look.enabled = IsWindowEnabled(window);
  ControlColors colors{GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_BTNFACE)};
  look.background_colour =
      QueryControlColors(window, WM_CTLCOLORSTATIC, &colors, GetSysColor(COLOR_BTNFACE));
  look.text_colour = colors.text;
  return look;
}

void OnPaint(WindowHandle window, StaticWindow* state) {
  PaintThroughSurface(window, [&](Image* image) {
    PaintStatic(image, state->text, LookOf(window, state));
  });
}

LResult OnCreate(WindowHandle window, const CreateStruct* create) {
  StaticWindow* state = new (std::nothrow) StaticWindow;
  if (!state) return -1;
  if (create && create->name) state->text = create->name;
  SetWindowUserData(window, state);
  return 0;
}

}  // namespace

LResult StaticWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_CREATE) return OnCreate(window, reinterpret_cast<const CreateStruct*>(lParam));
  StaticWindow* state = StateOf(window);
  if (!state) return DefaultWindowProc(window, message, wParam, lParam);
  switch (message) {
    case WM_DESTROY:
      SetWindowUserData(window, nullptr);
      delete state;
      return 0;
    case WM_PAINT: OnPaint(window, state); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_SETTEXT: {
      const char* text = reinterpret_cast<const char*>(lParam);
      state->text = text ? text : "";
      InvalidateRect(window, nullptr, false);
      return 1;
    }
    case WM_GETTEXT: return CopyWindowText(state->text, wParam, lParam);
    case WM_GETTEXTLENGTH: return static_cast<LResult>(state->text.size());
    case WM_SETFONT:
      state->font = reinterpret_cast<FontHandle>(wParam);
      if (LoWord(static_cast<uintptr_t>(lParam))) InvalidateRect(window, nullptr, false);
      return 0;
    case WM_GETFONT: return reinterpret_cast<LResult>(state->font);
    case WM_ENABLE:
    case WM_SIZE:
    case WM_STYLECHANGED:
      InvalidateRect(window, nullptr, false);
      return DefaultWindowProc(window, message, wParam, lParam);
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}
