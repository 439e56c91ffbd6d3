// Visual styles: the library is bound once at start-up where the platform
// has it (version 5 or later), and whether styles are on is asked of it each
// time a control opens or refreshes its theme.
#include "ui/controls/visual_styles.h"

#include <cstring>

ThemeApi LoadedThemeApi;
int32_t stylesAvailable = 0;

void LoadVisualStyles() {
  std::memset(&LoadedThemeApi, 0, sizeof(LoadedThemeApi));
  stylesAvailable = PlatformMajorVersion() >= 5 ? 1 : 0;
  if (stylesAvailable == 0) return;
  LoadedThemeApi.library = LoadVisualStyleLibrary();
  if (LoadedThemeApi.library == nullptr) {
    stylesAvailable = 0;
    return;
  }
  void* library = LoadedThemeApi.library;
  LoadedThemeApi.OpenThemeData = FindVisualStyleEntry(library, "OpenThemeData");
  LoadedThemeApi.CloseThemeData = FindVisualStyleEntry(library, "CloseThemeData");
  LoadedThemeApi.IsAppThemed = FindVisualStyleEntry(library, "IsAppThemed");
  LoadedThemeApi.IsThemeActive = FindVisualStyleEntry(library, "IsThemeActive");
  LoadedThemeApi.DrawThemeBackground = FindVisualStyleEntry(library, "DrawThemeBackground");
  LoadedThemeApi.DrawThemeBackgroundEx = FindVisualStyleEntry(library, "DrawThemeBackgroundEx");
  LoadedThemeApi.IsThemeBackgroundPartiallyTransparent =
      FindVisualStyleEntry(library, "IsThemeBackgroundPartiallyTransparent");
  LoadedThemeApi.DrawThemeParentBackground =
      FindVisualStyleEntry(library, "DrawThemeParentBackground");
  LoadedThemeApi.DrawThemeText = FindVisualStyleEntry(library, "DrawThemeText");
  LoadedThemeApi.GetThemeBackgroundContentRect =
      FindVisualStyleEntry(library, "GetThemeBackgroundContentRect");
  LoadedThemeApi.EnableThemeDialogTexture =
      FindVisualStyleEntry(library, "EnableThemeDialogTexture");
}

int32_t VisualStylesActive(ThemeApi** tableOut) {
  if (stylesAvailable != 1) {
    if (tableOut != nullptr) *tableOut = nullptr;
    return 0;
  }
  if (tableOut != nullptr) *tableOut = &LoadedThemeApi;
  // A missing IsThemeActive entry counts as styles off.
  return CallIsThemeActive(LoadedThemeApi.IsThemeActive) ? 1 : 0;
}
