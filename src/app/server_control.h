// Settings validation and server control: the one apply operation that
// checks the directory fields, starts or stops the engine and tells the
// engine's new state (engine_state.h), the change tracking behind the OK and
// Apply buttons, Apply and Browse, and the tray menu's start and stop.
#pragma once

#include <cstdint>

#include "app/settings.h"
#include "window/window_system.h"

// The messages of the checks, in the order the checks run.
inline constexpr const char* kServingEmptyText = "Please enter in a directory to serve.";
inline constexpr const char* kServingMissingText = "The WWW directory entered doesn't exist.";
inline constexpr const char* kServingFileText =
    "The WWW path entered is a file, not a directory.  Please enter a directory";
inline constexpr const char* kPhpEmptyText =
    "If PHP is enabled, you must put in a location to your PHP directory.  This is the location "
    "of the PHP interpreter.  If you're unsure of where to download it, goto www.php.net and "
    "download the full zip package";
inline constexpr const char* kPhpMissingText =
    "The PHP path entered was not found, please enter the PHP folder path, where php.exe and "
    "php-cgi.exe reside";
inline constexpr const char* kPhpFileText =
    "The PHP path entered is invalid, it must point to the PHP directory itsself, not a file in "
    "that directory.";
inline constexpr const char* kLoggingEmptyText =
    "If logging is enabled, you must put in a location of where you want the log files to go.";
inline constexpr const char* kLoggingFileText =
    "The path entered for the logging directory already exists, and is a file, not a directory.  "
    "The logging system only needs a directory, because the log files themselves are named by "
    "the date.";

// Reads the field (at most 260 characters) and checks it: empty or spaces
// only fails with emptyMessage; a missing path with missingMessage when one
// is given; an existing non-directory with isFileMessage. On success a new
// text (release with FreeAndClear): the field's text with one separator
// appended unless it ends in one. On failure null, with *failure set.
char* CheckDirectoryField(WindowHandle field, const char* isFileMessage, const char* missingMessage,
                          const char* emptyMessage, const char** failure);

// What an apply came to: `result` as ApplySettings answers it, and whether
// the settings are to be kept (taken over, or sound but port 80 refused).
struct ApplyOutcome {
  int32_t result;
  bool keepSettings;
};

// The apply itself, on a settings value (no window needed): checks the
// folders, stops the engine, starts it again when the status is "Running",
// shows a failure and tells the engine's new state; saves nothing.
ApplyOutcome ApplySettingsValue(const Settings& settings);

// Takes over the main window's settings: stops the engine, starts it again
// when the status is "Running", refreshes the tray icon and saves the
// settings. 1 when taken over; 0 when a check or the start failed (the
// engine is then stopped, the failure shown, nothing saved).
int32_t ApplySettings();

// Stops the engine when it runs and forgets its token.
void StopRunningServer();

// Change tracking.
void OnFieldChanged();
void OnSelectorChoice();

// The buttons.
void OnApplyButton();
void OnBrowseButton(WindowHandle field, const char* title);

// Lets the user choose a folder, starting in the folder outPath holds on
// entry when it exists: 1 with the chosen path in outPath (room for 260
// characters), 0 when cancelled. Names the package to install when no
// folder chooser is there.
int32_t BrowseForFolder(const char* title, char* outPath);

// The tray menu's commands: set the status selector, then apply.
void StartServerCommand();
void ShutdownServerCommand();
