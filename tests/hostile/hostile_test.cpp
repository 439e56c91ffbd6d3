// Hostile clients against the running engine (with PHP and the access log on):
// over-long lines, header floods, clients that stall or leave in the middle,
// pipelining around a POST body, a stop among many idle connections and
// thousands of connections at once. After each, the server still answers
// and nothing that was asked for correctly is lost.
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "http/server.h"
#include "http/test_support.h"

namespace {

using test::RawClient;

const char kKeepAlive[] = "Connection: Keep-Alive\r\n";

std::string Pattern(size_t size) {
  std::string text(size, '\0');
  for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>('A' + (i * 31 + i / 4093) % 26);
  return text;
}

class HostileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    small_ = Pattern(1024);
    site_.Write("1k.html", small_);
    site_.Write("big.bin", Pattern(kBigSize));
    site_.Write("echo.php",
                "<?php $b = file_get_contents('php://input'); echo strlen($b), ':', md5($b);");
    StartServer(log_.Root().c_str(), site_.Root().c_str(), &token_, 2, 1, "/usr/bin/", 0);
    for (int i = 0; i < 2000 && !RawClient().connected(); ++i) usleep(10000);
  }
  void TearDown() override {
    if (running_) StopServer();
  }

  // One GET of the 1 KiB page on a fresh connection: true when it came whole.
  bool FetchSmall() {
    RawClient client;
    client.Send("GET /1k.html HTTP/1.1\r\n\r\n");
    return client.ReadAll() == Head(1024, "close") + small_;
  }
  std::string Head(size_t length, const char* connection) const {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(length) +
           "\r\nContent-Type: text/html\r\nLast-Modified: " + LastModified() +
           "\r\nConnection: " + connection + "\r\n\r\n";
  }
  std::string LastModified() const {
    RawClient probe;
    probe.Send("GET /1k.html HTTP/1.1\r\n\r\n");
    std::string head = probe.ReadHead();
    size_t at = head.find("Last-Modified: ") + 15;
    return head.substr(at, head.find("\r\n", at) - at);
  }
  // Stops the server; the access log's lines as they reached the disk.
  std::vector<std::string> StopAndReadLog() {
    StopServer();
    running_ = false;
    std::vector<std::string> lines;
    for (const auto& entry : std::filesystem::directory_iterator(log_.Root())) {
      std::ifstream in(entry.path());
      for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    return lines;
  }

  static constexpr size_t kBigSize = 16 * 1024 * 1024;
  test::TempFolder site_, log_;
  std::string small_;
  EngineToken token_{};
  bool running_ = true;
};

TEST_F(HostileTest, OverLongLinesAndHeaderFloods) {
  struct Case {
    std::string request;
    const char* status_line;
  } cases[] = {
      // A broken request line has no protocol text yet: the answer says 1.0.
      {"GET /" + std::string(4000, 'a') + " HTTP/1.1\r\n\r\n", "HTTP/1.0 400 Bad Request"},
      {"GET /1k.html HTTP/1.1\r\nX-Long: " + std::string(100000, 'v') + "\r\n\r\n",
       "HTTP/1.1 400 Bad Request"},
      {"GET /1k.html HTTP/1.1\r\n" + std::string(100000, '\n') + "\r\n\r\n",
       "HTTP/1.1 400 Bad Request"},
      {"GET /" + std::string(2030, 'b') + " HTTP/1.1\r\n\r\n", "HTTP/1.1 400 Bad Request"},
      {"GET /1k.html HTTP/1.1\r\n" + std::string(63 * 8, 'x') + "\r\n\r\n", "HTTP/1.1 200 OK"},
  };
  for (Case& t : cases) {
    RawClient client;
    client.Send(t.request);
    std::string head = client.ReadHead();
    EXPECT_EQ(head.substr(0, head.find("\r\n")), t.status_line) << t.request.substr(0, 40);
  }
  for (int count : {63, 64, 1000}) {
    std::string request = "GET /1k.html HTTP/1.1\r\n";
    for (int i = 0; i < count; ++i) request += "X-Header-" + std::to_string(i) + ": value\r\n";
    RawClient client;
    client.Send(request + "\r\n");
    std::string head = client.ReadHead();
    EXPECT_EQ(head.substr(0, head.find("\r\n")),
              count == 63 ? "HTTP/1.1 200 OK" : "HTTP/1.1 400 Bad Request")
        << count;
  }
  EXPECT_TRUE(FetchSmall());
}

TEST_F(HostileTest, ClientStoppingMidLineHoldsOnlyItsOwnSession) {
  std::vector<std::unique_ptr<RawClient>> stalled;
  for (int i = 0; i < 20; ++i) {
    stalled.push_back(std::make_unique<RawClient>());
    stalled.back()->Send(i % 2 == 0 ? "GET /1k.ht" : "GET /1k.html HTTP/1.1\r\nHost: x");
  }
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(FetchSmall()) << i;
  // The stalled clients finish their requests and are answered in full.
  for (int i = 0; i < 20; ++i) {
    stalled[i]->Send(i % 2 == 0 ? "ml HTTP/1.1\r\n\r\n" : "\r\n\r\n");
    EXPECT_EQ(stalled[i]->ReadAll(), Head(1024, "close") + small_) << i;
  }
}

