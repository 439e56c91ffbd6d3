#include "log/access_log.h"

// FIXME: placeholder until the log lands; logs nothing.
EngineToken* StartAccessLog(const char*, EngineToken* token) { return token; }
void LogRequest(const char*, const char*, const char*, const char*, const char*, int32_t, int64_t,
                const char*) {}
void StopAccessLog() {}
