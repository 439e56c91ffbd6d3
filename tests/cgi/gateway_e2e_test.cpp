// The gateway through the real engine on port 80 (own network namespace),
// with Debian's php-cgi and real CGI programs.
#include <gtest/gtest.h>

#include <linux/sockios.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/types.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <set>
#include <vector>

#include "cgi/script_gateway.h"
#include "core/blocks.h"
#include "http/server.h"
#include "log/access_log.h"
#include "test_site.h"

using namespace test_site;

namespace {

const char kNativeSource[] = R"SRC(
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>
int main(void) {
  const char* query = getenv("QUERY_STRING");
  printf("Content-Type: text/plain\r\nX-Native: yes\r\n\r\nnative query=%s method=%s\n",
         query ? query : "(none)", getenv("REQUEST_METHOD"));
  fflush(stdout);
  char buffer[4096];
  ssize_t n;
  while ((n = read(0, buffer, sizeof buffer)) > 0) fwrite(buffer, 1, n, stdout);
  return 0;
}
)SRC";

const char kQuitSource[] = "int main(void) { return 0; }\n";

// True once process `pid` has ended: gone, or (with `zombie_ok`) a zombie
// that its parent has not collected yet. Waits at most about 20 s.
bool WaitUntilEnded(pid_t pid, bool zombie_ok) {
  return WaitUntil([&] {
    if (kill(pid, 0) != 0 && errno == ESRCH) return true;
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t paren = stat.rfind(')');
    return zombie_ok && paren != std::string::npos && paren + 2 < stat.size() &&
           stat[paren + 2] == 'Z';
  }, std::chrono::seconds(20));
}

// Waits until the peer has taken every byte sent on `fd` (nothing left in
// the send queue), so that what is sent next arrives apart from it.
bool WaitUntilSent(int fd) {
  return WaitUntil([fd] {
    int pending = 0;
    return ioctl(fd, SIOCOUTQ, &pending) == 0 && pending == 0;
  });
}

