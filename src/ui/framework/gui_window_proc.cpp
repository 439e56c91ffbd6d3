// The procedure of AmbrelGUI_Class: layout on size changes, size limits,
// keeping the focus inside the window, Tab, text-control colours and the
// off-screen paint. Everything it does not finish goes on to the
// application's procedure.
#include "platform/text.h"
#include "ui/framework/gui_window.h"
#include "ui/render/surface.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/control_colors.h"

namespace {

LResult PassOn(const GuiWindow* window, WindowHandle hwnd, uint32_t message, WParam wParam,
               LParam lParam) {
  if (window->appProc != nullptr) return window->appProc(hwnd, message, wParam, lParam);
  return DefaultWindowProc(hwnd, message, wParam, lParam);
}

// Paints the whole client area off-screen and copies it in one step.
void PaintWindow(GuiWindow* window, WindowHandle hwnd) {
  if (window->inLayout || IsIconic(hwnd)) return;
  WinRect client{};
  GetClientRect(hwnd, &client);
  if (!CreateSurface(&window->backBuffer, hwnd, client.right, client.bottom, 32)) return;
  PaintGuiWindow(window->backBuffer.image, window, client.right, client.bottom);
  BlitSurface(hwnd, 0, 0, client.right, client.bottom, &window->backBuffer);
  ReleaseSurface(&window->backBuffer);
}

// Client limits become window limits: the frame's size is what a 320 x 240
// client area grows by.
void ApplySizeLimits(const GuiWindow* window, MinMaxInfo* info) {
  WinRect probe{0, 0, 320, 240};
  AdjustWindowRectEx(&probe, window->style, false, 0);
  int32_t dx = (probe.right - probe.left) - 320, dy = (probe.bottom - probe.top) - 240;
  if (window->minWidth != 0) info->minTrackSize.x = window->minWidth + dx;
  if (window->minHeight != 0) info->minTrackSize.y = window->minHeight + dy;
  if (window->maxWidth != 0) info->maxTrackSize.x = window->maxWidth + dx;
  if (window->maxHeight != 0) info->maxTrackSize.y = window->maxHeight + dy;
}

// Keeps the keyboard inside the window when it becomes active.
void HoldFocus(WindowHandle hwnd) {
  WindowHandle focus = GetFocusWindow();
  if (focus != hwnd && (focus == nullptr || GetRootWindow(focus) != hwnd)) SetFocus(hwnd);
}

SolidBrush* StaticBrush(bool renew) {
  if (renew) DeleteSolidBrush(&GuiToolkit.staticBrush);
  if (GuiToolkit.staticBrush == nullptr) {
    GuiToolkit.staticBrush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  }
  return GuiToolkit.staticBrush;
}

}  // namespace

LResult GuiWindowProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam) {
  auto* window = static_cast<GuiWindow*>(GetWindowUserData(hwnd));
  if (window == nullptr) return DefaultWindowProc(hwnd, message, wParam, lParam);
  switch (message) {
    case WM_SIZE:
      if (wParam != SIZE_MINIMIZED) RunLayoutPass(window, LoWord(lParam), HiWord(lParam));
      break;
    case WM_ACTIVATE:
      if (LoWord(wParam) == WA_ACTIVE || LoWord(wParam) == WA_CLICKACTIVE) HoldFocus(hwnd);
      break;
    case WM_PAINT:
      PaintWindow(window, hwnd);
      break;
    case WM_ERASEBKGND:
      return 0;
    case WM_SYSCOLORCHANGE:
      StaticBrush(true);
      break;
    case WM_GETMINMAXINFO:
      if (IsIconic(hwnd)) break;
      ApplySizeLimits(window, reinterpret_cast<MinMaxInfo*>(lParam));
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_TAB) FocusByTabKey(hwnd);
      break;
    case TKM_TABNEXT:
      // Sent by a control while it handles the Tab key, so the Shift state
      // is still that key's.
      FocusByTabKey(hwnd);
      break;
    case WM_CTLCOLORSTATIC: {
      auto* colors = reinterpret_cast<ControlColors*>(wParam);
      SetControlTextColor(colors, GetSysColor(COLOR_WINDOWTEXT));
      SetControlBackColor(colors, GetSysColor(COLOR_WINDOW));
      return reinterpret_cast<LResult>(StaticBrush(false));
    }
    default:
      break;
  }
  return PassOn(window, hwnd, message, wParam, lParam);
}
