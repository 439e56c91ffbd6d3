// The real program under a real system tray: a private Xvfb, Debian's
// trayer as the host, a copy of build/ambrel with its own settings.dat, the
// pointer and keys from xdotool, curl as the client and the screen read back
// through Xlib. Screenshots land in build/test-artifacts/.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/about_window.h"
#include "app/app_state.h"
#include "app/startup.h"
#include "window/window_system.h"
#include "support/private_display.h"
#include "support/test_os.h"
#include "support/wait.h"
#include "window/builtin/system_controls.h"

#include <X11/Xlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

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

// Runs a command to its end (at most 60 seconds); its exit status.
int RunCommand(const std::vector<std::string>& args) {
  pid_t pid = Spawn(args);
  int status = 0;
  if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, 60s)) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int Xdotool(const std::string& args) {
  std::vector<std::string> argv{"xdotool"};
  std::istringstream words(args);
  for (std::string w; words >> w;) argv.push_back(w);
  return RunCommand(argv);
}

// A command's standard output.
std::string Capture(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe)) out.append(buffer, n);
    pclose(pipe);
  }
  return out;
}

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// curl's body of http://127.0.0.1/PATH, or "" when it failed. The server
// starts listening a moment after the program shows it running, so a
// refused connection is tried again for a while, unless `once`.
std::string Get(const std::string& path, bool once = false) {
  const std::string out = std::string(AMBREL_BINARY_DIR) + "/tray_e2e_body.txt";
  std::remove(out.c_str());
  std::vector<std::string> curl{"curl", "-s", "-m", "20", "-o", out};
  if (!once) curl.insert(curl.end(), {"--retry", "20", "--retry-connrefused", "--retry-delay", "1"});
  curl.push_back("http://127.0.0.1/" + path);
  if (RunCommand(curl) != 0) return "";
  return Slurp(out);
}

// One window on the display as a client sees it.
struct Seen {
  Window window = 0;
  int x = 0, y = 0, width = 0, height = 0;
  bool viewable = false;
  bool embedded = false;  // its parent is not the root window
  std::string name;
  long wmState = -1;  // WM_STATE set by a window manager: 1 normal, 3 iconic
};

// Windows come and go while the test looks at them; a request about one
// that just went is no reason to end the test.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

