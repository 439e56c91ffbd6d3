// The response writer: every byte the engine sends to a client goes through
// here. A response is built as a header list on the connection and its head
// goes out once per request, as one buffer, from whoever sends it first.
#pragma once

#include <cstdint>
#include <string>

#include "core/header_list.h"
#include "platform/files.h"

struct Connection;

// The server's own reason text for `status`; the empty text for unknown ones
// (0 gives "OK").
const char* ReasonText(int32_t status);

// Sends all `length` bytes on the connection's socket and adds what went out
// to bytes_sent. False when a send fails (the bytes that did go out are still
// counted). A length of 0 or less sends nothing and gives true.
bool SendAll(Connection* connection, const void* data, int32_t length);

// As SendAll, for bytes that more follow at once (a head before its body):
// they may wait for those to share a packet with them.
bool SendAllAhead(Connection* connection, const void* data, int32_t length);

// Sends a text without its NUL; an empty text sends nothing and gives false.
bool SendText(Connection* connection, const char* text);

// Appends a response header (copies; value may be null for a bare line) and
// counts it in response_header_count. False, nothing added, when out of memory.
bool AddResponseHeader(Connection* connection, const char* name, const char* value);

// Appends a response header whose value is `number` in decimal.
bool AddResponseHeaderNumber(Connection* connection, const char* name, int64_t number);

// The newest response header named `name` (any case), or null.
HeaderEntry* FindResponseHeader(Connection* connection, const char* name);

// The bytes of the head as they go out: status line, every response header
// in order, the empty line. Uses the connection's version and status as they
// stand (the caller has settled both).
std::string BuildResponseHead(const Connection* connection);

// What SendResponseHead sends, handed to the caller instead: adds
// "Connection:" when the response has none, settles status and version,
// puts the head into *head (replacing what it held) and counts it as sent. The caller sends it,
// with a body behind it when it has one. False when "Connection:" could not
// be added (nothing counts as sent then).
bool TakeResponseHead(Connection* connection, std::string* head);

// Reads one CR LF line of a script's output from `pipe`, one byte per read,
// into `buffer` (kLineCapacity bytes): as ReceiveLine does with a socket.
bool ReadPipeLine(FileHandle pipe, char* buffer, int32_t* out_length);

// Reads the header block a script writes before its body, up to its empty
// line: "Status:" sets the connection's status, every other line becomes a
// response header (a line without ": " a bare one). False when the output
// ends first, a line is too long, or a line holds a bare CR or LF.
bool ReadScriptHeaders(Connection* connection, FileHandle pipe);
