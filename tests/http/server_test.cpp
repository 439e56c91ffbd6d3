// The engine on port 80 of its own network namespace, driven by raw byte
// sequences: exact heads, statuses, redirects, conditional requests,
// keep-alive and pipelining, clients that leave, and stops and restarts.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>

#include "http/server.h"
#include "http/test_support.h"
#include "platform/message_box.h"

namespace {

using test::RawClient;
using test::RunningServer;
using test::TempFolder;

std::string Exchange(const std::string& request) {
  RawClient client;
  EXPECT_TRUE(client.connected());
  client.Send(request);
  client.ShutdownWrite();  // a request cut short ends in the peer's close
  return client.ReadAll();
}

// 2006-12-05 10:20:30 UTC.
void SetKnownTime(const std::string& file) {
  timespec times[2] = {{1165314030, 0}, {1165314030, 0}};
  utimensat(AT_FDCWD, file.c_str(), times, 0);
}

class ServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetKnownTime(site_.Write("page.html", "<p>page</p>"));
    site_.Write("empty.txt", "");
    site_.Write("docs/index.html", "docs index");
    site_.Write("both/index.htm", "htm");
    site_.Write("both/default.htm", "default");
    site_.Write("my file.html", "blank in name");
    site_.MakeDirectory("noindex");
    server_ = std::make_unique<RunningServer>(site_.Root());
  }
  void TearDown() override { server_.reset(); }

  TempFolder site_;
  std::unique_ptr<RunningServer> server_;
};

