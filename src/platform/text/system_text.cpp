// The system's 8-bit text on Linux is UTF-8.
#include <cstdint>

#include "platform/text.h"

int32_t TextCharacterLength(const char* text, int32_t length, int32_t index) {
  const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
  const uint8_t lead = s[index];
  const int32_t need = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                     : (lead >> 3) == 0x1E ? 4 : 1;
  if (need == 1 || index + need > length) return 1;
  for (int32_t i = 1; i < need; ++i) {
    if ((s[index + i] & 0xC0) != 0x80) return 1;
  }
  return need;
}

int32_t TextCharacterStart(const char* text, int32_t length, int32_t index) {
  if (index <= 0) return 0;
  if (index >= length) return length;
  const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
  // Back over at most three continuation bytes to a lead byte: a character
  // starts at `index` unless that lead's sequence reaches past it.
  for (int32_t back = 1; back <= 3 && index - back >= 0; ++back) {
    const int32_t start = index - back;
    if ((s[start] & 0xC0) != 0x80) {
      return start + TextCharacterLength(text, length, start) <= index ? index : start;
    }
  }
  return index;
}

int32_t EncodeTextCharacter(uint32_t code, char out[4]) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  if (code < 0x800) {
    out[0] = static_cast<char>(0xC0 | (code >> 6));
    out[1] = static_cast<char>(0x80 | (code & 0x3F));
    return 2;
  }
  if (code < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (code >> 12));
    out[1] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (code & 0x3F));
    return 3;
  }
  if (code < 0x110000) {
    out[0] = static_cast<char>(0xF0 | (code >> 18));
    out[1] = static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out[2] = static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out[3] = static_cast<char>(0x80 | (code & 0x3F));
    return 4;
  }
  return 0;
}
