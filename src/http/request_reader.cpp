#include "http/request_reader.h"

#include <climits>
#include <cstring>

#include "core/blocks.h"
#include "core/error.h"
#include "core/decimal.h"
#include "core/line_reader.h"
#include "core/list.h"
#include "http/engine.h"

namespace {

constexpr const char* kDefaultVersion = "HTTP/1.0";
constexpr const char* kKeepAliveToken = "Keep-Alive";
// A body nobody read is dropped before the next request up to this size;
// a larger one closes the connection instead.
constexpr int32_t kUnreadBodyLimit = 1 << 20;

// True when the text holds a control byte: such a version would be echoed
// into the status line and could start header lines of its own there.
bool HasControlByte(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p != 0; ++p) {
    if (*p < 0x20 || *p == 0x7F) return true;
  }
  return false;
}

// The body length a "Content-Length:" value announces: 0 for no value, -1
// for one that frames no body (no digits, a minus sign, beyond the 32-bit
// limit). What follows the digits is ignored, as the decimal reader does.
int64_t AnnouncedBodyLength(const char* value) {
  const char* p = value;
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  if (*p == '\0') return 0;
  if (*p == '+') ++p;
  if (*p < '0' || *p > '9') return -1;
  int64_t length = ParseDecimalPrefix64(value);
  return length > INT32_MAX ? -1 : length;
}

// After the headers: the connection's fate and the body's length. 0, or 400
// for a length that cannot be used, or 501 for a transfer coding: neither
// lets the server find where the body ends, so the request is refused (and
// the connection closed) before anything runs.
int32_t SettleBody(Connection* connection) {
  if (!EqualsIgnoringCase(FindRequestHeader(connection, "Connection:"), kKeepAliveToken)) {
    connection->close_after = 1;
  }
  if (*FindRequestHeader(connection, "Transfer-Encoding:") != '\0') return 501;
  const char* length = FindRequestHeader(connection, "Content-Length:");
  if (AnnouncedBodyLength(length) < 0) return 400;
  connection->content_length = ParseDecimalPrefix(length);
  connection->body_unread = connection->content_length;
  return 0;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A new owned copy of `length` bytes of `text`, NUL-terminated.
char* CopyPiece(const char* text, size_t length) {
  char* piece = nullptr;
  if (!AllocBlock(&piece, static_cast<int32_t>(length + 1), true, 0)) return nullptr;
  std::memcpy(piece, text, length);
  return piece;
}

// Splits the target into query and decoded path; the target keeps both.
void SplitTarget(Connection* connection) {
  const char* mark = std::strchr(connection->target, '?');
  if (mark == nullptr) {
    connection->path = DecodePercent(connection->target);
    return;
  }
  connection->query = DupString(mark + 1);
  char* before = CopyPiece(connection->target, static_cast<size_t>(mark - connection->target));
  if (before == nullptr) throw ErrorText(kAllocationFailedText);
  try {
    connection->path = DecodePercent(before);
  } catch (...) {
    FreeAndClear(&before);
    throw;
  }
  FreeAndClear(&before);
}

// One header line of `length` bytes (CR LF not counted): "name: value" is
// added, a line without ": " is dropped.
void TakeHeaderLine(Connection* connection, const char* line, int32_t length) {
  // The line is text: a NUL byte in it ends it there.
  const char* end = line + strnlen(line, static_cast<size_t>(length));
  for (const char* p = line; p < end;) {
    const char* colon = static_cast<const char*>(std::memchr(p, ':', static_cast<size_t>(end - p)));
    if (colon == nullptr || colon + 1 >= end) return;
    if (colon[1] == ' ') {
      // The name keeps its colon.
      AddRequestHeaderPieces(connection, line, static_cast<size_t>(colon + 1 - line), colon + 2,
                             static_cast<size_t>(end - (colon + 2)));
      return;
    }
    p = colon + 1;
  }
}

// Moves what is left unused to the front of the connection's buffer and
// receives more behind it. False when the peer closed or the receive failed.
bool ReceiveMore(Connection* c) {
  if (c->socket == kInvalidSocket) return false;
  int32_t left = c->received_end - c->received_start;
  if (c->received_start > 0) {
    std::memmove(c->receive_buffer, c->receive_buffer + c->received_start,
                 static_cast<size_t>(left));
    c->received_start = 0;
    c->received_end = left;
  }
  if (left >= kReceiveBufferSize) return false;
  int32_t n = ReceiveBytes(c->socket, c->receive_buffer + left, kReceiveBufferSize - left);
  if (n <= 0) return false;
  c->received_end = left + n;
  return true;
}

// The next CR LF line, as ReceiveLine gives it, from the connection's
// buffer: one receive usually brings a whole header block, and whatever
// came behind it stays in the buffer for the body or the next request.
bool NextLine(Connection* c, char* line, int32_t* out_length) {
  int32_t searched = 0;  // bytes from the start known to hold no line end
  for (;;) {
    const char* start = c->receive_buffer + c->received_start;
    int32_t available = c->received_end - c->received_start;
    if (available > kLineCapacity) available = kLineCapacity;
    int32_t end = FindLineEnd(start, searched, available, "\r\n", 2);
    if (end > 0) {
      std::memcpy(line, start, static_cast<size_t>(end));
      line[end - 2] = '\0';
      *out_length = end;
      c->received_start += end;
      return true;
    }
    if (available >= kLineCapacity) {
      *out_length = kLineCapacity;
      return false;
    }
    searched = available;
    if (!ReceiveMore(c)) return false;
  }
}

// Reads header lines up to the empty one into `line` (kLineCapacity bytes).
// 0, or 400.
int32_t ReadHeaders(Connection* connection, char* line) {
  for (;;) {
    int32_t length = 0;
    if (!NextLine(connection, line, &length)) return 400;
    bool empty = line[0] == '\0';
    if (!empty) TakeHeaderLine(connection, line, length - 2);
    if (connection->request_header_count >= kRequestHeaderLimit) return 400;
    if (empty) return 0;
  }
}

// The request line and headers. 0, 400 or 501.
int32_t ReadRequestLines(Connection* connection) {
  char line[kLineCapacity];
  int32_t length = 0;
  if (!NextLine(connection, line, &length)) return 400;
  int32_t result = ParseRequestLine(line, connection);
  if (result != 0) return result;
  return ReadHeaders(connection, line);
}

}  // namespace

