// The connection session: one thread per accepted connection, from the scope
// check to the close, answering requests for as long as the client keeps the
// connection open.
#pragma once

struct Connection;

// Thread routine started for a connection; owns `parameter` (a Connection).
// When that connection ends the thread parks for the next one (see
// session_pool.h).
void SessionThread(void* parameter);

// Releases and clears the per-request state of the connection.
void ResetRequest(Connection* connection);

// Reads the connection's own local address and its dotted text the first
// time something needs them (a script's environment): most connections
// never do, and each would cost a system call.
void KnowLocalAddress(Connection* connection);
