// Real clients against the engine on port 80 of a private network
// namespace: curl, Python's http.client and headless Chromium fetch pages,
// an image and a directory redirect, with keep-alive where they ask for it,
// and files with their media types (a module script, an SVG image).
#include <gtest/gtest.h>

#include "http/test_support.h"

namespace {

using test::RunCommand;
using test::RunningServer;
using test::TempFolder;

class ClientsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.Write("index.html",
                "<html><head><title>t</title></head><body><h1>Hello</h1>"
                "<img src=\"/img/a.png\" onload=\"document.title='w'+this.naturalWidth\">"
                "</body></html>");
    site_.Write("page.html", "<p>page</p>");
    site_.Write("docs/index.html", "docs index");
    site_.MakeDirectory("img");
    RunCommand("convert -size 4x4 xc:red " + site_.Root() + "img/a.png");
    // A page that today's browsers take only with media types: a module
    // script (importing another) and an SVG image, whose natural size the
    // module writes into the title.
    site_.Write("modern.html",
                "<html><head><title>t</title><script type=\"module\" src=\"/js/main.mjs\"></script>"
                "</head><body><img id=\"logo\" src=\"/img/Logo.SVG\"></body></html>");
    site_.Write("js/main.mjs",
                "import {size} from './size.js';\n"
                "const img = document.getElementById('logo');\n"
                "const show = () => { document.title = 'module ' + size(img); };\n"
                "if (img.complete) show(); else { img.onload = show; img.onerror = show; }\n");
    site_.Write("js/size.js", "export const size = (img) => img.naturalWidth + 'x' + img.naturalHeight;\n");
    site_.Write("img/Logo.SVG",
                "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"37\" height=\"23\">"
                "<rect width=\"37\" height=\"23\" fill=\"teal\"/></svg>");
    site_.Write("tool.py", "print(1)\n");
    site_.Write("notes.unknownext", "plain");
    server_ = std::make_unique<RunningServer>(site_.Root());
  }

  TempFolder site_;
  std::unique_ptr<RunningServer> server_;
};

TEST_F(ClientsTest, Curl) {
  const std::string curl = "timeout 20 curl -s ";
  EXPECT_EQ(RunCommand(curl + "http://127.0.0.1/page.html"), "<p>page</p>");
  EXPECT_EQ(RunCommand(curl + "-L -w ' %{http_code} %{num_redirects}' http://127.0.0.1/docs"),
            "docs index 200 1");
  EXPECT_EQ(RunCommand(curl + "-o /dev/null -w '%{http_code}' --path-as-is "
                              "http://127.0.0.1/docs/../page.html"),
            "400");
  EXPECT_EQ(RunCommand(curl + "-o /dev/null -w '%{http_code}' -X PUT http://127.0.0.1/page.html"),
            "501");
  // Two files over one kept-alive connection.
  std::string verbose = RunCommand(curl + "-v -H 'Connection: Keep-Alive' http://127.0.0.1/page.html "
                                          "http://127.0.0.1/docs/ 2>&1");
  EXPECT_NE(verbose.find("Re-using existing connection"), std::string::npos) << verbose;
  EXPECT_NE(verbose.find("<p>page</p>"), std::string::npos) << verbose;
  EXPECT_NE(verbose.find("docs index"), std::string::npos) << verbose;
  // Media types: the built-in table in any letter case, the system's table
  // for the rest, none for an unknown extension (the browser sniffs).
  std::string types;
  for (const char* path : {"/page.html", "/js/main.mjs", "/img/Logo.SVG", "/img/a.png", "/tool.py",
                           "/notes.unknownext"}) {
    types += RunCommand(curl + "-o /dev/null -w '%{content_type};' http://127.0.0.1" + path);
  }
  EXPECT_EQ(types, "text/html;text/javascript;image/svg+xml;image/png;text/x-python;;");
}

TEST_F(ClientsTest, PythonHttpClient) {
  const char* script = R"(
import http.client
c = http.client.HTTPConnection("127.0.0.1", 80, timeout=20)
out = []
for path in ["/page.html", "/missing", "/docs", "/img/a.png"]:
    c.request("GET", path, headers={"Connection": "Keep-Alive"})
    r = c.getresponse()
    body = r.read()
    out.append("%s %d %s %d %s" % (path, r.status, r.reason, len(body), r.getheader("Location", "-")))
    first = first if path != "/page.html" else c.sock
print(";".join(out), c.sock is first)
)";
  std::string out = RunCommand("timeout 30 python3 -c \"$(cat <<'PY'\n" + std::string(script) + "PY\n)\"");
  EXPECT_EQ(out,
            "/page.html 200 OK 11 -;/missing 404 Not Found 0 -;/docs 301 Moved 0 /docs/;"
            "/img/a.png 200 OK " + std::to_string(std::filesystem::file_size(site_.Root() + "img/a.png")) +
            " - True\n");
}

std::string Chromium(const std::string& url) {
  return RunCommand(
      "profile=$(mktemp -d) && timeout 60 /usr/bin/chromium --headless --no-sandbox --disable-gpu "
      "--disable-quic --no-first-run --disable-background-networking --disable-component-update "
      "--disable-sync --user-data-dir=$profile --dump-dom " + url + " 2>/dev/null; rm -rf $profile");
}

TEST_F(ClientsTest, HeadlessChromium) {
  // The page's image reports its width into the title once it has loaded.
  EXPECT_NE(Chromium("http://127.0.0.1/").find("<title>w4</title>"), std::string::npos);
  EXPECT_NE(Chromium("http://127.0.0.1/docs").find("docs index"), std::string::npos);
  EXPECT_NE(Chromium("http://127.0.0.1/img/a.png").find("a.png (4"), std::string::npos);
  // The module ran, and the SVG image came with its natural size.
  EXPECT_NE(Chromium("http://127.0.0.1/modern.html").find("<title>module 37x23</title>"),
            std::string::npos);
}

}  // namespace
