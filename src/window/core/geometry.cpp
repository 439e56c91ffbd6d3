// Showing, hiding, moving, stacking and enabling windows, and the
// coordinate questions about them.
#include <algorithm>

#include "window/core/core.h"

namespace wscore {

namespace {

bool Contains(const WindowRecord* r, WinPoint screen) {
  WinPoint o = ScreenOrigin(r);
  return screen.x >= o.x && screen.y >= o.y && screen.x < o.x + r->width &&
         screen.y < o.y + r->height;
}

WindowHandle DeepestAt(WindowHandle window, WinPoint screen) {
  WindowRecord* r = Find(window);
  for (auto it = r->children.rbegin(); it != r->children.rend(); ++it) {
    WindowRecord* c = Find(*it);
    if ((c->style & WS_VISIBLE) && Contains(c, screen)) return DeepestAt(*it, screen);
  }
  return window;
}

// Stacking bands: top-most windows stay above all others.
void PlaceInBand(WindowHandle window, bool top) {
  CoreState& s = State();
  auto& list = s.topLevels;
  list.erase(std::remove(list.begin(), list.end(), window), list.end());
  bool topmost = Find(window)->topmost;
  if (!top) {
    auto pos = topmost ? std::find_if(list.begin(), list.end(),
                                      [](WindowHandle w) { return Find(w)->topmost; })
                       : list.begin();
    list.insert(pos, window);
    return;
  }
  auto pos = topmost ? list.end()
                     : std::find_if(list.begin(), list.end(),
                                    [](WindowHandle w) { return Find(w)->topmost; });
  list.insert(pos, window);
}

}  // namespace

// Raises a top-level window, then the windows it owns above it.
void RaiseTopLevel(WindowHandle window) {
  CoreState& s = State();
  WindowRecord* r = Find(window);
  if (r == nullptr || r->parent != nullptr) return;
  PlaceInBand(window, true);
  s.ops->restack(r);
  std::vector<WindowHandle> owned;
  for (WindowHandle w : s.topLevels) {
    if (Find(w)->owner == window) owned.push_back(w);
  }
  for (WindowHandle w : owned) RaiseTopLevel(w);
}

void HideInternal(WindowRecord* r) {
  CoreState& s = State();
  WindowHandle window = r->handle;
  SendWindowMessage(window, WM_SHOWWINDOW, 0, 0);
  if ((r = Find(window)) == nullptr) return;
  r->style &= ~WS_VISIBLE;
  s.ops->showWindow(r, false);
  if (IsInside(window, s.capture)) ReleaseCaptureInternal(nullptr);
  ReleasePopupGrabInside(window);
  if (IsInside(window, s.focus)) {
    if (r->parent != nullptr) {
      SetFocusInternal(r->parent);
    } else {
      SetFocusInternal(nullptr);
    }
  }
  if (s.active == window) ActivateAfterLoss(window);
}

WindowHandle TopLevelAt(WinPoint screen) {
  CoreState& s = State();
  for (auto it = s.topLevels.rbegin(); it != s.topLevels.rend(); ++it) {
    WindowRecord* r = Find(*it);
    if ((r->style & WS_VISIBLE) && !r->minimized && Contains(r, screen)) return *it;
  }
  return nullptr;
}

WindowHandle DeepestWindowAt(WinPoint screen) {
  WindowHandle top = TopLevelAt(screen);
  return top ? DeepestAt(top, screen) : nullptr;
}

void SendMinMaxHints(WindowRecord* r) {
  CoreState& s = State();
  MinMaxInfo info{};
  int32_t sw = 0, sh = 0;
  s.ops->screenSize(&sw, &sh);
  info.maxSize = {sw, sh};
  info.minTrackSize = {1, 1};
  info.maxTrackSize = {32767, 32767};
  WindowHandle window = r->handle;
  SendWindowMessage(window, WM_GETMINMAXINFO, 0, reinterpret_cast<LParam>(&info));
  if ((r = Find(window)) != nullptr) s.ops->setSizeHints(r, info);
}

void OnTopLevelPosition(WindowRecord* r, int32_t x, int32_t y) {
  if (r->x == x && r->y == y) return;
  r->x = x;
  r->y = y;
  WinPoint origin = ScreenOrigin(r);
  SendWindowMessage(r->handle, WM_MOVE, 0, MakeLParam(origin.x, origin.y));
}

// The display moved or resized a top-level window (a window manager, or the
// user dragging its frame).
void OnTopLevelConfigured(WindowRecord* r, int32_t x, int32_t y, int32_t width,
                          int32_t height) {
  WindowHandle window = r->handle;
  OnTopLevelPosition(r, x, y);
  if ((r = Find(window)) == nullptr || (r->width == width && r->height == height)) return;
  r->width = width;
  r->height = height;
  r->sizeSent = true;
  InvalidateAll(r, true);
  SendWindowMessage(window, WM_SIZE, r->minimized ? SIZE_MINIMIZED : SIZE_RESTORED,
                    MakeLParam(width, height));
}

void OnIconified(WindowRecord* r, bool minimized) {
  if (r->minimized == minimized) return;
  WindowHandle window = r->handle;
  r->minimized = minimized;
  if (minimized) {
    r->style |= WS_MINIMIZE;
    SendWindowMessage(window, WM_SIZE, SIZE_MINIMIZED, 0);
    if (State().active == window) ActivateAfterLoss(window);
  } else {
    r->style &= ~WS_MINIMIZE;
    InvalidateAll(r, true);
    SendWindowMessage(window, WM_SIZE, SIZE_RESTORED, MakeLParam(r->width, r->height));
  }
}

}  // namespace wscore

