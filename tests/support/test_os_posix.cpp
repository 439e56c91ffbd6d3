#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "support/test_os.h"

namespace testos {

bool MakeSocketPair(SocketHandle out[2]) {
  int fds[2];
  if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return false;
  out[0] = fds[0];
  out[1] = fds[1];
  return true;
}

bool WriteAll(SocketHandle socket, const std::string& bytes) {
  return write(static_cast<int>(socket), bytes.data(), bytes.size()) ==
         static_cast<ssize_t>(bytes.size());
}

std::string ReadToEnd(SocketHandle socket) {
  std::string all;
  char buffer[4096];
  ssize_t n;
  while ((n = read(static_cast<int>(socket), buffer, sizeof(buffer))) > 0) all.append(buffer, n);
  return all;
}

void ShutdownSending(SocketHandle socket) { shutdown(static_cast<int>(socket), SHUT_WR); }

void CloseTestSocket(SocketHandle socket) { close(static_cast<int>(socket)); }

FileHandle PipeHolding(const std::string& bytes) {
  int fds[2];
  if (pipe(fds) != 0) return kInvalidFile;
  bool written = write(fds[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
  close(fds[1]);
  if (!written) {
    close(fds[0]);
    return kInvalidFile;
  }
  return fds[0];
}

std::string MakeTempFolder(const char* prefix) {
  std::string pattern = std::string("/tmp/") + prefix + "-XXXXXX";
  return mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

std::string OwnProgramFolder() {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

std::string Native(std::string path) { return path; }

bool MakeFolder(const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }

bool MarkReadOnly(const std::string& path, bool readOnly) {
  return chmod(path.c_str(), readOnly ? 0444 : 0644) == 0;
}

bool PathExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

SocketHandle HoldPort(int port) {
  const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return kInvalidSocket;
  const int reuse = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof(reuse));
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(s, 1) != 0) {
    close(s);
    return kInvalidSocket;
  }
  return static_cast<SocketHandle>(s);
}

std::string FetchLocal(int port, const std::string& request) {
  int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (s < 0) return {};
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // An answer that never ends fails the test instead of holding it.
  const timeval limit{10, 0};
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
  std::string answer;
  if (connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
      WriteAll(static_cast<SocketHandle>(s), request)) {
    char buffer[4096];
    // A signal may cut a receive with a time limit short (EINTR): ask again.
    for (ssize_t n; (n = recv(s, buffer, sizeof buffer, 0)) > 0 || (n < 0 && errno == EINTR);) {
      if (n > 0) answer.append(buffer, size_t(n));
    }
  }
  close(s);
  return answer;
}

}  // namespace testos
