// Windows as X windows: creation, mapping, geometry, stacking, focus,
// properties for the window manager, cursors, the pointer grab that stands
// for mouse capture, and putting pixels on the screen.
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "window/tray_core.h"
#include "window/x11/x11_internal.h"

namespace wscore::x11 {

bool OpenDisplay();
void CloseDisplay();
void Pump();
void Wait(int32_t timeoutMs);

namespace {

Window NativeOf(const WindowRecord* r) { return static_cast<Window>(r->native); }

void SetUtf8Property(Window window, Atom property, const std::string& text) {
  XChangeProperty(X().display, window, property, X().atoms.utf8String, 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}

// What a window manager needs to know about a top-level window.
void DescribeTopLevel(WindowRecord* r) {
  X11State& x = X();
  Window w = NativeOf(r);
  XClassHint hint{};
  hint.res_name = const_cast<char*>(r->windowClass->name.c_str());
  hint.res_class = const_cast<char*>(r->windowClass->name.c_str());
  XSetClassHint(x.display, w, &hint);
  XStoreName(x.display, w, r->text.c_str());
  SetUtf8Property(w, x.atoms.netWmName, r->text);
  // WM_TAKE_FOCUS: a window manager that hands the keyboard over by asking
  // (twm, and others of the old school) gets it taken at once.
  Atom protocols[] = {x.atoms.wmDeleteWindow, x.atoms.wmTakeFocus};
  XSetWMProtocols(x.display, w, protocols, 2);
  long pid = static_cast<long>(getpid());
  XChangeProperty(x.display, w, x.atoms.netWmPid, XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&pid), 1);
  Atom type = (r->style & WS_POPUP) ? x.atoms.typePopupMenu
              : r->owner           ? x.atoms.typeDialog
                                   : x.atoms.typeNormal;
  XChangeProperty(x.display, w, x.atoms.netWmWindowType, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&type), 1);
  XWMHints wmHints{};
  wmHints.flags = InputHint | StateHint;
  wmHints.input = True;
  wmHints.initial_state = NormalState;
  XSetWMHints(x.display, w, &wmHints);
  if (WindowRecord* owner = Find(r->owner)) XSetTransientForHint(x.display, w, NativeOf(owner));
}

void CreateWindow(WindowRecord* r) {
  X11State& x = X();
  bool topLevel = r->parent == nullptr;
  Window parent = topLevel ? x.root : NativeOf(Find(r->parent));
  XSetWindowAttributes a{};
  unsigned long mask = CWBackPixmap | CWEventMask | CWCursor | CWBitGravity;
  a.background_pixmap = None;  // every paint covers the window; nothing to clear first
  a.bit_gravity = NorthWestGravity;
  a.cursor = r->cursor == CursorShape::kHand ? x.hand : x.arrow;
  a.event_mask = ExposureMask;
  if (topLevel) {
    // Pointer events of children reach the top-level window, which routes
    // them by screen position; keys go to the focus the core keeps.
    a.event_mask |= ButtonPressMask | ButtonReleaseMask | PointerMotionMask | EnterWindowMask |
                    LeaveWindowMask | KeyPressMask | KeyReleaseMask | FocusChangeMask |
                    StructureNotifyMask | PropertyChangeMask | VisibilityChangeMask;
  }
  if (topLevel && (r->style & WS_POPUP)) {
    a.override_redirect = True;
    mask |= CWOverrideRedirect;
  }
  Window w = XCreateWindow(x.display, parent, r->x, r->y, std::max(r->width, 1),
                           std::max(r->height, 1), 0, CopyFromParent, InputOutput, CopyFromParent,
                           mask, &a);
  r->native = static_cast<uintptr_t>(w);
  if (topLevel) DescribeTopLevel(r);
}

void DestroyWindow(WindowRecord* r) {
  X11State& x = X();
  Window w = NativeOf(r);
  if (x.pendingFocus == w) x.pendingFocus = 0;
  x.viewable.erase(w);
  x.configureSerial.erase(w);
  XDestroyWindow(x.display, w);
}

void ShowWindow(WindowRecord* r, bool show) {
  X11State& x = X();
  Window w = NativeOf(r);
  if (show) {
    XMapWindow(x.display, w);
  } else if (r->parent == nullptr && !(r->style & WS_POPUP)) {
    XWithdrawWindow(x.display, w, x.screen);
  } else {
    XUnmapWindow(x.display, w);
  }
  if (!show && x.pendingFocus == w) x.pendingFocus = 0;
}

// Whether a window manager looks after the window: every one of them, also
// those of the old school without the _NET_ hints, puts WM_STATE on the
// windows it manages.
bool Managed(Window w) {
  X11State& x = X();
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool has = XGetWindowProperty(x.display, w, x.atoms.wmState, 0, 1, False, x.atoms.wmState, &type,
                                &format, &count, &after, &data) == Success &&
             type == x.atoms.wmState;
  if (data) XFree(data);
  return has;
}

// With a window manager, iconify through it; without one, an iconified
// window simply leaves the screen until it is restored.
void Iconify(WindowRecord* r, bool minimize) {
  X11State& x = X();
  Window w = NativeOf(r);
  if (!minimize) {
    XMapWindow(x.display, w);
  } else if (HasWindowManager() || Managed(w)) {
    XIconifyWindow(x.display, w, x.screen);
  } else {
    XUnmapWindow(x.display, w);
  }
}

void Configure(WindowRecord* r) {
  X11State& x = X();
  Window w = NativeOf(r);
  x.configureSerial[w] = NextRequest(x.display);
  XMoveResizeWindow(x.display, w, r->x, r->y, std::max(r->width, 1), std::max(r->height, 1));
}

void Restack(WindowRecord* r) {
  X11State& x = X();
  const std::vector<WindowHandle>& siblings =
      r->parent ? Find(r->parent)->children : State().topLevels;
  bool bottom = !siblings.empty() && siblings.front() == r->handle && siblings.size() > 1;
  if (bottom) {
    XLowerWindow(x.display, NativeOf(r));
  } else {
    XRaiseWindow(x.display, NativeOf(r));
  }
}

// The keyboard goes to the window once it can be seen: at once when it is
// viewable, else when the window manager has mapped its frame (the map or
// visibility event then takes it). A window manager that offers
// _NET_ACTIVE_WINDOW is asked as well, so it raises the window and keeps
// its own idea of the active one.
void Activate(WindowRecord* r) {
  X11State& x = X();
  Window w = NativeOf(r);
  if (x.viewable.count(w) == 0 || !TakeInputFocus(w, CurrentTime)) {
    x.pendingFocus = w;
    return;
  }
  if (HasWindowManager() && !(r->style & WS_POPUP)) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = x.atoms.netActiveWindow;
    e.xclient.format = 32;
    e.xclient.data.l[0] = 1;  // a normal application asks
    e.xclient.data.l[1] = static_cast<long>(x.lastEventTime);
    XSendEvent(x.display, x.root, False, SubstructureNotifyMask | SubstructureRedirectMask, &e);
  }
}

