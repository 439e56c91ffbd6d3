// The program's 19 icons (resources 1 to 19) and the banner, loaded from the
// images compiled into the program.
#pragma once

#include "window/window_system.h"
#include "ui/render/image.h"
#include "ui/render/resources.h"

// The program's own images.
const ResourceModule* AppResources();

// Loads icon resources 1 to 19 into AppIcons. False when one is missing.
bool LoadAppIcons();
void ReleaseAppIcons();

// Makes `icon` the picture a window manager shows for the top-level window.
bool SetWindowSmallIcon(WindowHandle window, const Icon* icon);

// Gives the top-level window the program's icon at every size it is drawn
// at (16 to 256 pixels).
bool SetProgramWindowIcon(WindowHandle window);
