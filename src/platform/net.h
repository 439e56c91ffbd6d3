// Sockets: the records the engine keeps; the verbs follow below them.
#pragma once

#include <cstdint>

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
