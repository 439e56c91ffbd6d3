// The few conventions in which the Windows program and its Linux stand-in
// differ, in one place: the path separator, the marker of a CGI folder, the
// first bytes of a native program, the PHP interpreter's program names and the
// server's environment variables that every script receives.
#pragma once

#include <cstdint>

// Environment variables of the server that every script receives, as
// (name for the child, the server's own name).
struct PassedVariable {
  const char* child_name;
  const char* own_name;
};

#if defined(_WIN32)
inline constexpr char kPathSeparator = '\\';
inline constexpr const char* kCgiFolderMarker = "\\cgi-bin\\";
inline constexpr const char kExecutableMagic[] = "MZ";
inline constexpr const char* kPhpCgiProgram = "php-cgi.exe";
inline constexpr const char* kPhpProgram = "php.exe";
inline constexpr PassedVariable kPassedVariables[] = {
    {"Path", "Path"}, {"WINDIR", "WinDir"}, {"SYSTEMROOT", "SystemRoot"}};
// What to do when the system refuses port 80 to this program.
inline constexpr const char* kPortPermissionAdvice =
    "the port is reserved, or another program holds it for its own use";
inline constexpr bool kPortPermissionAdviceNamesProgram = false;
#else
inline constexpr char kPathSeparator = '/';
inline constexpr const char* kCgiFolderMarker = "/cgi-bin/";
inline constexpr const char kExecutableMagic[] = "\x7f" "ELF";
inline constexpr const char* kPhpCgiProgram = "php-cgi";
inline constexpr const char* kPhpProgram = "php";
inline constexpr PassedVariable kPassedVariables[] = {{"PATH", "PATH"}};
// Ports below 1024 need a capability; the advice ends with the program's path.
inline constexpr const char* kPortPermissionAdvice =
    "ports below 1024 need a capability; grant it once with: sudo setcap cap_net_bind_service=+ep ";
inline constexpr bool kPortPermissionAdviceNamesProgram = true;
#endif

inline constexpr int32_t kPassedVariableCount =
    static_cast<int32_t>(sizeof kPassedVariables / sizeof kPassedVariables[0]);
