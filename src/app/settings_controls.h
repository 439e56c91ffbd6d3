// The main window's controls and the settings value (settings.h): the
// fields and selectors shown from a value and taken back into one, and the
// settings file read into them and written from them.
#pragma once

#include <cstdint>

#include "app/settings.h"

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
