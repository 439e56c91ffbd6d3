// The engine as a Windows program on port 80, driven by raw Winsock clients:
// exact heads, a conditional request, keep-alive, a large file, names that
// would reach another file, a CGI program (a native .exe under \cgi-bin\)
// with a query and a POST, the access log's daily file, and stops that must
// end idle keep-alive sessions whether or not the engine holds the process's
// last start of the socket library.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>
#include <string>

#include "scope/server_scope.h"
#include "http/server.h"
#include "platform/clock.h"
#include "platform/message_box.h"
#include "windows/win_client.h"

namespace {

using wintest::Exchange;
using wintest::Folder;
using wintest::RawClient;

// 2006-12-05 10:20:30 UTC.
void SetKnownTime(const std::string& file) {
  HANDLE h = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  ULONGLONG ticks = 128097876300000000ULL;
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  SetFileTime(h, nullptr, nullptr, &time);
  CloseHandle(h);
}

class WindowsServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetKnownTime(site_.Write("page.html", "<p>page</p>"));
    site_.Write("docs/index.html", "docs index");
    site_.Write("script.php", "<?php echo 'secret';");
    site_.Write("cgi-bin/not-a-program.exe", "plain text");
    std::filesystem::copy_file(std::string(AMBREL_BINARY_DIR) + "/ambrel_cgi_standin.exe",
                               site_.Root() + "cgi-bin\\standin.exe");
    Start();
  }
  void TearDown() override {
    if (running_) StopServer();
  }
  void Start(const char* log = nullptr) {
    // PHP on, with a PHP folder that holds no interpreter.
    StartServer(log, site_.Root().c_str(), &token_, 0, 1, php_.Root().c_str(), 1);
    running_ = true;
    ASSERT_TRUE(WaitUntil([] { return RawClient().connected(); }));
  }
  void Stop() {
    StopServer();
    running_ = false;
  }

  Folder site_, php_;
  EngineToken token_{};
  bool running_ = false;
};

