// The request reader: the request line and headers, received into the
// connection's own buffer. Whatever came behind the blank line (the start of
// a POST body, the next pipelined request) stays in that buffer, and the body
// is taken from there before the socket (ReceiveRequestBody).
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/line_reader.h"
#include "platform/net.h"

struct Connection;

inline constexpr int32_t kRequestHeaderLimit = 64;  // this many headers give 400

// Reads one line ending in `terminator` from the socket into `buffer`
// (kLineCapacity bytes), as ReadLine does; fails when the peer closes or a
// receive fails.
bool ReceiveLine(SocketHandle socket, char* buffer, const char* terminator, int32_t* out_length);

// Receives exactly `n` bytes into `buffer`; false as soon as a receive
// returns 0 or less.
bool ReceiveExact(SocketHandle socket, void* buffer, int32_t n);

// Splits a request line into method, target, query, decoded path and
// version on the connection. 0, 501 for a method other than GET/POST, or 400
// for a version holding a control byte (the version is then the default).
// A line without a blank sets nothing and gives 0.
int32_t ParseRequestLine(const char* line, Connection* connection);

// Takes `n` bytes of the request body: first what the reader received ahead
// into the connection's buffer, then the rest from the socket. False as soon
// as a receive returns 0 or less.
bool ReceiveRequestBody(Connection* connection, void* buffer, int32_t n);

// Drops what is left in the socket of a body that nobody read
// (body_unread), so that the next request on a kept-alive connection starts
// where it should. False when the rest is too large to be worth reading or
// the socket fails: the connection is to be closed then.
bool DiscardRequestBody(Connection* connection);

// Appends a request header (copies of both texts) and counts it and its
// value's length. False, header dropped, when memory runs out.
bool AddRequestHeader(Connection* connection, const char* name, const char* value);
// The same for texts of known length (no NUL needed).
bool AddRequestHeaderPieces(Connection* connection, const char* name, size_t name_length,
                            const char* value, size_t value_length);

// The value of the first request header named `name` (with its colon, any
// case); the empty text when there is none. Never null.
const char* FindRequestHeader(const Connection* connection, const char* name);

// A new owned text: `text` with every %XX (two hex digits) replaced by its
// byte; a '%' without two hex digits and '+' stay as they are; a decoded NUL
// ends the text. Raises ErrorText("Allocation Failed") when out of memory.
char* DecodePercent(const char* text);
