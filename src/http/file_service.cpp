#include "http/file_service.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "cgi/script_gateway.h"
#include "core/blocks.h"
#include "core/calendar_names.h"
#include "core/decimal.h"
#include "http/content_types.h"
#include "http/engine.h"
#include "http/kept_files.h"
#include "http/request_reader.h"
#include "http/response_writer.h"
#include "platform/files.h"

namespace {

constexpr uint64_t kTicksPerSecond = 10000000ULL;
constexpr int32_t kSplitLimit = 255;
// Files up to this size go out with their head in one send; larger ones are
// copied from file to socket by the kernel.
constexpr uint32_t kSmallFileBytes = 16 * 1024;
// Bytes asked of one kernel copy from file to socket: files of any usual
// size go out in one call, which returns early only on a stop or an error.
constexpr uint64_t kSendFileChunk = 1 << 26;

struct IndexName {
  const char* name;
  int32_t ServerSettingsRecord::*condition;  // null: always tried
};

constexpr IndexName kIndexNames[] = {
    {"index.php", &ServerSettingsRecord::php_enabled},  {"index.php3", &ServerSettingsRecord::php_enabled},
    {"index.phtml", &ServerSettingsRecord::php_enabled}, {"index.cgi", &ServerSettingsRecord::cgi_enabled},
    {"index.html", nullptr},                       {"index.htm", nullptr},
    {"default.htm", nullptr},
};

// A value for "Location:": the decoded path and a "/", with control
// characters percent-encoded so that no request (a decoded %0D%0A) can put a
// line break, and so a header of its own, into the response head.
std::string RedirectValue(const char* request_path) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string value;
  for (const char* p = request_path; *p != '\0'; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x20 || c == 0x7F) {
      value += '%';
      value += kHex[c >> 4];
      value += kHex[c & 15];
    } else {
      value += *p;
    }
  }
  value += '/';
  return value;
}

// document_root followed by path (its first separator dropped) into `out`
// (kFileNameCapacity bytes); false when it does not fit.
bool BuildFullName(const Connection* c, char* out) {
  const char* rest = c->path[0] == kPathSeparator ? c->path + 1 : c->path;
  size_t root_length = std::strlen(c->document_root);
  size_t rest_length = std::strlen(rest);
  if (root_length + rest_length + 1 > static_cast<size_t>(kFileNameCapacity)) return false;
  std::memcpy(out, c->document_root, root_length);
  std::memcpy(out + root_length, rest, rest_length + 1);
  return true;
}

// Takes the file `path` for this request (kept open between requests where
// the platform allows) into `file`. Whether one is open.
bool TakeRequestFile(Connection* c, const char* path, PathKind* kind) {
  KeptFile taken = TakeFile(path, &c->file_info, kind);
  c->file = taken.file;
  c->file_slot = taken.slot;
  return c->file != kInvalidFile;
}

// A script's file is read by the gateway from its own position: a kept
// file, shared with other requests, is swapped for one of the request's own.
bool OwnRequestFile(Connection* c) {
  if (c->file_slot == 0) return true;
  KeptFile taken{c->file, c->file_slot};
  GiveBackFile(&taken);
  PathKind kind;
  c->file = OpenFileWithInfo(c->file_path, &c->file_info, &kind);
  c->file_slot = 0;
  return c->file != kInvalidFile;
}

// Opens the first index file of the directory in `full_name` (which ends in
// a separator) and leaves its name there. 0, 400 when a name would not fit,
// or 404.
int32_t OpenIndexFile(Connection* c, char* full_name) {
  size_t directory_length = std::strlen(full_name);
  for (const IndexName& index : kIndexNames) {
    if (index.condition != nullptr && ServerSettings.*index.condition == 0) continue;
    size_t name_length = std::strlen(index.name);
    if (directory_length + name_length + 1 > static_cast<size_t>(kFileNameCapacity)) return 400;
    std::memcpy(full_name + directory_length, index.name, name_length + 1);
    PathKind kind;
    if (TakeRequestFile(c, full_name, &kind)) return 0;
  }
  full_name[directory_length] = '\0';
  return 404;
}

// Maps the request onto a file and opens it into `file`, leaving its full
// name in `full_name`. 0 when a file is open, otherwise the status.
int32_t OpenRequestedFile(Connection* c, char* full_name) {
  if (c->path == nullptr || c->document_root == nullptr) return 500;
  if (std::strstr(c->path, "..") != nullptr || std::strstr(c->document_root, "..") != nullptr ||
      std::strlen(c->path) >= kNameLimit || std::strlen(c->document_root) >= kNameLimit) {
    return 400;
  }
  c->request_path = DupString(c->path);
  if (c->request_path == nullptr) return 500;
  for (char* p = c->path; *p != '\0'; ++p) {
    if (*p == '/') *p = kPathSeparator;
  }
  if (!BuildFullName(c, full_name)) return 400;
  // One open tells a file from a directory and brings the file's
  // information along; a name is looked up on its own only when it would
  // not open.
  PathKind kind;
  if (TakeRequestFile(c, full_name, &kind)) return 0;
  if (kind == PathKind::kDirectory) {
    size_t length = std::strlen(full_name);
    if (length == 0 || full_name[length - 1] != kPathSeparator) {
      std::string location = RedirectValue(c->request_path);
      return AddResponseHeader(c, "Location:", location.c_str()) ? 301 : 500;
    }
    return OpenIndexFile(c, full_name);
  }
  return 404;
}

