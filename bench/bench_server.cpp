// The engine as the benchmark runs it: serves FOLDER on port 80 with PHP,
// CGI and logging as asked, until SIGTERM or SIGINT.
//   ambrel_bench_server FOLDER [--php DIR] [--cgi] [--log DIR] [--scope N]
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/error.h"
#include "http/server.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

std::string AsDirectory(const char* text) {
  std::string dir = text;
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  return dir;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [--php DIR] [--cgi] [--log DIR] [--scope N]\n", argv[0]);
    return 2;
  }
  std::string folder = AsDirectory(argv[1]), php, log;
  int cgi = 0, scope = 2;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--cgi") == 0) cgi = 1;
    else if (std::strcmp(argv[i], "--php") == 0 && i + 1 < argc) php = AsDirectory(argv[++i]);
    else if (std::strcmp(argv[i], "--log") == 0 && i + 1 < argc) log = AsDirectory(argv[++i]);
    else if (std::strcmp(argv[i], "--scope") == 0 && i + 1 < argc) scope = std::atoi(argv[++i]);
  }
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  EngineToken token{};
  try {
    StartServer(log.empty() ? nullptr : log.c_str(), folder.c_str(), &token, scope,
                php.empty() ? 0 : 1, php.empty() ? nullptr : php.c_str(), cgi);
  } catch (const ErrorText& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  while (!g_stop) SleepMilliseconds(50);
  StopServer();
  return 0;
}
