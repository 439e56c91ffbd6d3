// This machine's own IPv4 addresses and notice of their changes.
#pragma once

#include <cstdint>

#include "platform/net.h"

struct OwnAddressText {
  char text[kAddressTextCapacity];  // dotted decimal, NUL-terminated
};

// Stores the IPv4 addresses of every interface except the loopback ones into
// `out` (up to `capacity` entries) and returns how many there are in all
// (which may exceed `capacity`); -1 when the query fails.
int32_t QueryOwnAddresses(OwnAddressText* out, int32_t capacity);

// A subscription to address changes with its own stop signal.
struct AddressWatch;

enum class AddressWaitResult { kChanged, kStopped, kFailed };

// Subscribes to IPv4 address changes; null on failure. Changes from this
// moment on are reported, so query after opening to miss none.
AddressWatch* OpenAddressWatch();

// Waits without limit until an address changes or the watch is stopped.
AddressWaitResult WaitForAddressChange(AddressWatch* watch);

// Wakes the waiter with kStopped (now and on every later wait). Any thread.
void StopAddressWatch(AddressWatch* watch);

// Releases the watch; nobody may wait on it any more.
void CloseAddressWatch(AddressWatch* watch);
