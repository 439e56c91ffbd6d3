// Status icons: the records, the messages their owners receive, double
// clicks, the tooltip window and the scaled picture. The backend (tray_ops of
// the window system's backend) puts the icons into a host.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/text.h"
#include "window/core/core.h"
#include "window/tray_core.h"
#include "platform/image.h"

namespace wscore {

namespace {

constexpr const char* kTipClass = "AmbrelStatusTip";
constexpr uintptr_t kTipTimer = 1;
constexpr uint32_t kTipDelayMs = 500;
constexpr uint32_t kDoubleClickMs = 500;
constexpr int32_t kTipPadding = 3;
constexpr uint32_t kTipBackground = 0xFFFFE1;  // 0x00RRGGBB, the usual info colour
constexpr uint32_t kTipText = 0x000000;

struct TipState {
  WindowHandle window = nullptr;
  StatusIcon* icon = nullptr;  // whose tip is pending or shown
  FontHandle font = nullptr;
  std::string text;
};

TipState& Tip() {
  static TipState tip;
  return tip;
}

const TrayOps* Ops() { return State().ops != nullptr ? State().ops->tray : nullptr; }

void PaintTip(WindowHandle window) {
  PaintInfo info{};
  BeginPaint(window, &info);
  WinRect client{};
  GetClientRect(window, &client);
  const int32_t w = client.right, h = client.bottom;
  if (w > 0 && h > 0) {
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h), kTipBackground);
    for (int32_t x = 0; x < w; ++x) pixels[size_t(x)] = pixels[size_t(h - 1) * size_t(w) + size_t(x)] = 0;
    for (int32_t y = 0; y < h; ++y) pixels[size_t(y) * size_t(w)] = pixels[size_t(y) * size_t(w) + size_t(w - 1)] = 0;
    Image image{w, h, w * 4, 32, reinterpret_cast<uint8_t*>(pixels.data())};
    DrawTextTransparent(&image, Tip().font, kTipPadding + 1, kTipPadding, Tip().text.c_str(), -1,
                        kTipText, nullptr);
    BlitPixels(window, 0, 0, w, h, pixels.data(), w);
  }
  EndPaint(window, &info);
}

void ShowTip();

LResult TipProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam) {
  switch (message) {
    case WM_PAINT: PaintTip(window); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_TIMER:
      KillTimer(window, kTipTimer);
      ShowTip();
      return 0;
    case WM_DESTROY:
      if (Tip().window == window) Tip().window = nullptr;
      return 0;
    default: return DefaultWindowProc(window, message, wParam, lParam);
  }
}

// The tooltip window, made the first time a tip is due.
WindowHandle TipWindow() {
  TipState& tip = Tip();
  if (IsWindow(tip.window)) return tip.window;
  WindowClass windowClass{};
  windowClass.name = kTipClass;
  windowClass.procedure = TipProc;
  RegisterWindowClass(windowClass);  // already there after the first time
  if (tip.font == nullptr) tip.font = SharedInterfaceFont(400);
  tip.window = CreateSystemWindow(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kTipClass, "", WS_POPUP, 0, 0,
                                  1, 1, nullptr, 0, nullptr);
  return tip.window;
}

void HideTip() {
  TipState& tip = Tip();
  tip.icon = nullptr;
  if (!IsWindow(tip.window)) return;
  KillTimer(tip.window, kTipTimer);
  if (IsWindowVisible(tip.window)) ShowWindow(tip.window, SW_HIDE);
}

// Below the pointer, or above it when the screen ends; never off the screen.
void ShowTip() {
  TipState& tip = Tip();
  StatusIcon* icon = tip.icon;
  if (icon == nullptr || !icon->hover || icon->tip.empty() || !IsWindow(tip.window)) return;
  tip.text = icon->tip;
  int32_t textWidth = 0, textHeight = 0;
  GetTextExtent(tip.font, tip.text.c_str(), -1, &textWidth, &textHeight);
  const int32_t w = textWidth + 2 * kTipPadding + 2, h = textHeight + 2 * kTipPadding;
  int32_t screenW = 0, screenH = 0;
  GetScreenSize(&screenW, &screenH);
  int32_t x = std::clamp(icon->hoverPoint.x, 0, std::max(0, screenW - w));
  int32_t y = icon->hoverPoint.y + 20;
  if (y + h > screenH) y = std::max(0, icon->hoverPoint.y - h - 4);
  SetWindowPos(tip.window, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE | SWP_SHOWWINDOW);
  InvalidateRect(tip.window, nullptr, false);
  UpdateWindow(tip.window);
}

void Post(StatusIcon* icon, uint32_t mouseMessage) {
  if (icon->callbackMessage == 0 || !IsWindow(icon->owner)) return;
  PostWindowMessage(icon->owner, icon->callbackMessage, icon->id,
                    static_cast<LParam>(mouseMessage));
}

