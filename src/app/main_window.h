// The main window: its groups and 18 controls as constant tables, built in
// one loop each, and its application procedure, which routes the buttons,
// fields, selectors and tray messages to their handlers.
#pragma once

#include <cstdint>

#include "app/settings.h"
#include "window/window_system.h"
#include "ui/framework/gui_window.h"

// Control identifiers (also the child-window identifiers).
enum MainControlId : int32_t {
  kStatusSelectorId = 0,
  kScopeSelectorId = 1,
  kServingLabelId = 5,
  kServingFieldId = 6,
  kServingBrowseId = 7,
  kPhpSelectorId = 8,
  kPhpLabelId = 9,
  kPhpFieldId = 10,
  kPhpBrowseId = 11,
  kCgiSelectorId = 12,
  kLoggingSelectorId = 13,
  kLoggingLabelId = 14,
  kLoggingFieldId = 15,
  kLoggingBrowseId = 16,
  kApplyButtonId = 17,
  kOkButtonId = 18,
  kCancelButtonId = 19,
  kAboutButtonId = 21,
};

// Selector item identifiers, as settings.dat stores them.
enum SelectorItemId : int32_t {
  kItemRunning = 1,
  kItemNotRunning = 2,
  kItemLocalServer = 3,
  kItemLanServer = 4,
  kItemInternetServer = 5,
  kItemPhpEnabled = 6,
  kItemPhpDisabled = 7,
  kItemCgiEnabled = 8,
  kItemCgiDisabled = 9,
  kItemLoggingEnabled = 10,
  kItemLoggingDisabled = 11,
};

inline constexpr int32_t kMainMinWidth = 365;
inline constexpr int32_t kMainMaxWidth = 600;
inline constexpr int32_t kMainHeight = 448;
inline constexpr int32_t kMainStartWidth = 400;

// Describes the main window (groups and controls) into MainWindow, with the
// banner. False when memory runs out.
bool DescribeMainWindow();

// Creates the described window and dresses it: small icon, flat buttons,
// field limits, button and caption icons, selector items; fills Controls.
// False when the system refuses the window.
bool CreateMainWindow();

// Destroys the window (if it still exists) and releases its description.
void ReleaseMainWindow();

// The main window's application procedure.
LResult MainWindowProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam);

// Shows the main window in front; with reload 1 the settings file is read
// into the controls first. OK ends enabled, Apply disabled.
void ShowMainWindow(int32_t reload);
void HideMainWindow();

// The settings the controls hold (each folder at most 259 bytes).
Settings SettingsFromControls();

// Puts `settings` into the controls, with SettingsLoading set meanwhile; a
// choice that names none of its selector's items changes nothing.
void ShowSettingsInControls(const Settings& settings);

// The program's settings file (settings_file.h) into the controls, and the
// controls into it, with the file's own answers and messages. A load that
// fails part way leaves the fields read before the failure in the controls.
int32_t LoadSettings();
int32_t SaveSettings();
// The same for explicit places.
int32_t LoadSettingsFrom(const char* path, bool read_only = false);
int32_t SaveSettingsTo(const char* path);
