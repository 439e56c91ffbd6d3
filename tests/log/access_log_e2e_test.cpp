// The access log fed by the real engine on port 80 (own network namespace).
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <vector>

#include "http/server.h"
#include "log/access_log.h"
#include "cgi/test_site.h"

using namespace test_site;

namespace {

bool FixedClock(LocalTime* out) {
  *out = LocalTime{{2007, 1, 1, 22, 14, 5, 9, 0}, true, -300};
  return true;
}

class LoggedServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/ambrel-logged-XXXXXX";
    root_ = mkdtemp(pattern);
    WriteFile(root_ + "/site/index.html", "<p>home</p>");
    WriteFile(root_ + "/site/redirect.php", "<?php header('Location: /x', true, 302);");
    previous_ = SetLogClock(FixedClock);
  }
  void TearDown() override {
    SetLogClock(previous_);
    fs::remove_all(root_);
  }
  void Start(int scope) {
    StartServer((root_ + "/logs").c_str(), (root_ + "/site/").c_str(), &token_, scope, 1,
                "/usr/bin/", 1);
  }
  // Every session has logged before the stop.
  void Stop() {
    WaitForSessions();
    StopServer();
  }
  std::string LogText() { return ReadFile(root_ + "/logs/Ambrel_HTTP_01_22_2007.log"); }

  std::string root_;
  LogClock previous_ = nullptr;
  EngineToken token_{};
};

std::string Line(const std::string& request, int status, size_t bytes, const std::string& referer,
                 const std::string& agent) {
  return "127.0.0.1 - - [22/Jan/2007:14:05:09 -0500] \"" + request + "\" " +
         std::to_string(status) + " " + std::to_string(bytes) + " \"" + referer + "\" \"" +
         agent + "\"\n";
}

TEST_F(LoggedServerTest, OneLineForEachAnsweredRequestOnly) {
  Start(1);
  std::string served = Exchange("GET /index.html HTTP/1.1\r\nUser-Agent: probe/1\r\n\r\n");
  std::string missing =
      Exchange("GET /gone.html HTTP/1.0\r\nReferer: http://127.0.0.1/index.html\r\n\r\n");
  std::string scripted = Exchange("GET /redirect.php?a=\"b\" HTTP/1.1\r\nUser-Agent: \r\n\r\n");
  ASSERT_EQ(Split(scripted).status, 302);
  // Not logged: a request the reader refused, a method it does not serve, a
  // peer outside the scope.
  // (the header block breaks off: bare LF lines never end it)
  EXPECT_EQ(Split(Exchange("GET / HTTP/1.1\nHost: x\n\n", "127.0.0.1", nullptr, true)).status,
            400);
  EXPECT_EQ(Split(Exchange("HEAD / HTTP/1.1\r\n\r\n")).status, 501);
  ASSERT_EQ(std::system("ip addr add 203.0.113.5/32 dev lo"), 0);
  EXPECT_EQ(Exchange("GET /index.html HTTP/1.1\r\n\r\n", "203.0.113.5", "203.0.113.5"), "");
  Stop();
  EXPECT_EQ(LogText(),
            Line("GET /index.html HTTP/1.1", 200, served.size(), "-", "probe/1") +
                Line("GET /gone.html HTTP/1.0", 404, missing.size(),
                     "http://127.0.0.1/index.html", "") +
                Line("GET /redirect.php?a=\\\"b\\\" HTTP/1.1", 200, scripted.size(), "-", ""));
}

TEST_F(LoggedServerTest, EveryLineOfABurstExactlyOnce) {
  Start(2);
  constexpr int kClients = 32;
  constexpr int kRequests = 6;
  std::atomic<int> answered{0};
  std::vector<std::thread> clients;
  for (int c = 0; c < kClients; ++c) {
    clients.emplace_back([c, &answered] {
      for (int i = 0; i < kRequests; ++i) {
        std::string target = (i % 2 ? "/redirect.php?c=" : "/index.html?c=") + std::to_string(c) +
                             "&i=" + std::to_string(i);
        if (Split(Exchange("GET " + target + " HTTP/1.1\r\n\r\n")).status != 0) answered++;
      }
    });
  }
  for (std::thread& t : clients) t.join();
  EXPECT_EQ(answered.load(), kClients * kRequests);
  Stop();
  std::map<std::string, int> seen;
  std::istringstream lines(LogText());
  for (std::string line; std::getline(lines, line);) {
    size_t start = line.find("\"GET ") + 5;
    seen[line.substr(start, line.find(' ', start) - start)]++;
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(kClients * kRequests));
  for (int c = 0; c < kClients; ++c) {
    for (int i = 0; i < kRequests; ++i) {
      std::string target = (i % 2 ? "/redirect.php?c=" : "/index.html?c=") + std::to_string(c) +
                           "&i=" + std::to_string(i);
      EXPECT_EQ(seen[target], 1) << target;
    }
  }
}

}  // namespace
