// UTF-8 decoding shared by every text backend.
#include <cstdint>

#include "platform/text.h"

uint32_t DecodeUtf8(const char* text, int32_t length, int32_t* index) {
  const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
  int32_t i = *index;
  uint32_t first = s[i];
  int extra = (first >= 0xC2 && first <= 0xDF) ? 1 : (first >= 0xE0 && first <= 0xEF) ? 2 : (first >= 0xF0 && first <= 0xF4) ? 3 : 0;
  if (first < 0x80 || extra == 0 || i + extra >= length) {
    *index = i + 1;
    return first;
  }
  uint32_t code = first & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    if ((s[i + k] & 0xC0) != 0x80) {
      *index = i + 1;
      return first;
    }
    code = (code << 6) | (s[i + k] & 0x3F);
  }
  static const uint32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
  if (code < kMinimum[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    *index = i + 1;
    return first;
  }
  *index = i + extra + 1;
  return code;
}
