// The controls on a real X server: a private Xvfb is started for the test
// (no DISPLAY is needed), a parent window with an EDIT, a STATIC and then a
// message box comes up, and what the server shows is read back and compared
// with the pictures the painting functions make for the same state.
#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>

#include "controls_fixture.h"
#include "image_dump.h"
#include "support/message_pump.h"
#include "support/private_display.h"
#include "ui/render/sys_colors.h"
#include "window/builtin/edit_paint.h"
#include "window/builtin/message_box_paint.h"
#include "window/window_test_hooks.h"

namespace {

int Differences(const WindowPixels& shown, const Image* expected) {
  int count = 0;
  for (int y = 0; y < expected->height; ++y)
    for (int x = 0; x < expected->width; ++x)
      count += (shown.At(x, y) & 0xFFFFFFu) != (*PixelAddress(expected, x, y) & 0xFFFFFFu);
  return count;
}

void Dump(const WindowPixels& shown, const char* name) {
  Image view{shown.width, shown.height, shown.width * 4, 32,
             reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(shown.pixels.data()))};
  DumpImage(&view, name);
}

TEST(X11Controls, ScreenShowsWhatThePaintersDraw) {
  PrivateDisplay server;
  if (!server.StartAndExport()) GTEST_SKIP() << "Xvfb is not available";
  ASSERT_TRUE(InitWindowSystem(WindowSystemBackend::kX11)) << server.name();
  ASSERT_TRUE(StartSystemControls());
  g_parent_log = ParentLog{};
  g_parent_log.brush = CreateSolidBrush(GetSysColor(COLOR_WINDOW));
  g_parent_log.text_colour = GetSysColor(COLOR_WINDOWTEXT);
  WindowClass parent_class{"TestParent", TestParentProc};
  parent_class.background = GetSysColor(COLOR_BTNFACE);
  ASSERT_TRUE(RegisterWindowClass(parent_class));
  WindowHandle parent = CreateSystemWindow(0, "TestParent", "Controls", WS_CAPTION | WS_SYSMENU, 40, 40,
                                           360, 120, nullptr, 0, nullptr);
  FontHandle font = GetSystemControlFont();
  WindowHandle label = CreateSystemWindow(0, kStaticClassName, "Serving Directory:", WS_CHILD | WS_VISIBLE,
                                          12, 16, 110, 25, parent, 5, nullptr);
  WindowHandle edit = CreateSystemWindow(WS_EX_CLIENTEDGE, kEditClassName, "/var/www/site",
                                         WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 124, 12, 220, 25, parent,
                                         6, nullptr);
  SendWindowMessage(label, WM_SETFONT, reinterpret_cast<WParam>(font), 0);
  SendWindowMessage(edit, WM_SETFONT, reinterpret_cast<WParam>(font), 0);
  ShowWindow(parent, SW_SHOW);
  SetFocus(edit);
  SendWindowMessage(edit, EM_SETSEL, 5, 8);

  // The field on the screen becomes the painted field, in one blink phase or
  // the other, once the server has mapped and exposed it.
  EditModel model;
  EditSetText(model, "/var/www/site");
  EditSetSelection(model, 5, 8);
  Image* lit = NewImage(220, 25);
  Image* dark = NewImage(220, 25);
  EditLook look{font, true, true, false, true, true};
  PaintEdit(lit, model, look);
  look.caret_on = false;
  PaintEdit(dark, model, look);
  WindowPixels shown;
  bool same = PumpUntil([&] {
    return CaptureWindowPixels(edit, &shown) && shown.width == 220 &&
           (Differences(shown, lit) == 0 || Differences(shown, dark) == 0);
  });
  Dump(shown, "x11_edit");
  EXPECT_TRUE(same);
  FreeImage(&lit);
  FreeImage(&dark);

  // A box raised on another thread shows over the parent until Enter.
  std::atomic<bool> returned{false};
  std::thread engine([&] {
    ShowMessageBox("The server could not listen on port 80.", "Server Error", MessageBoxIcon::kInformation);
    returned = true;
  });
  WindowHandle box = nullptr;
  PumpUntil([&] {
    WindowHandle active = GetActiveTopLevelWindow();
    if (active && std::string(GetWindowClassName(active)) == kMessageBoxClassName) box = active;
    return box != nullptr;
  });
  EXPECT_NE(box, nullptr);
  if (box) {
    MessageBoxLayout layout = LayoutMessageBox("The server could not listen on port 80.", font);
    WindowPixels box_pixels;
    auto disc = [&] { return box_pixels.At(layout.icon.left + 7, layout.icon.top + 20); };
    bool painted = PumpUntil([&] {
      return CaptureWindowPixels(box, &box_pixels) && box_pixels.width == layout.width &&
             PixelBlue(disc()) > PixelRed(disc()) + 60;
    });
    Dump(box_pixels, "x11_message_box");
    EXPECT_TRUE(painted);
    EXPECT_FALSE(returned.load());
    InjectKey(VK_RETURN, true);
    InjectKey(VK_RETURN, false);
  }
  PumpUntil([&] { return returned.load(); });
  if (!returned && box) DestroyWindow(box);
  engine.join();
  EXPECT_TRUE(returned.load());

  DestroyWindow(parent);
  StopSystemControls();
  ShutdownWindowSystem();
  DeleteSolidBrush(&g_parent_log.brush);
}

}  // namespace
