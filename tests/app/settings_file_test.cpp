// settings.dat: the bytes of a known file beside the program, a round trip,
// the 259/260 rule, a file cut after (and inside) every field, identifiers
// that name no item, bytes after the last field and a file marked read-only.
#include <string>
#include <vector>

#include "settings_file_support.h"
#include "support/test_os.h"
#include "window/window_test_hooks.h"
#include "app/settings_controls.h"

namespace {

const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new MainWindowEnvironment);

TEST_F(SettingsFileTest, SavesTheKnownLayoutAndLoadsItBack) {
  SetWindowTextOf(Controls.servingField, "/srv/www");
  SetWindowTextOf(Controls.loggingField, "/var/log/ambrel");
  Choose(Controls.statusSelector, kItemRunning);
  Choose(Controls.scopeSelector, kItemInternetServer);
  Choose(Controls.cgiSelector, kItemCgiEnabled);
  ASSERT_EQ(SaveSettings(), 1);
  // The file lies beside the program.
  EXPECT_EQ(path_, testos::Native(testos::OwnProgramFolder() + "/settings.dat"));
  const Bytes expected = {8, 0, 0, 0, '/', 's', 'r', 'v', '/', 'w', 'w', 'w',  // serving
                          0, 0, 0, 0,                                          // PHP: empty
                          15, 0, 0, 0, '/', 'v', 'a', 'r', '/', 'l', 'o', 'g', '/', 'a', 'm', 'b',
                          'r', 'e', 'l',                                       // logging
                          1, 0, 0, 0, 5, 0, 0, 0, 7, 0, 0, 0, 8, 0, 0, 0, 11, 0, 0, 0};
  EXPECT_EQ(ReadFile(path_), expected);
  FillControls();
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Text(Controls.servingField), "/srv/www");
  EXPECT_EQ(Text(Controls.phpField), "");
  EXPECT_EQ(Text(Controls.loggingField), "/var/log/ambrel");
  EXPECT_EQ(Choices(), (std::vector<int32_t>{1, 5, 7, 8, 11}));
  EXPECT_FALSE(SettingsLoading);
  EXPECT_TRUE(g_boxes.empty());
  // Texts are kept byte for byte, UTF-8 included, and come back unchanged.
  const std::string odd = " /tmp/caf\xC3\xA9 dir ";
  SetWindowTextOf(Controls.phpField, odd.c_str());
  ASSERT_EQ(SaveSettings(), 1);
  SetWindowTextOf(Controls.phpField, "");
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Text(Controls.phpField), odd);
}

TEST_F(SettingsFileTest, ATextOf259BytesLoadsAnd260IsRefused) {
  const std::string longest(259, 'a');
  WriteFile(path_, SettingsBytes(longest, "", "", {1, 3, 6, 8, 10}));
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Text(Controls.servingField), longest);
  // A text set from outside is longer than the field takes from the keyboard;
  // a save keeps 259 characters of it.
  const std::string typed(300, 'b');
  SetWindowTextOf(Controls.servingField, typed.c_str());
  ASSERT_EQ(SaveSettings(), 1);
  EXPECT_EQ(ReadFile(path_).size(), 4u + 259 + 4 + 4 + 20);
  FillControls();
  WriteFile(path_, SettingsBytes(std::string(260, 'c'), "", "", {1, 3, 6, 8, 10}));
  EXPECT_EQ(LoadSettings(), 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, kSettingsLoadFailedText);
  EXPECT_EQ(g_boxes[0].caption, "Error");
  EXPECT_EQ(g_boxes[0].owner, MainWindow->hwnd);
  EXPECT_EQ(Text(Controls.servingField), "before-serving");
}

