#include "core/line_reader.h"

#include <cstring>

int32_t FindLineEnd(const char* buffer, int32_t from, int32_t to, const char* terminator,
                    int32_t terminator_length) {
  int32_t first_end = from + 1 > terminator_length ? from + 1 : terminator_length;
  for (int32_t end = first_end; end <= to; ++end) {
    if (std::memcmp(buffer + end - terminator_length, terminator,
                    static_cast<size_t>(terminator_length)) == 0) {
      return end;
    }
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
