// X events turned into the core's input and notifications: one small
// handler per event type, keys translated to Win32 virtual keys.


#include "window/x11/x11_internal.h"

#include <X11/keysym.h>

namespace wscore::x11 {

uint32_t ModifiersFromState(unsigned int state) {
  uint32_t m = 0;
  if (state & ShiftMask) m |= MK_SHIFT;
  if (state & ControlMask) m |= MK_CONTROL;
  if (state & Mod1Mask) m |= kAltDown;
  if (state & Button1Mask) m |= MK_LBUTTON;
  if (state & Button2Mask) m |= MK_MBUTTON;
  if (state & Button3Mask) m |= MK_RBUTTON;
  return m;
}

namespace {

inline constexpr uint32_t kVkPacket = 0xE7;

struct KeyMapping {
  KeySym keysym;
  uint32_t vk;
};

constexpr KeyMapping kKeys[] = {
    {XK_BackSpace, VK_BACK},   {XK_Tab, VK_TAB},         {XK_ISO_Left_Tab, VK_TAB},
    {XK_Return, VK_RETURN},    {XK_KP_Enter, VK_RETURN}, {XK_Escape, VK_ESCAPE},
    {XK_space, VK_SPACE},      {XK_Prior, VK_PRIOR},     {XK_Next, VK_NEXT},
    {XK_End, VK_END},          {XK_Home, VK_HOME},       {XK_Left, VK_LEFT},
    {XK_Up, VK_UP},            {XK_Right, VK_RIGHT},     {XK_Down, VK_DOWN},
    {XK_Insert, VK_INSERT},    {XK_Delete, VK_DELETE},   {XK_KP_Prior, VK_PRIOR},
    {XK_KP_Next, VK_NEXT},     {XK_KP_End, VK_END},      {XK_KP_Home, VK_HOME},
    {XK_KP_Left, VK_LEFT},     {XK_KP_Up, VK_UP},        {XK_KP_Right, VK_RIGHT},
    {XK_KP_Down, VK_DOWN},     {XK_KP_Insert, VK_INSERT}, {XK_KP_Delete, VK_DELETE},
    {XK_Shift_L, VK_SHIFT},    {XK_Shift_R, VK_SHIFT},   {XK_Control_L, VK_CONTROL},
    {XK_Control_R, VK_CONTROL}, {XK_Alt_L, VK_MENU},     {XK_Alt_R, VK_MENU},
    {XK_Meta_L, VK_MENU},      {XK_Meta_R, VK_MENU},     {XK_semicolon, 0xBA},
    {XK_equal, 0xBB},          {XK_comma, 0xBC},         {XK_minus, 0xBD},
    {XK_period, 0xBE},         {XK_slash, 0xBF},         {XK_grave, 0xC0},
    {XK_bracketleft, 0xDB},    {XK_backslash, 0xDC},     {XK_bracketright, 0xDD},
    {XK_apostrophe, 0xDE},
};

uint32_t VirtualKeyOf(KeySym keysym) {
  if (keysym >= XK_a && keysym <= XK_z) return static_cast<uint32_t>(keysym - XK_a + 'A');
  if (keysym >= XK_A && keysym <= XK_Z) return static_cast<uint32_t>(keysym);
  if (keysym >= XK_0 && keysym <= XK_9) return static_cast<uint32_t>(keysym);
  if (keysym >= XK_F1 && keysym <= XK_F24) return static_cast<uint32_t>(VK_F1 + (keysym - XK_F1));
  for (const KeyMapping& k : kKeys) {
    if (k.keysym == keysym) return k.vk;
  }
  return 0;
}

// The character a press makes: Latin-1 and control codes from the lookup,
// other scripts from the keysym; none for Delete (as Win32 has it).
char32_t CharacterOf(KeySym keysym, const char* looked, int lookedLength) {
  if (keysym == XK_Delete || keysym == XK_KP_Delete) return 0;
  if (keysym == XK_ISO_Left_Tab) return 9;
  if (keysym == XK_KP_Enter) return 13;
  if (lookedLength == 1) return static_cast<unsigned char>(looked[0]);
  if ((keysym & 0xFF000000) == 0x01000000) return static_cast<char32_t>(keysym & 0x00FFFFFF);
  return 0;
}

// Top-level windows report where they are with every pointer event.
void NotePosition(Window window, int x, int y, int rootX, int rootY) {
  WindowRecord* r = FindByNative(window);
  if (r != nullptr && r->parent == nullptr) OnTopLevelPosition(r, rootX - x, rootY - y);
}

void PushPointer(InputKind kind, int rootX, int rootY, unsigned int state) {
  InputEvent e;
  e.kind = kind;
  e.x = rootX;
  e.y = rootY;
  e.modifiers = ModifiersFromState(state);
  e.hasModifiers = true;
  PushInput(e);
}

void OnButton(XButtonEvent* e, bool down) {
  X().lastEventTime = e->time;
  NotePosition(e->window, e->x, e->y, e->x_root, e->y_root);
  if (e->button == Button4 || e->button == Button5) {
    if (!down) return;
    InputEvent wheel;
    wheel.kind = InputKind::kWheel;
    wheel.x = e->x_root;
    wheel.y = e->y_root;
    wheel.delta = e->button == Button4 ? WHEEL_DELTA : -WHEEL_DELTA;
    wheel.modifiers = ModifiersFromState(e->state);
    wheel.hasModifiers = true;
    PushInput(wheel);
    return;
  }
  if (e->button > Button3) return;
  InputEvent b;
  b.kind = InputKind::kButton;
  b.x = e->x_root;
  b.y = e->y_root;
  b.down = down;
  b.button = e->button == Button1 ? MouseButton::kLeft
             : e->button == Button2 ? MouseButton::kMiddle : MouseButton::kRight;
  b.modifiers = ModifiersFromState(e->state);
  b.hasModifiers = true;
  PushInput(b);
}

void OnConfigure(XConfigureEvent* e) {
  X11State& x = X();
  WindowRecord* r = FindByNative(e->window);
  if (r == nullptr || r->parent != nullptr) return;
  auto pending = x.configureSerial.find(e->window);
  if (pending != x.configureSerial.end() && e->serial < pending->second) return;  // stale
  int rootX = e->x, rootY = e->y;
  if (!e->send_event) {
    Window child = 0;
    XTranslateCoordinates(x.display, e->window, x.root, 0, 0, &rootX, &rootY, &child);
  }
  OnTopLevelConfigured(r, rootX, rootY, e->width, e->height);
}

void OnFocus(XFocusChangeEvent* e, bool in) {
  X11State& x = X();
  if (e->mode == NotifyGrab || e->mode == NotifyUngrab) return;
  if (e->detail == NotifyInferior || e->detail == NotifyPointer) return;
  if (e->serial < x.focusSerial) return;  // answers an older focus request
  if (x.popupGrab != 0) return;  // an open menu holds the keyboard; the focus moves with it
  WindowRecord* r = FindByNative(e->window);
  if (r != nullptr && r->parent == nullptr) OnFocusChange(r, in);
}

// A window waiting for the keyboard gets it once it is viewable: its own
// map, or the window manager's map of its frame (a visibility change).
void FocusIfPending(Window window) {
  X11State& x = X();
  if (x.pendingFocus == window && TakeInputFocus(window, CurrentTime)) x.pendingFocus = 0;
}

void OnMap(XMapEvent* e) {
  X().viewable.insert(e->window);
  FocusIfPending(e->window);
}

// WM_STATE tells whether a window manager iconified or restored a window.
void OnProperty(XPropertyEvent* e) {
  X11State& x = X();
  if (e->atom != x.atoms.wmState) return;
  WindowRecord* r = FindByNative(e->window);
  if (r == nullptr || !(r->style & WS_VISIBLE)) return;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(x.display, e->window, x.atoms.wmState, 0, 2, False, x.atoms.wmState,
                         &type, &format, &count, &after, &data) == Success &&
      data != nullptr && format == 32 && count >= 1) {
    long state = reinterpret_cast<long*>(data)[0];
    if (state == IconicState || state == NormalState) OnIconified(r, state == IconicState);
  }
  if (data) XFree(data);
}

void OnClientMessage(XClientMessageEvent* e) {
  X11State& x = X();
  if (e->message_type != x.atoms.wmProtocols || e->format != 32) return;
  Atom protocol = static_cast<Atom>(e->data.l[0]);
  if (protocol == x.atoms.wmDeleteWindow) {
    if (WindowRecord* r = FindByNative(e->window)) OnCloseRequest(r);
  } else if (protocol == x.atoms.wmTakeFocus) {
    // Only a window that takes input accepts: a disabled owner's box does.
    WindowRecord* r = FindByNative(e->window);
    if (r != nullptr && !(r->style & WS_DISABLED)) {
      TakeInputFocus(e->window, static_cast<Time>(e->data.l[1]));
    }
  } else if (protocol == x.atoms.netWmPing) {
    XClientMessageEvent reply = *e;
    reply.window = x.root;
    XSendEvent(x.display, x.root, False, SubstructureNotifyMask | SubstructureRedirectMask,
               reinterpret_cast<XEvent*>(&reply));
  }
}

}  // namespace

