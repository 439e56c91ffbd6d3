// The signals by which a desktop session or a terminal ends a program
// (SIGTERM, SIGHUP, SIGINT here).
#pragma once

// Calls `handler(signal)` on a thread of its own each time one of the ending
// signals arrives, instead of letting it end the process. The handler may do
// anything a thread may (post a message, stop the engine). Call once, early.
// False when the watch could not be set up.
bool WatchEndingSignals(void (*handler)(int signal));
