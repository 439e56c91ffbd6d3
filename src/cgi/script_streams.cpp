#include "cgi/script_streams.h"

#include <cstdio>
#include <new>
#include <string>

#include "http/engine.h"
#include "http/request_reader.h"
#include "log/script_error_log.h"
#include "platform/process.h"

namespace {

constexpr int32_t kPieceSize = 4096;  // body pieces to the child, reads of its standard error

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

// The body, then the end of the child's input: a body cut short by the
// client ends the input early too, so the script is not left waiting.
void RunFeed(BodyFeed* feed) {
  feed->received = FeedBody(feed->connection, feed->input);
  CloseChildPipe(&feed->input);
}

// What the error pump's thread owns.
struct ErrorPump {
  FileHandle errors;
  ScriptErrorStream stream;
};

void RunErrorPump(void* parameter) {
  ErrorPump* pump = static_cast<ErrorPump*>(parameter);
  char piece[kPieceSize];
  for (int32_t n; (n = ReadFromFile(pump->errors, piece, kPieceSize)) > 0;) {
    std::fwrite(piece, 1, static_cast<size_t>(n), stderr);
    AddScriptErrorText(&pump->stream, piece, n);
  }
  EndScriptErrorText(&pump->stream);
  CloseChildPipe(&pump->errors);
  delete pump;
}

}  // namespace

void StartBodyFeed(Connection* connection, FileHandle* input, BodyFeed* feed) {
  *feed = BodyFeed{connection, *input, kInvalidThread, true};
  *input = kInvalidFile;
  if (connection->body_unread > 0) {
    feed->thread = StartThread([](void* p) { RunFeed(static_cast<BodyFeed*>(p)); }, feed, 0,
                               nullptr);
  }
  if (feed->thread == kInvalidThread) RunFeed(feed);
}

bool FinishBodyFeed(BodyFeed* feed) {
  if (feed->thread != kInvalidThread) JoinThread(feed->thread);
  feed->thread = kInvalidThread;
  return feed->received;
}

void StartErrorPump(FileHandle* errors, const char* script) {
  ErrorPump* pump = new (std::nothrow) ErrorPump{*errors, {}};
  if (pump == nullptr) return;
  try {
    pump->stream.script = script != nullptr ? script : "";
  } catch (const std::bad_alloc&) {
    delete pump;
    return;
  }
  ThreadHandle thread = StartThread(RunErrorPump, pump, 0, nullptr);
  if (thread == kInvalidThread) {
    // The run keeps the end and closes it when it is over.
    delete pump;
    return;
  }
  *errors = kInvalidFile;
  CloseThreadHandle(thread);
}
