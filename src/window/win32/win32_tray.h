// The notification-area icons of the USER32 backend: Shell_NotifyIconA with
// one hidden window that receives every icon's callback.
#pragma once

#include "window/win32/win32_internal.h"
#include "window/tray_core.h"

#include <shellapi.h>

namespace wscore::win32 {

// The message the shell posts to the hidden window for every icon.
inline constexpr UINT kTrayCallback = WM_APP + 1;

// The record for Shell_NotifyIconA: the version-2 layout (cbSize
// NOTIFYICONDATAA_V2_SIZE: 488 bytes in a 32-bit program, 504 in a 64-bit
// one), the hidden window and the icon's number there, the callback, the
// picture and the tip cut to 127 bytes.
void FillNotifyIconData(const StatusIcon& icon, HWND window, UINT number, HICON picture,
                        NOTIFYICONDATAA* out);

const TrayOps* Win32Tray();

}  // namespace wscore::win32
