// AmbrelLink_Wnd: the toolkit's hyperlink. A one-line caption in a link colour
// that changes under the pointer, with the hand cursor; a click or Enter/Space
// opens its target through the platform shell. It does not notify its parent
// and takes no part in the Tab order.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "window/window_system.h"
#include "ui/render/image.h"

struct ThemeApi;

constexpr const char* kLinkClassName = "AmbrelLink_Wnd";

constexpr uint32_t LKM_SETCOLORS = 0x401;
constexpr uint32_t LKM_SETLINK = 0x402;
constexpr uint32_t LKM_SETBACKGROUND = 0x403;

constexpr Color kLinkNormalColour = MakeColor(0, 0, 255);
constexpr Color kLinkHoverColour = MakeColor(187, 0, 255);

// The per-window record, kept in the user-data slot; it owns `text`,
// `target` and `theme`.
struct LinkData {
  char* text;
  char* target;
  int32_t width;
  int32_t height;
  int32_t textHeight;
  Color normalColour;
  Color hoverColour;
  FontHandle font;
  int32_t pressed;
  int32_t hover;
  int32_t focused;
  int16_t lastX;
  int16_t lastY;
  void* theme;
  Color backColour;
  int32_t ownBackground;
  ThemeApi* themeApi;
};

// Registers AmbrelLink_Wnd. 1 on success, 0 on failure.
int RegisterLinkClass();

// The class procedure.
LResult LinkWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Paints the whole link into `image` (its client size), drawing with `font`.
void PaintLink(Image* image, const LinkData* link, FontHandle font);
