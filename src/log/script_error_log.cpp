#include "log/script_error_log.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "core/paths.h"
#include "log/access_log.h"
#include "log/log_line.h"
#include "platform/files.h"

namespace {

// A line whose end has not come by this many bytes is written in parts, so
// that a script that never ends a line cannot make the server hold it all.
constexpr size_t kLongestLine = 4096;

// The folder of the running server's logs, with its trailing separator;
// empty while logging is off. Guarded by ScriptErrorLock, which also keeps
// the lines of scripts running side by side whole in the file. Plain
// characters: a script's complaints may still be drained while the process
// ends, and must meet nothing torn down.
std::mutex ScriptErrorLock;
char ScriptErrorDirectory[kMaxPath + 1];
std::atomic<bool> ScriptErrorLogOn{false};

// Appends `text` to the file of `now`'s date in `directory` (ending in the
// separator), opened and closed for this one write (as the access log does
// after a quiet second); text that finds no file is lost. The caller holds
// ScriptErrorLock.
void AppendToFileIn(const std::string& directory, const LocalTime& now, const std::string& text) {
  if (text.empty() || directory.empty()) return;
  std::string name = directory + DailyScriptErrorFileName(now.time);
  if (name.size() > static_cast<size_t>(kMaxPath)) return;
  FileHandle file = OpenFileForAppending(name.c_str());
  if (file == kInvalidFile) return;
  WriteToFile(file, text.data(), static_cast<int32_t>(text.size()));
  CloseFile(file);
}

// The same into the running server's log folder.
void AppendToErrorFile(const LocalTime& now, const std::string& text) {
  std::lock_guard<std::mutex> guard(ScriptErrorLock);
  AppendToFileIn(ScriptErrorDirectory, now, text);
}

// One line the script wrote (`consumed` bytes of its standard error, line
// end included) into `out`, stamped, while the run is within its limit;
// after that it is only counted.
void TakeLine(ScriptErrorStream* s, const LocalTime& now, std::string text, size_t consumed,
              std::string* out) {
  if (!text.empty() && text.back() == '\r') text.pop_back();
  if (s->dropped == 0) {
    std::string line = FormatScriptErrorLine(now, s->script, text);
    if (s->written + static_cast<int64_t>(line.size()) <= kScriptErrorLimit) {
      s->written += static_cast<int64_t>(line.size());
      out->append(line);
      return;
    }
  }
  s->dropped += static_cast<int64_t>(consumed);
}

}  // namespace

void StartScriptErrorLog(const char* directory) {
  std::lock_guard<std::mutex> guard(ScriptErrorLock);
  ScriptErrorDirectory[0] = '\0';
  if (directory == nullptr || std::strlen(directory) >= sizeof ScriptErrorDirectory) return;
  std::strcpy(ScriptErrorDirectory, directory);
  if (!EnsureTrailingBackslash(ScriptErrorDirectory, sizeof ScriptErrorDirectory)) {
    ScriptErrorDirectory[0] = '\0';
  }
  ScriptErrorLogOn.store(ScriptErrorDirectory[0] != '\0');
}

void StopScriptErrorLog() {
  std::lock_guard<std::mutex> guard(ScriptErrorLock);
  ScriptErrorDirectory[0] = '\0';
  ScriptErrorLogOn.store(false);
}

void AddScriptErrorText(ScriptErrorStream* s, const char* data, int32_t size) {
  if (s == nullptr || data == nullptr || size <= 0 || !ScriptErrorLogOn.load()) return;
  LocalTime now;
  if (!ReadLogClock(&now)) return;
  std::string out;
  const char* end = data + size;
  while (data < end) {
    const char* line_end = static_cast<const char*>(std::memchr(data, '\n', end - data));
    const char* stop = line_end != nullptr ? line_end : end;
    s->partial.append(data, static_cast<size_t>(stop - data));
    data = line_end != nullptr ? line_end + 1 : end;
    if (line_end != nullptr) {
      const size_t consumed = s->partial.size() + 1;
      TakeLine(s, now, std::move(s->partial), consumed, &out);
      s->partial.clear();
    }
    while (s->partial.size() >= kLongestLine) {
      TakeLine(s, now, s->partial.substr(0, kLongestLine), kLongestLine, &out);
      s->partial.erase(0, kLongestLine);
    }
  }
  AppendToErrorFile(now, out);
}

void EndScriptErrorText(ScriptErrorStream* s) {
  if (s == nullptr || !ScriptErrorLogOn.load()) return;
  LocalTime now;
  if (!ReadLogClock(&now)) return;
  std::string out;
  if (!s->partial.empty()) {
    const size_t consumed = s->partial.size();
    TakeLine(s, now, std::move(s->partial), consumed, &out);
    s->partial.clear();
  }
  if (s->dropped > 0) {
    out += FormatScriptErrorLine(
        now, s->script,
        std::to_string(s->dropped) + " more bytes of standard error were left out (at most " +
            std::to_string(kScriptErrorLimit) + " bytes a request are kept here)");
  }
  AppendToErrorFile(now, out);
}

void LogScriptFailure(const char* script, const std::string& reason) {
  const char* name = script != nullptr ? script : "";
  std::fprintf(stderr, "%s: %s\n", name, reason.c_str());
  LocalTime now;
  if (!ScriptErrorLogOn.load() || !ReadLogClock(&now)) return;
  AppendToErrorFile(now, FormatScriptErrorLine(now, name, reason));
}

void NoteInScriptErrorFile(const char* directory, const char* name, const std::string& text) {
  if (directory == nullptr || directory[0] == '\0') return;
  char folder[kMaxPath + 1];
  if (std::strlen(directory) >= sizeof folder) return;
  std::strcpy(folder, directory);
  LocalTime now;
  if (!EnsureTrailingBackslash(folder, sizeof folder) || !ReadLogClock(&now)) return;
  CreateDirectoryPath(folder);  // a server that never started made no log folder
  std::lock_guard<std::mutex> guard(ScriptErrorLock);
  AppendToFileIn(folder, now, FormatScriptErrorLine(now, name, text));
}
