// The tray icon and what reaches the main window from it: the icon's
// callback message, the popup focus request and the control menu's commands.
#pragma once

#include <cstdint>

#include "platform/window_system.h"

// Messages of the tray to the main window.
inline constexpr uint32_t kTrayCallbackMessage = WM_USER + 1;  // lParam: the mouse message
inline constexpr uint32_t kTrayFocusMessage = WM_USER + 2;     // wParam: the popup to focus

// Identifiers of the control menu's items (TKM_ITEMCHOSEN wParam).
inline constexpr int32_t kTrayMenuAboutId = 14;
inline constexpr int32_t kTrayMenuStartId = 15;
inline constexpr int32_t kTrayMenuShutdownId = 16;
inline constexpr int32_t kTrayMenuShowId = 17;
inline constexpr int32_t kTrayMenuCloseId = 18;
inline constexpr int32_t kTrayMenuFirstId = kTrayMenuAboutId;
inline constexpr int32_t kTrayMenuLastId = kTrayMenuCloseId;

inline constexpr const char* kTrayIconFailedText = "Couldn't Create Tray Icon";

// Adds the icon (stopped picture, tip "Ambrel HTTP Server"). Raises
// ErrorText(kTrayIconFailedText) when it cannot be added.
void AddTrayIcon();

// Shows the running or stopped picture and tip, by RunningServer. Raises
// ErrorText(kTrayIconFailedText) on failure.
void RefreshTrayIcon();

// Takes the icon away; the result is ignored.
void RemoveTrayIcon();

// The main window's kTrayCallbackMessage (lParam: the mouse message).
void HandleTrayCallback(LParam mouseMessage);

// The main window's kTrayFocusMessage: brings `popup` forward with the keys.
void HandleTrayFocusRequest(WindowHandle popup);

// A control menu command (kTrayMenuFirstId to kTrayMenuLastId).
void HandleTrayMenuCommand(int32_t id);
