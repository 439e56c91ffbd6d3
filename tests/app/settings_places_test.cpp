// Where settings.dat is read and written, on both systems: a portable copy
// keeps it beside the program; a program whose folder refuses writes (a
// read-only file system the run prepares, tests/readonly-folder, named by
// AMBREL_READONLY_FOLDER) reads the administrator's default beside it until
// the user saved once, then the user's own file, created with its folder.
#include <cstdlib>

#include "platform/files.h"
#include "settings_file_support.h"
#include "app/settings_controls.h"

namespace {

std::string ReadOnlyFolder(const char* sub) {
  const char* root = std::getenv("AMBREL_READONLY_FOLDER");
  return root == nullptr ? std::string() : std::string(root) + kPathSeparator + sub + kPathSeparator;
}

TEST_F(SettingsFileTest, APortableCopyKeepsItsSettingsBesideItself) {
  const std::string own = path_.substr(0, path_.size() - std::string(kSettingsFileName).size());
  const SettingsPlaces places = LocateSettings(own);
  EXPECT_EQ(places.load, path_);
  EXPECT_EQ(places.save, path_);
  EXPECT_FALSE(places.load_read_only);
  SetWindowTextOf(Controls.servingField, "portable-site");
  ASSERT_EQ(SaveSettings(), 1);
  EXPECT_EQ(ReadFile(path_), SettingsBytes("portable-site", "", "", Choices()));
  EXPECT_NE(QueryPathKind((UserSettingsFolder() + kSettingsFileName).c_str()), PathKind::kFile);
}

TEST_F(SettingsFileTest, AnInstalledProgramReadsTheDefaultAndSavesTheUsersOwn) {
  const std::string empty = ReadOnlyFolder("empty"), with_default = ReadOnlyFolder("with-default");
  if (empty.empty()) GTEST_SKIP() << "AMBREL_READONLY_FOLDER names no read-only folder";
  ASSERT_FALSE(IsFolderWritable(empty.c_str()));
  const std::string user_folder = UserSettingsFolder();
  const std::string user_file = user_folder + kSettingsFileName;
  ASSERT_FALSE(user_folder.empty());
  ASSERT_NE(QueryPathKind(user_file.c_str()), PathKind::kFile) << "the user has settings already";

  // No file of the user's yet: the administrator's default, read only.
  SettingsPlaces places = LocateSettings(with_default);
  EXPECT_EQ(places.load, with_default + kSettingsFileName);
  EXPECT_TRUE(places.load_read_only);
  EXPECT_EQ(places.save, user_file);
  FillControls();
  ASSERT_EQ(LoadSettingsFrom(places.load.c_str(), places.load_read_only), 1);
  EXPECT_EQ(Text(Controls.servingField), "default-site");
  EXPECT_EQ(Choices(), (std::vector<int32_t>{2, 4, 7, 9, 11}));
  // Without a default nothing is read, silently: the defaults apply.
  places = LocateSettings(empty);
  FillControls();
  EXPECT_EQ(LoadSettingsFrom(places.load.c_str(), places.load_read_only), 0);
  EXPECT_EQ(Text(Controls.servingField), "before-serving");
  EXPECT_TRUE(g_boxes.empty());

  // The first save makes the user's folder and file, in the same bytes.
  SetWindowTextOf(Controls.servingField, "users-site");
  ASSERT_EQ(SaveSettingsTo(places.save.c_str()), 1);
  const Bytes saved = SettingsBytes("users-site", "before-php", "before-logging", Choices());
  EXPECT_EQ(ReadFile(user_file), saved);
  // From now on the user's own file is read, for either folder.
  for (const std::string& folder : {empty, with_default}) {
    places = LocateSettings(folder);
    EXPECT_EQ(places.load, user_file);
    EXPECT_FALSE(places.load_read_only);
    FillControls();
    ASSERT_EQ(LoadSettingsFrom(places.load.c_str(), places.load_read_only), 1);
    EXPECT_EQ(Text(Controls.servingField), "users-site");
  }
  EXPECT_TRUE(g_boxes.empty());

  // A save the read-only folder refuses says so.
  EXPECT_EQ(SaveSettingsTo((empty + kSettingsFileName).c_str()), 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, kSettingsSaveFailedText);
  EXPECT_EQ(g_boxes[0].caption, "Error");
  DeleteFileNamed(user_file.c_str());
}

}  // namespace
