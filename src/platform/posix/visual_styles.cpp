// There is no visual-style library on this platform: nothing loads, and the
// controls keep their classic drawing.
#include "platform/visual_styles.h"

int32_t PlatformMajorVersion() { return 0; }

void* LoadVisualStyleLibrary() { return nullptr; }

ThemeEntry FindVisualStyleEntry(void*, const char*) { return nullptr; }

bool CallIsThemeActive(ThemeEntry) { return false; }

void* CallOpenThemeData(ThemeEntry, WindowHandle, const char*) { return nullptr; }

void CallCloseThemeData(ThemeEntry, void*) {}

bool DrawThemedPart(ThemeEntry, ThemeEntry, void*, Image*, int32_t, int32_t, const char*, int32_t,
                    const int32_t*) {
  return false;
}