TEST_F(WindowsServerTest, StaticHeadKeepAliveAndConditionalRequest) {
  RawClient client;
  client.Send("GET /page.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
  EXPECT_EQ(client.ReadResponse(),
            "HTTP/1.1 200 OK\r\nContent-Length: 11\r\nContent-Type: text/html\r\n"
            "Last-Modified: Tue, 05 Dec 2006 10:20:30 GMT\r\nConnection: keep-alive\r\n\r\n"
            "<p>page</p>");
  client.Send("GET /page.html HTTP/1.1\r\nIf-Modified-Since: Tue, 05 Dec 2006 10:20:30 GMT\r\n\r\n");
  EXPECT_EQ(client.ReadAll(), "HTTP/1.1 304 Not modified\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_EQ(Exchange("GET /docs HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 301 Moved\r\nLocation: /docs/\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  EXPECT_NE(Exchange("GET /docs/ HTTP/1.1\r\n\r\n").find("\r\n\r\ndocs index"), std::string::npos);
}

TEST_F(WindowsServerTest, LargeFileArrivesByteExact) {
  std::string big(10 * 1024 * 1024 + 7, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 131) ^ (i >> 9));
  site_.Write("big.bin", big);
  RawClient client;
  client.Send("GET /big.bin HTTP/1.0\r\n\r\n");
  std::string head = client.ReadHead();
  EXPECT_NE(head.find("Content-Length: 10485767\r\n"), std::string::npos) << head;
  EXPECT_TRUE(client.ReadAll() == big);
}

TEST_F(WindowsServerTest, NamesThatHideAScriptOrADeviceAreNotServed) {
  const char* kNotFound = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
  for (const char* target : {"/script.php.", "/script.php%20", "/script.php::$DATA", "/con",
                             "/nul.html", "/docs./index.html", "/C:%5cwindows%5cwin.ini"}) {
    EXPECT_EQ(Exchange(std::string("GET ") + target + " HTTP/1.1\r\n\r\n"), kNotFound) << target;
  }
  EXPECT_EQ(Exchange("GET /docs%5c..%5cpage.html HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  // With no interpreter in the PHP folder the page is a 500, never its text.
  EXPECT_EQ(Exchange("GET /script.php HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 500 Internal Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

TEST_F(WindowsServerTest, CgiProgramGetsItsEnvironmentFolderAndBody) {
  SetEnvironmentVariableA("Path", "C:\\windows\\system32;C:\\windows");
  std::string got = Exchange(
      "GET /cgi-bin/standin.exe?a=1&b=%41 HTTP/1.1\r\nUser-Agent: probe/1\r\n\r\n");
  EXPECT_EQ(got.substr(0, 17), "HTTP/1.1 200 OK\r\n") << got;
  for (const std::string& line : std::vector<std::string>{
           "env QUERY_STRING=a=1&b=%41\n", "env REQUEST_URI=/cgi-bin/standin.exe?a=1&b=%41\n",
        "env PATH_INFO=\n", "env SCRIPT_NAME=/cgi-bin/standin.exe\n", "env REDIRECT_URL=/cgi-bin/standin.exe\n",
        "env SCRIPT_FILENAME=" + site_.Root() + "cgi-bin\\standin.exe\n",
        "env DOCUMENT_ROOT=" + site_.Root() + "\n", "env HTTP_USER_AGENT=probe/1\n",
        "env Path=C:\\windows\\system32;C:\\windows\n", "env SERVER_PORT=80\n",
        "env REQUEST_METHOD=GET\n", "cwd " + site_.Root() + "cgi-bin\n", "body \n"}) {
    EXPECT_NE(got.find(line), std::string::npos) << line << "\n" << got;
  }
  EXPECT_NE(got.find("X-Standin: 1\r\n"), std::string::npos);

  std::string body(10000, 'q');
  RawClient client;
  client.Send("POST /cgi-bin/standin.exe HTTP/1.1\r\nConnection: Keep-Alive\r\nContent-Type: "
              "text/plain\r\nContent-Length: 10000\r\n\r\n" + body);
  std::string posted = client.ReadResponse();
  EXPECT_NE(posted.find("env CONTENT_LENGTH=10000\n"), std::string::npos) << posted.substr(0, 300);
  EXPECT_NE(posted.find("env CONTENT_TYPE=text/plain\n"), std::string::npos);
  EXPECT_NE(posted.find("body " + body + "\n"), std::string::npos);
  // The output's length was known: the connection stays open.
  client.Send("GET /page.html HTTP/1.1\r\n\r\n");
  EXPECT_NE(client.ReadAll().find("<p>page</p>"), std::string::npos);

  // A ".cgi" file whose "#!" line names the stand-in as its interpreter: the
  // interpreter runs in the script's folder with the script's full name as
  // its one argument and the body alone on its input.
  std::string standin = site_.Root() + "cgi-bin\\standin.exe";
  site_.Write("tools/run.cgi", "#!" + standin + "\r\nscript text\r\n");
  site_.Write("tools/broken.cgi", "#!" + site_.Root() + "missing.exe\r\n");
  std::string interpreted = Exchange("POST /tools/run.cgi HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello");
  EXPECT_EQ(interpreted.substr(0, 17), "HTTP/1.1 200 OK\r\n") << interpreted;
  EXPECT_NE(interpreted.find("cmd " + standin), std::string::npos) << interpreted;
  EXPECT_NE(interpreted.find("env CONTENT_LENGTH=5\n"), std::string::npos) << interpreted;
  EXPECT_NE(interpreted.find("\narg " + site_.Root() + "tools\\run.cgi\n"), std::string::npos) << interpreted;
  EXPECT_NE(interpreted.find("\nbody hello\n"), std::string::npos) << interpreted;
  EXPECT_NE(interpreted.find("cwd " + site_.Root() + "tools\n"), std::string::npos) << interpreted;
  EXPECT_EQ(Exchange("GET /tools/broken.cgi HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 500 Internal Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");

  // Under \cgi-bin\ but not a program ("MZ" missing): 500.
  EXPECT_EQ(Exchange("GET /cgi-bin/not-a-program.exe HTTP/1.1\r\n\r\n"),
            "HTTP/1.1 500 Internal Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
}

TEST_F(WindowsServerTest, AccessLogWritesTheDaysFile) {
  Stop();
  Folder logs;
  std::string log_dir = logs.Root() + "new\\logs";  // created, with its trailing backslash added
  Start(log_dir.c_str());
  Exchange("GET /page.html HTTP/1.1\r\nUser-Agent: probe/2\r\nReferer: http://x/\r\n\r\n");
  LocalTime now{};
  ASSERT_TRUE(GetLocalTimeNow(&now));
  char name[64];
  std::snprintf(name, sizeof name, "\\Ambrel_HTTP_%02u_%02u_%04u.log", now.time.month, now.time.day,
                now.time.year);
  std::string file = log_dir + name;
  std::string text;
  ASSERT_TRUE(WaitUntil([&] {
    std::ifstream in(file, std::ios::binary);
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !text.empty();
  })) << file;
  EXPECT_EQ(text.substr(0, 15), "127.0.0.1 - - [");
  EXPECT_NE(text.find("] \"GET /page.html HTTP/1.1\" 200 "), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 22), "\"http://x/\" \"probe/2\"\n");
}

TEST_F(WindowsServerTest, StopEndsIdleKeepAliveSessionsWhileClientsHoldTheirOwnStart) {
  std::vector<std::unique_ptr<RawClient>> idle;
  for (int i = 0; i < 3; ++i) {
    idle.push_back(std::make_unique<RawClient>());
    idle.back()->Send("GET /page.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
    EXPECT_NE(idle.back()->ReadResponse().find("<p>page</p>"), std::string::npos);
  }
  RawClient silent;
  ASSERT_TRUE(WaitUntil([] { return SessionCount.load() == 4; }));
  Stop();
  EXPECT_EQ(SessionCount.load(), 0);
  EXPECT_EQ(ListenerRunning.load(), 0);
  for (auto& client : idle) {
    bool ended = false;
    EXPECT_EQ(client->ReadAll(&ended), "");
    EXPECT_TRUE(ended);
  }
  Start();  // port 80 again
  EXPECT_NE(Exchange("GET /page.html HTTP/1.1\r\n\r\n").find("<p>page</p>"), std::string::npos);
}

TEST_F(WindowsServerTest, EndOfTheSocketLibraryEndsAnIdleKeepAliveSession) {
  // A client living on the engine's start, as in a program where only the
  // engine uses sockets: ending the library alone ends the idle session
  // and the listener.
  auto client = std::make_unique<RawClient>(false);
  client->Send("GET /page.html HTTP/1.1\r\nConnection: keep-alive\r\n\r\n");
  EXPECT_NE(client->ReadResponse().find("<p>page</p>"), std::string::npos);
  ASSERT_TRUE(WaitUntil([] { return SessionCount.load() == 1; }));
  EndSocketLibrary();
  EXPECT_TRUE(WaitUntil([] { return SessionCount.load() == 0 && ListenerRunning.load() == 0; }));
  client.reset();
  Stop();
  Start();
  EXPECT_NE(Exchange("GET /page.html HTTP/1.1\r\n\r\n").find("<p>page</p>"), std::string::npos);
}

// test-windows.sh gives the namespace an interface with an address of this
// machine (AMBREL_OWN_ADDRESS) and puts another private address on loopback
// (AMBREL_OTHER_ADDRESS), which stands for another machine of the network.
TEST_F(WindowsServerTest, ScopeAdmitsThisMachineOrTheNetwork) {
  const char* own = std::getenv("AMBREL_OWN_ADDRESS");
  const char* other = std::getenv("AMBREL_OTHER_ADDRESS");
  if (own == nullptr || other == nullptr) GTEST_SKIP() << "no test addresses set up (run by test-windows.sh)";
  auto served = [](const char* from) {
    RawClient client(true, from);
    client.Send("GET /page.html HTTP/1.1\r\n\r\n");
    return client.ReadAll();
  };
  // Scope 0: the adapter's address is this machine once the watcher has
  // read the adapters; the other address is refused without a byte.
  ASSERT_TRUE(WaitUntil([&] { return IsLocalMachineAddress(own); })) << own;
  EXPECT_NE(served(own).find("<p>page</p>"), std::string::npos);
  EXPECT_EQ(served(other), "");
  EXPECT_NE(served("127.0.0.1").find("<p>page</p>"), std::string::npos);
  Stop();
  StartServer(nullptr, site_.Root().c_str(), &token_, 1, 0, nullptr, 0);
  running_ = true;
  ASSERT_TRUE(WaitUntil([] { return RawClient().connected(); }));
  EXPECT_NE(served(other).find("<p>page</p>"), std::string::npos);  // a private address
  EXPECT_EQ(served(own), "");  // not a private range, though this machine's
}

// The start raises the listener's message with the reason, and leaves the
// engine stopped: no listener, no settings kept.
TEST_F(WindowsServerTest, PortTakenByAnotherProgramFailsTheStart) {
  Stop();
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  SOCKET other = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(80);
  ASSERT_EQ(bind(other, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(listen(other, 1), 0);
  std::string text = "started";
  try {
    StartServer(nullptr, site_.Root().c_str(), &token_, 0, 0, nullptr, 0);
    StopServer();
  } catch (const ListenFailure& failure) {
    text = failure.what();
    EXPECT_EQ(failure.why(), BindRefusal::kAddressInUse);
  }
  EXPECT_EQ(text, "Server Failed While Attempting to Bind");
  EXPECT_EQ(ListenerRunning.load(), 0);
  EXPECT_EQ(ServerSettings.serving_directory, nullptr);
  closesocket(other);
  WSACleanup();
}

}  // namespace
