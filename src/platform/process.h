// Child processes: a program started with its standard input, output and
// error on pipes, an explicit environment and a working directory. Its
// standard error never joins the response: the server reads it apart (and
// passes it on to its own terminal). Each child holds only its own pipe ends.
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
  FileHandle output;  // reads return the child's standard output
  FileHandle errors;  // reads return the child's standard error
};
inline constexpr int64_t kNoProcess = -1;

// Starts the program file `program` with `argument` as its one argument
// (null or empty: none), `environment` (NAME=value entries, each ended by a
// NUL, one more NUL after the last) and `working_directory`. The argument
// reaches the program as one word, whatever blanks it holds. False, with
// nothing left open, when the pipes or the process cannot be made. A child
// that writes more to its standard error than a pipe holds waits until the
// server reads it.
bool StartChildProcess(const char* program, const char* argument, const char* environment,
                       const char* working_directory, ChildProcess* child);

// Why the calling thread's last StartChildProcess failed, as the system
// words it ("No such file or directory"); empty after a success.
const char* ChildStartFailure();

// Closes one pipe end of the server's and marks it closed.
void CloseChildPipe(FileHandle* end);

// Closes whatever ends are still open and forgets the child without waiting
// for it: it is left to end by itself, and the platform cleans up after it.
void ReleaseChildProcess(ChildProcess* child);

// The engine's stop: every child started here that is still running is ended
// at once (on Linux with what it started itself), and so is every child
// started from now until AllowChildProcesses. The server's pipe ends of each
// then see the child gone, so no session waits on a script that never ends.
// Children are otherwise left to run as long as they like.
void EndChildProcesses();

// Children started from now on run until they end by themselves again.
void AllowChildProcesses();

// The server's own environment variable `name` into `out` (`capacity` bytes
// with the NUL). False when it is not set or does not fit.
bool GetOwnEnvironmentVariable(const char* name, char* out, int32_t capacity);

// The server's variables passed on to scripts (kPassedVariables), the PHP
// interpreter's program names and the first bytes of a native program are in
// platform_table.h.
