// The demonstration window on a real X server: what the server shows equals
// what the headless backend paints for the same scene, before and after a
// resize; xdotool's clicks, typing and Tab reach the right fields.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "demo_scene.h"
#include "framework_test_resources.h"
#include "support/message_pump.h"
#include "support/private_display.h"
#include "ui/render/resources.h"

namespace {

constexpr int kWidth = 380, kHeight = 400, kWiderWidth = 500, kTallerHeight = 450;

struct Pictures {
  WindowPixels first;
  WindowPixels resized;
};

void SavePpm(const WindowPixels& shown, const std::string& name) {
  std::string path = std::string(AMBREL_BINARY_DIR) + "/" + name + ".ppm";
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return;
  std::fprintf(file, "P6\n%d %d\n255\n", shown.width, shown.height);
  for (uint32_t p : shown.pixels) {
    unsigned char rgb[3] = {static_cast<unsigned char>(p >> 16), static_cast<unsigned char>(p >> 8),
                            static_cast<unsigned char>(p)};
    std::fwrite(rgb, 1, 3, file);
  }
  std::fclose(file);
}

int Differences(const WindowPixels& a, const WindowPixels& b) {
  if (a.width != b.width || a.height != b.height) return -1;
  int count = 0;
  for (size_t i = 0; i < a.pixels.size(); ++i) count += (a.pixels[i] & 0xFFFFFF) != (b.pixels[i] & 0xFFFFFF);
  return count;
}

// Starts the toolkit on the running window system and shows the demo.
struct DemoRun {
  Image* banner = LoadImageResource(&kFrameworkTestResources, 1000);
  Icon* icon = NewDiamondIcon();
  GuiWindow* window = nullptr;
  bool Start() {
    if (!StartSystemControls()) return false;
    InitGuiToolkit(nullptr);
    window = BuildDemoWindow(banner, icon, nullptr);
    if (CreateGuiWindow(window, nullptr, "Toolkit Demo", kWidth, kHeight) != 1) return false;
    ShowWindow(window->hwnd, SW_SHOW);
    return true;
  }
  void Resize() {
    WinRect r{};
    GetWindowRect(window->hwnd, &r);
    MoveWindow(window->hwnd, r.left, r.top, kWiderWidth, kTallerHeight, true);
  }
  WindowHandle Edit(int id) { return FindChildById(window->hwnd, id); }
  ~DemoRun() {
    FreeDemoWindow(&window);
    ReleaseGuiToolkit();
    StopSystemControls();
    DestroyIcon(&icon);
    FreeImage(&banner);
  }
};

Pictures HeadlessPictures() {
  Pictures pictures;
  EXPECT_TRUE(InitWindowSystem(WindowSystemBackend::kHeadless));
  {
    DemoRun demo;
    EXPECT_TRUE(demo.Start());
    ProcessPendingMessages();
    EXPECT_TRUE(CaptureWindowPixels(demo.window->hwnd, &pictures.first));
    demo.Resize();
    ProcessPendingMessages();
    EXPECT_TRUE(CaptureWindowPixels(demo.window->hwnd, &pictures.resized));
  }
  ShutdownWindowSystem();
  return pictures;
}

TEST(X11Toolkit, ScreenMatchesHeadlessAndInputReachesTheFields) {
  Pictures expected = HeadlessPictures();
  SavePpm(expected.first, "toolkit_demo_headless");
  PrivateDisplay server;
  ASSERT_TRUE(server.StartAndExport()) << "Xvfb is needed (package xvfb)";
  ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kX11));
  {
    DemoRun demo;
    ASSERT_TRUE(demo.Start());
    WindowPixels shown;
    bool same = PumpUntil([&] {
      return CaptureWindowPixels(demo.window->hwnd, &shown) && Differences(shown, expected.first) == 0;
    });
    SavePpm(shown, "toolkit_demo_x11");
    EXPECT_TRUE(same) << Differences(shown, expected.first) << " pixels differ";

    demo.Resize();
    same = PumpUntil([&] {
      return CaptureWindowPixels(demo.window->hwnd, &shown) && Differences(shown, expected.resized) == 0;
    });
    SavePpm(shown, "toolkit_demo_x11_resized");
    EXPECT_TRUE(same) << Differences(shown, expected.resized) << " pixels differ after the resize";

    // A click into the PHP field, select all, type; then Tab to the next field.
    WindowHandle php = demo.Edit(kPhpEditId);
    WinRect field{};
    GetWindowRect(php, &field);
    std::string x = std::to_string(field.left + 20), y = std::to_string(field.top + 10);
    ASSERT_EQ(RunClient({"/usr/bin/xdotool", "mousemove", x, y, "click", "1"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return GetFocusWindow() == php; }));
    ASSERT_EQ(RunClient({"/usr/bin/xdotool", "key", "ctrl+a", "type", "/opt/php"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return GetWindowTextString(php) == "/opt/php"; }))
        << GetWindowTextString(php);
    ASSERT_EQ(RunClient({"/usr/bin/xdotool", "key", "Tab"}), 0);
    EXPECT_TRUE(PumpUntil([&] { return GetFocusWindow() == demo.Edit(kLogEditId); }));
    EXPECT_EQ(GetWindowTextString(php), "/opt/php");  // Tab never entered the text
    EXPECT_EQ(GetWindowTextString(demo.Edit(kServingEditId)), "/var/www/site");
  }
  ShutdownWindowSystem();
}

}  // namespace
