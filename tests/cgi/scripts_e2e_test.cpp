// Scripts as real sites write them, and request bodies the server must frame
// and never run: the engine on port 80 (own network namespace) with Debian's
// php-cgi and php, /bin/sh, Perl and Python CGI scripts, curl and raw
// sockets; and a server process whose descriptor table runs full.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <vector>

#include "http/server.h"
#include "http/session_pool.h"
#include "test_site.h"

using namespace test_site;

namespace {

// A connection whose receives give up after `seconds`, so a server that
// waits where it should answer fails the test instead of hanging it.
int ConnectWithLimit(int seconds) {
  int fd = Connect();
  timeval limit{seconds, 0};
  if (fd >= 0) setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  return fd;
}

// Everything until the server closes; *closed tells whether it did close
// (rather than the wait running out).
std::string ReceiveUntilClose(int fd, bool* closed) {
  std::string text;
  char buffer[8192];
  ssize_t n;
  while ((n = Receive(fd, buffer, sizeof buffer)) > 0) text.append(buffer, n);
  *closed = n == 0;
  return text;
}

// Sends `request` and reads until the server closes or `seconds` pass; a
// connection left open adds "(still open)". The default only ends a server
// that waits where it should answer, however loaded the machine.
std::string ExchangeWithLimit(const std::string& request, int seconds = 30) {
  int fd = ConnectWithLimit(seconds);
  if (fd < 0) return "no connection";
  SendText(fd, request);
  bool closed = false;
  std::string answer = ReceiveUntilClose(fd, &closed);
  close(fd);
  return closed ? answer : answer + "(still open)";
}

int CountOf(const std::string& text, const std::string& piece) {
  int count = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

// Every byte value, CR LF pairs, and more than one 4096-byte piece.
std::string BinaryBody() {
  std::string body;
  for (int i = 0; i < 9000; ++i) body.push_back(static_cast<char>((i * 7) & 0xFF));
  return body + "\r\n\r\nGET / HTTP/1.1\r\n\r\n";
}

class ScriptsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/ambrel-scripts-XXXXXX";
    root_ = mkdtemp(pattern);
    site_ = root_ + "/site/";
    const std::string s = site_;
    const std::string octets = "Content-Type: application/octet-stream\\r\\n\\r\\n";
    WriteFile(s + "index.html", "<p>static</p>");
    WriteFile(s + "cgi-bin/echo.sh", "#!/bin/sh\nprintf '" + octets + "'\nexec cat\n", true);
    WriteFile(s + "cgi-bin/echo.pl",
              "#!/usr/bin/perl\nbinmode STDIN; binmode STDOUT;\n"
              "read(STDIN, my $body, $ENV{CONTENT_LENGTH});\n"
              "print \"Content-Type: application/octet-stream\\r\\n\\r\\n\", $body;\n",
              true);
    WriteFile(s + "cgi-bin/echo.py",
              "#!/usr/bin/python3\nimport os, sys\n"
              "body = sys.stdin.buffer.read(int(os.environ['CONTENT_LENGTH']))\n"
              "sys.stdout.buffer.write(b'Content-Type: application/octet-stream\\r\\n\\r\\n' + body)\n",
              true);
    WriteFile(s + "cgi-bin/mixed.sh",
              "#!/bin/sh\nprintf 'Status: 302\\r\\nX-A: 1\\nLocation: /x\\r\\n\\r\\n'\n", true);
    // A page that leaves a mark when it runs, and one that warns first.
    WriteFile(s + "page.php", "<?php file_put_contents('" + root_ + "/page-ran', 'yes');\n"
                              "echo \"Content-Type: text/plain\\r\\n\\r\\npage\";");
    WriteFile(s + "warn.php", "<?php trigger_error('careful', E_USER_WARNING);\n"
                              "header('Location: /elsewhere', true, 302);");
    WriteFile(s + "self.php", "<?php echo $_SERVER['PHP_SELF'], '|', $_SERVER['SCRIPT_NAME'], '|',\n"
                              "  $_SERVER['HTTP_HOST'] ?? '-', '|', json_encode($_POST);");
    WriteFile(s + "sub/index.php", "<?php echo $_SERVER['PHP_SELF'], '|', $_SERVER['SCRIPT_NAME'];");
    ASSERT_EQ(mkfifo((s + "pipe.html").c_str(), 0644), 0);
  }
  static void TearDownTestSuite() { fs::remove_all(root_); }

