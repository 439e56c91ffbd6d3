// Sockets: the records the engine keeps and the few verbs it needs. Sends
// never raise a signal; a shut-down socket wakes whoever waits on it.
#pragma once

#include <cstdint>

#include "platform/files.h"

using SocketHandle = intptr_t;
inline constexpr SocketHandle kInvalidSocket = -1;

// An IPv4 socket address laid out as the socket layer's own 16-byte record:
// family, port and address in network byte order, eight bytes of zero.
struct SocketAddressV4 {
  uint16_t family;
  uint16_t port_network_order;
  uint32_t address_network_order;
  uint8_t zero[8];
};
static_assert(sizeof(SocketAddressV4) == 16);

// Room for a dotted IPv4 text with its NUL ("255.255.255.255").
inline constexpr int32_t kAddressTextCapacity = 16;

// Prepares the process for sockets: 0 on success, otherwise the platform's
// code (10092 when no usable version is offered). Also keeps a peer that
// vanished from ending the process through a broken-pipe signal.
int32_t StartSocketLibrary();

// Undoes StartSocketLibrary where the platform needs it (nothing on POSIX,
// which has no process-wide socket clean-up).
void EndSocketLibrary();

// A new IPv4 TCP socket, or kInvalidSocket.
SocketHandle CreateTcpSocket();

// Why a bind was refused, in the terms a user can act on.
enum class BindRefusal { kAddressInUse, kNoPermission, kOther };

// Binds to every interface at `port`. Earlier connections of a stopped
// server that linger in their closing state do not block a new bind; a port
// that another program listens on does. On failure `why` (when given) says
// why.
bool BindAnyAddress(SocketHandle socket, uint16_t port, BindRefusal* why = nullptr);

bool StartListening(SocketHandle socket, int32_t backlog);

// Waits for a connection; stores its peer. The new socket sends small
// writes at once (no Nagle delay). A passing shortage (descriptors, memory)
// is waited out, retrying every few milliseconds. kInvalidSocket when the
// wait fails for good, which is how a shut-down listening socket ends its
// accept loop.
SocketHandle AcceptConnection(SocketHandle socket, SocketAddressV4* peer);

// The local address a connection arrived on.
bool GetLocalAddress(SocketHandle socket, SocketAddressV4* out);

// Receives up to `size` bytes: the count, 0 when the peer closed, -1 on error.
int32_t ReceiveBytes(SocketHandle socket, void* buffer, int32_t size);

// Copies up to `size` bytes that have arrived into `buffer` without taking
// them out of the socket; waits for at least one. The count, 0 when the peer
// closed, -1 on error.
int32_t PeekBytes(SocketHandle socket, void* buffer, int32_t size);

// Sends up to `size` bytes: the count sent, -1 on error. Never raises a
// signal when the peer is gone.
int32_t SendBytes(SocketHandle socket, const void* data, int32_t size);

// As SendBytes, telling the system that more bytes follow at once: they may
// wait (briefly) to go out in one packet with them.
int32_t SendBytesAhead(SocketHandle socket, const void* data, int32_t size);

// Sends up to `size` bytes of `file` from `offset`, leaving the file's
// position alone (other threads may share the open file): the count sent, 0
// at the file's end, -1 when reading or sending fails. Never raises a signal
// when the peer is gone.
int32_t SendFileBytes(SocketHandle socket, FileHandle file, int32_t size, uint64_t offset);

// Shuts both directions down: a blocked accept, receive or send returns.
void ShutdownSocket(SocketHandle socket);

void CloseSocket(SocketHandle socket);

// The address as dotted decimal text into `out` (kAddressTextCapacity bytes).
bool FormatAddressText(const SocketAddressV4& address, char* out);

// The port in host byte order.
uint16_t AddressPort(const SocketAddressV4& address);
