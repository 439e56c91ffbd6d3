// What a script gets besides the table's environment and gives besides its
// output, through the real engine on port 80 (own network namespace) with
// Debian's php-cgi and shell scripts: every request header, a body that
// streams in while the output streams out, and the script error file.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <regex>
#include <vector>

#include "log/access_log.h"
#include "log/log_line.h"
#include "log/script_error_log.h"
#include "test_site.h"

using namespace test_site;

namespace {

// 8 December 2026, 10:20:30, one hour east of UTC.
bool FixedClock(LocalTime* out) {
  *out = LocalTime{CalendarTime{2026, 12, 2, 8, 10, 20, 30, 0}, true, 60};
  return true;
}

constexpr int kFloodLines = 4000;

class ScriptStreamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ambrel-streams-XXXXXX";
    root_ = mkdtemp(pattern);
    site_ = root_ + "/site/";
    logs_ = root_ + "/logs/";
    WriteFile(site_ + "headers.php",
              "<?php foreach (['HTTP_X_WP_NONCE', 'HTTP_AUTHORIZATION', 'HTTP_X_REQUESTED_WITH',\n"
              "  'HTTP_USER_AGENT', 'HTTP_PROXY'] as $k) echo $k, '=', $_SERVER[$k] ?? '(none)', \"\\n\";\n"
              "echo 'getenv=', var_export(getenv('HTTP_PROXY'), true), \"\\n\";");
    WriteFile(site_ + "warn.php", "<?php echo $never_set; echo 'warned';");
    WriteFile(site_ + "cgi-bin/cat.sh",
              "#!/bin/sh\nprintf 'Content-Type: application/octet-stream\\r\\n\\r\\n'\nexec cat\n", true);
    WriteFile(site_ + "cgi-bin/flood.sh",
              "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nflooded'\ni=0\n"
              "while [ $i -lt " + std::to_string(kFloodLines) + " ]; do\n"
              "  echo \"flood $i ........................................\" >&2; i=$((i+1))\ndone\n",
              true);
    WriteFile(site_ + "cgi-bin/lost.sh", "#!/no/such/interpreter\nexit 0\n");
    // A native program the server may not run (no execute permission at all).
    WriteFile(site_ + "cgi-bin/locked", ReadFile("/bin/true"));
    chmod((site_ + "cgi-bin/locked").c_str(), 0644);
    fs::create_directories(root_ + "/no-php");
    previous_clock_ = SetLogClock(FixedClock);
  }
  void TearDown() override {
    if (running_) StopServer();
    SetLogClock(previous_clock_);
    fs::remove_all(root_);
  }
  void Start(const std::string& php_directory = "/usr/bin/", bool log = true) {
    StartServer(log ? logs_.c_str() : nullptr, site_.c_str(), &token_, 2, 1,
                php_directory.c_str(), 1);
    running_ = true;
  }
  std::string ErrorFile() const {
    return logs_ + DailyScriptErrorFileName(CalendarTime{2026, 12, 2, 8, 0, 0, 0, 0});
  }
  // The error file once it holds `text` (at most about 20 s).
  std::string ErrorFileWith(const std::string& text) const {
    std::string content;
    for (int i = 0; i < 2000; ++i) {
      content = ReadFile(ErrorFile());
      if (content.find(text) != std::string::npos) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return content;
  }

  std::string root_, site_, logs_;
  EngineToken token_{};
  bool running_ = false;
  LogClock previous_clock_ = nullptr;
};

TEST_F(ScriptStreamsTest, PhpSeesEveryRequestHeaderButProxy) {
  Start();
  Response r = Get("/headers.php",
                   "X-WP-Nonce: 8c1f0a\r\nAuthorization: Bearer abc.def\r\nUser-Agent: probe/2\r\n"
                   "X-Requested-With: XMLHttpRequest\r\nProxy: http://evil.test:3128\r\n");
  ASSERT_EQ(r.status, 200) << r.head;
  EXPECT_EQ(r.body,
            "HTTP_X_WP_NONCE=8c1f0a\nHTTP_AUTHORIZATION=Bearer abc.def\n"
            "HTTP_X_REQUESTED_WITH=XMLHttpRequest\nHTTP_USER_AGENT=probe/2\nHTTP_PROXY=(none)\n"
            "getenv=false\n");
}

// Sends `body` on a thread of its own while the answer is read, as a real
// client does; both directions give up after 60 s.
std::string PostWhileReading(const std::string& target, const std::string& body) {
  int fd = Connect();
  if (fd < 0) return "no connection";
  timeval limit{60, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
  std::thread sender([&] {
    SendText(fd, "POST " + target + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                     "\r\n\r\n" + body);
  });
  std::string answer = ReceiveAll(fd);
  sender.join();
  close(fd);
  return answer;
}

TEST_F(ScriptStreamsTest, ACatFilterEchoesAMebibyteAsItReads) {
  // cat writes each piece back as it reads it: with the body written whole
  // before any output was read, both pipes would fill and nothing move.
  Start();
  std::string body(1 << 20, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) ^ (i >> 11));
  Response r = Split(PostWhileReading("/cgi-bin/cat.sh", body));
  EXPECT_EQ(r.status, 200) << r.head;
  EXPECT_EQ(r.body.size(), body.size());
  EXPECT_TRUE(r.body == body) << "the echo differs";
  // The server still serves after it.
  EXPECT_EQ(Get("/warn.php").body, "warned");
}

