#include "platform/process.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

namespace {

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }
FileHandle FromHandle(HANDLE handle) { return reinterpret_cast<FileHandle>(handle); }

// Inheritable pipe ends exist only while this lock is held: a child started
// by another session at the same moment inherits no end of ours.
std::mutex ChildStartLock;

void CloseIfOpen(HANDLE* handle) {
  if (*handle != nullptr && *handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = nullptr;
}

// One word of a command line as the C runtime's argument parser reads it
// back: quoted when it is empty or holds a blank, tab or quote; backslashes
// are doubled where they come before a quote (and before the closing one).
// The program's own name is quoted the same way, so that "C:\Program
// Files\x.exe" never starts "C:\Program.exe".
std::string QuotedWord(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
  std::string quoted = "\"";
  size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
    backslashes = 0;
    quoted.push_back(c);
  }
  quoted.append(2 * backslashes, '\\');
  quoted.push_back('"');
  return quoted;
}

// A pipe whose one end a child inherits (`child_reads`: the read end) while
// the server keeps the other to itself.
bool CreateChildPipe(HANDLE* read, HANDLE* write, bool child_reads) {
  SECURITY_ATTRIBUTES inheritable{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreatePipe(read, write, &inheritable, 0) &&
         SetHandleInformation(child_reads ? *write : *read, HANDLE_FLAG_INHERIT, 0);
}

thread_local char StartFailure[256];

// The system's words for the calling thread's last error, or none.
void NoteStartFailure(bool failed) {
  StartFailure[0] = '\0';
  if (!failed) return;
  DWORD error = GetLastError();
  DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           error, 0, StartFailure, sizeof StartFailure, nullptr);
  // Its text ends in a line break.
  while (n > 0 && (StartFailure[n - 1] == '\r' || StartFailure[n - 1] == '\n' ||
                   StartFailure[n - 1] == ' ')) {
    StartFailure[--n] = '\0';
  }
  if (n == 0) std::snprintf(StartFailure, sizeof StartFailure, "error %lu", error);
}

// Children started and possibly still running, each with a handle of the
// list's own, so that a stop can end them. Ended ones leave at the next
// start or stop.
std::mutex ChildListLock;
std::vector<HANDLE> RunningChildren;
bool EndingChildren = false;

void ForgetEndedChildren() {
  auto ended = [](HANDLE process) {
    if (WaitForSingleObject(process, 0) != WAIT_OBJECT_0) return false;
    CloseHandle(process);
    return true;
  };
  RunningChildren.erase(std::remove_if(RunningChildren.begin(), RunningChildren.end(), ended),
                        RunningChildren.end());
}

void AddRunningChild(HANDLE process) {
  HANDLE own = nullptr;
  std::lock_guard<std::mutex> guard(ChildListLock);
  ForgetEndedChildren();
  if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &own, 0, FALSE,
                       DUPLICATE_SAME_ACCESS)) {
    // Without a handle of its own the list cannot end it later; a stop
    // under way ends it now.
    if (EndingChildren) TerminateProcess(process, 1);
    return;
  }
  RunningChildren.push_back(own);
  // A stop is under way: a script started now would hold its session.
  if (EndingChildren) TerminateProcess(own, 1);
}

}  // namespace

bool StartChildProcess(const char* program, const char* argument, const char* environment,
                       const char* working_directory, ChildProcess* child) {
  if (program == nullptr || child == nullptr) return false;
  *child = ChildProcess{kNoProcess, kInvalidFile, kInvalidFile, kInvalidFile};
  std::string line = QuotedWord(program);
  if (argument != nullptr && *argument != '\0') line += " " + QuotedWord(argument);
  std::lock_guard<std::mutex> guard(ChildStartLock);
  HANDLE output_read = nullptr, output_write = nullptr, input_read = nullptr, input_write = nullptr;
  HANDLE errors_read = nullptr, errors_write = nullptr;
  // Output and error pipes: the child writes, the server keeps the read ends
  // to itself; input pipe: the child reads, the server keeps the write end.
  bool pipes = CreateChildPipe(&output_read, &output_write, false) &&
               CreateChildPipe(&input_read, &input_write, true) &&
               CreateChildPipe(&errors_read, &errors_write, false);
  PROCESS_INFORMATION process{};
  bool started = false;
  if (pipes) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input_read;
    startup.hStdOutput = output_write;
    startup.hStdError = errors_write;
    // No creation flags: the environment block is 8-bit text.
    started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0,
                             const_cast<char*>(environment),
                             working_directory != nullptr && *working_directory != '\0'
                                 ? working_directory
                                 : nullptr,
                             &startup, &process) != 0;
  }
  NoteStartFailure(!started);
  // The child's ends belong to the child alone now.
  CloseIfOpen(&input_read);
  CloseIfOpen(&output_write);
  CloseIfOpen(&errors_write);
  if (!started) {
    CloseIfOpen(&input_write);
    CloseIfOpen(&output_read);
    CloseIfOpen(&errors_read);
    return false;
  }
  CloseHandle(process.hThread);
  AddRunningChild(process.hProcess);
  *child = ChildProcess{reinterpret_cast<int64_t>(process.hProcess), FromHandle(input_write),
                        FromHandle(output_read), FromHandle(errors_read)};
  return true;
}

const char* ChildStartFailure() { return StartFailure; }

void CloseChildPipe(FileHandle* end) {
  if (end == nullptr || *end == kInvalidFile) return;
  CloseHandle(ToHandle(*end));
  *end = kInvalidFile;
}

void ReleaseChildProcess(ChildProcess* child) {
  if (child == nullptr) return;
  CloseChildPipe(&child->input);
  CloseChildPipe(&child->output);
  CloseChildPipe(&child->errors);
  // The child runs on by itself; only the server's handle of it goes.
  if (child->id != kNoProcess) CloseHandle(reinterpret_cast<HANDLE>(child->id));
  child->id = kNoProcess;
}

void EndChildProcesses() {
  std::lock_guard<std::mutex> guard(ChildListLock);
  EndingChildren = true;
  for (HANDLE process : RunningChildren) TerminateProcess(process, 1);
  ForgetEndedChildren();
}

void AllowChildProcesses() {
  std::lock_guard<std::mutex> guard(ChildListLock);
  EndingChildren = false;
}

bool GetOwnEnvironmentVariable(const char* name, char* out, int32_t capacity) {
  if (name == nullptr || out == nullptr || capacity <= 0) return false;
  SetLastError(NO_ERROR);
  DWORD n = GetEnvironmentVariableA(name, out, static_cast<DWORD>(capacity));
  if (n == 0) {
    // Set but empty, or not set at all.
    if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
    out[0] = '\0';
    return true;
  }
  return n < static_cast<DWORD>(capacity);
}