uint32_t ButtonMessage(MouseButton button, bool down) {
  switch (button) {
    case MouseButton::kLeft: return down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
    case MouseButton::kRight: return down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
    default: return down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
  }
}

StatusIcon* FindIcon(WindowHandle window, uint32_t id) {
  for (auto& icon : StatusIcons()) {
    if (icon->owner == window && icon->id == id) return icon.get();
  }
  return nullptr;
}

StatusIcon::Picture CopyPicture(const StatusIconPicture& picture) {
  StatusIcon::Picture copy;
  if (picture.pixels == nullptr || picture.width <= 0 || picture.height <= 0) return copy;
  copy.width = picture.width;
  copy.height = picture.height;
  copy.pixels.assign(picture.pixels, picture.pixels + size_t(picture.width) * size_t(picture.height));
  return copy;
}

void TakeFields(StatusIcon* icon, const NotifyIconRecord* record) {
  if (record->flags & NIF_MESSAGE) icon->callbackMessage = record->callbackMessage;
  if ((record->flags & NIF_ICON) && record->icon.pixels != nullptr && record->icon.width > 0 &&
      record->icon.height > 0) {
    icon->pictureWidth = record->icon.width;
    icon->pictureHeight = record->icon.height;
    icon->picture.assign(record->icon.pixels,
                         record->icon.pixels + size_t(record->icon.width) * size_t(record->icon.height));
  }
  if (record->flags & NIF_TIP) icon->tip.assign(record->tip, strnlen(record->tip, kStatusIconTipSize));
  if ((record->flags & NIF_SIZES) && (record->sizes != nullptr || record->sizeCount == 0)) {
    icon->sizes.clear();
    for (int32_t i = 0; i < record->sizeCount; ++i) icon->sizes.push_back(CopyPicture(record->sizes[i]));
  }
  if ((record->flags & NIF_MENU) && (record->menu != nullptr || record->menuCount == 0)) {
    icon->menu.clear();
    for (int32_t i = 0; i < record->menuCount; ++i) {
      const StatusMenuItem& item = record->menu[i];
      icon->menu.push_back(StatusIcon::MenuItem{item.id, item.text != nullptr ? item.text : "",
                                                CopyPicture(item.icon), item.enabled});
    }
    icon->menuMessage = record->menuMessage;
    icon->menuChanged = true;
  }
}

void Remove(StatusIcon* icon) {
  if (Tip().icon == icon) HideTip();
  if (Ops() != nullptr) Ops()->remove(icon);
  auto& icons = StatusIcons();
  icons.erase(std::remove_if(icons.begin(), icons.end(),
                             [icon](const std::unique_ptr<StatusIcon>& i) { return i.get() == icon; }),
              icons.end());
}

}  // namespace

std::vector<std::unique_ptr<StatusIcon>>& StatusIcons() {
  static std::vector<std::unique_ptr<StatusIcon>> icons;
  return icons;
}

void OnStatusIconButton(StatusIcon* icon, MouseButton button, bool down, WinPoint screen) {
  HideTip();
  icon->hover = false;
  uint32_t message = ButtonMessage(button, down);
  icon->menuPoint = screen;
  icon->menuPointSet = true;
  if (down) {
    const uint64_t now = NowMs();
    const bool isDouble = icon->lastPress == message && now - icon->lastPressTime <= kDoubleClickMs &&
                          std::abs(screen.x - icon->lastPressPoint.x) <= 4 &&
                          std::abs(screen.y - icon->lastPressPoint.y) <= 4;
    icon->lastPress = isDouble ? 0 : message;
    icon->lastPressTime = now;
    icon->lastPressPoint = screen;
    if (isDouble) message += 2;  // WM_xBUTTONDBLCLK in place of the second press
  }
  Post(icon, message);
}

void OnStatusIconPointer(StatusIcon* icon, bool inside, WinPoint screen) {
  if (!inside) {
    icon->hover = false;
    if (Tip().icon == icon) HideTip();
    return;
  }
  Post(icon, WM_MOUSEMOVE);
  const bool moved = !icon->hover || screen.x != icon->hoverPoint.x || screen.y != icon->hoverPoint.y;
  icon->hover = true;
  icon->hoverPoint = screen;
  WindowHandle tipWindow = TipWindow();
  if (tipWindow == nullptr || !moved) return;
  if (Tip().icon == icon && IsWindowVisible(tipWindow)) return;  // shown: it stays while over
  Tip().icon = icon;
  SetTimer(tipWindow, kTipTimer, kTipDelayMs);
}

void OnStatusIconDocked(StatusIcon* icon, bool docked) {
  icon->docked = docked;
  if (!docked) {
    icon->hover = false;
    if (Tip().icon == icon) HideTip();
  }
}

void OnStatusIconActivate(StatusIcon* icon) {
  HideTip();
  Post(icon, WM_LBUTTONDBLCLK);
}

