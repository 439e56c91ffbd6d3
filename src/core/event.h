// An event with manual or automatic reset, as the engine's threads signal
// each other with: Set wakes waiters; an auto-reset event lets exactly one
// waiter through and falls back to non-signalled.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class Event {
 public:
  explicit Event(bool manual_reset, bool initially_set = false)
      : manual_reset_(manual_reset), signalled_(initially_set) {}

  void Set() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = true;
    if (manual_reset_) {
      changed_.notify_all();
    } else {
      changed_.notify_one();
    }
  }

  void Reset() {
    std::lock_guard<std::mutex> guard(mutex_);
    signalled_ = false;
  }

  // Waits until signalled or `timeout_ms` passed (negative: no limit).
  // True when the event was signalled.
  bool Wait(int64_t timeout_ms = -1) {
    std::unique_lock<std::mutex> lock(mutex_);
    auto ready = [this] { return signalled_; };
    if (timeout_ms < 0) {
      changed_.wait(lock, ready);
    } else if (!changed_.wait_for(lock, std::chrono::milliseconds(timeout_ms), ready)) {
      return false;
    }
    if (!manual_reset_) signalled_ = false;
    return true;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  const bool manual_reset_;
  bool signalled_;
};