namespace {

// A socket as a line source: it peeks at what has arrived and then receives
// exactly up to the line's end, so a request body or the next pipelined
// request stays in the socket, as it would with one byte per receive.
int32_t PeekSocket(void* context, char* into, int32_t room) {
  SocketHandle socket = *static_cast<SocketHandle*>(context);
  return socket == kInvalidSocket ? -1 : PeekBytes(socket, into, room);
}

bool TakeFromSocket(void* context, char* into, int32_t count) {
  return ReceiveExact(*static_cast<SocketHandle*>(context), into, count);
}

}  // namespace

bool ReceiveLine(SocketHandle socket, char* buffer, const char* terminator, int32_t* out_length) {
  return ReadLine(LineSource{&socket, PeekSocket, TakeFromSocket}, buffer, terminator, out_length);
}

bool ReceiveExact(SocketHandle socket, void* buffer, int32_t n) {
  char* bytes = static_cast<char*>(buffer);
  int32_t received = 0;
  while (received < n) {
    int32_t got = ReceiveBytes(socket, bytes + received, n - received);
    if (got <= 0) return false;
    received += got;
  }
  return true;
}

int32_t ParseRequestLine(const char* line, Connection* connection) {
  const char* blank = std::strchr(line, ' ');
  if (blank == nullptr) return 0;  // nothing set: the file service answers 500
  connection->target = DupString(blank + 1);
  connection->method = CopyPiece(line, static_cast<size_t>(blank - line));
  if (connection->target == nullptr || connection->method == nullptr) {
    throw ErrorText(kAllocationFailedText);
  }
  if (!EqualsIgnoringCase(connection->method, "GET") &&
      !EqualsIgnoringCase(connection->method, "POST")) {
    return 501;
  }
  // Only the last blank separates the protocol text; blanks before it stay
  // part of the target.
  char* last_blank = std::strrchr(connection->target, ' ');
  if (last_blank != nullptr) {
    *last_blank = '\0';
    connection->version = DupString(last_blank + 1);
  }
  if (connection->version == nullptr) connection->version = DupString(kDefaultVersion);
  if (connection->version == nullptr) throw ErrorText(kAllocationFailedText);
  if (HasControlByte(connection->version)) {
    // Refused, and answered with the default version instead of this one.
    FreeAndClear(&connection->version);
    connection->version = DupString(kDefaultVersion);
    if (connection->version == nullptr) throw ErrorText(kAllocationFailedText);
    return 400;
  }
  SplitTarget(connection);
  return 0;
}

