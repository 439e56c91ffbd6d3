// The tray icon: the record handed to the status area (its two pictures at
// every size, its tips and, for hosts that draw it, the control menu), which
// follows the engine's state (engine_state.h).
#include "app/tray_icon.h"

#include <cstdio>
#include <vector>

#include "app/app_icons.h"
#include "app/app_state.h"
#include "app/engine_state.h"
#include "core/error.h"
#include "window/tray.h"
#include "ui/controls/popup.h"
#include "ui/framework/gui_window.h"

namespace {

constexpr uint32_t kTrayIconId = 0;
constexpr int32_t kRunningIcon = 11;
constexpr int32_t kStoppedIcon = 12;
constexpr const char* kTipRunning = "Ambrel HTTP Server - Running";
constexpr const char* kTipStopped = "Ambrel HTTP Server - Not Running";

// The same two pictures drawn larger, for hosts that show larger icons:
// resources 111 to 113 (icon 11) and 121 to 123 (icon 12).
constexpr int32_t kLargerSizes = 3;
int32_t LargerResource(int32_t iconNumber, int32_t index) { return iconNumber * 10 + 1 + index; }

// An icon's colour image as 0xAARRGGBB words; empty without one.
std::vector<uint32_t> Words(const Icon* icon) {
  std::vector<uint32_t> pixels;
  if (icon == nullptr || icon->color == nullptr) return pixels;
  const Image* image = icon->color;
  pixels.resize(size_t(image->width) * size_t(image->height));
  for (int32_t y = 0; y < image->height; ++y) {
    for (int32_t x = 0; x < image->width; ++x) {
      pixels[size_t(y) * size_t(image->width) + size_t(x)] = *PixelAddress(image, x, y);
    }
  }
  return pixels;
}

StatusIconPicture Picture(const Icon* icon, const std::vector<uint32_t>& words) {
  if (words.empty()) return StatusIconPicture{0, 0, nullptr};
  return StatusIconPicture{icon->color->width, icon->color->height, words.data()};
}

// Everything the record points at, alive until NotifyStatusIcon has copied it.
struct RecordData {
  std::vector<std::vector<uint32_t>> words;
  std::vector<StatusIconPicture> sizes;
  std::vector<StatusMenuItem> menu;
  std::vector<Icon*> loaded;
  MenuItemList list{};
  ~RecordData() {
    for (Icon*& icon : loaded) DestroyIcon(&icon);
    FreeMenuItems(&list);
  }
  StatusIconPicture Keep(const Icon* icon) {
    words.push_back(Words(icon));
    return Picture(icon, words.back());
  }
};

// The control menu's items for hosts that draw the menu themselves.
void AddMenu(NotifyIconRecord* record, RecordData* data) {
  BuildControlMenu(&data->list, RunningServer != nullptr, AppIcon);
  for (MenuItem* item = data->list.first; item != nullptr; item = item->next) {
    data->menu.push_back(StatusMenuItem{item->id, item->text, data->Keep(item->icon), item->disabled == 0});
  }
  record->flags |= NIF_MENU;
  record->menu = data->menu.data();
  record->menuCount = int32_t(data->menu.size());
  record->menuMessage = TKM_ITEMCHOSEN;
}

// The record, zero-filled: the main window, identifier 0, the callback
// message, the icon of resource `iconNumber` and the tip; for the session
// bus also the icon's larger drawings and the control menu.
bool Notify(uint32_t command, int32_t iconNumber, const char* tip) {
  NotifyIconRecord record{};
  record.window = MainWindowHandle();
  record.id = kTrayIconId;
  record.flags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_SIZES;
  record.callbackMessage = kTrayCallbackMessage;
  RecordData data;
  record.icon = data.Keep(AppIcon(iconNumber));
  for (int32_t i = 0; i < kLargerSizes; ++i) {
    data.loaded.push_back(LoadIconResource(AppResources(), LargerResource(iconNumber, i)));
    if (data.loaded.back() != nullptr) data.sizes.push_back(data.Keep(data.loaded.back()));
  }
  record.sizes = data.sizes.data();
  record.sizeCount = int32_t(data.sizes.size());
  AddMenu(&record, &data);
  std::snprintf(record.tip, sizeof record.tip, "%s", tip);
  return NotifyStatusIcon(command, &record);
}

// Whether the icon was added (a program without a display has none).
bool IconAdded = false;

// The picture and tip follow every change of the engine's state.
void OnEngineState(EngineState) {
  if (IconAdded) RefreshTrayIcon();
}

const bool kObservesEngine = (ObserveEngineState(OnEngineState), true);

}  // namespace

void AddTrayIcon() {
  if (!Notify(NIM_ADD, kStoppedIcon, kAppTitle)) throw ErrorText(kTrayIconFailedText);
  IconAdded = true;
}

void RefreshTrayIcon() {
  const bool running = RunningServer != nullptr;
  if (!Notify(NIM_MODIFY, running ? kRunningIcon : kStoppedIcon, running ? kTipRunning : kTipStopped)) {
    throw ErrorText(kTrayIconFailedText);
  }
}

void RemoveTrayIcon() {
  IconAdded = false;
  NotifyIconRecord record{};
  record.window = MainWindowHandle();
  record.id = kTrayIconId;
  NotifyStatusIcon(NIM_DELETE, &record);
}

bool TrayIconDocked() { return IsStatusIconDocked(MainWindowHandle(), kTrayIconId); }

WinPoint TrayMenuPoint() {
  WinPoint at{};
  GetStatusIconMenuPoint(MainWindowHandle(), kTrayIconId, &at);
  return at;
}

void HandleTrayFocusRequest(WindowHandle popup) { FocusControlMenu(popup); }

