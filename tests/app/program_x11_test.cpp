// The real program, build/ambrel, on a private X display, driven by xdotool
// as a user would drive it: its window equals the headless paint of the same
// settings; a typed serving folder, "Running" and Apply make the site answer;
// a second start shows the one-instance box and ends while the first goes on
// serving; Browse fills a field from the folder chooser (a stand-in zenity on
// PATH); SIGTERM ends it cleanly, and so does losing the display, after the
// engine has written out its access log. Runs in a network namespace.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app_fixture.h"
#include "support/private_display.h"
#include "support/test_os.h"
#include "support/wait.h"
#include "app/settings_controls.h"

namespace {

using namespace std::chrono_literals;

std::string Capture(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return {};
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

void Xdotool(const std::string& arguments) {
  ASSERT_EQ(std::system(("xdotool " + arguments + " >/dev/null 2>&1").c_str()), 0) << arguments;
}

std::string Fetch(const std::string& path) {
  return Capture("curl -s --max-time 30 http://127.0.0.1" + path);
}

void PutCounted(std::string* out, const std::string& text) {
  const uint32_t n = static_cast<uint32_t>(text.size());
  for (int s = 0; s < 32; s += 8) out->push_back(static_cast<char>(n >> s));
  *out += text;
}

// A settings file written as this program's save would write it.
std::string SettingsFile(const std::string& serving, const std::string& php, const std::string& logging,
                         std::vector<int32_t> ids) {
  std::string bytes;
  PutCounted(&bytes, serving);
  PutCounted(&bytes, php);
  PutCounted(&bytes, logging);
  for (int32_t id : ids)
    for (int s = 0; s < 32; s += 8) bytes.push_back(static_cast<char>(static_cast<uint32_t>(id) >> s));
  return bytes;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A copy of the program in a folder of its own (settings.dat lies beside
// it), with a stand-in folder chooser that answers "/usr/bin" and notes how
// it was called.
struct Installation {
  std::string root, program, settings, stubs;
  Installation() {
    char name[] = "/tmp/ambrel-program-XXXXXX";
    root = mkdtemp(name);
    program = root + "/ambrel";
    settings = root + "/settings.dat";
    stubs = root + "/stubs";
    std::system(("cp '" AMBREL_BINARY_DIR "/ambrel' '" + program + "' && mkdir '" + stubs + "'").c_str());
    std::ofstream(stubs + "/zenity") << "#!/bin/sh\necho \"$@\" > '" << stubs << "/zenity-args'\necho /usr/bin\n";
    chmod((stubs + "/zenity").c_str(), 0755);
  }
  ~Installation() { std::system(("rm -rf '" + root + "'").c_str()); }
  void WriteSettings(const std::string& bytes) const { std::ofstream(settings, std::ios::binary) << bytes; }
};

// One running copy of the program.
struct Program {
  pid_t pid = -1;
  // headless: started without DISPLAY, its standard error into `errors`;
  // `user`: the user it runs as (0: this one).
  explicit Program(const Installation& where, bool headless = false, const std::string& errors = "",
                   uid_t user = 0) {
    const std::string path = where.stubs + ":" + std::getenv("PATH");
    pid = fork();
    if (pid == 0) {
      setenv("PATH", path.c_str(), 1);
      if (headless) unsetenv("DISPLAY");
      if (!errors.empty() && !std::freopen(errors.c_str(), "w", stderr)) _exit(126);
      if (user != 0 && (setgid(user) != 0 || setuid(user) != 0)) _exit(125);
      execl(where.program.c_str(), "ambrel", static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  // The exit status once it ended within `limit`; -1 otherwise.
  int WaitForExit(std::chrono::milliseconds limit = 30s) {
    int status = 0;
    if (pid < 0) return -1;
    if (!WaitUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }, limit)) return -1;
    pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
  ~Program() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
};

struct Geometry {
  int x = 0, y = 0, width = 0, height = 0;
};

// The top-level window titled exactly `title`, or empty.
std::string FindWindow(const std::string& title) {
  std::string id = Capture("xdotool search --name '^" + title + "$' 2>/dev/null");
  return id.substr(0, id.find('\n'));
}

Geometry GeometryOf(const std::string& id) {
  Geometry g;
  std::istringstream in(Capture("xdotool getwindowgeometry --shell " + id));
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("X=", 0) == 0) g.x = std::stoi(line.substr(2));
    if (line.rfind("Y=", 0) == 0) g.y = std::stoi(line.substr(2));
    if (line.rfind("WIDTH=", 0) == 0) g.width = std::stoi(line.substr(6));
    if (line.rfind("HEIGHT=", 0) == 0) g.height = std::stoi(line.substr(7));
  }
  return g;
}

// The window's picture as the server shows it (0x00RRGGBB rows).
WindowPixels Screenshot(const std::string& id) {
  WindowPixels shot;
  const std::string ppm = Capture("import -silent -window " + id + " -depth 8 ppm:- 2>/dev/null");
  std::istringstream in(ppm);
  std::string magic;
  int maxval = 0;
  in >> magic >> shot.width >> shot.height >> maxval;
  in.get();
  if (magic != "P6" || maxval != 255) return WindowPixels{};
  const size_t count = static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height);
  const size_t start = static_cast<size_t>(in.tellg());
  if (ppm.size() < start + count * 3) return WindowPixels{};
  for (size_t i = 0; i < count; ++i) {
    const auto* p = reinterpret_cast<const unsigned char*>(ppm.data() + start + i * 3);
    shot.pixels.push_back((uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2]);
  }
  return shot;
}

int Differences(const WindowPixels& a, const WindowPixels& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  int count = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) count += (a.pixels[i] & 0xFFFFFF) != (b.pixels[i] & 0xFFFFFF);
  return count;
}

void SavePpm(const WindowPixels& shown, const std::string& name) {
  FILE* file = std::fopen((std::string(AMBREL_BINARY_DIR) + "/" + name + ".ppm").c_str(), "wb");
  if (file == nullptr) return;
  std::fprintf(file, "P6\n%d %d\n255\n", shown.width, shown.height);
  for (uint32_t p : shown.pixels) {
    const unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                                  static_cast<unsigned char>(p)};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
}

// What the headless window system paints for the same settings file, shown
// as start-up shows it.
WindowPixels HeadlessPicture(const std::string& settings) {
  WindowPixels picture;
  EXPECT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
  StartSystemControls();
  BuildApplicationWindow();
  EXPECT_EQ(LoadSettingsFrom(settings.c_str()), 1);
  ShowMainWindow(0);
  ProcessPendingMessages();
  EXPECT_TRUE(CaptureWindowPixels(MainWindow->hwnd, &picture));
  ReleaseApplication();
  StopSystemControls();
  ShutdownWindowSystem();
  return picture;
}

// Clicks at a point of the main window's client area.
void ClickAt(const Geometry& window, int x, int y) {
  Xdotool("mousemove " + std::to_string(window.x + x) + " " + std::to_string(window.y + y) +
          " sleep 0.2 click 1 sleep 0.3");
}

// Whether a window of the program's pop-up lists is on the screen.
bool ListShown() {
  return !Capture("xdotool search --onlyvisible --class '^AmbrelPopup_WndClass$' 2>/dev/null").empty();
}

// Chooses the first item of the selector whose box starts at client (x, y):
// the list opens under the box, its first row just below the box's edge.
// The pointer moves over the row once the list is shown, and twice, as a
// hand does: the first movement only leaves the box.
void ChooseFirstItem(const Geometry& window, int x, int y) {
  ClickAt(window, x + 40, y + 12);
  ASSERT_TRUE(WaitUntil(ListShown)) << "the list did not open";
  const std::string row = std::to_string(window.y + y + 25 + 12);
  Xdotool("mousemove " + std::to_string(window.x + x + 40) + " " + row + " sleep 0.2 mousemove " +
          std::to_string(window.x + x + 44) + " " + row + " sleep 0.2 click 1 sleep 0.3");
}

TEST(Program, ServesWhatTheWindowAppliesAndStaysOneInstance) {
  PrivateDisplay display;
  ASSERT_TRUE(display.StartAndExport()) << "Xvfb is needed (package xvfb)";
  Installation installed;
  const std::string site = std::string(AMBREL_SOURCE_DIR) + "/examples/site";
  installed.WriteSettings(SettingsFile("", "", "", {kItemNotRunning, kItemLocalServer, kItemPhpDisabled,
                                                    kItemCgiEnabled, kItemLoggingDisabled}));
  const WindowPixels expected = HeadlessPicture(installed.settings);
  Program first(installed);
  std::string id;
  ASSERT_TRUE(WaitUntil([&] { return !(id = FindWindow("Ambrel HTTP Server")).empty(); }));
  const Geometry window = GeometryOf(id);
  EXPECT_EQ(window.width, 400);
  EXPECT_EQ(window.height, 448);
  // The window manager's icon: icon 1, 16 x 16, then the same picture drawn
  // at each larger size a desktop shows.
  const std::string icon = Capture("xprop -len 1000000 -id " + id + " _NET_WM_ICON");
  for (int size : {16, 32, 48, 128, 256}) {
    const std::string header = "Icon (" + std::to_string(size) + " x " + std::to_string(size) + "):";
    EXPECT_NE(icon.find(header), std::string::npos) << header << " in " << icon.substr(0, 80);
  }

  // The pointer off the window, so nothing shows hover; then the screen
  // must equal the headless paint.
  Xdotool("mousemove 0 0");
  WindowPixels shown;
  const bool same = WaitUntil([&] { return Differences(shown = Screenshot(id), expected) == 0; });
  SavePpm(shown, "program_x11");
  SavePpm(expected, "program_headless");
  EXPECT_TRUE(same) << Differences(shown, expected) << " pixels differ";

  // Type the folder, choose "Running", Apply: the site answers.
  ClickAt(window, 135 + 40, 147 + 12);
  Xdotool("type --delay 5 '" + site + "'");
  ChooseFirstItem(window, 15, 118);
  ClickAt(window, 316 + 40, 419 + 12);
  std::string page;
  ASSERT_TRUE(WaitUntil([&] { return (page = Fetch("/")).find("Ambrel demo site") != std::string::npos; }))
      << page;
  const std::string saved = SettingsFile(site, "", "", {kItemRunning, kItemLocalServer, kItemPhpDisabled,
                                                        kItemCgiEnabled, kItemLoggingDisabled});
  EXPECT_EQ(ReadAll(installed.settings), saved);

  // A second start shows the one-instance box and ends on that start-up
  // error (exit code 1);
  // the first goes on serving.
  {
    Program second(installed);
    std::string box;
    ASSERT_TRUE(WaitUntil([&] { return !(box = FindWindow("Error")).empty(); }));
    // The box takes the keyboard when it opens.
    ASSERT_TRUE(WaitUntil([&] { return Capture("xdotool getwindowfocus 2>/dev/null") == box + "\n"; }))
        << "the box never had the keyboard";
    Xdotool("key Return");
    EXPECT_EQ(second.WaitForExit(), 1);
  }
  EXPECT_NE(Fetch("/").find("Ambrel demo site"), std::string::npos);

  // Browse beside the PHP folder asks the chooser; "PHP Enabled" and Apply
  // then run PHP from the chosen folder.
  ClickAt(window, 305 + 40, 247 + 12);
  ASSERT_TRUE(WaitUntil([&] { return !ReadAll(installed.stubs + "/zenity-args").empty(); }));
  EXPECT_EQ(ReadAll(installed.stubs + "/zenity-args"), "--file-selection --directory --title=Set Path to PHP\n");
  ChooseFirstItem(window, 15, 218);
  ClickAt(window, 316 + 40, 419 + 12);
  ASSERT_TRUE(WaitUntil([&] { return Fetch("/info.php").find("<h1>PHP page</h1>") != std::string::npos; }))
      << Fetch("/info.php");
  EXPECT_EQ(ReadAll(installed.settings),
            SettingsFile(site, "/usr/bin", "", {kItemRunning, kItemLocalServer, kItemPhpEnabled,
                                                kItemCgiEnabled, kItemLoggingDisabled}));

  // SIGTERM: the engine stops and the program ends as after a normal end.
  kill(first.pid, SIGTERM);
  EXPECT_EQ(first.WaitForExit(), 0);
  EXPECT_EQ(Fetch("/"), "");
}

TEST(Program, LosingTheDisplayStopsTheEngineAndEnds) {
  PrivateDisplay display;
  ASSERT_TRUE(display.StartAndExport());
  Installation installed;
  const std::string logs = installed.root + "/logs/";
  installed.WriteSettings(SettingsFile(std::string(AMBREL_SOURCE_DIR) + "/examples/site", "", logs,
                                       {kItemRunning, kItemLocalServer, kItemPhpDisabled, kItemCgiDisabled,
                                        kItemLoggingEnabled}));
  const std::string errors = installed.root + "/errors.txt";
  Program program(installed, false, errors);
  ASSERT_TRUE(WaitUntil([] { return Fetch("/").find("Ambrel demo site") != std::string::npos; }));
  // With a window too, the terminal names the address served, in one line.
  EXPECT_EQ(ReadAll(errors), "Ambrel HTTP Server: serving " AMBREL_SOURCE_DIR "/examples/site at "
                             "http://127.0.0.1/ (port 80)\n");
  Fetch("/index.html?before-logout");
  display.Stop();
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_EQ(Fetch("/"), "");
  const std::string log = Capture("cat '" + logs + "'Ambrel_HTTP_*.log");
  EXPECT_NE(log.find("GET /index.html?before-logout HTTP/1.1"), std::string::npos) << log;
}

TEST(Program, WithoutADisplayItServesSaysWhereAndEndsOnCtrlC) {
  Installation installed;
  const std::string logs = installed.root + "/logs/";
  const std::string site = std::string(AMBREL_SOURCE_DIR) + "/examples/site";
  installed.WriteSettings(SettingsFile(site, "/usr/bin", logs, {kItemRunning, kItemLocalServer, kItemPhpEnabled,
                                                                kItemCgiEnabled, kItemLoggingEnabled}));
  const std::string errors = installed.root + "/errors.txt";
  Program program(installed, true, errors);
  ASSERT_TRUE(WaitUntil([] { return Fetch("/info.php").find("<h1>PHP page</h1>") != std::string::npos; }));
  EXPECT_NE(ReadAll(errors).find("serving " + site + " at http://127.0.0.1/"), std::string::npos)
      << ReadAll(errors);
  Fetch("/index.html?before-ctrl-c");
  kill(program.pid, SIGINT);
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_EQ(Fetch("/"), "");
  const std::string log = Capture("cat '" + logs + "'Ambrel_HTTP_*.log");
  EXPECT_NE(log.find("GET /index.html?before-ctrl-c HTTP/1.1"), std::string::npos) << log;
}

// Port 80 refused: the console says why, never that it serves, and Ctrl+C
// is still a normal end. First another program holds the port, then the
// program runs as a user without the privilege for ports below 1024.
TEST(Program, WithoutADisplayABindFailureSaysWhyAndNeverServing) {
  Installation installed;
  chmod(installed.root.c_str(), 0755);
  installed.WriteSettings(SettingsFile(std::string(AMBREL_SOURCE_DIR) + "/examples/site", "", "",
                                       {kItemRunning, kItemLocalServer, kItemPhpDisabled,
                                        kItemCgiDisabled, kItemLoggingDisabled}));
  const std::string errors = installed.root + "/errors.txt";
  const auto reportOf = [&](uid_t user) {
    std::remove(errors.c_str());
    Program program(installed, true, errors, user);
    EXPECT_TRUE(WaitUntil([&] { return ReadAll(errors).find("Ctrl+C") != std::string::npos; }));
    kill(program.pid, SIGINT);
    EXPECT_EQ(program.WaitForExit(), 0);
    return ReadAll(errors);
  };
  const SocketHandle holder = testos::HoldPort(80);
  ASSERT_NE(holder, kInvalidSocket);
  std::string report = reportOf(0);
  testos::CloseTestSocket(holder);
  EXPECT_NE(report.find("Server Error: Server Failed While Attempting to Bind"), std::string::npos) << report;
  EXPECT_NE(report.find("not serving: port 80 is in use by another program"), std::string::npos) << report;
  EXPECT_EQ(report.find("serving " AMBREL_SOURCE_DIR), std::string::npos) << report;
  // The settings file is opened for updating: the user must own it.
  ASSERT_EQ(chown(installed.settings.c_str(), 65534, 65534), 0);
  report = reportOf(65534);
  EXPECT_NE(report.find("not serving: this program may not use port 80: ports below 1024 need a "
                        "capability; grant it once with: sudo setcap cap_net_bind_service=+ep " +
                        installed.program + "\n"),
            std::string::npos) << report;
  EXPECT_EQ(report.find("serving " AMBREL_SOURCE_DIR), std::string::npos) << report;
}

// Without a display nobody can enter settings: a settings file that is
// missing, read-only or a folder is named with the reason, not blamed on a
// "Not Running" status it never had.
TEST(Program, WithoutADisplaySaysWhyTheSettingsFileWasNotRead) {
  Installation installed;
  const std::string errors = installed.root + "/errors.txt";
  const auto reportOf = [&] {
    std::remove(errors.c_str());
    Program program(installed, true, errors);
    WaitUntil([&] { return ReadAll(errors).find("Ctrl+C") != std::string::npos; });
    kill(program.pid, SIGINT);
    EXPECT_EQ(program.WaitForExit(), 0);
    return ReadAll(errors);
  };
  std::string report = reportOf();
  EXPECT_NE(report.find("not serving: " + installed.settings + ": there is no settings file"),
            std::string::npos) << report;
  installed.WriteSettings(SettingsFile(AMBREL_SOURCE_DIR "/examples/site", "", "",
                                       {kItemRunning, kItemLocalServer, kItemPhpDisabled,
                                        kItemCgiDisabled, kItemLoggingDisabled}));
  chmod(installed.settings.c_str(), 0444);
  report = reportOf();
  EXPECT_NE(report.find(installed.settings + ": it is marked read-only"), std::string::npos) << report;
  std::remove(installed.settings.c_str());
  mkdir(installed.settings.c_str(), 0755);
  report = reportOf();
  EXPECT_NE(report.find(installed.settings + ": it is not a file"), std::string::npos) << report;
  // A folder so deep that the settings file's name cannot be built.
  const std::string deep = installed.root + "/" + std::string(250, 'd');
  mkdir(deep.c_str(), 0755);
  installed.program = deep + "/ambrel";
  std::system(("cp '" AMBREL_BINARY_DIR "/ambrel' '" + installed.program + "'").c_str());
  report = reportOf();
  EXPECT_NE(report.find("not serving: settings.dat: the program's folder is too deep"), std::string::npos)
      << report;
}

// A display that is named but cannot be opened: the program serves without a
// window and says so on the terminal.
TEST(Program, AnUnreachableDisplayIsNamedOnTheTerminal) {
  Installation installed;
  const std::string errors = installed.root + "/errors.txt";
  const std::string saved = std::getenv("DISPLAY") != nullptr ? std::getenv("DISPLAY") : "";
  setenv("DISPLAY", ":64999", 1);
  Program program(installed, false, errors);
  setenv("DISPLAY", saved.c_str(), 1);
  WaitUntil([&] { return ReadAll(errors).find("Ctrl+C") != std::string::npos; });
  kill(program.pid, SIGINT);
  EXPECT_EQ(program.WaitForExit(), 0);
  EXPECT_NE(ReadAll(errors).find("cannot open the X display \":64999\"; going on without a window"),
            std::string::npos) << ReadAll(errors);
}

}  // namespace
