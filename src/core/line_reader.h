// The one line reader of the program: request lines from a socket and a
// script's header lines from its output pipe are read the same way. The
// source shows what has arrived before anything is taken, so that the reader
// never takes a byte past the end of the line.
#pragma once

#include <cstdint>

inline constexpr int32_t kLineCapacity = 2048;  // a line with its terminator

// Where a line comes from. `look` stores up to `room` of the next bytes at
// `into` without taking them and gives their count (0 or less: the source
// ended or failed); `take` then takes the first `count` of them. A source
// that cannot look ahead hands out one byte per look and takes nothing more.
struct LineSource {
  void* context;
  int32_t (*look)(void* context, char* into, int32_t room);
  bool (*take)(void* context, char* into, int32_t count);
};

// Reads one line ending in `terminator` into `buffer` (kLineCapacity bytes).
// On success the terminator is replaced by a NUL and *out_length holds the
// bytes read, terminator included. Fails when the source ends or fails, or
// kLineCapacity bytes came without the terminator (*out_length is then
// kLineCapacity).
bool ReadLine(const LineSource& source, char* buffer, const char* terminator,
              int32_t* out_length);

// The end (just past the terminator) of the first terminator that ends
// within buffer[from, to), where buffer[0, from) was searched before and held
// none; 0 when there is none.
int32_t FindLineEnd(const char* buffer, int32_t from, int32_t to, const char* terminator,
                    int32_t terminator_length);
