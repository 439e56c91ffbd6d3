// Status icons in the freedesktop system tray: the program that owns the
// selection _NET_SYSTEM_TRAY_S<screen> is the host. Each icon is a small
// window of ours that the host embeds (XEmbed) after SYSTEM_TRAY_REQUEST_DOCK.
// With no host the icons wait; a host announces itself with a MANAGER message
// on the root window, and every icon then docks into it, again after each
// restart of the host. The host decides the icon window's size; the picture
// is scaled by whole steps. With the host's ARGB visual the picture keeps its
// alpha; without it the picture is blended over the host's background.
#include <string>

#include "window/tray_core.h"
#include "window/x11/x11_internal.h"

namespace wscore::x11 {

namespace {

constexpr long kRequestDock = 0;
constexpr long kEmbeddedNotify = 0;
constexpr long kXEmbedMapped = 1;

struct TrayState {
  bool started = false;
  Atom selection = None, opcode = None, visualAtom = None, manager = None, xembed = None,
       xembedInfo = None;
  Window host = 0;
};

TrayState& T() {
  static TrayState tray;
  return tray;
}

Window NativeOf(const StatusIcon* icon) { return static_cast<Window>(icon->native); }

// The ARGB visual the host asks icons to use, or null.
Visual* HostVisual(int* depth) {
  X11State& x = X();
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Visual* visual = nullptr;
  if (XGetWindowProperty(x.display, T().host, T().visualAtom, 0, 1, False, XA_VISUALID, &type,
                         &format, &count, &after, &data) == Success &&
      data != nullptr && format == 32 && count == 1) {
    XVisualInfo wanted{};
    wanted.visualid = static_cast<VisualID>(reinterpret_cast<unsigned long*>(data)[0]);
    wanted.screen = x.screen;
    int found = 0;
    XVisualInfo* infos = XGetVisualInfo(x.display, VisualIDMask | VisualScreenMask, &wanted, &found);
    if (infos != nullptr && found > 0 && infos[0].depth == 32) {
      visual = infos[0].visual;
      *depth = 32;
    }
    if (infos) XFree(infos);
  }
  if (data) XFree(data);
  return visual;
}

// A fresh icon window, unmapped on the root, in the host's visual when it
// offers one. False when the display refuses it.
bool MakeIconWindow(StatusIcon* icon) {
  X11State& x = X();
  int depth = x.depth;
  Visual* visual = T().host != 0 ? HostVisual(&depth) : nullptr;
  icon->argb = visual != nullptr;
  XSetWindowAttributes a{};
  unsigned long mask = CWEventMask | CWBackPixmap;
  a.event_mask = ExposureMask | StructureNotifyMask | ButtonPressMask | ButtonReleaseMask |
                 EnterWindowMask | LeaveWindowMask | PointerMotionMask;
  a.background_pixmap = ParentRelative;
  Colormap colormap = 0;
  if (icon->argb) {
    colormap = XCreateColormap(x.display, x.root, visual, AllocNone);
    a.colormap = colormap;
    a.background_pixmap = None;
    a.background_pixel = 0;
    a.border_pixel = 0;
    mask = CWEventMask | CWColormap | CWBackPixel | CWBorderPixel;
  }
  x.lastError = 0;
  Window w = XCreateWindow(x.display, x.root, 0, 0, 16, 16, 0, icon->argb ? 32 : CopyFromParent,
                           InputOutput, icon->argb ? visual : CopyFromParent, mask, &a);
  XSync(x.display, False);
  if (w == 0 || x.lastError != 0) return false;
  long info[2] = {0, kXEmbedMapped};
  XChangeProperty(x.display, w, T().xembedInfo, T().xembedInfo, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(info), 2);
  XClassHint hint{};
  hint.res_name = const_cast<char*>("ambrel");
  hint.res_class = const_cast<char*>("AmbrelStatusIcon");
  XSetClassHint(x.display, w, &hint);
  XSizeHints size{};
  size.flags = PMinSize;
  size.min_width = size.min_height = 16;
  XSetWMNormalHints(x.display, w, &size);
  icon->native = static_cast<uintptr_t>(w);
  icon->width = icon->height = 16;
  return true;
}

void DropIconWindow(StatusIcon* icon) {
  if (icon->native != 0) XDestroyWindow(X().display, NativeOf(icon));
  icon->native = 0;
  OnStatusIconDocked(icon, false);
}

void RequestDock(StatusIcon* icon) {
  X11State& x = X();
  if (T().host == 0 || icon->native == 0) return;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = T().host;
  e.xclient.message_type = T().opcode;
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(x.lastEventTime);
  e.xclient.data.l[1] = kRequestDock;
  e.xclient.data.l[2] = static_cast<long>(NativeOf(icon));
  XSendEvent(x.display, T().host, False, NoEventMask, &e);
  XFlush(x.display);
}

// Looks for the host now; the icons dock into a new one.
void FindHost() {
  X11State& x = X();
  XGrabServer(x.display);  // the owner must not vanish between asking and watching
  Window host = XGetSelectionOwner(x.display, T().selection);
  if (host != 0) XSelectInput(x.display, host, StructureNotifyMask | PropertyChangeMask);
  XUngrabServer(x.display);
  XFlush(x.display);
  T().host = host;
}

void Start() {
  TrayState& t = T();
  if (t.started) return;
  X11State& x = X();
  const std::string name = "_NET_SYSTEM_TRAY_S" + std::to_string(x.screen);
  t.selection = XInternAtom(x.display, name.c_str(), False);
  t.opcode = XInternAtom(x.display, "_NET_SYSTEM_TRAY_OPCODE", False);
  t.visualAtom = XInternAtom(x.display, "_NET_SYSTEM_TRAY_VISUAL", False);
  t.manager = XInternAtom(x.display, "MANAGER", False);
  t.xembed = XInternAtom(x.display, "_XEMBED", False);
  t.xembedInfo = XInternAtom(x.display, "_XEMBED_INFO", False);
  t.started = true;
  FindHost();
}

void Paint(StatusIcon* icon) {
  X11State& x = X();
  Window w = NativeOf(icon);
  if (w == 0 || !icon->docked || icon->width <= 0 || icon->height <= 0) return;
  const unsigned width = static_cast<unsigned>(icon->width), height = static_cast<unsigned>(icon->height);
  std::vector<uint32_t> background;
  if (!icon->argb) {
    // The host's own background shows through the window; read it back and
    // blend the picture over it.
    XClearWindow(x.display, w);
    x.lastError = 0;
    XImage* under = XGetImage(x.display, w, 0, 0, width, height, AllPlanes, ZPixmap);
    background.assign(size_t(width) * size_t(height), 0xD4D0C8);
    if (under != nullptr) {
      for (unsigned yy = 0; yy < height; ++yy) {
        for (unsigned xx = 0; xx < width; ++xx) {
          background[size_t(yy) * width + xx] = static_cast<uint32_t>(XGetPixel(under, int(xx), int(yy))) & 0xFFFFFF;
        }
      }
      XDestroyImage(under);
    }
  }
  icon->shown = ScaleStatusIconPicture(icon->picture, icon->pictureWidth, icon->pictureHeight,
                                       icon->width, icon->height,
                                       icon->argb ? nullptr : background.data());
  XWindowAttributes attributes{};
  if (!XGetWindowAttributes(x.display, w, &attributes)) return;
  XImage* image = XCreateImage(x.display, attributes.visual, static_cast<unsigned>(attributes.depth),
                               ZPixmap, 0, reinterpret_cast<char*>(icon->shown.data()), width,
                               height, 32, static_cast<int>(width * 4));
  if (image == nullptr) return;
  GC gc = XCreateGC(x.display, w, 0, nullptr);
  XPutImage(x.display, w, gc, image, 0, 0, 0, 0, width, height);
  XFreeGC(x.display, gc);
  image->data = nullptr;  // the pixels stay the icon's
  XDestroyImage(image);
  XFlush(x.display);
}

// A new host: every icon leaves the old one and docks in fresh windows
// (icons on the session bus stay there).
void DockAll() {
  for (auto& icon : StatusIcons()) {
    if (icon->onBus) continue;
    DropIconWindow(icon.get());
    if (MakeIconWindow(icon.get())) RequestDock(icon.get());
  }
}

StatusIcon* IconOf(Window w) {
  for (auto& icon : StatusIcons()) {
    if (icon->native != 0 && NativeOf(icon.get()) == w) return icon.get();
  }
  return nullptr;
}

void OnIconEvent(StatusIcon* icon, XEvent* event) {
  switch (event->type) {
    case Expose:
      if (event->xexpose.count == 0) Paint(icon);
      break;
    case ConfigureNotify:
      icon->width = event->xconfigure.width;
      icon->height = event->xconfigure.height;
      Paint(icon);
      break;
    case ReparentNotify:
      if (event->xreparent.parent == X().root) {
        DropIconWindow(icon);  // its host went away and handed it back
        MakeIconWindow(icon);
      } else {
        OnStatusIconDocked(icon, true);
      }
      break;
    case MapNotify: Paint(icon); break;
    case DestroyNotify:
      if (event->xdestroywindow.window == NativeOf(icon)) {
        icon->native = 0;
        OnStatusIconDocked(icon, false);
        MakeIconWindow(icon);
      }
      break;
    case ButtonPress:
    case ButtonRelease: {
      XButtonEvent& b = event->xbutton;
      X().lastEventTime = b.time;
      if (b.button > Button3) break;
      MouseButton button = b.button == Button1 ? MouseButton::kLeft
                           : b.button == Button2 ? MouseButton::kMiddle : MouseButton::kRight;
      OnStatusIconButton(icon, button, event->type == ButtonPress, WinPoint{b.x_root, b.y_root});
      break;
    }
    case EnterNotify:
    case MotionNotify:
      OnStatusIconPointer(icon, true, WinPoint{event->xmotion.x_root, event->xmotion.y_root});
      break;
    case LeaveNotify:
      OnStatusIconPointer(icon, false, WinPoint{event->xcrossing.x_root, event->xcrossing.y_root});
      break;
    case ClientMessage:
      if (event->xclient.message_type == T().xembed && event->xclient.data.l[1] == kEmbeddedNotify) {
        OnStatusIconDocked(icon, true);
        Paint(icon);
      }
      break;
    default: break;
  }
}

bool Add(StatusIcon* icon) {
  Start();
  if (icon->onBus) return true;
  if (!MakeIconWindow(icon)) return false;
  RequestDock(icon);
  return true;
}

void Repaint(StatusIcon* icon) { Paint(icon); }

void Remove(StatusIcon* icon) {
  if (icon->native != 0) XDestroyWindow(X().display, NativeOf(icon));
  icon->native = 0;
  XFlush(X().display);
}

void Shutdown() { T() = TrayState{}; }

bool Locate(StatusIcon* icon, WinRect* out) {
  X11State& x = X();
  int rootX = 0, rootY = 0;
  Window child = 0;
  if (icon->native == 0 ||
      !XTranslateCoordinates(x.display, NativeOf(icon), x.root, 0, 0, &rootX, &rootY, &child)) {
    return false;
  }
  *out = WinRect{rootX, rootY, rootX + icon->width, rootY + icon->height};
  return true;
}

const TrayOps kXEmbedTrayOps = {
    .add = Add,
    .repaint = Repaint,
    .remove = Remove,
    .shutdown = Shutdown,
    .locate = Locate,
};

}  // namespace

bool HandleTrayEvent(XEvent* event) {
  TrayState& t = T();
  if (!t.started) return false;
  Window w = event->xany.window;
  if (StatusIcon* icon = IconOf(w)) {
    OnIconEvent(icon, event);
    return true;
  }
  if (event->type == ClientMessage && w == X().root && event->xclient.message_type == t.manager &&
      static_cast<Atom>(event->xclient.data.l[1]) == t.selection) {
    FindHost();
    if (t.host != 0) DockAll();
    return true;
  }
  if (event->type == DestroyNotify && t.host != 0 && event->xdestroywindow.window == t.host) {
    t.host = 0;
    for (auto& icon : StatusIcons()) {
      if (icon->onBus) continue;
      DropIconWindow(icon.get());
      MakeIconWindow(icon.get());
    }
    FindHost();  // another host may have taken over already
    if (t.host != 0) DockAll();
    return true;
  }
  return false;
}

}  // namespace wscore::x11

namespace wscore::x11 {

const TrayOps* XEmbedTray() { return &kXEmbedTrayOps; }

void ReleaseToBus(StatusIcon* icon) {
  if (icon->native != 0) XDestroyWindow(X().display, NativeOf(icon));
  icon->native = 0;
  icon->docked = false;
  XFlush(X().display);
}

void TakeFromBus(StatusIcon* icon) {
  Start();
  if (icon->native == 0 && MakeIconWindow(icon)) RequestDock(icon);
}

}  // namespace wscore::x11
