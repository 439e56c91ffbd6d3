// The application's process-wide state, declared in one place: the icons,
// the main window and the handles of its controls, the running engine's
// token, the change-suppression flag and the About window's state.
// Everything here belongs to the user-interface thread.
#pragma once

#include <cstdint>

#include "http/engine.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "window/window_system.h"
#include "ui/framework/gui_window.h"
#include "ui/render/image.h"

inline constexpr int32_t kAppIconCount = 19;
inline constexpr const char* kAppTitle = "Ambrel HTTP Server";
inline constexpr const char* kErrorCaption = "Error";

// Icon resources 1 to 19: entry i holds resource i + 1 (see AppIcon).
extern Icon* AppIcons[kAppIconCount];
// Tahoma, 12 pixels, weight 400: the tray menu's font.
extern FontHandle MainFont;
// The main window's description; its hwnd is the main window.
extern GuiWindow* MainWindow;
// The banner image shown over the main window (bitmap resource 1000).
extern Image* MainBanner;
// Non-null exactly while the engine runs.
extern EngineToken* RunningServer;
// Set while the settings file is loaded into the controls and while the
// main window is being shown: text changes then are not user edits.
extern bool SettingsLoading;

// The main window's controls, filled when the window is created.
struct MainControls {
  WindowHandle statusSelector, scopeSelector, phpSelector, cgiSelector, loggingSelector;
  WindowHandle servingField, phpField, loggingField;
  WindowHandle servingBrowse, phpBrowse, loggingBrowse;
  WindowHandle okButton, cancelButton, applyButton, aboutButton;
};
extern MainControls Controls;

// Without a display the program runs on the headless window system: boxes
// then go to standard error instead of waiting for a user who cannot see them.
extern bool ConsoleMode;

// The About window's description while it exists, otherwise null; the
// window counts as open while this is set.
extern GuiWindow* AboutWindow;

// Set when "Close Process" is chosen while the About window is open: when
// its loop ends, the About window destroys its owner, which ends the program.
extern bool CloseRequested;

// The icon of resource `number` (1 to 19), or null.
const Icon* AppIcon(int32_t number);

// The main window's system window, or null before it exists.
WindowHandle MainWindowHandle();

// Every box the application shows goes through here: a message box owned by
// `owner` (null: none), or a line on standard error in console mode.
void ShowAppMessage(WindowHandle owner, const char* text, const char* caption,
                    MessageBoxIcon icon);
