#include <gtest/gtest.h>

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "cgi/script_gateway.h"
#include "cgi/script_setup.h"
#include "core/blocks.h"
#include "core/decimal.h"
#include "http/engine.h"
#include "http/request_reader.h"
#include "http/session.h"
#include "platform/process.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/ambrel-cgi-XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { fs::remove_all(path_); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& text, bool executable = false) {
  std::ofstream(path, std::ios::binary) << text;
  if (executable) chmod(path.c_str(), 0755);
}

SocketAddressV4 Address(uint8_t a, uint8_t b, uint8_t c, uint8_t d, uint16_t port) {
  SocketAddressV4 address{};
  address.family = 2;
  auto* port_bytes = reinterpret_cast<uint8_t*>(&address.port_network_order);
  port_bytes[0] = static_cast<uint8_t>(port >> 8);
  port_bytes[1] = static_cast<uint8_t>(port);
  auto* host = reinterpret_cast<uint8_t*>(&address.address_network_order);
  host[0] = a, host[1] = b, host[2] = c, host[3] = d;
  return address;
}

// A connection as the reader and the file service leave it for the gateway.
struct RequestFixture {
  Connection* c = nullptr;
  RequestFixture(const char* request_line, std::vector<std::pair<const char*, const char*>> headers) {
    AllocBlock(&c, sizeof(Connection), true, 0);
    c->file = kInvalidFile;
    EXPECT_EQ(ParseRequestLine(request_line, c), 0);
    for (auto& [name, value] : headers) AddRequestHeader(c, name, value);
    c->request_path = DupString(c->path);
    c->document_root = DupString("/srv/www/");
    c->file_path = DupString(("/srv/www" + std::string(c->path)).c_str());
    c->peer_text = DupString("10.1.2.3");
    c->local_text = DupString("127.0.0.1");
    c->peer_address = Address(10, 1, 2, 3, 51234);
    c->local_address = Address(127, 0, 0, 1, 80);
    c->content_length = ParseDecimalPrefix(FindRequestHeader(c, "Content-Length:"));
  }
  ~RequestFixture() {
    ResetRequest(c);
    FreeAndClear(&c->peer_text);
    FreeAndClear(&c->local_text);
    FreeAndClear(&c->document_root);
    FreeAndClear(&c);
  }
};

std::vector<std::string> Entries(const std::string& block) {
  std::vector<std::string> entries;
  EXPECT_GE(block.size(), 2u);
  EXPECT_EQ(block.substr(block.size() - 2), std::string(2, '\0'));
  for (size_t at = 0; at < block.size() && block[at] != '\0'; at = block.find('\0', at) + 1) {
    entries.push_back(block.substr(at, block.find('\0', at) - at));
  }
  return entries;
}

TEST(ScriptEnvironment, EntriesInTheirOrder) {
  setenv("PATH", "/usr/local/bin:/usr/bin:/bin", 1);
  RequestFixture r("post /dir/env.php?a=1&b=%41 HTTP/1.0",
                   {{"User-Agent:", "Mozilla/5.0"}, {"content-TYPE:", "text/plain"},
                    {"Accept:", ""}, {"Cookie:", "k=v"}, {"Content-Length:", "12"},
                    {"X-Other:", "after the table"}, {"accept-language:", "de"},
                    {"host:", "example.test:8080"}});
  std::vector<std::string> expected = {
      "QUERY_STRING=a=1&b=%41", "REDIRECT_QUERY_STRING=a=1&b=%41", "CONTENT_LENGTH=12",
      "CONTENT_TYPE=text/plain", "GATEWAY_INTERFACE=CGI/1.1", "DOCUMENT_ROOT=/srv/www/",
      "SCRIPT_FILENAME=/srv/www/dir/env.php", "SCRIPT_NAME=/dir/env.php", "REDIRECT_STATUS=200",
      "REDIRECT_URL=/dir/env.php", "REQUEST_URI=/dir/env.php?a=1&b=%41", "PATH_INFO=",
      "PATH_TRANSLATED=/srv/www/dir/env.php", "HTTP_USER_AGENT=Mozilla/5.0",
      "HTTP_ACCEPT_LANGUAGE=de", "HTTP_COOKIE=k=v", "HTTP_HOST=example.test:8080",
      "SERVER_ADDR=127.0.0.1", "SERVER_PORT=80",
      "REMOTE_ADDR=10.1.2.3", "REMOTE_PORT=51234", "SERVER_NAME=Ambrel HTTP Server 1.03",
      "SERVER_PROTOCOL=HTTP/1.1", "REQUEST_METHOD=post", "PATH=/usr/local/bin:/usr/bin:/bin",
      "HTTP_X_OTHER=after the table"};
  EXPECT_EQ(Entries(BuildScriptEnvironment(*r.c)), expected);
}

