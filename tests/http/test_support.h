// Helpers for the engine's tests: temporary serving folders, a raw client
// over real sockets, waiting for a condition, running a command and a server
// that is started and stopped around a test.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "http/server.h"
#include "support/http_response.h"
#include "support/wait.h"

namespace test {

// A folder under /tmp that is removed with everything in it at the end.
class TempFolder {
 public:
  TempFolder() {
    char name[] = "/tmp/ambrel-test-XXXXXX";
    path_ = mkdtemp(name);
  }
  ~TempFolder() { std::filesystem::remove_all(path_); }
  // The folder with its trailing separator, as the engine keeps directories.
  std::string Root() const { return path_ + "/"; }
  std::string Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path full = std::filesystem::path(path_) / relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full.string();
  }
  void MakeDirectory(const std::string& relative) const {
    std::filesystem::create_directories(std::filesystem::path(path_) / relative);
  }

 private:
  std::string path_;
};

// A TCP connection to the server; every receive gives up after 60 s so a
// broken server fails the test instead of hanging it.
class RawClient {
 public:
  explicit RawClient(const char* address = "127.0.0.1", const char* from = nullptr) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{60, 0};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof(limit));
    if (from != nullptr) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      inet_pton(AF_INET, from, &local.sin_addr);
      bind(fd_, reinterpret_cast<sockaddr*>(&local), sizeof(local));
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(80);
    inet_pton(AF_INET, address, &server.sin_addr);
    connected_ = connect(fd_, reinterpret_cast<sockaddr*>(&server), sizeof(server)) == 0;
  }
  ~RawClient() { Close(); }
  bool connected() const { return connected_; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }
  void ShutdownWrite() { shutdown(fd_, SHUT_WR); }
  bool Send(const std::string& bytes) {
    return send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // Everything until the server closes (or the time limit).
  std::string ReadAll() { return testhttp::ReadAll(Receiver{this}); }
  // Exactly `count` bytes, fewer only when the connection ends first.
  std::string ReadExactly(size_t count) { return testhttp::ReadExactly(Receiver{this}, count); }
  // One response head, up to and including its empty line.
  std::string ReadHead() { return testhttp::ReadHead(Receiver{this}); }
  // A response whose head carries Content-Length: head and body.
  std::string ReadResponse() { return testhttp::ReadResponse(Receiver{this}); }

 private:
  // One recv, asked again when a signal cut it short: with a time limit the
  // system does not restart it, and a child's SIGCHLD can wake it even
  // though nobody handles the signal.
  // The byte source of the shared response reader.
  struct Receiver {
    RawClient* client;
    ssize_t operator()(char* buffer, size_t size) const { return client->Receive(buffer, size); }
  };
  ssize_t Receive(char* buffer, size_t size) {
    for (;;) {
      ssize_t n = recv(fd_, buffer, size, 0);
      if (n >= 0 || errno != EINTR) return n;
    }
  }

  int fd_ = -1;
  bool connected_ = false;
};

// Runs a shell command and returns what it wrote to standard output.
inline std::string RunCommand(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

// Starts the engine on a folder for the length of a scope.
class RunningServer {
 public:
  // Returns once the listener accepts connections (at most 20 s), unless
  // told not to wait (a test of a listener that cannot listen).
  explicit RunningServer(const std::string& root, int32_t scope = 0, bool wait = true) {
    StartServer(nullptr, root.c_str(), &token_, scope, 0, nullptr, 0);
    for (int i = 0; wait && i < 2000; ++i) {
      if (RawClient().connected()) break;
      usleep(10000);
    }
  }
  ~RunningServer() { StopServer(); }

 private:
  EngineToken token_{};
};

}  // namespace test
