#include "http/session_pool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <semaphore>
#include <vector>

#include "http/session.h"
#include "http/thread_registry.h"

namespace {

// One parked thread. It lives on that thread's stack: the thread leaves only
// after taking itself off the list under the lock, or after it was handed a
// connection (or the end) and its semaphore released.
struct ParkedSession {
  Connection* connection;
  std::binary_semaphore handed{0};
};

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
      parked->connection = connection;
    } else {
      SessionThreadCount += 1;
    }
  }
  if (parked != nullptr) {
    parked->handed.release();
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
  {
    std::lock_guard<std::mutex> guard(ParkedSessionLock);
    if (SessionPoolClosed) return nullptr;
    ParkedSessions.push_back(&self);
  }
  for (;;) {
    if (self.handed.try_acquire_for(std::chrono::milliseconds(kParkedIdleMs))) {
      return self.connection;
    }
    std::unique_lock<std::mutex> guard(ParkedSessionLock);
    auto found = std::find(ParkedSessions.begin(), ParkedSessions.end(), &self);
    if (found == ParkedSessions.end()) {
      // Handed a connection (or the end) just now: the release is on its way.
      guard.unlock();
      self.handed.acquire();
      return self.connection;
    }
    if (static_cast<int32_t>(ParkedSessions.size()) > kParkedSessionsKept) {
      ParkedSessions.erase(found);
      return nullptr;
    }
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
  // Released under the lock: a parked thread cannot leave before it took
  // its release, so every record here is still alive.
  for (ParkedSession* p : parked) {
    p->connection = nullptr;
    p->handed.release();
  }
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