using namespace wscore;

namespace {

void ShowInternal(WindowRecord* r, bool activate) {
  CoreState& s = State();
  WindowHandle window = r->handle;
  if (!(r->style & WS_VISIBLE)) {
    SendWindowMessage(window, WM_SHOWWINDOW, 1, 0);
    if ((r = Find(window)) == nullptr) return;
    if (!r->sizeSent) {
      // The first show tells the window its size, as creation did not.
      r->sizeSent = true;
      SendWindowMessage(window, WM_SIZE, SIZE_RESTORED, MakeLParam(r->width, r->height));
      WinPoint origin = ScreenOrigin(r);
      SendWindowMessage(window, WM_MOVE, 0, MakeLParam(origin.x, origin.y));
      if ((r = Find(window)) == nullptr) return;
    }
    r->style |= WS_VISIBLE;
    if (r->parent == nullptr) {
      SendMinMaxHints(r);
      if ((r = Find(window)) == nullptr) return;
      PlaceInBand(window, true);
    }
    s.ops->showWindow(r, true);
    InvalidateAll(r, true);
  }
  if (activate && r->parent == nullptr && !r->minimized) {
    RaiseTopLevel(window);
    ActivateTopLevel(window, WA_ACTIVE, true);
  }
}

void SetMinimized(WindowRecord* r, bool minimized) {
  CoreState& s = State();
  if (r->parent != nullptr || r->minimized == minimized) return;
  s.ops->iconify(r, minimized);
  OnIconified(r, minimized);
}

}  // namespace

bool ShowWindow(WindowHandle window, int command) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  bool wasVisible = (r->style & WS_VISIBLE) != 0;
  switch (command) {
    case SW_HIDE:
      if (wasVisible) HideInternal(r);
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      ShowInternal(r, false);
      if ((r = Find(window)) != nullptr) SetMinimized(r, true);
      break;
    case SW_RESTORE:
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED:
      SetMinimized(r, false);
      if ((r = Find(window)) != nullptr) ShowInternal(r, true);
      break;
    case SW_SHOWNA:
    case SW_SHOWNOACTIVATE:
      ShowInternal(r, false);
      break;
    default:
      ShowInternal(r, true);
      break;
  }
  return wasVisible;
}

bool IsWindowVisible(WindowHandle window) {
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  for (; r != nullptr; r = Find(r->parent)) {
    if (!(r->style & WS_VISIBLE)) return false;
  }
  return true;
}

bool IsIconic(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r != nullptr && r->minimized;
}

