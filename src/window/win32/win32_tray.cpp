// Status icons in the shell's notification area. Every icon is added with
// Shell_NotifyIconA on one hidden window of this program, numbered there;
// the shell posts the icon's mouse messages to that window, which hands them
// to the core (which makes double clicks and tells the owner). The shell
// shows the tip itself. When the shell restarts ("TaskbarCreated") every
// icon is added again.
#include "window/win32/win32_tray.h"

#include <algorithm>
#include <cstring>
#include <map>

namespace wscore::win32 {

HICON MakeIcon(int32_t w, int32_t h, const uint32_t* pixels);

namespace {

constexpr char kTrayWindowClass[] = "AmbrelTray_Wnd";

struct TrayState {
  HWND window = nullptr;
  UINT taskbarCreated = 0;
  UINT nextNumber = 1;
  std::map<UINT, StatusIcon*> icons;   // by number on the hidden window
  std::map<StatusIcon*, HICON> pictures;
};

TrayState& Tray() {
  static TrayState tray;
  return tray;
}

UINT NumberOf(StatusIcon* icon) { return static_cast<UINT>(icon->native); }

HICON PictureOf(StatusIcon* icon) {
  TrayState& t = Tray();
  auto old = t.pictures.find(icon);
  if (old != t.pictures.end()) ::DestroyIcon(old->second);
  HICON picture = icon->picture.empty()
                      ? nullptr
                      : MakeIcon(icon->pictureWidth, icon->pictureHeight, icon->picture.data());
  t.pictures[icon] = picture;
  // What the shell shows: the small-icon size, the picture scaled whole.
  icon->width = ::GetSystemMetrics(SM_CXSMICON);
  icon->height = ::GetSystemMetrics(SM_CYSMICON);
  icon->shown = ScaleStatusIconPicture(icon->picture, icon->pictureWidth, icon->pictureHeight,
                                       icon->width, icon->height, nullptr);
  return picture;
}

bool Notify(DWORD command, StatusIcon* icon, HICON picture) {
  NOTIFYICONDATAA data;
  FillNotifyIconData(*icon, Tray().window, NumberOf(icon), picture, &data);
  return ::Shell_NotifyIconA(command, &data) != FALSE;
}

void OnCallback(UINT number, LPARAM mouseMessage) {
  auto found = Tray().icons.find(number);
  if (found == Tray().icons.end()) return;
  POINT p{};
  ::GetCursorPos(&p);
  WinPoint at{p.x, p.y};
  StatusIcon* icon = found->second;
  switch (static_cast<UINT>(mouseMessage)) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: OnStatusIconButton(icon, MouseButton::kLeft, true, at); break;
    case WM_LBUTTONUP: OnStatusIconButton(icon, MouseButton::kLeft, false, at); break;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK: OnStatusIconButton(icon, MouseButton::kRight, true, at); break;
    case WM_RBUTTONUP: OnStatusIconButton(icon, MouseButton::kRight, false, at); break;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK: OnStatusIconButton(icon, MouseButton::kMiddle, true, at); break;
    case WM_MBUTTONUP: OnStatusIconButton(icon, MouseButton::kMiddle, false, at); break;
    default: break;  // moves: the shell shows the tip itself
  }
}

LRESULT CALLBACK TrayProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  TrayState& t = Tray();
  if (message == kTrayCallback) {
    OnCallback(static_cast<UINT>(wParam), lParam);
    return 0;
  }
  if (t.taskbarCreated != 0 && message == t.taskbarCreated) {
    for (auto& [number, icon] : t.icons) {
      bool added = Notify(NIM_ADD, icon, t.pictures[icon]);
      if (added != icon->docked) OnStatusIconDocked(icon, added);
    }
    return 0;
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

bool EnsureWindow() {
  TrayState& t = Tray();
  if (t.window != nullptr) return true;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = TrayProc;
  wc.hInstance = Instance();
  wc.lpszClassName = kTrayWindowClass;
  if (::RegisterClassExA(&wc) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  t.window = ::CreateWindowExA(0, kTrayWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               Instance(), nullptr);
  t.taskbarCreated = ::RegisterWindowMessageA("TaskbarCreated");
  return t.window != nullptr;
}

bool Add(StatusIcon* icon) {
  if (!EnsureWindow()) return false;
  TrayState& t = Tray();
  icon->native = t.nextNumber++;
  t.icons[NumberOf(icon)] = icon;
  if (!Notify(NIM_ADD, icon, PictureOf(icon))) {
    t.icons.erase(NumberOf(icon));
    auto picture = t.pictures.find(icon);
    if (picture != t.pictures.end()) {
      if (picture->second) ::DestroyIcon(picture->second);
      t.pictures.erase(picture);
    }
    return false;
  }
  OnStatusIconDocked(icon, true);
  return true;
}

void Repaint(StatusIcon* icon) { Notify(NIM_MODIFY, icon, PictureOf(icon)); }

void Remove(StatusIcon* icon) {
  TrayState& t = Tray();
  Notify(NIM_DELETE, icon, nullptr);
  t.icons.erase(NumberOf(icon));
  auto picture = t.pictures.find(icon);
  if (picture != t.pictures.end()) {
    if (picture->second) ::DestroyIcon(picture->second);
    t.pictures.erase(picture);
  }
}

void Shutdown() {
  TrayState& t = Tray();
  for (auto& [icon, picture] : t.pictures) {
    if (picture) ::DestroyIcon(picture);
  }
  if (t.window != nullptr) ::DestroyWindow(t.window);
  t = TrayState{};
}

// Where the shell put the icon (Shell_NotifyIconGetRect, from version 6.1
// on); the pointer's spot where the shell cannot say.
bool Locate(StatusIcon* icon, WinRect* out) {
  struct Identifier {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    GUID guidItem;
  };
  using GetRect = HRESULT(WINAPI*)(const Identifier*, RECT*);
  auto getRect = reinterpret_cast<GetRect>(
      ::GetProcAddress(::GetModuleHandleA("shell32.dll"), "Shell_NotifyIconGetRect"));
  if (getRect != nullptr) {
    Identifier id{sizeof(Identifier), Tray().window, NumberOf(icon), GUID{}};
    RECT rect{};
    if (SUCCEEDED(getRect(&id, &rect))) {
      *out = WinRect{rect.left, rect.top, rect.right, rect.bottom};
      return true;
    }
  }
  POINT p{};
  ::GetCursorPos(&p);
  *out = WinRect{p.x, p.y, p.x + icon->width, p.y + icon->height};
  return false;
}

const TrayOps kWin32TrayOps = {
    .add = Add,
    .repaint = Repaint,
    .remove = Remove,
    .shutdown = Shutdown,
    .locate = Locate,
};

}  // namespace

void FillNotifyIconData(const StatusIcon& icon, HWND window, UINT number, HICON picture,
                        NOTIFYICONDATAA* out) {
  std::memset(out, 0, sizeof *out);
  out->cbSize = NOTIFYICONDATAA_V2_SIZE;
  out->hWnd = window;
  out->uID = number;
  out->uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  out->uCallbackMessage = kTrayCallback;
  out->hIcon = picture;
  const size_t tip = std::min(icon.tip.size(), sizeof out->szTip - 1);
  std::memcpy(out->szTip, icon.tip.data(), tip);
  out->szTip[tip] = '\0';
}

const TrayOps* Win32Tray() { return &kWin32TrayOps; }

}  // namespace wscore::win32
