// FIXME: the status-area icon and its menu are not built yet; until they
// are, adding and refreshing succeed without showing anything, and nothing
// arrives from the tray.
#include "app/tray_icon.h"

void AddTrayIcon() {}

void RefreshTrayIcon() {}

void RemoveTrayIcon() {}

void HandleTrayCallback(LParam) {}

void HandleTrayFocusRequest(WindowHandle) {}

void HandleTrayMenuCommand(int32_t) {}
