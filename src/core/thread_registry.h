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

// Stack of every engine thread. Measured on painted stacks
// (bench/stack_probe.cpp): a session serving a file uses about 11 KiB, one
// running PHP or a CGI program with the access log on about 13 KiB, the
// first session of a run (which loads the time zone) 14 KiB, the listener,
// watcher and log thread less than 10 KiB. 64 KiB leaves four times that; the 8 MiB default costs start-up time on every
// connection. Sanitizer builds pad every frame and get four times as much.
// The benchmark builds variants with other sizes to show the difference.
#ifndef AMBREL_ENGINE_STACK_KIB
#define AMBREL_ENGINE_STACK_KIB 64
#endif
#if defined(__SANITIZE_ADDRESS__)
#define AMBREL_PADDED_FRAMES 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define AMBREL_PADDED_FRAMES 1
#endif
#endif
#if defined(AMBREL_PADDED_FRAMES)
inline constexpr size_t kEngineThreadStackSize = 4 * AMBREL_ENGINE_STACK_KIB * 1024;
#else
inline constexpr size_t kEngineThreadStackSize = AMBREL_ENGINE_STACK_KIB * 1024;
#endif

// Records and starts a thread running `start_routine(parameter)`; the handle,
// or kInvalidThread when no record can be had or the thread cannot start.
ThreadHandle StartRegisteredThread(ThreadRoutine start_routine, void* parameter);

// The last call of every engine thread: forgets the caller's record and
// gives up its handle.
void ReleaseCurrentThread();

// Number of threads in the registry (for tests and the stop's checks).
int CountRegisteredThreads();
