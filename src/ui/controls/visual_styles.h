// Run-time access to the system's visual styles. The table is filled once at
// start-up where the platform has a visual-style library; where it has none
// nothing is bound, and controls keep their classic drawing.
#pragma once

#include <cstdint>

#include "window/visual_styles.h"

// Entry points of the visual-style library, bound by name at run time
// (ThemeEntry): the signatures are the platform's, and only the platform
// calls through them.

struct ThemeApi {
  void* library;
  ThemeEntry IsThemeActive;
  ThemeEntry IsThemeBackgroundPartiallyTransparent;
  ThemeEntry OpenThemeData;
  ThemeEntry IsAppThemed;
  ThemeEntry CloseThemeData;
  ThemeEntry DrawThemeBackground;
  ThemeEntry DrawThemeBackgroundEx;
  ThemeEntry DrawThemeParentBackground;
  ThemeEntry DrawThemeText;
  ThemeEntry GetThemeBackgroundContentRect;
  ThemeEntry EnableThemeDialogTexture;
};

// The process-wide table and the flag that says whether the library loaded.
extern ThemeApi LoadedThemeApi;
extern int32_t stylesAvailable;

// Zeroes the table and binds the library when the platform has one. Called
// once by start-up, before any toolkit class is registered.
void LoadVisualStyles();

// 1 when visual styles are on now, storing the table in *tableOut; 0 when
// they are off (the table is stored when the library is there) or when there
// is no library (null stored).
int32_t VisualStylesActive(ThemeApi** tableOut);