class Display_ {
 public:
  Display_() : d_(XOpenDisplay(nullptr)) { XSetErrorHandler(IgnoreXError); }
  ~Display_() {
    if (d_) XCloseDisplay(d_);
  }
  // Every window of class `cls` (and, when given, named `name`), anywhere.
  std::vector<Seen> Find(const std::string& cls, const std::string& name = "") {
    std::vector<Seen> found;
    if (d_ != nullptr) Walk(DefaultRootWindow(d_), cls, name, &found);
    return found;
  }
  Seen One(const std::string& cls, const std::string& name = "") {
    std::vector<Seen> all = Find(cls, name);
    for (const Seen& s : all) {
      if (s.viewable) return s;
    }
    return all.empty() ? Seen{} : all[0];
  }
  // Whether the window carries a 16 x 16 window icon (_NET_WM_ICON).
  bool HasSmallIcon(Window w) {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool has = XGetWindowProperty(d_, w, XInternAtom(d_, "_NET_WM_ICON", False), 0, 2, False,
                                  XA_CARDINAL, &type, &format, &count, &after, &data) == Success &&
               data != nullptr && count == 2 && reinterpret_cast<long*>(data)[0] == 16 &&
               reinterpret_cast<long*>(data)[1] == 16;
    if (data) XFree(data);
    return has;
  }
  // What a window manager's close box does: WM_DELETE_WINDOW to the window.
  void CloseBox(Window w) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = long(XInternAtom(d_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(d_, w, False, NoEventMask, &e);
    XFlush(d_);
  }
  // Whether a window manager has taken the root window's structure requests.
  bool ManagerRunning() {
    XWindowAttributes a{};
    return XGetWindowAttributes(d_, DefaultRootWindow(d_), &a) &&
           (a.all_event_masks & SubstructureRedirectMask) != 0;
  }
  // A window's pixels as 0x00RRGGBB rows.
  std::vector<uint32_t> Pixels(Window w, int width, int height) {
    std::vector<uint32_t> out;
    XImage* image = XGetImage(d_, w, 0, 0, unsigned(width), unsigned(height), AllPlanes, ZPixmap);
    if (image == nullptr) return out;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) out.push_back(uint32_t(XGetPixel(image, x, y)) & 0xFFFFFF);
    }
    XDestroyImage(image);
    return out;
  }
  uint32_t Pixel(int x, int y) {
    XImage* image = XGetImage(d_, DefaultRootWindow(d_), x, y, 1, 1, AllPlanes, ZPixmap);
    uint32_t p = image ? uint32_t(XGetPixel(image, 0, 0)) & 0xFFFFFF : 0xFFFFFFFF;
    if (image) XDestroyImage(image);
    return p;
  }

 private:
  void Walk(Window w, const std::string& cls, const std::string& name, std::vector<Seen>* out) {
    XClassHint hint{};
    if (XGetClassHint(d_, w, &hint)) {
      bool match = hint.res_class != nullptr && cls == hint.res_class;
      if (hint.res_name) XFree(hint.res_name);
      if (hint.res_class) XFree(hint.res_class);
      char* title = nullptr;
      std::string t;
      if (XFetchName(d_, w, &title) && title) {
        t = title;
        XFree(title);
      }
      if (match && (name.empty() || t == name)) out->push_back(Describe(w, t));
    }
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (!XQueryTree(d_, w, &root, &parent, &children, &n)) return;
    for (unsigned i = 0; i < n; ++i) Walk(children[i], cls, name, out);
    if (children) XFree(children);
  }
  Seen Describe(Window w, const std::string& title) {
    Seen s;
    s.window = w;
    s.name = title;
    XWindowAttributes a{};
    XGetWindowAttributes(d_, w, &a);
    Window child = 0;
    XTranslateCoordinates(d_, w, DefaultRootWindow(d_), 0, 0, &s.x, &s.y, &child);
    s.width = a.width;
    s.height = a.height;
    s.viewable = a.map_state == IsViewable;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned n = 0;
    if (XQueryTree(d_, w, &root, &parent, &children, &n)) s.embedded = parent != root;
    if (children) XFree(children);
    Atom wmState = XInternAtom(d_, "WM_STATE", False), type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(d_, w, wmState, 0, 2, False, wmState, &type, &format, &count, &after,
                           &data) == Success && data && count > 0) {
      s.wmState = reinterpret_cast<long*>(data)[0];
    }
    if (data) XFree(data);
    return s;
  }
  Display* d_;
};

// What the headless window system paints for the About window, opened over
// the program's main window as the menu opens it.
WindowPixels g_headlessAbout;

LResult CaptureAboutProc(WindowHandle w, uint32_t m, WParam wp, LParam lp) {
  if (m != WM_TIMER) return DefaultWindowProc(w, m, wp, lp);
  KillTimer(w, 1);
  if (AboutWindow != nullptr && IsWindow(AboutWindow->hwnd)) {
    CaptureWindowPixels(AboutWindow->hwnd, &g_headlessAbout);
    PostWindowMessage(AboutWindow->hwnd, TKM_ENDMODAL, 0, 0);
  }
  return 0;
}

WindowPixels HeadlessAbout() {
  g_headlessAbout = WindowPixels{};
  EXPECT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
  StartSystemControls();
  BuildApplicationWindow();
  RegisterWindowClass(WindowClass{"AboutCapture", CaptureAboutProc});
  SetTimer(CreateSystemWindow(0, "AboutCapture", "", WS_POPUP, 0, 0, 1, 1, nullptr, 0, nullptr), 1, 50);
  OpenAboutWindow(MainWindowHandle(), AppIcon(3), AppIcon(17), AppIcon(18), AppIcon(19));
  CloseAboutWindow();
  ReleaseApplication();
  StopSystemControls();
  ShutdownWindowSystem();
  return g_headlessAbout;
}

bool Reddish(uint32_t p) { return ((p >> 16) & 0xFF) > 150 && ((p >> 8) & 0xFF) < 100; }
bool Greenish(uint32_t p) { return ((p >> 8) & 0xFF) > 120 && ((p >> 16) & 0xFF) < 100; }

class TrayProgramTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(display_.StartAndExport());
    x_ = std::make_unique<Display_>();
    char pattern[] = "/tmp/ambrel_tray_XXXXXX";
    dir_ = mkdtemp(pattern);
    mkdir((dir_ + "/site").c_str(), 0755);
    std::ofstream(dir_ + "/site/index.html") << "<p>tray test page</p>\n";
    ASSERT_EQ(RunCommand({"cp", std::string(AMBREL_BINARY_DIR) + "/ambrel", dir_ + "/ambrel"}), 0);
    ASSERT_EQ(RunCommand({std::string(AMBREL_BINARY_DIR) + "/examples/ambrel_first_settings",
                   dir_ + "/settings.dat", dir_ + "/site", "/usr/bin", dir_ + "/logs"}),
              0);
    // Stored as stopped: the status is the first of the five identifiers at the end.
    std::fstream file(dir_ + "/settings.dat", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(-20, std::ios::end);
    const char notRunning[4] = {2, 0, 0, 0};
    file.write(notRunning, 4);
    artifacts_ = std::string(AMBREL_BINARY_DIR) + "/test-artifacts";
    mkdir(artifacts_.c_str(), 0755);
  }
  void TearDown() override {
    End(&program_);
    End(&host_);
    End(&wm_);
    x_.reset();
    display_.Stop();
    RunCommand({"rm", "-rf", dir_});
  }
  static void End(pid_t* pid) {
    if (*pid <= 0) return;
    kill(*pid, SIGTERM);
    if (!WaitUntil([pid] { return waitpid(*pid, nullptr, WNOHANG) == *pid; }, 5s)) {
      kill(*pid, SIGKILL);
      waitpid(*pid, nullptr, 0);
    }
    *pid = -1;
  }

  void StartHost() {
    host_ = Spawn({"trayer", "--edge", "top", "--align", "right", "--widthtype", "request",
                   "--height", "32", "--SetDockType", "false", "--transparent", "false", "--tint",
                   "0x4080c0"});
  }
  void StartProgram() { program_ = Spawn({dir_ + "/ambrel"}); }
  Seen Icon() {
    for (const Seen& s : x_->Find("AmbrelStatusIcon")) {
      if (s.viewable && s.embedded && s.width >= 16) return s;
    }
    return Seen{};
  }
  bool Docked() { return Icon().window != 0; }
  Seen Main() { return x_->One("AmbrelGUI_Class", "Ambrel HTTP Server"); }
  Seen About() { return x_->One("AmbrelGUI_Class", "About Ambrel HTTP Server ..."); }
  Seen Menu() { return x_->One("AmbrelPopup_WndClass"); }
  uint32_t IconCentre() {
    Seen i = Icon();
    return x_->Pixel(i.x + i.width / 2, i.y + i.height / 2);
  }
  std::string At(const Seen& s) {
    return std::to_string(s.x + s.width / 2) + " " + std::to_string(s.y + s.height / 2);
  }
  // Whether the window shows what it painted: more than one colour.
  bool Painted(const Seen& s) {
    if (!s.viewable) return false;
    const std::vector<uint32_t> shown = x_->Pixels(s.window, s.width, s.height);
    return std::any_of(shown.begin(), shown.end(), [&](uint32_t p) { return p != shown.front(); });
  }
  void Shot(const std::string& name, const Seen& s, int pad = 0) {
    std::string crop = std::to_string(s.width + 2 * pad) + "x" + std::to_string(s.height + 2 * pad) +
                       "+" + std::to_string(std::max(0, s.x - pad)) + "+" + std::to_string(std::max(0, s.y - pad));
    RunCommand({"import", "-window", "root", "-crop", crop, "+repage", artifacts_ + "/" + name + ".png"});
  }
  // Right-clicks the icon, waits for the menu, walks down `downs` items and chooses.
  void Choose(int downs) {
    // The host may still be settling the icon's place: look again and retry once.
    for (int attempt = 0; attempt < 2 && !Menu().viewable; ++attempt) {
      ASSERT_EQ(Xdotool("mousemove " + At(Icon()) + " sleep 0.2 click 3"), 0);
      WaitUntil([this] { return Menu().viewable; }, 10s);
    }
    ASSERT_TRUE(Menu().viewable);
    std::string keys = "key --delay 60";
    for (int i = 0; i < downs; ++i) keys += " Down";
    ASSERT_EQ(Xdotool(keys + " Return"), 0);
  }
  int ExitCode() {
    int status = 0;
    if (!WaitUntil([&] { return waitpid(program_, &status, WNOHANG) == program_; })) return -1;
    program_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  // Processes whose parent is `pid`.
  static int ChildrenOf(pid_t pid) {
    int count = 0;
    DIR* proc = opendir("/proc");
    while (dirent* e = readdir(proc)) {
      std::string stat = Slurp(std::string("/proc/") + e->d_name + "/stat");
      size_t close = stat.rfind(')');
      if (close == std::string::npos) continue;
      int ppid = 0;
      char state = 0;
      if (sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == pid) ++count;
    }
    closedir(proc);
    return count;
  }
  std::string Log() {
    std::string all;
    DIR* logs = opendir((dir_ + "/logs").c_str());
    if (logs == nullptr) return all;
    while (dirent* e = readdir(logs)) {
      if (e->d_name[0] != '.') all += Slurp(dir_ + "/logs/" + e->d_name);
    }
    closedir(logs);
    return all;
  }

  PrivateDisplay display_;
  std::unique_ptr<Display_> x_;
  std::string dir_, artifacts_;
  pid_t program_ = -1, host_ = -1, wm_ = -1;
};


