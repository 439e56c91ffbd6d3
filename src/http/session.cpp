#include "http/session.h"

#include <new>

#include "scope/server_scope.h"
#include "core/blocks.h"
#include "core/error.h"
#include "http/engine.h"
#include "http/kept_files.h"
#include "http/request_reader.h"
#include "http/response_writer.h"
#include "http/server.h"
#include "http/session_pool.h"
#include "core/thread_registry.h"
#include "log/access_log.h"

namespace {

// The dotted text of an address as a new owned text, or null.
char* AddressText(const SocketAddressV4& address) {
  char text[kAddressTextCapacity];
  return FormatAddressText(address, text) ? DupString(text) : nullptr;
}

void LogAnswered(Connection* c, int32_t status) {
  if (AccessLogHandle.load() == nullptr || c->peer_text == nullptr) return;
  const char* referer = FindRequestHeader(c, "Referer:");
  LogRequest(FindRequestHeader(c, "User-Agent:"), c->peer_text, c->method, c->target, c->version,
             status, c->bytes_sent, referer);
}

// Reads, answers and logs one request. False when the connection is to be
// closed afterwards.
bool AnswerOneRequest(Connection* c) {
  int32_t read_result = c->ReadRequest();
  if (read_result != 0) {
    // A broken or refused request (or a client gone between requests):
    // answered on a best-effort basis, not logged.
    c->status = read_result;
    c->close_after = 1;
    c->SendResponseHead();
    return false;
  }
  int32_t status = c->ServeRequest();
  if (status != 0) {
    c->status = status;
    // Goes out only with a head that has not gone out yet.
    AddResponseHeader(c, "Content-Length:", "0");
    c->SendResponseHead();
    LogAnswered(c, status);
  }
  // A body nobody read must not be taken for the next request.
  return c->close_after != 1 && DiscardRequestBody(c);
}

// Memory ran out somewhere in the request: 500 when the client has seen no
// head yet; the connection is closed either way.
void AnswerAllocationFailure(Connection* c) {
  if (c->head_sent == 0) {
    c->status = 500;
    c->close_after = 1;
    c->SendResponseHead();
  }
}

bool AnswerGuarded(Connection* c) {
  try {
    return AnswerOneRequest(c);
  } catch (const ErrorText&) {
    AnswerAllocationFailure(c);
  } catch (const std::bad_alloc&) {
    AnswerAllocationFailure(c);
  }
  return false;
}

void EndSession(Connection* c) {
  ResetRequest(c);
  FreeAndClear(&c->receive_buffer);
  FreeAndClear(&c->local_text);
  FreeAndClear(&c->peer_text);
  FreeAndClear(&c->document_root);
  if (c->socket != kInvalidSocket) {
    ShutdownSocket(c->socket);
    CloseRegisteredSocket(c->socket);
    c->socket = kInvalidSocket;
  }
  FreeAndClear(&c);
  {
    std::lock_guard<std::mutex> guard(SessionCountLock);
    SessionCount -= 1;
  }
}

}  // namespace

namespace {

// Serves one connection from the scope check to its close.
void ServeConnection(Connection* c) {
  c->peer_text = AddressText(c->peer_address);
  c->file = kInvalidFile;
  // A refused peer sees its connection closed without a byte either way.
  if (!IsPeerAllowed(ServerSettings.scope, c->peer_text)) {
    CloseRegisteredSocket(c->socket);
    c->socket = kInvalidSocket;
  }
  while (c->socket != kInvalidSocket) {
    if (!AnswerGuarded(c)) break;
    ResetRequest(c);
  }
  EndSession(c);
}

}  // namespace

void SessionThread(void*) {
  // The thread takes its connections itself, one after another; its
  // starter sent it to accept the first.
  for (Connection* c = AcceptNextConnection(true); c != nullptr; c = AcceptNextConnection(false)) {
    ServeConnection(c);
  }
  // Retired from the registry first, so a stop that waits for the pool finds
  // the registry without this thread.
  ReleaseCurrentThread();
  LeaveSessionPool();
}

void KnowLocalAddress(Connection* c) {
  if (c->local_text != nullptr) return;
  if (c->socket != kInvalidSocket) GetLocalAddress(c->socket, &c->local_address);
  c->local_text = AddressText(c->local_address);
}

void ResetRequest(Connection* c) {
  KeptFile taken{c->file, c->file_slot};
  GiveBackFile(&taken);
  c->file = kInvalidFile;
  c->file_slot = 0;
  ClearHeaderList(&c->response_headers);
  ClearHeaderList(&c->request_headers);
  FreeAndClear(&c->query);
  FreeAndClear(&c->version);
  FreeAndClear(&c->file_path);
  FreeAndClear(&c->path);
  FreeAndClear(&c->request_path);
  FreeAndClear(&c->method);
  FreeAndClear(&c->target);
  c->content_length = 0;
  c->body_unread = 0;
  c->status = 0;
  c->head_sent = 0;
  c->close_after = 0;
  c->request_header_count = 0;
  c->bytes_sent = 0;
  c->request_value_bytes = 0;
  c->file_info = FileInfo{};
}
