// settings.dat where only Linux can set the scene: a folder nobody may write
// to (the save runs as an ordinary user in a child process and says so) and a save that
// fails half-way (a file size limit of the process), which must keep the old
// file.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "settings_file_support.h"
#include "support/wait.h"
#include "app/settings_controls.h"

namespace {

// Root may write to /usr/bin, yet an installed program run by root must not
// leave its settings among the system's programs.
TEST_F(SettingsFileTest, AnInstalledProgramRunByAnAdministratorSavesTheUsersOwn) {
  const SettingsPlaces places = LocateSettings("/usr/bin/");
  EXPECT_EQ(places.save, UserSettingsFolder() + "settings.dat");
  EXPECT_EQ(places.load_read_only, places.load == "/usr/bin/settings.dat");
}

TEST_F(SettingsFileTest, ASaveToAFolderNobodyMayWriteToSaysSo) {
  char name[] = "/tmp/ambrel-settings-XXXXXX";
  const std::string folder = mkdtemp(name);
  const std::string target = folder + "/settings.dat";
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  // Root writes anywhere, so the save runs as an ordinary user in a child,
  // which answers with its result and whether it showed the save message.
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    const int32_t saved = SaveSettingsTo(target.c_str());
    const bool said = g_boxes.size() == 1 && g_boxes[0].text == kSettingsSaveFailedText;
    _exit(saved * 10 + (said ? 1 : 0));
  }
  int status = -1;
  // Up to 30 s: a loaded machine may be slow to run even a short child.
  if (!WaitUntil([&] { return waitpid(child, &status, WNOHANG) != 0; })) {
    kill(child, SIGKILL);
    waitpid(child, &status, 0);
    ADD_FAILURE() << "the save did not end";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
  EXPECT_NE(access(target.c_str(), F_OK), 0);
  std::system(("rm -rf '" + folder + "'").c_str());
}

TEST_F(SettingsFileTest, ASaveThatFailsHalfWayKeepsTheOldSettings) {
  const Bytes stored = SettingsBytes("/old", "", "", {2, 3, 7, 9, 11});
  WriteFile(path_, stored);
  SetWindowTextOf(Controls.servingField, std::string(200, 's').c_str());
  SetWindowTextOf(Controls.loggingField, std::string(200, 'l').c_str());
  // The file system takes 100 bytes of any file of this process, no more.
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 100;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int32_t saved = SaveSettings();
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(saved, 0);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_EQ(g_boxes[0].text, kSettingsSaveFailedText);
  EXPECT_EQ(g_boxes[0].caption, "Error");
  EXPECT_EQ(ReadFile(path_), stored);
  EXPECT_NE(access((path_ + ".new").c_str(), F_OK), 0);
  ASSERT_EQ(LoadSettings(), 1);
  EXPECT_EQ(Text(Controls.servingField), "/old");
  // A failed save after a good apply leaves Apply enabled.
  SetWindowTextOf(Controls.servingField, std::string(200, 's').c_str());
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  g_boxes.clear();
  EXPECT_EQ(ApplySettings(), 1);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(g_boxes.size(), 1u);
  EXPECT_TRUE(IsWindowEnabled(Controls.applyButton));
}

}  // namespace
