// Shared state of the Win32 window backend's files.
#pragma once

// The window system's headers come first: the Windows headers define many of
// its names (WM_PAINT, SW_SHOW, ...) as macros, which must not reach the
// declarations.
#include "window/core/core.h"
#include "window/tray_core.h"

#include <windows.h>

#include <string>

namespace wscore::win32 {

// The native window of a record, and the record of a native window.
inline HWND NativeOf(const WindowRecord* r) { return reinterpret_cast<HWND>(r->native); }
WindowRecord* RecordOf(HWND window);

// The toolkit's text (the ANSI code page, as the A calls take it) to the
// system's UTF-16 and back.
std::wstring Widen(const std::string& text);
std::string Narrow(const wchar_t* text, int length);

// The module's instance handle.
HINSTANCE Instance();

// While the system runs a modal loop of its own (a window being dragged or
// sized, a system dialog), the core's messages are handled from inside it.
void EnterNativeModal();
void LeaveNativeModal();

}  // namespace wscore::win32
