// The X11 backend on a real X server: the test starts its own Xvfb (display
// number chosen by the server), drives it with xdotool, reads the screen back
// with ImageMagick's import and checks window attributes with Xlib.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "window/window_system.h"
#include "support/message_pump.h"
#include "support/private_display.h"
#include "support/wait.h"

// After gtest and the window system: Xlib's macros (None, Bool, CursorShape)
// would break both.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef CursorShape

extern char** environ;

namespace {

const char* g_self = nullptr;

int Shell(const std::string& command) { return std::system(command.c_str()); }

struct Seen {
  WindowHandle window;
  uint32_t message;
  WParam wParam;
  LParam lParam;
};
std::vector<Seen> g_seen;

LResult Proc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m == WM_LBUTTONDOWN || m == WM_CHAR || m == WM_SIZE || m == WM_SETFOCUS) {
    g_seen.push_back({w, m, wp, lp});
  }
  if (m == WM_PAINT) {
    // Paint a solid colour chosen by the window's identifier.
    WinRect r;
    GetClientRect(w, &r);
    uint32_t colour = GetWindowId(w) == 1 ? 0x00C000 : GetWindowId(w) == 2 ? 0x0000C0 : 0xC00000;
    std::vector<uint32_t> pixels(size_t(r.right) * size_t(r.bottom), colour);
    PaintInfo info;
    BeginPaint(w, &info);
    BlitPixels(w, 0, 0, r.right, r.bottom, pixels.data(), r.right);
    EndPaint(w, &info);
    return 0;
  }
  return DefaultWindowProc(w, m, wp, lp);
}

// Whether the X server itself shows the top-level window titled `title`
// (mapped and viewable) and has given it the keyboard focus, as another
// client (xdotool) will find it.
bool ServerShowsFocused(const char* title) {
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) return false;
  bool shown = false;
  Window root = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
  for (unsigned i = 0; i < count && !shown; ++i) {
    char* name = nullptr;
    if (XFetchName(display, children[i], &name) && name != nullptr) {
      XWindowAttributes attributes{};
      shown = std::strcmp(name, title) == 0 && children[i] == focus &&
              XGetWindowAttributes(display, children[i], &attributes) &&
              attributes.map_state == IsViewable;
      XFree(name);
    }
  }
  if (children) XFree(children);
  XCloseDisplay(display);
  return shown;
}

bool SeenAt(WindowHandle w, uint32_t message) {
  for (const Seen& s : g_seen) {
    if (s.window == w && s.message == message) return true;
  }
  return false;
}

class X11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kX11));
    ASSERT_TRUE(RegisterWindowClass({"AmbrelGUI_Class", Proc}));
    ASSERT_TRUE(RegisterWindowClass({"PopupTest", Proc}));
    g_seen.clear();
  }
  void TearDown() override { ShutdownWindowSystem(); }
};

TEST_F(X11Test, ClicksAndTypingReachTheRightChildAndResizeSendsSize) {
  WindowHandle top = CreateSystemWindow(0, "AmbrelGUI_Class", "Ambrel HTTP Server",
                                        WS_OVERLAPPEDWINDOW, 100, 100, 300, 200, nullptr, 0, nullptr);
  WindowHandle left = CreateSystemWindow(0, "AmbrelGUI_Class", "", WS_CHILD | WS_VISIBLE, 10, 10,
                                         100, 50, top, 1, nullptr);
  WindowHandle right = CreateSystemWindow(0, "AmbrelGUI_Class", "", WS_CHILD | WS_VISIBLE, 150, 10,
                                          100, 50, top, 2, nullptr);
  ShowWindow(top, SW_SHOW);
  ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(top) && GetFocusWindow() == top; }));
  // Pointer and keys go where the server says: wait for it to show the window.
  ASSERT_TRUE(PumpUntil([] { return ServerShowsFocused("Ambrel HTTP Server"); }));

  EXPECT_TRUE(FindTopLevelWindow("AmbrelGUI_Class", "Ambrel HTTP Server"));
  EXPECT_FALSE(FindTopLevelWindow("AmbrelGUI_Class", "Another Title"));

  ASSERT_EQ(Shell("xdotool mousemove 270 130 click 1"), 0);  // right child at (20, 20)
  ASSERT_TRUE(PumpUntil([&] { return SeenAt(right, WM_LBUTTONDOWN); }));
  EXPECT_FALSE(SeenAt(left, WM_LBUTTONDOWN));
  for (const Seen& s : g_seen) {
    if (s.window == right && s.message == WM_LBUTTONDOWN) {
      EXPECT_EQ(LoWord(s.lParam), 20);
      EXPECT_EQ(HiWord(s.lParam), 20);
    }
  }

  SetFocus(left);
  ASSERT_EQ(Shell("xdotool type --delay 20 'aZ'"), 0);
  std::string typed;
  ASSERT_TRUE(PumpUntil([&] {
    typed.clear();
    for (const Seen& s : g_seen) {
      if (s.window == left && s.message == WM_CHAR) typed += char(s.wParam);
    }
    return typed.size() >= 2;
  }));
  EXPECT_EQ(typed, "aZ");

  g_seen.clear();
  MoveWindow(top, 100, 100, 420, 260, true);
  ASSERT_TRUE(SeenAt(top, WM_SIZE));
  WinRect client;
  GetClientRect(top, &client);
  EXPECT_EQ(client.right, 420);
  EXPECT_EQ(client.bottom, 260);
}

