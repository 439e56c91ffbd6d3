#include "http/session_pool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "http/session.h"
#include "http/thread_registry.h"
#include "platform/thread.h"

namespace {

// One parked thread. It lives on that thread's stack: the thread leaves only
// after taking itself off the list under the lock, or after it was handed a
// connection (or the end), which `handed` shows.
struct ParkedSession {
  Connection* connection;
  std::atomic<uint32_t> handed;
};

// Gives the parked thread its connection (null: the end). The record is off
// the list already. A wake that comes after the thread saw the change and
// went on finds no waiter and does nothing.
void HandOver(ParkedSession* parked, Connection* connection) {
  parked->connection = connection;
  parked->handed.store(1, std::memory_order_release);
  WakeOneWaiter(&parked->handed);
}

std::mutex ParkedSessionLock;
// Guarded by ParkedSessionLock. Last parked first: its stack is still warm.
std::vector<ParkedSession*> ParkedSessions;
int32_t SessionThreadCount = 0;
bool SessionPoolClosed = false;
std::condition_variable SessionThreadLeft;

}  // namespace

bool StartSession(Connection* connection) {
  ParkedSession* parked = nullptr;
  {
    std::lock_guard<std::mutex> guard(ParkedSessionLock);
    if (!ParkedSessions.empty()) {
      parked = ParkedSessions.back();
      ParkedSessions.pop_back();
    } else {
      SessionThreadCount += 1;
    }
  }
  if (parked != nullptr) {
    HandOver(parked, connection);
    return true;
  }
  if (StartRegisteredThread(SessionThread, connection) != kInvalidThread) return true;
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  SessionThreadCount -= 1;
  SessionThreadLeft.notify_all();
  return false;
}

Connection* WaitForNextSession() {
  ParkedSession self;
  self.connection = nullptr;
  self.handed.store(0);
  {
    std::lock_guard<std::mutex> guard(ParkedSessionLock);
    if (SessionPoolClosed) return nullptr;
    ParkedSessions.push_back(&self);
  }
  const auto idle = std::chrono::milliseconds(kParkedIdleMs);
  auto deadline = std::chrono::steady_clock::now() + idle;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    WaitWhileEqual(&self.handed, 0, left.count() > 0 ? left.count() : 0);
    if (self.handed.load(std::memory_order_acquire) != 0) return self.connection;
    if (std::chrono::steady_clock::now() < deadline) continue;
    std::lock_guard<std::mutex> guard(ParkedSessionLock);
    auto found = std::find(ParkedSessions.begin(), ParkedSessions.end(), &self);
    // Not found: handed a connection (or the end) just now; it shows soon.
    if (found != ParkedSessions.end() &&
        static_cast<int32_t>(ParkedSessions.size()) > kParkedSessionsKept) {
      ParkedSessions.erase(found);
      return nullptr;
    }
    deadline = std::chrono::steady_clock::now() + idle;
  }
}

void LeaveSessionPool() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  SessionThreadCount -= 1;
  SessionThreadLeft.notify_all();
}

void OpenSessionPool() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  SessionPoolClosed = false;
}

void CloseSessionPool() {
  std::vector<ParkedSession*> parked;
  std::unique_lock<std::mutex> guard(ParkedSessionLock);
  SessionPoolClosed = true;
  parked.swap(ParkedSessions);
  // Handed over under the lock: a parked thread cannot leave before it
  // has seen its hand-over, so every record here is still alive.
  for (ParkedSession* p : parked) HandOver(p, nullptr);
  SessionThreadLeft.wait(guard, [] { return SessionThreadCount == 0; });
}

int32_t CountSessionThreads() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  return SessionThreadCount;
}

int32_t CountParkedSessions() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  return static_cast<int32_t>(ParkedSessions.size());
}
