// Scripts asked for by another spelling of their names (letter case, Wine's
// own 8.3 short names) still run and are never sent as files; PHP runs
// through php-cgi.exe, else php.exe, of the PHP folder (the stand-in CGI
// program under those names reports its command line, environment and body).
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <string>

#include "http/server.h"
#include "windows/win_client.h"

namespace {

using wintest::Exchange;
using wintest::Folder;
using wintest::RawClient;

// The last component of the name's 8.3 short form, in upper case.
std::string ShortName(const std::string& full_name) {
  char shortened[MAX_PATH + 1];
  DWORD n = GetShortPathNameA(full_name.c_str(), shortened, sizeof shortened);
  std::string name(shortened, n < sizeof shortened ? n : 0);
  name = name.substr(name.rfind('\\') + 1);
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

std::string Post(const std::string& target, const std::string& body = "") {
  return Exchange("POST " + target + " HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                  "\r\n\r\n" + body);
}

TEST(ScriptNames, OtherSpellingsRunTheScriptAndPhpRunsThroughPhpCgiElsePhp) {
  Folder site, both, only_php;
  const std::string standin = std::string(AMBREL_BINARY_DIR) + "/ambrel_cgi_standin.exe";
  site.Write("page.phtml", "<?php echo 'page source';");
  site.Write("picture.webp", "RIFF....WEBP");
  site.Write("cgi-bin/form.pl", "#!" + site.Root() + "cgi-bin\\standin.exe\r\nprint 'source';\r\n");
  std::filesystem::create_directories(site.Root() + "upper\\CGI-BIN");
  for (const std::string& copy :
       {site.Root() + "cgi-bin\\standin.exe", site.Root() + "cgi-bin\\long-program.exe",
        site.Root() + "upper\\CGI-BIN\\standin.exe",
        both.Root() + "php-cgi.exe", both.Root() + "php.exe", only_php.Root() + "php.exe"}) {
    std::filesystem::copy_file(standin, copy);
  }
  EngineToken token{};
  StartServer(nullptr, site.Root().c_str(), &token, 0, 1, both.Root().c_str(), 1);
  ASSERT_TRUE(WaitUntil([] { return RawClient().connected(); }));

  // Wine keeps "cgi-bin", an 8.3 name already, as its own short name: the
  // folder is asked for in upper case, as 8.3 names are written. A folder
  // kept as "CGI-BIN" is a CGI folder too.
  const std::string page = ShortName(site.Root() + "page.phtml");
  const std::string program = ShortName(site.Root() + "cgi-bin") + "/" +
                              ShortName(site.Root() + "cgi-bin\\long-program.exe");
  for (const std::string& target :
       {std::string("/CGI-BIN/standin.exe"), std::string("/Cgi-Bin/form.pl"),
        std::string("/upper/cgi-bin/standin.exe"), "/" + program, "/" + page}) {
    std::string got = Post(target, "a=1");
    // In the head: the program's own bytes hold that line too.
    EXPECT_NE(got.substr(0, got.find("\r\n\r\n")).find("\r\nX-Standin: 1"), std::string::npos)
        << target;
    EXPECT_EQ(got.find("source"), std::string::npos) << target;
  }
  EXPECT_NE(page.find('~'), std::string::npos) << page;
  std::string php = Post("/" + page, "a=1");
  for (const std::string& line : {"cmd " + both.Root() + "php-cgi.exe " + site.Root() + page + "\n",
                                  std::string("env REDIRECT_STATUS=200\n"), std::string("body a=1\n")}) {
    EXPECT_NE(php.find("\n" + line), std::string::npos) << line << php;
  }
  // A file's media type follows its long name, which the short one cuts.
  EXPECT_NE(Post("/" + ShortName(site.Root() + "picture.webp")).find("\r\nContent-Type: image/webp\r\n"),
            std::string::npos);

  StopServer();
  StartServer(nullptr, site.Root().c_str(), &token, 0, 1, only_php.Root().c_str(), 1);
  ASSERT_TRUE(WaitUntil([] { return RawClient().connected(); }));
  php = Post("/page.phtml?x=1");
  EXPECT_NE(php.find("\ncmd " + only_php.Root() + "php.exe " + site.Root() + "page.phtml\n"),
            std::string::npos) << php;
  EXPECT_NE(php.find("\nenv QUERY_STRING=x=1\n"), std::string::npos) << php;
  StopServer();
}

}  // namespace
