// The script error file's lines: pieces that end lines anywhere, CR LF ends,
// a line too long to hold, an unended last line, and nothing while logging
// is off. The same source runs on Linux and as a Windows program.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "log/access_log.h"
#include "log/log_line.h"
#include "log/script_error_log.h"
#include "support/test_os.h"

namespace {

bool FixedClock(LocalTime* out) {
  *out = LocalTime{CalendarTime{2007, 1, 1, 22, 14, 5, 9, 0}, true, -300};
  return true;
}

TEST(ScriptErrorLog, LinesInPiecesStampedUnderTheScriptsName) {
  const std::string folder = testos::MakeTempFolder("ambrel-errors");
  const std::string file = folder + testos::Native("/") + "Ambrel_HTTP_errors_01_22_2007.log";
  EXPECT_EQ(DailyScriptErrorFileName(CalendarTime{2007, 1, 1, 22, 0, 0, 0, 0}),
            "Ambrel_HTTP_errors_01_22_2007.log");
  LogClock previous = SetLogClock(FixedClock);
  const std::string stamp = "[22/Jan/2007:14:05:09 -0500] /site/a.php: ";

  ScriptErrorStream off;
  off.script = "/site/a.php";
  AddScriptErrorText(&off, "while off\n", 10);
  EndScriptErrorText(&off);
  EXPECT_FALSE(std::filesystem::exists(file));

  StartScriptErrorLog(folder.c_str());  // no trailing separator: one is added
  ScriptErrorStream s;
  s.script = "/site/a.php";
  const std::string pieces[] = {"first li", "ne\r\nsecond\n\nthi", "rd"};
  for (const std::string& piece : pieces) {
    AddScriptErrorText(&s, piece.data(), static_cast<int32_t>(piece.size()));
  }
  const std::string run(5000, 'x');
  AddScriptErrorText(&s, ("\n" + run).data(), static_cast<int32_t>(run.size() + 1));
  EndScriptErrorText(&s);
  LogScriptFailure("/site/b.cgi", "could not start /x: Permission denied");
  StopScriptErrorLog();
  ScriptErrorStream late;
  late.script = "/site/a.php";
  AddScriptErrorText(&late, "after the stop\n", 15);

  std::ifstream in(file, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text, stamp + "first line\n" + stamp + "second\n" + stamp + "\n" + stamp + "third\n" +
                      stamp + run.substr(0, 4096) + "\n" + stamp + run.substr(4096) + "\n" +
                      "[22/Jan/2007:14:05:09 -0500] /site/b.cgi: could not start /x: Permission denied\n");
  EXPECT_EQ(s.dropped, 0);
  SetLogClock(previous);
  in.close();
  std::filesystem::remove_all(folder);
}

}  // namespace
