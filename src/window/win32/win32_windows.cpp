// Windows as USER32 windows: every record has a native window of a class
// named as the toolkit's class (so FindWindowA finds the main window), child
// records are WS_CHILD windows, popups are WS_POPUP windows that never take
// activation from their owner. The core's rectangle of a top-level window is
// its client area; the frame the system draws lies outside it. Pixels reach
// the screen with SetDIBitsToDevice.
#include "window/win32/win32_internal.h"
#include "platform/win32/dib.h"
#include "window/win32/win32_tray.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>
#include <map>
#include <set>
#include <vector>

namespace wscore::win32 {

LRESULT CALLBACK NativeProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void Pump();
void Wait(int32_t timeoutMs);
bool SetSelection(ClipboardSelection which, WindowRecord* owner, const std::string& text);
bool GetSelection(ClipboardSelection which, std::string* out);
void DropSelections(WindowRecord* window);
bool IsSystemControl(const WindowRecord* r);
HWND CreateSystemControl(WindowRecord* r, HWND parent, const RECT& outer);
void ReleaseControlBrushes();

// A 32-bit icon from straight-alpha 0xAARRGGBB pixels.
HICON MakeIcon(int32_t w, int32_t h, const uint32_t* pixels) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof header;
  header.bV5Width = w;
  header.bV5Height = -h;
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HBITMAP colour = ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header),
                                      DIB_RGB_COLORS, &bits, nullptr, 0);
  ::ReleaseDC(nullptr, screen);
  if (colour == nullptr) return nullptr;
  std::copy(pixels, pixels + size_t(w) * size_t(h), static_cast<uint32_t*>(bits));
  HBITMAP mask = ::CreateBitmap(w, h, 1, 1, nullptr);
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  HICON icon = ::CreateIconIndirect(&info);
  ::DeleteObject(colour);
  ::DeleteObject(mask);
  return icon;
}

