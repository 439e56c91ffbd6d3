// Message boxes that any thread may raise ("Server Error", "Logging Error").
// The user interface installs a presenter that shows a real box and returns
// when the user has closed it; until then, and in programs without a user
// interface, the caption and text go to standard error and the call returns
// (on Windows a program without a console shows a system message box).
#pragma once

enum class MessageBoxIcon { kInformation, kError };

using MessageBoxPresenter = void (*)(const char* text, const char* caption, MessageBoxIcon icon);

void ShowMessageBox(const char* text, const char* caption, MessageBoxIcon icon);

// Installs `presenter` (null restores the standard-error one); returns the old one.
MessageBoxPresenter SetMessageBoxPresenter(MessageBoxPresenter presenter);

// Hand-off to the user-interface thread, so that a box raised on an engine
// thread is shown by the thread that owns the windows while the raiser waits.
// The window system installs the runner when it starts and removes it when it
// stops; a presenter calls RunOnUiThread to build and run its box there.
using UiThreadCall = void (*)(void* context);
using UiThreadRunner = bool (*)(UiThreadCall call, void* context);

// Installs the runner (null removes it); returns the old one.
UiThreadRunner SetUiThreadRunner(UiThreadRunner runner);

// Runs call(context) on the user-interface thread and returns after it ran:
// true. False, without calling, when no user interface runs.
bool RunOnUiThread(UiThreadCall call, void* context);
