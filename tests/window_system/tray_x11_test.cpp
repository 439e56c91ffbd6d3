// Status icons under a real system tray host: a private Xvfb, Debian's
// trayer as the host (started, killed and started again by the test), the
// pointer driven by xdotool and the screen read back through Xlib.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "window/tray.h"
#include "window/window_system.h"
#include "support/message_pump.h"
#include "support/private_display.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#undef CursorShape

namespace {

constexpr uint32_t kCallback = WM_USER + 1;
std::vector<LParam> g_mouse;  // lParam of every callback

LResult OwnerProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m == kCallback && wp == 7) g_mouse.push_back(lp);
  return DefaultWindowProc(w, m, wp, lp);
}

// A 16 x 16 picture: opaque red inside a transparent frame of 4 pixels.
std::vector<uint32_t> RedSquare() {
  std::vector<uint32_t> pixels(256, 0x00000000);
  for (int y = 4; y < 12; ++y) {
    for (int x = 4; x < 12; ++x) pixels[size_t(y * 16 + x)] = 0xFFE00000;
  }
  return pixels;
}

pid_t Spawn(const std::vector<std::string>& args) {
  pid_t pid = fork();
  if (pid == 0) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

void End(pid_t pid) {
  if (pid <= 0) return;
  kill(pid, SIGTERM);
  PumpUntil([pid] { return waitpid(pid, nullptr, WNOHANG) == pid; }, std::chrono::seconds(5));
  if (kill(pid, 0) == 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

pid_t StartHost() {
  return Spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                "--height", "32", "--SetDockType", "false", "--transparent", "false",
                "--tint", "0x4080c0"});
}

int Xdotool(const std::string& args) {
  std::vector<std::string> argv{"/usr/bin/xdotool"};
  size_t start = 0;
  while (start < args.size()) {
    size_t end = args.find(' ', start);
    if (end == std::string::npos) end = args.size();
    argv.push_back(args.substr(start, end - start));
    start = end + 1;
  }
  return RunClient(argv);
}

// Keeps a picture of part of the screen in build/test-artifacts (for people).
void Shot(const std::string& name, int x, int y, int w, int h) {
  const std::string dir = std::string(AMBREL_BINARY_DIR) + "/test-artifacts";
  mkdir(dir.c_str(), 0755);
  std::string crop = std::to_string(w) + "x" + std::to_string(h) + "+" + std::to_string(x) + "+" +
                     std::to_string(y);
  RunClient({"/usr/bin/import", "-window", "root", "-crop", crop, "+repage", dir + "/" + name + ".png"});
}

// The screen's pixel at (x, y), read by a client of our own.
uint32_t ScreenPixel(int x, int y) {
  Display* d = XOpenDisplay(nullptr);
  if (d == nullptr) return 0xFFFFFFFF;
  XImage* image = XGetImage(d, DefaultRootWindow(d), x, y, 1, 1, AllPlanes, ZPixmap);
  uint32_t pixel = image ? static_cast<uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFF : 0xFFFFFFFF;
  if (image) XDestroyImage(image);
  XCloseDisplay(d);
  return pixel;
}

class TrayX11Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kX11));
    RegisterWindowClass(WindowClass{"TrayOwner", OwnerProc});
    owner_ = CreateSystemWindow(0, "TrayOwner", "owner", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, 0,
                                nullptr);
    g_mouse.clear();
  }
  void TearDown() override {
    ShutdownWindowSystem();
    End(host_);
  }

  bool Add() {
    std::vector<uint32_t> picture = RedSquare();
    NotifyIconRecord record{};
    record.window = owner_;
    record.id = 7;
    record.flags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.callbackMessage = kCallback;
    record.icon = StatusIconPicture{16, 16, picture.data()};
    snprintf(record.tip, sizeof record.tip, "%s", "Tip of the icon");
    return NotifyStatusIcon(NIM_ADD, &record);
  }
  bool Docked() { return IsStatusIconDocked(owner_, 7); }
  StatusIconView View() {
    StatusIconView view;
    GetStatusIconView(owner_, 7, &view);
    return view;
  }
  bool Saw(LParam message) {
    for (LParam m : g_mouse) {
      if (m == message) return true;
    }
    return false;
  }

  WindowHandle owner_ = nullptr;
  pid_t host_ = -1;
};

