// Session threads that have finished with their connection wait, parked,
// for the next one: a new connection then costs a wake-up instead of a
// thread start. Each connection still has one thread for its whole life, and
// as many run at once as there are connections.
#pragma once

#include <cstdint>

struct Connection;

// Parked threads beyond this many end after kParkedIdleMs without a
// connection; these few wait until the server stops.
inline constexpr int32_t kParkedSessionsKept = 4;
inline constexpr int64_t kParkedIdleMs = 10000;

// Gives `connection` to a parked session thread, or starts a new registered
// one for it. False when no thread could be had; the caller still owns the
// connection then.
bool StartSession(Connection* connection);

// What a session thread does after its connection ended: waits parked for
// the next one. Null when the thread is to end (idle too long, or the
// server stops).
Connection* WaitForNextSession();

// Called by a session thread right before it retires.
void LeaveSessionPool();

// Allows parking again; called when the listener starts.
void OpenSessionPool();

// Ends every parked session thread and returns once every session thread,
// parked or on its way to park, has retired. Call it after the last session
// ended (no connection is served any more).
void CloseSessionPool();

// Session threads alive (serving or parked) and parked ones; for tests.
int32_t CountSessionThreads();
int32_t CountParkedSessions();
