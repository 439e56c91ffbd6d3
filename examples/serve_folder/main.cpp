// Serves one folder on port 80 until standard input ends (or a line is
// typed): ambrel_serve_folder FOLDER [SCOPE]. A quick way to try the engine
// with a browser; run it inside its own network namespace when port 80 is
// taken.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "core/error.h"
#include "http/server.h"
#include "platform/files.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FOLDER [SCOPE]\n", argv[0]);
    return 2;
  }
  std::string folder = argv[1];
  if (folder.empty() || folder.back() != kPathSeparator) folder += kPathSeparator;
  int scope = argc > 2 ? std::atoi(argv[2]) : 0;
  EngineToken token{};
  try {
    StartServer(nullptr, folder.c_str(), &token, scope, 0, nullptr, 0);
  } catch (const ErrorText& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  std::fprintf(stderr, "serving %s on port 80; end input to stop\n", folder.c_str());
  std::string line;
  std::getline(std::cin, line);
  StopServer();
  return 0;
}