TEST_F(HostileTest, PipelinedRequestsAroundAPostBody) {
  // One send: a GET, a POST whose body looks like requests, then two GETs.
  std::string body = "GET /1k.html HTTP/1.1\r\n\r\n" + Pattern(9000) + "\r\n\r\n";
  std::string get = std::string("GET /1k.html HTTP/1.1\r\n") + kKeepAlive + "\r\n";
  RawClient client;
  client.Send(get + "POST /echo.php HTTP/1.1\r\n" + kKeepAlive +
              "Content-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body + get +
              "GET /1k.html HTTP/1.0\r\n\r\n");
  EXPECT_EQ(client.ReadResponse(), Head(1024, "keep-alive") + small_);
  std::string php = client.ReadResponse();
  std::string expected_body = std::to_string(body.size()) + ":";
  EXPECT_NE(php.find("\r\n\r\n" + expected_body), std::string::npos) << php;
  std::string md5 = test::RunCommand("printf '%s' '" + body + "' | md5sum | cut -c1-32 | tr -d '\\n'");
  EXPECT_EQ(php.substr(php.size() - 32), md5);
  EXPECT_EQ(client.ReadResponse(), Head(1024, "keep-alive") + small_);
  std::string last = Head(1024, "close") + small_;
  EXPECT_EQ(client.ReadAll(), last.replace(0, 8, "HTTP/1.0"));
}

TEST_F(HostileTest, ClientsLeavingInTheMiddleOfALargeFile) {
  std::vector<std::thread> leavers;
  for (int i = 0; i < 8; ++i) {
    leavers.emplace_back([i] {
      RawClient client;
      client.Send("GET /big.bin HTTP/1.1\r\n\r\n");
      client.ReadExactly(static_cast<size_t>(10000 + i * 300000));
    });
  }
  for (std::thread& t : leavers) t.join();
  RawClient whole;
  whole.Send("GET /big.bin HTTP/1.1\r\n\r\n");
  std::string all = whole.ReadAll();
  ASSERT_GT(all.size(), kBigSize);
  EXPECT_EQ(all.substr(all.size() - kBigSize), Pattern(kBigSize));
  EXPECT_TRUE(FetchSmall());
  // Every request reached the log; the broken-off ones with what really went out.
  int whole_lines = 0, partial_lines = 0;
  for (const std::string& line : StopAndReadLog()) {
    if (line.find("\"GET /big.bin HTTP/1.1\" 200 ") == std::string::npos) continue;
    size_t at = line.find("\" 200 ") + 6;
    uint64_t bytes = std::stoull(line.substr(at));
    (bytes > kBigSize ? whole_lines : partial_lines) += 1;
  }
  EXPECT_EQ(whole_lines, 1);
  EXPECT_EQ(partial_lines, 8);
}

TEST_F(HostileTest, StopAmongManyIdleKeepAliveClients) {
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 300; ++i) {
    idle.push_back(std::make_unique<RawClient>());
    idle.back()->Send(std::string("GET /1k.html HTTP/1.1\r\n") + kKeepAlive + "\r\n");
    ASSERT_EQ(idle.back()->ReadResponse().size(), Head(1024, "keep-alive").size() + 1024) << i;
  }
  std::vector<std::string> log = StopAndReadLog();  // returns with every session ended
  EXPECT_EQ(SessionCount.load(), 0);
  for (auto& client : idle) EXPECT_EQ(client->ReadAll(), "");
  // 300 requests and the probes for the date, all logged.
  size_t logged = 0;
  for (const std::string& line : log) logged += line.find("GET /1k.html") != std::string::npos;
  EXPECT_GE(logged, 300u);
}

TEST_F(HostileTest, ThousandsOfConnectionsAtOnce) {
  rlimit files{};
  getrlimit(RLIMIT_NOFILE, &files);
  files.rlim_cur = files.rlim_max;
  setrlimit(RLIMIT_NOFILE, &files);
  const int count = files.rlim_cur >= 8000 ? 3000 : 400;
  const std::string expected = Head(1024, "close") + small_;
  std::vector<std::unique_ptr<RawClient>> clients;
  for (int i = 0; i < count; ++i) {
    clients.push_back(std::make_unique<RawClient>());
    ASSERT_TRUE(clients.back()->connected()) << i;
  }
  for (auto& client : clients) client->Send("GET /1k.html HTTP/1.1\r\n\r\n");
  int whole = 0;
  for (auto& client : clients) whole += client->ReadAll() == expected;
  EXPECT_EQ(whole, count);
  EXPECT_TRUE(FetchSmall());
}

}  // namespace