  // Returns once the listener takes connections: the server starts it on a
  // thread of its own, and curl does not retry a refused connection.
  void Start(const std::string& php_directory = "/usr/bin/") {
    StartServer(nullptr, site_.c_str(), &token_, 2, 1, php_directory.c_str(), 1);
    int probe = Connect();
    ASSERT_GE(probe, 0) << "the server never listened";
    close(probe);
  }
  void TearDown() override { StopServer(); }

  static std::string root_;
  static std::string site_;
  EngineToken token_{};
};
std::string ScriptsTest::root_;
std::string ScriptsTest::site_;

TEST_F(ScriptsTest, InterpreterScriptsGetTheBodyByteForByte) {
  Start();
  const std::string body = BinaryBody();
  WriteFile(root_ + "/body.bin", body);
  for (const char* script : {"echo.sh", "echo.pl", "echo.py"}) {
    std::string answer = RunCommand("curl -s --max-time 20 --data-binary @" + root_ +
                                    "/body.bin http://127.0.0.1/cgi-bin/" + script);
    EXPECT_EQ(answer.size(), body.size()) << script;
    EXPECT_TRUE(answer == body) << script;
  }
  // Through a raw socket too, on a kept-alive connection that goes on.
  int fd = ConnectWithLimit(10);
  ASSERT_GE(fd, 0);
  SendText(fd, "POST /cgi-bin/echo.sh HTTP/1.1\r\nConnection: Keep-Alive\r\nContent-Length: 5\r\n\r\n"
               "a\r\nbcGET /index.html HTTP/1.0\r\n\r\n");
  std::string answers = ReceiveAll(fd);
  close(fd);
  EXPECT_EQ(Split(answers).body.substr(0, 5), "a\r\nbc") << answers;
  EXPECT_NE(answers.find("<p>static</p>"), std::string::npos) << answers;
}

TEST_F(ScriptsTest, ThePlainPhpProgramRunsTheScriptNeverTheBody) {
  // A PHP directory whose only program is the command-line interpreter.
  std::string cli_only = root_ + "/cli-only/";
  fs::create_directories(cli_only);
  fs::create_symlink("/usr/bin/php", cli_only + "php");
  Start(cli_only);
  const std::string marker = root_ + "/body-ran";
  Response r = Post("/page.php", "<?php touch('" + marker + "'); ?>");
  EXPECT_FALSE(fs::exists(marker));
  EXPECT_TRUE(fs::exists(root_ + "/page-ran"));
  EXPECT_EQ(r.status, 200) << r.head;
  EXPECT_EQ(r.body, "page");
}

TEST_F(ScriptsTest, UnreadBodiesAreNotTheNextRequest) {
  Start();
  // 200, 404 and 301 answered without reading the body, then a GET on the
  // same connection; the bodies look like requests of their own.
  const std::string keep = "Connection: Keep-Alive\r\n";
  const std::string trap = "GET /trap HTTP/1.1\r\n\r\n";
  const std::string length = "Content-Length: " + std::to_string(trap.size()) + "\r\n";
  int fd = ConnectWithLimit(10);
  ASSERT_GE(fd, 0);
  SendText(fd, "POST /index.html HTTP/1.1\r\n" + keep + length + "\r\n" + trap +
                   "POST /missing.html HTTP/1.1\r\n" + keep + length + "\r\n" + trap +
                   "POST /sub HTTP/1.1\r\n" + keep + length + "\r\n" + trap +
                   "GET /index.html HTTP/1.1\r\n\r\n");
  std::string answers = ReceiveAll(fd);
  close(fd);
  EXPECT_EQ(CountOf(answers, "HTTP/1.1 200 OK\r\n"), 2) << answers;
  EXPECT_EQ(CountOf(answers, "HTTP/1.1 404 Not Found\r\n"), 1) << answers;
  EXPECT_EQ(CountOf(answers, "HTTP/1.1 301 Moved\r\n"), 1) << answers;
  EXPECT_EQ(CountOf(answers, "HTTP/1.1 "), 4) << answers;
  // A body beyond what is worth reading closes the connection instead.
  answers = ExchangeWithLimit("POST /index.html HTTP/1.1\r\n" + keep +
                              "Content-Length: 2000000000\r\n\r\nxx");
  EXPECT_EQ(Split(answers).body, "<p>static</p>") << answers;
}