// The whole program under a tray: it docks showing the stopped picture, the
// menu starts the server (green picture, the site answers), a press on the
// desktop closes an open menu, "Shutdown Server" stops it with every request
// logged once, the close box hides the window and a double click brings it
// back, About opens from the menu and the button and closes three ways (a
// link leaves it open), and "Close Process" ends the program with code 0.
TEST_F(TrayProgramTest, ControlledFromTheTrayFromStartToEnd) {
  std::ofstream(dir_ + "/browser") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << dir_ << "/opened'\n";
  chmod((dir_ + "/browser").c_str(), 0755);
  setenv("BROWSER", (dir_ + "/browser").c_str(), 1);
  // No desktop files: xdg-open then asks BROWSER, not an installed browser.
  mkdir((dir_ + "/xdg").c_str(), 0755);
  for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS"}) {
    setenv(name, (dir_ + "/xdg").c_str(), 1);
  }
  StartHost();
  StartProgram();
  ASSERT_TRUE(WaitUntil([this] { return Docked(); })) << "the icon never docked";
  ASSERT_TRUE(WaitUntil([this] { return Main().viewable; }));
  ASSERT_TRUE(WaitUntil([this] { return Reddish(IconCentre()); })) << std::hex << IconCentre();
  Shot("tray-stopped", Icon(), 6);

  Choose(2);  // Show Server Window, Start Server
  ASSERT_TRUE(WaitUntil([this] { return Greenish(IconCentre()); })) << std::hex << IconCentre();
  Shot("tray-running", Icon(), 6);
  EXPECT_NE(Get("index.html").find("tray test page"), std::string::npos);
  EXPECT_NE(Get("").find("tray test page"), std::string::npos);

  ASSERT_EQ(Xdotool("mousemove " + At(Icon()) + " sleep 0.2 click 3"), 0);
  ASSERT_TRUE(WaitUntil([this] { return Painted(Menu()); }));
  Shot("tray-menu", Menu(), 2);
  ASSERT_EQ(Xdotool("mousemove 300 600 sleep 0.2 click 1"), 0);  // the bare desktop
  EXPECT_TRUE(WaitUntil([this] { return !Menu().viewable; }));

  Choose(2);  // Show Server Window, Shutdown Server
  ASSERT_TRUE(WaitUntil([this] { return Reddish(IconCentre()); }));
  EXPECT_EQ(Get("index.html", true), "");
  const std::string log = Log();
  auto count = [&log](const std::string& what) {
    size_t n = 0;
    for (size_t at = log.find(what); at != std::string::npos; at = log.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("\"GET /index.html HTTP/1.1\""), 1u) << log;
  EXPECT_EQ(count("\"GET / HTTP/1.1\""), 1u) << log;

  x_->CloseBox(Main().window);
  ASSERT_TRUE(WaitUntil([this] { return !Main().viewable; })) << "the close box did not hide the window";
  ASSERT_EQ(Xdotool("mousemove " + At(Icon()) + " sleep 0.2 click --repeat 2 --delay 80 1"), 0);
  ASSERT_TRUE(WaitUntil([this] { return Main().viewable; })) << "a double click did not show it";

  // About from the menu; a link runs the opener and the window stays; OK closes.
  Choose(4);  // Show, Start, the separator, About
  ASSERT_TRUE(WaitUntil([this] { return About().viewable; }));
  Seen about = About();
  EXPECT_TRUE(x_->HasSmallIcon(about.window));
  EXPECT_TRUE(x_->HasSmallIcon(Main().window));
  // The screen shows exactly what the headless window system paints.
  const WindowPixels expected = HeadlessAbout();
  ASSERT_EQ(expected.width, 350);
  size_t differ = ~size_t{0};
  EXPECT_TRUE(WaitUntil([&] {
    std::vector<uint32_t> shown = x_->Pixels(About().window, 350, 470);
    if (shown.size() != expected.pixels.size()) return false;
    differ = 0;
    for (size_t i = 0; i < shown.size(); ++i) differ += shown[i] != expected.pixels[i];
    return differ == 0;
  })) << differ << " pixels differ";
  Shot("about", about);
  ASSERT_EQ(Xdotool("mousemove " + std::to_string(about.x + 215) + " " + std::to_string(about.y + 118) +
                    " sleep 0.2 click 1"), 0);
  EXPECT_TRUE(WaitUntil([this] { return Slurp(dir_ + "/opened").find("https://example.org/ambrel/comments") !=
                                      std::string::npos; }));
  EXPECT_TRUE(About().viewable);
  ASSERT_EQ(Xdotool("mousemove " + std::to_string(about.x + 306) + " " + std::to_string(about.y + 453) +
                    " sleep 0.2 click 1"), 0);
  ASSERT_TRUE(WaitUntil([this] { return !About().viewable; })) << "OK did not close About";

  // From the main window's About button; its close box closes it.
  Seen main = Main();
  ASSERT_EQ(Xdotool("mousemove " + std::to_string(main.x + 44) + " " + std::to_string(main.y + 431) +
                    " sleep 0.2 click 1"), 0);
  ASSERT_TRUE(WaitUntil([this] { return About().viewable; })) << "the About button did nothing";
  x_->CloseBox(About().window);
  ASSERT_TRUE(WaitUntil([this] { return !About().viewable; }));

  // Open once more, then "Close Process" from the menu ends everything.
  ASSERT_EQ(Xdotool("mousemove " + std::to_string(main.x + 44) + " " + std::to_string(main.y + 431) +
                    " sleep 0.2 click 1"), 0);
  ASSERT_TRUE(WaitUntil([this] { return About().viewable; }));
  EXPECT_EQ(ChildrenOf(program_), 0);
  Choose(5);
  EXPECT_EQ(ExitCode(), 0);
  EXPECT_FALSE(About().viewable);
}

