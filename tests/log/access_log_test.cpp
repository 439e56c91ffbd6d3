// The access log: line layout, zone texts, daily file names, and the log
// thread's writes, batching, stop and concurrent loggers. The same source
// runs on Linux and as a Windows program.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "log/access_log_test_support.h"
#include "log/log_line.h"
#include "support/wait.h"

namespace {

TEST(LogLine, ZoneTexts) {
  struct Case {
    int32_t minutes;
    const char* zone;
  } cases[] = {{-300, "-0500"}, {60, "+0100"}, {0, "+0000"}, {330, "+0530"},
               {-570, "-0930"}, {345, "+0545"}, {-30, "-0030"}};
  for (const Case& c : cases) EXPECT_EQ(FormatZone(c.minutes), c.zone) << c.minutes;
}

TEST(LogLine, DailyFileNames) {
  EXPECT_EQ(DailyLogFileName(CalendarTime{2007, 1, 1, 22, 0, 0, 0, 0}), "Ambrel_HTTP_01_22_2007.log");
  EXPECT_EQ(DailyLogFileName(CalendarTime{2024, 12, 2, 5, 0, 0, 0, 0}), "Ambrel_HTTP_12_05_2024.log");
}

TEST(LogLine, LayoutAndEscapes) {
  LocalTime t{{2007, 1, 1, 22, 14, 5, 9, 0}, true, -300};
  struct Case {
    const char* name;
    LogLineFields fields;
    const char* line;
  } cases[] = {
      {"plain", {"192.168.1.5", "GET", "/index.php", "HTTP/1.1", 200, 5123, "", "Mozilla/4.0"},
       "192.168.1.5 - - [22/Jan/2007:14:05:09 -0500] \"GET /index.php HTTP/1.1\" 200 5123 \"-\" "
       "\"Mozilla/4.0\"\n"},
      {"referer and empty agent",
       {"10.0.0.1", "post", "/a b?x=1", "HTTP/1.0", 404, 98, "http://h/r", ""},
       "10.0.0.1 - - [22/Jan/2007:14:05:09 -0500] \"post /a b?x=1 HTTP/1.0\" 404 98 "
       "\"http://h/r\" \"\"\n"},
      {"forged line in the target",
       {"1.2.3.4", "GET", "/x\n5.6.7.8 - - [", "HTTP/1.1", 200, 1, "", ""},
       "1.2.3.4 - - [22/Jan/2007:14:05:09 -0500] \"GET /x\\x0A5.6.7.8 - - [ HTTP/1.1\" 200 1 "
       "\"-\" \"\"\n"},
      {"quotes and backslashes",
       {"1.2.3.4", "GET", "/\"q\\", "HTTP/1.1", 200, 1, "r\"\r", "a\" \"b\x7f"},
       "1.2.3.4 - - [22/Jan/2007:14:05:09 -0500] \"GET /\\\"q\\\\ HTTP/1.1\" 200 1 "
       "\"r\\\"\\x0D\" \"a\\\" \\\"b\\x7F\"\n"},
      {"utf-8 kept", {"1.2.3.4", "GET", "/caf\xC3\xA9", "HTTP/1.1", 200, 1, "", ""},
       "1.2.3.4 - - [22/Jan/2007:14:05:09 -0500] \"GET /caf\xC3\xA9 HTTP/1.1\" 200 1 \"-\" \"\"\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(BuildLogLine(c.fields, t), c.line) << c.name;

  LocalTime no_zone{{2007, 12, 1, 3, 0, 0, 0, 0}, false, 0};
  LogLineFields f{"1.2.3.4", "GET", "/", "HTTP/1.0", 200, 0, "", ""};
  EXPECT_EQ(BuildLogLine(f, no_zone),
            "1.2.3.4 - - [03/Dec/2007:00:00:00] \"GET / HTTP/1.0\" 200 0 \"-\" \"\"\n");
}

TEST_F(AccessLogTest, LinesOneSecondApartGoToOneFileCreatedAtTheFirstWrite) {
  StartAccessLog(dir_.c_str(), &token_);
  ASSERT_TRUE(fs::is_directory(dir_));
  std::string file = FileFor("Ambrel_HTTP_01_22_2007.log");
  EXPECT_FALSE(fs::exists(file));
  Log("/first");
  WaitForLines(file, 1);
  SetFakeTime(2007, 1, 22, 14, 5, 10, -300);
  Log("/second", "", "http://ref/");
  StopAccessLog();
  EXPECT_EQ(ReadWholeFile(file),
            "192.168.1.5 - - [22/Jan/2007:14:05:09 -0500] \"GET /first HTTP/1.1\" 200 5123 \"-\" "
            "\"curl/8\"\n"
            "192.168.1.5 - - [22/Jan/2007:14:05:10 -0500] \"GET /second HTTP/1.1\" 200 5123 "
            "\"http://ref/\" \"\"\n");
}

TEST_F(AccessLogTest, MidnightStartsTheNewDaysFile) {
  SetFakeTime(2007, 12, 31, 23, 59, 59, 330);
  StartAccessLog(dir_.c_str(), &token_);
  Log("/before");
  std::string old_day = FileFor("Ambrel_HTTP_12_31_2007.log");
  WaitForLines(old_day, 1);
  SetFakeTime(2008, 1, 1, 0, 0, 1, 330);
  Log("/after");
  StopAccessLog();
  std::string old_text = ReadWholeFile(old_day);
  std::string new_text = ReadWholeFile(FileFor("Ambrel_HTTP_01_01_2008.log"));
  EXPECT_NE(old_text.find("[31/Dec/2007:23:59:59 +0530] \"GET /before"), std::string::npos);
  EXPECT_EQ(old_text.find("/after"), std::string::npos);
  EXPECT_NE(new_text.find("[01/Jan/2008:00:00:01 +0530] \"GET /after"), std::string::npos);
  EXPECT_EQ(new_text.find("/before"), std::string::npos);
}

TEST_F(AccessLogTest, ALineThatDoesNotFitForcesAnEarlyWrite) {
  StartAccessLog(dir_.c_str(), &token_);
  std::string file = FileFor("Ambrel_HTTP_01_22_2007.log");
  Log("/first");  // the first write happens at once
  WaitForLines(file, 1);
  std::string big(3000, 'b');
  std::string bigger(2000, 'c');
  Log(("/" + big).c_str());
  // Without a forced write the 3000-byte line would wait for the next second.
  Log(("/" + bigger).c_str());
  std::string text = ReadWholeFile(file);
  EXPECT_NE(text.find(big), std::string::npos);
  StopAccessLog();
  text = ReadWholeFile(file);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
  EXPECT_LT(text.find(big), text.find(bigger));

  // A line over 4096 bytes is never written.
  StartAccessLog(dir_.c_str(), &token_);
  Log(("/" + std::string(5000, 'x')).c_str());
  StopAccessLog();
  EXPECT_EQ(ReadWholeFile(file), text);
}

TEST_F(AccessLogTest, StopWritesOutTheBufferAndLateLinesStillArrive) {
  StartAccessLog(dir_.c_str(), &token_);
  std::string file = FileFor("Ambrel_HTTP_01_22_2007.log");
  for (int i = 0; i < 20; ++i) Log(("/pending/" + std::to_string(i)).c_str());
  StopAccessLog();
  WaitForNoThreads();
  EXPECT_EQ(CountRegisteredThreads(), 0);
  Log("/late");  // after the stop: the log's state is still sound
  std::string text = ReadWholeFile(file);
  for (int i = 0; i < 20; ++i) {
    EXPECT_NE(text.find("/pending/" + std::to_string(i) + " "), std::string::npos) << i;
  }
  EXPECT_NE(text.find("/late "), std::string::npos);
  // Null method, referer or agent: nothing at all.
  LogRequest(nullptr, "1.1.1.1", "GET", "/n1", "HTTP/1.1", 200, 1, "");
  LogRequest("", "1.1.1.1", nullptr, "/n2", "HTTP/1.1", 200, 1, "");
  LogRequest("", "1.1.1.1", "GET", "/n3", "HTTP/1.1", 200, 1, nullptr);
  EXPECT_EQ(ReadWholeFile(file), text);
}

TEST_F(AccessLogTest, ManyConcurrentLoggersEachLineOnce) {
  StartAccessLog(dir_.c_str(), &token_);
  constexpr int kThreads = 16;
  constexpr int kLines = 60;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) {
        std::string target = "/t" + std::to_string(t) + "/" + std::to_string(i) + "/" +
                             std::string(static_cast<size_t>(i * 7), 'p');
        LogRequest("agent", "127.0.0.1", "GET", target.c_str(), "HTTP/1.1", 200, i, "");
      }
    });
  }
  for (std::thread& t : threads) t.join();
  StopAccessLog();
  std::ifstream in(FileFor("Ambrel_HTTP_01_22_2007.log"));
  std::multiset<std::string> seen;
  for (std::string line; std::getline(in, line);) {
    size_t start = line.find("\"GET ") + 5;
    seen.insert(line.substr(start, line.find(' ', start) - start));
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kThreads * kLines));
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kLines; ++i) {
      std::string target = "/t" + std::to_string(t) + "/" + std::to_string(i) + "/" +
                           std::string(static_cast<size_t>(i * 7), 'p');
      EXPECT_EQ(seen.count(target), 1u) << target;
    }
  }
}

