// Letting the user choose a folder with the desktop's own folder chooser,
// modal over a window of this program.
#pragma once

#include <cstdint>

#include "window/window_system.h"

enum class FolderChoice { kChosen, kCancelled, kNoChooser };

// The folder choosers tried, in order, and the package that brings the first.
inline constexpr const char* kFolderChooserPackage = "zenity";

// Shows the desktop's folder chooser (zenity, else kdialog; the system's own
// dialog on Windows) titled `title`, opened on `startFolder` when that names
// an existing folder (null or anything else: the chooser's own choice), and
// returns when it closes. Meanwhile `owner` (when given) is disabled and the
// calling user-interface thread keeps dispatching messages, so every window
// still paints: a modal wait, as for the platform's own dialog.
// kChosen: the chosen folder's absolute path is in `out` (`capacity` bytes
// with the NUL). kCancelled: the user cancelled, the path did not fit, or a
// quit message arrived (it is posted again for the outer loop). kNoChooser:
// neither program is installed.
FolderChoice ChooseFolder(WindowHandle owner, const char* title, const char* startFolder, char* out,
                          int32_t capacity);
