// The engine's shared records: the process-wide settings of a run and the
// record of one connection, which its session thread owns.
#pragma once

#include <cstdint>

#include "core/header_list.h"
#include "platform/files.h"
#include "platform/net.h"

struct ServerSettingsRecord {
  char* serving_directory;  // ends in the separator; each connection copies it
  int32_t port;             // always 80
  int32_t scope;            // 0 this machine, 1 local network, anything else everybody
  int32_t php_enabled;
  char* php_directory;      // ends in the separator; null when PHP is off
  int32_t cgi_enabled;
};

// Written by StartServer while no listener or session runs, released by
// StopServer; read without locks by every engine thread in between.
// Process-wide state carries plain capitalised names (ListenSocket,
// SessionCountLock); where a record and its one instance would share a name,
// the instance keeps it and the record's type is called ...Record.
extern ServerSettingsRecord ServerSettings;

// One zero-filled block per accepted connection. Per-request fields are
// cleared by ResetRequest after every request; the rest live as long as the
// connection.
struct Connection {
  HeaderList response_headers;     // per request, in sending order
  HeaderList request_headers;      // per request, in arrival order
  SocketHandle socket;             // -1 once the session closed it
  char* peer_text;                 // dotted peer address
  char* local_text;                // dotted local address the connection came in on; read
                                   // when a script first needs it (KnowLocalAddress)
  SocketAddressV4 peer_address;
  SocketAddressV4 local_address;
  int32_t local_address_length;    // 16
  int32_t peer_address_length;     // 16
  char* version;                   // per request; "HTTP/1.0" when the line had none
  char* document_root;             // the serving directory at accept time
  char* target;                    // per request, as sent, query included
  char* query;                     // per request, text after the first '?', not decoded
  char* path;                      // per request, decoded target without its query
  char* request_path;              // per request, `path` before its separators were turned
  char* file_path;                 // per request, 520-byte block: the full file name
  char* method;                    // per request, as received
  int32_t status;                  // per request, 0: none chosen yet
  // per request, head included. 64 bits: a file just under 2 GiB plus its
  // head would overflow a 32-bit count.
  int64_t bytes_sent;
  int32_t request_header_count;    // per request
  int32_t response_header_count;   // never reset
  int32_t request_value_bytes;     // per request, sum of header value lengths
  FileHandle file;                 // per request, kInvalidFile when none
  int32_t file_slot;               // per request: `file`'s kept entry (KeptFile), 0: its own
  int32_t head_sent;               // per request
  int32_t close_after;             // per request
  int32_t content_length;          // per request, the request's "Content-Length:"
  int32_t body_unread;             // per request, bytes of that body still in the socket
  FileInfo file_info;              // per request
  // Bytes received ahead of what the reader used: the start of a body, the
  // next pipelined request. A block of kReceiveBufferSize bytes, allocated
  // at the connection's first request and kept for its whole life.
  char* receive_buffer;
  int32_t received_start;          // the first byte not used yet
  int32_t received_end;            // the end of what was received

  // Request-level operations; each returns an HTTP status, 0 when nothing
  // has been decided yet.
  int32_t ReadRequest();
  int32_t ServeRequest();
  bool SendResponseHead();
};

inline constexpr int32_t kFileNameCapacity = 520;
// Twice the longest line, so that what is left of a line always has room
// for the rest of it.
inline constexpr int32_t kReceiveBufferSize = 4096;

// The opaque one-byte marker of a running server (and of a running access
// log): its holder allocates it and keeps it as long as the thing runs.
struct EngineToken {
  uint8_t marker;
};
