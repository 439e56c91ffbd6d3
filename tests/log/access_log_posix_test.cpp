// The access log's cases that need POSIX means: zones set through TZ, and a
// day's file that is a FIFO, so that opening it blocks the log thread.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>
#include <thread>
#include <string>
#include <atomic>
#include <ctime>

#include "log/access_log_test_support.h"
#include "log/log_line.h"
#include "platform/message_box.h"
#include "support/wait.h"

namespace {

TEST(LogLine, ZoneComesFromTheOffsetInForce) {
  // POSIX zone rules need no zone database: a fixed offset per name.
  struct Case {
    const char* tz;
    const char* zone;
  } cases[] = {{"EST5", "-0500"}, {"CET-1", "+0100"}, {"UTC0", "+0000"}, {"IST-5:30", "+0530"}};
  std::string old_tz = getenv("TZ") ? getenv("TZ") : "";
  for (const Case& c : cases) {
    setenv("TZ", c.tz, 1);
    tzset();
    LocalTime now;
    ASSERT_TRUE(GetLocalTimeNow(&now));
    ASSERT_TRUE(now.has_offset);
    EXPECT_EQ(FormatZone(now.utc_offset_minutes), c.zone) << c.tz;
  }
  if (old_tz.empty()) unsetenv("TZ"); else setenv("TZ", old_tz.c_str(), 1);
  tzset();
}

std::atomic<int> g_boxes{0};
std::string g_box_text;
void CaptureBox(const char* text, const char* caption, MessageBoxIcon icon) {
  g_box_text = std::string(caption) + "|" + text;
  EXPECT_EQ(icon, MessageBoxIcon::kInformation);
  g_boxes.fetch_add(1);
}

// Its own suite name: the fixture of this file is another class than the
// one of access_log_test.cpp. (Every test of this file uses it.)
class BlockedAccessLogTest : public AccessLogTest {};

TEST_F(BlockedAccessLogTest, AStopWhileAWriteIsBlockedTellsTheUser) {
  // The day's file is a FIFO: opening it for writing blocks until a reader comes.
  fs::create_directories(dir_);
  std::string file = FileFor("Ambrel_HTTP_01_22_2007.log");
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  StartAccessLog(dir_.c_str(), &token_);
  g_clock_reads.store(0);
  std::thread logger([this] { Log("/blocked"); });
  // The line's stamp is the first reading, the thread's check of the file
  // name right before it opens the file the second.
  WaitUntil([] { return g_clock_reads.load() >= 2; });
  ASSERT_GE(g_clock_reads.load(), 2);
  MessageBoxPresenter old = SetMessageBoxPresenter(CaptureBox);
  StopAccessLog();
  SetMessageBoxPresenter(old);
  EXPECT_EQ(g_boxes.load(), 1);
  EXPECT_EQ(g_box_text,
            "Logging Error|A file operation has locked the logging thread.  To be sure the system "
            "remains stable, you should restart the server.");
  // Release the writer: the thread finishes its write, sees the stop and ends.
  int fd = open(file.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  std::string received;
  char chunk[4096];
  for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;) received.append(chunk, n);
  close(fd);
  logger.join();
  WaitForNoThreads();
  EXPECT_EQ(CountRegisteredThreads(), 0);
  EXPECT_NE(received.find("\"GET /blocked HTTP/1.1\""), std::string::npos);
}

// While the log thread is held in a write (the day's file is a FIFO nobody
// reads yet), loggers fill every buffer the log keeps and then wait in line
// instead of dropping or overtaking lines. Once the file is read, every
// line arrives exactly once, each logger's lines in the order it handed
// them in, the last ones written out by the stop.
TEST_F(BlockedAccessLogTest, LoggersWaitWhileEveryBufferIsFullAndLoseNothing) {
  fs::create_directories(dir_);
  std::string file = FileFor("Ambrel_HTTP_01_22_2007.log");
  ASSERT_EQ(mkfifo(file.c_str(), 0600), 0);
  StartAccessLog(dir_.c_str(), &token_);
  constexpr int kThreads = 8;
  constexpr int kLines = 150;
  std::atomic<int> handed{0};
  std::vector<std::thread> loggers;
  for (int t = 0; t < kThreads; ++t) {
    loggers.emplace_back([t, &handed] {
      for (int i = 0; i < kLines; ++i) {
        std::string target = "/t" + std::to_string(t) + "/" + std::to_string(i) + "/" +
                             std::string(static_cast<size_t>(150 + (i * 37 + t * 11) % 200), 'p');
        LogRequest("agent", "127.0.0.1", "GET", target.c_str(), "HTTP/1.1", 200, i, "");
        handed.fetch_add(1);
      }
    });
  }
  // Let the loggers run into the full buffers (how far they get does not
  // matter: they cannot all be through while nothing is written).
  int settled = -1;
  WaitUntil([&] {
    const int now = handed.load();
    const bool still = now == settled;
    settled = now;
    return still;
  }, std::chrono::seconds(10));
  EXPECT_LT(handed.load(), kThreads * kLines);
  // The reader holds the FIFO open for reading and writing, so each pass
  // of the log thread (open, write, close) finds it there and no read ever
  // sees an end; it reads until told to stop and then takes what is left.
  int fifo = open(file.c_str(), O_RDWR | O_NONBLOCK);
  ASSERT_GE(fifo, 0);
  std::atomic<bool> reading{true};
  std::string received;
  std::thread reader([&] {
    char chunk[8192];
    for (;;) {
      bool last = !reading.load();
      ssize_t n;
      while ((n = read(fifo, chunk, sizeof chunk)) > 0) received.append(chunk, static_cast<size_t>(n));
      if (last) return;
      pollfd wait{fifo, POLLIN, 0};
      poll(&wait, 1, 10);
    }
  });
  for (std::thread& t : loggers) t.join();
  StopAccessLog();
  WaitForNoThreads();
  EXPECT_EQ(CountRegisteredThreads(), 0);
  reading.store(false);
  reader.join();
  close(fifo);

  std::vector<std::vector<int>> order(kThreads);
  int lines = 0;
  size_t at = 0;
  for (size_t end; (end = received.find('\n', at)) != std::string::npos; at = end + 1, ++lines) {
    std::string line = received.substr(at, end - at);
    size_t start = line.find("\"GET /t");
    ASSERT_NE(start, std::string::npos) << line;
    int t = std::atoi(line.c_str() + start + 7);
    int i = std::atoi(line.c_str() + line.find('/', start + 7) + 1);
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    order[t].push_back(i);
  }
  EXPECT_EQ(at, received.size());  // no piece of a line left over
  EXPECT_EQ(lines, kThreads * kLines);
  std::vector<int> expected(kLines);
  for (int i = 0; i < kLines; ++i) expected[i] = i;
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(order[t], expected) << "thread " << t;
}

// Full buffers written one after another share one open of the day's file;
// the date is still checked at every write, so the lines after midnight go
// to the new day's file, each line in exactly one of the two and in order.
// A file removed meanwhile is made anew by the write after a quiet second.
TEST_F(BlockedAccessLogTest, AKeptFileFollowsTheDayAndARemovedFileIsMadeAgain) {
  StartAccessLog(dir_.c_str(), &token_);
  const std::string old_day = FileFor("Ambrel_HTTP_01_22_2007.log");
  const std::string new_day = FileFor("Ambrel_HTTP_01_23_2007.log");
  auto target = [](int i) { return "/n" + std::to_string(i) + "/" + std::string(180, 'k'); };
  for (int i = 0; i < 120; ++i) {
    if (i == 60) SetFakeTime(2007, 1, 23, 0, 0, 1, -300);
    Log(target(i).c_str());
  }
  StopAccessLog();
  WaitForNoThreads();
  const std::string before = ReadWholeFile(old_day);
  const std::string after = ReadWholeFile(new_day);
  EXPECT_NE(before.find(target(0) + " "), std::string::npos);
  EXPECT_NE(after.find(target(119) + " "), std::string::npos);
  std::string expected;
  for (int i = 0; i < 120; ++i) {
    expected += "192.168.1.5 - - [" + std::string(i < 60 ? "22/Jan/2007:14:05:09" : "23/Jan/2007:00:00:01") +
                " -0500] \"GET " + target(i) + " HTTP/1.1\" 200 5123 \"-\" \"curl/8\"\n";
  }
  EXPECT_EQ(before + after, expected);

  StartAccessLog(dir_.c_str(), &token_);
  Log("/again-1");
  // (A buffer filled before midnight but written after it went to the new
  // day's file: the date is that of the write.)
  WaitForLines(new_day, static_cast<size_t>(std::count(after.begin(), after.end(), '\n')) + 1);
  ASSERT_NE(ReadWholeFile(new_day).find("/again-1 "), std::string::npos);
  ASSERT_EQ(unlink(new_day.c_str()), 0);
  Log("/again-2");
  WaitForLines(new_day, 1);
  StopAccessLog();
  EXPECT_EQ(ReadWholeFile(new_day),
            "192.168.1.5 - - [23/Jan/2007:00:00:01 -0500] \"GET /again-2 HTTP/1.1\" 200 5123 \"-\" "
            "\"curl/8\"\n");
}

}  // namespace
