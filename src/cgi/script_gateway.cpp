#include "cgi/script_gateway.h"

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "cgi/script_setup.h"
#include "cgi/script_streams.h"
#include "core/decimal.h"
#include "core/header_list.h"
#include "http/engine.h"
#include "http/session.h"
#include "http/request_reader.h"
#include "http/response_writer.h"
#include "log/script_error_log.h"
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

constexpr int32_t kPieceSize = 4096;       // output reads when streaming
constexpr int32_t kOutputBufferSize = 32768;  // output held back to learn a short response's length

// The child's pipes, closed and the child forgotten however the run ends.
struct ChildGuard {
  ChildProcess child{kNoProcess, kInvalidFile, kInvalidFile, kInvalidFile};
  ~ChildGuard() { ReleaseChildProcess(&child); }
};

// Ends the body feed however the relay ends. The output is closed first: a
// child still writing it (the relay stopped early) then fails instead of
// waiting, and lets go of its input, on which the feed may wait.
struct FeedGuard {
  ChildProcess* child;
  BodyFeed feed;
  ~FeedGuard() {
    CloseChildPipe(&child->output);
    FinishBodyFeed(&feed);
  }
};

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

// Chooses how the connection's file runs; false, with the reason in the
// script error file, when it cannot run.
bool ChooseCommand(Connection* c, bool is_php, ScriptCommand* command) {
  if (is_php) {
    const char* folder = ServerSettings.php_directory;
    if (ChoosePhpCommand(folder, c->file_path, command)) return true;
    LogScriptFailure(c->file_path, std::string("no ") + kPhpCgiProgram + " or " + kPhpProgram +
                                       " in the PHP folder " + (folder != nullptr ? folder : ""));
    return false;
  }
  char probe[kCgiProbeBytes];
  int32_t count = ReadFromFile(c->file, probe, kCgiProbeBytes);
  if (count <= 0 || !RewindFile(c->file)) {
    LogScriptFailure(c->file_path, "the script is empty or cannot be read");
    return false;
  }
  if (ChooseCgiCommand(c->file_path, probe, count, command)) return true;
  if (count >= 2 && probe[0] == '#' && probe[1] == '!') {
    LogScriptFailure(c->file_path, "its #! line names no program file: \"" + command->program +
                                       "\" (the whole line is the program's name)");
  } else {
    LogScriptFailure(c->file_path, "neither a #! line nor a program");
  }
  return false;
}

// The child's output relayed while its body goes in on a thread of its own.
int32_t RelayWhileFeeding(Connection* c, ChildProcess* child) {
  FeedGuard feeding{child, {}};
  StartBodyFeed(c, &child->input, &feeding.feed);
  int32_t status = RelayOutput(c, child->output);
  CloseChildPipe(&child->output);
  if (!FinishBodyFeed(&feeding.feed)) {
    // The client's body broke off: the connection cannot go on.
    c->close_after = 1;
    return 500;
  }
  return status;
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
    LogScriptFailure(c->file_path,
                     "could not start " + command.program + ": " + ChildStartFailure());
    return 500;
  }
  StartErrorPump(&child.errors, c->file_path);
  return RelayWhileFeeding(c, &child);
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
