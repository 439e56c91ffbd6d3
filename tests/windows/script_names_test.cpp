// Scripts under Windows names: a page or program asked for by another
// spelling of its name (letter case, an 8.3 short name) still runs, and is
// never sent as a file; PHP runs through php-cgi.exe, else php.exe, from the
// PHP folder (a stand-in interpreter that reports what it was given).
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <string>

#include "http/server.h"
#include "windows/win_client.h"

namespace {

using wintest::Exchange;
using wintest::Folder;
using wintest::RawClient;
using wintest::WaitFor;

std::string Built(const char* program) { return std::string(AMBREL_BINARY_DIR) + "/" + program; }

// The last component of the name's 8.3 short form, in upper case as the
// system shows short names.
std::string ShortName(const std::string& full_name) {
  char shortened[MAX_PATH + 1];
  DWORD n = GetShortPathNameA(full_name.c_str(), shortened, sizeof shortened);
  std::string name(shortened, n < sizeof shortened ? n : 0);
  name = name.substr(name.rfind('\\') + 1);
  std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::toupper(c); });
  return name;
}

std::string Get(const std::string& target, const std::string& body = "") {
  std::string method = body.empty() ? "GET " : "POST ";
  return Exchange(method + target + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                  "\r\n\r\n" + body);
}

class ScriptNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    site_.Write("page.phtml", "<?php echo 'page source';");
    site_.Write("picture.webp", "RIFF....WEBP");
    site_.Write("cgi-bin/form.pl", "#!" + site_.Root() + "cgi-bin\\standin.exe\r\nprint 'source';\r\n");
    std::filesystem::copy_file(Built("ambrel_cgi_standin.exe"), site_.Root() + "cgi-bin\\standin.exe");
    std::filesystem::copy_file(Built("ambrel_cgi_standin.exe"),
                               site_.Root() + "cgi-bin\\long-program-name.exe");
    std::filesystem::copy_file(Built("ambrel_php_standin.exe"), both_.Root() + "php-cgi.exe");
    std::filesystem::copy_file(Built("ambrel_php_standin.exe"), both_.Root() + "php.exe");
    std::filesystem::copy_file(Built("ambrel_php_standin.exe"), only_php_.Root() + "php.exe");
    Start(both_);
  }
  void TearDown() override { StopServer(); }
  void Start(const Folder& php) {
    StartServer(nullptr, site_.Root().c_str(), &token_, 0, 1, php.Root().c_str(), 1);
    ASSERT_TRUE(WaitFor([] { return RawClient().connected(); }));
  }

  Folder site_, both_, only_php_;
  EngineToken token_{};
};

TEST_F(ScriptNamesTest, OtherSpellingsOfAScriptsNameStillRunIt) {
  // The CGI folder in upper case: the program runs, its bytes never go out.
  for (const char* target : {"/CGI-BIN/standin.exe", "/Cgi-Bin/form.pl"}) {
    std::string got = Get(target);
    EXPECT_NE(got.find("\r\nX-Standin: 1\r\n"), std::string::npos) << target << "\n" << got;
    EXPECT_EQ(got.find("MZ"), std::string::npos) << target;
    EXPECT_EQ(got.find("print 'source'"), std::string::npos) << target;
  }
  EXPECT_NE(Get("/CGI-BIN/form.pl").find("\narg " + site_.Root() + "CGI-BIN\\form.pl\n"),
            std::string::npos);

  // The short names Wine (or Windows) gives a page, a program in the CGI
  // folder and the folder itself (Wine keeps "cgi-bin", an 8.3 name
  // already, as its own short name: it is asked for in upper case).
  const std::string page = ShortName(site_.Root() + "page.phtml");
  ASSERT_FALSE(page.empty());
  if (page == "PAGE.PHTML") GTEST_SKIP() << "this volume keeps no short names";
  std::string php = Get("/" + page, "a=1");
  EXPECT_NE(php.find("\r\nX-Php-Standin: 1\r\n"), std::string::npos) << page << "\n" << php;
  EXPECT_EQ(php.find("page source"), std::string::npos) << php;
  EXPECT_NE(php.find("\nprogram " + both_.Root() + "php-cgi.exe\n"), std::string::npos) << php;
  EXPECT_NE(php.find("\narg " + site_.Root() + page + "\n"), std::string::npos) << php;
  EXPECT_NE(php.find("\nenv REDIRECT_STATUS=200\n"), std::string::npos) << php;
  EXPECT_NE(php.find("\nenv CONTENT_LENGTH=3\n"), std::string::npos) << php;
  EXPECT_NE(php.find("\nbody a=1\n"), std::string::npos) << php;

  const std::string program = "/" + ShortName(site_.Root() + "cgi-bin") + "/" +
                              ShortName(site_.Root() + "cgi-bin\\long-program-name.exe");
  std::string cgi = Get(program);
  EXPECT_NE(cgi.find("\r\nX-Standin: 1\r\n"), std::string::npos) << program << "\n" << cgi;

  // A static file's media type follows its long name's extension, which its
  // short name cuts to three letters.
  const std::string picture = ShortName(site_.Root() + "picture.webp");
  EXPECT_NE(Get("/" + picture).find("\r\nContent-Type: image/webp\r\n"), std::string::npos) << picture;
}

TEST_F(ScriptNamesTest, PhpRunsThroughPhpCgiElsePhp) {
  std::string got = Get("/page.phtml?x=1");
  EXPECT_NE(got.find("\nprogram " + both_.Root() + "php-cgi.exe\n"), std::string::npos) << got;
  EXPECT_NE(got.find("\nenv QUERY_STRING=x=1\n"), std::string::npos) << got;
  EXPECT_NE(got.find("\nenv SCRIPT_FILENAME=" + site_.Root() + "page.phtml\n"), std::string::npos);
  StopServer();
  Start(only_php_);
  got = Get("/page.phtml", "posted");
  EXPECT_NE(got.find("\nprogram " + only_php_.Root() + "php.exe\n"), std::string::npos) << got;
  EXPECT_NE(got.find("\narg " + site_.Root() + "page.phtml\n"), std::string::npos) << got;
  EXPECT_NE(got.find("\nbody posted\n"), std::string::npos) << got;
}

}  // namespace
