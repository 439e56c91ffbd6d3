// The streams of a running script besides its output: the request body on
// its way in and its standard error on its way out. Each runs on a thread of
// its own while the session thread relays the output, so a script that
// writes while it reads never waits on a server that is still writing to it.
#pragma once

#include <cstdint>

#include "platform/files.h"
#include "platform/thread.h"

struct Connection;

// One request body on its way to the child's input.
struct BodyFeed {
  Connection* connection = nullptr;
  FileHandle input = kInvalidFile;  // the child's input; the feed closes it when done
  ThreadHandle thread = kInvalidThread;
  bool received = true;  // false when the body could not be received in full
};

// Takes the child's input end from *input and passes the connection's body
// to it, on a thread of its own when there is a body (else, or without a
// thread to spare, at once), then closes it. While it runs the feed alone
// uses the connection's receiving side and `body_unread`.
void StartBodyFeed(Connection* connection, FileHandle* input, BodyFeed* feed);

// Waits until the feed has ended; false when the body could not be received.
// Harmless on a feed that has ended already.
bool FinishBodyFeed(BodyFeed* feed);

// Takes the child's standard error end from *errors (left as it is when no
// thread can be had for it) and reads it until the script, and whatever it
// started, have closed it: every byte goes on to the server's own standard
// error, and the lines to the script error file under `script`'s name. The
// thread is left to run; nobody waits for it.
void StartErrorPump(FileHandle* errors, const char* script);
