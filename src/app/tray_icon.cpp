// The tray icon: the record handed to the status area and its two pictures
// and tips, which follow the engine's state (engine_state.h).
#include "app/tray_icon.h"

#include <cstdio>
#include <vector>

#include "app/app_state.h"
#include "app/engine_state.h"
#include "core/error.h"
#include "window/tray.h"
#include "ui/framework/gui_window.h"

namespace {

constexpr uint32_t kTrayIconId = 0;
constexpr int32_t kRunningIcon = 11;
constexpr int32_t kStoppedIcon = 12;
constexpr const char* kTipRunning = "Ambrel HTTP Server - Running";
constexpr const char* kTipStopped = "Ambrel HTTP Server - Not Running";

// The record, zero-filled: the main window, identifier 0, the callback
// message, the icon of resource `iconNumber` and the tip.
bool Notify(uint32_t command, int32_t iconNumber, const char* tip) {
  NotifyIconRecord record{};
  record.window = MainWindowHandle();
  record.id = kTrayIconId;
  record.flags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.callbackMessage = kTrayCallbackMessage;
  std::vector<uint32_t> pixels;
  const Icon* icon = AppIcon(iconNumber);
  if (icon != nullptr && icon->color != nullptr) {
    const Image* image = icon->color;
    pixels.resize(size_t(image->width) * size_t(image->height));
    for (int32_t y = 0; y < image->height; ++y) {
      for (int32_t x = 0; x < image->width; ++x) {
        pixels[size_t(y) * size_t(image->width) + size_t(x)] = *PixelAddress(image, x, y);
      }
    }
    record.icon = StatusIconPicture{image->width, image->height, pixels.data()};
  }
  std::snprintf(record.tip, sizeof record.tip, "%s", tip);
  return NotifyStatusIcon(command, &record);
}

// The picture and tip follow every change of the engine's state.
void OnEngineState(EngineState) { RefreshTrayIcon(); }

const bool kObservesEngine = (ObserveEngineState(OnEngineState), true);

}  // namespace

void AddTrayIcon() {
  if (!Notify(NIM_ADD, kStoppedIcon, kAppTitle)) throw ErrorText(kTrayIconFailedText);
}

void RefreshTrayIcon() {
  const bool running = RunningServer != nullptr;
  if (!Notify(NIM_MODIFY, running ? kRunningIcon : kStoppedIcon, running ? kTipRunning : kTipStopped)) {
    throw ErrorText(kTrayIconFailedText);
  }
}

void RemoveTrayIcon() {
  NotifyIconRecord record{};
  record.window = MainWindowHandle();
  record.id = kTrayIconId;
  NotifyStatusIcon(NIM_DELETE, &record);
}

bool TrayIconDocked() { return IsStatusIconDocked(MainWindowHandle(), kTrayIconId); }

void HandleTrayFocusRequest(WindowHandle popup) { FocusControlMenu(popup); }

