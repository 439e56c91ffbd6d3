// The access log: one line per answered request, in the combined layout, in
// one file per local day, written by the log thread.
#pragma once

#include <cstdint>

struct EngineToken;

// Starts the log in `directory` (created when missing) and returns `token`.
EngineToken* StartAccessLog(const char* directory, EngineToken* token);

// Hands one request's line to the log; does nothing when method, referer or
// user agent is null.
void LogRequest(const char* user_agent, const char* peer_text, const char* method,
                const char* target, const char* version, int32_t status, int64_t bytes_sent,
                const char* referer);

// Stops the log thread.
void StopAccessLog();