// Added before any host exists: nothing fails, and the icon docks when
// trayer comes, shows its picture scaled to the host's size over the host's
// own background, reports clicks and double clicks, shows its tooltip, and
// docks again after the host was killed and started anew.
TEST_F(TrayX11Test, DocksWhenAHostComesAndAgainAfterItRestarts) {
  ASSERT_TRUE(Add());
  EXPECT_FALSE(Docked());
  PumpUntil([] { return false; }, std::chrono::milliseconds(200));
  EXPECT_FALSE(Docked());

  host_ = StartHost();
  ASSERT_TRUE(PumpUntil([this] { return Docked(); }));
  ASSERT_TRUE(PumpUntil([this] { return View().rect.right - View().rect.left >= 16 &&
                                        !View().pixels.empty(); }));
  // The host may still be placing and painting: look until the screen shows
  // the icon (the centre red, the transparent corner the host's own
  // background, not black) at the place the host settled on.
  StatusIconView view;
  int w = 0, h = 0, cx = 0, cy = 0;
  uint32_t centre = 0, corner = 0;
  PumpUntil([&] {
    view = View();
    w = view.rect.right - view.rect.left;
    h = view.rect.bottom - view.rect.top;
    cx = view.rect.left + w / 2;
    cy = view.rect.top + h / 2;
    centre = ScreenPixel(cx, cy);
    corner = ScreenPixel(view.rect.left, view.rect.top);
    return centre == 0xE00000u && corner != 0xE00000u && corner != 0x000000u;
  });
  EXPECT_EQ(centre, 0xE00000u) << "icon at " << view.rect.left << "," << view.rect.top << " size "
                               << w << "x" << h;
  EXPECT_NE(corner, 0xE00000u);
  EXPECT_NE(corner, 0x000000u);

  const std::string at = std::to_string(cx) + " " + std::to_string(cy);
  ASSERT_EQ(Xdotool("mousemove " + at), 0);
  EXPECT_TRUE(PumpUntil([this] { return View().tipShown; }));
  PumpUntil([] { return false; }, std::chrono::milliseconds(200));
  Shot("tray-backend-tooltip", view.rect.left - 200, 0, 260, view.rect.bottom + 50);
  ASSERT_EQ(Xdotool("click 3"), 0);
  EXPECT_TRUE(PumpUntil([this] { return Saw(WM_RBUTTONUP); }));
  EXPECT_TRUE(Saw(WM_RBUTTONDOWN));
  EXPECT_TRUE(Saw(WM_MOUSEMOVE));
  EXPECT_FALSE(View().tipShown);
  g_mouse.clear();
  ASSERT_EQ(Xdotool("click --repeat 2 --delay 80 1"), 0);
  EXPECT_TRUE(PumpUntil([this] { return Saw(WM_LBUTTONDBLCLK); }));
  ASSERT_EQ(Xdotool("mousemove 5 700"), 0);
  EXPECT_TRUE(PumpUntil([this] { return !View().tipShown; }));

  End(host_);
  host_ = -1;
  ASSERT_TRUE(PumpUntil([this] { return !Docked(); }));
  host_ = StartHost();
  EXPECT_TRUE(PumpUntil([this] { return Docked(); }));

  NotifyIconRecord removal{};
  removal.window = owner_;
  removal.id = 7;
  EXPECT_TRUE(NotifyStatusIcon(NIM_DELETE, &removal));
  EXPECT_FALSE(NotifyStatusIcon(NIM_DELETE, &removal));
}

// A host of the test's own that offers an ARGB visual: the icon window takes
// that visual, follows the size the host gives it, and holds the picture with
// its alpha (premultiplied), transparent around it.
TEST_F(TrayX11Test, AnArgbHostGetsThePictureWithItsAlpha) {
  Display* d = XOpenDisplay(nullptr);
  ASSERT_NE(d, nullptr);
  XVisualInfo argb{};
  ASSERT_TRUE(XMatchVisualInfo(d, DefaultScreen(d), 32, TrueColor, &argb)) << "no 32-bit visual";
  Window root = DefaultRootWindow(d);
  Window host = XCreateSimpleWindow(d, root, 0, 0, 100, 40, 0, 0, 0);
  XMapWindow(d, host);
  long visual = long(argb.visualid);
  XChangeProperty(d, host, XInternAtom(d, "_NET_SYSTEM_TRAY_VISUAL", False), XA_VISUALID, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&visual), 1);
  Atom selection = XInternAtom(d, "_NET_SYSTEM_TRAY_S0", False);
  XSetSelectionOwner(d, selection, host, CurrentTime);
  XSync(d, False);

  ASSERT_TRUE(Add());
  Window icon = 0;
  ASSERT_TRUE(PumpUntil([&] {
    while (XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == ClientMessage && e.xclient.data.l[1] == 0) icon = Window(e.xclient.data.l[2]);
    }
    return icon != 0;
  })) << "no dock request";
  XWindowAttributes a{};
  XGetWindowAttributes(d, icon, &a);
  EXPECT_EQ(a.depth, 32);
  XReparentWindow(d, icon, host, 10, 4);
  XResizeWindow(d, icon, 32, 32);
  XMapWindow(d, icon);
  XSync(d, False);
  ASSERT_TRUE(PumpUntil([this] { return Docked() && View().width == 32 && !View().pixels.empty(); }));
  // The picture reaches the window once the icon has painted it.
  XImage* image = nullptr;
  PumpUntil([&] {
    if (image != nullptr) XDestroyImage(image);
    image = XGetImage(d, icon, 0, 0, 32, 32, AllPlanes, ZPixmap);
    return image != nullptr && uint32_t(XGetPixel(image, 16, 16)) == 0xFFE00000u;
  });
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(uint32_t(XGetPixel(image, 16, 16)), 0xFFE00000u);  // two whole steps: 8 to 23
  EXPECT_EQ(uint32_t(XGetPixel(image, 8, 8)), 0xFFE00000u);
  EXPECT_EQ(uint32_t(XGetPixel(image, 7, 7)), 0u);
  EXPECT_EQ(uint32_t(XGetPixel(image, 0, 31)), 0u);
  XDestroyImage(image);
  XDestroyWindow(d, host);
  XCloseDisplay(d);
  EXPECT_TRUE(PumpUntil([this] { return !Docked(); }));
}

}  // namespace


int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  testing::AddGlobalTestEnvironment(new PrivateDisplayEnvironment);
  return RUN_ALL_TESTS();
}
