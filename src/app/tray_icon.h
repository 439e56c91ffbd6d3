// The tray icon and what reaches the main window from it: the icon's
// callback message, the popup focus request and the control menu's
// commands, and the end of the program.
#pragma once

#include <cstdint>

#include "app/tray_menu.h"
#include "window/window_system.h"

inline constexpr const char* kTrayIconFailedText = "Couldn't Create Tray Icon";

// Adds the icon (stopped picture, tip "Ambrel HTTP Server"). Raises
// ErrorText(kTrayIconFailedText) when it cannot be added. A desktop without
// a tray is no failure: the icon docks when a tray appears.
void AddTrayIcon();

// Shows the running or stopped picture and tip, by RunningServer. Raises
// ErrorText(kTrayIconFailedText) on failure.
void RefreshTrayIcon();

// Takes the icon away; the result is ignored.
void RemoveTrayIcon();

// Whether the icon sits in a tray now (the close box hides the main window
// only then, and minimises it otherwise, so the program stays reachable).
bool TrayIconDocked();

// The main window's kTrayCallbackMessage (lParam: the mouse message).
void HandleTrayCallback(LParam mouseMessage);

// The main window's kTrayFocusMessage: brings `popup` forward with the keys.
void HandleTrayFocusRequest(WindowHandle popup);

// A control menu command (kTrayMenuFirstId to kTrayMenuLastId).
void HandleTrayMenuCommand(int32_t id);

// Ends the program: removes the icon, stops the engine so that the access
// log writes out what it holds, then closes the About window when it is open
// (which then destroys the main window) or destroys the main window, whose
// end ends the message loop.
void CloseProcess();
