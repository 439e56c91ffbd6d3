// Session threads take their connections themselves: a few wait in accept
// on the listening socket, and each serves the connection it gets for that
// connection's whole life. A new connection then costs the kernel's wake-up
// of one waiting thread, nothing more. Threads that finish while enough
// others wait in accept park until one of those takes a connection and
// calls them up; a thread that takes a connection while none is left
// waiting calls up a parked one or starts a new one, so there is always a
// thread ready and as many run at once as there are connections.
#pragma once

#include <cstdint>

#include "platform/net.h"

struct Connection;

// At most this many threads wait in accept at once (each holds a descriptor
// the kernel sets aside for the connection it waits for). Parked threads
// beyond the same number end after kParkedIdleMs without being called up.
inline constexpr int32_t kParkedSessionsKept = 4;
inline constexpr int64_t kParkedIdleMs = 10000;

// Starts taking connections on `listen_socket` with one session thread
// waiting in accept. False when no thread could be started.
bool OpenSessionPool(SocketHandle listen_socket);

// Returns once accepting has ended for good (the listening socket was shut
// down, or failed) and no thread uses the listening socket any more, so it
// may be closed.
void WaitForAcceptingToEnd();

// What a session thread does between connections: waits for the next one.
// `sent_to_accept` is true for a new thread's first call (its starter
// counted it among the threads in accept). Null when the thread is to end
// (parked too long, or accepting ended).
Connection* AcceptNextConnection(bool sent_to_accept);

// Called by a session thread right before it retires.
void LeaveSessionPool();

// Returns once every session thread has retired. Call it after accepting
// ended and the last session ended.
void CloseSessionPool();

// Session threads alive (serving, waiting in accept or parked), those
// waiting in accept or parked, and those waiting in accept; for tests.
int32_t CountSessionThreads();
int32_t CountParkedSessions();
int32_t CountAcceptingSessions();
