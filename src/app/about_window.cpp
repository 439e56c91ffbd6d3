// FIXME: the About window is not built yet; opening it does nothing.
#include "app/about_window.h"

int32_t OpenAboutWindow(WindowHandle, const Icon*, const Icon*, const Icon*, const Icon*) { return 1; }

void CloseAboutWindow() {}
