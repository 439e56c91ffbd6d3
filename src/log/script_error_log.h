// The script error file: what scripts write to their standard error, and why
// a script could not run, one line each with the local time and the
// script's full name, in a daily file beside the access log
// ("Ambrel_HTTP_errors_MM_DD_YYYY.log"). Written only while logging is on.
#pragma once

#include <cstdint>
#include <string>

// Logging is on: lines go to files in `directory` from now on.
void StartScriptErrorLog(const char* directory);

// Logging is off: lines are no longer written.
void StopScriptErrorLog();

// What one run of a script may put into the file, in bytes; beyond it, the
// rest of its standard error is counted and one line says how much.
inline constexpr int64_t kScriptErrorLimit = 64 * 1024;

// One run's standard error on its way to the file. Text comes in pieces as
// the script writes it; a line is written once its end has come (a line
// longer than 4096 bytes is written in parts).
struct ScriptErrorStream {
  std::string script;   // the script's full name
  std::string partial;  // the start of a line whose end has not come yet
  int64_t written = 0;  // bytes this run put into the file
  int64_t dropped = 0;  // bytes of its standard error left out over the limit
};

// Takes the next `size` bytes the script wrote.
void AddScriptErrorText(ScriptErrorStream* stream, const char* data, int32_t size);

// The script's standard error has ended: its last line, even without an
// end, and the count of what was left out.
void EndScriptErrorText(ScriptErrorStream* stream);

// One line from the server itself (`name`: what it is about) into the day's
// file in `directory`, whether or not a server runs: why a start served
// nothing, for a user who started the program from the desktop.
void NoteInScriptErrorFile(const char* directory, const char* name, const std::string& text);

// Why the script `script` could not run: one line in the file, and the same
// on the server's standard error.
void LogScriptFailure(const char* script, const std::string& reason);
