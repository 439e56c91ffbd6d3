// The X connection: opening and closing it, waiting for events, turning
// them into the core's input, and the questions about the screen.
#include <poll.h>
#include <unistd.h>



#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "window/x11/x11_internal.h"

#include <X11/cursorfont.h>

namespace wscore::x11 {

X11State& X() {
  static X11State state;
  return state;
}

namespace {

// Errors of single requests (a focus on a window being unmapped, a grab that
// lost a race) are expected in a live display; they are noted, not fatal.
int NoteError(Display*, XErrorEvent* error) {
  X().lastError = error->error_code;
  return 0;
}

void (*DisplayLostHandler)() = nullptr;

// Xlib calls this when the connection breaks; it must not return to Xlib.
// The session ended (a logout): once the handler has stopped the engine,
// that is a normal end, as after SIGTERM. The windows and their records go
// with the process: the display they lived on is gone, so nothing of them
// is torn down, and no static destructor runs under a window system that
// can no longer answer.
int OnConnectionLost(Display*) {
  if (DisplayLostHandler != nullptr) DisplayLostHandler();
  std::fflush(nullptr);
  std::_Exit(0);
}

Atom Intern(const char* name) { return XInternAtom(X().display, name, False); }

void InternAtoms(Atoms* a) {
  a->wmProtocols = Intern("WM_PROTOCOLS");
  a->wmDeleteWindow = Intern("WM_DELETE_WINDOW");
  a->wmState = Intern("WM_STATE");
  a->wmChangeState = Intern("WM_CHANGE_STATE");
  a->netWmName = Intern("_NET_WM_NAME");
  a->utf8String = Intern("UTF8_STRING");
  a->netWmPid = Intern("_NET_WM_PID");
  a->netWmPing = Intern("_NET_WM_PING");
  a->netWmWindowType = Intern("_NET_WM_WINDOW_TYPE");
  a->typeNormal = Intern("_NET_WM_WINDOW_TYPE_NORMAL");
  a->typeDialog = Intern("_NET_WM_WINDOW_TYPE_DIALOG");
  a->typePopupMenu = Intern("_NET_WM_WINDOW_TYPE_POPUP_MENU");
  a->netWmIcon = Intern("_NET_WM_ICON");
  a->netWorkarea = Intern("_NET_WORKAREA");
  a->netActiveWindow = Intern("_NET_ACTIVE_WINDOW");
  a->netSupportingWmCheck = Intern("_NET_SUPPORTING_WM_CHECK");
  a->wmTakeFocus = Intern("WM_TAKE_FOCUS");
  a->clipboard = Intern("CLIPBOARD");
  a->targets = Intern("TARGETS");
  a->text = Intern("TEXT");
  a->transfer = Intern("AMBREL_SELECTION");
}

// A property of 32-bit items (CARDINAL, WINDOW) as longs; empty when absent.
std::vector<long> LongProperty(Window window, Atom property, Atom type) {
  Atom actualType = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<long> values;
  if (XGetWindowProperty(X().display, window, property, 0, 64, False, type, &actualType, &format,
                         &count, &after, &data) == Success &&
      data != nullptr && format == 32) {
    const long* items = reinterpret_cast<const long*>(data);
    values.assign(items, items + count);
  }
  if (data) XFree(data);
  return values;
}

}  // namespace

}  // namespace wscore::x11

void SetDisplayLostHandler(void (*handler)()) { wscore::x11::DisplayLostHandler = handler; }

