// The fuzz targets: each takes one input of bytes and drives one of the
// engine's parsers with it. libFuzzer runs them (fuzz_main.cpp); the ordinary
// test build replays the stored inputs through the same functions.
#pragma once

#include <cstddef>
#include <cstdint>

struct FuzzTarget {
  const char* name;  // also the folder of its inputs under fuzz/corpus and fuzz/regressions
  int (*run)(const uint8_t* data, size_t size);
};

// Request line and headers read from a socket, then served from a small site.
int FuzzRequest(const uint8_t* data, size_t size);
// Percent decoding of a path.
int FuzzPercent(const uint8_t* data, size_t size);
// "Last-Modified:" / "If-Modified-Since:" dates.
int FuzzHttpDate(const uint8_t* data, size_t size);
// Address texts against range patterns (the two split at the first NUL).
int FuzzAddressPattern(const uint8_t* data, size_t size);
// A script's header block read from a pipe.
int FuzzScriptHeaders(const uint8_t* data, size_t size);
// Counted strings as the settings file stores them.
int FuzzCountedString(const uint8_t* data, size_t size);
// A whole settings file loaded into the main window's controls.
int FuzzSettingsFile(const uint8_t* data, size_t size);

inline constexpr FuzzTarget kFuzzTargets[] = {
    {"request", FuzzRequest},
    {"percent", FuzzPercent},
    {"http_date", FuzzHttpDate},
    {"address_pattern", FuzzAddressPattern},
    {"script_headers", FuzzScriptHeaders},
    {"counted_string", FuzzCountedString},
    {"settings_file", FuzzSettingsFile},
};