// A small file travels with its head: read into the head's buffer and sent
// with it in one call. 200, or 500 as SendFileBody would decide it.
int32_t SendHeadWithSmallFile(Connection* c) {
  // One buffer per session thread, kept: no allocation per request.
  thread_local std::string out;
  if (!TakeResponseHead(c, &out)) return 500;
  const size_t head_size = out.size();
  const uint32_t size = c->file_info.size_low;
  out.resize(head_size + size);
  uint32_t read = 0;
  while (read < size) {
    int32_t n = ReadFromFileAt(c->file, out.data() + head_size + read,
                               static_cast<int32_t>(size - read), read);
    if (n <= 0) break;
    read += static_cast<uint32_t>(n);
  }
  out.resize(head_size + read);
  const int64_t before = c->bytes_sent;
  SendAll(c, out.data(), static_cast<int32_t>(out.size()));
  const int64_t body_sent = c->bytes_sent - before - static_cast<int64_t>(head_size);
  // A file that shrank, or a client gone, leaves the announced length
  // unfulfilled: the connection cannot carry another response after that.
  if (body_sent < static_cast<int64_t>(size)) c->close_after = 1;
  const int64_t first_piece = size < kTransferBufferSize ? size : kTransferBufferSize;
  return size == 0 || (body_sent > 0 && body_sent >= first_piece) ? 200 : 500;
}

// Sends the open file with its length, its media type when its extension
// has one, and its date. The status.
int32_t SendStaticFile(Connection* c, const char* stored_name) {
  if (IsNotModified(c)) return 304;
  // Files of 2 GiB and more are not served.
  if (c->file_info.size_high != 0 || c->file_info.size_low >= 0x80000000U) return 400;
  const char* type = ContentTypeForFile(stored_name);
  if (!AddResponseHeaderNumber(c, "Content-Length:", c->file_info.size_low) ||
      (type != nullptr && !AddResponseHeader(c, "Content-Type:", type)) || !AddLastModified(c)) {
    return 500;
  }
  if (c->file_info.size_low <= kSmallFileBytes) return SendHeadWithSmallFile(c);
  // The head waits for the body's first bytes and leaves in their packet.
  thread_local std::string head;
  if (!TakeResponseHead(c, &head)) return 500;
  SendAllAhead(c, head.data(), static_cast<int32_t>(head.size()));
  return SendFileBody(c) ? 200 : 500;
}

// The leading decimal digits of a date piece, held within the calendar's
// field size so that an over-long number cannot wrap into a valid one.
uint16_t DatePieceNumber(const char* piece) {
  int64_t value = ParseDecimalPrefix64(piece);
  if (value < 0) return 0xFFFF;
  return value > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(value);
}

int NameIndex(const char* piece, const char* const* names, int count) {
  for (int i = 0; i < count; ++i) {
    if (std::strcmp(piece, names[i]) == 0) return i;
  }
  return -1;
}

}  // namespace

int32_t Connection::ServeRequest() {
  char full_name[kFileNameCapacity];
  full_name[0] = '\0';
  int32_t result = OpenRequestedFile(this, full_name);
  if (result != 0) return result;
  if (!AllocBlock(&file_path, kFileNameCapacity, true, 0)) return 500;
  std::memcpy(file_path, full_name, std::strlen(full_name) + 1);
  // What a file is (a script or not, and its media type) follows from the
  // name the file system keeps for it, whichever spelling the request used.
  char stored_name[kFileNameCapacity];
  if (!GetStoredFileName(file, full_name, stored_name, kFileNameCapacity)) return 500;
  const bool php = IsPhpScript(stored_name);
  if ((php || IsCgiScript(stored_name)) && !OwnRequestFile(this)) return 404;
  if (php) return RunScript(this, true);
  if (IsCgiScript(stored_name)) return RunScript(this, false);
  return SendStaticFile(this, stored_name);
}

