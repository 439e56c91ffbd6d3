// What a script run is started with, worked out without starting anything:
// the CGI/1.1 environment block, the command line and the working directory.
#pragma once

#include <cstdint>
#include <string>

struct Connection;

inline constexpr const char* kServerSoftwareName = "Ambrel HTTP Server 1.03";
// Bytes of a CGI file looked at to choose how it runs.
inline constexpr int32_t kCgiProbeBytes = 255;

// The environment block for the connection's request: NAME=value entries in
// their fixed order, each ended by a NUL, one more NUL after the last.
std::string BuildScriptEnvironment(const Connection& connection);

// How a script is started: the command line (a program that must exist) and
// whether the script's text goes to the program's input after the body.
struct ScriptCommand {
  std::string command_line;
  bool feed_script_text;
};

// PHP: the PHP directory's CGI program, else its plain interpreter. False
// when neither exists.
bool ChoosePhpCommand(const char* php_directory, ScriptCommand* out);

// A CGI file by its first bytes: "#!" names its interpreter (the whole rest
// of the line, which must name an existing file), a native executable runs as
// itself. False for anything else, for no bytes, or when nothing exists by
// that name.
bool ChooseCgiCommand(const char* file_path, const char* first_bytes, int32_t count,
                      ScriptCommand* out);

// The directory part of a full file name (the whole name when it has no
// separator).
std::string ScriptWorkingDirectory(const char* file_path);
