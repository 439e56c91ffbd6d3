// There is no visual-style library on this platform: nothing loads, no theme
// opens, and the controls keep their classic drawing.
#include "window/visual_styles.h"

int32_t PlatformMajorVersion() { return 0; }

void* LoadVisualStyleLibrary() { return nullptr; }

ThemeEntry FindVisualStyleEntry(void*, const char*) { return nullptr; }

// Nothing here binds the entry; one set by hand answers as int (*)().
bool CallIsThemeActive(ThemeEntry isThemeActive) {
  return isThemeActive != nullptr && reinterpret_cast<int (*)()>(isThemeActive)() != 0;
}

void* CallOpenThemeData(ThemeEntry, WindowHandle, const char*) { return nullptr; }

void CallCloseThemeData(ThemeEntry, void*) {}

bool DrawThemedPart(ThemeEntry, ThemeEntry, void*, Image*, int32_t, int32_t, const char*, int32_t,
                    const int32_t*) {
  return false;
}
