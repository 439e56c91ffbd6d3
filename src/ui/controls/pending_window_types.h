// FIXME: stands in for the window system's handle type until it is merged.
#pragma once
struct PendingWindow;
using HWND = PendingWindow*;
