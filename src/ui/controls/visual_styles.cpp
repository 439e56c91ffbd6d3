// Visual styles on this platform: there is no visual-style library, so the
// table stays empty and every control draws its classic look. A platform
// with the library binds it here and answers through IsThemeActive.
#include "ui/controls/visual_styles.h"

#include <cstring>

ThemeApi LoadedThemeApi;
int32_t stylesAvailable = 0;

void LoadVisualStyles() {
  std::memset(&LoadedThemeApi, 0, sizeof(LoadedThemeApi));
  stylesAvailable = 0;
}

int32_t VisualStylesActive(ThemeApi** tableOut) {
  if (stylesAvailable != 1) {
    if (tableOut != nullptr) *tableOut = nullptr;
    return 0;
  }
  if (tableOut != nullptr) *tableOut = &LoadedThemeApi;
  // With a bound library the answer comes from IsThemeActive; a missing entry
  // counts as styles off.
  if (LoadedThemeApi.IsThemeActive == nullptr) return 0;
  using IsThemeActiveFn = int (*)();
  return reinterpret_cast<IsThemeActiveFn>(LoadedThemeApi.IsThemeActive)() != 0 ? 1 : 0;
}
