// What a script run is started with, worked out without starting anything:
// the CGI/1.1 environment block, the program with its argument and the
// working directory.
#pragma once

#include <cstdint>
#include <string>

struct Connection;

inline constexpr const char* kServerSoftwareName = "Ambrel HTTP Server 1.03";
// Bytes of a CGI file looked at to choose how it runs.
inline constexpr int32_t kCgiProbeBytes = 255;

// The environment block for the connection's request: NAME=value entries in
// their fixed order, each ended by a NUL, one more NUL after the last. The
// request's other headers follow as HTTP_ variables (CGI/1.1's own rule),
// save the body's two and "Proxy".
std::string BuildScriptEnvironment(const Connection& connection);

// How a script is started: the program (a file that must exist) and its one
// argument, the script's full name, or none. A script's text is never written
// to the program: its input carries the request body alone.
struct ScriptCommand {
  std::string program;
  std::string argument;  // empty: none
};

// PHP: the PHP directory's CGI program, else its plain interpreter, with the
// script `file_path` as the argument. False when neither program exists.
bool ChoosePhpCommand(const char* php_directory, const char* file_path, ScriptCommand* out);

// A CGI file by its first bytes: "#!" names its interpreter (the whole rest
// of the line, which must name an existing file), which gets the script as
// its argument; a native executable runs as itself, without one. False for
// anything else, for no bytes, or when nothing exists by that name (out then
// holds the name that was looked for).
bool ChooseCgiCommand(const char* file_path, const char* first_bytes, int32_t count,
                      ScriptCommand* out);

// The script's address as a client names it: its full name below the
// serving directory, with "/" separators and a leading "/" (an index file
// under its own name).
std::string ScriptUrlPath(const Connection& connection);

// The directory part of a full file name (the whole name when it has no
// separator).
std::string ScriptWorkingDirectory(const char* file_path);