namespace wscore::x11 {

bool OpenDisplay() {
  X11State& x = X();
  x = X11State{};
  x.display = XOpenDisplay(nullptr);
  if (x.display == nullptr) {
    // A display that is named but cannot be reached (a stale DISPLAY, a
    // server that went away) is said on the terminal: the program goes on
    // without a window, and the user should know why none appears.
    const char* name = XDisplayName(nullptr);
    if (name != nullptr && name[0] != '\0') {
      std::fprintf(stderr, "cannot open the X display \"%s\"; going on without a window\n", name);
    }
    return false;
  }
  XSetErrorHandler(NoteError);
  XSetIOErrorHandler(OnConnectionLost);
  x.screen = DefaultScreen(x.display);
  x.root = RootWindow(x.display, x.screen);
  x.visual = DefaultVisual(x.display, x.screen);
  x.depth = DefaultDepth(x.display, x.screen);
  x.gc = XCreateGC(x.display, x.root, 0, nullptr);
  x.arrow = XCreateFontCursor(x.display, XC_left_ptr);
  x.hand = XCreateFontCursor(x.display, XC_hand2);
  InternAtoms(&x.atoms);
  XSetWindowAttributes attributes{};
  attributes.event_mask = PropertyChangeMask;
  x.helper = XCreateWindow(x.display, x.root, -10, -10, 1, 1, 0, CopyFromParent, InputOnly,
                           CopyFromParent, CWEventMask, &attributes);
  // Structure events bring the tray host's MANAGER announcements.
  XSelectInput(x.display, x.root, PropertyChangeMask | StructureNotifyMask);
  return true;
}

void CloseDisplay() {
  X11State& x = X();
  if (x.display == nullptr) return;
  XDestroyWindow(x.display, x.helper);
  XFreeCursor(x.display, x.arrow);
  XFreeCursor(x.display, x.hand);
  XFreeGC(x.display, x.gc);
  XCloseDisplay(x.display);
  x = X11State{};
}

Atom SelectionAtom(ClipboardSelection which) {
  return which == ClipboardSelection::kClipboard ? X().atoms.clipboard : XA_PRIMARY;
}

bool HasWindowManager() {
  std::vector<long> check = LongProperty(X().root, X().atoms.netSupportingWmCheck, XA_WINDOW);
  return !check.empty() && check[0] != 0;
}

void Pump() {
  X11State& x = X();
  while (State().running && XPending(x.display) > 0) {
    XEvent event;
    XNextEvent(x.display, &event);
    // A release immediately followed by a press of the same key at the same
    // moment is auto-repeat: one repeated press, no release.
    if (event.type == KeyRelease && XEventsQueued(x.display, QueuedAfterReading) > 0) {
      XEvent next;
      XPeekEvent(x.display, &next);
      if (next.type == KeyPress && next.xkey.keycode == event.xkey.keycode &&
          next.xkey.time == event.xkey.time) {
        XNextEvent(x.display, &next);
        HandleKeyEvent(&next.xkey, true);
        continue;
      }
    }
    HandleEvent(&event);
  }
  ProcessSessionBus();  // method calls on the status icon run here, on the UI thread
  RetryPopupGrab();
  XFlush(x.display);
}

void Wait(int32_t timeoutMs) {
  X11State& x = X();
  XFlush(x.display);
  if (XEventsQueued(x.display, QueuedAlready) > 0) return;
  // The X connection, the wake-up of other threads and the session bus.
  const BusPoll bus = SessionBusPoll();
  pollfd fds[3] = {{ConnectionNumber(x.display), POLLIN, 0},
                   {static_cast<int>(State().wake), POLLIN, 0},
                   {bus.descriptor, bus.events, 0}};
  if (bus.timeoutMs >= 0 && (timeoutMs < 0 || bus.timeoutMs < timeoutMs)) timeoutMs = bus.timeoutMs;
  poll(fds, bus.descriptor >= 0 ? 3 : 2, timeoutMs);
}

void ScreenSize(int32_t* w, int32_t* h) {
  *w = DisplayWidth(X().display, X().screen);
  *h = DisplayHeight(X().display, X().screen);
}

void WorkArea(WinRect* out) {
  int32_t w = 0, h = 0;
  ScreenSize(&w, &h);
  *out = WinRect{0, 0, w, h};
  std::vector<long> area = LongProperty(X().root, X().atoms.netWorkarea, XA_CARDINAL);
  if (area.size() >= 4 && area[2] > 0 && area[3] > 0) {
    *out = WinRect{int32_t(area[0]), int32_t(area[1]), int32_t(area[0] + area[2]),
                   int32_t(area[1] + area[3])};
  }
}

bool QueryPointer(WinPoint* out) {
  Window rootReturn = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(X().display, X().root, &rootReturn, &child, &rootX, &rootY, &winX, &winY,
                     &mask)) {
    return false;
  }
  *out = WinPoint{rootX, rootY};
  return true;
}

namespace {

std::string TitleOf(Window window) {
  X11State& x = X();
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(x.display, window, x.atoms.netWmName, 0, 1024, False, x.atoms.utf8String,
                         &type, &format, &count, &after, &data) == Success &&
      data != nullptr && format == 8) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
    return title;
  }
  if (data) XFree(data);
  char* name = nullptr;
  if (XFetchName(x.display, window, &name) && name != nullptr) {
    title = name;
    XFree(name);
  }
  return title;
}

bool Matches(Window window, const char* className, const char* title) {
  XClassHint hint{};
  if (!XGetClassHint(X().display, window, &hint)) return false;
  bool sameClass = hint.res_class != nullptr && std::strcmp(hint.res_class, className) == 0;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return sameClass && TitleOf(window) == title;
}

// Window managers put client windows one or two levels below the root.
bool SearchTree(Window window, const char* className, const char* title, int depth) {
  Window rootReturn = 0, parent = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(X().display, window, &rootReturn, &parent, &children, &count)) return false;
  bool found = false;
  for (unsigned int i = 0; i < count && !found; ++i) {
    found = Matches(children[i], className, title) ||
            (depth > 1 && SearchTree(children[i], className, title, depth - 1));
  }
  if (children) XFree(children);
  return found;
}

}  // namespace

bool FindTopLevel(const char* className, const char* title) {
  return SearchTree(X().root, className, title, 3);
}

}  // namespace wscore::x11
