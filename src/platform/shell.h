// The desktop shell: opening a target (a web address or a path) with the
// program the user's desktop associates with it.
#pragma once

// Starts the desktop's opener for `target` (xdg-open here) fully detached and
// returns at once; the opener may run for as long as the browser it starts.
// False when `target` is null or empty or the opener could not be started.
bool OpenTarget(const char* target);