TEST(ScriptEnvironment, EveryOtherHeaderFollowsTheTable) {
  // Each other header once, under its CGI name, in the order its name first
  // came, repeats joined. Never a second entry for a name the table gives
  // (even one it left out for being empty), never the body's two headers
  // or Proxy, never a name that letters, digits and '-' do not make.
  setenv("PATH", "/bin", 1);
  RequestFixture r("POST /a.php HTTP/1.1",
                   {{"X-WP-Nonce:", "5f1e"}, {"authorization:", "Basic dTpw"},
                    {"Proxy:", "http://evil.test:3128"}, {"Content-Type:", "text/plain"},
                    {"Content-Length:", "3"}, {"Accept:", ""}, {"X-Multi:", "a"},
                    {"User-Agent:", "first"}, {"x-MULTI:", "b"}, {"user-agent:", "second"},
                    {"Bad_Name:", "u"}, {"X.Dot:", "d"}, {"X-Empty:", ""}, {"Cookie:", "c=1"},
                    {"X-Multi:", "c"}, {"Sec-Fetch-Mode:", "cors"}, {"If-None-Match:", "\"e1\""}});
  std::vector<std::string> entries = Entries(BuildScriptEnvironment(*r.c));
  const std::vector<std::string> tail = {
      "REQUEST_METHOD=POST",   "PATH=/bin",
      "HTTP_X_WP_NONCE=5f1e",  "HTTP_AUTHORIZATION=Basic dTpw",
      "HTTP_X_MULTI=a, b, c",  "HTTP_X_EMPTY=",
      "HTTP_SEC_FETCH_MODE=cors", "HTTP_IF_NONE_MATCH=\"e1\""};
  ASSERT_GE(entries.size(), tail.size());
  EXPECT_EQ(std::vector<std::string>(entries.end() - tail.size(), entries.end()), tail);
  int agents = 0;
  for (const std::string& e : entries) {
    agents += e.rfind("HTTP_USER_AGENT=", 0) == 0;
    EXPECT_NE(e.rfind("HTTP_ACCEPT=", 0), 0u) << e;
  }
  EXPECT_EQ(agents, 1);
  EXPECT_NE(std::find(entries.begin(), entries.end(), "HTTP_USER_AGENT=first"), entries.end());
  EXPECT_NE(std::find(entries.begin(), entries.end(), "CONTENT_TYPE=text/plain"), entries.end());
}

TEST(ScriptEnvironment, OptionalEntries) {
  // No "?": no query entries; "?" alone: both, empty. No agent: no entry;
  // CONTENT_TYPE always, empty when absent. A PATH too long is left out.
  setenv("PATH", std::string(5000, 'p').c_str(), 1);
  RequestFixture plain("GET /a.php HTTP/1.1", {{"User-Agent:", ""}, {"Host:", ""}});
  std::vector<std::string> entries = Entries(BuildScriptEnvironment(*plain.c));
  for (const std::string& e : entries) {
    EXPECT_NE(e.rfind("QUERY_STRING=", 0), 0u) << e;
    EXPECT_NE(e.rfind("HTTP_USER_AGENT=", 0), 0u) << e;
    EXPECT_NE(e.rfind("HTTP_HOST=", 0), 0u) << e;
    EXPECT_NE(e.rfind("PATH=", 0), 0u) << e;
  }
  EXPECT_EQ(entries[0], "CONTENT_LENGTH=0");
  EXPECT_EQ(entries[1], "CONTENT_TYPE=");

  RequestFixture empty_query("GET /a.php? HTTP/1.1", {});
  entries = Entries(BuildScriptEnvironment(*empty_query.c));
  EXPECT_EQ(entries[0], "QUERY_STRING=");
  EXPECT_EQ(entries[1], "REDIRECT_QUERY_STRING=");
  setenv("PATH", "/usr/bin:/bin", 1);

  // A directory's index file goes by its own name.
  RequestFixture index("GET /dir/ HTTP/1.1", {});
  FreeAndClear(&index.c->file_path);
  index.c->file_path = DupString("/srv/www/dir/index.php");
  EXPECT_EQ(ScriptUrlPath(*index.c), "/dir/index.php");
}