namespace {

constexpr char kChildClassName[] = "AmbrelChild_Wnd";

std::set<std::string> RegisteredNames;
// Each window's small and big icon, destroyed with it.
std::map<HWND, std::array<HICON, 2>> WindowIcons;

bool RegisterNative(const char* name) {
  if (RegisteredNames.count(name) != 0) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = NativeProc;
  wc.hInstance = Instance();
  wc.lpszClassName = name;
  wc.hCursor = nullptr;  // WM_SETCURSOR picks the record's shape
  if (RegisterClassExA(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  RegisteredNames.insert(name);
  return true;
}

// The native styles of a record: decorated top-level windows keep their
// caption, system menu, frame and boxes; everything else is a bare popup or
// child, whose borders the toolkit paints itself.
void NativeStyles(const WindowRecord* r, DWORD* style, DWORD* exStyle) {
  constexpr uint32_t kFrameBits =
      WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
  *exStyle = 0;
  if (r->parent != nullptr) {
    *style = WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
  } else if ((r->style & WS_POPUP) || (r->style & WS_CAPTION) == 0) {
    *style = WS_POPUP | WS_CLIPCHILDREN;
    *exStyle = WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST;
    if (r->owner != nullptr && !(r->style & WS_POPUP)) *exStyle &= ~DWORD(WS_EX_NOACTIVATE);
  } else {
    *style = (r->style & kFrameBits) | WS_CLIPCHILDREN;
    if (r->topmost) *exStyle |= WS_EX_TOPMOST;
  }
}

RECT OuterRect(const WindowRecord* r) {
  RECT rect{r->x, r->y, r->x + std::max(r->width, 1), r->y + std::max(r->height, 1)};
  if (r->parent == nullptr) {
    DWORD style = 0, exStyle = 0;
    NativeStyles(r, &style, &exStyle);
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
  }
  return rect;
}

void CreateNative(WindowRecord* r) {
  bool topLevel = r->parent == nullptr;
  const char* className = topLevel ? r->windowClass->name.c_str() : kChildClassName;
  if (!RegisterNative(className)) return;
  DWORD style = 0, exStyle = 0;
  NativeStyles(r, &style, &exStyle);
  RECT outer = OuterRect(r);
  HWND parent = nullptr;
  if (!topLevel) parent = NativeOf(Find(r->parent));
  else if (WindowRecord* owner = Find(r->owner)) parent = NativeOf(owner);
  if (IsSystemControl(r)) {
    r->native = reinterpret_cast<uintptr_t>(CreateSystemControl(r, parent, outer));
    return;
  }
  HWND hwnd = ::CreateWindowExA(exStyle, className, "", style, outer.left, outer.top,
                                outer.right - outer.left, outer.bottom - outer.top, parent,
                                nullptr, Instance(), r->handle);
  r->native = reinterpret_cast<uintptr_t>(hwnd);
  if (hwnd != nullptr && topLevel) ::SetWindowTextW(hwnd, Widen(r->text).c_str());
}

void DestroyNative(WindowRecord* r) {
  HWND hwnd = NativeOf(r);
  if (hwnd == nullptr) return;
  ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);  // nothing reaches the gone record
  ::DestroyWindow(hwnd);
  auto icon = WindowIcons.find(hwnd);
  if (icon != WindowIcons.end()) {
    for (HICON kept : icon->second) {
      if (kept != nullptr) ::DestroyIcon(kept);
    }
    WindowIcons.erase(icon);
  }
  r->native = 0;
}

void ShowNative(WindowRecord* r, bool show) {
  ::ShowWindow(NativeOf(r), show ? SW_SHOWNA : SW_HIDE);
}

void Iconify(WindowRecord* r, bool minimize) {
  ::ShowWindow(NativeOf(r), minimize ? SW_SHOWMINNOACTIVE : SW_RESTORE);
}

bool Configuring = false;

void Configure(WindowRecord* r) {
  RECT outer = OuterRect(r);
  Configuring = true;
  ::SetWindowPos(NativeOf(r), nullptr, outer.left, outer.top, outer.right - outer.left,
                 outer.bottom - outer.top, SWP_NOZORDER | SWP_NOACTIVATE);
  Configuring = false;
}

void Restack(WindowRecord* r) {
  const std::vector<WindowHandle>& siblings =
      r->parent ? Find(r->parent)->children : State().topLevels;
  bool bottom = siblings.size() > 1 && siblings.front() == r->handle;
  HWND after = bottom ? HWND_BOTTOM : (r->parent == nullptr && r->topmost) ? HWND_TOPMOST : HWND_TOP;
  ::SetWindowPos(NativeOf(r), after, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

bool Activating = false;

// Popups are never activated by a click (WS_EX_NOACTIVATE); asked for by
// the toolkit (a menu opened from the tray) they take the keyboard.
void Activate(WindowRecord* r) {
  HWND hwnd = NativeOf(r);
  Activating = true;
  ::SetForegroundWindow(hwnd);
  ::SetActiveWindow(hwnd);
  ::SetFocus(hwnd);
  Activating = false;
}

void SetTitle(WindowRecord* r) { ::SetWindowTextW(NativeOf(r), Widen(r->text).c_str()); }

std::map<HWND, MinMaxInfo> SizeHints;

void SetSizeHints(WindowRecord* r, const MinMaxInfo& info) { SizeHints[NativeOf(r)] = info; }

void SetIcon(WindowRecord* r, const IconPixels* images, int32_t count) {
  // The caption shows the smallest picture; Alt+Tab the one nearest 32 pixels.
  HWND hwnd = NativeOf(r);
  const IconPixels* big = images;
  for (const IconPixels* image = images; image != images + count; ++image) {
    if (std::abs(image->width - 32) < std::abs(big->width - 32)) big = image;
  }
  for (auto [which, image] : {std::pair{ICON_SMALL, images}, std::pair{ICON_BIG, big}}) {
    HICON icon = MakeIcon(image->width, image->height, image->pixels);
    if (icon == nullptr) continue;
    ::SendMessageA(hwnd, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    auto& kept = WindowIcons[hwnd][which == ICON_BIG ? 1 : 0];
    if (kept != nullptr) ::DestroyIcon(kept);
    kept = icon;
  }
}

void SetCursorOf(WindowRecord* r) {
  POINT p{};
  ::GetCursorPos(&p);
  if (::WindowFromPoint(p) == NativeOf(r)) {
    ::SetCursor(::LoadCursorA(nullptr, r->cursor == CursorShape::kHand ? IDC_HAND : IDC_ARROW));
  }
}

void SetCaptureOf(WindowRecord* r) {
  if (r == nullptr) ::ReleaseCapture();
  else ::SetCapture(NativeOf(r));
}

// 0x00RRGGBB in 32 bits is the layout of a 32-bit device-independent bitmap,
// so the surface's rows go to the screen as they are.
bool Blit(WindowRecord* r, int32_t x0, int32_t y0, int32_t w, int32_t h, const uint32_t* pixels,
          int32_t stride) {
  HWND hwnd = NativeOf(r);
  if (!::IsWindowVisible(hwnd)) return false;
  HDC dc = ::GetDC(hwnd);
  if (dc == nullptr) return false;
  BITMAPINFO info = TopDownInfo(stride, h);
  int lines = ::SetDIBitsToDevice(dc, x0, y0, static_cast<DWORD>(w), static_cast<DWORD>(h), 0, 0,
                                  0, static_cast<UINT>(h), pixels, &info, DIB_RGB_COLORS);
  ::ReleaseDC(hwnd, dc);
  return lines > 0;
}

bool CapturePixels(WindowRecord* r, WindowPixels* out) {
  HWND hwnd = NativeOf(r);
  int32_t w = std::max(r->width, 1), h = std::max(r->height, 1);
  HDC dc = ::GetDC(hwnd);
  if (dc == nullptr) return false;
  HDC memory = ::CreateCompatibleDC(dc);
  BITMAPINFO info = TopDownInfo(w, h);
  void* bits = nullptr;
  HBITMAP bitmap = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool ok = bitmap != nullptr;
  if (ok) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    ok = ::BitBlt(memory, 0, 0, w, h, dc, 0, 0, SRCCOPY) != 0;
    ::GdiFlush();
    out->width = w;
    out->height = h;
    const uint32_t* p = static_cast<const uint32_t*>(bits);
    out->pixels.assign(p, p + size_t(w) * size_t(h));
    for (uint32_t& pixel : out->pixels) pixel &= 0x00FFFFFF;
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(hwnd, dc);
  return ok;
}

bool Open() { return RegisterNative(kChildClassName); }

void Close() {
  for (const std::string& name : RegisteredNames) ::UnregisterClassA(name.c_str(), Instance());
  RegisteredNames.clear();
  SizeHints.clear();
  ReleaseControlBrushes();
}

bool QueryPointer(WinPoint* out) {
  POINT p{};
  if (!::GetCursorPos(&p)) return false;
  *out = WinPoint{p.x, p.y};
  return true;
}

void ScreenSize(int32_t* w, int32_t* h) {
  *w = ::GetSystemMetrics(SM_CXSCREEN);
  *h = ::GetSystemMetrics(SM_CYSCREEN);
}

void WorkAreaOf(WinRect* out) {
  RECT area{};
  if (::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0)) {
    *out = WinRect{area.left, area.top, area.right, area.bottom};
  } else {
    int32_t w = 0, h = 0;
    ScreenSize(&w, &h);
    *out = WinRect{0, 0, w, h};
  }
}

// The menu grab: the popup takes the keyboard, and a press anywhere outside
// this program's windows (seen by a low-level mouse hook while the grab is
// held) reaches the core as a press outside every window, which routes it to
// the grab's holder.
HHOOK GrabHook = nullptr;
HWND GrabWindow = nullptr;

bool OwnWindowAt(POINT p) {
  HWND under = ::WindowFromPoint(p);
  DWORD process = 0;
  if (under != nullptr) ::GetWindowThreadProcessId(under, &process);
  return under != nullptr && process == ::GetCurrentProcessId();
}

LRESULT CALLBACK GrabHookProc(int code, WPARAM message, LPARAM data) {
  if (code == HC_ACTION && (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                            message == WM_MBUTTONDOWN)) {
    const auto* info = reinterpret_cast<const MSLLHOOKSTRUCT*>(data);
    if (!OwnWindowAt(info->pt)) {
      InputEvent e;
      e.kind = InputKind::kButton;
      e.x = info->pt.x;
      e.y = info->pt.y;
      e.down = true;
      e.button = message == WM_LBUTTONDOWN   ? MouseButton::kLeft
                 : message == WM_RBUTTONDOWN ? MouseButton::kRight
                                             : MouseButton::kMiddle;
      PushInput(e);
      WakeUiThread();
    }
  }
  return ::CallNextHookEx(GrabHook, code, message, data);
}

void SetPopupGrab(WindowRecord* r) {
  if (GrabHook != nullptr) {
    ::UnhookWindowsHookEx(GrabHook);
    GrabHook = nullptr;
  }
  GrabWindow = nullptr;
  if (r == nullptr) return;
  GrabWindow = NativeOf(r);
  Activating = true;
  ::SetForegroundWindow(GrabWindow);
  ::SetFocus(GrabWindow);
  Activating = false;
  GrabHook = ::SetWindowsHookExA(WH_MOUSE_LL, GrabHookProc, Instance(), 0);
}

bool FindTopLevel(const char* className, const char* title) {
  return ::FindWindowA(className, title) != nullptr;
}

const BackendOps kWin32Ops = {
    .open = Open,
    .close = Close,
    .createWindow = CreateNative,
    .destroyWindow = DestroyNative,
    .showWindow = ShowNative,
    .iconify = Iconify,
    .configure = Configure,
    .restack = Restack,
    .activate = Activate,
    .setTitle = SetTitle,
    .setSizeHints = SetSizeHints,
    .setIcon = SetIcon,
    .setCursor = SetCursorOf,
    .setCapture = SetCaptureOf,
    .blit = Blit,
    .capturePixels = CapturePixels,
    .pump = Pump,
    .wait = Wait,
    .queryPointer = QueryPointer,
    .screenSize = ScreenSize,
    .workArea = WorkAreaOf,
    .setSelection = SetSelection,
    .getSelection = GetSelection,
    .dropSelections = DropSelections,
    .findTopLevel = FindTopLevel,
    .setPopupGrab = SetPopupGrab,
    .tray = Win32Tray(),
};

}  // namespace

bool IsConfiguring() { return Configuring; }
// While a menu holds the grab, activation follows the menu, not the system.
bool IsActivating() { return Activating || GrabWindow != nullptr; }

const MinMaxInfo* SizeHintsOf(HWND hwnd) {
  auto found = SizeHints.find(hwnd);
  return found == SizeHints.end() ? nullptr : &found->second;
}

// The client rectangle of a top-level native window for the given limits of
// its outer rectangle (the frame's thickness taken off).
void FrameThickness(WindowRecord* r, int32_t* extraWidth, int32_t* extraHeight) {
  RECT zero{0, 0, 100, 100};
  DWORD style = 0, exStyle = 0;
  NativeStyles(r, &style, &exStyle);
  ::AdjustWindowRectEx(&zero, style, FALSE, exStyle);
  *extraWidth = (zero.right - zero.left) - 100;
  *extraHeight = (zero.bottom - zero.top) - 100;
}

}  // namespace wscore::win32

const wscore::BackendOps* wscore::Win32Backend() { return &win32::kWin32Ops; }
const wscore::BackendOps* wscore::X11Backend() { return nullptr; }
WindowSystemBackend DesktopWindowBackend() { return WindowSystemBackend::kWin32; }

// The end of the Windows session is this backend's lost display: once the
// system has said the session ends (WM_ENDSESSION), the handler runs and the
// process ends, so the engine is stopped and its log written before the
// system takes the process away.
namespace wscore::win32 {
void (*DisplayLostHandler)() = nullptr;
}  // namespace wscore::win32

void SetDisplayLostHandler(void (*handler)()) { wscore::win32::DisplayLostHandler = handler; }