int32_t Connection::ReadRequest() {
  head_sent = 0;
  if (receive_buffer == nullptr && !AllocBlock(&receive_buffer, kReceiveBufferSize, false)) {
    throw ErrorText(kAllocationFailedText);
  }
  int32_t result = ReadRequestLines(this);
  if (result != 0) return result;
  return SettleBody(this);
}

bool ReceiveRequestBody(Connection* connection, void* buffer, int32_t n) {
  int32_t buffered = connection->received_end - connection->received_start;
  int32_t take = n < buffered ? n : buffered;
  if (take > 0) {
    std::memcpy(buffer, connection->receive_buffer + connection->received_start,
                static_cast<size_t>(take));
    connection->received_start += take;
  }
  return take == n || ReceiveExact(connection->socket, static_cast<char*>(buffer) + take, n - take);
}

bool DiscardRequestBody(Connection* connection) {
  if (connection->body_unread <= 0) return true;
  if (connection->body_unread > kUnreadBodyLimit) return false;
  char piece[4096];
  while (connection->body_unread > 0) {
    int32_t n = connection->body_unread < 4096 ? connection->body_unread : 4096;
    if (!ReceiveRequestBody(connection, piece, n)) return false;
    connection->body_unread -= n;
  }
  return true;
}

bool AddRequestHeaderPieces(Connection* connection, const char* name, size_t name_length,
                            const char* value, size_t value_length) {
  if (!AppendHeaderPieces(&connection->request_headers, name, name_length, value, value_length)) {
    return false;
  }
  int64_t total = static_cast<int64_t>(connection->request_value_bytes) +
                  static_cast<int64_t>(value != nullptr ? value_length : 0);
  connection->request_value_bytes = total > INT32_MAX ? INT32_MAX : static_cast<int32_t>(total);
  connection->request_header_count += 1;
  return true;
}

bool AddRequestHeader(Connection* connection, const char* name, const char* value) {
  if (name == nullptr) return false;
  return AddRequestHeaderPieces(connection, name, std::strlen(name), value,
                                value != nullptr ? std::strlen(value) : 0);
}

const char* FindRequestHeader(const Connection* connection, const char* name) {
  if (name == nullptr) return "";
  // Most names differ in their first letter: that is compared here, the
  // rest only for the few that share it.
  const char first = name[0] >= 'A' && name[0] <= 'Z' ? static_cast<char>(name[0] - 'A' + 'a') : name[0];
  for (const HeaderEntry* e = connection->request_headers.first; e != nullptr; e = e->next) {
    char c = e->name[0];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c == first && EqualsIgnoringCase(e->name, name)) return e->value != nullptr ? e->value : "";
  }
  return "";
}

char* DecodePercent(const char* text) {
  size_t length = std::strlen(text);
  char* out = nullptr;
  if (length + 1 > static_cast<size_t>(INT32_MAX) ||
      !AllocBlock(&out, static_cast<int32_t>(length + 1), true, 0)) {
    throw ErrorText(kAllocationFailedText);
  }
  size_t w = 0;
  for (size_t r = 0; r < length; ++r) {
    int high = -1, low = -1;
    if (text[r] == '%' && r + 2 < length + 1 && (high = HexValue(text[r + 1])) >= 0 &&
        (low = HexValue(text[r + 2])) >= 0) {
      out[w++] = static_cast<char>(high * 16 + low);
      r += 2;
    } else {
      out[w++] = text[r];
    }
  }
  return out;  // zero-filled: a decoded NUL ends the text there
}
