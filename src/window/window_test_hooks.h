// Test hooks of the window system: injected pointer and key input, the
// headless screen's geometry and the headless clock. Tests use them, and
// the window system's core implements them; the program itself never does.
#pragma once

#include <cstdint>

#include "window/window_system.h"

// Injected input goes through the same routing as real input on
// either backend: capture, window under the pointer, focus, activation on
// click, key state, WM_KEYDOWN then WM_CHAR. Input is queued and dispatched
// by the loop (ProcessPendingMessages runs it).

// Moves the pointer to screen (x, y).
void InjectMouseMove(int32_t x, int32_t y);
// Presses or releases a button at the current pointer position.
void InjectMouseButton(MouseButton button, bool down);
// One wheel movement of `delta` (120 per notch; positive away from the user).
void InjectMouseWheel(int32_t delta);
// Presses or releases a key; a press of a key that makes a character (with
// the current Shift and Control state, US layout) is followed by WM_CHAR.
void InjectKey(uint32_t virtualKey, bool down);
// Types text: for each character a key press (its key when it has one),
// WM_CHAR with the character's code point, and the key release.
void InjectText(const char* utf8);

// Headless screen geometry (ignored by X11): the screen size and work area.
void SetHeadlessScreen(int32_t width, int32_t height, const WinRect* workArea);

// Moves the headless clock forward; timers that come due fire at the next
// message taken. Ignored by X11.
void AdvanceHeadlessClock(uint32_t milliseconds);