TEST_F(ScriptStreamsTest, ScriptErrorsGoToTheDaysErrorFile) {
  Start();
  // A PHP warning: stamped, under the script's full name; the page still works.
  EXPECT_EQ(Get("/warn.php").body, "warned");
  std::string content = ErrorFileWith("PHP Warning:");
  EXPECT_NE(content.find("[08/Dec/2026:10:20:30 +0100] " + site_ +
                         "warn.php: PHP Warning:  Undefined variable $never_set in " + site_ +
                         "warn.php on line 1\n"),
            std::string::npos)
      << content;
  // The file lies beside the access log, named as it is with "errors_".
  EXPECT_EQ(ErrorFile(), logs_ + "Ambrel_HTTP_errors_12_08_2026.log");

  // Scripts that cannot run: a 500, and the reason.
  EXPECT_EQ(Get("/cgi-bin/lost.sh").status, 500);
  EXPECT_NE(ErrorFileWith("lost.sh").find(
                site_ + "cgi-bin/lost.sh: its #! line names no program file: \"/no/such/interpreter\""),
            std::string::npos);
  EXPECT_EQ(Get("/cgi-bin/locked").status, 500);
  EXPECT_NE(ErrorFileWith("locked").find(site_ + "cgi-bin/locked: could not start " + site_ +
                                         "cgi-bin/locked: Permission denied\n"),
            std::string::npos);
  StopServer();
  Start(root_ + "/no-php/");
  EXPECT_EQ(Get("/warn.php").status, 500);
  EXPECT_NE(ErrorFileWith("no php-cgi").find(site_ + "warn.php: no php-cgi or php in the PHP folder " +
                                             root_ + "/no-php/\n"),
            std::string::npos);

  // Logging off: nothing more is written.
  StopServer();
  Start("/usr/bin/", false);
  const size_t before = ReadFile(ErrorFile()).size();
  EXPECT_EQ(Get("/warn.php").body, "warned");
  StopServer();  // its session has ended, and its script with it
  running_ = false;
  EXPECT_EQ(ReadFile(ErrorFile()).size(), before);
}

TEST_F(ScriptStreamsTest, AFloodIsCappedInTheFileButReachesTheTerminalWhole) {
  // The server's standard error goes to a file for this case.
  const std::string terminal = root_ + "/terminal";
  fflush(stderr);
  int saved = dup(2);
  int captured = open(terminal.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
  ASSERT_GE(captured, 0);
  dup2(captured, 2);
  close(captured);
  Start();
  Response r = Get("/cgi-bin/flood.sh");
  std::string content = ErrorFileWith("were left out");
  fflush(stderr);
  dup2(saved, 2);
  close(saved);
  EXPECT_EQ(r.body, "flooded");

  // Every line the script wrote, as the terminal got them.
  std::string flood;
  for (int i = 0; i < kFloodLines; ++i) {
    flood += "flood " + std::to_string(i) + " ........................................\n";
  }
  EXPECT_TRUE(ReadFile(terminal) == flood) << ReadFile(terminal).size() << " bytes";

  // The file: the first lines whole and in order, within 64 KiB, then one
  // line with the count of what was left out; together they are everything.
  const std::string prefix = "[08/Dec/2026:10:20:30 +0100] " + site_ + "cgi-bin/flood.sh: ";
  std::smatch last;
  ASSERT_TRUE(std::regex_search(content, last, std::regex("(\\d+) more bytes of standard error were left out")))
      << content.substr(content.size() > 300 ? content.size() - 300 : 0);
  const std::string kept = content.substr(0, last.position(0) - prefix.size());
  EXPECT_LE(static_cast<int64_t>(kept.size()), kScriptErrorLimit);
  EXPECT_GT(static_cast<int64_t>(kept.size()), kScriptErrorLimit - 200);
  std::string kept_text;
  for (size_t at = 0; at < kept.size(); at = kept.find('\n', at) + 1) {
    ASSERT_EQ(kept.compare(at, prefix.size(), prefix), 0) << kept.substr(at, 100);
    kept_text += kept.substr(at + prefix.size(), kept.find('\n', at) + 1 - at - prefix.size());
  }
  EXPECT_EQ(flood.compare(0, kept_text.size(), kept_text), 0);
  EXPECT_EQ(kept_text.size() + std::stoul(last[1]), flood.size());
  EXPECT_EQ(content.substr(content.size() - 1), "\n");
}

}  // namespace
