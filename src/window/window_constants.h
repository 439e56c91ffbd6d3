// The words a window message travels in (handles, parameters, points and
// rectangles) and the numbers it carries: messages, notifications, styles,
// commands, flags and virtual keys, with their Win32 values so that the
// toolkit's procedures read exactly as their descriptions. The calls that
// take them are declared in window/window_system.h.
#pragma once

#include <cstdint>

// ---------------------------------------------------------------------------
// Basic types

// A window. Handles are never reused within a process run; a handle of a
// destroyed window is simply invalid (IsWindow returns false, every call on it
// does nothing and returns 0/false/null).
struct WindowHandleTag;
using WindowHandle = WindowHandleTag*;

using WParam = uintptr_t;
using LParam = intptr_t;
using LResult = intptr_t;

using WindowProc = LResult (*)(WindowHandle window, uint32_t message, WParam wParam,
                               LParam lParam);

struct WinPoint {
  int32_t x;
  int32_t y;
};

// Edges as Win32 keeps them: right and bottom are exclusive.
struct WinRect {
  int32_t left;
  int32_t top;
  int32_t right;
  int32_t bottom;
};

// One message taken from the queue.
struct WindowMessage {
  WindowHandle window;  // null for a thread message (WM_QUIT)
  uint32_t message;
  WParam wParam;
  LParam lParam;
  uint32_t time;  // TickCount() when it was queued
  WinPoint pt;    // cursor position (screen) when it was queued
};

// A mouse button, as injected input and the tray name it.
enum class MouseButton { kLeft, kRight, kMiddle };

// Word helpers for packed parameters (LOWORD, HIWORD, MAKELPARAM, GET_X_LPARAM).
constexpr uint16_t LoWord(uintptr_t value) { return static_cast<uint16_t>(value & 0xFFFF); }
constexpr uint16_t HiWord(uintptr_t value) { return static_cast<uint16_t>((value >> 16) & 0xFFFF); }
constexpr int16_t SignedLoWord(uintptr_t value) { return static_cast<int16_t>(LoWord(value)); }
constexpr int16_t SignedHiWord(uintptr_t value) { return static_cast<int16_t>(HiWord(value)); }
constexpr LParam MakeLParam(int32_t low, int32_t high) {
  return static_cast<LParam>(static_cast<uint32_t>(
      (static_cast<uint32_t>(low) & 0xFFFF) | ((static_cast<uint32_t>(high) & 0xFFFF) << 16)));
}

// ---------------------------------------------------------------------------
// Message numbers (Win32 values). The toolkit numbers its own messages in
// 0x0400 and up (WM_USER + n: BBM_*, LKM_*), 0x0BD0.. (popup and selector
// TKM_*) and 0x1B70.. (framework TKM_*); nothing below uses those ranges.

inline constexpr uint32_t WM_NULL = 0x0000;
inline constexpr uint32_t WM_CREATE = 0x0001;
inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_ACTIVATE = 0x0006;
inline constexpr uint32_t WM_SETFOCUS = 0x0007;
inline constexpr uint32_t WM_KILLFOCUS = 0x0008;
inline constexpr uint32_t WM_ENABLE = 0x000A;
inline constexpr uint32_t WM_SETTEXT = 0x000C;
inline constexpr uint32_t WM_GETTEXT = 0x000D;
inline constexpr uint32_t WM_GETTEXTLENGTH = 0x000E;
inline constexpr uint32_t WM_PAINT = 0x000F;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_ERASEBKGND = 0x0014;
inline constexpr uint32_t WM_SYSCOLORCHANGE = 0x0015;
inline constexpr uint32_t WM_SHOWWINDOW = 0x0018;
inline constexpr uint32_t WM_SETCURSOR = 0x0020;
inline constexpr uint32_t WM_GETMINMAXINFO = 0x0024;
inline constexpr uint32_t WM_SETFONT = 0x0030;
inline constexpr uint32_t WM_GETFONT = 0x0031;
inline constexpr uint32_t WM_WINDOWPOSCHANGING = 0x0046;
inline constexpr uint32_t WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr uint32_t WM_STYLECHANGING = 0x007C;
inline constexpr uint32_t WM_STYLECHANGED = 0x007D;
inline constexpr uint32_t WM_SETICON = 0x0080;
inline constexpr uint32_t WM_NCCREATE = 0x0081;
inline constexpr uint32_t WM_NCDESTROY = 0x0082;
inline constexpr uint32_t WM_GETDLGCODE = 0x0087;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_KEYUP = 0x0101;
inline constexpr uint32_t WM_CHAR = 0x0102;  // wParam: the character's Unicode code point
inline constexpr uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr uint32_t WM_SYSCHAR = 0x0106;
inline constexpr uint32_t WM_COMMAND = 0x0111;
inline constexpr uint32_t WM_TIMER = 0x0113;
inline constexpr uint32_t WM_CTLCOLOREDIT = 0x0133;
inline constexpr uint32_t WM_CTLCOLORSTATIC = 0x0138;
inline constexpr uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr uint32_t WM_CAPTURECHANGED = 0x0215;
inline constexpr uint32_t WM_MOUSELEAVE = 0x02A3;
inline constexpr uint32_t WM_CUT = 0x0300;
inline constexpr uint32_t WM_COPY = 0x0301;
inline constexpr uint32_t WM_PASTE = 0x0302;
inline constexpr uint32_t WM_CLEAR = 0x0303;
inline constexpr uint32_t WM_THEMECHANGED = 0x031A;
inline constexpr uint32_t WM_USER = 0x0400;
inline constexpr uint32_t WM_APP = 0x8000;

