// settings.dat: the settings value (settings.h) on the disk, the three
// folders as counted texts, then the five choices as 32-bit little-endian
// integers. No window is needed to read or write it; the main window puts a
// loaded value into its controls and saves what they hold
// (settings_controls.h).
//
// Where it lives: beside the program while the program's folder is writable
// (a portable copy). An installed program's folder is not, so each user
// keeps an own file (UserSettingsFolder, created on the first save), and
// until there is one the file beside the program, an administrator's
// default for everybody, is read without ever being written.
#pragma once

#include <cstdint>
#include <string>

#include "app/settings.h"

inline constexpr const char* kSettingsFileName = "settings.dat";
inline constexpr const char* kSettingsLoadFailedText =
    "There was an error loading the settings from the disk.";
inline constexpr const char* kSettingsSaveFailedText =
    "There was an error saving the settings to the disk.";

// The file to read and the file to write for a program in `program_folder`
// (ending in the separator).
struct SettingsPlaces {
  std::string load;
  bool load_read_only = false;  // the administrator's default: never updated
  std::string save;
};
SettingsPlaces LocateSettings(const std::string& program_folder);

// Reads the file at `path` into *settings: 1 on success; 0 silently when
// there is no file or (unless `read_only`, the administrator's default that
// is only ever read) it is marked read-only, and the defaults apply; 0 with
// the load message when it is there but cannot be opened, its data is short
// or a text is 260 bytes or longer (the fields read before that are in
// *settings). SettingsLoading is set while it reads.
int32_t LoadSettingsFile(const char* path, bool read_only, Settings* settings);

// Writes `settings` to `path`, creating its folder: 1 on success; 0 with the
// save message when it cannot be written (no rights, a file marked
// read-only, a write that fails). The new file replaces the old one only
// once it is complete, so a failed save keeps the old settings.
int32_t SaveSettingsFile(const char* path, const Settings& settings);

// Where the program's own settings file lies (LocateSettings for the
// running program's folder).
SettingsPlaces ProgramSettingsPlaces();
