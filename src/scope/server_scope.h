// The server scope and the list of this machine's own IPv4 addresses, kept
// up to date by a watcher thread that refreshes it on every address change.
#pragma once

#include <cstdint>

enum ServerScope : int32_t {
  kScopeLocalServer = 0,     // this machine only
  kScopeLanServer = 1,       // private networks and loopback
  kScopeInternetServer = 2,  // everybody (as is any other value)
};

// The session's decision for a peer: scope 0 asks IsLocalMachineAddress,
// scope 1 IsLanAddress, any other scope admits everybody.
bool IsPeerAllowed(int32_t scope, const char* peer_text);

// Loopback, or equal (byte for byte) to one of the machine's own addresses
// as the watcher last saw them.
bool IsLocalMachineAddress(const char* peer_text);

// Empties the own-address list and starts the watcher thread, which fills it
// at once and again on every address change.
void StartInterfaceWatcher();

// Stops the watcher, waits until it has let go of the list, empties it.
void StopInterfaceWatcher();

// How many times the watcher has rebuilt the list since the program started
// (tests wait on it to see a refresh happen).
uint32_t InterfaceRefreshCount();