// Edit-control messages and notifications (the built-in EDIT class).
inline constexpr uint32_t EM_GETSEL = 0x00B0;
inline constexpr uint32_t EM_SETSEL = 0x00B1;
inline constexpr uint32_t EM_REPLACESEL = 0x00C2;
inline constexpr uint32_t EM_LIMITTEXT = 0x00C5;
inline constexpr uint32_t EM_SETLIMITTEXT = 0x00C5;
inline constexpr uint32_t EM_GETLIMITTEXT = 0x00D5;
inline constexpr uint16_t EN_SETFOCUS = 0x0100;
inline constexpr uint16_t EN_KILLFOCUS = 0x0200;
inline constexpr uint16_t EN_CHANGE = 0x0300;
inline constexpr uint16_t EN_UPDATE = 0x0400;
inline constexpr uint16_t EN_MAXTEXT = 0x0501;
inline constexpr uint16_t BN_CLICKED = 0;

// wParam of WM_ACTIVATE (low word).
inline constexpr uint32_t WA_INACTIVE = 0;
inline constexpr uint32_t WA_ACTIVE = 1;
inline constexpr uint32_t WA_CLICKACTIVE = 2;

// wParam of WM_SIZE.
inline constexpr uint32_t SIZE_RESTORED = 0;
inline constexpr uint32_t SIZE_MINIMIZED = 1;
inline constexpr uint32_t SIZE_MAXIMIZED = 2;

// Key and button state carried in the low word of mouse messages' wParam.
inline constexpr uint32_t MK_LBUTTON = 0x0001;
inline constexpr uint32_t MK_RBUTTON = 0x0002;
inline constexpr uint32_t MK_SHIFT = 0x0004;
inline constexpr uint32_t MK_CONTROL = 0x0008;
inline constexpr uint32_t MK_MBUTTON = 0x0010;
inline constexpr int32_t WHEEL_DELTA = 120;

inline constexpr LResult DLGC_WANTALLKEYS = 0x0004;

// Which slot WM_STYLECHANGING/WM_STYLECHANGED talk about (wParam).
inline constexpr int32_t GWL_EXSTYLE = -20;
inline constexpr int32_t GWL_STYLE = -16;

// ---------------------------------------------------------------------------
// Styles

inline constexpr uint32_t WS_OVERLAPPED = 0x00000000;
inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t WS_CHILD = 0x40000000;
inline constexpr uint32_t WS_MINIMIZE = 0x20000000;
inline constexpr uint32_t WS_VISIBLE = 0x10000000;
inline constexpr uint32_t WS_DISABLED = 0x08000000;
inline constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr uint32_t WS_MAXIMIZE = 0x01000000;
inline constexpr uint32_t WS_CAPTION = 0x00C00000;
inline constexpr uint32_t WS_BORDER = 0x00800000;
inline constexpr uint32_t WS_SYSMENU = 0x00080000;
inline constexpr uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr uint32_t WS_MINIMIZEBOX = 0x00020000;
inline constexpr uint32_t WS_MAXIMIZEBOX = 0x00010000;
inline constexpr uint32_t WS_TABSTOP = 0x00010000;
inline constexpr uint32_t WS_OVERLAPPEDWINDOW = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU |
                                                WS_THICKFRAME | WS_MINIMIZEBOX |
                                                WS_MAXIMIZEBOX;

