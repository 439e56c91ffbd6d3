// The headless status area: a host is a flag and an icon size that a test
// sets; docked icons keep the picture they would show.
#include "window/core/core.h"
#include "window/tray_core.h"

namespace wscore {

namespace {

struct HeadlessHost {
  bool present = false;
  int32_t size = 16;
};

HeadlessHost& Host() {
  static HeadlessHost host;
  return host;
}

void Repaint(StatusIcon* icon) {
  if (!icon->docked) return;
  icon->width = icon->height = Host().size;
  icon->shown = ScaleStatusIconPicture(icon->picture, icon->pictureWidth, icon->pictureHeight,
                                       icon->width, icon->height, nullptr);
}

void Dock(StatusIcon* icon, bool docked) {
  OnStatusIconDocked(icon, docked);
  Repaint(icon);
}

bool Add(StatusIcon* icon) {
  if (Host().present) Dock(icon, true);
  return true;
}

void Remove(StatusIcon*) {}

void Shutdown() { Host() = HeadlessHost{}; }

// The headless host sits in the screen's bottom-right corner.
bool Locate(StatusIcon* icon, WinRect* out) {
  const int32_t w = State().screenWidth, h = State().screenHeight;
  *out = WinRect{w - icon->width, h - icon->height, w, h};
  return true;
}

const TrayOps kHeadlessTrayOps = {
    .add = Add,
    .repaint = Repaint,
    .remove = Remove,
    .shutdown = Shutdown,
    .locate = Locate,
};

StatusIcon* Docked(WindowHandle window, uint32_t id) {
  for (auto& icon : StatusIcons()) {
    if (icon->owner == window && icon->id == id && icon->docked) return icon.get();
  }
  return nullptr;
}

}  // namespace

const TrayOps* HeadlessTray() { return &kHeadlessTrayOps; }

}  // namespace wscore

using namespace wscore;

void SetHeadlessTrayHost(bool present, int32_t iconSize) {
  Host().present = present;
  Host().size = iconSize > 0 ? iconSize : 16;
  for (auto& icon : StatusIcons()) Dock(icon.get(), present);
}

void InjectStatusIconHover(WindowHandle window, uint32_t id, bool inside) {
  if (StatusIcon* icon = Docked(window, id)) OnStatusIconPointer(icon, inside, State().pointer);
}

void InjectStatusIconButton(WindowHandle window, uint32_t id, MouseButton button, bool down) {
  if (StatusIcon* icon = Docked(window, id)) OnStatusIconButton(icon, button, down, State().pointer);
}
