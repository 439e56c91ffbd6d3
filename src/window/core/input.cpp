// Focus, activation, capture and the routing of pointer and key input to
// windows. Real input (X11) and injected input take the same path.
#include <cstdlib>

#include "window/core/core.h"

namespace wscore {

void SetFocusInternal(WindowHandle window) {
  CoreState& s = State();
  WindowHandle old = s.focus;
  if (old == window) return;
  s.focus = window;
  if (Find(old)) SendWindowMessage(old, WM_KILLFOCUS, reinterpret_cast<WParam>(window), 0);
  if (s.focus == window && Find(window)) {
    SendWindowMessage(window, WM_SETFOCUS, reinterpret_cast<WParam>(Find(old) ? old : nullptr), 0);
  }
}

void ActivateTopLevel(WindowHandle top, uint32_t how, bool tellBackend) {
  CoreState& s = State();
  if (top == s.active) return;
  WindowHandle old = s.active;
  s.active = top;
  if (Find(old)) SendWindowMessage(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LParam>(top));
  if (s.active == top && Find(top)) {
    SendWindowMessage(top, WM_ACTIVATE, how, reinterpret_cast<LParam>(Find(old) ? old : nullptr));
  }
  if (s.active != top) return;  // a procedure activated another window meanwhile
  if (top == nullptr) {
    SetFocusInternal(nullptr);
    return;
  }
  if (Find(top) == nullptr) return;
  if (s.focus == nullptr || RootOf(s.focus) != top) SetFocusInternal(top);
  if (tellBackend && Find(top)) s.ops->activate(Find(top));
}

void ActivateAfterLoss(WindowHandle lost) {
  WindowRecord* r = Find(lost);
  WindowRecord* owner = r ? Find(r->owner) : nullptr;
  bool usable = owner && (owner->style & WS_VISIBLE) && !(owner->style & WS_DISABLED) &&
                !owner->minimized && !owner->destroying;
  ActivateTopLevel(usable ? owner->handle : nullptr, WA_ACTIVE, usable);
}

void ReleaseCaptureInternal(WindowHandle newHolder) {
  CoreState& s = State();
  WindowHandle old = s.capture;
  if (old == nullptr) return;
  s.capture = newHolder;
  s.ops->setCapture(Find(newHolder));
  if (Find(old)) SendWindowMessage(old, WM_CAPTURECHANGED, 0, reinterpret_cast<LParam>(newHolder));
  // The window under the pointer hears of it at once, as if the pointer had
  // moved: a hover control that lets go as the pointer leaves it must not
  // swallow the one move that reached the list it opened, or a click that
  // follows a single jump (a touch screen, a warped pointer) lands on a list
  // with nothing highlighted. A move already waiting does the same.
  if (s.capture == nullptr && (s.input.empty() || s.input.back().kind != InputKind::kMove)) {
    InputEvent move;
    move.kind = InputKind::kMove;
    move.x = s.pointer.x;
    move.y = s.pointer.y;
    s.input.push_back(move);
  }
}

void PushInput(const InputEvent& event) {
  CoreState& s = State();
  // Consecutive moves collapse into the last one, as a busy loop would see them.
  if (event.kind == InputKind::kMove && !s.input.empty() &&
      s.input.back().kind == InputKind::kMove) {
    s.input.back() = event;
    return;
  }
  s.input.push_back(event);
}

void OnFocusChange(WindowRecord* top, bool in) {
  CoreState& s = State();
  if (in) {
    if (s.active != top->handle && (top->style & WS_VISIBLE)) {
      ActivateTopLevel(top->handle, WA_ACTIVE, false);
    }
  } else if (s.active == top->handle) {
    ActivateTopLevel(nullptr, WA_INACTIVE, false);
  }
}

void OnCloseRequest(WindowRecord* top) { SendWindowMessage(top->handle, WM_CLOSE, 0, 0); }

namespace {

void Queue(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  CoreState& s = State();
  s.inputMessages.push_back(
      WindowMessage{window, message, wParam, lParam, static_cast<uint32_t>(NowMs()), s.pointer});
}

bool Usable(WindowHandle window) {
  WindowRecord* r = Find(window);
  WindowRecord* root = Find(RootOf(window));
  return r && root && !(r->style & WS_DISABLED) && !(root->style & WS_DISABLED);
}

uint32_t MouseKeys() { return State().modifiers & 0xFFFF; }

// Updates the pointer window and sends a pending WM_MOUSELEAVE.
WindowHandle TrackPointer() {
  CoreState& s = State();
  WindowHandle under = DeepestWindowAt(s.pointer);
  if (under != s.pointerWindow) {
    WindowRecord* old = Find(s.pointerWindow);
    if (old && old->trackLeave) {
      old->trackLeave = false;
      Queue(old->handle, WM_MOUSELEAVE, 0, 0);
    }
    s.pointerWindow = under;
  }
  return under;
}

void RouteMouse(uint32_t message) {
  CoreState& s = State();
  WindowHandle under = TrackPointer();
  WindowHandle target = Find(s.capture) ? s.capture : under;
  if (target == nullptr || (target != s.capture && !Usable(target))) return;
  WinPoint origin = ScreenOrigin(Find(target));
  Queue(target, message, MouseKeys(), MakeLParam(s.pointer.x - origin.x, s.pointer.y - origin.y));
}

uint32_t ButtonMessage(MouseButton button, bool down) {
  switch (button) {
    case MouseButton::kLeft: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case MouseButton::kRight: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    default: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
  }
}

uint32_t ButtonBit(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft: return MK_LBUTTON;
    case MouseButton::kRight: return MK_RBUTTON;
    default: return MK_MBUTTON;
  }
}

// A second press soon after the first, nearby, on a CS_DBLCLKS window.
uint32_t MaybeDoubleClick(WindowHandle target, uint32_t message) {
  CoreState& s = State();
  WindowRecord* r = Find(target);
  uint64_t now = NowMs();
  bool isDouble = r && (r->windowClass->style & CS_DBLCLKS) && s.lastClickWindow == target &&
                  s.lastClickMessage == message && now - s.lastClickTime <= 500 &&
                  std::abs(s.pointer.x - s.lastClickPoint.x) <= 4 &&
                  std::abs(s.pointer.y - s.lastClickPoint.y) <= 4;
  s.lastClickWindow = isDouble ? nullptr : target;
  s.lastClickMessage = message;
  s.lastClickTime = now;
  s.lastClickPoint = s.pointer;
  return isDouble ? message + 2 : message;  // WM_xBUTTONDBLCLK follows WM_xBUTTONUP
}

// A press outside every window of ours while a popup holds the grab: the
// popup hears of it in its own client coordinates, and nobody else does.
bool RouteToPopupGrab(uint32_t message) {
  CoreState& s = State();
  WindowRecord* holder = Find(s.popupGrab);
  if (holder == nullptr) return false;
  TrackPointer();
  WinPoint origin = ScreenOrigin(holder);
  Queue(holder->handle, message, MouseKeys(),
        MakeLParam(s.pointer.x - origin.x, s.pointer.y - origin.y));
  return true;
}

void RouteButton(const InputEvent& e) {
  CoreState& s = State();
  uint32_t message = ButtonMessage(e.button, e.down);
  if (e.down && !Find(s.capture)) {
    WindowHandle under = DeepestWindowAt(s.pointer);
    if (under == nullptr && RouteToPopupGrab(message)) return;
    WindowHandle top = RootOf(under);
    if (top && Usable(under) && top != s.active) {
      RaiseTopLevel(top);
      ActivateTopLevel(top, WA_CLICKACTIVE, true);
    }
    if (Find(under)) message = MaybeDoubleClick(under, message);
  }
  RouteMouse(message);
}

void RouteWheel(const InputEvent& e) {
  CoreState& s = State();
  WindowHandle target = Find(s.capture) ? s.capture : Find(s.focus) ? s.focus : s.active;
  if (!Usable(target)) return;
  WParam wParam = (static_cast<uint32_t>(e.delta & 0xFFFF) << 16) | MouseKeys();
  Queue(target, WM_MOUSEWHEEL, wParam, MakeLParam(s.pointer.x, s.pointer.y));
}

void RouteKey(const InputEvent& e) {
  CoreState& s = State();
  WindowHandle target = Find(s.focus) ? s.focus : s.active;
  if (!Usable(target)) return;
  bool alt = (s.modifiers & kAltDown) != 0;
  LParam lParam = 1;
  if (e.repeat) lParam |= LParam(1) << 30;
  if (!e.down) lParam |= LParam(3) << 30;
  uint32_t message = e.down ? (alt ? WM_SYSKEYDOWN : WM_KEYDOWN) : (alt ? WM_SYSKEYUP : WM_KEYUP);
  Queue(target, message, e.virtualKey, lParam);
  if (!e.down) return;
  for (char32_t c : e.chars) Queue(target, alt ? WM_SYSCHAR : WM_CHAR, c, lParam);
}

// Key state as of this event: the backend's report, then the event's own change.
void ApplyModifiers(const InputEvent& e) {
  CoreState& s = State();
  if (e.hasModifiers) s.modifiers = e.modifiers;
  auto set = [&s](uint32_t bit, bool on) { s.modifiers = on ? s.modifiers | bit : s.modifiers & ~bit; };
  if (e.kind == InputKind::kButton) set(ButtonBit(e.button), e.down);
  if (e.kind != InputKind::kKey) return;
  if (e.virtualKey < 256) s.keysDown[e.virtualKey] = e.down;
  if (e.virtualKey == VK_SHIFT) set(MK_SHIFT, e.down);
  if (e.virtualKey == VK_CONTROL) set(MK_CONTROL, e.down);
  if (e.virtualKey == VK_MENU) set(kAltDown, e.down);
}

}  // namespace