// Port 80 held by another program under twm, a window manager that waits to
// be asked before it moves the keyboard: the "Server Error" box takes the
// keyboard itself and Return closes it without a click; then the icon shows
// the stopped picture, the menu's second item is "Start Server" (it serves
// once the port is free), and "Close Process" is a normal end, code 0.
TEST_F(TrayProgramTest, ABindFailureIsShownAsStoppedAndTheBoxAnswersReturnUnderTwm) {
  std::fstream file(dir_ + "/settings.dat", std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(-20, std::ios::end);
  const char running[4] = {1, 0, 0, 0};
  file.write(running, 4);
  file.close();
  const SocketHandle holder = testos::HoldPort(80);
  ASSERT_NE(holder, kInvalidSocket);
  std::ofstream(dir_ + "/twmrc") << "RandomPlacement\n";
  wm_ = Spawn({"env", "LANG=C", "LC_ALL=C", "twm", "-f", dir_ + "/twmrc"});
  ASSERT_TRUE(WaitUntil([this] { return x_->ManagerRunning(); })) << "twm did not start";
  StartHost();
  ASSERT_EQ(Xdotool("mousemove 1 700"), 0);  // the pointer on the bare desktop
  StartProgram();
  ASSERT_TRUE(WaitUntil([this] { return x_->One(kMessageBoxClassName, "Server Error").viewable; }));
  Shot("bind-failure-box", x_->One(kMessageBoxClassName, "Server Error"));
  // Return as soon as the box holds the keyboard (xdotool sends to the focus).
  ASSERT_TRUE(WaitUntil([this] {
    return Capture("xdotool getwindowfocus 2>/dev/null") ==
           std::to_string(x_->One(kMessageBoxClassName, "Server Error").window) + "\n";
  })) << "the box never had the keyboard";
  ASSERT_EQ(Xdotool("key Return"), 0);
  ASSERT_TRUE(WaitUntil([this] { return !x_->One(kMessageBoxClassName, "Server Error").viewable; }));
  ASSERT_TRUE(WaitUntil([this] { return Docked() && Main().viewable; }));
  EXPECT_TRUE(WaitUntil([this] { return Reddish(IconCentre()); })) << std::hex << IconCentre();
  EXPECT_EQ(Get("", true), "");
  testos::CloseTestSocket(holder);
  Choose(2);  // Show Server Window, Start Server
  ASSERT_TRUE(WaitUntil([this] { return Greenish(IconCentre()); })) << std::hex << IconCentre();
  EXPECT_NE(Get("index.html").find("tray test page"), std::string::npos);
  Choose(5);
  EXPECT_EQ(ExitCode(), 0);
}

// Without a tray the program still starts, and its close box minimises the
// window; a tray that comes later gets the icon, and so does one started
// after the first was killed.
TEST_F(TrayProgramTest, WaitsForATrayAndMinimisesWhileThereIsNone) {
  std::ofstream(dir_ + "/twmrc") << "RandomPlacement\nNoTitle\n";
  // twm's fonts are the core X fonts of the C locale.
  wm_ = Spawn({"env", "LANG=C", "LC_ALL=C", "twm", "-f", dir_ + "/twmrc"});
  ASSERT_TRUE(WaitUntil([this] { return x_->ManagerRunning(); })) << "twm did not start";
  StartProgram();
  ASSERT_TRUE(WaitUntil([this] { return Painted(Main()); }));
  EXPECT_FALSE(Docked());
  Shot("no-tray-main", Main());
  x_->CloseBox(Main().window);
  EXPECT_TRUE(WaitUntil([this] { return Main().wmState == IconicState; })) << Main().wmState;

  StartHost();
  ASSERT_TRUE(WaitUntil([this] { return Docked(); })) << "no dock after the host came";
  ASSERT_EQ(Xdotool("mousemove " + At(Icon()) + " sleep 0.2 click --repeat 2 --delay 80 1"), 0);
  ASSERT_TRUE(WaitUntil([this] { return Main().viewable && Main().wmState == NormalState; }));

  // The program learns that the host went when its icon window comes back
  // to the root: it then makes a fresh one to dock later. Only after that
  // may the close box minimise.
  const Window docked = Icon().window;
  End(&host_);
  ASSERT_TRUE(WaitUntil([&] {
    const std::vector<Seen> icons = x_->Find("AmbrelStatusIcon");
    return !icons.empty() && std::none_of(icons.begin(), icons.end(),
                                          [&](const Seen& s) { return s.window == docked || s.embedded; });
  })) << "the program never took its icon back";
  x_->CloseBox(Main().window);
  EXPECT_TRUE(WaitUntil([this] { return Main().wmState == IconicState; })) << Main().wmState;

  StartHost();
  ASSERT_TRUE(WaitUntil([this] { return Docked(); })) << "no dock after the host restarted";
  Choose(5);
  EXPECT_EQ(ExitCode(), 0);
}

}  // namespace
