// settings.dat: the bytes of a known file, a round trip, the 259/260 rule,
// a file cut after (and inside) every field, identifiers that name no item,
// bytes after the last field, a file marked read-only, a folder nobody may
// write to, and a save that fails half-way, which must keep the old file.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "app_fixture.h"

namespace {

const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new MainWindowEnvironment);

using Bytes = std::vector<uint8_t>;

void PutCounted(Bytes* out, const std::string& text) {
  const uint32_t n = static_cast<uint32_t>(text.size());
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(n >> shift));
  out->insert(out->end(), text.begin(), text.end());
}

void PutInt(Bytes* out, int32_t value) {
  const uint32_t v = static_cast<uint32_t>(value);
  for (int shift = 0; shift < 32; shift += 8) out->push_back(static_cast<uint8_t>(v >> shift));
}

Bytes SettingsBytes(const std::string& serving, const std::string& php, const std::string& logging,
                    std::vector<int32_t> ids) {
  Bytes b;
  PutCounted(&b, serving);
  PutCounted(&b, php);
  PutCounted(&b, logging);
  for (int32_t id : ids) PutInt(&b, id);
  return b;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

std::vector<int32_t> Choices() {
  std::vector<int32_t> ids;
  for (WindowHandle s : {Controls.statusSelector, Controls.scopeSelector, Controls.phpSelector,
                         Controls.cgiSelector, Controls.loggingSelector}) {
    ids.push_back(GetSelectedItemId(s));
  }
  return ids;
}

// Distinct values in every control, so a test sees which ones a load changed.
void FillControls() {
  SetWindowTextOf(Controls.servingField, "before-serving");
  SetWindowTextOf(Controls.phpField, "before-php");
  SetWindowTextOf(Controls.loggingField, "before-logging");
  Choose(Controls.statusSelector, kItemNotRunning);
  Choose(Controls.scopeSelector, kItemLanServer);
  Choose(Controls.phpSelector, kItemPhpDisabled);
  Choose(Controls.cgiSelector, kItemCgiDisabled);
  Choose(Controls.loggingSelector, kItemLoggingDisabled);
}

class SettingsFileTest : public MainWindowTest {
 protected:
  std::string path_ = OwnSettingsPath();
};

TEST_F(SettingsFileTest, SavesTheKnownLayoutAndLoadsItBack) {
  SetWindowTextOf(Controls.servingField, "/srv/www");
  SetWindowTextOf(Controls.loggingField, "/var/log/ambrel");
  Choose(Controls.statusSelector, kItemRunning);
  Choose(Controls.scopeSelector, kItemInternetServer);
  Choose(Controls.cgiSelector, kItemCgiEnabled);
  ASSERT_EQ(SaveSettings(), 1);
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
  // A field holds 260 characters at most, and a save keeps 259 of them.
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

TEST_F(SettingsFileTest, AFileMarkedReadOnlyIsNeitherLoadedNorWritten) {
  const Bytes stored = SettingsBytes("/stored", "", "", {1, 3, 6, 8, 10});
  WriteFile(path_, stored);
  ASSERT_EQ(chmod(path_.c_str(), 0444), 0);
  FillControls();
  EXPECT_EQ(LoadSettings(), 0);
  EXPECT_EQ(Text(Controls.servingField), "before-serving");
  EXPECT_EQ(SaveSettings(), 0);
  EXPECT_EQ(ReadFile(path_), stored);
  EXPECT_TRUE(g_boxes.empty());
  // At start-up the defaults apply then.
  LoadStartupSettings();
  EXPECT_EQ(Choices(), (std::vector<int32_t>{2, 4, 7, 9, 11}));
  EXPECT_EQ(RunningServer, nullptr);
  chmod(path_.c_str(), 0644);
}

TEST_F(SettingsFileTest, AFolderNobodyMayWriteToIsASilentFailure) {
  char name[] = "/tmp/ambrel-settings-XXXXXX";
  const std::string folder = mkdtemp(name);
  const std::string target = folder + "/settings.dat";
  ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
  // Root writes anywhere, so the save runs as an ordinary user in a child.
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(99);
    _exit(SaveSettingsTo(target.c_str()));
  }
  int status = -1;
  for (int i = 0; i < 500 && waitpid(child, &status, WNOHANG) == 0; ++i) usleep(10000);
  if (waitpid(child, &status, WNOHANG) == 0) {
    kill(child, SIGKILL);  // it waits in a box: a message was shown
    waitpid(child, &status, 0);
    ADD_FAILURE() << "the save showed a box";
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
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
