#include "http/response_writer.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "core/blocks.h"
#include "core/decimal.h"
#include "core/line_reader.h"
#include "core/list.h"
#include "http/engine.h"

namespace {

struct StatusReason {
  int32_t status;
  const char* reason;
};

constexpr StatusReason kReasons[] = {
    {200, "OK"},           {201, "Created"},        {202, "Accepted"},
    {203, "Partial Information"},                   {204, "No Response"},
    {301, "Moved"},        {302, "Found"},          {303, "Method"},
    {304, "Not modified"}, {400, "Bad Request"},    {401, "Unauthorized"},
    {403, "Forbidden"},    {404, "Not Found"},      {500, "Internal Error"},
    {501, "Not implemented"},                       {502, "Timed out"},
};

// Appends one piece of the head; empty pieces add nothing.
void AppendPiece(std::string* head, const char* piece) {
  if (piece != nullptr && *piece != '\0') head->append(piece);
}

}  // namespace

const char* ReasonText(int32_t status) {
  if (status == 0) status = 200;
  for (const StatusReason& entry : kReasons) {
    if (entry.status == status) return entry.reason;
  }
  return "";
}

namespace {

bool SendAllOf(Connection* connection, const void* data, int32_t length, bool more_follows) {
  const char* bytes = static_cast<const char*>(data);
  int32_t sent = 0;
  while (sent < length) {
    int32_t n = more_follows ? SendBytesAhead(connection->socket, bytes + sent, length - sent)
                             : SendBytes(connection->socket, bytes + sent, length - sent);
    if (n <= 0) {
      connection->bytes_sent += sent;
      return false;
    }
    sent += n;
  }
  if (length > 0) connection->bytes_sent += length;
  return true;
}

}  // namespace

bool SendAll(Connection* connection, const void* data, int32_t length) {
  return SendAllOf(connection, data, length, false);
}

bool SendAllAhead(Connection* connection, const void* data, int32_t length) {
  return SendAllOf(connection, data, length, true);
}

bool SendText(Connection* connection, const char* text) {
  if (text == nullptr || *text == '\0') return false;
  size_t length = std::strlen(text);
  if (length > static_cast<size_t>(INT32_MAX)) return false;
  return SendAll(connection, text, static_cast<int32_t>(length));
}

bool AddResponseHeader(Connection* connection, const char* name, const char* value) {
  if (!AppendHeader(&connection->response_headers, name, value)) return false;
  connection->response_header_count += 1;
  return true;
}

bool AddResponseHeaderNumber(Connection* connection, const char* name, int64_t number) {
  char digits[24];
  *std::to_chars(digits, digits + sizeof(digits) - 1, number).ptr = '\0';
  return AddResponseHeader(connection, name, digits);
}

HeaderEntry* FindResponseHeader(Connection* connection, const char* name) {
  for (HeaderEntry* e = connection->response_headers.last; e != nullptr; e = e->prev) {
    if (EqualsIgnoringCase(e->name, name)) return e;
  }
  return nullptr;
}

namespace {

// Appends the head's bytes to `head`.
void AppendResponseHead(const Connection* connection, std::string* head) {
  char digits[16];
  int32_t status = connection->status == 0 ? 200 : connection->status;
  *std::to_chars(digits, digits + sizeof(digits) - 1, status).ptr = '\0';
  AppendPiece(head, connection->version != nullptr ? connection->version : "HTTP/1.0");
  *head += ' ';
  AppendPiece(head, digits);
  *head += ' ';
  AppendPiece(head, ReasonText(status));
  *head += "\r\n";
  for (const HeaderEntry* e = connection->response_headers.first; e != nullptr; e = e->next) {
    AppendPiece(head, e->name);
    if (e->value != nullptr) {
      *head += ' ';
      AppendPiece(head, e->value);
    }
    *head += "\r\n";
  }
  *head += "\r\n";
}

}  // namespace

std::string BuildResponseHead(const Connection* connection) {
  std::string head;
  head.reserve(256);
  AppendResponseHead(connection, &head);
  return head;
}

bool TakeResponseHead(Connection* connection, std::string* head) {
  if (connection->status == 0) connection->status = 200;
  if (FindResponseHeader(connection, "Connection:") == nullptr &&
      !AddResponseHeader(connection, "Connection:",
                         connection->close_after == 1 ? "close" : "keep-alive")) {
    return false;
  }
  if (connection->version == nullptr) connection->version = DupString("HTTP/1.0");
  head->clear();
  AppendResponseHead(connection, head);
  connection->head_sent = 1;
  return true;
}

bool Connection::SendResponseHead() {
  if (head_sent == 1) return true;
  // One buffer, one send: a head written in small pieces would make a
  // keep-alive client wait on delayed acknowledgements. Whether it went out
  // is not checked here; the next read on a dead socket ends the session.
  std::string head;
  head.reserve(256);
  if (!TakeResponseHead(this, &head)) return false;
  SendAll(this, head.data(), static_cast<int32_t>(head.size()));
  return true;
}

namespace {

// A pipe cannot show what is coming without taking it: one byte per read,
// so nothing after the line's end is taken.
int32_t ReadOnePipeByte(void* context, char* into, int32_t) {
  return ReadFromFile(*static_cast<FileHandle*>(context), into, 1);
}

bool AlreadyTaken(void*, char*, int32_t) { return true; }

}  // namespace

bool ReadPipeLine(FileHandle pipe, char* buffer, int32_t* out_length) {
  return ReadLine(LineSource{&pipe, ReadOnePipeByte, AlreadyTaken}, buffer, "\r\n", out_length);
}

bool ReadScriptHeaders(Connection* connection, FileHandle pipe) {
  char line[kLineCapacity];
  for (;;) {
    int32_t length = 0;
    if (!ReadPipeLine(pipe, line, &length)) return false;
    // A line broken by a bare CR or LF would carry a line of its own into
    // the response head: the block is broken.
    if (std::strpbrk(line, "\r\n") != nullptr) return false;
    if (line[0] == '\0') return true;
    char* separator = std::strstr(line, ": ");
    if (separator == nullptr) {
      AddResponseHeader(connection, line, nullptr);  // a bare line goes back unchanged
      continue;
    }
    separator[1] = '\0';  // the name keeps its colon
    const char* value = separator + 2;
    if (std::strcmp(line, "Status:") == 0) {
      connection->status = ParseDecimalPrefix(value);
    } else {
      AddResponseHeader(connection, line, value);
    }
  }
}
