// The demonstration window of the framework tests: a banner, every kind of
// group (captioned with an icon, frame only with a content icon, invisible,
// nested), STATIC labels and word-wrapped text, and EDIT fields.
#pragma once

#include "core/blocks.h"
#include "ui/framework/gui_window.h"
#include "ui/render/image.h"
#include "window/builtin/system_controls.h"

inline constexpr int32_t kServingEditId = 11;
inline constexpr int32_t kPhpEditId = 12;
inline constexpr int32_t kLogEditId = 13;

// A 16 x 16 green diamond with soft edges: an icon with its own alpha.
inline Icon* NewDiamondIcon() {
  Image* image = NewImage(16, 16);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 16; ++x) {
      int d = (x < 8 ? 7 - x : x - 8) + (y < 8 ? 7 - y : y - 8);
      if (d > 8) continue;
      int shade = 200 - d * 12;
      *PixelAddress(image, x, y) = (static_cast<Pixel>(d == 8 ? 0x80 : 0xFF) << 24) |
                                   (static_cast<Pixel>(shade / 4) << 16) |
                                   (static_cast<Pixel>(shade) << 8) | static_cast<Pixel>(shade / 5);
    }
  }
  Icon* icon = CreateIconFromImages(image, nullptr);
  FreeImage(&image);
  return icon;
}

inline GuiWindow* BuildDemoWindow(const Image* banner, const Icon* icon, WindowProc appProc) {
  GuiWindow* w = NewGuiWindow(380, 400, 700, 560, WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN,
                              appProc);
  SetWindowBanner(w, banner);
  LayoutGroup* root = AddLayoutGroup(w, nullptr, nullptr, 100, 1, 0, 1, 74, 2, 0, 2, 0);
  LayoutGroup* server = AddLayoutGroup(w, root, "Server Control", 1, 1, 0, 1, 0, 2, 0, 1, 112);
  SetGroupIcon(server, icon);
  AddLayoutControl(server, "Serving Directory:", kStaticClassName, 0, 0, 21, 1, 8, 1, 10, 1, 104, 1, 18);
  AddLayoutControl(server, "/var/www/site", kEditClassName, WS_EX_CLIENTEDGE, ES_AUTOHSCROLL, kServingEditId,
                   1, 114, 1, 6, 2, 8, 1, 23);
  AddLayoutControl(server, "PHP Directory:", kStaticClassName, 0, 0, 22, 1, 8, 1, 43, 1, 104, 1, 18);
  AddLayoutControl(server, "/usr/bin", kEditClassName, WS_EX_CLIENTEDGE, ES_AUTOHSCROLL, kPhpEditId, 1, 114,
                   1, 39, 2, 8, 1, 23);
  LayoutGroup* notes = AddLayoutGroup(w, root, "", 2, 1, 0, 1, 104, 2, 0, 1, 88);
  AddGroupIcon(notes, icon, 6, 6, 32);
  AddLayoutControl(notes, "Pages are served from the serving directory on port 80; PHP scripts run "
                   "through the interpreter in the PHP directory.",
                   kStaticClassName, 0, 0, 23, 1, 48, 1, 6, 2, 8, 2, 6);
  LayoutGroup* logging = AddLayoutGroup(w, root, "Logging Options", 3, 1, 0, 1, 184, 2, 0, 2, 0);
  LayoutGroup* inner = AddLayoutGroup(w, logging, nullptr, 4, 1, 0, 2, 36, 2, 0, 1, 30);
  AddLayoutControl(inner, "Log Directory:", kStaticClassName, 0, 0, 24, 1, 8, 1, 4, 1, 104, 1, 18);
  AddLayoutControl(inner, "/var/log/ambrel", kEditClassName, WS_EX_CLIENTEDGE, ES_AUTOHSCROLL, kLogEditId, 1,
                   114, 1, 0, 2, 8, 1, 23);
  return w;
}

inline void FreeDemoWindow(GuiWindow** slot) {
  if (*slot == nullptr) return;
  if (IsWindow((*slot)->hwnd)) DestroyWindow((*slot)->hwnd);
  FreeLayoutGroup((*slot)->groups.first);
  FreeAndClear(slot);
}