void HandleKeyEvent(XKeyEvent* e, bool repeat) {
  X().lastEventTime = e->time;
  char looked[8] = {};
  KeySym keysym = NoSymbol;
  int length = XLookupString(e, looked, sizeof looked, &keysym, nullptr);
  InputEvent k;
  k.kind = InputKind::kKey;
  k.down = e->type == KeyPress;
  k.repeat = repeat;
  k.virtualKey = VirtualKeyOf(keysym);
  k.modifiers = ModifiersFromState(e->state);
  k.hasModifiers = true;
  char32_t c = k.down ? CharacterOf(keysym, looked, length) : 0;
  if (c != 0) k.chars.push_back(c);
  if (k.virtualKey == 0) {
    if (c == 0) return;
    k.virtualKey = kVkPacket;
  }
  PushInput(k);
}

void HandleEvent(XEvent* event) {
  if (HandleTrayEvent(event)) return;
  switch (event->type) {
    case Expose: {
      XExposeEvent& e = event->xexpose;
      if (WindowRecord* r = FindByNative(e.window)) {
        OnExpose(r, WinRect{e.x, e.y, e.x + e.width, e.y + e.height});
      }
      break;
    }
    case ButtonPress: OnButton(&event->xbutton, true); break;
    case ButtonRelease: OnButton(&event->xbutton, false); break;
    case MotionNotify: {
      XMotionEvent& e = event->xmotion;
      NotePosition(e.window, e.x, e.y, e.x_root, e.y_root);
      PushPointer(InputKind::kMove, e.x_root, e.y_root, e.state);
      break;
    }
    case EnterNotify:
    case LeaveNotify: {
      XCrossingEvent& e = event->xcrossing;
      if (e.mode == NotifyNormal && e.detail != NotifyInferior) {
        PushPointer(InputKind::kMove, e.x_root, e.y_root, e.state);
      }
      break;
    }
    case KeyPress:
    case KeyRelease: HandleKeyEvent(&event->xkey, false); break;
    case FocusIn: OnFocus(&event->xfocus, true); break;
    case FocusOut: OnFocus(&event->xfocus, false); break;
    case ConfigureNotify: OnConfigure(&event->xconfigure); break;
    case MapNotify: OnMap(&event->xmap); break;
    case VisibilityNotify: FocusIfPending(event->xvisibility.window); break;
    case UnmapNotify: X().viewable.erase(event->xunmap.window); break;
    case PropertyNotify: OnProperty(&event->xproperty); break;
    case ClientMessage: OnClientMessage(&event->xclient); break;
    case SelectionRequest: HandleSelectionRequest(&event->xselectionrequest); break;
    case SelectionClear: HandleSelectionClear(&event->xselectionclear); break;
    default: break;
  }
}

}  // namespace wscore::x11