bool RouteNextInput() {
  CoreState& s = State();
  if (s.input.empty()) return false;
  InputEvent e = s.input.front();
  s.input.pop_front();
  ApplyModifiers(e);
  if (e.kind != InputKind::kKey) s.pointer = WinPoint{e.x, e.y};
  switch (e.kind) {
    case InputKind::kMove: RouteMouse(WM_MOUSEMOVE); break;
    case InputKind::kButton: RouteButton(e); break;
    case InputKind::kWheel: RouteWheel(e); break;
    case InputKind::kKey: RouteKey(e); break;
  }
  return true;
}

}  // namespace wscore

using namespace wscore;

WindowHandle SetFocus(WindowHandle window) {
  CoreState& s = State();
  WindowHandle previous = s.focus;
  if (window == nullptr) {
    SetFocusInternal(nullptr);
    return previous;
  }
  WindowRecord* r = Find(window);
  if (r == nullptr || (r->style & WS_DISABLED)) return nullptr;
  WindowHandle top = RootOf(window);
  if (top != s.active) ActivateTopLevel(top, WA_ACTIVE, true);
  if (Find(window) != nullptr) SetFocusInternal(window);
  return previous;
}

WindowHandle GetFocusWindow() { return State().focus; }

WindowHandle SetCapture(WindowHandle window) {
  CoreState& s = State();
  WindowHandle previous = s.capture;
  if (Find(window) == nullptr || previous == window) return previous;
  if (previous == nullptr) {
    s.capture = window;
    s.ops->setCapture(Find(window));
  } else {
    ReleaseCaptureInternal(window);
  }
  return previous;
}

