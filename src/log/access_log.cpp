#include "log/access_log.h"

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>

#include "core/event.h"
#include "core/paths.h"
#include "core/thread_registry.h"
#include "log/log_line.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace {

constexpr int32_t kLogBufferSize = 4096;
// Buffers that take turns: loggers fill one while full ones wait for the
// log thread's write, so a burst that fills a buffer during a write does not
// stop every logger behind it.
constexpr int32_t kLogBufferCount = 4;
constexpr int64_t kLogWakeIntervalMs = 1000;
constexpr uint32_t kStopWatchMs = 5000;

// The log's process-wide state. Everything but the stop flag and the
// generation is guarded by LogBufferLock. The locks and events live as long
// as the process, so a late logger never meets a released one.
//
// Each write still holds exactly what one buffer of 4096 bytes held when it
// was sealed (full, or a second after the last write), so the file sees the
// same lines in the same order as with one buffer.
struct LogState {
  char LogDirectory[kMaxPath + 1];
  char LogFileName[kMaxPath + 1];
  uint16_t saved_month, saved_day, saved_year;
  char buffers[kLogBufferCount][kLogBufferSize];
  int32_t sealed_used[kLogBufferCount];
  // Sealed buffers waiting for their write (or being written), oldest
  // first, from `sealed_first` on; the one being filled follows them.
  int32_t sealed_first;
  int32_t sealed_count;
  char* LogBuffer;  // the one being filled
  int32_t used;
  // A writer (the log thread, or a logger that sealed a full buffer) writes
  // sealed buffers (outside the lock) right now; one at a time.
  bool writing;
  // Buffers sealed and buffers written so far; a logger that sealed one
  // for lack of room waits until the written count reaches its own.
  uint64_t seals;
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
  // The day's file stays open while writes follow each other within a
  // second (heavy traffic fills a buffer many times a second); the first
  // write after a quiet second opens it afresh by name, as does a new day.
  // Touched only by the writer at work, or under LogBufferLock while none is.
  FileHandle kept_file = kInvalidFile;
  char kept_name[kMaxPath + 1];
  // Loggers waiting for a free buffer; newcomers line up behind them.
  int32_t waiting;
};

LogState AccessLog{};
// Taken only by loggers that have to wait for a free buffer: it keeps them
// in line. Always before LogBufferLock.
std::mutex LogCallLock;
std::mutex LogBufferLock;
Event LogWakeEvent(false);
// Signalled (with LogBufferLock) after every write of sealed buffers and at
// the log's end.
std::condition_variable LogWriteDone;
std::atomic<bool> LogStopFlag{false};
std::atomic<bool> LogStarted{false};
// Every start makes a new generation; a log thread left behind by a stop that
// gave up waiting sees a newer one and ends without touching the new run.
std::atomic<uint64_t> LogGeneration{0};
std::atomic<LogClock> LogClockSource{GetLocalTimeNow};

}  // namespace

bool ReadLogClock(LocalTime* out) {
  *out = LocalTime{};
  return LogClockSource.load()(out);
}

