#include "platform/net.h"

// clang-format off
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
// clang-format on

#include <cstring>
#include <mutex>

namespace {

SOCKET ToSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

constexpr DWORD kShortageWaitMs = 10;
constexpr long kLostConnectionWaitMs = 100;

// False once the listening socket was shut down or closed (a stop).
bool StillListening(SOCKET s) {
  BOOL listening = FALSE;
  int length = sizeof(listening);
  return getsockopt(s, SOL_SOCKET, SO_ACCEPTCONN, reinterpret_cast<char*>(&listening), &length) == 0 &&
         listening != FALSE;
}

// How many WSAStartup calls of StartSocketLibrary are not yet undone. The
// engine ends the library at every start and from two threads at a stop;
// only its own starts are undone, so a program that holds a start of its own
// (a test's client) keeps its count.
std::mutex SocketLibraryLock;
int SocketLibraryStarts = 0;

// Blocking calls wait for the stack's I/O on the socket's handle; cancelling
// that I/O makes a blocked accept or receive of another thread return. Only
// for a socket that still is one: after the library's last end its number
// may already name another object of the process.
void CancelPendingCalls(SOCKET s) {
  int type = 0;
  int length = sizeof(type);
  if (getsockopt(s, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &length) != 0) return;
  CancelIoEx(reinterpret_cast<HANDLE>(s), nullptr);
}

// Sockets are inheritable by default: a script started meanwhile would hold
// the connection open for as long as it runs.
void KeepFromChildren(SOCKET s) {
  SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
}

}  // namespace

int32_t StartSocketLibrary() {
  WSADATA data;
  int rc = WSAStartup(MAKEWORD(2, 2), &data);
  if (rc == WSAVERNOTSUPPORTED) rc = WSAStartup(MAKEWORD(1, 1), &data);
  if (rc == 0) {
    std::lock_guard<std::mutex> guard(SocketLibraryLock);
    ++SocketLibraryStarts;
  }
  return rc;
}

void EndSocketLibrary() {
  {
    std::lock_guard<std::mutex> guard(SocketLibraryLock);
    if (SocketLibraryStarts == 0) return;
    --SocketLibraryStarts;
  }
  // The last end of the process's use closes every socket it has: blocked
  // accepts, receives and sends return with an error.
  WSACleanup();
}

