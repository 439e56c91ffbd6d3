// The demo site through the real engine, driven by curl and headless
// Chromium: a PHP form POST shows its fields, the shell CGI script answers,
// and the day's log holds one line per request after the stop.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <regex>

#include "http/server.h"
#include "log/log_line.h"
#include "platform/clock.h"
#include "test_site.h"

using namespace test_site;

namespace {

// Runs a shell command; its standard output.
std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  pclose(pipe);
  return output;
}

TEST(DemoSite, FormPostFromChromiumAndCurlAreServedAndLogged) {
  char pattern[] = "/tmp/ambrel-browser-XXXXXX";
  std::string root = mkdtemp(pattern);
  std::string site = root + "/site/";
  fs::copy(AMBREL_SOURCE_DIR "/examples/site", site, fs::copy_options::recursive);
  // A page that sends the demo form at once, as a user pressing Send would.
  WriteFile(site + "autopost.html",
            "<!DOCTYPE html><html><body onload=\"document.forms[0].submit()\">"
            "<form method=\"post\" action=\"form.php\"><input name=\"name\" value=\"Ada &amp; Co\">"
            "<input name=\"colour\" value=\"green\"></form></body></html>");
  EngineToken token{};
  StartServer((root + "/logs").c_str(), site.c_str(), &token, 0, 1, "/usr/bin/", 1);
  // Wait until it listens; the probe connection closes unused (400, unlogged).
  int probe = Connect();
  ASSERT_GE(probe, 0);
  close(probe);

  std::string profile = root + "/profile";
  std::string dom = RunCommand(
      "timeout 60 /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic "
      "--no-first-run --disable-background-networking --disable-component-update --disable-sync "
      "--user-data-dir=" + profile + " --virtual-time-budget=10000 --dump-dom "
      "http://127.0.0.1/autopost.html 2>/dev/null");
  EXPECT_NE(dom.find("<dt>name</dt><dd>Ada &amp; Co</dd>"), std::string::npos) << dom;
  EXPECT_NE(dom.find("<dt>colour</dt><dd>green</dd>"), std::string::npos) << dom;

  std::string page = RunCommand("curl -s 'http://127.0.0.1/cgi-bin/hello.sh?name=<b>'");
  EXPECT_NE(page.find("<h1>Hello from a shell CGI script</h1>"), std::string::npos) << page;
  EXPECT_NE(page.find("<p>Query: name=&lt;b&gt;</p>"), std::string::npos) << page;
  std::string posted = RunCommand("curl -s -d name=Bob -d colour=red http://127.0.0.1/form.php");
  EXPECT_NE(posted.find("<dt>name</dt><dd>Bob</dd>"), std::string::npos) << posted;

  WaitForSessions();
  StopServer();
  LocalTime now;
  ASSERT_TRUE(GetLocalTimeNow(&now));
  std::string log = ReadFile(root + "/logs/" + DailyLogFileName(now.time));
  // Chromium may also ask for the icon (a 404); everything else is fixed.
  std::regex line_form(
      R"RE(127\.0\.0\.1 - - \[\d\d/\w\w\w/\d{4}:\d\d:\d\d:\d\d [+-]\d{4}\] "(GET|POST) (\S+) HTTP/1\.1" (\d+) (\d+) "([^"]*)" "([^"]*)")RE");
  std::vector<std::string> requests;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, line_form)) << line;
    if (m[2] == "/favicon.ico") {
      EXPECT_EQ(m[3], "404");
      continue;
    }
    EXPECT_EQ(m[3], "200") << line;
    requests.push_back(m[1].str() + " " + m[2].str());
    if (m[2] == "/form.php" && m[6].str().rfind("curl/", 0) != 0) {
      EXPECT_EQ(m[5], "http://127.0.0.1/autopost.html") << line;
    }
  }
  std::vector<std::string> expected = {"GET /autopost.html", "POST /form.php",
                                       "GET /cgi-bin/hello.sh?name=<b>", "POST /form.php"};
  EXPECT_EQ(requests, expected) << log;
  std::printf("%s", log.c_str());
  fs::remove_all(root);
}

}  // namespace
