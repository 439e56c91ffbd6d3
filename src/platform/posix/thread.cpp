#include "platform/thread.h"

#include <linux/futex.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <new>

namespace {

std::atomic<uint32_t> NextThreadId{1};
thread_local uint32_t t_thread_id = 0;

struct Start {
  ThreadRoutine routine;
  void* parameter;
  uint32_t id;
};

void* Trampoline(void* raw) {
  Start start = *static_cast<Start*>(raw);
  delete static_cast<Start*>(raw);
  t_thread_id = start.id;
  start.routine(start.parameter);
  return nullptr;
}

}  // namespace

ThreadHandle StartThread(ThreadRoutine routine, void* parameter, size_t stack_size,
                         uint32_t* thread_id) {
  Start* start = new (std::nothrow) Start{routine, parameter, NextThreadId.fetch_add(1)};
  if (start == nullptr) return kInvalidThread;
  if (thread_id != nullptr) *thread_id = start->id;
  pthread_attr_t attr;
  pthread_attr_init(&attr);
  if (stack_size > 0) pthread_attr_setstacksize(&attr, stack_size);
  pthread_t thread;
  int rc = pthread_create(&thread, &attr, Trampoline, start);
  pthread_attr_destroy(&attr);
  if (rc != 0) {
    delete start;
    return kInvalidThread;
  }
  static_assert(sizeof(pthread_t) <= sizeof(ThreadHandle));
  return static_cast<ThreadHandle>(thread);
}

uint32_t CurrentThreadId() {
  if (t_thread_id == 0) t_thread_id = NextThreadId.fetch_add(1);
  return t_thread_id;
}

void CloseThreadHandle(ThreadHandle thread) {
  if (thread != kInvalidThread) pthread_detach(static_cast<pthread_t>(thread));
}

void JoinThread(ThreadHandle thread) {
  if (thread != kInvalidThread) pthread_join(static_cast<pthread_t>(thread), nullptr);
}

void WaitWhileEqual(std::atomic<uint32_t>* word, uint32_t expected, int64_t timeout_ms) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  if (word->load(std::memory_order_acquire) != expected) return;
  timespec limit{};
  if (timeout_ms >= 0) {
    limit.tv_sec = static_cast<time_t>(timeout_ms / 1000);
    limit.tv_nsec = static_cast<long>(timeout_ms % 1000) * 1000000L;
  }
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAIT_PRIVATE, expected,
          timeout_ms >= 0 ? &limit : nullptr, nullptr, 0);
}

void WakeOneWaiter(std::atomic<uint32_t>* word) {
  syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}