TEST_F(AccessLogTest, ThirtyTwoLoggersOnceAndInOrderAcrossEarlyWritesAndAStop) {
  StartAccessLog(dir_.c_str(), &token_);
  constexpr int kThreads = 32;
  constexpr int kLines = 50;
  std::atomic<int> handed{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t, &handed] {
      for (int i = 0; i < kLines; ++i) {
        // Every fifth line is long: a few of them fill the buffer, and the
        // logger whose line does not fit waits for an early write.
        size_t padding = i % 5 == 0 ? 1200 : static_cast<size_t>(t);
        std::string target = "/t" + std::to_string(t) + "/" + std::to_string(i) + "/" +
                             std::string(padding, 'p');
        LogRequest("agent", "127.0.0.1", "GET", target.c_str(), "HTTP/1.1", 200, i, "");
        handed.fetch_add(1);
      }
    });
  }
  // The stop comes while the loggers are still busy; what they hand in
  // afterwards goes to the file directly.
  WaitUntil([&] { return handed.load() >= kThreads * kLines / 2; }, std::chrono::seconds(20));
  StopAccessLog();
  for (std::thread& t : threads) t.join();
  WaitForNoThreads();
  std::ifstream in(FileFor("Ambrel_HTTP_01_22_2007.log"));
  std::vector<std::vector<int>> order(kThreads);
  int lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    size_t start = line.find("\"GET /t");
    ASSERT_NE(start, std::string::npos) << line;
    int t = std::atoi(line.c_str() + start + 7);
    int i = std::atoi(line.c_str() + line.find('/', start + 7) + 1);
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    order[t].push_back(i);
  }
  EXPECT_EQ(lines, kThreads * kLines);
  std::vector<int> expected(kLines);
  for (int i = 0; i < kLines; ++i) expected[i] = i;
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(order[t], expected) << "thread " << t;
}

}  // namespace