// Asks for the never-ending script and returns its number and its child's
// from the first line of the body; false when they do not arrive.
bool StartForever(int fd, pid_t* script, pid_t* sleeper) {
  timeval limit{30, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  if (!SendText(fd, "GET /cgi-bin/forever.sh HTTP/1.1\r\n\r\n")) return false;
  std::string answer;
  char buffer[512];
  size_t body;
  while ((body = answer.find("\r\n\r\n")) == std::string::npos ||
         answer.find('\n', body + 4) == std::string::npos) {
    ssize_t n = Receive(fd, buffer, sizeof buffer);
    if (n <= 0) return false;
    answer.append(buffer, n);
  }
  int a = 0, b = 0;
  if (std::sscanf(answer.c_str() + body + 4, "%d %d", &a, &b) != 2) return false;
  *script = a;
  *sleeper = b;
  return a > 0 && b > 0;
}

// StopServer on a thread of its own, given about 30 s. When it has not
// returned by then the script is ended here, so that the test fails instead
// of hanging and leaves nothing behind.
bool StopWithin(pid_t script, pid_t sleeper) {
  std::atomic<bool> stopped{false};
  std::thread stopper([&] {
    StopServer();
    stopped = true;
  });
  bool in_time = WaitUntil([&] { return stopped.load(); });
  if (!in_time) {
    kill(sleeper, SIGKILL);
    kill(script, SIGKILL);
  }
  stopper.join();
  return in_time;
}

class GatewayTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/ambrel-gw-XXXXXX";
    root_ = mkdtemp(pattern);
    site_ = root_ + "/site/";
    std::string s = site_;
    WriteFile(s + "index.html", "<p>static</p>");
    WriteFile(s + "env.php", "<?php foreach (getenv() as $k => $v) echo \"$k=$v\\n\";");
    WriteFile(s + "echo.php", "<?php echo file_get_contents('php://input');");
    WriteFile(s + "redirect.php", "<?php header('Location: /x', true, 302);");
    WriteFile(s + "ten.php", "<?php echo '0123456789';");
    WriteFile(s + "exact.php", "<?php echo str_repeat('e', 32768);");
    WriteFile(s + "long.php", "<?php for ($i = 0; $i < 2000; $i++) echo str_pad($i, 50, '.'), \"\\n\";");
    WriteFile(s + "form.php",
              "<?php foreach ($_POST as $k => $v) echo htmlspecialchars(\"$k=$v\"), \"\\n\";");
    WriteFile(s + "cgi-bin/page.php", "<?php echo 'php in cgi-bin';");
    WriteFile(s + "cgi-bin/hello.sh",
              "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nhello from sh %s in %s\\n' "
              "\"$QUERY_STRING\" \"$(pwd)\"\n",
              true);
    // Answers, then leaves its process number and ends without reading.
    WriteFile(s + "cgi-bin/gone.sh",
              "#!/bin/sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\ngone'\necho $$ > " + root_ +
                  "/gone-pid.new && mv " + root_ + "/gone-pid.new " + root_ + "/gone-pid\n",
              true);
    WriteFile(s + "cgi-bin/lf.sh", "#!/bin/sh\nprintf 'Content-Type: text/plain\\n\\nbare\\n'\n", true);
    WriteFile(s + "cgi-bin/arg.sh", "#!/bin/sh -e\nprintf 'Content-Type: text/plain\\r\\n\\r\\nx'\n", true);
    WriteFile(s + "cgi-bin/env.sh", "#!/usr/bin/env sh\nprintf 'Content-Type: text/plain\\r\\n\\r\\nx'\n", true);
    WriteFile(s + "cgi-bin/length.sh",
              "#!/bin/sh\nprintf 'Content-Length: 5\\r\\n\\r\\n12345678'\n", true);
    // Says its own number and that of a child that holds the output open,
    // then waits for ever.
    WriteFile(s + "cgi-bin/forever.sh",
              "#!/bin/sh\nprintf 'Content-Length: 100\\r\\n\\r\\n'\n"
              "sleep 100000 &\nprintf '%s %s\\n' $$ $!\nwait\n",
              true);
    WriteFile(s + "cgi-bin/plain.txt", "just text");
    WriteFile(s + "tool.cgi", "#!/bin/sh\nprintf 'Status: 418 Teapot\\r\\n\\r\\n'\n", true);
    ASSERT_TRUE(CompileC(kNativeSource, s + "cgi-bin/native"));
    ASSERT_TRUE(CompileC(kQuitSource, s + "cgi-bin/quit"));
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  void Start(bool php, bool cgi, const std::string& php_directory = "/usr/bin/") {
    StartServer(nullptr, site_.c_str(), &token_, 2, php, php_directory.c_str(), cgi);
    running_ = true;
  }
  void TearDown() override {
    if (running_) StopServer();
  }

  static std::string root_;
  static std::string site_;
  EngineToken token_{};
  bool running_ = false;
};
std::string GatewayTest::root_;
std::string GatewayTest::site_;