SocketHandle CreateTcpSocket() {
  SOCKET s = WSASocketA(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kInvalidSocket;
  KeepFromChildren(s);
  return static_cast<SocketHandle>(s);
}

bool BindAnyAddress(SocketHandle socket, uint16_t port, BindRefusal* why) {
  // No option: Windows binds past connections of an earlier run that are
  // still closing, and refuses a port that another program listens on.
  // (Exclusive use would refuse the port while such connections linger, so
  // a restart could fail for minutes.)
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  if (bind(ToSocket(socket), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) return true;
  if (why != nullptr) {
    // WSAEACCES: the port is reserved, or another program holds it for its
    // own exclusive use.
    const int error = WSAGetLastError();
    *why = error == WSAEADDRINUSE ? BindRefusal::kAddressInUse
           : error == WSAEACCES   ? BindRefusal::kNoPermission
                                  : BindRefusal::kOther;
  }
  return false;
}

bool StartListening(SocketHandle socket, int32_t backlog) {
  return listen(ToSocket(socket), backlog) == 0;
}

SocketHandle AcceptConnection(SocketHandle socket, SocketAddressV4* peer) {
  static_assert(sizeof(sockaddr_in) == sizeof(SocketAddressV4));
  sockaddr_in address{};
  SOCKET s;
  for (;;) {
    int length = sizeof(address);
    s = accept(ToSocket(socket), reinterpret_cast<sockaddr*>(&address), &length);
    if (s != INVALID_SOCKET) break;
    int error = WSAGetLastError();
    // A client that reset its connection before it was taken is no reason
    // to stop listening.
    if (error == WSAECONNRESET) continue;
    // Several threads wait in accept on the one socket; where the system
    // lets one of them lose a connection to another with "would block"
    // (Wine does), that thread waits for the next one to arrive, looking
    // again now and then in case the wait is not woken by a stop.
    if ((error == WSAEWOULDBLOCK || error == WSAEINTR) && StillListening(ToSocket(socket))) {
      fd_set readable;
      FD_ZERO(&readable);
      FD_SET(ToSocket(socket), &readable);
      timeval again{0, kLostConnectionWaitMs * 1000};
      select(0, &readable, nullptr, nullptr, &again);
      continue;
    }
    // Sockets or buffers run short for a moment: the connection waits in the
    // queue until a session ends and gives some back.
    if ((error != WSAEMFILE && error != WSAENOBUFS) || !StillListening(ToSocket(socket))) {
      return kInvalidSocket;
    }
    Sleep(kShortageWaitMs);
  }
  KeepFromChildren(s);
  BOOL on = TRUE;
  setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
  if (peer != nullptr) std::memcpy(peer, &address, sizeof(*peer));
  return static_cast<SocketHandle>(s);
}

bool GetLocalAddress(SocketHandle socket, SocketAddressV4* out) {
  sockaddr_in address{};
  int length = sizeof(address);
  if (out == nullptr ||
      getsockname(ToSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return false;
  }
  std::memcpy(out, &address, sizeof(*out));
  return true;
}

int32_t ReceiveBytes(SocketHandle socket, void* buffer, int32_t size) {
  if (socket == kInvalidSocket || size < 0) return -1;
  int n = recv(ToSocket(socket), static_cast<char*>(buffer), size, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int32_t PeekBytes(SocketHandle socket, void* buffer, int32_t size) {
  if (socket == kInvalidSocket || size < 0) return -1;
  int n = recv(ToSocket(socket), static_cast<char*>(buffer), size, MSG_PEEK);
  return n == SOCKET_ERROR ? -1 : n;
}

int32_t SendBytes(SocketHandle socket, const void* data, int32_t size) {
  if (socket == kInvalidSocket || size < 0) return -1;
  int n = send(ToSocket(socket), static_cast<const char*>(data), size, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

// Windows has no such hint: the bytes go out as they are.
int32_t SendBytesAhead(SocketHandle socket, const void* data, int32_t size) {
  return SendBytes(socket, data, size);
}

int32_t SendFileBytes(SocketHandle socket, FileHandle file, int32_t size, uint64_t offset) {
  if (socket == kInvalidSocket || file == kInvalidFile || size < 0) return -1;
  // One read of the file, sent whole: a blocking send takes all of it or
  // fails, and after a failure the connection is given up anyway.
  char buffer[16384];
  int32_t wanted = size < static_cast<int32_t>(sizeof buffer) ? size : sizeof buffer;
  int32_t got = ReadFromFileAt(file, buffer, wanted, offset);
  if (got <= 0) return got;
  for (int32_t sent = 0; sent < got;) {
    int n = send(ToSocket(socket), buffer + sent, got - sent, 0);
    if (n == SOCKET_ERROR || n == 0) return -1;
    sent += n;
  }
  return got;
}

void ShutdownSocket(SocketHandle socket) {
  if (socket == kInvalidSocket) return;
  // A shut-down alone neither wakes a blocked accept nor, on every stack, a
  // blocked receive; cancelling the calls waiting on the socket does.
  shutdown(ToSocket(socket), SD_BOTH);
  CancelPendingCalls(ToSocket(socket));
}

void CloseSocket(SocketHandle socket) {
  if (socket != kInvalidSocket) closesocket(ToSocket(socket));
}

bool FormatAddressText(const SocketAddressV4& address, char* out) {
  if (out == nullptr) return false;
  in_addr raw{};
  raw.s_addr = address.address_network_order;
  // inet_ntoa answers in a buffer of the calling thread.
  const char* text = inet_ntoa(raw);
  if (text == nullptr || std::strlen(text) >= static_cast<size_t>(kAddressTextCapacity)) return false;
  std::strcpy(out, text);
  return true;
}

uint16_t AddressPort(const SocketAddressV4& address) { return ntohs(address.port_network_order); }
