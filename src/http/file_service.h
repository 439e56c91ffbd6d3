// The static file service: maps a decoded path onto the serving directory,
// refuses unsafe names, redirects directories named without their trailing
// "/", picks index files, hands scripts to the gateway, answers conditional
// requests and streams files. ServeRequest is a member of Connection.
#pragma once

#include <cstdint>

#include "platform/clock.h"

struct Connection;

inline constexpr int32_t kTransferBufferSize = 4096;
inline constexpr int32_t kNameLimit = 260;  // path and serving directory stay below

// Streams the open file from its current position in 4096-byte pieces. True
// when the file is empty or at least one piece went out.
bool SendFileBody(Connection* connection);

// Adds "Last-Modified:" from the file's last write time, in the form
// "Tue, 05 Dec 2006 10:20:30 GMT".
bool AddLastModified(Connection* connection);

// True only when the first "If-Modified-Since:" repeats the file's last
// write time to the second.
bool IsNotModified(Connection* connection);

// Formats a file time (UTC) as an HTTP date into `out` (at least 30 bytes).
bool FormatHttpDate(uint64_t file_time, char* out, int32_t capacity);

// Reads "Tue, 05 Dec 2006 10:20:30 ..." into calendar fields (milliseconds
// 0). Names must match exactly; numbers are not range-checked here.
bool ParseHttpDate(const char* text, CalendarTime* out);

// Splits `text` at the first `delimiter` found within its first 255
// positions: *piece = a new owned copy of the text before it, *rest = the
// text after it. False when there is none.
bool SplitAt(const char* text, const char* delimiter, char** piece, const char** rest);
