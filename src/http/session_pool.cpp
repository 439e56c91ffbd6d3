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
std::vector<ParkedSession*> g_parked;
int32_t g_session_threads = 0;
bool g_pool_closed = false;
std::condition_variable g_session_thread_left;

}  // namespace

bool StartSession(Connection* connection) {
  ParkedSession* parked = nullptr;
  {
    std::lock_guard<std::mutex> guard(ParkedSessionLock);
    if (!g_parked.empty()) {
      parked = g_parked.back();
      g_parked.pop_back();
      parked->connection = connection;
    } else {
      g_session_threads += 1;
    }
  }
  if (parked != nullptr) {
    parked->handed.release();
    return true;
  }
  if (StartRegisteredThread(SessionThread, connection) != kInvalidThread) return true;
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  g_session_threads -= 1;
  g_session_thread_left.notify_all();
  return false;
}

Connection* WaitForNextSession() {
  ParkedSession self;
  self.connection = nullptr;
  {
    std::lock_guard<std::mutex> guard(ParkedSessionLock);
    if (g_pool_closed) return nullptr;
    g_parked.push_back(&self);
  }
  for (;;) {
    if (self.handed.try_acquire_for(std::chrono::milliseconds(kParkedIdleMs))) {
      return self.connection;
    }
    std::unique_lock<std::mutex> guard(ParkedSessionLock);
    auto found = std::find(g_parked.begin(), g_parked.end(), &self);
    if (found == g_parked.end()) {
      // Handed a connection (or the end) just now: the release is on its way.
      guard.unlock();
      self.handed.acquire();
      return self.connection;
    }
    if (static_cast<int32_t>(g_parked.size()) > kParkedSessionsKept) {
      g_parked.erase(found);
      return nullptr;
    }
  }
}

void LeaveSessionPool() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  g_session_threads -= 1;
  g_session_thread_left.notify_all();
}

void OpenSessionPool() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  g_pool_closed = false;
}

void CloseSessionPool() {
  std::vector<ParkedSession*> parked;
  std::unique_lock<std::mutex> guard(ParkedSessionLock);
  g_pool_closed = true;
  parked.swap(g_parked);
  // Released under the lock: a parked thread cannot leave before it took
  // its release, so every record here is still alive.
  for (ParkedSession* p : parked) {
    p->connection = nullptr;
    p->handed.release();
  }
  g_session_thread_left.wait(guard, [] { return g_session_threads == 0; });
}

int32_t CountSessionThreads() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  return g_session_threads;
}

int32_t CountParkedSessions() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  return static_cast<int32_t>(g_parked.size());
}
