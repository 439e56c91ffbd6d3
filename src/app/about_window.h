// The About window: the program's name, version and release date, a note on
// what the server is for, and three links to the maker's pages. Modal over
// its owner, one at a time, built anew each time it opens.
#pragma once

#include <cstdint>

#include "app/app_state.h"
#include "window/window_system.h"
#include "ui/framework/gui_window.h"
#include "ui/render/image.h"

inline constexpr const char* kAboutTitle = "About Ambrel HTTP Server ...";
inline constexpr const char* kAboutFailedText = "Unable to Create About Window";

// Its state, AboutWindow and CloseRequested, is the application's
// (app_state.h).

// Builds, shows and runs the About window until it closes, with `owner`
// disabled meanwhile; OK shows okIcon, the three links linkIcon1 to 3 beside
// them. While one is open already, brings that one forward and returns at
// once. Returns 1; raises ErrorText(kAboutFailedText) when the window cannot
// be made.
int32_t OpenAboutWindow(WindowHandle owner, const Icon* okIcon, const Icon* linkIcon1,
                        const Icon* linkIcon2, const Icon* linkIcon3);

// Releases what OpenAboutWindow built; called right after it returns (a call
// from inside a request that only brought the open window forward releases
// nothing).
void CloseAboutWindow();

// The About window's application procedure.
LResult AboutWindowProc(WindowHandle hwnd, uint32_t message, WParam wParam, LParam lParam);
