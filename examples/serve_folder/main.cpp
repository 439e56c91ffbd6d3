// Serves one folder with the engine until standard input ends, a line is
// typed, or SIGINT/SIGTERM arrives. `make run` uses it on the demo site until
// the control window exists; the benchmark runs it beside its peers.
//   ambrel_serve_folder FOLDER [--php DIR] [--cgi] [--log DIR] [--scope N]
// Scope: 0 this machine only, 1 the local network, 2 everybody (the default).
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>

#include "core/error.h"
#include "http/server.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/thread.h"

namespace {

std::atomic<bool> StopRequested{false};

void OnSignal(int) { StopRequested = true; }

void ReadUntilStop(void*) {
  std::string line;
  std::getline(std::cin, line);
  StopRequested = true;
}

// An absolute directory name ending in the separator: scripts run in their
// own folder, so a relative serving directory would not name them there.
std::string AsDirectory(const char* text) {
  std::string dir = std::filesystem::absolute(text).lexically_normal().string();
  if (dir.empty() || dir.back() != kPathSeparator) dir += kPathSeparator;
  return dir;
}

struct Options {
  std::string folder, php, log;
  int cgi = 0;
  int scope = 2;
};

bool ParseOptions(int argc, char** argv, Options* o) {
  if (argc < 2) return false;
  o->folder = AsDirectory(argv[1]);
  for (int i = 2; i < argc; ++i) {
    bool has_value = i + 1 < argc;
    if (std::strcmp(argv[i], "--cgi") == 0) o->cgi = 1;
    else if (std::strcmp(argv[i], "--php") == 0 && has_value) o->php = AsDirectory(argv[++i]);
    else if (std::strcmp(argv[i], "--log") == 0 && has_value) o->log = AsDirectory(argv[++i]);
    else if (std::strcmp(argv[i], "--scope") == 0 && has_value) o->scope = std::atoi(argv[++i]);
    else return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (!ParseOptions(argc, argv, &o)) {
    std::fprintf(stderr, "usage: %s FOLDER [--php DIR] [--cgi] [--log DIR] [--scope N]\n", argv[0]);
    return 2;
  }
  std::signal(SIGTERM, OnSignal);
  std::signal(SIGINT, OnSignal);
  EngineToken token{};
  try {
    StartServer(o.log.empty() ? nullptr : o.log.c_str(), o.folder.c_str(), &token, o.scope,
                o.php.empty() ? 0 : 1, o.php.empty() ? nullptr : o.php.c_str(), o.cgi);
  } catch (const ErrorText& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  std::fprintf(stderr, "serving %s on port 80; press Enter (or Ctrl+C) to stop\n", o.folder.c_str());
  // Standard input ending or a typed line stops the server too. The reader
  // is a plain thread left running: it may still be on its way out while
  // the process ends, and has nothing of its own to tear down then.
  ThreadHandle reader = StartThread(ReadUntilStop, nullptr, 0, nullptr);
  if (reader != kInvalidThread) CloseThreadHandle(reader);
  while (!StopRequested) SleepMilliseconds(50);
  StopServer();
  return 0;
}
