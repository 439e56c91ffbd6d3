// settings.dat: the three directory fields as counted texts, then the five
// selectors' item identifiers as 32-bit little-endian integers. Loading puts
// each value into its control; saving reads them.
//
// Where it lives: beside the program while the program's folder is writable
// (a portable copy). An installed program's folder is not, so each user
// keeps an own file (UserSettingsFolder, created on the first save), and
// until there is one the file beside the program, an administrator's
// default for everybody, is read without ever being written.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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

// Reads settings.dat into the controls: 1 on success; 0 silently when there
// is no file or it is marked read-only (the defaults apply); 0 with the load
// message when it is there but cannot be opened, its data is short or a text
// is 260 bytes or longer (values placed before that stay).
int32_t LoadSettings();

// Writes the controls into settings.dat, creating its folder: 1 on success;
// 0 with the save message when it cannot be written (no rights, a file marked
// read-only, a write that fails). The new file replaces the old one only once
// it is complete, so a failed save keeps the old settings.
int32_t SaveSettings();

// The same for explicit places (the two above locate the program's own).
int32_t LoadSettingsFrom(const char* path, bool read_only = false);
int32_t SaveSettingsTo(const char* path);

// The reading and writing steps on an open stream, without messages: true
// when every field was read (written). Reading sets SettingsLoading while
// it runs.
bool ReadSettingsStream(FILE* stream);
bool WriteSettingsStream(FILE* stream);
