// The access log: one line per answered request, in the combined layout, in
// one file per local day, written by the log thread.
#pragma once

#include <cstdint>

#include "platform/clock.h"

struct EngineToken;

// Starts the log in `directory` (created when missing) and returns `token`.
EngineToken* StartAccessLog(const char* directory, EngineToken* token);

// Hands one request's line to the log; does nothing when method, referer or
// user agent is null. A line that arrives after the log thread has ended is
// appended to the day's file directly.
void LogRequest(const char* user_agent, const char* peer_text, const char* method,
                const char* target, const char* version, int32_t status, int64_t bytes_sent,
                const char* referer);

// Stops the log thread after it has written out what it still holds; tells
// the user when the thread does not answer within five seconds.
void StopAccessLog();

// Where the log reads the local date and time (the line's stamp and the daily
// file name). Null restores the system clock; returns the previous source.
using LogClock = bool (*)(LocalTime* out);
LogClock SetLogClock(LogClock clock);

// The local date and time from that source (the script error file reads it
// too); false when it cannot be told.
bool ReadLogClock(LocalTime* out);
