// The demo site through the real engine, driven by curl and headless
// Chromium: a PHP form POST shows its fields, the shell CGI script answers,
// and the day's log holds one line per request after the stop.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>

#include "http/server.h"
#include "log/log_line.h"
#include "platform/clock.h"
#include "test_site.h"

using namespace test_site;

namespace {

struct LogFields {
  std::string method, target, status, referer, agent;
};

// Splits a line of the combined layout as the log writes it for a loopback
// client: peer, stamp with zone, request, status, bytes, referer, agent.
bool ParseLogLine(const std::string& line, LogFields* f) {
  const std::string peer = "127.0.0.1 - - [";
  size_t stamp_end = line.find("] \"");
  if (line.rfind(peer, 0) != 0 || stamp_end != peer.size() + 26) return false;
  std::istringstream request(line.substr(stamp_end + 3));
  std::string version, bytes, rest;
  request >> f->method >> f->target >> version >> f->status >> bytes;
  std::getline(request, rest);
  if (version != "HTTP/1.1\"" || bytes.empty() || rest.size() < 6 || rest.back() != '"') {
    return false;
  }
  size_t middle = rest.find("\" \"");
  if (rest.rfind(" \"", 0) != 0 || middle == std::string::npos) return false;
  f->referer = rest.substr(2, middle - 2);
  f->agent = rest.substr(middle + 3, rest.size() - middle - 4);
  return true;
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
  std::vector<std::string> requests;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    LogFields f;
    ASSERT_TRUE(ParseLogLine(line, &f)) << line;
    if (f.target == "/favicon.ico") {
      EXPECT_EQ(f.status, "404");
      continue;
    }
    EXPECT_EQ(f.status, "200") << line;
    requests.push_back(f.method + " " + f.target);
    if (f.target == "/form.php" && f.agent.rfind("curl/", 0) != 0) {
      EXPECT_EQ(f.referer, "http://127.0.0.1/autopost.html") << line;
    }
  }
  std::vector<std::string> expected = {"GET /autopost.html", "POST /form.php",
                                       "GET /cgi-bin/hello.sh?name=<b>", "POST /form.php"};
  EXPECT_EQ(requests, expected) << log;
  std::printf("%s", log.c_str());
  fs::remove_all(root);
}

}  // namespace
