// A script's streams as a Windows program on port 80: a filter (a native
// .exe under \cgi-bin\) echoes a mebibyte while it reads it, and what it says
// on its standard error reaches the day's script error file.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "http/server.h"
#include "log/access_log.h"
#include "windows/win_client.h"

namespace {

using wintest::Folder;
using wintest::RawClient;

// 8 December 2026, 10:20:30, one hour east of UTC.
bool FixedClock(LocalTime* out) {
  *out = LocalTime{CalendarTime{2026, 12, 2, 8, 10, 20, 30, 0}, true, 60};
  return true;
}

std::string ReadWhole(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(WindowsScriptStreams, AFilterEchoesAMebibyteAsItReadsAndItsErrorsAreFiled) {
  Folder site, logs;
  std::filesystem::create_directories(site.Root() + "cgi-bin");
  std::filesystem::copy_file(std::string(AMBREL_BINARY_DIR) + "/ambrel_cgi_echo.exe",
                             site.Root() + "cgi-bin\\echo.exe");
  LogClock previous = SetLogClock(FixedClock);
  EngineToken token{};
  StartServer(logs.Root().c_str(), site.Root().c_str(), &token, 0, 0, nullptr, 1);
  ASSERT_TRUE(WaitUntil([] { return RawClient().connected(); }));

  std::string body(1 << 20, '\0');
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>((i * 131) ^ (i >> 11));
  RawClient client;
  // Sent while the answer is read, as a real client does.
  std::thread sender([&] {
    client.Send("POST /cgi-bin/echo.exe HTTP/1.1\r\nContent-Length: " + std::to_string(body.size()) +
                "\r\n\r\n" + body);
  });
  std::string answer = client.ReadAll();
  sender.join();
  size_t end = answer.find("\r\n\r\n");
  ASSERT_NE(end, std::string::npos) << answer.substr(0, 200);
  EXPECT_EQ(answer.substr(0, 17), "HTTP/1.1 200 OK\r\n") << answer.substr(0, 200);
  EXPECT_EQ(answer.size() - end - 4, body.size());
  EXPECT_TRUE(answer.compare(end + 4, std::string::npos, body) == 0) << "the echo differs";

  const std::string file = logs.Root() + "Ambrel_HTTP_errors_12_08_2026.log";
  const std::string line = "[08/Dec/2026:10:20:30 +0100] " + site.Root() +
                           "cgi-bin\\echo.exe: echo: 1048576 bytes\n";
  EXPECT_TRUE(WaitUntil([&] { return ReadWhole(file) == line; })) << ReadWhole(file);
  StopServer();
  SetLogClock(previous);
}

}  // namespace
