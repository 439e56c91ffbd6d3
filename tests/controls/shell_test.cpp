// OpenTarget against stub openers: a stub xdg-open on PATH proves the call
// returns while the opener still runs; the real xdg-open with a stub BROWSER
// proves a web address reaches the browser.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/shell.h"
#include "support/wait.h"

namespace {

std::string MakeTempDir() {
  char pattern[] = "/tmp/ambrel-shell-XXXXXX";
  const char* dir = mkdtemp(pattern);
  EXPECT_NE(dir, nullptr);
  return dir != nullptr ? dir : "/tmp";
}

void WriteScript(const std::string& path, const std::string& body) {
  std::ofstream(path) << "#!/bin/sh\n" << body;
  chmod(path.c_str(), 0755);
}

bool WaitForFile(const std::string& path) {
  return WaitUntil([&] { return access(path.c_str(), F_OK) == 0; });
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ShellTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = MakeTempDir();
    const char* path = std::getenv("PATH");
    oldPath_ = path != nullptr ? path : "";
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    unsetenv("BROWSER");
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string dir_;
  std::string oldPath_;
};

TEST_F(ShellTest, RefusesAnEmptyTarget) {
  EXPECT_FALSE(OpenTarget(nullptr));
  EXPECT_FALSE(OpenTarget(""));
}

TEST_F(ShellTest, ReturnsWhileTheOpenerStillRunsAndPassesTheTargetVerbatim) {
  // The stub records its arguments, then waits for a release file the test
  // writes only after OpenTarget has returned: a blocking call would hang here.
  WriteScript(dir_ + "/xdg-open",
              "printf '%s|' \"$@\" > '" + dir_ + "/args.tmp'\n"
              "mv '" + dir_ + "/args.tmp' '" + dir_ + "/args'\n"
              "while [ ! -e '" + dir_ + "/release' ]; do sleep 0.05; done\n"
              "touch '" + dir_ + "/done'\n");
  setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
  const std::string target = "http://localhost/a b;$(touch " + dir_ + "/injected)";
  ASSERT_TRUE(OpenTarget(target.c_str()));
  std::ofstream(dir_ + "/release") << "go";
  ASSERT_TRUE(WaitForFile(dir_ + "/done"));
  EXPECT_EQ(ReadAll(dir_ + "/args"), target + "|");
  EXPECT_NE(access((dir_ + "/injected").c_str(), F_OK), 0);
}

TEST_F(ShellTest, ReportsFailureWhenNoOpenerIsInstalled) {
  setenv("PATH", dir_.c_str(), 1);
  EXPECT_FALSE(OpenTarget("http://localhost/"));
}

TEST_F(ShellTest, TheDesktopOpenerHandsAWebAddressToTheBrowser) {
  if (access("/usr/bin/xdg-open", X_OK) != 0) GTEST_SKIP() << "xdg-utils not installed";
  WriteScript(dir_ + "/browser", "printf '%s' \"$1\" > '" + dir_ + "/url.tmp'\n"
                                 "mv '" + dir_ + "/url.tmp' '" + dir_ + "/url'\n");
  setenv("BROWSER", (dir_ + "/browser").c_str(), 1);
  ASSERT_TRUE(OpenTarget("http://127.0.0.1/report-bug"));
  ASSERT_TRUE(WaitForFile(dir_ + "/url"));
  EXPECT_EQ(ReadAll(dir_ + "/url"), "http://127.0.0.1/report-bug");
}

}  // namespace