TEST_F(GatewayTest, PhpSeesTheRequestInItsEnvironment) {
  Start(true, true);
  Response r = Get("/env.php?a=1&b=%41", "User-Agent: probe/1\r\nCookie: c=d\r\n");
  ASSERT_EQ(r.status, 200) << r.head;
  for (const char* entry :
       {"QUERY_STRING=a=1&b=%41\n", "REQUEST_URI=/env.php?a=1&b=%41\n", "CONTENT_LENGTH=0\n",
        "CONTENT_TYPE=\n", "GATEWAY_INTERFACE=CGI/1.1\n", "REDIRECT_STATUS=200\n",
        "SERVER_NAME=Ambrel HTTP Server 1.03\n", "SERVER_PROTOCOL=HTTP/1.1\n", "SERVER_PORT=80\n",
        "SERVER_ADDR=127.0.0.1\n", "REMOTE_ADDR=127.0.0.1\n", "REQUEST_METHOD=GET\n",
        "HTTP_USER_AGENT=probe/1\n", "HTTP_COOKIE=c=d\n", "PATH_INFO=\n",
        "SCRIPT_NAME=/env.php\n"}) {
    EXPECT_NE(r.body.find(entry), std::string::npos) << entry << r.body;
  }
  EXPECT_NE(r.body.find("SCRIPT_FILENAME=" + site_ + "env.php\n"), std::string::npos);
  EXPECT_NE(r.body.find("DOCUMENT_ROOT=" + site_ + "\n"), std::string::npos);
  EXPECT_NE(r.body.find(std::string("PATH=") + getenv("PATH") + "\n"), std::string::npos);
  EXPECT_NE(r.head.find("Content-Length: " + std::to_string(r.body.size()) + "\r\n"),
            std::string::npos);
  EXPECT_NE(r.head.find("Content-type: text/html"), std::string::npos);
  // No agent, no query: neither variable.
  r = Get("/env.php");
  EXPECT_EQ(r.body.find("HTTP_USER_AGENT="), std::string::npos);
  EXPECT_EQ(r.body.find("QUERY_STRING="), std::string::npos);
}

TEST_F(GatewayTest, PhpOutputsOfEveryShape) {
  Start(true, true);
  std::string body;
  for (int i = 0; i < 10000; ++i) body.push_back(static_cast<char>('a' + i % 26));
  Response r = Post("/echo.php", body);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, body);
  EXPECT_NE(r.head.find("Content-Length: 10000\r\n"), std::string::npos);

  r = Get("/redirect.php");
  EXPECT_EQ(r.head.rfind("HTTP/1.1 302 Found\r\n", 0), 0u) << r.head;
  EXPECT_NE(r.head.find("\r\nLocation: /x\r\n"), std::string::npos);
  EXPECT_EQ(r.head.find("Status:"), std::string::npos);

  r = Get("/exact.php");
  EXPECT_EQ(r.body, std::string(32768, 'e'));
  EXPECT_EQ(r.head.find("Content-Length:"), std::string::npos);
  EXPECT_NE(r.head.find("Connection: close\r\n"), std::string::npos);

  r = Get("/long.php");
  EXPECT_EQ(r.body.size(), 2000u * 51u);
  EXPECT_EQ(r.body.substr(r.body.size() - 51), "1999" + std::string(46, '.') + "\n");
}

