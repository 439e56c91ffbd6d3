// The tray icon: added, shown running or stopped as the engine's state
// changes, docked or not, and the control menu's request for the keys. What
// its clicks and menu commands do is the main window's (main_window.h).
#pragma once

#include <cstdint>

#include "app/tray_menu.h"
#include "window/window_system.h"

inline constexpr const char* kTrayIconFailedText = "Couldn't Create Tray Icon";

// Adds the icon (stopped picture, tip "Ambrel HTTP Server"). Raises
// ErrorText(kTrayIconFailedText) when it cannot be added. A desktop without
// a tray is no failure: the icon docks when a tray appears.
void AddTrayIcon();

// Shows the running or stopped picture and tip, by RunningServer; every
// notice of the engine's state calls it. Raises
// ErrorText(kTrayIconFailedText) on failure.
void RefreshTrayIcon();

// Takes the icon away; the result is ignored.
void RemoveTrayIcon();

// Whether the icon sits in a tray now (the close box hides the main window
// only then, and minimises it otherwise, so the program stays reachable).
bool TrayIconDocked();

// Where the control menu opens: where the tray asked for it.
WinPoint TrayMenuPoint();

// The main window's kTrayFocusMessage: brings `popup` forward with the keys.
void HandleTrayFocusRequest(WindowHandle popup);
