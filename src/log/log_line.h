// The pieces of the logs that need no state: the daily file names, the zone
// text, one request's line in the combined layout and a script error line.
#pragma once

#include <cstdint>
#include <string>

#include "platform/clock.h"

// What one line records of a request. Null texts count as empty.
struct LogLineFields {
  const char* peer_text;
  const char* method;
  const char* target;
  const char* version;
  int32_t status;
  int64_t bytes_sent;
  const char* referer;
  const char* user_agent;
};

// "Ambrel_HTTP_MM_DD_YYYY.log" for the local date of `time`.
std::string DailyLogFileName(const CalendarTime& time);

// "Ambrel_HTTP_errors_MM_DD_YYYY.log": the script error file of the same day.
std::string DailyScriptErrorFileName(const CalendarTime& time);

// "+hhmm" or "-hhmm" for an offset from UTC in minutes ("-" only when behind).
std::string FormatZone(int32_t utc_offset_minutes);

// The line's pieces: the peer text, then the stamp (" - - [" with the date,
// the time and the zone), then the rest ("] " and the quoted request up to
// the line feed). The rest needs no clock, so a logger builds it before it
// waits for its turn.
std::string FormatLogStamp(const LocalTime& now);
std::string BuildLogLineRest(const LogLineFields& fields);
// The same appended to `rest`.
void AppendLogLineRest(std::string* rest, const LogLineFields& fields);

// A line of the script error file: "[22/Jan/2007:14:05:09 -0500] " (the
// access log's date and time), the script's full name, ": ", the text and a
// line feed.
std::string FormatScriptErrorLine(const LocalTime& now, const std::string& script,
                                  const std::string& text);

// One line, ended by a single line feed. The quoted fields have control
// characters, '"' and '\' escaped so that a request cannot forge or break a
// line; the zone is left out when `now` has no offset.
std::string BuildLogLine(const LogLineFields& fields, const LocalTime& now);