void SetTitle(WindowRecord* r) {
  XStoreName(X().display, NativeOf(r), r->text.c_str());
  SetUtf8Property(NativeOf(r), X().atoms.netWmName, r->text);
}

// WM_NORMAL_HINTS: the client limits (frames are the window manager's, so
// the outer limits are the client limits) and the position we asked for.
void SetSizeHints(WindowRecord* r, const MinMaxInfo& info) {
  XSizeHints hints{};
  hints.flags = PPosition | USPosition;
  hints.x = r->x;
  hints.y = r->y;
  if (info.minTrackSize.x > 1 || info.minTrackSize.y > 1) {
    hints.flags |= PMinSize;
    hints.min_width = std::max(info.minTrackSize.x, 1);
    hints.min_height = std::max(info.minTrackSize.y, 1);
  }
  if (info.maxTrackSize.x < 32767 || info.maxTrackSize.y < 32767) {
    hints.flags |= PMaxSize;
    hints.max_width = std::max(info.maxTrackSize.x, 1);
    hints.max_height = std::max(info.maxTrackSize.y, 1);
  }
  XSetWMNormalHints(X().display, NativeOf(r), &hints);
}

void SetIcon(WindowRecord* r, const IconPixels* images, int32_t count) {
  // _NET_WM_ICON: width, height and the pixels of each size, one after another.
  std::vector<long> data;
  for (const IconPixels* image = images; image != images + count; ++image) {
    data.push_back(image->width);
    data.push_back(image->height);
    for (int32_t i = 0; i < image->width * image->height; ++i) {
      data.push_back(static_cast<long>(image->pixels[i]));
    }
  }
  XChangeProperty(X().display, NativeOf(r), X().atoms.netWmIcon, XA_CARDINAL, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(data.data()),
                  static_cast<int>(data.size()));
}

