// The system's visual-style library, bound at run time: loading it where the
// system has one, finding its entry points by name, and the few calls the
// toolkit makes through those entry points with the platform's own types.
// Where the platform has no such library, loading gives null and nothing
// else is ever reached.
#pragma once

#include <cstdint>

#include "window/window_system.h"

struct Image;

// An entry point of the library; its real signature is the platform's.
using ThemeEntry = void (*)();

// The platform's major version number (GetVersionExA on Windows; 0 where
// there is no such number).
int32_t PlatformMajorVersion();

// Loads the library ("uxtheme.dll") and keeps it for the life of the process.
// Null when the platform has none or it cannot be loaded.
void* LoadVisualStyleLibrary();

// The entry point `name` of a loaded library, or null.
ThemeEntry FindVisualStyleEntry(void* library, const char* name);

// IsThemeActive through its entry point; false for a null entry.
bool CallIsThemeActive(ThemeEntry isThemeActive);

// OpenThemeData(window's native window, classList in UTF-16) and
// CloseThemeData(theme) through their entry points.
void* CallOpenThemeData(ThemeEntry openThemeData, WindowHandle window, const char* classList);
void CallCloseThemeData(ThemeEntry closeThemeData, void* theme);

// Draws part `part` in state `state` of `theme` over the whole image with
// DrawThemeBackground (skipped when that entry is null) and then, when `text` is not null, the text with
// DrawThemeText (DT_VCENTER, the theme's text state `textState`) in
// textRect[0..3] = left, top, right, bottom. The image's pixels are the
// background the part is drawn over. False when a step fails.
bool DrawThemedPart(ThemeEntry drawThemeBackground, ThemeEntry drawThemeText, void* theme,
                    Image* image, int32_t part, int32_t state, const char* text,
                    int32_t textState, const int32_t* textRect);