inline constexpr uint32_t WS_EX_TOPMOST = 0x00000008;
inline constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080;
inline constexpr uint32_t WS_EX_CLIENTEDGE = 0x00000200;
inline constexpr uint32_t WS_EX_CONTROLPARENT = 0x00010000;

inline constexpr uint32_t ES_AUTOHSCROLL = 0x0080;

inline constexpr uint32_t CS_VREDRAW = 0x0001;
inline constexpr uint32_t CS_HREDRAW = 0x0002;
inline constexpr uint32_t CS_DBLCLKS = 0x0008;
inline constexpr uint32_t CS_DROPSHADOW = 0x00020000;

// ShowWindow commands.
inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWNOACTIVATE = 4;
inline constexpr int SW_SHOW = 5;
inline constexpr int SW_MINIMIZE = 6;
inline constexpr int SW_SHOWNA = 8;
inline constexpr int SW_RESTORE = 9;

// SetWindowPos flags and the z-order pseudo handles.
inline constexpr uint32_t SWP_NOSIZE = 0x0001;
inline constexpr uint32_t SWP_NOMOVE = 0x0002;
inline constexpr uint32_t SWP_NOZORDER = 0x0004;
inline constexpr uint32_t SWP_NOREDRAW = 0x0008;
inline constexpr uint32_t SWP_NOACTIVATE = 0x0010;
inline constexpr uint32_t SWP_FRAMECHANGED = 0x0020;
inline constexpr uint32_t SWP_SHOWWINDOW = 0x0040;
inline constexpr uint32_t SWP_HIDEWINDOW = 0x0080;
inline constexpr uint32_t SWP_NOOWNERZORDER = 0x0200;
inline const WindowHandle HWND_TOP = nullptr;
inline const WindowHandle HWND_BOTTOM = reinterpret_cast<WindowHandle>(1);
inline const WindowHandle HWND_TOPMOST = reinterpret_cast<WindowHandle>(-1);
inline const WindowHandle HWND_NOTOPMOST = reinterpret_cast<WindowHandle>(-2);

// ---------------------------------------------------------------------------
// Virtual-key codes (wParam of WM_KEYDOWN/WM_KEYUP). Letters are 'A'..'Z' and
// digits '0'..'9', as in Win32. WM_CHAR follows a key press that makes a
// character: printable text as its code point (text is the system's 8-bit
// text everywhere else, platform/text.h, so an edit field stores the code
// point's bytes in it), Backspace 8, Tab 9,
// Enter 13, Escape 27, Control+letter 1..26 (Control+A = 1, +C = 3, +V = 22,
// +X = 24). With Alt held keys arrive as WM_SYSKEYDOWN/WM_SYSKEYUP and no
// WM_CHAR. lParam of key messages: repeat count 1 in the low word, bit 30 set
// for an auto-repeated press, bit 31 set for a release.

inline constexpr uint32_t VK_LBUTTON = 0x01;
inline constexpr uint32_t VK_RBUTTON = 0x02;
inline constexpr uint32_t VK_MBUTTON = 0x04;
inline constexpr uint32_t VK_BACK = 0x08;
inline constexpr uint32_t VK_TAB = 0x09;
inline constexpr uint32_t VK_RETURN = 0x0D;
inline constexpr uint32_t VK_SHIFT = 0x10;
inline constexpr uint32_t VK_CONTROL = 0x11;
inline constexpr uint32_t VK_MENU = 0x12;
inline constexpr uint32_t VK_ESCAPE = 0x1B;
inline constexpr uint32_t VK_SPACE = 0x20;
inline constexpr uint32_t VK_PRIOR = 0x21;
inline constexpr uint32_t VK_NEXT = 0x22;
inline constexpr uint32_t VK_END = 0x23;
inline constexpr uint32_t VK_HOME = 0x24;
inline constexpr uint32_t VK_LEFT = 0x25;
inline constexpr uint32_t VK_UP = 0x26;
inline constexpr uint32_t VK_RIGHT = 0x27;
inline constexpr uint32_t VK_DOWN = 0x28;
inline constexpr uint32_t VK_INSERT = 0x2D;
inline constexpr uint32_t VK_DELETE = 0x2E;
inline constexpr uint32_t VK_F1 = 0x70;
inline constexpr uint32_t VK_F4 = 0x73;
inline constexpr uint32_t VK_F10 = 0x79;
inline constexpr uint32_t VK_F12 = 0x7B;
