// The engine's thread registry: every engine thread (listener, sessions, the
// interface watcher, the log writer) starts through it and retires from it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "platform/thread.h"

struct ThreadRecord {
  ThreadRecord* prev;
  ThreadRecord* next;
  ThreadHandle handle;
  ThreadRoutine start_routine;
  uint32_t thread_id;
};

struct ThreadRegistryList {
  ThreadRecord* first;
  ThreadRecord* last;
};

extern ThreadRegistryList ThreadRegistry;
extern std::mutex ThreadRegistryLock;

// Stack of every engine thread: enough for the deepest path (a session
// running a script) with room to spare, and far below the 8 MiB default, which
// costs start-up time on every connection.
inline constexpr size_t kEngineThreadStackSize = 256 * 1024;

// Records and starts a thread running `start_routine(parameter)`; the handle,
// or kInvalidThread when no record can be had or the thread cannot start.
ThreadHandle StartRegisteredThread(ThreadRoutine start_routine, void* parameter);

// The last call of every engine thread: forgets the caller's record and
// gives up its handle.
void ReleaseCurrentThread();

// Number of threads in the registry (for tests and the stop's checks).
int CountRegisteredThreads();
