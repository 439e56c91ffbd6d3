#include "http/server.h"

#include <algorithm>
#include <vector>

#include "scope/server_scope.h"
#include "core/blocks.h"
#include "core/error.h"
#include "http/content_types.h"
#include "http/kept_files.h"
#include "http/session.h"
#include "http/session_pool.h"
#include "core/thread_registry.h"
#include "log/access_log.h"
#include "log/script_error_log.h"
#include "platform/clock.h"
#include "platform/process.h"

std::atomic<SocketHandle> ListenSocket{kInvalidSocket};
std::atomic<int32_t> ListenerRunning{0};
std::atomic<int32_t> SessionCount{0};
std::mutex SessionCountLock;
std::atomic<EngineToken*> AccessLogHandle{nullptr};

namespace {

constexpr int32_t kVersionNotSupported = 10092;
// Linux takes a backlog of 0 literally: a second connection that arrives
// while the listener starts a session is dropped and its client waits a
// whole second to try again. A modest queue keeps bursts (a browser opens
// several connections at once) from stalling.
constexpr int32_t kListenBacklog = 128;

// Every open socket of the engine (listening and sessions). A socket leaves
// the list before it is closed, so a shut-down of all never meets a reused
// number.
std::mutex SocketRegistryLock;
std::vector<SocketHandle> OpenSockets;
bool RefusingSockets = false;

void AllowNewSockets() {
  std::lock_guard<std::mutex> guard(SocketRegistryLock);
  RefusingSockets = false;
}

// Creates, binds and listens, or raises ListenFailure with the text that
// tells what failed. Done before the start returns, so that a server that
// cannot listen is never counted as running.
void OpenListenSocket() {
  if (ServerSettings.serving_directory == nullptr) {
    throw ListenFailure("No Server Directory Defined", BindRefusal::kOther);
  }
  SocketHandle s = CreateTcpSocket();
  if (s == kInvalidSocket) {
    throw ListenFailure("Server Failed While Attempting to Create a Listening Socket",
                        BindRefusal::kOther);
  }
  RegisterSocket(s);
  ListenSocket = s;
  BindRefusal why = BindRefusal::kOther;
  if (!BindAnyAddress(s, kServerPort, &why)) {
    throw ListenFailure("Server Failed While Attempting to Bind", why);
  }
  if (!StartListening(s, kListenBacklog)) {
    throw ListenFailure("Server Failed While Attempting to Listen", BindRefusal::kOther);
  }
}

// Runs on the socket the start opened: the session threads accept, the
// listener waits until they can't, then winds the run down.
void ListenerThread(void*) {
  ListenerRunning = 1;
  SessionCount = 0;
  if (OpenSessionPool(ListenSocket)) WaitForAcceptingToEnd();
  // The end of the socket library's use: every socket of the engine is shut
  // down, so sessions waiting on idle clients end too.
  SocketHandle listen_socket = ListenSocket.exchange(kInvalidSocket);
  if (listen_socket != kInvalidSocket) CloseRegisteredSocket(listen_socket);
  ShutdownRegisteredSockets();
  EndSocketLibrary();
  while (SessionCount != 0) SleepMilliseconds(1);
  // Every session has ended; the threads parked for more end now as well.
  CloseSessionPool();
  ListenerRunning = 0;
  SessionCount = 0;
  ReleaseCurrentThread();
}

// Starts the access log for this run; the handle, or null.
EngineToken* StartLogForRun(const char* log_directory) {
  if (log_directory == nullptr) return nullptr;
  EngineToken* token = nullptr;
  if (!AllocBlock(&token, sizeof(EngineToken), true, 0)) return nullptr;
  EngineToken* handle = StartAccessLog(log_directory, token);
  if (handle == nullptr) {
    FreeAndClear(&token);
    return nullptr;
  }
  StartScriptErrorLog(log_directory);
  return handle;
}

}  // namespace