TEST_F(X11Test, BlitAppearsOnScreenAndPopupsAreOverrideRedirect) {
  WindowHandle top = CreateSystemWindow(0, "AmbrelGUI_Class", "Shot", WS_OVERLAPPEDWINDOW, 40, 60,
                                        200, 100, nullptr, 0, nullptr);
  CreateSystemWindow(0, "AmbrelGUI_Class", "", WS_CHILD | WS_VISIBLE, 20, 30, 50, 20, top, 1,
                     nullptr);
  WindowHandle popup = CreateSystemWindow(0, "PopupTest", "", WS_POPUP, 500, 500, 80, 40, top, 0,
                                          nullptr);
  ShowWindow(top, SW_SHOW);
  SetWindowPos(popup, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  ASSERT_TRUE(PumpUntil([&] { return GetActiveTopLevelWindow() == popup; }));

  // The screen as ImageMagick sees it: raw RGB, 1024 x 768, taken again
  // (the windows painting meanwhile) until all three show their colours.
  // The file's name is this process's own: another run may share the folder.
  std::string file = std::string(AMBREL_BINARY_DIR) + "/x11_test_screen_" +
                     std::to_string(getpid()) + ".rgb";
  std::vector<unsigned char> rgb;
  auto at = [&](int x, int y) {
    size_t i = (size_t(y) * 1024 + size_t(x)) * 3;
    return (uint32_t(rgb[i]) << 16) | (uint32_t(rgb[i + 1]) << 8) | rgb[i + 2];
  };
  PumpUntil([&] {
    rgb.clear();
    if (Shell("import -window root -depth 8 rgb:" + file) != 0) return false;
    std::ifstream in(file, std::ios::binary);
    rgb.assign(std::istreambuf_iterator<char>(in), {});
    return rgb.size() == 1024u * 768u * 3u && at(45, 65) == 0xC00000u && at(65, 95) == 0x00C000u &&
           at(510, 510) == 0xC00000u;
  });
  ASSERT_EQ(rgb.size(), 1024u * 768u * 3u);
  EXPECT_EQ(at(45, 65), 0xC00000u);    // the top-level's own colour
  EXPECT_EQ(at(65, 95), 0x00C000u);    // its child at (20, 30)
  EXPECT_EQ(at(510, 510), 0xC00000u);  // the popup
  std::remove(file.c_str());

  WindowPixels shot;
  ASSERT_TRUE(CaptureWindowPixels(top, &shot));
  EXPECT_EQ(shot.At(25, 35), 0x00C000u);

  // Ask the server what it knows about the popup.
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  Window rootWindow = 0, parent = 0, *children = nullptr;
  unsigned count = 0;
  XQueryTree(display, DefaultRootWindow(display), &rootWindow, &parent, &children, &count);
  int popups = 0, overrides = 0;
  for (unsigned i = 0; i < count; ++i) {
    XClassHint hint{};
    if (!XGetClassHint(display, children[i], &hint)) continue;
    if (std::strcmp(hint.res_class, "PopupTest") == 0) {
      ++popups;
      XWindowAttributes attributes;
      XGetWindowAttributes(display, children[i], &attributes);
      if (attributes.override_redirect) ++overrides;
    }
    XFree(hint.res_name);
    XFree(hint.res_class);
  }
  if (children) XFree(children);
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  XCloseDisplay(display);
  EXPECT_EQ(popups, 1);
  EXPECT_EQ(overrides, 1);
  EXPECT_NE(focus, Window(0));
}

// The peer running now, so that the test can end one that serves.
std::atomic<pid_t> g_peer{-1};

// Runs this program again as another X client and returns what it printed.
std::string RunPeer(const char* mode, bool pumpMeanwhile) {
  int fds[2];
  if (pipe(fds) != 0) return "";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  const char* argv[] = {g_self, mode, nullptr};
  pid_t pid = -1;
  posix_spawn(&pid, g_self, &actions, nullptr, const_cast<char**>(argv), environ);
  g_peer = pid;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  int status = 0;
  const bool ended = WaitUntil([&] {
    if (pumpMeanwhile) ProcessPendingMessages();
    return waitpid(pid, &status, WNOHANG) != 0;
  });
  if (!ended) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
  }
  std::string out;
  char buffer[256];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, size_t(n));
  close(fds[0]);
  return out;
}

