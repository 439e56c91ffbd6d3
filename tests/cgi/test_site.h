// Shared by the gateway's end-to-end tests: a scratch site with PHP pages and
// CGI programs, a raw HTTP client, and a server run with chosen switches.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "http/server.h"
#include "support/http_response.h"
#include "support/wait.h"

namespace test_site {

// Runs a shell command; its standard output.
inline std::string RunCommand(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
  pclose(pipe);
  return output;
}

namespace fs = std::filesystem;

inline void WriteFile(const std::string& path, const std::string& text, bool executable = false) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << text;
  if (executable) chmod(path.c_str(), 0755);
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Compiles a C program with the system's compiler; false when that fails.
inline bool CompileC(const std::string& source, const std::string& program) {
  WriteFile(program + ".c", source);
  std::string command = "cc -o '" + program + "' '" + program + ".c'";
  bool ok = std::system(command.c_str()) == 0;
  fs::remove(program + ".c");
  return ok;
}

// A connected socket to port 80 at `host`, from `source` when given; retries
// (for 30 s and more) while the listener is still starting. -1 when it never
// connects.
inline int Connect(const char* host = "127.0.0.1", const char* source = nullptr) {
  int connected = -1;
  WaitUntil([&] {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (source != nullptr) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      inet_pton(AF_INET, source, &local.sin_addr);
      bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(80);
    inet_pton(AF_INET, host, &address.sin_addr);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
      connected = fd;
      return true;
    }
    close(fd);
    return false;
  });
  return connected;
}

inline bool SendText(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// One recv, asked again when a signal cut it short. A receive with a time
// limit is not restarted by the system: the SIGCHLD of a script that ends
// while a session thread blocks it wakes the waiting thread with EINTR even
// though nobody handles the signal.
inline ssize_t Receive(int fd, char* buffer, size_t size) {
  for (;;) {
    ssize_t n = recv(fd, buffer, size, 0);
    if (n >= 0 || errno != EINTR) return n;
  }
}

// Everything the server sends until it closes.
inline std::string ReceiveAll(int fd) {
  return testhttp::ReadAll([fd](char* buffer, size_t size) { return Receive(fd, buffer, size); });
}

// One request on a fresh connection; the whole answer up to the close. With
// `half_close` the client says it has nothing more to send.
inline std::string Exchange(const std::string& request, const char* host = "127.0.0.1",
                            const char* source = nullptr, bool half_close = false) {
  int fd = Connect(host, source);
  if (fd < 0) return "no connection";
  SendText(fd, request);
  if (half_close) shutdown(fd, SHUT_WR);
  std::string answer = ReceiveAll(fd);
  close(fd);
  return answer;
}

using testhttp::Response;
using testhttp::Split;

inline Response Get(const std::string& target, const std::string& headers = "") {
  return Split(Exchange("GET " + target + " HTTP/1.1\r\n" + headers + "\r\n"));
}

inline Response Post(const std::string& target, const std::string& body,
                     const std::string& headers = "") {
  return Split(Exchange("POST " + target + " HTTP/1.1\r\nContent-Length: " +
                        std::to_string(body.size()) + "\r\n" + headers + "\r\n" + body));
}

// Waits (up to 30 s) until every session has ended, so each has logged.
inline void WaitForSessions() {
  WaitUntil([] { return SessionCount.load() == 0; });
}

}  // namespace test_site
