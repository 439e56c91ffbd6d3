// Threads with a chosen stack size (std::thread cannot set one).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

using ThreadHandle = intptr_t;
inline constexpr ThreadHandle kInvalidThread = -1;
using ThreadRoutine = void (*)(void* parameter);

// Starts `routine(parameter)` on a new thread with `stack_size` bytes of stack
// (0: the platform's default). Stores the new thread's identifier in
// *thread_id before the thread runs. kInvalidThread when it cannot start.
ThreadHandle StartThread(ThreadRoutine routine, void* parameter, size_t stack_size,
                         uint32_t* thread_id);

// The calling thread's identifier: unique among the process's live threads.
uint32_t CurrentThreadId();

// Gives up the handle; the thread runs on and its resources go when it ends.
void CloseThreadHandle(ThreadHandle thread);

// Waits for the thread to end and gives up the handle.
void JoinThread(ThreadHandle thread);

// Waits while `*word` holds `expected`, at most `timeout_ms` (negative: no
// limit). May return early; the caller looks at the word again. Costs one
// call when it sleeps and none when the word already changed.
void WaitWhileEqual(std::atomic<uint32_t>* word, uint32_t expected, int64_t timeout_ms);

// Wakes one thread waiting on `word`. Harmless when none waits.
void WakeOneWaiter(std::atomic<uint32_t>* word);