Connection* AdmitConnection(SocketHandle socket, const SocketAddressV4& peer) {
  Connection* c = nullptr;
  if (!RegisterSocket(socket) || !AllocBlock(&c, sizeof(Connection), true, 0)) {
    CloseRegisteredSocket(socket);
    return nullptr;
  }
  c->socket = socket;
  c->peer_address = peer;
  c->peer_address_length = sizeof(SocketAddressV4);
  c->local_address_length = sizeof(SocketAddressV4);
  c->document_root = DupString(ServerSettings.serving_directory);
  // The local address is read when a script needs it (KnowLocalAddress).
  std::lock_guard<std::mutex> guard(SessionCountLock);
  SessionCount += 1;
  return c;
}

bool RegisterSocket(SocketHandle socket) {
  if (socket == kInvalidSocket) return false;
  std::lock_guard<std::mutex> guard(SocketRegistryLock);
  if (RefusingSockets) return false;
  OpenSockets.push_back(socket);
  return true;
}

void CloseRegisteredSocket(SocketHandle socket) {
  if (socket == kInvalidSocket) return;
  {
    std::lock_guard<std::mutex> guard(SocketRegistryLock);
    auto found = std::find(OpenSockets.begin(), OpenSockets.end(), socket);
    if (found != OpenSockets.end()) {
      *found = OpenSockets.back();
      OpenSockets.pop_back();
    }
  }
  // Off the list first, closed after: a stop can no longer reach the number,
  // so it never meets it handed out again, and the close (which may take a
  // while for a connection) does not hold up the listener's registering.
  CloseSocket(socket);
}

void ShutdownRegisteredSockets() {
  std::lock_guard<std::mutex> guard(SocketRegistryLock);
  RefusingSockets = true;
  for (SocketHandle socket : OpenSockets) ShutdownSocket(socket);
}

EngineToken* StartServer(const char* log_directory, const char* serving_directory,
                         EngineToken* token, int32_t scope, int32_t php_enabled,
                         const char* php_directory, int32_t cgi_enabled) {
  ListenerRunning = 0;
  SocketHandle old = ListenSocket.exchange(kInvalidSocket);
  if (old != kInvalidSocket) CloseRegisteredSocket(old);
  EndSocketLibrary();
  if (StartSocketLibrary() == kVersionNotSupported &&
      StartSocketLibrary() == kVersionNotSupported) {
    throw ErrorText(kSocketLibraryFailedText);
  }
  AllowNewSockets();
  LoadSystemContentTypes();
  AccessLogHandle = StartLogForRun(log_directory);
  ServerSettings.scope = scope;
  ServerSettings.port = kServerPort;
  ServerSettings.cgi_enabled = cgi_enabled;
  ServerSettings.php_enabled = php_enabled;
  ServerSettings.php_directory = DupString(php_directory);
  ServerSettings.serving_directory = DupString(serving_directory);
  StartInterfaceWatcher();
  try {
    OpenListenSocket();
  } catch (const ListenFailure&) {
    SocketHandle s = ListenSocket.exchange(kInvalidSocket);
    if (s != kInvalidSocket) CloseRegisteredSocket(s);
    StopServer();
    throw;
  }
  // Raised here already, so that a stop right after this start waits for
  // the listener instead of missing it.
  ListenerRunning = 1;
  if (StartRegisteredThread(ListenerThread, nullptr) == kInvalidThread) ListenerRunning = 0;
  return token;
}

void StopServer() {
  // Sessions stop handing lines to the log before it goes.
  EngineToken* log_handle = AccessLogHandle.exchange(nullptr);
  if (log_handle != nullptr) {
    StopAccessLog();
    FreeAndClear(&log_handle);
  }
  // No process-wide socket clean-up here: shut every socket down, which
  // wakes the blocked accept and every blocked receive or send.
  ShutdownRegisteredSockets();
  EndSocketLibrary();
  // A session relaying a script that never ends would wait on its output for
  // ever: the scripts still running end now, and any a session starts
  // before it notices the stop end at once.
  EndChildProcesses();
  while (ListenerRunning != 0) SleepMilliseconds(1);
  // What the scripts ended here still say goes to the terminal alone.
  StopScriptErrorLog();
  AllowChildProcesses();
  ListenSocket = kInvalidSocket;
  // No request runs now: the files kept open for them are closed.
  CloseKeptFiles();
  StopInterfaceWatcher();
  FreeAndClear(&ServerSettings.php_directory);
  FreeAndClear(&ServerSettings.serving_directory);
}
