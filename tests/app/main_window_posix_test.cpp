// Browse on Linux: the folder chooser is a desktop program (zenity) found
// on the PATH, so stand-ins on the PATH play a chooser that is cancelled,
// one that answers, and none at all. They note their arguments: the chooser
// opens on the folder the field names, when there is one.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "app_fixture.h"
#include "main_window_support.h"

namespace {

TEST_F(MainWindowTest, BrowseKeepsTheFieldWhenCancelledAndNamesThePackageWithoutAChooser) {
  const MainControls& c = Controls;
  Scratch scratch;
  const std::string old_path = std::getenv("PATH");
  const std::string args = scratch.root + "/args";
  const std::string note = "#!/bin/sh\necho \"$@\" > '" + args + "'\n";
  const auto noted = [&args] {
    std::ifstream in(args);
    std::string line;
    std::getline(in, line);
    return line;
  };
  // A chooser that is cancelled: exit status 1, nothing printed.
  std::ofstream(scratch.root + "/zenity") << note << "exit 1\n";
  chmod((scratch.root + "/zenity").c_str(), 0755);
  SetWindowTextOf(c.loggingField, "/keep");
  ShowMainWindow(0);
  setenv("PATH", scratch.root.c_str(), 1);
  SendWindowMessage(MainWindow->hwnd, WM_COMMAND, BN_CLICKED, reinterpret_cast<LParam>(c.loggingBrowse));
  EXPECT_EQ(Text(c.loggingField), "/keep");
  EXPECT_FALSE(IsWindowEnabled(c.applyButton));
  EXPECT_TRUE(IsWindowEnabled(MainWindow->hwnd));
  EXPECT_TRUE(g_boxes.empty());
  // "/keep" does not exist: the chooser picks its own start.
  EXPECT_EQ(noted(), "--file-selection --directory --title=Set Log Destination Path");
  // One that answers: the folder goes into the field as an edit.
  std::ofstream(scratch.root + "/zenity") << note << "echo /var/tmp\n";
  SendWindowMessage(MainWindow->hwnd, WM_COMMAND, BN_CLICKED, reinterpret_cast<LParam>(c.loggingBrowse));
  EXPECT_EQ(Text(c.loggingField), "/var/tmp");
  EXPECT_TRUE(IsWindowEnabled(c.applyButton));
  // The next Browse opens there, as a folder (the trailing separator).
  SendWindowMessage(MainWindow->hwnd, WM_COMMAND, BN_CLICKED, reinterpret_cast<LParam>(c.loggingBrowse));
  EXPECT_EQ(noted(), "--file-selection --directory --title=Set Log Destination Path --filename=/var/tmp/");
  // None at all: a box says what to install.
  std::remove((scratch.root + "/zenity").c_str());
  SendWindowMessage(MainWindow->hwnd, WM_COMMAND, BN_CLICKED, reinterpret_cast<LParam>(c.servingBrowse));
  setenv("PATH", old_path.c_str(), 1);
  ASSERT_EQ(g_boxes.size(), 1u);
  EXPECT_NE(g_boxes[0].text.find("\"zenity\""), std::string::npos) << g_boxes[0].text;
  EXPECT_EQ(Text(c.servingField), "");
}

}  // namespace
