#include "log/access_log.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

#include "core/event.h"
#include "core/paths.h"
#include "http/thread_registry.h"
#include "log/log_line.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace {

constexpr int32_t kLogBufferSize = 4096;
constexpr int64_t kLogWakeIntervalMs = 1000;
constexpr uint32_t kStopWatchMs = 5000;

// The log's process-wide state. Everything but the stop flag and the
// generation is guarded by LogBufferLock. The locks and events live as long
// as the process, so a late logger never meets a released one.
//
// Two buffers take turns: loggers fill `LogBuffer` while the thread writes the
// other one, sealed, to the file without holding the lock. Each write still
// holds exactly what one buffer of 4096 bytes held when it was sealed, so the
// file sees the same writes as with one buffer.
struct LogState {
  char LogDirectory[kMaxPath + 1];
  char LogFileName[kMaxPath + 1];
  uint16_t saved_month, saved_day, saved_year;
  char buffers[2][kLogBufferSize];
  char* LogBuffer;  // the one being filled
  int32_t used;
  // A full buffer waiting for its write, or the one being written; null when
  // there is none.
  char* sealed;
  int32_t sealed_used;
  // The thread writes `sealed` (outside the lock) right now.
  bool writing;
  // Set by a logger that sealed a buffer for lack of room: write it at once.
  bool flush_now;
  // Writes of sealed buffers so far; a logger that sealed one waits for the
  // count to pass it.
  uint64_t writes_done;
  // The log thread takes lines into the buffer. Cleared by its last pass, after
  // which a late line goes straight to the file.
  bool accepting;
  // Counter value after the last write (0 before the first) and counts per
  // second: a logger wakes the thread only when a write is due.
  uint64_t last_write;
  uint64_t frequency;
  // A logger has woken the thread for a due write that has not happened yet.
  bool wake_sent;
};

LogState AccessLog{};
std::mutex LogCallLock;
std::mutex LogBufferLock;
Event LogWakeEvent(false);
// Signalled (with LogBufferLock) after every write of a sealed buffer and at
// the log's end.
std::condition_variable LogWriteDone;
std::atomic<bool> LogStopFlag{false};
std::atomic<bool> LogStarted{false};
// Every start makes a new generation; a log thread left behind by a stop that
// gave up waiting sees a newer one and ends without touching the new run.
std::atomic<uint64_t> LogGeneration{0};
std::atomic<LogClock> LogClockSource{GetLocalTimeNow};

bool ReadLogClock(LocalTime* out) {
  *out = LocalTime{};
  return LogClockSource.load()(out);
}

// Rebuilds LogFileName when the local date moved on (or always with `force`).
// Caller holds LogBufferLock.
void UpdateLogFileName(bool force) {
  LocalTime now;
  if (!ReadLogClock(&now)) return;
  const CalendarTime& t = now.time;
  if (!force && t.month == AccessLog.saved_month && t.day == AccessLog.saved_day &&
      t.year == AccessLog.saved_year) {
    return;
  }
  AccessLog.saved_month = t.month;
  AccessLog.saved_day = t.day;
  AccessLog.saved_year = t.year;
  std::string name = std::string(AccessLog.LogDirectory) + DailyLogFileName(t);
  // A name beyond the path limit stays empty: every write then fails to open.
  if (AccessLog.LogDirectory[0] == '\0' || name.size() > static_cast<size_t>(kMaxPath)) name.clear();
  std::memcpy(AccessLog.LogFileName, name.c_str(), name.size() + 1);
}

// Copies the directory with its trailing separator, creates it when missing
// and rebuilds the file name. Caller holds LogBufferLock.
void SetLogDirectory(const char* directory) {
  AccessLog.LogDirectory[0] = '\0';
  if (directory != nullptr && std::strlen(directory) < sizeof AccessLog.LogDirectory) {
    std::strcpy(AccessLog.LogDirectory, directory);
    if (!EnsureTrailingBackslash(AccessLog.LogDirectory, sizeof AccessLog.LogDirectory)) {
      AccessLog.LogDirectory[0] = '\0';
    }
  }
  if (AccessLog.LogDirectory[0] != '\0' && QueryPathKind(AccessLog.LogDirectory) != PathKind::kDirectory) {
    CreateDirectoryPath(AccessLog.LogDirectory);
  }
  UpdateLogFileName(true);
}

// Appends `size` bytes to the file `name`, opened and closed for this one
// write. A file that cannot be opened loses the text.
// The same into the day's file. Caller holds LogBufferLock.
void AppendToFileNamed(const char* name, const char* data, int32_t size) {
  if (size <= 0) return;
  FileHandle file = OpenFileForAppending(name);
  if (file == kInvalidFile) return;
  WriteToFile(file, data, size);
  CloseFile(file);
}

