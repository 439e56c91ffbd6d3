// Visual styles where the system has them: uxtheme.dll is bound by name at
// run time, and a push button draws the theme's part while a theme is active
// (the light theme that comes with the system is switched on for this
// program before the library loads) and its classic look once styles go off.
#include "control_harness.h"
#include "ui/controls/control_support.h"
#include "ui/controls/visual_styles.h"
#include "ui/render/image.h"

#include <windows.h>

#include <string>

namespace {

constexpr char kThemeKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\ThemeManager";

bool SetThemeValue(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// Switches the system's own light theme on (true) or off for programs that
// load the library from now on.
bool SwitchLightTheme(bool on) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kThemeKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  bool ok = SetThemeValue(key, "ThemeActive", on ? "1" : "0") &&
            SetThemeValue(key, "DllName", std::string(windows) +
                                              "\\resources\\themes\\light\\light.msstyles") &&
            SetThemeValue(key, "ColorName", "Blue") &&
            SetThemeValue(key, "SizeName", "NormalSize");
  RegCloseKey(key);
  return ok;
}

// Before anything loads the library: the theme is on for this run.
const bool ThemeSwitchedOn = SwitchLightTheme(true);

TEST(VisualStylesBinding, TheLibraryAndItsElevenEntriesAreBoundByName) {
  ASSERT_GE(PlatformMajorVersion(), 5);
  LoadVisualStyles();
  ASSERT_EQ(stylesAvailable, 1);
  EXPECT_NE(LoadedThemeApi.library, nullptr);
  EXPECT_EQ(LoadedThemeApi.library, static_cast<void*>(GetModuleHandleA("uxtheme.dll")));
  const ThemeEntry entries[] = {
      LoadedThemeApi.IsThemeActive, LoadedThemeApi.IsThemeBackgroundPartiallyTransparent,
      LoadedThemeApi.OpenThemeData, LoadedThemeApi.IsAppThemed, LoadedThemeApi.CloseThemeData,
      LoadedThemeApi.DrawThemeBackground, LoadedThemeApi.DrawThemeBackgroundEx,
      LoadedThemeApi.DrawThemeParentBackground, LoadedThemeApi.DrawThemeText,
      LoadedThemeApi.GetThemeBackgroundContentRect, LoadedThemeApi.EnableThemeDialogTexture};
  for (ThemeEntry entry : entries) EXPECT_NE(entry, nullptr);
  EXPECT_EQ(LoadedThemeApi.OpenThemeData,
            reinterpret_cast<ThemeEntry>(GetProcAddress(GetModuleHandleA("uxtheme.dll"), "OpenThemeData")));
  ThemeApi* table = nullptr;
  EXPECT_EQ(VisualStylesActive(&table), CallIsThemeActive(LoadedThemeApi.IsThemeActive) ? 1 : 0);
  EXPECT_EQ(table, &LoadedThemeApi);
}

class ThemedButtonTest : public ControlHarness {};

}  // namespace

std::vector<Received>* ControlHarness::log = nullptr;

namespace {

int CountDiffering(const Image* a, const Image* b) {
  int differing = 0;
  for (int32_t y = 0; y < a->height; ++y)
    for (int32_t x = 0; x < a->width; ++x)
      differing += (*PixelAddress(a, x, y) & 0xFFFFFF) != (*PixelAddress(b, x, y) & 0xFFFFFF);
  return differing;
}

TEST_F(ThemedButtonTest, ThemedPartWhileActiveClassicLookAfterStylesGoOff) {
  ASSERT_TRUE(ThemeSwitchedOn);
  LoadVisualStyles();
  ThemeApi* table = nullptr;
  if (VisualStylesActive(&table) != 1) {
    GTEST_SKIP() << "the light theme does not become active on this system";
  }
  WindowHandle button = Child(kButtonClassName, "Themed", 7, 10, 10, 80, 25);
  ASSERT_NE(button, nullptr);
  auto* b = static_cast<ButtonData*>(GetWindowUserData(button));
  ASSERT_NE(b, nullptr);
  ASSERT_NE(b->theme, nullptr) << "a BUTTON theme opens while styles are on";
  EXPECT_EQ(b->themeApi, &LoadedThemeApi);

  // The themed face differs from the classic one, and the window shows it.
  Image* themed = NewImage(80, 25);
  PaintButton(themed, b, ControlFallbackFont());
  ButtonData classicRecord = *b;
  classicRecord.theme = nullptr;
  Image* classic = NewImage(80, 25);
  PaintButton(classic, &classicRecord, ControlFallbackFont());
  EXPECT_GT(CountDiffering(themed, classic), 80 * 25 / 10);
  InvalidateRect(button, nullptr, false);
  Pump();
  WindowPixels shown;
  ASSERT_TRUE(CaptureWindowPixels(button, &shown));
  int differing = 0;
  for (int32_t y = 0; y < 25; ++y)
    for (int32_t x = 0; x < 80; ++x)
      differing += (shown.At(x, y) & 0xFFFFFF) != (*PixelAddress(themed, x, y) & 0xFFFFFF);
  EXPECT_EQ(differing, 0);

  // Hot and pushed are other states of the part: other pixels.
  ButtonData hot = *b;
  hot.hover = 1;
  Image* hotImage = NewImage(80, 25);
  PaintButton(hotImage, &hot, ControlFallbackFont());
  EXPECT_GT(CountDiffering(themed, hotImage), 0);

  // Styles off (the library answers "not active"): WM_THEMECHANGED closes the
  // handle, and the button is drawn classic again.
  ThemeEntry active = LoadedThemeApi.IsThemeActive;
  LoadedThemeApi.IsThemeActive = nullptr;
  SendWindowMessage(button, WM_THEMECHANGED, 0, 0);
  EXPECT_EQ(b->theme, nullptr);
  Image* after = NewImage(80, 25);
  PaintButton(after, b, ControlFallbackFont());
  EXPECT_EQ(CountDiffering(after, classic), 0);
  LoadedThemeApi.IsThemeActive = active;
  SendWindowMessage(button, WM_THEMECHANGED, 0, 0);
  EXPECT_NE(b->theme, nullptr);
  for (Image* image : {themed, classic, hotImage, after}) FreeImage(&image);
}

// The registry is left as it was found for every later program.
class RestoreTheme : public testing::Environment {
 public:
  void TearDown() override { SwitchLightTheme(false); }
};
const auto* const Restorer = testing::AddGlobalTestEnvironment(new RestoreTheme);

}  // namespace
