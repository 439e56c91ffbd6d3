#include "platform/net.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr int kShortageWaitMs = 10;

int ToFd(SocketHandle socket) { return static_cast<int>(socket); }

// Failures of accept that pass: the descriptor table or memory is full for
// the moment, or the firewall refused one connection.
bool IsShortage(int error) {
  return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM ||
         error == EPERM || error == EPROTO;
}

// False once the listening socket was shut down (a stop). Asked while
// shortages last, since accept reports a full descriptor table before it
// looks at the socket.
bool StillListening(SocketHandle socket) {
  int listening = 0;
  socklen_t length = sizeof(listening);
  return getsockopt(ToFd(socket), SOL_SOCKET, SO_ACCEPTCONN, &listening, &length) == 0 &&
         listening != 0;
}

}  // namespace

int32_t StartSocketLibrary() {
  // A peer (or a script's pipe) that vanishes must end a send with an error,
  // not end the process.
  signal(SIGPIPE, SIG_IGN);
  return 0;
}

void EndSocketLibrary() {}

SocketHandle CreateTcpSocket() {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
  return fd < 0 ? kInvalidSocket : fd;
}

bool BindAnyAddress(SocketHandle socket, uint16_t port, BindRefusal* why) {
  // Connections of an earlier run still closing must not hold the port; a
  // program that listens on it still makes the bind fail.
  int on = 1;
  setsockopt(ToFd(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(ToFd(socket), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return true;
  if (why != nullptr) {
    *why = errno == EADDRINUSE ? BindRefusal::kAddressInUse
           : errno == EACCES   ? BindRefusal::kNoPermission
                               : BindRefusal::kOther;
  }
  return false;
}

bool StartListening(SocketHandle socket, int32_t backlog) {
  // Linux hands the no-delay setting on to every accepted socket, which
  // saves a call per connection (AcceptConnection checks it once).
  int on = 1;
  setsockopt(ToFd(socket), IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  // A connection is handed over once its first bytes have arrived, so the
  // session that takes it reads its request at once instead of sleeping
  // and waking for it. One that stays silent (a browser's connection made
  // ahead of need) is handed over all the same after about a second.
  int silent_seconds = 1;
  setsockopt(ToFd(socket), IPPROTO_TCP, TCP_DEFER_ACCEPT, &silent_seconds, sizeof(silent_seconds));
  return listen(ToFd(socket), backlog) == 0;
}

SocketHandle AcceptConnection(SocketHandle socket, SocketAddressV4* peer) {
  static_assert(sizeof(sockaddr_in) == sizeof(SocketAddressV4));
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  int fd;
  for (;;) {
    length = sizeof(address);
    fd = accept4(ToFd(socket), reinterpret_cast<sockaddr*>(&address), &length, SOCK_CLOEXEC);
    if (fd >= 0) break;
    if (errno == EINTR || errno == ECONNABORTED) continue;
    if (!IsShortage(errno) || !StillListening(socket)) return kInvalidSocket;
    // Descriptors or memory run short for a moment: the connection waits in
    // the queue until a session ends and gives some back.
    std::this_thread::sleep_for(std::chrono::milliseconds(kShortageWaitMs));
  }
  // Heads and small bodies go out at once instead of waiting on the peer's
  // delayed acknowledgement. The setting comes from the listening socket;
  // the first connection shows whether it did, and if not every connection
  // gets it set.
  static std::atomic<int> inherited{-1};
  int on = 1;
  int state = inherited.load(std::memory_order_relaxed);
  if (state < 0) {
    socklen_t size = sizeof(on);
    state = getsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, &size) == 0 && on != 0 ? 1 : 0;
    inherited.store(state, std::memory_order_relaxed);
    on = 1;
  }
  if (state == 0) setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
  if (peer != nullptr) std::memcpy(peer, &address, sizeof(*peer));
  return fd;
}

bool GetLocalAddress(SocketHandle socket, SocketAddressV4* out) {
  sockaddr_in address{};
  socklen_t length = sizeof(address);
  if (out == nullptr ||
      getsockname(ToFd(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return false;
  }
  std::memcpy(out, &address, sizeof(*out));
  return true;
}

int32_t ReceiveBytes(SocketHandle socket, void* buffer, int32_t size) {
  if (socket == kInvalidSocket || size < 0) return -1;
  for (;;) {
    ssize_t n = recv(ToFd(socket), buffer, static_cast<size_t>(size), 0);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return -1;
  }
}

int32_t PeekBytes(SocketHandle socket, void* buffer, int32_t size) {
  if (socket == kInvalidSocket || size < 0) return -1;
  for (;;) {
    ssize_t n = recv(ToFd(socket), buffer, static_cast<size_t>(size), MSG_PEEK);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return -1;
  }
}

namespace {

int32_t SendWithFlags(SocketHandle socket, const void* data, int32_t size, int flags) {
  if (socket == kInvalidSocket || size < 0) return -1;
  for (;;) {
    ssize_t n = send(ToFd(socket), data, static_cast<size_t>(size), MSG_NOSIGNAL | flags);
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return -1;
  }
}

}  // namespace

int32_t SendBytes(SocketHandle socket, const void* data, int32_t size) {
  return SendWithFlags(socket, data, size, 0);
}

int32_t SendBytesAhead(SocketHandle socket, const void* data, int32_t size) {
  return SendWithFlags(socket, data, size, MSG_MORE);
}

int32_t SendFileBytes(SocketHandle socket, FileHandle file, int32_t size, uint64_t offset) {
  if (socket == kInvalidSocket || file == kInvalidFile || size < 0) return -1;
  // SIGPIPE is ignored process-wide (StartSocketLibrary), so a vanished peer
  // ends this with EPIPE.
  for (;;) {
    off_t at = static_cast<off_t>(offset);
    ssize_t n = sendfile(ToFd(socket), static_cast<int>(file), &at, static_cast<size_t>(size));
    if (n >= 0) return static_cast<int32_t>(n);
    if (errno != EINTR) return -1;
  }
}

void ShutdownSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) shutdown(ToFd(socket), SHUT_RDWR);
}

void CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) close(ToFd(socket));
}

bool FormatAddressText(const SocketAddressV4& address, char* out) {
  in_addr raw{};
  raw.s_addr = address.address_network_order;
  return out != nullptr && inet_ntop(AF_INET, &raw, out, kAddressTextCapacity) != nullptr;
}

uint16_t AddressPort(const SocketAddressV4& address) { return ntohs(address.port_network_order); }