TEST_F(X11Test, ClipboardTravelsBetweenWindowsAndPrograms) {
  WindowHandle a = CreateSystemWindow(0, "AmbrelGUI_Class", "A", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                                      nullptr, 0, nullptr);
  WindowHandle b = CreateSystemWindow(0, "AmbrelGUI_Class", "B", WS_OVERLAPPEDWINDOW, 60, 0, 50, 50,
                                      nullptr, 0, nullptr);
  ASSERT_TRUE(SetSelectionText(ClipboardSelection::kClipboard, a, "C:/www/ambrel", 13));
  std::string text;
  ASSERT_TRUE(GetSelectionText(ClipboardSelection::kClipboard, &text));
  EXPECT_EQ(text, "C:/www/ambrel");
  // Another program pastes what window A holds (this process serves it).
  // A paste waits a second for the owner's answer; a loaded machine may
  // let that pass, so the peer may ask a few times.
  std::string read;
  for (int attempt = 0; attempt < 5 && read.empty(); ++attempt) read = RunPeer("--read-clipboard", true);
  EXPECT_EQ(read, "C:/www/ambrel");
  // And this process pastes what another program holds; the peer serves
  // until it is ended here.
  g_peer = -1;
  std::thread peer([&] { text = RunPeer("--serve-primary", false); });
  std::string pasted;
  bool got = PumpUntil([&] {
    return GetSelectionText(ClipboardSelection::kPrimary, &pasted) && pasted == "from the peer";
  });
  PumpUntil([] { return g_peer.load() > 0; });
  if (g_peer.load() > 0) kill(g_peer.load(), SIGTERM);
  peer.join();
  EXPECT_TRUE(got) << pasted;
  DestroyWindow(b);
}

// The peer modes: a second X client for the clipboard test.
int PeerMain(const std::string& mode) {
  if (!InitWindowSystem(WindowSystemBackend::kX11)) return 2;
  RegisterWindowClass({"Peer", DefaultWindowProc});
  WindowHandle w = CreateSystemWindow(0, "Peer", "peer", WS_OVERLAPPEDWINDOW, 0, 0, 10, 10,
                                      nullptr, 0, nullptr);
  std::string text;
  if (mode == "--read-clipboard") {
    if (GetSelectionText(ClipboardSelection::kClipboard, &text)) std::fputs(text.c_str(), stdout);
  } else {
    SetSelectionText(ClipboardSelection::kPrimary, w, "from the peer", 13);
    PumpUntil([] { return false; }, std::chrono::seconds(60));  // serve until ended
  }
  ShutdownWindowSystem();
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  g_self = argv[0];
  if (argc == 2 && std::strncmp(argv[1], "--read", 6) == 0) return PeerMain(argv[1]);
  if (argc == 2 && std::strncmp(argv[1], "--serve", 7) == 0) return PeerMain(argv[1]);
  ::testing::InitGoogleTest(&argc, argv);
  PrivateDisplay display;
  if (!display.StartAndExport()) {
    std::fprintf(stderr, "Xvfb could not be started\n");
    return 1;
  }
  return RUN_ALL_TESTS();
}
