// The access log's cases that need POSIX means: zones set through TZ, and a
// day's file that is a FIFO, so that opening it blocks the log thread.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>

#include "log/access_log_test_support.h"
#include "log/log_line.h"
#include "platform/message_box.h"

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
// one of access_log_test.cpp.
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
  for (int i = 0; i < 5000 && g_clock_reads.load() < 2; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
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

}  // namespace
