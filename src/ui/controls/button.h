// ButtonBoy_Wnd: the toolkit's push button. A child window that paints itself
// off-screen in one of four looks (flat, raised panel, visual style, classic),
// shows a caption and an optional 16 by 16 icon, and posts WM_COMMAND
// (BN_CLICKED) to its parent when clicked. A toggle mode latches a two-valued
// state; a lock keeps clicks from changing it.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "window/window_system.h"

struct Icon;
struct Image;
struct ThemeApi;

constexpr const char* kButtonClassName = "ButtonBoy_Wnd";

constexpr uint32_t BBM_SETICON = 0x40A;
constexpr uint32_t BBM_SHOWICON = 0x40B;
constexpr uint32_t BBM_SETTOGGLE = 0x40C;
constexpr uint32_t BBM_SETPANEL = 0x40D;
constexpr uint32_t BBM_SETSTATE = 0x40E;
constexpr uint32_t BBM_GETSTATE = 0x40F;
constexpr uint32_t BBM_SETLOCKED = 0x410;
constexpr uint32_t BBM_SETFLAT = 0x411;

// The per-window record, zero-filled at creation and kept in the window's
// user-data slot. It owns `text` and `theme`.
struct ButtonData {
  char* text;
  int32_t showIcon;
  int32_t width;
  int32_t height;
  int32_t textHeight;
  int32_t iconWidth;
  int32_t iconHeight;
  int32_t id;
  const Icon* icon;  // shared
  FontHandle font;   // shared; null: the toolkit's normal font
  int32_t pressed;
  int32_t hover;
  int32_t focused;
  int32_t flat;
  int32_t toggle;
  int32_t locked;
  int32_t panel;
  int32_t disabled;
  int32_t state;  // toggle state; 0 is drawn pushed in
  void* theme;
  ThemeApi* themeApi;
};

// Registers ButtonBoy_Wnd. 1 on success; on failure a "Fatal Error" box
// says so and the result is -1.
int RegisterButtonClass();

// Gives the button `icon` at 16 by 16 and shows it when `show` is 1.
void SetButtonIcon(WindowHandle button, const Icon* icon, int show);

// The class procedure.
LResult ButtonWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Paints the whole button into `image` (width x height of the button) in the
// look its record selects, measuring and drawing text with `font`.
void PaintButton(Image* image, const ButtonData* button, FontHandle font);