WindowHandle GetCaptureWindow() { return State().capture; }

bool SetPopupGrab(WindowHandle window) {
  CoreState& s = State();
  WindowRecord* r = Find(window);
  if (r == nullptr || r->parent != nullptr || !(r->style & WS_VISIBLE)) return false;
  s.popupGrab = window;
  s.ops->setPopupGrab(r);
  return true;
}

bool ReleasePopupGrab(WindowHandle window) {
  CoreState& s = State();
  if (window == nullptr || s.popupGrab != window) return false;
  s.popupGrab = nullptr;
  s.ops->setPopupGrab(nullptr);
  return true;
}

WindowHandle GetPopupGrabWindow() { return State().popupGrab; }

void wscore::ReleasePopupGrabInside(WindowHandle window) {
  if (IsInside(window, State().popupGrab)) ReleasePopupGrab(State().popupGrab);
}

bool ReleaseMouseCapture() {
  ReleaseCaptureInternal(nullptr);
  return true;
}

bool TrackMouseLeave(WindowHandle window) {
  CoreState& s = State();
  WindowRecord* r = Find(window);
  if (r == nullptr) return false;
  if (s.pointerWindow != window) {
    Queue(window, WM_MOUSELEAVE, 0, 0);
  } else {
    r->trackLeave = true;
  }
  return true;
}

bool IsKeyDown(uint32_t virtualKey) {
  CoreState& s = State();
  switch (virtualKey) {
    case VK_SHIFT: return (s.modifiers & MK_SHIFT) != 0;
    case VK_CONTROL: return (s.modifiers & MK_CONTROL) != 0;
    case VK_MENU: return (s.modifiers & kAltDown) != 0;
    case VK_LBUTTON: return (s.modifiers & MK_LBUTTON) != 0;
    case VK_RBUTTON: return (s.modifiers & MK_RBUTTON) != 0;
    case VK_MBUTTON: return (s.modifiers & MK_MBUTTON) != 0;
    default: return virtualKey < 256 && s.keysDown[virtualKey];
  }
}

void SetCursorShape(CursorShape shape) {
  CoreState& s = State();
  WindowRecord* r = Find(Find(s.capture) ? s.capture : s.pointerWindow);
  if (r == nullptr || r->cursor == shape) return;
  r->cursor = shape;
  s.ops->setCursor(r);
}

CursorShape GetCursorShape() {
  CoreState& s = State();
  WindowRecord* r = Find(Find(s.capture) ? s.capture : s.pointerWindow);
  return r ? r->cursor : CursorShape::kArrow;
}

bool GetCursorPos(WinPoint* out) {
  CoreState& s = State();
  if (out == nullptr || !s.running) return false;
  return s.ops->queryPointer(out);
}