TEST_F(GatewayTest, ShortOutputKeepsTheConnection) {
  Start(true, true);
  int fd = Connect();
  ASSERT_GE(fd, 0);
  std::string request = "GET /ten.php HTTP/1.1\r\nConnection: Keep-Alive\r\n\r\n";
  std::string answers;
  SendText(fd, request + request);
  // Two answers arrive on one connection; the second stays open for more.
  char buffer[4096];
  while (answers.find("0123456789", answers.find("0123456789") + 10) == std::string::npos) {
    ssize_t n = Receive(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    answers.append(buffer, n);
  }
  close(fd);
  Response first = Split(answers);
  EXPECT_NE(first.head.find("Content-Length: 10\r\n"), std::string::npos);
  EXPECT_NE(first.head.find("Connection: keep-alive\r\n"), std::string::npos);
  EXPECT_EQ(first.body.substr(0, 10), "0123456789");
  EXPECT_NE(answers.find("HTTP/1.1 200 OK", 10), std::string::npos);
}

TEST_F(GatewayTest, CgiProgramsAndInterpreterLines) {
  Start(true, true);
  Response r = Post("/cgi-bin/native?x=1", "posted body");
  EXPECT_EQ(r.status, 200);
  EXPECT_NE(r.head.find("X-Native: yes\r\n"), std::string::npos);
  EXPECT_EQ(r.body, "native query=x=1 method=POST\nposted body");

  r = Get("/cgi-bin/hello.sh?q=7");
  EXPECT_EQ(r.status, 200) << r.head;
  EXPECT_EQ(r.body, "hello from sh q=7 in " + site_ + "cgi-bin\n");

  struct Case {
    const char* target;
    int status;
  } failures[] = {{"/cgi-bin/lf.sh", 500}, {"/cgi-bin/arg.sh", 500}, {"/cgi-bin/env.sh", 500}};
  for (const Case& c : failures) {
    r = Get(c.target);
    EXPECT_EQ(r.head, "HTTP/1.1 500 Internal Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        << c.target;
    EXPECT_EQ(r.body, "") << c.target;
  }
  r = Get("/cgi-bin/plain.txt");  // neither "#!" nor a native program
  EXPECT_EQ(r.status, 500);

  // The announced length is what goes out; a short one still ends cleanly.
  r = Get("/cgi-bin/length.sh");
  EXPECT_EQ(r.body, "12345");
  r = Get("/tool.cgi");
  EXPECT_EQ(r.head.rfind("HTTP/1.1 418 \r\n", 0), 0u) << r.head;
  r = Get("/cgi-bin/page.php");
  EXPECT_EQ(r.body, "php in cgi-bin");
}

TEST_F(GatewayTest, ABodyNeverRunsAsInterpreterInput) {
  Start(true, true);
  std::string marker = root_ + "/ran";
  Response r = Post("/cgi-bin/hello.sh", "touch " + marker + "\n");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.body, "hello from sh  in " + site_ + "cgi-bin\n");
  EXPECT_FALSE(fs::exists(marker));

  // A script that ended before its body came: writing the body meets a
  // closed pipe, and the output it left is still the answer.
  int fd = Connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(SendText(fd, "POST /cgi-bin/gone.sh HTTP/1.1\r\nContent-Length: 4\r\n\r\n"));
  const std::string pid_file = root_ + "/gone-pid";
  WaitUntil([&] { return fs::exists(pid_file); }, std::chrono::seconds(20));
  const pid_t script = std::atoi(ReadFile(pid_file).c_str());
  ASSERT_GT(script, 0) << "the script never ran";
  EXPECT_TRUE(WaitUntilEnded(script, true));
  ASSERT_TRUE(SendText(fd, "late"));
  r = Split(ReceiveAll(fd));
  close(fd);
  EXPECT_EQ(r.status, 200) << r.head;
  EXPECT_EQ(r.body, "gone");
}

TEST_F(GatewayTest, AChildThatReadsNothingCostsOnlyItsRequest) {
  Start(true, true);
  Response r = Post("/cgi-bin/quit", std::string(1 << 20, 'z'));
  EXPECT_EQ(r.status, 500);
  r = Get("/ten.php");
  EXPECT_EQ(r.body, "0123456789");
}

TEST_F(GatewayTest, SwitchesOff) {
  Start(false, false);
  Response r = Get("/ten.php");
  EXPECT_EQ(r.body, "<?php echo '0123456789';");
  r = Get("/cgi-bin/hello.sh");
  EXPECT_EQ(r.body.rfind("#!/bin/sh\n", 0), 0u);
  StopServer();
  Start(true, false);
  EXPECT_EQ(Get("/cgi-bin/page.php").body, "php in cgi-bin");
  EXPECT_EQ(Get("/cgi-bin/hello.sh").body.rfind("#!/bin/sh", 0), 0u);
}

TEST_F(GatewayTest, PhpFallsBackToThePlainProgramName) {
  // A PHP directory whose only "php" is Debian's CGI binary.
  std::string only_php = root_ + "/only-php/";
  fs::create_directories(only_php);
  fs::create_symlink("/usr/lib/cgi-bin/php", only_php + "php");
  Start(true, true, only_php);
  EXPECT_EQ(Get("/ten.php").body, "0123456789");
  StopServer();
  std::string empty = root_ + "/no-php/";
  fs::create_directories(empty);
  Start(true, true, empty);
  EXPECT_EQ(Get("/ten.php").status, 500);
}

TEST_F(GatewayTest, AStopEndsAScriptThatNeverEnds) {
  Start(false, true);
  int fd = Connect();
  ASSERT_GE(fd, 0);
  pid_t script = 0, sleeper = 0;
  ASSERT_TRUE(StartForever(fd, &script, &sleeper));
  // The stop returns although the script and what it started never end;
  // both are gone afterwards, and the client sees its connection close.
  EXPECT_TRUE(StopWithin(script, sleeper)) << "the stop waited on the script";
  running_ = false;
  EXPECT_TRUE(WaitUntilEnded(script, false));
  EXPECT_TRUE(WaitUntilEnded(sleeper, true));
  ReceiveAll(fd);
  close(fd);

  // A new start serves scripts again, and leaves them running as long as
  // they like until the next stop.
  Start(false, true);
  EXPECT_EQ(Get("/cgi-bin/hello.sh").body, "hello from sh  in " + site_ + "cgi-bin\n");
  fd = Connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(StartForever(fd, &script, &sleeper));
  EXPECT_EQ(kill(script, 0), 0);
  EXPECT_EQ(kill(sleeper, 0), 0);
  EXPECT_TRUE(StopWithin(script, sleeper));
  running_ = false;
  EXPECT_TRUE(WaitUntilEnded(script, false));
  EXPECT_TRUE(WaitUntilEnded(sleeper, true));
  close(fd);
}

// One response with a "Content-Length:" from a kept-alive connection: head
// and exactly that many body bytes.
Response ReadOneResponse(int fd) {
  std::string text;
  char c;
  while (text.find("\r\n\r\n") == std::string::npos && Receive(fd, &c, 1) == 1) text += c;
  Response r = Split(text);
  size_t at = r.head.find("Content-Length: ");
  size_t length = at == std::string::npos ? 0 : std::strtoul(r.head.c_str() + at + 16, nullptr, 10);
  char buffer[8192];
  while (r.body.size() < length) {
    ssize_t n = Receive(fd, buffer, std::min(sizeof buffer, length - r.body.size()));
    if (n <= 0) break;
    r.body.append(buffer, static_cast<size_t>(n));
  }
  return r;
}

TEST_F(GatewayTest, BodiesSplitBetweenWhatCameWithTheHeadAndTheSocketReachTheScript) {
  // The first part of each body arrives together with its header block (and
  // the next request's head with the end of the body before it); the rest
  // comes later. Every byte value, in order, reaches the script.
  Start(true, true);
  std::string first, second;
  for (int i = 0; i < 9000; ++i) first += static_cast<char>((i * 7 + i / 256) & 0xFF);
  for (int i = 0; i < 3000; ++i) second += static_cast<char>(255 - (i & 0xFF));
  auto head = [](const std::string& body, const char* connection) {
    return "POST /echo.php HTTP/1.1\r\nConnection: " + std::string(connection) +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  };
  int fd = Connect();
  ASSERT_GE(fd, 0);
  ASSERT_TRUE(SendText(fd, head(first, "Keep-Alive") + first.substr(0, 1000)));
  ASSERT_TRUE(WaitUntilSent(fd));
  ASSERT_TRUE(SendText(fd, first.substr(1000, 7000)));
  ASSERT_TRUE(WaitUntilSent(fd));
  ASSERT_TRUE(SendText(fd, first.substr(8000) + head(second, "close") + second.substr(0, 10)));
  ASSERT_TRUE(WaitUntilSent(fd));
  ASSERT_TRUE(SendText(fd, second.substr(10)));
  Response r = ReadOneResponse(fd);
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(r.body == first) << r.body.size() << " bytes";
  r = ReadOneResponse(fd);
  EXPECT_EQ(r.status, 200);
  EXPECT_TRUE(r.body == second) << r.body.size() << " bytes";
  EXPECT_EQ(ReceiveAll(fd), "");  // closed after the second, as it asked
  close(fd);
}

}  // namespace
