// The About window's links on Linux: the desktop's opener is xdg-open on the
// PATH, so a stand-in there notes each target it is asked to open.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "about_window_support.h"
#include "support/wait.h"

namespace {

class AboutWindowLinkTest : public AboutWindowTest {
 protected:
  void SetUp() override {
    AboutWindowTest::SetUp();
    char pattern[] = "/tmp/ambrel_about_XXXXXX";
    dir_ = mkdtemp(pattern);
    std::ofstream(dir_ + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << dir_
                                      << "/opened'\n";
    chmod((dir_ + "/xdg-open").c_str(), 0755);
    oldPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    AboutWindowTest::TearDown();
    std::remove((dir_ + "/xdg-open").c_str());
    std::remove((dir_ + "/opened").c_str());
    rmdir(dir_.c_str());
  }
  std::string Opened() {
    std::ifstream in(dir_ + "/opened");
    std::stringstream all;
    all << in.rdbuf();
    return all.str();
  }

  std::string dir_, oldPath_;
};

// Tab goes to OK and stays there, also from a link that a click focused; a
// link opens its page and leaves the window open; Enter on OK closes it.
// A second request while it is open only brings it forward.
TEST_F(AboutWindowLinkTest, TabReachesOkOnlyALinkOpensItsPageAndOkCloses) {
  WindowHandle first = nullptr;
  Run({[] { Key(VK_TAB); },
       [] {
         EXPECT_EQ(GetFocusWindow(), Child(1));
         Key(VK_TAB);
       },
       [] {
         EXPECT_EQ(GetFocusWindow(), Child(1));
         ClickOn(Child(4));
       },
       [this, &first] {
         EXPECT_EQ(GetFocusWindow(), Child(4));
         first = About();
         EXPECT_EQ(OpenAboutWindow(owner_, icons_[0], icons_[1], icons_[2], icons_[3]), 1);
         CloseAboutWindow();
         EXPECT_EQ(About(), first);
         EXPECT_TRUE(IsWindow(first));
         Key(VK_TAB);
       },
       [this] {
         EXPECT_EQ(GetFocusWindow(), Child(1));
         // The opener runs in the background; give it time (up to 30 s) to write.
         WaitUntil([this] { return !Opened().empty(); });
         EXPECT_EQ(Opened(), "https://example.org/ambrel/comments\n");
         EXPECT_TRUE(IsWindowVisible(About()));
         Key(VK_RETURN);
       }});
  EXPECT_FALSE(IsWindow(first));
  EXPECT_TRUE(IsWindowEnabled(owner_));
}

}  // namespace
