// The About window: name, version, note and links, modal over its owner.
#pragma once

#include <cstdint>

#include "platform/window_system.h"
#include "ui/render/image.h"

// Builds, shows and runs the About window until it closes; `owner` is
// disabled meanwhile. Returns 1 (raises ErrorText("Unable to Create About
// Window") when the window cannot be made).
int32_t OpenAboutWindow(WindowHandle owner, const Icon* okIcon, const Icon* linkIcon1,
                        const Icon* linkIcon2, const Icon* linkIcon3);

// Releases what OpenAboutWindow built; called right after it returns.
void CloseAboutWindow();