TEST(ScriptSelection, PhpAndCgiNames) {
  struct Case {
    const char* name;
    bool php_on, cgi_on, is_php, is_cgi;
  } cases[] = {
      {"/www/index.PHP", true, true, true, false},
      {"/www/index.PHP", false, true, false, false},
      {"/www/cgi-bin/index.PHP", false, true, false, true},
      {"/www/cgi-bin/page.php", true, true, true, true},  // asked first: runs as PHP
      {"/www/a.php3", true, false, true, false},
      {"/www/a.Php4", true, false, true, false},
      {"/www/a.phtml", true, false, true, false},
      {".php", true, false, false, false},
      {"/www/CGI-BIN/tool", true, true, false, false},
      {"/www/CGI-BIN/tool.CGI", true, true, false, true},
      {"/www/cgi-bin/tool", true, false, false, false},
      {"/cgi-bin/x/", true, true, false, true},
      {".cgi", true, true, false, false},
  };
  for (const Case& c : cases) {
    ServerSettings.php_enabled = c.php_on;
    ServerSettings.cgi_enabled = c.cgi_on;
    EXPECT_EQ(IsPhpScript(c.name), c.is_php) << c.name;
    EXPECT_EQ(IsCgiScript(c.name), c.is_cgi) << c.name;
  }
  ServerSettings = ServerSettingsRecord{};
}

TEST(ScriptSelection, CommandLines) {
  TempDir dir;
  WriteFile(dir / "tool", "\x7f" "ELF...", true);
  const std::string elf = "\x7f" "ELF\x02\x01";
  const std::string tool = dir / "tool";
  struct Case {
    const char* name;
    std::string bytes;
    bool ok;
    std::string program;
    std::string argument;
  } cases[] = {
      {"shell", "#!/bin/sh\necho hi\n", true, "/bin/sh", tool},
      {"crlf line", "#!/bin/sh\r\necho hi\r\n", true, "/bin/sh", tool},
      {"line without end", "#!/bin/sh", true, "/bin/sh", tool},
      {"argument", "#!/bin/sh -e\n", false, "", ""},
      {"env", "#!/usr/bin/env sh\n", false, "", ""},
      {"blank first", "#! /bin/sh\n", false, "", ""},
      {"missing interpreter", "#!/no/such/perl\n", false, "", ""},
      {"directory", "#!/bin\n", false, "", ""},
      {"native", elf, true, tool, ""},
      {"windows image", "MZ\x90", false, "", ""},
      {"plain text", "hello", false, "", ""},
  };
  for (const Case& c : cases) {
    ScriptCommand command{};
    bool ok = ChooseCgiCommand((dir / "tool").c_str(), c.bytes.data(),
                               static_cast<int32_t>(c.bytes.size()), &command);
    EXPECT_EQ(ok, c.ok) << c.name;
    if (ok) {
      EXPECT_EQ(command.program, c.program) << c.name;
      EXPECT_EQ(command.argument, c.argument) << c.name;
    }
  }
  ScriptCommand none{};
  EXPECT_FALSE(ChooseCgiCommand((dir / "tool").c_str(), "", 0, &none));

  // The missing native file named by itself.
  EXPECT_FALSE(ChooseCgiCommand((dir / "gone").c_str(), elf.data(), 4, &none));
}

TEST(ScriptSelection, PhpProgramsTriedInOrder) {
  TempDir both, only_php, neither;
  WriteFile(both / "php-cgi", "", true);
  WriteFile(both / "php", "", true);
  fs::create_symlink("/usr/lib/cgi-bin/php", only_php / "php");
  ScriptCommand command{};
  ASSERT_TRUE(ChoosePhpCommand((both.path() + "/").c_str(), "/site/a.php", &command));
  EXPECT_EQ(command.program, both / "php-cgi");
  EXPECT_EQ(command.argument, "/site/a.php");
  ASSERT_TRUE(ChoosePhpCommand((only_php.path() + "/").c_str(), "/site/a.php", &command));
  EXPECT_EQ(command.program, only_php / "php");
  EXPECT_FALSE(ChoosePhpCommand((neither.path() + "/").c_str(), "/site/a.php", &command));
}