TEST_F(ServerTest, StaticFileHeadIsExactAndInOrder) {
  RawClient client;
  client.Send("GET /page.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
  EXPECT_EQ(client.ReadResponse(),
            "HTTP/1.1 200 OK\r\nContent-Length: 11\r\nContent-Type: text/html\r\n"
            "Last-Modified: Tue, 05 Dec 2006 10:20:30 GMT\r\nConnection: keep-alive\r\n\r\n"
            "<p>page</p>");
  // Still open: a second request on the same connection.
  client.Send("GET /page.html HTTP/1.0\r\n\r\n");
  EXPECT_EQ(client.ReadAll(),
            "HTTP/1.0 200 OK\r\nContent-Length: 11\r\nContent-Type: text/html\r\n"
            "Last-Modified: Tue, 05 Dec 2006 10:20:30 GMT\r\nConnection: close\r\n\r\n"
            "<p>page</p>");
}

TEST_F(ServerTest, StatusesWithoutBody) {
  struct Case { std::string request; std::string response; } cases[] = {
      {"GET /missing.html HTTP/1.1\r\n\r\n",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"GET /docs HTTP/1.1\r\n\r\n",
       "HTTP/1.1 301 Moved\r\nLocation: /docs/\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"GET /docs?x=1 HTTP/1.1\r\n\r\n",
       "HTTP/1.1 301 Moved\r\nLocation: /docs/\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"GET /a/../page.html HTTP/1.1\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"GET /a/%2e%2e/page.html HTTP/1.1\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"GET /" + std::string(259, 'a') + " HTTP/1.1\r\n\r\n",
       "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"GET /noindex/ HTTP/1.1\r\n\r\n",
       "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"HEAD /page.html HTTP/1.1\r\n\r\n", "HTTP/1.0 501 Not implemented\r\nConnection: close\r\n\r\n"},
      {"GET /page.html HTTP/1.1\r\nBroken\n\n", "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n"},
      {"GARBAGE\r\n\r\n", "HTTP/1.0 500 Internal Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"},
      {"GET /empty.txt HTTP/1.1\r\n\r\n", ""},  // checked below: 200 with length 0
  };
  for (const auto& c : cases) {
    std::string response = Exchange(c.request);
    if (c.response.empty()) {
      EXPECT_EQ(response.substr(0, 36), "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n");
    } else {
      EXPECT_EQ(response, c.response) << c.request.substr(0, 60);
    }
  }
}

TEST_F(ServerTest, IndexNamesAndBlanksAndPost) {
  EXPECT_NE(Exchange("GET /both/ HTTP/1.1\r\n\r\n").find("\r\n\r\nhtm"), std::string::npos);
  EXPECT_NE(Exchange("GET /my file.html HTTP/1.1\r\n\r\n").find("blank in name"), std::string::npos);
  EXPECT_NE(Exchange("GET /my%20file.html HTTP/1.1\r\n\r\n").find("blank in name"), std::string::npos);
  // A POST to a plain file is answered like a GET; the body stays unread.
  std::string post = Exchange("POST /page.html HTTP/1.1\r\nContent-Length: 3\r\n\r\nabc");
  EXPECT_EQ(post.substr(0, 17), "HTTP/1.1 200 OK\r\n");
}

TEST_F(ServerTest, RedirectCannotInjectAHeader) {
  site_.MakeDirectory("a\r\nX-Evil: 1");
  std::string response = Exchange("GET /a%0D%0AX-Evil:%201 HTTP/1.1\r\n\r\n");
  EXPECT_EQ(response,
            "HTTP/1.1 301 Moved\r\nLocation: /a%0D%0AX-Evil: 1/\r\nContent-Length: 0\r\n"
            "Connection: close\r\n\r\n");
}

TEST_F(ServerTest, ConditionalRequestsNeedTheExactEcho) {
  struct Case { const char* since; const char* status_line; } cases[] = {
      {"Tue, 05 Dec 2006 10:20:30 GMT", "HTTP/1.1 304 Not modified\r\nContent-Length: 0\r\n"},
      {"Tue, 05 Dec 2006 10:20:31 GMT", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n"},
      {"Tue, 05 Dec 2006 10:20:29 GMT", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n"},
      {"tue, 05 Dec 2006 10:20:30 GMT", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n"},
      {"Tue, 05 Dec 2006 10:20:30", "HTTP/1.1 200 OK\r\nContent-Length: 11\r\n"},
  };
  for (const auto& c : cases) {
    std::string response =
        Exchange(std::string("GET /page.html HTTP/1.1\r\nIf-Modified-Since: ") + c.since + "\r\n\r\n");
    EXPECT_EQ(response.substr(0, std::strlen(c.status_line)), c.status_line) << c.since;
  }
}

TEST_F(ServerTest, FilesOfTwoGibibytesAreRefused) {
  std::string big = site_.Write("big.bin", "");
  ASSERT_EQ(truncate(big.c_str(), 0x80000000LL), 0);
  EXPECT_EQ(Exchange("GET /big.bin HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

TEST_F(ServerTest, PipelinedKeepAliveRequestsAnsweredInOrder) {
  RawClient client;
  client.Send(
      "GET /page.html HTTP/1.1\r\nConnection: Keep-Alive\r\n\r\n"
      "GET /missing HTTP/1.1\r\nConnection: keep-alive\r\n\r\n"
      "GET /docs/ HTTP/1.1\r\n\r\n");
  std::string all = client.ReadAll();
  size_t first = all.find("<p>page</p>HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: keep-alive\r\n\r\n");
  ASSERT_NE(first, std::string::npos) << all;
  EXPECT_NE(all.find("Connection: close\r\n\r\ndocs index"), std::string::npos) << all;
  EXPECT_EQ(all.substr(all.size() - 10), "docs index");
}

TEST_F(ServerTest, ClientLeavingBetweenRequestsEndsOnlyItsSession) {
  {
    RawClient leaving;
    leaving.Send("GET /page.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_NE(leaving.ReadResponse().find("<p>page</p>"), std::string::npos);
  }
  {
    RawClient half;  // a request cut off in its headers
    half.Send("GET /page.html HTTP/1.1\r\nHost: x");
  }
  EXPECT_TRUE(WaitUntil([] { return SessionCount.load() == 0; }));
  EXPECT_NE(Exchange("GET /page.html HTTP/1.1\r\n\r\n").find("<p>page</p>"), std::string::npos);
}

// A connection is handed to a session once its request arrives, or once it
// has been silent a while (a browser connects ahead of need): the silent
// one still gets its session, and its late request its answer.
TEST_F(ServerTest, ClientSilentAfterConnectingIsStillAnswered) {
  RawClient silent;
  ASSERT_TRUE(silent.connected());
  ASSERT_TRUE(WaitUntil([] { return SessionCount.load() == 1; }));
  silent.Send("GET /page.html HTTP/1.1\r\n\r\n");
  EXPECT_NE(silent.ReadAll().find("<p>page</p>"), std::string::npos);
}

TEST_F(ServerTest, StopReturnsWhileClientsHoldIdleKeepAliveConnections) {
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 3; ++i) {
    idle.push_back(std::make_unique<RawClient>());
    idle.back()->Send("GET /page.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_NE(idle.back()->ReadResponse().find("<p>page</p>"), std::string::npos);
  }
  RawClient silent;  // connected, never sends a byte
  ASSERT_TRUE(WaitUntil([] { return SessionCount.load() == 4; }));
  server_.reset();  // StopServer: must return with every session ended
  EXPECT_EQ(SessionCount.load(), 0);
  EXPECT_EQ(ListenerRunning.load(), 0);
  for (auto& client : idle) EXPECT_EQ(client->ReadAll(), "");
  // A fresh start listens on port 80 again.
  server_ = std::make_unique<RunningServer>(site_.Root());
  EXPECT_NE(Exchange("GET /page.html HTTP/1.1\r\n\r\n").find("<p>page</p>"), std::string::npos);
}

// The listening socket is made ready before the start returns: a start
// that cannot listen raises the listener's message, with the reason of a
// refused bind, and leaves nothing running; the next start serves.
TEST(ServerFailures, AStartThatCannotListenRaisesAndLeavesTheEngineStopped) {
  TempFolder site;
  EngineToken token{};
  const auto failureOf = [&token](const char* serving) -> std::string {
    try {
      StartServer(nullptr, serving, &token, 0, 0, nullptr, 0);
    } catch (const ListenFailure& failure) {
      EXPECT_EQ(ListenerRunning.load(), 0);
      EXPECT_EQ(ListenSocket.load(), kInvalidSocket);
      EXPECT_EQ(ServerSettings.serving_directory, nullptr);
      return std::string(failure.what()) + (failure.why() == BindRefusal::kAddressInUse ? " (in use)" : "");
    }
    StopServer();
    return "started";
  };
  {
    // Port 80 taken by another listener.
    int other = socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    setsockopt(other, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(80);
    ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(listen(other, 1), 0);
    EXPECT_EQ(failureOf(site.Root().c_str()), "Server Failed While Attempting to Bind (in use)");
    close(other);
  }
  EXPECT_EQ(failureOf(nullptr), "No Server Directory Defined");
  RunningServer server(site.Root());
  site.Write("x.txt", "x");
  EXPECT_NE(Exchange("GET /x.txt HTTP/1.1\r\n\r\n").find("\r\n\r\nx"), std::string::npos);
}

// Ports below 1024 are refused to an unprivileged user: the refusal says so.
TEST(ServerFailures, ABindWithoutThePrivilegeIsRefusedForWantOfPermission) {
  const pid_t child = fork();
  if (child == 0) {
    if (setgid(65534) != 0 || setuid(65534) != 0) _exit(2);
    SocketHandle s = CreateTcpSocket();
    BindRefusal why = BindRefusal::kOther;
    _exit(!BindAnyAddress(s, 80, &why) && why == BindRefusal::kNoPermission ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(ServerFailures, StopRightAfterStartWaitsForTheListener) {
  TempFolder site;
  for (int i = 0; i < 20; ++i) {
    EngineToken token{};
    StartServer(nullptr, site.Root().c_str(), &token, 0, 0, nullptr, 0);
    StopServer();
    EXPECT_EQ(ListenerRunning.load(), 0);
  }
  RunningServer server(site.Root());
  site.Write("x.txt", "x");
  EXPECT_NE(Exchange("GET /x.txt HTTP/1.1\r\n\r\n").find("\r\n\r\nx"), std::string::npos);
}

}  // namespace
