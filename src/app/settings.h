// The program's settings as a plain value: the three folders and the five
// choices, as settings.dat keeps them. Reading and writing it needs no
// window (settings_file.h); the main window shows it in its controls and
// takes it back from them (settings_controls.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// The choices: selector item identifiers, as settings.dat stores them.
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

// A folder holds at most 259 bytes of text plus the terminator.
inline constexpr int32_t kSettingsTextCapacity = 260;

struct Settings {
  std::string servingFolder;
  std::string phpFolder;
  std::string loggingFolder;
  // Selector item identifiers (SelectorItemId above).
  int32_t status = 0;
  int32_t scope = 0;
  int32_t php = 0;
  int32_t cgi = 0;
  int32_t logging = 0;

  bool operator==(const Settings&) const = default;
};

// The three folders and the five choices in the file's order, so that one
// loop reads or writes each kind.
inline std::string Settings::* const kSettingsFolders[] = {
    &Settings::servingFolder, &Settings::phpFolder, &Settings::loggingFolder};
inline int32_t Settings::* const kSettingsChoices[] = {&Settings::status, &Settings::scope,
                                                       &Settings::php, &Settings::cgi,
                                                       &Settings::logging};

// Reads the fields in order into *settings: the folders as counted texts,
// then the choices as 32-bit little-endian integers. False at the first
// field that cannot be read (a short file, a text of 260 bytes or more);
// the fields read before it are in *settings, the rest keep their values.
bool ReadSettingsStream(FILE* stream, Settings* settings);

// Writes every field; false when one cannot be written.
bool WriteSettingsStream(FILE* stream, const Settings& settings);