void AppendToLogFile(const char* data, int32_t size) {
  if (size <= 0) return;
  UpdateLogFileName(false);
  AppendToFileNamed(AccessLog.LogFileName, data, size);
}

// True when a second has passed since the last write and text waits.
// Caller holds LogBufferLock.
bool WriteIsDue(uint64_t now) {
  return now > AccessLog.last_write + AccessLog.frequency && AccessLog.used != 0;
}

// Seals the buffer being filled for writing and gives the loggers the other
// one. Caller holds LogBufferLock; no sealed buffer is pending.
void SealBuffer() {
  AccessLog.sealed = AccessLog.LogBuffer;
  AccessLog.sealed_used = AccessLog.used;
  AccessLog.LogBuffer = AccessLog.LogBuffer == AccessLog.buffers[0] ? AccessLog.buffers[1]
                                                                      : AccessLog.buffers[0];
  AccessLog.used = 0;
}

// One pass of the log thread: writes a buffer a logger sealed for lack of
// room at once, and the one being filled when a second has passed since the
// last write. The file is written without the lock, so loggers go on filling
// the other buffer meanwhile. False when a newer run has taken over the log
// while this thread was writing.
bool RunLogPass(std::unique_lock<std::mutex>& buffer, uint64_t generation) {
  uint64_t now = ReadCounter();
  if (AccessLog.sealed == nullptr && WriteIsDue(now)) SealBuffer();
  if (AccessLog.sealed == nullptr) {
    AccessLog.flush_now = false;
    AccessLog.wake_sent = false;
    return true;
  }
  UpdateLogFileName(false);
  const std::string name = AccessLog.LogFileName;
  AccessLog.writing = true;
  buffer.unlock();
  AppendToFileNamed(name.c_str(), AccessLog.sealed, AccessLog.sealed_used);
  buffer.lock();
  AccessLog.writing = false;
  LogWriteDone.notify_all();
  if (LogGeneration.load() != generation) return false;
  AccessLog.sealed = nullptr;
  AccessLog.last_write = now;
  AccessLog.flush_now = false;
  AccessLog.wake_sent = false;
  AccessLog.writes_done += 1;
  return true;
}

// The last pass: what the buffers still hold goes to the file, and from here
// on loggers write their lines themselves.
void FinishLog() {
  std::lock_guard<std::mutex> buffer(LogBufferLock);
  if (AccessLog.sealed != nullptr) AppendToLogFile(AccessLog.sealed, AccessLog.sealed_used);
  AppendToLogFile(AccessLog.LogBuffer, AccessLog.used);
  AccessLog.sealed = nullptr;
  AccessLog.used = 0;
  AccessLog.flush_now = false;
  AccessLog.accepting = false;
  LogWriteDone.notify_all();
}

void LogThread(void* parameter) {
  const uint64_t generation = reinterpret_cast<uintptr_t>(parameter);
  auto current = [generation] { return LogGeneration.load() == generation; };
  bool ours = true;
  LogWakeEvent.Wait(kLogWakeIntervalMs);
  while (ours && !LogStopFlag.load() && current()) {
    {
      std::unique_lock<std::mutex> buffer(LogBufferLock);
      ours = RunLogPass(buffer, generation);
    }
    if (ours) LogWakeEvent.Wait(kLogWakeIntervalMs);
  }
  if (ours && current()) {
    FinishLog();
    LogStopFlag.store(false);
  }
  ReleaseCurrentThread();
}

// Puts a line into the buffer. When it does not fit, the pending text is
// sealed for an early write first and the line starts the other buffer;
// the result is then the count of writes the caller waits for (0: none).
// Caller holds LogCallLock; `buffer` holds LogBufferLock on entry and on
// return.
uint64_t QueueLine(const std::string& line, std::unique_lock<std::mutex>& buffer) {
  const int32_t n = static_cast<int32_t>(line.size());
  const uint64_t generation = LogGeneration.load();
  uint64_t wait_for = 0;
  if (n > kLogBufferSize - AccessLog.used && AccessLog.used != 0) {
    // The earlier early write still runs: this logger, and those behind it
    // on the call lock, wait for it first.
    LogWriteDone.wait(buffer, [generation] {
      return AccessLog.sealed == nullptr || !AccessLog.accepting ||
             LogGeneration.load() != generation;
    });
    if (AccessLog.accepting && LogGeneration.load() == generation) {
      SealBuffer();
      AccessLog.flush_now = true;
      wait_for = AccessLog.writes_done + 1;
    }
  }
  if (!AccessLog.accepting) {
    // The thread ended meanwhile and wrote out its buffers.
    if (n <= kLogBufferSize) AppendToLogFile(line.data(), n);
  } else if (AccessLog.used + n <= kLogBufferSize) {
    std::memcpy(AccessLog.LogBuffer + AccessLog.used, line.data(), line.size());
    AccessLog.used += n;
  }
  return wait_for;
}

