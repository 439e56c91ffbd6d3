// Server start and stop, the listener thread, and the registry of open
// sockets that lets a stop wake every blocked accept and receive.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "core/error.h"
#include "http/engine.h"
#include "platform/net.h"

inline constexpr uint16_t kServerPort = 80;

// Process-wide engine state besides ServerSettings.
extern std::atomic<SocketHandle> ListenSocket;   // kInvalidSocket when none
extern std::atomic<int32_t> ListenerRunning;      // 1 until the listener cleaned up
extern std::atomic<int32_t> SessionCount;        // sessions started and not finished
extern std::mutex SessionCountLock;               // guards changes of SessionCount
// Non-null while the access log runs; sessions test it before logging.
extern std::atomic<EngineToken*> AccessLogHandle;

// The listening socket could not be made ready: the text for the "Server
// Error" box ("Server Failed While Attempting to Bind", ...) and, for a
// refused bind, why.
class ListenFailure : public ErrorText {
 public:
  ListenFailure(const char* text, BindRefusal why) noexcept : ErrorText(text), why_(why) {}
  BindRefusal why() const noexcept { return why_; }

 private:
  BindRefusal why_;
};

inline constexpr const char* kServerErrorCaption = "Server Error";

// Starts the engine: the access log (when `log_directory` is given), the
// settings, the interface watcher, the listening socket on port 80 and the
// listener. Returns `token` once the socket listens. Raises
// ErrorText("Winsock could not be initialized") when the socket layer cannot
// be used, and ListenFailure when there is no serving folder or the socket
// cannot be created, bound or put to listening; then everything this start
// began is stopped again, so nothing claims to serve.
EngineToken* StartServer(const char* log_directory, const char* serving_directory,
                         EngineToken* token, int32_t scope, int32_t php_enabled,
                         const char* php_directory, int32_t cgi_enabled);

// Stops the engine: the access log, the listening socket and every session
// socket; returns once the listener and every session have ended.
void StopServer();

// Makes an accepted socket a connection of this run: registered, counted
// in SessionCount, with the serving folder of the current settings. Null,
// and the socket closed, when a stop is under way or memory ran out.
Connection* AdmitConnection(SocketHandle socket, const SocketAddressV4& peer);

// The socket registry. Every open socket of the engine is registered, so a
// stop can shut them all down. Registering fails once a shut-down of all
// began (the caller then closes the socket itself).
bool RegisterSocket(SocketHandle socket);
// Unregisters a socket, then closes it, so a stop never shuts down a
// descriptor number that was closed and handed out again.
void CloseRegisteredSocket(SocketHandle socket);
// Shuts every registered socket down and refuses new ones until the next
// start.
void ShutdownRegisteredSockets();