bool SendFileBody(Connection* connection) {
  const uint64_t size = (static_cast<uint64_t>(connection->file_info.size_high) << 32) |
                        connection->file_info.size_low;
  // The first piece decides the result: the body counts as sent once that
  // many bytes went out, as with reading and sending 4096-byte pieces.
  const uint64_t first_piece = size < kTransferBufferSize ? size : kTransferBufferSize;
  uint64_t sent = 0;
  // The kernel copies file to socket; never more than the announced length
  // goes out, however the file grows.
  while (sent < size) {
    uint64_t want = size - sent < kSendFileChunk ? size - sent : kSendFileChunk;
    int32_t n =
        SendFileBytes(connection->socket, connection->file, static_cast<int32_t>(want), sent);
    if (n == 0) break;  // the file ended early
    if (n < 0) {
      if (sent < first_piece) return false;
      break;
    }
    sent += static_cast<uint64_t>(n);
    connection->bytes_sent += n;
  }
  // A file that shrank leaves the client short of the announced length: the
  // connection cannot carry another response after that.
  if (sent < size) connection->close_after = 1;
  return size == 0 || sent > 0;
}

bool FormatHttpDate(uint64_t file_time, char* out, int32_t capacity) {
  // A session serves the same files over and over: the last text is kept.
  thread_local uint64_t last_time = 0;
  thread_local char last_text[40] = "";
  const uint64_t whole_seconds = file_time / kTicksPerSecond;
  if (out == nullptr) return false;
  if (last_text[0] != '\0' && whole_seconds == last_time) {
    size_t length = std::strlen(last_text);
    if (length >= static_cast<size_t>(capacity)) return false;
    std::memcpy(out, last_text, length + 1);
    return true;
  }
  CalendarTime t{};
  if (out == nullptr || !FileTimeToCalendar(file_time, &t) || t.day_of_week > 6 || t.month < 1 ||
      t.month > 12) {
    return false;
  }
  int n = std::snprintf(out, static_cast<size_t>(capacity), "%s, %02u %s %04u %02u:%02u:%02u GMT",
                        kDayNames[t.day_of_week], t.day, kMonthNames[t.month - 1], t.year, t.hour,
                        t.minute, t.second);
  if (n <= 0 || n >= capacity) return false;
  if (static_cast<size_t>(n) < sizeof(last_text)) {
    std::memcpy(last_text, out, static_cast<size_t>(n) + 1);
    last_time = whole_seconds;
  }
  return true;
}

bool AddLastModified(Connection* connection) {
  char date[64];
  if (!FormatHttpDate(connection->file_info.last_write_time, date, sizeof(date))) return false;
  return AddResponseHeader(connection, "Last-Modified:", date);
}

bool IsNotModified(Connection* connection) {
  const char* since = FindRequestHeader(connection, "If-Modified-Since:");
  CalendarTime t{};
  uint64_t since_time = 0;
  if (*since == '\0' || !ParseHttpDate(since, &t) || !CalendarToFileTime(t, &since_time)) {
    return false;
  }
  uint64_t written = connection->file_info.last_write_time / kTicksPerSecond * kTicksPerSecond;
  return since_time == written;
}

bool SplitAt(const char* text, const char* delimiter, char** piece, const char** rest) {
  if (text == nullptr || delimiter == nullptr || *delimiter == '\0') return false;
  size_t length = std::strlen(text);
  size_t delimiter_length = std::strlen(delimiter);
  for (size_t i = 0; i < length && i < static_cast<size_t>(kSplitLimit); ++i) {
    if (std::strncmp(text + i, delimiter, delimiter_length) != 0) continue;
    char* copy = nullptr;
    if (!AllocBlock(&copy, static_cast<int32_t>(i + 1), true, 0)) return false;
    std::memcpy(copy, text, i);
    *piece = copy;
    *rest = text + i + delimiter_length;
    return true;
  }
  return false;
}

bool ParseHttpDate(const char* text, CalendarTime* out) {
  static const char* const kDelimiters[] = {", ", " ", " ", " ", ":", ":", " "};
  char* pieces[7] = {};
  const char* rest = text;
  bool ok = out != nullptr && text != nullptr;
  for (int i = 0; ok && i < 7; ++i) ok = SplitAt(rest, kDelimiters[i], &pieces[i], &rest);
  int day_of_week = ok ? NameIndex(pieces[0], kDayNames, 7) : -1;
  int month = ok ? NameIndex(pieces[2], kMonthNames, 12) : -1;
  ok = ok && day_of_week >= 0 && month >= 0;
  if (ok) {
    *out = CalendarTime{};
    out->day_of_week = static_cast<uint16_t>(day_of_week);
    out->day = DatePieceNumber(pieces[1]);
    out->month = static_cast<uint16_t>(month + 1);
    out->year = DatePieceNumber(pieces[3]);
    out->hour = DatePieceNumber(pieces[4]);
    out->minute = DatePieceNumber(pieces[5]);
    out->second = DatePieceNumber(pieces[6]);
  }
  for (char*& piece : pieces) FreeAndClear(&piece);
  return ok;
}