// The stamp text of `now`, formatted once per second. Caller holds
// LogCallLock, which guards the remembered stamp.
const std::string& StampFor(const LocalTime& now) {
  static LocalTime stamped{};
  static std::string stamp;
  const CalendarTime& a = now.time;
  const CalendarTime& b = stamped.time;
  if (stamp.empty() || a.second != b.second || a.minute != b.minute || a.hour != b.hour ||
      a.day != b.day || a.month != b.month || a.year != b.year ||
      now.has_offset != stamped.has_offset || now.utc_offset_minutes != stamped.utc_offset_minutes) {
    stamp = FormatLogStamp(now);
    stamped = now;
  }
  return stamp;
}

}  // namespace

EngineToken* StartAccessLog(const char* directory, EngineToken* token) {
  uint64_t generation;
  {
    std::unique_lock<std::mutex> buffer(LogBufferLock);
    // A thread left behind by a stop that gave up may still be writing from
    // a buffer: the new run starts once that write has ended.
    LogWriteDone.wait(buffer, [] { return !AccessLog.writing; });
    generation = LogGeneration.fetch_add(1) + 1;
    LogStopFlag.store(false);
    AccessLog.LogBuffer = AccessLog.buffers[0];
    AccessLog.used = 0;
    AccessLog.sealed = nullptr;
    AccessLog.sealed_used = 0;
    AccessLog.flush_now = false;
    AccessLog.accepting = true;
    AccessLog.last_write = 0;
    AccessLog.frequency = CounterFrequency();
    AccessLog.wake_sent = false;
    LogWakeEvent.Reset();
    SetLogDirectory(directory);
  }
  LogStarted.store(true);
  void* parameter = reinterpret_cast<void*>(static_cast<uintptr_t>(generation));
  if (StartRegisteredThread(LogThread, parameter) == kInvalidThread) {
    std::lock_guard<std::mutex> buffer(LogBufferLock);
    AccessLog.accepting = false;
  }
  return token;
}

void LogRequest(const char* user_agent, const char* peer_text, const char* method,
                const char* target, const char* version, int32_t status, int64_t bytes_sent,
                const char* referer) {
  if (method == nullptr || referer == nullptr || user_agent == nullptr) return;
  LogLineFields fields{peer_text, method, target, version, status, bytes_sent, referer, user_agent};
  const std::string rest = BuildLogLineRest(fields);
  // The call lock keeps the loggers in line: stamps rise through the file,
  // and one that waits for room keeps its place ahead of those after it.
  // Only the clock and the stamp are read under it.
  std::unique_lock<std::mutex> call(LogCallLock);
  LocalTime now;
  ReadLogClock(&now);
  std::string line = peer_text != nullptr ? peer_text : "";
  line.reserve(line.size() + 48 + rest.size());
  line += StampFor(now);
  line += rest;
  std::unique_lock<std::mutex> buffer(LogBufferLock);
  if (!AccessLog.accepting) {
    // Late: the thread is gone (or never ran); the line goes to the file at once.
    if (line.size() <= static_cast<size_t>(kLogBufferSize)) {
      AppendToLogFile(line.data(), static_cast<int32_t>(line.size()));
    }
    return;
  }
  const uint64_t generation = LogGeneration.load();
  const uint64_t wait_for = QueueLine(line, buffer);
  // The line is handed over; the session goes on. The thread is woken only
  // when a write is due or a buffer was sealed, so the file still gets one
  // write a second at most (or one per full buffer) and a line in a quiet
  // moment goes out at once.
  bool wake = wait_for != 0 ||
              (AccessLog.accepting && !AccessLog.wake_sent && WriteIsDue(ReadCounter()));
  if (wake) AccessLog.wake_sent = true;
  buffer.unlock();
  call.unlock();
  if (wake) LogWakeEvent.Set();
  if (wait_for == 0) return;
  // The logger whose line did not fit waits for the write of what was
  // pending; those after it go on into the other buffer.
  buffer.lock();
  LogWriteDone.wait(buffer, [wait_for, generation] {
    return AccessLog.writes_done >= wait_for || !AccessLog.accepting ||
           LogGeneration.load() != generation;
  });
}

void StopAccessLog() {
  if (!LogStarted.exchange(false)) return;
  LogStopFlag.store(true);
  LogWakeEvent.Set();
  uint32_t start = TickCount();
  while (LogStopFlag.load()) {
    SleepMilliseconds(1);
    if (TickCount() - start > kStopWatchMs) {
      ShowMessageBox(
          "A file operation has locked the logging thread.  To be sure the system remains "
          "stable, you should restart the server.",
          "Logging Error", MessageBoxIcon::kInformation);
      break;
    }
  }
}

LogClock SetLogClock(LogClock clock) {
  return LogClockSource.exchange(clock != nullptr ? clock : GetLocalTimeNow);
}
