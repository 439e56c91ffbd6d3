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

// The main window's own buttons: OK applies changed settings and hides the
// window when they were taken; Cancel hides it.
void OnOkButton();
void OnCancelButton();

// What reaches the main window from the tray icon: its callback message
// (lParam: the mouse message; a double click shows the window, a right
// click opens the control menu) and the control menu's commands
// (kTrayMenuFirstId to kTrayMenuLastId).
void HandleTrayCallback(LParam mouseMessage);
void HandleTrayMenuCommand(int32_t id);

// Ends the program: removes the icon, stops the engine so that the access
// log writes out what it holds, then closes the About window when it is open
// (which then destroys the main window) or destroys the main window, whose
// end ends the message loop.
void CloseProcess();
