// Helpers of the Windows engine tests: a raw Winsock client, folders with
// files, waiting for a condition and telling Wine from Windows.
#pragma once

// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "support/test_os.h"

namespace wintest {

// True under Wine (its ntdll exports wine_get_version).
inline bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Waits (at most 20 s) until `done` holds; false when it never did.
template <typename Condition>
bool WaitFor(Condition done) {
  for (int i = 0; i < 2000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  return done();
}

// A folder with the engine's directory convention (one trailing backslash);
// removed with everything in it at the end.
class Folder {
 public:
  Folder() : path_(testos::MakeTempFolder("ambrel-win")) {}
  ~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string Root() const { return path_ + "\\"; }
  std::string Write(const std::string& relative, const std::string& content) const {
    std::filesystem::path full = std::filesystem::path(path_) / testos::Native(relative);
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << content;
    return full.string();
  }

 private:
  std::string path_;
};

// A TCP connection to port 80 of 127.0.0.1. `own_start` makes the client
// hold a start of the socket library of its own for its life; without it
// the client lives on the engine's start, as a program with no other socket
// user would, and the engine's end of the library closes it too.
class RawClient {
 public:
  // `from`: the local address to connect from (dotted), or null.
  explicit RawClient(bool own_start = true, const char* from = nullptr) : own_start_(own_start) {
    WSADATA data;
    if (own_start_) WSAStartup(MAKEWORD(2, 2), &data);
    socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    DWORD limit = 20000;  // every receive gives up after 20 s
    setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof(limit));
    if (from != nullptr) {
      sockaddr_in local{};
      local.sin_family = AF_INET;
      local.sin_addr.s_addr = inet_addr(from);
      bind(socket_, reinterpret_cast<sockaddr*>(&local), sizeof(local));
    }
    sockaddr_in server{};
    server.sin_family = AF_INET;
    server.sin_port = htons(80);
    server.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = socket_ != INVALID_SOCKET &&
                 connect(socket_, reinterpret_cast<sockaddr*>(&server), sizeof(server)) == 0;
  }
  ~RawClient() {
    if (socket_ != INVALID_SOCKET) closesocket(socket_);
    if (own_start_) WSACleanup();
  }
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;
  bool connected() const { return connected_; }
  bool Send(const std::string& bytes) {
    return send(socket_, bytes.data(), static_cast<int>(bytes.size()), 0) == static_cast<int>(bytes.size());
  }
  void ShutdownWrite() { shutdown(socket_, SD_SEND); }
  // Everything until the server closes (or the time limit); `ended` tells
  // whether the connection ended (a close or a reset, not the time limit).
  std::string ReadAll(bool* ended = nullptr) {
    std::string all;
    char buffer[16384];
    int n;
    while ((n = recv(socket_, buffer, sizeof(buffer), 0)) > 0) all.append(buffer, n);
    if (ended != nullptr) *ended = n == 0 || WSAGetLastError() != WSAETIMEDOUT;
    return all;
  }
  std::string ReadExactly(size_t count) {
    std::string all;
    char buffer[16384];
    while (all.size() < count) {
      int want = static_cast<int>(std::min(sizeof(buffer), count - all.size()));
      int n = recv(socket_, buffer, want, 0);
      if (n <= 0) break;
      all.append(buffer, n);
    }
    return all;
  }
  std::string ReadHead() {
    std::string head;
    char c;
    while (head.find("\r\n\r\n") == std::string::npos && recv(socket_, &c, 1, 0) == 1) head += c;
    return head;
  }
  // A response whose head carries Content-Length: head and body.
  std::string ReadResponse() {
    std::string head = ReadHead();
    size_t at = head.find("Content-Length: ");
    if (at == std::string::npos) return head;
    return head + ReadExactly(std::strtoull(head.c_str() + at + 16, nullptr, 10));
  }

 private:
  bool own_start_;
  SOCKET socket_ = INVALID_SOCKET;
  bool connected_ = false;
};

inline std::string Exchange(const std::string& request) {
  RawClient client;
  client.Send(request);
  client.ShutdownWrite();
  return client.ReadAll();
}

}  // namespace wintest
