// settings.dat beside the program: the three directory fields as counted
// texts, then the five selectors' item identifiers as 32-bit little-endian
// integers. Loading puts each value into its control; saving reads them.
#pragma once

#include <cstdint>
#include <cstdio>

inline constexpr const char* kSettingsFileName = "settings.dat";
inline constexpr const char* kSettingsLoadFailedText =
    "There was an error loading the settings from the disk.";
inline constexpr const char* kSettingsSaveFailedText =
    "There was an error saving the settings to the disk.";

// Reads settings.dat into the controls: 1 on success; 0 silently when the
// file cannot be opened for reading and updating (missing, or marked
// read-only); 0 with the load message when its data is short or a text is
// 260 bytes or longer (values placed before that stay).
int32_t LoadSettings();

// Writes the controls into settings.dat: 1 on success; 0 silently when the
// file cannot be written (folder not writable, file marked read-only); 0
// with the save message when a write fails. The new file replaces the old
// one only once it is complete, so a failed save keeps the old settings.
int32_t SaveSettings();

// The same for an explicit file name (the two above use the program's own
// settings.dat).
int32_t LoadSettingsFrom(const char* path);
int32_t SaveSettingsTo(const char* path);

// The reading and writing steps on an open stream, without messages: true
// when every field was read (written). Reading sets SettingsLoading while
// it runs.
bool ReadSettingsStream(FILE* stream);
bool WriteSettingsStream(FILE* stream);
