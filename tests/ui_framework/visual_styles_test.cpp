// Visual styles on a platform without the library, and the query's rules
// for a platform that binds one.
#include <gtest/gtest.h>

#include "ui/controls/visual_styles.h"

namespace {

int theme_active = 0;
int IsThemeActiveNow() { return theme_active; }

TEST(VisualStyles, AbsentLibraryMeansClassicLookAndNoTable) {
  LoadVisualStyles();
  EXPECT_EQ(stylesAvailable, 0);
  ThemeApi* table = reinterpret_cast<ThemeApi*>(0x1);
  EXPECT_EQ(VisualStylesActive(&table), 0);
  EXPECT_EQ(table, nullptr);
  EXPECT_EQ(LoadedThemeApi.library, nullptr);
  EXPECT_EQ(LoadedThemeApi.OpenThemeData, nullptr);
}

TEST(VisualStyles, BoundTableIsHandedOutWhetherStylesAreOnOrOff) {
  LoadVisualStyles();
  stylesAvailable = 1;  // as a platform with the library leaves it
  ThemeApi* table = nullptr;
  EXPECT_EQ(VisualStylesActive(&table), 0);  // no IsThemeActive entry: off
  EXPECT_EQ(table, &LoadedThemeApi);
  LoadedThemeApi.IsThemeActive = reinterpret_cast<ThemeEntry>(IsThemeActiveNow);
  table = nullptr;
  EXPECT_EQ(VisualStylesActive(&table), 0);
  EXPECT_EQ(table, &LoadedThemeApi);
  theme_active = 1;
  EXPECT_EQ(VisualStylesActive(&table), 1);
  LoadVisualStyles();
  EXPECT_EQ(VisualStylesActive(&table), 0);
  EXPECT_EQ(table, nullptr);
}

}  // namespace
