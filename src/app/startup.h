// The program's start: one instance, the icons, the toolkit, the main window,
// the settings applied, then the message loop until the program ends.
#pragma once

#include <cstdint>

inline constexpr const char* kOneInstanceText = "Sorry, only one instance of the server can be open at once.";
inline constexpr const char* kWindowFailedText = "Couldn't Create Window";

// Runs the start-up and the message loop; returns when the loop ends, with
// everything it built released (the engine may still run). Raises
// ErrorText with the text to show when the start-up cannot go on.
void StartApplication();

// The start-up's steps from loading the icons to the selectors' items: the
// toolkit's classes, the main font, the banner and the main window, created
// hidden with all its controls. Raises ErrorText(kWindowFailedText) when the
// window cannot be made. Tools and tests use it without the loop.
void BuildApplicationWindow();

// The defaults that apply without a settings file.
void ChooseDefaultSettings();

// Loads settings.dat and applies it (which starts the engine when it says
// "Running"); without a loadable file, the defaults, and nothing is saved.
void LoadStartupSettings();

// Releases what start-up made that outlives the main window (icons, font,
// toolkit); safe to call after a failed start-up too.
void ReleaseApplication();
