// The link on the headless window system: its messages, pointer and keys,
// and opening its target through a stub opener on PATH.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "control_harness.h"
#include "support/wait.h"

namespace {

class LinkTest : public ControlHarness {
 protected:
  void SetUp() override {
    ControlHarness::SetUp();
    char pattern[] = "/tmp/ambrel-link-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    // the stub opener appends its argument and a newline to a log
    std::ofstream(dir_ + "/xdg-open") << "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" << dir_
                                      << "/opened'\n";
    chmod((dir_ + "/xdg-open").c_str(), 0755);
    oldPath_ = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
    setenv("PATH", (dir_ + ":" + oldPath_).c_str(), 1);
    link_ = Child(kLinkClassName, "Report Bug", 5, 20, 20, 100, 20);
    ASSERT_NE(link_, nullptr);
  }
  void TearDown() override {
    setenv("PATH", oldPath_.c_str(), 1);
    std::system(("rm -rf '" + dir_ + "'").c_str());
    ControlHarness::TearDown();
  }
  LinkData* Data() const { return static_cast<LinkData*>(GetWindowUserData(link_)); }
  // Lines the stub wrote; waits (up to 30 s) for `expected` lines.
  int OpenedCount(int expected) {
    WaitUntil([&] { return Opened().size() >= static_cast<size_t>(expected); });
    return static_cast<int>(Opened().size());
  }
  std::vector<std::string> Opened() {
    std::ifstream in(dir_ + "/opened");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  void SetTarget(const char* target) {
    SendWindowMessage(link_, LKM_SETLINK, 0, reinterpret_cast<LParam>(target));
  }
  std::string dir_;
  std::string oldPath_;
  WindowHandle link_ = nullptr;
};

TEST_F(LinkTest, MessagesKeepWhatTheyAreNotGiven) {
  LinkData* l = Data();
  EXPECT_EQ(l->normalColour, MakeColor(0, 0, 255));
  EXPECT_EQ(l->hoverColour, MakeColor(187, 0, 255));
  SetTarget("http://127.0.0.1/bug");
  EXPECT_STREQ(l->text, "Report Bug");
  EXPECT_STREQ(l->target, "http://127.0.0.1/bug");
  SendWindowMessage(link_, LKM_SETLINK, reinterpret_cast<WParam>("Send Comments"), 0);
  EXPECT_STREQ(l->text, "Send Comments");
  EXPECT_STREQ(l->target, "http://127.0.0.1/bug");
  SendWindowMessage(link_, LKM_SETCOLORS, MakeColor(1, 2, 3), MakeColor(4, 5, 6));
  EXPECT_EQ(l->normalColour, MakeColor(1, 2, 3));
  EXPECT_EQ(l->hoverColour, MakeColor(4, 5, 6));
  SendWindowMessage(link_, LKM_SETBACKGROUND, 1, MakeColor(9, 9, 9));
  EXPECT_EQ(l->ownBackground, 1);
  EXPECT_EQ(l->backColour, MakeColor(9, 9, 9));
  EXPECT_EQ(SendWindowMessage(link_, TKM_ISTABSTOP, 0, 0), 0);
  EXPECT_EQ(SendWindowMessage(link_, WM_GETDLGCODE, 0, 0), DLGC_WANTALLKEYS);
}

TEST_F(LinkTest, ReleaseInsideOpensTheTargetOnceAndOutsideOpensNothing) {
  SetTarget("http://127.0.0.1/donate");
  MoveTo(link_, 10, 5);
  EXPECT_EQ(Data()->hover, 1);
  EXPECT_EQ(GetCursorShape(), CursorShape::kHand);
  Press(true);
  EXPECT_EQ(GetFocusWindow(), link_);
  MoveTo(link_, 300, 5);
  Press(false);
  MoveTo(link_, 10, 5);
  Press(true);
  Press(false);
  EXPECT_EQ(Data()->hover, 0);    // activation drops the looks,
  EXPECT_EQ(Data()->focused, 0);
  EXPECT_EQ(GetFocusWindow(), link_);  // not the focus
  EXPECT_EQ(OpenedCount(1), 1);
  std::ifstream in(dir_ + "/opened");
  std::string line;
  std::getline(in, line);
  EXPECT_EQ(line, "http://127.0.0.1/donate");
}

TEST_F(LinkTest, KeysOpenAndTabDoesNothing) {
  SetTarget("http://127.0.0.1/comments");
  SetFocus(link_);
  Key(VK_TAB);
  EXPECT_TRUE(Taken(TKM_TABNEXT).empty());
  Key(VK_RETURN);
  Key(VK_SPACE);
  EXPECT_EQ(OpenedCount(2), 2);
}

TEST_F(LinkTest, NoTargetOpensNothingAndASamePositionMoveChangesNothing) {
  ClickAt(link_, 10, 5);
  Key(VK_RETURN);
  // A press with a target marks the end: had the presses before it opened
  // anything, that would have been started first and be logged first.
  SetTarget("http://127.0.0.1/marker");
  SetFocus(link_);
  Key(VK_RETURN);
  ASSERT_EQ(OpenedCount(1), 1);
  EXPECT_EQ(Opened()[0], "http://127.0.0.1/marker");
  MoveTo(link_, 12, 6);
  SetCursorShape(CursorShape::kArrow);
  Data()->hover = 0;
  SendWindowMessage(link_, WM_MOUSEMOVE, 0, MakeLParam(12, 6));
  EXPECT_EQ(GetCursorShape(), CursorShape::kArrow);
  EXPECT_EQ(Data()->hover, 0);
}

}  // namespace