TEST(ScriptSelection, WorkingDirectory) {
  EXPECT_EQ(ScriptWorkingDirectory("/srv/www/cgi-bin/tool"), "/srv/www/cgi-bin");
  EXPECT_EQ(ScriptWorkingDirectory("tool"), "tool");
}

// A tiny native program: reports its directory, its open descriptors beyond
// the three standard ones, its arguments and its environment, complains on
// its standard error, then copies its input.
const char kProbeSource[] = R"(
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>
extern char** environ;
int main(int argc, char** argv) {
  char cwd[512];
  int extra = 0;
  for (int fd = 3; fd < 1024; ++fd) if (fcntl(fd, F_GETFD) != -1) ++extra;
  printf("cwd=%s\nfds=%d\n", getcwd(cwd, sizeof cwd), extra);
  for (int i = 1; i < argc; ++i) printf("arg:%s\n", argv[i]);
  fputs("a complaint\r\n", stderr);
  for (char** e = environ; *e; ++e) printf("env:%s\n", *e);
  fflush(stdout);
  char buffer[4096];
  ssize_t n;
  while ((n = read(0, buffer, sizeof buffer)) > 0) write(1, buffer, n);
  return 0;
}
)";

std::string ReadAll(FileHandle output) {
  std::string text;
  char buffer[4096];
  for (int32_t n; (n = ReadFromFile(output, buffer, sizeof buffer)) > 0;) text.append(buffer, n);
  return text;
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir_ / "probe.c", kProbeSource);
    std::string compile = "cc -o " + (dir_ / "probe") + " " + (dir_ / "probe.c");
    ASSERT_EQ(std::system(compile.c_str()), 0);
    fs::create_directory(dir_ / "work");
  }
  TempDir dir_;
};

TEST_F(ProcessTest, ChildGetsItsEnvironmentDirectoryAndOnlyItsOwnPipes) {
  std::string environment = std::string("A=1") + '\0' + "B=two words" + '\0' + '\0';
  // A second child stays alive with its pipes open while the first runs.
  ChildProcess other{};
  ASSERT_TRUE(StartChildProcess("/bin/cat", nullptr, "\0\0", nullptr, &other));
  ChildProcess child{};
  ASSERT_TRUE(StartChildProcess((dir_ / "probe").c_str(), "/a dir/the script", environment.data(),
                                (dir_ / "work").c_str(), &child));
  ASSERT_TRUE(WriteToFile(child.input, "body bytes", 10));
  CloseChildPipe(&child.input);
  // The end of output arrives although the other child still runs: no other
  // process holds this child's pipe. The argument is one word; what the child
  // writes to its standard error is not part of its output.
  EXPECT_EQ(ReadAll(child.output), "cwd=" + (dir_ / "work") +
                                       "\nfds=0\narg:/a dir/the script\nenv:A=1\nenv:B=two "
                                       "words\nbody bytes");
  ReleaseChildProcess(&child);
  CloseChildPipe(&other.input);
  EXPECT_EQ(ReadAll(other.output), "");
  ReleaseChildProcess(&other);
}

TEST_F(ProcessTest, WritingToAChildThatIsGoneFailsQuietly) {
  ChildProcess child{};
  ASSERT_TRUE(StartChildProcess("/bin/true", nullptr, "\0\0", nullptr, &child));
  EXPECT_EQ(ReadAll(child.output), "");  // it has ended
  std::string big(1 << 20, 'x');
  EXPECT_FALSE(WriteToFile(child.input, big.data(), static_cast<int32_t>(big.size())));
  ReleaseChildProcess(&child);
  ChildProcess missing{};
  EXPECT_FALSE(StartChildProcess((dir_ / "none").c_str(), nullptr, "\0\0", nullptr, &missing));
  EXPECT_EQ(missing.input, kInvalidFile);
  EXPECT_EQ(missing.output, kInvalidFile);
}

TEST_F(ProcessTest, ConcurrentStartsNeverShareChildEnds) {
  std::vector<std::thread> threads;
  std::atomic<int> clean{0};
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        ChildProcess child{};
        if (!StartChildProcess((dir_ / "probe").c_str(), "", "\0\0", nullptr, &child)) continue;
        CloseChildPipe(&child.input);
        std::string text = ReadAll(child.output);
        if (text.find("fds=0\n") != std::string::npos) clean.fetch_add(1);
        ReleaseChildProcess(&child);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(clean.load(), 80);
}

}  // namespace
