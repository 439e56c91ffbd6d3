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

#include "support/http_response.h"
#include "support/test_os.h"
#include "support/wait.h"

namespace wintest {

// True under Wine (its ntdll exports wine_get_version).
inline bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
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
    int last = 0;
    std::string all = testhttp::ReadAll([&](char* buffer, size_t size) {
      return last = recv(socket_, buffer, static_cast<int>(size), 0);
    });
    if (ended != nullptr) *ended = last == 0 || WSAGetLastError() != WSAETIMEDOUT;
    return all;
  }
  std::string ReadExactly(size_t count) { return testhttp::ReadExactly(Receiver{this}, count); }
  std::string ReadHead() { return testhttp::ReadHead(Receiver{this}); }
  // A response whose head carries Content-Length: head and body.
  std::string ReadResponse() { return testhttp::ReadResponse(Receiver{this}); }

 private:
  // The byte source of the shared response reader.
  struct Receiver {
    RawClient* client;
    int operator()(char* buffer, size_t size) const {
      return recv(client->socket_, buffer, static_cast<int>(size), 0);
    }
  };

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
