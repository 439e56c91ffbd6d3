#include "scope/server_scope.h"

#include <atomic>
#include <cstring>
#include <mutex>

#include "scope/address_pattern.h"
#include "core/blocks.h"
#include "core/event.h"
#include "core/thread_registry.h"
#include "platform/interfaces.h"

namespace {

// The machine's own addresses as the watcher last saw them: one block of
// LocalInterfaceCount entries, or null. Replaced and walked only under
// InterfaceListLock; the quick test of pointer and count is made without it.
std::atomic<OwnAddressText*> LocalInterfaceList{nullptr};
std::atomic<int32_t> LocalInterfaceCount{0};
std::mutex InterfaceListLock;

// The running watcher: its address-change subscription (which also carries
// the stop signal), and an event it sets once it has let go of the list.
AddressWatch* InterfaceWatch = nullptr;
bool WatcherRunning = false;
Event WatcherDoneEvent(true, true);
std::atomic<uint32_t> InterfaceRefreshCounter{0};

// Queries the addresses into a new block; null with *count 0 when there are
// none or the query or the allocation fails.
OwnAddressText* QueryAddressBlock(int32_t* count) {
  *count = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    int32_t total = QueryOwnAddresses(nullptr, 0);
    if (total <= 0) return nullptr;
    OwnAddressText* block = nullptr;
    if (!AllocBlock(&block, total * static_cast<int32_t>(sizeof(OwnAddressText)), true, 0)) {
      return nullptr;
    }
    int32_t filled = QueryOwnAddresses(block, total);
    // An address added between the two queries: ask again with more room.
    if (filled >= 0 && filled <= total) {
      *count = filled;
      return block;
    }
    FreeAndClear(&block);
  }
  return nullptr;
}

// Rebuilds the list and puts it in force under the lock.
void RefreshOwnAddresses() {
  int32_t count = 0;
  OwnAddressText* fresh = QueryAddressBlock(&count);
  OwnAddressText* old = nullptr;
  {
    std::lock_guard<std::mutex> guard(InterfaceListLock);
    old = LocalInterfaceList.exchange(fresh);
    LocalInterfaceCount = count;
  }
  FreeAndClear(&old);
  InterfaceRefreshCounter.fetch_add(1);
}

void InterfaceWatcherThread(void* parameter) {
  AddressWatch* watch = static_cast<AddressWatch*>(parameter);
  // The first pass needs no notice; every change after the subscription
  // was opened brings another.
  for (;;) {
    RefreshOwnAddresses();
    if (WaitForAddressChange(watch) != AddressWaitResult::kChanged) break;
  }
  WatcherDoneEvent.Set();
  ReleaseCurrentThread();
}

}  // namespace

bool IsPeerAllowed(int32_t scope, const char* peer_text) {
  if (scope == kScopeLocalServer) return IsLocalMachineAddress(peer_text);
  if (scope == kScopeLanServer) return IsLanAddress(peer_text);
  return true;
}

bool IsLocalMachineAddress(const char* peer_text) {
  if (peer_text == nullptr) return false;
  if (IsLoopbackAddress(peer_text)) return true;
  if (LocalInterfaceList.load() == nullptr || LocalInterfaceCount.load() == 0) return false;
  std::lock_guard<std::mutex> guard(InterfaceListLock);
  const OwnAddressText* list = LocalInterfaceList.load();
  int32_t count = LocalInterfaceCount.load();
  for (int32_t i = 0; list != nullptr && i < count; ++i) {
    if (std::strcmp(list[i].text, peer_text) == 0) return true;
  }
  return false;
}

void StartInterfaceWatcher() {
  if (WatcherRunning) StopInterfaceWatcher();
  {
    std::lock_guard<std::mutex> guard(InterfaceListLock);
    OwnAddressText* old = LocalInterfaceList.exchange(nullptr);
    LocalInterfaceCount = 0;
    FreeAndClear(&old);
  }
  // Subscribed before the first query, so no change between them is missed.
  // Without a subscription the watcher still fills the list once.
  InterfaceWatch = OpenAddressWatch();
  WatcherDoneEvent.Reset();
  if (StartRegisteredThread(InterfaceWatcherThread, InterfaceWatch) == kInvalidThread) {
    WatcherDoneEvent.Set();
  }
  WatcherRunning = true;
}

void StopInterfaceWatcher() {
  if (!WatcherRunning) return;
  StopAddressWatch(InterfaceWatch);
  WatcherDoneEvent.Wait();
  CloseAddressWatch(InterfaceWatch);
  InterfaceWatch = nullptr;
  WatcherRunning = false;
  std::lock_guard<std::mutex> guard(InterfaceListLock);
  OwnAddressText* old = LocalInterfaceList.exchange(nullptr);
  LocalInterfaceCount = 0;
  FreeAndClear(&old);
}

uint32_t InterfaceRefreshCount() { return InterfaceRefreshCounter.load(); }
