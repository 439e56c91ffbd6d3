// Keyboard focus inside a toolkit window: Tab moves forward through the
// controls in creation order and wraps, Shift+Tab walks the same order back;
// edit fields hand Tab to the window.
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

namespace {

// Moves the focus `step` places (1 or -1) along the Tab order. A focus
// outside the order goes to the first stop forward and the last one back.
void MoveFocus(WindowHandle hwnd, int step) {
  auto* window = static_cast<GuiWindow*>(GetWindowUserData(hwnd));
  if (window == nullptr) return;
  WindowHandle focused = GetFocusWindow();
  std::vector<WindowHandle> stops = TabStops(window);
  if (stops.empty()) return;
  const size_t count = stops.size();
  size_t next = step > 0 ? 0 : count - 1;
  for (size_t i = 0; i < count; ++i) {
    if (stops[i] == focused) next = (i + count + static_cast<size_t>(step)) % count;
  }
  SetFocus(stops[next]);
}

}  // namespace

void FocusNextControl(WindowHandle hwnd) { MoveFocus(hwnd, 1); }

void FocusPreviousControl(WindowHandle hwnd) { MoveFocus(hwnd, -1); }

void FocusByTabKey(WindowHandle hwnd) {
  if (IsKeyDown(VK_SHIFT)) FocusPreviousControl(hwnd);
  else FocusNextControl(hwnd);
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
