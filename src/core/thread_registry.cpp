#include "core/thread_registry.h"

#include "core/list.h"

ThreadRegistryList ThreadRegistry{};
std::mutex ThreadRegistryLock;

ThreadHandle StartRegisteredThread(ThreadRoutine start_routine, void* parameter) {
  ThreadRecord* record = nullptr;
  if (!AllocBlock(&record, sizeof(ThreadRecord), true, 0)) return kInvalidThread;
  record->start_routine = start_routine;
  std::lock_guard<std::mutex> guard(ThreadRegistryLock);
  ListAppend(&ThreadRegistry.first, &ThreadRegistry.last, record);
  // The new thread's ReleaseCurrentThread waits for this lock, so it always
  // finds the record complete.
  record->handle =
      StartThread(start_routine, parameter, kEngineThreadStackSize, &record->thread_id);
  if (record->handle == kInvalidThread) {
    ListRemove(&ThreadRegistry.first, &ThreadRegistry.last, record);
    return kInvalidThread;
  }
  return record->handle;
}

void ReleaseCurrentThread() {
  uint32_t id = CurrentThreadId();
  ThreadHandle handle = kInvalidThread;
  {
    std::lock_guard<std::mutex> guard(ThreadRegistryLock);
    for (ThreadRecord* r = ThreadRegistry.first; r != nullptr; r = r->next) {
      if (r->thread_id == id) {
        handle = r->handle;
        ListRemove(&ThreadRegistry.first, &ThreadRegistry.last, r);
        break;
      }
    }
  }
  CloseThreadHandle(handle);
}

int CountRegisteredThreads() {
  std::lock_guard<std::mutex> guard(ThreadRegistryLock);
  int count = 0;
  for (ThreadRecord* r = ThreadRegistry.first; r != nullptr; r = r->next) ++count;
  return count;
}