void SetCursor(WindowRecord* r) {
  XDefineCursor(X().display, NativeOf(r), r->cursor == CursorShape::kHand ? X().hand : X().arrow);
}

constexpr unsigned kGrabEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;

// The menu grab reports our own windows' events as usual (owner events) and
// everything else to the menu. The keyboard is grabbed too, so that a
// window manager that moves the focus with the pointer cannot take the keys
// (and close the menu) while it is open. Another program's grab may hold
// the pointer for a moment (a host still busy with the click that opened
// the menu): the grab is tried again for a second.
void GrabForPopup() {
  X11State& x = X();
  int status = XGrabPointer(x.display, x.popupGrab, True, kGrabEvents, GrabModeAsync,
                            GrabModeAsync, None, None, CurrentTime);
  if (status == GrabSuccess) {
    status = XGrabKeyboard(x.display, x.popupGrab, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  }
  if (x.grabRetryUntil == 0 && status != GrabSuccess) x.grabRetryUntil = NowMs() + 1000;
  if (status == GrabSuccess) x.grabRetryUntil = 0;
}

void SetCapture(WindowRecord* r) {
  X11State& x = X();
  if (r == nullptr) {
    if (x.popupGrab != 0) {
      GrabForPopup();
    } else {
      XUngrabPointer(x.display, CurrentTime);
    }
    return;
  }
  x.grabRetryUntil = 0;
  XGrabPointer(x.display, NativeOf(r), False, kGrabEvents, GrabModeAsync, GrabModeAsync, None,
               None, CurrentTime);
}

void SetPopupGrab(WindowRecord* r) {
  X11State& x = X();
  x.popupGrab = r != nullptr ? NativeOf(r) : 0;
  x.grabRetryUntil = 0;
  if (x.popupGrab == 0) XUngrabKeyboard(x.display, CurrentTime);
  if (State().capture != nullptr) return;  // the capture's grab stands; ours follows it
  if (x.popupGrab != 0) {
    GrabForPopup();
  } else {
    XUngrabPointer(x.display, CurrentTime);
  }
}

// The default visual of every X server we meet stores 0x00RRGGBB in 32 bits,
// which is our pixel layout; XPutImage then copies the rows as they are.
bool Blit(WindowRecord* r, int32_t x0, int32_t y0, int32_t w, int32_t h, const uint32_t* pixels,
          int32_t stride) {
  X11State& x = X();
  if (!IsWindowVisible(r->handle)) return false;
  XImage* image = XCreateImage(x.display, x.visual, static_cast<unsigned>(x.depth), ZPixmap, 0,
                               reinterpret_cast<char*>(const_cast<uint32_t*>(pixels)),
                               static_cast<unsigned>(w), static_cast<unsigned>(h), 32, stride * 4);
  if (image == nullptr) return false;
  XPutImage(x.display, NativeOf(r), x.gc, image, 0, 0, x0, y0, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
  image->data = nullptr;  // the pixels are the caller's
  XDestroyImage(image);
  XFlush(x.display);
  return true;
}

bool CapturePixels(WindowRecord* r, WindowPixels* out) {
  X11State& x = X();
  XSync(x.display, False);
  x.lastError = 0;
  XImage* image = XGetImage(x.display, NativeOf(r), 0, 0, static_cast<unsigned>(std::max(r->width, 1)),
                            static_cast<unsigned>(std::max(r->height, 1)), AllPlanes, ZPixmap);
  if (image == nullptr) return false;
  out->width = image->width;
  out->height = image->height;
  out->pixels.resize(static_cast<size_t>(out->width) * static_cast<size_t>(out->height));
  for (int32_t y = 0; y < out->height; ++y) {
    for (int32_t xx = 0; xx < out->width; ++xx) {
      out->pixels[static_cast<size_t>(y) * static_cast<size_t>(out->width) + static_cast<size_t>(xx)] =
          static_cast<uint32_t>(XGetPixel(image, xx, y)) & 0x00FFFFFF;
    }
  }
  XDestroyImage(image);
  return true;
}

bool Open() {
  if (!OpenDisplay()) return false;
  X11State& x = X();
  bool usable = x.visual->c_class == TrueColor && x.visual->red_mask == 0xFF0000 &&
                x.visual->green_mask == 0xFF00 && x.visual->blue_mask == 0xFF && x.depth >= 24;
  if (!usable) CloseDisplay();
  return usable;
}

const BackendOps kX11Ops = {
    .open = Open,
    .close = CloseDisplay,
    .createWindow = CreateWindow,
    .destroyWindow = DestroyWindow,
    .showWindow = ShowWindow,
    .iconify = Iconify,
    .configure = Configure,
    .restack = Restack,
    .activate = Activate,
    .setTitle = SetTitle,
    .setSizeHints = SetSizeHints,
    .setIcon = SetIcon,
    .setCursor = SetCursor,
    .setCapture = SetCapture,
    .blit = Blit,
    .capturePixels = CapturePixels,
    .pump = Pump,
    .wait = Wait,
    .queryPointer = QueryPointer,
    .screenSize = ScreenSize,
    .workArea = WorkArea,
    .setSelection = SetSelection,
    .getSelection = GetSelection,
    .dropSelections = DropSelections,
    .findTopLevel = FindTopLevel,
    .setPopupGrab = SetPopupGrab,
    .tray = X11Tray(),
};

}  // namespace

bool TakeInputFocus(Window window, Time time) {
  X11State& x = X();
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(x.display, window, &attributes) || attributes.map_state != IsViewable) {
    return false;
  }
  x.focusSerial = NextRequest(x.display);
  XSetInputFocus(x.display, window, RevertToParent, time);
  return true;
}

void RetryPopupGrab() {
  X11State& x = X();
  if (x.grabRetryUntil == 0) return;
  if (x.popupGrab == 0 || NowMs() > x.grabRetryUntil) {
    x.grabRetryUntil = 0;
    return;
  }
  if (State().capture == nullptr) {
    GrabForPopup();
  } else if (XGrabKeyboard(x.display, x.popupGrab, True, GrabModeAsync, GrabModeAsync,
                           CurrentTime) == GrabSuccess) {
    x.grabRetryUntil = 0;  // the capture holds the pointer; ours follows when it ends
  }
}

}  // namespace wscore::x11

const wscore::BackendOps* wscore::X11Backend() { return &x11::kX11Ops; }
const wscore::BackendOps* wscore::Win32Backend() { return nullptr; }
WindowSystemBackend DesktopWindowBackend() { return WindowSystemBackend::kX11; }
// X11 has no message box of its own; the toolkit draws one.
bool ShowSystemMessageBox(WindowHandle, const char*, const char*, bool) { return false; }