bool MoveWindow(WindowHandle window, int32_t x, int32_t y, int32_t width, int32_t height,
                bool repaint) {
  return SetWindowPos(window, nullptr, x, y, width, height,
                      SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

namespace {

void ApplyZOrder(WindowRecord* r, WindowHandle insertAfter) {
  CoreState& s = State();
  if (r->parent != nullptr) {
    auto& list = Find(r->parent)->children;
    list.erase(std::remove(list.begin(), list.end(), r->handle), list.end());
    if (insertAfter == HWND_BOTTOM) {
      list.insert(list.begin(), r->handle);
    } else {
      list.push_back(r->handle);
    }
    s.ops->restack(r);
    return;
  }
  if (insertAfter == HWND_TOPMOST) r->topmost = true;
  if (insertAfter == HWND_NOTOPMOST) r->topmost = false;
  if (insertAfter == HWND_BOTTOM) {
    PlaceInBand(r->handle, false);
    s.ops->restack(r);
  } else {
    RaiseTopLevel(r->handle);
  }
}

}  // namespace

bool SetWindowPos(WindowHandle window, WindowHandle insertAfter, int32_t x, int32_t y,
                  int32_t width, int32_t height, uint32_t flags) {
  CoreState& s = State();
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  WindowPos pos{window, insertAfter, x, y, width, height, flags};
  if (flags & SWP_NOMOVE) pos.x = r->x, pos.y = r->y;
  if (flags & SWP_NOSIZE) pos.cx = r->width, pos.cy = r->height;
  SendWindowMessage(window, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LParam>(&pos));
  if ((r = Find(window)) == nullptr) return false;

  bool moved = !(pos.flags & SWP_NOMOVE) && (pos.x != r->x || pos.y != r->y);
  bool sized = !(pos.flags & SWP_NOSIZE) &&
               (std::max(pos.cx, 0) != r->width || std::max(pos.cy, 0) != r->height);
  if (moved) r->x = pos.x, r->y = pos.y;
  if (sized) r->width = std::max(pos.cx, 0), r->height = std::max(pos.cy, 0);
  if (moved || sized) s.ops->configure(r);
  if (sized) InvalidateAll(r, true);
  if (!(pos.flags & SWP_NOZORDER)) ApplyZOrder(r, pos.insertAfter);
  if (pos.flags & SWP_SHOWWINDOW) ShowInternal(r, !(pos.flags & SWP_NOACTIVATE));
  if ((pos.flags & SWP_HIDEWINDOW) && (r = Find(window)) && (r->style & WS_VISIBLE)) {
    HideInternal(r);
  }
  if ((r = Find(window)) == nullptr) return true;
  WindowPos done{window, pos.insertAfter, r->x, r->y, r->width, r->height, pos.flags};
  if (!moved) done.flags |= SWP_NOMOVE;
  if (!sized) done.flags |= SWP_NOSIZE;
  if (sized) r->sizeSent = true;
  SendWindowMessage(window, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LParam>(&done));
  return true;
}

bool EnableWindow(WindowHandle window, bool enable) {
  CoreState& s = State();
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  bool wasDisabled = (r->style & WS_DISABLED) != 0;
  if (wasDisabled == !enable) return wasDisabled;
  if (enable) {
    r->style &= ~WS_DISABLED;
  } else {
    r->style |= WS_DISABLED;
    if (IsInside(window, s.capture)) ReleaseCaptureInternal(nullptr);
    if (IsInside(window, s.focus)) SetFocusInternal(nullptr);
  }
  SendWindowMessage(window, WM_ENABLE, enable ? 1 : 0, 0);
  return wasDisabled;
}

bool IsWindowEnabled(WindowHandle window) {
  WindowRecord* r = Find(window);
  return r != nullptr && !(r->style & WS_DISABLED);
}

bool GetClientRect(WindowHandle window, WinRect* out) {
  WindowRecord* r = Find(window);
  if (r == nullptr || out == nullptr) return false;
  *out = WinRect{0, 0, r->width, r->height};
  return true;
}

bool GetWindowRect(WindowHandle window, WinRect* out) {
  WindowRecord* r = Find(window);
  if (r == nullptr || out == nullptr) return false;
  WinPoint o = ScreenOrigin(r);
  *out = WinRect{o.x, o.y, o.x + r->width, o.y + r->height};
  return true;
}

bool ClientToScreen(WindowHandle window, WinPoint* point) {
  WindowRecord* r = Find(window);
  if (r == nullptr || point == nullptr) return false;
  WinPoint o = ScreenOrigin(r);
  point->x += o.x;
  point->y += o.y;
  return true;
}

bool ScreenToClient(WindowHandle window, WinPoint* point) {
  WindowRecord* r = Find(window);
  if (r == nullptr || point == nullptr) return false;
  WinPoint o = ScreenOrigin(r);
  point->x -= o.x;
  point->y -= o.y;
  return true;
}

bool AdjustWindowRectEx(WinRect* rect, uint32_t, bool, uint32_t) { return rect != nullptr; }

bool SetForegroundWindow(WindowHandle window) {
  WindowHandle top = RootOf(window);
  WindowRecord* r = Find(top);
  if (r == nullptr) return false;
  if (r->minimized) SetMinimized(r, false);
  RaiseTopLevel(top);
  ActivateTopLevel(top, WA_ACTIVE, true);
  if ((r = Find(top)) != nullptr) State().ops->activate(r);
  return true;
}

WindowHandle GetActiveTopLevelWindow() { return State().active; }

WindowHandle WindowFromPoint(WinPoint point) { return DeepestWindowAt(point); }

void GetScreenSize(int32_t* width, int32_t* height) {
  int32_t w = 0, h = 0;
  if (State().ops) State().ops->screenSize(&w, &h);
  if (width) *width = w;
  if (height) *height = h;
}

void GetWorkArea(WinRect* out) {
  if (out == nullptr) return;
  *out = WinRect{0, 0, 0, 0};
  if (State().ops) State().ops->workArea(out);
}

uint32_t GetMenuShowDelay() { return 400; }

bool DropShadowsEnabled() { return false; }
