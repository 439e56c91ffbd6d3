// Visual styles on this platform: there is no visual-style library, so the
// table stays empty and every control draws its classic look. A platform
// with the library binds it here and answers through IsThemeActive.
#include "ui/controls/visual_styles.h"

#include <cstring>

ThemeApi g_themeApi;
int32_t stylesAvailable = 0;

void LoadVisualStyles() {
  std::memset(&g_themeApi, 0, sizeof(g_themeApi));
  stylesAvailable = 0;
}

int32_t VisualStylesActive(ThemeApi** tableOut) {
  if (stylesAvailable != 1) {
    if (tableOut != nullptr) *tableOut = nullptr;
    return 0;
  }
  if (tableOut != nullptr) *tableOut = &g_themeApi;
  // With a bound library the answer comes from IsThemeActive; a missing entry
  // counts as styles off.
  if (g_themeApi.IsThemeActive == nullptr) return 0;
  using IsThemeActiveFn = int (*)();
  return reinterpret_cast<IsThemeActiveFn>(g_themeApi.IsThemeActive)() != 0 ? 1 : 0;
}
