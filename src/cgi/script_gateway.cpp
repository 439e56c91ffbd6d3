#include "cgi/script_gateway.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "cgi/script_setup.h"
#include "core/decimal.h"
#include "core/header_list.h"
#include "http/engine.h"
#include "http/session.h"
#include "http/request_reader.h"
#include "http/response_writer.h"
#include "platform/platform_table.h"
#include "platform/process.h"

namespace {

bool EndsWithIgnoringCase(const char* name, size_t length, const char* ending) {
  size_t n = std::strlen(ending);
  return length >= n && EqualsIgnoringCase(name + length - n, ending);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether the full name lies in a CGI folder, with letter case as the file
// system takes it: on Windows "\CGI-BIN\" is the same folder as "\cgi-bin\".
bool HoldsCgiFolderMarker(const char* name) {
  if (!kNamesIgnoreCase) return std::strstr(name, kCgiFolderMarker) != nullptr;
  const size_t marker_length = std::strlen(kCgiFolderMarker);
  for (const char* p = name; *p != '\0'; ++p) {
    size_t i = 0;
    while (i < marker_length && LowerAscii(p[i]) == kCgiFolderMarker[i]) ++i;
    if (i == marker_length) return true;
  }
  return false;
}

}  // namespace

bool IsPhpScript(const char* file_name) {
  if (!ServerSettings.php_enabled || file_name == nullptr) return false;
  size_t length = std::strlen(file_name);
  return (length > 4 && EndsWithIgnoringCase(file_name, length, ".php")) ||
         (length > 5 && (EndsWithIgnoringCase(file_name, length, ".php3") ||
                         EndsWithIgnoringCase(file_name, length, ".php4"))) ||
         (length > 6 && EndsWithIgnoringCase(file_name, length, ".phtml"));
}

bool IsCgiScript(const char* file_name) {
  if (!ServerSettings.cgi_enabled || file_name == nullptr) return false;
  size_t length = std::strlen(file_name);
  if (length <= 4) return false;
  return HoldsCgiFolderMarker(file_name) || EndsWithIgnoringCase(file_name, length, ".cgi");
}

namespace {

constexpr int32_t kPieceSize = 4096;       // body pieces to the child, output reads when streaming
constexpr int32_t kOutputBufferSize = 32768;  // output held back to learn a short response's length

// The child's pipes, closed and the child forgotten however the run ends.
struct ChildGuard {
  ChildProcess child{kNoProcess, kInvalidFile, kInvalidFile};
  ~ChildGuard() { ReleaseChildProcess(&child); }
};

// Takes the request body (what the reader received ahead of it first, then
// the socket) in pieces of up to 4096 bytes and passes them to the child's
// input, as data: the script itself is named by its argument and never read
// from there. A child that stopped reading (or never read, and may have
// ended already) still has its output relayed: whether a write meets it gone
// is a matter of timing alone. What it leaves of the body stays counted in
// body_unread for the session. False only when the body cannot be received.
bool FeedBody(Connection* c, FileHandle input) {
  char piece[kPieceSize];
  while (c->body_unread > 0) {
    int32_t n = c->body_unread < kPieceSize ? c->body_unread : kPieceSize;
    if (!ReceiveRequestBody(c, piece, n)) return false;
    c->body_unread -= n;
    if (!WriteToFile(input, piece, n)) return true;
  }
  return true;
}

// The script announced its length: the head goes out at once and the body is
// passed on as it arrives, never beyond the announced length.
int32_t RelayKnownLength(Connection* c, FileHandle output, int64_t length, char* buffer) {
  if (!c->SendResponseHead()) return 500;
  int64_t relayed = 0;
  while (relayed < length) {
    int64_t want = length - relayed < kOutputBufferSize ? length - relayed : kOutputBufferSize;
    int32_t n = ReadFromFile(output, buffer, static_cast<int32_t>(want));
    if (n <= 0) {
      // The output ended short of its length: only a close tells the client
      // that no more is coming.
      c->close_after = 1;
      return 200;
    }
    if (!SendAll(c, buffer, n)) return 500;
    relayed += n;
  }
  return 200;
}

// No length announced: up to 32768 bytes are held back. Output that ends
// within them goes out with its length; longer output is streamed and the
// connection closed after it.
int32_t RelayUnknownLength(Connection* c, FileHandle output, char* buffer) {
  int32_t held = 0;
  while (held < kOutputBufferSize) {
    int32_t n = ReadFromFile(output, buffer + held, kOutputBufferSize - held);
    if (n <= 0) break;
    held += n;
  }
  if (held < kOutputBufferSize) {
    if (!AddResponseHeaderNumber(c, "Content-Length:", held) || !c->SendResponseHead()) return 500;
    SendAll(c, buffer, held);
    return 200;
  }
  c->close_after = 1;
  if (!c->SendResponseHead() || !SendAll(c, buffer, held)) return 500;
  char piece[kPieceSize];
  for (;;) {
    int32_t n = ReadFromFile(output, piece, kPieceSize);
    if (n <= 0) return 200;
    if (!SendAll(c, piece, n)) return 500;
  }
}

// Reads the script's header block and relays its body.
int32_t RelayOutput(Connection* c, FileHandle output) {
  if (!ReadScriptHeaders(c, output)) return 500;
  std::vector<char> buffer(kOutputBufferSize, 0);
  HeaderEntry* length = FindResponseHeader(c, "Content-Length:");
  if (length != nullptr) {
    return RelayKnownLength(c, output, ParseDecimalPrefix64(length->value ? length->value : ""),
                            buffer.data());
  }
  return RelayUnknownLength(c, output, buffer.data());
}

// Chooses how the connection's file runs; false when it cannot run.
bool ChooseCommand(Connection* c, bool is_php, ScriptCommand* command) {
  if (is_php) return ChoosePhpCommand(ServerSettings.php_directory, c->file_path, command);
  char probe[kCgiProbeBytes];
  int32_t count = ReadFromFile(c->file, probe, kCgiProbeBytes);
  if (count <= 0 || !RewindFile(c->file)) return false;
  return ChooseCgiCommand(c->file_path, probe, count, command);
}

int32_t RunScriptChecked(Connection* c, bool is_php) {
  ScriptCommand command;
  if (!ChooseCommand(c, is_php, &command)) return 500;
  KnowLocalAddress(c);
  std::string environment = BuildScriptEnvironment(*c);
  std::string directory = ScriptWorkingDirectory(c->file_path);
  ChildGuard guard;
  ChildProcess& child = guard.child;
  if (!StartChildProcess(command.program.c_str(), command.argument.c_str(), environment.data(),
                         directory.c_str(), &child)) {
    return 500;
  }
  if (!FeedBody(c, child.input)) return 500;
  CloseChildPipe(&child.input);
  return RelayOutput(c, child.output);
}

}  // namespace

int32_t RunScript(Connection* connection, bool is_php) {
  if (connection == nullptr) return 500;
  try {
    return RunScriptChecked(connection, is_php);
  } catch (const std::bad_alloc&) {
    return 500;
  }
}
