// The backend-independent half of the status area: the icon records, the
// callbacks to the owner with their double clicks, and the tooltip window.
// A backend docks the icons and feeds their pointer input back through the
// entry points below.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "window/tray.h"

namespace wscore {

struct StatusIcon {
  WindowHandle owner = nullptr;
  uint32_t id = 0;
  uint32_t callbackMessage = 0;
  std::vector<uint32_t> picture;  // straight alpha, as given
  int32_t pictureWidth = 0, pictureHeight = 0;
  std::string tip;
  bool docked = false;
  // The last picture put on the screen and its size.
  std::vector<uint32_t> shown;
  int32_t width = 0, height = 0;
  // Double clicks and the tooltip.
  uint32_t lastPress = 0;
  uint64_t lastPressTime = 0;
  WinPoint lastPressPoint{0, 0};
  bool hover = false;
  WinPoint hoverPoint{0, 0};
  // The same picture at other sizes, and the menu for hosts that draw it.
  struct Picture {
    int32_t width = 0, height = 0;
    std::vector<uint32_t> pixels;
  };
  std::vector<Picture> sizes;
  struct MenuItem {
    int32_t id = -1;
    std::string text;
    Picture icon;
    bool enabled = true;
  };
  std::vector<MenuItem> menu;
  uint32_t menuMessage = 0;
  bool menuChanged = false;
  WinPoint menuPoint{0, 0};
  bool menuPointSet = false;
  // Backend data (the X11 icon window and its visual; whether the session
  // bus holds the icon).
  uintptr_t native = 0;
  bool argb = false;
  bool onBus = false;
};

struct TrayOps {
  bool (*add)(StatusIcon* icon);     // false: the display refuses the icon
  void (*repaint)(StatusIcon* icon); // the picture changed
  void (*remove)(StatusIcon* icon);
  void (*shutdown)();  // the window system closes; forget the host
  bool (*locate)(StatusIcon* icon, WinRect* screen);  // where it is while docked
};

const TrayOps* HeadlessTray();
const TrayOps* X11Tray();

// Every icon of the process (UI thread).
std::vector<std::unique_ptr<StatusIcon>>& StatusIcons();

// Entry points for backends; `screen` is the pointer's screen position.
void OnStatusIconButton(StatusIcon* icon, MouseButton button, bool down, WinPoint screen);
void OnStatusIconPointer(StatusIcon* icon, bool inside, WinPoint screen);
void OnStatusIconDocked(StatusIcon* icon, bool docked);
// A host asks for the double click's action, or for the menu at a point.
void OnStatusIconActivate(StatusIcon* icon);
void OnStatusIconContextMenu(StatusIcon* icon, WinPoint screen);
// A host's menu item was chosen.
void OnStatusIconMenuItem(StatusIcon* icon, int32_t id);

// Removes every icon; the window system calls it when it shuts down.
void RemoveAllStatusIcons();

}  // namespace wscore
