// Child processes: a program started with its standard input and output
// (standard error too) on pipes, an explicit environment and a working
// directory. Each child holds only its own pipe ends.
#pragma once

#include <cstdint>

#include "platform/files.h"
#include "platform/platform_table.h"

// The server's ends of one child's pipes. The ends are file handles, read and
// written with ReadFromFile and WriteToFile; writing to a child that is gone
// fails instead of raising a signal.
struct ChildProcess {
  int64_t id;         // kNoProcess when none
  FileHandle input;   // writes reach the child's standard input
  FileHandle output;  // reads return the child's standard output and error
};
inline constexpr int64_t kNoProcess = -1;

// Starts the program named by `command_line` (the whole text names the
// program; no arguments) with `environment` (NAME=value entries, each ended
// by a NUL, one more NUL after the last) in `working_directory`. False, with
// nothing left open, when the pipes or the process cannot be made.
bool StartChildProcess(const char* command_line, const char* environment,
                       const char* working_directory, ChildProcess* child);

// Closes one pipe end of the server's and marks it closed.
void CloseChildPipe(FileHandle* end);

// Closes whatever ends are still open and forgets the child without waiting
// for it: it is left to end by itself, and the platform cleans up after it.
void ReleaseChildProcess(ChildProcess* child);

// The server's own environment variable `name` into `out` (`capacity` bytes
// with the NUL). False when it is not set or does not fit.
bool GetOwnEnvironmentVariable(const char* name, char* out, int32_t capacity);

// The server's variables passed on to scripts (kPassedVariables), the PHP
// interpreter's program names and the first bytes of a native program are in
// platform_table.h.
