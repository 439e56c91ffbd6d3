// The desktop's status area (the "tray"): small icons with a tooltip that
// report the pointer to the window that owns them, as Shell_NotifyIconA does.
//
// A status icon is named by its owner window and an identifier. Mouse input
// on it is posted to the owner as `callbackMessage` with wParam = the
// identifier and lParam = the mouse message (WM_MOUSEMOVE, WM_LBUTTONDOWN,
// WM_LBUTTONUP, WM_LBUTTONDBLCLK in place of the second press of a double
// click, and the same for the right and middle buttons). The tooltip shows
// after the pointer rests on the icon and goes when it leaves.
//
// On Linux the icon goes to the first host of three: a StatusNotifierItem
// host on the D-Bus session bus (a watcher runs), else the freedesktop
// system tray of the X screen (XEmbed), else nowhere yet. Having no host is
// normal: adding still succeeds, and the icon docks as soon as a host
// announces itself; a host that leaves hands the icon to the next in line.
// The icon is in one host at a time. IsStatusIconDocked tells whether it is
// on screen now. A bus host that draws the icon's menu itself gets the items
// of NIF_MENU; a chosen item reaches the owner as `menuMessage` (wParam: the
// item's id).
//
// UI thread only, with the window system running.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "window/window_system.h"

inline constexpr uint32_t NIM_ADD = 0;
inline constexpr uint32_t NIM_MODIFY = 1;
inline constexpr uint32_t NIM_DELETE = 2;

inline constexpr uint32_t NIF_MESSAGE = 0x1;
inline constexpr uint32_t NIF_ICON = 0x2;
inline constexpr uint32_t NIF_TIP = 0x4;
// This system's own: the record's menu and extra sizes are valid.
inline constexpr uint32_t NIF_MENU = 0x10000;
inline constexpr uint32_t NIF_SIZES = 0x20000;

inline constexpr int32_t kStatusIconTipSize = 128;

// The picture: width x height top-down pixels 0xAARRGGBB, straight alpha.
// Copied by NotifyStatusIcon.
struct StatusIconPicture {
  int32_t width;
  int32_t height;
  const uint32_t* pixels;
};

// One item of the icon's menu, for hosts that draw it themselves. An id of
// -1 is a separator. Copied by NotifyStatusIcon.
struct StatusMenuItem {
  int32_t id;
  const char* text;
  StatusIconPicture icon;  // pixels null: none
  bool enabled;
};

// What NOTIFYICONDATAA carries. `flags` says which of callbackMessage, icon
// and tip are valid; NIF_SIZES the same picture drawn at other sizes (hosts
// that show larger icons pick one), NIF_MENU the menu. Windows shows neither.
struct NotifyIconRecord {
  WindowHandle window;
  uint32_t id;
  uint32_t flags;
  uint32_t callbackMessage;
  StatusIconPicture icon;
  char tip[kStatusIconTipSize];
  const StatusIconPicture* sizes;
  int32_t sizeCount;
  const StatusMenuItem* menu;
  int32_t menuCount;
  uint32_t menuMessage;
};

// NIM_ADD: adds the icon (false when it exists already, the owner is not a
// window or the display refuses a window). NIM_MODIFY: changes what the
// flags name (false when there is no such icon). NIM_DELETE: removes it
// (false when there was none).
bool NotifyStatusIcon(uint32_t command, const NotifyIconRecord* record);

// Whether the icon sits in a status area now.
bool IsStatusIconDocked(WindowHandle window, uint32_t id);

// Where the icon's context menu opens: the point of the last button or menu
// request on the icon (a bus host names it), else the pointer.
bool GetStatusIconMenuPoint(WindowHandle window, uint32_t id, WinPoint* out);

// What an icon shows, for tests and diagnostics: its tip, whether it is
// docked, and the last picture put on the screen (size x size pixels
// 0xAARRGGBB, premultiplied, the alpha meaningful only with an ARGB host).
struct StatusIconView {
  bool docked = false;
  std::string tip;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  bool tipShown = false;  // the tooltip window is on screen
  bool onBus = false;     // held by a host on the session bus
  WinRect rect{0, 0, 0, 0};  // where it is on the screen while docked
};
bool GetStatusIconView(WindowHandle window, uint32_t id, StatusIconView* out);

// The scaled picture for a width x height icon window: the largest whole
// multiple of the picture's size that fits, pixel for pixel, centred; the
// rest transparent. Premultiplied 0xAARRGGBB. With `background` (width x
// height 0x00RRGGBB) the picture is blended over it instead and the result
// is opaque.
std::vector<uint32_t> ScaleStatusIconPicture(const std::vector<uint32_t>& picture,
                                             int32_t pictureWidth, int32_t pictureHeight,
                                             int32_t width, int32_t height,
                                             const uint32_t* background);

// --- The headless status area (tests) ------------------------------------
// Starts without a host. A host that appears docks every icon at `iconSize`
// pixels square; one that goes away undocks them.
void SetHeadlessTrayHost(bool present, int32_t iconSize);
// Pointer input on the icon, as a host delivers it: the pointer over the icon
// (or leaving it), a button pressed or released on it. Time is the headless
// clock's.
void InjectStatusIconHover(WindowHandle window, uint32_t id, bool inside);
void InjectStatusIconButton(WindowHandle window, uint32_t id, MouseButton button, bool down);
