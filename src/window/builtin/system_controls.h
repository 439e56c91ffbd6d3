// The built-in window classes "EDIT" and "STATIC" and the toolkit's message
// box. The user interface calls StartSystemControls once the window system
// runs (before it creates any control) and StopSystemControls before it shuts
// the window system down.
#pragma once

#include <cstdint>

#include "platform/message_box.h"
#include "platform/text.h"
#include "window/window_system.h"

// Class names, as controls are created with them (case-sensitive).
inline constexpr char kEditClassName[] = "EDIT";
inline constexpr char kStaticClassName[] = "STATIC";
inline constexpr char kMessageBoxClassName[] = "AmbrelMessageBox";

// Styles of the built-in controls (the platform's values).
inline constexpr uint32_t SS_LEFT = 0x0000;
inline constexpr uint32_t SS_CENTER = 0x0001;
inline constexpr uint32_t SS_RIGHT = 0x0002;
inline constexpr uint32_t SS_TYPEMASK = 0x001F;
inline constexpr uint32_t ES_READONLY = 0x0800;

// Registers the EDIT, STATIC and message-box classes and installs the
// message box as the presenter of ShowMessageBox, so boxes raised on any
// thread are shown by the user-interface thread. True when all three classes
// are registered. Calling it again does nothing more.
bool StartSystemControls();

// Restores the standard-error presenter, unregisters the classes and
// releases the default font. Windows of the classes must be gone.
void StopSystemControls();

// The font controls use until they are sent WM_SETFONT, and the message
// box's font: Tahoma (or its fallback) with a 12-pixel character height.
// Owned by this module; null only when no font file can be opened.
FontHandle GetSystemControlFont();

// Shows a modal message box with `text`, the title `caption` and the sign of
// `icon`, and returns when the user has closed it. While it is open `owner`
// (when given) is disabled and the box is centred on it; without an owner it
// is centred on the work area. Callable from any thread: another thread's
// box is shown by the user-interface thread while the caller waits. Without
// a running user interface the text goes to standard error.
void ShowOwnedMessageBox(WindowHandle owner, const char* text, const char* caption,
                         MessageBoxIcon icon);

// The window procedures, for subclassing and tests.
LResult EditWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
LResult StaticWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);
LResult MessageBoxWindowProc(WindowHandle window, uint32_t message, WParam wParam, LParam lParam);

// Caret blink period of EDIT, in milliseconds (the platform's default).
inline constexpr uint32_t kCaretBlinkMs = 530;
