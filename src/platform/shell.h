// The desktop shell: opening a target (a web address or a path) with the
// program the user's desktop associates with it, and running the desktop's
// folder chooser as a child process (the modal wait around it belongs to
// the window system: window/folder_chooser.h).
#pragma once

#include <string>

// Starts the desktop's opener for `target` (xdg-open here) fully detached and
// returns at once; the opener may run for as long as the browser it starts.
// False when `target` is null or empty or the opener could not be started.
bool OpenTarget(const char* target);

// A folder chooser running as a child process, its answer on a pipe (POSIX
// desktops; Windows has its own dialog, window/win32/system_dialogs.cpp).
struct FolderChooserRun;

// Starts the first installed chooser (zenity, else kdialog) titled `title`,
// opened on `startFolder` when that names an existing folder (null or
// anything else: the chooser's own choice); null when neither is installed
// or it could not be started.
FolderChooserRun* StartFolderChooser(const char* title, const char* startFolder);

// Blocks until the chooser has ended. Any thread; one call per run.
void WaitForFolderChooserEnd(FolderChooserRun* run);

// Asks a running chooser to end (the user's answer is then "cancelled").
void StopFolderChooser(FolderChooserRun* run);

// After the chooser ended: its answer, the chosen absolute path without the
// line end, in *chosen; false when the user cancelled or the answer is no
// absolute path. Releases the run.
bool FinishFolderChooser(FolderChooserRun* run, std::string* chosen);
