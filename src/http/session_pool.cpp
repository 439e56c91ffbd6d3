#include "http/session_pool.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "http/server.h"
#include "http/session.h"
#include "core/thread_registry.h"
#include "platform/thread.h"

namespace {

enum Call : uint32_t { kNotCalled = 0, kGoAccept = 1, kRetire = 2 };

// One parked thread. It lives on that thread's stack: the thread leaves only
// after taking itself off the list under the lock, or after it was called
// up, which `call` shows.
struct ParkedSession {
  std::atomic<uint32_t> call;
};

std::mutex ParkedSessionLock;
// All guarded by ParkedSessionLock.
SocketHandle PoolSocket = kInvalidSocket;
int32_t SessionThreadCount = 0;  // alive: serving, accepting or parked
int32_t AcceptingCount = 0;      // inside accept, or sent there
bool AcceptingEnded = true;
// Last parked first: its stack is still warm.
std::vector<ParkedSession*> ParkedSessions;
std::condition_variable PoolChanged;

// The record is off the list already. A wake that comes after the thread
// saw the change and went on finds no waiter and does nothing.
void CallUp(ParkedSession* parked, Call call) {
  parked->call.store(call, std::memory_order_release);
  WakeOneWaiter(&parked->call);
}

// Accepting ended: every parked thread retires. Called under the lock, so
// no parked record can leave before it has seen its call.
void RetireParkedSessions() {
  for (ParkedSession* p : ParkedSessions) CallUp(p, kRetire);
  ParkedSessions.clear();
}

// One more session thread, which starts by waiting in accept (the caller
// counted it among the threads alive and those in accept). False when it
// could not start.
bool StartAcceptingSession() {
  if (StartRegisteredThread(SessionThread, nullptr) != kInvalidThread) return true;
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  SessionThreadCount -= 1;
  AcceptingCount -= 1;
  PoolChanged.notify_all();
  return false;
}

// Parks the calling thread until it is sent to accept (true) or is to
// retire (false).
bool Park(std::unique_lock<std::mutex>& guard) {
  ParkedSession self;
  self.call.store(kNotCalled);
  ParkedSessions.push_back(&self);
  guard.unlock();
  const auto idle = std::chrono::milliseconds(kParkedIdleMs);
  auto deadline = std::chrono::steady_clock::now() + idle;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    WaitWhileEqual(&self.call, kNotCalled, left.count() > 0 ? left.count() : 0);
    uint32_t call = self.call.load(std::memory_order_acquire);
    if (call != kNotCalled) {
      guard.lock();
      return call == kGoAccept;
    }
    if (std::chrono::steady_clock::now() < deadline) continue;
    guard.lock();
    auto found = std::find(ParkedSessions.begin(), ParkedSessions.end(), &self);
    // Not found: called up just now; the call shows at the next look.
    if (found != ParkedSessions.end() &&
        static_cast<int32_t>(ParkedSessions.size()) + AcceptingCount > kParkedSessionsKept) {
      ParkedSessions.erase(found);
      return false;
    }
    guard.unlock();
    deadline = std::chrono::steady_clock::now() + idle;
  }
}

}  // namespace

bool OpenSessionPool(SocketHandle listen_socket) {
  {
    std::lock_guard<std::mutex> guard(ParkedSessionLock);
    PoolSocket = listen_socket;
    AcceptingEnded = false;
    SessionThreadCount += 1;
    AcceptingCount += 1;
  }
  if (StartAcceptingSession()) return true;
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  AcceptingEnded = true;
  return false;
}

void WaitForAcceptingToEnd() {
  std::unique_lock<std::mutex> guard(ParkedSessionLock);
  PoolChanged.wait(guard, [] { return AcceptingEnded && AcceptingCount == 0; });
}

Connection* AcceptNextConnection(bool sent_to_accept) {
  std::unique_lock<std::mutex> guard(ParkedSessionLock);
  for (;;) {
    // Counted before the lock is let go: once accepting ended and the count
    // is zero, no thread can still reach the listening socket.
    if (!sent_to_accept) {
      if (AcceptingEnded) return nullptr;
      if (AcceptingCount < kParkedSessionsKept) {
        AcceptingCount += 1;
      } else if (!Park(guard)) {
        return nullptr;
      }
    }
    sent_to_accept = false;
    SocketHandle listen_socket = PoolSocket;
    guard.unlock();
    SocketAddressV4 peer{};
    SocketHandle socket = AcceptConnection(listen_socket, &peer);
    guard.lock();
    AcceptingCount -= 1;
    if (socket == kInvalidSocket) {
      // The listening socket was shut down (a stop) or failed.
      if (!AcceptingEnded) {
        AcceptingEnded = true;
        RetireParkedSessions();
      }
      PoolChanged.notify_all();
      return nullptr;
    }
    if (AcceptingEnded) PoolChanged.notify_all();
    // Someone must wait for the next connection while this one is served.
    ParkedSession* next = nullptr;
    bool start_one = false;
    if (AcceptingCount == 0 && !AcceptingEnded) {
      AcceptingCount += 1;
      if (!ParkedSessions.empty()) {
        next = ParkedSessions.back();
        ParkedSessions.pop_back();
      } else {
        SessionThreadCount += 1;
        start_one = true;
      }
    }
    guard.unlock();
    if (next != nullptr) CallUp(next, kGoAccept);
    // If no thread can start, this one comes back to accept after its
    // connection.
    if (start_one) StartAcceptingSession();
    Connection* c = AdmitConnection(socket, peer);
    if (c != nullptr) return c;
    guard.lock();
  }
}

void LeaveSessionPool() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  SessionThreadCount -= 1;
  PoolChanged.notify_all();
}

void CloseSessionPool() {
  std::unique_lock<std::mutex> guard(ParkedSessionLock);
  AcceptingEnded = true;
  RetireParkedSessions();
  PoolSocket = kInvalidSocket;
  PoolChanged.wait(guard, [] { return SessionThreadCount == 0; });
}

int32_t CountSessionThreads() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  return SessionThreadCount;
}

int32_t CountParkedSessions() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  return AcceptingCount + static_cast<int32_t>(ParkedSessions.size());
}

int32_t CountAcceptingSessions() {
  std::lock_guard<std::mutex> guard(ParkedSessionLock);
  return AcceptingCount;
}
