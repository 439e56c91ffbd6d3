// The system's 8-bit text on Windows is the ANSI code page: what the file,
// process and shell calls of the A family take, what the system's message
// box shows, and what settings.dat holds. Window texts and drawn text are
// turned into the system's UTF-16 from it (win32_events.cpp, gdi_text.cpp).
#include <windows.h>

#include "platform/text.h"

int32_t TextCharacterLength(const char* text, int32_t length, int32_t index) {
  // A double-byte code page's lead byte takes the byte after it along.
  if (index + 1 < length && ::IsDBCSLeadByte(static_cast<BYTE>(text[index]))) return 2;
  return 1;
}

int32_t TextCharacterStart(const char* text, int32_t length, int32_t index) {
  if (index <= 0) return 0;
  if (index >= length) return length;
  static const bool singleByte = [] {
    CPINFO info{};
    return ::GetCPInfo(CP_ACP, &info) && info.MaxCharSize == 1;
  }();
  if (singleByte) return index;
  // A trailing byte may look like a leading one: only a walk from the start
  // tells them apart.
  int32_t start = 0;
  while (start < index) {
    const int32_t next = start + TextCharacterLength(text, length, start);
    if (next > index) break;
    start = next;
  }
  return start;
}

int32_t EncodeTextCharacter(uint32_t code, char out[4]) {
  if (code < 0x80) {
    out[0] = static_cast<char>(code);
    return 1;
  }
  wchar_t wide[2];
  int units = 1;
  if (code >= 0x110000 || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  if (code >= 0x10000) {
    wide[0] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
    wide[1] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    units = 2;
  } else {
    wide[0] = static_cast<wchar_t>(code);
  }
  // A character the code page lacks is not replaced by a look-alike or '?'.
  BOOL replaced = FALSE;
  int n = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, units, out, 4, nullptr, &replaced);
  return n > 0 && !replaced ? n : 0;
}