TEST_F(ScriptsTest, BodiesWithoutAUsableLengthAreRefused) {
  Start();
  const std::string marker = root_ + "/page-ran";
  fs::remove(marker);
  std::string answer = RunCommand(
      "printf 'hello' | curl -s -i --max-time 10 -H 'Transfer-Encoding: chunked' "
      "-H 'Connection: Keep-Alive' --data-binary @- http://127.0.0.1/page.php");
  EXPECT_EQ(answer.rfind("HTTP/1.1 501 Not implemented\r\n", 0), 0u) << answer;
  EXPECT_NE(answer.find("Connection: close\r\n"), std::string::npos) << answer;
  // The chunk bytes are not read as a request, and the connection closes.
  answer = ExchangeWithLimit("POST /page.php HTTP/1.1\r\nConnection: Keep-Alive\r\n"
                             "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
  EXPECT_EQ(CountOf(answer, "HTTP/1.1 "), 1) << answer;
  EXPECT_EQ(answer.rfind("HTTP/1.1 501 ", 0), 0u) << answer;
  for (const char* length : {"4294967296", "99999999999999999999", "-1", "many"}) {
    answer = ExchangeWithLimit("POST /page.php HTTP/1.1\r\nConnection: Keep-Alive\r\n"
                               "Content-Length: " + std::string(length) + "\r\n\r\nabc");
    EXPECT_EQ(answer, "HTTP/1.1 400 Bad Request\r\nConnection: close\r\n\r\n") << length;
  }
  EXPECT_FALSE(fs::exists(marker));
}

TEST_F(ScriptsTest, ScriptOutputAndEnvironment) {
  Start();
  // Debian's php-cgi logs the warning on its standard error: the redirect
  // stays a redirect and the warning stays out of the response.
  Response r = Get("/warn.php");
  EXPECT_EQ(r.head.rfind("HTTP/1.1 302 Found\r\n", 0), 0u) << r.head;
  EXPECT_NE(r.head.find("\r\nLocation: /elsewhere\r\n"), std::string::npos) << r.head;
  EXPECT_EQ(r.head.find("careful"), std::string::npos) << r.head;
  EXPECT_EQ(r.body.find("careful"), std::string::npos) << r.body;
  // A header block broken by a bare LF is a broken block.
  r = Get("/cgi-bin/mixed.sh");
  EXPECT_EQ(r.head, "HTTP/1.1 500 Internal Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
  // PHP sees its own address, its host, and its form.
  r = Post("/self.php?q=1", "a=1&b=two", "Host: site.test\r\nContent-Type: "
                                         "application/x-www-form-urlencoded\r\n");
  EXPECT_EQ(r.body, "/self.php|/self.php|site.test|{\"a\":\"1\",\"b\":\"two\"}");
  r = Get("/self.php");
  EXPECT_EQ(r.body, "/self.php|/self.php|-|[]");
  EXPECT_EQ(Get("/sub/").body, "/sub/index.php|/sub/index.php");
}

TEST_F(ScriptsTest, RequestsThatCannotBeServedEndCleanly) {
  Start();
  // A FIFO is no file to serve; the session must not wait for a writer.
  std::string answer = ExchangeWithLimit("GET /pipe.html HTTP/1.1\r\n\r\n");
  EXPECT_EQ(answer.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u) << answer;
  if (answer.rfind("HTTP/", 0) != 0) {
    // A session stuck in the open would keep the stop from returning.
    int writer = open((site_ + "pipe.html").c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0) close(writer);
  }
  // A version with a line break in it is refused, not echoed.
  answer = ExchangeWithLimit("GET /index.html HTTP/1.1\nSet-Cookie:x\r\n\r\n");
  EXPECT_EQ(answer, "HTTP/1.0 400 Bad Request\r\nConnection: close\r\n\r\n");
  answer = ExchangeWithLimit("GET /index.html HTTP/1.1\x1b\r\n\r\n");
  EXPECT_EQ(answer, "HTTP/1.0 400 Bad Request\r\nConnection: close\r\n\r\n");
}

// The folder server as a process of its own, so that its descriptor table
// can be shrunk without touching the test's.
class ServerProcess {
 public:
  explicit ServerProcess(const std::string& folder) {
    int input[2];
    if (pipe(input) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      dup2(input[0], 0);
      close(input[0]);
      close(input[1]);
      execl(AMBREL_BINARY_DIR "/examples/ambrel_serve_folder", "ambrel_serve_folder",
            folder.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(input[0]);
    stop_ = input[1];
  }
  // Closing its input stops it; true when it ended by itself within 20 s.
  bool Stop() {
    if (pid_ <= 0) return false;
    close(stop_);
    int status = 0;
    if (WaitUntil([&] { return waitpid(pid_, &status, WNOHANG) == pid_; }, std::chrono::seconds(20))) {
      pid_ = -1;
      return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
    return false;
  }
  ~ServerProcess() {
    if (pid_ > 0) Stop();
  }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int stop_ = -1;
};

TEST(DescriptorShortage, TheListenerWaitsItOutAndServesAgain) {
  char pattern[] = "/tmp/ambrel-emfile-XXXXXX";
  std::string folder = mkdtemp(pattern);
  WriteFile(folder + "/index.html", "<p>still here</p>");
  ServerProcess server(folder);
  ASSERT_GT(server.pid(), 0);
  ASSERT_NE(Get("/index.html").body.find("still here"), std::string::npos);
  auto open_descriptors = [&server] {
    int count = 0;
    for (const auto& entry : fs::directory_iterator("/proc/" + std::to_string(server.pid()) + "/fd")) {
      (void)entry;
      ++count;
    }
    return count;
  };
  // Threads waiting in accept each hold a descriptor set aside that the
  // listing does not show: room for those, one connection and its file.
  const int open_now = open_descriptors();
  std::string limit = std::to_string(open_now + kParkedSessionsKept + 2);
  ASSERT_EQ(std::system(("prlimit --pid " + std::to_string(server.pid()) + " --nofile=" + limit +
                         ":" + limit).c_str()),
            0);
  std::vector<int> held;
  for (int i = 0; i < 10; ++i) held.push_back(ConnectWithLimit(10));
  // The listener takes a connection, which fills the table, and then meets
  // the full table with the next.
  EXPECT_TRUE(WaitUntil([&] { return open_descriptors() > open_now; }));
  for (int fd : held) close(fd);
  // The listener still takes the closed connections left in its backlog, one
  // per retry, and while one of them holds a descriptor a file cannot be
  // opened (a 404 then is right). What must hold is that the server comes
  // back by itself: ask until it serves the file, for at most 30 seconds.
  std::string answer;
  WaitUntil([&] {
    answer = ExchangeWithLimit("GET /index.html HTTP/1.0\r\n\r\n", 2);
    return answer.find("still here") != std::string::npos;
  });
  EXPECT_NE(answer.find("still here"), std::string::npos) << answer;
  EXPECT_TRUE(server.Stop());
  fs::remove_all(folder);
}

}  // namespace