// Whatever can be typed into a directory field is saved whole and loads back
// the same: a text the file would cut or refuse cannot be typed.
TEST_F(SettingsFileTest, TheLongestTypedDirectoryComesBackWhole) {
  for (WindowHandle field : {Controls.servingField, Controls.phpField, Controls.loggingField}) {
    SetWindowTextOf(field, "");
    SetFocus(field);
    InjectText(std::string(300, 'd').c_str());
    ProcessPendingMessages();
    const std::string typed = Text(field);
    ASSERT_GE(typed.size(), 259u);
    ASSERT_EQ(SaveSettings(), 1);
    SetWindowTextOf(field, "");
    ASSERT_EQ(LoadSettings(), 1);
    EXPECT_EQ(Text(field), typed);
  }
  EXPECT_TRUE(g_boxes.empty());
}

TEST_F(SettingsFileTest, AFileCutShortSetsWhatCameBeforeTheCut) {
  const Bytes whole = SettingsBytes("/srv", "/usr/bin", "/logs", {1, 5, 6, 8, 10});
  // Where each field ends: three texts (4 + length) and five integers.
  const std::vector<size_t> ends = {8, 20, 29, 33, 37, 41, 45, 49};
  const std::vector<int32_t> before = {2, 4, 7, 9, 11}, after = {1, 5, 6, 8, 10};
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    FillControls();
    g_boxes.clear();
    WriteFile(path_, Bytes(whole.begin(), whole.begin() + static_cast<long>(cut)));
    const size_t complete = static_cast<size_t>(std::upper_bound(ends.begin(), ends.end(), cut) - ends.begin());
    const bool all = complete == ends.size();
    EXPECT_EQ(LoadSettings(), all ? 1 : 0) << "cut at " << cut;
    EXPECT_EQ(g_boxes.size(), all ? 0u : 1u) << "cut at " << cut;
    EXPECT_FALSE(SettingsLoading);
    EXPECT_EQ(Text(Controls.servingField), complete > 0 ? "/srv" : "before-serving") << cut;
    EXPECT_EQ(Text(Controls.phpField), complete > 1 ? "/usr/bin" : "before-php") << cut;
    EXPECT_EQ(Text(Controls.loggingField), complete > 2 ? "/logs" : "before-logging") << cut;
    const std::vector<int32_t> choices = Choices();
    for (size_t s = 0; s < 5; ++s) {
      EXPECT_EQ(choices[s], complete > 3 + s ? after[s] : before[s]) << "cut at " << cut << " selector " << s;
    }
  }
}

TEST_F(SettingsFileTest, UnknownIdentifiersAndTrailingBytesChangeNothing) {
  FillControls();
  // Scope 7 names no item; status 5 is the scope's item, not the status's.
  Bytes bytes = SettingsBytes("/a", "", "", {5, 7, 1, 12, -1});
  bytes.insert(bytes.end(), {0xFF, 0xFF, 0xFF, 0xFF, 0x01});
  WriteFile(path_, bytes);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Choices(), (std::vector<int32_t>{2, 4, 7, 9, 11}));
  EXPECT_TRUE(g_boxes.empty());
  EXPECT_EQ(Text(Controls.servingField), "/a");
}

TEST_F(SettingsFileTest, AFileMarkedReadOnlyIsNotLoadedAndASaveToItSaysSo) {
  const Bytes stored = SettingsBytes("/stored", "", "", {1, 3, 6, 8, 10});
  WriteFile(path_, stored);
  ASSERT_TRUE(testos::MarkReadOnly(path_, true));
  FillControls();
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(Text(Controls.servingField), "before-serving");
  EXPECT_TRUE(g_boxes.empty());
  // A save it refuses says so.
  EXPECT_EQ(SaveSettings(), 0);
  EXPECT_EQ(ReadFile(path_), stored);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kSettingsSaveFailedText});
  g_boxes.clear();
  // At start-up the defaults apply then.
  LoadStartupSettings();
  EXPECT_EQ(Choices(), (std::vector<int32_t>{2, 4, 7, 9, 11}));
  EXPECT_EQ(RunningServer, nullptr);
  testos::MarkReadOnly(path_, false);
}

}  // namespace