namespace {

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
void AppendToFileNamed(const char* name, const char* data, int32_t size) {
  if (size <= 0) return;
  FileHandle file = OpenFileForAppending(name);
  if (file == kInvalidFile) return;
  WriteToFile(file, data, size);
  CloseFile(file);
}

// The same into the day's file. Caller holds LogBufferLock.
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

char* BufferAt(int32_t index) { return AccessLog.buffers[index % kLogBufferCount]; }

// Seals the buffer being filled for writing and gives the loggers the next
// free one. Caller holds LogBufferLock; a free buffer is left
// (sealed_count < kLogBufferCount - 1).
void SealBuffer() {
  const int32_t index = (AccessLog.sealed_first + AccessLog.sealed_count) % kLogBufferCount;
  AccessLog.sealed_used[index] = AccessLog.used;
  AccessLog.sealed_count += 1;
  AccessLog.seals += 1;
  AccessLog.LogBuffer = BufferAt(index + 1);
  AccessLog.used = 0;
}

bool BufferFree() { return AccessLog.sealed_count < kLogBufferCount - 1; }

// Writes the sealed buffers, oldest first, one write each, until none is
// left: buffers sealed while a write runs are taken by the next round. The
// caller has taken the writer's part (`writing` set) and holds
// LogBufferLock, which is released while the file is written, so loggers go
// on filling the next buffer meanwhile. One writer at a time keeps the
// buffers in their order in the file.
void WriteSealedBuffers(std::unique_lock<std::mutex>& buffer) {
  while (AccessLog.sealed_count > 0) {
    const int32_t first = AccessLog.sealed_first;
    const int32_t count = AccessLog.sealed_count;
    UpdateLogFileName(false);
    char name[kMaxPath + 1];
    std::memcpy(name, AccessLog.LogFileName, sizeof name);
    FileHandle file = AccessLog.kept_file;
    const bool reuse = file != kInvalidFile && std::strcmp(AccessLog.kept_name, name) == 0 &&
                       ReadCounter() <= AccessLog.last_write + AccessLog.frequency;
    AccessLog.kept_file = kInvalidFile;
    buffer.unlock();
    if (!reuse) {
      if (file != kInvalidFile) CloseFile(file);
      file = OpenFileForAppending(name);
    }
    // One write per sealed buffer.
    if (file != kInvalidFile) {
      for (int32_t i = 0; i < count; ++i) {
        const int32_t index = (first + i) % kLogBufferCount;
        if (AccessLog.sealed_used[index] > 0) {
          WriteToFile(file, AccessLog.buffers[index], AccessLog.sealed_used[index]);
        }
      }
    }
    buffer.lock();
    AccessLog.kept_file = file;
    std::memcpy(AccessLog.kept_name, name, sizeof name);
    AccessLog.sealed_first = (first + count) % kLogBufferCount;
    AccessLog.sealed_count -= count;
    AccessLog.writes_done += static_cast<uint64_t>(count);
    AccessLog.last_write = ReadCounter();
    LogWriteDone.notify_all();
  }
  AccessLog.writing = false;
  LogWriteDone.notify_all();
}

// Closes the kept file. Caller holds LogBufferLock and no writer is at work.
void CloseKeptFile() {
  if (AccessLog.kept_file == kInvalidFile) return;
  CloseFile(AccessLog.kept_file);
  AccessLog.kept_file = kInvalidFile;
}

// One pass of the log thread: when a second has passed since the last write,
// the buffer being filled is sealed and written. A logger that sealed a
// full buffer writes it itself, and a writer at work takes whatever is
// sealed meanwhile, so the thread leaves those alone.
void RunLogPass(std::unique_lock<std::mutex>& buffer) {
  if (!AccessLog.writing) {
    const uint64_t now = ReadCounter();
    // A quiet second closes the file: a file removed or renamed meanwhile
    // is made anew by the next write.
    if (now > AccessLog.last_write + AccessLog.frequency) CloseKeptFile();
    if (AccessLog.sealed_count == 0 && WriteIsDue(now)) SealBuffer();
    if (AccessLog.sealed_count > 0) {
      AccessLog.writing = true;
      WriteSealedBuffers(buffer);
    }
  }
  AccessLog.wake_sent = false;
}

// The last pass: once no writer is at work, what the buffers still hold goes
// to the file, and from here on loggers write their lines themselves.
void FinishLog() {
  std::unique_lock<std::mutex> buffer(LogBufferLock);
  LogWriteDone.wait(buffer, [] { return !AccessLog.writing; });
  CloseKeptFile();
  for (int32_t i = 0; i < AccessLog.sealed_count; ++i) {
    const int32_t index = (AccessLog.sealed_first + i) % kLogBufferCount;
    AppendToLogFile(AccessLog.buffers[index], AccessLog.sealed_used[index]);
  }
  AppendToLogFile(AccessLog.LogBuffer, AccessLog.used);
  AccessLog.writes_done += static_cast<uint64_t>(AccessLog.sealed_count);
  AccessLog.sealed_first = (AccessLog.sealed_first + AccessLog.sealed_count) % kLogBufferCount;
  AccessLog.sealed_count = 0;
  AccessLog.LogBuffer = BufferAt(AccessLog.sealed_first);
  AccessLog.used = 0;
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
      RunLogPass(buffer);
      // A stop that gave up on this thread, and a new start after it,
      // leave the new run to its own thread.
      ours = current();
    }
    if (ours) LogWakeEvent.Wait(kLogWakeIntervalMs);
  }
  if (ours && current()) {
    FinishLog();
    LogStopFlag.store(false);
  }
  ReleaseCurrentThread();
}

// A logger's reading of the clock, taken before it waits for the lock, with
// the counter value right after it.
struct ClockReading {
  LocalTime now;
  uint64_t counter;
};

ClockReading ReadClockForLine() {
  ClockReading reading;
  ReadLogClock(&reading.now);
  reading.counter = ReadCounter();
  return reading;
}

// The stamp text for a reading, formatted once per second. A reading older
// than the one behind the last stamp (its logger was overtaken on the way
// to the lock) gets that stamp, so stamps never go back in the file. Caller
// holds LogBufferLock, which guards the remembered stamp.
const std::string& StampFor(const ClockReading& reading) {
  static LocalTime stamped{};
  static uint64_t stamped_counter = 0;
  static std::string stamp;
  if (!stamp.empty() && reading.counter < stamped_counter) return stamp;
  stamped_counter = reading.counter;
  const LocalTime& now = reading.now;
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

// What putting a line into the buffer came to.
enum class Placed { kAppended, kSealed, kNoRoom, kDropped };

// Stamps the line with the time of `reading` and puts it into the buffer being
// filled. When it does not fit, that buffer is sealed for an early write
// and the line starts the next one; kNoRoom, nothing done, when no buffer
// is free for that. A line longer than a buffer is never written. Caller
// holds LogBufferLock and the log is accepting lines.
Placed PlaceLine(const char* peer, size_t peer_length, const std::string& rest,
                 const ClockReading& reading) {
  const std::string& stamp = StampFor(reading);
  const size_t n = peer_length + stamp.size() + rest.size();
  if (n > static_cast<size_t>(kLogBufferSize)) return Placed::kDropped;
  Placed placed = Placed::kAppended;
  if (n > static_cast<size_t>(kLogBufferSize - AccessLog.used)) {
    if (!BufferFree()) return Placed::kNoRoom;
    SealBuffer();
    placed = Placed::kSealed;
  }
  char* to = AccessLog.LogBuffer + AccessLog.used;
  std::memcpy(to, peer, peer_length);
  std::memcpy(to + peer_length, stamp.data(), stamp.size());
  std::memcpy(to + peer_length + stamp.size(), rest.data(), rest.size());
  AccessLog.used += static_cast<int32_t>(n);
  return placed;
}

}  // namespace

