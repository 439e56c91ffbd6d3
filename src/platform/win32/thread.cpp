#include "platform/thread.h"

#include <windows.h>

#include <new>

namespace {

// The least stack a thread reserves here. A Windows stack is address space
// whose pages are committed only as they are touched, so a larger reservation
// costs nothing until used, and it leaves room for the system's own calls on
// engine threads (CreateProcessA, Winsock), whose depth cannot be measured
// under Wine (which reserves at least 1 MiB for every thread).
constexpr size_t kLeastStackReservation = 256 * 1024;

struct Start {
  ThreadRoutine routine;
  void* parameter;
};

DWORD WINAPI Trampoline(void* raw) {
  Start start = *static_cast<Start*>(raw);
  delete static_cast<Start*>(raw);
  start.routine(start.parameter);
  return 0;
}

}  // namespace

ThreadHandle StartThread(ThreadRoutine routine, void* parameter, size_t stack_size,
                         uint32_t* thread_id) {
  Start* start = new (std::nothrow) Start{routine, parameter};
  if (start == nullptr) return kInvalidThread;
  // Created suspended, so the identifier is stored before the thread runs;
  // the size is the stack's reservation, as a thread's stack size elsewhere.
  if (stack_size > 0 && stack_size < kLeastStackReservation) stack_size = kLeastStackReservation;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, stack_size, Trampoline, start,
                               CREATE_SUSPENDED | (stack_size > 0 ? STACK_SIZE_PARAM_IS_A_RESERVATION : 0),
                               &id);
  if (thread == nullptr) {
    delete start;
    return kInvalidThread;
  }
  if (thread_id != nullptr) *thread_id = id;
  ResumeThread(thread);
  return reinterpret_cast<ThreadHandle>(thread);
}

uint32_t CurrentThreadId() { return GetCurrentThreadId(); }

void CloseThreadHandle(ThreadHandle thread) {
  if (thread != kInvalidThread) CloseHandle(reinterpret_cast<HANDLE>(thread));
}

void JoinThread(ThreadHandle thread) {
  if (thread == kInvalidThread) return;
  WaitForSingleObject(reinterpret_cast<HANDLE>(thread), INFINITE);
  CloseHandle(reinterpret_cast<HANDLE>(thread));
}

namespace {

// WaitOnAddress and WakeByAddressSingle, found at run time (Windows 8 and
// later); without them a waiter looks at the word again every millisecond.
using WaitOnAddressFunction = BOOL(WINAPI*)(volatile void*, void*, SIZE_T, DWORD);
using WakeByAddressFunction = void(WINAPI*)(void*);

struct AddressWaits {
  WaitOnAddressFunction wait = nullptr;
  WakeByAddressFunction wake = nullptr;
};

const AddressWaits& FindAddressWaits() {
  static const AddressWaits waits = [] {
    AddressWaits found;
    HMODULE library = GetModuleHandleA("kernelbase.dll");
    if (library == nullptr) library = LoadLibraryA("api-ms-win-core-synch-l1-2-0.dll");
    if (library != nullptr) {
      found.wait = reinterpret_cast<WaitOnAddressFunction>(
          reinterpret_cast<void*>(GetProcAddress(library, "WaitOnAddress")));
      found.wake = reinterpret_cast<WakeByAddressFunction>(
          reinterpret_cast<void*>(GetProcAddress(library, "WakeByAddressSingle")));
    }
    if (found.wait == nullptr || found.wake == nullptr) found = AddressWaits{};
    return found;
  }();
  return waits;
}

}  // namespace

void WaitWhileEqual(std::atomic<uint32_t>* word, uint32_t expected, int64_t timeout_ms) {
  static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
  if (word->load(std::memory_order_acquire) != expected) return;
  DWORD limit = timeout_ms < 0 ? INFINITE
                               : static_cast<DWORD>(timeout_ms > 0x7FFFFFFF ? 0x7FFFFFFF : timeout_ms);
  const AddressWaits& waits = FindAddressWaits();
  if (waits.wait != nullptr) {
    waits.wait(reinterpret_cast<volatile void*>(word), &expected, sizeof(expected), limit);
    return;
  }
  Sleep(limit == 0 ? 0 : 1);
}

void WakeOneWaiter(std::atomic<uint32_t>* word) {
  const AddressWaits& waits = FindAddressWaits();
  if (waits.wake != nullptr) waits.wake(reinterpret_cast<void*>(word));
}
