// The tray icon's control menu: its items by whether the engine runs, opened
// at the pointer as a popup that takes the keyboard.
#pragma once

#include <cstdint>

#include "platform/text.h"
#include "window/window_system.h"
#include "ui/controls/menu_items.h"

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

// The icon of a resource number (1 to 19), or null.
using IconLookup = const Icon* (*)(int32_t number);

// Appends the menu's items to `list`: "Show Server Window", then "Shutdown
// Server" while the engine runs or else "Start Server", a separator, "About
// Ambrel HTTP Server..." and "Close Process", each with its icon.
void BuildControlMenu(MenuItemList* list, bool engineRunning, IconLookup icon);

// Opens the menu at `at` (where the status area asks for it), owned by
// `owner` (which receives the choice), drawn in `font`, and asks the owner
// (kTrayFocusMessage) to give it the keyboard. Returns the popup, or null.
WindowHandle OpenControlMenu(WindowHandle owner, FontHandle font, bool engineRunning,
                             IconLookup icon, WinPoint at);

// Brings the popup to the foreground with the keyboard focus, so that it
// closes itself when the user turns elsewhere.
void FocusControlMenu(WindowHandle popup);
