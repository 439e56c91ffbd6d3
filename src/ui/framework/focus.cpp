// Keyboard focus inside a toolkit window: Tab moves forward through the
// controls in creation order and wraps; edit fields hand Tab to the window.
#include <vector>

#include "ui/framework/gui_window.h"

namespace {

// The controls that take part in the Tab order now, in order.
std::vector<WindowHandle> TabStops(GuiWindow* window) {
  std::vector<WindowHandle> stops;
  ForEachGroup(window->groups.first, [&stops](LayoutGroup* group) {
    for (LayoutControl* c = group->controls.first; c != nullptr; c = c->next) {
      if (c->hwnd == nullptr || !IsWindowVisible(c->hwnd) || !IsWindowEnabled(c->hwnd)) continue;
      if (SendWindowMessage(c->hwnd, TKM_ISTABSTOP, 0, 0) == 1) stops.push_back(c->hwnd);
    }
  });
  return stops;
}

}  // namespace

void FocusNextControl(WindowHandle hwnd) {
  auto* window = static_cast<GuiWindow*>(GetWindowUserData(hwnd));
  if (window == nullptr) return;
  WindowHandle focused = GetFocusWindow();
  std::vector<WindowHandle> stops = TabStops(window);
  if (stops.empty()) return;
  size_t next = 0;
  for (size_t i = 0; i + 1 < stops.size(); ++i) {
    if (stops[i] == focused) next = i + 1;
  }
  SetFocus(stops[next]);
}

bool EditHook(LayoutControl* control, WindowHandle window, uint32_t message, WParam wParam,
              LParam lParam, LResult* result) {
  (void)control;
  (void)lParam;
  if (message == WM_KEYDOWN && wParam == VK_TAB) {
    SendWindowMessage(GetParent(window), TKM_TABNEXT, 0, 0);
    *result = 0;
    return true;
  }
  if (message == WM_CHAR && wParam == '\t') {
    *result = 0;
    return true;
  }
  if (message == TKM_ISTABSTOP) {
    *result = 1;
    return true;
  }
  return false;
}
