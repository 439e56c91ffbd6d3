#include "core/line_reader.h"

#include <cstring>

int32_t FindLineEnd(const char* buffer, int32_t from, int32_t to, const char* terminator,
                    int32_t terminator_length) {
  if (terminator_length <= 0) return 0;
  // Candidate starts of the terminator: from the one that would end just
  // past `from` to the last that still ends within `to`. The search jumps
  // to each occurrence of the terminator's first byte.
  int32_t start = (from + 1 > terminator_length ? from + 1 : terminator_length) - terminator_length;
  const int32_t last_start = to - terminator_length;
  const char first = terminator[0];
  while (start <= last_start) {
    const void* hit = std::memchr(buffer + start, first, static_cast<size_t>(last_start - start + 1));
    if (hit == nullptr) return 0;
    start = static_cast<int32_t>(static_cast<const char*>(hit) - buffer);
    int32_t i = 1;
    while (i < terminator_length && buffer[start + i] == terminator[i]) ++i;
    if (i == terminator_length) return start + terminator_length;
    ++start;
  }
  return 0;
}

bool ReadLine(const LineSource& source, char* buffer, const char* terminator,
              int32_t* out_length) {
  const int32_t terminator_length = static_cast<int32_t>(std::strlen(terminator));
  int32_t position = 0;
  do {
    int32_t seen = source.look(source.context, buffer + position, kLineCapacity - position);
    if (seen <= 0) return false;
    int32_t line_end = FindLineEnd(buffer, position, position + seen, terminator,
                                   terminator_length);
    int32_t take = line_end > 0 ? line_end - position : seen;
    if (!source.take(source.context, buffer + position, take)) return false;
    position += take;
    if (line_end > 0) {
      if (out_length != nullptr) *out_length = position;
      buffer[position - terminator_length] = '\0';
      return true;
    }
  } while (position < kLineCapacity);
  if (out_length != nullptr) *out_length = kLineCapacity;
  return false;
}