void OnStatusIconContextMenu(StatusIcon* icon, WinPoint screen) {
  HideTip();
  icon->menuPoint = screen;
  icon->menuPointSet = true;
  Post(icon, WM_RBUTTONUP);
}

void OnStatusIconMenuItem(StatusIcon* icon, int32_t id) {
  if (icon->menuMessage == 0 || !IsWindow(icon->owner)) return;
  PostWindowMessage(icon->owner, icon->menuMessage, static_cast<WParam>(static_cast<intptr_t>(id)), 0);
}

void RemoveAllStatusIcons() {
  while (!StatusIcons().empty()) Remove(StatusIcons().back().get());
  TipState& tip = Tip();
  if (IsWindow(tip.window)) DestroyWindow(tip.window);
  tip.window = nullptr;
  tip.icon = nullptr;
  tip.font = nullptr;  // shared, never released
  if (Ops() != nullptr) Ops()->shutdown();
}

}  // namespace wscore

using namespace wscore;

bool NotifyStatusIcon(uint32_t command, const NotifyIconRecord* record) {
  if (record == nullptr || Ops() == nullptr) return false;
  StatusIcon* icon = FindIcon(record->window, record->id);
  switch (command) {
    case NIM_ADD: {
      if (icon != nullptr || !IsWindow(record->window)) return false;
      auto added = std::make_unique<StatusIcon>();
      added->owner = record->window;
      added->id = record->id;
      TakeFields(added.get(), record);
      StatusIcons().push_back(std::move(added));
      StatusIcon* fresh = StatusIcons().back().get();
      if (Ops()->add(fresh)) return true;
      StatusIcons().pop_back();
      return false;
    }
    case NIM_MODIFY:
      if (icon == nullptr) return false;
      TakeFields(icon, record);
      if (Tip().icon == icon && IsWindowVisible(Tip().window)) ShowTip();
      Ops()->repaint(icon);
      return true;
    case NIM_DELETE:
      if (icon == nullptr) return false;
      Remove(icon);
      return true;
    default: return false;
  }
}

bool IsStatusIconDocked(WindowHandle window, uint32_t id) {
  StatusIcon* icon = FindIcon(window, id);
  return icon != nullptr && icon->docked;
}

bool GetStatusIconMenuPoint(WindowHandle window, uint32_t id, WinPoint* out) {
  StatusIcon* icon = FindIcon(window, id);
  if (icon != nullptr && icon->menuPointSet) {
    *out = icon->menuPoint;
    return true;
  }
  return GetCursorPos(out);
}

bool GetStatusIconView(WindowHandle window, uint32_t id, StatusIconView* out) {
  StatusIcon* icon = FindIcon(window, id);
  if (icon == nullptr) return false;
  out->docked = icon->docked;
  out->tip = icon->tip;
  out->width = icon->width;
  out->height = icon->height;
  out->pixels = icon->shown;
  out->tipShown = Tip().icon == icon && IsWindowVisible(Tip().window);
  out->onBus = icon->onBus;
  out->rect = WinRect{0, 0, 0, 0};
  if (icon->docked && Ops() != nullptr) Ops()->locate(icon, &out->rect);
  return true;
}

std::vector<uint32_t> ScaleStatusIconPicture(const std::vector<uint32_t>& picture,
                                             int32_t pictureWidth, int32_t pictureHeight,
                                             int32_t width, int32_t height,
                                             const uint32_t* background) {
  std::vector<uint32_t> out(size_t(std::max(width, 0)) * size_t(std::max(height, 0)), 0);
  for (size_t i = 0; background != nullptr && i < out.size(); ++i) out[i] = 0xFF000000 | background[i];
  if (pictureWidth <= 0 || pictureHeight <= 0 || picture.size() < size_t(pictureWidth) * size_t(pictureHeight)) {
    return out;
  }
  const int32_t scale = std::max(1, std::min(width / pictureWidth, height / pictureHeight));
  const int32_t left = (width - pictureWidth * scale) / 2, top = (height - pictureHeight * scale) / 2;
  for (int32_t y = std::max(0, top); y < std::min(height, top + pictureHeight * scale); ++y) {
    for (int32_t x = std::max(0, left); x < std::min(width, left + pictureWidth * scale); ++x) {
      const uint32_t p = picture[size_t((y - top) / scale) * size_t(pictureWidth) + size_t((x - left) / scale)];
      const uint32_t a = p >> 24;
      uint32_t& o = out[size_t(y) * size_t(width) + size_t(x)];
      uint32_t result = a << 24;
      for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t c = (p >> shift) & 0xFF;
        const uint32_t under = background != nullptr ? (o >> shift) & 0xFF : 0;
        result |= ((c * a + under * (255 - a) + 127) / 255) << shift;
      }
      o = background != nullptr ? (0xFF000000 | result) : result;
    }
  }
  return out;
}
