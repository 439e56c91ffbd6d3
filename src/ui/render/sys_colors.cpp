// The fixed system colour palette (see sys_colors.h).
#include "ui/render/sys_colors.h"

namespace {

constexpr Color kPalette[31] = {
    MakeColor(212, 208, 200),  // COLOR_SCROLLBAR
    MakeColor(0, 78, 152),     // COLOR_BACKGROUND
    MakeColor(0, 84, 227),     // COLOR_ACTIVECAPTION
    MakeColor(122, 150, 223),  // COLOR_INACTIVECAPTION
    MakeColor(255, 255, 255),  // COLOR_MENU
    MakeColor(255, 255, 255),  // COLOR_WINDOW
    MakeColor(0, 0, 0),        // COLOR_WINDOWFRAME
    MakeColor(0, 0, 0),        // COLOR_MENUTEXT
    MakeColor(0, 0, 0),        // COLOR_WINDOWTEXT
    MakeColor(255, 255, 255),  // COLOR_CAPTIONTEXT
    MakeColor(212, 208, 200),  // COLOR_ACTIVEBORDER
    MakeColor(212, 208, 200),  // COLOR_INACTIVEBORDER
    MakeColor(128, 128, 128),  // COLOR_APPWORKSPACE
    MakeColor(49, 106, 197),   // COLOR_HIGHLIGHT
    MakeColor(255, 255, 255),  // COLOR_HIGHLIGHTTEXT
    MakeColor(236, 233, 216),  // COLOR_BTNFACE
    MakeColor(172, 168, 153),  // COLOR_BTNSHADOW
    MakeColor(172, 168, 153),  // COLOR_GRAYTEXT
    MakeColor(0, 0, 0),        // COLOR_BTNTEXT
    MakeColor(216, 228, 248),  // COLOR_INACTIVECAPTIONTEXT
    MakeColor(255, 255, 255),  // COLOR_BTNHIGHLIGHT
    MakeColor(113, 111, 100),  // COLOR_3DDKSHADOW
    MakeColor(241, 239, 226),  // COLOR_3DLIGHT
    MakeColor(0, 0, 0),        // COLOR_INFOTEXT
    MakeColor(255, 255, 225),  // COLOR_INFOBK
    MakeColor(181, 181, 181),  // 25: no longer used by the platform
    MakeColor(0, 0, 128),      // COLOR_HOTLIGHT
    MakeColor(61, 149, 255),   // COLOR_GRADIENTACTIVECAPTION
    MakeColor(157, 185, 235),  // COLOR_GRADIENTINACTIVECAPTION
    MakeColor(49, 106, 197),   // COLOR_MENUHILIGHT
    MakeColor(236, 233, 216),  // COLOR_MENUBAR
};

}  // namespace

Color GetSysColor(int index) {
  if (index < 0 || index >= static_cast<int>(sizeof(kPalette) / sizeof(kPalette[0]))) return 0;
  return kPalette[index];
}

Pixel SysPixel(int index) { return ShadeColorToPixel(GetSysColor(index), 0); }