EngineToken* StartAccessLog(const char* directory, EngineToken* token) {
  uint64_t generation;
  {
    std::unique_lock<std::mutex> buffer(LogBufferLock);
    // A thread left behind by a stop that gave up may still be writing from
    // a buffer: the new run starts once that write has ended.
    LogWriteDone.wait(buffer, [] { return !AccessLog.writing; });
    CloseKeptFile();
    generation = LogGeneration.fetch_add(1) + 1;
    LogStopFlag.store(false);
    AccessLog.LogBuffer = AccessLog.buffers[0];
    AccessLog.used = 0;
    AccessLog.sealed_first = 0;
    AccessLog.sealed_count = 0;
    // Whatever an earlier run sealed counts as written: nobody waits for it.
    AccessLog.writes_done = AccessLog.seals;
    AccessLog.accepting = true;
    AccessLog.last_write = 0;
    AccessLog.frequency = CounterFrequency();
    AccessLog.wake_sent = false;
    LogWakeEvent.Reset();
    SetLogDirectory(directory);
    // A logger still waiting from an earlier run finds the new one.
    LogWriteDone.notify_all();
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
  // Everything but the stamp is built before any lock; the text is kept
  // per thread, so a line costs no allocation.
  thread_local std::string rest;
  rest.clear();
  AppendLogLineRest(&rest, fields);
  const char* peer = peer_text != nullptr ? peer_text : "";
  const size_t peer_length = std::strlen(peer);
  // The clock is read before the lock: the zone conversion takes a while.
  const ClockReading reading = ReadClockForLine();
  std::unique_lock<std::mutex> call(LogCallLock, std::defer_lock);
  std::unique_lock<std::mutex> buffer(LogBufferLock);
  const uint64_t generation = LogGeneration.load();
  bool in_line = false;  // counted among the waiting loggers
  Placed placed = Placed::kDropped;
  for (;;) {
    if (!AccessLog.accepting) {
      // Late: the thread is gone (or never ran); the line goes to the file at once.
      std::string line = peer;
      line += StampFor(ReadClockForLine());
      line += rest;
      if (line.size() <= static_cast<size_t>(kLogBufferSize)) {
        AppendToLogFile(line.data(), static_cast<int32_t>(line.size()));
      }
      placed = Placed::kDropped;
      break;
    }
    // A logger that waits for a free buffer keeps its place: those that
    // come after it line up behind it.
    if (AccessLog.waiting == 0 || in_line) {
      placed = PlaceLine(peer, peer_length, rest, reading);
      if (placed != Placed::kNoRoom) break;
    }
    if (!in_line) {
      buffer.unlock();
      call.lock();
      buffer.lock();
      AccessLog.waiting += 1;
      in_line = true;
      continue;
    }
    LogWriteDone.wait(buffer, [generation] {
      return BufferFree() || !AccessLog.accepting || LogGeneration.load() != generation;
    });
  }
  if (in_line) AccessLog.waiting -= 1;
  if (call.owns_lock()) call.unlock();
  if (placed == Placed::kSealed) {
    // The logger whose line did not fit waits for the write of what was
    // pending: it writes it itself when no write runs, which spares it the
    // wait for the log thread's turn; otherwise the writer at work takes
    // its buffer next. Those after it go on into the next buffer.
    if (!AccessLog.writing) {
      AccessLog.writing = true;
      WriteSealedBuffers(buffer);
      return;
    }
    const uint64_t wait_for = AccessLog.seals;
    LogWriteDone.wait(buffer, [wait_for, generation] {
      return AccessLog.writes_done >= wait_for || !AccessLog.accepting ||
             LogGeneration.load() != generation;
    });
    return;
  }
  // The thread is woken only when a write is due, so the file still gets
  // one write a second at most (or one per full buffer) and a line in a
  // quiet moment goes out at once.
  bool wake = placed == Placed::kAppended && !AccessLog.wake_sent && WriteIsDue(ReadCounter());
  if (wake) AccessLog.wake_sent = true;
  buffer.unlock();
  if (wake) LogWakeEvent.Set();
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
