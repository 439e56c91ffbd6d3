// clang-format off
#include <winsock2.h>
#include <windows.h>
// clang-format on

#include <cstring>
#include <mutex>

#include "support/test_os.h"

namespace testos {

namespace {

// The tests' own start of the socket library, held for the program's life.
void StartSockets() {
  static std::once_flag once;
  std::call_once(once, [] {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
  });
}

}  // namespace

bool MakeSocketPair(SocketHandle out[2]) {
  StartSockets();
  SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (listener == INVALID_SOCKET) return false;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof(address);
  SOCKET client = INVALID_SOCKET, server = INVALID_SOCKET;
  if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      listen(listener, 1) == 0 &&
      getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    client = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (client != INVALID_SOCKET &&
        connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
      server = accept(listener, nullptr, nullptr);
    }
  }
  closesocket(listener);
  if (server == INVALID_SOCKET) {
    if (client != INVALID_SOCKET) closesocket(client);
    return false;
  }
  out[0] = static_cast<SocketHandle>(server);
  out[1] = static_cast<SocketHandle>(client);
  return true;
}

bool WriteAll(SocketHandle socket, const std::string& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    int n = send(static_cast<SOCKET>(socket), bytes.data() + sent,
                 static_cast<int>(bytes.size() - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

std::string ReadToEnd(SocketHandle socket) {
  std::string all;
  char buffer[4096];
  int n;
  while ((n = recv(static_cast<SOCKET>(socket), buffer, sizeof(buffer), 0)) > 0) all.append(buffer, n);
  return all;
}

void ShutdownSending(SocketHandle socket) { shutdown(static_cast<SOCKET>(socket), SD_SEND); }

void CloseTestSocket(SocketHandle socket) { closesocket(static_cast<SOCKET>(socket)); }

FileHandle PipeHolding(const std::string& bytes) {
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, nullptr, static_cast<DWORD>(bytes.size() + 4096))) {
    return kInvalidFile;
  }
  DWORD written = 0;
  bool ok = bytes.empty() ||
            (WriteFile(write_end, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
             written == bytes.size());
  CloseHandle(write_end);
  if (!ok) {
    CloseHandle(read_end);
    return kInvalidFile;
  }
  return reinterpret_cast<FileHandle>(read_end);
}

std::string MakeTempFolder(const char* prefix) {
  char base[MAX_PATH + 1];
  DWORD n = GetTempPathA(sizeof base, base);
  if (n == 0 || n > MAX_PATH) return std::string();
  for (unsigned attempt = 0; attempt < 100; ++attempt) {
    std::string name = std::string(base) + prefix + "-" + std::to_string(GetCurrentProcessId()) +
                       "-" + std::to_string(GetTickCount() + attempt);
    if (CreateDirectoryA(name.c_str(), nullptr)) return name;
  }
  return std::string();
}

std::string OwnProgramFolder() {
  char path[MAX_PATH + 1];
  DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
  std::string name(path, n);
  size_t cut = name.rfind('\\');
  return cut == std::string::npos ? name : name.substr(0, cut);
}

std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

bool MakeFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool MarkReadOnly(const std::string& path, bool readOnly) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return false;
  attributes = readOnly ? (attributes | FILE_ATTRIBUTE_READONLY) : (attributes & ~DWORD{FILE_ATTRIBUTE_READONLY});
  return SetFileAttributesA(path.c_str(), attributes) != 0;
}

bool PathExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Through the system's own calls, so names in the code page come out right.
void RemoveTree(const std::string& path) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string inner = path + "\\" + name;
      SetFileAttributesA(inner.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(inner);
      } else {
        DeleteFileA(inner.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(path.c_str());
}

SocketHandle HoldPort(int port) {
  StartSockets();
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kInvalidSocket;
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 1) != 0) {
    closesocket(s);
    return kInvalidSocket;
  }
  return static_cast<SocketHandle>(s);
}

// The socket library is started for each fetch and ended after it, not held:
// while a program holds a start of its own, the engine's stop cannot end the
// library, and a stop that comes before the listener's first accept then
// leaves that accept waiting (only the library's end closes the socket under
// it). The program itself holds no other start.
std::string FetchLocal(int port, const std::string& request) {
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return {};
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) {
    WSACleanup();
    return {};
  }
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<u_short>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // An answer that never ends fails the test instead of holding it.
  const DWORD limit = 10000;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&limit), sizeof limit);
  std::string answer;
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      WriteAll(static_cast<SocketHandle>(s), request)) {
    char buffer[4096];
    for (int n; (n = recv(s, buffer, sizeof buffer, 0)) > 0;) answer.append(buffer, size_t(n));
  }
  closesocket(s);
  WSACleanup();
  return answer;
}

}  // namespace testos
